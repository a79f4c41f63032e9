#include "phys/Joint.h"

#include "phys/Actor.h"
#include "phys/Foundation.h"
#include "phys/Physics.h"
#include "phys/Scene.h"
#include "phys/detail/JointSet.h"
#include "phys/detail/SceneCore.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace phys {

namespace {
bool finiteNotNegative(float v) { return std::isfinite(v) && v >= 0.0f; }
} // namespace

bool JointLimitParameters::isValid() const {
    return std::isfinite(restitution) && restitution >= 0.0f && restitution <= 1.0f && finiteNotNegative(spring) &&
           finiteNotNegative(damping) && std::isfinite(contactDistance);
}

bool JointLimit::isValid() const { return JointLimitParameters::isValid() && std::isfinite(value); }

bool JointLimitPair::isValid() const {
    return JointLimitParameters::isValid() && std::isfinite(upper) && std::isfinite(lower) && upper >= lower &&
           contactDistance <= upper - lower;
}

bool JointLimitCone::isValid() const {
    auto angleValid = [](float a) { return std::isfinite(a) && a > 0.0f && a < Pi; };
    return JointLimitParameters::isValid() && angleValid(yAngle) && angleValid(zAngle);
}

Joint::Joint(Physics& physics_, JointType type_, RigidActor* actor0, const Transform& frame0, RigidActor* actor1,
             const Transform& frame1)
    : physics(physics_), type(type_), actors{actor0, actor1},
      frames{Transform(frame0.p, frame0.q.getNormalized()), Transform(frame1.p, frame1.q.getNormalized())},
      breakForce(FLT_MAX), breakTorque(FLT_MAX), projectionLinearTolerance(1e10f), projectionAngularTolerance(Pi),
      back_(std::make_unique<detail::JointBack>()) {
    back_->owner = this;
}

Joint::~Joint() {
    for (RigidActor* actor : actors)
        if (actor)
            actor->detachJoint(*this);
}

bool Joint::checkCreation(Physics& physics, RigidActor* actor0, const Transform& frame0, RigidActor* actor1,
                          const Transform& frame1, const char* operation) {
    const char* problem = nullptr;
    auto isStatic = [](const RigidActor* a) { return !a || a->getType() == ActorType::RigidStatic; };
    if (actor0 == actor1)
        problem = "needs two different actors";
    else if ((actor0 && &actor0->getPhysics() != &physics) || (actor1 && &actor1->getPhysics() != &physics))
        problem = "an actor belongs to another physics object";
    else if ((actor0 && actor0->isReleased()) || (actor1 && actor1->isReleased()))
        problem = "an actor has been released";
    else if (isStatic(actor0) && isStatic(actor1))
        problem = "cannot join two static actors";
    else if (actor0 && actor1 && actor0->getScene() && actor1->getScene() && actor0->getScene() != actor1->getScene())
        problem = "the actors are in different scenes";
    else if (!frame0.isValid() || !frame1.isValid())
        problem = "a frame is not a valid pose";
    if (problem) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidParameter, "%s: %s", operation, problem);
        return false;
    }
    return true;
}

void Joint::attach() {
    physics.rememberJoint(*this);
    for (RigidActor* actor : actors)
        if (actor)
            actor->attachJoint(*this);
    for (RigidActor* actor : actors) {
        if (actor && actor->getScene()) {
            actor->getScene()->core().joints->add(*this);
            break;
        }
    }
}

void Joint::release() {
    if (released)
        return;
    released = true;
    if (back_->set) {
        back_->set->release(*this);
        return;
    }
    physics.forgetJoint(*this);
    delete this;
}

void Joint::actorGone(RigidActor& actor) {
    for (RigidActor*& a : actors)
        if (a == &actor)
            a = nullptr;
    back_->inert = true;
}

void Joint::getActors(RigidActor*& actor0, RigidActor*& actor1) const {
    actor0 = actors[0];
    actor1 = actors[1];
}

Transform Joint::getLocalPose(int actorIndex) const { return frames[actorIndex == 0 ? 0 : 1]; }

void Joint::setLocalPose(int actorIndex, const Transform& pose) {
    if (!pose.isValid() || actorIndex < 0 || actorIndex > 1) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidParameter,
                    "setLocalPose: index 0 or 1 and a valid pose");
        return;
    }
    frames[actorIndex] = Transform(pose.p, pose.q.getNormalized());
    changed();
}

void Joint::setBreakForce(float force, float torque) {
    if (!(force >= 0.0f) || !(torque >= 0.0f)) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidParameter, "setBreakForce: limits must not be negative");
        return;
    }
    breakForce = force;
    breakTorque = torque;
    changed();
}

void Joint::getBreakForce(float& force, float& torque) const {
    force = breakForce;
    torque = breakTorque;
}

void Joint::setConstraintFlag(ConstraintFlag flag, bool value) {
    if (flag == ConstraintBroken)
        return; // only the simulation breaks joints
    const uint32_t next = value ? constraintFlags | flag : constraintFlags & ~static_cast<uint32_t>(flag);
    if (next == constraintFlags || released)
        return;
    constraintFlags = next;
    if (flag == ConstraintCollisionEnabled && back_->set)
        back_->set->collisionChanged(*this);
    changed();
}

Scene* Joint::getScene() const { return back_->set ? &back_->set->scene() : nullptr; }

void Joint::changed() {
    if (back_->set && !released)
        back_->set->markDirty(*this);
}

bool Joint::checkLimit(bool valid, const char* operation) {
    if (!valid)
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidParameter, "%s: invalid limit", operation);
    return valid;
}

void Joint::setProjectionLinearTolerance(float tolerance) {
    if (checkNotNegative(tolerance, "setProjectionLinearTolerance"))
        projectionLinearTolerance = tolerance;
}

void Joint::setProjectionAngularTolerance(float tolerance) {
    if (checkNotNegative(tolerance, "setProjectionAngularTolerance"))
        projectionAngularTolerance = tolerance;
}

bool Joint::checkNotNegative(float value, const char* operation) {
    if (!finiteNotNegative(value)) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidParameter, "%s: must be finite, not negative",
                    operation);
        return false;
    }
    return true;
}

} // namespace phys
