#include "triggers/actions/ChangeAnimationAction.h"

#include "characters/CharacterObject.h"
#include "characters/CharacterProfile.h"
#include "characters/animators/AnimatorBase.h"
#include "characters/animators/AppearanceAnimators.h"
#include "core/Globals.h"
#include "core/Log.h"
#include "level/AttributeExtras.h"
#include "level/MeshGate.h"
#include "level/NodeHelpers.h"
#include "physics/objects/PhysicsObject.h"
#include "player/PlayerObject.h"
#include "triggers/actions/ActionSupport.h"
#include "triggers/actions/TriggerControlActions.h"
#include "triggers/actions/TentaroControlActions.h"

#include <string>


using namespace irr;

const char* const ChangeAnimationAction::animationTypeNames[4] = {"Animator", "Frame Change", "Texture Animator",
                                                                   nullptr};

namespace {

// One body part's own blend: its flag and value (fields and keys) and its part number.
struct SeparateBlend {
    bool ChangeAnimationAction::*flag;
    f32 ChangeAnimationAction::*blend;
    const char* flagKey;
    const char* blendKey;
    s32 part;
};
// Moustache first: the order of the file and of the player's blends.
using AnimationChange = ChangeAnimationAction;
constexpr SeparateBlend separateBlends[] = {
    {&AnimationChange::IsStacheSeparate, &AnimationChange::StacheBlend, "IsStacheSeparate", "StacheBlend", BodyPart::Stache},
    {&AnimationChange::IsTorsoSeparate, &AnimationChange::TorsoBlend, "IsTorsoSeparate", "TorsoBlend", BodyPart::Torso},
    {&AnimationChange::IsLeftArmSeparate, &AnimationChange::LeftArmBlend, "IsLeftArmSeparate", "LeftArmBlend", BodyPart::LeftArm},
    {&AnimationChange::IsRightArmSeparate, &AnimationChange::RightArmBlend, "IsRightArmSeparate", "RightArmBlend", BodyPart::RightArm},
    {&AnimationChange::IsLeftLegSeparate, &AnimationChange::LeftLegBlend, "IsLeftLegSeparate", "LeftLegBlend", BodyPart::LeftLeg},
    {&AnimationChange::IsRightLegSeparate, &AnimationChange::RightLegBlend, "IsRightLegSeparate", "RightLegBlend", BodyPart::RightLeg},
};

// The animated mesh node a target shows: an engine animated-mesh node itself, a physics
// kind's mesh node, else null.
scene::IAnimatedMeshSceneNode* animatedMeshOf(scene::ISceneNode* target) {
    if (!target)
        return nullptr;
    if (target->getType() == scene::ESNT_ANIMATED_MESH)
        return static_cast<scene::IAnimatedMeshSceneNode*>(target);
    if (PhysicsObject* object = triggerActions::physicsKind(target))
        return object->getMeshNode();
    return nullptr;
}

} // namespace

void ChangeAnimationAction::resolveTargets() {
    if (idsPending && targets.empty() && !AnimatedObjectIDs.empty())
        triggerActions::appendExpressionTargets(AnimatedObjectIDs, targets);
    idsPending = false;
}

void ChangeAnimationAction::execute(TriggerEventInfo& event) {
    logStep();
    resolveTargets();
    if (IsTentaro)
        if (PlayerObject* player = getPlayer(0)) {
            applyToNode(event, player);
            return;
        }
    // What a change does may not reach back into the list, but copy it all the same.
    const std::vector<scene::ISceneNode*> list = targets;
    for (scene::ISceneNode* target : list)
        applyToNode(event, target);
}

void ChangeAnimationAction::applyToNode(TriggerEventInfo& event, scene::ISceneNode* target) {
    PlayerObject* player = IsTentaro ? getPlayer(0) : nullptr;
    scene::IAnimatedMeshSceneNode* meshNode = player ? player->getMeshNode() : animatedMeshOf(target);
    // The object that set the trigger off takes the target's place; the mesh stays.
    if (event.object)
        target = event.object;
    if ((AnimationType == typeAnimator || AnimationType == typeTextureAnimator) && target)
        changeAnimators(target);
    if (!meshNode && target) {
        if (target->getType() == scene::ESNT_ANIMATED_MESH && AnimationType == typeFrameChange)
            meshNode = static_cast<scene::IAnimatedMeshSceneNode*>(target);
        else if (PhysicsObject* object = triggerActions::physicsKind(target))
            meshNode = object->getMeshNode();
    }
    if (meshNode && AnimationType == typeFrameChange)
        changeFrames(meshNode, target);
    if (player)
        applyPlayerBlends();
}

void ChangeAnimationAction::changeAnimators(scene::ISceneNode* target) const {
    const std::vector<AnimatorBase*> matching = findAnimatorsByID(target, AnimatorID);
    for (AnimatorBase* animator : matching) {
        if (AnimationType == typeAnimator) {
            if (animator->isEnabled() != AnimatorEnabled) {
                animator->setEnabled(AnimatorEnabled);
                animator->animateNode(target, gameDevice ? gameDevice->getTimer()->getTime() : 0);
            }
            if (ReverseAnimation != TriState::Unchanged)
                animator->setReversed(ReverseAnimation == TriState::True);
        } else if (animator->getType() == AnimatorType::AnimateTexture) {
            SpriteAnimation& sprite = static_cast<AnimateTextureAnimator*>(animator)->sprite;
            sprite.first = StartFrame;
            sprite.last = EndFrame;
            const f32 perFrame = sprite.frameTime == 0.0f ? 1e-7f : sprite.frameTime;
            // Frames a level gives may lie at both ends of the integers.
            sprite.duration = static_cast<f32>(static_cast<s64>(EndFrame) - StartFrame + 1) * perFrame;
        }
    }
    if (matching.empty())
        logMessagePair(("Could not find animator ID: " + std::to_string(AnimatorID) + " in ").c_str(),
                       getNodeDisplayName(target).c_str());
}

void ChangeAnimationAction::changeFrames(scene::IAnimatedMeshSceneNode* meshNode, scene::ISceneNode* target) const {
    if (UseAnimationFrom.size() >= 2 && gameDevice) {
        scene::IAnimatedMesh* source = getGameMesh(gameDevice->getSceneManager(), UseAnimationFrom);
        scene::IAnimatedMesh* own = meshNode->getMesh();
        if (source && own && source->getMeshType() == scene::EAMT_SKINNED && own->getMeshType() == scene::EAMT_SKINNED)
            static_cast<scene::ISkinnedMesh*>(own)->useAnimationFrom(static_cast<scene::ISkinnedMesh*>(source));
    }
    CharacterProfile* profile = target && target->getType() == typeId("crct")
                                    ? static_cast<CharacterObject*>(target)->getProfile()
                                    : nullptr;
    if (profile && CharAnimationName.size() >= 2) {
        const std::pair<s32, s32> range = profile->findAnimation(CharAnimationName.c_str());
        if (range.second != 0)
            meshNode->setFrameLoop(range.first, range.second);
    } else {
        if (IsTentaro)
            if (PlayerObject* player = getPlayer(0))
                player->setAnimationFrameRange(StartFrame, EndFrame);
        if (EndFrame != 0)
            meshNode->setFrameLoop(StartFrame, EndFrame);
    }
    meshNode->setTransitionTime(BlendTime + 0.001f);
    if (BlendTime == 0.0f)
        meshNode->setJointMode(scene::EJUOR_NONE);
    if (LoopFrames == TriState::True)
        meshNode->setLoopMode(true);
    else if (LoopFrames == TriState::False)
        meshNode->setLoopMode(false);
    if (ChangeFPS)
        meshNode->setAnimationSpeed(NewFPS);
}

void ChangeAnimationAction::applyPlayerBlends() const {
    PlayerObject* player = getPlayer(0);
    if (!player)
        return;
    player->setAnimationBlend(BodyBlend, PhysicsBlendTime, BodyPart::WholeBody);
    for (const SeparateBlend& part : separateBlends)
        if (this->*part.flag)
            player->setAnimationBlend(this->*part.blend, PhysicsBlendTime, part.part);
}

void ChangeAnimationAction::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions*) const {
    triggerActions::addEnumByIndex(out, "AnimationType", AnimationType, animationTypeNames);
    addObjectIDList(out, "AnimatedObjectIDs", AnimatedObjectIDs.c_str());
    if (AnimationType == typeFrameChange) {
        addFilePath(out, "UseAnimationFrom", UseAnimationFrom.c_str());
        addFilePath(out, "CharAnimationName", CharAnimationName.c_str());
        out->addInt("StartFrame", StartFrame);
        out->addInt("EndFrame", EndFrame);
        out->addFloat("BlendTime", BlendTime);
        triggerActions::addEnumByIndex(out, "LoopFrames", LoopFrames, actionTriStateNames);
        out->addBool("ChangeFPS", ChangeFPS);
        if (ChangeFPS)
            out->addFloat("NewFPS", NewFPS);
        out->addBool("IsTentaro", IsTentaro);
        if (IsTentaro) {
            out->addFloat("PhysicsBlendTime", PhysicsBlendTime);
            out->addFloat("BodyBlend", BodyBlend);
            for (const SeparateBlend& part : separateBlends) {
                out->addBool(part.flagKey, this->*part.flag);
                if (this->*part.flag)
                    out->addFloat(part.blendKey, this->*part.blend);
            }
        }
    } else if (AnimationType == typeAnimator) {
        out->addInt("AnimatorID", AnimatorID);
        out->addBool("AnimatorEnabled", AnimatorEnabled);
        triggerActions::addEnumByIndex(out, "ReverseAnimation", ReverseAnimation, actionTriStateNames);
    } else if (AnimationType == typeTextureAnimator) {
        out->addInt("AnimatorID", AnimatorID);
        out->addInt("StartFrame", StartFrame);
        out->addInt("EndFrame", EndFrame);
    }
}

void ChangeAnimationAction::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions*) {
    triggerActions::readKnownEnum(in, "AnimationType", animationTypeNames, AnimationType);
    s32 olderID = 0;
    if (readIfPresent(in, "AnimatedObjectID", olderID)) {
        // Object IDs are positive; the expression text has no spelling for a negative one.
        if (olderID < 0) {
            logMessage(std::string(logWarningPrefix) + getName() + ": AnimatedObjectID " + std::to_string(olderID) +
                       " is not an object ID; the action names no object.");
            olderID = 0;
        }
        AnimatedObjectIDs = std::to_string(olderID).c_str();
    }
    readIfPresent(in, "AnimatedObjectIDs", AnimatedObjectIDs);
    idsPending = isNameSet(AnimatedObjectIDs);
    targets.clear();
    targets.shrink_to_fit();
    if (AnimationType == typeFrameChange) {
        readIfPresent(in, "UseAnimationFrom", UseAnimationFrom);
        readIfPresent(in, "CharAnimationName", CharAnimationName);
        readIfPresent(in, "StartFrame", StartFrame);
        readIfPresent(in, "EndFrame", EndFrame);
        readIfPresent(in, "BlendTime", BlendTime);
        triggerActions::readKnownEnum(in, "LoopFrames", actionTriStateNames, LoopFrames);
        readIfPresent(in, "ChangeFPS", ChangeFPS);
        readIfPresent(in, "NewFPS", NewFPS);
        readIfPresent(in, "IsTentaro", IsTentaro);
        if (IsTentaro) {
            readIfPresent(in, "BodyBlend", BodyBlend);
            readIfPresent(in, "PhysicsBlendTime", PhysicsBlendTime);
            for (const SeparateBlend& part : separateBlends) {
                readIfPresent(in, part.flagKey, this->*part.flag);
                if (this->*part.flag)
                    readIfPresent(in, part.blendKey, this->*part.blend);
            }
        }
    } else if (AnimationType == typeAnimator) {
        readIfPresent(in, "AnimatorID", AnimatorID);
        readIfPresent(in, "AnimatorEnabled", AnimatorEnabled);
        triggerActions::readKnownEnum(in, "ReverseAnimation", actionTriStateNames, ReverseAnimation);
    } else if (AnimationType == typeTextureAnimator) {
        readIfPresent(in, "AnimatorID", AnimatorID);
        readIfPresent(in, "StartFrame", StartFrame);
        readIfPresent(in, "EndFrame", EndFrame);
    }
}

TriggerAction* ChangeAnimationAction::clone(TriggerObject* newTrigger) const {
    auto* copy = new ChangeAnimationAction(newTrigger);
    copyAttributes(this, copy);
    return copy;
}
