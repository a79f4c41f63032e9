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

void registerTriggerSubsystem() {
    registerTriggerTypes();
    levelHooks().triggers.startLevelInfoEvents = [](LevelInfo* levelInfo) {
        if (TriggerObject* trigger = levelInfo ? levelInfo->getTrigger() : nullptr) {
            TriggerEventInfo event = makeEmptyTriggerEventInfo(nullptr);
            trigger->fireChildEvents(levelInfo, event);
        }
    };
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
