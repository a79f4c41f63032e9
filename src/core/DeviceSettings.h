#pragma once

#include <EDriverTypes.h>
#include <SIrrCreationParameters.h>

#include <string>
#include <vector>

// How the engine device is made from the graphics settings.

// The video driver of a "Graphics_Driver" value: "OpenGL", "Burnings", "Software" or "Null"
// (letter case ignored). False for any other value.
bool parseVideoDriver(const std::string& name, irr::video::E_DRIVER_TYPE& driver);

// Set (to anything but "0") for the tests that take screenshots: the engine reads its
// screenshots from the front buffer, which a double-buffered window leaves empty.
constexpr const char* singleBufferVariable = "PADDLESTONE_SINGLE_BUFFER";

// The window sizes offered whatever the display reports (the graphics options list them
// first), from 800 x 600 to 1920 x 1200.
const std::vector<irr::core::dimension2du>& standardWindowSizes();
// The smallest of them (800 x 600): the options offer nothing narrower or lower, and a
// settings file's size below it in either side is not kept (GameSettings::load).
irr::core::dimension2du smallestWindowSize();
// Set (to anything but "0") for the tests that draw on the OpenGL driver: they keep their
// pictures small (640 x 480, 800 x 450) for the software renderer's sake, so a settings
// file's size below the smallest offered is kept.
constexpr const char* smallWindowsVariable = "PADDLESTONE_SMALL_WINDOWS";

// Whether the display can show the size: a window must fit the desktop, a full-screen size
// must be one of the display's modes (without a list of modes, fit the desktop). Otherwise the size becomes what it can show (a window:
// the largest of the usual window sizes that fits, else the desktop size; full screen: the
// desktop size) and the answer is false. A display of unknown size accepts everything.
bool fitResolutionToDisplay(irr::core::dimension2du& size, bool fullscreen, const irr::core::dimension2du& desktop,
                            const std::vector<irr::core::dimension2du>& modes);

// What the display offers: its desktop size (0 x 0 when unknown) and its full-screen modes.
struct DisplayOffer {
    irr::core::dimension2du desktop;
    std::vector<irr::core::dimension2du> modes;
};

// The device's sizes for a "Graphics_FullscreenMode": the window's, and the size the scene
// is drawn at, which the settings keep.
struct DeviceSizes {
    irr::core::dimension2du window;
    irr::core::dimension2du scene;
};

// Modes 0 and 1: window and scene at the asked size, fitted as fitResolutionToDisplay fits a
// window (0) or a full screen (1). Mode 2: the scene at the asked size fitted as a window
// would be (a larger picture than the desktop is never shown, only paid for), the
// borderless window at the desktop size (the scene's size when the desktop is unknown).
// False when the asked size could not be kept.
bool fitDeviceSizes(int fullscreenMode, const irr::core::dimension2du& asked, const DisplayOffer& display,
                    DeviceSizes& sizes);

// The creation parameters from the settings: "Graphics_Driver" (an unknown name is logged
// and OpenGL is used), "Graphics_ScreenWidth" and "Graphics_ScreenHeight", "Graphics_Vsync",
// "Graphics_Antialiasing" and "Graphics_FullscreenMode": 0 a window at the settings size,
// 1 full screen at the settings size, 2 a borderless window at the desktop size (the
// effect handler scales the scene rendered at the settings size onto it). A size the display
// cannot show falls back (fitDeviceSizes), logged, and the settings keep the fallback.
irr::SIrrlichtCreationParameters deviceParametersFromSettings();
