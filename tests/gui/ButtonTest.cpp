// Buttons: states, clicks with their sound and delegates, navigation by the menu codes, the
// state pictures, and text buttons with captions.
#include "GuiFixture.h"

#include "core/Globals.h"
#include "gui/GUIButton.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/GUIScreen.h"
#include "gui/GUITextButton.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "level/LevelManager.h"
#include "core/app/SubsystemRegistration.h"
#include "screens/ScreenManager.h"

using namespace irr;

namespace {

// A screen that keeps the events its children hand on.
class RecordingScreen : public GUIScreen {
public:
    using GUIScreen::GUIScreen;
    bool OnEvent(const SEvent& event) override {
        events.push_back(event);
        return false;
    }
    int keyEvents(s32 code) const {
        int count = 0;
        for (const SEvent& e : events)
            count += e.EventType == EET_KEY_INPUT_EVENT && eventKeyCode(e) == code ? 1 : 0;
        return count;
    }
    int guiEvents(gui::EGUI_EVENT_TYPE type) const {
        int count = 0;
        for (const SEvent& e : events)
            count += e.EventType == EET_GUI_EVENT && e.GUIEvent.EventType == type ? 1 : 0;
        return count;
    }
    std::vector<SEvent> events;
};

class ButtonTest : public guitest::GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        screen = new RecordingScreen(environment, root(), 11, core::recti());
        screen->drop();
        screenManager->pushScreen(screen);
    }
    GUIButton* makeButton(s32 y, gui::IGUIElement* parent = nullptr) {
        auto* button = new GUIButton(environment, parent ? parent : screen, -1, core::recti(10, y, 110, y + 30));
        button->drop();
        return button;
    }
    RecordingScreen* screen = nullptr;
};

TEST_F(ButtonTest, TypeAndDefaults) {
    GUIButton* button = makeButton(0);
    EXPECT_EQ(static_cast<s32>(button->getType()), GuiType::Button);
    EXPECT_STREQ(button->getTypeName(), "GUIButton");
    EXPECT_FALSE(button->getTileImage());
    EXPECT_TRUE(button->isClickable());
    EXPECT_TRUE(button->getFocusOnHover());
    EXPECT_EQ(button->getState(), ButtonState::Normal);
}

TEST_F(ButtonTest, ClickPlaysTheClickSoundAndInvokesOnce) {
    GUIButton* button = makeButton(0);
    guitest::ButtonCalls clicks;
    bindCallback(button->OnClick, &clicks, &guitest::ButtonCalls::hit);
    button->click();
    EXPECT_EQ(soundCount(soundClick), 1);
    ASSERT_EQ(clicks.buttons.size(), 1u);
    EXPECT_EQ(clicks.buttons[0], button);
    EXPECT_EQ(button->getState(), ButtonState::Released);
    // Still released: a second click before the next frame does nothing.
    button->click();
    EXPECT_EQ(soundCount(soundClick), 1);
    EXPECT_EQ(clicks.buttons.size(), 1u);
    button->OnPostRender(0);
    EXPECT_EQ(button->getState(), ButtonState::Normal);
    button->click();
    EXPECT_EQ(clicks.buttons.size(), 2u);
}

TEST_F(ButtonTest, ReleasedTurnsFocusedWhenTheButtonHasTheFocus) {
    GUIButton* button = makeButton(0);
    screen->setFocusedElement(button);
    button->click();
    button->OnPostRender(0);
    EXPECT_EQ(button->getState(), ButtonState::Focused);
}

TEST_F(ButtonTest, ClickWhileTheScreenFadesIsIgnored) {
    GUIButton* button = makeButton(0);
    guitest::ButtonCalls clicks;
    bindCallback(button->OnClick, &clicks, &guitest::ButtonCalls::hit);
    screen->startFadeOut(0.2f);
    button->click();
    EXPECT_TRUE(noSoundPlayed());
    EXPECT_TRUE(clicks.buttons.empty());
    EXPECT_NE(button->getState(), ButtonState::Released);
}

TEST_F(ButtonTest, SilentAndDisabledButtons) {
    GUIButton* silent = makeButton(0);
    silent->setClickSound(false);
    guitest::ButtonCalls clicks;
    bindCallback(silent->OnClick, &clicks, &guitest::ButtonCalls::hit);
    silent->click();
    EXPECT_TRUE(noSoundPlayed());
    EXPECT_EQ(clicks.buttons.size(), 1u);

    GUIButton* disabled = makeButton(40);
    disabled->setEnabled(false);
    EXPECT_EQ(disabled->getState(), ButtonState::Disabled);
    disabled->click();
    EXPECT_TRUE(noSoundPlayed());
    EXPECT_TRUE(sendKey(disabled, MenuKey::Accept));
    EXPECT_EQ(screen->keyEvents(MenuKey::Accept), 0);
    disabled->setEnabled(true);
    EXPECT_EQ(disabled->getState(), ButtonState::Normal);

    GUIButton* inert = makeButton(80);
    inert->setClickable(false);
    bindCallback(inert->OnClick, &clicks, &guitest::ButtonCalls::hit);
    inert->click();
    EXPECT_TRUE(noSoundPlayed());
    EXPECT_EQ(clicks.buttons.size(), 1u);
}

// The engine's Enter and Space press a button and click it on release; Escape lets go of the
// press, and a release without a press clicks nothing.
TEST_F(ButtonTest, EnterOrSpaceClickOnReleaseAndEscapeLetsGo) {
    GUIButton* button = makeButton(0);
    guitest::ButtonCalls clicks;
    bindCallback(button->OnClick, &clicks, &guitest::ButtonCalls::hit);
    sendKey(button, KEY_RETURN, false);
    EXPECT_TRUE(clicks.buttons.empty());
    EXPECT_TRUE(sendKey(button, KEY_RETURN, true));
    EXPECT_TRUE(button->isPressed());
    EXPECT_TRUE(sendKey(button, KEY_ESCAPE, true));
    EXPECT_FALSE(button->isPressed());
    sendKey(button, KEY_RETURN, false);
    EXPECT_TRUE(clicks.buttons.empty());
    sendKey(button, KEY_SPACE, true);
    EXPECT_TRUE(sendKey(button, KEY_SPACE, false));
    EXPECT_EQ(clicks.buttons.size(), 1u);
}

// A push button toggles with each press of Enter or each click, ignores Escape, and tells its
// screen of each toggle without running its click.
TEST_F(ButtonTest, APushButtonTogglesAndTellsItsScreenWithoutClicking) {
    GUIButton* button = makeButton(0);
    button->setIsPushButton(true);
    guitest::ButtonCalls clicks;
    bindCallback(button->OnClick, &clicks, &guitest::ButtonCalls::hit);
    EXPECT_TRUE(sendKey(button, KEY_RETURN, true));
    EXPECT_TRUE(button->isPressed());
    sendKey(button, KEY_ESCAPE, true);
    EXPECT_TRUE(button->isPressed());
    EXPECT_TRUE(sendKey(button, KEY_RETURN, false));
    EXPECT_TRUE(button->isPressed());
    EXPECT_EQ(screen->guiEvents(gui::EGET_BUTTON_CLICKED), 1);
    EXPECT_TRUE(sendKey(button, KEY_RETURN, true));
    EXPECT_FALSE(button->isPressed());
    // A click: the press leaves it as it is, the release toggles it.
    screen->setFocusedElement(button);
    EXPECT_TRUE(sendMouse(button, EMIE_LMOUSE_PRESSED_DOWN, 20, 10));
    EXPECT_FALSE(button->isPressed());
    EXPECT_TRUE(sendMouse(button, EMIE_LMOUSE_LEFT_UP, 20, 10));
    EXPECT_TRUE(button->isPressed());
    EXPECT_EQ(screen->guiEvents(gui::EGET_BUTTON_CLICKED), 2);
    EXPECT_TRUE(clicks.buttons.empty());
    EXPECT_EQ(soundCount(soundClick), 0);
}

// The pointer over a button focuses it, unless the button only takes the focus otherwise.
TEST_F(ButtonTest, HoverFocusesOnlyAButtonThatFocusesOnHover) {
    for (const bool onHover : {true, false}) {
        GUIButton* button = makeButton(onHover ? 0 : 40);
        button->setFocusOnHover(onHover);
        SEvent event;
        event.EventType = EET_GUI_EVENT;
        event.GUIEvent.Caller = button;
        event.GUIEvent.Element = button;
        event.GUIEvent.EventType = gui::EGET_ELEMENT_HOVERED;
        button->OnEvent(event);
        EXPECT_EQ(button->getState(), onHover ? ButtonState::Focused : ButtonState::Normal) << onHover;
    }
}

TEST_F(ButtonTest, NavigationCodesMoveTheFocus) {
    GUIButton* a = makeButton(0);
    GUIButton* b = makeButton(40);
    a->setNeighbour(MenuKey::Down, b);
    b->setNeighbour(MenuKey::Up, a);
    screen->setFocusedElement(a);
    guitest::ButtonCalls focused;
    bindCallback(b->OnFocus, &focused, &guitest::ButtonCalls::hit);

    // The input manager sends the codes to the focused element of the top screen.
    EXPECT_FALSE(sendKey(screenManager->getTopScreenFocus(), MenuKey::Down));
    EXPECT_EQ(screen->getFocusedElement(), b);
    EXPECT_EQ(b->getState(), ButtonState::Focused);
    EXPECT_EQ(a->getState(), ButtonState::Normal);
    EXPECT_EQ(soundCount(soundMenuHover), 1);
    EXPECT_EQ(focused.buttons.size(), 1u);
    EXPECT_EQ(b->getFocusTarget(), a);

    EXPECT_FALSE(sendKey(screenManager->getTopScreenFocus(), MenuKey::Up));
    EXPECT_EQ(screen->getFocusedElement(), a);
    EXPECT_EQ(soundCount(soundMenuHover), 2);
    // Without a neighbour the code goes on to the screen.
    sendKey(screenManager->getTopScreenFocus(), MenuKey::Left);
    EXPECT_EQ(screen->keyEvents(MenuKey::Left), 1);
    EXPECT_EQ(screen->getFocusedElement(), a);
}

TEST_F(ButtonTest, AcceptClicksAndThenReachesTheScreen) {
    GUIButton* button = makeButton(0);
    screen->setFocusedElement(button);
    guitest::ButtonCalls clicks;
    bindCallback(button->OnClick, &clicks, &guitest::ButtonCalls::hit);
    sendKey(button, MenuKey::Accept);
    EXPECT_EQ(clicks.buttons.size(), 1u);
    EXPECT_EQ(soundCount(soundClick), 1);
    EXPECT_EQ(screen->keyEvents(MenuKey::Accept), 1);
    // Back is no button's business.
    sendKey(button, MenuKey::Back);
    EXPECT_EQ(screen->keyEvents(MenuKey::Back), 1);
}

TEST_F(ButtonTest, DisabledNeighboursAreSkipped) {
    GUIButton* a = makeButton(0);
    GUIButton* b = makeButton(40);
    GUIButton* c = makeButton(80);
    GUIButton* d = makeButton(120);
    a->setNeighbour(MenuKey::Down, b);
    b->setNeighbour(MenuKey::Down, c);
    c->setNeighbour(MenuKey::Down, d);
    b->setEnabled(false);
    c->setEnabled(false);
    EXPECT_EQ(a->getNeighbour(MenuKey::Down), d);
    d->setEnabled(false);
    EXPECT_EQ(a->getNeighbour(MenuKey::Down), nullptr);
    EXPECT_EQ(a->getNeighbour(MenuKey::Up), nullptr);
    // A ring of disabled buttons ends the walk.
    d->setNeighbour(MenuKey::Down, b);
    EXPECT_EQ(a->getNeighbour(MenuKey::Down), nullptr);
}

TEST_F(ButtonTest, PreviousNeighbourLeadsBackWithinTheScreen) {
    GUIButton* list = makeButton(0);
    GUIButton* other = makeButton(40);
    GUIButton* side = makeButton(80);
    side->setNeighbourToPrevious(MenuKey::Left);
    screen->setFocusedElement(other);
    screen->setFocusedElement(side);
    EXPECT_EQ(side->getNeighbour(MenuKey::Left), other);
    screen->setFocusedElement(list);
    screen->setFocusedElement(side);
    EXPECT_EQ(side->getNeighbour(MenuKey::Left), list);

    // An element of another screen is not remembered.
    auto* elsewhere = new GUIScreen(environment, root(), 11, core::recti());
    elsewhere->drop();
    screenManager->pushScreen(elsewhere);
    GUIButton* foreign = makeButton(0, elsewhere);
    side->setFocusTarget(foreign);
    EXPECT_EQ(side->getFocusTarget(), list);
    side->setFocusTarget(nullptr);
    EXPECT_EQ(side->getFocusTarget(), nullptr);
}

TEST_F(ButtonTest, MouseClickInside) {
    GUIButton* button = makeButton(0);
    guitest::ButtonCalls clicks;
    bindCallback(button->OnClick, &clicks, &guitest::ButtonCalls::hit);
    // The pointer hovers the button before it presses it.
    screen->setFocusedElement(button);
    EXPECT_TRUE(sendMouse(button, EMIE_LMOUSE_PRESSED_DOWN, 20, 10));
    EXPECT_EQ(button->getState(), ButtonState::Pressed);
    EXPECT_TRUE(button->isPressed());
    EXPECT_TRUE(environment->hasFocus(button));
    EXPECT_TRUE(sendMouse(button, EMIE_LMOUSE_LEFT_UP, 20, 10));
    EXPECT_EQ(clicks.buttons.size(), 1u);
    EXPECT_FALSE(button->isPressed());
    ASSERT_EQ(screen->guiEvents(gui::EGET_BUTTON_CLICKED), 1);
    EXPECT_FALSE(environment->hasFocus(button));
    // The screen hears the click from the button itself.
    for (const SEvent& e : screen->events)
        if (e.EventType == EET_GUI_EVENT && e.GUIEvent.EventType == gui::EGET_BUTTON_CLICKED) {
            EXPECT_EQ(e.GUIEvent.Caller, button);
            EXPECT_EQ(e.GUIEvent.Element, nullptr);
        }
}

// What a button does not handle reaches its screen: other keys, other GUI events, the mouse
// wheel. A press outside a button that holds the focus only lets go of the focus.
TEST_F(ButtonTest, UnhandledEventsReachTheScreenAndAPressOutsideLetsGoOfTheFocus) {
    GUIButton* button = makeButton(0);
    SEvent key;
    std::memset(static_cast<void*>(&key), 0, sizeof(key));
    key.EventType = EET_KEY_INPUT_EVENT;
    key.KeyInput.Key = KEY_KEY_X;
    key.KeyInput.PressedDown = true;
    button->OnEvent(key);
    key.KeyInput.PressedDown = false;
    button->OnEvent(key);
    EXPECT_EQ(screen->keyEvents(KEY_KEY_X), 2);
    SEvent gui;
    std::memset(static_cast<void*>(&gui), 0, sizeof(gui));
    gui.EventType = EET_GUI_EVENT;
    gui.GUIEvent.Caller = button;
    gui.GUIEvent.EventType = gui::EGET_SCROLL_BAR_CHANGED;
    button->OnEvent(gui);
    EXPECT_EQ(screen->guiEvents(gui::EGET_SCROLL_BAR_CHANGED), 1);
    const std::size_t before = screen->events.size();
    sendMouse(button, EMIE_MOUSE_WHEEL, 20, 10);
    EXPECT_EQ(screen->events.size(), before + 1);

    environment->setFocus(button);
    ASSERT_TRUE(environment->hasFocus(button));
    EXPECT_FALSE(sendMouse(button, EMIE_LMOUSE_PRESSED_DOWN, 500, 500));
    EXPECT_FALSE(environment->hasFocus(button));
    EXPECT_FALSE(button->isPressed());
    EXPECT_NE(button->getState(), ButtonState::Pressed);
}

TEST_F(ButtonTest, ReleaseOutsideIsNoClick) {
    GUIButton* button = makeButton(0);
    guitest::ButtonCalls clicks, held;
    bindCallback(button->OnClick, &clicks, &guitest::ButtonCalls::hit);
    bindCallback(button->OnHeld, &held, &guitest::ButtonCalls::hit);
    screen->setFocusedElement(button);
    sendMouse(button, EMIE_LMOUSE_PRESSED_DOWN, 20, 10);
    button->OnPostRender(0);
    button->OnPostRender(0);
    EXPECT_EQ(held.buttons.size(), 2u);
    sendMouse(button, EMIE_LMOUSE_LEFT_UP, 500, 500);
    EXPECT_EQ(button->getState(), ButtonState::Released);
    EXPECT_TRUE(clicks.buttons.empty());
    EXPECT_TRUE(noSoundPlayed());
    button->OnPostRender(0);
    EXPECT_EQ(button->getState(), ButtonState::Focused);
}

TEST_F(ButtonTest, PressWithoutTheScreenFocusTakesTheFocus) {
    GUIButton* button = makeButton(0);
    sendMouse(button, EMIE_LMOUSE_PRESSED_DOWN, 20, 10);
    EXPECT_TRUE(button->isPressed());
    EXPECT_EQ(button->getState(), ButtonState::Focused);
    EXPECT_EQ(screen->getFocusedElement(), button);
}

TEST_F(ButtonTest, FocusWhileAnotherButtonIsHeldMarksAHoverPartner) {
    GUIButton* held = makeButton(0);
    GUIButton* other = makeButton(40);
    screen->setFocusedElement(held);
    sendMouse(held, EMIE_LMOUSE_PRESSED_DOWN, 20, 10);
    ASSERT_EQ(held->getState(), ButtonState::Pressed);
    other->focus();
    EXPECT_EQ(other->getState(), ButtonState::Normal);
    EXPECT_EQ(held->getHoverPartner(), other);
    EXPECT_EQ(screen->getFocusedElement(), held);
}

// While a button is held, the pointer over its hover partner (and not over the button) tells
// the partner it is hovered, once a frame.
TEST_F(ButtonTest, AHeldButtonTellsItsHoverPartnerWhenThePointerIsOverIt) {
    struct Partner : gui::IGUIElement {
        Partner(gui::IGUIEnvironment* environment, gui::IGUIElement* parent)
            : gui::IGUIElement(gui::EGUIET_ELEMENT, environment, parent, -1, core::recti(10, 100, 110, 130)) {}
        bool OnEvent(const SEvent& event) override {
            if (event.EventType == EET_GUI_EVENT && event.GUIEvent.EventType == gui::EGET_ELEMENT_HOVERED &&
                event.GUIEvent.Caller == this)
                ++hovered;
            return true;
        }
        int hovered = 0;
    };
    auto* partner = new Partner(environment, screen);
    partner->drop();
    GUIButton* held = makeButton(0);
    screen->setFocusedElement(held);
    sendMouse(held, EMIE_LMOUSE_PRESSED_DOWN, 20, 10);
    ASSERT_EQ(held->getState(), ButtonState::Pressed);
    held->setHoverPartner(partner);
    gui::ICursorControl* cursor = device->getCursorControl();
    const struct {
        core::position2di pointer;
        int hovered;
    } rows[] = {{{60, 115}, 1}, {{20, 10}, 0}, {{500, 500}, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.pointer.X);
        partner->hovered = 0;
        cursor->setPosition(row.pointer.X, row.pointer.Y);
        held->OnPostRender(0);
        EXPECT_EQ(partner->hovered, row.hovered);
    }
    // A button that is not held tells nobody.
    GUIButton* idle = makeButton(200);
    idle->setHoverPartner(partner);
    ASSERT_EQ(idle->getState(), ButtonState::Normal);
    partner->hovered = 0;
    cursor->setPosition(60, 115);
    idle->OnPostRender(0);
    EXPECT_EQ(partner->hovered, 0);
}

TEST_F(ButtonTest, ForwardedFocusGoesToTheTarget) {
    GUIButton* list = makeButton(0);
    GUIButton* row = makeButton(40);
    list->setForwardFocus(true);
    list->setForwardFocusTarget(row);
    list->focus();
    EXPECT_EQ(list->getState(), ButtonState::Normal);
    EXPECT_EQ(row->getState(), ButtonState::Focused);
    EXPECT_EQ(screen->getFocusedElement(), row);
}

TEST_F(ButtonTest, OpaqueLoadingOverlayConsumesEvents) {
    GUIButton* a = makeButton(0);
    GUIButton* b = makeButton(40);
    a->setNeighbour(MenuKey::Down, b);
    screen->setFocusedElement(a);
    // The program-wide query reads the level manager's overlay through its registration.
    fillCoreSlots();
    level->loadingOverlay.kind = 2;
    level->loadingOverlay.fadeValue = 1.0f;
    EXPECT_TRUE(sendKey(a, MenuKey::Down));
    EXPECT_TRUE(sendMouse(a, EMIE_LMOUSE_PRESSED_DOWN, 20, 10));
    EXPECT_EQ(screen->getFocusedElement(), a);
    EXPECT_EQ(a->getState(), ButtonState::Focused);
}

TEST_F(ButtonTest, PressedFlagFollowsTheGameplayGate) {
    GUIButton* button = makeButton(0);
    // The program-wide query reads the level manager's overlay through its registration: a
    // transition under way holds the flag.
    fillCoreSlots();
    level->loadingOverlay.introRunning = true;
    // Without a level manager the gate is open.
    levelManager = nullptr;
    button->setPressed(true);
    EXPECT_TRUE(button->isPressed());
    levelManager = level.get();
    button->setPressed(false);
    EXPECT_TRUE(button->isPressed());
    level->loadingOverlay.introRunning = false;
    button->setPressed(false);
    EXPECT_FALSE(button->isPressed());
}

TEST_F(ButtonTest, SheetPicturesByState) {
    auto* sheet = new guitest::SizedTexture("sheet", 65, 64);
    GUIButton* button = makeButton(0);
    button->setImage(sheet);
    EXPECT_EQ(button->getStateSourceRect(sheet), core::recti(0, 0, 32, 32));
    screen->setFocusedElement(button);
    EXPECT_EQ(button->getStateSourceRect(sheet), core::recti(32, 0, 65, 32));
    sendMouse(button, EMIE_LMOUSE_PRESSED_DOWN, 20, 10);
    EXPECT_EQ(button->getStateSourceRect(sheet), core::recti(0, 32, 32, 64));
    button->setEnabled(false);
    EXPECT_EQ(button->getStateSourceRect(sheet), core::recti(32, 32, 65, 64));
    button->setStateImages(sheet, sheet, sheet, sheet, sheet);
    EXPECT_TRUE(button->usesStateImages());
    EXPECT_EQ(button->getStateSourceRect(sheet), core::recti(0, 0, 65, 64));
    EXPECT_EQ(sheet->getReferenceCount(), 6);
    button->setImage(nullptr);
    EXPECT_FALSE(button->usesStateImages());
    button->draw();
    // A disabled button keeps every event, the loss of the focus too.
    EXPECT_FALSE(environment->removeFocus(button));
    button->setEnabled(true);
    EXPECT_TRUE(environment->removeFocus(button));
    button->remove();
    EXPECT_EQ(sheet->getReferenceCount(), 1);
    sheet->drop();
}

TEST_F(ButtonTest, StateSourceDecidesTheState) {
    GUIButton* row = makeButton(0);
    GUIButton* part = makeButton(0, row);
    part->setStateSource(row);
    row->focus();
    part->OnPostRender(0);
    EXPECT_EQ(part->getState(), ButtonState::Focused);
    // Its events go to its parent.
    sendKey(part, MenuKey::Accept);
    EXPECT_EQ(screen->keyEvents(MenuKey::Accept), 1);
}

TEST_F(ButtonTest, SubtreeQuery) {
    GUIButton* a = makeButton(0);
    GUIButton* inner = makeButton(0, a);
    EXPECT_TRUE(a->isInSubtree(inner, screen));
    EXPECT_TRUE(a->isInSubtree(screen, screen));
    EXPECT_FALSE(a->isInSubtree(screen, inner));
    EXPECT_FALSE(a->isInSubtree(inner, nullptr));
}

TEST_F(ButtonTest, TextButtonCarriesACaption) {
    auto* button = new GUITextButton(environment, screen, -1, core::recti(0, 0, 200, 40));
    button->drop();
    EXPECT_EQ(static_cast<s32>(button->getType()), GuiType::TextButton);
    EXPECT_STREQ(button->getTypeName(), "GUIButton");
    GUIFreeTypeText* caption = button->getCaption();
    ASSERT_NE(caption, nullptr);
    EXPECT_TRUE(caption->isSubElement());
    EXPECT_EQ(caption->getRelativePosition(), core::recti(0, 0, 200, 40));
    EXPECT_EQ(caption->getReferenceCount(), 1);
    button->setText(L"Options");
    EXPECT_STREQ(caption->getOwnText().c_str(), L"Options");
    EXPECT_EQ(caption->getVerticalAlignment(), gui::EGUIA_CENTER);
}

TEST_F(ButtonTest, CaptionColourFollowsTheState) {
    auto* button = new GUITextButton(environment, screen, -1, core::recti(0, 0, 200, 40));
    button->drop();
    GUIFreeTypeText* caption = button->getCaption();
    button->OnPostRender(0);
    EXPECT_EQ(caption->getOverrideColor(), video::SColor(0xFF000000));
    button->focus();
    button->OnPostRender(0);
    EXPECT_EQ(caption->getOverrideColor(), video::SColor(0xFF969696));
    button->setEnabled(false);
    button->OnPostRender(0);
    EXPECT_EQ(caption->getOverrideColor(), video::SColor(0xFF969696));

    // With a state source it lights up with the source.
    GUIButton* row = makeButton(0);
    auto* label = new GUITextButton(environment, row, -1, core::recti(0, 0, 100, 30));
    label->drop();
    label->setStateSource(row);
    label->setStateColors(video::SColor(1), video::SColor(2), video::SColor(3), video::SColor(4));
    screen->setFocusedElement(row);
    label->OnPostRender(0);
    EXPECT_EQ(label->getCaption()->getOverrideColor(), video::SColor(2));
    sendMouse(row, EMIE_LMOUSE_PRESSED_DOWN, 20, 10);
    label->OnPostRender(0);
    EXPECT_EQ(label->getCaption()->getOverrideColor(), video::SColor(3));
    row->click();
    ASSERT_EQ(row->getState(), ButtonState::Released);
    label->OnPostRender(0);
    EXPECT_EQ(label->getCaption()->getOverrideColor(), video::SColor(4));
    // A new normal colour leaves the other states' colours.
    label->setNormalColor(video::SColor(5));
    EXPECT_EQ(label->getStateColor(ButtonState::Normal), video::SColor(5));
    EXPECT_EQ(label->getStateColor(ButtonState::Focused), video::SColor(2));
}

} // namespace
