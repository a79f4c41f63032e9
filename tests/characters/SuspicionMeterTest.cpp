#include "CharacterFixture.h"

#include "characters/CharacterRegistration.h"
#include "characters/CharacterServices.h"
#include "characters/SuspicionMeter.h"
#include "characters/SuspicionRules.h"
#include "core/Globals.h"
#include "level/LevelHooks.h"
#include "level/LevelManager.h"
#include "player/PlayerObject.h"
#include "support/StubPlayer.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>
#include <vector>

using namespace irr;

namespace {

constexpr int loseEffect = 9;
constexpr int splatEffect = 19;
constexpr int suspiciousAreaEffect = 35;
constexpr int outOfSuspiciousAreaEffect = 36;

CharacterObject* fakeCharacter(std::uintptr_t n) {
    return reinterpret_cast<CharacterObject*>(0x1000 * n);
}

// A meter past its first two seconds and a HUD that takes every splat. (What a raise does to
// the watching characters is tested on real characters, in CharacterStateTest.)
class SuspicionMeterTest : public test::CharacterFixture {
protected:
    void SetUp() override {
        CharacterFixture::SetUp();
        ASSERT_EQ(loadSuspicionConfig(writeTemp("Suspicion.xml", R"(<Rules>
  <CharacterSuspicion characterType="Stranger" suspicionType="TaroSeen" amount="10" speedThreshold="1" repeatInterval="2"/>
  <CharacterSuspicion characterType="Scientist" suspicionType="TaroSeen" amount="15" speedThreshold="1" repeatInterval="0"/>
</Rules>)")), 0);
        meter.age = 2.0f;
        characterServices().screens.addSplat = [this](f32 amount, const core::vector3df& position) {
            splats.emplace_back(amount, position);
            return hudPresent;
        };
    }

    SuspicionMeter meter;
    bool hudPresent = true;
    std::vector<std::pair<f32, core::vector3df>> splats;
    const core::vector3df where{1.0f, 2.0f, 3.0f};
};

TEST_F(SuspicionMeterTest, ANewMeterIsEmptyAndIdle) {
    const SuspicionMeter fresh;
    EXPECT_EQ(fresh.value, 0.0f);
    EXPECT_EQ(fresh.pendingValue, 0.0f);
    EXPECT_EQ(fresh.drainValue, 0.0f);
    EXPECT_EQ(fresh.drainTimer, -1.0f);
    EXPECT_EQ(fresh.watcherCount, 0);
    EXPECT_EQ(fresh.repeatTimer, 0.0f);
    EXPECT_EQ(fresh.age, 0.0f);
    EXPECT_EQ(fresh.zoneCount, 0);
    EXPECT_FALSE(fresh.gainedLastFrame || fresh.gainedThisFrame);
    EXPECT_TRUE(fresh.watchers.empty());
}

// One raise per row on a meter set up as the row says.
struct RaiseRow {
    const char* what;
    f32 age;
    s32 difficulty;
    s32 watchers;
    f32 repeatTimer;
    f32 pendingBefore;
    SuspicionType kind;
    f32 amount;
    bool result;
    f32 pendingAfter;
    f32 repeatTimerAfter;
};

TEST_F(SuspicionMeterTest, RaisesPassTheirGates) {
    const RaiseRow rows[] = {
        {"a meter younger than 2 s takes nothing", 1.99f, 1, 1, 9.0f, 0.0f, ST_Default, 10.0f, false, 0.0f, 9.0f},
        {"at 2 s it does", 2.0f, 1, 1, 9.0f, 0.0f, ST_Default, 10.0f, true, 10.0f, 9.0f},
        {"difficulty 2 doubles", 2.5f, 2, 1, 9.0f, 5.0f, ST_Default, 10.0f, true, 25.0f, 9.0f},
        {"difficulty 0 does not double", 2.5f, 0, 1, 9.0f, 5.0f, ST_Default, 10.0f, true, 15.0f, 9.0f},
        {"Touch needs a watcher", 3.0f, 1, 0, 9.0f, 0.0f, ST_Touch, 10.0f, false, 0.0f, 9.0f},
        {"Touch with a watcher", 3.0f, 1, 1, 9.0f, 0.0f, ST_Touch, 10.0f, true, 10.0f, 9.0f},
        {"IgnoreRadius needs a watcher", 3.0f, 1, 0, 9.0f, 0.0f, ST_IgnoreRadius, 10.0f, false, 0.0f, 9.0f},
        {"IgnoreRadius with a watcher", 3.0f, 1, 2, 9.0f, 0.0f, ST_IgnoreRadius, 10.0f, true, 10.0f, 9.0f},
        {"TaroSeen needs a watcher", 3.0f, 1, 0, 9.0f, 0.0f, ST_TaroSeen, 10.0f, false, 0.0f, 9.0f},
        {"Debug needs nothing", 3.0f, 1, 0, 0.0f, 0.0f, ST_Debug, 10.0f, true, 10.0f, 0.0f},
        {"HitByTaro passes the gate after 0.5 s", 3.0f, 1, 0, 0.51f, 0.0f, ST_HitByTaro, 10.0f, true, 10.0f, 0.0f},
        {"HitByTaro at exactly 0.5 s does not", 3.0f, 1, 1, 0.5f, 0.0f, ST_HitByTaro, 10.0f, false, 0.0f, 0.5f},
        {"HitByGrabbed passes without a watcher", 3.0f, 1, 0, 0.6f, 0.0f, ST_HitByGrabbed, 10.0f, true, 10.0f, 0.0f},
        {"HitByThrown without a watcher never", 3.0f, 1, 0, 9.0f, 0.0f, ST_HitByThrown, 10.0f, false, 0.0f, 9.0f},
        {"HitByThrown with a watcher", 3.0f, 1, 1, 9.0f, 0.0f, ST_HitByThrown, 10.0f, true, 10.0f, 0.0f},
        {"a gate passed by a refused raise still closes", 3.0f, 1, 1, 9.0f, 0.0f, ST_HitByTaro, 0.0f, false, 0.0f, 0.0f},
        {"an amount of 0 is not raised", 3.0f, 1, 1, 9.0f, 0.0f, ST_Default, 0.0f, false, 0.0f, 9.0f},
        {"a negative amount is not raised", 3.0f, 1, 1, 9.0f, 50.0f, ST_Default, -5.0f, false, 50.0f, 9.0f},
        {"a full meter takes nothing", 3.0f, 1, 1, 9.0f, 100.0f, ST_Default, 10.0f, false, 100.0f, 9.0f},
        {"just below full it does", 3.0f, 1, 1, 9.0f, 99.5f, ST_Default, 10.0f, true, 109.5f, 9.0f},
    };
    for (const RaiseRow& row : rows) {
        SuspicionMeter m;
        m.age = row.age;
        m.watcherCount = row.watchers;
        m.repeatTimer = row.repeatTimer;
        m.pendingValue = row.pendingBefore;
        gameDifficulty = row.difficulty;
        splats.clear();
        EXPECT_EQ(addSuspicion(where, m, row.amount, row.kind), row.result) << row.what;
        EXPECT_EQ(m.pendingValue, row.pendingAfter) << row.what;
        EXPECT_EQ(m.repeatTimer, row.repeatTimerAfter) << row.what;
        EXPECT_EQ(m.gainedThisFrame, row.result) << row.what;
        EXPECT_EQ(m.value, 0.0f) << row.what; // only the HUD's splat raises value
        EXPECT_EQ(splats.size(), row.result ? 1u : 0u) << row.what;
        if (row.result) {
            EXPECT_EQ(splats[0].first, row.pendingAfter - row.pendingBefore) << row.what;
            EXPECT_EQ(splats[0].second, where) << row.what;
        }
    }
}

// A player body that records its notices; everything else does nothing.
class NoticedPlayer : public test::StubPlayer {
public:
    using StubPlayer::StubPlayer;
    void notify(s32 code) override { notices.emplace_back(code, 0.0f); }
    void notify(s32 code, f32 value) override { notices.emplace_back(code, value); }

    std::vector<std::pair<s32, f32>> notices;
};

TEST_F(SuspicionMeterTest, WithAPlayerOnlyNearbyRaisesCountAndHitsAreNoticed) {
    auto* player = new NoticedPlayer(smgr()->getRootSceneNode(), smgr(), 5);
    player->setPosition(core::vector3df(0.0f, 0.0f, 0.0f));
    player->updateAbsolutePosition();
    setPlayer(0, player);
    addSuspicionWatcher(meter, nullptr);
    meter.repeatTimer = 5.0f;

    const core::vector3df at10(0.0f, 0.0f, 10.0f);
    const core::vector3df beyond10(0.0f, 0.0f, 10.01f);
    const core::vector3df at50(30.0f, 0.0f, 40.0f);
    EXPECT_TRUE(addSuspicion(at10, meter, 5.0f, ST_Touch));
    EXPECT_FALSE(addSuspicion(beyond10, meter, 5.0f, ST_Touch));
    EXPECT_TRUE(addSuspicion(at50, meter, 5.0f, ST_IgnoreRadius));
    EXPECT_FALSE(addSuspicion(at50, meter, 5.0f, ST_Debug));
    EXPECT_TRUE(player->notices.empty());
    // A hit that went through tells the player (notice 12 with 1.0).
    EXPECT_TRUE(addSuspicion(at10, meter, 5.0f, ST_HitByThrown));
    EXPECT_EQ(player->notices, (std::vector<std::pair<s32, f32>>{{12, 1.0f}}));
    EXPECT_EQ(meter.pendingValue, 15.0f);

    clearPlayers();
    player->remove();
    player->drop();
}

TEST_F(SuspicionMeterTest, WithoutAHudARaiseCountsButAnswersFalse) {
    hudPresent = false;
    addSuspicionWatcher(meter, nullptr);
    EXPECT_FALSE(addSuspicion(where, meter, 10.0f, ST_Default));
    EXPECT_EQ(meter.pendingValue, 10.0f);
    EXPECT_TRUE(meter.gainedThisFrame);
    EXPECT_TRUE(played(splatEffect));
    characterServices().screens.addSplat = nullptr;
    EXPECT_FALSE(addSuspicion(where, meter, 10.0f, ST_Default)) << "no screens: no HUD";
    EXPECT_EQ(meter.pendingValue, 20.0f);
}

TEST_F(SuspicionMeterTest, TwoHitsCloserThanTheGateCountOnce) {
    meter.repeatTimer = 5.0f;
    EXPECT_TRUE(addSuspicion(where, meter, 10.0f, ST_HitByTaro));
    updateSuspicion(meter, 0.3f);
    EXPECT_FLOAT_EQ(meter.repeatTimer, 0.3f);
    EXPECT_FALSE(addSuspicion(where, meter, 10.0f, ST_HitByTaro));
    EXPECT_EQ(meter.pendingValue, 10.0f);
    updateSuspicion(meter, 0.3f);
    EXPECT_TRUE(addSuspicion(where, meter, 10.0f, ST_HitByTaro));
    EXPECT_EQ(meter.pendingValue, 20.0f);
    EXPECT_EQ(playCount(splatEffect), 2u);
}

TEST_F(SuspicionMeterTest, AFullMeterPlaysTheLosingSoundOnceAndTakesNoMore) {
    addSuspicionWatcher(meter, nullptr);
    meter.pendingValue = 80.0f;
    EXPECT_TRUE(addSuspicion(where, meter, 30.0f, ST_Default));
    EXPECT_EQ(meter.pendingValue, 110.0f);
    EXPECT_TRUE(played(loseEffect));
    // Full: nothing more is raised or reduced, and the next update clamps it.
    EXPECT_FALSE(addSuspicion(where, meter, 5.0f, ST_Debug));
    reduceSuspicion(meter, 50.0f);
    EXPECT_EQ(meter.pendingValue, 110.0f);
    updateSuspicion(meter, 0.01f);
    EXPECT_EQ(meter.pendingValue, 100.0f);
    EXPECT_EQ(playCount(loseEffect), 1u);
}

// The raise that brings the meter exactly to full loses; one that stops just below does not.
TEST_F(SuspicionMeterTest, ARaiseOntoExactlyFullPlaysTheLosingSound) {
    addSuspicionWatcher(meter, nullptr);
    meter.pendingValue = 80.0f;
    EXPECT_TRUE(addSuspicion(where, meter, 19.5f, ST_Default));
    EXPECT_FALSE(played(loseEffect)) << "99.5 is not full";
    EXPECT_TRUE(addSuspicion(where, meter, 0.5f, ST_Default));
    EXPECT_EQ(meter.pendingValue, 100.0f);
    EXPECT_EQ(playCount(loseEffect), 1u);
}

TEST_F(SuspicionMeterTest, ReductionsAndTheDrainDisplay) {
    meter.value = 20.0f;
    meter.pendingValue = 25.0f;
    reduceSuspicion(meter, 30.0f);
    EXPECT_EQ(meter.value, 0.0f);
    EXPECT_EQ(meter.pendingValue, 0.0f);
    EXPECT_EQ(meter.drainValue, 20.0f);
    EXPECT_EQ(meter.drainTimer, 2.0f);

    meter.value = 50.0f;
    meter.pendingValue = 50.0f;
    reduceSuspicion(meter, 20.0f);
    EXPECT_EQ(meter.value, 30.0f);
    EXPECT_EQ(meter.pendingValue, 30.0f);
    EXPECT_EQ(meter.drainValue, 50.0f);
    // Held for the first second, closing over the second, gone once the timer is below 0.
    const f32 drain[] = {50.0f, 50.0f, 40.0f, 30.0f, 30.0f, 0.0f};
    for (f32 expected : drain) {
        updateSuspicion(meter, 0.5f);
        EXPECT_FLOAT_EQ(meter.drainValue, expected) << meter.drainTimer;
    }
    EXPECT_EQ(meter.value, 30.0f); // no natural decay

    // Only on difficulty 0 and 1.
    gameDifficulty = 2;
    reduceSuspicion(meter, 10.0f);
    EXPECT_EQ(meter.value, 30.0f);
    gameDifficulty = 0;
    reduceSuspicion(meter, 10.0f);
    EXPECT_EQ(meter.value, 20.0f);
    // The layer eases down: a quarter into its closing second it has come down by less
    // than a quarter of the way (3t^2 - 2t^3 of the drop is left at t = 0.75).
    updateSuspicion(meter, 1.25f);
    EXPECT_FLOAT_EQ(meter.drainValue, 20.0f + 0.84375f * 10.0f);
}

TEST_F(SuspicionMeterTest, TheFrameStep) {
    SuspicionMeter m;
    updateSuspicion(m, 1.25f);
    EXPECT_EQ(m.age, 1.25f);
    EXPECT_EQ(m.repeatTimer, 1.25f);
    m.age = 2.9f;
    updateSuspicion(m, 0.5f);
    EXPECT_FLOAT_EQ(m.age, 3.4f);
    updateSuspicion(m, 0.5f);
    EXPECT_FLOAT_EQ(m.age, 3.4f); // stops growing once past 3
    EXPECT_FLOAT_EQ(m.repeatTimer, 2.25f);

    m.gainedThisFrame = true;
    updateSuspicion(m, 0.0f);
    EXPECT_TRUE(m.gainedLastFrame);
    EXPECT_FALSE(m.gainedThisFrame);
    updateSuspicion(m, 0.0f);
    EXPECT_FALSE(m.gainedLastFrame);

    struct ClampRow {
        f32 before;
        f32 after;
    };
    const ClampRow clamps[] = {{-5.0f, 0.0f}, {0.0f, 0.0f}, {42.5f, 42.5f}, {100.0f, 100.0f}, {130.0f, 100.0f}};
    for (const ClampRow& row : clamps) {
        m.value = m.pendingValue = row.before;
        m.drainTimer = 5.0f;
        m.drainValue = row.before;
        updateSuspicion(m, 0.0f);
        EXPECT_EQ(m.value, row.after) << row.before;
        EXPECT_EQ(m.pendingValue, row.after) << row.before;
        EXPECT_EQ(m.drainValue, row.after) << row.before;
    }
}

TEST_F(SuspicionMeterTest, WatchersAndZonesCountWithTheirSounds) {
    CharacterObject* a = fakeCharacter(1);
    addSuspicionWatcher(meter, a);
    EXPECT_EQ(meter.watcherCount, 1);
    EXPECT_EQ(playCount(suspiciousAreaEffect), 1u);
    addSuspicionWatcher(meter, nullptr); // a suspicious zone
    EXPECT_EQ(meter.watcherCount, 2);
    EXPECT_EQ(meter.watchers.size(), 1u);
    EXPECT_EQ(playCount(suspiciousAreaEffect), 1u);
    removeSuspicionWatcher(meter, a);
    EXPECT_EQ(meter.watcherCount, 1);
    EXPECT_TRUE(meter.watchers.empty());
    EXPECT_FALSE(played(outOfSuspiciousAreaEffect));
    removeSuspicionWatcher(meter, fakeCharacter(9)); // never added: only the count moves
    EXPECT_EQ(meter.watcherCount, 0);
    EXPECT_EQ(playCount(outOfSuspiciousAreaEffect), 1u);
    addSuspicionWatcher(meter, a);
    EXPECT_EQ(playCount(suspiciousAreaEffect), 2u);
}

TEST_F(SuspicionMeterTest, TheLevelResetKeepsAgeAndDrainTimer) {
    meter.value = meter.pendingValue = meter.drainValue = 40.0f;
    meter.drainTimer = 1.5f;
    meter.repeatTimer = 3.0f;
    meter.age = 2.5f;
    meter.zoneCount = 2;
    meter.gainedLastFrame = meter.gainedThisFrame = true;
    addSuspicionWatcher(meter, fakeCharacter(1));
    meter.resetForLevel();
    EXPECT_EQ(meter.value, 0.0f);
    EXPECT_EQ(meter.pendingValue, 0.0f);
    EXPECT_EQ(meter.drainValue, 0.0f);
    EXPECT_EQ(meter.repeatTimer, 0.0f);
    EXPECT_EQ(meter.watcherCount, 0);
    EXPECT_EQ(meter.zoneCount, 0);
    EXPECT_TRUE(meter.watchers.empty());
    EXPECT_FALSE(meter.gainedLastFrame || meter.gainedThisFrame);
    EXPECT_EQ(meter.age, 2.5f);
    EXPECT_EQ(meter.drainTimer, 1.5f);
}

// The level manager with the registered characters: its meter drains through the game's
// update, resets on unload and a full meter ends the level.
class SuspicionLevelTest : public SuspicionMeterTest {
protected:
    void SetUp() override {
        SuspicionMeterTest::SetUp();
        registerCharacters();
        manager = std::make_unique<LevelManager>(gameDevice);
        levelManager = manager.get();
        ASSERT_TRUE(manager->init());
        levelHooks().input.gameOverRumble = [this] { ++rumbles; };
        // The HUD's splat arrives at once.
        characterServices().screens.addSplat = [this](f32 amount, const core::vector3df&) {
            SuspicionMeter& m = *manager->getPlayerSuspicion(0);
            m.value = std::clamp(m.value + amount, 0.0f, 100.0f);
            return true;
        };
    }
    void TearDown() override {
        manager.reset();
        levelManager = nullptr;
        SuspicionMeterTest::TearDown();
    }
    void frames(int count, f32 seconds) {
        for (int i = 0; i < count; ++i)
            manager->processLevelEvents(seconds);
    }

    std::unique_ptr<LevelManager> manager;
    int rumbles = 0;
};

TEST_F(SuspicionLevelTest, AFullMeterEndsTheLevelOnceTwoSecondsHavePassed) {
    SuspicionMeter& m = *manager->getPlayerSuspicion(0);
    frames(25, 0.1f); // the meter's age passes 2 s
    EXPECT_GE(m.age, 2.0f);
    EXPECT_TRUE(addSuspicion(where, m, 60.0f, ST_Debug));
    frames(1, 0.1f);
    EXPECT_EQ(manager->levelRun.losses, 0);
    EXPECT_TRUE(addSuspicion(where, m, 60.0f, ST_Debug));
    EXPECT_EQ(m.value, 100.0f);
    frames(1, 0.1f);
    EXPECT_EQ(m.pendingValue, 100.0f);
    EXPECT_EQ(manager->levelRun.losses, 1);
    EXPECT_EQ(rumbles, 1);
    EXPECT_TRUE(played(loseEffect));

    manager->unloadLevel();
    EXPECT_EQ(m.value, 0.0f);
    EXPECT_EQ(m.pendingValue, 0.0f);
    EXPECT_GE(m.age, 2.0f);
}

TEST_F(SuspicionLevelTest, ObjectivesReduceThroughTheRegisteredRules) {
    SuspicionMeter& m = *manager->getPlayerSuspicion(0);
    m.value = m.pendingValue = 40.0f;
    levelHooks().characters.reduceSuspicion(m, 15.0f);
    EXPECT_EQ(m.value, 25.0f);
    EXPECT_EQ(m.drainValue, 40.0f);
}

TEST_F(SuspicionLevelTest, TheRulesLoadAtStartUpAndEmptyAtShutdown) {
    // What the shell's start-up and shutdown call.
    EXPECT_EQ(loadSuspicionConfig(), 0);
    EXPECT_GT(getSuspicionValues(SCT_Stranger, ST_HitByThrown).amount, 0.0f);
    unloadSuspicionConfig();
    EXPECT_TRUE(suspicionRuleTable().empty());
}

} // namespace
