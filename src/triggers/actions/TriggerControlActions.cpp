#include "triggers/actions/TriggerControlActions.h"

#include "camera/CutsceneObject.h"
#include "core/Globals.h"
#include "level/AttributeExtras.h"
#include "level/LevelLimits.h"
#include "level/LevelManager.h"
#include "triggers/CheckpointObject.h"
#include "triggers/TriggerObject.h"
#include "triggers/actions/ActionSupport.h"

using namespace irr;

const char* const levelTransitionNames[6] = {"Circle Wipe Image", "Circle Wipe Black", "Fade to Black",
                                             "Fade to White", "None", nullptr};

namespace {

bool writesEditorKeys(const io::SAttributeReadWriteOptions* options) {
    return options && (options->Flags & io::EARWF_FOR_EDITOR);
}

} // namespace

// --- Run Trigger ------------------------------------------------------------------------------

void RunTriggerAction::execute(TriggerEventInfo&) {
    scene::ISceneNode* node = triggerActions::findObjectByID(ObjectID);
    TriggerObject* target = asTrigger(node);
    if (!target) {
        if (node && node->getType() == typeId("cuts")) {
            logStep();
            static_cast<CutsceneObject*>(node)->startCutscene();
        }
        return;
    }
    logStep();
    TriggerEventInfo event = makeEmptyTriggerEventInfo(nullptr);
    if (PhysicsObjectID != 0) {
        scene::ISceneNode* cause = triggerActions::findObjectByID(PhysicsObjectID);
        if (isHoldableKind(cause)) {
            event.object = cause;
            event.position = cause->getAbsolutePosition();
            event.secondVector.set(0.0f, 1.0f, 0.0f);
        }
    }
    target->fireEvent(event);
    if (SetConditionMet) {
        target->ConditionMet = true;
        target->PrevConditionMet = true;
    }
}

void RunTriggerAction::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    addObjectReference(out, "ObjectID", ObjectID);
    const bool editor = writesEditorKeys(options);
    if (editor || PhysicsObjectID != 0)
        addObjectReference(out, "PhysicsObjectID", PhysicsObjectID);
    if (editor || SetConditionMet)
        out->addBool("SetConditionMet", SetConditionMet);
}

void RunTriggerAction::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions*) {
    readIfPresent(in, "ObjectID", ObjectID);
    readIfPresent(in, "PhysicsObjectID", PhysicsObjectID);
    readIfPresent(in, "SetConditionMet", SetConditionMet);
}

TriggerAction* RunTriggerAction::clone(TriggerObject* newTrigger) const {
    auto* copy = new RunTriggerAction(newTrigger);
    copyAttributes(this, copy);
    return copy;
}

// --- one-ID actions and Reset Trigger -----------------------------------------------------------

void ObjectIDAction::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions*) const {
    addObjectReference(out, "ObjectID", ObjectID);
}

void ObjectIDAction::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions*) {
    readIfPresent(in, "ObjectID", ObjectID);
}

void ResetTriggerAction::execute(TriggerEventInfo&) {
    TriggerObject* target = asTrigger(triggerActions::findObjectByID(ObjectID));
    if (!target)
        return;
    logStep();
    target->PreCondTimer = 0.0f;
    target->IsActive = false;
    target->ConditionMet = false;
    target->PrevConditionMet = false;
    target->entryCounts.clear();
    target->releasedObject = nullptr;
    target->snapshotContacts();
    if (target->getType() == typeId("chck")) {
        auto* checkpoint = static_cast<CheckpointObject*>(target);
        checkpoint->CheckpointSaved = false;
        checkpoint->IsActiveCheckpoint = false;
    }
}

TriggerAction* ResetTriggerAction::clone(TriggerObject* newTrigger) const {
    auto* copy = new ResetTriggerAction(newTrigger);
    copyAttributes(this, copy);
    return copy;
}

// --- Run Fake Transition ----------------------------------------------------------------------------

void RunFakeTransitionAction::execute(TriggerEventInfo&) {
    logStep();
    if (!levelManager)
        return;
    // Timed with the script, whose events it hides.
    levelManager->queueTransition(true, TransitionType, 1.0f, HoldLength, 2, true);
    levelManager->queueTransition(false, TransitionType, 1.0f, HoldLength, 2, true);
}

void RunFakeTransitionAction::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions*) const {
    triggerActions::addEnumByIndex(out, "TransitionType", TransitionType, levelTransitionNames);
    out->addFloat("HoldLength", HoldLength);
}

void RunFakeTransitionAction::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions*) {
    triggerActions::readKnownEnum(in, "TransitionType", levelTransitionNames, TransitionType);
    // A hold without end would cover the level for good.
    if (readIfPresent(in, "HoldLength", HoldLength))
        clampLevelFloat(getName(), trigger ? trigger->getName() : "", "HoldLength", HoldLength, 0.0f,
                        maxLevelHoldSeconds);
}

TriggerAction* RunFakeTransitionAction::clone(TriggerObject* newTrigger) const {
    auto* copy = new RunFakeTransitionAction(newTrigger);
    copyAttributes(this, copy);
    return copy;
}
