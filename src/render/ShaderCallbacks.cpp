#include "render/ShaderCallbacks.h"

#include "render/EffectHandler.h"
#include "render/LightManager.h"
#include "render/ShaderManager.h"
#include "render/ShaderUniforms.h"
#include "render/MeshShape.h"
#include "render/ShadowCascades.h"
#include "render/TextureLayers.h"
#include "render/WaterObject.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/ProgramQueries.h"
#include "level/LevelManager.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace irr;

f32 currentMeterValue = 0.0f;
f32 currentMeterAlpha = 1.0f;
f32 currentClipPlane[4] = {0.0f, 0.0f, 0.0f, 0.0f};

ShadowConstants& shadowConstants() {
    static ShadowConstants constants;
    return constants;
}

void colorToFloat4(video::SColor colour, f32 out[4]) {
    out[0] = static_cast<f32>(colour.getRed()) / 255.0f;
    out[1] = static_cast<f32>(colour.getGreen()) / 255.0f;
    out[2] = static_cast<f32>(colour.getBlue()) / 255.0f;
    out[3] = static_cast<f32>(colour.getAlpha()) / 255.0f;
}

bool highlightModeColour(s32 mode, f32 flashTime, f32 out[4]) {
    static const f32 colours[6][4] = {{0.3f, 1.0f, 0.3f, 1.0f},  {0.3f, 1.0f, 0.75f, 1.0f}, {1.0f, 1.0f, 1.0f, 0.5f},
                                      {1.0f, 0.3f, 0.3f, 1.0f},  {0.5f, 0.0f, 1.0f, 1.0f},  {0.75f, 0.75f, 0.2f, 1.0f}};
    if (mode < 1 || mode > 6)
        return false;
    const f32 scale = mode == 5 ? flashTime * 0.5f : 1.0f;
    for (int i = 0; i < 4; ++i)
        out[i] = colours[mode - 1][i] * scale;
    return true;
}

LightRecord defaultLightRecord() {
    return LightRecord{{0, 0, 0, 1, 10000, 10000, 10000, 1, 0, 0, 1, 1, 0.5f, 0, 0, 1, 0, 0, 5, 1}};
}

void buildLightRecord(const video::SLight& light, LightRecord& record) {
    f32* r = record.rows;
    r[0] = light.DiffuseColor.r;
    r[1] = light.DiffuseColor.g;
    r[2] = light.DiffuseColor.b;
    r[3] = light.DiffuseColor.a;
    r[4] = light.Position.X;
    r[5] = light.Position.Y;
    r[6] = light.Position.Z;
    r[7] = light.Type == video::ELT_POINT ? 1.0f : light.Type == video::ELT_SPOT ? -1.0f : 0.0f;
    r[8] = light.Direction.X;
    r[9] = light.Direction.Y;
    r[10] = light.Direction.Z;
    r[11] = 1.0f;
    r[12] = light.Attenuation.X;
    r[13] = light.Attenuation.Y;
    r[14] = light.Attenuation.Z;
    r[15] = 1.0f;
    if (light.Type == video::ELT_SPOT) {
        r[16] = std::cos(light.InnerCone * core::DEGTORAD * 0.5f);
        r[17] = std::cos(light.OuterCone * core::DEGTORAD * 0.5f);
    }
    r[18] = light.Falloff;
    r[19] = light.Radius * 1.5f;
}

core::matrix4 worldViewProjection(video::IVideoDriver* driver) {
    core::matrix4 result = driver->getTransform(video::ETS_PROJECTION);
    result *= driver->getTransform(video::ETS_VIEW);
    result *= driver->getTransform(video::ETS_WORLD);
    return result;
}

const char* arrayConstantName(const char* bare, const char* indexed) {
    return shaderManager && shaderManager->useIndexedArrayNames ? indexed : bare;
}

namespace {

bool isOpenGL(video::IVideoDriver* driver) { return driver->getDriverType() == video::EDT_OPENGL; }

void sendInt(video::IMaterialRendererServices* services, const char* name, s32 value) {
    shaderUniforms().send(services, name, &value, 1);
}
bool sendVertex(video::IMaterialRendererServices* services, const char* name, const f32* values, int count) {
    return shaderUniforms().send(services, name, values, count, false);
}
bool sendPixel(video::IMaterialRendererServices* services, const char* name, const f32* values, int count) {
    return shaderUniforms().send(services, name, values, count, true);
}
void sendVertexFloat(video::IMaterialRendererServices* services, const char* name, f32 value) {
    shaderUniforms().send(services, name, &value, 1, false);
}
void sendPixelFloat(video::IMaterialRendererServices* services, const char* name, f32 value) {
    shaderUniforms().send(services, name, &value, 1, true);
}

scene::ISceneNode* drawnSceneNode() { return lightManager ? lightManager->currentNode : nullptr; }

core::vector3df activeCameraPosition(bool absolute) {
    scene::ICameraSceneNode* camera = gameDevice ? gameDevice->getSceneManager()->getActiveCamera() : nullptr;
    if (!camera)
        return core::vector3df();
    return absolute ? camera->getAbsolutePosition() : camera->getPosition();
}

// The working records of setLights, kept for the whole process.
LightRecord workingLightRecords[maxLightRecords];

bool shaderShadowsSwitchedOn() {
    return physicsManager && isSimulationRunning() && effectHandler && effectHandler->shadowsEnabled &&
           effectHandler->levelShadowsEnabled;
}

// The shadow switch of a draw; `object` is the drawn node's object or null.
bool drawReceivesShadows(scene::ISceneNode* object, const ShadedObjectState& state) {
    return shaderShadowsSwitchedOn() && !(object && !state.receiveShadow);
}

bool drawHasRim(scene::ISceneNode* object, const ShadedObjectState& state) { return object && state.rimShading; }

f32 specularIntensity(const video::SMaterial& material) {
    return material.Shininess != 0.0f ? static_cast<f32>(material.SpecularColor.getRed()) / 255.0f : 0.0f;
}

// The fog the pixel stage is sent: linear, from start to end (both far away when the
// driver's range fog is off).
struct PhongFog {
    video::SColor colour;
    f32 start = 0.0f;
    f32 end = 0.0f;
    // The shader's own test.
    bool isOn() const { return end > start && start < 999999.0f; }
};

PhongFog readPhongFog(video::IVideoDriver* driver) {
    PhongFog fog;
    video::E_FOG_TYPE type = video::EFT_FOG_LINEAR;
    f32 density = 0.0f;
    bool pixelFog = false, rangeFog = false;
    driver->getFog(fog.colour, type, fog.start, fog.end, density, pixelFog, rangeFog);
    if (!rangeFog)
        fog.start = fog.end = 1000000.0f;
    return fog;
}

// How many light records a Phong draw is sent (`perObject`) and how many of them are chosen
// lights.
u32 chosenLightCount(u32& perObject) {
    perObject = lightManager ? lightManager->maxLightsPerNode : 4;
    if (shaderManager && shaderManager->graphicsQuality == 1)
        perObject = 1;
    // The shaders hold eight records at most; a level that asks for no lights sends none.
    perObject = core::min_(perObject, maxLightRecords);
    return lightManager ? core::min_(perObject, lightManager->candidateLights.size()) : 0;
}

} // namespace

void shaderSplitDistances(f32 out[3]) {
    out[0] = out[1] = out[2] = 0.0f;
    if (!effectHandler || !effectHandler->shadowCascades)
        return;
    const std::vector<f32>& s = effectHandler->shadowCascades->splitDistances;
    auto at = [&](std::size_t i) { return i < s.size() ? s[i] : (s.empty() ? 0.0f : s.back()); };
    out[0] = at(1) * 1.5f;
    out[1] = at(2) * 1.5f;
    out[2] = at(3);
    if (effectHandler->shadowDistanceMode == 1)
        out[1] = out[2] = -1.0f;
}

void updateShadowConstants() {
    if (!gameDevice)
        return;
    ShadowConstants& constants = shadowConstants();
    video::IVideoDriver* driver = gameDevice->getVideoDriver();
    constants.cameraViewProj = driver->getTransform(video::ETS_PROJECTION) * driver->getTransform(video::ETS_VIEW);
    if (!shaderManager || shaderManager->shaderLevel <= 2 || !effectHandler)
        return;
    const EffectHandler& handler = *effectHandler;
    auto cascadeMatrix = [&](int k) {
        if (handler.shadowCascades)
            return handler.shadowCascades->lightProjections[k] * handler.shadowCascades->lightViews[k];
        if (!handler.shadowLights.empty())
            return handler.shadowLights[0].projectionMatrix * handler.shadowLights[0].viewMatrix;
        return handler.fallbackShadowMatrix * handler.fallbackShadowMatrix;
    };
    constants.cascadeViewProj[0] = cascadeMatrix(0);
    if (getSettingInt("Graphics_ShadowDistance") == 2) {
        constants.cascadeViewProj[1] = cascadeMatrix(1);
        constants.cascadeViewProj[2] = cascadeMatrix(2);
    }
}

// --- lights ------------------------------------------------------------------------------------

void PhongShaderCallback::setLights(video::IMaterialRendererServices* services, LightRecord records[maxLightRecords]) {
    const bool openGL = isOpenGL(services->getVideoDriver());
    u32 perObject = 0;
    const u32 chosen = chosenLightCount(perObject);
    if (openGL)
        for (u32 i = 0; i < perObject; ++i)
            workingLightRecords[i] = defaultLightRecord();
    const video::E_LIGHT_TYPE order[3] = {video::ELT_DIRECTIONAL, video::ELT_POINT, video::ELT_SPOT};
    s32 counts[3] = {0, 0, 0};
    u32 filled = 0;
    for (int pass = 0; pass < 3; ++pass)
        for (u32 i = 0; i < chosen && filled < perObject; ++i) {
            const video::SLight& light = lightManager->candidateLight(i)->getLightData();
            if (light.Type != order[pass])
                continue;
            buildLightRecord(light, workingLightRecords[filled++]);
            ++counts[pass];
        }
    for (u32 i = 0; i < maxLightRecords; ++i)
        records[i] = workingLightRecords[i];
    if (!openGL)
        return;
    const s32 values[6] = {0, counts[0], counts[0], counts[1], counts[0] + counts[1], counts[2]};
    const char* names[6] = {"iLightDirIni", "iLightDirNum", "iLightPointIni", "iLightPointNum", "iLightSpotIni",
                            "iLightSpotNum"};
    for (int i = 0; i < 6; ++i)
        sendInt(services, names[i], values[i]);
    if (perObject > 0)
        sendPixel(services, arrayConstantName("lights", "lights[0]"), records[0].rows, static_cast<int>(perObject * 20));
}

// --- specialised Phong programs -----------------------------------------------------------------

namespace {
// The physics object behind a drawn node (null for none) and what the shaders read of it.
scene::ISceneNode* shadedObjectOf(scene::ISceneNode* node, ShadedObjectState& state) {
    scene::ISceneNode* object = nullptr;
    scene::ISceneNode* meshNode = nullptr;
    isAnimatedMeshOwnerType(node, object, meshNode);
    state = ShadedObjectState{};
    if (object && !readShadedObjectState(object, state))
        state = ShadedObjectState{};
    return object;
}
} // namespace

bool phongNodeReceivesShadows(scene::ISceneNode* node) {
    ShadedObjectState state;
    scene::ISceneNode* object = shadedObjectOf(node, state);
    return drawReceivesShadows(object, state);
}

u32 phongNodePixelFeatures(scene::ISceneNode* node) {
    ShadedObjectState state;
    scene::ISceneNode* object = shadedObjectOf(node, state);
    u32 features = 0;
    if (!drawReceivesShadows(object, state))
        features |= phongPixelFeature::noShadows;
    else if (effectHandler->shadowDistanceMode == 1)
        features |= phongPixelFeature::oneCascade; // the second and third split are -1
    if (!drawHasRim(object, state))
        features |= phongPixelFeature::noRim;
    // The fog is sent at quality 0 only; elsewhere the general program keeps what it had.
    if (gameDevice && shaderManager && shaderManager->graphicsQuality == 0 &&
        !readPhongFog(gameDevice->getVideoDriver()).isOn())
        features |= phongPixelFeature::noFog;
    u32 perObject = 0;
    const u32 chosen = chosenLightCount(perObject);
    bool pointLightsOnly = true;
    for (u32 i = 0; i < chosen && pointLightsOnly; ++i)
        pointLightsOnly = lightManager->candidateLight(i)->getLightData().Type == video::ELT_POINT;
    if (pointLightsOnly)
        features |= phongPixelFeature::pointLightsOnly;
    return features;
}

u32 phongMaterialPixelFeatures(const video::SMaterial& material) {
    return specularIntensity(material) <= 0.0f ? phongPixelFeature::noSpecular : 0u;
}

std::string phongPixelFeatureDefines(u32 features) {
    static const char* const lines[7] = {"#define NO_SHADOWS \n",       "#define NO_FOG \n",
                                         "#define NO_RIM \n",           "#define NO_SPECULAR \n",
                                         "#define POINT_LIGHTS_ONLY \n", "#define NO_SHADOW_LOOKUP \n",
                                         "#define ONE_CASCADE \n"};
    std::string defines;
    for (u32 bit = 0; bit < 7; ++bit)
        if (features & (1u << bit))
            defines += lines[bit];
    return defines;
}

// --- Phong --------------------------------------------------------------------------------------

PhongShaderCallback::PhongShaderCallback() {
    for (LightRecord& record : lightRecords) {
        record = defaultLightRecord();
        record.rows[1] = 0.5f; // green until the first lights arrive
    }
}

void PhongShaderCallback::OnSetConstants(video::IMaterialRendererServices* services, s32 userData) {
    level = shaderManager ? shaderManager->shaderLevel : 0;
    if (level < 2)
        return;
    const s32 flags = userData;
    const bool openGL = isOpenGL(services->getVideoDriver());

    drawnNode = drawnSceneNode();
    drawnObject = nullptr;
    meshNode = nullptr;
    isAnimatedMeshOwnerType(drawnNode, drawnObject, meshNode);
    objectState = ShadedObjectState{};
    if (drawnObject && !readShadedObjectState(drawnObject, objectState))
        objectState = ShadedObjectState{};

    if (level > 2)
        sendShadowMapConstants(services);
    sendSwitches(services, openGL);
    if (flags & shaderFlag::skinning)
        sendJointTransforms(services);
    const bool instanced = sendInstanceTransforms(services, flags);
    sendMaterialFlags(services, openGL);
    sendMatrices(services, flags, instanced);
    sendMaterialInformation(services);
    f32 highlight[4];
    if ((flags & shaderFlag::highlight) && drawnObject &&
        highlightModeColour(objectState.highlightMode, objectState.highlightFlashTime, highlight))
        sendPixel(services, "mHighlightColor", highlight, 4);
    else if ((flags & shaderFlag::highlight) && drawnObject && objectState.highlightMode != 0) {
        const f32 none[4] = {0, 0, 0, 1};
        sendPixel(services, "mHighlightColor", none, 4);
    }
    setFog(services);
    if (openGL)
        sendVertex(services, "mClipPlane", currentClipPlane, 4);
}

void PhongShaderCallback::sendShadowMapConstants(video::IMaterialRendererServices* services) {
    if (!effectHandler || effectHandler->shadowLights.empty())
        return;
    const ShadowLight& light = effectHandler->shadowLights[0];
    sendVertexFloat(services, "mMaxD", light.farPlaneScale);
    sendVertexFloat(services, "mMAPRES", light.resolution ? 1.0f / static_cast<f32>(light.resolution) : 0.0f);
}

void PhongShaderCallback::sendSwitches(video::IMaterialRendererServices* services, bool openGL) {
    (void)openGL;
    setLights(services, lightRecords);
    sendPixelFloat(services, "mLightingEnabled", currentMaterial && currentMaterial->Lighting ? 1.0f : 0.0f);
    const bool shadows = drawReceivesShadows(drawnObject, objectState);
    if (shaderManager && shaderManager->graphicsQuality == 0) {
        sendPixelFloat(services, "mShadowsEnabled", shadows ? 1.0f : 0.0f);
        if (shadows) {
            sendPixelFloat(services, "mSmoothNormals", followsShadingNormals(drawnNode) ? 1.0f : 0.0f);
            sendVertexFloat(services, "mTwoSided", currentMaterial && !currentMaterial->BackfaceCulling ? 1.0f : 0.0f);
        }
    }
}

void PhongShaderCallback::sendJointTransforms(video::IMaterialRendererServices* services) {
    if (!effectHandler || !effectHandler->hardwareSkinning || level < 3)
        return;
    u32 count = 0;
    const f32* rows = jointRowsForDrawnNode(drawnNode, count, jointRows);
    sendVertexFloat(services, "mSkinned", rows ? 1.0f : 0.0f);
    if (!rows)
        return;
    if (rows != jointRows.rows) {
        std::copy(rows, rows + count * 12, jointRows.rows);
        std::fill(jointRows.rows + count * 12, jointRows.rows + jointRowFloats, 0.0f);
    }
    sendVertex(services, arrayConstantName("mJointTransform", "mJointTransform[0]"), jointRows.rows,
               static_cast<int>(jointRowFloats));
}

bool PhongShaderCallback::sendInstanceTransforms(video::IMaterialRendererServices* services, s32 flags) {
    if (!effectHandler || !effectHandler->instancing || !isSimulationRunning() || level < 3 ||
        !(flags & shaderFlag::instancing) || !drawnObject)
        return false;
    static std::vector<core::matrix4> transforms;
    transforms.clear();
    if (!readInstanceTransforms(drawnNode, transforms) || transforms.size() < 2)
        return false;
    sendVertex(services, "mWorldViewProj", shadowConstants().cameraViewProj.pointer(), 16);
    std::fill(std::begin(jointRows.rows), std::end(jointRows.rows), 0.0f);
    const std::size_t slots = std::min<std::size_t>(transforms.size(), maxHardwareJoints);
    for (std::size_t i = 0; i < slots; ++i)
        matrixToJointRows(transforms[i], jointRows.rows + i * 12);
    sendVertex(services, arrayConstantName("mJointTransform", "mJointTransform[0]"), jointRows.rows,
               static_cast<int>(jointRowFloats));
    return true;
}

void PhongShaderCallback::sendMaterialFlags(video::IMaterialRendererServices* services, bool openGL) {
    if (level <= 2)
        return;
    if (openGL) {
        // The design's eight sampler names on this engine's four layers (the specular map
        // has no layer here and is not sent).
        const struct {
            const char* name;
            u32 designLayer;
        } samplers[] = {{"diffuseSampler", designLayer::diffuse},       {"NormalMapSampler", designLayer::normalMap},
                        {"SpecularMapSampler", designLayer::specularMap}, {"LightMapSampler", designLayer::lightMap},
                        {"ShadowMapSampler", designLayer::shadowMap0},   {"ReflectionMapSampler", designLayer::reflection},
                        {"ShadowMapSampler2", designLayer::shadowMap1},  {"ShadowMapSampler3", designLayer::shadowMap2}};
        for (const auto& sampler : samplers)
            if (textureLayerFor(sampler.designLayer) != textureLayer::none)
                sendInt(services, sampler.name, static_cast<s32>(textureLayerFor(sampler.designLayer)));
    }
    f32 flags[4] = {0, 0, 0, drawHasRim(drawnObject, objectState) ? 1.0f : 0.0f};
    if (currentMaterial) {
        flags[0] = currentMaterial->getTexture(textureLayer::diffuse) ? 1.0f : 0.0f;
        flags[1] = currentMaterial->getTexture(textureLayer::normalMap) ? 1.0f : 0.0f;
        flags[2] = 0.0f; // no specular layer in this engine
    }
    if (!sendPixel(services, arrayConstantName("material", "material[0]"), flags, 4) && shaderManager)
        shaderManager->useIndexedArrayNames = !shaderManager->useIndexedArrayNames;
    // The texture transform of layer 0: scale, translation and rotation of its matrix.
    core::matrix4 texture;
    if (currentMaterial)
        texture = currentMaterial->getTextureMatrix(0);
    const f32 scaleU = std::sqrt(texture[0] * texture[0] + texture[1] * texture[1]);
    const f32 scaleV = std::sqrt(texture[4] * texture[4] + texture[5] * texture[5]);
    const f32 angle = std::atan2(texture[1], texture[0]);
    const f32 scale[2] = {scaleU, scaleV};
    const f32 translation[2] = {texture[8], texture[9]};
    const f32 rotate[2] = {angle != 0.0f ? std::cos(angle) : 1.0f, angle != 0.0f ? std::sin(angle) : 0.0f};
    sendVertex(services, "mTextureScale", scale, 2);
    sendVertex(services, "mTextureTranslation", translation, 2);
    sendVertex(services, "mTextureRotate", rotate, 2);
}

void PhongShaderCallback::sendMatrices(video::IMaterialRendererServices* services, s32 flags, bool instanced) {
    video::IVideoDriver* driver = services->getVideoDriver();
    const core::matrix4& world = driver->getTransform(video::ETS_WORLD);
    const ShadowConstants& constants = shadowConstants();
    if (!instanced) {
        sendVertex(services, "mWorld", world.pointer(), 16);
        sendVertex(services, "mWorldViewProj", (constants.cameraViewProj * world).pointer(), 16);
    }
    if (level <= 2)
        return;
    // The cascades take world positions: the vertex stage moves each off its surface along
    // the world normal first.
    const char* names[3] = {"mWorldViewProj2", "mShadowWorldViewProj2", "mShadowWorldViewProj3"};
    for (int k = 0; k < 3; ++k)
        sendVertex(services, names[k], constants.cascadeViewProj[k].pointer(), 16);
    f32 split[3];
    shaderSplitDistances(split);
    sendPixel(services, "mSplitDistance", split, 3);
    if (effectHandler && !effectHandler->shadowLights.empty())
        sendVertex(services, "sun.mSunPosition", &effectHandler->shadowLights[0].position.X, 3);
    if ((flags & shaderFlag::reflection) && drawnObject && objectState.hasReflectionView) {
        const core::matrix4 reflection = driver->getTransform(video::ETS_PROJECTION) * objectState.reflectionView * world;
        sendVertex(services, "mReflectionView", reflection.pointer(), 16);
    } else if (flags & shaderFlag::caustics) {
        core::matrix4 caustic;
        caustic.setRotationRadians(core::vector3df(10.0f, 10.0f, 10.0f) * core::DEGTORAD);
        sendVertex(services, "mCausticMatrix", caustic.pointer(), 16);
    }
}

void PhongShaderCallback::sendMaterialInformation(video::IMaterialRendererServices* services) {
    const video::SColorf scene =
        gameDevice ? gameDevice->getSceneManager()->getAmbientLight() : video::SColorf(0, 0, 0, 1);
    f32 emissive[4] = {0, 0, 0, 0};
    f32 diffuse[4] = {0, 0, 0, 1};
    f32 shininess = 0.0f;
    f32 intensity = 0.0f;
    if (currentMaterial) {
        colorToFloat4(currentMaterial->EmissiveColor, emissive);
        colorToFloat4(currentMaterial->DiffuseColor, diffuse);
        shininess = currentMaterial->Shininess;
        intensity = specularIntensity(*currentMaterial);
    }
    const f32 ambient[4] = {core::clamp(scene.r + emissive[0], 0.0f, 1.0f), core::clamp(scene.g + emissive[1], 0.0f, 1.0f),
                            core::clamp(scene.b + emissive[2], 0.0f, 1.0f), 1.0f};
    const core::vector3df camera = activeCameraPosition(true);
    sendPixel(services, "cinfo.mAmbientLightColor", ambient, 4);
    sendPixel(services, "cinfo.mDiffuseBaseColor", diffuse, 4);
    sendPixel(services, "cinfo.mCameraPosition", &camera.X, 3);
    sendPixelFloat(services, "cinfo.mAlphaOverride", drawnObject ? objectState.alpha : 1.0f);
    sendPixelFloat(services, "cinfo.mSpecularPower", shininess);
    sendPixelFloat(services, "cinfo.mSpecularIntensity", intensity);
}

void PhongShaderCallback::setFog(video::IMaterialRendererServices* services) {
    if (!shaderManager || shaderManager->graphicsQuality != 0)
        return;
    const PhongFog fog = readPhongFog(services->getVideoDriver());
    f32 colour[4];
    colorToFloat4(fog.colour, colour);
    colour[3] = 1.0f;
    sendPixel(services, "mFogColor", colour, 4);
    sendPixelFloat(services, "mFogStart", fog.start);
    sendPixelFloat(services, "mFogEnd", fog.end);
}

// --- the small callbacks ------------------------------------------------------------------------

void SkinningShaderCallback::OnSetConstants(video::IMaterialRendererServices* services, s32 userData) {
    (void)userData;
    video::IVideoDriver* driver = services->getVideoDriver();
    owner = nullptr;
    scene::ISceneNode* meshNode = nullptr;
    scene::ISceneNode* drawn = drawnSceneNode();
    isAnimatedMeshOwnerType(drawn, owner, meshNode);
    ShadedObjectState state;
    if (owner && !readShadedObjectState(owner, state))
        state = ShadedObjectState{};
    const f32 p = state.pulsePhase;
    sendPixelFloat(services, "mAlphaOverride", owner ? (p <= 0.5f ? p : 1.0f - p) : 1.0f);
    f32 highlight[4];
    if (owner && highlightModeColour(state.highlightMode, state.highlightFlashTime, highlight))
        sendPixel(services, "mHighlightColor", highlight, 4);
    const core::vector3df camera = activeCameraPosition(true);
    sendPixel(services, "mCameraPosition", &camera.X, 3);
    const core::matrix4& world = driver->getTransform(video::ETS_WORLD);
    sendVertex(services, "mWorld", world.pointer(), 16);
    viewProjection = driver->getTransform(video::ETS_PROJECTION) * driver->getTransform(video::ETS_VIEW);
    sendVertex(services, "mWorldViewProj", (viewProjection * world).pointer(), 16);
    u32 count = 0;
    const f32* rows = effectHandler && effectHandler->hardwareSkinning ? jointRowsForDrawnNode(drawn, count, jointRows)
                                                                      : nullptr;
    if (rows) {
        sendVertex(services, arrayConstantName("mJointTransform", "mJointTransform[0]"), rows,
                   static_cast<int>(count * 12));
        sendVertexFloat(services, "mSkinned", 1.0f);
    } else {
        sendVertexFloat(services, "mSkinned", 0.0f);
    }
    if (isOpenGL(driver))
        sendInt(services, "diffuseSampler", 0);
}

void CircleShaderCallback::OnSetConstants(video::IMaterialRendererServices* services, s32 userData) {
    (void)userData;
    const f32 aspect = screenHeight > 0 ? static_cast<f32>(screenWidth) / static_cast<f32>(screenHeight) : 1.0f;
    sendPixelFloat(services, "aspect", aspect);
    const f32 r = core::max_(aspect, aspect > 0.0f ? 1.0f / aspect : 0.0f) + 0.3f;
    const f32 transition = levelManager ? levelManager->loadingOverlay.getTransitionValue() : 0.0f;
    const f32 t = core::clamp(transition / 0.9f, 0.0f, 1.0f);
    f32 circleSize = (1.0f - t) * r;
    if (circleSize < 0.1f)
        circleSize = 0.0f;
    sendPixelFloat(services, "circleSize", circleSize);
    if (isOpenGL(services->getVideoDriver()))
        sendInt(services, "g_samSrcColor", 0);
}

void MeterShaderCallback::OnSetConstants(video::IMaterialRendererServices* services, s32 userData) {
    (void)userData;
    sendPixelFloat(services, "meterValue", currentMeterValue);
    sendPixelFloat(services, "meterAlpha", currentMeterAlpha);
    if (isOpenGL(services->getVideoDriver())) {
        sendInt(services, "diffuseSampler", 0);
        sendInt(services, "meterSample", 1);
    }
}

void AdditiveShaderCallback::OnSetConstants(video::IMaterialRendererServices* services, s32 userData) {
    (void)userData;
    video::IVideoDriver* driver = services->getVideoDriver();
    const bool openGL = isOpenGL(driver);
    if (openGL)
        sendPixelFloat(services, "diffuseSampler", 0.0f);
    scene::ISceneNode* node = drawnSceneNode();
    const bool particles = node && (node->getType() == typeId("ptcl") || node->getType() == typeId("psys"));
    sendVertex(services, "mWorldViewProj", worldViewProjection(driver).pointer(), 16);
    if (particles) {
        const bool additive = shaderManager && node->getMaterialCount() > 0 &&
                              node->getMaterial(0).MaterialType == shaderManager->particleAddMaterial;
        sendPixelFloat(services, "additive", additive ? 1.0f : 0.0f);
    }
    if (openGL)
        sendVertex(services, "mClipPlane", currentClipPlane, 4);
}

namespace {

// The water object whose mesh node is being drawn, or null.
WaterObject* waterOfDrawnNode() {
    scene::ISceneNode* node = drawnSceneNode();
    scene::ISceneNode* parent = node ? node->getParent() : nullptr;
    if (!parent || parent->getType() != typeId("wtr1") || !extrasOf(parent))
        return nullptr;
    return static_cast<WaterObject*>(parent);
}

} // namespace

void WaterShaderCallback::OnSetConstants(video::IMaterialRendererServices* services, s32 userData) {
    (void)userData;
    WaterObject* water = waterOfDrawnNode();
    if (!water)
        return;
    video::IVideoDriver* driver = services->getVideoDriver();
    const bool openGL = isOpenGL(driver);
    if (openGL)
        sendVertex(services, "mClipPlane", currentClipPlane, 4);
    const core::matrix4& projection = driver->getTransform(video::ETS_PROJECTION);
    const core::matrix4& world = driver->getTransform(video::ETS_WORLD);
    const core::matrix4 worldViewProj = worldViewProjection(driver);
    sendVertex(services, "WorldViewProj", worldViewProj.pointer(), 16);
    sendVertex(services, "WorldReflectionViewProj", (projection * water->reflectionViewMatrix * world).pointer(), 16);
    sendVertexFloat(services, "WaveLength", 0.1f);
    sendVertexFloat(services, "Time", static_cast<f32>(static_cast<f64>(water->getSceneTime()) / 100000.0));
    sendVertexFloat(services, "WindForce", water->WindForce);
    sendVertex(services, "WindDirection", &water->WindDirection.X, 2);
    const core::vector3df camera = activeCameraPosition(false);
    sendPixel(services, "CameraPosition", &camera.X, 3);
    sendPixelFloat(services, "WaveHeight", water->WaveHeight);
    const f32 colour[4] = {water->WaterColor.r, water->WaterColor.g, water->WaterColor.b, water->WaterColor.a};
    sendPixel(services, "WaterColor", colour, 4);
    sendPixelFloat(services, "ColorBlendFactor", water->ColorBlendFactor);
    // Without this frame's images (reflections switched off) the stand-in image is black:
    // the water colour takes its place.
    sendPixelFloat(services, "ReflectionEnabled", water->showsReflection() ? 1.0f : 0.0f);
    sendPixelFloat(services, "RefractionEnabled", water->showsRefraction() ? 1.0f : 0.0f);
    sendPixelFloat(services, "FresnelStrength", water->FresnelStrength);
    sendVertex(services, "TextureScale", &water->TextureScale.X, 2);
    sendPixelFloat(services, "ColorBlendFactor", water->ColorBlendFactor);
    if (openGL) {
        sendInt(services, "WaterBump", 0);
        sendInt(services, "RefractionMap", 1);
        sendInt(services, "ReflectionMap", 2);
    }
    // The surface's world position for the Fresnel term (the shader's own need).
    sendVertex(services, "mWorld", world.pointer(), 16);
    if (water->UseLighting) {
        PhongShaderCallback::setLights(services, lightRecords);
        sendVertex(services, "World", world.pointer(), 16);
    }
}
