#include "TitleImages.h"

#include "MenuImages.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <irrlicht.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>

using namespace irr;

namespace {

using Painter = std::function<video::SColor(f32 x, f32 y)>;

// Paints every pixel from its centre in 0..1 coordinates.
video::IImage* paintUnit(video::IVideoDriver* driver, u32 width, u32 height, const Painter& shade) {
    video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(width, height));
    for (u32 y = 0; y < height; ++y)
        for (u32 x = 0; x < width; ++x)
            image->setPixel(x, y, shade((static_cast<f32>(x) + 0.5f) / static_cast<f32>(width),
                                        (static_cast<f32>(y) + 0.5f) / static_cast<f32>(height)));
    return image;
}

// Writes a PNG under a ".dds" name (the engine reads it by its content).
bool writeUnderDdsName(video::IVideoDriver* driver, video::IImage* image, const std::string& ddsPath) {
    const std::string png = ddsPath + ".tmp.png";
    if (!writeContentImage(driver, image, png))
        return false;
    std::error_code error;
    std::filesystem::rename(png, ddsPath, error);
    return !error;
}

// Five-pointed star of the unit square.
bool insideStar(f32 x, f32 y, f32 scale) {
    const f32 px = (x - 0.5f) / scale, py = (y - 0.53f) / scale;
    core::vector2df points[10];
    for (int i = 0; i < 10; ++i) {
        const f32 angle = -core::PI / 2.0f + static_cast<f32>(i) * core::PI / 5.0f;
        const f32 radius = i % 2 == 0 ? 0.48f : 0.2f;
        points[i] = core::vector2df(radius * std::cos(angle), radius * std::sin(angle));
    }
    bool inside = false;
    for (int i = 0, j = 9; i < 10; j = i++) {
        if ((points[i].Y > py) != (points[j].Y > py) &&
            px < (points[j].X - points[i].X) * (py - points[i].Y) / (points[j].Y - points[i].Y) + points[i].X)
            inside = !inside;
    }
    return inside;
}

Painter star(bool filled, const video::SColor& colour) {
    return [=](f32 x, f32 y) {
        const bool outer = insideStar(x, y, 1.0f);
        const bool inner = insideStar(x, y, 0.7f);
        if (!outer || (!filled && inner))
            return video::SColor(0, colour.getRed(), colour.getGreen(), colour.getBlue());
        return colour;
    };
}

// A tie: a knot on top, the blade widening below it and ending in a point.
bool insideTie(f32 x, f32 y) {
    const f32 dx = std::fabs(x - 0.5f);
    if (y < 0.16f)
        return dx < 0.28f;
    if (y < 0.82f)
        return dx < 0.18f + 0.3f * (y - 0.16f);
    return dx < (1.0f - y) * 2.2f;
}

Painter tie(const video::SColor& colour) {
    return [=](f32 x, f32 y) { return insideTie(x, y) ? colour : video::SColor(0, 0, 0, 0); };
}

// A small tie crossed out, in the middle of a wide icon.
Painter noTie(const video::SColor& colour) {
    return [=](f32 x, f32 y) {
        const f32 tx = (x - 0.5f) * 60.0f / 16.0f + 0.5f;
        const bool slash = std::fabs((x - 0.5f) * 60.0f - (y - 0.5f) * 32.0f) < 2.2f && std::fabs(y - 0.5f) < 0.45f;
        if (slash)
            return video::SColor(255, 200, 60, 44);
        return tx > 0.0f && tx < 1.0f && insideTie(tx, y) ? colour : video::SColor(0, 0, 0, 0);
    };
}

// A rounded dark bar of the timer box.
Painter timerRow(const video::SColor& colour) {
    return [=](f32 x, f32 y) {
        const f32 dx = std::max(0.0f, std::fabs(x - 0.5f) * 307.0f - 134.5f);
        const f32 dy = std::max(0.0f, std::fabs(y - 0.5f) * 38.0f - 0.0f);
        const f32 d = std::sqrt(dx * dx + dy * dy);
        return d < 19.0f ? colour : video::SColor(0, 0, 0, 0);
    };
}

// Eight frames of 64 x 64 side by side.
video::IImage* sheet(video::IVideoDriver* driver, const std::function<video::SColor(int frame, f32 x, f32 y)>& shade) {
    return paintUnit(driver, 512, 64, [&](f32 x, f32 y) {
        const int frame = std::min(7, static_cast<int>(x * 8.0f));
        return shade(frame, x * 8.0f - static_cast<f32>(frame), y);
    });
}

// A ring of eight dots, one of them lit, the light going round frame by frame.
video::SColor loadingFrame(int frame, f32 x, f32 y) {
    for (int dot = 0; dot < 8; ++dot) {
        const f32 angle = static_cast<f32>(dot) * core::PI / 4.0f;
        const f32 dx = x - (0.5f + 0.33f * std::sin(angle)), dy = y - (0.5f - 0.33f * std::cos(angle));
        const int age = (frame - dot + 8) % 8;
        if (dx * dx + dy * dy < 0.012f)
            return video::SColor(static_cast<u32>(255 - age * 26), 255, 255, 255);
    }
    return video::SColor(0, 255, 255, 255);
}

// A disc that swells and fades, with a small arrow into a box (a save).
video::SColor checkpointFrame(int frame, f32 x, f32 y) {
    const f32 dx = x - 0.5f, dy = y - 0.5f;
    const f32 d = std::sqrt(dx * dx + dy * dy);
    const f32 pulse = 0.3f + 0.12f * std::sin(static_cast<f32>(frame) * core::PI / 4.0f);
    if (std::fabs(d - pulse) < 0.035f)
        return video::SColor(230, 255, 236, 180);
    if (std::fabs(dx) < 0.05f && y > 0.3f && y < 0.6f)
        return video::SColor(255, 255, 255, 255);
    if (std::fabs(dx) < 0.14f - (y - 0.55f) && y >= 0.55f && y < 0.68f)
        return video::SColor(255, 255, 255, 255);
    return video::SColor(0, 255, 255, 255);
}

// Draws the text with FreeType into the image, left edge at x, baseline at y, in the colour
// (the glyph's coverage scales the colour's alpha).
bool drawText(video::IImage* image, const std::string& fontPath, const char* text, u32 pixelSize, s32 x, s32 y,
              const video::SColor& colour) {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    if (FT_Init_FreeType(&library) != 0)
        return false;
    if (FT_New_Face(library, fontPath.c_str(), 0, &face) != 0 || FT_Set_Pixel_Sizes(face, 0, pixelSize) != 0) {
        FT_Done_FreeType(library);
        return false;
    }
    const core::dimension2du size = image->getDimension();
    for (const char* c = text; *c; ++c) {
        if (FT_Load_Char(face, static_cast<FT_ULong>(static_cast<unsigned char>(*c)), FT_LOAD_RENDER) != 0)
            continue;
        const FT_Bitmap& bitmap = face->glyph->bitmap;
        for (u32 row = 0; row < bitmap.rows; ++row)
            for (u32 col = 0; col < bitmap.width; ++col) {
                const s32 px = x + face->glyph->bitmap_left + static_cast<s32>(col);
                const s32 py = y - face->glyph->bitmap_top + static_cast<s32>(row);
                if (px < 0 || py < 0 || px >= static_cast<s32>(size.Width) || py >= static_cast<s32>(size.Height))
                    continue;
                const u32 coverage = bitmap.buffer[row * static_cast<u32>(bitmap.pitch) + col];
                if (coverage == 0)
                    continue;
                const video::SColor under = image->getPixel(static_cast<u32>(px), static_cast<u32>(py));
                const f32 a = static_cast<f32>(coverage) / 255.0f * static_cast<f32>(colour.getAlpha()) / 255.0f;
                const video::SColor over(std::max<u32>(under.getAlpha(), static_cast<u32>(a * 255.0f)), colour.getRed(),
                                         colour.getGreen(), colour.getBlue());
                image->setPixel(static_cast<u32>(px), static_cast<u32>(py), under.getInterpolated(over, 1.0f - a));
            }
        x += static_cast<s32>(face->glyph->advance.x >> 6);
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return true;
}

// Width of the text at the size, in pixels.
s32 textWidth(const std::string& fontPath, const char* text, u32 pixelSize) {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    if (FT_Init_FreeType(&library) != 0)
        return 0;
    s32 width = 0;
    if (FT_New_Face(library, fontPath.c_str(), 0, &face) == 0 && FT_Set_Pixel_Sizes(face, 0, pixelSize) == 0) {
        for (const char* c = text; *c; ++c)
            if (FT_Load_Char(face, static_cast<FT_ULong>(static_cast<unsigned char>(*c)), FT_LOAD_DEFAULT) == 0)
                width += static_cast<s32>(face->glyph->advance.x >> 6);
        FT_Done_Face(face);
    }
    FT_Done_FreeType(library);
    return width;
}

// The title picture: clear, the game's name in large letters with a shadow across the upper
// third, underlined by one warm brush stroke.
video::IImage* makeLogoBackground(video::IVideoDriver* driver, const std::string& fontPath) {
    const u32 w = 1280, h = 720;
    video::IImage* image = paintUnit(driver, w, h, [](f32, f32) { return video::SColor(0, 10, 14, 30); });
    const char* title = "Paddlestone";
    const u32 size = 120;
    const s32 width = textWidth(fontPath, title, size);
    const s32 x = (static_cast<s32>(w) - width) / 2;
    drawText(image, fontPath, title, size, x + 5, 245, video::SColor(200, 0, 0, 0));
    drawText(image, fontPath, title, size, x, 240, video::SColor(255, 250, 244, 226));
    // The stroke: thickest in the middle, tapering to both ends, with the letters' shadow.
    const f32 left = static_cast<f32>(x) + 20.0f, right = static_cast<f32>(x + width) - 20.0f;
    for (const bool shadow : {true, false})
        for (s32 px = static_cast<s32>(left); px <= static_cast<s32>(right); ++px) {
            const f32 t = (static_cast<f32>(px) - left) / (right - left);
            const f32 half = 1.5f + 5.5f * std::sin(t * 3.14159265f);
            const f32 cy = 282.0f + 3.0f * std::sin(t * 6.2831853f) + (shadow ? 5.0f : 0.0f);
            const s32 sx = px + (shadow ? 5 : 0);
            for (s32 py = static_cast<s32>(cy - half); py <= static_cast<s32>(cy + half); ++py)
                image->setPixel(static_cast<u32>(sx), static_cast<u32>(py),
                                shadow ? video::SColor(200, 0, 0, 0) : video::SColor(255, 236, 200, 120));
        }
    return image;
}

// Three round badges in a strip, for the demo's logo corner.
video::IImage* makeLogoStrip(video::IVideoDriver* driver) {
    return paintUnit(driver, 512, 64, [](f32 x, f32 y) {
        const video::SColor colours[3] = {video::SColor(255, 196, 84, 44), video::SColor(255, 40, 110, 120),
                                          video::SColor(255, 70, 80, 130)};
        for (int i = 0; i < 3; ++i) {
            const f32 dx = (x - (0.62f + 0.13f * static_cast<f32>(i))) * 8.0f, dy = y - 0.5f;
            if (dx * dx + dy * dy < 0.16f)
                return colours[i];
        }
        return video::SColor(0, 0, 0, 0);
    });
}

} // namespace

bool writeTitleImages(video::IVideoDriver* driver, const std::string& root) {
    const std::string backgrounds = root + "Content/Screens/Backgrounds/";
    const std::string buttons = root + "Content/Screens/Buttons/";
    const std::string hud = root + "Content/Screens/HUD/";
    const std::string editor = root + "Content/Models/Editor/";
    const std::string billboards = root + "Content/Billboards/";
    bool ok = true;
    // The cover darkens the edges of the background level behind the menus.
    ok = writeUnderDdsName(driver, paintUnit(driver, 480, 270, [](f32 x, f32 y) {
        const f32 dx = x * 2.0f - 1.0f, dy = y * 2.0f - 1.0f;
        const f32 d = std::sqrt(dx * dx * 0.8f + dy * dy) / std::sqrt(1.8f);
        const f32 a = std::clamp((d - 0.3f) / 0.7f, 0.0f, 1.0f);
        return video::SColor(static_cast<u32>(a * 200.0f), 0, 0, 0);
    }), backgrounds + "Vignette2.dds") && ok;
    ok = writeUnderDdsName(driver, makeLogoBackground(driver, root + "Content/Font/NoMove.ttf"),
                           backgrounds + "LogoBackground.dds") && ok;
    ok = writeContentImage(driver, makeLogoStrip(driver), root + "Content/Screens/Objects/Logos.png") && ok;

    const video::SColor outline(255, 150, 150, 150), outlineLit(255, 255, 255, 255);
    ok = writeContentImage(driver, paintUnit(driver, 32, 32, star(false, outline)), buttons + "StarOutline1.png") && ok;
    ok = writeContentImage(driver, paintUnit(driver, 32, 32, star(false, outlineLit)), buttons + "StarOutline2.png") && ok;
    ok = writeContentImage(driver, paintUnit(driver, 32, 32, star(true, video::SColor(255, 200, 170, 60))), buttons + "StarFilled1.png") && ok;
    ok = writeContentImage(driver, paintUnit(driver, 32, 32, star(true, video::SColor(255, 255, 220, 90))), buttons + "StarFilled2.png") && ok;
    ok = writeContentImage(driver, paintUnit(driver, 32, 32, star(true, video::SColor(255, 120, 220, 255))), buttons + "StarFilled3.png") && ok;
    ok = writeContentImage(driver, paintUnit(driver, 16, 50, tie(video::SColor(255, 180, 60, 60))), buttons + "TieIcon1.png") && ok;
    ok = writeContentImage(driver, paintUnit(driver, 16, 50, tie(video::SColor(255, 240, 100, 90))), buttons + "TieIcon2.png") && ok;
    ok = writeContentImage(driver, paintUnit(driver, 60, 32, noTie(video::SColor(255, 150, 150, 150))), buttons + "NoTieIcon1.png") && ok;
    ok = writeContentImage(driver, paintUnit(driver, 60, 32, noTie(video::SColor(255, 255, 255, 255))), buttons + "NoTieIcon2.png") && ok;

    ok = writeContentImage(driver, paintUnit(driver, 307, 38, timerRow(video::SColor(170, 20, 30, 60))), hud + "TimerBoxLevel.png") && ok;
    ok = writeContentImage(driver, paintUnit(driver, 307, 38, timerRow(video::SColor(170, 60, 30, 20))), hud + "TimerBoxGlobal.png") && ok;
    ok = writeContentImage(driver, paintUnit(driver, 16, 16, [](f32, f32) { return video::SColor(200, 110, 110, 110); }),
                           editor + "Gray.png") && ok;
    ok = writeContentImage(driver, paintUnit(driver, 16, 256, [](f32, f32 y) {
        const u32 v = static_cast<u32>((1.0f - y) * 255.0f);
        return video::SColor(255, v, v, v);
    }), editor + "Gradient.png") && ok;

    std::filesystem::create_directories(billboards);
    ok = writeContentImage(driver, sheet(driver, loadingFrame), billboards + "LevelLoading.png") && ok;
    ok = writeContentImage(driver, sheet(driver, checkpointFrame), billboards + "CheckpointSaving.png") && ok;
    return ok;
}
