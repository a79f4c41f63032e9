// The effect handler on the null driver (every target null, every material at its
// fallback) and its frame: render callbacks, viewports with their cameras, the scene pass,
// the hand-over to the depth pass and the post chain, the level reset, the extra scene passes.
#include "render/EffectHandler.h"
#include "render/HmdRenderer.h"
#include "render/RenderRegistration.h"
#include "render/RenderServices.h"
#include "render/ShaderCallbacks.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/Log.h"
#include "core/RepeatedLog.h"
#include "level/LevelHooks.h"
#include "support/NullDevice.h"
#include "support/TempDir.h"

#include "../level/LevelTestSupport.h"
#include "RenderFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace irr;

namespace {

class EffectHandlerTest : public ::testing::Test {
protected:
    void SetUp() override {
        rendertest::resetRenderGlobals();
        gameDevice = device.get();
        handler = std::make_unique<EffectHandler>(device.get(), core::dimension2du(0, 0));
        effectHandler = handler.get();
    }
    void TearDown() override {
        handler.reset();
        rendertest::resetRenderGlobals();
    }
    scene::ICameraSceneNode* addCamera() { return device->getSceneManager()->addCameraSceneNode(); }

    test::NullDevice device;
    std::unique_ptr<EffectHandler> handler;
};

TEST_F(EffectHandlerTest, OnTheNullDriverEveryTargetIsNullAndEveryMaterialFallsBack) {
    EXPECT_TRUE(handler->shaderEffectsUnsupported);
    EXPECT_FALSE(handler->shadowsEnabled);
    for (video::ITexture* target : {handler->screenRTT, handler->colorRTT, handler->depthRTT, handler->tentaroTexture,
                                    handler->tentaroLimbs, handler->screenQuad.renderTargets[0],
                                    handler->screenQuad.renderTargets[1]})
        EXPECT_EQ(target, nullptr);
    EXPECT_EQ(handler->getDepthTexture(), nullptr);
    EXPECT_EQ(handler->getShadowMapTexture(512), nullptr);
    EXPECT_EQ(handler->getShadowAtlasTexture(512), nullptr);
    EXPECT_EQ(handler->depthCallback, nullptr);
    EXPECT_EQ(handler->shadowCallback, nullptr);
    EXPECT_EQ(handler->screenQuadCallback, nullptr);
    for (s32 material : {handler->depthMaterial, handler->depthAlphaMaterial, handler->skinnedDepthMaterial,
                         handler->skinnedDepthAlphaMaterial, handler->instancedDepthMaterial})
        EXPECT_EQ(material, video::EMT_SOLID);
    EXPECT_EQ(handler->instancedDepthAlphaMaterial, video::EMT_SOLID);
    EXPECT_EQ(handler->shadowMaterials[4], video::EMT_SOLID);
    EXPECT_EQ(handler->copyMaterial, video::EMT_SOLID);
    EXPECT_EQ(handler->whiteWashRefMaterial, video::EMT_TRANSPARENT_ALPHA_CHANNEL_REF);
    EXPECT_EQ(handler->luminanceMaterial, video::EMT_TRANSPARENT_ADD_COLOR);
    EXPECT_EQ(handler->whiteWashAddMaterial, video::EMT_TRANSPARENT_ALPHA_CHANNEL);
    EXPECT_EQ(handler->lightModulateMaterial, video::EMT_SOLID);
    EXPECT_EQ(handler->renderSize, device->getVideoDriver()->getScreenSize());
    EXPECT_FALSE(handler->renderToScreenTarget) << "only a borderless window of another size draws off screen";
    EXPECT_FLOAT_EQ(handler->shadowDistance, baseShadowDistance);
    EXPECT_EQ(handler->viewportCount, 1);
    EXPECT_TRUE(handler->hardwareSkinning);
    EXPECT_TRUE(handler->instancing);
    EXPECT_TRUE(handler->use32BitDepth);
    EXPECT_EQ(handler->depthFormat(), video::ECF_G32R32F);
    EXPECT_EQ(handler->shadowAtlasFormat(), video::ECF_A8R8G8B8);
    handler->use32BitDepth = false;
    EXPECT_EQ(handler->depthFormat(), video::ECF_G16R16F);
    EXPECT_EQ(handler->shadowAtlasFormat(), video::ECF_A8R8G8B8);
    // The callers that draw with these fall back without a crash: a frame still runs.
    addCamera();
    handler->depthPassEnabled = true;
    handler->update(nullptr);
    EXPECT_EQ(handler->renderStage, 1);
}

TEST_F(EffectHandlerTest, ANonZeroRenderSizeIsUsedUnchanged) {
    EffectHandler sized(device.get(), core::dimension2du(320, 200));
    EXPECT_EQ(sized.renderSize, core::dimension2du(320, 200));
    EXPECT_EQ(sized.screenSize, device->getVideoDriver()->getScreenSize());
}

// In borderless fullscreen (mode 2) the scene is drawn at the settings' size; in the other
// modes at the size the handler is given.
TEST_F(EffectHandlerTest, BorderlessFullscreenDrawsAtTheSettingsSize) {
    test::TempDir temp;
    GameSettings settings(temp.file("PaddlestoneConfig.xml"));
    settings.load(true);
    gameSettings = &settings;
    setSettingInt("Graphics_ScreenWidth", 800);
    setSettingInt("Graphics_ScreenHeight", 600);
    for (const s32 mode : {2, 1}) {
        SCOPED_TRACE(mode);
        setSettingInt("Graphics_FullscreenMode", mode);
        EffectHandler sized(device.get(), core::dimension2du(320, 200));
        EXPECT_EQ(sized.renderSize, mode == 2 ? core::dimension2du(800, 600) : core::dimension2du(320, 200));
    }
    gameSettings = nullptr;
}

TEST_F(EffectHandlerTest, ShadowLightRecord) {
    const ShadowLight light(1024, core::vector3df(0, 10, 0), core::vector3df(0, 0, 0), video::SColorf(1, 1, 1, 0),
                            -5.0f, 300.0f, 80.0f);
    EXPECT_FLOAT_EQ(light.nearValue, 0.1f);
    EXPECT_FLOAT_EQ(light.farPlaneScale, 1.0f);
    EXPECT_TRUE(light.directional);
    EXPECT_EQ(light.resolution, 1024u);
    core::matrix4 expectedView;
    expectedView.buildCameraLookAtMatrixLH(light.position, light.target, core::vector3df(0, 0, 1));
    EXPECT_TRUE(light.viewMatrix.equals(expectedView));
    EXPECT_FLOAT_EQ(light.projectionMatrix[0], 2.0f / 80.0f);
    EXPECT_FLOAT_EQ(light.projectionMatrix[5], 2.0f / 80.0f);
    EXPECT_FLOAT_EQ(light.projectionMatrix[10], 1.0f / (300.0f - 0.1f));
    EXPECT_FLOAT_EQ(light.projectionMatrix[14], 0.1f / (0.1f - 300.0f));
    EXPECT_FLOAT_EQ(light.projectionMatrix[15], 1.0f);
    EXPECT_FLOAT_EQ(light.projectionMatrix[1], 0.0f);
    const ShadowLight slanted(512, core::vector3df(40, 80, -30), core::vector3df(0, 0, 0), video::SColorf(), 1.0f,
                              300.0f, 80.0f);
    EXPECT_FLOAT_EQ(slanted.nearValue, 1.0f);
    // A near plane on the light itself is moved off it too.
    const ShadowLight onTheLight(512, core::vector3df(40, 80, -30), core::vector3df(0, 0, 0), video::SColorf(), 0.0f,
                                 300.0f, 80.0f);
    EXPECT_FLOAT_EQ(onTheLight.nearValue, 0.1f);
    expectedView.buildCameraLookAtMatrixLH(slanted.position, slanted.target, core::vector3df(0, 1, 0));
    EXPECT_TRUE(slanted.viewMatrix.equals(expectedView));
}

// A shadow quality whose atlas the driver cannot make (a limit the test sets) falls back to the
// largest half of it that fits, with one line however many passes ask, and the settings keep
// it; a quality on the limit stays.
TEST_F(EffectHandlerTest, AShadowQualityTheDriverCannotMakeFallsBackOnceAndIsKept) {
    test::TempDir temp;
    GameSettings settings(temp.file("PaddlestoneConfig.xml"));
    settings.load(true);
    gameSettings = &settings;
    gameDevice = nullptr; // the lines reach the early-line list, where the test reads them
    addCamera();
    handler->shadowNodes.push_back({device->getSceneManager()->addCubeSceneNode(), 2, 0});
    const struct {
        s32 quality;
        u32 largest;
        u32 used;
        const char* line;
    } cases[] = {
        {1024, 1024, 1024, nullptr},
        {1025, 1024, 512, "Warning: The graphics driver cannot make shadow maps of 1025 pixels; using 512."},
        {8192, 1024, 1024, "Warning: The graphics driver cannot make shadow maps of 8192 pixels; using 1024."},
        {512, 0, 0, "Warning: The graphics driver cannot make shadow maps of 512 pixels or fewer; the game draws no "
                    "shadows."},
    };
    for (const auto& c : cases) {
        setSettingInt("Graphics_ShadowQuality", c.quality);
        handler->largestShadowResolution = c.largest;
        handler->setShadowQuality(core::vector3df(0, 80, 10), core::vector3df(0, 0, 0));
        takeEarlyLogLines();
        handler->updateShadowCascades();
        handler->updateShadowCascades();
        std::vector<std::string> lines;
        for (const EarlyLogLine& line : takeEarlyLogLines())
            lines.push_back(line.text);
        EXPECT_EQ(lines, c.line ? std::vector<std::string>{c.line} : std::vector<std::string>{}) << c.quality;
        EXPECT_EQ(handler->shadowLights[0].resolution, c.used) << c.quality;
        EXPECT_EQ(getSettingInt("Graphics_ShadowQuality"), c.used ? static_cast<s32>(c.used) : c.quality);
    }
    gameSettings = nullptr;
}

struct ViewportCase {
    s32 width, height, count, index;
    core::recti expected;
};
const ViewportCase viewportCases[] = {
    {1280, 720, 1, 0, {0, 0, 1280, 720}},       {1281, 720, 2, 0, {0, 0, 640, 720}},
    {1281, 720, 2, 1, {640, 0, 1280, 720}},     {1280, 720, 2, 2, {0, 0, 1280, 720}},
    {1280, 720, 3, 0, {0, 0, 640, 720}},        {1280, 720, 3, 1, {640, 0, 1280, 360}},
    {1280, 720, 3, 2, {640, 360, 1280, 720}},   {1280, 720, 3, 3, {0, 0, 1280, 720}},
    {1280, 721, 4, 0, {0, 0, 640, 360}},        {1280, 721, 4, 1, {640, 0, 1280, 360}},
    {1280, 721, 4, 2, {0, 360, 640, 720}},      {1280, 721, 4, 3, {640, 360, 1280, 720}},
    {1280, 720, 5, 1, {0, 0, 1280, 720}},
};

TEST(EffectHandlerViewports, RectanglesSplitTheScreenInIntegerHalves) {
    for (const ViewportCase& c : viewportCases) {
        SIrrlichtCreationParameters params;
        params.DriverType = video::EDT_NULL;
        params.WindowSize = core::dimension2du(static_cast<u32>(c.width), static_cast<u32>(c.height));
        params.LoggingLevel = ELL_NONE;
        IrrlichtDevice* device = createDeviceEx(params);
        ASSERT_NE(device, nullptr);
        {
            EffectHandler handler(device, core::dimension2du(0, 0));
            EXPECT_EQ(handler.getPlayerViewport(c.count, c.index), c.expected)
                << c.width << "x" << c.height << " count " << c.count << " index " << c.index;
        }
        device->drop();
    }
}

TEST_F(EffectHandlerTest, TheViewportTakesItsCameraManagersCameraAndAspectRatio) {
    scene::ICameraSceneNode* previous = addCamera();
    scene::ICameraSceneNode* managed = addCamera();
    device->getSceneManager()->setActiveCamera(previous);
    std::vector<s32> asked;
    renderServices().cameras.viewportCamera = [&](s32 viewport) -> scene::ICameraSceneNode* {
        asked.push_back(viewport);
        return viewport == 0 ? managed : nullptr;
    };
    handler->setPlayerViewport(2, 1);
    EXPECT_EQ(asked, std::vector<s32>{0}); // without split screen: the first camera manager
    EXPECT_EQ(device->getSceneManager()->getActiveCamera(), managed);
    const core::recti half = handler->getPlayerViewport(2, 1);
    EXPECT_FLOAT_EQ(managed->getAspectRatio(), f32(half.getWidth()) / f32(half.getHeight()));
    // Split screen asks the viewport's own manager; one without a camera keeps the active one.
    handler->splitScreen = true;
    handler->setPlayerViewport(2, 1);
    EXPECT_EQ(asked.back(), 1);
    EXPECT_EQ(device->getSceneManager()->getActiveCamera(), managed);
}

// A node in front of the camera that notes each time it is drawn.
class NotingNode : public scene::ISceneNode {
public:
    NotingNode(scene::ISceneManager* manager, std::vector<std::string>& journal)
        : ISceneNode(manager->getRootSceneNode(), manager, -1), journal(journal) {}
    void OnRegisterSceneNode() override {
        if (IsVisible)
            SceneManager->registerNodeForRendering(this);
        ISceneNode::OnRegisterSceneNode();
    }
    void render() override { journal.push_back("scene"); }
    const core::aabbox3df& getBoundingBox() const override { return box; }
    std::vector<std::string>& journal;
    core::aabbox3df box{-1000, -1000, -1000, 1000, 1000, 1000};
};

// A post effect's render callback that notes each run of its effect.
struct NotingPostCallback : PostProcessingRenderCallback {
    explicit NotingPostCallback(std::vector<std::string>& journal) : journal(journal) {}
    void OnPreRender(EffectHandler*) override { journal.push_back("post chain"); }
    void OnPostRender(EffectHandler*) override {}
    std::vector<std::string>& journal;
};

// The level's debug keys reach the handler's one-shot flags through the render slots; with
// no handler they do nothing.
TEST_F(EffectHandlerTest, TheDebugKeySlotsSetTheHandlersOneShotFlags) {
    registerRenderSubsystem();
    const auto& slots = levelHooks().render;
    ASSERT_TRUE(slots.skipNextScenePass && slots.requestEditorRefresh);
    EXPECT_FALSE(handler->skipNextScenePass);
    EXPECT_FALSE(handler->editorRefreshRequested);
    slots.skipNextScenePass();
    EXPECT_TRUE(handler->skipNextScenePass);
    EXPECT_FALSE(handler->editorRefreshRequested);
    slots.requestEditorRefresh();
    EXPECT_TRUE(handler->editorRefreshRequested);
    effectHandler = nullptr;
    slots.skipNextScenePass();
    slots.requestEditorRefresh();
}

TEST_F(EffectHandlerTest, FrameRunsItsStagesInOrder) {
    std::vector<std::string> order;
    auto* node = new NotingNode(device->getSceneManager(), order);
    node->drop();

    // No camera: nothing is drawn and the stage stays.
    handler->renderStage = 7;
    handler->update(nullptr);
    handler->runRenderCallbacks();
    EXPECT_TRUE(order.empty());
    EXPECT_EQ(handler->renderStage, 7);

    scene::ICameraSceneNode* camera = addCamera();
    camera->setPosition({0, 0, -50});
    camera->setTarget({0, 0, 0});
    device->getSceneManager()->getRootSceneNode()->OnAnimate(0);
    handler->update(nullptr);
    EXPECT_EQ(order, std::vector<std::string>{"scene"});
    EXPECT_EQ(handler->renderStage, 1);
    // The scene pass leaves the camera's view-projection for the shadow constants.
    video::IVideoDriver* driver = device->getVideoDriver();
    EXPECT_EQ(shadowConstants().cameraViewProj,
              driver->getTransform(video::ETS_PROJECTION) * driver->getTransform(video::ETS_VIEW));

    // The thumbnail comes first (no target on the null driver: nothing is drawn for it),
    // then the scene; the depth pass (no depth target here) and the post chain follow.
    order.clear();
    handler->thumbnailRequested = true;
    handler->thumbnailName = "Level1";
    handler->depthPassEnabled = true;
    handler->postEffects.emplace_back();
    handler->postEffects.back().renderCallback = std::make_unique<NotingPostCallback>(order);
    handler->update(nullptr);
    EXPECT_EQ(order, (std::vector<std::string>{"scene", "post chain"}));
    EXPECT_FALSE(handler->thumbnailRequested);

    // The one-shot skip: no scene, the rest of the frame still runs.
    order.clear();
    handler->skipNextScenePass = true;
    handler->update(nullptr);
    EXPECT_EQ(order, std::vector<std::string>{"post chain"});
    EXPECT_FALSE(handler->skipNextScenePass);
    EXPECT_EQ(handler->renderStage, 1);
}

TEST_F(EffectHandlerTest, SplitScreenDrawsOneViewportPerCameraManagerWithoutPlayers) {
    scene::ICameraSceneNode* camera = addCamera();
    std::vector<s32> asked;
    renderServices().cameras.viewportCamera = [&](s32 viewport) -> scene::ICameraSceneNode* {
        asked.push_back(viewport);
        return camera;
    };
    handler->viewportCount = 2;
    handler->update(nullptr);
    EXPECT_EQ(asked, std::vector<s32>{0}); // without split screen one viewport
    asked.clear();
    handler->splitScreen = true;
    handler->update(nullptr);
    EXPECT_EQ(asked, (std::vector<s32>{0, 1}));
    // Never more viewports than camera managers.
    asked.clear();
    handler->viewportCount = 9;
    handler->update(nullptr);
    EXPECT_EQ(asked.size(), static_cast<std::size_t>(maxCameraManagers));
}

struct CallbackTarget {
    void run() { stageSeen.push_back(effectHandler->renderStage); }
    std::vector<s32> stageSeen;
};

TEST_F(EffectHandlerTest, RenderCallbacksRunWithStageTwoWhileReflectionsAreOn) {
    addCamera();
    CallbackTarget target;
    handler->renderCallbacks.addMember(&target, &CallbackTarget::run);
    handler->renderCallbacksEnabled = false;
    handler->runRenderCallbacks();
    EXPECT_TRUE(target.stageSeen.empty());
    handler->renderCallbacksEnabled = true;
    handler->runRenderCallbacks();
    EXPECT_EQ(target.stageSeen, std::vector<s32>{2});
    handler->update(nullptr);
    EXPECT_EQ(handler->renderStage, 1);

    // The level reset forgets the callbacks, the shadow camera, the shadow nodes and the
    // limbs' pictures (a level's own, given back after it).
    handler->shadowCamera = addCamera();
    handler->shadowNodes.push_back({nullptr, 2, 1});
    video::ITexture* limb = device->getVideoDriver()->addTexture(core::dimension2du(2, 2), "Levels/Mine/HeroRArm.dds");
    handler->limbTextures[0] = handler->limbTextures[7] = limb;
    handler->resetLevelState();
    EXPECT_EQ(handler->shadowCamera, nullptr);
    EXPECT_TRUE(handler->shadowNodes.empty());
    EXPECT_TRUE(handler->renderCallbacks.empty());
    for (video::ITexture* texture : handler->limbTextures)
        EXPECT_EQ(texture, nullptr);
}

// The render callbacks take extra scene passes up to the limit; a frame past it logs once
// (the repeated lines count such frames), and each frame starts afresh.
TEST_F(EffectHandlerTest, ExtraScenePassesStopAtTheLimitEachFrame) {
    test::LogCapture log;
    device->setEventReceiver(&log);
    device->getLogger()->setLogLevel(ELL_INFORMATION);
    addCamera();
    struct Asker {
        void run() {
            for (int i = 0; i < 4; ++i)
                taken.push_back(effectHandler->takeExtraScenePass());
        }
        std::vector<bool> taken;
    } asker;
    handler->renderCallbacks.addMember(&asker, &Asker::run);
    handler->extraScenePassLimit = 2;
    handler->runRenderCallbacks();
    handler->runRenderCallbacks();
    endRepeatedLogRound();
    device->setEventReceiver(nullptr);
    EXPECT_EQ(asker.taken, (std::vector<bool>{true, true, false, false, true, true, false, false}));
    const std::string line = "ERROR: The level's water surfaces and mirrors ask for more than 2 extra scene passes a "
                             "frame; the rest are drawn without their images.";
    EXPECT_EQ(log.lines, (std::vector<std::string>{line, "Repeated 1 more time: " + line}));
}

// The shadow pass leaves out casters the view does not read only when nothing else reads the
// maps: a second of frames without a water or mirror pass, one viewport, no head-mounted display.
TEST_F(EffectHandlerTest, ShadowsAreReadByTheViewAloneAfterASecondWithoutExtraPasses) {
    const u32 quiet = EffectHandler::extraPassQuietFrames;
    auto framesUntilAlone = [this] {
        u32 frames = 1;
        while (!handler->shadowsReadByViewAlone() && frames < 1000)
            ++frames;
        return frames;
    };
    EXPECT_EQ(framesUntilAlone(), quiet);
    EXPECT_TRUE(handler->shadowsReadByViewAlone());
    handler->extraScenePassesAsked = 1; // a mirror's pass last frame
    EXPECT_FALSE(handler->shadowsReadByViewAlone());
    handler->extraScenePassesAsked = 0;
    EXPECT_EQ(framesUntilAlone(), quiet);
    handler->splitScreen = true;
    EXPECT_FALSE(handler->shadowsReadByViewAlone());
    handler->splitScreen = false;
    HmdRenderer* const none = hmdRenderer;
    hmdRenderer = reinterpret_cast<HmdRenderer*>(handler.get()); // only its presence counts
    EXPECT_FALSE(handler->shadowsReadByViewAlone());
    hmdRenderer = none;
    EXPECT_TRUE(handler->shadowsReadByViewAlone());
}

struct CountingRenderCallback : PostProcessingRenderCallback {
    explicit CountingRenderCallback(int* alive) : alive(alive) { ++*alive; }
    ~CountingRenderCallback() override { --*alive; }
    void OnPreRender(EffectHandler*) override {}
    void OnPostRender(EffectHandler*) override {}
    int* alive;
};

TEST_F(EffectHandlerTest, PostEffectRenderCallbacksGoToTheRecordOfTheirMaterial) {
    for (s32 type : {52, 50, 51}) {
        handler->postEffects.emplace_back();
        handler->postEffects.back().materialType = type;
    }
    handler->postEffectsSorted = false;
    int alive = 0;
    auto* first = new CountingRenderCallback(&alive);
    handler->setPostProcessingRenderCallback(51, first);
    EXPECT_EQ(handler->postEffects[1].materialType, 51);
    EXPECT_EQ(handler->postEffects[1].renderCallback.get(), first);
    handler->setPostProcessingRenderCallback(51, new CountingRenderCallback(&alive));
    EXPECT_EQ(alive, 1); // the previous one was deleted
    // No record of that type: nothing changes and the callback stays the caller's.
    CountingRenderCallback stray(&alive);
    handler->setPostProcessingRenderCallback(99, &stray);
    EXPECT_EQ(alive, 2);
    handler->postEffects.clear();
    EXPECT_EQ(alive, 1);
}

// A node that counts its draws.
class DrawCountingNode : public scene::ISceneNode {
public:
    using scene::ISceneNode::ISceneNode;
    void render() override { ++draws; }
    const core::aabbox3df& getBoundingBox() const override { return box; }
    int draws = 0;
    core::aabbox3df box{-1, -1, -1, 1, 1, 1};
};

// Without a depth target (or without a camera) the depth pass draws nothing at all.
TEST_F(EffectHandlerTest, WithoutADepthTargetTheDepthPassDrawsNothing) {
    auto* node = new DrawCountingNode(device->getSceneManager()->getRootSceneNode(), device->getSceneManager(), -1);
    node->drop();
    handler->addNodeToDepthPass(node);
    addCamera();
    ASSERT_EQ(handler->getDepthTexture(), nullptr);
    handler->renderDepthPass();
    EXPECT_EQ(node->draws, 0);
}

// With a depth target the pass draws each node that shows, and none hidden itself or
// under a hidden parent.
TEST_F(EffectHandlerTest, TheDepthPassDrawsOnlyNodesThatShow) {
    scene::ISceneManager* scene = device->getSceneManager();
    handler->depthRTT = device->getVideoDriver()->addTexture(core::dimension2du(4, 4), "depthTarget");
    ASSERT_NE(handler->getDepthTexture(), nullptr);
    addCamera();
    scene::ISceneNode* hiddenParent = scene->addEmptySceneNode();
    hiddenParent->setVisible(false);
    const struct {
        const char* what;
        scene::ISceneNode* parent;
        bool visible;
        int draws;
    } rows[] = {{"shown", scene->getRootSceneNode(), true, 1},
                {"hidden", scene->getRootSceneNode(), false, 0},
                {"under a hidden parent", hiddenParent, true, 0}};
    std::vector<DrawCountingNode*> nodes;
    for (const auto& row : rows) {
        auto* node = new DrawCountingNode(row.parent, scene, -1);
        node->drop();
        node->setVisible(row.visible);
        handler->addNodeToDepthPass(node);
        nodes.push_back(node);
    }
    handler->renderDepthPass();
    for (std::size_t i = 0; i < nodes.size(); ++i)
        EXPECT_EQ(nodes[i]->draws, rows[i].draws) << rows[i].what;
}

TEST_F(EffectHandlerTest, DepthPassListIsSortedAndHoldsANodeOnce) {
    scene::ISceneNode* a = device->getSceneManager()->addEmptySceneNode();
    scene::ISceneNode* b = device->getSceneManager()->addEmptySceneNode();
    handler->addNodeToDepthPass(b);
    handler->addNodeToDepthPass(a);
    handler->addNodeToDepthPass(b);
    ASSERT_EQ(handler->depthPassNodes.size(), 2u);
    EXPECT_LT(*handler->depthPassNodes.begin(), *handler->depthPassNodes.rbegin());
    handler->removeNodeFromDepthPass(a);
    EXPECT_FALSE(handler->isInDepthPass(a));
    EXPECT_TRUE(handler->isInDepthPass(b));
    handler->removeNodeFromDepthPass(a);
    EXPECT_EQ(handler->depthPassNodes.size(), 1u);
}

} // namespace
