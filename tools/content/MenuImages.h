#pragma once

#include <string>

namespace irr::video {
class IVideoDriver;
}

// Writes the pictures of the menu screens into Content/ below the root: the side panels,
// the title, highlight and tooltip bars, the list arrows, the back arrow and the binding
// row's pieces. False when one of them could not be written.
bool writeMenuImages(irr::video::IVideoDriver* driver, const std::string& root);
