#include "WindowResize.h"

#include "core/Globals.h"

#include <irrlicht.h>

#include <X11/Xlib.h>

namespace test {

bool resizeGameWindow(int width, int height) {
    if (!gameDevice || width <= 0 || height <= 0)
        return false;
    const irr::video::SExposedVideoData& data = gameDevice->getVideoDriver()->getExposedVideoData();
    const ::Window window = static_cast<::Window>(data.OpenGLLinux.X11Window);
    if (!window)
        return false;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    XResizeWindow(display, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSync(display, False);
    XCloseDisplay(display);
    return true;
}

} // namespace test
