// The objectives demonstration level in the running game on the OpenGL driver: before its
// timed events the objective panel is empty; after them it shows the completed key objective
// and the gate objective with the escape objective's text (swapped in for the bell,
// then replaced). PADDLESTONE_KEEP_SCREENSHOT=/path/objectives.png keeps both pictures
// (objectives-1.png, objectives-2.png).
#include "GameFixture.h"

#include "core/GameApplication.h"
#include "core/GameSettings.h"
#include "core/Globals.h"
#include "gui/hud/GUIObjectiveCenter.h"
#include "level/LevelManager.h"
#include "screens/ScreenManager.h"

#include "support/GraphicsDriver.h"

#include <chrono>
#include <cstdlib>
#include <string>

namespace {

using ObjectivesGlTest = GameFixture;

// Pixels of the rectangle that differ between the two pictures.
int objectivePanelChangedPixels(irr::video::IImage* before, irr::video::IImage* after, const irr::core::recti& area) {
    int changed = 0;
    for (irr::s32 y = area.UpperLeftCorner.Y; y < area.LowerRightCorner.Y; ++y)
        for (irr::s32 x = area.UpperLeftCorner.X; x < area.LowerRightCorner.X; ++x)
            changed += (before->getPixel(x, y).color & 0xFFFFFFu) != (after->getPixel(x, y).color & 0xFFFFFFu);
    return changed;
}

TEST_F(ObjectivesGlTest, ObjectivesChangedByActionsShowOnTheObjectivePanel) {
    test::keepGraphicsDriverLoaded();
    setenv("PADDLESTONE_SINGLE_BUFFER", "1", 1);
    writeSettings([] {
        setSettingString("Graphics_Driver", "OpenGL");
        setSettingBool("Graphics_Vsync", false);
        setSettingInt("Graphics_Antialiasing", 0);
        setSettingInt("Graphics_ScreenWidth", 800);
        setSettingInt("Graphics_ScreenHeight", 450);
    });
    const double times[] = {0.05, 3.4};
    irr::video::IImage* shots[2] = {};
    irr::core::recti panelRect;
    int visibleRows = 0;
    size_t next = 0;
    std::chrono::steady_clock::time_point loaded;
    steps[2] = [&] {
        screenManager->closeAllScreens();
        levelManager->unloadLevel(); // the title's background level goes
        ASSERT_TRUE(levelManager->loadLevel("Content/Levels/ObjectivesDemo.irr"));
        loaded = std::chrono::steady_clock::now();
    };
    std::function<void()> watch = [&] {
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - loaded).count();
        if (next < 2 && seconds >= times[next]) {
            shots[next++] = gameDevice->getVideoDriver()->createScreenShot();
            if (const char* keep = std::getenv("PADDLESTONE_KEEP_SCREENSHOT"); keep && shots[next - 1]) {
                std::string path = keep;
                const size_t dot = path.rfind('.') == std::string::npos ? path.size() : path.rfind('.');
                path.insert(dot, "-" + std::to_string(next));
                gameDevice->getVideoDriver()->writeImageToFile(shots[next - 1], path.c_str());
            }
            if (GUIObjectiveCenter* panel = screenManager->getObjectiveCenter()) {
                panelRect = panel->getAbsolutePosition();
                visibleRows = panel->countVisibleRows();
            }
        }
        if (next == 2)
            QuitRequested = true;
        else
            steps[frame + 1] = watch;
    };
    steps[3] = watch;
    GameApplication game;
    EXPECT_EQ(game.run(), gameStatusNormal);
    unsetenv("PADDLESTONE_SINGLE_BUFFER");
    ASSERT_NE(shots[0], nullptr);
    ASSERT_NE(shots[1], nullptr);
    EXPECT_EQ(visibleRows, 2) << "the completed key and the gate; the swapped-out bell is hidden";
    panelRect.clipAgainst(irr::core::recti(0, 0, 800, 450));
    ASSERT_FALSE(panelRect.getArea() == 0);
    EXPECT_GT(objectivePanelChangedPixels(shots[0], shots[1], panelRect), 200) << "the rows were drawn";
    for (irr::video::IImage* shot : shots)
        shot->drop();
}

} // namespace
