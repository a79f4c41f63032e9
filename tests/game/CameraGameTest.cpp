// Cameras and cutscenes in the running game (null driver, keys through the engine's event
// receiver): a trigger starts the demonstration level's cutscene, which holds the game behind
// its bars until the skip action is held; the player looks around a level camera and takes
// the camera back; the debug keys fly the free camera and switch the override cameras off.
#include "GameFixture.h"

#include "camera/CameraManager.h"
#include "camera/CameraServices.h"
#include "camera/CutsceneObject.h"
#include "camera/GameCamera.h"

#include "core/GameApplication.h"
#include "core/Globals.h"
#include "core/ProgramQueries.h"
#include "level/LevelManager.h"
#include "screens/ScreenManager.h"
#include "screens/cutscene/GUICutscene.h"

#include <algorithm>
#include <cmath>
#include <string>

using namespace irr;

namespace {

constexpr const char* cutsceneLevel = "Content/Levels/CutsceneDemo.irr";
CameraObject* levelCamera(s32 id) { return static_cast<CameraObject*>(levelManager->getSceneNodeFromID(id)); }

// Degrees between two directions.
f32 angleBetween(core::vector3df a, core::vector3df b) {
    a.normalize();
    b.normalize();
    return std::acos(core::clamp(a.dotProduct(b), -1.0f, 1.0f)) * core::RADTODEG;
}

class CameraGameTest : public GameFixture {
protected:
    // From the frame: the level is loaded over the closed title screen.
    void loadAt(int at, const char* level) {
        steps[at] = [level] {
            screenManager->closeAllScreens();
            ASSERT_TRUE(levelManager->loadLevel(level));
        };
    }
    // A key goes down at the frame and up the frame after.
    void tapAt(int at, EKEY_CODE key) {
        steps[at] = [this, key] { postKey(key, true); };
        steps[at + 1] = [this, key] { postKey(key, false); };
    }
    bool logged(const std::string& line) const {
        const std::vector<std::string> lines = logLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

// The trigger runs the cutscene as the level starts: the bars slide in, the game counts as
// suspended and the crate camera shows; holding the skip key (Enter) for over a second ends
// it early with a fade, and the game camera comes back as the bars slide out.
TEST_F(CameraGameTest, ATriggeredCutsceneHoldsTheGameUntilItIsSkipped) {
    loadAt(2, cutsceneLevel);
    CutsceneObject* cutscene = nullptr;
    int runningFrames = 0, suspendedFrames = 0, crateCamFrames = 0;
    f32 skippedAt = -1.0f, highestBars = 0.0f, skipShown = 0.0f;
    bool held = false, released = false;
    std::function<void()> watch = [&] {
        if (!cutscene)
            cutscene = static_cast<CutsceneObject*>(levelManager->getSceneNodeFromID(200));
        ASSERT_NE(cutscene, nullptr);
        highestBars = std::max(highestBars, screenManager->getOverlayBlend());
        if (cutscene->isRunning()) {
            ++runningFrames;
            suspendedFrames += isGameplaySuspended() ? 1 : 0;
            crateCamFrames += cameraManagers[0]->getOverrideCamera() == levelCamera(100) ? 1 : 0;
            skipShown = std::max(skipShown, cutscene->skipProgress);
            if (!held && cutscene->elapsed > 1.2f) {
                postKey(KEY_RETURN, true);
                held = true;
            }
            if (cutscene->skipCarriedOut && skippedAt < 0.0f)
                skippedAt = cutscene->elapsed;
        } else if (held && !released) {
            postKey(KEY_RETURN, false);
            released = true;
        }
        if (frame < 400) {
            steps[frame + 1] = watch;
            return;
        }
        // Long after the end: the bars are out and the game camera shows again.
        EXPECT_EQ(screenManager->getOverlayBlend(), 0.0f);
        EXPECT_FALSE(isGameplaySuspended());
        EXPECT_EQ(cameraManagers[0]->getOverrideCamera(), static_cast<CameraObject*>(cameraManagers[0]->gameCamera));
    };
    steps[3] = watch;
    quitAt(401);

    GameApplication game;
    EXPECT_EQ(game.run(), gameStatusNormal);
    EXPECT_GT(runningFrames, 60);
    EXPECT_EQ(highestBars, 1.0f) << "the bars came fully in";
    EXPECT_GE(suspendedFrames, runningFrames - 1) << "gameplay is suspended behind the bars";
    EXPECT_GE(crateCamFrames, runningFrames - 1) << "the cutscene's camera shows";
    EXPECT_GT(skipShown, 1.0f) << "the skip action was held for over a second";
    EXPECT_GT(skippedAt, 2.0f);
    EXPECT_LT(skippedAt, 3.0f) << "accepted after the first second and before the end transition";
    EXPECT_TRUE(released) << "the skip ended the cutscene early";
    EXPECT_LT(runningFrames, 4 * 60) << "shorter than its four seconds";
}

// A cutscene that refuses skipping shows the refusal on the prompt while the skip key is held
// and runs its full four seconds.
TEST_F(CameraGameTest, ACutsceneThatRefusesSkippingShowsTheRefusal) {
    loadAt(2, cutsceneLevel);
    CutsceneObject* cutscene = nullptr;
    f32 lowestShown = 0.0f, longest = 0.0f;
    bool held = false, skipped = false;
    steps[3] = [&] {
        cutscene = static_cast<CutsceneObject*>(levelManager->getSceneNodeFromID(200));
        ASSERT_NE(cutscene, nullptr);
        cutscene->AllowSkipCutscene = false;
    };
    std::function<void()> watch = [&] {
        longest = std::max(longest, cutscene->elapsed);
        skipped = skipped || cutscene->skipCarriedOut;
        lowestShown = std::min(lowestShown, screenManager->getCutsceneScreen()->getSkipProgress());
        if (!held && cutscene->elapsed > 1.2f) {
            postKey(KEY_RETURN, true);
            held = true;
        }
        if (frame < 330)
            steps[frame + 1] = watch;
        else
            postKey(KEY_RETURN, false);
    };
    steps[4] = watch;
    quitAt(332);

    GameApplication game;
    EXPECT_EQ(game.run(), gameStatusNormal);
    EXPECT_LT(lowestShown, -0.9f) << "the refusal indicator showed";
    EXPECT_GT(longest, 3.9f) << "the cutscene ran to its end";
    EXPECT_FALSE(skipped);
}

// Holding Camera Left (numpad 4) on a level camera swings the view up to 22.5 degrees and it
// springs back on release (a camera that disables player control ignores it); where the
// activating volume allows it, the first camera input hands the view back to the game camera.
TEST_F(CameraGameTest, ThePlayerLooksAroundALevelCameraAndTakesTheCameraBack) {
    loadAt(2, "Content/Levels/PhysicsDemo.irr");
    CameraObject* level = nullptr;
    scene::ISceneNode* volume = nullptr;
    f32 swung = 0.0f, settled = -1.0f;
    steps[5] = [&] {
        scene::ISceneManager* scene = gameDevice->getSceneManager();
        level = new CameraObject(scene->getRootSceneNode(), scene, -1);
        level->drop();
        level->setPosition({0, 6, -15});
        level->updateAbsolutePosition();
        cameraManagers[0]->pushCamera(level, nullptr, 0.0f, false);
    };
    auto turned = [&] {
        scene::ICameraSceneNode* main = cameraManagers[0]->mainCamera;
        return angleBetween(main->getTarget() - main->getAbsolutePosition(),
                            level->cameraNode->getTarget() - level->cameraNode->getAbsolutePosition());
    };
    steps[20] = [&] { postKey(KEY_NUMPAD4, true); };
    steps[120] = [&] {
        swung = turned();
        EXPECT_GT(cameraManagers[0]->manualYaw, 0.95f);
        // Looking left: the view turned toward -X.
        EXPECT_LT((cameraManagers[0]->mainCamera->getTarget() - cameraManagers[0]->mainCamera->getAbsolutePosition()).X, 0.0f);
        postKey(KEY_NUMPAD4, false);
    };
    // A camera that disables player control takes no camera input.
    steps[130] = [&] {
        level->DisablePlayerControl = true;
        postKey(KEY_NUMPAD4, true);
    };
    steps[135] = [&] {
        EXPECT_EQ(cameraManagers[0]->manualYawGoal, 0.0f);
        postKey(KEY_NUMPAD4, false);
        level->DisablePlayerControl = false;
    };
    steps[240] = [&] {
        settled = turned();
        // A volume that allows the manual camera pushes the level camera again.
        cameraServices().volumes.allowManualCamera = [&](scene::ISceneNode* node) { return node == volume; };
        volume = gameDevice->getSceneManager()->addEmptySceneNode();
        cameraManagers[0]->removeCamera(level);
        cameraManagers[0]->pushCamera(level, volume, 0.0f, false);
    };
    steps[250] = [&] {
        EXPECT_EQ(cameraManagers[0]->getOverrideCamera(), level);
        EXPECT_TRUE(cameraManagers[0]->manualCameraAllowed);
        postKey(KEY_NUMPAD4, true);
    };
    steps[253] = [&] {
        GameCamera* gameCamera = cameraManagers[0]->gameCamera;
        EXPECT_EQ(cameraManagers[0]->getOverrideCamera(), static_cast<CameraObject*>(gameCamera));
        EXPECT_EQ(gameCamera->PriorityLevel, camera::highestPriority);
        postKey(KEY_NUMPAD4, false);
    };
    quitAt(254);

    GameApplication game;
    EXPECT_EQ(game.run(), gameStatusNormal);
    EXPECT_NEAR(swung, 22.5f, 1.0f);
    EXPECT_LT(settled, 0.5f) << "sprung back";
}

// F1 switches the debug mode on; F9 flies the free camera (arrow keys move it), F9 again
// freezes it, a third F9 returns to the main camera; F11 switches the override cameras off
// and on; the pause menu ends free flight.
TEST_F(CameraGameTest, TheDebugKeysFlyTheFreeCameraAndSwitchOverridesOff) {
    loadAt(2, "Content/Levels/PhysicsDemo.irr");
    tapAt(5, KEY_F1);
    tapAt(10, KEY_F9);
    core::vector3df flightStart, flightEnd;
    CameraObject* level = nullptr;
    steps[15] = [&] {
        CameraManager* cameras = cameraManagers[0];
        EXPECT_TRUE(debugMode);
        EXPECT_TRUE(cameras->freeCamera);
        ASSERT_NE(cameras->debugCamera, nullptr);
        EXPECT_EQ(gameDevice->getSceneManager()->getActiveCamera(), cameras->debugCamera);
        EXPECT_EQ(cameras->getViewportCamera(), cameras->debugCamera);
        flightStart = cameras->debugCamera->getAbsolutePosition();
        postKey(KEY_UP, true);
    };
    steps[75] = [&] {
        postKey(KEY_UP, false);
        flightEnd = cameraManagers[0]->debugCamera->getAbsolutePosition();
    };
    tapAt(80, KEY_F9);
    steps[85] = [&] { EXPECT_FALSE(cameraManagers[0]->debugCamera->isInputReceiverEnabled()); };
    tapAt(90, KEY_F9);
    steps[95] = [&] {
        CameraManager* cameras = cameraManagers[0];
        EXPECT_FALSE(cameras->freeCamera);
        EXPECT_EQ(gameDevice->getSceneManager()->getActiveCamera(), cameras->mainCamera);
        scene::ISceneManager* scene = gameDevice->getSceneManager();
        level = new CameraObject(scene->getRootSceneNode(), scene, -1);
        level->drop();
        cameras->pushCamera(level, nullptr, 0.0f, false);
    };
    tapAt(100, KEY_F11);
    steps[105] = [&] {
        EXPECT_TRUE(cameraManagers[0]->overridesDisabled);
        EXPECT_NE(cameraManagers[0]->getOverrideCamera(), level);
    };
    tapAt(110, KEY_F11);
    steps[115] = [&] { EXPECT_FALSE(cameraManagers[0]->overridesDisabled); };
    // Opening the pause menu during free flight returns to the main camera.
    tapAt(120, KEY_F9);
    steps[125] = [&] { EXPECT_TRUE(cameraManagers[0]->freeCamera); };
    tapAt(126, KEY_ESCAPE);
    steps[131] = [&] {
        EXPECT_TRUE(screenManager->isPauseScreenVisible());
        EXPECT_FALSE(cameraManagers[0]->freeCamera);
        EXPECT_EQ(gameDevice->getSceneManager()->getActiveCamera(), cameraManagers[0]->mainCamera);
    };
    tapAt(132, KEY_ESCAPE);
    quitAt(140);

    GameApplication game;
    EXPECT_EQ(game.run(), gameStatusNormal);
    EXPECT_GT(flightStart.getDistanceFrom(flightEnd), 5.0f) << "a second of flight at 10 units a second";
    EXPECT_TRUE(logged("Toggle Override to Free Cam"));
    EXPECT_TRUE(logged("Toggle Override to Free Cam - Input locked."));
    EXPECT_TRUE(logged("Toggle Override from Free Cam back to Game Cam."));
    EXPECT_TRUE(logged("Toggle Disable Override Cameras"));
}

} // namespace
