#pragma once

#include <irrlicht.h>

#include <functional>
#include <vector>

namespace phys {
class Actor;
} // namespace phys

class PlayerLimb;
struct LimbSet;
class TriggerObject;

// What triggers ask of subsystems that are built after them (the physics objects, the
// characters, the player's limbs). Each slot is tested for emptiness where it is used: an
// empty slot answers the default written beside it, which is what a level without such
// objects would answer. The subsystem that lands fills its slots at start-up; tests fill
// them with fakes and call resetTriggerServices() afterwards.

// The state of a physics object's dynamic rigid body as the conditions read it.
struct TriggerBodyState {
    irr::core::vector3df position;
    irr::core::vector3df linearVelocity;
    irr::core::vector3df angularVelocity;
    irr::s32 userDataState = 2; // its PhysicsUserData's state: 0 static, 1 kinematic, 2 dynamic
    irr::s32 currentState = 2;  // the object's current and previous physics-state numbers
    irr::s32 previousState = 2;
};

struct TriggerServiceTable {
    struct Physics {
        // PhysicsManager::createTriggerActor with the trigger's PhysicsUserData set on the
        // actor (boundType: 0 box .. 4 convex); null: no volume (empty: null).
        std::function<phys::Actor*(TriggerObject* trigger, irr::s32 boundType,
                                   const irr::core::vector3df& halfExtents, irr::scene::IMesh* mesh,
                                   bool simpleShape)>
            createTriggerActor;
        // setActorFilterData on a trigger actor.
        std::function<void(phys::Actor* actor)> setActorFilterData;
        // PhysicsManager::releaseActor.
        std::function<void(phys::Actor* actor)> releaseActor;
        // The actor's global pose (rotation in degrees); the caller has checked the pose.
        std::function<void(phys::Actor* actor, const irr::core::vector3df& position,
                           const irr::core::vector3df& rotationDegrees)>
            setActorPose;
        // A physics object's grab count (empty: 0).
        std::function<irr::s32(irr::scene::ISceneNode* object)> grabCount;
        // The object's dynamic rigid body; false when it has none (empty: false).
        std::function<bool(irr::scene::ISceneNode* object, TriggerBodyState& state)> bodyState;
        // The thrown flag, and clearing it (empty: false, nothing).
        std::function<bool(irr::scene::ISceneNode* object)> isThrown;
        std::function<void(irr::scene::ISceneNode* object)> clearThrown;
        // PhysicsObject::enableCollisionReport(threshold).
        std::function<void(irr::scene::ISceneNode* object, irr::f32 threshold)> enableCollisionReport;
        // The nodes the object touched during the current frame; a null entry stands for
        // player 0 (empty: none).
        std::function<std::vector<irr::scene::ISceneNode*>(irr::scene::ISceneNode* object)> touchedNodes;
    } physics;

    struct Characters {
        // A conditional trigger below a waypoint broke: the waypoint starts none of the rest
        // of that arrival and cancels its pending child events (empty: the events are
        // cancelled alone).
        std::function<void(irr::scene::ISceneNode* waypoint)> breakWaypoint;
        // A character's vision record exists and reports the player seen (empty: false).
        std::function<bool(irr::scene::ISceneNode* character)> seesPlayer;
    } characters;

    struct Players {
        // The object a limb holds, or null (empty: null).
        std::function<irr::scene::ISceneNode*(PlayerLimb* limb)> heldObject;
        // Whether the actor is one of the limb's segment actors (empty: false).
        std::function<bool(PlayerLimb* limb, phys::Actor* actor)> limbHasActor;
        // The player object that owns a limb (empty: null).
        std::function<irr::scene::ISceneNode*(irr::scene::ISceneNode* limb)> limbOwner;
        // The limb helpers the "Tentaro Controls" action calls (empty: nothing, false).
        // Manual control of a limb set's controlled limbs on or off.
        std::function<void(const LimbSet& limbs, bool enabled)> setLimbsControlEnabled;
        std::function<void(PlayerLimb* limb, irr::f32 height)> setLimbTipHeight;
        // Whether the set's first (0), second (1) or either (other) controlled limb holds.
        std::function<bool(const LimbSet& limbs, irr::s32 side)> isLimbHolding;
        // Makes the limb grab the object at once: it becomes the touched object, the limb's
        // grab starts in full, its touch point is updated and the set's grab is marked forced.
        std::function<void(const LimbSet& limbs, PlayerLimb* limb, irr::scene::ISceneNode* object)> forceLimbGrab;
        // Moves the limb's grab joints onto the object (after forceLimbGrab).
        std::function<void(PlayerLimb* limb, irr::scene::ISceneNode* object)> rebindLimbToArticulation;
    } players;
};

TriggerServiceTable& triggerServices();
void resetTriggerServices();
