#include "render/SpriteAnimation.h"

#include <ITexture.h>

#include <algorithm>
#include <cmath>

SpriteAnimation::SpriteAnimation(const SpriteAnimation& other) { *this = other; }

SpriteAnimation& SpriteAnimation::operator=(const SpriteAnimation& other) {
    if (this == &other)
        return *this;
    setTexture(other.texture);
    frameSize = other.frameSize;
    time = other.time;
    length = other.length;
    frameTime = other.frameTime;
    firstFrame = other.firstFrame;
    lastFrame = other.lastFrame;
    fileName = other.fileName;
    return *this;
}

SpriteAnimation::~SpriteAnimation() { setTexture(nullptr); }

void SpriteAnimation::setTexture(irr::video::ITexture* newTexture) {
    if (newTexture == texture)
        return;
    if (newTexture)
        newTexture->grab();
    if (texture)
        texture->drop();
    texture = newTexture;
}

void SpriteAnimation::updateLength() {
    length = static_cast<irr::f32>(std::max(lastFrame - firstFrame + 1, 1)) * frameTime;
}

void SpriteAnimation::update(irr::f32 seconds) {
    updateLength();
    time += seconds;
    if (length > 0.0f && time >= length) {
        time = std::fmod(time, length);
        finished.invoke();
    }
}

irr::core::recti SpriteAnimation::getFrameRect() const {
    if (!texture || frameSize.Width == 0 || frameSize.Height == 0)
        return irr::core::recti(0, 0, 0, 0);
    const irr::u32 columns = std::max(texture->getOriginalSize().Width / frameSize.Width, 1u);
    const irr::s32 frame = firstFrame + static_cast<irr::s32>(frameTime > 0.0f ? time / frameTime : 0.0f);
    const irr::u32 index = static_cast<irr::u32>(std::clamp(frame, firstFrame, std::max(firstFrame, lastFrame)));
    const irr::s32 x = static_cast<irr::s32>((index % columns) * frameSize.Width);
    const irr::s32 y = static_cast<irr::s32>((index / columns) * frameSize.Height);
    return irr::core::recti(x, y, x + static_cast<irr::s32>(frameSize.Width),
                            y + static_cast<irr::s32>(frameSize.Height));
}

void SpriteAnimation::setFrameTime(irr::f32 seconds) {
    if (seconds == 0.0f)
        seconds = 1e-7f;
    const irr::f32 relative = length > 0.0f ? time / length : 0.0f;
    frameTime = seconds;
    updateLength();
    time = relative * length;
}
