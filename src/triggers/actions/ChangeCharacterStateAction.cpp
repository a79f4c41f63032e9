#include "triggers/actions/ChangeCharacterStateAction.h"

#include "characters/CharacterObject.h"
#include "characters/CharacterProfile.h"
#include "characters/CharacterStates.h"
#include "characters/SuspicionRules.h"
#include "core/Globals.h"
#include "level/AttributeExtras.h"
#include "triggers/actions/ActionSupport.h"
#include "triggers/actions/TriggerControlActions.h"

using namespace irr;

namespace {

// The character of the ID through the engine's search over the scene, or null.
CharacterObject* findCharacterInScene(s32 id) {
    if (id == 0 || id == -1 || !gameDevice)
        return nullptr;
    scene::ISceneNode* node = gameDevice->getSceneManager()->getSceneNodeFromId(id);
    return node && node->getType() == typeId("crct") ? static_cast<CharacterObject*>(node) : nullptr;
}

// An animation name offered as the choices of the character's profile (no choices without
// one); a plain text in the file.
void addStateAnimationKey(io::IAttributes* out, const char* key, const std::string& name,
                          const CharacterObject* character) {
    static const char* const noChoices[] = {nullptr};
    const CharacterProfile* profile = character ? character->getProfile() : nullptr;
    out->addEnum(key, name.c_str(), profile ? profile->getNameList() : noChoices);
}

void readStateAnimationKey(io::IAttributes* in, const char* key, std::string& name) {
    if (in->existsAttribute(key))
        name = in->getAttributeAsString(key).c_str();
}

} // namespace

void ChangeCharacterStateAction::execute(TriggerEventInfo&) {
    logStep();
    CharacterObject* character = findCharacterInScene(CharacterID);
    if (!character)
        return;
    if (ChangePathBehavior) {
        character->pathBehavior = static_cast<::PathBehavior>(PathBehavior);
        character->resumePathFromLastWaypoint();
    }
    if (ChangeParentWaypoint)
        character->setParentWaypointID(ParentWaypointID);
    character->setWaypoint(TargetWaypointID);
    if (CharacterRotateSpeed != 0.0f)
        character->RotateSpeed = CharacterRotateSpeed;
    // The same speed keeps the walk animation running as it is.
    if (CharacterSpeed != 0.0f && CharacterSpeed != character->WalkSpeed)
        character->setWalkSpeed(CharacterSpeed);
    character->setLookTargetID(LookTargetID);
    character->setStateAnimationName(CharacterStateId::Walking, WalkingAnimName);
    character->setStateAnimationName(CharacterStateId::Stopped, StoppedAnimName);
    character->setStateAnimationName(CharacterStateId::Reacting, ReactingAnimName);
    // NoticingAnimName is kept with the others, but no state plays it.

    CharacterStateMachine& machine = character->stateMachine();
    switch (CharacterState) {
    case CharacterStateId::Walking:
    case CharacterStateId::Stopped:
        if (machine.currentID() != CharacterState) {
            machine.changeState(characterState(CharacterState));
            machine.global = characterState(CharacterState);
        }
        break;
    case CharacterStateId::Reacting:
    case CharacterStateId::Noticing:
        if (machine.currentID() != CharacterState)
            machine.changeState(characterState(CharacterState));
        break;
    default: // Idle, Discovered and No Change change nothing
        break;
    }
    character->setSuspicionType(CharacterSuspicionType);
    character->StopForTentaro = StopForTentaro;
}

void ChangeCharacterStateAction::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions*) const {
    triggerActions::addEnumByIndex(out, "CharacterState", CharacterState, characterStateNames);
    addObjectReference(out, "CharacterID", CharacterID);
    if (CharacterState == CharacterStateId::Walking)
        out->addFloat("CharacterSpeed", CharacterSpeed);
    else
        addObjectReference(out, "LookTargetID", LookTargetID);
    out->addFloat("CharacterRotateSpeed", CharacterRotateSpeed);
    out->addInt("TargetWaypointID", TargetWaypointID);
    out->addBool("ChangeParentWaypoint", ChangeParentWaypoint);
    if (ChangeParentWaypoint)
        addObjectReference(out, "ParentWaypointID", ParentWaypointID);
    out->addBool("ChangePathBehavior", ChangePathBehavior);
    if (ChangePathBehavior)
        triggerActions::addEnumByIndex(out, "PathBehavior", PathBehavior, characterPathBehaviorNames);
    const CharacterObject* character = findCharacterInScene(CharacterID);
    addStateAnimationKey(out, "WalkingAnimName", WalkingAnimName, character);
    addStateAnimationKey(out, "StoppedAnimName", StoppedAnimName, character);
    addStateAnimationKey(out, "ReactingAnimName", ReactingAnimName, character);
    addStateAnimationKey(out, "NoticingAnimName", NoticingAnimName, character);
    triggerActions::addEnumByIndex(out, "CharacterSuspicionType", CharacterSuspicionType,
                                   suspicionCharacterTypeNames);
    out->addBool("StopForTentaro", StopForTentaro);
}

void ChangeCharacterStateAction::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions*) {
    triggerActions::readKnownEnum(in, "CharacterState", characterStateNames, CharacterState);
    if (readIfPresent(in, "CharacterID", CharacterID))
        if (CharacterObject* character = findCharacterInScene(CharacterID)) {
            CharacterSpeed = character->WalkSpeed;
            CharacterRotateSpeed = character->RotateSpeed;
        }
    readIfPresent(in, "CharacterSpeed", CharacterSpeed);
    readIfPresent(in, "CharacterRotateSpeed", CharacterRotateSpeed);
    readIfPresent(in, "LookTargetID", LookTargetID);
    readIfPresent(in, "ChangeParentWaypoint", ChangeParentWaypoint);
    readIfPresent(in, "TargetWaypointID", TargetWaypointID);
    readIfPresent(in, "ParentWaypointID", ParentWaypointID);
    readIfPresent(in, "ChangePathBehavior", ChangePathBehavior);
    triggerActions::readKnownEnum(in, "PathBehavior", characterPathBehaviorNames, PathBehavior);
    readStateAnimationKey(in, "WalkingAnimName", WalkingAnimName);
    readStateAnimationKey(in, "StoppedAnimName", StoppedAnimName);
    readStateAnimationKey(in, "ReactingAnimName", ReactingAnimName);
    readStateAnimationKey(in, "NoticingAnimName", NoticingAnimName);
    triggerActions::readKnownEnum(in, "CharacterSuspicionType", suspicionCharacterTypeNames, CharacterSuspicionType);
    readIfPresent(in, "StopForTentaro", StopForTentaro);
}

TriggerAction* ChangeCharacterStateAction::clone(TriggerObject* newTrigger) const {
    auto* copy = new ChangeCharacterStateAction(newTrigger);
    copyAttributes(this, copy);
    return copy;
}
