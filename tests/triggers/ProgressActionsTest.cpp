// Change Variable, Change Game Attribute, Change Objective, Change Suspicion Zone, Change UI
// and Unlock Achievement.
#include "ActionTestSupport.h"
#include "support/ScreenConnections.h"

#include "characters/SuspicionMeter.h"
#include "core/Globals.h"
#include "gui/GUIElementFactory.h"
#include "gui/hud/GUIObjectiveCenter.h"
#include "level/Achievements.h"
#include "level/LevelLimits.h"
#include "level/ObjectiveObject.h"
#include "level/SaveManager.h"
#include "level/VariableObject.h"
#include "screens/ScreenManager.h"
#include "triggers/actions/ChangeObjectiveActions.h"
#include "triggers/actions/ChangeVariableActions.h"
#include "triggers/actions/UnlockAchievementAction.h"

#include <cmath>
#include <filesystem>
#include <limits>

using namespace irr;

namespace {

class ProgressActionsTest : public test::ActionFixture {
protected:
    void TearDown() override {
        saveManager = nullptr;
        save.reset();
        connections.reset();
        if (screenManager) {
            delete screenManager;
            screenManager = nullptr;
        }
        test::ActionFixture::TearDown();
    }
    template <class Action>
    Action* action(const std::function<void(io::IAttributes*)>& keys, s32 id = 50,
                   TriggerCondition condition = TriggerCondition::ManualActivationOnly) {
        return static_cast<Action*>(addActionTrigger(id, Action::actionType, keys, condition)->getAction());
    }
    VariableObject* addVariable(s32 id, f32 value) {
        auto* variable = new VariableObject(root(), smgr(), id);
        variable->drop();
        variable->Value = value;
        manager->registerNodeIDs(variable);
        return variable;
    }
    ObjectiveObject* addObjective(s32 id, const wchar_t* text, bool revealed) {
        auto* objective = new ObjectiveObject(root(), smgr(), id);
        objective->drop();
        objective->TextID = text;
        objective->IsRevealed = revealed;
        manager->registerNodeIDs(objective);
        return objective;
    }
    SaveManager& useSave(bool automatic) {
        save = std::make_unique<SaveManager>(device->get()->getFileSystem(), temp.file("save"));
        save->automaticWriting = automatic;
        saveManager = save.get();
        return *save;
    }
    void useScreens() {
        (new GUIElementFactory(device->get()->getGUIEnvironment()))->drop();
        screenManager = new ScreenManager(device->get()->getGUIEnvironment());
        screenManager->createScreens();
        connections = std::make_unique<test::ScreenConnections>();
    }
    // The actions reach the screens the game's way while the test uses them.
    std::unique_ptr<test::ScreenConnections> connections;
    std::vector<s32> listedIDs() const {
        std::vector<s32> ids;
        for (const ObjectiveEntry& entry : manager->objectives.getEntries())
            ids.push_back(entry.id);
        return ids;
    }
    std::unique_ptr<SaveManager> save;
    TriggerEventInfo event;
};

struct OperationCase {
    const char* operation;
    f32 current, operand, expected;
};
const OperationCase operationCases[] = {
    {"Set Value", 6, 4, 4}, {"Add", 6, 4, 10},  {"Subtract", 6, 4, 2}, {"Multiply", 6, 4, 24},
    {"Divide", 6, 4, 1.5f}, {"Divide", 6, 0, 6}, // a zero operand divides by 1
};

TEST_F(ProgressActionsTest, TheActionsThatCannotUndoNeitherWriteNorReadTheUndoKey) {
    for (s32 type : {3, 4, 7, 14, 18, 19, 25, 26, 28}) {
        SCOPED_TRACE(triggerActionNames[type]);
        TriggerObject* trigger = addActionTrigger(50, type, [](io::IAttributes* keys) {
            keys->addBool("UndoOnTriggerRevert", true);
        });
        TriggerAction* made = trigger->getAction();
        ASSERT_EQ(made->getType(), type);
        EXPECT_FALSE(made->canRevert());
        EXPECT_FALSE(made->UndoOnTriggerRevert);
        EXPECT_EQ(keysOf(*made).find("UndoOnTriggerRevert"), std::string::npos);
        made->revert(event); // nothing to undo, nothing to stop
        made->cancel();
    }
}

TEST_F(ProgressActionsTest, ChangeVariableAppliesTheFiveOperationsByAValueOrASecondVariable) {
    for (const OperationCase& c : operationCases) {
        SCOPED_TRACE(std::string(c.operation) + " " + std::to_string(c.operand));
        VariableObject* variable = addVariable(30, c.current);
        auto* change = action<ChangeVariableAction>([&](io::IAttributes* keys) {
            keys->addInt("ObjectID", 30);
            keys->addString("VariableAction", c.operation);
            keys->addFloat("VariableValue", c.operand);
        });
        change->execute(event);
        EXPECT_FLOAT_EQ(variable->Value, c.expected);
        EXPECT_FLOAT_EQ(change->VariableValue, c.operand) << "the action's own value is kept";

        variable->Value = c.current;
        VariableObject* operand = addVariable(31, c.operand);
        change->VariableObjectID = 31;
        change->VariableValue = 99.0f;
        change->execute(event);
        EXPECT_FLOAT_EQ(variable->Value, c.expected) << "the second variable's value is the operand";
        variable->remove();
        operand->remove();
        manager->rebuildNodeIDs();
    }
}

TEST_F(ProgressActionsTest, ChangeVariableLooksItsVariableUpOnceAndLogsTheNewValue) {
    logTriggers = true;
    auto* change = action<ChangeVariableAction>([](io::IAttributes* keys) {
        keys->addInt("ObjectID", 30);
        keys->addString("VariableAction", "Add");
        keys->addFloat("VariableValue", 2.5f);
    });
    change->execute(event);
    EXPECT_TRUE(log.contains("[Trigger] _50 - Change Variable - New Value: ")) << "no variable yet";
    VariableObject* variable = addVariable(30, 1.0f);
    change->execute(event);
    EXPECT_FLOAT_EQ(variable->Value, 1.0f) << "a failed lookup is not repeated";

    auto* found = action<ChangeVariableAction>([](io::IAttributes* keys) {
        keys->addInt("ObjectID", 30);
        keys->addString("VariableAction", "Add");
        keys->addFloat("VariableValue", 2.5f);
    });
    found->update();
    EXPECT_EQ(found->getVariable(), variable);
    found->execute(event);
    EXPECT_TRUE(log.contains("[Trigger] _50 - Change Variable - New Value: 3.500000"));
    logTriggers = false;
}

TEST_F(ProgressActionsTest, ChangeVariableStoresNoNumberThatIsNotFinite) {
    VariableObject* variable = addVariable(30, 3.0e38f);
    auto* change = action<ChangeVariableAction>([](io::IAttributes* keys) {
        keys->addInt("ObjectID", 30);
        keys->addString("VariableAction", "Multiply");
        keys->addFloat("VariableValue", 10.0f);
    });
    change->execute(event);
    EXPECT_TRUE(std::isfinite(variable->Value));
    EXPECT_GT(variable->Value, 3.0e38f);
    variable->Value = INFINITY;
    change->VariableValue = 0.0f;
    change->execute(event);
    EXPECT_FALSE(std::isnan(variable->Value)) << "infinity times zero leaves the value";
    EXPECT_EQ(log.countStartingWith("Warning: A trigger action's operation gave no number"), 1u);
}

TEST_F(ProgressActionsTest, ChangeVariableKeysRoundTripAndANegativeOperationReadsAsSetValue) {
    auto* change = action<ChangeVariableAction>([](io::IAttributes* keys) {
        keys->addInt("ObjectID", 30);
        keys->addString("VariableAction", "Subtract");
        keys->addFloat("VariableValue", 2.0f);
        keys->addInt("VariableObjectID", 31);
    });
    const std::string expected = "ObjectID=30;VariableAction=Subtract;VariableValue=2.000000;VariableObjectID=31;";
    EXPECT_EQ(keysOf(*change), expected);
    std::unique_ptr<TriggerAction> copy(change->clone(nullptr));
    EXPECT_EQ(keysOf(*copy), expected);
    EXPECT_EQ(action<ChangeVariableAction>([](io::IAttributes* keys) {
                  keys->addString("VariableAction", "Power");
              })->VariableAction,
              0);
}

// A level file that leaves the operation out sets the value.
TEST_F(ProgressActionsTest, ChangeVariableWithoutAnOperationSetsTheValue) {
    VariableObject* variable = addVariable(30, 30.0f);
    auto* change = action<ChangeVariableAction>([](io::IAttributes* keys) {
        keys->addInt("ObjectID", 30);
        keys->addFloat("VariableValue", 4.0f);
    });
    change->execute(event);
    EXPECT_FLOAT_EQ(variable->Value, 4.0f);
}

TEST_F(ProgressActionsTest, ChangeGameAttributeAppliesTheFiveOperationsToIntegersAndFloats) {
    SaveManager& data = useSave(false);
    manager->PlayMode = LevelManager::playModeStory;
    for (const char* type : {"INT", "FLOAT"})
        for (const OperationCase& c : operationCases) {
            SCOPED_TRACE(std::string(type) + " " + c.operation + " " + std::to_string(c.operand));
            io::IAttributes* story = data.getModeGroup(true);
            story->clear();
            if (type[0] == 'I')
                story->addInt("Count", static_cast<s32>(c.current));
            else
                story->addFloat("Count", c.current);
            auto* change = action<ChangeGameAttributeAction>([&](io::IAttributes* keys) {
                keys->addString("AttributeType", type);
                keys->addString("AttributeAction", c.operation);
                keys->addString("AttributeName", "Count");
                keys->addFloat("AttributeValue", c.operand);
            });
            change->execute(event);
            const f32 expected = type[0] == 'I' ? std::trunc(c.expected) : c.expected;
            EXPECT_FLOAT_EQ(story->getAttributeAsFloat("Count"), expected);
            if (std::string(c.operation) == "Divide" && c.operand == 0.0f) {
                EXPECT_FLOAT_EQ(change->AttributeValue, 1.0f) << "the action divides by 1 from then on";
            }
        }
}

TEST_F(ProgressActionsTest, ChangeGameAttributeChoosesItsGroupAndCreatesWhatIsMissing) {
    SaveManager& data = useSave(false);
    manager->PlayMode = LevelManager::playModeStoryMenu;
    auto* change = action<ChangeGameAttributeAction>([](io::IAttributes* keys) {
        keys->addString("AttributeType", "INT");
        keys->addString("AttributeAction", "Add");
        keys->addString("AttributeName", "Crates");
        keys->addFloat("AttributeValue", 2.75f);
    });
    change->execute(event);
    EXPECT_EQ(data.getModeGroup(false)->getAttributeAsInt("Crates"), 2) << "made with 0, then 2.75 added";
    EXPECT_TRUE(data.listBackups().empty()) << "nothing is written without automatic writing";
    EXPECT_FALSE(data.getModeGroup(true)->existsAttribute("Crates")) << "only the story run writes the story";
    change->OnlyStoryMode = false;
    change->execute(event);
    change->execute(event);
    EXPECT_EQ(data.getModeGroup(true)->getAttributeAsInt("Crates"), 4);
    EXPECT_EQ(data.getModeGroup(false)->getAttributeAsInt("Crates"), 2);
    auto* distance = action<ChangeGameAttributeAction>([](io::IAttributes* keys) {
        keys->addString("AttributeType", "FLOAT");
        keys->addString("AttributeAction", "Add");
        keys->addString("AttributeName", "Distance");
        keys->addFloat("AttributeValue", 2.75f);
        keys->addBool("OnlyStoryMode", false);
    });
    distance->execute(event);
    EXPECT_FLOAT_EQ(data.getModeGroup(true)->getAttributeAsFloat("Distance"), 2.75f) << "made with 0 too";

    auto* text = action<ChangeGameAttributeAction>([](io::IAttributes* keys) {
        keys->addString("AttributeAction", "Multiply");
        keys->addString("AttributeName", "Door");
        keys->addString("AttributeValue", "Open");
        keys->addBool("OnlyStoryMode", false);
    });
    EXPECT_EQ(text->AttributeAction, 0) << "a text is only ever set";
    text->execute(event);
    EXPECT_STREQ(data.getModeGroup(true)->getAttributeAsString("Door").c_str(), "Open");
    const u32 stored = data.getModeGroup(true)->getAttributeCount();
    data.getModeGroup(true)->setAttribute("Door", "Closed");
    text->execute(event);
    EXPECT_STREQ(data.getModeGroup(true)->getAttributeAsString("Door").c_str(), "Open") << "a stored text is replaced";
    EXPECT_EQ(data.getModeGroup(true)->getAttributeCount(), stored) << "not added twice";
    EXPECT_EQ(keysOf(*text), "AttributeType=STRING;AttributeAction=Set Value;AttributeName=Door;"
                             "AttributeValue=Open;OnlyStoryMode=false;");
    std::unique_ptr<TriggerAction> copy(text->clone(nullptr));
    EXPECT_EQ(keysOf(*copy), keysOf(*text));
}

TEST_F(ProgressActionsTest, ChangeGameAttributeWritesTheSaveAndHoldsIntegersInRange) {
    SaveManager& data = useSave(true);
    manager->PlayMode = LevelManager::playModeStory;
    data.getModeGroup(true)->addInt("Score", 5000);
    auto* change = action<ChangeGameAttributeAction>([](io::IAttributes* keys) {
        keys->addString("AttributeType", "INT");
        keys->addString("AttributeAction", "Multiply");
        keys->addString("AttributeName", "Score");
        keys->addFloat("AttributeValue", 1.0e6f);
    });
    change->execute(event);
    EXPECT_EQ(data.getModeGroup(true)->getAttributeAsInt("Score"), 2147483647) << "held at the largest integer";
    data.getModeGroup(true)->setAttribute("Score", -5000);
    change->execute(event);
    EXPECT_EQ(data.getModeGroup(true)->getAttributeAsInt("Score"), std::numeric_limits<s32>::min())
        << "held at the smallest integer";
    data.getModeGroup(true)->setAttribute("Score", -2);
    change->execute(event);
    EXPECT_EQ(data.getModeGroup(true)->getAttributeAsInt("Score"), -2000000) << "inside the range as computed";
    data.getModeGroup(true)->setAttribute("Score", 5000);
    change->execute(event);
    EXPECT_TRUE(data.listBackups().empty()) << "written once at the frame's end";
    EXPECT_TRUE(data.writeRequested());
    EXPECT_EQ(data.listBackups().size(), 1u);

    SaveManager reread(device->get()->getFileSystem(), temp.file("save"));
    ASSERT_TRUE(reread.load());
    EXPECT_EQ(reread.getModeGroup(true)->getAttributeAsInt("Score"), 2147483647);

    // A float past the range is held at the largest number of its sign.
    auto* huge = action<ChangeGameAttributeAction>([](io::IAttributes* keys) {
        keys->addString("AttributeType", "FLOAT");
        keys->addString("AttributeAction", "Multiply");
        keys->addString("AttributeName", "Depth");
        keys->addFloat("AttributeValue", 1.0e30f);
    });
    for (const f32 start : {1.0e30f, -1.0e30f}) {
        data.getModeGroup(true)->setAttribute("Depth", start);
        huge->execute(event);
        EXPECT_EQ(data.getModeGroup(true)->getAttributeAsFloat("Depth"),
                  start > 0 ? std::numeric_limits<f32>::max() : std::numeric_limits<f32>::lowest());
    }
}

// What a level puts into the save is bounded (names and texts as long as a level's texts,
// entries a group): at the bound it is stored, one past it is refused with one line per
// action, and the largest save levels can make stays far below what its reader accepts.
TEST_F(ProgressActionsTest, ChangeGameAttributeIsBoundedSoThatTheSaveAlwaysReadsBack) {
    SaveManager& data = useSave(false);
    manager->PlayMode = LevelManager::playModeStory;
    const std::string quotes(maxLevelTextLength, '\''); // the text that writes longest
    auto setText = [&](const std::string& name, const std::string& text) {
        auto* change = action<ChangeGameAttributeAction>([&](io::IAttributes* keys) {
            keys->addString("AttributeName", name.c_str());
            keys->addString("AttributeValue", text.c_str());
            keys->addBool("OnlyStoryMode", false);
        });
        change->execute(event);
        change->execute(event); // a refusal is logged once
        return data.getModeGroup(true)->existsAttribute(name.c_str());
    };
    const std::size_t refusals = log.countStartingWith("Warning: Change Game Attribute \"");
    EXPECT_TRUE(setText("a" + quotes.substr(1), "x")) << "a name at the bound";
    EXPECT_FALSE(setText("b" + quotes, "x")) << "one past";
    EXPECT_TRUE(setText("Text", quotes)) << "a text at the bound";
    EXPECT_FALSE(setText("Text2", quotes + "'")) << "one past";
    EXPECT_EQ(log.countStartingWith("Warning: Change Game Attribute \""), refusals + 2);
    EXPECT_EQ(log.countStartingWith("Warning: Change Game Attribute \"Text2\" refused: its text is 2049 "
                                    "characters long (at most 2048)."),
              1u);

    // Both mode groups filled to the bound with the longest names and texts there are, and
    // the game's own entries at their longest.
    for (const bool story : {true, false}) {
        manager->PlayMode = story ? LevelManager::playModeStory : LevelManager::playModeStoryMenu;
        auto* fill = action<ChangeGameAttributeAction>([](io::IAttributes*) {});
        fill->AttributeString = quotes.c_str();
        io::IAttributes* group = data.getModeGroup(story);
        for (int i = 0; group->getAttributeCount() < SaveManager::maxLevelGroupEntries; ++i) {
            fill->AttributeName = (std::to_string(i) + quotes).substr(0, maxLevelTextLength).c_str();
            fill->execute(event);
        }
        fill->AttributeName = "OnePast";
        fill->execute(event);
        EXPECT_FALSE(group->existsAttribute("OnePast")) << story;
        fill->AttributeName = group->getAttributeName(group->getAttributeCount() - 1);
        fill->AttributeString = "an existing name is set again";
        fill->execute(event);
        EXPECT_STREQ(group->getAttributeAsString(group->getAttributeCount() - 1).c_str(),
                     "an existing name is set again");
        fill->AttributeString = quotes.c_str();
        fill->execute(event);
        const std::wstring path(maxLevelTextLength, L'\'');
        data.setAutoSavePath(path.c_str(), story);
        data.setAutoSaveCheckpoint(path.c_str(), story);
        EXPECT_EQ(data.getAutoSavePath(story), path);
        data.setAutoSavePath((path + L"'").c_str(), story);
        EXPECT_EQ(data.getAutoSavePath(story), path) << "one past is refused";
    }
    EXPECT_EQ(log.countStartingWith("Warning: The save's \"AutoSavePath\" is not set: its text is 2049 "),
              2u);
    // A save is put in place only once it has been read back whole.
    ASSERT_TRUE(data.save());
    const auto size = std::filesystem::file_size(data.getSavePath());
    EXPECT_LT(size, SaveManager::maximumSaveFileSize / 2) << size;
}

TEST_F(ProgressActionsTest, ChangeObjectiveRevealsActivatesCompletesHidesReplacesAndSwaps) {
    ObjectiveObject* first = addObjective(60, L"GetInside", false);
    ObjectiveObject* second = addObjective(61, L"RingBell", true);
    auto run = [&](s32 objective, const char* what, s32 source = 0) {
        auto* change = action<ChangeObjectiveAction>([&](io::IAttributes* keys) {
            keys->addInt("ObjectiveObjectID", objective);
            keys->addString("ObjectiveAction", what);
            keys->addInt("SourceObjectiveID", source);
        });
        change->execute(event);
        return change;
    };
    run(60, "Set Active");
    EXPECT_TRUE(listedIDs().empty()) << "an objective not revealed is not listed";
    run(60, "Set Revealed");
    run(60, "Set Active");
    run(61, "Set Active");
    EXPECT_EQ(listedIDs(), (std::vector<s32>{60, 61}));
    run(61, "Set Complete");
    EXPECT_TRUE(second->IsCompleted);
    run(61, "Replace", 60);
    EXPECT_EQ(second->TextID, L"GetInside");
    run(61, "Set Hidden");
    EXPECT_FALSE(second->IsRevealed);
    run(61, "Swap", 60);
    EXPECT_FALSE(first->IsRevealed);
    EXPECT_TRUE(second->IsRevealed);
    EXPECT_EQ(listedIDs(), (std::vector<s32>{60, 61}));
    // A swap lists its objective only in place of the current one.
    ObjectiveObject* third = addObjective(62, L"FindKey", false);
    run(62, "Swap", 61);
    EXPECT_TRUE(third->IsRevealed);
    EXPECT_EQ(listedIDs(), (std::vector<s32>{60, 61})) << "61 is listed but not current";
    addObjective(63, L"OpenGate", false);
    run(63, "Swap", 60);
    EXPECT_EQ(listedIDs(), (std::vector<s32>{60, 61, 63}));

    EXPECT_EQ(keysOf(*run(61, "Set Hidden", 60)), "ObjectiveObjectID=61;ObjectiveAction=Set Hidden;");
    auto* swap = run(61, "Swap", 60);
    EXPECT_EQ(keysOf(*swap), "ObjectiveObjectID=61;ObjectiveAction=Swap;SourceObjectiveID=60;");
    std::unique_ptr<TriggerAction> copy(swap->clone(nullptr));
    EXPECT_EQ(keysOf(*copy), keysOf(*swap));
}

TEST_F(ProgressActionsTest, OverlappingSuspiciousZonesCountTheWatchersAndEndWithTheirConditions) {
    SuspicionMeter& record = *manager->suspicionMeter;
    auto zone = [&](s32 id, const char* kind) {
        return action<ChangeSuspicionZoneAction>(
            [&](io::IAttributes* keys) {
                keys->addBool("UndoOnTriggerRevert", false);
                keys->addString("SuspicionSafeZone", kind);
            },
            id);
    };
    ChangeSuspicionZoneAction* a = zone(50, "Unchanged");
    ChangeSuspicionZoneAction* b = zone(51, "Unchanged");
    EXPECT_TRUE(a->UndoOnTriggerRevert) << "a zone always ends with its condition";
    a->execute(event);
    a->execute(event);
    b->execute(event);
    EXPECT_EQ(record.watcherCount, 2) << "each zone counts once";
    a->revert(event);
    a->revert(event);
    EXPECT_EQ(record.watcherCount, 1);
    b->update(); // its trigger's condition is not met: the zone ends
    EXPECT_EQ(record.watcherCount, 0);
    EXPECT_FALSE(b->isApplied());
    a->trigger->ConditionMet = true;
    a->update();
    EXPECT_EQ(record.watcherCount, 1) << "a met condition applies the zone";

    ChangeSuspicionZoneAction* safe = zone(52, "True");
    ChangeSuspicionZoneAction* unsafe = zone(53, "False");
    safe->execute(event);
    EXPECT_EQ(record.zoneCount, 1);
    unsafe->execute(event);
    EXPECT_EQ(record.zoneCount, 0);
    safe->revert(event);
    unsafe->revert(event);
    EXPECT_EQ(record.zoneCount, 0);
    EXPECT_EQ(keysOf(*safe), "UndoOnTriggerRevert=true;SuspicionSafeZone=True;");
    std::unique_ptr<TriggerAction> copy(safe->clone(nullptr));
    EXPECT_EQ(keysOf(*copy), keysOf(*safe));

    // Without its key a zone is a suspicious one.
    ChangeSuspicionZoneAction* plain = action<ChangeSuspicionZoneAction>([](io::IAttributes*) {}, 54);
    const s32 watchers = record.watcherCount;
    plain->execute(event);
    EXPECT_EQ(record.watcherCount, watchers + 1);
    EXPECT_EQ(record.zoneCount, 0);
    EXPECT_EQ(keysOf(*plain), "UndoOnTriggerRevert=true;SuspicionSafeZone=Unchanged;");
    plain->revert(event);
}

TEST_F(ProgressActionsTest, ChangeUIHidesAndShowsTheObjectivePanelAndTheLevelTimer) {
    useScreens();
    GUIObjectiveCenter* panel = screenManager->getObjectiveCenter();
    ASSERT_NE(panel, nullptr);
    auto* hide = action<ChangeUIAction>([](io::IAttributes* keys) {
        keys->addString("UIElement", "Objective Center");
        keys->addString("UIAction", "Hide");
    });
    EXPECT_FALSE(hide->UndoOnTriggerRevert);
    hide->execute(event);
    EXPECT_FALSE(panel->isShownByOwner());
    hide->revert(event);
    EXPECT_TRUE(panel->isShownByOwner());

    auto* record = action<ChangeUIAction>([](io::IAttributes* keys) {
        keys->addBool("UndoOnTriggerRevert", true);
        keys->addString("UIElement", "Level Timer");
        keys->addString("UIAction", "Record Time");
    });
    screenManager->ShowLevelTimer = true;
    record->execute(event);
    EXPECT_FALSE(screenManager->ShowLevelTimer);
    record->revert(event);
    EXPECT_TRUE(screenManager->ShowLevelTimer);
    EXPECT_EQ(keysOf(*record), "UndoOnTriggerRevert=true;UIElement=Level Timer;UIAction=Record Time;");
    std::unique_ptr<TriggerAction> copy(record->clone(nullptr));
    EXPECT_EQ(keysOf(*copy), keysOf(*record));

    auto* show = action<ChangeUIAction>([](io::IAttributes* keys) {
        keys->addString("UIElement", "Level Timer");
        keys->addString("UIAction", "Hide");
    });
    show->execute(event);
    EXPECT_FALSE(screenManager->ShowLevelTimer);
    show->revert(event);
    EXPECT_TRUE(screenManager->ShowLevelTimer);
    EXPECT_EQ(action<ChangeUIAction>([](io::IAttributes* keys) {
                  keys->addString("UIAction", "Record Time"); // not a name of the panel's list
              })->UIAction,
              0);
}

TEST_F(ProgressActionsTest, UnlockAchievementUnlocksOnceOutsideTheLevelSelectAndWritesItsReference) {
    manager->achievements = std::make_unique<AchievementsData>();
    manager->achievements->add("ACH_BELL", {L"Ring Ring", L"Ring the bell.", false});
    manager->achievements->add("ACH_TIE", {L"Tied", L"Find a tie.", false});
    auto* unlock = action<UnlockAchievementAction>([](io::IAttributes* keys) { keys->addString("AchievementID", "ACH_BELL"); });
    EXPECT_EQ(keysOf(*unlock), "AchievementID=ACH_BELL;AchievementName=Ring Ring;AchievementDesc=Ring the bell.;");
    io::IAttributes* written = attributes();
    unlock->serializeAttributes(written);
    core::array<core::stringc> literals;
    written->getAttributeEnumerationLiteralsOfEnumeration("AchievementID", literals);
    EXPECT_EQ(literals.size(), 2u);

    manager->PlayMode = LevelManager::playModeWorkshop;
    unlock->execute(event);
    EXPECT_FALSE(manager->achievements->find("ACH_BELL")->unlocked) << "not from the level select";
    manager->PlayMode = LevelManager::playModeStory;
    unlock->execute(event);
    unlock->execute(event);
    EXPECT_TRUE(manager->achievements->find("ACH_BELL")->unlocked);
    EXPECT_EQ(log.countStartingWith("Ring Ring Achievement Unlocked."), 1u);

    auto* unknown = action<UnlockAchievementAction>([](io::IAttributes* keys) { keys->addString("AchievementID", "ACH_NONE"); });
    EXPECT_EQ(keysOf(*unknown), "AchievementID=ACH_NONE;");
    std::unique_ptr<TriggerAction> copy(unknown->clone(nullptr));
    EXPECT_EQ(keysOf(*copy), "AchievementID=ACH_NONE;");
    unknown->execute(event);
    EXPECT_FALSE(manager->achievements->find("ACH_TIE")->unlocked);
}

} // namespace
