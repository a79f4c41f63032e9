#include "RenderFixture.h"

#include "render/EffectHandler.h"
#include "render/LightManager.h"
#include "render/RenderRegistration.h"
#include "render/RenderServices.h"
#include "render/ShaderManager.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "support/GraphicsDriver.h"

#include "core/Globals.h"
#include "core/CoreSlots.h"
#include "render/RenderManagers.h"
#include "level/LevelHooks.h"

#include <algorithm>

using namespace irr;

namespace rendertest {

void resetRenderGlobals() {
    resetRenderServices();
    resetCoreSlots();
    resetLevelHooks();
    effectHandler = nullptr;
    lightManager = nullptr;
    shaderManager = nullptr;
    gameDevice = nullptr;
}

double meanLuminance(video::IImage* image, const core::recti& area) {
    double sum = 0.0;
    int count = 0;
    test::countPixels(image, area, [&](const video::SColor& c) {
        sum += c.getLuminance();
        ++count;
        return true;
    });
    return count ? sum / count : 0.0;
}

bool rasterizeOnTestThread() {
    static const bool set =
        setenv("LP_NUM_THREADS", "0", 0) == 0 && setenv("MESA_SHADER_CACHE_DISABLE", "true", 0) == 0;
    return set;
}

void keepScreenshot(video::IVideoDriver* driver, video::IImage* shot, const char* suffix) {
    const char* keep = std::getenv("PADDLESTONE_KEEP_SCREENSHOT");
    if (!keep || !shot || !driver)
        return;
    std::string path = keep;
    const std::size_t dot = path.rfind('.');
    path.insert(dot == std::string::npos ? path.size() : dot, suffix ? suffix : "");
    driver->writeImageToFile(shot, path.c_str());
}

video::IImage* shootEffectFrame(video::IVideoDriver* driver, EffectHandler* effectHandler, const char* suffix) {
    driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
    effectHandler->runRenderCallbacks();
    effectHandler->update(nullptr);
    driver->endScene();
    video::IImage* shot = driver->createScreenShot();
    keepScreenshot(driver, shot, suffix);
    return shot;
}

bool RenderGlFixture::openRendering(const core::dimension2du& size) {
    EXPECT_TRUE(rasterizeOnTestThread());
    resetRenderGlobals();
    shaderVariantMap().clear();
    workingDir = std::make_unique<test::ScopedWorkingDir>(test::sourceDir());
    device = test::createOpenGLTestDevice(size);
    EXPECT_NE(device, nullptr) << "no OpenGL device (run under Xvfb)";
    if (!device)
        return false;
    gameDevice = device;
    screenWidth = static_cast<s32>(size.Width);
    screenHeight = static_cast<s32>(size.Height);
    settings = std::make_unique<GameSettings>(dir.file("PaddlestoneConfig.xml"));
    settings->load(true);
    gameSettings = settings.get();
    registerRenderSubsystem();
    return true;
}

void RenderGlFixture::startRendering(const EffectHandlerSetup& setup,
                                     const std::function<void(EffectHandler&)>& adjust) {
    effectHandler = createEffectHandler(device, setup);
    if (adjust)
        adjust(*effectHandler);
    lightManager = new LightManager(device->getSceneManager());
    shaderManager = new ShaderManager();
    shaderManager->init();
    EXPECT_NE(effectHandler, nullptr);
    EXPECT_NE(lightManager, nullptr);
    EXPECT_NE(shaderManager, nullptr);
}

void RenderGlFixture::closeRendering() {
    destroyEffectHandler();
    destroyLightManager();
    if (device)
        device->drop();
    device = nullptr;
    delete shaderManager;
    shaderManager = nullptr;
    gameSettings = nullptr;
    shaderVariantMap().clear();
    resetRenderGlobals();
    resetProgramFlags(); // the screen size of the test's device goes with it
    workingDir.reset();
}

scene::IAnimatedMeshSceneNode* addEmptySkinnedNode(scene::ISceneManager* smgr, scene::ISceneNode* parent) {
    scene::ISkinnedMesh* skinned = smgr->createSkinnedMesh();
    skinned->addMeshBuffer();
    skinned->finalize();
    scene::IAnimatedMeshSceneNode* mesh = smgr->addAnimatedMeshSceneNode(skinned, parent);
    skinned->drop();
    return mesh;
}

ShadingStage::ShadingStage() = default;
ShadingStage::~ShadingStage() = default;

void ShadingStage::startShading(IrrlichtDevice* device) {
    handler = std::make_unique<EffectHandler>(device, core::dimension2du(0, 0));
    effectHandler = handler.get();
    shaders = std::make_unique<ShaderManager>();
    shaders->shaderLevel = 3;
    shaders->useIndexedArrayNames = true;
    shaderManager = shaders.get();
    lights = new LightManager(device->getSceneManager());
    lightManager = lights;
    services = std::make_unique<RecordingServices>(device->getVideoDriver());
}

void ShadingStage::stopShading(scene::ISceneManager* smgr) {
    smgr->setLightManager(nullptr);
    if (lights)
        lights->drop();
    lights = nullptr;
    lightManager = nullptr;
    shaderManager = nullptr;
    shaders.reset();
    effectHandler = nullptr;
    handler.reset();
}

} // namespace rendertest
