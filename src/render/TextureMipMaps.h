#pragma once

#include <irrlicht.h>

// Whether the driver makes mip maps for the textures it creates while the object lives; the
// driver's own setting comes back with its end. Pictures drawn flat on the screen never
// sample mip maps (the engine's 2D material turns them off), and Mesa's software renderer
// makes them at load by drawing each level, first compiling its program for each new kind
// of texture: the start-up loads its screen pictures without them (a textured scene's
// textures keep them; a picture of one colour looks the same either way).
class TextureMipMaps {
public:
    TextureMipMaps(irr::video::IVideoDriver* driver, bool made);
    ~TextureMipMaps();
    TextureMipMaps(const TextureMipMaps&) = delete;
    TextureMipMaps& operator=(const TextureMipMaps&) = delete;

private:
    irr::video::IVideoDriver* driver;
    bool before = true;
};
