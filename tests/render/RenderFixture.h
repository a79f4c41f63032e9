#pragma once

#include "core/GameSettings.h"
#include "support/TempDir.h"

#include <irrlicht.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class EffectHandler;
struct EffectHandlerSetup;

namespace rendertest {

// Empties every slot table and manager pointer the rendering code reads.
void resetRenderGlobals();

// Mean luminance of an area.
double meanLuminance(irr::video::IImage* image, const irr::core::recti& area);

// The software rasterizer draws on the test's own thread, and its shader cache writes no
// files from a thread of its own: threads still ending when the process exits can crash the
// leak checker's thread stop. True once the environment says so.
bool rasterizeOnTestThread();

// Keeps a screenshot under PADDLESTONE_KEEP_SCREENSHOT, the suffix put before its extension.
void keepScreenshot(irr::video::IVideoDriver* driver, irr::video::IImage* shot, const char* suffix);

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

// A texture with a size (the null driver's own textures have none), named "sheet".
class SizedTexture : public irr::video::ITexture {
public:
    SizedTexture(irr::u32 width, irr::u32 height) : irr::video::ITexture("sheet"), size(width, height) {}
    void* lock(irr::video::E_TEXTURE_LOCK_MODE = irr::video::ETLM_READ_WRITE, irr::u32 = 0) override {
        return nullptr;
    }
    void unlock() override {}
    const irr::core::dimension2du& getOriginalSize() const override { return size; }
    const irr::core::dimension2du& getSize() const override { return size; }
    irr::video::E_DRIVER_TYPE getDriverType() const override { return irr::video::EDT_NULL; }
    irr::video::ECOLOR_FORMAT getColorFormat() const override { return irr::video::ECF_A8R8G8B8; }
    irr::u32 getPitch() const override { return size.Width * 4; }
    void regenerateMipMapLevels(void* = nullptr) override {}

private:
    irr::core::dimension2du size;
};

} // namespace rendertest
