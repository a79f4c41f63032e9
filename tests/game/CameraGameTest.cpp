// Cameras and cutscenes in the running game (null driver, keys through the engine's event
// receiver): a trigger starts the demonstration level's cutscene, which holds the game behind
// its bars until the skip action is held; the player looks around a level camera and takes
// the camera back; the debug keys fly the free camera and switch the override cameras off.
#include "GameFixture.h"

#include "camera/CameraManager.h"
#include "camera/CameraServices.h"
#include "camera/CutsceneObject.h"
#include "camera/GameCamera.h"

#include "core/app/GameApplication.h"
#include "core/Globals.h"
#include "core/ProgramQueries.h"
#include "player/InputManager.h"
#include "player/devices/KeyboardDevice.h"
#include "level/LevelManager.h"
#include "screens/ScreenManager.h"
#include "triggers/CameraTriggerVolume.h"
#include "camera/GUICutscene.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

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
    // Once the title has shown: the level is loaded over the closed main menu.
    void loadFirst(const char* level, std::function<void()> then = {}) {
        waitFor(std::string("load ") + level, titleShown, [level, then] {
            screenManager->closeAllScreens();
            ASSERT_TRUE(levelManager->loadLevel(level));
            if (then)
                then();
        });
    }
    // A key goes down in one frame and up in the next.
    void tap(EKEY_CODE key, const std::string& name) {
        nextFrame(name + " down", [this, key] { postKey(key, true); });
        nextFrame(name + " up", [this, key] { postKey(key, false); });
    }
    // The frame's input holds the key down.
    static bool keyHeld(EKEY_CODE key) { return inputManager->getKeyboard()->keyState(key) != InputState::Up; }
    bool logged(const std::string& line) const {
        const std::vector<std::string> lines = logLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

// The trigger runs the cutscene as the level starts: the bars slide in, the game counts as
// suspended and the crate camera shows; holding the skip key (Enter) for over a second ends
// it early with a fade, and the game camera comes back as the bars slide out.
TEST_F(CameraGameTest, ATriggeredCutsceneHoldsTheGameUntilItIsSkipped) {
    CutsceneObject* cutscene = nullptr;
    loadFirst(cutsceneLevel, [&] {
        cutscene = static_cast<CutsceneObject*>(levelManager->getSceneNodeFromID(200));
        ASSERT_NE(cutscene, nullptr);
    });
    int runningFrames = 0, suspendedFrames = 0, crateCamFrames = 0;
    f32 skippedAt = -1.0f, highestBars = 0.0f, skipShown = 0.0f;
    bool held = false, released = false;
    everyFrame = [&] {
        if (!cutscene)
            return;
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
    };
    // After the end: the bars are out and the game camera shows again.
    waitFor("the game camera back after the cutscene", [&] {
        return released && screenManager->getOverlayBlend() == 0.0f && !isGameplaySuspended() &&
               cameraManagers[0]->getOverrideCamera() == static_cast<CameraObject*>(cameraManagers[0]->gameCamera);
    });

    ASSERT_NO_FATAL_FAILURE(playGame());
    EXPECT_GT(runningFrames, 1);
    EXPECT_EQ(highestBars, 1.0f) << "the bars came fully in";
    EXPECT_GE(suspendedFrames, runningFrames - 1) << "gameplay is suspended behind the bars";
    EXPECT_GE(crateCamFrames, runningFrames - 1) << "the cutscene's camera shows";
    EXPECT_GT(skipShown, 1.0f) << "the skip action was held for over a second";
    EXPECT_GT(skippedAt, 2.0f);
    EXPECT_LT(skippedAt, 3.0f) << "accepted after the first second and before the end transition";
}

// A cutscene that refuses skipping shows the refusal on the prompt while the skip key is held
// and runs its full four seconds: one frame's time each frame, drawn or not.
TEST_F(CameraGameTest, ACutsceneThatRefusesSkippingShowsTheRefusal) {
    useSteadyFrames();
    CutsceneObject* cutscene = nullptr;
    loadFirst(cutsceneLevel, [&] {
        cutscene = static_cast<CutsceneObject*>(levelManager->getSceneNodeFromID(200));
        ASSERT_NE(cutscene, nullptr);
        cutscene->AllowSkipCutscene = false;
    });
    f32 lowestShown = 0.0f, longest = 0.0f;
    bool held = false, skipped = false;
    int runningFrames = 0;
    f32 duration = 0.0f;
    everyFrame = [&] {
        if (!cutscene)
            return;
        duration = cutscene->CutsceneDuration;
        runningFrames += cutscene->isRunning() ? 1 : 0;
        longest = std::max(longest, cutscene->elapsed);
        skipped = skipped || cutscene->skipCarriedOut;
        lowestShown = std::min(lowestShown, screenManager->getCutsceneScreen()->getSkipProgress());
        if (!held && cutscene->elapsed > 1.2f) {
            postKey(KEY_RETURN, true);
            held = true;
        }
    };
    waitFor("the cutscene's end", [&] { return held && !cutscene->isRunning(); },
            [this] { postKey(KEY_RETURN, false); });

    ASSERT_NO_FATAL_FAILURE(playGame());
    EXPECT_LT(lowestShown, -0.9f) << "the refusal indicator showed";
    EXPECT_GT(longest, 3.9f) << "the cutscene ran to its end";
    EXPECT_NEAR(runningFrames * frameTargetInterval, duration, 0.1f) << "in as many frames";
    EXPECT_FALSE(skipped);
}

// Holding Camera Left (numpad 4) on a level camera swings the view up to 22.5 degrees and it
// springs back on release (a camera that disables player control ignores it); where the
// activating volume allows it, the first camera input hands the view back to the game camera.
TEST_F(CameraGameTest, ThePlayerLooksAroundALevelCameraAndTakesTheCameraBack) {
    CameraObject* level = nullptr;
    scene::ISceneNode* volume = nullptr;
    loadFirst("Content/Levels/PhysicsDemo.irr", [&] {
        scene::ISceneManager* scene = gameDevice->getSceneManager();
        level = new CameraObject(scene->getRootSceneNode(), scene, -1);
        level->drop();
        level->setPosition({0, 6, -15});
        level->updateAbsolutePosition();
        cameraManagers[0]->pushCamera(level, nullptr, 0.0f, false);
    });
    auto turned = [&] {
        scene::ICameraSceneNode* main = cameraManagers[0]->mainCamera;
        return angleBetween(main->getTarget() - main->getAbsolutePosition(),
                            level->cameraNode->getTarget() - level->cameraNode->getAbsolutePosition());
    };
    waitFor("the level camera shows", [&] { return cameraManagers[0]->getOverrideCamera() == level; },
            [&] { postKey(KEY_NUMPAD4, true); });
    f32 swung = 0.0f, lastTurn = -1.0f;
    // The view has swung round and stays there.
    waitFor("swung round", [&] {
        const f32 turn = turned();
        const bool still = std::fabs(turn - std::exchange(lastTurn, turn)) < 0.01f;
        return stableFor(cameraManagers[0]->manualYaw > 0.95f && still, 10);
    }, [&] {
        swung = turned();
        // Looking left: the view turned toward -X.
        EXPECT_LT((cameraManagers[0]->mainCamera->getTarget() - cameraManagers[0]->mainCamera->getAbsolutePosition()).X, 0.0f);
        postKey(KEY_NUMPAD4, false);
    });
    // A camera that disables player control takes no camera input.
    waitFor("numpad 4 let go", [] { return !keyHeld(KEY_NUMPAD4); }, [&] {
        level->DisablePlayerControl = true;
        postKey(KEY_NUMPAD4, true);
    });
    waitFor("numpad 4 held", [] { return keyHeld(KEY_NUMPAD4); });
    nextFrame("numpad 4 ignored", [&] {
        EXPECT_EQ(cameraManagers[0]->manualYawGoal, 0.0f);
        postKey(KEY_NUMPAD4, false);
        level->DisablePlayerControl = false;
    });
    waitFor("sprung back", [&] { return stableFor(turned() < 0.5f, 10); }, [&] {
        // A volume that allows the manual camera pushes the level camera again.
        auto* manualVolume = new CameraTriggerVolume(gameDevice->getSceneManager()->getRootSceneNode(),
                                                     gameDevice->getSceneManager(), -1);
        manualVolume->drop();
        manualVolume->AllowManualCamera = true;
        volume = manualVolume;
        cameraManagers[0]->removeCamera(level);
        cameraManagers[0]->pushCamera(level, volume, 0.0f, false);
    });
    waitFor("the level camera again", [&] { return cameraManagers[0]->getOverrideCamera() == level; }, [&] {
        EXPECT_TRUE(cameraManagers[0]->manualCameraAllowed);
        postKey(KEY_NUMPAD4, true);
    });
    waitFor("the game camera takes the view back", [] {
        return cameraManagers[0]->getOverrideCamera() == static_cast<CameraObject*>(cameraManagers[0]->gameCamera);
    }, [&] {
        EXPECT_EQ(cameraManagers[0]->gameCamera->PriorityLevel, camera::highestPriority);
        postKey(KEY_NUMPAD4, false);
    });

    ASSERT_NO_FATAL_FAILURE(playGame());
    EXPECT_NEAR(swung, 22.5f, 1.0f);
}

// F1 switches the debug mode on; F9 flies the free camera (arrow keys move it), F9 again
// freezes it, a third F9 returns to the main camera; F11 switches the override cameras off
// and on; the pause menu ends free flight.
TEST_F(CameraGameTest, TheDebugKeysFlyTheFreeCameraAndSwitchOverridesOff) {
    loadFirst("Content/Levels/PhysicsDemo.irr");
    tap(KEY_F1, "F1");
    waitFor("the debug mode", [] { return debugMode; });
    tap(KEY_F9, "F9");
    core::vector3df flightStart;
    CameraObject* level = nullptr;
    waitFor("free flight", [] { return cameraManagers[0]->freeCamera; }, [&] {
        CameraManager* cameras = cameraManagers[0];
        ASSERT_NE(cameras->debugCamera, nullptr);
        EXPECT_EQ(gameDevice->getSceneManager()->getActiveCamera(), cameras->debugCamera);
        EXPECT_EQ(cameras->getViewportCamera(), cameras->debugCamera);
        flightStart = cameras->debugCamera->getAbsolutePosition();
        postKey(KEY_UP, true);
    });
    // Up held: the camera flies (10 units a second).
    waitFor("flown 5 units", [&] {
        return cameraManagers[0]->debugCamera->getAbsolutePosition().getDistanceFrom(flightStart) > 5.0f;
    }, [&] { postKey(KEY_UP, false); });
    tap(KEY_F9, "F9 again");
    waitFor("the flight frozen", [] { return !cameraManagers[0]->debugCamera->isInputReceiverEnabled(); });
    tap(KEY_F9, "a third F9");
    waitFor("the main camera again", [] { return !cameraManagers[0]->freeCamera; }, [&] {
        CameraManager* cameras = cameraManagers[0];
        EXPECT_EQ(gameDevice->getSceneManager()->getActiveCamera(), cameras->mainCamera);
        scene::ISceneManager* scene = gameDevice->getSceneManager();
        level = new CameraObject(scene->getRootSceneNode(), scene, -1);
        level->drop();
        cameras->pushCamera(level, nullptr, 0.0f, false);
    });
    tap(KEY_F11, "F11");
    waitFor("the overrides off", [] { return cameraManagers[0]->overridesDisabled; },
            [&] { EXPECT_NE(cameraManagers[0]->getOverrideCamera(), level); });
    tap(KEY_F11, "F11 again");
    waitFor("the overrides on", [] { return !cameraManagers[0]->overridesDisabled; });
    // Opening the pause menu during free flight returns to the main camera.
    tap(KEY_F9, "F9 for the pause");
    waitFor("free flight before the pause", [] { return cameraManagers[0]->freeCamera; });
    tap(KEY_ESCAPE, "Escape");
    waitFor("the pause menu", [] { return screenManager->isPauseScreenVisible(); }, [] {
        EXPECT_FALSE(cameraManagers[0]->freeCamera);
        EXPECT_EQ(gameDevice->getSceneManager()->getActiveCamera(), cameraManagers[0]->mainCamera);
    });
    tap(KEY_ESCAPE, "Escape again");
    waitFor("the pause menu closed", [] { return !screenManager->isPauseScreenVisible(); });

    ASSERT_NO_FATAL_FAILURE(playGame());
    EXPECT_TRUE(logged("Toggle Override to Free Cam"));
    EXPECT_TRUE(logged("Toggle Override to Free Cam - Input locked."));
    EXPECT_TRUE(logged("Toggle Override from Free Cam back to Game Cam."));
    EXPECT_TRUE(logged("Toggle Disable Override Cameras"));
}

} // namespace
