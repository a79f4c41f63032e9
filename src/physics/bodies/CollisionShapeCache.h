#pragma once

#include "phys/Phys.h"

#include <irrlicht.h>

#include <cstdint>
#include <vector>

class PhysicsManager;

// The convex and triangle-mesh shapes cooked from engine meshes, built once per mesh, vertex
// scale and kind, and shared by every body that names them: level objects, Spawn Object
// copies and instances, trigger volumes alike (one collision mesh of 538,000 triangles named
// by a hundred objects was cooked a hundred times, 45 MB each). Two meshes of the same
// geometry count as one: each character's vision cone makes its own cone mesh. A build cooks one mesh per buffer of the
// mesh, each charged to the level's memory budget (core/LoadBudget.h) before it is cooked: a
// buffer past the budget is not cooked, and the bodies go without its shape (the budget's one
// line says so). Between two buffers a build draws a loading frame and looks at the quit; a
// build the quit cut short is not kept, and gives no shapes.
//
// A build belongs to the level load that made it: a later load builds (and charges) its own,
// and clear(), when the level's scene goes (PhysicsManager::releaseScene), gives back the
// cache's references. A body keeps the shapes it was made with. Scales within 1e-5 of each
// other (relative) count as one: a turned object's scale comes out of its matrix a rounding off.
class CollisionShapeCache {
public:
    CollisionShapeCache() = default;
    ~CollisionShapeCache() { clear(); }
    CollisionShapeCache(const CollisionShapeCache&) = delete;
    CollisionShapeCache& operator=(const CollisionShapeCache&) = delete;

    // One hull or triangle mesh per buffer of the mesh at the vertex scale, null where the
    // buffer did not cook or the budget refused it; empty when the quit cut the build short.
    // The caller takes no reference (a shape made from one takes its own).
    std::vector<phys::ConvexMesh*> hulls(PhysicsManager& manager, irr::scene::IMesh& mesh,
                                         const irr::core::vector3df& scale);
    std::vector<phys::TriangleMesh*> triangleMeshes(PhysicsManager& manager, irr::scene::IMesh& mesh,
                                                    const irr::core::vector3df& scale);

    // Gives back every build (the meshes and the cache's references to them).
    void clear();
    // The builds held, and the builds made since the cache was made.
    size_t size() const { return hullBuilds.size() + meshBuilds.size(); }
    std::uint64_t buildCount() const { return builds; }

private:
    template <class Cooked>
    struct Build {
        irr::scene::IMesh* mesh = nullptr; // held (grabbed): its address stays its own
        irr::core::vector3df scale;
        std::uint64_t round = 0; // the level load's (fileRefusalRound)
        std::vector<Cooked*> meshes;
    };
    template <class Cooked, class Cook, class Bytes>
    std::vector<Cooked*> shapesOf(std::vector<Build<Cooked>>& list, PhysicsManager& manager, irr::scene::IMesh& mesh,
                                  const irr::core::vector3df& scale, Cook cook, Bytes bytes);
    template <class Cooked>
    static void release(Build<Cooked>& build);

    std::vector<Build<phys::ConvexMesh>> hullBuilds;
    std::vector<Build<phys::TriangleMesh>> meshBuilds;
    std::uint64_t builds = 0;
};
