// The rendering subsystem inside the level's life: registered through the shell's slots, it
// takes the level's light count and shadow switch, draws the level's lights per node, and
// forgets the level's lights and render callbacks when the level is unloaded.
#include "render/EffectHandler.h"
#include "render/LightManager.h"
#include "render/LightObject.h"
#include "render/RenderRegistration.h"
#include "render/RenderServices.h"
#include "render/ShaderManager.h"

#include "core/Globals.h"
#include "level/LevelManager.h"
#include "render/RenderManagers.h"

#include "../level/LevelTestSupport.h"
#include "RenderFixture.h"

#include <algorithm>
#include <fstream>
#include <string>

using namespace irr;

namespace {

const char* const litLevel = R"(<?xml version="1.0"?>
<irr_scene>
  <node type="LevelInfo"><attributes>
    <string name="Name" value="LevelInfo" /><int name="Id" value="1" />
    <int name="NumberOfLights" value="1" /><bool name="DisableShadows" value="true" />
  </attributes></node>
  <node type="light"><attributes>
    <string name="Name" value="Near" /><int name="Id" value="2" /><vector3d name="Position" value="3, 0, 0" />
    <colorf name="DiffuseColor" value="1, 1, 1, 1" /><float name="Radius" value="4" />
    <enum name="LightType" value="Point" /><bool name="Visible" value="true" />
  </attributes></node>
  <node type="light"><attributes>
    <string name="Name" value="Far" /><int name="Id" value="3" /><vector3d name="Position" value="6, 0, 0" />
    <colorf name="DiffuseColor" value="1, 1, 1, 1" /><float name="Radius" value="4" />
    <enum name="LightType" value="Point" /><bool name="Visible" value="true" />
  </attributes></node>
  <node type="cube"><attributes>
    <string name="Name" value="Block" /><int name="Id" value="4" /><vector3d name="Position" value="0, 0, 0" />
    <vector3d name="Scale" value="1, 1, 1" /><bool name="Visible" value="true" /><float name="Size" value="2" />
  </attributes></node>
</irr_scene>
)";

// Stands where the level's block is and notes, while it is drawn, the lights chosen for it.
class LightProbe : public rendertest::DrawnProbe {
public:
    using rendertest::DrawnProbe::DrawnProbe;
    void render() override {
        ++draws;
        nearOn = SceneManager->getSceneNodeFromName("Near")->isVisible();
        farOn = SceneManager->getSceneNodeFromName("Far")->isVisible();
        candidates = lightManager->candidateLights.size();
        first = candidates ? lightManager->candidateLight(0)->getName() : "";
    }
    int draws = 0;
    bool nearOn = false;
    bool farOn = false;
    u32 candidates = 0;
    std::string first;
};

struct ReflectionStandIn {
    void render() { ++renders; }
    int renders = 0;
};

class LevelRenderTest : public test::LevelFixture {
protected:
    void SetUp() override {
        test::LevelFixture::SetUp();
        registerRenderSubsystem();
        // As the shell's start-up makes them and binds them to the level's unloads.
        EffectHandlerSetup setup;
        setup.renderCallbacksEnabled = true;
        effectHandler = createEffectHandler(gameDevice, setup);
        lightManager = new LightManager(smgr());
        shaderManager = new ShaderManager();
        shaderManager->init();
        levelManager->onLevelUnloaded.addMember(effectHandler, &EffectHandler::resetLevelState);
        levelManager->onLevelUnloaded.addMember(lightManager, &LightManager::resetLights);
    }
    void TearDown() override {
        destroyEffectHandler();
        destroyLightManager();
        delete shaderManager;
        shaderManager = nullptr;
        shaderVariantMap().clear();
        test::LevelFixture::TearDown();
        rendertest::resetRenderGlobals();
    }
};

TEST_F(LevelRenderTest, LevelLightsAreChosenPerNodeAndForgottenOnUnload) {
    const std::string path = (temp.path() / "lit.irr").string();
    std::ofstream(path) << litLevel;
    ASSERT_TRUE(manager->loadLevel(path.c_str()));
    EXPECT_EQ(lightManager->maxLightsPerNode, 1u);
    EXPECT_FALSE(effectHandler->levelShadowsEnabled);

    auto* probe = new LightProbe(smgr());
    probe->drop();
    ReflectionStandIn reflection;
    effectHandler->renderCallbacks.addMember(&reflection, &ReflectionStandIn::render);
    scene::ICameraSceneNode* camera = smgr()->addCameraSceneNode(nullptr, core::vector3df(0, 0, -20));
    camera->setTarget(core::vector3df(0, 0, 0));
    smgr()->getRootSceneNode()->OnAnimate(0);
    effectHandler->runRenderCallbacks();
    effectHandler->update(nullptr);
    EXPECT_EQ(reflection.renders, 1);

    // Both lights reach the probe's box; the nearer one is its only light, and after the
    // frame both are on again.
    ASSERT_EQ(probe->draws, 1);
    EXPECT_EQ(probe->candidates, 2u);
    EXPECT_EQ(probe->first, "Near");
    EXPECT_TRUE(probe->nearOn);
    EXPECT_FALSE(probe->farOn);
    EXPECT_TRUE(smgr()->getSceneNodeFromName("Far")->isVisible());
    ASSERT_NE(lightManager->lightList, nullptr);

    manager->unloadLevel();
    EXPECT_EQ(lightManager->lightList->size(), 0u);
    EXPECT_EQ(lightManager->currentNode, nullptr);
    EXPECT_EQ(lightManager->candidateLights.size(), 0u);
    EXPECT_TRUE(effectHandler->renderCallbacks.empty());
    EXPECT_EQ(effectHandler->shadowCamera, nullptr);
}

// Shut-down takes both managers off the scene and out of the level's unloads; a second
// shut-down finds nothing left to do.
TEST_F(LevelRenderTest, DestroyingTheManagersEmptiesTheirSlotsAndUnbindsThem) {
    destroyEffectHandler();
    destroyLightManager();
    EXPECT_EQ(effectHandler, nullptr);
    EXPECT_EQ(lightManager, nullptr);
    manager->unloadLevel();
    destroyEffectHandler();
    destroyLightManager();
    EXPECT_EQ(lightManager, nullptr);
}

TEST_F(LevelRenderTest, AFullFrameLeavesEveryLightOnForTheNextFrame) {
    const std::string path = (temp.path() / "lit.irr").string();
    std::ofstream(path) << litLevel;
    ASSERT_TRUE(manager->loadLevel(path.c_str()));
    smgr()->addCameraSceneNode(nullptr, core::vector3df(0, 0, -20));
    for (int frame = 0; frame < 3; ++frame) {
        smgr()->getRootSceneNode()->OnAnimate(0);
        effectHandler->update(nullptr);
        EXPECT_TRUE(smgr()->getSceneNodeFromName("Far")->isVisible()) << "frame " << frame;
        EXPECT_TRUE(smgr()->getSceneNodeFromName("Near")->isVisible()) << "frame " << frame;
    }
}

// Noted in order: the draws of the level's nodes and the loading frames between them.
class NotingProbe : public rendertest::DrawnProbe {
public:
    NotingProbe(scene::ISceneManager* manager, std::string& notes) : rendertest::DrawnProbe(manager), notes(notes) {}
    void render() override { notes += 'd'; }
    std::string& notes;
};

// A level's first frames under its loading screen show a loading frame before each draw of a
// node (the driver compiles the level's programs there); a cover that is not yet whole, or a
// whole one without the loading screen (a transition's hold), shows none.
TEST_F(LevelRenderTest, LoadingFramesComeBetweenTheDrawsUnderTheLoadingScreenOnly) {
    const std::string path = (temp.path() / "lit.irr").string();
    std::ofstream(path) << litLevel;
    ASSERT_TRUE(manager->loadLevel(path.c_str()));
    smgr()->addCameraSceneNode(nullptr, core::vector3df(0, 0, -20));
    std::string notes;
    for (int i = 0; i < 2; ++i)
        (new NotingProbe(smgr(), notes))->drop();
    renderServices().screens.renderLoadingFrame = [&notes] { notes += 'L'; };
    const struct {
        bool loadingScreen;
        f32 fade;
        bool framesShown;
    } cases[] = {
        {true, 1.0f, true},
        {true, 0.999f, false},
        {false, 1.0f, false},
    };
    LoadingOverlay& overlay = levelManager->loadingOverlay;
    for (const auto& c : cases) {
        overlay.loadingScreen = c.loadingScreen;
        overlay.fadeValue = c.fade;
        notes.clear();
        smgr()->getRootSceneNode()->OnAnimate(0);
        effectHandler->update(nullptr);
        const std::size_t first = notes.find('d'), last = notes.rfind('d');
        ASSERT_TRUE(first != std::string::npos && last != first) << notes;
        // The level's own block draws among the probes, with a loading frame of its own.
        EXPECT_EQ(notes.find('L', first) < last, c.framesShown) << notes;
        EXPECT_EQ(std::count(notes.begin(), notes.end(), 'L'), c.framesShown ? 3 : 0) << notes;
    }
    overlay = LoadingOverlay{};
}

} // namespace
