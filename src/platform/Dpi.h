#pragma once

// Display scaling awareness of the process, asked for once at the entry point so that the
// window is created at its true pixel size.
namespace platform {

enum class DpiAwareness {
    PerMonitor,  // the window follows each monitor's scaling
    SystemWide,  // one scaling for the whole process
    Unavailable, // the window system scales nothing behind the program's back
};

// Asks for per-monitor awareness when the system offers it, else for the process-wide kind.
DpiAwareness enableDpiAwareness();

} // namespace platform
