#include "screens/levels/GUIStoryLevelSelectScreen.h"

#include "core/Globals.h"
#include "core/TextUtils.h"
#include "core/Utf8.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/GUIMenuItem.h"
#include "gui/GUIScrollList.h"
#include "gui/GUITextButton.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "level/LevelManager.h"
#include "level/SaveManager.h"
#include "level/SceneNodeTypes.h"
#include "level/SubLevelObject.h"
#include "screens/ScreenManager.h"
#include "screens/levels/LevelButtonDecorations.h"
#include "screens/levels/LevelCatalogue.h"
#include "screens/menus/GUIDialogScreen.h"
#include "screens/menus/GUIMainScreen.h"

#include <IAttributes.h>
#include <ISceneNode.h>
#include <ITimer.h>
#include <IrrlichtDevice.h>

#include <algorithm>

using namespace irr;

namespace {

constexpr f32 selectFadeSeconds = 0.2f;
constexpr s32 selectVisibleRows = 12;
constexpr s32 maxTieIcons = 3;
namespace SelectText {
constexpr s32 StoryTitle = 2;
constexpr s32 DemoTitle = 8;
constexpr s32 ShortsTitle = 220;
constexpr s32 DevTime = 128;
constexpr s32 Yes = 102;
constexpr s32 No = 103;
constexpr s32 ControlsPrompt = 400;
} // namespace SelectText

// The record whose row it is, else null (the lists were rebuilt).
LevelRecord* recordOfRow(const GUIButton* row) {
    for (LevelRecord& record : MenuLevels)
        if (record.MenuItem == row)
            return &record;
    return nullptr;
}

bool isPreviewOf(scene::ISceneNode* node, const std::string& scene) {
    if (!node || node->getType() != typeId("slvl"))
        return false;
    return equalsIgnoringAsciiCase(std::string(static_cast<SubLevelObject*>(node)->getSubLevelFileName().c_str()), scene);
}

// Whether a later record of the kind is open (a locked record before it is listed).
bool laterOpenRecord(std::size_t index, s32 kind) {
    for (std::size_t j = index + 1; j < MenuLevels.size(); ++j)
        if (MenuLevels[j].kind == kind && !MenuLevels[j].isHidden)
            return true;
    return false;
}

} // namespace

GUIStoryLevelSelectScreen::GUIStoryLevelSelectScreen(GUIScreen* opener, gui::IGUIEnvironment* environment, s32 mode)
    : GUIOptionsList(environment, false, false), OpenerScreen(opener), Mode(mode) {
    PassInput = false;
    PassUpdate = true;
    KeepTimerRunning = true;
    startFade(FadeInTween, selectFadeSeconds, FadingIn);
    buildScreen();
}

void GUIStoryLevelSelectScreen::buildScreen() {
    loadLevelList();
    ItemHeight = guiUnits(30);
    createPanel(1);
    s32 title = demoMode ? SelectText::DemoTitle : SelectText::StoryTitle;
    if (Mode == LevelKindShorts)
        title = SelectText::ShortsTitle;
    createTitle(getLanguageText(title).c_str(), getLanguageFont(3));
    buildItems();
    createBackButton();
    linkItemNeighbours();
    if (ScrollList)
        ScrollList->setVisibleCount(selectVisibleRows);
    GUIScreen::OnPostRender(gameDevice && gameDevice->getTimer() ? gameDevice->getTimer()->getTime() : 0);
}

void GUIStoryLevelSelectScreen::buildItems() {
    GUIOptionsList::buildItems();
    ItemFont = getLanguageFont(demoMode ? 1 : 5);
    Rows.clear();
    const bool autoSaveExists = saveManager && saveManager->getAutoSaveExists(false);
    const std::wstring autoSavePath = saveManager ? saveManager->getAutoSavePath(false) : std::wstring();
    for (std::size_t i = 0; i < MenuLevels.size(); ++i) {
        LevelRecord& record = MenuLevels[i];
        if (record.kind != Mode || (record.isHidden && !laterOpenRecord(i, Mode)))
            continue;
        GUIMenuItem* row = addMenuItem(record.title.c_str());
        bindCallback(row->OnClick, this, &GUIStoryLevelSelectScreen::onLevelClicked);
        if (record.isHidden) {
            row->getCaptionButton()->setText(L"? ? ?");
        } else {
            std::wstring tip = record.description;
            if (record.devBestTime != 0.0f)
                tip += L"  " + std::wstring(getLanguageText(SelectText::DevTime).c_str()) + L": [" +
                       formatTimeW(record.devBestTime, false, false, true) + L"]";
            row->setToolTipText(tip.c_str());
            row->setUserText(fromUtf8(record.path.c_str()).c_str());
        }
        bindCallback(row->OnFocus, this, &GUIStoryLevelSelectScreen::onLevelFocused);
        if (!demoMode) {
            if (GUIFreeTypeText* caption = row->getCaptionText()) {
                core::recti rect = caption->getRelativePosition();
                rect.UpperLeftCorner.X += guiUnits(100);
                caption->setRelativePosition(rect);
            }
            if (autoSaveExists && equalsIgnoringAsciiCase(autoSavePath, fromUtf8(record.path.c_str())))
                row->getCaptionButton()->setStateColors(video::SColor(0xff646496), video::SColor(0xffe1e1ff),
                                                        video::SColor(0xff323296), video::SColor(0xffffffff));
        }
        record.MenuItem = row;
        Rows.push_back(row);
        if (demoMode)
            continue;
        const u32 index = static_cast<u32>(i);
        addStarIcon(this, index);
        addBestTimeText(this, index);
        const s32 ties = levelManager ? levelManager->tieTable.countTiesForLevel(fromUtf8(record.path.c_str()).c_str()) : 0;
        if (ties == 0)
            addNoTieIcon(this, index);
        for (s32 t = 0; t < std::min(ties, maxTieIcons); ++t)
            addTieIcon(this, index, t);
    }
}

void GUIStoryLevelSelectScreen::onLevelFocused(GUIButton* row) {
    FocusedItem = row;
    u32 index = 0;
    if (const LevelRecord* record = recordOfRow(row)) {
        for (std::size_t i = 0; i < MenuPreviewNodes.size(); ++i)
            if (isPreviewOf(MenuPreviewNodes[i], record->menuPreview)) {
                index = static_cast<u32>(i);
                break;
            }
    }
    if (index < MenuPreviewNodes.size())
        showMenuPreview(index, true);
}

void GUIStoryLevelSelectScreen::onLevelClicked(GUIButton* row) {
    ChosenItem = row;
    const LevelRecord* record = recordOfRow(row);
    if (record && record->isHidden)
        return;
    if (record && demoMode && !record->isFirstLevel) {
        std::vector<core::stringw> answers = {getLanguageText(SelectText::Yes), getLanguageText(SelectText::No)};
        auto* dialog = new GUIDialogScreen(getLanguageText(SelectText::ControlsPrompt), answers, Environment, true, false);
        bindCallback(dialog->AnswerChosen, this, &GUIStoryLevelSelectScreen::onControlsPromptAnswered);
        if (screenManager)
            screenManager->pushScreen(dialog);
        dialog->drop();
        return;
    }
    startChosenLevel();
}

void GUIStoryLevelSelectScreen::onControlsPromptAnswered(s32& choice) {
    if (choice == 0 && ChosenItem) {
        if (levelManager)
            levelManager->LevelAfterControlsDemo = ChosenItem->getUserText();
        ChosenItem->setUserText(core::stringw(controlsDemoLevel));
    }
    if (choice == 0 || choice == 1)
        startChosenLevel();
}

void GUIStoryLevelSelectScreen::startChosenLevel() {
    if (levelManager)
        levelManager->PlayMode = Mode;
    if (OpenerScreen)
        OpenerScreen->startFadeOut(selectFadeSeconds);
    startFadeOut(selectFadeSeconds);
    PendingCommand = "Level";
}

void GUIStoryLevelSelectScreen::refreshFocus() {
    MainScreenFadeTarget = 0.0f;
    setFocusedElement(FocusedElement);
}

void GUIStoryLevelSelectScreen::onBack(GUIButton*) {
    setItemsEnabled(false);
    startFadeOut(selectFadeSeconds);
    PendingCommand = "MainMenu";
}

void GUIStoryLevelSelectScreen::startLevel() {
    if (!levelManager || !ChosenItem)
        return;
    levelManager->PlayMode = Mode;
    LoadingOverlay& overlay = levelManager->loadingOverlay;
    overlay.mode = LoadingOverlay::FadeToBlack;
    overlay.subState = 3;
    overlay.fadeValue = overlay.secondFadeValue = 1.0f;
    std::wstring path = ChosenItem->getUserText().c_str();
    if (saveManager && saveManager->getAutoSaveExists(false) &&
        equalsIgnoringAsciiCase(saveManager->getAutoSavePath(false), path)) {
        path = fromUtf8(levelManager->getCheckpointPath(false).c_str());
    } else if (saveManager) {
        if (io::IAttributes* freeplay = saveManager->getModeGroup(false))
            freeplay->clear();
    }
    levelManager->queueLoadLevel(toUtf8(path.c_str()).c_str(), true);
}

void GUIStoryLevelSelectScreen::onFadeOutDone() {
    if (equalsIgnoringAsciiCase(std::string(PendingCommand.c_str()), "MainMenu")) {
        MainScreenFadeTarget = 1.0f;
        if (screenManager)
            screenManager->popScreen(this, true);
    } else if (equalsIgnoringAsciiCase(std::string(PendingCommand.c_str()), "Level")) {
        startLevel();
    }
}
