// Subtitles: the shared and the level's collections, a line shown for its duration and the
// chained line after it, waiting behind menus, and files that cannot be read.
#include "GuiFixture.h"

#include "core/Globals.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/hud/GUISubtitleManager.h"
#include "screens/ScreenManager.h"
#include "support/TempDir.h"

#include <algorithm>

using namespace irr;

namespace {

class SubtitleTest : public guitest::GuiFixture {
protected:
    void SetUp() override {
        guitest::GuiFixture::SetUp();
        screenManager->createScreens();
        subtitles = screenManager->getSubtitleManager();
        subtitles->loadPersistentSubtitles("Content/Language/English/Subtitles/PhysicsDemo.xml");
    }
    // Frames of 0.1 s; the ids shown after each.
    std::vector<s32> runFrames(int frames) {
        std::vector<s32> shown;
        for (int i = 0; i < frames; ++i) {
            setFrameDelta(0.1f);
            postRenderAll();
            shown.push_back(subtitles->getTextLine()->isVisible() ? subtitles->getCurrentId() : 0);
        }
        return shown;
    }
    std::string shownText() const { return core::stringc(subtitles->getTextLine()->getText()).c_str(); }

    GUISubtitleManager* subtitles = nullptr;
    test::TempDir dir;
};

TEST_F(SubtitleTest, StandsAsTheSubtitleLayerThatNeverHoldsInput) {
    EXPECT_EQ(subtitles->getID(), ScreenManager::subtitleScreenId);
    EXPECT_EQ(static_cast<s32>(subtitles->getType()), ScreenManager::passingType);
    EXPECT_STREQ(subtitles->getTypeName(), "GUIHud");
    EXPECT_EQ(subtitles->getElementTypeId(), 1013);
    EXPECT_TRUE(screenManager->isInputAllowed());
}

TEST_F(SubtitleTest, TheLevelsLineReplacesASharedLineOfItsId) {
    ASSERT_EQ(subtitles->getRecords().size(), 6u);
    subtitles->playSubtitle(2);
    EXPECT_EQ(shownText(), "Just the draught from the window.");
    // The shadow line shows the same words behind it.
    EXPECT_TRUE(subtitles->getTextLine()->isVisible());
    EXPECT_TRUE(subtitles->getShadowLine()->isVisible());
    EXPECT_STREQ(subtitles->getShadowLine()->getText(), subtitles->getTextLine()->getText());
    subtitles->playSubtitle(1);
    EXPECT_EQ(shownText(), "Hey! Who is there?");
    subtitles->playSubtitle(999);
    EXPECT_EQ(subtitles->getCurrentId(), 1) << "an unknown id changes nothing";
}

TEST_F(SubtitleTest, AChainShowsEachLineForItsDurationThenHides) {
    subtitles->playSubtitle(100);
    const std::vector<s32> shown = runFrames(60);
    // 3 s of line 100, 2 s of line 101, then nothing.
    EXPECT_NEAR(std::count(shown.begin(), shown.end(), 100), 30, 1);
    EXPECT_NEAR(std::count(shown.begin(), shown.end(), 101), 20, 1);
    EXPECT_EQ(shown.back(), 0);
    EXPECT_EQ(subtitles->getNextId(), 0);
}

// A finished line hides its words and their shadow unless a chained line follows, which
// shows in their place; clearing hides them too.
TEST_F(SubtitleTest, AFinishedLineHidesUnlessAnotherFollows) {
    const auto shows = [this] {
        return subtitles->getTextLine()->isVisible() && subtitles->getShadowLine()->isVisible();
    };
    const auto hidden = [this] {
        return !subtitles->getTextLine()->isVisible() && !subtitles->getShadowLine()->isVisible();
    };
    subtitles->playSubtitle(100);
    subtitles->onSubtitleFinished();
    EXPECT_EQ(subtitles->getCurrentId(), 101);
    EXPECT_EQ(shownText(), "Go on, knock something over.");
    EXPECT_TRUE(shows());
    subtitles->onSubtitleFinished();
    EXPECT_EQ(subtitles->getCurrentId(), 0);
    EXPECT_TRUE(hidden());
    subtitles->playSubtitle(2);
    EXPECT_TRUE(shows());
    subtitles->clear();
    EXPECT_EQ(subtitles->getCurrentId(), 0);
    EXPECT_TRUE(hidden());
}

TEST_F(SubtitleTest, LinesWaitBehindAMenuAndTimeOutWhenSwitchedOff) {
    subtitles->playSubtitle(1);
    auto* menu = new GUIScreen(environment, root(), ScreenManager::menuScreenId, core::recti());
    screenManager->pushScreen(menu);
    menu->drop();
    runFrames(40);
    EXPECT_EQ(subtitles->getCurrentId(), 1);
    screenManager->popScreen(menu, true);
    screenManager->flushScreenRemovals();
    subtitles->SubtitlesOn = false;
    runFrames(30);
    EXPECT_EQ(subtitles->getCurrentId(), 0);
}

TEST_F(SubtitleTest, TheBlackBoxSpansTheLineWithinTheMargins) {
    EXPECT_FALSE(subtitles->isBlackBox());
    subtitles->setBlackBox(true);
    EXPECT_TRUE(subtitles->isBlackBox());
    subtitles->playSubtitle(1);
    const core::recti rect = subtitles->getTextLine()->getRelativePosition();
    const s32 width = subtitles->getTextLine()->getTextWidth();
    EXPECT_EQ(rect.getWidth(), 2 * (width / 2 + 10));
    EXPECT_EQ(subtitles->getShadowLine()->getRelativePosition(), rect + core::position2di(2, 2));
    EXPECT_EQ(rect.UpperLeftCorner.Y, 70);
    EXPECT_TRUE(subtitles->getTextLine()->isDrawBackgroundEnabled());
    subtitles->setBlackBox(false);
    EXPECT_FALSE(subtitles->isBlackBox());
    EXPECT_FALSE(subtitles->getTextLine()->isDrawBackgroundEnabled());
}

// On a 600-pixel screen the line's top (70 of 720) is 58.3 and the shadow's offset (2) 1.67.
TEST_F(SubtitleTest, SizesFollowTheScreenHeightToTheNearestPixel) {
    const s32 height = screenHeight;
    screenHeight = 600;
    subtitles->playSubtitle(1);
    screenHeight = height;
    const core::recti rect = subtitles->getTextLine()->getRelativePosition();
    EXPECT_EQ(rect.UpperLeftCorner.Y, 58);
    EXPECT_EQ(subtitles->getShadowLine()->getRelativePosition(), rect + core::position2di(2, 2));
}

// A file gives at most its first ten thousand lines; a line without a duration has none.
TEST_F(SubtitleTest, AFileGivesAtMostTenThousandLinesAndAMissingDurationIsNone) {
    std::string xml = "<?xml version=\"1.0\"?>\n<SubtitleCollection>\n";
    xml += "  <Subtitle id=\"7000\" text=\"No time given\"/>\n";
    for (int i = 1; i < 10001; ++i)
        xml += "  <Subtitle id=\"" + std::to_string(7000 + i) + "\" text=\"Line\" duration=\"2\"/>\n";
    xml += "</SubtitleCollection>\n";
    const std::string file = (dir.path() / "Many.xml").string();
    ASSERT_TRUE(test::writeFileBytes(file, xml));
    const std::size_t before = subtitles->getRecords().size();
    ASSERT_TRUE(subtitles->loadSubtitleCollection(file.c_str()));
    EXPECT_EQ(subtitles->getRecords().size(), before + 10000);
    subtitles->playSubtitle(7000);
    EXPECT_EQ(subtitles->getCurrentId(), 7000);
    EXPECT_EQ(subtitles->getTimer().duration, 0.0f);
}

TEST_F(SubtitleTest, AFileThatCannotBeReadIsLoggedAndAddsNothing) {
    const std::string broken = (dir.path() / "Broken.xml").string();
    ASSERT_TRUE(test::writeFileBytes(broken, "this is no subtitle collection"));
    const std::size_t before = subtitles->getRecords().size();
    EXPECT_FALSE(subtitles->loadSubtitleCollection(broken.c_str()));
    EXPECT_EQ(subtitles->getRecords().size(), before);
    EXPECT_TRUE(log.contains("Broken.xml"));
    // A level without its own file only has the shared lines, and no error.
    log.lines.clear();
    subtitles->loadPersistentSubtitles("Content/Language/English/Subtitles/NoSuchLevel.xml");
    EXPECT_EQ(subtitles->getRecords().size(), 3u);
    EXPECT_FALSE(log.contains("ERROR"));
}

} // namespace
