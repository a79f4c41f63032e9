// The collision shapes the level's bodies share: one build per mesh, scale and kind, charged
// once to the level's memory budget and given back with the level's scene.
#include "PhysicsObjectFixture.h"

#include "core/FileChecks.h"
#include "core/LoadBudget.h"

#include <string>
#include <vector>

using namespace irr;

namespace {

class CollisionShapeCacheTest : public PhysicsObjectFixture {
protected:
    PhysicsObject* rock(const char* bound, const char* state, const core::vector3df& scale = {1, 1, 1},
                        const core::vector3df& rotation = {}) {
        return makeObject([&](io::IAttributes* a) {
            a->addVector3d("Position", core::vector3df(3.0f * static_cast<f32>(made++), 2, 0));
            a->addVector3d("Rotation", rotation);
            a->addVector3d("Scale", scale);
            a->addString("MeshFileName", "Content/Models/Props/Rock.obj");
            a->addEnum("BoundType", bound, boundTypeNames);
            a->addEnum("PhysicsState", state, physicsStateNames);
        });
    }
    // A convex trigger volume of the rock's mesh or a copy of it (a vision cone's own).
    phys::RigidActor* rockVolume(bool copy) {
        scene::IMesh* mesh = smgr()->getMesh("Content/Models/Props/Rock.obj")->getMesh(0);
        if (copy)
            mesh = smgr()->getMeshManipulator()->createMeshCopy(mesh);
        phys::RigidDynamic* volume = physics->createTriggerActor(4, {}, {1, 1, 1}, mesh, true);
        if (copy)
            mesh->drop();
        volumes.push_back(volume);
        return volume;
    }
    // The cooked mesh behind the first shape (a hull or a triangle mesh), or null.
    static const void* shapeMesh(phys::RigidActor* actor) {
        phys::Shape* shape = nullptr;
        phys::ConvexMeshGeometry hull;
        phys::TriangleMeshGeometry triangles;
        if (!actor || actor->getShapes(&shape, 1) == 0)
            return nullptr;
        return shape->getConvexMeshGeometry(hull)            ? static_cast<const void*>(hull.convexMesh)
               : shape->getTriangleMeshGeometry(triangles) ? triangles.triangleMesh
                                                           : nullptr;
    }
    static const void* shapeMesh(PhysicsObject* object) { return shapeMesh(object->getBodyActor()); }
    // A new level load's budget of memory, with the limit.
    static void newLoad(std::uint64_t limit) {
        forgetFileRefusals();
        { LoadBudgetScope load("Shapes.irr"); }
        loadBudget().setLimit(LoadBudget::Memory, limit);
    }
    void TearDown() override {
        loadBudget().setLimit(LoadBudget::Memory, LoadBudget::gameLimits[LoadBudget::Memory]);
        PhysicsObjectFixture::TearDown();
    }
    int made = 0;
    std::vector<phys::RigidActor*> volumes;
};

// One mesh (or its geometry) at one scale (a turned one's within a rounding) and kind is one
// build; another scale or kind builds its own. The level's scene takes them along.
TEST_F(CollisionShapeCacheTest, ObjectsShareAShapeOfOneMeshScaleAndKind) {
    CollisionShapeCache& cache = physics->getShapeCache();
    const void* shared = shapeMesh(rock("Convex", "Dynamic"));
    ASSERT_NE(shared, nullptr);
    const std::uint64_t builds = cache.buildCount();
    const struct {
        const char* what;
        const void* shape;
        bool shares;
    } rows[] = {
        {"the same", shapeMesh(rock("Convex", "Dynamic")), true},
        {"kinematic", shapeMesh(rock("Convex", "Kinematic")), true},
        {"turned", shapeMesh(rock("Convex", "Dynamic", {1, 1, 1}, {0, 37, 20})), true},
        {"twice the size", shapeMesh(rock("Convex", "Dynamic", {2, 2, 2})), false},
        {"a triangle mesh", shapeMesh(rock("Mesh", "Static")), false},
        {"a trigger volume", shapeMesh(rockVolume(false)), true},
        {"a trigger volume of a copy of the mesh", shapeMesh(rockVolume(true)), true},
    };
    std::uint64_t own = 0;
    for (const auto& row : rows) {
        ASSERT_NE(row.shape, nullptr) << row.what;
        EXPECT_EQ(row.shape == shared, row.shares) << row.what;
        own += row.shares ? 0 : 1;
    }
    EXPECT_EQ(cache.buildCount(), builds + own);
    EXPECT_EQ(cache.size(), 1 + own);
    for (phys::RigidActor* volume : volumes)
        physics->releaseActor(volume, true);

    auto* hull = static_cast<phys::ConvexMesh*>(const_cast<void*>(shared));
    hull->acquire();
    smgr()->clear(); // the level's unload
    physics->resetScene();
    EXPECT_EQ(cache.size(), 0u);
    EXPECT_EQ(hull->getReferenceCount(), 1u) << "only this test's reference is left";
    hull->release();
}

// A shape is charged to the level's memory once, as built: one byte short refuses it with the
// one line and every object naming it goes without its body. Each level load charges its own.
TEST_F(CollisionShapeCacheTest, AShapeIsChargedOnceAndLeftOutPastTheMemoryBudget) {
    rock("Mesh", "Static"); // the render mesh read (and charged) before
    newLoad(LoadBudget::gameLimits[LoadBudget::Memory]);
    rock("Mesh", "Static");
    const std::uint64_t shape = loadBudget().used(LoadBudget::Memory);
    ASSERT_GT(shape, 0u);
    for (const std::uint64_t limit : {shape, shape - 1}) {
        SCOPED_TRACE(limit);
        newLoad(limit);
        log.lines.clear();
        // Two on the bound: charged once.
        for (PhysicsObject* object : {rock("Mesh", "Static"), rock("Mesh", "Static")})
            EXPECT_EQ(object->getBodyActor() != nullptr, limit == shape);
        const std::string refusal = "ERROR: The level load reached its budget of " + std::to_string(limit) +
                                    " bytes of memory at \"Shapes.irr\"; the rest is left out.";
        EXPECT_EQ(log.lines, limit == shape ? std::vector<std::string>{} : std::vector<std::string>{refusal});
    }
}

} // namespace
