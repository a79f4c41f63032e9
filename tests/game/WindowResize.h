#pragma once

// Resizes the game's OpenGL window through a connection to the X server of its own, as a
// window manager or another program would; false without a display or window. (Apart from
// the tests' game headers: X11's macros stay in WindowResize.cpp.)
namespace test {

bool resizeGameWindow(int width, int height);

} // namespace test
