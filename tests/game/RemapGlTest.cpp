// Remapping on the OpenGL driver under Xvfb: the remapping screen draws its rows, a key
// bound there drives its action, the binding survives a restart, and the reset takes it
// away (picture kept as remap-screen.png).
#include "GameFixture.h"
#include "RemapSteps.h"

#include "core/app/GameApplication.h"
#include "core/GameSettings.h"
#include "core/Globals.h"

#include "support/GraphicsDriver.h"

#include <IVideoDriver.h>
#include <IrrlichtDevice.h>

#include <cstdlib>
#include <string>

namespace {

using RemapGlTest = remaptest::RemapFixture;

void useOpenGLForRemapping() {
    setSettingString("Graphics_Driver", "OpenGL");
    setSettingBool("Graphics_Vsync", false);
    setSettingInt("Graphics_Antialiasing", 0);
    setSettingInt("Graphics_ScreenWidth", 800);
    setSettingInt("Graphics_ScreenHeight", 450);
}

TEST_F(RemapGlTest, AKeyBoundInTheRemappingScreenDrivesItsActionAfterARestart) {
    test::keepGraphicsDriverLoaded();
    useSingleBuffer();
    writeSettings(useOpenGLForRemapping);
    int shownRows = 0;
    int lit = 0;
    remaptest::RemapRun run;
    addRemapSteps(run, [&] {
        irr::video::IVideoDriver* driver = gameDevice->getVideoDriver();
        irr::video::IImage* shot = driver->createScreenShot();
        ASSERT_NE(shot, nullptr);
        driver->writeImageToFile(shot, (std::string(PADDLESTONE_SHOT_DIR) + "/remap-screen.png").c_str());
        const irr::core::dimension2du size = shot->getDimension();
        lit = test::countPixels(shot, irr::core::recti(0, 0, size.Width, size.Height),
                                [](const irr::video::SColor& c) { return c.getRed() + c.getGreen() + c.getBlue() > 30; });
        shot->drop();
        for (GUIButton* item : run.remap->getItems())
            shownRows += item->isVisible() && item->getAbsolutePosition().UpperLeftCorner.Y >= 0 ? 1 : 0;
    });
    ASSERT_NO_FATAL_FAILURE(playGame());
    EXPECT_TRUE(run.drivesAction);
    EXPECT_GT(shownRows, 5);
    EXPECT_GT(lit, 800 * 450 / 5) << "the screen is not black";

    checkSecondStart();
}

} // namespace
