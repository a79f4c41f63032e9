#pragma once

#include "camera/CameraObject.h"

class CameraManager;
class PlayerObject;

// The orbiting follow camera each camera manager owns and falls back to (type 'mcmr', never
// saved). The camera actions turn it and change its distance; it eases toward its goal,
// looks at a smoothed focus point and pulls in in front of whatever blocks its view.
class GameCamera : public CameraObject {
public:
    GameCamera(CameraManager* owner, irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager);

    void OnAnimate(irr::u32 timeMs) override;
    irr::scene::ESCENE_NODE_TYPE getType() const override;
    void onActivated(const CameraActivation& activation) override;
    void snapToGoal(irr::f32 speed) override;

    irr::f32 getTurnSpeed() const { return turnSpeed; }
    void setTurnSpeed(irr::f32 value) { turnSpeed = value; }
    irr::f32 getZoomSpeed() const { return zoomSpeed; }
    void setZoomSpeed(irr::f32 value) { zoomSpeed = value; }
    irr::f32 getDistance() const { return distance; }
    void setDistance(irr::f32 value) { distance = value; }

    // The follow step with the camera actions of the owner's player.
    void update(irr::f32 dt);
    // The six camera actions that count this frame.
    struct HeldActions {
        bool up = false, down = false, left = false, right = false, zoomIn = false, zoomOut = false;
    };
    // The follow step with the given actions (update reads them from the controls).
    void step(irr::f32 dt, const HeldActions& held);

    CameraManager* owner;
    PlayerObject* followedNode = nullptr;
    bool pulledIn = false;
    irr::core::vector3df focusPoint;
    irr::core::vector3df smoothedPosition;
    irr::f32 pulledInDistance = 0.0f;
    irr::f32 zoomSpeed = 20.0f;
    irr::f32 turnSpeed = -150.0f;
    irr::f32 distance = 12.0f;
    irr::f32 yaw = 90.0f;
    irr::f32 pitch = 25.0f;

private:
    irr::u32 lastUpdateFrame = 0;
};
