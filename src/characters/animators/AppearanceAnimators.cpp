#include "characters/animators/AppearanceAnimators.h"

#include "characters/CharacterObject.h"
#include "characters/CharacterProfile.h"
#include "core/ProgramQueries.h"
#include "level/AttributeExtras.h"
#include "level/MeshGate.h"
#include "level/SceneNodeTypes.h"
#include "physics/objects/PhysicsObject.h"
#include "render/BillboardObject.h"
#include "render/ParticleObject.h"
#include "render/ParticleSystemNode.h"
#include "render/SpriteAnimation.h"

#include <cmath>
#include <cstring>
#include <string>
#include <utility>

using namespace irr;

core::vector2df getTextureTranslation(const video::SMaterial& material) {
    const core::matrix4& m = material.getTextureMatrix(0);
    return core::vector2df(m[8], m[9]);
}

void setTextureTranslation(video::SMaterial& material, const core::vector2df& translation) {
    core::matrix4 m = material.getTextureMatrix(0);
    m.setTextureTranslate(translation.X, translation.Y);
    material.setTextureMatrix(0, m);
}

namespace {

// The materials [first, end) an animator changes: every one, or the one of the level's index
// (none when the node has no such material). Nothing is added to the index itself, which a
// level may give as the largest integer.
std::pair<u32, u32> animatedMaterials(scene::ISceneNode* node, bool all, s32 index) {
    const u32 count = node->getMaterialCount();
    if (all)
        return {0, count};
    if (index < 0 || static_cast<u32>(index) >= count)
        return {0, 0};
    return {static_cast<u32>(index), static_cast<u32>(index) + 1};
}

} // namespace

// --- animateFrame -------------------------------------------------------------------------

const char* const AnimateFrameAnimator::loopModeNames[4] = {"Unchanged", "True", "False", nullptr};

scene::ESCENE_NODE_ANIMATOR_TYPE AnimateFrameAnimator::getType() const {
    return static_cast<scene::ESCENE_NODE_ANIMATOR_TYPE>(AnimatorType::AnimateFrame);
}

void AnimateFrameAnimator::animateNode(scene::ISceneNode* node, u32) {
    if (!node || !Enabled || applied)
        return;
    if (isMeshOwner(node)) {
        PhysicsObject* owner = asPhysicsObject(node);
        if (getID() != -1 && getID() != 0)
            owner->mesh().currentFrameAnimatorID = getID();
        // The owner enables the animators with this ID when its mesh animation ends.
        owner->mesh().pendingAnimatorID = nextAnimatorID;
        scene::IAnimatedMeshSceneNode* meshNode = owner->getMeshNode();
        if (meshNode) {
            if (useAnimationFrom.size() >= 2) {
                scene::IAnimatedMesh* source = getGameMesh(meshNode->getSceneManager(), useAnimationFrom);
                scene::IAnimatedMesh* current = meshNode->getMesh();
                if (source && current && source->getMeshType() == scene::EAMT_SKINNED &&
                    current->getMeshType() == scene::EAMT_SKINNED)
                    static_cast<scene::ISkinnedMesh*>(current)->useAnimationFrom(
                        static_cast<scene::ISkinnedMesh*>(source));
            }
            meshNode->setTransitionTime(blendTime + 0.001f);
            if (blendTime == 0.0f)
                meshNode->setJointMode(scene::EJUOR_NONE);
            if (loopMode == LoopTrue)
                meshNode->setLoopMode(true);
            else if (loopMode == LoopFalse)
                meshNode->setLoopMode(false);
            if (changeFPS)
                meshNode->setAnimationSpeed(newFPS);
            const CharacterObject* character = asCharacter(node);
            const CharacterProfile* profile = character ? character->getProfile() : nullptr;
            if (profile && charAnimationName.size() >= 2) {
                const auto range = profile->findAnimation(charAnimationName.c_str());
                if (range.second != 0)
                    meshNode->setFrameLoop(range.first, range.second);
            } else if (endFrame != 0) {
                meshNode->setFrameLoop(startFrame, endFrame);
            }
        }
    }
    if (isSimulationRunning())
        Enabled = false;
    else
        applied = true;
}

scene::ISceneNodeAnimator* AnimateFrameAnimator::createClone(scene::ISceneNode*, scene::ISceneManager* manager) {
    return cloneInto(new AnimateFrameAnimator(), manager);
}

void AnimateFrameAnimator::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    AnimatorBase::serializeAttributes(out, options);
    writeEditorFlag(out);
    out->addEnum("LoopFrames", loopMode, loopModeNames);
    addFilePath(out, "UseAnimationFrom", useAnimationFrom.c_str());
    out->addString("CharAnimationName", charAnimationName.c_str());
    out->addInt("StartFrame", startFrame);
    out->addInt("EndFrame", endFrame);
    out->addFloat("BlendTime", blendTime);
    out->addBool("ChangeFPS", changeFPS);
    if (changeFPS)
        out->addFloat("NewFPS", newFPS);
    out->addInt("NextAnimatorID", nextAnimatorID);
}

void AnimateFrameAnimator::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    AnimatorBase::deserializeAttributes(in, options);
    readEditorFlag(in);
    readEnumIfPresent(in, "LoopFrames", loopModeNames, loopMode);
    readIfPresent(in, "UseAnimationFrom", useAnimationFrom);
    readIfPresent(in, "CharAnimationName", charAnimationName);
    readIfPresent(in, "StartFrame", startFrame);
    readIfPresent(in, "EndFrame", endFrame);
    readIfPresent(in, "BlendTime", blendTime);
    readIfPresent(in, "ChangeFPS", changeFPS);
    readIfPresent(in, "NewFPS", newFPS);
    readIfPresent(in, "NextAnimatorID", nextAnimatorID);
    applied = false;
}

// --- animateTexture -----------------------------------------------------------------------

AnimateTextureAnimator::AnimateTextureAnimator(scene::ISceneNode* node) { animateNode(node, 0); }

AnimateTextureAnimator::~AnimateTextureAnimator() {
    if (privateMesh)
        privateMesh->drop();
}

scene::ESCENE_NODE_ANIMATOR_TYPE AnimateTextureAnimator::getType() const {
    return static_cast<scene::ESCENE_NODE_ANIMATOR_TYPE>(AnimatorType::AnimateTexture);
}

void AnimateTextureAnimator::applyToMeshOwner(scene::IAnimatedMeshSceneNode* meshNode, const core::rectf& frame) {
    if (!privateMesh) {
        scene::IAnimatedMesh* own = meshNode->getMesh();
        if (!own)
            return;
        scene::IMeshManipulator* manipulator = meshNode->getSceneManager()->getMeshManipulator();
        scene::SMesh* copy = manipulator->createMeshCopy(own);
        privateMesh = manipulator->createAnimatedMesh(copy, scene::EAMT_UNKNOWN);
        copy->drop();
        if (own->getMeshBufferCount() > 0) {
            scene::IMeshBuffer* buffer = own->getMeshBuffer(0);
            for (u32 i = 0; i < buffer->getVertexCount(); ++i)
                initialCoords.push_back(buffer->getTCoords(i));
        }
        meshNode->setMesh(privateMesh);
    }
    for (u32 m = 0; m < meshNode->getMaterialCount(); ++m)
        meshNode->getMaterial(m).setTexture(0, sprite.texture);
    if (privateMesh->getMeshBufferCount() == 0)
        return;
    scene::IMeshBuffer* buffer = privateMesh->getMeshBuffer(0);
    const u32 count = core::min_(buffer->getVertexCount(), static_cast<u32>(initialCoords.size()));
    for (u32 i = 0; i < count; ++i) {
        const core::vector2df& uv = initialCoords[i];
        // V runs bottom-up: v = 0 lands on the frame's bottom edge.
        buffer->getTCoords(i).set(frame.UpperLeftCorner.X + (frame.LowerRightCorner.X - frame.UpperLeftCorner.X) * uv.X,
                                  frame.LowerRightCorner.Y + (frame.UpperLeftCorner.Y - frame.LowerRightCorner.Y) * uv.Y);
    }
    privateMesh->setDirty(scene::EBT_VERTEX_AND_INDEX);
}

void AnimateTextureAnimator::animateNode(scene::ISceneNode* node, u32) {
    if (!Enabled) {
        if (resetOnDisable)
            sprite.time = 0.0f;
        else
            sprite.playing = false;
        return;
    }
    sprite.playing = true;
    if (!node)
        return;
    sprite.update(animatorFrameSeconds());
    const core::rectf frame = sprite.getFrameUVRect();
    const f32 left = frame.UpperLeftCorner.X, top = frame.UpperLeftCorner.Y;
    const f32 right = frame.LowerRightCorner.X, bottom = frame.LowerRightCorner.Y;
    if (isMeshOwner(node)) {
        if (scene::IAnimatedMeshSceneNode* meshNode = ownerMeshNode(node))
            applyToMeshOwner(meshNode, frame);
        return;
    }
    const scene::ESCENE_NODE_TYPE type = node->getType();
    if (type == typeId("bill")) {
        for (u32 m = 0; m < node->getMaterialCount(); ++m)
            node->getMaterial(m).setTexture(0, sprite.texture);
        // The billboard's corners are its own array, exposed read-only; the animator is
        // the one writer of their texture coordinates.
        video::S3DVertex* corners = const_cast<video::S3DVertex*>(static_cast<BillboardObject*>(node)->getVertices());
        corners[0].TCoords.set(right, bottom);
        corners[1].TCoords.set(right, top);
        corners[2].TCoords.set(left, top);
        corners[3].TCoords.set(left, bottom);
    } else if (type == typeId("ptc1")) {
        for (u32 m = 0; m < node->getMaterialCount(); ++m)
            node->getMaterial(m).setTexture(0, sprite.texture);
        if (ParticleSystemNode* particles = static_cast<ParticleObject*>(node)->getParticleNode())
            particles->TextureRect = frame;
    }
}

scene::ISceneNodeAnimator* AnimateTextureAnimator::createClone(scene::ISceneNode* node, scene::ISceneManager* manager) {
    return cloneInto(new AnimateTextureAnimator(node), manager);
}

void AnimateTextureAnimator::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    AnimatorBase::serializeAttributes(out, options);
    addFilePath(out, "AnimFilePath", animFilePath.c_str());
    out->addFloat("FramesPerSecond", framesPerSecond);
    out->addBool("Loop", loop);
    out->addBool("ResetOnDisable", resetOnDisable);
}

void AnimateTextureAnimator::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    AnimatorBase::deserializeAttributes(in, options);
    if (!readIfPresent(in, "AnimFilePath", animFilePath))
        animFilePath = "";
    framesPerSecond = in->getAttributeAsFloat("FramesPerSecond");
    loop = in->getAttributeAsBool("Loop");
    resetOnDisable = in->getAttributeAsBool("ResetOnDisable");
    if (animFilePath.size() == 0)
        return;
    getSpriteAnimation(sprite, animFilePath);
    sprite.setFramesPerSecond(framesPerSecond, animFilePath.c_str(), "FramesPerSecond");
    sprite.reversed = Reversed;
    sprite.looping = loop;
}

// --- animateUVs ---------------------------------------------------------------------------

scene::ESCENE_NODE_ANIMATOR_TYPE AnimateUVsAnimator::getType() const {
    return static_cast<scene::ESCENE_NODE_ANIMATOR_TYPE>(AnimatorType::AnimateUVs);
}

void AnimateUVsAnimator::animateNode(scene::ISceneNode* node, u32) {
    if (!Enabled) {
        if (resetOnDisable && node) {
            const u32 count = core::min_(node->getMaterialCount(), static_cast<u32>(initialTranslations.size()));
            for (u32 i = 0; i < count; ++i)
                setTextureTranslation(node->getMaterial(i), initialTranslations[i]);
        }
        return;
    }
    if (!node)
        return;
    if (captureInitial) {
        for (u32 i = 0; i < node->getMaterialCount(); ++i)
            initialTranslations.push_back(getTextureTranslation(node->getMaterial(i)));
        captureInitial = false;
    }
    const auto [first, end] = animatedMaterials(node, applyToAllMaterials, materialIndex);
    if (std::fabs(translationSpeed.X) <= 0.000001f && std::fabs(translationSpeed.Y) <= 0.000001f)
        return;
    const f32 dt = animatorFrameSeconds();
    for (u32 i = first; i < end; ++i) {
        video::SMaterial& material = node->getMaterial(i);
        core::vector2df t = getTextureTranslation(material) + translationSpeed * dt;
        // At most ten unit steps a material and frame, over the four passes together.
        int steps = 0;
        while (t.X > 1.0f && steps < 10) { t.X -= 1.0f; ++steps; }
        while (t.X < 0.0f && steps < 10) { t.X += 1.0f; ++steps; }
        while (t.Y > 1.0f && steps < 10) { t.Y -= 1.0f; ++steps; }
        while (t.Y < 0.0f && steps < 10) { t.Y += 1.0f; ++steps; }
        setTextureTranslation(material, t);
    }
}

scene::ISceneNodeAnimator* AnimateUVsAnimator::createClone(scene::ISceneNode*, scene::ISceneManager* manager) {
    return cloneInto(new AnimateUVsAnimator(), manager);
}

void AnimateUVsAnimator::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    AnimatorBase::serializeAttributes(out, options);
    writeEditorFlag(out);
    out->addVector2d("TranslationSpeed", translationSpeed);
    out->addBool("ApplyToAllMaterials", applyToAllMaterials);
    if (!applyToAllMaterials)
        out->addInt("MaterialIndex", materialIndex);
    out->addBool("ResetOnDisable", resetOnDisable);
}

void AnimateUVsAnimator::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    AnimatorBase::deserializeAttributes(in, options);
    readEditorFlag(in);
    translationSpeed = in->getAttributeAsVector2d("TranslationSpeed");
    applyToAllMaterials = in->getAttributeAsBool("ApplyToAllMaterials");
    materialIndex = in->getAttributeAsInt("MaterialIndex");
    resetOnDisable = in->getAttributeAsBool("ResetOnDisable");
}

// --- animateColor -------------------------------------------------------------------------

scene::ESCENE_NODE_ANIMATOR_TYPE AnimateColorAnimator::getType() const {
    return static_cast<scene::ESCENE_NODE_ANIMATOR_TYPE>(AnimatorType::AnimateColor);
}

void AnimateColorAnimator::applyColor(scene::ISceneNode* node, video::SColor colour) const {
    if (!node)
        return;
    if (node->getType() == scene::ESNT_LIGHT)
        static_cast<scene::ILightSceneNode*>(node)->getLightData().DiffuseColor = video::SColorf(colour);
    // A single index beyond the materials names none: nothing to colour.
    const auto [first, end] = animatedMaterials(node, applyToAllMaterials, materialIndex);
    for (u32 i = first; i < end; ++i)
        node->getMaterial(i).DiffuseColor = colour;
}

void AnimateColorAnimator::animateNode(scene::ISceneNode* node, u32) {
    if (!Enabled && resetOnDisable) {
        progress = 0.0f;
        direction = 1.0f;
    }
    if (!isSimulationRunning() && !Enabled) {
        progress = 0.0f;
        direction = 1.0f;
        if (wasEnabled)
            applyColor(node, startColor);
        wasEnabled = Enabled;
        return;
    }
    if (!node || !Enabled) {
        wasEnabled = Enabled;
        return;
    }
    if (progress == 0.0f && startFromOriginalColor) {
        if (node->getType() == scene::ESNT_LIGHT) {
            startColor = static_cast<scene::ILightSceneNode*>(node)->getLightData().DiffuseColor.toSColor();
        } else {
            const u32 index = applyToAllMaterials ? 0 : static_cast<u32>(materialIndex);
            if (index < node->getMaterialCount())
                startColor = video::SColorf(node->getMaterial(index).DiffuseColor).toSColor();
        }
    }
    if (timeToFade == 0.0f)
        timeToFade = 0.0001f;
    f32 step = animatorFrameSeconds() / timeToFade * direction;
    if (Reversed)
        step = -step;
    progress += step;
    wrapProgress(progress, direction, loop, pingPong);
    const f32 s = 3.0f * progress * progress - 2.0f * progress * progress * progress;
    auto channel = [s](u32 from, u32 to) {
        return static_cast<u32>(std::floor(from + (static_cast<f32>(to) - static_cast<f32>(from)) * s + 0.5f));
    };
    const video::SColor colour(channel(startColor.getAlpha(), targetColor.getAlpha()),
                               channel(startColor.getRed(), targetColor.getRed()),
                               channel(startColor.getGreen(), targetColor.getGreen()),
                               channel(startColor.getBlue(), targetColor.getBlue()));
    applyColor(node, colour);
    wasEnabled = Enabled;
}

scene::ISceneNodeAnimator* AnimateColorAnimator::createClone(scene::ISceneNode*, scene::ISceneManager* manager) {
    return cloneInto(new AnimateColorAnimator(), manager);
}

void AnimateColorAnimator::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    AnimatorBase::serializeAttributes(out, options);
    writeEditorFlag(out);
    out->addFloat("TimeToFade", timeToFade);
    out->addBool("StartFromOriginalColor", startFromOriginalColor);
    if (!startFromOriginalColor)
        out->addColor("OriginalColor", startColor);
    out->addColor("TargetColor", targetColor);
    out->addBool("ApplyToAllMaterials", applyToAllMaterials);
    if (!applyToAllMaterials)
        out->addInt("MaterialIndex", materialIndex);
    out->addBool("Loop", loop);
    out->addBool("PingPong", pingPong);
    out->addBool("ResetOnDisable", resetOnDisable);
}

void AnimateColorAnimator::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    AnimatorBase::deserializeAttributes(in, options);
    readEditorFlag(in);
    timeToFade = in->getAttributeAsFloat("TimeToFade");
    startFromOriginalColor = in->getAttributeAsBool("StartFromOriginalColor");
    if (in->existsAttribute("OriginalColor"))
        startColor = in->getAttributeAsColor("OriginalColor");
    targetColor = in->getAttributeAsColor("TargetColor");
    applyToAllMaterials = in->getAttributeAsBool("ApplyToAllMaterials");
    materialIndex = in->getAttributeAsInt("MaterialIndex");
    loop = in->getAttributeAsBool("Loop");
    pingPong = in->getAttributeAsBool("PingPong");
    resetOnDisable = in->getAttributeAsBool("ResetOnDisable");
}
