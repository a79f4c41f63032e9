// The game's frame loop (the real start-up, frame and shutdown on the null driver) over a
// level of 1,000 dynamic boxes on a floor (pushed every frame, so none sleeps), with 0 and
// with 2 physics threads, and with the render taking 0, 2 or 8 ms of work of its own.
//
// Reported per frame:
//   in_physics_ms  the main thread's time inside endStep, beginStep and stepDuringRender
//                  (each also on its own), each called by the bench where the frame calls it
//   BM_StepCost    the step's own cost: the same pushes and one step through the manager,
//                  inline, without the frame around it
// With threads, the step runs while the frame is drawn: the main thread waits for it in
// endStep only when the render is shorter than the step.
#include "core/app/GameApplication.h"
#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/CoreSlots.h"
#include "core/app/SubsystemRegistration.h"
#include "level/LevelManager.h"
#include "physics/world/PhysicsFiltering.h"
#include "physics/world/PhysicsManager.h"
#include "screens/ScreenManager.h"

#include "../support/CounterReporter.h"

#include <benchmark/benchmark.h>
#include <irrlicht.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

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

std::vector<phys::RigidDynamic*>& boxes() {
    static std::vector<phys::RigidDynamic*> list;
    return list;
}

// A static floor and 1,000 unit boxes on it, 25 x 40, 3 m apart.
void buildBoxes() {
    irr::scene::ISceneNode* node = gameDevice->getSceneManager()->addEmptySceneNode();
    node->updateAbsolutePosition();
    phys::RigidActor* floor = physicsManager->createBoxActor(node, nullptr, irr::core::vector3df(400, 1, 400),
                                                             phys::Transform(phys::Vec3(0, -0.5f, 0)), 1, 0.1f,
                                                             0.5f, true, false);
    setActorFilterData(floor, collisionCategory::Static, 0x0FFFFF8D);
    boxes().clear();
    for (int x = 0; x < 25; ++x)
        for (int z = 0; z < 40; ++z) {
            const phys::Vec3 at(x * 3.0f - 36.0f, 0.5f, z * 3.0f - 60.0f);
            phys::RigidActor* box = physicsManager->createBoxActor(node, nullptr, irr::core::vector3df(1, 1, 1),
                                                                   phys::Transform(at), 1, 0.1f, 0.5f, false, false);
            setActorFilterData(box, collisionCategory::Dynamic, 0x0FFFFF8F);
            boxes().push_back(box->asRigidDynamic());
        }
}

// Each box gets a sideways push that turns slowly, through the manager's force queue.
void pushBoxes(int frame) {
    const float angle = static_cast<float>(frame) * 0.02f;
    const phys::Vec3 push(std::cos(angle) * 12.0f, 0.0f, std::sin(angle) * 12.0f);
    for (phys::RigidDynamic* box : boxes())
        physicsManager->addForce(push, phys::ForceMode::Force, box, true);
}

// What the bench does inside the running game's frame: the boxes are pushed, and the step
// begun (timed), from the level manager's end-of-update list, the last step of the update
// before the update would begin it; the render's own work is done in the GUI's draw.
struct FrameWork {
    double* inBeginStep = nullptr;
    const bool* timing = nullptr;
    int frame = 0;
    void endOfUpdate() {
        pushBoxes(frame);
        if (!screenManager->isGameUpdateAllowed())
            return;
        const Clock::time_point start = Clock::now();
        physicsManager->beginStep();
        if (*timing)
            *inBeginStep += secondsSince(start);
    }
};

class RenderWork : public irr::gui::IGUIElement {
public:
    RenderWork(irr::gui::IGUIEnvironment* environment, double seconds)
        : IGUIElement(irr::gui::EGUIET_ELEMENT, environment, environment->getRootGUIElement(), -1,
                      irr::core::recti()),
          seconds(seconds) {}
    void draw() override { busyFor(seconds); }

private:
    double seconds;
};

void BM_GameFrame(benchmark::State& state) {
    const int threads = static_cast<int>(state.range(0));
    const double renderWork = static_cast<double>(state.range(1)) / 1000.0;
    GameFolder folder;
    writeSettings(threads);
    resetCoreSlots();
    resetProgramFlags();
    registerGameSubsystems();
    boxes().clear(); // the last benchmark's boxes went with its world

    // Seconds inside each entry point: endStep, beginStep, stepDuringRender. The bench calls
    // each itself, just before the frame would: the frame's own call then finds nothing left
    // to do.
    double inPhysics[3] = {};
    bool timing = false;
    auto timed = [&inPhysics, &timing](void (PhysicsManager::*entry)(), int which) {
        const Clock::time_point start = Clock::now();
        (physicsManager->*entry)();
        if (timing)
            inPhysics[which] += secondsSince(start);
    };
    GameApplication game;
    FrameWork work{&inPhysics[1], &timing};
    // One frame that got past the frame cap (updates the cap turned away run again), or
    // false when the game ended first. The physics catch-up may run the update's hooks more
    // than once inside it; a benchmark iteration is this whole frame.
    auto runFrame = [&] {
        while (gameDevice->run() && !QuitRequested) {
            timed(&PhysicsManager::endStep, 0);
            game.updateGame();
            if (!game.frameRan())
                continue;
            ++work.frame;
            timed(&PhysicsManager::stepDuringRender, 2);
            game.renderGame();
            return true;
        }
        return false;
    };
    bool ran = false;
    if (game.startUp()) {
        levelManager->onEndOfUpdate.addMember(&work, &FrameWork::endOfUpdate);
        (new RenderWork(gameDevice->getGUIEnvironment(), renderWork))->drop();
        if (runFrame()) {
            buildBoxes();
            ran = true;
            timing = true;
            for (auto _ : state) {
                if (!runFrame()) {
                    ran = false;
                    break;
                }
            }
            timing = false;
        }
    }
    game.shutdownGame();
    resetCoreSlots();
    boxes().clear();
    if (!ran) {
        std::ifstream log("PaddlestoneLog.txt");
        std::string line, last;
        while (std::getline(log, line))
            last = line;
        state.SkipWithError(("the game did not run: " + last).c_str());
        return;
    }
    const double frames = static_cast<double>(state.iterations());
    const double perFrame = frames > 0 ? 1000.0 / frames : 0.0;
    state.counters["in_physics_ms"] = (inPhysics[0] + inPhysics[1] + inPhysics[2]) * perFrame;
    state.counters["endStep_ms"] = inPhysics[0] * perFrame;
    state.counters["beginStep_ms"] = inPhysics[1] * perFrame;
    state.counters["render_ms"] = inPhysics[2] * perFrame;
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
    buildBoxes();
    // The same pushes and steps as in the game, through the manager, without the frame.
    manager->updateStepCount(0.0f);
    manager->updateStepCount(0.0f);
    int frame = 0;
    const Clock::time_point start = Clock::now();
    for (auto _ : state) {
        pushBoxes(++frame);
        manager->updateStepCount(PhysicsManager::fixedStepSize);
        manager->beginStep();
        manager->endStep();
    }
    const double seconds = secondsSince(start);
    if (state.iterations() > 0)
        state.counters["step_ms"] = 1000.0 * seconds / static_cast<double>(state.iterations());
    boxes().clear();
    delete manager;
    physicsManager = nullptr;
    gameDevice = nullptr;
    device->drop();
    gameSettings = nullptr;
}

} // namespace

BENCHMARK(BM_StepCost)->Iterations(600)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GameFrame)
    ->ArgsProduct({{0, 2}, {0, 2, 8}})
    ->ArgNames({"threads", "render_ms"})
    ->Iterations(600)
    ->Unit(benchmark::kMillisecond);

// The ratio line comes last: the main thread's time in the physics entry points per frame
// over the step's own cost, without and with the worker (8 ms of render work).
int main(int argc, char** argv) {
    bench::CounterReporter reporter;
    if (!bench::runBenchmarks(argc, argv, reporter))
        return 1;
    const double step = reporter.counter("BM_StepCost", "step_ms");
    auto share = [&](const char* run) {
        return step > 0 ? reporter.counter(run, "in_physics_ms") / step : 0.0;
    };
    std::printf("Main thread in physics / step cost: 0 threads %.2f, 2 threads with 8 ms of render %.2f "
                "(0 = not run)\n",
                share("BM_GameFrame/threads:0/render_ms:8"), share("BM_GameFrame/threads:2/render_ms:8"));
    return 0;
}
