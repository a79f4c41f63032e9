#include "TextImages.h"

#include "MenuImages.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <irrlicht.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

using namespace irr;

namespace {

const u32 fontPixelSize = 32;
const u32 fontPageWidth = 512;
const u32 fontPageHeight = 256;

std::string xmlCharacter(char c) {
    switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return "&quot;";
    case '\'': return "&apos;";
    default: return std::string(1, c);
    }
}

// Each character gets a cell as wide as its advance and as tall as the line, glyph drawn
// on the common baseline; cells are one pixel apart so filtering never bleeds between them.
bool writeBitmapFont(video::IVideoDriver* driver, const std::string& root) {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    const std::string ttf = root + "Content/Font/NoMove.ttf";
    if (FT_Init_FreeType(&library) != 0)
        return false;
    if (FT_New_Face(library, ttf.c_str(), 0, &face) != 0 || FT_Set_Pixel_Sizes(face, 0, fontPixelSize) != 0) {
        std::printf("could not read %s\n", ttf.c_str());
        FT_Done_FreeType(library);
        return false;
    }
    const s32 ascender = static_cast<s32>(face->size->metrics.ascender >> 6);
    const s32 lineHeight = static_cast<s32>((face->size->metrics.ascender - face->size->metrics.descender) >> 6) + 2;
    video::IImage* page = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(fontPageWidth, fontPageHeight));
    page->fill(video::SColor(0, 255, 255, 255));

    std::string xml = "<?xml version=\"1.0\"?>\n<font type=\"bitmap\">\n"
                      "  <Texture index=\"0\" filename=\"NoMoveBitmap.png\" hasAlpha=\"true\" />\n";
    s32 penX = 1;
    s32 penY = 1;
    bool ok = true;
    for (char c = ' '; c <= '~'; ++c) {
        if (FT_Load_Char(face, static_cast<FT_ULong>(c), FT_LOAD_RENDER) != 0) {
            ok = false;
            continue;
        }
        const FT_GlyphSlot glyph = face->glyph;
        const s32 advance = std::max<s32>(1, static_cast<s32>(std::lround(glyph->advance.x / 64.0)));
        if (penX + advance + 1 > static_cast<s32>(fontPageWidth)) {
            penX = 1;
            penY += lineHeight + 1;
        }
        if (penY + lineHeight > static_cast<s32>(fontPageHeight)) {
            ok = false;
            break;
        }
        const FT_Bitmap& bitmap = glyph->bitmap;
        for (u32 y = 0; y < bitmap.rows; ++y)
            for (u32 x = 0; x < bitmap.width; ++x) {
                const s32 px = penX + glyph->bitmap_left + static_cast<s32>(x);
                const s32 py = penY + 1 + ascender - glyph->bitmap_top + static_cast<s32>(y);
                if (px < penX || px >= penX + advance || py < penY || py >= penY + lineHeight)
                    continue;
                const u8 coverage = bitmap.buffer[y * static_cast<u32>(bitmap.pitch) + x];
                page->setPixel(static_cast<u32>(px), static_cast<u32>(py), video::SColor(coverage, 255, 255, 255));
            }
        char line[160];
        std::snprintf(line, sizeof(line), "  <c c=\"%s\" r=\"%d, %d, %d, %d\" />\n", xmlCharacter(c).c_str(), penX,
                      penY, penX + advance, penY + lineHeight);
        xml += line;
        penX += advance + 1;
    }
    xml += "</font>\n";
    FT_Done_Face(face);
    FT_Done_FreeType(library);

    ok = writeContentImage(driver, page, root + "Content/Font/NoMoveBitmap.png") && ok;
    const std::string xmlPath = root + "Content/Font/NoMoveBitmap.xml";
    std::ofstream out(xmlPath, std::ios::binary);
    out << xml;
    out.close();
    std::printf("%s %s\n", out ? "wrote" : "could not write", xmlPath.c_str());
    // The same font serves as the GUI skin's font.
    const std::string debugPath = root + "Content/Font/Debug.xml";
    std::ofstream debug(debugPath, std::ios::binary);
    debug << xml;
    debug.close();
    std::printf("%s %s\n", debug ? "wrote" : "could not write", debugPath.c_str());
    return ok && static_cast<bool>(out) && static_cast<bool>(debug);
}

// A rounded white card with a dark rim and a tail at its lower left, on transparency.
video::IImage* makeTextBubble(video::IVideoDriver* driver) {
    const s32 width = 256;
    const s32 height = 160;
    const s32 bodyBottom = 128; // the tail hangs below this line
    const f32 radius = 28.0f;
    const f32 rim = 5.0f;
    const video::SColor paper(255, 252, 250, 242);
    const video::SColor ink(255, 40, 44, 52);
    video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(width, height));
    image->fill(video::SColor(0, 0, 0, 0));
    // Signed distance to the rounded body (negative inside).
    const auto bodyDistance = [&](f32 x, f32 y) {
        const f32 cx = std::clamp(x, radius + 2.0f, width - radius - 2.0f);
        const f32 cy = std::clamp(y, radius + 2.0f, bodyBottom - radius);
        return std::hypot(x - cx, y - cy) - radius;
    };
    // The tail: a triangle from the body's bottom edge down to a point.
    const auto inTail = [&](f32 x, f32 y, f32 grow) {
        const f32 top = bodyBottom - radius;
        const f32 tipX = 44.0f;
        const f32 tipY = height - 4.0f;
        if (y < top || y > tipY + grow)
            return false;
        const f32 t = (y - top) / (tipY - top); // 0 at the top, 1 at the tip
        const f32 left = 56.0f + (tipX - 56.0f) * t - grow;
        const f32 right = 104.0f + (tipX - 104.0f) * t + grow;
        return x >= left && x <= right;
    };
    for (s32 y = 0; y < height; ++y)
        for (s32 x = 0; x < width; ++x) {
            const f32 fx = x + 0.5f;
            const f32 fy = y + 0.5f;
            const f32 d = bodyDistance(fx, fy);
            const bool innerTail = inTail(fx, fy, 0.0f) && fy < height - 4.0f - rim * 1.5f;
            const bool outerTail = inTail(fx, fy, rim);
            if (d < -rim || innerTail)
                image->setPixel(static_cast<u32>(x), static_cast<u32>(y), paper);
            else if (d < 0.0f || outerTail)
                image->setPixel(static_cast<u32>(x), static_cast<u32>(y), ink);
            else if (d < 1.0f) // a soft outer edge
                image->setPixel(static_cast<u32>(x), static_cast<u32>(y),
                                video::SColor(static_cast<u32>(255 * (1.0f - d)), 40, 44, 52));
        }
    return image;
}

} // namespace

bool writeTextImages(video::IVideoDriver* driver, const std::string& root) {
    bool ok = writeBitmapFont(driver, root);
    ok = writeContentImage(driver, makeTextBubble(driver), root + "Content/Models/UI/TextBubble.png") && ok;
    return ok;
}
