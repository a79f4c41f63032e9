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
class InputManager;
class LanguageManager;
class LevelManager;
class SaveManager;
class SoundManager;

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
// a screen manager that answers the GUI's questions through the screens' registration, a
// level manager with nothing loaded, and a sound manager on the silent output whose effects
// the test counts. Content/ paths resolve against the repository.
class GuiFixture : public ::testing::Test {
protected:
    GuiFixture();
    ~GuiFixture() override;
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
    // How often the effect has played since the test began (or forgetSounds).
    irr::s32 soundCount(irr::s32 id) const;
    // No effect has played since the test began (or forgetSounds).
    bool noSoundPlayed() const;
    // The counts start again from zero (a new sound manager).
    void forgetSounds();
    // The game's language manager (the language of the settings, English by default) with
    // its fonts from the GUI's font cache, as the game registers it. Every element has let
    // go of its language-changed list once the GUI has gone.
    void useLanguages();
    // The game's input manager on the engine's events, as the game starts it, with a fake pad
    // and the player's files in the test's folder (saves/save); it reads the settings there
    // are at the call.
    void useInput();
    // A key goes down or up at the input manager (not at the GUI's focused element).
    void inputKey(irr::EKEY_CODE key, bool down);
    // The level manager's queued events, front first, by name ("LET_ClearMenus"); a
    // transition with its intro flag, mode, view, speed per second x 10, hold and kind
    // ("LET_Transition 1 3 2 10 0 0").
    std::vector<std::string> queuedLevelEvents() const;
    // An empty attribute set, dropped when the test ends.
    irr::io::IAttributes* attributes();

    static constexpr const char* fontPath = "Content/Font/NoMove.ttf";

    std::unique_ptr<test::ScopedWorkingDir> workingDir;
    LogRecorder log;
    irr::IrrlichtDevice* device = nullptr;
    irr::gui::IGUIEnvironment* environment = nullptr;
    irr::video::IVideoDriver* driver = nullptr;
    std::unique_ptr<Stopwatch> stopwatch;
    std::unique_ptr<LevelManager> level;
    std::unique_ptr<SoundManager> sound;
    std::unique_ptr<LanguageManager> language;
    std::unique_ptr<InputManager> input;
    std::unique_ptr<SaveManager> save;
    test::TempDir saves;
    std::vector<irr::io::IAttributes*> attributeSets;
};

// Keeps the buttons whose delegate fired, in order.
struct ButtonCalls {
    std::vector<GUIButton*> buttons;
    void hit(GUIButton* button) { buttons.push_back(button); }
};

} // namespace guitest
