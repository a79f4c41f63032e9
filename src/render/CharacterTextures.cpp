// The effect handler's compositing of the first player's character textures and the
// thumbnail writer.
#include "render/CharacterTextures.h"

#include "render/EffectHandler.h"
#include "player/PlayerObject.h"
#include "render/ShaderManager.h"

#include "core/FileUtils.h"
#include "core/GameSettings.h"
#include "core/Globals.h"

#include <cmath>

using namespace irr;

namespace {

// The 2D material of the compositing: its type, and repeat wrap on its first layer while
// the composer draws (the previous wrap modes come back after).
class Material2DScope {
public:
    Material2DScope(video::IVideoDriver* driver, video::E_MATERIAL_TYPE type) : driver(driver) {
        driver->enableMaterial2D(true);
        video::SMaterial& material = driver->getMaterial2D();
        material.MaterialType = type;
        wrapU = material.TextureLayer[0].TextureWrapU;
        wrapV = material.TextureLayer[0].TextureWrapV;
        material.TextureLayer[0].TextureWrapU = video::ETC_REPEAT;
        material.TextureLayer[0].TextureWrapV = video::ETC_REPEAT;
        driver->setMaterial(material);
    }
    ~Material2DScope() {
        video::SMaterial& material = driver->getMaterial2D();
        material.TextureLayer[0].TextureWrapU = wrapU;
        material.TextureLayer[0].TextureWrapV = wrapV;
        driver->enableMaterial2D(false);
    }
    Material2DScope(const Material2DScope&) = delete;
    Material2DScope& operator=(const Material2DScope&) = delete;

private:
    video::IVideoDriver* driver;
    u8 wrapU;
    u8 wrapV;
};

// The mask textures in drawing order, from the handler's slots (right arm, left arm, right
// leg, left leg after the four highlight layers).
video::ITexture* limbMask(const EffectHandler& handler, s32 limb) {
    static const int slot[4] = {4, 7, 6, 5};
    return handler.limbTextures[slot[limb]];
}

} // namespace

bool EffectHandler::flipsCharacterTextures() const {
    return driverType == video::EDT_OPENGL && shaderManager && shaderManager->shaderLevel >= 2 &&
           getSettingInt("Graphics_Quality") != 2;
}

void EffectHandler::updateCharacterTextures(f32 frameSeconds) {
    causticsPhase += frameSeconds * 0.5f;
    if (causticsPhase >= 1.0f)
        causticsPhase = 0.0f;
    if (!device->getSceneManager()->getActiveCamera())
        return;
    PlayerObject* player = playerCount() > 0 ? getPlayer(0) : nullptr;
    CharacterTextureSource* character = player ? player->getCharacterTextures() : nullptr;
    if (!character)
        return;
    composeBodyTexture(character);
    drawLimbOverlays(character, tentaroLimbs);
    composeCharacterTexture(character);
    drawLimbOverlays(character, tentaroTexture);
    driver->setRenderTarget(nullptr, false, false);
}

void EffectHandler::composeBodyTexture(CharacterTextureSource* character) {
    if (!character || !tentaroLimbs)
        return;
    {
        Material2DScope scope(driver, video::EMT_TRANSPARENT_ALPHA_CHANNEL);
        driver->setRenderTarget(tentaroLimbs, true, true, video::SColor(0, 0, 0, 0));
        f32 weights[4];
        character->getHighlightWeights(weights);
        for (int k = 0; k < 4; ++k) {
            video::ITexture* layer = limbTextures[k];
            if (!layer)
                continue;
            const u32 alpha = static_cast<u32>(std::lround(core::clamp(weights[k], 0.0f, 1.0f) * 255.0f));
            driver->draw2DImage(layer, core::position2di(0, 0), core::recti(0, 0, 512, 512), nullptr,
                                video::SColor(alpha, 255, 255, 255), true);
        }
    }
    if (character->getMaterialCount() > 0)
        character->getMaterial(0).setTexture(3, tentaroLimbs);
}

void EffectHandler::composeCharacterTexture(CharacterTextureSource* character) {
    if (!character || !tentaroTexture)
        return;
    {
        Material2DScope scope(driver, video::EMT_SOLID);
        driver->setRenderTarget(tentaroTexture, true, true, video::SColor(0, 0, 0, 0));
        const bool flip = flipsCharacterTextures();
        const video::SColor white(255, 255, 255, 255);
        const video::SColor corners[4] = {white, white, white, white};
        if (video::ITexture* base = character->getBodyTexture())
            driver->draw2DImage(base, core::recti(0, 0, 1024, 1024), core::recti(0, 0, 1024, flip ? -1024 : 1024),
                                nullptr, corners, false);
        video::ITexture* overlay = character->getOverlayTexture();
        if (overlay && limbOverlay) {
            const core::dimension2du size = overlay->getOriginalSize();
            const s32 w = static_cast<s32>(size.Width);
            const s32 h = static_cast<s32>(size.Height);
            const core::recti clip = flip ? core::recti(232, 55, 273, 277) : core::recti(232, 747, 273, 969);
            driver->draw2DImage(overlay, flip ? core::recti(188, 37, 444, 293) : core::recti(188, 731, 444, 987),
                                core::recti(0, 0, w, flip ? -h : h), &clip, corners, false);
        }
    }
    if (character->getMaterialCount() > 0)
        character->getMaterial(0).setTexture(0, tentaroTexture);
}

void EffectHandler::drawLimbOverlays(CharacterTextureSource* character, video::ITexture* target) {
    if (!character || !target || !character->wantsLimbTint())
        return;
    Material2DScope scope(driver, video::EMT_SOLID);
    driver->setRenderTarget(target, false, false);
    const f32 flash = character->getFlashTime();
    const bool white = flash >= 0.0f && static_cast<s64>(std::floor(flash)) % 2 == 1;
    const bool flip = target != tentaroLimbs && flipsCharacterTextures();
    const core::dimension2du size = target->getOriginalSize();
    for (s32 limb = 0; limb < 4; ++limb) {
        video::SColor colour;
        video::ITexture* mask = limbMask(*this, limb);
        if (!mask || !character->getLimbControlsColour(limb, colour))
            continue;
        if (white)
            colour = video::SColor(255, 255, 255, 255);
        const video::SColor corners[4] = {colour, colour, colour, colour};
        driver->draw2DImage(mask, core::recti(0, 0, static_cast<s32>(size.Width), static_cast<s32>(size.Height)),
                            core::recti(0, 0, 1024, flip ? -1024 : 1024), nullptr, corners, true);
    }
}

void EffectHandler::saveThumbnail(const io::path& folder, const io::path& name) {
    if (!thumbnailTarget) {
        const s64 width = screenHeight > 0 ? static_cast<s64>(screenWidth) * 360 / screenHeight : 360;
        thumbnailTarget = driver->addRenderTargetTexture(core::dimension2du(static_cast<u32>(width), 360), "thumbnail",
                                                         video::ECF_UNKNOWN);
        if (!thumbnailTarget)
            return;
    }
    driver->setRenderTarget(thumbnailTarget, true, true, clearColor);
    renderScenePass();
    video::IImage* image =
        driver->createImage(thumbnailTarget, core::position2di(0, 0), thumbnailTarget->getOriginalSize());
    createDirectoryPath(folder.c_str());
    if (image)
        driver->writeImageToFile(image, folder + name + ".jpg");
    driver->setRenderTarget(nullptr, true, true, clearColor);
    if (image)
        image->drop();
}
