#pragma once

#include <EDriverTypes.h>
#include <SIrrCreationParameters.h>

#include <string>

// How the engine device is made from the graphics settings.

// The video driver of a "Graphics_Driver" value: "OpenGL", "Burnings", "Software" or "Null"
// (letter case ignored). False for any other value.
bool parseVideoDriver(const std::string& name, irr::video::E_DRIVER_TYPE& driver);

// Set (to anything but "0") for the tests that take screenshots: the engine reads its
// screenshots from the front buffer, which a double-buffered window leaves empty.
constexpr const char* singleBufferVariable = "PADDLESTONE_SINGLE_BUFFER";

// The creation parameters from the settings: "Graphics_Driver" (an unknown name is logged
// and OpenGL is used), "Graphics_ScreenWidth" and "Graphics_ScreenHeight", "Graphics_Vsync",
// "Graphics_Antialiasing" and "Graphics_FullscreenMode": 0 a window at the settings size,
// 1 full screen at the settings size, 2 a borderless window at the desktop size (the
// effect handler scales the scene rendered at the settings size onto it).
irr::SIrrlichtCreationParameters deviceParametersFromSettings();
