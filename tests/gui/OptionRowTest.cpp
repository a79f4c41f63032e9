// The option rows: the cycle steps and wraps through its values and tells the new id; the
// meter steps by one within its range, follows the pointer over its bar, and tells its row.
#include "GuiFixture.h"

#include "gui/ButtonCaptions.h"

#include "core/Globals.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/GUIOptionCycle.h"
#include "gui/GUIOptionMeter.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"

#include <ICursorControl.h>

#include <string>
#include <utility>
#include <vector>

using namespace irr;

namespace {

struct ValueCalls {
    std::vector<s32> ids;
    std::vector<s32> values;
    void id(s32 value) { ids.push_back(value); }
    void row(GUIOptionMeter* meter) { values.push_back(meter->getValue()); }
};

class OptionRowTest : public guitest::GuiFixture {
protected:
    GUIOptionCycle* makeCycle(std::initializer_list<const wchar_t*> texts) {
        auto* row = new GUIOptionCycle(environment, root(), true, core::recti(0, 0, 100, guiUnits(24)));
        row->drop();
        s32 id = 10;
        for (const wchar_t* text : texts)
            row->addValue(text, id++);
        bindCallback(row->OnValueChanged, &calls, &ValueCalls::id);
        return row;
    }
    GUIOptionMeter* makeMeter() {
        auto* row = new GUIOptionMeter(environment, root(), core::recti(0, 0, 100, guiUnits(24)));
        row->drop();
        bindCallback(row->OnValueChanged, &calls, &ValueCalls::row);
        return row;
    }
    ValueCalls calls;
};

TEST_F(OptionRowTest, TheCycleWrapsBothWaysAndTellsTheNewId) {
    GUIOptionCycle* row = makeCycle({L"Low", L"Medium", L"High"});
    EXPECT_EQ(row->getType(), toElementType(GuiType::OptionCycle));
    EXPECT_STREQ(row->getTypeName(), "GUIOptionCycle");
    row->setIndex(2);
    row->selectNext();
    EXPECT_EQ(row->getIndex(), 0);
    row->selectPrevious();
    EXPECT_EQ(row->getIndex(), 2);
    EXPECT_EQ(calls.ids, (std::vector<s32>{10, 12}));
    EXPECT_STREQ(row->getValueText()->getText(), L"High");
    // Quiet selections wrap too and tell nobody.
    row->setIndex(-1);
    EXPECT_EQ(row->getIndex(), 2);
    row->setIndex(3);
    EXPECT_EQ(row->getIndex(), 0);
    row->selectValueById(11);
    EXPECT_EQ(row->getSelectedId(), 11);
    row->selectValueById(99);
    EXPECT_EQ(row->getSelectedId(), 11);
    EXPECT_EQ(calls.ids.size(), 2u);
}

// A focused arrow lights the whole row: the row answers the arrow's state.
// The highlight bar of a row on a left panel runs past the left screen edge.
TEST_F(OptionRowTest, ALeftPanelsCycleBarRunsPastTheLeftEdge) {
    auto* right = new GUIOptionCycle(environment, root(), true, core::recti(0, 0, 100, guiUnits(24)));
    right->drop();
    auto* left = new GUIOptionCycle(environment, root(), false, core::recti(0, 0, 100, guiUnits(24)));
    left->drop();
    const core::recti onRight = right->getHighlight()->getRelativePosition();
    const core::recti onLeft = left->getHighlight()->getRelativePosition();
    const s32 shift = screenWidthPart(0.05f) + guiUnits(24);
    EXPECT_EQ(onLeft, onRight - core::position2di(shift, 0));
}

TEST_F(OptionRowTest, AFocusedArrowIsTheRowsState) {
    GUIOptionCycle* row = makeCycle({L"One", L"Two"});
    for (GUIButton* arrow : {row->getPrevHitArea(), row->getNextHitArea()}) {
        arrow->focus();
        EXPECT_EQ(row->getState(), ButtonState::Focused);
        arrow->unfocus();
        EXPECT_EQ(row->getState(), ButtonState::Normal);
    }
}

// The meter's bar lights the whole row when focused or pressed; a bar at rest leaves the row
// its own state.
TEST_F(OptionRowTest, AFocusedOrPressedBarIsTheMetersState) {
    GUIOptionMeter* row = makeMeter();
    GUIButton* bar = row->getDragArea();
    bar->focus();
    EXPECT_EQ(row->getState(), ButtonState::Focused);
    bar->unfocus();
    EXPECT_EQ(row->getState(), ButtonState::Normal);
    row->focus();
    EXPECT_EQ(row->getState(), ButtonState::Focused);
    row->unfocus();
    row->updateAbsolutePosition();
    const core::position2di at = row->getMeterOutline()->getAbsolutePosition().getCenter();
    environment->setFocus(bar);
    sendMouse(bar, EMIE_LMOUSE_PRESSED_DOWN, at.X, at.Y);
    ASSERT_EQ(bar->getState(), ButtonState::Pressed);
    EXPECT_EQ(row->getState(), ButtonState::Pressed);
}

// Leaving a focused option row turns it back to normal, cycle and meter alike.
TEST_F(OptionRowTest, AnOptionRowLeftByTheFocusTurnsNormal) {
    for (GUIButton* row : std::initializer_list<GUIButton*>{makeCycle({L"One", L"Two"}), makeMeter()}) {
        row->focus();
        EXPECT_EQ(row->getState(), ButtonState::Focused) << row->getTypeName();
        row->unfocus();
        EXPECT_EQ(row->getState(), ButtonState::Normal) << row->getTypeName();
    }
}

TEST_F(OptionRowTest, TheSideKeysClickTheHitAreasEvenWithOneValue) {
    GUIOptionCycle* row = makeCycle({L"Only"});
    row->onNavigationKey(MenuKey::Right);
    row->onNavigationKey(MenuKey::Left);
    row->onNavigationKey(MenuKey::Accept);
    EXPECT_EQ(soundCount(soundClick), 2);
    EXPECT_EQ(calls.ids, (std::vector<s32>{10, 10}));
    EXPECT_EQ(row->getIndex(), 0);
}

// Left steps back (from the first value to the last), right steps on; a click on a hit area
// sounds as the side keys do.
TEST_F(OptionRowTest, TheSideKeysStepTheirWayAndAClickedHitAreaSounds) {
    GUIOptionCycle* row = makeCycle({L"Low", L"Medium", L"High"});
    row->onNavigationKey(MenuKey::Left);
    EXPECT_EQ(row->getIndex(), 2);
    row->onNavigationKey(MenuKey::Right);
    EXPECT_EQ(row->getIndex(), 0);
    forgetSounds();
    row->getNextHitArea()->click();
    EXPECT_EQ(row->getIndex(), 1);
    EXPECT_EQ(soundCount(soundClick), 1);
    row->getPrevHitArea()->click();
    EXPECT_EQ(row->getIndex(), 0);
    EXPECT_EQ(soundCount(soundClick), 2);
}

TEST_F(OptionRowTest, AnEmptyCycleShowsItsPlaceholderAndAnswersMinusOne) {
    GUIOptionCycle* row = makeCycle({});
    EXPECT_STREQ(row->getValueText()->getText(), L"This is  text");
    row->selectNext();
    EXPECT_EQ(row->getSelectedId(), -1);
    EXPECT_TRUE(calls.ids.empty());
}

TEST_F(OptionRowTest, TheSplitLiesNearTheValueText) {
    for (const wchar_t* text : {L"x", L"A very long value text that is wide"}) {
        SCOPED_TRACE(text);
        GUIOptionCycle* row = makeCycle({text});
        const s32 w = row->getValueText()->getTextWidth();
        const s32 nextRight = row->getNextArrow()->getRelativePosition().LowerRightCorner.X;
        EXPECT_EQ(row->getPrevHitArea()->getRelativePosition().LowerRightCorner.X,
                  nextRight - std::min(w / 2, guiUnits(30)));
        EXPECT_EQ(row->getNextHitArea()->getRelativePosition().UpperLeftCorner.X,
                  row->getPrevHitArea()->getRelativePosition().LowerRightCorner.X);
    }
}

TEST_F(OptionRowTest, TheMeterStepsByOneAndStopsAtItsEndsWithoutSound) {
    GUIOptionMeter* row = makeMeter();
    EXPECT_STREQ(row->getTypeName(), "GUIOptionCycle");
    EXPECT_EQ(row->getOptionType(), GuiType::OptionMeter);
    EXPECT_EQ(row->getType(), toElementType(GuiType::OptionMeter));
    row->onNavigationKey(MenuKey::Left);
    EXPECT_EQ(row->getValue(), 0);
    EXPECT_EQ(soundCount(soundMenuHover), 0);
    row->onNavigationKey(MenuKey::Right);
    EXPECT_EQ(row->getValue(), 1);
    EXPECT_EQ(soundCount(soundMenuHover), 1);
    row->setValue(250);
    EXPECT_EQ(row->getValue(), 100);
    row->onNavigationKey(MenuKey::Right);
    EXPECT_EQ(soundCount(soundMenuHover), 1);
    EXPECT_EQ(calls.values, (std::vector<s32>{1, 100}));
    // The bar shows the value's share of the range.
    EXPECT_EQ(row->getMeter()->getRelativePosition().getWidth(), guiUnits(80));
    EXPECT_STREQ(row->getValueText()->getText(), L"100");
}

// The step onto an end still sounds; only a step against it is silent.
TEST_F(OptionRowTest, TheStepOntoAnEndSoundsAndTheStepAgainstItDoesNot) {
    const struct {
        s32 from, key, to, sounds;
    } rows[] = {{1, MenuKey::Left, 0, 1},
                {0, MenuKey::Left, 0, 0},
                {99, MenuKey::Right, 100, 1},
                {100, MenuKey::Right, 100, 0}};
    GUIOptionMeter* row = makeMeter();
    for (const auto& r : rows) {
        row->setValue(r.from);
        const s32 before = soundCount(soundMenuHover);
        row->onNavigationKey(r.key);
        EXPECT_EQ(row->getValue(), r.to) << r.from;
        EXPECT_EQ(soundCount(soundMenuHover) - before, r.sounds) << r.from;
    }
}

TEST_F(OptionRowTest, ThePointerGivesValuesAlongTheBar) {
    GUIOptionMeter* row = makeMeter();
    row->updateAbsolutePosition();
    const s32 left = row->getMeterOutline()->getAbsolutePosition().UpperLeftCorner.X;
    EXPECT_EQ(row->valueAtPointer(left), 1) << "a press at the left end gives Min + 1";
    EXPECT_EQ(row->valueAtPointer(left - 50), 0);
    EXPECT_EQ(row->valueAtPointer(left + guiUnits(80) + 50), 100);
    EXPECT_EQ(row->valueAtPointer(left + guiUnits(40)), 51);
}

// A held press takes the value under the pointer anywhere on the bar, its end pixels
// included; the first hold and each change while dragging sound, and the drag ends with
// the press. A click on the row itself is silent.
TEST_F(OptionRowTest, AHeldPressFollowsThePointerOverTheWholeBar) {
    GUIOptionMeter* row = makeMeter();
    row->updateAbsolutePosition();
    const core::recti outline = row->getMeterOutline()->getAbsolutePosition();
    const s32 left = outline.UpperLeftCorner.X;
    const s32 y = outline.UpperLeftCorner.Y + guiUnits(7);
    gui::ICursorControl* cursor = device->getCursorControl();
    ASSERT_NE(cursor, nullptr);
    const auto holdAt = [&](s32 x) {
        cursor->setPosition(x, y);
        row->getDragArea()->OnHeld.invoke(reinterpret_cast<DelegateArg>(row->getDragArea()));
    };
    holdAt(left + guiUnits(80));
    EXPECT_EQ(row->getValue(), 100);
    EXPECT_EQ(soundCount(soundMenuHover), 1);
    holdAt(left);
    EXPECT_EQ(row->getValue(), 1);
    EXPECT_EQ(soundCount(soundMenuHover), 2);
    holdAt(left);
    EXPECT_EQ(soundCount(soundMenuHover), 2);
    cursor->setPosition(left + guiUnits(40), y);
    row->OnPostRender(0);
    EXPECT_EQ(row->getValue(), 1) << "released, the row no longer follows the pointer";
    row->click();
    EXPECT_EQ(soundCount(soundClick), 0);
}

// Once a drag has begun, each frame the value follows the pointer while the bar is pressed,
// also past either end and above or below the bar; it stops with the press.
TEST_F(OptionRowTest, ADragThatLeavesTheBarStillReachesEitherEnd) {
    GUIOptionMeter* row = makeMeter();
    row->updateAbsolutePosition();
    const core::recti outline = row->getMeterOutline()->getAbsolutePosition();
    const s32 left = outline.UpperLeftCorner.X;
    const s32 y = outline.UpperLeftCorner.Y + guiUnits(7);
    gui::ICursorControl* cursor = device->getCursorControl();
    cursor->setPosition(left + guiUnits(40), y);
    // The bar has the focus (the pointer hovers it) when it is pressed.
    environment->setFocus(row->getDragArea());
    sendMouse(row->getDragArea(), EMIE_LMOUSE_PRESSED_DOWN, left + guiUnits(40), y);
    ASSERT_EQ(row->getDragArea()->getState(), ButtonState::Pressed);
    row->getDragArea()->OnHeld.invoke(reinterpret_cast<DelegateArg>(row->getDragArea()));
    ASSERT_EQ(row->getValue(), 51);
    calls.values.clear();
    const struct {
        s32 x, y, value;
        std::size_t changes;
    } steps[] = {
        {left + guiUnits(80) + 50, y + 100, 100, 1},
        {left + guiUnits(80) + 60, y, 100, 1},
        {left - 50, y - 100, 0, 2},
        {left + guiUnits(20), y, 26, 3},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.value);
        cursor->setPosition(step.x, step.y);
        row->OnPostRender(0);
        EXPECT_EQ(row->getValue(), step.value);
        EXPECT_EQ(calls.values.size(), step.changes);
    }
    sendMouse(row->getDragArea(), EMIE_LMOUSE_LEFT_UP, left + guiUnits(20), y);
    row->OnPostRender(0);
    cursor->setPosition(left + guiUnits(60), y);
    row->OnPostRender(0);
    EXPECT_EQ(row->getValue(), 26);
    // The next hold begins a new drag: it sounds even where the value stays.
    cursor->setPosition(left + guiUnits(20), y);
    const s32 sounds = soundCount(soundMenuHover);
    row->getDragArea()->OnHeld.invoke(reinterpret_cast<DelegateArg>(row->getDragArea()));
    EXPECT_EQ(row->getValue(), 26);
    EXPECT_EQ(soundCount(soundMenuHover), sounds + 1);
}

// The bar shows the value's share of a range that need not start at zero.
TEST_F(OptionRowTest, TheBarShowsTheShareOfARangeAboveZero) {
    GUIOptionMeter* row = makeMeter();
    row->setRange(10, 20);
    row->setValue(15);
    EXPECT_EQ(row->getMeter()->getRelativePosition().getWidth(), guiUnits(80) / 2);
}

// The value's text keeps u(6) clear of the meter's frame for every value of the range: the
// meter stands u(35) left of the value's end, further for a range whose widest value needs it.
TEST_F(OptionRowTest, TheValueTextKeepsClearOfTheMetersFrame) {
    useLanguages();
    struct Case {
        s32 min, max;
        bool widened;
    };
    for (const Case& c : {Case{0, 50, false}, Case{0, 100, true}, Case{-10, 50, true}}) {
        SCOPED_TRACE(std::to_string(c.min) + ".." + std::to_string(c.max));
        GUIOptionMeter* row = makeMeter();
        row->setRange(c.min, c.max);
        s32 gap = 0;
        for (const s32 value : {c.min, c.max - 1, c.max}) {
            row->setValue(value);
            const core::recti text = row->getValueText()->getRelativePosition();
            const s32 meterRight = row->getMeterOutline()->getRelativePosition().LowerRightCorner.X;
            ASSERT_GT(row->getValueText()->getTextWidth(), 0) << "measured in the game's font";
            EXPECT_GE(text.LowerRightCorner.X - row->getValueText()->getTextWidth() - meterRight, guiUnits(6)) << value;
            gap = text.LowerRightCorner.X - meterRight;
        }
        EXPECT_EQ(gap > guiUnits(35), c.widened);
        row->remove();
    }
}

TEST_F(OptionRowTest, ARangeChangeKeepsTheValueUntilItsNextChange) {
    GUIOptionMeter* row = makeMeter();
    row->setValue(80);
    row->setRange(0, 50);
    EXPECT_EQ(row->getValue(), 80);
    row->onNavigationKey(MenuKey::Left);
    EXPECT_EQ(row->getValue(), 50);
}

} // namespace

namespace {

// Bindings read as a player says them; the stored names stay as the settings file keeps them.
TEST(ButtonCaptionTest, StoredNamesReadAsAPlayerSaysThem) {
    const std::pair<const char*, const wchar_t*> cases[] = {
        {"KEY_KEY_E", L"E"},           {"KEY_KEY_0", L"0"},          {"KEY_SPACE", L"Space"},
        {"KEY_RETURN", L"Enter"},      {"KEY_LSHIFT", L"Left Shift"}, {"KEY_UP", L"Up Arrow"},
        {"KEY_F1", L"F1"},             {"KEY_F12", L"F12"},          {"KEY_NUMPAD7", L"Numpad 7"},
        {"KEY_OEM_4", L"["},           {"KEY_TAB", L"Tab"},          {"KEY_HOME", L"Home"},
        {"MOUSE_LEFT", L"Left Mouse"}, {"MOUSE_WHEEL", L"Mouse Wheel"}, {"GAMEPAD_A", L"Pad A"},
        {"GAMEPAD_LEFT_SHOULDER", L"Pad Left Shoulder"}, {"GAMEPAD_DPAD_UP", L"Pad D-Pad Up"},
        {"GAMEPAD_STICK_LX_POS", L"Pad Left Stick X+"}, {"GAMEPAD_STICK_RY", L"Pad Right Stick Y"},
        {"JOYSTICK_AXIS_X_NEG", L"Joystick Axis X Neg"}, {"BUTTON_3", L"Button 3"}, {"", L""},
        // Only "KEY_F" and a digit is a function key; other words after "KEY_" read as words.
        {"KEY_FINAL", L"Final"},        {"KEY_F", L"F"},             {"KEY_X1", L"X1"},
        {"GAMEPAD_STICK_L", L"Pad Stick L"}, {"GAMEPAD_STICK_LY_NEG", L"Pad Left Stick Y-"},
    };
    for (const auto& [stored, shown] : cases)
        EXPECT_EQ(readableButtonName(stored), shown) << stored;
}

} // namespace
