#include "player/devices/MultitouchDevice.h"

#include "core/Globals.h"
#include "core/ProgramQueries.h"
#include "level/LevelManager.h"
#include "player/PlayerHooks.h"
#include "player/PlayerObject.h"

#include <IrrlichtDevice.h>
#include <algorithm>
#include <cmath>

namespace {

const char* const multitouchInputNames[MultitouchDevice::inputCount] = {
    "MULTITOUCH_LEFT",           "MULTITOUCH_RIGHT",          "MULTITOUCH_LEFT_X_POS",
    "MULTITOUCH_LEFT_X_NEG",     "MULTITOUCH_LEFT_Y_POS",     "MULTITOUCH_LEFT_Y_NEG",
    "MULTITOUCH_RIGHT_X_POS",    "MULTITOUCH_RIGHT_X_NEG",    "MULTITOUCH_RIGHT_Y_POS",
    "MULTITOUCH_RIGHT_Y_NEG",    "MULTITOUCH_SCROLL_X_POS",   "MULTITOUCH_SCROLL_X_NEG",
    "MULTITOUCH_SCROLL_Y_POS",   "MULTITOUCH_SCROLL_Y_NEG",   "MULTITOUCH_DOUBLE_TAP",
    "MULTITOUCH_TWO_FINGER_DOUBLE_TAP", "MULTITOUCH_THREE_FINGER_TAP", "MULTITOUCH_PINCH",
    "MULTITOUCH_SPREAD",         "MULTITOUCH_ROTATE_POS",     "MULTITOUCH_ROTATE_NEG",
    "MULTITOUCH_SWIPE_TOP_EDGE", "MULTITOUCH_THREE_FINGER_X_POS", "MULTITOUCH_THREE_FINGER_X_NEG",
    "MULTITOUCH_THREE_FINGER_Y_POS", "MULTITOUCH_THREE_FINGER_Y_NEG", "MULTITOUCH_CLICK"};

constexpr float multitouchIdleLimit = 2.0f;
constexpr float multitouchForgetTouch = 5.0f;

} // namespace

MultitouchDevice::MultitouchDevice(bool noSwitch) : noSwitchMode(noSwitch) { reset(); }

void MultitouchDevice::registerButtonNames() {
    for (int index = 0; index < inputCount; ++index)
        addButtonName(multitouchInputNames[index], index);
}

void MultitouchDevice::reset() {
    std::fill(std::begin(values), std::end(values), 0.0f);
    std::fill(std::begin(pressed), std::end(pressed), false);
    for (auto& record : records) {
        std::fill(std::begin(record), std::end(record), 0.0f);
        std::fill(record, record + 4, -1.0f);
    }
    tapTimer = 0.0f;
    secondTimer = 0.0f;
    idleTime = multitouchIdleLimit;
    activeTouch = -1;
}

bool MultitouchDevice::holdsFinger(int record) const {
    return !(std::fabs(records[record][2] + 1.0f) <= 1e-6f && std::fabs(records[record][3] + 1.0f) <= 1e-6f);
}

float MultitouchDevice::getValue(const ButtonMapping& mapping) {
    const int index = mapping.buttonIndex;
    return index >= 0 && index < inputCount ? values[index] : 0.0f;
}

bool MultitouchDevice::wasPressed(const ButtonMapping& mapping) {
    const int index = mapping.buttonIndex;
    if (index < 0 || index >= inputCount)
        return false;
    if (index == Spread || index == SwipeTopEdge) {
        PlayerObject* player = getPlayer(0);
        if (player && player->getControlMode() == ControlMode::Legs)
            return false;
    }
    return pressed[index];
}

int MultitouchDevice::getDeviceCount() const {
    if (!holdsFinger(0) && !holdsFinger(1) && idleTime > multitouchIdleLimit)
        return 0;
    const bool screenLetsThrough =
        !screenManager || !levelManager ||
        ((playerHooks().screens.activeScreenState ? playerHooks().screens.activeScreenState() == 0.0f : true) &&
         !(levelManager && levelManager->touchInstanceFlag));
    return screenLetsThrough && !isMenuOpen() ? 1 : 0;
}

void MultitouchDevice::endFrame() {
    const float step = inputQueries::fixedStep();
    const bool windowActive = gameDevice && gameDevice->isWindowActive();
    if (!(windowActive && (holdsFinger(0) || holdsFinger(1)))) {
        for (auto& record : records)
            record[2] = record[3] = -1.0f;
        std::fill(std::begin(values), std::end(values), 0.0f);
    }
    const int fingers = int(holdsFinger(0)) + int(holdsFinger(1)) + int(holdsFinger(2));
    if (fingers >= 2 || (fingers == 1 && holdsFinger(2))) {
        values[Left] = values[Right] = 0.0f;
        if (holdsFinger(2) && records[2][2] < records[1][2])
            std::swap(records[2], records[1]);
        if (records[1][2] < records[0][2])
            std::swap(records[1], records[0]);
    }
    std::fill(values + 2, values + inputCount, 0.0f);
    std::fill(std::begin(pressed), std::end(pressed), false);
    if (tapTimer > 0.0f) {
        tapTimer -= step;
    } else if (tapTimer < 0.0f) {
        const int tapped = fingers <= 1 && holdsFinger(0) ? Left : Right;
        values[tapped] = 1.0f;
        pressed[tapped] = true;
        tapTimer = 0.0f;
    }
    if (secondTimer > 0.0f)
        secondTimer -= step;
    if (fingers > 0) {
        idleTime = 0.0f;
    } else {
        idleTime += step;
        if (idleTime > multitouchForgetTouch)
            activeTouch = -1;
    }
}
