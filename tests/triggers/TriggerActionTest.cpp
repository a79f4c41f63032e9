#include "TriggerTestSupport.h"

#include "core/Globals.h"
#include "triggers/actions/LevelFlowActions.h"
#include "triggers/actions/MoveObjectAction.h"
#include "triggers/actions/TriggerControlActions.h"

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

using namespace irr;

namespace {

class TriggerActionTest : public test::TriggerFixture {};

// An action that can undo, with one key of its own.
class KeyedAction : public TriggerAction {
public:
    explicit KeyedAction(TriggerObject* trigger) : TriggerAction(16, trigger) { canUndo = true; }
    void serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options = nullptr) const override {
        TriggerAction::serializeAttributes(out, options);
        out->addFloat("Amount", Amount);
    }
    void deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options = nullptr) override {
        TriggerAction::deserializeAttributes(in, options);
        if (in->existsAttribute("Amount"))
            Amount = in->getAttributeAsFloat("Amount");
    }
    TriggerAction* clone(TriggerObject* newTrigger) const override {
        auto* copy = new KeyedAction(newTrigger);
        copyAttributes(this, copy);
        return copy;
    }
    f32 Amount = 1.0f;
};

TEST_F(TriggerActionTest, NameTableHoldsTheTwentyNineActionsInFileOrder) {
    EXPECT_STREQ(triggerActionNames[0], "Nothing");
    EXPECT_STREQ(triggerActionNames[6], "Play Sound");
    EXPECT_STREQ(triggerActionNames[13], "Cancel Trigger");
    EXPECT_STREQ(triggerActionNames[15], "Level CheckPoint");
    EXPECT_STREQ(triggerActionNames[25], "Pop-up Screen");
    EXPECT_STREQ(triggerActionNames[28], "Unlock Achievement");
    EXPECT_EQ(triggerActionNames[29], nullptr);
}

TEST_F(TriggerActionTest, FactoryMakesPlainActionsOutsideTheTableAndKeepsUnbuiltNames) {
    for (s32 index : {0, -1, 29, 1000}) {
        std::unique_ptr<TriggerAction> action(createTriggerAction(index, nullptr));
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->getType(), 0) << index;
        TriggerEventInfo event;
        action->execute(event); // does nothing
    }
    EXPECT_EQ(log.countStartingWith("Warning: Unknown trigger action"), 0u);

    TriggerObject* trigger = addTrigger();
    std::unique_ptr<TriggerAction> unbuilt(createTriggerAction(6, trigger));
    EXPECT_EQ(unbuilt->getType(), 6);
    EXPECT_STREQ(unbuilt->getName(), "Play Sound");
    EXPECT_EQ(unbuilt->trigger, trigger);
    EXPECT_EQ(unbuilt->event, nullptr);
    EXPECT_TRUE(log.contains("Warning: Unknown trigger action \"Play Sound\": it does nothing."));
}

TEST_F(TriggerActionTest, RegisteredClassesAreMadeByTheirIndex) {
    registerTriggerActionClass(16, [](TriggerObject* trigger) -> TriggerAction* { return new KeyedAction(trigger); });
    std::unique_ptr<TriggerAction> action(createTriggerAction(16, nullptr));
    EXPECT_NE(dynamic_cast<KeyedAction*>(action.get()), nullptr);
    EXPECT_TRUE(isTriggerActionClassRegistered(16));
    registerTriggerActionClass(16, nullptr);
    EXPECT_FALSE(isTriggerActionClassRegistered(16));
}

TEST_F(TriggerActionTest, BaseActionWritesNoKeysAndIgnoresUndo) {
    TriggerAction base(0, nullptr);
    io::IAttributes* set = attributes();
    base.serializeAttributes(set);
    EXPECT_EQ(set->getAttributeCount(), 0u);
    set->addBool("UndoOnTriggerRevert", true);
    base.deserializeAttributes(set);
    EXPECT_FALSE(base.UndoOnTriggerRevert);

    KeyedAction undoable(nullptr);
    undoable.UndoOnTriggerRevert = true;
    io::IAttributes* written = attributes();
    undoable.serializeAttributes(written);
    EXPECT_STREQ(written->getAttributeName(0), "UndoOnTriggerRevert");
    KeyedAction reader(nullptr);
    reader.UndoOnTriggerRevert = true;
    reader.deserializeAttributes(attributes()); // absent: false
    EXPECT_FALSE(reader.UndoOnTriggerRevert);
}

TEST_F(TriggerActionTest, CloneCarriesEveryKeyAndBindsTheNewTrigger) {
    TriggerObject* first = addTrigger(1);
    TriggerObject* second = addTrigger(2);
    KeyedAction source(first);
    source.Amount = 7.5f;
    source.UndoOnTriggerRevert = true;
    std::unique_ptr<TriggerAction> copy(source.clone(second));
    auto* keyed = dynamic_cast<KeyedAction*>(copy.get());
    ASSERT_NE(keyed, nullptr);
    EXPECT_FLOAT_EQ(keyed->Amount, 7.5f);
    EXPECT_TRUE(keyed->UndoOnTriggerRevert);
    EXPECT_EQ(keyed->trigger, second);
    EXPECT_EQ(keyed->event, nullptr);
}

TEST_F(TriggerActionTest, LogStepNamesTriggerEventActionAndMessageOnlyWhileLogging) {
    TriggerObject* door = addTrigger(12);
    door->setName("Door1");
    TriggerAction play(6, door);
    play.logStep("Play");
    EXPECT_EQ(log.lines.size(), 0u);

    logTriggers = true;
    play.logStep("Play");
    EXPECT_TRUE(log.contains("[Trigger] Door1_12 - Play Sound - Play"));

    TriggerObject* unnamedID = addTrigger(0);
    unnamedID->setName("Gate");
    TriggerEventObject* event = addEvent(unnamedID, 0.0f);
    event->setName("Later");
    event->setID(-1);
    TriggerAction nothing(0, unnamedID);
    nothing.event = event;
    nothing.logStep(nullptr);
    EXPECT_TRUE(log.contains("[Trigger] Gate - [Event] Later - Nothing"));
    EXPECT_TRUE(isNameSet(core::stringc("Walk")));
    EXPECT_FALSE(isNameSet(core::stringc("-None-")));
    EXPECT_FALSE(isNameSet(core::stringc("")));
}

// A move's length and the hold of a fake transition or an End Level a level gives: on a bound
// kept, one step past it, below 0 or not finite clamped, with one line each.
TEST_F(TriggerActionTest, DurationsALevelGivesAreClampedIntoTheirRange) {
    TriggerObject* trigger = addTrigger(12);
    trigger->setName("Door1");
    const f32 inf = std::numeric_limits<f32>::infinity();
    const struct {
        const char* key;
        f32 given;
        f32 kept;
        const char* line; // past "<key> ", or none
    } rows[] = {
        {"MoveDuration", 3600.0f, 3600.0f, nullptr},
        {"MoveDuration", std::nextafter(3600.0f, inf), 3600.0f, "3600.0002 clamped to 3600 (allowed 0 to 3600)"},
        {"MoveDuration", 0.0f, 0.0f, nullptr},
        {"MoveDuration", -0.5f, 0.0f, "-0.5 clamped to 0 (allowed 0 to 3600)"},
        {"MoveDuration", inf, 0.0f, "inf clamped to 0 (allowed 0 to 3600)"},
        {"MoveDuration", std::numeric_limits<f32>::quiet_NaN(), 0.0f, "nan clamped to 0 (allowed 0 to 3600)"},
        {"HoldLength", 60.0f, 60.0f, nullptr},
        {"HoldLength", std::nextafter(60.0f, inf), 60.0f, "60.000004 clamped to 60 (allowed 0 to 60)"},
        {"HoldLength", 0.0f, 0.0f, nullptr},
        {"HoldLength", -0.5f, 0.0f, "-0.5 clamped to 0 (allowed 0 to 60)"},
        {"HoldLength", inf, 0.0f, "inf clamped to 0 (allowed 0 to 60)"},
        {"HoldLength", std::numeric_limits<f32>::quiet_NaN(), 0.0f, "nan clamped to 0 (allowed 0 to 60)"},
        {"EndLevel HoldLength", 60.0f, 60.0f, nullptr},
        {"EndLevel HoldLength", std::nextafter(60.0f, inf), 60.0f, "60.000004 clamped to 60 (allowed 0 to 60)"},
        {"EndLevel HoldLength", 1e30f, 60.0f, "1e+30 clamped to 60 (allowed 0 to 60)"},
        {"EndLevel HoldLength", std::numeric_limits<f32>::quiet_NaN(), 0.0f, "nan clamped to 0 (allowed 0 to 60)"},
    };
    for (const auto& row : rows) {
        const std::string rowKey = row.key;
        const bool move = rowKey == "MoveDuration";
        const bool endLevel = rowKey == "EndLevel HoldLength";
        const char* key = endLevel ? "HoldLength" : row.key;
        std::unique_ptr<TriggerAction> action;
        if (move)
            action = std::make_unique<MoveObjectAction>(trigger);
        else if (endLevel)
            action = std::make_unique<EndLevelAction>(trigger);
        else
            action = std::make_unique<RunFakeTransitionAction>(trigger);
        io::IAttributes* in = attributes();
        in->addFloat(key, row.given);
        log.lines.clear();
        action->deserializeAttributes(in);
        const f32 kept = move       ? static_cast<MoveObjectAction*>(action.get())->MoveDuration
                         : endLevel ? static_cast<EndLevelAction*>(action.get())->HoldLength
                                    : static_cast<RunFakeTransitionAction*>(action.get())->HoldLength;
        EXPECT_EQ(kept, row.kept) << row.key << ' ' << row.given;
        const std::string line = std::string("Warning: Level object \"Door1\" (") + action->getName() +
                                 "): " + key + " " + (row.line ? row.line : "");
        EXPECT_EQ(log.lines, row.line ? std::vector<std::string>{line} : std::vector<std::string>{})
            << row.key << ' ' << row.given;
    }
}

} // namespace
