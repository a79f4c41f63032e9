#pragma once

#include "LevelTestSupport.h"

#include "core/Stopwatch.h"
#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsManager.h"
#include "player/LimbControl.h"
#include "player/PlayerObject.h"
#include "triggers/ConditionalTrigger.h"
#include "triggers/TriggerEventObject.h"
#include "triggers/TriggerObject.h"

#include <memory>
#include <string>
#include <vector>

namespace test {

// Counts what a trigger or an event object asks of its action.
class RecordingAction : public TriggerAction {
public:
    explicit RecordingAction(TriggerObject* trigger, std::vector<std::string>* journal = nullptr,
                             std::string name = "action")
        : TriggerAction(6, trigger), journal(journal), name(std::move(name)) {
        canUndo = true;
        UndoOnTriggerRevert = true;
    }
    void execute(TriggerEventInfo& event) override {
        ++executes;
        lastEvent = event;
        if (journal)
            journal->push_back(name + " execute");
    }
    void revert(TriggerEventInfo& event) override {
        ++reverts;
        lastEvent = event;
        if (journal)
            journal->push_back(name + " revert");
    }
    void update() override { ++updates; }

    std::vector<std::string>* journal;
    std::string name;
    int executes = 0;
    int reverts = 0;
    int updates = 0;
    TriggerEventInfo lastEvent;
};

// A level object of any type id (physics objects, characters, player parts stand-ins).
class FakeObject : public LevelObject {
public:
    FakeObject(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, irr::s32 id,
               irr::scene::ESCENE_NODE_TYPE type)
        : LevelObject(parent, manager, id), type(type) {}
    irr::scene::ESCENE_NODE_TYPE getType() const override { return type; }
    irr::scene::ESCENE_NODE_TYPE type;
};

// A limb of a stand-in player body ("arms" or "legs") with the limb helpers' record.
class FakeLimb : public PlayerLimb {
public:
    FakeLimb(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, const char (&kind)[5], irr::s32 id = -1)
        : PlayerLimb(parent, manager, id), kind(typeId(kind)) {}
    irr::scene::ESCENE_NODE_TYPE getType() const override { return kind; }
    LimbChain* getChain() override { return nullptr; }
    LimbState* getLimbState() override { return &state; }
    irr::scene::ESCENE_NODE_TYPE kind;
    LimbState state;
};

// A level with the trigger types, a physics world (not stepped: volumes are built in it, and
// touches come from the test) with the simulation flag set, and a frame clock the test moves.
class TriggerFixture : public LevelFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs one level update of `seconds`: a frame of that length that plays as long.
    void frame(irr::f32 seconds = 0.0167f) { frame(seconds, seconds); }
    // A frame of `frameSeconds` that plays `playSeconds` of the level (a slow frame plays
    // the physics steps it can, fewer than its length).
    void frame(irr::f32 frameSeconds, irr::f32 playSeconds);
    void frames(int count, irr::f32 seconds = 0.0167f);

    TriggerObject* addTrigger(irr::s32 id = 100, TriggerCondition condition = TriggerCondition::Immediately,
                              irr::scene::ISceneNode* parent = nullptr);
    RecordingAction* record(TriggerObject* trigger, const std::string& name = "trigger");
    TriggerEventObject* addEvent(irr::scene::ISceneNode* parent, irr::f32 delay, const std::string& name = "event");
    ConditionalTrigger* addConditional(irr::scene::ISceneNode* parent, irr::s32 id,
                                       TriggerCondition condition = TriggerCondition::Immediately);
    FakeObject* addObject(irr::s32 id, const char (&type)[5] = "phsx");
    // A physics object with a box body and no mesh at the position; "Dynamic", "Kinematic"
    // or "Static".
    PhysicsObject* addBody(irr::s32 id, const irr::core::vector3df& position = {}, const char* state = "Dynamic");
    // An empty attribute set, dropped when the test ends.
    irr::io::IAttributes* attributes();

    std::vector<std::string> journal;
    std::vector<irr::io::IAttributes*> attributeSets;
    std::unique_ptr<Stopwatch> stopwatch;
    std::unique_ptr<PhysicsManager> physics;
};

} // namespace test
