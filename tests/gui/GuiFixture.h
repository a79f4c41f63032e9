#pragma once

#include "core/Stopwatch.h"
#include "support/NullDevice.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <memory>
#include <string>
#include <vector>

class GUIButton;

namespace guitest {

// Keeps the lines the engine's logger reports.
class LogRecorder : public irr::IEventReceiver {
public:
    bool OnEvent(const irr::SEvent& event) override;
    bool contains(const std::string& part) const;
    std::vector<std::string> lines;
};

// An engine texture of a given size that draws nothing (the null driver's textures have
// no size).
class SizedTexture : public irr::video::ITexture {
public:
    SizedTexture(const char* name, irr::u32 width, irr::u32 height)
        : irr::video::ITexture(name), size(width, height) {}
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

// A GUI on the null driver with the game device, the frame stopwatch (moved by the test),
// a screen manager and recorded menu sounds. Content/ paths resolve against the repository.
class GuiFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The frame stopwatch's delta becomes the given seconds.
    void setFrameDelta(irr::f32 seconds);
    // One post-render of the whole GUI tree.
    void postRenderAll(irr::u32 timeMs = 0);
    // Sends a navigation code (or engine key) as a key-down event to the element.
    bool sendKey(irr::gui::IGUIElement* element, irr::s32 code, bool pressedDown = true);
    bool sendMouse(irr::gui::IGUIElement* element, irr::EMOUSE_INPUT_EVENT type, irr::s32 x, irr::s32 y);
    irr::gui::IGUIElement* root() const { return environment->getRootGUIElement(); }
    irr::s32 soundCount(irr::s32 id) const;
    // An empty attribute set, dropped when the test ends.
    irr::io::IAttributes* attributes();

    static constexpr const char* fontPath = "Content/Font/NoMove.ttf";

    std::unique_ptr<test::ScopedWorkingDir> workingDir;
    LogRecorder log;
    irr::IrrlichtDevice* device = nullptr;
    irr::gui::IGUIEnvironment* environment = nullptr;
    irr::video::IVideoDriver* driver = nullptr;
    std::unique_ptr<Stopwatch> stopwatch;
    std::vector<irr::s32> sounds;
    std::vector<irr::io::IAttributes*> attributeSets;
};

// Keeps the buttons whose delegate fired, in order.
struct ButtonCalls {
    std::vector<GUIButton*> buttons;
    void hit(GUIButton* button) { buttons.push_back(button); }
};

} // namespace guitest
