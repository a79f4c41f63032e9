#include "characters/animators/AnimatorBase.h"

#include "core/Globals.h"
#include "core/Stopwatch.h"
#include "level/LevelManager.h"
#include "level/NodeHelpers.h"
#include "level/SceneNodeTypes.h"
#include "level/SplineObject.h"
#include "level/VariableObject.h"
#include "physics/objects/PhysicsObject.h"
#include "player/PlayerObject.h"

#include <cstring>

using namespace irr;

const char* const animatorTypeNames[AnimatorType::Count + 1] = {
    "moveStraight",  "moveSpline",       "animateFrame",    "animateTexture", "animateUVs",
    "animateColor",  "animateSpline",    "parentToObject",  "attachToMeshBone", "controlMeshBone",
    "physicsForce",  "moveFlyCircle",    "moveRotation",    "rotateTowards",  "swimSpline",
    nullptr};

s32 findAnimatorType(const char* name) {
    if (!name)
        return AnimatorType::Unknown;
    for (s32 i = 0; animatorTypeNames[i]; ++i)
        if (std::strcmp(animatorTypeNames[i], name) == 0)
            return AnimatorType::First + i;
    return AnimatorType::Unknown;
}

void AnimatorBase::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions*) const {
    out->addInt("ID", ID);
    out->addBool("Enabled", Enabled);
    out->addBool("Reversed", Reversed);
}

void AnimatorBase::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions*) {
    ID = in->getAttributeAsInt("ID");
    Enabled = in->getAttributeAsBool("Enabled");
    if (in->existsAttribute("Reversed"))
        Reversed = in->getAttributeAsBool("Reversed");
}

void AnimatorBase::writeEditorFlag(io::IAttributes* out) const { out->addBool("EnabledInEditor", EnabledInEditor); }

void AnimatorBase::readEditorFlag(io::IAttributes* in) {
    if (in->existsAttribute("EnabledInEditor"))
        EnabledInEditor = in->getAttributeAsBool("EnabledInEditor");
}

void AnimatorBase::copyAttributesInto(AnimatorBase* fresh, scene::ISceneManager* manager) const {
    io::IFileSystem* files = manager ? manager->getFileSystem() : nullptr;
    if (!files && gameDevice)
        files = gameDevice->getFileSystem();
    if (!fresh || !files)
        return;
    io::IAttributes* attributes = files->createEmptyAttributes(nullptr);
    serializeAttributes(attributes);
    fresh->deserializeAttributes(attributes);
    attributes->drop();
}

AnimatorBase* asGameAnimator(scene::ISceneNodeAnimator* animator) {
    if (!animator)
        return nullptr;
    const s32 type = animator->getType();
    if (type < AnimatorType::First || type >= AnimatorType::First + AnimatorType::Count)
        return nullptr;
    return static_cast<AnimatorBase*>(animator);
}

std::vector<AnimatorBase*> findAnimatorsByID(scene::ISceneNode* node, s32 id) {
    std::vector<AnimatorBase*> found;
    if (!node)
        return found;
    for (scene::ISceneNodeAnimator* engineAnimator : node->getAnimators())
        if (AnimatorBase* animator = asGameAnimator(engineAnimator); animator && animator->getID() == id)
            found.push_back(animator);
    return found;
}

void enableAnimatorsByID(scene::ISceneNode* node, s32 id) {
    for (AnimatorBase* animator : findAnimatorsByID(node, id))
        animator->setEnabled(true);
}

f32 animatorFrameSeconds() { return frameStopwatch ? frameStopwatch->delta() : 0.0f; }

scene::ISceneNode* findAnimatorObject(s32 id) {
    if (!levelManager || id == 0 || id == -1)
        return nullptr;
    return levelManager->getSceneNodeFromID(id);
}

SplineObject* findSplineObject(s32 id) {
    scene::ISceneNode* node = findAnimatorObject(id);
    return node && node->getType() == typeId("slne") ? static_cast<SplineObject*>(node) : nullptr;
}

VariableObject* findVariableObject(s32 id) {
    scene::ISceneNode* node = findAnimatorObject(id);
    return node && node->getType() == typeId("vble") ? static_cast<VariableObject*>(node) : nullptr;
}

bool isMeshOwner(scene::ISceneNode* node) {
    if (!node)
        return false;
    const scene::ESCENE_NODE_TYPE type = node->getType();
    return type == typeId("phsx") || type == typeId("apsx") || type == typeId("ties") || type == typeId("crct");
}

scene::IAnimatedMeshSceneNode* ownerMeshNode(scene::ISceneNode* node) {
    if (isMeshOwner(node)) {
        PhysicsObject* object = asPhysicsObject(node);
        return object ? object->getMeshNode() : nullptr;
    }
    if (node && node->getType() == typeId("plr1"))
        return static_cast<PlayerObject*>(node)->getMeshNode();
    return nullptr;
}

PlayerObject* firstPlayer() { return playerCount() > 0 ? getPlayer(0) : nullptr; }
