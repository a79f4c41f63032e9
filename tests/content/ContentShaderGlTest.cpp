// Every shader source in Content/Shaders/ compiles on the OpenGL driver under Xvfb, as the
// game compiles it: the material shaders at start-up (every Phong variant), the water pair
// and each post-processing effect; a source no shader of the game uses fails.
#include "ContentFiles.h"

#include "../render/RenderFixture.h"

#include "core/Globals.h"
#include "render/RenderManagers.h"
#include "render/EffectHandler.h"
#include "render/ShaderManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>

using namespace irr;

namespace {

// Keeps the engine's log lines that complain.
class ComplaintLog : public IEventReceiver {
public:
    bool OnEvent(const SEvent& event) override {
        if (event.EventType == EET_LOG_TEXT_EVENT && content::isComplaint(event.LogEvent.Text))
            lines.push_back(event.LogEvent.Text);
        return false;
    }
    std::vector<std::string> lines;
};

// Whether the game compiled the materials made from a source file.
using CompiledCheck = std::function<bool(const std::string& file)>;

bool allCompiled(std::initializer_list<s32> materials) {
    return std::all_of(materials.begin(), materials.end(), [](s32 material) { return material > 0; });
}

// By the file's name without its extension.
const std::map<std::string, CompiledCheck>& shaderUses() {
    static const std::map<std::string, CompiledCheck> uses = {
        {"ShaderPhong",
         [](const std::string&) {
             return std::all_of(std::begin(phongVariantFlags), std::end(phongVariantFlags),
                                [](s32 flags) { return shaderManager->findVariantMaterial(flags) > 0; });
         }},
        {"CircleShader", [](const std::string&) { return allCompiled({shaderManager->circleMaterial}); }},
        {"MeterShader", [](const std::string&) { return allCompiled({shaderManager->meterMaterial}); }},
        {"ShaderGlow", [](const std::string&) { return allCompiled({shaderManager->glowMaterial}); }},
        {"ParticleShader",
         [](const std::string&) {
             const ShaderManager& m = *shaderManager;
             return allCompiled({m.particleAlphaMaterial, m.particleAddMaterial, m.particleAlphaRefMaterial,
                                 m.particleSolidMaterial});
         }},
        {"Water_vs", [](const std::string&) { return allCompiled({shaderManager->waterMaterial}); }},
        {"Water_ps", [](const std::string&) { return allCompiled({shaderManager->waterMaterial}); }},
    };
    return uses;
}

bool compilesAsPostEffect(const std::string& file) {
    return effectHandler->addPostProcessingEffectFromFile(file.c_str());
}

class ContentShaderGlTest : public ::testing::Test, protected rendertest::RenderGlFixture {
protected:
    void TearDown() override { closeRendering(); }
};

TEST_F(ContentShaderGlTest, EveryShaderSourceCompiles) {
    ASSERT_TRUE(openRendering(core::dimension2du(640, 360)));
    ComplaintLog log;
    device->setEventReceiver(&log);
    setSettingInt("Graphics_Quality", 0);
    startRendering(EffectHandlerSetup());
    ASSERT_TRUE(shaderManager->areShadersEnabled());
    int sources = 0;
    for (const std::string& file : content::contentFiles()) {
        if (file.rfind("Content/Shaders/", 0) != 0)
            continue;
        ++sources;
        const std::string stem = std::filesystem::path(file).stem().string();
        const auto use = shaderUses().find(stem);
        // A pixel-shader-only ".glsl" file is a post-processing effect.
        const bool compiled = use != shaderUses().end()                 ? use->second(file)
                              : content::extensionOf(file) == ".glsl" ? compilesAsPostEffect(file)
                                                                        : false;
        const bool known = use != shaderUses().end() || content::extensionOf(file) == ".glsl";
        EXPECT_TRUE(compiled) << file << (known ? ": does not compile" : ": no shader of the game uses it");
    }
    EXPECT_GT(sources, 10);
    for (const std::string& line : log.lines)
        ADD_FAILURE() << line;
    device->setEventReceiver(nullptr);
}

} // namespace
