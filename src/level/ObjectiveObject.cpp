#include "level/ObjectiveObject.h"

#include "core/Globals.h"
#include "level/AttributeExtras.h"
#include "level/LevelHooks.h"
#include "level/LevelManager.h"

#include <algorithm>
#include <vector>

using namespace irr;

void ObjectiveObject::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    LevelObject::serializeAttributes(out, options);
    out->addString("TextID", TextID.c_str());
    out->addInt("IconFrame", IconFrame);
    out->addBool("IsRevealed", IsRevealed);
    out->addBool("IsCompleted", IsCompleted);
    out->addBool("ReducesSuspicion", ReducesSuspicion);
    out->addFloat("SuspicionReduction", SuspicionReduction);
    out->addInt("ObjectiveListIndex", levelManager ? levelManager->objectives.rowOf(getID()) : -1);
}

void ObjectiveObject::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    LevelObject::deserializeAttributes(in, options);
    if (in->existsAttribute("TextID"))
        TextID = in->getAttributeAsStringW("TextID").c_str();
    readIfPresent(in, "IconFrame", IconFrame);
    readIfPresent(in, "IsRevealed", IsRevealed);
    readIfPresent(in, "IsCompleted", IsCompleted);
    readIfPresent(in, "ReducesSuspicion", ReducesSuspicion);
    readIfPresent(in, "SuspicionReduction", SuspicionReduction);
    readIfPresent(in, "ObjectiveListIndex", ListIndexRead);
}

scene::ISceneNode* ObjectiveObject::clone(scene::ISceneNode* newParent, scene::ISceneManager* newManager) {
    return cloneAs<ObjectiveObject>(newParent, newManager);
}

ObjectiveEntry ObjectiveObject::getEntry() const {
    ObjectiveEntry entry;
    entry.id = getID();
    entry.textID = TextID;
    entry.iconFrame = IconFrame;
    entry.revealed = IsRevealed;
    entry.completed = IsCompleted;
    return entry;
}

void ObjectiveObject::setRevealed(bool revealed) {
    IsRevealed = revealed;
    if (levelManager)
        levelManager->objectives.update(getEntry());
}

void ObjectiveObject::complete() {
    if (IsCompleted)
        return;
    IsCompleted = true;
    if (!levelManager)
        return;
    levelManager->objectives.complete(getID());
    const auto& reduce = levelHooks().characters.reduceSuspicion;
    if (ReducesSuspicion && reduce)
        if (SuspicionMeter* meter = levelManager->getPlayerSuspicion(0))
            reduce(*meter, SuspicionReduction);
}

void ObjectiveObject::addToObjectiveList() {
    if (IsRevealed && levelManager)
        levelManager->objectives.add(getEntry());
}

void ObjectiveObject::replaceFrom(const ObjectiveObject& source) {
    TextID = source.TextID;
    IconFrame = source.IconFrame;
    ReducesSuspicion = source.ReducesSuspicion;
    SuspicionReduction = source.SuspicionReduction;
    if (levelManager)
        levelManager->objectives.update(getEntry());
}


namespace {

void collectListed(scene::ISceneNode* node, std::vector<ObjectiveObject*>& listed) {
    if (node->getType() == typeId("obji")) {
        auto* objective = static_cast<ObjectiveObject*>(node);
        if (objective->ListIndexRead >= 0)
            listed.push_back(objective);
    }
    for (scene::ISceneNode* child : node->getChildren())
        collectListed(child, listed);
}

} // namespace

void listLoadedObjectives(scene::ISceneNode* root, ObjectiveList& list) {
    if (!root)
        return;
    std::vector<ObjectiveObject*> listed;
    collectListed(root, listed);
    std::stable_sort(listed.begin(), listed.end(), [](const ObjectiveObject* a, const ObjectiveObject* b) {
        return a->ListIndexRead < b->ListIndexRead;
    });
    for (ObjectiveObject* objective : listed)
        list.add(objective->getEntry());
}
