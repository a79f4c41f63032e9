// Advanced physics objects: the door's hinge, its swing and stop, its saved poses, and the
// filter words of doors and target blockers.
#include "PhysicsObjectFixture.h"

#include "physics/special/AdvancedPhysicsObject.h"
#include "physics/world/PhysicsFiltering.h"

#include <cmath>

using namespace irr;

namespace {

using Attributes = io::IAttributes;
using Fill = std::function<void(Attributes*)>;

class DoorTest : public PhysicsObjectFixture {
protected:
    // A door 2 wide, 4 high and 0.2 thick standing on y = 0, its hinge on the +X edge.
    AdvancedPhysicsObject* door(const Fill& extra = {}) {
        auto* object = new AdvancedPhysicsObject(root(), smgr(), -1);
        object->drop();
        Attributes* a = newAttributes();
        a->addString("Name", "Door");
        a->addVector3d("Position", core::vector3df(0, 2, 0));
        a->addVector3d("Scale", core::vector3df(1, 2, 0.1f));
        a->addString("MeshFileName", "Content/Models/Props/Crate.obj");
        a->addEnum("BoundType", "Box", boundTypeNames);
        a->addFloat("Mass", 5.0f);
        if (extra)
            extra(a);
        object->deserializeAttributes(a);
        a->drop();
        return object;
    }
    PhysicsObject* ball(const core::vector3df& at, const core::vector3df& velocity) {
        PhysicsObject* object = makeObject([&](Attributes* a) {
            a->addString("Name", "Ball");
            a->addVector3d("Position", at);
            a->addEnum("BoundType", "Sphere", boundTypeNames);
            a->addFloat("Radius", 0.5f);
            a->addEnum("PhysicsState", "Dynamic", physicsStateNames);
            a->addFloat("Mass", 20.0f);
        });
        object->getActor()->asRigidDynamic()->setLinearVelocity(toPhys(velocity));
        return object;
    }
    // How far the door has turned open (degrees) about its hinge line at x = 1.
    f32 openDegrees(AdvancedPhysicsObject* d) const {
        const phys::Quat q = d->getActor()->getGlobalPose().q;
        return -2.0f * std::atan2(q.y, q.w) * 57.2957795f;
    }
};

TEST_F(DoorTest, TheHingeStandsBesideTheDoorsEdge) {
    AdvancedPhysicsObject* d = door();
    ASSERT_NE(d->getDoorJoint(), nullptr);
    ASSERT_NE(d->getHingePost(), nullptr);
    ASSERT_NE(d->getDoorStop(), nullptr);
    EXPECT_TRUE(d->Box1Position.equals(core::vector3df(1.5f, 0, 0), 1e-4f));
    EXPECT_TRUE(d->JointPosition.equals(core::vector3df(1.0f, 2.0f, -0.1f), 1e-4f));
    EXPECT_TRUE(d->Box2Position.equals(core::vector3df(0, 2, 0.2f), 1e-4f));
    EXPECT_EQ(d->getDoorJoint()->getMotion(phys::D6Axis::Swing1), phys::D6Motion::Limited);
    EXPECT_EQ(d->getDoorJoint()->getMotion(phys::D6Axis::X), phys::D6Motion::Locked);
    // A left-hinged door turns about its other edge; building again keeps one hinge.
    AdvancedPhysicsObject* left = door([](Attributes* a) {
        a->addBool("DoorOpensLeft", true);
        a->addBool("DoorOpensBothWays", true);
    });
    EXPECT_TRUE(left->Box1Position.equals(core::vector3df(-1.5f, 0, 0), 1e-4f));
    EXPECT_EQ(left->getDoorStop(), nullptr);
    EXPECT_EQ(left->getDoorJoint()->getMotion(phys::D6Axis::Swing1), phys::D6Motion::Free);
    left->createDoor();
    EXPECT_NE(left->getDoorJoint(), nullptr);
}

TEST_F(DoorTest, ADoorPushedOpenSwingsToItsStopAndBack) {
    AdvancedPhysicsObject* d = door();
    frames(2);
    // A ball falling towards the door from its closed side throws it open.
    ball(core::vector3df(-0.5f, 3.5f, 3.0f), core::vector3df(0, 0, -12));
    f32 widest = 0.0f;
    for (int i = 0; i < 90; ++i) {
        frame();
        widest = std::max(widest, openDegrees(d));
    }
    EXPECT_GT(widest, 60.0f);
    EXPECT_LT(widest, 90.0f + 5.0f); // the limit holds it at a quarter turn
    EXPECT_NEAR(d->getActor()->getGlobalPose().p.y, 2.0f, 0.05f);
    // A ball from the open side pushes it back: it closes against its stop and goes no further.
    const f32 open = openDegrees(d);
    const f32 radians = open / 57.2957795f;
    const core::vector3df face(1.0f - std::cos(radians), 2.5f, -0.1f - std::sin(radians));
    ball(face + core::vector3df(-2.5f, 0, -0.5f), core::vector3df(12, 0, 4));
    f32 narrowest = 180.0f;
    for (int i = 0; i < 150; ++i) {
        frame();
        narrowest = std::min(narrowest, openDegrees(d));
    }
    EXPECT_LT(narrowest, open - 20.0f);
    EXPECT_GT(narrowest, -4.0f);
}

TEST_F(DoorTest, ASavedDoorIsRebuiltWhereItStood) {
    AdvancedPhysicsObject* d = door();
    Attributes* saved = newAttributes();
    d->serializeAttributes(saved);
    EXPECT_TRUE(saved->getAttributeAsBool("UseCheckpointPos"));
    EXPECT_TRUE(saved->existsAttribute("DoorOpensIn"));
    // The hinge's parts are saved where they stand.
    EXPECT_TRUE(saved->existsAttribute("JointRotation"));
    const struct {
        const char* key;
        core::vector3df value;
    } stored[] = {{"Box1Position", d->Box1Position}, {"Box1Rotation", d->Box1Rotation},
                  {"Box2Position", d->Box2Position}, {"Box2Rotation", d->Box2Rotation},
                  {"JointPosition", d->JointPosition}};
    for (const auto& entry : stored) {
        EXPECT_TRUE(saved->existsAttribute(entry.key)) << entry.key;
        EXPECT_TRUE(saved->getAttributeAsVector3d(entry.key).equals(entry.value, 1e-4f)) << entry.key;
    }
    EXPECT_TRUE(saved->getAttributeAsVector3d("Box1Position").equals(core::vector3df(1.5f, 0, 0), 1e-4f));
    // The stored poses are used as they are.
    AdvancedPhysicsObject* restored = door([saved](Attributes* a) {
        a->addBool("UseCheckpointPos", true);
        for (const char* key : {"Box1Position", "Box1Rotation", "Box2Position", "Box2Rotation"})
            a->addVector3d(key, saved->getAttributeAsVector3d(key));
        a->addVector3d("JointPosition", core::vector3df(1.0f, 2.0f, -0.3f));
        a->addQuaternion("JointRotation", saved->getAttributeAsQuaternion("JointRotation"));
    });
    EXPECT_TRUE(restored->UseCheckpointPos);
    EXPECT_TRUE(restored->JointPosition.equals(core::vector3df(1.0f, 2.0f, -0.3f), 1e-4f));
    // A post saved turned stands turned.
    AdvancedPhysicsObject* turned = door([saved](Attributes* a) {
        a->addBool("UseCheckpointPos", true);
        for (const char* key : {"Box1Position", "Box2Position", "Box2Rotation"})
            a->addVector3d(key, saved->getAttributeAsVector3d(key));
        a->addVector3d("Box1Rotation", core::vector3df(0, 30, 0));
    });
    saved->drop();
    ASSERT_NE(turned->getHingePost(), nullptr);
    const phys::Quat post = turned->getHingePost()->getGlobalPose().q;
    const phys::Quat expected = eulerDegreesToQuat(core::vector3df(0, 30, 0));
    EXPECT_NEAR(std::fabs(post.x * expected.x + post.y * expected.y + post.z * expected.z + post.w * expected.w), 1.0f,
                1e-4f)
        << "the saved turn";
    // A door that opens both ways writes no "DoorOpensIn".
    AdvancedPhysicsObject* both = door([](Attributes* a) { a->addBool("DoorOpensBothWays", true); });
    Attributes* out = newAttributes();
    both->serializeAttributes(out);
    EXPECT_FALSE(out->existsAttribute("DoorOpensIn"));
    out->drop();
}

TEST_F(DoorTest, TheDoorAndItsPostTakeTheDoorsDamping) {
    AdvancedPhysicsObject* d = door([](Attributes* a) {
        a->addFloat("LinearDamping", 0.5f);
        a->addFloat("AngularDamping", 3.0f);
    });
    ASSERT_NE(d->getHingePost(), nullptr);
    for (phys::RigidDynamic* body : {d->getActor()->asRigidDynamic(), d->getHingePost()}) {
        EXPECT_FLOAT_EQ(body->getLinearDamping(), 0.5f);
        EXPECT_FLOAT_EQ(body->getAngularDamping(), 3.0f);
    }
}

TEST_F(DoorTest, ATargetBlockerIsStoredAsOne) {
    auto* blocker = new AdvancedPhysicsObject(root(), smgr(), -1);
    blocker->drop();
    Attributes* a = newAttributes();
    a->addEnum("AdvancedType", "TargetBlocker", AdvancedPhysicsObject::advancedTypeNames);
    a->addEnum("BoundType", "Box", boundTypeNames);
    blocker->deserializeAttributes(a);
    a->clear();
    blocker->serializeAttributes(a);
    EXPECT_STREQ(a->getAttributeAsString("AdvancedType").c_str(), "TargetBlocker");
    EXPECT_FALSE(a->existsAttribute("DoorOpensLeft"));
    a->drop();
}

TEST_F(DoorTest, ACopyOfADoorOpensTheSameWay) {
    for (bool flipped : {false, true}) {
        AdvancedPhysicsObject* d = door([&](Attributes* a) {
            a->addBool("DoorOpensLeft", flipped);
            a->addBool("DoorOpensIn", !flipped);
            a->addBool("DoorOpensBothWays", flipped);
        });
        auto* copy = static_cast<AdvancedPhysicsObject*>(d->clone());
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(copy->AdvancedType, d->AdvancedType);
        EXPECT_EQ(copy->DoorOpensLeft, flipped);
        EXPECT_EQ(copy->DoorOpensIn, !flipped);
        EXPECT_EQ(copy->DoorOpensBothWays, flipped);
        copy->remove();
        d->remove();
    }
}

TEST_F(DoorTest, AdvancedObjectsCollideByTheirOwnWords) {
    struct Row {
        const char* kind;
        const char* state;
        const char* group;
        const char* meets;
        u32 word0, word1;
    } rows[] = {
        {"Door", "Dynamic", "", "", 0x4, 0x0FFFFFBF},
        {"TargetBlocker", "Dynamic", "", "", 0x4, 0x0FFFFF8F},
        {"TargetBlocker", "Static", "", "", 0x2, 0x0FFFFF9D},
        // An override group, first and last, stands alone until groups to meet are named.
        {"TargetBlocker", "Dynamic", "Custom1", "", 0x10000000, 0x0},
        {"Door", "Dynamic", "Custom4", "", 0x80000000, 0x0},
        // Groups to meet, by their digits 1 to 4; other characters name none.
        {"Door", "Dynamic", "Custom4", "14", 0x80000000, 0x90000000},
        {"TargetBlocker", "Dynamic", "", "2", 0x4, 0x2FFFFF8F},
        {"TargetBlocker", "Static", "", "3", 0x2, 0x4FFFFF9D},
        {"TargetBlocker", "Dynamic", "", "05", 0x4, 0x0FFFFF8F},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.kind) + row.group + " meeting " + row.meets);
        AdvancedPhysicsObject* object = door([&](Attributes* a) {
            a->addEnum("AdvancedType", row.kind, AdvancedPhysicsObject::advancedTypeNames);
            a->addEnum("PhysicsState", row.state, physicsStateNames);
            if (*row.group)
                a->addEnum("OverrideCollisionGroup", row.group, collisionGroupNames);
            if (*row.meets)
                a->addString("CollideWithCollisionGroups", row.meets);
        });
        phys::Shape* shape = object->getFirstShape();
        ASSERT_NE(shape, nullptr);
        EXPECT_EQ(shape->getSimulationFilterData().word0, row.word0);
        EXPECT_EQ(shape->getSimulationFilterData().word1, row.word1);
        EXPECT_TRUE(object->BlocksVision);
    }
    // The door's post meets advanced objects only.
    AdvancedPhysicsObject* d = door();
    phys::Shape* post = nullptr;
    d->getHingePost()->getShapes(&post, 1, 0);
    EXPECT_EQ(post->getSimulationFilterData().word0, 0x20u);
    EXPECT_EQ(post->getSimulationFilterData().word1, 0x4u);
}

} // namespace
