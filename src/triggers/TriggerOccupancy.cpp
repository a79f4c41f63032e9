// Which shapes are inside a trigger's volumes, and the previous frame's copy of each list
// from which arrivals and departures are seen.
#include "triggers/TriggerObject.h"

using namespace irr;

namespace {

void eraseFirstContact(TriggerContactList& list, phys::Actor* otherActor, phys::Shape* otherShape) {
    if (otherShape) {
        for (auto it = list.begin(); it != list.end(); ++it)
            if (it->otherShape == otherShape) {
                list.erase(it);
                return;
            }
    }
    for (auto it = list.begin(); it != list.end(); ++it)
        if (it->otherActor == otherActor) {
            list.erase(it);
            return;
        }
}

void copyContactsInto(const TriggerContactList& current, TriggerContactList& previous) {
    // The previous list never shrinks; records beyond the current ones keep a null node.
    if (previous.size() < current.size())
        previous.resize(current.size());
    for (TriggerContact& record : previous)
        record = TriggerContact();
    for (std::size_t i = 0; i < current.size(); ++i) {
        previous[i].node = current[i].node;
        previous[i].otherActor = current[i].otherActor;
        previous[i].otherShape = current[i].otherShape;
        previous[i].entryPosition = current[i].entryPosition;
    }
}

} // namespace

TriggerContact* TriggerObject::onObjectEnter(scene::ISceneNode* node, const core::vector3df& entryPosition,
                                             phys::Actor* triggerActor, phys::Actor* otherActor,
                                             phys::Shape* otherShape) {
    if (!node)
        return nullptr;
    phys::Actor* reporting = triggerActor ? triggerActor : mainActor;
    lastContactPosition = entryPosition;
    TriggerContactList& list = (CreateSkin && reporting && reporting == skinActor) ? skinContacts : mainContacts;
    for (const TriggerContact& contact : list)
        if (otherShape ? contact.otherShape == otherShape : contact.otherActor == otherActor)
            return nullptr;
    if (LimitPerObject) {
        // Counts are never lowered: the limit is on entries over the trigger's life.
        s32& count = entryCounts[node];
        ++count;
        if (count > LimitPerObjectCount)
            return nullptr;
    }
    TriggerContact record;
    record.node = node;
    record.otherActor = otherActor;
    record.otherShape = otherShape;
    record.entryPosition = entryPosition;
    list.push_back(record);
    return &list.back();
}

void TriggerObject::onObjectLeave(scene::ISceneNode* node, phys::Actor* triggerActor, phys::Actor* otherActor,
                                  phys::Shape* otherShape) {
    if (!node)
        return;
    phys::Actor* reporting = triggerActor ? triggerActor : mainActor;
    TriggerContactList& list = (CreateSkin && reporting && reporting == skinActor) ? skinContacts : mainContacts;
    eraseFirstContact(list, otherActor, otherShape);
}

TriggerContactList& TriggerObject::getActiveContactList() {
    return (CreateSkin && ConditionMet) ? skinContacts : mainContacts;
}

TriggerContactList& TriggerObject::getActivePreviousList() {
    return (CreateSkin && ConditionMet) ? skinPrevious : mainPrevious;
}

void TriggerObject::snapshotContacts() {
    copyContactsInto(mainContacts, mainPrevious);
    if (CreateSkin)
        copyContactsInto(skinContacts, skinPrevious);
}
