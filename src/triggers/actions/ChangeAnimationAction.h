#pragma once

#include "triggers/TriggerAction.h"

#include <vector>

// "Change Animation": switches an animator of the targets on or off and sets its direction
// ("Animator"), gives their animated meshes a new frame range, blend, loop mode and speed
// ("Frame Change"; the range may come from another mesh file or a character's animation
// profile), or gives a texture animator a new frame range ("Texture Animator"). With
// IsTentaro it acts on the first player instead and sets how closely each body part follows
// the animation. It cannot be undone.
class ChangeAnimationAction : public TriggerAction {
public:
    static constexpr irr::s32 actionType = 2;
    explicit ChangeAnimationAction(TriggerObject* trigger) : TriggerAction(actionType, trigger) {}

    void update() override { resolveTargets(); }
    void execute(TriggerEventInfo& event) override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    TriggerAction* clone(TriggerObject* newTrigger) const override;

    // Reads AnimatedObjectIDs into the targets once after each read of the keys.
    void resolveTargets();
    void applyToNode(TriggerEventInfo& event, irr::scene::ISceneNode* target);
    const std::vector<irr::scene::ISceneNode*>& getTargets() const { return targets; }

    static constexpr irr::s32 typeAnimator = 0;
    static constexpr irr::s32 typeFrameChange = 1;
    static constexpr irr::s32 typeTextureAnimator = 2;
    // "Animator", "Frame Change", "Texture Animator", then null.
    static const char* const animationTypeNames[4];

    irr::core::stringc UseAnimationFrom;
    irr::core::stringc CharAnimationName;
    irr::s32 ReverseAnimation = 0; // tri-state
    irr::s32 LoopFrames = 0;       // tri-state
    irr::s32 AnimationType = typeAnimator;
    irr::f32 NewFPS = 30.0f;
    irr::s32 AnimatorID = 0;
    irr::f32 BlendTime = 1.0f;
    bool AnimatorEnabled = false;
    bool ChangeFPS = false;
    irr::s32 StartFrame = 0;
    irr::s32 EndFrame = 0; // 0: the range stays
    irr::core::stringc AnimatedObjectIDs;
    bool IsTentaro = false;
    irr::f32 PhysicsBlendTime = 1.0f;
    bool IsTorsoSeparate = false, IsLeftArmSeparate = false, IsRightArmSeparate = false;
    bool IsLeftLegSeparate = false, IsRightLegSeparate = false;
    bool IsStacheSeparate = true;
    irr::f32 BodyBlend = 1.0f;
    irr::f32 TorsoBlend = 1.0f, LeftArmBlend = 1.0f, RightArmBlend = 1.0f;
    irr::f32 LeftLegBlend = 1.0f, RightLegBlend = 1.0f;
    irr::f32 StacheBlend = 0.7f;

private:
    void changeAnimators(irr::scene::ISceneNode* target) const;
    void changeFrames(irr::scene::IAnimatedMeshSceneNode* meshNode, irr::scene::ISceneNode* target) const;
    void applyPlayerBlends() const;

    std::vector<irr::scene::ISceneNode*> targets;
    bool idsPending = false;
};
