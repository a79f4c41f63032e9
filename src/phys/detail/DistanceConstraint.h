#pragma once

#include <BulletDynamics/ConstraintSolver/btTypedConstraint.h>

// Keeps the distance between two anchor points within [min, max], with one solver row along
// the line between them. A hard bound is also watched from inside the range (the row lets
// the anchors approach the bound no faster than they can reach it in one step), so it holds
// without overshoot; a springy bound acts only beyond the range. A hard maximum of zero
// holds the anchors together with three rows.

namespace phys::detail {

ATTRIBUTE_ALIGNED16(class) DistanceConstraint : public btTypedConstraint {
public:
    BT_DECLARE_ALIGNED_ALLOCATOR();

    // Anchors in the centre-of-mass frames of the bodies.
    DistanceConstraint(btRigidBody& a, btRigidBody& b, const btVector3& anchorA, const btVector3& anchorB);

    void setAnchors(const btVector3& anchorA, const btVector3& anchorB);
    void setBounds(bool minEnabled, btScalar minDistance, bool maxEnabled, btScalar maxDistance);
    // Springy bounds: error reduction and constraint force mixing of the bound's row.
    void setSoft(bool soft, btScalar erp, btScalar cfm);

    void getInfo1(btConstraintInfo1* info) override;
    void getInfo2(btConstraintInfo2* info) override;
    void setParam(int, btScalar, int) override {}
    btScalar getParam(int, int) const override { return 0; }

private:
    enum class Row { None, Min, Max, Point };
    void measure();

    btVector3 anchorA, anchorB;
    btScalar minDistance = 0, maxDistance = 0;
    bool minEnabled = false, maxEnabled = true;
    bool soft = false;
    btScalar softErp = 0, softCfm = 0;

    // Measured in getInfo1 for the step's getInfo2.
    Row row = Row::None;
    btVector3 worldA, worldB, normal;
    btScalar distance = 0;
};

} // namespace phys::detail
