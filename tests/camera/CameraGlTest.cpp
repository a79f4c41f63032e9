// Camera blends on the OpenGL driver under Xvfb: a level with two camera objects, the second
// pushed over the first; the pictures show the view swinging from one to the other.
// PADDLESTONE_KEEP_SCREENSHOT=/path/camera.png keeps them (camera-first.png, camera-mid.png,
// camera-second.png). A cutscene over the same level slides its black bars in and out
// (camera-before.png, camera-half.png, camera-in.png, camera-out.png).
#include "camera/CameraManager.h"
#include "camera/CutsceneObject.h"
#include "camera/CameraObject.h"
#include "camera/CameraRegistration.h"
#include "camera/CameraServices.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/CoreSlots.h"
#include "core/Stopwatch.h"
#include "gui/GuiHooks.h"
#include "level/LevelHooks.h"
#include "level/LevelManager.h"
#include "level/SceneNodeBase.h"
#include "level/SceneNodeFactory.h"
#include "physics/world/PhysicsManager.h"
#include "player/ConfigTentMovementObject.h"
#include "render/RenderServices.h"
#include "screens/ScreenManager.h"
#include "support/ScreenConnections.h"
#include "support/GraphicsDriver.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

using namespace irr;

namespace {

const bool cameraRasterizerOnTestThread = [] { return setenv("LP_NUM_THREADS", "0", 0) == 0; }();

// The frame stopwatch reads this counter (milliseconds), moved by the test.
std::int64_t cameraTestClockMs = 0;
std::int64_t cameraTestClock() { return cameraTestClockMs; }

class CameraGlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(cameraRasterizerOnTestThread);
        std::filesystem::copy_file(test::sourceDir() / "tests/camera/data/TwoCameras.irr", dir.path() / "TwoCameras.irr");
        workingDir = std::make_unique<test::ScopedWorkingDir>(dir.path());
        device = test::createOpenGLTestDevice(core::dimension2du(640, 360));
        ASSERT_NE(device, nullptr) << "no OpenGL device (run under Xvfb)";
        gameDevice = device;
        screenWidth = 640;
        screenHeight = 360;
        settings = std::make_unique<GameSettings>(dir.file("PaddlestoneConfig.xml"));
        settings->load(true);
        gameSettings = settings.get();
        stopwatch = std::make_unique<Stopwatch>(L"Frame", 0.0f, StopwatchClock{cameraTestClock, 1000});
        frameStopwatch = stopwatch.get();
        levels = std::make_unique<LevelManager>(device);
        levelManager = levels.get();
        ASSERT_TRUE(levels->init());
        registerSceneNodeFactory(device->getSceneManager());
        movement = new ConfigTentMovementObject(nullptr, device->getSceneManager(), -1);
        movementObject = movement;
        physics = std::make_unique<PhysicsManager>();
        physicsManager = physics.get();
        ASSERT_TRUE(physics->init());
        registerCameraSubsystem();
        cameras = createCameraManager(0);
        cameraManagers[0] = cameras;
    }
    void TearDown() override {
        delete screenManager;
        screenManager = nullptr;
        if (cameras)
            destroyCameraManager(cameras);
        cameraManagers[0] = nullptr;
        if (device)
            device->getSceneManager()->clear();
        levels.reset();
        levelManager = nullptr;
        physics.reset();
        physicsManager = nullptr;
        if (movement)
            movement->drop();
        movementObject = nullptr;
        frameStopwatch = nullptr;
        gameSettings = nullptr;
        resetProgramFlags(); // the screen size of the test's device goes with it
        resetCameraServices();
        resetRenderServices();
        resetCoreSlots();
        resetLevelHooks();
        resetGuiHooks();
        if (device)
            device->drop();
        gameDevice = nullptr;
    }

    // A block of one colour, unlit.
    void addBlock(const core::vector3df& at, video::SColor colour) {
        scene::ISceneManager* scene = device->getSceneManager();
        scene::IMeshSceneNode* block = scene->addCubeSceneNode(4.0f, nullptr, -1, at);
        block->setMaterialFlag(video::EMF_LIGHTING, false);
        scene->getMeshManipulator()->setVertexColors(block->getMesh(), colour);
    }

    // One game frame of 0.1 s: the level animates, the camera manager places "MainCamera",
    // the scene is drawn through it.
    void frame() {
        cameraTestClockMs += 100;
        stopwatch->tick();
        levelManager->setSimulatedSeconds(camera::frameSeconds()); // the level plays the frame
        ++levelAnimateFrame;
        device->run();
        scene::ISceneManager* scene = device->getSceneManager();
        scene->getRootSceneNode()->OnAnimate(u32(cameraTestClockMs));
        cameras->update(camera::frameSeconds());
        video::IVideoDriver* driver = device->getVideoDriver();
        driver->beginScene(true, true, video::SColor(255, 40, 40, 40));
        scene->setActiveCamera(cameras->getViewportCamera());
        scene->drawAll();
        device->getGUIEnvironment()->drawAll();
        driver->endScene();
    }

    // The colour at the picture's centre, kept on disk when asked.
    video::SColor centreColour(const char* name) { return colourAt(name, 0.5f, 0.5f); }
    // The colour at the fractions of the picture's width and height.
    video::SColor colourAt(const char* name, f32 x, f32 y) {
        video::IVideoDriver* driver = device->getVideoDriver();
        video::IImage* shot = driver->createScreenShot();
        if (!shot)
            return video::SColor(0, 0, 0, 0);
        if (const char* keep = std::getenv("PADDLESTONE_KEEP_SCREENSHOT")) {
            std::string path = keep;
            const std::size_t dot = path.rfind('.');
            path.insert(dot == std::string::npos ? path.size() : dot, std::string("-") + name);
            driver->writeImageToFile(shot, path.c_str());
        }
        const core::dimension2du size = shot->getDimension();
        const video::SColor colour = shot->getPixel(u32(f32(size.Width) * x), u32(f32(size.Height - 1) * y));
        shot->drop();
        return colour;
    }

    test::TempDir dir;
    std::unique_ptr<test::ScopedWorkingDir> workingDir;
    IrrlichtDevice* device = nullptr;
    std::unique_ptr<GameSettings> settings;
    std::unique_ptr<Stopwatch> stopwatch;
    std::unique_ptr<LevelManager> levels;
    std::unique_ptr<PhysicsManager> physics;
    ConfigTentMovementObject* movement = nullptr;
    CameraManager* cameras = nullptr;
};

TEST_F(CameraGlTest, PushingTheSecondCameraBlendsTheViewAcross) {
    ASSERT_TRUE(levelManager->loadLevel("TwoCameras.irr"));
    // Red in front of the first camera, green in front of the second.
    addBlock({0, 1, 0}, video::SColor(255, 220, 30, 30));
    addBlock({0, 4, 30}, video::SColor(255, 30, 200, 30));
    auto* first = static_cast<CameraObject*>(levelManager->getSceneNodeFromID(11));
    auto* second = static_cast<CameraObject*>(levelManager->getSceneNodeFromID(12));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);

    frame();
    cameras->pushCamera(first, nullptr, 1.0f, false); // the first activation of a level cuts
    for (int i = 0; i < 20; ++i)
        frame();
    const video::SColor atFirst = centreColour("first");
    EXPECT_GT(atFirst.getRed(), 150u);
    EXPECT_LT(atFirst.getGreen(), 100u);
    EXPECT_NEAR(cameras->mainCamera->getAbsolutePosition().getDistanceFrom(first->getAbsolutePosition()), 0.0f, 0.01f);

    cameras->pushCamera(second, nullptr, 0.2f, false); // higher priority: it takes over
    EXPECT_EQ(cameras->getOverrideCamera(), second);
    for (int i = 0; i < 10; ++i)
        frame();
    const video::SColor midway = centreColour("mid");
    const core::vector3df between = cameras->mainCamera->getAbsolutePosition();
    EXPECT_GT(between.getDistanceFrom(first->getAbsolutePosition()), 5.0f);
    EXPECT_GT(between.getDistanceFrom(second->getAbsolutePosition()), 5.0f);
    EXPECT_FALSE(midway == atFirst) << "the view has moved on";

    for (int i = 0; i < 40; ++i)
        frame();
    const video::SColor atSecond = centreColour("second");
    EXPECT_GT(atSecond.getGreen(), 150u);
    EXPECT_LT(atSecond.getRed(), 100u);
    EXPECT_NEAR(cameras->mainCamera->getAbsolutePosition().getDistanceFrom(second->getAbsolutePosition()), 0.0f, 0.01f);
    EXPECT_NEAR(cameras->mainCamera->getFOV(), 45.0f * camera::degreesToRadians, 1e-4f);
}

// A cutscene slides its black bars in over a second (32 pixels each on a 360-line screen),
// shows its camera between them, and slides them out again when it ends, back at the first
// camera.
TEST_F(CameraGlTest, ACutsceneSlidesItsBarsInAndOut) {
    for (const char* content : {"Content/Models/Editor/Black.png", "Content/Screens/Backgrounds/Vignette.dds"}) {
        std::filesystem::create_directories((dir.path() / content).parent_path());
        std::filesystem::copy_file(test::sourceDir() / content, dir.path() / content);
    }
    screenManager = new ScreenManager(device->getGUIEnvironment());
    screenManager->createScreens();
    test::ScreenConnections connections; // the cutscene reaches its overlay the game's way
    ASSERT_TRUE(levelManager->loadLevel("TwoCameras.irr"));
    addBlock({0, 1, 0}, video::SColor(255, 220, 30, 30));
    addBlock({0, 4, 30}, video::SColor(255, 30, 200, 30));
    auto* first = static_cast<CameraObject*>(levelManager->getSceneNodeFromID(11));
    ASSERT_NE(first, nullptr);
    scene::ISceneManager* scene = device->getSceneManager();
    auto* cutscene = new CutsceneObject(scene->getRootSceneNode(), scene, -1);
    cutscene->drop();
    cutscene->CutsceneDuration = 2.5f;
    cutscene->CameraID = 12;
    cutscene->ReturnToPreviousCam = true;

    frame();
    cameras->pushCamera(first, nullptr, 1.0f, false);
    for (int i = 0; i < 5; ++i)
        frame();
    auto isBlack = [](video::SColor c) { return c.getRed() < 12 && c.getGreen() < 12 && c.getBlue() < 12; };
    EXPECT_FALSE(isBlack(colourAt("before", 0.5f, 0.01f)));
    EXPECT_GT(centreColour("before-centre").getRed(), 150u);

    cutscene->startCutscene();
    for (int i = 0; i < 5; ++i)
        frame();
    // Half-way: the top 16 rows are covered, row 24 not yet.
    EXPECT_TRUE(isBlack(colourAt("half", 0.5f, 0.01f)));
    EXPECT_FALSE(isBlack(colourAt("half-row24", 0.5f, 24.0f / 359.0f)));
    for (int i = 0; i < 8; ++i)
        frame();
    EXPECT_TRUE(isBlack(colourAt("in", 0.5f, 24.0f / 359.0f)));
    EXPECT_TRUE(isBlack(colourAt("in-bottom", 0.5f, 0.99f)));
    EXPECT_GT(centreColour("in-centre").getGreen(), 150u) << "the cutscene's camera shows";

    while (cutscene->isRunning())
        frame();
    for (int i = 0; i < 12; ++i)
        frame();
    EXPECT_FALSE(isBlack(colourAt("out", 0.5f, 0.01f)));
    EXPECT_FALSE(isBlack(colourAt("out-bottom", 0.5f, 0.99f)));
    EXPECT_GT(centreColour("out-centre").getRed(), 150u) << "back at the first camera";
}

} // namespace
