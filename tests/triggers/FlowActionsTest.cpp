// Run, Reset and Cancel Trigger, Run Fake Transition, Add Suspicion, End Level and Level
// CheckPoint: their files, their effect on a small scene, and that none of them undoes.
#include "ActionTestSupport.h"

#include "camera/CutsceneObject.h"
#include "characters/SuspicionMeter.h"
#include "core/Globals.h"
#include "core/LogManager.h"
#include "level/SaveManager.h"
#include "screens/levels/LevelCatalogue.h"
#include "support/ScreenConnections.h"
#include "support/StubPlayer.h"
#include "triggers/CheckpointObject.h"
#include "triggers/actions/LevelFlowActions.h"
#include "triggers/actions/SuspicionCancelActions.h"
#include "triggers/actions/TriggerControlActions.h"

using namespace irr;

namespace {

constexpr const char* storyLevel = "Content/Levels/Story_Garden.irr";

class FlowActionsTest : public test::ActionFixture {
protected:
    void SetUp() override {
        ActionFixture::SetUp();
        save = std::make_unique<SaveManager>(gameDevice->getFileSystem(), temp.file("save"));
        save->automaticWriting = false;
        save->setClock([this] { return ++clock; }); // every backup gets a name of its own
        saveManager = save.get();
        savedLevels = AllLevels;
        LevelRecord listed;
        listed.path = storyLevel;
        AllLevels = {listed};
    }
    void TearDown() override {
        AllLevels = savedLevels;
        demoMode = false;
        gameDifficulty = 1;
        saveManager = nullptr;
        save.reset();
        ActionFixture::TearDown();
    }
    template <class Action>
    Action* makeAction(const std::function<void(io::IAttributes*)>& keys, s32 id = 50,
                       TriggerCondition condition = TriggerCondition::ManualActivationOnly) {
        TriggerObject* trigger = addActionTrigger(id, Action::actionType, keys, condition);
        EXPECT_EQ(trigger->getAction()->getType(), Action::actionType);
        return static_cast<Action*>(trigger->getAction());
    }
    std::vector<LevelEventType> queuedEvents() const {
        std::vector<LevelEventType> types;
        for (const auto& event : manager->getLevelEvents())
            types.push_back(event->getType());
        return types;
    }
    bool queued(LevelEventType type) const { return manager->isEventQueued(type); }
    void runQueue() {
        for (int i = 0; i < 100 && !manager->getLevelEvents().empty(); ++i)
            manager->processLevelEvents(1.0f);
    }
    EndLevelAction* endLevel(const char* next, s32 mode, bool setSavePath = false, const char* savePath = "") {
        manager->PlayMode = mode;
        return makeAction<EndLevelAction>([&](io::IAttributes* keys) {
            keys->addString("NextLevel", next);
            keys->addEnum("TransitionType", "Fade to White", levelTransitionNames);
            keys->addFloat("HoldLength", 0.5f);
            keys->addBool("SetSaveLevelPath", setSavePath);
            keys->addString("SaveLevelPath", savePath);
        });
    }
    std::size_t countLinesWith(const std::string& text) const {
        std::size_t n = 0;
        for (const std::string& line : log.lines)
            n += line.find(text) != std::string::npos ? 1 : 0;
        return n;
    }
    // Save writes so far (each writes one dated backup beside the save), after the write
    // asked for, as the frame's end makes it.
    std::size_t saveWrites() {
        save->writeRequested();
        return save->listBackups().size();
    }

    // End Level asks the screens' level catalogue whether the next level is listed.
    test::ScreenConnections connections;
    std::unique_ptr<SaveManager> save;
    std::time_t clock = 1000000;
    std::vector<LevelRecord> savedLevels;
    TriggerEventInfo event;
};

// --- files -------------------------------------------------------------------------------------

TEST_F(FlowActionsTest, EachActionSavesItsKeysReadsThemBackAndClonesThem) {
    struct Case {
        s32 type;
        std::function<void(io::IAttributes*)> keys;
        std::string saved;
    };
    const Case cases[] = {
        {RunTriggerAction::actionType, [](io::IAttributes* k) { k->addInt("ObjectID", 60); },
         "ObjectID=60;"},
        {RunTriggerAction::actionType,
         [](io::IAttributes* k) {
             k->addInt("ObjectID", 60);
             k->addInt("PhysicsObjectID", 70);
             k->addBool("SetConditionMet", true);
         },
         "ObjectID=60;PhysicsObjectID=70;SetConditionMet=true;"},
        {ResetTriggerAction::actionType, [](io::IAttributes* k) { k->addInt("ObjectID", 61); }, "ObjectID=61;"},
        {CancelTriggerAction::actionType, [](io::IAttributes* k) { k->addInt("ObjectID", 62); }, "ObjectID=62;"},
        {LevelCheckPointAction::actionType, [](io::IAttributes* k) { k->addInt("ObjectID", 63); }, "ObjectID=63;"},
        {RunFakeTransitionAction::actionType,
         [](io::IAttributes* k) {
             k->addString("TransitionType", "None");
             k->addFloat("HoldLength", 2.0f);
         },
         "TransitionType=None;HoldLength=2.000000;"},
        {RunFakeTransitionAction::actionType, [](io::IAttributes* k) { k->addString("TransitionType", "None"); },
         "TransitionType=None;HoldLength=0.000000;"},
        {AddSuspicionAction::actionType,
         [](io::IAttributes* k) {
             k->addFloat("AddSuspiciousAmount", 5.0f);
             k->addBool("InstantDeath", true);
             k->addVector3d("SuspicionPosition", core::vector3df(1, 2, 3));
         },
         "AddSuspiciousAmount=5.000000;SuspicionTimer=0.000000;UseContactPoint=false;IgnoreRadiusLimit=false;"
         "InstantDeath=true;AddInEveryMode=true;SuspicionPositionID=0;SuspicionPosition=1.000000, 2.000000, 3.000000;"},
        {AddSuspicionAction::actionType,
         [](io::IAttributes* k) {
             k->addBool("UseContactPoint", true);
             k->addInt("SuspicionPositionID", 9);
         },
         "AddSuspiciousAmount=0.000000;SuspicionTimer=0.000000;UseContactPoint=true;IgnoreRadiusLimit=false;"
         "InstantDeath=false;AddInEveryMode=false;"},
        {EndLevelAction::actionType,
         [](io::IAttributes* k) {
             k->addString("NextLevel", "Content/Levels/B.irr");
             k->addString("TransitionType", "Fade to Black");
             k->addBool("SaveLevelLength", false);
             k->addString("SaveLevelPath", "Content/Levels/C.irr");
         },
         "NextLevel=Content/Levels/B.irr;TransitionType=Fade to Black;HoldLength=0.000000;SaveLevelLength=false;"
         "SetSaveLevelPath=false;"},
    };
    for (const Case& c : cases) {
        TriggerObject* trigger = addActionTrigger(50, c.type, c.keys);
        TriggerAction* action = trigger->getAction();
        ASSERT_EQ(action->getType(), c.type) << triggerActionNames[c.type];
        EXPECT_FALSE(action->canRevert()) << "none of them can be undone";
        EXPECT_EQ(keysOf(*action), c.saved) << triggerActionNames[c.type];
        std::unique_ptr<TriggerAction> copy(action->clone(trigger));
        EXPECT_EQ(keysOf(*copy), c.saved) << triggerActionNames[c.type];
        trigger->remove();
    }
    // The editor writes the optional keys of Run Trigger too.
    RunTriggerAction run(nullptr);
    io::SAttributeReadWriteOptions editor;
    editor.Flags = io::EARWF_FOR_EDITOR;
    io::IAttributes* out = attributes();
    run.serializeAttributes(out, &editor);
    EXPECT_TRUE(out->existsAttribute("PhysicsObjectID"));
    EXPECT_TRUE(out->existsAttribute("SetConditionMet"));
}

// --- Run, Reset, Cancel Trigger and Run Fake Transition --------------------------------------------

TEST_F(FlowActionsTest, RunTriggerFiresTheTriggerWithItsCauseAndCanLeaveItMet) {
    TriggerObject* target = addTrigger(60, TriggerCondition::ManualActivationOnly);
    test::RecordingAction* recorded = record(target);
    TriggerEventObject* child = addEvent(target, 1.0f);
    PhysicsObject* crate = addCrate(70, {3, 4, 5});
    RunTriggerAction* run = makeAction<RunTriggerAction>([](io::IAttributes* k) {
        k->addInt("ObjectID", 60);
        k->addInt("PhysicsObjectID", 70);
        k->addBool("SetConditionMet", true);
    });
    run->execute(event);
    ASSERT_EQ(recorded->executes, 1);
    EXPECT_EQ(recorded->lastEvent.object, crate);
    EXPECT_EQ(recorded->lastEvent.position, core::vector3df(3, 4, 5));
    EXPECT_EQ(recorded->lastEvent.secondVector, core::vector3df(0, 1, 0));
    EXPECT_FLOAT_EQ(child->pending.time, 0.0f) << "the child events start";
    EXPECT_TRUE(target->ConditionMet);
    EXPECT_TRUE(target->PrevConditionMet) << "no rising edge left for the next evaluation";

    run->PhysicsObjectID = 0;
    run->SetConditionMet = false;
    target->ConditionMet = target->PrevConditionMet = false;
    run->execute(event);
    EXPECT_EQ(recorded->executes, 2);
    EXPECT_EQ(recorded->lastEvent.object, nullptr);
    EXPECT_EQ(recorded->lastEvent.position, core::vector3df());
    EXPECT_FALSE(target->ConditionMet);
}

TEST_F(FlowActionsTest, RunTriggerStartsACutsceneAndCancelTriggerEndsIt) {
    auto* cutscene = new CutsceneObject(root(), smgr(), 200);
    cutscene->drop();
    cutscene->CutsceneDuration = 10.0f;
    manager->registerNodeIDs(cutscene);
    addObject(71, "emty");
    logTriggers = true;
    makeAction<RunTriggerAction>([](io::IAttributes* k) { k->addInt("ObjectID", 71); })->execute(event);
    EXPECT_EQ(countLinesWith("Run Trigger"), 0u) << "another kind of object: nothing, not even a log line";
    makeAction<RunTriggerAction>([](io::IAttributes* k) { k->addInt("ObjectID", 200); })->execute(event);
    EXPECT_TRUE(cutscene->isRunning());
    EXPECT_EQ(countLinesWith("Run Trigger"), 1u);
    makeAction<CancelTriggerAction>([](io::IAttributes* k) { k->addInt("ObjectID", 200); })->execute(event);
    EXPECT_GE(cutscene->elapsed, cutscene->CutsceneDuration - 1.0f) << "jumped to its end";
}

TEST_F(FlowActionsTest, CancelTriggerStopsPendingEventsOfEveryTriggerKind) {
    for (const char* kind : {"TriggerObject", "ConditionalTrigger", "ForceVolume", "CheckpointObject"}) {
        auto* target = static_cast<TriggerObject*>(smgr()->addSceneNode(kind, root()));
        ASSERT_NE(target, nullptr) << kind;
        target->setID(60);
        manager->registerNodeIDs(target);
        TriggerEventObject* pending = addEvent(target, 5.0f);
        pending->startEvent(event);
        ASSERT_TRUE(pending->isPending()) << kind;
        makeAction<CancelTriggerAction>([](io::IAttributes* k) { k->addInt("ObjectID", 60); })->execute(event);
        EXPECT_FALSE(pending->isPending()) << kind;
        EXPECT_TRUE(target->cancelled) << kind;
        target->remove();
    }
    // A trigger event: its own action is cancelled.
    TriggerObject* parent = addTrigger(61, TriggerCondition::ManualActivationOnly);
    TriggerEventObject* eventObject = addEvent(parent, 1.0f);
    eventObject->setID(62);
    manager->registerNodeIDs(eventObject);
    struct CancelCounter : TriggerAction {
        explicit CancelCounter(int& count) : TriggerAction(6, nullptr), count(count) {}
        void cancel() override { ++count; }
        int& count;
    };
    int cancels = 0;
    eventObject->setAction(new CancelCounter(cancels));
    makeAction<CancelTriggerAction>([](io::IAttributes* k) { k->addInt("ObjectID", 62); })->execute(event);
    EXPECT_EQ(cancels, 1);
}

TEST_F(FlowActionsTest, ResetTriggerPutsATriggerBackAndACheckpointForgetsItsSave) {
    TriggerObject* target = addTrigger(60, TriggerCondition::ManualActivationOnly);
    target->ConditionMet = target->PrevConditionMet = true;
    target->PreCondTimer = 3.0f;
    target->entryCounts[root()] = 2;
    target->releasedObject = root();
    auto* checkpoint = new CheckpointObject(root(), smgr(), 80);
    checkpoint->drop();
    checkpoint->CheckpointSaved = checkpoint->IsActiveCheckpoint = checkpoint->ConditionMet = true;
    manager->registerNodeIDs(checkpoint);

    makeAction<ResetTriggerAction>([](io::IAttributes* k) { k->addInt("ObjectID", 60); })->execute(event);
    EXPECT_FALSE(target->ConditionMet);
    EXPECT_FALSE(target->PrevConditionMet);
    EXPECT_FALSE(target->IsActive) << "until its next activation step";
    EXPECT_FLOAT_EQ(target->PreCondTimer, 0.0f);
    EXPECT_TRUE(target->entryCounts.empty());
    EXPECT_EQ(target->releasedObject, nullptr);

    makeAction<ResetTriggerAction>([](io::IAttributes* k) { k->addInt("ObjectID", 80); })->execute(event);
    EXPECT_FALSE(checkpoint->CheckpointSaved);
    EXPECT_FALSE(checkpoint->IsActiveCheckpoint);
    EXPECT_FALSE(checkpoint->ConditionMet);
}

TEST_F(FlowActionsTest, RunFakeTransitionQueuesTheTransitionInAndOutEvenForNone) {
    makeAction<RunFakeTransitionAction>([](io::IAttributes* k) {
        k->addString("TransitionType", "None");
        k->addFloat("HoldLength", 1.5f);
    })->execute(event);
    const auto& events = manager->getLevelEvents();
    ASSERT_EQ(events.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        ASSERT_EQ(events[i]->getType(), LET_Transition);
        auto* transition = static_cast<TransitionEvent*>(events[i].get());
        EXPECT_EQ(transition->intro, i == 0);
        EXPECT_EQ(transition->mode, 4);
        EXPECT_FLOAT_EQ(transition->hold, 1.5f);
        EXPECT_FLOAT_EQ(transition->speed, 1.0f);
        EXPECT_EQ(transition->kind, 2);
    }
}

// --- Add Suspicion ---------------------------------------------------------------------------------

TEST_F(FlowActionsTest, AddSuspicionAddsOnFiringThenEveryIntervalWhileMetAndKeepsItsCoolDown) {
    SuspicionMeter& meter = *manager->suspicionMeter;
    meter.age = 3.0f;
    meter.watcherCount = 1;
    AddSuspicionAction* add = makeAction<AddSuspicionAction>([](io::IAttributes* k) {
        k->addFloat("AddSuspiciousAmount", 5.0f);
        k->addFloat("SuspicionTimer", 3.0f);
        k->addBool("IgnoreRadiusLimit", true);
    });
    TriggerObject* owner = add->trigger;
    owner->setPosition({7, 0, 0});
    owner->updateAbsolutePosition();
    add->execute(event);
    EXPECT_FLOAT_EQ(meter.pendingValue, 5.0f) << "the first execute after loading acts";
    EXPECT_EQ(add->SuspicionPosition, core::vector3df(7, 0, 0)) << "the owner's position";
    step(1.0f, [&] { add->execute(event); });
    EXPECT_FLOAT_EQ(meter.pendingValue, 5.0f) << "inside the cool-down";
    owner->ConditionMet = owner->PrevConditionMet = true;
    step(2.5f); // the trigger stays met past the interval
    EXPECT_FLOAT_EQ(meter.pendingValue, 10.0f);
    EXPECT_NE(keysOf(*add).find("SuspicionPosition=7.000000, 0.000000, 0.000000"), std::string::npos)
        << "the position used is saved";
    step(3.0f); // a whole interval, to its end
    EXPECT_FLOAT_EQ(meter.pendingValue, 15.0f);
    owner->ConditionMet = owner->PrevConditionMet = false;
    step(3.0f);
    EXPECT_FLOAT_EQ(meter.pendingValue, 15.0f) << "nothing while the trigger is not met";
}

TEST_F(FlowActionsTest, AddSuspicionRespectsTheEasyModeTheContactPointAndTheStartOfTheLevel) {
    SuspicionMeter& meter = *manager->suspicionMeter;
    meter.watcherCount = 1;
    meter.age = 3.0f;
    gameDifficulty = 0;
    AddSuspicionAction* add = makeAction<AddSuspicionAction>([](io::IAttributes* k) {
        k->addFloat("AddSuspiciousAmount", 5.0f);
        k->addBool("UseContactPoint", true);
    });
    add->execute(event);
    EXPECT_FLOAT_EQ(meter.pendingValue, 0.0f) << "difficulty 0 adds nothing";
    add->AddInEveryMode = true;
    add->trigger->setPosition({1, 1, 1});
    add->trigger->updateAbsolutePosition();
    event.position = core::vector3df(0, 0, 0);
    add->execute(event);
    EXPECT_FLOAT_EQ(meter.pendingValue, 5.0f);
    EXPECT_EQ(add->SuspicionPosition, core::vector3df(1, 1, 1)) << "a contact at the origin falls back";
    event.position = core::vector3df(4, 0, 0);
    add->execute(event);
    EXPECT_EQ(add->SuspicionPosition, core::vector3df(4, 0, 0));

    AddSuspicionAction* death = makeAction<AddSuspicionAction>([](io::IAttributes* k) { k->addBool("InstantDeath", true); });
    meter.age = 1.0f;
    death->execute(event);
    EXPECT_LT(meter.value, 100.0f) << "the first two seconds never end a level";
    meter.age = 2.0f;
    death->execute(event);
    EXPECT_FLOAT_EQ(meter.value, 100.0f) << "difficulty 0 too: instant death acts in every mode";
    EXPECT_FLOAT_EQ(meter.pendingValue, 100.0f);
}

// Suspicion rises only within 10 units of the player unless the action ignores the radius:
// at 10 units it still rises, one step past it only for an action that ignores the radius.
TEST_F(FlowActionsTest, AddSuspicionFarFromThePlayerRisesOnlyWhenTheRadiusIsIgnored) {
    SuspicionMeter& meter = *manager->suspicionMeter;
    auto* player = new test::StubPlayer(root(), smgr(), 1);
    player->drop();
    setPlayer(0, player);
    const struct Row {
        f32 distance;
        bool ignoreRadius;
        f32 expected;
    } rows[] = {{10.0f, false, 5.0f}, {10.1f, false, 0.0f}, {10.1f, true, 5.0f}, {40.0f, true, 5.0f}};
    s32 id = 60;
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.distance) + (row.ignoreRadius ? " ignoring the radius" : ""));
        meter.age = 3.0f;
        meter.watcherCount = 1;
        meter.value = meter.pendingValue = 0.0f;
        AddSuspicionAction* add = makeAction<AddSuspicionAction>([&](io::IAttributes* k) {
            k->addFloat("AddSuspiciousAmount", 5.0f);
            k->addBool("IgnoreRadiusLimit", row.ignoreRadius);
        }, id++);
        add->trigger->setPosition({row.distance, 0, 0});
        add->trigger->updateAbsolutePosition();
        add->execute(event);
        EXPECT_FLOAT_EQ(meter.pendingValue, row.expected);
    }
    clearPlayers();
}

// --- End Level and Level CheckPoint ------------------------------------------------------------------

TEST_F(FlowActionsTest, EndLevelOfAStoryRunLoadsTheNextListedLevelAndMovesTheAutosaveOn) {
    EndLevelAction* end = endLevel(storyLevel, LevelManager::playModeStory);
    save->setAutoSaveExists(true, true);
    end->execute(event);
    EXPECT_TRUE(log.contains(std::string("Ending Level, transitioning to: ") + storyLevel));
    EXPECT_TRUE(queued(LET_LoadLevel));
    EXPECT_FALSE(queued(LET_ReturnToMainMenu));
    EXPECT_EQ(save->getAutoSavePath(true), L"Content/Levels/Story_Garden.irr");
    EXPECT_EQ(save->getAutoSaveCheckpoint(true), L"Content/Levels/Story_Garden.irr");
    EXPECT_FALSE(save->getAutoSaveExists(true));
    EXPECT_EQ(manager->loadingOverlay.mode, 3) << "the overlay takes the transition";
    EXPECT_FLOAT_EQ(manager->loadingOverlay.hold, 0.5f);
    EXPECT_EQ(saveWrites(), 1u);
    EXPECT_TRUE(save->automaticWriting) << "automatic writing is back on";
}

// An End Level a level delays by less than 0 waits for its trigger like any other and then
// ends the level once, into its next level.
TEST_F(FlowActionsTest, EndLevelDelayedBelowZeroLoadsItsNextLevelOnceItsTriggerFires) {
    manager->PlayMode = LevelManager::playModeStory;
    TriggerObject* trigger = addTrigger(70, TriggerCondition::ManualActivationOnly);
    auto* end = new TriggerEventObject(trigger, smgr(), 71);
    end->drop();
    io::IAttributes* keys = attributes();
    keys->addEnum("OnTriggerEvent", "End Level", triggerActionNames);
    keys->addFloat("EventDelay", -1.0f);
    keys->addString("NextLevel", storyLevel);
    end->deserializeAttributes(keys);
    steps(3);
    EXPECT_TRUE(manager->getLevelEvents().empty()) << "nothing before its trigger fires";
    trigger->fireEvent(event);
    steps(3);
    EXPECT_TRUE(queued(LET_LoadLevel));
    EXPECT_FALSE(queued(LET_ReturnToMainMenu));
    EXPECT_EQ(countLinesWith("Ending Level, transitioning to"), 1u);
    EXPECT_EQ(countLinesWith("The level is being left"), 0u);
}

TEST_F(FlowActionsTest, EndLevelReturnsToTheMenuPastTheStoryFromTheStorySelectOrForAMissingFile) {
    struct Case {
        const char* next;
        s32 mode;
        bool beaten;
    };
    const Case cases[] = {
        {"Content/Levels/NotListed.irr", LevelManager::playModeStory, true},
        {storyLevel, LevelManager::playModeStoryMenu, false},
        {"Content/Levels/Missing.irr", LevelManager::playModeWorkshop, false},
        {"x", LevelManager::playModeStory, false},
    };
    for (const Case& c : cases) {
        save->setGameBeaten(false);
        runQueue();
        const std::size_t writes = saveWrites();
        endLevel(c.next, c.mode)->execute(event);
        EXPECT_TRUE(queued(LET_ReturnToMainMenu)) << c.next;
        EXPECT_FALSE(queued(LET_LoadLevel)) << c.next;
        EXPECT_EQ(queuedEvents().front(), LET_Transition) << c.next;
        EXPECT_EQ(save->isGameBeaten(), c.beaten) << c.next;
        EXPECT_EQ(saveWrites(), writes + 1) << "one write on every path";
    }
}

// Only a level file is loaded next: a file of another kind that is there returns to the menu.
TEST_F(FlowActionsTest, EndLevelLoadsOnlyALevelFileThatIsThere) {
    for (const char* name : {"Next.irr", "Next.txt"}) {
        const std::string path = temp.file(name);
        ASSERT_TRUE(test::writeFileBytes(path, "<irr_scene></irr_scene>"));
        runQueue();
        endLevel(path.c_str(), LevelManager::playModeWorkshop)->execute(event);
        const bool level = std::string(name) == "Next.irr";
        EXPECT_EQ(queued(LET_LoadLevel), level) << name;
        EXPECT_EQ(queued(LET_ReturnToMainMenu), !level) << name;
    }
}

// Ending a level that leads to the checkpoint level records the autosave's checkpoint; a
// workshop level that names the same level leaves both records alone.
TEST_F(FlowActionsTest, OnlyAStoryRunRecordsTheAutosaveCheckpoint) {
    for (const s32 mode : {LevelManager::playModeStory, LevelManager::playModeWorkshop}) {
        for (const bool story : {true, false})
            save->setAutoSaveCheckpoint(L"", story);
        endLevel(EndLevelAction::checkpointLevel, mode)->execute(event);
        const bool recorded = !save->getAutoSaveCheckpoint(true).empty() || !save->getAutoSaveCheckpoint(false).empty();
        EXPECT_EQ(recorded, mode == LevelManager::playModeStory) << mode;
        runQueue();
    }
}

// A level the player is already leaving (a quit, a load or a restart waits) ends no more.
TEST_F(FlowActionsTest, EndLevelDoesNothingWhileTheLevelIsBeingLeft) {
    const std::function<bool()> leaving[] = {
        [&] { return manager->queueReturnToMainMenu(); },
        [&] { return manager->queueLoadLevel("Content/Levels/Other.irr", false); },
        [&] { return manager->queueRestartLevel(); },
        [&] { return manager->queueRestartFromCheckpoint(); },
    };
    for (std::size_t i = 0; i < std::size(leaving); ++i) {
        runQueue();
        ASSERT_TRUE(leaving[i]()) << i;
        const std::size_t queuedBefore = manager->getLevelEvents().size();
        endLevel(storyLevel, LevelManager::playModeStory)->execute(event);
        EXPECT_EQ(manager->getLevelEvents().size(), queuedBefore) << i;
        EXPECT_EQ(saveWrites(), 0u) << i;
    }
}

// Outside a story and the workshop a level still goes on when the action names a save path,
// and the autosave takes that path.
TEST_F(FlowActionsTest, EndLevelWithASaveLevelPathLoadsTheNextLevelAndRecordsThatPath) {
    endLevel(storyLevel, LevelManager::playModeStoryMenu, true, "Content/Levels/Saved.irr")->execute(event);
    EXPECT_TRUE(queued(LET_LoadLevel));
    EXPECT_FALSE(queued(LET_ReturnToMainMenu));
    runQueue();
    endLevel(storyLevel, LevelManager::playModeStory, true, "Content/Levels/Saved.irr")->execute(event);
    EXPECT_EQ(save->getAutoSavePath(true), L"Content/Levels/Saved.irr");
    EXPECT_EQ(save->getAutoSaveCheckpoint(true), L"Content/Levels/Saved.irr");
}

TEST_F(FlowActionsTest, EndLevelRecordsTheLevelLengthOnlyWhenAskedTo) {
    manager->PlayMode = LevelManager::playModeStory;
    ASSERT_TRUE(manager->loadLevel(storyLevel));
    for (const bool record : {false, true}) {
        manager->advanceLevelTime(42.0f);
        const f32 length = manager->levelRun.levelTime;
        EndLevelAction* end = endLevel(storyLevel, LevelManager::playModeStory);
        end->SaveLevelLength = record;
        end->execute(event);
        EXPECT_FLOAT_EQ(save->getBestLevelTime(L"Content/Levels/Story_Garden.irr"), record ? length : 0.0f);
        runQueue(); // the level again, a new run
    }
}

TEST_F(FlowActionsTest, EndLevelInDemoModeShowsTheThanksSplash) {
    demoMode = true;
    endLevel(storyLevel, LevelManager::playModeStory)->execute(event);
    EXPECT_EQ(queuedEvents(), (std::vector<LevelEventType>{LET_Transition, LET_ShowSplash}));
}

TEST_F(FlowActionsTest, EndLevelWithAnEmptySaveLevelPathKeepsTheAutosavePath) {
    save->setAutoSavePath(L"Content/Levels/Kept.irr", true);
    save->setAutoSaveExists(true, true);
    endLevel(storyLevel, LevelManager::playModeStory, true, "")->execute(event);
    EXPECT_EQ(save->getAutoSaveCheckpoint(true), L"");
    EXPECT_EQ(save->getAutoSavePath(true), L"Content/Levels/Kept.irr");
    EXPECT_FALSE(save->getAutoSaveExists(true));
    EXPECT_TRUE(queued(LET_LoadLevel));
}

TEST_F(FlowActionsTest, EndLevelBeforeTheCreditsCountsAFinishedGame) {
    LogManager statsLog(temp.file("PaddlestoneLog.txt"));
    logManager = &statsLog;
    statsLog.setLevelStatsHook(Delegate::member(manager.get(), &LevelManager::submitLevelStats));
    manager->statsPending = true;
    endLevel("content/levels/endingcredits.IRR", LevelManager::playModeStory)->execute(event);
    EXPECT_EQ(save->getGroup(SaveManager::Statistics)->getAttributeAsInt("GamesFinished"), 1);
    EXPECT_FALSE(manager->statsPending);
    statsLog.clearLevelStatsHook();
    logManager = nullptr;
}

TEST_F(FlowActionsTest, LevelCheckPointSavesAtACheckpointOnce) {
    auto* checkpoint = new CheckpointObject(root(), smgr(), 80);
    checkpoint->drop();
    manager->registerNodeIDs(checkpoint);
    addObject(81, "emty");
    LevelCheckPointAction* other = makeAction<LevelCheckPointAction>([](io::IAttributes* k) { k->addInt("ObjectID", 81); });
    other->execute(event);
    EXPECT_TRUE(manager->getLevelEvents().empty()) << "not a checkpoint";
    LevelCheckPointAction* save = makeAction<LevelCheckPointAction>([](io::IAttributes* k) { k->addInt("ObjectID", 80); });
    save->execute(event);
    EXPECT_TRUE(checkpoint->CheckpointSaved);
    EXPECT_EQ(queuedEvents(), std::vector<LevelEventType>{LET_SaveCheckpoint});
    save->execute(event);
    EXPECT_EQ(manager->getLevelEvents().size(), 1u) << "a used checkpoint saves nothing more";
    EXPECT_EQ(log.countStartingWith("ERROR: Failed to queue"), 0u);
}

TEST_F(FlowActionsTest, ACheckpointReadAsActiveNeedsAnAutosaveAndItsCloneStartsUnsaved) {
    auto* checkpoint = new CheckpointObject(root(), smgr(), 80);
    checkpoint->drop();
    manager->PlayMode = LevelManager::playModeStoryMenu;
    io::IAttributes* keys = attributes();
    keys->addBool("UseCheckpointAsSpawn", true);
    keys->addInt("SpawnCameraID", 7);
    keys->addBool("CheckpointSaved", true);
    keys->addBool("IsActiveCheckpoint", true);
    checkpoint->deserializeAttributes(keys);
    EXPECT_EQ(manager->activeCheckpoint, nullptr) << "no free-play autosave";
    save->setAutoSaveExists(true, false);
    checkpoint->deserializeAttributes(keys);
    EXPECT_EQ(manager->activeCheckpoint, checkpoint);
    EXPECT_EQ(&checkpoint->getMaterial(3), &video::IdentityMaterial);

    auto* copy = static_cast<CheckpointObject*>(checkpoint->clone());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(manager->activeCheckpoint, checkpoint) << "a copy never takes over";
    EXPECT_TRUE(copy->UseCheckpointAsSpawn);
    EXPECT_EQ(copy->SpawnCameraID, 7);
    EXPECT_FALSE(copy->CheckpointSaved);
    EXPECT_FALSE(copy->IsActiveCheckpoint);
    EXPECT_FALSE(copy->ConditionMet);
    frames(5);
    EXPECT_TRUE(checkpoint->ConditionMet) << "a checkpoint never evaluates";
}

} // namespace
