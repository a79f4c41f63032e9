#include "player/LimbControl.h"

#include "core/Globals.h"
#include "core/Log.h"
#include "core/RepeatedLog.h"
#include "core/SoundManager.h"
#include "core/Stopwatch.h"
#include "level/SceneNodeTypes.h"
#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsFiltering.h"
#include "physics/world/PhysicsManager.h"
#include "player/InputManager.h"
#include "player/LimbQueries.h"
#include "player/PlayerControls.h"
#include "player/PlayerObject.h"

#include <algorithm>

namespace {

using irr::core::vector3df;

constexpr irr::f32 limbStep = 0.0167f;
constexpr int limbMaxJoinedContacts = 5;
// The game's sound effect of a throw.
constexpr int throwSoundEffect = 4;


// The touched object's body when it is a dynamic one.
phys::RigidDynamic* touchedDynamicBody(const LimbState& limb) {
    return limb.touchedObject ? limb.touchedObject->getDynamicActor() : nullptr;
}

bool isHoldableKind(const PhysicsObject* object) {
    if (!object)
        return false;
    const irr::scene::ESCENE_NODE_TYPE type = object->getType();
    return type == typeId("phsx") || type == typeId("apsx") || type == typeId("ties") || type == typeId("crct");
}

void setLinkMass(LimbState& limb, irr::f32 mass) {
    for (LimbLink& link : limb.links)
        if (link.body)
            link.body->setMass(mass);
    if (limb.tipBody)
        limb.tipBody->setMass(mass);
}

// 30 (or 2.34) kilograms, doubled in the heavier weight mode.
irr::f32 weightedLinkMass(const LimbState& limb, irr::f32 mass) {
    if (limb.owner) {
        const bool heavier = limb.owner->getWeightMode() == 0;
        limb.owner->getWeightModeAux();
        if (heavier)
            mass *= 2.0f;
    }
    return mass;
}

void stiffenLinks(LimbState& limb) { setLimbDriveMode(limb, 1); }

std::vector<phys::Shape*> actorShapes(const phys::RigidActor* body) {
    std::vector<phys::Shape*> shapes(body ? body->getNbShapes() : 0);
    if (body)
        body->getShapes(shapes.data(), std::uint32_t(shapes.size()));
    return shapes;
}

void setShapeFlags(phys::RigidActor* body, phys::ShapeFlag flag, bool value) {
    for (phys::Shape* shape : actorShapes(body))
        shape->setFlag(flag, value);
}

// Releases the grab joints and empties the list. Unless releaseNow, a step in flight keeps
// them until its results are fetched.
void releaseGrabJoints(LimbState& limb, bool releaseNow) {
    for (phys::Joint* joint : limb.grabJoints) {
        if (physicsManager)
            physicsManager->releaseJoint(joint, releaseNow);
        else
            joint->release();
    }
    limb.grabJoints.clear();
}

// The shape of the same index on the other object's body; null when the shape is not one
// of the first object's or the other body has fewer shapes.
phys::Shape* matchingShape(PhysicsObject* from, phys::Shape* shape, PhysicsObject* to) {
    const std::vector<phys::Shape*> fromShapes = actorShapes(from ? from->getBodyActor() : nullptr);
    const auto found = std::find(fromShapes.begin(), fromShapes.end(), shape);
    const std::vector<phys::Shape*> toShapes = actorShapes(to ? to->getBodyActor() : nullptr);
    const std::size_t index = std::size_t(found - fromShapes.begin());
    return found != fromShapes.end() && index < toShapes.size() ? toShapes[index] : nullptr;
}

} // namespace

void setLimbsControlEnabled(LimbStateSet& limbs, bool enabled) {
    LimbState* first = limbs.controlled[0];
    LimbState* second = limbs.controlled[1];
    if (!enabled) {
        for (LimbState* limb : {first, second})
            if (limb) {
                limb->manualControl = false;
                limb->automatic = true;
            }
        return;
    }
    if (!inputManager)
        return;
    for (LimbState* limb : {first, second}) {
        if (!limb)
            continue;
        if (inputManager->findPlayerControlsUsingDevice(0, limb->side != 0 ? 1 : 0) != -1) {
            limb->manualControl = true;
            limb->automatic = false;
            return;
        }
    }
}

bool isLimbHolding(const LimbStateSet& limbs, irr::s32 side) {
    auto holds = [](const LimbState* limb) { return limb && limb->heldObject; };
    if (side == 0)
        return holds(limbs.controlled[0]);
    if (side == 1)
        return holds(limbs.controlled[1]);
    return holds(limbs.controlled[0]) || holds(limbs.controlled[1]);
}

vector3df getLimbTipPosition(const LimbStateSet& arms) {
    const LimbState* limb = arms.controlled[0];
    if (!limb || limb->links.empty() || !limb->links.back().body)
        return {};
    return toEngine(limb->links.back().body->getGlobalPose().p);
}

void startSlip(LimbStateSet& legs, void* refA, void* refB, const vector3df& direction) {
    LimbSlip& slip = legs.slip;
    if (slip.slipping)
        return;
    slip.refA = refA;
    slip.refB = refB;
    slip.phase = 1;
    slip.direction = vector3df(direction.X, 0.0f, direction.Z);
    if (slip.direction.getLength() > 0.0f)
        slip.direction.normalize();
    slip.slipping = true;
    slip.started = true;
    slip.phaseB = 1;
    slip.timer = 0.2f;
}

bool getLimbAverageVelocity(const LimbState& limb, vector3df& average) {
    const irr::f32 stepLength = PhysicsManager::fixedStepSize;
    irr::f32 dt = frameStopwatch ? frameStopwatch->delta() : stepLength;
    if (dt > stepLength)
        dt = irr::f32(PhysicsManager::defaultMaxStepsPerFrame) * limbStep;
    if (!(dt > stepLength))
        dt = limbStep;
    const int steps = std::max(1, int(dt / limbStep + 0.5f));
    const int count = int(limb.velocitySamples.size());
    const int usable = count / steps - 2 / steps;
    average = vector3df();
    if (usable <= 0)
        return false;
    int taken = 0;
    for (const vector3df& sample : limb.velocitySamples) {
        if (taken == usable)
            break;
        average += sample;
        ++taken;
    }
    average /= irr::f32(usable);
    return true;
}

void updateHeldObjectMass(PhysicsObject* object, LimbState& limb) {
    if (phys::RigidDynamic* body = object ? object->getDynamicActor() : nullptr)
        limb.preGrabMass = body->getMass();
}

void addLimbContact(LimbState& limb, phys::RigidDynamic* body) {
    if (body && std::find(limb.contactBodies.begin(), limb.contactBodies.end(), body) == limb.contactBodies.end())
        limb.contactBodies.push_back(body);
}

bool isHoldingGrabbable(const LimbState& limb) { return limb.holding && limb.heldObject && limb.heldObject->CanHangFrom; }

void grabObject(LimbState& limb, phys::Joint* joint, phys::RigidDynamic* contactBody) {
    limb.grabJoints.push_back(joint);
    if (!limb.firstGrabbedBody)
        limb.firstGrabbedBody = contactBody;
    PhysicsObject* touched = limb.touchedObject;
    if (isHoldableKind(touched)) {
        // One hand is one hold however many of its links join the object: the object is
        // told once here and once at the release.
        if (limb.heldObject != touched) {
            limb.heldObject = touched;
            touched->notifyGrab(true, limb.grabPoint);
        }
        if (!touched->CanHangFrom) {
            stiffenLinks(limb);
            if (limb.side == 0) {
                const irr::scene::ISceneNode* parent = touched->getParent();
                const irr::f32 limit = parent && parent->getType() == typeId("apsx") ? 8500.0f : 13500.0f;
                joint->setBreakForce(limit, limit);
            }
        } else {
            setLinkMass(limb, weightedLinkMass(limb, 30.0f));
            for (LimbLink& link : limb.links)
                if (link.joint)
                    link.joint->setMotion(phys::D6Axis::X, phys::D6Motion::Locked);
        }
        limb.grabStrength = 0.0f;
    }
    limb.holding = true;
    if (limb.owner)
        if (PlayerStatsRecord* stats = limb.owner->getStatsRecord())
            ++stats->grabCount;
}

bool updateLimbGrabJoints(LimbState& limb) {
    while (limb.grabAmount > 0.0f && limb.touchedObject && limb.joinedContacts < int(limb.contactBodies.size()) &&
           limb.joinedContacts < limbMaxJoinedContacts && physicsManager && physicsManager->getPhysics()) {
        phys::RigidDynamic* contact = limb.contactBodies[std::size_t(limb.joinedContacts)];
        phys::RigidDynamic* body = touchedDynamicBody(limb);
        vector3df anchor = limb.grabPoint;
        bool light = true;
        if (limb.touchedObject->getType() != typeId("apsx")) {
            vector3df closest;
            irr::f32 distance = 0.0f;
            if (limb.touchedObject->findSurfacePoint(limb.grabPoint, closest, distance)) {
                if (distance > 0.2f && limb.tipBody) {
                    phys::Transform pose = limb.tipBody->getGlobalPose();
                    pose.p = toPhys(closest);
                    limb.tipBody->setGlobalPose(pose);
                    limb.tipBody->wakeUp();
                }
                if (!closest.equals(limb.grabPoint))
                    anchor = (toEngine(contact->getGlobalPose().p) + limb.grabPoint) * 0.5f;
            }
            light = limb.touchedObject->ReduceWeightOnGrab;
        }
        setShapeFlags(contact, phys::ShapeSimulation, false);
        setShapeFlags(contact, phys::ShapeTrigger, true);
        const phys::Transform anchorPose(toPhys(anchor));
        const phys::Transform frame0 = contact->getGlobalPose().getInverse() * anchorPose;
        const phys::Transform frame1 = body ? body->getGlobalPose().getInverse() * anchorPose : anchorPose;
        phys::D6Joint* joint = phys::createD6Joint(*physicsManager->getPhysics(), contact, frame0, body, frame1);
        if (!joint)
            break; // the rest are tried next step
        grabObject(limb, joint, contact);
        if (!isHoldingGrabbable(limb) && light && body)
            body->setMass(0.5f);
        ++limb.joinedContacts;
    }
    limb.rebuildPending = false;
    return limb.holding;
}

vector3df computeThrowForce(const LimbState& limb, irr::f32 horizontalSpeed, const vector3df& tipVelocity,
                            irr::f32 mass) {
    const irr::f32 threshold = limb.throwThreshold;
    const irr::f32 t = std::clamp((horizontalSpeed - threshold) / (30.0f - threshold), 0.0f, 1.0f);
    vector3df force = (tipVelocity + vector3df(0.0f, 20.0f * t, 0.0f)) * limb.throwForce * t;
    const irr::f32 cap = 0.6f * limb.maxThrowForce;
    if (force.getLength() > cap && force.getLength() > 0.0f)
        force.setLength(cap);
    force.Y += 6000.0f * t;
    if (mass < 10.0f)
        force *= mass / 10.0f;
    return force;
}

bool setLimbGrabState(LimbState& limb, bool throwIt, bool reset) {
    if (!limb.grabArmed && !limb.holding) {
        if (!limb.released)
            limb.grabArmed = true;
    } else {
        phys::RigidDynamic* body = touchedDynamicBody(limb);
        const bool throwing = throwIt && body;
        releaseGrabJoints(limb, true);
        limb.firstGrabbedBody = nullptr;
        limb.secondGrabbedBody = nullptr;
        for (phys::RigidDynamic* contact : limb.contactBodies) {
            setShapeFlags(contact, phys::ShapeTrigger, false);
            setShapeFlags(contact, phys::ShapeSimulation, true);
        }
        if (reset) {
            limb.grabAmount = 0.5f;
            limb.joinedContacts = 0;
            limb.contactBodies.clear();
            limb.touchedShape = nullptr;
        }
        bool thrown = false;
        if (throwing && !limb.velocitySamples.empty()) {
            if (limb.preGrabMass > 0.0f)
                body->setMass(limb.preGrabMass);
            vector3df average;
            if (getLimbAverageVelocity(limb, average)) {
                const irr::f32 horizontal = vector3df(average.X, 0.0f, average.Z).getLength();
                phys::Shape* shape = nullptr;
                // Only what collides as a dynamic object flies.
                const bool throwable = body->getShapes(&shape, 1) == 1 && shape &&
                                       (shape->getSimulationFilterData().word0 & collisionCategory::Dynamic) != 0;
                if (throwable && horizontal > limb.throwThreshold) {
                    if (limb.owner)
                        limb.owner->notify(playerNotifyThrow);
                    const vector3df tipVelocity = limb.tipBody ? toEngine(limb.tipBody->getLinearVelocity()) : vector3df();
                    const vector3df force = computeThrowForce(limb, horizontal, tipVelocity, body->getMass());
                    if (!body->isKinematic())
                        body->addForce(toPhys(force), phys::ForceMode::Force, true);
                    setLimbTouchedObject(limb, nullptr);
                    thrown = true;
                }
            }
        }
        if (limb.heldObject && limb.heldObject->CanHangFrom)
            setLinkMass(limb, weightedLinkMass(limb, 2.34f));
        limb.grabArmed = false;
        stiffenLinks(limb);
        limb.released = true;
        limb.holding = false;
        if (thrown && soundManager)
            soundManager->playEffect(throwSoundEffect);
        if (PlayerControls* controls = getLimbPlayerControls(limb))
            controls->addRumble(limb.side == 1 ? 0.2f : 0.0f, limb.side == 1 ? 0.0f : 0.2f, 0.1f, 0.0f);
    }
    if (limb.heldObject)
        limb.heldObject->notifyGrab(false, vector3df());
    limb.holding = false;
    limb.heldObject = nullptr;
    return !limb.grabArmed;
}

void rebindLimbToArticulation(LimbState& limb, PhysicsObject* object) {
    if (!limb.touchedShape)
        return;
    releaseGrabJoints(limb, false);
    limb.joinedContacts = 0;
    limb.touchedShape = matchingShape(limb.touchedObject, limb.touchedShape, object);
    if (!limb.touchedShape && object)
        logRepeatable("Warning: a limb's grab found no matching shape on the object it moved to.");
    setLimbTouchedObject(limb, object);
    updateLimbGrabJoints(limb);
}

void setLimbDriveMode(LimbState& limb, irr::s32 mode) {
    for (LimbLink& link : limb.links) {
        if (!link.joint)
            continue;
        if (mode == 0) {
            link.joint->setMotion(phys::D6Axis::X, phys::D6Motion::Locked);
            continue;
        }
        phys::JointLimit limit(0.005f);
        limit.restitution = 0.0f;
        limit.spring = mode == 2 ? limbSoftSpring : limbStiffSpring;
        limit.damping = 1.0f;
        limit.contactDistance = 0.0f;
        link.joint->setMotion(phys::D6Axis::X, phys::D6Motion::Limited);
        link.joint->setLinearLimit(limit);
    }
}

void setLimbTouchedObject(LimbState& limb, PhysicsObject* object) {
    if (object == limb.touchedObject)
        return;
    if (limb.touchedObject)
        limb.touchedObject->changeGrabCount(limb.side == 1, false);
    limb.touchedObject = object;
    if (object)
        object->changeGrabCount(limb.side == 1, true);
}

irr::s32 findLimbPlayerControlsIndex(const LimbState& limb) {
    if (!inputManager || !limb.owner)
        return -1;
    const int player = limb.owner->getPlayerIndex();
    if (player >= playerCount())
        return 0;
    const int role = limb.side == 1 ? 1 : 0;
    const int count = inputManager->getPlayerControlsCount(player);
    for (int index = 0; index < count; ++index) {
        PlayerControls* controls = inputManager->getPlayerControls(player, index);
        if (controls && controls->usesRole(role))
            return index;
    }
    return -1;
}

PlayerControls* getLimbPlayerControls(const LimbState& limb) {
    if (!inputManager)
        return nullptr;
    const int index = findLimbPlayerControlsIndex(limb);
    if (inputManager->getTotalPlayerControlsCount() == 0 || index < 0 || index >= inputManager->getPlayerControlsCount(0))
        return inputManager->getDefaultControls();
    return inputManager->getPlayerControls(0, index);
}

// --- the limbs a player body hands out ---------------------------------------------------

namespace {

LimbState* stateOf(PlayerLimb* limb) { return limb ? limb->getLimbState() : nullptr; }

} // namespace

PhysicsObject* getLimbHeldObject(PlayerLimb* limb) {
    LimbState* state = stateOf(limb);
    return state ? state->heldObject : nullptr;
}

bool limbHasActor(PlayerLimb* limb, const phys::Actor* actor) {
    LimbState* state = stateOf(limb);
    if (!state || !actor)
        return false;
    return std::any_of(state->links.begin(), state->links.end(),
                       [actor](const LimbLink& link) { return link.body && link.body == actor; });
}

PlayerObject* getLimbOwner(irr::scene::ISceneNode* limb) {
    if (!limb || (limb->getType() != typeId("arms") && limb->getType() != typeId("legs")))
        return nullptr;
    LimbState* state = stateOf(static_cast<PlayerLimb*>(limb));
    return state ? state->owner : nullptr;
}

void setLimbsControlEnabled(const LimbSet& limbs, bool enabled) {
    if (limbs.states)
        setLimbsControlEnabled(*limbs.states, enabled);
}

bool isLimbHolding(const LimbSet& limbs, irr::s32 side) { return limbs.states && isLimbHolding(*limbs.states, side); }

void setLimbTipHeight(PlayerLimb* limb, irr::f32 height) {
    if (LimbState* state = stateOf(limb))
        state->tipHeight = height;
}

void forceLimbGrab(const LimbSet& limbs, PlayerLimb* limb, PhysicsObject* object) {
    LimbState* state = stateOf(limb);
    if (!state)
        return;
    setLimbTouchedObject(*state, object);
    state->grabArmed = true;
    state->grabAmount = 1.0f;
    updateLimbTouchPoint(*state);
    if (limbs.states)
        limbs.states->grabForced = true;
}

void rebindLimbToArticulation(PlayerLimb* limb, PhysicsObject* object) {
    if (LimbState* state = stateOf(limb))
        rebindLimbToArticulation(*state, object);
}
