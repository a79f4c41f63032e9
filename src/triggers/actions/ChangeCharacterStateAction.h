#pragma once

#include "triggers/TriggerAction.h"

#include <string>

// "Change Character State": reconfigures one character: its behaviour state, speeds, look
// target, waypoint route and path behaviour, state animations, suspicion type and whether it
// stops for the player. Every setting has a value that leaves it unchanged. It cannot be
// undone.
class ChangeCharacterStateAction : public TriggerAction {
public:
    static constexpr irr::s32 actionType = 5;
    explicit ChangeCharacterStateAction(TriggerObject* trigger) : TriggerAction(actionType, trigger) {}

    void execute(TriggerEventInfo& event) override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    // A read "CharacterID" naming a character in the scene first takes that character's
    // speeds; keys read later override them.
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    TriggerAction* clone(TriggerObject* newTrigger) const override;

    static constexpr irr::s32 noChangeState = 6;
    static constexpr irr::s32 noChangeSuspicionType = 7;

    irr::s32 CharacterState = noChangeState; // "Walking" .. "Discovered", "No Change"
    irr::s32 CharacterID = 0;
    irr::f32 CharacterSpeed = 0.0f;       // 0: unchanged
    irr::f32 CharacterRotateSpeed = 0.0f; // 0: unchanged
    irr::s32 LookTargetID = -1;           // 999 the player, 0 none, -1 unchanged
    irr::s32 TargetWaypointID = -1;
    irr::s32 ParentWaypointID = -1;
    bool ChangeParentWaypoint = false;
    irr::s32 PathBehavior = 0; // "One Way", "Loop", "Back Forth", "Protect", "No Change"
    bool ChangePathBehavior = false;
    std::string WalkingAnimName, StoppedAnimName, ReactingAnimName, NoticingAnimName;
    irr::s32 CharacterSuspicionType = noChangeSuspicionType;
    bool StopForTentaro = true;
};
