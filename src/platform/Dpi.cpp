#include "platform/Dpi.h"

namespace platform {

// X11 hands the program real pixels: there is no scaling to opt out of.
DpiAwareness enableDpiAwareness() { return DpiAwareness::Unavailable; }

} // namespace platform
