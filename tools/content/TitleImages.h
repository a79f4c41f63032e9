#pragma once

#include <string>

namespace irr::video {
class IVideoDriver;
} // namespace irr::video

// Writes the pictures of the title screen, the level menus and the loading billboards below
// the root: the title's cover vignette and logo picture (PNG bytes under their ".dds" names),
// the demo logo strip, the stars, tie and no-tie icons of the story rows, the level timer's
// rows, the loading bar's grey, the gradient, and the sprite sheets of the level-loading and
// checkpoint-saving billboards. False when one could not be written.
bool writeTitleImages(irr::video::IVideoDriver* driver, const std::string& root);
