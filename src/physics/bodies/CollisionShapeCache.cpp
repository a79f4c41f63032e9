#include "physics/bodies/CollisionShapeCache.h"

#include "physics/bodies/BuildSteps.h"
#include "physics/bodies/MeshCooking.h"

#include "core/FileChecks.h"
#include "core/LoadBudget.h"

#include <algorithm>
#include <cmath>

namespace {

bool sameScale(const irr::core::vector3df& a, const irr::core::vector3df& b) {
    const auto close = [](float x, float y) { return std::fabs(x - y) <= 1e-5f * std::max(std::fabs(x), std::fabs(y)); };
    return close(a.X, b.X) && close(a.Y, b.Y) && close(a.Z, b.Z);
}

} // namespace

template <class Cooked>
void CollisionShapeCache::release(Build<Cooked>& build) {
    for (Cooked* cooked : build.meshes)
        if (cooked)
            cooked->release();
    build.meshes.clear();
    if (build.mesh)
        build.mesh->drop();
    build.mesh = nullptr;
}

template <class Cooked, class Cook, class Bytes>
std::vector<Cooked*> CollisionShapeCache::shapesOf(std::vector<Build<Cooked>>& list, PhysicsManager& manager,
                                                   irr::scene::IMesh& mesh, const irr::core::vector3df& scale,
                                                   Cook cook, Bytes bytes) {
    const std::uint64_t round = fileRefusalRound();
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->mesh != &mesh || !sameScale(it->scale, scale))
            continue;
        if (it->round == round)
            return it->meshes;
        // Built for an earlier level load: this one builds and charges its own.
        release(*it);
        list.erase(it);
        break;
    }
    Build<Cooked> build;
    build.scale = scale;
    build.round = round;
    for (irr::u32 i = 0; i < mesh.getMeshBufferCount(); ++i) {
        if (quitBeforeBuildStep()) {
            release(build);
            return {};
        }
        const irr::scene::IMeshBuffer* buffer = mesh.getMeshBuffer(i);
        const bool charged = buffer && loadBudget().charge(LoadBudget::Memory, bytes(*buffer));
        build.meshes.push_back(charged ? cook(&manager, buffer, scale) : nullptr);
    }
    ++builds;
    build.mesh = &mesh;
    mesh.grab();
    list.push_back(build);
    return build.meshes;
}

std::vector<phys::ConvexMesh*> CollisionShapeCache::hulls(PhysicsManager& manager, irr::scene::IMesh& mesh,
                                                          const irr::core::vector3df& scale) {
    return shapesOf(hullBuilds, manager, mesh, scale, cookConvexMesh, [](const irr::scene::IMeshBuffer& buffer) {
        return phys::ConvexMesh::memoryBytes(buffer.getVertexCount());
    });
}

std::vector<phys::TriangleMesh*> CollisionShapeCache::triangleMeshes(PhysicsManager& manager, irr::scene::IMesh& mesh,
                                                                     const irr::core::vector3df& scale) {
    return shapesOf(meshBuilds, manager, mesh, scale, cookTriangleMesh, [](const irr::scene::IMeshBuffer& buffer) {
        return phys::TriangleMesh::memoryBytes(buffer.getVertexCount(), buffer.getIndexCount() / 3);
    });
}

void CollisionShapeCache::clear() {
    for (Build<phys::ConvexMesh>& build : hullBuilds)
        release(build);
    for (Build<phys::TriangleMesh>& build : meshBuilds)
        release(build);
    hullBuilds.clear();
    meshBuilds.clear();
}
