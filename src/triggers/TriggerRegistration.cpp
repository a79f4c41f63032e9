#include "triggers/TriggerRegistration.h"

#include "core/TriggerContactSlots.h"
#include "level/LevelHooks.h"
#include "level/LevelInfo.h"
#include "level/SceneNodeTypes.h"
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
    TriggerContactSlots& slots = triggerContactSlots();
    slots.objectEnter = [](scene::ISceneNode* trigger, scene::ISceneNode* node, const core::vector3df& entryPosition,
                           phys::Actor* triggerActor, phys::Actor* otherActor, phys::Shape* otherShape) {
        TriggerObject* target = asTrigger(trigger);
        return target && target->onObjectEnter(node, entryPosition, triggerActor, otherActor, otherShape) != nullptr;
    };
    slots.objectLeave = [](scene::ISceneNode* trigger, scene::ISceneNode* node, phys::Actor* triggerActor,
                           phys::Actor* otherActor, phys::Shape* otherShape) {
        if (TriggerObject* target = asTrigger(trigger))
            target->onObjectLeave(node, triggerActor, otherActor, otherShape);
    };
}
