#pragma once

// A level played from its load on clocks that step one frame target a frame (the frame loop's
// and the engine's): the level's scripted moments, and its own end, come at the same frame
// however slow the machine, so that every run of it times the same frames of play.
#include "GameSession.h"

#include "core/Globals.h"
#include "core/Stopwatch.h"

#include <irrlicht.h>

#include <algorithm>
#include <cstdint>
#include <functional>

namespace bench {

constexpr std::int64_t frameTargetMicroseconds = 16700;

inline std::int64_t& steppedMicroseconds() {
    static std::int64_t now = 0;
    return now;
}
inline std::int64_t readSteppedClock() { return steppedMicroseconds(); }

// CPU seconds of the frames played, in all and the longest one.
struct SteppedFrames {
    double process = 0.0;
    double thread = 0.0;
    double longest = 0.0; // process
    int frames = 0;
};

// Plays `frames` frames of the started game's level, after `unmeasured` frames that are not
// counted (the first ones after a load draw what is new); `afterFrame` runs after each
// measured frame. Fewer frames when the game ended.
inline SteppedFrames playStepped(GameSession& game, int frames, int unmeasured = 0,
                                 const std::function<void()>& afterFrame = {}) {
    delete frameStopwatch;
    frameStopwatch = new Stopwatch(L"Frame", frameTargetInterval, StopwatchClock{&readSteppedClock, 1000000});
    irr::ITimer* timer = gameDevice->getTimer();
    timer->setSpeed(0.0f);
    const irr::u32 startMs = timer->getTime();
    SteppedFrames measured;
    int ran = 0;
    for (int pass = 0; ran < unmeasured + frames && pass < (unmeasured + frames) * 4; ++pass) {
        if (!gameDevice->run() || QuitRequested)
            break;
        steppedMicroseconds() += frameTargetMicroseconds;
        timer->setTime(startMs + static_cast<irr::u32>((pass + 1) * frameTargetMicroseconds / 1000));
        const double process = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        const double thread = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        game.game->updateGame();
        if (!game.game->frameRan())
            continue;
        game.game->renderGame();
        if (ran++ < unmeasured)
            continue;
        const double frame = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - process;
        measured.process += frame;
        measured.thread += cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - thread;
        measured.longest = std::max(measured.longest, frame);
        ++measured.frames;
        if (afterFrame)
            afterFrame();
    }
    // The engine keeps its clock's speed past this device.
    timer->setSpeed(1.0f);
    return measured;
}

} // namespace bench
