#pragma once

#include "characters/animators/AnimatorBase.h"

#include <utility>

// Drives a swimmer along a spline object with charge, blast and coast phases
// ("swimSpline"): holding the first game action charges, letting go blasts forward with a
// speed that grows with the charge, then the swimmer coasts and slows down. It plays the
// swimmer's animations from its profile, bends five tail joints along the spline, flashes
// when the charge is nearly full, rumbles the pads and flinches backwards on request
// (setReversed(true)).
//
// Charge, speed and the animation state are one record for the whole program: the game
// has one swimming player.
class SwimSplineAnimator : public AnimatorBase {
public:
    static constexpr const char* profileFile = "Content/Models/Characters/SwimmerProfile.xml";
    enum State {
        CoastToCharge = 0,
        ChargedIdle,
        MidBlast,
        Blast,
        CoastIdle,
        CoastToIdle,
        Idle,
        IdleToCharge,
        Flinch,
        StateCount,
        NoState = StateCount
    };
    static const char* const stateAnimationNames[StateCount];
    static constexpr int swimSoundEffect = 42;

    // The shared swim record; destroying any swim animator puts it back.
    struct SwimState {
        irr::s32 state = Idle;
        irr::s32 lastPlayed = NoState;
        irr::f32 charge = 0.0f;
        irr::f32 targetSpeed = 0.0f;
        irr::f32 speed = 0.0f;
        irr::f32 holdTime = 0.0f;
    };
    static SwimState shared;

    explicit SwimSplineAnimator(irr::scene::ISceneNode* node);
    ~SwimSplineAnimator() override;
    void animateNode(irr::scene::ISceneNode* node, irr::u32 timeMs) override;
    irr::scene::ISceneNodeAnimator* createClone(irr::scene::ISceneNode* node,
                                                irr::scene::ISceneManager* newManager = nullptr) override;
    irr::scene::ESCENE_NODE_ANIMATOR_TYPE getType() const override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    // Enabling switches every other swim animator of the node off.
    void setEnabled(bool enabled) override;
    // True asks for a flinch; either way the pads rumble.
    void setReversed(bool reversed) override;

    // The charge input of this frame (player 0's controls, action 0); tests may replace it.
    static bool (*chargeInput)();

    irr::f32 maxChargeTime = 2.0f;
    irr::f32 chargeRate = 0.4f;
    irr::f32 compoundExponent = 4.0f;
    irr::f32 windDownRate = 2.0f;
    irr::f32 windDownDamping = 35.0f;
    irr::scene::ISceneNode* targetNode;
    irr::scene::IAnimatedMeshSceneNode* meshNode = nullptr;
    irr::scene::ISceneNode* meshOwner = nullptr;
    SplineObject* splineNode = nullptr;
    SplineObject* previousSpline = nullptr;
    VariableObject* speedVariable = nullptr;
    irr::s32 splineObjectID = 0;
    irr::s32 prevSplineObjectID = 0;
    irr::s32 meshObjectID = 0;
    irr::s32 speedVariableObjectID = 0;
    irr::core::matrix4 jointTurn;
    std::pair<irr::s32, irr::s32> animationRanges[StateCount];
    irr::f32 flinchStartSpeed = 0.0f;
    irr::f32 flinchTimer = 0.0f;
    irr::f32 flinchDuration = 1.0f;
    irr::f32 timeToComplete = 0.0f;
    irr::f32 currentTime = 0.0f;
    irr::f32 splineSpeed = 20.0f;
    irr::f32 splineLength = 0.0f;
    irr::f32 flashTimer = 0.0f;
    bool resetOnDisable = false;
    bool wasEnabled = true;
    bool affectRotation = false;
    bool charging = false;
    bool jointCallbackAdded = false;

    // The tail's joint step, after the owner's animation (joined once per animator).
    void bendTail();
    // Where a tail joint lies at the progress (world position, rotation in degrees): on the
    // path; behind its start on the path before it, on a loop's own end, or else straight
    // back from the start.
    void tailPlace(irr::f32 progress, irr::core::vector3df& position, irr::core::vector3df& orientation) const;
    // A path whose end lies this close to its start is a loop.
    static constexpr irr::f32 closedPathGap = 0.01f;

private:
    void updateCharge(irr::f32 dt);
    void updateAnimation();
    bool currentAnimationEnded() const;
    irr::f32 maxTargetSpeed() const;
    irr::scene::ISceneNode* joinedOwner = nullptr;
};
