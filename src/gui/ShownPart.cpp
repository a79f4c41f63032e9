#include "gui/ShownPart.h"

#include <algorithm>
#include <cmath>

using namespace irr;

core::recti findShownPixels(const void* pixels, const core::dimension2du& size, u32 pitch,
                            video::ECOLOR_FORMAT format) {
    const core::recti whole(0, 0, static_cast<s32>(size.Width), static_cast<s32>(size.Height));
    const bool wide = format == video::ECF_A8R8G8B8;
    if (!pixels || (!wide && format != video::ECF_A1R5G5B5))
        return whole;
    s32 left = whole.LowerRightCorner.X, top = whole.LowerRightCorner.Y, right = 0, bottom = 0;
    for (u32 y = 0; y < size.Height; ++y) {
        const u8* row = static_cast<const u8*>(pixels) + static_cast<std::size_t>(y) * pitch;
        for (u32 x = 0; x < size.Width; ++x) {
            const bool shows = wide ? reinterpret_cast<const u32*>(row)[x] >> 24 != 0
                                    : (reinterpret_cast<const u16*>(row)[x] & 0x8000u) != 0;
            if (!shows)
                continue;
            left = std::min(left, static_cast<s32>(x));
            right = std::max(right, static_cast<s32>(x) + 1);
            top = std::min(top, static_cast<s32>(y));
            bottom = std::max(bottom, static_cast<s32>(y) + 1);
        }
    }
    return right > left ? core::recti(left, top, right, bottom) : core::recti(0, 0, 0, 0);
}

core::recti findShownPart(video::ITexture* texture) {
    if (!texture)
        return core::recti(0, 0, 0, 0);
    const core::dimension2du original = texture->getOriginalSize();
    const core::recti whole(0, 0, static_cast<s32>(original.Width), static_cast<s32>(original.Height));
    const core::dimension2du size = texture->getSize();
    const void* pixels = size.getArea() != 0 ? texture->lock(video::ETLM_READ_ONLY) : nullptr;
    if (!pixels)
        return whole;
    const core::recti shown = findShownPixels(pixels, size, texture->getPitch(), texture->getColorFormat());
    texture->unlock();
    if (shown.getArea() == 0 || size == original)
        return shown;
    // A texture the driver stored at another size (a power of two): back to the original's pixels.
    const f32 sx = static_cast<f32>(original.Width) / static_cast<f32>(size.Width);
    const f32 sy = static_cast<f32>(original.Height) / static_cast<f32>(size.Height);
    return core::recti(static_cast<s32>(std::floor(static_cast<f32>(shown.UpperLeftCorner.X) * sx)),
                       static_cast<s32>(std::floor(static_cast<f32>(shown.UpperLeftCorner.Y) * sy)),
                       static_cast<s32>(std::ceil(static_cast<f32>(shown.LowerRightCorner.X) * sx)),
                       static_cast<s32>(std::ceil(static_cast<f32>(shown.LowerRightCorner.Y) * sy)));
}

core::recti shownPartOnScreen(const core::recti& shown, const core::recti& source, const core::recti& destination) {
    if (shown.getArea() == 0 || source.getWidth() <= 0 || source.getHeight() <= 0)
        return core::recti(0, 0, 0, 0);
    const f32 sx = static_cast<f32>(destination.getWidth()) / static_cast<f32>(source.getWidth());
    const f32 sy = static_cast<f32>(destination.getHeight()) / static_cast<f32>(source.getHeight());
    // A filtered texel reaches one texel's width on the screen beyond its own place; one
    // pixel more for the rounding of the rasterizer.
    const s32 reachX = static_cast<s32>(std::ceil(sx)) + 1;
    const s32 reachY = static_cast<s32>(std::ceil(sy)) + 1;
    const auto place = [](s32 origin, s32 from, f32 scale, s32 value) {
        return static_cast<f32>(origin) + static_cast<f32>(value - from) * scale;
    };
    core::recti onScreen(
        static_cast<s32>(std::floor(place(destination.UpperLeftCorner.X, source.UpperLeftCorner.X, sx,
                                          shown.UpperLeftCorner.X))) - reachX,
        static_cast<s32>(std::floor(place(destination.UpperLeftCorner.Y, source.UpperLeftCorner.Y, sy,
                                          shown.UpperLeftCorner.Y))) - reachY,
        static_cast<s32>(std::ceil(place(destination.UpperLeftCorner.X, source.UpperLeftCorner.X, sx,
                                         shown.LowerRightCorner.X))) + reachX,
        static_cast<s32>(std::ceil(place(destination.UpperLeftCorner.Y, source.UpperLeftCorner.Y, sy,
                                         shown.LowerRightCorner.Y))) + reachY);
    onScreen.clipAgainst(destination);
    return onScreen.isValid() && onScreen.getArea() > 0 ? onScreen : core::recti(0, 0, 0, 0);
}
