// The "Change Character State" trigger action on characters walking their paths.
#include "CharacterWorldFixture.h"

#include "characters/CharacterStates.h"
#include "characters/CharacterStates.h"
#include "characters/SuspicionRules.h"
#include "core/Globals.h"
#include "triggers/actions/ChangeCharacterStateAction.h"

using namespace irr;

namespace {

class CharacterStateActionTest : public CharacterWorldFixture {
protected:
    // The action as a level file gives it.
    std::unique_ptr<ChangeCharacterStateAction> action(const std::function<void(io::IAttributes*)>& keys) {
        auto made = std::make_unique<ChangeCharacterStateAction>(nullptr);
        io::IAttributes* in = newAttributes();
        keys(in);
        made->deserializeAttributes(in);
        in->drop();
        return made;
    }
    static std::string keysOf(const TriggerAction& action) {
        io::IAttributes* out = gameDevice->getFileSystem()->createEmptyAttributes();
        action.serializeAttributes(out);
        std::string text;
        for (u32 i = 0; i < out->getAttributeCount(); ++i)
            text += std::string(out->getAttributeName(i)) + ";";
        out->drop();
        return text;
    }
    TriggerEventInfo event;
};

TEST_F(CharacterStateActionTest, TheDefaultActionOnlyMakesTheCharacterStopForThePlayer) {
    addPath(200, {{0, 0, 10}, {10, 0, 10}});
    CharacterObject* c = addCharacter(0, 0, 200);
    c->StopForTentaro = false;
    const s32 state = stateOf(c);
    const f32 speed = c->WalkSpeed;
    const s32 type = c->CharacterSuspicionType;
    auto change = action([&](io::IAttributes* k) { k->addInt("CharacterID", c->getID()); });
    EXPECT_FLOAT_EQ(change->CharacterSpeed, speed) << "read with the character in the scene: its speed";
    change->execute(event);
    EXPECT_TRUE(c->StopForTentaro);
    EXPECT_EQ(stateOf(c), state);
    EXPECT_FLOAT_EQ(c->WalkSpeed, speed);
    EXPECT_EQ(c->CharacterSuspicionType, type);
}

TEST_F(CharacterStateActionTest, ItChangesStateSpeedsTypeAndPathBehaviour) {
    addPath(200, {{0, 0, 10}, {10, 0, 10}});
    CharacterObject* c = addCharacter(0, 0, 200);
    ASSERT_EQ(stateOf(c), CharacterStateId::Walking);
    auto stop = action([&](io::IAttributes* k) {
        k->addString("CharacterState", "Stopped");
        k->addInt("CharacterID", c->getID());
        k->addFloat("CharacterRotateSpeed", 2.0f);
        k->addString("CharacterSuspicionType", "Scientist");
        k->addBool("ChangePathBehavior", true);
        k->addString("PathBehavior", "Back Forth");
        k->addBool("StopForTentaro", false);
    });
    stop->execute(event);
    EXPECT_EQ(stateOf(c), CharacterStateId::Stopped);
    EXPECT_EQ(c->stateMachine().globalID(), CharacterStateId::Stopped);
    EXPECT_FLOAT_EQ(c->RotateSpeed, 2.0f);
    EXPECT_EQ(c->CharacterSuspicionType, SCT_Scientist);
    EXPECT_EQ(c->pathBehavior, PathBehavior::BackForth);
    EXPECT_FALSE(c->StopForTentaro);

    auto walk = action([&](io::IAttributes* k) {
        k->addString("CharacterState", "Walking");
        k->addInt("CharacterID", c->getID());
        k->addFloat("CharacterSpeed", 4.5f);
    });
    walk->execute(event);
    EXPECT_EQ(stateOf(c), CharacterStateId::Walking);
    EXPECT_FLOAT_EQ(c->WalkSpeed, 4.5f);
    const s32 previous = c->stateMachine().previousID();
    walk->execute(event);
    EXPECT_EQ(c->stateMachine().previousID(), previous) << "already walking: no state change";

    auto react = action([&](io::IAttributes* k) {
        k->addString("CharacterState", "Reacting");
        k->addInt("CharacterID", c->getID());
    });
    react->execute(event);
    EXPECT_EQ(stateOf(c), CharacterStateId::Reacting);
    EXPECT_EQ(c->stateMachine().globalID(), CharacterStateId::Walking) << "only walking and stopped become global";
}

TEST_F(CharacterStateActionTest, ItSavesTheKeysOfItsStateAndIgnoresOtherObjects) {
    auto walking = action([](io::IAttributes* k) { k->addString("CharacterState", "Walking"); });
    EXPECT_EQ(keysOf(*walking),
              "CharacterState;CharacterID;CharacterSpeed;CharacterRotateSpeed;TargetWaypointID;ChangeParentWaypoint;"
              "ChangePathBehavior;WalkingAnimName;StoppedAnimName;ReactingAnimName;NoticingAnimName;"
              "CharacterSuspicionType;StopForTentaro;");
    auto stopped = action([](io::IAttributes* k) {
        k->addString("CharacterState", "Stopped");
        k->addBool("ChangeParentWaypoint", true);
        k->addInt("ParentWaypointID", 5);
    });
    EXPECT_NE(keysOf(*stopped).find("CharacterID;LookTargetID;CharacterRotateSpeed;"), std::string::npos);
    EXPECT_NE(keysOf(*stopped).find("ChangeParentWaypoint;ParentWaypointID;"), std::string::npos);
    std::unique_ptr<TriggerAction> copy(stopped->clone(nullptr));
    EXPECT_EQ(static_cast<ChangeCharacterStateAction*>(copy.get())->ParentWaypointID, 5);

    PhysicsObject* wall = addWall(5, 5, {1, 1, 1});
    wall->setID(77);
    auto notACharacter = action([](io::IAttributes* k) {
        k->addInt("CharacterID", 77);
        k->addBool("StopForTentaro", false);
    });
    notACharacter->execute(event); // nothing to do, nothing to crash on
    EXPECT_EQ(notACharacter->CharacterSpeed, 0.0f);
}

} // namespace
