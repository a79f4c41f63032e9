#pragma once

// The remapping road the whole-game tests drive, on the null driver and on OpenGL: the
// options' Controls row, the remapping screen, a new binding of "Limp" captured from the
// J key, back, and J pressed again; then, in the next run, whether J is still bound and
// what the reset leaves.
#include "GameFixture.h"

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

#include <IrrlichtDevice.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace remaptest {

inline bool keyBound(int action, irr::EKEY_CODE key) {
    for (const auto& mapping : remapControls()->mappings(action))
        if (mapping->keep && mapping->device == inputManager->getKeyboard() && mapping->buttonIndex == key)
            return true;
    return false;
}

inline bool onTheStack(const GUIScreen* screen) {
    const std::vector<GUIScreen*>& stack = screenManager->getScreenStack();
    return std::find(stack.begin(), stack.end(), screen) != stack.end();
}

struct RemapRun {
    GUIControlsRemapScreen* remap = nullptr;
    GUIOptionRemap* row = nullptr;
    bool drivesAction = false;
};

class RemapFixture : public GameFixture {
protected:
    // The first run's road; `captured` runs once the key is bound, with the remapping screen
    // still open. The run ends once J has been pressed again.
    void addRemapSteps(RemapRun& run, const std::function<void()>& captured) {
        waitFor("the title", titleShown, [&run] {
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
        });
        // Its buttons take clicks once it has faded in.
        waitFor("the remapping screen shown", [&run] { return shownOnTop(run.remap); }, [&run] {
            GUIRemapButton* heading = run.remap->findHeading(GameAction::Limp);
            ASSERT_NE(heading, nullptr);
            heading->getAddButton()->click();
            run.row = dynamic_cast<GUIOptionRemap*>(run.remap->getFocusedElement());
            ASSERT_NE(run.row, nullptr) << "Add made a row and gave it the focus";
            EXPECT_TRUE(run.row->isCapturing());
        });
        // The click that started the capture settles before the row listens.
        waitFor("the new row listens",
                [&run] { return run.row->getSettleCounter() > GUIOptionRemap::settleFrames; },
                [this] { postKey(irr::KEY_KEY_J, true); });
        nextFrame("J up", [this] { postKey(irr::KEY_KEY_J, false); });
        waitFor("J captured", [&run] { return !run.row->isCapturing(); }, [&run, captured] {
            EXPECT_TRUE(keyBound(GameAction::Limp, irr::KEY_KEY_J));
            if (captured)
                captured();
            run.remap->onBack(nullptr);
        });
        waitFor("the remapping screen closed", [&run] { return !onTheStack(run.remap); },
                [this] { postKey(irr::KEY_KEY_J, true); });
        nextFrame("J held", [this, &run] {
            run.drivesAction = remapControls()->getActionValue(GameAction::Limp) != 0.0f;
            postKey(irr::KEY_KEY_J, false);
        });
    }

    // The next start of the game: J must still be bound, and the reset must take it away.
    void checkSecondStart() {
        clearRoad();
        bool boundAfterRestart = false;
        bool boundAfterReset = true;
        waitFor("the title after the restart", titleShown, [&] {
            boundAfterRestart = keyBound(GameAction::Limp, irr::KEY_KEY_J);
            auto* page = new GUIControlOptionsScreen(gameDevice->getGUIEnvironment(), true);
            irr::s32 yes = 1;
            page->onResetConfirmed(yes);
            page->remove();
            page->drop();
            boundAfterReset = keyBound(GameAction::Limp, irr::KEY_KEY_J);
        });
        ASSERT_NO_FATAL_FAILURE(playGame());
        EXPECT_TRUE(boundAfterRestart);
        EXPECT_FALSE(boundAfterReset);
    }
};

} // namespace remaptest
