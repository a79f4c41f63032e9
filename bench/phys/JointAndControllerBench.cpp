// Joints and character controllers:
// (c) 200 boxes in 50 chains of four, hung from static posts by ball joints and swinging,
//     600 steps, through the layer and through plain Bullet with the same constraints;
// (d) 64 character controllers walking over a bumpy triangle-mesh ground for 600 frames:
//     the time of one controller move.

#include "BenchWorlds.h"

#include <cmath>
#include <type_traits>
#include <vector>

namespace {

using namespace physbench;

constexpr int Chains = 50;
constexpr int Links = 4;
constexpr float LinkSpacing = 1.2f;

// The chains start level and swing down; each joint sits halfway between two boxes.
template <class World>
void fillChains(World& world) {
    for (int c = 0; c < Chains; ++c) {
        const float x = (c % 10) * 8.0f - 40.0f, z = (c / 10) * 4.0f - 10.0f, y = 20.0f;
        const btVector3 half(0.5f * LinkSpacing, 0, 0);
        if constexpr (std::is_same_v<World, LayerWorld>) {
            phys::RigidStatic* post = world.physics->createRigidStatic(phys::Transform(phys::Vec3(x, y, z)));
            post->createShape(phys::BoxGeometry(0.5f, 0.5f, 0.5f), *world.material)
                ->setSimulationFilterData(StaticWords);
            world.scene->addActor(*post);
            phys::RigidActor* previous = post;
            for (int k = 0; k < Links; ++k) {
                phys::RigidDynamic* box = world.addBox(phys::Vec3(x + LinkSpacing * (k + 1), y, z));
                const phys::Vec3 h(half.x(), 0, 0);
                phys::createSphericalJoint(*world.physics, previous, phys::Transform(h), box, phys::Transform(-h));
                previous = box;
            }
        } else {
            btRigidBody* previous = world.addBody(btVector3(x, y, z), &world.boxShape, 0.0f);
            for (int k = 0; k < Links; ++k) {
                btRigidBody* box = world.addBox(btVector3(x + LinkSpacing * (k + 1), y, z));
                const btQuaternion level = btQuaternion::getIdentity();
                auto* joint = new btGeneric6DofSpring2Constraint(*previous, *box, btTransform(level, half),
                                                                 btTransform(level, -half), RO_XYZ);
                // As the layer configures a ball joint: locked position, free turns.
                for (int axis = 0; axis < 6; ++axis) {
                    joint->setLimit(axis, axis < 3 ? 0 : 1, axis < 3 ? 0 : -1);
                    joint->setParam(BT_CONSTRAINT_STOP_ERP, 0.4f, axis);
                    joint->setParam(BT_CONSTRAINT_STOP_CFM, 0.0f, axis);
                    joint->setBounce(axis, 0.0f);
                }
                joint->setOverrideNumSolverIterations(10);
                world.world.addConstraint(joint, true);
                world.joints.push_back(joint);
                previous = box;
            }
        }
    }
}

Timing runChains() {
    LayerWorld layer(0);
    RawWorld raw;
    fillChains(layer);
    fillChains(raw);
    return stepSideBySide(layer, raw);
}

void SceneC_JointedChains(benchmark::State& state) { compare(state, runChains); }
BENCHMARK(SceneC_JointedChains)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// A 60 x 60 grid of unit cells, gently waved.
phys::TriangleMesh* bumpyGround(LayerWorld& world, phys::Cooking& cooking) {
    constexpr int Cells = 60;
    std::vector<phys::Vec3> vertices;
    std::vector<uint32_t> indices;
    for (int j = 0; j <= Cells; ++j)
        for (int i = 0; i <= Cells; ++i)
            vertices.emplace_back(i - 0.5f * Cells, 0.5f + 0.2f * std::sin(0.7f * i) * std::cos(0.5f * j),
                                  j - 0.5f * Cells);
    for (int j = 0; j < Cells; ++j) {
        for (int i = 0; i < Cells; ++i) {
            const uint32_t a = j * (Cells + 1) + i, b = a + 1, c = a + Cells + 1, d = c + 1;
            indices.insert(indices.end(), {a, c, b, b, c, d});
        }
    }
    phys::TriangleMeshDesc desc;
    desc.points = {vertices.data(), sizeof(phys::Vec3), static_cast<uint32_t>(vertices.size())};
    desc.triangles = {indices.data(), 3 * sizeof(uint32_t), static_cast<uint32_t>(indices.size() / 3)};
    phys::CookedTriangleMesh cooked;
    cooking.cookTriangleMesh(desc, cooked);
    return world.physics->createTriangleMesh(cooked);
}

void SceneD_ControllersOnAMesh(benchmark::State& state) {
    double moving = 0.0;
    int64_t moves = 0;
    for (auto _ : state) {
        LayerWorld world(0);
        phys::CookingParams params;
        phys::Cooking* cooking = phys::Cooking::create(*world.foundation, params);
        phys::TriangleMesh* mesh = bumpyGround(world, *cooking);
        phys::RigidStatic* ground = world.physics->createRigidStatic(phys::Transform());
        ground->createShape(phys::TriangleMeshGeometry(mesh), *world.material)->setQueryFilterData(StaticWords);
        world.scene->addActor(*ground);
        mesh->release();

        phys::ControllerManager* manager = phys::ControllerManager::create(*world.foundation);
        std::vector<phys::Controller*> walkers;
        for (int i = 0; i < 64; ++i) {
            phys::CapsuleControllerDesc desc;
            desc.position = phys::ExtVec3((i % 8) * 6.0 - 21.0, 3.0, (i / 8) * 6.0 - 21.0);
            desc.radius = 0.5f;
            desc.height = 1.0f;
            desc.stepOffset = 0.0f;
            desc.scaleCoeff = 0.95f;
            desc.material = world.material;
            walkers.push_back(manager->createController(*world.physics, world.scene, desc));
        }
        const phys::FilterData words(0x0fffc007, 0, 0, 0);
        phys::ControllerFilters filters;
        filters.filterData = &words;
        for (int frame = 0; frame < Steps; ++frame) {
            const Clock::time_point start = Clock::now();
            for (size_t i = 0; i < walkers.size(); ++i) {
                const float heading = 0.1f * static_cast<float>(i) + 0.5f * Step * static_cast<float>(frame);
                const phys::Vec3 walk(3.0f * Step * std::cos(heading), Gravity * Step * 0.5f,
                                      3.0f * Step * std::sin(heading));
                walkers[i]->move(walk, 0.00001f, 1.0f, filters);
            }
            moving += millisecondsSince(start);
            moves += static_cast<int64_t>(walkers.size());
            world.step();
        }
        manager->release();
        cooking->release();
    }
    state.counters["move_us"] = 1000.0 * moving / static_cast<double>(moves);
}
BENCHMARK(SceneD_ControllersOnAMesh)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
