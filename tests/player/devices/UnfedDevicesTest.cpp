#include "player/devices/LeapDevice.h"
#include "player/devices/MoveDevice.h"
#include "player/devices/MultitouchDevice.h"

#include <gtest/gtest.h>

namespace {

ButtonMapping unfedMapping(InputDevice& device, const char* name) {
    ButtonMapping m;
    m.device = &device;
    m.buttonIndex = device.getButtonIndex(name);
    return m;
}

TEST(LeapDeviceTest, ReportsNoHandsWhileUnfed) {
    LeapDevice leap;
    leap.registerButtonNames();
    EXPECT_EQ(leap.getName(), L"Leap");
    EXPECT_EQ(leap.getDisplayName(), L"Leap");
    EXPECT_EQ(leap.getButtonCount(), 13);
    EXPECT_EQ(leap.getDeviceCount(), 0);
    EXPECT_TRUE(leap.isConnected(0));
    EXPECT_TRUE(leap.usesModeSwitching());
    EXPECT_FALSE(leap.takesPartInDetection());
    EXPECT_EQ(leap.getButtonIndex("LEAP_HAND_CHANGE"), 12);
    for (int index = 0; index < 14; ++index) {
        ButtonMapping m;
        m.buttonIndex = index;
        EXPECT_EQ(leap.getValue(m), 0.0f) << index;
        // The velocities count as pressed always; nothing else without hands.
        EXPECT_EQ(leap.wasPressed(m), index <= 5) << index;
    }
    leap.rightVelocity[2] = 2.0f;
    EXPECT_EQ(leap.getValue(unfedMapping(leap, "LEAP_RIGHT_VEL_Z")), -2.0f);
    leap.handCount = 1;
    leap.rightGrabbing = true;
    EXPECT_EQ(leap.getValue(unfedMapping(leap, "LEAP_ONEHAND_GRABBING")), 1.0f);
    EXPECT_EQ(leap.getValue(unfedMapping(leap, "LEAP_LEFT_GRABBING")), 0.0f);
    // Without a player the hand change never fires.
    leap.previousHandCount = 2;
    EXPECT_FALSE(leap.wasPressed(unfedMapping(leap, "LEAP_HAND_CHANGE")));
}

// Columns: one hand grabbing, one hand open, right grabbing, right open, left grabbing, left
// open. A single hand counts as the right one; a grab is pressed only in the frame it closes.
TEST(LeapDeviceTest, EachHandFlagNeedsItsHandsAndAGrabIsPressedWhenItCloses) {
    const struct {
        int hands;
        bool right, left, rightBefore, leftBefore;
        float values[6];
        bool pressed[6];
    } rows[] = {
        {0, true, true, false, false, {0, 0, 0, 0, 0, 0}, {false, false, false, false, false, false}},
        {1, true, true, false, false, {1, 0, 1, 0, 0, 0}, {true, false, true, false, false, false}},
        {1, false, false, false, false, {0, 1, 0, 1, 0, 0}, {false, true, false, true, false, false}},
        {1, true, false, true, false, {1, 0, 1, 0, 0, 0}, {false, false, false, false, false, false}},
        {2, false, true, false, false, {0, 0, 0, 1, 1, 0}, {false, false, false, true, true, false}},
        {2, true, false, true, false, {0, 0, 1, 0, 0, 1}, {false, false, false, false, false, true}},
        {2, true, true, false, true, {0, 0, 1, 0, 1, 0}, {false, false, true, false, false, false}},
    };
    for (const auto& row : rows) {
        LeapDevice leap;
        leap.handCount = row.hands;
        leap.rightGrabbing = row.right;
        leap.leftGrabbing = row.left;
        leap.rightGrabbingBefore = row.rightBefore;
        leap.leftGrabbingBefore = row.leftBefore;
        for (int column = 0; column < 6; ++column) {
            ButtonMapping m;
            m.buttonIndex = LeapDevice::OneHandGrabbing + column;
            EXPECT_EQ(leap.getValue(m), row.values[column]) << row.hands << " hands, column " << column;
            EXPECT_EQ(leap.wasPressed(m), row.pressed[column]) << row.hands << " hands, column " << column;
        }
    }
}

TEST(MoveDeviceTest, EveryQueryIsZeroAndNamesAreRegistered) {
    MoveDevice move;
    move.registerButtonNames();
    EXPECT_EQ(moveDevice(), &move);
    EXPECT_EQ(move.getName(), L"Move");
    EXPECT_EQ(move.getButtonCount(), 82);
    EXPECT_EQ(move.getDeviceCount(), 0);
    EXPECT_EQ(move.getConnectedCount(), 0);
    EXPECT_FALSE(move.isConnected(0));
    const struct {
        const char* name;
        int index;
    } names[] = {{"BUTTON_31", 31}, {"MOVE_VEL_X", 36}, {"MOVE_DIR_Z", 44}, {"NAV_BUTTON_0", 45},
                 {"NAV_BUTTON_31", 76}, {"NAV_AXIS_X_POS", 78}, {"NAV_AXIS_Y_NEG", 81}};
    for (const auto& entry : names)
        EXPECT_EQ(move.getButtonIndex(entry.name), entry.index) << entry.name;
    for (int index = 0; index < 82; ++index) {
        ButtonMapping m;
        m.buttonIndex = index;
        EXPECT_EQ(move.getValue(m), 0.0f);
        EXPECT_FALSE(move.wasPressed(m));
    }
    // A written navigation axis reads in its own half only, and presses on its sign.
    move.navigation[0][0].axes[0] = -0.5f;
    EXPECT_EQ(move.getValue(unfedMapping(move, "NAV_AXIS_X_NEG")), 0.5f);
    EXPECT_EQ(move.getValue(unfedMapping(move, "NAV_AXIS_X_POS")), 0.0f);
    EXPECT_TRUE(move.wasPressed(unfedMapping(move, "NAV_AXIS_X_NEG")));
    EXPECT_FALSE(move.wasPressed(unfedMapping(move, "NAV_AXIS_X_POS")));
}

TEST(MultitouchDeviceTest, ResetRecordsAndNoInstanceWhenIdle) {
    MultitouchDevice multitouch(false);
    multitouch.registerButtonNames();
    EXPECT_EQ(multitouch.getName(), L"LMultitouch");
    EXPECT_EQ(multitouch.getButtonCount(), 27);
    EXPECT_EQ(multitouch.getButtonIndex("MULTITOUCH_SPREAD"), 18);
    EXPECT_EQ(multitouch.getButtonIndex("multitouch_click"), 26);
    EXPECT_TRUE(multitouch.usesModeSwitching());
    EXPECT_FALSE(MultitouchDevice(true).usesModeSwitching());
    for (int record = 0; record < 3; ++record) {
        EXPECT_FALSE(multitouch.holdsFinger(record));
        EXPECT_EQ(multitouch.records[record][0], -1.0f);
        EXPECT_EQ(multitouch.records[record][4], 0.0f);
    }
    EXPECT_EQ(multitouch.idleTime, 2.0f);
    EXPECT_EQ(multitouch.activeTouch, -1);
    // Idle for more than two seconds: no instance.
    multitouch.endFrame();
    EXPECT_GT(multitouch.idleTime, 2.0f);
    EXPECT_EQ(multitouch.getDeviceCount(), 0);
    multitouch.pressed[MultitouchDevice::Spread] = true;
    EXPECT_TRUE(multitouch.wasPressed(unfedMapping(multitouch, "MULTITOUCH_SPREAD")));
    ButtonMapping beyond;
    beyond.buttonIndex = 27;
    EXPECT_EQ(multitouch.getValue(beyond), 0.0f);
    EXPECT_FALSE(multitouch.wasPressed(beyond));
}

TEST(MultitouchDeviceTest, EndOfFrameClearsGesturesAndFiresATap) {
    MultitouchDevice multitouch(false);
    multitouch.registerButtonNames();
    multitouch.values[5] = 1.0f;
    multitouch.pressed[5] = true;
    multitouch.tapTimer = -1.0f; // a tap came due
    multitouch.endFrame();
    EXPECT_EQ(multitouch.values[5], 0.0f);
    EXPECT_FALSE(multitouch.pressed[5]);
    // No finger at all: the tap reads as the right one.
    EXPECT_EQ(multitouch.values[MultitouchDevice::Right], 1.0f);
    EXPECT_TRUE(multitouch.pressed[MultitouchDevice::Right]);
    EXPECT_EQ(multitouch.tapTimer, 0.0f);
    multitouch.idleTime = 5.5f;
    multitouch.activeTouch = 2;
    multitouch.endFrame();
    EXPECT_EQ(multitouch.activeTouch, -1);
}

} // namespace
