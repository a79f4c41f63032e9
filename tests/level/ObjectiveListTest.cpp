#include "level/ObjectiveList.h"

#include "core/Utf8.h"
#include "support/NullDevice.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace irr;

namespace {

// Records the row operations as text lines.
class RecordingDisplay : public ObjectiveDisplay {
public:
    void setRowText(int row, const wchar_t* text) override {
        calls.push_back("text " + std::to_string(row) + " " + toUtf8(text));
    }
    void setRowOpenLook(int row, s32 iconFrame, bool visible) override {
        calls.push_back("open " + std::to_string(row) + " " + std::to_string(iconFrame) +
                        (visible ? " shown" : " hidden"));
    }
    void showCompletionHighlight(int row) override {
        calls.push_back("highlight " + std::to_string(row));
    }
    void setRowCompletedLook(int row, s32 iconFrame) override {
        calls.push_back("completed " + std::to_string(row) + " " + std::to_string(iconFrame));
    }
    void hideAll() override { calls.push_back("hide all"); }

    std::vector<std::string> take() {
        std::vector<std::string> out;
        out.swap(calls);
        return out;
    }
    std::vector<std::string> calls;
};

using Calls = std::vector<std::string>;

ObjectiveEntry entry(s32 id, const wchar_t* textID, s32 frame, bool revealed) {
    ObjectiveEntry e;
    e.id = id;
    e.textID = textID;
    e.iconFrame = frame;
    e.revealed = revealed;
    return e;
}

class ObjectiveListTest : public ::testing::Test {
protected:
    void SetUp() override { list.setDisplay(&display); }

    ObjectiveList list;
    RecordingDisplay display;
};

TEST_F(ObjectiveListTest, AddAppendsOnceAndTheFirstIsCurrent) {
    EXPECT_TRUE(list.add(entry(5, L"GetInside", 2, true)));
    EXPECT_TRUE(list.add(entry(9, L"Escape", 0, false)));
    EXPECT_FALSE(list.add(entry(5, L"Other", 1, true)));
    EXPECT_EQ(display.take(), (Calls{"text 0 #GetInside", "open 0 2 shown", "text 1 #Escape",
                                     "open 1 0 hidden"}));
    EXPECT_TRUE(list.isCurrent(5));
    EXPECT_FALSE(list.isCurrent(9));
    EXPECT_TRUE(list.contains(9));
    EXPECT_FALSE(list.contains(7));
    EXPECT_EQ(list.getEntries()[0].textID, L"GetInside");
}

TEST_F(ObjectiveListTest, CompletionHighlightsForTwoSecondsThenShowsTheCompletedLook) {
    list.add(entry(5, L"GetInside", 2, true));
    display.take();
    list.complete(5);
    EXPECT_EQ(display.take(), Calls{"highlight 0"});
    list.complete(5); // once only
    list.tick(1.5f);
    list.refresh(); // the highlight keeps its row until its time is up
    EXPECT_EQ(display.take(), Calls{"text 0 #GetInside"});
    list.tick(0.6f);
    // Done shows the tick whatever the open icon was.
    EXPECT_EQ(display.take(), (Calls{"text 0 #GetInside", "completed 0 1"}));
    list.tick(5.0f);
    EXPECT_TRUE(display.take().empty());
    list.complete(8); // not in the list
    EXPECT_TRUE(display.take().empty());

    // A highlight whose time runs out exactly ends as well.
    list.add(entry(6, L"RingBell", 0, true));
    list.complete(6);
    display.take();
    list.tick(1.0f);
    list.tick(1.0f);
    EXPECT_EQ(display.take(), (Calls{"text 1 #RingBell", "completed 1 1"}));
}

TEST_F(ObjectiveListTest, UpdateFollowsRevealAndReplacement) {
    list.add(entry(5, L"GetInside", 2, true));
    display.take();
    list.update(entry(5, L"FindTheOrgan", 3, false));
    EXPECT_EQ(display.take(), (Calls{"text 0 #FindTheOrgan", "open 0 3 hidden"}));
    ObjectiveEntry done = entry(5, L"FindTheOrgan", 3, true);
    done.completed = true;
    list.update(done);
    EXPECT_EQ(display.take(), Calls{"highlight 0"});
    list.update(entry(6, L"Elsewhere", 0, true)); // not in the list
    EXPECT_TRUE(display.take().empty());
}

TEST_F(ObjectiveListTest, ClearHidesEveryRowBetweenLevels) {
    list.add(entry(5, L"GetInside", 2, true));
    display.take();
    list.clear();
    EXPECT_EQ(display.take(), Calls{"hide all"});
    EXPECT_TRUE(list.getEntries().empty());
    EXPECT_FALSE(list.isCurrent(5));
}

TEST_F(ObjectiveListTest, WithoutADisplayTheListStillKeepsItsEntries) {
    list.setDisplay(nullptr);
    list.add(entry(5, L"GetInside", 2, true));
    list.complete(5);
    list.tick(3.0f);
    list.clear();
    EXPECT_TRUE(display.calls.empty());
}

TEST_F(ObjectiveListTest, CollectionTextsAndTheRefreshOnALanguageChange) {
    test::NullDevice device;
    test::TempDir dir;
    const std::string file = dir.file("Objectives.xml");
    test::writeFileBytes(file, "<Objectives>\n"
                               "  <Collection name=\"Church_Main\">\n"
                               "    <Objective id=\"GetInside\" text=\"Get inside\"/>\n"
                               "  </Collection>\n"
                               "  <Collection name=\"Pumps_Main\">\n"
                               "    <Objective id=\"Escape\" text=\"Get out\"/>\n"
                               "  </Collection>\n"
                               "</Objectives>\n");
    list.setCollection("Church_Main");
    list.setCollectionFile(file);
    ASSERT_TRUE(list.loadCollection(device->getFileSystem()));
    EXPECT_EQ(list.getText(L"GetInside"), L"Get inside");
    EXPECT_EQ(list.getText(L"Escape"), L"#Escape"); // another level's text

    list.add(entry(5, L"GetInside", 2, true));
    display.take();
    list.setCollection("Pumps_Main");
    list.loadCollection(device->getFileSystem());
    EXPECT_TRUE(list.refreshRequested);
    EXPECT_TRUE(display.take().empty());
    list.tick(0.0f);
    EXPECT_FALSE(list.refreshRequested);
    EXPECT_EQ(display.take(), (Calls{"text 0 #GetInside", "open 0 2 shown"}));
    EXPECT_EQ(list.getText(L"Escape"), L"Get out");
}

TEST_F(ObjectiveListTest, AMissingCollectionFileFailsAndDropsTheOldTexts) {
    test::NullDevice device;
    test::TempDir dir;
    const std::string file = dir.file("Objectives.xml");
    test::writeFileBytes(file, "<Objectives><Collection name=\"Church_Main\">"
                               "<Objective id=\"GetInside\" text=\"Get inside\"/>"
                               "</Collection></Objectives>");
    list.setCollection("Church_Main");
    list.setCollectionFile(file);
    ASSERT_TRUE(list.loadCollection(device->getFileSystem()));
    list.tick(0.0f);

    list.setCollectionFile(dir.file("Missing.xml"));
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(list.loadCollection(device->getFileSystem()));
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(list.getText(L"GetInside"), L"#GetInside");
    EXPECT_TRUE(list.refreshRequested);
}

TEST_F(ObjectiveListTest, ShippedCollectionsAreWhole) {
    test::NullDevice device;
    list.setCollection("Church_Main");
    list.setCollectionFile((test::sourceDir() / ObjectiveList::defaultCollectionFile).string());
    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(list.loadCollection(device->getFileSystem()));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(list.getText(L"GetInside"), L"Get inside the church");
}

} // namespace
