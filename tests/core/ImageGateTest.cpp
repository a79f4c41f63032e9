// A level's pictures set aside at the next load and taken back: under their own names, found by
// the engine again.
#include "core/Globals.h"
#include "core/ImageGate.h"
#include "core/LoadBudget.h"
#include "platform/TextureList.h"
#include "support/NullDevice.h"
#include "support/TempDir.h"

#include <irrlicht.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace irr;

namespace {

// The engine logger's lines.
class LogLines : public IEventReceiver {
public:
    bool OnEvent(const SEvent& event) override {
        if (event.EventType != EET_LOG_TEXT_EVENT)
            return false;
        lines.push_back(event.LogEvent.Text);
        return true;
    }
    std::vector<std::string> lines;
};

class ImageGateTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(device.get(), nullptr);
        driver = device->getVideoDriver();
        video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(4, 4));
        ASSERT_TRUE(driver->writeImageToFile(image, picture.c_str()));
        image->drop();
    }
    void TearDown() override {
        platform::useTextureList(true);
        gameDevice = nullptr;
    }
    // The picture read as a level loads: the level's.
    video::ITexture* readForALevel() {
        const LoadBudgetScope load("Level.irr", true);
        return driver->getTexture(picture.c_str());
    }
    LogLines log;
    test::NullDevice device{&log};
    test::TempDir dir;
    const std::string picture = dir.file("own.png");
    video::IVideoDriver* driver = nullptr;
};

// Set aside at the next load, then drawn by a node as that load ends: the picture is taken back
// under its own name, found by it, not read again.
TEST_F(ImageGateTest, APictureDrawnAgainAsTheLoadEndsIsTakenBackUnderItsName) {
    registerImageGate(driver, device->getFileSystem());
    video::ITexture* texture = readForALevel();
    ASSERT_NE(texture, nullptr);
    scene::ISceneManager* scene = device->getSceneManager();
    setLevelPicturesAside(driver, scene);
    ASSERT_EQ(driver->findTexture(picture.c_str()), nullptr);
    scene->addCubeSceneNode()->getMaterial(0).setTexture(0, texture);
    releasePicturesSetAside(driver, scene);
    EXPECT_EQ(driver->findTexture(picture.c_str()), texture);
    EXPECT_EQ(driver->getTexture(picture.c_str()), texture);
}

// Where the driver's texture list is not reached, the engine sorts it after the renames, and one
// line says so, once: pictures set aside and taken back are found as with the list.
TEST_F(ImageGateTest, WithoutTheTextureListTheEngineSortsItAndOneLineSaysSo) {
    platform::useTextureList(false);
    gameDevice = device.get();
    registerImageGate(driver, device->getFileSystem());
    scene::ISceneManager* scene = device->getSceneManager();
    for (int round = 0; round < 2; ++round) {
        video::ITexture* texture = readForALevel();
        setLevelPicturesAside(driver, scene);
        scene->addCubeSceneNode()->getMaterial(0).setTexture(0, texture);
        releasePicturesSetAside(driver, scene);
        EXPECT_EQ(driver->findTexture(picture.c_str()), texture) << round;
        scene->clear();
    }
    EXPECT_EQ(std::count(log.lines.begin(), log.lines.end(),
                         "The engine's texture list is sorted by the engine: a level of many pictures loads slowly."),
              1);
}

// An archive that opens the picture from memory, added before the gate.
class MemoryArchive : public io::IFileArchive {
public:
    MemoryArchive(io::IFileSystem* fileSystem, std::string name, std::string bytes)
        : name(std::move(name)), bytes(std::move(bytes)), list(fileSystem->createEmptyFileList("", false, false)) {}
    ~MemoryArchive() override { list->drop(); }
    io::IReadFile* createAndOpenFile(const io::path& filename) override {
        if (filename != name.c_str())
            return nullptr;
        ++opens;
        return io::createMemoryReadFile(bytes.data(), static_cast<long>(bytes.size()), name.c_str(), false);
    }
    io::IReadFile* createAndOpenFile(u32) override { return nullptr; }
    const io::IFileList* getFileList() const override { return list; }
    int opens = 0;

private:
    std::string name;
    std::string bytes;
    io::IFileList* list;
};

// The gate watches the opens ahead of an archive there before it, the only one: a picture set
// aside comes back unread when the archive's file is opened again.
TEST_F(ImageGateTest, APictureSetAsideComesBackUnreadFromAnArchiveAddedBefore) {
    io::IFileSystem* fileSystem = device->getFileSystem();
    io::IReadFile* file = fileSystem->createAndOpenFile(picture.c_str());
    ASSERT_NE(file, nullptr);
    std::string bytes(static_cast<std::size_t>(file->getSize()), '\0');
    file->read(bytes.data(), static_cast<u32>(bytes.size()));
    file->drop();
    auto* archive = new MemoryArchive(fileSystem, picture, bytes);
    ASSERT_TRUE(fileSystem->addFileArchive(archive)); // the file system takes the reference
    ASSERT_EQ(fileSystem->getFileArchiveCount(), 1u);
    registerImageGate(driver, fileSystem);
    video::ITexture* texture = readForALevel();
    ASSERT_NE(texture, nullptr);
    ASSERT_EQ(archive->opens, 1);
    setLevelPicturesAside(driver, device->getSceneManager());
    EXPECT_EQ(readForALevel(), texture);
}

} // namespace
