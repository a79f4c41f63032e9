#include "player/devices/JoystickDevice.h"

#include <IEventReceiver.h>
#include <gtest/gtest.h>
#include <memory>
#include <utility>

#ifdef PADDLESTONE_TEST_SDL2
#include <SDL.h>
#endif

namespace {

// Joysticks as a script gives them.
class ScriptedJoysticks : public JoystickSource {
public:
    void activate(std::vector<JoystickInfo>& out) override {
        out = infos;
        ++activations;
    }
    void poll(std::vector<JoystickData>& states) override { states = polled; }
    bool devicesChanged() override { return std::exchange(changed, false); }

    std::vector<JoystickInfo> infos;
    std::vector<JoystickData> polled;
    bool changed = false;
    int activations = 0;
};

JoystickInfo joystickWithAxes(irr::u8 number, irr::u32 axes) {
    JoystickInfo info;
    info.joystick = number;
    info.name = "Stick " + std::to_string(number);
    info.axes = axes;
    info.buttons = 12;
    info.hasHat = true;
    return info;
}

class JoystickDeviceTest : public ::testing::Test {
protected:
    void make(std::vector<JoystickInfo> infos) {
        auto source = std::make_unique<ScriptedJoysticks>();
        source->infos = std::move(infos);
        script = source.get();
        joystick = std::make_unique<JoystickDevice>(nullptr, std::move(source));
        joystick->registerButtonNames();
    }
    void send(const JoystickData& data) {
        irr::SEvent engineEvent{};
        engineEvent.EventType = irr::EET_JOYSTICK_INPUT_EVENT;
        engineEvent.JoystickEvent.ButtonStates = data.buttons;
        for (int axis = 0; axis < irr::SEvent::SJoystickEvent::NUMBER_OF_AXES; ++axis)
            engineEvent.JoystickEvent.Axis[axis] = data.axes[axis];
        engineEvent.JoystickEvent.POV = data.hat;
        engineEvent.JoystickEvent.Joystick = data.joystick;
        InputEvent event;
        event.kind = InputEventKind::Joystick;
        event.engine = &engineEvent;
        EXPECT_FALSE(joystick->onEvent(event));
    }
    ButtonMapping mapping(const char* name, bool normalise = true, int instance = 0) {
        ButtonMapping m;
        m.device = joystick.get();
        m.instance = instance;
        m.buttonIndex = joystick->getButtonIndex(name);
        m.normalise = normalise;
        return m;
    }
    float value(const char* name, bool normalise = true) { return joystick->getValue(mapping(name, normalise)); }

    ScriptedJoysticks* script = nullptr;
    std::unique_ptr<JoystickDevice> joystick;
};

TEST_F(JoystickDeviceTest, NamesAndInterface) {
    make({});
    EXPECT_EQ(joystick->getName(), L"Joystick");
    EXPECT_EQ(joystick->getButtonCount(), 54);
    EXPECT_TRUE(joystick->hasMultipleInstances());
    EXPECT_FALSE(joystick->usesModeSwitching());
    EXPECT_TRUE(joystick->takesPartInDetection());
    const struct {
        const char* name;
        int index;
    } names[] = {{"BUTTON_0", 0},        {"button_31", 31},          {"JOYSTICK_AXIS_X_POS", 32},
                 {"JOYSTICK_AXIS_V_NEG", 43}, {"JOYSTICK_AXIS_X", 44}, {"JOYSTICK_AXIS_V", 49},
                 {"JOYSTICK_DPAD_UP", 50},  {"JOYSTICK_DPAD_RIGHT", 53}, {"BUTTON_32", -1}};
    for (const auto& entry : names)
        EXPECT_EQ(joystick->getButtonIndex(entry.name), entry.index) << entry.name;
    // Without a joystick every read is zero.
    EXPECT_EQ(joystick->getDeviceCount(), 0);
    EXPECT_FALSE(joystick->isConnected(0));
    EXPECT_EQ(value("BUTTON_0"), 0.0f);
}

TEST_F(JoystickDeviceTest, ActivationLogsAndCountsUsableJoysticks) {
    std::string log;
    ::testing::internal::CaptureStdout();
    make({joystickWithAxes(0, 3), joystickWithAxes(1, 4), joystickWithAxes(2, 6)});
    log = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("Joystick/Gamepad found: Stick 1\n"), std::string::npos);
    // Four axes are usable but not counted; three are ignored.
    EXPECT_EQ(joystick->getDeviceCount(), 1);
    EXPECT_TRUE(joystick->isConnected(0)); // joystick 1 stands in for instance 0
    EXPECT_TRUE(joystick->isConnected(2));
    EXPECT_FALSE(joystick->isConnected(3));
    // Events of the three-axis joystick are dropped; instance 0 reads joystick 1.
    JoystickData data;
    data.joystick = 0;
    data.buttons = 1;
    send(data);
    EXPECT_EQ(value("BUTTON_0"), 0.0f);
    data.joystick = 1;
    send(data);
    EXPECT_EQ(value("BUTTON_0"), 1.0f);
    // A negative instance reads the first usable joystick too.
    EXPECT_TRUE(joystick->isConnected(-1));
    EXPECT_EQ(joystick->getValue(mapping("BUTTON_0", true, -1)), 1.0f);
}

TEST_F(JoystickDeviceTest, AxisHalvesDeadZoneAndCalibration) {
    make({joystickWithAxes(0, 6)});
    JoystickData rest;
    rest.axes[2] = -32768; // a trigger resting at its minimum
    rest.axes[3] = -32767; // the trigger bound: still a trigger
    rest.axes[4] = -32766; // one short of it: a stick held one way
    send(rest);
    EXPECT_EQ(value("JOYSTICK_AXIS_Z_POS", false), 0.0f);
    EXPECT_EQ(value("JOYSTICK_AXIS_R_NEG", false), 0.0f);
    EXPECT_EQ(value("JOYSTICK_AXIS_U_NEG", false), 32766.0f);
    JoystickData pulled = rest;
    pulled.axes[2] = 32767;
    pulled.axes[0] = 7864;
    pulled.axes[1] = -32767;
    send(pulled);
    EXPECT_EQ(value("JOYSTICK_AXIS_Z_POS", false), 32767.0f);
    EXPECT_EQ(value("JOYSTICK_AXIS_Z_NEG", false), 0.0f);
    EXPECT_EQ(value("JOYSTICK_AXIS_X", false), 7864.0f);
    EXPECT_EQ(value("JOYSTICK_AXIS_X"), 0.0f); // inside the dead zone
    EXPECT_NEAR(value("JOYSTICK_AXIS_Y_NEG"), 1.0f, 1e-4f);
    EXPECT_NEAR(value("JOYSTICK_AXIS_Y"), -1.0f, 1e-4f);
    EXPECT_EQ(value("JOYSTICK_AXIS_Y_POS"), 0.0f);
}

TEST_F(JoystickDeviceTest, HatDirectionsAndPresses) {
    make({joystickWithAxes(0, 4)});
    JoystickData data;
    data.hat = 4500;
    data.buttons = 1u << 3;
    send(data);
    EXPECT_EQ(value("JOYSTICK_DPAD_UP"), 1.0f);
    EXPECT_EQ(value("JOYSTICK_DPAD_RIGHT"), 1.0f);
    EXPECT_EQ(value("JOYSTICK_DPAD_LEFT"), 0.0f);
    EXPECT_TRUE(joystick->wasPressed(mapping("JOYSTICK_DPAD_UP")));
    EXPECT_TRUE(joystick->wasPressed(mapping("BUTTON_3")));
    ButtonMapping withModifier = mapping("BUTTON_3");
    withModifier.modifier = 1;
    EXPECT_FALSE(joystick->wasPressed(withModifier));
    EXPECT_EQ(joystick->getValue(withModifier), 0.0f);
    joystick->endFrame();
    EXPECT_FALSE(joystick->wasPressed(mapping("BUTTON_3")));
    EXPECT_FALSE(joystick->wasPressed(mapping("JOYSTICK_DPAD_UP")));
    EXPECT_EQ(value("BUTTON_3"), 1.0f) << "held on across the frame";
    data.hat = JoystickData::hatCentred;
    data.axes[0] = 20000;
    send(data);
    for (const char* direction : {"JOYSTICK_DPAD_UP", "JOYSTICK_DPAD_DOWN", "JOYSTICK_DPAD_LEFT", "JOYSTICK_DPAD_RIGHT"})
        EXPECT_EQ(value(direction), 0.0f);
    // An axis press always applies the dead zone.
    EXPECT_TRUE(joystick->wasPressed(mapping("JOYSTICK_AXIS_X_POS", false)));
    joystick->endFrame();
    send(data);
    EXPECT_FALSE(joystick->wasPressed(mapping("JOYSTICK_AXIS_X_POS"))) << "held, not pressed again";
}

TEST_F(JoystickDeviceTest, EachHatDirectionAnswersItsThreeAngles) {
    make({joystickWithAxes(0, 4)});
    const struct Row {
        irr::u16 angle;
        bool up, down, left, right;
    } rows[] = {{0, true, false, false, false},     {4500, true, false, false, true},
                {9000, false, false, false, true},  {13500, false, true, false, true},
                {18000, false, true, false, false}, {22500, false, true, true, false},
                {27000, false, false, true, false}, {31500, true, false, true, false}};
    for (const Row& row : rows) {
        JoystickData data;
        data.hat = row.angle;
        send(data);
        EXPECT_EQ(value("JOYSTICK_DPAD_UP"), row.up ? 1.0f : 0.0f) << row.angle;
        EXPECT_EQ(value("JOYSTICK_DPAD_DOWN"), row.down ? 1.0f : 0.0f) << row.angle;
        EXPECT_EQ(value("JOYSTICK_DPAD_LEFT"), row.left ? 1.0f : 0.0f) << row.angle;
        EXPECT_EQ(value("JOYSTICK_DPAD_RIGHT"), row.right ? 1.0f : 0.0f) << row.angle;
    }
}

TEST_F(JoystickDeviceTest, DeviceChangesRescanOnceASecondLater) {
    make({});
    InputEvent change;
    change.kind = InputEventKind::SystemMessage;
    change.message = deviceChangeMessage;
    joystick->onEvent(change);
    EXPECT_EQ(joystick->rescanTimer, 0.0f);
    joystick->rescanTimer = 0.5f;
    joystick->onEvent(change); // a pending countdown is not restarted
    EXPECT_EQ(joystick->rescanTimer, 0.5f);
    script->infos = {joystickWithAxes(0, 6)};
    joystick->rescan();
    EXPECT_EQ(script->activations, 2);
    EXPECT_EQ(joystick->getDeviceCount(), 1);
    // The source's states reach the device when polled.
    JoystickData data;
    data.buttons = 1u << 5;
    script->polled = {data};
    script->changed = true;
    EXPECT_TRUE(joystick->pollSource());
    EXPECT_EQ(value("BUTTON_5"), 1.0f);
    EXPECT_FALSE(joystick->pollSource());
}

// The hat's direction bits (up 1, right 2, down 4, left 8) become the engine's angle in
// hundredths of a degree, clockwise from up; opposite or three or more bits are centred.
TEST(JoystickHatTest, HatBitsBecomeTheAngleOfTheirDirection) {
    const irr::u16 centred = JoystickData::hatCentred;
    const irr::u16 angles[16] = {centred, 0,       9000,    4500,    18000,   centred, 13500,   centred,
                                 27000,   31500,   centred, centred, 22500,   centred, centred, centred};
    for (int bits = 0; bits < 16; ++bits) {
        EXPECT_EQ(hatAngleFromBits(static_cast<irr::u8>(bits)), angles[bits]) << bits;
        // Bits above the four directions are ignored.
        EXPECT_EQ(hatAngleFromBits(static_cast<irr::u8>(bits | 0xf0)), angles[bits]) << bits;
    }
}

#ifdef PADDLESTONE_TEST_SDL2
// A joystick made by SDL2 itself: found, read, pulled out and found again after plugging back.
TEST(JoystickSdlTest, VirtualJoystickIsReadAndFoundAgain) {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0);
    int deviceIndex = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_FLIGHT_STICK, 6, 8, 1);
    ASSERT_GE(deviceIndex, 0) << SDL_GetError();
    ::testing::internal::CaptureStdout();
    JoystickDevice joystick(nullptr, createSdlJoystickSource());
    const std::string log = ::testing::internal::GetCapturedStdout();
    joystick.registerButtonNames();
    ASSERT_EQ(joystick.getDeviceCount(), 1) << log;
    EXPECT_NE(log.find("Joystick/Gamepad found: "), std::string::npos);

    SDL_Joystick* handle = SDL_JoystickOpen(deviceIndex);
    ASSERT_NE(handle, nullptr);
    SDL_JoystickSetVirtualAxis(handle, 0, 30000);
    SDL_JoystickSetVirtualButton(handle, 2, 1);
    SDL_JoystickSetVirtualHat(handle, 0, SDL_HAT_LEFT);
    joystick.pollSource();
    ButtonMapping m;
    m.device = &joystick;
    m.buttonIndex = joystick.getButtonIndex("JOYSTICK_AXIS_X");
    EXPECT_NEAR(joystick.getValue(m), (30000.0f / 32767.0f - 0.24f) / 0.76f, 1e-3f);
    m.buttonIndex = joystick.getButtonIndex("BUTTON_2");
    EXPECT_EQ(joystick.getValue(m), 1.0f);
    m.buttonIndex = joystick.getButtonIndex("JOYSTICK_DPAD_LEFT");
    EXPECT_EQ(joystick.getValue(m), 1.0f);

    SDL_JoystickClose(handle);
    SDL_JoystickDetachVirtual(deviceIndex);
    EXPECT_TRUE(joystick.pollSource());
    joystick.rescan();
    EXPECT_EQ(joystick.getDeviceCount(), 0);
    EXPECT_FALSE(joystick.isConnected(0));

    deviceIndex = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_FLIGHT_STICK, 6, 8, 1);
    ASSERT_GE(deviceIndex, 0);
    EXPECT_TRUE(joystick.pollSource());
    EXPECT_FALSE(joystick.pollSource()) << "the change is told once";
    joystick.rescan();
    EXPECT_EQ(joystick.getDeviceCount(), 1);
    SDL_JoystickDetachVirtual(deviceIndex);
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}
#endif

} // namespace
