#pragma once

#include "core/Delegate.h"

#include <irrArray.h>
#include <irrString.h>
#include <irrTypes.h>
#include <path.h>
#include <rect.h>

namespace irr::video {
class ITexture;
}

// One named rectangle of a texture atlas.
struct SpriteItem {
    irr::core::stringc name;
    irr::s32 x = 0;
    irr::s32 y = 0;
    irr::s32 width = 0;
    irr::s32 height = 0;
};

// A texture with named rectangles, read from a "TextureAtlas" file.
struct TextureAtlas {
    irr::io::path texturePath;
    irr::video::ITexture* texture = nullptr; // owned by the driver's texture cache
    irr::core::array<SpriteItem> items;

    // (x, y, width, height) of the item of exactly that name; all zeros when there is none.
    irr::core::recti findSprite(const irr::core::stringc& name) const;
};

// A flip-book animation whose frames are cells of a grid inside one texture, optionally
// inside a named item of an atlas. GUI images and level objects own copies, advance them
// each frame and draw the current frame's rectangle.
class SpriteAnimation {
public:
    SpriteAnimation() = default;
    SpriteAnimation(const SpriteAnimation& other);
    // Copies everything but the finished listeners; the texture is fetched again by its file
    // so that a copy outlives a texture the driver replaced.
    SpriteAnimation& operator=(const SpriteAnimation& other);
    ~SpriteAnimation();

    // Advances the time (backwards when reversed); wraps or clamps at the ends and fires the
    // finished list on reaching an end.
    void update(irr::f32 seconds);
    // Seconds per frame, keeping the relative position; 0 keeps the frame time and rewinds.
    void setFrameTime(irr::f32 seconds);
    // The rate a file gives under `key` (an animator's "FramesPerSecond", a layout image's
    // "TextureFPS"), for the animation of `file`: 0 keeps the animation's own frame time; a
    // negative rate or one that is not a number is refused, and one outside
    // minFramesPerSecond..maxFramesPerSecond is clamped into it, each with one warning line.
    // Such a rate would otherwise stop the animation on its first frame, or the game with it.
    void setFramesPerSecond(irr::f32 framesPerSecond, const char* file, const char* key);
    static constexpr irr::f32 minFramesPerSecond = 0.001f; // a frame in about 17 minutes
    static constexpr irr::f32 maxFramesPerSecond = 1000.0f;
    // The grid cell (0-based) shown at the current time.
    irr::s32 getCurrentCell() const;
    // Texture coordinates of the current frame; all zeros without a texture.
    irr::core::rectf getFrameUVRect() const;
    // Pixel rectangle of the current frame, placed by the atlas item's position.
    irr::core::recti getFrameRect() const;
    void setTexture(irr::video::ITexture* newTexture);

    // Not copied: the listeners belong to the animation they subscribed to.
    DelegateList finished;
    irr::video::ITexture* texture = nullptr; // grabbed
    irr::core::array<irr::s32> frameList;    // 1-based cells, played in order
    irr::core::stringc name;
    irr::io::path textureFile;
    irr::f32 time = 0.0f;
    irr::f32 duration = 0.0f;
    irr::f32 frameTime = 0.0167f;
    irr::s32 x = 0;
    irr::s32 y = 0;
    irr::s32 itemX = 0;
    irr::s32 itemY = 0;
    irr::s32 width = 0;
    irr::s32 height = 0;
    irr::s32 overallWidth = 0;
    irr::s32 overallHeight = 0;
    irr::s32 frameCount = 0;
    irr::s32 first = 0;
    irr::s32 last = 1;
    irr::s32 columns = 0;
    irr::s32 rows = 0;
    bool playing = true;
    bool reversed = false;
    bool looping = true;

private:
    irr::core::vector2di cellOffset() const;
};

// Fills the animation from a "SpriteAnimation" file; true when it loaded completely. While a
// level loads, its frames are charged to the load's budget (core/LoadBudget.h), and so are
// those of each copy getSpriteAnimation makes: past it the animation is not loaded.
bool loadTextureAnimation(SpriteAnimation& animation, const irr::io::path& path);
// Fills the atlas from a "TextureAtlas" file; true when the file could be read.
bool loadTextureAtlas(TextureAtlas& atlas, const irr::io::path& path);
// Fills the animation with a copy of the sprite-animation cache's animation of the file
// (level/ResourceCaches.h; read on first use). False, with nothing copied, when the file
// cannot be read.
bool getSpriteAnimation(SpriteAnimation& animation, const irr::io::path& file);
