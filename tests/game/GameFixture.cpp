#include "GameFixture.h"

#include "camera/CameraServices.h"
#include "characters/CharacterServices.h"
#include "core/app/GameApplication.h"
#include "core/Globals.h"
#include "core/Stopwatch.h"
#include "gui/GUIOptionsList.h"
#include "gui/GUIScreen.h"
#include "gui/GUIScrollList.h"
#include "gui/GuiHooks.h"
#include "level/LevelHooks.h"
#include "physics/world/PhysicsHooks.h"
#include "player/GameActions.h"
#include "player/InputManager.h"
#include "player/PlayerControls.h"
#include "player/PlayerHooks.h"
#include "render/RenderServices.h"
#include "screens/ScreenManager.h"
#include "screens/menus/GUIPlayScreen.h"
#include "triggers/TriggerServices.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <thread>

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A failure that stops the test (FAIL() returns from the function it is written in).
void failRun(const std::string& why) { FAIL() << why; }

// The steady frames' clock in microseconds, moved by the fixture only.
std::int64_t steadyClock = 0;
std::int64_t readSteadyClock() { return steadyClock; }

} // namespace

GameFixture::GameFixture() = default;

GameFixture::~GameFixture() = default;

void GameFixture::waitFor(std::string name, std::function<bool()> ready, std::function<void()> act,
                          double boundSeconds) {
    road.push_back({std::move(name), std::move(ready), std::move(act), boundSeconds, false});
}

void GameFixture::nextFrame(std::string name, std::function<void()> act) {
    road.push_back({std::move(name), nullptr, std::move(act), stepBoundSeconds, false});
}

void GameFixture::waitForTheEnd(std::string name, double boundSeconds) {
    road.push_back({std::move(name), [] { return false; }, nullptr, boundSeconds, true});
}

void GameFixture::clearRoad() {
    road.clear();
    nextStep = 0;
    stableFrames = 0;
    roadStopped = false;
    stepClockRunning = false;
    everyFrame = nullptr;
    betweenFrames = nullptr;
    probe = FrameProbe();
    frame = 0;
}

std::string GameFixture::waitingStep() const { return nextStep < road.size() ? road[nextStep].name : std::string(); }

bool GameFixture::stableFor(bool condition, int frames) {
    stableFrames = condition ? stableFrames + 1 : 0;
    return stableFrames >= frames;
}

bool GameFixture::settledScreen(GUIScreen* screen) {
    bool ready = screen && screen->getFadeState() == GUIScreen::Shown;
    if (auto* list = dynamic_cast<GUIOptionsList*>(screen); ready && list && list->getScrollList())
        ready = list->getScrollList()->getAppear() >= 1.0f;
    return stableFor(ready, 3);
}

void GameFixture::stopRoad(const std::string& why) {
    roadStopped = true;
    QuitRequested = true;
    if (!why.empty())
        failRun(why);
}

void GameFixture::advanceRoad() {
    if (roadStopped) {
        QuitRequested = true;
        return;
    }
    if (everyFrame) {
        everyFrame();
        if (HasFatalFailure())
            return stopRoad("");
    }
    if (nextStep >= road.size())
        return;
    if (!stepClockRunning) {
        stepSince = std::chrono::steady_clock::now();
        stepClockRunning = true;
    }
    Step& step = road[nextStep];
    if (step.ready && !step.ready()) {
        if (secondsSince(stepSince) > step.boundSeconds)
            stopRoad("the step \"" + step.name + "\" did not come within " + std::to_string(step.boundSeconds) +
                     " s (frame " + std::to_string(frame) + ")");
        return;
    }
    if (step.act) {
        SCOPED_TRACE("the step \"" + step.name + "\"");
        step.act();
    }
    ++nextStep;
    stableFrames = 0;
    stepSince = std::chrono::steady_clock::now();
    if (HasFatalFailure())
        return stopRoad("");
    if (nextStep == road.size() && !RestartRequested)
        QuitRequested = true;
}

void GameFixture::playGame(int expectedStatus) {
    stepClockRunning = false;
    int status = gameStatusFailure;
    {
        // The game's own loop, with the road's step after every update that ran a frame and
        // the window's events after the frame's render.
        GameApplication game(commandLineLevel);
        if (game.startUp()) {
            attachProbe();
            status = gameStatusNormal;
            const auto runStart = std::chrono::steady_clock::now();
            const std::int64_t steadyStart = steadyClock;
            if (steadyFrames) {
                delete frameStopwatch;
                frameStopwatch = new Stopwatch(L"Frame", frameTargetInterval, StopwatchClock{&readSteadyClock, 1000000});
            }
            while (gameDevice->run() && !QuitRequested) {
                if (steadyFrames) {
                    steadyClock += steadyFrameMicroseconds;
                    const double ahead = static_cast<double>(steadyClock - steadyStart) * 1e-6 - secondsSince(runStart);
                    if (ahead > 0.0 && !fastFrames)
                        std::this_thread::sleep_for(std::chrono::duration<double>(ahead));
                }
                if (game.updateGame() == gameStatusRestart) {
                    status = gameStatusRestart;
                    break;
                }
                if (!game.frameRan())
                    continue;
                ++frame;
                advanceRoad();
                game.renderGame();
                if (betweenFrames)
                    betweenFrames();
                for (irr::SEvent& event : pendingEvents)
                    gameDevice->postEventFromUser(event);
                pendingEvents.clear();
            }
        }
        // The engine keeps its clock's speed for the whole process, past this device: a test
        // that held the clock must not leave it held for the next run of the game.
        if (gameDevice)
            gameDevice->getTimer()->setSpeed(1.0f);
        game.shutdownGame();
    }
    if (roadStopped)
        return;
    EXPECT_EQ(status, expectedStatus);
    const bool endReached = nextStep + 1 == road.size() && road[nextStep].endsTheRun;
    if (nextStep < road.size() && !endReached)
        failRun("the game ended before the step \"" + road[nextStep].name + "\"");
}

void GameFixture::postKey(irr::EKEY_CODE key, bool down) {
    irr::SEvent event;
    std::memset(static_cast<void*>(&event), 0, sizeof(event));
    event.EventType = irr::EET_KEY_INPUT_EVENT;
    event.KeyInput.Key = key;
    event.KeyInput.PressedDown = down;
    pendingEvents.push_back(event);
}

bool GameFixture::menuDownPressed() {
    PlayerControls* controls = inputManager->getActiveControls();
    return controls && controls->wasActionPressed(GameAction::MenuDown);
}

GUIPlayScreen* GameFixture::mainMenu() {
    return screenManager ? dynamic_cast<GUIPlayScreen*>(screenManager->getTopScreen()) : nullptr;
}

bool GameFixture::shownOnTop(const GUIScreen* screen) {
    return screen && screenManager && screenManager->getTopScreen() == screen &&
           screen->getFadeState() == GUIScreen::Shown;
}

bool GameFixture::titleShown() {
    if (!screenManager || StartingUp)
        return false;
    GUIScreen* top = screenManager->getTopScreen();
    return top && top->getFadeState() == GUIScreen::Shown;
}
