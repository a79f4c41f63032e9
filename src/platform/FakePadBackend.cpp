#include "platform/FakePadBackend.h"

namespace platform {

FakePadBackend::Pad* FakePadBackend::find(int pad) {
    return pad >= 0 && pad < maxGamepads ? &pads[pad] : nullptr;
}

const FakePadBackend::Pad* FakePadBackend::find(int pad) const {
    return pad >= 0 && pad < maxGamepads ? &pads[pad] : nullptr;
}

bool FakePadBackend::refresh() {
    const bool result = changed;
    changed = false;
    return result;
}

bool FakePadBackend::getState(int pad, PadState& state) {
    Pad* entry = find(pad);
    if (!entry)
        return false;
    ++entry->queries;
    if (!entry->connected)
        return false;
    state = entry->state;
    return true;
}

bool FakePadBackend::setVibration(int pad, std::uint16_t left, std::uint16_t right) {
    calls.push_back({pad, left, right});
    Pad* entry = find(pad);
    if (!entry || !entry->connected)
        return false;
    entry->left = left;
    entry->right = right;
    return true;
}

void FakePadBackend::setConnected(int pad, bool connected) {
    Pad* entry = find(pad);
    if (!entry || entry->connected == connected)
        return;
    entry->connected = connected;
    changed = true;
}

void FakePadBackend::setState(int pad, const PadState& state) {
    Pad* entry = find(pad);
    if (!entry)
        return;
    const std::uint32_t packet = entry->state.packet + 1;
    entry->state = state;
    entry->state.packet = packet;
}

void FakePadBackend::setButtons(int pad, std::uint16_t buttons) {
    if (Pad* entry = find(pad)) {
        PadState state = entry->state;
        state.buttons = buttons;
        setState(pad, state);
    }
}

void FakePadBackend::setSticks(int pad, std::int16_t lx, std::int16_t ly, std::int16_t rx, std::int16_t ry) {
    if (Pad* entry = find(pad)) {
        PadState state = entry->state;
        state.thumbLX = lx;
        state.thumbLY = ly;
        state.thumbRX = rx;
        state.thumbRY = ry;
        setState(pad, state);
    }
}

void FakePadBackend::setTriggers(int pad, std::uint8_t left, std::uint8_t right) {
    if (Pad* entry = find(pad)) {
        PadState state = entry->state;
        state.leftTrigger = left;
        state.rightTrigger = right;
        setState(pad, state);
    }
}

std::uint16_t FakePadBackend::leftMotor(int pad) const {
    const Pad* entry = find(pad);
    return entry ? entry->left : 0;
}

std::uint16_t FakePadBackend::rightMotor(int pad) const {
    const Pad* entry = find(pad);
    return entry ? entry->right : 0;
}

int FakePadBackend::stateQueries(int pad) const {
    const Pad* entry = find(pad);
    return entry ? entry->queries : 0;
}

} // namespace platform
