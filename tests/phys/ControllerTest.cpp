#include "PhysTestScene.h"

#include "phys/detail/ControllerMotion.h"
#include "phys/detail/SceneCore.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace phys::test {
namespace {

// The vertical move a character makes each frame: gravity * dt * 0.5.
const Vec3 Fall(0.0f, -55.0f * StepTime * 0.5f, 0.0f);
// Rest height of the centre above y = 0: height / 2 + radius + contact offset.
constexpr float RestHeight = 0.5f + 0.5f + 0.1f;

class RecordingHits : public ControllerHitReport, public ControllerBehaviorCallback {
public:
    void onShapeHit(const ControllerShapeHit& hit) override { shapeHits.push_back(hit); }
    void onControllerHit(const ControllersHit& hit) override { controllerHits.push_back(hit); }
    void onObstacleHit(const ControllerObstacleHit&) override {}
    uint32_t getBehaviorFlags(const Shape&) override { return shapeFlags; }
    uint32_t getBehaviorFlags(const Controller&) override { return BehaviorUserDefinedRide; }
    uint32_t getBehaviorFlags(const Obstacle&) override { return BehaviorUserDefinedRide; }
    int hitsOn(const Shape* shape) const {
        int n = 0;
        for (const ControllerShapeHit& h : shapeHits)
            n += h.shape == shape;
        return n;
    }

    std::vector<ControllerShapeHit> shapeHits;
    std::vector<ControllersHit> controllerHits;
    uint32_t shapeFlags = BehaviorCanRideOnObject;
};

class ControllerScene : public PhysScene {
public:
    explicit ControllerScene(const SceneOptions& options = SceneOptions()) : PhysScene(options) {
        manager = ControllerManager::create(*foundation);
    }
    ~ControllerScene() { manager->release(); }

    Controller* add(const Vec3& at, float stepOffset = 0.0f) {
        CapsuleControllerDesc desc;
        desc.position = ExtVec3(at.x, at.y, at.z);
        desc.radius = 0.5f;
        desc.height = 1.0f;
        desc.stepOffset = stepOffset;
        desc.scaleCoeff = 0.95f;
        desc.material = material;
        desc.callback = &hits;
        desc.behaviorCallback = &hits;
        return manager->createController(*physics, scene, desc);
    }
    // Moves by the walk plus the frame's fall, then steps the scene.
    uint32_t walk(Controller* c, const Vec3& walk, const ControllerFilters& filters = ControllerFilters()) {
        const uint32_t flags = c->move(walk + Fall, 0.00001f, 1.0f, filters);
        step();
        return flags;
    }
    RigidStatic* addRotatedBox(const Vec3& at, const Vec3& half, float angleAboutY) {
        RigidStatic* actor = physics->createRigidStatic(Transform(at, Quat::fromAxisAngle(Vec3(0, 1, 0), angleAboutY)));
        actor->createShape(BoxGeometry(half), *material);
        scene->addActor(*actor);
        return actor;
    }
    // A ramp rising towards +X at the given angle, starting at x = 1.
    RigidStatic* addRamp(float angle) {
        const float length = 6.0f;
        const Quat tilt = Quat::fromAxisAngle(Vec3(0, 0, 1), angle);
        const Vec3 centre = Vec3(1, 0, 0) + tilt.rotate(Vec3(length, -0.5f, 0));
        RigidStatic* actor = physics->createRigidStatic(Transform(centre, tilt));
        actor->createShape(BoxGeometry(length, 0.5f, 3), *material);
        scene->addActor(*actor);
        return actor;
    }

    ControllerManager* manager = nullptr;
    RecordingHits hits;
};

float y(const Controller* c) { return static_cast<float>(c->getPosition().y); }
Vec3 at(const Controller* c) {
    const ExtVec3 p = c->getPosition();
    return Vec3(static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z));
}

TEST(Controllers, AreMadeAsTheGameAsksAndRefuseBadDescriptors) {
    ControllerScene s;
    Controller* c = s.add(Vec3(0, 3, 0));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(s.manager->getNbControllers(), 1u);
    RigidDynamic* actor = c->getActor();
    ASSERT_NE(actor, nullptr);
    EXPECT_TRUE(actor->isKinematic());
    EXPECT_EQ(actor->getScene(), s.scene);
    Shape* shape = firstShape(*actor);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(shape->userData), ControllerShapeTag);
    CapsuleGeometry capsule;
    ASSERT_TRUE(shape->getCapsuleGeometry(capsule));
    EXPECT_FLOAT_EQ(capsule.radius, 0.5f * 0.95f);
    EXPECT_FLOAT_EQ(capsule.halfHeight, 0.5f * 0.95f);
    EXPECT_NEAR(shape->getLocalPose().rotate(Vec3(1, 0, 0)).y, 1.0f, 1e-5f) << "the capsule stands upright";
    EXPECT_NEAR(static_cast<float>(c->getFootPosition().y), 3.0f - RestHeight, 1e-5f);

    CapsuleControllerDesc bad;
    bad.material = s.material;
    bad.radius = 0.0f;
    bad.height = 1.0f;
    EXPECT_EQ(s.manager->createController(*s.physics, s.scene, bad), nullptr);
    bad.radius = 0.5f;
    EXPECT_EQ(s.manager->createController(*s.physics, nullptr, bad), nullptr);
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter), 2);
    // The capsule's scale runs from 0 to 1; step offset and slope limit may be 0.
    bad.stepOffset = 0.0f;
    bad.slopeLimit = 0.0f;
    bad.scaleCoeff = 1.0f;
    EXPECT_TRUE(bad.isValid());
    bad.scaleCoeff = 0.0f;
    EXPECT_TRUE(bad.isValid());
    bad.scaleCoeff = -0.01f;
    EXPECT_FALSE(bad.isValid());
    bad.scaleCoeff = 1.01f;
    EXPECT_FALSE(bad.isValid());

    c->release();
    EXPECT_EQ(s.manager->getNbControllers(), 0u);
    s.step(2);
    EXPECT_EQ(s.scene->getNbActors(), 1u) << "its actor went with it";
}

TEST(Controllers, LandOnTheGroundAndStayThere) {
    ControllerScene s;
    Controller* c = s.add(Vec3(0, 3, 0));
    uint32_t flags = 0;
    for (int i = 0; i < 20; ++i)
        flags = s.walk(c, Vec3());
    EXPECT_TRUE(flags & ControllerCollisionDown);
    EXPECT_NEAR(y(c), RestHeight, 0.02f);
    for (int i = 0; i < 60; ++i)
        s.walk(c, Vec3());
    EXPECT_NEAR(y(c), RestHeight, 0.02f) << "stays";
    EXPECT_NEAR(at(c).x, 0.0f, 1e-4f) << "does not drift";
    EXPECT_NEAR(c->getActor()->getGlobalPose().p.y, y(c), 1e-4f) << "its actor follows";
}

TEST(Controllers, SlideAlongAWallAtFortyFiveDegrees) {
    ControllerScene s;
    s.addRotatedBox(Vec3(2.5f, 2, 0), Vec3(0.5f, 2, 5), Pi / 4);
    Controller* c = s.add(Vec3(0, RestHeight, 0));
    for (int i = 0; i < 40; ++i)
        s.walk(c, Vec3(0.1f, 0, 0));
    const Vec3 before = at(c);
    const uint32_t flags = c->move(Vec3(0.2f, 0, 0), 0.00001f, 1.0f, ControllerFilters());
    const Vec3 moved = at(c) - before;
    EXPECT_TRUE(flags & ControllerCollisionSides);
    EXPECT_NEAR(moved.x, 0.1f, 0.01f) << "keeps the part along the wall";
    EXPECT_NEAR(moved.z, 0.1f, 0.01f);
    // The grown capsule just touches the wall plane.
    const Vec3 normal(-std::sqrt(0.5f), 0, std::sqrt(0.5f));
    const Vec3 face = Vec3(2.5f, 2, 0) + normal * 0.5f;
    EXPECT_NEAR((at(c) - face).dot(normal), 0.6f, 0.01f);
}

TEST(Controllers, SlideOnlyTheRestOfAMoveThatMeetsAWall) {
    ControllerScene s;
    s.addRotatedBox(Vec3(2.5f, 2, 0), Vec3(0.5f, 2, 5), Pi / 4);
    Controller* c = s.add(Vec3(0, RestHeight, 0));
    for (int i = 0; i < 5; ++i)
        s.walk(c, Vec3());
    // The grown capsule meets the wall after 0.944 along X; the other 0.556 are slid along
    // it, half along X and half along Z.
    c->move(Vec3(1.5f, 0, 0), 0.00001f, 1.0f, ControllerFilters());
    EXPECT_NEAR(at(c).x, 0.944f + 0.278f, 0.01f);
    EXPECT_NEAR(at(c).z, 0.278f, 0.01f);
}

TEST(Controllers, StopHeadOnAndReportTheWallOncePerMove) {
    ControllerScene s;
    RigidStatic* wall = s.addStaticBox(Vec3(3, 2, 0), Vec3(0.5f, 2, 5));
    Controller* c = s.add(Vec3(0, RestHeight, 0));
    for (int i = 0; i < 40; ++i)
        s.walk(c, Vec3(0.1f, 0, 0));
    EXPECT_NEAR(at(c).x, 2.5f - 0.6f, 0.01f);
    s.hits.shapeHits.clear();
    const Vec3 before = at(c);
    const Vec3 request(0.2f, 0, 0.0f);
    c->move(request, 0.00001f, 1.0f, ControllerFilters());
    EXPECT_LT((at(c) - before).magnitude(), 0.1f * request.magnitude()) << "the stuck test sees it";
    ASSERT_EQ(s.hits.hitsOn(firstShape(*wall)), 1);
    const ControllerShapeHit& hit = s.hits.shapeHits[0];
    EXPECT_EQ(hit.controller, c);
    EXPECT_EQ(hit.actor, wall);
    EXPECT_NEAR(hit.worldNormal.x, -1.0f, 1e-3f);
    EXPECT_NEAR(static_cast<float>(hit.worldPos.x), 2.5f, 0.01f) << "where the skin touches the wall";
    EXPECT_NEAR(hit.dir.x, 1.0f, 1e-5f);

    s.hits.shapeHits.clear();
    s.walk(c, Vec3(0.2f, 0, 0));
    EXPECT_EQ(s.hits.hitsOn(firstShape(*wall)), 1) << "once per move";
    EXPECT_EQ(s.hits.hitsOn(s.groundShape), 1) << "and the ground it stands on";

    // Away from the wall it touches, nothing holds it back.
    const Vec3 against = at(c);
    c->move(Vec3(-0.2f, 0, 0.1f), 0.00001f, 1.0f, ControllerFilters());
    EXPECT_NEAR(at(c).x - against.x, -0.2f, 1e-4f);
    EXPECT_NEAR(at(c).z - against.z, 0.1f, 1e-4f);
}

TEST(Controllers, ClimbStepsOnlyFromTheGroundWithAStepOffset) {
    struct Row {
        const char* what;
        float stepOffset;
        float stepHeight;
        float lift; // of the feet above the ground: in the air the walk has no fall
        bool climbs;
    };
    const Row rows[] = {
        {"without a step offset the step blocks", 0.0f, 0.2f, 0.0f, false},
        {"climbed onto the step", 0.5f, 0.3f, 0.0f, true},
        {"in the air the step's edge blocks", 0.5f, 0.3f, 1.0f, false},
    };
    for (const Row& row : rows) {
        ControllerScene s;
        const float top = row.lift + row.stepHeight;
        s.addStaticBox(Vec3(4, top * 0.5f, 0), Vec3(2, top * 0.5f, 5));
        Controller* c = s.add(Vec3(0, RestHeight + row.lift, 0), row.stepOffset);
        const Vec3 fall = row.lift > 0.0f ? Vec3() : Fall;
        for (int i = 0; i < 60; ++i) {
            c->move(Vec3(0.1f, 0, 0) + fall, 0.00001f, 1.0f, ControllerFilters());
            s.step();
        }
        if (row.climbs) {
            EXPECT_GT(at(c).x, 3.0f) << row.what;
            EXPECT_NEAR(y(c), RestHeight + top, 0.02f) << row.what;
        } else {
            EXPECT_LT(at(c).x, 2.0f) << row.what;
            EXPECT_NEAR(y(c), RestHeight + row.lift, 0.02f) << row.what;
        }
    }
}

TEST(Controllers, WalkUpGentleSlopesButNotSteepOnes) {
    for (float degrees : {30.0f, 60.0f}) {
        ControllerScene s;
        s.addRamp(degrees * Pi / 180.0f);
        Controller* c = s.add(Vec3(0, RestHeight, 0));
        for (int i = 0; i < 90; ++i)
            s.walk(c, Vec3(0.1f, 0, 0));
        if (degrees < 45.0f)
            EXPECT_GT(y(c), RestHeight + 2.0f) << "walks up " << degrees << " degrees";
        else
            EXPECT_LT(y(c), RestHeight + 0.3f) << "stays below " << degrees << " degrees";
    }
}

TEST(Controllers, SlideDownSteepSlopes) {
    ControllerScene s;
    s.addRamp(60.0f * Pi / 180.0f);
    Controller* c = s.add(Vec3(1.8f, 4.0f, 0));
    for (int i = 0; i < 120; ++i)
        s.walk(c, Vec3());
    EXPECT_LT(y(c), RestHeight + 0.6f) << "came down the slope";
    EXPECT_LT(at(c).x, 1.6f);
}

class SkipShape : public QueryFilterCallback {
public:
    QueryHitType preFilter(const FilterData&, Shape* shape, RigidActor*, uint32_t&) override {
        ++preCalls;
        return shape == skipped ? QueryHitType::None : QueryHitType::Block;
    }
    QueryHitType postFilter(const FilterData&, const QueryHit&) override {
        ++postCalls;
        return QueryHitType::Block;
    }
    Shape* skipped = nullptr;
    int preCalls = 0, postCalls = 0;
};

TEST(Controllers, FiltersDecideWhatBlocks) {
    ControllerScene s;
    RigidStatic* wall = s.addStaticBox(Vec3(3, 2, 0), Vec3(0.5f, 2, 5));
    RigidStatic* volume = s.addStaticBox(Vec3(6, 2, 0), Vec3(0.5f, 2, 5));
    s.groundShape->setQueryFilterData(FilterData(0x2, 0, 0, 0));         // static objects' words
    firstShape(*wall)->setQueryFilterData(FilterData(0x2, 0, 0, 0));
    firstShape(*volume)->setQueryFilterData(FilterData(0x8, 0, 0, 0)); // a trigger volume's words
    Controller* c = s.add(Vec3(0, RestHeight, 0));

    SkipShape skip;
    skip.skipped = firstShape(*wall);
    const FilterData words(0x0fffc007, 0, 0, 0);
    ControllerFilters filters;
    filters.filterData = &words;
    filters.filterCallback = &skip;
    filters.filterFlags = QueryStatic | QueryDynamic | QueryPrefilter | QueryPostfilter;
    for (int i = 0; i < 100; ++i)
        s.walk(c, Vec3(0.1f, 0, 0), filters);
    EXPECT_GT(at(c).x, 9.0f) << "through the skipped wall and the volume the words leave out";
    EXPECT_NEAR(y(c), RestHeight, 0.02f) << "on the ground the words let through";
    EXPECT_GT(skip.preCalls, 0);
    EXPECT_GT(skip.postCalls, 0);
    EXPECT_EQ(s.hits.hitsOn(firstShape(*wall)), 0);

    c->setPosition(ExtVec3(0, RestHeight, 0));
    for (int i = 0; i < 100; ++i)
        s.walk(c, Vec3(0.1f, 0, 0));
    EXPECT_NEAR(at(c).x, 1.9f, 0.02f) << "without filters the wall blocks";
}

TEST(Controllers, WalkThroughTriggerVolumes) {
    ControllerScene s;
    Shape* volume = firstShape(*s.addStaticBox(Vec3(3, 2, 0), Vec3(0.5f, 2, 5)));
    volume->setFlag(ShapeSimulation, false);
    volume->setFlag(ShapeTrigger, true);
    Controller* c = s.add(Vec3(0, RestHeight, 0), 0.5f);
    for (int i = 0; i < 60; ++i)
        s.walk(c, Vec3(0.1f, 0, 0));
    EXPECT_GT(at(c).x, 5.0f) << "passed through the volume";
    EXPECT_NEAR(y(c), RestHeight, 0.02f) << "and did not stand on it";
    EXPECT_EQ(s.hits.hitsOn(volume), 0);
}

TEST(Controllers, TeleportThroughWalls) {
    ControllerScene s;
    s.addStaticBox(Vec3(3, 2, 0), Vec3(0.5f, 2, 5));
    Controller* c = s.add(Vec3(0, RestHeight, 0));
    EXPECT_TRUE(c->setPosition(ExtVec3(6, RestHeight, 0)));
    EXPECT_NEAR(at(c).x, 6.0f, 1e-5f);
    EXPECT_NEAR(c->getActor()->getGlobalPose().p.x, 6.0f, 1e-5f) << "the actor goes at once";
    s.walk(c, Vec3(-0.1f, 0, 0));
    EXPECT_NEAR(at(c).x, 5.9f, 1e-3f);
}

TEST(Controllers, StepOutOfWhatTheyWerePutInto) {
    ControllerScene s;
    s.addStaticBox(Vec3(3, 2, 0), Vec3(0.5f, 2, 5));
    Controller* c = s.add(Vec3(0, RestHeight, 0));
    c->setPosition(ExtVec3(2.2, RestHeight, 0)); // 0.3 into the wall's face at x = 2.5
    s.walk(c, Vec3());
    EXPECT_NEAR(at(c).x, 2.5f - 0.6f, 0.01f) << "pushed back out of the wall";
    EXPECT_NEAR(y(c), RestHeight, 0.02f);
}

// A move pushes a controller out of what it overlaps in at most four rounds, each at most
// twice the grown radius (radius + contact offset = 0.6) long: 4.8 in all. Deeper than that
// it is pushed the whole 4.8 and left inside; the next move finishes the job.
TEST(Controllers, ArePushedOutOfDeepOverlapByAtMostFourRoundsOfTwiceTheGrownRadius) {
    constexpr float Grown = 0.5f + 0.1f;
    constexpr float AllRounds = 4 * 2 * Grown;
    struct Case {
        float depth; // how far the grown capsule reaches into the wall
        float pushed; // how far the move carries it back
    };
    const Case cases[] = {
        {2 * Grown - 0.05f, 2 * Grown - 0.05f}, // out in one round
        {2 * Grown + 0.05f, 2 * Grown + 0.05f}, // out in two
        {AllRounds - 0.05f, AllRounds - 0.05f}, // out in the last round
        {AllRounds + 0.05f, AllRounds},         // still 0.05 in after every round
    };
    for (const Case& c : cases) {
        ControllerScene s;
        // A thick wall whose face is x = 0, high above the ground: the way out is back along +x.
        s.addStaticBox(Vec3(-10, 20, 0), Vec3(10, 10, 10));
        const float x = Grown - c.depth;
        Controller* controller = s.add(Vec3(x, 20, 0));
        controller->move(Vec3(), 0.00001f, StepTime, ControllerFilters());
        EXPECT_NEAR(at(controller).x - x, c.pushed, 0.01f) << c.depth;
        EXPECT_NEAR(y(controller), 20.0f, 1e-3f) << c.depth;
        if (c.depth > AllRounds) {
            controller->move(Vec3(), 0.00001f, StepTime, ControllerFilters());
            EXPECT_NEAR(at(controller).x, Grown, 0.01f) << c.depth << ": out after the next move";
        }
    }
}

TEST(Controllers, StepOutOfAnotherControllerTheyWerePutInto) {
    ControllerScene s;
    Controller* stander = s.add(Vec3(3, RestHeight, 0));
    Controller* c = s.add(Vec3(0, RestHeight, 0));
    c->setPosition(ExtVec3(2.4, RestHeight, 0)); // the capsules' axes 0.6 apart
    s.walk(c, Vec3());
    EXPECT_GT(3.0f - at(c).x, 2 * 0.5f * 0.95f - 0.01f) << "pushed out to where the capsules no longer meet";
    EXPECT_LT(3.0f - at(c).x, 1.3f);
    EXPECT_NEAR(at(stander).x, 3.0f, 1e-4f) << "the other stays";
}

TEST(Controllers, SlideAroundAnotherControllerAndMoveByTheSmallestStep) {
    ControllerScene s;
    s.add(Vec3(3, RestHeight, 0));
    Controller* c = s.add(Vec3(0, RestHeight, 0.6f));
    for (int i = 0; i < 5; ++i)
        s.walk(c, Vec3());
    for (int i = 0; i < 60; ++i)
        s.walk(c, Vec3(0.1f, 0, 0));
    EXPECT_GT(at(c).x, 4.0f) << "slid round the other's capsule " << at(c).z;
    EXPECT_GT(at(c).z, 0.6f);

    const Vec3 before = at(c);
    c->move(Vec3(0, 0, 0.004f), 0.00001f, 1.0f, ControllerFilters());
    EXPECT_NEAR(at(c).z - before.z, 0.004f, 1e-5f) << "a step above the minimum distance is taken";
    c->move(Vec3(0, 0, 0.004f), 0.01f, 1.0f, ControllerFilters());
    EXPECT_NEAR(at(c).z - before.z, 0.004f, 1e-5f) << "one below it is not";
}

// One move past or into a standing controller: the grown capsule (radius 0.6) meets the
// other's (0.5) when their axes come within 1.1 sideways or 2.1 along them; a move that
// keeps further off passes, one that grazes it is stopped.
TEST(Controllers, MeetAnotherControllerFromEverySideAndPassItOnlyWhenClear) {
    const struct {
        const char* what;
        Vec3 from, move;
        bool meets;
        Vec3 stops; // where a move that meets ends, when it stops there (else any)
    } rows[] = {
        {"head on", Vec3(-3, 0, 0), Vec3(3, 0, 0), true, Vec3(-1.1f, 0, 0)},
        {"diagonally", Vec3(-3, 0, -3), Vec3(3, 0, 3), true, Vec3(-0.778f, 0, -0.778f)},
        {"down onto it", Vec3(0, 3, 0), Vec3(0, -3, 0), true, Vec3(0, 2.1f, 0)},
        {"grazing its side", Vec3(-3, 0, 1.09f), Vec3(6, 0, 0), true, Vec3()},
        {"0.005 off its side", Vec3(-3, 0, 1.105f), Vec3(6, 0, 0), false, Vec3()},
        {"0.02 off its side", Vec3(-3, 0, 1.12f), Vec3(6, 0, 0), false, Vec3()},
        {"across its top", Vec3(-3, 2.0f, 0), Vec3(6, 0, 0), true, Vec3()},
        {"0.02 off its top", Vec3(-3, 2.12f, 0), Vec3(6, 0, 0), false, Vec3()},
        {"down past it", Vec3(1.12f, 3, 0), Vec3(0, -6, 0), false, Vec3()},
    };
    for (const auto& row : rows) {
        ControllerScene s(SceneOptions{.ground = false});
        Controller* stander = s.add(Vec3(0, 0, 0));
        Controller* c = s.add(row.from);
        c->move(row.move, 0.00001f, 1.0f, ControllerFilters());
        EXPECT_EQ(!s.hits.controllerHits.empty(), row.meets) << row.what;
        if (!row.meets) {
            EXPECT_LT((at(c) - (row.from + row.move)).magnitude(), 1e-4f) << row.what;
        } else if (row.stops.magnitude() > 0.0f) {
            EXPECT_LT((at(c) - row.stops).magnitude(), 0.01f) << row.what;
        }
        EXPECT_LT(at(stander).magnitude(), 1e-6f) << row.what;
    }
}

TEST(Controllers, RideKinematicPlatformsWhenTheBehaviourSaysSo) {
    const struct {
        uint32_t behaviour;
        bool rides;
    } rows[] = {{BehaviorCanRideOnObject, true}, {BehaviorUserDefinedRide, false}, {BehaviorSlide, false}};
    for (const auto& row : rows) {
        ControllerScene s;
        s.hits.shapeFlags = row.behaviour;
        RigidDynamic* platform = s.addBox(Vec3(0, 2, 0), Vec3(2, 0.25f, 2), 10.0f);
        platform->setRigidDynamicFlag(RigidDynamicFlag::Kinematic, true);
        Controller* c = s.add(Vec3(0, 2.25f + RestHeight, 0));
        for (int i = 0; i < 10; ++i)
            s.walk(c, Vec3());
        for (int i = 1; i <= 30; ++i) {
            platform->setKinematicTarget(Transform(Vec3(0.03f * i, 2, 0)));
            s.walk(c, Vec3());
        }
        if (row.rides)
            EXPECT_NEAR(at(c).x, 0.9f, 0.05f) << "carried along";
        else
            EXPECT_NEAR(at(c).x, 0.0f, 1e-3f) << "left where it stood, behaviour " << row.behaviour;
        EXPECT_NEAR(y(c), 2.25f + RestHeight, 0.02f);
    }
}

TEST(Controllers, BlockEachOtherUnlessOneIsExcluded) {
    ControllerScene s;
    Controller* walker = s.add(Vec3(0, RestHeight, 0));
    Controller* stander = s.add(Vec3(3, RestHeight, 0));
    for (int i = 0; i < 40; ++i)
        s.walk(walker, Vec3(0.1f, 0, 0));
    EXPECT_NEAR(at(walker).x, 3.0f - 1.1f, 0.02f) << "stopped at the other's capsule";
    ASSERT_FALSE(s.hits.controllerHits.empty());
    EXPECT_EQ(s.hits.controllerHits.back().controller, walker);
    EXPECT_EQ(s.hits.controllerHits.back().other, stander);

    stander->setInteraction(InteractionMode::Exclude);
    for (int i = 0; i < 40; ++i)
        s.walk(walker, Vec3(0.1f, 0, 0));
    EXPECT_GT(at(walker).x, 4.0f) << "walks through an excluded controller";
}

TEST(Controllers, RefuseStepOffsetsPositionsAndMovesThatAreNotFiniteOrBelowZero) {
    ControllerScene s;
    Controller* c = s.add(Vec3(0, RestHeight, 0), 0.3f);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(s.manager->getController(0), c);
    EXPECT_EQ(s.manager->getController(1), nullptr);
    const struct {
        float offset;
        bool taken;
    } offsets[] = {{0.0f, true}, {0.7f, true}, {-0.01f, false}, {NAN, false}, {INFINITY, false}};
    for (const auto& o : offsets) {
        c->setStepOffset(0.3f);
        const int before = s.errors.count(ErrorCode::InvalidParameter);
        c->setStepOffset(o.offset);
        EXPECT_EQ(c->getStepOffset(), o.taken ? o.offset : 0.3f) << o.offset;
        EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter) - before, o.taken ? 0 : 1) << o.offset;
    }
    const Vec3 start = at(c);
    EXPECT_EQ(c->move(Vec3(NAN, 0, 0), 0.00001f, 1.0f, ControllerFilters()), 0u);
    EXPECT_EQ(c->move(Vec3(1, 0, 0), NAN, 1.0f, ControllerFilters()), 0u);
    EXPECT_FALSE(c->setPosition(ExtVec3(0, INFINITY, 0)));
    EXPECT_EQ(at(c), start) << "none of them moved it";
    EXPECT_TRUE(c->setPosition(ExtVec3(4, 5, 6)));
    EXPECT_EQ(at(c), Vec3(4, 5, 6));

    // A scene of another physics object is refused.
    Physics* other = Physics::create(*s.foundation, Tolerances());
    ASSERT_NE(other, nullptr);
    CapsuleControllerDesc desc;
    desc.radius = 0.5f;
    desc.height = 1.0f;
    desc.material = s.material;
    EXPECT_EQ(s.manager->createController(*other, s.scene, desc), nullptr);
    EXPECT_EQ(s.manager->getNbControllers(), 1u);
    other->release();
}

TEST(Controllers, AJumpIntoACeilingStopsBelowItAndSaysSo) {
    ControllerScene s;
    s.addStaticBox(Vec3(0, 4, 0), Vec3(3, 0.5f, 3)); // underside at y = 3.5
    Controller* c = s.add(Vec3(0, RestHeight, 0));
    for (int i = 0; i < 5; ++i)
        s.walk(c, Vec3());
    const float before = y(c);
    c->move(Vec3(0, 0.005f, 0), 0.00001f, 1.0f, ControllerFilters());
    EXPECT_NEAR(y(c) - before, 0.005f, 1e-5f) << "the smallest rise";
    EXPECT_FALSE(c->move(Vec3(0, 0.5f, 0), 0.00001f, 1.0f, ControllerFilters()) & ControllerCollisionUp);
    const uint32_t flags = c->move(Vec3(0, 3, 0), 0.00001f, 1.0f, ControllerFilters());
    EXPECT_TRUE(flags & ControllerCollisionUp);
    EXPECT_FALSE(flags & ControllerCollisionDown);
    EXPECT_NEAR(y(c), 3.5f - RestHeight, 0.02f) << "the grown capsule's top at the underside";
}

TEST(Controllers, AnotherControllerMetTwiceInOneMoveIsReportedOnce) {
    ControllerScene s;
    Controller* walker = s.add(Vec3(0, RestHeight, 0));
    // Above and ahead: the rise meets its underside, the walk its side.
    Controller* above = s.add(Vec3(0.8f, RestHeight + 2.4f, 0));
    s.hits.controllerHits.clear();
    walker->move(Vec3(2, 2, 0), 0.00001f, 1.0f, ControllerFilters());
    ASSERT_EQ(s.hits.controllerHits.size(), 1u);
    EXPECT_EQ(s.hits.controllerHits[0].other, above);
}

TEST(Controllers, TheirActorPushesBodiesAndReportsContacts) {
    ControllerScene s;
    RigidDynamic* box = s.addBox(Vec3(2, 0.25f, 0), Vec3(0.25f), 0.5f);
    Controller* c = s.add(Vec3(0, RestHeight, 0));
    s.step(10);
    // Sweeping static shapes only, the controller walks into the box; its actor pushes it.
    ControllerFilters staticOnly;
    staticOnly.filterFlags = QueryStatic;
    for (int i = 0; i < 40; ++i)
        s.walk(c, Vec3(0.08f, 0, 0), staticOnly);
    EXPECT_GT(box->getGlobalPose().p.x, 2.3f) << "pushed";
    EXPECT_GE(s.events.count(firstShape(*c->getActor()), firstShape(*box), PairNotifyTouchFound), 1);
}

TEST(Controllers, OutliveTheirActorAndTheirScene) {
    ControllerScene s;
    Controller* c = s.add(Vec3(0, RestHeight, 0));
    Controller* other = s.add(Vec3(5, RestHeight, 0));
    c->getActor()->release(); // the caller's own doing
    EXPECT_EQ(c->getActor(), nullptr);
    s.walk(c, Vec3(0.1f, 0, 0));
    EXPECT_NEAR(at(c).x, 0.1f, 1e-3f) << "still moves";
    s.scene->release();
    s.scene = nullptr;
    EXPECT_EQ(other->getScene(), nullptr);
    EXPECT_EQ(other->move(Vec3(1, 0, 0), 0.0f, 1.0f, ControllerFilters()), 0u) << "without a scene nothing moves";
    other->release();
}

// The controllers whose boxes meet a box, found through the scene's tree, are those found by
// testing every controller's box, in the scene's order: boxes that only touch meet, boxes a
// float step apart do not; also after moves, a teleport and a release.
TEST(Controllers, AreFoundNearABoxThroughTheTreeAsByTestingEveryOne) {
    ControllerScene s(SceneOptions{.ground = false});
    std::vector<Controller*> field; // 8 x 8, 1.5 apart: boxes 1.0 wide, 0.5 between them
    for (int i = 0; i < 64; ++i)
        field.push_back(s.add(Vec3((i % 8) * 1.5f, 2.0f, (i / 8) * 1.5f)));
    detail::SceneCore& core = s.scene->core();
    const auto everyOne = [&](const Bounds3& box) {
        std::vector<Controller*> found;
        for (Controller* c : core.controllers)
            if (detail::ControllerBounds::boxOf(*c).intersects(box))
                found.push_back(c);
        return found;
    };
    const auto throughTree = [&](const Bounds3& box) {
        std::vector<Controller*> found;
        core.controllerBounds->overlapping(box, found);
        return found;
    };
    const auto check = [&](const char* when, size_t rowMeets) {
        const Bounds3 b = detail::ControllerBounds::boxOf(*field[27]);
        const float up = 1e30f, down = -1e30f;
        const Vec3 lo = b.minimum, hi = b.maximum;
        const struct {
            const char* name;
            Bounds3 box;
            size_t found;
        } placements[] = {
            {"touching its +x face", {Vec3(hi.x, lo.y, lo.z), Vec3(hi.x + 0.2f, hi.y, hi.z)}, 1},
            {"a step past its +x face", {Vec3(std::nextafter(hi.x, up), lo.y, lo.z), Vec3(hi.x + 0.2f, hi.y, hi.z)}, 0},
            {"touching its -x face", {Vec3(lo.x - 0.2f, lo.y, lo.z), Vec3(lo.x, hi.y, hi.z)}, 1},
            {"a step short of its -x face", {Vec3(lo.x - 0.2f, lo.y, lo.z), Vec3(std::nextafter(lo.x, down), hi.y, hi.z)}, 0},
            {"touching its top", {Vec3(lo.x, hi.y, lo.z), Vec3(hi.x, hi.y + 1, hi.z)}, 1},
            {"a step above its top", {Vec3(lo.x, std::nextafter(hi.y, up), lo.z), Vec3(hi.x, hi.y + 1, hi.z)}, 0},
            {"touching its corner", {hi, hi + Vec3(0.2f, 0.2f, 0.2f)}, 1},
            {"a step off its corner", {Vec3(hi.x, hi.y, std::nextafter(hi.z, up)), hi + Vec3(0.2f, 0.2f, 0.2f)}, 0},
            {"across its row", {Vec3(-1, 0, lo.z), Vec3(30, 4, hi.z)}, rowMeets},
            {"over the field", {Vec3(-100, -100, -100), Vec3(100, 100, 100)}, core.controllers.size()},
            {"beside it", {Vec3(40, 0, 40), Vec3(41, 4, 41)}, 0},
        };
        for (const auto& p : placements) {
            const std::vector<Controller*> found = throughTree(p.box);
            EXPECT_EQ(found, everyOne(p.box)) << when << ": " << p.name;
            EXPECT_EQ(found.size(), p.found) << when << ": " << p.name;
        }
    };
    check("as made", 8);
    for (int frame = 0; frame < 3; ++frame)
        for (size_t i = 0; i < field.size(); i += 3)
            field[i]->move(Vec3(0.2f, 0, 0.1f), 0.00001f, 1.0f, ControllerFilters());
    field[27]->setPosition(ExtVec3(20.0, 2.0, 20.0)); // on its own
    field[60]->release();
    field[60] = nullptr;
    check("after moves, a teleport and a release", 1);
}

// Characters spread in overlapping pairs, ten times as many: ten times the closest-point tests
// between capsules, not a hundred times.
TEST(Controllers, TestTheCapsulesNearThemOnlySoTenTimesTheCharactersTestTenTimes) {
    const auto testsOf = [](int pairs) {
        ControllerScene s(SceneOptions{.ground = false});
        std::vector<Controller*> all;
        for (int i = 0; i < pairs; ++i) {
            const Vec3 at((i % 10) * 10.0f, 2.0f, (i / 10) * 10.0f);
            all.push_back(s.add(at));
            all.push_back(s.add(at + Vec3(1.0f, 0, 0))); // 0.1 deep in the other's grown capsule
        }
        const uint64_t before = detail::ControllerMotion::controllerTestsSoFar();
        for (int frame = 0; frame < 3; ++frame)
            for (size_t i = 0; i < all.size(); ++i)
                all[i]->move(Vec3(i % 2 ? -0.05f : 0.05f, 0, 0), 0.00001f, 1.0f, ControllerFilters());
        EXPECT_NEAR(at(all[1]).x - at(all[0]).x, 1.1f, 0.01f) << "pushed apart, then kept apart";
        return detail::ControllerMotion::controllerTestsSoFar() - before;
    };
    const uint64_t few = testsOf(5), many = testsOf(50);
    ASSERT_GT(few, 0u);
    EXPECT_EQ(many, 10 * few);
}

TEST(Controllers, MoveWhileAStepIsInFlight) {
    ControllerScene s(SceneOptions{.threads = 1});
    Controller* c = s.add(Vec3(0, RestHeight, 0));
    s.step(5);
    for (int i = 0; i < 30; ++i) {
        s.scene->simulate(StepTime);
        c->move(Vec3(0.1f, 0, 0) + Fall, 0.00001f, 1.0f, ControllerFilters());
        s.scene->fetchResults(true);
    }
    EXPECT_NEAR(at(c).x, 3.0f, 0.01f);
    EXPECT_NEAR(y(c), RestHeight, 0.02f);
    EXPECT_NEAR(c->getActor()->getGlobalPose().p.x, 2.9f, 0.01f) << "the actor follows with the next step";
    s.step();
    EXPECT_NEAR(c->getActor()->getGlobalPose().p.x, 3.0f, 0.01f);
}

} // namespace
} // namespace phys::test
