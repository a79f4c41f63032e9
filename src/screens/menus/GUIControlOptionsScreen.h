#pragma once

#include "screens/menus/GUISettingsScreen.h"

#include <vector>

class GUIMenuItem;
class PlayerControls;

// The controls page of the options menu: the remapping screen, a reset of every binding to
// the defaults after a question, and the input settings (mouse and keyboard sensitivities,
// pad vibration and stick sensitivity, joystick stick sensitivity and the joystick switch).
// Every change is written into the settings and into player 0's live controls at once; the
// settings file is written when the page closes, the remapping file each time the rows are
// built and by a confirmed reset.
class GUIControlOptionsScreen : public GUISettingsScreen {
public:
    GUIControlOptionsScreen(irr::gui::IGUIEnvironment* environment, bool openedFromMainMenu);

    void buildScreen() override { buildPage(12); }
    void buildItems() override;
    void onFadeOutDone() override;
    // The section headings stay disabled: they are labels, never rows to choose.
    void setItemsEnabled(bool enabled) override;

    void onRemapControls(GUIButton* row);
    void onResetControls(GUIButton* row);
    void onResetConfirmed(irr::s32& answer);
    void onHorizontalSensitivity(GUIOptionMeter* row);
    void onVerticalSensitivity(GUIOptionMeter* row);
    void onScrollSensitivity(GUIOptionMeter* row);
    void onGamepadStickSensitivity(GUIOptionMeter* row);
    void onJoystickStickSensitivity(GUIOptionMeter* row);
    void onVibration(irr::s32 on);
    void onJoystickIgnoreInput(irr::s32 on);

private:
    GUIMenuItem* addEntryRow(irr::s32 text);
    GUIMenuItem* addHeadingRow(irr::s32 text);
    GUIOptionMeter* addSensitivityRow(irr::s32 label, const char* key);
    void stack(GUIScreen* screen);

    std::vector<GUIMenuItem*> Headings;
};

// Player 0's first controls when the input manager has them, else its default controls;
// null without an input manager.
PlayerControls* remapControls();
