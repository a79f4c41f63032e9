#pragma once

namespace test {

// Keeps the software OpenGL driver mapped until the process ends. The GL library unloads it
// when the last context goes, before the leak checker runs at exit; the checker could then
// no longer name the driver's own allocations, and their suppression would not match.
// The gl tests call this before they create a device.
void keepGraphicsDriverLoaded();

} // namespace test
