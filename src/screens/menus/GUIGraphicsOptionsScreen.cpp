#include "screens/menus/GUIGraphicsOptionsScreen.h"

#include "core/DeviceSettings.h"
#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/Log.h"
#include "gui/GUIOptionCycle.h"
#include "gui/GuiHooks.h"
#include "level/LevelEvents.h"
#include "level/LevelManager.h"
#include "render/EffectHandler.h"
#include "render/ShaderManager.h"
#include "screens/ScreenManager.h"
#include "screens/menus/GUIDialogScreen.h"

#include <ILogger.h>
#include <IrrlichtDevice.h>
#include <ISceneManager.h>
#include <IVideoModeList.h>
#include <SceneParameters.h>

#include <algorithm>
#include <utility>

using namespace irr;

namespace {

// The language texts of the page.
namespace GraphicsText {
constexpr s32 Title = 11;
constexpr s32 Resolution = 50;
constexpr s32 Fullscreen = 51;
constexpr s32 Overscan = 52;
constexpr s32 Vsync = 53;
constexpr s32 Quality = 54;
constexpr s32 Shadows = 55;
constexpr s32 ShadowQuality = 56;
constexpr s32 Reflection = 57;
constexpr s32 Antialiasing = 58;
constexpr s32 ShadowDistance = 59;
constexpr s32 On = 100;
constexpr s32 Off = 101;
constexpr s32 High = 108;
constexpr s32 Medium = 109;
constexpr s32 Low = 110;
constexpr s32 Highest = 111;
constexpr s32 Borderless = 127;
constexpr s32 RestartNotice = 407;
constexpr s32 Ok = 126;
} // namespace GraphicsText

core::stringw resolutionText(const core::dimension2du& size) {
    core::stringw text(size.Width);
    text += L"x";
    text += core::stringw(size.Height);
    return text;
}

// Every material of the node and below it (children first) gets the anti-aliasing mode.
void setSceneAntialiasing(scene::ISceneNode* node, u8 mode) {
    if (!node)
        return;
    for (scene::ISceneNode* child : node->getChildren())
        setSceneAntialiasing(child, mode);
    for (u32 i = 0; i < node->getMaterialCount(); ++i)
        node->getMaterial(i).AntiAliasing = mode;
}

// The display's modes. A display without the video-mode extensions lists none, and the
// engine warns of that at every question: the game says it once a run, in its own words.
video::IVideoModeList* askVideoModes() {
    if (!gameDevice)
        return nullptr;
    ILogger* logger = gameDevice->getLogger();
    const ELOG_LEVEL level = logger ? logger->getLogLevel() : ELL_INFORMATION;
    if (logger)
        logger->setLogLevel(ELL_ERROR);
    video::IVideoModeList* modes = gameDevice->getVideoModeList();
    if (logger)
        logger->setLogLevel(level);
    static bool told = false;
    if (modes && modes->getVideoModeCount() == 0 && !std::exchange(told, true))
        logMessage("The display lists no video modes: the Graphics page offers the standard window sizes.");
    return modes;
}

} // namespace

GUIGraphicsOptionsScreen::GUIGraphicsOptionsScreen(gui::IGUIEnvironment* environment, bool openedFromMainMenu)
    : GUISettingsScreen(environment, openedFromMainMenu) {
    buildScreen();
}

void GUIGraphicsOptionsScreen::buildResolutionList() {
    Resolutions.clear();
    if (getSettingInt("Graphics_FullscreenMode") != 1)
        Resolutions = standardWindowSizes();
    video::IVideoModeList* modes = askVideoModes();
    const s32 count = modes ? modes->getVideoModeCount() : 0;
    for (s32 i = 0; i < count; ++i) {
        const core::dimension2du mode = modes->getVideoModeResolution(i);
        if (mode.Width < smallestWindowSize().Width || mode.Height < smallestWindowSize().Height)
            continue;
        bool duplicate = false;
        for (const core::dimension2du& entry : Resolutions) {
            if (entry == mode) {
                duplicate = true;
                break;
            }
            if (entry.Width > mode.Width && entry.Height > mode.Height)
                break;
        }
        if (!duplicate)
            Resolutions.push_back(mode);
    }
    // A window larger than the display cannot be shown whole (and the device falls back).
    if (modes)
        Resolutions = sizesThatFit(Resolutions, modes->getDesktopResolution());
}

std::vector<core::dimension2du> GUIGraphicsOptionsScreen::sizesThatFit(const std::vector<core::dimension2du>& sizes,
                                                                       const core::dimension2du& display) {
    if (display.Width == 0 || display.Height == 0)
        return sizes;
    std::vector<core::dimension2du> fitting;
    for (const core::dimension2du& size : sizes)
        if (size.Width <= display.Width && size.Height <= display.Height)
            fitting.push_back(size);
    return fitting;
}

void GUIGraphicsOptionsScreen::fillResolutionRow() {
    const core::dimension2du stored(static_cast<u32>(getSettingInt("Graphics_ScreenWidth")),
                                    static_cast<u32>(getSettingInt("Graphics_ScreenHeight")));
    for (std::size_t i = 0; i < Resolutions.size(); ++i)
        ResolutionRow->addValue(resolutionText(Resolutions[i]), static_cast<s32>(i));
    // A stored size the list does not hold shows the first entry (and leaving counts as a change).
    const auto found = std::find(Resolutions.begin(), Resolutions.end(), stored);
    if (found != Resolutions.end())
        ResolutionAtOpen = stored;
    ResolutionRow->setIndex(found != Resolutions.end() ? static_cast<s32>(found - Resolutions.begin()) : 0);
}

void GUIGraphicsOptionsScreen::buildScreen() { buildPage(GraphicsText::Title); }

void GUIGraphicsOptionsScreen::buildItems() {
    using namespace GraphicsText;
    const auto text = [](s32 id) { return settingsText(id); };
    buildResolutionList();
    ResolutionRow = addCycleRow(Resolution, {});
    fillResolutionRow();
    bindCallback(ResolutionRow->OnValueChanged, this, &GUIGraphicsOptionsScreen::onResolution);

    GUIOptionCycle* row = addCycleRow(Fullscreen, {{text(Off), 0}, {text(On), 1}, {text(Borderless), 2}});
    row->setIndex(getSettingInt("Graphics_FullscreenMode"));
    bindCallback(row->OnValueChanged, this, &GUIGraphicsOptionsScreen::onFullscreenMode);

    bindCallback(addOnOffRow(Overscan, getSettingBool("Graphics_Overscan"))->OnValueChanged, this,
                 &GUIGraphicsOptionsScreen::onOverscan);
    bindCallback(addOnOffRow(Vsync, getSettingBool("Graphics_Vsync"))->OnValueChanged, this,
                 &GUIGraphicsOptionsScreen::onVsync);
    if (OpenedFromMainMenu) {
        row = addCycleRow(Quality, {{text(High), 0}, {text(Highest), 2}});
        row->selectValueById(getSettingInt("Graphics_Quality"));
        bindCallback(row->OnValueChanged, this, &GUIGraphicsOptionsScreen::onQuality);
    }
    row = addCycleRow(Antialiasing, {{text(Off), 0}, {L"2x", 2}, {L"4x", 4}, {L"8x", 8}, {L"16x", 16}});
    AntialiasingAtOpen = getSettingInt("Graphics_Antialiasing");
    row->selectValueById(AntialiasingAtOpen);
    bindCallback(row->OnValueChanged, this, &GUIGraphicsOptionsScreen::onAntialiasing);

    bindCallback(addOnOffRow(Shadows, getSettingBool("Graphics_Shadows"))->OnValueChanged, this,
                 &GUIGraphicsOptionsScreen::onShadows);
    row = addCycleRow(ShadowQuality, {{text(Low), 512}, {text(Medium), 1024}, {text(High), 2048}});
    const s32 mapSize = getSettingInt("Graphics_ShadowQuality");
    row->setIndex(mapSize == 1024 ? 1 : mapSize == 2048 ? 2 : 0);
    bindCallback(row->OnValueChanged, this, &GUIGraphicsOptionsScreen::onShadowQuality);
    row = addCycleRow(ShadowDistance, {{text(Low), 1}, {text(High), 2}});
    row->setIndex(getSettingInt("Graphics_ShadowDistance") == 2 ? 1 : 0);
    bindCallback(row->OnValueChanged, this, &GUIGraphicsOptionsScreen::onShadowDistance);
    bindCallback(addOnOffRow(Reflection, getSettingBool("Graphics_Reflection"))->OnValueChanged, this,
                 &GUIGraphicsOptionsScreen::onReflection);
}

// --- row handlers -------------------------------------------------------------------------------

void GUIGraphicsOptionsScreen::onResolution(s32 id) {
    if (id < 0 || static_cast<std::size_t>(id) >= Resolutions.size())
        return;
    setSettingInt("Graphics_ScreenWidth", static_cast<int>(Resolutions[static_cast<std::size_t>(id)].Width));
    setSettingInt("Graphics_ScreenHeight", static_cast<int>(Resolutions[static_cast<std::size_t>(id)].Height));
}

void GUIGraphicsOptionsScreen::onFullscreenMode(s32 id) {
    setSettingInt("Graphics_FullscreenMode", id);
    // The list depends on the mode; the resolution found at opening still counts as the
    // one to compare with.
    const core::dimension2du atOpen = ResolutionAtOpen;
    ResolutionRow->clearValues();
    buildResolutionList();
    fillResolutionRow();
    ResolutionAtOpen = atOpen;
}

void GUIGraphicsOptionsScreen::onOverscan(s32 id) {
    setSettingBool("Graphics_Overscan", id != 0);
    if (screenManager)
        screenManager->Overscan = id != 0;
}

void GUIGraphicsOptionsScreen::onVsync(s32 id) { setSettingBool("Graphics_Vsync", id != 0); }

void GUIGraphicsOptionsScreen::onQuality(s32 id) {
    setSettingInt("Graphics_Quality", id);
    // Applied once (not once per shadow light).
    const s32 mode = id == 0 ? 0 : id == 1 ? 0 : 2;
    if (shaderManager)
        shaderManager->graphicsQuality = mode;
    if (gameDevice)
        gameDevice->getSceneManager()->getParameters()->setAttribute(scene::ALLOW_ZWRITE_ON_TRANSPARENT, mode == 2);
    // Both are shader paths: without shaders a merged instanced mesh would draw every copy
    // in one place.
    if (effectHandler) {
        effectHandler->hardwareSkinning = mode != 2;
        effectHandler->instancing = mode != 2;
    }
    if (mode != 2) {
        if (shaderManager)
            shaderManager->rebuildShaders();
        if (levelManager)
            levelManager->queueRestartLevel();
    } else if (levelManager) {
        // The calibration scene comes again with the simplest renderer.
        levelManager->queueEvent(new UnloadLevelEvent(true));
        levelManager->queueEvent(new LoadLevelEvent(io::path(calibrationLevel)));
    }
}

void GUIGraphicsOptionsScreen::onAntialiasing(s32 id) {
    setSettingInt("Graphics_Antialiasing", id);
    if (gameDevice)
        setSceneAntialiasing(gameDevice->getSceneManager()->getRootSceneNode(),
                             id != 0 ? static_cast<u8>(video::EAAM_FULL_BASIC) : static_cast<u8>(video::EAAM_OFF));
}

void GUIGraphicsOptionsScreen::onShadows(s32 id) {
    setSettingBool("Graphics_Shadows", id != 0);
    if (effectHandler)
        effectHandler->shadowsEnabled = id != 0;
}

void GUIGraphicsOptionsScreen::onShadowQuality(s32 id) {
    setSettingInt("Graphics_ShadowQuality", id);
    if (effectHandler)
        for (ShadowLight& light : effectHandler->shadowLights)
            light.resolution = static_cast<u32>(id);
}

void GUIGraphicsOptionsScreen::onShadowDistance(s32 id) {
    setSettingInt("Graphics_ShadowDistance", id);
    if (effectHandler)
        effectHandler->shadowDistanceMode = id;
}

void GUIGraphicsOptionsScreen::onReflection(s32 id) {
    setSettingBool("Graphics_Reflection", id != 0);
    if (effectHandler)
        effectHandler->renderCallbacksEnabled = id != 0;
}

// --- closing ----------------------------------------------------------------------------------------

bool GUIGraphicsOptionsScreen::needsRestart() const {
    if (ResolutionRow && ResolutionRow->getIndex() < static_cast<s32>(Resolutions.size()) &&
        Resolutions[static_cast<std::size_t>(ResolutionRow->getIndex())] != ResolutionAtOpen)
        return true;
    if (getSettingInt("Graphics_Antialiasing") != AntialiasingAtOpen)
        return true;
    if (getSettingInt("Graphics_FullscreenMode") != deviceFullscreenMode)
        return true;
    return getSettingBool("Graphics_Vsync") != deviceVsync;
}

void GUIGraphicsOptionsScreen::onFadeOutDone() {
    if (gameSettings)
        gameSettings->save();
    const bool restart = needsRestart();
    if (OpenedFromMainMenu) {
        if (restart) {
            // The game starts again with the new device and reopens the options.
            RestartRequested = true;
            ReopenOptionsRequested = true;
            return;
        }
        closePage();
        return;
    }
    if (!restart) {
        closePage();
        return;
    }
    auto* notice = new GUIDialogScreen(getLanguageText(GraphicsText::RestartNotice),
                                       {getLanguageText(GraphicsText::Ok)}, Environment, KeepTimerRunning, true);
    bindCallback(notice->AnswerChosen, this, &GUIGraphicsOptionsScreen::onRestartNoticeClosed);
    if (screenManager)
        screenManager->pushScreen(notice);
    notice->drop();
}

void GUIGraphicsOptionsScreen::onRestartNoticeClosed(s32&) { closePage(); }
