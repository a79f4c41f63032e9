#include "PhysTestScene.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace phys::test
