// Draws 2,000 characters of menu text a frame (40 rows of 50) through the GUI's text
// elements: once with the cached TrueType font at the menu rows' size, once with the
// engine's built-in bitmap font. Prints the ratio of the two frame times at the end; the
// goal is at most 2. Needs an X display (Xvfb) for the OpenGL driver.
#include "core/Globals.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/GUIStaticText.h"
#include "gui/fonts/FontCache.h"

#include "../support/BenchDevice.h"
#include "../support/RatioReporter.h"

#include <benchmark/benchmark.h>
#include <irrlicht.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

using namespace irr;

namespace {

constexpr int rows = 40;
constexpr int charactersPerRow = 50;
const wchar_t* const rowText = L"Effects Volume Voice Volume Music Volume Subtitles";

struct Stage {
    IrrlichtDevice* device = nullptr;
    gui::IGUIElement* trueType = nullptr;
    gui::IGUIElement* builtIn = nullptr;
};

Stage& stage() {
    static Stage s;
    return s;
}

bool setUpStage(const char* fontPath) {
    Stage& s = stage();
    s.device = bench::createBenchOpenGLDevice();
    if (!s.device)
        return false;
    gui::IGUIEnvironment* env = s.device->getGUIEnvironment();
    gui::IGUIElement* root = env->getRootGUIElement();
    s.trueType = new gui::IGUIElement(gui::EGUIET_ELEMENT, env, root, -1, core::recti(0, 0, 1280, 720));
    s.builtIn = new gui::IGUIElement(gui::EGUIET_ELEMENT, env, root, -1, core::recti(0, 0, 1280, 720));
    s.trueType->drop();
    s.builtIn->drop();
    for (int i = 0; i < rows; ++i) {
        const core::recti line(10, 5 + i * 17, 1270, 22 + i * 17);
        auto* text = new GUIFreeTypeText(rowText, env, s.trueType, -1, line);
        text->setFont(fontPath, 28); // the menu rows' size at 720 lines
        text->drop();
        auto* plain = new GUIStaticText(rowText, env, s.builtIn, -1, line);
        plain->setOverrideFont(env->getBuiltInFont());
        plain->setOverrideColor(video::SColor(0xFF000000));
        plain->drop();
    }
    return static_cast<GUIFreeTypeText*>(*s.trueType->getChildren().begin())->getTTFont() != nullptr;
}

void drawFrames(benchmark::State& state, bool useTrueType) {
    Stage& s = stage();
    if (!s.device) {
        state.SkipWithError("no OpenGL device (run under Xvfb)");
        return;
    }
    s.trueType->setVisible(useTrueType);
    s.builtIn->setVisible(!useTrueType);
    video::IVideoDriver* driver = s.device->getVideoDriver();
    gui::IGUIEnvironment* env = s.device->getGUIEnvironment();
    for (auto _ : state) {
        driver->beginScene(true, true, video::SColor(255, 230, 228, 220));
        env->drawAll();
        driver->endScene();
    }
    state.counters["characters"] = rows * charactersPerRow;
    state.SetItemsProcessed(state.iterations() * rows * charactersPerRow);
}

void BM_MenuTextTrueType(benchmark::State& state) { drawFrames(state, true); }
void BM_MenuTextBuiltInFont(benchmark::State& state) { drawFrames(state, false); }
BENCHMARK(BM_MenuTextTrueType)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_MenuTextBuiltInFont)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

} // namespace

int main(int argc, char** argv) {
    // Run from the repository root, or give the font file's path in PADDLESTONE_BENCH_FONT.
    const char* font = std::getenv("PADDLESTONE_BENCH_FONT");
    if (!setUpStage(font ? font : "Content/Font/NoMove.ttf"))
        std::fprintf(stderr, "The stage could not be set up (display or font missing).\n");
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (const double ratio = reporter.ratio("BM_MenuTextTrueType", "BM_MenuTextBuiltInFont"); ratio > 0.0)
        std::printf("TrueType / built-in font frame time: %.2f (goal: at most 2)\n", ratio);
    clearFontCache();
    if (stage().device)
        stage().device->drop();
    gameDevice = nullptr;
    return 0;
}
