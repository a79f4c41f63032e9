#pragma once

#include <irrlicht.h>

#include <cstring>

namespace test {

// An engine device on the null video driver: no window, no X server. The engine's own
// console chatter is silenced unless a test installs a receiver of its own.
irr::IrrlichtDevice* createNullDevice(irr::IEventReceiver* receiver = nullptr);

// A key going down or up, posted through the device as the window would.
inline void postKey(irr::IrrlichtDevice* device, irr::EKEY_CODE code, bool down) {
    irr::SEvent event;
    std::memset(static_cast<void*>(&event), 0, sizeof(event));
    event.EventType = irr::EET_KEY_INPUT_EVENT;
    event.KeyInput.Key = code;
    event.KeyInput.PressedDown = down;
    device->postEventFromUser(event);
}

// Owns a null device for the scope of a test.
class NullDevice {
public:
    explicit NullDevice(irr::IEventReceiver* receiver = nullptr)
        : device(createNullDevice(receiver)) {}
    ~NullDevice() {
        if (device)
            device->drop();
    }
    NullDevice(const NullDevice&) = delete;
    NullDevice& operator=(const NullDevice&) = delete;

    irr::IrrlichtDevice* get() const { return device; }
    irr::IrrlichtDevice* operator->() const { return device; }

private:
    irr::IrrlichtDevice* device;
};

} // namespace test
