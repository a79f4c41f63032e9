#include "render/EffectHandler.h"

#include "render/HmdRenderer.h"
#include "render/RenderServices.h"
#include "render/ShaderCallbacks.h"
#include "render/ShaderPreprocessor.h"
#include "render/ShadowCascades.h"
#include "render/ShadowMapCache.h"
#include "render/ShadowReceivers.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/LoadBudget.h"
#include "core/Log.h"
#include "core/ProgramQueries.h"
#include "core/RepeatedLog.h"
#include "level/LevelManager.h"
#include "level/LoadingOverlay.h"

#include <algorithm>
#include <cstdio>
#include <string>

using namespace irr;

namespace {

s32 settingOrZero(const char* key) { return gameSettings ? getSettingInt(key) : 0; }

video::ITexture* makeRenderTarget(video::IVideoDriver* driver, const core::dimension2du& size, const char* name,
                                  video::ECOLOR_FORMAT format = video::ECF_UNKNOWN) {
    return driver->addRenderTargetTexture(size, name, format);
}

} // namespace

bool chargeLevelRenderTarget(const core::dimension2du& size) {
    const std::uint64_t pixels = static_cast<std::uint64_t>(size.Width) * size.Height;
    LoadBudget& budget = loadBudget();
    return budget.charge(LoadBudget::Pixels, pixels) && budget.charge(LoadBudget::Memory, pixels * 8);
}

ShadowLight::ShadowLight(u32 mapResolution, const core::vector3df& lightPosition,
                         const core::vector3df& lightTarget, video::SColorf lightColour, f32 nearPlane,
                         f32 farPlane, f32 size)
    : colour(lightColour), position(lightPosition), target(lightTarget), nearValue(nearPlane <= 0.0f ? 0.1f : nearPlane),
      farValue(farPlane), width(size), resolution(mapResolution) {
    const core::vector3df away = position - target;
    const bool straightDown = away.dotProduct(core::vector3df(1.0f, 0.0f, 1.0f)) == 0.0f;
    viewMatrix.buildCameraLookAtMatrixLH(position, target,
                                         straightDown ? core::vector3df(0, 0, 1) : core::vector3df(0, 1, 0));
    projectionMatrix.makeIdentity();
    projectionMatrix[0] = 2.0f / width;
    projectionMatrix[5] = 2.0f / width;
    projectionMatrix[10] = 1.0f / (farValue - nearValue);
    projectionMatrix[14] = nearValue / (nearValue - farValue);
    projectionMatrix[15] = 1.0f;
}

EffectHandler::EffectHandler(IrrlichtDevice* engineDevice, const core::dimension2du& screenRTTSize)
    : device(engineDevice), driver(engineDevice->getVideoDriver()), driverType(driver->getDriverType()),
      shadowDistance(baseShadowDistance) {
    shadowCache = std::make_unique<ShadowMapCache>();
    shadowReceivers = std::make_unique<ShadowReceivers>();
    const core::dimension2du driverScreen = driver->getScreenSize();
    renderSize = screenRTTSize.getArea() != 0 ? screenRTTSize : driverScreen;
    screenSize = driverScreen;
    const core::dimension2du largestTexture = driver->getMaxTextureSize();
    largestShadowResolution = std::min(largestTexture.Width / 3, largestTexture.Height);

    const bool mipMaps = driver->getTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS);
    const bool always32 = driver->getTextureCreationFlag(video::ETCF_ALWAYS_32_BIT);
    transparentTexture = driver->getTexture("Content/Models/Editor/Transparent.png");

    if (gameSettings && getSettingInt("Graphics_FullscreenMode") == 2) {
        renderSize = core::dimension2du(static_cast<u32>(std::max(0, settingOrZero("Graphics_ScreenWidth"))),
                                        static_cast<u32>(std::max(0, settingOrZero("Graphics_ScreenHeight"))));
        const core::dimension2du desktop = device->getVideoModeList()->getDesktopResolution();
        renderToScreenTarget = renderSize != desktop;
    }

    screenRTT = makeRenderTarget(driver, renderSize, "screenRTT");
    colorRTT = makeRenderTarget(driver, renderSize, "colorRTT");
    screenQuad.renderTargets[0] = makeRenderTarget(driver, renderSize, "screenQuad0");
    screenQuad.renderTargets[1] = makeRenderTarget(driver, renderSize, "ScreenQuad1");
    tentaroLimbs = makeRenderTarget(driver, core::dimension2du(512, 512), "tentaroLimbs");
    tentaroTexture = makeRenderTarget(driver, core::dimension2du(1024, 1024), "tentaroTexture");
    driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, mipMaps);
    driver->setTextureCreationFlag(video::ETCF_ALWAYS_32_BIT, always32);

    buildMaterials();
}

s32 EffectHandler::compileEffect(ShaderPreprocessor& preprocessor, int vertexRole, int pixelRole,
                                 video::E_VERTEX_SHADER_TYPE vertexTarget, video::E_PIXEL_SHADER_TYPE pixelTarget,
                                 video::IShaderConstantSetCallBack* callback, video::E_MATERIAL_TYPE base) {
    const char* vertexText = effectShaderSource(vertexRole, driverColumn);
    const char* pixelText = effectShaderSource(pixelRole, driverColumn);
    if (!vertexText || !pixelText)
        return -1;
    const std::string vertex = preprocessor.preprocessSource(vertexText);
    const std::string pixel = preprocessor.preprocessSource(pixelText);
    return gpu->addHighLevelShaderMaterial(vertex.c_str(), "vertexMain", vertexTarget, pixel.c_str(), "pixelMain",
                                           pixelTarget, nullptr, "main", video::EGST_GS_4_0, scene::EPT_TRIANGLES,
                                           scene::EPT_TRIANGLE_STRIP, 0, callback, base, 0, video::EGSL_DEFAULT);
}

void EffectHandler::buildMaterials() {
    ShaderPreprocessor preprocessor(driver);
    driverColumn = driverType == video::EDT_OPENGL ? 0 : 1;
    gpu = driver->getGPUProgrammingServices();
    const bool features =
        ((driverType == video::EDT_OPENGL && driver->queryFeature(video::EVDF_ARB_GLSL)) ||
         (driverType == video::EDT_DIRECT3D9 && driver->queryFeature(video::EVDF_PIXEL_SHADER_2_0))) &&
        driver->queryFeature(video::EVDF_RENDER_TO_TARGET);
    if (!gpu || !features) {
        shaderEffectsUnsupported = true;
    } else {
        depthCallback = new DepthShaderCallback(this, false, false);
        skinnedDepthCallback = new DepthShaderCallback(this, true, false);
        instancedDepthCallback = new DepthShaderCallback(this, false, true);
        shadowCallback = new ShadowShaderCallback(this);

        const auto vs2 = video::EVST_VS_2_0;
        const auto ps2 = video::EPST_PS_2_0;
        const auto solid = video::EMT_SOLID;
        const auto alphaRef = video::EMT_TRANSPARENT_ALPHA_CHANNEL_REF;
        const auto alphaBlend = video::EMT_TRANSPARENT_ALPHA_CHANNEL;
        depthMaterial = compileEffect(preprocessor, RoleDepthVertex, RoleDepth, vs2, ps2, depthCallback, solid);
        depthAlphaMaterial = compileEffect(preprocessor, RoleDepthVertex, RoleDepthAlpha, vs2, ps2, depthCallback, alphaRef);
        skinnedDepthMaterial =
            compileEffect(preprocessor, RoleSkinnedDepthVertex, RoleDepth, vs2, ps2, skinnedDepthCallback, solid);
        skinnedDepthAlphaMaterial =
            compileEffect(preprocessor, RoleSkinnedDepthVertex, RoleDepthAlpha, vs2, ps2, skinnedDepthCallback, alphaRef);
        instancedDepthMaterial =
            compileEffect(preprocessor, RoleInstancedDepthVertex, RoleDepth, vs2, ps2, instancedDepthCallback, solid);
        instancedDepthAlphaMaterial = compileEffect(preprocessor, RoleInstancedDepthVertex, RoleDepthAlpha, vs2, ps2,
                                                    instancedDepthCallback, alphaRef);
        whiteWashMaterial = compileEffect(preprocessor, RoleDepthVertex, RoleWhiteWash, vs2, ps2, depthCallback, solid);
        whiteWashRefMaterial =
            compileEffect(preprocessor, RoleDepthVertex, RoleWhiteWash, vs2, ps2, depthCallback, alphaRef);
        luminanceMaterial =
            compileEffect(preprocessor, RoleDepthVertex, RoleLuminance, vs2, ps2, depthCallback, alphaBlend);
        whiteWashAddMaterial =
            compileEffect(preprocessor, RoleDepthVertex, RoleWhiteWash, vs2, ps2, depthCallback, alphaBlend);

        const auto vertexModel = driver->queryFeature(video::EVDF_VERTEX_SHADER_3_0) ? video::EVST_VS_3_0 : vs2;
        const auto pixelModel = driver->queryFeature(video::EVDF_PIXEL_SHADER_3_0) ? video::EPST_PS_3_0 : ps2;
        const u32 sampleAmounts[5] = {1, 4, 8, 12, 16};
        for (int i = 0; i < 5; ++i) {
            preprocessor.addDefine("SAMPLE_AMOUNT", std::to_string(sampleAmounts[i]));
            shadowMaterials[i] = compileEffect(preprocessor, RoleShadowVertex, RoleShadow, vertexModel, pixelModel,
                                               shadowCallback, solid);
        }

        screenQuadCallback = new ScreenQuadShaderCallback(this, true);
        lightModulateMaterial = compileEffect(preprocessor, RoleScreenQuadVertex, RoleLightModulate, vertexModel,
                                              pixelModel, screenQuadCallback, solid);
        copyMaterial = compileEffect(preprocessor, RoleScreenQuadVertex, RoleCopy, vertexModel, pixelModel,
                                     screenQuadCallback, video::EMT_TRANSPARENT_ADD_COLOR);
        vsmBlurHorizontalMaterial = compileEffect(preprocessor, RoleScreenQuadVertex, RoleVsmBlur, vertexModel,
                                                  pixelModel, screenQuadCallback, solid);
        preprocessor.addDefine("VERTICAL_VSM_BLUR", "");
        vsmBlurVerticalMaterial = compileEffect(preprocessor, RoleScreenQuadVertex, RoleVsmBlur, vertexModel,
                                                pixelModel, screenQuadCallback, solid);
        if (depthMaterial < 1 || depthAlphaMaterial < 1)
            shaderEffectsUnsupported = true;
    }
    if (shaderEffectsUnsupported) {
        depthMaterial = depthAlphaMaterial = video::EMT_SOLID;
        skinnedDepthMaterial = skinnedDepthAlphaMaterial = video::EMT_SOLID;
        instancedDepthMaterial = instancedDepthAlphaMaterial = video::EMT_SOLID;
        for (s32& shadow : shadowMaterials)
            shadow = video::EMT_SOLID;
        copyMaterial = video::EMT_SOLID;
        whiteWashMaterial = video::EMT_SOLID;
        whiteWashRefMaterial = video::EMT_TRANSPARENT_ALPHA_CHANNEL_REF;
        luminanceMaterial = video::EMT_TRANSPARENT_ADD_COLOR;
        whiteWashAddMaterial = video::EMT_TRANSPARENT_ALPHA_CHANNEL;
        logMessage("XEffects: Shader effects not supported on this system.");
        shadowsEnabled = false;
    }
}

EffectHandler::~EffectHandler() {
    auto release = [](auto*& callback) {
        if (callback)
            callback->drop();
        callback = nullptr;
    };
    release(depthCallback);
    release(skinnedDepthCallback);
    release(instancedDepthCallback);
    release(shadowCallback);
    release(screenQuadCallback);
    for (PostProcessingEffectRecord& record : postEffects)
        release(record.callback);
    postEffects.clear();
    for (video::SMaterialLayer& layer : screenQuad.material.TextureLayer)
        layer.Texture = nullptr;
}

PostProcessingEffectRecord* EffectHandler::findPostEffect(s32 materialType) {
    if (!postEffectsSorted && postEffects.size() > 1) {
        std::stable_sort(postEffects.begin(), postEffects.end(),
                         [](const auto& a, const auto& b) { return a.materialType < b.materialType; });
        postEffectsSorted = true;
    }
    const auto it = std::lower_bound(postEffects.begin(), postEffects.end(), materialType,
                                     [](const auto& record, s32 type) { return record.materialType < type; });
    return it == postEffects.end() || it->materialType != materialType ? nullptr : &*it;
}

void EffectHandler::setPostProcessingRenderCallback(s32 materialType, PostProcessingRenderCallback* callback) {
    // No record takes the callback: it stays its caller's.
    if (PostProcessingEffectRecord* record = findPostEffect(materialType))
        record->renderCallback.reset(callback);
}

// --- the frame -------------------------------------------------------------------------------

void EffectHandler::runRenderCallbacks() {
    if (!device->getSceneManager()->getActiveCamera())
        return;
    if (!renderCallbacksEnabled)
        return;
    renderStage = 2;
    ++renderCallbackRound;
    extraScenePassesAsked = 0;
    renderCallbacks.invoke();
}

bool EffectHandler::takeExtraScenePass() {
    if (++extraScenePassesAsked <= extraScenePassLimit)
        return true;
    // One line for a frame with too few: the repeated lines count such frames.
    if (extraScenePassesAsked == extraScenePassLimit + 1)
        logRepeatable(std::string(logErrorPrefix) + "The level's water surfaces and mirrors ask for more than " +
                      std::to_string(extraScenePassLimit) +
                      " extra scene passes a frame; the rest are drawn without their images.");
    return false;
}

void EffectHandler::update(video::ITexture* target) {
    scene::ISceneManager* scene = device->getSceneManager();
    if (!scene->getActiveCamera())
        return;
    if (renderToScreenTarget)
        target = screenRTT;
    renderStage = 0;

    if (skipNextScenePass) {
        skipNextScenePass = false;
    } else {
        if (thumbnailRequested) {
            const io::path folder = thumbnailFolder;
            const io::path name = thumbnailName;
            saveThumbnail(folder, name);
            thumbnailRequested = false;
        }
        s32 count = 1;
        if (splitScreen && !isMenuOpen() && !isGameplaySuspended())
            count = playerCount() != 0 ? playerCount() : viewportCount;
        count = core::clamp(count, 1, maxCameraManagers);
        video::ITexture* viewportTarget = postEffects.empty() ? target : colorRTT;
        // One viewport: the others' would be cleared by a frame shown between the draws.
        loadingFramesBetweenDraws = count == 1 && underLoadingScreen();
        passTarget = viewportTarget;
        passClipPlane = false;
        for (s32 i = 0; i < count; ++i) {
            driver->setRenderTarget(viewportTarget, i == 0, true, clearColor);
            setPlayerViewport(count, i);
            scene::ICameraSceneNode* camera = scene->getActiveCamera();
            if (!camera)
                continue;
            // What lies wholly outside the view is left out of the pass, whatever the
            // engine's culling of it (each eye of a head-mounted display sees from its own
            // place).
            if (!hmdRenderer) {
                camera->render();
                viewCulling.hideOutsideView(scene->getRootSceneNode(), camera->getProjectionMatrix(),
                                            camera->getViewMatrix());
            }
            renderScene();
            viewCulling.restore();
        }
        loadingFramesBetweenDraws = false;
        passTarget = nullptr;
        const core::dimension2du whole = driver->getScreenSize();
        driver->setViewPort(core::recti(0, 0, static_cast<s32>(whole.Width), static_cast<s32>(whole.Height)));
    }

    if (depthPassEnabled)
        renderDepthPass();
    if (!postEffects.empty())
        renderPostProcessChain(static_cast<u32>(postEffects.size()), target);
    if (target) {
        driver->setRenderTarget(nullptr, true, true, clearColor);
        const core::dimension2du size = target->getOriginalSize();
        const video::SColor white(255, 255, 255, 255);
        const video::SColor corners[4] = {white, white, white, white};
        driver->draw2DImage(target,
                            core::recti(0, 0, static_cast<s32>(screenSize.Width), static_cast<s32>(screenSize.Height)),
                            core::recti(0, 0, static_cast<s32>(size.Width), static_cast<s32>(size.Height)), nullptr,
                            corners, false);
    }
    renderStage = 1;
}

void EffectHandler::renderSceneInto(video::ITexture* target, bool clipPlane) {
    const bool outer = loadingFramesBetweenDraws;
    video::ITexture* const outerTarget = passTarget;
    const bool outerClipPlane = passClipPlane;
    loadingFramesBetweenDraws = underLoadingScreen();
    passTarget = target;
    passClipPlane = clipPlane;
    renderScene();
    loadingFramesBetweenDraws = outer;
    passTarget = outerTarget;
    passClipPlane = outerClipPlane;
}

bool EffectHandler::underLoadingScreen() const {
    // The head-mounted display's eyes draw into targets of their own.
    return !hmdRenderer && levelManager && levelManager->loadingOverlay.showsLoadingScreen();
}

void EffectHandler::loadingFrameBetweenDraws() {
    if (!loadingFramesBetweenDraws)
        return;
    const auto& loadingFrame = renderServices().screens.renderLoadingFrame;
    if (!loadingFrame)
        return;
    // What the loading frame draws shows no loading frame of its own.
    loadingFramesBetweenDraws = false;
    if (!passTarget) {
        loadingFrame();
    } else {
        // The loading frame goes to the window; the pass goes on into its texture, whose
        // picture so far stays, in its viewport (its clip plane would cut the loading frame).
        const core::recti viewport = driver->getViewPort();
        if (passClipPlane)
            driver->enableClipPlane(0, false);
        driver->setRenderTarget(nullptr, false, false);
        loadingFrame();
        driver->setRenderTarget(passTarget, false, false);
        driver->setViewPort(viewport);
        if (passClipPlane)
            driver->enableClipPlane(0, true);
    }
    loadingFramesBetweenDraws = true;
}

void EffectHandler::renderScene() {
    if (!device->getSceneManager()->getActiveCamera())
        return;
    // The head-mounted display's pass draws both eyes when its output exists.
    if (hmdRenderer)
        hmdRenderer->renderHmdEyes();
    else
        renderScenePass();
}

void EffectHandler::renderScenePass() {
    scene::ISceneManager* scene = device->getSceneManager();
    scene::ICameraSceneNode* camera = scene->getActiveCamera();
    if (!camera)
        return;
    camera->render();
    updateShadowConstants();
    scene->drawAll();
}

core::recti EffectHandler::getPlayerViewport(s32 count, s32 index) const {
    const core::dimension2du size = driver->getScreenSize();
    const s32 w = static_cast<s32>(size.Width);
    const s32 h = static_cast<s32>(size.Height);
    const s32 hw = w / 2;
    const s32 hh = h / 2;
    const core::recti whole(0, 0, w, h);
    switch (count) {
    case 2:
        if (index == 0)
            return core::recti(0, 0, hw, h);
        if (index == 1)
            return core::recti(hw, 0, hw + hw, h);
        return whole;
    case 3:
        if (index == 0)
            return core::recti(0, 0, hw, h);
        if (index == 1)
            return core::recti(hw, 0, hw + hw, hh);
        if (index == 2)
            return core::recti(hw, hh, hw + hw, hh + hh);
        return whole;
    case 4:
        switch (index) {
        case 0: return core::recti(0, 0, hw, hh);
        case 1: return core::recti(hw, 0, hw + hw, hh);
        case 2: return core::recti(0, hh, hw, hh + hh);
        case 3: return core::recti(hw, hh, hw + hw, hh + hh);
        default: return whole;
        }
    default: return whole;
    }
}

void EffectHandler::setPlayerViewport(s32 count, s32 index) {
    const core::recti viewport = getPlayerViewport(count, index);
    driver->setViewPort(viewport);
    const auto& viewportCamera = renderServices().cameras.viewportCamera;
    scene::ICameraSceneNode* camera = viewportCamera ? viewportCamera(splitScreen ? index : 0) : nullptr;
    if (!camera)
        return;
    device->getSceneManager()->setActiveCamera(camera);
    if (viewport.getHeight() > 0)
        camera->setAspectRatio(static_cast<f32>(viewport.getWidth()) / static_cast<f32>(viewport.getHeight()));
}

void EffectHandler::resetLevelState() {
    shadowCamera = nullptr;
    shadowCache->forget();
    shadowReceivers->forget();
    shadowNodes.clear();
    renderCallbacks.clear();
    // A level's Change Mesh sets these from its own folder; its pictures are given back at
    // the next load, so none may be held past its unload.
    for (irr::video::ITexture*& texture : limbTextures)
        texture = nullptr;
}

// --- targets and lists -----------------------------------------------------------------------

void EffectHandler::addNodeToDepthPass(scene::ISceneNode* node) {
    depthPassNodes.insert(node);
}

void EffectHandler::removeNodeFromDepthPass(scene::ISceneNode* node) {
    depthPassNodes.erase(node);
}

bool EffectHandler::isInDepthPass(scene::ISceneNode* node) const {
    return depthPassNodes.count(node) > 0;
}

video::ECOLOR_FORMAT EffectHandler::depthFormat() const {
    return use32BitDepth ? video::ECF_G32R32F : video::ECF_G16R16F;
}

video::ITexture* EffectHandler::getDepthTexture() {
    if (!depthRTT)
        depthRTT = makeRenderTarget(driver, renderSize, "depthRTT", depthFormat());
    return depthRTT;
}

video::ITexture* EffectHandler::getShadowMapTexture(u32 resolution, s32 cascade) {
    core::stringc name = core::stringc("XEFFECTS_SM_") + core::stringc(resolution);
    if (cascade != 0)
        name += core::stringc(cascade);
    if (video::ITexture* found = driver->findTexture(name))
        return found;
    ILogger* logger = device->getLogger();
    const ELOG_LEVEL level = logger->getLogLevel();
    logger->setLogLevel(ELL_NONE);
    logger->log("XEffects: Please ignore previous warning, it is harmless.", ELL_INFORMATION);
    video::ITexture* target =
        makeRenderTarget(driver, core::dimension2du(resolution, resolution), name.c_str(), depthFormat());
    logger->setLogLevel(level);
    return target;
}

video::ITexture* EffectHandler::getShadowAtlasTexture(u32 resolution) {
    for (const auto& [size, atlas] : shadowAtlases)
        if (size == resolution)
            return atlas;
    if (resolution > largestShadowResolution)
        return nullptr;
    const core::stringc name = core::stringc("XEFFECTS_SM_ATLAS_") + core::stringc(resolution);
    video::ITexture* atlas = driver->findTexture(name);
    if (!atlas)
        atlas = makeRenderTarget(driver, core::dimension2du(resolution * 3, resolution), name.c_str(),
                                 shadowAtlasFormat());
    if (atlas)
        shadowAtlases.emplace_back(resolution, atlas);
    return atlas;
}

void EffectHandler::fitShadowResolution() {
    if (shadowLights.empty())
        return;
    const u32 wanted = shadowLights.front().resolution;
    u32 fitted = wanted;
    while (fitted > 0 && (fitted > largestShadowResolution ||
                          (driverType != video::EDT_NULL && !getShadowAtlasTexture(fitted))))
        fitted /= 2;
    if (fitted == wanted)
        return;
    for (ShadowLight& light : shadowLights)
        light.resolution = fitted;
    if (fitted == 0) {
        logMessagef("Warning: The graphics driver cannot make shadow maps of %u pixels or fewer; the game "
                    "draws no shadows.",
                    wanted);
        return;
    }
    logMessagef("Warning: The graphics driver cannot make shadow maps of %u pixels; using %u.", wanted, fitted);
    if (gameSettings)
        setSettingInt("Graphics_ShadowQuality", static_cast<int>(fitted));
}

video::ITexture* EffectHandler::getPlaneReflectionTexture() {
    if (!planeReflectionPool.empty()) {
        video::ITexture* reused = planeReflectionPool.back();
        planeReflectionPool.pop_back();
        return reused;
    }
    // A new target is the level load's: past its budget the object goes without (the budget
    // logs why).
    constexpr u32 side = 1024;
    if (!chargeLevelRenderTarget(core::dimension2du(side, side)))
        return nullptr;
    video::ITexture* target = device->getSceneManager()->getVideoDriver()->addRenderTargetTexture(
        core::dimension2du(side, side), "planeReflection", video::ECF_UNKNOWN);
    if (!target)
        logRepeatable("ERROR: Could not create reflection texture.");
    return target;
}

void EffectHandler::loadCausticsTextures() {
    video::IVideoDriver* videoDriver = device->getSceneManager()->getVideoDriver();
    for (int n = 1; n <= 32; ++n) {
        char path[64];
        std::snprintf(path, sizeof(path), "Content/Models/Editor/Caustics/test_%03d.jpg", n);
        causticsFrames.push_back(videoDriver->getTexture(path));
    }
    causticsLoaded = true;
}

video::ITexture* EffectHandler::getCausticsFrame() const {
    const std::size_t index = static_cast<std::size_t>(causticsPhase * 32.0f);
    return index < causticsFrames.size() ? causticsFrames[index] : nullptr;
}
