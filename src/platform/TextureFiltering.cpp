#include "platform/TextureFiltering.h"

#include <SMaterial.h>

#include <atomic>
#include <dlfcn.h>

namespace platform {

namespace {

constexpr unsigned glRenderer = 0x1F01;

// 0 unknown, 1 allowed, 2 not allowed.
int knownAnswer = 0;

using GetString = const unsigned char* (*)(unsigned);

// The engine loads the OpenGL library; the game itself does not link it. Kept once found: a
// symbol search walks every loaded library, and without a context (the null driver) the
// name is asked for again for every object every frame. Not found, it is looked for again
// (the library may come later).
std::atomic<GetString> foundGetString{nullptr};

GetString glGetStringFunction() {
    GetString found = foundGetString.load(std::memory_order_relaxed);
    if (!found) {
        found = reinterpret_cast<GetString>(::dlsym(RTLD_DEFAULT, "glGetString"));
        foundGetString.store(found, std::memory_order_relaxed);
    }
    return found;
}

} // namespace

bool rendererRasterizesOnProcessor(std::string_view renderer) {
    for (const std::string_view software : {"llvmpipe", "softpipe"})
        if (renderer.find(software) != std::string_view::npos)
            return true;
    return false;
}

bool rendererBoundsAnisotropicFilter(std::string_view renderer) {
    return !rendererRasterizesOnProcessor(renderer);
}

std::string currentRendererName() {
    // Without a current context the library answers null.
    const GetString getString = glGetStringFunction();
    const unsigned char* name = getString ? getString(glRenderer) : nullptr;
    return name ? reinterpret_cast<const char*>(name) : "";
}

bool anisotropicFilterAllowed() {
    if (knownAnswer == 0) {
        const std::string renderer = currentRendererName();
        if (renderer.empty())
            return true;
        knownAnswer = rendererBoundsAnisotropicFilter(renderer) ? 1 : 2;
    }
    return knownAnswer == 1;
}

unsigned char anisotropicFilterLevel(bool wanted) {
    return wanted && anisotropicFilterAllowed() ? 255 : 0;
}

bool limitAnisotropicFilter(irr::video::SMaterial& material, bool allowed) {
    if (allowed)
        return false;
    bool changed = false;
    for (irr::video::SMaterialLayer& layer : material.TextureLayer) {
        changed = changed || layer.AnisotropicFilter != 0;
        layer.AnisotropicFilter = 0;
    }
    return changed;
}

bool limitAnisotropicFilter(irr::video::SMaterial& material) {
    return limitAnisotropicFilter(material, anisotropicFilterAllowed());
}

} // namespace platform
