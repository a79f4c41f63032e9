#include "render/RenderManagers.h"

#include "render/EffectHandler.h"
#include "render/HmdRenderer.h"
#include "render/LightManager.h"

#include "core/Globals.h"
#include "level/LevelManager.h"

using namespace irr;

EffectHandler* createEffectHandler(IrrlichtDevice* device, const EffectHandlerSetup& setup) {
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
}

void destroyEffectHandler() {
    if (!effectHandler)
        return;
    if (levelManager)
        levelManager->onLevelUnloaded.removeMember(effectHandler, &EffectHandler::resetLevelState);
    destroyHmdOutput();
    delete effectHandler;
    effectHandler = nullptr;
}

void destroyLightManager() {
    if (!lightManager)
        return;
    if (levelManager)
        levelManager->onLevelUnloaded.removeMember(lightManager, &LightManager::resetLights);
    if (lightManager->sceneManager)
        lightManager->sceneManager->setLightManager(nullptr);
    lightManager->drop();
    lightManager = nullptr;
}
