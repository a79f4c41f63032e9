#pragma once

#include "camera/CameraCommon.h"
#include "camera/CameraModes.h"

#include "level/LevelObject.h"

// A camera a level designer places (type 'cmro', "CameraObject"). It owns an engine camera
// node that its position mode places and its target mode aims; camera managers blend their
// main camera toward it when it is activated.
class CameraObject : public LevelObject {
public:
    CameraObject(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, irr::s32 id = -1);
    ~CameraObject() override;

    void OnRegisterSceneNode() override;
    void OnAnimate(irr::u32 timeMs) override;
    void render() override;
    const irr::core::aabbox3df& getBoundingBox() const override;
    irr::scene::ESCENE_NODE_TYPE getType() const override;
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    // A camera manager activates this camera.
    virtual void onActivated(const CameraActivation& activation);
    // Puts the camera at once where its modes want it (the speed is for the game camera).
    virtual void snapToGoal(irr::f32 speed);

    void ensureCameraNode();
    void createBehaviours();
    void deleteBehaviours();
    // Objects between this camera and the player are faded and block it.
    bool clipsObjects() const;
    // The forward direction, 20 units long.
    irr::core::vector3df getLookVector() const;
    void applyClampBounds();

    irr::scene::ISceneNode* editorModel = nullptr;
    irr::scene::ICameraSceneNode* cameraNode = nullptr;
    irr::s32 CameraMode = CameraModeId::Stationary;
    irr::s32 CameraTargetMode = CameraTargetId::Default;
    irr::core::vector3df FocalOffset;
    irr::core::vector3df ShoulderOffset;
    irr::core::vector3df currentPosition;
    irr::core::vector3df goalPosition;
    irr::core::vector3df lookTarget;
    irr::core::vector3df ClampMin{-100.0f, -100.0f, -100.0f};
    irr::core::vector3df ClampMax{100.0f, 100.0f, 100.0f};
    irr::f32 DampingSpeed = 1.0f;
    irr::f32 BlendWeight = 1.0f;
    irr::f32 FarValue = camera::defaultFarValue;
    irr::f32 NearValue = 0.01f;
    irr::f32 transitionSpeed = 1.0f;
    irr::s32 PriorityLevel = 0;
    irr::f32 Distance = 10.0f;
    irr::f32 ShadowMapMultiplier = 1.0f;
    bool TargetTentaroIfOffscreen = false;
    bool UseDefaultFarValue = true;
    bool UseDefaultNearValue = true;
    bool DisableDamping = false;
    bool ClampBounds = false;
    bool ClipObjects = true;
    bool BlockArmsModeZoom = false;
    bool DisablePlayerControl = false;
    bool firstFrame = true;
    // Added to the position the mode places the camera at (the menu's preview scenes).
    irr::core::vector3df positionOffset;
    ::CameraMode* positionMode = nullptr;
    CameraTarget* targetMode = nullptr;

    // Set by the debug keys; camera objects draw their position mode's debug lines then.
    static bool debugDraw;
};

// Registers 'cmro' ("CameraObject") with the scene-node factory.
void registerCameraObjectType();
