#pragma once

#include <string>

namespace irr::video {
class IVideoDriver;
} // namespace irr::video

// Writes the rendering's editor textures into Content/Models/Editor/ below the root: the
// four highlight tints of the fixed-function materials (in range, suspicious, important,
// grabbed) and the fully transparent texture. False when one could not be written.
bool writeRenderImages(irr::video::IVideoDriver* driver, const std::string& root);
