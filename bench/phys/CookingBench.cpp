// What one body's collision shape costs to build, as the game cooks them from a mesh buffer:
// (a) the hull of points on a sphere, every one of them on the hull: 254 points (just under the
//     most a hull is computed from, phys::MaxHullPoints, so taken whole) and 65,002 (a hostile
//     collision mesh), cooked and made into the layer's convex mesh;
// (b) a triangle mesh of a grid of 538,000 triangles (a 15 MB collision mesh), cooked and made
//     into the layer's triangle mesh with its tree.
// The last line gives the times side by side.

#include "../support/RatioReporter.h"
#include "BenchWorlds.h"

#include "phys/Phys.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

// Points on a sphere of radius 1 in rings from pole to pole: two poles and `rings` rings of
// `segments` points.
std::vector<phys::Vec3> spherePoints(int rings, int segments) {
    std::vector<phys::Vec3> points = {phys::Vec3(0, 1, 0), phys::Vec3(0, -1, 0)};
    for (int r = 1; r <= rings; ++r) {
        const float polar = 3.14159265f * static_cast<float>(r) / static_cast<float>(rings + 1);
        for (int s = 0; s < segments; ++s) {
            const float around = 6.2831853f * static_cast<float>(s) / static_cast<float>(segments);
            points.emplace_back(std::sin(polar) * std::cos(around), std::cos(polar), std::sin(polar) * std::sin(around));
        }
    }
    return points;
}

struct Cooker {
    Cooker() {
        foundation = phys::Foundation::create(nullptr, nullptr);
        const phys::Tolerances tolerances = physbench::gameTolerances();
        physics = phys::Physics::create(*foundation, tolerances);
        phys::CookingParams params;
        params.scale = tolerances;
        cooking = phys::Cooking::create(*foundation, params);
    }
    ~Cooker() {
        cooking->release();
        physics->release();
        foundation->release();
    }
    phys::Foundation* foundation = nullptr;
    phys::Physics* physics = nullptr;
    phys::Cooking* cooking = nullptr;
};

void hullOf(benchmark::State& state, const std::vector<phys::Vec3>& points) {
    Cooker cooker;
    phys::ConvexMeshDesc desc;
    desc.points = {points.data(), sizeof(phys::Vec3), static_cast<uint32_t>(points.size())};
    desc.flags = phys::ConvexComputeConvex | phys::ConvexUncompressedNormals;
    uint32_t hullVertices = 0;
    for (auto _ : state) {
        phys::CookedConvex cooked;
        if (!cooker.cooking->cookConvexMesh(desc, cooked)) {
            state.SkipWithError("the hull did not cook");
            return;
        }
        phys::ConvexMesh* mesh = cooker.physics->createConvexMesh(cooked);
        hullVertices = mesh->getNbVertices();
        mesh->release();
    }
    state.counters["points"] = static_cast<double>(points.size());
    state.counters["hull_vertices"] = hullVertices;
}

void Hull_254Points(benchmark::State& state) { hullOf(state, spherePoints(14, 18)); }
BENCHMARK(Hull_254Points)->Unit(benchmark::kMillisecond);

void Hull_65002Points(benchmark::State& state) { hullOf(state, spherePoints(250, 260)); }
BENCHMARK(Hull_65002Points)->Unit(benchmark::kMillisecond)->Iterations(3);

// A bumpy grid of 501 x 539 points: 538,000 triangles.
void TriangleMesh_538000Triangles(benchmark::State& state) {
    const int across = 501, deep = 539;
    std::vector<phys::Vec3> points;
    for (int z = 0; z < deep; ++z)
        for (int x = 0; x < across; ++x)
            points.emplace_back(static_cast<float>(x) * 0.2f, 0.3f * std::sin(0.37f * x) * std::cos(0.23f * z),
                                static_cast<float>(z) * 0.2f);
    std::vector<uint32_t> indices;
    for (int z = 0; z + 1 < deep; ++z)
        for (int x = 0; x + 1 < across; ++x) {
            const uint32_t a = static_cast<uint32_t>(z * across + x), b = a + 1, c = a + across, d = c + 1;
            indices.insert(indices.end(), {a, c, b, b, c, d});
        }
    Cooker cooker;
    phys::TriangleMeshDesc desc;
    desc.points = {points.data(), sizeof(phys::Vec3), static_cast<uint32_t>(points.size())};
    desc.triangles = {indices.data(), 12, static_cast<uint32_t>(indices.size() / 3)};
    for (auto _ : state) {
        phys::CookedTriangleMesh cooked;
        if (!cooker.cooking->cookTriangleMesh(desc, cooked)) {
            state.SkipWithError("the mesh did not cook");
            return;
        }
        cooker.physics->createTriangleMesh(cooked)->release();
    }
    state.counters["triangles"] = static_cast<double>(indices.size() / 3);
}
BENCHMARK(TriangleMesh_538000Triangles)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

int main(int argc, char** argv) {
    bench::RatioReporter reporter;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const auto ms = [&](const char* name) {
        const auto found = reporter.seconds.find(name);
        return found == reporter.seconds.end() ? 0.0 : found->second;
    };
    std::printf("One body's shape (ms): hull of 254 points %.2f, of 65,002 points %.1f (%.0f times the 254), "
                "triangle mesh of 538,000 triangles %.0f (0 = not run)\n",
                ms("Hull_254Points"), ms("Hull_65002Points"), reporter.ratio("Hull_65002Points", "Hull_254Points"),
                ms("TriangleMesh_538000Triangles"));
    return 0;
}
