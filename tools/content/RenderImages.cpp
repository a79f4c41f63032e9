#include "RenderImages.h"

#include "MenuImages.h"

#include <irrlicht.h>

using namespace irr;

namespace {

// A 64 x 64 tint, brightest in the middle: the second layer of a two-layer material
// blended over the surface's own texture.
video::IImage* makeHighlight(video::IVideoDriver* driver, const video::SColor& tint) {
    const u32 size = 64;
    video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(size, size));
    const f32 centre = (size - 1) * 0.5f;
    for (u32 y = 0; y < size; ++y)
        for (u32 x = 0; x < size; ++x) {
            const f32 dx = (x - centre) / centre;
            const f32 dy = (y - centre) / centre;
            const f32 glow = core::clamp(1.0f - 0.35f * (dx * dx + dy * dy), 0.5f, 1.0f);
            image->setPixel(x, y, video::SColor(255, static_cast<u32>(tint.getRed() * glow),
                                                static_cast<u32>(tint.getGreen() * glow),
                                                static_cast<u32>(tint.getBlue() * glow)));
        }
    return image;
}

video::IImage* makeTransparent(video::IVideoDriver* driver) {
    video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(16, 16));
    image->fill(video::SColor(0, 255, 255, 255));
    return image;
}

} // namespace

bool writeRenderImages(video::IVideoDriver* driver, const std::string& root) {
    const std::string folder = root + "Content/Models/Editor/";
    struct Tint {
        const char* file;
        video::SColor colour;
    };
    const Tint tints[] = {
        {"PhongInRange.png", video::SColor(255, 150, 235, 160)},
        {"PhongSuspicious.png", video::SColor(255, 255, 170, 90)},
        {"PhongImportant.png", video::SColor(255, 255, 225, 110)},
        {"PhongGrabbed.png", video::SColor(255, 130, 190, 255)},
    };
    bool ok = true;
    for (const Tint& tint : tints)
        ok = writeContentImage(driver, makeHighlight(driver, tint.colour), folder + tint.file) && ok;
    ok = writeContentImage(driver, makeTransparent(driver), folder + "Transparent.png") && ok;
    return ok;
}
