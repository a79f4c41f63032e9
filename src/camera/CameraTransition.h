#pragma once

#include <irrlicht.h>

class CameraObject;

// One link of a camera manager's transition chain, newest first: it blends from what the
// older link (or, for the oldest, the main camera at activation) showed toward the live view
// of its camera, position and look target each along a smoothstep curve.
class CameraTransition {
public:
    CameraTransition() = default;
    ~CameraTransition();
    CameraTransition(const CameraTransition&) = delete;
    CameraTransition& operator=(const CameraTransition&) = delete;

    // Advances this link and every older one.
    void update(irr::f32 dt);
    irr::core::vector3df getPosition() const;
    irr::core::vector3df getTarget() const;
    irr::f32 getFOV() const;
    // Frees the link with its older links and clears the pointer that held it.
    static void freeTransitionChain(CameraTransition*& link);

    CameraObject* camera = nullptr;
    irr::scene::ISceneNode* source = nullptr;
    CameraTransition* previous = nullptr;
    irr::f32 positionBlend = 0.0f;
    irr::f32 targetBlend = 0.0f;
    irr::core::vector3df startPosition;
    irr::core::vector3df startTarget;
    irr::f32 startFov = 70.0f;
    irr::f32 positionDuration = 0.0f;
    irr::f32 targetDuration = 0.0f;
    irr::f32 elapsed = 0.0f;
    irr::f32 speedFactor = 1.0f;
    bool targetMoves = true;
};
