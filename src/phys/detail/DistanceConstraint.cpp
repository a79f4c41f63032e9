#include "phys/detail/DistanceConstraint.h"

#include <BulletDynamics/Dynamics/btRigidBody.h>

namespace phys::detail {

namespace {
// Error reduction of the hard bounds (as of the locked axes of the other joints).
constexpr btScalar HardErp = 0.4f;
} // namespace

DistanceConstraint::DistanceConstraint(btRigidBody& a, btRigidBody& b, const btVector3& anchorA_,
                                       const btVector3& anchorB_)
    : btTypedConstraint(CONTACT_CONSTRAINT_TYPE, a, b), anchorA(anchorA_), anchorB(anchorB_) {}

void DistanceConstraint::setAnchors(const btVector3& a, const btVector3& b) {
    anchorA = a;
    anchorB = b;
}

void DistanceConstraint::setBounds(bool minOn, btScalar minValue, bool maxOn, btScalar maxValue) {
    minEnabled = minOn;
    minDistance = minValue;
    maxEnabled = maxOn;
    maxDistance = maxValue;
}

void DistanceConstraint::setSoft(bool on, btScalar erp, btScalar cfm) {
    soft = on;
    softErp = erp;
    softCfm = cfm;
}

void DistanceConstraint::measure() {
    worldA = m_rbA.getCenterOfMassTransform() * anchorA;
    worldB = m_rbB.getCenterOfMassTransform() * anchorB;
    const btVector3 delta = worldB - worldA;
    distance = delta.length();
    normal = distance > btScalar(1e-6) ? delta / distance : btVector3(1, 0, 0);

    row = Row::None;
    if (maxEnabled && !soft && maxDistance <= btScalar(1e-6)) {
        row = Row::Point;
        return;
    }
    const bool nearMax = !minEnabled || distance >= btScalar(0.5) * (minDistance + maxDistance);
    if (maxEnabled && nearMax && (!soft || distance > maxDistance))
        row = Row::Max;
    else if (minEnabled && (!soft || distance < minDistance))
        row = Row::Min;
}

void DistanceConstraint::getInfo1(btConstraintInfo1* info) {
    measure();
    info->m_numConstraintRows = row == Row::None ? 0 : row == Row::Point ? 3 : 1;
    info->nub = 6 - info->m_numConstraintRows;
}

void DistanceConstraint::getInfo2(btConstraintInfo2* info) {
    const btVector3 rA = worldA - m_rbA.getCenterOfMassPosition();
    const btVector3 rB = worldB - m_rbB.getCenterOfMassPosition();
    const int skip = info->rowskip;
    const btScalar k = info->fps * HardErp;
    auto setRow = [&](int i, const btVector3& axis) {
        const btVector3 angularA = rA.cross(axis);
        const btVector3 angularB = rB.cross(axis);
        for (int c = 0; c < 3; ++c) {
            info->m_J1linearAxis[i * skip + c] = axis[c];
            info->m_J1angularAxis[i * skip + c] = angularA[c];
            info->m_J2linearAxis[i * skip + c] = -axis[c];
            info->m_J2angularAxis[i * skip + c] = -angularB[c];
        }
    };

    if (row == Row::Point) {
        // Rows along the world axes: J v is the rate of (anchorA - anchorB) along each.
        const btVector3 gap = worldB - worldA;
        for (int i = 0; i < 3; ++i) {
            btVector3 axis(0, 0, 0);
            axis[i] = 1;
            setRow(i, axis);
            info->m_constraintError[i * skip] = k * gap[i];
            info->m_lowerLimit[i * skip] = -SIMD_INFINITY;
            info->m_upperLimit[i * skip] = SIMD_INFINITY;
        }
        return;
    }

    // One row whose J v is the rate at which the distance grows.
    setRow(0, -normal);
    const bool isMax = row == Row::Max;
    // Beyond the bound when it has the bound's sign.
    const btScalar error = distance - (isMax ? maxDistance : minDistance);
    const bool beyond = isMax ? error > 0 : error < 0;
    // Turning about each other moves the anchors apart by |v_t|^2 dt / (2 d) within the step
    // even at a constant distance rate: asked of the rate, so fast swings keep the bound.
    const btVector3 relative = m_rbB.getVelocityInLocalPoint(rB) - m_rbA.getVelocityInLocalPoint(rA);
    const btVector3 tangential = relative - normal * relative.dot(normal);
    const btScalar drift = distance > btScalar(1e-3) ? tangential.length2() / (2 * info->fps * distance) : 0;
    if (soft) {
        info->m_constraintError[0] = -softErp * info->fps * error - drift;
        info->cfm[0] = softCfm;
    } else {
        // Inside the range the row only caps the approach speed at the bound.
        info->m_constraintError[0] = (beyond ? -k * error : -info->fps * error) - drift;
    }
    info->m_lowerLimit[0] = isMax ? -SIMD_INFINITY : 0;
    info->m_upperLimit[0] = isMax ? 0 : SIMD_INFINITY;
}

} // namespace phys::detail
