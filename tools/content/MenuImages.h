#pragma once

#include <string>

namespace irr::video {
class IImage;
class IVideoDriver;
} // namespace irr::video

// Writes the image to the file, says so on standard output and drops the image.
bool writeContentImage(irr::video::IVideoDriver* driver, irr::video::IImage* image, const std::string& path);

// Writes the pictures of the menu screens into Content/ below the root: the side panels,
// the title, highlight and tooltip bars, the list arrows, the back arrow and the binding
// row's pieces. False when one of them could not be written.
bool writeMenuImages(irr::video::IVideoDriver* driver, const std::string& root);

// Writes the option rows' arrows, meter and highlight, the notification panel and the
// objective icons.
bool writeOptionImages(irr::video::IVideoDriver* driver, const std::string& root);

// Writes the HUD's suspicion meter layers and the vignette (PNG bytes under its ".dds" name).
bool writeHudImages(irr::video::IVideoDriver* driver, const std::string& root);
