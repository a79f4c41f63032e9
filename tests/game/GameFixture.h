#pragma once

#include "../core/app/ShellFixture.h"
#include "core/Globals.h"
#include "support/TempDir.h"

#include <irrlicht.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class GUIPlayScreen;
class GUIScreen;

// The whole game: the real program's registrations (as main() makes them) and the test's
// road through the running game.
//
// The road is a list of steps. Every frame, after its update and before its render, the
// current step asks for its state; once the state holds, the step acts, and the next step asks from
// the next frame on. A step whose state has not come within its bound (wall time: a slow
// machine only runs fewer frames) fails the test with the step's name, and a fatal failure
// inside a step (an ASSERT) ends the run there; either way no later step runs and the game
// quits. Once the last step has acted the game quits, unless the step asked for a restart.
// The screenshots of a step show the frame drawn before it.
// Run the game with ASSERT_NO_FATAL_FAILURE(playGame()): a failed step stops the test.
class GameFixture : public ShellFixture {
protected:
    GameFixture();
    ~GameFixture() override;

    // Long enough for a level to load under the sanitizers on a busy machine.
    static constexpr double stepBoundSeconds = 60.0;

    // A step that waits for its state, then acts.
    void waitFor(std::string name, std::function<bool()> ready, std::function<void()> act = {},
                 double boundSeconds = stepBoundSeconds);
    // A step that acts in the frame after the step before (a key let go, what one frame did).
    void nextFrame(std::string name, std::function<void()> act);
    // The last step: the game ends by itself (a restart it asked for), within the bound.
    void waitForTheEnd(std::string name, double boundSeconds = stepBoundSeconds);
    // Runs the game (start-up, the frames, shutdown) and expects the status; fails with the
    // name of the step the game ended before.
    void playGame(int expectedStatus = gameStatusNormal);
    // Empties the road (and the frame watchers, the probe's too) for the next run of the game.
    void clearRoad();
    // The name of the step the road waits for; empty once it is done.
    std::string waitingStep() const;
    // True once the condition has held in that many frames in a row (a body at rest, a menu
    // that stays); for a step's state. The count starts afresh with every step.
    bool stableFor(bool condition, int frames);
    // For a step's state: the screen (the top one, cast by the caller; null when it is not of
    // the type) has come in, its rows stand still, and it has stayed so for three frames.
    bool settledScreen(GUIScreen* screen);

    // A key goes down or up through the engine's event receiver, where the window delivers
    // it: after this frame's input frame has ended, before the next frame.
    void postKey(irr::EKEY_CODE key, bool down);
    // The "Menu Down" action went down this frame on the active controls.
    static bool menuDownPressed();
    // The main menu's entry list when it is the top screen (null otherwise).
    static GUIPlayScreen* mainMenu();
    // The screen is on top of the stack and its fade-in has ended.
    static bool shownOnTop(const GUIScreen* screen);
    // Start-up has ended: the title screen is on top and has faded in.
    static bool titleShown();
    // The OpenGL window draws into its front buffer, where screenshots read (for this test).
    void useSingleBuffer() { singleBuffer.set("1"); }
    // Every frame of the run is one frame target long in the game's own time (the frame
    // stopwatch reads a clock the fixture moves by a frame each pass), and that time never
    // runs ahead of the wall clock: a busy machine runs the same frames, only later. For a
    // test whose timers, physics steps and per-frame forces must keep in step.
    void useSteadyFrames() { steadyFrames = true; }
    // Steady frames that run as fast as the machine draws them, ahead of the wall clock: for
    // a test that waits for seconds of a level's own script.
    void useFastFrames() {
        steadyFrames = true;
        fastFrames = true;
    }
    // Fast frames of the given length in the game's own time: a machine too slow for the
    // game, every frame of which is longer than the ten physics steps it may simulate.
    void useSlowFrames(double seconds) {
        useFastFrames();
        steadyFrameMicroseconds = static_cast<std::int64_t>(seconds * 1e6 + 0.5);
    }

    // The level the game is started with, as on the command line (none: the title).
    std::string commandLineLevel;
    // Frames since the run began (the updates that got past the frame cap).
    int frame = 0;
    // Runs every frame before the road's step: what the test watches over the whole run.
    std::function<void()> everyFrame;
    // Runs after every frame's render, before the window's events come in (a touch the test
    // makes between frames).
    std::function<void()> betweenFrames;
    std::vector<irr::SEvent> pendingEvents;

private:
    test::ScopedEnv singleBuffer{"PADDLESTONE_SINGLE_BUFFER", std::nullopt};
    bool steadyFrames = false;
    bool fastFrames = false;
    std::int64_t steadyFrameMicroseconds = 16700; // the frame target

    struct Step {
        std::string name;
        std::function<bool()> ready;
        std::function<void()> act;
        double boundSeconds;
        bool endsTheRun = false;
    };
    void advanceRoad();
    void stopRoad(const std::string& why);

    std::vector<Step> road;
    std::size_t nextStep = 0;
    int stableFrames = 0;
    bool roadStopped = false;
    std::chrono::steady_clock::time_point stepSince;
    bool stepClockRunning = false;
};
