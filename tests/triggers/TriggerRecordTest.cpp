// What the triggers and their actions produce, each group compared with its record under
// tests/triggers/records/: every action type's keys as the editor writes them and as a level
// file without those keys reads them; every action run in a small scene with its defaults and
// with each switch and choice changed, as the changes it made to the scene; and a trigger
// volume of each condition as objects enter and leave it over fixed steps. The frame clock is
// moved by hand and the program's generator is seeded before each run; a force volume pushes
// crates over fixed physics steps.
#include "ActionTestSupport.h"

#include "characters/CharacterObject.h"
#include "characters/CharacterRegistration.h"
#include "characters/CharacterServices.h"
#include "characters/CharacterStates.h"
#include "characters/SuspicionMeter.h"
#include "characters/SuspicionRules.h"
#include "characters/WaypointObject.h"
#include "core/Globals.h"
#include "core/Random.h"
#include "level/LevelEvents.h"
#include "level/ObjectiveList.h"
#include "level/ObjectiveObject.h"
#include "level/SoundObject.h"
#include "level/VariableObject.h"
#include "phys/Actor.h"
#include "phys/Geometry.h"
#include "phys/RigidBody.h"
#include "phys/Shape.h"
#include "triggers/CheckpointObject.h"
#include "triggers/ConditionalTrigger.h"
#include "triggers/TriggerEventObject.h"
#include "triggers/TriggerObject.h"

#include "support/RecordedResult.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

using namespace irr;

namespace {

// The record's text: one line per thing, numbers with five significant digits.
using Record = test::RecordText;

std::string inQuotes(const std::string& value) { return "\"" + value + "\""; }

[[maybe_unused]] std::string typeName(scene::ESCENE_NODE_TYPE type) {
    std::string name(4, ' ');
    for (int i = 0; i < 4; ++i)
        name[i] = static_cast<char>((static_cast<u32>(type) >> (8 * i)) & 0xff);
    return name;
}

// One attribute as "Name type value"; the literals of an enumeration follow its value.
std::string attributeLine(io::IAttributes* set, u32 i, bool literals) {
    std::string line = std::string(set->getAttributeName(i)) + " " + core::stringc(set->getAttributeTypeString(i)).c_str() + " " +
                       inQuotes(set->getAttributeAsString(i).c_str());
    if (literals && set->getAttributeType(i) == io::EAT_ENUM) {
        core::array<core::stringc> names;
        set->getAttributeEnumerationLiteralsOfEnumeration(i, names);
        line += " of";
        for (u32 n = 0; n < names.size(); ++n)
            line += " " + inQuotes(names[n].c_str());
    }
    return line;
}


// A node's state as "key value" rows: every attribute it writes, and what the editor keys do
// not show (visibility, world position, body motion, a trigger's run-time state).
using NodeState = std::vector<std::pair<std::string, std::string>>;

std::string number(f32 value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.5g", static_cast<double>(value));
    return text;
}
std::string vector(const core::vector3df& v) { return number(v.X) + " " + number(v.Y) + " " + number(v.Z); }

// Commas glued to numbers would make them words; the comparer splits on white space.
std::string spaced(std::string value) {
    std::replace(value.begin(), value.end(), ',', ' ');
    return inQuotes(value);
}

// Every value of the set changed from what it is: switches turned, numbers moved, texts
// lengthened, the next choice of each enumeration. Read back, it shows what each key reaches.
io::IAttributes* changedCopy(io::IAttributes* from, io::IAttributes* to) {
    for (u32 i = 0; i < from->getAttributeCount(); ++i) {
        const char* key = from->getAttributeName(i);
        switch (from->getAttributeType(i)) {
        case io::EAT_BOOL: to->addBool(key, !from->getAttributeAsBool(i)); break;
        case io::EAT_INT: to->addInt(key, from->getAttributeAsInt(i) + 3); break;
        case io::EAT_FLOAT: to->addFloat(key, from->getAttributeAsFloat(i) * 2.0f + 1.5f); break;
        case io::EAT_VECTOR3D: to->addVector3d(key, from->getAttributeAsVector3d(i) + core::vector3df(1.0f, 2.0f, 3.0f)); break;
        case io::EAT_STRING: to->addString(key, (std::string(from->getAttributeAsString(i).c_str()) + "7").c_str()); break;
        case io::EAT_ENUM: {
            core::array<core::stringc> names;
            from->getAttributeEnumerationLiteralsOfEnumeration(i, names);
            const core::stringc current = from->getAttributeAsString(i);
            s32 at = -1;
            for (u32 n = 0; n < names.size(); ++n)
                if (names[n] == current)
                    at = static_cast<s32>(n);
            if (!names.empty()) {
                // Read as an enumeration of the same literals, as a level file gives it.
                std::vector<const char*> literals;
                for (u32 n = 0; n < names.size(); ++n)
                    literals.push_back(names[n].c_str());
                literals.push_back(nullptr);
                to->addEnum(key, names[static_cast<u32>(at + 1) % names.size()].c_str(), literals.data());
            }
            break;
        }
        default: to->addString(key, from->getAttributeAsString(i).c_str()); break;
        }
    }
    return to;
}

std::string keyLine(io::IAttributes* set) {
    std::string keys;
    for (u32 k = 0; k < set->getAttributeCount(); ++k) {
        std::string value = set->getAttributeAsString(k).c_str();
        std::replace(value.begin(), value.end(), ',', ' ');
        keys += std::string(" ") + set->getAttributeName(k) + "=" + inQuotes(value);
    }
    return keys;
}

class TriggerRecordTest : public test::ActionFixture {
protected:
    void SetUp() override {
        test::ActionFixture::SetUp();
        // Force ranges and conditional windows draw from the program's generator.
        seedRandom(7);
        std::srand(7);
        registerCharacters();
        loadSuspicionConfig();
    }
    void TearDown() override {
        smgr()->clear(); // the characters go before their rules
        unloadSuspicionConfig();
        resetCharacterServices();
        test::ActionFixture::TearDown();
    }
    io::IAttributes* writtenKeys(const TriggerAction& action) {
        io::IAttributes* set = attributes();
        action.serializeAttributes(set);
        return set;
    }

    // --- the action scene ---
    // Crates 11 (dynamic), 12 (kinematic) and 13 (static) on floor 14, character 15 on its path, camera 21, variables 31 and 32,
    // objectives 41 (hidden) and 42 (revealed), trigger 60 (met at once, recording what it is
    // asked), checkpoint 70, sound 81; the level's suspicion meter with one watcher.
    void buildScene() {
        addCrate(11, {0, 2, 0});
        addCrate(12, {4, 0, 0}, "Kinematic");
        addCrate(13, {-4, 0, 0}, "Static");
        PhysicsObject* floor = addBody(14, {0, -3.5f, 0}, "Static"); // below what falls in a run
        io::IAttributes* extents = attributes();
        extents->addVector3d("BoxExtents", {200, 1, 200});
        floor->deserializeAttributes(extents);
        addCameraObject(21, {0, 5, -10});
        for (auto [id, value] : {std::pair<s32, f32>{31, 4.0f}, {32, 2.0f}}) {
            auto* variable = new VariableObject(root(), smgr(), id);
            variable->drop();
            variable->Value = value;
            manager->registerNodeIDs(variable);
        }
        for (auto [id, revealed] : {std::pair<s32, bool>{41, false}, {42, true}}) {
            auto* objective = new ObjectiveObject(root(), smgr(), id);
            objective->drop();
            objective->TextID = id == 41 ? L"Objective_A" : L"Objective_B";
            objective->IsRevealed = revealed;
            manager->registerNodeIDs(objective);
        }
        target = addTrigger(60, TriggerCondition::Immediately);
        targetAction = record(target, "target");
        auto* checkpoint = new CheckpointObject(root(), smgr(), 70);
        checkpoint->drop();
        manager->registerNodeIDs(checkpoint);
        auto* sound = new SoundObject(root(), smgr(), 81);
        sound->drop();
        sound->EventName = "GameAudio/Audio/Collisions/Drag";
        manager->registerNodeIDs(sound);
        // Character 15 walking a path of two points, its own suspicion kind and meter.
        auto* path = new WaypointObject(root(), smgr(), 200);
        path->drop();
        for (s32 i = 0; i < 2; ++i) {
            auto* point = new WaypointObject(path, smgr(), 201 + i);
            point->drop();
            point->setPosition({8.0f + 4.0f * i, 0, 6});
        }
        auto* character = new CharacterObject(root(), smgr(), -1);
        character->drop();
        io::IAttributes* keys = attributes();
        keys->addInt("Id", 15);
        keys->addVector3d("Position", {8, 0.2f, 4});
        keys->addInt("ParentWaypointID", 200);
        keys->addEnum("StartState", "Walking", characterStateNames);
        character->deserializeAttributes(keys);
        manager->rebuildNodeIDs();
        SuspicionMeter& meter = *manager->suspicionMeter;
        meter.age = 3.0f;
        meter.watcherCount = 1;
    }

    static std::string nodeName(scene::ISceneNode* node) {
        return typeName(node->getType()) + " " + std::to_string(node->getID()) + " " + inQuotes(node->getName());
    }
    void collect(scene::ISceneNode* node, std::map<std::string, NodeState>& states) {
        for (scene::ISceneNode* child : node->getChildren()) {
            std::string name = nodeName(child);
            while (states.count(name))
                name += "+";
            NodeState& state = states[name];
            io::IAttributes* set = device->get()->getFileSystem()->createEmptyAttributes();
            if (child != owner) // its keys are the action's, written with each run
                child->serializeAttributes(set);
            for (u32 i = 0; i < set->getAttributeCount(); ++i)
                state.emplace_back(set->getAttributeName(i), spaced(set->getAttributeAsString(i).c_str()));
            set->drop();
            state.emplace_back("~visible", child->isVisible() ? "1" : "0");
            state.emplace_back("~world", vector(child->getAbsolutePosition()));
            if (auto* body = dynamic_cast<PhysicsObject*>(child)) {
                state.emplace_back("~state", std::to_string(static_cast<int>(body->getPhysicsState())));
                state.emplace_back("~materials", std::to_string(body->getMaterialCount()));
                if (body->getMaterialCount() > 0) {
                    const video::SMaterial& material = body->getMaterial(0);
                    state.emplace_back("~material0", std::to_string(material.getFlag(video::EMF_LIGHTING)) + " " +
                                                         std::to_string(material.getFlag(video::EMF_ZWRITE_ENABLE)) + " " +
                                                         std::to_string(material.DiffuseColor.color) + " " +
                                                         std::to_string(material.EmissiveColor.color));
                }
                if (phys::RigidDynamic* dynamic = body->getDynamicActor()) {
                    const phys::Vec3 l = dynamic->getLinearVelocity(), a = dynamic->getAngularVelocity();
                    state.emplace_back("~velocity", vector({l.x, l.y, l.z}) + " " + vector({a.x, a.y, a.z}));
                }
            }
            if (auto* character = dynamic_cast<CharacterObject*>(child))
                state.emplace_back("~character", std::to_string(character->stateMachine().currentID()) + " " +
                                                     std::to_string(character->stateMachine().globalID()) + " " +
                                                     std::to_string(character->getVisionSuspicionType()));
            if (TriggerObject* trigger = asTrigger(child)) {
                state.emplace_back("~run", std::to_string(trigger->IsActive) + " " + std::to_string(trigger->ConditionMet) +
                                               " " + std::to_string(trigger->PrevConditionMet) + " " +
                                               std::to_string(trigger->cancelled) + " " +
                                               std::to_string(trigger->pauseCount) + " " + number(trigger->PreCondTimer));
                if (trigger == target)
                    state.emplace_back("~asked", std::to_string(targetAction->executes) + " " +
                                                     std::to_string(targetAction->reverts));
            }
            // The acting trigger's and the character's own children are their parts.
            if ((child->getType() != typeId("trgr") || child == target) && child->getType() != typeId("crct"))
                collect(child, states);
        }
    }
    // Everything outside the nodes: the suspicion meter, the objective list, the camera in
    // charge, the queued level events, the new log lines.
    std::map<std::string, NodeState> snapshot() {
        std::map<std::string, NodeState> states;
        collect(root(), states);
        const SuspicionMeter& meter = *manager->suspicionMeter;
        states["~suspicion"] = {{"value", number(meter.value)},         {"pending", number(meter.pendingValue)},
                                {"drain", number(meter.drainValue)},    {"drainTimer", number(meter.drainTimer)},
                                {"zones", std::to_string(meter.zoneCount)}, {"repeat", number(meter.repeatTimer)},
                                {"gained", std::to_string(meter.gainedThisFrame) + std::to_string(meter.gainedLastFrame)}};
        NodeState& objectives = states["~objectives"];
        for (const ObjectiveEntry& entry : manager->objectives.getEntries())
            objectives.emplace_back(std::to_string(entry.id), std::to_string(entry.iconFrame) + " " +
                                                                   std::to_string(entry.revealed) + " " +
                                                                   std::to_string(entry.completed));
        CameraObject* camera = cameras->getOverrideCamera();
        states["~camera"] = {{"override", camera ? std::to_string(camera->getID()) : "none"},
                             {"overrides", std::to_string(cameras->overrideCameras.size())},
                             {"transition", cameras->transition ? "1" : "0"}};
        NodeState& events = states["~events"];
        for (const auto& event : manager->getLevelEvents())
            events.emplace_back("event", std::to_string(static_cast<int>(event->getType())));
        NodeState& lines = states["~log"];
        for (const std::string& line : log.lines)
            lines.emplace_back("line", spaced(test::withFoldersShown(line, {(test::sourceDir() / "").string()})));
        return states;
    }
    // What changed between two snapshots: changed rows of kept nodes, new nodes whole,
    // gone nodes by name.
    static void difference(Record& record, const std::map<std::string, NodeState>& before,
                           const std::map<std::string, NodeState>& after) {
        for (const auto& [name, state] : after) {
            auto was = before.find(name);
            if (was == before.end()) {
                record.line("    new %s", name.c_str());
                for (const auto& [key, value] : state)
                    record.line("      %s %s", key.c_str(), value.c_str());
                continue;
            }
            std::multiset<std::pair<std::string, std::string>> old(was->second.begin(), was->second.end());
            for (const auto& row : state) {
                auto same = old.find(row);
                if (same != old.end()) {
                    old.erase(same);
                    continue;
                }
                record.line("    %s %s %s", name.c_str(), row.first.c_str(), row.second.c_str());
            }
            for (const auto& row : old)
                record.line("    %s %s was %s", name.c_str(), row.first.c_str(), row.second.c_str());
        }
        for (const auto& entry : before)
            if (!after.count(entry.first))
                record.line("    gone %s", entry.first.c_str());
    }

    // The keys every run of an action type starts from: its targets in the scene and values
    // that make it do something.
    static void baseKeys(s32 type, io::IAttributes* k) {
        switch (type) {
        case 1: k->addInt("ObjectID", 11); k->addString("ObjectIDs", "12"); break;
        case 2: k->addString("AnimatedObjectIDs", "11"); k->addInt("StartFrame", 2); k->addInt("EndFrame", 8); break;
        case 3: k->addInt("ObjectID", 11); break;
        case 4: k->addInt("ObjectID", 11); k->addString("NewMeshFileName", "Content/Models/Props/Crate.obj"); break;
        case 5: k->addInt("CharacterID", 15); k->addFloat("CharacterSpeed", 3.0f); k->addInt("LookTargetID", 12);
                k->addFloat("CharacterRotateSpeed", 2.0f); k->addInt("TargetWaypointID", 202); k->addInt("ParentWaypointID", 200);
                break;
        case 6: k->addInt("ObjectID", 81); break;
        case 7: k->addString("MusicEventName", "GameAudio/Audio/Collisions/Drag"); k->addString("MusicParameterName", "speed"); k->addFloat("MusicParameterValue", 0.5f); break;
        case 8: k->addInt("ObjectID", 11); k->addInt("TargetID", 12); k->addFloat("MoveDuration", 0.25f);
                k->addVector3d("TargetPosition", {1, 3, 2}); k->addVector3d("TargetRotation", {0, 90, 0}); break;
        case 9: k->addInt("ObjectID", 12); k->addInt("TargetID", 13); k->addInt("BaseID", 100); k->addInt("PoolSize", 2);
                k->addVector3d("TargetPosition", {3, 2, 1}); break;
        case 10: k->addInt("ObjectID", 11); k->addString("ObjectIDs", "12"); k->addVector3d("LinearForce", {0, 50, 20});
                 k->addVector3d("AngularForce", {0, 5, 0}); k->addVector3d("LinearForceMax", {0, 80, 40});
                 k->addVector3d("AngularForceMax", {0, 8, 0}); k->addFloat("VelocityMultiplier", 0.5f); break;
        case 11: case 12: case 13: k->addInt("ObjectID", 60); break;
        case 14: k->addInt("ObjectiveObjectID", 41); k->addInt("ObjectID", 42); break;
        case 15: k->addInt("ObjectID", 70); break;
        case 16: k->addFloat("AddSuspiciousAmount", 5.0f); k->addFloat("SuspicionTimer", 0.1f); k->addInt("SuspicionPositionID", 13); break;
        case 17: k->addString("SuspicionSafeZone", "True"); break;
        case 18: k->addInt("ObjectID", 31); k->addInt("VariableObjectID", 32); k->addFloat("VariableValue", 3.0f); break;
        case 19: k->addString("AttributeName", "Record_Attribute"); k->addString("AttributeValue", "3"); break;
        case 21: k->addFloat("LimpAmount", 0.5f); break;
        case 22: k->addInt("CameraID", 21); k->addFloat("CamTransitionSpeed", 2.0f); break;
        case 24: case 27: k->addFloat("HoldLength", 1.5f); k->addString("NextLevel", "Content/Levels/Record.lvl"); break;
        case 25: case 26: k->addString("NotificationName", "Record_Note"); break;
        default: break;
        }
    }

    // What one run left: the scene after the firing frames and after the reverting ones.
    struct Run {
        std::map<std::string, NodeState> fired, reverted;
        std::string keys;
    };
    // One run: a fresh scene, the action read from the keys, fired inside a frame with a
    // contact of crate 12 at (1, 2, 3), a few frames, then reverted while the trigger is unmet.
    Run runAction(s32 type, const std::function<void(io::IAttributes*)>& change) {
        TearDown();
        SetUp();
        buildScene();
        logTriggers = true;
        steps(3);
        owner = addActionTrigger(50, type, [&](io::IAttributes* k) {
            if (type == 0)
                return; // the scene alone, to tell what the actions change
            baseKeys(type, k);
            if (change)
                change(k);
        });
        owner->setPosition({2, 1, 0});
        owner->updateAbsolutePosition();
        log.lines.clear();
        Run run;
        TriggerEventInfo event = makeTriggerEventInfo(manager->getSceneNodeFromID(12), {1, 2, 3});
        step(PhysicsManager::fixedStepSize, [&] {
            owner->ConditionMet = owner->PrevConditionMet = true;
            owner->fireEvent(event);
        });
        steps(9);
        run.fired = snapshot();
        log.lines.clear();
        step(PhysicsManager::fixedStepSize, [&] {
            owner->ConditionMet = owner->PrevConditionMet = false;
            owner->revertEvent(event);
        });
        steps(4);
        run.reverted = snapshot();
        io::IAttributes* out = writtenKeys(*owner->getAction());
        for (u32 i = 0; i < out->getAttributeCount(); ++i)
            run.keys += std::string(" ") + out->getAttributeName(i) + "=" + spaced(out->getAttributeAsString(i).c_str());
        owner = nullptr;
        return run;
    }

    // The action with its defaults, then each switch turned from its default and each
    // choice of each enumeration.
    void recordActions(const std::string& file, std::initializer_list<s32> types) {
        Record record;
        // The scene with an action that does nothing: what every run below is compared with.
        const Run scene = runAction(0, nullptr);
        record.line("scene");
        difference(record, {}, scene.fired);
        record.line("scene reverted");
        difference(record, scene.fired, scene.reverted);
        for (s32 type : types) {
            record.line("action %d %s", type, inQuotes(triggerActionNames[type]).c_str());
            TriggerAction* made = createTriggerAction(type, nullptr);
            io::IAttributes* defaults = device->get()->getFileSystem()->createEmptyAttributes();
            made->serializeAttributes(defaults);
            delete made;
            std::vector<std::pair<std::string, std::function<void(io::IAttributes*)>>> variants;
            variants.emplace_back("defaults", nullptr);
            for (u32 i = 0; i < defaults->getAttributeCount(); ++i) {
                const std::string key = defaults->getAttributeName(i);
                if (defaults->getAttributeType(i) == io::EAT_BOOL) {
                    const bool value = !defaults->getAttributeAsBool(i);
                    variants.emplace_back(key + "=" + (value ? "true" : "false"),
                                          [key, value](io::IAttributes* k) { k->setAttribute(key.c_str(), value); });
                } else if (defaults->getAttributeType(i) == io::EAT_ENUM) {
                    core::array<core::stringc> names;
                    defaults->getAttributeEnumerationLiteralsOfEnumeration(i, names);
                    const std::string current = defaults->getAttributeAsString(i).c_str();
                    for (u32 n = 0; n < names.size(); ++n) {
                        const std::string name = names[n].c_str();
                        if (name == current)
                            continue;
                        variants.emplace_back(key + "=" + inQuotes(name), [key, name](io::IAttributes* k) {
                            if (k->existsAttribute(key.c_str()))
                                k->setAttribute(key.c_str(), name.c_str());
                            else
                                k->addString(key.c_str(), name.c_str());
                        });
                    }
                }
            }
            defaults->drop();
            for (const auto& [name, change] : variants) {
                const Run run = runAction(type, change);
                record.line("  run %s", name.c_str());
                difference(record, scene.fired, run.fired);
                record.line("  reverted");
                difference(record, scene.reverted, run.reverted);
                record.line("  keys%s", run.keys.c_str());
            }
        }
        test::expectMatchesRecord("triggers/records/" + file, record.text);
    }

    TriggerObject* owner = nullptr;
    TriggerObject* target = nullptr;
    test::RecordingAction* targetAction = nullptr;
};

// --- the keys of every action type ------------------------------------------------------------------

TEST_F(TriggerRecordTest, EveryActionTypeWritesItsKeysAndReadsItsDefaultsFromAnEmptySet) {
    Record record;
    TriggerObject* trigger = addTrigger(50, TriggerCondition::ManualActivationOnly);
    for (s32 index = -1; index <= triggerActionCount; ++index) {
        TriggerAction* made = createTriggerAction(index, trigger);
        ASSERT_NE(made, nullptr);
        record.line("action %d %s type %d registered %d name %s revert %d undo %d trigger %d", index,
                    index >= 0 && index < triggerActionCount ? inQuotes(triggerActionNames[index]).c_str() : "-",
                    made->getType(), isTriggerActionClassRegistered(index) ? 1 : 0, inQuotes(made->getName()).c_str(),
                    made->canRevert() ? 1 : 0, made->UndoOnTriggerRevert ? 1 : 0, made->trigger == trigger ? 1 : 0);
        io::IAttributes* written = writtenKeys(*made);
        for (u32 i = 0; i < written->getAttributeCount(); ++i)
            record.line("  written %s", attributeLine(written, i, true).c_str());
        TriggerAction* fresh = createTriggerAction(index, trigger);
        fresh->deserializeAttributes(attributes());
        io::IAttributes* again = writtenKeys(*fresh);
        for (u32 i = 0; i < again->getAttributeCount(); ++i)
            record.line("  read-empty %s", attributeLine(again, i, false).c_str());
        // Each choice of each enumeration read alone: the keys it brings with it.
        for (u32 i = 0; i < written->getAttributeCount(); ++i) {
            if (written->getAttributeType(i) != io::EAT_ENUM)
                continue;
            core::array<core::stringc> names;
            written->getAttributeEnumerationLiteralsOfEnumeration(i, names);
            for (u32 n = 0; n < names.size(); ++n) {
                io::IAttributes* in = attributes();
                in->addString(written->getAttributeName(i), names[n].c_str());
                TriggerAction* chosen = createTriggerAction(index, trigger);
                chosen->deserializeAttributes(in);
                io::IAttributes* out = writtenKeys(*chosen);
                std::string keys;
                for (u32 k = 0; k < out->getAttributeCount(); ++k)
                    keys += std::string(" ") + out->getAttributeName(k) + "=" + inQuotes(out->getAttributeAsString(k).c_str());
                record.line("  choice %s=%s :%s", written->getAttributeName(i), inQuotes(names[n].c_str()).c_str(),
                            keys.c_str());
                delete chosen;
            }
        }
        // Every key changed, read into a fresh action and written again.
        TriggerAction* changed = createTriggerAction(index, trigger);
        changed->deserializeAttributes(changedCopy(written, attributes()));
        record.line("  read-changed%s", keyLine(writtenKeys(*changed)).c_str());
        delete changed;
        // A copy for another trigger keeps every key.
        TriggerAction* copy = made->clone(trigger);
        io::IAttributes* copied = writtenKeys(*copy);
        record.line("  clone type %d keys %u same %d", copy->getType(), copied->getAttributeCount(),
                    copied->getAttributeCount() == written->getAttributeCount() ? 1 : 0);
        delete copy;
        delete fresh;
        delete made;
    }
    test::expectMatchesRecord("triggers/records/action-keys.txt", record.text);
}

// --- every action run in the scene -------------------------------------------------------------------

TEST_F(TriggerRecordTest, ObjectActionsChangeTheirObjectsAsRecorded) {
    recordActions("object-actions.txt", {1, 2, 3, 4, 8, 9, 10});
}

TEST_F(TriggerRecordTest, FlowActionsChangeTriggersSuspicionVariablesAndTheLevelAsRecorded) {
    recordActions("flow-actions.txt", {5, 11, 12, 13, 15, 16, 17, 18, 20, 21, 24, 27});
}

TEST_F(TriggerRecordTest, CameraSoundAndProgressActionsChangeWhatTheyDriveAsRecorded) {
    recordActions("camera-sound-progress-actions.txt", {6, 7, 14, 19, 22, 23, 25, 26, 28});
}


// --- the trigger kinds' keys and volumes --------------------------------------------------------------

TEST_F(TriggerRecordTest, TriggerKindsWriteReadAndBuildTheirVolumesAsRecorded) {
    Record record;
    io::SAttributeReadWriteOptions editor;
    editor.Flags = io::EARWF_FOR_EDITOR;
    const char* const kinds[] = {"TriggerObject",    "CameraTriggerVolume", "ConditionalTrigger",
                                 "CheckpointObject", "ForceVolume",         "TriggerEventObject"};
    const auto written = [&](scene::ISceneNode* node, io::SAttributeReadWriteOptions* options) {
        io::IAttributes* set = attributes();
        node->serializeAttributes(set, options);
        return set;
    };
    for (const char* kind : kinds) {
        TriggerObject* parent = addTrigger(90, TriggerCondition::ManualActivationOnly);
        scene::ISceneNode* node = smgr()->addSceneNode(kind, parent);
        ASSERT_NE(node, nullptr) << kind;
        record.line("kind %s %s", kind, typeName(node->getType()).c_str());
        io::IAttributes* game = written(node, nullptr);
        for (u32 i = 0; i < game->getAttributeCount(); ++i)
            record.line("  game %s", attributeLine(game, i, false).c_str());
        io::IAttributes* edit = written(node, &editor);
        for (u32 i = 0; i < edit->getAttributeCount(); ++i)
            record.line("  editor %s", attributeLine(edit, i, true).c_str());
        scene::ISceneNode* empty = smgr()->addSceneNode(kind, parent);
        empty->deserializeAttributes(attributes());
        record.line("  read-empty%s", keyLine(written(empty, &editor)).c_str());
        scene::ISceneNode* changed = smgr()->addSceneNode(kind, parent);
        changed->deserializeAttributes(changedCopy(edit, attributes()));
        record.line("  read-changed%s", keyLine(written(changed, &editor)).c_str());
        record.line("  read-changed-game%s", keyLine(written(changed, nullptr)).c_str());
        // The parent owns the copy.
        if (scene::ISceneNode* copy = changed->clone(parent, smgr()))
            record.line("  clone%s", keyLine(written(copy, &editor)).c_str());
        parent->remove();
    }

    // The volume of each bound, placed, turned and scaled, then moved.
    const auto pose = [&](const char* what, phys::Actor* actor) {
        const phys::RigidActor* rigid = actor ? actor->asRigidActor() : nullptr;
        if (!rigid) {
            record.line("    %s none", what);
            return;
        }
        const phys::Transform t = rigid->getGlobalPose();
        std::string shapes;
        std::vector<phys::Shape*> list(rigid->getNbShapes());
        rigid->getShapes(list.data(), static_cast<u32>(list.size()));
        for (phys::Shape* shape : list) {
            const phys::GeometryHolder& g = shape->getGeometry();
            shapes += " shape " + std::to_string(static_cast<int>(g.getType()));
            if (g.getType() == phys::GeometryType::Box)
                shapes += " " + vector({g.box().halfExtents.x, g.box().halfExtents.y, g.box().halfExtents.z});
            else if (g.getType() == phys::GeometryType::Sphere)
                shapes += " " + number(g.sphere().radius);
            else if (g.getType() == phys::GeometryType::Capsule)
                shapes += " " + number(g.capsule().radius) + " " + number(g.capsule().halfHeight);
            const phys::Transform local = shape->getLocalPose();
            shapes += " local " + vector({local.p.x, local.p.y, local.p.z}) + " " + number(local.q.x) + " " +
                      number(local.q.y) + " " + number(local.q.z) + " " + number(local.q.w);
        }
        record.line("    %s at %s turn %s %s %s %s%s", what, vector({t.p.x, t.p.y, t.p.z}).c_str(), number(t.q.x).c_str(),
                    number(t.q.y).c_str(), number(t.q.z).c_str(), number(t.q.w).c_str(), shapes.c_str());
    };
    for (const char* kind : {"TriggerObject", "CameraTriggerVolume", "ForceVolume", "CheckpointObject"})
        for (s32 bound = 0; bound < 4; ++bound)
            for (bool skin : {false, true}) {
                auto* trigger = static_cast<TriggerObject*>(smgr()->addSceneNode(kind, root()));
                io::IAttributes* keys = attributes();
                keys->addInt("Id", 95);
                keys->addVector3d("Position", {1, 2, 3});
                keys->addVector3d("Rotation", {0, 90, 30});
                keys->addVector3d("Scale", {2, 3, 4});
                keys->addEnum("BoundType", triggerNames::boundTypes[bound], triggerNames::boundTypes);
                keys->addFloat("Radius", 1.5f);
                keys->addFloat("Height", 4.0f);
                keys->addBool("CreateSkin", skin);
                keys->addEnum("TriggerCondition", "On Object Inside", triggerNames::conditions);
                trigger->deserializeAttributes(keys);
                trigger->updateAbsolutePosition();
                frames(4, 0.02f);
                record.line("volume %s %s skin %d uses %d box %s %s", kind, triggerNames::boundTypes[bound], skin ? 1 : 0,
                            trigger->usesVolume() ? 1 : 0, vector(trigger->getBoundingBox().MinEdge).c_str(),
                            vector(trigger->getBoundingBox().MaxEdge).c_str());
                pose("main", trigger->getMainActor());
                pose("skin", trigger->getSkinActor());
                trigger->setPosition({-2, 0, 5});
                trigger->setRotation({45, 0, 0});
                trigger->updateAbsolutePosition();
                frames(2, 0.02f);
                pose("moved", trigger->getMainActor());
                trigger->remove();
            }
    test::expectMatchesRecord("triggers/records/trigger-kinds.txt", record.text);
}

// --- a force volume acting on what is inside ----------------------------------------------------------

TEST_F(TriggerRecordTest, ForceVolumesPushWhatIsInsideByTheirModesAsRecorded) {
    Record record;
    // The volume's keys as the editor writes them: each switch turned and each choice taken.
    std::vector<std::pair<std::string, std::function<void(io::IAttributes*)>>> variants;
    variants.emplace_back("defaults", nullptr);
    {
        io::SAttributeReadWriteOptions editor;
        editor.Flags = io::EARWF_FOR_EDITOR;
        auto* volume = smgr()->addSceneNode("ForceVolume", root());
        io::IAttributes* keys = attributes();
        volume->serializeAttributes(keys, &editor);
        volume->remove();
        for (u32 i = 0; i < keys->getAttributeCount(); ++i) {
            const std::string key = keys->getAttributeName(i);
            if (key == "Visible" || key == "CreateSkin" || key == "ActiveInEditorOnly")
                continue; // an unseen volume does not act; the skin and editor flags are on the kinds' record
            if (keys->getAttributeType(i) == io::EAT_BOOL) {
                const bool value = !keys->getAttributeAsBool(i);
                variants.emplace_back(key + "=" + (value ? "true" : "false"),
                                      [key, value](io::IAttributes* k) { k->setAttribute(key.c_str(), value); });
            } else if (keys->getAttributeType(i) == io::EAT_ENUM && key.find("Force") != std::string::npos) {
                core::array<core::stringc> names;
                keys->getAttributeEnumerationLiteralsOfEnumeration(i, names);
                const std::string current = keys->getAttributeAsString(i).c_str();
                for (u32 n = 0; n < names.size(); ++n)
                    if (names[n] != current.c_str()) {
                        const std::string name = names[n].c_str();
                        variants.emplace_back(key + "=" + inQuotes(name),
                                              [key, name](io::IAttributes* k) { k->setAttribute(key.c_str(), name.c_str()); });
                    }
            }
        }
    }
    for (const auto& [name, change] : variants) {
        TearDown();
        SetUp();
        PhysicsObject* inside = addCrate(11, {0, 2, 0});
        PhysicsObject* outside = addCrate(12, {12, 2, 0});
        // A level file has every key: start from the volume's own.
        auto* volume = static_cast<TriggerObject*>(smgr()->addSceneNode("ForceVolume", root()));
        io::IAttributes* keys = attributes();
        volume->serializeAttributes(keys);
        keys->setAttribute("Id", 40);
        keys->setAttribute("Position", core::vector3df(0, 2, 0));
        keys->setAttribute("Scale", core::vector3df(6, 6, 6));
        keys->setAttribute("LinearForce", core::vector3df(0, 300, 100));
        keys->setAttribute("AngularForce", core::vector3df(0, 20, 0));
        keys->addVector3d("LinearForceMax", {0, 400, 200});
        keys->addVector3d("AngularForceMax", {0, 30, 0});
        keys->setAttribute("VelocityMultiplier", 0.9f);
        if (change)
            change(keys);
        volume->deserializeAttributes(keys);
        volume->updateAbsolutePosition();
        manager->registerNodeIDs(volume);
        record.line("run %s", name.c_str());
        for (int i = 0; i < 12; ++i) {
            step();
            if (i % 3 != 2)
                continue;
            std::string line = "  " + std::to_string(i) + " met " + std::to_string(volume->ConditionMet) + " contacts " +
                               std::to_string(volume->getActiveContactList().size());
            for (PhysicsObject* body : {inside, outside}) {
                phys::RigidDynamic* dynamic = body->getDynamicActor();
                const phys::Vec3 l = dynamic ? dynamic->getLinearVelocity() : phys::Vec3();
                const phys::Vec3 a = dynamic ? dynamic->getAngularVelocity() : phys::Vec3();
                line += " | " + std::to_string(body->getID()) + " at " + vector(body->getAbsolutePosition()) + " v " +
                        vector({l.x, l.y, l.z}) + " w " + vector({a.x, a.y, a.z});
            }
            record.line("%s", line.c_str());
        }
    }
    test::expectMatchesRecord("triggers/records/force-volumes.txt", record.text);
}

// --- conditions and events as objects enter and leave -------------------------------------------

phys::Shape* shapeOf(s32 id) { return reinterpret_cast<phys::Shape*>(static_cast<std::uintptr_t>(0x100 * (id + 1))); }

// Who enters (+) and leaves (-) the volume in which frame: the player body 1, its arm 2,
// crates 7 ('phsx'), 8 ('apsx') and 9 ('ties'); variable 31 takes the listed values.
struct Move {
    int frame;
    s32 id;
    bool enters;
};
const Move moves[] = {{0, 7, true},   {2, 1, true},   {3, 2, true},  {4, 8, true},  {5, 7, false},
                      {6, 2, false},  {7, 9, true},   {8, 1, false}, {9, 7, true},  {10, 8, false},
                      {12, 9, false}, {12, 7, false}, {14, 7, true}, {15, 1, true}};
const std::pair<int, f32> variableValues[] = {{1, 3.0f}, {4, 5.0f}, {8, 2.0f}, {11, 3.0f}};
constexpr int scheduleFrames = 18;

struct ConditionCase {
    const char* name;
    TriggerCondition condition;
    std::function<void(TriggerObject*)> settings;
};

TEST_F(TriggerRecordTest, TriggerVolumesFireByTheirConditionsAsObjectsEnterAndLeave) {
    using C = TriggerCondition;
    const std::vector<ConditionCase> cases = {
        {"immediately", C::Immediately, {}},
        {"manual", C::ManualActivationOnly, {}},
        {"player-collide", C::OnPlayerCollide, {}},
        {"player-collide-without-body", C::OnPlayerCollide, [](TriggerObject* t) { t->OnBodyCollision = false; }},
        {"player-collide-either-arm", C::OnPlayerCollide, [](TriggerObject* t) { t->OnArmsCollision = TriggerSide::Either; }},
        {"player-outside", C::OnPlayerOutside, {}},
        {"object-inside-any", C::OnObjectInside, {}},
        {"object-inside-7", C::OnObjectInside, [](TriggerObject* t) { t->PhysicsObjectIDs = "7"; }},
        {"object-inside-7-and-8", C::OnObjectInside, [](TriggerObject* t) { t->PhysicsObjectIDs = "7 & 8"; }},
        {"object-inside-7-or-9", C::OnObjectInside, [](TriggerObject* t) { t->PhysicsObjectIDs = "7|9"; }},
        {"object-inside-7-to-9", C::OnObjectInside, [](TriggerObject* t) { t->PhysicsObjectIDs = "7-9"; }},
        {"object-inside-group", C::OnObjectInside, [](TriggerObject* t) { t->PhysicsObjectIDs = "6"; }},
        {"object-inside-any-but-8", C::OnObjectInside, [](TriggerObject* t) { t->ExcludedObjectIDs = "8"; }},
        {"object-inside-any-but-7-and-9", C::OnObjectInside, [](TriggerObject* t) { t->ExcludedObjectIDs = "7|9"; }},
        {"object-outside-none-named", C::OnObjectOutside, {}},
        {"object-outside-7", C::OnObjectOutside, [](TriggerObject* t) { t->PhysicsObjectIDs = "7"; }},
        {"object-outside-7-or-8", C::OnObjectOutside, [](TriggerObject* t) { t->PhysicsObjectIDs = "7|8"; }},
        {"object-outside-7-and-8", C::OnObjectOutside, [](TriggerObject* t) { t->PhysicsObjectIDs = "7 & 8"; }},
        {"object-inside-once-met-always-met", C::OnObjectInside, [](TriggerObject* t) { t->OnceCondMetAlwaysMet = true; }},
        {"object-inside-per-object", C::OnObjectInside, [](TriggerObject* t) { t->ApplyEventPerObject = true; }},
        {"object-inside-7-or-9-per-object", C::OnObjectInside,
         [](TriggerObject* t) { t->PhysicsObjectIDs = "7|9"; t->ApplyEventPerObject = true; }},
        {"object-inside-after-minimum-time", C::OnObjectInside, [](TriggerObject* t) { t->MinimumTimeUntilMet = 0.05f; }},
        {"object-inside-after-minimum-time-reset", C::OnObjectInside,
         [](TriggerObject* t) { t->MinimumTimeUntilMet = 0.05f; t->ResetTimerIfUnmet = true; }},
        {"object-inside-limited-per-object", C::OnObjectInside,
         [](TriggerObject* t) { t->LimitPerObject = true; t->LimitPerObjectCount = 1; }},
        {"object-inside-limited-twice-per-object", C::OnObjectInside,
         [](TriggerObject* t) { t->LimitPerObject = true; t->LimitPerObjectCount = 2; }},
        {"variable-greater", C::OnVariableCondition, [](TriggerObject* t) { t->VariableID = 31; t->CompareValue = 3.0f; }},
        {"variable-less", C::OnVariableCondition,
         [](TriggerObject* t) { t->VariableID = 31; t->CompareValue = 3.0f; t->VariableComparison = TriggerCompare::LessThan; }},
        {"variable-equal", C::OnVariableCondition,
         [](TriggerObject* t) { t->VariableID = 31; t->CompareValue = 3.0f; t->VariableComparison = TriggerCompare::EqualTo; }},
        {"variable-greater-than-variable", C::OnVariableCondition,
         [](TriggerObject* t) { t->VariableID = 31; t->CompareVariableID = 32; }},
    };
    Record record;
    for (const ConditionCase& c : cases) {
        TearDown();
        SetUp();
        std::map<s32, scene::ISceneNode*> objects;
        objects[1] = addObject(1, "plr1");
        auto* arm = new test::FakeLimb(root(), smgr(), "arms", 2);
        arm->drop();
        manager->registerNodeIDs(arm);
        objects[2] = arm;
        test::FakeObject* group = addObject(6, "emty");
        for (s32 id : {7, 8, 9}) {
            const scene::ESCENE_NODE_TYPE type = id == 7 ? typeId("phsx") : id == 8 ? typeId("apsx") : typeId("ties");
            // 9 sits in group 6
            auto* object = new test::FakeObject(id == 9 ? static_cast<scene::ISceneNode*>(group) : root(), smgr(), id, type);
            object->drop();
            manager->registerNodeIDs(object);
            objects[id] = object;
        }
        VariableObject* variables[2];
        for (s32 i = 0; i < 2; ++i) {
            variables[i] = new VariableObject(root(), smgr(), 31 + i);
            variables[i]->drop();
            variables[i]->Value = i == 0 ? 1.0f : 2.5f;
            manager->registerNodeIDs(variables[i]);
        }
        TriggerObject* trigger = addTrigger(100, c.condition);
        test::RecordingAction* action = test::TriggerFixture::record(trigger, "action");
        addEvent(trigger, 0.05f, "event");
        ConditionalTrigger* conditional = addConditional(trigger, 101);
        test::TriggerFixture::record(conditional, "conditional");
        conditional->BreakIfTrue = false; // the delayed event runs as well
        addEvent(trigger, 0.0f, "now");
        // A window evaluated over time, met while object 8 is inside; once met it breaks the
        // events still counting.
        ConditionalTrigger* window = addConditional(trigger, 102, TriggerCondition::OnObjectInside);
        test::TriggerFixture::record(window, "window");
        window->PhysicsObjectIDs = "8";
        window->TimeSpan = core::vector2df(0.04f, 0.1f);
        window->Randomness = 0.0f;
        if (c.settings)
            c.settings(trigger);
        trigger->needsResolve = true;
        frames(3, 0.02f); // nothing is evaluated in a trigger's first three frames
        journal.clear();
        record.line("case %s", c.name);
        for (int f = 0; f < scheduleFrames; ++f) {
            std::string moved;
            for (const Move& move : moves) {
                if (move.frame != f)
                    continue;
                if (move.enters)
                    trigger->onObjectEnter(objects[move.id], {1.0f * move.id, 0, 0}, nullptr, nullptr, shapeOf(move.id));
                else
                    trigger->onObjectLeave(objects[move.id], nullptr, nullptr, shapeOf(move.id));
                moved += (move.enters ? " +" : " -") + std::to_string(move.id);
            }
            for (const auto& [when, value] : variableValues)
                if (when == f) {
                    variables[0]->Value = value;
                    moved += " v" + number(value);
                }
            frame(0.02f);
            const scene::ISceneNode* cause = action->lastEvent.object;
            const scene::ISceneNode* second = action->lastEvent.secondObject;
            record.line("  %2d%s : met %d %d exec %d revert %d updates %d contacts %zu cause %d second %d at %s timer %s "
                        "window %s %d %d journal%s",
                        f, moved.empty() ? " ." : moved.c_str(), trigger->ConditionMet ? 1 : 0,
                        trigger->PrevConditionMet ? 1 : 0, action->executes, action->reverts, action->updates,
                        trigger->getActiveContactList().size(), cause ? cause->getID() : 0, second ? second->getID() : 0,
                        vector(action->lastEvent.position).c_str(), number(trigger->PreCondTimer).c_str(), number(window->Timer).c_str(),
                        window->ConditionMet ? 1 : 0, window->skipped ? 1 : 0,
                        [&] {
                            std::string text;
                            for (const std::string& entry : journal)
                                text += " " + entry;
                            journal.clear();
                            return text.empty() ? std::string(" -") : text;
                        }()
                            .c_str());
        }
    }
    test::expectMatchesRecord("triggers/records/conditions.txt", record.text);
}

} // namespace
