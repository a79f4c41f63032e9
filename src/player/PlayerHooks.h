#pragma once

#include <functional>
#include <string>

namespace irr::gui {
class IGUIElement;
}

// Calls from the player and input code up into the screens. Each slot is tested for
// emptiness where it is called: an empty slot answers the default written beside it. The
// screens fill their slots in their registration function at start-up; tests fill them with
// recording lambdas and call resetPlayerHooks().
struct PlayerHooks {
    struct Screens {
        // ScreenManager::getTopScreenFocus: the focused element of the top screen, the
        // receiver of the menu key events. Empty: null (nothing is sent).
        std::function<irr::gui::IGUIElement*()> getTopScreenFocus;
        // The active screen's float state (the cutscene overlay's bar amount); the multitouch
        // device counts itself present only while it is 0.0. Empty: 0.0 (no active screen).
        std::function<float()> activeScreenState;
    } screens;
};

PlayerHooks& playerHooks();
void resetPlayerHooks();

// The answers the input code works with, from the program-wide queries (core/ProgramQueries.h)
// and the hooks, each with its default when nothing answers.
namespace inputQueries {
bool isSimulationActive();
// The physics manager's fixed step in seconds (0.0167 without one), the input's time step.
float fixedStep();
// No screen manager, or the screen manager lets game input through.
bool isInputAllowed();
bool isGameplaySuspended();
bool isGameplaySuspendedOrLoading();
bool isMenuOpen();
// The store overlay covers the game (menu input is skipped meanwhile).
bool isStoreOverlayActive();
} // namespace inputQueries
