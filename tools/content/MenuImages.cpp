#include "MenuImages.h"

#include <irrlicht.h>

#include <cmath>
#include <cstdio>
#include <functional>

using namespace irr;

namespace {

using Shade = std::function<video::SColor(u32 x, u32 y)>;

video::IImage* paint(video::IVideoDriver* driver, u32 width, u32 height, const Shade& shade) {
    video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(width, height));
    for (u32 y = 0; y < height; ++y)
        for (u32 x = 0; x < width; ++x)
            image->setPixel(x, y, shade(x, y));
    return image;
}

// A paper-coloured panel, a little darker toward the bottom, with a thin rule along its
// inner edge (the side that faces the screen's middle).
Shade panel(bool innerEdgeLeft, const video::SColor& paper, u32 width, u32 height) {
    return [=](u32 x, u32 y) {
        const f32 fall = static_cast<f32>(y) / static_cast<f32>(height);
        video::SColor c = paper.getInterpolated(video::SColor(paper.getAlpha(), 190, 186, 176), 1.0f - 0.25f * fall);
        const u32 fromInner = innerEdgeLeft ? x : width - 1 - x;
        if (fromInner < 3)
            c = video::SColor(255, 120, 60, 40);
        else if (fromInner < 5)
            c = video::SColor(paper.getAlpha(), 250, 248, 240);
        return c;
    };
}

Shade flat(const video::SColor& colour) {
    return [=](u32, u32) { return colour; };
}

// A filled triangle pointing up or down, white on clear.
Shade arrow(bool up, u32 size) {
    return [=](u32 x, u32 y) {
        const f32 fx = (static_cast<f32>(x) + 0.5f) / static_cast<f32>(size);
        f32 fy = (static_cast<f32>(y) + 0.5f) / static_cast<f32>(size);
        if (!up)
            fy = 1.0f - fy;
        const f32 halfWidth = (fy - 0.2f) * 0.6f;
        const bool inside = fy > 0.2f && fy < 0.8f && std::fabs(fx - 0.5f) < halfWidth;
        return inside ? video::SColor(255, 255, 255, 255) : video::SColor(0, 255, 255, 255);
    };
}

// An arrow pointing left: a head and a shaft.
Shade backArrow(const video::SColor& colour, u32 width, u32 height) {
    return [=](u32 x, u32 y) {
        const f32 fx = (static_cast<f32>(x) + 0.5f) / static_cast<f32>(width);
        const f32 fy = (static_cast<f32>(y) + 0.5f) / static_cast<f32>(height);
        const bool head = fx < 0.45f && std::fabs(fy - 0.5f) < fx * 1.0f;
        const bool shaft = fx >= 0.4f && fx < 0.95f && std::fabs(fy - 0.5f) < 0.14f;
        return head || shaft ? colour : video::SColor(0, colour.getRed(), colour.getGreen(), colour.getBlue());
    };
}

Shade plus(u32 size) {
    return [=](u32 x, u32 y) {
        const f32 fx = (static_cast<f32>(x) + 0.5f) / static_cast<f32>(size) - 0.5f;
        const f32 fy = (static_cast<f32>(y) + 0.5f) / static_cast<f32>(size) - 0.5f;
        const bool ring = fx * fx + fy * fy < 0.25f;
        const bool bar = (std::fabs(fx) < 0.08f && std::fabs(fy) < 0.3f) || (std::fabs(fy) < 0.08f && std::fabs(fx) < 0.3f);
        if (bar)
            return video::SColor(255, 255, 255, 255);
        return ring ? video::SColor(255, 200, 80, 40) : video::SColor(0, 0, 0, 0);
    };
}

} // namespace

bool writeContentImage(video::IVideoDriver* driver, video::IImage* image, const std::string& path) {
    const bool ok = driver->writeImageToFile(image, path.c_str());
    image->drop();
    std::printf("%s %s\n", ok ? "wrote" : "could not write", path.c_str());
    return ok;
}

bool writeMenuImages(video::IVideoDriver* driver, const std::string& root) {
    const std::string objects = root + "Content/Screens/Objects/";
    const std::string buttons = root + "Content/Screens/Buttons/";
    const video::SColor paper(235, 242, 238, 228);
    const video::SColor subPaper(235, 230, 232, 236);
    bool ok = true;
    ok = writeContentImage(driver, paint(driver, 128, 512, panel(true, paper, 128, 512)), objects + "MenuPanel.png") && ok;
    ok = writeContentImage(driver, paint(driver, 128, 512, panel(false, paper, 128, 512)), objects + "MenuPanelLeft.png") && ok;
    ok = writeContentImage(driver, paint(driver, 128, 512, panel(true, subPaper, 128, 512)), objects + "MenuSubPanel.png") && ok;
    ok = writeContentImage(driver, paint(driver, 128, 512, panel(false, subPaper, 128, 512)), objects + "MenuSubPanelLeft.png") && ok;
    // The highlight behind a focused row and the tooltip line: white text shows on it.
    ok = writeContentImage(driver, paint(driver, 64, 16, flat(video::SColor(230, 196, 84, 44))), objects + "OptionColor.png") && ok;
    // Title bars of the main panel and of sub panels.
    ok = writeContentImage(driver, paint(driver, 64, 16, flat(video::SColor(255, 40, 110, 120))), objects + "NotificationColor.png") && ok;
    ok = writeContentImage(driver, paint(driver, 64, 16, flat(video::SColor(255, 70, 80, 130))), objects + "MenuColor.png") && ok;
    ok = writeContentImage(driver, paint(driver, 32, 32, arrow(true, 32)), objects + "ListUpButton.png") && ok;
    ok = writeContentImage(driver, paint(driver, 32, 32, arrow(false, 32)), objects + "ListDownButton.png") && ok;
    ok = writeContentImage(driver, paint(driver, 46, 38, backArrow(video::SColor(255, 196, 84, 44), 46, 38)), buttons + "BackButton1.png") && ok;
    ok = writeContentImage(driver, paint(driver, 46, 38, backArrow(video::SColor(255, 60, 60, 60), 46, 38)), buttons + "BackButton2.png") && ok;
    ok = writeContentImage(driver, paint(driver, 40, 40, plus(40)), buttons + "RemapAdd.png") && ok;
    // The pause menu's tint over the game; the screen sets how strong it is.
    ok = writeContentImage(driver, paint(driver, 16, 16, flat(video::SColor(255, 12, 14, 30))), objects + "PauseColor.png") && ok;
    ok = writeContentImage(driver, paint(driver, 16, 16, flat(video::SColor(255, 0, 0, 0))), root + "Content/Models/Editor/Black.png") && ok;
    return ok;
}
