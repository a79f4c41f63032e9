#include "triggers/TriggerRegistration.h"

#include "core/Globals.h"
#include "level/LevelHooks.h"
#include "level/LevelInfo.h"
#include "level/SceneNodeTypes.h"
#include "physics/world/PhysicsHooks.h"
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
