#include "triggers/actions/SuspicionCancelActions.h"

#include "camera/CutsceneObject.h"
#include "characters/SuspicionMeter.h"
#include "core/Globals.h"
#include "level/AttributeExtras.h"
#include "level/LevelManager.h"
#include "physics/objects/PhysicsObject.h"
#include "triggers/TriggerEventObject.h"
#include "triggers/TriggerObject.h"
#include "triggers/actions/ActionSupport.h"

#include <cmath>

using namespace irr;

namespace {

bool hasContactPosition(const core::vector3df& v) {
    return std::abs(v.X) > 1e-6f || std::abs(v.Y) > 1e-6f || std::abs(v.Z) > 1e-6f;
}

} // namespace

// --- Add Suspicion ----------------------------------------------------------------------------------

void AddSuspicionAction::applySuspicion() {
    if (gameDifficulty == 0 && !AddInEveryMode)
        return;
    if (UseContactPoint && hasContactPosition(eventPosition))
        SuspicionPosition = eventPosition;
    else if (positionNode)
        SuspicionPosition = positionNode->getTransformedBoundingBox().getCenter();
    else if (trigger)
        SuspicionPosition = trigger->getAbsolutePosition();
    // Without a player body the level's own record counts.
    SuspicionMeter* record = levelManager ? levelManager->getPlayerSuspicion(0) : nullptr;
    if (!record)
        return;
    if (InstantDeath) {
        // The meter's start-up guard: the first two seconds of a level never end it.
        if (record->age >= 2.0f)
            record->value = record->pendingValue = 100.0f;
        return;
    }
    const bool raised = addSuspicion(SuspicionPosition, *record, AddSuspiciousAmount,
                                     IgnoreRadiusLimit ? ST_IgnoreRadius : ST_Default);
    if (raised)
        if (PhysicsObject* object = triggerActions::physicsKind(positionNode))
            object->suspicion().displayTimer = 2.0f;
}

void AddSuspicionAction::execute(TriggerEventInfo& event) {
    eventPosition = event.position;
    if (SuspicionPositionID != 0)
        positionNode = triggerActions::findObjectByID(SuspicionPositionID);
    if (SuspicionTimer <= intervalTimer) {
        logStep();
        applySuspicion();
        intervalTimer = 0.0f;
    }
}

void AddSuspicionAction::update() {
    intervalTimer += levelPlaySeconds();
    if (trigger && trigger->ConditionMet && SuspicionTimer > 0.0f && intervalTimer >= SuspicionTimer) {
        intervalTimer = 0.0f;
        applySuspicion();
    }
}

void AddSuspicionAction::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions*) const {
    out->addFloat("AddSuspiciousAmount", AddSuspiciousAmount);
    out->addFloat("SuspicionTimer", SuspicionTimer);
    out->addBool("UseContactPoint", UseContactPoint);
    out->addBool("IgnoreRadiusLimit", IgnoreRadiusLimit);
    out->addBool("InstantDeath", InstantDeath);
    out->addBool("AddInEveryMode", AddInEveryMode);
    if (!UseContactPoint) {
        addObjectReference(out, "SuspicionPositionID", SuspicionPositionID);
        if (SuspicionPositionID == 0)
            out->addVector3d("SuspicionPosition", SuspicionPosition);
    }
}

void AddSuspicionAction::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions*) {
    readIfPresent(in, "AddSuspiciousAmount", AddSuspiciousAmount);
    readIfPresent(in, "SuspicionTimer", SuspicionTimer);
    readIfPresent(in, "SuspicionPositionID", SuspicionPositionID);
    readIfPresent(in, "UseContactPoint", UseContactPoint);
    readIfPresent(in, "IgnoreRadiusLimit", IgnoreRadiusLimit);
    readIfPresent(in, "AddInEveryMode", AddInEveryMode);
    readIfPresent(in, "InstantDeath", InstantDeath);
    if (InstantDeath)
        AddInEveryMode = true;
    if (SuspicionPositionID == 0)
        readIfPresent(in, "SuspicionPosition", SuspicionPosition);
    intervalTimer = SuspicionTimer;
}

TriggerAction* AddSuspicionAction::clone(TriggerObject* newTrigger) const {
    auto* copy = new AddSuspicionAction(newTrigger);
    copyAttributes(this, copy);
    return copy;
}

// --- Cancel Trigger --------------------------------------------------------------------------------------

void CancelTriggerAction::execute(TriggerEventInfo&) {
    scene::ISceneNode* node = triggerActions::findObjectByID(ObjectID);
    if (!node)
        return;
    logStep();
    if (TriggerObject* target = asTrigger(node)) {
        target->cancelled = true;
        TriggerObject::stopPendingEvents(target);
    } else if (node->getType() == typeId("trge")) {
        if (TriggerAction* eventAction = static_cast<TriggerEventObject*>(node)->getAction())
            eventAction->cancel();
    } else if (node->getType() == typeId("cuts")) {
        static_cast<CutsceneObject*>(node)->cancelCutscene();
    }
}

TriggerAction* CancelTriggerAction::clone(TriggerObject* newTrigger) const {
    auto* copy = new CancelTriggerAction(newTrigger);
    copyAttributes(this, copy);
    return copy;
}
