#include "phys/detail/JointSet.h"

#include "phys/Joint.h"
#include "phys/Physics.h"
#include "phys/RigidBody.h"
#include "phys/detail/Backs.h"
#include "phys/detail/BulletConvert.h"
#include "phys/detail/JointConfig.h"
#include "phys/detail/SceneCore.h"
#include "phys/detail/StepWorld.h"

#include <algorithm>
#include <cfloat>

namespace phys::detail {

namespace {

// The actor frame expressed in the body's centre-of-mass frame.
Transform toMassFrame(const RigidActor* actor) {
    const RigidDynamic* body = actor ? actor->asRigidDynamic() : nullptr;
    return body ? body->getCMassLocalPose().getInverse() : Transform();
}

bool isBreakable(const Joint& joint) {
    float force = 0.0f, torque = 0.0f;
    joint.getBreakForce(force, torque);
    return force < FLT_MAX || torque < FLT_MAX;
}

} // namespace

JointSet::JointSet(SceneCore& core_) : core(core_) {}

JointSet::~JointSet() { clear(); }

Scene& JointSet::scene() const { return core.scene; }

void JointSet::add(Joint& joint) {
    JointBack& back = joint.back();
    if (back.set)
        return;
    back.set = this;
    joints.push_back(&joint);
    collisionChanged(joint);
    markDirty(joint);
}

void JointSet::markDirty(Joint& joint) {
    JointBack& back = joint.back();
    if (back.inDirtyList || joint.released)
        return;
    back.inDirtyList = true;
    dirty.push_back(&joint);
}

void JointSet::setExcluded(Joint& joint, bool exclude) {
    JointBack& back = joint.back();
    if (back.excluding == exclude || (exclude && (!joint.actors[0] || !joint.actors[1])))
        return;
    back.excluding = exclude;
    core.setActorPairCollision(*joint.actors[0], *joint.actors[1], !exclude);
}

void JointSet::collisionChanged(Joint& joint) {
    setExcluded(joint, !(joint.getConstraintFlags() & ConstraintCollisionEnabled) && !joint.back().inert);
}

void JointSet::release(Joint& joint) {
    setExcluded(joint, false);
    auto it = std::find(joints.begin(), joints.end(), &joint);
    if (it != joints.end()) {
        *it = joints.back();
        joints.pop_back();
    }
    releasedJoints.push_back(&joint);
}

void JointSet::actorReleased(RigidActor& actor) {
    const std::vector<Joint*> attached = actor.attachedJoints;
    for (Joint* joint : attached) {
        setExcluded(*joint, false);
        joint->actorGone(actor);
        markDirty(*joint);
    }
    actor.attachedJoints.clear();
}

void JointSet::actorMassFrameChanged(RigidActor& actor) {
    for (Joint* joint : actor.attachedJoints)
        if (joint->back().set == this)
            markDirty(*joint);
}

void JointSet::removeConstraint(JointBack& back) {
    if (back.constraint && back.inWorld) {
        core.world->removeConstraint(back.constraint);
        // What the joint held starts to move.
        if (!core.tearingDown)
            for (btRigidBody* body : {&back.constraint->getRigidBodyA(), &back.constraint->getRigidBodyB()})
                if (!body->isStaticOrKinematicObject())
                    body->activate(true);
    }
    delete back.constraint;
    back.constraint = nullptr;
    back.inWorld = false;
}

void JointSet::destroy(Joint& joint) {
    removeConstraint(joint.back());
    core.physics.forgetJoint(joint);
    delete &joint;
}

void JointSet::removeStale() {
    dirty.erase(std::remove_if(dirty.begin(), dirty.end(), [](const Joint* joint) { return joint->released; }),
                dirty.end());
    for (Joint* joint : releasedJoints)
        destroy(*joint);
    releasedJoints.clear();
    for (Joint* joint : dirty)
        if (joint->back().inert)
            removeConstraint(joint->back());
}

bool JointSet::configure(Joint& joint, float dt) {
    JointBack& back = joint.back();
    btRigidBody* bodies[2] = {nullptr, nullptr};
    btTransform frames[2];
    for (int i = 0; i < 2; ++i) {
        RigidActor* actor = joint.actors[i];
        if (actor && (actor->getScene() != &core.scene || !actor->back().body))
            return false; // the actor is not simulated (yet)
        bodies[i] = actor ? actor->back().body : &btTypedConstraint::getFixedBody();
        frames[i] = toBt(toMassFrame(actor) * joint.frames[i]);
    }
    if (!back.constraint) {
        back.constraint = JointConfig::create(joint, *bodies[0], *bodies[1], frames[0], frames[1]);
        core.world->addConstraint(back.constraint, false);
        back.inWorld = true;
    }
    btTypedConstraint& c = *back.constraint;
    JointConfig::configure(joint, c, frames[0], frames[1], dt);
    const bool breakable = isBreakable(joint);
    c.setJointFeedback(breakable ? &back.feedback : nullptr);
    c.enableFeedback(breakable);
    c.setEnabled(!back.broken);
    joint.getBreakForce(back.breakForce, back.breakTorque);
    back.anchorA = frames[0].getOrigin();
    for (btRigidBody* body : bodies)
        if (!body->isStaticObject())
            body->activate(true);
    return true;
}

void JointSet::apply(float dt) {
    if (dt != lastDt) {
        lastDt = dt; // soft limits depend on the step
        for (Joint* joint : joints)
            markDirty(*joint);
    }
    std::vector<Joint*> list;
    list.swap(dirty);
    for (Joint* joint : list) {
        joint->back().inDirtyList = false;
        if (joint->released || joint->back().inert)
            continue;
        if (!configure(*joint, dt))
            markDirty(*joint); // tried again at the next step
    }
    breakable.clear();
    for (Joint* joint : joints) {
        JointBack& back = joint->back();
        if (back.constraint && !back.broken && isBreakable(*joint))
            breakable.push_back(&back);
    }
}

void JointSet::checkBreaks() {
    brokenInStep.clear();
    for (JointBack* back : breakable) {
        btTypedConstraint& c = *back->constraint;
        const btRigidBody& a = c.getRigidBodyA();
        if (!c.isEnabled() || (!a.isActive() && !c.getRigidBodyB().isActive()))
            continue; // not solved this step
        const btJointFeedback& f = back->feedback;
        const btVector3 lever = a.getCenterOfMassTransform() * back->anchorA - a.getCenterOfMassPosition();
        const btScalar force = f.m_appliedForceBodyA.length();
        const btScalar torque = (f.m_appliedTorqueBodyA - lever.cross(f.m_appliedForceBodyA)).length();
        if (force > back->breakForce || torque > back->breakTorque) {
            c.setEnabled(false);
            back->broken = true;
            brokenInStep.push_back(back->owner);
        }
    }
}

void JointSet::pull() {
    for (Joint* joint : brokenInStep) {
        if (joint->released)
            continue;
        joint->constraintFlags |= ConstraintBroken;
        ConstraintInfo info;
        info.joint = joint;
        info.externalReference = joint;
        reports.push_back(info);
    }
    brokenInStep.clear();
}

void JointSet::deliver(SimulationEventCallback* callback) {
    if (callback && !reports.empty())
        callback->onConstraintBreak(reports.data(), static_cast<uint32_t>(reports.size()));
    reports.clear();
}

void JointSet::clear() {
    std::vector<Joint*> all;
    all.swap(joints);
    all.insert(all.end(), releasedJoints.begin(), releasedJoints.end());
    releasedJoints.clear();
    dirty.clear();
    breakable.clear();
    brokenInStep.clear();
    reports.clear();
    for (Joint* joint : all)
        destroy(*joint);
}

} // namespace phys::detail
