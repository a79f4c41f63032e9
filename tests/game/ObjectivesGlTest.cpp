// The objectives demonstration level in the running game on the OpenGL driver: before its
// timed events the objective panel is empty; after them it shows the completed key objective
// and the gate objective with the escape objective's text (swapped in for the bell,
// then replaced), the completed one with its tick and a readable grey title.
// PADDLESTONE_KEEP_SCREENSHOT=/path/objectives.png keeps both pictures
// (objectives-1.png, objectives-2.png).
#include "GameFixture.h"

#include "camera/CameraManager.h"
#include "camera/CameraObject.h"
#include "core/app/GameApplication.h"
#include "core/GameSettings.h"
#include "core/Globals.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/hud/GUIObjectiveCenter.h"
#include "level/LevelManager.h"
#include "physics/objects/PhysicsObject.h"
#include "screens/ScreenManager.h"
#include "triggers/TriggerObject.h"

#include "support/GraphicsDriver.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using ObjectivesGlTest = GameFixture;

irr::s32 overrideCameraID() {
    CameraObject* camera = cameraManagers[0] ? cameraManagers[0]->getOverrideCamera() : nullptr;
    return camera ? camera->getID() : -1;
}

// The relative luminance of a pixel (0 black, 1 white) and the contrast of two of them.
double luminance(const irr::video::SColor& c) {
    const auto linear = [](irr::u32 v) {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.getRed()) + 0.7152 * linear(c.getGreen()) + 0.0722 * linear(c.getBlue());
}

// Where the completed row stood in the picture: its icon and its title's text.
struct CompletedRow {
    irr::core::recti icon;
    irr::core::recti text;
};

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
    std::vector<CompletedRow> completedRows;
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
            completedRows.clear();
            for (const GUIObjectiveCenter::Row& row : panel->getRows()) {
                if (!row.title->isVisible() || row.title->getOverrideColor() != irr::video::SColor(0xFFC8C8C8))
                    continue;
                const irr::core::recti title = row.title->getAbsolutePosition();
                const irr::s32 half = row.title->getTextWidth() / 2;
                completedRows.push_back({row.icon->getAbsolutePosition(),
                                         irr::core::recti(title.getCenter().X - half, title.UpperLeftCorner.Y,
                                                          title.getCenter().X + half, title.LowerRightCorner.Y)});
            }
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
    // The completed key: the tick (the green frame of the task icons), not the open circle,
    // and its grey title readable on the bright floor: against the darkest pixel around its
    // text (its shadow) at least 4.5 : 1, as the white titles are.
    ASSERT_EQ(completedRows.size(), 1u);
    const CompletedRow& done = completedRows.front();
    int green = 0;
    for (irr::s32 y = done.icon.UpperLeftCorner.Y; y < done.icon.LowerRightCorner.Y; ++y)
        for (irr::s32 x = done.icon.UpperLeftCorner.X; x < done.icon.LowerRightCorner.X; ++x) {
            const irr::video::SColor c = shots[1]->getPixel(x, y);
            green += c.getGreen() > c.getRed() + 40 && c.getGreen() > c.getBlue() + 40;
        }
    EXPECT_GT(green, done.icon.getArea() / 4) << "the completed row shows the tick";
    double darkest = 1.0;
    for (irr::s32 y = done.text.UpperLeftCorner.Y; y < done.text.LowerRightCorner.Y; ++y)
        for (irr::s32 x = done.text.UpperLeftCorner.X; x < done.text.LowerRightCorner.X; ++x)
            darkest = std::min(darkest, luminance(shots[1]->getPixel(x, y)));
    EXPECT_GE((luminance(irr::video::SColor(0xFFC8C8C8)) + 0.05) / (darkest + 0.05), 4.5)
        << "the struck-out title stands out from what lies around it";
    for (irr::video::IImage* shot : shots)
        shot->drop();
}

} // namespace
