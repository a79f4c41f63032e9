#include "player/InputDevice.h"

#include <gtest/gtest.h>

namespace {

// A device with scripted presses: instance i, button b is pressed when listed.
class ScriptedDevice : public InputDevice {
public:
    ScriptedDevice(const wchar_t* deviceName, int instances, int buttons)
        : name(deviceName), instances(instances), buttons(buttons) {}
    float getValue(const ButtonMapping& mapping) override { return wasPressed(mapping) ? 1.0f : 0.0f; }
    bool wasPressed(const ButtonMapping& mapping) override {
        return mapping.instance == pressedInstance && mapping.buttonIndex == pressedButton;
    }
    std::wstring getName() const override { return name; }
    void registerButtonNames() override {}
    int getButtonCount() const override { return buttons; }
    int getDeviceCount() const override { return instances; }
    bool isConnected(int instance) const override { return instance == 1; }
    bool hasMultipleInstances() const override { return instances > 1; }
    bool takesPartInDetection() const override { return detects; }

    std::wstring name;
    int instances;
    int buttons;
    int pressedInstance = -1;
    int pressedButton = -1;
    bool detects = true;
};

TEST(InputDeviceTest, DevicesListThemselvesInCreationOrder) {
    const std::size_t before = InputDevice::deviceList().size();
    {
        ScriptedDevice first(L"First", 1, 1);
        ScriptedDevice second(L"Second", 1, 1);
        ASSERT_EQ(InputDevice::deviceList().size(), before + 2);
        EXPECT_EQ(InputDevice::deviceList()[before], &first);
        EXPECT_EQ(InputDevice::deviceList()[before + 1], &second);
        EXPECT_EQ(first.getNameA(), "First");
    }
    EXPECT_EQ(InputDevice::deviceList().size(), before);
}

TEST(InputDeviceTest, FindByNameIgnoresCaseButNotBlanks) {
    ScriptedDevice pad(L"Gamepad", 4, 28);
    EXPECT_EQ(InputDevice::findByName("Gamepad"), &pad);
    EXPECT_EQ(InputDevice::findByName("gamepad"), &pad);
    EXPECT_EQ(InputDevice::findByName("GAMEPAD"), &pad);
    EXPECT_EQ(InputDevice::findByName("Gamepad "), nullptr);
    EXPECT_EQ(InputDevice::findByName(""), nullptr);
}

TEST(InputDeviceTest, NameTable) {
    ScriptedDevice device(L"Names", 1, 4);
    device.addButtonName("B_NAME", 2);
    device.addButtonName("A_NAME", 2);
    device.addButtonName("C_NAME", 3);
    EXPECT_EQ(device.getButtonIndex("C_NAME"), 3);
    EXPECT_EQ(device.getButtonIndex("c_name"), 3);
    EXPECT_EQ(device.getButtonIndex("D_NAME"), -1);
    EXPECT_EQ(device.getButtonName(2), "A_NAME");
    EXPECT_EQ(device.getButtonName(9), "");
}

// A device that says nothing of its own counts every instance as connected, switches modes,
// takes part in detection and has no pair.
TEST(InputDeviceTest, APlainDeviceTakesTheDefaults) {
    struct PlainDevice : InputDevice {
        float getValue(const ButtonMapping&) override { return 0.0f; }
        bool wasPressed(const ButtonMapping&) override { return false; }
        std::wstring getName() const override { return L"Plain"; }
        void registerButtonNames() override {}
        int getButtonCount() const override { return 2; }
        int getDeviceCount() const override { return 3; }
        bool hasMultipleInstances() const override { return true; }
    } plain;
    EXPECT_EQ(plain.getConnectedCount(), 3);
    EXPECT_TRUE(plain.isConnected(7));
    EXPECT_TRUE(plain.usesModeSwitching());
    EXPECT_TRUE(plain.takesPartInDetection());
    EXPECT_EQ(plain.getPairedDevice(), nullptr);
    EXPECT_EQ(plain.getButtonName(0), "");
}

TEST(InputDeviceTest, ConnectedCountAndDefaults) {
    ScriptedDevice none(L"None", 0, 0);
    EXPECT_EQ(none.getConnectedCount(), 0);
    ScriptedDevice three(L"Three", 3, 1);
    EXPECT_EQ(three.getConnectedCount(), 1);
    EXPECT_EQ(three.getAuxValue(), 0.0f);
    EXPECT_EQ(three.getDisplayName(), L"Three");
    EXPECT_EQ(three.getAlternateDisplayName(), L"Three");
    ButtonMapping mapping;
    mapping.device = &three;
    mapping.instance = 0;
    mapping.buttonIndex = 0;
    mapping.multiplier = -2.5f;
    three.pressedInstance = 0;
    three.pressedButton = 0;
    EXPECT_TRUE(three.isDown(mapping));
    EXPECT_EQ(three.getScaledValue(mapping), -2.5f);
}

TEST(InputDeviceTest, DetectionKeepsTheLastDeviceInListOrder) {
    ScriptedDevice first(L"First", 2, 5);
    ScriptedDevice second(L"Second", 1, 5);
    first.pressedInstance = 1;
    first.pressedButton = 3;
    second.pressedInstance = 0;
    second.pressedButton = 4;
    ASSERT_TRUE(InputDevice::detectAnyPressedInput());
    EXPECT_EQ(InputDevice::foundMapping().device, &second);
    EXPECT_EQ(InputDevice::foundMapping().buttonIndex, 4);
    second.pressedButton = -1;
    ASSERT_TRUE(InputDevice::detectAnyPressedInput());
    EXPECT_EQ(InputDevice::foundMapping().device, &first);
    EXPECT_EQ(InputDevice::foundMapping().instance, 1);
    EXPECT_EQ(InputDevice::foundMapping().buttonIndex, 3);
    EXPECT_TRUE(InputDevice::foundMapping().normalise);
    EXPECT_TRUE(InputDevice::foundMapping().keep);
}

TEST(InputDeviceTest, DeviceOutOfDetectionIsScannedThroughItsPair) {
    ScriptedDevice keyboard(L"Keys", 1, 10);
    ScriptedDevice mouse(L"Pointer", 0, 10);
    keyboard.detects = false;
    mouse.detects = false;
    mouse.setPairedDevice(&keyboard);
    keyboard.pressedInstance = 0;
    keyboard.pressedButton = 7;
    ASSERT_TRUE(InputDevice::detectAnyPressedInput());
    EXPECT_EQ(InputDevice::foundMapping().device, &keyboard);
    keyboard.pressedButton = -1;
    EXPECT_FALSE(InputDevice::detectAnyPressedInput());
}

} // namespace
