#include "TriggerTestSupport.h"

#include "characters/SuspicionMeter.h"
#include "core/CoreSlots.h"
#include "physics/world/PhysicsHooks.h"
#include "level/LevelHooks.h"
#include "level/LevelInfo.h"
#include "level/LevelManager.h"
#include "level/SceneNodeFactory.h"
#include "triggers/ConditionalTrigger.h"
#include "triggers/TriggerRegistration.h"
#include "triggers/TriggerRunBudget.h"
#include "triggers/actions/TriggerControlActions.h"

#include "core/FileChecks.h"

using namespace irr;

namespace {

phys::Shape* shapeNumber(int n) { return reinterpret_cast<phys::Shape*>(static_cast<std::uintptr_t>(0x100 * n)); }
// Stand-ins the trigger keeps and compares but never reads through.
phys::RigidDynamic* dynamicNumber(int n) {
    return reinterpret_cast<phys::RigidDynamic*>(static_cast<std::uintptr_t>(0x10000 * n));
}
phys::RigidActor* rigid(phys::Actor* actor) { return reinterpret_cast<phys::RigidActor*>(actor); }

class TriggerFiringTest : public test::TriggerFixture {
protected:
    // The physics dispatch's calls, through the slots it reaches.
    bool enter(TriggerObject* trigger, scene::ISceneNode* node, int shape, const core::vector3df& at = {},
               phys::Actor* triggerActor = nullptr) {
        return physicsHooks().triggers.onObjectEnter(trigger, node, at, rigid(triggerActor), dynamicNumber(shape),
                                                     shapeNumber(shape)) != nullptr;
    }
    void leave(TriggerObject* trigger, scene::ISceneNode* node, int shape, phys::Actor* triggerActor = nullptr) {
        physicsHooks().triggers.onObjectLeave(trigger, node, rigid(triggerActor), dynamicNumber(shape), shapeNumber(shape));
    }
};

TEST_F(TriggerFiringTest, ImmediateTriggerFiresOnItsFourthSimulatedFrameOnce) {
    TriggerObject* trigger = addTrigger();
    test::RecordingAction* action = record(trigger);
    frames(3);
    EXPECT_EQ(action->executes, 0);
    EXPECT_EQ(action->updates, 3);
    frame();
    EXPECT_EQ(action->executes, 1);
    frames(5);
    EXPECT_EQ(action->executes, 1);
    EXPECT_EQ(action->reverts, 0);
}

TEST_F(TriggerFiringTest, NothingIsEvaluatedWithoutTheSimulation) {
    coreSlots().physics.isSimulationActive = nullptr;
    TriggerObject* trigger = addTrigger();
    test::RecordingAction* action = record(trigger);
    frames(10);
    EXPECT_EQ(action->executes, 0);
    EXPECT_EQ(action->updates, 10); // the action's own step runs regardless
}

// Every scene draw animates the scene tree again. A trigger's evaluation, its action and a
// conditional trigger's timer still run once per level frame, and not at all while no level
// frame runs (a paused game goes on drawing).
TEST_F(TriggerFiringTest, TriggersActOncePerLevelFrameHoweverOftenTheSceneIsDrawn) {
    TriggerObject* trigger = addTrigger();
    test::RecordingAction* action = record(trigger);
    ConditionalTrigger* conditional = addConditional(root(), 60, TriggerCondition::ManualActivationOnly);
    conditional->TimeSpan = core::vector2df(100.0f, 100.0f);
    frames(3, 0.25f);
    conditional->start();
    const struct Row {
        int levelFrames;
        int drawsEach;
    } rows[] = {{2, 0}, {2, 1}, {2, 3}, {0, 3}};
    for (const Row& row : rows) {
        const int updates = action->updates;
        const f32 timer = conditional->Timer;
        for (int i = 0; i < std::max(row.levelFrames, 1); ++i) {
            if (row.levelFrames > 0)
                frame(0.25f);
            for (int draw = 0; draw < row.drawsEach; ++draw)
                smgr()->drawAll();
        }
        EXPECT_EQ(action->updates - updates, row.levelFrames) << row.drawsEach << " draws";
        EXPECT_NEAR(conditional->Timer - timer, 0.25f * f32(row.levelFrames), 1e-5f) << row.drawsEach << " draws";
    }
}

// A physics object falls into an "On Object Inside" volume and later leaves it.
TEST_F(TriggerFiringTest, ObjectEnteringFiresOnTheRisingEdgeAndLeavingReverts) {
    TriggerObject* trigger = addTrigger(100, TriggerCondition::OnObjectInside);
    test::RecordingAction* action = record(trigger);
    TriggerEventObject* soon = addEvent(trigger, 0.0f, "soon");
    TriggerEventObject* later = addEvent(trigger, 1.0f, "later");
    test::FakeObject* crate = addObject(7);
    frames(5, 0.25f);
    EXPECT_TRUE(journal.empty());

    EXPECT_TRUE(enter(trigger, crate, 1, {1, 2, 3}));
    frame(0.25f);
    EXPECT_EQ(journal, (std::vector<std::string>{"trigger execute", "soon execute"}));
    test::expectNear(action->lastEvent.position, {1, 2, 3});
    EXPECT_TRUE(later->isPending());
    frames(2, 0.25f); // timer 0.5, 0.75 after the start frame's 0.25
    EXPECT_EQ(journal.size(), 2u);
    frame(0.25f);
    EXPECT_EQ(journal.back(), "later execute");
    frames(4, 0.25f); // stays met: nothing more
    EXPECT_EQ(journal.size(), 3u);

    leave(trigger, crate, 1);
    frame(0.25f);
    EXPECT_EQ(journal, (std::vector<std::string>{"trigger execute", "soon execute", "later execute", "trigger revert",
                                                 "soon revert"}));
    frames(4, 0.25f);
    EXPECT_EQ(journal.back(), "later revert");
    EXPECT_EQ(action->executes, 1);
    EXPECT_EQ(action->reverts, 1);
    EXPECT_FALSE(soon->isPending());
}

TEST_F(TriggerFiringTest, PerObjectTriggersFireForEachArrivalAndRevertEachDeparture) {
    TriggerObject* trigger = addTrigger(100, TriggerCondition::OnObjectInside);
    trigger->ApplyEventPerObject = true;
    test::RecordingAction* action = record(trigger);
    test::FakeObject* first = addObject(7);
    test::FakeObject* second = addObject(8, "ties");
    frames(3);
    enter(trigger, first, 1, {1, 0, 0});
    frame();
    EXPECT_EQ(action->executes, 1);
    EXPECT_EQ(action->lastEvent.object, first);
    test::expectNear(action->lastEvent.position, {1, 0, 0});
    enter(trigger, second, 2, {2, 0, 0});
    enter(trigger, first, 3); // a second shape of the first object: no new arrival
    frame();
    EXPECT_EQ(action->executes, 2);
    EXPECT_EQ(action->lastEvent.object, second);
    leave(trigger, first, 1);
    frame();
    EXPECT_EQ(action->reverts, 0); // its other shape is still inside
    leave(trigger, first, 3);
    frame();
    EXPECT_EQ(action->reverts, 1);
    EXPECT_EQ(action->lastEvent.object, first);
    EXPECT_TRUE(trigger->ConditionMet);
}

TEST_F(TriggerFiringTest, LeavingRevertsOnlyTheActionsThatUndoOnRevert) {
    int id = 100;
    for (bool perObject : {false, true}) {
        for (bool undo : {true, false}) {
            SCOPED_TRACE(std::string(perObject ? "per object" : "whole volume") +
                         (undo ? ", undo" : ", keep"));
            journal.clear();
            TriggerObject* trigger = addTrigger(id, TriggerCondition::OnObjectInside);
            trigger->ApplyEventPerObject = perObject;
            record(trigger)->UndoOnTriggerRevert = undo;
            addEvent(trigger, 0.0f)->getAction()->UndoOnTriggerRevert = undo;
            test::FakeObject* crate = addObject(id + 50);
            frames(3);
            enter(trigger, crate, id);
            frame();
            leave(trigger, crate, id);
            frame();
            std::vector<std::string> expected{"trigger execute", "event execute"};
            if (undo)
                expected.insert(expected.end(), {"trigger revert", "event revert"});
            EXPECT_EQ(journal, expected);
            ++id;
        }
    }
}

TEST_F(TriggerFiringTest, OccupancyKeepsOneRecordPerShapeAndLimitsEntries) {
    TriggerObject* trigger = addTrigger(100, TriggerCondition::OnObjectInside);
    test::FakeObject* crate = addObject(7);
    EXPECT_TRUE(enter(trigger, crate, 1));
    EXPECT_FALSE(enter(trigger, crate, 1)); // the same shape again
    EXPECT_EQ(trigger->mainContacts.size(), 1u);
    EXPECT_EQ(physicsHooks().triggers.onObjectEnter(trigger, nullptr, {}, nullptr, nullptr, shapeNumber(9)), nullptr);
    leave(trigger, crate, 5); // no record: nothing changes
    EXPECT_EQ(trigger->mainContacts.size(), 1u);
    leave(trigger, crate, 1);
    EXPECT_TRUE(trigger->mainContacts.empty());

    trigger->LimitPerObject = true;
    trigger->LimitPerObjectCount = 1;
    EXPECT_TRUE(enter(trigger, crate, 2));
    leave(trigger, crate, 2);
    EXPECT_FALSE(enter(trigger, crate, 2)); // left and came back: over its limit
    EXPECT_TRUE(trigger->mainContacts.empty());
}

TEST_F(TriggerFiringTest, SkinContactsCountOnlyWhileMetAndPreviousListsNeverShrink) {
    TriggerObject* trigger = addTrigger(100, TriggerCondition::OnObjectInside);
    trigger->CreateSkin = true;
    test::FakeObject* crate = addObject(7);
    // The trigger's own actors are the physics code's; this one stands for the skin.
    trigger->onObjectEnter(crate, {}, nullptr, dynamicNumber(1), shapeNumber(1));
    EXPECT_EQ(trigger->mainContacts.size(), 1u);
    EXPECT_EQ(&trigger->getActiveContactList(), &trigger->mainContacts);
    trigger->ConditionMet = true;
    EXPECT_EQ(&trigger->getActiveContactList(), &trigger->skinContacts);

    TriggerObject* counting = addTrigger(101, TriggerCondition::OnObjectInside);
    for (int i = 1; i <= 3; ++i)
        counting->onObjectEnter(addObject(10 + i), {}, nullptr, dynamicNumber(i), shapeNumber(i));
    counting->snapshotContacts();
    leave(counting, manager->getSceneNodeFromID(11), 1);
    leave(counting, manager->getSceneNodeFromID(12), 2);
    counting->snapshotContacts();
    ASSERT_EQ(counting->mainPrevious.size(), 3u);
    EXPECT_NE(counting->mainPrevious[0].node, nullptr);
    EXPECT_EQ(counting->mainPrevious[1].node, nullptr);
    EXPECT_EQ(counting->mainPrevious[2].node, nullptr);
}

TEST_F(TriggerFiringTest, MinimumTimeHoldsTheConditionBackForConsecutiveFrames) {
    TriggerObject* trigger = addTrigger();
    trigger->MinimumTimeUntilMet = 0.5f;
    test::RecordingAction* action = record(trigger);
    frames(33);
    EXPECT_EQ(action->executes, 0); // raw condition met from frame 4: 30 frames so far
    frame();
    EXPECT_EQ(action->executes, 1); // the 31st frame of the raw condition
}

// A condition that falls before its minimum time is up starts the time again only with
// ResetTimerIfUnmet; without it the time already met counts on.
TEST_F(TriggerFiringTest, ResetTimerIfUnmetDecidesWhetherABreakStartsTheMinimumTimeAgain) {
    for (const bool reset : {true, false}) {
        TriggerObject* trigger = addTrigger(reset ? 100 : 101, TriggerCondition::OnObjectInside);
        trigger->MinimumTimeUntilMet = 1.0f;
        trigger->ResetTimerIfUnmet = reset;
        test::RecordingAction* action = record(trigger);
        test::FakeObject* crate = addObject(reset ? 7 : 8);
        frames(5, 0.25f);
        EXPECT_TRUE(enter(trigger, crate, 1));
        frames(3, 0.25f); // 0.75 s of the second
        leave(trigger, crate, 1);
        frame(0.25f);
        EXPECT_TRUE(enter(trigger, crate, 1));
        frames(2, 0.25f);
        EXPECT_EQ(action->executes, reset ? 0 : 1) << (reset ? "reset" : "kept");
        frames(3, 0.25f);
        EXPECT_EQ(action->executes, 1) << (reset ? "reset" : "kept");
    }
}

// Once the minimum time has been served and the condition breaks, the time starts again
// even without ResetTimerIfUnmet.
TEST_F(TriggerFiringTest, ABreakAfterTheMinimumTimeWasServedStartsItAgain) {
    TriggerObject* trigger = addTrigger(100, TriggerCondition::OnObjectInside);
    trigger->MinimumTimeUntilMet = 0.5f;
    test::RecordingAction* action = record(trigger);
    test::FakeObject* crate = addObject(7);
    frames(5, 0.25f);
    EXPECT_TRUE(enter(trigger, crate, 1));
    frames(3, 0.25f); // 0.25, 0.5, then met
    ASSERT_EQ(action->executes, 1);
    leave(trigger, crate, 1);
    frame(0.25f);
    EXPECT_TRUE(enter(trigger, crate, 1));
    frame(0.25f);
    EXPECT_EQ(action->executes, 1) << "the half second is served again";
    frames(2, 0.25f);
    EXPECT_EQ(action->executes, 2);
}

TEST_F(TriggerFiringTest, StartExpressionGatesActivationAndRevertsWhenItFalls) {
    TriggerObject* gate = addTrigger(50, TriggerCondition::ManualActivationOnly);
    TriggerObject* trigger = addTrigger(100);
    trigger->TriggerStartExpression = "50";
    test::RecordingAction* action = record(trigger);
    frames(6);
    EXPECT_FALSE(trigger->IsActive);
    EXPECT_EQ(action->executes, 0);
    gate->ConditionMet = true;
    frame();
    frame();
    EXPECT_EQ(action->executes, 1);
    gate->ConditionMet = false;
    frame();
    EXPECT_EQ(action->reverts, 1);
    EXPECT_FALSE(trigger->ConditionMet);
}

TEST_F(TriggerFiringTest, LatchedConditionStaysMetWhenInactiveAndLatchedActivationStaysActive) {
    TriggerObject* gate = addTrigger(50, TriggerCondition::ManualActivationOnly);
    TriggerObject* trigger = addTrigger(100);
    trigger->TriggerStartExpression = "50";
    trigger->OnceCondMetAlwaysMet = true;
    trigger->OnceActiveAlwaysActive = true;
    test::RecordingAction* action = record(trigger);
    gate->ConditionMet = true;
    frames(5);
    EXPECT_EQ(action->executes, 1);
    gate->ConditionMet = false;
    frames(3);
    EXPECT_TRUE(trigger->IsActive); // activation no longer re-evaluated
    EXPECT_TRUE(trigger->ConditionMet);
    EXPECT_EQ(action->reverts, 0);

    // A latched condition also outlives the trigger's activation.
    TriggerObject* latched = addTrigger(101);
    latched->TriggerStartExpression = "50";
    latched->OnceCondMetAlwaysMet = true;
    test::RecordingAction* latchedAction = record(latched);
    gate->ConditionMet = true;
    frames(5);
    ASSERT_EQ(latchedAction->executes, 1);
    gate->ConditionMet = false;
    frames(2);
    EXPECT_FALSE(latched->IsActive);
    EXPECT_TRUE(latched->ConditionMet);
    EXPECT_EQ(latchedAction->reverts, 0);
}

// Latched or not, a trigger whose start expression is false when the level starts stays
// inactive and does nothing until the expression holds; only the latched one keeps its
// activation once the expression falls again.
TEST_F(TriggerFiringTest, AStartExpressionFalseAtTheStartHoldsTheTriggerBackLatchedOrNot) {
    TriggerObject* gate = addTrigger(50, TriggerCondition::ManualActivationOnly);
    for (const bool latched : {false, true}) {
        SCOPED_TRACE(latched ? "latched activation" : "plain activation");
        TriggerObject* trigger = addTrigger(latched ? 101 : 100);
        trigger->TriggerStartExpression = "50";
        trigger->OnceActiveAlwaysActive = latched;
        test::RecordingAction* action = record(trigger);
        gate->ConditionMet = false;
        frames(6); // past the frame an active immediate trigger fires on
        EXPECT_FALSE(trigger->IsActive);
        EXPECT_EQ(action->executes, 0);

        gate->ConditionMet = true;
        for (int i = 0; i < 10 && action->executes == 0; ++i)
            frame();
        EXPECT_TRUE(trigger->IsActive);
        EXPECT_EQ(action->executes, 1);

        gate->ConditionMet = false;
        frame();
        EXPECT_EQ(trigger->IsActive, latched);
        EXPECT_EQ(action->reverts, latched ? 0 : 1);
    }
}

// Per-object triggers revert each departure themselves: losing the activation reverts nothing.
TEST_F(TriggerFiringTest, APerObjectTriggerThatTurnsInactiveRevertsNothing) {
    TriggerObject* gate = addTrigger(50, TriggerCondition::ManualActivationOnly);
    TriggerObject* trigger = addTrigger(100, TriggerCondition::OnObjectInside);
    trigger->TriggerStartExpression = "50";
    trigger->ApplyEventPerObject = true;
    test::RecordingAction* action = record(trigger);
    test::FakeObject* crate = addObject(7);
    gate->ConditionMet = true;
    frames(4);
    enter(trigger, crate, 1);
    frame();
    ASSERT_EQ(action->executes, 1);
    ASSERT_TRUE(trigger->ConditionMet);
    gate->ConditionMet = false;
    frame();
    EXPECT_FALSE(trigger->IsActive);
    EXPECT_FALSE(trigger->ConditionMet);
    EXPECT_EQ(action->reverts, 0);
}

TEST_F(TriggerFiringTest, SuspicionStartComparesWithTheLevelsRecordWithoutPlayers) {
    TriggerObject* trigger = addTrigger();
    trigger->TriggerStartOnSuspicionLevel = true;
    trigger->ComparisonType = TriggerCompare::EqualTo;
    trigger->SuspicionAmount = 5.0f;
    SuspicionMeter* record = manager->getPlayerSuspicion(0);
    ASSERT_NE(record, nullptr);
    record->value = 5.0f;
    frame();
    EXPECT_TRUE(trigger->IsActive);
    record->value = 5.01f;
    frame();
    EXPECT_FALSE(trigger->IsActive);
    trigger->ComparisonType = TriggerCompare::GreaterThan;
    frame();
    EXPECT_TRUE(trigger->IsActive);
    trigger->ComparisonType = TriggerCompare::LessThan;
    frame();
    EXPECT_FALSE(trigger->IsActive);
    trigger->ComparisonType = TriggerCompare::GreaterThan;
    trigger->ActiveInEditorOnly = true;
    frame();
    EXPECT_FALSE(trigger->IsActive);

    // The suspicion is asked only of a trigger its start expression left active.
    addTrigger(50, TriggerCondition::ManualActivationOnly);
    trigger->ActiveInEditorOnly = false;
    trigger->TriggerStartExpression = "50";
    trigger->needsResolve = true;
    frame();
    EXPECT_FALSE(trigger->IsActive);
}

// An action that cancels its trigger's walk over the children.
class CancellingAction : public TriggerAction {
public:
    explicit CancellingAction(TriggerObject* trigger) : TriggerAction(13, trigger) {}
    void execute(TriggerEventInfo&) override {
        trigger->cancelled = true;
        TriggerObject::stopPendingEvents(trigger);
    }
};

TEST_F(TriggerFiringTest, CancelByTheFirstChildStopsTheWalkBeforeTheSecond) {
    TriggerObject* trigger = addTrigger();
    TriggerEventObject* delayed = addEvent(trigger, 5.0f, "delayed");
    LevelObject* group = new LevelObject(trigger, smgr(), -1);
    group->drop();
    TriggerEventObject* cancel = addEvent(group, 0.0f, "cancel");
    cancel->setAction(new CancellingAction(trigger));
    addEvent(trigger, 0.0f, "after");
    frames(4);
    EXPECT_TRUE(journal.empty()); // "after" never started
    EXPECT_FALSE(delayed->isPending()); // stopped by the cancel
    frames(400);
    EXPECT_TRUE(journal.empty());
}

TEST_F(TriggerFiringTest, ReweightGivesIdleVisibleConditionalsOneOverTheRemainingCount) {
    TriggerObject* trigger = addTrigger(100, TriggerCondition::ManualActivationOnly);
    trigger->ReweightConditionals = true;
    ConditionalTrigger* a = addConditional(trigger, 101);
    ConditionalTrigger* met = addConditional(trigger, 102);
    ConditionalTrigger* hidden = addConditional(trigger, 103);
    ConditionalTrigger* b = addConditional(trigger, 104);
    ConditionalTrigger* c = addConditional(trigger, 105);
    met->ConditionMet = true;
    hidden->setVisible(false);
    frame();
    EXPECT_FLOAT_EQ(a->Randomness, 1.0f / 3.0f);
    EXPECT_FLOAT_EQ(b->Randomness, 0.5f);
    EXPECT_FLOAT_EQ(c->Randomness, 1.0f);
    EXPECT_FLOAT_EQ(met->Randomness, 1.0f);
    EXPECT_FLOAT_EQ(hidden->Randomness, 1.0f);
}

TEST_F(TriggerFiringTest, LevelInformationStartsItsEventsWithItsOwnTrigger) {
    LevelInfo* info = new LevelInfo(root(), smgr(), 1);
    info->drop();
    TriggerEventObject* event = addEvent(info, 0.0f, "level start");
    ASSERT_NE(info->getTrigger(), nullptr);
    EXPECT_EQ(info->getTrigger()->getName(), core::stringc("LevelInfoTrigger"));
    EXPECT_EQ(event->ownerTrigger(), info->getTrigger());
    EXPECT_EQ(event->getAction()->trigger, info->getTrigger());
    ASSERT_TRUE(static_cast<bool>(levelHooks().triggers.startLevelInfoEvents));
    info->applyLevelSettings();
    EXPECT_EQ(journal, std::vector<std::string>{"level start execute"});
}

int levelStartRuns = 0;

// Counts its runs (stands for an action class registered by index).
class LevelStartAction : public TriggerAction {
public:
    explicit LevelStartAction(TriggerObject* trigger) : TriggerAction(28, trigger) {}
    void execute(TriggerEventInfo&) override { ++levelStartRuns; }
};

TEST_F(TriggerFiringTest, ALoadedLevelsInformationStartsItsEventsOnce) {
    workingDir = std::make_unique<test::ScopedWorkingDir>(temp.path());
    registerTriggerActionClass(28, [](TriggerObject* trigger) -> TriggerAction* { return new LevelStartAction(trigger); });
    LevelInfo* info = new LevelInfo(root(), smgr(), 1);
    info->drop();
    auto* event = new TriggerEventObject(info, smgr(), 2);
    event->drop();
    io::IAttributes* in = attributes();
    in->addEnum("OnTriggerEvent", "Unlock Achievement", triggerActionNames);
    event->deserializeAttributes(in);
    ASSERT_TRUE(manager->saveLevel("Start.irr"));
    manager->unloadLevel();
    levelStartRuns = 0;
    ASSERT_TRUE(manager->loadLevel("Start.irr"));
    EXPECT_EQ(levelStartRuns, 1);
    auto* loaded = static_cast<TriggerEventObject*>(manager->getSceneNodeFromID(2));
    ASSERT_NE(loaded, nullptr);
    ASSERT_NE(manager->currentLevelInfo, nullptr);
    EXPECT_EQ(loaded->getAction()->trigger, manager->currentLevelInfo->getTrigger());
    frames(5);
    EXPECT_EQ(levelStartRuns, 1);
    registerTriggerActionClass(28, nullptr);
}

TEST_F(TriggerFiringTest, TheLevelSubsystemKeepsTheTriggerCheckpointRegisteredFirst) {
    registerTriggerTypes();
    registerLevelObjectTypes(); // the level manager's init, after the program's entry
    scene::ISceneNode* checkpoint = smgr()->addSceneNode("CheckpointObject", root());
    ASSERT_NE(checkpoint, nullptr);
    EXPECT_NE(asTrigger(checkpoint), nullptr);
}

// --- events that run one another ---------------------------------------------------------------

class TriggerRunBoundTest : public TriggerFiringTest {
protected:
    // An event under `from` that runs the trigger `to` at once.
    void runs(TriggerObject* from, s32 to) {
        TriggerEventObject* event = addEvent(from, 0.0f);
        auto* run = new RunTriggerAction(from);
        run->ObjectID = to;
        event->setAction(run);
    }
    std::size_t boundLines() const { return log.countStartingWith("ERROR: Trigger events run one another"); }
};

TEST_F(TriggerRunBoundTest, AChainOfRunsNestsAtMostSixtyFourDeep) {
    // A firing and its event are two nested runs: 32 triggers reach depth 64, 33 one past it.
    const struct {
        int triggers;
        bool lastRuns;
    } cases[] = {{32, true}, {33, false}};
    for (const auto& c : cases) {
        forgetFileRefusals();
        log.lines.clear();
        std::vector<TriggerObject*> chain;
        for (int i = 0; i < c.triggers; ++i)
            chain.push_back(addTrigger(1000 * c.triggers + i, TriggerCondition::ManualActivationOnly));
        for (int i = 0; i + 1 < c.triggers; ++i)
            runs(chain[i], 1000 * c.triggers + i + 1);
        test::RecordingAction* last = record(chain.back());
        frame();
        TriggerEventInfo event = makeEmptyTriggerEventInfo(nullptr);
        chain.front()->fireEvent(event);
        EXPECT_EQ(last->executes, c.lastRuns ? 1 : 0) << c.triggers;
        EXPECT_EQ(boundLines(), c.lastRuns ? 0u : 1u) << c.triggers;
    }
}

TEST_F(TriggerRunBoundTest, ATriggerThatRunsItselfStopsWithOneLinePerLevelLoad) {
    TriggerObject* self = addTrigger(100, TriggerCondition::ManualActivationOnly);
    runs(self, 100);
    TriggerEventInfo event = makeEmptyTriggerEventInfo(nullptr);
    for (int i = 0; i < 3; ++i) {
        frame();
        self->fireEvent(event);
        EXPECT_EQ(TriggerRun::runsThisFrame(), TriggerRun::maxNesting);
    }
    EXPECT_EQ(boundLines(), 1u);
    forgetFileRefusals();
    self->fireEvent(event);
    EXPECT_EQ(boundLines(), 2u);
}

TEST_F(TriggerRunBoundTest, OneFrameRunsAtMostTenThousandEvents) {
    // A firing and its children at once: 1 + children runs.
    const struct {
        u32 children;
        bool lastRuns;
    } cases[] = {{TriggerRun::maxRunsPerFrame - 1, true}, {TriggerRun::maxRunsPerFrame, false}};
    s32 id = 100;
    for (const auto& c : cases) {
        log.lines.clear();
        forgetFileRefusals();
        TriggerObject* trigger = addTrigger(id++, TriggerCondition::ManualActivationOnly);
        for (u32 k = 0; k < c.children; ++k)
            addEvent(trigger, 0.0f, k + 1 == c.children ? "last" : "");
        frame();
        journal.clear();
        TriggerEventInfo event = makeEmptyTriggerEventInfo(nullptr);
        trigger->fireEvent(event);
        EXPECT_EQ(!journal.empty() && journal.back() == "last execute", c.lastRuns) << c.children;
        EXPECT_EQ(TriggerRun::runsThisFrame(), std::min(c.children + 1, TriggerRun::maxRunsPerFrame));
        EXPECT_EQ(boundLines(), c.lastRuns ? 0u : 1u) << c.children;
        // The next frame has a budget of its own.
        frame();
        journal.clear();
        trigger->fireEvent(event);
        EXPECT_EQ(journal.size(), std::min(c.children, TriggerRun::maxRunsPerFrame - 1)) << c.children;
        trigger->remove();
    }

    // Thirty triggers that each run the next twice: 2^30 runs without the bound.
    std::vector<TriggerObject*> fan;
    for (int i = 0; i < 30; ++i)
        fan.push_back(addTrigger(500 + i, TriggerCondition::ManualActivationOnly));
    for (int i = 0; i + 1 < 30; ++i) {
        runs(fan[i], 500 + i + 1);
        runs(fan[i], 500 + i + 1);
    }
    frame();
    TriggerEventInfo event = makeEmptyTriggerEventInfo(nullptr);
    fan.front()->fireEvent(event);
    EXPECT_EQ(TriggerRun::runsThisFrame(), TriggerRun::maxRunsPerFrame);
}

} // namespace
