#include "screens/menus/GUIPlayScreen.h"
#include "screens/menus/GUIOptionsScreen.h"

#include "core/Globals.h"
#include "core/Log.h"
#include "core/Stopwatch.h"
#include "core/Utf8.h"
#include "gui/GUIMenuItem.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "level/LevelManager.h"
#include "level/SaveManager.h"
#include "player/InputManager.h"
#include "screens/ScreenManager.h"
#include "screens/levels/GUILevelSelectScreen.h"
#include "screens/levels/GUIStoryLevelSelectScreen.h"
#include "screens/levels/LevelCatalogue.h"
#include "screens/menus/GUIMainScreen.h"

#include <IGUIEnvironment.h>
#include <ITimer.h>
#include <IVideoDriver.h>
#include <IrrlichtDevice.h>

using namespace irr;

namespace {

constexpr f32 playFadeSeconds = 0.2f;
constexpr s32 soundMenuOpen = 22;
// The language texts of the entries.
namespace PlayText {
constexpr s32 Play = 0;
constexpr s32 Options = 4;
constexpr s32 Quit = 6;
constexpr s32 NewGame = 7;
} // namespace PlayText

// Textures the level menus draw, loaded while the main menu is built.
constexpr const char* levelMenuTextures[] = {
    "Content/Screens/Buttons/StarOutline1.png", "Content/Screens/Buttons/StarOutline2.png",
    "Content/Screens/Buttons/StarFilled1.png",  "Content/Screens/Buttons/StarFilled2.png",
    "Content/Screens/Buttons/StarFilled3.png",  "Content/Screens/Buttons/TieIcon1.png",
    "Content/Screens/Buttons/TieIcon2.png",
};

u32 engineTime() { return gameDevice && gameDevice->getTimer() ? gameDevice->getTimer()->getTime() : 0; }

} // namespace

GUIPlayScreen::GUIPlayScreen(gui::IGUIEnvironment* environment, bool instant)
    : GUIOptionsList(environment, false, true) {
    PassInput = false;
    PassUpdate = true;
    KeepTimerRunning = true;
    for (const char* texture : levelMenuTextures)
        environment->getVideoDriver()->getTexture(texture);
    startFade(FadeInTween, instant ? 0.001f : playFadeSeconds, FadingIn);
    buildScreen();
}

void GUIPlayScreen::buildScreen() {
    ListHeight = guiUnits(440);
    createPanel(0);
    buildItems();
    linkItemNeighbours();
    GUIScreen::OnPostRender(engineTime());
}

void GUIPlayScreen::buildItems() {
    GUIOptionsList::buildItems();
    loadLevelList();
    ItemFont = getLanguageFont(4);
    struct Entry {
        s32 text;
        void (GUIPlayScreen::*action)(GUIButton*);
    };
    std::vector<Entry> entries;
    if (demoMode)
        entries.push_back({PlayText::Play, countUnlockedStoryLevels() > 1 ? &GUIPlayScreen::openStorySelect
                                                                          : &GUIPlayScreen::onNewGame});
    else
        entries = {{PlayText::NewGame, &GUIPlayScreen::onNewGame},
                   {PlayText::Options, &GUIPlayScreen::openOptions},
                   {PlayText::Quit, &GUIPlayScreen::quitGame}};
    for (std::size_t i = 0; i < entries.size(); ++i) {
        GUIMenuItem* item = addMenuItem(getLanguageText(entries[i].text).c_str());
        bindCallback(item->OnClick, this, entries[i].action);
        if (entries[i].text == PlayText::Options)
            OptionsItem = item;
        if (entries[i].text != PlayText::Quit)
            ItemGaps[static_cast<u32>(Items.size() - 1)] = guiUnits(5);
    }
}

// The main menu has no back row and ignores the back key.
bool GUIPlayScreen::OnEvent(const SEvent& event) { return Parent ? Parent->OnEvent(event) : false; }

void GUIPlayScreen::refreshFocus() {
    setFocusedElement(FocusedElement);
    if (levelManager && levelManager->getCurrentLevelPath() == core::stringw(titleBackgroundLevel))
        showAutoSaveLevelPreview();
}

void GUIPlayScreen::OnPostRender(u32 timeMs) {
    GUIOptionsList::OnPostRender(timeMs);
    updatePanelSlide();
    if (LevelLockActive) {
        const bool held = inputManager && inputManager->isMenuKeyDown(MenuKey::Right) && !FocusedElement;
        UnlockHoldTime = held ? UnlockHoldTime + (frameStopwatch ? frameStopwatch->delta() : 0.0f) : 0.0f;
        if (UnlockHoldTime > unlockHoldSeconds)
            unlockEveryLevel();
    }
    if (levelManager && !levelManager->loadingOverlay.isOpaque()) {
        MenuRequest = 0;
        if (ReopenOptionsRequested) {
            MainScreenFadeTarget = 0.0f;
            MainScreenFade = 0.0f;
            openOptions(nullptr);
            ReopenOptionsRequested = false;
        }
    }
}

void GUIPlayScreen::unlockEveryLevel() {
    LevelLockActive = false;
    playSoundEffect(soundMenuOpen);
    loadLevelList();
    loadMenuPreviewScenes();
    if (saveManager) {
        saveManager->automaticWriting = false;
        for (const LevelRecord& record : AllLevels)
            saveManager->addUnlockedLevel(fromUtf8(record.path.c_str()).c_str());
        saveManager->automaticWriting = true;
    }
    MenuRequest = LevelManager::playModeStoryMenu;
    UnlockHoldTime = 0.0f;
}

// --- entries -----------------------------------------------------------------------------------------

void GUIPlayScreen::onNewGame(GUIButton*) {
    startFadeOut(playFadeSeconds);
    PlayCommand = "NewGame";
}

void GUIPlayScreen::openOptions(GUIButton*) {
    openOptionsScreen(true);
    setItemsEnabled(false);
    startFadeOut(playFadeSeconds);
    PlayCommand = "Settings";
}

void GUIPlayScreen::openStorySelect(GUIButton*) {
    auto* select = new GUIStoryLevelSelectScreen(this, Environment, LevelKindStory);
    if (screenManager)
        screenManager->pushScreen(select);
    select->drop();
}

// No entry of this menu opens the user levels' menu.
void GUIPlayScreen::openLevelSelect(GUIButton*) {
    auto* select = new GUILevelSelectScreen(Environment);
    if (screenManager)
        screenManager->pushScreen(select);
    select->drop();
}

void GUIPlayScreen::quitGame(GUIButton*) { QuitRequested = true; }

void GUIPlayScreen::onBack(GUIButton*) {
    setItemsEnabled(false);
    startFadeOut(playFadeSeconds);
}

void GUIPlayScreen::startNewGame() {
    const std::string path = MenuLevels.empty() ? std::string() : MenuLevels.front().path;
    if (saveManager) {
        saveManager->automaticWriting = false;
        saveManager->resetStorySave();
        saveManager->setAutoSavePath(fromUtf8(path.c_str()).c_str(), true);
        saveManager->automaticWriting = true;
        saveManager->requestWrite();
    }
    if (!levelManager)
        return;
    levelManager->PlayMode = LevelManager::playModeStory;
    LoadingOverlay& overlay = levelManager->loadingOverlay;
    overlay.mode = LoadingOverlay::FadeToWhite;
    overlay.kind = 2;
    overlay.fadeSpeed = 1.0f;
    overlay.hold = 0.5f;
    levelManager->queueLoadLevel(path.c_str(), true);
}

void GUIPlayScreen::onFadeOutDone() {
    if (PlayCommand == "NewGame")
        startNewGame();
    if (screenManager)
        screenManager->popScreen(this, true);
}
