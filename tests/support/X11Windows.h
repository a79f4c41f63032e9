#pragma once

#include <X11/Xlib.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

// The game's window as a player's desktop sees it (for the gl tests that run the real
// program; link with X11).
namespace test {

// Xlib's own error handler ends the process at the first error, such as a BadWindow for a window
// that went between a listing and a look at it: a game the test started would outlive the test,
// and CTest would wait on its output. While one of these lives, a process still on Xlib's handler
// counts the errors instead (a process that installed its own keeps it); the handler before
// comes back at its end.
class DisplayErrorTrap {
public:
    DisplayErrorTrap() {
        // Xlib's handler is the one it answers for after being asked to restore its own.
        XErrorHandler current = XSetErrorHandler(nullptr);
        XErrorHandler xlibs = XSetErrorHandler(current);
        if (current == xlibs) {
            previous = XSetErrorHandler(&DisplayErrorTrap::count);
            trapping = true;
        }
    }
    ~DisplayErrorTrap() {
        if (trapping)
            XSetErrorHandler(previous);
    }
    DisplayErrorTrap(const DisplayErrorTrap&) = delete;
    DisplayErrorTrap& operator=(const DisplayErrorTrap&) = delete;
    // The errors counted since the process began.
    static int counted() { return errors(); }

private:
    static int& errors() {
        static int value = 0;
        return value;
    }
    static int count(Display*, XErrorEvent*) {
        ++errors();
        return 0;
    }
    XErrorHandler previous = nullptr;
    bool trapping = false;
};

// A connection of the test's own to the X server, its errors trapped, closed at its end.
class TestDisplay {
public:
    TestDisplay() : display(XOpenDisplay(nullptr)) {}
    ~TestDisplay() {
        if (display) {
            XSync(display, False); // its last errors arrive while trapped
            XCloseDisplay(display);
        }
    }
    TestDisplay(const TestDisplay&) = delete;
    TestDisplay& operator=(const TestDisplay&) = delete;
    Display* get() const { return display; }
    operator Display*() const { return display; }

private:
    DisplayErrorTrap trap; // before the connection, gone after it
    Display* display;
};

// The top-level window whose name begins with the prefix, or 0.
inline Window findWindowNamed(Display* display, const char* prefix) {
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
            if (std::string(name).rfind(prefix, 0) == 0)
                found = children[i];
            XFree(name);
        }
    }
    if (children)
        XFree(children);
    return found;
}

// What a window manager sends when the player closes the window.
inline void sendCloseRequest(Display* display, Window window) {
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

// The program to run: PADDLESTONE_GAME_BINARY from the environment when set (to run the
// release build: PADDLESTONE_GAME_BINARY=$PWD/bin/paddlestone), else the build's own.
inline const char* gameBinary(const char* built) {
    const char* chosen = std::getenv("PADDLESTONE_GAME_BINARY");
    return chosen && *chosen ? chosen : built;
}

// The real program in a child process, its window, and its end as a player closes it.
class RealGame {
public:
    // Starts the program with one optional argument. The child keeps the test's sanitizer
    // options: its leak check runs when it exits, and a leak fails its exit status (under the
    // leak checker the game keeps the GL driver loaded, so the driver's own allocations are
    // named at the check and suppressed).
    // With a folder, the game runs there and keeps its save folder there ("data"): one game
    // a folder, so that several run side by side.
    RealGame(const char* binary, const char* argument = nullptr, const std::string& folder = {}) {
        const pid_t test = getpid();
        child = fork();
        if (child == 0) {
            // The game ends with the test however the test ends (killed, crashed, or ended by
            // a library), not only by this object's end.
            if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != test)
                _exit(125);
            if (!folder.empty() && (chdir(folder.c_str()) != 0 || setenv("XDG_DATA_HOME", (folder + "/data").c_str(), 1) != 0))
                _exit(126);
            // The game chooses its audio output itself, as on a machine without a sound
            // device (OpenAL Soft is given no backend that could open one).
            unsetenv("PADDLESTONE_AUDIO_OUTPUT");
            setenv("ALSOFT_DRIVERS", "no-such-backend", 1);
            execl(binary, binary, argument, static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~RealGame() {
        if (child > 0 && !ended) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
        }
    }
    bool started() const { return child > 0; }
    pid_t pid() const { return child; }
    // The game's window once it has appeared, 0 after the seconds.
    Window waitForWindow(Display* display, int seconds) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        Window window = 0;
        while (!window && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            window = findWindowNamed(display, "Paddlestone");
        }
        return window;
    }
    bool hasEnded() {
        if (!ended && waitpid(child, &status, WNOHANG) == child)
            ended = true;
        return ended;
    }
    void signal(int number) const {
        if (child > 0 && !ended)
            kill(child, number);
    }
    // The wait status once ended (-1 before).
    int waitStatus() const { return ended ? status : -1; }
    // Closes the window and waits for the program's end; its wait status, or -1 when it
    // did not end within the seconds (it is then killed).
    int closeAndWait(Display* display, Window window, int seconds) {
        sendCloseRequest(display, window);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (!hasEnded() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return ended ? status : -1;
    }

private:
    pid_t child = -1;
    int status = -1;
    bool ended = false;
};

} // namespace test
