#include "player/devices/JoystickSource.h"

irr::u16 hatAngleFromBits(irr::u8 bits) {
    switch (bits & 0x0f) {
    case 1: return 0;
    case 1 | 2: return 4500;
    case 2: return 9000;
    case 4 | 2: return 13500;
    case 4: return 18000;
    case 4 | 8: return 22500;
    case 8: return 27000;
    case 1 | 8: return 31500;
    default: return JoystickData::hatCentred;
    }
}

#ifdef PADDLESTONE_HAVE_SDL2

#include <SDL.h>

#include <algorithm>

namespace {

class SdlJoystickSource final : public JoystickSource {
public:
    SdlJoystickSource() {
        // States are read directly; per-change events would pile up in a queue nobody empties.
        for (Uint32 type : {SDL_JOYAXISMOTION, SDL_JOYBALLMOTION, SDL_JOYHATMOTION, SDL_JOYBUTTONDOWN, SDL_JOYBUTTONUP})
            SDL_EventState(type, SDL_IGNORE);
        knownIds = pluggedIds();
    }

    ~SdlJoystickSource() override {
        closeAll();
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    }

    void activate(std::vector<JoystickInfo>& infos) override {
        closeAll();
        infos.clear();
        SDL_JoystickUpdate();
        for (int index = 0; index < SDL_NumJoysticks(); ++index) {
            if (SDL_IsGameController(index))
                continue;
            SDL_Joystick* joystick = SDL_JoystickOpen(index);
            if (!joystick)
                continue;
            JoystickInfo info;
            info.joystick = irr::u8(opened.size());
            const char* name = SDL_JoystickName(joystick);
            info.name = name ? name : "";
            info.axes = irr::u32(std::max(SDL_JoystickNumAxes(joystick), 0));
            info.buttons = irr::u32(std::max(SDL_JoystickNumButtons(joystick), 0));
            info.hasHat = SDL_JoystickNumHats(joystick) > 0;
            infos.push_back(info);
            opened.push_back(joystick);
        }
        knownIds = pluggedIds();
    }

    void poll(std::vector<JoystickData>& states) override {
        states.clear();
        SDL_JoystickUpdate();
        for (std::size_t number = 0; number < opened.size(); ++number) {
            SDL_Joystick* joystick = opened[number];
            if (!SDL_JoystickGetAttached(joystick))
                continue;
            JoystickData data;
            data.joystick = irr::u8(number);
            const int buttons = std::min(SDL_JoystickNumButtons(joystick), 32);
            for (int button = 0; button < buttons; ++button)
                if (SDL_JoystickGetButton(joystick, button))
                    data.buttons |= 1u << button;
            const int axes = std::min(SDL_JoystickNumAxes(joystick), JoystickData::axisCount);
            for (int axis = 0; axis < axes; ++axis)
                data.axes[axis] = SDL_JoystickGetAxis(joystick, axis);
            if (SDL_JoystickNumHats(joystick) > 0)
                data.hat = hatAngleFromBits(SDL_JoystickGetHat(joystick, 0));
            states.push_back(data);
        }
    }

    bool devicesChanged() override {
        SDL_JoystickUpdate();
        std::vector<SDL_JoystickID> now = pluggedIds();
        if (now == knownIds)
            return false;
        knownIds = std::move(now);
        return true;
    }

private:
    // The joysticks plugged in that are not game controllers.
    static std::vector<SDL_JoystickID> pluggedIds() {
        std::vector<SDL_JoystickID> ids;
        for (int index = 0; index < SDL_NumJoysticks(); ++index)
            if (!SDL_IsGameController(index))
                ids.push_back(SDL_JoystickGetDeviceInstanceID(index));
        return ids;
    }

    void closeAll() {
        for (SDL_Joystick* joystick : opened)
            SDL_JoystickClose(joystick);
        opened.clear();
    }

    std::vector<SDL_Joystick*> opened;
    std::vector<SDL_JoystickID> knownIds;
};

} // namespace

std::unique_ptr<JoystickSource> createSdlJoystickSource() {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0)
        return nullptr;
    return std::make_unique<SdlJoystickSource>();
}

#else

std::unique_ptr<JoystickSource> createSdlJoystickSource() { return nullptr; }

#endif
