#pragma once

// The remapping road the whole-game tests drive, on the null driver and on OpenGL: the
// options' Controls row, the remapping screen, a new binding of "Limp" captured from the
// J key, back, and J pressed again; then, in the next run, whether J is still bound and
// what the reset leaves.
#include "core/GameApplication.h"
#include "core/Globals.h"
#include "gui/GUIMenuItem.h"
#include "gui/GUIOptionRemap.h"
#include "gui/GUIScreen.h"
#include "player/GameActions.h"
#include "player/InputManager.h"
#include "player/PlayerControls.h"
#include "player/devices/KeyboardDevice.h"
#include "screens/ScreenManager.h"
#include "screens/menus/GUIControlOptionsScreen.h"
#include "screens/menus/GUIControlsRemapScreen.h"
#include "screens/menus/GUIOptionsScreen.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace remaptest {

using Steps = std::map<int, std::function<void()>>;
using KeyPoster = std::function<void(irr::EKEY_CODE, bool)>;

inline bool keyBound(int action, irr::EKEY_CODE key) {
    for (const auto& mapping : remapControls()->mappings(action))
        if (mapping->keep && mapping->device == inputManager->getKeyboard() && mapping->buttonIndex == key)
            return true;
    return false;
}

struct RemapRun {
    GUIControlsRemapScreen* remap = nullptr;
    GUIOptionRemap* row = nullptr;
    bool drivesAction = false;
};

// The first run's steps from frame `at`; `captured` runs once the key is bound, with the
// remapping screen still open. The run ends with frame at + 56.
inline void addRemapSteps(Steps& steps, int at, RemapRun& run, const KeyPoster& postKey,
                          const std::function<void()>& captured) {
    steps[at] = [&run] {
        screenManager->closeAllScreens();
        GUIOptionsScreen* options = openOptionsScreen(true);
        ASSERT_NE(options, nullptr);
        options->onControls(nullptr);
        auto* controls = dynamic_cast<GUIControlOptionsScreen*>(screenManager->getScreenStack().front());
        ASSERT_NE(controls, nullptr) << "the options menu's Controls row opens the controls page";
        controls->onRemapControls(nullptr);
        run.remap = dynamic_cast<GUIControlsRemapScreen*>(screenManager->getScreenStack().front());
        ASSERT_NE(run.remap, nullptr);
        EXPECT_FALSE(keyBound(GameAction::Limp, irr::KEY_KEY_J));
    };
    steps[at + 10] = [&run] {
        run.remap->findHeading(GameAction::Limp)->getAddButton()->click();
        run.row = dynamic_cast<GUIOptionRemap*>(run.remap->getFocusedElement());
        ASSERT_NE(run.row, nullptr);
        EXPECT_TRUE(run.row->isCapturing());
    };
    steps[at + 25] = [postKey] { postKey(irr::KEY_KEY_J, true); };
    steps[at + 26] = [postKey] { postKey(irr::KEY_KEY_J, false); };
    steps[at + 35] = [&run, captured] {
        EXPECT_FALSE(run.row->isCapturing());
        EXPECT_TRUE(keyBound(GameAction::Limp, irr::KEY_KEY_J));
        if (captured)
            captured();
        run.remap->onBack(nullptr);
    };
    steps[at + 50] = [postKey] { postKey(irr::KEY_KEY_J, true); };
    steps[at + 51] = [&run, postKey] {
        run.drivesAction = remapControls()->getActionValue(GameAction::Limp) != 0.0f;
        postKey(irr::KEY_KEY_J, false);
    };
    steps[at + 56] = [] { QuitRequested = true; };
}

// The second run's steps: whether J is still bound, then the reset confirmed.
inline void addRestartSteps(Steps& steps, int at, bool& boundAfterRestart, bool& boundAfterReset) {
    steps[at] = [&] {
        boundAfterRestart = keyBound(GameAction::Limp, irr::KEY_KEY_J);
        auto* page = new GUIControlOptionsScreen(gameDevice->getGUIEnvironment(), true);
        irr::s32 yes = 1;
        page->onResetConfirmed(yes);
        page->remove();
        page->drop();
        boundAfterReset = keyBound(GameAction::Limp, irr::KEY_KEY_J);
    };
    steps[at + 2] = [] { QuitRequested = true; };
}

// The next start of the game: J must still be bound, and the reset must take it away.
inline void checkSecondStart(Steps& steps, int& frame) {
    steps.clear();
    frame = 0;
    bool boundAfterRestart = false;
    bool boundAfterReset = true;
    addRestartSteps(steps, 10, boundAfterRestart, boundAfterReset);
    {
        GameApplication game;
        EXPECT_EQ(game.run(), gameStatusNormal);
    }
    EXPECT_TRUE(boundAfterRestart);
    EXPECT_FALSE(boundAfterReset);
}

} // namespace remaptest
