#include "gui/GUIImage.h"

#include "core/Globals.h"
#include "core/Stopwatch.h"
#include "gui/GuiAttributes.h"
#include "gui/GuiCommon.h"
#include "level/ResourceCaches.h"
#include "render/ScreenQuads.h"
#include "render/SpriteAnimation.h"

#include <IAttributes.h>
#include <IGUIEnvironment.h>
#include <ITexture.h>
#include <IVideoDriver.h>
#include <S3DVertex.h>

#include <algorithm>

using namespace irr;

GUIImage::GUIImage(gui::IGUIEnvironment* environment, gui::IGUIElement* parent, s32 id,
                   const core::rect<s32>& rectangle)
    : gui::IGUIImage(environment, parent, id, rectangle) {
    Type = toElementType(GuiType::Image);
}

GUIImage::~GUIImage() {
    if (SpriteAnim) {
        SpriteAnim->finished.removeMember(this, &GUIImage::animationFinished);
        SpriteAnim.reset();
    }
    if (Texture)
        Texture->drop();
    for (GUIImageEffect* effect : Effects)
        effect->drop();
}

void GUIImage::setImage(video::ITexture* image) {
    if (image == Texture)
        return;
    if (Texture)
        Texture->drop();
    Texture = image;
    if (Texture)
        Texture->grab();
}

void GUIImage::setVisible(bool visible) {
    IsVisible = visible;
    StoredVisible = visible;
}

void GUIImage::createSpriteAnimation() {
    if (SpriteAnim)
        return;
    SpriteAnim = std::make_unique<SpriteAnimation>();
    // Through the virtual hook, so that a subclass's override is reached.
    SpriteAnim->finished.addMember(this, &GUIImage::animationFinished);
}

void GUIImage::animationFinished() { onAnimationFinished(); }

void GUIImage::setSpriteAnimation(const SpriteAnimation& animation) {
    createSpriteAnimation();
    *SpriteAnim = animation;
}

void GUIImage::setTextureAnimPath(const core::stringc& path) {
    if (path == TextureAnimPath)
        return;
    createSpriteAnimation();
    ::getSpriteAnimation(*SpriteAnim, io::path(path.c_str()));
    TextureAnimPath = path;
}

void GUIImage::addEffect(GUIImageEffect* effect) {
    if (!effect)
        return;
    effect->grab();
    Effects.push_back(effect);
}

void GUIImage::drawScreenQuad(const void* gate, const core::recti& rect) {
    if (!gate)
        return;
    video::IVideoDriver* driver = Environment->getVideoDriver();
    driver->setTransform(video::ETS_WORLD, core::IdentityMatrix);
    const f32 width = static_cast<f32>(screenWidth);
    const f32 height = static_cast<f32>(screenHeight);
    const auto ndc = [&](s32 x, s32 y) {
        return core::vector3df(static_cast<f32>(x) / width * 2.0f - 1.0f,
                               -(static_cast<f32>(y) / height * 2.0f - 1.0f), 0.0f);
    };
    const core::vector3df leftTop = ndc(rect.UpperLeftCorner.X, rect.UpperLeftCorner.Y);
    const core::vector3df rightTop = ndc(rect.LowerRightCorner.X, rect.UpperLeftCorner.Y);
    const core::vector3df leftBottom = ndc(rect.UpperLeftCorner.X, rect.LowerRightCorner.Y);
    const core::vector3df rightBottom = ndc(rect.LowerRightCorner.X, rect.LowerRightCorner.Y);
    const core::vector3df normal(0, 0, 1);
    const video::SColor none(0);
    const video::S3DVertex vertices[6] = {
        {leftBottom, normal, none, {0, 1}},  {leftTop, normal, none, {0, 0}},
        {rightTop, normal, none, {1, 0}},    {rightBottom, normal, none, {1, 1}},
        {leftBottom, normal, none, {0, 1}},  {rightTop, normal, none, {1, 0}},
    };
    const u16 indices[6] = {0, 1, 2, 3, 4, 5};
    driver->drawVertexPrimitiveList(vertices, 6, indices, 2, video::EVT_STANDARD,
                                    scene::EPT_TRIANGLES, video::EIT_16BIT);
}

void GUIImage::drawTexture(video::ITexture* texture, const core::recti& sourceRect) {
    video::IVideoDriver* driver = Environment->getVideoDriver();
    const video::SColor colors[4] = {Color, Color, Color, Color};
    if (ScaleImage) {
        driver->draw2DImage(texture, AbsoluteRect, sourceRect, &AbsoluteClippingRect, colors,
                            UseAlphaChannel);
    } else if (TileImage) {
        // The wrap modes for this draw only: the GUI's other 2D draws may share the material.
        video::SMaterial& material = driver->getMaterial2D();
        u8 wraps[video::MATERIAL_MAX_TEXTURES][2];
        for (u32 layer = 0; layer < video::MATERIAL_MAX_TEXTURES; ++layer) {
            wraps[layer][0] = material.TextureLayer[layer].TextureWrapU;
            wraps[layer][1] = material.TextureLayer[layer].TextureWrapV;
            material.TextureLayer[layer].TextureWrapU = video::ETC_CLAMP;
            material.TextureLayer[layer].TextureWrapV = video::ETC_CLAMP;
        }
        material.TextureLayer[0].TextureWrapU = video::ETC_REPEAT;
        material.TextureLayer[0].TextureWrapV = video::ETC_REPEAT;
        driver->enableMaterial2D(true);
        const core::recti tiled(0, 1, AbsoluteRect.getWidth(), AbsoluteRect.getHeight() + 1);
        driver->draw2DImage(texture, AbsoluteRect, tiled, &AbsoluteClippingRect, colors, UseAlphaChannel);
        for (u32 layer = 0; layer < video::MATERIAL_MAX_TEXTURES; ++layer) {
            material.TextureLayer[layer].TextureWrapU = wraps[layer][0];
            material.TextureLayer[layer].TextureWrapV = wraps[layer][1];
        }
        restoreMaterial2D(driver);
    } else {
        driver->draw2DImage(texture, AbsoluteRect.UpperLeftCorner, sourceRect, &AbsoluteClippingRect,
                            Color, UseAlphaChannel);
    }
}

void GUIImage::drawChildren() {
    for (gui::IGUIElement* child : Children)
        child->draw();
}

void GUIImage::draw() {
    if (DrawnByOwner)
        IsVisible = StoredVisible;
    if (IsVisible) {
        video::IVideoDriver* driver = Environment->getVideoDriver();
        const video::SColor colors[4] = {Color, Color, Color, Color};
        if (SpriteAnim && SpriteAnim->texture) {
            const core::recti frame = SpriteAnim->getFrameRect();
            if (ScaleImage)
                driver->draw2DImage(SpriteAnim->texture, AbsoluteRect, frame, &AbsoluteClippingRect,
                                    colors, UseAlphaChannel);
            else
                driver->draw2DImage(SpriteAnim->texture, AbsoluteRect.UpperLeftCorner, frame,
                                    &AbsoluteClippingRect, Color, UseAlphaChannel);
        } else if (!SpriteAnim && Texture) {
            const core::dimension2du size = Texture->getOriginalSize();
            drawTexture(Texture, core::recti(0, 0, static_cast<s32>(size.Width), static_cast<s32>(size.Height)));
        }
        if (isVisible())
            drawChildren();
    }
    if (DrawnByOwner)
        IsVisible = false;
}

void GUIImage::updateEffects(u32 timeMs) {
    for (std::size_t i = 0; i < Effects.size();) {
        GUIImageEffect* effect = Effects[i];
        effect->update(this, timeMs);
        if (effect->isFinished()) {
            Effects.erase(Effects.begin() + static_cast<std::ptrdiff_t>(i));
            effect->drop();
        } else {
            ++i;
        }
    }
}

void GUIImage::postRenderChildren(u32 timeMs) {
    for (gui::IGUIElement* child : Children)
        child->OnPostRender(timeMs);
}

void GUIImage::OnPostRender(u32 timeMs) {
    if (IsVisible)
        updateEffects(timeMs);
    if (isVisible())
        postRenderChildren(timeMs);
    if (SpriteAnim && IsVisible) {
        f32 step = frameStopwatch ? frameStopwatch->delta() : 0.0f;
        if (ClampAnimationStep)
            step = std::clamp(step, 0.0f, frameTargetInterval);
        SpriteAnim->update(step);
    }
}

void GUIImage::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    gui::IGUIImage::serializeAttributes(out, options);
    out->addString("TexturePath", TexturePath.c_str());
    out->addString("TextureAnimPath", TextureAnimPath.c_str());
    out->addBool("UseAlphaChannel", UseAlphaChannel);
    out->addColor("Color", Color);
    out->addBool("ScaleImage", ScaleImage);
    if (TextureAnimPath.size() >= 2) {
        out->addBool("OverrideTextureFPS", OverrideTextureFPS);
        if (OverrideTextureFPS)
            out->addFloat("TextureFPS", TextureFPS);
    }
}

void GUIImage::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    readElementAttributes(this, in, options);
    TexturePath = in->getAttributeAsString("TexturePath");
    const core::stringc animPath = in->getAttributeAsString("TextureAnimPath");
    if (TexturePath.size() >= 2)
        setImage(Environment->getVideoDriver()->getTexture(io::path(TexturePath.c_str())));
    setUseAlphaChannel(in->getAttributeAsBool("UseAlphaChannel"));
    setColor(in->getAttributeAsColor("Color"));
    setScaleImage(in->getAttributeAsBool("ScaleImage"));
    if (animPath.size() >= 2) {
        OverrideTextureFPS = in->getAttributeAsBool("OverrideTextureFPS");
        setTextureAnimPath(animPath);
        if (OverrideTextureFPS) {
            if (in->existsAttribute("TextureFPS"))
                TextureFPS = in->getAttributeAsFloat("TextureFPS");
            if (SpriteAnim)
                SpriteAnim->setFramesPerSecond(TextureFPS, animPath.c_str(), "TextureFPS");
        }
    }
}
