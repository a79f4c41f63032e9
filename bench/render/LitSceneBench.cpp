// Frame time of a lit level: 500 textured cubes on a 25 x 20 grid and 8 point lights (each
// cube an animated mesh node on one shared mesh with the static hardware-buffer hint, as the
// game draws its objects), drawn
//  - by the engine's plain drawAll (fixed-function lighting, the engine's own light choice),
//  - through the game's frame at graphics quality 0 (Phong shaders, the light manager's
//    nearest lights per object) and quality 2 (fixed-function lighting switched per object
//    by the light manager).
// Prints the two ratios against the plain drawAll at the end; the goal at quality 0 is at
// most 1.5. The quality-0 frame also runs with every draw on the general Phong programs (no
// specialised program per draw), for the gain of the specialisation in the same run. Then the same quality-0 frame with the shadow pass (one cascade, three cascades;
// every cube casts and receives, 2048-pixel maps), with the bloom chain, and with both, each
// as a ratio against the frame without them. Times are the process's CPU time a frame. Needs an X display (Xvfb) for the OpenGL
// driver; run from the repository root.
#include "render/EffectHandler.h"
#include "render/LightManager.h"
#include "render/LightObject.h"
#include "render/RenderRegistration.h"
#include "render/ShaderManager.h"
#include "render/ShadowCascades.h"

#include "core/Globals.h"
#include "core/CoreSlots.h"
#include "render/RenderManagers.h"

#include "../support/BenchDevice.h"
#include "../support/RatioReporter.h"

#include <benchmark/benchmark.h>
#include <irrlicht.h>

#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

using namespace irr;

namespace {

constexpr int columns = 25;
constexpr int rows = 20;
constexpr int lightCount = 8;

struct Stage {
    IrrlichtDevice* device = nullptr;
    std::vector<scene::ISceneNode*> objects;
    LightManager* lights = nullptr;
};

Stage& stage() {
    static Stage s;
    return s;
}

bool setUpStage() {
    Stage& s = stage();
    s.device = bench::createBenchOpenGLDevice();
    if (!s.device)
        return false;
    registerRenderSubsystem();
    EffectHandlerSetup setup;
    effectHandler = createEffectHandler(s.device, setup);
    lightManager = new LightManager(s.device->getSceneManager());
    shaderManager = new ShaderManager();
    shaderManager->init();
    s.lights = lightManager;
    lightManager->maxLightsPerNode = 4;

    scene::ISceneManager* scene = s.device->getSceneManager();
    scene->setAmbientLight(video::SColorf(0.15f, 0.15f, 0.15f));
    // Level objects are textured meshes drawn as the game draws a physics object's mesh: an
    // animated mesh node on a mesh shared by the objects of one file, with the game's hint to
    // keep its buffers on the graphics card (the engine does so for meshes of 500 vertices
    // or more; a cube's 24 are drawn from memory, as the game's crates are), its materials
    // with the texture matrices the game's light manager gives every drawn material. Every
    // path samples a diffuse texture.
    video::ITexture* texture = s.device->getVideoDriver()->getTexture("Content/Models/Editor/White.png");
    scene::IMesh* cubeMesh = scene->getGeometryCreator()->createCubeMesh(core::vector3df(3.0f));
    cubeMesh->setHardwareMappingHint(scene::EHM_STATIC, scene::EBT_VERTEX_AND_INDEX);
    auto* shared = new scene::SAnimatedMesh(cubeMesh);
    cubeMesh->drop();
    for (int z = 0; z < rows; ++z)
        for (int x = 0; x < columns; ++x) {
            scene::IAnimatedMeshSceneNode* cube = scene->addAnimatedMeshSceneNode(
                shared, nullptr, -1, core::vector3df(x * 5.0f - 60.0f, 0.0f, z * 5.0f - 45.0f),
                core::vector3df(0.0f, static_cast<f32>((x * 7 + z * 13) % 90), 0.0f));
            cube->setMaterialTexture(0, texture);
            for (u32 i = 0; i < cube->getMaterialCount(); ++i)
                for (u32 layer = 0; layer < video::MATERIAL_MAX_TEXTURES; ++layer)
                    cube->getMaterial(i).getTextureMatrix(layer);
            s.objects.push_back(cube);
        }
    shared->drop();
    for (int i = 0; i < lightCount; ++i) {
        const f32 x = (i % 4) * 36.0f - 54.0f;
        const f32 z = (i / 4) * 50.0f - 25.0f;
        auto* light = new LightObject(scene->getRootSceneNode(), scene, -1, core::vector3df(x, 6.0f, z), 22.0f,
                                      video::SColorf(1.0f, 0.9f, 0.8f));
        light->drop();
    }
    scene::ICameraSceneNode* camera = scene->addCameraSceneNode(nullptr, core::vector3df(0, 70, -95));
    camera->setTarget(core::vector3df(0, 0, 0));
    return shaderManager->areShadersEnabled();
}

double cpuSeconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void useMaterial(s32 material) {
    for (scene::ISceneNode* node : stage().objects)
        node->setMaterialType(static_cast<video::E_MATERIAL_TYPE>(material));
}

void frames(benchmark::State& state, const std::function<void()>& draw) {
    Stage& s = stage();
    if (!s.device) {
        state.SkipWithError("no OpenGL device (run under Xvfb)");
        return;
    }
    video::IVideoDriver* driver = s.device->getVideoDriver();
    // Untimed frames first: the driver compiles a program on its first draw.
    for (int warmUp = 0; warmUp < 3; ++warmUp) {
        s.device->run();
        driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
        draw();
        driver->endScene();
    }
    // The process's CPU time, the driver's rasterizer threads included (a software OpenGL
    // under Xvfb shades every pixel on the processor); a loaded machine's waits do not count.
    // The main thread's share is a counter of its own.
    double mainThread = 0.0;
    for (auto _ : state) {
        const double start = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        const double threadStart = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        s.device->run();
        driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
        draw();
        driver->endScene();
        mainThread += cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - threadStart;
        state.SetIterationTime(cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - start);
    }
    state.counters["mainThreadMs"] =
        state.iterations() ? mainThread * 1000.0 / static_cast<double>(state.iterations()) : 0.0;
    state.counters["objects"] = static_cast<double>(s.objects.size());
}

void BM_PlainDrawAll(benchmark::State& state) {
    Stage& s = stage();
    if (s.device) {
        s.device->getSceneManager()->setLightManager(nullptr);
        useMaterial(video::EMT_SOLID);
    }
    frames(state, [&] { s.device->getSceneManager()->drawAll(); });
    if (s.device)
        s.device->getSceneManager()->setLightManager(s.lights);
}

void BM_FrameQuality0(benchmark::State& state) {
    if (stage().device) {
        shaderManager->graphicsQuality = 0;
        useMaterial(shaderManager->getMaterialType(0));
    }
    frames(state, [] { effectHandler->update(nullptr); });
}

void BM_FrameQuality0General(benchmark::State& state) {
    if (stage().device) {
        shaderManager->graphicsQuality = 0;
        shaderManager->specializeDraws = false;
        useMaterial(shaderManager->getMaterialType(0));
    }
    frames(state, [] { effectHandler->update(nullptr); });
    if (stage().device)
        shaderManager->specializeDraws = true;
}

void BM_FrameQuality2(benchmark::State& state) {
    if (stage().device) {
        shaderManager->graphicsQuality = 2;
        useMaterial(shaderManager->getMaterialType(0));
    }
    frames(state, [] { effectHandler->update(nullptr); });
}

// The quality-0 frame with the shadow pass of `cascades` cascades and/or the bloom chain.
void shadedFrames(benchmark::State& state, s32 cascades, bool bloom) {
    Stage& s = stage();
    if (s.device) {
        shaderManager->graphicsQuality = 0;
        useMaterial(shaderManager->getMaterialType(0));
        // The shaders' shadow switch asks for a running physics world.
        physicsManager = reinterpret_cast<PhysicsManager*>(&s);
        coreSlots().physics.isSimulationActive = [] { return true; };
        EffectHandler& handler = *effectHandler;
        handler.shadowsEnabled = cascades > 0;
        handler.shadowDistanceMode = cascades == 3 ? 2 : 1;
        handler.setShadowQuality(core::vector3df(40, 80, -40), core::vector3df(0, 0, 0));
        handler.shadowLights[0].resolution = 2048;
        handler.shadowNodes.clear();
        if (cascades > 0)
            for (scene::ISceneNode* node : s.objects) {
                handler.shadowNodes.push_back({node, 2, 0});
                handler.bindShadowMaps(node);
            }
        handler.bloomEnabled = bloom;
        handler.initPostProcessing();
    }
    frames(state, [cascades] {
        if (cascades > 0)
            effectHandler->updateShadowCascades();
        effectHandler->update(nullptr);
    });
    if (s.device) {
        effectHandler->bloomEnabled = false;
        effectHandler->initPostProcessing();
        effectHandler->shadowNodes.clear();
        physicsManager = nullptr;
    }
}

void BM_FrameShadowsOff(benchmark::State& state) { shadedFrames(state, 0, false); }
void BM_FrameShadowOneCascade(benchmark::State& state) { shadedFrames(state, 1, false); }
void BM_FrameShadowCascades(benchmark::State& state) { shadedFrames(state, 3, false); }
void BM_FrameBloom(benchmark::State& state) { shadedFrames(state, 0, true); }
void BM_FrameShadowCascadesAndBloom(benchmark::State& state) { shadedFrames(state, 3, true); }

BENCHMARK(BM_PlainDrawAll)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);
BENCHMARK(BM_FrameQuality0)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);
BENCHMARK(BM_FrameQuality0General)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);
BENCHMARK(BM_FrameQuality2)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);
BENCHMARK(BM_FrameShadowsOff)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);
BENCHMARK(BM_FrameShadowOneCascade)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);
BENCHMARK(BM_FrameShadowCascades)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);
BENCHMARK(BM_FrameBloom)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);
BENCHMARK(BM_FrameShadowCascadesAndBloom)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);

} // namespace

int main(int argc, char** argv) {
    if (!setUpStage())
        std::fprintf(stderr, "The stage could not be set up (no display, or the shaders did not compile).\n");
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (const double general = reporter.ratio("BM_FrameQuality0General", "BM_PlainDrawAll"); general > 0.0)
        std::printf("Quality 0 frame on the general programs only / plain drawAll: %.2f\n", general);
    if (const double q2 = reporter.ratio("BM_FrameQuality2", "BM_PlainDrawAll"); q2 > 0.0)
        std::printf("Quality 2 frame / plain drawAll: %.2f\n", q2);
    const char* shaded[4][2] = {{"BM_FrameShadowOneCascade", "one shadow cascade"},
                                {"BM_FrameShadowCascades", "three shadow cascades"},
                                {"BM_FrameBloom", "bloom chain"},
                                {"BM_FrameShadowCascadesAndBloom", "three cascades and bloom"}};
    for (const auto& row : shaded)
        if (const double ratio = reporter.ratio(row[0], "BM_FrameShadowsOff"); ratio > 0.0)
            std::printf("Frame with %s / without: %.2f\n", row[1], ratio);
    // The goal's ratio comes last, where a reader of the output looks for it.
    if (const double q0 = reporter.ratio("BM_FrameQuality0", "BM_PlainDrawAll"); q0 > 0.0)
        std::printf("Quality 0 frame / plain drawAll: %.2f (goal: at most 1.5)\n", q0);
    std::fflush(stdout);
    destroyEffectHandler();
    destroyLightManager();
    if (stage().device)
        stage().device->drop();
    delete shaderManager;
    shaderManager = nullptr;
    gameDevice = nullptr;
    return 0;
}
