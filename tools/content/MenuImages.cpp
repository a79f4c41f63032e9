#include "MenuImages.h"

#include <irrlicht.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
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

// A filled triangle pointing up or down, dark grey on clear (it stands on the light panel).
Shade arrow(bool up, u32 size) {
    return [=](u32 x, u32 y) {
        const f32 fx = (static_cast<f32>(x) + 0.5f) / static_cast<f32>(size);
        f32 fy = (static_cast<f32>(y) + 0.5f) / static_cast<f32>(size);
        if (!up)
            fy = 1.0f - fy;
        const f32 halfWidth = (fy - 0.2f) * 0.6f;
        const bool inside = fy > 0.2f && fy < 0.8f && std::fabs(fx - 0.5f) < halfWidth;
        return inside ? video::SColor(255, 60, 60, 70) : video::SColor(0, 60, 60, 70);
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

// A state sheet (normal, focused / released, pressed, disabled; 2 x 2 cells of the size) of a
// disc with a white plus (add) or a white bar (delete) on it; the focused disc wears a dark
// ring, so that the keyboard's focus on it shows.
Shade discButtonSheet(bool add, u32 size) {
    const video::SColor add4[4] = {video::SColor(255, 200, 80, 40), video::SColor(255, 236, 130, 60),
                                   video::SColor(255, 50, 50, 150), video::SColor(120, 140, 140, 140)};
    const video::SColor delete4[4] = {video::SColor(255, 150, 40, 40), video::SColor(255, 210, 60, 50),
                                      video::SColor(255, 50, 50, 150), video::SColor(120, 140, 140, 140)};
    return [=](u32 x, u32 y) {
        const u32 cell = (y / size) * 2 + x / size;
        const f32 fx = (static_cast<f32>(x % size) + 0.5f) / static_cast<f32>(size) - 0.5f;
        const f32 fy = (static_cast<f32>(y % size) + 0.5f) / static_cast<f32>(size) - 0.5f;
        const bool ring = fx * fx + fy * fy < 0.2f;
        const bool across = std::fabs(fy) < 0.08f && std::fabs(fx) < 0.3f;
        const bool down = add && std::fabs(fx) < 0.08f && std::fabs(fy) < 0.3f;
        if (across || down)
            return video::SColor(255, 255, 255, 255);
        const f32 r2 = fx * fx + fy * fy;
        if (cell == 1 && !ring && r2 < 0.245f)
            return video::SColor(255, 30, 30, 50);
        return ring ? (add ? add4 : delete4)[cell] : video::SColor(0, 0, 0, 0);
    };
}

// The bar behind a focused binding row, as a state sheet: clear while the row is normal or
// disabled, lit while it is focused or pressed.
Shade rowHighlightSheet(u32 width, u32 height) {
    return [=](u32 x, u32 y) {
        const u32 cell = (y / height) * 2 + x / width;
        if (cell == 1)
            return video::SColor(160, 226, 140, 96);
        if (cell == 2)
            return video::SColor(160, 180, 110, 80);
        return video::SColor(0, 0, 0, 0);
    };
}

// The meter's bar: a rounded band inside the picture (fills, mask), empty around it.
bool insideMeterBar(u32 x, u32 y, u32 width, u32 height) {
    const f32 left = 0.04f * static_cast<f32>(width), right = 0.96f * static_cast<f32>(width);
    const f32 top = 0.3f * static_cast<f32>(height), bottom = 0.7f * static_cast<f32>(height);
    const f32 radius = (bottom - top) * 0.5f;
    const f32 fx = static_cast<f32>(x) + 0.5f, fy = static_cast<f32>(y) + 0.5f;
    if (fy < top || fy > bottom)
        return false;
    const f32 cy = (top + bottom) * 0.5f;
    const f32 cx = std::clamp(fx, left + radius, right - radius);
    return (fx - cx) * (fx - cx) + (fy - cy) * (fy - cy) <= radius * radius;
}

Shade meterBar(const video::SColor& colour, u32 width, u32 height) {
    return [=](u32 x, u32 y) {
        return insideMeterBar(x, y, width, height) ? colour : video::SColor(0, colour.getRed(), colour.getGreen(), colour.getBlue());
    };
}

// The frame around the bar: a dark band a little larger than it.
Shade meterBase(u32 width, u32 height) {
    return [=](u32 x, u32 y) {
        const bool bar = insideMeterBar(x, y, width, height);
        const bool frame = !bar && std::fabs(static_cast<f32>(y) + 0.5f - 0.5f * static_cast<f32>(height)) < 0.28f * static_cast<f32>(height) &&
                           x > width / 40 && x < width - width / 40;
        if (bar)
            return video::SColor(200, 30, 28, 40);
        return frame ? video::SColor(230, 240, 236, 226) : video::SColor(0, 0, 0, 0);
    };
}

// A shine along the upper half of the bar.
Shade meterOverlay(u32 width, u32 height) {
    return [=](u32 x, u32 y) {
        const bool shine = insideMeterBar(x, y, width, height) && y < height / 2;
        return shine ? video::SColor(60, 255, 255, 255) : video::SColor(0, 255, 255, 255);
    };
}

// An open eye at the bar's right end: white almond, dark pupil.
Shade meterEye(u32 width, u32 height) {
    return [=](u32 x, u32 y) {
        const f32 cx = 0.9f * static_cast<f32>(width), cy = 0.5f * static_cast<f32>(height);
        const f32 dx = (static_cast<f32>(x) + 0.5f - cx) / (0.07f * static_cast<f32>(width));
        const f32 dy = (static_cast<f32>(y) + 0.5f - cy) / (0.18f * static_cast<f32>(height));
        const bool almond = std::fabs(dy) < 1.0f - dx * dx && std::fabs(dx) < 1.0f;
        const bool pupil = dx * dx * 9.0f + dy * dy * 2.0f < 1.0f;
        if (pupil)
            return video::SColor(255, 20, 20, 30);
        return almond ? video::SColor(255, 250, 250, 245) : video::SColor(0, 0, 0, 0);
    };
}

// Black at the edges fading to clear in the middle.
Shade vignette(u32 width, u32 height) {
    return [=](u32 x, u32 y) {
        const f32 dx = (static_cast<f32>(x) + 0.5f) / static_cast<f32>(width) * 2.0f - 1.0f;
        const f32 dy = (static_cast<f32>(y) + 0.5f) / static_cast<f32>(height) * 2.0f - 1.0f;
        const f32 d = std::sqrt(dx * dx + dy * dy) / std::sqrt(2.0f);
        const f32 a = std::clamp((d - 0.45f) / 0.55f, 0.0f, 1.0f);
        return video::SColor(static_cast<u32>(a * a * 255.0f), 0, 0, 0);
    };
}

// A sheet of 2 x 2 states (normal, focused / pressed, disabled) of a side arrow pointing
// left or right; each cell is size x size.
Shade sideArrowSheet(bool right, u32 size) {
    const video::SColor tints[4] = {video::SColor(255, 140, 140, 140), video::SColor(255, 196, 84, 44),
                                    video::SColor(255, 50, 50, 150), video::SColor(120, 140, 140, 140)};
    return [=](u32 x, u32 y) {
        const u32 cell = (y / size) * 2 + x / size;
        f32 fx = (static_cast<f32>(x % size) + 0.5f) / static_cast<f32>(size);
        const f32 fy = (static_cast<f32>(y % size) + 0.5f) / static_cast<f32>(size);
        if (!right)
            fx = 1.0f - fx;
        const bool inside = fx > 0.25f && fx < 0.8f && std::fabs(fy - 0.5f) < (0.8f - fx) * 0.75f;
        const video::SColor c = tints[cell];
        return inside ? c : video::SColor(0, c.getRed(), c.getGreen(), c.getBlue());
    };
}

// The option meter's outline as a state sheet (the button shows one of 2 x 2 cells): in each
// cell a thin dark frame around a clear inside.
Shade meterOutline(u32 width, u32 height) {
    return [=](u32 x, u32 y) {
        x %= width;
        y %= height;
        const bool edge = x < 2 || y < 2 || x + 2 >= width || y + 2 >= height;
        return edge ? video::SColor(255, 60, 60, 70) : video::SColor(0, 0, 0, 0);
    };
}

// The notification's panel, which runs down to the screen's bottom edge: dark blue-grey,
// nearly opaque behind the texts at the top (a notification's texts end about a fifth of the
// way down) and gone soon below them, so no dark box hangs over the level.
Shade notificationPanel(u32 height) {
    return [=](u32, u32 y) {
        const f32 fy = static_cast<f32>(y) / static_cast<f32>(height);
        const f32 fade = std::clamp((fy - 0.2f) / 0.1f, 0.0f, 1.0f);
        return video::SColor(static_cast<u32>(225.0f * (1.0f - fade)), 40, 48, 62);
    };
}

// The objective icons, one 32 x 32 frame each: an open ring, a filled tick, a star, a cross.
Shade taskIcons() {
    return [](u32 x, u32 y) {
        const u32 frame = x / 32;
        const f32 fx = (static_cast<f32>(x % 32) + 0.5f) / 32.0f - 0.5f;
        const f32 fy = (static_cast<f32>(y) + 0.5f) / 32.0f - 0.5f;
        const f32 r = std::sqrt(fx * fx + fy * fy);
        const video::SColor clear(0, 255, 255, 255);
        switch (frame) {
        case 0:
            return r > 0.3f && r < 0.42f ? video::SColor(255, 245, 240, 228) : clear;
        case 1: {
            const bool tick = (std::fabs(fy - (fx + 0.1f)) < 0.08f && fx > -0.3f && fx < 0.0f) ||
                              (std::fabs(fy + 2.0f * fx - 0.1f) < 0.12f && fx >= -0.05f && fx < 0.32f);
            if (tick)
                return video::SColor(255, 255, 255, 255);
            return r < 0.44f ? video::SColor(255, 70, 160, 80) : clear;
        }
        case 2: {
            const f32 angle = std::atan2(fy, fx);
            const f32 edge = 0.28f + 0.14f * std::cos(angle * 5.0f);
            return r < edge ? video::SColor(255, 240, 200, 70) : clear;
        }
        default: {
            const bool cross = (std::fabs(fx - fy) < 0.08f || std::fabs(fx + fy) < 0.08f) && r < 0.38f;
            return cross ? video::SColor(255, 214, 60, 44) : clear;
        }
        }
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
    // The highlight behind a focused row and the tooltip line: white text reads on it (5.6 : 1).
    ok = writeContentImage(driver, paint(driver, 64, 16, flat(video::SColor(255, 176, 70, 36))), objects + "OptionColor.png") && ok;
    // Title bars of the main panel and of sub panels.
    ok = writeContentImage(driver, paint(driver, 64, 16, flat(video::SColor(255, 40, 110, 120))), objects + "NotificationColor.png") && ok;
    ok = writeContentImage(driver, paint(driver, 64, 16, flat(video::SColor(255, 70, 80, 130))), objects + "MenuColor.png") && ok;
    ok = writeContentImage(driver, paint(driver, 32, 32, arrow(true, 32)), objects + "ListUpButton.png") && ok;
    ok = writeContentImage(driver, paint(driver, 32, 32, arrow(false, 32)), objects + "ListDownButton.png") && ok;
    // The back arrow of a lit back row stands white on the row's bar, as its caption does.
    ok = writeContentImage(driver, paint(driver, 46, 38, backArrow(video::SColor(255, 255, 255, 255), 46, 38)), buttons + "BackButton1.png") && ok;
    ok = writeContentImage(driver, paint(driver, 46, 38, backArrow(video::SColor(255, 60, 60, 60), 46, 38)), buttons + "BackButton2.png") && ok;
    ok = writeContentImage(driver, paint(driver, 80, 80, discButtonSheet(true, 40)), buttons + "RemapAdd.png") && ok;
    // The pause menu's tint over the game; the screen sets how strong it is.
    ok = writeContentImage(driver, paint(driver, 16, 16, flat(video::SColor(255, 12, 14, 30))), objects + "PauseColor.png") && ok;
    ok = writeContentImage(driver, paint(driver, 16, 16, flat(video::SColor(255, 0, 0, 0))), root + "Content/Models/Editor/Black.png") && ok;
    ok = writeOptionImages(driver, root) && ok;
    return ok;
}

bool writeOptionImages(video::IVideoDriver* driver, const std::string& root) {
    const std::string objects = root + "Content/Screens/Objects/";
    const std::string buttons = root + "Content/Screens/Buttons/";
    bool ok = true;
    // The bar behind a focused option row (lighter than the menu rows' highlight).
    ok = writeContentImage(driver, paint(driver, 64, 16, flat(video::SColor(200, 226, 140, 96))), objects + "OptionColor2.png") && ok;
    // Binding rows: the bar behind a focused row, the bar while a row waits for an input, and
    // the delete button.
    ok = writeContentImage(driver, paint(driver, 128, 32, rowHighlightSheet(64, 16)), buttons + "OptionCycleHighlight.png") && ok;
    ok = writeContentImage(driver, paint(driver, 64, 16, flat(video::SColor(220, 90, 130, 200))), objects + "OptionColor3.png") && ok;
    ok = writeContentImage(driver, paint(driver, 80, 80, discButtonSheet(false, 40)), buttons + "RemapDelete.png") && ok;
    ok = writeContentImage(driver, paint(driver, 64, 64, sideArrowSheet(false, 32)), buttons + "SettingPrevious.png") && ok;
    ok = writeContentImage(driver, paint(driver, 64, 64, sideArrowSheet(true, 32)), buttons + "SettingNext.png") && ok;
    ok = writeContentImage(driver, paint(driver, 80, 14, flat(video::SColor(255, 196, 84, 44))), buttons + "SettingMeter.png") && ok;
    ok = writeContentImage(driver, paint(driver, 160, 28, meterOutline(80, 14)), buttons + "SettingMeterOutline.png") && ok;
    ok = writeContentImage(driver, paint(driver, 64, 256, notificationPanel(256)), objects + "NotificationPanel.png") && ok;
    ok = writeContentImage(driver, paint(driver, 128, 32, taskIcons()), root + "Content/Screens/HUD/TaskIcons.png") && ok;
    return ok;
}

// A round touch button: a translucent dark disc with a white rim, and the glyph the
// function draws in white (fx, fy in 0..1).
static Shade touchButton(u32 size, const std::function<bool(f32 fx, f32 fy)>& glyph) {
    return [=](u32 x, u32 y) {
        const f32 fx = (static_cast<f32>(x) + 0.5f) / static_cast<f32>(size);
        const f32 fy = (static_cast<f32>(y) + 0.5f) / static_cast<f32>(size);
        const f32 r = std::sqrt((fx - 0.5f) * (fx - 0.5f) + (fy - 0.5f) * (fy - 0.5f));
        if (r > 0.48f)
            return video::SColor(0, 255, 255, 255);
        if (r > 0.42f || glyph(fx, fy))
            return video::SColor(235, 255, 255, 255);
        return video::SColor(140, 30, 34, 48);
    };
}

// The touch buttons: pause (two bars), switch (two arrows chasing round) and the grab strip
// (a soft band along the left edge with an open hand's outline).
static bool writeTouchImages(video::IVideoDriver* driver, const std::string& hud) {
    bool ok = writeContentImage(driver, paint(driver, 64, 64, touchButton(64, [](f32 fx, f32 fy) {
        return fy > 0.3f && fy < 0.7f && ((fx > 0.33f && fx < 0.45f) || (fx > 0.55f && fx < 0.67f));
    })), hud + "TouchPause.png");
    ok = writeContentImage(driver, paint(driver, 80, 80, touchButton(80, [](f32 fx, f32 fy) {
        const f32 dx = fx - 0.5f, dy = fy - 0.5f;
        const f32 r = std::sqrt(dx * dx + dy * dy);
        const f32 angle = std::atan2(dy, dx);
        const bool ring = r > 0.22f && r < 0.29f && std::fabs(std::sin(angle)) > 0.25f;
        // Arrow heads at the two gaps of the ring, pointing round it.
        const bool heads = (fy > 0.38f && fy < 0.5f && std::fabs(fx - 0.755f) < (fy - 0.38f) * 0.9f) ||
                           (fy > 0.5f && fy < 0.62f && std::fabs(fx - 0.245f) < (0.62f - fy) * 0.9f);
        return ring || heads;
    })), hud + "TouchSwitch.png") && ok;
    ok = writeContentImage(driver, paint(driver, 128, 256, [](u32 x, u32 y) {
        const f32 fx = (static_cast<f32>(x) + 0.5f) / 128.0f;
        const f32 fy = (static_cast<f32>(y) + 0.5f) / 256.0f;
        const f32 palm = std::sqrt((fx - 0.45f) * (fx - 0.45f) * 4.0f + (fy - 0.55f) * (fy - 0.55f) * 16.0f);
        bool finger = false;
        for (int f = 0; f < 4; ++f) {
            const f32 cx = 0.27f + 0.12f * static_cast<f32>(f);
            finger |= std::fabs(fx - cx) < 0.045f && fy > 0.36f && fy < 0.5f;
        }
        const bool outline = (palm > 0.42f && palm < 0.5f) || finger;
        const u8 alpha = static_cast<u8>(110.0f * (1.0f - fx));
        return outline ? video::SColor(220, 255, 255, 255) : video::SColor(alpha, 40, 44, 60);
    }), hud + "TouchGrab.png") && ok;
    return ok;
}

bool writeHudImages(video::IVideoDriver* driver, const std::string& root) {
    const std::string hud = root + "Content/Screens/HUD/";
    std::filesystem::create_directories(hud);
    const u32 w = 400, h = 52;
    bool ok = true;
    ok = writeContentImage(driver, paint(driver, w, h, meterBase(w, h)), hud + "SuspicionBase.png") && ok;
    ok = writeContentImage(driver, paint(driver, w, h, meterBar(video::SColor(255, 214, 60, 44), w, h)), hud + "SuspicionMeter.png") && ok;
    ok = writeContentImage(driver, paint(driver, w, h, meterBar(video::SColor(255, 246, 176, 60), w, h)), hud + "SuspicionMeterB.png") && ok;
    ok = writeContentImage(driver, paint(driver, w, h, meterBar(video::SColor(180, 255, 255, 255), w, h)), hud + "SuspicionMeterC.png") && ok;
    ok = writeContentImage(driver, paint(driver, w, h, meterBar(video::SColor(255, 255, 255, 255), w, h)), hud + "SuspicionMeterMask.png") && ok;
    ok = writeContentImage(driver, paint(driver, w, h, meterBar(video::SColor(160, 255, 30, 30), w, h)), hud + "SuspicionWarning.png") && ok;
    ok = writeContentImage(driver, paint(driver, w, h, meterOverlay(w, h)), hud + "SuspicionOverlay.png") && ok;
    ok = writeContentImage(driver, paint(driver, w, h, meterEye(w, h)), hud + "SuspicionEye.png") && ok;
    ok = writeTouchImages(driver, hud) && ok;
    // The motion controller's camera picture (loaded, never drawn: no controller is fed).
    ok = writeContentImage(driver, paint(driver, 64, 48, flat(video::SColor(255, 24, 24, 28))),
                           root + "Content/Screens/Objects/MoveVideo.png") && ok;
    // The closing picture of the demo: a warm gradient with a paint blot and three drops.
    ok = writeContentImage(driver, paint(driver, 1280, 720, [](u32 x, u32 y) {
        const f32 fy = static_cast<f32>(y) / 720.0f;
        video::SColor c = video::SColor(255, 246, 232, 206).getInterpolated(video::SColor(255, 214, 120, 80), 1.0f - fy);
        const f32 dx = static_cast<f32>(x) - 640.0f, dy = static_cast<f32>(y) - 330.0f;
        const f32 angle = std::atan2(dy, dx);
        const f32 blot = 170.0f + 22.0f * std::sin(angle * 7.0f) + 10.0f * std::sin(angle * 13.0f);
        if (dx * dx + dy * dy < blot * blot)
            c = video::SColor(255, 196, 60, 44);
        for (const f32 drop : {440.0f, 640.0f, 840.0f}) {
            const f32 ddx = static_cast<f32>(x) - drop, ddy = static_cast<f32>(y) - 600.0f;
            if (ddx * ddx + ddy * ddy < 24.0f * 24.0f)
                c = video::SColor(255, 70, 80, 130);
        }
        return c;
    }), root + "Content/Screens/Backgrounds/ThanksForPlaying.png") && ok;
    // The engine reads this ".dds" name by its PNG content.
    const std::string backgrounds = root + "Content/Screens/Backgrounds/";
    const std::string vignettePng = backgrounds + "Vignette.tmp.png";
    if (writeContentImage(driver, paint(driver, 512, 288, vignette(512, 288)), vignettePng)) {
        std::error_code error;
        std::filesystem::rename(vignettePng, backgrounds + "Vignette.dds", error);
        ok = !error && ok;
    } else {
        ok = false;
    }
    return ok;
}
