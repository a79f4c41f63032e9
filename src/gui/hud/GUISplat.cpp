#include "gui/hud/GUISplat.h"

#include "core/Globals.h"
#include "core/Stopwatch.h"
#include "gui/GuiHooks.h"
#include "gui/hud/GUIHud.h"

#include <ICameraSceneNode.h>
#include <ISceneManager.h>
#include <IVideoDriver.h>
#include <IrrlichtDevice.h>

#include <algorithm>
#include <cmath>

using namespace irr;

namespace {

GUIHud* splatHud() { return askHook(guiHooks().screens.hud, nullptr); }

} // namespace

GUISplat::GUISplat(f32 amount, const SpriteAnimation& splat, const SpriteAnimation& paintDrop,
                   gui::IGUIEnvironment* environment, gui::IGUIElement* parent, const core::recti& rectangle)
    : GUIImage(environment, parent, -1, rectangle), Amount(amount), Splat(splat), PaintDrop(paintDrop) {
    setSubElement(true);
    setScaleImage(true);
    setUseAlphaChannel(true);
    setSpriteAnimation(Splat);
    StartPosition = RelativeRect.UpperLeftCorner;
}

s32 GUISplat::halfSize() const { return static_cast<s32>(Amount * 0.01f * 64.0f + 64.0f); }

void GUISplat::start(f32 amount, const core::vector3df& position) {
    WorldPosition = position;
    Amount = amount;
    Flying = false;
    Flight.value = Flight.start;
    Flight.elapsed = 0.0f;
    setSpriteAnimation(Splat);
    if (SpriteAnimation* animation = getSpriteAnimation())
        animation->time = 0.0f;
    setVisible(true);
}

void GUISplat::draw() {
    // Hidden behind menus.
    if (askHook(guiHooks().screens.isInputAllowed, true))
        GUIImage::draw();
}

void GUISplat::OnPostRender(u32 timeMs) {
    GUIImage::OnPostRender(timeMs);
    if (!IsVisible)
        return;
    const s32 s = halfSize();
    if (!Flying) {
        core::position2di at = projectToScreen(WorldPosition);
        at.X = std::clamp(at.X, 0, screenWidth);
        at.Y = std::clamp(at.Y, 0, screenHeight);
        setRelativePosition(core::recti(at.X - s, at.Y - s, at.X + s, at.Y + s));
        StartPosition = core::position2di(at.X - s, at.Y - s);
        return;
    }
    if (GUIHud* hud = splatHud())
        TargetPosition = hud->getMeterRect().getCenter();
    const s32 dx = (TargetPosition.X - s) - StartPosition.X;
    const s32 dy = (TargetPosition.Y - s) - StartPosition.Y;
    Flight.update(frameStopwatch ? frameStopwatch->delta() : 0.0f);
    const f32 t = Flight.value;
    const f32 k = t < 0.5f ? t : 1.0f - t;
    const s32 x = static_cast<s32>(static_cast<f32>(StartPosition.X) * (1.0f - t) + static_cast<f32>(TargetPosition.X - s) * t) +
                  static_cast<s32>(static_cast<f32>(dy) * k * 0.2f);
    const s32 y = static_cast<s32>(static_cast<f32>(TargetPosition.Y - s) * t + static_cast<f32>(StartPosition.Y) * (1.0f - t)) +
                  static_cast<s32>(static_cast<f32>(-dx) * k * 0.2f);
    const core::dimension2di size = RelativeRect.getSize();
    setRelativePosition(core::recti(core::position2di(x, y), size));
    if (t == Flight.end)
        land();
}

void GUISplat::land() {
    const core::dimension2di size = RelativeRect.getSize();
    setRelativePosition(core::recti(core::position2di(-1000, -1000), size));
    updateAbsolutePosition();
    callHook(guiHooks().suspicion.addSplat, Amount);
    playSoundEffect(meterFillSound);
    Flying = false;
    setVisible(false);
}

void GUISplat::onAnimationFinished() {
    SpriteAnimation* current = getSpriteAnimation();
    if (!current || current->name != GUIHud::splatAnimationPath)
        return;
    setSpriteAnimation(PaintDrop);
    Flying = true;
    Flight.value = 0.0f;
    Flight.start = 0.0f;
    Flight.end = 1.0f;
    Flight.duration = flightSeconds;
    Flight.elapsed = 0.0f;
    Flight.kind = FloatTween::Smoothstep;
}

core::position2di GUISplat::projectToScreen(const core::vector3df& position) {
    core::position2di result(0, -1000);
    scene::ISceneManager* scene = gameDevice ? gameDevice->getSceneManager() : nullptr;
    video::IVideoDriver* driver = gameDevice ? gameDevice->getVideoDriver() : nullptr;
    scene::ICameraSceneNode* camera = scene ? scene->getActiveCamera() : nullptr;
    if (!scene || !driver || !camera)
        return result;
    const core::dimension2du target = driver->getCurrentRenderTargetSize();
    const s32 halfW = static_cast<s32>(target.Width / 2);
    const s32 halfH = static_cast<s32>(target.Height / 2);
    core::matrix4 m = camera->getProjectionMatrix();
    m *= camera->getViewMatrix();
    f32 p[4] = {position.X, position.Y, position.Z, 1.0f};
    m.multiplyWith1x4Matrix(p);
    f32 zDiv = p[3] == 0.0f ? 1.0f : 1.0f / p[3];
    if (p[3] < 0.0f)
        zDiv = -zDiv;
    result.X = halfW + static_cast<s32>(std::floor(static_cast<f32>(halfW) * zDiv * p[0] + 0.5f));
    result.Y = halfH - static_cast<s32>(std::floor(static_cast<f32>(halfH) * zDiv * p[1] + 0.5f));
    return result;
}
