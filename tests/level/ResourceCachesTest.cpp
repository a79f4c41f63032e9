#include "level/ResourceCaches.h"

#include "characters/CharacterProfile.h"
#include "core/ImageGate.h"
#include "core/LoadBudget.h"
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

TEST_F(ResourceCachesTest, ProfileIsMadeOnceAndShared) {
    levelHooks().characters.makeProfile =
        [this](const std::string& file) -> std::shared_ptr<CharacterProfile> {
        calls.push_back("make " + file);
        if (file == "Missing.xml")
            return nullptr;
        auto profile = std::make_shared<CharacterProfile>();
        profile->fileName = file;
        return profile;
    };
    CharacterProfileCache cache;
    CharacterProfile* guard = cache.get("Guard.xml");
    ASSERT_NE(guard, nullptr);
    EXPECT_EQ(guard->fileName, "Guard.xml");
    EXPECT_EQ(cache.get("Guard.xml"), guard);
    EXPECT_EQ(calls, std::vector<std::string>{"make Guard.xml"});
    EXPECT_EQ(cache.size(), 1u);

    // A profile that cannot be loaded gives the default (the empty profile, made once) and is
    // not kept.
    calls.clear();
    CharacterProfile* fallback = cache.get("Missing.xml");
    ASSERT_NE(fallback, nullptr);
    EXPECT_EQ(fallback, cache.getDefault());
    EXPECT_NE(fallback, guard);
    EXPECT_TRUE(fallback->fileName.empty());
    EXPECT_EQ(cache.get("Missing.xml"), fallback);
    EXPECT_EQ(calls, (std::vector<std::string>{"make Missing.xml", "make ", "make Missing.xml"}));
    EXPECT_EQ(cache.size(), 1u);

    // An empty name stands for the default profile file.
    calls.clear();
    CharacterProfile* standard = cache.get("");
    EXPECT_EQ(standard->fileName, CharacterProfileCache::defaultProfileFile);
    EXPECT_EQ(cache.get(CharacterProfileCache::defaultProfileFile), standard);
    EXPECT_EQ(calls, std::vector<std::string>{std::string("make ") +
                                              CharacterProfileCache::defaultProfileFile});
}

TEST_F(ResourceCachesTest, WithoutTheCharactersSubsystemThereAreNoProfiles) {
    CharacterProfileCache cache;
    EXPECT_EQ(cache.get("Guard.xml"), nullptr);
    EXPECT_EQ(cache.get(""), nullptr);
    EXPECT_EQ(cache.getDefault(), nullptr);
    EXPECT_EQ(cache.size(), 0u);
}

TEST_F(ResourceCachesTest, SpriteAnimationIsReadOnceAndCopiedToEveryCaller) {
    int reads = 0;
    levelHooks().render.loadSpriteAnimation =
        [&](const irr::io::path& file) -> std::shared_ptr<const SpriteAnimation> {
        ++reads;
        if (file == "Broken.xml")
            return nullptr;
        auto animation = std::make_shared<SpriteAnimation>();
        animation->name = file;
        animation->first = 2;
        animation->last = 9;
        animation->duration = 1.5f;
        return animation;
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
    EXPECT_EQ(findSpriteAnimation("Content/Screens/HUD/TaskIcons.xml")->last, 9);

    SpriteAnimation untouched;
    untouched.first = 4;
    EXPECT_FALSE(getSpriteAnimation(untouched, "Broken.xml"));
    EXPECT_FALSE(getSpriteAnimation(untouched, "Broken.xml"));
    EXPECT_EQ(untouched.first, 4);
    EXPECT_EQ(reads, 3);
    EXPECT_EQ(spriteAnimationCacheSize(), 1u);
}

TEST_F(ResourceCachesTest, WithoutTheLoaderNoSpriteAnimationIsFound) {
    SpriteAnimation animation;
    EXPECT_EQ(findSpriteAnimation("Content/Screens/HUD/TaskIcons.xml"), nullptr);
    EXPECT_FALSE(getSpriteAnimation(animation, "Content/Screens/HUD/TaskIcons.xml"));
    EXPECT_EQ(spriteAnimationCacheSize(), 0u);
}

// A level's own animations, under Content/ too, leave the cache with its pictures; the menus'
// and the HUD's stay.
TEST_F(ResourceCachesTest, ALevelsSpriteAnimationsLeaveTheCacheWithItsPictures) {
    std::vector<std::string> reads;
    levelHooks().render.loadSpriteAnimation = [&](const irr::io::path& file) -> std::shared_ptr<const SpriteAnimation> {
        reads.push_back(file.c_str());
        return std::make_shared<SpriteAnimation>();
    };
    findSpriteAnimation("Menu.xml");
    {
        const LoadBudgetScope level("Level.irr", true);
        findSpriteAnimation("Own.xml");
        findSpriteAnimation("Content/Game.xml");
        const GamePicturesScope hud;
        findSpriteAnimation("Hud.xml");
    }
    forgetLevelSpriteAnimations();
    for (const char* file : {"Menu.xml", "Own.xml", "Content/Game.xml", "Hud.xml"})
        findSpriteAnimation(file);
    EXPECT_EQ(reads, (std::vector<std::string>{"Menu.xml", "Own.xml", "Content/Game.xml", "Hud.xml", "Own.xml",
                                                "Content/Game.xml"}));
}

} // namespace
