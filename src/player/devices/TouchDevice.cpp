#include "player/devices/TouchDevice.h"

#include "core/Globals.h"
#include "core/ProgramQueries.h"
#include "player/PlayerHooks.h"
#include "player/PlayerObject.h"

#include <IEventReceiver.h>
#include <IrrlichtDevice.h>
#include <ITimer.h>
#include <IVideoDriver.h>

namespace {

// trunc(s x v + 0.5): a length of the 720-line reference screen in pixels.
irr::s32 touchScaled(irr::f32 scale, irr::f32 value) { return irr::s32(scale * value + 0.5f); }

irr::f32 touchScale(irr::s32 height) { return irr::f32(height) / referenceHeight; }

} // namespace

TouchDevice::TouchDevice(irr::IrrlichtDevice* engineDevice) : device(engineDevice) {}

TouchDevice::~TouchDevice() = default;

void TouchDevice::screenSize(irr::s32& width, irr::s32& height) const {
    width = screenWidth;
    height = screenHeight;
    if (device && device->getVideoDriver()) {
        const irr::core::dimension2du size = device->getVideoDriver()->getScreenSize();
        width = irr::s32(size.Width);
        height = irr::s32(size.Height);
    }
}

bool TouchDevice::onEvent(const InputEvent& event) {
    if (event.kind == InputEventKind::Touch) {
        touchSeen = true;
        const TouchData& data = event.touch;
        TouchPoint* point = const_cast<TouchPoint*>(findTouch(data.id));
        if (!point) {
            for (auto& record : touches)
                if (!record->active) {
                    point = record.get();
                    break;
                }
            if (!point) {
                touches.push_back(std::make_unique<TouchPoint>());
                point = touches.back().get();
            }
            *point = TouchPoint();
            point->id = data.id;
            point->active = true;
            point->startX = point->prevX = point->x = data.x;
            point->startY = point->prevY = point->y = data.y;
            point->tag = data.tag;
            point->startTime = device && device->getTimer() ? device->getTimer()->getTime() : 0;
        }
        if (!primary)
            primary = point;
        if (data.flags & touchWentDown)
            point->state = InputState::Pressed;
        else if (data.flags & touchWentUp)
            point->state = InputState::Released;
        point->prevX = point->x;
        point->prevY = point->y;
        point->x = data.x;
        point->y = data.y;
    } else if (event.kind == InputEventKind::Mouse && event.engine) {
        const irr::EMOUSE_INPUT_EVENT kind = event.engine->MouseInput.Event;
        if (kind == irr::EMIE_LMOUSE_DOUBLE_CLICK) {
            doubleTap = true;
        } else if (kind == irr::EMIE_LMOUSE_TRIPLE_CLICK) {
            doubleTap = false;
            tripleTap = true;
        }
    }
    return false;
}

void TouchDevice::endFrame() {
    for (auto& record : touches) {
        TouchPoint& point = *record;
        if (!point.active)
            continue;
        if (point.state == InputState::Pressed) {
            point.state = InputState::Down;
        } else if (point.state == InputState::Released) {
            point.state = InputState::Up;
        } else if (point.state == InputState::Up) {
            point.active = false;
            point.id = -1;
            if (primary == &point)
                primary = nullptr;
        }
        point.heldTime += inputQueries::fixedStep();
    }
    doubleTap = false;
    tripleTap = false;
}

const TouchPoint* TouchDevice::findTouch(irr::s32 id) const {
    for (const auto& record : touches)
        if (record->active && record->id == id)
            return record.get();
    return nullptr;
}

const TouchPoint* TouchDevice::findLeftTouch(irr::f32 fraction) const {
    irr::s32 width, height;
    screenSize(width, height);
    const TouchPoint* found = nullptr;
    for (const auto& record : touches)
        if (record->active && record->tag == 0 && irr::f32(record->startX) < irr::f32(width) * fraction &&
            (!found || record->id > found->id))
            found = record.get();
    return found;
}

bool TouchDevice::touchBeganInCorner(irr::f32 size, bool bottom) const {
    irr::s32 width, height;
    screenSize(width, height);
    const irr::s32 margin = touchScaled(touchScale(height), size);
    for (const auto& record : touches)
        if (record->active && record->heldTime == 0.0f && record->startX > width - margin &&
            (bottom ? record->startY > height - margin : record->startY < margin))
            return true;
    return false;
}

bool TouchDevice::isSwitchTouch() const { return touchBeganInCorner(100.0f, true); }

bool TouchDevice::isPauseTouch() const { return touchBeganInCorner(80.0f, false); }

int TouchDevice::countPressedTouches() const {
    int count = 0;
    for (const auto& record : touches)
        if (record->active && (record->state == InputState::Pressed || record->state == InputState::Down))
            ++count;
    return count;
}

TouchDevice::Rect TouchDevice::pauseButtonRect(irr::s32 width, irr::s32 height) {
    const irr::f32 s = touchScale(height);
    const irr::s32 p = touchScaled(s, 60.0f), t = touchScaled(s, 20.0f), r = touchScaled(s, -20.0f);
    return {width - p + r, t, width + r, t + p};
}

TouchDevice::Rect TouchDevice::switchButtonRect(irr::s32 width, irr::s32 height) {
    const irr::f32 s = touchScale(height);
    const irr::s32 q = touchScaled(s, 80.0f), r = touchScaled(s, -20.0f);
    return {width - q + r, height - q + r, width + r, height + r};
}

TouchDevice::Rect TouchDevice::grabStripRect(irr::s32, irr::s32 height) {
    const irr::f32 s = touchScale(height);
    return {0, 0, touchScaled(s, 267.0f), touchScaled(s, 720.0f)};
}

void TouchDevice::drawButton(irr::video::ITexture* texture, const Rect& rect) {
    irr::video::IVideoDriver* driver = device->getVideoDriver();
    const irr::core::dimension2du size = texture->getOriginalSize();
    const irr::video::SColor white(255, 255, 255, 255);
    const irr::video::SColor corners[4] = {white, white, white, white};
    driver->draw2DImage(texture, irr::core::recti(rect.left, rect.top, rect.right, rect.bottom),
                        irr::core::recti(0, 0, irr::s32(size.Width), irr::s32(size.Height)), nullptr, corners, true);
}

void TouchDevice::updateOverlay() {
    if (!touchSeen || !inputQueries::isSimulationActive() || isGameplaySuspendedOrLoading() || isMenuOpen() ||
        isGameInputBlocked() || isLoadingOverlayOpaque())
        return;
    if (!device || !device->getVideoDriver())
        return;
    irr::video::IVideoDriver* driver = device->getVideoDriver();
    if (!pauseTexture && !switchTexture && !grabTexture) {
        pauseTexture = driver->getTexture(pauseTexturePath);
        switchTexture = driver->getTexture(switchTexturePath);
        grabTexture = driver->getTexture(grabTexturePath);
    }
    if (!pauseTexture)
        return;
    irr::s32 width, height;
    screenSize(width, height);
    drawButton(pauseTexture, pauseButtonRect(width, height));
    if (isGameplaySuspended())
        return;
    PlayerObject* player = getPlayer(0);
    if (!player)
        return;
    if (switchTexture && player->isModeSwitchAvailableAlt() && player->isModeSwitchAvailable())
        drawButton(switchTexture, switchButtonRect(width, height));
    if (grabTexture && player->isGrabAvailable() && player->getControlMode() == ControlMode::Arms)
        drawButton(grabTexture, grabStripRect(width, height));
}
