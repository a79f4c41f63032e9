// User levels: records from archives with and without settings, their order, the refusal of
// damaged and hostile archives, mounting for play, and the level select menu's rows,
// deletion question and folder watch.
#include "../gui/GuiFixture.h"
#include "WorkshopZip.h"

#include "core/FileChecks.h"
#include "core/Globals.h"
#include "gui/GUIDeleteRow.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/GUIScreen.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "gui/fonts/CGUITTFont.h"
#include "gui/fonts/FontCache.h"
#include "level/LevelEvents.h"
#include "level/LevelManager.h"
#include "screens/ScreenManager.h"
#include "screens/levels/GUILevelSelectScreen.h"
#include "screens/levels/WorkshopLevels.h"
#include "screens/menus/GUIDialogScreen.h"
#include "screens/menus/GUIMainScreen.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace irr;
using namespace workshoptest;

namespace {

class WorkshopTest : public guitest::GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        const char* previous = std::getenv("XDG_DATA_HOME");
        keptDataHome = previous ? previous : "";
        hadDataHome = previous != nullptr;
        ::setenv("XDG_DATA_HOME", data.path().c_str(), 1);
        folder = workshopFolder();
        std::filesystem::create_directories(folder);
        useLanguages();
        screenManager->createScreens();
    }
    void TearDown() override {
        unmountWorkshopArchives();
        clearWorkshopLevels();
        if (hadDataHome)
            ::setenv("XDG_DATA_HOME", keptDataHome.c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
        GuiFixture::TearDown();
    }
    // Good.zip with settings and a level, a cut archive, an escaping one, an absolute one
    // and a text file.
    void fillFolder() {
        const std::string settings =
            "<?xml version=\"1.0\"?>\n<WorkshopSettings>\n<ZipFilePath>Other.zip</ZipFilePath>\n"
            "<WorkingDirectory>Content\\Workshop\\Good\\</WorkingDirectory>\n"
            "<LevelFilePath>Content\\Workshop\\Good\\Good_Main.irr</LevelFilePath>\n"
            "<Title>Good level</Title>\n</WorkshopSettings>\n";
        writeBytes(folder + "Good.zip", makeZip({{"Good/WorkshopSettings.xml", settings},
                                                 {"Good/Good_Main.irr", emptyLevel()}}));
        const std::string whole = makeZip({{"Cut/Cut_Main.irr", emptyLevel()}});
        writeBytes(folder + "Cut.zip", whole.substr(0, whole.size() / 2));
        writeBytes(folder + "Escape.zip", makeZip({{"../../Escape_Main.irr", emptyLevel()}}));
        writeBytes(folder + "Absolute.zip", makeZip({{"/tmp/Absolute_Main.irr", emptyLevel()}}));
        writeBytes(folder + "Notes.txt", "not a level");
    }

    test::TempDir data;
    std::string folder;
    std::string keptDataHome;
    bool hadDataHome = false;
};

TEST_F(WorkshopTest, AnArchiveWithoutSettingsIsNamedByItsFile) {
    const WorkshopLevelRecord record = defaultWorkshopRecord("Castle.zip");
    EXPECT_EQ(core::stringc(record.title), "Castle");
    EXPECT_EQ(core::stringc(record.levelFilePath), "Content/Workshop/Castle/Castle_Main.irr");
    EXPECT_EQ(core::stringc(record.imageFilePath), "Content/Workshop/Castle/WorkshopPreview.jpg");
    EXPECT_EQ(core::stringc(record.workingDirectory), "Content/Workshop/Castle/");
    EXPECT_EQ(core::stringc(record.zipPath), (folder + "Castle.zip").c_str());
}

TEST_F(WorkshopTest, RecordsSortByTheFirstLetterOfTheirTitles) {
    clearWorkshopLevels();
    for (const wchar_t* title : {L"beta", L"Alpha", L"alpine", L""}) {
        WorkshopLevelRecord record;
        record.title = title;
        appendWorkshopLevel(record);
    }
    EXPECT_FALSE(WorkshopLevelsSorted);
    sortWorkshopLevels();
    EXPECT_TRUE(WorkshopLevelsSorted);
    EXPECT_EQ(WorkshopLevels[2].title, core::stringw(L"beta"));
    EXPECT_NE(WorkshopLevels[0].title, core::stringw(L"beta"));
    EXPECT_NE(WorkshopLevels[1].title, core::stringw(L"beta"));
    // A capital letter counts as its small one on either side of the comparison.
    clearWorkshopLevels();
    for (const wchar_t* title : {L"Charlie", L"bravo"}) {
        WorkshopLevelRecord record;
        record.title = title;
        appendWorkshopLevel(record);
    }
    sortWorkshopLevels();
    EXPECT_EQ(WorkshopLevels[0].title, core::stringw(L"bravo"));
    // An emptied list counts as sorted.
    appendWorkshopLevel(WorkshopLevelRecord());
    ASSERT_FALSE(WorkshopLevelsSorted);
    clearWorkshopLevels();
    EXPECT_TRUE(WorkshopLevels.empty());
    EXPECT_TRUE(WorkshopLevelsSorted);
}

// Only A to Z count as their small letters: the letters at the ends of the range do, the
// signs just outside it do not.
TEST_F(WorkshopTest, OnlyCapitalsAToZCountAsTheirSmallLetters) {
    const struct {
        const wchar_t* first;
        const wchar_t* second;
        bool before;
    } rows[] = {{L"A", L"_", false}, {L"Z", L"_", false}, {L"@", L"_", true}, {L"[", L"_", true},
                {L"a", L"B", true},  {L"B", L"a", false}, {L"", L"x", false}, {L"x", L"", false}};
    for (const auto& row : rows) {
        WorkshopLevelRecord first, second;
        first.title = row.first;
        second.title = row.second;
        EXPECT_EQ(first < second, row.before) << std::wstring(row.first) << " " << std::wstring(row.second);
    }
}

TEST_F(WorkshopTest, OnlyTheSoundArchiveIsListedAndItsFilesAreFound) {
    fillFolder();
    loadWorkshopLevels();
    ASSERT_EQ(WorkshopLevels.size(), 1u);
    const WorkshopLevelRecord& good = WorkshopLevels[0];
    EXPECT_EQ(core::stringc(good.title), "Good level");
    EXPECT_EQ(core::stringc(good.levelFilePath), "Content/Workshop/Good/Good_Main.irr");
    EXPECT_EQ(core::stringc(good.zipPath), (folder + "Good.zip").c_str());
    EXPECT_EQ(core::stringc(good.zipName), "Good.zip");
    ASSERT_NE(good.archive, nullptr);
    EXPECT_TRUE(device->getFileSystem()->existFile("Content/Workshop/Good/Good_Main.irr"));
    for (const char* refused : {"Cut.zip", "Escape.zip", "Absolute.zip"})
        EXPECT_TRUE(log.contains(std::string("Refused the user level archive \"") + folder + refused)) << refused;
    EXPECT_EQ(getWorkshopLevelTitle(L"content/workshop/good/GOOD_MAIN.IRR"), core::stringw(L"Good level"));
    // Playing another level unmounts it; the menu's level keeps its archive and says so.
    // Only the user level confines reads to the game's content; a built-in level lifts it.
    const std::string outside = folder + "Good.zip";
    maintainWorkshopZip(L"content/workshop/good/good_main.irr"); // the path in any case of A-Z
    EXPECT_NE(WorkshopLevels[0].archive, nullptr);
    EXPECT_TRUE(log.contains("Maintaining zip archive for level: content/workshop/good/good_main.irr"));
    EXPECT_TRUE(isOutsideConfinedFolders(outside));
    maintainWorkshopZip(L"Content/Levels/Other.irr");
    EXPECT_EQ(WorkshopLevels[0].archive, nullptr);
    EXPECT_FALSE(device->getFileSystem()->existFile("Content/Workshop/Good/Good_Main.irr"));
    EXPECT_FALSE(isOutsideConfinedFolders(outside));
}

TEST_F(WorkshopTest, ABuiltInLevelReadsFreelyWhenNoUserLevelIsListed) {
    ASSERT_TRUE(WorkshopLevels.empty());
    confineReadsToFolders({"Content"});
    maintainWorkshopZip(L"Content/Levels/Other.irr");
    EXPECT_FALSE(isOutsideConfinedFolders(folder + "Good.zip"));
}

TEST_F(WorkshopTest, HugeEntriesAndUnknownMethodsAreRefused) {
    std::string huge = makeZip({{"Huge_Main.irr", "x"}});
    // The declared unpacked size (offset 22) claims a gigabyte; the method (offset 8) is 12.
    std::string packed = huge;
    huge[22] = huge[23] = huge[24] = 0;
    huge[25] = 0x40;
    packed[8] = 12;
    writeBytes(folder + "Huge.zip", huge);
    writeBytes(folder + "Packed.zip", packed);
    writeBytes(folder + "Noise.zip", std::string(200, 'x'));
    EXPECT_FALSE(checkWorkshopArchive(folder + "Huge.zip"));
    EXPECT_FALSE(checkWorkshopArchive(folder + "Packed.zip"));
    EXPECT_FALSE(checkWorkshopArchive(folder + "Noise.zip"));
    loadWorkshopLevels();
    EXPECT_TRUE(WorkshopLevels.empty());
}

// Each damage of an archive is refused and each sound variant accepted: the check reads the
// entries' own headers and the directory's end record.
TEST_F(WorkshopTest, EachDamageOfAnArchiveIsRefused) {
    const auto set32 = [](std::string bytes, std::size_t at, std::uint32_t value) {
        for (int k = 0; k < 4; ++k)
            bytes[at + static_cast<std::size_t>(k)] = static_cast<char>((value >> (8 * k)) & 0xFF);
        return bytes;
    };
    const std::string plain = makeZip({{"Plain/Plain_Main.irr", emptyLevel()}});
    // A deflated entry's declared unpacked size may reach 256 MB, not more.
    std::string deflated = plain;
    deflated[8] = 8;
    std::string afterData = plain;
    afterData[6] = 0x08;
    std::string moreInDirectory = plain;
    moreInDirectory[moreInDirectory.size() - 22 + 10] = 2;
    std::string encrypted = plain;
    encrypted[6] = 0x01;
    const std::size_t directoryAt = 30 + std::string("Plain/Plain_Main.irr").size() + emptyLevel().size();
    const std::string entry = "the entry \"Plain/Plain_Main.irr\" ";
    // An entry with 4 bytes of extra field after its name.
    std::string extra = plain;
    extra[28] = 4;
    extra.insert(30 + std::string("Plain/Plain_Main.irr").size(), std::string(4, '\0'));
    const struct {
        const char* what;
        std::string bytes;
        std::string reason; // empty: accepted
    } rows[] = {
        {"a sound archive", plain, ""},
        {"an entry with an extra field", extra, ""},
        {"a step up inside a name", makeZip({{"Deep/../../Up_Main.irr", emptyLevel()}}),
         "the entry \"Deep/../../Up_Main.irr\" points outside the archive"},
        {"a name part that only starts with dots", makeZip({{"Deep/..x/Dots_Main.irr", emptyLevel()}}), ""},
        {"sizes kept after the data", afterData, entry + "keeps its sizes after its data"},
        {"a stored entry with two sizes", set32(plain, 22, static_cast<std::uint32_t>(emptyLevel().size()) + 1),
         entry + "has two sizes"},
        {"exactly 256 MB unpacked", set32(deflated, 22, 256u * 1024 * 1024), ""},
        {"a byte more than 256 MB unpacked", set32(deflated, 22, 256u * 1024 * 1024 + 1),
         entry + "unpacks to more than 256 MB"},
        {"a directory counting an entry more", moreInDirectory, "its directory does not match its entries"},
        {"an encrypted entry", encrypted, entry + "is encrypted"},
        {"a name cut short", plain.substr(0, 40), "an entry's header is cut short"},
        {"a whole name and nothing after it", plain.substr(0, 50), entry + "runs past the end of the file"},
        {"a packed size past the end", set32(deflated, 18, 0x7fffffffu), entry + "runs past the end of the file"},
        {"damaged bytes after the entries", set32(plain, directoryAt, 0), "its entries end in damaged bytes"},
        {"no end record", set32(plain, plain.size() - 22, 0), "its directory is missing"},
        {"plain text", std::string(64, 'x'), "it is not a zip archive"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        writeBytes(folder + "Row.zip", row.bytes);
        log.lines.clear();
        EXPECT_EQ(checkWorkshopArchive(folder + "Row.zip"), row.reason.empty());
        if (!row.reason.empty()) {
            EXPECT_TRUE(log.contains("Refused the user level archive \"" + folder + "Row.zip\": " + row.reason + "."));
        }
    }
    EXPECT_FALSE(checkWorkshopArchive(folder + "Missing.zip"));
    EXPECT_TRUE(log.contains("Missing.zip\": it cannot be read."));
    // An archive may be 1 GB, not a byte more (sparse files: nothing is written).
    for (const std::uint64_t size : {1024ull * 1024 * 1024, 1024ull * 1024 * 1024 + 1}) {
        SCOPED_TRACE(size);
        const std::string big = folder + "Big.zip";
        writeBytes(big, "");
        std::filesystem::resize_file(big, size);
        log.lines.clear();
        EXPECT_FALSE(checkWorkshopArchive(big));
        EXPECT_EQ(log.contains("Big.zip\": it is larger than 1024 MB."), size > 1024ull * 1024 * 1024);
        std::filesystem::remove(big);
    }
    std::filesystem::create_directories(folder + "Folder.zip");
    EXPECT_FALSE(checkWorkshopArchive(folder + "Folder.zip"));
    EXPECT_TRUE(log.contains("Folder.zip\": it is a folder, not a file."));
    std::filesystem::remove(folder + "Folder.zip");
}

// A settings file that comes first in its archive is read like any other.
TEST_F(WorkshopTest, ASettingsFileFirstInItsArchiveIsRead) {
    const std::string settings = "<?xml version=\"1.0\"?>\n<WorkshopSettings>\n<Title>First things</Title>\n"
                                 "</WorkshopSettings>\n";
    writeBytes(folder + "Zed.zip", makeZip({{"WorkshopSettings.xml", settings}, {"Zed/Zed_Main.irr", emptyLevel()}}));
    loadWorkshopLevels();
    ASSERT_EQ(WorkshopLevels.size(), 1u);
    EXPECT_EQ(WorkshopLevels[0].title, L"First things");
}

// An archive is recognised by its extension in any case of letters.
TEST_F(WorkshopTest, TheExtensionIsRecognisedInAnyCase) {
    writeBytes(folder + "Loud.ZIP", makeZip({{"Loud/Loud_Main.irr", emptyLevel()}}));
    loadWorkshopLevels();
    ASSERT_EQ(WorkshopLevels.size(), 1u);
    EXPECT_EQ(WorkshopLevels[0].title, L"Loud");
}

TEST_F(WorkshopTest, TheMenuDeletesOnlyAfterTheSecondAnswer) {
    fillFolder();
    writeBytes(folder + "Castle.zip", makeZip({{"Castle/Castle_Main.irr", emptyLevel()}}));
    auto* menu = new GUILevelSelectScreen(environment);
    screenManager->pushScreen(menu);
    menu->drop();
    // It fades in over a fifth of a second: four frames of 0.05 s and the one that ends it.
    int frames = 0;
    for (; frames < 40 && menu->getFadeState() != GUIScreen::Shown; ++frames) {
        setFrameDelta(0.05f);
        postRenderAll();
    }
    EXPECT_EQ(frames, 5);
    ASSERT_EQ(menu->getFadeState(), GUIScreen::Shown);
    // Over the title it keeps the background level's timer and updates going, and takes the input.
    EXPECT_TRUE(menu->getKeepTimerRunning());
    EXPECT_EQ(menu->getPanelType(), 1);
    EXPECT_TRUE(menu->getPassUpdate());
    EXPECT_FALSE(menu->PassInput);
    ASSERT_EQ(menu->getRows().size(), 2u);
    auto* castle = static_cast<GUIDeleteRow*>(menu->getRows()[0]);
    EXPECT_EQ(castle->getUserText(), core::stringw(L"Content/Workshop/Castle/Castle_Main.irr"));
    castle->getDeleteButton()->click();
    auto* question = dynamic_cast<GUIDialogScreen*>(screenManager->getTopScreen());
    ASSERT_NE(question, nullptr);
    EXPECT_TRUE(question->getKeepTimerRunning()) << "the title's background keeps running";
    EXPECT_FALSE(question->isPanelOnRight());
    // Answer 1 deletes: it is the language's "Yes" (text 102), answer 0 its "No" (103).
    ASSERT_EQ(question->Options.size(), 2u);
    ASSERT_NE(question->getTitleText(), nullptr);
    EXPECT_EQ(question->getTitleText()->getOwnText(), getLanguageText(412) + L" " + WorkshopLevels[0].title + L"?")
        << "the delete question names the level";
    EXPECT_EQ(question->Options[0], getLanguageText(103));
    EXPECT_EQ(question->Options[1], getLanguageText(102));
    // No, and backing out (-1), keep the level.
    for (s32 kept : {0, -1}) {
        s32 answer = kept;
        if (kept != 0) // asked again
            static_cast<GUIDeleteRow*>(menu->getRows()[0])->getDeleteButton()->click();
        menu->deleteWorkshopLevel(answer);
        EXPECT_TRUE(std::filesystem::exists(folder + "Castle.zip")) << kept;
    }
    s32 answer = 0;
    ASSERT_EQ(menu->getRows().size(), 2u);
    static_cast<GUIDeleteRow*>(menu->getRows()[0])->getDeleteButton()->click();
    answer = 1;
    menu->deleteWorkshopLevel(answer);
    EXPECT_FALSE(std::filesystem::exists(folder + "Castle.zip"));
    EXPECT_TRUE(std::filesystem::exists(folder + "Good.zip"));
    EXPECT_TRUE(std::filesystem::exists(folder + "Cut.zip"));
    EXPECT_EQ(menu->getRows().size(), 1u);
    EXPECT_EQ(menu->getPendingDeleteIndex(), -1);
}

// A chosen user level is played as a user level; leaving the menu brings the title's logo
// back.
TEST_F(WorkshopTest, AChosenUserLevelPlaysAsOneAndBackBringsTheLogo) {
    writeBytes(folder + "Castle.zip", makeZip({{"Castle/Castle_Main.irr", emptyLevel()}}));
    writeBytes(folder + "Empty.zip", makeZip({{"Empty/Notes.txt", "no level here"}}));
    const auto openMenu = [&] {
        // The test keeps its own reference: the screen manager lets go of a faded-out screen.
        auto* menu = new GUILevelSelectScreen(environment);
        screenManager->pushScreen(menu);
        for (int frame = 0; frame < 5; ++frame) {
            setFrameDelta(0.1f);
            postRenderAll();
        }
        return menu;
    };
    const auto fadeOut = [&](GUIScreen* menu) {
        for (int frame = 0; frame < 10 && menu->getFadeState() != GUIScreen::FadedOut; ++frame) {
            setFrameDelta(0.1f);
            postRenderAll();
            screenManager->update();
        }
    };
    GUILevelSelectScreen* menu = openMenu();
    ASSERT_EQ(menu->getFadeState(), GUIScreen::Shown);
    ASSERT_EQ(menu->getRows().size(), 2u);
    menu->onLevelClicked(menu->getRows()[1]);
    EXPECT_EQ(menu->PendingCommand, "") << "an archive without its level cannot be played";
    EXPECT_EQ(menu->getFadeState(), GUIScreen::Shown);
    level->PlayMode = LevelManager::playModeStory;
    menu->onLevelClicked(menu->getRows()[0]);
    ASSERT_EQ(menu->PendingCommand, "Level");
    fadeOut(menu);
    EXPECT_EQ(level->PlayMode, LevelManager::playModeWorkshop);
    // The level loads behind a black cover that stands at once.
    EXPECT_EQ(level->loadingOverlay.mode, LoadingOverlay::FadeToBlack);
    EXPECT_EQ(level->loadingOverlay.subState, 3);
    EXPECT_FLOAT_EQ(level->loadingOverlay.fadeValue, 1.0f);
    EXPECT_FLOAT_EQ(level->loadingOverlay.secondFadeValue, 1.0f);
    EXPECT_TRUE(level->isEventQueued(LET_LoadLevel));
    screenManager->closeAllScreens();
    screenManager->update();
    menu->drop();

    menu = openMenu();
    EXPECT_EQ(MainScreenFadeTarget, 0.0f);
    menu->onBack(nullptr);
    for (GUIButton* row : menu->getRows())
        EXPECT_FALSE(row->isEnabled()) << "the rows take no click while the menu leaves";
    fadeOut(menu);
    EXPECT_EQ(MainScreenFadeTarget, 1.0f);
    const auto& stack = screenManager->getScreenStack();
    EXPECT_EQ(std::find(stack.begin(), stack.end(), menu), stack.end()) << "the menu leaves the stack";
    menu->drop();

    // An archive that is already gone cannot be deleted, and says so.
    WorkshopLevelRecord gone;
    gone.zipPath = core::stringw((folder + "Gone.zip").c_str());
    log.lines.clear();
    EXPECT_FALSE(deleteWorkshopArchive(gone));
    EXPECT_TRUE(log.contains("Could not remove file " + folder + "Gone.zip."));
}

// A focused level's picture goes on the backdrop's board, the node with ID 15010, and no
// other: not on the nodes numbered one below and one above it.
TEST_F(WorkshopTest, TheFocusedLevelsPictureGoesOnTheBoardNodeOnly) {
    writeBytes(folder + "Castle.zip", makeZip({{"Castle/Castle_Main.irr", emptyLevel()}}));
    scene::ISceneManager* scene = device->getSceneManager();
    std::vector<scene::ISceneNode*> nodes;
    for (s32 id : {15009, 15010, 15011}) {
        scene::ISceneNode* node = scene->addCubeSceneNode();
        node->setID(id);
        nodes.push_back(node);
    }
    level->rebuildNodeIDs();
    auto* menu = new GUILevelSelectScreen(environment);
    screenManager->pushScreen(menu);
    menu->drop();
    ASSERT_EQ(menu->getRows().size(), 1u);
    menu->onLevelFocused(menu->getRows()[0]);
    // The archive has no picture: the board shows the stand-in, square.
    video::ITexture* shown = driver->getTexture(GUILevelSelectScreen::missingPicture);
    ASSERT_NE(shown, nullptr);
    for (scene::ISceneNode* node : nodes) {
        SCOPED_TRACE(node->getID());
        const bool board = node->getID() == 15010;
        EXPECT_EQ(node->getMaterial(0).getTexture(0), board ? shown : nullptr);
        EXPECT_EQ(node->getScale(), board ? core::vector3df(9.0f, 9.0f, 9.0f) : core::vector3df(1.0f, 1.0f, 1.0f));
    }
    screenManager->closeAllScreens();
    screenManager->update();
    for (scene::ISceneNode* node : nodes)
        node->remove();
    level->clearNodeIDs();
}

// A level's own picture is freed when the menu is left; the board must not keep showing the
// freed picture.
TEST_F(WorkshopTest, TheBoardDropsALevelsPictureWhenTheMenuIsLeft) {
    const std::string pictureFile = (data.path() / "Picture.jpg").string();
    video::IImage* image = driver->createImage(video::ECF_R8G8B8, core::dimension2du(4, 2));
    image->fill(video::SColor(0xFF808080));
    ASSERT_TRUE(driver->writeImageToFile(image, pictureFile.c_str()));
    image->drop();
    std::ifstream in(pictureFile, std::ios::binary);
    const std::string picture((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    writeBytes(folder + "Castle.zip", makeZip({{"Castle/Castle_Main.irr", emptyLevel()},
                                               {"Castle/WorkshopPreview.jpg", picture}}));
    scene::ISceneNode* board = device->getSceneManager()->addCubeSceneNode();
    board->setID(GUILevelSelectScreen::boardNodeId);
    level->rebuildNodeIDs();
    ASSERT_EQ(board->getMaterialCount(), 1u);
    auto* menu = new GUILevelSelectScreen(environment);
    screenManager->pushScreen(menu);
    menu->drop();
    ASSERT_EQ(menu->getRows().size(), 1u);
    menu->onLevelFocused(menu->getRows()[0]);
    video::ITexture* shown = board->getMaterial(0).getTexture(0);
    ASSERT_NE(shown, nullptr);
    ASSERT_NE(shown, driver->getTexture(GUILevelSelectScreen::missingPicture)) << "the level's own picture";
    menu->onBack(nullptr);
    // The menu fades out over a fifth of a second, then goes.
    for (int frames = 0; frames < 40 && board->getMaterial(0).getTexture(0); ++frames) {
        setFrameDelta(0.05f);
        postRenderAll();
    }
    EXPECT_EQ(board->getMaterial(0).getTexture(0), nullptr);
    screenManager->closeAllScreens();
    screenManager->update();
    board->remove();
    level->clearNodeIDs();
}

TEST_F(WorkshopTest, ADeleteRowSendsRightToItsButtonAndKeepsItUsableWhenDisabled) {
    auto* row = new GUIDeleteRow(L"Row", 1, false, environment, root(), core::recti(0, 0, 300, 24));
    int deletes = 0;
    struct Counter {
        int* count;
        void hit() { ++*count; }
    } counter{&deletes};
    row->DeleteRequested.addMember(&counter, &Counter::hit);
    EXPECT_EQ(row->getNeighbour(MenuKey::Right), row->getDeleteButton());
    EXPECT_EQ(row->getDeleteButton()->getNeighbour(MenuKey::Left), row);
    row->setEnabled(false);
    row->OnPostRender(0);
    EXPECT_TRUE(row->getDeleteButton()->isEnabled());
    row->getDeleteButton()->click();
    EXPECT_EQ(deletes, 1);
    row->remove();
    row->drop();
}

} // namespace
