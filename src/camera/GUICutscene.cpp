#include "camera/GUICutscene.h"

#include "camera/CameraCommon.h"
#include "camera/CameraServices.h"

#include "core/Globals.h"
#include "core/ProgramQueries.h"
#include "core/Stopwatch.h"
#include "gui/GUIImage.h"
#include "gui/GuiCommon.h"
#include "level/LevelManager.h"
#include "render/SpriteAnimation.h"

#include <IGUIEnvironment.h>
#include <ITimer.h>
#include <IVideoDriver.h>
#include <IrrlichtDevice.h>

#include <cmath>

using namespace irr;

namespace {
// A child image of the overlay, hidden until the layout shows it.
GUIImage* makeOverlayImage(gui::IGUIEnvironment* environment, gui::IGUIElement* parent, const core::recti& rect,
                           video::ITexture* texture) {
    auto* image = new GUIImage(environment, parent, -1, rect);
    image->setImage(texture);
    image->setScaleImage(true);
    image->drop();
    return image;
}
} // namespace

GUICutscene::GUICutscene(gui::IGUIEnvironment* environment, gui::IGUIElement* parent, s32 id)
    : GUIScreen(environment, parent, id, core::recti(0, 0, screenWidth, screenHeight)) {
    // The HUD's type: the screen stack lets input pass screens of it.
    Type = toElementType(GuiType::Hud);
    const s32 width = screenWidth;
    const s32 height = screenHeight;
    barHeight = static_cast<s32>(std::round(f32(height) / 720.0f * 64.0f));
    video::IVideoDriver* driver = environment->getVideoDriver();
    video::ITexture* black = driver->getTexture(barTexturePath);
    bottomBar = makeOverlayImage(environment, this, core::recti(0, height, width, height + barHeight), black);
    bottomBar->setVisible(false);
    topBar = makeOverlayImage(environment, this, core::recti(0, -barHeight, width, 0), black);
    topBar->setVisible(false);
    vignette = makeOverlayImage(environment, this, core::recti(0, 0, width, height), driver->getTexture(vignettePath));
    vignette->setUseAlphaChannel(true);
    vignette->setColor(video::SColor(255, 255, 255, 255));

    const f32 r = f32(height) / 720.0f;
    const s32 s = static_cast<s32>(std::round(52.0f * r));
    const auto& overscan = cameraServices().screens.overscan;
    const bool safeArea = overscan && overscan();
    const s32 marginX = safeArea ? static_cast<s32>(0.05f * f32(width)) : 0;
    const s32 marginY = safeArea ? static_cast<s32>(0.05f * f32(height)) : 0;
    skipPrompt = makeOverlayImage(environment, this,
                                  core::recti(width - s - marginX, height - s - marginY, width - marginX - 16,
                                              height - marginY - 16),
                                  nullptr);
    skipPrompt->setTextureAnimPath(skipPromptPath);
    skipPrompt->setUseAlphaChannel(true);
    if (SpriteAnimation* animation = skipPrompt->getSpriteAnimation()) {
        // The frame is set by hand from the held time.
        animation->playing = false;
        animation->looping = false;
    }

    if (levelManager)
        levelManager->onLevelUnloaded.addMember(this, &GUICutscene::snapBarsOut);
    OnPostRender(gameDevice && gameDevice->getTimer() ? gameDevice->getTimer()->getTime() : 0);
}

GUICutscene::~GUICutscene() {
    if (levelManager)
        levelManager->onLevelUnloaded.removeMember(this, &GUICutscene::snapBarsOut);
}

void GUICutscene::draw() {
    if (!isVisible())
        return;
    for (gui::IGUIElement* child : Children)
        child->draw();
}

void GUICutscene::setVisible(bool visible) {
    barGoal = visible ? 1.0f : 0.0f;
    // Counts as showing from this moment on.
    if (visible && barAmount == 0.0f)
        barAmount = 0.001f;
}

void GUICutscene::snapBarsIn() {
    barAmount = barGoal = 1.0f;
    applyBarLayout(0.0f);
}

void GUICutscene::snapBarsOut() {
    barAmount = barGoal = 0.0f;
    applyBarLayout(0.0f);
}

void GUICutscene::applyBarLayout(f32 dt) {
    barAmount += barGoal != 0.0f ? dt : -dt;
    barAmount = core::clamp(barAmount, 0.0f, 1.0f);
    const f32 t = 1.0f - barAmount;
    const f32 s = 3.0f * t * t - 2.0f * t * t * t;
    const s32 height = screenHeight;
    const f32 h = f32(barHeight);

    core::recti top = topBar->getRelativePosition();
    const s32 topY = -static_cast<s32>(h * s);
    topBar->setRelativePosition(core::recti(top.UpperLeftCorner.X, topY, top.LowerRightCorner.X, topY + top.getHeight()));
    core::recti bottom = bottomBar->getRelativePosition();
    const s32 bottomY = static_cast<s32>(f32(height) - h * (1.0f - s)) + 2;
    bottomBar->setRelativePosition(
        core::recti(bottom.UpperLeftCorner.X, bottomY, bottom.LowerRightCorner.X, bottomY + bottom.getHeight()));
    const bool shown = barAmount != 0.0f;
    topBar->setVisible(shown);
    bottomBar->setVisible(shown);

    vignette->setRelativePosition(core::recti(0, topBar->getRelativePosition().LowerRightCorner.Y, screenWidth, bottomY));
    const u32 alpha = static_cast<u32>((1.0f - s) * 255.0f);
    vignette->setColor(video::SColor(alpha, 255, 255, 255));
    vignette->setVisible(alpha != 0);
}

void GUICutscene::updateSkipPrompt() {
    f32 shown;
    if (skipProgress < 0.0f) {
        promptFrame = refusedFrame;
        shown = 1.0f;
    } else {
        shown = core::clamp(skipProgress, 0.0f, 1.0f);
        promptFrame = static_cast<s32>(shown * 9.0f);
    }
    if (!isGameplaySuspended()) {
        shown = 0.0f;
        if (skipProgress >= 0.0f)
            promptFrame = 0;
    }
    if (SpriteAnimation* animation = skipPrompt->getSpriteAnimation()) {
        const f32 frames = f32(animation->last - animation->first + 1);
        if (frames > 0.0f)
            animation->time = f32(promptFrame - animation->first) / frames * animation->duration;
        // One step recomputes the frame without moving the time (the animation is stopped).
        animation->update(0.0f);
    }
    skipPrompt->setVisible(shown > 0.0f);
}

void GUICutscene::OnPostRender(u32 timeMs) {
    // Frozen while a menu holds the game's input.
    if (!camera::isGameInputAllowed())
        return;
    applyBarLayout(frameStopwatch ? frameStopwatch->delta() : 0.0f);
    updateSkipPrompt();
    GUIScreen::OnPostRender(timeMs);
}
