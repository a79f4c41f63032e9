// Rendering on the OpenGL driver under Xvfb: the shader qualities, the effect handler's
// targets and materials, and a small lit level drawn through the frame at quality 0 (Phong
// shaders with the light manager's lights) and 2 (fixed-function lighting).
// PADDLESTONE_KEEP_SCREENSHOT=/path/lit.png keeps the pictures (lit-q0.png, lit-q2.png).
#include "render/EffectHandler.h"
#include "render/LightManager.h"
#include "render/RenderRegistration.h"
#include "render/RenderServices.h"
#include "render/ShaderManager.h"
#include "render/ScreenQuads.h"
#include "render/ShaderPreprocessor.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/ImageGate.h"
#include "core/LoadBudget.h"
#include "level/MeshGate.h"
#include "render/RenderManagers.h"
#include "level/SceneNodeFactory.h"
#include "support/GraphicsDriver.h"
#include "support/TempDir.h"

#include "RenderFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

using namespace irr;

namespace {

class RenderGlTest : public ::testing::TestWithParam<int>, protected rendertest::RenderGlFixture {
protected:
    void SetUp() override { ASSERT_TRUE(openRendering(core::dimension2du(1280, 720))); }
    void TearDown() override { closeRendering(); }
    // Start-up's order: the effect handler, the light manager, the shader manager.
    void startRendering(int quality) {
        setSettingInt("Graphics_Quality", quality);
        EffectHandlerSetup setup;
        setup.shadowsEnabled = true;
        setup.renderCallbacksEnabled = true;
        RenderGlFixture::startRendering(setup, adjustHandler);
    }
    // What the test changes on the effect handler right after its creation.
    std::function<void(EffectHandler&)> adjustHandler;

};

using ShaderQualityGlTest = RenderGlTest;

TEST_P(ShaderQualityGlTest, QualityGivesTheSpecifiedMaterials) {
    const int stored = GetParam();
    startRendering(stored);
    ShaderManager& manager = *shaderManager;
    const bool shaders = stored != 2;
    // Quality 1 is a Direct3D 9 choice: OpenGL takes 0.
    EXPECT_EQ(manager.graphicsQuality, shaders ? 0 : 2);
    EXPECT_EQ(manager.shaderLevel, 3);
    EXPECT_EQ(manager.variantsBuilt, shaders);
    EXPECT_EQ(manager.areShadersEnabled(), shaders);
    EXPECT_TRUE(manager.useIndexedArrayNames); // no "ATI" in the vendor text here
    EXPECT_EQ(device->getSceneManager()->getParameters()->getAttributeAsBool(scene::ALLOW_ZWRITE_ON_TRANSPARENT),
              !shaders);
    // The named shaders compile whatever the quality.
    for (s32 material : {manager.meterMaterial, manager.circleMaterial, manager.particleAlphaMaterial,
                         manager.particleAddMaterial, manager.particleAlphaRefMaterial, manager.particleSolidMaterial,
                         manager.glowMaterial, manager.waterMaterial, manager.waterMaterialSM3})
        EXPECT_GT(material, 0);
    // Each keeps the blending of its base: the alpha-tested and solid ones draw with the
    // opaque nodes, the others after them.
    const struct {
        s32 material;
        bool transparent;
    } bases[] = {{manager.particleAlphaMaterial, true},     {manager.particleAddMaterial, true},
                 {manager.particleAlphaRefMaterial, false}, {manager.particleSolidMaterial, false},
                 {manager.glowMaterial, true},              {manager.circleMaterial, true},
                 {manager.meterMaterial, true}};
    for (const auto& base : bases) {
        video::IMaterialRenderer* renderer = device->getVideoDriver()->getMaterialRenderer(base.material);
        ASSERT_NE(renderer, nullptr) << base.material;
        EXPECT_EQ(renderer->isTransparent(), base.transparent) << base.material;
    }
    // The lit water compiles a program of its own (the plain one stands in only when it fails).
    EXPECT_NE(manager.waterMaterialSM3, manager.waterMaterial);
    if (shaders) {
        // The plain variant compiles at once; the others wait, in their order, until asked
        // for or built together, and a quitting game builds none of them.
        EXPECT_GT(manager.findVariantMaterial(0), 0);
        const std::vector<s32> waiting(std::begin(phongVariantFlags) + 1, std::end(phongVariantFlags));
        EXPECT_EQ(manager.waitingVariants(), waiting);
        const std::size_t programs = manager.phongCallbacks.size();
        QuitRequested = true;
        manager.buildWaitingVariants();
        QuitRequested = false;
        EXPECT_EQ(manager.phongCallbacks.size(), programs);
        EXPECT_GT(manager.getMaterialType(0x9), 0);
        EXPECT_EQ(manager.waitingVariants().size(), waiting.size() - 1);
        EXPECT_EQ(std::count(manager.waitingVariants().begin(), manager.waitingVariants().end(), 0x9), 0);
        manager.buildWaitingVariants();
        EXPECT_TRUE(manager.waitingVariants().empty());
        EXPECT_EQ(manager.phongCallbacks.size(), programs + waiting.size());
        for (s32 flags : phongVariantFlags)
            EXPECT_GT(manager.findVariantMaterial(flags), 0) << "variant " << std::hex << flags;
        const s32 plain = manager.findVariantMaterial(0);
        EXPECT_EQ(manager.getMaterialType(0x20), plain);
        EXPECT_EQ(manager.getMaterialType(0x9), manager.findVariantMaterial(0x9));
        EXPECT_NE(manager.getMaterialType(0x9), plain);
        // The alpha-blended variants 0x1, 0x9, 0x5, 0xD, 0x3 and 0x201 cast alpha-tested shadows.
        EXPECT_EQ(manager.transparentVariantMaterials.size(), 6u);
        EXPECT_TRUE(effectHandler->hardwareSkinning);
    } else {
        EXPECT_EQ(manager.findVariantMaterial(0), -1);
        EXPECT_EQ(manager.getMaterialType(0x201), video::EMT_TRANSPARENT_ALPHA_CHANNEL);
        EXPECT_EQ(manager.getMaterialType(0x200), video::EMT_LIGHTMAP);
        EXPECT_EQ(manager.getMaterialType(0x9), video::EMT_TRANSPARENT_ALPHA_CHANNEL);
        EXPECT_FALSE(effectHandler->hardwareSkinning);
        EXPECT_FALSE(effectHandler->instancing);
    }
}

INSTANTIATE_TEST_SUITE_P(Qualities, ShaderQualityGlTest, ::testing::Values(0, 1, 2));

// A screen quad covers its rectangle, every corner of it, and nothing around it.
TEST_F(RenderGlTest, AScreenQuadCoversItsRectangleAndNothingElse) {
    video::IVideoDriver* driver = device->getVideoDriver();
    video::SMaterial material;
    material.Lighting = false;
    material.ZBuffer = video::ECFN_ALWAYS;
    material.BackfaceCulling = false;
    const core::recti rect(100, 60, 300, 160);
    driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
    drawScreenQuad(driver, material, rect);
    video::IImage* shot = driver->createScreenShot();
    driver->endScene();
    ASSERT_NE(shot, nullptr);
    const core::position2di inside[] = {{103, 63}, {297, 63}, {103, 157}, {297, 157}, {200, 110}};
    for (const core::position2di& at : inside)
        EXPECT_GT(shot->getPixel(at.X, at.Y).getRed(), 200u) << at.X << ", " << at.Y;
    const core::position2di outside[] = {{97, 57}, {303, 57}, {97, 163}, {303, 163}};
    for (const core::position2di& at : outside)
        EXPECT_LT(shot->getPixel(at.X, at.Y).getRed(), 50u) << at.X << ", " << at.Y;
    shot->drop();
}

// A level's picture and mesh, drawn on the OpenGL driver (the picture bound, the mesh's buffers
// copied to the card), leave the driver and the engine's cache as they are given back; read
// again, they are drawn again.
TEST_F(RenderGlTest, ALevelsPictureAndMeshGivenBackAreDrawnAgainOnceReadAgain) {
    video::IVideoDriver* driver = device->getVideoDriver();
    scene::ISceneManager* smgr = device->getSceneManager();
    registerImageGate(driver);
    registerMeshGate(smgr);
    video::IImage* red = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(4, 4));
    red->fill(video::SColor(255, 255, 0, 0));
    ASSERT_TRUE(driver->writeImageToFile(red, dir.file("Red.png").c_str()));
    red->drop();
    ASSERT_TRUE(test::writeFileBytes(dir.file("Board.mtl"), "newmtl red\nmap_Kd Red.png\n"));
    ASSERT_TRUE(test::writeFileBytes(dir.file("Board.obj"), "mtllib Board.mtl\nusemtl red\nv -1 -1 0\nv 1 -1 0\nv 1 1 0\n"
                                                            "v -1 1 0\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nf 1/1 4/4 3/3 2/2\n"));
    smgr->addCameraSceneNode(nullptr, core::vector3df(0, 0, -2), core::vector3df(0, 0, 0));
    // The board read for a level and drawn: the colour at the middle of the screen.
    const auto drawBoard = [&] {
        scene::IAnimatedMesh* mesh = nullptr;
        {
            const LoadBudgetScope level("Level.irr", true);
            mesh = smgr->getMesh(dir.file("Board.obj").c_str());
        }
        mesh->setHardwareMappingHint(scene::EHM_STATIC);
        scene::IMeshSceneNode* board = smgr->addMeshSceneNode(mesh);
        board->setMaterialFlag(video::EMF_LIGHTING, false);
        board->setMaterialFlag(video::EMF_BACK_FACE_CULLING, false);
        driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
        smgr->drawAll();
        video::IImage* shot = driver->createScreenShot();
        driver->endScene();
        const video::SColor middle = shot->getPixel(640, 360);
        shot->drop();
        board->remove();
        return middle.color;
    };
    EXPECT_EQ(drawBoard(), 0xFFFF0000u);
    releaseLevelMeshes(smgr);
    releaseLevelPictures(driver, smgr);
    EXPECT_EQ(driver->findTexture(dir.file("Red.png").c_str()), nullptr);
    EXPECT_EQ(smgr->getMeshCache()->getMeshByName(dir.file("Board.obj").c_str()), nullptr);
    EXPECT_EQ(drawBoard(), 0xFFFF0000u);
}

// The shader texts see one define per feature the driver reports, named after that feature:
// switching one feature off takes away its name and no other.
TEST_F(RenderGlTest, EachReportedFeatureDefinesItsOwnName) {
    video::IVideoDriver* driver = device->getVideoDriver();
    const struct {
        video::E_VIDEO_DRIVER_FEATURE feature;
        const char* name;
    } features[] = {{video::EVDF_TEXTURE_NPOT, "EVDF_TEXTURE_NPOT"},
                    {video::EVDF_FRAMEBUFFER_OBJECT, "EVDF_FRAMEBUFFER_OBJECT"},
                    {video::EVDF_VERTEX_SHADER_1_1, "EVDF_VERTEX_SHADER_1_1"},
                    {video::EVDF_VERTEX_SHADER_2_0, "EVDF_VERTEX_SHADER_2_0"},
                    {video::EVDF_VERTEX_SHADER_3_0, "EVDF_VERTEX_SHADER_3_0"},
                    {video::EVDF_PIXEL_SHADER_1_1, "EVDF_PIXEL_SHADER_1_1"},
                    {video::EVDF_PIXEL_SHADER_1_2, "EVDF_PIXEL_SHADER_1_2"},
                    {video::EVDF_PIXEL_SHADER_1_3, "EVDF_PIXEL_SHADER_1_3"},
                    {video::EVDF_PIXEL_SHADER_1_4, "EVDF_PIXEL_SHADER_1_4"},
                    {video::EVDF_PIXEL_SHADER_2_0, "EVDF_PIXEL_SHADER_2_0"},
                    {video::EVDF_PIXEL_SHADER_3_0, "EVDF_PIXEL_SHADER_3_0"}};
    const ShaderPreprocessor all(driver);
    for (const auto& entry : features)
        EXPECT_EQ(all.isDefined(entry.name), driver->queryFeature(entry.feature)) << entry.name;
    for (const auto& off : features) {
        driver->disableFeature(off.feature, true);
        const ShaderPreprocessor without(driver);
        driver->disableFeature(off.feature, false);
        for (const auto& entry : features)
            EXPECT_EQ(without.isDefined(entry.name), entry.feature != off.feature && all.isDefined(entry.name))
                << entry.name << " with " << off.name << " off";
    }
}

TEST_F(RenderGlTest, EffectHandlerHasItsTargetsMaterialsAndListsAfterStartUp) {
    startRendering(0);
    EffectHandler& handler = *effectHandler;
    EXPECT_FALSE(handler.shaderEffectsUnsupported);
    EXPECT_TRUE(handler.shadowsEnabled);
    EXPECT_EQ(handler.clearColor, video::SColor(0xFFC8C8C8));
    for (video::ITexture* target : {handler.screenRTT, handler.colorRTT, handler.screenQuad.renderTargets[0],
                                    handler.screenQuad.renderTargets[1]}) {
        ASSERT_NE(target, nullptr);
        EXPECT_EQ(target->getSize(), core::dimension2du(1280, 720));
    }
    ASSERT_NE(handler.tentaroTexture, nullptr);
    EXPECT_EQ(handler.tentaroTexture->getSize(), core::dimension2du(1024, 1024));
    ASSERT_NE(handler.tentaroLimbs, nullptr);
    EXPECT_EQ(handler.tentaroLimbs->getSize(), core::dimension2du(512, 512));
    EXPECT_EQ(handler.depthRTT, nullptr); // made on first use
    ASSERT_NE(handler.getDepthTexture(), nullptr);
    EXPECT_EQ(handler.getDepthTexture(), handler.depthRTT);
    video::ITexture* atlas = handler.getShadowAtlasTexture(512);
    ASSERT_NE(atlas, nullptr);
    EXPECT_EQ(atlas->getSize(), core::dimension2du(1536, 512));
    EXPECT_EQ(handler.getShadowAtlasTexture(512), atlas);
    EXPECT_NE(handler.getShadowMapTexture(1024), nullptr);

    for (s32 material : {handler.depthMaterial, handler.depthAlphaMaterial, handler.skinnedDepthMaterial,
                         handler.skinnedDepthAlphaMaterial, handler.instancedDepthMaterial,
                         handler.instancedDepthAlphaMaterial, handler.whiteWashMaterial, handler.whiteWashRefMaterial,
                         handler.luminanceMaterial, handler.whiteWashAddMaterial, handler.lightModulateMaterial,
                         handler.copyMaterial, handler.vsmBlurHorizontalMaterial, handler.vsmBlurVerticalMaterial})
        EXPECT_GT(material, video::EMT_ONETEXTURE_BLEND);
    for (s32 shadow : handler.shadowMaterials)
        EXPECT_GT(shadow, video::EMT_ONETEXTURE_BLEND);
    EXPECT_NE(handler.depthCallback, nullptr);
    EXPECT_NE(handler.shadowCallback, nullptr);
    EXPECT_NE(handler.screenQuadCallback, nullptr);
    EXPECT_TRUE(handler.shadowLights.empty());
    EXPECT_TRUE(handler.depthPassNodes.empty());
}

// Brightness of the lit level's faces as one frame shows them.
struct LitRoomShot {
    double litFace = 0.0;  // the turned block's face towards the lamp
    double darkFace = 0.0; // its face away from the lamp
    double farFace = 0.0;  // the far block, outside the lamp's box
    int drawn = 0;         // pixels that are not black
};

class LitLevelGlTest : public RenderGlTest {
protected:
    // Loads the lit level at the quality, draws two frames through the frame renderer and
    // measures the last one.
    LitRoomShot drawLitRoom(int quality, const char* pictureSuffix) {
        LitRoomShot result;
        startRendering(quality);
        scene::ISceneManager* scene = device->getSceneManager();
        registerSceneNodeFactory(scene);
        EXPECT_TRUE(scene->loadScene("tests/render/data/LitRoom.irr"));
        scene::ISceneNode* block = scene->getSceneNodeFromName("Block");
        scene::ISceneNode* farBlock = scene->getSceneNodeFromName("FarBlock");
        if (!block || !farBlock)
            return result;
        // What a physics object does with its materials: the plain lit surface.
        for (scene::ISceneNode* node : {block, farBlock})
            node->setMaterialType(static_cast<video::E_MATERIAL_TYPE>(shaderManager->getMaterialType(0)));
        scene::ICameraSceneNode* camera = scene->addCameraSceneNode(nullptr, core::vector3df(0, 15, -60));
        camera->setTarget(core::vector3df(5, 0, 0));

        video::IVideoDriver* driver = device->getVideoDriver();
        for (int frame = 0; frame < 2; ++frame) {
            device->run();
            scene->getRootSceneNode()->OnAnimate(device->getTimer()->getTime());
            EXPECT_TRUE(driver->beginScene(true, true, video::SColor(255, 0, 0, 0)));
            effectHandler->runRenderCallbacks();
            effectHandler->update(nullptr);
            driver->endScene();
        }
        EXPECT_EQ(effectHandler->renderStage, 1);
        video::IImage* shot = driver->createScreenShot();
        if (!shot)
            return result;
        rendertest::keepScreenshot(driver, shot, pictureSuffix);
        scene::ISceneCollisionManager* collision = scene->getSceneCollisionManager();
        auto areaAround = [&](const core::vector3df& point) {
            const core::position2di at = collision->getScreenCoordinatesFrom3DPosition(point, camera);
            return core::recti(at.X - 8, at.Y - 8, at.X + 8, at.Y + 8);
        };
        // Face centres: the turned block's at (-h, 0, -h) and (h, 0, -h), the far block's front.
        const f32 h = 10.0f * 0.7071f;
        result.litFace = rendertest::meanLuminance(shot, areaAround(core::vector3df(-h, 0, -h)));
        result.darkFace = rendertest::meanLuminance(shot, areaAround(core::vector3df(h, 0, -h)));
        result.farFace = rendertest::meanLuminance(shot, areaAround(core::vector3df(45, 0, -5)));
        result.drawn = test::countPixels(shot, core::recti(0, 0, 1280, 720),
                                         [](const video::SColor& c) { return c.getLuminance() > 10; });
        shot->drop();
        return result;
    }
};

TEST_P(LitLevelGlTest, LitSideIsBrighterAndOnlyTheChosenLightShines) {
    const int quality = GetParam();
    const LitRoomShot shot = drawLitRoom(quality, quality == 0 ? "-q0" : "-q2");
    EXPECT_GT(shot.drawn, 20000) << "not a black frame";
    EXPECT_GT(shot.litFace, 60.0) << "the face towards the lamp is lit";
    EXPECT_GT(shot.litFace, shot.darkFace + 40.0) << "lit side " << shot.litFace << ", unlit side " << shot.darkFace;
    EXPECT_GT(shot.darkFace, 10.0) << "the unlit side still takes the ambient light";
    if (quality == 0) {
        // The far block's box does not touch the lamp's: it keeps the ambient light alone.
        EXPECT_LT(shot.farFace, shot.darkFace + 15.0);
    }
}

TEST_F(LitLevelGlTest, ScaledOutputIsDrawnIntoTheScreenTargetAndCopiedToTheScreen) {
    // The frame goes through the screen target, as with a render size unlike the desktop's.
    adjustHandler = [](EffectHandler& handler) { handler.renderToScreenTarget = true; };
    const LitRoomShot shot = drawLitRoom(0, "-scaled");
    ASSERT_NE(effectHandler->screenRTT, nullptr);
    EXPECT_GT(shot.drawn, 20000) << "the copy covers the screen";
    EXPECT_GT(shot.litFace, shot.darkFace + 40.0) << "lit side " << shot.litFace << ", unlit side " << shot.darkFace;
}

INSTANTIATE_TEST_SUITE_P(Qualities, LitLevelGlTest, ::testing::Values(0, 2));

} // namespace
