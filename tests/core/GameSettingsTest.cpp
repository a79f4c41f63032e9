#include "core/DeviceSettings.h"
#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/SettingsTable.h"
#include "support/FileSizeLimit.h"
#include "support/NullDevice.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <irrlicht.h>
#include <string>
#include <utility>
#include <vector>

using namespace irr;

namespace {

constexpr const char* configName = "PaddlestoneConfig.xml";

// The engine writes its XML as UTF-32 here: files are read back through the engine.
struct EngineSettingsFile {
    std::wstring rootElement;
    io::IAttributes* attributes = nullptr;
};

EngineSettingsFile readThroughEngine(IrrlichtDevice* device, const std::string& path) {
    EngineSettingsFile result;
    io::IFileSystem* fs = device->getFileSystem();
    io::IXMLReader* reader = fs->createXMLReader(io::path(path.c_str()));
    if (!reader)
        return result;
    while (reader->read())
        if (reader->getNodeType() == io::EXN_ELEMENT) {
            result.rootElement = reader->getNodeName();
            break;
        }
    result.attributes = fs->createEmptyAttributes();
    result.attributes->read(reader, true, L"Game");
    reader->drop();
    return result;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class GameSettingsTest : public ::testing::Test {
protected:
    void TearDown() override { gameSettings = nullptr; }

    std::string configPath() const { return dir.file(configName); }
    std::string badPath() const { return dir.file(std::string(configName) + ".bad"); }

    // Loads with the global pointing at the object; answers what the load logged.
    std::string loadCapturing(GameSettings& settings, bool defaults = false) {
        gameSettings = &settings;
        ::testing::internal::CaptureStdout();
        settings.load(defaults);
        return ::testing::internal::GetCapturedStdout();
    }
    std::string saveCapturing(GameSettings& settings) {
        ::testing::internal::CaptureStdout();
        settings.save();
        return ::testing::internal::GetCapturedStdout();
    }

    void writeTextFile(const std::string& body) {
        ASSERT_TRUE(test::writeFileBytes(configPath(),
                                         "<?xml version=\"1.0\"?>\n<Game>\n" + body + "</Game>\n"));
    }

    std::vector<std::string> folderEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            names.push_back(entry.path().filename().string());
        return names;
    }

    test::TempDir dir;
    test::ScopedWorkingDir workingDir{dir.path()};
    test::NullDevice engine;
};

TEST_F(GameSettingsTest, WithoutAFileSaveWritesEveryKeyWithItsDefault) {
    ::testing::internal::CaptureStdout();
    { GameSettings quiet; }
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << "the settings' own engine services say nothing";
    GameSettings settings;
    const std::string log = loadCapturing(settings);
    EXPECT_EQ(lines(log).size(), 1u) << log; // the first run says the file is missing
    saveCapturing(settings);

    const std::string bytes = test::readFileBytes(configPath());
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u); // UTF-8, no mark

    EngineSettingsFile file = readThroughEngine(engine.get(), configPath());
    ASSERT_NE(file.attributes, nullptr);
    EXPECT_EQ(file.rootElement, L"Game");
    io::IAttributes* a = file.attributes;

    const char* everyKey[] = {
        "Game_Difficulty",         "Game_Language",           "Game_NoSwitchMode",
        "Game_PhysicsDetail",      "Game_PhysicsThreads",     "KM_HorizontalSensitivity",
        "KM_VerticalSensitivity",  "KM_ScrollSensitivity",    "Gamepad_StickSensitivity",
        "Gamepad_Vibration",       "Joystick_IgnoreInput",    "Joystick_StickSensitivity",
        "Graphics_ScreenWidth",    "Graphics_ScreenHeight",   "Graphics_FullscreenMode",
        "Graphics_Vsync",          "Graphics_Antialiasing",   "Graphics_Overscan",
        "Graphics_Quality",        "Graphics_Shadows",        "Graphics_ShadowQuality",
        "Graphics_ShadowDistance", "Graphics_Reflection",     "Audio_SFXVolume",
        "Audio_VoiceoverVolume",   "Audio_MusicVolume",       "Audio_AudioOutput",
        "Audio_Subtitles",         "Audio_BlackBoxSubtitles", "Audio_MuteOnFocusLost",
        "Mod_EnablePopups",        "Mod_ShowLevelTimer",      "System_DemoMode",
        "System_LogTriggers",      "System_MultiTaro",        "Graphics_Driver"};
    EXPECT_EQ(a->getAttributeCount(), std::size(everyKey));
    for (const char* key : everyKey)
        EXPECT_TRUE(a->existsAttribute(key)) << key;

    // Each key with its type and default.
    for (const SettingDefinition& d : settingDefinitions()) {
        SCOPED_TRACE(d.key);
        switch (d.type) {
        case SettingType::Int:
            EXPECT_EQ(a->getAttributeType(d.key), io::EAT_INT);
            EXPECT_EQ(a->getAttributeAsInt(d.key), static_cast<int>(d.defaultNumber));
            break;
        case SettingType::Float:
            EXPECT_EQ(a->getAttributeType(d.key), io::EAT_FLOAT);
            EXPECT_FLOAT_EQ(a->getAttributeAsFloat(d.key), static_cast<float>(d.defaultNumber));
            break;
        case SettingType::Bool:
            EXPECT_EQ(a->getAttributeType(d.key), io::EAT_BOOL);
            EXPECT_EQ(a->getAttributeAsBool(d.key), d.defaultNumber != 0.0);
            break;
        case SettingType::Text:
            EXPECT_EQ(a->getAttributeType(d.key), io::EAT_STRING);
            EXPECT_STREQ(a->getAttributeAsString(d.key).c_str(), d.defaultText);
            break;
        }
    }

    // The defaults the game relies on.
    EXPECT_EQ(a->getAttributeAsInt("Game_Difficulty"), 1);
    EXPECT_EQ(a->getAttributeAsInt("Game_PhysicsThreads"), 2);
    EXPECT_EQ(a->getAttributeAsInt("Game_PhysicsDetail"), 2);
    EXPECT_EQ(a->getAttributeAsInt("Graphics_Quality"), 0);
    EXPECT_TRUE(a->getAttributeAsBool("Graphics_Shadows"));
    EXPECT_EQ(a->getAttributeAsInt("Graphics_ShadowQuality"), 2048);
    EXPECT_EQ(a->getAttributeAsInt("Graphics_ShadowDistance"), 1);
    EXPECT_EQ(a->getAttributeAsInt("Graphics_ScreenWidth"), 1280);
    EXPECT_EQ(a->getAttributeAsInt("Graphics_ScreenHeight"), 720);
    EXPECT_FALSE(a->getAttributeAsBool("Graphics_Vsync"));
    EXPECT_EQ(a->getAttributeAsInt("Audio_AudioOutput"), -1);
    EXPECT_FLOAT_EQ(a->getAttributeAsFloat("Audio_MusicVolume"), 1.0f);
    EXPECT_FLOAT_EQ(a->getAttributeAsFloat("KM_HorizontalSensitivity"), 1.0f);
    EXPECT_TRUE(a->getAttributeAsBool("Mod_EnablePopups"));
    EXPECT_FALSE(a->getAttributeAsBool("System_DemoMode"));
    EXPECT_STREQ(a->getAttributeAsString("Game_Language").c_str(), "English");
    EXPECT_STREQ(a->getAttributeAsString("Graphics_Driver").c_str(), "OpenGL");
    const struct {
        const char* key;
        bool on;
    } switches[] = {{"Gamepad_Vibration", true},     {"Audio_Subtitles", true},
                    {"Audio_MuteOnFocusLost", true},  {"Graphics_Reflection", true},
                    {"Audio_BlackBoxSubtitles", false}, {"Mod_ShowLevelTimer", false},
                    {"Joystick_IgnoreInput", false},  {"Game_NoSwitchMode", false},
                    {"Graphics_Overscan", false},     {"System_MultiTaro", false},
                    {"System_LogTriggers", false}};
    for (const auto& entry : switches)
        EXPECT_EQ(a->getAttributeAsBool(entry.key), entry.on) << entry.key;
    EXPECT_EQ(a->getAttributeAsInt("Graphics_FullscreenMode"), 0);
    EXPECT_EQ(a->getAttributeAsInt("Graphics_Antialiasing"), 0);
    EXPECT_FLOAT_EQ(a->getAttributeAsFloat("Audio_SFXVolume"), 1.0f);
    EXPECT_FLOAT_EQ(a->getAttributeAsFloat("Audio_VoiceoverVolume"), 1.0f);
    a->drop();
}

TEST_F(GameSettingsTest, AFileWithoutPhysicsThreadsGetsItBackAsTwo) {
    writeTextFile("<int name=\"Game_Difficulty\" value=\"2\" />\n"
                  "<float name=\"KM_HorizontalSensitivity\" value=\"1.5\" />\n");
    GameSettings settings;
    EXPECT_EQ(loadCapturing(settings), "");
    EXPECT_EQ(getSettingInt("Game_PhysicsThreads"), 2);
    EXPECT_EQ(getSettingInt("Game_Difficulty"), 2);
    EXPECT_FLOAT_EQ(getSettingFloat("KM_HorizontalSensitivity"), 1.5f);
    saveCapturing(settings);

    EngineSettingsFile file = readThroughEngine(engine.get(), configPath());
    ASSERT_NE(file.attributes, nullptr);
    EXPECT_EQ(file.attributes->getAttributeType("Game_PhysicsThreads"), io::EAT_INT);
    EXPECT_EQ(file.attributes->getAttributeAsInt("Game_PhysicsThreads"), 2);
    EXPECT_EQ(file.attributes->getAttributeAsInt("Game_Difficulty"), 2);
    file.attributes->drop();
}

TEST_F(GameSettingsTest, EditedValuesSurviveALoadSaveCycle) {
    {
        GameSettings settings;
        loadCapturing(settings);
        setSettingInt("Graphics_ScreenWidth", 1920);
        setSettingFloat("Audio_MusicVolume", 0.25f);
        setSettingBool("Graphics_Shadows", false);
        setSettingString("Game_Language", L"Fran\u00e7ais <\"&>");
        setSettingString("Graphics_Driver", "Burnings");
        EXPECT_EQ(saveCapturing(settings), "");
    }
    GameSettings settings;
    EXPECT_EQ(loadCapturing(settings), "");
    EXPECT_EQ(getSettingInt("Graphics_ScreenWidth"), 1920);
    EXPECT_FLOAT_EQ(getSettingFloat("Audio_MusicVolume"), 0.25f);
    EXPECT_FALSE(getSettingBool("Graphics_Shadows"));
    EXPECT_EQ(getSettingStringW("Game_Language"), L"Fran\u00e7ais <\"&>");
    EXPECT_EQ(getSettingString("Game_Language"), "Fran\xC3\xA7"
                                                 "ais <\"&>");
    EXPECT_EQ(getSettingString("Graphics_Driver"), "Burnings");
}

TEST_F(GameSettingsTest, LoadWithDefaultsRestoresEveryDefault) {
    GameSettings settings;
    loadCapturing(settings);
    for (const SettingDefinition& d : settingDefinitions()) {
        switch (d.type) {
        case SettingType::Int:
            setSettingInt(d.key, static_cast<int>(d.defaultNumber) + 1);
            break;
        case SettingType::Float:
            setSettingFloat(d.key, static_cast<float>(d.defaultNumber) * 0.5f + 0.1f);
            break;
        case SettingType::Bool:
            setSettingBool(d.key, d.defaultNumber == 0.0);
            break;
        case SettingType::Text:
            setSettingString(d.key, "Changed");
            break;
        }
    }
    saveCapturing(settings);

    int reads = 0;
    struct Counter {
        int* reads;
        void count() { ++*reads; }
    } counter{&reads};
    settings.onBeforeRead.addMember(&counter, &Counter::count);
    EXPECT_EQ(loadCapturing(settings, true), "");
    EXPECT_EQ(reads, 0); // the file is not read

    EXPECT_EQ(settings.getAttributes()->getAttributeCount(), settingDefinitions().size());
    for (const SettingDefinition& d : settingDefinitions()) {
        SCOPED_TRACE(d.key);
        switch (d.type) {
        case SettingType::Int:
            EXPECT_EQ(getSettingInt(d.key), static_cast<int>(d.defaultNumber));
            break;
        case SettingType::Float:
            EXPECT_FLOAT_EQ(getSettingFloat(d.key), static_cast<float>(d.defaultNumber));
            break;
        case SettingType::Bool:
            EXPECT_EQ(getSettingBool(d.key), d.defaultNumber != 0.0);
            break;
        case SettingType::Text:
            EXPECT_EQ(getSettingString(d.key), d.defaultText);
            break;
        }
    }
}

TEST_F(GameSettingsTest, ReadsWithoutSettingsAnswerZeroAndWritesDoNothing) {
    gameSettings = nullptr;
    EXPECT_EQ(getSettingInt("Game_Difficulty"), 0);
    EXPECT_EQ(getSettingFloat("Audio_MusicVolume"), 0.0f);
    EXPECT_FALSE(getSettingBool("Graphics_Shadows"));
    EXPECT_EQ(getSettingString("Game_Language"), "");
    EXPECT_EQ(getSettingStringW("Game_Language"), L"");
    setSettingInt("Game_Difficulty", 2);

    // A settings object whose attribute set does not exist yet answers the same.
    GameSettings settings;
    gameSettings = &settings;
    ASSERT_EQ(settings.getAttributes(), nullptr);
    setSettingBool("Graphics_Shadows", true);
    EXPECT_EQ(getSettingInt("Game_PhysicsThreads"), 0);
    EXPECT_FALSE(getSettingBool("Graphics_Shadows"));
    EXPECT_EQ(getSettingString("Graphics_Driver"), "");
    EXPECT_EQ(getSettingInt(nullptr), 0);
    // Saving without a loaded set writes nothing.
    EXPECT_TRUE(contains(saveCapturing(settings), "ERROR: "));
    EXPECT_FALSE(std::filesystem::exists(configPath()));
}

// A missing key names no setting even when a set is loaded: reads answer zero, writes change nothing.
TEST_F(GameSettingsTest, ANullKeyReadsZeroAndWritesNothingWithLoadedSettings) {
    writeTextFile("<int name=\"Game_Difficulty\" value=\"2\" />\n");
    GameSettings settings;
    loadCapturing(settings);
    ASSERT_NE(settings.getAttributes(), nullptr);
    const auto count = settings.getAttributes()->getAttributeCount();
    EXPECT_EQ(getSettingInt(nullptr), 0);
    EXPECT_EQ(getSettingFloat(nullptr), 0.0f);
    EXPECT_FALSE(getSettingBool(nullptr));
    EXPECT_EQ(getSettingString(nullptr), "");
    EXPECT_EQ(getSettingStringW(nullptr), L"");
    setSettingInt(nullptr, 3);
    setSettingFloat(nullptr, 0.5f);
    setSettingBool(nullptr, true);
    setSettingString(nullptr, "x");
    setSettingString(nullptr, L"x");
    EXPECT_EQ(settings.getAttributes()->getAttributeCount(), count);
    EXPECT_EQ(getSettingInt("Game_Difficulty"), 2);
}

TEST_F(GameSettingsTest, ValuesOutsideTheirRangeAreClampedWithAWarning) {
    writeTextFile("<int name=\"Game_PhysicsThreads\" value=\"25\" />\n"
                  "<int name=\"Game_Difficulty\" value=\"-3\" />\n"
                  "<float name=\"Audio_SFXVolume\" value=\"1.5\" />\n"
                  "<string name=\"Graphics_Driver\" value=\"Direct3D11\" />\n"
                  "<int name=\"Graphics_Quality\" value=\"2\" />\n");
    GameSettings settings;
    const std::vector<std::string> log = lines(loadCapturing(settings));
    EXPECT_EQ(log.size(), 4u);
    for (const std::string& line : log)
        EXPECT_EQ(line.rfind("Warning: ", 0), 0u) << line;
    EXPECT_EQ(getSettingInt("Game_PhysicsThreads"), 10);
    EXPECT_EQ(getSettingInt("Game_Difficulty"), 0);
    EXPECT_FLOAT_EQ(getSettingFloat("Audio_SFXVolume"), 1.0f);
    EXPECT_EQ(getSettingString("Graphics_Driver"), "OpenGL");
    EXPECT_EQ(getSettingInt("Graphics_Quality"), 2);
    // Values out of range do not make the file unreadable.
    EXPECT_FALSE(std::filesystem::exists(badPath()));
}

TEST_F(GameSettingsTest, StoredDifficultyIsHeldToItsRangeAtBothEnds) {
    struct Row {
        const char* stored;
        int read;
        bool warned;
    };
    for (const Row& row :
         {Row{"0", 0, false}, Row{"-1", 0, true}, Row{"2", 2, false}, Row{"3", 2, true}}) {
        writeTextFile(std::string("<int name=\"Game_Difficulty\" value=\"") + row.stored +
                      "\" />\n");
        GameSettings settings;
        const std::string log = loadCapturing(settings);
        EXPECT_EQ(getSettingInt("Game_Difficulty"), row.read) << row.stored;
        EXPECT_EQ(contains(log, "Warning: Setting \"Game_Difficulty\""), row.warned)
            << row.stored << log;
    }
}

TEST_F(GameSettingsTest, AScreenSizeBelowTheSmallestOfferedFallsBackWithOneLineAndIsSavedSo) {
    struct Row {
        int width, height;
        bool kept;
    };
    unsetenv(smallWindowsVariable);
    for (const Row& row : {Row{800, 600, true}, Row{799, 600, false}, Row{800, 599, false}, Row{1, 1, false}}) {
        writeTextFile("<int name=\"Graphics_ScreenWidth\" value=\"" + std::to_string(row.width) + "\" />\n" +
                      "<int name=\"Graphics_ScreenHeight\" value=\"" + std::to_string(row.height) + "\" />\n");
        GameSettings settings;
        const std::vector<std::string> log = lines(loadCapturing(settings));
        const int width = row.kept ? row.width : 1280, height = row.kept ? row.height : 720;
        EXPECT_EQ(getSettingInt("Graphics_ScreenWidth"), width) << row.width << " x " << row.height;
        EXPECT_EQ(getSettingInt("Graphics_ScreenHeight"), height) << row.width << " x " << row.height;
        const std::string line = "Warning: Settings \"Graphics_ScreenWidth\" x \"Graphics_ScreenHeight\" give " +
                                 std::to_string(row.width) + " x " + std::to_string(row.height) +
                                 ", smaller than the smallest screen size offered (800 x 600); using 1280 x 720.";
        EXPECT_EQ(log, row.kept ? std::vector<std::string>{} : std::vector<std::string>{line});
        // The file gets the usable size: the next start opens a window one can use.
        saveCapturing(settings);
        EngineSettingsFile saved = readThroughEngine(engine.get(), configPath());
        ASSERT_NE(saved.attributes, nullptr);
        EXPECT_EQ(saved.attributes->getAttributeAsInt("Graphics_ScreenWidth"), width);
        EXPECT_EQ(saved.attributes->getAttributeAsInt("Graphics_ScreenHeight"), height);
        saved.attributes->drop();
    }
    // The gl tests keep their small pictures: they say so.
    setenv(smallWindowsVariable, "1", 1);
    writeTextFile("<int name=\"Graphics_ScreenWidth\" value=\"640\" />\n"
                  "<int name=\"Graphics_ScreenHeight\" value=\"480\" />\n");
    GameSettings settings;
    EXPECT_EQ(lines(loadCapturing(settings)), std::vector<std::string>{});
    EXPECT_EQ(getSettingInt("Graphics_ScreenHeight"), 480);
    unsetenv(smallWindowsVariable);
}

TEST(SettingsTableTest, RangedValuesStandOnTheirBoundsAndAreHeldOnePastThem) {
    const struct Row {
        const char* key;
        const wchar_t* text;
        SettingCheck check;
        double read;
    } rows[] = {
        {"Graphics_Antialiasing", L"16", SettingCheck::Accepted, 16},
        {"Graphics_Antialiasing", L"17", SettingCheck::Adjusted, 16},
        {"Graphics_Antialiasing", L"-1", SettingCheck::Adjusted, 0},
        {"Graphics_FullscreenMode", L"2", SettingCheck::Accepted, 2},
        {"Graphics_FullscreenMode", L"3", SettingCheck::Adjusted, 2},
        {"Graphics_ShadowQuality", L"8192", SettingCheck::Accepted, 8192},
        {"Graphics_ShadowQuality", L"8193", SettingCheck::Adjusted, 8192},
        {"Graphics_ShadowQuality", L"1", SettingCheck::Accepted, 1},
        {"Graphics_ShadowQuality", L"0", SettingCheck::Adjusted, 1},
        {"Graphics_Quality", L"2", SettingCheck::Accepted, 2},
        {"Graphics_Quality", L"3", SettingCheck::Adjusted, 2},
        {"Game_PhysicsThreads", L"10", SettingCheck::Accepted, 10},
        {"Game_PhysicsThreads", L"0", SettingCheck::Accepted, 0},
        {"Audio_VoiceoverVolume", L"1", SettingCheck::Accepted, 1},
        {"Audio_VoiceoverVolume", L"1.5", SettingCheck::Adjusted, 1},
        {"Audio_SFXVolume", L"0", SettingCheck::Accepted, 0},
        {"Audio_SFXVolume", L"1.5", SettingCheck::Adjusted, 1},
        {"Audio_MusicVolume", L"-0.5", SettingCheck::Adjusted, 0},
        // A screen side of 0 or less is no size: the default, not the smallest.
        {"Graphics_ScreenWidth", L"16384", SettingCheck::Accepted, 16384},
        {"Graphics_ScreenWidth", L"16385", SettingCheck::Adjusted, 16384},
        {"Graphics_ScreenWidth", L"0", SettingCheck::Adjusted, 1280},
        {"Graphics_ScreenHeight", L"1", SettingCheck::Accepted, 1},
        {"Graphics_ScreenHeight", L"-5", SettingCheck::Adjusted, 720},
    };
    for (const Row& row : rows) {
        const SettingDefinition* definition = findSettingDefinition(row.key);
        ASSERT_NE(definition, nullptr) << row.key;
        SettingValue value;
        EXPECT_EQ(parseSettingValue(*definition, row.text, value), row.check) << row.key;
        EXPECT_EQ(value.number, row.read) << row.key;
    }
}

TEST_F(GameSettingsTest, VideoDriverNamesAreMatchedWithoutCase) {
    writeTextFile("<string name=\"Graphics_Driver\" value=\"burnings\" />\n");
    GameSettings settings;
    EXPECT_EQ(loadCapturing(settings), "");
    EXPECT_EQ(getSettingString("Graphics_Driver"), "Burnings");
}

// A broken file: one clear log line, the readable values kept, the rest defaults, the
// player's file kept aside until a good file is written.
class BrokenSettingsFileTest : public GameSettingsTest {
protected:
    void expectKeptAside(const std::string& log, const std::string& original) {
        const std::vector<std::string> logLines = lines(log);
        ASSERT_EQ(logLines.size(), 1u) << log;
        EXPECT_EQ(logLines[0].rfind("ERROR: ", 0), 0u) << logLines[0];
        EXPECT_TRUE(contains(logLines[0], "PaddlestoneConfig.xml.bad")) << logLines[0];
        EXPECT_TRUE(contains(logLines[0], "; the settings it could not give take their defaults.")) << logLines[0];
        EXPECT_EQ(test::readFileBytes(badPath()), original);
        EXPECT_FALSE(std::filesystem::exists(configPath()));
    }
    void expectGoodFileAfterSave(GameSettings& settings, const std::string& original) {
        EXPECT_EQ(saveCapturing(settings), "");
        EngineSettingsFile file = readThroughEngine(engine.get(), configPath());
        ASSERT_NE(file.attributes, nullptr);
        EXPECT_EQ(file.attributes->getAttributeCount(), settingDefinitions().size());
        file.attributes->drop();
        EXPECT_EQ(test::readFileBytes(badPath()), original);
    }
};

TEST_F(BrokenSettingsFileTest, TruncatedFileKeepsWhatWasReadBeforeTheCut) {
    {
        GameSettings settings;
        loadCapturing(settings);
        setSettingInt("Game_Difficulty", 2);      // first key of the file
        setSettingBool("System_MultiTaro", true); // last key of the file
        saveCapturing(settings);
    }
    std::string original = test::readFileBytes(configPath());
    original.resize(original.size() * 6 / 10);
    ASSERT_TRUE(test::writeFileBytes(configPath(), original));

    GameSettings settings;
    const std::string log = loadCapturing(settings);
    expectKeptAside(log, original);
    EXPECT_TRUE(contains(log, "ends early")) << log;
    EXPECT_EQ(getSettingInt("Game_Difficulty"), 2);
    EXPECT_FALSE(getSettingBool("System_MultiTaro"));
    expectGoodFileAfterSave(settings, original);
}

// Files that are cut or not settings at all: the values read before the break are kept, the
// rest take their defaults, and a save writes a good file beside the kept-aside one.
TEST_F(BrokenSettingsFileTest, UnreadableFilesKeepWhatWasReadAndGiveTheDefaults) {
    const struct {
        const char* name;
        std::string original;
        std::vector<std::pair<const char*, int>> settings;
    } rows[] = {
        {"a cut through a value does not keep the partial value",
         "<?xml version=\"1.0\"?>\n<Game>\n"
         "<int name=\"Graphics_ScreenHeight\" value=\"1080\" />\n"
         "<int name=\"Graphics_ScreenWidth\" value=\"19",
         {{"Graphics_ScreenHeight", 1080}, {"Graphics_ScreenWidth", 1280}}},
        {"a file that is not XML gives the defaults",
         "Graphics_ScreenWidth = 1920\nthis is not a settings file\n",
         {{"Graphics_ScreenWidth", 1280}, {"Game_PhysicsThreads", 2}}},
        {"an empty file gives the defaults", "", {{"Game_Difficulty", 1}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove(badPath());
        ASSERT_TRUE(test::writeFileBytes(configPath(), row.original));
        GameSettings settings;
        ASSERT_NO_FATAL_FAILURE(expectKeptAside(loadCapturing(settings), row.original));
        for (const auto& [key, value] : row.settings)
            EXPECT_EQ(getSettingInt(key), value) << key;
        ASSERT_NO_FATAL_FAILURE(expectGoodFileAfterSave(settings, row.original));
    }
}

// A link to nothing or a folder where the file should be: the reason is told, the thing is
// kept aside and every setting takes its default.
TEST_F(BrokenSettingsFileTest, ALinkToNothingOrAFolderInTheFilesPlaceIsKeptAsideWithItsReason) {
    const struct {
        const char* name;
        const char* reason;
    } rows[] = {{"link", "(it cannot be opened: No such file or directory)"},
                {"folder", "(it is a folder, not a file)"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(badPath());
        if (std::string(row.name) == "link")
            std::filesystem::create_symlink(configPath() + ".gone", configPath());
        else
            std::filesystem::create_directories(configPath() + "/inside");
        GameSettings settings;
        const std::vector<std::string> logLines = lines(loadCapturing(settings));
        ASSERT_EQ(logLines.size(), 1u);
        EXPECT_EQ(logLines[0].rfind("ERROR: ", 0), 0u) << logLines[0];
        EXPECT_TRUE(contains(logLines[0], row.reason)) << logLines[0];
        EXPECT_TRUE(contains(logLines[0], "PaddlestoneConfig.xml.bad")) << logLines[0];
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(configPath())));
        EXPECT_TRUE(std::filesystem::exists(std::filesystem::symlink_status(badPath())));
        EXPECT_EQ(getSettingInt("Game_Difficulty"), 1);
    }
}

TEST_F(BrokenSettingsFileTest, ValuesOfTheWrongTypeTakeTheirDefaults) {
    writeTextFile("<int name=\"Game_Difficulty\" value=\"hard\" />\n"
                  "<bool name=\"Audio_Subtitles\" value=\"maybe\" />\n"
                  "<float name=\"Audio_MusicVolume\" value=\"loud\" />\n"
                  "<int name=\"Graphics_ScreenWidth\" value=\"1920.5\" />\n"
                  "<int name=\"Game_PhysicsDetail\" value=\"1\" />\n"
                  "<bool name=\"Graphics_Vsync\" value=\"true\" />\n");
    const std::string original = test::readFileBytes(configPath());
    GameSettings settings;
    const std::string log = loadCapturing(settings);
    expectKeptAside(log, original);
    for (const char* key :
         {"Game_Difficulty", "Audio_Subtitles", "Audio_MusicVolume", "Graphics_ScreenWidth"})
        EXPECT_TRUE(contains(log, key)) << key;
    EXPECT_EQ(getSettingInt("Game_Difficulty"), 1);
    EXPECT_TRUE(getSettingBool("Audio_Subtitles"));
    EXPECT_FLOAT_EQ(getSettingFloat("Audio_MusicVolume"), 1.0f);
    EXPECT_EQ(getSettingInt("Graphics_ScreenWidth"), 1280);
    EXPECT_EQ(getSettingInt("Game_PhysicsDetail"), 1);
    EXPECT_TRUE(getSettingBool("Graphics_Vsync"));
    expectGoodFileAfterSave(settings, original);
}

TEST_F(BrokenSettingsFileTest, FileThatCannotBeKeptAsideIsNeverWrittenOver) {
    const std::string original = "not a settings file";
    ASSERT_TRUE(test::writeFileBytes(configPath(), original));
    // A folder that is not empty under the kept-aside name makes the rename fail.
    std::filesystem::create_directory(badPath());
    ASSERT_TRUE(test::writeFileBytes(badPath() + "/keep", "x"));

    GameSettings settings;
    const std::string log = loadCapturing(settings);
    EXPECT_EQ(lines(log).size(), 1u) << log;
    EXPECT_TRUE(contains(log, "could not be kept aside")) << log;
    EXPECT_TRUE(contains(saveCapturing(settings), "ERROR: "));
    EXPECT_EQ(test::readFileBytes(configPath()), original);
    // Resetting to the defaults does not make it safe either.
    loadCapturing(settings, true);
    saveCapturing(settings);
    EXPECT_EQ(test::readFileBytes(configPath()), original);
}

TEST_F(GameSettingsTest, FailedSaveKeepsTheOldFile) {
    GameSettings settings;
    loadCapturing(settings);
    setSettingInt("Game_Difficulty", 2);
    saveCapturing(settings);
    const std::string before = test::readFileBytes(configPath());
    ASSERT_GT(before.size(), 1500u);

    setSettingInt("Game_Difficulty", 0);
    std::string log;
    {
        test::FileSizeLimit limit(1000); // the disk fills up part-way
        log = saveCapturing(settings);
    }
    EXPECT_TRUE(contains(log, "ERROR: ")) << log;
    EXPECT_EQ(test::readFileBytes(configPath()), before);
    EXPECT_EQ(folderEntries(), std::vector<std::string>{configName}); // no temporary left

    EXPECT_EQ(saveCapturing(settings), "");
    GameSettings reread;
    loadCapturing(reread);
    EXPECT_EQ(getSettingInt("Game_Difficulty"), 0);
}

TEST_F(GameSettingsTest, AccessHooksRunAroundTheFile) {
    std::vector<std::string> calls;
    struct Recorder {
        std::vector<std::string>* calls;
        void beforeRead() { calls->push_back("read"); }
        void beforeWrite() { calls->push_back("write"); }
        void after() { calls->push_back("after"); }
    } recorder{&calls};
    GameSettings settings;
    settings.onBeforeRead.addMember(&recorder, &Recorder::beforeRead);
    settings.onBeforeWrite.addMember(&recorder, &Recorder::beforeWrite);
    settings.onAfterAccess.addMember(&recorder, &Recorder::after);

    loadCapturing(settings); // no file yet: nothing is read
    EXPECT_TRUE(calls.empty());
    saveCapturing(settings);
    loadCapturing(settings);
    EXPECT_EQ(calls, (std::vector<std::string>{"write", "after", "read", "after"}));
}

TEST(SettingsTableTest, ValueTextsAreCheckedAgainstTheKeyType) {
    const SettingDefinition& threads = *findSettingDefinition("Game_PhysicsThreads");
    const SettingDefinition& volume = *findSettingDefinition("Audio_MusicVolume");
    const SettingDefinition& vsync = *findSettingDefinition("Graphics_Vsync");
    SettingValue v;
    EXPECT_EQ(parseSettingValue(threads, L" 4 ", v), SettingCheck::Accepted);
    EXPECT_EQ(v.number, 4.0);
    EXPECT_EQ(parseSettingValue(threads, L"4x", v), SettingCheck::WrongType);
    EXPECT_EQ(parseSettingValue(threads, L"", v), SettingCheck::WrongType);
    EXPECT_EQ(parseSettingValue(threads, L"2147483648", v), SettingCheck::WrongType);
    EXPECT_EQ(parseSettingValue(threads, nullptr, v), SettingCheck::WrongType);
    EXPECT_EQ(parseSettingValue(volume, L"0.5", v), SettingCheck::Accepted);
    EXPECT_EQ(parseSettingValue(volume, L"1", v), SettingCheck::Accepted);
    EXPECT_EQ(parseSettingValue(volume, L"nan", v), SettingCheck::WrongType);
    EXPECT_EQ(parseSettingValue(volume, L"-0.5", v), SettingCheck::Adjusted);
    EXPECT_EQ(v.number, 0.0);
    EXPECT_EQ(parseSettingValue(vsync, L"TRUE", v), SettingCheck::Accepted);
    EXPECT_EQ(v.number, 1.0);
    EXPECT_EQ(parseSettingValue(vsync, L"0", v), SettingCheck::Accepted);
    EXPECT_EQ(v.number, 0.0);
    EXPECT_EQ(parseSettingValue(vsync, L" 1 ", v), SettingCheck::Accepted);
    EXPECT_EQ(v.number, 1.0);
    EXPECT_EQ(parseSettingValue(vsync, L"yes", v), SettingCheck::WrongType);
    EXPECT_EQ(findSettingDefinition("Game_Unknown"), nullptr);
    // A text at its length limit stands; one character more is no value.
    const SettingDefinition& language = *findSettingDefinition("Game_Language");
    const std::wstring longest(maxSettingTextLength, L'a');
    EXPECT_EQ(parseSettingValue(language, longest.c_str(), v), SettingCheck::Accepted);
    EXPECT_EQ(v.text, longest);
    EXPECT_EQ(parseSettingValue(language, (longest + L"a").c_str(), v), SettingCheck::Adjusted);
    EXPECT_EQ(v.text, L"English");
}

} // namespace
