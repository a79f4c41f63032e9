#pragma once

namespace irr::video {
class IImage;
class IVideoDriver;
} // namespace irr::video

// The image formats the game reads: PNG and JPEG, by their content whatever the file's
// extension (the content stores PNG bytes under some ".dds" names). Both go to the
// engine's readers, which run on libpng and libjpeg and stop cleanly at damaged data, after
// a check of the picture's size (a damaged header can ask for gigabytes). The engine's other
// image readers (BMP, TGA, PCX, PSD, ...) trust their files and are never reached: such a
// file, or a damaged one, is refused with one log line and becomes a single transparent
// pixel, which the engine then keeps under the file's name, so that it is logged once. While
// a level loads, the pixels of each picture but the game's own content are charged to the
// load's budget (core/LoadBudget.h); one past it is such a pixel too.
//
// Registers the gate with the driver (once; later calls do nothing).
void registerImageGate(irr::video::IVideoDriver* driver);

// Larger pictures are refused: far beyond any texture of the game.
inline constexpr unsigned maxImageSide = 8192;
