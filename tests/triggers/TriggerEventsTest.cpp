#include "TriggerTestSupport.h"

#include "characters/WaypointObject.h"
#include "core/Globals.h"
#include "core/Random.h"
#include "level/SaveManager.h"
#include "triggers/actions/MoveObjectAction.h"
#include "triggers/actions/SuspicionCancelActions.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

using namespace irr;

namespace {

class TriggerEventsTest : public test::TriggerFixture {
protected:
    test::RecordingAction* actionOf(TriggerEventObject* event) {
        return static_cast<test::RecordingAction*>(event->getAction());
    }
};

// --- trigger event objects ------------------------------------------------------------------

TEST_F(TriggerEventsTest, ZeroDelayRunsInsideStartWithTheEventAsPassed) {
    TriggerObject* trigger = addTrigger(100, TriggerCondition::ManualActivationOnly);
    TriggerEventObject* event = addEvent(trigger, 0.0f);
    test::FakeObject* crate = addObject(7);
    event->startEvent(makeTriggerEventInfo(crate, {1, 2, 3}));
    EXPECT_EQ(actionOf(event)->executes, 1);
    EXPECT_EQ(actionOf(event)->lastEvent.object, crate);
    EXPECT_FLOAT_EQ(event->pending.time, -1.0f); // the pending record stays untouched
    EXPECT_EQ(event->pending.object, nullptr);
}

TEST_F(TriggerEventsTest, DelayedEventRunsOnTheFrameItsTimerReachesTheDelay) {
    TriggerObject* trigger = addTrigger(100, TriggerCondition::ManualActivationOnly);
    TriggerEventObject* event = addEvent(trigger, 2.0f);
    test::RecordingAction* action = actionOf(event);
    frame(0.5f);
    const int idleUpdates = action->updates;
    EXPECT_EQ(idleUpdates, 1); // idle: the action's step runs
    event->startEvent(makeEmptyTriggerEventInfo(nullptr));
    frames(3, 0.5f);
    EXPECT_EQ(action->executes, 0);
    EXPECT_EQ(action->updates, idleUpdates); // counting: no step
    frame(0.5f);
    EXPECT_EQ(action->executes, 1);
    EXPECT_FALSE(event->isPending());

    // A second start while counting restarts the delay.
    event->startEvent(makeEmptyTriggerEventInfo(nullptr));
    frames(3, 0.5f);
    event->startEvent(makeEmptyTriggerEventInfo(nullptr));
    frames(3, 0.5f);
    EXPECT_EQ(action->executes, 1);
    frame(0.5f);
    EXPECT_EQ(action->executes, 2);
}

// A delay below 0 or not finite: never a run before a start, one run a start. Read from a
// level it counts as 0, with one line; set below 0 in code it still waits for a start.
TEST_F(TriggerEventsTest, ADelayBelowZeroOrNotFiniteRunsOnceAStartAndNeverUnstarted) {
    const f32 inf = std::numeric_limits<f32>::infinity();
    const struct {
        f32 delay;
        bool read;
        const char* line; // the clamp line's value, or none
    } rows[] = {
        {-1.0f, true, "-1"},
        {-1.001f, true, "-1.001"},
        {-2.0f, true, "-2"},
        {-100.0f, true, "-100"},
        {-1e30f, true, "-1e+30"},
        {-std::numeric_limits<f32>::denorm_min(), true, "-1e-45"},
        {inf, true, "inf"},
        {std::numeric_limits<f32>::quiet_NaN(), true, "nan"},
        {0.0f, true, nullptr}, // on the bound
        {-1.0f, false, nullptr},
        {-100.0f, false, nullptr},
    };
    s32 id = 100;
    for (const auto& row : rows) {
        const std::string name = "Delayed" + std::to_string(id);
        TriggerObject* trigger = addTrigger(id++, TriggerCondition::ManualActivationOnly);
        TriggerEventObject* event = addEvent(trigger, row.read ? 0.0f : row.delay);
        event->setName(name.c_str());
        log.lines.clear();
        if (row.read) {
            io::IAttributes* in = attributes();
            in->addFloat("EventDelay", row.delay);
            event->deserializeAttributes(in);
            EXPECT_EQ(event->EventDelay, 0.0f) << name;
            const std::string line = "Warning: Level object \"" + name + "\" (TriggerEventObject): EventDelay " +
                                     (row.line ? row.line : "") + " clamped to 0 (allowed 0 to 3.4028235e+38)";
            EXPECT_EQ(log.lines, row.line ? std::vector<std::string>{line} : std::vector<std::string>{}) << name;
        }
        frames(3); // its trigger never met
        EXPECT_EQ(actionOf(event)->executes, 0) << name;
        TriggerEventInfo fired = makeEmptyTriggerEventInfo(nullptr);
        trigger->fireEvent(fired);
        frames(3);
        EXPECT_EQ(actionOf(event)->executes, 1) << name;
        EXPECT_FALSE(event->isPending()) << name;
    }
}

TEST_F(TriggerEventsTest, PausedOwnersHoldTheDelay) {
    TriggerObject* trigger = addTrigger(100, TriggerCondition::ManualActivationOnly);
    ConditionalTrigger* conditional = addConditional(trigger, 101, TriggerCondition::ManualActivationOnly);
    TriggerEventObject* held = addEvent(conditional, 1.0f);
    held->startEvent(makeEmptyTriggerEventInfo(nullptr));
    conditional->pauseCount = 1; // a sound it started still plays
    frames(10, 0.5f);
    EXPECT_EQ(actionOf(held)->executes, 0);
    EXPECT_FLOAT_EQ(held->pending.time, 0.0f);
    conditional->pauseCount = 0;
    frames(2, 0.5f);
    EXPECT_EQ(actionOf(held)->executes, 1);
}

TEST_F(TriggerEventsTest, ReadingKeepsOrReplacesTheActionAndResumesASavedTimer) {
    TriggerObject* trigger = addTrigger(100, TriggerCondition::ManualActivationOnly);
    auto* event = new TriggerEventObject(trigger, smgr(), 5);
    event->drop();
    io::IAttributes* in = attributes();
    in->addEnum("OnTriggerEvent", "Play Sound", triggerActionNames);
    in->addFloat("EventDelay", 3.0f);
    in->addFloat("Timer", 1.25f);
    event->deserializeAttributes(in);
    TriggerAction* playSound = event->getAction();
    ASSERT_NE(playSound, nullptr);
    EXPECT_EQ(playSound->getType(), 6);
    EXPECT_EQ(playSound->trigger, trigger);
    EXPECT_EQ(playSound->event, event);
    EXPECT_TRUE(event->isPending());
    EXPECT_FLOAT_EQ(event->pending.time, 1.25f);
    io::IAttributes* nothing = attributes();
    nothing->addEnum("OnTriggerEvent", "Nothing", triggerActionNames);
    event->deserializeAttributes(nothing);
    EXPECT_EQ(event->getAction(), playSound); // 0 never replaces an action
    frames(7, 0.25f); // 1.25 + 1.75 = 3.0: the saved delay ends
    EXPECT_FALSE(event->isPending());

    // Without a trigger kind, level information, cutscene or waypoint above: no action.
    auto* orphan = new TriggerEventObject(root(), smgr(), 6);
    orphan->drop();
    orphan->deserializeAttributes(in);
    EXPECT_EQ(orphan->getAction(), nullptr);
    io::IAttributes* out = attributes();
    io::SAttributeReadWriteOptions editor;
    editor.Flags = io::EARWF_FOR_EDITOR;
    orphan->serializeAttributes(out, &editor);
    EXPECT_FALSE(out->existsAttribute("OnTriggerEvent"));
    EXPECT_FALSE(out->existsAttribute("EventDelay"));
}

TEST_F(TriggerEventsTest, EventDelayIsWrittenWhenSetAndTheTimerOnlyWhilePending) {
    TriggerObject* trigger = addTrigger(100, TriggerCondition::ManualActivationOnly);
    TriggerEventObject* event = addEvent(trigger, 0.0f);
    io::IAttributes* out = attributes();
    event->serializeAttributes(out);
    EXPECT_FALSE(out->existsAttribute("EventDelay"));
    EXPECT_FALSE(out->existsAttribute("Timer"));
    EXPECT_STREQ(out->getAttributeAsEnumeration("OnTriggerEvent"), "Play Sound"); // the recording action's index
    event->EventDelay = 2.0f;
    event->startEvent(makeEmptyTriggerEventInfo(nullptr));
    io::IAttributes* pending = attributes();
    event->serializeAttributes(pending);
    EXPECT_FLOAT_EQ(pending->getAttributeAsFloat("EventDelay"), 2.0f);
    ASSERT_TRUE(pending->existsAttribute("Timer")) << "started this frame: pending at 0";
    EXPECT_FLOAT_EQ(pending->getAttributeAsFloat("Timer"), 0.0f);
}

TEST_F(TriggerEventsTest, CloneCopiesDelayAndActionBoundToTheSameTrigger) {
    TriggerObject* trigger = addTrigger(100, TriggerCondition::ManualActivationOnly);
    auto* event = new TriggerEventObject(trigger, smgr(), 5);
    event->drop();
    io::IAttributes* in = attributes();
    in->addEnum("OnTriggerEvent", "End Level", triggerActionNames);
    in->addFloat("EventDelay", 1.5f);
    event->deserializeAttributes(in);
    auto* copy = static_cast<TriggerEventObject*>(event->clone());
    ASSERT_NE(copy, nullptr);
    EXPECT_FLOAT_EQ(copy->EventDelay, 1.5f);
    ASSERT_NE(copy->getAction(), nullptr);
    EXPECT_EQ(copy->getAction()->getType(), 27);
    EXPECT_EQ(copy->getAction()->trigger, trigger);
    EXPECT_EQ(copy->getAction()->event, nullptr);
}

// --- conditional triggers -------------------------------------------------------------------

class ConditionalTest : public TriggerEventsTest {
protected:
    void SetUp() override {
        TriggerEventsTest::SetUp();
        seedRandom(12345);
        parent = addTrigger(100, TriggerCondition::ManualActivationOnly);
    }
    ConditionalTrigger* child(s32 id, f32 start, f32 end) {
        ConditionalTrigger* conditional = addConditional(parent, id);
        conditional->TimeSpan = core::vector2df(start, end);
        recorded[id] = record(conditional, "cond" + std::to_string(id));
        return conditional;
    }
    TriggerObject* parent = nullptr;
    std::map<s32, test::RecordingAction*> recorded;
};

TEST_F(ConditionalTest, ZeroWindowEvaluatesInsideStartAndASkippedStartDoesNothing) {
    ConditionalTrigger* now = child(101, 0, 0);
    frames(3);
    now->start();
    EXPECT_EQ(recorded[101]->executes, 1);
    EXPECT_FLOAT_EQ(now->Timer, -1.0f);
    now->Randomness = 0.0f;
    for (int i = 0; i < 50; ++i)
        now->start();
    EXPECT_EQ(recorded[101]->executes, 1);
    EXPECT_TRUE(now->skipped);
    now->Randomness = 1.0f - 1e-7f; // within 1e-6 of 1: never drawn
    now->start();
    EXPECT_FALSE(now->skipped);
    EXPECT_EQ(recorded[101]->executes, 2);
}

TEST_F(ConditionalTest, WindowEvaluatesFromTheFrameAfterItsStartToTheFirstPastItsEnd) {
    ConditionalTrigger* once = child(101, 1, 1);
    once->BreakIfTrue = false;
    ConditionalTrigger* window = child(102, 0.5f, 1.0f);
    window->BreakIfTrue = false;
    window->TriggerConditionIndex = static_cast<s32>(TriggerCondition::ManualActivationOnly);
    frames(3, 0.25f);
    once->start();
    window->start();
    frames(4, 0.25f); // timer 0.25 .. 1.0: not past 1
    EXPECT_EQ(recorded[101]->executes, 0);
    window->ConditionMet = true; // met by others: the frame past the end still evaluates it
    frame(0.25f);
    EXPECT_EQ(recorded[101]->executes, 1);
    EXPECT_EQ(recorded[102]->executes, 1);
    EXPECT_FLOAT_EQ(once->Timer, -1.0f);
    EXPECT_FLOAT_EQ(window->Timer, -1.0f);

    // A skipped start runs its timer through the window, evaluating nothing.
    once->Randomness = 0.0f;
    once->start();
    EXPECT_TRUE(once->skipped);
    frames(6, 0.25f);
    EXPECT_EQ(recorded[101]->executes, 1);
    EXPECT_FLOAT_EQ(once->Timer, -1.0f);
}

TEST_F(ConditionalTest, AMetConditionalBreaksItsPlainTriggersSequence) {
    ConditionalTrigger* first = child(101, 0, 0);
    TriggerEventObject* pending = addEvent(parent, 5.0f, "pending");
    ConditionalTrigger* second = child(102, 0, 0);
    ConditionalTrigger* timed = child(103, 1, 2);
    (void)first;
    frames(3);
    TriggerEventInfo event;
    parent->fireChildEvents(parent, event);
    EXPECT_EQ(recorded[101]->executes, 1);
    EXPECT_EQ(recorded[102]->executes, 0); // the walk stopped at the break
    EXPECT_FALSE(pending->isPending());
    EXPECT_TRUE(parent->cancelled);
    EXPECT_FLOAT_EQ(second->Timer, -1.0f);
    EXPECT_FLOAT_EQ(timed->Timer, -1.0f);

    // Stopping the pending events stops a running window as well.
    timed->start();
    EXPECT_FLOAT_EQ(timed->Timer, 0.0f);
    TriggerObject::stopPendingEvents(parent);
    frames(10, 0.5f);
    EXPECT_EQ(recorded[103]->executes, 0);
}

TEST_F(ConditionalTest, AHiddenConditionalDoesNotBreakTheSequence) {
    ConditionalTrigger* hidden = child(101, 0, 0);
    hidden->setVisible(false);
    child(102, 0, 0)->BreakIfTrue = false;
    frames(3);
    TriggerEventInfo event;
    parent->fireChildEvents(parent, event);
    EXPECT_EQ(recorded[101]->executes, 1);
    EXPECT_EQ(recorded[102]->executes, 1);
    EXPECT_FALSE(parent->cancelled);
}

// A start clears the last result unless the conditional latches it.
TEST_F(ConditionalTest, AStartEvaluatesAfreshUnlessTheConditionLatches) {
    for (const bool latched : {false, true}) {
        const s32 id = latched ? 102 : 101;
        ConditionalTrigger* conditional = child(id, 0, 0);
        conditional->BreakIfTrue = false;
        conditional->OnceCondMetAlwaysMet = latched;
        frames(3);
        conditional->start();
        frame();
        conditional->start();
        EXPECT_EQ(recorded[id]->executes, latched ? 1 : 2) << (latched ? "latched" : "fresh");
    }
}

TEST_F(ConditionalTest, ACloneKeepsItsWindowBreakAndChance) {
    ConditionalTrigger* original = child(101, 1.0f, 2.0f);
    original->BreakIfTrue = false;
    original->Randomness = 0.25f;
    auto* copy = static_cast<ConditionalTrigger*>(original->clone());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->TimeSpan, core::vector2df(1.0f, 2.0f));
    EXPECT_FALSE(copy->BreakIfTrue);
    EXPECT_FLOAT_EQ(copy->Randomness, 0.25f);
}

TEST_F(ConditionalTest, AMetConditionalBelowAWaypointBreaksItsArrival) {
    auto* point = new WaypointObject(root(), smgr(), 200);
    point->drop();
    ConditionalTrigger* breaking = addConditional(point, 201);
    breaking->TimeSpan = core::vector2df(0, 0);
    test::RecordingAction* broke = record(breaking, "break");
    TriggerEventObject* later = addEvent(point, 5.0f, "later");
    frames(3);
    point->runWaypointEvents();
    EXPECT_EQ(broke->executes, 1);
    EXPECT_TRUE(point->eventsStopped) << "the rest of this arrival does not start";
    EXPECT_FALSE(later->isPending());
    frames(10, 1.0f);
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "later execute"), 0);
}

TEST_F(ConditionalTest, ReweightedSiblingsRunExactlyOneEachWithEqualChance) {
    parent->ReweightConditionals = true;
    for (s32 id : {101, 102, 103})
        child(id, 0, 0);
    frames(3);
    const int trials = 3000;
    for (int trial = 0; trial < trials; ++trial) {
        for (s32 id : {101, 102, 103})
            static_cast<ConditionalTrigger*>(manager->getSceneNodeFromID(id))->ConditionMet = false;
        parent->reweightConditionals();
        int before = 0;
        for (auto& [id, action] : recorded)
            before += action->executes;
        TriggerEventInfo event;
        parent->fireChildEvents(parent, event);
        int after = 0;
        for (auto& [id, action] : recorded)
            after += action->executes;
        ASSERT_EQ(after - before, 1) << trial;
    }
    for (auto& [id, action] : recorded)
        EXPECT_NEAR(action->executes, trials / 3, trials / 3 * 0.12) << id;
}

TEST_F(ConditionalTest, OlderEventDelayBecomesAOneFrameWindowWithoutBreak) {
    ConditionalTrigger* older = addConditional(parent, 101);
    io::IAttributes* in = attributes();
    in->addFloat("EventDelay", 2.0f);
    older->deserializeAttributes(in);
    EXPECT_FLOAT_EQ(older->TimeSpan.X, 2.0f);
    EXPECT_FLOAT_EQ(older->TimeSpan.Y, 2.0f);
    EXPECT_FALSE(older->BreakIfTrue);
    io::IAttributes* out = attributes();
    older->serializeAttributes(out);
    EXPECT_FALSE(out->existsAttribute("EventDelay"));
    EXPECT_TRUE(out->existsAttribute("TimeSpan"));
    EXPECT_FALSE(out->existsAttribute("Timer")); // idle
    older->start();
    io::IAttributes* started = attributes();
    older->serializeAttributes(started);
    EXPECT_TRUE(started->existsAttribute("Timer")) << "a window started this frame is running";
}

// --- checkpoints ------------------------------------------------------------------------------

TEST_F(TriggerEventsTest, RunTimeStateGoesIntoACheckpointAndComesBackFromIt) {
    workingDir = std::make_unique<test::ScopedWorkingDir>(temp.path());
    SaveManager save(device->get()->getFileSystem(), temp.file("save"));
    save.automaticWriting = false;
    saveManager = &save;
    manager->PlayMode = 2;

    TriggerObject* fired = addTrigger(100);
    fired->OnceCondMetAlwaysMet = true;
    addEvent(fired, 5.0f, "later")->setID(110);
    ConditionalTrigger* window = addConditional(fired, 120);
    window->TimeSpan = core::vector2df(3.0f, 4.0f);
    TriggerObject* manual = addTrigger(101, TriggerCondition::ManualActivationOnly);
    TriggerObject* refiring = addTrigger(102);
    frames(4, 0.5f); // fires on the fourth frame
    frames(2, 0.5f);
    manual->ConditionMet = true;
    manual->PreCondTimer = 0.3f;
    EXPECT_TRUE(refiring->ConditionMet);
    ASSERT_TRUE(manager->saveCheckpoint());

    manager->unloadLevel();
    ASSERT_TRUE(manager->loadLevel(manager->getCheckpointPath(false)));
    auto* loadedFired = static_cast<TriggerObject*>(manager->getSceneNodeFromID(100));
    auto* loadedEvent = static_cast<TriggerEventObject*>(manager->getSceneNodeFromID(110));
    auto* loadedWindow = static_cast<ConditionalTrigger*>(manager->getSceneNodeFromID(120));
    auto* loadedManual = static_cast<TriggerObject*>(manager->getSceneNodeFromID(101));
    auto* loadedRefiring = static_cast<TriggerObject*>(manager->getSceneNodeFromID(102));
    ASSERT_TRUE(loadedFired && loadedEvent && loadedWindow && loadedManual && loadedRefiring);
    EXPECT_TRUE(loadedFired->ConditionMet);
    EXPECT_TRUE(loadedFired->PrevConditionMet); // no second rising edge after the reload
    EXPECT_FLOAT_EQ(loadedEvent->pending.time, 1.5f);
    EXPECT_FLOAT_EQ(loadedWindow->Timer, 1.5f);
    EXPECT_TRUE(loadedManual->ConditionMet);
    EXPECT_NEAR(loadedManual->PreCondTimer, 0.3f, 1e-6f);
    EXPECT_FALSE(loadedRefiring->ConditionMet); // an unlatched Immediately trigger fires again

    frames(7, 0.5f); // 1.5 + 3.5 = 5.0: the saved delay ends
    EXPECT_FALSE(loadedEvent->isPending());
    EXPECT_FLOAT_EQ(loadedWindow->Timer, -1.0f);
    saveManager = nullptr;
}

// --- the level's clock -------------------------------------------------------------------------

// A slow frame (half a second, of which the physics simulates its ten steps) plays a sixth of a
// second of the level: every timer of the script goes on by that, as the level's time does,
// not by the frame's length.
TEST_F(TriggerEventsTest, ScriptTimersGoOnByWhatASlowFramePlaysNotByItsLength) {
    constexpr f32 slowFrame = 0.5f;
    constexpr f32 played = 10 * PhysicsManager::fixedStepSize;

    TriggerObject* waiting = addTrigger(100, TriggerCondition::ManualActivationOnly);
    TriggerEventObject* delayed = addEvent(waiting, 2.0f);
    ConditionalTrigger* window = addConditional(waiting, 110);
    window->TimeSpan = core::vector2df(2.0f, 2.0f);
    TriggerObject* held = addTrigger(200, TriggerCondition::Immediately);
    held->MinimumTimeUntilMet = 2.0f;
    TriggerObject* repeating = addTrigger(300, TriggerCondition::ManualActivationOnly);
    auto* interval = new AddSuspicionAction(repeating);
    interval->SuspicionTimer = 5.0f;
    repeating->setAction(interval);
    TriggerObject* moving = addTrigger(400, TriggerCondition::ManualActivationOnly);
    auto* move = new MoveObjectAction(moving);
    move->MoveMode = MoveObjectAction::Manual;
    move->MoveDuration = 2.0f;
    move->ObjectID = addObject(7, "emty")->getID();
    moving->setAction(move);

    frames(3, 0.0167f); // a trigger evaluates its condition from its fourth frame on
    manager->setSimulatedSeconds(0.0f);
    delayed->startEvent(makeEmptyTriggerEventInfo(nullptr));
    window->start();
    TriggerEventInfo event = makeEmptyTriggerEventInfo(nullptr);
    move->execute(event);
    ASSERT_EQ(move->getMoves().size(), 1u);
    const struct {
        const char* timer;
        std::function<f32()> gone;
    } timers[] = {
        {"an event's delay", [&] { return delayed->pending.time; }},
        {"a minimum time until met", [&] { return held->PreCondTimer; }},
        {"an action's interval", [&] { return interval->intervalTimer; }},
        {"a conditional trigger's window", [&] { return window->Timer; }},
        {"a move's duration", [&] { return move->MoveDuration - move->getMoves()[0].remaining; }},
    };
    std::vector<f32> before;
    for (const auto& timer : timers)
        before.push_back(timer.gone());

    frame(slowFrame, played);
    for (std::size_t i = 0; i < std::size(timers); ++i)
        EXPECT_NEAR(timers[i].gone() - before[i], played, 1e-5f) << timers[i].timer;
}

} // namespace
