#include "triggers/actions/TentaroControlActions.h"

#include "core/Globals.h"
#include "level/AttributeExtras.h"
#include "physics/objects/PhysicsObject.h"
#include "player/LimbControl.h"
#include "player/PlayerObject.h"
#include "triggers/TriggerObject.h"
#include "triggers/actions/ActionSupport.h"
#include "triggers/actions/TriggerControlActions.h"

using namespace irr;

const char* const actionTriStateNames[4] = {"Unchanged", "True", "False", nullptr};

namespace {

const char* const walkingSideNames[] = {"Right", "Left", "Both", nullptr};
const char* const grabSideNames[] = {"Right", "Left", nullptr};

// The tri-state's value for execute, or its opposite for revert.
bool triStateValue(s32 state, bool reverting) { return (state == TriState::True) != reverting; }

bool editorWrite(const io::SAttributeReadWriteOptions* options) {
    return options && (options->Flags & io::EARWF_FOR_EDITOR);
}

void readTriState(io::IAttributes* in, const char* key, s32& value) {
    triggerActions::readKnownEnum(in, key, actionTriStateNames, value);
}

} // namespace

// --- Tentaro Controls -----------------------------------------------------------------------------

TentaroControlsAction::TentaroControlsAction(TriggerObject* trigger) : TriggerAction(actionType, trigger) {
    canUndo = true;
}

PlayerObject* TentaroControlsAction::chosenPlayer() const {
    const int index = TentaroIndex >= 1 ? TentaroIndex - 1 : 0;
    return index < playerCount() ? getPlayer(index) : nullptr;
}

void TentaroControlsAction::applySwitches(PlayerObject& player, bool reverting) const {
    auto apply = [reverting](s32 state, const auto& set) {
        if (state != TriState::Unchanged)
            set(triStateValue(state, reverting));
    };
    apply(ArmsModeEnabled, [&](bool on) { player.setArmsModeEnabled(on); });
    apply(LegsModeEnabled, [&](bool on) { player.setLegsModeEnabled(on); });
    if (ForceTipHeight != TriState::Unchanged) {
        const LimbSet arms = player.getArms();
        setLimbsControlEnabled(arms, triStateValue(ForceTipHeight, reverting));
        // The tip height is set on execute only; a revert leaves it.
        if (!reverting && ForceTipHeight == TriState::True)
            for (PlayerLimb* limb : arms.controlled)
                if (limb)
                    setLimbTipHeight(limb, ManualTipHeight);
    }
    if (!reverting) {
        if (ForceIntoArmsMode && !player.isModeSwitchBusy())
            player.switchToArmsMode();
        if (ForceIntoLegsMode && !player.isModeSwitchBusy())
            player.switchToLegsMode();
    }
    apply(GrabbingEnabled, [&](bool on) { player.setGrabbingEnabled(on); });
    apply(WalkingEnabled, [&](bool on) { player.setWalkingEnabled(on, WalkingSides); });
    apply(MoveArmsEnabled, [&](bool on) { player.setMoveArmsEnabled(on); });
    apply(VerticalLegMovementOnly, [&](bool on) { player.setVerticalLegMovementOnly(on); });
    apply(HorizontalLegMovementOnly, [&](bool on) { player.setHorizontalLegMovementOnly(on); });
    apply(StuckLimbCorrectEnabled, [&](bool on) { player.setStuckLimbCorrectEnabled(on); });
    apply(OpaqueRenderingOnly, [&](bool on) { player.setOpaqueRenderingOnly(on); });
}

void TentaroControlsAction::execute(TriggerEventInfo&) {
    logStep();
    PlayerObject* player = chosenPlayer();
    if (!player)
        return;
    applySwitches(*player, false);
    if (ReleaseGrabbedObject)
        player->releaseGrabbed(nullptr, LimbSide::Both, false);
    if (ForceGrabObjectID == 0)
        return;
    const LimbSet arms = player->getArms();
    if (isLimbHolding(arms, ForceGrabSide))
        player->releaseGrabbed(nullptr, ForceGrabSide, false);
    PhysicsObject* object = triggerActions::physicsKind(triggerActions::findObjectByID(ForceGrabObjectID));
    if (!object || !object->isTrulyVisible() || !arms.sides[0])
        return;
    forceLimbGrab(arms, arms.sides[0], object);
    rebindLimbToArticulation(arms.sides[0], object);
}

void TentaroControlsAction::revert(TriggerEventInfo&) {
    logStep("Reverse Event");
    PlayerObject* player = chosenPlayer();
    if (!player)
        return;
    applySwitches(*player, true);
    if (ForceIntoArmsMode && !player->isModeSwitchBusy())
        player->switchToLegsMode();
    if (ForceIntoLegsMode && !player->isModeSwitchBusy())
        player->switchToArmsMode();
    if (ForceGrabObjectID != 0)
        if (PhysicsObject* object = triggerActions::physicsKind(triggerActions::findObjectByID(ForceGrabObjectID)))
            player->releaseGrabbed(object, ForceGrabSide, false);
}

void TentaroControlsAction::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    const bool editor = editorWrite(options);
    auto triState = [&](const char* key, s32 value) {
        if (editor || value != TriState::Unchanged)
            triggerActions::addEnumByIndex(out, key, value, actionTriStateNames);
    };
    auto flag = [&](const char* key, bool value) {
        if (editor || value)
            out->addBool(key, value);
    };
    out->addBool("UndoOnTriggerRevert", UndoOnTriggerRevert);
    if (editor || TentaroIndex != 0)
        out->addInt("TentaroIndex", TentaroIndex);
    triState("ArmsModeEnabled", ArmsModeEnabled);
    triState("LegsModeEnabled", LegsModeEnabled);
    flag("ForceIntoArmsMode", ForceIntoArmsMode);
    flag("ForceIntoLegsMode", ForceIntoLegsMode);
    triState("GrabbingEnabled", GrabbingEnabled);
    triState("WalkingEnabled", WalkingEnabled);
    if (WalkingEnabled != TriState::Unchanged)
        triggerActions::addEnumByIndex(out, "WalkingSides", WalkingSides, walkingSideNames);
    triState("MoveArmsEnabled", MoveArmsEnabled);
    triState("VerticalLegMovementOnly", VerticalLegMovementOnly);
    triState("HorizontalLegMovementOnly", HorizontalLegMovementOnly);
    triState("ForceTipHeight", ForceTipHeight);
    if (editor || ForceTipHeight == TriState::True)
        out->addFloat("ManualTipHeight", ManualTipHeight);
    flag("ReleaseGrabbedObject", ReleaseGrabbedObject);
    triState("StuckLimbCorrectEnabled", StuckLimbCorrectEnabled);
    triState("OpaqueRenderingOnly", OpaqueRenderingOnly);
    if (editor || ForceGrabObjectID != 0)
        out->addInt("ForceGrabObjectID", ForceGrabObjectID);
    if (editor || ForceGrabObjectID != 0)
        triggerActions::addEnumByIndex(out, "ForceGrabSide", ForceGrabSide, grabSideNames);
}

void TentaroControlsAction::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions*) {
    UndoOnTriggerRevert = in->existsAttribute("UndoOnTriggerRevert") && in->getAttributeAsBool("UndoOnTriggerRevert");
    readIfPresent(in, "TentaroIndex", TentaroIndex);
    readIfPresent(in, "ForceGrabObjectID", ForceGrabObjectID);
    readTriState(in, "ArmsModeEnabled", ArmsModeEnabled);
    readTriState(in, "LegsModeEnabled", LegsModeEnabled);
    readIfPresent(in, "ForceIntoArmsMode", ForceIntoArmsMode);
    readIfPresent(in, "ForceIntoLegsMode", ForceIntoLegsMode);
    readTriState(in, "GrabbingEnabled", GrabbingEnabled);
    readTriState(in, "WalkingEnabled", WalkingEnabled);
    readTriState(in, "MoveArmsEnabled", MoveArmsEnabled);
    readTriState(in, "VerticalLegMovementOnly", VerticalLegMovementOnly);
    readTriState(in, "HorizontalLegMovementOnly", HorizontalLegMovementOnly);
    triggerActions::readKnownEnum(in, "WalkingSides", walkingSideNames, WalkingSides);
    readIfPresent(in, "ReleaseGrabbedObject", ReleaseGrabbedObject);
    // The older name of the tip-height switch; the current one wins.
    readTriState(in, "CanSetTipHeightManually", ForceTipHeight);
    readTriState(in, "ForceTipHeight", ForceTipHeight);
    readIfPresent(in, "ManualTipHeight", ManualTipHeight);
    readTriState(in, "StuckLimbCorrectEnabled", StuckLimbCorrectEnabled);
    readTriState(in, "OpaqueRenderingOnly", OpaqueRenderingOnly);
    triggerActions::readKnownEnum(in, "ForceGrabSide", grabSideNames, ForceGrabSide);
}

TriggerAction* TentaroControlsAction::clone(TriggerObject* newTrigger) const {
    auto* copy = new TentaroControlsAction(newTrigger);
    copyAttributes(this, copy);
    return copy;
}

// --- Tentaro Limp ----------------------------------------------------------------------------------------

void TentaroLimpAction::update() {
    if (!trigger)
        return;
    if (trigger->ConditionMet && !trigger->PrevConditionMet)
        logStep();
    if (trigger->ConditionMet)
        if (PlayerObject* player = getPlayer(0))
            player->setLimpAmount(LimpAmount);
}

void TentaroLimpAction::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    TriggerAction::serializeAttributes(out, options);
    out->addFloat("LimpAmount", LimpAmount);
}

void TentaroLimpAction::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    TriggerAction::deserializeAttributes(in, options);
    readIfPresent(in, "LimpAmount", LimpAmount);
}

TriggerAction* TentaroLimpAction::clone(TriggerObject* newTrigger) const {
    auto* copy = new TentaroLimpAction(newTrigger);
    copyAttributes(this, copy);
    return copy;
}
