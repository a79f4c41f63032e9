#include "platform/TextureFiltering.h"

#include <SMaterial.h>

#include <dlfcn.h>

namespace platform {

namespace {

constexpr unsigned glRenderer = 0x1F01;

// 0 unknown, 1 allowed, 2 not allowed.
int knownAnswer = 0;

} // namespace

bool rendererBoundsAnisotropicFilter(std::string_view renderer) {
    for (const std::string_view unbounded : {"llvmpipe", "softpipe"})
        if (renderer.find(unbounded) != std::string_view::npos)
            return false;
    return true;
}

std::string currentRendererName() {
    // The engine loads the OpenGL library; the game itself does not link it. Without a
    // current context the library answers null.
    using GetString = const unsigned char* (*)(unsigned);
    const auto getString = reinterpret_cast<GetString>(::dlsym(RTLD_DEFAULT, "glGetString"));
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
