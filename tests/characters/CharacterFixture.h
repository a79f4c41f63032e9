#pragma once

#include "core/SoundManager.h"

#include "support/NullDevice.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <memory>
#include <string>
#include <vector>

namespace test {

// Keeps every line the engine's logger is handed.
class CharacterLog : public irr::IEventReceiver {
public:
    bool OnEvent(const irr::SEvent& event) override;
    bool contains(const std::string& line) const;
    std::size_t countStartingWith(const std::string& prefix) const;
    std::vector<std::string> lines;
};

// A null device as the program's device, working from the repository root (for Content/),
// the sound manager on the null audio output, the mesh gate in place, difficulty 1 and
// empty hook slots; everything is put back afterwards.
class CharacterFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    irr::scene::ISceneManager* smgr() const { return device->get()->getSceneManager(); }
    // Whether the sound effect of that index has been started since the fixture began.
    bool played(int effect) const;
    std::size_t playCount(int effect) const;
    // Writes a file into the temporary folder; its full path.
    std::string writeTemp(const std::string& name, const std::string& text) const;

    CharacterLog log;
    std::unique_ptr<ScopedWorkingDir> workingDir;
    std::unique_ptr<NullDevice> device;
    std::unique_ptr<SoundManager> sound;
    TempDir temp;
};

} // namespace test
