#pragma once

#include "player/InputDevice.h"

#include <irrTypes.h>

namespace irr::video {
class ITexture;
class IVideoDriver;
} // namespace irr::video

// A motion controller with a navigation controller. Nothing feeds it in this program: its
// records keep their zeros, every value reads 0 and nothing is ever pressed; its button names
// are registered so that mapping files can name them.
class MoveDevice : public InputDevice {
public:
    static constexpr int controllers = 4;
    enum : int {
        FirstVelocity = 36,  // x, y, z
        FirstDirection = 42, // x, y, z
        FirstNavButton = 45,
        NavXPositive = 78,
        NavXNegative,
        NavYPositive,
        NavYNegative,
        InputCount = 82,
    };

    struct MotionRecord {
        irr::f32 velocity[3] = {};
        irr::f32 extra[3] = {};
        irr::f32 direction[3] = {};
        irr::u16 buttons = 0;
    };
    struct NavigationRecord {
        irr::f32 axes[2] = {};
        irr::f32 extra = 0.0f;
    };

    // Loads its two textures from the driver (when given) and becomes the process-wide one.
    explicit MoveDevice(irr::video::IVideoDriver* driver = nullptr);
    ~MoveDevice() override;

    float getValue(const ButtonMapping& mapping) override;
    bool wasPressed(const ButtonMapping& mapping) override;
    std::wstring getName() const override { return L"Move"; }
    void registerButtonNames() override;
    int getButtonCount() const override { return InputCount; }
    int getDeviceCount() const override { return 0; }
    int getConnectedCount() const override { return 0; }
    bool isConnected(int) const override { return false; }
    bool hasMultipleInstances() const override { return false; }
    bool usesModeSwitching() const override { return false; }
    bool takesPartInDetection() const override { return false; }

    // Two sets (the mapping's param1 0.0 picks the first), four controllers, current and previous.
    MotionRecord motion[2][controllers][2];
    NavigationRecord navigation[controllers][2];

private:
    float valueOf(const ButtonMapping& mapping, int record) const;

    irr::video::ITexture* videoTexture = nullptr;
    irr::video::ITexture* whiteTexture = nullptr;
};

// The motion-controller device, or null before one is made.
MoveDevice* moveDevice();
