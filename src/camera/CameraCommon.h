#pragma once

#include <irrlicht.h>

#include <climits>

// Values and small helpers every camera class shares.

class CameraObject;
class GUICutscene;
class PlayerObject;

namespace camera {
constexpr irr::f32 degreesToRadians = 0.0174532924f;
constexpr irr::f32 radiansToDegrees = 57.2957764f;
constexpr irr::f32 defaultFov = 1.0471976f; // pi / 3
constexpr irr::f32 defaultNearValue = 0.1f;
constexpr irr::f32 defaultFarValue = 100.0f;
// A frame longer than this is a hitch (loading, a debugger): it counts as one normal frame.
constexpr irr::f32 longFrameSeconds = 1.0f;
constexpr irr::f32 longFrameReplacement = 0.0167f;
constexpr irr::s32 lowestPriority = INT_MIN;
constexpr irr::s32 highestPriority = INT_MAX;

inline irr::f32 clampFrameTime(irr::f32 dt) { return dt > longFrameSeconds ? longFrameReplacement : dt; }

// The per-frame easing factor dt x rate x damping, held in [0, 1].
inline irr::f32 easingFactor(irr::f32 dt, irr::f32 rate, irr::f32 damping = 1.0f) {
    return irr::core::clamp(dt * rate * damping, 0.0f, 1.0f);
}

// Smoothstep progress of a blend of the duration after `elapsed` seconds; a zero duration is
// already complete.
inline irr::f32 smoothstepBlend(irr::f32 elapsed, irr::f32 duration) {
    if (duration == 0.0f)
        return 1.0f;
    const irr::f32 t = irr::core::clamp(elapsed / duration, 0.0f, 1.0f);
    return 3.0f * t * t - 2.0f * t * t * t;
}

// The frame stopwatch's delta in seconds (0 without a stopwatch).
irr::f32 frameSeconds();
// The physics manager exists and the level is being played.
bool isLevelRunning();
// The first camera manager's default far value (100 without one).
irr::f32 firstManagerFarValue();
// The first camera manager's smoothed field-of-view reduction (0 without one).
irr::f32 firstManagerFovNarrowing();
// Input reaches the game: no screen manager, or it allows input.
bool isGameInputAllowed();
// The cutscene overlay covers the view (blocks activations and manual input).
bool cutsceneBarsShown();
// The screen manager's cutscene screen, or null.
GUICutscene* cutsceneScreen();

// Entry 0 of the player list when present and not null.
PlayerObject* firstPlayer();
// (0, 0, 1) turned by Euler angles in degrees, as matrix4::setRotationDegrees builds them.
irr::core::vector3df forwardFromDegrees(const irr::core::vector3df& degrees);
// The forward direction of a node's absolute transformation.
irr::core::vector3df forwardOf(const irr::scene::ISceneNode* node);
// Moves the value toward the goal by the easing factor of the rate (per component).
inline void approach(irr::core::vector3df& value, const irr::core::vector3df& goal, irr::f32 t) {
    value += (goal - value) * t;
}
// Display width over height (16:9 without a display size).
irr::f32 displayAspect();
// The frame renderer draws one viewport per player.
bool splitScreenOn();
// The level object of the ID through the level manager, or null (0 and -1 name nothing).
irr::scene::ISceneNode* levelNode(irr::s32 id);
// The node's video driver set up for the modes' debug lines (world transformation identity,
// unlit, 3 pixels thick), or null without one.
irr::video::IVideoDriver* beginDebugLines(const irr::scene::ISceneNode* node);
} // namespace camera

// The record with which a camera manager activates a camera.
struct CameraActivation {
    CameraObject* camera = nullptr;
    irr::scene::ISceneNode* source = nullptr;
    irr::f32 speed = 1.0f;
    bool crossfade = false;
    bool fallback = false;
    bool snap = false;
};
