// The trigger actions' demonstration level in the running game on the OpenGL driver: a
// sequence of pictures taken as its timed events act. The lift rises into view, the barrel
// goes, the kicked crate leaves its place, a ball drops in and the crate on the pool floats.
// PADDLESTONE_KEEP_SCREENSHOT=/path/actions.png keeps the pictures (actions-1.png ...).
#include "GameFixture.h"

#include "camera/CameraManager.h"
#include "camera/CameraObject.h"
#include "core/app/GameApplication.h"
#include "core/GameSettings.h"
#include "core/Globals.h"
#include "level/LevelManager.h"
#include "screens/ScreenManager.h"
#include "triggers/TriggerObject.h"

#include "support/GraphicsDriver.h"

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using TriggerActionsGlTest = GameFixture;

struct ActionShot {
    irr::video::IImage* image = nullptr;
    irr::core::position2di lift, barrel, kicked, floater;
};

irr::core::position2di actionShotPoint(irr::s32 id, const irr::core::vector3df& offset = {}) {
    irr::scene::ISceneManager* scene = gameDevice->getSceneManager();
    irr::scene::ISceneNode* node = levelManager->getSceneNodeFromID(id);
    if (!node)
        return {-1, -1};
    return scene->getSceneCollisionManager()->getScreenCoordinatesFrom3DPosition(node->getAbsolutePosition() + offset,
                                                                                 scene->getActiveCamera());
}

irr::u32 actionShotPixel(irr::video::IImage* image, const irr::core::position2di& at) {
    if (!image || at.X < 0 || at.Y < 0 || at.X >= 800 || at.Y >= 450)
        return 0xFFFFFFFFu;
    return image->getPixel(irr::u32(at.X), irr::u32(at.Y)).color & 0xFFFFFFu;
}

TEST_F(TriggerActionsGlTest, TheDemonstrationLevelsActionsShowFrameByFrame) {
    test::keepGraphicsDriverLoaded();
    useSingleBuffer();
    writeSettings([] {
        setSettingString("Graphics_Driver", "OpenGL");
        setSettingBool("Graphics_Vsync", false);
        setSettingInt("Graphics_Antialiasing", 0);
        setSettingInt("Graphics_ScreenWidth", 800);
        setSettingInt("Graphics_ScreenHeight", 450);
    });
    // Before the events, once the crate was kicked away, once every event has acted.
    std::vector<ActionShot> shots(3);
    auto find = [](irr::s32 id) { return levelManager->getSceneNodeFromID(id); };
    // The picture the last frame drew (single-buffered: the front buffer).
    const auto shoot = [&](std::size_t index) {
        ActionShot& shot = shots[index];
        shot.image = gameDevice->getVideoDriver()->createScreenShot();
        ASSERT_NE(shot.image, nullptr);
        if (const char* keep = std::getenv("PADDLESTONE_KEEP_SCREENSHOT")) {
            std::string path = keep;
            const size_t dot = path.rfind('.') == std::string::npos ? path.size() : path.rfind('.');
            path.insert(dot, "-" + std::to_string(index + 1));
            gameDevice->getVideoDriver()->writeImageToFile(shot.image, path.c_str());
        }
        shot.lift = actionShotPoint(2);
        shot.barrel = actionShotPoint(4);
        shot.kicked = actionShotPoint(3);
        shot.floater = actionShotPoint(5);
    };
    TriggerObject* start = nullptr;
    irr::core::vector3df kickedStart;
    waitFor("the demo level", titleShown, [&] {
        screenManager->closeAllScreens();
        levelManager->unloadLevel(); // the title's background level goes
        ASSERT_TRUE(levelManager->loadLevel("Content/Levels/TriggerActionsDemo.irr"));
        // Its timed events wait until the picture before them is taken.
        start = dynamic_cast<TriggerObject*>(find(50));
        ASSERT_NE(start, nullptr);
        ++start->pauseCount;
        kickedStart = find(3)->getAbsolutePosition();
    });
    // The trigger's camera (set at once, not timed) shows the level.
    waitFor("the demo camera", [&] {
        CameraObject* camera = cameraManagers[0] ? cameraManagers[0]->getOverrideCamera() : nullptr;
        return camera && camera == find(20);
    });
    nextFrame("the picture before the events", [&] {
        shoot(0);
        --start->pauseCount;
    });
    waitFor("the crate kicked away", [&] { return find(3)->getAbsolutePosition().getDistanceFrom(kickedStart) > 2.0f; });
    nextFrame("the picture of the kick", [&] { shoot(1); });
    // The lift is up, the barrel gone and the spawned ball down.
    waitFor("every event acted", [&] {
        irr::scene::ISceneNode* ball = find(100);
        return std::fabs(find(2)->getAbsolutePosition().Y - 5.0f) < 1e-3f && !find(4)->isVisible() && ball &&
               ball->getAbsolutePosition().Y < 6.0f;
    });
    nextFrame("the picture after the events", [&] { shoot(2); });
    ASSERT_NO_FATAL_FAILURE(playGame());

    const ActionShot& first = shots.front();
    const ActionShot& last = shots.back();
    for (const ActionShot& shot : shots)
        ASSERT_NE(shot.image, nullptr);
    // The first picture is the level's camera (the trigger switched to it), not the dark.
    EXPECT_NE(actionShotPixel(first.image, {400, 400}), actionShotPixel(first.image, {400, 5})) << "floor and sky differ";
    EXPECT_NE(actionShotPixel(first.image, last.lift), actionShotPixel(last.image, last.lift)) << "the lift rose into its place";
    EXPECT_NE(actionShotPixel(first.image, first.barrel), actionShotPixel(last.image, first.barrel)) << "the barrel is gone";
    EXPECT_NE(actionShotPixel(first.image, first.kicked), actionShotPixel(shots[1].image, first.kicked)) << "the crate left its place";
    EXPECT_NE(actionShotPixel(last.image, last.floater), actionShotPixel(last.image, {last.floater.X, 5})) << "the floating crate is drawn";
    for (ActionShot& shot : shots)
        shot.image->drop();
}

} // namespace
