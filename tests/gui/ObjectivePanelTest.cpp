// The objective panel: its place at the bottom of the screen, its rows' open and completed
// looks, the flag it raises only while drawing, and the meter drawn only from it.
#include "GuiFixture.h"

#include "core/CoreSlots.h"
#include "core/Globals.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "gui/hud/GUIHud.h"
#include "gui/hud/GUIObjectiveCenter.h"
#include "core/LanguageManager.h"
#include "level/LevelManager.h"
#include "level/LevelHooks.h"
#include "render/SpriteAnimation.h"
#include "screens/ScreenManager.h"

using namespace irr;

namespace {

class ObjectivePanelTest : public guitest::GuiFixture {
protected:
    void SetUp() override {
        guitest::GuiFixture::SetUp();
        screenManager->createScreens();
        panel = screenManager->getObjectiveCenter();
    }
    void TearDown() override {
        physicsManager = nullptr;
        coreSlots().physics.isSimulationActive = nullptr;
        coreSlots().screens.isStackActive = nullptr;
        guitest::GuiFixture::TearDown();
    }
    // The game runs: the panel draws its rows and times its highlights.
    void runGame() {
        coreSlots().physics.isSimulationActive = [] { return true; };
        physicsManager = reinterpret_cast<PhysicsManager*>(this);
    }
    void addRow(int index, const wchar_t* text, bool shown) {
        panel->setRowText(index, text);
        panel->setRowOpenLook(index, 0, shown);
    }
    GUIObjectiveCenter* panel = nullptr;
};

TEST_F(ObjectivePanelTest, StandsWithIdZeroAndNeverCountsAsVisible) {
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->getID(), 0);
    EXPECT_STREQ(panel->getTypeName(), "GUIObjectiveCenter");
    panel->setRowText(0, L"Get inside");
    panel->setRowOpenLook(0, 0, true);
    panel->draw();
    EXPECT_FALSE(panel->isVisible()) << "raised only while it draws";
    EXPECT_TRUE(panel->isShownByOwner());
    EXPECT_TRUE(screenManager->isInputAllowed());
}

// The panel draws its parts only while it is shown in a running game.
TEST_F(ObjectivePanelTest, ItsPartsAreDrawnOnlyWhileShownInARunningGame) {
    struct CountingPart : gui::IGUIElement {
        CountingPart(gui::IGUIEnvironment* environment, gui::IGUIElement* parent)
            : gui::IGUIElement(gui::EGUIET_ELEMENT, environment, parent, -1, core::recti(0, 0, 10, 10)) {}
        void draw() override { ++draws; }
        int draws = 0;
    };
    auto* part = new CountingPart(environment, panel);
    part->drop();
    const struct {
        bool running, shown;
        int draws;
    } rows[] = {{true, true, 1}, {false, true, 0}, {true, false, 0}, {false, false, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.running) + std::to_string(row.shown));
        if (row.running)
            runGame();
        else {
            physicsManager = nullptr;
            coreSlots().physics.isSimulationActive = nullptr;
        }
        panel->setVisible(row.shown);
        part->draws = 0;
        panel->draw();
        EXPECT_EQ(part->draws, row.draws);
    }
}

// A new language reads the objective texts of its own folder again and asks for the rows to
// be refreshed.
TEST_F(ObjectivePanelTest, ANewLanguageReadsTheObjectiveTextsAgain) {
    useLanguages();
    level->objectives.setCollectionFile("Elsewhere.xml");
    level->objectives.refreshRequested = false;
    panel->onLanguageChanged();
    EXPECT_EQ(level->objectives.getCollectionFile(),
              std::string(languageManager->getLocalizedPath(ObjectiveList::defaultCollectionFile).c_str()));
    EXPECT_TRUE(level->objectives.refreshRequested);
}

TEST_F(ObjectivePanelTest, SitsCentredAtTheBottomReachingBelowTheScreen) {
    ASSERT_EQ(screenHeight, 720);
    panel->setRowText(0, L"Get inside");
    panel->setRowOpenLook(0, 0, true);
    panel->draw();
    const core::recti rect = panel->getRelativePosition();
    EXPECT_EQ(rect.getWidth(), 768);
    EXPECT_EQ(rect.getHeight(), 432);
    EXPECT_EQ(rect.UpperLeftCorner.X, (screenWidth - 768) / 2);
    EXPECT_EQ(rect.LowerRightCorner.Y, 720 + 24);
}

TEST_F(ObjectivePanelTest, WithoutRowsNothingIsLaidOut) {
    const core::recti before = panel->getRelativePosition();
    panel->draw();
    EXPECT_EQ(panel->getRelativePosition(), before);
    EXPECT_EQ(panel->countVisibleRows(), 0);
}

TEST_F(ObjectivePanelTest, OpenAndCompletedRowsLookTheirPart) {
    panel->setRowText(0, L"Find the key");
    panel->setRowOpenLook(0, 0, true);
    const GUIObjectiveCenter::Row& row = panel->getRows().front();
    EXPECT_EQ(row.title->getOverrideColor(), video::SColor(0xFFFFFFFF));
    EXPECT_EQ(row.shadow->getOverrideColor(), video::SColor(0xFF000000));
    EXPECT_FALSE(row.decorations[0]->isVisible());
    EXPECT_TRUE(row.openMarker->isVisible());
    // The panel takes its size in its first draw.
    panel->draw();
    panel->showCompletionHighlight(0);
    EXPECT_TRUE(row.highlighted);
    EXPECT_EQ(row.highlightTimer, 2.0f);
    // The tick shows with the strike line over the title, from the highlight's first frame.
    EXPECT_TRUE(row.decorations[0]->isVisible());
    EXPECT_EQ(row.decorations[0]->getRelativePosition().getCenter().X, row.title->getRelativePosition().getCenter().X);
    EXPECT_TRUE(row.icon->isVisible());
    EXPECT_EQ(row.iconFrame, ObjectiveList::completedIconFrame);
    EXPECT_FALSE(row.openMarker->isVisible());
    panel->setRowCompletedLook(0, 1);
    EXPECT_EQ(row.title->getOverrideColor(), video::SColor(0xFFC8C8C8));
    EXPECT_TRUE(row.decorations[0]->isVisible()) << "struck through";
    EXPECT_TRUE(row.title->isVisible());
    EXPECT_TRUE(row.shadow->isVisible()) << "grey without its shadow is lost on a bright floor";
    EXPECT_EQ(row.shadow->getOverrideColor(), video::SColor(0xFF000000));
    EXPECT_FALSE(row.openMarker->isVisible());
    EXPECT_FALSE(row.highlighted);
    // The strike line lies over the title's middle, 7 pixels wider on each side.
    const core::recti title = row.title->getRelativePosition();
    const core::recti strike = row.decorations[0]->getRelativePosition();
    EXPECT_EQ(strike.getWidth(), row.title->getTextWidth() / 2 * 2 + 14);
    EXPECT_EQ(strike.UpperLeftCorner.Y, title.getCenter().Y);
    panel->showCompletionHighlight(0);
    ASSERT_TRUE(row.highlighted);
    panel->hideAll();
    EXPECT_EQ(panel->countVisibleRows(), 0);
    EXPECT_FALSE(row.highlighted);
    EXPECT_EQ(row.highlightTimer, 0.0f);
}

// A row's icon shows the cell of its frame and holds it (it does not play on), also when the
// icon animation comes after the rows.
TEST_F(ObjectivePanelTest, ARowsIconHoldsTheCellOfItsFrame) {
    // The level's cache reads animation files with the rendering code's loader (for this test).
    struct Restore {
        ~Restore() { resetLevelHooks(); }
    } restore;
    levelHooks().render.loadSpriteAnimation = [](const io::path& file) -> std::shared_ptr<const SpriteAnimation> {
        auto animation = std::make_shared<SpriteAnimation>();
        return loadTextureAnimation(*animation, file) ? animation : nullptr;
    };
    for (const s32 frame : {0, 2})
        addRow(frame, L"Icon row", true);
    panel->setRowOpenLook(2, 2, true);
    panel->setTaskIconAnimation("Content/Screens/HUD/TaskIcons.xml");
    for (const s32 frame : {0, 2}) {
        SCOPED_TRACE(frame);
        SpriteAnimation* icon = panel->getRows()[static_cast<std::size_t>(frame)].icon->getSpriteAnimation();
        ASSERT_NE(icon, nullptr);
        ASSERT_EQ(icon->last, 3);
        EXPECT_FALSE(icon->playing);
        EXPECT_EQ(icon->getCurrentCell(), frame);
    }
}

// The level's objectives show on the panel made last; one that goes leaves the list without
// a display only when it was that panel.
TEST_F(ObjectivePanelTest, APanelThatGoesLeavesTheObjectivesOnlyWhenItWasTheirDisplay) {
    auto* first = new GUIObjectiveCenter(environment, root(), -1, core::recti(0, 0, 10, 10));
    first->drop();
    EXPECT_EQ(level->objectives.getDisplay(), first);
    auto* second = new GUIObjectiveCenter(environment, root(), -1, core::recti(0, 0, 10, 10));
    second->drop();
    EXPECT_EQ(level->objectives.getDisplay(), second);
    first->remove();
    EXPECT_EQ(level->objectives.getDisplay(), second);
    second->remove();
    EXPECT_EQ(level->objectives.getDisplay(), nullptr);
}

// Shown rows stack upward from above the meter, the first on top, the header above them.
TEST_F(ObjectivePanelTest, ShownRowsStackWithTheFirstOnTop) {
    addRow(0, L"First", true);
    addRow(1, L"Second", true);
    const std::vector<GUIObjectiveCenter::Row>& rows = panel->getRows();
    const core::recti first = rows[0].element->getRelativePosition();
    const core::recti second = rows[1].element->getRelativePosition();
    EXPECT_EQ(second.UpperLeftCorner.Y - first.UpperLeftCorner.Y, first.getHeight());
    EXPECT_LT(panel->getHeader()->getRelativePosition().UpperLeftCorner.Y, first.UpperLeftCorner.Y);
}

// A completed row lights up fully and fades out over two seconds.
TEST_F(ObjectivePanelTest, ACompletionHighlightFadesOutOverTwoSeconds) {
    runGame();
    addRow(0, L"Find the key", true);
    const GUIObjectiveCenter::Row& row = panel->getRows().front();
    // Frames before the completion leave the highlight alone: it starts fully lit.
    setFrameDelta(0.5f);
    panel->OnPostRender(0);
    EXPECT_EQ(row.highlight->getColor().getAlpha(), 255u);
    panel->showCompletionHighlight(0);
    EXPECT_EQ(row.highlight->getColor().getAlpha(), 255u);
    panel->OnPostRender(0);
    EXPECT_EQ(row.highlight->getColor().getAlpha(), 191u);
    for (int i = 0; i < 3; ++i)
        panel->OnPostRender(0);
    EXPECT_EQ(row.highlight->getColor().getAlpha(), 0u);
}

// In a running game a panel whose rows are all hidden shows its empty-list line; behind a
// menu neither that line nor the header shows.
TEST_F(ObjectivePanelTest, TheEmptyListLineShowsOnlyWithoutShownRowsAndNoMenu) {
    runGame();
    addRow(0, L"Hidden", false);
    panel->draw();
    EXPECT_TRUE(panel->getEmptyListElement()->isVisible());
    addRow(1, L"Shown", true);
    panel->draw();
    EXPECT_FALSE(panel->getEmptyListElement()->isVisible());
    panel->getHeader()->setVisible(true);
    panel->setRowOpenLook(1, 0, false);
    // A menu stands on the screen stack.
    coreSlots().screens.isStackActive = [] { return true; };
    panel->draw();
    EXPECT_FALSE(panel->getEmptyListElement()->isVisible());
    EXPECT_FALSE(panel->getHeader()->isVisible());
}

} // namespace

// Under the pause menu itself the meter (and an empty list's line) shows below the rows; under
// a page over the pause menu (the options with their hint line at the bottom) it does not.
TEST_F(ObjectivePanelTest, TheMeterShowsUnderThePauseMenuButNotUnderAPageOverIt) {
    runGame();
    addRow(0, L"Hidden", false);
    const auto before = guiHooks().screens.pausePanel;
    GUIHud* hud = screenManager->getHud();
    ASSERT_NE(hud, nullptr);
    for (const bool pageAbove : {true, false}) {
        SCOPED_TRACE(pageAbove);
        guiHooks().screens.pausePanel = [pageAbove] {
            return std::optional<PausePanelSlide>(PausePanelSlide{1.0f, 200, pageAbove});
        };
        panel->draw();
        EXPECT_EQ(panel->getEmptyListElement()->isVisible(), !pageAbove);
        // The meter's place is worked out only when it is drawn.
        EXPECT_EQ(hud->getMeterRect() != core::recti(), !pageAbove);
    }
    guiHooks().screens.pausePanel = before;
}

// While the pause panel slides in, the panel eases up by its shown rows' share and aside by
// what the pause panel leaves of its width, both along 3d² - 2d³ of the slide.
TEST_F(ObjectivePanelTest, ThePauseSlideLiftsAndMovesThePanelAsideAlongItsEasing) {
    addRow(0, L"Find the key", true);
    addRow(1, L"Open the door", false);
    const auto before = guiHooks().screens.pausePanel;
    const struct {
        f32 dim;
        s32 panelWidth, lift, aside;
    } cases[] = {
        {0.0f, 200, 0, 0}, {0.25f, 200, 37, 43}, {0.5f, 200, 120, 140}, {1.0f, 200, 240, 280}, {1.0f, 600, 240, 0},
    };
    for (const auto& c : cases) {
        guiHooks().screens.pausePanel = [&c] { return std::optional<PausePanelSlide>(PausePanelSlide{c.dim, c.panelWidth}); };
        panel->draw();
        const core::recti rect = panel->getRelativePosition();
        EXPECT_EQ(rect.LowerRightCorner.Y, 720 + 24 - c.lift) << c.dim << " " << c.panelWidth;
        EXPECT_EQ(rect.UpperLeftCorner.X, (screenWidth - 768) / 2 - c.aside) << c.dim << " " << c.panelWidth;
    }
    guiHooks().screens.pausePanel = before;
}
