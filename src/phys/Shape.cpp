#include "phys/Shape.h"

#include "phys/Actor.h"
#include "phys/Foundation.h"
#include "phys/Material.h"
#include "phys/Meshes.h"
#include "phys/Physics.h"
#include "phys/Scene.h"
#include "phys/detail/Backs.h"
#include "phys/detail/SceneCore.h"

namespace phys {

Shape::Shape(RigidActor& actor_, const GeometryHolder& geometry_, Material* const* list, uint32_t count,
             const Transform& localPose_)
    : actor(actor_), geometry(geometry_), localPose(localPose_), materials(list, list + count),
      back_(std::make_unique<detail::ShapeBack>()) {
    if (geometry.getType() == GeometryType::ConvexMesh)
        geometry.convexMesh().convexMesh->acquire();
    if (geometry.getType() == GeometryType::TriangleMesh)
        geometry.triangleMesh().triangleMesh->acquire();
    back_->owner = this;
    back_->actor = &actor;
    back_->shape = detail::createBulletShape(geometry);
    back_->shape->setUserPointer(back_.get());
    back_->queryObject.setCollisionShape(back_->shape);
    back_->flags = flags;
    back_->friction = materials[0]->getDynamicFriction();
    back_->restitution = materials[0]->getRestitution();
}

Shape::~Shape() {
    back_.reset();
    if (geometry.getType() == GeometryType::ConvexMesh)
        geometry.convexMesh().convexMesh->release();
    if (geometry.getType() == GeometryType::TriangleMesh)
        geometry.triangleMesh().triangleMesh->release();
}

void Shape::changed(uint32_t dirtyBits) { actor.markDirty(dirtyBits); }

namespace {
template <class G>
bool copyGeometry(const GeometryHolder& holder, const G& stored, G& out) {
    if (holder.getType() != out.getType())
        return false;
    out = stored;
    return true;
}
} // namespace

bool Shape::getBoxGeometry(BoxGeometry& out) const { return copyGeometry(geometry, geometry.box(), out); }

bool Shape::getSphereGeometry(SphereGeometry& out) const { return copyGeometry(geometry, geometry.sphere(), out); }

bool Shape::getCapsuleGeometry(CapsuleGeometry& out) const { return copyGeometry(geometry, geometry.capsule(), out); }

bool Shape::getConvexMeshGeometry(ConvexMeshGeometry& out) const {
    return copyGeometry(geometry, geometry.convexMesh(), out);
}

bool Shape::getTriangleMeshGeometry(TriangleMeshGeometry& out) const {
    return copyGeometry(geometry, geometry.triangleMesh(), out);
}

void Shape::setLocalPose(const Transform& pose) {
    if (!pose.isValid()) {
        PHYS_REPORT(actor.getPhysics().getFoundation(), ErrorCode::InvalidParameter,
                    "setLocalPose: pose not finite or rotation not of unit length");
        return;
    }
    localPose = Transform(pose.p, pose.q.getNormalized());
    changed(detail::DirtyShapes);
    if (Scene* scene = actor.getScene(); scene && !actor.isReleased())
        scene->core().shapeQueryChanged(*this);
}

void Shape::setSimulationFilterData(const FilterData& data) {
    simulationFilter = data;
    changed(detail::DirtyFilter);
}

void Shape::setQueryFilterData(const FilterData& data) {
    if (data == queryFilter)
        return;
    queryFilter = data;
    // The query world groups shapes by their words.
    if (Scene* scene = actor.getScene(); scene && !actor.isReleased())
        scene->core().shapeQueryChanged(*this);
}

void Shape::setFlag(ShapeFlag flag, bool value) {
    const uint32_t next = value ? flags | flag : flags & ~static_cast<uint32_t>(flag);
    if ((next & ShapeSimulation) && (next & ShapeTrigger)) {
        PHYS_REPORT(actor.getPhysics().getFoundation(), ErrorCode::InvalidParameter,
                    "setFlag: a shape cannot be a simulation shape and a trigger shape at once");
        return;
    }
    if (next == flags)
        return;
    flags = next;
    changed(detail::DirtyFilter | detail::DirtyParams);
    if (Scene* scene = actor.getScene(); scene && !actor.isReleased() && flag == ShapeSceneQuery)
        scene->core().shapeQueryChanged(*this);
}

uint32_t Shape::getMaterials(Material** buffer, uint32_t bufferSize) const {
    uint32_t n = 0;
    for (; n < materials.size() && n < bufferSize; ++n)
        buffer[n] = materials[n];
    return n;
}

void Shape::setMaterials(Material* const* list, uint32_t count) {
    bool valid = list && count > 0;
    for (uint32_t i = 0; valid && i < count; ++i)
        valid = list[i] != nullptr;
    if (!valid) {
        PHYS_REPORT(actor.getPhysics().getFoundation(), ErrorCode::InvalidParameter,
                    "setMaterials: at least one material is required");
        return;
    }
    materials.assign(list, list + count);
    changed(detail::DirtyParams);
}

Bounds3 Shape::getWorldBounds() const { return computeGeometryBounds(geometry, actor.getGlobalPose() * localPose); }

} // namespace phys
