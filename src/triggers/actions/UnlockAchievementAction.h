#pragma once

#include "triggers/TriggerAction.h"

#include <string>

// "Unlock Achievement": unlocks one achievement by its identifier, except in a level started
// from the level select screen. Level files store the identifier as an enumeration over the
// known identifiers, with the achievement's name and description beside it for reference.
// It cannot undo.
class UnlockAchievementAction : public TriggerAction {
public:
    static constexpr irr::s32 actionType = 28;

    explicit UnlockAchievementAction(TriggerObject* trigger) : TriggerAction(actionType, trigger) {}

    void execute(TriggerEventInfo& event) override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    TriggerAction* clone(TriggerObject* newTrigger) const override;

    std::string AchievementID;
};
