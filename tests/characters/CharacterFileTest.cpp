// Characters in level files: the keys they write and read, round trips through a level file
// and through clones, missing content, the controller's and the sight test's filters.
#include "CharacterWorldFixture.h"

#include "characters/CharacterProfile.h"
#include "characters/CharacterQueryFilters.h"
#include "characters/CharacterStates.h"
#include "characters/SuspicionRules.h"
#include "characters/VisionCone.h"
#include "level/LevelFile.h"
#include "level/LevelManager.h"
#include "level/SoundObject.h"
#include "physics/objects/PhysicsObjectSettings.h"
#include "triggers/ObjectIDExpression.h"

#include <fstream>
#include <map>
#include <string>

using namespace irr;

namespace {

class CharacterFileTest : public CharacterWorldFixture {
protected:
    // Every key of the character's attributes as text.
    std::map<std::string, std::string> keysOf(scene::ISceneNode* node) {
        io::IAttributes* out = newAttributes();
        node->serializeAttributes(out);
        std::map<std::string, std::string> keys;
        for (u32 i = 0; i < out->getAttributeCount(); ++i)
            keys[out->getAttributeName(static_cast<s32>(i))] = out->getAttributeAsString(static_cast<s32>(i)).c_str();
        out->drop();
        return keys;
    }
    // Both key sets hold the same keys with the same values, but for those ignored.
    static void expectSameKeys(const std::map<std::string, std::string>& actual,
                               const std::map<std::string, std::string>& expected,
                               std::initializer_list<const char*> ignored, const char* what) {
        auto drop = [&](std::map<std::string, std::string> keys) {
            for (const char* key : ignored)
                keys.erase(key);
            return keys;
        };
        const auto a = drop(actual), e = drop(expected);
        for (const auto& [key, value] : e)
            EXPECT_EQ(a.count(key) ? a.at(key) : std::string("<missing>"), value) << what << ": " << key;
        for (const auto& [key, value] : a)
            EXPECT_TRUE(e.count(key)) << what << ": extra key " << key;
    }
    // A character configured away from every default.
    CharacterObject* configured(f32 x) {
        return addCharacter(x, 0, 10, [](io::IAttributes* a) {
            a->addString("Name", "Guard");
            a->addEnum("PathBehavior", "Back Forth", characterPathBehaviorNames);
            a->addFloat("WalkSpeed", 2.5f);
            a->addFloat("RotateSpeed", 2.0f);
            a->addVector3d("MeshOffset", core::vector3df(0, 0.25f, 0));
            a->addString("StoppedAnimName", "TurnAround");
            a->addString("ConeBoneName", "neckJt");
            a->addFloat("ConeDistance", 25.0f);
            a->addString("NoCollideKinematicIDs", "40-42");
            a->addBool("StopForTentaro", false);
            a->addEnum("CharacterSuspicionType", "Chef", suspicionCharacterTypeNames);
        });
    }
};

TEST_F(CharacterFileTest, ACharacterWritesItsKeysAndReadsThemBack) {
    addPath(10, {{0, 0, 0}, {0, 0, -8}});
    CharacterObject* c = configured(0);
    const auto keys = keysOf(c);
    const std::map<std::string, std::string> expected = {
        {"StartState", "Walking"},      {"PathBehavior", "Back Forth"},   {"WalkSpeed", "2.500000"},
        {"RotateSpeed", "2.000000"},    {"ParentWaypointID", "10"},       {"StoppedAnimName", "TurnAround"},
        {"WalkingAnimName", "WalkingDefault"}, {"ReactingAnimName", "ReactingDefault"},
        {"ConeBoneName", "neckJt"},     {"ConeDistance", "25.000000"},    {"NoCollideKinematicIDs", "40-42"},
        {"StopForTentaro", "false"},    {"UseWaypoints", "true"},         {"CharacterSuspicionType", "Chef"},
        {"ProfileName", "Content/Models/Characters/EverymanProfile.xml"}, {"CurrentState", "Walking"},
        {"GlobalState", "Walking"},     {"LookTargetID", "0"},            {"IsGoingBack", "false"},
    };
    for (const auto& [key, value] : expected) {
        ASSERT_TRUE(keys.count(key)) << key;
        EXPECT_EQ(keys.at(key), value) << key;
    }
    // A second character read from those keys writes the same keys.
    auto* copy = new CharacterObject(root(), smgr(), -1);
    copy->drop();
    io::IAttributes* attributes = newAttributes();
    c->serializeAttributes(attributes);
    copy->deserializeAttributes(attributes);
    attributes->drop();
    // The position is raised by the controller's lift at each write.
    expectSameKeys(keysOf(copy), keys, {"Position"}, "read back");
    EXPECT_EQ(copy->getReactingBackwardName(), "ReactingDefault");
}

TEST_F(CharacterFileTest, CharactersRoundTripThroughALevelFileAndClones) {
    addPath(10, {{0, 0, 0}, {0, 0, -8}});
    CharacterObject* c = configured(0);
    run(1.0f);
    const f32 standingY = c->getPosition().Y;
    const auto before = keysOf(c);
    const std::string file = temp.file("characters.irr");
    ASSERT_TRUE(saveLevelFile(smgr(), file.c_str()));
    smgr()->clear();
    manager->clearNodeIDs();
    ASSERT_TRUE(SceneLoader(smgr()).load(file.c_str()));
    manager->rebuildNodeIDs();
    auto* loaded = asCharacter(smgr()->getSceneNodeFromName("Guard"));
    ASSERT_NE(loaded, nullptr);
    // Saving lifts the position by what the controller could rise (half a unit here), so
    // that a loaded character never starts inside the floor; it settles again.
    auto after = keysOf(loaded);
    const core::vector3df savedAt = loaded->getPosition();
    EXPECT_NEAR(savedAt.Y, standingY + 0.5f, 0.05f);
    expectSameKeys(after, before, {"Position", "SpawnFrame"}, "loaded");
    ASSERT_NE(loaded->getController(), nullptr);
    run(0.5f);
    EXPECT_EQ(stateOf(loaded), CharacterStateId::Walking) << "the saved run state walks on";

    auto* clone = asCharacter(loaded->clone());
    ASSERT_NE(clone, nullptr);
    expectSameKeys(keysOf(clone), keysOf(loaded), {"Position", "Id", "SpawnFrame", "VisionConeID"}, "clone");
    EXPECT_NE(clone->getController(), loaded->getController());
}

// A copy made outside play brings the character's own children and animators, but not its
// helper nodes.
TEST_F(CharacterFileTest, ACopyOutsidePlayBringsChildrenAndAnimators) {
    simulating = false;
    CharacterObject* c = addCharacter(0, 0, 0);
    scene::ISceneNode* hat = smgr()->addEmptySceneNode(c);
    hat->setName("Hat");
    scene::ISceneNodeAnimator* spin = smgr()->createRotationAnimator({0, 1, 0});
    c->addAnimator(spin);
    spin->drop();
    const auto named = [](scene::ISceneNode* node, const char* name) {
        int count = 0;
        for (scene::ISceneNode* child : node->getChildren())
            count += std::string(child->getName()) == name ? 1 : 0;
        return count;
    };
    const auto debugChildren = [](scene::ISceneNode* node) {
        int count = 0;
        for (scene::ISceneNode* child : node->getChildren())
            count += child->isDebugObject() ? 1 : 0;
        return count;
    };
    ASSERT_NE(c->getVisionCone(), nullptr);
    EXPECT_EQ(keysOf(c)["VisionConeID"], std::to_string(c->getVisionCone()->getVisionConeID())) << "its cone's ID is written";
    auto* copy = asCharacter(c->clone());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(named(copy, "Hat"), 1) << "its own child comes along";
    EXPECT_EQ(debugChildren(copy), debugChildren(c)) << "helper nodes are made afresh, not copied";
    EXPECT_EQ(copy->getAnimators().size(), 1u);
    // The copied children show no debug drawing outside play; in play they keep their own.
    hat->setDebugDataVisible(scene::EDS_BBOX);
    for (bool playing : {false, true}) {
        simulating = playing;
        auto* again = asCharacter(c->clone());
        ASSERT_NE(again, nullptr);
        for (scene::ISceneNode* child : again->getChildren()) {
            if (std::string(child->getName()) == "Hat") {
                EXPECT_EQ(child->isDebugDataVisible(), playing ? scene::EDS_BBOX : scene::EDS_OFF) << playing;
            }
        }
        EXPECT_EQ(named(again, "Hat"), 1) << playing;
    }
    simulating = true;
}

// A copy wears the figure's materials as they are now (up to its first four), not the
// ones its mesh file gives.
TEST_F(CharacterFileTest, ACopyWearsTheFiguresFirstFourMaterialsAsTheyAreNow) {
    CharacterObject* c = addCharacter(0, 0, 0);
    const u32 count = c->getMaterialCount();
    ASSERT_GE(count, 1u);
    for (u32 i = 0; i < count; ++i)
        c->getMaterial(i).Shininess = 100.0f + static_cast<f32>(i);
    auto* copy = asCharacter(c->clone());
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->getMaterialCount(), count);
    for (u32 i = 0; i < count; ++i)
        EXPECT_EQ(copy->getMaterial(i).Shininess == 100.0f + static_cast<f32>(i), i < 4u) << i;
}

// A character as the editor adds it, before anything is read, writes the everyday figure,
// its profile and animations, and these walking and watching settings.
TEST_F(CharacterFileTest, ANewCharacterWritesItsDefaults) {
    simulating = false;
    auto* c = new CharacterObject(root(), smgr(), -1);
    c->drop();
    const std::map<std::string, std::string> expected = {
        {"ApplyGravityToAnimators", "true"},
        {"BoundType", "Capsule"},
        {"CharacterSuspicionType", "None"},
        {"ConeBoneName", "headBaseJt"},
        {"ConeDistance", "40.000000"},
        {"Height", "3.000000"},
        {"MeshFileName", "Content/Models/Characters/Everyman1.b3d"},
        {"MeshOffset", "0.000000, 0.000000, 0.000000"},
        {"NoCollideKinematicIDs", ""},
        {"ParentWaypointID", "0"},
        {"PathBehavior", "Loop"},
        {"ProfileName", "Content/Models/Characters/EverymanProfile.xml"},
        {"Radius", "1.500000"},
        {"ReactingAnimName", "ReactingDefault"},
        {"RotateSpeed", "1.000000"},
        {"StartState", "Walking"},
        {"StopForTentaro", "true"},
        {"StoppedAnimName", "StoppedDefault"},
        {"UseAnimationFrom", "Content/Models/Characters/AniEveryBody.b3d"},
        {"UseWaypoints", "true"},
        {"VisionConeID", "-1"},
        {"WalkSpeed", "3.000000"},
        {"WalkingAnimName", "WalkingDefault"},
    };
    const auto keys = keysOf(c);
    for (const auto& [key, value] : expected)
        EXPECT_EQ(keys.count(key) ? keys.at(key) : std::string("<missing>"), value) << key;
    simulating = true;
}

TEST_F(CharacterFileTest, MissingMeshAndProfileAreLoggedAndTheCharacterStillStands) {
    CharacterObject* c = addCharacter(0, 0, 0, [](io::IAttributes* a) {
        a->addString("MeshFileName", "Content/Models/Characters/Nobody.b3d");
        a->addString("ProfileName", "Content/Models/Characters/NobodyProfile.xml");
    });
    EXPECT_EQ(log.countStartingWith("ERROR: Could not load the mesh \"Content/Models/Characters/Nobody.b3d\""), 1u);
    EXPECT_EQ(log.countStartingWith("Warning: Could not read the character profile"), 1u);
    ASSERT_NE(c->getProfile(), nullptr) << "the cache's default stands in";
    ASSERT_NE(c->getController(), nullptr);
    run(1.0f);
    EXPECT_EQ(stateOf(c), CharacterStateId::Stopped);
    EXPECT_NEAR(c->getControllerPosition().Y, 3.1f, 0.15f) << "standing on the floor";
}

TEST_F(CharacterFileTest, TheBoundAndTheRunStateAreWrittenAsTheRulesSay) {
    CharacterObject* free = addCharacter(0, 0, 0, [](io::IAttributes* a) { a->addBool("UseWaypoints", false); });
    auto keys = keysOf(free);
    EXPECT_EQ(keys["UseWaypoints"], "false");
    EXPECT_EQ(keys["DisableGravity"], "true");
    EXPECT_EQ(free->getController(), nullptr);

    CharacterObject* boxed = addCharacter(10, 0, 0);
    boxed->setBoundType(BoundType::Box);
    keys = keysOf(boxed);
    EXPECT_EQ(keys["BoundType"], "Capsule");
    EXPECT_EQ(keys["Radius"], "1.500000");
    EXPECT_EQ(keys["Height"], "3.000000");

    // Outside play LookTargetID is written for a Stopped start only, and no run state.
    simulating = false;
    CharacterObject* stopped = addCharacter(20, 0, 0, [](io::IAttributes* a) { a->addInt("LookTargetID", 7); });
    CharacterObject* walking = addCharacter(30, 0, 12);
    keys = keysOf(stopped);
    EXPECT_EQ(keys["LookTargetID"], "7");
    EXPECT_EQ(keys.count("CurrentState"), 0u);
    EXPECT_EQ(keysOf(walking).count("LookTargetID"), 0u);
    // In play a standing character writes its Stopped run state too.
    simulating = true;
    keys = keysOf(stopped);
    EXPECT_EQ(keys["CurrentState"], "Stopped");
    EXPECT_EQ(keys["GlobalState"], "Stopped");
}

// The states a character starts in: its start state (Reacting and Noticing over a walking
// global state), or the run state a saved game gave it when that is one it can be saved in.
TEST_F(CharacterFileTest, ACharacterStartsInItsStartStateOrItsSavedRunState) {
    const struct {
        const char* start;
        const char* saved; // CurrentState, null: none
        s32 current, global;
    } rows[] = {
        {"Stopped", nullptr, CharacterStateId::Stopped, CharacterStateId::Stopped},
        {"Reacting", nullptr, CharacterStateId::Reacting, CharacterStateId::Walking},
        {"Noticing", nullptr, CharacterStateId::Noticing, CharacterStateId::Walking},
        {"Stopped", "Noticing", CharacterStateId::Noticing, CharacterStateId::Stopped},
        {"Stopped", "Reacting", CharacterStateId::Reacting, CharacterStateId::Stopped},
        {"Stopped", "Walking", CharacterStateId::Walking, CharacterStateId::Stopped},
        // Other saved states are not taken: the fresh machine keeps none.
        {"Stopped", "Idle", -1, CharacterStateId::Stopped},
        {"Stopped", "Discovered", -1, CharacterStateId::Stopped},
    };
    f32 x = 0.0f;
    for (const auto& row : rows) {
        auto* c = new CharacterObject(root(), smgr(), -1);
        c->drop();
        c->setPosition(core::vector3df(x += 10.0f, 3.0f, 0.0f));
        io::IAttributes* in = newAttributes();
        in->addEnum("StartState", row.start, characterStateNames);
        if (row.saved) {
            in->addEnum("CurrentState", row.saved, characterStateNames);
            in->addEnum("GlobalState", "Stopped", characterStateNames);
        }
        c->deserializeAttributes(in);
        in->drop();
        EXPECT_EQ(stateOf(c), row.current) << row.start << " " << (row.saved ? row.saved : "-");
        EXPECT_EQ(c->stateMachine().globalID(), row.global) << row.start << " " << (row.saved ? row.saved : "-");
    }
}

// The figure stands on the capsule's foot whatever the node's scale (1.1 here), raised by
// the mesh offset; a character's voice is named after its ID; a character does not block
// sight unless its file says it changes that.
TEST_F(CharacterFileTest, TheFigureStandsOnTheFootAndTheVoiceAndSightFollowTheFile) {
    addPath(10, {{0, 0, 0}, {0, 0, -8}});
    CharacterObject* c = configured(0);
    ASSERT_NE(c->getMeshNode(), nullptr);
    EXPECT_NEAR(c->getMeshNode()->getPosition().Y, -(1.5f + 1.5f) / 1.1f + 0.25f, 1e-4f);
    for (s32 id : {2, 37}) {
        auto* named = new CharacterObject(root(), smgr(), id);
        named->drop();
        io::IAttributes* in = newAttributes();
        named->deserializeAttributes(in);
        in->drop();
        ASSERT_NE(named->getVoice(), nullptr);
        EXPECT_EQ(std::string(named->getVoice()->getOwnerName().c_str()), std::to_string(id));
        named->remove();
    }
    for (bool changes : {false, true}) {
        CharacterObject* seen = addCharacter(30, 0, 0, [&](io::IAttributes* a) {
            a->addBool("ChangeBlocksVision", changes);
            a->addBool("BlocksVision", true);
        });
        EXPECT_EQ(seen->BlocksVision, changes);
        seen->remove();
    }
}

TEST_F(CharacterFileTest, ReadingFillsTheNamesStatesAndTypeFromTheProfile) {
    struct Row {
        const char* reacting;
        const char* expectedName;
        const char* expectedBackward;
    } rows[] = {
        {"HitForwardSpin", "HitForwardSpin", "HitBackwardSpin"},
        {"ForwardHitForward", "ForwardHitForward", "BackwardHitBackward"},
        {"Flinch", "Flinch", "Flinch"},
        {"", "ReactingDefault", "ReactingDefault"},
    };
    for (const Row& row : rows) {
        CharacterObject* c = addCharacter(0, 0, 0, [&](io::IAttributes* a) { a->addString("ReactingAnimName", row.reacting); });
        EXPECT_EQ(c->ReactingAnimName, row.expectedName);
        EXPECT_EQ(c->getReactingBackwardName(), row.expectedBackward);
        c->remove();
    }
    // A profile of a type makes a character of no type of that type (the first type
    // included).
    const std::string family = temp.file("Family.xml");
    std::ofstream(family) << "<CharacterProfile><Suspicion characterType=\"Family\"/></CharacterProfile>";
    CharacterObject* relative = addCharacter(0, 0, 0, [&](io::IAttributes* a) { a->addString("ProfileName", family.c_str()); });
    EXPECT_EQ(relative->CharacterSuspicionType, SCT_Family);
    relative->remove();
    // A profile of scientists makes a character of no type a Scientist, and its cone
    // watches with the Scientist's TaroSeen delay.
    const std::string profile = temp.file("Scientist.xml");
    std::ofstream(profile) << "<CharacterProfile><Suspicion characterType=\"Scientist\"/></CharacterProfile>";
    CharacterObject* scientist = addCharacter(0, 0, 0, [&](io::IAttributes* a) {
        a->addString("ProfileName", profile.c_str());
        a->addFloat("ConeDistance", 30.0f);
    });
    EXPECT_EQ(scientist->CharacterSuspicionType, SCT_Scientist);
    const VisionCone* cone = scientist->getVisionCone();
    ASSERT_NE(cone, nullptr);
    EXPECT_TRUE(cone->enabled);
    EXPECT_FLOAT_EQ(cone->noticeDelay, getSuspicionValues(SCT_Scientist, ST_TaroSeen).speedThreshold);

    // Without a profile named, the one beside the mesh is taken when there is one.
    const std::pair<const char*, const char*> meshes[] = {
        {"Content/Models/Characters/Swimmer.b3d", "Content/Models/Characters/SwimmerProfile.xml"},
        {"Content/Models/Characters/Mannequin.b3d", "Content/Models/Characters/EverymanProfile.xml"},
    };
    for (const auto& [mesh, expected] : meshes) {
        CharacterObject* c = addCharacter(0, 0, 0, [&](io::IAttributes* a) { a->addString("MeshFileName", mesh); });
        EXPECT_EQ(c->ProfileName, expected) << mesh;
        c->remove();
    }
}

// Scientist, Exposed, ExposedLogManiac and Chef watch with their cone; the types on either
// side of that range do not.
TEST_F(CharacterFileTest, TheConeWatchesForTheTypesFromScientistToChef) {
    CharacterObject* c = addCharacter(0, 0, 0);
    const std::pair<s32, bool> rows[] = {{SCT_Stranger, false}, {SCT_Scientist, true}, {SCT_Chef, true},
                                         {SCT_ZeroSuspicion, false}};
    for (const auto& [type, watches] : rows) {
        c->setSuspicionType(type);
        EXPECT_EQ(c->visionConeEnabled, watches) << suspicionCharacterTypeNames[type];
    }
}

// A watcher's cone hangs from the bone its file names; a bone the mesh lacks is logged once
// with the character's name, a bone it has is not.
TEST_F(CharacterFileTest, AConeBoneTheMeshLacksIsLoggedAndOneItHasIsNot) {
    for (const char* bone : {"headBaseJt", "tailJt"}) {
        log.lines.clear();
        CharacterObject* c = addCharacter(0, 0, 0, [&](io::IAttributes* a) {
            a->addString("Name", "Watcher");
            a->addString("ConeBoneName", bone);
            a->addEnum("CharacterSuspicionType", "Scientist", suspicionCharacterTypeNames);
            a->addFloat("ConeDistance", 30.0f); // the cone is made afresh for the bone
        });
        ASSERT_NE(c->getVisionCone(), nullptr) << bone;
        EXPECT_EQ(log.countStartingWith("ERROR: Cannot find vision m_coneMesh bone for CharacterObject: Watcher"),
                  std::string(bone) == "tailJt" ? 1u : 0u)
            << bone;
        c->remove();
    }
}

TEST_F(CharacterFileTest, ControllerShapesNeverBlockSightAndAlwaysBlockAController) {
    phys::RigidActor* body = physicsManager->createSphereActor(phys::Transform(phys::Vec3(50, 5, 0), phys::Quat()), 1.0f,
                                                               1.0f, 0.5f, 0.0f, false, false);
    ASSERT_NE(body, nullptr);
    phys::Shape* shape = nullptr;
    ASSERT_EQ(body->getShapes(&shape, 1), 1u);
    shape->userData = reinterpret_cast<void*>(static_cast<uintptr_t>(controllerShapeMarker));
    CharacterQueryFilter controllerFilter(nullptr);
    phys::QueryHit hit;
    hit.shape = shape;
    u32 flags = 0;
    EXPECT_EQ(visionQueryFilter().preFilter({}, shape, body, flags), phys::QueryHitType::None);
    EXPECT_EQ(controllerFilter.preFilter({}, shape, body, flags), phys::QueryHitType::Block);
    EXPECT_EQ(controllerFilter.postFilter({}, hit), phys::QueryHitType::Block);
    shape->userData = nullptr;
    physicsManager->releaseActor(body, true);
}

// A moving character's controller passes through other characters, through the kinematic
// objects its list names, and through free objects once it has met a kinematic one; anything
// else blocks it. Sight is blocked only by objects that block vision.
TEST_F(CharacterFileTest, TheControllerPassesCharactersNamedKinematicsAndFreeObjectsPastAKinematic) {
    CharacterObject* other = addCharacter(20, 0, 0);
    ASSERT_NE(other->getController(), nullptr);
    phys::Shape* otherShape = nullptr;
    ASSERT_EQ(other->getController()->getActor()->getShapes(&otherShape, 1), 1u);
    const auto box = [&](const char* state, s32 id, bool blocksVision) {
        PhysicsObject* object = makeObject([&](io::IAttributes* a) {
            a->addVector3d("Position", core::vector3df(static_cast<f32>(id), 20, 0));
            a->addEnum("BoundType", "Box", boundTypeNames);
            a->addEnum("PhysicsState", state, physicsStateNames);
            a->addBool("BlocksVision", blocksVision);
        });
        object->setID(id);
        manager->registerNodeIDs(object);
        phys::Shape* shape = nullptr;
        EXPECT_EQ(object->getActor()->getShapes(&shape, 1), 1u);
        return shape;
    };
    phys::Shape* wall = box("Static", 30, true);
    phys::Shape* listed = box("Kinematic", 41, false);
    phys::Shape* unlisted = box("Kinematic", 50, false);
    phys::Shape* crate = box("Dynamic", 60, false);
    const auto list = parseObjectIDExpression(std::string("40-42"));
    const auto pre = [](CharacterQueryFilter& filter, phys::Shape* shape) {
        u32 flags = 0;
        return filter.preFilter({}, shape, nullptr, flags);
    };
    const auto post = [](CharacterQueryFilter& filter, phys::Shape* shape) {
        phys::QueryHit hit;
        hit.shape = shape;
        return filter.postFilter({}, hit);
    };
    using H = phys::QueryHitType;
    CharacterQueryFilter fresh(list.get());
    EXPECT_EQ(pre(fresh, otherShape), H::None);
    EXPECT_EQ(post(fresh, otherShape), H::None);
    EXPECT_EQ(pre(fresh, wall), H::Block);
    EXPECT_EQ(pre(fresh, crate), H::Block) << "no kinematic met yet";
    EXPECT_EQ(post(fresh, crate), H::Block);
    EXPECT_EQ(pre(fresh, unlisted), H::Block);
    EXPECT_EQ(pre(fresh, crate), H::None) << "past a kinematic";
    EXPECT_EQ(post(fresh, crate), H::None);
    EXPECT_EQ(post(fresh, wall), H::Block);
    EXPECT_EQ(post(fresh, unlisted), H::Block);
    CharacterQueryFilter named(list.get());
    EXPECT_EQ(pre(named, listed), H::None) << "on the list";
    EXPECT_EQ(pre(named, crate), H::None) << "a listed kinematic counts as met";
    CharacterQueryFilter unnamed(nullptr);
    EXPECT_EQ(pre(unnamed, listed), H::Block) << "without a list";

    u32 flags = 0;
    EXPECT_EQ(visionQueryFilter().preFilter({}, wall, nullptr, flags), H::Block);
    EXPECT_EQ(visionQueryFilter().preFilter({}, unlisted, nullptr, flags), H::None);
    EXPECT_EQ(visionQueryFilter().postFilter({}, phys::QueryHit()), H::Block);
}

} // namespace
