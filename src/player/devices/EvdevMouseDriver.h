#pragma once

#include "platform/MultiMouse.h"

#include <functional>
#include <string>

// The several-mice driver of this system: every mouse among the kernel's event devices
// (/dev/input/event*) that the player may read (the device files' permissions decide), each
// read on its own and turned into the driver's events through a ring of 1024 that drops its
// oldest event when full. When none can be opened it says so in one log line, and the mouse
// device uses the system mouse alone.
namespace evdevMice {

constexpr int maxMice = 32;
constexpr int ringSize = 1024;

// The driver record for the driver table (third slot).
const platform::MultiMouseDriver& driver();
// The driver table of this system: only the third slot holds a driver.
void installDrivers();

// What tests change: the folder scanned, and the check that an opened file is a mouse (it
// fills the mouse's description). The defaults are "/dev/input" and the kernel's
// capability queries (relative X and Y, and a left button).
void setInputFolder(const std::string& folder);
void setMouseProbe(std::function<bool(int fd, std::string& description)> probe);
void resetForTests();

// The ring alone, for tests: stores an event as the readers do, and the number waiting.
void pushEvent(const platform::MultiMouseEvent& event);
int pendingEvents();

} // namespace evdevMice
