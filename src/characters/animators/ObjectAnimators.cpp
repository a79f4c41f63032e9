#include "characters/animators/ObjectAnimators.h"

#include "characters/animators/MovementAnimators.h"
#include "core/Globals.h"
#include "core/ProgramQueries.h"
#include "level/AttributeExtras.h"
#include "level/LevelManager.h"
#include "level/SplineObject.h"
#include "level/VariableObject.h"
#include "level/WorldTransform.h"
#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsManager.h"
#include "player/PlayerObject.h"

#include <cctype>

using namespace irr;

// --- animateSpline ------------------------------------------------------------------------

AnimateSplineAnimator::AnimateSplineAnimator() {
    if (levelManager) {
        joinedManager = levelManager;
        joinedManager->onCheckpointSave.addMember(this, &AnimateSplineAnimator::recordCheckpointProgress);
    }
}

AnimateSplineAnimator::~AnimateSplineAnimator() {
    // Only the list it joined, and only while that manager still lives.
    if (joinedManager && joinedManager == levelManager)
        joinedManager->onCheckpointSave.removeMember(this, &AnimateSplineAnimator::recordCheckpointProgress);
}

scene::ESCENE_NODE_ANIMATOR_TYPE AnimateSplineAnimator::getType() const {
    return static_cast<scene::ESCENE_NODE_ANIMATOR_TYPE>(AnimatorType::AnimateSpline);
}

void AnimateSplineAnimator::animateNode(scene::ISceneNode* node, u32 timeMs) {
    splineNode = findSplineObject(splineObjectID);
    speedVariable = findVariableObject(speedVariableID);
    const bool running = isSimulationRunning();
    if (running) {
        if (splineObjectID != 0 && !splineNode)
            splineObjectID = 0;
        if (speedVariableID != 0 && !speedVariable)
            speedVariableID = 0;
    }
    if (!splineNode)
        return;
    if (!Enabled && resetOnDisable) {
        progress = 0.0f;
        direction = 1.0f;
    }
    if (!running && !Enabled) {
        progress = 0.0f;
        direction = 1.0f;
        wasEnabled = false;
        return;
    }
    if (!readyToRun(node, wasEnabled))
        return;
    if (timeToComplete == 0.0f)
        timeToComplete = 0.0001f;
    const f32 speed = speedVariable ? speedVariable->Value : 1.0f;
    const f32 frame = animatorFrameSeconds();
    f32 dt = core::clamp(frame, 0.0f, 0.0833f) * speed;
    if (capToFramerate)
        dt = (levelManager && levelManager->checkpointSaving) ? 0.0f : core::clamp(frame, 0.0f, 0.0167f) * speed;
    f32 step = dt / timeToComplete * direction;
    if (Reversed)
        step = -step;
    progress += step;
    wrapProgress(progress, direction, loop, pingPong);
    if (!splineNode->isUpdated())
        splineNode->OnAnimate(timeMs);
    setNodeWorldPosition(node, splineNode->getPosition(progress));
    if (affectRotation)
        setNodeWorldRotation(node, splineNode->getOrientation(progress));
}

scene::ISceneNodeAnimator* AnimateSplineAnimator::createClone(scene::ISceneNode*, scene::ISceneManager* manager) {
    return cloneInto(new AnimateSplineAnimator(), manager);
}

void AnimateSplineAnimator::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    AnimatorBase::serializeAttributes(out, options);
    writeEditorFlag(out);
    addObjectReference(out, "SplineObjectID", splineObjectID);
    out->addFloat("SpawnTime", isSimulationRunning() ? checkpointProgress : spawnTime);
    out->addFloat("TimeToComplete", timeToComplete);
    out->addBool("AffectRotation", affectRotation);
    out->addBool("Loop", loop);
    out->addBool("PingPong", pingPong);
    out->addBool("ResetOnDisable", resetOnDisable);
    addObjectReference(out, "SpeedVariableID", speedVariableID);
    out->addBool("CapToFramerate", capToFramerate);
}

void AnimateSplineAnimator::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    AnimatorBase::deserializeAttributes(in, options);
    readEditorFlag(in);
    splineObjectID = in->getAttributeAsInt("SplineObjectID");
    spawnTime = in->getAttributeAsFloat("SpawnTime");
    timeToComplete = in->getAttributeAsFloat("TimeToComplete");
    affectRotation = in->getAttributeAsBool("AffectRotation");
    loop = in->getAttributeAsBool("Loop");
    pingPong = in->getAttributeAsBool("PingPong");
    resetOnDisable = in->getAttributeAsBool("ResetOnDisable");
    speedVariableID = in->getAttributeAsInt("SpeedVariableID");
    capToFramerate = in->getAttributeAsBool("CapToFramerate");
    progress = spawnTime;
    splineNode = nullptr;
    speedVariable = nullptr;
}

// --- parentToObject -----------------------------------------------------------------------

scene::ESCENE_NODE_ANIMATOR_TYPE ParentToObjectAnimator::getType() const {
    return static_cast<scene::ESCENE_NODE_ANIMATOR_TYPE>(AnimatorType::ParentToObject);
}

void ParentToObjectAnimator::animateNode(scene::ISceneNode* node, u32) {
    if (!Enabled || !node)
        return;
    // The parent is looked up by its ID every frame, so a parent that went away is noticed
    // (the lookup answers null once the level forgets it) instead of being used stale.
    if (parentObjectID != 0 && parentObjectID != -1)
        parentNode = findAnimatorObject(parentObjectID);
    if (!parentNode)
        return;
    if (useParentPosition) {
        core::vector3df position = node->getAbsolutePosition();
        const core::vector3df parent = parentNode->getAbsolutePosition();
        if (!excludeX)
            position.X = parent.X;
        if (!excludeY)
            position.Y = parent.Y;
        if (!excludeZ)
            position.Z = parent.Z;
        setNodeWorldPosition(node, position);
    }
    if (useParentRotation) {
        const core::matrix4& m = parentNode->getAbsoluteTransformation();
        setNodeWorldRotation(node, m.getRotationDegrees());
    }
    if (parentNode == static_cast<scene::ISceneNode*>(firstPlayer()))
        parentNode = nullptr;
}

scene::ISceneNodeAnimator* ParentToObjectAnimator::createClone(scene::ISceneNode*, scene::ISceneManager* manager) {
    return cloneInto(new ParentToObjectAnimator(), manager);
}

void ParentToObjectAnimator::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    AnimatorBase::serializeAttributes(out, options);
    writeEditorFlag(out);
    addObjectReference(out, "ParentObjectID", parentObjectID);
    out->addBool("UseParentPosition", useParentPosition);
    out->addBool("UseParentRotation", useParentRotation);
    if (useParentPosition)
        out->addString("ExcludePositionAxes", excludePositionAxes.c_str());
}

void ParentToObjectAnimator::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    AnimatorBase::deserializeAttributes(in, options);
    readEditorFlag(in);
    parentObjectID = in->getAttributeAsInt("ParentObjectID");
    useParentPosition = in->getAttributeAsBool("UseParentPosition");
    useParentRotation = in->getAttributeAsBool("UseParentRotation");
    excludePositionAxes = in->getAttributeAsString("ExcludePositionAxes");
    for (u32 i = 0; i < excludePositionAxes.size(); ++i)
        if (excludePositionAxes[i] >= 'A' && excludePositionAxes[i] <= 'Z')
            excludePositionAxes[i] = static_cast<c8>(excludePositionAxes[i] - 'A' + 'a');
    excludeX = excludePositionAxes.findFirst('x') >= 0;
    excludeY = excludePositionAxes.findFirst('y') >= 0;
    excludeZ = excludePositionAxes.findFirst('z') >= 0;
    parentNode = nullptr;
}

// --- physicsForce -------------------------------------------------------------------------

const char* const PhysicsForceAnimator::forceModeNames[5] = {"Force", "Impulse", "Velocity Change", "Acceleration",
                                                             nullptr};

scene::ESCENE_NODE_ANIMATOR_TYPE PhysicsForceAnimator::getType() const {
    return static_cast<scene::ESCENE_NODE_ANIMATOR_TYPE>(AnimatorType::PhysicsForce);
}

void PhysicsForceAnimator::animateNode(scene::ISceneNode* node, u32) {
    if (!Enabled || !physicsManager || !isSimulationRunning() || !isMeshOwner(node))
        return;
    PhysicsObject* object = asPhysicsObject(node);
    phys::RigidActor* actor = object->getActor();
    if (!actor || actor->getType() != phys::ActorType::RigidDynamic || !object->getUserData() ||
        object->getPhysicsState() != PhysicsState::Dynamic)
        return;
    physicsManager->addForce(phys::Vec3(force.X, force.Y, force.Z), static_cast<phys::ForceMode>(forceMode),
                             static_cast<phys::RigidDynamic*>(actor), true);
}

scene::ISceneNodeAnimator* PhysicsForceAnimator::createClone(scene::ISceneNode* node, scene::ISceneManager* manager) {
    return cloneInto(new PhysicsForceAnimator(node), manager);
}

void PhysicsForceAnimator::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    AnimatorBase::serializeAttributes(out, options);
    writeEditorFlag(out);
    out->addVector3d("Force", force);
    out->addEnum("ForceMode", forceMode, forceModeNames);
}

void PhysicsForceAnimator::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    AnimatorBase::deserializeAttributes(in, options);
    readEditorFlag(in);
    force = in->getAttributeAsVector3d("Force");
    forceMode = 0;
    const core::stringc mode = in->getAttributeAsString("ForceMode");
    for (s32 i = 0; forceModeNames[i]; ++i)
        if (mode == forceModeNames[i])
            forceMode = i;
}
