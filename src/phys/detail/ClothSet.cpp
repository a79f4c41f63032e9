#include "phys/detail/ClothSet.h"

#include "phys/Cloth.h"
#include "phys/Physics.h"
#include "phys/detail/BulletConvert.h"
#include "phys/detail/SceneCore.h"

#include <algorithm>
#include <cmath>

namespace phys::detail {

namespace {
// Fewest position passes per step: with fewer, hanging cloth stretches by several per cent
// under the game's strong gravity.
constexpr int MinPositionIterations = 10;
} // namespace

std::vector<std::pair<int, int>> clothBendingPairs(int particleCount, const std::vector<uint32_t>& edges) {
    const size_t n = particleCount > 0 ? static_cast<size_t>(particleCount) : 0;
    // Neighbour lists, sorted and without repeats, in one array indexed by first[].
    std::vector<uint32_t> first(n + 1, 0);
    for (size_t e = 0; e + 1 < edges.size(); e += 2) {
        if (edges[e] >= n || edges[e + 1] >= n || edges[e] == edges[e + 1])
            continue;
        ++first[edges[e] + 1];
        ++first[edges[e + 1] + 1];
    }
    for (size_t i = 0; i < n; ++i)
        first[i + 1] += first[i];
    std::vector<uint32_t> neighbours(first[n]);
    std::vector<uint32_t> fill(first.begin(), first.end() - 1);
    for (size_t e = 0; e + 1 < edges.size(); e += 2) {
        const uint32_t a = edges[e], b = edges[e + 1];
        if (a >= n || b >= n || a == b)
            continue;
        neighbours[fill[a]++] = b;
        neighbours[fill[b]++] = a;
    }
    std::vector<uint32_t> count(n, 0);
    for (size_t i = 0; i < n; ++i) {
        auto begin = neighbours.begin() + first[i], end = neighbours.begin() + first[i + 1];
        std::sort(begin, end);
        count[i] = static_cast<uint32_t>(std::unique(begin, end) - begin);
    }
    const auto isNeighbour = [&](uint32_t a, uint32_t b) {
        const auto begin = neighbours.begin() + first[a];
        return std::binary_search(begin, begin + count[a], b);
    };

    std::vector<std::pair<int, int>> pairs;
    std::vector<uint32_t> found;
    for (uint32_t nearIndex = 0; nearIndex < n; ++nearIndex) {
        found.clear();
        for (uint32_t k = first[nearIndex]; k < first[nearIndex] + count[nearIndex]; ++k) {
            const uint32_t middle = neighbours[k];
            for (uint32_t m = first[middle]; m < first[middle] + count[middle]; ++m) {
                const uint32_t farIndex = neighbours[m];
                if (farIndex > nearIndex && !isNeighbour(nearIndex, farIndex))
                    found.push_back(farIndex);
            }
        }
        std::sort(found.begin(), found.end());
        found.erase(std::unique(found.begin(), found.end()), found.end());
        for (uint32_t farIndex : found)
            pairs.emplace_back(static_cast<int>(farIndex), static_cast<int>(nearIndex));
    }
    return pairs;
}

ClothSet::ClothSet(SceneCore& core_) : core(core_) {}

ClothSet::~ClothSet() { clear(); }

void ClothSet::add(Cloth& cloth) {
    cloths.push_back(&cloth);
    cloth.back().inScene = true;
}

void ClothSet::release(Cloth& cloth) {
    cloths.erase(std::remove(cloths.begin(), cloths.end(), &cloth), cloths.end());
    cloth.back().inScene = false;
    released.push_back(&cloth);
}

void ClothSet::build(Cloth& cloth) {
    ClothBack& back = cloth.back();
    const CookedClothFabric& fabric = cloth.fabric.data();
    const size_t n = cloth.particles.size();
    std::vector<btVector3> positions(n);
    std::vector<btScalar> masses(n);
    for (size_t i = 0; i < n; ++i) {
        positions[i] = toBt(cloth.pose.transform(cloth.particles[i].pos));
        masses[i] = cloth.particles[i].invWeight > 0.0f ? 1.0f / cloth.particles[i].invWeight : 0.0f;
    }
    back.info.air_density = 0;
    back.info.water_density = 0;
    back.info.m_sparsesdf.Initialize();
    back.body = new btSoftBody(&back.info, static_cast<int>(n), positions.data(), masses.data());
    btSoftBody& body = *back.body;
    body.m_cfg.collisions = 0;
    btSoftBody::Material* material = body.m_materials[0];
    material->m_kLST = 1;
    for (size_t e = 0; e < fabric.restLengths.size(); ++e)
        body.appendLink(static_cast<int>(fabric.edges[2 * e]), static_cast<int>(fabric.edges[2 * e + 1]), material,
                        false);
    for (size_t t = 0; t + 2 < fabric.triangles.size(); t += 3) {
        const uint32_t a = fabric.triangles[t], b = fabric.triangles[t + 1], c = fabric.triangles[t + 2];
        if (a != b && b != c && a != c)
            body.appendFace(static_cast<int>(a), static_cast<int>(b), static_cast<int>(c), material);
    }
    // Not generateBendingConstraints: its table has one entry per pair of particles. The
    // pairs were found as the fabric was cooked (clothBendingPairs).
    for (size_t p = 0; p + 1 < fabric.bendingPairs.size(); p += 2) {
        body.appendLink(static_cast<int>(fabric.bendingPairs[p]), static_cast<int>(fabric.bendingPairs[p + 1]), material,
                        false);
        body.m_links[body.m_links.size() - 1].m_bbending = 1;
    }
    body.updateConstants();
    // The fabric's own rest lengths, whatever positions the particles were given; Bullet would
    // take the current lengths again at the next step.
    for (size_t e = 0; e < fabric.restLengths.size(); ++e) {
        btSoftBody::Link& link = body.m_links[static_cast<int>(e)];
        link.m_rl = fabric.restLengths[e];
        link.m_c1 = link.m_rl * link.m_rl;
    }
    body.m_bUpdateRtCst = false;
    back.pose = cloth.pose;
}

void ClothSet::apply(Cloth& cloth, float dt) {
    ClothBack& back = cloth.back();
    if (!back.body) {
        build(cloth);
        cloth.particlesWritten = cloth.previousWritten = cloth.poseChanged = false;
    }
    btSoftBody& body = *back.body;
    if (cloth.particlesWritten) {
        for (size_t i = 0; i < cloth.particles.size(); ++i) {
            btSoftBody::Node& node = body.m_nodes[static_cast<int>(i)];
            const ClothParticle& p = cloth.particles[i];
            node.m_x = toBt(cloth.pose.transform(p.pos));
            if (cloth.previousWritten)
                node.m_v = (node.m_x - toBt(cloth.pose.transform(cloth.previous[i].pos))) / dt;
            // Not setMass: Bullet would take the links' current lengths as their rest lengths.
            node.m_im = std::max(0.0f, p.invWeight);
            if (node.m_im == 0)
                node.m_v = btVector3(0, 0, 0);
        }
        body.updateLinkConstants();
    } else if (cloth.poseChanged) {
        const btTransform moved = toBt(cloth.pose * back.pose.getInverse());
        for (int i = 0; i < body.m_nodes.size(); ++i) {
            body.m_nodes[i].m_x = moved * body.m_nodes[i].m_x;
            body.m_nodes[i].m_v = moved.getBasis() * body.m_nodes[i].m_v;
        }
    }
    back.pose = cloth.pose;
    cloth.particlesWritten = cloth.previousWritten = cloth.poseChanged = false;

    const bool gravity = !cloth.getActorFlag(ActorFlag::DisableGravity);
    back.info.m_gravity = toBt((gravity ? core.gravity : Vec3()) + cloth.externalAcceleration);
    body.m_cfg.piterations =
        std::max(MinPositionIterations, static_cast<int>(std::ceil(cloth.solverFrequency * dt - 1e-3f)));
}

void ClothSet::push(float dt) {
    for (Cloth* cloth : released) {
        core.physics.forgetActor(*cloth);
        delete cloth;
    }
    released.clear();
    stepping.clear();
    for (Cloth* cloth : cloths) {
        apply(*cloth, dt);
        stepping.push_back(cloth->back().body);
    }
}

void ClothSet::step(float dt) {
    for (btSoftBody* soft : stepping) {
        btSoftBody& body = *soft;
        body.predictMotion(dt);
        body.solveConstraints();
        body.integrateMotion();
    }
}

void ClothSet::pull() {
    for (Cloth* cloth : cloths) {
        const ClothBack& back = cloth->back();
        if (cloth->particlesWritten || !back.body)
            continue;
        const Transform toLocal = back.pose.getInverse();
        for (size_t i = 0; i < cloth->particles.size(); ++i)
            cloth->particles[i].pos = toLocal.transform(fromBt(back.body->m_nodes[static_cast<int>(i)].m_x));
    }
}

void ClothSet::clear() {
    std::vector<Cloth*> all;
    all.swap(cloths);
    all.insert(all.end(), released.begin(), released.end());
    released.clear();
    stepping.clear();
    for (Cloth* cloth : all) {
        core.physics.forgetActor(*cloth);
        delete cloth;
    }
}

} // namespace phys::detail
