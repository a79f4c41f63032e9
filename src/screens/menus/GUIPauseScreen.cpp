#include "screens/menus/GUIPauseScreen.h"

#include "core/Globals.h"
#include "core/Log.h"
#include "core/ProgramQueries.h"
#include "core/SoundManager.h"
#include "core/Stopwatch.h"
#include "gui/GUIImage.h"
#include "gui/GUIMenuItem.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "level/LevelManager.h"
#include "level/SaveManager.h"
#include "level/SceneNodeTypes.h"
#include "level/SoundObject.h"
#include "screens/ScreenManager.h"
#include "screens/menus/GUIDialogScreen.h"
#include "screens/menus/GUIOptionsScreen.h"

#include <IAttributes.h>
#include <IGUIEnvironment.h>
#include <ISceneManager.h>
#include <IVideoDriver.h>
#include <IrrlichtDevice.h>

#include <algorithm>
#include <cmath>

using namespace irr;

namespace {

constexpr f32 pauseFadeSeconds = 0.2f;
// Language font roles: 2 the pause rows, 3 the large menu titles.
constexpr s32 pauseRowFontRole = 2;
constexpr s32 pauseTitleFontRole = 3;
// The strongest tint over the game.
constexpr f32 pauseMaxTint = 180.0f;
constexpr s32 soundPauseOpen = 39;
constexpr s32 soundPauseClose = 38;
// Overlay mode and kind of the covering transitions around a restart or a quit.
constexpr s32 pauseTransitionMode = 3;
constexpr s32 pauseTransitionKind = 2;

// The language texts of the menu.
namespace PauseText {
constexpr s32 Title = 9;
constexpr s32 Resume = 150;
constexpr s32 Restart = 151;
constexpr s32 Quit = 152;
constexpr s32 Options = 154;
constexpr s32 RestartQuestion = 122;
constexpr s32 FromCheckpoint = 123;
constexpr s32 FromBeginning = 124;
constexpr s32 Cancel = 104;
constexpr s32 BeginningQuestion = 414;
constexpr s32 QuitQuestion = 409;
constexpr s32 No = 103;
constexpr s32 Yes = 102;
} // namespace PauseText

bool pauseSoundsAudible() {
    return !isGameplaySuspended() && !isLoadingOverlayOpaque();
}

void queuePauseTransition(bool intro, f32 speed) {
    if (levelManager)
        levelManager->queueTransition(intro, pauseTransitionMode, speed, 0.0f, pauseTransitionKind);
}

void pauseAllSounds(bool paused) {
    if (soundManager)
        soundManager->setAllPaused(paused);
}

// A restart from the beginning outside the story forgets the free-play progress.
void clearFreeplaySave() {
    if (saveManager)
        if (io::IAttributes* group = saveManager->getGroup(SaveManager::Freeplay))
            group->clear();
}

// Quitting silences every sound object of the level at once.
void stopLevelSounds() {
    if (!gameDevice || !gameDevice->getSceneManager())
        return;
    core::array<scene::ISceneNode*> sounds;
    gameDevice->getSceneManager()->getSceneNodesFromType(typeId("sond"), sounds);
    for (u32 i = 0; i < sounds.size(); ++i)
        static_cast<SoundObject*>(sounds[i])->stop();
}

} // namespace

GUIPauseScreen::GUIPauseScreen(gui::IGUIElement* objectivePanel, gui::IGUIEnvironment* environment,
                               const core::recti& rectangle)
    : GUIOptionsList(environment, false, true), ObjectivePanel(objectivePanel) {
    setID(ScreenManager::pauseScreenId);
    Type = toElementType(GuiType::PauseScreen);
    setRelativePosition(rectangle);
    PassInput = false;
    PassUpdate = false;
    KeepTimerRunning = false;

    const s32 w = screenWidth;
    const s32 h = screenHeight;
    DimImage = new GUIImage(environment, this, 0, core::recti(-w, -h, w, h));
    DimImage->setImage(environment->getVideoDriver()->getTexture(dimTexturePath));
    DimImage->setUseAlphaChannel(true);
    DimImage->setColor(video::SColor(0x00ffffff));
    DimImage->setNotClipped(true);
    DimImage->updateAbsolutePosition();
    DimImage->drop();

    buildScreen();
    clearVisibleFlag();
}

void GUIPauseScreen::buildScreen() {
    ItemSpacing = guiUnits(6);
    createPanel(0);
    createTitle(getLanguageText(PauseText::Title).c_str(), getLanguageFont(pauseTitleFontRole));
    buildItems();
    linkItemNeighbours();
    updateAbsolutePosition();
}

void GUIPauseScreen::buildItems() {
    GUIOptionsList::buildItems();
    ItemFont = getLanguageFont(pauseRowFontRole);
    struct Row {
        s32 text;
        void (GUIPauseScreen::*action)(GUIButton*);
    };
    for (const Row& row : {Row{PauseText::Resume, &GUIPauseScreen::onResume},
                           Row{PauseText::Restart, &GUIPauseScreen::openRestartFromCheckpointDialog},
                           Row{PauseText::Options, &GUIPauseScreen::openOptions},
                           Row{PauseText::Quit, &GUIPauseScreen::openQuitDialog}}) {
        if (row.text == PauseText::Options && demoMode)
            continue;
        GUIMenuItem* item = addMenuItem(getLanguageText(row.text).c_str());
        bindCallback(item->OnClick, this, row.action);
    }
}

// --- showing and hiding -----------------------------------------------------------------------

void GUIPauseScreen::setVisible(bool visible) {
    if (visible) {
        if (IsVisible)
            return;
        IsVisible = true;
        LeavingLevel = false;
        PanelTuck = 0.0f;
        startFadeIn(pauseFadeSeconds);
        updatePanelSlide();
        setItemsEnabled(true);
        FocusedElement = Items.empty() ? nullptr : Items.front();
        pauseAllSounds(true);
        if (pauseSoundsAudible())
            playSoundEffect(soundPauseOpen);
        return;
    }
    if (!IsVisible || FadeState == FadingOut || FadeState == FadedOut)
        return;
    startFadeOut(pauseFadeSeconds);
    PendingCommand = "Resume";
    if (pauseSoundsAudible())
        playSoundEffect(soundPauseClose);
}

f32 GUIPauseScreen::getDimAmount() const {
    if (LeavingLevel && IsVisible)
        return 1.0f;
    switch (FadeState) {
    case FadingIn:
        return FadeInTween.value;
    case FadingOut:
    case FadedOut: {
        const f32 v = FadeOutTween.value;
        return std::fabs(v - 1.0f) <= 0.001f ? 0.0f : 1.0f - v;
    }
    case Shown:
        return IsVisible ? 1.0f : 0.0f;
    default:
        return 0.0f;
    }
}

void GUIPauseScreen::updatePanelTuck() {
    // Out while a screen stands over the open menu (its panel takes the same place) and once
    // the level is being left; back in over the time of a fade. A hidden menu stands in place.
    if (!IsVisible) {
        PanelTuck = 0.0f;
        return;
    }
    const bool covered = screenManager && !screenManager->getScreenStack().empty();
    const f32 target = covered || LeavingLevel ? 1.0f : 0.0f;
    const f32 step = (frameStopwatch ? frameStopwatch->delta() : 0.0f) / pauseFadeSeconds;
    PanelTuck = target > PanelTuck ? std::min(target, PanelTuck + step) : std::max(target, PanelTuck - step);
}

void GUIPauseScreen::OnPostRender(u32 timeMs) {
    GUIOptionsList::OnPostRender(timeMs);
    updatePanelTuck();
    updatePanelSlide();
    if (!DimImage)
        return;
    DimImage->setColor(video::SColor(0x00ffffff));
    DimImage->setVisible(false);
    const f32 f = getDimAmount();
    const f32 e = 3.0f * f * f - 2.0f * f * f * f;
    if (e != 0.0f) {
        const u32 alpha = static_cast<u32>(static_cast<s32>(e * pauseMaxTint));
        DimImage->setColor(video::SColor((alpha << 24) | 0xffffffu));
        DimImage->setVisible(true);
    }
}

void GUIPauseScreen::onBack(GUIButton*) { leaveWith("Resume"); }

void GUIPauseScreen::onResume(GUIButton*) { leaveWith("Resume"); }

void GUIPauseScreen::leaveWith(const char* command) {
    setItemsEnabled(false);
    PendingCommand = command;
    // A restart or a quit comes from a question, over which the panel has already gone: the
    // command runs at once, and the cover of its transition comes over the dimmed game.
    LeavingLevel = PendingCommand != "Resume";
    startFadeOut(LeavingLevel ? 0.0f : pauseFadeSeconds);
}

void GUIPauseScreen::onFadeInDone() {
    setItemsEnabled(true);
    setFocusedElement(FocusedElement);
}

// --- questions --------------------------------------------------------------------------------------

void GUIPauseScreen::openDialog(s32 title, std::initializer_list<s32> answers,
                                void (GUIPauseScreen::*action)(s32&)) {
    std::vector<core::stringw> options;
    for (s32 answer : answers)
        options.push_back(getLanguageText(answer));
    auto* dialog = new GUIDialogScreen(getLanguageText(title), options, Environment, false, true);
    bindCallback(dialog->AnswerChosen, this, action);
    if (screenManager)
        screenManager->pushScreen(dialog);
    dialog->drop();
}

void GUIPauseScreen::openRestartFromCheckpointDialog(GUIButton*) {
    openDialog(PauseText::RestartQuestion, {PauseText::FromCheckpoint, PauseText::FromBeginning, PauseText::Cancel},
               &GUIPauseScreen::onRestartAnswer);
}

void GUIPauseScreen::openQuitDialog(GUIButton*) {
    openDialog(PauseText::QuitQuestion, {PauseText::No, PauseText::Yes}, &GUIPauseScreen::onQuitAnswer);
}

void GUIPauseScreen::openOptions(GUIButton*) { openOptionsScreen(false); }

void GUIPauseScreen::onRestartAnswer(s32& answer) {
    if (answer == 0) {
        leaveWith("RestartFromCheckpoint");
    } else if (answer == 1) {
        if (levelManager && !levelManager->checkpointList.empty())
            openDialog(PauseText::BeginningQuestion, {PauseText::No, PauseText::Yes},
                       &GUIPauseScreen::onRestartBeginningAnswer);
        else
            leaveWith("RestartFromBeginning");
    }
}

void GUIPauseScreen::onRestartBeginningAnswer(s32& answer) {
    if (answer == 1)
        leaveWith("RestartFromBeginning");
}

void GUIPauseScreen::onQuitAnswer(s32& answer) {
    if (answer == 1)
        leaveWith("Quit");
}

// --- commands ------------------------------------------------------------------------------------------

void GUIPauseScreen::closeStack() {
    if (!screenManager || (levelManager && levelManager->loadingOverlay.isBusy()))
        return;
    if (GUIScreen* pause = screenManager->findPauseScreen())
        pause->setVisible(false);
    if (!screenManager->getScreenStack().empty())
        screenManager->closeAllScreens();
}

void GUIPauseScreen::onFadeOutDone() {
    const core::stringc command = PendingCommand;
    // Resume hides the menu; a restart or a quit leaves it (and its dim) to the clearing of
    // the menus under the cover.
    if (command == "Resume")
        IsVisible = false;
    // Leaving the level from here: what the pause held back (a level end queued just before
    // it) gives way.
    if (levelManager && (command == "RestartFromCheckpoint" || command == "RestartFromBeginning" || command == "Quit"))
        levelManager->dropQueuedEvents();
    if (command == "Resume") {
        pauseAllSounds(false);
        closeStack();
    } else if (command == "RestartFromCheckpoint") {
        queuePauseTransition(true, 3.0f);
        if (levelManager) {
            levelManager->queueRestartFromCheckpoint();
            levelManager->queueClearMenus();
        }
        queuePauseTransition(false, 3.0f);
    } else if (command == "RestartFromBeginning") {
        if (!(levelManager && levelManager->isStoryRun()))
            clearFreeplaySave();
        queuePauseTransition(true, 3.0f);
        if (levelManager) {
            levelManager->queueClearCheckpoint();
            levelManager->queueRestartLevel();
            levelManager->queueClearMenus();
        }
        queuePauseTransition(false, 3.0f);
    } else if (command == "Quit") {
        stopLevelSounds();
        setItemsEnabled(false);
        queuePauseTransition(true, 2.0f);
        if (levelManager) {
            levelManager->queueClearMenus();
            levelManager->queueReturnToMainMenu();
            // Demo mode's quit: the level's quit list runs and the checkpoints are forgotten.
            if (demoMode) {
                levelManager->onQuit.invoke();
                levelManager->checkpointList.clear();
            }
        }
    }
}
