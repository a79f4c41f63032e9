// Keeping node and body in step: the per-frame update (pose copy-back of free bodies, the
// deferred kinematic switch, drag loudness, button timer, speed and rest suspicion), the
// node-to-body synchronisation (animators, kinematic targets, the speed clamp of small
// bodies, the texture transform drawn without shaders) and the node's own transform rule.
#include "physics/objects/PhysicsObject.h"
#include "physics/joints/JointObject.h"

#include "physics/world/PhysicsHooks.h"
#include "physics/world/PhysicsManager.h"

#include "core/Globals.h"
#include "core/Random.h"
#include "core/SoundManager.h"
#include "level/LevelManager.h"
#include "level/NodeHelpers.h"
#include "level/WorldTransform.h"
#include "platform/audio/EventSystem.h"
#include "platform/audio/AudioTypes.h"
#include "player/PlayerObject.h"
#include "render/ShaderManager.h"

#include <cmath>
#include <vector>

using namespace irr;

namespace {

constexpr f32 smallBodySpeedLimit = 17.9f;

bool isMotionAnimator(scene::ESCENE_NODE_ANIMATOR_TYPE type) {
    switch (static_cast<s32>(type)) {
    case 0: case 3: case 1000: case 1001: case 1006: case 1008: case 1009: case 1011: case 1012: return true;
    default: return false;
    }
}

bool targetComponentUnchanged(f32 last, f32 current) { return last - 1e-6f <= current && current <= last + 1e-6f; }

// Without shaders the driver applies layer 0's texture matrix itself; it becomes the plain
// transform of the material's texture scale and offset (as the shaders read them from it),
// turned by nothing. The matrix is made on first use.
void setFixedFunctionTextureTransform(video::SMaterial& material) {
    core::matrix4& matrix = material.getTextureMatrix(0);
    const core::vector2df scale(std::sqrt(matrix[0] * matrix[0] + matrix[1] * matrix[1]),
                                std::sqrt(matrix[4] * matrix[4] + matrix[5] * matrix[5]));
    const core::vector2df offset(matrix[8], matrix[9]);
    matrix.buildTextureTransform(0.0f, core::vector2df(0.0f, 0.0f), offset, scale);
}

PlayerObject* firstListedPlayer() { return playerCount() > 0 ? getPlayer(0) : nullptr; }

} // namespace

void PhysicsObject::updateAbsolutePosition() {
    if (Parent && !isExactlyIdentity(Parent->getAbsoluteTransformation()) && !IgnoreParentTransform)
        AbsoluteTransformation = Parent->getAbsoluteTransformation() * getRelativeTransformation();
    else
        AbsoluteTransformation = getRelativeTransformation();
}

core::matrix4 PhysicsObject::getParentAbsoluteTransformation() const {
    if (IgnoreParentTransform || !Parent)
        return core::IdentityMatrix;
    return Parent->getAbsoluteTransformation();
}

void PhysicsObject::updatePhysics() {
    if (!physicsManager || !physicsManager->isSimulationActive())
        return;
    PhysicsBodySettings& b = *bodySettings;
    const f32 delta = objectFrameSeconds();
    if (actor) {
        b.lastPhysicsState = b.currentPhysicsState;
        b.currentPhysicsState = static_cast<s32>(userData->state);
        if (pendingKinematic)
            applyKinematicChange(userData->state == PhysicsState::Kinematic);
        if (holdCount != 0 && IsButton) {
            b.buttonTimer += delta;
            if (b.buttonTimer > 0.2f) {
                b.buttonTimer = 0.0f;
                if (PlayerObject* player = firstListedPlayer())
                    player->releaseObject(this, 4, false);
            }
        }
    }
    if (b.collisionSoundCooldown > 0.0f)
        b.collisionSoundCooldown -= delta;
    else
        b.collisionSoundCooldown = 0.0f;

    phys::RigidDynamic* dynamic = actor ? actor->asRigidDynamic() : nullptr;
    if (!dynamic || userData->state == PhysicsState::Kinematic)
        return;
    if (!userData->sharedBody)
        syncNodeFromActor(actor, this);
    const phys::Vec3 velocity = dynamic->getLinearVelocity();
    const f32 speedSq = velocity.x * velocity.x + velocity.y * velocity.y + velocity.z * velocity.z;
    if (b.dragEvent && soundManager && soundManager->isEventActive(b.dragEvent)) {
        const f32 volume = core::clamp(std::sqrt(speedSq) / 10.0f, 0.0f, 1.0f);
        if (!soundManager->muted)
            soundManager->setEventVolume(b.dragEvent, volume);
    }
    PhysicsSuspicionSettings& s = *suspicionSettings;
    if (s.SuspVelocityAmount != 0.0f && gameDifficulty != 0) {
        s.velocityTimer -= delta;
        if (s.velocityTimer < 0.0f) {
            if (speedSq > s.SuspVelocityAmount * s.SuspVelocityAmount && s.SuspVelocityLimit != 0 &&
                raiseSuspicion(s.SuspVelocityAmount)) {
                --s.SuspVelocityLimit;
                s.displayTimer = 2.0f;
            }
            s.velocityTimer = s.SuspVelocityInterval;
        }
    }
    if (s.SuspAtRestAmount != 0.0f && gameDifficulty != 0) {
        if (speedSq < 1.0f)
            s.restTime += delta;
        else
            s.restTime = 0.0f;
        if (s.restTime > s.SuspAtRestTimer && s.SuspAtRestLimit != 0) {
            const bool raised = raiseSuspicion(s.SuspAtRestAmount);
            s.restTime = 0.0f;
            if (raised) {
                --s.SuspAtRestLimit;
                s.displayTimer = 2.0f;
            }
        }
    }
}

void PhysicsObject::syncNodeFromActor(phys::RigidActor* body, PhysicsObject* node) {
    if (!body || !node)
        return;
    const phys::Transform pose = body->getGlobalPose();
    const core::vector3df position = toEngine(pose.p);
    if (!node->IgnoreParentTransform && node->Parent)
        node->setPosition(position - node->Parent->getAbsolutePosition());
    else
        node->setPosition(position);
    core::vector3df euler;
    core::quaternion(pose.q.x, pose.q.y, pose.q.z, pose.q.w).toEuler(euler);
    node->setRotation(euler * 57.32484f);
}

void PhysicsObject::setKinematic(bool kinematic) {
    if (!bodySettings || userData->state == PhysicsState::Static)
        return;
    auto apply = [&](PhysicsObject* object) {
        if (kinematic) {
            if (object->holdCount != 0 && !CanHangFrom)
                if (PlayerObject* player = firstListedPlayer())
                    player->releaseObject(object, 4, false);
            object->userData->state = PhysicsState::Kinematic;
        } else {
            object->userData->state = PhysicsState::Dynamic;
        }
    };
    apply(this);
    for (PhysicsUserData* child : userData->children)
        if (PhysicsObject* member = asPhysicsObject(child->node))
            apply(member);
    pendingKinematic = true;
    joinCheckpointSave();
}

void PhysicsObject::joinCheckpointSave() {
    if (checkpointSaveManager || !levelManager)
        return;
    checkpointSaveManager = levelManager;
    checkpointSaveManager->onCheckpointSave.addMember(this, &PhysicsObject::prepareCheckpointSave);
}

void PhysicsObject::leaveCheckpointSave() {
    // Only the list it joined, and only while that manager still lives.
    if (checkpointSaveManager && checkpointSaveManager == levelManager)
        checkpointSaveManager->onCheckpointSave.removeMember(this, &PhysicsObject::prepareCheckpointSave);
    checkpointSaveManager = nullptr;
}

// A checkpoint written while the switch to dynamic waits for the next frame records the
// object as dynamic: its motion animators go off now, as the switch leaves them, or the
// restored level would have them drive a loose body.
void PhysicsObject::prepareCheckpointSave() {
    phys::RigidDynamic* dynamic = getDynamicActor();
    if (pendingKinematic && userData->state == PhysicsState::Dynamic && dynamic && dynamic->isKinematic())
        switchOffMotionAnimators();
}

void PhysicsObject::setCompoundKinematic(bool kinematic) {
    if (!userData || !bodySettings || userData->state == PhysicsState::Static)
        return;
    if (userData->parent)
        if (PhysicsObject* owner = asPhysicsObject(userData->parent->node)) {
            owner->setKinematic(kinematic);
            return;
        }
    setKinematic(kinematic);
}

void PhysicsObject::applyKinematicChange(bool kinematic) {
    pendingKinematic = false;
    leaveCheckpointSave();
    phys::RigidDynamic* dynamic = actor ? actor->asRigidDynamic() : nullptr;
    if (!dynamic || dynamic->isKinematic() == kinematic)
        return;
    const bool simulating = physicsManager && physicsManager->isSimulationActive();
    // A body held from now on stays where the last step left it: its node takes that pose
    // first, or the first target would pull it back by a step's motion.
    if (kinematic && simulating && !userData->sharedBody) {
        syncNodeFromActor(actor, this);
        updateAbsolutePosition();
    }
    if (!kinematic) {
        const core::vector3df position = getAbsoluteTransformation().getTranslation();
        const core::vector3df rotation = getAbsoluteTransformation().getRotationDegrees();
        IgnoreParentTransform = true;
        updateAbsolutePosition();
        setNodeWorldPosition(this, position);
        setNodeWorldRotation(this, rotation);
        if (simulating)
            syncNodeFromActor(actor, this);
        updateAbsolutePosition();
    }
    const phys::Vec3 angular = dynamic->getAngularVelocity();
    // The joints on this body are released around the switch and built again after it.
    std::vector<JointObject*> attached;
    for (scene::ISceneNode* node : bodySettings->joints.all())
        if (node && node->getType() == typeId("jont"))
            attached.push_back(static_cast<JointObject*>(node));
    for (JointObject* joint : attached)
        joint->releaseJoint();
    dynamic->setRigidDynamicFlag(phys::RigidDynamicFlag::Kinematic, kinematic);
    for (JointObject* joint : attached)
        joint->createJoint();
    if (kinematic)
        return;
    // The motion animators would pull the body back.
    switchOffMotionAnimators();
    if (getType() == typeId("phsx") && Parent && !isExactlyIdentity(Parent->getAbsoluteTransformation())) {
        IgnoreParentTransform = true;
        actor->setGlobalPose(phys::Transform(toPhys(getAbsolutePosition()),
                                             eulerDegreesToQuat(getAbsoluteTransformation().getRotationDegrees())),
                             true);
    }
    const f32 delta = objectFrameSeconds();
    if (delta > 0.0f) {
        const core::vector3df moved = toEngine(actor->getGlobalPose().p) - bodySettings->lastBodyPosition;
        dynamic->setLinearVelocity(toPhys(moved / delta), true);
    }
    dynamic->setAngularVelocity(angular, true);
    if (!userData->sharedBody) {
        if (simulating)
            syncNodeFromActor(actor, this);
        updateAbsolutePosition();
    }
    dynamic->wakeUp(0.4f);
    PhysicsBodySettings& b = *bodySettings;
    if (!b.SoundOnDynamicEvent.empty() && soundManager)
        b.onDynamicEvent = soundManager->getEvent(b.SoundOnDynamicEvent.c_str());
    if (b.onDynamicEvent) {
        if (soundManager && !soundManager->muted) {
            const core::vector3df at = getAbsolutePosition();
            const audio::Vector3 position{at.X, at.Y, at.Z}, still{0.0f, 0.0f, 0.0f};
            b.onDynamicEvent->set3DAttributes(&position, &still);
            soundManager->startEvent(b.onDynamicEvent);
        }
        b.collisionSoundCooldown = randomFloatRaw() * 0.1f + 0.1f;
    }
}

// The game's own motion animators are switched off and stay on the node, so a later enable
// by ID or a checkpoint finds them again; the engine's have no switch, so they leave the node.
void PhysicsObject::switchOffMotionAnimators() {
    const auto& setAnimatorEnabled = physicsHooks().characters.setAnimatorEnabled;
    std::vector<scene::ISceneNodeAnimator*> switchless;
    for (scene::ISceneNodeAnimator* animator : Animators)
        if (isMotionAnimator(animator->getType()) && !(setAnimatorEnabled && setAnimatorEnabled(animator, false)))
            switchless.push_back(animator);
    for (scene::ISceneNodeAnimator* animator : switchless)
        removeAnimator(animator);
}

void PhysicsObject::syncBodyWithNode(u32 timeMs) {
    const bool staticBody = userData->state == PhysicsState::Static && bodySettings->boundType != BoundType::None;
    auto it = Animators.begin();
    while (it != Animators.end()) {
        scene::ISceneNodeAnimator* animator = *it;
        ++it;
        if (staticBody && isMotionAnimator(animator->getType()))
            continue;
        animator->animateNode(this, timeMs);
    }
    updateAbsolutePosition();
    animateChildren(this, timeMs);
    phys::RigidDynamic* dynamic = actor ? actor->asRigidDynamic() : nullptr;
    if (dynamic && userData->state == PhysicsState::Kinematic) {
        PhysicsBodySettings& b = *bodySettings;
        thrown = false;
        const core::vector3df rotation = getAbsoluteTransformation().getRotationDegrees();
        b.lastBodyPosition = toEngine(actor->getGlobalPose().p);
        const core::vector3df position = getAbsolutePosition();
        const bool same = targetComponentUnchanged(b.lastTargetPosition.X, position.X) && targetComponentUnchanged(b.lastTargetPosition.Y, position.Y) &&
                          targetComponentUnchanged(b.lastTargetPosition.Z, position.Z) &&
                          targetComponentUnchanged(b.lastTargetRotation.X, rotation.X) &&
                          targetComponentUnchanged(b.lastTargetRotation.Y, rotation.Y) && targetComponentUnchanged(b.lastTargetRotation.Z, rotation.Z);
        if (!same && !userData->sharedBody) {
            dynamic->setKinematicTarget(phys::Transform(toPhys(position), eulerDegreesToQuat(rotation)));
            b.lastTargetPosition = position;
            b.lastTargetRotation = rotation;
        }
    } else if (dynamic && userData->state == PhysicsState::Dynamic) {
        const phys::Vec3 v = dynamic->getLinearVelocity();
        const f32 speed = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
        if (!dynamic->isSleeping() && bodySettings->smallBody && holdCount == 0 && speed > smallBodySpeedLimit) {
            dynamic->clearForce(phys::ForceMode::Force, true);
            dynamic->setLinearVelocity(v * (1.0f / speed) * (smallBodySpeedLimit * 0.99f), true);
        }
        if (thrown && speed < 1.0f)
            thrown = false;
    } else {
        pinClothToParent();
    }
    if (shaderManager && !shaderManager->areShadersEnabled())
        for (u32 i = 0; i < getMaterialCount(); ++i)
            setFixedFunctionTextureTransform(getMaterial(i));
    if (instancedMeshNode) {
        updateInstancedBounds();
        updateInstanceCentroid();
    }
    suspicionSettings->ageTimer += objectFrameSeconds();
}
