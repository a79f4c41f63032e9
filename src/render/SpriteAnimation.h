#pragma once

#include "core/Delegate.h"

#include <irrTypes.h>
#include <path.h>

namespace irr::video {
class ITexture;
}

// Stand-in for the sprite animation of the rendering subsystem, which completes it (reading
// animation files, frames, update and drawing). It is a value type: copies carry every field
// but the finished list, which stays the copy's own.
struct SpriteAnimation {
    SpriteAnimation() = default;
    SpriteAnimation(const SpriteAnimation& other) { copyFields(other); }
    SpriteAnimation& operator=(const SpriteAnimation& other) {
        if (this != &other)
            copyFields(other);
        return *this;
    }

    irr::video::ITexture* texture = nullptr;
    irr::f32 currentTime = 0.0f;
    irr::f32 length = 0.0f;
    irr::f32 secondsPerFrame = 0.0f;
    irr::s32 firstFrame = 0;
    irr::s32 lastFrame = 0;
    irr::io::path fileName;
    DelegateList finished;

private:
    void copyFields(const SpriteAnimation& other) {
        texture = other.texture;
        currentTime = other.currentTime;
        length = other.length;
        secondsPerFrame = other.secondsPerFrame;
        firstFrame = other.firstFrame;
        lastFrame = other.lastFrame;
        fileName = other.fileName;
    }
};
