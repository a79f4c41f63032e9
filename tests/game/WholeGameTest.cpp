// The whole game on the null driver: the real program's registrations, start-up, frame loop
// and shutdown. Subsystems that land extend this test with what they add to the running
// game, instead of testing their slots by hand.
#include "GameFixture.h"

#include "camera/CameraManager.h"
#include "characters/CharacterObject.h"
#include "characters/CharacterStates.h"
#include "characters/CharacterServices.h"
#include "camera/GameCamera.h"
#include "render/HmdRenderer.h"
#include "render/RenderServices.h"

#include "core/app/GameApplication.h"
#include "core/Globals.h"
#include "core/GameSettings.h"
#include "core/ProgramQueries.h"
#include "level/LevelInfo.h"
#include "level/LevelManager.h"
#include "level/ResourceCaches.h"
#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsHooks.h"
#include "physics/world/PhysicsManager.h"
#include "player/InputManager.h"
#include "player/devices/TouchDevice.h"

#include <utility>
#include "render/RenderServices.h"
#include "render/SpriteAnimation.h"
#include "render/TextBubbleObject.h"
#include "render/TextObject.h"
#include "screens/ScreenManager.h"
#include "screens/menus/GUIDialogScreen.h"
#include "screens/menus/GUIPauseScreen.h"
#include "gui/GUIButton.h"
#include "gui/GuiCommon.h"
#include "screens/menus/GUIPlayScreen.h"
#include "screens/levels/LevelCatalogue.h"
#include "screens/levels/WorkshopLevels.h"
#include "level/LevelHooks.h"
#include "level/SaveManager.h"
#include "triggers/TriggerEventObject.h"
#include "triggers/TriggerObject.h"
#include "triggers/actions/SpawnObjectAction.h"
#include "level/SoundObject.h"
#include "level/SceneNodeBase.h"
#include "camera/CameraObject.h"
#include "render/ParticleSystemNode.h"
#include "render/EffectHandler.h"
#include "render/ShadowCascades.h"
#include "level/LevelHooks.h"
#include "phys/Particles.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>
#include <utility>


namespace {

using WholeGameTest = GameFixture;

// Each run of the game counts its level frames from the start, as the program's first run
// does: the count goes with the level manager.
TEST_F(WholeGameTest, EachRunCountsItsLevelFramesAfresh) {
    nextFrame("into play", [] { screenManager->closeAllScreens(); });
    waitFor("level frames counted", [] { return levelAnimateFrame > 10u; });
    ASSERT_NO_FATAL_FAILURE(playGame());
    EXPECT_EQ(levelAnimateFrame, 0u);

    clearRoad();
    nextFrame("the first frame of the next run",
              [] { EXPECT_LE(levelAnimateFrame, 1u) << "counted from the start: this frame's update at most"; });
    ASSERT_NO_FATAL_FAILURE(playGame());
}

// A key pressed on the keyboard moves the main menu's focus and is seen as the "Menu Down"
// action for exactly one frame, press after press (the input frame ends every frame).
TEST_F(WholeGameTest, KeyPressesReachTheTopScreenAndThePlayerControlsFrameByFrame) {
    std::vector<bool> pressedSeen;
    // The entry of the main menu that has the focus (-1: none of them).
    std::vector<int> focusSeen;
    auto look = [&] {
        pressedSeen.push_back(menuDownPressed());
        int row = -1;
        if (GUIPlayScreen* menu = mainMenu())
            for (std::size_t i = 0; i < menu->getItems().size(); ++i)
                if (screenManager->getTopScreenFocus() == menu->getItems()[i])
                    row = static_cast<int>(i);
        focusSeen.push_back(row);
    };
    // Each press in a frame of its own, then the frames after it; the main menu takes keys
    // once the title has faded in.
    int lastFrame = 0;
    for (int press = 0; press < 2; ++press) {
        const auto down = [&] {
            look();
            postKey(irr::KEY_DOWN, true);
        };
        if (press == 0)
            waitFor("the title", titleShown, down);
        else
            nextFrame("the second press", down);
        nextFrame("the key let go", [&] {
            look();
            postKey(irr::KEY_DOWN, false);
        });
        nextFrame("a frame later", look);
        nextFrame("two frames later", [&] {
            look();
            lastFrame = frame;
        });
    }

    ASSERT_NO_FATAL_FAILURE(playGame());
    EXPECT_EQ(frame, lastFrame) << "the frame that asked to quit was the last";
    ASSERT_EQ(pressedSeen.size(), 8u);
    EXPECT_EQ(pressedSeen, (std::vector<bool>{false, true, false, false, false, true, false, false}));
    // The first press moves the focus once, the second once more.
    EXPECT_EQ(focusSeen, (std::vector<int>{0, 1, 1, 1, 1, 2, 2, 2}));
}

// The physics world runs with the game: made and initialised at start-up, one step
// started at the end of every update and running while the frame is drawn, its scene
// recreated when a level unloads, and torn down at shutdown.
TEST_F(WholeGameTest, ThePhysicsWorldStepsEveryFrameAndFollowsTheLevels) {
    for (int threads : {0, 2}) {
        SCOPED_TRACE(threads);
        resetProgramFlags();
        writeSettings([threads] { setSettingInt("Game_PhysicsThreads", threads); });
        clearRoad();
        int drawnWhileStepping = 0;
        probe.onDraw = [&drawnWhileStepping] {
            if (physicsManager->isStepInFlight())
                ++drawnWhileStepping;
        };
        bool sceneRecreated = false;
        std::vector<phys::Material*> materialsBefore;
        const auto stepped = [] { return physicsManager->getFrameCounter() >= 30u; };
        waitFor("thirty steps", stepped, [&] {
            EXPECT_EQ(physicsManager->getThreadCount(), threads);
            EXPECT_TRUE(isSimulationActive());
            EXPECT_GE(physicsManager->getFrameCounter() + 1u, static_cast<irr::u32>(frame)) << "a step every frame";
            materialsBefore = physicsManager->getMaterials();
            // A body of the old level vanishes with its scene when the level unloads.
            ASSERT_NE(physicsManager->createSphereActor(phys::Transform(), 1, 1, 0.5f, 0.1f, false, false), nullptr);
            ASSERT_EQ(physicsManager->getScene()->getNbActors(), 1u);
            levelManager->unloadLevel();
            sceneRecreated = physicsManager->getScene() && physicsManager->getScene()->getNbActors() == 0;
            EXPECT_EQ(physicsManager->getMaterials(), materialsBefore);
            EXPECT_TRUE(levelManager->loadLevel("Content/Levels/MainScreen_Background.irr"));
            EXPECT_EQ(physicsManager->getFrameCounter(), 0u) << "a load starts the step count afresh";
        });
        waitFor("thirty steps in the new level", stepped);

        ASSERT_NO_FATAL_FAILURE(playGame());
        EXPECT_EQ(physicsManager, nullptr) << "shutdown destroyed the world";
        EXPECT_TRUE(sceneRecreated);
        EXPECT_EQ(materialsBefore.size(), 3u);
        // Every update starts one step at its end, still running while its frame is drawn.
        EXPECT_GE(probe.draws, frame - 1);
        EXPECT_GE(drawnWhileStepping, probe.draws - 1);

        const std::vector<std::string> lines = logLines();
        for (const std::string& line : lines)
            EXPECT_EQ(line.rfind("ERROR: ", 0), std::string::npos) << line;
    }
}

// The world effects in the running game: sprite animations load through the cache from
// their files, and levels can make particle objects, billboards and water surfaces.
TEST_F(WholeGameTest, WorldEffectsLoadInTheRunningGame) {
    nextFrame("the first frame", [] {
        SpriteAnimation pulse;
        EXPECT_TRUE(getSpriteAnimation(pulse, "Content/Screens/Animations/Pulse.xml"));
        EXPECT_EQ(pulse.columns, 4);
        EXPECT_EQ(pulse.frameList.size(), 4u);
        EXPECT_NE(pulse.texture, nullptr);
        SpriteAnimation broken;
        EXPECT_FALSE(getSpriteAnimation(broken, "Content/Screens/Animations/Missing.xml"));
        irr::scene::ISceneManager* scene = gameDevice->getSceneManager();
        for (const char* type : {"ParticleObject", "BillboardObject", "wtr1"}) {
            irr::scene::ISceneNode* node = scene->addSceneNode(type, scene->getRootSceneNode());
            EXPECT_NE(node, nullptr) << type;
            if (node)
                node->remove();
        }
    });
    ASSERT_NO_FATAL_FAILURE(playGame());
}

// Text in the world runs with the game: the level factory makes text objects, speech
// bubbles and volume lights, a bubble types its letters out frame by frame, and without a
// head-mounted display the frame keeps its plain scene pass.
TEST_F(WholeGameTest, SpeechBubblesTypeOutTheirTextAsFramesPass) {
    TextBubbleObject* bubble = nullptr;
    std::vector<int> shown; // letters shown, frame by frame
    bool hmdPass = true;
    waitFor("the bubble", titleShown, [&] {
        screenManager->closeAllScreens(); // the level plays
        irr::scene::ISceneManager* scene = gameDevice->getSceneManager();
        for (const char* type : {"TextObject", "VolumeLightObject"})
            EXPECT_NE(scene->addSceneNode(type, nullptr), nullptr) << type;
        bubble = static_cast<TextBubbleObject*>(scene->addSceneNode("TextBubbleObject", nullptr));
        ASSERT_NE(bubble, nullptr);
        irr::io::IAttributes* in = gameDevice->getFileSystem()->createEmptyAttributes();
        in->addString("FontPath", "Content/Font/NoMove.ttf");
        in->addString("Text", "Well hello\\there, you!");
        // About a second for the text: several frames on the slowest machine.
        in->addFloat("TextSpeed", 20.0f);
        bubble->deserializeAttributes(in);
        in->drop();
        hmdPass = hmdRenderer != nullptr;
    });
    everyFrame = [&] {
        if (bubble)
            shown.push_back(bubble->countRevealedGlyphs());
    };
    // Every letter of both lines, spaces included.
    waitFor("the whole text typed", [&] { return !shown.empty() && shown.back() == 21; }, {}, 10.0);

    ASSERT_NO_FATAL_FAILURE(playGame());
    EXPECT_FALSE(hmdPass);
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end())) << "letters only come";
    EXPECT_TRUE(std::any_of(shown.begin(), shown.end(), [](int letters) { return letters > 0 && letters < 21; }))
        << "a part of the text showed first";
}

// Shading runs with the game: the frame reaches the character textures and the shadow pass
// through their slots, a level's shadow light gives the effect handler its light, camera and
// cascade record, and on the null driver no post effect is looked for.
TEST_F(WholeGameTest, ALevelsShadowLightReachesTheShadowPass) {
    nextFrame("the shadow light", [] {
        ASSERT_TRUE(levelHooks().render.applyLevelSettings);
        // The current level's settings with another shadow light.
        LevelSettings settings = levelManager->currentLevelInfo
                                     ? levelManager->currentLevelInfo->settings
                                     : LevelSettings();
        settings.ShadowLightPosition.set(40, 80, -40);
        settings.ShadowLightTarget.set(0, 0, 0);
        levelHooks().render.applyLevelSettings(settings);
    });
    // The pass has followed the camera: the split distances exist.
    const auto passRan = [] {
        return effectHandler && effectHandler->shadowCascades && !effectHandler->shadowCascades->splitDistances.empty();
    };
    waitFor("the shadow pass", passRan, [] {
        ASSERT_NE(effectHandler, nullptr);
        EXPECT_EQ(effectHandler->shadowLights.size(), 1u);
        ASSERT_NE(effectHandler->shadowCascades, nullptr);
        EXPECT_NE(effectHandler->shadowCamera, nullptr);
        EXPECT_EQ(effectHandler->shadowCascades->splitDistances.size(),
                  static_cast<std::size_t>(effectHandler->shadowCascades->splitCount + 1));
        EXPECT_TRUE(effectHandler->postEffects.empty());
        EXPECT_EQ(effectHandler->renderStage, 1);
    });
    ASSERT_NO_FATAL_FAILURE(playGame());
}

// The demonstration level in the running game: its physics objects fall onto the floor and
// rest there; unloading it mid-fall and loading it again leaves nothing behind.
TEST_F(WholeGameTest, PhysicsObjectsFallAndRestInTheRunningGame) {
    writeSettings([] { setSettingInt("Game_PhysicsThreads", 2); });
    constexpr const char* demo = "Content/Levels/PhysicsDemo.irr";
    const auto crateHeight = [] {
        irr::scene::ISceneNode* crate = gameDevice->getSceneManager()->getSceneNodeFromName("Crate");
        return crate ? crate->getAbsolutePosition().Y : 100.0f;
    };
    // Play it: no screen in front, so the level updates.
    waitFor("the demo level", titleShown, [] {
        screenManager->closeAllScreens();
        ASSERT_TRUE(levelManager->loadLevel(demo));
    });
    // The crate starts 5 units up.
    waitFor("the crate falls", [&] { return crateHeight() < 4.0f; }, [] {
        levelManager->unloadLevel();
        EXPECT_EQ(physicsManager->getScene()->getNbActors(), 0u);
        ASSERT_TRUE(levelManager->loadLevel(demo));
    });
    float lastHeight = 100.0f;
    waitFor("the crate at rest", [&] {
        const float height = crateHeight();
        const bool still = std::fabs(height - std::exchange(lastHeight, height)) < 1e-4f;
        return stableFor(height < 4.0f && still, 30);
    }, [&] { EXPECT_NEAR(crateHeight(), 1.0f, 0.1f) << "the 2 x 2 x 2 crate rests on the floor"; });

    ASSERT_NO_FATAL_FAILURE(playGame());
    for (const std::string& line : logLines())
        EXPECT_EQ(line.rfind("ERROR: ", 0), std::string::npos) << line;
}

TEST_F(WholeGameTest, TheCameraManagerPlacesTheMainCameraEveryFrameAndFollowsTheLevels) {
    irr::scene::ICameraSceneNode* firstMain = nullptr;
    auto expectGameCameraShows = [] {
        CameraManager* cameras = cameraManagers[0];
        ASSERT_NE(cameras, nullptr);
        ASSERT_NE(cameras->mainCamera, nullptr);
        EXPECT_EQ(std::string(cameras->mainCamera->getName()), "MainCamera");
        EXPECT_EQ(gameDevice->getSceneManager()->getActiveCamera(), cameras->mainCamera);
        EXPECT_EQ(renderServices().cameras.viewportCamera(0), cameras->mainCamera);
        // Without a player the game camera orbits the origin 12 units away.
        EXPECT_EQ(cameras->getOverrideCamera(), static_cast<CameraObject*>(cameras->gameCamera));
        EXPECT_NEAR(cameras->mainCamera->getAbsolutePosition().getLength(), 12.0f, 0.5f);
        EXPECT_LT(cameras->mainCamera->getTarget().getLength(), 0.5f);
    };
    // The title screen keeps the background level (and its cameras) running behind it. The
    // level previews of the main menu stay out: the background level's own camera is checked.
    levelHooks().screens.titleLevelLoaded = [] {
        unmountWorkshopArchives();
        loadLevelList();
        loadMenuPreviewScenes();
    };
    // The game camera has come round to its place.
    const auto placed = [] {
        CameraManager* cameras = cameraManagers[0];
        return cameras && cameras->mainCamera &&
               cameras->getOverrideCamera() == static_cast<CameraObject*>(cameras->gameCamera) &&
               std::fabs(cameras->mainCamera->getAbsolutePosition().getLength() - 12.0f) < 0.5f;
    };
    nextFrame("the main menu keeps the timer running", [this] {
        ASSERT_NE(mainMenu(), nullptr);
        mainMenu()->setKeepTimerRunning(true);
    });
    waitFor("the game camera placed", placed, [&] {
        expectGameCameraShows();
        firstMain = cameraManagers[0]->mainCamera;
        levelManager->unloadLevel();
        EXPECT_EQ(cameraManagers[0]->mainCamera, nullptr);
        EXPECT_TRUE(levelManager->loadLevel("Content/Levels/MainScreen_Background.irr"));
        EXPECT_NE(cameraManagers[0]->mainCamera, nullptr);
    });
    waitFor("the game camera placed in the new level", placed, expectGameCameraShows);
    ASSERT_NO_FATAL_FAILURE(playGame());
    EXPECT_NE(firstMain, nullptr);
    EXPECT_EQ(cameraManagers[0], nullptr) << "shutdown destroyed the camera managers";
}

// Triggers and physics meet in the running game: the pill of the demonstration level falls
// through a volume in mid-air ("On Object Inside"), which goes off once on the way in and
// lets go once when the pill has left it for the floor.
TEST_F(WholeGameTest, AFallingObjectSetsATriggerVolumeOffOnceAndLetsItGo) {
    TriggerObject* trigger = nullptr;
    int rises = 0, falls = 0;
    bool wasMet = false;
    waitFor("the demo level", titleShown, [&] {
        screenManager->closeAllScreens();
        ASSERT_TRUE(levelManager->loadLevel("Content/Levels/PhysicsDemo.irr"));
        irr::scene::ISceneManager* scene = gameDevice->getSceneManager();
        trigger = static_cast<TriggerObject*>(scene->addSceneNode("TriggerObject", scene->getRootSceneNode()));
        ASSERT_NE(trigger, nullptr);
        trigger->TriggerConditionIndex = static_cast<irr::s32>(TriggerCondition::OnObjectInside);
        trigger->setPosition({3.0f, 3.5f, -1.0f}); // under the pill, above the floor
        trigger->setScale({2.0f, 1.0f, 2.0f});
        trigger->updateAbsolutePosition();
        trigger->rebuildVolume();
    });
    everyFrame = [&] {
        if (!trigger)
            return;
        rises += trigger->ConditionMet && !wasMet ? 1 : 0;
        falls += !trigger->ConditionMet && wasMet ? 1 : 0;
        wasMet = trigger->ConditionMet;
    };
    // Under the volume's floor the pill comes to rest on the level's floor.
    float lastHeight = 100.0f;
    waitFor("the pill at rest below the volume", [&] {
        irr::scene::ISceneNode* pill = gameDevice->getSceneManager()->getSceneNodeFromName("Pill");
        const float height = pill ? pill->getAbsolutePosition().Y : 100.0f;
        const bool still = std::fabs(height - std::exchange(lastHeight, height)) < 1e-4f;
        return stableFor(falls > 0 && still, 30);
    });

    ASSERT_NO_FATAL_FAILURE(playGame());
    EXPECT_EQ(rises, 1);
    EXPECT_EQ(falls, 1);
}

// Physics particles in the running game: a fountain over the demonstration level's floor
// hands its particles to the physics world, whose gravity (standing for the effect's gravity
// affector) brings them down onto the floor, where they stay.
TEST_F(WholeGameTest, PhysicsParticlesFallOntoTheFloor) {
    ParticleSystemNode* fountain = nullptr;
    irr::f32 lowest = 1e9f, highest = -1e9f;
    irr::u32 count = 0;
    waitFor("the fountain", titleShown, [&] {
        screenManager->closeAllScreens();
        ASSERT_TRUE(levelManager->loadLevel("Content/Levels/PhysicsDemo.irr"));
        irr::scene::ISceneManager* scene = gameDevice->getSceneManager();
        fountain = new ParticleSystemNode(scene->getRootSceneNode(), scene, {9.0f, 6.0f, 6.0f});
        fountain->drop();
        fountain->createPhysicsParticleSystem(0.1f, 0.0f, 0.0f, 0.5f, 1.0f, 0.0f, 0.0f, false);
        ASSERT_NE(fountain->getPhysicsSystem(), nullptr);
        // Sideways and slow (per millisecond), so that only gravity brings them down.
        irr::scene::IParticleSystemSceneNode* maker = scene->addParticleSystemSceneNode(false);
        irr::scene::IParticleEmitter* emitter = maker->createPointEmitter(
            {0.002f, 0.0f, 0.0f}, 500, 500, irr::video::SColor(255, 255, 255, 255), irr::video::SColor(255, 255, 255, 255),
            60000, 60000, 0);
        fountain->setEmitter(emitter);
        emitter->drop();
        // On the physics path a gravity affector switches the physics world's gravity on.
        irr::scene::IParticleAffector* gravity = maker->createGravityAffector();
        fountain->addAffector(gravity);
        gravity->drop();
        maker->remove();
    });
    irr::u32 emitted = 0;
    waitFor("a hundred particles", [&] { return fountain->getParticleCount() >= 100u; }, [&] {
        emitted = fountain->getParticleCount();
        fountain->setEmitter(nullptr);
    });
    const auto measure = [&] {
        count = fountain->getParticleCount();
        lowest = 1e9f;
        highest = -1e9f;
        for (irr::u32 i = 0; i < count; ++i) {
            lowest = std::min(lowest, fountain->getParticle(i).pos.Y);
            highest = std::max(highest, fountain->getParticle(i).pos.Y);
        }
    };
    // Down near the floor, and staying there.
    waitFor("every particle down", [&] {
        measure();
        return stableFor(highest < 1.0f, 30);
    }, measure);

    ASSERT_NO_FATAL_FAILURE(playGame());
    ASSERT_GT(emitted, 0u);
    EXPECT_EQ(count, emitted) << "they live for a minute";
    EXPECT_LT(highest, 1.0f) << "gravity brought every particle down from 6 units";
    EXPECT_GT(lowest, -0.2f) << "the floor holds them";
}

} // namespace

namespace {

// Escape during a level opens the pause menu: the input gate closes, the engine timer and
// the physics step stop; Escape again resumes them.
// The input subsystem's touch path in the running game: a tap on the pause button's square
// opens the pause menu.
TEST_F(WholeGameTest, ATapOnThePauseButtonPausesTheGame) {
    // Touches come in between frames, as engine events do.
    bool tapDue = false;
    betweenFrames = [&tapDue] {
        if (std::exchange(tapDue, false)) {
            TouchData tap;
            tap.id = 1;
            tap.x = screenWidth - 20;
            tap.y = 30;
            tap.flags = touchWentDown;
            inputManager->injectTouch(tap);
        }
    };
    nextFrame("into play", [] { screenManager->closeAllScreens(); });
    waitFor("play", [] { return screenManager->isInputAllowed(); }, [&] {
        EXPECT_FALSE(screenManager->isPauseScreenVisible());
        tapDue = true;
    });
    waitFor("the pause menu", [] { return screenManager->isPauseScreenVisible(); },
            [] { EXPECT_TRUE(inputManager->getTouch()->wasTouchSeen()); });
    ASSERT_NO_FATAL_FAILURE(playGame());
}

TEST_F(WholeGameTest, EscapeDuringALevelPausesTheGameAndAgainResumesIt) {
    // The physics steps started by the frame update: one is in flight after the update.
    int stepsBegun = 0, stepsAtPause = 0;
    everyFrame = [&stepsBegun] {
        if (physicsManager->isStepInFlight())
            ++stepsBegun;
    };
    // Into play: the main menu closes over the running level.
    nextFrame("into play", [] { screenManager->closeAllScreens(); });
    waitFor("play", [] { return screenManager->isInputAllowed(); }, [&] {
        EXPECT_FALSE(screenManager->isPauseScreenVisible());
        postKey(irr::KEY_ESCAPE, true);
    });
    nextFrame("Escape let go", [&] {
        postKey(irr::KEY_ESCAPE, false);
        EXPECT_TRUE(screenManager->isPauseScreenVisible());
        EXPECT_FALSE(screenManager->isInputAllowed());
        EXPECT_FALSE(screenManager->isGameUpdateAllowed());
        stepsAtPause = stepsBegun;
    });
    waitFor("the pause menu shown", [] { return shownOnTop(screenManager->getPauseScreen()); }, [&] {
        EXPECT_TRUE(screenManager->isPauseScreenVisible());
        EXPECT_EQ(stepsBegun, stepsAtPause) << "no physics step behind the pause menu";
        EXPECT_TRUE(gameDevice->getTimer()->isStopped());
        postKey(irr::KEY_ESCAPE, true);
    });
    nextFrame("Escape let go again", [&] { postKey(irr::KEY_ESCAPE, false); });
    waitFor("play again", [] { return !screenManager->isPauseScreenVisible() && screenManager->isInputAllowed(); });
    waitFor("a physics step after the pause", [&] { return stepsBegun > stepsAtPause; },
            [] { EXPECT_FALSE(gameDevice->getTimer()->isStopped()); });

    ASSERT_NO_FATAL_FAILURE(playGame());
}

// At 5 frames a second a player's 100 ms taps begin and end between two frames: each still
// counts as one press. By taps alone the game pauses, the pause menu's Restart row opens its
// question, whose focused row shows from its first frame, and the keys go on moving the
// focus there and back in the pause menu.
TEST_F(WholeGameTest, TapsWithinAFrameWorkThePauseMenuAndItsQuestionAtFiveFramesASecond) {
    betweenFrames = [] { std::this_thread::sleep_for(std::chrono::milliseconds(200)); };
    const auto tap = [this](irr::EKEY_CODE key) {
        postKey(key, true);
        postKey(key, false);
    };
    const auto focusIs = [](GUIOptionsList* screen, std::size_t row) {
        return screen && row < screen->getItems().size() &&
               screenManager->getTopScreenFocus() == screen->getItems()[row];
    };
    constexpr double bound = 15.0;
    GUIDialogScreen* question = nullptr;
    nextFrame("into play", [] { screenManager->closeAllScreens(); });
    waitFor("play", [] { return screenManager->isInputAllowed(); }, [&] { tap(irr::KEY_ESCAPE); });
    waitFor("the pause menu shown", [] { return shownOnTop(screenManager->getPauseScreen()); },
            [&] { tap(irr::KEY_DOWN); }, bound);
    waitFor("Restart focused", [&] { return focusIs(screenManager->getPauseScreen(), 1); },
            [&] { tap(irr::KEY_RETURN); }, bound);
    waitFor("the restart question", [&] {
        question = dynamic_cast<GUIDialogScreen*>(screenManager->getTopScreen());
        return question != nullptr;
    }, [&] {
        ASSERT_EQ(question->getItems().size(), 3u);
        EXPECT_TRUE(focusIs(question, 0));
        EXPECT_EQ(question->getItems()[0]->getState(), ButtonState::Focused);
    }, bound);
    waitFor("the question shown", [&] { return shownOnTop(question); }, [&] { tap(irr::KEY_DOWN); }, bound);
    waitFor("the second answer focused", [&] { return focusIs(question, 1); }, [&] { tap(irr::KEY_DOWN); }, bound);
    waitFor("Cancel focused", [&] { return focusIs(question, 2); }, [&] { tap(irr::KEY_RETURN); }, bound);
    waitFor("back in the pause menu", [] { return shownOnTop(screenManager->getPauseScreen()); },
            [&] { tap(irr::KEY_UP); }, bound);
    waitFor("Resume focused", [&] { return focusIs(screenManager->getPauseScreen(), 0); },
            [&] { tap(irr::KEY_RETURN); }, bound);
    waitFor("play again", [] { return !screenManager->isPauseScreenVisible() && screenManager->isInputAllowed(); },
            {}, bound);
    ASSERT_NO_FATAL_FAILURE(playGame());
}

// Characters in the running game: the demonstration level's walker follows its square path
// through its controller; a checkpoint saved on the way brings it back at the same place on
// the path, still walking; the suspicion rules reach it through their slots.
TEST_F(WholeGameTest, ACharacterWalksItsPathAndComesBackFromACheckpoint) {
    constexpr const char* level = "Content/Levels/CharacterDemo.irr";
    const auto walker = [] {
        return asCharacter(gameDevice->getSceneManager()->getSceneNodeFromName("Walker"));
    };
    irr::core::vector3df start, saved;
    irr::s32 savedIndex = -1;
    waitFor("the demo level", titleShown, [&] {
        screenManager->closeAllScreens();
        ASSERT_TRUE(levelManager->loadLevel(level));
        ASSERT_NE(walker(), nullptr);
        start = walker()->getControllerPosition();
    });
    waitFor("walked along the path", [&] { return walker()->getControllerPosition().getDistanceFrom(start) > 4.0f; }, [&] {
        EXPECT_EQ(walker()->stateMachine().currentID(), CharacterStateId::Walking);
        saved = walker()->getControllerPosition();
        savedIndex = walker()->WaypointIndex;
        EXPECT_TRUE(levelManager->saveCheckpoint());
    });
    waitFor("walked on after the checkpoint",
            [&] { return walker()->getControllerPosition().getDistanceFrom(saved) > 3.0f; }, [&] {
        levelManager->unloadLevel();
        ASSERT_TRUE(levelManager->loadLevel(levelManager->getCheckpointPath(levelManager->isStoryRun())));
        ASSERT_NE(walker(), nullptr);
        const irr::core::vector3df restored = walker()->getControllerPosition();
        EXPECT_NEAR(restored.X, saved.X, 0.05f);
        EXPECT_NEAR(restored.Z, saved.Z, 0.05f);
        EXPECT_NEAR(restored.Y, saved.Y + 0.5f, 0.05f) << "written half a unit up, clear of the floor";
        EXPECT_EQ(walker()->WaypointIndex, savedIndex);
        EXPECT_EQ(walker()->stateMachine().currentID(), CharacterStateId::Walking);
        // The game's registration fills the characters' ways up: the suspicion splats to the
        // HUD, and the contact dispatch's slot.
        EXPECT_TRUE(static_cast<bool>(characterServices().screens.addSplat));
        EXPECT_TRUE(static_cast<bool>(physicsHooks().characters.onCharacterStruck));
    });

    ASSERT_NO_FATAL_FAILURE(playGame());
    for (const std::string& line : logLines())
        EXPECT_EQ(line.rfind("ERROR: ", 0), std::string::npos) << line;
}

// The animator factory fills its slot at start-up: the animators a level file names come
// from it and move their objects frame by frame, and a frame animator starts the next.
TEST_F(WholeGameTest, TheLevelsAnimatorsMoveTheirObjectsInTheRunningGame) {
    irr::f32 yawTurning = 0.0f, yawNow = 0.0f;
    irr::core::vector3df riderTurning, riderNow;
    waitFor("the demo level", titleShown, [] {
        EXPECT_NE(animatorFactory, nullptr);
        screenManager->closeAllScreens();
        ASSERT_TRUE(levelManager->loadLevel("Content/Levels/AnimatorDemo.irr"));
    });
    auto look = [](irr::f32& yaw, irr::core::vector3df& rider) {
        irr::scene::ISceneManager* scene = gameDevice->getSceneManager();
        irr::scene::ISceneNode* spinner = scene->getSceneNodeFromName("Spinner");
        irr::scene::ISceneNode* ball = scene->getSceneNodeFromName("Rider");
        ASSERT_TRUE(spinner && ball);
        ASSERT_EQ(spinner->getAnimators().size(), 1u);
        EXPECT_EQ(static_cast<int>((*spinner->getAnimators().begin())->getType()), 1012);
        yaw = spinner->getRotation().Y;
        rider = ball->getAbsolutePosition();
    };
    // The figure turns around once (frame animator 1), then its looking around (animator 2,
    // started by the end of the turn) loops.
    struct Frames {
        irr::s32 start = 0, pending = 0, current = 0;
    } turning, looking;
    auto frames = [](Frames& seen) {
        PhysicsObject* dancer = asPhysicsObject(gameDevice->getSceneManager()->getSceneNodeFromName("Dancer"));
        ASSERT_TRUE(dancer && dancer->getMeshNode());
        seen = {dancer->getMeshNode()->getStartFrame(), dancer->mesh().pendingAnimatorID,
                dancer->mesh().currentFrameAnimatorID};
    };
    const auto running = [](irr::s32 animator) {
        PhysicsObject* dancer = asPhysicsObject(gameDevice->getSceneManager()->getSceneNodeFromName("Dancer"));
        return dancer && dancer->getMeshNode() && dancer->mesh().currentFrameAnimatorID == animator;
    };
    waitFor("the turn", [&] { return running(1); }, [&] {
        look(yawTurning, riderTurning);
        frames(turning);
    });
    waitFor("the looking around", [&] { return running(2); }, [&] { frames(looking); });
    // Two samples of a loop can coincide: the state waited for is the crate turned and the
    // ball more than a unit along its path from where they were at the turn.
    waitFor("the crate spins and the ball rides its path", [&] {
        look(yawNow, riderNow);
        return HasFatalFailure() || (yawNow != yawTurning && riderTurning.getDistanceFrom(riderNow) > 1.0f);
    });

    ASSERT_NO_FATAL_FAILURE(playGame());
    EXPECT_EQ(turning.start, 91);
    EXPECT_EQ(turning.pending, 2) << "the turn waits to start animator 2";
    EXPECT_EQ(turning.current, 1);
    EXPECT_EQ(looking.start, 61) << "the turn's end started animator 2";
    EXPECT_EQ(looking.pending, -1);
    EXPECT_EQ(looking.current, 2);
    EXPECT_EQ(animatorFactory, nullptr) << "released at shutdown";
}

// Reset rules in the running game: the crate of the reset level falls below its reset
// height, shrinks away, comes back at its spawn point and grows back; the level's update
// clears the touch lists, and the frame draws the physics debug lines.
TEST_F(WholeGameTest, AFallingObjectShrinksAndRespawnsAtItsSpawnPoint) {
    bool loaded = false;
    waitFor("the reset level", titleShown, [&] {
        screenManager->closeAllScreens();
        ASSERT_TRUE(levelManager->loadLevel("Content/Levels/ResetDemo.irr"));
        loaded = true;
    });
    float smallest = 10.0f, highestAfterShrink = -10.0f, scale = 1.0f;
    bool shrunk = false;
    size_t touches = 99;
    everyFrame = [&] {
        if (!loaded)
            return;
        auto* faller = asPhysicsObject(gameDevice->getSceneManager()->getSceneNodeFromName("Faller"));
        ASSERT_NE(faller, nullptr);
        faller->enableTouchTracking(0.0f);
        scale = faller->getScale().X;
        smallest = std::min(smallest, scale);
        shrunk = shrunk || scale < 0.01f;
        if (shrunk)
            highestAfterShrink = std::max(highestAfterShrink, faller->getAbsolutePosition().Y);
        touches = faller->body().touchList.size();
    };
    waitFor("shrunk away and grown back", [&] { return shrunk && scale > 0.99f; });

    ASSERT_NO_FATAL_FAILURE(playGame());
    EXPECT_LT(smallest, 0.01f) << "shrank away";
    EXPECT_NEAR(highestAfterShrink, 6.0f, 0.1f) << "back at its spawn point";
    EXPECT_EQ(touches, 0u) << "the end of each update empties the touch list";
    for (const std::string& line : logLines())
        EXPECT_EQ(line.rfind("ERROR: ", 0), std::string::npos) << line;
}

// The trigger actions in the running game: the registrations make every built action and
// both volume kinds, and the demonstration level's "Immediately" trigger switches to its
// camera and runs its timed events (sound, lift, spawn, hide, kick) while its force volume
// floats a crate.
TEST_F(WholeGameTest, TheTriggerActionsDemoLevelRunsEachActionOnItsTimer) {
    useSteadyFrames();
    bool soundHeard = false;
    irr::f32 liftStart = 0.0f, kickedStart = 0.0f, kickedHighest = 0.0f;
    auto find = [](irr::s32 id) { return levelManager->getSceneNodeFromID(id); };
    bool loaded = false;
    waitFor("the demo level", titleShown, [&] {
        for (irr::s32 type : {1, 6, 8, 9, 10, 22})
            EXPECT_TRUE(isTriggerActionClassRegistered(type)) << triggerActionNames[type];
        screenManager->closeAllScreens();
        levelManager->unloadLevel(); // the title's background level goes
        ASSERT_TRUE(levelManager->loadLevel("Content/Levels/TriggerActionsDemo.irr"));
        ASSERT_NE(find(60), nullptr);
        EXPECT_EQ(find(60)->getType(), typeId("frce"));
        EXPECT_EQ(find(61)->getType(), typeId("cmrv"));
        liftStart = find(2)->getAbsolutePosition().Y;
        kickedStart = find(3)->getAbsolutePosition().Y;
        loaded = true;
    });
    everyFrame = [&] {
        if (!loaded)
            return;
        if (auto* sound = static_cast<SoundObject*>(find(40)))
            soundHeard = soundHeard || sound->isPlaying();
        kickedHighest = std::max(kickedHighest, find(3)->getAbsolutePosition().Y);
    };
    // The last timed event (the kick) has acted, the spawned ball has come down, and the crate
    // on the pool bobs about its float height (3.8), far above the floor it would rest on (1).
    const auto eventsDone = [&] {
        irr::scene::ISceneNode* ball = find(100);
        const bool floating = std::fabs(find(5)->getAbsolutePosition().Y - 3.8f) < 0.45f;
        return stableFor(kickedHighest > kickedStart + 1.0f && ball && ball->getAbsolutePosition().Y < 6.0f &&
                             std::fabs(find(2)->getAbsolutePosition().Y - 5.0f) < 1e-3f && floating,
                         30);
    };
    waitFor("the timed events acted", eventsDone, [&] {
        CameraManager* cameras = cameraManagers[0];
        EXPECT_EQ(cameras->getOverrideCamera(), static_cast<CameraObject*>(find(20)));
        EXPECT_TRUE(soundHeard);
        EXPECT_GT(kickedHighest, kickedStart + 1.0f) << "the crate was kicked into the air";
        EXPECT_NEAR(liftStart, 1.0f, 1e-3f);
        EXPECT_NEAR(find(2)->getAbsolutePosition().Y, 5.0f, 1e-3f) << "the lift was raised";
        EXPECT_FALSE(find(4)->isVisible()) << "the barrel was hidden";
        irr::scene::ISceneNode* ball = find(100);
        ASSERT_NE(ball, nullptr) << "the pool's copies carry their IDs";
        EXPECT_TRUE(ball->isVisible());
        EXPECT_FALSE(find(101)->isVisible()) << "one firing places one copy";
        EXPECT_EQ(find(101)->getParent()->getType(), typeId("inst")) << "the second copy waits in an instance of the first";
        EXPECT_LT(ball->getAbsolutePosition().Y, 6.0f) << "the spawned ball fell";
        // A second firing places the pool's instanced copy.
        auto* drop = static_cast<TriggerEventObject*>(gameDevice->getSceneManager()->getSceneNodeFromName("DropBall"));
        ASSERT_NE(drop, nullptr);
        TriggerEventInfo event;
        drop->getAction()->execute(event);
    });
    waitFor("the instanced ball fell", [&] { return find(101)->getAbsolutePosition().Y < 6.0f; }, [&] {
        EXPECT_TRUE(find(101)->isVisible());
        EXPECT_TRUE(find(101)->getParent()->isVisible()) << "its instance is shown with it";
    });
    ASSERT_NO_FATAL_FAILURE(playGame());
}

} // namespace

namespace {

// The game's own main road: the title screen and the main menu over the background level
// with the story list and its previews loaded; Enter on New Game loads the first story level
// behind the loading overlay (the loading frames and billboard run while it reads) and
// closes the menus; Escape then pauses it.
TEST_F(WholeGameTest, NewGameFromTheMainMenuLoadsTheFirstStoryLevel) {
    constexpr const wchar_t* firstLevel = L"Content/Levels/Story_Garden.irr";
    int loadingFrames = 0;
    LevelHookTable::Screens& levelScreens = levelHooks().screens;
    // The main menu takes keys once the title screen has faded in.
    waitFor("the title", titleShown, [&] {
        levelScreens.renderLoadingFrame = [render = levelScreens.renderLoadingFrame, &loadingFrames] {
            if (levelManager->loadingOverlay.isOpaque())
                ++loadingFrames;
            render();
        };
        const auto& stack = screenManager->getScreenStack();
        ASSERT_EQ(stack.size(), 2u);
        EXPECT_STREQ(stack[0]->getTypeName(), "GUIPlayScreen");
        EXPECT_STREQ(stack[1]->getTypeName(), "GUIMainScreen");
        EXPECT_EQ(levelManager->getCurrentLevelPath(), irr::core::stringw(titleBackgroundLevel));
        ASSERT_FALSE(MenuLevels.empty());
        EXPECT_EQ(MenuLevels.front().path, "Content/Levels/Story_Garden.irr");
        ASSERT_FALSE(MenuPreviewNodes.empty());
        ASSERT_NE(MenuPreviewNodes.front(), nullptr);
        EXPECT_TRUE(MenuPreviewNodes.front()->isVisible()) << "the autosave's (first) level shows behind the menu";
        ASSERT_NE(CalibrationPreview, nullptr);
        EXPECT_FALSE(screenManager->isInputAllowed());
        EXPECT_TRUE(screenManager->isGameUpdateAllowed()) << "the background level runs behind the menu";
        postKey(irr::KEY_RETURN, true);
    });
    nextFrame("Enter let go", [&] { postKey(irr::KEY_RETURN, false); });
    const auto playing = [&] {
        return levelManager->getCurrentLevelPath() == irr::core::stringw(firstLevel) &&
               !levelManager->loadingOverlay.isBusy() && screenManager->getScreenStack().empty();
    };
    waitFor("the first level plays", playing, [&] {
        EXPECT_FALSE(screenManager->isStackActive());
        EXPECT_TRUE(screenManager->isInputAllowed());
        EXPECT_EQ(levelManager->PlayMode, LevelManager::playModeStory);
        EXPECT_EQ(saveManager->getAutoSavePath(true), std::wstring(firstLevel));
        postKey(irr::KEY_ESCAPE, true);
    });
    nextFrame("Escape let go", [&] { postKey(irr::KEY_ESCAPE, false); });
    waitFor("the pause menu", [] { return screenManager->isPauseScreenVisible(); },
            [] { EXPECT_FALSE(screenManager->isInputAllowed()); });

    ASSERT_NO_FATAL_FAILURE(playGame());
    EXPECT_GT(loadingFrames, 0) << "the level was read behind the covering overlay";
    for (const std::string& line : logLines())
        EXPECT_EQ(line.rfind("ERROR: ", 0), std::string::npos) << line;
}

} // namespace
