#pragma once

#include <dlfcn.h>

namespace platform {

// The engine loads the OpenGL library; the game itself does not link it. Its functions are
// looked up by name, the game's own stand-ins among them (GraphicsCallFilter.cpp).
template <class Function> Function glFunction(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_DEFAULT, name));
}

} // namespace platform
