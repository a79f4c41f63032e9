#pragma once

#include <irrlicht.h>

class BlendVolumeCameraMode;
class CameraObject;
class SplineCameraMode;

// Where a camera object stands (position modes) and what it looks at (target modes). The
// camera object owns one of each and calls them in a fixed order every frame.

namespace CameraModeId {
constexpr irr::s32 Stationary = 0;
constexpr irr::s32 FixedAngle = 1;
constexpr irr::s32 Spline = 2;
constexpr irr::s32 ObjectLock = 3;
constexpr irr::s32 CircleTrack = 4;
constexpr irr::s32 BlendVolume = 5;
} // namespace CameraModeId

namespace CameraTargetId {
constexpr irr::s32 Default = 0;
constexpr irr::s32 Tentaro = 1;
constexpr irr::s32 ObjectID = 2;
} // namespace CameraTargetId

// The attribute names of the two enumerations, null-terminated as the engine's enum
// attributes want them.
extern const char* const cameraModeNames[];
extern const char* const cameraTargetNames[];

class CameraMode {
public:
    explicit CameraMode(CameraObject* owner) : owner(owner) {}
    virtual ~CameraMode() = default;
    virtual void preUpdate() {}
    virtual void update(CameraObject* camera) = 0;
    virtual void drawDebug() {}
    virtual void snapToGoal() {}
    virtual void onFirstFrame() {}
    virtual void serializeAttributes(irr::io::IAttributes*, irr::io::SAttributeReadWriteOptions*) const {}
    virtual void deserializeAttributes(irr::io::IAttributes*, irr::io::SAttributeReadWriteOptions*) {}
    // The mode as its own kind, or null (the game's classes carry no run-time type data).
    virtual SplineCameraMode* asSpline() { return nullptr; }
    virtual BlendVolumeCameraMode* asBlendVolume() { return nullptr; }

    CameraObject* const owner;
};

// Stands where the camera object is placed.
class StationaryCameraMode : public CameraMode {
public:
    using CameraMode::CameraMode;
    void update(CameraObject* camera) override;
    // Its goal is where it stands: a camera cut to before its first frame is placed at once.
    void snapToGoal() override { update(owner); }
};

// Stands `Distance` behind the look target along the camera's own forward direction; with
// several players it backs out until all of them fit the picture.
class FixedAngleCameraMode : public CameraMode {
public:
    using CameraMode::CameraMode;
    void update(CameraObject* camera) override;

    irr::f32 requiredDistance = 0.0f;
    irr::f32 currentDistance = 0.0f;
};

// The player-following modes (Object Lock, Circle Track, Blend Volume) start where the camera
// is placed: until a player comes they stand there (the engine camera would otherwise sit at
// the world's origin).
class PlayerFollowingCameraMode : public CameraMode {
public:
    using CameraMode::CameraMode;
    void onFirstFrame() override;
};

// Stands behind the player on the line from a locked object through the player.
class ObjectLockCameraMode : public PlayerFollowingCameraMode {
public:
    using PlayerFollowingCameraMode::PlayerFollowingCameraMode;
    void update(CameraObject* camera) override;
    void serializeAttributes(irr::io::IAttributes* out, irr::io::SAttributeReadWriteOptions* options) const override;
    void deserializeAttributes(irr::io::IAttributes* in, irr::io::SAttributeReadWriteOptions* options) override;

    irr::f32 ObjectLockHeight = 4.0f;
    bool FollowTentaroY = false;
    irr::s32 ObjectLockID = 0;
};

// Keeps a fixed distance from the player on the side facing the placed centre, so it
// circles the centre as the player walks around it.
class CircleTrackCameraMode : public PlayerFollowingCameraMode {
public:
    using PlayerFollowingCameraMode::PlayerFollowingCameraMode;
    void update(CameraObject* camera) override;
};

class CameraTarget {
public:
    explicit CameraTarget(CameraObject* owner) : owner(owner) {}
    virtual ~CameraTarget() = default;
    virtual void preUpdate() {}
    virtual void update() = 0;
    virtual void serializeAttributes(irr::io::IAttributes*, irr::io::SAttributeReadWriteOptions*) const {}
    virtual void deserializeAttributes(irr::io::IAttributes* in, irr::io::SAttributeReadWriteOptions*);

    CameraObject* const owner;
    irr::core::vector3df currentTarget;
    irr::core::vector3df goalTarget;
    irr::s32 objectID = 0;
    irr::scene::ISceneNode* followedNode = nullptr;
    irr::f32 TargetRatio = 1.0f;
};

// Looks 20 units straight ahead of the camera object's placed orientation (along the rail
// for a spline camera, at the blended target for a blend-volume camera).
class DefaultCameraTarget : public CameraTarget {
public:
    using CameraTarget::CameraTarget;
    void update() override;
};

// Follows the first player (the middle of all players without split screen).
class TentaroCameraTarget : public CameraTarget {
public:
    using CameraTarget::CameraTarget;
    void update() override;
};

// Follows the level object named by `objectID`.
class ObjectIDCameraTarget : public CameraTarget {
public:
    using CameraTarget::CameraTarget;
    void preUpdate() override { followedNode = nullptr; }
    void update() override;
    void serializeAttributes(irr::io::IAttributes* out, irr::io::SAttributeReadWriteOptions* options) const override;
    void deserializeAttributes(irr::io::IAttributes* in, irr::io::SAttributeReadWriteOptions* options) override;

    bool FollowTentaroY = false;
};

// Makes the mode of the value; a value this build has no mode for gives the Stationary mode
// (or the Default target) and sets the value back to 0.
CameraMode* createCameraMode(CameraObject* owner, irr::s32& mode);
CameraTarget* createCameraTarget(CameraObject* owner, irr::s32& target);
