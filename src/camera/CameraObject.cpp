#include "camera/CameraObject.h"

#include "camera/SplineCameraMode.h"

#include "level/NodeHelpers.h"
#include "level/SceneNodeTypes.h"

#include <cmath>

using namespace irr;

bool CameraObject::debugDraw = false;

namespace {
// The index of the name in the enumeration, or -1 (names compare without case, as the
// engine's enum attributes do).
s32 cameraEnumIndex(const core::stringc& name, const char* const* names) {
    for (s32 i = 0; names[i]; ++i)
        if (name.equals_ignore_case(names[i]))
            return i;
    return -1;
}

const char* cameraEnumName(s32 value, const char* const* names) {
    for (s32 i = 0; names[i]; ++i)
        if (i == value)
            return names[i];
    return names[0];
}
} // namespace

CameraObject::CameraObject(scene::ISceneNode* parent, scene::ISceneManager* manager, s32 id)
    : LevelObject(parent, manager, id) {
    Box = core::aabbox3df(-1.0f, -1.0f, -1.0f, 1.0f, 1.0f, 1.0f);
    createBehaviours();
    ensureCameraNode();
}

CameraObject::~CameraObject() {
    deleteBehaviours();
    // The engine camera sits under the scene root; it goes with the object (a scene clear
    // may already have unlinked it, then remove does nothing).
    if (cameraNode) {
        cameraNode->remove();
        cameraNode->drop();
    }
}

void CameraObject::ensureCameraNode() {
    if (cameraNode || !SceneManager)
        return;
    scene::ICameraSceneNode* node =
        SceneManager->addCameraSceneNode(nullptr, core::vector3df(), core::vector3df(), -1, false);
    if (!node)
        return;
    node->grab();
    node->setIsDebugObject(true);
    node->setAspectRatio(16.0f / 9.0f);
    cameraNode = node;
}

void CameraObject::createBehaviours() {
    if (!positionMode)
        positionMode = createCameraMode(this, CameraMode);
    if (!targetMode)
        targetMode = createCameraTarget(this, CameraTargetMode);
}

void CameraObject::deleteBehaviours() {
    delete positionMode;
    positionMode = nullptr;
    delete targetMode;
    targetMode = nullptr;
}

bool CameraObject::clipsObjects() const {
    if (!ClipObjects)
        return false;
    if (CameraMode == CameraModeId::FixedAngle)
        return true;
    SplineCameraMode* spline = CameraMode == CameraModeId::Spline && positionMode ? positionMode->asSpline() : nullptr;
    return spline && spline->UseAsFixedAngle;
}

core::vector3df CameraObject::getLookVector() const {
    SplineCameraMode* spline = CameraMode == CameraModeId::Spline && positionMode ? positionMode->asSpline() : nullptr;
    core::vector3df forward = spline ? camera::forwardFromDegrees(spline->cameraRotationAt(spline->currentRatio + spline->ratioLag))
                                     : camera::forwardOf(this);
    return forward.normalize() * 20.0f;
}

const core::aabbox3df& CameraObject::getBoundingBox() const {
    return editorModel ? editorModel->getBoundingBox() : Box;
}

scene::ESCENE_NODE_TYPE CameraObject::getType() const { return typeId("cmro"); }

void CameraObject::OnRegisterSceneNode() {
    if (editorModel)
        editorModel->setVisible(true);
    if (!IsVisible)
        return;
    if (!camera::isLevelRunning())
        SceneManager->registerNodeForRendering(this, scene::ESNRP_TRANSPARENT_EFFECT);
    for (scene::ISceneNode* child : Children)
        child->OnRegisterSceneNode();
}

void CameraObject::render() {
    if (debugDraw && positionMode)
        positionMode->drawDebug();
}

void CameraObject::OnAnimate(u32 timeMs) {
    if (animatedThisFrame())
        return;
    const f32 dt = camera::frameSeconds();
    LevelObject::OnAnimate(timeMs);
    if (firstFrame) {
        if (UseDefaultFarValue)
            FarValue = camera::firstManagerFarValue();
        if (UseDefaultNearValue)
            NearValue = camera::defaultNearValue;
        ensureCameraNode();
        if (positionMode)
            positionMode->onFirstFrame();
    }
    createBehaviours();
    setScale(core::vector3df(1.0f, 1.0f, 1.0f));
    if (editorModel)
        editorModel->setVisible(!camera::isLevelRunning());
    if (!cameraNode)
        return;
    positionMode->preUpdate();
    targetMode->preUpdate();
    targetMode->update();

    const core::vector3df desired = targetMode->currentTarget + FocalOffset;
    if (DisableDamping || (CameraTargetMode == CameraTargetId::Default && CameraMode == CameraModeId::Spline))
        lookTarget = desired;
    else
        lookTarget += (desired - lookTarget) * camera::easingFactor(dt, 6.0f, DampingSpeed);
    cameraNode->setTarget(lookTarget);
    positionMode->update(this);
    if (positionOffset != core::vector3df()) {
        cameraNode->setPosition(cameraNode->getPosition() + positionOffset);
        cameraNode->updateAbsolutePosition();
    }
    applyClampBounds();

    if (firstFrame) {
        createBehaviours();
        targetMode->currentTarget = targetMode->goalTarget;
        lookTarget = targetMode->currentTarget + FocalOffset;
        currentPosition = goalPosition;
        cameraNode->setTarget(lookTarget);
        firstFrame = false;
    }
}

void CameraObject::applyClampBounds() {
    if (!ClampBounds || !cameraNode)
        return;
    const core::vector3df p = cameraNode->getPosition();
    const core::vector3df c(core::clamp(p.X, ClampMin.X, ClampMax.X), core::clamp(p.Y, ClampMin.Y, ClampMax.Y),
                            core::clamp(p.Z, ClampMin.Z, ClampMax.Z));
    const f32 radicand = 1.0f - 2.0f * camera::firstManagerFovNarrowing();
    const f32 w = radicand >= 0.0f ? core::clamp(std::sqrt(radicand), 0.0f, 1.0f) : 0.0f;
    const core::vector3df n = p * (1.0f - w) + c * w;
    if (CameraMode == CameraModeId::FixedAngle)
        cameraNode->setTarget(cameraNode->getTarget() + (n - p));
    cameraNode->setPosition(n);
    cameraNode->updateAbsolutePosition();
}

void CameraObject::onActivated(const CameraActivation&) {}

void CameraObject::snapToGoal(f32) {
    ensureCameraNode();
    if (!cameraNode)
        return;
    for (int pass = 0; pass < 2; ++pass) {
        updateAbsolutePosition();
        cameraNode->updateAbsolutePosition();
        cameraNode->OnAnimate(1);
        if (pass == 0 && positionMode)
            positionMode->snapToGoal();
        if (targetMode) {
            // The goal as seen from where the camera now stands: an object not yet animated
            // (a level's or a menu scene's first camera) has none of its own yet.
            targetMode->update();
            targetMode->currentTarget = targetMode->goalTarget;
            lookTarget = targetMode->currentTarget + FocalOffset;
        }
        cameraNode->setTarget(lookTarget);
    }
    cameraNode->render();
}

scene::ISceneNode* CameraObject::clone(scene::ISceneNode* newParent, scene::ISceneManager* newManager) {
    if (!newParent)
        newParent = Parent;
    if (!newManager)
        newManager = SceneManager;
    auto* copy = new CameraObject(newParent, newManager, ID);
    LevelObject::cloneMembers(copy, this, newManager);
    copy->Box = Box;
    copy->PriorityLevel = PriorityLevel;
    copy->CameraTargetMode = CameraTargetMode;
    copy->CameraMode = CameraMode;
    copy->FocalOffset = FocalOffset;
    copy->ShoulderOffset = ShoulderOffset;
    copy->Distance = Distance;
    copy->UseDefaultFarValue = UseDefaultFarValue;
    copy->FarValue = FarValue;
    copy->UseDefaultNearValue = UseDefaultNearValue;
    copy->NearValue = NearValue;
    copy->DisableDamping = DisableDamping;
    copy->BlendWeight = BlendWeight;
    copy->ClampBounds = ClampBounds;
    copy->ClampMin = ClampMin;
    copy->ClampMax = ClampMax;
    copy->ClipObjects = ClipObjects;
    copy->BlockArmsModeZoom = BlockArmsModeZoom;
    copy->DisablePlayerControl = DisablePlayerControl;
    copy->TargetTentaroIfOffscreen = TargetTentaroIfOffscreen;
    copy->deleteBehaviours();
    copy->createBehaviours();
    if (editorModel && !copy->getChildren().empty())
        copy->editorModel = *copy->getChildren().begin();
    assignUniqueObjectID(copy);
    copy->drop();
    return copy;
}

void CameraObject::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    LevelObject::serializeAttributes(out, options);
    out->addInt("PriorityLevel", PriorityLevel);
    out->addEnum("CameraMode", cameraEnumName(CameraMode, cameraModeNames), cameraModeNames);
    if (CameraMode == CameraModeId::FixedAngle)
        out->addFloat("Distance", Distance);
    if (CameraMode == CameraModeId::FixedAngle ||
        (CameraMode == CameraModeId::Spline && positionMode && positionMode->asSpline() &&
         positionMode->asSpline()->UseAsFixedAngle))
        out->addBool("ClipObjects", ClipObjects);
    out->addVector3d("FocalOffset", FocalOffset);
    if (CameraMode == CameraModeId::ObjectLock)
        out->addVector3d("ShoulderOffset", ShoulderOffset);
    else
        out->addEnum("CameraTargetMode", cameraEnumName(CameraTargetMode, cameraTargetNames), cameraTargetNames);
    if (CameraTargetMode == CameraTargetId::Tentaro &&
        (CameraMode == CameraModeId::Stationary || CameraMode == CameraModeId::Spline))
        out->addFloat("TargetRatio", targetMode ? targetMode->TargetRatio : 1.0f);
    if (CameraTargetMode == CameraTargetId::Default)
        out->addBool("TargetTentaroIfOffscreen", TargetTentaroIfOffscreen);
    out->addFloat("FOV", (cameraNode ? cameraNode->getFOV() : camera::defaultFov) * camera::radiansToDegrees);
    out->addBool("UseDefaultFarValue", UseDefaultFarValue);
    if (!UseDefaultFarValue)
        out->addFloat("FarValue", FarValue);
    out->addBool("UseDefaultNearValue", UseDefaultNearValue);
    if (!UseDefaultNearValue)
        out->addFloat("NearValue", NearValue);
    out->addFloat("ShadowMapMultiplier", ShadowMapMultiplier);
    out->addBool("DisableDamping", DisableDamping);
    out->addBool("BlockArmsModeZoom", BlockArmsModeZoom);
    out->addBool("DisablePlayerControl", DisablePlayerControl);
    out->addBool("ClampBounds", ClampBounds);
    // A camera inside a blend-volume camera carries its weight there.
    for (scene::ISceneNode* up = Parent; up; up = up->getParent()) {
        if (up->getType() != typeId("cmro"))
            continue;
        if (static_cast<const CameraObject*>(up)->CameraMode == CameraModeId::BlendVolume)
            out->addFloat("BlendWeight", BlendWeight);
        break;
    }
    if (ClampBounds) {
        out->addVector3d("ClampMin", ClampMin);
        out->addVector3d("ClampMax", ClampMax);
    }
    if (positionMode)
        positionMode->serializeAttributes(out, options);
    if (targetMode)
        targetMode->serializeAttributes(out, options);
}

void CameraObject::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    if (!in)
        return;
    LevelObject::deserializeAttributes(in, options);
    PriorityLevel = in->getAttributeAsInt("PriorityLevel");
    if (in->existsAttribute("CameraMode"))
        CameraMode = cameraEnumIndex(in->getAttributeAsString("CameraMode"), cameraModeNames);
    if (in->existsAttribute("CameraTargetMode"))
        CameraTargetMode = cameraEnumIndex(in->getAttributeAsString("CameraTargetMode"), cameraTargetNames);
    deleteBehaviours();
    createBehaviours();
    if (in->existsAttribute("Distance") && CameraMode == CameraModeId::FixedAngle)
        Distance = in->getAttributeAsFloat("Distance");
    if (in->existsAttribute("ClipObjects") &&
        (CameraMode == CameraModeId::FixedAngle || CameraMode == CameraModeId::Spline))
        ClipObjects = in->getAttributeAsBool("ClipObjects");
    if (in->existsAttribute("BlendWeight"))
        BlendWeight = in->getAttributeAsFloat("BlendWeight");
    if (in->existsAttribute("FocalOffset"))
        FocalOffset = in->getAttributeAsVector3d("FocalOffset");
    if (in->existsAttribute("ShoulderOffset"))
        ShoulderOffset = in->getAttributeAsVector3d("ShoulderOffset");
    if (in->existsAttribute("TargetRatio"))
        targetMode->TargetRatio = in->getAttributeAsFloat("TargetRatio");
    if (in->existsAttribute("TargetTentaroIfOffscreen"))
        TargetTentaroIfOffscreen = in->getAttributeAsBool("TargetTentaroIfOffscreen");
    ensureCameraNode();
    // A file without "FOV" keeps the field of view: a zero angle has no projection.
    if (cameraNode && in->existsAttribute("FOV"))
        cameraNode->setFOV(in->getAttributeAsFloat("FOV") * camera::degreesToRadians);
    if (in->existsAttribute("UseDefaultFarValue"))
        UseDefaultFarValue = in->getAttributeAsBool("UseDefaultFarValue");
    if (in->existsAttribute("FarValue"))
        FarValue = in->getAttributeAsFloat("FarValue");
    if (UseDefaultFarValue)
        FarValue = camera::firstManagerFarValue();
    if (in->existsAttribute("UseDefaultNearValue"))
        UseDefaultNearValue = in->getAttributeAsBool("UseDefaultNearValue");
    if (in->existsAttribute("NearValue"))
        NearValue = in->getAttributeAsFloat("NearValue");
    if (UseDefaultNearValue)
        NearValue = camera::defaultNearValue;
    if (cameraNode) {
        cameraNode->setFarValue(FarValue);
        cameraNode->setNearValue(NearValue);
    }
    if (in->existsAttribute("ShadowMapMultiplier"))
        ShadowMapMultiplier = in->getAttributeAsFloat("ShadowMapMultiplier");
    DisableDamping = in->getAttributeAsBool("DisableDamping");
    ClampBounds = in->getAttributeAsBool("ClampBounds");
    BlockArmsModeZoom = in->getAttributeAsBool("BlockArmsModeZoom");
    DisablePlayerControl = in->getAttributeAsBool("DisablePlayerControl");
    if (ClampBounds) {
        if (in->existsAttribute("ClampMin"))
            ClampMin = in->getAttributeAsVector3d("ClampMin");
        if (in->existsAttribute("ClampMax"))
            ClampMax = in->getAttributeAsVector3d("ClampMax");
    }
    if (CameraMode == CameraModeId::ObjectLock) {
        CameraTargetMode = CameraTargetId::ObjectID;
        deleteBehaviours();
        createBehaviours();
        targetMode->TargetRatio = 1.0f;
    }
    positionMode->deserializeAttributes(in, options);
    targetMode->deserializeAttributes(in, options);
    if (cameraNode) {
        cameraNode->OnAnimate(1);
        cameraNode->render();
    }
}

void registerCameraObjectType() {
    registerSceneNodeType(levelObjectRow<CameraObject>(typeId("cmro"), "CameraObject"));
}
