#include "platform/Window.h"

#include <irrlicht.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dlfcn.h>
#include <link.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace platform {
namespace {

struct NativeWindow {
    Display* display = nullptr;
    ::Window window = 0;
};

NativeWindow nativeWindow(irr::IrrlichtDevice* device) {
    NativeWindow native;
    if (!device || !device->getVideoDriver() ||
        device->getVideoDriver()->getDriverType() != irr::video::EDT_OPENGL)
        return native;
    const irr::video::SExposedVideoData& data = device->getVideoDriver()->getExposedVideoData();
    native.display = static_cast<Display*>(data.OpenGLLinux.X11Display);
    native.window = static_cast<::Window>(data.OpenGLLinux.X11Window);
    if (!native.display || !native.window)
        native = NativeWindow{};
    return native;
}

// The invisible window the pointer is confined to, while a confinement holds.
struct Confinement {
    Display* display = nullptr;
    ::Window window = 0;
} confinement;

void releaseConfinement() {
    if (!confinement.display)
        return;
    XUngrabPointer(confinement.display, CurrentTime);
    XDestroyWindow(confinement.display, confinement.window);
    XFlush(confinement.display);
    confinement = Confinement{};
}

// The X errors caught (catchDisplayErrors), kept until taken.
struct DisplayErrors {
    std::mutex mutex;
    std::vector<std::string> kept;
    std::size_t dropped = 0;
    std::atomic<bool> any{false};
    std::atomic<unsigned long> gameWindow{0};
    std::atomic<bool> gameWindowLost{false};
};
DisplayErrors& displayErrors() {
    static DisplayErrors errors;
    return errors;
}

int keepDisplayError(Display* display, XErrorEvent* event) {
    char text[128] = {};
    XGetErrorText(display, event->error_code, text, sizeof(text));
    DisplayErrors& errors = displayErrors();
    if ((event->error_code == BadWindow || event->error_code == BadDrawable) && errors.gameWindow != 0 &&
        event->resourceid == errors.gameWindow)
        errors.gameWindowLost = true;
    std::lock_guard<std::mutex> lock(errors.mutex);
    if (errors.kept.size() < maxKeptDisplayErrors)
        errors.kept.push_back(std::string(text) + " (request " + std::to_string(event->request_code) + "." +
                              std::to_string(event->minor_code) + ")");
    else
        ++errors.dropped;
    errors.any = true;
    return 0;
}

void (*displayLostHandler)() = nullptr;

int endForLostDisplay(Display*) {
    if (displayLostHandler)
        displayLostHandler();
    return 0;
}

} // namespace

void catchDisplayErrors() {
    XSetErrorHandler(keepDisplayError);
}

void onDisplayConnectionLost(void (*onLost)()) {
    displayLostHandler = onLost;
    XSetIOErrorHandler(onLost ? endForLostDisplay : nullptr);
}

void syncDisplay(irr::IrrlichtDevice* device) {
    const NativeWindow native = nativeWindow(device);
    if (native.display)
        XSync(native.display, False);
}

void watchGameWindow(irr::IrrlichtDevice* device) {
    const NativeWindow native = nativeWindow(device);
    if (!native.display)
        return;
    displayErrors().gameWindow = native.window;
    displayErrors().gameWindowLost = false;
}

bool gameWindowLost() { return displayErrors().gameWindowLost.load(); }

std::vector<std::string> takeDisplayErrors() {
    DisplayErrors& errors = displayErrors();
    if (!errors.any.load())
        return {};
    std::lock_guard<std::mutex> lock(errors.mutex);
    std::vector<std::string> taken;
    taken.swap(errors.kept);
    if (errors.dropped > 0)
        taken.push_back("and " + std::to_string(errors.dropped) + " more");
    errors.dropped = 0;
    errors.any = false;
    return taken;
}

bool getWindowRect(irr::IrrlichtDevice* device, irr::core::recti& rect) {
    const NativeWindow native = nativeWindow(device);
    if (!native.display)
        return false;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(native.display, native.window, &attributes))
        return false;
    int x = 0;
    int y = 0;
    ::Window child = 0;
    if (!XTranslateCoordinates(native.display, native.window, attributes.root, 0, 0, &x, &y, &child))
        return false;
    rect = irr::core::recti(x, y, x + attributes.width, y + attributes.height);
    return true;
}

bool clipCursor(irr::IrrlichtDevice* device, const irr::core::recti* rect) {
    releaseConfinement();
    const NativeWindow native = nativeWindow(device);
    if (!native.display || !rect || rect->getWidth() <= 0 || rect->getHeight() <= 0)
        return false;

    // The pointer can only be confined to a window: an input-only window at the rectangle,
    // kept below everything and ignored by window managers, serves as the fence.
    XSetWindowAttributes attributes;
    attributes.override_redirect = True;
    const ::Window root = DefaultRootWindow(native.display);
    const ::Window fence = XCreateWindow(
        native.display, root, rect->UpperLeftCorner.X, rect->UpperLeftCorner.Y,
        static_cast<unsigned>(rect->getWidth()), static_cast<unsigned>(rect->getHeight()), 0,
        CopyFromParent, InputOnly, CopyFromParent, CWOverrideRedirect, &attributes);
    if (!fence)
        return false;
    XMapWindow(native.display, fence);
    XLowerWindow(native.display, fence);
    XSync(native.display, False);

    const unsigned eventMask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
    const int grab = XGrabPointer(native.display, native.window, True, eventMask, GrabModeAsync,
                                  GrabModeAsync, fence, None, CurrentTime);
    if (grab != GrabSuccess) {
        XDestroyWindow(native.display, fence);
        XFlush(native.display);
        return false;
    }
    confinement.display = native.display;
    confinement.window = fence;
    XFlush(native.display);
    return true;
}

bool removeWindowDecorations(irr::IrrlichtDevice* device) {
    const NativeWindow native = nativeWindow(device);
    if (!native.display)
        return false;
    // The window manager hints every common window manager reads: decorations off.
    struct {
        unsigned long flags = 2; // the decorations field is valid
        unsigned long functions = 0;
        unsigned long decorations = 0;
        long inputMode = 0;
        unsigned long status = 0;
    } hints;
    const Atom property = XInternAtom(native.display, "_MOTIF_WM_HINTS", False);
    XChangeProperty(native.display, native.window, property, property, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&hints), 5);
    XMoveWindow(native.display, native.window, 0, 0);
    XFlush(native.display);
    return true;
}

bool keepWindowSize(irr::IrrlichtDevice* device, const irr::core::dimension2du& size) {
    const NativeWindow native = nativeWindow(device);
    if (!native.display || size.Width == 0 || size.Height == 0)
        return false;
    // The hints once per window and size; the engine's own window sets none.
    static ::Window hinted = 0;
    static irr::core::dimension2du hintedSize;
    if (hinted != native.window || hintedSize != size) {
        XSizeHints* hints = XAllocSizeHints();
        if (hints) {
            hints->flags = PSize | PMinSize | PMaxSize | PBaseSize;
            hints->width = hints->min_width = hints->max_width = hints->base_width = static_cast<int>(size.Width);
            hints->height = hints->min_height = hints->max_height = hints->base_height = static_cast<int>(size.Height);
            XSetWMNormalHints(native.display, native.window, hints);
            XFree(hints);
            XFlush(native.display);
        }
        hinted = native.window;
        hintedSize = size;
    }
    // The engine learns the window's size from the window system's events.
    if (device->getVideoDriver()->getScreenSize() == size)
        return false;
    XResizeWindow(native.display, native.window, size.Width, size.Height);
    XFlush(native.display);
    return true;
}

bool giveWindowFocus(irr::IrrlichtDevice* device) {
    const NativeWindow native = nativeWindow(device);
    if (!native.display)
        return false;
    XSetInputFocus(native.display, native.window, RevertToParent, CurrentTime);
    XSync(native.display, False);
    // The engine learns of the focus from the window system's events.
    device->run();
    return true;
}

static Display* openDisplay() {
    // A busy X server refuses a connection now and then ("Resource temporarily
    // unavailable" while its queue of new connections is full); tries a little apart get
    // through.
    for (int attempt = 1;; ++attempt) {
        if (Display* display = XOpenDisplay(nullptr))
            return display;
        if (attempt == displayConnectAttempts)
            return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool getDisplaySize(irr::core::dimension2du& size) {
    Display* display = openDisplay();
    if (!display)
        return false;
    const int screen = DefaultScreen(display);
    size = irr::core::dimension2du(static_cast<irr::u32>(DisplayWidth(display, screen)),
                                   static_cast<irr::u32>(DisplayHeight(display, screen)));
    XCloseDisplay(display);
    return size.Width > 0 && size.Height > 0;
}

void keepGraphicsDriverForLeakCheck() {
#if defined(__SANITIZE_ADDRESS__)
    std::vector<std::string> drivers;
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* found) {
            const std::string_view name = info->dlpi_name ? info->dlpi_name : "";
            if (name.ends_with("_dri.so"))
                static_cast<std::vector<std::string>*>(found)->emplace_back(name);
            return 0;
        },
        &drivers);
    // Loaded already: the call only marks it never to be unloaded.
    for (const std::string& driver : drivers)
        dlopen(driver.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
#endif
}

} // namespace platform
