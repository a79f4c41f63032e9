// The game on the OpenGL driver under Xvfb: the game routine in this process with a
// screenshot, and the real program closed through its window.
#include "ShellFixture.h"

#include "core/DeviceSettings.h"
#include "core/app/GameApplication.h"
#include "core/GameSettings.h"
#include "core/Globals.h"
#include "platform/Window.h"
#include "render/EffectHandler.h"

#include "support/GraphicsDriver.h"
#include "support/X11Windows.h"

#include <irrlicht.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <thread>

namespace {

void useOpenGL() {
    setSettingString("Graphics_Driver", "OpenGL");
    setSettingBool("Graphics_Vsync", false);
    setSettingInt("Graphics_Antialiasing", 0);
    setSettingInt("Graphics_ScreenWidth", 1024);
    setSettingInt("Graphics_ScreenHeight", 576);
}

// The brightest pixel of the window as the X server shows it (sum of red, green and blue).
unsigned brightestPixel(Display* display, Window window) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes))
        return 0;
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (!image)
        return 0;
    unsigned brightest = 0;
    for (int y = 0; y < attributes.height; y += 8)
        for (int x = 0; x < attributes.width; x += 8) {
            const unsigned long pixel = XGetPixel(image, x, y);
            const unsigned sum = ((pixel >> 16) & 0xFF) + ((pixel >> 8) & 0xFF) + (pixel & 0xFF);
            brightest = std::max(brightest, sum);
        }
    XDestroyImage(image);
    return brightest;
}

int countStartingWith(const std::vector<std::string>& lines, const std::string& start) {
    return static_cast<int>(
        std::count_if(lines.begin(), lines.end(), [&](const std::string& line) { return line.rfind(start, 0) == 0; }));
}

} // namespace

class GameWindowGlTest : public ShellFixture {};

TEST_F(GameWindowGlTest, TheGameDrawsAFewHundredFramesAndQuitsCleanly) {
    test::keepGraphicsDriverLoaded();
    setenv(singleBufferVariable, "1", 1);
    writeSettings(useOpenGL);

    int frames = 0;
    irr::video::IImage* screenshot = nullptr;
    GameApplication game;
    ASSERT_TRUE(game.startUp());
    ASSERT_NO_FATAL_FAILURE(attachProbe());
    probe.onUpdate = [&] {
        // The previous frame is complete on the single-buffered window.
        if (++frames == 240) {
            screenshot = gameDevice->getVideoDriver()->createScreenShot();
            QuitRequested = true;
        }
    };
    EXPECT_EQ(game.runFrames(), gameStatusNormal);
    game.shutdownGame();
    unsetenv(singleBufferVariable);
    EXPECT_EQ(frames, 240);
    ASSERT_NE(screenshot, nullptr);

    // Not uniformly black: the clear colour and the lit scene, in many colours.
    const irr::core::dimension2du size = screenshot->getDimension();
    EXPECT_EQ(size, irr::core::dimension2du(1024, 576));
    std::set<irr::u32> colours;
    irr::u32 brightest = 0;
    for (irr::u32 y = 0; y < size.Height; y += 8)
        for (irr::u32 x = 0; x < size.Width; x += 8) {
            const irr::video::SColor pixel = screenshot->getPixel(x, y);
            colours.insert(pixel.color & 0x00FFFFFF);
            brightest = std::max(brightest, pixel.getRed() + pixel.getGreen() + pixel.getBlue());
        }
    EXPECT_GT(brightest, 100u);
    EXPECT_GT(colours.size(), 8u) << "the scene did not draw over the clear colour";
    // Set PADDLESTONE_KEEP_SCREENSHOT to a .png path to look at the picture.
    if (const char* keep = std::getenv("PADDLESTONE_KEEP_SCREENSHOT")) {
        irr::IrrlichtDevice* writer = irr::createDevice(irr::video::EDT_NULL);
        writer->getVideoDriver()->writeImageToFile(screenshot, keep);
        writer->drop();
    }
    screenshot->drop();

    const std::vector<std::string> lines = logLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Initializing ScreenManager."), lines.end());
    // Without vertical sync the display has nothing to refuse.
    EXPECT_EQ(countStartingWith(lines, "Warning: The display refused"), 0);
}

// Settings a display cannot take: vertical sync that the virtual X server refuses, and a
// borderless window asked to draw its scene at 16384 x 16384. The game starts and runs, each
// refusal is one log line, the scene is drawn at a size the desktop can show (the settings
// keep it), and the vsync setting stays for a display that takes it.
TEST_F(GameWindowGlTest, RefusedVsyncAndAnOversizedBorderlessSceneStillStartTheGame) {
    test::keepGraphicsDriverLoaded();
    writeSettings([] {
        useOpenGL();
        setSettingBool("Graphics_Vsync", true);
        setSettingInt("Graphics_FullscreenMode", 2);
        setSettingInt("Graphics_ScreenWidth", 16384);
        setSettingInt("Graphics_ScreenHeight", 16384);
    });
    irr::core::dimension2du desktop;
    ASSERT_TRUE(platform::getDisplaySize(desktop)) << "needs an X server (the gl tests run under Xvfb)";

    GameApplication game;
    ASSERT_TRUE(game.startUp());
    ASSERT_NO_FATAL_FAILURE(attachProbe());
    probe.onUpdate = [&] {
        if (probe.updates == 30)
            QuitRequested = true;
    };
    EXPECT_EQ(game.runFrames(), gameStatusNormal);
    ASSERT_NE(effectHandler, nullptr);
    const irr::core::dimension2du window = gameDevice->getVideoDriver()->getScreenSize();
    const irr::core::dimension2du scene = effectHandler->renderSize;
    game.shutdownGame();
    EXPECT_EQ(probe.updates, 30);
    EXPECT_EQ(window, desktop);
    EXPECT_LE(scene.Width, desktop.Width);
    EXPECT_LE(scene.Height, desktop.Height);

    const std::vector<std::string> lines = logLines();
    EXPECT_EQ(countStartingWith(lines, "Warning: The display refused vertical sync ("), 1);
    EXPECT_EQ(countStartingWith(lines, "Warning: The display cannot show 16384 x 16384 in its borderless window; using " +
                                           std::to_string(scene.Width) + " x " + std::to_string(scene.Height)),
              1);
    const std::string settings = test::readFileBytes("PaddlestoneConfig.xml");
    EXPECT_NE(settings.find("name=\"Graphics_Vsync\" value=\"true\""), std::string::npos);
    EXPECT_NE(settings.find("name=\"Graphics_ScreenWidth\" value=\"" + std::to_string(scene.Width) + "\""),
              std::string::npos);
}

TEST_F(GameWindowGlTest, TheRealGameDrawsUntilItsWindowIsClosedAndExitsWithZero) {
    writeSettings(useOpenGL);
    const test::TestDisplay display;
    ASSERT_NE(display.get(), nullptr) << "needs an X server (the gl tests run under Xvfb)";

    test::RealGame game(test::gameBinary(PADDLESTONE_GAME_BINARY));
    ASSERT_TRUE(game.started());
    // Wait for the window, let the game run a few hundred frames, look at what the window
    // shows, then close it as a player would.
    const Window window = game.waitForWindow(display, 30);
    ASSERT_NE(window, 0u) << "the game's window did not appear";
    std::this_thread::sleep_for(std::chrono::seconds(4));
    EXPECT_GT(brightestPixel(display, window), 100u) << "the window is black";
    std::filesystem::remove("PaddlestoneConfig.xml");
    const int status = game.closeAndWait(display, window, 15);
    ASSERT_NE(status, -1) << "the game did not end after its window was closed";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    // The shutdown wrote the settings back; the log holds the start-up in order.
    EXPECT_TRUE(std::filesystem::exists("PaddlestoneConfig.xml"));
    EXPECT_EQ(startUpLinesInLog(), startUpLines);
    // Without a sound device the null output runs, and the log says so once.
    const std::vector<std::string> lines = logLines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.rfind("Audio output: null (no audio device could be opened", 0) == 0;
                            }),
              1);
}
