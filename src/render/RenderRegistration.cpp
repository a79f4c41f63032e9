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
#include "render/TextObject.h"
#include "render/WaterObject.h"
#include "render/WorldObjectTypes.h"

#include "level/LevelHooks.h"
#include "level/LevelInfo.h"
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
    level.applyLevelSettings = [](const LevelSettings& settings) {
        applyLevelLightsPerNode(settings.NumberOfLights);
        if (!effectHandler)
            return;
        effectHandler->levelShadowsEnabled = !settings.DisableShadows;
        effectHandler->setShadowQuality(settings.ShadowLightPosition, settings.ShadowLightTarget);
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
    level.loadSpriteAnimation = [](const io::path& file) -> std::shared_ptr<const SpriteAnimation> {
        auto animation = std::make_shared<SpriteAnimation>();
        if (!loadTextureAnimation(*animation, file))
            return nullptr;
        return animation;
    };
    level.rebuildTextMesh = [](scene::ISceneNode* node, const wchar_t* text) {
        if (node && node->getType() == typeId("text"))
            static_cast<TextObject*>(node)->rebuildMesh(text);
    };
}
} // namespace

RenderServices& renderServices() { return renderServiceTable; }
void resetRenderServices() { renderServiceTable = RenderServices{}; }

void registerRenderSubsystem() {
    fillRenderLevelSlots(levelHooks().render);
    registerLightObjectType();
    registerParticleObjectType();
    registerBillboardObjectType();
    registerWaterObjectType();
    registerWorldObjectTypes();
}
