#pragma once

#include "triggers/actions/TriggerControlActions.h"

// "Add Suspicion": raises the player's suspicion meter when its trigger fires, and again
// every SuspicionTimer seconds while the trigger stays met; "InstantDeath" fills the meter
// at once. It cannot be undone.
class AddSuspicionAction : public TriggerAction {
public:
    static constexpr irr::s32 actionType = 16;
    explicit AddSuspicionAction(TriggerObject* trigger) : TriggerAction(actionType, trigger) {}

    void update() override;
    void execute(TriggerEventInfo& event) override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    TriggerAction* clone(TriggerObject* newTrigger) const override;

    // One addition from the source position (skipped on difficulty 0 unless AddInEveryMode).
    void applySuspicion();

    irr::f32 AddSuspiciousAmount = 0.0f;
    // Seconds since the last addition; starts at SuspicionTimer, so that the first execute
    // after loading always acts.
    irr::f32 intervalTimer = 0.0f;
    // The repeat interval; 0: no repetition and no cool-down.
    irr::f32 SuspicionTimer = 0.0f;
    irr::s32 SuspicionPositionID = 0;
    irr::scene::ISceneNode* positionNode = nullptr;
    // The source position; also receives the position of each addition.
    irr::core::vector3df SuspicionPosition;
    irr::core::vector3df eventPosition;
    bool UseContactPoint = false;
    bool IgnoreRadiusLimit = false;
    bool InstantDeath = false;
    bool AddInEveryMode = false;
};

// "Cancel Trigger": stops a trigger's pending child events (any trigger kind), a trigger
// event's own action, or a running cutscene (which jumps to its end).
class CancelTriggerAction : public ObjectIDAction {
public:
    static constexpr irr::s32 actionType = 13;
    explicit CancelTriggerAction(TriggerObject* trigger) : ObjectIDAction(actionType, trigger) {}

    void execute(TriggerEventInfo& event) override;
    TriggerAction* clone(TriggerObject* newTrigger) const override;
};
