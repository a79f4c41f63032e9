#pragma once

#include "level/LevelObject.h"
#include "triggers/TriggerAction.h"

#include <memory>

class LevelInfo;
class TriggerObject;

// The level information's own trigger ("LevelInfoTrigger", not in the scene), the trigger of
// the event objects under it: made on the first call and kept by the level information.
// Null for null.
TriggerObject* levelInfoTrigger(LevelInfo* levelInfo);

// A level object ('trge') hung under a trigger kind, the level information, a cutscene or a
// waypoint, that runs one more action when its owner starts it, after its own delay
// ("EventDelay"). Idle until a start; counting from 0.0 after it; the action runs on the frame
// the timer reaches the delay. Only a start makes it pending: no delay a level gives runs the
// action unstarted.
class TriggerEventObject : public LevelObject {
public:
    TriggerEventObject(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, irr::s32 id = -1);
    ~TriggerEventObject() override;

    irr::scene::ESCENE_NODE_TYPE getType() const override { return typeId("trge"); }
    const irr::core::aabbox3df& getBoundingBox() const override;
    void OnAnimate(irr::u32 timeMs) override;

    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;

    // Runs the action now (delay 0.0) or keeps the event and starts counting.
    void startEvent(const TriggerEventInfo& event);
    // The same with the action's revert.
    void startRevert(const TriggerEventInfo& event);
    // Back to idle: the pending run is dropped (its timer reads -1.0, as a saved level has it).
    void stopPending() {
        started = false;
        pending.time = -1.0f;
    }
    bool isPending() const { return started; }

    // The nearest trigger kind, level information, cutscene or waypoint from this object up
    // (cached).
    irr::scene::ISceneNode* findOwner();
    // The trigger the action acts for: the owner when it is a trigger kind, the level
    // information's own trigger, or none.
    TriggerObject* ownerTrigger();
    TriggerAction* getAction() const { return action.get(); }
    void setAction(TriggerAction* newAction);

    irr::s32 OnTriggerEvent = 0;
    irr::f32 EventDelay = 0.0f;
    TriggerEventInfo pending;

private:
    // Whether the owner may hold an action (trigger kind, level information, cutscene,
    // waypoint); makes the plain one when none is held.
    bool ensureAction();
    bool ownerHoldsActions();

    // Whether a start (or a saved timer) left a run pending; pending.time counts it.
    bool started = false;
    std::unique_ptr<TriggerAction> action;
    irr::scene::ISceneNode* owner = nullptr;
    bool ownerSearched = false;
};
