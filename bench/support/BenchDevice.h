#pragma once

#include "core/Globals.h"

#include <irrlicht.h>

namespace bench {

// The OpenGL device of a drawing benchmark: a 1280 x 720 window without vsync (under Xvfb
// vsync ends the process with an X error), stored as the game's device. Null without a
// display.
inline irr::IrrlichtDevice* createBenchOpenGLDevice() {
    irr::SIrrlichtCreationParameters params;
    params.DriverType = irr::video::EDT_OPENGL;
    params.WindowSize = irr::core::dimension2du(1280, 720);
    params.Vsync = false;
    params.LoggingLevel = irr::ELL_ERROR;
    irr::IrrlichtDevice* device = irr::createDeviceEx(params);
    gameDevice = device;
    return device;
}

} // namespace bench
