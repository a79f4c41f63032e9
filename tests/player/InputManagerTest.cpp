#include "InputTestSupport.h"

#include <string>

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/LanguageManager.h"
#include "core/Log.h"
#include "core/LogManager.h"
#include "core/RepeatedLog.h"
#include "player/GameActions.h"
#include "player/PlayerControls.h"
#include "player/devices/GamepadDevice.h"
#include "player/devices/JoystickDevice.h"
#include "player/devices/KeyboardDevice.h"
#include "player/devices/MouseDevice.h"
#include "player/devices/VibrationController.h"
#include "player/PlayerHooks.h"
#include "player/InputRegistration.h"
#include "level/LevelHooks.h"

#include <filesystem>

namespace {

using test::InputTest;

class InputManagerTest : public InputTest {
protected:
    void SetUp() override {
        InputTest::SetUp();
        startInput();
    }
    // A key tapped in one frame: down, update, end of frame, up.
    void tap(irr::EKEY_CODE key) {
        keyEvent(key, true);
        frame();
        keyEvent(key, false);
    }
};

TEST_F(InputManagerTest, DevicesAreCreatedInOrderAndPaired) {
    std::vector<std::wstring> names;
    for (InputDevice* device : InputDevice::deviceList())
        names.push_back(device->getName());
    const std::vector<std::wstring> expected = {L"Mouse",    L"Keyboard",    L"Touch", L"Gamepad",
                                                L"Joystick", L"LMultitouch", L"Move",  L"Leap"};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(input->getKeyboard()->getPairedDevice(), input->getMouse());
    EXPECT_EQ(input->getMouse()->getPairedDevice(), input->getKeyboard());
    EXPECT_EQ(device->get()->getEventReceiver(), input.get());
}

TEST_F(InputManagerTest, KeyStatesThroughTheEngineReceiver) {
    KeyboardDevice* keyboard = input->getKeyboard();
    keyEvent(irr::KEY_KEY_A, true);
    EXPECT_EQ(keyboard->keyState(irr::KEY_KEY_A), InputState::Pressed);
    input->update();
    // After the update the frame's events are closed.
    keyEvent(irr::KEY_KEY_B, true);
    EXPECT_EQ(keyboard->keyState(irr::KEY_KEY_B), InputState::Up);
    input->endFrame();
    EXPECT_EQ(keyboard->keyState(irr::KEY_KEY_A), InputState::Down);
    keyEvent(irr::KEY_KEY_A, false);
    EXPECT_EQ(keyboard->keyState(irr::KEY_KEY_A), InputState::Released);
    frame();
    EXPECT_EQ(keyboard->keyState(irr::KEY_KEY_A), InputState::Up);
}

TEST_F(InputManagerTest, PlayerControlsTable) {
    EXPECT_EQ(input->getPlayerControlsCount(0), 1);
    EXPECT_EQ(input->getPlayerControlsCount(5), 1);
    EXPECT_EQ(input->getPlayerControls(5, 0), input->getDefaultControls());
    EXPECT_EQ(input->getPlayerControls(0, 3), input->getDefaultControls());
    EXPECT_NE(input->getPlayerControls(0, 0), input->getDefaultControls());
    EXPECT_EQ(input->getTotalPlayerControlsCount(), 1);
    // Role 1 is off by default; the default controls answer no role at all.
    EXPECT_EQ(input->findPlayerControlsUsingDevice(0, 0), 0);
    EXPECT_EQ(input->findPlayerControlsUsingDevice(0, 1), -1);
    EXPECT_EQ(input->findPlayerControlsUsingDevice(0, 4), -1);
    EXPECT_EQ(input->findPlayerControlsUsingDevice(2, 0), -1);
    // The last role is one of the four too.
    input->getPlayerControls(0, 0)->setRole(3, true);
    EXPECT_EQ(input->findPlayerControlsUsingDevice(0, 3), 0);
    input->getPlayerControls(0, 0)->setRole(3, false);
    EXPECT_EQ(input->getFirstPlayerControlsUsingDevice(2), input->getPlayerControls(0, 0));
    EXPECT_EQ(input->getFirstPlayerControlsUsingDevice(1), nullptr);
    for (int role = 0; role < 4; ++role)
        EXPECT_FALSE(input->getDefaultControls()->usesRole(role));
    input->addPlayerControls(new PlayerControls(input.get(), 2, 0, 1, input->getGamepad()), 2);
    EXPECT_EQ(input->getPlayerControlsCount(1), 0);
    EXPECT_EQ(input->getPlayerControlsCount(2), 1);
    EXPECT_EQ(input->getTotalPlayerControlsCount(), 2);
}

TEST_F(InputManagerTest, ActiveControlsAreTheFirstPlayersFirstSetElseTheDefaults) {
    EXPECT_EQ(input->getActiveControls(), input->getPlayerControls(0, 0));
    InputManager bare;
    EXPECT_EQ(bare.getActiveControls(), nullptr);
    bare.addPlayerControls(new PlayerControls(input.get(), 1, 0, 0, nullptr), 1);
    EXPECT_EQ(bare.getActiveControls(), nullptr) << "the second player's controls are not active";
}

TEST_F(InputManagerTest, TouchModeSwitchesWithTouchesKeysAndClicks) {
    PlayerControls* controls = input->getActiveControls();
    TouchData touch;
    touch.flags = touchWentDown;
    input->injectTouch(touch);
    EXPECT_TRUE(controls->touchMode);
    EXPECT_FALSE(input->getMouse()->mouseModeActive);
    mouseEvent(irr::EMIE_LMOUSE_PRESSED_DOWN, irr::EMBSM_LEFT);
    EXPECT_TRUE(controls->touchMode); // a left click does not count
    mouseEvent(irr::EMIE_RMOUSE_PRESSED_DOWN, irr::EMBSM_RIGHT);
    EXPECT_FALSE(controls->touchMode);
    EXPECT_TRUE(input->getMouse()->mouseModeActive);
    input->injectTouch(touch);
    keyEvent(irr::KEY_KEY_Z, true);
    EXPECT_FALSE(controls->touchMode);
}

TEST_F(InputManagerTest, DeviceChangeMessageStartsTheJoystickRescan) {
    EXPECT_LT(input->getJoystick()->rescanTimer, 0.0f);
    input->injectSystemMessage(deviceChangeMessage);
    EXPECT_EQ(input->getJoystick()->rescanTimer, 0.0f);
    for (int i = 0; i < 60; ++i)
        frame();
    EXPECT_GT(input->getJoystick()->rescanTimer, 1.0f);
    frame();
    EXPECT_LT(input->getJoystick()->rescanTimer, 0.0f);
    // A pad plugged in is reported as the same message.
    pads->setConnected(2, true);
    frame();
    EXPECT_GE(input->getJoystick()->rescanTimer, 0.0f);
}

TEST_F(InputManagerTest, LogTextGoesToTheLogFileAndEscapedToTheTerminal) {
    LogManager log(dir.file("log.txt"));
    logManager = &log;
    irr::SEvent event;
    event.EventType = irr::EET_LOG_TEXT_EVENT;
    event.LogEvent.Text = "Engine says \x1b[2Jhello";
    event.LogEvent.Level = irr::ELL_INFORMATION;
    testing::internal::CaptureStdout();
    const bool handled = input->OnEvent(event);
    const std::string printed = testing::internal::GetCapturedStdout();
    logManager = nullptr;
    EXPECT_TRUE(handled) << "the engine must not print it raw";
    EXPECT_EQ(printed, "Engine says \\x1B[2Jhello\n");
    EXPECT_NE(test::readFileBytes(dir.file("log.txt")).find("Engine says \\x1B[2Jhello"), std::string::npos);
}

// The engine's own errors and warnings count among the log's error lines like the game's.
TEST_F(InputManagerTest, EngineLinesCarryThePrefixOfTheirLevel) {
    LogManager log(dir.file("log.txt"));
    logManager = &log;
    irr::ILogger* logger = device->get()->getLogger();
    const irr::ELOG_LEVEL before = logger->getLogLevel();
    logger->setLogLevel(irr::ELL_DEBUG);
    logger->log("Unable to load font", irr::ELL_ERROR);
    logger->log("Could not open file of texture", "Missing.png", irr::ELL_WARNING);
    logger->log("Loaded mesh", irr::ELL_INFORMATION);
    logger->log("Debug text", irr::ELL_DEBUG);
    logger->log("ERROR: Already marked", irr::ELL_ERROR);
    logger->log("Warning: Already marked", irr::ELL_ERROR);
    logger->log("Error: Need running XServer", irr::ELL_ERROR);
    logger->setLogLevel(before);
    logManager = nullptr;
    const std::string text = test::readFileBytes(dir.file("log.txt"));
    for (const char* line : {" ERROR: Unable to load font\r", " Warning: Could not open file of texture: Missing.png\r",
                             " Loaded mesh\r", " Debug text\r", " ERROR: Already marked\r", " Warning: Already marked\r",
                             "] ERROR: Need running XServer\r"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
}

// A missing texture asked for by every object that names it, a render target the driver
// cannot make asked for every frame: the engine's line once, then its count; the game's own
// repeatable lines are counted by their call, not a second time here.
TEST_F(InputManagerTest, RepeatedEngineLinesAreWrittenOnceAndCounted) {
    takeEarlyLogLines(); // the input manager's start
    LogManager log(dir.file("log.txt"));
    logManager = &log;
    gameDevice = device->get();
    irr::ILogger* logger = device->get()->getLogger();
    const irr::ELOG_LEVEL before = logger->getLogLevel();
    logger->setLogLevel(irr::ELL_INFORMATION);
    for (int i = 0; i < 3; ++i) {
        logger->log("Could not open file of texture", "Missing.png", irr::ELL_WARNING);
        logger->log("FBO incomplete", irr::ELL_INFORMATION);
        logRepeatable("Warning: Own line", irr::ELL_WARNING);
    }
    endRepeatedLogRound();
    logger->setLogLevel(before);
    gameDevice = nullptr;
    logManager = nullptr;
    // The lines after the header, without their time.
    std::vector<std::string> lines;
    const std::string text = test::readFileBytes(dir.file("log.txt"));
    for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        if (const std::size_t time = text.find("] ", start); text[start] == '[' && time < end)
            lines.push_back(text.substr(time + 2, end - time - 2));
    const std::string texture = "Warning: Could not open file of texture: Missing.png";
    const std::vector<std::string> expected = {texture,
                                               "FBO incomplete",
                                               "Warning: Own line",
                                               "Repeated 2 more times: " + texture,
                                               "Repeated 2 more times: FBO incomplete",
                                               "Repeated 2 more times: Warning: Own line"};
    EXPECT_EQ(lines, expected);
}

TEST_F(InputManagerTest, DeviceChangedEventFollowsTheLastDevice) {
    int changes = 0;
    struct Counter {
        int* count;
        void hit() { ++*count; }
    } counter{&changes};
    input->deviceChanged.addMember(&counter, &Counter::hit);
    PlayerControls* controls = input->getActiveControls();
    ASSERT_EQ(input->getLastDevice(), nullptr);

    // The first device seen after start is no change.
    controls->lastDevice = input->getKeyboard();
    frame();
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(input->getLastDevice(), input->getKeyboard());
    // Keyboard and mouse with the same scheme are one couple.
    controls->lastDevice = input->getMouse();
    frame();
    EXPECT_EQ(changes, 0);
    controls->lastDevice = input->getGamepad();
    frame();
    EXPECT_EQ(changes, 1);
    // Another scheme on the same device is a change too.
    controls->setDeviceScheme(input->getGamepad(), 2);
    frame();
    EXPECT_EQ(changes, 2);
    // Nothing is checked while a menu is open.
    menuOpen = true;
    controls->lastDevice = input->getKeyboard();
    frame();
    EXPECT_EQ(changes, 2);
}

TEST_F(InputManagerTest, VibrationReachesConnectedPadsOfPlayerZero) {
    pads->setConnected(0, true);
    input->getGamepad()->enumerate();
    input->getVibration()->enabled = true;
    input->addVibration(1.0f, 0.5f);
    input->update();
    EXPECT_EQ(pads->leftMotor(0), 45874);
    EXPECT_EQ(pads->rightMotor(0), 22937);
    input->endFrame();
    input->addRumble(0.5f, 0.5f, 0.2f, 0.0f);
    EXPECT_EQ(input->getVibration()->effects().size(), 1u);
    frame();
    EXPECT_EQ(pads->leftMotor(0), motorSpeed(0.5f * 0.7f));
    // No pad: nothing is queued.
    pads->setConnected(0, false);
    frame();
    const std::size_t effects = input->getVibration()->effects().size();
    input->addRumble(1.0f, 1.0f, 1.0f, 0.0f);
    EXPECT_EQ(input->getVibration()->effects().size(), effects);
}

TEST_F(InputManagerTest, TheMouseIsInUseWhileKeyboardOrMouseWasUsedLast) {
    PlayerControls* controls = input->getActiveControls();
    const struct Row {
        InputDevice* last;
        bool inUse;
    } rows[] = {{input->getKeyboard(), true}, {input->getGamepad(), false}, {input->getMouse(), true}};
    for (const Row& row : rows) {
        controls->lastDevice = row.last;
        frame();
        EXPECT_EQ(input->getMouse()->inUse, row.inUse) << row.last->getNameA();
    }
}

// While the game runs with the mouse in use, the GUI is told of the game's own cursor when it
// moves (a resting cursor is told once: a row that comes under it does not take the focus);
// otherwise the GUI hears only the engine's events.
TEST_F(InputManagerTest, TheGuiFollowsTheGameCursorWhileTheMouseIsInUseInARunningGame) {
    struct MoveRecorder : irr::gui::IGUIElement {
        explicit MoveRecorder(irr::gui::IGUIEnvironment* environment)
            : irr::gui::IGUIElement(irr::gui::EGUIET_ELEMENT, environment, environment->getRootGUIElement(), -1,
                                    irr::core::recti(0, 0, 2000, 2000)) {}
        bool OnEvent(const irr::SEvent& event) override {
            if (event.EventType == irr::EET_MOUSE_INPUT_EVENT && event.MouseInput.Event == irr::EMIE_MOUSE_MOVED)
                moves.emplace_back(event.MouseInput.X, event.MouseInput.Y);
            return true;
        }
        std::vector<irr::core::position2di> moves;
    };
    irr::gui::IGUIEnvironment* gui = device->get()->getGUIEnvironment();
    auto* recorder = new MoveRecorder(gui);
    recorder->drop();
    gui->setFocus(recorder);
    // In a menu over the running game.
    inputAllowed = false;
    const struct {
        bool running;
        InputDevice* last;
        irr::s32 x;
        bool told;
    } rows[] = {{true, input->getMouse(), 123, true},  {true, input->getMouse(), 123, false},
                {true, input->getMouse(), 124, true},  {false, input->getMouse(), 125, false},
                {true, input->getKeyboard(), 125, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.last->getNameA() + (row.running ? " running at " : " stopped at ") + std::to_string(row.x));
        simulation = row.running;
        input->getActiveControls()->lastDevice = row.last;
        device->get()->getCursorControl()->setPosition(row.x, 45);
        recorder->moves.clear();
        input->update();
        const irr::core::position2di cursor(input->getMouse()->systemMouse().x, input->getMouse()->systemMouse().y);
        EXPECT_EQ(cursor, irr::core::position2di(row.x, 45));
        EXPECT_EQ(recorder->moves,
                  row.told ? std::vector<irr::core::position2di>{cursor} : std::vector<irr::core::position2di>{});
        input->endFrame();
    }
    recorder->remove();
}

TEST_F(InputManagerTest, OnlyMouseKeyAndJoystickEventsReachTheDevices) {
    irr::SEvent event{};
    event.EventType = irr::EET_GUI_EVENT;
    EXPECT_FALSE(input->OnEvent(event));
    event.EventType = irr::EET_USER_EVENT;
    EXPECT_FALSE(input->OnEvent(event));
    // A GUI or joystick event leaves touch mode as it is.
    input->getActiveControls()->touchMode = true;
    event.EventType = irr::EET_GUI_EVENT;
    input->OnEvent(event);
    EXPECT_TRUE(input->getActiveControls()->touchMode);
    event.EventType = irr::EET_JOYSTICK_INPUT_EVENT;
    EXPECT_FALSE(input->OnEvent(event));
    EXPECT_TRUE(input->getActiveControls()->touchMode);
}

TEST_F(InputManagerTest, DeviceNamesComeFromTheLanguageTable) {
    // A language whose table names the pads and the keyboard, and leaves the joystick out.
    std::filesystem::create_directories(dir.path() / "Content" / "Language" / "Test");
    ASSERT_TRUE(test::writeFileBytes(dir.file("Content/Language/Languages.xml"),
                                     "<?xml version=\"1.0\"?>\n<Languages><Language name=\"Test\" folder=\"Test\"/></Languages>\n"));
    ASSERT_TRUE(test::writeFileBytes(dir.file("Content/Language/Test/StringLiterals.xml"),
                                     "<?xml version=\"1.0\"?>\n<StringLiterals>"
                                     "<String id=\"65\" text=\"Tastatur\"/><String id=\"250\" text=\"Manette\"/>"
                                     "<String id=\"251\" text=\"Pad\"/></StringLiterals>\n"));
    test::captureLog([&]() {
        LanguageManager language(device->get());
        languageManager = &language;
        EXPECT_EQ(input->getKeyboard()->getDisplayName(), L"Tastatur");
        EXPECT_EQ(input->getGamepad()->getDisplayName(), L"Manette");
        EXPECT_EQ(input->getGamepad()->getAlternateDisplayName(), L"Pad");
        EXPECT_EQ(input->getJoystick()->getDisplayName(), L"#252") << "a text the table lacks shows its number";
        languageManager = nullptr;
    });
    EXPECT_EQ(input->getGamepad()->getDisplayName(), L"Gamepad") << "without a language table: the name";
}

TEST_F(InputManagerTest, InitTakesItsSwitchesFromTheSettings) {
    GameSettings settings(dir.file("settings.xml"));
    settings.load(true);
    gameSettings = &settings;
    for (const bool on : {true, false}) {
        setSettingBool("Gamepad_Vibration", on);
        setSettingBool("Joystick_IgnoreInput", on);
        setSettingBool("Game_NoSwitchMode", on);
        stopInput();
        startInput();
        EXPECT_EQ(input->getVibration()->enabled, on) << on;
        EXPECT_EQ(joystickIgnoreInput, on) << on;
        EXPECT_EQ(input->isNoSwitchMode(), on) << on;
    }
    gameSettings = nullptr;
    joystickIgnoreInput = false;
}

TEST_F(InputManagerTest, AFullSuspicionMeterRumblesBothMotors) {
    registerInputSubsystem();
    ASSERT_TRUE(levelHooks().input.gameOverRumble);
    levelHooks().input.gameOverRumble(); // no input manager: nothing
    pads->setConnected(0, true);
    input->getGamepad()->enumerate();
    inputManager = input.get();
    levelHooks().input.gameOverRumble();
    inputManager = nullptr;
    ASSERT_EQ(input->getVibration()->effects().size(), 1u);
    const VibrationController::RumbleEffect& effect = input->getVibration()->effects()[0];
    EXPECT_EQ(effect.startLeft, 1.0f);
    EXPECT_EQ(effect.startRight, 1.0f);
    EXPECT_EQ(effect.duration, 0.2f);
    EXPECT_EQ(effect.delay, 0.0f);
    resetLevelHooks();
}

TEST_F(InputManagerTest, GamepadBindingsAnswerThroughTheControls) {
    pads->setConnected(0, true);
    input->getGamepad()->enumerate();
    PlayerControls* controls = input->getActiveControls();
    pads->setButtons(0, platform::padButton::start);
    pads->setSticks(0, 0, 32767, 0, 0);
    pads->setTriggers(0, 0, 200);
    input->update();
    EXPECT_TRUE(controls->wasActionPressed(GameAction::PauseGame));
    EXPECT_NEAR(controls->getActionValue(GameAction::LeftFootMoveForward), 1.0f, 1e-3f);
    EXPECT_EQ(controls->getActionValue(GameAction::LeftFootMoveBack), 0.0f);
    EXPECT_EQ(controls->getActionValue(GameAction::GrabObject), 1.0f);
    EXPECT_EQ(controls->lastDevice, input->getGamepad());
    input->endFrame();
    // A pulled pad no longer counts, even though its last state is kept.
    pads->setConnected(0, false);
    input->update();
    EXPECT_EQ(controls->getActionValue(GameAction::GrabObject), 0.0f);
}

} // namespace
