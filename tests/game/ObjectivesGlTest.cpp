// The objectives demonstration level in the running game on the OpenGL driver: before its
// timed events the objective panel is empty; after them it shows the completed key objective
// and the gate objective with the escape objective's text (swapped in for the bell,
// then replaced). PADDLESTONE_KEEP_SCREENSHOT=/path/objectives.png keeps both pictures
// (objectives-1.png, objectives-2.png).
#include "GameFixture.h"

#include "camera/CameraManager.h"
#include "camera/CameraObject.h"
#include "core/app/GameApplication.h"
#include "core/GameSettings.h"
#include "core/Globals.h"
#include "gui/hud/GUIObjectiveCenter.h"
#include "level/LevelManager.h"
#include "physics/objects/PhysicsObject.h"
#include "screens/ScreenManager.h"
#include "triggers/TriggerObject.h"

#include "support/GraphicsDriver.h"

#include <cstdlib>
#include <string>

namespace {

using ObjectivesGlTest = GameFixture;

irr::s32 overrideCameraID() {
    CameraObject* camera = cameraManagers[0] ? cameraManagers[0]->getOverrideCamera() : nullptr;
    return camera ? camera->getID() : -1;
}

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
    useSingleBuffer();
    writeSettings([] {
        setSettingString("Graphics_Driver", "OpenGL");
        setSettingBool("Graphics_Vsync", false);
        setSettingInt("Graphics_Antialiasing", 0);
        setSettingInt("Graphics_ScreenWidth", 800);
        setSettingInt("Graphics_ScreenHeight", 450);
    });
    irr::video::IImage* shots[2] = {};
    irr::core::recti panelRect;
    int visibleRows = 0;
    TriggerObject* start = nullptr;
    // The picture the last frame drew (single-buffered: the front buffer).
    const auto shoot = [&](int index) {
        irr::video::IImage* shot = gameDevice->getVideoDriver()->createScreenShot();
        ASSERT_NE(shot, nullptr);
        shots[index] = shot;
        if (const char* keep = std::getenv("PADDLESTONE_KEEP_SCREENSHOT")) {
            std::string path = keep;
            const size_t dot = path.rfind('.') == std::string::npos ? path.size() : path.rfind('.');
            path.insert(dot, "-" + std::to_string(index + 1));
            gameDevice->getVideoDriver()->writeImageToFile(shot, path.c_str());
        }
        if (GUIObjectiveCenter* panel = screenManager->getObjectiveCenter()) {
            panelRect = panel->getAbsolutePosition();
            visibleRows = panel->countVisibleRows();
        }
    };
    waitFor("the demo level", titleShown, [&] {
        screenManager->closeAllScreens();
        levelManager->unloadLevel(); // the title's background level goes
        ASSERT_TRUE(levelManager->loadLevel("Content/Levels/ObjectivesDemo.irr"));
        // Its timed events wait until the picture before them is taken.
        start = dynamic_cast<TriggerObject*>(levelManager->getSceneNodeFromID(50));
        ASSERT_NE(start, nullptr);
        ++start->pauseCount;
    });
    // The trigger's camera (set at once, not timed) shows the level.
    waitFor("the demo camera", [] { return overrideCameraID() == 30; });
    nextFrame("the picture before the events", [&] {
        shoot(0);
        EXPECT_EQ(visibleRows, 0) << "before its events the panel is empty";
        --start->pauseCount;
    });
    // The last event changes a crate's mesh; the completion highlights run out.
    const auto settled = [] {
        GUIObjectiveCenter* panel = screenManager->getObjectiveCenter();
        if (!panel || panel->countVisibleRows() != 2)
            return false;
        for (const GUIObjectiveCenter::Row& row : panel->getRows())
            if (row.highlighted)
                return false;
        auto* changed = static_cast<PhysicsObject*>(levelManager->getSceneNodeFromID(3));
        return changed && changed->getMeshNode() &&
               changed->getMeshNode()->getMesh() ==
                   gameDevice->getSceneManager()->getMeshCache()->getMeshByName("Content/Models/Props/Barrel.obj");
    };
    waitFor("the objectives settled", settled);
    nextFrame("the picture after the events", [&] { shoot(1); });
    ASSERT_NO_FATAL_FAILURE(playGame());

    EXPECT_EQ(visibleRows, 2) << "the completed key and the gate; the swapped-out bell is hidden";
    panelRect.clipAgainst(irr::core::recti(0, 0, 800, 450));
    ASSERT_FALSE(panelRect.getArea() == 0);
    EXPECT_GT(objectivePanelChangedPixels(shots[0], shots[1], panelRect), 200) << "the rows were drawn";
    for (irr::video::IImage* shot : shots)
        shot->drop();
}

} // namespace
