#include "EffectImages.h"

#include "MenuImages.h"

#include <irrlicht.h>

#include <cmath>
#include <cstdio>

using namespace irr;

namespace {

// A soft round sprite: full colour in the middle, alpha falling to 0 at the rim.
video::IImage* makeSoftDisc(video::IVideoDriver* driver, u32 size, const video::SColor& colour) {
    video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(size, size));
    const f32 centre = (size - 1) * 0.5f;
    for (u32 y = 0; y < size; ++y)
        for (u32 x = 0; x < size; ++x) {
            const f32 dx = (x - centre) / centre;
            const f32 dy = (y - centre) / centre;
            const f32 fall = core::clamp(1.0f - std::sqrt(dx * dx + dy * dy), 0.0f, 1.0f);
            image->setPixel(x, y, video::SColor(static_cast<u32>(255.0f * fall * fall * (3.0f - 2.0f * fall)),
                                                colour.getRed(), colour.getGreen(), colour.getBlue()));
        }
    return image;
}

// Four 32 x 32 frames side by side (red, yellow, green, blue discs that grow frame by
// frame): the editor's test atlas, whose item "Pulse" is a sprite animation.
video::IImage* makePulseSheet(video::IVideoDriver* driver) {
    video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(128, 32));
    image->fill(video::SColor(0, 0, 0, 0));
    const video::SColor colours[4] = {video::SColor(255, 230, 70, 60), video::SColor(255, 240, 210, 60),
                                      video::SColor(255, 80, 200, 90), video::SColor(255, 70, 120, 230)};
    for (u32 frame = 0; frame < 4; ++frame) {
        const f32 radius = 6.0f + 3.0f * static_cast<f32>(frame);
        for (u32 y = 0; y < 32; ++y)
            for (u32 x = 0; x < 32; ++x) {
                const f32 dx = static_cast<f32>(x) - 15.5f;
                const f32 dy = static_cast<f32>(y) - 15.5f;
                if (dx * dx + dy * dy <= radius * radius)
                    image->setPixel(frame * 32 + x, y, colours[frame]);
            }
    }
    return image;
}

// A paint splat bursting open over eight 64 x 64 frames: a blob whose lobes grow, in the
// suspicion meter's red.
video::IImage* makeSplatSheet(video::IVideoDriver* driver) {
    const u32 cell = 64, frames = 8;
    video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(cell * frames, cell));
    image->fill(video::SColor(0, 0, 0, 0));
    for (u32 frame = 0; frame < frames; ++frame) {
        const f32 grow = static_cast<f32>(frame + 1) / static_cast<f32>(frames);
        for (u32 y = 0; y < cell; ++y)
            for (u32 x = 0; x < cell; ++x) {
                const f32 dx = static_cast<f32>(x) - 31.5f;
                const f32 dy = static_cast<f32>(y) - 31.5f;
                const f32 angle = std::atan2(dy, dx);
                // Six lobes around a round middle.
                const f32 radius = (14.0f + 8.0f * std::fabs(std::sin(3.0f * angle))) * grow + 4.0f;
                if (dx * dx + dy * dy <= radius * radius)
                    image->setPixel(frame * cell + x, y, video::SColor(255, 214, 40, 70));
            }
    }
    return image;
}

// A falling paint drop in four 32 x 32 frames, stretching as it speeds up.
video::IImage* makePaintDropSheet(video::IVideoDriver* driver) {
    const u32 cell = 32, frames = 4;
    video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(cell * frames, cell));
    image->fill(video::SColor(0, 0, 0, 0));
    for (u32 frame = 0; frame < frames; ++frame) {
        const f32 stretch = 1.0f + 0.25f * static_cast<f32>(frame);
        for (u32 y = 0; y < cell; ++y)
            for (u32 x = 0; x < cell; ++x) {
                const f32 dx = (static_cast<f32>(x) - 15.5f) / 7.0f;
                const f32 dy = (static_cast<f32>(y) - 15.5f) / (7.0f * stretch);
                if (dx * dx + dy * dy <= 1.0f)
                    image->setPixel(frame * cell + x, y, video::SColor(255, 214, 40, 70));
            }
    }
    return image;
}

// The cutscene skip prompt in eleven 64 x 64 frames: a white ring that fills clockwise from
// the top over cells 0..8, a red cross in cell 9 (a refused skip) and the full ring in cell 10.
video::IImage* makeSkipPromptSheet(video::IVideoDriver* driver) {
    const u32 cell = 64, frames = 11;
    video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(cell * frames, cell));
    image->fill(video::SColor(0, 0, 0, 0));
    const f32 tau = 6.2831853f;
    for (u32 frame = 0; frame < frames; ++frame) {
        const f32 fill = frame == 9 ? 0.0f : (frame == 10 ? 1.0f : static_cast<f32>(frame + 1) / 9.0f);
        for (u32 y = 0; y < cell; ++y)
            for (u32 x = 0; x < cell; ++x) {
                const f32 dx = static_cast<f32>(x) - 31.5f;
                const f32 dy = static_cast<f32>(y) - 31.5f;
                const f32 radius = std::sqrt(dx * dx + dy * dy);
                video::SColor colour(0, 0, 0, 0);
                if (radius >= 20.0f && radius <= 28.0f) {
                    // Angle from the top, clockwise, 0..1.
                    f32 turn = std::atan2(dx, -dy) / tau;
                    if (turn < 0.0f)
                        turn += 1.0f;
                    colour = turn <= fill ? video::SColor(255, 255, 255, 255) : video::SColor(110, 40, 40, 40);
                }
                if (frame == 9 && (std::fabs(dx - dy) < 4.0f || std::fabs(dx + dy) < 4.0f) && radius < 24.0f)
                    colour = video::SColor(255, 220, 50, 50);
                image->setPixel(frame * cell + x, y, colour);
            }
    }
    return image;
}

// Gentle ripples: red and green around the middle grey carry the bump offsets.
video::IImage* makeWaterBump(video::IVideoDriver* driver) {
    const u32 size = 128;
    video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(size, size));
    const f32 tau = 6.2831853f / static_cast<f32>(size);
    for (u32 y = 0; y < size; ++y)
        for (u32 x = 0; x < size; ++x) {
            const f32 fx = static_cast<f32>(x) * tau;
            const f32 fy = static_cast<f32>(y) * tau;
            const f32 r = 0.5f + 0.25f * std::sin(3.0f * fx + 2.0f * std::sin(2.0f * fy)) + 0.1f * std::sin(7.0f * fy);
            const f32 g = 0.5f + 0.25f * std::sin(4.0f * fy + 2.0f * std::sin(3.0f * fx)) + 0.1f * std::sin(5.0f * fx);
            image->setPixel(x, y, video::SColor(255, static_cast<u32>(core::clamp(r, 0.0f, 1.0f) * 255.0f),
                                                static_cast<u32>(core::clamp(g, 0.0f, 1.0f) * 255.0f), 255));
        }
    return image;
}

video::IImage* makeZeroAlpha(video::IVideoDriver* driver) {
    video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(16, 16));
    image->fill(video::SColor(0, 0, 0, 0));
    return image;
}

// One of the 32 caustics frames: bright wavy light lines on dark blue-grey that drift with
// the frame, so that the set loops.
video::IImage* makeCausticsFrame(video::IVideoDriver* driver, u32 frame) {
    const u32 size = 64;
    video::IImage* image = driver->createImage(video::ECF_R8G8B8, core::dimension2du(size, size));
    const f32 tau = 6.2831853f;
    const f32 phase = tau * static_cast<f32>(frame) / 32.0f;
    for (u32 y = 0; y < size; ++y)
        for (u32 x = 0; x < size; ++x) {
            const f32 u = tau * static_cast<f32>(x) / size;
            const f32 v = tau * static_cast<f32>(y) / size;
            const f32 a = std::sin(2.0f * u + std::sin(v + phase) * 1.5f + phase);
            const f32 b = std::sin(2.0f * v + std::sin(u - phase) * 1.5f - phase);
            const f32 line = std::pow(core::clamp(1.0f - std::fabs(a + b) * 0.5f, 0.0f, 1.0f), 6.0f);
            const u32 level = static_cast<u32>(40.0f + 215.0f * line);
            image->setPixel(x, y, video::SColor(255, level, level, static_cast<u32>(core::clamp(level + 20.0f, 0.0f, 255.0f))));
        }
    return image;
}

// A tie's design: diagonal stripes of two colours in a tie's outline (a narrow knot at the
// top widening to a point at the bottom), transparent around it.
video::IImage* makeTieImage(video::IVideoDriver* driver, const video::SColor& first, const video::SColor& second) {
    const u32 width = 32, height = 64;
    video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(width, height));
    image->fill(video::SColor(0, 0, 0, 0));
    for (u32 y = 0; y < height; ++y) {
        const f32 t = static_cast<f32>(y) / height;
        const f32 half = t < 0.15f ? 5.0f : (t < 0.85f ? 5.0f + (t - 0.15f) * 14.0f : (1.0f - t) * 100.0f);
        for (u32 x = 0; x < width; ++x) {
            if (std::fabs(static_cast<f32>(x) + 0.5f - width * 0.5f) > half)
                continue;
            image->setPixel(x, y, ((x + y) / 6) % 2 ? first : second);
        }
    }
    return image;
}

// Writes PNG bytes under a name the engine has no writer for (it loads them by content).
bool writePngBytesAs(video::IVideoDriver* driver, video::IImage* image, const std::string& path) {
    const std::string png = path + ".png";
    if (!writeContentImage(driver, image, png))
        return false;
    return std::rename(png.c_str(), path.c_str()) == 0;
}

} // namespace

bool writeEffectImages(video::IVideoDriver* driver, const std::string& root) {
    const std::string folder = root + "Content/Models/Editor/";
    bool ok = writeContentImage(driver, makeSoftDisc(driver, 32, video::SColor(255, 120, 180, 255)), folder + "Blue.png");
    ok = writeContentImage(driver, makePulseSheet(driver), folder + "TestAtlas.png") && ok;
    ok = writeContentImage(driver, makeWaterBump(driver), folder + "WaterBump.png") && ok;
    ok = writeContentImage(driver, makeSplatSheet(driver), root + "Content/Billboards/Splat.png") && ok;
    ok = writeContentImage(driver, makePaintDropSheet(driver), root + "Content/Billboards/PaintDrop.png") && ok;
    ok = writeContentImage(driver, makeSkipPromptSheet(driver), root + "Content/Billboards/SkipCutscene.png") && ok;
    ok = writePngBytesAs(driver, makeZeroAlpha(driver), folder + "ZeroAlpha.dds") && ok;
    // The dots of a vision cone's sight line (tinted by the particles' colours).
    ok = writeContentImage(driver, makeSoftDisc(driver, 32, video::SColor(255, 255, 255, 255)),
                           root + "Content/Particles/Vision.png") && ok;
    // The collectible ties: every tie in a level wears the translucent ghost (a blue deep
    // enough to stand out against a pale floor or sky), the display shows its own design,
    // and a burst of sparks marks its going.
    ok = writePngBytesAs(driver, makeTieImage(driver, video::SColor(190, 70, 110, 210), video::SColor(160, 120, 160, 235)),
                         root + "Content/Models/Ties/GhostTie.dds") && ok;
    ok = writeContentImage(driver, makeTieImage(driver, video::SColor(255, 200, 40, 60), video::SColor(255, 250, 230, 120)),
                           root + "Content/Models/Ties/Tie_Stripes.png") && ok;
    ok = writeContentImage(driver, makeSoftDisc(driver, 32, video::SColor(255, 255, 240, 160)),
                           root + "Content/Particles/Tie.png") && ok;
    for (u32 frame = 0; frame < 32; ++frame) {
        char name[32];
        std::snprintf(name, sizeof(name), "Caustics/test_%03u.jpg", frame + 1);
        ok = writeContentImage(driver, makeCausticsFrame(driver, frame), folder + name) && ok;
    }
    return ok;
}
