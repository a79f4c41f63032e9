// Contacts and triggers reach the objects concerned inside the fetch: collision sounds with
// their "Velocity", touches that turn objects dynamic, trigger volumes entered and left;
// the trigger-actor and controller builders; and a whole level of physics objects falling
// onto a static mesh floor.
#include "PhysicsObjectFixture.h"

#include "physics/world/PhysicsFiltering.h"
#include "physics/world/PhysicsHooks.h"
#include "physics/world/PhysicsLibraryCallbacks.h"

#include "core/Globals.h"
#include "core/LoadBudget.h"
#include "core/SoundManager.h"
#include "level/LevelFile.h"
#include "platform/audio/EventSystem.h"
#include "support/HeapBytes.h"
#include "support/StubPlayer.h"

using namespace irr;

namespace {

using Attributes = io::IAttributes;

// A trigger volume's owner as the trigger subsystem will make it.
class TriggerStandIn : public LevelObject {
public:
    using LevelObject::LevelObject;
    scene::ESCENE_NODE_TYPE getType() const override { return typeId("trgr"); }
};

std::function<void(Attributes*)> body(const char* bound, const char* state, core::vector3df position,
                                      core::vector3df extents = {1, 1, 1}) {
    return [=](Attributes* a) {
        a->addVector3d("Position", position);
        a->addEnum("BoundType", bound, boundTypeNames);
        a->addVector3d("BoxExtents", extents);
        a->addFloat("Radius", 0.5f);
        a->addEnum("PhysicsState", state, physicsStateNames);
    };
}

class PhysicsContactTest : public PhysicsObjectFixture {
protected:
    void SetUp() override {
        PhysicsObjectFixture::SetUp();
        sound = std::make_unique<SoundManager>();
        sound->init();
        soundManager = sound.get();
    }
    void TearDown() override {
        clearPlayers();
        smgr()->clear();
        soundManager = nullptr;
        sound.reset();
        PhysicsObjectFixture::TearDown();
    }
    std::unique_ptr<SoundManager> sound;

    // A trigger volume 2 x 0.5 x 2 at (0, 2, 0) whose record names a trigger stand-in, so
    // contacts with it reach the trigger hooks. The record lives as long as the test.
    phys::RigidDynamic* makeTriggerVolume(bool kinematic) {
        auto* owner = new TriggerStandIn(root(), smgr(), -1);
        owner->drop();
        triggerRecord = std::make_unique<PhysicsUserData>(owner);
        phys::RigidDynamic* volume = physics->createTriggerActor(0, {0, 2, 0}, {2, 0.5f, 2}, nullptr, kinematic);
        if (volume)
            volume->userData = triggerRecord.get();
        return volume;
    }
    std::unique_ptr<PhysicsUserData> triggerRecord;

    // The simulation's report of two shapes' contact, sent to the game's callbacks.
    void reportContact(phys::RigidActor* first, phys::Shape* firstShape, phys::RigidActor* second,
                       phys::Shape* secondShape, phys::PairFlags events = phys::PairNotifyTouchFound) {
        phys::ContactPairHeader header;
        header.actors[0] = first;
        header.actors[1] = second;
        phys::ContactPair pair;
        pair.shapes[0] = firstShape;
        pair.shapes[1] = secondShape;
        pair.events = events;
        physics->getCallbacks()->onContact(header, &pair, 1);
    }
    void reportContact(PhysicsObject* first, PhysicsObject* second,
                       phys::PairFlags events = phys::PairNotifyTouchFound) {
        reportContact(first->getActor(), first->getFirstShape(), second->getActor(), second->getFirstShape(),
                      events);
    }
};

TEST_F(PhysicsContactTest, ALandingPlaysTheCollisionSoundWithItsVelocityOnce) {
    makeObject(body("Box", "Static", {0, -0.5f, 0}, {20, 1, 20}));
    PhysicsObject* box = makeObject(body("Box", "Dynamic", {0, 3, 0}));
    ASSERT_NE(box->body().collisionEvent, nullptr) << "the default collision event";
    int starts = 0;
    float parameter = -1.0f;
    for (int i = 0; i < 120; ++i) {
        const f32 cooldownBefore = box->body().collisionSoundCooldown;
        frame();
        if (box->body().collisionSoundCooldown > cooldownBefore + 0.1f) {
            ++starts;
            audio::EventParameter* velocity = nullptr;
            ASSERT_EQ(box->body().collisionEvent->getParameter("Velocity", &velocity), audio::Result::Ok);
            velocity->getValue(&parameter);
        }
    }
    EXPECT_EQ(starts, 1) << "one landing, one sound";
    EXPECT_GT(parameter, 0.0f);
    EXPECT_NEAR(box->getAbsolutePosition().Y, 0.5f, 0.05f);
}

TEST_F(PhysicsContactTest, CollisionSoundsFollowTheirThresholdAndCooldown) {
    PhysicsObject* box = makeObject(body("Box", "Dynamic", {0, 3, 0}));
    box->body().collisionSoundCooldown = 0.0f;
    box->playCollisionSound(nullptr, 0.0f, 1990000.0f); // force 19.9
    EXPECT_EQ(box->body().collisionSoundCooldown, 0.0f) << "too soft";
    box->playCollisionSound(nullptr, 0.0f, 2050000.0f); // force 20.5
    EXPECT_GE(box->body().collisionSoundCooldown, 0.2f);
    EXPECT_LE(box->body().collisionSoundCooldown, 0.3f);
    audio::EventParameter* velocity = nullptr;
    ASSERT_EQ(box->body().collisionEvent->getParameter("Velocity", &velocity), audio::Result::Ok);
    float value = 0.0f;
    velocity->getValue(&value);
    EXPECT_NEAR(value, 0.5f * 0.3076923f, 1e-5f);
    float volume = -1.0f;
    box->body().collisionEvent->getVolume(&volume);
    EXPECT_NEAR(volume, 0.5f + value / 640.0f, 1e-5f) << "from half loud at the threshold";
    PhysicsObject* wall = makeObject(body("Box", "Static", {10, 3, 0}));
    wall->body().collisionSoundCooldown = 0.0f;
    wall->playCollisionSound(nullptr, 0.0f, 500000000.0f);
    EXPECT_EQ(wall->body().collisionSoundCooldown, 0.0f) << "static objects make no sound of their own";
    const f32 cooldown = box->body().collisionSoundCooldown;
    box->playCollisionSound(nullptr, 0.0f, 500000000.0f);
    EXPECT_EQ(box->body().collisionSoundCooldown, cooldown) << "a second hit within the cooldown plays nothing";
    box->body().collisionSoundCooldown = 0.0f;
    box->playCollisionSound(nullptr, 0.0f, 500000000.0f); // force 5000
    box->body().collisionEvent->getVolume(&volume);
    EXPECT_NEAR(volume, 1.0f, 1e-5f) << "full loudness from a force of 1060";
}

TEST_F(PhysicsContactTest, ATouchHardEnoughTurnsAKinematicObjectDynamic) {
    PhysicsObject* shelf = makeObject([](Attributes* a) {
        body("Box", "Kinematic", {0, 0, 0}, {4, 0.5f, 4})(a);
        a->addBool("TurnDynamicOnTouch", true);
        a->addFloat("TouchForceRequired", 0.0f);
    });
    makeObject(body("Box", "Dynamic", {0, 3, 0}));
    frames(90);
    EXPECT_EQ(shelf->getPhysicsState(), PhysicsState::Dynamic);
    EXPECT_FALSE(shelf->getActor()->asRigidDynamic()->isKinematic());
    EXPECT_LT(shelf->getAbsolutePosition().Y, -1.0f) << "and falls";
}

// An object of a sublevel that is switched off takes no part in contacts, on either side.
TEST_F(PhysicsContactTest, ContactsWithAnObjectSwitchedOffAreIgnored) {
    for (int off : {0, 1, 2}) { // none, the first of the pair, the second
        SCOPED_TRACE(off);
        PhysicsObject* shelf = makeObject([off](Attributes* a) {
            body("Box", "Kinematic", {10.0f * static_cast<f32>(off), 0, 0}, {4, 0.5f, 4})(a);
            a->addBool("TurnDynamicOnTouch", true);
            a->addFloat("TouchForceRequired", 0.0f);
        });
        PhysicsObject* box = makeObject(body("Box", "Dynamic", {10.0f * static_cast<f32>(off), 3, 0}));
        if (off == 1)
            shelf->getUserData()->active = false;
        if (off == 2)
            box->getUserData()->active = false;
        reportContact(shelf, box);
        EXPECT_EQ(shelf->getPhysicsState(), off == 0 ? PhysicsState::Dynamic : PhysicsState::Kinematic);
    }
}

// The force of a hit is its impulse times 0.00001.
f32 impulseFor(f32 force) { return force / 0.00001f; }

TEST_F(PhysicsContactTest, ATouchTurnsAnObjectDynamicFromItsRequiredForceAndOnlyByThePlayerWhenAsked) {
    const struct Row {
        const char* name;
        bool byPlayerOnly;
        int toucher;       // 0 the player (null), 1 a loose box, 2 a held box
        bool shelfTouches; // the shelf's own report, or the toucher's
        f32 forceOffset;   // from the required force
        bool turnsLoose;
    } rows[] = {
        {"harder", false, 1, true, 10.0f, true},
        {"exactly the force", false, 1, true, 0.0f, true},
        {"softer", false, 1, true, -10.0f, false},
        {"player only, loose box", true, 1, true, 10.0f, false},
        {"player only, held box", true, 2, true, 10.0f, true},
        {"player only, the player", true, 0, true, 10.0f, true},
        {"the toucher's report", false, 1, false, 10.0f, true},
        {"the toucher's report, player only", true, 1, false, 10.0f, false},
    };
    for (const Row& row : rows) {
        PhysicsObject* shelf = makeObject([&](Attributes* a) {
            body("Box", "Kinematic", {0, 0, 0}, {4, 0.5f, 4})(a);
            a->addBool("TurnDynamicOnTouch", true);
            a->addFloat("TouchForceRequired", 100.0f);
            a->addBool("TouchByTentaroOnly", row.byPlayerOnly);
        });
        PhysicsObject* box = makeObject(body("Box", "Dynamic", {0, 3, 0}));
        box->holdCount = row.toucher == 2 ? 1 : 0;
        const f32 impulse = impulseFor(100.0f + row.forceOffset);
        if (row.shelfTouches)
            shelf->playCollisionSound(row.toucher == 0 ? nullptr : box, 0.0f, impulse);
        else
            box->playCollisionSound(shelf, 0.0f, impulse);
        EXPECT_EQ(shelf->getPhysicsState() == PhysicsState::Dynamic, row.turnsLoose) << row.name;
        shelf->remove();
        box->remove();
    }
}

class ReactingPlayer : public test::StubPlayer {
public:
    using StubPlayer::StubPlayer;
    bool isImpactReactionBlocked() override { return blocked; }
    void playImpactReaction(s32 code) override { reactions.push_back(code); }
    bool blocked = false;
    std::vector<s32> reactions;
};

TEST_F(PhysicsContactTest, APlayerHitHardEnoughReactsByWhetherItsReactionIsBlocked) {
    const struct Row {
        const char* name;
        f32 force, speed;
        bool blocked;
        std::vector<s32> reactions;
    } rows[] = {
        {"blocked, very hard", 6000.0f, 2.0f, true, {14}},
        {"blocked, hard", 2000.0f, 2.0f, true, {}},
        {"free, very hard", 6000.0f, 2.0f, false, {13}},
        {"free, hard", 2000.0f, 2.0f, false, {13}},
        {"free, hard, at rest", 2000.0f, 0.0f, false, {}},
        {"free, soft", 1000.0f, 2.0f, false, {}},
    };
    auto* player = new ReactingPlayer(root(), smgr(), -1);
    player->drop();
    setPlayer(0, player);
    for (const Row& row : rows) {
        PhysicsObject* box = makeObject(body("Box", "Dynamic", {0, 3, 0}));
        box->getActor()->asRigidDynamic()->setLinearVelocity(phys::Vec3(row.speed, 0, 0));
        player->blocked = row.blocked;
        player->reactions.clear();
        box->playCollisionSound(nullptr, 0.0f, impulseFor(row.force));
        EXPECT_EQ(player->reactions, row.reactions) << row.name;
        box->remove();
    }
}

TEST_F(PhysicsContactTest, HittingTheFloorRaisesSuspicionFromItsForceBelowItsCeilingUpToItsLimit) {
    int raised = 0;
    physicsHooks().characters.addSuspicion = [&](SuspicionMeter*, f32, s32, const core::vector3df&) {
        ++raised;
        return true;
    };
    gameDifficulty = 1;
    auto* player = new test::StubPlayer(root(), smgr(), -1);
    player->drop();
    setPlayer(0, player);
    PhysicsObject* floor = makeObject(body("Box", "Static", {0, -10, 0}, {20, 1, 20}));
    const struct Row {
        const char* name;
        f32 forceOffset;
        f32 ceiling; // 0: no ceiling
        s32 hits, raises;
        s32 difficulty = 1;
        s32 holdCount = 0;
        bool player = true;
    } rows[] = {
        {"harder", 10.0f, 0.0f, 1, 1},
        {"exactly the force", 0.0f, 0.0f, 1, 1},
        {"softer", -10.0f, 0.0f, 1, 0},
        {"below the ceiling", 10.0f, 6.0f, 1, 1},
        {"above the ceiling", 10.0f, 4.0f, 1, 0},
        {"twice, limit one", 10.0f, 0.0f, 2, 1},
        {"difficulty 0", 10.0f, 0.0f, 1, 0, 0},
        {"held", 10.0f, 0.0f, 1, 0, 1, 1},
        {"no player", 10.0f, 0.0f, 1, 0, 1, 0, false},
    };
    for (const Row& row : rows) {
        gameDifficulty = row.difficulty;
        setPlayer(0, row.player ? player : nullptr);
        PhysicsObject* box = makeObject([&](Attributes* a) {
            body("Box", "Dynamic", {0, 5, 0})(a); // its centre at height 5
            a->addFloat("SuspHitFloorAmount", 2.0f);
            a->addFloat("SuspHitFloorForce", 100.0f);
            a->addInt("SuspHitFloorLimit", 1);
            // Without the switch there is no ceiling.
            if (row.ceiling != 0.0f)
                a->addBool("SuspHitFloorUseCeiling", true);
            a->addFloat("SuspHitFloorCeiling", row.ceiling);
        });
        raised = 0;
        box->holdCount = row.holdCount;
        for (int i = 0; i < row.hits; ++i)
            box->playCollisionSound(floor, 0.0f, impulseFor(100.0f + row.forceOffset));
        EXPECT_EQ(raised, row.raises) << row.name;
        EXPECT_EQ(box->suspicion().hitFloorRaised, row.raises > 0) << row.name;
        box->remove();
    }
    gameDifficulty = 0;
}

TEST_F(PhysicsContactTest, TheGrabSoundPlaysOnTheFirstGrabAndTheLooseSoundWhenTurningDynamic) {
    PhysicsObject* box = makeObject([](Attributes* a) {
        body("Box", "Kinematic", {1, 3, 2})(a);
        a->addBool("IsGrabbable", true);
        a->addString("SoundGrabEvent", "GameAudio/Audio/UI/Click");
        a->addString("SoundOnDynamicEvent", "GameAudio/Audio/UI/Transition");
    });
    box->notifyGrab(true, core::vector3df(1, 3, 2));
    ASSERT_NE(box->body().grabEvent, nullptr);
    EXPECT_TRUE(soundManager->isEventActive(box->body().grabEvent));
    // The grab holds collision sounds off for a fifth to three tenths of a second.
    EXPECT_GE(box->body().collisionSoundCooldown, 0.2f);
    EXPECT_LT(box->body().collisionSoundCooldown, 0.3f);
    ASSERT_NE(box->body().onDynamicEvent, nullptr);
    EXPECT_FALSE(soundManager->isEventActive(box->body().onDynamicEvent)) << "still kinematic";
    box->setKinematic(false);
    frame();
    EXPECT_TRUE(soundManager->isEventActive(box->body().onDynamicEvent));
    audio::Vector3 position{}, velocity{9.0f, 9.0f, 9.0f};
    box->body().onDynamicEvent->get3DAttributes(&position, &velocity);
    EXPECT_FLOAT_EQ(position.x, 1.0f) << "where the object turned dynamic";
    EXPECT_FLOAT_EQ(position.y, 3.0f);
    EXPECT_FLOAT_EQ(position.z, 2.0f);
    EXPECT_FLOAT_EQ(velocity.x, 0.0f);
    EXPECT_FLOAT_EQ(velocity.y, 0.0f);
    EXPECT_FLOAT_EQ(velocity.z, 0.0f);
}

TEST_F(PhysicsContactTest, TheDragSoundStartsOnlyForAHeldObjectOnStaticGroundAndStopsWhenItLeaves) {
    PhysicsObject* ground = makeObject(body("Box", "Static", {0, -0.5f, 0}, {20, 1, 20}));
    PhysicsObject* other = makeObject(body("Box", "Dynamic", {5, 3, 0}));
    PhysicsObject* box = makeObject([](Attributes* a) {
        body("Box", "Dynamic", {0, 3, 0})(a);
        a->addString("SoundDragEvent", "GameAudio/Audio/Collisions/Drag");
    });
    box->handleContact(ground, 0.0f, true, 0.0f);
    EXPECT_EQ(box->body().dragEvent, nullptr) << "not held: the event is fetched where it first plays";
    box->holdCount = 1;
    box->handleContact(other, 0.0f, true, 0.0f);
    EXPECT_EQ(box->body().dragEvent, nullptr) << "not static";
    box->handleContact(ground, 0.0f, true, 0.0f);
    audio::Event* drag = box->body().dragEvent;
    ASSERT_NE(drag, nullptr) << "fetched by its name on the first held rub on static ground";
    EXPECT_TRUE(soundManager->isEventActive(drag));
    // Its loudness follows the speed: full at 10 m/s and above.
    for (auto [speed, volume] : {std::pair{4.0f, 0.4f}, {25.0f, 1.0f}}) {
        box->getActor()->asRigidDynamic()->setLinearVelocity(phys::Vec3(speed, 0, 0));
        box->updatePhysics();
        float loudness = -1.0f;
        drag->getVolume(&loudness);
        EXPECT_NEAR(loudness, volume, 1e-4f) << speed;
    }
    box->handleContact(other, 0.0f, false, 0.0f);
    EXPECT_TRUE(soundManager->isEventActive(drag)) << "another object left";
    box->handleContact(ground, 0.0f, false, 0.0f);
    EXPECT_FALSE(soundManager->isEventActive(drag));
}

TEST_F(PhysicsContactTest, AMovingBodyAnswersItsTouchOfStaticGroundWhicheverSideItIsReported) {
    PhysicsObject* ground = makeObject(body("Box", "Static", {0, -0.5f, 0}, {20, 1, 20}));
    PhysicsObject* box = makeObject(body("Box", "Dynamic", {0, 3, 0}));
    for (bool boxFirst : {true, false}) {
        box->body().collisionSoundCooldown = 0.0f;
        box->getActor()->asRigidDynamic()->setLinearVelocity(phys::Vec3(0, -8, 0));
        reportContact(boxFirst ? box : ground, boxFirst ? ground : box);
        EXPECT_GT(box->body().collisionSoundCooldown, 0.0f) << boxFirst;
    }
}

TEST_F(PhysicsContactTest, TheHeavierOfTwoMovingBodiesReactsAndTheSecondOnATie) {
    struct Row {
        f32 firstMass, secondMass;
        bool firstReacts;
    } rows[] = {{10.0f, 10.0f, false}, {20.0f, 10.0f, true}, {5.0f, 10.0f, false}};
    for (const Row& row : rows) {
        PhysicsObject* first = makeObject(body("Box", "Dynamic", {0, 20, 0}));
        PhysicsObject* second = makeObject(body("Box", "Dynamic", {5, 20, 0}));
        first->getActor()->asRigidDynamic()->setMass(row.firstMass);
        second->getActor()->asRigidDynamic()->setMass(row.secondMass);
        first->getActor()->asRigidDynamic()->setLinearVelocity(phys::Vec3(6, 0, 0));
        first->body().collisionSoundCooldown = second->body().collisionSoundCooldown = 0.0f;
        reportContact(first, second);
        EXPECT_EQ(first->body().collisionSoundCooldown > 0.0f, row.firstReacts) << row.firstMass;
        EXPECT_EQ(second->body().collisionSoundCooldown > 0.0f, !row.firstReacts) << row.firstMass;
        first->remove();
        second->remove();
    }
}

TEST_F(PhysicsContactTest, AnObjectStrikesACharacterWhereTheTouchBeginsNotWhileItRests) {
    int strikes = 0;
    physicsHooks().characters.onCharacterStruck = [&](PhysicsObject*, scene::ISceneNode*, phys::RigidActor*,
                                                      const phys::ContactPair&) {
        ++strikes;
        return true;
    };
    PhysicsObject* box = makeObject(body("Box", "Dynamic", {0, 20, 0}));
    PhysicsObject* npc = makeObject(body("Box", "Dynamic", {5, 20, 0}));
    // The other body stands for a character.
    PhysicsUserData character(nullptr);
    character.node = npc;
    character.character = npc;
    void* own = npc->getActor()->userData;
    npc->getActor()->userData = &character;
    for (auto [events, struck] : {std::pair{phys::PairNotifyTouchFound, 1}, {phys::PairNotifyTouchPersists, 0}}) {
        strikes = 0;
        reportContact(box, npc, events);
        EXPECT_EQ(strikes, struck) << events;
    }
    npc->getActor()->userData = own;
}

TEST_F(PhysicsContactTest, ATriggerTouchedByACompoundChildReportsTheChild) {
    phys::RigidDynamic* volume = makeTriggerVolume(true);
    ASSERT_NE(volume, nullptr);
    PhysicsObject* parent = makeObject(body("Box", "Dynamic", {0, 20, 0}));
    PhysicsObject* child = makeObject(body("Sphere", "Dynamic", {0, 1.5f, 0}), parent);
    phys::Shape* shapes[2] = {};
    ASSERT_EQ(parent->getActor()->getShapes(shapes, 2), 2u);
    std::vector<scene::ISceneNode*> entered;
    physicsHooks().triggers.onObjectEnter = [&](scene::ISceneNode*, scene::ISceneNode* other, const core::vector3df&,
                                                phys::RigidActor*, phys::RigidDynamic*, phys::Shape*) {
        entered.push_back(other);
        return static_cast<core::vector3df*>(nullptr);
    };
    phys::Shape* triggerShape = nullptr;
    volume->getShapes(&triggerShape, 1);
    phys::TriggerPair pairs[2];
    pairs[0].triggerShape = pairs[1].triggerShape = triggerShape;
    pairs[0].otherShape = shapes[1];
    pairs[1].otherShape = shapes[0];
    pairs[0].status = pairs[1].status = phys::PairNotifyTouchFound;
    physics->getCallbacks()->onTrigger(pairs, 2);
    ASSERT_EQ(entered.size(), 2u);
    EXPECT_EQ(entered[0], child);
    EXPECT_EQ(entered[1], parent);
    physics->releaseActor(volume, true);
}

TEST_F(PhysicsContactTest, ATriggerVolumeReportsThePlayersBodyAndPhysicsObjects) {
    phys::RigidDynamic* volume = makeTriggerVolume(false);
    ASSERT_NE(volume, nullptr);
    PhysicsObject* box = makeObject(body("Box", "Dynamic", {0, 2, 0}));
    std::vector<scene::ISceneNode*> entered;
    physicsHooks().triggers.onObjectEnter = [&](scene::ISceneNode*, scene::ISceneNode* other, const core::vector3df&,
                                                phys::RigidActor*, phys::RigidDynamic*, phys::Shape*) {
        entered.push_back(other);
        return static_cast<core::vector3df*>(nullptr);
    };
    // The box as itself, then standing in for the player's body.
    PhysicsUserData playerBody(nullptr);
    playerBody.node = box;
    playerBody.player = box;
    void* own = box->getActor()->userData;
    for (void* record : {own, static_cast<void*>(&playerBody)}) {
        box->getActor()->userData = record;
        phys::Shape* volumeShape = nullptr;
        volume->getShapes(&volumeShape, 1);
        reportContact(volume, volumeShape, box->getActor(), box->getFirstShape());
    }
    box->getActor()->userData = own;
    EXPECT_EQ(entered, (std::vector<scene::ISceneNode*>{box, box}));
    physics->releaseActor(volume, true);
}

// A trigger volume's contact report enters at the mean of its contact points and hands the
// trigger the last point's normal; a lost touch leaves instead. Both hand over the volume and
// the body that touched it, whichever side the report names first.
TEST_F(PhysicsContactTest, ATriggerContactEntersAtItsMeanPointWithTheLastNormalOrLeaves) {
    phys::RigidDynamic* volume = makeTriggerVolume(false);
    ASSERT_NE(volume, nullptr);
    PhysicsObject* box = makeObject(body("Box", "Dynamic", {0, 2, 0}));
    std::vector<std::pair<scene::ISceneNode*, core::vector3df>> entered;
    std::vector<scene::ISceneNode*> left;
    std::vector<std::pair<phys::RigidActor*, phys::RigidDynamic*>> handedOver;
    core::vector3df normal;
    physicsHooks().triggers.onObjectEnter = [&](scene::ISceneNode*, scene::ISceneNode* other, const core::vector3df& at,
                                                phys::RigidActor* triggerActor, phys::RigidDynamic* otherBody,
                                                phys::Shape*) {
        entered.emplace_back(other, at);
        handedOver.emplace_back(triggerActor, otherBody);
        return &normal;
    };
    physicsHooks().triggers.onObjectLeave = [&](scene::ISceneNode*, scene::ISceneNode* other,
                                                phys::RigidActor* triggerActor, phys::RigidDynamic* otherBody,
                                                phys::Shape*) {
        left.push_back(other);
        handedOver.emplace_back(triggerActor, otherBody);
    };
    phys::ContactPairPoint points[2];
    points[0].position = phys::Vec3(1, 2, 0);
    points[0].normal = phys::Vec3(1, 0, 0);
    points[1].position = phys::Vec3(3, 2, 1);
    points[1].normal = phys::Vec3(0, 1, 0);
    phys::Shape* volumeShape = nullptr;
    volume->getShapes(&volumeShape, 1);
    for (const phys::PairFlags events : {phys::PairNotifyTouchFound, phys::PairNotifyTouchLost}) {
        phys::ContactPairHeader header;
        header.actors[0] = volume;
        header.actors[1] = box->getActor();
        phys::ContactPair pair;
        pair.shapes[0] = volumeShape;
        pair.shapes[1] = box->getFirstShape();
        pair.events = events;
        pair.points = points;
        pair.contactCount = 2;
        physics->getCallbacks()->onContact(header, &pair, 1);
    }
    ASSERT_EQ(entered.size(), 1u);
    EXPECT_EQ(entered[0].first, box);
    test::expectNear(entered[0].second, {2, 2, 0.5f});
    test::expectNear(normal, {0, 1, 0});
    EXPECT_EQ(left, (std::vector<scene::ISceneNode*>{box}));
    phys::RigidDynamic* boxBody = box->getActor()->asRigidDynamic();
    ASSERT_NE(boxBody, nullptr);
    const std::pair<phys::RigidActor*, phys::RigidDynamic*> volumeAndBox(volume, boxBody);
    EXPECT_EQ(handedOver, (std::vector<std::pair<phys::RigidActor*, phys::RigidDynamic*>>{volumeAndBox, volumeAndBox}));
    // The box named first: the same volume and body.
    handedOver.clear();
    reportContact(box->getActor(), box->getFirstShape(), volume, volumeShape);
    EXPECT_EQ(handedOver, (std::vector<std::pair<phys::RigidActor*, phys::RigidDynamic*>>{volumeAndBox}));
    physics->releaseActor(volume, true);
}

// A trigger volume's contact with a compound body hands the trigger the shape that touched
// it, the owner's or a member's, grabbable or not; none when the report says a shape is gone.
TEST_F(PhysicsContactTest, ATriggerContactWithACompoundBodyHandsOverTheShapeThatTouched) {
    phys::RigidDynamic* volume = makeTriggerVolume(false);
    ASSERT_NE(volume, nullptr);
    phys::Shape* volumeShape = nullptr;
    volume->getShapes(&volumeShape, 1);
    PhysicsObject* parent = makeObject(body("Box", "Dynamic", {0, 20, 0}));
    PhysicsObject* child = makeObject(body("Sphere", "Dynamic", {0, 1.5f, 0}), parent);
    phys::Shape* shapes[2] = {};
    ASSERT_EQ(parent->getActor()->getShapes(shapes, 2), 2u);
    const bool childFirst = userDataOf(shapes[0])->node == child;
    phys::Shape* childShape = childFirst ? shapes[0] : shapes[1];
    phys::Shape* parentShape = childFirst ? shapes[1] : shapes[0];
    ASSERT_EQ(userDataOf(parentShape)->node, parent);
    int entries = 0;
    phys::Shape* otherShape = nullptr;
    physicsHooks().triggers.onObjectEnter = [&](scene::ISceneNode*, scene::ISceneNode*, const core::vector3df&,
                                                phys::RigidActor*, phys::RigidDynamic*, phys::Shape* shape) {
        ++entries;
        otherShape = shape;
        return static_cast<core::vector3df*>(nullptr);
    };
    const struct {
        const char* what;
        phys::Shape* touching;
        bool grabbable;
        u16 flags;
        phys::Shape* handedOver;
    } rows[] = {{"the member", childShape, true, 0, childShape},
                {"the member, not grabbable", childShape, false, 0, childShape},
                {"the owner", parentShape, true, 0, parentShape},
                {"the owner, not grabbable", parentShape, false, 0, parentShape},
                {"a shape gone", childShape, true, phys::DeletedShape1, nullptr}};
    // Either party may come first in a report.
    for (const bool compoundFirst : {false, true}) {
        for (const auto& row : rows) {
            child->IsGrabbable = parent->IsGrabbable = row.grabbable;
            otherShape = reinterpret_cast<phys::Shape*>(1);
            const int c = compoundFirst ? 0 : 1;
            phys::ContactPairHeader header;
            header.actors[1 - c] = volume;
            header.actors[c] = parent->getActor();
            phys::ContactPair pair;
            pair.shapes[1 - c] = volumeShape;
            pair.shapes[c] = row.touching;
            pair.flags = row.flags;
            pair.events = phys::PairNotifyTouchFound;
            physics->getCallbacks()->onContact(header, &pair, 1);
            EXPECT_EQ(otherShape, row.handedOver) << row.what << (compoundFirst ? ", the compound first" : "");
        }
    }
    EXPECT_EQ(entries, 10);
    physics->releaseActor(volume, true);
}

TEST_F(PhysicsContactTest, ABoxDroppedThroughATriggerVolumeEntersAndLeavesOnce) {
    phys::RigidDynamic* volume = makeTriggerVolume(true);
    ASSERT_NE(volume, nullptr);
    setActorFilterData(volume, collisionCategory::TriggerVolume, 0x0FFFFF87);
    scene::ISceneNode* owner = triggerRecord->node;
    PhysicsObject* box = makeObject(body("Box", "Dynamic", {0, 6, 0}));
    int enters = 0, leaves = 0;
    physicsHooks().triggers.onObjectEnter = [&](scene::ISceneNode* trigger, scene::ISceneNode* other,
                                                const core::vector3df&, phys::RigidActor* actor, phys::RigidDynamic*,
                                                phys::Shape*) -> core::vector3df* {
        EXPECT_EQ(trigger, owner);
        EXPECT_EQ(other, box);
        EXPECT_EQ(actor, volume);
        ++enters;
        return nullptr;
    };
    physicsHooks().triggers.onObjectLeave = [&](scene::ISceneNode* trigger, scene::ISceneNode* other,
                                                phys::RigidActor*, phys::RigidDynamic*, phys::Shape*) {
        EXPECT_EQ(trigger, owner);
        EXPECT_EQ(other, box);
        ++leaves;
    };
    frames(120);
    EXPECT_LT(box->getAbsolutePosition().Y, -2.0f) << "fell through";
    EXPECT_EQ(enters, 1);
    EXPECT_EQ(leaves, 1);
    physics->releaseActor(volume, true);
}

TEST_F(PhysicsContactTest, TriggerActorsAndControllersTakeTheirSizes) {
    phys::RigidDynamic* box = physics->createTriggerActor(0, {1, 1, 1}, {1, 2, 3}, nullptr, true);
    ASSERT_NE(box, nullptr);
    const phys::Bounds3 bounds = box->getWorldBounds();
    EXPECT_NEAR(bounds.maximum.x - bounds.minimum.x, 2.0f, 1e-4f);
    EXPECT_NEAR(bounds.maximum.y - bounds.minimum.y, 4.0f, 1e-4f);
    EXPECT_NEAR(bounds.maximum.z - bounds.minimum.z, 6.0f, 1e-4f);
    EXPECT_TRUE(box->isKinematic());
    phys::Shape* shape = nullptr;
    box->getShapes(&shape, 1);
    EXPECT_TRUE(shape->getFlags() & phys::ShapeTrigger);
    EXPECT_FALSE(shape->getFlags() & phys::ShapeSimulation);
    phys::RigidDynamic* solid = physics->createTriggerActor(1, {}, {0.5f, 0, 0}, nullptr, false);
    solid->getShapes(&shape, 1);
    EXPECT_TRUE(shape->getFlags() & phys::ShapeSimulation);
    EXPECT_FALSE(shape->getFlags() & phys::ShapeTrigger);
    EXPECT_EQ(physics->createTriggerActor(5, {}, {1, 1, 1}, nullptr, true), nullptr) << "no mesh kind";
    EXPECT_EQ(physics->createTriggerActor(4, {}, {1, 1, 1}, nullptr, true), nullptr) << "convex without a mesh";
    EXPECT_EQ(physics->createTriggerActor(-1, {}, {1, 1, 1}, nullptr, true), nullptr) << "no such kind";
    scene::SMesh empty;
    EXPECT_EQ(physics->createTriggerActor(2, {}, {1, 1, 1}, &empty, true), nullptr) << "a mesh without buffers";
    EXPECT_EQ(physics->createTriggerActor(4, {}, {1, 1, 1}, &empty, true), nullptr) << "a mesh without buffers";
    phys::Controller* controller = physics->createCharacterController({0, 5, 0}, nullptr, 0.005f, 0.0f);
    ASSERT_NE(controller, nullptr);
    EXPECT_FLOAT_EQ(controller->getRadius(), 0.01f);
    EXPECT_FLOAT_EQ(controller->getHeight(), 0.01f);
    physics->releaseActor(box, true);
    physics->releaseActor(solid, true);
}

// A walking character's controller that runs into a free dynamic object pushes it along its
// walk (push value x 0.3 x 1000); what a hand holds or has thrown strikes the character
// instead, and a kinematic object or a character standing still pushes nothing.
TEST_F(PhysicsContactTest, AWalkingCharacterPushesOnlyAFreeDynamicObjectAside) {
    auto* player = new test::StubPlayer(root(), smgr(), -1);
    player->drop();
    setPlayer(0, player);
    bool walking = true;
    physicsHooks().characters.walkingPush = [&walking](void*, core::vector3df& walk, f32& push) {
        walk.set(1, 0, 0);
        push = 3.0f;
        return walking;
    };
    phys::Controller* controller = physics->createCharacterController({0, 5, 0}, nullptr, 1.0f, 0.5f);
    ASSERT_NE(controller, nullptr);
    PhysicsObject* crate = makeObject(body("Box", "Dynamic", {5, 0, 0}));
    PhysicsObject* lift = makeObject(body("Box", "Kinematic", {-5, 0, 0}));
    auto damped = [&](f32 damping, f32 x) {
        return makeObject([=](Attributes* a) {
            body("Box", "Dynamic", {x, 0, 0})(a);
            a->addFloat("LinearDamping", damping);
        });
    };
    PhysicsObject* heavy = damped(2.0f, 10.0f);
    PhysicsObject* slightly = damped(1.0f, 15.0f);
    const struct {
        PhysicsObject* object;
        bool walking;
        s32 holdCount;
        bool thrown;
        f32 pushX; // 0: not pushed
        const char* what;
    } rows[] = {
        {crate, true, 0, false, 900.0f, "a free object is pushed along the walk"},
        {crate, false, 0, false, 0.0f, "a standing character pushes nothing"},
        {crate, true, 1, false, 0.0f, "a held object is not pushed"},
        {crate, true, 0, true, 0.0f, "a thrown object is not pushed"},
        {lift, true, 0, false, 0.0f, "a kinematic object is not pushed"},
        {heavy, true, 0, false, 2700.0f, "damping 2 takes three times the push"},
        {slightly, true, 0, false, 900.0f, "damping 1 takes the usual push"},
    };
    for (const auto& row : rows) {
        walking = row.walking;
        row.object->holdCount = row.holdCount;
        row.object->thrown = row.thrown;
        phys::ControllerShapeHit hit;
        hit.controller = controller;
        hit.shape = row.object->getFirstShape();
        hit.actor = hit.shape->getActor();
        hit.worldPos = phys::ExtVec3(4.5, 0.0, 0.0);
        hit.worldNormal = phys::Vec3(-1.0f, 0.0f, 0.0f);
        const std::size_t before = physics->getContinuousForces().size();
        physics->getCallbacks()->onShapeHit(hit);
        const std::vector<QueuedForce>& forces = physics->getContinuousForces();
        ASSERT_EQ(forces.size(), before + (row.pushX != 0.0f ? 1u : 0u)) << row.what;
        if (row.pushX != 0.0f) {
            EXPECT_EQ(forces.back().actor, hit.actor) << row.what;
            EXPECT_NEAR(forces.back().vector.x, row.pushX, 1.0f) << row.what;
            EXPECT_NEAR(forces.back().vector.z, 0.0f, 1e-3f) << row.what;
        }
        row.object->holdCount = 0;
        row.object->thrown = false;
    }
    // Without a player in the level nothing is pushed.
    clearPlayers();
    walking = true;
    phys::ControllerShapeHit hit;
    hit.controller = controller;
    hit.shape = rows[0].object->getFirstShape();
    hit.actor = hit.shape->getActor();
    hit.worldPos = phys::ExtVec3(4.5, 0.0, 0.0);
    hit.worldNormal = phys::Vec3(-1.0f, 0.0f, 0.0f);
    const std::size_t before = physics->getContinuousForces().size();
    physics->getCallbacks()->onShapeHit(hit);
    EXPECT_EQ(physics->getContinuousForces().size(), before);
}

TEST_F(PhysicsContactTest, ParticleSystemsAndFluidsAreSizedFromTheParticleSize) {
    struct Row {
        f32 viscosity, stiffness;
        bool fluid;
        f32 grid, rest, contact, motion;
    } rows[] = {{0.0f, 0.0f, false, 10.0f, 0.05f, 0.1f, 0.43f},
                {0.5f, 0.0f, true, 16.6667f, 0.015f, 0.03f, 0.3f},
                {-1.0f, -2.0f, false, 10.0f, 0.05f, 0.1f, 0.43f}};
    for (const Row& row : rows) {
        phys::ParticleBase* particles = physics->createParticleSystem(0.1f, 0.2f, 0.3f, 0.4f, 1.0f, row.viscosity,
                                                                      row.stiffness);
        ASSERT_NE(particles, nullptr);
        EXPECT_EQ(particles->getType() == phys::ActorType::ParticleFluid, row.fluid) << row.viscosity;
        EXPECT_NEAR(particles->getGridSize(), row.grid, 1e-3f);
        EXPECT_NEAR(particles->getRestOffset(), row.rest, 1e-6f);
        EXPECT_NEAR(particles->getContactOffset(), row.contact, 1e-6f);
        EXPECT_NEAR(particles->getMaxMotionDistance(), row.motion, 1e-6f);
        physics->releaseActor(particles, true);
    }
}

// A particle system or fluid is charged for its whole limit at once: at least what it takes from
// the heap, at most half as much again. (A build without the sanitizers' allocator skips.)
TEST_F(PhysicsContactTest, AParticleSystemsChargeCoversWhatItAllocates) {
    if (!test::heapCounted())
        GTEST_SKIP() << "the heap is counted by the sanitizers' allocator";
    const LoadBudgetScope level("Level.irr", true);
    // The scene's own first allocations for a particle actor.
    physics->releaseActor(physics->createParticleSystem(0.1f, 0.2f, 0.3f, 0.4f, 1.0f, 0.0f, 0.0f), true);
    for (const f32 viscosity : {0.0f, 0.5f}) {
        SCOPED_TRACE(viscosity);
        const std::uint64_t chargedBefore = loadBudget().used(LoadBudget::Memory);
        const size_t before = test::heapBytesInUse();
        phys::ParticleBase* particles = physics->createParticleSystem(0.1f, 0.2f, 0.3f, 0.4f, 1.0f, viscosity, 0.0f);
        const size_t grown = test::heapBytesInUse() - before;
        const std::uint64_t charged = loadBudget().used(LoadBudget::Memory) - chargedBefore;
        ASSERT_NE(particles, nullptr);
        EXPECT_GE(charged, grown);
        EXPECT_LE(charged, grown + grown / 2);
        physics->releaseActor(particles, true);
    }
}

TEST_F(PhysicsContactTest, ControllersRideOnlyOnKinematicPhysicsObjects) {
    PhysicsObject* lift = makeObject(body("Box", "Kinematic", {0, 0, 0}));
    PhysicsObject* crate = makeObject(body("Box", "Dynamic", {5, 0, 0}));
    PhysicsCallbacks& callbacks = *physics->getCallbacks();
    EXPECT_EQ(callbacks.getBehaviorFlags(*lift->getFirstShape()), phys::BehaviorCanRideOnObject);
    EXPECT_EQ(callbacks.getBehaviorFlags(*crate->getFirstShape()), phys::BehaviorUserDefinedRide);
    crate->getFirstShape()->userData = reinterpret_cast<void*>(static_cast<uintptr_t>(controllerShapeMarker));
    EXPECT_EQ(callbacks.getBehaviorFlags(*crate->getFirstShape()), phys::BehaviorUserDefinedRide) << "the marker";
    crate->getFirstShape()->userData = crate->getUserData();
}

TEST_F(PhysicsContactTest, TheDemonstrationLevelComesToRestOnItsFloor) {
    SceneLoader loader(smgr());
    ASSERT_TRUE(loader.load("Content/Levels/PhysicsDemo.irr"));
    for (const std::string& line : log.lines)
        EXPECT_EQ(line.rfind("ERROR", 0), std::string::npos) << line;
    frames(400);
    const char* names[] = {"Crate", "Ball", "Barrel", "Pill", "Rock", "StackedCrate"};
    for (const char* name : names) {
        PhysicsObject* object = findObject(name);
        ASSERT_NE(object, nullptr) << name;
        ASSERT_NE(object->getActor(), nullptr) << name;
        phys::RigidDynamic* dynamic = object->getActor()->asRigidDynamic();
        ASSERT_NE(dynamic, nullptr) << name;
        const phys::Vec3 v = dynamic->getLinearVelocity();
        EXPECT_LT(v.x * v.x + v.y * v.y + v.z * v.z, 0.01f) << name << " at rest";
        // The node follows its body.
        EXPECT_NEAR(object->getAbsolutePosition().Y, dynamic->getGlobalPose().p.y, 1e-3f) << name;
        // Its mesh stands on the floor.
        ASSERT_NE(object->getMeshNode(), nullptr) << name;
        const core::aabbox3df box = object->getMeshNode()->getTransformedBoundingBox();
        EXPECT_NEAR(box.MinEdge.Y, 0.0f, 0.2f) << name;
    }
    // The ball on the stacked crate merged into the crate's body and rides on it.
    PhysicsObject* crate = findObject("StackedCrate");
    PhysicsObject* top = findObject("CrateTopBall");
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->getActor(), crate->getActor());
    EXPECT_EQ(crate->getActor()->getNbShapes(), 2u);
    EXPECT_GT(top->getAbsolutePosition().Y, crate->getAbsolutePosition().Y + 1.0f);
    PhysicsObject* floor = findObject("Floor");
    ASSERT_NE(floor, nullptr);
    EXPECT_NE(floor->getStaticActor(), nullptr);
}

TEST_F(PhysicsContactTest, ALevelWrittenAndReadBackGivesTheSameObjects) {
    SceneLoader loader(smgr());
    ASSERT_TRUE(loader.load("Content/Levels/PhysicsDemo.irr"));
    const std::string written = temp.file("demo.irr");
    ASSERT_TRUE(saveLevelFile(smgr(), written.c_str()));
    auto keysOf = [this](const char* name) {
        Attributes* a = newAttributes();
        findObject(name)->serializeAttributes(a);
        std::vector<std::pair<std::string, std::string>> keys;
        for (u32 i = 0; i < a->getAttributeCount(); ++i)
            keys.emplace_back(a->getAttributeName(i), a->getAttributeAsString(i).c_str());
        a->drop();
        return keys;
    };
    const char* names[] = {"Floor", "Crate", "Ball", "Barrel", "Pill", "Rock", "StackedCrate", "CrateTopBall"};
    std::vector<std::vector<std::pair<std::string, std::string>>> before;
    for (const char* name : names)
        before.push_back(keysOf(name));
    smgr()->clear();
    physics->resetScene();
    ASSERT_TRUE(loader.load(written.c_str()));
    for (size_t i = 0; i < std::size(names); ++i) {
        ASSERT_NE(findObject(names[i]), nullptr) << names[i];
        EXPECT_EQ(keysOf(names[i]), before[i]) << names[i];
    }
}

// A report whose actor on either side was deleted during the step touches nothing.
TEST_F(PhysicsContactTest, AReportNamingADeletedActorOnEitherSideIsIgnored) {
    phys::RigidDynamic* volume = makeTriggerVolume(false);
    ASSERT_NE(volume, nullptr);
    phys::Shape* volumeShape = nullptr;
    volume->getShapes(&volumeShape, 1);
    PhysicsObject* box = makeObject(body("Box", "Dynamic", {0, 2, 0}));
    int entries = 0;
    physicsHooks().triggers.onObjectEnter = [&](scene::ISceneNode*, scene::ISceneNode*, const core::vector3df&,
                                                phys::RigidActor*, phys::RigidDynamic*, phys::Shape*) {
        ++entries;
        return static_cast<core::vector3df*>(nullptr);
    };
    const struct {
        u16 flags;
        int entries;
    } rows[] = {{0, 1},
                {phys::DeletedActor0, 0},
                {phys::DeletedActor1, 0},
                {phys::DeletedActor0 | phys::DeletedActor1, 0}};
    for (const bool volumeFirst : {true, false}) {
        for (const auto& row : rows) {
            SCOPED_TRACE(testing::Message() << "flags " << row.flags << (volumeFirst ? ", volume first" : ""));
            entries = 0;
            const int v = volumeFirst ? 0 : 1;
            phys::ContactPairHeader header;
            header.actors[v] = volume;
            header.actors[1 - v] = box->getActor();
            header.flags = row.flags;
            phys::ContactPair pair;
            pair.shapes[v] = volumeShape;
            pair.shapes[1 - v] = box->getFirstShape();
            pair.events = phys::PairNotifyTouchFound;
            physics->getCallbacks()->onContact(header, &pair, 1);
            EXPECT_EQ(entries, row.entries);
        }
    }
    physics->releaseActor(volume, true);
}

} // namespace
