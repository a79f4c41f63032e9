#include "player/devices/MoveDevice.h"

#include <IVideoDriver.h>

namespace {

MoveDevice*& theMoveDevice() {
    static MoveDevice* device = nullptr;
    return device;
}

} // namespace

MoveDevice* moveDevice() { return theMoveDevice(); }

MoveDevice::MoveDevice(irr::video::IVideoDriver* driver) {
    if (driver) {
        videoTexture = driver->getTexture("Content/Screens/Objects/MoveVideo.png");
        whiteTexture = driver->getTexture("Content/Models/Editor/White.png");
    }
    theMoveDevice() = this;
}

MoveDevice::~MoveDevice() {
    if (theMoveDevice() == this)
        theMoveDevice() = nullptr;
}

void MoveDevice::registerButtonNames() {
    for (int button = 0; button < 32; ++button) {
        addButtonName("BUTTON_" + std::to_string(button), button);
        addButtonName("NAV_BUTTON_" + std::to_string(button), FirstNavButton + button);
    }
    const char* const motionNames[] = {"MOVE_VEL_X", "MOVE_VEL_Y", "MOVE_VEL_Z"};
    const char* const directionNames[] = {"MOVE_DIR_X", "MOVE_DIR_Y", "MOVE_DIR_Z"};
    for (int axis = 0; axis < 3; ++axis) {
        addButtonName(motionNames[axis], FirstVelocity + axis);
        addButtonName(directionNames[axis], FirstDirection + axis);
    }
    const char* const navNames[] = {"NAV_AXIS_X_POS", "NAV_AXIS_X_NEG", "NAV_AXIS_Y_POS", "NAV_AXIS_Y_NEG"};
    for (int half = 0; half < 4; ++half)
        addButtonName(navNames[half], NavXPositive + half);
}

// record: 0 the current state, 1 the previous one.
float MoveDevice::valueOf(const ButtonMapping& mapping, int record) const {
    const int controller = mapping.instance;
    if (controller < 0 || controller >= controllers)
        return 0.0f;
    const MotionRecord& motionRecord = motion[mapping.param1 == 0.0f ? 0 : 1][controller][record];
    const NavigationRecord& nav = navigation[controller][record];
    const int index = mapping.buttonIndex;
    if (index >= FirstVelocity && index < FirstVelocity + 3)
        return motionRecord.velocity[index - FirstVelocity];
    if (index >= FirstDirection && index < FirstDirection + 3)
        return motionRecord.direction[index - FirstDirection];
    if (index >= NavXPositive && index <= NavYNegative) {
        const float axis = nav.axes[(index - NavXPositive) / 2];
        const bool positive = (index - NavXPositive) % 2 == 0;
        return positive ? (axis > 0.0f ? axis : 0.0f) : (axis < 0.0f ? -axis : 0.0f);
    }
    return 0.0f;
}

float MoveDevice::getValue(const ButtonMapping& mapping) { return valueOf(mapping, 0); }

bool MoveDevice::wasPressed(const ButtonMapping& mapping) {
    if (mapping.buttonIndex <= 32)
        return false;
    return valueOf(mapping, 0) != 0.0f && valueOf(mapping, 1) == 0.0f;
}
