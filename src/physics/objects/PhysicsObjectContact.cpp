// How a physics object answers a contact: its collision sound with the "Velocity"
// parameter, the drag sound against static ground, turning dynamic when touched hard
// enough, the player's impact reactions and the floor-hit suspicion rule.
#include "physics/objects/PhysicsObject.h"

#include "physics/world/PhysicsHooks.h"
#include "physics/world/PhysicsManager.h"

#include "core/Globals.h"
#include "core/Random.h"
#include "core/SoundManager.h"
#include "level/LevelManager.h"
#include "platform/audio/EventSystem.h"
#include "player/PlayerObject.h"

using namespace irr;

namespace {

bool isStaticPhysicsObject(PhysicsObject* object) {
    return object && object->getPhysicsState() == PhysicsState::Static;
}

f32 bodySpeedSquared(phys::RigidActor* actor) {
    const phys::RigidDynamic* dynamic = actor ? actor->asRigidDynamic() : nullptr;
    if (!dynamic)
        return 0.0f;
    const phys::Vec3 v = dynamic->getLinearVelocity();
    return v.x * v.x + v.y * v.y + v.z * v.z;
}

} // namespace

bool PhysicsObject::isGrabbableNow() const { return IsGrabbable && IsVisible && respawnEffectTimer < 0.0f; }

bool PhysicsObject::raiseSuspicion(f32 amount) {
    const auto& add = physicsHooks().characters.addSuspicion;
    if (!add)
        return false;
    SuspicionMeter* record = nullptr;
    if (levelManager)
        record = playerCount() > 0 && getPlayer(0) ? levelManager->getPlayerSuspicion(0)
                                                   : levelManager->suspicionMeter.get();
    const core::aabbox3df box = getTransformedBoundingBox();
    return add(record, amount, 0, (box.MinEdge + box.MaxEdge) * 0.5f);
}

void PhysicsObject::handleContact(PhysicsObject* other, f32 speedSquared, bool begin, f32 impulse) {
    if (begin)
        playCollisionSound(other, speedSquared, impulse);
    else if (bodySettings->dragEvent)
        stopDragSound(other);
}

void PhysicsObject::stopDragSound(PhysicsObject* other) {
    audio::Event* drag = bodySettings->dragEvent;
    if (isStaticPhysicsObject(other) && drag && soundManager && soundManager->isEventActive(drag) &&
        !soundManager->muted)
        soundManager->stopEvent(drag);
}

void PhysicsObject::playCollisionSound(PhysicsObject* other, f32 speedSquared, f32 impulse) {
    if (!actor)
        return;
    PhysicsBodySettings& b = *bodySettings;
    const f32 force = impulse * 0.00001f;
    recordTouch(other);
    const bool muted = !soundManager || soundManager->muted;

    // The drag event is fetched where it plays, on the first held rub on static ground: the
    // reader fetches only the other three.
    const bool rubsOnStatic = isStaticPhysicsObject(other) && holdCount != 0;
    if (rubsOnStatic && !b.dragEvent && !b.SoundDragEvent.empty() && soundManager)
        b.dragEvent = soundManager->getEvent(b.SoundDragEvent.c_str());
    if (b.dragEvent && rubsOnStatic && !muted && !soundManager->isEventActive(b.dragEvent))
        soundManager->startEvent(b.dragEvent);

    PlayerObject* player = playerCount() > 0 ? getPlayer(0) : nullptr;
    if (!other && player) {
        if (userData->state == PhysicsState::Dynamic && force > 5000.0f && player->isImpactReactionBlocked())
            player->playImpactReaction(14);
        if (userData->state != PhysicsState::Static && force > 1200.0f && bodySpeedSquared(actor) > 1.0f &&
            !player->isImpactReactionBlocked())
            player->playImpactReaction(13);
    }

    if (TurnDynamicOnTouch && userData->state == PhysicsState::Kinematic) {
        if (force >= b.TouchForceRequired && !(TouchByTentaroOnly && other && other->holdCount == 0) &&
            isTrulyVisible())
            setCompoundKinematic(false);
    } else if (other && other->TurnDynamicOnTouch && other->getPhysicsState() == PhysicsState::Kinematic &&
               !other->TouchByTentaroOnly && force >= other->body().TouchForceRequired && isTrulyVisible()) {
        other->setCompoundKinematic(false);
    }

    PhysicsSuspicionSettings& s = *suspicionSettings;
    if (s.SuspHitFloorAmount != 0.0f && isStaticPhysicsObject(other) && gameDifficulty != 0 &&
        s.SuspHitFloorLimit != 0 && force >= s.SuspHitFloorForce && holdCount == 0) {
        const core::aabbox3df box = getTransformedBoundingBox();
        const f32 centreY = (box.MinEdge.Y + box.MaxEdge.Y) * 0.5f;
        if ((!s.SuspHitFloorUseCeiling || centreY < s.SuspHitFloorCeiling) && player &&
            raiseSuspicion(s.SuspHitFloorAmount)) {
            s.hitFloorRaised = true;
            --s.SuspHitFloorLimit;
            s.displayTimer = 2.0f;
        }
    }

    if (!b.collisionEvent || !actor->asRigidDynamic())
        return;
    f32 value = bodySpeedSquared(actor);
    if (speedSquared > 0.0f && speedSquared > value)
        value = speedSquared;
    if (force > 0.0f)
        value = force;
    if (!(value > 20.0f) || b.collisionSoundCooldown != 0.0f)
        return;
    const f32 v = core::clamp(value, 20.0f, 1060.0f);
    const f32 parameter = (v - 20.0f) * 0.3076923f;
    if (!b.SoundColEvent.empty() && soundManager)
        if (audio::Event* fresh = soundManager->getEvent(b.SoundColEvent.c_str()))
            b.collisionEvent = fresh;
    if (!muted) {
        const core::vector3df at = getAbsolutePosition();
        const audio::Vector3 position{at.X, at.Y, at.Z}, still{0.0f, 0.0f, 0.0f}, forward{0.0f, 0.0f, 1.0f};
        b.collisionEvent->set3DAttributes(&position, &still, &forward);
        soundManager->setEventParameter(b.collisionEvent, "Velocity", parameter);
        soundManager->setEventVolume(b.collisionEvent, parameter / 320.0f * 0.5f + 0.5f);
        soundManager->startEvent(b.collisionEvent);
    }
    b.collisionSoundCooldown = randomFloatRaw() * 0.1f + 0.1f;
}
