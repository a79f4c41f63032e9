#include "phys/RigidBody.h"

#include "phys/Foundation.h"
#include "phys/Physics.h"
#include "phys/Shape.h"
#include "phys/detail/Backs.h"

#include <algorithm>
#include <cmath>

namespace phys {

namespace {
bool finiteNotNegative(float v) { return std::isfinite(v) && v >= 0.0f; }
} // namespace

RigidBody::RigidBody(Physics& physics_, ActorType type_, const Transform& pose_) : RigidActor(physics_, type_, pose_) {}

void RigidBody::setMass(float value) {
    if (!std::isfinite(value) || value <= 0.0f) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidParameter, "setMass: mass must be positive and finite");
        return;
    }
    mass = value;
    markDirty(detail::DirtyMass);
}

void RigidBody::setMassSpaceInertiaTensor(const Vec3& value) {
    if (!finiteNotNegative(value.x) || !finiteNotNegative(value.y) || !finiteNotNegative(value.z)) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidParameter,
                    "setMassSpaceInertiaTensor: components must be finite and not negative");
        return;
    }
    inertia = value;
    markDirty(detail::DirtyMass);
}

void RigidBody::setCMassLocalPose(const Transform& value) {
    if (!value.isValid()) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidParameter, "setCMassLocalPose: invalid pose");
        return;
    }
    cmassLocalPose = Transform(value.p, value.q.getNormalized());
    markDirty(detail::DirtyShapes | detail::DirtyMass);
}

void RigidBody::setVelocity(Vec3& field, const Vec3& value, uint32_t dirtyBit, const char* operation, bool autowake) {
    if (isKinematic()) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidOperation, "%s: not allowed on a kinematic actor",
                    operation);
        return;
    }
    if (!value.isFinite()) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidParameter, "%s: not finite", operation);
        return;
    }
    field = value;
    markDirty(dirtyBit);
    if (autowake)
        wakeFromUser();
}

void RigidBody::setLinearVelocity(const Vec3& velocity, bool autowake) {
    setVelocity(linearVelocity, velocity, detail::DirtyLinearVelocity, "setLinearVelocity", autowake);
}

void RigidBody::setAngularVelocity(const Vec3& velocity, bool autowake) {
    setVelocity(angularVelocity, velocity, detail::DirtyAngularVelocity, "setAngularVelocity", autowake);
}

bool RigidBody::checkForceCall(const char* operation, const Vec3& value) {
    if (isKinematic() || !scene || released) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidOperation,
                    "%s: the actor must be a non-kinematic body in a scene", operation);
        return false;
    }
    if (!value.isFinite()) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidParameter, "%s: not finite", operation);
        return false;
    }
    return true;
}

void RigidBody::accumulate(Vec3* table, ForceMode mode, const Vec3& value, bool add, const char* operation,
                           bool autowake) {
    const int m = static_cast<int>(mode);
    if (m < 0 || m > 3 || !checkForceCall(operation, value))
        return;
    table[m] = add ? table[m] + value : Vec3();
    if (add)
        markDirty(detail::DirtyForces);
    if (autowake)
        wakeFromUser();
}

void RigidBody::addForce(const Vec3& force, ForceMode mode, bool autowake) {
    accumulate(forces, mode, force, true, "addForce", autowake);
}

void RigidBody::addTorque(const Vec3& torque, ForceMode mode, bool autowake) {
    accumulate(torques, mode, torque, true, "addTorque", autowake);
}

void RigidBody::clearForce(ForceMode mode, bool autowake) {
    accumulate(forces, mode, Vec3(), false, "clearForce", autowake);
}

void RigidBody::clearTorque(ForceMode mode, bool autowake) {
    accumulate(torques, mode, Vec3(), false, "clearTorque", autowake);
}

void RigidBody::clearPendingForces() {
    for (int i = 0; i < 4; ++i)
        forces[i] = torques[i] = Vec3();
}

void RigidDynamic::wakeFromUser() {
    if (!scene || released)
        return;
    sleeping = false;
    wakeCounter = std::max(wakeCounter, DefaultWakeCounter);
    markDirty(detail::DirtyWake);
}

void RigidDynamic::setKinematicTarget(const Transform& value) {
    if (!isKinematic() || !scene) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidOperation,
                    "setKinematicTarget: the actor must be kinematic and in a scene");
        return;
    }
    if (!value.isValid()) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidParameter, "setKinematicTarget: invalid pose");
        return;
    }
    target = Transform(value.p, value.q.getNormalized());
    hasTarget = true;
    sleeping = false;
    markDirty(detail::DirtyTarget);
}

bool RigidDynamic::getKinematicTarget(Transform& out) const {
    if (!hasTarget)
        return false;
    out = target;
    return true;
}

void RigidDynamic::setRigidDynamicFlag(RigidDynamicFlag flag, bool value) {
    const uint32_t bit = static_cast<uint32_t>(flag);
    const uint32_t next = value ? rigidDynamicFlags | bit : rigidDynamicFlags & ~bit;
    if (next == rigidDynamicFlags)
        return;
    if (!value && flag == RigidDynamicFlag::Kinematic) {
        for (const Shape* shape : shapes) {
            if (shape->getGeometryType() == GeometryType::TriangleMesh) {
                PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidOperation,
                            "setRigidDynamicFlag: an actor with a triangle mesh shape must stay kinematic");
                return;
            }
        }
    }
    rigidDynamicFlags = next;
    hasTarget = false;
    if (value) {
        linearVelocity = angularVelocity = Vec3();
        clearPendingForces();
    }
    markDirty(detail::DirtyKinematic | detail::DirtyFilter | detail::DirtyParams | detail::DirtyMass);
    wakeFromUser();
}

void RigidDynamic::setLinearDamping(float damping) {
    if (!finiteNotNegative(damping)) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidParameter, "setLinearDamping: must be finite, not negative");
        return;
    }
    linearDamping = damping;
    markDirty(detail::DirtyParams);
}

void RigidDynamic::setAngularDamping(float damping) {
    if (!finiteNotNegative(damping)) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidParameter, "setAngularDamping: must be finite, not negative");
        return;
    }
    angularDamping = damping;
    markDirty(detail::DirtyParams);
}

void RigidDynamic::setMaxAngularVelocity(float maximum) {
    if (!std::isfinite(maximum) || maximum <= 0.0f) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidParameter, "setMaxAngularVelocity: must be positive");
        return;
    }
    maxAngularVelocity = maximum;
    markDirty(detail::DirtyParams);
}

void RigidDynamic::wakeUp(float counter) {
    if (!scene || released || !finiteNotNegative(counter)) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidOperation,
                    "wakeUp: the actor must be in a scene and the counter not negative");
        return;
    }
    sleeping = false;
    wakeCounter = counter;
    markDirty(detail::DirtyWake);
}

void RigidDynamic::putToSleep() {
    if (!scene || released || isKinematic()) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidOperation,
                    "putToSleep: the actor must be a non-kinematic body in a scene");
        return;
    }
    sleeping = true;
    wakeCounter = 0.0f;
    linearVelocity = angularVelocity = Vec3();
    clearPendingForces();
    markDirty(detail::DirtySleep | detail::DirtyLinearVelocity | detail::DirtyAngularVelocity);
}

void RigidDynamic::setSolverIterationCounts(uint32_t position, uint32_t velocity) {
    if (position < 1 || position > 255 || velocity < 1 || velocity > 255) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidParameter,
                    "setSolverIterationCounts: counts must be within 1..255");
        return;
    }
    positionIterations = position;
    velocityIterations = velocity;
}

void RigidDynamic::getSolverIterationCounts(uint32_t& position, uint32_t& velocity) const {
    position = positionIterations;
    velocity = velocityIterations;
}

} // namespace phys
