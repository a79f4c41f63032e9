#pragma once

#include "level/LevelManager.h"

#include "support/NullDevice.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace test {

// Each component within the tolerance.
void expectNear(const irr::core::vector3df& actual, const irr::core::vector3df& expected,
                irr::f32 tolerance = 1e-4f);

// Collects the engine logger's lines (the log helpers write through it).
class LogCapture : public irr::IEventReceiver {
public:
    bool OnEvent(const irr::SEvent& event) override;
    bool contains(const std::string& line) const;
    std::size_t countStartingWith(const std::string& prefix) const;
    // Index of the first line equal to `line`, or -1.
    int indexOf(const std::string& line) const;

    std::vector<std::string> lines;
    // The level of each line, in step with `lines`.
    std::vector<irr::ELOG_LEVEL> levels;
};

// A null device with a level manager, the level subsystem's types and the factory;
// `gameDevice` and `levelManager` point at them for the test's duration.
class LevelFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    irr::scene::ISceneManager* smgr() const { return device->get()->getSceneManager(); }
    irr::scene::ISceneNode* root() const { return smgr()->getRootSceneNode(); }
    // Copies tests/level/data into the temporary folder and works from there.
    void useTestData();
    // The physics manager's simulation flag is set (a stand-in manager for the question).
    static void simulateRunningPhysics();
    // Number of scene nodes below the root.
    static irr::u32 countNodes(irr::scene::ISceneNode* node);

    LogCapture log;
    std::unique_ptr<NullDevice> device;
    std::unique_ptr<LevelManager> manager;
    TempDir temp;
    std::unique_ptr<ScopedWorkingDir> workingDir;
};

// Files a hostile level or player hands the game, written into the test's folder, which the
// test works from; no refusal is remembered from an earlier test.
class HostileFilesFixture : public LevelFixture {
protected:
    void SetUp() override;
    void write(const std::string& name, const std::string& bytes);
    // The captured log lines that contain the text.
    std::size_t linesContaining(const std::string& part) const;

    struct ZipEntry {
        std::string name;
        std::string bytes;
        std::uint32_t claimedSize = 0; // the size its headers claim; 0: that of its bytes
    };
    // Writes a zip of stored entries into the test's folder and mounts it in the engine's file
    // system (names kept with their folders, any case); null when the engine refuses it.
    irr::io::IFileArchive* mountZip(const std::string& name, const std::vector<ZipEntry>& entries);
};

} // namespace test
