#pragma once

#include "characters/animators/AnimatorBase.h"
#include "characters/animators/MovementAnimators.h"
#include "render/SpriteAnimation.h"

#include <vector>

// Four animators that change how a level object looks: the frame range of a mesh owner's
// animation (once), a sprite animation on a mesh, billboard or particle effect, scrolling
// texture coordinates, and a fade between two colours. All run by the frame stopwatch.

// Picks frame range, looping, speed, blending and a borrowed animation once
// ("animateFrame"). Starts disabled: another frame animator's NextAnimatorID enables it.
class AnimateFrameAnimator : public AnimatorBase {
public:
    enum LoopMode { LoopUnchanged = 0, LoopTrue = 1, LoopFalse = 2 };
    static const char* const loopModeNames[4];

    AnimateFrameAnimator() { Enabled = false; }
    void animateNode(irr::scene::ISceneNode* node, irr::u32 timeMs) override;
    irr::scene::ISceneNodeAnimator* createClone(irr::scene::ISceneNode* node,
                                                irr::scene::ISceneManager* newManager = nullptr) override;
    irr::scene::ESCENE_NODE_ANIMATOR_TYPE getType() const override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    irr::core::stringc useAnimationFrom;
    irr::core::stringc charAnimationName;
    irr::s32 loopMode = LoopUnchanged;
    irr::s32 startFrame = 0, endFrame = 0;
    irr::s32 nextAnimatorID = -1;
    irr::f32 blendTime = 1.0f;
    irr::f32 newFPS = 30.0f;
    bool changeFPS = false;
    bool applied = false;
};

// Plays a sprite animation on the node's texture layer 0 ("animateTexture"): remaps the
// texture coordinates of a mesh owner's private mesh copy, a billboard's corners or a
// particle effect's texture rectangle to the current frame.
class AnimateTextureAnimator : public AnimatorBase {
public:
    explicit AnimateTextureAnimator(irr::scene::ISceneNode* node);
    ~AnimateTextureAnimator() override;
    void animateNode(irr::scene::ISceneNode* node, irr::u32 timeMs) override;
    irr::scene::ISceneNodeAnimator* createClone(irr::scene::ISceneNode* node,
                                                irr::scene::ISceneManager* newManager = nullptr) override;
    irr::scene::ESCENE_NODE_ANIMATOR_TYPE getType() const override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    irr::core::stringc animFilePath;
    SpriteAnimation sprite;
    std::vector<irr::core::vector2df> initialCoords;
    irr::scene::IAnimatedMesh* privateMesh = nullptr;
    irr::f32 framesPerSecond = 30.0f;
    bool loop = true;
    bool resetOnDisable = false;

private:
    void applyToMeshOwner(irr::scene::IAnimatedMeshSceneNode* meshNode, const irr::core::rectf& frame);
};

// Scrolls the texture translation of the node's materials ("animateUVs").
class AnimateUVsAnimator : public AnimatorBase {
public:
    void animateNode(irr::scene::ISceneNode* node, irr::u32 timeMs) override;
    irr::scene::ISceneNodeAnimator* createClone(irr::scene::ISceneNode* node,
                                                irr::scene::ISceneManager* newManager = nullptr) override;
    irr::scene::ESCENE_NODE_ANIMATOR_TYPE getType() const override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    std::vector<irr::core::vector2df> initialTranslations;
    irr::core::vector2df translationSpeed{0.0f, 0.0f};
    bool resetOnDisable = false;
    bool applyToAllMaterials = true;
    irr::s32 materialIndex = 0;
    bool captureInitial = true;
};

// Fades the diffuse colour of the node's materials, or of a light, between two colours
// along a smoothstep ("animateColor").
class AnimateColorAnimator : public AnimatorBase {
public:
    void animateNode(irr::scene::ISceneNode* node, irr::u32 timeMs) override;
    irr::scene::ISceneNodeAnimator* createClone(irr::scene::ISceneNode* node,
                                                irr::scene::ISceneManager* newManager = nullptr) override;
    irr::scene::ESCENE_NODE_ANIMATOR_TYPE getType() const override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    // Sets the colour on the light data of a light and on the materials of the range.
    void applyColor(irr::scene::ISceneNode* node, irr::video::SColor colour) const;

    irr::f32 timeToFade = 3.0f;
    irr::video::SColor startColor{0xFFFFFFFF};
    irr::video::SColor targetColor{0xFFFFFFFF};
    irr::f32 progress = 0.0f;
    irr::f32 direction = 1.0f;
    bool loop = true;
    bool pingPong = false;
    bool resetOnDisable = false;
    bool wasEnabled = true;
    bool applyToAllMaterials = true;
    bool startFromOriginalColor = false;
    irr::s32 materialIndex = 0;
};

// The texture translation of a material (its layer 0 texture matrix's offset).
irr::core::vector2df getTextureTranslation(const irr::video::SMaterial& material);
void setTextureTranslation(irr::video::SMaterial& material, const irr::core::vector2df& translation);
