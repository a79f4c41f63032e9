#pragma once

#include "triggers/TriggerAction.h"

class SoundObject;

// "Play Sound": plays, stops, fades out, pauses or sets an event parameter of one level
// sound object. Revert undoes play, stop and pause; cancel stops a sound it started. Under
// a conditional trigger it can hold the trigger's timer while the sound plays.
class PlaySoundAction : public TriggerAction {
public:
    static constexpr irr::s32 actionType = 6;
    enum What : irr::s32 { Play = 0, Stop = 1, FadeOut = 2, Pause = 3, ChangeVariable = 4 };
    static const char* const soundActionNames[6];

    explicit PlaySoundAction(TriggerObject* trigger);
    ~PlaySoundAction() override;

    void update() override;
    void execute(TriggerEventInfo& event) override;
    void revert(TriggerEventInfo& event) override;
    void cancel() override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    TriggerAction* clone(TriggerObject* newTrigger) const override;

    irr::s32 SoundAction = Play;
    irr::s32 ObjectID = 0;
    irr::core::stringc SndVariableName;
    irr::f32 SndVariableValue = 0.0f;
    irr::f32 FadeOutDuration = 1.0f;
    bool PauseTriggerWhilePlaying = false;

    bool isHoldingTrigger() const { return holding; }

private:
    // The sound object of ObjectID, or null (also for an object of another kind).
    SoundObject* lookupSound() const;
    bool ownedByConditional() const;
    // Takes back the hold on the conditional trigger.
    void releaseHold();

    SoundObject* sound = nullptr;
    bool holding = false;
};
