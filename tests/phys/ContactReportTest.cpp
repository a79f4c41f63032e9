#include "PhysTestScene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace phys::test {
namespace {

TEST(ContactReports, LandingBoxTouchesOncePersistsWhileAwakeAndLosesOnceWhenLifted) {
    PhysScene s;
    RigidDynamic* box = s.addBox(Vec3(0, 1.0f, 0), Vec3(0.5f), 10.0f);
    Shape* boxShape = firstShape(*box);
    bool touched = false;
    int awakeSteps = 0;
    for (int i = 0; i < 5 * StepsPerSecond && !box->isSleeping(); ++i) {
        s.events.clear();
        s.step();
        const int persists = s.events.count(boxShape, s.groundShape, PairNotifyTouchPersists);
        if (touched && !box->isSleeping()) {
            EXPECT_EQ(persists, 1) << "step " << i;
            ++awakeSteps;
        }
        touched = touched || s.events.count(boxShape, s.groundShape, PairNotifyTouchFound) == 1;
        EXPECT_EQ(s.events.count(boxShape, s.groundShape, PairNotifyTouchLost), 0);
    }
    ASSERT_TRUE(touched);
    ASSERT_TRUE(box->isSleeping());
    EXPECT_GT(awakeSteps, 5);

    s.events.clear();
    s.step(30);
    EXPECT_TRUE(s.events.contacts.empty()) << "nothing is reported while the box sleeps";

    box->setGlobalPose(Transform(Vec3(0, 5, 0)));
    s.step();
    EXPECT_EQ(s.events.count(boxShape, s.groundShape, PairNotifyTouchLost), 1);
    EXPECT_EQ(s.events.count(boxShape, s.groundShape, PairNotifyTouchFound), 0);
    s.step(5);
    EXPECT_EQ(s.events.count(boxShape, s.groundShape, PairNotifyTouchLost), 1);
}

FilterFlags beginAndEndShader(FilterObjectAttributes, FilterData, FilterObjectAttributes, FilterData,
                              PairFlags& pairFlags, const void*, uint32_t) {
    pairFlags = PairSolveContact | PairNotifyTouchFound | PairNotifyTouchLost | PairNotifyContactPoints;
    return FilterDefault;
}

// Without persisting reports a resting pair is quiet between the step its touch begins
// (with points) and the step it ends, for a body of one shape and for a compound.
TEST(ContactReports, WithoutPersistingReportsATouchIsHeardWhereItBeginsAndEnds) {
    for (const bool compound : {false, true}) {
        SceneOptions options;
        options.shader = beginAndEndShader;
        PhysScene s(options);
        RigidDynamic* box = s.addBox(Vec3(0, 1.0f, 0), Vec3(0.5f), 10.0f);
        if (compound)
            box->createShape(BoxGeometry(0.5f, 0.5f, 0.5f), *s.material, Transform(Vec3(3, 0, 0)));
        Shape* boxShape = firstShape(*box);
        int found = 0, persists = 0, lost = 0, awakeSteps = 0;
        for (int i = 0; i < 5 * StepsPerSecond && !box->isSleeping(); ++i, ++awakeSteps) {
            s.events.clear();
            s.step();
            for (const RecordedContact& c : s.events.contacts) {
                if (c.shapes[0] != boxShape && c.shapes[1] != boxShape)
                    continue;
                found += (c.events & PairNotifyTouchFound) != 0;
                persists += (c.events & PairNotifyTouchPersists) != 0;
                lost += (c.events & PairNotifyTouchLost) != 0;
                if (c.events & PairNotifyTouchFound) {
                    EXPECT_FALSE(c.points.empty()) << "compound " << compound;
                }
            }
        }
        ASSERT_TRUE(box->isSleeping()) << "compound " << compound;
        EXPECT_GT(awakeSteps, 5);
        EXPECT_EQ(found, 1) << "compound " << compound;
        EXPECT_EQ(persists, 0) << "compound " << compound;
        EXPECT_EQ(lost, 0) << "compound " << compound;

        s.events.clear();
        box->setGlobalPose(Transform(Vec3(0, 5, 0)));
        s.step();
        EXPECT_EQ(s.events.count(boxShape, s.groundShape, PairNotifyTouchLost), 1) << "compound " << compound;
        for (const RecordedContact& c : s.events.contacts)
            if (c.events & PairNotifyTouchLost) {
                EXPECT_TRUE(c.points.empty()) << "a lost touch has no points";
            }
    }
}

// Persisting reports only for shapes whose word2 asks for them.
FilterFlags persistsOnAskShader(FilterObjectAttributes, FilterData d0, FilterObjectAttributes, FilterData d1,
                                PairFlags& pairFlags, const void*, uint32_t) {
    pairFlags = PairSolveContact | PairNotifyTouchFound | PairNotifyTouchLost;
    if ((d0.word2 | d1.word2) & 1)
        pairFlags |= PairNotifyTouchPersists;
    return FilterDefault;
}

// A resting touch that reports nothing while it lasts starts reporting that it persists
// from the step after new filter data asks for it, and stops when they no longer do.
TEST(ContactReports, PersistingReportsSwitchedOnAndOffDuringATouchFollowTheFilter) {
    SceneOptions options;
    options.shader = persistsOnAskShader;
    PhysScene s(options);
    RigidDynamic* box = s.addBox(Vec3(0, 0.52f, 0), Vec3(0.5f), 10.0f);
    Shape* boxShape = firstShape(*box);
    box->wakeUp(10.0f); // awake throughout: its pair is looked at every step
    s.step(10);
    ASSERT_EQ(s.events.count(boxShape, s.groundShape, PairNotifyTouchFound), 1);
    for (const bool asked : {true, false, true}) {
        boxShape->setSimulationFilterData(FilterData(0, 0, asked ? 1u : 0u, 0));
        s.events.clear();
        s.step(5);
        ASSERT_FALSE(box->isSleeping());
        EXPECT_EQ(s.events.count(boxShape, s.groundShape, PairNotifyTouchPersists), asked ? 5 : 0) << asked;
        EXPECT_EQ(s.events.count(boxShape, s.groundShape, PairNotifyTouchFound), 0) << asked;
        EXPECT_EQ(s.events.count(boxShape, s.groundShape, PairNotifyTouchLost), 0) << asked;
    }
}

TEST(ContactReports, RestingBoxImpulsesCarryItsWeightAndNormalsPointFromShapeOneToShapeZero) {
    PhysScene s;
    RigidDynamic* box = s.addBox(Vec3(0, 0.51f, 0), Vec3(0.5f), 10.0f);
    Shape* boxShape = firstShape(*box);
    s.step(20);
    ASSERT_FALSE(box->isSleeping());
    s.events.clear();
    s.step();
    ASSERT_EQ(s.events.contacts.size(), 1u);
    const RecordedContact& c = s.events.contacts[0];
    ASSERT_FALSE(c.points.empty());
    Vec3 impulse;
    const float up = c.shapes[0] == boxShape ? 1.0f : -1.0f;
    for (const ContactPairPoint& p : c.points) {
        impulse += p.impulse;
        EXPECT_GT(p.normal.y * up, 0.99f) << "normal from the other shape towards shape 0";
        EXPECT_EQ(p.internalFaceIndex0, 0xFFFFFFFFu);
    }
    // The impulse on shape 0 along its normal, per step, holds the box up: m g.
    const float force = impulse.y * up / StepTime;
    EXPECT_NEAR(force, 10.0f * 55.0f, 0.1f * 10.0f * 55.0f);
}

class CapacityProbe : public RecordingEvents {
public:
    void onContact(const ContactPairHeader& header, const ContactPair* pairs, uint32_t count) override {
        for (uint32_t i = 0; i < count; ++i) {
            ContactPairPoint buffer[4];
            buffer[2].separation = buffer[3].separation = 12345.0f;
            written = pairs[i].extractContacts(buffer, 2);
            available = pairs[i].contactCount;
            guardIntact = buffer[2].separation == 12345.0f && buffer[3].separation == 12345.0f;
        }
        RecordingEvents::onContact(header, pairs, count);
        if (scene && !triedStep) {
            // A report is no place to step from: refused, and the step in hand goes on.
            triedStep = true;
            scene->simulate(StepTime);
            fetchedInside = scene->fetchResults(true);
        }
    }
    uint32_t written = 0, available = 0;
    bool guardIntact = true;
    Scene* scene = nullptr;
    bool triedStep = false;
    bool fetchedInside = true;
};

TEST(ContactReports, ExtractContactsStopsAtTheCapacity) {
    PhysScene s;
    CapacityProbe probe;
    SceneDesc desc(s.physics->getTolerancesScale());
    desc.gravity = Vec3(0, -55, 0);
    desc.dispatcher = s.dispatcher;
    desc.filterShader = reportingShader;
    desc.eventCallback = &probe;
    Scene* scene = s.physics->createScene(desc);
    RigidStatic* ground = s.physics->createRigidStatic(Transform(Vec3(0, -1, 0)));
    ground->createShape(BoxGeometry(50, 1, 50), *s.material);
    scene->addActor(*ground);
    RigidDynamic* box = s.physics->createRigidDynamic(Transform(Vec3(0, 0.51f, 0)));
    box->createShape(BoxGeometry(Vec3(0.5f)), *s.material);
    scene->addActor(*box);
    probe.scene = scene;
    for (int i = 0; i < 10; ++i) {
        scene->simulate(StepTime);
        scene->fetchResults(true);
    }
    EXPECT_TRUE(probe.triedStep);
    EXPECT_FALSE(probe.fetchedInside);
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidOperation), 1);
    EXPECT_NEAR(box->getGlobalPose().p.y, 0.5f, 0.02f) << "the steps around it went on";
    EXPECT_EQ(probe.available, 4u) << "a box resting on its face touches at its four corners";
    EXPECT_EQ(probe.written, 2u);
    EXPECT_TRUE(probe.guardIntact);
    scene->release();
}

TEST(ContactReports, CompoundOnAMultiPartMeshNamesTheTouchingChildAndTheMeshPartBelowIt) {
    SceneOptions options;
    options.ground = false;
    PhysScene s(options);
    // Mesh part A covers x < 0 with two triangles, part B covers x > 0 with four.
    const std::vector<Vec3> vertices = {Vec3(-10, 0, -10), Vec3(0, 0, -10), Vec3(0, 0, 10), Vec3(-10, 0, 10),
                                        Vec3(10, 0, -10),  Vec3(10, 0, 10), Vec3(5, 0, -10), Vec3(5, 0, 10)};
    RigidStatic* ground = s.addStaticMesh(vertices, {{0, 2, 1, 0, 3, 2}, {1, 7, 6, 1, 2, 7, 6, 5, 4, 6, 7, 5}});
    Shape* parts[2];
    ASSERT_EQ(ground->getShapes(parts, 2), 2u);

    // A compound whose lower child touches the ground; the upper one never does.
    RigidDynamic* body = s.physics->createRigidDynamic(Transform(Vec3(7.5f, 1.0f, 0)));
    Shape* lower = body->createShape(BoxGeometry(Vec3(0.5f)), *s.material);
    Shape* upper = body->createShape(BoxGeometry(Vec3(0.3f)), *s.material, Transform(Vec3(0, 1.0f, 0)));
    setMassAndUpdateInertia(*body, 10.0f);
    s.scene->addActor(*body);
    s.step(StepsPerSecond);

    EXPECT_NEAR(body->getGlobalPose().p.y, 0.5f, 0.02f);
    EXPECT_EQ(s.events.count(lower, parts[1], PairNotifyTouchFound), 1);
    EXPECT_EQ(s.events.count(lower, parts[0], PairNotifyTouchFound), 0);
    EXPECT_EQ(s.events.count(upper, parts[0], PairNotifyTouchFound | PairNotifyTouchPersists), 0);
    EXPECT_EQ(s.events.count(upper, parts[1], PairNotifyTouchFound | PairNotifyTouchPersists), 0);
    int points = 0;
    for (const RecordedContact& c : s.events.contacts) {
        for (const ContactPairPoint& p : c.points) {
            const uint32_t face = c.shapes[0] == parts[1] ? p.internalFaceIndex0 : p.internalFaceIndex1;
            // The body stands over the triangles of x in [5, 10]: original indices 2 and 3.
            EXPECT_TRUE(face == 2 || face == 3) << face;
            ++points;
        }
    }
    EXPECT_GT(points, 0);
}

TEST(ContactReports, EachTouchCarriesOnlyItsOwnPointsAndTheTriangleBelowThem) {
    SceneOptions options;
    options.ground = false;
    PhysScene s(options);
    // One mesh of two triangles: 0 covers z < x, 1 covers z > x (seen from above).
    RigidStatic* floor = s.addStaticMesh({Vec3(-10, 0, -10), Vec3(10, 0, -10), Vec3(10, 0, 10), Vec3(-10, 0, 10)},
                                         {{0, 2, 1, 0, 3, 2}});
    // Two boxes and a compound of two boxes side by side land in the same step.
    RigidDynamic* left = s.addBox(Vec3(-6, 0.6f, 3), Vec3(0.5f), 1.0f);
    RigidDynamic* right = s.addBox(Vec3(6, 0.6f, -3), Vec3(0.5f), 1.0f);
    RigidDynamic* pair = s.physics->createRigidDynamic(Transform(Vec3(0, 0.6f, 5)));
    pair->createShape(BoxGeometry(Vec3(0.5f)), *s.material, Transform(Vec3(1.5f, 0, 0)));
    pair->createShape(BoxGeometry(Vec3(0.5f)), *s.material, Transform(Vec3(-1.5f, 0, 0)));
    setMassAndUpdateInertia(*pair, 2.0f);
    s.scene->addActor(*pair);
    s.step(10);

    int checked = 0;
    for (const RecordedContact& c : s.events.contacts) {
        const int boxSide = c.shapes[0] == firstShape(*floor) ? 1 : 0;
        const Shape* box = c.shapes[boxSide];
        const Bounds3 under = box->getWorldBounds();
        for (const ContactPairPoint& p : c.points) {
            EXPECT_TRUE(p.position.x > under.minimum.x - 0.05f && p.position.x < under.maximum.x + 0.05f &&
                        p.position.z > under.minimum.z - 0.05f && p.position.z < under.maximum.z + 0.05f)
                << "a point of " << box << " at " << p.position.x << ", " << p.position.z;
            const uint32_t face = boxSide == 1 ? p.internalFaceIndex0 : p.internalFaceIndex1;
            EXPECT_EQ(face, p.position.z < p.position.x ? 0u : 1u) << p.position.x << ", " << p.position.z;
            ++checked;
        }
    }
    EXPECT_GE(checked, 16) << "four corners under each of the four boxes";
    Shape* parts[2];
    ASSERT_EQ(pair->getShapes(parts, 2), 2u);
    for (const Shape* box : {firstShape(*left), firstShape(*right), parts[0], parts[1]})
        EXPECT_EQ(s.events.count(box, firstShape(*floor), PairNotifyTouchFound), 1);
}

TEST(ContactReports, BoxSlidingOverAFineMeshFloorKeepsOneTouch) {
    SceneOptions options;
    options.ground = false;
    PhysScene s(options);
    // A floor of 1 x 1 quads, two triangles each: many inner edges to slide across.
    std::vector<Vec3> vertices;
    const int n = 30;
    for (int z = 0; z <= 4; ++z)
        for (int x = 0; x <= n; ++x)
            vertices.emplace_back(-5.0f + x, 0.0f, -2.0f + z);
    std::vector<uint32_t> indices;
    for (int z = 0; z < 4; ++z) {
        for (int x = 0; x < n; ++x) {
            const uint32_t i = static_cast<uint32_t>(z * (n + 1) + x);
            indices.insert(indices.end(), {i, i + n + 1, i + 1, i + 1, i + n + 1, i + n + 2});
        }
    }
    RigidStatic* floor = s.addStaticMesh(vertices, {indices});
    Material* ice = s.physics->createMaterial(0.0f, 0.0f, 0.0f);
    firstShape(*floor)->setMaterials(&ice, 1);
    RigidDynamic* box = s.addBox(Vec3(-4, 0.5f, 0.1f), Vec3(0.5f), 1.0f);
    firstShape(*box)->setMaterials(&ice, 1);
    s.step(10);
    box->setLinearVelocity(Vec3(8, 0, 0));
    float highest = 0.0f;
    for (int i = 0; i < StepsPerSecond * 3 / 2; ++i) {
        s.step();
        highest = std::max(highest, std::fabs(box->getLinearVelocity().y));
    }
    EXPECT_GT(box->getGlobalPose().p.x, 6.0f) << "slid across the floor";
    EXPECT_LT(highest, 1.0f) << "no bumps on inner edges";
    EXPECT_EQ(s.events.count(firstShape(*box), firstShape(*floor), PairNotifyTouchFound), 1);
    EXPECT_EQ(s.events.count(firstShape(*box), firstShape(*floor), PairNotifyTouchLost), 0);
}

// --- triggers -------------------------------------------------------------------------

struct TriggerScene {
    explicit TriggerScene(bool kinematicPairs = false) : s(options(kinematicPairs)) {
        trigger = s.physics->createRigidDynamic(Transform(Vec3(0, 5, 0)));
        triggerShape = trigger->createShape(BoxGeometry(Vec3(1.0f)), *s.material);
        triggerShape->setFlag(ShapeSimulation, false);
        triggerShape->setFlag(ShapeTrigger, true);
        trigger->setRigidDynamicFlag(RigidDynamicFlag::Kinematic, true);
        setMassAndUpdateInertia(*trigger, 1.0f);
        s.scene->addActor(*trigger);
    }
    // A ball resting on the ground inside the trigger volume, once found.
    RigidDynamic* ballInside() {
        trigger->setGlobalPose(Transform(Vec3(0, 0.5f, 0)));
        RigidDynamic* ball = s.addSphere(Vec3(0, 1.0f, 0), 0.3f, 1.0f);
        s.step(10);
        EXPECT_EQ(s.events.triggerCount(triggerShape, firstShape(*ball), PairNotifyTouchFound), 1);
        s.events.clear();
        return ball;
    }
    static SceneOptions options(bool kinematicPairs) {
        SceneOptions o;
        o.reportKinematicPairs = kinematicPairs;
        return o;
    }
    PhysScene s;
    RigidDynamic* trigger = nullptr;
    Shape* triggerShape = nullptr;
};

TEST(TriggerReports, BallFallingThroughIsFoundAndLostOnce) {
    TriggerScene t;
    RigidDynamic* ball = t.s.addSphere(Vec3(0, 9, 0), 0.3f, 1.0f);
    Shape* ballShape = firstShape(*ball);
    t.s.step(2 * StepsPerSecond);
    EXPECT_EQ(t.s.events.triggerCount(t.triggerShape, ballShape, PairNotifyTouchFound), 1);
    EXPECT_EQ(t.s.events.triggerCount(t.triggerShape, ballShape, PairNotifyTouchLost), 1);
    EXPECT_EQ(t.s.events.triggers.size(), 2u);
    EXPECT_NEAR(ball->getGlobalPose().p.y, 0.3f, 0.02f) << "the trigger does not stop the ball";
    for (const RecordedContact& c : t.s.events.contacts)
        EXPECT_NE(c.shapes[0] == t.triggerShape || c.shapes[1] == t.triggerShape, true);
}

TEST(TriggerReports, TwoTriggerVolumesNeverReportEachOther) {
    TriggerScene t;
    // The falling ball carries a small volume of its own through the trigger volume.
    RigidDynamic* ball = t.s.addSphere(Vec3(0, 9, 0), 0.3f, 1.0f);
    Shape* carried = ball->createShape(SphereGeometry(0.1f), *t.s.material);
    carried->setFlag(ShapeSimulation, false);
    carried->setFlag(ShapeTrigger, true);
    t.s.step(2 * StepsPerSecond);
    EXPECT_EQ(t.s.events.triggerCount(t.triggerShape, firstShape(*ball), PairNotifyTouchFound), 1);
    for (const RecordedTrigger& r : t.s.events.triggers) {
        const bool betweenVolumes = (r.triggerShape == carried && r.otherShape == t.triggerShape) ||
                                    (r.triggerShape == t.triggerShape && r.otherShape == carried);
        EXPECT_FALSE(betweenVolumes) << "status " << r.status;
    }
}

TEST(TriggerReports, ReleasingTheBallInsideEndsItOnceWithTheDeletedFlag) {
    TriggerScene t;
    RigidDynamic* ball = t.ballInside();
    Shape* ballShape = firstShape(*ball);
    ball->release();
    t.s.step(5);
    ASSERT_EQ(t.s.events.triggers.size(), 1u);
    EXPECT_EQ(t.s.events.triggers[0].status, PairNotifyTouchLost);
    EXPECT_EQ(t.s.events.triggers[0].triggerShape, t.triggerShape);
    EXPECT_EQ(t.s.events.triggers[0].otherShape, ballShape);
    EXPECT_EQ(t.s.events.triggers[0].flags, DeletedOtherShape);
}

TEST(TriggerReports, ReleasingTheBallDuringAStepEndsItOnceAfterwards) {
    TriggerScene t;
    RigidDynamic* ball = t.ballInside();
    Shape* ballShape = firstShape(*ball);
    t.s.scene->simulate(StepTime);
    ball->release();
    t.s.scene->fetchResults(true);
    t.s.step(5);
    EXPECT_EQ(t.s.events.triggerCount(t.triggerShape, ballShape, PairNotifyTouchLost), 1);
    EXPECT_EQ(t.s.events.triggers.size(), 1u);
}

TEST(TriggerReports, AFloorTurnedTriggerUnderARestingBoxEndsTheTouchAndFindsTheBox) {
    PhysScene s;
    RigidDynamic* box = s.addBox(Vec3(0, 0.5f, 0), Vec3(0.5f), 1.0f);
    s.step(10);
    Shape* boxShape = firstShape(*box);
    ASSERT_EQ(s.events.count(boxShape, s.groundShape, PairNotifyTouchFound), 1);
    s.events.clear();
    s.groundShape->setFlag(ShapeSimulation, false);
    s.groundShape->setFlag(ShapeTrigger, true);
    s.step();
    EXPECT_EQ(s.events.count(boxShape, s.groundShape, PairNotifyTouchLost), 1) << "the touch as a contact ends";
    EXPECT_EQ(s.events.triggerCount(s.groundShape, boxShape, PairNotifyTouchFound), 1) << "and the volume finds it";
    EXPECT_EQ(s.events.count(boxShape, s.groundShape, PairNotifyTouchPersists), 0);
}

TEST(TriggerReports, ClearingTheSimulationFlagInsideEndsItOnce) {
    TriggerScene t;
    Shape* ballShape = firstShape(*t.ballInside());
    ballShape->setFlag(ShapeSimulation, false);
    t.s.step(5);
    ASSERT_EQ(t.s.events.triggers.size(), 1u);
    EXPECT_EQ(t.s.events.triggers[0].status, PairNotifyTouchLost);
    EXPECT_EQ(t.s.events.triggers[0].flags, 0);
}

TEST(TriggerReports, KinematicBodiesSetOffTriggersOnlyWhenAskedFor) {
    for (bool kinematicPairs : {false, true}) {
        TriggerScene t(kinematicPairs);
        RigidDynamic* mover = t.s.physics->createRigidDynamic(Transform(Vec3(-5, 5, 0)));
        Shape* moverShape = mover->createShape(BoxGeometry(Vec3(0.3f)), *t.s.material);
        mover->setRigidDynamicFlag(RigidDynamicFlag::Kinematic, true);
        t.s.scene->addActor(*mover);
        for (int i = 1; i <= 20; ++i) {
            mover->setKinematicTarget(Transform(Vec3(-5.0f + 0.5f * i, 5, 0)));
            t.s.step();
        }
        const int expected = kinematicPairs ? 1 : 0;
        EXPECT_EQ(t.s.events.triggerCount(t.triggerShape, moverShape, PairNotifyTouchFound), expected);
        EXPECT_EQ(t.s.events.triggerCount(t.triggerShape, moverShape, PairNotifyTouchLost), expected);
    }
}

} // namespace
} // namespace phys::test

