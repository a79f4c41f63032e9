#include "camera/CameraPoints.h"

#include "camera/CameraCommon.h"

#include "level/MeshGate.h"
#include "level/NodeHelpers.h"
#include "level/SceneNodeTypes.h"

using namespace irr;

CameraPointObject::CameraPointObject(scene::ISceneNode* parent, scene::ISceneManager* manager, s32 id)
    : LevelObject(parent, manager, id) {
    Box = core::aabbox3df(-1.0f, -1.0f, -1.0f, 1.0f, 1.0f, 1.0f);
    ensurePreviewCamera();
}

void CameraPointObject::ensurePreviewCamera() {
    if (previewCamera || !SceneManager)
        return;
    previewCamera = SceneManager->addCameraSceneNode(this, core::vector3df(), core::vector3df(), -1, false);
    if (!previewCamera)
        return;
    // Never saved with the level.
    previewCamera->setIsDebugObject(true);
    previewCamera->setAspectRatio(16.0f / 9.0f);
}

const core::aabbox3df& CameraPointObject::getBoundingBox() const {
    return editorModel ? editorModel->getBoundingBox() : Box;
}

void CameraPointObject::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    LevelObject::serializeAttributes(out, options);
    out->addFloat("Time", Time);
}

void CameraPointObject::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    if (!in)
        return;
    LevelObject::deserializeAttributes(in, options);
    Time = in->getAttributeAsFloat("Time");
}

void CameraPointObject::animateMarker() {
    setScale(core::vector3df(1.0f, 1.0f, 1.0f));
    if (editorModel)
        editorModel->setVisible(!camera::isLevelRunning());
}

template <class T>
scene::ISceneNode* CameraPointObject::clonePoint(scene::ISceneNode* newParent, scene::ISceneManager* newManager,
                                                 bool keepTime) {
    if (!newParent)
        newParent = Parent;
    if (!newManager)
        newManager = SceneManager;
    auto* copy = new T(newParent, newManager, ID);
    LevelObject::cloneMembers(copy, this, newManager);
    copy->Box = Box;
    if (keepTime)
        copy->Time = Time;
    if (editorModel && !copy->getChildren().empty())
        copy->editorModel = *copy->getChildren().begin();
    assignUniqueObjectID(copy);
    copy->drop();
    return copy;
}

void CameraPathObject::OnAnimate(u32 timeMs) {
    if (needsEditorModel) {
        needsEditorModel = false;
        // The editor model is for editing only: a point loaded in play gets none.
        if (!camera::isLevelRunning() && SceneManager) {
            if (scene::IAnimatedMesh* mesh = getGameMesh(SceneManager, editorMeshPath)) {
                editorModel = SceneManager->addMeshSceneNode(mesh, this);
                if (editorModel) {
                    editorModel->setIsDebugObject(true);
                    editorModel->setMaterialFlag(video::EMF_LIGHTING, false);
                }
            }
            ensurePreviewCamera();
        }
    }
    animateMarker();
    LevelObject::OnAnimate(timeMs);
}

scene::ISceneNode* CameraPathObject::clone(scene::ISceneNode* newParent, scene::ISceneManager* newManager) {
    // A copied path point starts at time 0: the spline camera re-times its path.
    return clonePoint<CameraPathObject>(newParent, newManager, false);
}

void CameraSplineObject::OnAnimate(u32 timeMs) {
    firstFrame = false;
    animateMarker();
    if (!camera::isLevelRunning() && previewCamera)
        previewCamera->setTarget(getAbsolutePosition() +
                                 camera::forwardFromDegrees(getAbsoluteTransformation().getRotationDegrees()) * 5.0f);
    LevelObject::OnAnimate(timeMs);
}

void CameraSplineObject::OnRegisterSceneNode() {
    if (!camera::isLevelRunning()) {
        setAutomaticCulling(scene::EAC_OFF);
        if (IsVisible && isDebugDataVisible() && !hideFromRenderPass && SceneManager)
            SceneManager->registerNodeForRendering(this, scene::ESNRP_TRANSPARENT_EFFECT);
    }
    if (IsVisible)
        for (scene::ISceneNode* child : Children)
            child->OnRegisterSceneNode();
}

scene::ISceneNode* CameraSplineObject::clone(scene::ISceneNode* newParent, scene::ISceneManager* newManager) {
    return clonePoint<CameraSplineObject>(newParent, newManager, true);
}

void registerCameraPointTypes() {
    registerSceneNodeType(levelObjectRow<CameraPathObject>(typeId("cmp1"), "CameraPathObject"));
    registerSceneNodeType(levelObjectRow<CameraSplineObject>(typeId("cmrs"), "CameraSplineObject"));
}
