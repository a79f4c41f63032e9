// Characters among many: 100 and 1,000 character controllers on a square grid 1.5 units
// apart (a capsule is 1.0 wide), each walking a wide circle of its own phase at 3 units a
// second, so that neighbours keep bumping into and pushing each other. Each frame moves every
// controller once, as the game's characters do, then steps the scene; the time is the main
// thread's CPU time of the moves alone. A move meets only the controllers near it, so ten
// times the characters should cost about ten times: the ratio line says how far from that.
// Each size also counts the closest-point tests between two capsules a move makes.
//
// The second case gives every character a sight cone as the game's characters have: a
// kinematic volume as large as a vision cone's bounds (20 units long, 34 wide) ahead of it,
// moved with it every frame, with the query words of the game's trigger volumes; the moves
// use the words of the game's characters, which leave those volumes (and the capsules) out.
// So the cones should not change what a move costs. The step, which moves the cones'
// actors in the broadphase, is timed apart (step_ms_per_frame).

#include "BenchWorlds.h"
#include "../support/CounterReporter.h"

#include "phys/detail/ControllerMotion.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace physbench;

constexpr float Spacing = 1.5f;
constexpr int SettleFrames = 10;
constexpr int MeasuredFrames = 20;
// Half extents of a sight cone's volume, and how far ahead of its character its centre is.
const phys::Vec3 ConeHalf(17.0f, 17.0f, 10.0f);
constexpr float ConeAhead = 10.0f;
// The game's words: what a character's move looks for, a character's capsule, a trigger
// volume that only the player sets off, and a static object.
constexpr phys::FilterData MoveWords(0x0fffc007, 0, 0, 0);
constexpr phys::FilterData CapsuleWords(0x80, 0x0fffff8f, 0, 0);
constexpr phys::FilterData ConeWords(0x8, 0x3F00, 0, 0);

void walkCharacters(benchmark::State& state, bool cones) {
    const int count = static_cast<int>(state.range(0));
    double moving = 0.0, stepping = 0.0;
    uint64_t tests = 0;
    for (auto _ : state) {
        LayerWorld world(0);
        phys::ControllerManager* manager = phys::ControllerManager::create(*world.foundation);
        std::vector<phys::Controller*> walkers;
        const int side = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count))));
        const double origin = -0.5 * Spacing * (side - 1);
        for (int i = 0; i < count; ++i) {
            phys::CapsuleControllerDesc desc;
            desc.position = phys::ExtVec3(origin + (i % side) * Spacing, 1.2, origin + (i / side) * Spacing);
            desc.radius = 0.5f;
            desc.height = 1.0f;
            desc.stepOffset = 0.5f;
            desc.scaleCoeff = 0.95f;
            desc.material = world.material;
            walkers.push_back(manager->createController(*world.physics, world.scene, desc));
            if (cones) {
                phys::Shape* capsule = nullptr;
                walkers.back()->getActor()->getShapes(&capsule, 1);
                capsule->setQueryFilterData(CapsuleWords);
            }
        }
        if (cones) {
            phys::Shape* ground = nullptr;
            world.ground->getShapes(&ground, 1);
            ground->setQueryFilterData(StaticWords);
        }
        std::vector<phys::RigidDynamic*> sights;
        for (int i = 0; cones && i < count; ++i) {
            phys::RigidDynamic* cone = world.physics->createRigidDynamic(phys::Transform());
            phys::Shape* shape = cone->createShape(phys::BoxGeometry(ConeHalf), *world.material);
            shape->setSimulationFilterData(ConeWords);
            shape->setQueryFilterData(ConeWords);
            cone->setRigidDynamicFlag(phys::RigidDynamicFlag::Kinematic, true);
            world.scene->addActor(*cone);
            sights.push_back(cone);
        }
        phys::ControllerFilters filters;
        if (cones) {
            filters.filterData = &MoveWords;
            filters.filterFlags = phys::QueryStatic | phys::QueryDynamic;
        }
        for (int frame = 0; frame < SettleFrames + MeasuredFrames; ++frame) {
            const double start = threadMilliseconds();
            const uint64_t testsBefore = phys::detail::ControllerMotion::controllerTestsSoFar();
            for (size_t i = 0; i < walkers.size(); ++i) {
                const float heading = 0.7f * static_cast<float>(i) + 0.5f * Step * static_cast<float>(frame);
                const phys::Vec3 walk(3.0f * Step * std::cos(heading), Gravity * Step * 0.5f,
                                      3.0f * Step * std::sin(heading));
                walkers[i]->move(walk, 0.00001f, 1.0f, filters);
                if (cones) {
                    const phys::ExtVec3 p = walkers[i]->getPosition();
                    const phys::Vec3 ahead(std::cos(heading), 0.0f, std::sin(heading));
                    const phys::Vec3 at(static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z));
                    sights[i]->setGlobalPose(phys::Transform(
                        at + ahead * ConeAhead, phys::Quat::fromAxisAngle(phys::Vec3(0, 1, 0), -heading)));
                }
            }
            const double stepStart = threadMilliseconds();
            world.step();
            if (frame >= SettleFrames) {
                moving += stepStart - start;
                stepping += threadMilliseconds() - stepStart;
                tests += phys::detail::ControllerMotion::controllerTestsSoFar() - testsBefore;
            }
        }
        manager->release();
    }
    const double frames = static_cast<double>(state.iterations()) * MeasuredFrames;
    state.counters["moves_ms_per_frame"] = moving / frames;
    state.counters["step_ms_per_frame"] = stepping / frames;
    state.counters["move_us"] = 1000.0 * moving / (frames * count);
    state.counters["capsule_tests_per_move"] = static_cast<double>(tests) / (frames * count);
}
void BM_CharactersWalking(benchmark::State& state) { walkCharacters(state, false); }
void BM_CharactersWalkingWithSightCones(benchmark::State& state) { walkCharacters(state, true); }
BENCHMARK(BM_CharactersWalking)->Arg(100)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CharactersWalkingWithSightCones)->Arg(100)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

// The ratio line comes last.
int main(int argc, char** argv) {
    bench::CounterReporter reporter;
    if (!bench::runBenchmarks(argc, argv, reporter))
        return 1;
    auto ratio = [&](const char* name, const char* counter) {
        const double few = reporter.counter(std::string(name) + "/100", counter);
        const double many = reporter.counter(std::string(name) + "/1000", counter);
        return few > 0.0 ? many / few : 0.0;
    };
    std::printf("With sight cones, steps of a frame, 1,000 characters / 100 characters: %.2f\n",
                ratio("BM_CharactersWalkingWithSightCones", "step_ms_per_frame"));
    std::printf("With sight cones, moves of a frame, 1,000 characters / 100 characters: %.2f\n",
                ratio("BM_CharactersWalkingWithSightCones", "moves_ms_per_frame"));
    std::printf("Moves of a frame, 1,000 characters / 100 characters (main thread CPU time): %.2f "
                "(proportional: 10; goal: at most 15; 0 = not run)\n",
                ratio("BM_CharactersWalking", "moves_ms_per_frame"));
    return 0;
}
