#pragma once

#include <rect.h>

#include <dimension2d.h>

namespace irr {
class IrrlichtDevice;
}

// Services of the window system for the game window: its rectangle on the screen, keeping
// the mouse pointer inside a rectangle, and the input focus. They work on the OpenGL device,
// whose window the window system knows; the software and null drivers expose no window, and
// every call there answers false and does nothing.
namespace platform {

// The window's client area in screen pixels.
bool getWindowRect(irr::IrrlichtDevice* device, irr::core::recti& rect);

// Keeps the pointer inside the rectangle (screen pixels) until released; a null rectangle
// releases it. A new rectangle replaces the previous one. False when nothing was confined.
bool clipCursor(irr::IrrlichtDevice* device, const irr::core::recti* rect);

// Takes the window's frame and title bar away and moves it to the screen's corner (the
// borderless window at the desktop size).
bool removeWindowDecorations(irr::IrrlichtDevice* device);

// Gives the window the input focus. A display without a window manager never focuses a
// window by itself; the tests under Xvfb use this.
bool giveWindowFocus(irr::IrrlichtDevice* device);

// The size of the display's default screen, asked of the window system without a window.
// False (and the size untouched) without a display.
bool getDisplaySize(irr::core::dimension2du& size);

// Under the leak checker only: keeps the OpenGL driver loaded until the process ends. The GL
// library unloads it when the window closes, and the leak check at exit could then neither
// name the driver's own allocations nor suppress them. Does nothing in other builds.
void keepGraphicsDriverForLeakCheck();

// How often a connection to the window system is tried before it counts as failed: a busy
// X server refuses one now and then for a moment.
constexpr int displayConnectAttempts = 5;

} // namespace platform
