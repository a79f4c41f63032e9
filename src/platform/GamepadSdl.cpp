// The gamepad service on SDL2's game controllers: the first four controllers opened are
// pads 0-3. SDL starts its controller support without a display; with no pad plugged in
// it simply reports none.
#include "platform/Gamepad.h"

#ifdef PADDLESTONE_HAVE_SDL2

#include <SDL.h>

#include <algorithm>

namespace platform {

namespace {

// A rumble request lasts this long unless renewed, so motors stop by themselves when the
// game stops updating them.
constexpr Uint32 rumbleDurationMs = 100;
constexpr Uint32 rumbleRenewMs = 50;

struct ButtonBit {
    SDL_GameControllerButton button;
    std::uint16_t bit;
};

constexpr ButtonBit buttonBits[] = {
    {SDL_CONTROLLER_BUTTON_DPAD_UP, padButton::dpadUp},
    {SDL_CONTROLLER_BUTTON_DPAD_DOWN, padButton::dpadDown},
    {SDL_CONTROLLER_BUTTON_DPAD_LEFT, padButton::dpadLeft},
    {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, padButton::dpadRight},
    {SDL_CONTROLLER_BUTTON_START, padButton::start},
    {SDL_CONTROLLER_BUTTON_BACK, padButton::back},
    {SDL_CONTROLLER_BUTTON_LEFTSTICK, padButton::leftThumb},
    {SDL_CONTROLLER_BUTTON_RIGHTSTICK, padButton::rightThumb},
    {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, padButton::leftShoulder},
    {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, padButton::rightShoulder},
    {SDL_CONTROLLER_BUTTON_A, padButton::a},
    {SDL_CONTROLLER_BUTTON_B, padButton::b},
    {SDL_CONTROLLER_BUTTON_X, padButton::x},
    {SDL_CONTROLLER_BUTTON_Y, padButton::y},
};

// SDL's Y axes point down; the pads' state points up. -(-32768) does not fit: saturate.
std::int16_t upwardAxis(Sint16 value) {
    return value == -32768 ? std::int16_t(32767) : std::int16_t(-value);
}

// SDL's triggers run 0..32767; the state's run 0..255.
std::uint8_t triggerValue(Sint16 value) { return std::uint8_t(std::max<Sint16>(value, 0) >> 7); }

class SdlPadBackend final : public PadBackend {
public:
    SdlPadBackend() {
        // The controllers' state is read each refresh; of their per-change events only the
        // button presses are taken (a press and release between two refreshes still counts
        // as held for one), and the joystick events they are made from (every refresh
        // empties the queue). The rest would pile up in a queue nobody empties.
        for (Uint32 type : {SDL_CONTROLLERAXISMOTION, SDL_CONTROLLERBUTTONUP, SDL_JOYBALLMOTION,
                            SDL_CONTROLLERTOUCHPADDOWN, SDL_CONTROLLERTOUCHPADMOTION,
                            SDL_CONTROLLERTOUCHPADUP, SDL_CONTROLLERSENSORUPDATE})
            SDL_EventState(type, SDL_IGNORE);
        for (int index = 0; index < SDL_NumJoysticks(); ++index)
            openController(index);
        drainEvents();
    }

    ~SdlPadBackend() override {
        for (Pad& pad : pads)
            closePad(pad);
        SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    }

    const char* name() const override { return "SDL2 game controllers"; }

    bool refresh() override {
        for (Pad& pad : pads)
            pad.pressedSinceRefresh = 0;
        SDL_GameControllerUpdate();
        return drainEvents();
    }

    bool getState(int index, PadState& state) override {
        Pad* pad = attachedPad(index);
        if (!pad)
            return false;
        PadState now;
        for (const ButtonBit& entry : buttonBits)
            if (SDL_GameControllerGetButton(pad->controller, entry.button))
                now.buttons |= entry.bit;
        now.buttons |= pad->pressedSinceRefresh;
        now.leftTrigger = triggerValue(SDL_GameControllerGetAxis(pad->controller, SDL_CONTROLLER_AXIS_TRIGGERLEFT));
        now.rightTrigger = triggerValue(SDL_GameControllerGetAxis(pad->controller, SDL_CONTROLLER_AXIS_TRIGGERRIGHT));
        now.thumbLX = SDL_GameControllerGetAxis(pad->controller, SDL_CONTROLLER_AXIS_LEFTX);
        now.thumbLY = upwardAxis(SDL_GameControllerGetAxis(pad->controller, SDL_CONTROLLER_AXIS_LEFTY));
        now.thumbRX = SDL_GameControllerGetAxis(pad->controller, SDL_CONTROLLER_AXIS_RIGHTX);
        now.thumbRY = upwardAxis(SDL_GameControllerGetAxis(pad->controller, SDL_CONTROLLER_AXIS_RIGHTY));
        // The packet number changes exactly when the state does.
        const PadState& last = pad->last;
        if (now.buttons != last.buttons || now.leftTrigger != last.leftTrigger ||
            now.rightTrigger != last.rightTrigger || now.thumbLX != last.thumbLX ||
            now.thumbLY != last.thumbLY || now.thumbRX != last.thumbRX || now.thumbRY != last.thumbRY)
            ++pad->packet;
        now.packet = pad->packet;
        pad->last = now;
        state = now;
        return true;
    }

    bool setVibration(int index, std::uint16_t left, std::uint16_t right) override {
        Pad* pad = attachedPad(index);
        if (!pad)
            return false;
        const Uint32 now = SDL_GetTicks();
        const bool changed = left != pad->sentLeft || right != pad->sentRight;
        const bool running = (left != 0 || right != 0) && now - pad->sentAt >= rumbleRenewMs;
        if (changed || running) {
            // Pads without motors answer -1; the pad is still there.
            SDL_GameControllerRumble(pad->controller, left, right, rumbleDurationMs);
            pad->sentLeft = left;
            pad->sentRight = right;
            pad->sentAt = now;
        }
        return true;
    }

private:
    struct Pad {
        SDL_GameController* controller = nullptr;
        SDL_JoystickID instance = -1;
        PadState last;
        // Buttons that went down since the last refresh, whether or not still held.
        std::uint16_t pressedSinceRefresh = 0;
        std::uint32_t packet = 0;
        std::uint16_t sentLeft = 0;
        std::uint16_t sentRight = 0;
        Uint32 sentAt = 0;
    };

    Pad* attachedPad(int index) {
        if (index < 0 || index >= maxGamepads)
            return nullptr;
        Pad& pad = pads[index];
        if (!pad.controller || !SDL_GameControllerGetAttached(pad.controller))
            return nullptr;
        return &pad;
    }

    bool openController(int deviceIndex) {
        if (!SDL_IsGameController(deviceIndex))
            return false;
        const SDL_JoystickID instance = SDL_JoystickGetDeviceInstanceID(deviceIndex);
        for (const Pad& pad : pads)
            if (pad.controller && pad.instance == instance)
                return false;
        for (Pad& pad : pads) {
            if (pad.controller)
                continue;
            pad.controller = SDL_GameControllerOpen(deviceIndex);
            if (!pad.controller)
                return false;
            pad.instance = instance;
            return true;
        }
        return false; // four pads in use already
    }

    void closePad(Pad& pad) {
        if (pad.controller) {
            SDL_GameControllerRumble(pad.controller, 0, 0, 0);
            SDL_GameControllerClose(pad.controller);
        }
        pad = Pad();
    }

    // Takes in plug and unplug reports; true when the set of pads changed.
    bool drainEvents() {
        bool changed = false;
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            if (event.type == SDL_CONTROLLERBUTTONDOWN) {
                for (Pad& pad : pads)
                    if (pad.controller && pad.instance == event.cbutton.which)
                        for (const ButtonBit& entry : buttonBits)
                            if (entry.button == event.cbutton.button)
                                pad.pressedSinceRefresh |= entry.bit;
            } else if (event.type == SDL_CONTROLLERDEVICEADDED) {
                changed |= openController(event.cdevice.which);
            } else if (event.type == SDL_CONTROLLERDEVICEREMOVED) {
                for (Pad& pad : pads) {
                    if (pad.controller && pad.instance == event.cdevice.which) {
                        closePad(pad);
                        changed = true;
                    }
                }
            }
        }
        return changed;
    }

    Pad pads[maxGamepads];
};

} // namespace

std::unique_ptr<PadBackend> createSdlPadBackend() {
    // The game keeps its own handling of termination signals, and reads pads whether or not
    // its window has the focus.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0)
        return nullptr;
    return std::make_unique<SdlPadBackend>();
}

} // namespace platform

#else

namespace platform {
std::unique_ptr<PadBackend> createSdlPadBackend() { return nullptr; }
} // namespace platform

#endif
