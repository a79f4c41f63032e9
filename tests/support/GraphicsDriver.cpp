#include "support/GraphicsDriver.h"

#include <dlfcn.h>

#include <algorithm>
#include <string>
#include <chrono>
#include <thread>

#include "platform/Window.h"

namespace test {

void keepGraphicsDriverLoaded() {
    static bool done = false;
    if (done)
        return;
    done = true;
    for (const char* folder : {"/usr/lib/x86_64-linux-gnu/dri", "/usr/lib/aarch64-linux-gnu/dri",
                               "/usr/lib64/dri", "/usr/lib/dri"}) {
        const std::string driver = std::string(folder) + "/swrast_dri.so";
        if (dlopen(driver.c_str(), RTLD_NOW | RTLD_NODELETE))
            return;
    }
}

irr::IrrlichtDevice* createOpenGLTestDevice(const irr::core::dimension2du& size,
                                            bool doubleBuffered) {
    keepGraphicsDriverLoaded();
    irr::SIrrlichtCreationParameters params;
    params.DriverType = irr::video::EDT_OPENGL;
    params.WindowSize = size;
    params.Doublebuffer = doubleBuffered;
    params.Vsync = false;
    params.LoggingLevel = irr::ELL_ERROR;
    // Xvfb refuses a connection now and then for a moment, as the game's own start knows.
    irr::IrrlichtDevice* device = irr::createDeviceEx(params);
    for (int attempt = 1; !device && attempt < platform::displayConnectAttempts; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        device = irr::createDeviceEx(params);
    }
    return device;
}

int countPixels(irr::video::IImage* image, const irr::core::recti& area,
                const std::function<bool(const irr::video::SColor&)>& test) {
    using irr::s32;
    int count = 0;
    const irr::core::dimension2du size = image->getDimension();
    const s32 right = std::min(area.LowerRightCorner.X, static_cast<s32>(size.Width));
    const s32 bottom = std::min(area.LowerRightCorner.Y, static_cast<s32>(size.Height));
    for (s32 y = std::max(area.UpperLeftCorner.Y, 0); y < bottom; ++y)
        for (s32 x = std::max(area.UpperLeftCorner.X, 0); x < right; ++x)
            count += test(image->getPixel(static_cast<irr::u32>(x), static_cast<irr::u32>(y))) ? 1 : 0;
    return count;
}

} // namespace test
