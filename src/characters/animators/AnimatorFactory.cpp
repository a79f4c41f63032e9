#include "characters/animators/AnimatorFactory.h"

#include "characters/animators/AppearanceAnimators.h"
#include "characters/animators/BoneAnimators.h"
#include "characters/animators/MovementAnimators.h"
#include "characters/animators/ObjectAnimators.h"
#include "characters/animators/SwimSplineAnimator.h"
#include "core/Globals.h"
#include "physics/objects/RespawnScaleAnimator.h"

#include <cstring>

using namespace irr;

AnimatorFactory::AnimatorFactory(scene::ISceneManager* sceneManager) : manager(sceneManager) {
    if (manager)
        manager->registerSceneNodeAnimatorFactory(this);
}

scene::ISceneNodeAnimator* AnimatorFactory::createSceneNodeAnimator(const c8* typeName, scene::ISceneNode* target) {
    if (typeName && std::strcmp(typeName, RespawnScaleAnimator::typeName) == 0)
        return createSceneNodeAnimator(RespawnScaleAnimator::typeCode(), target);
    return createSceneNodeAnimator(findAnimatorType(typeName), target);
}

scene::ISceneNodeAnimator* AnimatorFactory::createSceneNodeAnimator(scene::ESCENE_NODE_ANIMATOR_TYPE type,
                                                                   scene::ISceneNode* target) {
    const core::vector3df at = target ? target->getPosition() : core::vector3df();
    scene::ISceneNodeAnimator* animator = nullptr;
    switch (static_cast<s32>(type)) {
    case AnimatorType::MoveStraight:
        animator = new MoveStraightAnimator(at, at + core::vector3df(0, 10, 0), 3000, false, false);
        break;
    case AnimatorType::MoveSpline:
        animator = new MoveSplineAnimator({at, core::vector3df(10, 5, 10)}, 0, 1.0f, 0.5f, true);
        break;
    case AnimatorType::AnimateFrame:
        animator = new AnimateFrameAnimator();
        break;
    case AnimatorType::AnimateTexture:
        animator = new AnimateTextureAnimator(target);
        break;
    case AnimatorType::AnimateUVs:
        animator = new AnimateUVsAnimator();
        break;
    case AnimatorType::AnimateColor:
        animator = new AnimateColorAnimator();
        break;
    case AnimatorType::AnimateSpline:
        animator = new AnimateSplineAnimator();
        break;
    case AnimatorType::ParentToObject:
        animator = new ParentToObjectAnimator();
        break;
    case AnimatorType::AttachToMeshBone:
        animator = new AttachToMeshBoneAnimator(manager);
        break;
    case AnimatorType::ControlMeshBone:
        animator = new ControlMeshBoneAnimator(manager, target);
        break;
    case AnimatorType::PhysicsForce:
        animator = new PhysicsForceAnimator(target);
        break;
    case AnimatorType::MoveFlyCircle: {
        const u32 now = gameDevice ? gameDevice->getTimer()->getTime() : 0;
        const f32 speed = 0.001f;
        animator = new FlyCircleAnimator(now + static_cast<u32>((0.017453292f * 360.0f) / speed), at,
                                         core::vector3df(0, 1, 0), 10.0f, speed, 0.0f);
        break;
    }
    case AnimatorType::MoveRotation:
        animator = new MoveRotationAnimator(core::vector3df(0, 0, 0));
        break;
    case AnimatorType::RotateTowards:
        animator = new RotateTowardsAnimator();
        break;
    case AnimatorType::SwimSpline:
        animator = new SwimSplineAnimator(target);
        break;
    default:
        if (type != RespawnScaleAnimator::typeCode())
            return nullptr;
        // A physics object's respawn effect as a written level holds it (the speed and
        // tightness its object gives it).
        animator = new RespawnScaleAnimator(3.0f, 0.5f);
        break;
    }
    if (target)
        target->addAnimator(animator);
    return animator;
}

u32 AnimatorFactory::getCreatableSceneNodeAnimatorTypeCount() const { return AnimatorType::Count; }

scene::ESCENE_NODE_ANIMATOR_TYPE AnimatorFactory::getCreateableSceneNodeAnimatorType(u32 index) const {
    return static_cast<scene::ESCENE_NODE_ANIMATOR_TYPE>(AnimatorType::First + static_cast<s32>(index));
}

const c8* AnimatorFactory::getCreateableSceneNodeAnimatorTypeName(u32 index) const {
    return index < static_cast<u32>(AnimatorType::Count) ? animatorTypeNames[index] : nullptr;
}

const c8* AnimatorFactory::getCreateableSceneNodeAnimatorTypeName(scene::ESCENE_NODE_ANIMATOR_TYPE type) const {
    if (type == RespawnScaleAnimator::typeCode())
        return RespawnScaleAnimator::typeName;
    const s32 id = static_cast<s32>(type);
    if (id >= AnimatorType::First)
        return id < AnimatorType::First + AnimatorType::Count ? animatorTypeNames[id - AnimatorType::First] : nullptr;
    scene::ISceneNodeAnimatorFactory* engine = manager ? manager->getDefaultSceneNodeAnimatorFactory() : nullptr;
    return engine ? engine->getCreateableSceneNodeAnimatorTypeName(type) : nullptr;
}
