#include "render/RenderRegistration.h"

#include "render/BillboardObject.h"
#include "render/EffectHandler.h"
#include "render/HmdRenderer.h"
#include "render/LightManager.h"
#include "render/LightObject.h"
#include "render/ParticleObject.h"
#include "render/RenderServices.h"
#include "render/ShaderCallbacks.h"
#include "render/ShaderManager.h"
#include "render/SpriteAnimation.h"
#include "render/WaterObject.h"
#include "render/WorldObjectTypes.h"

#include "level/LevelHooks.h"
#include "level/LevelManager.h"

#include "core/Globals.h"
#include "core/Log.h"
#include "core/Stopwatch.h"

using namespace irr;

namespace {
RenderServices renderServiceTable;

// The level's "NumberOfLights": the light manager's count; a change rebuilds the Phong
// family once it has been built, since its sources are sized by it.
void applyLevelLightsPerNode(s32 lights) {
    if (!lightManager)
        return;
    const u32 count = static_cast<u32>(std::max(lights, 0));
    if (count == lightManager->maxLightsPerNode)
        return;
    lightManager->maxLightsPerNode = count;
    if (shaderManager && shaderManager->variantsBuilt && shaderManager->areShadersEnabled()) {
        logMessage("Rebuilding shaders for new number of lights.");
        shaderManager->rebuildShaders();
    }
}

void fillRenderLevelSlots(LevelHookTable::Render& level) {
    level.setLightsPerNode = applyLevelLightsPerNode;
    level.setShadowLight = [](const core::vector3df& position, const core::vector3df& target) {
        if (effectHandler)
            effectHandler->setShadowQuality(position, target);
    };
    level.setLevelShadowsEnabled = [](bool enabled) {
        if (effectHandler)
            effectHandler->levelShadowsEnabled = enabled;
    };
    level.isInstancingEnabled = [] { return effectHandler && effectHandler->instancing; };
    level.skipNextScenePass = [] {
        if (effectHandler)
            effectHandler->skipNextScenePass = true;
    };
    level.requestEditorRefresh = [] {
        if (effectHandler)
            effectHandler->editorRefreshRequested = true;
    };
    level.loadSpriteAnimation = [](SpriteAnimation& animation, const io::path& file) {
        return loadTextureAnimation(animation, file);
    };
}

// The frame's later passes, reached through the render services so that tests can record
// them.
void fillRenderEffectSlots(RenderServices::Effects& effects) {
    effects.renderDepthPass = [] {
        if (effectHandler)
            effectHandler->renderDepthPass();
    };
    effects.renderPostProcessChain = [](u32 count, video::ITexture* output) {
        if (effectHandler)
            effectHandler->renderPostProcessChain(count, output);
    };
    effects.writeThumbnail = [](const io::path& folder, const io::path& name) {
        if (effectHandler)
            effectHandler->saveThumbnail(folder, name);
    };
    effects.updateShadowConstants = updateShadowConstants;
}
} // namespace

RenderServices& renderServices() { return renderServiceTable; }
void resetRenderServices() { renderServiceTable = RenderServices{}; }

void registerRenderSubsystem() {
    fillRenderEffectSlots(renderServices().effects);
    fillRenderLevelSlots(levelHooks().render);
    registerLightObjectType();
    registerParticleObjectType();
    registerBillboardObjectType();
    registerWaterObjectType();
    registerWorldObjectTypes();
}
