#pragma once

#include "camera/CameraCommon.h"

#include "phys/SceneQuery.h"

#include <irrlicht.h>

class CameraTransition;
class GameCamera;
class InputManager;
class PlayerObject;

struct CameraListEntry {
    CameraObject* camera = nullptr;
    irr::scene::ISceneNode* source = nullptr;
};

// Where one viewport's camera stands: it owns the engine camera "MainCamera" and the game
// camera, keeps the override cameras that volumes, actions and cutscenes push (highest
// PriorityLevel first, ties to the newest), blends between cameras through its transition
// chain, narrows the field of view when the followed body is far, and is the filter of the
// camera rays that pull cameras in front of blocking objects and fade the others.
class CameraManager : public phys::QueryFilterCallback {
public:
    explicit CameraManager(irr::u32 playerIndex);
    ~CameraManager() override;
    CameraManager(const CameraManager&) = delete;
    CameraManager& operator=(const CameraManager&) = delete;

    // Level events: a level starts loading; a level was unloaded.
    void onLevelLoaded();
    void resetLevelCameras();
    // The pause screen opened: back from the free debug camera to the main camera.
    void leaveFreeCamera();
    // Debug keys: F11 switches the override cameras off and on, F9 cycles the free debug
    // camera (flying, frozen, off), End leaves it.
    void handleDebugKeys();
    // Makes "DebugCamera" with its free-fly animator once per level.
    void createDebugCamera();
    // Hands the view to the debug camera where the main camera stands.
    void updateFreeCamera();
    // The player's look-around and zoom on a level camera, or the hand-back to the game
    // camera; adjusts this frame's position and target in place.
    void updateManualControl(irr::f32 dt, irr::core::vector3df& position, irr::core::vector3df& target);

    void update(irr::f32 dt);
    void setActiveCamera(CameraActivation activation);
    void pushCamera(CameraObject* camera, irr::scene::ISceneNode* source, irr::f32 speed, bool crossfade);
    void removeCamera(CameraObject* camera);
    // The newest link's camera (the game camera too), null without one or while overrides
    // are disabled.
    CameraObject* getOverrideCamera() const;
    // The horizontal unit direction from the rendering camera's target to its position.
    irr::core::vector3df getFlatViewDirection() const;
    // The camera that draws the viewport: the debug camera in free-camera mode, else the
    // main camera.
    irr::scene::ICameraSceneNode* getViewportCamera() const;

    // Camera rays through the physics scene; true on a blocking hit, whose point is `hit`.
    bool raycast(const irr::core::vector3df& from, const irr::core::vector3df& to, irr::core::vector3df& hit);
    bool raycastWithPostFilter(const irr::core::vector3df& from, const irr::core::vector3df& to,
                               irr::core::vector3df& hit);
    phys::QueryHitType preFilter(const phys::FilterData& filterData, phys::Shape* shape, phys::RigidActor* actor,
                                 uint32_t& queryFlags) override;
    phys::QueryHitType postFilter(const phys::FilterData& filterData, const phys::QueryHit& hit) override;
    // Drops the nodes that are back at full opacity.
    void pruneFadedNodes();

    irr::core::array<irr::scene::ISceneNode*> fadedNodes;
    GameCamera* gameCamera = nullptr;
    irr::core::list<CameraListEntry> overrideCameras;
    irr::scene::ISceneNode* currentSource = nullptr;
    CameraTransition* transition = nullptr;
    irr::scene::ICameraSceneNode* mainCamera = nullptr;
    irr::scene::ICameraSceneNode* debugCamera = nullptr;
    InputManager* inputManager = nullptr;
    PlayerObject* followedNode = nullptr;
    irr::f32 manualYaw = 0.0f, manualYawGoal = 0.0f;
    irr::f32 manualPitch = 0.0f, manualPitchGoal = 0.0f;
    irr::f32 manualZoom = 0.0f, manualZoomGoal = 0.0f;
    irr::f32 fovNarrowingGoal = 0.0f;
    irr::f32 fovNarrowing = 0.0f;
    irr::f32 defaultFarValue = camera::defaultFarValue;
    irr::core::vector3df cameraVelocity;
    irr::core::vector3df lastCameraPosition;
    irr::f32 cameraSpeed = 1.0f;
    irr::core::vector3df followPointGoal;
    irr::core::vector3df followPoint;
    irr::u32 playerIndex = 0;
    bool overridesDisabled = false;
    bool freeCamera = false;
    bool snapNextActivation = true;
    bool gameCameraSuppressed = false;
    bool manualCameraAllowed = false;

private:
    void updateOverrideCamera(irr::f32 dt);
    void smoothFollowPoint(irr::f32 dt);
    void castBodyRays(irr::core::vector3df& position);
    bool castRay(const irr::core::vector3df& from, const irr::core::vector3df& to, irr::core::vector3df& hit,
                 irr::u32 flags);
    // The newest link's camera, ignoring overridesDisabled.
    CameraObject* headCamera() const;
    irr::scene::ISceneManager* sceneManager() const;
};

// The camera manager of a viewport (0..3), or null.
CameraManager* getCameraManager(int viewport);
