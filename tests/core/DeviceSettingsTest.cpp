#include "core/DeviceSettings.h"
#include "core/GameSettings.h"
#include "core/Globals.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

TEST(DeviceSettingsTest, DriverNamesIgnoreLetterCase) {
    irr::video::E_DRIVER_TYPE driver = irr::video::EDT_COUNT;
    EXPECT_TRUE(parseVideoDriver("OpenGL", driver));
    EXPECT_EQ(driver, irr::video::EDT_OPENGL);
    EXPECT_TRUE(parseVideoDriver("burnings", driver));
    EXPECT_EQ(driver, irr::video::EDT_BURNINGSVIDEO);
    EXPECT_TRUE(parseVideoDriver("SOFTWARE", driver));
    EXPECT_EQ(driver, irr::video::EDT_SOFTWARE);
    EXPECT_TRUE(parseVideoDriver("Null", driver));
    EXPECT_EQ(driver, irr::video::EDT_NULL);
    driver = irr::video::EDT_COUNT;
    EXPECT_FALSE(parseVideoDriver("Direct3D9", driver));
    EXPECT_FALSE(parseVideoDriver("", driver));
    EXPECT_EQ(driver, irr::video::EDT_COUNT);
}

class DeviceParametersTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings = std::make_unique<GameSettings>(dir.file("PaddlestoneConfig.xml"));
        settings->load(true);
        gameSettings = settings.get();
        unsetenv(singleBufferVariable);
    }
    void TearDown() override {
        gameSettings = nullptr;
        unsetenv(singleBufferVariable);
    }
    test::TempDir dir;
    std::unique_ptr<GameSettings> settings;
};

TEST_F(DeviceParametersTest, TheDefaultsMakeADoubleBufferedOpenGLWindow) {
    const irr::SIrrlichtCreationParameters params = deviceParametersFromSettings();
    EXPECT_EQ(params.DriverType, irr::video::EDT_OPENGL);
    EXPECT_EQ(params.WindowSize, irr::core::dimension2du(1280, 720));
    EXPECT_FALSE(params.Fullscreen);
    EXPECT_TRUE(params.Doublebuffer);
}

TEST_F(DeviceParametersTest, TheGraphicsSettingsShapeTheDevice) {
    setSettingString("Graphics_Driver", "Burnings");
    setSettingInt("Graphics_ScreenWidth", 1024);
    setSettingInt("Graphics_ScreenHeight", 576);
    setSettingInt("Graphics_FullscreenMode", 1);
    setSettingBool("Graphics_Vsync", true);
    setSettingInt("Graphics_Antialiasing", 4);
    const irr::SIrrlichtCreationParameters params = deviceParametersFromSettings();
    EXPECT_EQ(params.DriverType, irr::video::EDT_BURNINGSVIDEO);
    EXPECT_EQ(params.WindowSize, irr::core::dimension2du(1024, 576));
    EXPECT_TRUE(params.Fullscreen);
    EXPECT_TRUE(params.Vsync);
    EXPECT_EQ(params.AntiAlias, 4);
}

// 0 a window, 1 full screen, 2 a borderless window of the desktop's size (without a display:
// the asked size).
TEST_F(DeviceParametersTest, OnlyTheFullScreenModeOpensFullScreen) {
    for (const int mode : {0, 1, 2}) {
        setSettingInt("Graphics_FullscreenMode", mode);
        const irr::SIrrlichtCreationParameters params = deviceParametersFromSettings();
        EXPECT_EQ(params.Fullscreen, mode == 1) << mode;
        EXPECT_EQ(params.WindowSize, irr::core::dimension2du(1280, 720)) << mode;
    }
}

TEST_F(DeviceParametersTest, AnUnknownDriverFallsBackToOpenGL) {
    setSettingString("Graphics_Driver", "Direct3D11");
    EXPECT_EQ(deviceParametersFromSettings().DriverType, irr::video::EDT_OPENGL);
}

TEST_F(DeviceParametersTest, TheTestSwitchMakesTheWindowSingleBuffered) {
    setenv(singleBufferVariable, "1", 1);
    EXPECT_FALSE(deviceParametersFromSettings().Doublebuffer);
    setenv(singleBufferVariable, "0", 1);
    EXPECT_TRUE(deviceParametersFromSettings().Doublebuffer);
}
