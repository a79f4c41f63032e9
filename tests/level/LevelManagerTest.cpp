#include "LevelTestSupport.h"

#include "characters/SuspicionMeter.h"
#include "core/Log.h"
#include "level/InstancedObject.h"
#include "level/LevelHooks.h"
#include "level/LevelInfo.h"
#include "level/MarkerObject.h"
#include "level/SplineObject.h"
#include "level/SubLevelObject.h"
#include "level/VariableObject.h"

#include "core/Globals.h"
#include "core/CoreSlots.h"
#include "core/ImageGate.h"
#include "core/Utf8.h"

#include <climits>
#include <filesystem>
#include <fstream>

using namespace irr;
using scene::ISceneNode;

namespace {

void logLoadStarted() {
    logMessage("test: level-load-started");
}
void logLoaded() {
    logMessage("test: level-loaded");
}
void logUnloaded() {
    logMessage("test: level-unloaded");
}

class LevelManagerTest : public test::LevelFixture {
protected:
    void SetUp() override {
        LevelFixture::SetUp();
        useTestData();
    }
    template <class T> T* node(s32 id) { return static_cast<T*>(manager->getSceneNodeFromID(id)); }
    void writeBackgroundLevel() {
        std::filesystem::create_directories("Content/Levels");
        std::filesystem::copy_file("PlainLevel.irr", titleBackgroundLevel);
    }
};

TEST_F(LevelManagerTest, TestLevelLoadsThroughTheFactoryAndTheEngine) {
    ASSERT_TRUE(manager->loadLevel("TestLevel.irr"));
    EXPECT_EQ(node<ISceneNode>(1)->getType(), typeId("lvli"));
    EXPECT_EQ(node<ISceneNode>(2)->getType(), typeId("mrkr"));
    EXPECT_EQ(node<ISceneNode>(10)->getType(), typeId("emty"));
    EXPECT_EQ(node<ISceneNode>(11)->getType(), typeId("vble"));
    EXPECT_EQ(node<ISceneNode>(20)->getType(), typeId("slne"));
    EXPECT_EQ(node<ISceneNode>(30)->getType(), typeId("slvl"));
    EXPECT_EQ(node<ISceneNode>(40)->getType(), typeId("inst"));
    // The engine's "empty" shares 'emty' and becomes a level object, which reads only the
    // keys the file holds (the engine's node would take scale 0,0,0 and turn invisible).
    EXPECT_EQ(node<ISceneNode>(12)->getType(), scene::ESNT_EMPTY);
    EXPECT_EQ(node<ISceneNode>(12)->getScale(), core::vector3df(1, 1, 1));
    EXPECT_TRUE(node<ISceneNode>(12)->isVisible());
    // Other engine types fall through to the engine's factory.
    EXPECT_EQ(node<ISceneNode>(15)->getType(), scene::ESNT_CUBE);
    EXPECT_EQ(node<ISceneNode>(15)->getMaterial(0).DiffuseColor, video::SColor(0xff80c040));
    EXPECT_EQ(node<ISceneNode>(10)->getAnimators().size(), 1u);
    // An unknown type is logged and skipped with what hangs below it; the rest loads.
    EXPECT_TRUE(log.contains("Warning: Skipped a scene node of unknown type: NoSuchType"));
    EXPECT_FALSE(manager->holdsID(13));
    EXPECT_FALSE(manager->holdsID(14));

    EXPECT_EQ(node<VariableObject>(11)->Value, 3.5f);
    EXPECT_EQ(node<MarkerObject>(2)->SegmentID, 2);
    EXPECT_EQ(node<InstancedObject>(40)->TexturePan, core::vector2df(0.25f, 0.5f));
    EXPECT_STREQ(node<ISceneNode>(1)->getName(), "Info");
    EXPECT_EQ(manager->currentLevelInfo, node<LevelInfo>(1));
    EXPECT_EQ(manager->getCurrentLevelPath(), L"TestLevel.irr");
    EXPECT_EQ(manager->getLevelName(), L"TestLevel.irr");
    EXPECT_FALSE(manager->levelLoading);
    // Every object of the file was counted (the unknown one and its child too).
    EXPECT_EQ(manager->getLoader().objectsTotal, 14u);
    EXPECT_EQ(manager->getLoader().objectsRead, 14u);
}

TEST_F(LevelManagerTest, LoadAndUnloadListsFireInTheirPlaces) {
    manager->onLevelLoadStarted.addFunction(&logLoadStarted);
    manager->onLevelLoaded.addFunction(&logLoaded);
    manager->onLevelUnloaded.addFunction(&logUnloaded);
    int framesRendered = 0;
    bool loadingDuringFrames = true;
    levelHooks().screens.renderLoadingFrame = [&] {
        ++framesRendered;
        loadingDuringFrames = loadingDuringFrames && levelManager->levelLoading;
    };
    std::vector<std::string> calls;
    levelHooks().physics.resetFrameCounter = [&] { calls.push_back("frameCounter"); };
    levelHooks().screens.maintainWorkshopZip = [&](const io::path& path) {
        calls.push_back(path.c_str());
    };

    ASSERT_TRUE(manager->loadLevel("TestLevel.irr"));
    manager->unloadLevel();

    const int started = log.indexOf("test: level-load-started");
    const int loading = log.indexOf("Loading level: TestLevel.irr");
    const int loaded = log.indexOf("test: level-loaded");
    const int unloaded = log.indexOf("test: level-unloaded");
    ASSERT_GE(started, 0);
    EXPECT_LT(loading, started);
    EXPECT_LT(started, loaded);
    EXPECT_LT(loaded, unloaded);
    EXPECT_EQ(log.countStartingWith("test: "), 3u);
    EXPECT_EQ(framesRendered, 17); // 14 in the level, 3 in its sublevel
    EXPECT_TRUE(loadingDuringFrames);
    EXPECT_EQ(calls, (std::vector<std::string>{"TestLevel.irr", "frameCounter"}));

    EXPECT_EQ(countNodes(root()), 0u);
    EXPECT_EQ(manager->currentLevelInfo, nullptr);
    EXPECT_FALSE(manager->holdsID(1));
    EXPECT_EQ(manager->getCurrentLevelPath(), L"");
}

TEST_F(LevelManagerTest, UnloadEmptiesThePlayersAndResetsTheMeterBeforeTheList) {
    setPlayer(0, reinterpret_cast<PlayerObject*>(0x10));
    manager->suspicionMeter->value = 50;
    manager->suspicionMeter->age = 2.5f;
    manager->suspicionMeter->drainTimer = 0.5f;
    manager->onLevelUnloaded.addFunction(+[] {
        logMessage(playerCount() == 0 && levelManager->suspicionMeter->value == 0 ? "test: clean"
                                                                                  : "test: dirty");
    });
    ASSERT_TRUE(manager->loadLevel("TestLevel.irr"));
    manager->unloadLevel();
    EXPECT_TRUE(log.contains("test: clean"));
    EXPECT_EQ(manager->suspicionMeter->age, 2.5f);
    EXPECT_EQ(manager->suspicionMeter->drainTimer, 0.5f);
}

TEST_F(LevelManagerTest, UnknownIDsAreLoggedExactlyAndZeroAndMinusOneAreSilent) {
    ASSERT_TRUE(manager->loadLevel("PlainLevel.irr"));
    log.lines.clear();
    EXPECT_EQ(manager->getSceneNodeFromID(12345), nullptr);
    EXPECT_EQ(manager->getSceneNodeFromID(0), nullptr);
    EXPECT_EQ(manager->getSceneNodeFromID(-1), nullptr);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0], "ERROR: Could not find SceneNode ID: 12345");
    EXPECT_NE(manager->getSceneNodeFromID(5), nullptr);
    // Asked again each frame (an animator whose parent is missing): counted, told at the unload.
    EXPECT_EQ(manager->getSceneNodeFromID(12345), nullptr);
    EXPECT_EQ(log.lines.size(), 1u);
    manager->unloadLevel();
    EXPECT_EQ(log.lines, (std::vector<std::string>{"ERROR: Could not find SceneNode ID: 12345",
                                                   "Repeated 1 more time: ERROR: Could not find SceneNode ID: 12345"}));
}

TEST_F(LevelManagerTest, ALaterNodeWithTheSameIDReplacesTheEarlier) {
    ISceneNode* first = smgr()->addEmptySceneNode(root(), 9);
    ISceneNode* group = smgr()->addEmptySceneNode(root(), 0);
    ISceneNode* second = smgr()->addEmptySceneNode(group, 9);
    smgr()->addEmptySceneNode(root(), -1);
    manager->registerNodeIDs(root());
    EXPECT_EQ(manager->getSceneNodeFromID(9), second);
    EXPECT_FALSE(manager->holdsID(0));
    EXPECT_FALSE(manager->holdsID(-1));
    manager->registerNodeIDs(first);
    EXPECT_EQ(manager->getSceneNodeFromID(9), first);
    manager->clearNodeIDs();
    EXPECT_FALSE(manager->holdsID(9));
    manager->rebuildNodeIDs();
    EXPECT_EQ(manager->getSceneNodeFromID(9), second);
}

TEST_F(LevelManagerTest, AUniqueIDIsTheFirstFreeOneAtOrAboveTheNodesOwn) {
    smgr()->addEmptySceneNode(root(), 1);
    smgr()->addEmptySceneNode(root(), 5);
    smgr()->addEmptySceneNode(root(), 6);
    smgr()->addEmptySceneNode(root(), INT_MAX);
    manager->rebuildNodeIDs();
    struct Case {
        s32 own;
        s32 given;
    };
    for (const Case& c : {Case{5, 7}, Case{4, 4}, Case{0, 2}, Case{-1, 2}, Case{INT_MAX, INT_MAX}}) {
        SCOPED_TRACE(c.own);
        ISceneNode* node = smgr()->addEmptySceneNode(root(), c.own);
        manager->giveUniqueID(node);
        EXPECT_EQ(node->getID(), c.given);
        node->remove();
        manager->rebuildNodeIDs();
    }
    // The node given an ID is found by it at once.
    ISceneNode* node = smgr()->addEmptySceneNode(root(), 5);
    manager->giveUniqueID(node);
    EXPECT_EQ(manager->getSceneNodeFromID(7), node);
    manager->giveUniqueID(nullptr);
}

TEST_F(LevelManagerTest, FloorHeightComesFromTheLevelOrStaysAtTheDefault) {
    ASSERT_TRUE(manager->loadLevel("TestLevel.irr"));
    EXPECT_EQ(levelFloorHeight, -250.5f); // the sublevel's own information is not the level's
    manager->unloadLevel();
    EXPECT_EQ(levelFloorHeight, defaultLevelFloorHeight);
    ASSERT_TRUE(manager->loadLevel("PlainLevel.irr"));
    EXPECT_EQ(levelFloorHeight, -100000.0f);
}

// The engine keeps its fog from scene to scene: a level that names a fog has it, and the
// level after it, naming none (or no scene settings at all), has the engine's own, off.
TEST_F(LevelManagerTest, ALevelHasTheFogItNamesAndNoneWhenItNamesNone) {
    ASSERT_TRUE(test::writeFileBytes("Foggy.irr",
                                     "<?xml version=\"1.0\"?><irr_scene><attributes>"
                                     "<enum name=\"FogType\" value=\"FogLinear\" /><float name=\"FogStart\" value=\"12\" />"
                                     "<float name=\"FogEnd\" value=\"65\" /><bool name=\"FogRange\" value=\"true\" />"
                                     "</attributes></irr_scene>"));
    video::IVideoDriver* driver = manager->getSceneManager()->getVideoDriver();
    for (const char* level : {"Foggy.irr", "PlainLevel.irr", "Foggy.irr", "TestLevel.irr"}) {
        SCOPED_TRACE(level);
        ASSERT_TRUE(manager->loadLevel(level));
        video::SColor colour;
        video::E_FOG_TYPE type = video::EFT_FOG_EXP;
        f32 start = 0.0f, end = 0.0f, density = 0.0f;
        bool pixel = true, range = false;
        driver->getFog(colour, type, start, end, density, pixel, range);
        const bool foggy = std::string(level) == "Foggy.irr";
        EXPECT_EQ(range, foggy);
        EXPECT_EQ(start, foggy ? 12.0f : 50.0f);
        EXPECT_EQ(end, foggy ? 65.0f : 100.0f);
        manager->unloadLevel();
    }
}

TEST_F(LevelManagerTest, ALevelInfoThatGoesAwayIsNoLongerTheCurrentOne) {
    ASSERT_TRUE(manager->loadLevel("TestLevel.irr"));
    ASSERT_NE(manager->currentLevelInfo, nullptr);
    manager->currentLevelInfo->remove();
    EXPECT_EQ(manager->currentLevelInfo, nullptr);
    EXPECT_FALSE(manager->holdsID(1));
}

TEST_F(LevelManagerTest, LevelSettingsReachTheirSubsystemsInOrder) {
    LevelHookTable& hooks = levelHooks();
    std::vector<std::string> calls;
    std::vector<const LevelSettings*> handed;
    auto recordAs = [&](const char* subsystem) {
        return [&, subsystem](const LevelSettings& settings) {
            calls.push_back(subsystem);
            handed.push_back(&settings);
        };
    };
    hooks.physics.applyLevelSettings = recordAs("physics");
    hooks.render.applyLevelSettings = recordAs("render");
    s32 spawnCamera = -5;
    hooks.camera.applyLevelSettings = [&](const LevelSettings& settings, s32 spawnCameraID) {
        recordAs("camera")(settings);
        spawnCamera = spawnCameraID;
    };
    hooks.screens.applyLevelSettings = recordAs("screens");
    LevelInfo* started = nullptr;
    hooks.triggers.startLevelInfoEvents = [&](LevelInfo* info) {
        calls.push_back("triggers");
        started = info;
    };

    ASSERT_TRUE(manager->loadLevel("TestLevel.irr"));
    EXPECT_EQ(calls,
              (std::vector<std::string>{"physics", "render", "camera", "screens", "triggers"}));
    const LevelSettings& settings = manager->currentLevelInfo->settings;
    EXPECT_EQ(handed, (std::vector<const LevelSettings*>(4, &settings)));
    EXPECT_EQ(spawnCamera, 0) << "no checkpoint";
    EXPECT_EQ(started, manager->currentLevelInfo);
    EXPECT_EQ(settings.NumberOfLights, 6);
    EXPECT_FALSE(settings.DisableShadows);
    EXPECT_EQ(settings.DefaultFarValue, 100.0f);
    EXPECT_TRUE(settings.TaskIconAnimation.empty());
    EXPECT_TRUE(settings.UseDefaultGravity);
    EXPECT_TRUE(settings.ForceLevelTimer);
    EXPECT_EQ(settings.TotalObjects, 14);
    EXPECT_EQ(settings.TentaroMeshPath, "Content/Models/Tentaro.x");

    // A level without information is applied with the defaults, and starts no events.
    manager->unloadLevel();
    calls.clear();
    handed.clear();
    started = nullptr;
    ASSERT_TRUE(manager->loadLevel("PlainLevel.irr"));
    EXPECT_EQ(calls, (std::vector<std::string>{"physics", "render", "camera", "screens"}));
    ASSERT_EQ(handed.size(), 4u);
    EXPECT_EQ(handed[0]->NumberOfLights, 4);
    EXPECT_EQ(handed[0]->Gravity, core::vector3df(0, -55, 0));
}

// The settings a level or a checkpoint carries come back as they were written.
TEST_F(LevelManagerTest, LevelSettingsRoundTripThroughTheirKeys) {
    auto* written = new LevelInfo(root(), smgr(), 1);
    written->drop();
    written->settings.UseDefaultGravity = false;
    written->settings.Gravity = core::vector3df(0, -20, 0);
    written->settings.PlayerSpawnPosition = core::vector3df(1, 2, 3);
    written->settings.PlayerSpawnRotation = core::vector3df(0, 90, 0);
    io::IAttributes* keys = device->get()->getFileSystem()->createEmptyAttributes();
    written->serializeAttributes(keys);
    auto* read = new LevelInfo(root(), smgr(), 2);
    read->drop();
    read->deserializeAttributes(keys);
    keys->drop();
    EXPECT_FALSE(read->settings.UseDefaultGravity);
    EXPECT_EQ(read->settings.Gravity, core::vector3df(0, -20, 0));
    EXPECT_EQ(read->settings.PlayerSpawnPosition, core::vector3df(1, 2, 3));
    EXPECT_EQ(read->settings.PlayerSpawnRotation, core::vector3df(0, 90, 0));
}

// A quit asked for while a level loads ends the load as a failure; the loaded list does not
// run and the manager is no longer loading.
TEST_F(LevelManagerTest, ALoadThatMeetsAQuitStopsThere) {
    manager->onLevelLoaded.addFunction(&logLoaded);
    QuitRequested = true;
    EXPECT_FALSE(manager->loadLevel("TestLevel.irr"));
    QuitRequested = false;
    EXPECT_TRUE(log.contains("Loading stopped, the game is quitting: TestLevel.irr"));
    EXPECT_FALSE(log.contains("test: level-loaded"));
    EXPECT_FALSE(manager->levelLoading);
    EXPECT_FALSE(manager->holdsID(1)) << "the object IDs are not taken in";
}

// The level frame count never comes back to 0, which means "no level update yet".
TEST_F(LevelManagerTest, TheLevelFrameCountSkipsZeroWhenItWraps) {
    levelAnimateFrame = 0xFFFFFFFEu;
    manager->update();
    EXPECT_EQ(levelAnimateFrame, 0xFFFFFFFFu);
    manager->update();
    EXPECT_EQ(levelAnimateFrame, 1u);
    manager->update();
    EXPECT_EQ(levelAnimateFrame, 2u);
}

// Without an engine device the manager makes and loads nothing.
TEST_F(LevelManagerTest, WithoutADeviceNothingIsMadeOrLoaded) {
    LevelManager bare(nullptr);
    EXPECT_FALSE(bare.init());
    EXPECT_EQ(bare.setSubLevelActive("SubLevel.irr", 5), nullptr);
    EXPECT_FALSE(bare.loadLevel("TestLevel.irr"));
    EXPECT_FALSE(bare.setCommandLineLevel("TestLevel.irr"));
    bare.update();
}

TEST_F(LevelManagerTest, AFileThatCannotBeReadLeavesTheSceneAlone) {
    manager->onLevelLoaded.addFunction(&logLoaded);
    EXPECT_FALSE(manager->loadLevel("Missing.irr"));
    EXPECT_TRUE(log.contains("ERROR: Could not load level: Missing.irr"));
    EXPECT_FALSE(log.contains("test: level-loaded"));
    EXPECT_FALSE(manager->levelLoading);
    EXPECT_EQ(manager->getCurrentLevelPath(), L"");

    std::ofstream("NotAScene.irr") << "<?xml version=\"1.0\"?><settings></settings>";
    EXPECT_FALSE(manager->loadLevel("NotAScene.irr"));
    EXPECT_EQ(countNodes(root()), 0u);

    // A scene file cut short anywhere, even inside a tag, is refused whole.
    const std::string whole = test::readFileBytes("TestLevel.irr");
    for (std::size_t length : {whole.size() / 3, whole.size() / 2 + 7, whole.size() - 20}) {
        test::writeFileBytes("Cut.irr", whole.substr(0, length));
        log.lines.clear();
        EXPECT_FALSE(manager->loadLevel("Cut.irr"));
        EXPECT_TRUE(log.contains(
            "ERROR: Could not read level file Cut.irr: the file ends before its scene does"));
        EXPECT_EQ(countNodes(root()), 0u);
    }
}

TEST_F(LevelManagerTest, InitialLevelIsTheCommandLineLevel) {
    writeBackgroundLevel();
    EXPECT_TRUE(manager->setCommandLineLevel("TestLevel.irr"));
    EXPECT_TRUE(levelOnCommandLine);
    bool initialDuringLoad = false, loadingScreenShown = false;
    levelHooks().screens.renderLoadingFrame = [&] {
        initialDuringLoad = levelManager->initialLoad;
        loadingScreenShown = levelManager->loadingOverlay.showsLoadingScreen();
    };
    ASSERT_TRUE(manager->loadInitialLevel());
    EXPECT_EQ(manager->getCurrentLevelPath(), L"TestLevel.irr");
    EXPECT_TRUE(initialDuringLoad);
    EXPECT_FALSE(manager->initialLoad);
    EXPECT_TRUE(loadingScreenShown) << "it loads under the loading screen";
    // A level that does not run lets the cover go after so many drawn frames.
    for (u32 drawn = 1; drawn <= LevelManager::viewWaitFrameLimit; ++drawn) {
        manager->noteFrameDrawn();
        EXPECT_EQ(manager->loadingOverlay.awaitingView, drawn < LevelManager::viewWaitFrameLimit) << drawn;
    }
    // A command-line level that cannot be read leaves the title uncovered.
    manager->unloadLevel();
    test::writeFileBytes("Cut.irr", test::readFileBytes("TestLevel.irr").substr(0, 100));
    ASSERT_TRUE(manager->setCommandLineLevel("Cut.irr"));
    ASSERT_TRUE(manager->loadInitialLevel());
    EXPECT_EQ(manager->getCurrentLevelPath(), core::stringw(titleBackgroundLevel));
    EXPECT_EQ(manager->loadingOverlay.fadeValue, 0.0f);
    EXPECT_FALSE(manager->loadingOverlay.isBusy());
}

TEST_F(LevelManagerTest, AMissingCommandLineLevelFallsBackToTheTitleBackground) {
    writeBackgroundLevel();
    std::vector<std::string> calls;
    levelHooks().screens.titleLevelLoaded = [&] {
        calls.push_back("title level " + toUtf8(levelManager->getLevelName().c_str()));
    };

    EXPECT_FALSE(manager->setCommandLineLevel("NoSuchLevel.irr"));
    EXPECT_FALSE(levelOnCommandLine);
    EXPECT_TRUE(
        log.contains("ERROR: The level named on the command line does not exist: NoSuchLevel.irr"));
    ASSERT_TRUE(manager->loadInitialLevel());
    EXPECT_EQ(manager->getCurrentLevelPath(), core::stringw(titleBackgroundLevel));
    EXPECT_EQ(manager->getLevelName(), L"MainScreen_Background.irr");
    EXPECT_EQ(calls, std::vector<std::string>{"title level MainScreen_Background.irr"});
    // Any other level is no title level.
    ASSERT_TRUE(manager->loadLevel("PlainLevel.irr"));
    EXPECT_EQ(calls.size(), 1u);
}

TEST_F(LevelManagerTest, DebugKeysSwitchDebugModeAndCallTheirHooks) {
    std::vector<EKEY_CODE> down;
    levelHooks().input.wasKeyPressed = [&](EKEY_CODE key) {
        return std::find(down.begin(), down.end(), key) != down.end();
    };
    int toggles = 0, skips = 0, refreshes = 0, dismissals = 0;
    bool inputAllowed = false;
    levelHooks().physics.toggleDebugVisualization = [&] { ++toggles; };
    levelHooks().render.skipNextScenePass = [&] { ++skips; };
    levelHooks().render.requestEditorRefresh = [&] { ++refreshes; };
    levelHooks().screens.dismissAllNotifications = [&] { ++dismissals; };
    // The one input gate is the screen manager's: a stand-in answers through core's slot.
    int screensStandIn = 0;
    screenManager = reinterpret_cast<ScreenManager*>(&screensStandIn);
    const auto savedGate = coreSlots().screens.isInputAllowed;
    coreSlots().screens.isInputAllowed = [&] { return inputAllowed; };

    down = {LevelManager::debugKeyToggleDebugMode};
    manager->updateDebugKeys();
    EXPECT_TRUE(debugMode);
    manager->updateDebugKeys();
    EXPECT_FALSE(debugMode);

    down = {LevelManager::debugKeyPhysicsDrawing};
    manager->updateDebugKeys();
    EXPECT_EQ(toggles, 0); // not while input is blocked
    inputAllowed = true;
    manager->updateDebugKeys();
    EXPECT_EQ(toggles, 1);

    down = {LevelManager::debugKeySkipScenePass, LevelManager::debugKeyEditorRefresh,
            LevelManager::debugKeyDismissNotifications};
    manager->updateDebugKeys();
    EXPECT_EQ(skips, 1);
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(dismissals, 1);
    EXPECT_FALSE(debugMode);
    coreSlots().screens.isInputAllowed = savedGate;
    screenManager = nullptr;
}

TEST_F(LevelManagerTest, LevelsSaveAndReloadInBothFormats) {
    ASSERT_TRUE(manager->loadLevel("TestLevel.irr"));
    for (const char* file : {"Saved.irr", "Saved.irrblvl"}) {
        ASSERT_TRUE(manager->saveLevel(file));
        manager->unloadLevel();
        ASSERT_TRUE(manager->loadLevel(file)) << file;
        EXPECT_EQ(node<VariableObject>(11)->Value, 3.5f) << file;
        // The sublevel's content came back from its own file, not twice.
        EXPECT_EQ(node<ISceneNode>(30)->getChildren().size(), 1u) << file;
    }
}

// Levels naming pictures and meshes of their own, under Content/ and of another level, beside
// the HUD's picture read as a level loads and the menus' read between loads.
const char* const pictures[] = {"Own.png", "Both.png", "Skin.png", "Hud.png", "Menu.png", "Content/Game.png"};

class LevelResourcesTest : public test::LevelFixture {
protected:
    void SetUp() override {
        LevelFixture::SetUp();
        texturesBefore = driver()->getTextureCount();
        workingDir = std::make_unique<test::ScopedWorkingDir>(temp.path());
        std::filesystem::create_directory("Content");
        for (const char* picture : pictures) {
            video::IImage* image = driver()->createImage(video::ECF_A8R8G8B8, core::dimension2du(4, 4));
            ASSERT_TRUE(driver()->writeImageToFile(image, picture));
            image->drop();
        }
        const std::string quad = "v 0 0 0\nv 1 0 0\nv 1 0 1\nv 0 0 1\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nf 1/1 2/2 3/3 4/4\n";
        write("Own.obj", "mtllib Own.mtl\nusemtl skin\n" + quad);
        write("Own.mtl", "newmtl skin\nmap_Kd Skin.png\n");
        write("Both.obj", quad);
        write("Extra.obj", quad);
        const auto mesh = [](const char* file) {
            return std::string("<node type=\"mesh\"><attributes><string name=\"Mesh\" value=\"") + file +
                   "\" /></attributes></node>\n";
        };
        write("A.irr", cube("Own.png") + cube("Both.png") + cube("Content/Game.png") + mesh("Own.obj") + mesh("Both.obj"));
        write("B.irr", cube("Both.png") + mesh("Both.obj"));
        write("C.irr", cube("Content/Game.png"));
        write("Empty.irr", "");
        levelHooks().screens.applyLevelSettings = [this](const LevelSettings&) {
            const GamePicturesScope hud;
            driver()->getTexture(hudPicture.c_str());
        };
        driver()->getTexture("Menu.png");
    }
    static std::string cube(const char* picture) {
        return std::string("<node type=\"cube\"><materials><attributes><texture name=\"Texture1\" value=\"") + picture +
               "\" /></attributes></materials></node>\n";
    }
    void write(const char* name, const std::string& text) {
        const bool level = std::string(name).find(".irr") != std::string::npos;
        ASSERT_TRUE(test::writeFileBytes(temp.file(name), level ? "<?xml version=\"1.0\"?>\n<irr_scene>\n" + text + "</irr_scene>\n" : text));
    }
    video::IVideoDriver* driver() const { return smgr()->getVideoDriver(); }
    video::ITexture* picture(const char* name) const { return driver()->findTexture(temp.file(name).c_str()); }
    scene::IAnimatedMesh* mesh(const char* name) const { return smgr()->getMeshCache()->getMeshByName(name); }
    // The files whose picture is in the driver or whose mesh is in the engine's cache; the
    // driver's pictures under no such name (one set aside keeps another) counted after them.
    std::string held() const {
        std::string names;
        u32 named = 0;
        for (const char* name : pictures)
            if (picture(name)) {
                names += std::string(names.empty() ? "" : " ") + name;
                ++named;
            }
        for (const char* name : {"Own.obj", "Both.obj", "Extra.obj"})
            if (mesh(name))
                names += std::string(" ") + name;
        if (const u32 others = driver()->getTextureCount() - texturesBefore - named)
            names += " and " + std::to_string(others) + " unnamed";
        return names;
    }
    // The level loaded after the current one; how many pictures it read.
    std::size_t load(const char* level) {
        manager->unloadLevel();
        log.lines.clear();
        EXPECT_TRUE(manager->loadLevel(level)) << level;
        return log.countStartingWith("Loaded texture: ");
    }
    // The HUD's picture read as each level loads.
    std::string hudPicture = "Hud.png";
    u32 texturesBefore = 0;
};

// What a level read goes as the next level's load ends, once nothing holds it (pictures from
// the driver, meshes from the engine's cache); what the next level names too it takes back
// unread, the same picture and mesh. A held mesh stays with its pictures until let go. The
// same level loaded again, however named, reads nothing again.
TEST_F(LevelResourcesTest, ALevelsPicturesAndMeshesGoAtTheNextLoadUnlessItTakesThemBack) {
    EXPECT_EQ(load("A.irr"), 5u);
    EXPECT_EQ(held(), "Own.png Both.png Skin.png Hud.png Menu.png Content/Game.png Own.obj Both.obj");
    video::ITexture* both = picture("Both.png");
    scene::IAnimatedMesh* bothMesh = mesh("Both.obj");
    scene::IAnimatedMesh* own = mesh("Own.obj");
    own->grab();
    EXPECT_EQ(load("B.irr"), 0u) << "what both levels name is taken back";
    EXPECT_EQ(held(), "Both.png Skin.png Hud.png Menu.png Own.obj Both.obj");
    EXPECT_EQ(picture("Both.png"), both);
    EXPECT_EQ(mesh("Both.obj"), bothMesh);
    own->drop();
    EXPECT_EQ(load(temp.file("B.irr").c_str()), 0u) << "the same level by its full path";
    EXPECT_EQ(held(), "Both.png Skin.png Hud.png Menu.png Own.obj Both.obj");
    EXPECT_EQ(load("Empty.irr"), 0u);
    EXPECT_EQ(held(), "Hud.png Menu.png");
}

// A level's picture under Content/ goes with it as any other's. The next level naming it, or
// the HUD reading it as the next level loads, takes it back unread: the next level's, it goes
// with that level; the HUD's, it stays for the run.
TEST_F(LevelResourcesTest, ALevelsPictureUnderContentGoesUnlessTheNextLevelOrTheHudTakeIt) {
    const struct {
        const char* next;
        const char* hud;
        bool keptByNext;
        bool keptAfter;
    } rows[] = {
        {"Empty.irr", "Hud.png", false, false},
        {"C.irr", "Hud.png", true, false},
        {"Empty.irr", "Content/Game.png", true, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.next) + ", the HUD reading " + row.hud);
        manager->unloadLevel();
        driver()->removeAllTextures();
        hudPicture = "Hud.png";
        load("A.irr");
        video::ITexture* game = picture("Content/Game.png");
        ASSERT_NE(game, nullptr);
        hudPicture = row.hud;
        EXPECT_EQ(load(row.next), 0u);
        EXPECT_EQ(picture("Content/Game.png"), row.keptByNext ? game : nullptr);
        hudPicture = "Hud.png";
        load("Empty.irr");
        EXPECT_EQ(picture("Content/Game.png"), row.keptAfter ? game : nullptr);
    }
}

// A picture a node left beside the levels draws with on any of its materials, the last too,
// stays at the give-back; it goes at the next once nothing draws with it.
TEST_F(LevelResourcesTest, APictureANodeStillDrawsWithStaysUntilNothingDoes) {
    for (const u32 drawnBy : {0u, 1u}) {
        SCOPED_TRACE(drawnBy);
        load("A.irr");
        manager->unloadLevel();
        auto* twoBuffers = new scene::SMesh();
        for (int b = 0; b < 2; ++b) {
            auto* buffer = new scene::SMeshBuffer();
            twoBuffers->addMeshBuffer(buffer);
            buffer->drop();
        }
        scene::IMeshSceneNode* node = smgr()->addMeshSceneNode(twoBuffers);
        twoBuffers->drop();
        ASSERT_EQ(node->getMaterialCount(), 2u);
        node->getMaterial(drawnBy).setTexture(0, picture("Own.png"));
        EXPECT_TRUE(manager->loadLevel("Empty.irr"));
        EXPECT_NE(picture("Own.png"), nullptr);
        node->remove();
        load("C.irr");
        EXPECT_EQ(picture("Own.png"), nullptr);
    }
}

// A level's mesh something took out of the engine's cache is let go at the next give-back.
TEST_F(LevelResourcesTest, ALevelsMeshOutOfTheCacheIsLetGoAtTheNextLoad) {
    load("A.irr");
    scene::IAnimatedMesh* own = mesh("Own.obj");
    own->grab();
    smgr()->getMeshCache()->removeMesh(own);
    ASSERT_EQ(own->getReferenceCount(), 2) << "the gate's and this test's";
    load("B.irr");
    EXPECT_EQ(own->getReferenceCount(), 1);
    own->drop();
}

// A level loaded again keeps all it read, what it read as it played too: restarted from a
// checkpoint (a file of its own) or from its start.
TEST_F(LevelResourcesTest, ALevelRestartedKeepsAllItRead) {
    load("A.irr");
    scene::IAnimatedMesh* extra = smgr()->getMesh("Extra.obj"); // as it plays
    ASSERT_NE(extra, nullptr);
    video::ITexture* own = picture("Own.png");
    scene::ISceneNode* checkpoint = *smgr()->getRootSceneNode()->getChildren().getLast();
    checkpoint->setID(7);
    manager->rebuildNodeIDs();
    manager->saveCheckpointAt(checkpoint);
    for (const bool fromCheckpoint : {true, false}) {
        SCOPED_TRACE(fromCheckpoint ? "from the checkpoint" : "from the start");
        log.lines.clear();
        if (fromCheckpoint)
            manager->restartFromCheckpoint();
        else
            manager->restartLevel();
        EXPECT_FALSE(log.contains("No checkpoint to restart from; restarting the level."));
        EXPECT_EQ(log.countStartingWith("Loaded texture: "), 0u);
        EXPECT_EQ(mesh("Extra.obj"), extra);
        EXPECT_EQ(picture("Own.png"), own);
    }
}

} // namespace
