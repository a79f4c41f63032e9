#include "ServicesFixture.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/LanguageManager.h"
#include "core/CoreSlots.h"
#include "core/FileChecks.h"
#include "gui/fonts/CGUITTFont.h"
#include "gui/fonts/FontCache.h"

#include "support/NullDevice.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

class LanguageManagerTest : public ServicesFixture {
protected:
    void TearDown() override {
        screenHeight = 720;
        ServicesFixture::TearDown();
    }

    // A content folder of the test's own, with these two files (absent when empty).
    void useOwnContent(const std::string& languages, const std::string& strings,
                       const std::string& folder = "English") {
        std::filesystem::create_directories(dir.path() / "Content/Language" / folder);
        if (!languages.empty())
            test::writeFileBytes(dir.file("Content/Language/Languages.xml"), languages);
        if (!strings.empty())
            test::writeFileBytes(dir.file("Content/Language/" + folder + "/StringLiterals.xml"), strings);
        workingDir = std::make_unique<test::ScopedWorkingDir>(dir.path());
    }

    std::unique_ptr<test::ScopedWorkingDir> workingDir;
};

const char* twoLanguages = R"(<?xml version="1.0"?>
<Languages>
  <Language name="English" folder="English" fontMenuSmall="menu.ttf" fontSizeMenuSmall="20"
            fontSubtitle="subtitle.xml" fontPause="pause.ttf"/>
  <Language name="Deutsch" folder="German"/>
  <Language folder="Nameless"/>
</Languages>
)";

} // namespace

TEST_F(LanguageManagerTest, TheGameTextsAreEnglish) {
    test::ScopedWorkingDir content(test::sourceDir());
    LanguageManager languages(device.get());
    EXPECT_EQ(languages.getCurrentLanguage().name, L"English");
    EXPECT_EQ(languages.getText(65), L"Keyboard");
    EXPECT_EQ(languages.getText(7), L"New Game");
    EXPECT_EQ(languages.getText(105), L"Back");
    EXPECT_EQ(languages.getText(250), L"Gamepad");
    EXPECT_EQ(languages.getText(252), L"Joystick");
    // An id without a text shows itself.
    EXPECT_EQ(languages.getText(99999), L"#99999");
    EXPECT_EQ(languages.getText(-4), L"#-4");
    EXPECT_TRUE(log.lines.empty() || !log.loggedStartingWith("ERROR: "));
}

TEST_F(LanguageManagerTest, EveryTextTheMenusAndDevicesAskForExists) {
    test::ScopedWorkingDir content(test::sourceDir());
    LanguageManager languages(device.get());
    const int ids[] = {0,   2,   3,   4,   6,   7,   8,   9,   11,  12,  15,  17,  20,  21,  22,  23,
                       24,  25,  26,  40,  41,  43,  50,  51,  52,  53,  54,  55,  56,  57,  58,  59,
                       60,  61,  62,  64,  65,  66,  100, 101, 102, 103, 104, 105, 108, 109, 110, 111,
                       122, 123, 124, 125, 126, 127, 128, 150, 151, 152, 154, 220, 250, 251, 252, 253,
                       254, 260, 261, 262, 263, 400, 404, 407, 408, 409, 412, 414};
    for (int id : ids)
        EXPECT_TRUE(languages.hasText(id)) << id;
    // Option rows show their description at id + 10000.
    for (int row : {20, 21, 22, 23, 24, 25, 26, 40, 41, 43, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59,
                    60, 61, 62, 64, 66})
        EXPECT_TRUE(languages.hasText(row + 10000)) << row + 10000;
}

TEST_F(LanguageManagerTest, LocalisedPathsUseTheCurrentLanguagesFolder) {
    useOwnContent(twoLanguages, R"(<StringLiterals><String id="7" text="New Game"/></StringLiterals>)");
    std::filesystem::create_directories(dir.path() / "Content/Language/German");
    test::writeFileBytes(dir.file("Content/Language/German/StringLiterals.xml"),
                         R"(<StringLiterals><String id="7" text="Neues Spiel"/></StringLiterals>)");
    setSettingString("Game_Language", "Deutsch");
    LanguageManager languages(device.get());
    EXPECT_EQ(languages.getText(7), L"Neues Spiel");
    EXPECT_EQ(languages.getLocalizedPath("Content/Language/English/Levels.xml"),
              irr::io::path("Content/Language/German/Levels.xml"));
    EXPECT_EQ(languages.getLocalizedPath("Content/Language/English/Subtitles/Persistent.xml"),
              irr::io::path("Content/Language/German/Subtitles/Persistent.xml"));
    EXPECT_EQ(languages.getLocalizedPath("Content/Levels/English.irr"), irr::io::path("Content/Levels/English.irr"));
}

TEST_F(LanguageManagerTest, LanguagesAreFoundByNameAndChangingOneTellsTheListeners) {
    useOwnContent(twoLanguages, R"(<StringLiterals><String id="7" text="New Game"/></StringLiterals>)");
    LanguageManager languages(device.get());
    EXPECT_TRUE(log.loggedStartingWith("Warning: Skipped 1 languages"));
    ASSERT_NE(languages.findLanguage(L"Deutsch"), nullptr);
    EXPECT_EQ(languages.findLanguage(L"Deutsch")->folder, "German");
    EXPECT_EQ(languages.findLanguage(L"Klingon"), nullptr);
    EXPECT_EQ(languages.findLanguage(nullptr), nullptr);

    struct Listener {
        int calls = 0;
        void onLanguageChanged() { ++calls; }
    } listener;
    languages.languageChanged.addMember(&listener, &Listener::onLanguageChanged);
    EXPECT_FALSE(languages.setLanguage(L"Klingon"));
    EXPECT_EQ(listener.calls, 0);
    EXPECT_TRUE(languages.setLanguage(L"Deutsch"));
    EXPECT_EQ(listener.calls, 1);
    EXPECT_EQ(languages.getCurrentLanguage().folder, "German");
    // German has no string table: logged, and the texts show their ids.
    EXPECT_TRUE(log.loggedStartingWith("ERROR: Could not open the string table: Content/Language/German/StringLiterals.xml"));
    EXPECT_EQ(languages.getText(7), L"#7");
}

// A language without a name cannot be chosen: it is left out of the list, and a list of
// nothing else leaves the game in English rather than in a language nobody can name.
TEST_F(LanguageManagerTest, LanguagesWithoutANameAreLeftOut) {
    const char* onlyNameless = R"(<Languages><Language folder="Nameless"/>
                                  <Language name="" folder="German"/></Languages>)";
    struct Case {
        const char* list;
        const char* skippedLine;
    };
    const Case cases[] = {
        {twoLanguages, "Warning: Skipped 1 languages without a name"},
        {onlyNameless, "Warning: Skipped 2 languages without a name"},
    };
    for (const Case& c : cases) {
        workingDir.reset(); // back where the test began before the next content folder
        log.lines.clear();
        useOwnContent(c.list, R"(<StringLiterals><String id="7" text="New Game"/></StringLiterals>)");
        LanguageManager languages(device.get());
        EXPECT_TRUE(log.loggedStartingWith(c.skippedLine)) << c.list;
        EXPECT_EQ(languages.findLanguage(L""), nullptr) << c.list;
        EXPECT_EQ(languages.getCurrentLanguage().name, L"English") << c.list;
        EXPECT_EQ(languages.getCurrentLanguage().folder, "English") << c.list;
        EXPECT_EQ(languages.getText(7), L"New Game") << c.list;
    }
}

TEST_F(LanguageManagerTest, AnUnknownLanguageSettingFallsBackToEnglish) {
    // English first in the list, and after another language.
    const char* germanFirst = R"(<Languages><Language name="Deutsch" folder="German"/>
                                 <Language name="English" folder="English"/></Languages>)";
    for (const char* list : {twoLanguages, germanFirst}) {
        workingDir.reset(); // back where the test began before the next content folder
        useOwnContent(list, R"(<StringLiterals><String id="7" text="New Game"/></StringLiterals>)");
        setSettingString("Game_Language", "Klingon");
        LanguageManager languages(device.get());
        EXPECT_TRUE(log.loggedStartingWith("Warning: Unknown language"));
        EXPECT_EQ(languages.getCurrentLanguage().name, L"English");
        EXPECT_EQ(languages.getText(7), L"New Game");
    }
}

TEST_F(LanguageManagerTest, MissingOrBrokenFilesAreLoggedAndTheGameGoesOn) {
    useOwnContent("", "");
    {
        LanguageManager languages(device.get());
        EXPECT_TRUE(log.loggedStartingWith("ERROR: Could not open the language list: Content/Language/Languages.xml"));
        EXPECT_TRUE(log.loggedStartingWith("ERROR: Could not open the string table"));
        EXPECT_EQ(languages.getCurrentLanguage().name, L"English");
        EXPECT_EQ(languages.getText(65), L"#65");
        EXPECT_EQ(languages.getFont(LanguageManager::FontMenuSmall), nullptr);
    }
    log.lines.clear();
    test::writeFileBytes(dir.file("Content/Language/Languages.xml"), "this is not xml at all");
    test::writeFileBytes(dir.file("Content/Language/English/StringLiterals.xml"),
                         R"(<Languages><String id="1" text="wrong root"/></Languages>)");
    {
        LanguageManager languages(device.get());
        EXPECT_TRUE(log.loggedStartingWith("ERROR: The language list is not a <Languages> file"));
        EXPECT_TRUE(log.loggedStartingWith("ERROR: The string table is not a <StringLiterals> file"));
        EXPECT_EQ(languages.getText(1), L"#1");
    }
    log.lines.clear();
    // Entries without an id (or an empty one) or a text are skipped; the rest is read.
    test::writeFileBytes(dir.file("Content/Language/English/StringLiterals.xml"),
                         R"(<StringLiterals><String text="no id"/><String id="3"/><String id="" text="empty id"/>)"
                         R"(<String id="4" text="Four"/>)");
    {
        LanguageManager languages(device.get());
        EXPECT_TRUE(log.loggedStartingWith("Warning: Skipped 3 strings"));
        EXPECT_EQ(languages.getText(4), L"Four");
        EXPECT_EQ(languages.getText(0), L"#0");
    }
    // Cut inside a tag: the texts before the cut are there.
    test::writeFileBytes(dir.file("Content/Language/English/StringLiterals.xml"),
                         R"(<StringLiterals><String id="4" text="Four"/><String id="5" te)");
    {
        LanguageManager languages(device.get());
        EXPECT_EQ(languages.getText(4), L"Four");
        EXPECT_EQ(languages.getText(5), L"#5");
    }
}

// Glyphs 20,000 pixels high never draw, and a text of 100,000 characters freezes the word wrap
// of the screen that shows it: the tables' sizes and texts are bounded, one line per file.
TEST_F(LanguageManagerTest, FontSizesAndTextsOfTheTablesAreBounded) {
    const std::string longText(100000, 'x');
    useOwnContent(R"(<Languages><Language name="English" folder="English" fontSizeSubtitle="168"
                     fontSizePause="169" fontSizeMenuLarge="20000" fontSizeMenuSmall="-3"/></Languages>)",
                  "<StringLiterals><String id=\"1\" text=\"" + std::string(2048, 'a') + "\"/><String id=\"2\" text=\"" +
                      std::string(2049, 'b') + "\"/><String id=\"3\" text=\"" + longText + "\"/></StringLiterals>");
    LanguageManager languages(device.get());
    const LanguageInfo& info = languages.getCurrentLanguage();
    EXPECT_EQ(info.fontSizeSubtitle, 168);
    EXPECT_EQ(info.fontSizePause, 168);
    EXPECT_EQ(info.fontSizeMenuLarge, 168);
    EXPECT_EQ(info.fontSizeMenuSmall, -3) << "no size: the role's default";
    EXPECT_TRUE(log.loggedStartingWith("Warning: Clamped 2 font sizes to 168 in Content/Language/Languages.xml"));
    EXPECT_EQ(languages.getText(1).size(), 2048u);
    EXPECT_EQ(languages.getText(2).size(), 2048u);
    EXPECT_EQ(languages.getText(3).size(), 2048u);
    EXPECT_TRUE(log.loggedStartingWith(
        "Warning: Cut 2 strings longer than 2048 characters in Content/Language/English/StringLiterals.xml"));
}

TEST_F(LanguageManagerTest, TrueTypeFontsComeFromTheFontCacheAtTheScreensScale) {
    useOwnContent(twoLanguages, "");
    std::vector<std::pair<std::string, int>> asked;
    coreSlots().fonts.getCachedFont = [&](const irr::io::path& path, irr::s32 size) {
        asked.emplace_back(path.c_str(), size);
        return static_cast<irr::gui::IGUIFont*>(nullptr);
    };
    LanguageManager languages(device.get());
    screenHeight = 1080;
    languages.getFont(LanguageManager::FontMenuSmall);
    // No size in the file: 22 pixels at 720 lines.
    languages.getFont(LanguageManager::FontPause);
    // Not a TrueType file: the GUI environment's font loader, not the cache.
    languages.getFont(LanguageManager::FontSubtitle);
    // No file for the role, or no such role.
    EXPECT_EQ(languages.getFont(LanguageManager::FontObjective), nullptr);
    EXPECT_EQ(languages.getFont(6), nullptr);
    EXPECT_EQ(languages.getFont(-1), nullptr);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0], std::make_pair(std::string("menu.ttf"), 30));
    EXPECT_EQ(asked[1], std::make_pair(std::string("pause.ttf"), 33));
    // Rounded to the nearest pixel: 20 x 1000 / 720 = 27.8.
    screenHeight = 1000;
    languages.getFont(LanguageManager::FontMenuSmall);
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[2], std::make_pair(std::string("menu.ttf"), 28));
}

namespace {

std::string fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

// A TrueType file of the list that cannot be read leaves the menus in another font: the log
// names both, once however often the elements ask.
TEST_F(LanguageManagerTest, ATrueTypeFontThatCannotBeReadIsLoggedOnceWithTheFontThatStandsIn) {
    const std::string font = fileBytes(test::sourceDir() / "Content/Font/NoMove.ttf");
    ASSERT_GT(font.size(), 1000u);
    useOwnContent(R"(<Languages><Language name="English" folder="English" fontSubtitle="whole.ttf"
                     fontObjective="empty.ttf" fontPause="cut.ttf" fontMenuLarge="noise.ttf"
                     fontMenuMedium="image.ttf"/></Languages>)",
                  "");
    test::writeFileBytes(dir.file("whole.ttf"), font);
    test::writeFileBytes(dir.file("empty.ttf"), "");
    test::writeFileBytes(dir.file("cut.ttf"), font.substr(0, font.size() / 2));
    test::writeFileBytes(dir.file("noise.ttf"), std::string(4096, '\x5A'));
    test::writeFileBytes(dir.file("image.ttf"), fileBytes(test::sourceDir() / "Content/Font/NoMoveBitmap.png"));
    coreSlots().fonts.getCachedFont = [](const irr::io::path& path, irr::s32 size) -> irr::gui::IGUIFont* {
        return getCachedFont(path, size);
    };
    LanguageManager languages(device.get());
    const auto unreadable = [](const char* file, const char* standIn) {
        return std::string("Warning: Could not read the font \"") + file +
               "\" of Content/Language/Languages.xml; " + standIn + " stands in.";
    };
    for (int ask = 0; ask < 2; ++ask) {
        log.lines.clear();
        EXPECT_NE(languages.getFont(LanguageManager::FontSubtitle), nullptr);
        for (int role : {LanguageManager::FontObjective, LanguageManager::FontPause, LanguageManager::FontMenuLarge,
                         LanguageManager::FontMenuMedium})
            EXPECT_EQ(languages.getFont(role), nullptr) << role;
        const char* builtIn = "the engine's built-in font";
        const std::vector<std::string> once = {unreadable("empty.ttf", builtIn), unreadable("cut.ttf", builtIn),
                                               unreadable("noise.ttf", builtIn), unreadable("image.ttf", builtIn)};
        EXPECT_EQ(log.lines, ask == 0 ? once : std::vector<std::string>{}) << "ask " << ask;
    }
    // With the skin's own font set (as the screens do), that one is named.
    irr::gui::IGUISkin* skin = device.get()->getGUIEnvironment()->getSkin();
    skin->setFont(languages.getFont(LanguageManager::FontSubtitle));
    forgetFileRefusals();
    log.lines.clear();
    languages.getFont(LanguageManager::FontObjective);
    EXPECT_EQ(log.lines,
              std::vector<std::string>{unreadable("empty.ttf", "the skin's font \"Content/Font/Debug.xml\"")});
    skin->setFont(nullptr);
    clearFontCache();
}
