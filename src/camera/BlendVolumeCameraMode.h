#pragma once

#include "camera/CameraModes.h"

#include <irrlicht.h>

// Places the camera between its member cameras (camera objects directly below it, each
// paired by index with a path point below it): the nearer the first player is to a member's
// point, the more that member's engine camera counts, times its BlendWeight.
class BlendVolumeCameraMode : public PlayerFollowingCameraMode {
public:
    using PlayerFollowingCameraMode::PlayerFollowingCameraMode;
    ~BlendVolumeCameraMode() override;

    void update(CameraObject* camera) override;
    void drawDebug() override;
    BlendVolumeCameraMode* asBlendVolume() override { return this; }

    // Rebuilds both member lists from the scene.
    void collectMembers();
    void blend(CameraObject* camera);

    irr::core::array<CameraObject*> memberCameras;
    irr::core::array<irr::scene::ISceneNode*> memberPoints;
    irr::core::vector3df blendedTarget;
};
