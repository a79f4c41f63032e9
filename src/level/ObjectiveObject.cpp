#include "level/ObjectiveObject.h"

#include "core/Globals.h"
#include "level/AttributeExtras.h"
#include "level/LevelHooks.h"
#include "level/LevelManager.h"

using namespace irr;

void ObjectiveObject::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    LevelObject::serializeAttributes(out, options);
    out->addString("TextID", TextID.c_str());
    out->addInt("IconFrame", IconFrame);
    out->addBool("IsRevealed", IsRevealed);
    out->addBool("IsCompleted", IsCompleted);
    out->addBool("ReducesSuspicion", ReducesSuspicion);
    out->addFloat("SuspicionReduction", SuspicionReduction);
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

