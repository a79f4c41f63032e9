#pragma once

#include "characters/animators/AnimatorBase.h"

#include <vector>

class VariableObject;

// Five animators that move or turn their node: between two points, along key points, on a
// circle, spinning, and turned toward another object. The straight and spline movers and
// the spinner run by the frame stopwatch; the circle runs by the engine time it is given.

// Slides its node from Start to End in TimeForWay milliseconds ("moveStraight").
class MoveStraightAnimator : public AnimatorBase {
public:
    MoveStraightAnimator(const irr::core::vector3df& start, const irr::core::vector3df& end, irr::u32 timeForWay,
                         bool loop, bool pingPong, irr::u32 startTime = 0);
    void animateNode(irr::scene::ISceneNode* node, irr::u32 timeMs) override;
    irr::scene::ISceneNodeAnimator* createClone(irr::scene::ISceneNode* node,
                                                irr::scene::ISceneManager* newManager = nullptr) override;
    irr::scene::ESCENE_NODE_ANIMATOR_TYPE getType() const override;
    bool hasFinished() const override { return finished; }
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    irr::core::vector3df start, end;
    irr::f32 directionFactor = 1.0f;
    irr::f32 progress = 0.0f;
    irr::u32 timeForWay;
    bool finished = false;
    bool loop, pingPong;
    bool resetOnDisable = false;
    bool wasEnabled = false;
};

// Carries its node along key points with optional rotation and scale keys ("moveSpline").
class MoveSplineAnimator : public AnimatorBase {
public:
    MoveSplineAnimator(const std::vector<irr::core::vector3df>& points, irr::u32 startTime, irr::f32 speed,
                       irr::f32 tightness, bool loop);
    void animateNode(irr::scene::ISceneNode* node, irr::u32 timeMs) override;
    irr::scene::ISceneNodeAnimator* createClone(irr::scene::ISceneNode* node,
                                                irr::scene::ISceneManager* newManager = nullptr) override;
    irr::scene::ESCENE_NODE_ANIMATOR_TYPE getType() const override;
    bool hasFinished() const override { return finished; }
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    // Position, rotation (degrees) and scale at progress u; outputs zero where not animated.
    void evaluate(irr::f32 u, irr::core::vector3df& position, irr::core::vector3df& rotation,
                  irr::core::vector3df& scale);
    void evaluateAndApply(irr::scene::ISceneNode* target, irr::f32 u);

    std::vector<irr::core::vector3df> points;
    std::vector<irr::core::quaternion> rotations;
    std::vector<irr::core::vector3df> scales;
    irr::scene::ISceneNode* node = nullptr;
    irr::f32 speed, tightness;
    irr::f32 directionFactor = 1.0f;
    irr::f32 spawnTime = 0.0f;
    irr::f32 progress = 0.0f;
    bool finished = false;
    bool loop;
    bool pingPong = false;
    bool linearMovement = false;
    bool resetOnDisable = false;
    bool animatePosition = true;
    bool animateRotation = false;
    bool animateScale = false;
    bool wasEnabled = false;
    // Set by code that builds the animator: "Enabled" is then always written as false.
    bool transient = false;
    bool disableWhenFinished = false;
};

// Moves its node on a circle or ellipse about Center, in the plane across Direction
// ("moveFlyCircle"). Speed is in radians per millisecond.
class FlyCircleAnimator : public AnimatorBase {
public:
    FlyCircleAnimator(irr::u32 startTime, const irr::core::vector3df& center, const irr::core::vector3df& direction,
                      irr::f32 radius, irr::f32 speed, irr::f32 radiusEllipsoid);
    void animateNode(irr::scene::ISceneNode* node, irr::u32 timeMs) override;
    irr::scene::ISceneNodeAnimator* createClone(irr::scene::ISceneNode* node,
                                                irr::scene::ISceneManager* newManager = nullptr) override;
    irr::scene::ESCENE_NODE_ANIMATOR_TYPE getType() const override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    void computeAxes();

    irr::core::vector3df center, direction, axisU, axisV;
    irr::f32 radius, radiusEllipsoid, speed;
    irr::u32 startTime, lastTime;
    irr::u32 reverseOffset = 0;
    bool resetOnDisable = false;
};

// Spins its node by Rotation degrees per 1/100 s on each axis, scaled by a level variable
// when one is named ("moveRotation").
class MoveRotationAnimator : public AnimatorBase {
public:
    explicit MoveRotationAnimator(const irr::core::vector3df& rotation);
    void animateNode(irr::scene::ISceneNode* node, irr::u32 timeMs) override;
    irr::scene::ISceneNodeAnimator* createClone(irr::scene::ISceneNode* node,
                                                irr::scene::ISceneManager* newManager = nullptr) override;
    irr::scene::ESCENE_NODE_ANIMATOR_TYPE getType() const override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    irr::core::vector3df rotation;
    VariableObject* speedVariable = nullptr;
    irr::s32 speedVariableID = 0;
};

// Keeps its node's +Z axis turned toward another level object ("rotateTowards").
class RotateTowardsAnimator : public AnimatorBase {
public:
    RotateTowardsAnimator() = default;
    void animateNode(irr::scene::ISceneNode* node, irr::u32 timeMs) override;
    irr::scene::ISceneNodeAnimator* createClone(irr::scene::ISceneNode* node,
                                                irr::scene::ISceneManager* newManager = nullptr) override;
    irr::scene::ESCENE_NODE_ANIMATOR_TYPE getType() const override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    irr::scene::ISceneNode* target = nullptr;
    irr::s32 targetObjectID = 0;
    bool needsLookup = true;
};

// The progress movers' end handling (loop, ping-pong), shared by every progress-driven
// animator: wraps or turns progress at 0 and 1, then clamps it.
void wrapProgress(irr::f32& progress, irr::f32& direction, bool loop, bool pingPong);
