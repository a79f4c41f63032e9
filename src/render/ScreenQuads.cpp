// Shader-material quads over a screen rectangle: the meter fills and the circle wipe.
#include "render/ScreenQuads.h"

#include "render/ShaderCallbacks.h"
#include "render/ShaderManager.h"

#include "core/Globals.h"

#include <algorithm>

using namespace irr;

const video::SMaterial& screenQuadMaterial(s32 materialType, video::ITexture* layer0, video::ITexture* layer1,
                                          bool blend) {
    // One material, kept with its texture matrices: with a new one for every draw the driver
    // would make them anew each time.
    thread_local video::SMaterial material = [] {
        video::SMaterial made;
        made.Lighting = false;
        made.ZBuffer = video::ECFN_ALWAYS;
        made.ZWriteEnable = false;
        made.BackfaceCulling = false;
        for (u32 i = 0; i < 2; ++i) {
            made.TextureLayer[i].TextureWrapU = video::ETC_CLAMP_TO_EDGE;
            made.TextureLayer[i].TextureWrapV = video::ETC_CLAMP_TO_EDGE;
        }
        for (u32 layer = 0; layer < video::MATERIAL_MAX_TEXTURES; ++layer)
            made.getTextureMatrix(layer);
        return made;
    }();
    material.MaterialType = static_cast<video::E_MATERIAL_TYPE>(materialType);
    material.setTexture(0, layer0);
    material.setTexture(1, layer1);
    material.BlendOperation = blend ? video::EBO_ADD : video::EBO_NONE;
    return material;
}

void drawScreenQuad(video::IVideoDriver* driver, const video::SMaterial& material, const core::recti& rect) {
    if (!driver)
        return;
    const core::dimension2du screen = driver->getScreenSize();
    if (screen.Width == 0 || screen.Height == 0)
        return;
    const f32 width = static_cast<f32>(screen.Width);
    const f32 height = static_cast<f32>(screen.Height);
    const auto ndc = [&](s32 x, s32 y) {
        return core::vector3df(2.0f * static_cast<f32>(x) / width - 1.0f, -(2.0f * static_cast<f32>(y) / height - 1.0f),
                               0.0f);
    };
    const core::vector3df leftTop = ndc(rect.UpperLeftCorner.X, rect.UpperLeftCorner.Y);
    const core::vector3df rightTop = ndc(rect.LowerRightCorner.X, rect.UpperLeftCorner.Y);
    const core::vector3df leftBottom = ndc(rect.UpperLeftCorner.X, rect.LowerRightCorner.Y);
    const core::vector3df rightBottom = ndc(rect.LowerRightCorner.X, rect.LowerRightCorner.Y);
    const core::vector3df normal(0, 0, 1);
    const video::SColor white(0xFFFFFFFF);
    static video::S3DVertex vertices[6];
    vertices[0] = video::S3DVertex(leftBottom, normal, white, core::vector2df(0, 1));
    vertices[1] = video::S3DVertex(leftTop, normal, white, core::vector2df(0, 0));
    vertices[2] = video::S3DVertex(rightTop, normal, white, core::vector2df(1, 0));
    vertices[3] = video::S3DVertex(rightBottom, normal, white, core::vector2df(1, 1));
    vertices[4] = video::S3DVertex(leftBottom, normal, white, core::vector2df(0, 1));
    vertices[5] = video::S3DVertex(rightTop, normal, white, core::vector2df(1, 0));
    static const u16 indices[6] = {0, 1, 2, 3, 4, 5};
    driver->setTransform(video::ETS_WORLD, core::IdentityMatrix);
    driver->setMaterial(material);
    driver->drawVertexPrimitiveList(vertices, 6, indices, 2, video::EVT_STANDARD, scene::EPT_TRIANGLES,
                                    video::EIT_16BIT);
}

namespace {

bool guiMaterial2DOn = false;

} // namespace

void beginGuiMaterial2D(video::IVideoDriver* driver) {
    if (!driver)
        return;
    // The engine's 2D states, taken from the driver's first; a draw that changed the type
    // for itself may have left it.
    static const video::IVideoDriver* keptFor = nullptr;
    static video::SMaterial kept;
    if (keptFor != driver) {
        kept = driver->getMaterial2D();
        kept.MaterialType = video::EMT_SOLID;
        for (u32 layer = 0; layer < video::MATERIAL_MAX_TEXTURES; ++layer)
            kept.getTextureMatrix(layer);
        keptFor = driver;
    }
    driver->getMaterial2D() = kept;
    driver->enableMaterial2D(true);
    guiMaterial2DOn = true;
}

void endGuiMaterial2D(video::IVideoDriver* driver) {
    guiMaterial2DOn = false;
    if (driver)
        driver->enableMaterial2D(false);
}

void restoreMaterial2D(video::IVideoDriver* driver) {
    if (driver)
        driver->enableMaterial2D(guiMaterial2DOn);
}

bool drawMeterFill(video::IVideoDriver* driver, video::ITexture* fill, video::ITexture* mask, f32 value,
                   const core::recti& rect, f32 opacity) {
    if (!driver || !fill || !shaderManager || shaderManager->meterMaterial <= 0)
        return false;
    currentMeterValue = std::clamp(value, 0.0f, 1.0f);
    currentMeterAlpha = std::clamp(opacity, 0.0f, 1.0f);
    // An opaque fill keeps the mask's cut edge; a fading one mixes with what it lies on.
    drawScreenQuad(driver, screenQuadMaterial(shaderManager->meterMaterial, fill, mask, currentMeterAlpha < 1.0f),
                   rect);
    return true;
}
