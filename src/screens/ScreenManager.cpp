#include "screens/ScreenManager.h"
#include "core/FontGate.h"
#include "core/ImageGate.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "gui/GUIDebugStats.h"
#include "gui/GUIButton.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/GUIImage.h"
#include "gui/GUIOptionsList.h"
#include "gui/GUIScreen.h"
#include "gui/GuiCommon.h"
#include "core/TextUtils.h"
#include "gui/GuiHooks.h"
#include "gui/fonts/FontCache.h"
#include "gui/hud/GUIHud.h"
#include "camera/GUICutscene.h"
#include "gui/hud/GUINotification.h"
#include "gui/hud/GUISplat.h"
#include "gui/hud/GUIObjectiveCenter.h"
#include "gui/hud/GUISubtitleManager.h"
#include "core/LanguageManager.h"
#include "screens/levels/GUILevelElement.h"
#include "level/LevelEvents.h"
#include "level/LevelManager.h"
#include "player/InputDevice.h"
#include "player/InputManager.h"
#include "player/PlayerControls.h"
#include "render/TextureMipMaps.h"
#include "screens/menus/GUIMainScreen.h"
#include "screens/menus/GUIPauseScreen.h"
#include "screens/menus/GUIPlayScreen.h"
#include "core/ProgramQueries.h"

#include <IGUIEnvironment.h>
#include <IGUISkin.h>
#include <IGUIStaticText.h>
#include <IVideoDriver.h>
#include <ITimer.h>
#include <IrrlichtDevice.h>
#include <Keycodes.h>

#include <algorithm>

using namespace irr;

namespace {

// Keyboard key state "pressed this frame".
constexpr s32 keyPressedThisFrame = 2;
// The remapping capture leaves this many updates out before it samples.
constexpr s32 captureDelayFrames = 5;

u32 currentTime() {
    return gameDevice && gameDevice->getTimer() ? gameDevice->getTimer()->getTime() : 0;
}

// Every player-controls object of the input manager is asked (none is skipped once one
// answered), so that each sees the press.
bool anyPausePressed() {
    if (!inputManager)
        return false;
    bool pressed = false;
    for (int player = 0; player < maxPlayers; ++player)
        for (int set = 0; set < inputManager->getPlayerControlsCount(player); ++set)
            if (PlayerControls* controls = inputManager->getPlayerControls(player, set))
                pressed = controls->isPausePressed() || pressed;
    return pressed;
}

} // namespace

ScreenManager::ScreenManager(gui::IGUIEnvironment* environment) : Environment(environment) {}

ScreenManager::~ScreenManager() {
    for (GUIScreen* screen : ScreenStack)
        queueScreenRemoval(screen);
    ScreenStack.clear();
    flushScreenRemovals();
    PauseOpened.clear();
    ActiveNotifications.clear();
    PendingDismissals.clear();
    // Fonts hold page textures of the driver: they go before the device does.
    clearFontCache();
}

void ScreenManager::init() {
    GUINotification::loadNotificationTable();
    if (Environment) {
        if (gui::IGUIFont* debugFont = getCheckedFont(Environment, debugFontPath))
            Environment->getSkin()->setFont(debugFont);
    }
    createScreens();
    if (!levelOnCommandLine)
        openMainScreen(0);
    if (Environment) {
        video::IVideoDriver* driver = Environment->getVideoDriver();
        // The reflection pass's fallback textures are a scene's, even while the start-up
        // loads its pictures flat.
        const TextureMipMaps sceneTextures(driver, true);
        WhiteTexture = driver->getTexture("Content/Models/Editor/White.png");
        GradientTexture = driver->getTexture("Content/Models/Editor/Gradient.png");
    }
    EnablePopups = getSettingBool("Mod_EnablePopups");
    ShowLevelTimer = getSettingBool("Mod_ShowLevelTimer");
    Overscan = getSettingBool("Graphics_Overscan");
    Subtitles = getSettingBool("Audio_Subtitles");
    BlackBoxSubtitles = getSettingBool("Audio_BlackBoxSubtitles");
    Initialised = true;
}

void ScreenManager::createScreens() {
    Hud = nullptr;
    Cutscene = nullptr;
    PauseScreen = nullptr;
    ObjectiveCenter = nullptr;
    SubtitleManager = nullptr;
    NotificationLayer = nullptr;
    ActiveNotifications.clear();
    CheckpointIcon = LoadingIcon = LoadingBarBack = LoadingBarFill = nullptr;
    OverlayView1 = OverlayView2 = nullptr;
    DebugStats = nullptr;
    MessageLayer = nullptr;
    MessageText = MessageShadow = nullptr;
    TimerBox = LevelRow = TotalRow = nullptr;
    LevelTimeText = LevelBestText = LevelBestLabel = TotalTimeText = TotalBestText = TotalBestLabel = nullptr;
    ScreenStack.clear();
    RemovalList.clear();
    StackActive = false;
    if (!Environment)
        return;
    Environment->clear();
    Overscan = getSettingBool("Graphics_Overscan");
    Subtitles = getSettingBool("Audio_Subtitles");
    BlackBoxSubtitles = getSettingBool("Audio_BlackBoxSubtitles");

    Hud = new GUIHud(Environment, Environment->getRootGUIElement());
    Hud->setSubElement(true);
    Hud->drop();

    // The cutscene overlay stands over the HUD and under the menus.
    Cutscene = new GUICutscene(Environment, Environment->getRootGUIElement(), overlayId);
    Cutscene->drop();
    Cutscene->setVisible(false);

    gui::IGUIElement* root = Environment->getRootGUIElement();
    NotificationLayer = Environment->addStaticText(L"", core::recti(0, 0, screenWidth, screenHeight), false, true, root, -1, false);
    NotificationLayer->setSubElement(true);
    PendingDismissals.clear();

    createLevelTimer();

    SubtitleManager = new GUISubtitleManager(Environment, root);
    SubtitleManager->setSubElement(true);
    SubtitleManager->drop();
    SubtitleManager->SubtitlesOn = Subtitles;
    SubtitleManager->setBlackBox(BlackBoxSubtitles);

    PauseScreen = new GUIPauseScreen(nullptr, Environment, core::recti(0, 0, screenWidth, screenHeight));
    PauseScreen->setSubElement(true);
    PauseScreen->drop();

    ObjectiveCenter = new GUIObjectiveCenter(Environment, root, 0, core::recti(0, 0, screenWidth, screenHeight));
    ObjectiveCenter->setSubElement(true);
    ObjectiveCenter->drop();
    Hud->ObjectivePanel = ObjectiveCenter;
    createLoadingBillboards();
    DebugStats = new GUIDebugStats(Environment);
    DebugStats->drop();
    createMessageLayer();
    CrossfadeAlpha = 0.0f;
}

void ScreenManager::createMessageLayer() {
    MessageLayer = new GUIImage(Environment, Environment->getRootGUIElement(), overlayId,
                                core::recti(0, 0, screenWidth, screenHeight));
    MessageLayer->setSubElement(true);
    MessageLayer->setDrawnByOwner(true);
    MessageLayer->drop();
    // A band under the top edge, as wide as the screen leaves beside two 324-unit margins.
    const s32 halfWidth = screenWidth / 2 - guiUnits(324) - screenWidthPart(0.1f);
    const s32 top = guiUnits(20) + screenHeightPart(0.1f);
    const core::recti area(screenWidth / 2 - halfWidth, top, screenWidth / 2 + halfWidth, top + guiUnits(128));
    gui::IGUIFont* font = languageManager ? languageManager->getFont(LanguageManager::FontObjective) : nullptr;
    const auto addText = [&](const core::recti& rect, u32 colour) {
        auto* text = new GUIFreeTypeText(L"", Environment, MessageLayer, overlayId, rect);
        text->setWordWrap(true);
        text->setOverrideColor(video::SColor(colour));
        text->setTextAlignment(gui::EGUIA_CENTER, gui::EGUIA_UPPERLEFT);
        if (font)
            text->setOverrideFont(font);
        text->setSubElement(true);
        text->drop();
        return text;
    };
    MessageShadow = addText(area + core::position2di(guiUnits(2), guiUnits(2)), 0xFF000000);
    MessageText = addText(area, 0xFFFFFFFF);
}

// --- subtitles --------------------------------------------------------------------------------------

void ScreenManager::loadSubtitles(const io::path& name) {
    if (SubtitleManager)
        SubtitleManager->loadPersistentSubtitles(name);
}

void ScreenManager::clearSubtitles() {
    if (SubtitleManager)
        SubtitleManager->clear();
}

void ScreenManager::resetSubtitlesAndCutscene() {
    CrossfadeAlpha = 0.0f;
    clearSubtitles();
    ActiveNotifications.clear();
    PendingDismissals.clear();
    if (Cutscene)
        Cutscene->setVisible(false);
}

// --- notifications -----------------------------------------------------------------------------------

GUINotification* ScreenManager::addHiddenNotification() {
    auto* notification = new GUINotification(Environment, NotificationLayer);
    notification->drop();
    return notification;
}

namespace {

// Hidden and off screen until it is shown.
void parkNotification(GUINotification* notification) {
    notification->setDuration(-1.0f);
    const core::dimension2di size = notification->getRelativePosition().getSize();
    notification->setRelativePosition(core::recti(core::position2di(-10000, -10000), size));
    notification->updateAbsolutePosition();
    notification->setVisible(false);
}

template <class Match>
GUINotification* findNotificationChild(gui::IGUIElement* layer, Match&& match) {
    if (!layer)
        return nullptr;
    for (gui::IGUIElement* child : layer->getChildren())
        if (static_cast<s32>(child->getType()) == GuiType::Notification && match(static_cast<GUINotification*>(child)))
            return static_cast<GUINotification*>(child);
    return nullptr;
}

} // namespace

GUINotification* ScreenManager::getNotificationByPath(const core::stringc& path) {
    if (!NotificationLayer)
        return nullptr;
    if (GUINotification* found = findNotificationChild(NotificationLayer, [&](GUINotification* n) { return n->getGUIPath() == path; }))
        return found;
    GUINotification* notification = addHiddenNotification();
    const io::path file = languageManager ? languageManager->getLocalizedPath(io::path(path.c_str())) : io::path(path.c_str());
    notification->loadGUIFile(core::stringc(file.c_str()));
    notification->setGUIPath(path);
    parkNotification(notification);
    return notification;
}

GUINotification* ScreenManager::getNotificationByName(const char* name) {
    if (!NotificationLayer || !name)
        return nullptr;
    if (GUINotification* found = findNotificationChild(NotificationLayer, [&](GUINotification* n) { return n->getNotificationName() == name; }))
        return found;
    GUINotification* notification = addHiddenNotification();
    {
        // A notification of the game's table: its pictures are the HUD's, not the level's
        // that asked for it while it loads.
        const GamePicturesScope hudPictures;
        notification->setNotification(name);
    }
    parkNotification(notification);
    return notification;
}

void ScreenManager::showNotification(GUINotification* notification, f32 durationSeconds) {
    if (!notification || !EnablePopups || notification->isDismissed())
        return;
    if (std::find(ActiveNotifications.begin(), ActiveNotifications.end(), notification) != ActiveNotifications.end())
        return;
    notification->setVisible(true);
    notification->setDuration(durationSeconds);
    notification->OnPostRender(0);
    ActiveNotifications.push_back(notification);
}

void ScreenManager::addPendingDismissal(const std::string& name) {
    if (std::find(PendingDismissals.begin(), PendingDismissals.end(), name) == PendingDismissals.end())
        PendingDismissals.push_back(name);
}

void ScreenManager::dismissNotification(const char* name, bool immediately) {
    if (!NotificationLayer || !name)
        return;
    bool found = false;
    for (gui::IGUIElement* child : NotificationLayer->getChildren()) {
        if (static_cast<s32>(child->getType()) != GuiType::Notification)
            continue;
        auto* notification = static_cast<GUINotification*>(child);
        if (notification->getNotificationName() != name)
            continue;
        notification->dismiss(immediately);
        found = true;
    }
    if (!found)
        addPendingDismissal(name);
}

void ScreenManager::dismissAllNotifications() {
    if (!NotificationLayer)
        return;
    for (gui::IGUIElement* child : NotificationLayer->getChildren()) {
        if (!child->isVisible() || static_cast<s32>(child->getType()) != GuiType::Notification)
            continue;
        auto* notification = static_cast<GUINotification*>(child);
        notification->dismiss(true);
        addPendingDismissal(notification->getNotificationName());
    }
}

void ScreenManager::updateNotifications() {
    if (!isSimulationActive() || !NotificationLayer)
        return;
    for (gui::IGUIElement* child : NotificationLayer->getChildren()) {
        if (static_cast<s32>(child->getType()) != GuiType::Notification)
            continue;
        auto* notification = static_cast<GUINotification*>(child);
        const f32 duration = notification->getDuration();
        if (duration > 0.0f && notification->getElapsed() > duration + 1.0f && notification->isVisible()) {
            // At most one notification finishes per frame.
            const core::dimension2di size = notification->getRelativePosition().getSize();
            notification->setRelativePosition(core::recti(core::position2di(-10000, -10000), size));
            notification->updateAbsolutePosition();
            notification->setVisible(false);
            auto queued = std::find(ActiveNotifications.begin(), ActiveNotifications.end(), notification);
            if (queued != ActiveNotifications.end())
                ActiveNotifications.erase(queued);
            return;
        }
        for (std::size_t i = 0; i < PendingDismissals.size();) {
            if (notification->isVisible() && notification->getNotificationName() == PendingDismissals[i]) {
                notification->dismiss(false);
                PendingDismissals.erase(PendingDismissals.begin() + static_cast<std::ptrdiff_t>(i));
            } else {
                ++i;
            }
        }
    }
}

void ScreenManager::resetNotifications() {
    // The elements go: the queue must not reach them any more.
    ActiveNotifications.clear();
    if (NotificationLayer)
        while (!NotificationLayer->getChildren().empty())
            NotificationLayer->removeChild(*NotificationLayer->getChildren().begin());
    if (ObjectiveCenter)
        ObjectiveCenter->resetForLevel();
    if (Hud)
        for (GUISplat* splat : Hud->getSplats())
            splat->setVisible(false);
}

// --- gates ------------------------------------------------------------------------------------

GUIScreen* ScreenManager::getTopScreen() const {
    if (StackActive && !ScreenStack.empty())
        return ScreenStack.front();
    GUIScreen* pause = findPauseScreen();
    return pause && pause->isVisible() ? pause : nullptr;
}

GUIButton* ScreenManager::getTopScreenFocus() const {
    GUIScreen* top = getTopScreen();
    return top ? top->getFocusedElement() : nullptr;
}

bool ScreenManager::isInputAllowed() const {
    if (levelManager && levelManager->levelLoading)
        return false;
    GUIScreen* top = getTopScreen();
    if (top && top->PassInput)
        return true;
    if (!Environment)
        return true;
    for (const gui::IGUIElement* child : Environment->getRootGUIElement()->getChildren())
        if (child->isVisible() && child->getID() > 0 && static_cast<s32>(child->getType()) != passingType)
            return false;
    return true;
}

bool ScreenManager::isGameUpdateAllowed() const {
    GUIScreen* top = getTopScreen();
    return (top && top->getPassUpdate()) || isInputAllowed();
}

bool ScreenManager::topScreenKeepsTimerRunning() const {
    return !ScreenStack.empty() && ScreenStack.front()->getKeepTimerRunning();
}

f32 ScreenManager::getOverlayBlend() const { return Cutscene ? Cutscene->getBarAmount() : 0.0f; }

bool ScreenManager::isPauseScreenVisible() const {
    GUIScreen* pause = findPauseScreen();
    return pause && pause->isVisible();
}

bool ScreenManager::isGamePaused() const {
    GUIScreen* pause = findPauseScreen();
    return pause && pause->isVisible() && pause->getFadeState() != GUIScreen::FadedOut;
}

// --- finding screens ----------------------------------------------------------------------------

GUIScreen* ScreenManager::findPauseScreen() const {
    if (!Environment)
        return nullptr;
    for (gui::IGUIElement* child : Environment->getRootGUIElement()->getChildren()) {
        if (child->getID() != pauseScreenId)
            continue;
        // Only a screen can be the pause screen.
        GUIScreen* screen = GUIScreen::findOwningScreen(child);
        return screen == child ? screen : nullptr;
    }
    return nullptr;
}

GUIScreen* ScreenManager::findScreenOf(const gui::IGUIElement* element) const {
    if (!element)
        return nullptr;
    const gui::IGUIElement* root = Environment ? Environment->getRootGUIElement() : nullptr;
    const auto contains = [&](const GUIScreen* screen) {
        for (const gui::IGUIElement* at = element; at && at != root; at = at->getParent())
            if (at == screen)
                return true;
        return false;
    };
    for (GUIScreen* screen : ScreenStack)
        if (contains(screen))
            return screen;
    GUIScreen* pause = findPauseScreen();
    return pause && contains(pause) ? pause : nullptr;
}

// --- the stack ---------------------------------------------------------------------------------------

void ScreenManager::pushScreen(GUIScreen* screen) {
    if (!screen)
        return;
    ScreenStack.insert(ScreenStack.begin(), screen);
    screen->refreshFocus();
    screen->OnPostRender(currentTime());
    StackActive = true;
}

void ScreenManager::popScreen(GUIScreen* screen, bool close) {
    if (!screen)
        return;
    auto found = std::find(ScreenStack.begin(), ScreenStack.end(), screen);
    if (found != ScreenStack.end())
        ScreenStack.erase(found);
    if (close) {
        screen->reservedHook();
        queueScreenRemoval(screen);
    }
    if (GUIScreen* top = getTopScreen())
        top->refreshFocus();
    if (ScreenStack.empty())
        StackActive = false;
}

void ScreenManager::queueScreenRemoval(GUIScreen* screen) {
    if (screen && std::find(RemovalList.begin(), RemovalList.end(), screen) == RemovalList.end())
        RemovalList.push_back(screen);
}

void ScreenManager::closeAllScreens() {
    for (GUIScreen* screen : ScreenStack)
        queueScreenRemoval(screen);
    ScreenStack.clear();
    if (GUIScreen* pause = findPauseScreen())
        pause->clearVisibleFlag();
    StackActive = false;
}

void ScreenManager::flushScreenRemovals() {
    while (!RemovalList.empty()) {
        GUIScreen* screen = RemovalList.back();
        RemovalList.pop_back();
        // A screen removed from the tree is not on the stack any more.
        auto stacked = std::find(ScreenStack.begin(), ScreenStack.end(), screen);
        if (stacked != ScreenStack.end())
            ScreenStack.erase(stacked);
        screen->remove();
    }
}

void ScreenManager::setPauseScreenVisible(bool show) {
    if (levelManager && levelManager->loadingOverlay.isBusy())
        return;
    GUIScreen* pause = findPauseScreen();
    if (!pause)
        return;
    if (!pause->isVisible() && show)
        PauseOpened.invoke();
    pause->setVisible(show);
}

void ScreenManager::openMainScreen(s32 playMode) {
    if (Environment) {
        auto* main = new GUIMainScreen(Environment, Environment->getRootGUIElement(), mainScreenId,
                                       core::recti(0, 0, 100, 100));
        main->drop();
        ScreenStack.insert(ScreenStack.begin(), main);
        main->refreshFocus();
        auto* play = new GUIPlayScreen(Environment, true);
        play->MenuRequest = playMode;
        play->drop();
        ScreenStack.insert(ScreenStack.begin(), play);
        play->refreshFocus();
    }
    // Without a GUI nothing is open: the game is not held behind menus.
    StackActive = !ScreenStack.empty();
}

core::position2di ScreenManager::getOverscanMargin() const {
    if (!Overscan)
        return core::position2di(0, 0);
    return core::position2di(screenWidthPart(0.05f), screenHeightPart(0.05f));
}

// --- frame --------------------------------------------------------------------------------------------

void ScreenManager::togglePause() {
    if (!ScreenStack.empty() || !findPauseScreen())
        return;
    if (!anyPausePressed())
        return;
    const core::stringw path = levelManager ? levelManager->getCurrentLevelPath() : core::stringw();
    if (levelManager && equalsIgnoringAsciiCase(std::wstring_view(path.c_str()), endingCreditsLevel)) {
        // The credits leave to the main menu behind a covering transition.
        levelManager->queueEvent(TransitionEvent::overDuration(true, 3, 2, 2.0f, 0));
        levelManager->queueClearMenus();
        levelManager->queueReturnToMainMenu();
        return;
    }
    setPauseScreenVisible(isInputAllowed());
}

void ScreenManager::update() {
    togglePause();
    if (CaptureInput && !InputCaptured) {
        if (CaptureFrames < captureDelayFrames)
            ++CaptureFrames;
        if (CaptureFrames == captureDelayFrames &&
            inputManager && InputDevice::detectAnyPressedInput()) {
            CaptureFrames = 0;
            InputCaptured = true;
        }
    }
    updateNotifications();
    flushScreenRemovals();
    coverScreensUnderPanels();
}

void ScreenManager::coverScreensUnderPanels() {
    // A panel that has come in covers every screen beneath it. One that is still sliding in
    // or out covers those on its own side of the screen as well, where its translucent paper
    // lies over their rows, unless they are leaving themselves (their rows slide out with
    // their own panel).
    bool panelAbove = false;
    bool sideAbove[2] = {false, false};
    const auto cover = [&](GUIOptionsList* list) {
        const s32 state = list->getFadeState();
        const bool leaving = state == GUIScreen::FadingOut || state == GUIScreen::FadedOut;
        list->setCoveredByPanel(panelAbove || (sideAbove[list->isPanelOnRight()] && !leaving));
        if (!list->getPanel() || !list->isVisible())
            return;
        sideAbove[list->isPanelOnRight()] = true;
        if (state == GUIScreen::Shown)
            panelAbove = true;
    };
    for (GUIScreen* screen : ScreenStack)
        if (auto* list = dynamic_cast<GUIOptionsList*>(screen))
            cover(list);
    // The pause menu stands beneath every stacked screen without being on the stack.
    if (auto* pause = dynamic_cast<GUIOptionsList*>(findPauseScreen()))
        cover(pause);
}

void ScreenManager::draw() {
    if (Hud) {
        const bool show = isSimulationActive() && !(levelManager && levelManager->levelLoading);
        if (show != Hud->isVisible())
            Hud->setVisible(show);
    }
    layoutOverlays();
    drawCrossfade();
    drawLevelTimer();
    // The debug statistics last: they draw above everything, the loading billboard below them.
    keepInFront({MessageLayer, OverlayView2, LoadingIcon, DebugStats});
    if (DrawGUI && Environment)
        Environment->drawAll();
}

void ScreenManager::postRenderGUI(f32 runningSeconds) {
    if (Environment)
        Environment->getRootGUIElement()->OnPostRender(static_cast<u32>(std::max(runningSeconds, 0.0f)));
}

void ScreenManager::handleDebugKeys() {
    if (!debugMode || !inputManager)
        return;
    if (DebugStats)
        DebugStats->toggleOnKey();
    if (keyboardKeyState(KEY_F7) == keyPressedThisFrame)
        DrawGUI = !DrawGUI;
    if (keyboardKeyState(KEY_ESCAPE) == keyPressedThisFrame || keyboardKeyState(KEY_F8) == keyPressedThisFrame)
        DrawGUI = true;
}

void ScreenManager::setCaptureInput(bool capture) {
    CaptureInput = capture;
    InputCaptured = false;
    CaptureFrames = 0;
}

bool ScreenManager::getCapturedControllerState(ButtonMapping& out) const {
    if (!InputCaptured)
        return false;
    out = InputDevice::foundMapping();
    return true;
}
