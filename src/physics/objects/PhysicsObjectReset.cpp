// Reset rules and respawn: the per-frame tests (height, spawn and player distance, rest,
// off screen, a hit by the player), the one-second shrink of a requested reset, putting the
// body (or its whole jointed group) back at the respawn pose, and the grow-back effect.
#include "physics/objects/PhysicsObject.h"
#include "physics/objects/RespawnScaleAnimator.h"

#include "physics/world/PhysicsFiltering.h"
#include "physics/world/PhysicsManager.h"

#include "core/Globals.h"
#include "level/LevelInfo.h"
#include "level/WorldTransform.h"
#include "player/PlayerObject.h"

using namespace irr;

namespace {

bool resetModeFires(s32 mode) { return mode == 1 || mode == 2; }

PlayerObject* resetPlayer() { return playerCount() > 0 ? getPlayer(0) : nullptr; }

void releaseFromPlayer(PhysicsObject* object) {
    if (object->holdCount == 0)
        return;
    if (PlayerObject* player = resetPlayer())
        player->releaseObject(object, 4, false);
}

// Puts a body at a pose without velocity and lets its node follow.
void placeBody(PhysicsObject* object, const core::vector3df& position, const core::vector3df& rotation) {
    phys::RigidActor* body = object->getBodyActor();
    if (!body)
        return;
    body->setGlobalPose(phys::Transform(toPhys(position), eulerDegreesToQuat(rotation)), true);
    phys::RigidDynamic* dynamic = body->asRigidDynamic();
    if (dynamic && !dynamic->isKinematic()) {
        dynamic->setLinearVelocity(phys::Vec3(), true);
        dynamic->setAngularVelocity(phys::Vec3(), true);
    }
    if (!object->getUserData()->sharedBody && physicsManager && physicsManager->isSimulationActive())
        object->syncNodeFromActor(body, object);
}

} // namespace

void PhysicsObject::applyResetRules() {
    if (!resetRules || !IsVisible || userData->state == PhysicsState::Static || !physicsManager ||
        !physicsManager->isSimulationActive() || !isTrulyVisible())
        return;
    PhysicsResetRules& r = *resetRules;
    if (r.positionNode)
        r.respawnPosition = r.positionNode->getAbsolutePosition();
    bool due = checkResetHeight();
    due = checkResetDistFromSpawn(due);
    due = checkResetDistFromPlayer(due);
    if (resetModeFires(r.ResetIfPlayerCollide) && r.playerCollided)
        due = true;
    r.playerCollided = false;
    due = checkResetAtRest(due);
    due = checkResetOffscreen(due);

    if (due && respawnEffectTimer < 0.0f && holdCount == 0 && userData->state == PhysicsState::Dynamic) {
        PhysicsSuspicionSettings& s = *suspicionSettings;
        if (s.SuspResetAmount != 0.0f && gameDifficulty != 0 && s.SuspResetLimit != 0 &&
            raiseSuspicion(s.SuspResetAmount)) {
            s.displayTimer = 2.0f;
            --s.SuspResetLimit;
        }
        requestReset();
        return;
    }
    if (respawnEffectTimer >= 0.0f) {
        respawnEffectTimer += objectFrameSeconds();
        if (respawnEffectTimer > 1.0f)
            respawn();
    }
}

bool PhysicsObject::checkResetHeight() {
    const PhysicsResetRules& r = *resetRules;
    const f32 y = getAbsolutePosition().Y;
    if (resetModeFires(r.ResetIfHeight) && r.ResetHeight > y)
        return true;
    return levelFloorHeight > y && levelFloorHeight > -10000.0f;
}

bool PhysicsObject::checkResetDistFromSpawn(bool result) {
    const PhysicsResetRules& r = *resetRules;
    if (r.ResetIfDistFromSpawn != 0 &&
        getAbsolutePosition().getDistanceFromSQ(r.respawnPosition) < r.DistanceFromSpawn * r.DistanceFromSpawn &&
        resetModeFires(r.ResetIfDistFromSpawn))
        return true;
    return result;
}

bool PhysicsObject::checkResetDistFromPlayer(bool result) {
    PhysicsResetRules& r = *resetRules;
    PlayerObject* player = resetPlayer();
    if (r.ResetIfDistFromPlayer == 0 || !player)
        return result;
    if (getAbsolutePosition().getDistanceFromSQ(player->getAbsolutePosition()) <
        r.DistanceFromPlayer * r.DistanceFromPlayer) {
        if (r.awayFromPlayerTimer >= r.SecondsAwayFromPlayer && resetModeFires(r.ResetIfDistFromPlayer))
            result = true;
        r.awayFromPlayerTimer += objectFrameSeconds();
    } else {
        r.awayFromPlayerTimer = 0.0f;
    }
    return result;
}

bool PhysicsObject::checkResetAtRest(bool result) {
    PhysicsResetRules& r = *resetRules;
    if (r.ResetIfAtRest == 0)
        return result;
    phys::RigidDynamic* dynamic = actor ? actor->asRigidDynamic() : nullptr;
    bool moving = !dynamic || userData->state == PhysicsState::Kinematic;
    if (!moving) {
        const phys::Vec3 v = dynamic->getLinearVelocity();
        moving = std::fabs(v.x) > 0.0001f || std::fabs(v.y) > 0.0001f || std::fabs(v.z) > 0.0001f;
    }
    if (moving || getAbsolutePosition().getDistanceFromSQ(r.respawnPosition) <= 3.0f)
        r.atRestTimer = 0.0f;
    else
        r.atRestTimer += objectFrameSeconds();
    if (r.atRestTimer > r.SecondsAtRest) {
        r.atRestTimer = 0.0f;
        if (resetModeFires(r.ResetIfAtRest))
            result = true;
    }
    return result;
}

bool PhysicsObject::checkResetOffscreen(bool result) {
    PhysicsResetRules& r = *resetRules;
    if (!meshNode || r.ResetIfOffscreen == 0)
        return result;
    if (SceneManager && SceneManager->isCulled(meshNode))
        r.offscreenTimer += objectFrameSeconds();
    else
        r.offscreenTimer = 0.0f;
    if (r.offscreenTimer > r.SecondsOffscreen) {
        r.offscreenTimer = 0.0f;
        if (resetModeFires(r.ResetIfOffscreen))
            result = true;
    }
    return result;
}

void PhysicsObject::requestReset() {
    if (userData->sharedBody || bodySettings->jointedObjects.size() != 0) {
        respawn();
        return;
    }
    if (respawnEffectTimer >= 0.0f)
        return;
    releaseFromPlayer(this);
    respawnEffectTimer = 0.0f;
    if (!resetRules->respawnEffect)
        createRespawnEffect();
    if (auto* effect = static_cast<RespawnScaleAnimator*>(resetRules->respawnEffect)) {
        const core::vector3df spawnScale = resetRules->spawnScale;
        effect->clearKeys();
        effect->addKey(spawnScale);
        effect->addKey(spawnScale);
        effect->addKey(core::vector3df(0.001f, 0.001f, 0.001f));
        effect->setEnabled(true, this);
        effect->setElapsedTime(0.0f);
    }
}

void PhysicsObject::respawn() {
    beginRespawnScale();
    releaseFromPlayer(this);
    PhysicsResetRules& r = *resetRules;
    if (r.positionNode) {
        r.respawnPosition = r.positionNode->getAbsolutePosition();
        r.respawnRotation = r.positionNode->getAbsoluteTransformation().getRotationDegrees();
    }
    if (!actor) {
        setPosition(r.respawnPosition);
        setRotation(r.respawnRotation);
    } else if (userData->state == PhysicsState::Kinematic) {
        setNodeWorldPosition(this, r.respawnPosition);
        setNodeWorldRotation(this, r.respawnRotation);
    } else if (bodySettings->jointedObjects.size() == 0) {
        placeBody(this, r.respawnPosition, r.respawnRotation);
    } else {
        std::vector<PhysicsObject*> found, visited;
        collectJointedGroup(this, found, visited);
        if (std::find(found.begin(), found.end(), this) == found.end())
            found.insert(found.begin(), this);
        for (PhysicsObject* member : found) {
            if (member->getPhysicsState() != PhysicsState::Dynamic)
                continue;
            releaseFromPlayer(member);
            placeBody(member, member->reset().respawnPosition, member->reset().respawnRotation);
        }
    }
    if (IsVisible && actor) {
        const bool on = !bodySettings->collisionForcedOff;
        setActorShapeFlag(actor, phys::ShapeSimulation, on);
        setActorShapeFlag(actor, phys::ShapeSceneQuery, on);
    }
    if (meshNode) {
        meshNode->setAnimationSpeed(meshSettings->AnimFPS);
        meshNode->setFrameLoop(meshSettings->StartFrame, meshSettings->EndFrame);
        meshNode->setCurrentFrame(static_cast<f32>(meshSettings->SpawnFrame));
    }
    if (r.ResetAsKinematic && userData->state != PhysicsState::Kinematic)
        setKinematic(true);
    suspicionSettings->hitFloorRaised = false;
}

void PhysicsObject::createRespawnEffect() {
    RespawnScaleAnimator* effect = nullptr;
    for (scene::ISceneNodeAnimator* animator : Animators)
        if (animator->getType() == RespawnScaleAnimator::typeCode() &&
            static_cast<RespawnScaleAnimator*>(animator)->id == RespawnScaleAnimator::effectID)
            effect = static_cast<RespawnScaleAnimator*>(animator);
    if (!effect) {
        effect = new RespawnScaleAnimator(3.0f, 0.5f);
        for (int i = 0; i < 3; ++i)
            effect->addKey(core::vector3df());
        addAnimator(effect);
        effect->drop();
    }
    effect->id = RespawnScaleAnimator::effectID;
    effect->animateScale = true;
    effect->animatePosition = effect->animateRotation = false;
    effect->resetOnDisable = effect->disableAtEnd = effect->saveDisabled = true;
    resetRules->respawnEffect = effect;
}

void PhysicsObject::beginRespawnScale() {
    respawnEffectTimer = -1.0f;
    if (!resetRules->respawnEffect)
        createRespawnEffect();
    auto* effect = static_cast<RespawnScaleAnimator*>(resetRules->respawnEffect);
    if (!effect)
        return;
    const core::vector3df tiny(0.001f, 0.001f, 0.001f);
    setScale(tiny);
    effect->setEnabled(true, this);
    effect->clearKeys();
    effect->addKey(tiny);
    effect->addKey(resetRules->spawnScale);
    effect->addKey(resetRules->spawnScale);
    effect->setElapsedTime(0.0f);
}
