#include "physics/bodies/CollisionShapeCache.h"

#include "physics/bodies/BuildSteps.h"
#include "physics/bodies/MeshCooking.h"

#include "core/FileChecks.h"
#include "core/LoadBudget.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

bool sameScale(const irr::core::vector3df& a, const irr::core::vector3df& b) {
    const auto close = [](float x, float y) { return std::fabs(x - y) <= 1e-5f * std::max(std::fabs(x), std::fabs(y)); };
    return close(a.X, b.X) && close(a.Y, b.Y) && close(a.Z, b.Z);
}

// Whether two meshes hold the same geometry: buffer by buffer the same vertex layout,
// positions and indices. A mesh made for one object (a vision cone's, copied by its trigger)
// then shares the build of another made alike; only meshes of equal counts are compared.
bool sameShapeGeometry(const irr::scene::IMesh& a, const irr::scene::IMesh& b) {
    if (a.getMeshBufferCount() != b.getMeshBufferCount())
        return false;
    for (irr::u32 i = 0; i < a.getMeshBufferCount(); ++i) {
        const irr::scene::IMeshBuffer* x = a.getMeshBuffer(i);
        const irr::scene::IMeshBuffer* y = b.getMeshBuffer(i);
        if (!x || !y)
            return x == y;
        const irr::u32 vertices = x->getVertexCount();
        const irr::u32 indices = x->getIndexCount();
        if (vertices != y->getVertexCount() || indices != y->getIndexCount() ||
            x->getVertexType() != y->getVertexType() || x->getIndexType() != y->getIndexType())
            return false;
        for (irr::u32 v = 0; v < vertices; ++v)
            if (x->getPosition(v) != y->getPosition(v))
                return false;
        const size_t indexBytes = x->getIndexType() == irr::video::EIT_16BIT ? 2 : 4;
        if (indices && std::memcmp(x->getIndices(), y->getIndices(), indices * indexBytes) != 0)
            return false;
    }
    return true;
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
    for (const Build<Cooked>& other : list)
        if (other.round == round && sameScale(other.scale, scale) && sameShapeGeometry(*other.mesh, mesh))
            return other.meshes;
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
