#pragma once

#include <functional>
#include <string>

namespace irr::gui {
class IGUIElement;
}

// Calls from the player and input code into subsystems that land after it, grouped by
// callee. Each slot is tested for emptiness where it is called: an empty slot answers the default written beside
// it. The subsystem that lands fills its slots in its registration function at start-up;
// tests fill them with recording lambdas and call resetPlayerHooks().
struct PlayerHooks {
    struct Screens {
        // ScreenManager::getTopScreenFocus: the focused element of the top screen, the
        // receiver of the menu key events. Empty: null (nothing is sent).
        std::function<irr::gui::IGUIElement*()> getTopScreenFocus;
        // The active screen's float state (the cutscene overlay's bar amount); the multitouch
        // device counts itself present only while it is 0.0. Empty: 0.0 (no active screen).
        std::function<float()> activeScreenState;
    } screens;

    struct Level {
        // The level manager's state flag that, with the active screen's state, hides the
        // multitouch device. Empty: false.
        std::function<bool()> touchInstanceFlag;
    } level;

    struct Physics {
        // The physics manager's fixed step in seconds, the input's time step. Empty: 0.0167.
        std::function<float()> fixedStepLength;
    } physics;

    struct Saves {
        // The folder of the player's files (the save manager's save folder), where the
        // remapping file lives. Empty: the working folder.
        std::function<std::string()> saveFolder;
    } saves;
};

PlayerHooks& playerHooks();
void resetPlayerHooks();

// The answers the input code works with, from the program-wide queries (core/ProgramQueries.h)
// and the hooks, each with its default when nothing answers.
namespace inputQueries {
bool isSimulationActive();
float fixedStep();
// No screen manager, or the screen manager lets game input through.
bool isInputAllowed();
bool isGameplaySuspended();
bool isGameplaySuspendedOrLoading();
bool isMenuOpen();
// The store overlay covers the game (menu input is skipped meanwhile).
bool isStoreOverlayActive();
} // namespace inputQueries
