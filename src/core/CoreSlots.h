#pragma once

#include <irrTypes.h>
#include <path.h>

#include <functional>

// The application core's calls up into the subsystems built on it: what the program-wide
// queries (core/ProgramQueries.h) ask of the screens, the level and the physics, the font
// cache the language manager takes its TrueType fonts from, and what the sound manager does
// to the level's sound objects. The shell's registration (registerGameSubsystems) fills every
// slot before start-up; an empty slot answers the default written beside it. Nothing else of
// the core calls up.

namespace irr::gui {
class IGUIFont;
}

class SoundObject;

struct CoreSlots {
    struct Physics {
        // The physics manager's simulation flag. Empty: false.
        std::function<bool()> isSimulationActive;
    } physics;

    struct Screens {
        // The screen manager's gates. Empty: true (nothing holds input or the game back).
        std::function<bool()> isInputAllowed;
        std::function<bool()> isGameUpdateAllowed;
        // The stack is not empty and its index-0 screen keeps the game timer running.
        // Empty: false.
        std::function<bool()> topScreenKeepsTimerRunning;
        // The cutscene screen's bar amount. Empty: 0.
        std::function<irr::f32()> overlayBlend;
        // Empty: false.
        std::function<bool()> isStackActive;
        std::function<bool()> isPauseScreenVisible;
    } screens;

    struct Level {
        // The level manager's state (each empty: false, 0 or 0.0).
        std::function<bool()> isSuspended;
        std::function<bool()> isLevelLoading;
        // Either busy flag (intro or outro running) of the loading overlay.
        std::function<bool()> isLoadingOverlayBusy;
        std::function<irr::s32()> loadingOverlayTransitionKind;
        std::function<irr::f32()> loadingOverlayFadeValue;
        // SoundObject::pause (true) or resume (false), for the sound manager's setAllPaused.
        std::function<void(SoundObject*, bool)> pauseSoundObject;
        // Every sound object drops its handles into the audio system, which is about to be
        // released or replaced.
        std::function<void()> releaseSoundObjectAudio;
    } level;

    struct Fonts {
        // The GUI's font cache: the font of a TrueType file at a pixel size. Empty: null.
        std::function<irr::gui::IGUIFont*(const irr::io::path&, irr::s32)> getCachedFont;
    } fonts;
};

CoreSlots& coreSlots();
// Empties every slot (tests).
void resetCoreSlots();
