// Body operations of physics objects: their effect on simulated bodies of each physics
// state (pose, velocity, collision flags, mass, material), and the None bound.
#include "PhysicsObjectFixture.h"

#include "physics/world/PhysicsFiltering.h"

#include "core/Globals.h"

#include "support/StubPlayer.h"

using namespace irr;

namespace {

using Attributes = io::IAttributes;

std::function<void(Attributes*)> operationBox(const char* state, const char* bound = "Box") {
    return [state, bound](Attributes* a) {
        a->addString("Name", "Operated");
        a->addVector3d("Position", core::vector3df(0, 5, 0));
        a->addEnum("BoundType", bound, boundTypeNames);
        a->addVector3d("BoxExtents", core::vector3df(1, 1, 1));
        a->addFloat("Radius", 0.5f);
        a->addEnum("PhysicsState", state, physicsStateNames);
    };
}

// A player that counts the objects it is told to let go.
class ReleasingPlayer : public test::StubPlayer {
public:
    using StubPlayer::StubPlayer;
    void releaseObject(scene::ISceneNode*, s32 code, bool) override {
        ++releases;
        lastCode = code;
    }
    int releases = 0;
    s32 lastCode = -1;
};

class PhysicsBodyOperationsTest : public PhysicsObjectFixture {
protected:
    void TearDown() override {
        clearPlayers();
        PhysicsObjectFixture::TearDown();
    }
    phys::RigidDynamic* dynamicOf(PhysicsObject* object) { return object->getActor()->asRigidDynamic(); }
};

TEST_F(PhysicsBodyOperationsTest, TeleportingATumblingBodyStopsItAtThePlaceKeepingItsRotation) {
    PhysicsObject* object = makeObject(operationBox("Dynamic"));
    phys::RigidDynamic* body = dynamicOf(object);
    body->setAngularVelocity(phys::Vec3(3, 1, 0));
    body->setLinearVelocity(phys::Vec3(4, 2, 0));
    frames(10);
    const phys::Quat before = body->getGlobalPose().q;
    object->teleport(core::vector3df(7, 8, 9));
    EXPECT_EQ(body->getGlobalPose().p, phys::Vec3(7, 8, 9));
    EXPECT_EQ(body->getGlobalPose().q, before);
    EXPECT_EQ(body->getLinearVelocity(), phys::Vec3());
    EXPECT_EQ(body->getAngularVelocity(), phys::Vec3());
}

TEST_F(PhysicsBodyOperationsTest, TeleportingMovesAKinematicNodeAtOnceAndItsBodyOnTheNextFrame) {
    PhysicsObject* object = makeObject(operationBox("Kinematic"));
    frames(2);
    object->teleport(core::vector3df(3, 4, 5));
    EXPECT_EQ(object->getAbsolutePosition(), core::vector3df(3, 4, 5));
    EXPECT_NEAR(dynamicOf(object)->getGlobalPose().p.x, 0.0f, 1e-5f) << "the body waits for the synchronisation";
    frames(2);
    EXPECT_NEAR(dynamicOf(object)->getGlobalPose().p.x, 3.0f, 1e-4f);
}

TEST_F(PhysicsBodyOperationsTest, TeleportingAStaticObjectChangesNothingAndSaysSo) {
    PhysicsObject* object = makeObject(operationBox("Static"));
    object->teleport(core::vector3df(3, 4, 5));
    EXPECT_EQ(object->getActor()->getGlobalPose().p, phys::Vec3(0, 5, 0));
    EXPECT_EQ(object->getAbsolutePosition(), core::vector3df(0, 5, 0));
    EXPECT_TRUE(log.contains("ERROR: Trying to teleport static PhysicsObject."));
}

TEST_F(PhysicsBodyOperationsTest, ABodilessObjectIsMovedAndTurnedThroughItsNode) {
    PhysicsObject* object = makeObject(operationBox("Dynamic", "None"));
    ASSERT_EQ(object->getActor(), nullptr);
    object->teleport(core::vector3df(1, 2, 3));
    object->setBodyRotation(phys::Quat(), core::vector3df(0, 90, 0));
    EXPECT_EQ(object->getPosition(), core::vector3df(1, 2, 3));
    EXPECT_EQ(object->getRotation(), core::vector3df(0, 90, 0));
}

TEST_F(PhysicsBodyOperationsTest, TeleportingAHeldObjectMakesThePlayerLetGoUnlessItCanBeHungFrom) {
    auto* player = new ReleasingPlayer(root(), smgr(), -1);
    player->drop();
    setPlayer(0, player);
    PhysicsObject* object = makeObject(operationBox("Dynamic"));
    object->holdCount = 1;
    object->teleport(core::vector3df(0, 6, 0));
    EXPECT_EQ(player->releases, 1);
    EXPECT_EQ(player->lastCode, 4);
    object->CanHangFrom = true;
    object->teleport(core::vector3df(0, 7, 0));
    EXPECT_EQ(player->releases, 1);
}

TEST_F(PhysicsBodyOperationsTest, RotatingADynamicBodyStopsItsSpinAndAnInvalidRotationKeepsItsTurn) {
    PhysicsObject* object = makeObject(operationBox("Dynamic"));
    phys::RigidDynamic* body = dynamicOf(object);
    body->setLinearVelocity(phys::Vec3(1, 0, 0));
    body->setAngularVelocity(phys::Vec3(0, 5, 0));
    const phys::Quat quarter = eulerDegreesToQuat(core::vector3df(0, 90, 0));
    object->setBodyRotation(quarter, core::vector3df(0, 90, 0));
    EXPECT_EQ(body->getGlobalPose().q, quarter);
    EXPECT_EQ(body->getAngularVelocity(), phys::Vec3());
    EXPECT_EQ(body->getLinearVelocity(), phys::Vec3(1, 0, 0)) << "linear velocity stays";
    body->setAngularVelocity(phys::Vec3(0, 5, 0));
    object->setBodyRotation(phys::Quat(0, 0, 0, 2), core::vector3df());
    EXPECT_EQ(body->getGlobalPose().q, quarter);
    EXPECT_EQ(body->getAngularVelocity(), phys::Vec3()) << "cleared even so";

    PhysicsObject* kinematic = makeObject(operationBox("Kinematic"));
    kinematic->setBodyRotation(phys::Quat(), core::vector3df(0, 30, 0));
    EXPECT_NEAR(kinematic->getAbsoluteTransformation().getRotationDegrees().Y, 30.0f, 0.01f);
}

TEST_F(PhysicsBodyOperationsTest, CollisionSwitchesShapeFlagsAndSleepButAForcedOffBodyStaysWithout) {
    PhysicsObject* object = makeObject(operationBox("Dynamic"));
    phys::RigidDynamic* body = dynamicOf(object);
    object->setCollisionEnabled(false);
    EXPECT_FALSE(object->isCollisionEnabled());
    EXPECT_EQ(object->getFirstShape()->getFlags() & (phys::ShapeSimulation | phys::ShapeSceneQuery), 0u);
    EXPECT_TRUE(body->isSleeping());
    object->setCollisionEnabled(true);
    EXPECT_TRUE(object->isCollisionEnabled());
    EXPECT_NE(object->getFirstShape()->getFlags() & phys::ShapeSceneQuery, 0u);
    EXPECT_FALSE(body->isSleeping());

    object->setCollisionEnabled(false);
    object->body().collisionForcedOff = true;
    object->setCollisionEnabled(true);
    EXPECT_FALSE(object->isCollisionEnabled());
    EXPECT_EQ(object->getFirstShape()->getFlags() & phys::ShapeSceneQuery, 0u);
    EXPECT_FALSE(body->isSleeping()) << "woken all the same";
    EXPECT_NEAR(body->getWakeCounter(), 0.4f, 1e-6f);
}

TEST_F(PhysicsBodyOperationsTest, ForcesAndTorquesAreQueuedForTheNextStep) {
    PhysicsObject* object = makeObject([](Attributes* a) {
        operationBox("Dynamic")(a);
        a->addBool("DisableGravity", true);
    });
    frame();
    // Inside the update, as trigger actions call it: after the fetch, before the next step.
    physics->endStep();
    physics->updateStepCount(PhysicsManager::fixedStepSize);
    object->addForceAndTorque(core::vector3df(0, 0, 3), core::vector3df(0, 2, 0), phys::ForceMode::VelocityChange,
                              phys::ForceMode::VelocityChange, false);
    EXPECT_EQ(physics->getImpulseForces().size(), 1u);
    EXPECT_EQ(physics->getImpulseTorques().size(), 1u);
    EXPECT_EQ(dynamicOf(object)->getLinearVelocity(), phys::Vec3()) << "not before the step";
    physics->beginStep();
    physics->endStep();
    EXPECT_NEAR(dynamicOf(object)->getLinearVelocity().z, 3.0f, 0.01f);
    EXPECT_NEAR(dynamicOf(object)->getAngularVelocity().y, 2.0f, 0.1f);
}

TEST_F(PhysicsBodyOperationsTest, VelocityScalesOnlyOnDynamicBodies) {
    PhysicsObject* object = makeObject(operationBox("Dynamic"));
    dynamicOf(object)->setLinearVelocity(phys::Vec3(2, 4, 6));
    object->scaleLinearVelocity(0.5f);
    EXPECT_EQ(dynamicOf(object)->getLinearVelocity(), phys::Vec3(1, 2, 3));
    PhysicsObject* kinematic = makeObject(operationBox("Kinematic"));
    const phys::Vec3 before = dynamicOf(kinematic)->getLinearVelocity();
    kinematic->scaleLinearVelocity(0.5f);
    EXPECT_EQ(dynamicOf(kinematic)->getLinearVelocity(), before);
}

TEST_F(PhysicsBodyOperationsTest, CopyingVelocitiesTakesBothTheLinearAndTheAngular) {
    PhysicsObject* copy = makeObject(operationBox("Dynamic"));
    PhysicsObject* source = makeObject(operationBox("Dynamic"));
    dynamicOf(source)->setLinearVelocity(phys::Vec3(1, 2, 3));
    dynamicOf(source)->setAngularVelocity(phys::Vec3(0, 4, 0));
    copy->copyVelocities(source);
    EXPECT_EQ(dynamicOf(copy)->getLinearVelocity(), phys::Vec3(1, 2, 3));
    EXPECT_EQ(dynamicOf(copy)->getAngularVelocity(), phys::Vec3(0, 4, 0));
}

TEST_F(PhysicsBodyOperationsTest, MassKeepsTheComputedInertiaUnlessATensorIsSet) {
    PhysicsObject* object = makeObject(operationBox("Dynamic"));
    object->setMass(5.0f);
    EXPECT_FLOAT_EQ(object->body().Mass, 5.0f);
    EXPECT_FLOAT_EQ(dynamicOf(object)->getMass(), 5.0f);
    // A unit cube of mass 5: m (1 + 1) / 12 about each axis.
    const phys::Vec3 computed = dynamicOf(object)->getMassSpaceInertiaTensor();
    EXPECT_NEAR(computed.x, 5.0f / 6.0f, 1e-4f);
    object->body().InertiaTensor = core::vector3df(1, 2, 3);
    object->setMass(5.0f);
    EXPECT_EQ(dynamicOf(object)->getMassSpaceInertiaTensor(), phys::Vec3(1, 2, 3));

    PhysicsObject* bodiless = makeObject(operationBox("Dynamic", "None"));
    bodiless->setMass(2.0f);
    EXPECT_FLOAT_EQ(bodiless->body().Mass, 2.0f) << "stored without an actor";
}

TEST_F(PhysicsBodyOperationsTest, TheMaterialChangesOnlyTheObjectsOwnShapesOfASharedActor) {
    PhysicsObject* parent = makeObject(operationBox("Dynamic"));
    makeObject(
        [](Attributes* a) {
            a->addString("Name", "Knob");
            a->addVector3d("Position", core::vector3df(0, 1, 0));
            a->addEnum("BoundType", "Sphere", boundTypeNames);
            a->addFloat("Radius", 0.25f);
            a->addEnum("PhysicsState", "Dynamic", physicsStateNames);
        },
        parent);
    ASSERT_EQ(parent->getActor()->getNbShapes(), 2u);
    phys::Shape* shapes[2] = {};
    parent->getActor()->getShapes(shapes, 2);
    phys::Material* childBefore = nullptr;
    shapes[1]->getMaterials(&childBefore, 1);
    parent->body().Friction = 0.9f;
    parent->body().Restitution = 0.3f;
    parent->updatePhysicsMaterial();
    phys::Material* material = nullptr;
    shapes[0]->getMaterials(&material, 1);
    EXPECT_FLOAT_EQ(material->getStaticFriction(), 0.9f);
    EXPECT_FLOAT_EQ(material->getDynamicFriction(), 0.9f);
    EXPECT_FLOAT_EQ(material->getRestitution(), 0.3f);
    phys::Material* childAfter = nullptr;
    shapes[1]->getMaterials(&childAfter, 1);
    EXPECT_EQ(childAfter, childBefore);
}

TEST_F(PhysicsBodyOperationsTest, TheMeshNodeIsCentredOnBoxBoundsAndAtTheOriginOtherwise) {
    for (const char* bound : {"Box", "Sphere", "Capsule", "Cylinder"}) {
        PhysicsObject* object = makeObject([bound](Attributes* a) {
            operationBox("Static", bound)(a);
            a->addString("MeshFileName", "Content/Models/Props/Rock.obj"); // its bounds off the origin
        });
        ASSERT_NE(object->getMeshNode(), nullptr);
        ASSERT_NE(object->getMeshNode()->getMesh()->getBoundingBox().getCenter(), core::vector3df());
        object->getMeshNode()->setPosition(core::vector3df(4, 4, 4));
        object->centerMeshNode();
        const core::aabbox3df& box = object->getMeshNode()->getMesh()->getBoundingBox();
        const core::vector3df expected =
            std::string(bound) == "Box" ? -(box.MinEdge + box.MaxEdge) * 0.5f : core::vector3df();
        EXPECT_EQ(object->getMeshNode()->getPosition(), expected) << bound;
    }
}

} // namespace
