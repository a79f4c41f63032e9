#pragma once

#include "RecordingServices.h"

#include "core/GameSettings.h"
#include "support/TempDir.h"

#include <irrlicht.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class EffectHandler;
struct EffectHandlerSetup;
class LightManager;
class ShaderManager;

namespace rendertest {

// Empties every slot table and manager pointer the rendering code reads.
void resetRenderGlobals();

// A node of an empty skinned mesh (one buffer, no joints) under the parent; the scene keeps it.
irr::scene::IAnimatedMeshSceneNode* addEmptySkinnedNode(irr::scene::ISceneManager* smgr,
                                                        irr::scene::ISceneNode* parent);

// Mean luminance of an area.
double meanLuminance(irr::video::IImage* image, const irr::core::recti& area);

// The software rasterizer draws on the test's own thread, and its shader cache writes no
// files from a thread of its own: threads still ending when the process exits can crash the
// leak checker's thread stop. True once the environment says so.
bool rasterizeOnTestThread();

// Keeps a screenshot under PADDLESTONE_KEEP_SCREENSHOT, the suffix put before its extension.
void keepScreenshot(irr::video::IVideoDriver* driver, irr::video::IImage* shot, const char* suffix);

// Draws one frame of the scene as animated, with the effect handler's passes, and returns its
// screenshot (kept as keepScreenshot keeps it); the caller drops it.
irr::video::IImage* shootEffectFrame(irr::video::IVideoDriver* driver, EffectHandler* effectHandler, const char* suffix);

// The rendering of the game on an OpenGL device under Xvfb: the device, the settings in a
// temporary folder, the render registration, and the render managers as start-up makes them.
class RenderGlFixture {
protected:
    // False (with a failure) when no OpenGL device opens.
    bool openRendering(const irr::core::dimension2du& size);
    // Start-up's order: the effect handler (then `adjust` on it), the light manager, the
    // shader manager.
    void startRendering(const EffectHandlerSetup& setup, const std::function<void(EffectHandler&)>& adjust = {});
    void closeRendering();

    test::TempDir dir;
    std::unique_ptr<test::ScopedWorkingDir> workingDir;
    std::unique_ptr<GameSettings> settings;
    irr::IrrlichtDevice* device = nullptr;
};

// A unit cube's stand-in under the scene's root, never culled, that registers for drawing
// while it is visible: a test's render() notes what the drawing code hands it.
class DrawnProbe : public irr::scene::ISceneNode {
public:
    explicit DrawnProbe(irr::scene::ISceneManager* manager, const irr::core::vector3df& at = {0, 0, 0})
        : irr::scene::ISceneNode(manager->getRootSceneNode(), manager, -1, at) {
        setAutomaticCulling(irr::scene::EAC_OFF);
    }
    void OnRegisterSceneNode() override {
        if (IsVisible)
            SceneManager->registerNodeForRendering(this);
        ISceneNode::OnRegisterSceneNode();
    }
    const irr::core::aabbox3df& getBoundingBox() const override { return box; }
    irr::scene::ESCENE_NODE_TYPE getType() const override { return irr::scene::ESNT_CUBE; }
    irr::core::aabbox3df box{-1, -1, -1, 1, 1, 1};
};

// A node that counts the times it is asked to register for drawing.
class RegisterCountingNode : public irr::scene::ISceneNode {
public:
    using irr::scene::ISceneNode::ISceneNode;
    void OnRegisterSceneNode() override { ++registered; }
    void render() override {}
    const irr::core::aabbox3df& getBoundingBox() const override { return box; }
    int registered = 0;
    irr::core::aabbox3df box;
};

// What the shading callbacks read, on the null driver: an effect handler, a shader manager at
// shader level 3 with indexed array names, a light manager on the scene, each set as the
// game's own, and services that keep the constants a callback sets.
class ShadingStage {
protected:
    ShadingStage();
    ~ShadingStage();
    void startShading(irr::IrrlichtDevice* device);
    // Takes them down in reverse and clears the game's pointers to them.
    void stopShading(irr::scene::ISceneManager* smgr);

    std::unique_ptr<EffectHandler> handler;
    std::unique_ptr<ShaderManager> shaders;
    LightManager* lights = nullptr;
    std::unique_ptr<RecordingServices> services;
};

} // namespace rendertest
