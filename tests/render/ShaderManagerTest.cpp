// The shader manager: feature flags to engine materials with every fallback, the texts a
// Phong variant is compiled from, and start-up on a driver without shaders.
#include "render/EffectHandler.h"
#include "render/LightManager.h"
#include "render/LightObject.h"
#include "render/ShaderCallbacks.h"
#include "render/ShaderManager.h"

#include "core/CoreSlots.h"
#include "core/Globals.h"
#include "support/NullDevice.h"

#include "../level/LevelTestSupport.h"
#include "RecordingServices.h"
#include "RenderFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace irr;

namespace {

// Records what the shader manager hands to the engine and answers a new material number.
class RecordingGpu : public rendertest::TextOnlyGpu {
public:
    struct Call {
        std::string vertex, pixel, vertexEntry, pixelEntry;
        video::E_VERTEX_SHADER_TYPE vertexTarget;
        video::E_PIXEL_SHADER_TYPE pixelTarget;
        video::E_MATERIAL_TYPE base;
        s32 userData;
    };
    s32 addHighLevelShaderMaterial(const c8* vs, const c8* vsEntry, video::E_VERTEX_SHADER_TYPE vsTarget,
                                   const c8* ps, const c8* psEntry, video::E_PIXEL_SHADER_TYPE psTarget,
                                   const c8*, const c8*, video::E_GEOMETRY_SHADER_TYPE, scene::E_PRIMITIVE_TYPE,
                                   scene::E_PRIMITIVE_TYPE, u32, video::IShaderConstantSetCallBack*,
                                   video::E_MATERIAL_TYPE base, s32 userData, video::E_GPU_SHADING_LANGUAGE) override {
        calls.push_back({vs, ps, vsEntry, psEntry, vsTarget, psTarget, base, userData});
        return failing ? -1 : next++;
    }
    std::vector<Call> calls;
    s32 next = 30;
    bool failing = false;
};

class ShaderManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        rendertest::resetRenderGlobals();
        gameDevice = device.get();
        shaderVariantMap().clear();
    }
    void TearDown() override {
        shaderVariantMap().clear();
        rendertest::resetRenderGlobals();
    }
    test::NullDevice device;
    ShaderManager manager;
};

TEST_F(ShaderManagerTest, WithoutShadersTheDriverFallsBackToFixedFunctionMaterials) {
    EffectHandler handler(device.get(), core::dimension2du(0, 0));
    effectHandler = &handler;
    handler.hardwareSkinning = handler.instancing = true;
    shaderManager = &manager;
    manager.init();
    EXPECT_EQ(manager.shaderLevel, 0);
    EXPECT_EQ(manager.graphicsQuality, 2);
    EXPECT_TRUE(manager.variantsBuilt);
    EXPECT_FALSE(manager.areShadersEnabled());
    EXPECT_FALSE(handler.hardwareSkinning);
    EXPECT_FALSE(handler.instancing);
    EXPECT_FALSE(manager.usePrecompiledShaders);
    // Every named shader failed; only the lit water takes the plain water's value.
    EXPECT_EQ(manager.meterMaterial, -1);
    EXPECT_EQ(manager.particleAddMaterial, -1);
    EXPECT_EQ(manager.waterMaterialSM3, manager.waterMaterial);
    EXPECT_EQ(manager.getMaterialType(0x201), video::EMT_TRANSPARENT_ALPHA_CHANNEL);
    EXPECT_EQ(manager.getMaterialType(0x200), video::EMT_LIGHTMAP);
    EXPECT_EQ(manager.getMaterialType(0x0), video::EMT_SOLID);
    // Depth writes on transparent surfaces keep the value of the stored quality (0).
    EXPECT_FALSE(device->getSceneManager()->getParameters()->getAttributeAsBool(scene::ALLOW_ZWRITE_ON_TRANSPARENT));
}

TEST(ShaderManagerFiles, MissingShaderFilesAreLoggedAndTheirMaterialsFail) {
    rendertest::resetRenderGlobals();
    shaderVariantMap().clear();
    test::LogCapture log;
    test::NullDevice device(&log);
    test::TempDir empty;
    test::ScopedWorkingDir inEmpty(empty.path());
    gameDevice = device.get();
    {
        ShaderManager manager;
        manager.init();
        // The null driver runs no shaders of this build: it looks for no file and logs nothing.
        EXPECT_FALSE(log.contains("ERROR: "));
        EXPECT_FALSE(manager.reportMissingShaderFile("Content/Shaders/glsl/ShaderPhong.vert"));
        EXPECT_TRUE(log.contains("ERROR: Could not open shader file: Content/Shaders/glsl/ShaderPhong.vert"));
        EXPECT_EQ(manager.meterMaterial, -1);
        EXPECT_EQ(manager.shaderLevel, 0);
        EXPECT_EQ(manager.getMaterialType(0x1), video::EMT_TRANSPARENT_ALPHA_CHANNEL);
    }
    shaderVariantMap().clear();
    rendertest::resetRenderGlobals();
}

struct MaterialCase {
    s32 flags;
    s32 withShaders;    // variant map {0: 40, 0x9: 41, 0x4: -1, 0x200: 42}
    s32 fixedFunction;  // quality 2
};
const MaterialCase materialCases[] = {
    {0x000, 40, video::EMT_SOLID},
    {0x009, 41, video::EMT_TRANSPARENT_ALPHA_CHANNEL},
    {0x020, 40, video::EMT_SOLID},                      // caustics alone: the plain variant
    {0x004, 40, video::EMT_SOLID},                      // failed variant: the plain one
    {0x100, 40, video::EMT_SOLID},                      // never built: the plain one
    {0x200, 42, video::EMT_LIGHTMAP},
    {0x201, 40, video::EMT_TRANSPARENT_ALPHA_CHANNEL},
    {0x001, 40, video::EMT_TRANSPARENT_ALPHA_CHANNEL},
};

TEST_F(ShaderManagerTest, MaterialTypeFollowsTheFlagsWithTheSpecifiedFallbacks) {
    shaderVariantMap() = {{0, 40}, {0x9, 41}, {0x4, -1}, {0x200, 42}};
    manager.shaderLevel = 2; // the lowest level that runs shaders
    for (const MaterialCase& c : materialCases) {
        manager.graphicsQuality = 0;
        EXPECT_EQ(manager.getMaterialType(c.flags), c.withShaders) << std::hex << c.flags;
        manager.graphicsQuality = 2;
        EXPECT_EQ(manager.getMaterialType(c.flags), c.fixedFunction) << std::hex << c.flags;
    }
    manager.graphicsQuality = 0;
    manager.shaderLevel = 1;
    EXPECT_EQ(manager.getMaterialType(0x9), video::EMT_TRANSPARENT_ALPHA_CHANNEL) << "below level 2: no shaders";
    manager.shaderLevel = 0; // the plain variant failed: no shaders at all
    EXPECT_EQ(manager.getMaterialType(0x8), video::EMT_SOLID);
    manager.shaderLevel = 3;
    shaderVariantMap()[0] = -1;
    EXPECT_EQ(manager.getMaterialType(0x4), 0);
    EXPECT_EQ(manager.findVariantMaterial(0x777), 0);
    EXPECT_EQ(manager.findVariantMaterial(0x9), 41);
}

TEST_F(ShaderManagerTest, VariantTextsCarryVersionFeatureDefinesAndLightCountInOrder) {
    RecordingGpu gpu;
    EffectHandler handler(device.get(), core::dimension2du(0, 0));
    effectHandler = &handler;
    manager.driverType = video::EDT_OPENGL;
    handler.hardwareSkinning = true;
    const s32 all = 0x2 | 0x100 | 0x4 | 0x8 | 0x20 | 0x200 | 0x80 | 0x40 | 0x10;
    manager.buildShaderVariant(all, "#define MAX_LIGHTS_PER_OBJECT 4\nVS", "#define MAX_LIGHTS_PER_OBJECT 4\nPS", &gpu);
    ASSERT_EQ(gpu.calls.size(), 1u);
    const std::string defines = "#version 120\n#define USE_REFLECTION \n#define USE_INSTANCING \n"
                                "#define USE_HIGHLIGHT \n#define USE_SKINNING \n#define USE_CAUSTICS \n"
                                "#define USE_LIGHTMAP \n#define USE_TENTARO \n#define USE_TENTTRANS \n";
    EXPECT_EQ(gpu.calls[0].vertex, defines + "#define MAX_LIGHTS_PER_OBJECT 4\nVS");
    EXPECT_EQ(gpu.calls[0].pixel, defines + "#define MAX_LIGHTS_PER_OBJECT 4\nPS");
    EXPECT_EQ(gpu.calls[0].vertexEntry, "BasicVS");
    EXPECT_EQ(gpu.calls[0].pixelEntry, "IxionPS");
    EXPECT_EQ(gpu.calls[0].vertexTarget, video::EVST_VS_3_0);
    EXPECT_EQ(gpu.calls[0].pixelTarget, video::EPST_PS_3_0);
    EXPECT_EQ(gpu.calls[0].base, video::EMT_TRANSPARENT_ALPHA_CHANNEL); // 0x40
    EXPECT_EQ(gpu.calls[0].userData, all);
    // A player variant is not an alpha-tested shadow caster.
    EXPECT_TRUE(manager.transparentVariantMaterials.empty());

    // Skinning off: no skinning define; 0x9 is alpha-blended and counts as transparent.
    handler.hardwareSkinning = false;
    const s32 material = manager.buildShaderVariant(0x9, "V", "P", &gpu);
    EXPECT_EQ(gpu.calls[1].vertex, "#version 120\nV");
    EXPECT_EQ(gpu.calls[1].base, video::EMT_TRANSPARENT_ALPHA_CHANNEL);
    EXPECT_EQ(manager.transparentVariantMaterials, std::vector<s32>{material});
    EXPECT_EQ(manager.findVariantMaterial(0x9), material);
    manager.buildShaderVariant(0x0, "V", "P", &gpu);
    EXPECT_EQ(gpu.calls[2].base, video::EMT_SOLID);
    EXPECT_EQ(manager.phongCallbacks.size(), 3u);

    // A failed compile stores -1 and the plain variant then serves those flags.
    gpu.failing = true;
    manager.buildShaderVariant(0x5, "V", "P", &gpu);
    EXPECT_EQ(manager.findVariantMaterial(0x5), -1);
    manager.shaderLevel = 3;
    EXPECT_EQ(manager.getMaterialType(0x5), manager.findVariantMaterial(0x0));
}

TEST_F(ShaderManagerTest, ShaderFilesAreNamedByDriver) {
    core::stringc vertex, pixel, folder;
    manager.driverType = video::EDT_OPENGL;
    manager.getShaderFileName(vertex, pixel, folder);
    EXPECT_EQ(vertex, ".vert");
    EXPECT_EQ(pixel, ".frag");
    EXPECT_EQ(folder, "glsl/");
    manager.driverType = video::EDT_DIRECT3D9;
    manager.getShaderFileName(vertex, pixel, folder);
    EXPECT_EQ(vertex, ".hlsl");
    EXPECT_EQ(folder, "hlsl/");
}

// Stands in for the engine's constant setter: answers the driver and accepts everything.
class AcceptingServices : public video::IMaterialRendererServices {
public:
    explicit AcceptingServices(video::IVideoDriver* driver) : driver(driver) {}
    void setBasicRenderStates(const video::SMaterial&, const video::SMaterial&, bool) override {}
    bool setVertexShaderConstant(const c8*, const f32*, int) override { return true; }
    bool setVertexShaderConstant(const c8*, const bool*, int) override { return true; }
    bool setVertexShaderConstant(const c8*, const s32*, int) override { return true; }
    void setVertexShaderConstant(const f32*, s32, s32) override {}
    bool setPixelShaderConstant(const c8*, const f32*, int) override { return true; }
    bool setPixelShaderConstant(const c8*, const bool*, int) override { return true; }
    bool setPixelShaderConstant(const c8*, const s32*, int) override { return true; }
    void setPixelShaderConstant(const f32*, s32, s32) override {}
    video::IVideoDriver* getVideoDriver() override { return driver; }
    video::IVideoDriver* driver;
};

TEST_F(ShaderManagerTest, ChosenLightsFillTheRecordsDirectionalThenPointThenSpot) {
    scene::ISceneManager* scene = device->getSceneManager();
    auto* lights = new LightManager(scene);
    lightManager = lights;
    shaderManager = &manager;
    auto addLight = [&](video::E_LIGHT_TYPE type, f32 x) {
        auto* light = new LightObject(scene->getRootSceneNode(), scene, -1, core::vector3df(x, 0, 0));
        light->drop();
        light->setLightType(type);
        light->getLightData().Position = core::vector3df(x, 0, 0);
        lights->candidateLights.push_back(SortPair{static_cast<scene::ILightSceneNode*>(light), x});
    };
    addLight(video::ELT_POINT, 1);       // A
    addLight(video::ELT_DIRECTIONAL, 2); // B
    addLight(video::ELT_SPOT, 3);        // C
    addLight(video::ELT_POINT, 4);       // D
    addLight(video::ELT_POINT, 5);       // a fifth light is not considered
    AcceptingServices services(device->getVideoDriver());
    LightRecord records[maxLightRecords];
    PhongShaderCallback::setLights(&services, records);
    const f32 expectedX[4] = {2, 1, 4, 3}; // B, A, D, C
    for (int i = 0; i < 4; ++i)
        EXPECT_FLOAT_EQ(records[i].rows[4], expectedX[i]) << "slot " << i;
    EXPECT_FLOAT_EQ(records[0].rows[7], 0.0f);
    EXPECT_FLOAT_EQ(records[3].rows[7], -1.0f);

    // Quality 1 takes one light whatever the level asks.
    manager.graphicsQuality = 1;
    for (LightRecord& record : records)
        record = defaultLightRecord();
    PhongShaderCallback::setLights(&services, records);
    EXPECT_FLOAT_EQ(records[0].rows[4], 1.0f); // A, the first chosen
    scene->setLightManager(nullptr);
    lights->drop();
}

// --- specialised Phong programs ------------------------------------------------------------------

TEST(PhongPixelFeatures, DefinesFollowTheBitsInOrder) {
    EXPECT_EQ(phongPixelFeatureDefines(0), "");
    EXPECT_EQ(phongPixelFeatureDefines(phongPixelFeature::noRim), "#define NO_RIM \n");
    EXPECT_EQ(phongPixelFeatureDefines(phongPixelFeature::all),
              "#define NO_SHADOWS \n#define NO_FOG \n#define NO_RIM \n#define NO_SPECULAR \n"
              "#define POINT_LIGHTS_ONLY \n#define NO_SHADOW_LOOKUP \n#define ONE_CASCADE \n");
    EXPECT_EQ(phongPixelFeatureDefines(0x80), ""); // no such feature
}

TEST(PhongPixelFeatures, SpecularIsLeftOutOnlyWhenItsIntensityIsZero) {
    const struct {
        f32 shininess;
        u32 red;
        bool leftOut;
    } cases[] = {{0.0f, 255, true}, {20.0f, 0, true}, {20.0f, 1, false}, {0.001f, 255, false}};
    for (const auto& c : cases) {
        video::SMaterial material;
        material.Shininess = c.shininess;
        material.SpecularColor = video::SColor(255, c.red, 255, 255);
        EXPECT_EQ(phongMaterialPixelFeatures(material), c.leftOut ? phongPixelFeature::noSpecular : 0u)
            << c.shininess << " " << c.red;
    }
}

TEST_F(ShaderManagerTest, NodeFeaturesFollowTheShadowSwitchTheCascadesTheFogAndTheSentLights) {
    scene::ISceneManager* scene = device->getSceneManager();
    auto* lights = new LightManager(scene);
    lightManager = lights;
    shaderManager = &manager;
    manager.graphicsQuality = 0;
    EffectHandler handler(device.get(), core::dimension2du(0, 0));
    effectHandler = &handler;
    scene::ISceneNode* cube = scene->addCubeSceneNode();
    auto addLight = [&](video::E_LIGHT_TYPE type) {
        auto* light = new LightObject(scene->getRootSceneNode(), scene, -1, core::vector3df());
        light->drop();
        light->setLightType(type);
        lights->candidateLights.push_back(SortPair{static_cast<scene::ILightSceneNode*>(light), 1.0f});
    };
    video::IVideoDriver* driver = device->getVideoDriver();
    using namespace phongPixelFeature;

    // No lights, no shadows, the fog off (no range fog): everything but the specular term.
    driver->setFog(video::SColor(255, 128, 128, 128), video::EFT_FOG_LINEAR, 10.0f, 50.0f, 0.0f, true, false);
    EXPECT_EQ(phongNodePixelFeatures(cube), noShadows | noFog | noRim | pointLightsOnly);

    // Range fog from 10 to 50 is drawn; from 50 to 50 it is not.
    driver->setFog(video::SColor(255, 128, 128, 128), video::EFT_FOG_LINEAR, 10.0f, 50.0f, 0.0f, true, true);
    EXPECT_EQ(phongNodePixelFeatures(cube) & noFog, 0u);
    driver->setFog(video::SColor(255, 128, 128, 128), video::EFT_FOG_LINEAR, 50.0f, 50.0f, 0.0f, true, true);
    EXPECT_EQ(phongNodePixelFeatures(cube) & noFog, noFog);

    // Shadows switched on with a running world.
    handler.shadowsEnabled = handler.levelShadowsEnabled = true;
    physicsManager = reinterpret_cast<PhysicsManager*>(0x10);
    coreSlots().physics.isSimulationActive = [] { return true; };
    EXPECT_EQ(phongNodePixelFeatures(cube) & noShadows, 0u);
    // One cascade at shadow distance 1, three at 2.
    EXPECT_EQ(phongNodePixelFeatures(cube) & oneCascade, oneCascade);
    handler.shadowDistanceMode = 2;
    EXPECT_EQ(phongNodePixelFeatures(cube) & oneCascade, 0u);
    handler.levelShadowsEnabled = false;
    EXPECT_EQ(phongNodePixelFeatures(cube) & noShadows, noShadows);

    // Point lights only while every light sent is a point light; a fifth one is not sent.
    for (int i = 0; i < 4; ++i)
        addLight(video::ELT_POINT);
    addLight(video::ELT_SPOT);
    EXPECT_EQ(phongNodePixelFeatures(cube) & pointLightsOnly, pointLightsOnly);
    lights->maxLightsPerNode = 5;
    EXPECT_EQ(phongNodePixelFeatures(cube) & pointLightsOnly, 0u);
    lights->maxLightsPerNode = 4;
    lights->candidateLights.erase(0);
    addLight(video::ELT_DIRECTIONAL);
    EXPECT_EQ(phongNodePixelFeatures(cube) & pointLightsOnly, 0u);

    physicsManager = nullptr;
    scene->setLightManager(nullptr);
    lights->drop();
}

TEST_F(ShaderManagerTest, NoSpecialisedProgramWithoutAGeneralVariantOrAShaderDriver) {
    shaderManager = &manager;
    manager.init(); // the null driver: no variant compiles
    scene::ISceneNode* cube = device->getSceneManager()->addCubeSceneNode();
    cube->setMaterialType(video::EMT_SOLID);
    EXPECT_EQ(manager.specializedMaterial(video::EMT_SOLID, phongPixelFeature::all), -1);
    manager.specializeNodeMaterials(cube);
    manager.restoreNodeMaterials(cube);
    EXPECT_EQ(cube->getMaterial(0).MaterialType, video::EMT_SOLID);
}

// A mesh node whose one buffer has the vertex colour, its material lit by its own colours
// (as the fixed-function setup leaves it).
scene::IAnimatedMeshSceneNode* addTintedNode(scene::ISceneManager* scene, video::SColor vertex,
                                             bool skinned) {
    const video::S3DVertex corner(0, 0, 0, 0, 1, 0, vertex, 0, 0);
    scene::IAnimatedMesh* mesh = nullptr;
    if (skinned) {
        scene::ISkinnedMesh* joints = scene->createSkinnedMesh();
        joints->addMeshBuffer()->Vertices_Standard.push_back(corner);
        joints->finalize();
        mesh = joints;
    } else {
        auto* plain = new scene::SMesh();
        auto* buffer = new scene::SMeshBuffer();
        buffer->Vertices.push_back(corner);
        plain->addMeshBuffer(buffer);
        buffer->drop();
        mesh = new scene::SAnimatedMesh(plain);
        plain->drop();
    }
    scene::IAnimatedMeshSceneNode* node = scene->addAnimatedMeshSceneNode(mesh);
    mesh->drop();
    video::SMaterial& material = node->getMaterial(0);
    material.ColorMaterial = video::ECM_NONE;
    material.DiffuseColor = material.AmbientColor = video::SColor(255, 200, 100, 50);
    return node;
}

// Without shaders the draw shows diffuse times vertex colour, as the Phong vertex stage
// does, and the material has its own colours back after the draw; with shaders, for a
// material the engine colours by its vertices, for a skinned or white mesh, nothing changes.
TEST_F(ShaderManagerTest, DrawnWithoutShadersAMeshIsTintedByItsVertexColourForTheDraw) {
    scene::ISceneManager* scene = device->getSceneManager();
    const video::SColor own(255, 200, 100, 50), tinted(255, 100, 25, 50);
    const struct Row {
        const char* what;
        bool shaders, skinned, vertexColoured;
        video::SColor vertex;
        bool tints;
    } rows[] = {
        {"fixed function", false, false, false, video::SColor(255, 128, 64, 255), true},
        {"shaders", true, false, false, video::SColor(255, 128, 64, 255), false},
        {"skinned", false, true, false, video::SColor(255, 128, 64, 255), false},
        {"coloured by the vertices", false, false, true, video::SColor(255, 128, 64, 255), false},
        {"white vertices", false, false, false, video::SColor(255, 255, 255, 255), false}};
    for (const Row& row : rows) {
        manager.shaderLevel = row.shaders ? 3 : 0;
        scene::IAnimatedMeshSceneNode* node = addTintedNode(scene, row.vertex, row.skinned);
        video::SMaterial& material = node->getMaterial(0);
        if (row.vertexColoured)
            material.ColorMaterial = video::ECM_DIFFUSE;
        manager.tintFixedFunctionMaterials(node);
        EXPECT_EQ(material.DiffuseColor, row.tints ? tinted : own) << row.what;
        EXPECT_EQ(material.AmbientColor, row.tints ? tinted : own) << row.what;
        manager.restoreFixedFunctionMaterials(node);
        EXPECT_EQ(material.DiffuseColor, own) << row.what;
        EXPECT_EQ(material.AmbientColor, own) << row.what;
        node->remove();
    }
    // A colour the draw set stays.
    manager.shaderLevel = 0;
    scene::IAnimatedMeshSceneNode* node =
        addTintedNode(scene, video::SColor(255, 128, 64, 255), false);
    manager.tintFixedFunctionMaterials(node);
    node->getMaterial(0).DiffuseColor = video::SColor(255, 1, 2, 3);
    manager.restoreFixedFunctionMaterials(node);
    EXPECT_EQ(node->getMaterial(0).DiffuseColor, video::SColor(255, 1, 2, 3));
}

TEST_F(ShaderManagerTest, LightRecordsFollowTheLightData) {
    video::SLight spot;
    spot.Type = video::ELT_SPOT;
    spot.InnerCone = 30.0f;
    spot.OuterCone = 60.0f;
    spot.Falloff = 3.0f;
    spot.Radius = 10.0f;
    spot.DiffuseColor = video::SColorf(0.5f, 0.25f, 1.0f, 0.75f);
    spot.Position = core::vector3df(1, 2, 3);
    spot.Direction = core::vector3df(0, -0.6f, 0.8f);
    spot.Attenuation = core::vector3df(0.1f, 0.2f, 0.3f);
    LightRecord record = defaultLightRecord();
    buildLightRecord(spot, record);
    // Colour, position and kind, direction, attenuation, each row's fourth value fixed.
    const f32 rows[16] = {0.5f, 0.25f, 1.0f, 0.75f, 1, 2, 3, -1.0f, 0, -0.6f, 0.8f, 1.0f, 0.1f, 0.2f, 0.3f, 1.0f};
    for (int i = 0; i < 16; ++i)
        EXPECT_FLOAT_EQ(record.rows[i], rows[i]) << "value " << i;
    EXPECT_NEAR(record.rows[16], std::cos(15.0 * core::DEGTORAD64), 1e-6);
    EXPECT_NEAR(record.rows[17], std::cos(30.0 * core::DEGTORAD64), 1e-6);
    EXPECT_FLOAT_EQ(record.rows[18], 3.0f);
    EXPECT_FLOAT_EQ(record.rows[19], 15.0f);
    video::SLight point;
    point.Type = video::ELT_POINT;
    LightRecord pointRecord = defaultLightRecord();
    buildLightRecord(point, pointRecord);
    EXPECT_FLOAT_EQ(pointRecord.rows[7], 1.0f);
    EXPECT_FLOAT_EQ(pointRecord.rows[16], 0.0f); // cone values kept for other types
    video::SLight sun;
    sun.Type = video::ELT_DIRECTIONAL;
    LightRecord sunRecord = defaultLightRecord();
    buildLightRecord(sun, sunRecord);
    EXPECT_FLOAT_EQ(sunRecord.rows[7], 0.0f);
}

} // namespace
