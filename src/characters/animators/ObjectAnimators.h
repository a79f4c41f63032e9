#pragma once

#include "characters/animators/AnimatorBase.h"

// Three animators that tie a node to another object: along a spline object over a time,
// following another object's world position and rotation, and pushing a dynamic physics
// object with a constant force. All run by the frame stopwatch.

class LevelManager;

// Moves its node along a spline level object in TimeToComplete seconds, optionally turned
// with the spline and sped up by a variable ("animateSpline").
class AnimateSplineAnimator : public AnimatorBase {
public:
    AnimateSplineAnimator();
    ~AnimateSplineAnimator() override;
    void animateNode(irr::scene::ISceneNode* node, irr::u32 timeMs) override;
    irr::scene::ISceneNodeAnimator* createClone(irr::scene::ISceneNode* node,
                                                irr::scene::ISceneManager* newManager = nullptr) override;
    irr::scene::ESCENE_NODE_ANIMATOR_TYPE getType() const override;
    bool hasFinished() const override { return !loop && !pingPong && progress >= 1.0f; }
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    // The level manager's checkpoint save: the progress to write as SpawnTime.
    void recordCheckpointProgress() { checkpointProgress = progress; }

    SplineObject* splineNode = nullptr;
    VariableObject* speedVariable = nullptr;
    irr::s32 splineObjectID = 0;
    irr::s32 speedVariableID = 0;
    irr::f32 timeToComplete = 3.0f;
    irr::f32 progress = 0.0f;
    irr::f32 spawnTime = 0.0f;
    irr::f32 checkpointProgress = 0.0f;
    irr::f32 direction = 1.0f;
    bool loop = true;
    bool pingPong = false;
    bool resetOnDisable = false;
    bool wasEnabled = true;
    bool affectRotation = false;
    bool capToFramerate = false;

private:
    LevelManager* joinedManager = nullptr;
};

// Follows another object's world position (axes may be excluded) and world rotation
// without re-parenting its node ("parentToObject").
class ParentToObjectAnimator : public AnimatorBase {
public:
    void animateNode(irr::scene::ISceneNode* node, irr::u32 timeMs) override;
    irr::scene::ISceneNodeAnimator* createClone(irr::scene::ISceneNode* node,
                                                irr::scene::ISceneManager* newManager = nullptr) override;
    irr::scene::ESCENE_NODE_ANIMATOR_TYPE getType() const override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    irr::s32 parentObjectID = 0;
    irr::scene::ISceneNode* parentNode = nullptr;
    irr::core::stringc excludePositionAxes;
    bool useParentPosition = true;
    bool useParentRotation = false;
    bool excludeX = false, excludeY = false, excludeZ = false;
};

// Pushes a dynamic physics object with a constant world force every frame, through the
// physics manager's force queue ("physicsForce").
class PhysicsForceAnimator : public AnimatorBase {
public:
    static const char* const forceModeNames[5];

    explicit PhysicsForceAnimator(irr::scene::ISceneNode* node) : targetNode(node) {}
    void animateNode(irr::scene::ISceneNode* node, irr::u32 timeMs) override;
    irr::scene::ISceneNodeAnimator* createClone(irr::scene::ISceneNode* node,
                                                irr::scene::ISceneManager* newManager = nullptr) override;
    irr::scene::ESCENE_NODE_ANIMATOR_TYPE getType() const override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    irr::core::vector3df force;
    irr::s32 forceMode = 0;
    irr::scene::ISceneNode* targetNode;
};
