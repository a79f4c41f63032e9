#include "triggers/TriggerRegistration.h"

#include "core/Globals.h"
#include "level/LevelHooks.h"
#include "level/LevelInfo.h"
#include "level/SceneNodeTypes.h"
#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsFiltering.h"
#include "physics/world/PhysicsHooks.h"
#include "physics/world/PhysicsManager.h"
#include "physics/world/PhysicsUserData.h"
#include "phys/Actor.h"
#include "phys/RigidBody.h"
#include "triggers/TriggerServices.h"
#include "triggers/CheckpointObject.h"
#include "triggers/ConditionalTrigger.h"
#include "triggers/TriggerEventObject.h"
#include "triggers/TriggerObject.h"

using namespace irr;

void registerTriggerTypes() {
    registerSceneNodeType(levelObjectRow<TriggerObject>(typeId("trgr"), "TriggerObject"));
    registerSceneNodeType(levelObjectRow<TriggerEventObject>(typeId("trge"), "TriggerEventObject"));
    registerSceneNodeType(levelObjectRow<ConditionalTrigger>(typeId("cond"), "ConditionalTrigger"));
    registerSceneNodeType(levelObjectRow<CheckpointObject>(typeId("chck"), "CheckpointObject"));
}

namespace {

// The physics object behind a level object, or null.
PhysicsObject* physicsObjectOf(scene::ISceneNode* node) {
    PhysicsUserData* record = findUserDataOfNode(node);
    return record && record->physicsObject ? static_cast<PhysicsObject*>(record->physicsObject) : nullptr;
}

// The trigger whose volume an actor is.
TriggerObject* triggerOfActor(phys::Actor* actor) {
    PhysicsUserData* record = userDataOf(actor);
    return record ? asTrigger(record->trigger) : nullptr;
}

} // namespace

// Triggers look down to the physics world: they build their volumes and read the physics
// objects through it.
void connectTriggersToPhysics() {
    TriggerServiceTable::Physics& physics = triggerServices().physics;
    physics.createTriggerActor = [](TriggerObject* trigger, s32 boundType, const core::vector3df& halfExtents,
                                    scene::IMesh* mesh, bool simpleShape) -> phys::Actor* {
        if (!physicsManager || !trigger)
            return nullptr;
        // Simple volumes report through trigger shapes; accurate ones collide and report
        // their contact points.
        phys::RigidDynamic* actor = physicsManager->createTriggerActor(boundType, core::vector3df(), halfExtents,
                                                                       mesh, simpleShape);
        if (actor)
            actor->userData = trigger->getPhysicsUserData();
        return actor;
    };
    physics.setActorFilterData = [](phys::Actor* actor) {
        TriggerObject* trigger = triggerOfActor(actor);
        phys::RigidActor* rigid = actor ? actor->asRigidActor() : nullptr;
        if (!trigger || !rigid)
            return;
        // Volumes that only the player sets off accept the player's body parts alone.
        const TriggerCondition condition = trigger->getCondition();
        const bool playerOnly =
            condition == TriggerCondition::OnPlayerCollide || condition == TriggerCondition::OnPlayerOutside;
        setActorFilterData(rigid, collisionCategory::TriggerVolume, playerOnly ? 0x3F00u : 0x0FFFFF87u);
    };
    physics.releaseActor = [](phys::Actor* actor) {
        if (physicsManager)
            physicsManager->releaseActor(actor, false);
    };
    physics.setActorPose = [](phys::Actor* actor, const core::vector3df& position, const core::vector3df& rotation) {
        phys::RigidActor* rigid = actor ? actor->asRigidActor() : nullptr;
        const phys::Quat q = eulerDegreesToQuat(rotation);
        if (rigid && isPoseValid(q))
            rigid->setGlobalPose(phys::Transform(toPhys(position), q));
    };
    physics.grabCount = [](scene::ISceneNode* node) -> s32 {
        PhysicsObject* object = physicsObjectOf(node);
        return object ? object->holdCount : 0;
    };
    physics.bodyState = [](scene::ISceneNode* node, TriggerBodyState& state) {
        PhysicsObject* object = physicsObjectOf(node);
        phys::RigidActor* actor = object ? object->getActor() : nullptr;
        phys::RigidDynamic* body = actor ? actor->asRigidDynamic() : nullptr;
        if (!body)
            return false;
        const phys::Transform pose = body->getGlobalPose();
        const phys::Vec3 linear = body->getLinearVelocity();
        const phys::Vec3 angular = body->getAngularVelocity();
        state.position.set(pose.p.x, pose.p.y, pose.p.z);
        state.linearVelocity.set(linear.x, linear.y, linear.z);
        state.angularVelocity.set(angular.x, angular.y, angular.z);
        state.userDataState = static_cast<s32>(object->getPhysicsState());
        state.currentState = state.previousState = state.userDataState;
        return true;
    };
    physics.isThrown = [](scene::ISceneNode* node) {
        PhysicsObject* object = physicsObjectOf(node);
        return object && object->thrown;
    };
    physics.clearThrown = [](scene::ISceneNode* node) {
        if (PhysicsObject* object = physicsObjectOf(node))
            object->thrown = false;
    };
    physics.enableCollisionReport = [](scene::ISceneNode* node, f32 threshold) {
        if (PhysicsObject* object = physicsObjectOf(node))
            object->enableTouchTracking(threshold);
    };
    physics.touchedNodes = [](scene::ISceneNode* node) {
        std::vector<scene::ISceneNode*> touched;
        if (PhysicsObject* object = physicsObjectOf(node))
            for (PhysicsObject* other : object->body().touchList.all())
                touched.push_back(other);
        return touched;
    };
}

void registerTriggerLevelSlots() {
    LevelHookTable::Triggers& level = levelHooks().triggers;
    level.startLevelInfoEvents = [](LevelInfo* levelInfo) {
        if (TriggerObject* trigger = levelInfoTrigger(levelInfo)) {
            TriggerEventInfo event = makeEmptyTriggerEventInfo(nullptr);
            trigger->fireChildEvents(levelInfo, event);
        }
    };
    // Only checkpoints are handed to the level's checkpoint saves.
    level.setCheckpointActive = [](scene::ISceneNode* checkpoint, bool active) {
        if (checkpoint && checkpoint->getType() == typeId("chck"))
            static_cast<CheckpointObject*>(checkpoint)->IsActiveCheckpoint = active;
    };
    level.getCheckpointSpawn = [](scene::ISceneNode* checkpoint, s32& spawnCameraID) {
        if (!checkpoint || checkpoint->getType() != typeId("chck"))
            return false;
        const auto* spawn = static_cast<CheckpointObject*>(checkpoint);
        if (!spawn->UseCheckpointAsSpawn)
            return false;
        spawnCameraID = spawn->SpawnCameraID;
        return true;
    };
}

void registerTriggerSubsystem() {
    registerTriggerTypes();
    registerTriggerLevelSlots();
    // The physics contact dispatch reports touches of trigger volumes here.
    PhysicsHookTable::Triggers& contacts = physicsHooks().triggers;
    contacts.onObjectEnter = [](scene::ISceneNode* trigger, scene::ISceneNode* node, const core::vector3df& position,
                                phys::RigidActor* triggerActor, phys::RigidDynamic* otherDynamic,
                                phys::Shape* otherShape) -> core::vector3df* {
        TriggerObject* target = asTrigger(trigger);
        TriggerContact* record =
            target ? target->onObjectEnter(node, position, triggerActor, otherDynamic, otherShape) : nullptr;
        // The record's second vector is where the dispatch writes the contact normal.
        return record ? &record->secondVector : nullptr;
    };
    contacts.onObjectLeave = [](scene::ISceneNode* trigger, scene::ISceneNode* node, phys::RigidActor* triggerActor,
                                phys::RigidDynamic* otherDynamic, phys::Shape* otherShape) {
        if (TriggerObject* target = asTrigger(trigger))
            target->onObjectLeave(node, triggerActor, otherDynamic, otherShape);
    };
}
