#include "GuiFixture.h"

#include "core/Globals.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "screens/ScreenManager.h"

#include <cstring>

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
    guiHooks().sound.playEffect = [this](s32 id) { sounds.push_back(id); };
}

void GuiFixture::TearDown() {
    for (io::IAttributes* attr : attributeSets)
        attr->drop();
    attributeSets.clear();
    delete screenManager;
    screenManager = nullptr;
    resetGuiHooks();
    if (device)
        device->drop();
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

s32 GuiFixture::soundCount(s32 id) const {
    s32 count = 0;
    for (s32 sound : sounds)
        count += sound == id ? 1 : 0;
    return count;
}

} // namespace guitest

namespace guitest {

io::IAttributes* GuiFixture::attributes() {
    io::IAttributes* attr = device->getFileSystem()->createEmptyAttributes(driver);
    attributeSets.push_back(attr);
    return attr;
}

} // namespace guitest
