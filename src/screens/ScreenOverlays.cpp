// The screen manager's standing overlays: the checkpoint and level-loading billboards with
// the loading bar, the two places where the level manager's loading overlay draws, the level
// timer box, the camera cross-fade and the GUI-only frames drawn during long loads.
#include "screens/ScreenManager.h"

#include "core/Globals.h"
#include "core/ProgramQueries.h"
#include "core/Stopwatch.h"
#include "core/TextUtils.h"
#include "core/Utf8.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/GUIImage.h"
#include "gui/hud/GUINotification.h"
#include "gui/GUIScreen.h"
#include "gui/GuiCommon.h"
#include "gui/fonts/FontCache.h"
#include "level/LevelInfo.h"
#include "level/LevelManager.h"
#include "level/LoadingOverlay.h"
#include "level/SaveManager.h"
#include "render/ScreenQuads.h"
#include "render/ShaderManager.h"
#include "render/SpriteAnimation.h"
#include "screens/levels/GUILevelElement.h"

#include <IGUIEnvironment.h>
#include <ISceneManager.h>
#include <IVideoDriver.h>
#include <IrrlichtDevice.h>

#include <algorithm>
#include <cmath>
#include <cwchar>

using namespace irr;

namespace {

constexpr const char* checkpointBillboard = "Content/Billboards/CheckpointSaving.xml";
constexpr const char* loadingBillboard = "Content/Billboards/LevelLoading.xml";
constexpr const char* loadingPicture = "Content/Screens/Backgrounds/Loading.png";
constexpr const char* blackTexture = "Content/Models/Editor/Black.png";
constexpr const char* whiteTexture = "Content/Models/Editor/White.png";
// The loading bar's shape: the suspicion meter's mask, a long bar with rounded ends.
constexpr const char* loadingBarMask = "Content/Screens/HUD/SuspicionMeterMask.png";
constexpr const char* timerFontPath = "Content/Font/NoMove.ttf";
constexpr f32 billboardFrameSeconds = 0.0833333f;
// GUI frames during a load: at most one per interval (longer with vsync, which waits).
constexpr f32 loadingFrameInterval = 0.1f;
constexpr f32 loadingFrameIntervalVsync = 0.3f;
constexpr u32 loadingFrameClear = 0xFF64658C;
// At most this much turn of the spinner for one loading frame (three of its pictures).
constexpr f32 loadingSpinnerStepLimit = 0.25f;
constexpr const char* crossfadeTextureName = "menuCrossfade";

void placeAt(gui::IGUIElement* element, s32 x, s32 y) {
    element->setRelativePosition(core::recti(core::position2di(x, y), element->getRelativePosition().getSize()));
}

GUIImage* addOverlayImage(gui::IGUIEnvironment* environment, gui::IGUIElement* parent, const core::recti& rect) {
    auto* image = new GUIImage(environment, parent, ScreenManager::overlayId, rect);
    image->setSubElement(true);
    image->drop();
    return image;
}

GUIImage* addBillboard(gui::IGUIEnvironment* environment, const core::recti& rect, const char* animation) {
    GUIImage* icon = addOverlayImage(environment, environment->getRootGUIElement(), rect);
    icon->setScaleImage(true);
    icon->setTextureAnimPath(animation);
    icon->setUseAlphaChannel(true);
    if (SpriteAnimation* frames = icon->getSpriteAnimation())
        frames->setFrameTime(billboardFrameSeconds);
    icon->setVisible(false);
    return icon;
}

GUIImage* addBarImage(gui::IGUIEnvironment* environment, gui::IGUIElement* parent, const core::recti& rect,
                      const char* texture) {
    GUIImage* bar = addOverlayImage(environment, parent, rect);
    bar->setImage(environment->getVideoDriver()->getTexture(texture));
    bar->setScaleImage(true);
    bar->setUseAlphaChannel(true);
    bar->setNotClipped(true);
    return bar;
}

GUIFreeTypeText* addTimerText(gui::IGUIEnvironment* environment, gui::IGUIElement* parent, const core::recti& rect,
                              s32 x, s32 y, const wchar_t* text, gui::IGUIFont* font, u32 colour) {
    auto* label = new GUIFreeTypeText(text, environment, parent, ScreenManager::overlayId, rect);
    placeAt(label, x, y);
    label->setOverrideFont(font);
    label->setOverrideColor(video::SColor(colour));
    label->setTextAlignment(gui::EGUIA_UPPERLEFT, gui::EGUIA_CENTER);
    label->setSubElement(true);
    label->drop();
    return label;
}

void rewind(GUIImage* icon) {
    if (SpriteAnimation* frames = icon->getSpriteAnimation()) {
        frames->time = 0.0f;
        frames->update(0.0f);
    }
}

f32 loaderProgress() {
    const SceneLoader& loader = levelManager->getLoader();
    if (loader.objectsTotal == 0)
        return 0.0f;
    const f32 p = static_cast<f32>(loader.objectsRead) / static_cast<f32>(loader.objectsTotal);
    return std::clamp(p, 0.0f, 1.0f);
}

// The loading screen's bar at the progress (0..1): a light back that shows on the picture and
// on black alike, then the white fill up to it.
void drawLoadingBar(video::IVideoDriver* driver, f32 progress) {
    const video::SColor back(0x50FFFFFF);
    video::ITexture* mask = driver->getTexture(loadingBarMask);
    video::ITexture* white = driver->getTexture(whiteTexture);
    const s32 left = screenWidthPart(0.3f), right = screenWidth - screenWidthPart(0.3f);
    const s32 centreY = screenHeight - guiUnits(56);
    if (mask && white && shaderManager && shaderManager->meterMaterial > 0) {
        // The bar in the mask's shape: the back, then the white fill through the meter
        // material up to the progress.
        const core::dimension2du size = mask->getOriginalSize();
        const s32 height = size.Width ? static_cast<s32>(static_cast<f32>(right - left) * size.Height / size.Width) : 0;
        const core::recti bar(left, centreY - height / 2, right, centreY - height / 2 + height);
        const video::SColor corners[4] = {back, back, back, back};
        driver->draw2DImage(mask, bar, core::recti(0, 0, size.Width, size.Height), nullptr, corners, true);
        drawMeterFill(driver, white, mask, progress, bar, 1.0f);
        return;
    }
    // Without the meter shader: plain rectangles.
    const s32 top = centreY - guiUnits(4), bottom = top + guiUnits(8);
    driver->draw2DRectangle(back, core::recti(left, top, right, bottom));
    driver->draw2DRectangle(video::SColor(0xFFFFFFFF),
                            core::recti(left, top, left + static_cast<s32>(static_cast<f32>(right - left) * progress), bottom));
}

// The timer's texts are set again only when what they show changes, and the times are
// written on the stack: a frame of the timer builds nothing.
void showText(GUIFreeTypeText* text, const wchar_t* shown) {
    if (std::wcscmp(text->getText(), shown) != 0)
        text->setText(shown);
}

void showTime(GUIFreeTypeText* text, f32 seconds, bool naForZero) {
    char narrow[32];
    const std::size_t length = formatTimeInto(narrow, sizeof(narrow), seconds, true, naForZero, false);
    wchar_t wide[32];
    std::copy(narrow, narrow + length + 1, wide);
    showText(text, wide);
}

} // namespace

// --- creation -------------------------------------------------------------------------------------------

void ScreenManager::createLoadingBillboards() {
    gui::IGUIElement* root = Environment->getRootGUIElement();
    OverlayView1 = new GUILevelElement(1, Environment, root);
    OverlayView1->setSubElement(true);
    OverlayView1->drop();
    OverlayView2 = new GUILevelElement(2, Environment, root);
    OverlayView2->setSubElement(true);
    OverlayView2->drop();

    const core::position2di m = getOverscanMargin();
    const s32 W = screenWidth, H = screenHeight;
    CheckpointIcon = addBillboard(Environment,
                                  core::recti(W - m.X - guiUnits(16) - guiUnits(64), m.Y + guiUnits(16),
                                              W - m.X - guiUnits(16), m.Y + guiUnits(16) + guiUnits(64)),
                                  checkpointBillboard);
    LoadingIcon = addBillboard(Environment,
                               core::recti(W - m.X - guiUnits(64), H - m.Y - guiUnits(64), W - m.X - 16, H - m.Y - 16),
                               loadingBillboard);
    LoadingIcon->setNotClipped(true);
    LoadingBarBack = addBarImage(Environment, LoadingIcon,
                                 core::recti(guiUnits(-72), guiUnits(22), guiUnits(-10), guiUnits(34)),
                                 "Content/Models/Editor/Gray.png");
    LoadingBarRect = core::recti(guiUnits(-70), guiUnits(24), guiUnits(-12), guiUnits(32));
    LoadingBarFill = addBarImage(Environment, LoadingIcon, LoadingBarRect, "Content/Models/Editor/White.png");
    // The loading screen's pictures are read now: read at its first frame, they would hold
    // that frame back.
    video::IVideoDriver* driver = Environment->getVideoDriver();
    for (const char* picture : {loadingPicture, loadingBarMask})
        driver->getTexture(picture);
}

void ScreenManager::createLevelTimer() {
    gui::IGUIFont* large = getCachedFont(timerFontPath, guiUnits(18));
    gui::IGUIFont* small = getCachedFont(timerFontPath, guiUnits(12));
    video::IVideoDriver* driver = Environment->getVideoDriver();
    TimerBox = addOverlayImage(Environment, Environment->getRootGUIElement(), core::recti(0, 0, guiUnits(360), guiUnits(90)));
    placeAt(TimerBox, screenWidthPart(0.05f), screenHeightPart(0.05f));
    const core::recti rowRect(0, 0, guiUnits(307), guiUnits(38));
    TotalRow = addOverlayImage(Environment, TimerBox, rowRect);
    placeAt(TotalRow, guiUnits(10), guiUnits(29));
    LevelRow = addOverlayImage(Environment, TimerBox, rowRect);
    for (GUIImage* row : {TotalRow, LevelRow}) {
        row->setImage(driver->getTexture(row == TotalRow ? "Content/Screens/HUD/TimerBoxGlobal.png"
                                                         : "Content/Screens/HUD/TimerBoxLevel.png"));
        row->setScaleImage(true);
        row->setUseAlphaChannel(true);
    }
    const core::recti timeRect(guiUnits(15), 0, guiUnits(153), guiUnits(38));
    const core::recti labelRect(guiUnits(15), 0, guiUnits(307), guiUnits(38));
    // The labels stand right of the longest time the large font draws: this font's digits
    // are wider than the room the row's layout leaves them, and a time ran into "Best".
    const s32 timeWidth = large ? static_cast<s32>(large->getDimension(L"0:00:00.000").Width) : 0;
    const s32 labelX = std::max(guiUnits(137), guiUnits(35) + timeWidth + guiUnits(6));
    LevelTimeText = addTimerText(Environment, LevelRow, timeRect, guiUnits(35), 0, L"", large, 0xFFFFFFFF);
    TotalTimeText = addTimerText(Environment, TotalRow, timeRect, guiUnits(35), 0, L"0:00:00.000", large, 0xFFFFFFFF);
    LevelBestLabel = addTimerText(Environment, LevelRow, labelRect, labelX, guiUnits(-7), L"Best", small, 0xCCFFFFFF);
    TotalBestLabel = addTimerText(Environment, TotalRow, labelRect, labelX, guiUnits(-7), L"Best", small, 0xCCFFFFFF);
    LevelBestText = addTimerText(Environment, LevelRow, labelRect, labelX, guiUnits(6), L"", small, 0x99FFFFFF);
    TotalBestText = addTimerText(Environment, TotalRow, labelRect, labelX, guiUnits(6), L"", small, 0x99FFFFFF);
    TimerBox->setVisible(false);
}

// --- per drawn frame -----------------------------------------------------------------------------------

void ScreenManager::layoutOverlays() {
    const core::position2di m = getOverscanMargin();
    const s32 W = screenWidth, H = screenHeight;
    if (CheckpointIcon) {
        if (!levelManager || !levelManager->checkpointSaving) {
            CheckpointIcon->setVisible(false);
        } else if (!CheckpointIcon->isVisible()) {
            CheckpointIcon->setRelativePosition(core::recti(W - m.X - guiUnits(16) - guiUnits(64), m.Y + guiUnits(16),
                                                            W - m.X - guiUnits(16), m.Y + guiUnits(16) + guiUnits(64)));
            rewind(CheckpointIcon);
            CheckpointIcon->setVisible(true);
        }
    }
    if (!LoadingIcon)
        return;
    // The spinner shows while a level loads and for as long as the loading screen stays up
    // after (a first frame's shaders may take a while).
    const bool loading =
        levelManager && (levelManager->levelLoading || levelManager->loadingOverlay.showsLoadingScreen());
    if (!StartingUp && !loading) {
        LoadingIcon->setVisible(false);
        return;
    }
    if (levelManager) {
        // The billboard's bar follows the level being read; before the read starts under the
        // loading screen the level information is still the left level's.
        const LevelInfo* info = levelManager->currentLevelInfo;
        const bool bar = levelManager->levelLoading && info && info->settings.TotalObjects != 0;
        if (bar) {
            const s32 width = LoadingBarRect.getWidth();
            LoadingBarFill->setRelativePosition(
                core::recti(LoadingBarRect.UpperLeftCorner.X, LoadingBarRect.UpperLeftCorner.Y,
                            LoadingBarRect.UpperLeftCorner.X + static_cast<s32>(static_cast<f32>(width) * loaderProgress()),
                            LoadingBarRect.LowerRightCorner.Y));
        }
        LoadingBarFill->setVisible(bar);
        LoadingBarBack->setVisible(bar);
    }
    if (!LoadingIcon->isVisible()) {
        LoadingIcon->setRelativePosition(
            core::recti(W - m.X - guiUnits(64), H - m.Y - guiUnits(64), W - m.X - 16, H - m.Y - 16));
        rewind(LoadingIcon);
        LoadingIcon->setVisible(true);
        LoadingIcon->setClampAnimationStep(true);
    }
}

void ScreenManager::drawLevelTimer() {
    if (!TimerBox)
        return;
    const LevelInfo* info = levelManager ? levelManager->currentLevelInfo : nullptr;
    bool shown = ShowLevelTimer || (info && info->settings.ForceLevelTimer);
    if ((StackActive && !isPauseScreenVisible()) || !isSimulationActive() || !levelManager)
        shown = false;
    TimerBox->setVisible(shown);
    if (!shown)
        return;
    const LevelRunRecord& run = levelManager->levelRun;
    if (levelManager->hasValidTime())
        showTime(LevelTimeText, run.levelTime, false);
    else
        showText(LevelTimeText, L"         N/A");
    // A notification on screen keeps the box to its right.
    s32 x = screenWidthPart(0.05f);
    if (!ActiveNotifications.empty() && ActiveNotifications.front()) {
        const s32 right = ActiveNotifications.front()->getRelativePosition().LowerRightCorner.X;
        if (right > 0)
            x += right;
    }
    const core::position2di at(x, screenHeightPart(0.05f));
    if (TimerBox->getRelativePosition().UpperLeftCorner != at)
        placeAt(TimerBox, at.X, at.Y);
    showTime(LevelBestText, saveManager ? saveManager->getBestLevelTime(levelManager->getCurrentLevelPath().c_str()) : 0.0f,
             true);
    const bool story = levelManager->countsStoryTime() && levelManager->PlayMode == LevelManager::playModeStory;
    TotalRow->setVisible(story);
    if (story) {
        showTime(TotalTimeText, run.storyTime, false);
        showTime(TotalBestText, saveManager ? saveManager->getBestStoryTime() : 0.0f, true);
    }
}

// --- the camera cross-fade ----------------------------------------------------------------------------------

bool ScreenManager::crossfadeAllowed() const {
    return shaderManager && shaderManager->shaderLevel > 1 && shaderManager->graphicsQuality != 2;
}

void ScreenManager::captureCrossfade() {
    if (!crossfadeAllowed() || !gameDevice)
        return;
    // The last frame shown, as the old camera left it, fades out over the new view. (Drawing
    // the scene again here would animate it a second time in this frame.)
    video::IVideoDriver* driver = gameDevice->getVideoDriver();
    video::IImage* shot = driver->createScreenShot();
    if (!shot)
        return;
    if (CrossfadeTarget)
        driver->removeTexture(CrossfadeTarget);
    CrossfadeTarget = driver->addTexture(crossfadeTextureName, shot);
    shot->drop();
    CrossfadeAlpha = 0.5f;
}

void ScreenManager::drawCrossfade() {
    if (!crossfadeAllowed() || !CrossfadeTarget || CrossfadeAlpha <= 0.0f)
        return;
    CrossfadeAlpha = std::max(0.0f, CrossfadeAlpha - (frameStopwatch ? frameStopwatch->delta() : 0.0f));
    const u32 alpha = static_cast<u32>(CrossfadeAlpha * 255.0f);
    const video::SColor tint((alpha << 24) | 0xFFFFFFu);
    const video::SColor corners[4] = {tint, tint, tint, tint};
    const core::dimension2du size = CrossfadeTarget->getSize();
    Environment->getVideoDriver()->draw2DImage(CrossfadeTarget, core::recti(0, 0, screenWidth, screenHeight),
                                               core::recti(0, 0, size.Width, size.Height), nullptr, corners, true);
}

// --- loads ----------------------------------------------------------------------------------------------------

void ScreenManager::renderLoadingFrame(bool atOnce) {
    if (!levelManager || std::fabs(levelManager->loadingOverlay.fadeValue - 1.0f) > 1e-6f || !gameDevice)
        return;
    gameDevice->run();
    if (frameStopwatch) {
        frameStopwatch->tick();
        LoadingFrameSeconds += frameStopwatch->delta();
    }
    const f32 interval = deviceVsync ? loadingFrameIntervalVsync : loadingFrameInterval;
    if ((!atOnce && LoadingFrameSeconds <= interval) || !Initialised)
        return;
    video::IVideoDriver* driver = gameDevice->getVideoDriver();
    if (!driver->beginScene(true, true, video::SColor(loadingFrameClear)))
        return;
    // The spinner turns by the time since the last loading frame (its own step is a short
    // frame's at most): a long build between two frames moves it on all the same.
    if (SpriteAnimation* spinner = LoadingIcon && LoadingIcon->isVisible() ? LoadingIcon->getSpriteAnimation() : nullptr)
        spinner->update(std::min(LoadingFrameSeconds, loadingSpinnerStepLimit));
    draw();
    driver->endScene();
    LoadingFrameSeconds = 0.0f;
}

void ScreenManager::drawLoadingOverlay(const LoadingOverlay& overlay) {
    if (!gameDevice)
        return;
    const f32 fade = std::clamp(overlay.fadeValue, 0.0f, 1.0f);
    // A load's cover shows the loading screen also after a fade to white: on a white fill the
    // light bar and spinner would not show.
    const s32 mode = overlay.loadingScreen && overlay.mode == LoadingOverlay::FadeToWhite ? s32(LoadingOverlay::FadeToBlack)
                                                                                          : overlay.mode;
    if (fade <= 0.0f || mode == LoadingOverlay::NoTransition)
        return;
    video::IVideoDriver* driver = gameDevice->getVideoDriver();
    const u32 alpha = static_cast<u32>(fade * 255.0f);
    const core::recti screen(0, 0, screenWidth, screenHeight);
    if (mode == LoadingOverlay::FadeToWhite) {
        if (video::ITexture* white = driver->getTexture("Content/Models/Editor/White.png")) {
            const video::SColor tint((alpha << 24) | 0xFFFFFFu);
            const video::SColor corners[4] = {tint, tint, tint, tint};
            const core::dimension2du size = white->getOriginalSize();
            driver->draw2DImage(white, screen, core::recti(0, 0, size.Width, size.Height), nullptr, corners, true);
        } else {
            driver->draw2DRectangle(video::SColor((alpha << 24) | 0xFFFFFFu), screen);
        }
        return;
    }
    const bool circleWipe = mode == LoadingOverlay::CircleWipeImage || mode == LoadingOverlay::CircleWipeBlack;
    video::ITexture* wipeCover = nullptr;
    if (circleWipe && shaderManager && shaderManager->circleMaterial > 0)
        wipeCover = driver->getTexture(mode == LoadingOverlay::CircleWipeImage ? loadingPicture : blackTexture);
    if (wipeCover) {
        // The cover closes in as a circle (its size follows the transition, see the circle
        // shader's constants): the loading picture or black outside it.
        drawScreenQuad(driver, screenQuadMaterial(shaderManager->circleMaterial, wipeCover), screen);
    } else {
        driver->draw2DRectangle(video::SColor(alpha << 24), screen);
        // The loading picture over the black.
        video::ITexture* picture = mode == LoadingOverlay::FadeToBlack ? driver->getTexture(loadingPicture) : nullptr;
        if (picture) {
            const video::SColor tint((alpha << 24) | 0xFFFFFFu);
            const video::SColor corners[4] = {tint, tint, tint, tint};
            const core::dimension2du size = picture->getOriginalSize();
            driver->draw2DImage(picture, GUIScreen::backgroundRect(size, screenWidth, screenHeight),
                                core::recti(0, 0, size.Width, size.Height), nullptr, corners, true);
        }
    }
    // The loading bar while the loading screen fills the screen (fading out over what comes
    // in, it would lie over that).
    if (overlay.showsLoadingScreen())
        drawLoadingBar(driver, overlay.getProgress());
}
