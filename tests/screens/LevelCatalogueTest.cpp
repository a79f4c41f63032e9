// The story level list: the unlock rule, the language's texts, the lookups, and the preview
// scenes behind the level menus.
#include "LevelMenuFixture.h"

#include "core/Globals.h"
#include "level/SaveManager.h"
#include "screens/levels/LevelCatalogue.h"

#include <string>
#include <vector>

using namespace irr;

namespace {

using LevelCatalogueTest = screenstest::LevelMenuFixture;

struct Listed {
    std::string path;
    bool hidden;
    std::string preview;
    bool operator==(const Listed&) const = default;
};

std::vector<Listed> listed() {
    std::vector<Listed> out;
    for (const LevelRecord& record : MenuLevels)
        out.push_back({record.path, record.isHidden, record.menuPreview});
    return out;
}

// Locked: the first record, shorts, levels the save unlocked (any case of A-Z) are open; a
// hidden locked record is listed locked with the locked preview; the rest is left out.
// Without the lock, or in demo mode, every record is open with its own preview.
TEST_F(LevelCatalogueTest, TheUnlockRuleDecidesWhatTheMenusList) {
    const std::vector<Listed> locked = {{"Content/Levels/A.irr", false, "Content/Levels/PreviewA.irr"},
                                        {"Content/Levels/B.irr", true, "Content/Levels/Menu_Locked.irr"},
                                        {"Content/Levels/D.irr", false, ""},
                                        {"Content/Levels/E.irr", false, "Content/Levels/PreviewE.irr"}};
    const std::vector<Listed> open = {{"Content/Levels/A.irr", false, "Content/Levels/PreviewA.irr"},
                                      {"Content/Levels/B.irr", false, "Content/Levels/PreviewB.irr"},
                                      {"Content/Levels/C.irr", false, "Content/Levels/PreviewC.irr"},
                                      {"Content/Levels/D.irr", false, ""},
                                      {"Content/Levels/E.irr", false, "Content/Levels/PreviewE.irr"}};
    struct Case {
        bool lock, demo;
        const std::vector<Listed>& expected;
        u32 unlockedStory;
    };
    for (const Case& c : {Case{true, false, locked, 2}, Case{false, false, open, 4}, Case{true, true, open, 4}}) {
        SCOPED_TRACE(std::to_string(c.lock) + std::to_string(c.demo));
        LevelLockActive = c.lock;
        demoMode = c.demo;
        loadLevelList();
        EXPECT_EQ(listed(), c.expected);
        EXPECT_EQ(AllLevels.size(), 5u);
        EXPECT_EQ(countUnlockedStoryLevels(), c.unlockedStory);
        std::vector<std::string> paths;
        getAllLevelPaths(paths);
        EXPECT_EQ(paths.size(), 5u);
    }
    demoMode = false;
}

TEST_F(LevelCatalogueTest, TheLanguageGivesTitlesAndTheLookupsIgnoreTheCaseOfLetters) {
    loadLevelList();
    ASSERT_EQ(MenuLevels.size(), 4u);
    EXPECT_EQ(MenuLevels[0].title, L"Alpha Title");
    EXPECT_EQ(MenuLevels[0].description, L"Alpha Text");
    EXPECT_EQ(AllLevels[0].title, L"Alpha Title");
    EXPECT_EQ(MenuLevels[3].title, L"E2") << "the last text of a path wins";
    EXPECT_EQ(AllLevels[2].title, L"C") << "without a text the catalogue's title stays";
    EXPECT_EQ(getLevelTitle("Content/Levels/Z.irr"), L"Zed");
    EXPECT_EQ(getLevelTitle("Content/Levels/C.irr"), L"");
    EXPECT_TRUE(isListedLevel("CONTENT/levels/c.IRR"));
    EXPECT_FALSE(isListedLevel("Content/Levels/Z.irr"));
    EXPECT_FLOAT_EQ(getDevBestTime("content/levels/a.irr"), 60.0f);
    EXPECT_FLOAT_EQ(getDevBestTime("Content/Levels/C.irr"), 0.0f) << "only listed levels count";
    EXPECT_TRUE(MenuLevels[0].isFirstLevel);
    EXPECT_EQ(MenuLevels[2].kind, LevelKindShorts);
}

TEST_F(LevelCatalogueTest, AMissingCatalogueLeavesTheListsEmptyWithoutALogLine) {
    std::filesystem::remove(content.path() / "Content/Config/DemoLevels.xml");
    log.lines.clear();
    loadLevelList();
    EXPECT_TRUE(MenuLevels.empty());
    EXPECT_TRUE(AllLevels.empty());
    EXPECT_EQ(LevelTexts.size(), 4u);
    EXPECT_TRUE(log.lines.empty());
}

// One hidden preview per listed level (none without a preview scene), the backdrops, and the
// switches between them.
TEST_F(LevelCatalogueTest, PreviewScenesShowOneAtATime) {
    loadLevelList();
    loadMenuPreviewScenes();
    ASSERT_EQ(MenuPreviewNodes.size(), 4u);
    EXPECT_EQ(MenuPreviewNodes[0], previewNode(0));
    EXPECT_EQ(MenuPreviewNodes[2], nullptr) << "the shorts level has no preview";
    ASSERT_NE(CalibrationPreview, nullptr);
    ASSERT_NE(WorkshopPreview, nullptr);
    EXPECT_EQ(CalibrationPreview->getID(), calibrationPreviewId);
    for (scene::ISceneNode* node : {MenuPreviewNodes[0], MenuPreviewNodes[1], MenuPreviewNodes[3], CalibrationPreview,
                                    WorkshopPreview})
        EXPECT_FALSE(node->isVisible());

    auto visible = [] {
        std::vector<bool> shown;
        for (scene::ISceneNode* node : MenuPreviewNodes)
            shown.push_back(node && node->isVisible());
        return shown;
    };
    CalibrationPreview->setVisible(true);
    showMenuPreview(3, false);
    EXPECT_EQ(visible(), (std::vector<bool>{false, false, false, true}));
    EXPECT_FALSE(CalibrationPreview->isVisible());

    showAutoSaveLevelPreview();
    EXPECT_EQ(visible(), (std::vector<bool>{true, false, false, false})) << "no autosave: the first level";
    save->setAutoSavePath(L"content/levels/e.IRR", true);
    showAutoSaveLevelPreview();
    EXPECT_EQ(visible(), (std::vector<bool>{false, false, false, true}));

    WorkshopPreview->setVisible(true);
    CalibrationPreview->setVisible(true);
    setMenuPreviewsVisible(CalibrationPreview);
    EXPECT_EQ(visible(), (std::vector<bool>{false, false, false, false}));
    EXPECT_TRUE(CalibrationPreview->isVisible());
    EXPECT_FALSE(WorkshopPreview->isVisible());

    // A second call reuses the level previews that exist.
    scene::ISceneNode* first = MenuPreviewNodes[0];
    loadMenuPreviewScenes();
    EXPECT_EQ(MenuPreviewNodes[0], first);
}

} // namespace
