#pragma once

#include "triggers/actions/TriggerControlActions.h"

// "End Level": closes the level's run. It hands the statistics over, records the level's
// time, moves the story's autosave on, and queues the next level, a return to the main
// menu, or (in demo mode) the thanks splash; then writes the save once. It cannot be undone.
class EndLevelAction : public TriggerAction {
public:
    static constexpr irr::s32 actionType = 27;
    explicit EndLevelAction(TriggerObject* trigger) : TriggerAction(actionType, trigger) {}

    void execute(TriggerEventInfo& event) override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    TriggerAction* clone(TriggerObject* newTrigger) const override;

    // The level that ends the story (statistics count a finished game).
    static constexpr const char* endingLevel = "Content/Levels/EndingCredits.irr";
    // The level that keeps its own autosave checkpoint outside the workshop.
    static constexpr const char* checkpointLevel = "Content/Levels/Pumps_Main.irr";
    // The demo's controls level goes on to its successor even in demo mode.
    static constexpr const char* demoControlsLevel = "Content/Levels/Church_DemoControls.irr";

    irr::core::stringw NextLevel;
    irr::core::stringw SaveLevelPath;
    bool SetSaveLevelPath = false;
    irr::s32 TransitionType = 0; // LoadingOverlay::TransitionType
    irr::f32 HoldLength = 0.0f;
    bool SaveLevelLength = true;

private:
    // The covering transition and the return to the main menu.
    void queueReturn() const;
    // Automatic writing back on; the save and its backup written.
    static void writeSave();
};

// "Level CheckPoint": saves a checkpoint at a checkpoint object, once while its saved flag
// stays set.
class LevelCheckPointAction : public ObjectIDAction {
public:
    static constexpr irr::s32 actionType = 15;
    explicit LevelCheckPointAction(TriggerObject* trigger) : ObjectIDAction(actionType, trigger) {}

    void execute(TriggerEventInfo& event) override;
    TriggerAction* clone(TriggerObject* newTrigger) const override;
};
