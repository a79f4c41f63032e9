// The player's files as the game writes them, recorded: the settings file on the first start
// and after a fixed set of changes, the save file after a fixed run of progress, each read
// back and recorded again; and the texts of the shipped language. The records are in
// tests/core/records/player_files/.
#include "ServicesFixture.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/LanguageManager.h"
#include "core/SettingsTable.h"
#include "core/TextUtils.h"
#include "core/Utf8.h"
#include "level/LevelRunRecord.h"
#include "level/SaveManager.h"
#include "support/RecordedResult.h"
#include "support/TempDir.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <irrlicht.h>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string number(double value) {
    if (value == 0.0)
        return "0";
    char text[32];
    std::snprintf(text, sizeof(text), "%.6g", value);
    return text;
}

// A file's text line by line, its attribute values apart from their quotes (so that numbers
// compare as numbers) and the temporary folder, which differs from run to run, masked.
std::string fileLines(const std::string& path, const std::string& tempFolder) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "  (no file)\n";
    std::ostringstream out;
    std::string line;
    while (std::getline(in, line)) {
        for (std::size_t at = line.find(tempFolder); at != std::string::npos; at = line.find(tempFolder))
            line.replace(at, tempFolder.size(), "<temp>");
        std::string spaced;
        for (char c : line)
            spaced += c == '"' ? std::string(" \" ") : std::string(1, c);
        out << "  | " << spaced << "\n";
    }
    return out.str();
}

// Every attribute of a set: name, type and value in the engine's text.
std::string attributeLines(irr::io::IAttributes* attributes) {
    std::ostringstream out;
    if (!attributes)
        return "  (none)\n";
    for (irr::u32 index = 0; index < attributes->getAttributeCount(); ++index) {
        const std::string value = toUtf8(attributes->getAttributeAsStringW(irr::s32(index)).c_str());
        out << "  " << attributes->getAttributeName(irr::s32(index)) << " "
            << toUtf8(attributes->getAttributeTypeString(irr::s32(index))) << " [ " << value << " ]";
        if (attributes->getAttributeType(irr::s32(index)) == irr::io::EAT_FLOAT)
            out << " " << number(attributes->getAttributeAsFloat(irr::s32(index)));
        out << "\n";
    }
    return out.str();
}

// Log lines with the temporary folder masked, each line marked.
std::string logLines(const std::string& text, const std::string& tempFolder) {
    std::istringstream in(text);
    std::ostringstream out;
    std::string line;
    while (std::getline(in, line)) {
        for (std::size_t at = line.find(tempFolder); at != std::string::npos; at = line.find(tempFolder))
            line.replace(at, tempFolder.size(), "<temp>");
        out << "  log " << line << "\n";
    }
    return out.str();
}

class PlayerFilesRecordTest : public ServicesFixture {
protected:
    void TearDown() override {
        demoMode = false;
        gameDevice = nullptr;
        ownLog.reset();
        ServicesFixture::TearDown();
    }
    // Every engine device takes over the engine's one logger, the settings' own device too:
    // a device made after it hears the log again.
    void listenToTheLog() {
        ownLog = std::make_unique<test::NullDevice>(&log);
        gameDevice = ownLog->get();
    }
    // Runs the step and records the log lines it wrote (to the program's device).
    template <class F>
    void logged(F&& run) {
        const std::size_t before = log.lines.size();
        run();
        std::string text;
        for (std::size_t line = before; line < log.lines.size(); ++line)
            text += log.lines[line] + "\n";
        out << logLines(text, temp());
    }
    std::string temp() const { return dir.path().string(); }
    // The settings become the game's own, under a heading. Made before the log's own device,
    // their device does not hear the log: this fixture's does.
    void useSettings(GameSettings& inUse, const char* heading) {
        listenToTheLog();
        gameSettings = &inUse;
        out << heading;
    }
    // The settings read from their file: the log lines, then every value they came to.
    void recordLoad(GameSettings& loading) {
        logged([&]() { loading.load(); });
        out << attributeLines(loading.getAttributes());
    }

    std::ostringstream out;
    std::unique_ptr<test::NullDevice> ownLog;
};

// --- settings ------------------------------------------------------------------------------------

// The values the player changes in the options, some beyond their ranges or of odd spelling,
// and a key of the program's own.
void changeSettings() {
    setSettingInt("Game_Difficulty", 7);
    setSettingString("Game_Language", "Deutsch");
    setSettingBool("Game_NoSwitchMode", true);
    setSettingInt("Game_PhysicsThreads", -3);
    setSettingFloat("KM_HorizontalSensitivity", 2.75f);
    setSettingFloat("KM_VerticalSensitivity", 0.125f);
    setSettingFloat("Gamepad_StickSensitivity", 1.5f);
    setSettingBool("Gamepad_Vibration", false);
    setSettingString("Graphics_Driver", "burnings");
    setSettingInt("Graphics_ScreenWidth", 0);
    setSettingInt("Graphics_ScreenHeight", 20000);
    setSettingInt("Graphics_FullscreenMode", 2);
    setSettingInt("Graphics_Antialiasing", 17);
    setSettingInt("Graphics_ShadowQuality", 4096);
    setSettingFloat("Audio_SFXVolume", 1.7f);
    setSettingFloat("Audio_MusicVolume", 0.35f);
    setSettingFloat("Audio_VoiceoverVolume", -0.5f);
    setSettingInt("Audio_AudioOutput", 3);
    setSettingBool("Audio_Subtitles", false);
    setSettingBool("Mod_ShowLevelTimer", true);
    setSettingString("Custom_Note", L"Grüße <&> \"quoted\"");
}

std::string readBack(const char* key) {
    return std::string(key) + " int " + std::to_string(getSettingInt(key)) + " float " +
           number(getSettingFloat(key)) + " bool " + std::to_string(getSettingBool(key)) + " text [ " +
           getSettingString(key) + " ]";
}

TEST_F(PlayerFilesRecordTest, SettingsFileOnTheFirstStartAndAfterChanges) {
    const std::string path = dir.file("first/PaddlestoneConfig.xml");
    std::filesystem::create_directories(dir.path() / "first");
    {
        GameSettings first(path);
        useSettings(first, "first start\n");
        logged([&]() {
            first.load();
            first.save();
        });
        out << fileLines(path, temp()) << "attributes\n" << attributeLines(first.getAttributes());

        out << "changed\n";
        changeSettings();
        logged([&]() { first.save(); });
        out << fileLines(path, temp());
        gameSettings = settings.get();
    }
    // The next start reads the changed file: values beyond their ranges are brought back.
    GameSettings next(path);
    useSettings(next, "read back\n");
    recordLoad(next);
    for (const SettingDefinition& definition : settingDefinitions())
        out << "  get " << readBack(definition.key) << "\n";
    out << "  get " << readBack("Custom_Note") << "\n";
    logged([&]() { next.save(); });
    out << "written again\n" << fileLines(path, temp());
    gameSettings = settings.get();
    test::expectMatchesRecord("core/records/player_files/settings.txt", out.str());
}

// A file of an older version, edited by hand: values of every kind beyond their ranges,
// spelled in other ways, a text of the longest length, and keys the game does not know; then
// a file with a value of the wrong type and a text one character too long.
TEST_F(PlayerFilesRecordTest, SettingsFileEditedByHand) {
    const std::string path = dir.file("edited/PaddlestoneConfig.xml");
    std::filesystem::create_directories(dir.path() / "edited");
    std::ofstream(path) << R"(<?xml version="1.0"?>
<Game>
  <int name="Game_Difficulty" value="-4" />
  <string name="Game_Language" value=")" + std::string(256, 'L') + R"(" />
  <bool name="Game_NoSwitchMode" value="1" />
  <float name="KM_HorizontalSensitivity" value="3.5e-1" />
  <float name="KM_ScrollSensitivity" value="12" />
  <string name="Graphics_Driver" value="SOFTWARE" />
  <int name="Graphics_ScreenWidth" value="-640" />
  <int name="Graphics_ScreenHeight" value="1080" />
  <int name="Graphics_ShadowQuality" value="99999" />
  <float name="Audio_MusicVolume" value="0.5" />
  <float name="Audio_SFXVolume" value="2" />
  <bool name="Audio_Subtitles" value="false" />
  <int name="Old_Setting" value="3" />
  <string name="Another_Old" value="x" />
</Game>
)";
    GameSettings edited(path);
    useSettings(edited, "edited file\n");
    recordLoad(edited);
    logged([&]() { edited.save(); });
    out << "written\n" << fileLines(path, temp());

    // One value of the wrong type: the file is kept aside and the rest of it still counts.
    std::ofstream(path) << R"(<?xml version="1.0"?>
<Game>
  <int name="Game_Difficulty" value="2" />
  <string name="Game_Language" value=")" + std::string(257, 'L') + R"(" />
  <int name="Graphics_FullscreenMode" value="full" />
  <bool name="Graphics_Shadows" value="false" />
</Game>
)";
    out << "wrong type\n";
    recordLoad(edited);
    out << "kept aside " << std::filesystem::exists(path + ".bad") << "\n";
    gameSettings = settings.get();
    test::expectMatchesRecord("core/records/player_files/settings_edited.txt", out.str());
}

// --- save file -----------------------------------------------------------------------------------

// A fixed local moment for the backups' names (local time, so that the names do not depend on
// the machine's time zone).
std::time_t localMoment(int extraSeconds) {
    std::tm t{};
    t.tm_year = 2015 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 14;
    t.tm_hour = 9;
    t.tm_min = 26;
    t.tm_sec = 53 + extraSeconds;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

std::string saveQueries(const SaveManager& saves) {
    std::ostringstream out;
    const wchar_t* levels[] = {L"Content/Levels/Intro.irr", L"content/levels/INTRO.irr", L"Content/Levels/Kitchen.irr",
                               L"Content/Levels/Garden.irr", L"Content/Levels/Roof.irr"};
    out << "  levels";
    for (const wchar_t* level : levels)
        out << " " << saves.isLevelUnlocked(level) << " " << number(saves.getBestLevelTime(level));
    out << "\n  ties";
    for (int tie : {-1, 0, 3, 12, 40})
        out << " " << saves.isTieCollected(tie);
    out << "\n  story " << saves.getAutoSaveExists(true) << " [ " << toUtf8(saves.getAutoSavePath(true).c_str())
        << " ] [ " << toUtf8(saves.getAutoSaveCheckpoint(true).c_str()) << " ] free " << saves.getAutoSaveExists(false)
        << " [ " << toUtf8(saves.getAutoSavePath(false).c_str()) << " ] [ "
        << toUtf8(saves.getAutoSaveCheckpoint(false).c_str()) << " ] beaten " << saves.isGameBeaten() << " best "
        << number(saves.getBestStoryTime()) << " story " << number(saves.getStoryTime()) << " allowed "
        << saves.isStoryTimeAllowed() << "\n";
    return out.str();
}

LevelRunRecord run(float levelTime, float storyTime, bool valid, bool counts, int losses, float suspicion) {
    LevelRunRecord record;
    record.levelTime = levelTime;
    record.storyTime = storyTime;
    record.validTime = valid;
    record.countsStoryTime = counts;
    record.losses = losses;
    record.lastSuspicion = suspicion;
    return record;
}

TEST_F(PlayerFilesRecordTest, SaveFileAfterARunOfProgress) {
    const std::string folder = dir.file("Saves");
    int clock = 0;
    auto saves = std::make_unique<SaveManager>(device->getFileSystem(), folder);
    saves->setClock([&clock]() { return localMoment(clock); });
    out << "new\n";
    logged([&]() { out << "  loaded " << saves->load() << "\n"; });
    out << saveQueries(*saves);

    // Each event of a story and of free play, a second apart; the save asks for its write.
    struct Event {
        const char* name;
        std::function<void(SaveManager&)> apply;
    };
    const std::vector<Event> events = {
        {"new story", [](SaveManager& s) { s.resetStorySave(); }},
        {"intro unlocked", [&](SaveManager& s) { out << "  added " << s.addUnlockedLevel(L"Content/Levels/Intro.irr") << "\n"; }},
        {"intro again", [&](SaveManager& s) { out << "  added " << s.addUnlockedLevel(L"content/levels/INTRO.irr") << "\n"; }},
        {"checkpoint file", [&](SaveManager& s) {
             out << "  added " << s.addUnlockedLevel(L"Saves/checkpoint_story.irr") << "\n";
         }},
        {"autosave", [](SaveManager& s) {
             s.setAutoSaveExists(true, true);
             s.setAutoSavePath(L"checkpoint_story.irr", true);
             s.setAutoSaveCheckpoint(L"Content/Levels/Intro.irr", true);
         }},
        {"tie", [](SaveManager& s) { s.saveTieCollected(12); }},
        {"tie again and a bad one", [](SaveManager& s) {
             s.saveTieCollected(12);
             s.saveTieCollected(-5);
             s.saveTieCollected(0);
         }},
        {"intro finished", [&](SaveManager& s) {
             out << "  stored " << s.saveLevelLength(L"Content/Levels/Intro.irr", 93.5f) << "\n";
             s.submitLevelStats(run(93.5f, 93.5f, true, true, 2, 0.75f), false);
         }},
        {"kitchen unlocked", [&](SaveManager& s) { out << "  added " << s.addUnlockedLevel(L"Content/Levels/Kitchen.irr") << "\n"; }},
        {"intro slower", [&](SaveManager& s) {
             out << "  stored " << s.saveLevelLength(L"Content/Levels/Intro.irr", 120.25f) << "\n";
         }},
        {"intro faster", [&](SaveManager& s) {
             out << "  stored " << s.saveLevelLength(L"content/levels/intro.irr", 81.125f) << "\n";
         }},
        {"kitchen restarted", [&](SaveManager& s) {
             s.submitLevelStats(run(40.0f, 150.0f, false, true, 5, 1.0f), false);
         }},
        {"kitchen finished the game", [&](SaveManager& s) {
             out << "  stored " << s.saveLevelLength(L"Content/Levels/Kitchen.irr", 210.0f) << "\n";
             s.submitLevelStats(run(210.0f, 303.5f, true, true, 1, 0.25f), true);
             s.setGameBeaten();
         }},
        {"free play", [&](SaveManager& s) {
             s.setAutoSaveExists(true, false);
             s.setAutoSavePath(L"checkpoint_freeplay.irr", false);
             s.setAutoSaveCheckpoint(L"Content/Levels/Garden.irr", false);
             s.submitLevelStats(run(55.5f, 0.0f, true, false, 0, 0.0f), false);
             s.saveTieCollected(3);
         }},
        {"second story finished faster", [&](SaveManager& s) {
             s.resetStorySave();
             s.submitLevelStats(run(100.0f, 250.0f, true, true, 0, 0.5f), true);
         }},
        {"third story slower", [&](SaveManager& s) { s.submitLevelStats(run(100.0f, 400.0f, true, true, 3, 0.5f), true); }},
    };
    for (const Event& event : events) {
        ++clock;
        out << "event " << event.name << "\n";
        logged([&]() {
            event.apply(*saves);
            saves->writeRequested(); // as the frame's end writes it
        });
        out << saveQueries(*saves);
    }
    out << "save file\n" << fileLines(saves->getSavePath(), temp());
    // The backups: a dated copy per second in which the save changed, the ten newest kept.
    const std::vector<std::string> backups = saves->listBackups();
    out << "backups " << backups.size() << "\n";
    for (const std::string& backup : backups)
        out << "  " << std::filesystem::path(backup).filename().string() << "\n";
    if (!backups.empty())
        out << "newest backup\n" << fileLines(backups.front(), temp());

    // Read back by the next start: the same answers and, written again, the same file.
    saves.reset();
    auto next = std::make_unique<SaveManager>(device->getFileSystem(), folder);
    next->setClock([&clock]() { return localMoment(clock); });
    out << "read back\n";
    logged([&]() { out << "  loaded " << next->load() << "\n"; });
    out << saveQueries(*next);
    for (int group = 0; group < SaveManager::GroupCount; ++group)
        out << "group " << SaveManager::groupName(SaveManager::Group(group)) << "\n"
            << attributeLines(next->getGroup(SaveManager::Group(group)));
    // A demo build shows no best times.
    demoMode = true;
    out << "demo\n" << saveQueries(*next);
    demoMode = false;
    const std::string before = fileLines(next->getSavePath(), temp());
    ++clock;
    logged([&]() { out << "  saved " << next->save() << "\n"; });
    out << "written again unchanged " << (fileLines(next->getSavePath(), temp()) == before) << "\n";
    test::expectMatchesRecord("core/records/player_files/save.txt", out.str());
}

// --- language and text ---------------------------------------------------------------------------

TEST_F(PlayerFilesRecordTest, ShippedLanguageTextsAndTimes) {
    test::ScopedWorkingDir content(test::sourceDir());
    std::unique_ptr<LanguageManager> languages;
    logged([&]() { languages = std::make_unique<LanguageManager>(device.get()); });
    const LanguageInfo& current = languages->getCurrentLanguage();
    out << "language " << toUtf8(current.name.c_str()) << " folder " << current.folder.c_str() << "\n";
    const struct {
        const char* role;
        const irr::core::stringw& font;
        irr::s32 size;
    } fonts[] = {{"subtitle", current.fontSubtitle, current.fontSizeSubtitle},
                 {"objective", current.fontObjective, current.fontSizeObjective},
                 {"pause", current.fontPause, current.fontSizePause},
                 {"small", current.fontMenuSmall, current.fontSizeMenuSmall},
                 {"medium", current.fontMenuMedium, current.fontSizeMenuMedium},
                 {"large", current.fontMenuLarge, current.fontSizeMenuLarge}};
    for (const auto& font : fonts)
        out << "  font " << font.role << " " << toUtf8(font.font.c_str()) << " " << font.size << "\n";
    for (const char* path : {"Content/Language/English/Levels.xml", "Content/Levels/Intro.irr", "English/x.xml"})
        out << "  path " << path << " " << languages->getLocalizedPath(path).c_str() << "\n";
    // Every text the table holds, by id.
    int count = 0;
    for (irr::s32 id = -1; id < 20000; ++id) {
        if (!languages->hasText(id))
            continue;
        ++count;
        out << "  text " << id << " [ " << toUtf8(languages->getText(id).c_str()) << " ]\n";
    }
    out << "texts " << count << " missing [ " << toUtf8(languages->getText(20001).c_str()) << " ]\n";
    out << "  switch " << languages->setLanguage(L"english") << " " << languages->setLanguage(L"Klingon") << "\n";

    // Times as the level timer, the results and the statistics show them.
    const float times[] = {0.0f, 0.0004f, 0.0005f, 0.25f, 5.25f, 59.9996f, 65.0f, 599.5f, 3599.999f, 3600.0f,
                           36000.5f, 86399.0f, -3.0f, 1.0e7f};
    for (float time : times) {
        out << "time " << number(time);
        for (int flags = 0; flags < 8; ++flags)
            out << " [" << formatTime(time, flags & 1, flags & 2, flags & 4) << "]";
        out << "\n";
    }
    for (const wchar_t* text : {L"a,b,,c", L",", L"", L"one", L"x,y,"}) {
        std::vector<std::wstring> parts;
        const std::size_t n = splitString(text, L',', parts);
        out << "split " << n;
        for (const std::wstring& part : parts)
            out << " [" << toUtf8(part.c_str()) << "]";
        out << "\n";
    }
    test::expectMatchesRecord("core/records/player_files/language.txt", out.str());
}

// A language of the player's own beside English: its texts, its fonts and its paths, then
// back to English.
TEST_F(PlayerFilesRecordTest, ASecondLanguageAndBackToEnglish) {
    std::filesystem::create_directories(dir.path() / "Content/Language/English");
    std::filesystem::create_directories(dir.path() / "Content/Language/Test");
    std::filesystem::copy_file(test::sourceDir() / "Content/Language/English/StringLiterals.xml",
                               dir.path() / "Content/Language/English/StringLiterals.xml");
    std::ofstream(dir.file("Content/Language/Languages.xml")) << R"(<?xml version="1.0"?>
<Languages>
  <Language name="English" folder="English" fontSubtitle="sub.ttf" fontSizeSubtitle="26"/>
  <Language name="Testisch" folder="Test" fontPause="pause.xml" fontSizePause="500"
            fontMenuSmall="small.ttf" fontSizeMenuSmall="-3" fontObjective="objective.ttf"/>
</Languages>
)";
    std::ofstream(dir.file("Content/Language/Test/StringLiterals.xml"))
        << "<?xml version=\"1.0\"?>\n<StringLiterals>\n"
        << "  <String id=\"0\" text=\"Spielen\"/>\n"
        << "  <String id=\"7\" text=\"Neues Spiel &amp; mehr\"/>\n"
        << "  <String id=\"7\" text=\"Zweimal\"/>\n"
        << "  <String text=\"ohne Nummer\"/>\n"
        << "  <String id=\"9\"/>\n"
        << "  <String id=\"12\" text=\"Gr\xc3\xbc\xc3\x9f\xc3\xa9\"/>\n"
        << "  <String id=\"250\" text=\"" << std::string(2100, 'x') << "\"/>\n"
        << "  <String id=\"-2\" text=\"negativ\"/>\n"
        << "</StringLiterals>\n";
    test::ScopedWorkingDir content(dir.path());
    setSettingString("Game_Language", "Testisch");
    std::unique_ptr<LanguageManager> languages;
    logged([&]() { languages = std::make_unique<LanguageManager>(device.get()); });
    int changes = 0;
    auto report = [&]() {
        const LanguageInfo& current = languages->getCurrentLanguage();
        out << "language " << toUtf8(current.name.c_str()) << " folder " << current.folder.c_str() << " changes "
            << changes << "\n";
        out << "  fonts [ " << toUtf8(current.fontSubtitle.c_str()) << " " << current.fontSizeSubtitle << " "
            << toUtf8(current.fontObjective.c_str()) << " " << current.fontSizeObjective << " "
            << toUtf8(current.fontPause.c_str()) << " " << current.fontSizePause << " "
            << toUtf8(current.fontMenuSmall.c_str()) << " " << current.fontSizeMenuSmall << " "
            << toUtf8(current.fontMenuMedium.c_str()) << " " << current.fontSizeMenuMedium << " "
            << toUtf8(current.fontMenuLarge.c_str()) << " " << current.fontSizeMenuLarge << " ]\n";
        for (const char* path : {"Content/Language/English/Levels.xml", "Language/English/a.xml",
                                 "Content/Levels/Intro.irr", "Content/Language/English", "x/Language/English/y/z"})
            out << "  path " << path << " " << languages->getLocalizedPath(path).c_str() << "\n";
        for (irr::s32 id : {-2, 0, 7, 9, 12, 250, 251, 10066}) {
            const std::string text = toUtf8(languages->getText(id).c_str());
            out << "  text " << id << " " << languages->hasText(id) << " length " << text.size() << " [ "
                << text.substr(0, 40) << " ]\n";
        }
    };
    report();
    struct Counter {
        int* count;
        void changed() { ++*count; }
    } counter{&changes};
    languages->languageChanged.add(Delegate::member(&counter, &Counter::changed));
    logged([&]() { out << "  to English " << languages->setLanguage(L"English") << "\n"; });
    report();
    logged([&]() { out << "  to Nowhere " << languages->setLanguage(L"Nowhere") << "\n"; });
    logged([&]() { out << "  to Testisch " << languages->setLanguage(L"Testisch") << "\n"; });
    report();
    test::expectMatchesRecord("core/records/player_files/second_language.txt", out.str());
}

} // namespace
