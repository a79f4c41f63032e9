// Shading on the OpenGL driver under Xvfb: a box's shadow on a floor with one cascade, three
// cascades and shadows off, and an alpha-tested caster's half shadow; crate faces without
// stripes and a lit ball without bands; a figure skinned on the
// graphics card against the same pose skinned by the engine; the Phong constants with the
// driver's real transforms; the post chain (bloom and SSAO) and a failing effect; the depth
// pass; the character compositing and the thumbnail. PADDLESTONE_KEEP_SCREENSHOT=/path/shading.png
// keeps the pictures.
#include "render/CharacterTextures.h"
#include "render/EffectHandler.h"
#include "render/EffectShaderCallbacks.h"
#include "render/HardwareSkinning.h"
#include "render/LightManager.h"
#include "render/RenderServices.h"
#include "render/ShaderCallbacks.h"
#include "render/ShaderManager.h"
#include "render/ShadowCascades.h"
#include "render/ShadowMapCache.h"
#include "render/TextureLayers.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/CoreSlots.h"
#include "render/RenderManagers.h"
#include "level/MeshGate.h"
#include "support/GraphicsDriver.h"
#include "support/StubPlayer.h"

#include "RecordingServices.h"
#include "RenderFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

using namespace irr;

namespace {

// A player body whose textures the renderer composes.
class TexturedPlayer : public test::StubPlayer {
public:
    TexturedPlayer(scene::ISceneNode* parent, scene::ISceneManager* manager, CharacterTextureSource* textures)
        : StubPlayer(parent, manager, -1), textures(textures) {}
    CharacterTextureSource* getCharacterTextures() override { return textures; }
    CharacterTextureSource* textures;
};

class ShadingGlTest : public ::testing::Test, protected rendertest::RenderGlFixture {
protected:
    void SetUp() override { ASSERT_TRUE(openRendering(core::dimension2du(1280, 720))); }
    void TearDown() override {
        clearPlayers();
        physicsManager = nullptr;
        closeRendering();
    }
    void start(bool shadows = true, bool ssao = false) {
        setSettingInt("Graphics_Quality", 0);
        setSettingInt("Graphics_ShadowQuality", 1024);
        EffectHandlerSetup setup;
        setup.shadowsEnabled = shadows;
        setup.ssaoEnabled = ssao;
        setup.renderCallbacksEnabled = true;
        startRendering(setup);
        // The shaders' shadow switch asks for a running physics world.
        physicsManager = reinterpret_cast<PhysicsManager*>(0x10);
        coreSlots().physics.isSimulationActive = [] { return true; };
    }
    scene::ISceneManager* scene() { return device->getSceneManager(); }
    video::IVideoDriver* driver() { return device->getVideoDriver(); }
    // One frame as the game draws it: shadow pass, render callbacks, the frame.
    void drawFrame() {
        device->run();
        scene()->getRootSceneNode()->OnAnimate(device->getTimer()->getTime());
        ASSERT_TRUE(driver()->beginScene(true, true, video::SColor(255, 0, 0, 0)));
        effectHandler->updateShadowCascades();
        effectHandler->runRenderCallbacks();
        effectHandler->update(nullptr);
        driver()->endScene();
    }
    video::IImage* shoot(const char* suffix) {
        video::IImage* shot = driver()->createScreenShot();
        rendertest::keepScreenshot(driver(), shot, suffix);
        return shot;
    }
    double luminanceAt(video::IImage* shot, scene::ICameraSceneNode* camera, const core::vector3df& point, int half = 6) {
        const core::position2di at = scene()->getSceneCollisionManager()->getScreenCoordinatesFrom3DPosition(point, camera);
        return rendertest::meanLuminance(shot, core::recti(at.X - half, at.Y - half, at.X + half, at.Y + half));
    }
    // The nodes cast and receive shadows (mode 2) and bind the maps.
    template <class Nodes> void castShadows(const Nodes& nodes) {
        for (scene::ISceneNode* node : nodes) {
            effectHandler->shadowNodes.push_back({node, 2, 0});
            effectHandler->bindShadowMaps(node);
        }
    }
    scene::ICameraSceneNode* addCamera(const core::vector3df& position, const core::vector3df& target) {
        scene::ICameraSceneNode* camera = scene()->addCameraSceneNode(nullptr, position);
        camera->setTarget(target);
        camera->setFarValue(500.0f);
        return camera;
    }
    scene::IMeshSceneNode* addLitCube(f32 size, const core::vector3df& position, const core::vector3df& scale) {
        scene::IMeshSceneNode* cube = scene()->addCubeSceneNode(size, nullptr, -1, position, core::vector3df(), scale);
        cube->setMaterialType(static_cast<video::E_MATERIAL_TYPE>(shaderManager->getMaterialType(0)));
        cube->getMaterial(0).Lighting = true;
        return cube;
    }
};

// --- shadows -------------------------------------------------------------------------------------

struct ShadowCase {
    bool shadows;
    s32 distanceMode;
    const char* suffix;
};

class ShadowGlTest : public ShadingGlTest, public ::testing::WithParamInterface<ShadowCase> {};

TEST_P(ShadowGlTest, BoxShadowFallsWhereTheLightDirectionPutsIt) {
    const ShadowCase param = GetParam();
    setSettingInt("Graphics_ShadowDistance", param.distanceMode);
    start(param.shadows);
    effectHandler->shadowDistanceMode = param.distanceMode;
    scene()->setAmbientLight(video::SColorf(0.35f, 0.35f, 0.35f, 1.0f));
    scene::ILightSceneNode* lamp =
        scene()->addLightSceneNode(nullptr, core::vector3df(0, 60, -20), video::SColorf(0.8f, 0.8f, 0.8f), 400.0f);
    lamp->getLightData().Attenuation = core::vector3df(1, 0, 0);
    scene::IMeshSceneNode* floor = addLitCube(1.0f, core::vector3df(0, -0.5f, 0), core::vector3df(120, 1, 120));
    scene::IMeshSceneNode* box = addLitCube(10.0f, core::vector3df(0, 10, 0), core::vector3df(1, 1, 1));
    // The light shines from +x and above: the box's shadow falls towards -x.
    effectHandler->setShadowQuality(core::vector3df(60, 80, 0), core::vector3df(0, 0, 0));
    castShadows(std::vector<scene::ISceneNode*>{floor, box});
    scene::ICameraSceneNode* camera = addCamera(core::vector3df(0, 40, -60), core::vector3df(0, 0, 0));
    drawFrame();
    drawFrame();
    EXPECT_EQ(effectHandler->shadowMaps[0], effectHandler->getShadowAtlasTexture(1024));
    EXPECT_EQ(effectHandler->shadowCascades->splitCount, param.distanceMode == 2 ? 3 : 1);
    video::IImage* shot = shoot(param.suffix);
    ASSERT_NE(shot, nullptr);
    // The box (x -5..5, y 5..15) casts along (-0.6, -0.8, 0): onto the floor from x -16 to 1.
    const double shadowed = luminanceAt(shot, camera, core::vector3df(-10, 0, 0));
    const double lit = luminanceAt(shot, camera, core::vector3df(12, 0, 0));
    const double beside = luminanceAt(shot, camera, core::vector3df(-10, 0, 12));
    shot->drop();
    EXPECT_GT(lit, 40.0) << "the floor is lit";
    if (param.shadows) {
        EXPECT_LT(shadowed, lit - 25.0) << "shadow " << shadowed << ", lit floor " << lit;
        EXPECT_LT(shadowed, beside - 25.0) << "shadow " << shadowed << ", floor beside it " << beside;
    } else {
        EXPECT_NEAR(shadowed, lit, 12.0) << "no shadow: " << shadowed << " against " << lit;
    }
}

INSTANTIATE_TEST_SUITE_P(Settings, ShadowGlTest,
                         ::testing::Values(ShadowCase{true, 1, "-shadow-near"}, ShadowCase{true, 2, "-shadow-cascades"},
                                           ShadowCase{false, 2, "-shadow-off"}));

// The number of pixels two pictures of one size differ in.
int differingPixels(video::IImage* a, video::IImage* b) {
    const core::dimension2du size = a->getDimension();
    int differing = 0;
    for (u32 y = 0; y < size.Height; ++y)
        for (u32 x = 0; x < size.Width; ++x)
            differing += a->getPixel(x, y) != b->getPixel(x, y) ? 1 : 0;
    return differing;
}

// The maps are kept between frames: a still scene draws no caster again and shows, to the
// pixel, what a fresh draw of the maps shows; a box that moves draws again only the casters
// around it, and the picture is the one a fresh draw of the moved scene gives.
TEST_F(ShadingGlTest, KeptShadowMapsShowWhatAFreshDrawShows) {
    setSettingInt("Graphics_ShadowDistance", 2);
    start(true);
    effectHandler->shadowDistanceMode = 2;
    scene()->setAmbientLight(video::SColorf(0.6f, 0.6f, 0.6f, 1.0f));
    std::vector<scene::ISceneNode*> casters{addLitCube(1.0f, core::vector3df(0, -0.5f, 0), core::vector3df(160, 1, 160))};
    for (int i = 0; i < 6; ++i)
        casters.push_back(addLitCube(6.0f, core::vector3df(i * 14.0f - 35.0f, 3, 10), core::vector3df(1, 1, 1)));
    effectHandler->setShadowQuality(core::vector3df(40, 80, -30), core::vector3df(0, 0, 0));
    castShadows(casters);
    addCamera(core::vector3df(0, 40, -50), core::vector3df(0, 0, 10));
    auto freshPicture = [&](const char* suffix) {
        effectHandler->shadowCache->forget();
        drawFrame();
        return shoot(suffix);
    };

    drawFrame();
    const u32 wholeDraw = effectHandler->shadowCastersDrawn;
    EXPECT_GE(wholeDraw, static_cast<u32>(casters.size()));
    drawFrame();
    EXPECT_EQ(effectHandler->shadowCastersDrawn, 0u) << "a still scene draws no caster";
    video::IImage* kept = shoot("-kept");
    video::IImage* fresh = freshPicture("-kept-fresh");
    ASSERT_NE(kept, nullptr);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(effectHandler->shadowCastersDrawn, wholeDraw);
    EXPECT_EQ(differingPixels(kept, fresh), 0);
    kept->drop();
    fresh->drop();

    casters[3]->setPosition(casters[3]->getPosition() + core::vector3df(2.0f, 0.0f, -3.0f));
    casters[3]->updateAbsolutePosition();
    drawFrame();
    EXPECT_GT(effectHandler->shadowCastersDrawn, 0u);
    EXPECT_LT(effectHandler->shadowCastersDrawn, wholeDraw) << "only the casters around the moved box";
    video::IImage* moved = shoot("-moved");
    video::IImage* movedFresh = freshPicture("-moved-fresh");
    ASSERT_NE(moved, nullptr);
    ASSERT_NE(movedFresh, nullptr);
    EXPECT_LE(differingPixels(moved, movedFresh), 0);
    moved->drop();
    movedFresh->drop();
}

// The shadow pass leaves out the moving casters whose shadows fall outside what the view reads
// of each cascade, with one cascade and with three, but only when the scene pass takes the
// camera the shadow pass sees: none when the viewport's camera was switched this frame.
TEST_F(ShadingGlTest, CastersOutsideTheViewAreLeftOutForTheCameraTheScenePassTakes) {
    start(true);
    scene::ISceneNode* floor = addLitCube(1.0f, core::vector3df(0, -0.5f, 0), core::vector3df(400, 1, 400));
    effectHandler->shadowNodes.push_back({floor, 0, 0});
    std::vector<scene::ISceneNode*> casters;
    for (int x = -6; x <= 6; ++x)
        for (int z = -6; z <= 6; ++z)
            casters.push_back(addLitCube(1.0f, core::vector3df(x * 6.0f, 3, z * 6.0f), core::vector3df(1, 6, 1)));
    castShadows(casters);
    scene::ICameraSceneNode* viewer = addCamera(core::vector3df(-20, 40, -20), core::vector3df(0, 0, 0));
    scene::ICameraSceneNode* switched = addCamera(core::vector3df(20, 40, 20), core::vector3df(0, 0, 0));
    // Casters drawn into the maps once every caster has moved a little (still ones stay).
    f32 step = 0.1f;
    auto castersDrawn = [&](bool viewAlone) {
        scene()->setActiveCamera(viewer);
        effectHandler->framesWithoutExtraPass = viewAlone ? EffectHandler::extraPassQuietFrames : 0;
        effectHandler->shadowCache->forget();
        drawFrame();
        for (scene::ISceneNode* caster : casters) {
            caster->setPosition(caster->getPosition() + core::vector3df(step, 0, 0));
            caster->updateAbsolutePosition();
        }
        step = -step;
        scene()->setActiveCamera(viewer);
        drawFrame();
        return effectHandler->shadowCastersDrawn;
    };
    for (s32 mode : {1, 2}) {
        SCOPED_TRACE(mode);
        effectHandler->shadowDistanceMode = mode;
        effectHandler->setShadowQuality(core::vector3df(40, 80, -30), core::vector3df(0, 0, 0));
        const u32 everyCaster = castersDrawn(false);
        const u32 viewAlone = castersDrawn(true);
        EXPECT_LT(viewAlone, everyCaster);
        EXPECT_GT(viewAlone, everyCaster / 2) << "the view's own casters and those beside it";
        renderServices().cameras.viewportCamera = [switched](s32) { return switched; };
        EXPECT_EQ(castersDrawn(true), everyCaster);
        renderServices().cameras.viewportCamera = nullptr;
    }
}

struct AcneCase {
    core::vector3df lightPosition;
    const char* suffix;
};

class ShadowAcneGlTest : public ShadingGlTest, public ::testing::WithParamInterface<AcneCase> {};

// A crate lit by the ambient light, which the shadow darkens (no directional light): every
// face the camera sees is one even colour, whether it faces the light, stands edge-on to it
// or turns away, and the floor beside it is lit.
TEST_P(ShadowAcneGlTest, CrateFacesShowNoStripes) {
    setSettingInt("Graphics_ShadowDistance", 1);
    start(true);
    scene()->setAmbientLight(video::SColorf(0.8f, 0.8f, 0.8f, 1.0f));
    scene::IMeshSceneNode* floor = addLitCube(1.0f, core::vector3df(0, -0.5f, 0), core::vector3df(120, 1, 120));
    scene::IMeshSceneNode* crate = addLitCube(10.0f, core::vector3df(0, 5, 0), core::vector3df(1, 1, 1));
    crate->setRotation(core::vector3df(0, -15, 0));
    crate->getMaterial(0).DiffuseColor = video::SColor(255, 200, 120, 60);
    effectHandler->setShadowQuality(GetParam().lightPosition, core::vector3df(0, 0, 0));
    castShadows(std::vector<scene::ISceneNode*>{floor, crate});
    const core::vector3df eye(-10, 15, -17);
    scene::ICameraSceneNode* camera = addCamera(eye, core::vector3df(0, 5, 0));
    drawFrame();
    drawFrame();
    video::IImage* shot = shoot(GetParam().suffix);
    ASSERT_NE(shot, nullptr);

    crate->updateAbsolutePosition();
    const core::matrix4& placed = crate->getAbsoluteTransformation();
    const core::vector3df normals[5] = {{0, 1, 0}, {1, 0, 0}, {-1, 0, 0}, {0, 0, 1}, {0, 0, -1}};
    int facesSeen = 0;
    for (core::vector3df normal : normals) {
        // The face's inner part, sampled on a grid of points on the crate.
        core::vector3df along = std::fabs(normal.Y) > 0.5f ? core::vector3df(1, 0, 0) : core::vector3df(0, 1, 0);
        core::vector3df across = normal.crossProduct(along);
        core::vector3df centre = normal * 5.0f;
        placed.rotateVect(normal);
        placed.rotateVect(along);
        placed.rotateVect(across);
        placed.transformVect(centre);
        if (normal.dotProduct((eye - centre).normalize()) < 0.15f)
            continue;
        ++facesSeen;
        double sum = 0.0, squares = 0.0;
        int count = 0;
        for (int i = -3; i <= 3; ++i)
            for (int j = -3; j <= 3; ++j) {
                const core::vector3df point = centre + along * (i * 1.1f) + across * (j * 1.1f);
                const core::position2di at =
                    scene()->getSceneCollisionManager()->getScreenCoordinatesFrom3DPosition(point, camera);
                const double luminance = shot->getPixel(static_cast<u32>(at.X), static_cast<u32>(at.Y)).getLuminance();
                sum += luminance;
                squares += luminance * luminance;
                ++count;
            }
        const double mean = sum / count;
        const double spread = std::sqrt(std::max(0.0, squares / count - mean * mean));
        EXPECT_LT(spread, 2.0) << "face (" << normal.X << ", " << normal.Y << ", " << normal.Z << "): mean " << mean;
    }
    EXPECT_EQ(facesSeen, 3) << "the top and two sides";
    shot->drop();
}

INSTANTIATE_TEST_SUITE_P(Lights, ShadowAcneGlTest,
                         ::testing::Values(AcneCase{{0, 1000, 0}, "-acne-overhead"},
                                           AcneCase{{-40, 70, -50}, "-acne-slanted"}));

class LitBallGlTest : public ShadingGlTest, public ::testing::WithParamInterface<AcneCase> {};

// A ball of the game's mesh lit by the ambient light alone, which the shadow darkens: its
// brightness rises with how squarely it faces the shadow light, without darker steps along
// its facets where it turns away (each pixel against the brightest one that faces the light
// clearly less squarely).
TEST_P(LitBallGlTest, TheBallDarkensSmoothlyWhereItTurnsFromTheLight) {
    setSettingInt("Graphics_ShadowDistance", 1);
    start(true);
    scene()->setAmbientLight(video::SColorf(0.8f, 0.8f, 0.8f, 1.0f));
    scene::IMeshSceneNode* floor = addLitCube(1.0f, core::vector3df(0, -0.5f, 0), core::vector3df(120, 1, 120));
    registerMeshGate(scene());
    scene::IAnimatedMesh* mesh = getGameMesh(scene(), "Content/Models/Props/Ball.obj");
    ASSERT_NE(mesh, nullptr);
    const f32 radius = 3.0f;
    const core::vector3df centre(0, radius, 0);
    scene::IMeshSceneNode* ball =
        scene()->addMeshSceneNode(mesh->getMesh(0), nullptr, -1, centre, core::vector3df(), core::vector3df(radius));
    ball->setMaterialType(static_cast<video::E_MATERIAL_TYPE>(shaderManager->getMaterialType(0)));
    ball->getMaterial(0).Lighting = true;
    effectHandler->setShadowQuality(GetParam().lightPosition, core::vector3df(0, 0, 0));
    castShadows(std::vector<scene::ISceneNode*>{floor, ball});
    scene::ICameraSceneNode* camera = addCamera(core::vector3df(-5, 7, -9), centre);
    drawFrame();
    drawFrame();
    video::IImage* shot = shoot(GetParam().suffix);
    ASSERT_NE(shot, nullptr);

    // Each pixel inside the ball's outline: how squarely the sphere faces the light there, and
    // its luminance.
    core::vector3df towardsLight = GetParam().lightPosition;
    towardsLight.normalize();
    std::vector<std::pair<f32, f64>> samples;
    const core::position2di middle =
        scene()->getSceneCollisionManager()->getScreenCoordinatesFrom3DPosition(centre, camera);
    for (s32 y = middle.Y - 200; y <= middle.Y + 200; y += 2)
        for (s32 x = middle.X - 200; x <= middle.X + 200; x += 2) {
            const core::line3df ray =
                scene()->getSceneCollisionManager()->getRayFromScreenCoordinates(core::position2di(x, y), camera);
            const core::vector3df direction = ray.getVector().normalize();
            const core::vector3df toCentre = centre - ray.start;
            const f32 along = toCentre.dotProduct(direction);
            const f32 inner = radius * 0.95f; // clear of the outline's facets
            const f32 missSq = toCentre.getLengthSQ() - along * along;
            if (missSq > inner * inner)
                continue;
            const core::vector3df surface = ray.start + direction * (along - std::sqrt(radius * radius - missSq));
            const f32 facing = (surface - centre).normalize().dotProduct(towardsLight);
            samples.emplace_back(facing, shot->getPixel(static_cast<u32>(x), static_cast<u32>(y)).getLuminance());
        }
    shot->drop();
    ASSERT_GT(samples.size(), 1000u);
    std::sort(samples.begin(), samples.end());
    f64 brightestBelow = 0.0;
    std::size_t below = 0;
    int darker = 0;
    f32 worstFacing = 0.0f;
    for (const auto& [facing, luminance] : samples) {
        for (; below < samples.size() && samples[below].first < facing - 0.05f; ++below)
            brightestBelow = std::max(brightestBelow, samples[below].second);
        if (luminance < brightestBelow - 4.0) {
            ++darker;
            worstFacing = facing;
        }
    }
    EXPECT_EQ(darker, 0) << "pixels darker than the ball where it faces the light less, e.g. at facing " << worstFacing;
    // The shadow does darken the side turned away.
    EXPECT_LT(samples.front().second, samples.back().second - 15.0);
}

INSTANTIATE_TEST_SUITE_P(Lights, LitBallGlTest,
                         ::testing::Values(AcneCase{{0, 1000, 0}, "-ball-overhead"},
                                           AcneCase{{25, 70, -45}, "-ball-slanted"}));

// --- specialised Phong programs ------------------------------------------------------------------

struct SpecialisedCase {
    bool shadows;
    bool fog;
    const char* suffix;
};

class SpecialisedPhongGlTest : public ShadingGlTest, public ::testing::WithParamInterface<SpecialisedCase> {};

// A lit scene (boxes lit by point lights alone, by a spot and a point light, by a directional
// light; one shiny box) looks the same to the pixel on the programs specialised per draw as on
// the general ones, with shadows too: the floor then drawn in pieces, reading the maps only
// where the boxes' shadows reach.
TEST_P(SpecialisedPhongGlTest, SpecialisedProgramsDrawWhatTheGeneralOnesDraw) {
    const SpecialisedCase param = GetParam();
    setSettingInt("Graphics_ShadowDistance", 1);
    start(param.shadows);
    scene()->setAmbientLight(video::SColorf(0.2f, 0.2f, 0.2f, 1.0f));
    driver()->setFog(video::SColor(255, 90, 100, 120), video::EFT_FOG_LINEAR, 30.0f, 110.0f, 0.0f, true, param.fog);
    auto addLight = [&](video::E_LIGHT_TYPE type, const core::vector3df& position, const video::SColorf& colour) {
        scene::ILightSceneNode* light = scene()->addLightSceneNode(nullptr, position, colour, 20.0f);
        light->getLightData().Type = type;
        light->getLightData().Direction = core::vector3df(0.3f, -1.0f, 0.2f).normalize();
        light->getLightData().InnerCone = 30.0f;
        light->getLightData().OuterCone = 70.0f;
        light->getLightData().Falloff = 2.0f;
        return light;
    };
    addLight(video::ELT_POINT, core::vector3df(-30, 12, 0), video::SColorf(1.0f, 0.6f, 0.4f));
    addLight(video::ELT_POINT, core::vector3df(0, 12, 8), video::SColorf(0.4f, 0.9f, 0.5f));
    addLight(video::ELT_SPOT, core::vector3df(4, 14, -4), video::SColorf(0.9f, 0.9f, 1.0f));
    addLight(video::ELT_DIRECTIONAL, core::vector3df(32, 12, 0), video::SColorf(0.5f, 0.5f, 0.9f));
    std::vector<scene::IMeshSceneNode*> boxes{addLitCube(1.0f, core::vector3df(0, -0.5f, 0), core::vector3df(110, 1, 40))};
    for (int i = 0; i < 7; ++i)
        boxes.push_back(addLitCube(6.0f, core::vector3df(i * 10.0f - 30.0f, 4, 0), core::vector3df(1, 1, 1)));
    boxes[4]->getMaterial(0).Shininess = 20.0f;
    boxes[4]->getMaterial(0).SpecularColor = video::SColor(255, 255, 255, 255);
    effectHandler->setShadowQuality(core::vector3df(60, 80, 0), core::vector3df(0, 0, 0));
    if (param.shadows)
        castShadows(boxes);
    addCamera(core::vector3df(0, 35, -55), core::vector3df(0, 0, 0));

    // Nothing in the game switches them off: the game draws with specialised programs.
    EXPECT_TRUE(shaderManager->specializeDraws);
    auto picture = [&](bool specialised, const char* kind) -> video::IImage* {
        shaderManager->specializeDraws = specialised;
        drawFrame();
        drawFrame();
        const std::string suffix = std::string(param.suffix) + kind;
        return shoot(suffix.c_str());
    };
    video::IImage* general = picture(false, "-general");
    EXPECT_EQ(shaderManager->specializedProgramCount(), 0u);
    video::IImage* specialised = picture(true, "-specialised");
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_NE(general, nullptr);
    ASSERT_NE(specialised, nullptr);
    // Point lights alone, point and spot, directional; the shiny box: several programs.
    EXPECT_GE(shaderManager->specializedProgramCount(), 3u);
    // With shadows the floor reads the maps only in the pieces the boxes' shadows reach.
    EXPECT_EQ(shaderManager->drawsInPieces > 0, param.shadows);
    // Another frame draws with the programs already made: none is compiled again.
    const u32 renderers = driver()->getMaterialRendererCount();
    drawFrame();
    EXPECT_EQ(driver()->getMaterialRendererCount(), renderers);
    const core::dimension2du size = general->getDimension();
    int differing = 0;
    for (u32 y = 0; y < size.Height; ++y)
        for (u32 x = 0; x < size.Width; ++x)
            differing += general->getPixel(x, y) != specialised->getPixel(x, y) ? 1 : 0;
    EXPECT_EQ(differing, 0);
    EXPECT_GT(rendertest::meanLuminance(specialised, core::recti(0, 0, static_cast<s32>(size.Width),
                                                                   static_cast<s32>(size.Height))),
              5.0);
    general->drop();
    specialised->drop();
    // Outside their draws the boxes keep the general program.
    const s32 generalType = shaderManager->getMaterialType(0);
    for (scene::IMeshSceneNode* box : boxes)
        EXPECT_EQ(box->getMaterial(0).MaterialType, generalType);
    // A draw inside a draw (an image pass) ends first and leaves the outer node's program.
    // Without shadows the draw has no atlas bound, and gets it back after.
    video::ITexture* atlas = boxes[1]->getMaterial(0).getTexture(textureLayer::shadowAtlas);
    if (!atlas) {
        atlas = driver()->addTexture(core::dimension2du(4, 4), "atlas-stand-in");
        boxes[1]->getMaterial(0).setTexture(textureLayer::shadowAtlas, atlas);
    }
    shaderManager->specializeNodeMaterials(boxes[1]);
    shaderManager->specializeNodeMaterials(boxes[2]);
    EXPECT_NE(boxes[1]->getMaterial(0).MaterialType, generalType);
    if (!param.shadows) {
        EXPECT_EQ(boxes[1]->getMaterial(0).getTexture(textureLayer::shadowAtlas), nullptr);
    }
    shaderManager->restoreNodeMaterials(boxes[2]);
    EXPECT_EQ(boxes[2]->getMaterial(0).MaterialType, generalType);
    EXPECT_NE(boxes[1]->getMaterial(0).MaterialType, generalType);
    shaderManager->restoreNodeMaterials(boxes[1]);
    EXPECT_EQ(boxes[1]->getMaterial(0).MaterialType, generalType);
    EXPECT_EQ(boxes[1]->getMaterial(0).getTexture(textureLayer::shadowAtlas), atlas);
}

INSTANTIATE_TEST_SUITE_P(Switches, SpecialisedPhongGlTest,
                         ::testing::Values(SpecialisedCase{false, false, "-plain"}, SpecialisedCase{false, true, "-fog"},
                                           SpecialisedCase{true, false, "-shadow"}, SpecialisedCase{true, true, "-shadow-fog"}));

// --- skinning on the card ------------------------------------------------------------------------

// The figure's silhouette: pixels unlike the frame's clear colour.
std::vector<bool> silhouette(video::IImage* shot) {
    const core::dimension2du size = shot->getDimension();
    const video::SColor clear(effectHandler->clearColor);
    std::vector<bool> mask(size.Width * size.Height);
    for (u32 y = 0; y < size.Height; ++y)
        for (u32 x = 0; x < size.Width; ++x) {
            const video::SColor c = shot->getPixel(x, y);
            mask[y * size.Width + x] = std::abs(static_cast<int>(c.getGreen()) - static_cast<int>(clear.getGreen())) > 20;
        }
    return mask;
}

TEST_F(ShadingGlTest, FigureSkinnedOnTheCardMatchesTheEngineSkinnedPose) {
    start();
    scene::IAnimatedMesh* mesh = getGameMesh(scene(), "Content/Models/Characters/Everyman1.b3d");
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->getMeshType(), scene::EAMT_SKINNED);
    scene::IAnimatedMeshSceneNode* figure = scene()->addAnimatedMeshSceneNode(mesh);
    figure->setAnimationSpeed(0.0f);
    figure->setCurrentFrame(12.0f); // mid-swing: the limbs away from the bind pose
    figure->setMaterialFlag(video::EMF_LIGHTING, true);
    figure->setAutomaticCulling(scene::EAC_OFF);
    scene()->setAmbientLight(video::SColorf(0.8f, 0.8f, 0.8f, 1.0f));
    scene::ICameraSceneNode* camera = scene()->addCameraSceneNode(nullptr, core::vector3df(6, 4, -8));
    camera->setTarget(core::vector3df(0, 2.5f, 0));

    ASSERT_TRUE(prepareNodeForHardwareSkinning(figure));
    EXPECT_GT(hardwareJointCount(figure), 1u);
    figure->setMaterialType(static_cast<video::E_MATERIAL_TYPE>(shaderManager->getMaterialType(shaderFlag::skinning)));
    drawFrame();
    drawFrame();
    video::IImage* onCard = shoot("-skin-card");
    ASSERT_NE(onCard, nullptr);

    // The same pose skinned by the engine, drawn with the plain variant.
    effectHandler->hardwareSkinning = false;
    updateHardwareSkinning(static_cast<scene::ISkinnedMesh*>(mesh));
    EXPECT_FALSE(isMeshSkinnedByShaders(static_cast<scene::ISkinnedMesh*>(mesh)));
    figure->setMaterialType(static_cast<video::E_MATERIAL_TYPE>(shaderManager->getMaterialType(0)));
    drawFrame();
    drawFrame();
    video::IImage* engine = shoot("-skin-engine");
    // Another frame, for scale: the card really moves the limbs.
    figure->setCurrentFrame(45.0f);
    drawFrame();
    video::IImage* bind = shoot("-skin-other-frame");
    ASSERT_NE(bind, nullptr);
    const std::vector<bool> bindMask = silhouette(bind);
    bind->drop();
    ASSERT_NE(engine, nullptr);

    const std::vector<bool> a = silhouette(onCard);
    const std::vector<bool> b = silhouette(engine);
    int figurePixels = 0, differing = 0, fromBind = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        figurePixels += b[i] ? 1 : 0;
        differing += a[i] != b[i] ? 1 : 0;
        fromBind += a[i] != bindMask[i] ? 1 : 0;
    }
    onCard->drop();
    engine->drop();
    EXPECT_GT(figurePixels, 5000) << "the figure is drawn";
    // Edges may differ by a pixel: at most a thin outline of the figure.
    EXPECT_LT(differing, figurePixels / 20) << differing << " of " << figurePixels << " pixels differ";
    EXPECT_GT(fromBind, differing * 4) << "another frame differs by " << fromBind << " pixels";
    forgetSkinnedMesh(static_cast<scene::ISkinnedMesh*>(mesh));
}

// --- Phong constants with the driver's transforms --------------------------------------------------

TEST_F(ShadingGlTest, PhongAndFullScreenPassesSendSamplersLightsAndTransformsOnOpenGl) {
    start();
    scene::ICameraSceneNode* camera = scene()->addCameraSceneNode(nullptr, core::vector3df(0, 5, -20));
    camera->setTarget(core::vector3df(0, 0, 0));
    camera->render();
    updateShadowConstants();
    core::matrix4 world;
    world.setTranslation(core::vector3df(1, 2, 3));
    driver()->setTransform(video::ETS_WORLD, world);
    scene::ILightSceneNode* spot = scene()->addLightSceneNode(nullptr, core::vector3df(0, 10, 0));
    spot->getLightData().Type = video::ELT_SPOT;
    spot->getLightData().InnerCone = 30.0f;
    spot->getLightData().OuterCone = 60.0f;
    lightManager->candidateLights.clear();
    lightManager->candidateLights.push_back(SortPair{spot, 1.0f});
    rendertest::RecordingServices services(driver());
    PhongShaderCallback phong;
    const video::SMaterial material;
    phong.OnSetMaterial(material);
    phong.OnSetConstants(&services, 0);
    const core::matrix4 expected =
        driver()->getTransform(video::ETS_PROJECTION) * driver()->getTransform(video::ETS_VIEW) * world;
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(services.f("mWorldViewProj")[i], expected[i], 1e-4f);
    const struct {
        const char* name;
        s32 unit;
    } samplers[] = {{"diffuseSampler", 0},       {"NormalMapSampler", 1}, {"LightMapSampler", 1},
                    {"ShadowMapSampler", 2},     {"ReflectionMapSampler", 3}, {"ShadowMapSampler2", 2},
                    {"ShadowMapSampler3", 2}};
    for (const auto& sampler : samplers)
        EXPECT_EQ(services.i1(sampler.name), sampler.unit) << sampler.name;
    EXPECT_FALSE(services.has("SpecularMapSampler"));
    // One spot light: counts (dir 0, 0, point 0, 0, spot 0, 1) and four records sent.
    EXPECT_EQ(services.i1("iLightSpotNum"), 1);
    EXPECT_EQ(services.i1("iLightSpotIni"), 0);
    EXPECT_EQ(services.i1("iLightDirNum"), 0);
    ASSERT_EQ(services.f("lights[0]").size(), 4u * 20u);
    EXPECT_NEAR(services.f("lights[0]")[16], std::cos(15.0f * core::DEGTORAD), 1e-5f);
    EXPECT_NEAR(services.f("lights[0]")[17], std::cos(30.0f * core::DEGTORAD), 1e-5f);
    EXPECT_EQ(services.f("mClipPlane"), std::vector<f32>(4, 0.0f));
    lightManager->candidateLights.clear();

    // The handler's own full-screen passes: four samplers on units 0 to 3 and the target's size.
    services.clear();
    ASSERT_NE(effectHandler->screenQuadCallback, nullptr);
    effectHandler->screenQuadCallback->OnSetConstants(&services, 0);
    const struct {
        const char* name;
        s32 unit;
    } quadSamplers[] = {{"ColorMapSampler", 0}, {"ScreenMapSampler", 1}, {"DepthMapSampler", 2}, {"UserMapSampler", 3}};
    for (const auto& sampler : quadSamplers)
        EXPECT_EQ(services.i1(sampler.name), sampler.unit) << sampler.name;
    EXPECT_FLOAT_EQ(services.f1("screenX"), static_cast<f32>(driver()->getCurrentRenderTargetSize().Width));
    EXPECT_FLOAT_EQ(services.f1("screenY"), static_cast<f32>(driver()->getCurrentRenderTargetSize().Height));
}

// --- post-processing and depth pass ----------------------------------------------------------------

// Notes which picture each effect reads.
class InputRecorder : public PostProcessingRenderCallback {
public:
    explicit InputRecorder(std::vector<video::ITexture*>& inputs) : inputs(inputs) {}
    void OnPreRender(EffectHandler* handler) override { inputs.push_back(handler->screenQuad.material.TextureLayer[0].Texture); }
    void OnPostRender(EffectHandler*) override {}
    std::vector<video::ITexture*>& inputs;
};

TEST_F(ShadingGlTest, BloomChainPingPongsAndAFailingEffectIsLeftOut) {
    start(true, true);
    EffectHandler& handler = *effectHandler;
    // SSAO: its four effects, the depth pass and the random vectors.
    ASSERT_EQ(handler.postEffects.size(), 4u);
    EXPECT_TRUE(handler.depthPassEnabled);
    ASSERT_NE(handler.depthRTT, nullptr);
    ASSERT_NE(handler.randomVectorTexture, nullptr);
    EXPECT_EQ(handler.randomVectorTexture->getSize(), core::dimension2du(512, 512));
    EXPECT_EQ(handler.screenQuad.material.TextureLayer[3].Texture, handler.randomVectorTexture);
    // Every texel is an opaque vector inside the unit sphere.
    {
        const auto* texels = static_cast<const u32*>(handler.randomVectorTexture->lock(video::ETLM_READ_ONLY));
        ASSERT_NE(texels, nullptr);
        int outside = 0;
        for (u32 i = 0; i < 512u * 512u; ++i) {
            const video::SColorf c{video::SColor(texels[i])};
            outside += c.a < 0.999f || c.r * c.r + c.g * c.g + c.b * c.b > 1.02f ? 1 : 0;
        }
        handler.randomVectorTexture->unlock();
        EXPECT_EQ(outside, 0);
    }
    for (const PostProcessingEffectRecord& record : handler.postEffects)
        EXPECT_GT(record.materialType, 0);

    // Bloom in front: seven effects in all.
    handler.bloomEnabled = true;
    handler.initPostProcessing();
    ASSERT_EQ(handler.postEffects.size(), 7u);
    std::vector<video::ITexture*> inputs;
    for (u32 i = 0; i < 3; ++i)
        handler.setPostProcessingRenderCallback(handler.postEffects[i].materialType, new InputRecorder(inputs));

    scene()->setAmbientLight(video::SColorf(0.5f, 0.5f, 0.5f, 1.0f));
    scene::IMeshSceneNode* cube = addLitCube(10.0f, core::vector3df(0, 0, 0), core::vector3df(1, 1, 1));
    handler.addNodeToDepthPass(cube);
    const s32 cubeMaterial = cube->getMaterial(0).MaterialType;
    scene::ICameraSceneNode* camera = scene()->addCameraSceneNode(nullptr, core::vector3df(0, 10, -30));
    camera->setTarget(core::vector3df(0, 0, 0));
    drawFrame();
    EXPECT_EQ(cube->getMaterial(0).MaterialType, cubeMaterial); // the depth pass gives it back
    // Effect 0 reads the scene, effect 1 what effect 0 wrote, effect 2 what effect 1 wrote.
    ASSERT_EQ(inputs.size(), 3u);
    EXPECT_EQ(inputs[0], handler.colorRTT);
    EXPECT_EQ(inputs[1], handler.screenQuad.renderTargets[1]);
    EXPECT_EQ(inputs[2], handler.screenQuad.renderTargets[0]);
    video::IImage* shot = shoot("-post");
    ASSERT_NE(shot, nullptr);
    const double centre = rendertest::meanLuminance(shot, core::recti(620, 340, 660, 380));
    shot->drop();
    EXPECT_GT(centre, 20.0) << "the chain's last effect reaches the screen";
    // The chain keeps the picture the right way round: the cube (darker than the clear
    // colour) moved up and to the left shows in the upper left.
    cube->setPosition(core::vector3df(-12, 7, 0));
    drawFrame();
    shot = shoot("-post-upper-left");
    ASSERT_NE(shot, nullptr);
    const double upperLeft = rendertest::meanLuminance(shot, core::recti(0, 0, 640, 360));
    const double upperRight = rendertest::meanLuminance(shot, core::recti(640, 0, 1280, 360));
    const double lowerLeft = rendertest::meanLuminance(shot, core::recti(0, 360, 640, 720));
    shot->drop();
    EXPECT_LT(upperLeft, upperRight - 5.0) << upperLeft << " against " << upperRight;
    EXPECT_LT(upperLeft, lowerLeft - 5.0) << upperLeft << " against " << lowerLeft;

    // A missing file and one that does not compile are each logged and left out.
    const std::filesystem::path broken = dir.file("Broken.glsl");
    {
        std::FILE* file = std::fopen(broken.c_str(), "w");
        ASSERT_NE(file, nullptr);
        std::fputs("void main() { this is not glsl }\n", file);
        std::fclose(file);
    }
    EXPECT_FALSE(handler.addPostProcessingEffectFromFile("Content/Shaders/glsl/NoSuchEffect.glsl"));
    EXPECT_FALSE(handler.addPostProcessingEffectFromFile(broken.c_str()));
    EXPECT_EQ(handler.postEffects.size(), 7u);
    // A constant for a material no effect has changes nothing: only SSAO's matrix is kept.
    static const f32 matrix[16] = {};
    handler.setPostProcessingEffectConstant(-7, "mViewProj", matrix);
    std::size_t withMatrix = 0;
    for (const PostProcessingEffectRecord& record : handler.postEffects)
        withMatrix += record.callback->uniforms.count("mViewProj");
    EXPECT_EQ(withMatrix, 1u);
}

// An effect file reads the render size through SCREENX (width) and SCREENY (height).
TEST_F(ShadingGlTest, AnEffectFileReadsTheRenderWidthAndHeight) {
    start(false, false);
    EffectHandler& handler = *effectHandler;
    ASSERT_TRUE(handler.postEffects.empty());
    const std::filesystem::path size = dir.file("Size.glsl");
    {
        std::FILE* file = std::fopen(size.c_str(), "w");
        ASSERT_NE(file, nullptr);
        std::fputs("void main()\n{\n    gl_FragColor = vec4(float(SCREENX) / 2048.0, float(SCREENY) / 2048.0, 0.0, 1.0);\n}\n",
                   file);
        std::fclose(file);
    }
    ASSERT_TRUE(handler.addPostProcessingEffectFromFile(size.c_str()));
    addCamera(core::vector3df(0, 10, -30), core::vector3df(0, 0, 0));
    drawFrame();
    video::IImage* shot = shoot("-size");
    ASSERT_NE(shot, nullptr);
    const video::SColor centre = shot->getPixel(640, 360);
    shot->drop();
    EXPECT_NEAR(centre.getRed(), 1280.0 / 2048.0 * 255.0, 2.0);
    EXPECT_NEAR(centre.getGreen(), 720.0 / 2048.0 * 255.0, 2.0);
}

// --- character textures and thumbnail --------------------------------------------------------------

// The composer reads the textures at their authored sizes (1024, the highlights 512).
video::ITexture* flatTexture(video::IVideoDriver* driver, const char* name, video::SColor colour, bool leftHalfOnly,
                             u32 side = 1024) {
    video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(side, side));
    image->fill(colour);
    if (leftHalfOnly)
        for (u32 y = 0; y < side; ++y)
            for (u32 x = side / 2; x < side; ++x)
                image->setPixel(x, y, video::SColor(0, 0, 0, 0));
    video::ITexture* texture = driver->addTexture(name, image);
    image->drop();
    return texture;
}

// An alpha-tested caster shadows the floor only under the opaque part of its texture: a
// white plate whose one half is see-through casts half a shadow.
TEST_F(ShadingGlTest, AnAlphaTestedCasterShadowsOnlyUnderItsOpaquePart) {
    setSettingInt("Graphics_ShadowDistance", 1);
    start();
    effectHandler->shadowDistanceMode = 1;
    scene()->setAmbientLight(video::SColorf(0.35f, 0.35f, 0.35f, 1.0f));
    scene::ILightSceneNode* lamp =
        scene()->addLightSceneNode(nullptr, core::vector3df(0, 60, -20), video::SColorf(0.8f, 0.8f, 0.8f), 400.0f);
    lamp->getLightData().Attenuation = core::vector3df(1, 0, 0);
    scene::IMeshSceneNode* floor = addLitCube(1.0f, core::vector3df(0, -0.5f, 0), core::vector3df(120, 1, 120));
    // A level plane 20 wide (the cube's top face has no texture coordinates of its own).
    scene::IMesh* plane = scene()->getGeometryCreator()->createPlaneMesh(core::dimension2df(20, 20));
    scene::IMeshSceneNode* plate = scene()->addMeshSceneNode(plane, nullptr, -1, core::vector3df(-20, 10, 0));
    plane->drop();
    plate->getMaterial(0).Lighting = false;
    plate->getMaterial(0).BackfaceCulling = false;
    video::IImage* image = driver()->createImage(video::ECF_A8R8G8B8, core::dimension2du(64, 64));
    image->fill(video::SColor(255, 255, 255, 255));
    for (u32 y = 0; y < 64; ++y)
        for (u32 x = 32; x < 64; ++x)
            image->setPixel(x, y, video::SColor(0, 255, 255, 255)); // white, see-through
    plate->setMaterialTexture(0, driver()->addTexture("halfPlate", image));
    image->drop();
    plate->setMaterialType(video::EMT_TRANSPARENT_ALPHA_CHANNEL_REF);
    // From +x and above: the plate's halves (x -30..-20 and -20..-10 at y 10) shadow the floor
    // 3.75 units further towards -x.
    effectHandler->setShadowQuality(core::vector3df(30, 80, 0), core::vector3df(0, 0, 0));
    castShadows(std::vector<scene::ISceneNode*>{floor, plate});
    scene::ICameraSceneNode* camera = addCamera(core::vector3df(0, 40, -60), core::vector3df(0, 0, 0));
    drawFrame();
    drawFrame();
    video::IImage* shot = shoot("-alpha-caster");
    ASSERT_NE(shot, nullptr);
    const double left = luminanceAt(shot, camera, core::vector3df(-28.75f, 0, 0));
    const double right = luminanceAt(shot, camera, core::vector3df(-18.75f, 0, 0));
    const double besideLeft = luminanceAt(shot, camera, core::vector3df(-28.75f, 0, 15));
    const double besideRight = luminanceAt(shot, camera, core::vector3df(-18.75f, 0, 15));
    shot->drop();
    EXPECT_GT(besideLeft, 40.0) << "the floor is lit";
    // Under the opaque half a shadow, under the see-through half the floor as it is beside.
    EXPECT_LT(left, besideLeft - 25.0) << "under the opaque half " << left << ", beside " << besideLeft;
    EXPECT_NEAR(right, besideRight, 12.0) << "under the see-through half";
}

TEST_F(ShadingGlTest, CharacterTexturesAreComposedOntoTheFiguresMaterial) {
    start();
    EffectHandler& handler = *effectHandler;
    scene::IAnimatedMeshSceneNode* figure =
        scene()->addAnimatedMeshSceneNode(getGameMesh(scene(), "Content/Models/Characters/Everyman1.b3d"));
    ASSERT_NE(figure, nullptr);
    scene()->addCameraSceneNode(nullptr, core::vector3df(0, 3, -10));
    MeshNodeCharacterTextures textures(figure);
    textures.bodyTexture = flatTexture(driver(), "body", video::SColor(255, 0, 0, 255), false);
    textures.limbTint = true;
    textures.highlightWeights[0] = 1.0f;
    handler.limbTextures[0] = flatTexture(driver(), "highlight", video::SColor(255, 0, 255, 0), false, 512);
    handler.limbTextures[4] = flatTexture(driver(), "rightArm", video::SColor(255, 255, 255, 255), true);
    textures.limbSteered[characterLimb::rightArm] = true;
    textures.limbColours[characterLimb::rightArm] = video::SColor(255, 255, 0, 0);
    // The first player's body hands the renderer its textures.
    auto* player = new TexturedPlayer(scene()->getRootSceneNode(), scene(), &textures);
    player->drop();
    setPlayer(0, player);
    ASSERT_TRUE(driver()->beginScene(true, true, video::SColor(255, 0, 0, 0)));
    // The composing repeats its first layer and gives the 2D material its wraps back after.
    video::SMaterialLayer& layer2D = driver()->getMaterial2D().TextureLayer[0];
    layer2D.TextureWrapU = video::ETC_CLAMP_TO_EDGE;
    layer2D.TextureWrapV = video::ETC_MIRROR;
    handler.updateCharacterTextures(0.016f);
    EXPECT_EQ(layer2D.TextureWrapU, video::ETC_CLAMP_TO_EDGE);
    EXPECT_EQ(layer2D.TextureWrapV, video::ETC_MIRROR);
    driver()->setRenderTarget(nullptr, true, true, video::SColor(255, 0, 0, 0));
    driver()->draw2DImage(handler.tentaroTexture, core::recti(0, 0, 512, 512), core::recti(0, 0, 1024, 1024));
    driver()->draw2DImage(handler.tentaroLimbs, core::recti(640, 0, 1152, 512), core::recti(0, 0, 512, 512));
    driver()->endScene();
    EXPECT_EQ(figure->getMaterial(0).getTexture(0), handler.tentaroTexture);
    EXPECT_EQ(figure->getMaterial(0).getTexture(3), handler.tentaroLimbs);
    video::IImage* shot = shoot("-composed");
    ASSERT_NE(shot, nullptr);
    // Body blue, the right arm's mask (left half) tinted red over it; the highlight green.
    const video::SColor tinted = shot->getPixel(100, 256);
    const video::SColor body = shot->getPixel(400, 256);
    const video::SColor highlight = shot->getPixel(900, 256);
    shot->drop();
    EXPECT_GT(tinted.getRed(), 200u);
    EXPECT_LT(tinted.getBlue(), 60u);
    EXPECT_GT(body.getBlue(), 200u);
    EXPECT_LT(body.getRed(), 60u);
    EXPECT_GT(highlight.getGreen(), 200u);
    // A flash time with an odd whole part draws the limbs white.
    textures.flashTime = 3.5f;
    ASSERT_TRUE(driver()->beginScene(true, true, video::SColor(255, 0, 0, 0)));
    handler.updateCharacterTextures(0.016f);
    driver()->setRenderTarget(nullptr, true, true, video::SColor(255, 0, 0, 0));
    driver()->draw2DImage(handler.tentaroTexture, core::recti(0, 0, 512, 512), core::recti(0, 0, 1024, 1024));
    driver()->endScene();
    video::IImage* flashed = shoot("-composed-flash");
    ASSERT_NE(flashed, nullptr);
    const video::SColor white = flashed->getPixel(100, 256);
    flashed->drop();
    EXPECT_GT(white.getGreen(), 200u);
    EXPECT_GT(white.getRed(), 200u);
}

// The composed body keeps its picture whole, its top and its bottom apart, however the
// driver turns render targets upside down.
TEST_F(ShadingGlTest, TheComposedBodyKeepsItsTopAndBottomApart) {
    start();
    EffectHandler& handler = *effectHandler;
    scene::IAnimatedMeshSceneNode* figure =
        scene()->addAnimatedMeshSceneNode(getGameMesh(scene(), "Content/Models/Characters/Everyman1.b3d"));
    ASSERT_NE(figure, nullptr);
    scene()->addCameraSceneNode(nullptr, core::vector3df(0, 3, -10));
    MeshNodeCharacterTextures textures(figure);
    // A body picture of the game's size (the compositing draws it 1024 pixels square).
    video::IImage* image = driver()->createImage(video::ECF_A8R8G8B8, core::dimension2du(1024, 1024));
    image->fill(video::SColor(255, 255, 0, 0));
    for (u32 y = 512; y < 1024; ++y)
        for (u32 x = 0; x < 1024; ++x)
            image->setPixel(x, y, video::SColor(255, 0, 0, 255));
    textures.bodyTexture = driver()->addTexture("twoToneBody", image);
    image->drop();
    auto* player = new TexturedPlayer(scene()->getRootSceneNode(), scene(), &textures);
    player->drop();
    setPlayer(0, player);
    ASSERT_TRUE(driver()->beginScene(true, true, video::SColor(255, 0, 0, 0)));
    handler.updateCharacterTextures(0.016f);
    driver()->setRenderTarget(nullptr, true, true, video::SColor(255, 0, 0, 0));
    driver()->draw2DImage(handler.tentaroTexture, core::recti(0, 0, 512, 512), core::recti(0, 0, 1024, 1024));
    driver()->endScene();
    video::IImage* shot = shoot("-two-tone");
    ASSERT_NE(shot, nullptr);
    const video::SColor upper = shot->getPixel(256, 64);
    const video::SColor lower = shot->getPixel(256, 448);
    shot->drop();
    // One half red, the other blue.
    EXPECT_NE(upper.getRed() > 200, lower.getRed() > 200) << "upper " << upper.color << ", lower " << lower.color;
    EXPECT_NE(upper.getBlue() > 200, lower.getBlue() > 200) << "upper " << upper.color << ", lower " << lower.color;
}

TEST_F(ShadingGlTest, ThumbnailHasTheScreensAspectAtHeight360) {
    start();
    addLitCube(10.0f, core::vector3df(0, 0, 0), core::vector3df(1, 1, 1));
    scene::ICameraSceneNode* camera = scene()->addCameraSceneNode(nullptr, core::vector3df(0, 10, -30));
    camera->setTarget(core::vector3df(0, 0, 0));
    effectHandler->thumbnailRequested = true;
    effectHandler->thumbnailFolder = (dir.path() / "thumbs" / "").c_str();
    effectHandler->thumbnailName = "Level1";
    drawFrame();
    EXPECT_FALSE(effectHandler->thumbnailRequested);
    const std::filesystem::path written = dir.path() / "thumbs" / "Level1.jpg";
    ASSERT_TRUE(std::filesystem::exists(written));
    video::IImage* image = driver()->createImageFromFile(written.c_str());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->getDimension(), core::dimension2du(640, 360));
    image->drop();
}

} // namespace
