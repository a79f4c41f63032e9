#pragma once

#include "level/LevelObject.h"

// The marker points below a camera object: path points ('cmp1', "CameraPathObject") mark
// the subject path of a spline camera and the points of a blend-volume camera's members;
// spline points ('cmrs', "CameraSplineObject") make the spline camera's rail. Each carries
// a time along its curve and a preview camera child; neither draws anything in play.
class CameraPointObject : public LevelObject {
public:
    CameraPointObject(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, irr::s32 id = -1);

    const irr::core::aabbox3df& getBoundingBox() const override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    irr::f32 Time = 0.0f;
    irr::scene::ISceneNode* editorModel = nullptr;
    irr::scene::ICameraSceneNode* previewCamera = nullptr;
    // Written by the spline camera that uses the point.
    irr::core::vector3df inTangent;
    irr::core::vector3df outTangent;
    irr::f32 arcLength = 0.0f;

protected:
    void ensurePreviewCamera();
    // Scale 1 and the editor model shown only while the level is edited.
    void animateMarker();
    template <class T>
    irr::scene::ISceneNode* clonePoint(irr::scene::ISceneNode* newParent, irr::scene::ISceneManager* newManager,
                                       bool keepTime);
};

class CameraPathObject : public CameraPointObject {
public:
    using CameraPointObject::CameraPointObject;

    void OnAnimate(irr::u32 timeMs) override;
    irr::scene::ESCENE_NODE_TYPE getType() const override { return typeId("cmp1"); }
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;

    static constexpr const char* editorMeshPath = "Content/Models/Editor/Path.obj";
    bool needsEditorModel = true;
};

class CameraSplineObject : public CameraPointObject {
public:
    using CameraPointObject::CameraPointObject;

    void OnAnimate(irr::u32 timeMs) override;
    void OnRegisterSceneNode() override;
    irr::scene::ESCENE_NODE_TYPE getType() const override { return typeId("cmrs"); }
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;

    bool firstFrame = true;
    bool hideFromRenderPass = true;
};

// Registers 'cmp1' and 'cmrs' with the scene-node factory.
void registerCameraPointTypes();
