#pragma once

#include <rect.h>

#include <dimension2d.h>

#include <string>
#include <vector>

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

// Keeps the window at the size (client area, pixels): the window manager learns that it can
// be neither smaller nor larger (size hints), and a window that has another size all the
// same (a window manager that ignores the hints, another program) is given the size back.
// Cheap when nothing changed; answers true when it had to resize the window.
bool keepWindowSize(irr::IrrlichtDevice* device, const irr::core::dimension2du& size);

// Gives the window the input focus. A display without a window manager never focuses a
// window by itself; the tests under Xvfb use this.
bool giveWindowFocus(irr::IrrlichtDevice* device);

// The size of the display's default screen, asked of the window system without a window.
// False (and the size untouched) without a display.
bool getDisplaySize(irr::core::dimension2du& size);

// An X error (a request the display refuses, such as the swap interval of vertical sync on a
// virtual X server) ends the process by default, with a line on standard error only. From
// this call on such errors are kept for the caller to log instead; the refused request has
// no effect and the program goes on. Calling it again changes nothing.
void catchDisplayErrors();
// The connection to the display lost (the X server gone): the window system's library calls
// its I/O error handler and, by default, ends the process with status 1 and a line on
// standard error only. From this call on it calls `onLost` instead, on the thread whose
// request found the connection gone; `onLost` must end the process (should it return, the
// process ends with status 1 as before).
void onDisplayConnectionLost(void (*onLost)());
// Makes the display answer for the device's requests so far (its errors then are kept).
void syncDisplay(irr::IrrlichtDevice* device);
// Watches for the device's window being destroyed under the game (the engine goes on
// drawing to it, and no close request comes). Nothing without an OpenGL window.
void watchGameWindow(irr::IrrlichtDevice* device);
// The watched window was destroyed by someone else (an X error names it): drawing to it can
// crash the driver, so the game should end without drawing again.
bool gameWindowLost();
// The errors kept since the last call, in order, each described as "<error> (request
// <major>.<minor>)"; at most maxKeptDisplayErrors, the later ones counted in a last entry.
constexpr std::size_t maxKeptDisplayErrors = 8;
std::vector<std::string> takeDisplayErrors();
// Under the leak checker only: keeps the OpenGL driver loaded until the process ends. The GL
// library unloads it when the window closes, and the leak check at exit could then neither
// name the driver's own allocations nor suppress them. Does nothing in other builds.
void keepGraphicsDriverForLeakCheck();

// How often a connection to the window system is tried before it counts as failed: a busy
// X server refuses one now and then for a moment.
constexpr int displayConnectAttempts = 5;

} // namespace platform
