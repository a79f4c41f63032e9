#pragma once

#include "triggers/TriggerAction.h"

// "Change Music Param": switches the music to another song (with a cross-fade time, once or
// as the level's song), or sets a named parameter of the music that plays. It cannot undo.
class ChangeMusicParamAction : public TriggerAction {
public:
    static constexpr irr::s32 actionType = 7;
    enum What : irr::s32 { ChangeMusic = 0, SetParameter = 1 };
    static const char* const musicActionNames[3];

    explicit ChangeMusicParamAction(TriggerObject* trigger) : TriggerAction(actionType, trigger) {}

    void execute(TriggerEventInfo& event) override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    TriggerAction* clone(TriggerObject* newTrigger) const override;

    irr::s32 MusicAction = ChangeMusic;
    irr::core::stringc MusicEventName;
    irr::core::stringc MusicParameterName;
    irr::f32 MusicParameterValue = 0.0f;
    irr::f32 TransitionTime = 0.0f;
    bool IsOneShot = false;
};
