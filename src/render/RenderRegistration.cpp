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
#include "core/ShellHooks.h"

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

void fillRenderShellSlots(RenderHooks& render) {
    render.createEffectHandler = [](IrrlichtDevice* device, const EffectHandlerSetup& setup) {
        auto* handler = new EffectHandler(device, core::dimension2du(0, 0));
        handler->clearColor = video::SColor(setup.clearColour);
        handler->shadowsEnabled = setup.shadowsEnabled && !handler->shaderEffectsUnsupported;
        handler->shadowDistanceMode = setup.shadowDistanceMode;
        handler->renderCallbacksEnabled = setup.renderCallbacksEnabled;
        handler->ssaoEnabled = setup.ssaoEnabled;
        effectHandler = handler;
        createHmdOutput(device);
        handler->initPostProcessing();
        return handler;
    };
    render.createLightManager = [](scene::ISceneManager* scene) { return new LightManager(scene); };
    render.createShaderManager = [](IrrlichtDevice*) {
        auto* manager = new ShaderManager();
        shaderManager = manager;
        manager->init();
        return manager;
    };
    render.bindLevelResets = [] {
        if (!levelManager)
            return;
        if (effectHandler)
            levelManager->onLevelUnloaded.addMember(effectHandler, &EffectHandler::resetLevelState);
        if (lightManager)
            levelManager->onLevelUnloaded.addMember(lightManager, &LightManager::resetLights);
    };
    render.updateCharacterTextures = [] {
        if (effectHandler)
            effectHandler->updateCharacterTextures(frameStopwatch ? frameStopwatch->delta() : 0.0f);
    };
    render.updateShadowCascades = [] {
        if (effectHandler)
            effectHandler->updateShadowCascades();
    };
    render.runRenderCallbacks = [] {
        if (effectHandler)
            effectHandler->runRenderCallbacks();
    };
    render.drawScene = [] {
        if (effectHandler)
            effectHandler->update(nullptr);
    };
    render.destroyEffectHandler = [] {
        if (levelManager)
            levelManager->onLevelUnloaded.removeMember(effectHandler, &EffectHandler::resetLevelState);
        destroyHmdOutput();
        delete effectHandler;
        // Level objects that outlive it (the scene closes with the device) must not reach it.
        effectHandler = nullptr;
    };
    render.destroyLightManager = [] {
        if (levelManager)
            levelManager->onLevelUnloaded.removeMember(lightManager, &LightManager::resetLights);
        if (lightManager->sceneManager)
            lightManager->sceneManager->setLightManager(nullptr);
        lightManager->drop();
    };
    render.destroyShaderManager = [] { delete shaderManager; };
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
} // namespace

RenderServices& renderServices() { return renderServiceTable; }
void resetRenderServices() { renderServiceTable = RenderServices{}; }

void registerRenderSubsystem() {
    fillRenderShellSlots(shellHooks().render);
    fillRenderLevelSlots(levelHooks().render);
    registerLightObjectType();
    registerParticleObjectType();
    registerBillboardObjectType();
    registerWaterObjectType();
    registerWorldObjectTypes();
}
