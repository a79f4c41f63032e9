#include "screens/menus/GUIOptionsScreen.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/TextUtils.h"
#include "gui/GUIMenuItem.h"
#include "gui/GUITextButton.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "level/LevelManager.h"
#include "screens/ScreenManager.h"
#include "screens/menus/GUIAudioOptionsScreen.h"
#include "screens/menus/GUIControlOptionsScreen.h"
#include "screens/menus/GUIDialogScreen.h"
#include "screens/menus/GUIGraphicsOptionsScreen.h"
#include "screens/menus/GUIMainScreen.h"
#include "screens/menus/GUIPlayScreen.h"

#include <string_view>

using namespace irr;

namespace {

namespace OptionsText {
constexpr s32 Title = 4;
constexpr s32 Graphics = 11;
constexpr s32 Controls = 12;
constexpr s32 Audio = 15;
constexpr s32 Reset = 17;
constexpr s32 Yes = 102;
constexpr s32 No = 103;
constexpr s32 ResetQuestion = 404;
} // namespace OptionsText

constexpr f32 optionsFadeSeconds = 0.2f;

} // namespace

GUIOptionsScreen* openOptionsScreen(bool openedFromMainMenu) {
    if (!screenManager || !screenManager->getEnvironment())
        return nullptr;
    auto* screen = new GUIOptionsScreen(screenManager->getEnvironment(), openedFromMainMenu);
    screenManager->pushScreen(screen);
    screen->drop();
    return screen;
}

GUIOptionsScreen::GUIOptionsScreen(gui::IGUIEnvironment* environment, bool openedFromMainMenu)
    : GUIOptionsList(environment, openedFromMainMenu, true) {
    PassUpdate = openedFromMainMenu;
    KeepTimerRunning = openedFromMainMenu;
    PassInput = true;
    startFadeIn(optionsFadeSeconds);
    buildScreen();
}

void GUIOptionsScreen::buildScreen() {
    ItemSpacing = guiUnits(6);
    createPanel(0);
    createTitle(getLanguageText(OptionsText::Title).c_str(), getLanguageFont(3));
    buildItems();
    createBackButton();
    linkItemNeighbours();
    updateAbsolutePosition();
}

void GUIOptionsScreen::buildItems() {
    GUIOptionsList::buildItems();
    bindCallback(addMenuItem(getLanguageText(OptionsText::Graphics).c_str())->OnClick, this,
                 &GUIOptionsScreen::onGraphics);
    bindCallback(addMenuItem(getLanguageText(OptionsText::Controls).c_str())->OnClick, this,
                 &GUIOptionsScreen::onControls);
    bindCallback(addMenuItem(getLanguageText(OptionsText::Audio).c_str())->OnClick, this, &GUIOptionsScreen::onAudio);
    if (!OpenedFromMainMenu)
        return;
    GUIMenuItem* reset = addMenuItem(getLanguageText(OptionsText::Reset).c_str());
    reset->getCaptionButton()->setStateColors(video::SColor(0xff4b4b7d), video::SColor(0xffffffff),
                                              video::SColor(0xff323296), video::SColor(0xffffffff));
    bindCallback(reset->OnClick, this, &GUIOptionsScreen::onReset);
}

void GUIOptionsScreen::stack(GUIScreen* screen) {
    if (screenManager)
        screenManager->pushScreen(screen);
    screen->drop();
}

void GUIOptionsScreen::onGraphics(GUIButton*) { stack(new GUIGraphicsOptionsScreen(Environment, OpenedFromMainMenu)); }

void GUIOptionsScreen::onAudio(GUIButton*) { stack(new GUIAudioOptionsScreen(Environment, OpenedFromMainMenu)); }

void GUIOptionsScreen::onControls(GUIButton*) {
    if (screenManager)
        stack(new GUIControlOptionsScreen(Environment, OpenedFromMainMenu));
}

void GUIOptionsScreen::onReset(GUIButton*) {
    auto* dialog = new GUIDialogScreen(getLanguageText(OptionsText::ResetQuestion),
                                       {getLanguageText(OptionsText::No), getLanguageText(OptionsText::Yes)},
                                       Environment, KeepTimerRunning, true);
    bindCallback(dialog->AnswerChosen, this, &GUIOptionsScreen::onResetAnswer);
    stack(dialog);
}

void GUIOptionsScreen::onResetAnswer(s32& answer) {
    if (answer != 1)
        return;
    if (gameSettings)
        gameSettings->load(true);
    ResetConfirmed = true;
}

void GUIOptionsScreen::refreshFocus() {
    MainScreenFadeTarget = 0.0f;
    setFocusedElement(FocusedElement);
    if (OpenedFromMainMenu && ResetConfirmed)
        restartAfterReset();
}

void GUIOptionsScreen::restartAfterReset() {
    // The restart rebuilds everything with the default settings and comes back here.
    RestartRequested = true;
    ReopenOptionsRequested = true;
}

void GUIOptionsScreen::onBack(GUIButton*) {
    setItemsEnabled(false);
    startFadeOut(optionsFadeSeconds);
}

void GUIOptionsScreen::OnPostRender(u32 timeMs) {
    GUIOptionsList::OnPostRender(timeMs);
    updatePanelSlide();
}

void GUIOptionsScreen::draw() {
    if (IsVisible)
        GUIScreen::draw();
}

void GUIOptionsScreen::onFadeOutDone() {
    if (gameSettings)
        gameSettings->save();
    if (!OpenedFromMainMenu) {
        if (screenManager)
            screenManager->popScreen(this, true);
        return;
    }
    MainScreenFadeTarget = 1.0f;
    if (ResetConfirmed) {
        restartAfterReset();
        return;
    }
    if (screenManager)
        screenManager->popScreen(this, true);
    if (levelManager &&
        !equalsIgnoringAsciiCase(std::wstring_view(levelManager->getCurrentLevelPath().c_str()), backgroundLevel))
        levelManager->queueLoadLevelEvent(io::path(backgroundLevel), false);
    // The main menu's list comes back, fading in, Options focused.
    if (screenManager) {
        auto* menu = new GUIPlayScreen(Environment, false);
        if (GUIMenuItem* options = menu->getOptionsItem())
            menu->setFocusedElement(options);
        screenManager->pushScreen(menu);
        menu->drop();
    }
}
