#pragma once

#include "phys/Phys.h"

#include <irrlicht.h>

#include <functional>

struct SuspicionMeter;
class DelegateList;
class PhysicsObject;

// Calls from the physics subsystem up into the subsystems that stand above it (triggers,
// characters, cameras, screens). Each slot is tested for emptiness where it is called: an
// empty slot does nothing or answers the default written next to it. Each of those fills its
// slots in its registration function; tests fill them with recorders and call
// resetPhysicsHooks().
struct PhysicsHookTable {
    struct Triggers {
        // A shape touched a trigger volume: TriggerObject::onObjectEnter(other, position,
        // trigger actor, other body when dynamic, other shape) on the trigger object. Answers
        // the contact normal of the record made, which the dispatch may set, or null (empty:
        // null).
        std::function<irr::core::vector3df*(irr::scene::ISceneNode* trigger, irr::scene::ISceneNode* other,
                                            const irr::core::vector3df& position, phys::RigidActor* triggerActor,
                                            phys::RigidDynamic* otherDynamic, phys::Shape* otherShape)>
            onObjectEnter;
        // The touch ended: TriggerObject::onObjectLeave.
        std::function<void(irr::scene::ISceneNode* trigger, irr::scene::ISceneNode* other,
                           phys::RigidActor* triggerActor, phys::RigidDynamic* otherDynamic,
                           phys::Shape* otherShape)>
            onObjectLeave;
    } triggers;

    struct Characters {
        // addSuspicion(record, amount, kind, point): whether suspicion was raised (empty:
        // false). Physics objects pass kind 0.
        std::function<bool(SuspicionMeter* record, irr::f32 amount, irr::s32 kind, const irr::core::vector3df& point)>
            addSuspicion;
        // getSuspicionValues(character type, kind): the rule's amount and speed threshold
        // (empty: zeros).
        std::function<void(irr::s32 characterType, irr::s32 kind, irr::f32& amount, irr::f32& speedThreshold)>
            getSuspicionValues;
        // A physics object struck a character: its suspicion raise and the character's
        // reaction (empty: nothing happens).
        std::function<bool(PhysicsObject* object, irr::scene::ISceneNode* character, phys::RigidActor* objectActor,
                           const phys::ContactPair& pair)>
            onCharacterStruck;
        // A character's controller ran into a shape while it moved (the controller's user
        // data is the character): a thrown or held object it met strikes it; a mere touch is
        // nothing (empty: nothing).
        std::function<void(void* character, phys::Shape* shape, phys::RigidActor* actor,
                           const irr::core::vector3df& position)>
            onControllerShapeHit;
        // A character's controller ran into a shape: whether the character walks, with the
        // walk vector its walking keeps and its push value, by which it pushes a free object
        // aside (empty: false, nothing is pushed).
        std::function<bool(void* character, irr::core::vector3df& walkVector, irr::f32& pushValue)> walkingPush;
        // Two characters' controllers met (this controller's character, then the other's):
        // of two stopped characters, one that was walking walks on (empty: both stay).
        std::function<void(void* character, void* other)> onControllersMet;
        // The node's animators of the ID start: what an ended mesh animation names to follow
        // it (empty: nothing starts).
        std::function<void(irr::scene::ISceneNode* node, irr::s32 id)> enableAnimators;
        // Switches one of the game's own animators on or off; false when the animator has no
        // switch, as the engine's have none (empty: false).
        std::function<bool(irr::scene::ISceneNodeAnimator* animator, bool enabled)> setAnimatorEnabled;
    } characters;

    struct Cameras {
        // Starts the cutscene object (type 'cuts'; empty: nothing).
        std::function<void(irr::scene::ISceneNode* cutscene)> startCutscene;
        // The listeners the cutscene object calls when it finishes (empty: null).
        std::function<DelegateList*(irr::scene::ISceneNode* cutscene)> cutsceneFinishedListeners;
    } cameras;

    struct Screens {
        // The screen manager's debug keys, read once per step (empty: nothing).
        std::function<void()> handleDebugKeys;
        // A catch-up step's frame of the screen manager: its update, then its debug keys
        // (empty: nothing).
        std::function<void()> catchUpUpdate;
    } screens;
};

PhysicsHookTable& physicsHooks();
void resetPhysicsHooks();
