// The title screen, the main menu's entries, the story select screen and its rows' progress
// marks.
#include "LevelMenuFixture.h"

#include "core/Globals.h"
#include "core/SoundManager.h"
#include "core/TextUtils.h"
#include "gui/GUIElementFactory.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/GuiHooks.h"
#include "gui/GUIMenuItem.h"
#include "gui/GUIOptionsList.h"
#include "gui/GUITextButton.h"
#include "gui/GuiCommon.h"
#include "level/LevelManager.h"
#include "level/SaveManager.h"
#include "screens/ScreenManager.h"
#include "screens/levels/GUIStoryLevelSelectScreen.h"
#include "screens/menus/GUIDialogScreen.h"
#include "screens/levels/LevelCatalogue.h"
#include "screens/menus/GUIMainScreen.h"
#include "screens/menus/GUIOptionsScreen.h"
#include "screens/menus/GUIPlayScreen.h"

#include <algorithm>
#include <string>
#include <vector>

using namespace irr;

namespace {

// The list's own spacing between rows, read through a member pointer.
struct SpacingReader : GUIOptionsList {
    using GUIOptionsList::ItemSpacing;
};
constexpr s32 GUIOptionsList::*itemSpacing = &SpacingReader::ItemSpacing;

class LevelMenusTest : public screenstest::LevelMenuFixture {
protected:
    void SetUp() override {
        screenstest::LevelMenuFixture::SetUp();
        StartingUp = false;
    }
    // Frames of the GUI until the fades have run.
    void runFrames(int frames = 20) {
        for (int i = 0; i < frames; ++i) {
            setFrameDelta(0.05f);
            postRenderAll();
            screenManager->update();
        }
    }
    // Frames of the GUI until the screen has faded in: from then on its rows take clicks.
    void runFramesUntilShown(GUIScreen* screen) {
        for (int i = 0; i < 40 && screen->getFadeState() != GUIScreen::Shown; ++i)
            runFrames(1);
        ASSERT_EQ(screen->getFadeState(), GUIScreen::Shown) << "the screen never faded in";
    }
    // The texture's path from "Content/" on (the engine names it by the full path).
    static std::string textureName(gui::IGUIElement* element) {
        video::ITexture* texture = static_cast<GUIImage*>(element)->getImage();
        const std::string name = texture ? texture->getName().getPath().c_str() : "";
        const std::size_t at = name.rfind("Content/");
        return at == std::string::npos ? name : name.substr(at);
    }
    static std::wstring caption(GUIButton* row) {
        return static_cast<GUIMenuItem*>(row)->getCaptionText()->getText();
    }
    GUIStoryLevelSelectScreen* openStorySelect() {
        auto* select = new GUIStoryLevelSelectScreen(nullptr, environment, LevelKindStory);
        screenManager->pushScreen(select);
        select->drop();
        return select;
    }
};

// --- the title screen ----------------------------------------------------------------------------

TEST_F(LevelMenusTest, TheTitlePicturesFitTheScreen) {
    struct Case {
        s32 w, h;
        core::recti cover, logo;
    };
    // 16:9: the cover fits exactly, the logo picture is 1.0667 times the screen and hangs
    // from the top; 4:3 crops the sides; a wider screen crops top and bottom.
    for (const Case& c : {Case{1280, 720, {0, 0, 1280, 721}, {-42, 0, 1322, 767}},
                          Case{1024, 768, {-170, 0, 1194, 769}, {-34, 0, 1058, 614}},
                          Case{2560, 720, {0, -360, 2560, 1080}, {0, -360, 2560, 1080}}}) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
        EXPECT_EQ(GUIMainScreen::coverRect(c.w, c.h), c.cover);
        EXPECT_EQ(GUIMainScreen::logoRect(c.w, c.h, 0), c.logo);
    }
}

// The title of the logo picture lies whole beside the menu panel at every screen shape.
TEST_F(LevelMenusTest, TheLogoTitleStaysBesideThePanel) {
    struct Case {
        s32 w, h, panel;
    };
    for (const Case& c : {Case{1280, 720, 330}, Case{800, 600, 270}, Case{1024, 768, 346}, Case{800, 450, 203}}) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
        const core::recti placed = GUIMainScreen::keepTitleInside(GUIMainScreen::logoRect(c.w, c.h, -c.panel / 2), 0, c.w - c.panel);
        const f32 width = static_cast<f32>(placed.getWidth());
        EXPECT_GE(placed.UpperLeftCorner.X + width * GUIMainScreen::titleLeft, 0.0f);
        EXPECT_LE(placed.UpperLeftCorner.X + width * GUIMainScreen::titleRight, static_cast<f32>(c.w - c.panel));
        EXPECT_NEAR(placed.getWidth() * 9, placed.getHeight() * 16, 40) << "the picture keeps its shape";
    }
    // A title that starts inside but runs past the right edge is brought inside too.
    const core::recti overflowing(0, 0, 1000, 560);
    const core::recti inside = GUIMainScreen::keepTitleInside(overflowing, 0, 700);
    EXPECT_NE(inside, overflowing);
    EXPECT_LE(inside.UpperLeftCorner.X + inside.getWidth() * GUIMainScreen::titleRight, 700.0f);
    // Where the title fits, the picture stays as it is.
    const core::recti wide = GUIMainScreen::logoRect(1280, 720, -165);
    EXPECT_EQ(GUIMainScreen::keepTitleInside(wide, 0, 950), wide);
}

TEST_F(LevelMenusTest, TheLogoFadesWithItsTargetAndTheNotesShowOnlyUnderTheMainMenu) {
    screenManager->openMainScreen(0);
    const auto& stack = screenManager->getScreenStack();
    ASSERT_EQ(stack.size(), 2u);
    EXPECT_STREQ(stack[0]->getTypeName(), "GUIPlayScreen");
    auto* title = static_cast<GUIMainScreen*>(stack[1]);
    EXPECT_EQ(title->getID(), ScreenManager::mainScreenId);
    EXPECT_TRUE(screenManager->isStackActive());
    EXPECT_TRUE(title->getKeepTimerRunning());
    EXPECT_EQ(title->getFactoryTypeId(), GuiType::MainScreen);

    MainScreenFadeTarget = 0.0f;
    setFrameDelta(0.1f);
    postRenderAll();
    EXPECT_NEAR(MainScreenFade, 0.5f, 1e-4f);
    setFrameDelta(0.2f);
    postRenderAll();
    EXPECT_EQ(MainScreenFade, 0.0f);
    MainScreenFadeTarget = 1.0f;
    runFrames(5);
    EXPECT_EQ(MainScreenFade, 1.0f);

    driver->beginScene();
    title->draw();
    driver->endScene();
    EXPECT_TRUE(title->getBuildNotesText()->isVisible());
    EXPECT_EQ(std::wstring(title->getBuildNotesText()->getText()).substr(0, 3), L"Pad") << "the build notes file";
    EXPECT_TRUE(title->getBuildNotesText()->isWordWrapEnabled());
    EXPECT_TRUE(title->getBuildNotesShadow()->isWordWrapEnabled());
    openStorySelect();
    driver->beginScene();
    title->draw();
    driver->endScene();
    EXPECT_FALSE(title->getBuildNotesText()->isVisible()) << "another menu is on top";
}

// The logo strip stands in the lower right corner, inside the overscan margins when they are on.
TEST_F(LevelMenusTest, TheLogoStripKeepsInsideTheOverscanMargins) {
    for (bool overscan : {false, true}) {
        SCOPED_TRACE(overscan);
        screenManager->Overscan = overscan;
        auto* title = new GUIMainScreen(environment, root(), -1, core::recti(0, 0, screenWidth, screenHeight));
        const s32 mx = overscan ? screenWidth / 20 : 0;
        const s32 my = overscan ? screenHeight / 20 : 0;
        EXPECT_EQ(title->getLogoStrip()->getRelativePosition().UpperLeftCorner,
                  core::position2di(screenWidth - mx - static_cast<s32>(static_cast<f32>(guiUnits(512)) * 1.33f),
                                    screenHeight - 2 * my - guiUnits(64)));
        title->remove();
        title->drop();
    }
    screenManager->Overscan = false;
}

// The title screen plays the menu song as the game's song (not a passing one).
TEST_F(LevelMenusTest, TheTitleScreenPlaysTheMenuSongAsTheGamesSong) {
    ASSERT_NE(soundManager, nullptr);
    screenManager->openMainScreen(0);
    auto* title = static_cast<GUIMainScreen*>(screenManager->getScreenStack()[1]);
    title->onShow();
    EXPECT_EQ(soundManager->getCurrentSong(), GUIMainScreen::menuSong);
}

TEST_F(LevelMenusTest, TheElementFactoryMakesTheTitleScreen) {
    auto* factory = new GUIElementFactory(environment);
    gui::IGUIElement* title = environment->addGUIElement("GUIMainScreen", root());
    ASSERT_NE(title, nullptr);
    EXPECT_STREQ(title->getTypeName(), "GUIMainScreen");
    EXPECT_EQ(static_cast<s32>(title->getType()), GuiType::Screen);
    title->remove();
    factory->drop();
}

// The screen follows the main menu's panel to the left; its build notes stay in the lower
// left corner of the screen (moved with it they would leave the screen).
TEST_F(LevelMenusTest, TheTitleMovesWithThePanelAndKeepsItsNotesOnScreen) {
    screenManager->openMainScreen(0);
    auto* title = static_cast<GUIMainScreen*>(screenManager->getScreenStack()[1]);
    runFrames(3);
    const s32 offset = title->getMenuPanelOffset();
    EXPECT_EQ(offset, -guiUnits(324));
    EXPECT_EQ(title->getRelativePosition().UpperLeftCorner.X, offset);
    EXPECT_EQ(title->getBuildNotesText()->getAbsolutePosition().UpperLeftCorner.X, guiUnits(10));
    EXPECT_EQ(title->getBuildNotesShadow()->getAbsolutePosition().UpperLeftCorner.X, guiUnits(11));
}

// The build notes read light over a dark shadow drawn beneath them, both slightly see-through.
TEST_F(LevelMenusTest, TheBuildNotesReadLightOverADarkShadow) {
    screenManager->openMainScreen(0);
    auto* title = static_cast<GUIMainScreen*>(screenManager->getScreenStack()[1]);
    GUIFreeTypeText* text = title->getBuildNotesText();
    GUIFreeTypeText* shadow = title->getBuildNotesShadow();
    EXPECT_EQ(text->getOverrideColor(), video::SColor(0xe6ffffff));
    EXPECT_EQ(shadow->getOverrideColor(), video::SColor(0xe6000000));
    std::vector<gui::IGUIElement*> children;
    for (gui::IGUIElement* child : title->getChildren())
        children.push_back(child);
    const auto textAt = std::find(children.begin(), children.end(), text);
    const auto shadowAt = std::find(children.begin(), children.end(), shadow);
    ASSERT_NE(textAt, children.end());
    EXPECT_LT(shadowAt, textAt) << "the shadow is drawn first";
}

// --- the main menu ----------------------------------------------------------------------------------

TEST_F(LevelMenusTest, TheMainMenuOffersNewGameOptionsAndQuit) {
    for (bool demo : {false, true}) {
        SCOPED_TRACE(demo);
        demoMode = demo;
        auto* play = new GUIPlayScreen(environment, true);
        std::vector<std::wstring> rows;
        for (GUIButton* row : play->getItems())
            rows.push_back(caption(row));
        const std::vector<std::wstring> expected =
            demo ? std::vector<std::wstring>{L"#0"} : std::vector<std::wstring>{L"#7", L"#4", L"#6"};
        EXPECT_EQ(rows, expected);
        EXPECT_EQ(play->getFocusedElement(), play->getItems().front());
        EXPECT_TRUE(play->getPassUpdate());
        EXPECT_FALSE(play->PassInput);
        EXPECT_EQ(play->getPanelType(), 0);
        // Every row but the last stands 5 units further from the next than the list's spacing.
        for (u32 i = 0; i + 1 < play->getItems().size(); ++i)
            EXPECT_EQ(play->getItemPosition(i + 1).Y - play->getItemPosition(i).Y,
                      play->*itemSpacing + play->getItems()[i]->getRelativePosition().getHeight() + guiUnits(5))
                << i;
        play->remove();
        play->drop();
    }
    demoMode = false;
}

// Holding right on the main menu with no row focused for more than five seconds unlocks
// every level of the catalogue in the save, once; with a row focused the hold counts nothing.
TEST_F(LevelMenusTest, HoldingRightWithNoRowFocusedForFiveSecondsUnlocksEveryLevel) {
    useInput();
    screenManager->openMainScreen(0);
    auto* play = static_cast<GUIPlayScreen*>(screenManager->getScreenStack()[0]);
    ASSERT_NO_FATAL_FAILURE(runFramesUntilShown(play));
    // The input's own save is the game's now.
    ASSERT_FALSE(saveManager->isLevelUnlocked(L"Content/Levels/C.irr"));
    const auto second = [&](f32 seconds) {
        setFrameDelta(seconds);
        postRenderAll();
    };
    inputKey(KEY_RIGHT, true);
    for (int i = 0; i < 7; ++i)
        second(1.0f);
    EXPECT_EQ(play->getUnlockHoldTime(), 0.0f) << "a focused row takes the key";
    play->setFocusedElement(nullptr);
    for (int i = 0; i < 5; ++i)
        second(1.0f);
    EXPECT_FLOAT_EQ(play->getUnlockHoldTime(), 5.0f);
    EXPECT_TRUE(LevelLockActive) << "five seconds are not yet more than five";
    second(0.1f);
    EXPECT_FALSE(LevelLockActive);
    for (const wchar_t* path : {L"Content/Levels/A.irr", L"Content/Levels/C.irr", L"Content/Levels/D.irr"})
        EXPECT_TRUE(saveManager->isLevelUnlocked(path)) << path;
    EXPECT_EQ(play->getUnlockHoldTime(), 0.0f);
    EXPECT_TRUE(saveManager->automaticWriting);
    inputKey(KEY_RIGHT, false);
    LevelLockActive = true;
}

TEST_F(LevelMenusTest, NewGameResetsTheStoryAndQueuesTheFirstLevelBehindAWhiteFade) {
    save->getGroup(SaveManager::Story)->addString("Leftover", "x");
    screenManager->openMainScreen(0);
    auto* play = static_cast<GUIPlayScreen*>(screenManager->getScreenStack()[0]);
    ASSERT_NO_FATAL_FAILURE(runFramesUntilShown(play));
    play->getItems()[0]->click();
    EXPECT_EQ(play->PlayCommand, "NewGame");
    runFrames();
    EXPECT_EQ(save->getAutoSavePath(true), L"Content/Levels/A.irr");
    EXPECT_FALSE(save->getGroup(SaveManager::Story)->existsAttribute("Leftover"));
    EXPECT_TRUE(save->automaticWriting) << "the save writes itself again afterwards";
    EXPECT_EQ(level->PlayMode, LevelManager::playModeStory);
    EXPECT_EQ(level->loadingOverlay.mode, LoadingOverlay::FadeToWhite);
    EXPECT_FLOAT_EQ(level->loadingOverlay.hold, 0.5f);
    EXPECT_FLOAT_EQ(level->loadingOverlay.fadeSpeed, 1.0f);
    EXPECT_EQ(level->loadingOverlay.kind, 2);
    EXPECT_TRUE(level->isEventQueued(LET_LoadLevel));
    EXPECT_TRUE(level->isEventQueued(LET_ClearMenus));
    ASSERT_EQ(screenManager->getScreenStack().size(), 1u) << "the entry list closed, the title stays";
    EXPECT_STREQ(screenManager->getScreenStack()[0]->getTypeName(), "GUIMainScreen");
    screenManager->flushScreenRemovals();
    for (gui::IGUIElement* child : root()->getChildren())
        EXPECT_STRNE(child->getTypeName(), "GUIPlayScreen") << "the entry list left the GUI";
}

// After a restart asked for by the options, the title menu opens the options once.
TEST_F(LevelMenusTest, AfterARestartTheTitleMenuOpensTheOptionsOnce) {
    ReopenOptionsRequested = true;
    MainScreenFade = MainScreenFadeTarget = 1.0f;
    screenManager->openMainScreen(0);
    runFrames(1);
    EXPECT_FALSE(ReopenOptionsRequested);
    EXPECT_EQ(MainScreenFadeTarget, 0.0f);
    EXPECT_EQ(MainScreenFade, 0.0f) << "the logo goes at once, without its fade";
    runFrames();
    std::size_t options = 0;
    for (GUIScreen* screen : screenManager->getScreenStack())
        options += dynamic_cast<GUIOptionsScreen*>(screen) != nullptr;
    EXPECT_EQ(options, 1u);
}

TEST_F(LevelMenusTest, TheBackKeyIsIgnoredQuitEndsAndOptionsReplacesTheMenu) {
    screenManager->openMainScreen(0);
    auto* play = static_cast<GUIPlayScreen*>(screenManager->getScreenStack()[0]);
    ASSERT_NE(play->getOptionsItem(), nullptr);
    ASSERT_NO_FATAL_FAILURE(runFramesUntilShown(play));
    sendKey(play, MenuKey::Back);
    runFrames();
    EXPECT_EQ(screenManager->getScreenStack().size(), 2u);
    play->getItems()[2]->click();
    EXPECT_TRUE(QuitRequested);
    QuitRequested = false;

    // Options stacks the options menu and the main menu's list fades out beneath it.
    play->getOptionsItem()->click();
    ASSERT_EQ(screenManager->getScreenStack().size(), 3u);
    EXPECT_NE(dynamic_cast<GUIOptionsScreen*>(screenManager->getScreenStack()[0]), nullptr);
    runFrames(30);
    const auto& stack = screenManager->getScreenStack();
    EXPECT_EQ(std::find(stack.begin(), stack.end(), play), stack.end()) << "the faded main menu is closed";
}

// --- the story select screen ------------------------------------------------------------------------------

TEST_F(LevelMenusTest, StoryRowsShowOpenAndLockedLevelsWithTheirTexts) {
    GUIStoryLevelSelectScreen* select = openStorySelect();
    // It fades in over a fifth of a second: four frames of 0.05 s and the one that ends it.
    int frames = 0;
    for (; frames < 40 && select->getFadeState() != GUIScreen::Shown; ++frames) {
        setFrameDelta(0.05f);
        postRenderAll();
    }
    EXPECT_EQ(frames, 5);
    ASSERT_NE(select->getTitleText(), nullptr);
    EXPECT_EQ(select->getTitleText()->getOwnText(), getLanguageText(2)) << "the story's title";
    // Over the title it keeps the level's timer and updates going, and takes the input.
    EXPECT_TRUE(select->getKeepTimerRunning());
    EXPECT_EQ(select->getPanelType(), 1);
    EXPECT_TRUE(select->getPassUpdate());
    EXPECT_FALSE(select->PassInput);
    const auto& rows = select->getRows();
    ASSERT_EQ(rows.size(), 3u) << "A, the locked B before the open E, and E";
    EXPECT_EQ(caption(rows[0]), L"Alpha Title");
    EXPECT_EQ(caption(rows[1]), L"? ? ?");
    EXPECT_EQ(caption(rows[2]), L"E2");
    EXPECT_EQ(std::wstring(rows[0]->getToolTipText().c_str()), L"Alpha Text  #128: [01:00]");
    EXPECT_EQ(std::wstring(rows[1]->getToolTipText().c_str()), L"");
    EXPECT_EQ(std::wstring(rows[2]->getUserText().c_str()), L"Content/Levels/E.irr");
    EXPECT_EQ(MenuLevels[0].MenuItem, rows[0]);
    EXPECT_STREQ(select->getTypeName(), "GUILevelSelectScreen");
    EXPECT_EQ(MainScreenFadeTarget, 0.0f) << "the logo gives way";
}

// A focused row shows its own level's preview scene, none other.
TEST_F(LevelMenusTest, FocusingARowShowsItsLevelsPreview) {
    GUIStoryLevelSelectScreen* select = openStorySelect();
    loadMenuPreviewScenes();
    const auto& rows = select->getRows();
    ASSERT_EQ(rows.size(), 3u);
    for (GUIButton* row : {rows[2], rows[0]}) {
        std::size_t own = MenuLevels.size();
        for (std::size_t i = 0; i < MenuLevels.size(); ++i)
            if (MenuLevels[i].MenuItem == row)
                own = i;
        ASSERT_LT(own, MenuPreviewNodes.size());
        ASSERT_NE(MenuPreviewNodes[own], nullptr);
        select->onLevelFocused(row);
        for (std::size_t i = 0; i < MenuPreviewNodes.size(); ++i)
            if (MenuPreviewNodes[i]) {
                EXPECT_EQ(MenuPreviewNodes[i]->isVisible(), i == own) << MenuLevels[own].path << " " << i;
            }
    }
    // A row of no listed level (the lists were made again) shows the first level's preview.
    auto* stray = new GUIButton(environment, root(), -1, core::recti(0, 0, 10, 10));
    select->onLevelFocused(stray);
    ASSERT_NE(MenuPreviewNodes[0], nullptr);
    EXPECT_TRUE(MenuPreviewNodes[0]->isVisible());
    stray->remove();
    stray->drop();
}

// The level of the free-play autosave stands out in its own colours; the captions stand
// right of the marks.
TEST_F(LevelMenusTest, TheAutoSavedLevelsRowStandsOut) {
    save->setAutoSavePath(L"content/levels/e.irr", false);
    save->setAutoSaveExists(true, false);
    GUIStoryLevelSelectScreen* select = openStorySelect();
    const auto& rows = select->getRows();
    ASSERT_EQ(rows.size(), 3u);
    const video::SColor marked[] = {0xff646496, 0xffe1e1ff, 0xff323296, 0xffffffff};
    GUITextButton* autoSaved = static_cast<GUIMenuItem*>(rows[2])->getCaptionButton();
    for (s32 state = 0; state < 4; ++state)
        EXPECT_EQ(autoSaved->getStateColor(state), marked[state]) << state;
    GUITextButton* other = static_cast<GUIMenuItem*>(rows[0])->getCaptionButton();
    EXPECT_NE(other->getStateColor(0), marked[0]);
    EXPECT_NE(other->getStateColor(1), marked[1]);
    // The caption's text begins 100 units in, clear of the star and the time.
    auto* plain = new GUIMenuItem(L"Alpha Title", getLanguageFont(5), select->getPanelType(), select->isPanelOnRight(),
                                  environment, root(), core::recti(core::position2di(0, 0), rows[0]->getRelativePosition().getSize()));
    EXPECT_EQ(static_cast<GUIMenuItem*>(rows[0])->getCaptionText()->getRelativePosition().UpperLeftCorner.X,
              plain->getCaptionText()->getRelativePosition().UpperLeftCorner.X + guiUnits(100));
    plain->remove();
    plain->drop();
}

TEST_F(LevelMenusTest, LockedLevelsAfterTheLastOpenOneAreNotListed) {
    GUIStoryLevelSelectScreen* select = openStorySelect();
    for (LevelRecord& record : MenuLevels)
        record.isHidden = record.isHidden || record.title == L"E2";
    select->buildItems(); // the rows again, with E locked too
    const auto& rows = select->getRows();
    ASSERT_EQ(rows.size(), 1u) << "A; the locked B and E follow no open level";
    EXPECT_EQ(caption(rows[0]), L"Alpha Title");
}

TEST_F(LevelMenusTest, StoryRowsCarryStarsBestTimesAndTiesFromTheSave) {
    save->saveLevelLength(L"Content/Levels/A.irr", 50.0f); // under the developers' 60
    save->saveLevelLength(L"Content/Levels/E.irr", 45.0f); // equal to theirs
    for (s32 id = 1; id <= 5; ++id)
        level->tieTable.add({id, "Content/Models/Ties/Tie.png", L"Content/Levels/E.irr"});
    save->saveTieCollected(2);
    GUIStoryLevelSelectScreen* select = openStorySelect();
    const auto& rows = select->getRows();
    ASSERT_EQ(rows.size(), 3u);
    auto children = [](GUIButton* row) {
        std::vector<gui::IGUIElement*> out;
        for (gui::IGUIElement* child : row->getChildren())
            if (child->getID() == 0 && static_cast<GUIButton*>(child)->getForwardFocusTarget() == row)
                out.push_back(child);
        return out;
    };
    // A: star 3, time, no tie. Locked B: outline star, time 0, no tie. E: filled star, time, three ties.
    const auto a = children(rows[0]);
    ASSERT_EQ(a.size(), 3u);
    EXPECT_EQ(textureName(a[0]), "Content/Screens/Buttons/StarFilled3.png");
    EXPECT_EQ(std::wstring(static_cast<GUITextButton*>(a[1])->getCaption()->getText()), L"00:50");
    EXPECT_EQ(textureName(a[2]), "Content/Screens/Buttons/NoTieIcon1.png");
    EXPECT_EQ(textureName(children(rows[1])[0]), "Content/Screens/Buttons/StarOutline1.png");
    const auto e = children(rows[2]);
    ASSERT_EQ(e.size(), 5u);
    EXPECT_EQ(textureName(e[0]), "Content/Screens/Buttons/StarFilled1.png");
    for (int t = 0; t < 3; ++t) {
        EXPECT_EQ(textureName(e[2 + t]), "Content/Screens/Buttons/TieIcon1.png");
        EXPECT_EQ(static_cast<GUIImage*>(e[2 + t])->getColor().getAlpha(), t == 1 ? 255u : 128u) << t;
    }
    // Each mark has its own place on the row: ties ten units apart after the time.
    EXPECT_EQ(e[0]->getRelativePosition(), core::recti(-9, 6, 9, 24));
    EXPECT_EQ(e[1]->getRelativePosition(), core::recti(15, 1, 65, 31));
    for (int t = 0; t < 3; ++t)
        EXPECT_EQ(e[2 + t]->getRelativePosition(), core::recti(60 + 10 * t, 3, 68 + 10 * t, 28)) << t;
    EXPECT_EQ(a[2]->getRelativePosition(), core::recti(59, 7, 89, 23));
    // The time is dark grey on the panel and lights with its row.
    auto* time = static_cast<GUITextButton*>(a[1]);
    EXPECT_EQ(time->getStateSource(), rows[0]);
    EXPECT_EQ(time->getStateColor(0), video::SColor(0xff5a5a5a));
    for (s32 state = 1; state < 4; ++state)
        EXPECT_EQ(time->getStateColor(state), video::SColor(0xffffffff)) << state;
    // A single tie shows one tie icon and no "no tie" icon.
    level->tieTable.add({6, "Content/Models/Ties/Tie.png", L"Content/Levels/A.irr"});
    select->buildItems();
    const auto one = children(select->getRows()[0]);
    ASSERT_EQ(one.size(), 3u);
    EXPECT_EQ(textureName(one[2]), "Content/Screens/Buttons/TieIcon1.png");
}

TEST_F(LevelMenusTest, DemoModeRowsCarryNoMarks) {
    demoMode = true;
    GUIStoryLevelSelectScreen* select = openStorySelect();
    ASSERT_EQ(select->getRows().size(), 4u);
    for (GUIButton* row : select->getRows())
        for (gui::IGUIElement* child : row->getChildren())
            EXPECT_FALSE(child->getID() == 0 && static_cast<GUIButton*>(child)->getForwardFocusTarget() == row);
    EXPECT_EQ(std::wstring(select->getRows()[1]->getToolTipText().c_str()), L"") << "no developers' time, none shown";
    // The first level starts at once; another asks first whether to see the controls.
    select->onLevelClicked(select->getRows()[2]);
    EXPECT_EQ(select->PendingCommand, "");
    auto* prompt = dynamic_cast<GUIDialogScreen*>(screenManager->getTopScreen());
    ASSERT_NE(prompt, nullptr);
    // Answer 0 is Yes (see the controls first), 1 No.
    EXPECT_EQ(prompt->Options, (std::vector<core::stringw>{getLanguageText(102), getLanguageText(103)}));
    EXPECT_TRUE(prompt->getKeepTimerRunning()) << "the title's background keeps running";
    EXPECT_FALSE(prompt->isPanelOnRight());
    select->onLevelClicked(select->getRows()[0]);
    EXPECT_EQ(select->PendingCommand, "Level");
    demoMode = false;
}

// In demo mode the controls question: yes plays the controls level first and remembers the
// chosen one, no plays the chosen level, leaving the question plays nothing.
TEST_F(LevelMenusTest, TheDemoControlsQuestionDecidesWhatPlaysFirst) {
    demoMode = true;
    const struct {
        s32 answer;
        bool starts;
        const wchar_t* after;
        const wchar_t* played;
    } rows[] = {{0, true, L"Content/Levels/C.irr", L"Content/Levels/Church_DemoControls.irr"},
                {1, true, L"", L"Content/Levels/C.irr"},
                {-1, false, L"", L"Content/Levels/C.irr"}};
    for (const auto& row : rows) {
        level->LevelAfterControlsDemo = L"";
        GUIStoryLevelSelectScreen* select = openStorySelect();
        GUIButton* chosen = select->getRows()[2];
        ASSERT_EQ(std::wstring(chosen->getUserText().c_str()), L"Content/Levels/C.irr");
        select->onLevelClicked(chosen);
        s32 answer = row.answer;
        select->onControlsPromptAnswered(answer);
        EXPECT_EQ(select->PendingCommand, row.starts ? "Level" : "") << row.answer;
        EXPECT_EQ(std::wstring(level->LevelAfterControlsDemo.c_str()), row.after) << row.answer;
        EXPECT_EQ(std::wstring(chosen->getUserText().c_str()), row.played) << row.answer;
        screenManager->closeAllScreens();
        screenManager->update();
    }
    demoMode = false;
}

// The select's title names its kind: the story, the demo's levels, or the shorts.
TEST_F(LevelMenusTest, TheSelectIsTitledByItsKind) {
    const struct {
        bool demo;
        s32 kind, title;
    } rows[] = {{false, LevelKindStory, 2}, {true, LevelKindStory, 8}, {false, LevelKindShorts, 220}};
    for (const auto& row : rows) {
        demoMode = row.demo;
        auto* select = new GUIStoryLevelSelectScreen(nullptr, environment, row.kind);
        ASSERT_NE(select->getTitleText(), nullptr);
        EXPECT_EQ(select->getTitleText()->getOwnText(), getLanguageText(row.title)) << row.title;
        select->remove();
        select->drop();
    }
    demoMode = false;
}

// In demo mode the one entry plays: it opens the story select when more than one story level
// is listed, and starts the story when only one is.
TEST_F(LevelMenusTest, TheDemoEntryOpensTheSelectOnlyWithMoreThanOneStoryLevel) {
    demoMode = true;
    const std::string catalogue = test::readFileBytes("Content/Config/DemoLevels.xml");
    const std::string one = "<?xml version=\"1.0\"?>\n<Levels>\n"
                            "  <Level path=\"Content/Levels/A.irr\" title=\"A\" isFirstLevel=\"1\"/>\n"
                            "  <Level path=\"Content/Levels/D.irr\" title=\"D\" isShorts=\"1\"/>\n</Levels>\n";
    const std::string two = "<?xml version=\"1.0\"?>\n<Levels>\n"
                            "  <Level path=\"Content/Levels/A.irr\" title=\"A\" isFirstLevel=\"1\"/>\n"
                            "  <Level path=\"Content/Levels/C.irr\" title=\"C\"/>\n</Levels>\n";
    for (const auto& [levels, opensSelect] : {std::pair{one, false}, std::pair{two, true}}) {
        SCOPED_TRACE(opensSelect);
        test::writeFileBytes("Content/Config/DemoLevels.xml", levels);
        auto* play = new GUIPlayScreen(environment, true);
        screenManager->pushScreen(play);
        play->drop();
        ASSERT_EQ(play->getItems().size(), 1u);
        ASSERT_NO_FATAL_FAILURE(runFramesUntilShown(play));
        play->getItems()[0]->click();
        EXPECT_EQ(play->PlayCommand, opensSelect ? "" : "NewGame");
        EXPECT_EQ(dynamic_cast<GUIStoryLevelSelectScreen*>(screenManager->getScreenStack().front()) != nullptr,
                  opensSelect);
        screenManager->closeAllScreens();
        screenManager->update();
    }
    test::writeFileBytes("Content/Config/DemoLevels.xml", catalogue);
    demoMode = false;
}

TEST_F(LevelMenusTest, ChoosingALevelStartsItAndALockedOneDoesNothing) {
    GUIStoryLevelSelectScreen* select = openStorySelect();
    select->onLevelClicked(select->getRows()[1]);
    EXPECT_EQ(select->PendingCommand, "");
    select->onLevelClicked(select->getRows()[2]);
    EXPECT_EQ(select->PendingCommand, "Level");
    EXPECT_EQ(level->PlayMode, LevelManager::playModeStoryMenu);
    runFrames();
    EXPECT_TRUE(level->isEventQueued(LET_LoadLevel));
    EXPECT_EQ(level->loadingOverlay.mode, LoadingOverlay::FadeToBlack);
    EXPECT_EQ(level->loadingOverlay.subState, 3);
}

TEST_F(LevelMenusTest, TheFreePlayAutosaveOfTheChosenLevelResumesItsCheckpoint) {
    for (bool sameLevel : {true, false}) {
        SCOPED_TRACE(sameLevel);
        save->setAutoSaveExists(true, false);
        save->setAutoSavePath(sameLevel ? L"content/levels/a.irr" : L"Content/Levels/E.irr", false);
        GUIStoryLevelSelectScreen* select = openStorySelect();
        select->onLevelClicked(select->getRows()[0]);
        runFrames();
        const LevelEvent* load = nullptr;
        for (const auto& event : level->getLevelEvents())
            if (event->getType() == LET_LoadLevel)
                load = event.get();
        ASSERT_NE(load, nullptr);
        const std::string path = static_cast<const LoadLevelEvent*>(load)->path.c_str();
        EXPECT_EQ(path, sameLevel ? std::string(level->getCheckpointPath(false).c_str()) : "Content/Levels/A.irr");
        EXPECT_EQ(save->getAutoSaveExists(false), sameLevel) << "another level drops the free-play autosave";
        for (int i = 0; i < 100 && !level->getLevelEvents().empty(); ++i)
            level->processLevelEvents(1.0f);
        screenManager->closeAllScreens();
        screenManager->update();
    }
}

// The level whose free-play autosave waits is marked in blue; a story autosave marks nothing.
TEST_F(LevelMenusTest, TheLevelOfTheFreePlayAutosaveIsMarked) {
    const video::SColor marked(0xff646496);
    for (const bool freePlay : {true, false}) {
        SCOPED_TRACE(freePlay);
        save->setAutoSaveExists(freePlay, false);
        save->setAutoSavePath(L"content/levels/a.irr", false);
        save->setAutoSaveExists(!freePlay, true);
        save->setAutoSavePath(L"Content/Levels/A.irr", true);
        GUIStoryLevelSelectScreen* select = openStorySelect();
        const auto& rows = select->getRows();
        ASSERT_EQ(rows.size(), 3u);
        EXPECT_EQ(static_cast<GUIMenuItem*>(rows[0])->getCaptionButton()->getStateColor(0) == marked, freePlay);
        EXPECT_NE(static_cast<GUIMenuItem*>(rows[2])->getCaptionButton()->getStateColor(0), marked) << "another level";
        screenManager->closeAllScreens();
        screenManager->update();
    }
}

TEST_F(LevelMenusTest, BackReturnsToTheMainMenuAndBringsTheLogoBack) {
    GUIStoryLevelSelectScreen* select = openStorySelect();
    sendKey(select, MenuKey::Back);
    EXPECT_EQ(select->PendingCommand, "MainMenu");
    runFrames();
    EXPECT_TRUE(screenManager->getScreenStack().empty());
    EXPECT_EQ(MainScreenFadeTarget, 1.0f);
}

} // namespace
