#pragma once

#include "triggers/TriggerAction.h"

// "Change Objective": reveals, activates, completes, hides, replaces or swaps an objective
// of the level (the objective list and its panel follow). It cannot undo.
class ChangeObjectiveAction : public TriggerAction {
public:
    static constexpr irr::s32 actionType = 14;
    enum What : irr::s32 { SetRevealed = 0, SetActive = 1, SetComplete = 2, SetHidden = 3, Replace = 4, Swap = 5 };
    static const char* const objectiveActionNames[7];

    explicit ChangeObjectiveAction(TriggerObject* trigger) : TriggerAction(actionType, trigger) {}

    void execute(TriggerEventInfo& event) override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    TriggerAction* clone(TriggerObject* newTrigger) const override;

    irr::s32 ObjectiveObjectID = 0;
    irr::s32 SourceObjectiveID = 0; // for Replace and Swap
    irr::s32 ObjectiveAction = SetActive;
};

// "Change Suspicion Zone": while its trigger's condition is met, the trigger's region is a
// suspicious area (the player counts as watched) or changes the safe-zone count of the
// player's suspicion record. It always undoes when the condition ends, and each change to
// the record is undone at most once.
class ChangeSuspicionZoneAction : public TriggerAction {
public:
    static constexpr irr::s32 actionType = 17;
    // "Unchanged": a suspicious area; "True" raises and "False" lowers the safe-zone count.
    static const char* const safeZoneNames[4];

    explicit ChangeSuspicionZoneAction(TriggerObject* trigger);

    void update() override;
    void execute(TriggerEventInfo& event) override;
    void revert(TriggerEventInfo& event) override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    TriggerAction* clone(TriggerObject* newTrigger) const override;

    bool isApplied() const { return applied; }

    irr::s32 SuspicionSafeZone = 0;

private:
    void applyZone();
    void removeZone();

    bool applied = false;
};

// "Change UI": shows or hides the objective panel, or shows, hides or stops the level timer
// ("Record Time"). Revert does the opposite.
class ChangeUIAction : public TriggerAction {
public:
    static constexpr irr::s32 actionType = 23;
    enum Element : irr::s32 { ObjectiveCenter = 0, LevelTimer = 1 };
    enum What : irr::s32 { Show = 0, Hide = 1, RecordTime = 2 };
    static const char* const uiElementNames[3];
    static const char* const objectiveCenterActionNames[3];
    static const char* const levelTimerActionNames[4];

    explicit ChangeUIAction(TriggerObject* trigger) : TriggerAction(actionType, trigger) { canUndo = true; }

    void execute(TriggerEventInfo& event) override;
    void revert(TriggerEventInfo& event) override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    TriggerAction* clone(TriggerObject* newTrigger) const override;

    irr::s32 UIElement = ObjectiveCenter;
    irr::s32 UIAction = Show;

private:
    // Execute (forward) or revert (the opposite).
    void apply(bool forward);
};
