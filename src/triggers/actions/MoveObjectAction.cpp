#include "triggers/actions/MoveObjectAction.h"

#include "core/Globals.h"
#include "core/Log.h"
#include "core/RepeatedLog.h"
#include "level/AttributeExtras.h"
#include "level/LevelLimits.h"
#include "level/LevelManager.h"
#include "level/NodeHelpers.h"
#include "level/SubLevelObject.h"
#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsManager.h"
#include "phys/RigidBody.h"
#include "player/PlayerObject.h"
#include "triggers/ObjectIDExpression.h"
#include "triggers/TriggerObject.h"
#include "triggers/actions/ActionSupport.h"

#include <cmath>

using namespace irr;

const char* const MoveObjectAction::moveModeNames[5] = {"Reference Node", "Manual", "Contact", "Reset", nullptr};

namespace {

// The actor of a physics object when it is a rigid dynamic body.
phys::RigidDynamic* movedDynamicActor(PhysicsObject* object) {
    phys::RigidActor* actor = object ? object->getBodyActor() : nullptr;
    return actor ? actor->asRigidDynamic() : nullptr;
}

// Whether the player holds the object and it may not be moved while held.
bool isHeldInPlace(PhysicsObject* object, bool dropIfGrabbed) { return object->holdCount > 0 && !dropIfGrabbed; }

} // namespace

MoveObjectAction::MoveObjectAction(TriggerObject* trigger) : TriggerAction(actionType, trigger) {}

MoveObjectAction::~MoveObjectAction() = default;

void MoveObjectAction::update() {
    for (MoveRecord& record : moves)
        stepMove(record);
}

void MoveObjectAction::cancel() {
    update();
    if (!StopOnTriggerCancelled)
        return;
    // Moves stop where they stand. An object must not be left without collision, though
    // (it would fall through the level and could never be touched again): what the move
    // switched off comes back as at the move's end.
    for (MoveRecord& record : moves)
        if (record.remaining >= 0.0f && DisableColWhileMoving)
            if (PhysicsObject* physics = triggerActions::physicsKind(record.object))
                restoreCollision(physics, record);
    moves.clear();
}

void MoveObjectAction::restoreCollision(PhysicsObject* physics, const MoveRecord& record) {
    physics->setCollisionEnabled(physics->isVisible() ? true : record.savedCollision);
}

void MoveObjectAction::resetObjects(scene::ISceneNode* node) {
    if (objectIDsPending && !objectIDsTree) {
        objectIDsTree = parseObjectIDExpression(ObjectIDs);
        if (objectIDsTree)
            collectExpressionNodes(objectIDsTree.get(), resetTargets);
    }
    if (PhysicsObject* object = triggerActions::physicsKind(node)) {
        if (!isHeldInPlace(object, DropIfGrabbed))
            object->requestReset();
        return;
    }
    if (resetTargets.empty()) {
        if (node)
            logRepeatable(std::string(logErrorPrefix) +
                          "Attempting to reset non-PhysicsObject to original spawn position: " +
                          getNodeDisplayName(node).c_str());
        return;
    }
    for (scene::ISceneNode* target : resetTargets)
        if (PhysicsObject* object = triggerActions::physicsKind(target))
            if (!isHeldInPlace(object, DropIfGrabbed))
                object->requestReset();
}

void MoveObjectAction::execute(TriggerEventInfo& event) {
    logStep();
    scene::ISceneNode* node = triggerActions::findObjectByID(ObjectID);
    if (MoveTentaro) {
        PlayerObject* player = node && node->getType() == typeId("plr1") ? static_cast<PlayerObject*>(node)
                                                                           : getPlayer(0);
        moveTentaro(player);
        return;
    }
    if (!node)
        node = event.object;
    if (MoveMode == Reset) {
        resetObjects(node);
        return;
    }
    if (!node)
        return;
    PhysicsObject* physics = triggerActions::physicsKind(node);
    if (physics) {
        // An object moved out of its inactive sublevel stays active.
        SubLevelObject* sublevel = findSublevelAncestor(node);
        if (sublevel && !sublevel->isVisible() && !sublevel->containsOutlier(node)) {
            physics->mesh().isSublevelOutlier = true;
            sublevel->appendOutlier(node);
        }
        if (physics->holdCount > 0) {
            if (DropIfGrabbed) {
                for (int i = 0; i < playerCount(); ++i)
                    if (PlayerObject* player = getPlayer(i))
                        player->releaseGrabbed(node, LimbSide::Both, true);
            } else {
                // This build's physics objects have no keep-held-while-kinematic switch: a
                // held object is only moved after it has been dropped.
                return;
            }
        }
    }

    MoveRecord record;
    record.object = node;
    if (MoveMode == ReferenceNode) {
        targetNode = triggerActions::findObjectByID(TargetID);
    } else if (MoveMode == Contact) {
        TargetPosition = event.position;
        TargetRotation = event.secondVector.getHorizontalAngle();
    }
    record.startPosition = node->getAbsolutePosition();
    record.startRotation = node->getAbsoluteTransformation().getRotationDegrees();
    if (phys::RigidDynamic* body = movedDynamicActor(physics)) {
        const phys::Transform pose = body->getGlobalPose();
        record.startPosition.set(pose.p.x, pose.p.y, pose.p.z);
        record.startRotation =
            triggerActions::quaternionToDegrees(core::quaternion(pose.q.x, pose.q.y, pose.q.z, pose.q.w), 57.32484f);
    }
    record.remaining = MoveDuration;
    if (DisableColWhileMoving && physics) {
        record.savedCollision = physics->isCollisionEnabled();
        physics->setCollisionEnabled(false);
    }
    stepMove(record);
    addMove(record);
}

void MoveObjectAction::addMove(const MoveRecord& record) {
    for (MoveRecord& slot : moves)
        if (slot.remaining < 0.0f) {
            slot = record;
            return;
        }
    moves.push_back(record);
}

void MoveObjectAction::stepMove(MoveRecord& record) {
    if (record.remaining < 0.0f || !record.object)
        return;
    core::vector3df targetPosition = TargetPosition;
    core::vector3df targetRotation = TargetRotation;
    PhysicsObject* physics = triggerActions::physicsKind(record.object);
    if (record.remaining > 0.0f)
        record.remaining -= levelPlaySeconds();
    if (record.remaining < 0.0f)
        record.remaining = 0.0f;
    if (MoveMode == ReferenceNode) {
        // Without its reference the move waits, counted down, until execute finds one.
        if (!targetNode)
            return;
        targetPosition = targetNode->getAbsolutePosition();
        targetRotation = targetNode->getAbsoluteTransformation().getRotationDegrees();
    }
    f32 t = 1.0f;
    if (MoveDuration > 0.0f) {
        t = 1.0f - record.remaining / MoveDuration;
        if (smoothInterpolation)
            t = (3.0f * t - 2.0f * t * t) * t;
    }
    const core::vector3df position = record.startPosition * (1.0f - t) + targetPosition * t;
    core::quaternion q;
    core::vector3df rotation;
    if (!IgnoreRotation) {
        const core::quaternion q0(record.startRotation * 0.017453292f);
        const core::quaternion q1(targetRotation * 0.017453292f);
        q.slerp(q0, q1, t, 0.05f);
        rotation = triggerActions::quaternionToDegrees(q, 57.29578f);
    }
    if (!IgnorePosition) {
        if (physics)
            physics->teleport(position);
        else
            record.object->setPosition(worldToRelativePosition(record.object, position));
    }
    if (!IgnoreRotation) {
        if (physics)
            physics->setBodyRotation(phys::Quat(q.X, q.Y, q.Z, q.W), rotation);
        else
            record.object->setRotation(rotation);
    }
    if (record.remaining == 0.0f)
        finishMove(record);
}

void MoveObjectAction::finishMove(MoveRecord& record) {
    record.remaining = -1.0f;
    record.object->OnAnimate(1);
    PhysicsObject* physics = triggerActions::physicsKind(record.object);
    if (!physics)
        return;
    // A node animated already this frame has not followed its teleported body yet.
    phys::RigidDynamic* moved = movedDynamicActor(physics);
    if (moved && !moved->isKinematic()) {
        physics->syncNodeFromActor(moved, physics);
        physics->updateAbsolutePosition();
    }
    if (DisableColWhileMoving)
        restoreCollision(physics, record);
    phys::RigidDynamic* body = movedDynamicActor(physics);
    if (body && physics->getPhysicsState() == PhysicsState::Dynamic) {
        body->setLinearVelocity(phys::Vec3(0.0f, 0.0f, 0.0f));
        body->setAngularVelocity(phys::Vec3(0.0f, 0.0f, 0.0f));
    }
    if (SetAsNewRespawnPoint) {
        const core::vector3df position = physics->getAbsolutePosition();
        const core::vector3df rotation = physics->getAbsoluteTransformation().getRotationDegrees();
        physics->updateAbsolutePosition();
        PhysicsResetRules& reset = physics->reset();
        reset.spawnPosition = reset.respawnPosition = position;
        reset.spawnRotation = reset.respawnRotation = rotation;
    }
}

void MoveObjectAction::moveTentaro(PlayerObject* player) {
    if (!physicsManager || !physicsManager->isRunning() || !player)
        return;
    if (MoveMode == ReferenceNode)
        targetNode = triggerActions::findObjectByID(TargetID);
    core::vector3df position = TargetPosition;
    core::vector3df rotation = TargetRotation;
    if (targetNode) {
        position = targetNode->getAbsolutePosition();
        rotation = targetNode->getRotation();
    }
    PhysicsObject* animated = triggerActions::physicsKind(targetNode);
    if (MatchAnimatedPose && animated && animated->getMeshNode()) {
        player->matchAnimatedPose(TargetID);
        return;
    }
    const core::quaternion q(rotation * 0.01745f);
    const f32 pose[7] = {q.X, q.Y, q.Z, q.W, position.X, position.Y, position.Z};
    player->setPose(pose);
}

core::vector3df MoveObjectAction::worldToRelativePosition(scene::ISceneNode* node, const core::vector3df& world) {
    const core::matrix4 parent = node->getParent() ? node->getParent()->getAbsoluteTransformation() : core::matrix4();
    const f32* m = parent.pointer();
    // Per-axis scale: the diagonal of an unrotated matrix, else the basis lengths.
    const bool unrotated = std::fabs(m[1]) <= 1e-6f && std::fabs(m[2]) <= 1e-6f && std::fabs(m[4]) <= 1e-6f &&
                           std::fabs(m[6]) <= 1e-6f && std::fabs(m[8]) <= 1e-6f && std::fabs(m[9]) <= 1e-6f &&
                           m[0] > 0.0f && m[5] > 0.0f && m[10] > 0.0f;
    const core::vector3df scale = unrotated ? core::vector3df(m[0], m[5], m[10]) : parent.getScale();
    const core::vector3df d = (world - parent.getTranslation()) / scale;
    // At the parent's origin there is no direction to turn.
    if (d.equals(core::vector3df(), 1e-6f))
        return core::vector3df();
    // The engine refuses to invert a matrix whose determinant is within FLT_MIN of zero.
    core::matrix4 inverse;
    if (!parent.getInverse(inverse))
        inverse.makeIdentity();
    core::vector3df direction = d;
    inverse.rotateVect(direction);
    return direction.normalize() * d.getLength();
}

void MoveObjectAction::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    TriggerAction::serializeAttributes(out, options);
    if (MoveMode == Reset)
        addObjectIDList(out, "ObjectIDs", ObjectIDs.c_str());
    else
        addObjectReference(out, "ObjectID", ObjectID);
    out->addBool("MoveTentaro", MoveTentaro);
    triggerActions::addEnumByIndex(out, "MoveMode", MoveMode, moveModeNames);
    if (MoveMode == ReferenceNode) {
        addObjectReference(out, "TargetID", TargetID);
        if (MoveTentaro)
            out->addBool("MatchAnimatedPose", MatchAnimatedPose);
    } else if (MoveMode == Manual) {
        out->addVector3d("TargetPosition", TargetPosition);
        out->addVector3d("TargetRotation", TargetRotation);
    }
    if (MoveMode != Reset) {
        out->addFloat("MoveDuration", MoveDuration);
        out->addBool("IgnorePosition", IgnorePosition);
        out->addBool("IgnoreRotation", IgnoreRotation);
        out->addBool("DisableColWhileMoving", DisableColWhileMoving);
    }
    if (MoveDuration > 0.0f)
        out->addBool("StopOnTriggerCancelled", StopOnTriggerCancelled);
    out->addBool("DropIfGrabbed", DropIfGrabbed);
    out->addBool("SetAsNewRespawnPoint", SetAsNewRespawnPoint);
}

void MoveObjectAction::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    TriggerAction::deserializeAttributes(in, options);
    ObjectID = in->getAttributeAsInt("ObjectID");
    MoveTentaro = in->getAttributeAsBool("MoveTentaro");
    triggerActions::readEnumByName(in, "MoveMode", moveModeNames, MoveMode);
    readIfPresent(in, "ObjectIDs", ObjectIDs);
    if (ObjectIDs.empty())
        objectIDsPending = false;
    if (MoveMode == ReferenceNode) {
        TargetID = in->getAttributeAsInt("TargetID");
    } else if (MoveMode == Manual) {
        TargetPosition = in->getAttributeAsVector3d("TargetPosition");
        TargetRotation = in->getAttributeAsVector3d("TargetRotation");
    }
    MoveDuration = in->getAttributeAsFloat("MoveDuration");
    // A duration that is not finite gives poses that are not numbers; one below 0, no move.
    clampLevelFloat(getName(), trigger ? trigger->getName() : "", "MoveDuration", MoveDuration, 0.0f,
                    maxLevelMoveSeconds);
    if (MoveDuration > 0.0f)
        StopOnTriggerCancelled = in->getAttributeAsBool("StopOnTriggerCancelled");
    IgnorePosition = in->getAttributeAsBool("IgnorePosition");
    IgnoreRotation = in->getAttributeAsBool("IgnoreRotation");
    DisableColWhileMoving = in->getAttributeAsBool("DisableColWhileMoving");
    DropIfGrabbed = in->getAttributeAsBool("DropIfGrabbed");
    SetAsNewRespawnPoint = in->getAttributeAsBool("SetAsNewRespawnPoint");
    MatchAnimatedPose = in->getAttributeAsBool("MatchAnimatedPose");
}

TriggerAction* MoveObjectAction::clone(TriggerObject* newTrigger) const {
    auto* copy = new MoveObjectAction(newTrigger);
    copyAttributes(this, copy);
    return copy;
}
