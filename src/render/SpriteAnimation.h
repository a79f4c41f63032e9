#pragma once

#include "core/Delegate.h"

#include <dimension2d.h>
#include <irrString.h>
#include <irrTypes.h>
#include <path.h>
#include <rect.h>

namespace irr::video {
class ITexture;
}

// Stand-in for the sprite animation of the rendering subsystem, to be completed there (the
// animation file format, playback modes and the animation cache). It holds what the GUI
// reads: a texture atlas of equal frames in rows, the current time, the frame time, the
// first and last frame, and the finished list; it loops over its frames.
class SpriteAnimation {
public:
    SpriteAnimation() = default;
    SpriteAnimation(const SpriteAnimation& other);
    SpriteAnimation& operator=(const SpriteAnimation& other);
    ~SpriteAnimation();

    // Advances the time; at the end it loops and invokes the finished list.
    void update(irr::f32 seconds);
    // The pixel rectangle of the current frame within the texture.
    irr::core::recti getFrameRect() const;
    // Seconds per frame, keeping the relative position; 0 gives 1e-7.
    void setFrameTime(irr::f32 seconds);
    void setTexture(irr::video::ITexture* newTexture);

    irr::video::ITexture* texture = nullptr;
    irr::core::dimension2du frameSize;
    irr::f32 time = 0.0f;
    irr::f32 length = 0.0f;
    irr::f32 frameTime = 1.0f / 30.0f;
    irr::s32 firstFrame = 0;
    irr::s32 lastFrame = 0;
    irr::io::path fileName;
    // Not copied: the listeners belong to the animation they subscribed to.
    DelegateList finished;

private:
    void updateLength();
};
