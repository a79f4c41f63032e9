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
// a level loads, each picture it reads (in Content/ or not) is charged to the load's budget
// (core/LoadBudget.h), its pixels and the memory its texture takes; one past it is such a
// pixel too, and the game quitting meanwhile reads none (a pixel, nothing logged). Only the
// menus' and the HUD's own pictures are not the level's: they are read between loads, or
// inside a GamePicturesScope.
//
// Registers the gate with the driver (once; later calls do nothing).
void registerImageGate(irr::video::IVideoDriver* driver);

// The engine keeps the pixel that stands for a picture past a budget under the picture's
// name for the rest of the run: another level (with room in its own budget) would show it
// too. A new level load renames those pixels out of the way (their users keep them), so that
// the pictures are read again.
void forgetPicturesLeftOut(irr::video::IVideoDriver* driver);

// While one lives (the GUI reading its own pictures during a level load: a notification of
// the game's table, the default task icons), the pictures read are the game's, not the
// level's: no budget takes them.
class GamePicturesScope {
public:
    GamePicturesScope();
    ~GamePicturesScope();
    GamePicturesScope(const GamePicturesScope&) = delete;
    GamePicturesScope& operator=(const GamePicturesScope&) = delete;
};

// Larger pictures are refused: far beyond any texture of the game.
inline constexpr unsigned maxImageSide = 8192;
