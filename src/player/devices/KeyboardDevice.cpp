#include "player/devices/KeyboardDevice.h"

#include "player/devices/MouseDevice.h"

#include <IEventReceiver.h>

#include <algorithm>
#include <iterator>

namespace {

// The key names and codes in the order they are registered; the codes are the engine's
// key codes.
#define PADDLESTONE_KEY(name) {#name, irr::name}
struct KeyName {
    const char* name;
    irr::EKEY_CODE code;
};
constexpr KeyName keyNames[] = {
    PADDLESTONE_KEY(KEY_LBUTTON), PADDLESTONE_KEY(KEY_RBUTTON), PADDLESTONE_KEY(KEY_CANCEL),
    PADDLESTONE_KEY(KEY_MBUTTON), PADDLESTONE_KEY(KEY_XBUTTON1), PADDLESTONE_KEY(KEY_XBUTTON2),
    PADDLESTONE_KEY(KEY_BACK), PADDLESTONE_KEY(KEY_TAB), PADDLESTONE_KEY(KEY_CLEAR),
    PADDLESTONE_KEY(KEY_RETURN), PADDLESTONE_KEY(KEY_SHIFT), PADDLESTONE_KEY(KEY_CONTROL),
    PADDLESTONE_KEY(KEY_MENU), PADDLESTONE_KEY(KEY_PAUSE), PADDLESTONE_KEY(KEY_CAPITAL),
    PADDLESTONE_KEY(KEY_KANA), PADDLESTONE_KEY(KEY_HANGUEL), PADDLESTONE_KEY(KEY_HANGUL),
    PADDLESTONE_KEY(KEY_JUNJA), PADDLESTONE_KEY(KEY_FINAL), PADDLESTONE_KEY(KEY_HANJA),
    PADDLESTONE_KEY(KEY_KANJI), PADDLESTONE_KEY(KEY_ESCAPE), PADDLESTONE_KEY(KEY_CONVERT),
    PADDLESTONE_KEY(KEY_NONCONVERT), PADDLESTONE_KEY(KEY_ACCEPT), PADDLESTONE_KEY(KEY_MODECHANGE),
    PADDLESTONE_KEY(KEY_SPACE), PADDLESTONE_KEY(KEY_PRIOR), PADDLESTONE_KEY(KEY_NEXT),
    PADDLESTONE_KEY(KEY_END), PADDLESTONE_KEY(KEY_HOME), PADDLESTONE_KEY(KEY_LEFT),
    PADDLESTONE_KEY(KEY_UP), PADDLESTONE_KEY(KEY_RIGHT), PADDLESTONE_KEY(KEY_DOWN),
    PADDLESTONE_KEY(KEY_SELECT), PADDLESTONE_KEY(KEY_PRINT), PADDLESTONE_KEY(KEY_EXECUT),
    PADDLESTONE_KEY(KEY_SNAPSHOT), PADDLESTONE_KEY(KEY_INSERT), PADDLESTONE_KEY(KEY_DELETE),
    PADDLESTONE_KEY(KEY_HELP), PADDLESTONE_KEY(KEY_KEY_0), PADDLESTONE_KEY(KEY_KEY_1),
    PADDLESTONE_KEY(KEY_KEY_2), PADDLESTONE_KEY(KEY_KEY_3), PADDLESTONE_KEY(KEY_KEY_4),
    PADDLESTONE_KEY(KEY_KEY_5), PADDLESTONE_KEY(KEY_KEY_6), PADDLESTONE_KEY(KEY_KEY_7),
    PADDLESTONE_KEY(KEY_KEY_8), PADDLESTONE_KEY(KEY_KEY_9), PADDLESTONE_KEY(KEY_KEY_A),
    PADDLESTONE_KEY(KEY_KEY_B), PADDLESTONE_KEY(KEY_KEY_C), PADDLESTONE_KEY(KEY_KEY_D),
    PADDLESTONE_KEY(KEY_KEY_E), PADDLESTONE_KEY(KEY_KEY_F), PADDLESTONE_KEY(KEY_KEY_G),
    PADDLESTONE_KEY(KEY_KEY_H), PADDLESTONE_KEY(KEY_KEY_I), PADDLESTONE_KEY(KEY_KEY_J),
    PADDLESTONE_KEY(KEY_KEY_K), PADDLESTONE_KEY(KEY_KEY_L), PADDLESTONE_KEY(KEY_KEY_M),
    PADDLESTONE_KEY(KEY_KEY_N), PADDLESTONE_KEY(KEY_KEY_O), PADDLESTONE_KEY(KEY_KEY_P),
    PADDLESTONE_KEY(KEY_KEY_Q), PADDLESTONE_KEY(KEY_KEY_R), PADDLESTONE_KEY(KEY_KEY_S),
    PADDLESTONE_KEY(KEY_KEY_T), PADDLESTONE_KEY(KEY_KEY_U), PADDLESTONE_KEY(KEY_KEY_V),
    PADDLESTONE_KEY(KEY_KEY_W), PADDLESTONE_KEY(KEY_KEY_X), PADDLESTONE_KEY(KEY_KEY_Y),
    PADDLESTONE_KEY(KEY_KEY_Z), PADDLESTONE_KEY(KEY_LWIN), PADDLESTONE_KEY(KEY_RWIN),
    PADDLESTONE_KEY(KEY_APPS), PADDLESTONE_KEY(KEY_SLEEP), PADDLESTONE_KEY(KEY_NUMPAD0),
    PADDLESTONE_KEY(KEY_NUMPAD1), PADDLESTONE_KEY(KEY_NUMPAD2), PADDLESTONE_KEY(KEY_NUMPAD3),
    PADDLESTONE_KEY(KEY_NUMPAD4), PADDLESTONE_KEY(KEY_NUMPAD5), PADDLESTONE_KEY(KEY_NUMPAD6),
    PADDLESTONE_KEY(KEY_NUMPAD7), PADDLESTONE_KEY(KEY_NUMPAD8), PADDLESTONE_KEY(KEY_NUMPAD9),
    PADDLESTONE_KEY(KEY_MULTIPLY), PADDLESTONE_KEY(KEY_ADD), PADDLESTONE_KEY(KEY_SEPARATOR),
    PADDLESTONE_KEY(KEY_SUBTRACT), PADDLESTONE_KEY(KEY_DECIMAL), PADDLESTONE_KEY(KEY_DIVIDE),
    PADDLESTONE_KEY(KEY_F1), PADDLESTONE_KEY(KEY_F2), PADDLESTONE_KEY(KEY_F3),
    PADDLESTONE_KEY(KEY_F4), PADDLESTONE_KEY(KEY_F5), PADDLESTONE_KEY(KEY_F6),
    PADDLESTONE_KEY(KEY_F7), PADDLESTONE_KEY(KEY_F8), PADDLESTONE_KEY(KEY_F9),
    PADDLESTONE_KEY(KEY_F10), PADDLESTONE_KEY(KEY_F11), PADDLESTONE_KEY(KEY_F12),
    PADDLESTONE_KEY(KEY_F13), PADDLESTONE_KEY(KEY_F14), PADDLESTONE_KEY(KEY_F15),
    PADDLESTONE_KEY(KEY_F16), PADDLESTONE_KEY(KEY_F17), PADDLESTONE_KEY(KEY_F18),
    PADDLESTONE_KEY(KEY_F19), PADDLESTONE_KEY(KEY_F20), PADDLESTONE_KEY(KEY_F21),
    PADDLESTONE_KEY(KEY_F22), PADDLESTONE_KEY(KEY_F23), PADDLESTONE_KEY(KEY_F24),
    PADDLESTONE_KEY(KEY_NUMLOCK), PADDLESTONE_KEY(KEY_SCROLL), PADDLESTONE_KEY(KEY_LSHIFT),
    PADDLESTONE_KEY(KEY_RSHIFT), PADDLESTONE_KEY(KEY_LCONTROL), PADDLESTONE_KEY(KEY_RCONTROL),
    PADDLESTONE_KEY(KEY_LMENU), PADDLESTONE_KEY(KEY_RMENU), PADDLESTONE_KEY(KEY_OEM_1),
    PADDLESTONE_KEY(KEY_PLUS), PADDLESTONE_KEY(KEY_COMMA), PADDLESTONE_KEY(KEY_MINUS),
    PADDLESTONE_KEY(KEY_PERIOD), PADDLESTONE_KEY(KEY_OEM_2), PADDLESTONE_KEY(KEY_OEM_3),
    PADDLESTONE_KEY(KEY_OEM_4), PADDLESTONE_KEY(KEY_OEM_5), PADDLESTONE_KEY(KEY_OEM_6),
    PADDLESTONE_KEY(KEY_OEM_7), PADDLESTONE_KEY(KEY_OEM_8), PADDLESTONE_KEY(KEY_OEM_AX),
    PADDLESTONE_KEY(KEY_OEM_102), PADDLESTONE_KEY(KEY_ATTN), PADDLESTONE_KEY(KEY_CRSEL),
    PADDLESTONE_KEY(KEY_EXSEL), PADDLESTONE_KEY(KEY_EREOF), PADDLESTONE_KEY(KEY_PLAY),
    PADDLESTONE_KEY(KEY_ZOOM), PADDLESTONE_KEY(KEY_PA1), PADDLESTONE_KEY(KEY_OEM_CLEAR),
};
#undef PADDLESTONE_KEY
static_assert(std::size(keyNames) == 153);

// The key codes the mouse buttons are mirrored to: left, middle, right, extra 1, extra 2.
constexpr int mouseButtonCodes[KeyboardDevice::mouseButtonCount] = {
    irr::KEY_LBUTTON, irr::KEY_MBUTTON, irr::KEY_RBUTTON, irr::KEY_XBUTTON1, irr::KEY_XBUTTON2};
enum { LeftButton, MiddleButton, RightButton, Extra1Button, Extra2Button };

} // namespace

std::wstring KeyboardDevice::getDisplayName() const { return localisedName(65); }

void KeyboardDevice::registerButtonNames() {
    for (const KeyName& key : keyNames)
        addButtonName(key.name, key.code);
}

bool KeyboardDevice::takesPartInDetection() const {
    const auto* mouse = static_cast<const MouseDevice*>(getPairedDevice());
    return !(mouse && mouse->isMultiMouseActive());
}

bool KeyboardDevice::modifierHeld(int modifier) const {
    if (modifier == 0)
        return true;
    // A modifier outside the key codes counts as a key that is not held.
    if (modifier < 1 || modifier >= keyCount)
        return false;
    return keyStates[modifier] != InputState::Up;
}

float KeyboardDevice::getValue(const ButtonMapping& mapping) {
    const int code = mapping.buttonIndex;
    if (code < 1 || code >= keyCount || !modifierHeld(mapping.modifier))
        return 0.0f;
    return keyStates[code] != InputState::Up ? 1.0f : 0.0f;
}

bool KeyboardDevice::wasPressed(const ButtonMapping& mapping) {
    const int code = mapping.buttonIndex;
    if (code < 0 || code >= keyCount || !modifierHeld(mapping.modifier))
        return false;
    return keyStates[code] == InputState::Pressed;
}

bool KeyboardDevice::detectPressedInput(ButtonMapping& mapping) {
    int found = -1;
    for (int code = 0; code < keyCount; ++code) {
        ButtonMapping candidate;
        candidate.device = this;
        candidate.buttonIndex = code;
        if (wasPressed(candidate) && (found < 0 || keyPressOrder[code] > keyPressOrder[found]))
            found = code;
    }
    if (found < 0)
        return false;
    mapping = ButtonMapping();
    mapping.device = this;
    mapping.buttonIndex = found;
    return true;
}

void KeyboardDevice::setMouseButton(int button, irr::u32 state) {
    mouseButtonStates[button] = state;
    keyStates[mouseButtonCodes[button]] = state;
    if (state == InputState::Pressed)
        keyPressOrder[mouseButtonCodes[button]] = ++pressesThisFrame;
}

void KeyboardDevice::onEvent(const InputEvent& event) {
    if (!event.engine)
        return;
    if (eventsClosed) {
        const bool kept = event.kind == InputEventKind::Key || event.kind == InputEventKind::Mouse;
        if (kept && waitingEvents.size() < maxQueuedEvents)
            waitingEvents.push_back(*event.engine);
        return;
    }
    if (event.kind == InputEventKind::Key) {
        const irr::SEvent::SKeyInput& key = event.engine->KeyInput;
        const int code = int(key.Key);
        if (code < 0 || code >= keyCount)
            return;
        if (key.PressedDown) {
            // A key repeat of a held key is no new tap.
            if (keyStates[code] != InputState::Down && (keyStates[code] != InputState::Pressed || keyReleaseDue[code])) {
                ++keyTapCounts[code];
                keyPressOrder[code] = ++pressesThisFrame;
                if (keyPressQueue.size() < maxQueuedEvents)
                    keyPressQueue.push_back(code);
            }
            InputState::keyGoesDown(keyStates[code], keyReleaseDue[code]);
        }
        else
            InputState::goesUp(keyStates[code], keyReleaseDue[code]);
        return;
    }
    if (event.kind != InputEventKind::Mouse)
        return;
    const irr::SEvent::SMouseInput& mouse = event.engine->MouseInput;
    auto press = [this](int button) {
        irr::u32 state = mouseButtonStates[button];
        InputState::buttonGoesDown(state, mouseButtonReleaseDue[button]);
        setMouseButton(button, state);
    };
    auto release = [this](int button) {
        irr::u32 state = mouseButtonStates[button];
        InputState::goesUp(state, mouseButtonReleaseDue[button]);
        setMouseButton(button, state);
    };
    switch (mouse.Event) {
    case irr::EMIE_LMOUSE_PRESSED_DOWN: press(LeftButton); break;
    case irr::EMIE_LMOUSE_LEFT_UP: release(LeftButton); break;
    case irr::EMIE_MMOUSE_PRESSED_DOWN: press(MiddleButton); break;
    case irr::EMIE_MMOUSE_LEFT_UP: release(MiddleButton); break;
    case irr::EMIE_RMOUSE_PRESSED_DOWN: press(RightButton); break;
    case irr::EMIE_RMOUSE_LEFT_UP: release(RightButton); break;
    default: break;
    }
    // The extra buttons come only as bits of every mouse event's button states: a press
    // from Up, a release from a held state.
    const struct {
        int button;
        irr::u32 bit;
    } extras[] = {{Extra1Button, irr::EMBSM_EXTRA1}, {Extra2Button, irr::EMBSM_EXTRA2}};
    for (const auto& extra : extras) {
        const bool held = (mouse.ButtonStates & extra.bit) != 0;
        const irr::u32 state = mouseButtonStates[extra.button];
        if (held && (state == InputState::Up || mouseButtonReleaseDue[extra.button]))
            press(extra.button);
        else if (!held && (state == InputState::Down || state == InputState::Pressed))
            release(extra.button);
    }
}

void KeyboardDevice::endFrame() {
    eventsClosed = 0;
    keyPressQueue.clear();
    std::fill(std::begin(keyTapCounts), std::end(keyTapCounts), 0);
    std::fill(std::begin(keyPressOrder), std::end(keyPressOrder), 0);
    pressesThisFrame = 0;
    for (int code = 0; code < keyCount; ++code)
        InputState::age(keyStates[code], keyReleaseDue[code]);
    // The buttons' key codes follow their buttons.
    for (int button = 0; button < mouseButtonCount; ++button) {
        irr::u32 state = mouseButtonStates[button];
        InputState::age(state, mouseButtonReleaseDue[button]);
        setMouseButton(button, state);
    }
    // What came after the update belongs to the next frame.
    std::vector<irr::SEvent> waiting;
    waiting.swap(waitingEvents);
    for (const irr::SEvent& engineEvent : waiting) {
        InputEvent event;
        event.kind = engineEvent.EventType == irr::EET_KEY_INPUT_EVENT ? InputEventKind::Key : InputEventKind::Mouse;
        event.engine = &engineEvent;
        onEvent(event);
    }
}

void KeyboardDevice::reset() {
    keyPressQueue.clear();
    waitingEvents.clear();
    std::fill(std::begin(keyTapCounts), std::end(keyTapCounts), 0);
    std::fill(std::begin(keyPressOrder), std::end(keyPressOrder), 0);
    pressesThisFrame = 0;
    for (irr::u32& state : keyStates)
        state = InputState::Up;
    for (irr::u32& state : mouseButtonStates)
        state = InputState::Up;
    for (bool& due : keyReleaseDue)
        due = false;
    for (bool& due : mouseButtonReleaseDue)
        due = false;
}
