#include "triggers/actions/ChangeObjectiveActions.h"

#include "characters/SuspicionMeter.h"
#include "core/Globals.h"
#include "gui/hud/GUIObjectiveCenter.h"
#include "level/AttributeExtras.h"
#include "level/LevelManager.h"
#include "level/NodeHelpers.h"
#include "level/ObjectiveObject.h"
#include "triggers/TriggerServices.h"
#include "triggers/TriggerObject.h"
#include "triggers/actions/ActionSupport.h"

using namespace irr;

// --- Change Objective -----------------------------------------------------------------------------

const char* const ChangeObjectiveAction::objectiveActionNames[7] = {
    "Set Revealed", "Set Active", "Set Complete", "Set Hidden", "Replace", "Swap", nullptr};

void ChangeObjectiveAction::execute(TriggerEventInfo&) {
    logStep();
    scene::ISceneNode* node = triggerActions::findObjectByID(ObjectiveObjectID);
    if (!node || node->getType() != typeId("obji"))
        return;
    auto* objective = static_cast<ObjectiveObject*>(node);
    auto source = [this] {
        return static_cast<ObjectiveObject*>(findLevelObjectOfType(SourceObjectiveID, typeId("obji")));
    };
    switch (ObjectiveAction) {
    case SetRevealed:
        objective->setRevealed(true);
        break;
    case SetActive:
        if (objective->IsRevealed && levelManager)
            levelManager->objectives.add(objective->getEntry());
        break;
    case SetComplete:
        objective->complete();
        break;
    case SetHidden:
        objective->setRevealed(false);
        break;
    case Replace:
        if (ObjectiveObject* from = source())
            objective->replaceFrom(*from);
        break;
    case Swap:
        if (ObjectiveObject* from = source()) {
            from->setRevealed(false);
            objective->setRevealed(true);
            if (levelManager && levelManager->isCurrentObjective(from))
                objective->addToObjectiveList();
        }
        break;
    default:
        break;
    }
}

void ChangeObjectiveAction::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions*) const {
    addObjectReference(out, "ObjectiveObjectID", ObjectiveObjectID);
    triggerActions::addEnumByIndex(out, "ObjectiveAction", ObjectiveAction, objectiveActionNames);
    if (ObjectiveAction == Replace || ObjectiveAction == Swap)
        addObjectReference(out, "SourceObjectiveID", SourceObjectiveID);
}

void ChangeObjectiveAction::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions*) {
    readIfPresent(in, "ObjectiveObjectID", ObjectiveObjectID);
    readIfPresent(in, "SourceObjectiveID", SourceObjectiveID);
    triggerActions::readKnownEnum(in, "ObjectiveAction", objectiveActionNames, ObjectiveAction);
}

TriggerAction* ChangeObjectiveAction::clone(TriggerObject* newTrigger) const {
    auto* copy = new ChangeObjectiveAction(newTrigger);
    copyAttributes(this, copy);
    return copy;
}

// --- Change Suspicion Zone ------------------------------------------------------------------------

const char* const ChangeSuspicionZoneAction::safeZoneNames[4] = {"Unchanged", "True", "False", nullptr};

namespace {

// Player 0's suspicion record, or the level's own while there is no player.
SuspicionMeter* zoneSuspicionRecord() { return levelManager ? levelManager->getPlayerSuspicion(0) : nullptr; }

} // namespace

ChangeSuspicionZoneAction::ChangeSuspicionZoneAction(TriggerObject* trigger) : TriggerAction(actionType, trigger) {
    canUndo = true;
    UndoOnTriggerRevert = true;
}

void ChangeSuspicionZoneAction::applyZone() {
    SuspicionMeter* record = zoneSuspicionRecord();
    if (applied || !record)
        return;
    applied = true;
    if (SuspicionSafeZone == 1)
        ++record->zoneCount;
    else if (SuspicionSafeZone == 2)
        --record->zoneCount;
    else
        addSuspicionWatcher(*record, nullptr); // the entering cue on the first watcher
}

void ChangeSuspicionZoneAction::removeZone() {
    SuspicionMeter* record = zoneSuspicionRecord();
    if (!applied || !record)
        return;
    applied = false;
    if (SuspicionSafeZone == 1)
        --record->zoneCount;
    else if (SuspicionSafeZone == 2)
        ++record->zoneCount;
    else
        removeSuspicionWatcher(*record, nullptr); // the leaving cue when the last goes
}

void ChangeSuspicionZoneAction::update() {
    if (!trigger)
        return;
    if (trigger->ConditionMet)
        applyZone();
    else if (UndoOnTriggerRevert)
        removeZone();
}

void ChangeSuspicionZoneAction::execute(TriggerEventInfo&) {
    logStep();
    applyZone();
}

void ChangeSuspicionZoneAction::revert(TriggerEventInfo&) {
    logStep("Reverse Event");
    removeZone();
}

void ChangeSuspicionZoneAction::serializeAttributes(io::IAttributes* out,
                                                    io::SAttributeReadWriteOptions* options) const {
    TriggerAction::serializeAttributes(out, options);
    triggerActions::addEnumByIndex(out, "SuspicionSafeZone", SuspicionSafeZone, safeZoneNames);
}

void ChangeSuspicionZoneAction::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    TriggerAction::deserializeAttributes(in, options);
    triggerActions::readKnownEnum(in, "SuspicionSafeZone", safeZoneNames, SuspicionSafeZone);
    // A zone always ends with its trigger's condition, whatever the file says.
    canUndo = true;
    UndoOnTriggerRevert = true;
}

TriggerAction* ChangeSuspicionZoneAction::clone(TriggerObject* newTrigger) const {
    auto* copy = new ChangeSuspicionZoneAction(newTrigger);
    copyAttributes(this, copy);
    return copy;
}

// --- Change UI ------------------------------------------------------------------------------------

const char* const ChangeUIAction::uiElementNames[3] = {"Objective Center", "Level Timer", nullptr};
const char* const ChangeUIAction::objectiveCenterActionNames[3] = {"Show", "Hide", nullptr};
const char* const ChangeUIAction::levelTimerActionNames[4] = {"Show", "Hide", "Record Time", nullptr};

void ChangeUIAction::apply(bool forward) {
    const TriggerServiceTable::Screens& screens = triggerServices().screens;
    if (UIElement == ObjectiveCenter) {
        if (GUIObjectiveCenter* panel = screens.objectiveCenter ? screens.objectiveCenter() : nullptr)
            panel->setVisible((UIAction == Show) == forward);
    } else if (UIElement == LevelTimer && screens.setLevelTimerShown) {
        // Record Time stops showing the running time; Show and Hide switch the timer box.
        screens.setLevelTimerShown(UIAction == RecordTime ? !forward : (UIAction == Show) == forward);
    }
}

void ChangeUIAction::execute(TriggerEventInfo&) {
    logStep();
    apply(true);
}

void ChangeUIAction::revert(TriggerEventInfo&) {
    logStep("Reverse Event");
    apply(false);
}

void ChangeUIAction::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    TriggerAction::serializeAttributes(out, options);
    triggerActions::addEnumByIndex(out, "UIElement", UIElement, uiElementNames);
    triggerActions::addEnumByIndex(out, "UIAction", UIAction,
                                   UIElement == LevelTimer ? levelTimerActionNames : objectiveCenterActionNames);
}

void ChangeUIAction::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    TriggerAction::deserializeAttributes(in, options);
    triggerActions::readKnownEnum(in, "UIElement", uiElementNames, UIElement);
    if (triggerActions::readEnumByName(
            in, "UIAction", UIElement == LevelTimer ? levelTimerActionNames : objectiveCenterActionNames, UIAction) &&
        UIAction < 0)
        UIAction = Show;
}

TriggerAction* ChangeUIAction::clone(TriggerObject* newTrigger) const {
    auto* copy = new ChangeUIAction(newTrigger);
    copyAttributes(this, copy);
    return copy;
}
