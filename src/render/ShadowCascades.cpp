// The cascade record and the effect handler's shadow pass: the shadow light, the shadow
// camera, one depth map per cascade drawn into the shadow atlas, and each caster's draw.
#include "render/ShadowCascades.h"
#include "render/ShadowMapCache.h"
#include "render/ShadowReceivers.h"

#include "render/EffectHandler.h"
#include "render/HardwareSkinning.h"
#include "render/HmdRenderer.h"
#include "render/LightManager.h"
#include "render/RenderServices.h"
#include "render/DrawnObjects.h"
#include "render/ShaderCallbacks.h"
#include "render/ShaderManager.h"
#include "render/TextureLayers.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/Log.h"
#include "core/ProgramQueries.h"
#include "level/NodeHelpers.h"
#include "level/SceneNodeTypes.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

using namespace irr;

namespace {

core::matrix4 zeroMatrix() {
    core::matrix4 m(core::matrix4::EM4CONST_NOTHING);
    for (int i = 0; i < 16; ++i)
        m[i] = 0.0f;
    return m;
}

core::matrix4 orthoProjection(f32 size, f32 nearValue, f32 farValue) {
    core::matrix4 m;
    m.buildProjectionMatrixOrthoLH(size, size, nearValue, farValue);
    return m;
}

} // namespace

ShadowCascades::ShadowCascades(scene::ICameraSceneNode* camera, s32 splits, f32 weight)
    : lightCamera(camera), splitCount(core::clamp(splits, 1, maxSplits)), splitWeight(weight) {
    for (core::vector3df& corner : corners)
        corner = core::vector3df(0, 0, 0);
    for (int k = 0; k < maxSplits; ++k) {
        lightProjections[k] = zeroMatrix();
        lightViews[k] = zeroMatrix();
    }
    if (lightCamera) {
        lightNear = lightCamera->getNearValue();
        lightFar = lightCamera->getFarValue();
    }
}

void ShadowCascades::computeSplitDistances(scene::ICameraSceneNode* viewer) {
    const s32 n = splitCount;
    splitDistances.assign(static_cast<std::size_t>(n + 1), 0.0f);
    const f32 nearValue = viewer->getNearValue();
    const f32 farValue = core::clamp(viewer->getFarValue(), 0.0f, 200.0f);
    splitWeight = core::clamp(splitWeight, 0.0f, 1.0f);
    const f32 lambda = splitWeight;
    for (s32 i = 0; i < n; ++i) {
        const f32 t = static_cast<f32>(i) / static_cast<f32>(n);
        const f32 logarithmic = nearValue > 0.0f ? nearValue * std::pow(farValue / nearValue, t) : 0.0f;
        splitDistances[i] = lambda * logarithmic + (1.0f - lambda) * (nearValue + t * (farValue - nearValue));
    }
    splitDistances[0] = nearValue;
    splitDistances[n] = farValue;
}

void ShadowCascades::computeSliceCorners(scene::ICameraSceneNode* viewer, s32 index, f32 scale) {
    currentIndex = core::clamp(index, 0, maxSplits - 1);
    if (splitDistances.size() < static_cast<std::size_t>(splitCount + 1))
        computeSplitDistances(viewer);
    const s32 k = core::min_(currentIndex, splitCount - 1);
    const core::vector3df p = viewer->getPosition();
    core::vector3df d = viewer->getTarget() - p;
    d.normalize();
    core::vector3df r = viewer->getUpVector().crossProduct(d);
    r.normalize();
    const core::vector3df u = d.crossProduct(r);
    const f32 tanHalf = std::tan(viewer->getFOV() * 0.5f);
    const f32 aspect = viewer->getAspectRatio();
    const f32 distances[2] = {splitDistances[k], splitDistances[k + 1]};
    for (int end = 0; end < 2; ++end) {
        const f32 z = distances[end];
        const f32 h = tanHalf * z;
        const f32 w = h * aspect;
        const core::vector3df c = p + d * z;
        core::vector3df* out = corners + end * 4;
        out[0] = c - r * w - u * h;
        out[1] = c - r * w + u * h;
        out[2] = c + r * w + u * h;
        out[3] = c + r * w - u * h;
    }
    core::vector3df centre(0, 0, 0);
    for (const core::vector3df& corner : corners)
        centre += corner;
    centre /= 8.0f;
    for (core::vector3df& corner : corners)
        corner += (corner - centre) * (scale - 1.0f);
}

bool ShadowCascades::computeCropMatrices(s32 index, f32 boundStep, f32 depthStep) {
    currentIndex = core::clamp(index, 0, maxSplits - 1);
    const s32 k = currentIndex;
    scene::ICameraSceneNode* light = lightCamera;
    light->setNearValue(lightNear);
    light->setFarValue(lightFar);
    light->render();
    const f32 size = light->getFOV();
    lightProjections[k] = orthoProjection(size, light->getNearValue(), light->getFarValue());
    lightViews[k] = light->getViewMatrix();
    const core::matrix4 m = lightProjections[k] * lightViews[k];
    f32 minX = 3.4028235e38f, maxX = -3.4028235e38f, minY = 3.4028235e38f, maxY = -3.4028235e38f, maxZ = 0.0f;
    for (const core::vector3df& corner : corners) {
        f32 out[4];
        m.transformVect(out, corner); // x, y, z, w of the point (w = 1)
        const f32 x = out[3] != 0.0f ? out[0] / out[3] : out[0];
        const f32 y = out[3] != 0.0f ? out[1] / out[3] : out[1];
        minX = core::min_(minX, x);
        maxX = core::max_(maxX, x);
        minY = core::min_(minY, y);
        maxY = core::max_(maxY, y);
        maxZ = core::max_(maxZ, out[2]);
    }
    if (boundStep > 0.0f) {
        minX = std::floor(minX / boundStep) * boundStep;
        minY = std::floor(minY / boundStep) * boundStep;
        maxX = std::ceil(maxX / boundStep) * boundStep;
        maxY = std::ceil(maxY / boundStep) * boundStep;
    }
    minX = core::clamp(minX, -1.0f, 1.0f);
    maxX = core::clamp(maxX, -1.0f, 1.0f);
    minY = core::clamp(minY, -1.0f, 1.0f);
    maxY = core::clamp(maxY, -1.0f, 1.0f);
    f32 zf = lightNear + maxZ + 1.5f;
    if (depthStep > 0.0f)
        zf = std::ceil(zf / depthStep) * depthStep;
    lightProjections[k] = orthoProjection(size, light->getNearValue(), light->getFarValue());
    lightViews[k] = light->getViewMatrix();
    // All corners beyond one side of the light's box: the crop would be unbounded, so the
    // slice keeps the whole box.
    const bool empty = maxX - minX <= 1e-6f || maxY - minY <= 1e-6f;
    if (!empty) {
        const f32 sx = 2.0f / (maxX - minX);
        const f32 sy = 2.0f / (maxY - minY);
        const f32 ox = -0.5f * (maxX + minX) * sx;
        const f32 oy = -0.5f * (maxY + minY) * sy;
        core::matrix4 crop;
        crop[0] = sx;
        crop[5] = sy;
        crop[12] = ox;
        crop[13] = oy;
        lightProjections[k] = crop * lightProjections[k];
    }
    lightProjections[k][10] /= zf;
    lightProjections[k][14] /= zf;
    // The light camera takes the cropped box, so that casters are culled against it.
    light->setProjectionMatrix(lightProjections[k], true);
    light->render();
    return !empty;
}

bool ShadowCascades::viewSectionInMap(s32 index, const core::matrix4& viewerProjection,
                                      const core::matrix4& viewerView, f32 nearDepth, f32 farDepth,
                                      core::vector2df out[8]) const {
    const core::matrix4& p = viewerProjection;
    // w = p[11] z and no skew: x and y of a point at a depth follow from its clip x and y.
    if (p[3] != 0.0f || p[7] != 0.0f || p[15] != 0.0f || p[11] <= 0.0f || p[1] != 0.0f || p[4] != 0.0f ||
        p[0] == 0.0f || p[5] == 0.0f || !(nearDepth >= 0.0f && farDepth > nearDepth))
        return false;
    core::matrix4 toWorld;
    if (!viewerView.getInverse(toWorld))
        return false;
    const s32 k = core::clamp(index, 0, maxSplits - 1);
    const core::matrix4 toMap = lightProjections[k] * lightViews[k];
    int n = 0;
    for (const f32 depth : {nearDepth, farDepth})
        for (const f32 x : {-1.0f, 1.0f})
            for (const f32 y : {-1.0f, 1.0f}) {
                const f32 z = depth / p[11];
                const core::vector3df inView((x * depth - p[8] * z - p[12]) / p[0],
                                             (y * depth - p[9] * z - p[13]) / p[5], z);
                core::vector3df world;
                toWorld.transformVect(world, inView);
                f32 m[4];
                toMap.transformVect(m, world);
                const f32 w = m[3] != 0.0f ? m[3] : 1.0f;
                out[n++] = core::vector2df(m[0] / w, m[1] / w);
            }
    return true;
}

// --- the effect handler's shadows ---------------------------------------------------------------

void EffectHandler::setShadowQuality(const core::vector3df& position, const core::vector3df& target) {
    shadowDistance = baseShadowDistance;
    s32 splits = 1;
    if (shadowDistanceMode == 2) {
        shadowDistance = baseShadowDistance * 2.5f;
        splits = 3;
    }
    const u32 resolution = gameSettings ? static_cast<u32>(std::max(0, getSettingInt("Graphics_ShadowQuality"))) : 0;
    shadowLights.clear();
    shadowLights.emplace_back(resolution, position, target, video::SColorf(1, 1, 1, 0), 1.0f, 300.0f, shadowDistance);
    shadowCascades.reset();
    scene::ISceneManager* scene = device->getSceneManager();
    scene::ICameraSceneNode* previousActive = scene->getActiveCamera();
    scene::ICameraSceneNode* camera =
        scene->addCameraSceneNode(nullptr, core::vector3df(0, 0, 0), core::vector3df(0, 10, 0), -1, false);
    if (scene->getActiveCamera() != previousActive)
        scene->setActiveCamera(previousActive);
    camera->setIsDebugObject(true);
    camera->setName("EffectHandler_ShadowCamera");
    camera->setNearValue(1.0f);
    camera->setFarValue(300.0f);
    camera->setFOV(shadowDistance);
    camera->setPosition(position);
    camera->setTarget(target);
    shadowCamera = camera;
    shadowCascades = std::make_unique<ShadowCascades>(shadowCamera, splits, 0.7f);
    shadowCache->forget();
    lightDirection = position - target;
}

video::ITexture* EffectHandler::getShadowReceiverTexture() {
    if (shadowLights.empty() || shadowLights[0].resolution == 0)
        return nullptr;
    return getShadowAtlasTexture(shadowLights[0].resolution);
}

void EffectHandler::bindShadowMaps(scene::ISceneNode* node) {
    video::ITexture* atlas = getShadowReceiverTexture();
    if (!node || !atlas)
        return;
    for (u32 i = 0; i < node->getMaterialCount(); ++i) {
        video::SMaterialLayer& layer = node->getMaterial(i).TextureLayer[textureLayer::shadowAtlas];
        layer.Texture = atlas;
        layer.BilinearFilter = false;
        layer.TrilinearFilter = false;
        layer.AnisotropicFilter = 0;
        layer.TextureWrapU = video::ETC_CLAMP_TO_EDGE;
        layer.TextureWrapV = video::ETC_CLAMP_TO_EDGE;
    }
}

namespace {

// The viewport of a region of cascade `cascade` in the atlas; the projection becomes the one
// that puts that part of the cascade onto the viewport.
core::recti shadowRegionViewport(const ShadowMapCache::Area& region, u32 resolution, s32 cascade,
                                 core::matrix4& projection) {
    const s32 side = static_cast<s32>(resolution);
    const s32 left = side * cascade;
    if (region.isWhole())
        return core::recti(left, 0, left + side, side);
    // Whole texels around the region and one more each side (edges the rasterizer reaches).
    const f32 half = static_cast<f32>(side) * 0.5f;
    const s32 x0 = core::clamp(static_cast<s32>(std::floor((region.minX + 1.0f) * half)) - 1, 0, side);
    const s32 x1 = core::clamp(static_cast<s32>(std::ceil((region.maxX + 1.0f) * half)) + 1, 0, side);
    const s32 top = core::clamp(static_cast<s32>(std::floor((1.0f - region.maxY) * half)) - 1, 0, side);
    const s32 bottom = core::clamp(static_cast<s32>(std::ceil((1.0f - region.minY) * half)) + 1, 0, side);
    if (x1 <= x0 || bottom <= top)
        return core::recti(left, 0, left + side, side);
    // The projection that puts those texels' part of the cascade onto the viewport.
    const f32 nx0 = static_cast<f32>(x0) / half - 1.0f, nx1 = static_cast<f32>(x1) / half - 1.0f;
    const f32 ny1 = 1.0f - static_cast<f32>(top) / half, ny0 = 1.0f - static_cast<f32>(bottom) / half;
    core::matrix4 crop;
    crop[0] = 2.0f / (nx1 - nx0);
    crop[5] = 2.0f / (ny1 - ny0);
    crop[12] = -(nx1 + nx0) / (nx1 - nx0);
    crop[13] = -(ny1 + ny0) / (ny1 - ny0);
    projection = crop * projection;
    return core::recti(left + x0, top, left + x1, bottom);
}

} // namespace

bool EffectHandler::shadowsReadByViewAlone() {
    if (extraScenePassesAsked > 0)
        framesWithoutExtraPass = 0;
    else if (framesWithoutExtraPass < extraPassQuietFrames)
        ++framesWithoutExtraPass;
    return !splitScreen && !hmdRenderer && framesWithoutExtraPass >= extraPassQuietFrames;
}

void EffectHandler::updateShadowCascades() {
    scene::ISceneManager* scene = device->getSceneManager();
    scene::ICameraSceneNode* viewer = scene->getActiveCamera();
    if (!shadowCamera || !viewer || !shadowCascades)
        return;
    const u32 now = device->getTimer()->getTime();
    viewer->OnRegisterSceneNode();
    viewer->OnAnimate(now);
    viewer->render();

    core::vector3df focus = viewer->getTarget();
    if (!isSimulationRunning()) {
        const core::vector3df eye = viewer->getAbsolutePosition();
        core::vector3df toTarget = viewer->getTarget() - eye;
        const f32 distance = toTarget.getLength();
        const core::vector3df direction = distance > 0.0f ? toTarget / distance : core::vector3df(0, 0, 0);
        focus = eye + direction * core::min_(distance, 100.0f);
    }
    // The light follows the focus in whole steps, and each cascade's crop widens to whole
    // steps: a viewer that moves a little leaves the maps as they are (only moving casters
    // are drawn again), where following it exactly drew every caster again every frame.
    focus.X = std::round(focus.X / shadowFocusStep) * shadowFocusStep;
    focus.Y = std::round(focus.Y / shadowFocusStep) * shadowFocusStep;
    focus.Z = std::round(focus.Z / shadowFocusStep) * shadowFocusStep;
    core::vector3df towardsLight = lightDirection;
    towardsLight.normalize();
    shadowCamera->setPosition(focus + towardsLight * 200.0f);
    shadowCamera->setTarget(focus);
    shadowCamera->OnAnimate(now);
    shadowCamera->updateAbsolutePosition();
    shadowCamera->render();

    ShadowCascades& cascades = *shadowCascades;
    cascades.computeSplitDistances(viewer);
    renderStage = 1;
    shadowCastersDrawn = 0;
    if (shadowLights.empty() || shadowNodes.empty()) {
        // Nothing to draw, and no target to clear (nothing reads one): a menu over a level
        // without casters costs no pass here.
        shadowCache->forget();
        shadowReceivers->forget();
        scene->setActiveCamera(viewer);
        return;
    }
    fitShadowResolution();
    const bool drawCasters = shadowsEnabled && levelShadowsEnabled && !shaderEffectsUnsupported;
    // The maps are kept between passes for the one light the game makes; with more (the
    // last one drawn wins) every pass draws them afresh.
    const ShadowLight& firstLight = shadowLights.front();
    ShadowMapCache::Setup setup;
    setup.resolution = firstLight.resolution;
    setup.target = firstLight.resolution ? getShadowAtlasTexture(firstLight.resolution) : nullptr;
    const bool keepMaps = shadowLights.size() == 1 && setup.target;
    if (!keepMaps)
        shadowCache->forget();
    setup.splitCount = cascades.splitCount;
    setup.distanceMode = shadowDistanceMode;
    setup.maxDepth = firstLight.farPlaneScale;
    setup.drawCasters = drawCasters;
    setup.hardwareSkinning = hardwareSkinning;
    shadowCache->beginPass(setup, shadowNodes);
    const u32 casterCount = drawCasters ? static_cast<u32>(shadowNodes.size()) : 0;

    // Where the casters can shadow, and which of them shadow anything at all (the others are
    // not drawn into the maps). A map is read up to 5 of its texels beside a point (2.5 off the
    // surface, then the taps around it); a cascade's texels are at most those of the light's
    // whole box.
    static const std::vector<ShadowNode> noCasters;
    const f32 texel = firstLight.resolution ? shadowDistance / static_cast<f32>(firstLight.resolution) : 0.0f;
    shadowReceivers->setCasters(drawCasters ? shadowNodes : noCasters, scene->getRootSceneNode(), -towardsLight,
                                5.0f * texel, focus, shadowDistance * 0.5f);

    // The cascades as the receivers' pixel stage reads them (by view depth).
    f32 depths[3];
    shaderSplitDistances(depths);
    // The view the scene pass will take: its viewport's camera when that is another one (a
    // camera switched this frame), whose section is not known here.
    const auto& viewportCamera = renderServices().cameras.viewportCamera;
    scene::ICameraSceneNode* scenePassCamera = viewportCamera ? viewportCamera(0) : nullptr;
    const bool viewAlone = shadowsReadByViewAlone() && (!scenePassCamera || scenePassCamera == viewer);

    // What each cascade must draw again: its matrices first, then the casters' footprints.
    ShadowMapCache::Area regions[ShadowCascades::maxSplits];
    bool everyCascadeWhole = true;
    const s32 splits = cascades.splitCount;
    for (s32 k = 0; k < splits; ++k) {
        cascades.computeSliceCorners(viewer, k, 1.1f);
        cascades.computeCropMatrices(k, shadowCropStep, shadowDepthStep);
        // Cascade k is read from the view depth where cascade k - 1 ends to its own end; a read
        // reaches 2.5 texels off its surface and a texel beside that (room for twice as much).
        ShadowMapCache::ReadArea* read = nullptr;
        core::vector2df section[8];
        const f32 readFrom = core::max_(k == 0 ? 0.0f : depths[k - 1], viewer->getNearValue());
        const f32 readTo = k < 3 ? core::min_(depths[k], viewer->getFarValue()) : 0.0f;
        if (viewAlone && firstLight.resolution &&
            cascades.viewSectionInMap(k, viewer->getProjectionMatrix(), viewer->getViewMatrix(), readFrom, readTo,
                                      section)) {
            shadowReadArea.enclose(section, 8);
            shadowReadArea.reach = 8.0f * 2.0f / static_cast<f32>(firstLight.resolution);
            read = &shadowReadArea;
        }
        const bool skipNonStatic = shadowDistanceMode == 2 && k > 1;
        shadowCasterDrawn.assign(casterCount, false);
        for (u32 entry = 0; entry < casterCount; ++entry) {
            bool instanced = false;
            shadowCasterDrawn[entry] =
                castsIntoMap(entry, skipNonStatic, instanced) && shadowReceivers->castsOntoAnything(entry);
        }
        const ShadowMapCache::Area bounds = shadowCache->beginCascade(k, cascades.lightProjections[k],
                                                                      cascades.lightViews[k], shadowCasterDrawn, read);
        regionParts[k] = shadowCache->dirtyAreas(k);
        f32 share = 0.0f;
        for (const ShadowMapCache::Area& part : regionParts[k])
            share += part.share();
        regions[k] = bounds;
        // Drawing most of a cascade costs as much as drawing all of it, and keeps its pixels
        // those of a whole draw.
        if (!keepMaps || share > 0.5f) {
            regions[k] = ShadowMapCache::Area::whole();
            regionParts[k].assign(1, regions[k]);
        }
        everyCascadeWhole = everyCascadeWhole && regions[k].isWhole();
    }
    receiverCascades.clear();
    f32 from = 0.0f;
    for (s32 k = 0; k < 3 && k < cascades.splitCount && depths[k] > 0.0f; ++k) {
        ShadowReceivers::Cascade cascade;
        cascade.viewProjection = cascades.lightProjections[k] * cascades.lightViews[k];
        cascade.nearDepth = from;
        cascade.farDepth = depths[k];
        receiverCascades.push_back(cascade);
        from = depths[k];
    }
    shadowReceivers->setCascades(receiverCascades);

    bool targetSelected = false;
    for (s32 k = 0; k < splits; ++k) {
        const core::matrix4& projection = cascades.lightProjections[k];
        const core::matrix4& view = cascades.lightViews[k];
        for (ShadowLight& light : shadowLights) {
            maxDepth = light.farPlaneScale;
            for (DepthShaderCallback* callback : {depthCallback, skinnedDepthCallback, instancedDepthCallback})
                if (callback) {
                    callback->farValue = maxDepth;
                    callback->packDepth = true;
                }
            light.viewMatrix = view;
            core::matrix4 inverse;
            const f64 determinant =
                view[0] * (static_cast<f64>(view[5]) * view[10] - static_cast<f64>(view[6]) * view[9]) -
                view[4] * (static_cast<f64>(view[1]) * view[10] - static_cast<f64>(view[2]) * view[9]) +
                view[8] * (static_cast<f64>(view[1]) * view[6] - static_cast<f64>(view[2]) * view[5]);
            light.position = std::fabs(determinant) > FLT_MIN && view.getInverse(inverse) ? inverse.getTranslation()
                                                                                          : core::vector3df(0, 0, 0);
            light.projectionMatrix = projection;
            video::ITexture* target = light.resolution ? getShadowAtlasTexture(light.resolution) : nullptr;
            shadowMaps[k] = target;
            if (regions[k].empty())
                continue;
            // The cascades share one atlas, cascade k in its third. A pass that draws every
            // cascade whole clears the atlas once; else each region is cleared by itself.
            const bool clearWhole = everyCascadeWhole && (k == 0 || !target);
            if (!targetSelected || clearWhole || !target)
                driver->setRenderTarget(target, clearWhole, clearWhole, video::SColor(255, 255, 255, 255));
            targetSelected = true;
            for (const ShadowMapCache::Area& region : regionParts[k]) {
                core::matrix4 regionProjection = projection;
                if (target) {
                    driver->setViewPort(shadowRegionViewport(region, light.resolution, k, regionProjection));
                    if (!everyCascadeWhole)
                        clearShadowViewport();
                }
                // The light camera takes the cascade's box, so that casters are culled against
                // it; the driver draws the region.
                shadowCamera->setProjectionMatrix(projection, true);
                shadowCamera->render();
                driver->setTransform(video::ETS_VIEW, view);
                driver->setTransform(video::ETS_PROJECTION, regionProjection);
                for (u32 entry = 0; entry < casterCount; ++entry)
                    if (shadowCache->footprint(entry, k).overlaps(region))
                        renderShadowCaster(entry, shadowCamera, shadowDistanceMode == 2 && k > 1);
            }
        }
    }
    shadowCache->endPass();
    // The other depth passes (the post-processing depth target) keep float depths.
    for (DepthShaderCallback* callback : {depthCallback, skinnedDepthCallback, instancedDepthCallback})
        if (callback)
            callback->packDepth = false;
    // Back to the screen, whole: the render callbacks that follow draw with their own
    // targets and must not inherit a cascade's viewport.
    driver->setRenderTarget(nullptr, false, false);
    const core::dimension2du screen = driver->getScreenSize();
    driver->setViewPort(core::recti(0, 0, static_cast<s32>(screen.Width), static_cast<s32>(screen.Height)));
    scene->setActiveCamera(viewer);
}

void EffectHandler::clearShadowViewport() {
    // A quad over the viewport at the far depth, written whatever lies there: what clearing
    // the whole target to white does, for a part of it.
    // Made once, with its texture matrices: the driver would make them anew on every switch.
    static const video::SMaterial material = [] {
        video::SMaterial made;
        made.Lighting = false;
        made.ZBuffer = video::ECFN_ALWAYS;
        made.ZWriteEnable = true;
        made.BackfaceCulling = false;
        made.MaterialType = video::EMT_SOLID;
        for (u32 layer = 0; layer < video::MATERIAL_MAX_TEXTURES; ++layer)
            made.getTextureMatrix(layer);
        return made;
    }();
    const video::SColor white(255, 255, 255, 255);
    const video::S3DVertex corners[4] = {
        video::S3DVertex(-1.0f, -1.0f, 1.0f, 0, 0, -1, white, 0, 1), video::S3DVertex(-1.0f, 1.0f, 1.0f, 0, 0, -1, white, 0, 0),
        video::S3DVertex(1.0f, 1.0f, 1.0f, 0, 0, -1, white, 1, 0), video::S3DVertex(1.0f, -1.0f, 1.0f, 0, 0, -1, white, 1, 1)};
    const u16 indices[6] = {0, 1, 2, 0, 2, 3};
    const core::matrix4 identity;
    driver->setTransform(video::ETS_WORLD, identity);
    driver->setTransform(video::ETS_VIEW, identity);
    driver->setTransform(video::ETS_PROJECTION, identity);
    driver->setMaterial(material);
    driver->drawVertexPrimitiveList(corners, 4, indices, 2, video::EVT_STANDARD, scene::EPT_TRIANGLES, video::EIT_16BIT);
}

bool EffectHandler::castsIntoMap(u32 entry, bool skipNonStatic, bool& instanced) {
    instanced = false;
    if (entry >= shadowNodes.size())
        return false;
    const ShadowNode& caster = shadowNodes[entry];
    if (!caster.node || (caster.mode != 1 && caster.mode != 2))
        return false;
    scene::ISceneNode* node = caster.node;
    if (scene::ISceneNode* owner = shadowCasterOwner(node)) {
        if (isDrawnAsInstance(owner))
            return false;
        instanceTransforms.clear();
        instanced = readInstanceTransforms(node, instanceTransforms) && instanceTransforms.size() > 1;
        if (skipNonStatic && isMovingObject(owner))
            return false;
    }
    return instanced || node->isTrulyVisible();
}

void EffectHandler::renderShadowCaster(u32 entry, scene::ICameraSceneNode* lightCamera, bool skipNonStatic) {
    bool instanced = false;
    if (!castsIntoMap(entry, skipNonStatic, instanced))
        return;
    scene::ISceneNode* node = shadowNodes[entry].node;
    scene::ISceneManager* scene = device->getSceneManager();
    scene->setActiveCamera(lightCamera);
    if (scene->isCulled(node))
        return;

    const u32 materials = node->getMaterialCount();
    if (savedMaterialTypes.size() < materials) {
        savedMaterialTypes.resize(materials);
        savedDepthWrites.resize(materials);
        savedShadowTextures.resize(materials);
    }
    const bool skinned = node->getType() == scene::ESNT_ANIMATED_MESH &&
                         static_cast<scene::IAnimatedMeshSceneNode*>(node)->getJointCount() > 0 && hardwareSkinning &&
                         isMeshSkinnedByShaders(skinnedMeshOf(node));
    const std::vector<s32>* transparent = shaderManager ? &shaderManager->transparentVariantMaterials : nullptr;
    for (u32 i = 0; i < materials; ++i) {
        video::SMaterial& material = node->getMaterial(i);
        savedMaterialTypes[i] = material.MaterialType;
        savedDepthWrites[i] = material.ZWriteEnable;
        const s32 type = material.MaterialType;
        const bool alphaTested = type == video::EMT_TRANSPARENT_ALPHA_CHANNEL_REF ||
                                 (transparent && std::find(transparent->begin(), transparent->end(), type) != transparent->end());
        s32 depthType = alphaTested ? depthAlphaMaterial : depthMaterial;
        if (instanced)
            depthType = alphaTested ? instancedDepthAlphaMaterial : instancedDepthMaterial;
        else if (skinned)
            depthType = alphaTested ? skinnedDepthAlphaMaterial : skinnedDepthMaterial;
        material.MaterialType = static_cast<video::E_MATERIAL_TYPE>(depthType);
        material.ZWriteEnable = true;
        // The caster must not read the atlas it draws into; its binding comes back after.
        savedShadowTextures[i] = material.TextureLayer[textureLayer::shadowAtlas].Texture;
        material.TextureLayer[textureLayer::shadowAtlas].Texture = nullptr;
    }
    casterBeingDrawn = node;
    node->render();
    casterBeingDrawn = nullptr;
    ++shadowCastersDrawn;
    for (u32 i = 0; i < materials; ++i) {
        video::SMaterial& material = node->getMaterial(i);
        material.MaterialType = static_cast<video::E_MATERIAL_TYPE>(savedMaterialTypes[i]);
        material.ZWriteEnable = savedDepthWrites[i];
        material.TextureLayer[textureLayer::shadowAtlas].Texture = savedShadowTextures[i];
    }
}
