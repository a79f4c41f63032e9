#pragma once

#include <irrlicht.h>

// What the compositing of a character's textures reads of the character: four highlight
// weights, the base body texture, an optional overlay, whether its limbs are tinted with
// their controllers' colours, a flash time and its materials (the composed textures go into
// material 0: the body in layer 0, the highlights in layer 3). The player character
// implements it; MeshNodeCharacterTextures serves a plain animated mesh node.
class CharacterTextureSource {
public:
    virtual ~CharacterTextureSource() = default;
    virtual void getHighlightWeights(irr::f32 weights[4]) const = 0;
    virtual irr::video::ITexture* getBodyTexture() const = 0;
    virtual irr::video::ITexture* getOverlayTexture() const = 0;
    virtual bool wantsLimbTint() const = 0;
    // Seconds; negative: no flash.
    virtual irr::f32 getFlashTime() const = 0;
    virtual irr::u32 getMaterialCount() const = 0;
    virtual irr::video::SMaterial& getMaterial(irr::u32 index) = 0;
    // The colour of the controls steering a limb (characterLimb below); false when no
    // controls steer it.
    virtual bool getLimbControlsColour(irr::s32 limb, irr::video::SColor& colour) const = 0;
};

// The compositing source of an animated mesh node: its settings are plain fields.
class MeshNodeCharacterTextures : public CharacterTextureSource {
public:
    explicit MeshNodeCharacterTextures(irr::scene::ISceneNode* node) : node(node) {}
    void getHighlightWeights(irr::f32 weights[4]) const override {
        for (int i = 0; i < 4; ++i)
            weights[i] = highlightWeights[i];
    }
    irr::video::ITexture* getBodyTexture() const override { return bodyTexture; }
    irr::video::ITexture* getOverlayTexture() const override { return overlayTexture; }
    bool wantsLimbTint() const override { return limbTint; }
    irr::f32 getFlashTime() const override { return flashTime; }
    irr::u32 getMaterialCount() const override { return node ? node->getMaterialCount() : 0; }
    irr::video::SMaterial& getMaterial(irr::u32 index) override { return node->getMaterial(index); }
    bool getLimbControlsColour(irr::s32 limb, irr::video::SColor& colour) const override {
        if (limb < 0 || limb > 3 || !limbSteered[limb])
            return false;
        colour = limbColours[limb];
        return true;
    }

    irr::scene::ISceneNode* node;
    irr::f32 highlightWeights[4] = {0, 0, 0, 0};
    irr::video::ITexture* bodyTexture = nullptr;
    irr::video::ITexture* overlayTexture = nullptr;
    bool limbTint = false;
    irr::f32 flashTime = -1.0f;
    bool limbSteered[4] = {false, false, false, false};
    irr::video::SColor limbColours[4];
};

// The four limbs in the order their masks are drawn: right arm, left leg, right leg, left
// arm (the effect handler's limbTextures hold right arm, left arm, right leg, left leg).
namespace characterLimb {
constexpr irr::s32 rightArm = 0;
constexpr irr::s32 leftLeg = 1;
constexpr irr::s32 rightLeg = 2;
constexpr irr::s32 leftArm = 3;
} // namespace characterLimb
