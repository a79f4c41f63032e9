#pragma once

#include "phys/Phys.h"

#include <irrlicht.h>

#include <functional>

struct SuspicionMeter;

// Calls from the physics subsystem into subsystems that arrive later (triggers, characters).
// Each slot is tested for emptiness where it is called: an empty slot does nothing or
// answers the default written next to it. The subsystem that lands fills its slots in its
// registration function; tests fill them with recorders and call resetPhysicsHooks().
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
    } characters;

    struct Render {
        // Prepares a skinned mesh node for the renderer's skinning shader and switches its
        // hardware skinning as the shader settings allow (empty: the engine skins the mesh
        // on the processor, which every driver can draw).
        std::function<void(irr::scene::IAnimatedMeshSceneNode* node)> prepareSkinnedMesh;
    } render;
};

PhysicsHookTable& physicsHooks();
void resetPhysicsHooks();
