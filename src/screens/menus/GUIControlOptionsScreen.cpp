#include "screens/menus/GUIControlOptionsScreen.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "gui/GUIMenuItem.h"
#include "gui/GUIOptionCycle.h"
#include "gui/GUIOptionMeter.h"
#include "gui/GUIScrollList.h"
#include "gui/GUITextButton.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "gui/OptionRowParts.h"
#include "player/InputManager.h"
#include "player/PlayerControls.h"
#include "player/devices/VibrationController.h"
#include "screens/ScreenManager.h"
#include "screens/menus/GUIControlsRemapScreen.h"
#include "screens/menus/GUIDialogScreen.h"

#include <algorithm>

using namespace irr;

namespace {

namespace ControlsText {
constexpr s32 Remap = 64;
constexpr s32 Reset = 66;
constexpr s32 MouseKeyboard = 254;
constexpr s32 Gamepad = 251;
constexpr s32 Joystick = 253;
constexpr s32 Horizontal = 60;
constexpr s32 Vertical = 61;
constexpr s32 Scroll = 62;
constexpr s32 Vibration = 40;
constexpr s32 StickSensitivity = 41;
constexpr s32 IgnoreJoystick = 43;
constexpr s32 ResetQuestion = 408;
constexpr s32 Yes = 102;
constexpr s32 No = 103;
} // namespace ControlsText

// A meter at 25 is a sensitivity of 1.0.
constexpr f32 sensitivityStep = 0.04f;

// Writes the sensitivity into the settings and into player 0's controls.
void applySensitivity(const char* key, f32 PlayerControls::*field, s32 value) {
    const f32 sensitivity = static_cast<f32>(value) * sensitivityStep;
    setSettingFloat(key, sensitivity);
    if (PlayerControls* controls = remapControls())
        controls->*field = sensitivity;
}

} // namespace

PlayerControls* remapControls() { return inputManager ? inputManager->getActiveControls() : nullptr; }

GUIControlOptionsScreen::GUIControlOptionsScreen(gui::IGUIEnvironment* environment, bool openedFromMainMenu)
    : GUISettingsScreen(environment, openedFromMainMenu) {
    buildScreen();
}

GUIMenuItem* GUIControlOptionsScreen::addEntryRow(s32 text) {
    auto* row = new GUIMenuItem(getLanguageText(text).c_str(), getLanguageFont(5), 1, true, Environment, ScrollList,
                                core::recti(0, 0, ItemWidth, guiUnits(24)));
    placeRow(row);
    row->setToolTipText(getLanguageText(text + 10000).c_str());
    row->drop();
    addItem(row);
    return row;
}

GUIMenuItem* GUIControlOptionsScreen::addHeadingRow(s32 text) {
    GUIMenuItem* row = addEntryRow(text);
    row->setToolTipText(L"");
    // A section label: shifted left of the rows it heads, never clickable.
    if (GUITextButton* caption = row->getCaptionButton()) {
        core::recti rect = caption->getRelativePosition();
        rect.UpperLeftCorner.X -= 10;
        rect.LowerRightCorner.X -= 10;
        caption->setRelativePosition(rect);
    }
    row->setEnabled(false);
    row->setClickable(false);
    Headings.push_back(row);
    return row;
}

void GUIControlOptionsScreen::setItemsEnabled(bool enabled) {
    GUISettingsScreen::setItemsEnabled(enabled);
    for (GUIMenuItem* heading : Headings)
        heading->setEnabled(false);
}

GUIOptionMeter* GUIControlOptionsScreen::addSensitivityRow(s32 label, const char* key) {
    return addMeterRow(label, -10, 50, static_cast<s32>(getSettingFloat(key) * 25.0f));
}

void GUIControlOptionsScreen::buildItems() {
    Headings.clear();
    bindCallback(addEntryRow(ControlsText::Remap)->OnClick, this, &GUIControlOptionsScreen::onRemapControls);
    bindCallback(addEntryRow(ControlsText::Reset)->OnClick, this, &GUIControlOptionsScreen::onResetControls);
    addHeadingRow(ControlsText::MouseKeyboard);
    bindCallback(addSensitivityRow(ControlsText::Horizontal, "KM_HorizontalSensitivity")->OnValueChanged, this,
                 &GUIControlOptionsScreen::onHorizontalSensitivity);
    bindCallback(addSensitivityRow(ControlsText::Vertical, "KM_VerticalSensitivity")->OnValueChanged, this,
                 &GUIControlOptionsScreen::onVerticalSensitivity);
    bindCallback(addSensitivityRow(ControlsText::Scroll, "KM_ScrollSensitivity")->OnValueChanged, this,
                 &GUIControlOptionsScreen::onScrollSensitivity);
    addHeadingRow(ControlsText::Gamepad);
    bindCallback(addOnOffRow(ControlsText::Vibration, getSettingBool("Gamepad_Vibration"))->OnValueChanged, this,
                 &GUIControlOptionsScreen::onVibration);
    bindCallback(addSensitivityRow(ControlsText::StickSensitivity, "Gamepad_StickSensitivity")->OnValueChanged, this,
                 &GUIControlOptionsScreen::onGamepadStickSensitivity);
    addHeadingRow(ControlsText::Joystick);
    bindCallback(addSensitivityRow(ControlsText::StickSensitivity, "Joystick_StickSensitivity")->OnValueChanged, this,
                 &GUIControlOptionsScreen::onJoystickStickSensitivity);
    bindCallback(addOnOffRow(ControlsText::IgnoreJoystick, getSettingBool("Joystick_IgnoreInput"))->OnValueChanged,
                 this, &GUIControlOptionsScreen::onJoystickIgnoreInput);
    if (PlayerControls* controls = remapControls())
        controls->writeMappings();
}

void GUIControlOptionsScreen::onHorizontalSensitivity(GUIOptionMeter* row) {
    applySensitivity("KM_HorizontalSensitivity", &PlayerControls::horizontalSensitivity, row->getValue());
}

void GUIControlOptionsScreen::onVerticalSensitivity(GUIOptionMeter* row) {
    applySensitivity("KM_VerticalSensitivity", &PlayerControls::verticalSensitivity, row->getValue());
}

void GUIControlOptionsScreen::onScrollSensitivity(GUIOptionMeter* row) {
    applySensitivity("KM_ScrollSensitivity", &PlayerControls::scrollSensitivity, row->getValue());
}

void GUIControlOptionsScreen::onGamepadStickSensitivity(GUIOptionMeter* row) {
    applySensitivity("Gamepad_StickSensitivity", &PlayerControls::gamepadStickSensitivity, row->getValue());
}

void GUIControlOptionsScreen::onJoystickStickSensitivity(GUIOptionMeter* row) {
    applySensitivity("Joystick_StickSensitivity", &PlayerControls::joystickStickSensitivity, row->getValue());
}

void GUIControlOptionsScreen::onVibration(s32 on) {
    setSettingBool("Gamepad_Vibration", on != 0);
    if (!inputManager)
        return;
    if (VibrationController* vibration = inputManager->getVibration())
        vibration->enabled = on != 0;
    // A short rumble lets the player feel the switch.
    if (on != 0)
        inputManager->addRumble(1.0f, 1.0f, 0.3f, 0.0f);
}

void GUIControlOptionsScreen::onJoystickIgnoreInput(s32 on) {
    joystickIgnoreInput = on != 0;
    setSettingBool("Joystick_IgnoreInput", joystickIgnoreInput);
}

void GUIControlOptionsScreen::stack(GUIScreen* screen) {
    if (screenManager)
        screenManager->pushScreen(screen);
    screen->drop();
}

void GUIControlOptionsScreen::onRemapControls(GUIButton*) {
    stack(new GUIControlsRemapScreen(Environment, OpenedFromMainMenu));
}

void GUIControlOptionsScreen::onResetControls(GUIButton*) {
    auto* dialog = new GUIDialogScreen(getLanguageText(ControlsText::ResetQuestion),
                                       {getLanguageText(ControlsText::No), getLanguageText(ControlsText::Yes)},
                                       Environment, KeepTimerRunning, true);
    bindCallback(dialog->AnswerChosen, this, &GUIControlOptionsScreen::onResetConfirmed);
    stack(dialog);
}

void GUIControlOptionsScreen::onResetConfirmed(s32& answer) {
    if (answer != 1 || !inputManager)
        return;
    // Every control set of player 0 goes back to the default bindings (the default controls
    // stand in when player 0 has none).
    const int count = std::max(1, inputManager->getPlayerControlsCount(0));
    for (int set = 0; set < count; ++set) {
        PlayerControls* controls = set < inputManager->getPlayerControlsCount(0)
                                       ? inputManager->getPlayerControls(0, set)
                                       : inputManager->getDefaultControls();
        if (controls)
            controls->resetMappings();
    }
}

void GUIControlOptionsScreen::onFadeOutDone() {
    if (gameSettings)
        gameSettings->save();
    closePage();
}
