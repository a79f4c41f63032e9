#include "gui/hud/GUIHud.h"

#include "core/Globals.h"
#include "core/Stopwatch.h"
#include "core/ProgramQueries.h"
#include "gui/GUIImage.h"
#include "gui/GuiAttributes.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "gui/hud/GUIObjectiveCenter.h"
#include "gui/hud/GUISplat.h"
#include "level/LevelManager.h"
#include "level/ResourceCaches.h"
#include "render/ScreenQuads.h"

#include <IGUIEnvironment.h>
#include <ITimer.h>
#include <IVideoDriver.h>
#include <IrrlichtDevice.h>

#include <algorithm>

using namespace irr;

namespace {

// The objective panel raises its drawn flag only while it draws: the vignettes follow the
// flag its owner keeps.
bool objectivePanelShown(const gui::IGUIElement* panel) {
    if (static_cast<s32>(panel->getType()) == GuiType::ObjectiveCenter)
        return static_cast<const GUIObjectiveCenter*>(panel)->isShownByOwner();
    return panel->isVisible();
}

constexpr const char* hudTexturePaths[] = {
    "Content/Screens/HUD/SuspicionBase.png",     "Content/Screens/HUD/SuspicionMeter.png",
    "Content/Screens/HUD/SuspicionMeterB.png",   "Content/Screens/HUD/SuspicionMeterC.png",
    "Content/Screens/HUD/SuspicionMeterMask.png", "Content/Screens/HUD/SuspicionWarning.png",
    "Content/Screens/HUD/SuspicionOverlay.png",  "Content/Screens/HUD/SuspicionEye.png"};
constexpr f32 hudAnimationFrameTime = 0.0333f;
// The strongest vignette, of 255.
constexpr f32 hudVignetteAlpha = 128.0f;
// Alpha moves toward its target by this much a second.
constexpr f32 hudAlphaRate = 2.0f;

f32 hudSmoothstep(f32 x) { return 3.0f * x * x - 2.0f * x * x * x; }

std::optional<ShownSuspicion> hudSuspicion() { return askHook(guiHooks().suspicion.shown, std::nullopt); }

} // namespace

GUIHud::GUIHud(gui::IGUIEnvironment* environment, gui::IGUIElement* parent)
    : GUIScreen(environment, parent, ScreenId::Hud, core::recti(0, 0, screenWidth, screenHeight)) {
    Type = toElementType(GuiType::Hud);
    video::IVideoDriver* driver = environment->getVideoDriver();
    for (int i = 0; i < LayerCount; ++i) {
        Textures[i] = driver->getTexture(hudTexturePaths[i]);
        if (Textures[i])
            Textures[i]->grab();
    }

    video::ITexture* vignette = driver->getTexture(vignettePath);
    for (GUIImage** image : {&Vignette1, &Vignette2}) {
        *image = new GUIImage(environment, this, -1, core::recti(0, 0, screenWidth, screenHeight));
        (*image)->setImage(vignette);
        (*image)->setScaleImage(true);
        (*image)->setUseAlphaChannel(true);
        (*image)->setColor(video::SColor(0x00ffffff));
    }

    Layers = {{BaseLayer, true}, {ValueFill, true}, {Overlay, true}, {Eye, true}};

    getSpriteAnimation(SplatTemplate, io::path(splatAnimationPath));
    getSpriteAnimation(PaintDropTemplate, io::path(paintDropAnimationPath));
    // The splat recognises its animations by these names.
    SplatTemplate.name = splatAnimationPath;
    PaintDropTemplate.name = paintDropAnimationPath;
    // The frame time changes keeping each animation's relative position.
    SplatTemplate.setFrameTime(hudAnimationFrameTime);
    PaintDropTemplate.setFrameTime(hudAnimationFrameTime);

    OnPostRender(gameDevice && gameDevice->getTimer() ? gameDevice->getTimer()->getTime() : 0);
}

GUIHud::~GUIHud() {
    for (GUIImage* image : {Vignette1, Vignette2})
        if (image)
            image->drop();
    for (video::ITexture* texture : Textures)
        if (texture)
            texture->drop();
}

s32 GUIHud::getElementTypeId() const { return GuiType::Hud; }

void GUIHud::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    gui::IGUIElement::serializeAttributes(out, options);
}

void GUIHud::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    readElementAttributes(this, in, options);
}

// --- frames -----------------------------------------------------------------------------------------

void GUIHud::OnPostRender(u32 timeMs) {
    // Behind a menu or a dialog everything stands still.
    if (!askHook(guiHooks().screens.isInputAllowed, true))
        return;
    GUIScreen::OnPostRender(timeMs);

    const f32 step = hudAlphaRate * (frameStopwatch ? frameStopwatch->delta() : 0.0f);
    if (Alpha < TargetAlpha)
        Alpha = std::min(Alpha + step, TargetAlpha);
    else if (Alpha > TargetAlpha)
        Alpha = std::max(Alpha - step, TargetAlpha);
    Alpha = std::clamp(Alpha, 0.0f, 1.0f);

    // The objective panel's own visibility flag (not the one it raises only while drawing).
    const f32 a = ObjectivePanel && !objectivePanelShown(ObjectivePanel) ? 0.0f : Alpha;
    if (!Vignette1)
        return;
    const std::optional<ShownSuspicion> meter = hudSuspicion();
    const f32 s = std::clamp((meter ? meter->value : 0.0f) * 0.01f, 0.0f, 1.0f);
    const u32 first = static_cast<u32>(a * hudVignetteAlpha);
    const u32 second = static_cast<u32>(s * a * hudVignetteAlpha);
    Vignette1->setColor(video::SColor((first << 24) | 0xffffffu));
    Vignette1->setVisible(first != 0);
    Vignette2->setColor(video::SColor((second << 24) | 0xffffffu));
    Vignette2->setVisible(second != 0);
}

void GUIHud::draw() {
    if (!IsVisible)
        return;
    if (isGameRunningBehindScreen() && isMenuOpen())
        return;
    if (!isSimulationActive() || (levelManager && levelManager->levelLoading))
        return;
    gui::IGUIElement::draw();
}

// --- the meter --------------------------------------------------------------------------------------

void GUIHud::drawMeterIfShown() {
    if (askHook(guiHooks().screens.overlayBlend, 0.0f) != 0.0f)
        return;
    if (isMenuOpen() || !ObjectivePanel || !ObjectivePanel->isVisible())
        return;
    updateAbsolutePosition();
    drawSuspicionMeter();
}

void GUIHud::updateMeterRect() {
    const f32 f = static_cast<f32>(screenHeight) / 720.0f * 0.6f;
    const s32 w = static_cast<s32>(f * 800.0f);
    const s32 h = static_cast<s32>(f * 104.0f);
    const s32 lift = static_cast<s32>(f * 204.0f) - static_cast<s32>((1.0f - hudSmoothstep(Alpha)) * static_cast<f32>(h));
    s32 x = -1000;
    s32 bottom = -1000;
    if (ObjectivePanel) {
        bottom = ObjectivePanel->getAbsolutePosition().LowerRightCorner.Y;
        x = (screenWidth - w) / 2;
        if (const std::optional<PausePanelSlide> pause = askHook(guiHooks().screens.pausePanel, std::nullopt)) {
            const f32 slide = hudSmoothstep(pause->dimAmount) * static_cast<f32>(w - pause->panelWidth);
            x -= std::max(0, static_cast<s32>(slide));
        }
    }
    MeterRect = core::recti(x, bottom - lift, x + w, bottom - lift + h);
}

void GUIHud::drawFill(video::ITexture* texture, f32 fill) {
    // The fill shows from the left up to its value, within the mask's bar shape.
    if (!texture)
        return;
    if (drawMeterFill(Environment->getVideoDriver(), texture, Textures[Mask], fill, MeterRect))
        return;
    // Without the meter shader the fill is cropped to its value instead.
    const core::dimension2du size = texture->getOriginalSize();
    const f32 part = std::clamp(fill, 0.0f, 1.0f);
    const core::recti source(0, 0, static_cast<s32>(static_cast<f32>(size.Width) * part), static_cast<s32>(size.Height));
    const core::recti target(MeterRect.UpperLeftCorner.X, MeterRect.UpperLeftCorner.Y,
                             MeterRect.UpperLeftCorner.X + static_cast<s32>(static_cast<f32>(MeterRect.getWidth()) * part),
                             MeterRect.LowerRightCorner.Y);
    if (source.getWidth() > 0 && target.getWidth() > 0)
        Environment->getVideoDriver()->draw2DImage(texture, target, source, nullptr, nullptr, true);
}

void GUIHud::drawSuspicionMeter() {
    const std::optional<ShownSuspicion> meter = hudSuspicion();
    const f32 fv = meter ? meter->value * 0.01f : 0.0f;
    const f32 fp = meter ? meter->pendingValue * 0.01f : 0.0f;
    const f32 ft = meter ? meter->drainValue * 0.01f : 0.0f;
    updateMeterRect();
    video::IVideoDriver* driver = Environment->getVideoDriver();
    for (const auto& [layer, enabled] : Layers) {
        video::ITexture* texture = Textures[layer];
        if (!enabled || !texture)
            continue;
        if (layer == ValueFill) {
            if (fp < ft)
                drawFill(Textures[TrailingFill], ft);
            drawFill(Textures[PreviousFill], fp);
            drawFill(texture, fv);
            continue;
        }
        if (layer == Eye && !(meter && getPlayer(0) && meter->watcherCount > 0))
            continue;
        const core::dimension2du size = texture->getOriginalSize();
        driver->draw2DImage(texture, MeterRect, core::recti(0, 0, static_cast<s32>(size.Width), static_cast<s32>(size.Height)),
                            nullptr, nullptr, true);
    }
}

// --- splats --------------------------------------------------------------------------------------------

void GUIHud::addSplat(f32 amount, const core::vector3df& position) {
    GUISplat* splat = nullptr;
    for (GUISplat* candidate : Splats)
        if (!candidate->isVisible()) {
            splat = candidate;
            break;
        }
    if (!splat) {
        splat = new GUISplat(amount, SplatTemplate, PaintDropTemplate, Environment, this, core::recti());
        splat->drop();
        Splats.push_back(splat);
    }
    splat->start(amount, position);
}
