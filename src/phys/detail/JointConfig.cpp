#include "phys/detail/JointConfig.h"

#include "phys/JointKinds.h"
#include "phys/RigidBody.h"
#include "phys/detail/BulletConvert.h"
#include "phys/detail/DistanceConstraint.h"

#include <BulletDynamics/ConstraintSolver/btGeneric6DofSpring2Constraint.h>
#include <BulletDynamics/Dynamics/btRigidBody.h>

#include <algorithm>
#include <cmath>

namespace phys::detail {

namespace {

// Limits of the middle Euler axis stay this far below 90 degrees.
constexpr float MiddleAxisLimit = 0.5f * Pi - 0.02f;
// Error reduction of hard limits and locked axes.
constexpr float HardErp = 0.4f;
// Linear limits from here on bound nothing.
constexpr float UnboundedDistance = 1e18f;
// The solver's own iteration count, which joints never go below.
constexpr int WorldIterations = 10;
// Joints that ask for projection get this many instead.
constexpr int ProjectedIterations = 20;
// Largest constraint force mixing of a soft limit (see springParameters).
constexpr float MaxMixing = 0.5f;

struct Axis {
    btScalar lo = 0, hi = 0; // lo > hi: free
    bool hasLimit = false;   // limit parameters (spring, restitution) apply
    JointLimitParameters limit;

    bool isFree() const { return lo > hi; }
    btScalar width() const { return isFree() ? BT_LARGE_FLOAT : hi - lo; }
};

Axis locked() { return Axis(); }
Axis freeAxis() {
    Axis a;
    a.lo = 1;
    a.hi = -1;
    return a;
}
Axis range(float lo, float hi, const JointLimitParameters& limit) {
    Axis a;
    a.lo = lo;
    a.hi = hi;
    a.hasLimit = true;
    a.limit = limit;
    return a;
}
Axis angularRange(float lo, float hi, const JointLimitParameters& limit) {
    return range(std::clamp(lo, -Pi, Pi), std::clamp(hi, -Pi, Pi), limit);
}

// Axes 0..2 linear X, Y, Z; 3..5 angular X, Y, Z of the frame of actor 0.
using Axes = Axis[6];

void d6Axes(const D6Joint& j, Axes& axes) {
    const JointLimit linear = j.getLinearLimit();
    for (int i = 0; i < 3; ++i) {
        switch (j.getMotion(static_cast<D6Axis>(i))) {
        case D6Motion::Locked: axes[i] = locked(); break;
        case D6Motion::Free: axes[i] = freeAxis(); break;
        case D6Motion::Limited:
            axes[i] = std::fabs(linear.value) >= UnboundedDistance ? freeAxis()
                                                                  : range(-linear.value, linear.value, linear);
            break;
        }
    }
    const JointLimitPair twist = j.getTwistLimit();
    const JointLimitCone cone = j.getSwingLimit();
    const Axis limitedAngular[3] = {angularRange(twist.lower, twist.upper, twist),
                                    angularRange(-cone.yAngle, cone.yAngle, cone),
                                    angularRange(-cone.zAngle, cone.zAngle, cone)};
    const D6Axis angular[3] = {D6Axis::Twist, D6Axis::Swing1, D6Axis::Swing2};
    for (int k = 0; k < 3; ++k) {
        switch (j.getMotion(angular[k])) {
        case D6Motion::Locked: axes[3 + k] = locked(); break;
        case D6Motion::Free: axes[3 + k] = freeAxis(); break;
        case D6Motion::Limited: axes[3 + k] = limitedAngular[k]; break;
        }
    }
}

void kindAxes(const Joint& joint, Axes& axes) {
    for (int i = 0; i < 6; ++i)
        axes[i] = locked();
    switch (joint.getType()) {
    case JointType::D6: d6Axes(static_cast<const D6Joint&>(joint), axes); break;
    case JointType::Revolute: {
        const auto& j = static_cast<const RevoluteJoint&>(joint);
        const JointLimitPair l = j.getLimit();
        axes[3] = (j.getRevoluteJointFlags() & RevoluteLimitEnabled) ? angularRange(l.lower, l.upper, l) : freeAxis();
        break;
    }
    case JointType::Prismatic: {
        const auto& j = static_cast<const PrismaticJoint&>(joint);
        const JointLimitPair l = j.getLimit();
        axes[0] = (j.getPrismaticJointFlags() & PrismaticLimitEnabled) ? range(l.lower, l.upper, l) : freeAxis();
        break;
    }
    case JointType::Spherical: {
        const auto& j = static_cast<const SphericalJoint&>(joint);
        const JointLimitCone c = j.getLimitCone();
        const bool limited = (j.getSphericalJointFlags() & SphericalLimitEnabled) != 0;
        axes[3] = freeAxis();
        axes[4] = limited ? angularRange(-c.yAngle, c.yAngle, c) : freeAxis();
        axes[5] = limited ? angularRange(-c.zAngle, c.zAngle, c) : freeAxis();
        break;
    }
    default: break; // fixed: all locked
    }
}

// The rotation order whose middle axis is bound most tightly (ties: Y, then X, then Z),
// and that axis.
RotateOrder chooseOrder(const Axes& axes, int& middle) {
    const int candidates[3] = {1, 0, 2};
    const RotateOrder orders[3] = {RO_XYZ, RO_YXZ, RO_XZY};
    int best = 0;
    for (int i = 1; i < 3; ++i)
        if (axes[3 + candidates[i]].width() < axes[3 + candidates[best]].width())
            best = i;
    middle = candidates[best];
    return orders[best];
}

bool eulerAngles(RotateOrder order, const btMatrix3x3& m, btVector3& out) {
    switch (order) {
    case RO_XYZ: return btGeneric6DofSpring2Constraint::matrixToEulerXYZ(m, out);
    case RO_YXZ: return btGeneric6DofSpring2Constraint::matrixToEulerYXZ(m, out);
    case RO_XZY: return btGeneric6DofSpring2Constraint::matrixToEulerXZY(m, out);
    default: return btGeneric6DofSpring2Constraint::matrixToEulerXYZ(m, out);
    }
}

// Inverse masses the solver sees along a linear axis and about an angular axis (world).
struct Reach {
    btVector3 angularAxis[3];
    const btRigidBody* a;
    const btRigidBody* b;

    btScalar linearInverse() const { return a->getInvMass() + b->getInvMass(); }
    btScalar angularInverse(int k) const {
        const btVector3& axis = angularAxis[k];
        return axis.dot(a->getInvInertiaTensorWorld() * axis) + axis.dot(b->getInvInertiaTensorWorld() * axis);
    }
};

void applyLimits(btGeneric6DofSpring2Constraint& c, Axes& axes, const Reach& reach, float dt) {
    int middle = 1;
    c.setRotationOrder(chooseOrder(axes, middle));
    Axis& m = axes[3 + middle];
    if (!m.isFree()) {
        m.lo = std::max<btScalar>(m.lo, -MiddleAxisLimit);
        m.hi = std::min<btScalar>(m.hi, MiddleAxisLimit);
        m.lo = std::min(m.lo, m.hi);
    }
    for (int i = 0; i < 6; ++i) {
        const Axis& a = axes[i];
        c.setLimit(i, a.lo, a.hi);
        float erp = HardErp, cfm = 0.0f;
        if (a.hasLimit && a.limit.spring > 0.0f) {
            const btScalar inverse = i < 3 ? reach.linearInverse() : reach.angularInverse(i - 3);
            springParameters(a.limit.spring, a.limit.damping, dt, inverse, erp, cfm);
        }
        c.setParam(BT_CONSTRAINT_STOP_ERP, erp, i);
        c.setParam(BT_CONSTRAINT_STOP_CFM, cfm, i);
        c.setBounce(i, a.hasLimit ? a.limit.restitution : 0.0f);
    }
}

// Drives of a D6 joint: springs towards the drive position, motors towards the velocity.
void applyDrives(btGeneric6DofSpring2Constraint& c, const D6Joint& j, const Reach& reach) {
    Vec3 linearVelocity, angularVelocity;
    j.getDriveVelocity(linearVelocity, angularVelocity);
    const Transform target = j.getDrivePosition();
    btVector3 targetAngles(0, 0, 0);
    eulerAngles(c.getRotationOrder(), btMatrix3x3(toBt(target.q)), targetAngles);

    const D6JointDrive twist = j.getDrive(D6Drive::Twist);
    const D6JointDrive swing = j.getDrive(D6Drive::Swing);
    auto active = [](const D6JointDrive& d) { return d.spring > 0.0f || d.damping > 0.0f; };
    const bool slerp = !active(twist) && !active(swing);
    for (int i = 0; i < 6; ++i) {
        const bool isLinear = i < 3;
        const D6JointDrive d = isLinear ? j.getDrive(static_cast<D6Drive>(i))
                               : slerp  ? j.getDrive(D6Drive::Slerp)
                               : i == 3 ? twist
                                        : swing;
        // With the acceleration flag the values are per unit of mass (or inertia).
        btScalar scale = 1;
        if (d.flags & D6DriveAcceleration) {
            const btScalar inverse = isLinear ? reach.linearInverse() : reach.angularInverse(i - 3);
            scale = inverse > SIMD_EPSILON ? 1 / inverse : 1;
        }
        // Bullet's angular motors turn body A relative to B: the opposite sense.
        const float velocity = isLinear ? (&linearVelocity.x)[i] : -(&angularVelocity.x)[i - 3];
        c.enableSpring(i, d.spring > 0.0f);
        if (d.spring > 0.0f) {
            c.setStiffness(i, d.spring * scale);
            c.setDamping(i, d.damping * scale);
            c.setEquilibriumPoint(i, isLinear ? (&target.p.x)[i] : targetAngles[i - 3]);
        }
        const bool motor = d.damping > 0.0f && velocity != 0.0f && d.forceLimit > 0.0f;
        c.enableMotor(i, motor);
        if (motor) {
            c.setTargetVelocity(i, velocity);
            c.setMaxMotorForce(i, std::min(d.forceLimit * scale, btScalar(1e30)));
        }
    }
}

int solverIterations(const Joint& joint) {
    int iterations = WorldIterations;
    RigidActor* actors[2];
    joint.getActors(actors[0], actors[1]);
    for (RigidActor* actor : actors) {
        if (const RigidDynamic* dynamic = actor ? actor->asRigidDynamic() : nullptr) {
            uint32_t position = 0, velocity = 0;
            dynamic->getSolverIterationCounts(position, velocity);
            iterations = std::max(iterations, static_cast<int>(position));
        }
    }
    if (joint.getConstraintFlags() & ConstraintProjection)
        iterations = std::max(iterations, ProjectedIterations);
    return iterations;
}

void configureDistance(const DistanceJoint& j, DistanceConstraint& c, const btTransform& frameA,
                       const btTransform& frameB, float dt) {
    c.setAnchors(frameA.getOrigin(), frameB.getOrigin());
    const uint32_t flags = j.getDistanceJointFlags();
    c.setBounds((flags & DistanceMinEnabled) != 0, j.getMinDistance(), (flags & DistanceMaxEnabled) != 0,
                j.getMaxDistance());
    const bool soft = (flags & DistanceSpringEnabled) && j.getSpring() > 0.0f;
    float erp = 0.0f, cfm = 0.0f;
    if (soft) {
        const btScalar inverse = c.getRigidBodyA().getInvMass() + c.getRigidBodyB().getInvMass();
        springParameters(j.getSpring(), j.getDamping(), dt, inverse, erp, cfm);
    }
    c.setSoft(soft, erp, cfm);
}

} // namespace

void springParameters(float stiffness, float damping, float dt, float inverseMass, float& erp, float& cfm) {
    const float hk = dt * stiffness;
    const float denominator = hk + damping;
    erp = denominator > 0.0f ? hk / denominator : 0.0f;
    // The solver mixes a row's force relative to the row's own effective mass, and its
    // iteration only settles for mixing below 1. Past MaxMixing both values shrink together,
    // which keeps the stretch under a steady load (load / stiffness) and stiffens the damping.
    cfm = denominator > 0.0f && inverseMass > SIMD_EPSILON ? 1.0f / (denominator * dt * inverseMass) : 0.0f;
    if (cfm > MaxMixing) {
        erp *= MaxMixing / cfm;
        cfm = MaxMixing;
    }
}

btTypedConstraint* JointConfig::create(const Joint& joint, btRigidBody& a, btRigidBody& b, const btTransform& frameA,
                                       const btTransform& frameB) {
    if (joint.getType() == JointType::Distance)
        return new DistanceConstraint(a, b, frameA.getOrigin(), frameB.getOrigin());
    return new btGeneric6DofSpring2Constraint(a, b, frameA, frameB, RO_XYZ);
}

void JointConfig::configure(const Joint& joint, btTypedConstraint& constraint, const btTransform& frameA,
                            const btTransform& frameB, float dt) {
    constraint.setOverrideNumSolverIterations(solverIterations(joint));
    if (joint.getType() == JointType::Distance) {
        configureDistance(static_cast<const DistanceJoint&>(joint), static_cast<DistanceConstraint&>(constraint),
                          frameA, frameB, dt);
        return;
    }
    auto& c = static_cast<btGeneric6DofSpring2Constraint&>(constraint);
    c.setFrames(frameA, frameB);
    Reach reach;
    reach.a = &c.getRigidBodyA();
    reach.b = &c.getRigidBodyB();
    const btMatrix3x3 basis = reach.a->getCenterOfMassTransform().getBasis() * frameA.getBasis();
    for (int k = 0; k < 3; ++k)
        reach.angularAxis[k] = basis.getColumn(k);
    Axes axes;
    kindAxes(joint, axes);
    applyLimits(c, axes, reach, dt);
    if (joint.getType() == JointType::D6)
        applyDrives(c, static_cast<const D6Joint&>(joint), reach);
}

} // namespace phys::detail
