#pragma once

#include <irrlicht.h>

// Where a picture can change the screen. A pixel whose alpha is 0 leaves what is under it as
// it was when the picture is drawn with its alpha channel, so a picture that is transparent
// over most of its area (the title's logo) is drawn clipped to its shown part: the same
// pixels, a fraction of the work for a renderer that blends every pixel it covers.

// The smallest rectangle of the pixels, in pixels of `size`, outside which every pixel is
// fully transparent; empty when none shows, the whole image when the format has no alpha.
irr::core::recti findShownPixels(const void* pixels, const irr::core::dimension2du& size, irr::u32 pitch,
                                 irr::video::ECOLOR_FORMAT format);
// The same for a texture, in pixels of its original size; the whole texture when its pixels
// cannot be read.
irr::core::recti findShownPart(irr::video::ITexture* texture);
// The part of `destination` that drawing the `source` rectangle of a picture stretched onto
// it can change: `shown` (from findShownPart) carried onto the destination, widened by the
// reach of the texture filter, within the destination. Empty when nothing shows.
irr::core::recti shownPartOnScreen(const irr::core::recti& shown, const irr::core::recti& source,
                                   const irr::core::recti& destination);
