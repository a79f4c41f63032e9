#pragma once

#include <irrlicht.h>

#include <functional>

// Calls from the cameras into subsystems built after them (physics objects, camera trigger
// volumes, the screens). Each fills its slots when it registers; an empty slot answers the
// default written beside it. Tests fill them with recorders and call resetCameraServices().
struct CameraServices {
    struct Occluders {
        // The physics object's "ClipObject": it blocks camera rays. Empty: false.
        std::function<bool(irr::scene::ISceneNode* object)> clipObject;
        // The physics object's "ClipTransparent": a passing camera ray fades it. Empty: false.
        std::function<bool(irr::scene::ISceneNode* object)> clipTransparent;
        // The camera fade alpha of the object's mesh block (1 opaque, 0.5 faded). Empty: 1.
        std::function<irr::f32(irr::scene::ISceneNode* object)> getFade;
        std::function<void(irr::scene::ISceneNode* object, irr::f32 alpha)> setFade;
    } occluders;

    struct Volumes {
        // The camera trigger volume's transition speed for coming from the predecessor;
        // negative: keep the caller's speed. Empty: -1.
        std::function<irr::f32(irr::scene::ISceneNode* volume, irr::scene::ISceneNode* predecessor)> transitionSpeedFrom;
        // Its "UseCrossfade" for that predecessor. Empty: false.
        std::function<bool(irr::scene::ISceneNode* volume, irr::scene::ISceneNode* predecessor)> crossfadeFrom;
        // Its "AllowManualCamera". Empty: false.
        std::function<bool(irr::scene::ISceneNode* volume)> allowManualCamera;
    } volumes;

    struct Screens {
        // The camera crossfade start of the screen manager (a cut with crossfade).
        std::function<void()> startCrossfade;
    } screens;
};

CameraServices& cameraServices();
void resetCameraServices();

// Set while a cutscene object runs; a removed override camera then activates nothing.
extern bool cutsceneRunning;
