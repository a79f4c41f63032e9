#pragma once

#include "triggers/TriggerAction.h"

// The actions that drive other triggers or the level flow rather than level objects. None
// of them can be undone.

// The level transitions' names by LoadingOverlay::TransitionType, ending with a null entry
// ("TransitionType" of Run Fake Transition and End Level).
extern const char* const levelTransitionNames[6];

// "Run Trigger": fires another trigger at once, as if its condition had just been met (its
// action, then its child events), or starts a cutscene.
class RunTriggerAction : public TriggerAction {
public:
    static constexpr irr::s32 actionType = 11;
    explicit RunTriggerAction(TriggerObject* trigger) : TriggerAction(actionType, trigger) {}

    void execute(TriggerEventInfo& event) override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    TriggerAction* clone(TriggerObject* newTrigger) const override;

    irr::s32 ObjectID = 0;
    // A physics object handed to the run trigger as the causing object.
    irr::s32 PhysicsObjectID = 0;
    // Leaves the run trigger met, so that its next evaluation sees no rising edge.
    bool SetConditionMet = false;
};

// An action whose one key is the object it acts on ("ObjectID"); Reset Trigger and Cancel
// Trigger share its file keys.
class ObjectIDAction : public TriggerAction {
public:
    using TriggerAction::TriggerAction;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    irr::s32 ObjectID = 0;
};

// "Reset Trigger": puts another trigger back into its unfired state; the contacts it has
// count as already seen. A checkpoint also forgets that it was saved.
class ResetTriggerAction : public ObjectIDAction {
public:
    static constexpr irr::s32 actionType = 12;
    explicit ResetTriggerAction(TriggerObject* trigger) : ObjectIDAction(actionType, trigger) {}

    void execute(TriggerEventInfo& event) override;
    TriggerAction* clone(TriggerObject* newTrigger) const override;
};

// "Run Fake Transition": the level's transition in and out without a change of level.
class RunFakeTransitionAction : public TriggerAction {
public:
    static constexpr irr::s32 actionType = 24;
    explicit RunFakeTransitionAction(TriggerObject* trigger) : TriggerAction(actionType, trigger) {}

    void execute(TriggerEventInfo& event) override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    TriggerAction* clone(TriggerObject* newTrigger) const override;

    irr::s32 TransitionType = 0; // LoadingOverlay::TransitionType
    irr::f32 HoldLength = 0.0f;
};
