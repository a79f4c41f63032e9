#include "player/devices/LeapDevice.h"

#include "core/Globals.h"
#include "player/PlayerObject.h"

namespace {

const char* const leapInputNames[LeapDevice::InputCount] = {
    "LEAP_RIGHT_VEL_X",     "LEAP_RIGHT_VEL_Y",  "LEAP_RIGHT_VEL_Z",   "LEAP_LEFT_VEL_X",    "LEAP_LEFT_VEL_Y",
    "LEAP_LEFT_VEL_Z",      "LEAP_ONEHAND_GRABBING", "LEAP_ONEHAND_OPEN", "LEAP_RIGHT_GRABBING", "LEAP_RIGHT_OPEN",
    "LEAP_LEFT_GRABBING",   "LEAP_LEFT_OPEN",    "LEAP_HAND_CHANGE"};

float leapFlag(bool value) { return value ? 1.0f : 0.0f; }

} // namespace

void LeapDevice::registerButtonNames() {
    for (int index = 0; index < InputCount; ++index)
        addButtonName(leapInputNames[index], index);
}

float LeapDevice::getValue(const ButtonMapping& mapping) {
    switch (mapping.buttonIndex) {
    case RightVelX: return rightVelocity[0];
    case RightVelY: return rightVelocity[1];
    case RightVelZ: return -rightVelocity[2];
    case LeftVelX: return leftVelocity[0];
    case LeftVelY: return leftVelocity[1];
    case LeftVelZ: return -leftVelocity[2];
    case OneHandGrabbing: return leapFlag(handCount == 1 && rightGrabbing);
    case OneHandOpen: return leapFlag(handCount == 1 && !rightGrabbing);
    case RightGrabbing: return leapFlag(handCount >= 1 && rightGrabbing);
    case RightOpen: return leapFlag(handCount >= 1 && !rightGrabbing);
    case LeftGrabbing: return leapFlag(handCount >= 2 && leftGrabbing);
    case LeftOpen: return leapFlag(handCount >= 2 && !leftGrabbing);
    case HandChange: {
        PlayerObject* player = getPlayer(0);
        if (!player)
            return 0.0f;
        if (player->getControlMode() != ControlMode::Arms)
            return leapFlag(handCount == 1 && previousHandCount != 1);
        return leapFlag(handCount == 2 && previousHandCount != 2);
    }
    default: return 0.0f;
    }
}

bool LeapDevice::wasPressed(const ButtonMapping& mapping) {
    const int index = mapping.buttonIndex;
    if (index >= RightVelX && index <= LeftVelZ)
        return true;
    switch (index) {
    case OneHandGrabbing: return handCount == 1 && rightGrabbing && !rightGrabbingBefore;
    case OneHandOpen: return handCount == 1 && !rightGrabbing;
    case RightGrabbing: return handCount >= 1 && rightGrabbing && !rightGrabbingBefore;
    case RightOpen: return handCount >= 1 && !rightGrabbing;
    case LeftGrabbing: return handCount >= 2 && leftGrabbing && !leftGrabbingBefore;
    case LeftOpen: return handCount >= 2 && !leftGrabbing;
    case HandChange: {
        PlayerObject* player = getPlayer(0);
        if (!player)
            return false;
        if (player->getControlMode() != ControlMode::Arms)
            return handCount == 1 && previousHandCount == 2;
        return handCount == 2 && previousHandCount == 1;
    }
    default: return false;
    }
}
