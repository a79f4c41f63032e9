#include "WindowResize.h"

#include "core/Globals.h"

#include <irrlicht.h>

#include "support/X11Windows.h"

namespace test {

bool resizeGameWindow(int width, int height) {
    if (!gameDevice || width <= 0 || height <= 0)
        return false;
    const irr::video::SExposedVideoData& data = gameDevice->getVideoDriver()->getExposedVideoData();
    const ::Window window = static_cast<::Window>(data.OpenGLLinux.X11Window);
    if (!window)
        return false;
    const TestDisplay display;
    if (!display.get())
        return false;
    XResizeWindow(display, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSync(display, False);
    return true;
}

} // namespace test
