#pragma once

#include <IGUIImage.h>
#include <IReferenceCounted.h>
#include <SColor.h>
#include <irrString.h>
#include <path.h>

#include <memory>
#include <vector>

class SpriteAnimation;

// An effect attached to an image, run every frame until it reports that it is finished.
class GUIImageEffect : public virtual irr::IReferenceCounted {
public:
    virtual void update(irr::gui::IGUIElement* element, irr::u32 timeMs) = 0;
    virtual bool isFinished() const = 0;
};

// The image element on which buttons, option rows, HUD pieces and decorations are built: a
// texture or one frame of a sprite animation, tinted by a colour, scaled to its rectangle,
// tiled at pixel scale or at its natural size.
class GUIImage : public irr::gui::IGUIImage {
public:
    GUIImage(irr::gui::IGUIEnvironment* environment, irr::gui::IGUIElement* parent, irr::s32 id,
             const irr::core::rect<irr::s32>& rectangle);
    ~GUIImage() override;

    // --- IGUIElement ---
    void draw() override;
    void OnPostRender(irr::u32 timeMs) override;
    void setVisible(bool visible) override;
    const irr::c8* getTypeName() const override { return "GUIImage"; }
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    // --- IGUIImage ---
    void setImage(irr::video::ITexture* image) override;
    irr::video::ITexture* getImage() const override { return Texture; }
    void setColor(irr::video::SColor color) override { Color = color; }
    void setScaleImage(bool scale) override { ScaleImage = scale; }
    void setUseAlphaChannel(bool use) override { UseAlphaChannel = use; }
    irr::video::SColor getColor() const override { return Color; }
    bool isImageScaled() const override { return ScaleImage; }
    bool isAlphaChannelUsed() const override { return UseAlphaChannel; }

    // --- own ---
    virtual void setSpriteAnimation(const SpriteAnimation& animation);
    virtual void setTextureAnimPath(const irr::core::stringc& path);
    // Draws the pixel rectangle as a screen quad with the material the caller has set; only
    // when the gate is not null.
    virtual void drawScreenQuad(const void* gate, const irr::core::recti& rect);
    virtual void setDrawnByOwner(bool drawnByOwner) { DrawnByOwner = drawnByOwner; }
    // Called when the sprite animation finishes a run.
    virtual void onAnimationFinished() {}

    // Attaches an effect (the image holds one reference until the effect finishes).
    void addEffect(GUIImageEffect* effect);
    std::size_t getEffectCount() const { return Effects.size(); }
    SpriteAnimation* getSpriteAnimation() const { return SpriteAnim.get(); }
    const irr::core::stringc& getTexturePath() const { return TexturePath; }
    void setTexturePath(const irr::core::stringc& path) { TexturePath = path; }
    const irr::core::stringc& getTextureAnimPath() const { return TextureAnimPath; }
    bool getTileImage() const { return TileImage; }
    void setTileImage(bool tile) { TileImage = tile; }
    bool getDrawnByOwner() const { return DrawnByOwner; }
    void setClampAnimationStep(bool clamp) { ClampAnimationStep = clamp; }

protected:
    // Draws part of a texture as the image does: scaled into the rectangle, tiled at pixel
    // scale, or at the natural size at the upper-left corner.
    void drawTexture(irr::video::ITexture* texture, const irr::core::recti& sourceRect);
    void updateEffects(irr::u32 timeMs);
    void drawChildren();
    void postRenderChildren(irr::u32 timeMs);

    std::unique_ptr<SpriteAnimation> SpriteAnim;
    bool DrawnByOwner = false;
    bool TileImage = true;
    std::vector<GUIImageEffect*> Effects;
    irr::video::ITexture* Texture = nullptr;
    irr::core::stringc TexturePath;
    irr::core::stringc TextureAnimPath;
    irr::video::SColor Color{0xFFFFFFFF};
    irr::f32 TextureFPS = 30.0f;
    bool OverrideTextureFPS = false;
    bool UseAlphaChannel = false;
    bool ScaleImage = false;
    bool StoredVisible = true;
    bool ClampAnimationStep = false;

private:
    void createSpriteAnimation();
    void animationFinished();
};
