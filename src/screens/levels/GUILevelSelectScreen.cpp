#include "screens/levels/GUILevelSelectScreen.h"

#include "core/Globals.h"
#include "core/Stopwatch.h"
#include "core/TextUtils.h"
#include "core/Utf8.h"
#include "gui/GUIDeleteRow.h"
#include "gui/GUIScrollList.h"
#include "gui/GUITextButton.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "gui/OptionRowParts.h"
#include "level/LevelManager.h"
#include "screens/ScreenManager.h"
#include "screens/levels/LevelCatalogue.h"
#include "screens/levels/WorkshopLevels.h"
#include "screens/menus/GUIDialogScreen.h"
#include "screens/menus/GUIMainScreen.h"

#include <IFileArchive.h>
#include <IFileSystem.h>
#include <ISceneNode.h>
#include <IVideoDriver.h>
#include <IrrlichtDevice.h>

#include <algorithm>
#include <string>

using namespace irr;

namespace {

constexpr f32 workshopFadeSeconds = 0.2f;
constexpr s32 workshopVisibleRows = 14;
namespace WorkshopText {
constexpr s32 Title = 3;
constexpr s32 Yes = 102;
constexpr s32 No = 103;
constexpr s32 DeleteQuestion = 412;
} // namespace WorkshopText

// The index of the record whose row it is, -1 when none.
s32 workshopRecordOfRow(const GUIButton* row) {
    for (std::size_t i = 0; i < WorkshopLevels.size(); ++i)
        if (row && WorkshopLevels[i].row == row)
            return static_cast<s32>(i);
    return -1;
}

scene::ISceneNode* workshopBoard() {
    return levelManager ? levelManager->getSceneNodeFromID(GUILevelSelectScreen::boardNodeId) : nullptr;
}

} // namespace

GUILevelSelectScreen::GUILevelSelectScreen(gui::IGUIEnvironment* environment)
    : GUIOptionsList(environment, false, false) {
    PassInput = false;
    PassUpdate = true;
    KeepTimerRunning = true;
    startFadeIn(workshopFadeSeconds);
    buildScreen();
}

void GUILevelSelectScreen::buildScreen() {
    loadWorkshopLevels();
    ItemHeight = guiUnits(30);
    createPanel(1);
    createTitle(getLanguageText(WorkshopText::Title).c_str(), getLanguageFont(4));
    buildItems();
    createBackButton();
    linkItemNeighbours();
    if (ScrollList)
        ScrollList->setVisibleCount(workshopVisibleRows);
    GUIScreen::OnPostRender(optionRowTime());
}

void GUILevelSelectScreen::buildItems() {
    GUIOptionsList::buildItems();
    ItemHeight = guiUnits(24);
    ItemFont = getLanguageFont(5);
    if (!WorkshopLevelsSorted)
        sortWorkshopLevels();
    Rows.clear();
    for (WorkshopLevelRecord& record : WorkshopLevels) {
        GUIDeleteRow* row = addDeleteRow(record.title.c_str());
        bindCallback(row->OnClick, this, &GUILevelSelectScreen::onLevelClicked);
        bindCallback(row->OnFocus, this, &GUILevelSelectScreen::onLevelFocused);
        bindCallback(row->DeleteRequested, this, &GUILevelSelectScreen::onDeleteRequested);
        row->getCaptionButton()->setCaptionFont(ItemFont);
        row->setUserText(record.levelFilePath);
        record.row = row;
        Rows.push_back(row);
    }
}

GUIDeleteRow* GUILevelSelectScreen::addDeleteRow(const wchar_t* text) {
    auto* row = new GUIDeleteRow(text, getPanelType(), PanelOnRight, Environment, ScrollList,
                                 core::recti(0, 0, ItemWidth, ItemHeight));
    placeOptionPart(row, -10000, -10000);
    row->drop();
    addItem(row);
    return row;
}

void GUILevelSelectScreen::releasePreview() {
    if (!PreviewTexture)
        return;
    // The board's material does not hold the texture: it must not keep showing a freed one.
    scene::ISceneNode* board = workshopBoard();
    if (board && board->getMaterialCount() > 0 && board->getMaterial(0).getTexture(0) == PreviewTexture)
        board->getMaterial(0).setTexture(0, nullptr);
    Environment->getVideoDriver()->removeTexture(PreviewTexture);
    PreviewTexture = nullptr;
}

void GUILevelSelectScreen::onLevelFocused(GUIButton* row) {
    releasePreview();
    FocusedItem = row;
    const s32 index = workshopRecordOfRow(row);
    if (index < 0)
        return;
    WorkshopLevelRecord& record = WorkshopLevels[static_cast<std::size_t>(index)];
    io::IFileSystem* fileSystem = gameDevice ? gameDevice->getFileSystem() : nullptr;
    if (fileSystem && record.archive) {
        // The focused level's files win over files of the same name in other archives.
        for (u32 i = 0; i < fileSystem->getFileArchiveCount(); ++i)
            if (fileSystem->getFileArchive(i) == record.archive) {
                fileSystem->moveFileArchive(i, -static_cast<s32>(i));
                break;
            }
    }
    video::IVideoDriver* driver = Environment->getVideoDriver();
    video::ITexture* texture = nullptr;
    if (fileSystem && fileSystem->existFile(io::path(toUtf8(record.imageFilePath.c_str()).c_str())))
        texture = driver->getTexture(io::path(toUtf8(record.imageFilePath.c_str()).c_str()));
    if (texture)
        PreviewTexture = texture;
    else
        texture = driver->getTexture(missingPicture);
    if (!texture)
        return;
    scene::ISceneNode* board = workshopBoard();
    if (!board || board->getMaterialCount() == 0)
        return;
    board->getMaterial(0).setTexture(0, texture);
    const core::dimension2du size = texture->getOriginalSize();
    const f32 aspect = size.Height ? static_cast<f32>(size.Width) / static_cast<f32>(size.Height) : 1.0f;
    board->setScale(core::vector3df(9.0f * aspect, 9.0f, 9.0f * aspect));
}

void GUILevelSelectScreen::onLevelClicked(GUIButton* row) {
    ChosenItem = row;
    io::IFileSystem* fileSystem = gameDevice ? gameDevice->getFileSystem() : nullptr;
    if (!row || !fileSystem || !fileSystem->existFile(io::path(toUtf8(row->getUserText().c_str()).c_str())))
        return;
    startFadeOut(workshopFadeSeconds);
    PendingCommand = "Level";
}

void GUILevelSelectScreen::onDeleteRequested(GUIButton* row) {
    const s32 index = workshopRecordOfRow(row);
    if (index >= 0)
        PendingDeleteIndex = index;
    if (PendingDeleteIndex < 0 || PendingDeleteIndex >= static_cast<s32>(WorkshopLevels.size()))
        return;
    const core::stringw question = getLanguageText(WorkshopText::DeleteQuestion) + L" " +
                                   WorkshopLevels[static_cast<std::size_t>(PendingDeleteIndex)].title + L"?";
    auto* dialog = new GUIDialogScreen(
        question, {getLanguageText(WorkshopText::No), getLanguageText(WorkshopText::Yes)}, Environment, true, false);
    bindCallback(dialog->AnswerChosen, this, &GUILevelSelectScreen::deleteWorkshopLevel);
    if (screenManager)
        screenManager->pushScreen(dialog);
    dialog->drop();
}

void GUILevelSelectScreen::deleteWorkshopLevel(s32& choice) {
    if (choice == 1 && PendingDeleteIndex >= 0 && PendingDeleteIndex < static_cast<s32>(WorkshopLevels.size()))
        deleteWorkshopArchive(WorkshopLevels[static_cast<std::size_t>(PendingDeleteIndex)]);
    releasePreview();
    FocusedItem = nullptr;
    ChosenItem = nullptr;
    onLanguageChanged();
    PendingDeleteIndex = -1;
}

void GUILevelSelectScreen::OnPostRender(u32 timeMs) {
    GUIOptionsList::OnPostRender(timeMs);
    updatePanelSlide();
    if (FadeState != Shown)
        return;
    RescanTimer -= frameStopwatch ? frameStopwatch->delta() : 0.0f;
    if (RescanTimer < 0.0f) {
        RescanTimer = 1.0f;
        rescanWorkshopFolder(this);
    }
}

void GUILevelSelectScreen::onFadeOutDone() {
    if (equalsIgnoringAsciiCase(std::string(PendingCommand.c_str()), "MainMenu")) {
        MainScreenFadeTarget = 1.0f;
        releasePreview();
        if (screenManager)
            screenManager->popScreen(this, true);
    } else if (equalsIgnoringAsciiCase(std::string(PendingCommand.c_str()), "Level")) {
        startLevel();
    }
}

void GUILevelSelectScreen::startLevel() {
    if (!levelManager || !ChosenItem)
        return;
    levelManager->PlayMode = LevelManager::playModeWorkshop;
    LoadingOverlay& overlay = levelManager->loadingOverlay;
    overlay.mode = LoadingOverlay::FadeToBlack;
    overlay.subState = 3;
    overlay.fadeValue = overlay.secondFadeValue = 1.0f;
    levelManager->queueLoadLevel(toUtf8(ChosenItem->getUserText().c_str()).c_str(), true);
}

void GUILevelSelectScreen::refreshFocus() {
    MainScreenFadeTarget = 0.0f;
    if (WorkshopPreview) {
        WorkshopPreview->setVisible(true);
        setMenuPreviewsVisible(WorkshopPreview);
    }
    setFocusedElement(FocusedElement);
    onLevelFocused(FocusedElement);
}

void GUILevelSelectScreen::onBack(GUIButton*) {
    setItemsEnabled(false);
    startFadeOut(workshopFadeSeconds);
    PendingCommand = "MainMenu";
}
