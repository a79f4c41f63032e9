#include "player/devices/MouseDevice.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "platform/MultiMouse.h"
#include "platform/Window.h"
#include "player/InputManager.h"
#include "player/PlayerHooks.h"

#include <cmath>
#include <iterator>
#include <irrlicht.h>

namespace {

constexpr const char* cursorTexturePath = "Content/Screens/Objects/Cursor.png";
// The cursor counts as idle from this many seconds without motion on.
constexpr irr::f32 idleHideSeconds = 5.0f;
// Cursor confinement in a window keeps this far inside each edge.
constexpr irr::s32 windowClipInset = 40;
constexpr irr::f32 wheelStepDistance = 40.0f;
constexpr irr::f32 wheelSmoothing = 0.4f;
// The middle hold counts its time in fixed frames, not in the physics step.
constexpr irr::f32 middleHoldFrame = 0.0167f;
constexpr irr::f32 middleHoldSeconds = 1.0f;
// Remapping: a half-axis binds only from a larger motion than this in one frame.
constexpr irr::f32 detectionMotion = 4.0f;

void pressButton(MouseState& record, irr::u32 MouseState::*button, int code) {
    InputState::buttonGoesDown(record.*button, record.releaseDue[code]);
    record.codeStates[code] = record.*button;
}

void releaseButton(MouseState& record, irr::u32 MouseState::*button, int code) {
    InputState::goesUp(record.*button, record.releaseDue[code]);
    record.codeStates[code] = record.*button;
}

bool codeHeld(const MouseState& record, int code) {
    return code >= 0 && code < 255 && record.codeStates[code] != InputState::Up;
}

bool modifierHeld(const MouseState& record, int modifier) { return modifier == 0 || codeHeld(record, modifier); }

} // namespace

MouseDevice::MouseDevice(irr::IrrlichtDevice* engineDevice, InputManager* inputOwner)
    : device(engineDevice), owner(inputOwner) {
    fullscreen = getSettingInt("Graphics_FullscreenMode") != 0;
    rawMice = platform::selectMultiMouseDriver();
    driverStarted = platform::selectedMultiMouseDriver() != nullptr;
    states.push_back(std::make_unique<MouseState>());
    windowAccess.isActive = [this]() { return device && device->isWindowActive(); };
    windowAccess.getRect = [this](irr::core::recti& rect) { return platform::getWindowRect(device, rect); };
    windowAccess.clipCursor = [this](const irr::core::recti* rect) { return platform::clipCursor(device, rect); };
    windowAccess.pointerPosition = [this]() { return cursorControl->getPosition(); };
}

MouseDevice::~MouseDevice() {
    if (driverStarted && platform::selectedMultiMouseDriver())
        platform::releaseMultiMouseDriver();
}

const MouseState* MouseDevice::state(int record) const {
    return record >= 0 && record < int(states.size()) ? states[record].get() : nullptr;
}

void MouseDevice::registerButtonNames() {
    addButtonName("MOUSE_LEFT", irr::KEY_LBUTTON);
    addButtonName("MOUSE_MIDDLE", irr::KEY_MBUTTON);
    addButtonName("MOUSE_RIGHT", irr::KEY_RBUTTON);
    addButtonName("MOUSE_X_POS", XPositive);
    addButtonName("MOUSE_X_NEG", XNegative);
    addButtonName("MOUSE_Y_POS", YPositive);
    addButtonName("MOUSE_Y_NEG", YNegative);
    addButtonName("MOUSE_X", XAxis);
    addButtonName("MOUSE_Y", YAxis);
    addButtonName("MOUSE_WHEEL", Wheel);
    addButtonName("MOUSE_WHEEL_SMOOTHED", WheelSmoothed);
    addButtonName("MOUSE_MIDDLE_HOLD", MiddleHold);
}

bool MouseDevice::isConnected(int instance) const {
    if (instance < 0 || instance >= getDeviceCount())
        return false;
    return states[instance + 1]->connected;
}

MouseState& MouseDevice::recordFor(const ButtonMapping& mapping) {
    const int record = mapping.instance + 1;
    if (micePerPlayer && mapping.instance >= 0 && record < int(states.size()))
        return *states[record];
    return *states[0];
}

float MouseDevice::getValue(const ButtonMapping& mapping) {
    const MouseState& record = recordFor(mapping);
    const int index = mapping.buttonIndex;
    if (index >= 1 && index <= 254)
        return modifierHeld(record, mapping.modifier) && codeHeld(record, index) ? 1.0f : 0.0f;
    switch (index) {
    case XPositive: return record.deltaX > 0.0f ? record.deltaX : 0.0f;
    case XNegative: return record.deltaX < 0.0f ? -record.deltaX : 0.0f;
    case YPositive: return record.deltaY > 0.0f ? record.deltaY : 0.0f;
    case YNegative: return record.deltaY < 0.0f ? -record.deltaY : 0.0f;
    case XAxis: return record.deltaX;
    case YAxis: return record.deltaY;
    case Wheel: return record.wheel;
    case WheelSmoothed: return record.wheelSmoothedDelta;
    case MiddleHold: return record.middleHold && !record.middleHoldPrev ? 1.0f : 0.0f;
    default: return 0.0f;
    }
}

bool MouseDevice::wasPressed(const ButtonMapping& mapping) {
    const MouseState& record = recordFor(mapping);
    const int index = mapping.buttonIndex;
    if (index >= 0 && index <= 254)
        return modifierHeld(record, mapping.modifier) && record.codeStates[index] == InputState::Pressed;
    if (index == MiddleHold)
        return record.middleHold && !record.middleHoldPrev;
    return false;
}

bool MouseDevice::detectPressedInput(ButtonMapping& mapping) {
    bool halfAxisFound = false;
    irr::f32 largest = 0.0f;
    for (int instance = 0; instance < getDeviceCount(); ++instance) {
        for (int index = 0; index < ButtonCount; ++index) {
            if (index == XAxis || index == YAxis)
                continue;
            ButtonMapping candidate;
            candidate.device = this;
            candidate.instance = instance;
            candidate.buttonIndex = index;
            const irr::f32 value = getValue(candidate);
            if (index >= XPositive && index <= YNegative) {
                const irr::f32 magnitude = std::fabs(value);
                if (magnitude > largest) {
                    largest = magnitude;
                    if (magnitude > detectionMotion) {
                        // Screen Y grows downwards: moving up binds the positive Y input.
                        if (index == YPositive)
                            candidate.buttonIndex = YNegative;
                        else if (index == YNegative)
                            candidate.buttonIndex = YPositive;
                        mapping = candidate;
                        halfAxisFound = true;
                    }
                }
                continue;
            }
            if (value != 0.0f) {
                mapping = candidate;
                return true;
            }
        }
    }
    return halfAxisFound;
}

void MouseDevice::onEvent(const InputEvent& event) {
    if (event.kind != InputEventKind::Mouse || !event.engine || updatedThisFrame)
        return;
    MouseState& record = *states[0];
    const irr::SEvent::SMouseInput& mouse = event.engine->MouseInput;
    switch (mouse.Event) {
    case irr::EMIE_MOUSE_MOVED: record.idleTime = 0.0f; break;
    case irr::EMIE_MOUSE_WHEEL: record.wheel += mouse.Wheel; break;
    case irr::EMIE_LMOUSE_PRESSED_DOWN: pressButton(record, &MouseState::left, irr::KEY_LBUTTON); break;
    case irr::EMIE_MMOUSE_PRESSED_DOWN: pressButton(record, &MouseState::middle, irr::KEY_MBUTTON); break;
    case irr::EMIE_RMOUSE_PRESSED_DOWN: pressButton(record, &MouseState::right, irr::KEY_RBUTTON); break;
    case irr::EMIE_LMOUSE_LEFT_UP: releaseButton(record, &MouseState::left, irr::KEY_LBUTTON); break;
    case irr::EMIE_MMOUSE_LEFT_UP: releaseButton(record, &MouseState::middle, irr::KEY_MBUTTON); break;
    case irr::EMIE_RMOUSE_LEFT_UP: releaseButton(record, &MouseState::right, irr::KEY_RBUTTON); break;
    default: break;
    }
}

void MouseDevice::resetRecord(MouseState& record) {
    record.idleTime = 100.0f; // long idle
    record.middleHoldTime = 0.0f;
    record.middleHold = record.middleHoldPrev = false;
    record.left = record.middle = record.right = InputState::Up;
    for (irr::u32& code : record.codeStates)
        code = InputState::Up;
    for (bool& due : record.releaseDue)
        due = false;
    if (cursorControl) {
        const irr::core::position2di position = windowAccess.pointerPosition();
        record.x = record.refX = position.X;
        record.y = record.refY = position.Y;
    }
    record.deltaX = record.deltaY = 0.0f;
    record.wheel = record.wheelTarget = record.wheelSmoothed = record.wheelSmoothedDelta = 0.0f;
    record.savedRelX = -0.5f;
    record.savedRelY = 0.5f;
}

void MouseDevice::resetCursor() {
    if (windowAccess.clipCursor)
        windowAccess.clipCursor(nullptr);
    cursorClipped = false;
    mouseModeActive = true;
    cursorControl = device ? device->getCursorControl() : nullptr;
    for (auto& record : states)
        resetRecord(*record);
    if (device && device->getVideoDriver())
        cursorTexture = device->getVideoDriver()->getTexture(cursorTexturePath);
}

void MouseDevice::pollRawMice() {
    if (!platform::selectedMultiMouseDriver())
        return;
    for (auto& record : states)
        record->deltaX = record->deltaY = 0.0f;
    irr::s32 width = screenWidth;
    irr::s32 height = screenHeight;
    if (device && device->getVideoDriver()) {
        const irr::core::dimension2du size = device->getVideoDriver()->getScreenSize();
        width = irr::s32(size.Width);
        height = irr::s32(size.Height);
    }
    platform::MultiMouseEvent event;
    while (platform::pollMultiMouse(event)) {
        if (rawMice < 0 || event.device >= irr::u32(rawMice))
            continue;
        const std::size_t recordIndex = std::size_t(event.device) + 1;
        while (states.size() <= recordIndex) {
            states.push_back(std::make_unique<MouseState>());
            resetRecord(*states.back());
        }
        MouseState& record = *states[recordIndex];
        switch (event.type) {
        case platform::MultiMouseEvent::Relative:
            record.connected = true;
            if (event.item == 0) {
                record.x += event.value;
                record.deltaX += irr::f32(event.value);
            } else if (event.item == 1) {
                record.y += event.value;
                record.deltaY += irr::f32(event.value);
            }
            break;
        case platform::MultiMouseEvent::Button: {
            static const struct {
                irr::u32 MouseState::*button;
                int code;
            } buttons[] = {{&MouseState::left, irr::KEY_LBUTTON},
                           {&MouseState::right, irr::KEY_RBUTTON},
                           {&MouseState::middle, irr::KEY_MBUTTON}};
            if (event.item < 3) {
                if (event.value == 1)
                    pressButton(record, buttons[event.item].button, buttons[event.item].code);
                else if (event.value == 0)
                    releaseButton(record, buttons[event.item].button, buttons[event.item].code);
            }
            break;
        }
        case platform::MultiMouseEvent::Scroll: record.wheel += irr::f32(event.value); break;
        case platform::MultiMouseEvent::Disconnect: record.connected = false; break;
        default: break;
        }
        record.x = irr::core::clamp(record.x, 0, width);
        record.y = irr::core::clamp(record.y, 0, height);
    }
}

void MouseDevice::updateConfinement(bool playing, bool focused) {
    const bool keep = inputQueries::isInputAllowed() && focused;
    if (playing && keep) {
        if (!cursorClipped) {
            irr::core::recti rect;
            if (windowAccess.getRect && windowAccess.getRect(rect)) {
                if (!fullscreen) {
                    rect.UpperLeftCorner += irr::core::vector2di(windowClipInset, windowClipInset);
                    rect.LowerRightCorner -= irr::core::vector2di(windowClipInset, windowClipInset);
                }
                if (windowAccess.clipCursor && windowAccess.clipCursor(&rect))
                    cursorClipped = true;
            }
        }
        return;
    }
    // A fullscreen confinement, once made, stays until resetCursor.
    if (cursorClipped && !fullscreen) {
        if (windowAccess.clipCursor)
            windowAccess.clipCursor(nullptr);
        cursorClipped = false;
    }
}

void MouseDevice::hideCursor(MouseState& record, bool keepPlace) {
    if (!cursorControl->isVisible())
        return;
    const irr::core::position2df relative = cursorControl->getRelativePosition();
    // A cursor hidden for idling keeps following the hand: it shows again where the
    // pointer is now, not where it stood when it went idle (a first click must land there).
    record.savedRelX = keepPlace ? relative.X : -0.5f;
    record.savedRelY = keepPlace ? relative.Y : 0.5f;
    cursorControl->setVisible(false);
}

void MouseDevice::followPointer(MouseState& mouse) {
    // The pointer is asked for once a frame: each answer is a round trip to the display
    // server, and its reply a few heap blocks.
    const irr::core::position2di pixel = windowAccess.pointerPosition();
    const irr::s32 width = screenWidth;
    const irr::s32 height = screenHeight;
    // Where it stands in the window, as the engine's relative position gives it.
    const irr::core::position2df relative(width > 0 ? irr::f32(pixel.X) / irr::f32(width) : 0.5f,
                                          height > 0 ? irr::f32(pixel.Y) / irr::f32(height) : 0.5f);
    const bool focused = windowAccess.isActive && windowAccess.isActive();
    const bool playing = inputQueries::isSimulationActive();
    const bool allowed = inputQueries::isInputAllowed();

    const bool wasClipped = cursorClipped;
    updateConfinement(playing, focused);
    // A confinement made or let go, or the jump back to the centre, may move the pointer:
    // then it is asked for again.
    bool moved = cursorClipped != wasClipped;

    const bool idle = !inUse && mouse.idleTime >= idleHideSeconds;
    const bool inPlay = allowed && focused && playing;
    if (inPlay || idle)
        hideCursor(mouse, inPlay);

    const bool outsideCentre = relative.X < 0.4f || relative.X > 0.6f || relative.Y < 0.4f || relative.Y > 0.6f;
    if (allowed && focused && playing && !micePerPlayer && outsideCentre && mouseModeActive) {
        // Back to the centre, so that motion never runs into the window's edge; the motion
        // before the jump still counts.
        cursorControl->setPosition(0.5f, 0.5f);
        mouse.refX = mouse.x + (width / 2 - pixel.X);
        mouse.refY = mouse.y + (height / 2 - pixel.Y);
        moved = true;
    } else {
        mouse.refX = mouse.x;
        mouse.refY = mouse.y;
    }

    const irr::core::position2di now = moved ? windowAccess.pointerPosition() : pixel;

    mouse.deltaX = irr::f32(now.X - mouse.refX);
    mouse.deltaY = irr::f32(now.Y - mouse.refY);
    mouse.x = now.X;
    mouse.y = now.Y;
}

void MouseDevice::update() { updateRecords(true); }

void MouseDevice::updateWithoutPointer() { updateRecords(false); }

void MouseDevice::updateRecords(bool readPointer) {
    updatedThisFrame = 1;
    if (!cursorControl)
        return;
    pollRawMice();
    MouseState& mouse = *states[0];
    mouse.idleTime += inputQueries::fixedStep();
    if (readPointer) {
        followPointer(mouse);
    } else {
        mouse.refX = mouse.x;
        mouse.refY = mouse.y;
        mouse.deltaX = mouse.deltaY = 0.0f;
    }
    for (auto& entry : states) {
        MouseState& record = *entry;
        record.wheelTarget += record.wheel * wheelStepDistance;
        const irr::f32 remaining = record.wheelTarget - record.wheelSmoothed;
        record.wheelSmoothedDelta = 0.0f;
        if (std::fabs(remaining) > 0.1f) {
            record.wheelSmoothedDelta = remaining;
            record.wheelSmoothed += remaining * wheelSmoothing;
        }
        record.middleHoldPrev = record.middleHold;
        record.middleHold = false;
        if (record.middle == InputState::Down) {
            record.middleHoldTime += middleHoldFrame;
            record.middleHold = record.middleHoldTime > middleHoldSeconds;
        } else {
            record.middleHoldTime = 0.0f;
        }
    }
}

void MouseDevice::updateOverlay() {
    if (!cursorControl || inputQueries::isInputAllowed() || cursorControl->isVisible())
        return;
    const MouseState& mouse = *states[0];
    if (!inUse && mouse.idleTime >= idleHideSeconds)
        return;
    cursorControl->setVisible(true);
    if (mouse.savedRelX > -0.1f)
        cursorControl->setPosition(mouse.savedRelX, mouse.savedRelY);
}

void MouseDevice::endFrame() {
    updatedThisFrame = 0;
    severalMice = getConnectedCount() > 1;
    micePerPlayer = severalMice && owner && owner->getTotalPlayerControlsCount() >= 2;
    for (auto& entry : states) {
        MouseState& record = *entry;
        for (std::size_t code = 0; code < std::size(record.codeStates); ++code)
            InputState::age(record.codeStates[code], record.releaseDue[code]);
        // The buttons follow their key codes.
        record.left = record.codeStates[irr::KEY_LBUTTON];
        record.middle = record.codeStates[irr::KEY_MBUTTON];
        record.right = record.codeStates[irr::KEY_RBUTTON];
        record.wheel = 0.0f;
    }
}
