#include "PhysTestScene.h"

#include <gtest/gtest.h>

#include <cmath>

namespace phys::test {
namespace {

void enableShapes(Scene& scene, bool on) {
    scene.setVisualizationParameter(VisualizationParameter::Scale, 5.0f);
    scene.setVisualizationParameter(VisualizationParameter::CollisionShapes, on ? 1.0f : 0.0f);
    scene.setVisualizationParameter(VisualizationParameter::CullBox, on ? 1.0f : 0.0f);
}

bool allInside(const RenderBuffer& buffer, const Bounds3& box) {
    for (uint32_t i = 0; i < buffer.getNbLines(); ++i) {
        const DebugLine& l = buffer.getLines()[i];
        if (!box.contains(l.pos0) && !box.contains(l.pos1))
            return false;
    }
    return true;
}

TEST(DebugLines, ShapesAppearAfterTheNextFetchOnlyInsideTheCullingBox) {
    SceneOptions options;
    options.ground = false;
    PhysScene s(options);
    RigidStatic* near = s.addStaticBox(Vec3(0, 0, 0), Vec3(1.0f));
    s.addStaticBox(Vec3(100, 0, 0), Vec3(1.0f));
    s.step();
    EXPECT_EQ(s.scene->getRenderBuffer().getNbLines(), 0u);

    enableShapes(*s.scene, true);
    s.scene->setVisualizationCullingBox(Bounds3(Vec3(-25), Vec3(25)));
    EXPECT_EQ(s.scene->getRenderBuffer().getNbLines(), 0u) << "lines follow the fetched step";
    s.step();
    EXPECT_EQ(s.scene->getRenderBuffer().getNbLines(), 12u) << "one box of twelve edges";
    EXPECT_TRUE(allInside(s.scene->getRenderBuffer(), Bounds3(Vec3(-1.01f), Vec3(1.01f))));
    EXPECT_EQ(s.scene->getRenderBuffer().getLines()[0].color0, s.scene->getRenderBuffer().getLines()[0].color1);

    s.scene->setVisualizationParameter(VisualizationParameter::CullBox, 0.0f);
    s.step();
    EXPECT_EQ(s.scene->getRenderBuffer().getNbLines(), 24u);
    near->setActorFlag(ActorFlag::Visualization, false);
    s.step();
    EXPECT_EQ(s.scene->getRenderBuffer().getNbLines(), 12u) << "actors can leave the visualisation";

    enableShapes(*s.scene, false);
    s.step();
    EXPECT_EQ(s.scene->getRenderBuffer().getNbLines(), 0u);
    near->release();
}

TEST(DebugLines, EveryKindOfShapeDrawsLines) {
    PhysScene s;
    RigidDynamic* body = s.addSphere(Vec3(0, 3, 0), 0.5f, 1.0f);
    body->createShape(CapsuleGeometry(0.2f, 0.5f), *s.material, Transform(Vec3(1, 0, 0)));
    ConvexMesh* hull = s.cookConvex(boxCorners(Vec3(0.3f)));
    body->createShape(ConvexMeshGeometry(hull), *s.material, Transform(Vec3(-1, 0, 0)));
    hull->release();
    enableShapes(*s.scene, true);
    s.scene->setVisualizationParameter(VisualizationParameter::CullBox, 0.0f);
    s.step();
    // Ground box 12, sphere 3 circles, capsule 2 circles + 4 half circles + 4 sides, hull 12.
    EXPECT_EQ(s.scene->getRenderBuffer().getNbLines(), 12u + 48u + (32u + 64u + 4u) + 12u);
}

TEST(DebugLines, SpheresAndCapsulesAreDrawnOnTheirSurface) {
    SceneOptions options;
    options.ground = false;
    PhysScene s(options);
    RigidStatic* ball = s.physics->createRigidStatic(Transform(Vec3(0, 3, 0)));
    ball->createShape(SphereGeometry(0.5f), *s.material);
    s.scene->addActor(*ball);
    // A capsule along world Y: its axis from (5, 2, 0) to (5, 4, 0), radius 0.25.
    RigidStatic* pill = s.physics->createRigidStatic(Transform(Vec3(5, 3, 0), Quat(0, 0, 0.7071068f, 0.7071068f)));
    pill->createShape(CapsuleGeometry(0.25f, 1.0f), *s.material);
    s.scene->addActor(*pill);
    enableShapes(*s.scene, true);
    s.scene->setVisualizationParameter(VisualizationParameter::CullBox, 0.0f);
    s.step();
    const RenderBuffer& lines = s.scene->getRenderBuffer();
    ASSERT_EQ(lines.getNbLines(), 48u + 100u);
    // The sphere's three circles come first, each closed: it ends where it began.
    for (uint32_t circle = 0; circle < 3; ++circle) {
        const Vec3 first = lines.getLines()[16 * circle].pos0, last = lines.getLines()[16 * circle + 15].pos1;
        EXPECT_NEAR((last - first).magnitude(), 0.0f, 1e-4f) << circle;
    }
    for (uint32_t i = 0; i < lines.getNbLines(); ++i) {
        for (const Vec3& end : {lines.getLines()[i].pos0, lines.getLines()[i].pos1}) {
            if (end.x < 2.5f) {
                EXPECT_NEAR((end - Vec3(0, 3, 0)).magnitude(), 0.5f, 1e-4f) << i;
            } else {
                const Vec3 onAxis(5, std::fmin(4.0f, std::fmax(2.0f, end.y)), 0);
                EXPECT_NEAR((end - onAxis).magnitude(), 0.25f, 1e-4f) << i;
            }
        }
    }
}

TEST(DebugLines, ABoxIsDrawnAsItsTwelveEdgesAtItsPose) {
    SceneOptions options;
    options.ground = false;
    PhysScene s(options);
    // Half extents 1, 2 and 0.5, turned a quarter about Y: local X runs along world -Z.
    RigidStatic* box = s.physics->createRigidStatic(Transform(Vec3(10, 0, 0), Quat(0, 0.7071068f, 0, 0.7071068f)));
    box->createShape(BoxGeometry(1, 2, 0.5f), *s.material, Transform(Vec3(0, 3, 0)));
    s.scene->addActor(*box);
    enableShapes(*s.scene, true);
    s.scene->setVisualizationParameter(VisualizationParameter::CullBox, 0.0f);
    s.step();
    const RenderBuffer& lines = s.scene->getRenderBuffer();
    ASSERT_EQ(lines.getNbLines(), 12u);
    float length[3] = {0, 0, 0};
    for (uint32_t i = 0; i < lines.getNbLines(); ++i) {
        const DebugLine& l = lines.getLines()[i];
        for (const Vec3& end : {l.pos0, l.pos1}) {
            // Every end is a corner: (10 +- 0.5, 3 +- 2, +-1).
            EXPECT_NEAR(std::fabs(end.x - 10), 0.5f, 1e-4f);
            EXPECT_NEAR(std::fabs(end.y - 3), 2.0f, 1e-4f);
            EXPECT_NEAR(std::fabs(end.z), 1.0f, 1e-4f);
        }
        const Vec3 d = l.pos1 - l.pos0;
        length[0] += std::fabs(d.x);
        length[1] += std::fabs(d.y);
        length[2] += std::fabs(d.z);
    }
    EXPECT_NEAR(length[0], 4 * 1.0f, 1e-3f) << "four edges along each axis";
    EXPECT_NEAR(length[1], 4 * 4.0f, 1e-3f);
    EXPECT_NEAR(length[2], 4 * 2.0f, 1e-3f);
    EXPECT_EQ(s.scene->getVisualizationParameter(VisualizationParameter::Count), 0.0f) << "no such parameter";
}

// The colour of the lines drawn around a point, or 0 when none start there.
uint32_t colourNear(const RenderBuffer& buffer, const Vec3& centre, float reach) {
    const Bounds3 box = Bounds3::centerExtents(centre, Vec3(reach));
    for (uint32_t i = 0; i < buffer.getNbLines(); ++i)
        if (box.contains(buffer.getLines()[i].pos0))
            return buffer.getLines()[i].color0;
    return 0;
}

TEST(DebugLines, TheColourSaysWhatKindOfActorAShapeBelongsTo) {
    SceneOptions options;
    options.ground = false;
    options.gravity = Vec3();
    PhysScene s(options);
    s.addStaticBox(Vec3(0, 0, 0), Vec3(0.5f));
    s.addBox(Vec3(5, 0, 0), Vec3(0.5f), 1.0f);
    RigidDynamic* sleeping = s.addBox(Vec3(10, 0, 0), Vec3(0.5f), 1.0f);
    RigidDynamic* kinematic = s.addBox(Vec3(15, 0, 0), Vec3(0.5f), 1.0f);
    kinematic->setRigidDynamicFlag(RigidDynamicFlag::Kinematic, true);
    RigidStatic* volume = s.addStaticBox(Vec3(20, 0, 0), Vec3(0.5f));
    firstShape(*volume)->setFlag(ShapeSimulation, false);
    firstShape(*volume)->setFlag(ShapeTrigger, true);
    enableShapes(*s.scene, true);
    s.scene->setVisualizationParameter(VisualizationParameter::CullBox, 0.0f);
    s.step();
    sleeping->putToSleep();
    s.step();
    const RenderBuffer& lines = s.scene->getRenderBuffer();
    ASSERT_EQ(lines.getNbLines(), 5u * 12u);
    const struct {
        const char* kind;
        float x;
        uint32_t colour;
    } cases[] = {{"static", 0, 0xFFFFFFFF},  {"dynamic", 5, 0xFF00FF00},  {"sleeping", 10, 0xFF007F00},
                 {"kinematic", 15, 0xFFFF00FF}, {"trigger", 20, 0xFFFFFF00}};
    for (const auto& c : cases)
        EXPECT_EQ(colourNear(lines, Vec3(c.x, 0, 0), 1.0f), c.colour) << c.kind;
}

TEST(DebugLines, TriangleMeshesDrawTheTrianglesThatReachIntoTheCullingBox) {
    SceneOptions options;
    options.ground = false;
    PhysScene s(options);
    // Two triangles side by side along X: one near the origin, one from x = 30 on.
    s.addStaticMesh({Vec3(0, 0, 0), Vec3(2, 0, 0), Vec3(0, 0, 2), Vec3(30, 0, 0), Vec3(32, 0, 0), Vec3(30, 0, 2)},
                    {{0, 2, 1, 3, 5, 4}});
    enableShapes(*s.scene, true);
    s.scene->setVisualizationParameter(VisualizationParameter::CullBox, 0.0f);
    s.step();
    EXPECT_EQ(s.scene->getRenderBuffer().getNbLines(), 6u) << "three edges a triangle";

    s.scene->setVisualizationParameter(VisualizationParameter::CullBox, 1.0f);
    s.scene->setVisualizationCullingBox(Bounds3(Vec3(-5), Vec3(5)));
    EXPECT_EQ(s.scene->getVisualizationCullingBox().maximum, Vec3(5));
    EXPECT_EQ(s.scene->getVisualizationParameter(VisualizationParameter::CullBox), 1.0f);
    s.step();
    ASSERT_EQ(s.scene->getRenderBuffer().getNbLines(), 3u);
    EXPECT_TRUE(allInside(s.scene->getRenderBuffer(), Bounds3(Vec3(-0.01f), Vec3(2.01f))));
    // The box of the triangle counts, not only its corners: a box inside its span keeps it.
    s.scene->setVisualizationCullingBox(Bounds3(Vec3(0.5f, -1, 0.5f), Vec3(0.6f, 1, 0.6f)));
    s.step();
    EXPECT_EQ(s.scene->getRenderBuffer().getNbLines(), 3u);
}

TEST(Statistics, CountBodiesShapesAndBroadphasePairs) {
    PhysScene s;
    RigidDynamic* a = s.addBox(Vec3(0, 0.5f, 0), Vec3(0.5f), 1.0f);
    s.addSphere(Vec3(3, 0.5f, 0), 0.5f, 1.0f);
    RigidDynamic* k = s.addBox(Vec3(6, 3, 0), Vec3(0.5f), 1.0f);
    k->setRigidDynamicFlag(RigidDynamicFlag::Kinematic, true);
    s.step();
    SimulationStatistics stats;
    s.scene->getSimulationStatistics(stats);
    EXPECT_EQ(stats.nbStaticBodies, 1u);
    EXPECT_EQ(stats.nbDynamicBodies, 2u);
    EXPECT_EQ(stats.nbActiveDynamicBodies, 2u);
    EXPECT_EQ(stats.nbActiveKinematicBodies, 1u);
    EXPECT_EQ(stats.nbShapes[static_cast<int>(GeometryType::Box)], 3u);
    EXPECT_EQ(stats.nbShapes[static_cast<int>(GeometryType::Sphere)], 1u);
    EXPECT_EQ(stats.nbBroadPhaseAdds, 2u) << "box and sphere meet the ground; the kinematic box floats";
    EXPECT_GT(stats.nbAxisSolverConstraints, 0u);
    s.step();
    s.scene->getSimulationStatistics(stats);
    EXPECT_EQ(stats.nbBroadPhaseAdds, 0u);
    a->release();
    s.step();
    s.scene->getSimulationStatistics(stats);
    EXPECT_EQ(stats.nbBroadPhaseRemoves, 1u);
    EXPECT_EQ(stats.nbDynamicBodies, 1u);
}

// Solves and reports touches where they begin and end, not while they last (as the game
// does for most pairs); a pair with a word of 1 only reports.
FilterFlags quietShader(FilterObjectAttributes, FilterData d0, FilterObjectAttributes, FilterData d1,
                        PairFlags& pairFlags, const void*, uint32_t) {
    pairFlags = PairNotifyTouchFound | PairNotifyTouchLost | PairNotifyContactPoints;
    if (!((d0.word0 | d1.word0) & 1))
        pairFlags |= PairSolveContact;
    return FilterDefault;
}

FilterFlags persistingShader(FilterObjectAttributes a0, FilterData d0, FilterObjectAttributes a1, FilterData d1,
                             PairFlags& pairFlags, const void* block, uint32_t size) {
    const FilterFlags result = quietShader(a0, d0, a1, d1, pairFlags, block, size);
    pairFlags |= PairNotifyTouchPersists;
    return result;
}

TEST(Statistics, SolverRowsAreThreeAContactPointPlusTheRowsOfTheJoints) {
    for (bool quiet : {true, false}) {
        SceneOptions options;
        options.shader = quiet ? quietShader : persistingShader;
        PhysScene s(options);
        RigidDynamic* box = s.addBox(Vec3(0, 0.5f, 0), Vec3(0.5f), 1.0f);
        // A ball held into the ground, touching it at one point without being pushed out.
        RigidDynamic* ghost = s.addSphere(Vec3(5, 0.2f, 0), 0.5f, 1.0f);
        firstShape(*ghost)->setSimulationFilterData(FilterData(1, 0, 0, 0));
        ghost->setActorFlag(ActorFlag::DisableGravity, true);
        s.step(5);
        ASSERT_FALSE(box->isSleeping());
        s.events.clear();
        s.step();
        SimulationStatistics stats;
        s.scene->getSimulationStatistics(stats);
        // The resting box touches the ground at its four corners; the other only reports.
        EXPECT_EQ(stats.nbAxisSolverConstraints, 12u) << (quiet ? "quiet" : "persisting");
        EXPECT_NEAR(ghost->getGlobalPose().p.y, 0.2f, 1e-4f);
        EXPECT_EQ(s.events.count(firstShape(*ghost), s.groundShape, PairNotifyTouchPersists), quiet ? 0 : 1);
        EXPECT_EQ(s.events.count(firstShape(*box), s.groundShape, PairNotifyTouchPersists), quiet ? 0 : 1);

        RigidStatic* post = s.addStaticBox(Vec3(0, 10, 5), Vec3(0.1f));
        RigidDynamic* hanging = s.addBox(Vec3(0, 9, 5), Vec3(0.5f), 1.0f);
        ASSERT_NE(createFixedJoint(*s.physics, post, Transform(Vec3(0, -0.5f, 0)), hanging, Transform(Vec3(0, 0.5f, 0))),
                  nullptr);
        s.step();
        s.scene->getSimulationStatistics(stats);
        EXPECT_EQ(stats.nbAxisSolverConstraints, 12u + 6u) << "a fixed joint holds all six axes";
        EXPECT_EQ(stats.nbActiveConstraints, 1u);
    }
}

} // namespace
} // namespace phys::test
