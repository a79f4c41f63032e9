#include "GuiFixture.h"

#include "core/Globals.h"
#include "core/LanguageManager.h"
#include "core/CoreSlots.h"
#include "core/SoundManager.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "gui/fonts/CGUITTFont.h"
#include "gui/fonts/FontCache.h"
#include "level/LevelEvents.h"
#include "level/LevelManager.h"
#include "level/SaveManager.h"
#include "platform/FakePadBackend.h"
#include "player/InputManager.h"
#include "player/PlayerHooks.h"
#include "screens/ScreenManager.h"
#include "screens/ScreenRegistration.h"

#include <cmath>
#include <cstring>
#include <filesystem>

using namespace irr;

namespace guitest {

namespace {
std::int64_t fakeCounter = 0;
std::int64_t fakeNow() { return fakeCounter; }
constexpr std::int64_t fakeFrequency = 1000000;
} // namespace

bool LogRecorder::OnEvent(const SEvent& event) {
    if (event.EventType != EET_LOG_TEXT_EVENT)
        return false;
    lines.emplace_back(event.LogEvent.Text);
    return true;
}

bool LogRecorder::contains(const std::string& part) const {
    for (const std::string& line : lines)
        if (line.find(part) != std::string::npos)
            return true;
    return false;
}

GuiFixture::GuiFixture() = default;
GuiFixture::~GuiFixture() = default;

void GuiFixture::SetUp() {
    resetProgramFlags();
    resetGuiHooks();
    workingDir = std::make_unique<test::ScopedWorkingDir>(test::sourceDir());
    device = test::createNullDevice(&log);
    ASSERT_NE(device, nullptr);
    gameDevice = device;
    environment = device->getGUIEnvironment();
    driver = device->getVideoDriver();
    stopwatch = std::make_unique<Stopwatch>(L"frame", 0.0f, StopwatchClock{&fakeNow, fakeFrequency});
    frameStopwatch = stopwatch.get();
    setFrameDelta(0.0f);
    screenManager = new ScreenManager(environment);
    fillGuiSlots(guiHooks());
    level = std::make_unique<LevelManager>(device);
    levelManager = level.get();
    ASSERT_NO_FATAL_FAILURE(forgetSounds());
}

void GuiFixture::TearDown() {
    for (io::IAttributes* attr : attributeSets)
        attr->drop();
    attributeSets.clear();
    if (input) {
        device->setEventReceiver(nullptr);
        inputManager = nullptr;
        input.reset();
        platform::setPadBackend(nullptr);
        saveManager = nullptr;
        save.reset();
    }
    delete screenManager;
    screenManager = nullptr;
    resetPlayerHooks();
    resetCoreSlots();
    levelManager = nullptr;
    level.reset();
    soundManager = nullptr;
    sound.reset();
    resetGuiHooks();
    if (device)
        device->drop();
    device = nullptr;
    if (language) {
        EXPECT_TRUE(language->languageChanged.empty()) << "an element kept its language-changed binding";
        languageManager = nullptr;
        language.reset();
    }
    gameDevice = nullptr;
    frameStopwatch = nullptr;
    stopwatch.reset();
    workingDir.reset();
    resetProgramFlags();
}

void GuiFixture::setFrameDelta(f32 seconds) {
    stopwatch->tick();
    fakeCounter += static_cast<std::int64_t>(static_cast<double>(seconds) * fakeFrequency);
    stopwatch->tick();
}

void GuiFixture::postRenderAll(u32 timeMs) { root()->OnPostRender(timeMs); }

bool GuiFixture::sendKey(gui::IGUIElement* element, s32 code, bool pressedDown) {
    return element->OnEvent(makeKeyEvent(code, pressedDown));
}

bool GuiFixture::sendMouse(gui::IGUIElement* element, EMOUSE_INPUT_EVENT type, s32 x, s32 y) {
    SEvent event;
    std::memset(static_cast<void*>(&event), 0, sizeof(event));
    event.EventType = EET_MOUSE_INPUT_EVENT;
    event.MouseInput.Event = type;
    event.MouseInput.X = x;
    event.MouseInput.Y = y;
    return element->OnEvent(event);
}

// Nothing advances the sound manager's events: each play keeps an instance of its own.
s32 GuiFixture::soundCount(s32 id) const {
    return static_cast<s32>(sound->getEventSystem()->instanceCount(sound->getEffectName(id).c_str()));
}

bool GuiFixture::noSoundPlayed() const { return sound->getEventSystem()->playingEventCount() == 0; }

void GuiFixture::useLanguages() {
    coreSlots().fonts.getCachedFont = [](const io::path& path, s32 size) -> gui::IGUIFont* {
        return getCachedFont(path, size);
    };
    language = std::make_unique<LanguageManager>(device);
    languageManager = language.get();
}

void GuiFixture::useInput() {
    std::filesystem::create_directories(saves.path() / "save");
    platform::setPadBackend(std::make_unique<platform::FakePadBackend>());
    save = std::make_unique<SaveManager>(device->getFileSystem(), (saves.path() / "save").string());
    saveManager = save.get();
    input = std::make_unique<InputManager>();
    input->init(device);
    input->resetInputState();
    inputManager = input.get();
}

void GuiFixture::inputKey(EKEY_CODE key, bool down) {
    SEvent event;
    std::memset(static_cast<void*>(&event), 0, sizeof(event));
    event.EventType = EET_KEY_INPUT_EVENT;
    event.KeyInput.Key = key;
    event.KeyInput.PressedDown = down;
    input->OnEvent(event);
}

std::vector<std::string> GuiFixture::queuedLevelEvents() const {
    std::vector<std::string> names;
    for (const auto& event : level->getLevelEvents()) {
        std::string name = event->getName();
        if (event->getType() == LET_Transition) {
            const auto& transition = static_cast<const TransitionEvent&>(*event);
            for (s32 value : {s32(transition.intro), transition.mode, transition.viewId,
                              static_cast<s32>(std::lround(transition.speed * 10.0f)),
                              static_cast<s32>(transition.hold), transition.kind})
                name += " " + std::to_string(value);
        }
        names.push_back(name);
    }
    return names;
}

void GuiFixture::forgetSounds() {
    soundManager = nullptr;
    sound = std::make_unique<SoundManager>();
    ASSERT_TRUE(sound->init());
    soundManager = sound.get();
}

} // namespace guitest

namespace guitest {

io::IAttributes* GuiFixture::attributes() {
    io::IAttributes* attr = device->getFileSystem()->createEmptyAttributes(driver);
    attributeSets.push_back(attr);
    return attr;
}

} // namespace guitest
