#include "phys/Actor.h"

#include "phys/Foundation.h"
#include "phys/Joint.h"
#include "phys/Material.h"
#include "phys/Physics.h"
#include "phys/RigidBody.h"
#include "phys/Scene.h"
#include "phys/Shape.h"
#include "phys/detail/Backs.h"
#include "phys/detail/SceneCore.h"

#include <algorithm>

namespace phys {

Actor::Actor(Physics& physics_, ActorType type_) : physics(physics_), type(type_) {}

Actor::~Actor() = default;

RigidActor* Actor::asRigidActor() { return isRigidActor() ? static_cast<RigidActor*>(this) : nullptr; }

const RigidActor* Actor::asRigidActor() const {
    return isRigidActor() ? static_cast<const RigidActor*>(this) : nullptr;
}

RigidDynamic* Actor::asRigidDynamic() {
    return type == ActorType::RigidDynamic ? static_cast<RigidDynamic*>(this) : nullptr;
}

const RigidDynamic* Actor::asRigidDynamic() const {
    return type == ActorType::RigidDynamic ? static_cast<const RigidDynamic*>(this) : nullptr;
}

RigidStatic* Actor::asRigidStatic() { return type == ActorType::RigidStatic ? static_cast<RigidStatic*>(this) : nullptr; }

void Actor::release() {
    if (released)
        return;
    if (scene) {
        scene->core().release(*this);
        return;
    }
    released = true;
    if (isRigidActor())
        static_cast<RigidActor*>(this)->detachAllJoints();
    physics.forgetActor(*this);
    delete this;
}

void Actor::setActorFlag(ActorFlag flag, bool value) {
    const uint32_t bit = static_cast<uint32_t>(flag);
    const uint32_t next = value ? actorFlags | bit : actorFlags & ~bit;
    if (next == actorFlags)
        return;
    actorFlags = next;
    actorFlagsChanged();
}

RigidActor::RigidActor(Physics& physics_, ActorType type_, const Transform& pose_)
    : Actor(physics_, type_), pose(pose_), back_(std::make_unique<detail::RigidBack>()) {}

RigidActor::~RigidActor() {
    for (Shape* shape : shapes)
        delete shape;
    delete back_->body;
    delete back_->compound;
}

void RigidActor::detachJoint(Joint& joint) {
    attachedJoints.erase(std::remove(attachedJoints.begin(), attachedJoints.end(), &joint), attachedJoints.end());
}

void RigidActor::detachAllJoints() {
    const std::vector<Joint*> attached = attachedJoints;
    attachedJoints.clear();
    for (Joint* joint : attached)
        joint->actorGone(*this);
}

void RigidActor::actorFlagsChanged() { markDirty(detail::DirtyParams); }

void RigidActor::markDirty(uint32_t bits) {
    if (scene && !released)
        scene->core().markDirty(*this, bits);
}

void RigidActor::setGlobalPose(const Transform& newPose, bool autowake) {
    if (!newPose.isValid()) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidParameter,
                    "setGlobalPose: pose not finite or rotation not of unit length");
        return;
    }
    pose = Transform(newPose.p, newPose.q.getNormalized());
    markDirty(detail::DirtyPose);
    if (scene && !released)
        scene->core().actorMovedByCaller(*this);
    if (autowake)
        wakeFromUser();
}

Shape* RigidActor::createShape(const Geometry& geometry, Material* const* materials, uint32_t materialCount,
                               const Transform& localPose) {
    Foundation& foundation = physics.getFoundation();
    GeometryHolder holder;
    if (!holder.store(geometry) || !holder.isValid()) {
        PHYS_REPORT(foundation, ErrorCode::InvalidParameter, "createShape: unsupported or invalid geometry");
        return nullptr;
    }
    if (!localPose.isValid()) {
        PHYS_REPORT(foundation, ErrorCode::InvalidParameter, "createShape: invalid local pose");
        return nullptr;
    }
    bool materialsValid = materials && materialCount > 0;
    for (uint32_t i = 0; materialsValid && i < materialCount; ++i)
        materialsValid = materials[i] != nullptr;
    if (!materialsValid) {
        PHYS_REPORT(foundation, ErrorCode::InvalidParameter, "createShape: at least one material is required");
        return nullptr;
    }
    if (holder.getType() == GeometryType::TriangleMesh && !acceptsTriangleMeshes()) {
        PHYS_REPORT(foundation, ErrorCode::InvalidParameter,
                    "createShape: triangle mesh shapes need a static or kinematic actor");
        return nullptr;
    }
    if (released)
        return nullptr;
    auto* shape = new Shape(*this, holder, materials, materialCount,
                            Transform(localPose.p, localPose.q.getNormalized()));
    shapes.push_back(shape);
    if (scene)
        scene->core().shapeCreated(*shape);
    return shape;
}

Shape* RigidActor::createShape(const Geometry& geometry, Material& material, const Transform& localPose) {
    Material* list[1] = {&material};
    return createShape(geometry, list, 1, localPose);
}

uint32_t RigidActor::getShapes(Shape** buffer, uint32_t bufferSize, uint32_t start) const {
    uint32_t written = 0;
    for (uint32_t i = start; i < shapes.size() && written < bufferSize; ++i)
        buffer[written++] = shapes[i];
    return written;
}

Bounds3 RigidActor::getWorldBounds() const {
    Bounds3 bounds;
    for (const Shape* shape : shapes)
        bounds.include(shape->getWorldBounds());
    return bounds;
}

} // namespace phys
