// What the renderer computes on the null driver, each group compared with its record under
// tests/render/records/: the shader texts of every program, quality and setting; the shader
// constants every callback sends for a fixed scene over a few frames; particle systems over
// fixed time steps; water, lights and the shadow set-up; billboards, volume lights, world
// text and sprite animation frames over fixed time. Nothing here reads a clock: every time
// is handed in, and the engine's randomizer is seeded before anything emits.
#include "render/BillboardObject.h"
#include "render/EffectHandler.h"
#include "render/LightManager.h"
#include "render/LightObject.h"
#include "render/ParticleObject.h"
#include "render/ParticleSystemNode.h"
#include "render/RenderRegistration.h"
#include "render/ShaderCallbacks.h"
#include "render/ShaderManager.h"
#include "render/ShaderPreprocessor.h"
#include "render/ShadowCascades.h"
#include "render/SpriteAnimation.h"
#include "render/TextBubbleObject.h"
#include "render/TextObject.h"
#include "render/VolumeLightObject.h"
#include "render/WaterObject.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "gui/fonts/FontCache.h"
#include "level/MeshGate.h"
#include "physics/objects/PhysicsObject.h"
#include "support/RecordedResult.h"
#include "support/ScreenConnections.h"
#include "support/TempDir.h"

#include "../level/LevelTestSupport.h"
#include "RecordingServices.h"
#include "../gui/GuiFixture.h"
#include "RenderFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace irr;

namespace {

// The record's text: one line per thing, numbers with five significant digits.
class Record : public test::RecordText {
public:
    // "name count v0 v1 ..." on one line.
    void floats(const std::string& name, const f32* values, std::size_t count) {
        text += name + " " + std::to_string(count);
        char number[32];
        for (std::size_t i = 0; i < count; ++i) {
            std::snprintf(number, sizeof number, " %.5g", static_cast<double>(values[i]));
            text += number;
        }
        text += '\n';
    }
    void matrix(const std::string& name, const core::matrix4& m) { floats(name, m.pointer(), 16); }
    void vector(const std::string& name, const core::vector3df& v) { floats(name, &v.X, 3); }
    void box(const std::string& name, const core::aabbox3df& b) {
        const f32 values[6] = {b.MinEdge.X, b.MinEdge.Y, b.MinEdge.Z, b.MaxEdge.X, b.MaxEdge.Y, b.MaxEdge.Z};
        floats(name, values, 6);
    }
};

std::string hexColour(video::SColor colour) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%08x", colour.color);
    return buffer;
}

// FNV-1a: a text's fingerprint, so that a record of many programs stays small.
std::string digest(const std::string& text) {
    std::uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(hash));
    return buffer;
}

// The leading "#version"/"#define" lines of a program text, as one token each ("|" for
// blanks), and the digest and length of the whole text.
std::string describeText(const std::string& text) {
    std::string defines;
    std::size_t start = 0;
    while (start < text.size() && text[start] == '#') {
        const std::size_t end = text.find('\n', start);
        std::string lineText = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (lineText.rfind("#define", 0) != 0 && lineText.rfind("#version", 0) != 0)
            break;
        while (!lineText.empty() && lineText.back() == ' ')
            lineText.pop_back();
        std::replace(lineText.begin(), lineText.end(), ' ', '|');
        defines += " " + lineText;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return digest(text) + " " + std::to_string(text.size()) + " defines" + defines;
}

// Keeps what the shader manager and the effect handler hand the engine to compile.
class RecordingGpu : public rendertest::TextOnlyGpu {
public:
    s32 addHighLevelShaderMaterial(const c8* vs, const c8* vsEntry, video::E_VERTEX_SHADER_TYPE vsTarget,
                                   const c8* ps, const c8* psEntry, video::E_PIXEL_SHADER_TYPE psTarget,
                                   const c8*, const c8*, video::E_GEOMETRY_SHADER_TYPE, scene::E_PRIMITIVE_TYPE,
                                   scene::E_PRIMITIVE_TYPE, u32, video::IShaderConstantSetCallBack*,
                                   video::E_MATERIAL_TYPE base, s32 userData, video::E_GPU_SHADING_LANGUAGE) override {
        char head[160];
        std::snprintf(head, sizeof head, "program %d %s %d %s %d base %d user %d", next, vsEntry, vsTarget, psEntry,
                      psTarget, base, userData);
        lines.push_back(std::string(head));
        lines.push_back("  vertex " + describeText(vs ? vs : ""));
        lines.push_back("  pixel " + describeText(ps ? ps : ""));
        return next++;
    }
    std::vector<std::string> lines;
    s32 next = 30;
};

std::string readText(const std::filesystem::path& path) { return test::readFileBytes(path.string()); }

// Every constant the services kept, sorted by name (the services' maps are sorted).
void recordConstants(Record& record, const std::string& what, const rendertest::RecordingServices& services) {
    record.line("%s sends %zu", what.c_str(), services.order.size());
    for (const auto& [name, values] : services.floats) {
        const std::string label = "  " + name + (services.vertexNames.at(name) ? " v" : " p");
        // The null driver keeps no transforms: its many identity matrices take one word.
        core::matrix4 m(core::matrix4::EM4CONST_NOTHING);
        if (values.size() == 16)
            m.setM(values.data());
        if (values.size() == 16 && m.isIdentity())
            record.line("%s identity", label.c_str());
        else
            record.floats(label, values.data(), values.size());
    }
    for (const auto& [name, values] : services.ints) {
        std::string lineText = "  " + name + " i " + std::to_string(values.size());
        for (s32 value : values)
            lineText += " " + std::to_string(value);
        record.line("%s", lineText.c_str());
    }
}

// The light records a draw filled: the chosen lights, at most the count a draw is sent (the
// slots after them keep what an earlier draw left there, and no driver but OpenGL is sent them).
void recordLightRecords(Record& record, const std::string& what, const LightRecord* records) {
    u32 count = lightManager ? std::min<u32>(lightManager->maxLightsPerNode, maxLightRecords) : 0;
    if (shaderManager && shaderManager->graphicsQuality == 1)
        count = std::min<u32>(count, 1);
    count = lightManager ? std::min<u32>(count, lightManager->candidateLights.size()) : 0;
    for (u32 i = 0; i < count; ++i) {
        // The cone cosines are written for spot lights only (type code -1): another type keeps
        // the slot's earlier values.
        const bool spot = records[i].rows[7] == -1.0f;
        record.floats(what + " " + std::to_string(i), records[i].rows, spot ? 20 : 16);
        if (!spot)
            record.floats(what + " tail " + std::to_string(i), records[i].rows + 18, 2);
    }
}

// The rendering managers on the null driver beside a level manager, as start-up makes them.
class RenderRecordTest : public test::LevelFixture, protected rendertest::ShadingStage {
protected:
    void SetUp() override {
        LevelFixture::SetUp();
        device->get()->getRandomizer()->reset(4321);
        shaderVariantMap().clear();
        settings = std::make_unique<GameSettings>(temp.file("PaddlestoneConfig.xml"));
        settings->load(true);
        gameSettings = settings.get();
        startShading(device->get());
        shaders->graphicsQuality = 0;
        // A number of its own for every named material, so that a record shows which one a
        // user took (the null driver compiles none).
        s32 next = 60;
        for (s32* material : {&shaders->glowMaterial, &shaders->glowSkinnedMaterial, &shaders->circleMaterial,
                              &shaders->meterMaterial, &shaders->waterMaterial, &shaders->waterMaterialSM3,
                              &shaders->particleSolidMaterial, &shaders->particleAddMaterial,
                              &shaders->particleAlphaMaterial, &shaders->particleAlphaRefMaterial})
            *material = next++;
    }
    void TearDown() override {
        stopShading(smgr());
        gameSettings = nullptr;
        settings.reset();
        shadowConstants() = ShadowConstants{};
        currentMeterValue = 0.0f;
        currentMeterAlpha = 1.0f;
        std::fill(std::begin(currentClipPlane), std::end(currentClipPlane), 0.0f);
        shaderVariantMap().clear();
        physicsManager = nullptr;
        LevelFixture::TearDown();
        rendertest::resetRenderGlobals();
    }
    video::IVideoDriver* driver() { return device->get()->getVideoDriver(); }
    void draw(video::IShaderConstantSetCallBack& callback, scene::ISceneNode* node, s32 userData,
              const video::SMaterial& material) {
        lights->currentNode = node;
        services->clear();
        callback.OnSetMaterial(material);
        callback.OnSetConstants(services.get(), userData);
        lights->currentNode = nullptr;
    }
    LightObject* addLight(const char* name, video::E_LIGHT_TYPE type, const core::vector3df& position, f32 radius,
                          video::SColorf colour) {
        auto* light = new LightObject(root(), smgr(), -1, position, radius, colour);
        light->drop();
        light->setName(name);
        light->setLightType(type);
        light->setRotation(core::vector3df(40, 30, 0));
        light->updateAbsolutePosition();
        light->doLightRecalc();
        return light;
    }

    std::unique_ptr<GameSettings> settings;
};

// --- (a) shader texts ------------------------------------------------------------------------------

TEST_F(RenderRecordTest, ShaderTextsOfEveryProgramQualityAndSetting) {
    Record record;
    const std::filesystem::path glsl = test::sourceDir() / "Content" / "Shaders" / "glsl";
    // The Phong family as rebuildShaders writes its variant texts: the sources copied into a
    // folder of the test's own, each driver, quality, skinning switch and light count.
    test::TempDir folder;
    std::filesystem::create_directories(folder.path() / "glsl");
    std::filesystem::create_directories(folder.path() / "hlsl");
    for (const char* file : {"ShaderPhong.vert", "ShaderPhong.frag"})
        std::filesystem::copy_file(glsl / file, folder.path() / "glsl" / file);
    const std::string phongVertex = readText(glsl / "ShaderPhong.vert");
    const std::string phongPixel = readText(glsl / "ShaderPhong.frag");
    ASSERT_FALSE(phongVertex.empty());
    ASSERT_FALSE(phongPixel.empty());

    const struct Setting {
        video::E_DRIVER_TYPE driver;
        s32 quality;
        bool skinning;
        u32 lightsPerNode;
    } settingsTable[] = {{video::EDT_OPENGL, 0, true, 4},      {video::EDT_OPENGL, 0, false, 8},
                         {video::EDT_OPENGL, 1, true, 4},      {video::EDT_OPENGL, 2, true, 4},
                         {video::EDT_OPENGL, 0, true, 12},     {video::EDT_OPENGL, 0, true, 0},
                         {video::EDT_DIRECT3D9, 1, true, 4},   {video::EDT_DIRECT3D9, 0, false, 2}};
    for (const Setting& s : settingsTable) {
        shaderVariantMap().clear();
        auto manager = std::make_unique<ShaderManager>();
        shaderManager = manager.get();
        manager->device = device->get();
        manager->driverType = s.driver;
        manager->graphicsQuality = s.quality;
        manager->writeShaderSources = true;
        manager->shaderFolder = (folder.path().string() + "/").c_str();
        handler->hardwareSkinning = s.skinning;
        handler->instancing = true;
        lights->maxLightsPerNode = s.lightsPerNode;
        manager->rebuildShaders();
        manager->writeCompileBatch();
        record.line("setting driver %d quality %d skinning %d lights %u", s.driver, s.quality, s.skinning ? 1 : 0,
                    s.lightsPerNode);
        record.line("  after level %d quality %d built %d skinning %d instancing %d callbacks %zu",
                    manager->shaderLevel, manager->graphicsQuality, manager->variantsBuilt ? 1 : 0,
                    handler->hardwareSkinning ? 1 : 0, handler->instancing ? 1 : 0, manager->phongCallbacks.size());
        core::stringc vertexExtension, pixelExtension, subfolder;
        manager->getShaderFileName(vertexExtension, pixelExtension, subfolder);
        record.line("  files %s %s %s", vertexExtension.c_str(), pixelExtension.c_str(), subfolder.c_str());
        for (const core::stringc& name : manager->writtenVariantNames) {
            const std::filesystem::path written = folder.path() / subfolder.c_str() / (std::string(name.c_str()) + ".fx");
            record.line("  written %s %s", name.c_str(), describeText(readText(written)).c_str());
            std::filesystem::remove(written);
        }
        const std::filesystem::path batch =
            folder.path() / (s.driver == video::EDT_DIRECT3D9 ? subfolder.c_str() : "") / "CompileShaders.bat";
        record.line("  batch %s", describeText(readText(batch)).c_str());
        std::filesystem::remove(batch);
        std::string materials = "  materials";
        for (s32 flags : {0x0, 0x1, 0x8, 0x200, 0x201, 0x4})
            materials += " " + std::to_string(manager->getMaterialType(flags));
        record.line("%s", materials.c_str());

        // The texts the engine is handed for each variant (vertex and pixel, entries, targets,
        // base material and the flags as user data), with the setting's switches back as the
        // failed compiles on the null driver left them.
        manager->graphicsQuality = s.quality;
        handler->hardwareSkinning = s.skinning;
        RecordingGpu gpu;
        for (s32 flags : phongVariantFlags)
            manager->buildShaderVariant(flags, phongVertex, phongPixel, &gpu);
        for (const std::string& lineText : gpu.lines)
            record.line("  %s", lineText.c_str());
        std::string transparent = "  transparent";
        for (s32 material : manager->transparentVariantMaterials)
            transparent += " " + std::to_string(material);
        record.line("%s", transparent.c_str());
        shaderManager = shaders.get();
    }

    // The defines of every specialised pixel program.
    for (u32 features = 0; features <= phongPixelFeature::all + 1; ++features)
        record.line("pixel features %u %s", features, describeText(phongPixelFeatureDefines(features)).c_str());

    // The effect materials' texts, preprocessed as the effect handler's start-up does, and the
    // post effects with the screen size.
    const struct EffectProgram {
        const char* name;
        int vertexRole, pixelRole;
        int sampleAmount; // 0: none
        bool vertical;
    } effects[] = {{"depth", RoleDepthVertex, RoleDepth, 0, false},
                   {"depthAlpha", RoleDepthVertex, RoleDepthAlpha, 0, false},
                   {"skinnedDepth", RoleSkinnedDepthVertex, RoleDepth, 0, false},
                   {"instancedDepthAlpha", RoleInstancedDepthVertex, RoleDepthAlpha, 0, false},
                   {"whiteWash", RoleDepthVertex, RoleWhiteWash, 0, false},
                   {"luminance", RoleDepthVertex, RoleLuminance, 0, false},
                   {"shadow1", RoleShadowVertex, RoleShadow, 1, false},
                   {"shadow4", RoleShadowVertex, RoleShadow, 4, false},
                   {"shadow16", RoleShadowVertex, RoleShadow, 16, false},
                   {"lightModulate", RoleScreenQuadVertex, RoleLightModulate, 16, false},
                   {"copy", RoleScreenQuadVertex, RoleCopy, 16, false},
                   {"vsmBlurH", RoleScreenQuadVertex, RoleVsmBlur, 16, false},
                   {"vsmBlurV", RoleScreenQuadVertex, RoleVsmBlur, 16, true}};
    for (const EffectProgram& e : effects) {
        ShaderPreprocessor preprocessor(driver());
        if (e.sampleAmount)
            preprocessor.addDefine("SAMPLE_AMOUNT", std::to_string(e.sampleAmount));
        if (e.vertical)
            preprocessor.addDefine("VERTICAL_VSM_BLUR", "");
        const char* vertex = effectShaderSource(e.vertexRole, 0);
        const char* pixel = effectShaderSource(e.pixelRole, 0);
        ASSERT_NE(vertex, nullptr) << e.name;
        ASSERT_NE(pixel, nullptr) << e.name;
        record.line("effect %s vertex %s", e.name, describeText(preprocessor.preprocessSource(vertex)).c_str());
        record.line("effect %s pixel %s", e.name, describeText(preprocessor.preprocessSource(pixel)).c_str());
        record.line("effect %s direct3d %d", e.name, effectShaderSource(e.pixelRole, 1) ? 1 : 0);
    }
    for (const char* file : {"BloomP.glsl", "BlurHP.glsl", "BlurVP.glsl", "SSAO.glsl", "SSAOCombine.glsl"}) {
        ShaderPreprocessor preprocessor(driver());
        preprocessor.addDefine("SCREENX", "640");
        preprocessor.addDefine("SCREENY", "360");
        record.line("post %s %s", file, describeText(preprocessor.preprocessFile((glsl / file).string())).c_str());
    }
    test::expectMatchesRecord("render/records/shader_texts.txt", record.text);
}

// --- (b) shader constants ---------------------------------------------------------------------------

TEST_F(RenderRecordTest, ShaderConstantsOfAFixedSceneFrameByFrame) {
    Record record;
    simulateRunningPhysics();
    setSettingInt("Graphics_ShadowQuality", 1024);
    setSettingInt("Graphics_ShadowDistance", 2);
    handler->shadowDistanceMode = 2;
    handler->shadowsEnabled = true;
    handler->setShadowQuality(core::vector3df(40, 80, -40), core::vector3df(0, 0, 0));
    smgr()->setAmbientLight(video::SColorf(0.2f, 0.3f, 0.4f, 1.0f));

    // A physics object with a skinned mesh, lit by three lights.
    auto* object = new PhysicsObject(root(), smgr(), -1);
    object->drop();
    object->setPosition(core::vector3df(2, 1, 3));
    scene::IAnimatedMeshSceneNode* mesh = rendertest::addEmptySkinnedNode(smgr(), object);
    ASSERT_NE(mesh, nullptr);
    handler->shadowNodes.push_back({mesh, 2, 0});
    LightObject* sun = addLight("Sun", video::ELT_DIRECTIONAL, core::vector3df(0, 50, 0), 80.0f,
                                video::SColorf(1.0f, 0.9f, 0.8f, 1.0f));
    LightObject* lamp = addLight("Lamp", video::ELT_POINT, core::vector3df(4, 3, 2), 10.0f,
                                 video::SColorf(0.5f, 0.25f, 1.0f, 1.0f));
    LightObject* spot = addLight("Spot", video::ELT_SPOT, core::vector3df(-3, 6, 1), 20.0f,
                                 video::SColorf(0.2f, 1.0f, 0.3f, 0.5f));
    spot->getLightData().InnerCone = 20.0f;
    spot->getLightData().OuterCone = 50.0f;
    spot->getLightData().Falloff = 2.0f;
    spot->getLightData().Attenuation = core::vector3df(0.5f, 0.1f, 0.01f);
    lights->candidateLights.push_back(SortPair{static_cast<scene::ILightSceneNode*>(lamp), 4.0f});
    lights->candidateLights.push_back(SortPair{static_cast<scene::ILightSceneNode*>(spot), 9.0f});
    lights->candidateLights.push_back(SortPair{static_cast<scene::ILightSceneNode*>(sun), 25.0f});

    auto* water = new WaterObject(32.0f, 16.0f, nullptr, root(), smgr());
    water->drop();
    water->UseLighting = true;
    water->setPosition(core::vector3df(0, -2, 0));
    auto* particles = new ParticleObject(root(), smgr());
    particles->drop();

    scene::ICameraSceneNode* viewer = smgr()->addCameraSceneNode(nullptr, core::vector3df(0, 10, -30));
    viewer->setNearValue(1.0f);
    viewer->setFarValue(200.0f);

    video::SMaterial material;
    material.Lighting = true;
    material.DiffuseColor = video::SColor(255, 200, 100, 50);
    material.EmissiveColor = video::SColor(255, 20, 40, 60);
    material.SpecularColor = video::SColor(255, 128, 128, 128);
    material.Shininess = 24.0f;
    material.getTextureMatrix(0).setTextureScale(2.0f, 3.0f);
    material.getTextureMatrix(0).setTextureTranslate(0.25f, 0.5f);

    PhongShaderCallback phong;
    SkinningShaderCallback glow;
    CircleShaderCallback circle;
    MeterShaderCallback meter;
    AdditiveShaderCallback additive;
    WaterShaderCallback waterCallback;
    DepthShaderCallback depth(handler.get(), false, false);
    DepthShaderCallback skinnedDepth(handler.get(), true, false);
    DepthShaderCallback instancedDepth(handler.get(), false, true);
    ShadowShaderCallback shadow(handler.get());
    ScreenQuadShaderCallback screenQuad(handler.get(), true);
    const f32 bloom[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    screenQuad.uniforms["BloomStrength"] = ScreenQuadShaderCallback::Uniform{bloom, 4};

    screenWidth = 640;
    screenHeight = 360;
    for (int frame = 0; frame < 3; ++frame) {
        const u32 now = 1000 + static_cast<u32>(frame) * 40;
        record.line("frame %d time %u", frame, now);
        viewer->setPosition(core::vector3df(frame * 3.0f, 10.0f - frame, -30.0f + frame * 4.0f));
        viewer->updateAbsolutePosition();
        viewer->setTarget(core::vector3df(0, 0, frame * 2.0f));
        smgr()->setActiveCamera(viewer);
        object->setPosition(core::vector3df(2.0f + frame, 1, 3));
        object->updateAbsolutePosition();
        mesh->updateAbsolutePosition();
        water->OnAnimate(now);
        driver()->setFog(video::SColor(255, 100 + 20 * frame, 120, 140), video::EFT_FOG_LINEAR, 10.0f + frame,
                         80.0f - 5.0f * frame, 0.01f, true, frame != 1);
        object->mesh().highlightMode = frame + 3; // 3, 4, 5
        object->mesh().highlightPulse = 0.3f + 0.25f * frame;
        object->mesh().AlphaOverride = 1.0f - 0.2f * frame;
        object->suspicion().displayTimer = 0.5f * frame;
        object->UseRimShading = frame != 1;
        object->ReceiveShadow = frame != 2;
        currentMeterValue = 0.25f * frame;
        currentMeterAlpha = 1.0f - 0.1f * frame;
        currentClipPlane[0] = 0.0f;
        currentClipPlane[1] = frame == 2 ? 1.0f : 0.0f;
        currentClipPlane[3] = frame == 2 ? -2.0f : 0.0f;
        lights->maxLightsPerNode = frame == 2 ? 2u : 4u;
        shaders->graphicsQuality = frame == 1 ? 1 : 0;

        handler->updateShadowCascades();
        updateShadowConstants();
        record.matrix("cameraViewProj", shadowConstants().cameraViewProj);
        for (int k = 0; k < 3; ++k)
            record.matrix("cascadeViewProj" + std::to_string(k), shadowConstants().cascadeViewProj[k]);
        for (s32 flags : {0x0, 0x9, 0x4, 0x20, 0x100, 0x2}) {
            draw(phong, mesh, flags, material);
            recordConstants(record, "phong mesh " + std::to_string(flags), *services);
            recordLightRecords(record, "  light record", phong.lightRecords);
        }
        draw(phong, nullptr, 0, video::SMaterial());
        recordConstants(record, "phong none", *services);
        draw(glow, mesh, 0, material);
        recordConstants(record, "glow", *services);
        draw(circle, nullptr, 0, material);
        recordConstants(record, "circle", *services);
        draw(meter, nullptr, 0, material);
        recordConstants(record, "meter", *services);
        // The blend the particle object gives its node: additive in the second frame.
        particles->getParticleNode()->getMaterial(0).MaterialType = static_cast<video::E_MATERIAL_TYPE>(
            frame == 1 ? shaders->particleAddMaterial : shaders->particleAlphaMaterial);
        draw(additive, particles->getParticleNode(), 0, material);
        recordConstants(record, "additive", *services);
        draw(waterCallback, water->getWaterMeshNode(), 0, material);
        recordConstants(record, "water", *services);
        recordLightRecords(record, "  light record", waterCallback.lightRecords);
        record.line("pixel features node %u material %u", phongNodePixelFeatures(mesh),
                    phongMaterialPixelFeatures(material));
        depth.farValue = 100.0f + frame;
        depth.packDepth = frame == 1;
        draw(depth, mesh, 0, material);
        recordConstants(record, "depth", *services);
        draw(skinnedDepth, mesh, 0, material);
        recordConstants(record, "skinnedDepth", *services);
        draw(instancedDepth, mesh, 0, material);
        recordConstants(record, "instancedDepth", *services);
        shadow.lightPosition = core::vector3df(10, 20 + frame, 30);
        shadow.farValue = 300.0f;
        shadow.mapResolution = 1024.0f;
        shadow.lightProjection = handler->shadowLights[0].projectionMatrix;
        shadow.lightView = handler->shadowLights[0].viewMatrix;
        draw(shadow, mesh, 0, material);
        recordConstants(record, "shadow", *services);
        draw(screenQuad, nullptr, 0, material);
        recordConstants(record, "screenQuad", *services);
    }
    screenWidth = 0;
    screenHeight = 0;

    // Without shaders a mesh is tinted by its vertex colour for its draw, and untinted after.
    auto* plain = new scene::SMesh();
    auto* buffer = new scene::SMeshBuffer();
    buffer->Vertices.push_back(video::S3DVertex(0, 0, 0, 0, 1, 0, video::SColor(255, 128, 64, 255), 0, 0));
    plain->addMeshBuffer(buffer);
    buffer->drop();
    auto* animated = new scene::SAnimatedMesh(plain);
    plain->drop();
    scene::IAnimatedMeshSceneNode* tinted = smgr()->addAnimatedMeshSceneNode(animated);
    animated->drop();
    tinted->getMaterial(0).ColorMaterial = video::ECM_NONE;
    tinted->getMaterial(0).DiffuseColor = video::SColor(255, 200, 100, 50);
    tinted->getMaterial(0).AmbientColor = video::SColor(255, 40, 80, 160);
    for (s32 level : {0, 3}) {
        shaders->shaderLevel = level;
        shaders->tintFixedFunctionMaterials(tinted);
        record.line("tint level %d draw %s %s", level, hexColour(tinted->getMaterial(0).DiffuseColor).c_str(),
                    hexColour(tinted->getMaterial(0).AmbientColor).c_str());
        shaders->restoreFixedFunctionMaterials(tinted);
        record.line("tint level %d after %s %s", level, hexColour(tinted->getMaterial(0).DiffuseColor).c_str(),
                    hexColour(tinted->getMaterial(0).AmbientColor).c_str());
    }
    test::expectMatchesRecord("render/records/shader_constants.txt", record.text);
}

// --- (c) particles ------------------------------------------------------------------------------------

TEST_F(RenderRecordTest, ParticleSystemsOverFixedTimeSteps) {
    Record record;
    scene::ICameraSceneNode* camera = smgr()->addCameraSceneNode(nullptr, core::vector3df(0, 5, -40));
    camera->setTarget(core::vector3df(0, 0, 0));
    smgr()->setActiveCamera(camera);
    camera->OnAnimate(0);
    camera->updateAbsolutePosition();
    camera->render();

    const struct Effect {
        const char* name;
        s32 emitter;
        s32 blend;
        void (*adjust)(ParticleSettings&);
    } effects[] = {
        {"point", ParticleObject::PointEmitter, ParticleObject::AlphaBlend,
         [](ParticleSettings& s) {
             s.gravity = core::vector3df(0, -0.02f, 0);
             s.fadeOut = true;
             s.maxAngleDegrees = 20;
         }},
        {"ring", ParticleObject::RingEmitter, ParticleObject::Additive,
         [](ParticleSettings& s) {
             s.scaleOverTime = true;
             s.rotationSpeed = 2.0f;
             s.startRotation = core::vector2df(0.5f, 1.5f);
         }},
        {"box", ParticleObject::BoxEmitter, ParticleObject::Opaque,
         [](ParticleSettings& s) {
             s.fadeInTime = 300;
             s.minStartColor = video::SColor(255, 10, 20, 30);
             s.maxStartColor = video::SColor(255, 200, 150, 100);
         }},
        {"cylinder", ParticleObject::CylinderEmitter, ParticleObject::Modulate,
         [](ParticleSettings& s) {
             s.pivotRotationSpeed = core::vector3df(0, 30, 0);
             s.globalParticles = false;
         }},
        {"sphere", ParticleObject::SphereEmitter, ParticleObject::NonPremultiplied,
         [](ParticleSettings& s) {
             s.hasAttractPoint = true;
             s.attractPoint = core::vector3df(0, 10, 0);
             s.attractSpeed = 2.0f;
             s.particlesPerSecond = core::vector2di(20, 40);
         }},
    };
    for (const Effect& e : effects) {
        device->get()->getRandomizer()->reset(1234);
        auto* object = new ParticleObject(root(), smgr());
        object->drop();
        object->setPosition(core::vector3df(3, 2, 1));
        object->updateAbsolutePosition();
        object->EmitterType = e.emitter;
        object->BlendType = e.blend;
        e.adjust(object->settings);
        object->createParticleSystem();
        ParticleSystemNode* node = object->getParticleNode();
        node->updateAbsolutePosition();
        std::string affectors;
        for (scene::IParticleAffector* affector : node->getAffectors())
            affectors += " " + std::to_string(static_cast<s32>(affector->getType()));
        record.line("effect %s affectors%s size %.5g %.5g", e.name, affectors.c_str(), node->ParticleSize.Width,
                    node->ParticleSize.Height);
        std::string counts = " counts";
        for (u32 step = 0; step <= 30; ++step) {
            const u32 now = 1000 + step * 50;
            node->doParticleSystem(now);
            counts += " " + std::to_string(node->getParticleCount());
            if (step % 6 != 0)
                continue;
            const u32 count = node->getParticleCount();
            core::aabbox3df bounds(0, 0, 0, 0, 0, 0);
            for (u32 i = 0; i < count; ++i)
                if (i == 0)
                    bounds.reset(node->getParticle(i).pos);
                else
                    bounds.addInternalPoint(node->getParticle(i).pos);
            record.line(" t %u count %u emitted %u", now, count, node->LastEmitTime);
            record.box("  bounds", bounds);
            for (u32 i = 0; i < std::min<u32>(count, 3); ++i) {
                const scene::SParticle& p = node->getParticle(i);
                const f32 values[11] = {p.pos.X,     p.pos.Y,         p.pos.Z,         p.vector.X,
                                        p.vector.Y,  p.vector.Z,      p.size.Width,    p.size.Height,
                                        node->getParticleExtra(i).rotation, p.startSize.Width,
                                        static_cast<f32>(p.endTime - p.startTime)};
                record.floats("  particle " + std::to_string(i) + " " + hexColour(p.color), values, 11);
            }
        }
        record.line("%s", counts.c_str());
        // Past every life: the counts fall as the particles reach their ends.
        counts = " later";
        for (u32 now = 4000; now <= 6500; now += 50) {
            node->doParticleSystem(now);
            counts += " " + std::to_string(node->getParticleCount());
        }
        record.line("%s", counts.c_str());
        object->OnAnimate(6500);
        node->render();
        scene::SMeshBuffer* buffer = node->getBuffer();
        record.line(" material %d vertices %u indices %u", node->getMaterial(0).MaterialType,
                    buffer->getVertexCount(), buffer->getIndexCount());
        record.box("  buffer box", buffer->getBoundingBox());
        std::string indices = "  indices";
        u32 indexSum = 0;
        for (u32 i = 0; i < buffer->getIndexCount(); ++i) {
            indexSum += buffer->Indices[i] * (i % 7 + 1);
            if (i < 12 || i + 6 >= buffer->getIndexCount())
                indices += " " + std::to_string(buffer->Indices[i]);
        }
        record.line("%s sum %u", indices.c_str(), indexSum);
        for (u32 i = 0; i < std::min<u32>(buffer->getVertexCount(), 4); ++i) {
            const video::S3DVertex& v = buffer->Vertices[i];
            const f32 values[5] = {v.Pos.X, v.Pos.Y, v.Pos.Z, v.TCoords.X, v.TCoords.Y};
            record.floats("  vertex " + std::to_string(i) + " " + hexColour(v.Color), values, 5);
        }
        object->remove();
    }
    test::expectMatchesRecord("render/records/particles.txt", record.text);
}

// --- (d) water, lights and the shadow set-up ---------------------------------------------------------

TEST_F(RenderRecordTest, WaterLightsAndShadowSetUpOverFrames) {
    Record record;
    simulateRunningPhysics();
    scene::ICameraSceneNode* viewer = smgr()->addCameraSceneNode(nullptr, core::vector3df(0, 10, -30));
    viewer->setNearValue(1.0f);
    viewer->setFarValue(200.0f);

    // Shadows: each distance mode and quality, the viewer moving over the frames.
    for (s32 mode : {1, 2}) {
        for (s32 quality : {512, 2048}) {
            setSettingInt("Graphics_ShadowQuality", quality);
            handler->shadowDistanceMode = mode;
            handler->shadowsEnabled = true;
            handler->setShadowQuality(core::vector3df(30, 90, -20), core::vector3df(5, 0, 5));
            record.line("shadow mode %d quality %d distance %.5g", mode, quality, handler->shadowDistance);
            for (const ShadowLight& light : handler->shadowLights) {
                record.line(" light resolution %u near %.5g far %.5g width %.5g scale %.5g", light.resolution,
                            light.nearValue, light.farValue, light.width, light.farPlaneScale);
                const f32 colour[4] = {light.colour.r, light.colour.g, light.colour.b, light.colour.a};
                record.floats(" light colour", colour, 4);
            }
            for (int frame = 0; frame < 3; ++frame) {
                viewer->setPosition(core::vector3df(frame * 5.0f, 10.0f, -30.0f + frame * 10.0f));
                viewer->updateAbsolutePosition();
                viewer->setTarget(core::vector3df(frame * 2.0f, 0, 10.0f));
                smgr()->setActiveCamera(viewer);
                handler->updateShadowCascades();
                ShadowCascades& cascades = *handler->shadowCascades;
                record.line(" frame %d splits %d", frame, cascades.splitCount);
                record.floats("  splitDistances", cascades.splitDistances.data(), cascades.splitDistances.size());
                record.vector("  light position", handler->shadowLights[0].position);
                record.vector("  light target", handler->shadowLights[0].target);
                record.matrix("  light view", handler->shadowLights[0].viewMatrix);
                record.matrix("  light projection", handler->shadowLights[0].projectionMatrix);
                record.vector("  camera position", handler->shadowCamera->getPosition());
                record.vector("  camera target", handler->shadowCamera->getTarget());
                for (s32 k = 0; k < cascades.splitCount; ++k) {
                    record.matrix("  cascade view " + std::to_string(k), cascades.lightViews[k]);
                    record.matrix("  cascade projection " + std::to_string(k), cascades.lightProjections[k]);
                }
                cascades.computeSliceCorners(viewer, 0, 1.1f);
                for (int c = 0; c < 8; ++c)
                    record.vector("  corner " + std::to_string(c), cascades.corners[c]);
            }
        }
    }

    // Lights: the records the shaders get, the light boxes and the choice per node.
    LightObject* made[4] = {
        addLight("Sun", video::ELT_DIRECTIONAL, core::vector3df(0, 50, 0), 80.0f, video::SColorf(1, 0.9f, 0.8f, 1)),
        addLight("Lamp", video::ELT_POINT, core::vector3df(4, 3, 2), 6.0f, video::SColorf(0.5f, 0.25f, 1, 1)),
        addLight("Spot", video::ELT_SPOT, core::vector3df(-3, 6, 1), 4.0f, video::SColorf(0.2f, 1, 0.3f, 0.5f)),
        addLight("Far", video::ELT_POINT, core::vector3df(40, 0, 0), 2.0f, video::SColorf(1, 1, 1, 1))};
    made[2]->getLightData().InnerCone = 20.0f;
    made[2]->getLightData().OuterCone = 50.0f;
    for (LightObject* light : made) {
        LightRecord lightRecord = defaultLightRecord();
        buildLightRecord(light->getLightData(), lightRecord);
        record.floats(std::string("light ") + light->getName() + " record", lightRecord.rows, 20);
        record.box(std::string("light ") + light->getName() + " box", light->getBoundingBox());
        record.vector(std::string("light ") + light->getName() + " direction", light->getLightData().Direction);
        record.line("light %s radius %.5g priority %d type %d", light->getName(), light->getRadius(),
                    light->getPriority(), light->getLightType());
    }
    // Nodes drawn by the scene: the lights each is given while it draws.
    struct Probe : public rendertest::DrawnProbe {
        using rendertest::DrawnProbe::DrawnProbe;
        void render() override {
            chosen.clear();
            for (u32 i = 0; i < lightManager->candidateLights.size(); ++i)
                chosen += std::string(" ") + lightManager->candidateLight(i)->getName() + " " +
                          std::to_string(static_cast<int>(lightManager->candidateLights[i].key * 100.0f));
            rendertest::RecordingServices recording(SceneManager->getVideoDriver());
            PhongShaderCallback::setLights(&recording, records);
            Record lightRecords;
            recordLightRecords(lightRecords, "  light record", records);
            sent = lightRecords.text;
        }
        std::string chosen;
        LightRecord records[maxLightRecords];
        std::string sent;
    };
    Probe* probes[3] = {new Probe(smgr(), core::vector3df(3, 3, 2)), new Probe(smgr(), core::vector3df(-3, 4, 1)),
                        new Probe(smgr(), core::vector3df(38, 0, 0))};
    for (Probe* probe : probes)
        probe->drop();
    viewer->setPosition(core::vector3df(0, 5, -40));
    viewer->setTarget(core::vector3df(0, 0, 0));
    smgr()->setActiveCamera(viewer);
    for (u32 perNode : {1u, 2u, 4u}) {
        lights->maxLightsPerNode = perNode;
        smgr()->drawAll();
        for (int i = 0; i < 3; ++i) {
            record.line("lights %u probe %d chosen%s", perNode, i, probes[i]->chosen.c_str());
            record.text += probes[i]->sent;
        }
    }
    for (Probe* probe : probes)
        probe->remove();

    // Water: its planes, mirrored views and view test over time.
    auto* water = new WaterObject(32.0f, 16.0f, nullptr, root(), smgr());
    water->drop();
    water->setPosition(core::vector3df(1, 2, 3));
    water->setRotation(core::vector3df(0, 30, 0));
    water->updateAbsolutePosition();
    record.line("water shader %d refraction %d reflection %d material %d", water->usesWaterShader() ? 1 : 0,
                water->showsRefraction() ? 1 : 0, water->showsReflection() ? 1 : 0,
                water->getWaterMeshNode() ? water->getWaterMeshNode()->getMaterial(0).MaterialType : -1);
    record.box("water box", water->getBoundingBox());
    for (int frame = 0; frame < 3; ++frame) {
        const u32 now = 5000 + static_cast<u32>(frame) * 250;
        viewer->setPosition(core::vector3df(frame * 4.0f, 12.0f - frame * 3.0f, -25.0f));
        viewer->updateAbsolutePosition();
        viewer->setTarget(core::vector3df(0, 0, frame * 5.0f));
        viewer->OnAnimate(now);
        viewer->render();
        water->OnAnimate(now);
        record.line("water frame %d time %u in view %d", frame, water->getSceneTime(), water->isInView(viewer) ? 1 : 0);
        core::vector3df position, target, up;
        water->mirrorView(viewer->getAbsolutePosition(), viewer->getTarget(), position, target, up);
        record.vector("  mirrored position", position);
        record.vector("  mirrored target", target);
        record.vector("  mirrored up", up);
        for (f32 sign : {1.0f, -1.0f}) {
            core::plane3df clip;
            water->computeClipPlane(core::vector3df(0, sign, 0), viewer, clip);
            const core::plane3df view = water->viewPlane(core::vector3df(0, sign, 0), viewer);
            const core::plane3df world = water->worldPlane(core::vector3df(0, sign, 0));
            const f32 planes[12] = {clip.Normal.X, clip.Normal.Y, clip.Normal.Z, clip.D,
                                    view.Normal.X, view.Normal.Y, view.Normal.Z, view.D,
                                    world.Normal.X, world.Normal.Y, world.Normal.Z, world.D};
            record.floats("  planes " + std::to_string(static_cast<int>(sign)), planes, 12);
        }
        water->renderReflectionRefraction();
        record.matrix("  reflection view", water->reflectionViewMatrix);
        const f32 clips[8] = {water->refractionClipPlane.Normal.X, water->refractionClipPlane.Normal.Y,
                              water->refractionClipPlane.Normal.Z, water->refractionClipPlane.D,
                              water->reflectionClipPlane.Normal.X, water->reflectionClipPlane.Normal.Y,
                              water->reflectionClipPlane.Normal.Z, water->reflectionClipPlane.D};
        record.floats("  clip planes", clips, 8);
    }
    test::expectMatchesRecord("render/records/water_lights_shadows.txt", record.text);
}

// --- (d) world effects, world text and sprite animation ----------------------------------------------

void recordVertices(Record& record, const std::string& what, const video::S3DVertex* vertices, u32 count) {
    for (u32 i = 0; i < count; ++i) {
        const video::S3DVertex& v = vertices[i];
        const f32 values[8] = {v.Pos.X, v.Pos.Y, v.Pos.Z, v.Normal.X, v.Normal.Y, v.Normal.Z, v.TCoords.X, v.TCoords.Y};
        record.floats(what + " " + std::to_string(i) + " " + hexColour(v.Color), values, 8);
    }
}

TEST_F(RenderRecordTest, WorldEffectsTextAndSpriteFramesOverFixedTime) {
    Record record;
    scene::ICameraSceneNode* camera = smgr()->addCameraSceneNode(nullptr, core::vector3df(0, 0, -50));
    camera->setTarget(core::vector3df(0, 0, 0));
    smgr()->setActiveCamera(camera);

    // Billboards facing the camera as it moves, and one lying in its plane.
    auto* facing = new BillboardObject(root(), smgr(), -1, core::vector3df(2, 3, 4), core::dimension2df(6, 4),
                                       video::SColor(255, 255, 0, 0), video::SColor(128, 0, 0, 255));
    facing->drop();
    auto* flat = new BillboardObject(root(), smgr(), -1, core::vector3df(-2, 1, 0));
    flat->drop();
    flat->setFaceCamera(false);
    flat->setSize(core::dimension2df(0, 5));
    flat->setColor(video::SColor(200, 10, 20, 30));
    for (int frame = 0; frame < 3; ++frame) {
        camera->setPosition(core::vector3df(frame * 10.0f, frame * 5.0f, -50.0f + frame * 10.0f));
        camera->updateAbsolutePosition();
        camera->OnAnimate(100u * static_cast<u32>(frame));
        facing->updateAbsolutePosition();
        flat->updateAbsolutePosition();
        // Drawn by the scene: a hidden billboard keeps the corners of its last draw.
        facing->setVisible(frame != 1);
        smgr()->drawAll();
        record.line("billboards frame %d", frame);
        recordVertices(record, " facing", facing->getVertices(), 4);
        recordVertices(record, " flat", flat->getVertices(), 4);
        record.box(" facing box", facing->getBoundingBox());
        record.box(" flat box", flat->getBoundingBox());
    }

    // Volume lights of a few subdivisions and colours.
    const struct Volume {
        u32 u, v;
        video::SColor foot, tail;
    } volumes[] = {{4, 2, video::SColor(51, 0, 230, 180), video::SColor(0, 0, 0, 0)},
                   {1, 1, video::SColor(255, 255, 255, 255), video::SColor(10, 20, 30, 40)},
                   {8, 3, video::SColor(100, 200, 50, 25), video::SColor(0, 255, 0, 0)}};
    for (const Volume& v : volumes) {
        auto* volume = new VolumeLightObject(root(), smgr(), -1, v.u, v.v, v.foot, v.tail);
        volume->drop();
        scene::IMesh* lightMesh = volume->getMesh();
        record.line("volume %u %u -> %u %u distance %.5g buffers %u", v.u, v.v, volume->getSubDivideU(),
                    volume->getSubDivideV(), volume->getDistance(), lightMesh ? lightMesh->getMeshBufferCount() : 0);
        record.box(" box", volume->getBoundingBox());
        record.vector(" dimension", volume->getLightDimension());
        if (lightMesh && lightMesh->getMeshBufferCount() > 0) {
            scene::IMeshBuffer* buffer = lightMesh->getMeshBuffer(0);
            record.line(" vertices %u indices %u material %d", buffer->getVertexCount(), buffer->getIndexCount(),
                        volume->getMaterial(0).MaterialType);
            const auto* vertices = static_cast<const video::S3DVertex*>(buffer->getVertices());
            recordVertices(record, " vertex", vertices, std::min<u32>(buffer->getVertexCount(), 6));
            if (buffer->getVertexCount() > 6)
                recordVertices(record, " last", vertices + buffer->getVertexCount() - 1, 1);
        }
        // A new subdivision keeps the material the volume had.
        volume->getMaterial(0).MaterialType = video::EMT_TRANSPARENT_ADD_COLOR;
        volume->getMaterial(0).Lighting = true;
        volume->setSubDivideU(v.u + 2);
        volume->setFootColor(video::SColor(90, 1, 2, 3));
        record.line(" rebuilt %u material %d lighting %d vertices %u", volume->getSubDivideU(),
                    volume->getMaterial(0).MaterialType, volume->getMaterial(0).Lighting ? 1 : 0,
                    volume->getMesh() && volume->getMesh()->getMeshBufferCount() > 0
                        ? volume->getMesh()->getMeshBuffer(0)->getVertexCount()
                        : 0);
        volume->remove();
    }

    // A bitmap world text laid out as a strip, facing the camera and not.
    camera->setPosition(core::vector3df(0, 0, -50));
    camera->updateAbsolutePosition();
    camera->render();
    video::IImage* image = driver()->createImage(video::ECF_A8R8G8B8, core::dimension2du(64, 32));
    image->fill(video::SColor(255, 255, 255, 255));
    ASSERT_TRUE(driver()->writeImageToFile(image, temp.file("Two.png").c_str()));
    image->drop();
    std::ofstream(temp.file("Two.xml")) << "<?xml version=\"1.0\"?>\n<font type=\"bitmap\">\n"
                                           "<Texture index=\"0\" filename=\"Two.png\" hasAlpha=\"true\" />\n"
                                           "<c c=\"A\" r=\"0, 0, 10, 20\" />\n<c c=\"B\" r=\"10, 0, 40, 20\" />\n"
                                           "<c c=\" \" r=\"40, 0, 44, 20\" />\n</font>\n";
    for (bool faceCamera : {false, true}) {
        auto* text = new TextObject(root(), smgr(), -1);
        text->drop();
        io::IAttributes* in = device->get()->getFileSystem()->createEmptyAttributes(driver());
        in->addString("FontPath", temp.file("Two.xml").c_str());
        in->addString("Text", "AB ?BA");
        in->addBool("FaceCamera", faceCamera);
        text->deserializeAttributes(in);
        in->drop();
        text->setColor(video::SColor(255, 200, 0, 0), video::SColor(255, 0, 0, 200));
        text->setPosition(core::vector3df(1, 2, 3));
        text->updateAbsolutePosition();
        text->OnRegisterSceneNode();
        record.line("text face %d glyphs %zu pixels %u %u size %.5g %.5g", faceCamera ? 1 : 0,
                    text->getGlyphRecords().size(), text->getTextPixelSize().Width, text->getTextPixelSize().Height,
                    text->getSize().X, text->getSize().Y);
        for (const TextObject::GlyphRecord& glyph : text->getGlyphRecords())
            record.line(" glyph %u %.5g %.5g %u %u", glyph.bufferIndex, glyph.width, glyph.kerning, glyph.firstIndex,
                        glyph.firstVertex);
        if (text->getMesh() && text->getMesh()->getMeshBufferCount() > 0) {
            scene::IMeshBuffer* buffer = text->getMesh()->getMeshBuffer(0);
            recordVertices(record, " vertex", static_cast<const video::S3DVertex*>(buffer->getVertices()),
                           buffer->getVertexCount());
        }
        record.box(" box", text->getBoundingBox());
        text->remove();
    }

    // Sprite animations: looping, reversed and clamped, over fixed steps.
    guitest::SizedTexture* sheet = new guitest::SizedTexture("sheet", 256, 128);
    const struct Sprite {
        const char* name;
        bool looping, reversed;
        std::vector<s32> frames;
        f32 duration, step; // a step of 0.25 lands on the ends exactly
    } sprites[] = {{"loop", true, false, {}, 0.8f, 0.07f},          {"reverse", true, true, {}, 0.8f, 0.07f},
                   {"clamp", false, false, {}, 0.8f, 0.07f},        {"list", true, false, {3, 1, 4, 1, 5}, 0.8f, 0.07f},
                   {"loopExact", true, false, {}, 1.0f, 0.25f},     {"reverseExact", true, true, {}, 1.0f, 0.25f},
                   {"clampExact", false, false, {}, 1.0f, 0.25f},   {"clampBack", false, true, {}, 1.0f, 0.25f}};
    struct FinishCounter {
        void finishedOnce() { ++count; }
        int count = 0;
    };
    for (const Sprite& s : sprites) {
        SpriteAnimation animation;
        animation.setTexture(sheet);
        animation.width = 32;
        animation.height = 32;
        animation.x = 16;
        animation.y = 8;
        animation.itemX = 4;
        animation.itemY = 2;
        animation.columns = 6;
        animation.rows = 3;
        animation.frameCount = 16;
        animation.first = 1;
        animation.last = 16;
        animation.overallWidth = 192;
        animation.overallHeight = 96;
        animation.looping = s.looping;
        animation.reversed = s.reversed;
        for (s32 cell : s.frames)
            animation.frameList.push_back(cell);
        animation.duration = 0.8f;
        animation.setFrameTime(s.duration / 16.0f); // the duration follows the frame time
        FinishCounter finished;
        animation.finished.addMember(&finished, &FinishCounter::finishedOnce);
        record.line("sprite %s frameTime %.5g duration %.5g", s.name, animation.frameTime, animation.duration);
        for (int step = 0; step < 24; ++step) {
            animation.update(s.step);
            const core::rectf uv = animation.getFrameUVRect();
            const core::recti rect = animation.getFrameRect();
            record.line(" %d time %.5g cell %d finished %d uv %.5g %.5g %.5g %.5g rect %d %d %d %d", step,
                        animation.time, animation.getCurrentCell(), finished.count,
                        uv.UpperLeftCorner.X, uv.UpperLeftCorner.Y, uv.LowerRightCorner.X, uv.LowerRightCorner.Y,
                        rect.UpperLeftCorner.X, rect.UpperLeftCorner.Y, rect.LowerRightCorner.X,
                        rect.LowerRightCorner.Y);
        }
    }
    sheet->drop();

    // The shipped sprite animations as their files describe them, played over fixed steps.
    {
        test::ScopedWorkingDir inSource(test::sourceDir());
        for (const char* file : {"CheckpointSaving", "LevelLoading", "PaintDrop", "SkipCutscene", "Splat"}) {
            SpriteAnimation animation;
            const bool loaded =
                loadTextureAnimation(animation, (std::string("Content/Billboards/") + file + ".xml").c_str());
            std::string frames;
            for (u32 i = 0; i < animation.frameList.size(); ++i)
                frames += " " + std::to_string(animation.frameList[i]);
            record.line("shipped %s loaded %d name %s texture %d frames%s", file, loaded ? 1 : 0,
                        animation.name.c_str(), animation.texture ? 1 : 0, frames.c_str());
            record.line(" x %d y %d item %d %d size %d %d overall %d %d count %d first %d last %d grid %d %d", animation.x,
                        animation.y, animation.itemX, animation.itemY, animation.width, animation.height,
                        animation.overallWidth, animation.overallHeight, animation.frameCount, animation.first,
                        animation.last, animation.columns, animation.rows);
            record.line(" time %.5g duration %.5g frameTime %.5g playing %d reversed %d looping %d", animation.time,
                        animation.duration, animation.frameTime, animation.playing ? 1 : 0,
                        animation.reversed ? 1 : 0, animation.looping ? 1 : 0);
            for (int step = 0; step < 6; ++step) {
                animation.update(0.05f);
                const core::recti rect = animation.getFrameRect();
                record.line(" %d time %.5g cell %d rect %d %d %d %d", step, animation.time, animation.getCurrentCell(),
                            rect.UpperLeftCorner.X, rect.UpperLeftCorner.Y, rect.LowerRightCorner.X,
                            rect.LowerRightCorner.Y);
            }
        }
    }
    test::expectMatchesRecord("render/records/world_effects.txt", record.text);
}


// --- a shipped level --------------------------------------------------------------------------------

std::string typeName(scene::ISceneNode* node) {
    const u32 type = node->getType();
    std::string name(reinterpret_cast<const char*>(&type), 4);
    for (char& c : name)
        if (c == ' ' || c == 0)
            c = '_';
    return name;
}

void collectNodes(scene::ISceneNode* node, std::vector<scene::ISceneNode*>& out) {
    for (scene::ISceneNode* child : node->getChildren()) {
        out.push_back(child);
        // A text's glyph nodes are recorded with their text.
        if (typeName(child) != "text")
            collectNodes(child, out);
    }
}

bool isMeshLike(const std::string& type) {
    return type == "cube" || type == "sphr" || type == "mesh" || type == "amsh";
}

// The greenhouse of the story as the renderer sees it over a few frames of fixed time: each
// node's place, the lights chosen for each drawn node with the Phong constants of its draw,
// and the level's particles, water, billboard, volume light and texts.
TEST_F(RenderRecordTest, ShippedGreenhouseOverFixedFrames) {
    Record record;
    test::ScopedWorkingDir inSource(test::sourceDir());
    registerRenderSubsystem();
    // The world text's TrueType glyphs come from the game's fonts.
    test::ScreenConnections fonts;
    // The level's objects as the game makes them, whichever test of the program ran before.
    registerMeshGate(smgr());
    registerPhysicsObjectTypes();
    device->get()->getRandomizer()->reset(2468);
    ASSERT_TRUE(manager->loadLevel("Content/Levels/Story_Greenhouse.irr"));
    record.line("level lights per node %u shadows %d", lights->maxLightsPerNode,
                handler->levelShadowsEnabled ? 1 : 0);
    scene::ICameraSceneNode* camera = smgr()->addCameraSceneNode(nullptr, core::vector3df(0, 40, -120));
    camera->setTarget(core::vector3df(0, 0, 0));
    camera->setFarValue(500.0f);
    smgr()->setActiveCamera(camera);

    std::vector<scene::ISceneNode*> nodes;
    collectNodes(root(), nodes);
    // File order within a type, types by name: the same every run.
    std::stable_sort(nodes.begin(), nodes.end(),
                     [](scene::ISceneNode* a, scene::ISceneNode* b) { return typeName(a) < typeName(b); });
    PhongShaderCallback phong;
    // The device's clock stands still at each frame's time: what reads it (the particles'
    // emission while they register for drawing) sees the frame's time.
    ITimer* timer = device->get()->getTimer();
    timer->stop();
    for (int frame = 0; frame < 3; ++frame) {
        const u32 now = 20000 + static_cast<u32>(frame) * 250;
        timer->setTime(now);
        camera->setPosition(core::vector3df(frame * 20.0f, 40.0f, -120.0f + frame * 30.0f));
        camera->updateAbsolutePosition();
        root()->OnAnimate(now);
        // The frame as the game draws it: the render callbacks (the water's images), then the
        // scene, each node with the lights chosen for it.
        handler->runRenderCallbacks();
        handler->update(nullptr);
        record.line("frame %d time %u clock %u", frame, now, timer->getTime());
        core::array<scene::ISceneNode*> lightList;
        smgr()->getSceneNodesFromType(scene::ESNT_LIGHT, lightList);
        // What registering the lights for the frame's draw does first.
        for (u32 i = 0; i < lightList.size(); ++i)
            if (auto* light = dynamic_cast<LightObject*>(lightList[i]))
                light->doLightRecalc();
        lights->OnPreRender(lightList);
        for (scene::ISceneNode* node : nodes) {
            const std::string type = typeName(node);
            if (type == "cam_" || type == "psys" || type == "ptcl")
                continue;
            const core::vector3df at = node->getAbsolutePosition();
            record.line("node %s %d %s at %.5g %.5g %.5g shown %d", type.c_str(), node->getID(),
                        node->getName()[0] ? node->getName() : "-", at.X, at.Y, at.Z, node->isVisible() ? 1 : 0);
            if (type == "lght") {
                auto* light = static_cast<scene::ILightSceneNode*>(node);
                LightRecord lightRecord = defaultLightRecord();
                buildLightRecord(light->getLightData(), lightRecord);
                record.floats("  record", lightRecord.rows, 20);
            } else if (type == "ptc1") {
                ParticleSystemNode* particles = static_cast<ParticleObject*>(node)->getParticleNode();
                core::aabbox3df bounds(0, 0, 0, 0, 0, 0);
                for (u32 i = 0; i < particles->getParticleCount(); ++i)
                    if (i == 0)
                        bounds.reset(particles->getParticle(i).pos);
                    else
                        bounds.addInternalPoint(particles->getParticle(i).pos);
                record.line("  particles %u material %d", particles->getParticleCount(),
                            particles->getMaterial(0).MaterialType);
                record.box("  bounds", bounds);
            } else if (type == "wtr1") {
                auto* water = static_cast<WaterObject*>(node);
                core::plane3df clip;
                water->computeClipPlane(core::vector3df(0, 1, 0), camera, clip);
                record.line("  water time %u in view %d shader %d", water->getSceneTime(),
                            water->isInView(camera) ? 1 : 0, water->usesWaterShader() ? 1 : 0);
                const f32 plane[4] = {clip.Normal.X, clip.Normal.Y, clip.Normal.Z, clip.D};
                record.floats("  clip", plane, 4);
                record.box("  box", water->getBoundingBox());
                WaterShaderCallback waterCallback;
                services->clear();
                lights->currentNode = water->getWaterMeshNode();
                waterCallback.OnSetConstants(services.get(), 0);
                lights->currentNode = nullptr;
                recordConstants(record, "  water", *services);
            } else if (type == "bill") {
                auto* billboard = static_cast<BillboardObject*>(node);
                recordVertices(record, "  vertex", billboard->getVertices(), 4);
            } else if (type == "vmlt") {
                auto* volume = static_cast<VolumeLightObject*>(node);
                record.line("  volume %u %u vertices %u", volume->getSubDivideU(), volume->getSubDivideV(),
                            volume->getMesh() && volume->getMesh()->getMeshBufferCount()
                                ? volume->getMesh()->getMeshBuffer(0)->getVertexCount()
                                : 0);
                record.box("  box", volume->getBoundingBox());
            } else if (type == "text") {
                auto* text = static_cast<TextObject*>(node);
                text->OnRegisterSceneNode();
                record.line("  text glyphs %zu nodes %u pixels %u %u", text->getGlyphRecords().size(),
                            text->getGlyphNodes().size(), text->getTextPixelSize().Width,
                            text->getTextPixelSize().Height);
                record.box("  box", text->getBoundingBox());
                for (u32 i = 0; i < std::min<u32>(text->getGlyphNodes().size(), 4); ++i) {
                    text->getGlyphNodes()[i]->updateAbsolutePosition();
                    record.vector("  glyph " + std::to_string(i), text->getGlyphNodes()[i]->getAbsolutePosition());
                }
            } else if (type == "txtb") {
                auto* bubble = static_cast<TextBubbleObject*>(node);
                bubble->advanceReveal(0.4f);
                record.line("  bubble lines %zu glyphs %d revealed %d progress %.5g clicks %u", bubble->getLines().size(),
                            bubble->getGlyphCount(), bubble->countRevealedGlyphs(), bubble->getRevealProgress(),
                            bubble->getClickCount());
                for (TextObject* line : bubble->getLineObjects())
                    record.line("  line nodes %u at %.5g %.5g %.5g", line->getGlyphNodes().size(),
                                line->getAbsolutePosition().X, line->getAbsolutePosition().Y,
                                line->getAbsolutePosition().Z);
                if (bubble->getBubbleCard())
                    record.vector("  card", bubble->getBubbleCard()->getAbsolutePosition());
            }
            if (!isMeshLike(type) || node->getMaterialCount() == 0)
                continue;
            lights->OnNodePreRender(node);
            std::string chosen;
            for (u32 i = 0; i < lights->candidateLights.size(); ++i)
                chosen += std::string(" ") + lights->candidateLight(i)->getName();
            record.line("  lights%s", chosen.c_str());
            if (frame != 1) {
                services->clear();
                phong.OnSetMaterial(node->getMaterial(0));
                phong.OnSetConstants(services.get(), 0);
                recordConstants(record, "  phong", *services);
                recordLightRecords(record, "   light record", phong.lightRecords);
            }
            lights->OnNodePostRender(node);
        }
        lights->OnPostRender();
    }
    manager->unloadLevel();
    smgr()->clear();
    clearFontCache();
    test::expectMatchesRecord("render/records/greenhouse.txt", record.text);
}

} // namespace
