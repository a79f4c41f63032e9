#include "core/DeviceSettings.h"
#include "core/GameSettings.h"
#include "core/Globals.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

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

// Values set past their range while the game runs (the table only holds them on load).
TEST_F(DeviceParametersTest, SidesOfNoSizeTakeTheDefaultsAndAntiAliasingStopsAtSixteen) {
    const struct {
        int side, antiAliasing;
        irr::core::dimension2du window;
        int antiAlias;
    } rows[] = {{0, 16, {1280, 720}, 16}, {-5, 32, {1280, 720}, 16}, {1, -3, {1, 1}, 0}};
    for (const auto& row : rows) {
        setSettingInt("Graphics_ScreenWidth", row.side);
        setSettingInt("Graphics_ScreenHeight", row.side);
        setSettingInt("Graphics_Antialiasing", row.antiAliasing);
        const irr::SIrrlichtCreationParameters params = deviceParametersFromSettings();
        EXPECT_EQ(params.WindowSize, row.window) << row.side;
        EXPECT_EQ(params.AntiAlias, row.antiAlias) << row.antiAliasing;
    }
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

// Every fullscreen mode fits the asked size to the display: at the desktop's size it stays,
// one pixel past it falls back; the borderless mode's window is the desktop and its scene
// is never drawn larger than a window could be.
TEST(DeviceSettingsTest, EveryFullscreenModeFitsTheAskedSizeToTheDisplay) {
    using Size = irr::core::dimension2du;
    const DisplayOffer display{Size(1280, 720), {Size(1280, 720), Size(1024, 768), Size(800, 600)}};
    const struct {
        int mode;
        Size asked;
        Size window;
        Size scene;
        bool kept;
    } cases[] = {
        {0, Size(1280, 720), Size(1280, 720), Size(1280, 720), true},
        {0, Size(1281, 720), Size(1280, 720), Size(1280, 720), false},
        {1, Size(1024, 768), Size(1024, 768), Size(1024, 768), true},
        {1, Size(1025, 768), Size(1280, 720), Size(1280, 720), false},
        {2, Size(800, 600), Size(1280, 720), Size(800, 600), true},
        {2, Size(1280, 720), Size(1280, 720), Size(1280, 720), true},
        {2, Size(1280, 721), Size(1280, 720), Size(1280, 720), false},
        {2, Size(16384, 16384), Size(1280, 720), Size(1280, 720), false},
    };
    for (const auto& c : cases) {
        DeviceSizes sizes;
        EXPECT_EQ(fitDeviceSizes(c.mode, c.asked, display, sizes), c.kept) << c.mode << " " << c.asked.Width;
        EXPECT_EQ(sizes.window, c.window) << c.mode << " " << c.asked.Width;
        EXPECT_EQ(sizes.scene, c.scene) << c.mode << " " << c.asked.Width;
    }
    // A desktop of no standard size: a window too large for it takes the largest standard
    // size that fits; full screen without a list of modes takes up to the desktop itself.
    const DisplayOffer laptop{Size(1366, 768), {}};
    const struct {
        int mode;
        Size asked;
        Size scene;
        bool kept;
    } laptopCases[] = {
        {0, Size(1920, 1080), Size(1280, 720), false},
        {0, Size(1366, 768), Size(1366, 768), true},
        {1, Size(1366, 768), Size(1366, 768), true},
        {1, Size(1367, 768), Size(1366, 768), false},
        {1, Size(1366, 769), Size(1366, 768), false},
    };
    for (const auto& c : laptopCases) {
        DeviceSizes scene;
        EXPECT_EQ(fitDeviceSizes(c.mode, c.asked, laptop, scene), c.kept) << c.mode << " " << c.asked.Width;
        EXPECT_EQ(scene.scene, c.scene) << c.mode << " " << c.asked.Width;
    }
    // A display that says nothing of itself accepts every size.
    DeviceSizes sizes;
    EXPECT_TRUE(fitDeviceSizes(2, Size(16384, 16384), DisplayOffer{}, sizes));
    EXPECT_EQ(sizes.window, Size(16384, 16384));
}

// A window too large for the desktop takes the largest usual size that fits: each usual size
// is kept on a desktop of exactly its size, and one pixel less on either side drops it.
TEST(DeviceSettingsTest, AWindowTooLargeTakesTheLargestUsualSizeThatFits) {
    using Size = irr::core::dimension2du;
    const std::vector<Size> usual = {Size(800, 600),   Size(1024, 600),  Size(1024, 768),  Size(1280, 720),
                                     Size(1280, 800),  Size(1440, 900),  Size(1280, 1024), Size(1600, 1200),
                                     Size(1680, 1050), Size(1920, 1080), Size(1920, 1200)};
    EXPECT_EQ(standardWindowSizes(), usual);
    const struct {
        Size desktop;
        Size scene;
    } cases[] = {
        {Size(800, 600), Size(800, 600)},      {Size(1024, 600), Size(1024, 600)},
        {Size(1024, 768), Size(1024, 768)},    {Size(1280, 720), Size(1280, 720)},
        {Size(1280, 800), Size(1280, 800)},    {Size(1440, 900), Size(1440, 900)},
        {Size(1439, 900), Size(1280, 800)},    {Size(1440, 899), Size(1280, 800)},
        {Size(1280, 1024), Size(1280, 1024)},  {Size(1600, 1200), Size(1600, 1200)},
        {Size(1680, 1050), Size(1680, 1050)},  {Size(1920, 1080), Size(1920, 1080)},
        {Size(1920, 1200), Size(1920, 1200)},  {Size(1919, 1200), Size(1600, 1200)},
        {Size(799, 600), Size(799, 600)},
    };
    for (const auto& c : cases) {
        Size size(16384, 16384);
        EXPECT_FALSE(fitResolutionToDisplay(size, false, c.desktop, {})) << c.desktop.Width << "x" << c.desktop.Height;
        EXPECT_EQ(size, c.scene) << c.desktop.Width << "x" << c.desktop.Height;
    }
}
