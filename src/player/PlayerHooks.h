#pragma once

#include <functional>
#include <string>

namespace irr::gui {
class IGUIElement;
}

// Calls from the player and input code into subsystems that land after it, grouped by
// callee. Each slot is tested for emptiness where it is called: an empty slot answers the
// default written beside it. The subsystem that lands fills its slots in its registration
// function at start-up; tests fill them with recording lambdas and call resetPlayerHooks().
struct PlayerHooks {
    struct Screens {
        // ScreenManager::getTopScreenFocus: the focused element of the top screen, the
        // receiver of the menu key events. Empty: null (nothing is sent).
        std::function<irr::gui::IGUIElement*()> getTopScreenFocus;
        // ScreenManager::isInputAllowed. Empty: true (no screen manager holds input back).
        std::function<bool()> isInputAllowed;
    } screens;

    struct Physics {
        // The physics manager's simulation flag. Empty: false.
        std::function<bool()> isSimulationActive;
        // The physics manager's fixed step in seconds, the input's time step. Empty: 0.0167.
        std::function<float()> fixedStepLength;
    } physics;

    struct Game {
        // isGameplaySuspended, isGameplaySuspendedOrLoading, isMenuOpen. Empty: false.
        std::function<bool()> isGameplaySuspended;
        std::function<bool()> isGameplaySuspendedOrLoading;
        std::function<bool()> isMenuOpen;
    } game;

    struct Saves {
        // The folder of the player's files (the save manager's save folder), where the
        // remapping file lives. Empty: the working folder.
        std::function<std::string()> saveFolder;
    } saves;

    struct Language {
        // LanguageManager::getText. Empty: no text (devices show their own names).
        std::function<std::wstring(int textId)> getText;
    } language;
};

PlayerHooks& playerHooks();
void resetPlayerHooks();

// The answers the input code works with, each taking its default when the slot is empty.
namespace inputQueries {
bool isSimulationActive();
float fixedStep();
bool isInputAllowed();
bool isGameplaySuspended();
bool isGameplaySuspendedOrLoading();
bool isMenuOpen();
// The store overlay covers the game (menu input is skipped meanwhile).
bool isStoreOverlayActive();
} // namespace inputQueries
