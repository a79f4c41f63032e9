#include "screens/menus/GUISplashScreen.h"

#include "core/Globals.h"
#include "core/Stopwatch.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "level/LevelEvents.h"
#include "level/LevelManager.h"
#include "screens/ScreenManager.h"

#include <IGUIEnvironment.h>
#include <ITimer.h>
#include <IVideoDriver.h>
#include <IrrlichtDevice.h>

using namespace irr;

GUISplashScreen::GUISplashScreen(gui::IGUIEnvironment* environment, gui::IGUIElement* parent, const core::recti&)
    : GUIScreen(environment, parent, ScreenManager::splashScreenId, core::recti(0, 0, screenWidth, screenHeight)) {
    SplashTexture = environment->getVideoDriver()->getTexture(picturePath);
    // Above the picture's emblem, in the menus' title font.
    Message = new GUIFreeTypeText(getLanguageText(messageTextId).c_str(), environment, this, -1,
                                  core::recti(0, screenHeightPart(0.04f), screenWidth, screenHeightPart(0.19f)));
    Message->setOverrideFont(getLanguageFont(3));
    Message->setOverrideColor(video::SColor(0xFF5A2A1A));
    Message->setTextAlignment(gui::EGUIA_CENTER, gui::EGUIA_CENTER);
    Message->drop();
    KeepTimerRunning = true;
    GUIScreen::OnPostRender(gameDevice && gameDevice->getTimer() ? gameDevice->getTimer()->getTime() : 0);
    // The loading overlay no longer covers the picture.
    if (levelManager)
        levelManager->loadingOverlay.fadeValue = 0.0f;
}

core::recti GUISplashScreen::pictureRect(const core::dimension2du& pictureSize, s32 width, s32 height) {
    const f32 w = static_cast<f32>(pictureSize.Width);
    const f32 h = static_cast<f32>(pictureSize.Height);
    const f32 screenW = static_cast<f32>(width);
    const f32 screenH = static_cast<f32>(height);
    if (screenW / screenH > 1.7777778f) {
        const s32 overflow = static_cast<s32>((h * (screenW / w) - screenH) * 0.5f);
        return core::recti(0, -overflow, width, height + overflow);
    }
    const s32 overflow = static_cast<s32>((w * (screenH / h) - screenW) * 0.5f);
    return core::recti(-overflow, 0, width + overflow, height);
}

void GUISplashScreen::OnPostRender(u32 timeMs) {
    if (ShownSeconds >= 0.0f)
        ShownSeconds += frameStopwatch ? frameStopwatch->delta() : 0.0f;
    if (ShownSeconds > shownLimitSeconds) {
        ShownSeconds = -1.0f;
        if (levelManager) {
            levelManager->queueEvent(TransitionEvent::overDuration(true, 3, 2, 1.0f, 0));
            levelManager->queueClearMenus();
            levelManager->queueReturnToMainMenu();
        }
    }
    GUIScreen::OnPostRender(timeMs);
}

void GUISplashScreen::draw() {
    if (!IsVisible)
        return;
    if (SplashTexture) {
        const core::dimension2du size = SplashTexture->getOriginalSize();
        if (size.Width > 0 && size.Height > 0)
            Environment->getVideoDriver()->draw2DImage(
                SplashTexture, pictureRect(size, screenWidth, screenHeight),
                core::recti(0, 0, static_cast<s32>(size.Width), static_cast<s32>(size.Height)), nullptr, nullptr, true);
    }
    GUIScreen::draw();
}
