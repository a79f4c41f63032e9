// The vision cone with a stand-in seeing object and a stand-in player: blind without a
// player, in sight after its first ray, noticing after the notice delay with the raise of
// the rules, and blocked by objects that block vision.
#include "AnimatorFixture.h"

#include "characters/CharacterObject.h"
#include "characters/CharacterServices.h"
#include "characters/CharacterStates.h"
#include "characters/SuspicionMeter.h"
#include "characters/SuspicionRules.h"
#include "characters/VisionCone.h"
#include "core/Globals.h"
#include "render/ParticleObject.h"
#include "render/ParticleSystemNode.h"
#include "triggers/TriggerObject.h"

#include "support/StubPlayer.h"
#include "support/TempDir.h"

#include <algorithm>
#include <fstream>
#include <utility>

using namespace irr;

namespace {

class WatchedPlayer : public test::StubPlayer {
public:
    using StubPlayer::StubPlayer;
    scene::ESCENE_NODE_TYPE getType() const override { return typeId("plr1"); }
    void notify(s32 code) override { notices.push_back(code); }
    std::vector<s32> notices;
};

// Sees through its cone; it watches in the meter under a character of its own, which plays
// scripted animations (the meter moves only default-animated watchers).
class SeeingObject : public VisionConeOwner {
public:
    SeeingObject(scene::ISceneNode* n, s32 type) : node(n), suspicionType(type) {
        watcher = new CharacterObject(n->getParent(), n->getSceneManager(), -1);
        watcher->drop();
        watcher->StoppedAnimName = "Scripted";
    }
    scene::ISceneNode* getVisionNode() override { return node; }
    CharacterObject* getVisionWatcher() override { return watcher; }
    core::stringc getConeBoneName() override { return "headBaseJt"; }
    s32 getVisionSuspicionType() override { return suspicionType; }
    void changeVisionState(s32 state) override { states.push_back(state); }
    s32 getVisionGlobalState() override { return globalState; }
    scene::ISceneNode* node;
    CharacterObject* watcher = nullptr;
    s32 suspicionType;
    s32 globalState = CharacterStateId::Stopped;
    std::vector<s32> states;
};

class VisionConeTest : public AnimatorFixture {
protected:
    void SetUp() override {
        AnimatorFixture::SetUp();
        drawEachFrame = true; // the cone's hosts carry no animators
        const std::string rules = temp.file("Suspicion.xml");
        std::ofstream(rules) << "<Rules>\n"
                                "<CharacterSuspicion characterType=\"Scientist\" suspicionType=\"TaroSeen\" "
                                "amount=\"10\" speedThreshold=\"2\"/>\n"
                                "<CharacterSuspicion characterType=\"Chef\" suspicionType=\"TaroSeen\" "
                                "amount=\"5\" speedThreshold=\"0\"/>\n"
                                "<CharacterSuspicion characterType=\"Exposed\" suspicionType=\"TaroSeen\" "
                                "amount=\"4\" speedThreshold=\"0\" repeatInterval=\"1\"/>\n"
                                "<CharacterSuspicion characterType=\"ExposedLogManiac\" suspicionType=\"TaroSeen\" "
                                "amount=\"0\" speedThreshold=\"0\"/>\n"
                                "</Rules>\n";
        ASSERT_EQ(loadSuspicionConfig(rules), 0);
        characterServices().screens.addSplat = [this](f32 amount, const core::vector3df&) {
            splats.push_back(amount);
            return true;
        };
        manager->suspicionMeter->age = 3.0f;
    }
    void TearDown() override {
        clearPlayers();
        unloadSuspicionConfig();
        resetCharacterServices();
        AnimatorFixture::TearDown();
    }
    // A seeing object of the type at the origin with its cone of distance 20 (looking
    // along -Z), and optionally the player 10 units in front of it, inside the cone.
    VisionCone* build(s32 type, bool withPlayer) {
        seer = std::make_unique<SeeingObject>(addNode({0, 0, 0}, 50), type);
        cone = new VisionCone(seer.get(), root(), smgr(), 20.0f);
        cone->drop(); // the scene holds it
        cone->configureForType(type);
        if (withPlayer) {
            player = new WatchedPlayer(root(), smgr(), 60);
            player->drop();
            player->setPosition({0.5f, 0, -10});
            player->updateAbsolutePosition();
            setPlayer(0, player);
            cone->getConeTrigger()->onObjectEnter(player, player->getAbsolutePosition(), nullptr, nullptr, nullptr);
        }
        return cone;
    }
    std::unique_ptr<SeeingObject> seer;
    VisionCone* cone = nullptr;
    WatchedPlayer* player = nullptr;
    std::vector<f32> splats;
};

} // namespace

TEST_F(VisionConeTest, BuildsItsNodesAndStaysBlindWithoutAPlayer) {
    VisionCone* c = build(SCT_Scientist, false);
    EXPECT_STREQ(c->getJointParent()->getName(), "CharacterSupsicionEmptyParent");
    EXPECT_STREQ(c->getEye()->getName(), "CharacterSupsicionConeEyeOffset");
    EXPECT_STREQ(c->getConeTrigger()->getName(), "CharacterSupsicionCone");
    EXPECT_EQ(c->getConeTrigger()->getCondition(), TriggerCondition::OnPlayerCollide);
    EXPECT_TRUE(c->enabled) << "a scientist's dots are coloured";
    EXPECT_FLOAT_EQ(c->noticeDelay, 2.0f);
    // Only the watching kinds colour their dots.
    const std::pair<s32, bool> kinds[] = {{SCT_Family, false},          {SCT_Stranger, false}, {SCT_Scientist, true},
                                          {SCT_Exposed, true},          {SCT_ExposedLogManiac, true},
                                          {SCT_Chef, true},             {SCT_ZeroSuspicion, false}};
    for (const auto& [kind, coloured] : kinds) {
        c->configureForType(kind);
        EXPECT_EQ(c->enabled, coloured) << suspicionCharacterTypeNames[kind];
    }
    c->configureForType(SCT_Scientist);
    run(0.05f, 60);
    EXPECT_FALSE(c->isInSight());
    EXPECT_FALSE(c->isWatcherRegistered());
    EXPECT_EQ(manager->suspicionMeter->watcherCount, 0);
    EXPECT_TRUE(splats.empty());
}

TEST_F(VisionConeTest, NoticesAfterItsDelayAndRaisesSuspicionByTheRules) {
    VisionCone* c = build(SCT_Scientist, true);
    run(0.05f, 12); // the first ray after 0.5 s
    EXPECT_TRUE(c->isInSight());
    EXPECT_TRUE(c->isWatcherRegistered());
    EXPECT_EQ(manager->suspicionMeter->watcherCount, 1);
    EXPECT_FALSE(c->hasNoticed());
    run(0.05f, 30);
    EXPECT_FALSE(c->hasNoticed());
    EXPECT_FLOAT_EQ(c->getIntensity(), 1.0f) << "the sight line shows";
    ParticleSystemNode* dots = c->getSightParticles()->getParticleNode();
    ASSERT_NE(dots, nullptr);
    EXPECT_GT(dots->getEmitter()->getMaxParticlesPerSecond(), 0u) << "and emits its dots";
    run(0.05f, 12);
    EXPECT_TRUE(c->hasNoticed()) << "after 2 s in sight";
    ASSERT_EQ(splats.size(), 1u);
    EXPECT_FLOAT_EQ(splats[0], 10.0f);
    EXPECT_FLOAT_EQ(manager->suspicionMeter->pendingValue, 10.0f);
    ASSERT_FALSE(seer->states.empty());
    EXPECT_EQ(seer->states.back(), CharacterStateId::Noticing);

    // The player leaves the cone: blind again, back to Stopped, unwatched the frame after.
    cone->getConeTrigger()->onObjectLeave(player, nullptr, nullptr, nullptr);
    run(0.05f, 3);
    EXPECT_FALSE(c->isInSight());
    EXPECT_FALSE(c->hasNoticed());
    EXPECT_EQ(seer->states.back(), CharacterStateId::Stopped);
    EXPECT_FALSE(c->isWatcherRegistered());
    EXPECT_EQ(manager->suspicionMeter->watcherCount, 0);
    run(0.05f, 4);
    EXPECT_FLOAT_EQ(c->getIntensity(), 0.0f) << "the sight line fades in 0.2 s";
    EXPECT_EQ(dots->getEmitter()->getMaxParticlesPerSecond(), 0u);
    EXPECT_EQ(dots->getParticleCount(), 0u);
}

TEST_F(VisionConeTest, AZeroDelayNoticesWithTheFirstRay) {
    VisionCone* c = build(SCT_Chef, true);
    run(0.05f, 9);
    EXPECT_FALSE(c->isInSight()) << "no ray before 0.5 s";
    int frames = 0;
    while (!c->isInSight() && frames++ < 3)
        frame(0.05f);
    EXPECT_TRUE(c->isInSight());
    EXPECT_TRUE(c->hasNoticed()) << "in the frame of the first ray";
    EXPECT_EQ(splats, std::vector<f32>{5.0f});
}

// The first ray reaches the cone's length less its last 1.5 units (18.5 here): a player on
// that bound is seen, one just beyond it is not; once seen, the player stays in sight further.
TEST_F(VisionConeTest, AFirstRayReachesAllButTheConesLastStretch) {
    VisionCone* c = build(SCT_Scientist, true);
    run(0.05f, 1);
    const core::vector3df eye = c->getEye()->getAbsolutePosition();
    const struct {
        f32 ahead;
        bool seen;
        const char* what;
    } rows[] = {{18.6f, false, "beyond the reach"}, {18.5f, true, "on the reach"}, {19.9f, true, "once seen, further"}};
    for (const auto& row : rows) {
        player->setPosition(eye + core::vector3df(0, 0, -row.ahead));
        player->updateAbsolutePosition();
        run(0.05f, 14); // at least one ray
        EXPECT_EQ(c->isInSight(), row.seen) << row.what;
    }
}

TEST_F(VisionConeTest, ABlockingObjectOrASuspiciousZoneKeepsItBlind) {
    VisionCone* c = build(SCT_Chef, true);
    // Away from the origin, where the ray's direction from the eye to the player counts.
    const core::vector3df away(20, 0, 30);
    c->getJointParent()->setPosition(away);
    c->getJointParent()->updateAbsolutePosition();
    player->setPosition(player->getPosition() + away);
    player->updateAbsolutePosition();
    PhysicsObject* wall = addBox("Static", core::vector3df(0.5f, 0, -5) + away);
    run(0.05f, 40);
    EXPECT_FALSE(c->isInSight()) << "the wall stops the ray";
    wall->BlocksVision = false;
    run(0.05f, 14);
    EXPECT_TRUE(c->isInSight()) << "an object that does not block vision lets it through";

    manager->suspicionMeter->zoneCount = 1;
    run(0.05f, 1);
    EXPECT_FALSE(c->isInSight());
}

TEST_F(VisionConeTest, ATakenConeIDMovesToTheNextFreeOne) {
    addNode({0, 0, 0}, 300);
    VisionCone* c = build(SCT_Scientist, false);
    c->setVisionConeID(300);
    EXPECT_EQ(c->getVisionConeID(), 301);
    EXPECT_EQ(c->getConeTrigger()->getID(), 301);
    EXPECT_EQ(log.countStartingWith("ERROR: Requested VisionConeID taken, incrementing to next available ID: 301"), 1u);
    c->setVisionConeID(500);
    EXPECT_EQ(c->getVisionConeID(), 500);
}

// A rule with a repeat interval raises again each time more than the interval has passed
// while the player stays noticed; on difficulty 0 it never raises.
TEST_F(VisionConeTest, ARepeatingRuleRaisesAgainAfterEachIntervalButNotOnTheEasiestDifficulty) {
    VisionCone* c = build(SCT_Exposed, true);
    int frames = 0;
    while (!c->hasNoticed() && frames++ < 20)
        frame(0.25f);
    ASSERT_TRUE(c->hasNoticed());
    EXPECT_EQ(splats, std::vector<f32>{4.0f});
    run(0.25f, 3); // the noticing frame counts: exactly one interval now, not more
    EXPECT_EQ(splats.size(), 1u);
    frame(0.25f);
    EXPECT_EQ(splats, (std::vector<f32>{4.0f, 4.0f}));
    run(0.25f, 4);
    EXPECT_EQ(splats.size(), 3u);

    cone->getConeTrigger()->onObjectLeave(player, nullptr, nullptr, nullptr);
    run(0.25f, 2);
    ASSERT_FALSE(c->hasNoticed());
    splats.clear();
    gameDifficulty = 0;
    cone->getConeTrigger()->onObjectEnter(player, player->getAbsolutePosition(), nullptr, nullptr, nullptr);
    frames = 0;
    while (!c->hasNoticed() && frames++ < 20)
        frame(0.25f);
    ASSERT_TRUE(c->hasNoticed());
    run(0.25f, 12);
    EXPECT_TRUE(splats.empty());
}

// Losing sight of a noticed player sends a raising watcher back to what it did before
// (walking when it walks its path), and once the meter has caught up below full the player
// hears that the watcher calmed down (notice 15).
TEST_F(VisionConeTest, LosingSightReturnsToTheWalkAndTellsThePlayerOnceTheMeterHasCaughtUp) {
    SuspicionMeter& meter = *manager->suspicionMeter;
    characterServices().screens.addSplat = [&](f32 amount, const core::vector3df&) {
        splats.push_back(amount);
        meter.value += amount; // the HUD's splat arrives at once
        return true;
    };
    const struct {
        s32 globalState;
        f32 meterLevel;
        bool calmed;
    } rows[] = {{CharacterStateId::Walking, -1.0f, true},
                {CharacterStateId::Stopped, -1.0f, true},
                {CharacterStateId::Walking, 100.0f, false}};
    for (const auto& row : rows) {
        VisionCone* c = build(SCT_Chef, true);
        seer->globalState = row.globalState;
        meter.value = meter.pendingValue = 0.0f;
        int frames = 0;
        while (!c->hasNoticed() && frames++ < 20)
            frame(0.05f);
        ASSERT_TRUE(c->hasNoticed());
        if (row.meterLevel >= 0.0f)
            meter.value = meter.pendingValue = row.meterLevel;
        cone->getConeTrigger()->onObjectLeave(player, nullptr, nullptr, nullptr);
        run(0.05f, 3);
        ASSERT_FALSE(c->hasNoticed());
        EXPECT_EQ(seer->states.back(), row.globalState);
        const bool calmed = std::count(player->notices.begin(), player->notices.end(), 15) == 1;
        EXPECT_EQ(calmed, row.calmed) << "meter at " << meter.value;
        clearPlayers();
        player->remove();
        cone->remove();
    }
}

// A watcher whose rule raises nothing tells the player once that it saw them (notice 18)
// and neither reacts nor calms down.
TEST_F(VisionConeTest, AWatcherThatRaisesNothingTellsThePlayerOnceAndKeepsItsState) {
    VisionCone* c = build(SCT_ExposedLogManiac, true);
    for (int pass = 0; pass < 2; ++pass) {
        int frames = 0;
        while (!c->hasNoticed() && frames++ < 20)
            frame(0.05f);
        ASSERT_TRUE(c->hasNoticed());
        cone->getConeTrigger()->onObjectLeave(player, nullptr, nullptr, nullptr);
        run(0.05f, 3);
        ASSERT_FALSE(c->hasNoticed());
        cone->getConeTrigger()->onObjectEnter(player, player->getAbsolutePosition(), nullptr, nullptr, nullptr);
    }
    EXPECT_EQ(player->notices, std::vector<s32>{18});
    EXPECT_TRUE(seer->states.empty());
    EXPECT_TRUE(splats.empty());
}

// The sight line's dots run from the eye toward the player, one every 2 units (the first
// parked); they fill with the notice: in sight, the share of the notice delay seen so far in
// light purple; noticed, all in orange; the rest white at the line's intensity. A cone of a
// kind that does not watch, or the easiest difficulty, leaves them all white.
TEST_F(VisionConeTest, TheSightLineDotsFillWithTheNotice) {
    VisionCone* c = build(SCT_Scientist, false);
    ParticleSystemNode* dots = c->getSightParticles()->getParticleNode();
    ASSERT_NE(dots, nullptr);
    ASSERT_FALSE(dots->getAffectors().empty());
    scene::IParticleAffector* line = *dots->getAffectors().begin();
    c->eyePoint = {0, 0, 0};
    c->playerPoint = {0, 0, -21}; // n = 10 dots
    c->intensity = 0.5f;
    c->noticeDelay = 2.0f;
    const video::SColor white(255, 255, 255, 255), seen(255, 170, 150, 255), noticed(255, 150, 75, 255);
    const video::SColor faint(127, 255, 255, 255);
    struct Row {
        const char* what;
        bool enabled, inSight, hasNoticed;
        f32 seenTime;
        s32 difficulty;
        int filled;
        video::SColor fill, rest;
    } rows[] = {
        {"half the delay seen", true, true, false, 1.0f, 1, 5, seen, white},
        {"the whole delay seen", true, true, false, 3.0f, 1, 10, seen, white},
        {"noticed", true, false, true, 0.0f, 1, 10, noticed, white},
        {"out of sight", true, false, false, 1.0f, 1, 0, white, white},
        {"easiest difficulty", true, true, false, 1.0f, 0, 5, white, white},
        {"a kind that does not watch", false, true, false, 1.0f, 1, 0, faint, faint},
    };
    const s32 difficulty = gameDifficulty;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        c->enabled = row.enabled;
        c->inSight = row.inSight;
        c->noticed = row.hasNoticed;
        c->seenTime = row.seenTime;
        gameDifficulty = row.difficulty;
        scene::SParticle particles[12] = {};
        line->affect(1000, particles, 12);
        for (int i = 1; i < 10; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(particles[i].color, i < row.filled ? row.fill : row.rest);
            EXPECT_NEAR(particles[i].pos.Z, -2.0f * static_cast<f32>(i), 1e-4f);
            EXPECT_FLOAT_EQ(particles[i].size.Width, 0.7f) << "without a player the dots are their largest";
        }
        EXPECT_NE(particles[0].pos, core::vector3df(0, 0, 0)) << "the first dot is parked";
        EXPECT_NE(particles[10].pos, core::vector3df(0, 0, -20)) << "no dot at or past the player";
    }
    // With a player the dots grow with the camera's distance from it: a fifth of a unit per
    // 20 units above 0.2, from 0.3 up to 0.7.
    player = new WatchedPlayer(root(), smgr(), 60);
    player->drop();
    player->setPosition({0, 0, -10});
    player->updateAbsolutePosition();
    setPlayer(0, player);
    scene::ICameraSceneNode* camera = smgr()->addCameraSceneNode(root());
    for (const auto& [away, size] : {std::pair{0.0f, 0.3f}, {2.0f, 0.3f}, {4.0f, 0.4f}, {8.0f, 0.6f}, {40.0f, 0.7f}}) {
        camera->setPosition({away, 0, -10});
        camera->updateAbsolutePosition();
        scene::SParticle particles[12] = {};
        line->affect(1000, particles, 12);
        EXPECT_NEAR(particles[3].size.Width, size, 1e-4f) << away;
        EXPECT_NEAR(particles[3].size.Height, size, 1e-4f) << away;
    }
    smgr()->setActiveCamera(nullptr);
    camera->remove();
    // Past 40 dots the line emits no more than one a second.
    scene::IParticleEmitter* emitter = dots->getEmitter();
    emitter->setMaxParticlesPerSecond(100);
    scene::SParticle many[41] = {};
    line->affect(1000, many, 40);
    EXPECT_EQ(emitter->getMaxParticlesPerSecond(), 100u);
    line->affect(1000, many, 41);
    EXPECT_EQ(emitter->getMaxParticlesPerSecond(), 1u);
    gameDifficulty = difficulty;
}
