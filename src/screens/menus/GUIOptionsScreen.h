#pragma once

#include "gui/GUIOptionsList.h"

// The options menu: graphics, controls and audio pages, stacked above it, and, only when
// opened from the main menu, a reset of every setting to its default that restarts the game
// and reopens the options over the main menu (as a graphics restart does: a game started
// with a level path comes back to the menu, not into that level).
// Closing it saves the settings; over the main menu it then brings the main menu's list back
// (with Options focused), over the pause menu it just goes.
class GUIOptionsScreen : public GUIOptionsList {
public:
    static constexpr const wchar_t* backgroundLevel = L"Content/Levels/MainScreen_Background.irr";

    GUIOptionsScreen(irr::gui::IGUIEnvironment* environment, bool openedFromMainMenu);

    void draw() override;
    void OnPostRender(irr::u32 timeMs) override;
    void refreshFocus() override;
    void onFadeInDone() override { setItemsEnabled(true); }
    void onFadeOutDone() override;
    void buildScreen() override;
    void buildItems() override;
    void onBack(GUIButton* element) override;

    void onGraphics(GUIButton* row);
    void onControls(GUIButton* row);
    void onAudio(GUIButton* row);
    void onReset(GUIButton* row);
    void onResetAnswer(irr::s32& answer);

    bool isResetConfirmed() const { return ResetConfirmed; }

private:
    void stack(GUIScreen* screen);
    void restartAfterReset();

    bool ResetConfirmed = false;
};

// Opens the options menu on top of the screen stack: from the main menu (the main menu's
// Options entry, and its reopening after a graphics restart) or from the pause menu. The
// new screen, or null without a screen manager.
GUIOptionsScreen* openOptionsScreen(bool openedFromMainMenu);
