#include "InputTestSupport.h"

#include "core/Globals.h"
#include "core/CoreSlots.h"
#include "player/InputEvent.h"
#include "level/LevelManager.h"
#include "level/SaveManager.h"
#include "physics/world/PhysicsManager.h"
#include "player/PlayerHooks.h"
#include "player/PlayerControls.h"
#include "player/devices/EvdevMouseDriver.h"

#include <filesystem>
#include <string>
#include <sys/stat.h>

namespace test {

void InputTest::SetUp() {
    std::filesystem::create_directories(dir.path() / "Content" / "Input");
    std::filesystem::create_directories(dir.path() / "save");
    std::filesystem::copy_file(sourceDir() / "Content" / "Input" / "Default.xml",
                               dir.path() / "Content" / "Input" / "Default.xml");
    workingDir = std::make_unique<ScopedWorkingDir>(dir.path());
    auto fake = std::make_unique<platform::FakePadBackend>();
    pads = fake.get();
    platform::setPadBackend(std::move(fake));
    device = std::make_unique<NullDevice>();
    focus = new RecordingElement();

    saves = std::make_unique<SaveManager>(device->get()->getFileSystem(), saveFolder());
    saveManager = saves.get();
    resetPlayerHooks();
    PlayerHooks& hooks = playerHooks();
    hooks.screens.getTopScreenFocus = [this]() -> irr::gui::IGUIElement* { return focus; };
    standInManagers(true);
    CoreSlots& slots = coreSlots();
    slots.physics.isSimulationActive = [this]() { return simulation; };
    slots.screens.isInputAllowed = [this]() { return inputAllowed; };
    slots.screens.isStackActive = [this]() { return menuOpen; };
    slots.level.isSuspended = [this]() { return gameplaySuspended; };
    slots.level.isLoadingOverlayBusy = [this]() { return loadingOverlayBusy; };
}

namespace {
// The screen manager is only tested for presence; the physics and level managers are asked
// directly (the fixed step, the touch flag), so they are real, empty ones.
double screenManagerStandIn;
std::unique_ptr<PhysicsManager> physicsStandIn;
std::unique_ptr<LevelManager> levelStandIn;
} // namespace

void standInManagers(bool present) {
    if (present) {
        physicsStandIn = std::make_unique<PhysicsManager>();
        levelStandIn = std::make_unique<LevelManager>(nullptr);
    }
    physicsManager = present ? physicsStandIn.get() : nullptr;
    screenManager = present ? reinterpret_cast<ScreenManager*>(&screenManagerStandIn) : nullptr;
    levelManager = present ? levelStandIn.get() : nullptr;
    if (!present) {
        levelStandIn.reset();
        physicsStandIn.reset();
        resetCoreSlots();
    }
}

void InputTest::TearDown() {
    stopInput();
    resetPlayerHooks();
    standInManagers(false);
    saveManager = nullptr;
    saves.reset();
    platform::setPadBackend(nullptr);
    device.reset();
    focus->drop();
    workingDir.reset();
}

void InputTest::startInput() {
    input = std::make_unique<InputManager>();
    inputManager = input.get();
    input->init(device->get());
    input->resetInputState();
}

void InputTest::stopInput() {
    if (!input)
        return;
    if (device)
        device->get()->setEventReceiver(nullptr);
    inputManager = nullptr;
    input.reset();
}

std::string InputTest::remappingFile() const {
    return (dir.path() / "save" / PlayerControls::remappingFileName).string();
}

void InputTest::keyEvent(irr::EKEY_CODE key, bool down) {
    irr::SEvent event;
    event.EventType = irr::EET_KEY_INPUT_EVENT;
    event.KeyInput.Key = key;
    event.KeyInput.Char = 0;
    event.KeyInput.PressedDown = down;
    event.KeyInput.Shift = false;
    event.KeyInput.Control = false;
    device->get()->postEventFromUser(event);
}

void InputTest::finger(irr::s32 id, irr::s32 x, irr::s32 y, irr::u32 flags, irr::u32 tag) {
    TouchData data;
    data.id = id;
    data.x = x;
    data.y = y;
    data.flags = flags;
    data.tag = tag;
    input->injectTouch(data);
}

void InputTest::mouseEvent(irr::EMOUSE_INPUT_EVENT kind, irr::u32 buttonStates, float wheel) {
    irr::SEvent event;
    event.EventType = irr::EET_MOUSE_INPUT_EVENT;
    event.MouseInput.Event = kind;
    event.MouseInput.X = 0;
    event.MouseInput.Y = 0;
    event.MouseInput.Wheel = wheel;
    event.MouseInput.Shift = false;
    event.MouseInput.Control = false;
    event.MouseInput.ButtonStates = buttonStates;
    device->get()->postEventFromUser(event);
}

void InputTest::frame() {
    input->update();
    input->endFrame();
}

void probePipesAsMice() {
    evdevMice::setMouseProbe([](int fd, std::string& description) {
        struct stat info {};
        if (fstat(fd, &info) != 0 || !S_ISFIFO(info.st_mode))
            return false;
        description = "Pipe mouse";
        return true;
    });
}

} // namespace test
