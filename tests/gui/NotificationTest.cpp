// Notifications: the table's lookup by name, device and scheme, the element built from a
// record, its duration and dismissal rules, and the screen manager's queue (one moves at a
// time, pending dismissals, pop-ups off).
#include "GuiFixture.h"

#include "core/Globals.h"
#include "core/CoreSlots.h"
#include "gui/GUIElementFactory.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/GuiCommon.h"
#include "gui/hud/GUINotification.h"
#include "player/InputManager.h"
#include "player/PlayerControls.h"
#include "player/devices/GamepadDevice.h"
#include "player/devices/JoystickDevice.h"
#include "player/devices/KeyboardDevice.h"
#include "player/devices/MouseDevice.h"
#include "player/devices/TouchDevice.h"
#include "screens/ScreenManager.h"

#include <filesystem>

using namespace irr;

namespace {

class NotificationTest : public guitest::GuiFixture {
protected:
    void SetUp() override {
        guitest::GuiFixture::SetUp();
        // Layouts name the game's element classes.
        (new GUIElementFactory(environment))->drop();
        GUINotification::loadNotificationTable();
        screenManager->createScreens();
    }
    void TearDown() override {
        physicsManager = nullptr;
        coreSlots().physics.isSimulationActive = nullptr;
        guitest::GuiFixture::TearDown();
    }
    // The game runs: notifications move and time out.
    void runGame() {
        coreSlots().physics.isSimulationActive = [] { return true; };
        physicsManager = reinterpret_cast<PhysicsManager*>(this);
    }
    void runFrames(int frames, f32 seconds = 0.1f) {
        for (int i = 0; i < frames; ++i) {
            setFrameDelta(seconds);
            postRenderAll();
            screenManager->update();
        }
    }
    static std::string text(GUINotification* notification, s32 id) {
        auto* element = notification->getElementFromId(id, true);
        return element ? std::string(core::stringc(element->getText()).c_str()) : std::string("(none)");
    }
};

TEST_F(NotificationTest, FontSizesAndTextsOfTheTableAreBounded) {
    test::TempDir own;
    std::filesystem::create_directories(own.path() / "Content/Language/English");
    test::writeFileBytes(own.file(GUINotification::tablePath),
                         "<Notifications><Notification name=\"Edge\" device=\"Gamepad\" titleFont=\"T.ttf\" "
                         "textFont=\"B.ttf\" textureAnimPath=\"Pics/Wave.xml\" textureFPS=\"12\" scheme=\"2\" "
                         "x=\"5\" y=\"7\" width=\"40\" height=\"30\" titleFontSize=\"168\" textFontSize=\"169\" title=\"" +
                             std::string(2048, 'a') + "\" text=\"" + std::string(2049, 'b') +
                             "\"/><Notification name=\"Huge\" titleFontSize=\"20000\" text=\"" +
                             std::string(100000, 'c') + "\"/></Notifications>");
    {
        test::ScopedWorkingDir there(own.path());
        log.lines.clear();
        GUINotification::loadNotificationTable();
    }
    const std::vector<NotificationRecord> table = GUINotification::getTable();
    GUINotification::loadNotificationTable(); // the game's own table again
    ASSERT_EQ(table.size(), 3u);
    // Every attribute lands in its own field.
    EXPECT_EQ(table[1].name, "Edge");
    EXPECT_EQ(table[1].device, "Gamepad");
    EXPECT_EQ(table[1].titleFont, "T.ttf");
    EXPECT_EQ(table[1].textFont, "B.ttf");
    EXPECT_EQ(core::stringc(table[1].textureAnimPath.c_str()), "Pics/Wave.xml");
    EXPECT_EQ(table[1].textureFPS, 12);
    EXPECT_EQ(table[1].scheme, 2);
    EXPECT_EQ(table[1].picture, core::recti(5, 7, 45, 37));
    EXPECT_EQ(table[1].titleFontSize, 168);
    EXPECT_EQ(table[1].textFontSize, 168);
    EXPECT_EQ(table[1].title.size(), 2048u);
    EXPECT_EQ(table[1].text.size(), 2048u);
    EXPECT_EQ(table[2].titleFontSize, 168);
    EXPECT_EQ(table[2].text.size(), 2048u);
    EXPECT_TRUE(log.contains("Warning: Clamped 4 values (font sizes to 168, texts to 2048 characters) in"));
}

TEST_F(NotificationTest, TheRecordOfDeviceAndSchemeWinsWhereverItStands) {
    struct Case {
        const char* name;
        const char* device;
        s32 scheme;
        const char* expectedText;
    };
    const Case cases[] = {
        {"Grab", "Gamepad", 1, "Hold the left trigger to grab what is in reach."},
        {"Grab", "Gamepad", 0, "Hold the right trigger to grab what is in reach."},
        {"Grab", "Gamepad", 2, "Hold the left trigger to grab what is in reach."},
        {"Grab", "Mouse", 0, "Hold the left mouse button (or E) to grab what is in reach."},
        {"Grab", "Joystick", 0, "Hold the left mouse button (or E) to grab what is in reach."},
        {"NoSuchName", "Mouse", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.device) + " " + std::to_string(c.scheme));
        const NotificationRecord& record = GUINotification::findNotification(c.name, c.device, c.scheme);
        EXPECT_EQ(core::stringc(record.text).c_str(), std::string(c.expectedText));
    }
    EXPECT_TRUE(GUINotification::getTable().front().name.empty()) << "record 0 is the blank record";
}

TEST_F(NotificationTest, ARecordBuildsTheBlankLayoutWithItsTexts) {
    GUINotification* notification = screenManager->getNotificationByName("Pause");
    ASSERT_NE(notification, nullptr);
    EXPECT_FALSE(notification->isBuiltFromFile());
    EXPECT_EQ(text(notification, GUINotification::titleId), "Pause");
    EXPECT_EQ(text(notification, GUINotification::textId), "Press P to pause the game.");
    EXPECT_FALSE(notification->isVisible());
    EXPECT_EQ(notification->getAbsolutePosition().UpperLeftCorner, core::position2di(-10000, -10000));
    EXPECT_EQ(notification->getDuration(), -1.0f);
    // Looked up again, the same element answers.
    EXPECT_EQ(screenManager->getNotificationByName("Pause"), notification);
    EXPECT_EQ(screenManager->getNotificationLayer()->getChildren().size(), 1u);
}

// On a screen of 1080 lines (half again the 720 of the layout) the title grows to one and a
// half times its height and pushes the text down, the texts widen to 280 units, and the frame
// and the decoration widen with the screen, the decoration reaching 8 units below the text.
TEST_F(NotificationTest, OnATallerScreenTheBlankLayoutGrowsWithTheScreen) {
    const s32 before = screenHeight;
    screenHeight = 1080;
    GUINotification* notification = screenManager->getNotificationByName("Pause");
    ASSERT_NE(notification, nullptr);
    const auto rectOf = [&](s32 id) {
        gui::IGUIElement* element = notification->getElementFromId(id, true);
        return element ? element->getRelativePosition() : core::recti(-1, -1, -1, -1);
    };
    EXPECT_EQ(rectOf(GUINotification::titleId), core::recti(25, 16, 25 + 420, 16 + 48));
    const core::recti body = rectOf(GUINotification::textId);
    EXPECT_EQ(body.UpperLeftCorner, core::position2di(25, 52 + 16));
    EXPECT_EQ(body.LowerRightCorner.X, 25 + 420);
    EXPECT_GT(body.getHeight(), 0);
    // Both texts wrap and may reach beyond the notification.
    for (const s32 id : {GUINotification::titleId, GUINotification::textId}) {
        auto* element = static_cast<GUIFreeTypeText*>(notification->getElementFromId(id, true));
        ASSERT_NE(element, nullptr);
        EXPECT_TRUE(element->isNotClipped()) << id;
        EXPECT_TRUE(element->isWordWrapEnabled()) << id;
    }
    // The left edges stay where the layout has them.
    const core::recti decoration = rectOf(GUINotification::decorationId);
    EXPECT_EQ(decoration.UpperLeftCorner.Y, 14 + 16);
    EXPECT_EQ(decoration.LowerRightCorner, core::position2di(495, body.LowerRightCorner.Y + 12));
    const core::recti frame = rectOf(GUINotification::frameId);
    EXPECT_EQ(frame.UpperLeftCorner.Y, 0);
    EXPECT_EQ(frame.LowerRightCorner, core::position2di(495, 6));
    screenHeight = before;
}

// A notification speaks of the device the player used last: the pad, the joystick, the touch
// screen (for keys or the mouse too while in touch mode), else the mouse.
TEST_F(NotificationTest, TheDeviceSpokenOfIsThePlayersLast) {
    useInput();
    PlayerControls* controls = inputManager->getDefaultControls();
    ASSERT_NE(controls, nullptr);
    TouchDevice* touch = inputManager->getTouch();
    ASSERT_NE(touch, nullptr);
    const std::string touchName = touch->usesModeSwitching() ? "MultitouchSwitchModes" : "Multitouch";
    // The scheme is the one of the device spoken of (keys count as the mouse).
    controls->setDeviceScheme(inputManager->getGamepad(), 2);
    controls->setDeviceScheme(inputManager->getJoystick(), 3);
    controls->setDeviceScheme(inputManager->getMouse(), 1);
    controls->setDeviceScheme(touch, 4);
    const struct {
        InputDevice* last;
        bool touchMode;
        std::string device;
        s32 scheme;
    } rows[] = {{inputManager->getGamepad(), false, "Gamepad", 2},  {inputManager->getJoystick(), false, "Joystick", 3},
                {inputManager->getKeyboard(), false, "Mouse", 1},   {inputManager->getKeyboard(), true, touchName, 4},
                {inputManager->getMouse(), false, "Mouse", 1},      {touch, false, touchName, 4}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.device + (row.touchMode ? " in touch mode" : ""));
        controls->lastDevice = row.last;
        controls->touchMode = row.touchMode;
        std::string device;
        s32 scheme = -1;
        GUINotification::currentDevice(device, scheme);
        EXPECT_EQ(device, row.device);
        EXPECT_EQ(scheme, row.scheme);
    }
    controls->lastDevice = nullptr;
    controls->touchMode = false;
}

TEST_F(NotificationTest, DurationsBelowThreeSecondsBecomeThree) {
    GUINotification* notification = screenManager->getNotificationByName("Pause");
    for (const auto& [asked, kept] : {std::pair{2.5f, 3.0f}, {0.0f, 0.0f}, {3.0f, 3.0f}, {7.0f, 7.0f}}) {
        log.lines.clear();
        notification->setDuration(asked);
        EXPECT_EQ(notification->getDuration(), kept);
        EXPECT_EQ(log.contains("ERROR: Notification duration less than minimum, setting to 3."), asked != kept);
    }
}

TEST_F(NotificationTest, DismissalsEndAsTheirMomentAllows) {
    struct Case {
        f32 elapsed, duration;
        bool immediately;
        f32 newElapsed, newDuration;
    };
    for (const Case& c : {Case{0, 5, false, 101, 100}, Case{1, 5, false, 1, 4}, Case{5, 10, false, 10, 11},
                          Case{1, 5, true, 1, 1}, Case{1, 0, false, 1, 4}}) {
        SCOPED_TRACE(c.elapsed);
        GUINotification notification(environment, nullptr);
        notification.setTiming(c.duration, c.elapsed);
        notification.dismiss(c.immediately);
        EXPECT_EQ(notification.getElapsed(), c.newElapsed);
        EXPECT_EQ(notification.getDuration(), c.newDuration);
        EXPECT_TRUE(notification.isDismissed());
        notification.setTiming(5, 1);
        notification.dismiss(false);
        EXPECT_EQ(notification.getDuration(), 5.0f) << "only the first dismissal counts";
    }
}

TEST_F(NotificationTest, TheQueueMovesOneAtATimeAndDropsFinishedOnes) {
    runGame();
    GUINotification* first = screenManager->getNotificationByName("Pause");
    GUINotification* second = screenManager->getNotificationByName("Camera");
    screenManager->showNotification(first, 3.0f);
    screenManager->showNotification(second, 3.0f);
    screenManager->showNotification(first, 3.0f);
    ASSERT_EQ(screenManager->getActiveNotifications(), (std::vector<GUINotification*>{first, second}));
    runFrames(10);
    EXPECT_EQ(first->getAbsolutePosition().UpperLeftCorner.X, 0) << "slid in";
    EXPECT_EQ(second->getElapsed(), 0.0f) << "the second waits";
    EXPECT_EQ(soundCount(28), 1);
    runFrames(32);
    EXPECT_FALSE(first->isVisible());
    EXPECT_EQ(screenManager->getActiveNotifications(), (std::vector<GUINotification*>{second}));
    EXPECT_GT(second->getElapsed(), 0.0f);
}

// The leaving sound plays once, on the frame that takes the notification into its last second.
TEST_F(NotificationTest, TheLeavingSoundPlaysOnceAsTheLastSecondBegins) {
    runGame();
    GUINotification* notification = screenManager->getNotificationByName("Pause");
    screenManager->showNotification(notification, 3.0f);
    ASSERT_EQ(screenManager->getActiveNotifications(), (std::vector<GUINotification*>{notification}));
    notification->setTiming(3.0f, 1.5f);
    runFrames(1, 0.5f);
    EXPECT_EQ(soundCount(29), 0) << "two seconds in, still in full view";
    runFrames(1, 0.5f);
    EXPECT_EQ(soundCount(29), 1);
    const s32 width = notification->getRelativePosition().getWidth();
    EXPECT_EQ(notification->getRelativePosition().UpperLeftCorner.X, -width / 2) << "half-way out";
    runFrames(1, 0.25f);
    EXPECT_EQ(soundCount(29), 1);
    // Past its duration it stays out of view until the queue lets it go.
    runFrames(1, 0.5f);
    ASSERT_EQ(screenManager->getActiveNotifications(), (std::vector<GUINotification*>{notification}));
    EXPECT_EQ(notification->getRelativePosition().UpperLeftCorner.X, -width);
}

TEST_F(NotificationTest, ADismissalBeforeTheNotificationWaitsForIt) {
    runGame();
    screenManager->dismissNotification("Grab", false);
    EXPECT_EQ(screenManager->getPendingDismissals(), (std::vector<std::string>{"Grab"}));
    GUINotification* grab = screenManager->getNotificationByName("Grab");
    screenManager->showNotification(grab, 0.0f);
    runFrames(15);
    EXPECT_TRUE(grab->isDismissed());
    EXPECT_TRUE(screenManager->getPendingDismissals().empty());
    runFrames(40);
    EXPECT_TRUE(screenManager->getActiveNotifications().empty()) << "a notification until dismissed ends once dismissed";
    // A dismissed notification is not shown again.
    screenManager->showNotification(grab, 5.0f);
    EXPECT_TRUE(screenManager->getActiveNotifications().empty());
}

TEST_F(NotificationTest, WithPopUpsOffNothingQueuesButLookupsWork) {
    screenManager->EnablePopups = false;
    GUINotification* notification = screenManager->getNotificationByName("Pause");
    ASSERT_NE(notification, nullptr);
    screenManager->showNotification(notification, 5.0f);
    EXPECT_TRUE(screenManager->getActiveNotifications().empty());
}

TEST_F(NotificationTest, ALevelUnloadTakesEveryNotificationAlong) {
    screenManager->showNotification(screenManager->getNotificationByName("Pause"), 5.0f);
    screenManager->resetNotifications();
    EXPECT_TRUE(screenManager->getNotificationLayer()->getChildren().empty());
    EXPECT_TRUE(screenManager->getActiveNotifications().empty());
    EXPECT_NE(screenManager->getNotificationByName("Pause"), nullptr) << "the next lookup makes a fresh one";
}

// A notification reads its texts again when the player's device changes, for the device
// changed to and for the one changed back to.
TEST_F(NotificationTest, ANotificationFollowsTheDeviceChange) {
    useInput();
    PlayerControls* controls = inputManager->getDefaultControls();
    ASSERT_NE(controls, nullptr);
    controls->setDeviceScheme(inputManager->getGamepad(), 1);
    controls->setDeviceScheme(inputManager->getMouse(), 0);
    controls->touchMode = false;
    controls->lastDevice = inputManager->getMouse();
    GUINotification* notification = screenManager->getNotificationByName("Grab");
    ASSERT_NE(notification, nullptr);
    const struct {
        InputDevice* device;
        const char* text;
    } rows[] = {{inputManager->getGamepad(), "Hold the left trigger to grab what is in reach."},
                {inputManager->getMouse(), "Hold the left mouse button (or E) to grab what is in reach."}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        controls->lastDevice = row.device;
        inputManager->deviceChanged.invoke();
        EXPECT_EQ(text(notification, GUINotification::textId), row.text);
    }
    controls->lastDevice = nullptr;
}

} // namespace
