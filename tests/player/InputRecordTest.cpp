// Every input device of the game driven frame by frame through the real input manager, with
// the default mappings and with a player's remapping file, and what the game read from it
// recorded: each game action's value and press per frame, the player controls' queries, the
// menu keys sent and the device's own state. The records are in tests/player/records/input/.
#include "InputTestSupport.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/Utf8.h"
#include "platform/FakePadBackend.h"
#include "player/GameActions.h"
#include "player/InputDevice.h"
#include "player/InputManager.h"
#include "player/PlayerControls.h"
#include "player/devices/EvdevMouseDriver.h"
#include "player/devices/GamepadDevice.h"
#include "player/devices/JoystickDevice.h"
#include "player/devices/KeyboardDevice.h"
#include "player/devices/MouseDevice.h"
#include "player/devices/TouchDevice.h"
#include "player/devices/VibrationController.h"
#include "support/RecordedResult.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

#ifdef PADDLESTONE_TEST_SDL2
#include <SDL.h>
#endif

namespace {

// The kernel's input event as the event devices deliver it (the kernel's own header would
// clash with the engine's key names).
struct KernelEvent {
    timeval time;
    std::uint16_t type;
    std::uint16_t code;
    std::int32_t value;
};
static_assert(sizeof(KernelEvent) == 24);
constexpr std::uint16_t kernelSync = 0, kernelKey = 1, kernelRelative = 2;
constexpr std::uint16_t relX = 0, relY = 1, relWheel = 8;
constexpr std::uint16_t buttonLeft = 0x110, buttonRight = 0x111, buttonMiddle = 0x112;

std::string number(double value) {
    if (value == 0.0)
        return "0"; // no "-0"
    char text[32];
    std::snprintf(text, sizeof(text), "%.4g", value);
    return text;
}

// Names as single words.
std::string word(std::string text) {
    std::replace(text.begin(), text.end(), ' ', '_');
    return text.empty() ? "-" : text;
}

std::string deviceWord(const InputDevice* device) { return device ? word(device->getNameA()) : "none"; }

// The player's own file: bindings moved to other inputs of every device, names in other
// letter cases, an input by number, multipliers, a scheme, entries the game must skip (an
// unknown input, device and action), an action whose only entry is unknown (it keeps its
// defaults) and many actions left unbound.
constexpr const char* remappedFile = R"(<?xml version="1.0"?>
<InputMapping>
<ButtonMapping actionName="Grab Object" deviceName="Keyboard" buttonName="KEY_SPACE"/>
<ButtonMapping actionName="grab object" deviceName="mouse" buttonName="mouse_right"/>
<ButtonMapping actionName="Grab Object" deviceName="Gamepad" buttonName="GAMEPAD_LEFT_SHOULDER"/>
<ButtonMapping actionName="Grab Object" deviceName="Joystick" buttonName="BUTTON_0"/>
<ButtonMapping actionName="Drop Object" deviceName="Keyboard" buttonIndex="71"/>
<ButtonMapping actionName="Drop Object" deviceName="Joystick" buttonIndex="3"/>
<ButtonMapping actionName="Limp" deviceName="Keyboard" buttonName="KEY_NO_SUCH_KEY"/>
<ButtonMapping actionName="Mode Switch" deviceName="Mouse" buttonName="MOUSE_MIDDLE_HOLD"/>
<ButtonMapping actionName="Mode Switch" deviceName="Joystick" buttonName="JOYSTICK_DPAD_UP"/>
<ButtonMapping actionName="Mode Switch" deviceName="Gamepad" buttonName="GAMEPAD_RIGHT_THUMB"/>
<ButtonMapping actionName="Pause Game" deviceName="Keyboard" buttonName="KEY_KEY_P"/>
<ButtonMapping actionName="Pause Game" deviceName="Joystick" buttonName="BUTTON_7"/>
<ButtonMapping actionName="Pause Game" deviceName="Gamepad" buttonName="GAMEPAD_BACK"/>
<ButtonMapping actionName="Skip Cutscene" deviceName="Keyboard" buttonName="KEY_ESCAPE"/>
<ButtonMapping actionName="Skip Cutscene" deviceName="Gamepad" buttonName="GAMEPAD_B"/>
<ButtonMapping actionName="Skip Cutscene" deviceName="Joystick" buttonName="BUTTON_1"/>
<ButtonMapping actionName="Left Foot Raise" deviceName="Gamepad" buttonName="GAMEPAD_LEFT_TRIGGER"/>
<ButtonMapping actionName="Left Foot Raise" deviceName="Joystick" buttonName="JOYSTICK_AXIS_Z_POS"/>
<ButtonMapping actionName="Left Foot Raise" deviceName="Keyboard" buttonName="KEY_KEY_U"/>
<ButtonMapping actionName="Left Foot Move Left" deviceName="Keyboard" buttonName="KEY_KEY_J"/>
<ButtonMapping actionName="Left Foot Move Left" deviceName="Gamepad" buttonName="GAMEPAD_STICK_RX_NEG"/>
<ButtonMapping actionName="Left Foot Move Left" deviceName="Joystick" buttonName="JOYSTICK_AXIS_X_NEG"/>
<ButtonMapping actionName="Left Foot Move Right" deviceName="Keyboard" buttonName="KEY_KEY_L"/>
<ButtonMapping actionName="Left Foot Move Right" deviceName="Gamepad" buttonName="GAMEPAD_STICK_RX_POS"/>
<ButtonMapping actionName="Left Foot Move Right" deviceName="Joystick" buttonName="JOYSTICK_AXIS_X_POS"/>
<ButtonMapping actionName="Left Foot Move Forward" deviceName="Keyboard" buttonName="KEY_KEY_I"/>
<ButtonMapping actionName="Left Foot Move Forward" deviceName="Gamepad" buttonName="GAMEPAD_STICK_RY_POS"/>
<ButtonMapping actionName="Left Foot Move Forward" deviceName="Joystick" buttonName="JOYSTICK_AXIS_Y_NEG"/>
<ButtonMapping actionName="Left Foot Move Back" deviceName="Keyboard" buttonName="KEY_KEY_K"/>
<ButtonMapping actionName="Left Foot Move Back" deviceName="Gamepad" buttonName="GAMEPAD_STICK_RY_NEG"/>
<ButtonMapping actionName="Left Foot Move Back" deviceName="Joystick" buttonName="JOYSTICK_AXIS_Y_POS"/>
<ButtonMapping actionName="Right Foot Raise" deviceName="Mouse" buttonName="MOUSE_LEFT"/>
<ButtonMapping actionName="Right Foot Raise" deviceName="Gamepad" buttonName="GAMEPAD_RIGHT_TRIGGER"/>
<ButtonMapping actionName="Right Foot Move Left" deviceName="Mouse" buttonName="MOUSE_X_NEG" multiplier="0.5"/>
<ButtonMapping actionName="Right Foot Move Right" deviceName="Mouse" buttonName="MOUSE_X_POS" multiplier="0.5"/>
<ButtonMapping actionName="Right Foot Move Forward" deviceName="Mouse" buttonName="MOUSE_Y" multiplier="-2"/>
<ButtonMapping actionName="Right Arm Move Left" deviceName="Gamepad" buttonName="GAMEPAD_STICK_LX_NEG"/>
<ButtonMapping actionName="Right Arm Move Left" deviceName="Joystick" buttonName="JOYSTICK_DPAD_LEFT"/>
<ButtonMapping actionName="Right Arm Move Left" deviceName="Keyboard" buttonName="KEY_LEFT"/>
<ButtonMapping actionName="Right Arm Move Right" deviceName="Gamepad" buttonName="GAMEPAD_STICK_LX_POS"/>
<ButtonMapping actionName="Right Arm Move Right" deviceName="Joystick" buttonName="JOYSTICK_DPAD_RIGHT"/>
<ButtonMapping actionName="Right Arm Move Right" deviceName="Keyboard" buttonName="KEY_RIGHT"/>
<ButtonMapping actionName="Right Arm Move Forward" deviceName="Gamepad" buttonName="GAMEPAD_STICK_LY_POS"/>
<ButtonMapping actionName="Right Arm Move Back" deviceName="Gamepad" buttonName="GAMEPAD_STICK_LY_NEG"/>
<ButtonMapping actionName="Right Arm Move Up" deviceName="Mouse" buttonName="MOUSE_WHEEL"/>
<ButtonMapping actionName="Right Arm Move Down" deviceName="Mouse" buttonName="MOUSE_WHEEL" multiplier="-1"/>
<ButtonMapping actionName="Right Arm Vertical Swap" deviceName="Mouse" buttonName="MOUSE_WHEEL_SMOOTHED"/>
<ButtonMapping actionName="Camera Left" deviceName="Gamepad" buttonName="GAMEPAD_STICK_RX" schemeIndex="1"/>
<ButtonMapping actionName="Camera Up" deviceName="Joystick" buttonName="JOYSTICK_AXIS_R"/>
<ButtonMapping actionName="Camera Down" deviceName="Joystick" buttonName="JOYSTICK_AXIS_Z"/>
<ButtonMapping actionName="Camera Zoom In" deviceName="Keyboard" buttonName="KEY_PLUS"/>
<ButtonMapping actionName="Camera Zoom Out" deviceName="Keyboard" buttonName="KEY_MINUS"/>
<ButtonMapping actionName="Left Arm Move Up" deviceName="Mouse" buttonName="MOUSE_Y_NEG"/>
<ButtonMapping actionName="Left Arm Move Down" deviceName="Mouse" buttonName="MOUSE_Y_POS"/>
<ButtonMapping actionName="Left Grab Object" deviceName="Gamepad" buttonName="GAMEPAD_A"/>
<ButtonMapping actionName="Left Grab Object" deviceName="NoSuchDevice" buttonName="X"/>
<ButtonMapping actionName="Left Grab Object" deviceName="Keyboard" buttonName="KEY_KEY_O"/>
<ButtonMapping actionName="Menu Up" deviceName="Mouse" buttonName="MOUSE_WHEEL"/>
<ButtonMapping actionName="Menu Confirm" deviceName="Joystick" buttonName="BUTTON_2"/>
<ButtonMapping actionName="Menu Confirm" deviceName="Mouse" buttonName="MOUSE_LEFT"/>
<ButtonMapping actionName="Menu Back" deviceName="Joystick" buttonName="BUTTON_4"/>
<ButtonMapping actionName="Menu Back" deviceName="Gamepad" buttonName="GAMEPAD_Y"/>
<ButtonMapping actionName="No Such Action" deviceName="Keyboard" buttonName="KEY_KEY_A"/>
</InputMapping>
)";

// How the game stands while a step of a script runs.
struct Mode {
    bool simulation = true;
    bool inputAllowed = true;
    bool suspended = false; // a cutscene
    bool menuOpen = false;
};
constexpr Mode playing{};
constexpr Mode cutscene{true, true, true, false};
constexpr Mode inMenu{false, false, false, true};
constexpr Mode pauseMenu{true, false, false, true};

// A stretch of the script: feed(f) gives the events before frame f of the step.
struct Step {
    const char* label;
    int frames;
    Mode mode;
    std::function<void(int)> feed;
};

class InputRecordTest : public test::InputTest {
protected:
    void SetUp() override {
        // The default settings (sensitivities, vibration on); made before the engine device,
        // which takes over the engine's logger.
        settings = std::make_unique<GameSettings>((dir.path() / "PaddlestoneConfig.xml").string());
        settings->load(true);
        gameSettings = settings.get();
        InputTest::SetUp();
        // The several-mice driver reads a folder of the test's own: the machine's input
        // devices never take part.
        evdevMice::resetForTests();
        std::filesystem::create_directories(miceFolder());
        evdevMice::setInputFolder(miceFolder());
        test::probePipesAsMice();
    }
    void TearDown() override {
        InputTest::TearDown();
        for (int fd : writers)
            close(fd);
        platform::setMultiMouseDrivers({});
        evdevMice::resetForTests();
        gameSettings = nullptr;
        settings.reset();
    }

    std::string miceFolder() const { return (dir.path() / "mice").string(); }

    // Starts the input with the default mappings or with the remapping file above.
    void start(bool remapped) {
        if (remapped)
            std::ofstream(remappingFile()) << remappedFile;
        test::captureLog([this]() { startInput(); });
        input->deviceChanged.add(Delegate::member(this, &InputRecordTest::noteDeviceChange));
        out << "mappings " << (remapped ? "remapped" : "default") << " count "
            << input->getActiveControls()->mappingCount() << "\n";
    }
    void noteDeviceChange() { ++deviceChanges; }

    void run(const std::vector<Step>& script) {
        int frameNumber = 0;
        for (const Step& step : script) {
            for (int f = 0; f < step.frames; ++f) {
                simulation = step.mode.simulation;
                inputAllowed = step.mode.inputAllowed;
                gameplaySuspended = step.mode.suspended;
                menuOpen = step.mode.menuOpen;
                if (step.feed)
                    step.feed(f);
                out << "frame " << frameNumber++ << " " << word(step.label) << " " << f << "\n";
                frameText.str("");
                recordFrame();
                keepChangedLines();
            }
        }
    }

    // The lines that are written in every frame are kept only when they changed since the
    // last frame that wrote them; the sparse ones (actions and inputs away from rest, touch
    // points, pads) always, since their absence means rest.
    void keepChangedLines() {
        std::istringstream lines(frameText.str());
        std::string line;
        while (std::getline(lines, line)) {
            std::istringstream tokens(line);
            std::string first, second;
            tokens >> first >> second;
            static const char* const everyFrame[] = {"queries", "last",     "mouse",     "cursor", "effects",
                                                     "primary", "found", "buttons",  "raw",    "at"};
            const bool repeated = std::find_if(std::begin(everyFrame), std::end(everyFrame), [&](const char* tag) {
                                      return second == tag;
                                  }) != std::end(everyFrame);
            const std::string key = first + " " + second;
            if (repeated && lastLines[key] == line)
                continue;
            if (repeated)
                lastLines[key] = line;
            out << line << "\n";
        }
    }

    void recordFrame() {
        std::ostringstream& out = frameText;
        input->update();
        for (int set = 0; set < input->getPlayerControlsCount(0); ++set)
            recordControls(set, input->getPlayerControls(0, set));
        out << "  manager last " << deviceWord(input->getLastDevice()) << " changes " << deviceChanges
            << " cursor " << device->get()->getCursorControl()->isVisible() << " mouseInUse "
            << input->getMouse()->inUse
            << " menuKeysDownTaps";
        for (int code = MenuCode::first; code < MenuCode::first + MenuCode::count; ++code)
            out << " " << input->isMenuKeyDown(code) << input->menuKeyTaps(code);
        out << " sent";
        for (int key : focus->keys)
            out << " " << key;
        out << "\n";
        focus->keys.clear();
        if (InputDevice::detectAnyPressedInput()) {
            const ButtonMapping& found = InputDevice::foundMapping();
            out << "  detected " << deviceWord(found.device) << " " << found.instance << " "
                << word(found.device ? found.device->getButtonName(found.buttonIndex) : "") << " "
                << found.buttonIndex << "\n";
        }
        if (deviceState)
            deviceState();
        input->updateDeviceOverlays();
        input->endFrame();
    }

    void recordControls(int set, PlayerControls* controls) {
        std::ostringstream& out = frameText;
        std::vector<bool>& wasDown = downBefore[set];
        wasDown.resize(GameAction::count, false);
        for (int action = 0; action < GameAction::count; ++action) {
            const float value = controls->getActionValue(action);
            float scaled = 0.0f;
            for (const auto& mapping : controls->mappings(action))
                if (controls->isMappingUsable(mapping.get())) {
                    const float candidate = mapping->device->getScaledValue(*mapping);
                    if (std::fabs(candidate) > std::fabs(scaled))
                        scaled = candidate;
                }
            InputDevice* by = nullptr;
            const bool pressed = controls->wasActionPressed(action, &by);
            const bool down = value != 0.0f;
            const bool released = wasDown[action] && !down;
            wasDown[action] = down;
            if (!down && !pressed && !released && scaled == 0.0f)
                continue;
            out << "  " << set << " " << word(GameAction::name(action)) << " value " << number(value) << " scaled "
                << number(scaled) << " down " << down << " pressed " << pressed << " released " << released
                << " by " << deviceWord(by) << "\n";
        }
        out << "  " << set << " queries pause " << controls->isPausePressed() << " back "
            << controls->isMenuBackPressed() << " switch " << controls->isModeSwitchPressed() << " skip "
            << controls->isSkipCutscenePressed() << controls->isSkipCutsceneDown() << " grab "
            << controls->isGrabHeld(false) << controls->isGrabHeld(true) << " menu";
        for (int code = MenuCode::first; code < MenuCode::first + MenuCode::count; ++code)
            out << " " << controls->isMenuCodePressed(code) << controls->isMenuCodeDown(code);
        out << " active " << controls->isActionActive(GameAction::GrabObject)
            << controls->isActionActive(GameAction::LeftFootRaise) << " touch " << controls->touchMode << " last "
            << deviceWord(controls->lastDevice) << "\n";
    }

    // Every input of the device that is not at rest, for each of its instances.
    void recordInputs(InputDevice* device, int instances) {
        std::ostringstream& out = frameText;
        for (int instance = 0; instance < instances; ++instance)
            for (int index = 0; index < device->getButtonCount(); ++index) {
                ButtonMapping mapping;
                mapping.device = device;
                mapping.instance = instance;
                mapping.buttonIndex = index;
                const float value = device->getValue(mapping);
                const bool pressed = device->wasPressed(mapping);
                if (value == 0.0f && !pressed)
                    continue;
                mapping.normalise = false;
                out << "  input " << instance << " " << word(device->getButtonName(index)) << " " << index << " "
                    << number(value) << " raw " << number(device->getValue(mapping)) << " pressed " << pressed
                    << "\n";
            }
    }

    void recordMouseRecord(const char* name, const MouseState& record) {
        std::ostringstream& out = frameText;
        out << "  " << name << " at " << record.x << " " << record.y << " delta " << number(record.deltaX) << " "
            << number(record.deltaY) << " buttons " << record.left << record.middle << record.right << " wheel "
            << number(record.wheel) << " " << number(record.wheelTarget) << " " << number(record.wheelSmoothed) << " "
            << number(record.wheelSmoothedDelta) << " hold " << number(record.middleHoldTime) << " "
            << record.middleHold << record.middleHoldPrev << " connected " << record.connected << "\n";
    }

    void mouseState() {
        std::ostringstream& out = frameText;
        MouseDevice* mouse = input->getMouse();
        recordMouseRecord("mouse", mouse->systemMouse());
        irr::gui::ICursorControl* cursor = device->get()->getCursorControl();
        out << "  cursor at " << cursor->getPosition().X << " " << cursor->getPosition().Y << " visible "
            << cursor->isVisible() << " clipped " << mouse->isCursorClipped() << " modeActive "
            << mouse->mouseModeActive << " inUse " << mouse->inUse << " idle " << number(mouse->systemMouse().idleTime)
            << " rawMice " << mouse->rawMouseCount() << " " << mouse->getDeviceCount() << "\n";
        recordInputs(mouse, 1);
    }

    void padState() {
        std::ostringstream& out = frameText;
        GamepadDevice* gamepad = input->getGamepad();
        for (int index = 0; index < platform::maxGamepads; ++index) {
            const GamepadDevice::Pad* pad = gamepad->pad(index);
            if (!pad->connected && !pads->leftMotor(index) && !pads->rightMotor(index))
                continue;
            out << "  pad " << index << " connected " << pad->connected << " buttons " << pad->current.buttons
                << " triggers " << int(pad->current.leftTrigger) << " " << int(pad->current.rightTrigger)
                << " sticks " << pad->current.thumbLX << " " << pad->current.thumbLY << " " << pad->current.thumbRX
                << " " << pad->current.thumbRY << " motors " << pad->leftSpeed << " " << pad->rightSpeed << " sent "
                << pads->leftMotor(index) << " " << pads->rightMotor(index) << " directions";
            for (int input = GamepadDevice::StickLXPositive; input < GamepadDevice::InputCount; ++input)
                out << " " << gamepad->getAxisDirectionDown(index, input) << "/"
                    << gamepad->getAxisDirectionPressed(index, input);
            out << "\n";
        }
        VibrationController* vibration = input->getVibration();
        out << "  vibration effects " << vibration->effects().size();
        for (const auto& effect : vibration->effects())
            out << " [" << effect.pad << " " << number(effect.elapsed) << " " << number(effect.duration) << " "
                << number(effect.delay) << "]";
        out << " levels " << number(vibration->leftLevel(0)) << " " << number(vibration->rightLevel(0)) << "\n";
        recordInputs(gamepad, platform::maxGamepads);
    }

    void touchState() {
        std::ostringstream& out = frameText;
        TouchDevice* touch = input->getTouch();
        for (const auto& point : touch->touchPoints())
            out << "  touch " << point->id << " tag " << point->tag << " start " << point->startX << " "
                << point->startY << " prev " << point->prevX << " " << point->prevY << " at " << point->x << " "
                << point->y << " held " << number(point->heldTime) << " state " << point->state << " active "
                << point->active << "\n";
        const TouchPoint* left = touch->findLeftTouch(0.2f);
        const TouchPoint* primary = touch->primaryTouch();
        out << "  touches primary " << (primary ? primary->id : -1) << " left " << (left ? left->id : -1)
            << " switch " << touch->isSwitchTouch() << " pause " << touch->isPauseTouch() << " pressed "
            << touch->countPressedTouches() << " seen " << touch->wasTouchSeen() << " taps " << touch->isDoubleTap()
            << touch->isTripleTap() << " mouseMode " << input->getMouse()->mouseModeActive << "\n";
    }

    void joystickState() {
        std::ostringstream& out = frameText;
        JoystickDevice* joystick = input->getJoystick();
        out << "  joysticks found " << joystick->infos().size() << " count " << joystick->getDeviceCount() << " rescan "
            << number(joystick->rescanTimer) << "\n";
        for (const auto& state : joystick->states()) {
            out << "  joystick buttons " << state.current.buttons << " hat " << state.current.hat << " axes";
            for (int axis = 0; axis < JoystickData::axisCount; ++axis)
                out << " " << state.current.axes[axis] << (state.restsAtMinimum[axis] ? "m" : "");
            out << "\n";
        }
        recordInputs(joystick, 1);
    }

    void rawMiceState() {
        std::ostringstream& out = frameText;
        MouseDevice* mouse = input->getMouse();
        out << "  mice raw " << mouse->rawMouseCount() << " count " << mouse->getDeviceCount() << " connected "
            << mouse->getConnectedCount() << " several " << mouse->isMultiMouseActive() << " perPlayer "
            << mouse->isMicePerPlayer() << "\n";
        for (int record = 1; mouse->state(record); ++record)
            recordMouseRecord(("raw" + std::to_string(record - 1)).c_str(), *mouse->state(record));
        recordInputs(mouse, std::max(mouse->getDeviceCount(), 1));
    }

    void key(irr::EKEY_CODE code, bool down) { keyEvent(code, down); }
    void tap(irr::EKEY_CODE code) {
        keyEvent(code, true);
        keyEvent(code, false);
    }
    void cursorTo(int x, int y) { device->get()->getCursorControl()->setPosition(x, y); }
    void pad(std::uint16_t buttons, std::uint8_t lt, std::uint8_t rt, std::int16_t lx, std::int16_t ly,
             std::int16_t rx, std::int16_t ry) {
        pads->setButtons(0, buttons);
        pads->setTriggers(0, lt, rt);
        pads->setSticks(0, lx, ly, rx, ry);
    }

    void finish(const std::string& record) { test::expectMatchesRecord("player/records/input/" + record, out.str()); }

    std::unique_ptr<GameSettings> settings;
    std::ostringstream out;
    std::ostringstream frameText;
    std::map<std::string, std::string> lastLines;
    std::function<void()> deviceState;
    std::map<int, std::vector<bool>> downBefore;
    int deviceChanges = 0;
    std::vector<int> writers;
};

// --- keyboard ------------------------------------------------------------------------------------

class KeyboardRecordTest : public InputRecordTest {
protected:
    void play(bool remapped, const std::string& record) {
        start(remapped);
        deviceState = [this]() { recordInputs(input->getKeyboard(), 1); };
        using irr::EKEY_CODE;
        // Every key either mapping file binds, one tap each, two frames apart.
        const EKEY_CODE everyKey[] = {
            irr::KEY_KEY_E, irr::KEY_KEY_G, irr::KEY_KEY_V,  irr::KEY_TAB,      irr::KEY_KEY_P,   irr::KEY_KEY_Q,
            irr::KEY_KEY_A, irr::KEY_KEY_D, irr::KEY_KEY_W,  irr::KEY_KEY_S,    irr::KEY_KEY_M,   irr::KEY_LEFT,
            irr::KEY_RIGHT, irr::KEY_UP,    irr::KEY_DOWN,   irr::KEY_KEY_C,    irr::KEY_KEY_F,   irr::KEY_KEY_R,
            irr::KEY_KEY_X, irr::KEY_KEY_Z, irr::KEY_ADD,    irr::KEY_SUBTRACT, irr::KEY_F9,      irr::KEY_HOME,
            irr::KEY_INSERT, irr::KEY_NEXT, irr::KEY_PRIOR,  irr::KEY_NUMPAD2,  irr::KEY_NUMPAD4, irr::KEY_NUMPAD6,
            irr::KEY_NUMPAD8, irr::KEY_SPACE, irr::KEY_KEY_J, irr::KEY_KEY_L,   irr::KEY_KEY_I,   irr::KEY_KEY_K,
            irr::KEY_KEY_U, irr::KEY_KEY_O, irr::KEY_PLUS,   irr::KEY_MINUS,
        };
        std::vector<Step> script = {
            {"rest", 2, playing, nullptr},
            {"grab held", 5, playing,
             [this](int f) {
                 if (f == 0)
                     key(irr::KEY_KEY_E, true);
                 if (f == 3)
                     key(irr::KEY_KEY_E, false);
             }},
            {"tap within one frame", 3, playing, [this](int f) { if (f == 0) tap(irr::KEY_KEY_Q); }},
            {"three taps in one frame", 2, playing, [this](int f) {
                 if (f == 0)
                     for (int i = 0; i < 3; ++i)
                         tap(irr::KEY_KEY_W);
             }},
            {"diagonal walk", 7, playing,
             [this](int f) {
                 if (f == 0) {
                     key(irr::KEY_KEY_W, true);
                     key(irr::KEY_KEY_D, true);
                 }
                 if (f == 2)
                     key(irr::KEY_KEY_W, true); // the engine's repeat of a held key
                 if (f == 3)
                     key(irr::KEY_KEY_D, false);
                 if (f == 5)
                     key(irr::KEY_KEY_W, false);
             }},
            {"every bound key", 2 * int(std::size(everyKey)) + 1, playing,
             [this, everyKey](int f) {
                 if (f / 2 < int(std::size(everyKey)))
                     key(everyKey[f / 2], f % 2 == 0);
             }},
            {"mode switch", 2, playing, [this](int f) { if (f == 0) tap(irr::KEY_TAB); }},
            {"escape pauses", 2, playing, [this](int f) { if (f == 0) tap(irr::KEY_ESCAPE); }},
            {"cutscene", 4, cutscene,
             [this](int f) {
                 if (f == 0)
                     key(irr::KEY_RETURN, true);
                 if (f == 2)
                     key(irr::KEY_RETURN, false);
                 if (f == 3)
                     tap(irr::KEY_ESCAPE);
             }},
            {"menu held down", 26, inMenu,
             [this](int f) {
                 if (f == 0)
                     key(irr::KEY_DOWN, true);
                 if (f == 24)
                     key(irr::KEY_DOWN, false);
             }},
            {"menu diagonal", 5, inMenu,
             [this](int f) {
                 if (f == 0)
                     key(irr::KEY_KEY_S, true);
                 if (f == 1)
                     key(irr::KEY_KEY_A, true);
                 if (f == 3) {
                     key(irr::KEY_KEY_S, false);
                     key(irr::KEY_KEY_A, false);
                 }
             }},
            {"menu keys", 10, inMenu,
             [this](int f) {
                 const irr::EKEY_CODE keys[] = {irr::KEY_RETURN, irr::KEY_SPACE, irr::KEY_ESCAPE, irr::KEY_BACK,
                                                irr::KEY_KEY_W};
                 if (f % 2 == 0)
                     tap(keys[f / 2]);
             }},
            {"pause menu", 4, pauseMenu,
             [this](int f) {
                 if (f == 0)
                     tap(irr::KEY_RETURN);
                 if (f == 1)
                     key(irr::KEY_KEY_E, true);
                 if (f == 3)
                     key(irr::KEY_KEY_E, false);
             }},
        };
        run(script);
        finish(record);
    }
};

TEST_F(KeyboardRecordTest, DefaultMappings) { play(false, "keyboard_default.txt"); }
TEST_F(KeyboardRecordTest, RemappedFile) { play(true, "keyboard_remapped.txt"); }

// --- mouse ---------------------------------------------------------------------------------------

class MouseRecordTest : public InputRecordTest {
protected:
    void play(bool remapped, const std::string& record) {
        start(remapped);
        // A focused window at (100, 100), 1280 x 720 on the desktop, whose cursor clip the
        // test keeps.
        MouseDevice::Window& window = input->getMouse()->window();
        window.isActive = [this]() { return focused; };
        window.getRect = [](irr::core::recti& rect) {
            rect = irr::core::recti(100, 100, 1380, 820);
            return true;
        };
        window.clipCursor = [this](const irr::core::recti* rect) {
            clip = rect ? *rect : irr::core::recti();
            return true;
        };
        deviceState = [this]() {
            mouseState();
            frameText << "  clip at " << clip.UpperLeftCorner.X << " " << clip.UpperLeftCorner.Y << " "
                      << clip.LowerRightCorner.X << " " << clip.LowerRightCorner.Y << " focused " << focused << "\n";
        };
        std::vector<Step> script = {
            {"rest", 2, playing, [this](int f) { if (f == 0) cursorTo(640, 360); }},
            {"sweep right and down", 6, playing, [this](int f) { cursorTo(640 + 25 * (f + 1) * f, 360 + 12 * f); }},
            {"sweep left and up", 5, playing, [this](int f) { cursorTo(640 - 20 * f, 360 - 9 * f); }},
            {"left click held", 4, playing,
             [this](int f) {
                 if (f == 0)
                     mouseEvent(irr::EMIE_LMOUSE_PRESSED_DOWN, irr::EMBSM_LEFT);
                 if (f == 2)
                     mouseEvent(irr::EMIE_LMOUSE_LEFT_UP);
             }},
            {"left click in one frame", 3, playing, [this](int f) {
                 if (f == 0) {
                     mouseEvent(irr::EMIE_LMOUSE_PRESSED_DOWN, irr::EMBSM_LEFT);
                     mouseEvent(irr::EMIE_LMOUSE_LEFT_UP);
                 }
             }},
            {"right click", 3, playing,
             [this](int f) {
                 if (f == 0)
                     mouseEvent(irr::EMIE_RMOUSE_PRESSED_DOWN, irr::EMBSM_RIGHT);
                 if (f == 1)
                     mouseEvent(irr::EMIE_RMOUSE_LEFT_UP);
             }},
            {"extra buttons", 4, playing,
             [this](int f) {
                 const irr::u32 states[] = {irr::EMBSM_EXTRA1, irr::EMBSM_EXTRA1 | irr::EMBSM_EXTRA2, 0, 0};
                 mouseEvent(irr::EMIE_MOUSE_MOVED, states[f]);
             }},
            {"wheel", 8, playing,
             [this](int f) {
                 if (f == 0)
                     mouseEvent(irr::EMIE_MOUSE_WHEEL, 0, 1.0f);
                 if (f == 1)
                     mouseEvent(irr::EMIE_MOUSE_WHEEL, 0, 2.0f);
                 if (f == 4)
                     mouseEvent(irr::EMIE_MOUSE_WHEEL, 0, -1.0f);
             }},
            {"middle held", 64, playing,
             [this](int f) {
                 if (f == 0)
                     mouseEvent(irr::EMIE_MMOUSE_PRESSED_DOWN, irr::EMBSM_MIDDLE);
                 if (f == 62)
                     mouseEvent(irr::EMIE_MMOUSE_LEFT_UP);
             }},
            {"menu clicks", 4, inMenu,
             [this](int f) {
                 if (f == 0)
                     cursorTo(300, 200);
                 if (f == 1)
                     mouseEvent(irr::EMIE_LMOUSE_PRESSED_DOWN, irr::EMBSM_LEFT);
                 if (f == 2) {
                     mouseEvent(irr::EMIE_LMOUSE_LEFT_UP);
                     mouseEvent(irr::EMIE_RMOUSE_PRESSED_DOWN, irr::EMBSM_RIGHT);
                 }
                 if (f == 3)
                     mouseEvent(irr::EMIE_RMOUSE_LEFT_UP);
             }},
            {"pause menu", 3, pauseMenu,
             [this](int f) {
                 if (f == 0)
                     mouseEvent(irr::EMIE_LMOUSE_PRESSED_DOWN, irr::EMBSM_LEFT);
                 if (f == 1)
                     mouseEvent(irr::EMIE_LMOUSE_LEFT_UP);
                 if (f == 2)
                     cursorTo(320, 240);
             }},
            {"back to play", 3, playing, [this](int f) { cursorTo(900 - 50 * f, 100); }},
            {"window loses focus", 3, playing,
             [this](int f) {
                 focused = f == 2;
                 cursorTo(700 + 10 * f, 380);
             }},
        };
        run(script);
        finish(record);
    }
    bool focused = true;
    irr::core::recti clip;
};

TEST_F(MouseRecordTest, DefaultMappings) { play(false, "mouse_default.txt"); }
TEST_F(MouseRecordTest, RemappedFile) { play(true, "mouse_remapped.txt"); }

// --- gamepad -------------------------------------------------------------------------------------

class GamepadRecordTest : public InputRecordTest {
protected:
    void play(bool remapped, const std::string& record) {
        pads->setConnected(0, true);
        start(remapped);
        deviceState = [this]() { padState(); };
        using namespace platform::padButton;
        // A sweep of one axis from full negative through the dead zone to full positive.
        auto sweep = [](int f) { return std::int16_t(std::clamp(-32768 + f * 5462, -32768, 32767)); };
        std::vector<Step> script = {
            {"rest", 2, playing, nullptr},
            {"buttons one by one", 28, playing,
             [this](int f) {
                 const std::uint16_t bits[] = {dpadUp, dpadDown, dpadLeft, dpadRight, platform::padButton::start, back, leftThumb,
                                               rightThumb, leftShoulder, rightShoulder, a, b, x, y};
                 pad(f % 2 == 0 ? bits[f / 2] : 0, 0, 0, 0, 0, 0, 0);
             }},
            {"chord", 3, playing, [this](int f) { pad(f < 2 ? (a | x | leftShoulder) : 0, 0, 0, 0, 0, 0, 0); }},
            {"triggers", 8, playing,
             [this](int f) {
                 const std::uint8_t values[] = {10, 25, 26, 128, 255, 255, 20, 0};
                 pad(0, values[f], values[7 - f], 0, 0, 0, 0);
             }},
            {"left stick x", 13, playing, [this, sweep](int f) { pad(0, 0, 0, sweep(f), 0, 0, 0); }},
            {"left stick y", 13, playing, [this, sweep](int f) { pad(0, 0, 0, 0, sweep(f), 0, 0); }},
            {"right stick x", 13, playing, [this, sweep](int f) { pad(0, 0, 0, 0, 0, sweep(f), 0); }},
            {"right stick y", 13, playing, [this, sweep](int f) { pad(0, 0, 0, 0, 0, 0, sweep(f)); }},
            {"diagonals", 6, playing,
             [this](int f) {
                 const std::int16_t values[] = {6000, -6000, 20000, -20000, 32767, 0};
                 pad(0, 0, 0, values[f], values[f], values[5 - f], std::int16_t(-values[f]));
             }},
            {"rumble", 8, playing,
             [this](int f) {
                 pad(0, 0, 0, 0, 0, 0, 0);
                 if (f == 0)
                     input->addRumble(0.5f, 0.25f, 0.05f, 0.02f);
                 if (f < 3)
                     input->addVibration(0.3f, 0.9f);
                 // More than full speed, and less than none.
                 if (f == 5)
                     input->addVibration(1.5f, -0.5f);
             }},
            {"cutscene", 4, cutscene,
             [this](int f) { pad(f == 1 ? (a | b) : (f == 2 ? a : 0), 0, 0, 0, 0, 0, 0); }},
            {"menu stick held", 24, inMenu,
             [this](int f) { pad(f >= 20 ? dpadLeft : 0, 0, 0, 0, f < 18 ? std::int16_t(-30000) : 0, 0, 0); }},
            {"menu buttons", 6, inMenu,
             [this](int f) {
                 const std::uint16_t bits[] = {a, 0, b, 0, y, 0};
                 pad(bits[f], 0, 0, f == 5 ? std::int16_t(30000) : 0, 0, 0, 0);
             }},
            {"second pad plugged in", 3, playing,
             [this](int f) {
                 if (f == 0) {
                     pads->setConnected(1, true);
                     pads->setButtons(1, platform::padButton::start);
                 }
             }},
            {"first pad pulled out", 3, playing, [this](int f) { if (f == 0) pads->setConnected(0, false); }},
        };
        run(script);
        finish(record);
    }
};

TEST_F(GamepadRecordTest, DefaultMappings) { play(false, "gamepad_default.txt"); }
TEST_F(GamepadRecordTest, RemappedFile) { play(true, "gamepad_remapped.txt"); }

// --- touch ---------------------------------------------------------------------------------------

class TouchRecordTest : public InputRecordTest {
protected:
    void play(bool remapped, const std::string& record) {
        start(remapped);
        deviceState = [this]() { touchState(); };
        std::vector<Step> script = {
            {"rest", 2, playing, nullptr},
            {"finger on the grab strip", 6, playing,
             [this](int f) {
                 if (f == 0)
                     finger(1, 100, 400, touchWentDown);
                 if (f > 0 && f < 4)
                     finger(1, 100 + 30 * f, 400 - 10 * f, 0);
                 if (f == 4)
                     finger(1, 200, 380, touchWentUp);
             }},
            {"two fingers moving", 7, playing,
             [this](int f) {
                 if (f == 0) {
                     finger(2, 800, 300, touchWentDown);
                     finger(3, 50, 600, touchWentDown);
                 }
                 if (f > 0 && f < 5) {
                     finger(2, 800 - 40 * f, 300 + 25 * f, 0);
                     finger(3, 50 + 5 * f, 600, 0);
                 }
                 if (f == 5) {
                     finger(3, 70, 600, touchWentUp);
                     finger(2, 600, 420, touchWentUp);
                 }
             }},
            {"tagged left finger", 3, playing,
             [this](int f) {
                 if (f == 0)
                     finger(4, 30, 300, touchWentDown, 9);
                 if (f == 1)
                     finger(4, 30, 300, touchWentUp, 9);
             }},
            {"pause button", 3, playing,
             [this](int f) {
                 if (f == 0)
                     finger(5, 1250, 30, touchWentDown);
                 if (f == 1)
                     finger(5, 1250, 30, touchWentUp);
             }},
            {"switch button", 3, playing,
             [this](int f) {
                 if (f == 0)
                     finger(6, 1240, 700, touchWentDown);
                 if (f == 1)
                     finger(6, 1240, 700, touchWentUp);
             }},
            {"double tap", 5, playing,
             [this](int f) {
                 if (f == 0 || f == 2)
                     finger(7, 640, 360, touchWentDown);
                 if (f == 1 || f == 3)
                     finger(7, 640, 360, touchWentUp);
             }},
            {"held in a cutscene", 66, cutscene,
             [this](int f) {
                 if (f == 0)
                     finger(8, 600, 300, touchWentDown);
                 if (f == 64)
                     finger(8, 600, 300, touchWentUp);
             }},
            {"the mouse moves and clicks while a finger is down", 4, playing,
             [this](int f) {
                 if (f == 0)
                     finger(10, 900, 200, touchWentDown);
                 if (f == 1) {
                     mouseEvent(irr::EMIE_MOUSE_MOVED);
                     mouseEvent(irr::EMIE_LMOUSE_PRESSED_DOWN, irr::EMBSM_LEFT);
                 }
                 if (f == 2) {
                     mouseEvent(irr::EMIE_LMOUSE_LEFT_UP);
                     finger(10, 900, 200, touchWentUp);
                 }
             }},
            {"a right click ends touch mode", 3, playing,
             [this](int f) {
                 if (f == 0)
                     finger(11, 700, 200, touchWentDown);
                 if (f == 1) {
                     finger(11, 700, 200, touchWentUp);
                     mouseEvent(irr::EMIE_RMOUSE_PRESSED_DOWN, irr::EMBSM_RIGHT);
                 }
                 if (f == 2)
                     mouseEvent(irr::EMIE_RMOUSE_LEFT_UP);
             }},
            {"a middle click ends touch mode", 3, playing,
             [this](int f) {
                 if (f == 0)
                     finger(12, 700, 200, touchWentDown);
                 if (f == 1) {
                     finger(12, 700, 200, touchWentUp);
                     mouseEvent(irr::EMIE_MMOUSE_PRESSED_DOWN, irr::EMBSM_MIDDLE);
                 }
                 if (f == 2)
                     mouseEvent(irr::EMIE_MMOUSE_LEFT_UP);
             }},
            {"a key ends touch mode", 2, playing, [this](int f) {
                 if (f == 0) {
                     finger(13, 700, 200, touchWentDown);
                     finger(13, 700, 200, touchWentUp);
                     tap(irr::KEY_KEY_E);
                 }
             }},
            {"touch while keyboard held", 3, playing,
             [this](int f) {
                 if (f == 0) {
                     key(irr::KEY_KEY_E, true);
                     finger(9, 60, 500, touchWentDown);
                 }
                 if (f == 2) {
                     key(irr::KEY_KEY_E, false);
                     finger(9, 60, 500, touchWentUp);
                 }
             }},
        };
        run(script);
        finish(record);
    }
};

TEST_F(TouchRecordTest, DefaultMappings) { play(false, "touch_default.txt"); }
TEST_F(TouchRecordTest, RemappedFile) { play(true, "touch_remapped.txt"); }

// --- several mice --------------------------------------------------------------------------------

// Two mice stood in for by named pipes in the driver's folder; the test writes kernel events
// into them, which the driver reads when the mouse device polls it.
class RawMouseRecordTest : public InputRecordTest {
protected:
    void play(bool remapped, const std::string& record) {
        for (const char* name : {"event2", "event10"})
            ASSERT_EQ(mkfifo((std::filesystem::path(miceFolder()) / name).c_str(), 0600), 0);
        start(remapped);
        for (const char* name : {"event2", "event10"})
            writers.push_back(open((std::filesystem::path(miceFolder()) / name).c_str(), O_WRONLY | O_NONBLOCK));
        // A second control set of player 0 on the second mouse.
        test::captureLog([this]() {
            input->addPlayerControls(new PlayerControls(input.get(), 0, 1, 1, input->getMouse()), 0);
        });
        deviceState = [this]() { rawMiceState(); };
        std::vector<Step> script = {
            {"rest", 2, playing, nullptr},
            {"both mice move", 4, playing,
             [this](int f) {
                 send(0, {{kernelRelative, relX, 5 + f}, {kernelRelative, relY, -3}});
                 send(1, {{kernelRelative, relX, -12}, {kernelRelative, relY, 4 * f}});
             }},
            {"buttons apart", 6, playing,
             [this](int f) {
                 if (f == 0)
                     send(0, {{kernelKey, buttonLeft, 1}});
                 if (f == 1)
                     send(1, {{kernelKey, buttonRight, 1}, {kernelKey, buttonRight, 0}});
                 if (f == 2)
                     send(0, {{kernelKey, buttonLeft, 0}, {kernelKey, buttonMiddle, 1}});
                 if (f == 4)
                     send(0, {{kernelKey, buttonMiddle, 0}});
             }},
            {"wheels", 6, playing,
             [this](int f) {
                 if (f == 0)
                     send(1, {{kernelRelative, relWheel, 3}});
                 if (f == 2)
                     send(0, {{kernelRelative, relWheel, -1}, {kernelRelative, relWheel, -1}});
             }},
            {"run to the edges", 3, playing,
             [this](int f) {
                 send(0, {{kernelRelative, relX, -5000}, {kernelRelative, relY, 5000}});
                 send(1, {{kernelRelative, relX, 400 * f}});
             }},
            {"menu", 3, inMenu,
             [this](int f) {
                 if (f == 0)
                     send(1, {{kernelKey, buttonLeft, 1}});
                 if (f == 1)
                     send(1, {{kernelKey, buttonLeft, 0}});
             }},
        };
        run(script);
        finish(record);
    }

    struct Kernel {
        std::uint16_t type, code;
        std::int32_t value;
    };
    void send(int mouse, std::vector<Kernel> events) {
        std::vector<KernelEvent> raw;
        for (const Kernel& event : events)
            raw.push_back(KernelEvent{{}, event.type, event.code, event.value});
        raw.push_back(KernelEvent{{}, kernelSync, 0, 0});
        const ssize_t size = ssize_t(raw.size() * sizeof(KernelEvent));
        ASSERT_EQ(write(writers[std::size_t(mouse)], raw.data(), std::size_t(size)), size);
    }
};

TEST_F(RawMouseRecordTest, DefaultMappings) { play(false, "rawmice_default.txt"); }
TEST_F(RawMouseRecordTest, RemappedFile) { play(true, "rawmice_remapped.txt"); }

// --- joystick ------------------------------------------------------------------------------------

#ifdef PADDLESTONE_TEST_SDL2
// A virtual flight stick of SDL2 (six axes, eight buttons, a hat); its throttle (axis 2)
// rests at its minimum when the input starts.
class JoystickRecordTest : public InputRecordTest {
protected:
    void SetUp() override {
        InputRecordTest::SetUp();
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0);
        deviceIndex = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_FLIGHT_STICK, 6, 8, 1);
        ASSERT_GE(deviceIndex, 0) << SDL_GetError();
        handle = SDL_JoystickOpen(deviceIndex);
        ASSERT_NE(handle, nullptr);
        SDL_JoystickSetVirtualAxis(handle, 2, -32768);
    }
    void TearDown() override {
        stopInput();
        if (handle)
            SDL_JoystickClose(handle);
        SDL_JoystickDetachVirtual(deviceIndex);
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
        InputRecordTest::TearDown();
    }
    void stick(Uint32 buttons, Uint8 hat, std::initializer_list<std::pair<int, Sint16>> axes) {
        for (int button = 0; button < 8; ++button)
            SDL_JoystickSetVirtualButton(handle, button, Uint8((buttons >> button) & 1u));
        SDL_JoystickSetVirtualHat(handle, 0, hat);
        for (const auto& [axis, value] : axes)
            SDL_JoystickSetVirtualAxis(handle, axis, value);
    }
    void play(bool remapped, const std::string& record) {
        start(remapped);
        deviceState = [this]() { joystickState(); };
        auto sweep = [](int f) { return Sint16(std::clamp(-32768 + f * 5462, -32768, 32767)); };
        std::vector<Step> script = {
            {"rest", 2, playing, nullptr},
            {"buttons one by one", 16, playing,
             [this](int f) { stick(f % 2 == 0 ? 1u << (f / 2) : 0u, SDL_HAT_CENTERED, {}); }},
            {"hat around", 9, playing,
             [this](int f) {
                 const Uint8 hats[] = {SDL_HAT_UP,       SDL_HAT_RIGHTUP, SDL_HAT_RIGHT,    SDL_HAT_RIGHTDOWN,
                                       SDL_HAT_DOWN,     SDL_HAT_LEFTDOWN, SDL_HAT_LEFT,    SDL_HAT_LEFTUP,
                                       SDL_HAT_CENTERED};
                 stick(0, hats[f], {});
             }},
            {"x axis", 13, playing, [this, sweep](int f) { stick(0, SDL_HAT_CENTERED, {{0, sweep(f)}}); }},
            {"y axis", 13, playing,
             [this, sweep](int f) { stick(0, SDL_HAT_CENTERED, {{0, 0}, {1, sweep(f)}}); }},
            {"throttle", 13, playing,
             [this, sweep](int f) { stick(0, SDL_HAT_CENTERED, {{1, 0}, {2, sweep(f)}}); }},
            {"twist", 13, playing,
             [this, sweep](int f) { stick(0, SDL_HAT_CENTERED, {{2, -32768}, {3, sweep(12 - f)}}); }},
            {"cutscene", 3, cutscene, [this](int f) { stick(f == 1 ? 0x2u : 0u, SDL_HAT_CENTERED, {{3, 0}}); }},
            {"menu hat held", 22, inMenu,
             [this](int f) { stick(0, f < 20 ? SDL_HAT_DOWN : SDL_HAT_CENTERED, {}); }},
            {"menu stick", 6, inMenu,
             [this](int f) {
                 const Sint16 values[] = {-30000, 0, 30000, 0, 0, 0};
                 stick(f == 4 ? 0x14u : 0u, SDL_HAT_CENTERED, {{0, values[f]}, {1, values[5 - f]}});
             }},
        };
        run(script);
        finish(record);
    }
    int deviceIndex = -1;
    SDL_Joystick* handle = nullptr;
};

TEST_F(JoystickRecordTest, DefaultMappings) { play(false, "joystick_default.txt"); }
TEST_F(JoystickRecordTest, RemappedFile) { play(true, "joystick_remapped.txt"); }
#endif

// --- the mapping files and name tables -------------------------------------------------------

// The player's mapping file as the game writes it from the defaults on the first start, and
// from the remapping file above; then every device's input names.
TEST_F(InputRecordTest, MappingFilesAndInputNames) {
    std::ostringstream text;
    auto file = [&](const char* title) {
        std::ifstream in(remappingFile());
        text << "file " << title << "\n" << in.rdbuf() << "\n";
    };
    test::captureLog([this]() { startInput(); });
    file("written on the first start");
    stopInput();
    std::ofstream(remappingFile()) << remappedFile;
    test::captureLog([this]() {
        startInput();
        input->getActiveControls()->writeMappings();
    });
    file("remapped, read and written again");
    PlayerControls* controls = input->getActiveControls();
    for (int action = 0; action < GameAction::count; ++action)
        for (const auto& mapping : controls->mappings(action))
            text << "mapping " << word(GameAction::name(action)) << " " << deviceWord(mapping->device) << " "
                 << mapping->instance << " " << mapping->buttonIndex << " mod " << mapping->modifier << " scheme "
                 << mapping->schemeIndex << " mult " << number(mapping->multiplier) << " params "
                 << number(mapping->param1) << " " << number(mapping->param2) << " " << number(mapping->param3)
                 << " " << number(mapping->param4) << " flags " << mapping->normalise << mapping->indexFromFile
                 << mapping->keep << " usable " << controls->isMappingUsable(mapping.get()) << "\n";
    for (InputDevice* entry : InputDevice::deviceList()) {
        text << "device " << deviceWord(entry) << " display " << word(toUtf8(entry->getDisplayName().c_str())) << " "
             << word(toUtf8(entry->getAlternateDisplayName().c_str())) << " buttons " << entry->getButtonCount()
             << " devices " << entry->getDeviceCount() << " connected " << entry->getConnectedCount()
             << " multiple " << entry->hasMultipleInstances() << " modes " << entry->usesModeSwitching()
             << " detection " << entry->takesPartInDetection() << " paired " << deviceWord(entry->getPairedDevice())
             << " aux " << number(entry->getAuxValue()) << "\n";
        for (int index = 0; index < entry->getButtonCount(); ++index) {
            const std::string name = entry->getButtonName(index);
            if (!name.empty())
                text << "  " << index << " " << name << " " << entry->getButtonIndex(name) << "\n";
        }
    }
    test::expectMatchesRecord("player/records/input/mapping_files.txt", text.str());
}

} // namespace
