// The swimmer's charge, release, coast and flinch rules frame by frame, on a straight path of
// 100 units, with the charge input in the test's hand.
#include "AnimatorFixture.h"

#include "characters/animators/SwimSplineAnimator.h"
#include "core/CoreSlots.h"
#include "core/Globals.h"
#include "level/SplineObject.h"
#include "level/VariableObject.h"
#include "render/EffectHandler.h"
#include "physics/objects/PhysicsObjectSettings.h"

#include <IAnimatedMeshSceneNode.h>

#include <memory>
#include <vector>

using namespace irr;
using Attributes = io::IAttributes;
using Swim = SwimSplineAnimator;
using test::expectNear;

namespace {

bool held = false;
bool heldInput() { return held; }

class SwimAnimatorTest : public AnimatorFixture {
protected:
    void SetUp() override {
        AnimatorFixture::SetUp();
        playerInput = Swim::chargeInput;
        Swim::chargeInput = heldInput;
        held = false;
        difficulty = gameDifficulty;
        addStraightPath(78, 100.0f);
    }
    void TearDown() override {
        Swim::chargeInput = playerInput;
        gameDifficulty = difficulty;
        AnimatorFixture::TearDown();
        Swim::shared = Swim::SwimState();
    }
    // A swimmer on path 78 at 20 units a second (5 s for the path at speed 1).
    Swim* addSwimmer(scene::ISceneNode* node, const std::function<void(Attributes*)>& more = [](Attributes*) {}) {
        return static_cast<Swim*>(makeAnimator("swimSpline", node, [&](Attributes* a) {
            a->addInt("SplineObjectID", 78);
            a->addFloat("SplineSpeed", 20);
            more(a);
        }));
    }
    // The skinned swimmer figure, without a body.
    PhysicsObject* addFigure(s32 id = -1) {
        PhysicsObject* figure = makeObject([](Attributes* a) {
            a->addString("MeshFileName", "Content/Models/Characters/Swimmer.b3d");
            a->addEnum("BoundType", "None", boundTypeNames);
        });
        EXPECT_NE(figure->getMeshNode(), nullptr);
        if (id != -1) {
            figure->setID(id);
            manager->registerNodeIDs(figure);
        }
        return figure;
    }
    // The figure 81 at (0, 3, 2) swimming path 78, with path 79 as the path before it.
    struct TailedSwimmer {
        SplineObject* previous;
        SplineObject* path;
        PhysicsObject* figure;
        Swim* swim;
    };
    // Without naming path 79 the swimmer's path has none before it (79 goes on straight
    // back from its start all the same).
    TailedSwimmer addTailedSwimmer(bool namesPrevious = true) {
        SplineObject* previous = addStraightPath(79, 100.0f, -100.0f);
        SplineObject* path = static_cast<SplineObject*>(manager->getSceneNodeFromID(78));
        PhysicsObject* figure = addFigure(81);
        figure->setPosition({0, 3, 2});
        Swim* swim = addSwimmer(addNode({0, 0, 0}), [namesPrevious](Attributes* a) {
            a->addInt("PrevSplineObjectID", namesPrevious ? 79 : 0);
            a->addInt("MeshObjectID", 81);
        });
        return {previous, path, figure, swim};
    }
    // Runs frames until the shared state is the one asked for, at most the count.
    bool runUntilState(s32 state, f32 seconds, int count) {
        for (int i = 0; i < count && Swim::shared.state != state; ++i)
            frame(seconds);
        return Swim::shared.state == state;
    }

    bool (*playerInput)() = nullptr;
    s32 difficulty = 1;
};

} // namespace

// On release the charge held decides the blast: more than 60 % of the maximum blasts, more
// than 30 % half-blasts, less coasts (and, that slow, turns to rest in the same frame); the
// speed added grows with the charge up to 2.0, and by a fifth more on difficulty 0, whose cap
// is 2.4.
TEST_F(SwimAnimatorTest, TheChargeOnReleaseDecidesTheBlastAndTheSpeed) {
    struct Row {
        f32 charge;
        s32 difficulty;
        s32 state;
        f32 targetSpeed;
    } rows[] = {
        {2.0f, 1, Swim::Blast, 2.0f},         {2.0f, 0, Swim::Blast, 2.4f},
        {1.21f, 1, Swim::Blast, 1.21f},       {1.2f, 1, Swim::MidBlast, 1.2f},
        {0.61f, 1, Swim::MidBlast, 0.61f},    {0.6f, 1, Swim::CoastToIdle, 0.6f},
        {0.6f, 0, Swim::CoastToIdle, 0.72f},  {0.2f, 1, Swim::CoastToIdle, 0.2f},
    };
    scene::ISceneNode* swimmer = addNode({0, 0, 0});
    Swim* swim = addSwimmer(swimmer, [](Attributes* a) { a->addFloat("WindDownRate", 0); });
    ASSERT_NE(swim, nullptr);
    frame(0.001f);
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "charge " << row.charge << " difficulty " << row.difficulty);
        gameDifficulty = row.difficulty;
        Swim::shared = Swim::SwimState();
        Swim::shared.charge = row.charge;
        Swim::shared.holdTime = 1.0f;
        Swim::shared.state = Swim::ChargedIdle;
        swim->charging = true;
        frame(0.001f);
        EXPECT_EQ(Swim::shared.state, row.state);
        EXPECT_NEAR(Swim::shared.targetSpeed, row.targetSpeed, 1e-4f);
        EXPECT_EQ(Swim::shared.charge, 0.0f) << "the charge is spent";
        EXPECT_EQ(Swim::shared.holdTime, 0.0f);
        EXPECT_FALSE(swim->charging);
    }
}

// Holding the charge: a swimmer in a blast or coast pose starts charging from the coast, an
// idle one from rest, and one already charging or charged stays; nothing is released.
TEST_F(SwimAnimatorTest, HoldingTheChargeStartsFromTheCoastOrFromRest) {
    struct Row {
        s32 from, to;
    } rows[] = {
        {Swim::MidBlast, Swim::CoastToCharge},   {Swim::Blast, Swim::CoastToCharge},
        {Swim::CoastIdle, Swim::CoastToCharge},  {Swim::CoastToIdle, Swim::CoastToCharge},
        {Swim::Idle, Swim::IdleToCharge},        {Swim::IdleToCharge, Swim::IdleToCharge},
        {Swim::CoastToCharge, Swim::CoastToCharge}, {Swim::ChargedIdle, Swim::ChargedIdle},
    };
    scene::ISceneNode* swimmer = addNode({0, 0, 0});
    Swim* swim = addSwimmer(swimmer);
    frame(0.01f);
    held = true;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.from);
        Swim::shared = Swim::SwimState();
        Swim::shared.state = row.from;
        Swim::shared.speed = Swim::shared.targetSpeed = 1.5f;
        frame(0.01f);
        EXPECT_EQ(Swim::shared.state, row.to);
        EXPECT_TRUE(swim->charging);
    }
    // The charge grows by the rate and by the hold time to the fourth power, clamped.
    Swim::shared = Swim::SwimState();
    Swim::shared.holdTime = 1.0f;
    frame(0.1f);
    EXPECT_NEAR(Swim::shared.charge, 0.4f * 0.1f + 1.0f * 0.1f, 1e-5f);
    EXPECT_NEAR(Swim::shared.holdTime, 1.1f, 1e-5f);
    Swim::shared.charge = 1.99f;
    frame(0.1f);
    EXPECT_FLOAT_EQ(Swim::shared.charge, 2.0f) << "never past the max charge time";
}

// Speed above 0.1 moves the swimmer by the frame's share of the path, times the speed and the
// speed variable; at 0.1 or less it does not move; below 1.0 the coast turns to the rest pose.
TEST_F(SwimAnimatorTest, TheSpeedMovesTheSwimmerAboveATenthAndTheCoastEndsBelowOne) {
    auto* variable = new VariableObject(root(), smgr(), 12);
    variable->drop();
    variable->Value = 0.5f;
    manager->registerNodeIDs(variable);
    struct Row {
        f32 speed;
        bool useVariable;
        f32 moved; // units in 0.1 s on a 5 s path of 100 units
        s32 stateAfterCoast;
    } rows[] = {
        {0.1f, false, 0.0f, Swim::CoastToIdle},  {0.11f, false, 0.22f, Swim::CoastToIdle},
        {1.0f, false, 2.0f, Swim::CoastIdle},    {0.99f, false, 1.98f, Swim::CoastToIdle},
        {2.0f, true, 2.0f, Swim::CoastIdle},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.speed);
        scene::ISceneNode* swimmer = addNode({0, 0, 0});
        Swim* swim = addSwimmer(swimmer, [&](Attributes* a) {
            a->addFloat("WindDownRate", 0);
            if (row.useVariable)
                a->addInt("SpeedVariableObjectID", 12);
        });
        frame(0.001f);
        Swim::shared = Swim::SwimState();
        Swim::shared.state = Swim::CoastIdle;
        Swim::shared.speed = Swim::shared.targetSpeed = row.speed;
        swim->currentTime = 0.5f;
        frame(0.1f);
        EXPECT_NEAR(swim->currentTime, 0.5f + row.moved / 100.0f, 1e-5f);
        EXPECT_EQ(swimmer->getAbsolutePosition(), swim->splineNode->getPosition(swim->currentTime)) << "on its path";
        EXPECT_EQ(Swim::shared.state, row.stateAfterCoast);
        EXPECT_EQ(swim->speedVariable != nullptr, row.useVariable);
        swimmer->remove();
    }
}

// Outside play an enabled swimmer glides at the path's own pace whatever its speed; a
// disabled one goes back to the start of its path, and so does one that resets on disable
// during play, while one that does not stays where it was.
TEST_F(SwimAnimatorTest, OutsidePlayItGlidesAndADisabledSwimmerGoesBackToTheStartOnlyWhenAsked) {
    scene::ISceneNode* swimmer = addNode({0, 0, 0});
    Swim* swim = addSwimmer(swimmer);
    frame(0.001f);
    coreSlots().physics.isSimulationActive = [] { return false; };
    swim->currentTime = 0.5f;
    frame(0.1f);
    EXPECT_NEAR(swim->currentTime, 0.52f, 1e-4f) << "0.1 s of a 5 s path, at speed 0";
    swim->setEnabled(false);
    frame(0.1f);
    EXPECT_EQ(swim->currentTime, 0.0f);
    EXPECT_FALSE(swim->wasEnabled);

    coreSlots().physics.isSimulationActive = [] { return true; };
    for (const bool reset : {false, true}) {
        SCOPED_TRACE(reset);
        Swim* off = addSwimmer(addNode({0, 0, 0}), [&](Attributes* a) { a->addBool("ResetOnDisable", reset); });
        frame(0.001f);
        off->currentTime = 0.5f;
        off->setEnabled(false);
        frame(0.1f);
        EXPECT_EQ(off->currentTime, reset ? 0.0f : 0.5f);
    }
}

// Enabling one swim animator of a node switches the node's other swim animators off; turning
// one off leaves the others as they are.
TEST_F(SwimAnimatorTest, EnablingOneSwimAnimatorOfANodeSwitchesTheOthersOff) {
    scene::ISceneNode* swimmer = addNode({0, 0, 0});
    Swim* first = addSwimmer(swimmer);
    Swim* second = addSwimmer(swimmer);
    AnimatorBase* other = makeAnimator("moveRotation", swimmer, [](Attributes*) {});
    first->setEnabled(true);
    EXPECT_TRUE(first->isEnabled());
    EXPECT_FALSE(second->isEnabled());
    EXPECT_TRUE(other->isEnabled()) << "only swim animators";
    second->setEnabled(true);
    EXPECT_FALSE(first->isEnabled());
    EXPECT_TRUE(second->isEnabled());
    first->setEnabled(false);
    EXPECT_TRUE(second->isEnabled());
}

// The previous path and the mesh owner are found by their IDs only among objects of their
// kinds; a mesh owner named by ID flashes three times once the charge passes 80 %.
TEST_F(SwimAnimatorTest, ANearlyFullChargeFlashesTheMeshOwnerThreeTimesInHalfASecond) {
    addStraightPath(79, 100.0f, -100.0f);
    addNode({0, 0, 0}, 80);
    PhysicsObject* figure = addFigure(81);
    scene::ISceneNode* swimmer = addNode({0, 0, 0});
    Swim* swim = addSwimmer(swimmer, [](Attributes* a) {
        a->addInt("PrevSplineObjectID", 79);
        a->addInt("MeshObjectID", 81);
    });
    Swim* plainOwner = addSwimmer(addNode({0, 0, 0}), [](Attributes* a) {
        a->addInt("PrevSplineObjectID", 80);
        a->addInt("MeshObjectID", 80);
    });
    plainOwner->setEnabled(false);
    frame(0.001f);
    EXPECT_EQ(swim->previousSpline, manager->getSceneNodeFromID(79));
    EXPECT_EQ(swim->meshOwner, figure);
    EXPECT_EQ(plainOwner->previousSpline, nullptr) << "not a path";
    EXPECT_EQ(plainOwner->meshOwner, nullptr) << "not a mesh owner";
    EXPECT_TRUE(swim->jointCallbackAdded);

    const video::SColor dark(0xFF000000), lit(0xFFC8C8C8);
    const auto emissive = [&] { return figure->getMaterial(0).EmissiveColor; };
    Swim::shared.charge = 1.6f;
    frame(0.03f);
    EXPECT_EQ(emissive(), dark) << "80 % exactly does not flash";
    Swim::shared.charge = 1.61f;
    // Lit in the even tenths of the timer: after 0.03, 0.21 and 0.48 s, dark after 0.12 and 0.51 s.
    const struct {
        int frame;
        bool lit;
    } steps[] = {{1, true}, {4, false}, {7, true}, {16, true}, {17, false}, {20, false}};
    int done = 0;
    for (const auto& step : steps) {
        for (; done < step.frame; ++done)
            frame(0.03f);
        EXPECT_EQ(emissive(), step.lit ? lit : dark) << "frame " << step.frame;
    }
    Swim::shared.charge = 1.0f;
    frame(0.03f);
    Swim::shared.charge = 1.61f;
    frame(0.03f);
    EXPECT_EQ(emissive(), lit) << "a charge below the mark restarts the flashes";
    swim->setReversed(true);
    frame(0.03f);
    EXPECT_EQ(emissive(), dark) << "no flash while flinching";
}

// With the swimmer figure, each state plays its own frames of the profile: at 30 frames a
// second, except the two moves into the charged pose, which last the max charge time; the
// idle, coast and charged poses loop.
TEST_F(SwimAnimatorTest, EachStatePlaysItsFramesWithItsLoopAndSpeed) {
    PhysicsObject* figure = addFigure();
    Swim* swim = addSwimmer(figure, [](Attributes* a) {
        a->addFloat("WindDownRate", 0);
        a->addFloat("MaxChargeTime", 4);
    });
    frame(0.001f);
    scene::IAnimatedMeshSceneNode* mesh = figure->getMeshNode();
    ASSERT_EQ(swim->meshNode, mesh);
    const bool loops[Swim::StateCount] = {false, true, false, false, true, false, true, false, false};
    for (s32 state : {Swim::Blast, Swim::CoastToCharge, Swim::ChargedIdle, Swim::MidBlast, Swim::CoastIdle,
                      Swim::Idle, Swim::IdleToCharge, Swim::Flinch}) {
        SCOPED_TRACE(state);
        Swim::shared.state = state;
        Swim::shared.speed = Swim::shared.targetSpeed = 1.5f;
        frame(0.001f);
        ASSERT_EQ(Swim::shared.state, state);
        EXPECT_EQ(Swim::shared.lastPlayed, state);
        const auto [first, last] = swim->animationRanges[state];
        EXPECT_EQ(mesh->getStartFrame(), first);
        EXPECT_EQ(mesh->getEndFrame(), last);
        EXPECT_EQ(mesh->getLoopMode(), loops[state]);
        const bool intoCharge = state == Swim::IdleToCharge || state == Swim::CoastToCharge;
        EXPECT_FLOAT_EQ(mesh->getAnimationSpeed(), intoCharge ? (last - first) / 4.0f : 30.0f);
    }
}

// A whole stroke with the figure: the move into the charged pose ends in the charged idle
// pose, the release blasts, the blast's end coasts, the slow coast winds down to rest.
TEST_F(SwimAnimatorTest, AStrokeRunsFromRestThroughTheBlastBackToRest) {
    PhysicsObject* figure = addFigure();
    addSwimmer(figure);
    frame(0.001f);
    held = true;
    frame(0.05f);
    EXPECT_EQ(Swim::shared.state, Swim::IdleToCharge);
    frame(0.05f);
    EXPECT_EQ(Swim::shared.state, Swim::IdleToCharge) << "the move into the charge lasts the max charge time";
    ASSERT_TRUE(runUntilState(Swim::ChargedIdle, 0.05f, 60));
    held = false;
    frame(0.05f);
    EXPECT_EQ(Swim::shared.state, Swim::Blast);
    for (int i = 0; i < 200 && Swim::shared.state == Swim::Blast; ++i)
        frame(0.05f);
    // The blast's end coasts; a coast slower than 1 turns to rest, and the blast's ended
    // animation ends that turn in the same frame.
    EXPECT_EQ(Swim::shared.state, Swim::shared.speed < 1.0f ? Swim::Idle : Swim::CoastIdle);
    // A fast coast slows down, turns to rest below 1 and rests once that animation ends.
    Swim::shared.state = Swim::CoastIdle;
    Swim::shared.speed = Swim::shared.targetSpeed = 2.0f;
    frame(0.05f);
    EXPECT_EQ(Swim::shared.state, Swim::CoastIdle);
    ASSERT_TRUE(runUntilState(Swim::CoastToIdle, 0.05f, 40));
    EXPECT_LT(Swim::shared.speed, 1.0f);
    frame(0.05f);
    EXPECT_EQ(Swim::shared.state, Swim::CoastToIdle) << "its animation has just begun";
    ASSERT_TRUE(runUntilState(Swim::Idle, 0.05f, 200)) << "the turn's end rests";
    // Charging again from the coast.
    Swim::shared.state = Swim::CoastIdle;
    held = true;
    frame(0.05f);
    ASSERT_EQ(Swim::shared.state, Swim::CoastToCharge);
    EXPECT_TRUE(runUntilState(Swim::ChargedIdle, 0.05f, 60));
}

// With hardware skinning the tail joints Curve2 to Curve6 lie on the path behind the swimmer,
// a quarter unit apart (in the figure's frame, Z up); those before the path's start lie on
// the previous path, or, without one, straight back from the start. Through the figure's own
// joint frames they land on those path points in the world, so each tail segment, fin
// included, is drawn there.
class SwimTailTest : public SwimAnimatorTest, public ::testing::WithParamInterface<bool> {};

TEST_P(SwimTailTest, WithHardwareSkinningTheTailLiesAlongThePathBehindTheSwimmer) {
    useHardwareSkinning();
    auto [previous, path, figure, swim] = addTailedSwimmer(GetParam());
    frame(0.001f);
    swim->currentTime = 0.006f; // Curve2 and Curve3 on the path, the rest on the previous one
    frame(0.001f);
    figure->updateAnimation(false);
    ASSERT_NEAR(swim->splineLength, 100.0f, 1e-3f);
    scene::IAnimatedMeshSceneNode* mesh = figure->getMeshNode();
    core::matrix4 inverse;
    mesh->getAbsoluteTransformation().getInverse(inverse);
    for (s32 k = 1; k <= 5; ++k) {
        const core::stringc name = core::stringc("Curve") + core::stringc(k + 1);
        SCOPED_TRACE(name.c_str());
        const f32 progress = swim->currentTime - static_cast<f32>(k) * 0.0025f;
        // The path runs along x from 0: straight back from it lies at x = progress * 100.
        const core::vector3df world = progress >= 0.0f ? path->getPosition(progress)
                                      : GetParam()    ? previous->getPosition(progress + 1.0f)
                                                      : core::vector3df(progress * 100.0f, 0, 0);
        core::vector3df expected = world;
        inverse.transformVect(expected);
        scene::IBoneSceneNode* joint = mesh->getJointNode(name.c_str());
        ASSERT_NE(joint, nullptr);
        expectNear(joint->getPosition(), {expected.X, -expected.Z, expected.Y}, 1e-3f);
        std::vector<scene::ISceneNode*> chain;
        for (scene::ISceneNode* node = joint; node; node = node->getParent())
            chain.push_back(node);
        for (auto node = chain.rbegin(); node != chain.rend(); ++node)
            (*node)->updateAbsolutePosition();
        expectNear(joint->getAbsolutePosition(), world, 1e-3f);
    }
}

INSTANTIATE_TEST_SUITE_P(PathBefore, SwimTailTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Named" : "None");
                         });

// Without hardware skinning the mesh's own animation poses the tail: the path leaves it alone.
TEST_F(SwimAnimatorTest, WithoutHardwareSkinningTheTailKeepsItsAnimatedPose) {
    useHardwareSkinning();
    effectHandler->hardwareSkinning = false; // the effects run, the skinning is the engine's
    auto [previous, path, figure, swim] = addTailedSwimmer();
    frame(0.001f);
    swim->currentTime = 0.5f;
    frame(0.001f);
    figure->updateAnimation(false);
    scene::IAnimatedMeshSceneNode* mesh = figure->getMeshNode();
    core::matrix4 inverse;
    mesh->getAbsoluteTransformation().getInverse(inverse);
    core::vector3df onPath = path->getPosition(swim->currentTime - 0.0025f);
    inverse.transformVect(onPath);
    scene::IBoneSceneNode* joint = mesh->getJointNode("Curve2");
    ASSERT_NE(joint, nullptr);
    EXPECT_GT(joint->getPosition().getDistanceFrom({onPath.X, -onPath.Z, onPath.Y}), 0.1f);
}

// The demonstration pond's fish: a loop (its last point on its first) with no path before it,
// flinched back twice from a quarter of the way round until it stands at the start. Through
// both flinches its tail stays in one piece: the figure, then Curve2 to Curve6, each about a
// quarter unit from the one ahead (on the loop's end once behind the start).
TEST_F(SwimAnimatorTest, TheTailStaysInOnePieceThroughTwoFlinchesPastTheStartOfALoop) {
    useHardwareSkinning();
    auto* loop = new SplineObject(root(), smgr(), 90);
    loop->drop();
    std::vector<core::vector3df> corners;
    for (int i = 0; i <= 8; ++i) {
        const f32 angle = core::PI * 0.25f * static_cast<f32>(i % 8);
        corners.push_back({2.3f * std::sin(angle), 1.15f, 1.05f * std::cos(angle)});
    }
    f32 length = 0.0f;
    std::vector<f32> along{0.0f};
    for (std::size_t i = 1; i < corners.size(); ++i)
        along.push_back(length += corners[i].getDistanceFrom(corners[i - 1]));
    for (std::size_t i = 0; i < corners.size(); ++i) {
        auto* point = new SplineObject(loop, smgr(), -1);
        point->drop();
        point->setPosition(corners[i]);
        point->Time = along[i] / length;
    }
    manager->registerNodeIDs(loop);
    PhysicsObject* fish = addFigure();
    Swim* swim = static_cast<Swim*>(makeAnimator("swimSpline", fish, [](Attributes* a) {
        a->addInt("SplineObjectID", 90);
        a->addFloat("TimeToComplete", 3);
        a->addBool("AffectRotation", true);
    }));
    frame(0.001f);
    swim->currentTime = 0.25f;
    scene::IAnimatedMeshSceneNode* mesh = fish->getMeshNode();
    ASSERT_NE(mesh, nullptr);
    // The largest gap between neighbours (the figure, then Curve2 to Curve6) in this frame.
    const auto widestGap = [&] {
        fish->updateAnimation(false);
        core::vector3df ahead = fish->getAbsolutePosition();
        f32 widest = 0.0f;
        for (s32 k = 2; k <= 6; ++k) {
            scene::IBoneSceneNode* joint = mesh->getJointNode((core::stringc("Curve") + core::stringc(k)).c_str());
            EXPECT_NE(joint, nullptr);
            if (!joint)
                return widest;
            std::vector<scene::ISceneNode*> chain;
            for (scene::ISceneNode* node = joint; node; node = node->getParent())
                chain.push_back(node);
            for (auto node = chain.rbegin(); node != chain.rend(); ++node)
                (*node)->updateAbsolutePosition();
            widest = std::max(widest, joint->getAbsolutePosition().getDistanceFrom(ahead));
            ahead = joint->getAbsolutePosition();
        }
        return widest;
    };
    for (int flinch = 1; flinch <= 2; ++flinch) {
        SCOPED_TRACE(flinch);
        swim->setReversed(true);
        f32 widest = 0.0f;
        for (int i = 0; i < 90 && swim->isReversed(); ++i) {
            frame(1.0f / 60.0f);
            widest = std::max(widest, widestGap());
        }
        EXPECT_FALSE(swim->isReversed()) << "the flinch ended";
        EXPECT_LE(widest, 0.4f) << "a quarter unit apart along the curve; a joint left behind ends up 0.7 off";
    }
    EXPECT_EQ(swim->currentTime, 0.0f) << "back at the start";
}
