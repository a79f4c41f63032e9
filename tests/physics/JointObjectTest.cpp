// Joint objects: their attributes, the chain of the demonstration level, the limits of each
// kind, break limits, the body checks, and their life beside their bodies.
#include "PhysicsObjectFixture.h"

#include "physics/joints/JointObject.h"

#include "phys/GeometryQuery.h"

#include "core/Globals.h"
#include "level/LevelHooks.h"
#include "level/LevelInfo.h"
#include "level/LevelManager.h"
#include "level/MarkerObject.h"
#include "support/StubPlayer.h"

#include <cmath>
#include <string>

using namespace irr;

namespace {

using Attributes = io::IAttributes;
using Fill = std::function<void(Attributes*)>;

class JointObjectTest : public PhysicsObjectFixture {
public: // the table rows' checks read the bob
    // A unit box (edges 2) at the position.
    PhysicsObject* box(const char* name, const core::vector3df& at, const char* state, f32 mass = 10.0f) {
        PhysicsObject* object = makeObject([&](Attributes* a) {
            a->addString("Name", name);
            a->addVector3d("Position", at);
            a->addEnum("BoundType", "Box", boundTypeNames);
            a->addVector3d("BoxExtents", core::vector3df(2, 2, 2));
            a->addEnum("PhysicsState", state, physicsStateNames);
            a->addFloat("Mass", mass);
        });
        return object;
    }
    MarkerObject* marker(scene::ISceneNode* body, s32 id, const core::vector3df& at,
                         const core::vector3df& rotation = {}) {
        auto* m = new MarkerObject(body, smgr(), id);
        m->setPosition(at);
        m->setRotation(rotation);
        m->drop();
        return m;
    }
    JointObject* joint(s32 m1, s32 m2, const char* kind, const Fill& extra = {}) {
        auto* j = new JointObject(root(), smgr(), -1);
        j->drop();
        Attributes* a = newAttributes();
        a->addString("Name", "TestJoint");
        a->addInt("ObjectID1", m1);
        a->addInt("ObjectID2", m2);
        if (kind)
            a->addEnum("JointType", kind, JointObject::jointTypeNames);
        a->addBool("CollideJointedObjects", false);
        if (extra)
            extra(a);
        j->deserializeAttributes(a);
        a->drop();
        return j;
    }
    // A static anchor at (0, 10, 0) and a dynamic box below it, joined at the anchor's
    // bottom face by a joint of the kind.
    JointObject* hanging(const char* kind, const Fill& extra = {}, const core::vector3df& markerRotation = {}) {
        anchor = box("Anchor", core::vector3df(0, 10, 0), "Static");
        bob = box("Bob", core::vector3df(0, 8, 0), "Dynamic");
        marker(anchor, 501, core::vector3df(0, -1, 0), markerRotation);
        marker(bob, 502, core::vector3df(0, 1, 0), markerRotation);
        JointObject* j = joint(501, 502, kind, extra);
        manager->rebuildNodeIDs();
        return j;
    }
    phys::RigidDynamic* bobBody() const { return bob->getActor()->asRigidDynamic(); }
    core::vector3df bobPosition() const { return toEngine(bob->getActor()->getGlobalPose().p); }
    bool logged(const char* text) const {
        for (const std::string& line : log.lines)
            if (line.find(text) != std::string::npos)
                return true;
        return false;
    }

    PhysicsObject* anchor = nullptr;
    PhysicsObject* bob = nullptr;
};

// Angle in degrees between the bob's local axis and the world axis it started along.
f32 turnedDegrees(const phys::Quat& q, const phys::Vec3& axis) {
    const phys::Vec3 now = q.rotate(axis);
    const f32 dot = core::clamp(now.x * axis.x + now.y * axis.y + now.z * axis.z, -1.0f, 1.0f);
    return std::acos(dot) * 57.2957795f;
}

TEST_F(JointObjectTest, ReaderRepairsDistancesAndReadsOlderKeys) {
    struct Row {
        const char* what;
        Fill fill;
        std::function<void(const JointObject&)> check;
    } rows[] = {
        {"no JointType", [](Attributes*) {}, [](const JointObject& j) { EXPECT_EQ(j.JointType, -1); }},
        {"pair without distance",
         [](Attributes* a) { a->addVector2d("PrismaticLimitPair", core::vector2df(2, 4)); },
         [](const JointObject& j) {
             EXPECT_EQ(j.PrismaticLimitPair, core::vector2df(2, 4));
             EXPECT_FLOAT_EQ(j.PrismaticLimitDistance, 0.05f);
         }},
        {"pair with distance",
         [](Attributes* a) {
             a->addVector2d("PrismaticLimitPair", core::vector2df(2, 4));
             a->addFloat("PrismaticLimitDistance", 0.2f);
         },
         [](const JointObject& j) { EXPECT_FLOAT_EQ(j.PrismaticLimitDistance, 0.2f); }},
        {"older twist key",
         [](Attributes* a) { a->addVector3d("TwistLimit", core::vector3df(-30, 30, 0)); },
         [](const JointObject& j) {
             EXPECT_EQ(j.TwistLimitPair, core::vector2df(-30, 30));
             EXPECT_FLOAT_EQ(j.TwistLimitDistance, 0.05f);
         }},
        {"newer twist key wins",
         [](Attributes* a) {
             a->addVector3d("TwistLimit", core::vector3df(-30, 30, 0.3f));
             a->addVector2d("TwistLimitPair", core::vector2df(-10, 10));
         },
         [](const JointObject& j) {
             EXPECT_EQ(j.TwistLimitPair, core::vector2df(-10, 10));
             EXPECT_FLOAT_EQ(j.TwistLimitDistance, 0.05f);
         }},
        {"linear limit zero",
         [](Attributes* a) { a->addFloat("LinearLimit", 0); a->addFloat("LinearLimitDistance", 0); },
         [](const JointObject& j) { EXPECT_EQ(j.LinearLimitDistance, 0.0f); }},
        {"linear limit set",
         [](Attributes* a) { a->addFloat("LinearLimit", 2); a->addFloat("LinearLimitDistance", 0); },
         [](const JointObject& j) { EXPECT_FLOAT_EQ(j.LinearLimitDistance, 0.05f); }},
        {"pair from zero without distance",
         [](Attributes* a) { a->addVector2d("RevoluteLimitPair", core::vector2df(0, 40)); },
         [](const JointObject& j) { EXPECT_FLOAT_EQ(j.RevoluteLimitDistance, 0.05f); }},
        {"drive velocities",
         [](Attributes* a) {
             a->addVector3d("LinearDriveVelocity", core::vector3df(1, 2, 3));
             a->addVector3d("AngularDriveVelocity", core::vector3df(4, 5, 6));
         },
         [](const JointObject& j) {
             EXPECT_EQ(j.LinearDriveVelocity, core::vector3df(1, 2, 3));
             EXPECT_EQ(j.AngularDriveVelocity, core::vector3df(4, 5, 6));
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        JointObject* j = joint(0, 0, nullptr, row.fill);
        row.check(*j);
    }
}

// Older files keep each limit pair and its contact distance in one three-float value; a
// third value of 0 beside a pair that is not zero takes the usual 0.05.
TEST_F(JointObjectTest, EachThreeFloatLimitCarriesItsPairAndDistance) {
    const struct {
        const char* key;
        core::vector2df JointObject::*pair;
        f32 JointObject::*distance;
    } limits[] = {{"PrismaticLimitPair", &JointObject::PrismaticLimitPair, &JointObject::PrismaticLimitDistance},
                  {"RevoluteLimitPair", &JointObject::RevoluteLimitPair, &JointObject::RevoluteLimitDistance},
                  {"SphereLimitCone", &JointObject::SphereLimitCone, &JointObject::SphereLimitDistance},
                  {"TwistLimit", &JointObject::TwistLimitPair, &JointObject::TwistLimitDistance},
                  {"SwingLimit", &JointObject::SwingLimitPair, &JointObject::SwingLimitDistance}};
    const struct {
        f32 stored;
        f32 read;
    } distances[] = {{0.3f, 0.3f}, {0.0f, 0.05f}};
    for (const auto& limit : limits) {
        for (const auto& d : distances) {
            SCOPED_TRACE(std::string(limit.key) + " " + std::to_string(d.stored));
            JointObject* j = joint(0, 0, nullptr, [&](Attributes* a) {
                a->addVector3d(limit.key, core::vector3df(-20, 20, d.stored));
            });
            EXPECT_EQ(j->*limit.pair, core::vector2df(-20, 20));
            EXPECT_FLOAT_EQ(j->*limit.distance, d.read);
        }
    }
}

TEST_F(JointObjectTest, WriterWritesTheKeysOfItsKind) {
    struct Row {
        const char* kind;
        Fill extra;
        std::vector<const char*> present, absent;
    } rows[] = {
        {"Fixed", {}, {"JointEnabled", "ObjectID1", "BreakTorque", "JointType"},
         {"RevoluteLimitPair", "SphereLimitCone", "XDrive", "MinMaxDistance", "X"}},
        {"D6",
         [](Attributes* a) {
             for (const char* axis : {"X", "Y", "Z", "Twist", "Swing1", "Swing2"})
                 a->addEnum(axis, "Locked", JointObject::motionNames);
         },
         {"X", "Swing2", "LinearDriveVelocity", "AngularDriveVelocity", "DrivePositionMarkerID"},
         {"XDrive", "SlerpAccel", "JointSpring", "LinearLimit", "TwistLimitPair", "SwingLimitPair"}},
        {"D6",
         [](Attributes* a) {
             for (const char* axis : {"X", "Y", "Twist", "Swing1", "Swing2"})
                 a->addEnum(axis, "Locked", JointObject::motionNames);
             a->addEnum("Z", "Limited", JointObject::motionNames);
         },
         {"LinearLimit", "LinearLimitDistance", "JointSpring", "JointDamping", "ZDrive", "ZAccel"},
         {"XDrive", "SwingLimitPair", "TwistLimitPair"}},
        {"D6",
         [](Attributes* a) {
             for (const char* axis : {"X", "Y", "Z", "Twist", "Swing1"})
                 a->addEnum(axis, "Locked", JointObject::motionNames);
             a->addEnum("Swing2", "Limited", JointObject::motionNames);
         },
         {"SwingLimitPair", "SwingLimitDistance", "SlerpDrive", "SlerpAccel"},
         {"SwingDrive", "LinearLimit", "TwistLimitPair"}},
        // Each limited kind writes its own limit and none of the others'.
        {"Distance", {}, {"MinMaxDistance", "JointSpring", "JointDamping"},
         {"PrismaticLimitPair", "RevoluteLimitPair", "SphereLimitCone"}},
        {"Prismatic", {}, {"PrismaticLimitPair", "PrismaticLimitDistance"},
         {"MinMaxDistance", "RevoluteLimitPair", "SphereLimitCone"}},
        {"Revolute", {}, {"RevoluteLimitPair", "RevoluteLimitDistance"},
         {"PrismaticLimitPair", "MinMaxDistance", "SphereLimitCone", "SphereLimitDistance"}},
        {"Spherical", {}, {"SphereLimitCone", "SphereLimitDistance"},
         {"PrismaticLimitPair", "MinMaxDistance", "RevoluteLimitPair", "RevoluteLimitDistance"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.kind);
        JointObject* j = joint(0, 0, row.kind, row.extra);
        Attributes* out = newAttributes();
        j->serializeAttributes(out);
        for (const char* key : row.present)
            EXPECT_TRUE(out->existsAttribute(key)) << key;
        for (const char* key : row.absent)
            EXPECT_FALSE(out->existsAttribute(key)) << key;
        EXPECT_FALSE(out->getAttributeAsBool("JointEnabled")); // no joint is live
        out->drop();
    }
}

// Jointed crates do not collide: only the gaps the level leaves at its joints and the joints'
// cones keep the demonstration chain's crates apart, while it swings down from where it was
// laid out and when it is pushed as the level pushes it at 7 s.
TEST_F(JointObjectTest, TheDemonstrationChainSwingsWithoutItsCratesOverlapping) {
    ASSERT_TRUE(manager->loadLevel("Content/Levels/JointDemo.irr"));
    frames(3);
    PhysicsObject* crates[] = {findObject("Anchor"), findObject("Link1"), findObject("Link2")};
    for (PhysicsObject* crate : crates)
        ASSERT_TRUE(crate && crate->getActor());
    for (const char* name : {"ChainJoint1", "ChainJoint2"}) {
        auto* joint = static_cast<JointObject*>(smgr()->getSceneNodeFromName(name));
        ASSERT_TRUE(joint && joint->isJointLive()) << name;
    }
    const phys::BoxGeometry box(1, 1, 1);
    int firstOverlap = -1;
    f32 lowest = 100.0f, leftmost = 100.0f, farthest = 0.0f;
    for (int i = 0; i < 300; ++i) {
        if (i == 120)
            crates[2]->addForceAndTorque(core::vector3df(-60, 0, 0), core::vector3df(), phys::ForceMode::Impulse,
                                         phys::ForceMode::Impulse, false);
        frame();
        for (int a = 0; a < 3; ++a)
            for (int b = a + 1; b < 3; ++b)
                if (firstOverlap < 0 && phys::GeometryQuery::overlap(box, crates[a]->getActor()->getGlobalPose(), box,
                                                                     crates[b]->getActor()->getGlobalPose()))
                    firstOverlap = i;
        const core::vector3df at = toEngine(crates[2]->getActor()->getGlobalPose().p);
        lowest = std::min(lowest, at.Y);
        leftmost = std::min(leftmost, at.X);
        farthest = std::max(farthest, at.getDistanceFrom(core::vector3df(0, 10.1f, 0)));
    }
    EXPECT_EQ(firstOverlap, -1) << "two crates overlapped";
    EXPECT_LT(leftmost, -1.0f) << "it swung through to the other side";
    EXPECT_LT(farthest, 4.8f + 0.1f) << "the last crate stays within the chain's reach of the pin";
    EXPECT_GT(lowest, 1.5f) << "never reached the floor";
}

// A quit that stops the load at its last object leaves nothing of the level behind: the
// frames that still run before the game ends find no joint looking up its markers (no
// "Could not find SceneNode ID" line). Loaded without a quit, the same joints find them.
TEST_F(JointObjectTest, ALoadStoppedByAQuitLeavesNoJointToLookUpItsMarkers) {
    const char* const level = "Content/Levels/JointDemo.irr";
    levelHooks().screens.renderLoadingFrame = [this] {
        if (manager->getLoader().objectsRead == manager->getLoader().objectsTotal)
            QuitRequested = true;
    };
    EXPECT_FALSE(manager->loadLevel(level));
    QuitRequested = false;
    ASSERT_TRUE(log.contains(std::string("Loading stopped, the game is quitting: ") + level));
    EXPECT_EQ(countNodes(root()), 0u);
    frames(3);
    EXPECT_EQ(log.countStartingWith("ERROR"), 0u) << log.lines.back();

    levelHooks().screens.renderLoadingFrame = nullptr;
    ASSERT_TRUE(manager->loadLevel(level));
    frames(3);
    auto* chain = static_cast<JointObject*>(smgr()->getSceneNodeFromName("ChainJoint1"));
    ASSERT_NE(chain, nullptr);
    EXPECT_TRUE(chain->isJointLive());
    EXPECT_EQ(log.countStartingWith("ERROR"), 0u);
}

TEST_F(JointObjectTest, EachKindKeepsItsLimits) {
    struct Row {
        const char* kind;
        Fill extra;
        core::vector3df push;   // torque (or force for the linear kinds) applied every frame
        bool linear;
        std::function<void(JointObjectTest&)> check;
    } rows[] = {
        {"Revolute", [](Attributes* a) { a->addVector2d("RevoluteLimitPair", core::vector2df(-30, 30)); },
         {0, 400, 0}, false,
         [](JointObjectTest& t) {
             EXPECT_LT(turnedDegrees(t.bob->getActor()->getGlobalPose().q, phys::Vec3(0, 0, 1)), 30.0f + 4.0f);
             EXPECT_GT(turnedDegrees(t.bob->getActor()->getGlobalPose().q, phys::Vec3(0, 0, 1)), 20.0f);
         }},
        {"Spherical", [](Attributes* a) { a->addVector2d("SphereLimitCone", core::vector2df(20, 20)); },
         {0, 0, 400}, false,
         [](JointObjectTest& t) {
             EXPECT_LT(turnedDegrees(t.bob->getActor()->getGlobalPose().q, phys::Vec3(0, 1, 0)), 20.0f + 4.0f);
         }},
        {"Prismatic", [](Attributes* a) { a->addVector2d("PrismaticLimitPair", core::vector2df(-1, 1)); },
         {0, -300, 0}, true,
         [](JointObjectTest& t) {
             // The frames' X axis points down (marker rotation), so the bob slides down by at most 1.
             EXPECT_NEAR(t.bobPosition().Y, 7.0f, 0.15f);
             EXPECT_NEAR(t.bobPosition().X, 0.0f, 0.05f);
         }},
        {"Distance", [](Attributes* a) { a->addVector2d("MinMaxDistance", core::vector2df(0, 3)); },
         {0, 0, 0}, true,
         [](JointObjectTest& t) { EXPECT_NEAR(t.bobPosition().Y, 10.0f - 1.0f - 3.0f - 1.0f, 0.15f); }},
        {"Fixed", {}, {0, 0, 300}, true,
         [](JointObjectTest& t) {
             EXPECT_NEAR(t.bobPosition().Y, 8.0f, 0.1f);
             EXPECT_LT(turnedDegrees(t.bob->getActor()->getGlobalPose().q, phys::Vec3(0, 1, 0)), 2.0f);
         }},
        {"D6",
         [](Attributes* a) {
             for (const char* axis : {"X", "Y", "Z", "Swing1", "Swing2"})
                 a->addEnum(axis, "Locked", JointObject::motionNames);
             a->addEnum("Twist", "Limited", JointObject::motionNames);
             a->addVector2d("TwistLimitPair", core::vector2df(-25, 25));
         },
         {0, 400, 0}, false,
         [](JointObjectTest& t) {
             const f32 turned = turnedDegrees(t.bob->getActor()->getGlobalPose().q, phys::Vec3(0, 0, 1));
             EXPECT_LT(turned, 25.0f + 4.0f);
             EXPECT_GT(turned, 15.0f);
             EXPECT_NEAR(t.bobPosition().Y, 8.0f, 0.1f);
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.kind);
        // The frames' X axis along the world's Y: revolute, twist and prismatic act about or
        // along the vertical.
        JointObject* j = hanging(row.kind, row.extra, core::vector3df(0, 0, -90));
        frames(2);
        ASSERT_NE(j->getJoint(), nullptr);
        for (int i = 0; i < 90; ++i) {
            if (row.linear && isVectorSet(row.push))
                bobBody()->addForce(toPhys(row.push));
            else if (isVectorSet(row.push))
                bobBody()->addTorque(toPhys(row.push));
            frame();
        }
        row.check(*this);
        smgr()->clear();
        manager->rebuildNodeIDs();
    }
}

TEST_F(JointObjectTest, ADistanceJointTakesItsMinimumAndMaximum) {
    JointObject* j = hanging("Distance", [](Attributes* a) {
        a->addVector2d("MinMaxDistance", core::vector2df(2, 3));
        a->addFloat("JointSpring", 5.0f);
        a->addFloat("JointDamping", 2.0f);
    });
    frames(2);
    auto* distance = static_cast<phys::DistanceJoint*>(j->getJoint());
    ASSERT_NE(distance, nullptr);
    EXPECT_FLOAT_EQ(distance->getMinDistance(), 2.0f);
    EXPECT_FLOAT_EQ(distance->getMaxDistance(), 3.0f);
    EXPECT_NE(distance->getDistanceJointFlags() & phys::DistanceMaxEnabled, 0u);
    EXPECT_FLOAT_EQ(distance->getSpring(), 5.0f);
    EXPECT_FLOAT_EQ(distance->getDamping(), 2.0f);
    // A maximum not above the minimum is not given to the joint.
    j->MinMaxDistance = core::vector2df(2, 2);
    j->createJoint();
    distance = static_cast<phys::DistanceJoint*>(j->getJoint());
    ASSERT_NE(distance, nullptr);
    EXPECT_FLOAT_EQ(distance->getMinDistance(), 2.0f);
    EXPECT_NE(distance->getMaxDistance(), 2.0f);
}

TEST_F(JointObjectTest, AD6JointSetsTheLimitsAndDrivesItsMotionsAskFor) {
    constexpr f32 degrees = 0.017453292f;
    JointObject* j = hanging("D6", [](Attributes* a) {
        for (const char* axis : {"X", "Y", "Swing2"})
            a->addEnum(axis, "Locked", JointObject::motionNames);
        a->addEnum("Z", "Limited", JointObject::motionNames);
        a->addEnum("Swing1", "Limited", JointObject::motionNames);
        a->addEnum("Twist", "Free", JointObject::motionNames);
        a->addFloat("LinearLimit", 2.0f);
        a->addFloat("JointSpring", 4.0f);
        a->addFloat("JointDamping", 3.0f);
        a->addVector2d("SwingLimitPair", core::vector2df(0, 30)); // one angle 0: no cone
        a->addVector2d("TwistLimitPair", core::vector2df(-20, 20)); // twist free: no limit
        a->addVector3d("TwistDrive", core::vector3df(0, 5, 100));  // damping only
    });
    frames(2);
    auto* d6 = static_cast<phys::D6Joint*>(j->getJoint());
    ASSERT_NE(d6, nullptr);
    EXPECT_FALSE(logged("ERROR: Joint limit invalid for JointObject: "));
    EXPECT_FLOAT_EQ(d6->getLinearLimit().value, 2.0f);
    EXPECT_FLOAT_EQ(d6->getLinearLimit().spring, 4.0f);
    EXPECT_FLOAT_EQ(d6->getLinearLimit().damping, 3.0f);
    EXPECT_NE(d6->getSwingLimit().zAngle, 30.0f * degrees);
    EXPECT_NE(d6->getTwistLimit().upper, 20.0f * degrees);
    EXPECT_FLOAT_EQ(d6->getDrive(phys::D6Drive::Twist).damping, 5.0f);
    EXPECT_FLOAT_EQ(d6->getDrive(phys::D6Drive::Twist).forceLimit, 100.0f);

    // Either swing axis limited asks for the cone.
    JointObject* second = hanging("D6", [](Attributes* a) {
        a->addEnum("Swing1", "Free", JointObject::motionNames);
        a->addEnum("Swing2", "Limited", JointObject::motionNames);
        a->addVector2d("SwingLimitPair", core::vector2df(20, 30));
    });
    frames(2);
    auto* cone = static_cast<phys::D6Joint*>(second->getJoint());
    ASSERT_NE(cone, nullptr);
    EXPECT_FLOAT_EQ(cone->getSwingLimit().yAngle, 20.0f * degrees);
    EXPECT_FLOAT_EQ(cone->getSwingLimit().zAngle, 30.0f * degrees);
}

TEST_F(JointObjectTest, EachDriveRecordReachesItsOwnDriveWithItsAccelerationSwitch) {
    const char* const driveKeys[6] = {"XDrive", "YDrive", "ZDrive", "TwistDrive", "SwingDrive", "SlerpDrive"};
    const char* const accelKeys[6] = {"XAccel", "YAccel", "ZAccel", "TwistAccel", "SwingAccel", "SlerpAccel"};
    const phys::D6Drive slots[6] = {phys::D6Drive::X,     phys::D6Drive::Y,     phys::D6Drive::Z,
                                    phys::D6Drive::Twist, phys::D6Drive::Swing, phys::D6Drive::Slerp};
    JointObject* j = hanging("D6", [&](Attributes* a) {
        for (int i = 0; i < 6; ++i) {
            a->addVector3d(driveKeys[i], core::vector3df(10.0f + i, 20.0f + i, 30.0f + i));
            a->addBool(accelKeys[i], i % 2 == 1);
        }
    });
    frames(2);
    auto* d6 = static_cast<phys::D6Joint*>(j->getJoint());
    ASSERT_NE(d6, nullptr);
    for (int i = 0; i < 6; ++i) {
        const phys::D6JointDrive drive = d6->getDrive(slots[i]);
        EXPECT_FLOAT_EQ(drive.spring, 10.0f + i) << driveKeys[i];
        EXPECT_FLOAT_EQ(drive.damping, 20.0f + i) << driveKeys[i];
        EXPECT_FLOAT_EQ(drive.forceLimit, 30.0f + i) << driveKeys[i];
        EXPECT_EQ((drive.flags & phys::D6DriveAcceleration) != 0, i % 2 == 1) << accelKeys[i];
    }
}

TEST_F(JointObjectTest, EitherBreakLimitStandsInForTheOtherAndEitherStopsTheBodiesAtTheBuild) {
    for (bool forceGiven : {true, false}) {
        JointObject* j = hanging("Fixed", [&](Attributes* a) { a->addFloat(forceGiven ? "BreakForce" : "BreakTorque", 500.0f); });
        frames(2);
        ASSERT_NE(j->getJoint(), nullptr);
        bobBody()->setLinearVelocity(phys::Vec3(3, 0, 0));
        j->createJoint();
        EXPECT_EQ(bobBody()->getLinearVelocity(), phys::Vec3()) << forceGiven;
        j->applyBreakForce();
        f32 force = 0.0f, torque = 0.0f;
        j->getJoint()->getBreakForce(force, torque);
        EXPECT_FLOAT_EQ(force, 500.0f) << forceGiven;
        EXPECT_FLOAT_EQ(torque, 500.0f) << forceGiven;
        smgr()->clear();
        manager->rebuildNodeIDs();
    }
}

TEST_F(JointObjectTest, ACopyCarriesItsKindLimitsAndMarkers) {
    JointObject* j = joint(501, 502, "Distance", [](Attributes* a) {
        a->addVector2d("MinMaxDistance", core::vector2df(1, 4));
        a->addFloat("BreakForce", 300.0f);
    });
    auto* copy = static_cast<JointObject*>(j->clone());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->JointType, JointObject::Distance);
    EXPECT_EQ(copy->MinMaxDistance, core::vector2df(1, 4));
    EXPECT_FLOAT_EQ(copy->BreakForce, 300.0f);
    EXPECT_EQ(copy->ObjectID1, 501);
    EXPECT_EQ(copy->ObjectID2, 502);
    EXPECT_FALSE(copy->CollideJointedObjects);
}

TEST_F(JointObjectTest, JointedBodiesCollideOnlyWhenAsked) {
    JointObject* j = hanging("Spherical");
    frames(2);
    for (bool collide : {false, true}) {
        j->CollideJointedObjects = collide;
        j->createJoint();
        ASSERT_NE(j->getJoint(), nullptr);
        EXPECT_EQ((j->getJoint()->getConstraintFlags() & phys::ConstraintCollisionEnabled) != 0, collide) << collide;
    }
}

TEST_F(JointObjectTest, AJointBuiltLaterGetsItsBreakLimitsASecondAfterItIsBuilt) {
    JointObject* j = hanging("Fixed", [](Attributes* a) {
        a->addFloat("BreakForce", 500.0f);
        a->addBool("JointEnabled", false);
    });
    frames(90);
    ASSERT_EQ(j->getJoint(), nullptr) << "disabled: not built";
    j->createJoint();
    ASSERT_TRUE(j->isJointLive());
    for (int i = 0; i < 90 && j->isJointLive(); ++i) {
        bobBody()->addForce(phys::Vec3(0, -20000, 0));
        frame();
    }
    EXPECT_FALSE(j->isJointLive());
}

TEST_F(JointObjectTest, ABreakForceBreaksUnderALoadAfterOneSecond) {
    JointObject* j = hanging("Fixed", [](Attributes* a) { a->addFloat("BreakForce", 500.0f); });
    frames(2);
    ASSERT_TRUE(j->isJointLive());
    for (int i = 0; i < 50; ++i) { // under a second: no limits yet
        bobBody()->addForce(phys::Vec3(0, -2000, 0));
        frame();
    }
    EXPECT_TRUE(j->isJointLive());
    for (int i = 0; i < 30; ++i) {
        bobBody()->addForce(phys::Vec3(0, -20000, 0));
        frame();
    }
    EXPECT_FALSE(j->isJointLive());
    EXPECT_NE(j->getJoint(), nullptr); // kept until released
    Attributes* out = newAttributes();
    j->serializeAttributes(out);
    EXPECT_FALSE(out->getAttributeAsBool("JointEnabled"));
    out->drop();
}

TEST_F(JointObjectTest, BodyChecksAndLimitTestsAreLogged) {
    // Two static bodies.
    anchor = box("A", core::vector3df(0, 10, 0), "Static");
    PhysicsObject* other = box("B", core::vector3df(3, 10, 0), "Static");
    marker(anchor, 601, {});
    marker(other, 602, {});
    JointObject* both = joint(601, 602, "Fixed");
    manager->rebuildNodeIDs();
    frame();
    EXPECT_TRUE(logged("ERROR: JointObject cannot joint 2 static bodies: "));
    EXPECT_EQ(both->getJoint(), nullptr);
    // The default revolute pair (45, 45) fails its test: logged, the joint turns freely.
    log.lines.clear();
    JointObject* free = hanging("Revolute");
    frame();
    EXPECT_TRUE(logged("ERROR: Joint limit invalid for JointObject: "));
    ASSERT_NE(free->getJoint(), nullptr);
    EXPECT_EQ(static_cast<phys::RevoluteJoint*>(free->getJoint())->getRevoluteJointFlags() & phys::RevoluteLimitEnabled,
              0u);
}

TEST_F(JointObjectTest, ReleaseRebuildAndBodiesGoingFirst) {
    JointObject* j = hanging("Spherical");
    frames(2);
    ASSERT_NE(j->getJoint(), nullptr);
    EXPECT_EQ(bob->body().joints.size(), 1u);
    j->createJoint(); // a rebuild leaves one joint
    ASSERT_NE(j->getJoint(), nullptr);
    EXPECT_EQ(bob->body().joints.size(), 1u);
    // The body's switch to kinematic and back rebuilds the joint.
    bob->applyKinematicChange(true);
    EXPECT_TRUE(j->isJointLive());
    bob->applyKinematicChange(false);
    EXPECT_TRUE(j->isJointLive());
    j->releaseJoint();
    EXPECT_EQ(j->getJoint(), nullptr);
    EXPECT_FALSE(j->JointEnabled);
    EXPECT_EQ(bob->body().joints.size(), 0u);
    j->createJoint();
    EXPECT_TRUE(j->JointEnabled);
    // The body goes first: the joint forgets it, the rebuild does nothing, and the joint
    // object goes later without harm.
    bob->remove();
    frames(2);
    j->createJoint();
    j->remove();
    frames(2);
}

// The player's body answers for each of its segments with a body of the test's.
class SegmentedPlayer : public test::StubPlayer {
public:
    using StubPlayer::StubPlayer;
    void* getSegmentActor(s32 segment) override { return segment == 3 ? hand : torso; }
    phys::RigidActor* hand = nullptr;
    phys::RigidActor* torso = nullptr;
};

// A marker on the level information stands for the player: the joint holds the body of the
// player's segment the marker names. Without a player there is nothing to join.
TEST_F(JointObjectTest, AMarkerOnTheLevelInformationJoinsTheSegmentOfThePlayerItNames) {
    // The player's body comes first in the scene, as a level's player does.
    auto* player = new SegmentedPlayer(root(), smgr(), -1);
    player->drop();
    anchor = box("Anchor", core::vector3df(0, 10, 0), "Static");
    PhysicsObject* hand = box("Hand", core::vector3df(0, 6, 0), "Dynamic");
    PhysicsObject* torso = box("Torso", core::vector3df(5, 6, 0), "Dynamic");
    auto* info = new LevelInfo(root(), smgr(), -1);
    info->drop();
    marker(anchor, 701, core::vector3df(0, -1, 0));
    marker(info, 702, core::vector3df(0, 7, 0))->SegmentID = 3;
    JointObject* held = joint(701, 702, "Spherical");
    manager->rebuildNodeIDs();
    frame();
    EXPECT_EQ(held->getJoint(), nullptr) << "no player yet";

    player->hand = hand->getActor();
    player->torso = torso->getActor();
    setPlayer(0, player);
    JointObject* again = joint(701, 702, "Spherical");
    frame();
    ASSERT_NE(again->getJoint(), nullptr);
    phys::RigidActor* first = nullptr;
    phys::RigidActor* second = nullptr;
    again->getJoint()->getActors(first, second);
    EXPECT_EQ(first, anchor->getActor());
    EXPECT_EQ(second, hand->getActor()) << "segment 3";
    // Named the other way round, the anchor still knows the joint that holds it.
    EXPECT_EQ(anchor->body().joints.size(), 1u);
    JointObject* reversed = joint(702, 701, "Spherical");
    frame();
    ASSERT_NE(reversed->getJoint(), nullptr);
    EXPECT_EQ(anchor->body().joints.size(), 2u);
    // A level unload forgets the players, then clears the scene: the player's body goes
    // first, and neither the anchor going nor the joint going may look at it.
    clearPlayers();
    smgr()->clear();
}

// A rebuild replaces the library joint: once released, nothing holds the bob any more,
// however often the joint was built.
TEST_F(JointObjectTest, ARebuiltJointLeavesNoOldJointHoldingTheBodies) {
    for (int rebuilds : {0, 1, 2}) {
        SCOPED_TRACE(rebuilds);
        JointObject* j = hanging("Spherical");
        frames(2);
        ASSERT_NE(j->getJoint(), nullptr);
        for (int i = 0; i < rebuilds; ++i)
            j->createJoint();
        frames(20);
        EXPECT_NEAR(bobPosition().Y, 8.0f, 0.1f) << "held while the joint is live";
        j->releaseJoint();
        frames(20);
        EXPECT_LT(bobPosition().Y, 7.0f) << "falls once released";
        j->remove();
        anchor->remove();
        bob->remove();
        frames(2);
    }
}

} // namespace
