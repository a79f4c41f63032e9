// Physics objects: their attributes (defaults left out, old keys, fallbacks), the bodies
// their bounds build, the filter words of their shapes, compound bodies, and how node and
// body follow each other frame by frame.
#include "PhysicsObjectFixture.h"

#include "physics/world/PhysicsFiltering.h"

#include "characters/SuspicionMeter.h"
#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/CoreSlots.h"
#include "level/LevelHooks.h"
#include "level/LevelManager.h"
#include "physics/world/PhysicsHooks.h"
#include "level/NodeHelpers.h"
#include "render/EffectHandler.h"
#include "render/ShaderManager.h"
#include "support/StubPlayer.h"
#include "platform/TextureFiltering.h"

#include <SAnimatedMesh.h>
#include <SMesh.h>

#include <cmath>
#include <string>

using namespace irr;

namespace {

using Attributes = io::IAttributes;

// A unit box at (0, 5, 0) in the state.
std::function<void(Attributes*)> boxIn(const char* state) {
    return [state](Attributes* a) {
        a->addString("Name", "Box");
        a->addVector3d("Position", core::vector3df(0, 5, 0));
        a->addEnum("BoundType", "Box", boundTypeNames);
        a->addVector3d("BoxExtents", core::vector3df(1, 1, 1));
        a->addEnum("PhysicsState", state, physicsStateNames);
    };
}

void dynamicBox(Attributes* a) { boxIn("Dynamic")(a); }

phys::FilterData firstShapeFilter(PhysicsObject* object) {
    phys::Shape* shape = object->getFirstShape();
    return shape ? shape->getSimulationFilterData() : phys::FilterData();
}

using PhysicsObjectAttributeTest = PhysicsObjectFixture;

TEST_F(PhysicsObjectAttributeTest, AbsentKeysKeepTheirFieldsButTheAlwaysReadOnesReset) {
    PhysicsObject* object = makeObject([](Attributes* a) {
        boxIn("Static")(a);
        a->addFloat("DetailDistanceLimit", 50.0f);
        a->addBool("IgnoreParentTransform", true);
        a->addFloat("Restitution", 0.4f);
    });
    EXPECT_FLOAT_EQ(object->mesh().DetailDistanceLimit, 50.0f);
    Attributes* again = newAttributes();
    again->addFloat("Friction", 0.9f);
    object->deserializeAttributes(again);
    again->drop();
    EXPECT_FLOAT_EQ(object->mesh().DetailDistanceLimit, 0.0f) << "always read";
    EXPECT_FALSE(object->IgnoreParentTransform) << "always read";
    EXPECT_FLOAT_EQ(object->body().Restitution, 0.4f) << "absent: kept";
    EXPECT_FLOAT_EQ(object->body().Friction, 0.9f);
}

TEST_F(PhysicsObjectAttributeTest, OldKeysAreReadAndTheNewOnesWin) {
    struct Row {
        const char* isStatic;
        const char* state;
        PhysicsState expected;
    } rows[] = {{"true", "Dynamic", PhysicsState::Dynamic},
                {"true", nullptr, PhysicsState::Static},
                {"false", nullptr, PhysicsState::Dynamic}};
    for (const Row& row : rows) {
        PhysicsObject* object = makeObject([&](Attributes* a) {
            a->addEnum("BoundType", "Sphere", boundTypeNames);
            a->addBool("IsStatic", std::string(row.isStatic) == "true");
            if (row.state)
                a->addEnum("PhysicsState", row.state, physicsStateNames);
        });
        EXPECT_EQ(object->getPhysicsState(), row.expected) << row.isStatic;
    }
    PhysicsObject* grabbed = makeObject([](Attributes* a) {
        a->addBool("IsGrabbable", true);
        a->addFloat("SuspiciousAmount", 5.0f);
        a->addInt("LeftArmGrabID", 12);
    });
    EXPECT_FLOAT_EQ(grabbed->suspicion().SuspGrabAmount, 5.0f);
    EXPECT_EQ(grabbed->body().LeftArmGrabID, 12);
    PhysicsObject* newer = makeObject([](Attributes* a) {
        a->addBool("IsGrabbable", true);
        a->addFloat("SuspiciousAmount", 5.0f);
        a->addFloat("SuspGrabAmount", 2.0f);
    });
    EXPECT_FLOAT_EQ(newer->suspicion().SuspGrabAmount, 2.0f);
    PhysicsObject* touched = makeObject([](Attributes* a) { a->addFloat("SuspiciousAmount", 5.0f); });
    EXPECT_FLOAT_EQ(touched->suspicion().SuspTouchAmount, 5.0f) << "not grabbable: a touch amount";
    EXPECT_FLOAT_EQ(touched->suspicion().SuspGrabAmount, 0.0f);
    PhysicsObject* oldSpelling = makeObject([](Attributes* a) {
        a->addBool("IsGrabable", true);
        a->addInt("LeftArmGrabID", 12);
    });
    EXPECT_TRUE(oldSpelling->IsGrabbable);
    EXPECT_EQ(oldSpelling->body().LeftArmGrabID, 0) << "read only beside \"IsGrabbable\"";
}

TEST_F(PhysicsObjectAttributeTest, ANonPositiveMassBecomesOne) {
    for (f32 mass : {0.0f, -3.0f, NAN}) {
        PhysicsObject* object = makeObject([&](Attributes* a) { a->addFloat("Mass", mass); });
        EXPECT_FLOAT_EQ(object->body().Mass, 1.0f) << mass;
    }
}

TEST_F(PhysicsObjectAttributeTest, AKinematicObjectStoresWhetherItCarriesMotionAnimators) {
    for (const char* animator : {"none", "rotation", "deletion"}) {
        PhysicsObject* object = makeObject(boxIn("Kinematic"));
        scene::ISceneNodeAnimator* added = nullptr;
        if (std::string(animator) == "rotation")
            added = smgr()->createRotationAnimator(core::vector3df(0, 1, 0));
        else if (std::string(animator) == "deletion")
            added = smgr()->createDeleteAnimator(100000);
        if (added) {
            object->addAnimator(added);
            added->drop();
        }
        Attributes* out = newAttributes();
        object->serializeAttributes(out);
        EXPECT_EQ(out->getAttributeAsBool("HasMotionAnimators"), std::string(animator) == "rotation") << animator;
        out->drop();
        object->remove();
    }
}

TEST_F(PhysicsObjectAttributeTest, ASpawnFrameOutsideItsLoopStartsAtTheLoopStart) {
    for (auto [spawn, expected] : {std::pair{5, 10}, {10, 10}, {20, 20}, {21, 10}}) {
        PhysicsObject* object = makeObject([&](Attributes* a) {
            boxIn("Static")(a);
            a->addInt("SpawnFrame", spawn);
            a->addInt("StartFrame", 10);
            a->addInt("EndFrame", 20);
        });
        EXPECT_EQ(object->mesh().SpawnFrame, expected) << spawn;
        object->remove();
    }
}

TEST_F(PhysicsObjectAttributeTest, ObjectsThatMoveOrMayTurnLooseDoNotBlockVisionUnlessTheLevelSaysSo) {
    struct Row {
        const char* state;
        const char* turnsLoose; // a flag set true, or null
        int blocksVision;       // -1 absent
        bool expected;
    } rows[] = {{"Static", nullptr, -1, true},
                {"Kinematic", nullptr, -1, true},
                {"Dynamic", nullptr, -1, false},
                {"Kinematic", "TurnDynamicOnGrab", -1, false},
                {"Kinematic", "TurnDynamicOnTouch", -1, false},
                {"Dynamic", nullptr, 1, true},
                {"Static", nullptr, 0, false}};
    for (const Row& row : rows) {
        PhysicsObject* object = makeObject([&](Attributes* a) {
            boxIn(row.state)(a);
            if (row.turnsLoose)
                a->addBool(row.turnsLoose, true);
            if (row.blocksVision >= 0)
                a->addBool("BlocksVision", row.blocksVision == 1);
        });
        EXPECT_EQ(object->BlocksVision, row.expected)
            << row.state << " " << (row.turnsLoose ? row.turnsLoose : "") << " " << row.blocksVision;
        object->remove();
    }
}

TEST_F(PhysicsObjectAttributeTest, CollisionSoundDefaultsToWickerAndStaticObjectsWriteNoSoundNames) {
    PhysicsObject* object = makeObject(dynamicBox);
    EXPECT_EQ(object->body().SoundColEvent, defaultCollisionEvent);
    Attributes* out = newAttributes();
    object->serializeAttributes(out);
    EXPECT_STREQ(out->getAttributeAsString("SoundColEvent").c_str(), defaultCollisionEvent);
    out->clear();
    object->setPhysicsState(PhysicsState::Static);
    object->serializeAttributes(out);
    EXPECT_FALSE(out->existsAttribute("SoundColEvent"));
    out->drop();
}

// Each suspicion kind is written with its settings when its amount is not zero, lowering
// (negative) as well as raising; at zero neither is written.
TEST_F(PhysicsObjectAttributeTest, ASuspicionAmountOfEitherSignIsWrittenWithItsSettings) {
    const struct {
        const char* amount;
        const char* setting;
    } kinds[] = {{"SuspTouchAmount", "SuspTouchLimit"},         {"SuspGrabAmount", "SuspGrabLimit"},
                 {"SuspHitFloorAmount", "SuspHitFloorLimit"}, {"SuspVelocityAmount", "SuspVelocityLimit"},
                 {"SuspAtRestAmount", "SuspAtRestLimit"},     {"SuspResetAmount", "SuspResetLimit"}};
    for (const auto& kind : kinds) {
        for (const f32 amount : {-1.5f, 0.0f, 2.0f}) {
            PhysicsObject* object = makeObject([&](Attributes* a) {
                dynamicBox(a);
                a->addFloat(kind.amount, amount);
            });
            Attributes* out = newAttributes();
            object->serializeAttributes(out);
            EXPECT_EQ(out->existsAttribute(kind.amount), amount != 0.0f) << kind.amount << " " << amount;
            EXPECT_EQ(out->existsAttribute(kind.setting), amount != 0.0f) << kind.setting << " " << amount;
            if (amount != 0.0f) {
                EXPECT_EQ(out->getAttributeAsFloat(kind.amount), amount) << kind.amount;
            }
            out->drop();
            object->remove();
        }
    }
    // The touch mode's names in their stored order: Arms, Legs, Default.
    const char* const modes[] = {"Arms", "Legs", "Default", nullptr};
    for (s32 mode = 0; mode < 3; ++mode) {
        PhysicsObject* object = makeObject([&](Attributes* a) {
            dynamicBox(a);
            a->addFloat("SuspTouchAmount", 1.0f);
            a->addEnum("SuspTouchMode", modes[mode], modes);
        });
        EXPECT_EQ(object->suspicion().SuspTouchMode, mode) << modes[mode];
        object->remove();
    }
}

// A level file leaves out keys at their defaults; the editor gets every key, so that it can
// show it.
TEST_F(PhysicsObjectAttributeTest, TheEditorGetsEveryKeyALevelFileLeavesOutAtItsDefault) {
    PhysicsObject* object = makeObject(dynamicBox);
    const char* const keys[] = {"HasTransparency", "DisableAntialiasing", "UseLightMap",   "CastShadow",
                                "ReceiveShadow",   "ClipObject",          "AlphaOverride", "TargetBias",
                                "IsGold",          "IsTripHazard",        "SuspGrabAmount", "SuspResetAmount",
                                "RespawnOverridePosID", "CenterMassObjectID", "ChangeBlocksVision",
                                "SoundDragEvent",  "SoundGrabEvent",      "SoundOnDynamicEvent",
                                "DisableGravity"};
    io::SAttributeReadWriteOptions editor;
    editor.Flags = io::EARWF_FOR_EDITOR;
    for (io::SAttributeReadWriteOptions* options : {static_cast<io::SAttributeReadWriteOptions*>(nullptr), &editor}) {
        Attributes* out = newAttributes();
        object->serializeAttributes(out, options);
        for (const char* key : keys)
            EXPECT_EQ(out->existsAttribute(key), options != nullptr) << key << (options ? " for the editor" : " in a level");
        out->drop();
    }
    // The grab settings of a grabbable object.
    PhysicsObject* grabbable = makeObject([](Attributes* a) {
        dynamicBox(a);
        a->addBool("IsGrabbable", true);
    });
    for (io::SAttributeReadWriteOptions* options : {static_cast<io::SAttributeReadWriteOptions*>(nullptr), &editor}) {
        Attributes* out = newAttributes();
        grabbable->serializeAttributes(out, options);
        for (const char* key :
             {"ReduceWeightOnGrab", "TurnDynamicOnGrab", "IsButton", "CanHangFrom", "LeftArmGrabID", "GlowParentID"})
            EXPECT_EQ(out->existsAttribute(key), options != nullptr) << key << (options ? " for the editor" : " in a level");
        out->drop();
    }
}

TEST_F(PhysicsObjectAttributeTest, AtMostOneOfThePlayerCollisionKeysIsWritten) {
    PhysicsObject* object = makeObject([](Attributes* a) {
        dynamicBox(a);
        a->addBool("CollideOnlyTentaro", true);
        a->addBool("IgnoreTentaroCollision", true);
    });
    io::SAttributeReadWriteOptions editor;
    editor.Flags = io::EARWF_FOR_EDITOR;
    for (io::SAttributeReadWriteOptions* options : {static_cast<io::SAttributeReadWriteOptions*>(nullptr), &editor}) {
        Attributes* out = newAttributes();
        object->serializeAttributes(out, options);
        EXPECT_FALSE(out->existsAttribute("CollideOnlyTentaro"));
        EXPECT_FALSE(out->existsAttribute("IgnoreTentaroCollision"));
        out->drop();
    }
}

TEST_F(PhysicsObjectAttributeTest, UnknownNamesAndMeshBoundsOnMovingObjectsAreLogged) {
    PhysicsObject* object = makeObject([](Attributes* a) {
        a->addString("Name", "Odd");
        a->addString("BoundType", "Pyramid");
        a->addString("PhysicsState", "Floating");
    });
    EXPECT_EQ(object->getBoundType(), BoundType::Box) << "kept";
    EXPECT_EQ(object->getPhysicsState(), PhysicsState::Static);
    EXPECT_TRUE(log.contains("Warning: Unknown BoundType \"Pyramid\" in Odd; it stays \"Box\"."));
    EXPECT_TRUE(log.contains("Warning: Unknown PhysicsState \"Floating\" in Odd; it stays \"Static\"."));
    makeObject([](Attributes* a) {
        a->addString("Name", "Slab");
        a->addEnum("BoundType", "Mesh", boundTypeNames);
        a->addEnum("PhysicsState", "Dynamic", physicsStateNames);
    });
    EXPECT_TRUE(log.contains(
        "ERROR: Collision type mesh can only be used with static physics state. Attempted with: Slab"));
}

TEST_F(PhysicsObjectAttributeTest, AMissingMeshIsLoggedAndTheObjectKeepsAUnitBox) {
    PhysicsObject* object = makeObject([](Attributes* a) {
        dynamicBox(a);
        a->addString("MeshFileName", "Content/Models/Props/NoSuchThing.obj");
        a->addVector3d("BoxExtents", core::vector3df());
    });
    EXPECT_EQ(object->getMeshNode(), nullptr);
    ASSERT_NE(object->getActor(), nullptr);
    phys::BoxGeometry box;
    ASSERT_TRUE(object->getFirstShape()->getBoxGeometry(box));
    EXPECT_FLOAT_EQ(box.halfExtents.x, 0.5f);
    EXPECT_TRUE(log.contains("ERROR: Could not load the mesh \"Content/Models/Props/NoSuchThing.obj\" of Box; it "
                             "has no visible mesh."));
}

TEST_F(PhysicsObjectAttributeTest, EveryKeyRoundTrips) {
    auto grabbableKinematic = [](Attributes* a) {
        a->addString("Name", "Everything");
        a->addInt("Id", 41);
        a->addVector3d("Position", core::vector3df(1, 2, 3));
        a->addVector3d("Rotation", core::vector3df(0, 30, 0));
        a->addVector3d("Scale", core::vector3df(1, 1, 1));
        a->addBool("Visible", true);
        a->addEnum("DetailMode", "Low", detailModeNames);
        a->addFloat("DetailDistanceLimit", 80.0f);
        a->addString("MeshFileName", "Content/Models/Props/Crate.obj");
        a->addEnum("BoundType", "Box", boundTypeNames);
        a->addVector3d("BoxExtents", core::vector3df(2, 1, 2));
        a->addEnum("PhysicsState", "Kinematic", physicsStateNames);
        a->addFloat("Mass", 4.0f);
        a->addFloat("Friction", 0.25f);
        a->addFloat("Restitution", 0.5f);
        a->addFloat("LinearDamping", 0.1f);
        a->addFloat("AngularDamping", 0.2f);
        a->addVector3d("InertiaTensor", core::vector3df(1, 2, 3));
        a->addInt("CenterMassObjectID", 7);
        a->addEnum("OverrideCollisionGroup", "Custom3", collisionGroupNames);
        a->addString("CollideWithCollisionGroups", "12");
        a->addString("NoCollideIDs", "5 | 6");
        a->addBool("DisableGravity", true);
        a->addBool("IgnoreTentaroCollision", true);
        a->addBool("RaycastOnlyCollision", true);
        a->addString("SoundColEvent", "GameAudio/Audio/Collisions/Wicker");
        a->addString("SoundDragEvent", "Drag");
        a->addBool("IsGrabbable", true);
        a->addInt("LeftArmGrabID", 9);
        a->addBool("ReduceWeightOnGrab", false);
        a->addBool("TurnDynamicOnGrab", true);
        a->addBool("IsButton", true);
        a->addBool("CanHangFrom", true);
        a->addInt("GlowParentID", 3);
        a->addBool("TurnDynamicOnTouch", true);
        a->addFloat("TouchForceRequired", 100.0f);
        a->addBool("TouchByTentaroOnly", true);
        a->addBool("IsGold", true);
        a->addBool("IsTripHazard", true);
        a->addFloat("TargetBias", 2.0f);
        a->addFloat("SuspTouchAmount", 1.0f);
        a->addFloat("SuspTouchForceRequired", 3.0f);
        a->addEnum("SuspTouchMode", "Legs", suspTouchModeNames);
        a->addInt("SuspTouchLimit", 4);
        a->addFloat("SuspHitFloorAmount", 2.0f);
        a->addFloat("SuspHitFloorForce", 6.0f);
        a->addInt("SuspHitFloorLimit", 2);
        a->addBool("SuspHitFloorUseCeiling", true);
        a->addFloat("SuspHitFloorCeiling", 1.5f);
        a->addFloat("SuspVelocityAmount", 3.0f);
        a->addFloat("SuspVelocityInterval", 0.5f);
        a->addInt("SuspVelocityLimit", 1);
        a->addBool("ChangeBlocksVision", true);
        a->addBool("BlocksVision", false);
        a->addEnum("ResetIfHeight", "Respawn", resetModeNames);
        a->addFloat("ResetHeight", -20.0f);
        a->addEnum("ResetIfDistFromPlayer", "Jump to Position", resetModeNames);
        a->addFloat("DistanceFromPlayer", 30.0f);
        a->addFloat("SecondsAwayFromPlayer", 4.0f);
        a->addBool("ResetAsKinematic", true);
        a->addInt("RespawnOverridePosID", 11);
        a->addFloat("AlphaOverride", 0.5f);
        a->addBool("HasTransparency", true);
        a->addBool("CastShadow", false);
        a->addBool("ClipObject", false);
        a->addBool("ClipTransparent", false);
    };
    // The keys the first object cannot carry: a loose object only the player collides with,
    // every other rule and suspicion kind, and the look switches away from their defaults.
    auto looseSphere = [](Attributes* a) {
        a->addString("Name", "TheRest");
        a->addVector3d("Position", core::vector3df(4, 5, 6));
        a->addBool("Visible", false);
        a->addBool("IgnoreParentTransform", true);
        a->addBool("VisibleInSublevelOnly", true);
        a->addFloat("DetailDistanceLimit", 0.5f);
        a->addEnum("BoundType", "Sphere", boundTypeNames);
        a->addFloat("Radius", 0.5f);
        a->addEnum("PhysicsState", "Dynamic", physicsStateNames);
        a->addFloat("Mass", 3.0f);
        a->addFloat("Friction", 0.75f);
        a->addBool("CollideOnlyTentaro", true);
        a->addFloat("TargetBias", 0.5f);
        a->addInt("RespawnOverridePosID", 1);
        a->addString("SoundDragEvent", "Drag");
        a->addString("SoundGrabEvent", "Grab");
        a->addString("SoundOnDynamicEvent", "Loose");
        a->addFloat("SuspGrabAmount", 2.0f);
        a->addInt("SuspGrabLimit", 3);
        a->addFloat("SuspAtRestAmount", 1.5f);
        a->addFloat("SuspAtRestTimer", 4.0f);
        a->addInt("SuspAtRestLimit", 2);
        a->addFloat("SuspResetAmount", 2.5f);
        a->addInt("SuspResetLimit", 1);
        a->addFloat("SuspVelocityAmount", 0.5f);
        a->addFloat("SuspVelocityInterval", 2.0f);
        a->addInt("SuspVelocityLimit", 2);
        a->addEnum("ResetIfDistFromSpawn", "Respawn", resetModeNames);
        a->addFloat("DistanceFromSpawn", 3.0f);
        a->addEnum("ResetIfPlayerCollide", "Jump to Position", resetModeNames);
        a->addEnum("ResetIfAtRest", "Respawn", resetModeNames);
        a->addFloat("SecondsAtRest", 5.0f);
        a->addEnum("ResetIfOffscreen", "Jump to Position", resetModeNames);
        a->addFloat("SecondsOffscreen", 6.0f);
        a->addBool("DisableAntialiasing", true);
        a->addBool("IsReflective", true);
        a->addBool("UseLightMap", true);
        a->addBool("ReceiveShadow", false);
        a->addBool("UseRimShading", false);
    };
    const std::pair<const char*, std::function<void(Attributes*)>> fills[] = {
        {"grabbable kinematic", grabbableKinematic}, {"loose sphere", looseSphere}};
    for (const auto& [name, fill] : fills) {
        SCOPED_TRACE(name);
        PhysicsObject* first = makeObject(fill);
        Attributes* written = newAttributes();
        first->serializeAttributes(written);
        auto* reread = new PhysicsObject(root(), smgr(), -1);
        reread->drop();
        reread->deserializeAttributes(written);
        Attributes* again = newAttributes();
        reread->serializeAttributes(again);
        ASSERT_EQ(again->getAttributeCount(), written->getAttributeCount());
        for (u32 i = 0; i < written->getAttributeCount(); ++i) {
            EXPECT_STREQ(again->getAttributeName(i), written->getAttributeName(i));
            EXPECT_EQ(again->getAttributeAsString(i), written->getAttributeAsString(i))
                << written->getAttributeName(i);
        }
        // Every key given came back with its value.
        Attributes* given = newAttributes();
        fill(given);
        for (u32 i = 0; i < given->getAttributeCount(); ++i) {
            const char* key = given->getAttributeName(i);
            EXPECT_TRUE(written->existsAttribute(key)) << key;
            EXPECT_EQ(written->getAttributeAsString(key), given->getAttributeAsString(i)) << key;
        }
        given->drop();
        again->drop();
        written->drop();
    }
}

TEST_F(PhysicsObjectAttributeTest, APlainWriteStoresTheSpawnPoseOfAFallenObject) {
    PhysicsObject* object = makeObject(dynamicBox);
    frames(60);
    ASSERT_LT(object->getPosition().Y, 4.0f) << "it fell";
    Attributes* out = newAttributes();
    object->serializeAttributes(out);
    EXPECT_EQ(out->getAttributeAsVector3d("Position"), core::vector3df(0, 5, 0));
    EXPECT_EQ(out->getAttributeAsVector3d("RespawnOverridePosition"), core::vector3df(0, 5, 0));
    out->clear();
    io::SAttributeReadWriteOptions editor;
    editor.Flags = io::EARWF_FOR_EDITOR;
    object->serializeAttributes(out, &editor);
    EXPECT_LT(out->getAttributeAsVector3d("Position").Y, 4.0f) << "the editor gets the pose as it is";
    out->drop();
}

// A stand-in of the character type: characters keep their body settings elsewhere.
class CharacterStandIn : public PhysicsObject {
public:
    using PhysicsObject::PhysicsObject;
    scene::ESCENE_NODE_TYPE getType() const override { return typeId("crct"); }
};

// A character writes none of the body, grab or reset keys of a plain physics object; a plain
// object writes them all for the editor.
TEST_F(PhysicsObjectAttributeTest, ACharacterWritesNoneOfThePlainObjectsBodyKeys) {
    auto* character = new CharacterStandIn(root(), smgr(), -1);
    character->drop();
    Attributes* in = newAttributes();
    dynamicBox(in);
    character->deserializeAttributes(in);
    in->drop();
    PhysicsObject* plain = makeObject(dynamicBox);
    io::SAttributeReadWriteOptions editor;
    editor.Flags = io::EARWF_FOR_EDITOR;
    const char* const keys[] = {"PhysicsState", "Mass", "Friction", "Restitution", "LinearDamping",
                                "AngularDamping", "InertiaTensor", "CenterMassObjectID", "IsGrabbable",
                                "TurnDynamicOnTouch", "ResetIfHeight"};
    for (PhysicsObject* object : {static_cast<PhysicsObject*>(character), plain}) {
        const bool isCharacter = object == character;
        Attributes* out = newAttributes();
        object->serializeAttributes(out, &editor);
        for (const char* key : keys)
            EXPECT_EQ(out->existsAttribute(key), !isCharacter) << key << (isCharacter ? " of a character" : "");
        EXPECT_TRUE(out->existsAttribute("BoxExtents")) << "every body writes its bound";
        out->drop();
    }
}

using PhysicsObjectBodyTest = PhysicsObjectFixture;

TEST_F(PhysicsObjectBodyTest, SmallBodiesAreMarkedByTheirSize) {
    struct Row {
        const char* bound;
        core::vector3df extents;
        f32 radius;
        bool small;
    } rows[] = {{"Box", {0, 0, 0}, 1.0f, false},      {"Box", {1, 0.2f, 1}, 1.0f, true},
                {"Box", {1, 1, 0.2f}, 1.0f, true},    {"Box", {1, 1, 0.3f}, 1.0f, false},
                {"Box", {0.29f, 1, 1}, 1.0f, true},   {"Box", {0.3f, 1, 1}, 1.0f, false},
                {"Box", {1, 0.3f, 1}, 1.0f, false},
                {"Sphere", {}, 0.0f, false},          {"Sphere", {}, 0.1f, true},
                {"Sphere", {}, 0.15f, false},         {"Capsule", {}, 0.1f, true},
                // A convex hull of the crate mesh: the extents column is its scale.
                {"Convex", {1, 1, 1}, 0.0f, false},   {"Convex", {1, 0.05f, 1}, 0.0f, true}};
    for (const Row& row : rows) {
        const bool hull = std::string(row.bound) == "Convex";
        PhysicsObject* object = makeObject([&](Attributes* a) {
            a->addEnum("BoundType", row.bound, boundTypeNames);
            a->addVector3d(hull ? "Scale" : "BoxExtents", row.extents);
            if (hull)
                a->addString("MeshFileName", "Content/Models/Props/Crate.obj");
            a->addFloat("Radius", row.radius);
            a->addEnum("PhysicsState", "Dynamic", physicsStateNames);
        });
        EXPECT_EQ(object->body().smallBody, row.small) << row.bound << " " << row.radius;
    }
}

// Detail modes: 1 only at high physics detail, 2 only at low (0 or 1, or low shaders).
TEST_F(PhysicsObjectBodyTest, ThePhysicsDetailSettingBuildsOnlyTheObjectsOfItsDetailMode) {
    GameSettings settings(temp.file("PaddlestoneConfig.xml"));
    settings.load(true);
    gameSettings = &settings;
    PhysicsObject* object = makeObject(boxIn("Static"));
    const struct Row {
        int detail;
        s32 mode;
        bool builds;
    } rows[] = {{0, 0, true}, {0, 1, false}, {0, 2, true}, {1, 1, false}, {1, 2, true},
                {2, 0, true}, {2, 1, true},  {2, 2, false}, {3, 1, true}, {3, 2, true}};
    for (const Row& row : rows) {
        setSettingInt("Game_PhysicsDetail", row.detail);
        object->mesh().DetailMode = row.mode;
        EXPECT_EQ(object->checkPhysicsDetail(), row.builds) << row.detail << " " << row.mode;
    }
    // At high detail, shaders below level 2 or the lowest graphics quality count as low detail.
    ShaderManager shaders;
    shaderManager = &shaders;
    const struct {
        s32 shaderLevel, quality, mode;
        bool builds;
    } shaderRows[] = {{1, 0, 1, false}, {1, 0, 2, true}, {2, 0, 1, true}, {2, 0, 2, false},
                      {2, 2, 1, false}, {2, 1, 1, true}, {3, 2, 2, true}};
    setSettingInt("Game_PhysicsDetail", 2);
    for (const auto& row : shaderRows) {
        shaders.shaderLevel = row.shaderLevel;
        shaders.graphicsQuality = row.quality;
        object->mesh().DetailMode = row.mode;
        EXPECT_EQ(object->checkPhysicsDetail(), row.builds)
            << "shader level " << row.shaderLevel << ", quality " << row.quality << ", mode " << row.mode;
    }
    shaderManager = nullptr;
    gameSettings = nullptr;
}

TEST_F(PhysicsObjectBodyTest, TheSublevelStateSwitchesContactsAndMarksOutliers) {
    PhysicsObject* object = makeObject(dynamicBox);
    const auto& setState = levelHooks().physics.setSublevelState;
    ASSERT_TRUE(static_cast<bool>(setState));
    for (auto [active, outlier] : {std::pair{false, true}, {true, false}}) {
        setState(object, active, outlier);
        EXPECT_EQ(object->getUserData()->active, active);
        EXPECT_EQ(object->mesh().isSublevelOutlier, outlier);
    }
}

// An object shown only in its sublevel's own view gets no body, and is hidden, when it lies
// inside a sublevel; elsewhere the setting changes nothing.
TEST_F(PhysicsObjectBodyTest, AnObjectShownOnlyInItsSublevelHasNoBodyInsideOne) {
    struct SublevelStandIn : LevelObject {
        using LevelObject::LevelObject;
        scene::ESCENE_NODE_TYPE getType() const override { return typeId("slvl"); }
    };
    auto* sublevel = new SublevelStandIn(root(), smgr(), -1);
    sublevel->drop();
    scene::ISceneNode* group = smgr()->addEmptySceneNode(sublevel);
    const struct {
        bool inside, onlyThere, bodied;
    } rows[] = {{true, true, false}, {true, false, true}, {false, true, true}};
    for (const auto& row : rows) {
        PhysicsObject* object = makeObject(
            [&](Attributes* a) {
                dynamicBox(a);
                a->addBool("VisibleInSublevelOnly", row.onlyThere);
            },
            row.inside ? group : nullptr);
        EXPECT_EQ(object->getActor() != nullptr, row.bodied) << row.inside << " " << row.onlyThere;
        frame();
        EXPECT_EQ(object->isVisible(), row.bodied) << row.inside << " " << row.onlyThere;
        object->remove();
    }
}

TEST_F(PhysicsObjectBodyTest, ACapsuleStandsUpAlongY) {
    PhysicsObject* object = makeObject([](Attributes* a) {
        a->addEnum("BoundType", "Capsule", boundTypeNames);
        a->addFloat("Radius", 0.5f);
        a->addFloat("Height", 2.0f);
    });
    const phys::Transform local = object->getFirstShape()->getLocalPose();
    EXPECT_EQ(local.p, phys::Vec3());
    EXPECT_NEAR(local.q.z, std::sin(0.7853982f), 1e-6f);
    EXPECT_NEAR(local.q.w, std::cos(0.7853982f), 1e-6f);
    const phys::Bounds3 bounds = object->getActor()->getWorldBounds();
    EXPECT_NEAR(bounds.maximum.y - bounds.minimum.y, 2.0f, 1e-3f) << "half-height Height / 4 plus the radius";
}

TEST_F(PhysicsObjectBodyTest, BoundNoneBuildsNothingAndRecordsNoRespawnPose) {
    PhysicsObject* object = makeObject([](Attributes* a) {
        a->addVector3d("Position", core::vector3df(4, 4, 4));
        a->addEnum("BoundType", "None", boundTypeNames);
    });
    EXPECT_EQ(object->getActor(), nullptr);
    EXPECT_EQ(object->reset().respawnPosition, core::vector3df());
}

TEST_F(PhysicsObjectBodyTest, FilterWordsFollowTheCollisionKeys) {
    struct Row {
        const char* state;
        std::function<void(Attributes*)> keys;
        u32 word0, word1;
    } rows[] = {
        {"Dynamic", [](Attributes*) {}, 0x1, 0x0FFFFF8F},
        {"Kinematic", [](Attributes*) {}, 0x1, 0x0FFFFF8F},
        {"Static", [](Attributes*) {}, 0x2, 0x0FFFFF8D},
        {"Dynamic", [](Attributes* a) { a->addBool("IgnoreTentaroCollision", true); }, 0x1, 0x0FFFC08F},
        {"Static", [](Attributes* a) { a->addBool("IgnoreTentaroCollision", true); }, 0x2, 0x0FFFC08D},
        {"Dynamic",
         [](Attributes* a) {
             a->addBool("CollideOnlyTentaro", true);
             a->addBool("IgnoreTentaroCollision", true);
         },
         0x10, 0x3F08},
        {"Dynamic",
         [](Attributes* a) {
             a->addEnum("OverrideCollisionGroup", "Custom2", collisionGroupNames);
             a->addString("CollideWithCollisionGroups", "13");
         },
         0x20000000, 0x50000000},
        {"Dynamic", [](Attributes* a) { a->addString("CollideWithCollisionGroups", "x"); }, 0x1, 0x0FFFFF8F},
        {"Dynamic", [](Attributes* a) { a->addString("CollideWithCollisionGroups", "4"); }, 0x1, 0x8FFFFF8F},
        {"Dynamic", [](Attributes* a) { a->addString("CollideWithCollisionGroups", "2"); }, 0x1, 0x2FFFFF8F},
        {"Dynamic", [](Attributes* a) { a->addString("NoCollideIDs", "4"); }, 0x1, 0x0FFFFFCF},
    };
    for (const Row& row : rows) {
        PhysicsObject* object = makeObject([&](Attributes* a) {
            a->addEnum("BoundType", "Sphere", boundTypeNames);
            a->addEnum("PhysicsState", row.state, physicsStateNames);
            a->addFloat("LinearDamping", 0.7f);
            row.keys(a);
        });
        const phys::FilterData data = firstShapeFilter(object);
        EXPECT_EQ(data.word0, row.word0) << row.state;
        EXPECT_EQ(data.word1, row.word1) << row.state;
        EXPECT_EQ(object->getFirstShape()->getQueryFilterData().word1, row.word1);
        EXPECT_EQ(object->getActor()->userData, object->getUserData());
        if (phys::RigidDynamic* dynamic = object->getActor()->asRigidDynamic()) {
            EXPECT_FLOAT_EQ(dynamic->getLinearDamping(), 0.7f);
        }
    }
}

TEST_F(PhysicsObjectBodyTest, AnExclusionListKeepsTwoObjectsApart) {
    PhysicsObject* floor = makeObject([](Attributes* a) {
        a->addInt("Id", 50);
        a->addEnum("BoundType", "Box", boundTypeNames);
        a->addVector3d("BoxExtents", core::vector3df(20, 1, 20));
        a->addString("NoCollideIDs", "51");
    });
    PhysicsObject* ghost = makeObject([](Attributes* a) {
        a->addInt("Id", 51);
        dynamicBox(a);
        a->addString("NoCollideIDs", "50");
    });
    PhysicsObject* solid = makeObject([](Attributes* a) {
        dynamicBox(a);
        a->addVector3d("Position", core::vector3df(4, 5, 0));
    });
    (void)floor;
    frames(120);
    EXPECT_LT(ghost->getAbsolutePosition().Y, -1.0f) << "falls through the floor it names";
    EXPECT_NEAR(solid->getAbsolutePosition().Y, 1.0f, 0.1f) << "rests on it";
}

TEST_F(PhysicsObjectBodyTest, ADynamicObjectWithItsOwnBodyIgnoresItsParentsTransform) {
    auto* group = smgr()->addEmptySceneNode(root());
    group->setPosition(core::vector3df(10, 0, 0));
    group->setScale(core::vector3df(2, 2, 2));
    group->updateAbsolutePosition();
    PhysicsObject* object = makeObject(dynamicBox, group);
    EXPECT_TRUE(object->IgnoreParentTransform);
    EXPECT_EQ(object->getScale(), core::vector3df(2, 2, 2));
}

// A dynamic object naming a centre-of-mass marker balances on it: the marker's position,
// scaled by the marker's parent, and its turn become the body's mass frame once the object
// links up. An unknown marker leaves the centre where the shapes put it.
TEST_F(PhysicsObjectBodyTest, ACentreOfMassMarkerPlacesTheBodysMassFrame) {
    scene::ISceneNode* group = smgr()->addEmptySceneNode(root());
    group->setScale(core::vector3df(2, 2, 2));
    scene::ISceneNode* marker = smgr()->addEmptySceneNode(group, 501);
    marker->setPosition(core::vector3df(0, 1, 0.5f));
    marker->setRotation(core::vector3df(0, 90, 0));
    manager->rebuildNodeIDs();
    for (const s32 id : {501, 502}) {
        PhysicsObject* object = makeObject([id](Attributes* a) {
            dynamicBox(a);
            a->addInt("CenterMassObjectID", id);
        });
        frame();
        phys::RigidDynamic* body = object->getDynamicActor();
        ASSERT_NE(body, nullptr);
        const phys::Transform pose = body->getCMassLocalPose();
        if (id == 501) {
            EXPECT_NEAR(pose.p.x, 0.0f, 1e-5f);
            EXPECT_NEAR(pose.p.y, 2.0f, 1e-5f);
            EXPECT_NEAR(pose.p.z, 1.0f, 1e-5f);
            const phys::Vec3 forward = pose.q.rotate(phys::Vec3(0, 0, 1));
            EXPECT_NEAR(forward.x, 1.0f, 1e-4f) << "turned a quarter about Y";
        } else {
            EXPECT_NEAR(pose.p.y, 0.0f, 1e-5f) << "no such marker";
        }
        object->remove();
    }
}

TEST_F(PhysicsObjectBodyTest, AChildOfABodyMergesIntoItsParentsActor) {
    PhysicsObject* parent = makeObject(dynamicBox);
    PhysicsObject* child = makeObject(
        [](Attributes* a) {
            a->addString("Name", "Handle");
            a->addVector3d("Position", core::vector3df(0, 1.5f, 0));
            a->addEnum("BoundType", "Sphere", boundTypeNames);
            a->addFloat("Radius", 0.5f);
            a->addEnum("PhysicsState", "Dynamic", physicsStateNames);
            a->addBool("CollideOnlyTentaro", true);
        },
        parent);
    ASSERT_NE(parent->getActor(), nullptr);
    EXPECT_EQ(child->getActor(), parent->getActor());
    EXPECT_EQ(parent->getActor()->getNbShapes(), 2u);
    phys::Shape* shapes[2] = {};
    parent->getActor()->getShapes(shapes, 2);
    EXPECT_EQ(shapes[1]->userData, child->getUserData());
    EXPECT_EQ(shapes[1]->getLocalPose().p, phys::Vec3(0, 1.5f, 0));
    EXPECT_EQ(shapes[1]->getSimulationFilterData().word1, 0x3F00u) << "merged player-only shapes";
    EXPECT_TRUE(child->getUserData()->sharedBody);
    EXPECT_TRUE(parent->getUserData()->compound);
    frames(90);
    EXPECT_NEAR(child->getAbsolutePosition().Y - parent->getAbsolutePosition().Y, 1.5f, 1e-3f) << "moves as one";
    // A member that goes leaves its owner's list of members.
    ASSERT_EQ(parent->getUserData()->children.size(), 1u);
    child->remove();
    EXPECT_TRUE(parent->getUserData()->children.empty());

    PhysicsObject* staticParent = makeObject([](Attributes* a) {
        a->addEnum("BoundType", "Box", boundTypeNames);
        a->addVector3d("Position", core::vector3df(20, 0, 0));
    });
    PhysicsObject* riding = makeObject(dynamicBox, staticParent);
    EXPECT_EQ(riding->getPhysicsState(), PhysicsState::Static) << "takes the parent's state";
}

// Members of every shape kind merge into the owner's body where they stand, also below a
// plain group node, and keep the collision groups they name.
TEST_F(PhysicsObjectBodyTest, MembersOfEveryKindMergeWhereTheyStandWithTheirCollisionGroups) {
    PhysicsObject* parent = makeObject(dynamicBox);
    scene::ISceneNode* group = smgr()->addEmptySceneNode(parent);
    group->setPosition(core::vector3df(0, 1, 0));
    group->setRotation(core::vector3df(0, 90, 0));
    group->updateAbsolutePosition();
    const struct {
        const char* bound;
        core::vector3df position;
        const char* groups;
        phys::GeometryType kind;
        u32 word1;
    } rows[] = {{"Capsule", {1, 0, 0}, "", phys::GeometryType::Capsule, 0x0FFFFF8F},
                {"Convex", {0, 0, 1}, "2", phys::GeometryType::ConvexMesh, 0x2FFFFF8F},
                {"Sphere", {-1, 0, 0}, "13", phys::GeometryType::Sphere, 0x5FFFFF8F}};
    for (const auto& row : rows) {
        const u32 before = parent->getActor()->getNbShapes();
        PhysicsObject* member = makeObject(
            [&](Attributes* a) {
                a->addVector3d("Position", row.position);
                a->addEnum("BoundType", row.bound, boundTypeNames);
                a->addFloat("Radius", 0.25f);
                a->addFloat("Height", 1.0f);
                a->addString("MeshFileName", "Content/Models/Props/Crate.obj");
                a->addEnum("PhysicsState", "Dynamic", physicsStateNames);
                a->addString("CollideWithCollisionGroups", row.groups);
            },
            group);
        ASSERT_EQ(member->getActor(), parent->getActor()) << row.bound;
        ASSERT_EQ(parent->getActor()->getNbShapes(), before + 1) << row.bound;
        phys::Shape* merged = nullptr;
        parent->getActor()->getShapes(&merged, 1, before);
        EXPECT_EQ(merged->getGeometryType(), row.kind) << row.bound;
        EXPECT_EQ(merged->userData, member->getUserData());
        // Placed where the member stands in the world, turned as the group turns it.
        member->updateAbsolutePosition();
        const core::vector3df offset = member->getAbsolutePosition() - parent->getAbsolutePosition();
        const phys::Transform local = merged->getLocalPose();
        EXPECT_NEAR(local.p.x, offset.X, 1e-4f) << row.bound;
        EXPECT_NEAR(local.p.y, 1.0f, 1e-4f) << row.bound << ": the group's offset counts";
        EXPECT_NEAR(local.p.z, offset.Z, 1e-4f) << row.bound;
        // (A capsule's own pose turns it about Z, which leaves the Z axis alone.)
        const phys::Vec3 ahead = local.q.rotate(phys::Vec3(0, 0, 1));
        EXPECT_NEAR(std::fabs(ahead.x), 1.0f, 1e-3f) << row.bound << ": turned a quarter about Y";
        EXPECT_EQ(merged->getSimulationFilterData().word1, row.word1) << row.bound;
        EXPECT_EQ(member->getParent(), group) << "left where it was";
    }
    // Below a scaled owner a member stands as far out as the scale takes it.
    PhysicsObject* big = makeObject([](Attributes* a) {
        dynamicBox(a);
        a->setAttribute("Position", core::vector3df(20, 5, 0));
        a->addVector3d("Scale", core::vector3df(2, 2, 2));
    });
    makeObject(
        [](Attributes* a) {
            a->addVector3d("Position", core::vector3df(0, 1.5f, 0));
            a->addEnum("BoundType", "Sphere", boundTypeNames);
            a->addFloat("Radius", 0.25f);
            a->addEnum("PhysicsState", "Dynamic", physicsStateNames);
        },
        big);
    ASSERT_EQ(big->getActor()->getNbShapes(), 2u);
    phys::Shape* scaled = nullptr;
    big->getActor()->getShapes(&scaled, 1, 1);
    EXPECT_NEAR(scaled->getLocalPose().p.y, 3.0f, 1e-4f);
}

TEST_F(PhysicsObjectBodyTest, AMovingChildOfABodilessParentIsTold) {
    PhysicsObject* holder = makeObject([](Attributes* a) {
        a->addString("Name", "Holder");
        a->addEnum("BoundType", "None", boundTypeNames);
    });
    PhysicsObject* child = makeObject(
        [](Attributes* a) {
            a->addString("Name", "Loose");
            dynamicBox(a);
        },
        holder);
    EXPECT_EQ(child->body().physicsParent, holder);
    EXPECT_TRUE(log.contains("ERROR: PhysicsObject (Loose) with collision body parented to PhysicsObject (Holder) "
                             "without a collision body MUST be set to kinematic!"));
}

TEST_F(PhysicsObjectBodyTest, PoseValidityAllowsOnePercentOfLength) {
    EXPECT_FALSE(isPoseValid(phys::Quat(0, 0, 0, 0.98f)));
    EXPECT_TRUE(isPoseValid(phys::Quat(0, 0, 0, 1.009f)));
    EXPECT_FALSE(isPoseValid(phys::Quat(NAN, 0, 0, 1)));
    EXPECT_FALSE(isPoseValid(phys::Quat(0, INFINITY, 0, 1)));
}

TEST_F(PhysicsObjectBodyTest, VertexAlphaIsSetOnEveryVertexOfEveryBufferAndTheColourKept) {
    EXPECT_TRUE(setMeshVertexAlpha(nullptr, 0x40)) << "nothing to do is no failure";
    auto* mesh = new scene::SMesh();
    auto* plain = new scene::SMeshBuffer();
    auto* twoLayers = new scene::SMeshBufferLightMap();
    for (int i = 0; i < 3; ++i) {
        plain->Vertices.push_back(video::S3DVertex(core::vector3df(static_cast<f32>(i), 0, 0), core::vector3df(0, 1, 0),
                                                   video::SColor(0xFF112233), core::vector2df()));
        twoLayers->Vertices.push_back(video::S3DVertex2TCoords(core::vector3df(0, static_cast<f32>(i), 0),
                                                               core::vector3df(0, 1, 0), video::SColor(0xFF445566),
                                                               core::vector2df(), core::vector2df()));
    }
    mesh->addMeshBuffer(plain);
    mesh->addMeshBuffer(twoLayers);
    plain->drop();
    twoLayers->drop();
    EXPECT_TRUE(setMeshVertexAlpha(mesh, 0x140)) << "only the low byte counts";
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(plain->Vertices[i].Color.color, 0x40112233u) << i;
        EXPECT_EQ(twoLayers->Vertices[i].Color.color, 0x40445566u) << i;
        EXPECT_EQ(twoLayers->Vertices[i].Pos, core::vector3df(0, static_cast<f32>(i), 0)) << i;
    }
    mesh->drop();
}

TEST_F(PhysicsObjectBodyTest, ACloneGetsTheAnsweredIDAndNoSecondIgnoreNode) {
    coreSlots().physics.isSimulationActive = [] { return true; };
    PhysicsObject* source = makeObject([](Attributes* a) {
        dynamicBox(a);
        a->addInt("Id", 30);
        a->addString("MeshFileName", "Content/Models/Props/Crate.obj");
    });
    auto* copy = static_cast<PhysicsObject*>(source->clone());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->getID(), 0);
    int ignoreNodes = 0;
    for (scene::ISceneNode* child : copy->getChildren())
        ignoreNodes += std::string(child->getName()) == "IgnoreNode";
    EXPECT_EQ(ignoreNodes, 1);
    EXPECT_NE(copy->getMeshNode(), nullptr);
    EXPECT_EQ(copy->getBoundType(), BoundType::Box);
}

TEST_F(PhysicsObjectBodyTest, ACloneCarriesEverySettingOfItsSource) {
    coreSlots().physics.isSimulationActive = [] { return true; };
    PhysicsObject* source = makeObject([](Attributes* a) {
        dynamicBox(a);
        a->addBool("TurnDynamicOnTouch", true);
        a->addFloat("TouchForceRequired", 40.0f);
        a->addString("SoundGrabEvent", "Grab");
        a->addEnum("ResetIfOffscreen", "Respawn", resetModeNames);
        a->addFloat("SecondsOffscreen", 6.0f);
        a->addEnum("ResetIfAtRest", "Jump to Position", resetModeNames);
        a->addFloat("SecondsAtRest", 5.0f);
        a->addFloat("SuspResetAmount", 2.5f);
        a->addInt("SuspResetLimit", 1);
        a->addFloat("SuspAtRestAmount", 1.5f);
        a->addInt("SuspAtRestLimit", 2);
        a->addBool("UseRimShading", false);
        a->addBool("ReceiveShadow", false);
        a->addBool("UseLightMap", true);
        a->addBool("CastShadow", false);
        a->addBool("HasTransparency", true);
        a->addBool("DisableAntialiasing", true);
        a->addBool("ClipObject", false);
        a->addBool("ClipTransparent", false);
        a->addBool("VisibleInSublevelOnly", true);
        a->addFloat("TargetBias", 0.5f);
        a->addFloat("Mass", 7.0f);
        a->addBool("IsGrabbable", true);
        a->addBool("CanHangFrom", true);
        a->addInt("LeftArmGrabID", 7);
    });
    source->caustics = true;
    auto* copy = static_cast<PhysicsObject*>(source->clone());
    ASSERT_NE(copy, nullptr);
    Attributes* expected = newAttributes();
    Attributes* copied = newAttributes();
    source->serializeAttributes(expected);
    copy->serializeAttributes(copied);
    for (u32 i = 0; i < expected->getAttributeCount(); ++i) {
        const std::string key = expected->getAttributeName(i);
        if (key == "Id" || key == "Position" || key == "Rotation" || key == "Scale")
            continue; // the copy's own
        EXPECT_TRUE(copied->existsAttribute(key.c_str())) << key;
        EXPECT_EQ(copied->getAttributeAsString(key.c_str()), expected->getAttributeAsString(i)) << key;
    }
    EXPECT_TRUE(copy->caustics) << "lit by caustics as its source";
    copied->drop();
    expected->drop();
}

using PhysicsObjectMotionTest = PhysicsObjectFixture;

TEST_F(PhysicsObjectMotionTest, AKinematicBodyFollowsItsNodeOnlyWhenItMoves) {
    PhysicsObject* object = makeObject(boxIn("Kinematic"));
    frames(3);
    phys::RigidDynamic* body = object->getActor()->asRigidDynamic();
    EXPECT_NEAR(body->getGlobalPose().p.y, 5.0f, 1e-4f) << "kinematic: gravity does not pull it";
    object->setPosition(core::vector3df(2, 5, 0));
    frames(2);
    EXPECT_NEAR(body->getGlobalPose().p.x, 2.0f, 1e-4f);
    object->setPosition(core::vector3df(2.0000005f, 5, 0));
    object->updateAbsolutePosition();
    object->syncBodyWithNode(timeMs);
    phys::Transform target;
    EXPECT_FALSE(body->getKinematicTarget(target)) << "5e-7 is no move";
    object->setPosition(core::vector3df(2.000002f, 5, 0));
    object->updateAbsolutePosition();
    object->syncBodyWithNode(timeMs);
    EXPECT_TRUE(body->getKinematicTarget(target)) << "2e-6 is";
    // A turn about any one axis is a move too.
    for (int axis = 0; axis < 3; ++axis) {
        frames(1);
        ASSERT_FALSE(body->getKinematicTarget(target)) << "taken by the step";
        core::vector3df turn = object->getRotation();
        (&turn.X)[axis] += 30.0f;
        object->setRotation(turn);
        object->updateAbsolutePosition();
        object->syncBodyWithNode(timeMs);
        EXPECT_TRUE(body->getKinematicTarget(target)) << axis;
    }
}

TEST_F(PhysicsObjectMotionTest, SwitchingBetweenKinematicAndDynamicKeepsThePose) {
    PhysicsObject* object = makeObject([](Attributes* a) {
        a->addVector3d("Rotation", core::vector3df(0, 45, 0));
        boxIn("Kinematic")(a);
    });
    frames(3);
    object->setKinematic(false);
    object->setKinematic(false);
    EXPECT_TRUE(object->pendingKinematic);
    frame();
    EXPECT_FALSE(object->pendingKinematic);
    phys::RigidDynamic* body = object->getActor()->asRigidDynamic();
    EXPECT_FALSE(body->isKinematic());
    EXPECT_NEAR(object->getAbsolutePosition().Y, 5.0f, 0.05f);
    EXPECT_NEAR(object->getRotation().Y, 45.0f, 0.5f);
    frames(120);
    EXPECT_NEAR(object->getAbsolutePosition().Y, -100.0f, 100.0f) << "falls (no floor)";
    EXPECT_LT(object->getAbsolutePosition().Y, 0.0f);
    object->setKinematic(true);
    frame();
    const f32 held = body->getGlobalPose().p.y;
    frames(5);
    EXPECT_TRUE(body->isKinematic());
    EXPECT_NEAR(body->getGlobalPose().p.y, held, 1e-3f);
    EXPECT_NEAR(object->getAbsolutePosition().Y, held, 1e-3f);
}

// A held compound turns loose as one: a member asked to turn dynamic hands the switch to
// its owner, which switches itself and every member.
TEST_F(PhysicsObjectMotionTest, AMemberTurnedLooseTurnsItsWholeCompoundLoose) {
    PhysicsObject* owner = makeObject(boxIn("Kinematic"));
    PhysicsObject* member = makeObject(
        [](Attributes* a) {
            a->addVector3d("Position", core::vector3df(0, 1.5f, 0));
            a->addEnum("BoundType", "Sphere", boundTypeNames);
            a->addFloat("Radius", 0.5f);
            a->addEnum("PhysicsState", "Kinematic", physicsStateNames);
        },
        owner);
    ASSERT_EQ(member->getActor(), owner->getActor());
    frames(2);
    member->setCompoundKinematic(false);
    EXPECT_EQ(owner->getUserData()->state, PhysicsState::Dynamic);
    EXPECT_EQ(member->getUserData()->state, PhysicsState::Dynamic);
    EXPECT_TRUE(owner->pendingKinematic) << "the owner carries the switch";
    frame();
    EXPECT_FALSE(owner->getActor()->asRigidDynamic()->isKinematic());
}

TEST_F(PhysicsObjectMotionTest, SmallBodiesAreHeldBelowTheSpeedLimit) {
    struct Row {
        f32 radius;
        f32 speed;
        f32 expected;
        bool held = false;
    } rows[] = {{0.1f, 20.0f, 17.721f}, {0.1f, 17.9f, 17.9f}, {0.5f, 20.0f, 20.0f}, {0.1f, 20.0f, 20.0f, true}};
    for (const Row& row : rows) {
        PhysicsObject* object = makeObject([&](Attributes* a) {
            a->addEnum("BoundType", "Sphere", boundTypeNames);
            a->addFloat("Radius", row.radius);
            a->addEnum("PhysicsState", "Dynamic", physicsStateNames);
            a->addBool("DisableGravity", true);
        });
        if (row.held) // a held body moves as the hand moves it
            object->notifyGrab(true, object->getAbsolutePosition());
        phys::RigidDynamic* body = object->getActor()->asRigidDynamic();
        body->setLinearVelocity(phys::Vec3(row.speed, 0, 0));
        object->syncBodyWithNode(timeMs);
        EXPECT_NEAR(body->getLinearVelocity().x, row.expected, 1e-3f) << row.radius << " " << row.speed;
    }
}

TEST_F(PhysicsObjectMotionTest, TheNodeTransformIgnoresAnIdentityParentOrOneItIsToldToIgnore) {
    auto* group = smgr()->addEmptySceneNode(root());
    PhysicsObject* object = makeObject([](Attributes* a) {
        a->addEnum("BoundType", "None", boundTypeNames);
        a->addVector3d("Position", core::vector3df(1, 2, 3));
    }, group);
    object->updateAbsolutePosition();
    EXPECT_EQ(object->getAbsolutePosition(), core::vector3df(1, 2, 3));
    group->setPosition(core::vector3df(10, 0, 0));
    group->updateAbsolutePosition();
    object->updateAbsolutePosition();
    EXPECT_EQ(object->getAbsolutePosition(), core::vector3df(11, 2, 3));
    object->setIgnoreParentTransform(true);
    object->updateAbsolutePosition();
    EXPECT_EQ(object->getAbsolutePosition(), core::vector3df(1, 2, 3));
    EXPECT_TRUE(isExactlyIdentity(object->getParentAbsoluteTransformation()));
}

// A hidden object shown again is drawn unculled while its bounds catch up (thirty frames),
// then culled by its box; hiding it, or showing it while already shown, starts no delay.
TEST_F(PhysicsObjectMotionTest, AnObjectShownAgainIsCulledOnlyAfterThirtyFrames) {
    PhysicsObject* object = makeObject([](Attributes* a) {
        boxIn("Static")(a);
        a->addString("MeshFileName", "Content/Models/Props/Crate.obj");
    });
    scene::ISceneNode* node = object->getMeshNode();
    ASSERT_NE(node, nullptr);
    node->setAutomaticCulling(scene::EAC_FRUSTUM_BOX);
    object->setVisible(false);
    EXPECT_EQ(node->getAutomaticCulling(), scene::EAC_FRUSTUM_BOX) << "hidden";
    object->setVisible(true);
    EXPECT_EQ(node->getAutomaticCulling(), scene::EAC_OFF) << "shown";
    int unculledFrames = 0;
    while (node->getAutomaticCulling() == scene::EAC_OFF && unculledFrames < 100) {
        frame();
        ++unculledFrames;
    }
    EXPECT_EQ(unculledFrames, 31) << "culled again on the frame after the thirtieth";
    EXPECT_EQ(node->getAutomaticCulling(), scene::EAC_FRUSTUM_BOX);
    object->setVisible(true);
    EXPECT_EQ(node->getAutomaticCulling(), scene::EAC_FRUSTUM_BOX) << "shown while shown";
    frame();
    EXPECT_EQ(node->getAutomaticCulling(), scene::EAC_FRUSTUM_BOX) << "shown while shown";
}

// On a driver that draws into no texture (the null driver) a mirror has no reflection to
// give: it stays reflective, asks for no target and logs nothing.
TEST_F(PhysicsObjectMotionTest, AMirrorOnADriverWithoutRenderTargetsStaysQuiet) {
    PhysicsObject* mirror = makeObject([](Attributes* a) {
        boxIn("Static")(a);
        a->addString("MeshFileName", "Content/Models/Props/Pond.obj");
        a->addBool("IsReflective", true);
    });
    frames(3);
    EXPECT_TRUE(mirror->IsReflective);
    EXPECT_EQ(mirror->getReflection().reflectionTexture, nullptr);
    EXPECT_FALSE(log.contains("reflection texture"));
}

// Layer 0's texture matrix turned by 0.5 rad, scaled by 2 and offset by (0.25, 0.5): drawn
// without shaders it keeps its scale and offset and loses the turn.
TEST_F(PhysicsObjectMotionTest, DrawnWithoutShadersTheTextureMatrixIsScaleAndOffsetOnly) {
    const struct Row {
        s32 shaderLevel, quality;
        bool rebuilt;
    } rows[] = {{1, 0, true}, {2, 0, false}, {2, 2, true}, {3, 1, false}};
    PhysicsObject* object = makeObject([](Attributes* a) {
        boxIn("Static")(a);
        a->addString("MeshFileName", "Content/Models/Props/Crate.obj");
    });
    ASSERT_GT(object->getMaterialCount(), 0u);
    ShaderManager shaders;
    shaderManager = &shaders;
    core::matrix4 turned;
    turned.buildTextureTransform(0.5f, core::vector2df(0, 0), core::vector2df(0.25f, 0.5f), core::vector2df(2, 2));
    core::matrix4 plain(core::matrix4::EM4CONST_NOTHING);
    plain.makeIdentity();
    plain[0] = plain[5] = 2.0f;
    plain[8] = 0.25f;
    plain[9] = 0.5f;
    for (const Row& row : rows) {
        shaders.shaderLevel = row.shaderLevel;
        shaders.graphicsQuality = row.quality;
        object->getMaterial(0).setTextureMatrix(0, turned);
        object->syncBodyWithNode(timeMs);
        EXPECT_TRUE(object->getMaterial(0).getTextureMatrix(0).equals(row.rebuilt ? plain : turned, 1e-5f))
            << row.shaderLevel << " " << row.quality;
    }
    shaderManager = nullptr;
}

// Without shaders a material is lit by its own diffuse colour (ambient taken from it) with
// its emissive and specular colours kept and its normals made unit length again; with
// shaders it is left as the mesh gave it.
TEST_F(PhysicsObjectMotionTest, DrawnWithoutShadersAMaterialIsLitByItsOwnColours) {
    const struct Row {
        s32 shaderLevel, quality;
        bool fixedFunction;
    } rows[] = {{1, 0, true}, {2, 0, false}, {2, 2, true}, {3, 1, false}};
    ShaderManager shaders;
    shaderManager = &shaders;
    for (const Row& row : rows) {
        shaders.shaderLevel = row.shaderLevel;
        shaders.graphicsQuality = row.quality;
        PhysicsObject* object = makeObject([](Attributes* a) {
            boxIn("Static")(a);
            a->addString("MeshFileName", "Content/Models/Props/Crate.obj");
        });
        ASSERT_GT(object->getMaterialCount(), 0u);
        video::SMaterial& material = object->getMaterial(0);
        // As the mesh file gave it (loading the object already set it up).
        const video::SMaterial& given =
            object->getMeshNode()->getMesh()->getMesh(0)->getMeshBuffer(0)->getMaterial();
        material.EmissiveColor = video::SColor(255, 10, 20, 30);
        object->updateMaterials(true);
        const std::string what =
            std::to_string(row.shaderLevel) + " " + std::to_string(row.quality);
        EXPECT_EQ(material.DiffuseColor, given.DiffuseColor) << what;
        EXPECT_EQ(material.EmissiveColor, video::SColor(255, 10, 20, 30)) << what;
        EXPECT_EQ(material.SpecularColor, given.SpecularColor) << what;
        EXPECT_EQ(material.AmbientColor,
                  row.fixedFunction ? given.DiffuseColor : given.AmbientColor)
            << what;
        EXPECT_EQ(material.ColorMaterial,
                  row.fixedFunction ? static_cast<u8>(video::ECM_NONE) : given.ColorMaterial)
            << what;
        EXPECT_EQ(material.NormalizeNormals, row.fixedFunction || given.NormalizeNormals) << what;
        object->remove();
    }
    shaderManager = nullptr;
}

TEST_F(PhysicsObjectMotionTest, TheMaterialVariantFollowsTransparencyFadeAndLightMap) {
    const struct Row {
        const char* name;
        bool transparency;
        f32 alphaOverride, fadeAlpha;
        bool lightMap, noAntialiasing;
        u32 flags;
    } rows[] = {
        {"plain", false, 1.0f, 1.0f, false, false, 0x0},
        {"transparent", true, 1.0f, 1.0f, false, false, 0x1},
        {"alpha override", false, 0.5f, 1.0f, false, false, 0x1},
        {"fading", false, 1.0f, 0.5f, false, false, 0x1},
        {"light map", false, 1.0f, 1.0f, true, false, 0x200},
        {"no antialiasing", false, 1.0f, 1.0f, false, true, 0x0},
    };
    // Highlighted and under caustics (each with a bit of its own, beside transparency).
    const struct {
        const char* name;
        s32 highlight;
        bool caustics, transparency;
        u32 flags;
    } looks[] = {{"highlighted", 1, false, false, 0x4},
                 {"under caustics", 0, true, false, 0x20},
                 {"both, transparent", 2, true, true, 0x25}};
    ShaderManager shaders;
    shaderManager = &shaders;
    PhysicsObject* object = makeObject([](Attributes* a) {
        boxIn("Static")(a);
        a->addString("MeshFileName", "Content/Models/Props/Crate.obj");
    });
    ASSERT_GT(object->getMaterialCount(), 0u);
    for (const Row& row : rows) {
        object->HasTransparency = row.transparency;
        object->mesh().AlphaOverride = row.alphaOverride;
        object->mesh().fadeAlpha = row.fadeAlpha;
        object->UseLightMap = row.lightMap;
        object->DisableAntialiasing = row.noAntialiasing;
        object->updateMaterials(true);
        EXPECT_EQ(object->mesh().materialFlags, row.flags) << row.name;
        EXPECT_EQ(object->getMaterial(0).getFlag(video::EMF_TRILINEAR_FILTER), !row.noAntialiasing) << row.name;
    }
    object->UseLightMap = false;
    object->mesh().AlphaOverride = object->mesh().fadeAlpha = 1.0f;
    for (const auto& look : looks) {
        object->mesh().highlightMode = look.highlight;
        object->caustics = look.caustics;
        object->HasTransparency = look.transparency;
        object->updateMaterials(true);
        EXPECT_EQ(object->mesh().materialFlags, look.flags) << look.name;
    }
    shaderManager = nullptr;
}

TEST_F(PhysicsObjectMotionTest, TheCollisionSoundCooldownRunsOutToZero) {
    PhysicsObject* object = makeObject(dynamicBox);
    object->body().collisionSoundCooldown = 0.05f;
    advanceFixtureClock(0.1f);
    stopwatch->tick();
    object->updatePhysics();
    EXPECT_NEAR(object->body().collisionSoundCooldown, -0.05f, 1e-4f);
    object->updatePhysics();
    EXPECT_EQ(object->body().collisionSoundCooldown, 0.0f);
}

// The end of a one-shot animation starts the animators the object waits for, once: the
// wait is over when they start.
TEST_F(PhysicsObjectMotionTest, AnAnimationsEndStartsTheAwaitedAnimatorsOnce) {
    std::vector<s32> started;
    physicsHooks().characters.enableAnimators = [&](scene::ISceneNode*, s32 id) { started.push_back(id); };
    PhysicsObject* object = makeObject(dynamicBox);
    object->startPendingAnimator();
    EXPECT_TRUE(started.empty()) << "nothing awaited";
    object->mesh().pendingAnimatorID = 4;
    object->startPendingAnimator();
    object->startPendingAnimator();
    EXPECT_EQ(started, std::vector<s32>{4});
    EXPECT_EQ(object->mesh().pendingAnimatorID, -1);
}

// The set-object-property action's grab switch decides whether the object can be hung from.
TEST_F(PhysicsObjectMotionTest, TheGrabSwitchDecidesWhetherTheObjectCanBeHungFrom) {
    PhysicsObject* object = makeObject(dynamicBox);
    for (const bool on : {true, false}) {
        object->setGrabEnabled(on);
        EXPECT_EQ(object->CanHangFrom, on);
    }
}

// With a player in the level, suspicion goes to the player's own record.
TEST_F(PhysicsObjectMotionTest, SuspicionGoesToThePlayersRecordWhenThereIsAPlayer) {
    SuspicionMeter* received = nullptr;
    physicsHooks().characters.addSuspicion = [&](SuspicionMeter* record, f32, s32, const core::vector3df&) {
        received = record;
        return true;
    };
    PhysicsObject* object = makeObject(dynamicBox);
    ASSERT_TRUE(object->raiseSuspicion(1.0f));
    EXPECT_EQ(received, levelManager->suspicionMeter.get()) << "no player: the level's own record";
    SuspicionMeter own;
    levelHooks().players.getSuspicionRecord = [&own](PlayerObject*) { return &own; };
    auto* player = new test::StubPlayer(root(), smgr(), -1);
    player->drop();
    setPlayer(0, player);
    ASSERT_TRUE(object->raiseSuspicion(1.0f));
    EXPECT_EQ(received, &own);
    clearPlayers();
    levelHooks().players.getSuspicionRecord = nullptr;
}

TEST_F(PhysicsObjectMotionTest, FastOrRestingObjectsRaiseSuspicionThroughTheCharactersSlot) {
    std::vector<std::pair<f32, s32>> raised;
    physicsHooks().characters.addSuspicion = [&](SuspicionMeter* record, f32 amount, s32 kind,
                                                 const core::vector3df&) {
        EXPECT_EQ(record, levelManager->suspicionMeter.get())
            << "no player: the level's own record";
        raised.emplace_back(amount, kind);
        return true;
    };
    gameDifficulty = 1;
    PhysicsObject* object = makeObject([](Attributes* a) {
        dynamicBox(a);
        a->addBool("DisableGravity", true);
        a->addFloat("SuspVelocityAmount", 3.0f);
        a->addFloat("SuspVelocityInterval", 0.5f);
        a->addInt("SuspVelocityLimit", 1);
    });
    phys::RigidDynamic* body = object->getActor()->asRigidDynamic();
    auto update = [&](f32 seconds) {
        advanceFixtureClock(seconds);
        stopwatch->tick();
        object->updatePhysics();
    };
    body->setLinearVelocity(phys::Vec3(3, 0, 0));
    update(0.1f);
    EXPECT_TRUE(raised.empty()) << "exactly the amount is not faster";
    body->setLinearVelocity(phys::Vec3(4, 0, 0));
    update(0.1f);
    EXPECT_TRUE(raised.empty()) << "the interval runs first";
    update(0.6f);
    ASSERT_EQ(raised.size(), 1u);
    EXPECT_EQ(raised[0], std::make_pair(3.0f, 0));
    EXPECT_EQ(object->suspicion().SuspVelocityLimit, 0);
    EXPECT_FLOAT_EQ(object->suspicion().displayTimer, 2.0f);
    update(0.6f);
    EXPECT_EQ(raised.size(), 1u) << "the limit is spent";

    gameDifficulty = 0;
    object->suspicion().SuspVelocityLimit = -1;
    update(0.6f);
    EXPECT_EQ(raised.size(), 1u) << "difficulty 0 raises nothing";
}

// Slower than 1 m/s an object counts as at rest; once at rest longer than its timer it raises
// its amount.
TEST_F(PhysicsObjectMotionTest, AnObjectSlowerThanOneMetreASecondRaisesSuspicionAfterItsRestTime) {
    int raises = 0;
    physicsHooks().characters.addSuspicion = [&raises](SuspicionMeter*, f32 amount, s32, const core::vector3df&) {
        EXPECT_EQ(amount, 2.0f);
        ++raises;
        return true;
    };
    gameDifficulty = 1;
    const struct {
        f32 speed;
        int raises;
        s32 difficulty;
    } rows[] = {{0.9f, 1, 1}, {1.0f, 0, 1}, {1.5f, 0, 1}, {0.9f, 0, 0}};
    for (const auto& row : rows) {
        raises = 0;
        gameDifficulty = row.difficulty;
        PhysicsObject* object = makeObject([](Attributes* a) {
            dynamicBox(a);
            a->addBool("DisableGravity", true);
            a->addFloat("SuspAtRestAmount", 2.0f);
            a->addFloat("SuspAtRestTimer", 1.0f);
            a->addInt("SuspAtRestLimit", 1);
        });
        object->getActor()->asRigidDynamic()->setLinearVelocity(phys::Vec3(row.speed, 0, 0));
        // Its limit of one is spent by the first raise.
        for (int i = 0; i < 4; ++i) {
            advanceFixtureClock(0.6f);
            stopwatch->tick();
            object->updatePhysics();
            EXPECT_EQ(raises, i == 0 ? 0 : row.raises) << row.speed << " m/s after " << (i + 1) * 0.6f << " s";
        }
    }
}

// A child that counts the render registrations its parent passes on.
class CountingNode : public scene::ISceneNode {
public:
    using scene::ISceneNode::ISceneNode;
    void OnRegisterSceneNode() override { ++registrations; }
    void render() override {}
    const core::aabbox3df& getBoundingBox() const override { return box; }
    int registrations = 0;
    core::aabbox3df box;
};

TEST_F(PhysicsObjectMotionTest, TheDistanceLimitHidesFarObjectsFromTheMainPassOnly) {
    PhysicsObject* object = makeObject([](Attributes* a) {
        boxIn("Static")(a);
        a->addFloat("DetailDistanceLimit", 10.0f);
    });
    auto* child = new CountingNode(object, smgr(), -1);
    child->drop();
    scene::ICameraSceneNode* camera = smgr()->addCameraSceneNode(nullptr, core::vector3df(0, 5, -10));
    smgr()->setActiveCamera(camera);
    auto handler = std::make_unique<EffectHandler>(device->get(), core::dimension2du(0, 0));
    effectHandler = handler.get();
    const struct {
        f32 cameraZ;
        s32 stage;
        bool shown;
    } rows[] = {{-10.0f, 0, true}, {-10.01f, 0, false}, {-10.01f, 1, true}, {-10.01f, 2, true}, {-100.0f, 1, true}};
    for (const auto& row : rows) {
        camera->setPosition(core::vector3df(0, 5, row.cameraZ));
        camera->updateAbsolutePosition();
        effectHandler->renderStage = row.stage;
        child->registrations = 0;
        object->OnRegisterSceneNode();
        EXPECT_EQ(child->registrations, row.shown ? 1 : 0) << "camera at " << row.cameraZ << ", pass " << row.stage;
    }
    effectHandler = nullptr;
}

// An object raises suspicion of the plain kind, by the amount asked, from the middle of its
// bounding box in the world.
TEST_F(PhysicsObjectMotionTest, SuspicionIsRaisedFromTheMiddleOfTheObjectsBox) {
    struct Raise {
        f32 amount = 0.0f;
        s32 kind = -1;
        core::vector3df point;
    } raise;
    physicsHooks().characters.addSuspicion = [&raise](SuspicionMeter*, f32 amount, s32 kind,
                                                      const core::vector3df& point) {
        raise = {amount, kind, point};
        return true;
    };
    PhysicsObject* object = makeObject([](Attributes* a) {
        boxIn("Static")(a);
        a->setAttribute("Position", core::vector3df(3, 5, -2));
    });
    ASSERT_TRUE(object->raiseSuspicion(2.5f));
    EXPECT_FLOAT_EQ(raise.amount, 2.5f);
    EXPECT_EQ(raise.kind, 0);
    EXPECT_TRUE(raise.point.equals(object->getTransformedBoundingBox().getCenter(), 1e-4f));
    EXPECT_TRUE(raise.point.equals(core::vector3df(3, 5, -2), 1e-4f)) << raise.point.X << " " << raise.point.Y << " "
                                                                        << raise.point.Z;
}

// Without the characters' slot there is nobody to take the suspicion: raising it fails. With
// the slot, the slot's answer is the object's.
TEST_F(PhysicsObjectMotionTest, RaisingSuspicionAnswersWhatTheCharactersSlotAnswersAndFailsWithoutIt) {
    PhysicsObject* object = makeObject(dynamicBox);
    physicsHooks().characters.addSuspicion = nullptr;
    EXPECT_FALSE(object->raiseSuspicion(1.0f));
    for (const bool answer : {true, false}) {
        physicsHooks().characters.addSuspicion = [answer](SuspicionMeter*, f32, s32, const core::vector3df&) {
            return answer;
        };
        EXPECT_EQ(object->raiseSuspicion(1.0f), answer);
    }
}

// Every material of the mesh, the last one too, follows the object's antialiasing switch.
TEST_F(PhysicsObjectMotionTest, EveryMaterialOfTheMeshFollowsTheAntialiasingSwitch) {
    scene::IMesh* cube = smgr()->getGeometryCreator()->createCubeMesh();
    auto* twoParts = new scene::SMesh();
    for (int part = 0; part < 2; ++part)
        twoParts->addMeshBuffer(cube->getMeshBuffer(0));
    twoParts->recalculateBoundingBox();
    cube->drop();
    auto* animated = new scene::SAnimatedMesh(twoParts);
    twoParts->drop();
    smgr()->getMeshCache()->addMesh("Content/Models/TwoParts.obj", animated);
    animated->drop();
    for (const bool disabled : {false, true}) {
        PhysicsObject* object = makeObject([disabled](Attributes* a) {
            boxIn("Static")(a);
            a->addString("MeshFileName", "Content/Models/TwoParts.obj");
            a->addBool("DisableAntialiasing", disabled);
        });
        ASSERT_EQ(object->getMaterialCount(), 2u);
        for (u32 i = 0; i < object->getMaterialCount(); ++i) {
            const video::SMaterial& material = object->getMaterial(i);
            EXPECT_EQ(material.AntiAliasing, disabled ? video::EAAM_OFF : video::EAAM_SIMPLE)
                << "material " << i << (disabled ? " with antialiasing off" : "");
            EXPECT_EQ(material.TextureLayer[0].AnisotropicFilter, platform::anisotropicFilterLevel(!disabled)) << i;
        }
    }
}

} // namespace
