#pragma once

#include "gui/GUIOptionsList.h"

#include <irrString.h>

class GUIMenuItem;

// The main menu's entries, stacked above the title screen: New Game, Options and Quit (in
// demo mode one play entry). New Game resets the story part of the save, stores the first
// story level as the autosave level and queues its load behind a white fade. The background
// level keeps running behind it. Holding "menu right" with nothing focused for five seconds
// unlocks every level for the rest of the run.
class GUIPlayScreen : public GUIOptionsList {
public:
    static constexpr irr::f32 unlockHoldSeconds = 5.0f;

    GUIPlayScreen(irr::gui::IGUIEnvironment* environment, bool instant);

    bool OnEvent(const irr::SEvent& event) override;
    void OnPostRender(irr::u32 timeMs) override;
    const irr::c8* getTypeName() const override { return "GUIPlayScreen"; }
    void refreshFocus() override;
    void onFadeOutDone() override;
    void buildScreen() override;
    void buildItems() override;
    void onBack(GUIButton* element) override;

    void onNewGame(GUIButton* row);
    void openOptions(GUIButton* row);
    void openStorySelect(GUIButton* row);
    void openLevelSelect(GUIButton* row);
    void quitGame(GUIButton* row);

    // The play mode handed over when the main menu opened.
    irr::s32 MenuRequest = 0;
    // The command run when the fade-out ends: "NewGame" or "Settings".
    irr::core::stringc PlayCommand;
    GUIMenuItem* getOptionsItem() const { return OptionsItem; }
    irr::f32 getUnlockHoldTime() const { return UnlockHoldTime; }

private:
    void unlockEveryLevel();
    void startNewGame();

    GUIMenuItem* OptionsItem = nullptr;
    irr::f32 UnlockHoldTime = 0.0f;
};
