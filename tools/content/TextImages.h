#pragma once

#include <string>

namespace irr::video {
class IVideoDriver;
} // namespace irr::video

// Writes the pictures of text in the world below the root: the bitmap font
// Content/Font/NoMoveBitmap.xml with its page NoMoveBitmap.png (printable ASCII rasterised
// by FreeType from Content/Font/NoMove.ttf, white with coverage as alpha, in the engine's
// XML font format), and the speech bubble Content/Models/UI/TextBubble.png. False when one
// could not be written.
bool writeTextImages(irr::video::IVideoDriver* driver, const std::string& root);
