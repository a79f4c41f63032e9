#pragma once

#include "triggers/TriggerAction.h"

class PlayerObject;

// The tri-state switches of several actions: "Unchanged" (0) does nothing, "True" (1) and
// "False" (2) apply that value on execute and the opposite on revert. Ends with a null entry.
extern const char* const actionTriStateNames[4];
namespace TriState {
constexpr irr::s32 Unchanged = 0;
constexpr irr::s32 True = 1;
constexpr irr::s32 False = 2;
} // namespace TriState

// "Tentaro Controls": switches a player's control options on or off, forces a control mode,
// releases what the player holds or makes it grab an object; its revert applies the opposite
// of each switch. Without the player it names (the list is empty in this program) it only
// logs.
class TentaroControlsAction : public TriggerAction {
public:
    static constexpr irr::s32 actionType = 20;
    explicit TentaroControlsAction(TriggerObject* trigger);

    void execute(TriggerEventInfo& event) override;
    void revert(TriggerEventInfo& event) override;
    // Each key only when it differs from its default (every key with the editor flag).
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    TriggerAction* clone(TriggerObject* newTrigger) const override;

    // The player TentaroIndex names (0 and 1: the first), or null.
    PlayerObject* chosenPlayer() const;

    irr::s32 ArmsModeEnabled = TriState::Unchanged;
    irr::s32 LegsModeEnabled = TriState::Unchanged;
    irr::s32 GrabbingEnabled = TriState::Unchanged;
    irr::s32 WalkingEnabled = TriState::Unchanged;
    irr::s32 MoveArmsEnabled = TriState::Unchanged;
    irr::s32 VerticalLegMovementOnly = TriState::Unchanged;
    irr::s32 HorizontalLegMovementOnly = TriState::Unchanged;
    irr::s32 ForceTipHeight = TriState::Unchanged;
    irr::s32 StuckLimbCorrectEnabled = TriState::Unchanged;
    irr::s32 OpaqueRenderingOnly = TriState::Unchanged;
    irr::s32 WalkingSides = 2; // "Right", "Left", "Both"
    irr::s32 ForceGrabSide = 0; // "Right", "Left"
    irr::s32 ForceGrabObjectID = 0;
    irr::s32 TentaroIndex = 0;
    bool ForceIntoArmsMode = false;
    bool ForceIntoLegsMode = false;
    bool ReleaseGrabbedObject = false;
    irr::f32 ManualTipHeight = 0.0f;

private:
    // The switches of execute (reverting: each with the opposite value).
    void applySwitches(PlayerObject& player, bool reverting) const;
};

// "Tentaro Limp": while its trigger's condition is met, sets the first player's limp amount
// every frame (logging once per rising edge). Nothing resets the limp afterwards.
class TentaroLimpAction : public TriggerAction {
public:
    static constexpr irr::s32 actionType = 21;
    explicit TentaroLimpAction(TriggerObject* trigger) : TriggerAction(actionType, trigger) {}

    void update() override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    TriggerAction* clone(TriggerObject* newTrigger) const override;

    irr::f32 LimpAmount = 1.0f;
};
