// The driver's textures added straight to their place in name order, as the engine's search by
// name expects them; renamed ones put back in order.
#include "platform/TextureList.h"

#include <irrlicht.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace irr;

namespace {

class TextureListTest : public ::testing::Test {
protected:
    void SetUp() override {
        device = createDevice(video::EDT_NULL);
        ASSERT_NE(device, nullptr);
        driver = device->getVideoDriver();
        driver->removeAllTextures(); // the engine's font
        pixel = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(1, 1));
    }
    void TearDown() override {
        pixel->drop();
        device->drop();
    }
    video::ITexture* add(const std::string& name) { return driver->addTexture(name.c_str(), pixel); }
    // The driver's textures' names, in the driver's order.
    std::vector<std::string> names() const {
        std::vector<std::string> all;
        for (u32 i = 0; i < driver->getTextureCount(); ++i)
            all.push_back(driver->getTextureByIndex(i)->getName().getInternalName().c_str());
        return all;
    }
    IrrlichtDevice* device = nullptr;
    video::IVideoDriver* driver = nullptr;
    video::IImage* pixel = nullptr;
};

// Added in any order, a name twice among them: kept in name order, each found by its name, the
// same name twice kept twice, and what was taken out gone. A texture renamed goes to its new
// place (to the front, to the back); so do several renamed at once, sorted.
TEST_F(TextureListTest, TexturesStayInNameOrderAndAreFoundByName) {
    const std::vector<std::string> order = {"m", "c", "x", "a", "m", "q", "b", "z", "k"};
    std::vector<video::ITexture*> added;
    for (const std::string& name : order)
        added.push_back(add(name));
    ASSERT_TRUE(platform::textureListReached());
    EXPECT_EQ(names(), (std::vector<std::string>{"a", "b", "c", "k", "m", "m", "q", "x", "z"}));
    for (std::size_t i = 0; i < order.size(); ++i)
        EXPECT_EQ(driver->findTexture(order[i].c_str())->getName().getInternalName(), order[i].c_str());
    driver->removeTexture(added[0]);
    EXPECT_NE(driver->findTexture("m"), nullptr) << "the other of the same name";
    driver->removeTexture(added[4]);
    EXPECT_EQ(driver->findTexture("m"), nullptr);

    driver->renameTexture(added[7], "0");
    EXPECT_TRUE(platform::placeRenamedTexture(driver, added[7]));
    driver->renameTexture(added[3], "y");
    EXPECT_TRUE(platform::placeRenamedTexture(driver, added[3]));
    EXPECT_EQ(names(), (std::vector<std::string>{"0", "b", "c", "k", "q", "x", "y"}));
    driver->renameTexture(added[1], "zz");
    driver->renameTexture(added[6], "d");
    EXPECT_TRUE(platform::sortTexturesByName(driver));
    EXPECT_EQ(names(), (std::vector<std::string>{"0", "d", "k", "q", "x", "y", "zz"}));
    for (const char* name : {"0", "d", "k", "q", "x", "y", "zz"})
        EXPECT_NE(driver->findTexture(name), nullptr) << name;
}

} // namespace
