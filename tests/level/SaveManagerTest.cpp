#include "level/SaveManager.h"

#include "core/Globals.h"
#include "core/RepeatedLog.h"
#include "core/Utf8.h"
#include "level/LevelRunRecord.h"
#include "support/FileSizeLimit.h"
#include "support/NullDevice.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <utime.h>

using namespace irr;

namespace {

// A fixed local time for the backup names: 2014-08-27 11:45:16 plus the given seconds.
std::time_t localMoment(int extraSeconds = 0) {
    std::tm t {};
    t.tm_year = 2014 - 1900;
    t.tm_mon = 7;
    t.tm_mday = 27;
    t.tm_hour = 11;
    t.tm_min = 45;
    t.tm_sec = 16 + extraSeconds;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

class SaveManagerTest : public ::testing::Test {
protected:
    void SetUp() override { demoMode = false; }
    void TearDown() override { demoMode = false; }

    std::unique_ptr<SaveManager> makeManager(int clockSeconds = 0) {
        auto manager = std::make_unique<SaveManager>(device->getFileSystem(), folder);
        clock = clockSeconds;
        manager->setClock([this] { return localMoment(clock); });
        return manager;
    }
    // A manager that has loaded what is on the disk (its log lines are captured).
    std::unique_ptr<SaveManager> loadedManager(bool* loaded = nullptr) {
        auto manager = makeManager();
        ::testing::internal::CaptureStdout();
        const bool result = manager->load();
        loadLog = ::testing::internal::GetCapturedStdout();
        if (loaded)
            *loaded = result;
        return manager;
    }

    std::vector<std::string> folderEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    test::NullDevice device;
    test::TempDir dir;
    std::string folder = dir.file("Paddlestone");
    std::string savePath = folder + "/save.tsav";
    int clock = 0;
    std::string loadLog;
};

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// --- file and groups ----------------------------------------------------------------------

TEST_F(SaveManagerTest, CreatesTheFolderAndWritesEveryGroup) {
    auto save = makeManager();
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    save->automaticWriting = false;
    save->setAutoSaveExists(true, true);
    save->setAutoSavePath(L"Content/Levels/Church_Main.irr", false);
    save->saveTieCollected(7);
    save->addUnlockedLevel(L"Content/Levels/Church_Main.irr");
    save->saveLevelLength(L"Content/Levels/Church_Main.irr", 93.5f);
    ASSERT_TRUE(save->save());

    // The groups appear as elements in the file order, under the root element.
    io::IXMLReader* reader = device->getFileSystem()->createXMLReader(savePath.c_str());
    ASSERT_NE(reader, nullptr);
    std::vector<std::wstring> topElements;
    int depth = 0;
    while (reader->read()) {
        if (reader->getNodeType() == io::EXN_ELEMENT) {
            if (depth <= 1)
                topElements.push_back(reader->getNodeName());
            if (!reader->isEmptyElement())
                ++depth;
        } else if (reader->getNodeType() == io::EXN_ELEMENT_END) {
            --depth;
        }
    }
    reader->drop();
    EXPECT_EQ(topElements, (std::vector<std::wstring>{L"PaddlestoneSave", L"Save", L"FreeplaySave",
                                                      L"Ties", L"Levels", L"LevelLength",
                                                      L"Statistics"}));
    EXPECT_EQ(folderEntries(), std::vector<std::string>{"save.tsav"});
}

TEST_F(SaveManagerTest, RoundTripKeepsEveryValueAndType) {
    {
        auto save = makeManager();
        save->automaticWriting = false;
        save->setAutoSaveExists(true, true);
        save->setAutoSavePath(L"Content/Levels/Pumps_Main.irr", true);
        save->setAutoSaveCheckpoint(L"Content/Levels/Pumps_Main.irr", true);
        save->setAutoSaveExists(false, false);
        save->setAutoSavePath(L"Content/Levels/\u00c9glise \"&<>'.irr", false);
        save->setGameBeaten();
        save->getGroup(SaveManager::Story)->addInt("TieEquipped", 3);
        save->getGroup(SaveManager::Freeplay)->addFloat("Score", 2.5f);
        save->saveTieCollected(0);
        save->saveTieCollected(12);
        save->addUnlockedLevel(L"Content/Levels/A.irr");
        save->addUnlockedLevel(L"Content/Levels/B.irr");
        save->saveLevelLength(L"Content/Levels/A.irr", 61.25f);
        ASSERT_TRUE(save->save());
    }
    bool loaded = false;
    auto save = loadedManager(&loaded);
    EXPECT_TRUE(loaded);
    EXPECT_TRUE(save->getAutoSaveExists(true));
    EXPECT_FALSE(save->getAutoSaveExists(false));
    EXPECT_TRUE(save->getGroup(SaveManager::Freeplay)->existsAttribute("AutoSaveExists"));
    EXPECT_EQ(save->getAutoSavePath(true), L"Content/Levels/Pumps_Main.irr");
    EXPECT_EQ(save->getAutoSaveCheckpoint(true), L"Content/Levels/Pumps_Main.irr");
    EXPECT_EQ(save->getAutoSavePath(false), L"Content/Levels/\u00c9glise \"&<>'.irr");
    EXPECT_TRUE(save->isGameBeaten());
    io::IAttributes* story = save->getGroup(SaveManager::Story);
    EXPECT_EQ(story->getAttributeType("TieEquipped"), io::EAT_INT);
    EXPECT_EQ(story->getAttributeAsInt("TieEquipped"), 3);
    EXPECT_EQ(story->getAttributeType("GameBeaten"), io::EAT_BOOL);
    EXPECT_FLOAT_EQ(save->getGroup(SaveManager::Freeplay)->getAttributeAsFloat("Score"), 2.5f);
    EXPECT_TRUE(save->isTieCollected(0));
    EXPECT_TRUE(save->isTieCollected(12));
    EXPECT_FALSE(save->isTieCollected(11));
    EXPECT_TRUE(save->isLevelUnlocked(L"Content/Levels/B.irr"));
    EXPECT_EQ(save->getGroup(SaveManager::Levels)->getAttributeAsStringW("1"),
              L"Content/Levels/B.irr");
    EXPECT_FLOAT_EQ(save->getBestLevelTime(L"Content/Levels/A.irr"), 61.25f);
}

TEST_F(SaveManagerTest, MissingValuesAnswerTheirDefaults) {
    auto save = makeManager();
    EXPECT_FALSE(save->getAutoSaveExists(true));
    EXPECT_FALSE(save->getAutoSaveExists(false));
    EXPECT_EQ(save->getAutoSavePath(true), L"");
    EXPECT_EQ(save->getAutoSaveCheckpoint(false), L"");
    EXPECT_FALSE(save->isGameBeaten());
    EXPECT_FLOAT_EQ(save->getBestLevelTime(L"Content/Levels/A.irr"), 0.0f);
    EXPECT_FLOAT_EQ(save->getBestStoryTime(), 0.0f);
    EXPECT_FALSE(save->isTieCollected(0));
}

// --- automatic writing and backups ----------------------------------------------------------

// A setter asks for the write; the frame's end (writeRequested) writes the save and a dated
// backup.
TEST_F(SaveManagerTest, SetterWithAutomaticWritingWritesTheSaveAndADatedBackup) {
    auto save = makeManager();
    ASSERT_TRUE(save->automaticWriting); // on from the start
    save->setAutoSaveExists(true, true);
    EXPECT_TRUE(folderEntries().empty());
    EXPECT_TRUE(save->writeRequested());
    EXPECT_EQ(folderEntries(),
              (std::vector<std::string>{"save.tsav", "savebackup_2014-08-27_11-45-16.tsav"}));
    EXPECT_EQ(SaveManager::backupFileName(localMoment(0)), "savebackup_2014-08-27_11-45-16.tsav");

    // The same value again changes nothing and asks for nothing.
    clock = 1;
    save->setAutoSaveExists(true, true);
    EXPECT_FALSE(save->writeRequested());
    EXPECT_EQ(folderEntries().size(), 2u);
    save->setAutoSavePath(L"", true);
    save->setAutoSavePath(L"", true);
    EXPECT_TRUE(save->writeRequested());
    EXPECT_EQ(folderEntries().size(), 3u); // the path was added once
    clock = 2;
    save->saveTieCollected(4);
    save->saveTieCollected(4);
    EXPECT_TRUE(save->writeRequested());
    EXPECT_EQ(folderEntries().size(), 4u);
}

TEST_F(SaveManagerTest, WithoutAutomaticWritingSettersOnlyChangeTheState) {
    auto save = makeManager();
    save->automaticWriting = false;
    save->setAutoSaveExists(true, true);
    save->setAutoSavePath(L"Content/Levels/A.irr", false);
    save->setAutoSaveCheckpoint(L"Content/Levels/A.irr", true);
    save->setGameBeaten();
    save->resetStorySave();
    save->addUnlockedLevel(L"Content/Levels/A.irr");
    save->saveLevelLength(L"Content/Levels/A.irr", 10.0f);
    save->saveTieCollected(1);
    save->submitLevelStats(LevelRunRecord{}, false);
    EXPECT_TRUE(folderEntries().empty());
    // The next write carries it all.
    ASSERT_TRUE(save->save());
    auto reloaded = loadedManager();
    EXPECT_TRUE(reloaded->isTieCollected(1));
    EXPECT_TRUE(reloaded->isLevelUnlocked(L"Content/Levels/A.irr"));
}

TEST_F(SaveManagerTest, KeepsOnlyTheTenNewestBackups) {
    auto save = makeManager();
    // A file of the player's with a similar name is not a backup.
    ASSERT_TRUE(test::writeFileBytes(folder + "/savebackup_mine.tsav", "keep me"));
    ASSERT_TRUE(test::writeFileBytes(folder + "/savebackup_2000-01-01_00-00-00.tsav.bad", "kept"));
    // Names of a backup's length with a letter for a digit or a digit for a separator.
    ASSERT_TRUE(test::writeFileBytes(folder + "/savebackup_2000-01-0x_00-00-00.tsav", "kept"));
    ASSERT_TRUE(test::writeFileBytes(folder + "/savebackup_2000-01-01_00-00600.tsav", "kept"));
    for (int i = 0; i < 13; ++i) {
        clock = i * 61; // a new minute each time
        save->saveTieCollected(i);
        save->writeRequested();
    }
    const std::vector<std::string> backups = save->listBackups();
    ASSERT_EQ(backups.size(), 10u);
    EXPECT_EQ(backups.front(), folder + "/" + SaveManager::backupFileName(localMoment(12 * 61)));
    EXPECT_EQ(backups.back(), folder + "/" + SaveManager::backupFileName(localMoment(3 * 61)));
    EXPECT_FALSE(std::filesystem::exists(folder + "/" + SaveManager::backupFileName(localMoment(2 * 61))));
    EXPECT_EQ(test::readFileBytes(folder + "/savebackup_mine.tsav"), "keep me");
    EXPECT_TRUE(std::filesystem::exists(folder + "/savebackup_2000-01-01_00-00-00.tsav.bad"));
    EXPECT_TRUE(std::filesystem::exists(folder + "/savebackup_2000-01-0x_00-00-00.tsav"));
    EXPECT_TRUE(std::filesystem::exists(folder + "/savebackup_2000-01-01_00-00600.tsav"));
    EXPECT_EQ(folderEntries().size(), 15u); // save, ten backups, the four other files
}

// A text that changes is written at once; the same text again writes nothing. Unknown or
// missing levels are not unlocked.
TEST_F(SaveManagerTest, AChangedTextIsWrittenAndTheSameTextIsNot) {
    auto save = makeManager();
    save->setAutoSavePath(L"Content/Levels/A.irr", true);
    save->setAutoSavePath(L"Content/Levels/B.irr", true);
    save->writeRequested();
    EXPECT_EQ(loadedManager()->getAutoSavePath(true), L"Content/Levels/B.irr");
    save->setAutoSaveCheckpoint(L"One", false);
    save->setAutoSaveCheckpoint(L"Two", false);
    save->writeRequested();
    EXPECT_EQ(loadedManager()->getAutoSaveCheckpoint(false), L"Two");
    std::filesystem::remove(savePath);
    save->setAutoSaveCheckpoint(L"Two", false);
    save->writeRequested();
    EXPECT_FALSE(std::filesystem::exists(savePath)) << "nothing changed, nothing written";
    EXPECT_FALSE(save->isLevelUnlocked(nullptr));
    EXPECT_FALSE(save->addUnlockedLevel(nullptr));
}

TEST_F(SaveManagerTest, TwoWritesInOneSecondShareTheBackup) {
    auto save = makeManager();
    save->saveTieCollected(1);
    save->writeRequested();
    save->saveTieCollected(2);
    save->writeRequested();
    EXPECT_EQ(save->listBackups().size(), 1u);
    // The backup holds the later state.
    std::filesystem::remove(savePath);
    auto reloaded = loadedManager();
    EXPECT_TRUE(reloaded->isTieCollected(2));
}

// --- operations ------------------------------------------------------------------------------------

TEST_F(SaveManagerTest, NegativeTieIDIsRefusedWithAWarningAndZeroIsRecorded) {
    auto save = makeManager();
    save->automaticWriting = false;
    ::testing::internal::CaptureStdout();
    save->saveTieCollected(-1);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Warning: This tie needs a real ID above 0 set in order to be saved!\n");
    EXPECT_EQ(save->getGroup(SaveManager::Ties)->getAttributeCount(), 0u);
    EXPECT_FALSE(save->isTieCollected(-1));
    save->saveTieCollected(0);
    EXPECT_TRUE(save->isTieCollected(0));
    EXPECT_EQ(save->getGroup(SaveManager::Ties)->getAttributeAsInt("0"), 0);
    EXPECT_EQ(save->getGroup(SaveManager::Ties)->getAttributeType("0"), io::EAT_INT);
}

TEST_F(SaveManagerTest, ResetStorySaveKeepsTheEquippedTieAndAllowsStoryTime) {
    auto save = makeManager();
    save->automaticWriting = false;
    io::IAttributes* story = save->getGroup(SaveManager::Story);
    story->addString("TieEquipped", L"Content/Ties/Polka.png");
    save->setAutoSaveExists(true, true);
    save->setAutoSavePath(L"Content/Levels/A.irr", true);
    save->setGameBeaten();
    save->getGroup(SaveManager::Freeplay)->addBool("AutoSaveExists", true);
    save->resetStorySave();
    EXPECT_EQ(story->getAttributeCount(), 2u);
    EXPECT_EQ(story->getAttributeAsStringW("TieEquipped"), L"Content/Ties/Polka.png");
    EXPECT_TRUE(story->getAttributeAsBool("AllowStoryTime"));
    EXPECT_TRUE(save->isStoryTimeAllowed());
    EXPECT_FALSE(save->getAutoSaveExists(true));
    EXPECT_FALSE(save->isGameBeaten());
    EXPECT_TRUE(save->getAutoSaveExists(false)); // free play untouched

    // Without an equipped tie only AllowStoryTime remains; with automatic writing it writes.
    story->clear();
    save->automaticWriting = true;
    save->resetStorySave();
    save->writeRequested();
    EXPECT_EQ(story->getAttributeCount(), 1u);
    EXPECT_FALSE(story->existsAttribute("TieEquipped"));
    EXPECT_TRUE(std::filesystem::exists(savePath));
    EXPECT_EQ(save->listBackups().size(), 1u);
}

TEST_F(SaveManagerTest, UnlockedLevelsRefuseDuplicatesAndCheckpointFiles) {
    auto save = makeManager();
    save->automaticWriting = false;
    EXPECT_TRUE(save->addUnlockedLevel(L"Content/Levels/Church_Main.irr"));
    EXPECT_FALSE(save->addUnlockedLevel(L"content/levels/CHURCH_MAIN.IRR"));
    EXPECT_FALSE(save->addUnlockedLevel(L"checkpoint_story.irr"));
    EXPECT_FALSE(save->addUnlockedLevel(L"/home/p/.local/share/Paddlestone/checkpoint_freeplay.irr"));
    EXPECT_FALSE(save->addUnlockedLevel(L"C:\\Save\\Checkpoint_Story.IRR"));
    EXPECT_FALSE(save->addUnlockedLevel(L"checkpoint_freeplay.irrblvl"));
    EXPECT_FALSE(save->addUnlockedLevel(L""));
    EXPECT_TRUE(save->addUnlockedLevel(L"Content/Levels/checkpoint_story_intro.irr"));
    io::IAttributes* levels = save->getGroup(SaveManager::Levels);
    ASSERT_EQ(levels->getAttributeCount(), 2u);
    EXPECT_STREQ(levels->getAttributeName(0), "0");
    EXPECT_STREQ(levels->getAttributeName(1), "1");
    EXPECT_TRUE(save->isLevelUnlocked(L"CONTENT/LEVELS/church_main.irr"));
    EXPECT_FALSE(save->isLevelUnlocked(L"Content/Levels/Church_Main.ir"));
    EXPECT_FALSE(save->isLevelUnlocked(L"Content\\Levels\\Church_Main.irr"));

    // A save whose numbers have gaps: a new level takes the first free number past the count.
    levels->clear();
    levels->addString("2", "Content/Levels/B.irr");
    levels->addString("3", "Content/Levels/C.irr");
    EXPECT_TRUE(save->addUnlockedLevel(L"Content/Levels/D.irr"));
    ASSERT_EQ(levels->getAttributeCount(), 3u);
    EXPECT_STREQ(levels->getAttributeName(2), "4");
    EXPECT_TRUE(save->isLevelUnlocked(L"Content/Levels/C.irr"));
}

TEST_F(SaveManagerTest, LevelLengthKeepsTheBestTime) {
    auto save = makeManager();
    save->automaticWriting = false;
    const wchar_t* level = L"Content/Levels/A.irr";
    EXPECT_TRUE(save->saveLevelLength(level, 80.0f));
    EXPECT_FALSE(save->saveLevelLength(level, 95.0f));
    EXPECT_FLOAT_EQ(save->getBestLevelTime(level), 80.0f);
    EXPECT_TRUE(save->saveLevelLength(level, 72.5f));
    EXPECT_FLOAT_EQ(save->getBestLevelTime(level), 72.5f);
    EXPECT_FALSE(save->saveLevelLength(level, 0.0f));
    EXPECT_FALSE(save->saveLevelLength(L"Content/Levels/B.irr", std::numeric_limits<f32>::infinity()));
    EXPECT_FLOAT_EQ(save->getBestLevelTime(L"Content/Levels/B.irr"), 0.0f);
    // A stored time that is none (NaN, as a save may hold) shows as none and gives way to a run.
    save->getGroup(SaveManager::LevelLength)->addFloat("Content/Levels/C.irr", std::numeric_limits<f32>::quiet_NaN());
    EXPECT_EQ(save->getBestLevelTime(L"Content/Levels/C.irr"), 0.0f);
    EXPECT_TRUE(save->saveLevelLength(L"Content/Levels/C.irr", 95.0f));
}

// One entry per level however it was started: by its path from the game's folder, or by its
// absolute path as the command line gives it.
TEST_F(SaveManagerTest, ALevelKeepsOneBestTimeHoweverItsPathIsWritten) {
    auto save = makeManager();
    save->automaticWriting = false;
    const std::string here = std::filesystem::current_path().string();
    const std::string outside = std::filesystem::current_path().parent_path().string() + "/Outside.irr";
    const struct {
        std::wstring path;
        f32 seconds;
        bool better;
    } runs[] = {
        {L"Content/Levels/A.irr", 80.0f, true},
        {fromUtf8((here + "/Content/Levels/A.irr").c_str()), 72.5f, true},
        {L"./Content/Levels/A.irr", 75.0f, false},
        {fromUtf8((here + "/Content/../Content/Levels/A.irr").c_str()), 70.0f, true},
        {L"../Outside.irr", 60.0f, true},
        {fromUtf8(outside.c_str()), 65.0f, false},
    };
    for (const auto& run : runs)
        EXPECT_EQ(save->saveLevelLength(run.path.c_str(), run.seconds), run.better) << toUtf8(run.path.c_str());
    io::IAttributes* times = save->getGroup(SaveManager::LevelLength);
    ASSERT_EQ(times->getAttributeCount(), 2u);
    EXPECT_STREQ(times->getAttributeName(0), "Content/Levels/A.irr");
    EXPECT_EQ(times->getAttributeName(1), outside) << "a level outside the game's folder by its absolute path";
    for (const auto& run : runs)
        EXPECT_FLOAT_EQ(save->getBestLevelTime(run.path.c_str()), run.path.find(L"Outside") == std::wstring::npos ? 70.0f : 60.0f)
            << toUtf8(run.path.c_str());
}

// A save of an older game kept a level started by its absolute path apart: the entries are
// folded into the level's one entry as the save is read, the better time staying.
TEST_F(SaveManagerTest, AnOlderSavesSecondNameOfALevelFoldsIntoItsOneEntryKeepingTheBetterTime) {
    const std::string here = std::filesystem::current_path().string();
    const std::string outside = std::filesystem::current_path().parent_path().string() + "/Outside.irr";
    const std::string entries = "<float name=\"Content/Levels/A.irr\" value=\"80.0\"/>"
                                "<float name=\"" + here + "/Content/Levels/A.irr\" value=\"72.5\"/>"
                                "<float name=\"" + here + "/Content/Levels/B.irr\" value=\"50.0\"/>"
                                "<float name=\"Content/Levels/C.irr\" value=\"40.0\"/>"
                                "<float name=\"" + here + "/Content/Levels/C.irr\" value=\"45.0\"/>"
                                "<float name=\"Content/Levels/D.irr\" value=\"0.0\"/>"
                                "<float name=\"" + here + "/./Content/Levels/D.irr\" value=\"33.0\"/>"
                                "<string name=\"" + here + "/Content/Levels/E.irr\" value=\"not a time\"/>"
                                "<float name=\"" + outside + "\" value=\"30.0\"/>";
    std::filesystem::create_directories(folder);
    ASSERT_TRUE(test::writeFileBytes(savePath, "<?xml version=\"1.0\"?>\n<PaddlestoneSave>\n<LevelLength>" + entries +
                                                   "</LevelLength>\n</PaddlestoneSave>\n"));
    const struct {
        std::string name;
        f32 best;
    } kept[] = {
        {"Content/Levels/A.irr", 72.5f}, {"Content/Levels/B.irr", 50.0f}, {"Content/Levels/C.irr", 40.0f},
        {"Content/Levels/D.irr", 33.0f}, {outside, 30.0f},
    };
    for (int round = 0; round < 2; ++round) {
        auto save = loadedManager();
        io::IAttributes* times = save->getGroup(SaveManager::LevelLength);
        EXPECT_EQ(times->getAttributeCount(), 6u) << round;
        for (const auto& entry : kept) {
            EXPECT_FLOAT_EQ(times->getAttributeAsFloat(entry.name.c_str()), entry.best) << entry.name << " " << round;
            const std::string asStarted = entry.name.front() == '/' ? entry.name : here + "/" + entry.name;
            EXPECT_FLOAT_EQ(save->getBestLevelTime(fromUtf8(asStarted.c_str()).c_str()), entry.best) << entry.name;
        }
        EXPECT_EQ(std::wstring(times->getAttributeAsStringW((here + "/Content/Levels/E.irr").c_str()).c_str()), L"not a time")
            << "what is not a time stays as it was";
        // Written and read again, the folded save holds the same.
        ASSERT_TRUE(save->save());
    }
}

// What an older save may hold for one level: times that are none (NaN, infinite, negative), a
// time far below a second, one name twice, names through a link to the level's folder (from
// outside the game's folder, and from inside it to a folder elsewhere), a thousand names. Each level keeps one entry under the game's name of it with its best time,
// written back as it is, and a slower run keeps it; a level first started through the link
// gets no second entry, and its autosave is named as its best time.
TEST_F(SaveManagerTest, AnOlderSavesBestTimesFoldIntoOneEntryALevelAndKeepThroughARun) {
    const std::string game = dir.file("Game");
    const std::string levels = game + "/Content/Levels";
    const std::string link = dir.file("LevelsLink");
    std::filesystem::create_directories(levels);
    for (const char* level : {"A", "B", "C", "D", "E", "F", "G", "g", "H", "N"})
        ASSERT_TRUE(test::writeFileBytes(levels + "/" + level + ".irr", "level"));
    std::filesystem::create_directory_symlink(levels, link);
    const std::string elsewhere = dir.file("Elsewhere");
    std::filesystem::create_directories(elsewhere);
    ASSERT_TRUE(test::writeFileBytes(elsewhere + "/L.irr", "level"));
    std::filesystem::create_directory_symlink(elsewhere, game + "/Content/Linked");
    test::ScopedWorkingDir inGame(game);
    struct Row {
        const char* what;
        std::string name; // the one name kept
        std::vector<std::pair<std::string, std::string>> entries; // as the older save has them
        f32 best;
    };
    std::vector<Row> rows = {
        {"a time and nan", "Content/Levels/A.irr", {{"Content/Levels/A.irr", "2.0"}, {levels + "/A.irr", "nan"}}, 2.0f},
        {"nan and a time", "Content/Levels/B.irr", {{levels + "/B.irr", "nan"}, {link + "/B.irr", "2.0"}}, 2.0f},
        {"a time far below a second", "Content/Levels/C.irr", {{"Content/Levels/C.irr", "1.25"}, {levels + "/C.irr", "1e-30"}}, 1e-30f},
        {"through a link to the folder", "Content/Levels/D.irr", {{"Content/Levels/D.irr", "inf"}, {link + "/D.irr", "3.5"}}, 3.5f},
        {"one name twice, the better second", "Content/Levels/E.irr", {{"Content/Levels/E.irr", "5"}, {"Content/Levels/E.irr", "4"}}, 4.0f},
        {"one name twice, the better first", "Content/Levels/F.irr", {{"Content/Levels/F.irr", "4"}, {"Content/Levels/F.irr", "-1"}}, 4.0f},
        {"letter case names another file", "Content/Levels/G.irr", {{"Content/Levels/G.irr", "7"}}, 7.0f},
        {"letter case names another file", "Content/Levels/g.irr", {{"Content/Levels/g.irr", "6"}}, 6.0f},
        {"a folder linked from the game's", "Content/Linked/L.irr", {{elsewhere + "/L.irr", "3"}, {"Content/Linked/L.irr", "4"}}, 3.0f},
        {"a thousand names", "Content/Levels/H.irr", {{"Content/Levels/H.irr", "50.5"}}, 50.5f},
        {"first started through the link", "Content/Levels/N.irr", {{link + "/N.irr", ""}}, 9.0f},
    };
    for (int k = 0; k < 1000; ++k) {
        std::string dots;
        for (int d = 0; d < k / 2; ++d)
            dots += "./";
        rows[9].entries.push_back({(k % 2 ? link : levels + "/..") + "/" + (k % 2 ? "" : "Levels/") + dots + "H.irr",
                                   std::to_string(60 + k)});
    }
    std::string entries;
    for (const Row& row : rows)
        for (const auto& [name, value] : row.entries)
            if (!value.empty())
                entries += "<float name=\"" + name + "\" value=\"" + value + "\"/>\n";
    std::filesystem::create_directories(folder);
    ASSERT_TRUE(test::writeFileBytes(savePath, "<?xml version=\"1.0\"?>\n<PaddlestoneSave><FreeplaySave><string "
                                               "name=\"AutoSavePath\" value=\"" + link + "/A.irr\"/></FreeplaySave>"
                                               "<LevelLength>\n" + entries + "</LevelLength></PaddlestoneSave>\n"));
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        auto save = loadedManager();
        save->automaticWriting = false;
        if (round == 0) {
            EXPECT_EQ(toUtf8(save->getAutoSavePath(false).c_str()), "Content/Levels/A.irr");
            EXPECT_TRUE(save->saveLevelLength(fromUtf8((link + "/N.irr").c_str()).c_str(), 9.0f));
            EXPECT_FALSE(save->saveLevelLength(L"Content/Levels/N.irr", 9.5f));
        }
        // One line however many names were folded.
        const std::string foldLine = "The save's best times under 1007 more names of 8 levels are kept as one entry a level";
        EXPECT_EQ(contains(loadLog, foldLine), round == 0) << loadLog;
        EXPECT_EQ(std::count(loadLog.begin(), loadLog.end(), '\n'), round == 0 ? 1 : 0) << loadLog;
        io::IAttributes* times = save->getGroup(SaveManager::LevelLength);
        EXPECT_EQ(times->getAttributeCount(), rows.size());
        for (const Row& row : rows) {
            SCOPED_TRACE(row.what);
            const std::string& name = row.name;
            EXPECT_EQ(times->getAttributeAsFloat(name.c_str()), row.best);
            std::vector<std::string> spellings = {name};
            for (std::size_t e = 0; e < row.entries.size() && spellings.size() < 3; ++e)
                if (row.entries[e].first != name)
                    spellings.push_back(row.entries[e].first);
            for (const std::string& spelling : spellings) {
                const std::wstring path = fromUtf8(spelling.c_str());
                EXPECT_EQ(save->getBestLevelTime(path.c_str()), row.best) << spelling;
                save->setAutoSavePath(path.c_str(), false);
                EXPECT_EQ(toUtf8(save->getAutoSavePath(false).c_str()), name) << spelling;
            }
            // A slower run keeps the best time.
            EXPECT_FALSE(save->saveLevelLength(fromUtf8(spellings.back().c_str()).c_str(), 2.0f * row.best + 1.0f));
        }
        ASSERT_TRUE(save->save());
    }
}

TEST_F(SaveManagerTest, StatisticsKeepTheStoryTotalAndTheBestStoryTime) {
    auto save = makeManager();
    save->automaticWriting = false;
    LevelRunRecord run;
    run.levelTime = 100.0f;
    run.storyTime = 400.0f;
    run.countsStoryTime = true;
    run.losses = 2;
    save->submitLevelStats(run, false);
    EXPECT_FLOAT_EQ(save->getStoryTime(), 400.0f);
    EXPECT_FLOAT_EQ(save->getBestStoryTime(), 0.0f);
    run.storyTime = 900.0f;
    save->submitLevelStats(run, true);
    EXPECT_FLOAT_EQ(save->getBestStoryTime(), 900.0f);
    run.storyTime = 1200.0f;
    save->submitLevelStats(run, true);
    EXPECT_FLOAT_EQ(save->getBestStoryTime(), 900.0f); // a slower story keeps the best
    io::IAttributes* stats = save->getGroup(SaveManager::Statistics);
    EXPECT_EQ(stats->getAttributeAsInt("LevelsFinished"), 3);
    EXPECT_EQ(stats->getAttributeAsInt("GamesFinished"), 2);
    EXPECT_EQ(stats->getAttributeAsInt("Losses"), 6);
    EXPECT_FLOAT_EQ(stats->getAttributeAsFloat("PlayTime"), 300.0f);
    // A new story starts its total again but keeps the best story time.
    save->resetStorySave();
    EXPECT_FLOAT_EQ(save->getStoryTime(), 0.0f);
    EXPECT_FLOAT_EQ(save->getBestStoryTime(), 900.0f);
    // A run that does not count story time leaves both alone.
    run.countsStoryTime = false;
    run.storyTime = 10.0f;
    save->submitLevelStats(run, true);
    EXPECT_FLOAT_EQ(save->getBestStoryTime(), 900.0f);
    EXPECT_FLOAT_EQ(save->getStoryTime(), 0.0f);
    // A faster story counts only with a valid time; a best of 0 is no best.
    run.countsStoryTime = true;
    run.storyTime = 500.0f;
    run.validTime = false;
    save->submitLevelStats(run, true);
    EXPECT_FLOAT_EQ(save->getBestStoryTime(), 900.0f);
    run.validTime = true;
    save->submitLevelStats(run, true);
    EXPECT_FLOAT_EQ(save->getBestStoryTime(), 500.0f);
    save->getGroup(SaveManager::Statistics)->setAttribute("BestStoryTime", 0.0f);
    run.storyTime = 700.0f;
    save->submitLevelStats(run, true);
    EXPECT_FLOAT_EQ(save->getBestStoryTime(), 700.0f);
}

TEST_F(SaveManagerTest, DemoModeHidesTheBestTimes) {
    auto save = makeManager();
    save->automaticWriting = false;
    save->saveLevelLength(L"Content/Levels/A.irr", 50.0f);
    LevelRunRecord run;
    run.storyTime = 500.0f;
    run.countsStoryTime = true;
    save->submitLevelStats(run, true);
    demoMode = true;
    EXPECT_FLOAT_EQ(save->getBestLevelTime(L"Content/Levels/A.irr"), 0.0f);
    EXPECT_FLOAT_EQ(save->getBestStoryTime(), 0.0f);
    demoMode = false;
    EXPECT_FLOAT_EQ(save->getBestLevelTime(L"Content/Levels/A.irr"), 50.0f);
    EXPECT_FLOAT_EQ(save->getBestStoryTime(), 500.0f);
}

// --- the player's data survives -------------------------------------------------------------

class SaveRobustnessTest : public SaveManagerTest {
protected:
    // Writes a save holding the tie and, with a later clock, its backup.
    void writeSaveWithTie(int tie, int clockSeconds) {
        auto save = makeManager(clockSeconds);
        save->automaticWriting = false;
        ::testing::internal::CaptureStdout();
        save->load();
        ::testing::internal::GetCapturedStdout();
        save->saveTieCollected(tie);
        ASSERT_TRUE(save->save());
        ASSERT_TRUE(save->writeBackup());
    }
};

TEST_F(SaveRobustnessTest, WriteKilledHalfwayLeavesThePreviousSaveLoadable) {
    auto save = makeManager();
    save->automaticWriting = false;
    save->saveTieCollected(5);
    ASSERT_TRUE(save->save());
    const std::string before = test::readFileBytes(savePath);
    ASSERT_FALSE(before.empty());

    for (int i = 0; i < 50; ++i)
        save->addUnlockedLevel((L"Content/Levels/Level" + std::to_wstring(i) + L".irr").c_str());
    save->saveTieCollected(6);
    // The size of the new file, from a backup written for the purpose.
    ASSERT_TRUE(save->writeBackup());
    const std::string backup = save->listBackups().front();
    const std::size_t newSize = test::readFileBytes(backup).size();
    std::filesystem::remove(backup);
    ASSERT_GT(newSize, 2 * before.size());
    ::testing::internal::CaptureStdout();
    bool written = true;
    {
        // The write fails after half the bytes of the new file, as a full disk or a killed
        // process would leave it.
        test::FileSizeLimit limit(newSize / 2);
        written = save->save();
    }
    const std::string log = ::testing::internal::GetCapturedStdout();
    EXPECT_FALSE(written);
    EXPECT_TRUE(contains(log, "ERROR: ")) << log;
    EXPECT_EQ(test::readFileBytes(savePath), before);
    EXPECT_EQ(folderEntries(), std::vector<std::string>{"save.tsav"}); // no temporary file left

    bool loaded = false;
    auto reloaded = loadedManager(&loaded);
    EXPECT_TRUE(loaded);
    EXPECT_TRUE(reloaded->isTieCollected(5));
    EXPECT_FALSE(reloaded->isTieCollected(6));
}

TEST_F(SaveRobustnessTest, TemporaryFileOfAKilledWriteIsIgnored) {
    writeSaveWithTie(3, 0);
    const std::string whole = test::readFileBytes(savePath);
    ASSERT_TRUE(test::writeFileBytes(savePath + ".tmp.Ab12Cd", whole.substr(0, whole.size() / 2)));
    bool loaded = false;
    auto save = loadedManager(&loaded);
    EXPECT_TRUE(loaded);
    EXPECT_TRUE(save->isTieCollected(3));
    EXPECT_FALSE(contains(loadLog, "ERROR"));
}

struct BrokenSave {
    const char* what;
    std::string bytes; // empty: cut the real save in half
    const char* reason = nullptr; // what the log says of it
};

void PrintTo(const BrokenSave& broken, std::ostream* out) {
    *out << broken.what;
}

class UnreadableSaveTest : public SaveRobustnessTest,
                           public ::testing::WithParamInterface<BrokenSave> {};

TEST_P(UnreadableSaveTest, IsKeptAsideAndTheNewestReadableBackupIsLoaded) {
    writeSaveWithTie(1, 0);    // oldest backup
    writeSaveWithTie(2, 60);   // the backup to be loaded
    writeSaveWithTie(3, 120);  // the newest backup, which is broken below
    const std::vector<std::string> backups = makeManager()->listBackups();
    ASSERT_EQ(backups.size(), 3u);
    const std::string whole = test::readFileBytes(savePath);
    ASSERT_TRUE(test::writeFileBytes(backups[0], whole.substr(0, 40)));
    const std::string broken =
        GetParam().bytes.empty() ? whole.substr(0, whole.size() / 2) : GetParam().bytes;
    ASSERT_TRUE(test::writeFileBytes(savePath, broken));

    bool loaded = false;
    auto save = loadedManager(&loaded);
    EXPECT_TRUE(loaded);
    EXPECT_TRUE(save->isTieCollected(2)) << loadLog;
    EXPECT_FALSE(save->isTieCollected(3));
    // The unreadable file is kept as it was, and the log says so.
    EXPECT_FALSE(std::filesystem::exists(savePath));
    EXPECT_EQ(test::readFileBytes(savePath + ".bad"), broken);
    // The reason is the save file's own, not that of a backup read after it.
    EXPECT_TRUE(contains(loadLog, "ERROR: The save file \"" + savePath + "\" could not be read " +
                                      GetParam().reason))
        << loadLog;
    EXPECT_TRUE(contains(loadLog, "kept aside as \"" + savePath + ".bad\"")) << loadLog;
    EXPECT_TRUE(contains(loadLog, "Loaded the save from its backup \"" + backups[1] + "\"."))
        << loadLog;

    // The next write puts a whole save back in place.
    save->saveTieCollected(9);
    save->writeRequested();
    EXPECT_TRUE(std::filesystem::exists(savePath));
    auto reloaded = loadedManager();
    EXPECT_TRUE(reloaded->isTieCollected(2));
    EXPECT_TRUE(reloaded->isTieCollected(9));
}

INSTANTIATE_TEST_SUITE_P(
    BrokenFiles, UnreadableSaveTest,
    ::testing::Values(BrokenSave{"Truncated", "", "(it ends early)"},
                      BrokenSave{"OneByte", "x", "(it is not a save file)"},
                      BrokenSave{"Garbage", "\x01\x02garbage \xff\xfe<<>>&&", "(it is not a save file)"},
                      BrokenSave{"OtherXml", "<?xml version=\"1.0\"?><Game><int name=\"a\" value=\"1\"/></Game>",
                                 "(it is not a save file)"},
                      BrokenSave{"Unclosed", "<PaddlestoneSave><Ties><int name=\"3\" value=\"3\"/>", "(it ends early)"}),
    [](const ::testing::TestParamInfo<BrokenSave>& info) { return std::string(info.param.what); });

// Backups written while the clock ran ahead (dated and modified in 2099) count as the oldest:
// the backups written since are kept and loaded first. Without them the newest write wins.
TEST_F(SaveRobustnessTest, BackupsFromAClockThatRanAheadCountAsTheOldest) {
    for (const bool aheadPresent : {false, true}) {
        SCOPED_TRACE(aheadPresent);
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        std::vector<std::string> ahead;
        if (aheadPresent) {
            writeSaveWithTie(99, 0);
            const std::string old = test::readFileBytes(savePath);
            std::filesystem::remove_all(folder);
            std::filesystem::create_directories(folder);
            std::tm t{};
            t.tm_year = 2099 - 1900;
            t.tm_mday = 1;
            t.tm_isdst = -1;
            for (int i = 0; i < SaveManager::keptBackupCount; ++i) {
                t.tm_sec = i;
                const std::time_t when = std::mktime(&t);
                ahead.push_back(folder + "/" + SaveManager::backupFileName(when));
                ASSERT_TRUE(test::writeFileBytes(ahead.back(), old));
                std::filesystem::last_write_time(
                    ahead.back(), std::filesystem::file_time_type::clock::now() + std::chrono::hours(24 * 365 * 70));
            }
            ASSERT_TRUE(makeManager()->save()); // a save of its own, without that tie
        }
        writeSaveWithTie(1, 0);
        writeSaveWithTie(2, 60); // yesterday's progress, as it were
        const std::vector<std::string> backups = makeManager()->listBackups();
        ASSERT_EQ(backups.size(), aheadPresent ? 10u : 2u);
        EXPECT_EQ(backups[0], folder + "/" + SaveManager::backupFileName(localMoment(60)));
        EXPECT_EQ(backups[1], folder + "/" + SaveManager::backupFileName(localMoment(0)));
        if (aheadPresent) {
            EXPECT_EQ(backups.back(), ahead[2]) << "the two oldest of those ahead went";
            EXPECT_FALSE(std::filesystem::exists(ahead[0]));
        }
        ASSERT_TRUE(test::writeFileBytes(savePath, "damaged"));
        auto save = loadedManager();
        EXPECT_TRUE(save->isTieCollected(2)) << loadLog;
        EXPECT_FALSE(save->isTieCollected(99)) << loadLog;
    }
}

// Which backup is the newest, with the save cut: the one written last by its sequence number,
// whatever its name or file time say (a clock that ran ahead named one for 2099; a copied
// folder gives all one time). Backups without a number (an older game's) come after, by file
// time: a stamp a second or two past the clock is the present, a minute ahead a clock that
// ran ahead. The next write is the newest backup, above an unreadable one too.
TEST_F(SaveRobustnessTest, TheNewestBackupIsTheOneWrittenLast) {
    const std::time_t now = std::time(nullptr);
    std::tm future{};
    future.tm_year = 2099 - 1900;
    future.tm_mday = 1;
    future.tm_isdst = -1;
    const std::string named2099 = SaveManager::backupFileName(std::mktime(&future));
    const std::string yesterday = SaveManager::backupFileName(now - 24 * 3600);
    struct Backup {
        std::string name;
        const char* sequence; // null: none
        std::time_t modified; // seconds from now
        int tie;              // the progress it holds
        bool cut = false;
    };
    const struct {
        const char* what;
        std::vector<Backup> backups;
        int loadedTie;
    } rows[] = {
        {"one file time, 2099 written first", {{named2099, "1", -3600, 1}, {yesterday, "2", -3600, 49}}, 49},
        {"the file times say otherwise", {{named2099, "1", -3600, 1}, {yesterday, "2", -7200, 49}}, 49},
        {"an older game's backup without a number", {{named2099, nullptr, -3600, 1}, {yesterday, "1", -7200, 49}}, 49},
        {"a number that is not one counts as none", {{named2099, "3x", -3600, 1}, {yesterday, "2", -7200, 49}}, 49},
        {"without numbers the newer file", {{named2099, nullptr, -7200, 1}, {yesterday, nullptr, -3600, 49}}, 49},
        {"without numbers a stamp just past the clock",
         {{named2099, nullptr, -3600, 1}, {yesterday, nullptr, SaveManager::aheadToleranceSeconds, 49}}, 49},
        {"without numbers a minute ahead", {{named2099, nullptr, -3600, 49}, {yesterday, nullptr, 60, 1}}, 49},
        {"the highest number cannot be read", {{named2099, "5", -3600, 1, true}, {yesterday, "2", -3600, 49}}, 49},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        ASSERT_TRUE(test::writeFileBytes(savePath, "<?xml version=\"1.0\"?>\n<PaddlestoneSave>\n<Ties><int name=\"50\""));
        for (const Backup& backup : row.backups) {
            const std::string path = folder + "/" + backup.name;
            const std::string tie = std::to_string(backup.tie);
            const std::string text =
                "<?xml version=\"1.0\"?>\n<PaddlestoneSave" +
                (backup.sequence ? " Sequence=\"" + std::string(backup.sequence) + "\"" : std::string()) +
                ">\n<Ties><int name=\"" + tie + "\" value=\"" + tie + "\"/></Ties>\n</PaddlestoneSave>\n";
            ASSERT_TRUE(test::writeFileBytes(path, backup.cut ? text.substr(0, text.size() / 2) : text));
            const ::utimbuf times{now + backup.modified, now + backup.modified};
            ASSERT_EQ(::utime(path.c_str(), &times), 0);
        }
        auto save = loadedManager();
        for (const Backup& backup : row.backups)
            EXPECT_EQ(save->isTieCollected(backup.tie), backup.tie == row.loadedTie) << backup.tie << loadLog;
        // The next write, its folder copied again: the newest by its number alone.
        save->saveTieCollected(100);
        ASSERT_TRUE(save->writeRequested());
        const std::string written = folder + "/" + SaveManager::backupFileName(localMoment(0));
        const ::utimbuf copied{now - 7200, now - 7200};
        ASSERT_EQ(::utime(written.c_str(), &copied), 0);
        EXPECT_EQ(save->listBackups().front(), written);
    }
}

TEST_F(SaveRobustnessTest, EmptySaveFileIsUnreadable) {
    writeSaveWithTie(2, 0);
    ASSERT_TRUE(test::writeFileBytes(savePath, ""));
    bool loaded = false;
    auto save = loadedManager(&loaded);
    EXPECT_TRUE(loaded);
    EXPECT_TRUE(save->isTieCollected(2));
    EXPECT_TRUE(contains(loadLog, "(it is empty)")) << loadLog;
    EXPECT_TRUE(std::filesystem::exists(savePath + ".bad"));
}

// A save that is a folder or a link to nothing cannot be read: the log says why, it is kept
// aside and the backup loads.
TEST_F(SaveRobustnessTest, ASaveThatIsAFolderOrALinkToNothingIsKeptAside) {
    const struct {
        const char* what;
        std::function<void(const std::string&)> make;
        const char* reason;
    } rows[] = {
        {"folder", [](const std::string& path) { std::filesystem::create_directory(path); },
         "(it is a folder, not a file)"},
        {"link", [](const std::string& path) { std::filesystem::create_symlink("nowhere.tsav", path); },
         "(it cannot be opened: No such file or directory)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::filesystem::remove_all(folder);
        writeSaveWithTie(2, 0);
        std::filesystem::remove(savePath);
        row.make(savePath);
        bool loaded = false;
        auto save = loadedManager(&loaded);
        EXPECT_TRUE(loaded);
        EXPECT_TRUE(save->isTieCollected(2));
        EXPECT_TRUE(contains(loadLog, std::string("could not be read ") + row.reason)) << loadLog;
        EXPECT_TRUE(std::filesystem::is_symlink(savePath + ".bad") ||
                    std::filesystem::is_directory(savePath + ".bad"));
    }
    EXPECT_STREQ(SaveManager::groupName(SaveManager::Story), "Save");
    EXPECT_STREQ(SaveManager::groupName(SaveManager::Statistics), "Statistics");
    EXPECT_STREQ(SaveManager::groupName(SaveManager::GroupCount), "");
}

TEST_F(SaveRobustnessTest, NoReadableSaveAtAllStartsANewOne) {
    std::filesystem::create_directories(folder);
    ASSERT_TRUE(test::writeFileBytes(savePath, "not a save"));
    ASSERT_TRUE(test::writeFileBytes(folder + "/" + SaveManager::backupFileName(localMoment()), ""));
    bool loaded = true;
    auto save = loadedManager(&loaded);
    EXPECT_FALSE(loaded);
    EXPECT_TRUE(contains(loadLog, "Starting a new save.")) << loadLog;
    for (int g = 0; g < SaveManager::GroupCount; ++g)
        EXPECT_EQ(save->getGroup(static_cast<SaveManager::Group>(g))->getAttributeCount(), 0u);
    EXPECT_EQ(test::readFileBytes(savePath + ".bad"), "not a save");
    // The new save can be written.
    save->saveTieCollected(1);
    save->writeRequested();
    EXPECT_TRUE(loadedManager()->isTieCollected(1));
}

TEST_F(SaveRobustnessTest, SaveThatCannotBeKeptAsideIsNeverWrittenOver) {
    writeSaveWithTie(2, 0);
    ASSERT_TRUE(test::writeFileBytes(savePath, "not a save"));
    // A folder that is not empty under the kept-aside name makes the rename fail.
    std::filesystem::create_directory(savePath + ".bad");
    ASSERT_TRUE(test::writeFileBytes(savePath + ".bad/keep", "x"));

    bool loaded = false;
    auto save = loadedManager(&loaded);
    EXPECT_TRUE(loaded);
    EXPECT_TRUE(save->isTieCollected(2)) << "from its backup";
    EXPECT_TRUE(contains(loadLog, "could not be kept aside")) << loadLog;
    ::testing::internal::CaptureStdout();
    save->saveTieCollected(9);
    EXPECT_FALSE(save->writeRequested());
    EXPECT_FALSE(save->save());
    const std::string log = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(contains(log, "ERROR: Save not written")) << log;
    EXPECT_EQ(test::readFileBytes(savePath), "not a save");
}

TEST_F(SaveRobustnessTest, NoFilesAtAllStartANewSave) {
    bool loaded = true;
    auto save = loadedManager(&loaded);
    EXPECT_FALSE(loaded);
    EXPECT_TRUE(contains(loadLog, "No save file")) << loadLog;
    EXPECT_FALSE(contains(loadLog, "ERROR")) << loadLog;
    EXPECT_TRUE(folderEntries().empty());
}

TEST_F(SaveRobustnessTest, MissingSaveWithBackupsLoadsTheNewestBackup) {
    writeSaveWithTie(4, 0);
    std::filesystem::remove(savePath);
    bool loaded = false;
    auto save = loadedManager(&loaded);
    EXPECT_TRUE(loaded);
    EXPECT_TRUE(save->isTieCollected(4));
}

TEST_F(SaveRobustnessTest, MalformedEntriesAreLeftOutOfAWholeFile) {
    std::filesystem::create_directories(folder);
    ASSERT_TRUE(test::writeFileBytes(
        savePath, "<?xml version=\"1.0\"?>\n<PaddlestoneSave>\n"
                  "<Save><bool name=\"AutoSaveExists\" value=\"true\"/><int value=\"3\"/>"
                  "<vector3d name=\"V\" value=\"1, 2, 3\"/></Save>\n"
                  "<FreeplaySave><bool name=\"AutoSaveExists\" value=\"yes\"/></FreeplaySave>\n"
                  "<Unknown><int name=\"x\" value=\"1\"/></Unknown>\n"
                  "<Ties><int name=\"8\" value=\"8\"/><int name=\"8\" value=\"9\"/></Ties>\n"
                  "</PaddlestoneSave>\n"));
    bool loaded = false;
    auto save = loadedManager(&loaded);
    EXPECT_TRUE(loaded);
    EXPECT_TRUE(save->getAutoSaveExists(true));
    EXPECT_FALSE(save->getAutoSaveExists(false)) << "only \"true\" is true";
    EXPECT_EQ(save->getGroup(SaveManager::Story)->getAttributeCount(), 1u);
    EXPECT_EQ(save->getGroup(SaveManager::Ties)->getAttributeAsInt("8"), 8);
    EXPECT_TRUE(contains(loadLog, "Warning: The save file")) << loadLog;
    EXPECT_TRUE(std::filesystem::exists(savePath));
}

// A group written as one empty element holds nothing and takes nothing from the groups
// after it.
TEST_F(SaveRobustnessTest, AnEmptyGroupElementLeavesTheNextGroupWhole) {
    std::filesystem::create_directories(folder);
    ASSERT_TRUE(test::writeFileBytes(
        savePath, "<?xml version=\"1.0\"?>\n<PaddlestoneSave>\n<Save/>\n"
                  "<Ties><int name=\"3\" value=\"3\"/></Ties>\n<Levels />\n"
                  "<Statistics><int name=\"Losses\" value=\"2\"/></Statistics>\n</PaddlestoneSave>\n"));
    bool loaded = false;
    auto save = loadedManager(&loaded);
    EXPECT_TRUE(loaded);
    EXPECT_TRUE(save->isTieCollected(3));
    EXPECT_EQ(save->getGroup(SaveManager::Story)->getAttributeCount(), 0u);
    EXPECT_EQ(save->getGroup(SaveManager::Statistics)->getAttributeAsInt("Losses"), 2);
}

// A save that would not read back (larger than a save can be) is not put in place: the file
// before it stays.
TEST_F(SaveRobustnessTest, ASaveThatWouldNotReadBackIsNotPutInPlace) {
    writeSaveWithTie(1, 0);
    auto save = loadedManager();
    save->automaticWriting = false;
    save->getGroup(SaveManager::Levels)->addString("Huge", std::string(9 * 1024 * 1024, 'x').c_str());
    ::testing::internal::CaptureStdout();
    const bool written = save->save();
    const std::string log = ::testing::internal::GetCapturedStdout();
    EXPECT_FALSE(written);
    EXPECT_TRUE(contains(log, "(it did not read back whole); the old file is kept.")) << log;
    auto reloaded = loadedManager();
    EXPECT_TRUE(reloaded->isTieCollected(1));
    EXPECT_FALSE(reloaded->getGroup(SaveManager::Levels)->existsAttribute("Huge"));
}

TEST_F(SaveRobustnessTest, BackupWriteThatFailsKeepsTheOlderBackups) {
    writeSaveWithTie(1, 0);
    auto save = makeManager(60);
    ::testing::internal::CaptureStdout();
    save->load();
    ::testing::internal::GetCapturedStdout();
    save->automaticWriting = false;
    for (int i = 0; i < 50; ++i)
        save->addUnlockedLevel((L"Content/Levels/Level" + std::to_wstring(i) + L".irr").c_str());
    ::testing::internal::CaptureStdout();
    bool written = true;
    {
        test::FileSizeLimit limit(test::readFileBytes(savePath).size() + 100);
        written = save->writeBackup();
    }
    ::testing::internal::GetCapturedStdout();
    EXPECT_FALSE(written);
    EXPECT_EQ(save->listBackups(),
              std::vector<std::string>{folder + "/" + SaveManager::backupFileName(localMoment(0))});
}

// A save folder that cannot be written (full, or a file where it goes) fails each write the
// same way: the save and its backups log one line each, and the round's end counts the rest.
TEST_F(SaveRobustnessTest, WritesThatFailAlikeLogOneLineEachAndACount) {
    for (const bool full : {true, false}) {
        SCOPED_TRACE(full);
        std::filesystem::remove_all(folder);
        if (!full) {
            ASSERT_TRUE(test::writeFileBytes(folder, "a file where the folder goes"));
        }
        auto save = makeManager();
        save->automaticWriting = false;
        // A save larger than the disk takes (the log captured here fits).
        for (int i = 0; i < 50; ++i)
            save->addUnlockedLevel((L"Content/Levels/Level" + std::to_wstring(i) + L".irr").c_str());
        forgetRepeatedLogLines();
        ::testing::internal::CaptureStdout();
        {
            std::optional<test::FileSizeLimit> limit;
            if (full)
                limit.emplace(2048);
            for (int i = 0; i < 3; ++i, ++clock) {
                save->requestWrite();
                EXPECT_FALSE(save->writeRequested());
            }
        }
        endRepeatedLogRound();
        std::istringstream lines(::testing::internal::GetCapturedStdout());
        int first = 0, counted = 0;
        for (std::string line; std::getline(lines, line);) {
            first += line.rfind("ERROR: Could not write the save", 0) == 0 ? 1 : 0;
            counted += line.rfind("Repeated 2 more times: ERROR: Could not write the save", 0) == 0 ? 1 : 0;
        }
        EXPECT_EQ(first, 2);
        EXPECT_EQ(counted, 2);
    }
}

// A save or backup whose file cannot even be opened (a plain file stands where the folder
// goes) is reported as not written; the same manager writes both once the folder can be made.
TEST_F(SaveRobustnessTest, SaveAndBackupThatCannotBeOpenedAreReportedAsNotWritten) {
    for (const bool blocked : {false, true}) {
        std::filesystem::remove_all(folder);
        if (blocked) {
            ASSERT_TRUE(test::writeFileBytes(folder, "a file where the folder goes"));
        }
        auto save = loadedManager();
        save->automaticWriting = false;
        ::testing::internal::CaptureStdout();
        const bool saved = save->save();
        const bool backedUp = save->writeBackup();
        ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(saved, !blocked) << blocked;
        EXPECT_EQ(backedUp, !blocked) << blocked;
        EXPECT_EQ(std::filesystem::is_directory(folder), !blocked) << blocked;
    }
}

} // namespace
