// The game on the OpenGL driver under Xvfb: the game routine in this process with a
// screenshot, and the real program closed through its window.
#include "ShellFixture.h"

#include "core/DeviceSettings.h"
#include "core/GameApplication.h"
#include "core/GameSettings.h"
#include "core/Globals.h"

#include "support/GraphicsDriver.h"

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

// The top-level window whose name is the game's, or 0.
Window findGameWindow(Display* display) {
    Window root = DefaultRootWindow(display);
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (!XQueryTree(display, root, &root, &parent, &children, &count))
        return 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        char* name = nullptr;
        if (XFetchName(display, children[i], &name) && name) {
            if (std::string(name).rfind("Paddlestone", 0) == 0)
                found = children[i];
            XFree(name);
        }
    }
    if (children)
        XFree(children);
    return found;
}

// What a window manager sends when the player closes the window.
void sendCloseRequest(Display* display, Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
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

} // namespace

class GameWindowGlTest : public ShellFixture {};

TEST_F(GameWindowGlTest, TheGameDrawsAFewHundredFramesAndQuitsCleanly) {
    test::keepGraphicsDriverLoaded();
    setenv(singleBufferVariable, "1", 1);
    writeSettings(useOpenGL);

    // The level hooks do what the level manager will: load the title screen's background.
    ShellHooks& hooks = shellHooks();
    hooks.level.create = [](irr::IrrlichtDevice*) { return standIn<LevelManager>(2); };
    hooks.level.loadInitialLevel = [](const irr::io::path& level) {
        EXPECT_TRUE(level.empty());
        irr::scene::ISceneManager* scene = gameDevice->getSceneManager();
        EXPECT_TRUE(scene->loadScene("Content/Levels/MainScreen_Background.irr"));
    };
    int frames = 0;
    irr::video::IImage* screenshot = nullptr;
    hooks.level.update = [&] {
        // The previous frame is complete on the single-buffered window.
        if (++frames == 240) {
            screenshot = gameDevice->getVideoDriver()->createScreenShot();
            QuitRequested = true;
        }
    };

    GameApplication game;
    EXPECT_EQ(game.run(), gameStatusNormal);
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
}

TEST_F(GameWindowGlTest, TheRealGameDrawsUntilItsWindowIsClosedAndExitsWithZero) {
    writeSettings(useOpenGL);
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr) << "needs an X server (the gl tests run under Xvfb)";

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The software GL driver's own allocations outlive it at exit; the leak check of this
        // run would report them without a name to suppress them by. The in-process test above
        // checks the game's own leaks with the same driver.
        setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
        // The game chooses its audio output itself, on a machine without a sound device
        // (OpenAL Soft is given no backend that could open one).
        unsetenv("PADDLESTONE_AUDIO_OUTPUT");
        setenv("ALSOFT_DRIVERS", "no-such-backend", 1);
        execl(PADDLESTONE_GAME_BINARY, PADDLESTONE_GAME_BINARY, static_cast<char*>(nullptr));
        _exit(127);
    }

    // Wait for the window, let the game run a few hundred frames, look at what the window
    // shows, then close it as a player would.
    Window window = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!window && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        window = findGameWindow(display);
    }
    ASSERT_NE(window, 0u) << "the game's window did not appear";
    std::this_thread::sleep_for(std::chrono::seconds(4));
    EXPECT_GT(brightestPixel(display, window), 100u) << "the window is black";
    std::filesystem::remove("PaddlestoneConfig.xml");
    sendCloseRequest(display, window);

    int status = -1;
    pid_t ended = 0;
    while (ended == 0 && std::chrono::steady_clock::now() < deadline + std::chrono::seconds(15)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ended = waitpid(child, &status, WNOHANG);
    }
    if (ended == 0) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        FAIL() << "the game did not end after its window was closed";
    }
    XCloseDisplay(display);
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
