// The controls page of the options menu and the remapping screen with the real input
// manager: the settings rows and what they write, the reset question, the device selector,
// and binding, rebinding and deleting inputs with keys pressed through the engine.
#include "ScreenInputFixture.h"

#include "core/CoreSlots.h"
#include "core/GameSettings.h"
#include "core/Globals.h"
#include "gui/GUIMenuItem.h"
#include "gui/GUIOptionCycle.h"
#include "gui/GUIOptionMeter.h"
#include "gui/GUIOptionRemap.h"
#include "gui/GUIScrollList.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/GUITextButton.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "gui/fonts/CGUITTFont.h"
#include "gui/fonts/FontCache.h"
#include "physics/world/PhysicsManager.h"
#include "platform/FakePadBackend.h"
#include "player/GameActions.h"
#include "player/InputManager.h"
#include "player/PlayerControls.h"
#include "player/PlayerHooks.h"
#include "player/devices/GamepadDevice.h"
#include "player/devices/KeyboardDevice.h"
#include "player/devices/MouseDevice.h"
#include "player/devices/VibrationController.h"
#include "screens/ScreenManager.h"
#include "screens/ScreenRegistration.h"
#include "screens/menus/GUIControlOptionsScreen.h"
#include "screens/menus/GUIControlsRemapScreen.h"
#include "screens/menus/GUIDialogScreen.h"
#include "screens/menus/GUIOptionsScreen.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <vector>

using namespace irr;

namespace {

class ControlsScreenTest : public screentest::ScreenInputFixture {
protected:
    void SetUp() override {
        ScreenInputFixture::SetUp();
        startInputOnOwnSettings();
        screenManager->createScreens();
    }
    void TearDown() override {
        physicsManager = nullptr;
        physics.reset();
        ScreenInputFixture::TearDown();
    }
    void frame() {
        setFrameDelta(0.05f);
        inputManager->update();
        screenManager->update();
        postRenderAll();
        inputManager->endFrame();
    }
    void frames(int count) {
        for (int i = 0; i < count; ++i)
            frame();
    }
    void key(EKEY_CODE code) {
        postKeyPress(code, [this] { frame(); });
    }
    // The options menu's Controls entry opens the page over it.
    GUIControlOptionsScreen* openControls() {
        GUIOptionsScreen* options = openOptionsScreen(true);
        if (!options)
            return nullptr;
        options->onControls(nullptr);
        frames(6);
        return dynamic_cast<GUIControlOptionsScreen*>(screenManager->getTopScreen());
    }
    GUIControlsRemapScreen* openRemap() {
        auto* screen = new GUIControlsRemapScreen(environment, true);
        screenManager->pushScreen(screen);
        screen->drop();
        frames(6);
        return screen;
    }
    PlayerControls& controls() { return *remapControls(); }
    // The key bindings of an action on the keyboard, by key code.
    std::vector<int> keyBindings(int action) {
        std::vector<int> keys;
        for (const auto& mapping : controls().mappings(action))
            if (mapping->keep && mapping->device == inputManager->getKeyboard())
                keys.push_back(mapping->buttonIndex);
        return keys;
    }
    // Adds a binding to the action through its heading and presses the key for it.
    GUIOptionRemap* bindKey(GUIControlsRemapScreen* remap, int action, EKEY_CODE code) {
        remap->findHeading(action)->getAddButton()->click();
        auto* row = static_cast<GUIOptionRemap*>(remap->getFocusedElement());
        frames(8);
        key(code);
        frames(3);
        return row;
    }

    // The engine delivers a mouse move, press and release at the point, one frame each.
    void clickAt(const core::position2di& point) {
        for (EMOUSE_INPUT_EVENT kind : {EMIE_MOUSE_MOVED, EMIE_LMOUSE_PRESSED_DOWN, EMIE_LMOUSE_LEFT_UP}) {
            postMouse(kind, point);
            frame();
        }
    }
    // A plugged pad's buttons pressed for a frame and let go. The pad's accept counts while a
    // level's simulation runs, as it always does in the game.
    void padPress(std::uint16_t buttons) {
        auto& pads = static_cast<platform::FakePadBackend&>(platform::padBackend());
        if (!physics) {
            pads.setConnected(0, true);
            inputManager->getGamepad()->enumerate();
            physics = std::make_unique<PhysicsManager>();
            physicsManager = physics.get();
            coreSlots().physics.isSimulationActive = [] { return true; };
        }
        pads.setButtons(0, buttons);
        frame();
        pads.setButtons(0, 0);
        frame();
    }

    std::unique_ptr<PhysicsManager> physics;
};

// The section labels are never enabled: not when built, not when the page turns its rows on
// or off, and not when a new language rebuilds the rows.
TEST_F(ControlsScreenTest, TheSectionLabelsStayDisabledWhateverTheRowsDo) {
    auto* page = new GUIControlOptionsScreen(environment, true);
    const auto expectLabelsDisabled = [&](const char* when) {
        SCOPED_TRACE(when);
        ASSERT_EQ(page->getItems().size(), 12u);
        for (std::size_t heading : {2u, 6u, 9u}) {
            auto* row = static_cast<GUIMenuItem*>(page->getItems()[heading]);
            EXPECT_FALSE(row->isEnabled()) << heading;
            EXPECT_FALSE(row->isClickable()) << heading;
        }
    };
    expectLabelsDisabled("built");
    for (const bool enabled : {true, false}) {
        page->setItemsEnabled(enabled);
        EXPECT_EQ(page->getItems()[0]->isEnabled(), enabled) << "the rows follow";
        expectLabelsDisabled(enabled ? "rows enabled" : "rows disabled");
    }
    page->onLanguageChanged();
    expectLabelsDisabled("rebuilt for a new language");
    page->remove();
    page->drop();
}

TEST_F(ControlsScreenTest, TheOptionsMenuOpensTheControlsPageWithItsTwelveRows) {
    GUIControlOptionsScreen* page = openControls();
    ASSERT_NE(page, nullptr);
    ASSERT_EQ(page->getItems().size(), 12u);
    // The section labels stand 10 pixels left of the rows they head, without a tooltip; the
    // rows carry their own.
    auto* entry = static_cast<GUIMenuItem*>(page->getItems()[0]);
    EXPECT_EQ(std::wstring(entry->getToolTipText().c_str()), std::wstring(getLanguageText(64 + 10000).c_str()));
    const core::recti entryCaption = entry->getCaptionButton()->getRelativePosition();
    for (std::size_t heading : {2u, 6u, 9u}) {
        auto* row = static_cast<GUIMenuItem*>(page->getItems()[heading]);
        EXPECT_FALSE(row->isClickable());
        EXPECT_EQ(row->getState(), ButtonState::Disabled);
        EXPECT_EQ(std::wstring(row->getToolTipText().c_str()), L"");
        const core::recti caption = row->getCaptionButton()->getRelativePosition();
        EXPECT_EQ(caption.UpperLeftCorner.X, entryCaption.UpperLeftCorner.X - 10);
        EXPECT_EQ(caption.LowerRightCorner.X, entryCaption.LowerRightCorner.X - 10);
    }
    // Opening the page writes the remapping file.
    EXPECT_TRUE(std::filesystem::exists(saves.path() / "save" / PlayerControls::remappingFileName));
    // The rows read, in order: remap, reset; mouse and keyboard: horizontal, vertical, scroll;
    // pad: vibration, stick; joystick: stick, ignore.
    std::vector<std::wstring> texts;
    const std::function<void(gui::IGUIElement*)> collect = [&](gui::IGUIElement* element) {
        if (auto* text = dynamic_cast<GUIFreeTypeText*>(element); text && !text->getOwnText().empty())
            texts.push_back(text->getOwnText().c_str());
        for (gui::IGUIElement* child : element->getChildren())
            collect(child);
    };
    for (GUIButton* item : page->getItems())
        collect(item);
    std::vector<std::wstring> expected;
    for (s32 id : {64, 66, 254, 60, 61, 62, 251, 40, 41, 253, 41, 43})
        expected.push_back(getLanguageText(id).c_str());
    for (const std::wstring& text : expected)
        EXPECT_NE(std::find(texts.begin(), texts.end(), text), texts.end()) << std::string(text.begin(), text.end());
    std::vector<std::wstring> inOrder;
    for (const std::wstring& text : texts)
        if (std::find(expected.begin(), expected.end(), text) != expected.end())
            inOrder.push_back(text);
    EXPECT_EQ(inOrder, expected);
}

TEST_F(ControlsScreenTest, SensitivityMetersShowAndWriteTheSettingTimes25) {
    struct Case {
        float stored;
        s32 shown;
    };
    for (const Case& c : {Case{1.0f, 25}, Case{0.039f, 0}, Case{-0.5f, -10}, Case{2.0f, 50}}) {
        SCOPED_TRACE(c.stored);
        setSettingFloat("KM_HorizontalSensitivity", c.stored);
        auto* page = new GUIControlOptionsScreen(environment, true);
        EXPECT_EQ(static_cast<GUIOptionMeter*>(page->getItems()[3])->getValue(), c.shown);
        page->remove();
        page->drop();
    }
    GUIControlOptionsScreen* page = openControls();
    ASSERT_NE(page, nullptr);
    struct Row {
        std::size_t index;
        const char* key;
        float PlayerControls::*field;
    };
    for (const Row& r : {Row{3, "KM_HorizontalSensitivity", &PlayerControls::horizontalSensitivity},
                         Row{4, "KM_VerticalSensitivity", &PlayerControls::verticalSensitivity},
                         Row{5, "KM_ScrollSensitivity", &PlayerControls::scrollSensitivity},
                         Row{8, "Gamepad_StickSensitivity", &PlayerControls::gamepadStickSensitivity},
                         Row{10, "Joystick_StickSensitivity", &PlayerControls::joystickStickSensitivity}}) {
        SCOPED_TRACE(r.key);
        static_cast<GUIOptionMeter*>(page->getItems()[r.index])->setValue(30);
        EXPECT_FLOAT_EQ(getSettingFloat(r.key), 1.2f);
        EXPECT_FLOAT_EQ(controls().*r.field, 1.2f);
    }
}

TEST_F(ControlsScreenTest, SwitchesWriteVibrationAndTheJoystickFlag) {
    GUIControlOptionsScreen* page = openControls();
    ASSERT_NE(page, nullptr);
    padPress(0); // plugs the pad
    inputManager->getVibration()->clearRumbleEffects();
    page->onVibration(0);
    EXPECT_FALSE(getSettingBool("Gamepad_Vibration"));
    EXPECT_FALSE(inputManager->getVibration()->enabled);
    EXPECT_TRUE(inputManager->getVibration()->effects().empty()) << "switched off, nothing rumbles";
    page->onVibration(1);
    EXPECT_TRUE(getSettingBool("Gamepad_Vibration"));
    EXPECT_TRUE(inputManager->getVibration()->enabled);
    EXPECT_EQ(inputManager->getVibration()->effects().size(), 1u) << "a short rumble lets the player feel the switch";
    page->onJoystickIgnoreInput(1);
    EXPECT_TRUE(joystickIgnoreInput);
    EXPECT_TRUE(getSettingBool("Joystick_IgnoreInput"));
    page->onJoystickIgnoreInput(0);
    EXPECT_FALSE(joystickIgnoreInput);
}

// Switching vibration on gives one short rumble at once: both motors at full strength from
// the next update, for 0.3 s and not past it. Switching it off gives none.
TEST_F(ControlsScreenTest, SwitchingVibrationOnRumblesBothMotorsFullyForAShortWhileAtOnce) {
    GUIControlOptionsScreen* page = openControls();
    ASSERT_NE(page, nullptr);
    padPress(0); // plugs the pad
    VibrationController* vibration = inputManager->getVibration();
    for (s32 on : {0, 1}) {
        SCOPED_TRACE(on);
        vibration->clearRumbleEffects();
        page->onVibration(on);
        if (!on) {
            EXPECT_TRUE(vibration->effects().empty());
            continue;
        }
        ASSERT_EQ(vibration->effects().size(), 1u);
        const VibrationController::RumbleEffect rumble = vibration->effects()[0];
        EXPECT_FLOAT_EQ(rumble.startLeft, 1.0f);
        EXPECT_FLOAT_EQ(rumble.endLeft, 1.0f);
        EXPECT_FLOAT_EQ(rumble.startRight, 1.0f);
        EXPECT_FLOAT_EQ(rumble.endRight, 1.0f);
        EXPECT_FLOAT_EQ(rumble.duration, 0.3f);
        EXPECT_FLOAT_EQ(rumble.delay, 0.0f) << "felt at once";
        // The next update already drives both motors at their full (scaled) level.
        vibration->updateVibration(0.3f);
        EXPECT_FLOAT_EQ(vibration->leftLevel(rumble.pad), VibrationController::motorScale);
        EXPECT_FLOAT_EQ(vibration->rightLevel(rumble.pad), VibrationController::motorScale);
        EXPECT_EQ(vibration->effects().size(), 1u) << "still running at 0.3 s";
        vibration->updateVibration(0.01f);
        vibration->updateVibration(0.0f);
        EXPECT_TRUE(vibration->effects().empty()) << "over past 0.3 s";
        EXPECT_FLOAT_EQ(vibration->leftLevel(rumble.pad), 0.0f);
        EXPECT_FLOAT_EQ(vibration->rightLevel(rumble.pad), 0.0f);
    }
}

TEST_F(ControlsScreenTest, ResetAsksAndOnlyTheSecondAnswerRestoresTheDefaults) {
    GUIControlOptionsScreen* page = openControls();
    ASSERT_NE(page, nullptr);
    const std::vector<int> defaults = keyBindings(GameAction::GrabObject);
    ButtonMapping extra;
    extra.device = inputManager->getKeyboard();
    extra.buttonIndex = KEY_KEY_Q;
    controls().addMapping(GameAction::GrabObject, extra);
    page->onResetControls(nullptr);
    auto* question = dynamic_cast<GUIDialogScreen*>(screenManager->getTopScreen());
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(question->getKeepTimerRunning(), page->getKeepTimerRunning()) << "the question holds the game as its page does";
    EXPECT_TRUE(question->isPanelOnRight());
    // No, and backing out (-1), keep the bindings.
    for (s32 kept : {0, -1}) {
        s32 answer = kept;
        page->onResetConfirmed(answer);
        EXPECT_EQ(keyBindings(GameAction::GrabObject).size(), defaults.size() + 1) << kept;
    }
    s32 answer = 1;
    page->onResetConfirmed(answer);
    EXPECT_EQ(keyBindings(GameAction::GrabObject), defaults);
}

TEST_F(ControlsScreenTest, TheSelectorOffersTheDetectingDevicesAndListsTheFirst) {
    GUIControlsRemapScreen* remap = openRemap();
    GUIOptionCycle* selector = remap->getDeviceSelector();
    ASSERT_NE(selector, nullptr);
    std::size_t detecting = 0;
    for (InputDevice* device : InputDevice::deviceList())
        detecting += device->takesPartInDetection() ? 1 : 0;
    EXPECT_EQ(selector->getValueCount(), detecting);
    EXPECT_EQ(remap->getShownDevice(), selector->getSelectedId());
    EXPECT_EQ(remap->getPanelType(), 0);
    // Hidden and shown again, its rows stay usable.
    remap->setVisible(false);
    EXPECT_FALSE(remap->isVisible());
    remap->setVisible(true);
    EXPECT_TRUE(remap->isVisible());
    for (GUIButton* item : remap->getItems())
        EXPECT_TRUE(item->isEnabled());
    // Thirty headings, each followed by its bindings on the shown device.
    std::size_t headings = 0;
    for (GUIButton* item : remap->getItems())
        headings += item->getType() == toElementType(GuiType::MenuItem) ? 1 : 0;
    EXPECT_EQ(headings, 30u);
    EXPECT_EQ(screenManager->getTopScreenFocus(), selector);
}

// Under each heading stand exactly the kept bindings of the shown device and of its partner
// (the keyboard's list holds the mouse's too), in the controls' order; nothing of another
// device, nothing not kept.
TEST_F(ControlsScreenTest, EachHeadingListsTheKeptBindingsOfTheShownDeviceAndItsPartner) {
    padPress(0); // plugs the pad
    ButtonMapping onPad;
    onPad.device = inputManager->getGamepad();
    onPad.buttonIndex = 3;
    controls().addMapping(GameAction::Limp, onPad);
    ButtonMapping unkept;
    unkept.device = inputManager->getKeyboard();
    unkept.buttonIndex = KEY_KEY_Z;
    unkept.keep = false;
    controls().addMapping(GameAction::Limp, unkept);
    GUIControlsRemapScreen* remap = openRemap();
    InputDevice* keyboard = inputManager->getKeyboard();
    InputDevice* mouse = inputManager->getMouse();
    InputDevice* pad = inputManager->getGamepad();
    ASSERT_EQ(keyboard->getPairedDevice(), mouse);
    ASSERT_EQ(pad->getPairedDevice(), nullptr);
    const auto& devices = InputDevice::deviceList();
    // The keyboard's list shows first, with the binding not kept still in the controls.
    for (InputDevice* shown : {keyboard, pad}) {
        SCOPED_TRACE(shown == pad ? "pad" : "keyboard");
        const s32 index = static_cast<s32>(std::find(devices.begin(), devices.end(), shown) - devices.begin());
        if (remap->getShownDevice() != index)
            remap->selectDevice(index);
        std::map<int, std::vector<const ButtonMapping*>> listed;
        int action = -1;
        for (GUIButton* item : remap->getItems()) {
            if (item->getType() == toElementType(GuiType::MenuItem))
                action = static_cast<GUIRemapButton*>(item)->getActionIndex();
            else if (item->getType() == toElementType(GuiType::OptionRemap))
                listed[action].push_back(static_cast<GUIOptionRemap*>(item)->getMapping());
        }
        std::size_t partners = 0, all = 0;
        for (int a = 0; a < GUIControlsRemapScreen::remappableActions; ++a) {
            std::vector<const ButtonMapping*> expected;
            for (const auto& mapping : controls().mappings(a))
                if (mapping->keep && mapping->device &&
                    (mapping->device == shown || mapping->device == shown->getPairedDevice()))
                    expected.push_back(mapping.get());
            for (const ButtonMapping* m : expected)
                partners += m->device != shown ? 1 : 0;
            all += expected.size();
            EXPECT_EQ(listed[a], expected) << GameAction::name(a);
        }
        EXPECT_GT(all, 0u);
        EXPECT_EQ(partners > 0, shown == keyboard) << "the defaults bind some action to the mouse";
    }
    // The list fits between the title and the tooltip line; the headings' names stand a
    // little to the left of their rows.
    const s32 listHeight = guiUnits(620) - (3 * guiUnits(24)) / 2;
    const s32 reserve = static_cast<s32>(static_cast<f32>(screenHeight) * 0.05f) + remap->getMargin();
    EXPECT_EQ(remap->getScrollList()->getVisibleCount(), (listHeight - reserve) / guiUnits(24));
    GUIRemapButton* heading = remap->findHeading(GameAction::Limp);
    auto* plain = new GUIRemapButton(GameAction::Limp, L"Limp", nullptr, environment, root(),
                                     core::recti(core::position2di(0, 0), heading->getRelativePosition().getSize()));
    ASSERT_NE(heading->getCaptionButton(), nullptr);
    EXPECT_EQ(heading->getCaptionButton()->getRelativePosition().UpperLeftCorner.X,
              plain->getCaptionButton()->getRelativePosition().UpperLeftCorner.X + guiUnits(-10));
    EXPECT_EQ(heading->getCaptionButton()->getRelativePosition().getWidth(),
              plain->getCaptionButton()->getRelativePosition().getWidth());
    plain->remove();
    plain->drop();
}

// Every heading's focus bar stays within the panel, at the smallest window the game offers
// and a large one: it starts where the selector's and the bindings' bars start and runs off
// the screen edge on the panel's side only.
TEST_F(ControlsScreenTest, EveryHeadingsBarStaysInsideThePanel) {
    for (const core::dimension2du size : {core::dimension2du(800, 600), core::dimension2du(1920, 1080)}) {
        SCOPED_TRACE(size.Width);
        screenWidth = static_cast<s32>(size.Width);
        screenHeight = static_cast<s32>(size.Height);
        driver->OnResize(size);
        root()->setRelativePosition(core::recti(0, 0, screenWidth, screenHeight));
        GUIControlsRemapScreen* remap = openRemap();
        const s32 panelLeft = remap->getPanel()->getAbsolutePosition().UpperLeftCorner.X;
        ASSERT_EQ(panelLeft, screenWidth - remap->getPanelWidth());
        // The list scrolled page by page: each heading is looked at where it is shown.
        GUIScrollList* list = remap->getScrollList();
        const s32 count = static_cast<s32>(remap->getItems().size());
        std::set<s32> seen;
        for (s32 first = 0; first < count; first += list->getVisibleCount()) {
            list->setFirstVisible(first);
            frame();
            for (GUIButton* item : remap->getItems()) {
                if (item->getType() != toElementType(GuiType::MenuItem) || item->getAbsolutePosition().UpperLeftCorner.Y < 0)
                    continue;
                auto* heading = static_cast<GUIRemapButton*>(item);
                const core::recti bar = heading->getHighlight()->getAbsolutePosition();
                EXPECT_GE(bar.UpperLeftCorner.X, panelLeft) << GameAction::name(heading->getActionIndex());
                EXPECT_GE(bar.LowerRightCorner.X, screenWidth) << GameAction::name(heading->getActionIndex());
                seen.insert(heading->getActionIndex());
            }
        }
        EXPECT_EQ(seen.size(), static_cast<std::size_t>(GUIControlsRemapScreen::remappableActions));
        screenManager->closeAllScreens();
        frame();
    }
}

// Left and right of each key pair keep their own bindings and names, also when the right one
// goes down in the frame its left twin did (a tool's Control_R holds Control_L first); the
// menu key reads as the menu key.
TEST_F(ControlsScreenTest, EachKeyOfALeftAndRightPairKeepsItsOwnBindingAndName) {
    const struct {
        EKEY_CODE twin; // held down first in the same frame; KEY_KEY_CODES_COUNT: none
        EKEY_CODE key;
        const wchar_t* name;
    } cases[] = {
        {KEY_KEY_CODES_COUNT, KEY_LSHIFT, L"Left Shift"},      {KEY_LSHIFT, KEY_RSHIFT, L"Right Shift"},
        {KEY_KEY_CODES_COUNT, KEY_RSHIFT, L"Right Shift"},     {KEY_KEY_CODES_COUNT, KEY_LCONTROL, L"Left Ctrl"},
        {KEY_LCONTROL, KEY_RCONTROL, L"Right Ctrl"},           {KEY_KEY_CODES_COUNT, KEY_RCONTROL, L"Right Ctrl"},
        {KEY_KEY_CODES_COUNT, KEY_LMENU, L"Left Alt"},         {KEY_LMENU, KEY_RMENU, L"Right Alt"},
        {KEY_KEY_CODES_COUNT, KEY_LWIN, L"Left Windows"},      {KEY_LWIN, KEY_RWIN, L"Right Windows"},
        {KEY_KEY_CODES_COUNT, KEY_MENU, L"Menu"},
    };
    GUIControlsRemapScreen* remap = openRemap();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        remap->findHeading(GameAction::Limp)->getAddButton()->click();
        auto* row = static_cast<GUIOptionRemap*>(remap->getFocusedElement());
        frames(8);
        ASSERT_TRUE(row->isCapturing());
        for (bool down : {true, false}) {
            if (c.twin != KEY_KEY_CODES_COUNT)
                postKey(c.twin, down);
            postKey(c.key, down);
            frame();
        }
        frames(6);
        EXPECT_EQ(keyBindings(GameAction::Limp).back(), c.key);
        EXPECT_STREQ(row->getBindingButton()->getCaption()->getOwnText().c_str(), c.name);
    }
}

// Switching the device while a row waits for an input ends the wait: the capture stops.
TEST_F(ControlsScreenTest, SwitchingTheDeviceEndsAWaitForAnInput) {
    GUIControlsRemapScreen* remap = openRemap();
    padPress(0); // plugs the pad
    const auto& devices = InputDevice::deviceList();
    const s32 pad = static_cast<s32>(std::find(devices.begin(), devices.end(),
                                               static_cast<InputDevice*>(inputManager->getGamepad())) - devices.begin());
    remap->findHeading(GameAction::Limp)->getAddButton()->click();
    frames(2);
    ASSERT_TRUE(remap->isAnyRowCapturing());
    ASSERT_TRUE(screenManager->CaptureInput);
    remap->selectDevice(pad);
    EXPECT_FALSE(screenManager->CaptureInput);
    EXPECT_FALSE(remap->isAnyRowCapturing());
    EXPECT_EQ(remap->getShownDevice(), pad);
}

// Up and down walk the list one row at a time: back, the selector, then every heading and
// binding in order.
TEST_F(ControlsScreenTest, UpAndDownWalkTheRemappingListRowByRow) {
    GUIControlsRemapScreen* remap = openRemap();
    GUIOptionCycle* selector = remap->getDeviceSelector();
    const auto& items = remap->getItems();
    ASSERT_GT(items.size(), 3u);
    ASSERT_NE(remap->getBackButton(), nullptr);
    EXPECT_EQ(remap->getBackButton()->getNeighbour(MenuKey::Down), selector);
    EXPECT_EQ(selector->getNeighbour(MenuKey::Up), remap->getBackButton());
    EXPECT_EQ(selector->getNeighbour(MenuKey::Down), items[0]);
    EXPECT_EQ(items[0]->getNeighbour(MenuKey::Up), selector);
    for (std::size_t i = 0; i + 1 < items.size(); ++i) {
        EXPECT_EQ(items[i]->getNeighbour(MenuKey::Down), items[i + 1]) << i;
        EXPECT_EQ(items[i + 1]->getNeighbour(MenuKey::Up), items[i]) << i + 1;
    }
}

TEST_F(ControlsScreenTest, APressedKeyBecomesTheNewBindingAndBackWaitsForIt) {
    GUIControlsRemapScreen* remap = openRemap();
    remap->findHeading(GameAction::Limp)->getAddButton()->click();
    auto* row = static_cast<GUIOptionRemap*>(remap->getFocusedElement());
    ASSERT_NE(row, nullptr);
    EXPECT_TRUE(row->isCapturing());
    EXPECT_FALSE(remap->findHeading(GameAction::Limp)->isAddingAllowed());
    // The new row stands right under its heading.
    const auto& items = remap->getItems();
    const auto heading = std::find(items.begin(), items.end(), remap->findHeading(GameAction::Limp));
    EXPECT_EQ(*(heading + 1), row);
    remap->onBack(nullptr);
    EXPECT_EQ(remap->getFadeState(), GUIScreen::Shown);
    frames(8);
    key(KEY_KEY_J);
    frames(3);
    EXPECT_FALSE(row->isCapturing());
    EXPECT_EQ(keyBindings(GameAction::Limp).back(), KEY_KEY_J);
    frames(6);
    EXPECT_TRUE(remap->findHeading(GameAction::Limp)->isAddingAllowed());
    remap->onBack(nullptr);
    EXPECT_EQ(remap->getFadeState(), GUIScreen::FadingOut);
    // The file now carries the binding for the next start.
    PlayerControls fresh(inputManager, 0, 0, 0, nullptr);
    fresh.clearMappings();
    ASSERT_TRUE(fresh.readMappings((saves.path() / "save" / PlayerControls::remappingFileName).string()));
    bool found = false;
    for (const auto& mapping : fresh.mappings(GameAction::Limp))
        found = found || (mapping->device == inputManager->getKeyboard() && mapping->buttonIndex == KEY_KEY_J);
    EXPECT_TRUE(found);
}

TEST_F(ControlsScreenTest, RebindingKeepsTheRowAndDeletingDropsItAtTheNextDeviceSwitch) {
    GUIControlsRemapScreen* remap = openRemap();
    GUIOptionRemap* row = bindKey(remap, GameAction::CameraUp, KEY_KEY_K);
    int captured = 0;
    struct Counter {
        int* count;
        void hit() { ++*count; }
    } counter{&captured};
    row->Captured.addMember(&counter, &Counter::hit);
    frames(6);
    row->click();
    frames(8);
    key(KEY_KEY_L);
    frames(3);
    EXPECT_EQ(captured, 0);
    EXPECT_EQ(keyBindings(GameAction::CameraUp).back(), KEY_KEY_L);
    EXPECT_STREQ(row->getBindingButton()->getCaption()->getOwnText().c_str(), L"L") << "the binding reads as the key's letter";
    const std::size_t before = controls().mappings(GameAction::CameraUp).size();
    row->getDeleteButton()->click();
    EXPECT_EQ(remap->findRow(row->getMapping()), nullptr);
    EXPECT_EQ(controls().mappings(GameAction::CameraUp).size(), before);
    remap->selectDevice(remap->getShownDevice());
    EXPECT_EQ(controls().mappings(GameAction::CameraUp).size(), before - 1);
}

// The player's four ways to remove a binding; none of them starts a wait for an input.
TEST_F(ControlsScreenTest, ABindingGoesByMouseKeysOrPadWithoutAWait) {
    struct Way {
        const char* name;
        std::function<void(GUIOptionRemap*)> remove;
    };
    const Way ways[] = {
        {"a click on its minus",
         [this](GUIOptionRemap* row) {
             clickAt(row->getDeleteButton()->getAbsolutePosition().getCenter());
         }},
        {"right, then Enter on the minus",
         [this](GUIOptionRemap* row) {
             row->focus();
             key(KEY_RIGHT);
             EXPECT_EQ(screenManager->getTopScreenFocus(), row->getDeleteButton());
             key(KEY_RETURN);
         }},
        {"Delete on the row",
         [this](GUIOptionRemap* row) {
             row->focus();
             key(KEY_DELETE);
         }},
        {"the pad's right, then A",
         [this](GUIOptionRemap* row) {
             row->focus();
             padPress(platform::padButton::dpadRight);
             EXPECT_EQ(screenManager->getTopScreenFocus(), row->getDeleteButton());
             padPress(platform::padButton::a);
         }},
    };
    GUIControlsRemapScreen* remap = openRemap();
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        // The first action's rows stand in view, where the mouse reaches them.
        GUIOptionRemap* row = bindKey(remap, GameAction::GrabObject, KEY_KEY_U);
        frames(8);
        ASSERT_EQ(remap->findRow(row->getMapping()), row);
        way.remove(row);
        frames(2);
        EXPECT_EQ(remap->findRow(row->getMapping()), nullptr);
        EXPECT_FALSE(row->getMapping()->keep);
        EXPECT_FALSE(remap->isAnyRowCapturing());
        EXPECT_NE(screenManager->getTopScreenFocus(), nullptr) << "the focus moves on";
    }
    const std::vector<int> left = keyBindings(GameAction::GrabObject);
    EXPECT_EQ(std::count(left.begin(), left.end(), KEY_KEY_U), 0);
    EXPECT_EQ(remap->getFadeState(), GUIScreen::Shown);
}

// Escape ends a wait without a binding: a rebound row keeps its key, a new row leaves. Back
// (the same key) neither leaves the screen then.
TEST_F(ControlsScreenTest, EscapeEndsAWaitAndKeepsTheBindingAsItWas) {
    GUIControlsRemapScreen* remap = openRemap();
    GUIOptionRemap* bound = bindKey(remap, GameAction::CameraLeft, KEY_KEY_H);
    frames(8);
    const std::size_t mappings = controls().mappings(GameAction::CameraLeft).size();
    for (const bool fresh : {false, true}) {
        SCOPED_TRACE(fresh ? "a new binding" : "a bound one");
        GUIOptionRemap* row = bound;
        frames(8);
        if (fresh) {
            remap->findHeading(GameAction::CameraLeft)->getAddButton()->click();
            row = static_cast<GUIOptionRemap*>(remap->getFocusedElement());
        } else {
            row->click();
        }
        ASSERT_TRUE(row->isCapturing());
        frames(8);
        key(KEY_ESCAPE);
        frames(3);
        EXPECT_FALSE(row->isCapturing());
        EXPECT_EQ(remap->findRow(row->getMapping()) != nullptr, !fresh);
        EXPECT_EQ(keyBindings(GameAction::CameraLeft).back(), KEY_KEY_H);
        EXPECT_EQ(remap->getFadeState(), GUIScreen::Shown);
    }
    EXPECT_STREQ(bound->getBindingButton()->getCaption()->getOwnText().c_str(), L"H");
    EXPECT_EQ(controls().mappings(GameAction::CameraLeft).size(), mappings + 1) << "the new one stays unbound";
}

TEST_F(ControlsScreenTest, ARowWaitsWhileTheMouseButtonIsHeld) {
    GUIControlsRemapScreen* remap = openRemap();
    remap->findHeading(GameAction::GrabObject)->getAddButton()->click();
    auto* row = static_cast<GUIOptionRemap*>(remap->getFocusedElement());
    inputManager->getMouse()->systemMouse().left = 1;
    for (int i = 0; i < 3; ++i) {
        screenManager->update();
        postRenderAll();
    }
    EXPECT_EQ(row->getSettleCounter(), 0);
    inputManager->getMouse()->systemMouse().left = 0;
    screenManager->update();
    postRenderAll();
    EXPECT_EQ(row->getSettleCounter(), 1);
}

} // namespace

TEST_F(ControlsScreenTest, TheAddButtonClickedAndEnterOnAHeadingEachAddABindingThroughEngineEvents) {
    GUIControlsRemapScreen* remap = openRemap();
    GUIRemapButton* heading = nullptr;
    for (GUIButton* item : remap->getItems())
        if (!heading && item->getType() == toElementType(GuiType::MenuItem))
            heading = static_cast<GUIRemapButton*>(item);
    ASSERT_NE(heading, nullptr);
    const int action = heading->getActionIndex();
    auto rowsOfHeading = [&] {
        std::size_t rows = 0;
        const auto& items = remap->getItems();
        for (auto it = std::find(items.begin(), items.end(), heading) + 1;
             it != items.end() && (*it)->getType() != toElementType(GuiType::MenuItem); ++it)
            ++rows;
        return rows;
    };
    auto bindWaitingRow = [&](EKEY_CODE code) {
        auto* row = dynamic_cast<GUIOptionRemap*>(remap->getFocusedElement());
        ASSERT_NE(row, nullptr);
        EXPECT_TRUE(row->isCapturing());
        frames(8);
        key(code);
        frames(6);
        EXPECT_FALSE(row->isCapturing());
        EXPECT_EQ(keyBindings(action).back(), code);
    };

    // The mouse, pressed and let go on the add button as the window delivers it.
    std::size_t before = rowsOfHeading();
    clickAt(heading->getAddButton()->getAbsolutePosition().getCenter());
    ASSERT_EQ(rowsOfHeading(), before + 1);
    ASSERT_NO_FATAL_FAILURE(bindWaitingRow(KEY_KEY_J));

    // Enter on the focused heading.
    before = rowsOfHeading();
    heading->focus();
    ASSERT_EQ(screenManager->getTopScreenFocus(), heading);
    key(KEY_RETURN);
    ASSERT_EQ(rowsOfHeading(), before + 1);
    ASSERT_NO_FATAL_FAILURE(bindWaitingRow(KEY_KEY_K));
}

namespace {

// A binding caught on a device other than the one listed switches the list to that device in
// the next frame.
TEST_F(ControlsScreenTest, ABindingCaughtOnAnotherDeviceListsThatDevice) {
    GUIControlsRemapScreen* remap = openRemap();
    padPress(0); // plugs the pad
    const auto& devices = InputDevice::deviceList();
    const auto indexOf = [&](InputDevice* device) {
        return static_cast<s32>(std::find(devices.begin(), devices.end(), device) - devices.begin());
    };
    const s32 keyboard = indexOf(inputManager->getKeyboard());
    const s32 pad = indexOf(inputManager->getGamepad());
    ASSERT_LT(keyboard, static_cast<s32>(devices.size()));
    ASSERT_LT(pad, static_cast<s32>(devices.size()));
    ASSERT_EQ(remap->getShownDevice(), keyboard) << "the keyboard's list comes first";

    remap->findHeading(GameAction::Limp)->getAddButton()->click();
    auto* row = static_cast<GUIOptionRemap*>(remap->getFocusedElement());
    ASSERT_NE(row, nullptr);
    row->grab(); // the list is made again for the pad: the row leaves it
    frames(8);
    ASSERT_TRUE(row->isCapturing());
    padPress(platform::padButton::x);
    frames(2);
    ASSERT_FALSE(row->isCapturing());
    EXPECT_EQ(row->getMapping()->device, static_cast<InputDevice*>(inputManager->getGamepad()));
    EXPECT_EQ(remap->getShownDevice(), pad) << "the pad's binding shows the pad's list";
    row->drop();

}

} // namespace
