// Writes the game's generated images into Content/: the plain white editor texture, the
// picture shown while the game starts, the pictures of the menu screens, the editor
// textures of the materials, the particle sprite, test sprite sheet, water and caustics textures,
// the bitmap font and the speech bubble, the title screen, level menu and billboard
// pictures, and its meshes. Run from the repository root (or give the root
// as the first argument); the output is committed, so the game never needs this tool to run.
#include "EffectImages.h"
#include "MenuImages.h"
#include "Meshes.h"
#include "RenderImages.h"
#include "TextImages.h"
#include "TitleImages.h"

#include <irrlicht.h>

#include <string>

using namespace irr;

namespace {

video::SColor mix(const video::SColor& a, const video::SColor& b, f32 t) {
    return b.getInterpolated(a, t);
}

// 16 x 16 pure white: untextured materials get it, and start-up reads it to find Content/.
video::IImage* makeWhite(video::IVideoDriver* driver) {
    video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(16, 16));
    image->fill(video::SColor(255, 255, 255, 255));
    return image;
}

// The start-up picture: a dusk-blue gradient with a row of stepping stones across a pond,
// the middle stone lit.
video::IImage* makeLoading(video::IVideoDriver* driver) {
    const u32 width = 640;
    const u32 height = 360;
    video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(width, height));
    const video::SColor top(255, 28, 40, 58);
    const video::SColor bottom(255, 64, 92, 118);
    const video::SColor stone(255, 150, 156, 150);
    const video::SColor litStone(255, 236, 222, 170);
    for (u32 y = 0; y < height; ++y) {
        const video::SColor row = mix(top, bottom, static_cast<f32>(y) / (height - 1));
        for (u32 x = 0; x < width; ++x)
            image->setPixel(x, y, row);
    }
    // Five flat ellipses, 60 px apart, on the lower third.
    const s32 centreY = 250;
    for (s32 i = 0; i < 5; ++i) {
        const s32 centreX = 200 + i * 60;
        const video::SColor colour = i == 2 ? litStone : stone;
        for (s32 y = centreY - 10; y <= centreY + 10; ++y)
            for (s32 x = centreX - 22; x <= centreX + 22; ++x) {
                const f32 dx = (x - centreX) / 22.0f;
                const f32 dy = (y - centreY) / 10.0f;
                if (dx * dx + dy * dy <= 1.0f)
                    image->setPixel(static_cast<u32>(x), static_cast<u32>(y), colour);
            }
    }
    return image;
}

} // namespace

int main(int argc, char** argv) {
    const std::string root = argc > 1 ? std::string(argv[1]) + "/" : std::string();
    SIrrlichtCreationParameters params;
    params.DriverType = video::EDT_NULL;
    params.LoggingLevel = ELL_ERROR;
    IrrlichtDevice* device = createDeviceEx(params);
    if (!device)
        return 1;
    video::IVideoDriver* driver = device->getVideoDriver();
    bool ok = writeContentImage(driver, makeWhite(driver), root + "Content/Models/Editor/White.png");
    ok = writeContentImage(driver, makeLoading(driver), root + "Content/Screens/Backgrounds/Loading.png") && ok;
    ok = writeMenuImages(driver, root) && ok;
    ok = writeHudImages(driver, root) && ok;
    ok = writeContentMeshes(root) && ok;
    ok = writeRenderImages(driver, root) && ok;
    ok = writeEffectImages(driver, root) && ok;
    ok = writeTextImages(driver, root) && ok;
    ok = writeTitleImages(driver, root) && ok;
    device->drop();
    return ok ? 0 : 1;
}
