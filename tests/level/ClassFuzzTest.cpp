// Random level content of the classes a hostile level has used to take the game down: trigger
// graphs that run one another, animators of any type, GUI layouts and their sub-layouts, and
// the language and notification tables. Each generator runs for a budget of wall time under
// the sanitizers; none may crash, hang, or leave a bound broken. PADDLESTONE_FUZZ_SECONDS sets
// the budget of each (tools/fuzz-levels.sh runs the long mode), PADDLESTONE_FUZZ_SEED changes
// the sequence.
#include "LevelTestSupport.h"

#include "characters/animators/AnimatorBase.h"
#include "core/FileChecks.h"
#include "core/Globals.h"
#include "core/LoadBudget.h"
#include "core/LanguageManager.h"
#include "gui/GUIElementFactory.h"
#include "gui/GuiLayout.h"
#include "gui/hud/GUINotification.h"
#include "level/SaveManager.h"
#include "render/SpriteAnimation.h"
#include "triggers/TriggerRegistration.h"
#include "triggers/TriggerRunBudget.h"
#include "triggers/actions/TriggerActionRegistration.h"
#include "support/FuzzOptions.h"
#include "support/FuzzWatch.h"

#include <irrlicht.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

using namespace irr;

namespace {

class ClassFuzzTest : public test::HostileFilesFixture {
protected:
    void SetUp() override {
        HostileFilesFixture::SetUp();
        random.seed(test::fuzzSeed());
    }

    // Runs the round until the budget is spent, at least twice; the number of rounds run.
    // Each round is one input under the time limit of one (support/FuzzWatch.h).
    int runFor(const std::function<void(int round)>& round) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(test::fuzzSeconds(2.0));
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        test::FuzzWatch watch;
        int rounds = 0;
        // The first two rounds run whatever the budget: tests steer them to each side of a bound,
        // so both sides are taken however slow the machine is.
        while ((rounds < 2 || std::chrono::steady_clock::now() < end) && !HasFatalFailure()) {
            watch.begin(name + " round " + std::to_string(rounds) + " of seed " + std::to_string(test::fuzzSeed()));
            round(rounds++);
            watch.end();
            if (log.lines.size() > 1000)
                log.lines.clear();
        }
        return rounds;
    }

    int pick(int below) { return std::uniform_int_distribution<int>(0, below - 1)(random); }
    template <class T, std::size_t N> const T& oneOf(const T (&items)[N]) { return items[pick(static_cast<int>(N))]; }
    // A number from the edges a file may hold.
    std::string anyNumber() {
        static const char* const edges[] = {"0", "1", "-1", "2", "7", "64", "65", "168", "169", "256", "1000", "1001",
                                            "2147483647", "-2147483648", "99999999999", "nan", "1e39", "x"};
        return pick(3) == 0 ? std::to_string(pick(100000) - 50000) : std::string(oneOf(edges));
    }
    std::string anyText() {
        static const std::size_t lengths[] = {0, 1, 2047, 2048, 2049, 100000};
        return std::string(lengths[pick(6)], static_cast<char>('a' + pick(26)));
    }

    std::mt19937 random;
};

std::string levelOf(const std::string& nodes) {
    return "<?xml version=\"1.0\"?>\n<irr_scene>\n" + nodes + "</irr_scene>\n";
}

std::string attribute(const char* kind, const std::string& name, const std::string& value) {
    return std::string("<") + kind + " name=\"" + name + "\" value=\"" + value + "\" />";
}

} // namespace

// Triggers whose events run one another at once, themselves, or triggers that do not exist,
// with delays of every sign, next to spawn pools of large templates: every frame stays within
// its runs, every level within its budget of nodes, each with at most one line per level.
TEST_F(ClassFuzzTest, RandomTriggerGraphsStayWithinTheirBounds) {
    registerTriggerTypes();
    registerTriggerActions();
    simulateRunningPhysics();
    int boundedRuns = 0, boundedPools = 0;
    const int rounds = runFor([&](int round) {
        // Round 0 meets both bounds (every trigger runs the next twice and fills a pool of the
        // largest template); round 1 is a lone trigger without events.
        const bool bounded = round == 0, quiet = round == 1;
        const int triggers = bounded ? 30 : quiet ? 1 : 1 + pick(30);
        // A template of up to 400 nodes for the pools.
        std::string nodes = "<node type=\"LevelObject\"><attributes>" + attribute("int", "Id", "9000") + "</attributes>";
        for (int k = bounded ? 400 : pick(400); k > 0; --k)
            nodes += "<node type=\"LevelObject\"><attributes></attributes></node>";
        nodes += "</node>\n";
        for (int t = 0; t < triggers; ++t) {
            static const char* const conditions[] = {"Immediately", "Immediately", "Manual Activation Only"};
            nodes += "<node type=\"TriggerObject\"><attributes>" + attribute("int", "Id", std::to_string(1000 + t)) +
                     attribute("enum", "TriggerCondition", bounded ? "Immediately" : oneOf(conditions)) + "</attributes>";
            for (int e = bounded ? 3 : quiet ? 0 : pick(5); e > 0; --e) {
                static const char* const delays[] = {"0", "0", "0", "-1", "0.01"};
                const bool spawn = bounded ? e == 3 : pick(8) == 0;
                const bool grouped = !bounded && pick(4) == 0;
                if (grouped)
                    nodes += "<node type=\"LevelObject\"><attributes></attributes>";
                nodes += "<node type=\"TriggerEventObject\"><attributes>" +
                         attribute("float", "EventDelay", bounded ? "0" : oneOf(delays));
                if (spawn)
                    nodes += attribute("enum", "OnTriggerEvent", "Spawn Object") +
                             attribute("int", "PoolSize", bounded ? "2147483647" : anyNumber()) +
                             attribute("int", "ObjectID", "9000") + attribute("enum", "SpawnMode", "Manual");
                else
                    nodes += attribute("enum", "OnTriggerEvent", "Run Trigger") +
                             attribute("int", "ObjectID",
                                       std::to_string(1000 + (bounded ? (t + 1) % triggers : pick(triggers + 2))));
                nodes += "</attributes></node>";
                if (grouped)
                    nodes += "</node>";
            }
            nodes += "</node>\n";
        }
        write("Graph.irr", levelOf(nodes));
        log.lines.clear();
        ASSERT_TRUE(manager->loadLevel("Graph.irr"));
        for (int frame = 0; frame < 6; ++frame) {
            manager->update();
            ASSERT_LE(TriggerRun::runsThisFrame(), TriggerRun::maxRunsPerFrame);
        }
        const std::size_t runLines = log.countStartingWith("ERROR: Trigger events run one another");
        std::size_t poolLines = 0;
        for (const std::string& line : log.lines)
            poolLines += line.find("the Spawn Object pools are cut short") != std::string::npos ? 1 : 0;
        EXPECT_LE(runLines, 1u);
        EXPECT_LE(poolLines, 1u);
        boundedRuns += static_cast<int>(runLines);
        boundedPools += static_cast<int>(poolLines);
        // Within the load's budget of nodes (objects may hold nodes of their own besides).
        EXPECT_LE(countNodes(root()), 2 * LoadBudget::gameLimits[LoadBudget::Nodes]);
        manager->unloadLevel();
    });
    // Both ways are taken: some graphs end by themselves, some meet the bounds.
    EXPECT_GT(boundedRuns, 0);
    EXPECT_LT(boundedRuns, rounds);
    EXPECT_GT(boundedPools, 0);
}

// Animators of the game's types, the engine's and made-up names, with values from the edges,
// on nodes of every kind: only the game's types are made, and the level animates.
TEST_F(ClassFuzzTest, RandomAnimatorsAreOnlyTheGamesTypes) {
    static const char* const types[] = {
        "moveStraight", "moveSpline", "animateFrame", "animateTexture", "animateUVs", "animateColor", "animateSpline",
        "parentToObject", "attachToMeshBone", "controlMeshBone", "physicsForce", "moveFlyCircle", "moveRotation",
        "rotateTowards", "swimSpline", "deletion", "flyCircle", "flyStraight", "followSpline", "rotation", "texture",
        "collisionResponse", "cameraFPS", "cameraMaya", "", "MoveRotation", "\xC3\xB6"};
    static const char* const keys[] = {"ID", "ParentID", "TargetObjectID", "JointCount", "JointIndex", "SplineID",
                                       "ObjectID", "DivisionCount", "Speed", "TimeForWay", "Radius", "FrameCount"};
    static const char* const nodeTypes[] = {"LevelObject", "SplineObject", "cube", "empty", "MarkerObject"};
    int made = 0;
    const int rounds = runFor([&](int round) {
        // Round 0 begins with an object that has one of the game's animators and one of the
        // engine's.
        std::string nodes;
        if (round == 0)
            nodes += "<node type=\"LevelObject\"><attributes>" + attribute("int", "Id", "99") +
                     "</attributes><animators><attributes>" + attribute("string", "Type", "moveRotation") +
                     "</attributes><attributes>" + attribute("string", "Type", "deletion") +
                     "</attributes></animators></node>\n";
        for (int n = 1 + pick(12); n > 0; --n) {
            nodes += std::string("<node type=\"") + oneOf(nodeTypes) + "\"><attributes>" +
                     attribute("int", "Id", std::to_string(100 + pick(20))) +
                     attribute("int", "DivisionCount", anyNumber()) + "</attributes><animators>";
            for (int a = pick(4); a > 0; --a) {
                nodes += "<attributes>" + attribute("string", "Type", oneOf(types));
                for (int k = pick(5); k > 0; --k)
                    nodes += attribute("int", oneOf(keys), anyNumber());
                nodes += "</attributes>";
            }
            nodes += "</animators></node>\n";
        }
        write("Animators.irr", levelOf(nodes));
        ASSERT_TRUE(manager->loadLevel("Animators.irr"));
        std::vector<scene::ISceneNode*> open = {root()};
        while (!open.empty()) {
            scene::ISceneNode* node = open.back();
            open.pop_back();
            for (scene::ISceneNodeAnimator* animator : node->getAnimators()) {
                ASSERT_GE(static_cast<s32>(animator->getType()), AnimatorType::MoveStraight);
                ++made;
            }
            for (scene::ISceneNode* child : node->getChildren())
                open.push_back(child);
        }
        for (int frame = 0; frame < 3; ++frame)
            manager->update();
        manager->unloadLevel();
    });
    EXPECT_GT(rounds, 0);
    EXPECT_GT(made, 0);
}

// Layouts of random depth and element types (the game's, the engine's with huge counts, made-up
// ones), embedding one another: each load reads a bounded number of files and leaves nothing
// of a type the game does not make.
TEST_F(ClassFuzzTest, RandomGuiLayoutsLoadWithinTheirBounds) {
    gui::IGUIEnvironment* environment = smgr()->getGUIEnvironment();
    (new GUIElementFactory(environment))->drop();
    static const char* const types[] = {"GUIImage", "GUIImage", "GUISubElement", "GUISubElement", "GUIStaticText",
                                        "GUIButton", "GUIScreen", "comboBox", "table", "spinBox", "listBox",
                                        "contextMenu", "menu", "tab", "tabControl", "button", "window", "Mystery", ""};
    static const char* const counts[] = {"ItemCount", "TabNumber", "DecimalPlaces", "ColumnCount", "RowCount", "Id"};
    const int files = 12;
    int refusedDeep = 0;
    const int rounds = runFor([&](int round) {
        for (int f = 0; f < files; ++f) {
            // Now and then a file that mostly goes deeper, around the depth bound. Round 0's first
            // file nests far past it; round 1's files are all shallow.
            const bool forced = round == 0 && f == 0;
            std::string text = !forced && pick(10) == 0 ? "<element>" : "<?xml version=\"1.0\"?>\n<irr_gui>";
            int open = 0;
            const bool deep = forced || (round != 1 && pick(6) == 0);
            for (int e = forced ? 100 : deep ? 40 + pick(60) : round == 1 ? pick(40) : pick(120); e > 0; --e) {
                const std::string type = oneOf(types);
                text += "<element type=\"" + type + "\"><attributes>";
                for (int k = pick(3); k > 0; --k)
                    text += attribute("int", oneOf(counts), anyNumber());
                if (type == "GUISubElement")
                    text += attribute("string", "GUIPath", "L" + std::to_string(pick(files + 1)) + ".xml");
                text += "</attributes>";
                // Deeper, alongside, or back out.
                const int move = forced ? 0 : deep ? (pick(10) == 0 ? 1 : 0) : pick(3);
                if (move == 0) {
                    ++open;
                } else if (move == 1) {
                    text += "</element>";
                } else {
                    text += "</element>";
                    for (int up = pick(3); up > 0 && open > 0; --up, --open)
                        text += "</element>";
                }
            }
            if (pick(4) != 0)
                for (; open > 0; --open)
                    text += "</element>";
            text += pick(8) == 0 ? "" : "</irr_gui>\n";
            write("L" + std::to_string(f) + ".xml", text);
        }
        log.lines.clear();
        loadGuiLayout(environment, "L0.xml", nullptr);
        static const gui::EGUI_ELEMENT_TYPE counted[] = {gui::EGUIET_COMBO_BOX,    gui::EGUIET_TABLE,
                                                         gui::EGUIET_SPIN_BOX,     gui::EGUIET_LIST_BOX,
                                                         gui::EGUIET_CONTEXT_MENU, gui::EGUIET_MENU,
                                                         gui::EGUIET_TAB,          gui::EGUIET_TAB_CONTROL};
        std::vector<gui::IGUIElement*> open = {environment->getRootGUIElement()};
        while (!open.empty()) {
            gui::IGUIElement* element = open.back();
            open.pop_back();
            for (gui::EGUI_ELEMENT_TYPE type : counted)
                ASSERT_NE(element->getType(), type) << "an engine element with counts from a layout";
            for (gui::IGUIElement* child : element->getChildren())
                open.push_back(child);
        }
        EXPECT_LE(linesContaining("more than 100 layout files"), 1u);
        refusedDeep += linesContaining("nests elements deeper than") != 0 ? 1 : 0;
        environment->clear();
    });
    EXPECT_GT(refusedDeep, 0);
    EXPECT_LT(refusedDeep, rounds);
}

// Language lists, string tables and notification tables with sizes and texts from the edges,
// cut anywhere: every size and text the game keeps is within its bound.
TEST_F(ClassFuzzTest, RandomContentTablesStayWithinTheirBounds) {
    std::filesystem::create_directories(temp.file("Content/Language/English"));
    static const char* const sizeKeys[] = {"fontSizeSubtitle", "fontSizeObjective", "fontSizePause",
                                           "fontSizeMenuLarge", "fontSizeMenuMedium", "fontSizeMenuSmall"};
    const auto cutSomewhere = [this](std::string text) {
        if (pick(6) == 0)
            text.resize(static_cast<std::size_t>(pick(static_cast<int>(text.size()) + 1)));
        return text;
    };
    const int rounds = runFor([&](int) {
        std::string languages = "<Languages><Language name=\"English\" folder=\"English\"";
        for (const char* key : sizeKeys)
            if (pick(2) == 0)
                languages += std::string(" ") + key + "=\"" + anyNumber() + "\"";
        write("Content/Language/Languages.xml", cutSomewhere(languages + "/></Languages>"));
        std::string strings = "<StringLiterals>";
        std::string notifications = "<Notifications>";
        for (int i = pick(6); i > 0; --i) {
            strings += "<String id=\"" + anyNumber() + "\" text=\"" + anyText() + "\"/>";
            notifications += "<Notification name=\"N\" titleFontSize=\"" + anyNumber() + "\" textFontSize=\"" +
                             anyNumber() + "\" title=\"" + anyText() + "\" text=\"" + anyText() + "\"/>";
        }
        write("Content/Language/English/StringLiterals.xml", cutSomewhere(strings + "</StringLiterals>"));
        write(GUINotification::tablePath, cutSomewhere(notifications + "</Notifications>"));

        LanguageManager language(device->get());
        const LanguageInfo& info = language.getCurrentLanguage();
        for (s32 size : {info.fontSizeSubtitle, info.fontSizeObjective, info.fontSizePause, info.fontSizeMenuLarge,
                         info.fontSizeMenuMedium, info.fontSizeMenuSmall})
            EXPECT_LE(size, LanguageManager::maxFontSize);
        for (s32 id : {0, 1, 2, 7, 64, 168, 2147483647})
            EXPECT_LE(language.getText(id).size(), LanguageManager::maxTextLength);
        GUINotification::loadNotificationTable();
        for (const NotificationRecord& record : GUINotification::getTable()) {
            EXPECT_LE(record.titleFontSize, LanguageManager::maxFontSize);
            EXPECT_LE(record.textFontSize, LanguageManager::maxFontSize);
            EXPECT_LE(record.title.size(), LanguageManager::maxTextLength);
            EXPECT_LE(record.text.size(), LanguageManager::maxTextLength);
        }
    });
    EXPECT_GT(rounds, 0);
}

// Sprite animation files and their atlases with sizes and counts from the edges and frame
// lists of any length, played at rates from the edges: the frames a file loads never pass the
// cells of a sheet within an image (or the entries of its own list), and playing never stops.
TEST_F(ClassFuzzTest, RandomSpriteAnimationFilesStayWithinTheirSheets) {
    static const char* const sides[] = {"0", "1", "-1", "8", "64", "8192", "8193", "46340", "2147483647"};
    static const char* const rates[] = {"0", "-1", "0.0009", "0.001", "12", "1000", "1001", "1e12", "1e30", "nan"};
    int loaded = 0;
    const int rounds = runFor([&](int round) {
        // Round 0 is a sheet that loads (8 cells of 8 x 8 in an image of 64 x 64); round 1 has a
        // negative count of frames, which no sheet loads with.
        const std::map<std::string, std::string> steered =
            round == 0 ? std::map<std::string, std::string>{{"x", "0"}, {"y", "0"}, {"width", "8"}, {"height", "8"},
                                                            {"overallWidth", "64"}, {"overallHeight", "64"},
                                                            {"frameCount", "8"}}
            : round == 1 ? std::map<std::string, std::string>{{"frameCount", "-1"}}
                         : std::map<std::string, std::string>{};
        const auto number = [&] { return pick(2) == 0 ? std::string(oneOf(sides)) : anyNumber(); };
        const auto attributes = [&](std::initializer_list<const char*> names) {
            std::string text;
            for (const char* name : names) {
                const auto value = steered.find(name);
                text += std::string(" ") + name + "=\"" + (value != steered.end() ? value->second : number()) + "\"";
            }
            return text;
        };
        std::string list;
        int entries = 0;
        for (int n = round != 0 && pick(4) == 0 ? pick(200) : 0; n > 0; --n, ++entries)
            list += (pick(8) == 0 ? anyNumber() : std::to_string(pick(64))) + (pick(10) == 0 ? ",," : ",");
        const bool atlas = round != 0 && pick(3) == 0;
        if (atlas)
            write("Atlas.xml", "<TextureAtlas file=\"Missing.png\"><SpriteItem name=\"i\"" +
                                   attributes({"x", "y", "width", "height"}) + "/></TextureAtlas>");
        write("Sprite.xml", std::string("<SpriteAnimation name=\"i\" file=\"Missing.png\"") +
                                (atlas ? " atlas=\"Atlas.xml\"" : "") + "><Sprite" +
                                attributes({"x", "y", "width", "height", "overallWidth", "overallHeight", "frameCount"}) +
                                " frameList=\"" + list + "\"/></SpriteAnimation>");
        SpriteAnimation animation;
        if (loadTextureAnimation(animation, "Sprite.xml")) {
            ++loaded;
            if (list.empty()) {
                EXPECT_LE(animation.overallWidth, 8192);
                EXPECT_LE(animation.overallHeight, 8192);
                EXPECT_LE(static_cast<u64>(animation.frameList.size()),
                          static_cast<u64>(std::max(animation.columns, 0)) * static_cast<u64>(std::max(animation.rows, 0)));
            } else {
                EXPECT_LE(animation.frameList.size(), static_cast<u32>(entries));
            }
        }
        animation.looping = pick(2) == 0;
        animation.reversed = pick(2) == 0;
        animation.setFramesPerSecond(std::strtof(oneOf(rates), nullptr), "Sprite.xml", "FramesPerSecond");
        for (const f32 step : {0.0167f, 0.0167f, 1e6f}) {
            animation.update(step);
            if (animation.duration > 0.0f) {
                EXPECT_GE(animation.time, 0.0f);
                EXPECT_LE(animation.time, animation.duration);
            }
            animation.getFrameRect();
        }
    });
    EXPECT_GT(loaded, 0);
    EXPECT_LT(loaded, rounds);
}

// The save and its newest backup damaged anywhere (cut short, bits flipped, tags and numbers
// from the edges put in), an older backup whole: the save is read as far as it is whole or
// kept aside for a readable backup, and the player's progress is never lost.
TEST_F(ClassFuzzTest, RandomDamagedSavesAndBackupsNeverLoseTheProgress) {
    io::IFileSystem* files = device->get()->getFileSystem();
    const std::string folder = temp.file("Saves");
    std::string newestBackup;
    {
        SaveManager saves(files, folder);
        saves.automaticWriting = false;
        saves.saveTieCollected(12);
        saves.addUnlockedLevel(L"Content/Levels/Story_Garden.irr");
        saves.saveLevelLength(L"Content/Levels/Story_Garden.irr", 93.5f);
        saves.setAutoSavePath(L"checkpoint_story.irr", true);
        for (const std::time_t when : {std::time_t(1000000000), std::time_t(1100000000)}) {
            saves.setClock([when] { return when; });
            ASSERT_TRUE(saves.writeBackup());
        }
        ASSERT_TRUE(saves.save());
        newestBackup = saves.listBackups().front();
    }
    const std::string savePath = folder + "/" + SaveManager::saveFileName;
    const std::string save = test::readFileBytes(savePath);
    const std::string backup = test::readFileBytes(newestBackup);
    const std::string olderBackup = SaveManager(files, folder).listBackups().back();
    const std::string older = test::readFileBytes(olderBackup);
    static const char* const words[] = {"<",  ">", "/>", "\"", "</Save>", "</PaddlestoneSave>", "<int name=\"", "value=\"",
                                        "<Ties>", "-1", "2147483647", "nan", "1e39", "\xC3", "&#0;", "\xFF\xFE"};
    const auto damaged = [&](std::string bytes) {
        for (int m = 1 + pick(3); m > 0 && !bytes.empty(); --m) {
            const std::size_t at = static_cast<std::size_t>(pick(static_cast<int>(bytes.size())));
            switch (pick(4)) {
            case 0:
                bytes.resize(at);
                break;
            case 1:
                bytes[at] = static_cast<char>(bytes[at] ^ (1 << pick(8)));
                break;
            case 2:
                bytes.insert(at, bytes.substr(at, static_cast<std::size_t>(pick(200))));
                break;
            default:
                bytes.replace(at, static_cast<std::size_t>(pick(4)), oneOf(words));
                break;
            }
        }
        return bytes;
    };
    int fromBackups = 0;
    const int rounds = runFor([&](int round) {
        // Round 0 damages both files past reading; round 1 leaves the save whole.
        ASSERT_TRUE(test::writeFileBytes(savePath, round == 0 ? "<Paddle" : round == 1 ? save : damaged(save)));
        ASSERT_TRUE(test::writeFileBytes(newestBackup, round == 0 ? "" : pick(2) == 0 ? damaged(backup) : backup));
        std::filesystem::remove(savePath + ".bad");
        log.lines.clear();
        SaveManager saves(files, folder);
        EXPECT_TRUE(saves.load());
        fromBackups += linesContaining("Loaded the save from its backup") != 0 ? 1 : 0;
        // No file of the player's is gone: the save is kept aside when it cannot be read.
        EXPECT_TRUE(std::filesystem::exists(savePath) || std::filesystem::exists(savePath + ".bad"));
        EXPECT_EQ(test::readFileBytes(olderBackup), older);
        if (round == 0) {
            EXPECT_TRUE(saves.isTieCollected(12)) << "the older backup's progress";
        }
    });
    EXPECT_GT(fromBackups, 0);
    EXPECT_LT(fromBackups, rounds);
}
