#include "render/ShaderCallbacks.h"

#include "render/LightManager.h"
#include "render/ShaderManager.h"
#include "render/TextureLayers.h"
#include "render/WaterObject.h"

#include "core/Globals.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace irr;

f32 currentMeterValue = 0.0f;
f32 currentMeterAlpha = 1.0f;
f32 currentClipPlane[4] = {0.0f, 0.0f, 0.0f, 0.0f};

void colorToFloat4(video::SColor colour, f32 out[4]) {
    out[0] = static_cast<f32>(colour.getRed()) / 255.0f;
    out[1] = static_cast<f32>(colour.getGreen()) / 255.0f;
    out[2] = static_cast<f32>(colour.getBlue()) / 255.0f;
    out[3] = static_cast<f32>(colour.getAlpha()) / 255.0f;
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
    services->setPixelShaderConstant(name, &value, 1);
}

void sendTransforms(video::IMaterialRendererServices* services, bool withWorld) {
    video::IVideoDriver* driver = services->getVideoDriver();
    services->setVertexShaderConstant("mWorldViewProj", worldViewProjection(driver).pointer(), 16);
    if (withWorld)
        services->setVertexShaderConstant("mWorld", driver->getTransform(video::ETS_WORLD).pointer(), 16);
}

void sendClipPlane(video::IMaterialRendererServices* services) {
    if (isOpenGL(services->getVideoDriver()))
        services->setVertexShaderConstant("mClipPlane", currentClipPlane, 4);
}

// The working records of setLights, kept for the whole process.
LightRecord workingLightRecords[maxLightRecords];

} // namespace

namespace {

// The lights of the node being drawn, as the shaders take them: the records in the working
// array (directional lights first, then point, then spot lights) and the counts and starts
// of each type.
PhongShaderCallback::LightChoice chooseLights(bool openGL) {
    PhongShaderCallback::LightChoice choice;
    u32 perObject = lightManager ? lightManager->maxLightsPerNode : 4;
    if (shaderManager && shaderManager->graphicsQuality == 1)
        perObject = 1;
    perObject = core::min_(perObject, maxLightRecords);
    // The shaders hold at least one record; a level that asks for no lights sends none.
    choice.perObject = core::max_(perObject, 1u);
    const u32 chosen = lightManager ? core::min_(perObject, lightManager->candidateLights.size()) : 0;
    if (openGL)
        for (u32 i = 0; i < choice.perObject; ++i)
            workingLightRecords[i] = defaultLightRecord();
    const video::E_LIGHT_TYPE order[3] = {video::ELT_DIRECTIONAL, video::ELT_POINT, video::ELT_SPOT};
    s32 counts[3] = {0, 0, 0};
    u32 filled = 0;
    for (int pass = 0; pass < 3; ++pass)
        for (u32 i = 0; i < chosen && filled < choice.perObject; ++i) {
            const video::SLight& light = lightManager->candidateLight(i)->getLightData();
            if (light.Type != order[pass])
                continue;
            buildLightRecord(light, workingLightRecords[filled++]);
            ++counts[pass];
        }
    const s32 values[6] = {0, counts[0], counts[0], counts[1], counts[0] + counts[1], counts[2]};
    std::copy(values, values + 6, choice.counts);
    return choice;
}

void sendLightChoice(video::IMaterialRendererServices* services, const PhongShaderCallback::LightChoice& choice,
                     const LightRecord* records) {
    const char* names[6] = {"iLightDirIni", "iLightDirNum", "iLightPointIni", "iLightPointNum", "iLightSpotIni",
                            "iLightSpotNum"};
    for (int i = 0; i < 6; ++i)
        sendInt(services, names[i], choice.counts[i]);
    services->setPixelShaderConstant(arrayConstantName("lights", "lights[0]"), records[0].rows,
                                     static_cast<int>(choice.perObject * 20));
}

} // namespace

void PhongShaderCallback::setLights(video::IMaterialRendererServices* services,
                                    LightRecord records[maxLightRecords]) {
    const bool openGL = isOpenGL(services->getVideoDriver());
    const LightChoice choice = chooseLights(openGL);
    for (u32 i = 0; i < maxLightRecords; ++i)
        records[i] = workingLightRecords[i];
    if (openGL)
        sendLightChoice(services, choice, records);
}

void PhongShaderCallback::OnSetConstants(video::IMaterialRendererServices* services, s32 userData) {
    (void)userData;
    video::IVideoDriver* driver = services->getVideoDriver();
    const bool openGL = isOpenGL(driver);
    sendTransforms(services, true);
    // Each variant has its own callback and its own program, and a program keeps the values
    // of its constants: what did not change since this callback's last draw is not sent.
    const bool first = !sentOnce;
    sentOnce = true;
    if (openGL && first) {
        sendInt(services, "diffuseSampler", static_cast<s32>(textureLayer::diffuse));
        sendInt(services, "LightMapSampler", static_cast<s32>(textureLayer::lightMap));
        sendInt(services, "ShadowMapSampler", static_cast<s32>(textureLayer::shadowAtlas));
        sendInt(services, "ReflectionMapSampler", static_cast<s32>(textureLayer::reflection));
    }
    const f32 lighting = currentMaterial && currentMaterial->Lighting ? 1.0f : 0.0f;
    if (first || lighting != sent.lighting)
        services->setPixelShaderConstant("mLightingEnabled", &lighting, 1);
    sent.lighting = lighting;

    f32 flags[4] = {0, 0, 0, 0};
    if (currentMaterial)
        for (u32 layer = 0; layer < 3; ++layer)
            flags[layer] = currentMaterial->getTexture(layer) ? 1.0f : 0.0f;
    if (first || !std::equal(flags, flags + 4, sent.material)) {
        if (services->setPixelShaderConstant(arrayConstantName("material", "material[0]"), flags, 4)) {
            std::copy(flags, flags + 4, sent.material);
        } else {
            // The other form of the name is tried on the next draw.
            if (shaderManager)
                shaderManager->useIndexedArrayNames = !shaderManager->useIndexedArrayNames;
            sent.material[0] = -1.0f;
        }
    }

    const video::SColorf sceneAmbient =
        gameDevice ? gameDevice->getSceneManager()->getAmbientLight() : video::SColorf(0, 0, 0, 1);
    const f32 ambient[4] = {sceneAmbient.r, sceneAmbient.g, sceneAmbient.b, 1.0f};
    if (first || !std::equal(ambient, ambient + 4, sent.ambient)) {
        services->setPixelShaderConstant("mAmbientColor", ambient, 4);
        std::copy(ambient, ambient + 4, sent.ambient);
    }

    const LightChoice choice = chooseLights(openGL);
    const std::size_t recordBytes = choice.perObject * sizeof(LightRecord);
    const bool sameLights = !first && choice.perObject == sent.lights.perObject &&
                            std::equal(choice.counts, choice.counts + 6, sent.lights.counts) &&
                            std::memcmp(workingLightRecords, sent.records, recordBytes) == 0;
    if (openGL && !sameLights) {
        sendLightChoice(services, choice, workingLightRecords);
        sent.lights = choice;
        std::memcpy(sent.records, workingLightRecords, recordBytes);
    }
    // The Phong shaders clip through the driver's clip plane (gl_ClipVertex).
}

void SkinningShaderCallback::OnSetConstants(video::IMaterialRendererServices* services, s32 userData) {
    (void)userData;
    sendTransforms(services, true);
    if (isOpenGL(services->getVideoDriver()))
        sendInt(services, "diffuseSampler", 0);
}

void CircleShaderCallback::OnSetConstants(video::IMaterialRendererServices* services, s32 userData) {
    (void)userData;
    sendTransforms(services, false);
    const f32 aspect = screenHeight > 0 ? static_cast<f32>(screenWidth) / static_cast<f32>(screenHeight) : 1.0f;
    services->setPixelShaderConstant("aspectRatio", &aspect, 1);
}

void MeterShaderCallback::OnSetConstants(video::IMaterialRendererServices* services, s32 userData) {
    (void)userData;
    services->setPixelShaderConstant("meterValue", &currentMeterValue, 1);
    services->setPixelShaderConstant("meterAlpha", &currentMeterAlpha, 1);
    if (isOpenGL(services->getVideoDriver())) {
        sendInt(services, "diffuseSampler", 0);
        sendInt(services, "meterSample", 1);
    }
}

void AdditiveShaderCallback::OnSetConstants(video::IMaterialRendererServices* services, s32 userData) {
    (void)userData;
    sendTransforms(services, false);
    sendClipPlane(services);
    if (isOpenGL(services->getVideoDriver()))
        sendInt(services, "diffuseSampler", 0);
}

namespace {

// The water object whose mesh node is being drawn, or null.
WaterObject* waterOfDrawnNode() {
    scene::ISceneNode* node = lightManager ? lightManager->currentNode : nullptr;
    scene::ISceneNode* parent = node ? node->getParent() : nullptr;
    if (!parent || parent->getType() != typeId("wtr1") || !extrasOf(parent))
        return nullptr;
    return static_cast<WaterObject*>(parent);
}

} // namespace

void WaterShaderCallback::OnSetConstants(video::IMaterialRendererServices* services, s32 userData) {
    (void)userData;
    sendTransforms(services, true);
    sendClipPlane(services);
    video::IVideoDriver* driver = services->getVideoDriver();
    if (isOpenGL(driver)) {
        sendInt(services, "WaterBump", 0);
        sendInt(services, "RefractionMap", 1);
        sendInt(services, "ReflectionMap", 2);
    }
    WaterObject* water = waterOfDrawnNode();
    if (!water)
        return;
    const core::matrix4 reflected =
        driver->getTransform(video::ETS_PROJECTION) * water->reflectionViewMatrix * driver->getTransform(video::ETS_WORLD);
    services->setVertexShaderConstant("WorldViewProj", worldViewProjection(driver).pointer(), 16);
    services->setVertexShaderConstant("WorldReflectionViewProj", reflected.pointer(), 16);
    const f32 waveLength = 0.1f;
    const f32 time = static_cast<f32>(water->getSceneTime()) / 100000.0f;
    services->setVertexShaderConstant("WaveLength", &waveLength, 1);
    services->setVertexShaderConstant("Time", &time, 1);
    services->setVertexShaderConstant("WindForce", &water->WindForce, 1);
    services->setVertexShaderConstant("WindDirection", &water->WindDirection.X, 2);
    core::vector3df cameraPosition;
    if (scene::ICameraSceneNode* camera = water->getSceneManager()->getActiveCamera())
        cameraPosition = camera->getAbsolutePosition();
    services->setPixelShaderConstant("CameraPosition", &cameraPosition.X, 3);
    services->setPixelShaderConstant("WaveHeight", &water->WaveHeight, 1);
    const f32 colour[4] = {water->WaterColor.r, water->WaterColor.g, water->WaterColor.b, water->WaterColor.a};
    services->setPixelShaderConstant("WaterColor", colour, 4);
    services->setPixelShaderConstant("ColorBlendFactor", &water->ColorBlendFactor, 1);
    const f32 reflection = water->DisableReflection ? 0.0f : 1.0f;
    const f32 refraction = water->DisableRefraction ? 0.0f : 1.0f;
    services->setPixelShaderConstant("ReflectionEnabled", &reflection, 1);
    services->setPixelShaderConstant("RefractionEnabled", &refraction, 1);
    services->setPixelShaderConstant("FresnelStrength", &water->FresnelStrength, 1);
    services->setVertexShaderConstant("TextureScale", &water->TextureScale.X, 2);
    if (water->UseLighting) {
        services->setVertexShaderConstant("World", driver->getTransform(video::ETS_WORLD).pointer(), 16);
        PhongShaderCallback::setLights(services, workingLightRecords);
    }
}
