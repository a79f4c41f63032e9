#pragma once

#include <string>

namespace irr {
namespace io {
class IFileSystem;
}
namespace scene {
class ISceneManager;
}
namespace video {
class IImage;
class IVideoDriver;
} // namespace video
} // namespace irr

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
// Registers the gate with the driver (once; later calls do nothing). Given the file system the
// driver reads from, the gate also watches its opens, so that a picture set aside at a level's
// give-back is taken back, unread, when the next level opens its file (once per file system).
void registerImageGate(irr::video::IVideoDriver* driver, irr::io::IFileSystem* fileSystem = nullptr);

// The engine keeps the pixel that stands for a picture past a budget under the picture's
// name (until it is given back with its level): another level (with room in its own budget) would show it
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

// Whether a picture read now is a level's (charged to its load, given back with it): a load
// runs and no GamePicturesScope lives.
bool readingLevelPictures();

// Whether the file lies under the working folder's Content/ on the disk (not a user level
// archive's entry of such a name). What a level reads there is its own as much as what it reads
// from its own folder: only a mesh read as a level plays, not as it loads, is told apart by it.
bool isGameContentFile(irr::io::IFileSystem* fileSystem, const std::string& path);

// A level's pictures are given back in two steps around the next level's load. The pictures
// levels read while they loaded (wherever their files lie) that nothing draws with any more are
// set aside as the next load begins: out of the driver's sight, not freed. The next level, the
// menus or the HUD opening such a file take it back unread (the next level's it stays one of the
// levels'; the menus' or the HUD's, it stays for the run). Once the next load ends, what no one
// took back is taken out of the driver, which frees it once nothing else holds it; a picture that
// a mesh of the engine's cache or a node of the scene draws with is taken back. A picture still
// drawn as the load begins stays, and goes at a later give-back once nothing draws with it.
void setLevelPicturesAside(irr::video::IVideoDriver* driver, irr::scene::ISceneManager* scene);
void releasePicturesSetAside(irr::video::IVideoDriver* driver, irr::scene::ISceneManager* scene);
// Both steps at once.
void releaseLevelPictures(irr::video::IVideoDriver* driver, irr::scene::ISceneManager* scene);

// Larger pictures are refused: far beyond any texture of the game.
inline constexpr unsigned maxImageSide = 8192;
