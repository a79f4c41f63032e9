#include "TriggerTestSupport.h"

#include "core/Globals.h"

#include <memory>

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

} // namespace
