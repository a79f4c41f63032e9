// The whole game on the null driver: the real program's registrations, start-up, frame loop
// and shutdown. Subsystems that land extend this test with what they add to the running
// game, instead of testing their slots by hand.
#include "GameFixture.h"

#include "core/GameApplication.h"
#include "core/Globals.h"
#include "core/GameSettings.h"
#include "core/ProgramQueries.h"
#include "level/LevelManager.h"
#include "physics/world/PhysicsManager.h"
#include "player/InputManager.h"
#include "render/RenderServices.h"
#include "render/TextBubbleObject.h"
#include "render/TextObject.h"
#include "screens/ScreenManager.h"


namespace {

using WholeGameTest = GameFixture;

// A key pressed on the keyboard moves the title menu's focus and is seen as the "Menu Down"
// action for exactly one frame, press after press (the input frame ends every frame).
TEST_F(WholeGameTest, KeyPressesReachTheTopScreenAndThePlayerControlsFrameByFrame) {
    std::vector<bool> pressedSeen;
    // The row of the title menu that has the focus (-1: none of them).
    std::vector<int> focusSeen;
    auto look = [&] {
        pressedSeen.push_back(menuDownPressed());
        int row = -1;
        for (int i = 0; i < 3; ++i)
            if (titleMenu && screenManager->getTopScreenFocus() == titleMenu->row(i))
                row = i;
        focusSeen.push_back(row);
    };
    for (int press : {20, 40}) {
        steps[press] = [&] {
            look();
            postKey(irr::KEY_DOWN, true);
        };
        steps[press + 1] = [&] {
            look();
            postKey(irr::KEY_DOWN, false);
        };
        steps[press + 2] = look;
        steps[press + 3] = look;
    }
    quitAt(50);

    GameApplication game;
    EXPECT_EQ(game.run(), gameStatusNormal);
    EXPECT_EQ(frame, 50);
    ASSERT_EQ(pressedSeen.size(), 8u);
    EXPECT_EQ(pressedSeen, (std::vector<bool>{false, true, false, false, false, true, false, false}));
    // The first press moves the focus once, the second once more.
    EXPECT_EQ(focusSeen, (std::vector<int>{0, 1, 1, 1, 1, 2, 2, 2}));
}

// The physics world runs with the game: made and initialised at start-up, one step
// started at the end of every update and running while the frame is drawn, its scene
// recreated when a level unloads, and torn down at shutdown.
TEST_F(WholeGameTest, ThePhysicsWorldStepsEveryFrameAndFollowsTheLevels) {
    ScreenHooks& screens = shellHooks().screens;
    const std::function<void()> draw = screens.draw;
    for (int threads : {0, 2}) {
        SCOPED_TRACE(threads);
        resetProgramFlags();
        writeSettings([threads] { setSettingInt("Game_PhysicsThreads", threads); });
        frame = 0;
        steps.clear();
        int framesDrawn = 0, drawnWhileStepping = 0;
        screens.draw = [&draw, &framesDrawn, &drawnWhileStepping] {
            ++framesDrawn;
            if (physicsManager->isStepInFlight())
                ++drawnWhileStepping;
            draw();
        };
        bool sceneRecreated = false;
        std::vector<phys::Material*> materialsBefore;
        steps[30] = [&] {
            EXPECT_EQ(physicsManager->getThreadCount(), threads);
            EXPECT_TRUE(isSimulationActive());
            EXPECT_GE(physicsManager->getFrameCounter(), 29u);
            materialsBefore = physicsManager->getMaterials();
            // A body of the old level vanishes with its scene when the level unloads.
            ASSERT_NE(physicsManager->createSphereActor(phys::Transform(), 1, 1, 0.5f, 0.1f, false, false), nullptr);
            ASSERT_EQ(physicsManager->getScene()->getNbActors(), 1u);
            levelManager->unloadLevel();
            sceneRecreated = physicsManager->getScene() && physicsManager->getScene()->getNbActors() == 0;
            EXPECT_EQ(physicsManager->getMaterials(), materialsBefore);
            EXPECT_TRUE(levelManager->loadLevel("Content/Levels/MainScreen_Background.irr"));
            EXPECT_EQ(physicsManager->getFrameCounter(), 0u) << "a load starts the step count afresh";
        };
        quitAt(60);

        GameApplication game;
        EXPECT_EQ(game.run(), gameStatusNormal);
        EXPECT_EQ(frame, 60);
        EXPECT_EQ(physicsManager, nullptr) << "shutdown destroyed the world";
        EXPECT_TRUE(sceneRecreated);
        EXPECT_EQ(materialsBefore.size(), 3u);
        // Every update starts one step at its end, still running while its frame is drawn.
        EXPECT_GE(framesDrawn, 59);
        EXPECT_GE(drawnWhileStepping, framesDrawn - 1);

        const std::vector<std::string> lines = logLines();
        for (const std::string& line : lines)
            EXPECT_EQ(line.rfind("ERROR: ", 0), std::string::npos) << line;
    }
}

// Text in the world runs with the game: the level factory makes text objects, speech
// bubbles and volume lights, a bubble types its letters out frame by frame, and without a
// head-mounted display the frame keeps its plain scene pass.
TEST_F(WholeGameTest, SpeechBubblesTypeOutTheirTextAsFramesPass) {
    TextBubbleObject* bubble = nullptr;
    int shownAt30 = -1, shownAt60 = -1;
    bool hmdPass = true;
    steps[20] = [&] {
        irr::scene::ISceneManager* scene = gameDevice->getSceneManager();
        for (const char* type : {"TextObject", "VolumeLightObject"})
            EXPECT_NE(scene->addSceneNode(type, nullptr), nullptr) << type;
        bubble = static_cast<TextBubbleObject*>(scene->addSceneNode("TextBubbleObject", nullptr));
        ASSERT_NE(bubble, nullptr);
        irr::io::IAttributes* in = gameDevice->getFileSystem()->createEmptyAttributes();
        in->addString("FontPath", "Content/Font/NoMove.ttf");
        in->addString("Text", "Well hello\\there, you!");
        in->addFloat("TextSpeed", 1000.0f);
        bubble->deserializeAttributes(in);
        in->drop();
        hmdPass = renderServices().effects.renderHmdEyes();
    };
    steps[30] = [&] { shownAt30 = bubble ? bubble->countRevealedGlyphs() : -1; };
    steps[60] = [&] { shownAt60 = bubble ? bubble->countRevealedGlyphs() : -1; };
    quitAt(70);

    GameApplication game;
    EXPECT_EQ(game.run(), gameStatusNormal);
    EXPECT_FALSE(hmdPass);
    EXPECT_GT(shownAt30, 0);
    EXPECT_LE(shownAt30, shownAt60);
    EXPECT_EQ(shownAt60, 21); // every letter of both lines, spaces included
}

} // namespace

namespace {

// Escape during a level opens the pause menu: the input gate closes, the engine timer and
// the physics step stop; Escape again resumes them.
TEST_F(WholeGameTest, EscapeDuringALevelPausesTheGameAndAgainResumesIt) {
    // The physics steps started by the frame update.
    int stepsBegun = 0, stepsAtPause = 0;
    PhysicsHooks& physics = shellHooks().physics;
    physics.beginStep = [begin = physics.beginStep, &stepsBegun] {
        ++stepsBegun;
        begin();
    };
    steps[20] = [&] {
        // Into play: the title menu closes over the running level.
        screenManager->closeAllScreens();
    };
    steps[25] = [&] {
        EXPECT_TRUE(screenManager->isInputAllowed());
        EXPECT_FALSE(screenManager->isPauseScreenVisible());
        postKey(irr::KEY_ESCAPE, true);
    };
    steps[26] = [&] {
        postKey(irr::KEY_ESCAPE, false);
        EXPECT_TRUE(screenManager->isPauseScreenVisible());
        EXPECT_FALSE(screenManager->isInputAllowed());
        EXPECT_FALSE(screenManager->isGameUpdateAllowed());
        stepsAtPause = stepsBegun;
    };
    steps[40] = [&] {
        EXPECT_TRUE(screenManager->isPauseScreenVisible());
        EXPECT_EQ(stepsBegun, stepsAtPause) << "no physics step behind the pause menu";
        EXPECT_TRUE(gameDevice->getTimer()->isStopped());
        postKey(irr::KEY_ESCAPE, true);
    };
    steps[41] = [&] { postKey(irr::KEY_ESCAPE, false); };
    steps[90] = [&] {
        EXPECT_FALSE(screenManager->isPauseScreenVisible());
        EXPECT_TRUE(screenManager->isInputAllowed());
        EXPECT_FALSE(gameDevice->getTimer()->isStopped());
        EXPECT_GT(stepsBegun, stepsAtPause);
    };
    quitAt(91);

    GameApplication game;
    EXPECT_EQ(game.run(), gameStatusNormal);
    EXPECT_EQ(frame, 91);
}

} // namespace
