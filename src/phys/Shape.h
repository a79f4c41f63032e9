#pragma once

#include "phys/Filtering.h"
#include "phys/Geometry.h"

#include <cstdint>
#include <memory>
#include <vector>

// A collision shape attached to one rigid actor at a local pose. Shapes are created by
// RigidActor::createShape and live as long as their actor.

namespace phys {

class Material;
class RigidActor;
namespace detail {
struct ShapeBack;
class SceneCore;
}

enum ShapeFlag : uint32_t {
    ShapeSimulation = 1, // takes part in contacts
    ShapeSceneQuery = 2, // found by scene queries
    ShapeTrigger = 4,    // reports overlaps as trigger pairs, never collides
};

// User data of the shapes of character controllers.
constexpr uintptr_t ControllerShapeTag = 0x53544343;

class Shape {
public:
    GeometryType getGeometryType() const { return geometry.getType(); }
    const GeometryHolder& getGeometry() const { return geometry; }
    bool getBoxGeometry(BoxGeometry& out) const;
    bool getSphereGeometry(SphereGeometry& out) const;
    bool getCapsuleGeometry(CapsuleGeometry& out) const;
    bool getConvexMeshGeometry(ConvexMeshGeometry& out) const;
    bool getTriangleMeshGeometry(TriangleMeshGeometry& out) const;

    // Pose relative to the actor frame.
    Transform getLocalPose() const { return localPose; }
    void setLocalPose(const Transform& pose);

    FilterData getSimulationFilterData() const { return simulationFilter; }
    void setSimulationFilterData(const FilterData& data);
    FilterData getQueryFilterData() const { return queryFilter; }
    void setQueryFilterData(const FilterData& data);

    // ShapeFlag bits. Simulation and trigger cannot both be set: raising one while the other
    // is set is refused with an error.
    uint32_t getFlags() const { return flags; }
    void setFlag(ShapeFlag flag, bool value);

    uint32_t getNbMaterials() const { return static_cast<uint32_t>(materials.size()); }
    uint32_t getMaterials(Material** buffer, uint32_t bufferSize) const;
    void setMaterials(Material* const* list, uint32_t count);

    RigidActor* getActor() const { return &actor; }
    // Bounds of the geometry at the actor's current pose.
    Bounds3 getWorldBounds() const;

    void* userData = nullptr;

    detail::ShapeBack& back() const { return *back_; }

private:
    friend class RigidActor;
    Shape(RigidActor& actor, const GeometryHolder& geometry, Material* const* materials, uint32_t count,
          const Transform& localPose);
    ~Shape();
    void changed(uint32_t dirtyBits);

    RigidActor& actor;
    GeometryHolder geometry;
    Transform localPose;
    FilterData simulationFilter;
    FilterData queryFilter;
    uint32_t flags = ShapeSimulation | ShapeSceneQuery;
    std::vector<Material*> materials;
    std::unique_ptr<detail::ShapeBack> back_;
};

} // namespace phys
