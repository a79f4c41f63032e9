#pragma once

#include <irrlicht.h>

#include <functional>

namespace test {

// Keeps the software OpenGL driver mapped until the process ends. The GL library unloads it
// when the last context goes, before the leak checker runs at exit; the checker could then
// no longer name the driver's own allocations, and their suppression would not match.
// The gl tests call this before they create a device.
void keepGraphicsDriverLoaded();

// An OpenGL device for a screenshot test (keeps the driver loaded first): single-buffered
// unless asked, since the engine reads screenshots from the front buffer, and without vsync,
// which ends the process with an X error under Xvfb. Null without a display.
irr::IrrlichtDevice* createOpenGLTestDevice(const irr::core::dimension2du& size,
                                            bool doubleBuffered = false);

// The number of pixels of an area of the image that pass the test (the area is clipped to
// the image).
int countPixels(irr::video::IImage* image, const irr::core::recti& area,
                const std::function<bool(const irr::video::SColor&)>& test);

} // namespace test
