#include "player/devices/VibrationController.h"

#include "player/devices/GamepadDevice.h"

#include <cmath>

std::uint16_t motorSpeed(float level) {
    // Sums of amounts can ask for more than full speed, and negative amounts for less than
    // none; the motor takes neither.
    const float speed = level * 65535.0f;
    if (!(speed > 0.0f))
        return 0;
    if (speed >= 65535.0f)
        return 65535;
    return std::uint16_t(speed);
}

VibrationController::VibrationController(const GamepadDevice* gamepadDevice) : gamepads(gamepadDevice) {}

VibrationController::~VibrationController() { clearRumbleEffects(); }

float VibrationController::leftLevel(int pad) const {
    return pad >= 0 && pad < platform::maxGamepads ? pads[pad].leftLevel : 0.0f;
}

float VibrationController::rightLevel(int pad) const {
    return pad >= 0 && pad < platform::maxGamepads ? pads[pad].rightLevel : 0.0f;
}

void VibrationController::addAmounts(int pad, float left, float right) {
    if (pad < 0 || pad >= platform::maxGamepads)
        return;
    pads[pad].nextLeft += left;
    pads[pad].nextRight += right;
}

void VibrationController::addEffect(const RumbleEffect& effect) {
    if (effect.pad < 0 || effect.pad >= platform::maxGamepads)
        return;
    rumbleEffects.push_back(effect);
}

void VibrationController::clearRumbleEffects() { rumbleEffects.clear(); }

void VibrationController::initVibration() {
    for (PadVibration& pad : pads)
        pad = PadVibration();
    applyEffects(0.0f);
    applyMotorRule();
}

void VibrationController::applyEffects(float dt) {
    for (auto effect = rumbleEffects.begin(); effect != rumbleEffects.end();) {
        // An effect without length has no share to give.
        if (effect->duration > 0.0f) {
            const float t = (effect->elapsed - effect->delay) / effect->duration;
            if (t >= 0.0f) {
                PadVibration& pad = pads[effect->pad];
                pad.nextLeft += effect->startLeft * (1.0f - t) + effect->endLeft * t;
                pad.nextRight += effect->startRight * (1.0f - t) + effect->endRight * t;
            }
        }
        effect->elapsed += dt;
        if (effect->elapsed > effect->delay + effect->duration)
            effect = rumbleEffects.erase(effect);
        else
            ++effect;
    }
}

void VibrationController::applyMotorRule() {
    for (int index = 0; index < platform::maxGamepads; ++index) {
        PadVibration& pad = pads[index];
        pad.currentLeft = pad.nextLeft;
        pad.currentRight = pad.nextRight;
        pad.nextLeft = pad.nextRight = 0.0f;
        if (!gamepads || !gamepads->isConnected(index))
            continue;
        pad.leftLevel = enabled ? pad.currentLeft * motorScale : 0.0f;
        pad.rightLevel = enabled ? pad.currentRight * motorScale : 0.0f;
    }
}

void VibrationController::updateVibration(float dt) {
    applyEffects(dt);
    applyMotorRule();
}
