// The game's frame loop (the real start-up, frame and shutdown on the null driver) over a
// pile of 1,000 dynamic boxes falling onto a floor, with 0 and with 2 physics threads, and
// with the rest of the frame (the level update and the render) taking 0, 4 or 12 ms.
//
// Reported per frame:
//   in_physics_ms  the main thread's time inside endStep, beginStep and stepDuringRender
//   BM_StepCost    the step's own cost: simulate and fetch of one step on the main thread
// With threads, the step runs while the frame is drawn: the main thread waits for it in
// endStep only when the rest of the frame is shorter than the step.
#include "core/GameApplication.h"
#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/ShellHooks.h"
#include "level/LevelShellHooks.h"
#include "physics/world/PhysicsFiltering.h"
#include "physics/world/PhysicsManager.h"
#include "physics/world/PhysicsRegistration.h"
#include "player/InputRegistration.h"
#include "screens/ScreenRegistration.h"

#include <benchmark/benchmark.h>
#include <irrlicht.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void busyFor(double seconds) {
    const Clock::time_point start = Clock::now();
    while (secondsSince(start) < seconds) {
    }
}

// A working folder with the game's Content/, its settings and the player's files.
struct GameFolder {
    GameFolder() {
        root = std::filesystem::temp_directory_path() / ("paddlestone_bench_" + std::to_string(getpid()));
        std::filesystem::create_directories(root / "data");
        std::filesystem::create_directory_symlink(std::filesystem::path(PADDLESTONE_SOURCE_DIR) / "Content",
                                                  root / "Content");
        previous = std::filesystem::current_path();
        std::filesystem::current_path(root);
        setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
    }
    ~GameFolder() {
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(root);
    }
    std::filesystem::path root, previous;
};

void writeSettings(int threads) {
    GameSettings settings(GameSettings::defaultFileName);
    settings.load(true);
    gameSettings = &settings;
    setSettingString("Graphics_Driver", "Null");
    setSettingBool("Graphics_Vsync", false);
    setSettingInt("Game_PhysicsThreads", threads);
    settings.save();
    gameSettings = nullptr;
}

// A static floor and 1,000 unit boxes in a 10 x 10 x 10 block above it.
void buildPile() {
    irr::scene::ISceneNode* node = gameDevice->getSceneManager()->addEmptySceneNode();
    node->updateAbsolutePosition();
    const irr::core::vector3df unit(1, 1, 1);
    phys::RigidActor* floor = physicsManager->createBoxActor(node, nullptr, irr::core::vector3df(200, 1, 200),
                                                             phys::Transform(phys::Vec3(0, -0.5f, 0)), 1, 0.1f,
                                                             0.5f, true, false);
    setActorFilterData(floor, collisionCategory::Static, 0x0FFFFF8D);
    for (int x = 0; x < 10; ++x)
        for (int y = 0; y < 10; ++y)
            for (int z = 0; z < 10; ++z) {
                const phys::Vec3 at(x * 1.1f - 5.0f + 0.05f * y, 0.6f + y * 1.2f, z * 1.1f - 5.0f);
                phys::RigidActor* box =
                    physicsManager->createBoxActor(node, nullptr, unit, phys::Transform(at), 1, 0.1f, 0.5f, false, false);
                setActorFilterData(box, collisionCategory::Dynamic, 0x0FFFFF8F);
            }
}

void BM_GameFrame(benchmark::State& state) {
    const int threads = static_cast<int>(state.range(0));
    const double restOfFrame = static_cast<double>(state.range(1)) / 1000.0;
    GameFolder folder;
    writeSettings(threads);
    resetShellHooks();
    resetProgramFlags();
    registerLevelShellHooks();
    registerInputSubsystem();
    registerScreens();
    registerPhysicsSubsystem();

    ShellHooks& hooks = shellHooks();
    double inPhysics = 0.0;
    bool timing = false;
    auto timed = [&inPhysics, &timing](std::function<void()> entry) {
        return [entry, &inPhysics, &timing] {
            const Clock::time_point start = Clock::now();
            entry();
            if (timing)
                inPhysics += secondsSince(start);
        };
    };
    hooks.physics.endStep = timed(hooks.physics.endStep);
    hooks.physics.beginStep = timed(hooks.physics.beginStep);
    hooks.physics.stepDuringRender = timed(hooks.physics.stepDuringRender);
    // The rest of the frame: half in the level update, half in the render.
    hooks.level.update = [update = hooks.level.update, restOfFrame] {
        update();
        busyFor(restOfFrame / 2);
    };
    int frame = 0;
    hooks.screens.update = [update = hooks.screens.update, &frame, &state, &timing] {
        update();
        if (++frame == 1) {
            buildPile();
            return;
        }
        timing = true;
        if (!state.KeepRunning())
            QuitRequested = true;
    };
    hooks.screens.draw = [draw = hooks.screens.draw, restOfFrame] {
        busyFor(restOfFrame / 2);
        draw();
    };

    GameApplication game;
    game.run();
    resetShellHooks();
    const double frames = static_cast<double>(state.iterations());
    state.counters["in_physics_ms"] = frames > 0 ? inPhysics * 1000.0 / frames : 0.0;
}

// The step's own cost over the same pile, without the frame around it.
void BM_StepCost(benchmark::State& state) {
    GameFolder folder;
    writeSettings(0);
    GameSettings settings(GameSettings::defaultFileName);
    settings.load();
    gameSettings = &settings;
    irr::IrrlichtDevice* device = irr::createDevice(irr::video::EDT_NULL);
    device->getLogger()->setLogLevel(irr::ELL_NONE);
    gameDevice = device;
    auto* manager = new PhysicsManager();
    physicsManager = manager;
    manager->init();
    buildPile();
    // Falling, piling and coming to rest, as in the frame benchmark.
    for (auto _ : state) {
        manager->getScene()->simulate(PhysicsManager::fixedStepSize);
        manager->getScene()->fetchResults(true);
    }
    delete manager;
    physicsManager = nullptr;
    gameDevice = nullptr;
    device->drop();
    gameSettings = nullptr;
}

} // namespace

BENCHMARK(BM_StepCost)->Iterations(600)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GameFrame)
    ->ArgsProduct({{0, 2}, {0, 4, 12}})
    ->ArgNames({"threads", "rest_ms"})
    ->Iterations(600)
    ->Unit(benchmark::kMillisecond);
