#pragma once

#include "level/SaveManager.h"
#include "platform/FakePadBackend.h"
#include "player/InputManager.h"
#include "support/NullDevice.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <cstring>
#include <irrlicht.h>
#include <memory>
#include <string>
#include <vector>

namespace test {

// A GUI element that records the key events it is given (the focused element of the top
// screen in the menu-key tests).
class RecordingElement : public irr::gui::IGUIElement {
public:
    RecordingElement()
        : irr::gui::IGUIElement(irr::gui::EGUIET_ELEMENT, nullptr, nullptr, -1, irr::core::recti()) {}
    bool OnEvent(const irr::SEvent& event) override {
        if (event.EventType == irr::EET_KEY_INPUT_EVENT && event.KeyInput.PressedDown) {
            irr::s32 code = 0;
            std::memcpy(&code, &event.KeyInput.Key, sizeof(code));
            keys.push_back(code);
        }
        return true;
    }
    std::vector<int> keys;
};

// The input subsystem on the null engine device, in a temporary working folder that holds a
// copy of the default mapping file; the remapping file goes to a save folder inside it, and
// the gamepads come from a scripted fake.
class InputTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Makes and initialises the input manager (reads or writes the mapping files).
    void startInput();
    void stopInput();

    // Engine events through the input manager's receiver.
    void keyEvent(irr::EKEY_CODE key, bool down);
    void mouseEvent(irr::EMOUSE_INPUT_EVENT kind, irr::u32 buttonStates = 0, float wheel = 0.0f);
    // A finger's touch (its flags: went down, went up) through the input manager's own entry.
    void finger(irr::s32 id, irr::s32 x, irr::s32 y, irr::u32 flags, irr::u32 tag = 0);
    // update, then endFrame: one frame.
    void frame();

    std::string saveFolder() const { return (dir.path() / "save").string(); }
    std::string remappingFile() const;

    TempDir dir;
    std::unique_ptr<ScopedWorkingDir> workingDir;
    std::unique_ptr<NullDevice> device;
    platform::FakePadBackend* pads = nullptr;
    std::unique_ptr<InputManager> input;
    // The save manager of the save folder, where the remapping file lives.
    std::unique_ptr<SaveManager> saves;
    // What the physics, screen and level managers answer (through the shell's hooks).
    bool simulation = false;
    bool inputAllowed = true;
    bool gameplaySuspended = false;
    bool loadingOverlayBusy = false;
    bool menuOpen = false;
    RecordingElement* focus = nullptr;
};

// Makes the physics, screen and level managers exist for the program-wide queries (their
// answers come from the shell's hooks, which the fixture fills), or removes them and empties
// the hooks.
void standInManagers(bool present);

// The several-mice driver takes the named pipes in its folder for mice ("Pipe mouse"), and
// nothing else: the machine's own input devices never take part.
void probePipesAsMice();

// The text the code under test writes to standard output (the log without a device) while
// the function runs.
template <class F>
std::string captureLog(F&& run) {
    ::testing::internal::CaptureStdout();
    run();
    return ::testing::internal::GetCapturedStdout();
}

} // namespace test
