#pragma once

#include "phys/Phys.h"

#include <irrlicht.h>
#include <list>
#include <vector>

class PhysicsObject;
class PlayerObject;
class PlayerControls;
class PlayerLimb;
struct LimbSet;

// One link of a limb: its body and its joint to the previous link.
struct LimbLink {
    phys::RigidDynamic* body = nullptr;
    phys::D6Joint* joint = nullptr;
};

// What the limb helpers keep of one limb of the player's body (an arm grabs; a leg shares
// the links). The body fills grab amount, grab point, the throw tuning and the velocity
// samples.
struct LimbState {
    std::vector<LimbLink> links; // the last link carries the tip
    irr::s32 side = 0;           // 0 right, 1 left; also the controls' role
    PlayerObject* owner = nullptr;
    bool grabArmed = false;
    bool released = false;
    bool holding = false;
    irr::f32 grabAmount = 0.0f; // grabbing proceeds while above 0
    PhysicsObject* touchedObject = nullptr;
    PhysicsObject* heldObject = nullptr;
    phys::RigidDynamic* tipBody = nullptr;
    std::vector<phys::Joint*> grabJoints;
    phys::RigidActor* firstGrabbedBody = nullptr;
    phys::RigidActor* secondGrabbedBody = nullptr;
    std::vector<phys::RigidDynamic*> contactBodies; // own link bodies touching the touched object
    irr::s32 joinedContacts = 0;
    phys::Shape* touchedShape = nullptr; // the touched object's shape the limb touches
    bool manualControl = false;
    bool automatic = false;
    irr::f32 tipHeight = 0.0f;
    irr::core::vector3df touchPoint;
    bool touching = false;
    irr::f32 grabStrength = 0.0f;
    irr::f32 throwThreshold = 0.0f;
    irr::f32 throwForce = 0.0f;
    irr::f32 maxThrowForce = 0.0f;
    std::list<irr::core::vector3df> velocitySamples; // newest first
    irr::f32 preGrabMass = 0.0f;
    irr::core::vector3df grabPoint;
    bool rebuildPending = false;
    // Legs: the link from which the mass and material are recomputed, and whether they must be.
    irr::s32 currentLink = 0;
    bool linkMassDirty = false;
    bool light = false;
};

// The legs' slip when they touch a trip hazard.
struct LimbSlip {
    irr::s32 phase = 0;
    void* refA = nullptr;
    void* refB = nullptr;
    irr::core::vector3df direction;
    bool slipping = false;
    irr::s32 phaseB = 0;
    bool started = false;
    irr::f32 timer = 0.0f;
};

// A limb set: the limbs of side 0 and 1, the first and second limb under control, and (legs
// only) the slip.
struct LimbStateSet {
    LimbState* sides[2] = {nullptr, nullptr};
    LimbState* controlled[2] = {nullptr, nullptr};
    LimbSlip slip;
    // A grab was forced on the set's limb (the Tentaro Controls action).
    bool grabForced = false;
};

// Stiff and soft linear limits of the link joints.
constexpr irr::f32 limbStiffSpring = 30000.0f;
constexpr irr::f32 limbSoftSpring = 10000.0f;

void setLimbsControlEnabled(LimbStateSet& limbs, bool enabled);
bool isLimbHolding(const LimbStateSet& limbs, irr::s32 side);
irr::core::vector3df getLimbTipPosition(const LimbStateSet& arms);
void startSlip(LimbStateSet& legs, void* refA, void* refB, const irr::core::vector3df& direction);
// The mean of the usable velocity samples; false when there are none.
bool getLimbAverageVelocity(const LimbState& limb, irr::core::vector3df& average);
void updateHeldObjectMass(PhysicsObject* object, LimbState& limb);
void addLimbContact(LimbState& limb, phys::RigidDynamic* body);
bool isHoldingGrabbable(const LimbState& limb);
void grabObject(LimbState& limb, phys::Joint* joint, phys::RigidDynamic* contactBody);
bool updateLimbGrabJoints(LimbState& limb);
bool setLimbGrabState(LimbState& limb, bool throwIt, bool reset);
// Moves a grab to another object: the joints are rebuilt on the new object's shape of the
// same index as the touched shape (nothing happens without a touched shape).
void rebindLimbToArticulation(LimbState& limb, PhysicsObject* object);
void setLimbDriveMode(LimbState& limb, irr::s32 mode);
void setLimbTouchedObject(LimbState& limb, PhysicsObject* object);
irr::s32 findLimbPlayerControlsIndex(const LimbState& limb);
PlayerControls* getLimbPlayerControls(const LimbState& limb);
// The throw's force for a horizontal hand speed, from the tip's velocity and the body's
// mass (zero below the threshold).
irr::core::vector3df computeThrowForce(const LimbState& limb, irr::f32 horizontalSpeed,
                                       const irr::core::vector3df& tipVelocity, irr::f32 mass);

// The same helpers on what a player body hands out: its limbs (PlayerLimb::getLimbState) and
// its limb sets (LimbSet::states). A limb or set without the helpers' record does nothing and
// answers null or false.
PhysicsObject* getLimbHeldObject(PlayerLimb* limb);
// Whether the actor is one of the limb's link bodies.
bool limbHasActor(PlayerLimb* limb, const phys::Actor* actor);
// The body that owns a limb node (type 'arms' or 'legs'); null for any other node.
PlayerObject* getLimbOwner(irr::scene::ISceneNode* limb);
void setLimbsControlEnabled(const LimbSet& limbs, bool enabled);
bool isLimbHolding(const LimbSet& limbs, irr::s32 side);
void setLimbTipHeight(PlayerLimb* limb, irr::f32 height);
// Makes the limb grab the object at once: it becomes the touched object, the limb's grab
// starts in full, its touch point is updated and the set's grab is marked forced.
void forceLimbGrab(const LimbSet& limbs, PlayerLimb* limb, PhysicsObject* object);
void rebindLimbToArticulation(PlayerLimb* limb, PhysicsObject* object);
