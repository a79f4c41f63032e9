#pragma once

#include <LinearMath/btTransform.h>

// How each joint kind maps onto Bullet: every kind but the distance joint is a six-degree
// constraint (locked axes have an empty range, free axes an inverted one) whose Euler
// rotation order puts the most tightly bound angular axis in the middle, where the Euler
// angles turn singular at 90 degrees; that axis keeps its limits below 90 degrees. The
// distance joint has a constraint of its own.

class btRigidBody;
class btTypedConstraint;

namespace phys {
class Joint;
}

namespace phys::detail {

struct JointConfig {
    // A new constraint of the joint's kind between two bodies; frames are relative to the
    // bodies' centres of mass.
    static btTypedConstraint* create(const Joint& joint, btRigidBody& a, btRigidBody& b, const btTransform& frameA,
                                     const btTransform& frameB);
    // Carries the joint's frames, limits, drives and solver settings to its constraint.
    static void configure(const Joint& joint, btTypedConstraint& constraint, const btTransform& frameA,
                          const btTransform& frameB, float dt);
};

// Error reduction and constraint force mixing that make a bound act like a spring of the
// given stiffness and damping over steps of dt, on a solver row whose effective inverse
// mass is inverseMass.
void springParameters(float stiffness, float damping, float dt, float inverseMass, float& erp, float& cfm);

} // namespace phys::detail
