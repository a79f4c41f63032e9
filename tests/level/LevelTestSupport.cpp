#include "LevelTestSupport.h"

#include "characters/CharacterRegistration.h"
#include "characters/animators/AnimatorFactory.h"
#include "level/LevelHooks.h"
#include "level/SceneNodeBase.h"
#include "level/SceneNodeFactory.h"
#include "level/SceneNodeTypes.h"
#include "triggers/CheckpointObject.h"
#include "triggers/TriggerRegistration.h"

#include "core/Globals.h"
#include "core/CoreSlots.h"
#include "core/FileChecks.h"

#include "../screens/WorkshopZip.h"

#include <filesystem>

namespace test {

void expectNear(const irr::core::vector3df& actual, const irr::core::vector3df& expected,
                irr::f32 tolerance) {
    EXPECT_NEAR(actual.X, expected.X, tolerance);
    EXPECT_NEAR(actual.Y, expected.Y, tolerance);
    EXPECT_NEAR(actual.Z, expected.Z, tolerance);
}

bool LogCapture::OnEvent(const irr::SEvent& event) {
    if (event.EventType != irr::EET_LOG_TEXT_EVENT)
        return false;
    lines.emplace_back(event.LogEvent.Text ? event.LogEvent.Text : "");
    levels.push_back(event.LogEvent.Level);
    return true;
}

bool LogCapture::contains(const std::string& line) const {
    return indexOf(line) >= 0;
}

std::size_t LogCapture::countStartingWith(const std::string& prefix) const {
    std::size_t count = 0;
    for (const std::string& line : lines)
        count += line.rfind(prefix, 0) == 0 ? 1 : 0;
    return count;
}

int LogCapture::indexOf(const std::string& line) const {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] == line)
            return static_cast<int>(i);
    }
    return -1;
}

void LevelFixture::SetUp() {
    device = std::make_unique<NullDevice>(&log);
    ASSERT_NE(device->get(), nullptr);
    gameDevice = device->get();
    // The manager's own suspicion record and the checkpoints come from the subsystems above
    // the level, as in the game.
    registerCharacterLevelSlots();
    registerTriggerLevelSlots();
    if (!findSceneNodeType(typeId("chck")))
        registerSceneNodeType(levelObjectRow<CheckpointObject>(typeId("chck"), "CheckpointObject"));
    manager = std::make_unique<LevelManager>(device->get());
    levelManager = manager.get();
    ASSERT_TRUE(manager->init());
    registerSceneNodeFactory(smgr());
    // The game's animators, which levels may name (the scene manager keeps the factory).
    (new AnimatorFactory(smgr()))->drop();
    log.lines.clear();
}

void LevelFixture::simulateRunningPhysics() {
    physicsManager = reinterpret_cast<PhysicsManager*>(0x10);
    coreSlots().physics.isSimulationActive = [] { return true; };
}

void LevelFixture::TearDown() {
    resetLevelHooks();
    resetCoreSlots();
    physicsManager = nullptr;
    saveManager = nullptr; // a test's own save manager has gone with the test
    smgr()->clear();
    manager.reset();
    levelManager = nullptr;
    device.reset();
    gameDevice = nullptr;
    workingDir.reset();
    resetProgramFlags();
    levelAnimateFrame = 0;
}

void LevelFixture::useTestData() {
    std::filesystem::copy(sourceDir() / "tests/level/data", temp.path(),
                          std::filesystem::copy_options::recursive);
    workingDir = std::make_unique<ScopedWorkingDir>(temp.path());
}

irr::u32 LevelFixture::countNodes(irr::scene::ISceneNode* node) {
    irr::u32 count = 0;
    for (irr::scene::ISceneNode* child : node->getChildren())
        count += 1 + countNodes(child);
    return count;
}

void HostileFilesFixture::SetUp() {
    LevelFixture::SetUp();
    workingDir = std::make_unique<ScopedWorkingDir>(temp.path());
    forgetFileRefusals();
}

void HostileFilesFixture::write(const std::string& name, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(temp.file(name)).parent_path());
    ASSERT_TRUE(writeFileBytes(temp.file(name), bytes));
}

std::size_t HostileFilesFixture::linesContaining(const std::string& part) const {
    std::size_t count = 0;
    for (const std::string& line : log.lines)
        count += line.find(part) != std::string::npos ? 1 : 0;
    return count;
}

irr::io::IFileArchive* HostileFilesFixture::mountZip(const std::string& name, const std::vector<ZipEntry>& entries) {
    std::vector<std::pair<std::string, std::string>> contents;
    for (const ZipEntry& entry : entries)
        contents.emplace_back(entry.name, entry.bytes);
    std::string zip = workshoptest::makeZip(contents);
    // The uncompressed size sits 22 bytes into an entry's own header and 24 bytes into its
    // directory record.
    const auto claim = [&zip](std::size_t at, std::uint32_t size) {
        for (int k = 0; k < 4; ++k)
            zip[at + static_cast<std::size_t>(k)] = static_cast<char>((size >> (8 * k)) & 0xFF);
    };
    std::size_t header = 0;
    std::size_t record = zip.find("PK\x01\x02");
    for (const ZipEntry& entry : entries) {
        if (entry.claimedSize) {
            claim(header + 22, entry.claimedSize);
            claim(record + 24, entry.claimedSize);
        }
        header += 30 + entry.name.size() + entry.bytes.size();
        record += 46 + entry.name.size();
    }
    write(name, zip);
    irr::io::IFileArchive* archive = nullptr;
    device->get()->getFileSystem()->addFileArchive(temp.file(name).c_str(), true, false, irr::io::EFAT_ZIP, "",
                                                   &archive);
    return archive;
}

} // namespace test
