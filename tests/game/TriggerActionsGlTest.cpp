// The trigger actions' demonstration level in the running game on the OpenGL driver: a
// sequence of pictures taken as its timed events act. The lift rises into view, the barrel
// goes, the kicked crate leaves its place, a ball drops in and the crate on the pool floats.
// PADDLESTONE_KEEP_SCREENSHOT=/path/actions.png keeps the pictures (actions-1.png ...).
#include "GameFixture.h"

#include "core/GameApplication.h"
#include "core/GameSettings.h"
#include "core/Globals.h"
#include "level/LevelManager.h"
#include "screens/ScreenManager.h"

#include "support/GraphicsDriver.h"

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using TriggerActionsGlTest = GameFixture;

struct ActionShot {
    double at = 0.0; // seconds after the level loaded
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
    setenv("PADDLESTONE_SINGLE_BUFFER", "1", 1);
    writeSettings([] {
        setSettingString("Graphics_Driver", "OpenGL");
        setSettingBool("Graphics_Vsync", false);
        setSettingInt("Graphics_Antialiasing", 0);
        setSettingInt("Graphics_ScreenWidth", 800);
        setSettingInt("Graphics_ScreenHeight", 450);
    });
    std::vector<ActionShot> shots(4);
    const double times[] = {0.4, 2.2, 3.6, 6.0};
    for (size_t i = 0; i < shots.size(); ++i)
        shots[i].at = times[i];
    size_t next = 0;
    std::chrono::steady_clock::time_point loaded;
    steps[2] = [&] {
        screenManager->closeAllScreens();
        levelManager->unloadLevel(); // the title's background level goes
        ASSERT_TRUE(levelManager->loadLevel("Content/Levels/TriggerActionsDemo.irr"));
        loaded = std::chrono::steady_clock::now();
    };
    std::function<void()> watch = [&] {
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - loaded).count();
        if (next < shots.size() && seconds >= shots[next].at) {
            ActionShot& shot = shots[next++];
            shot.image = gameDevice->getVideoDriver()->createScreenShot();
            if (const char* keep = std::getenv("PADDLESTONE_KEEP_SCREENSHOT"); keep && shot.image) {
                std::string path = keep;
                const size_t dot = path.rfind('.') == std::string::npos ? path.size() : path.rfind('.');
                path.insert(dot, "-" + std::to_string(next));
                gameDevice->getVideoDriver()->writeImageToFile(shot.image, path.c_str());
            }
            shot.lift = actionShotPoint(2);
            shot.barrel = actionShotPoint(4);
            shot.kicked = actionShotPoint(3);
            shot.floater = actionShotPoint(5);
        }
        if (next == shots.size())
            QuitRequested = true;
        else
            steps[frame + 1] = watch;
    };
    steps[3] = watch;
    GameApplication game;
    EXPECT_EQ(game.run(), gameStatusNormal);
    unsetenv("PADDLESTONE_SINGLE_BUFFER");
    ASSERT_EQ(next, shots.size());

    const ActionShot& first = shots.front();
    const ActionShot& last = shots.back();
    for (const ActionShot& shot : shots)
        ASSERT_NE(shot.image, nullptr);
    // The first picture is the level's camera (the trigger switched to it), not the dark.
    EXPECT_NE(actionShotPixel(first.image, {400, 400}), actionShotPixel(first.image, {400, 5})) << "floor and sky differ";
    EXPECT_NE(actionShotPixel(first.image, last.lift), actionShotPixel(last.image, last.lift)) << "the lift rose into its place";
    EXPECT_NE(actionShotPixel(first.image, first.barrel), actionShotPixel(last.image, first.barrel)) << "the barrel is gone";
    EXPECT_NE(actionShotPixel(first.image, first.kicked), actionShotPixel(shots[2].image, first.kicked)) << "the crate left its place";
    EXPECT_NE(actionShotPixel(last.image, last.floater), actionShotPixel(last.image, {last.floater.X, 5})) << "the floating crate is drawn";
    for (ActionShot& shot : shots)
        shot.image->drop();
}

} // namespace
