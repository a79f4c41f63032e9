#include "TriggerTestSupport.h"

#include "core/CoreSlots.h"
#include "level/LevelHooks.h"
#include "physics/world/PhysicsUserData.h"
#include "triggers/CheckpointObject.h"
#include "phys/Actor.h"
#include "phys/Scene.h"
#include "phys/Shape.h"
#include "physics/world/PhysicsFiltering.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace irr;

namespace {

using KeyValues = std::map<std::string, std::string>;

class TriggerObjectTest : public test::TriggerFixture {
protected:
    void SetUp() override {
        TriggerFixture::SetUp();
        workingDir = std::make_unique<test::ScopedWorkingDir>(temp.path());
    }
    KeyValues keysOf(scene::ISceneNode* node, bool editor = false) {
        io::IAttributes* set = attributes();
        io::SAttributeReadWriteOptions options;
        options.Flags = editor ? io::EARWF_FOR_EDITOR : 0;
        node->serializeAttributes(set, &options);
        KeyValues keys;
        for (u32 i = 0; i < set->getAttributeCount(); ++i)
            keys[set->getAttributeName(i)] = set->getAttributeAsString(i).c_str();
        return keys;
    }
    // Every setting away from its default.
    void configure(TriggerObject* t, s32 condition) {
        t->TriggerConditionIndex = condition;
        t->TriggerStartExpression = "3 & (4|5)";
        t->TriggerStartOnSuspicionLevel = true;
        t->ComparisonType = TriggerCompare::EqualTo;
        t->SuspicionAmount = 42.5f;
        t->ActiveInEditorOnly = true;
        t->OnceActiveAlwaysActive = true;
        t->OnBodyCollision = false;
        t->OnArmsCollision = TriggerSide::Both;
        t->OnLegsCollision = TriggerSide::Left;
        t->PlayerIndex = 2;
        t->PhysicsObjectIDs = condition == 4 ? "" : "7-9";
        t->ExcludedObjectIDs = "!11";
        // Written only where the condition reads it (and with it the entry limit).
        t->ApplyEventPerObject = condition == 5 || condition == 6 || condition == 7 || condition == 10;
        t->LinearCompareMode = TriggerCompare::LessThan;
        t->AngularCompareMode = TriggerCompare::LessThan;
        t->LinearVelocity = 3.25f;
        t->AngularVelocity = 1.5f;
        t->CollisionObjectID = 77;
        t->CollisionThreshold = 12.0f;
        t->HasToBeThrown = true;
        t->PhysicsState = 1;
        t->VariableID = 5;
        t->CompareVariableID = 6;
        t->VariableComparison = TriggerCompare::LessThan;
        t->CompareValue = 2.5f;
        t->TentaroEvent = 0;
        t->GameAttributeType = TriggerAttributeType::Float;
        t->GameAttributeName = "Keyboard";
        t->AttributeOnlyStoryMode = false;
        t->PlayerInput = TriggerPlayerInput::DeviceInput;
        t->InputButton = 4;
        t->InputCondition = 0;
        t->VoiceTrackID = "Intro_01";
        t->ModeCondition = TriggerMode::Legs;
        t->DeviceCondition = "Gamepad";
        t->MinimumTimeUntilMet = 0.75f;
        t->ResetTimerIfUnmet = true;
        t->OnceCondMetAlwaysMet = true;
        t->CreateSkin = false;
        t->GetAccurateContacts = true;
        t->ReweightConditionals = true;
        t->LimitPerObject = true;
        t->LimitPerObjectCount = 3;
        t->BoundType = TriggerBound::Capsule;
        t->Radius = 2.0f;
        t->Height = 7.0f;
        t->setAction(createTriggerAction(6, t));
    }

};

TEST_F(TriggerObjectTest, EachModeIsSavedByItsOwnNameAndAnUnknownOneAsTheFirst) {
    TriggerObject* trigger = addTrigger(150);
    const std::pair<s32, const char*> rows[] = {
        {TriggerMode::Arms, "Arms"}, {TriggerMode::Legs, "Legs"}, {TriggerMode::Default, "Default"}, {3, "Arms"}};
    for (const auto& [mode, name] : rows) {
        trigger->ModeCondition = mode;
        io::IAttributes* out = attributes();
        trigger->serializeAttributes(out);
        EXPECT_STREQ(out->getAttributeAsString("ModeCondition").c_str(), name) << mode;
    }
}

TEST_F(TriggerObjectTest, EveryConditionsKeysRoundTripThroughLevelFilesByName) {
    coreSlots().physics.isSimulationActive = nullptr; // an editor-made level: no run-time keys
    for (const char* file : {"Triggers.irr", "Triggers.irrblvl"}) {
        std::vector<KeyValues> written;
        for (s32 condition = 0; condition < 16; ++condition) {
            TriggerObject* trigger = addTrigger(200 + condition);
            trigger->setName(triggerNames::conditions[condition]);
            configure(trigger, condition);
            written.push_back(keysOf(trigger));
        }
        ASSERT_TRUE(manager->saveLevel(file));
        manager->unloadLevel();
        ASSERT_TRUE(manager->loadLevel(file));
        for (s32 condition = 0; condition < 16; ++condition) {
            scene::ISceneNode* node = manager->getSceneNodeFromID(200 + condition);
            ASSERT_NE(node, nullptr);
            ASSERT_EQ(node->getType(), typeId("trgr"));
            EXPECT_EQ(keysOf(node), written[condition]) << file << " " << triggerNames::conditions[condition];
            EXPECT_EQ(static_cast<TriggerObject*>(node)->getAction()->getType(), 6);
        }
        manager->unloadLevel();
    }
    // The text file carries enumerations by their names.
    std::ifstream in(temp.file("Triggers.irr"));
    std::stringstream text;
    text << in.rdbuf();
    for (const char* name : {"On Object Inside", "Capsule", "Play Sound", "Equal To", "Legs", "Both", "Device Input",
                             "On Pressed", "FLOAT", "Kinematic", "Less Than", "Seen by Character"})
        EXPECT_NE(text.str().find(std::string("value=\"") + name + "\""), std::string::npos) << name;
}

// The round trip above reads back what was written; this checks what is written.
TEST_F(TriggerObjectTest, EachConditionWritesItsSettingsWithTheirOwnValues) {
    coreSlots().physics.isSimulationActive = nullptr;
    struct Row {
        s32 condition;
        const char* key;
        const char* value;
    };
    const Row rows[] = {
        {1, "ActiveInEditorOnly", "true"},     {2, "PlayerIndex", "2"},
        {4, "ExcludedObjectIDs", "!11"},       {6, "PlayerIndex", "2"},
        {6, "LimitPerObjectCount", "3"},       {8, "LinearVelocity", "3.250000"},
        {8, "AngularVelocity", "1.500000"},    {8, "AngularCompareMode", "Greater Than"},
        {9, "HasToBeThrown", "true"},          {9, "ExcludedObjectIDs", "!11"},
        {11, "CompareVariableID", "6"},        {13, "AttributeOnlyStoryMode", "false"},
        {14, "InputButton", "4"},              {14, "InputCondition", "On Pressed"},
    };
    for (const Row& row : rows) {
        TriggerObject* trigger = addTrigger(200);
        configure(trigger, row.condition);
        trigger->AngularCompareMode = TriggerCompare::GreaterThan; // unlike the linear mode
        KeyValues keys = keysOf(trigger);
        EXPECT_EQ(keys[row.key], row.value) << triggerNames::conditions[row.condition] << " " << row.key;
        trigger->remove();
    }
}

// --- every condition's own keys through a save and a read --------------------------------------------

using Prepare = std::function<void(TriggerObject&)>;
using Conditions = std::vector<TriggerCondition>;

// The names of a table up to its closing null entry.
s32 nameCount(const char* const* names) {
    s32 count = 0;
    while (names[count])
        ++count;
    return count;
}

// Whether a key listed for these conditions (none listed: every condition) is written under one.
bool writtenUnder(const Conditions& conditions, s32 condition) {
    return conditions.empty() ||
           std::find(conditions.begin(), conditions.end(), static_cast<TriggerCondition>(condition)) != conditions.end();
}

// An enumeration key: the conditions that write it, how a value is set (with the switches
// that have it written) and how it is read off a trigger.
struct EnumKey {
    const char* key;
    const char* const* names;
    Conditions conditions;
    std::function<void(TriggerObject&, s32)> set;
    std::function<s32(const TriggerObject&)> get;
};

EnumKey enumField(const char* key, const char* const* names, Conditions conditions, s32 TriggerObject::*field,
                  Prepare prepare = {}) {
    return {key, names, std::move(conditions),
            [field, prepare](TriggerObject& t, s32 value) {
                if (prepare)
                    prepare(t);
                t.*field = value;
            },
            [field](const TriggerObject& t) { return t.*field; }};
}

std::vector<EnumKey> triggerEnumKeys() {
    using C = TriggerCondition;
    const Conditions volumes = {C::OnPlayerCollide, C::OnPlayerOutside, C::OnObjectInside, C::OnObjectOutside};
    const Conditions sides = {C::OnPlayerCollide, C::OnPlayerOutside, C::OnObjectInside};
    return {
        enumField("BoundType", triggerNames::boundTypes, volumes, &TriggerObject::BoundType),
        enumField("ComparisonType", triggerNames::comparisons, {}, &TriggerObject::ComparisonType,
                  [](TriggerObject& t) { t.TriggerStartOnSuspicionLevel = true; }),
        enumField("OnArmsCollision", triggerNames::sides, sides, &TriggerObject::OnArmsCollision),
        enumField("OnLegsCollision", triggerNames::sides, sides, &TriggerObject::OnLegsCollision),
        enumField("LinearCompareMode", triggerNames::velocityModes, {C::OnObjectVelocity},
                  &TriggerObject::LinearCompareMode),
        enumField("AngularCompareMode", triggerNames::velocityModes, {C::OnObjectVelocity},
                  &TriggerObject::AngularCompareMode),
        enumField("PhysicsState", triggerNames::physicsStates, {C::OnObjectPhysicsState}, &TriggerObject::PhysicsState),
        enumField("VariableComparison", triggerNames::comparisons, {C::OnVariableCondition},
                  &TriggerObject::VariableComparison),
        // A STRING attribute always compares equal; the numeric types keep their comparison.
        enumField("VariableComparison", triggerNames::comparisons, {C::OnGameSaveAttribute},
                  &TriggerObject::VariableComparison,
                  [](TriggerObject& t) { t.GameAttributeType = TriggerAttributeType::Float; }),
        enumField("VariableComparison", triggerNames::comparisons, {C::OnGameSaveAttribute},
                  &TriggerObject::VariableComparison,
                  [](TriggerObject& t) { t.GameAttributeType = TriggerAttributeType::Int; }),
        enumField("TentaroEvent", triggerNames::tentaroEvents, {C::OnTentaroEvent}, &TriggerObject::TentaroEvent),
        enumField("GameAttributeType", triggerNames::attributeTypes, {C::OnGameSaveAttribute},
                  &TriggerObject::GameAttributeType),
        enumField("PlayerInput", triggerNames::playerInputs, {C::OnPlayerInput}, &TriggerObject::PlayerInput),
        enumField("InputCondition", triggerNames::inputConditions, {C::OnPlayerInput}, &TriggerObject::InputCondition,
                  [](TriggerObject& t) { t.PlayerInput = TriggerPlayerInput::DeviceInput; }),
        enumField("ModeCondition", triggerNames::modes, {}, &TriggerObject::ModeCondition),
        {"OnTriggerEvent", triggerActionNames, {},
         [](TriggerObject& t, s32 type) {
             // A type outside the table can only be held by a plain action.
             t.setAction(type >= 0 && type < triggerActionCount ? createTriggerAction(type, &t)
                                                                 : new TriggerAction(type, &t));
         },
         [](const TriggerObject& t) { return t.getAction()->getType(); }},
    };
}

// The key is an enumeration of the whole table, written by the name of the value.
void expectWrittenAs(io::IAttributes* set, const char* key, const char* const* names, s32 value) {
    const s32 index = set->findAttribute(key);
    ASSERT_GE(index, 0) << key;
    EXPECT_EQ(set->getAttributeType(index), io::EAT_ENUM) << key;
    EXPECT_STREQ(set->getAttributeAsString(index).c_str(), names[value]) << key;
    core::array<core::stringc> literals;
    set->getAttributeEnumerationLiteralsOfEnumeration(index, literals);
    ASSERT_EQ(static_cast<s32>(literals.size()), nameCount(names)) << key;
    for (u32 n = 0; n < literals.size(); ++n)
        EXPECT_STREQ(literals[n].c_str(), names[n]) << key;
}

TEST_F(TriggerObjectTest, EveryEnumKeyOfEveryConditionKeepsEachOfItsValuesThroughASaveAndARead) {
    coreSlots().physics.isSimulationActive = nullptr; // an editor-made level: no volumes, no run-time keys
    const s32 conditionCount = nameCount(triggerNames::conditions);
    ASSERT_EQ(conditionCount, 16);
    for (s32 condition = 0; condition < conditionCount; ++condition) {
        for (const EnumKey& key : triggerEnumKeys()) {
            if (!writtenUnder(key.conditions, condition))
                continue;
            const s32 count = nameCount(key.names);
            for (s32 value = 0; value < count; ++value) {
                SCOPED_TRACE(std::string(triggerNames::conditions[condition]) + " " + key.key + "=" + key.names[value]);
                TriggerObject* saved = addTrigger(300, static_cast<TriggerCondition>(condition));
                key.set(*saved, value);
                io::IAttributes* out = attributes();
                saved->serializeAttributes(out);
                expectWrittenAs(out, key.key, key.names, value);
                expectWrittenAs(out, "TriggerCondition", triggerNames::conditions, condition);

                // Read over other values, so that each one read is seen to arrive.
                TriggerObject* read =
                    addTrigger(301, static_cast<TriggerCondition>((condition + 1) % conditionCount));
                key.set(*read, (value + 1) % count);
                read->deserializeAttributes(out);
                EXPECT_EQ(key.get(*read), value);
                EXPECT_EQ(read->TriggerConditionIndex, condition);
                io::IAttributes* again = attributes();
                read->serializeAttributes(again);
                expectWrittenAs(again, key.key, key.names, value);
                saved->remove();
                read->remove();
            }
        }
    }
}

TEST_F(TriggerObjectTest, EveryEnumKeyOfEveryConditionSavesAValueOutsideItsNamesByTheFirstName) {
    coreSlots().physics.isSimulationActive = nullptr;
    for (s32 condition = 0; condition < nameCount(triggerNames::conditions); ++condition) {
        for (const EnumKey& key : triggerEnumKeys()) {
            if (!writtenUnder(key.conditions, condition))
                continue;
            for (s32 outside : {-1, nameCount(key.names)}) {
                SCOPED_TRACE(std::string(triggerNames::conditions[condition]) + " " + key.key + "=" +
                             std::to_string(outside));
                TriggerObject* trigger = addTrigger(300, static_cast<TriggerCondition>(condition));
                key.set(*trigger, outside);
                io::IAttributes* out = attributes();
                trigger->serializeAttributes(out);
                expectWrittenAs(out, key.key, key.names, 0);
                trigger->remove();
            }
        }
    }
    // The condition itself: one past the last is no condition's keys, and is saved as the first.
    for (s32 outside : {-1, nameCount(triggerNames::conditions)}) {
        TriggerObject* trigger = addTrigger(300);
        trigger->TriggerConditionIndex = outside;
        io::IAttributes* out = attributes();
        trigger->serializeAttributes(out);
        expectWrittenAs(out, "TriggerCondition", triggerNames::conditions, 0);
        trigger->remove();
    }
}

// A plain key (text, number or switch): the conditions that write it, a value away from the
// default set with the switches that have it written, and the value read off a trigger as text.
struct PlainKey {
    const char* key;
    Conditions conditions;
    Prepare change;
    std::function<std::string(const TriggerObject&)> value;
};

std::string asText(s32 value) { return std::to_string(value); }
std::string asText(f32 value) { return std::to_string(value); }
std::string asText(bool value) { return value ? "true" : "false"; }
std::string asText(const core::stringc& value) { return value.c_str(); }

template <class T, class V>
PlainKey plainField(const char* key, Conditions conditions, T TriggerObject::*field, V changed, Prepare prepare = {}) {
    return {key, std::move(conditions),
            [field, changed, prepare](TriggerObject& t) {
                if (prepare)
                    prepare(t);
                t.*field = changed;
            },
            [field](const TriggerObject& t) { return asText(t.*field); }};
}

std::vector<PlainKey> triggerPlainKeys() {
    using C = TriggerCondition;
    using T = TriggerObject;
    const Conditions volumes = {C::OnPlayerCollide, C::OnPlayerOutside, C::OnObjectInside, C::OnObjectOutside};
    const Conditions sides = {C::OnPlayerCollide, C::OnPlayerOutside, C::OnObjectInside};
    const Conditions perObject = {C::OnObjectInside, C::OnObjectOutside, C::OnObjectGrabbed, C::OnObjectReleased,
                                  C::OnObjectPhysicsState};
    const Conditions objectLists = {C::OnObjectInside,   C::OnObjectOutside,  C::OnObjectGrabbed,
                                    C::OnObjectReleased, C::OnObjectVelocity, C::OnObjectCollision,
                                    C::OnObjectPhysicsState};
    auto bound = [](s32 type) { return [type](T& t) { t.BoundType = type; }; };
    auto device = [](T& t) { t.PlayerInput = TriggerPlayerInput::DeviceInput; };
    auto perObjectOn = [](T& t) { t.ApplyEventPerObject = true; };
    return {
        plainField("Radius", volumes, &T::Radius, 2.25f, bound(TriggerBound::Sphere)),
        plainField("Radius", volumes, &T::Radius, 2.25f, bound(TriggerBound::Cylinder)),
        plainField("Radius", volumes, &T::Radius, 2.25f, bound(TriggerBound::Capsule)),
        plainField("Height", volumes, &T::Height, 7.5f, bound(TriggerBound::Cylinder)),
        plainField("Height", volumes, &T::Height, 7.5f, bound(TriggerBound::Capsule)),
        plainField("ColMeshFileName", volumes, &T::ColMeshFileName, "Content/Models/Volume.obj",
                   bound(TriggerBound::Convex)),
        plainField("TriggerStartExpression", {}, &T::TriggerStartExpression, "3 & (4|5)"),
        plainField("TriggerStartOnSuspicionLevel", {}, &T::TriggerStartOnSuspicionLevel, true),
        plainField("SuspicionAmount", {}, &T::SuspicionAmount, 42.5f,
                   [](T& t) { t.TriggerStartOnSuspicionLevel = true; }),
        plainField("ActiveInEditorOnly", {}, &T::ActiveInEditorOnly, true),
        plainField("OnceActiveAlwaysActive", {}, &T::OnceActiveAlwaysActive, true),
        plainField("OnBodyCollision", sides, &T::OnBodyCollision, false),
        plainField("PlayerIndex", {C::OnPlayerCollide, C::OnPlayerOutside, C::OnObjectGrabbed, C::OnObjectReleased},
                   &T::PlayerIndex, 2),
        plainField("PhysicsObjectIDs", objectLists, &T::PhysicsObjectIDs, "7-9"),
        plainField("ExcludedObjectIDs", {C::OnObjectInside, C::OnObjectCollision}, &T::ExcludedObjectIDs, "!11"),
        // Inside with objects named, the exclusions are written only per object.
        plainField("ExcludedObjectIDs", {C::OnObjectInside}, &T::ExcludedObjectIDs, "!11",
                   [](T& t) {
                       t.PhysicsObjectIDs = "7-9";
                       t.ApplyEventPerObject = true;
                   }),
        plainField("CharacterObjectIDs", {C::OnTentaroEvent}, &T::ExcludedObjectIDs, "12|14"),
        plainField("ApplyEventPerObject", perObject, &T::ApplyEventPerObject, true),
        plainField("LimitPerObject", perObject, &T::LimitPerObject, true, perObjectOn),
        plainField("LimitPerObjectCount", perObject, &T::LimitPerObjectCount, 3,
                   [](T& t) {
                       t.ApplyEventPerObject = true;
                       t.LimitPerObject = true;
                   }),
        plainField("LinearVelocity", {C::OnObjectVelocity}, &T::LinearVelocity, 3.25f),
        plainField("AngularVelocity", {C::OnObjectVelocity}, &T::AngularVelocity, 1.5f),
        plainField("CollisionObjectID", {C::OnObjectCollision}, &T::CollisionObjectID, 77),
        plainField("CollisionThreshold", {C::OnObjectCollision}, &T::CollisionThreshold, 12.0f),
        plainField("HasToBeThrown", {C::OnObjectCollision}, &T::HasToBeThrown, true),
        plainField("VariableID", {C::OnVariableCondition}, &T::VariableID, 5),
        plainField("CompareValue", {C::OnVariableCondition}, &T::CompareValue, 2.5f),
        plainField("CompareVariableID", {C::OnVariableCondition}, &T::CompareVariableID, 6),
        plainField("GameAttributeName", {C::OnGameSaveAttribute}, &T::GameAttributeName, "Coins"),
        plainField("GameAttributeValue", {C::OnGameSaveAttribute}, &T::GameAttributeValue, "Gold"),
        // A numeric attribute's value is the compared number.
        plainField("GameAttributeValue", {C::OnGameSaveAttribute}, &T::CompareValue, 2.5f,
                   [](T& t) { t.GameAttributeType = TriggerAttributeType::Float; }),
        plainField("GameAttributeValue", {C::OnGameSaveAttribute}, &T::CompareValue, 4.0f,
                   [](T& t) { t.GameAttributeType = TriggerAttributeType::Int; }),
        plainField("AttributeOnlyStoryMode", {C::OnGameSaveAttribute}, &T::AttributeOnlyStoryMode, false),
        plainField("InputDevice", {C::OnPlayerInput}, &T::GameAttributeName, "Keyboard", device),
        plainField("InputButton", {C::OnPlayerInput}, &T::InputButton, 4, device),
        plainField("VoiceTrackID", {C::OnActiveVoice}, &T::VoiceTrackID, "Intro_01"),
        plainField("DeviceCondition", {}, &T::DeviceCondition, "Gamepad"),
        plainField("MinimumTimeUntilMet", {}, &T::MinimumTimeUntilMet, 0.75f),
        plainField("ResetTimerIfUnmet", {}, &T::ResetTimerIfUnmet, true, [](T& t) { t.MinimumTimeUntilMet = 0.75f; }),
        plainField("OnceCondMetAlwaysMet", {}, &T::OnceCondMetAlwaysMet, true),
        plainField("CreateSkin", {}, &T::CreateSkin, true),
        plainField("GetAccurateContacts", {}, &T::GetAccurateContacts, true),
        plainField("ReweightConditionals", {}, &T::ReweightConditionals, true),
    };
}

TEST_F(TriggerObjectTest, EveryPlainKeyOfEveryConditionKeepsAValueAwayFromItsDefaultThroughASaveAndARead) {
    coreSlots().physics.isSimulationActive = nullptr;
    for (s32 condition = 0; condition < nameCount(triggerNames::conditions); ++condition) {
        for (const PlainKey& key : triggerPlainKeys()) {
            if (!writtenUnder(key.conditions, condition))
                continue;
            SCOPED_TRACE(std::string(triggerNames::conditions[condition]) + " " + key.key);
            TriggerObject* saved = addTrigger(300, static_cast<TriggerCondition>(condition));
            TriggerObject* read = addTrigger(301);
            const std::string before = key.value(*read);
            key.change(*saved);
            const std::string changed = key.value(*saved);
            ASSERT_NE(changed, before);
            io::IAttributes* out = attributes();
            saved->serializeAttributes(out);
            ASSERT_TRUE(out->existsAttribute(key.key));
            read->deserializeAttributes(out);
            EXPECT_EQ(key.value(*read), changed);
            io::IAttributes* again = attributes();
            read->serializeAttributes(again);
            EXPECT_STREQ(again->getAttributeAsString(key.key).c_str(), out->getAttributeAsString(key.key).c_str());
            saved->remove();
            read->remove();
        }
    }
}

TEST_F(TriggerObjectTest, KeysWrittenFollowTheCondition) {
    coreSlots().physics.isSimulationActive = nullptr;
    TriggerObject* trigger = addTrigger();
    KeyValues keys = keysOf(trigger);
    EXPECT_EQ(keys.count("BoundType"), 0u); // Immediately: no volume
    EXPECT_EQ(keys.count("ActiveInEditorOnly"), 0u);
    EXPECT_EQ(keys.count("DeviceCondition"), 0u);
    EXPECT_EQ(keys.count("ResetTimerIfUnmet"), 0u);
    EXPECT_EQ(keys.count("ConditionMet"), 0u);
    EXPECT_EQ(keys["TriggerCondition"], "Immediately");
    EXPECT_EQ(keys["OnTriggerEvent"], "Nothing");
    EXPECT_EQ(keys.count("ReweightConditionals"), 1u);
    EXPECT_EQ(keysOf(trigger, true).count("ActiveInEditorOnly"), 1u);

    trigger->DeviceCondition = "K"; // one character: neither written nor tested
    EXPECT_EQ(keysOf(trigger).count("DeviceCondition"), 0u);
    trigger->TriggerConditionIndex = static_cast<s32>(TriggerCondition::OnObjectInside);
    trigger->BoundType = TriggerBound::Sphere;
    keys = keysOf(trigger);
    EXPECT_EQ(keys["BoundType"], "Sphere");
    EXPECT_EQ(keys.count("Radius"), 1u);
    EXPECT_EQ(keys.count("Height"), 0u);
    EXPECT_EQ(keys.count("OnLegsCollision"), 1u); // no PhysicsObjectIDs: the sides count

    ConditionalTrigger* conditional = addConditional(root(), 300);
    EXPECT_EQ(keysOf(conditional).count("ReweightConditionals"), 0u);
}

TEST_F(TriggerObjectTest, OlderAndSharedKeysAreReadAsBefore) {
    TriggerObject* trigger = addTrigger();
    io::IAttributes* in = attributes();
    in->addEnum("TriggerCondition", "On Object Inside", triggerNames::conditions);
    in->addBool("OnArmCollision", true);
    in->addBool("OnFootCollision", false);
    in->addFloat("VelocityValue", 9.0f);
    in->addFloat("DelayTimerSeconds", 1.5f);
    in->addString("ExcludedObjectIDs", "1");
    in->addString("CharacterObjectIDs", "2");
    trigger->deserializeAttributes(in);
    EXPECT_EQ(trigger->OnArmsCollision, TriggerSide::Either);
    EXPECT_EQ(trigger->OnLegsCollision, TriggerSide::Either); // absent key under On Object Inside
    EXPECT_FLOAT_EQ(trigger->LinearVelocity, 9.0f);
    EXPECT_FLOAT_EQ(trigger->MinimumTimeUntilMet, 1.5f);
    EXPECT_EQ(trigger->ExcludedObjectIDs, "2");

    in->addEnum("OnArmsCollision", "Right", triggerNames::sides);
    in->addEnum("OnLegsCollision", "None", triggerNames::sides);
    in->addFloat("LinearVelocity", 4.0f);
    trigger->deserializeAttributes(in);
    EXPECT_EQ(trigger->OnArmsCollision, TriggerSide::Right); // the current key wins
    EXPECT_EQ(trigger->OnLegsCollision, TriggerSide::None);
    EXPECT_FLOAT_EQ(trigger->LinearVelocity, 4.0f);

    io::IAttributes* save = attributes();
    save->addEnum("TriggerCondition", "On Game Save Attribute", triggerNames::conditions);
    save->addEnum("VariableComparison", "Greater Than", triggerNames::comparisons);
    TriggerObject* saveTrigger = addTrigger(2);
    saveTrigger->deserializeAttributes(save);
    EXPECT_EQ(saveTrigger->VariableComparison, TriggerCompare::EqualTo); // STRING compares equal

    // The device keys are read without asking: a missing InputCondition is On Pressed.
    io::IAttributes* device = attributes();
    device->addEnum("TriggerCondition", "On Player Input", triggerNames::conditions);
    device->addEnum("PlayerInput", "Device Input", triggerNames::playerInputs);
    TriggerObject* deviceTrigger = addTrigger(3);
    ASSERT_EQ(deviceTrigger->InputCondition, 1);
    deviceTrigger->deserializeAttributes(device);
    EXPECT_EQ(deviceTrigger->InputCondition, 0);
}

TEST_F(TriggerObjectTest, ReadingAnotherActionReplacesItAndTheSameKeepsIt) {
    TriggerObject* trigger = addTrigger();
    io::IAttributes* in = attributes();
    in->addEnum("OnTriggerEvent", "End Level", triggerActionNames);
    trigger->deserializeAttributes(in);
    TriggerAction* first = trigger->getAction();
    EXPECT_EQ(first->getType(), 27);
    trigger->deserializeAttributes(in);
    EXPECT_EQ(trigger->getAction(), first);
    io::IAttributes* none = attributes();
    none->addEnum("OnTriggerEvent", "Nothing", triggerActionNames);
    trigger->deserializeAttributes(none);
    EXPECT_EQ(trigger->getAction()->getType(), 0);
}

TEST_F(TriggerObjectTest, RunTimeStateIsWrittenOnlyInPlayAndAMetImmediateTriggerRefires) {
    TriggerObject* trigger = addTrigger();
    trigger->ConditionMet = true;
    trigger->PreCondTimer = 0.25f;
    trigger->IsActive = false;
    KeyValues keys = keysOf(trigger);
    EXPECT_EQ(keys["ConditionMet"], "false");
    EXPECT_EQ(keys["IsActive"], "false");
    EXPECT_EQ(keys["ValidObjectCount"], "0");
    EXPECT_EQ(keys.count("PreCondTimer"), 1u);
    trigger->OnceCondMetAlwaysMet = true;
    EXPECT_EQ(keysOf(trigger)["ConditionMet"], "true");
    coreSlots().physics.isSimulationActive = nullptr;
    EXPECT_EQ(keysOf(trigger).count("ConditionMet"), 0u);
}

TEST_F(TriggerObjectTest, CloneCopiesSettingsAndActionButNotRunTimeState) {
    coreSlots().physics.isSimulationActive = nullptr; // editor copies get fresh IDs
    TriggerObject* source = addTrigger(40);
    configure(source, static_cast<s32>(TriggerCondition::OnObjectVelocity));
    source->ConditionMet = true;
    source->ColMeshFileName = "Content/Models/Volume.obj";
    scene::ISceneNode* copyNode = source->clone();
    ASSERT_NE(copyNode, nullptr);
    auto* copy = static_cast<TriggerObject*>(copyNode);
    EXPECT_NE(copy->getID(), 40);
    EXPECT_EQ(copy->getParent(), root());
    EXPECT_EQ(copy->PhysicsObjectIDs, "7-9");
    EXPECT_FLOAT_EQ(copy->Height, 7.0f);
    EXPECT_EQ(copy->ColMeshFileName, "Content/Models/Volume.obj");
    EXPECT_FALSE(copy->HasToBeThrown);     // keeps its own
    EXPECT_FALSE(copy->ActiveInEditorOnly); // keeps its own
    EXPECT_FALSE(copy->ConditionMet);
    ASSERT_NE(copy->getAction(), nullptr);
    EXPECT_EQ(copy->getAction()->getType(), 6);
    EXPECT_EQ(copy->getAction()->trigger, copy) << "a copy acts for itself";

    // Under every condition a copy writes the settings its source writes (but the two above).
    for (s32 condition = 0; condition < 16; ++condition) {
        TriggerObject* each = addTrigger(300 + condition);
        configure(each, condition);
        auto* eachCopy = static_cast<TriggerObject*>(each->clone());
        ASSERT_NE(eachCopy, nullptr);
        KeyValues written = keysOf(each), copied = keysOf(eachCopy);
        for (KeyValues* keys : {&written, &copied})
            for (const char* own : {"Id", "ActiveInEditorOnly", "HasToBeThrown"})
                keys->erase(own);
        EXPECT_EQ(copied, written) << triggerNames::conditions[condition];
    }
}

TEST_F(TriggerObjectTest, ACloneAndTheEventsClonedWithItActForTheClone) {
    TriggerObject* sources[] = {addTrigger(41), addConditional(root(), 42)};
    for (TriggerObject* source : sources) {
        record(source);
        TriggerEventObject* event = addEvent(source, 1.0f);
        auto* copy = static_cast<TriggerObject*>(source->clone());
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(copy->getAction()->trigger, copy) << source->getID();
        TriggerEventObject* copiedEvent = nullptr;
        for (scene::ISceneNode* child : copy->getChildren())
            if (child->getType() == typeId("trge"))
                copiedEvent = static_cast<TriggerEventObject*>(child);
        ASSERT_NE(copiedEvent, nullptr) << source->getID();
        EXPECT_EQ(copiedEvent->getAction()->trigger, copy) << source->getID();
        EXPECT_EQ(copiedEvent->getAction()->event, nullptr) << source->getID();
        EXPECT_EQ(event->getAction()->trigger, source) << source->getID() << ": the source keeps its own";
    }
}

TEST_F(TriggerObjectTest, CheckpointIsATriggerKindWithoutTriggerKeys) {
    CheckpointObject* checkpoint = new CheckpointObject(root(), smgr(), 60);
    checkpoint->drop();
    manager->registerNodeIDs(checkpoint);
    KeyValues keys = keysOf(checkpoint);
    EXPECT_EQ(keys.count("TriggerCondition"), 0u);
    EXPECT_EQ(keys.count("ConditionMet"), 0u);
    // The spawn camera belongs to a checkpoint that is a spawn, when written and when read.
    checkpoint->SpawnCameraID = 12;
    for (const bool spawn : {false, true}) {
        checkpoint->UseCheckpointAsSpawn = spawn;
        EXPECT_EQ(keysOf(checkpoint).count("SpawnCameraID"), spawn ? 1u : 0u) << spawn;
        io::IAttributes* spawnKeys = attributes();
        spawnKeys->addBool("UseCheckpointAsSpawn", spawn);
        spawnKeys->addInt("SpawnCameraID", 34);
        checkpoint->deserializeAttributes(spawnKeys);
        EXPECT_EQ(checkpoint->SpawnCameraID, spawn ? 34 : 12) << spawn;
    }
    checkpoint->UseCheckpointAsSpawn = false;
    EXPECT_EQ(asTrigger(checkpoint), checkpoint);
    EXPECT_FALSE(parseObjectIDExpression(std::string("60"))->evaluate());

    io::IAttributes* in = attributes();
    in->addBool("CheckpointSaved", false);
    checkpoint->deserializeAttributes(in);
    EXPECT_FALSE(checkpoint->ConditionMet);
    in->setAttribute("CheckpointSaved", true);
    checkpoint->deserializeAttributes(in);
    EXPECT_TRUE(checkpoint->ConditionMet);
    EXPECT_TRUE(parseObjectIDExpression(std::string("60"))->evaluate());
    frames(6);
    EXPECT_TRUE(checkpoint->ConditionMet); // never evaluates
    EXPECT_EQ(checkpoint->getBoundingBox().MaxEdge, core::vector3df(1, 1, 1));
}

TEST_F(TriggerObjectTest, TriggerTypesComeFromTheFactoryAndTheCheckpointIsTheTriggerOne) {
    for (const char* name : {"TriggerObject", "TriggerEventObject", "ConditionalTrigger", "CheckpointObject"}) {
        scene::ISceneNode* node = smgr()->addSceneNode(name, root());
        ASSERT_NE(node, nullptr) << name;
    }
    scene::ISceneNode* checkpoint = smgr()->addSceneNode("CheckpointObject", root());
    EXPECT_NE(asTrigger(checkpoint), nullptr);
}

namespace {
// The first shape of a volume actor.
phys::Shape* shapeOf(phys::Actor* actor) {
    phys::RigidActor* rigid = actor ? actor->asRigidActor() : nullptr;
    phys::Shape* shape = nullptr;
    if (rigid)
        rigid->getShapes(&shape, 1);
    return shape;
}

core::vector3df boxHalfOf(phys::Actor* actor) {
    phys::BoxGeometry box;
    phys::Shape* shape = shapeOf(actor);
    if (!shape || !shape->getBoxGeometry(box))
        return {};
    return {box.halfExtents.x, box.halfExtents.y, box.halfExtents.z};
}
} // namespace

TEST_F(TriggerObjectTest, VolumeIsBuiltInThePhysicsWorldOnlyForVolumeConditions) {
    TriggerObject* trigger = addTrigger();
    ASSERT_NE(trigger->getPhysicsUserData(), nullptr);
    EXPECT_EQ(trigger->getPhysicsUserData()->trigger, trigger); // what its actors will carry
    trigger->setScale({4, 2, 6});
    io::IAttributes* in = attributes();
    in->addEnum("TriggerCondition", "Immediately", triggerNames::conditions);
    trigger->deserializeAttributes(in);
    EXPECT_EQ(trigger->getMainActor(), nullptr);
    EXPECT_EQ(physics->getScene()->getNbActors(), 0u);

    in->setAttribute("TriggerCondition", "On Object Inside");
    in->addBool("CreateSkin", true);
    trigger->deserializeAttributes(in);
    phys::Actor* volume = trigger->getMainActor();
    ASSERT_NE(volume, nullptr);
    ASSERT_NE(trigger->getSkinActor(), nullptr);
    EXPECT_EQ(volume->userData, trigger->getPhysicsUserData());
    test::expectNear(boxHalfOf(volume), {2, 1, 3});
    test::expectNear(boxHalfOf(trigger->getSkinActor()), {4.5f, 3.5f, 5.5f});
    phys::Shape* shape = shapeOf(volume);
    ASSERT_NE(shape, nullptr);
    EXPECT_TRUE(shape->getFlags() & phys::ShapeTrigger) << "a simple volume reports through a trigger shape";
    EXPECT_EQ(shape->getSimulationFilterData().word0, collisionCategory::TriggerVolume);
    EXPECT_EQ(shape->getSimulationFilterData().word1, 0x0FFFFF87u) << "any object sets it off";

    in->addEnum("BoundType", "Capsule", triggerNames::boundTypes);
    in->addFloat("Radius", 1.0f);
    in->addFloat("Height", 8.0f);
    in->setAttribute("TriggerCondition", "On Player Collide");
    trigger->deserializeAttributes(in);
    EXPECT_EQ(physics->getScene()->getNbActors(), 2u) << "the volumes before are released";
    phys::CapsuleGeometry capsule;
    ASSERT_TRUE(shapeOf(trigger->getMainActor())->getCapsuleGeometry(capsule));
    EXPECT_FLOAT_EQ(capsule.radius, 1.0f);
    EXPECT_FLOAT_EQ(capsule.halfHeight, 4.0f);
    EXPECT_EQ(shapeOf(trigger->getMainActor())->getSimulationFilterData().word1, 0x3F00u)
        << "only the player's body parts set it off";

    // A convex volume from a mesh handed in (a vision cone's): a copy, not a shape primitive,
    // and it collides to report its contact points.
    scene::IMesh* cube = smgr()->getGeometryCreator()->createCubeMesh();
    trigger->setConvexMeshBound(cube);
    trigger->rebuildVolume();
    cube->drop();
    EXPECT_EQ(trigger->BoundType, TriggerBound::Convex);
    phys::Shape* convex = shapeOf(trigger->getMainActor());
    ASSERT_NE(convex, nullptr);
    EXPECT_EQ(convex->getGeometryType(), phys::GeometryType::ConvexMesh);
    EXPECT_TRUE(convex->getFlags() & phys::ShapeSimulation);

    // The volume follows the trigger's transformation.
    trigger->setPosition({3, 4, 5});
    trigger->updateAbsolutePosition();
    trigger->syncPose();
    const phys::Vec3 at = trigger->getMainActor()->asRigidActor()->getGlobalPose().p;
    test::expectNear({at.x, at.y, at.z}, {3, 4, 5});
}

// A cylinder is the editor's cylinder mesh stretched to the radius and the height; a convex
// volume comes from its collision mesh file; taking back a handed-in mesh leaves no volume.
TEST_F(TriggerObjectTest, CylinderAndConvexFileVolumesAreBuiltFromTheirMeshes) {
    workingDir.reset(); // back where the fixture started before moving on
    workingDir = std::make_unique<test::ScopedWorkingDir>(test::sourceDir());
    TriggerObject* trigger = addTrigger();
    io::IAttributes* in = attributes();
    in->addEnum("TriggerCondition", "On Object Inside", triggerNames::conditions);
    in->addEnum("BoundType", "Cylinder", triggerNames::boundTypes);
    in->addFloat("Radius", 2.0f);
    in->addFloat("Height", 3.0f);
    trigger->deserializeAttributes(in);
    ASSERT_NE(trigger->getMainActor(), nullptr);
    EXPECT_EQ(shapeOf(trigger->getMainActor())->getGeometryType(), phys::GeometryType::ConvexMesh);
    const phys::Bounds3 bounds = trigger->getMainActor()->getWorldBounds();
    EXPECT_NEAR(bounds.maximum.x - bounds.minimum.x, 4.0f, 0.2f) << "twice the radius";
    EXPECT_NEAR(bounds.maximum.z - bounds.minimum.z, 4.0f, 0.2f);
    EXPECT_NEAR(bounds.maximum.y - bounds.minimum.y, 3.0f, 0.2f) << "the height";

    in->setAttribute("BoundType", "Convex");
    in->addString("ColMeshFileName", "Content/Models/Props/Crate.obj");
    trigger->deserializeAttributes(in);
    ASSERT_NE(trigger->getMainActor(), nullptr);
    EXPECT_EQ(shapeOf(trigger->getMainActor())->getGeometryType(), phys::GeometryType::ConvexMesh);

    scene::IMesh* cube = smgr()->getGeometryCreator()->createCubeMesh();
    trigger->setConvexMeshBound(cube);
    cube->drop();
    trigger->setConvexMeshBound(nullptr);
    trigger->rebuildVolume();
    EXPECT_EQ(trigger->getMainActor(), nullptr) << "no mesh and no file: no convex volume";
    EXPECT_TRUE(trigger->ColMeshFileName.empty());
}

// The level marks only checkpoints as the active one; other triggers are left alone.
TEST_F(TriggerObjectTest, OnlyACheckpointIsMarkedTheActiveOne) {
    auto* checkpoint = new CheckpointObject(root(), smgr(), 61);
    checkpoint->drop();
    TriggerObject* plain = addTrigger(62);
    const auto& mark = levelHooks().triggers.setCheckpointActive;
    ASSERT_TRUE(mark);
    for (const bool active : {true, false}) {
        mark(checkpoint, active);
        EXPECT_EQ(checkpoint->IsActiveCheckpoint, active);
    }
    mark(plain, true);
    mark(nullptr, true);
    EXPECT_FALSE(checkpoint->IsActiveCheckpoint);
}

TEST_F(TriggerObjectTest, ComparisonsOutsideTheThreeModesAreNeverMet) {
    const struct {
        f32 value, reference;
        s32 mode;
        bool met;
    } rows[] = {{2, 1, TriggerCompare::GreaterThan, true}, {1, 1, TriggerCompare::GreaterThan, false},
                {0, 1, TriggerCompare::LessThan, true},    {1, 1, TriggerCompare::LessThan, false},
                {1, 1, TriggerCompare::EqualTo, true},     {1, 1, 3, false},
                {2, 1, -1, false},                         {0, 1, 4, false}};
    for (const auto& row : rows)
        EXPECT_EQ(compareTriggerValue(row.value, row.reference, row.mode), row.met)
            << row.value << " " << row.reference << " " << row.mode;
}

TEST_F(TriggerObjectTest, ATriggerWithoutVolumeKeepsItsPlaceFromBeforeItsFirstFrame) {
    TriggerObject* trigger = addTrigger();
    trigger->setPosition({1, 0, 0});
    trigger->updateAbsolutePosition(); // as the level load does
    frame();
    trigger->setPosition({5, 0, 0});
    frames(2);
    test::expectNear(trigger->getAbsolutePosition(), {1, 0, 0});
    trigger->keepUpdatingTransform = true; // an action reads its transformation
    frame();
    test::expectNear(trigger->getAbsolutePosition(), {5, 0, 0});
}

} // namespace
