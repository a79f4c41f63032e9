#pragma once

#include "level/LevelObject.h"

// What the game asks of a player's body. The body itself (type 'plr1', with limbs of the
// types 'arms' and 'legs') is not part of this program: the player list (core/Globals.h)
// stays empty, and every caller tests the count and the entry and skips its player step.
// These interfaces fix every operation the callers use, so that they compile against them.

struct SuspicionMeter;
class CharacterTextureSource;
class LimbChain;
struct LimbState;
struct LimbStateSet;

// The counters of a player's run that gameplay raises.
struct PlayerStatsRecord {
    irr::s32 grabCount = 0; // a grab raises it by 1
};

// One arm or leg of the body (getType answers 'arms' or 'legs'); the limb helpers keep their
// state in the implementation.
class PlayerLimb : public LevelObject {
public:
    using LevelObject::LevelObject;
    // The chain of physics links the limb is built of; null when it has none.
    virtual LimbChain* getChain() = 0;
    // The record the limb helpers (player/LimbControl.h) keep of this limb; null when the
    // body keeps none.
    virtual LimbState* getLimbState() { return nullptr; }
};

// The physics links of a limb.
class LimbChain {
public:
    virtual ~LimbChain() = default;
    // forceMode: 0 force, 1 impulse, 2 velocity change, 3 acceleration.
    virtual void addChainForce(const irr::core::vector3df& force, irr::s32 forceMode, bool continuous) = 0;
    virtual irr::s32 getChainLinkCount() = 0;
};

// The limbs of one kind: side 0 (right) and side 1 (left), then the first and second limb
// under control. Entries may be null.
struct LimbSet {
    PlayerLimb* sides[2] = {nullptr, nullptr};
    PlayerLimb* controlled[2] = {nullptr, nullptr};
    // The limb helpers' record of the same set; null when the body keeps none.
    LimbStateSet* states = nullptr;
};

// Release sides of releaseGrabbed.
namespace LimbSide {
constexpr irr::s32 Right = 0;
constexpr irr::s32 Left = 1;
constexpr irr::s32 Both = 4;
} // namespace LimbSide

// Body parts of setAnimationBlend.
namespace BodyPart {
constexpr irr::s32 Torso = 0;
constexpr irr::s32 Stache = 1;
constexpr irr::s32 LeftArm = 2;
constexpr irr::s32 RightArm = 3;
constexpr irr::s32 LeftLeg = 4;
constexpr irr::s32 RightLeg = 5;
constexpr irr::s32 WholeBody = 6;
} // namespace BodyPart

// Control modes of getControlMode.
namespace ControlMode {
constexpr irr::s32 Arms = 0;
constexpr irr::s32 Legs = 1;
} // namespace ControlMode

// The per-step record of the body that the physics code writes and reads.
struct PlayerStepRecord {
    irr::s32 stepContact = 0;
    irr::scene::ISceneNode* steppingLeg = nullptr;
    irr::core::vector3df legMotion;
};

// The two limb objects under control and whether their grab is active.
struct PlayerControllerRecord {
    irr::scene::ISceneNode* limbs[2] = {nullptr, nullptr};
    bool grabActive = false;
};

// The notification a throw sends.
constexpr irr::s32 playerNotifyThrow = 11;

// The player's body: a level object of type 'plr1' (getID, getPosition and
// getAbsolutePosition come with it). Operations in the order of the body's interface; no
// result is used unless one is named.
class PlayerObject : public LevelObject {
public:
    using LevelObject::LevelObject;

    // The body's animated mesh node (as a physics object answers it).
    virtual irr::scene::IAnimatedMeshSceneNode* getMeshNode() = 0;

    virtual void setPlayerMesh(const char* meshFile) = 0;
    virtual void setLegsModeEnabled(bool enabled) = 0;
    virtual void setArmsModeEnabled(bool enabled) = 0;
    virtual void setWalkingEnabled(bool enabled, irr::s32 walkingSides) = 0;
    virtual void setGrabbingEnabled(bool enabled) = 0;
    virtual void setMoveArmsEnabled(bool enabled) = 0;
    // The touch overlay shows its switch button only while both are true.
    virtual bool isModeSwitchAvailable() = 0;
    virtual bool isModeSwitchAvailableAlt() = 0;
    // The touch overlay shows its grab strip (in arms mode) only while true.
    virtual bool isGrabAvailable() { return false; }
    virtual void setVerticalLegMovementOnly(bool enabled) = 0;
    virtual void setHorizontalLegMovementOnly(bool enabled) = 0;
    virtual void setStuckLimbCorrectEnabled(bool enabled) = 0;
    // The index in the player list.
    virtual irr::s32 getPlayerIndex() = 0;
    // Forced mode switches are skipped while true.
    virtual bool isModeSwitchBusy() = 0;
    // The "Switch Modes" input condition is met while false.
    virtual bool isModeSettled() = 0;
    // The "Tentaro Movement" input condition.
    virtual bool isMoving() = 0;
    virtual irr::s32 getControlMode() = 0;
    // object: what to let go of, null for whatever is held; side: LimbSide.
    virtual void releaseGrabbed(irr::scene::ISceneNode* object, irr::s32 side, bool flag) = 0;
    virtual void switchToLegsMode() = 0;
    virtual void switchToArmsMode() = 0;
    virtual void setLimpAmount(irr::f32 amount) = 0;
    // forceMode: 0 force, 1 impulse, 2 velocity change, 3 acceleration.
    virtual void addHeadForce(const irr::core::vector3df& force, irr::s32 forceMode, bool continuous) = 0;
    virtual void addChestForce(const irr::core::vector3df& force, irr::s32 forceMode, bool continuous) = 0;
    // A quaternion (x, y, z, w) and a position (x, y, z).
    virtual void setPose(const irr::f32 pose[7]) = 0;
    virtual void matchAnimatedPose(irr::s32 objectID) = 0;
    virtual void setKinematic(bool kinematic) = 0;
    virtual void setAnimationBlend(irr::f32 blend, irr::f32 blendTime, irr::s32 bodyPart) = 0;
    // Called once per material index of the chosen range.
    virtual void setPlayerTexture(irr::video::ITexture* texture) = 0;
    virtual void notify(irr::s32 code) = 0;
    // A notice with a value (12 with 1.0 after a hit raised suspicion).
    virtual void notify(irr::s32 code, irr::f32 value) = 0;
    virtual void setOpaqueRenderingOnly(bool enabled) = 0;
    virtual void setAnimationFrameRange(irr::s32 start, irr::s32 end) = 0;
    // 0 selects the heavier link values of grabbing; getWeightModeAux is asked right after.
    virtual irr::s32 getWeightMode() = 0;
    virtual irr::s32 getWeightModeAux() = 0;
    virtual LimbSet getLegs() = 0;
    virtual LimbSet getArms() = 0;
    // Null when the body keeps none (then the level's record is used).
    virtual SuspicionMeter* getSuspicionRecord() = 0;
    virtual PlayerStatsRecord* getStatsRecord() = 0;

    // What the physics code asks of the body. The defaults stand for a body without limbs.
    // The contact dispatch writes stepContact: 1 a dynamic object was touched, 2 a static one
    // (0 before every step); the legs read the stepping leg and its motion.
    virtual PlayerStepRecord* getStepRecord() { return nullptr; }
    virtual PlayerControllerRecord* getControllerRecord() { return nullptr; }
    // Lets go of the object if a hand holds it (code 4: both hands).
    virtual void releaseObject(irr::scene::ISceneNode* object, irr::s32 code, bool flag) {
        releaseGrabbed(object, code, flag);
    }
    virtual bool isImpactReactionBlocked() { return false; }
    // 13 a hard knock, 14 a knock while blocked.
    virtual void playImpactReaction(irr::s32 code) { (void)code; }
    virtual void endTieDisplay() {}
    // The physics actor of a body segment when the body is used as a joint body.
    virtual void* getSegmentActor(irr::s32 segment) { (void)segment; return nullptr; }

    // What the cameras ask of the body they follow; a body that does not answer stands at
    // its own position, still and in its first mode.
    // The point the game camera looks at from that camera distance.
    virtual irr::core::vector3df getCameraFocusPoint(irr::f32 distance) {
        (void)distance;
        return getAbsolutePosition();
    }
    // Takes control from the player (true) or gives it back (false).
    virtual void setControlsDisabled(bool disabled) { (void)disabled; }
    virtual irr::core::vector3df getLinearVelocity() { return {}; }
    // The point ahead of the body that a camera this far away follows.
    virtual irr::core::vector3df getLookAheadPoint(irr::f32 distance) {
        (void)distance;
        return getAbsolutePosition();
    }
    // Non-zero switches the camera's side rays on and its field-of-view narrowing off.
    virtual irr::s32 getBodyMode() { return 0; }
    // Slows the field-of-view narrowing.
    virtual bool hasZoomDamping() { return false; }
    // The world position of the last link of the first limb.
    virtual irr::core::vector3df getLimbTipPosition() { return getAbsolutePosition(); }

    // What the renderer composes the body's textures from (render/CharacterTextures.h); a
    // body without composed textures answers null.
    virtual CharacterTextureSource* getCharacterTextures() { return nullptr; }
};
