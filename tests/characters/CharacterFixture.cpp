#include "CharacterFixture.h"

#include "characters/CharacterServices.h"
#include "characters/SuspicionRules.h"
#include "core/Globals.h"
#include "core/CoreSlots.h"
#include "level/LevelHooks.h"
#include "level/MeshGate.h"

#include <fstream>

namespace test {

bool CharacterLog::OnEvent(const irr::SEvent& event) {
    if (event.EventType == irr::EET_LOG_TEXT_EVENT)
        lines.emplace_back(event.LogEvent.Text);
    return true;
}

bool CharacterLog::contains(const std::string& line) const {
    for (const std::string& entry : lines)
        if (entry == line)
            return true;
    return false;
}

std::size_t CharacterLog::countStartingWith(const std::string& prefix) const {
    std::size_t count = 0;
    for (const std::string& entry : lines)
        if (entry.rfind(prefix, 0) == 0)
            ++count;
    return count;
}

void CharacterFixture::SetUp() {
    workingDir = std::make_unique<ScopedWorkingDir>(sourceDir());
    device = std::make_unique<NullDevice>(&log);
    ASSERT_NE(device->get(), nullptr);
    gameDevice = device->get();
    registerMeshGate(smgr());
    sound = std::make_unique<SoundManager>();
    ASSERT_TRUE(sound->init());
    soundManager = sound.get();
    resetProgramFlags();
    resetCharacterServices();
    resetLevelHooks();
    resetCoreSlots();
    log.lines.clear();
}

void CharacterFixture::TearDown() {
    unloadSuspicionConfig();
    resetCharacterServices();
    resetLevelHooks();
    resetCoreSlots();
    resetProgramFlags();
    soundManager = nullptr;
    sound.reset();
    gameDevice = nullptr;
    device.reset();
    workingDir.reset();
}

std::size_t CharacterFixture::playCount(int effect) const {
    return sound->getEventSystem()->instanceCount(sound->getEffectName(effect).c_str());
}

bool CharacterFixture::played(int effect) const {
    return playCount(effect) > 0;
}

std::string CharacterFixture::writeTemp(const std::string& name, const std::string& text) const {
    const std::string path = temp.file(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

} // namespace test
