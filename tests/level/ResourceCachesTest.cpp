#include "level/ResourceCaches.h"

#include "characters/CharacterProfile.h"
#include "level/LevelHooks.h"
#include "render/SpriteAnimation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class ResourceCachesTest : public ::testing::Test {
protected:
    void TearDown() override {
        resetLevelHooks();
        clearSpriteAnimationCache();
    }
    std::vector<std::string> calls;
};

TEST_F(ResourceCachesTest, ProfileIsLoadedOnceFinishedAndShared) {
    auto& hooks = levelHooks().characters;
    hooks.loadProfile = [this](CharacterProfile& profile, const std::string& file) {
        calls.push_back("load " + file + " " + profile.fileName);
        return file != "Missing.xml";
    };
    hooks.finishProfile = [this](CharacterProfile& profile) {
        calls.push_back("finish " + profile.fileName);
    };
    CharacterProfileCache cache;
    CharacterProfile* guard = cache.get("Guard.xml");
    ASSERT_NE(guard, nullptr);
    EXPECT_NE(guard, cache.getDefault());
    EXPECT_EQ(cache.get("Guard.xml"), guard);
    EXPECT_EQ(calls, (std::vector<std::string>{"load Guard.xml Guard.xml", "finish Guard.xml"}));
    EXPECT_EQ(cache.size(), 1u);

    // A profile that cannot be loaded gives the default and is not kept.
    calls.clear();
    EXPECT_EQ(cache.get("Missing.xml"), cache.getDefault());
    EXPECT_EQ(cache.get("Missing.xml"), cache.getDefault());
    EXPECT_EQ(calls, (std::vector<std::string>{"load Missing.xml Missing.xml",
                                               "load Missing.xml Missing.xml"}));
    EXPECT_EQ(cache.size(), 1u);

    // An empty name stands for the default profile file.
    calls.clear();
    CharacterProfile* standard = cache.get("");
    EXPECT_EQ(standard->fileName, CharacterProfileCache::defaultProfileFile);
    EXPECT_EQ(cache.get(CharacterProfileCache::defaultProfileFile), standard);
    EXPECT_EQ(calls.size(), 2u);
}

TEST_F(ResourceCachesTest, WithoutTheLoaderEveryProfileIsTheDefault) {
    CharacterProfileCache cache;
    EXPECT_EQ(cache.get("Guard.xml"), cache.getDefault());
    EXPECT_EQ(cache.get(""), cache.getDefault());
    EXPECT_NE(cache.getDefault(), nullptr);
    EXPECT_EQ(cache.size(), 0u);
}

TEST_F(ResourceCachesTest, SpriteAnimationIsReadOnceAndCopiedToEveryCaller) {
    int reads = 0;
    levelHooks().render.loadSpriteAnimation = [&](SpriteAnimation& animation,
                                                       const irr::io::path& file) {
        ++reads;
        if (file == "Broken.xml")
            return false;
        animation.name = file;
        animation.first = 2;
        animation.last = 9;
        animation.duration = 1.5f;
        return true;
    };
    SpriteAnimation first;
    first.finished.add(Delegate::function(+[] {}));
    ASSERT_TRUE(getSpriteAnimation(first, "Content/Screens/HUD/TaskIcons.xml"));
    SpriteAnimation second;
    second.time = 0.7f;
    ASSERT_TRUE(getSpriteAnimation(second, "Content/Screens/HUD/TaskIcons.xml"));
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(second.last, 9);
    EXPECT_FLOAT_EQ(second.time, 0.0f);
    EXPECT_EQ(second.name, irr::core::stringc("Content/Screens/HUD/TaskIcons.xml"));
    // The caller's finished list stays its own.
    EXPECT_EQ(first.finished.size(), 1u);
    EXPECT_EQ(second.finished.size(), 0u);

    SpriteAnimation untouched;
    untouched.first = 4;
    EXPECT_FALSE(getSpriteAnimation(untouched, "Broken.xml"));
    EXPECT_FALSE(getSpriteAnimation(untouched, "Broken.xml"));
    EXPECT_EQ(untouched.first, 4);
    EXPECT_EQ(reads, 3);
    EXPECT_EQ(spriteAnimationCacheSize(), 1u);
}

} // namespace
