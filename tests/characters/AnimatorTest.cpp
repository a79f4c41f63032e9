// The animators: the factory's table, the shared attributes, each type's round trip, and
// each type's motion at chosen times.
#include "AnimatorFixture.h"
#include "../gui/GuiFixture.h"

#include "core/CoreSlots.h"

#include "characters/CharacterRegistration.h"
#include "characters/animators/AnimatorFactory.h"
#include "characters/animators/AppearanceAnimators.h"
#include "characters/animators/BoneAnimators.h"
#include "characters/animators/MovementAnimators.h"
#include "characters/animators/ObjectAnimators.h"
#include "characters/animators/SwimSplineAnimator.h"
#include "level/LevelManager.h"
#include "level/MeshGate.h"
#include "core/Globals.h"
#include "level/SaveManager.h"
#include "level/SplineObject.h"
#include "level/VariableObject.h"
#include "phys/RigidBody.h"
#include "physics/objects/PhysicsObjectSettings.h"
#include "physics/objects/RespawnScaleAnimator.h"
#include "physics/world/PhysicsHooks.h"
#include "physics/world/PhysicsManager.h"
#include "render/BillboardObject.h"
#include "render/DrawnObjects.h"
#include "render/EffectHandler.h"
#include "triggers/CheckpointObject.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace irr;
using Attributes = io::IAttributes;
using test::expectNear;

#include <algorithm>

namespace {

class AnimatorTest : public AnimatorFixture {
protected:
    // A skinned figure (30 frames a second) without a body.
    PhysicsObject* addFigure() {
        PhysicsObject* figure = makeObject([](Attributes* a) {
            a->addString("MeshFileName", "Content/Models/Characters/Everyman1.b3d");
            a->addEnum("BoundType", "None", boundTypeNames);
        });
        EXPECT_NE(figure->getMeshNode(), nullptr);
        return figure;
    }
};

// A node with a spinner, for the table's per-type round trip.
const std::pair<const char*, std::function<void(Attributes*)>> typeSettings[] = {
    {"moveStraight", [](Attributes* a) { a->addVector3d("End", {1, 2, 3}); a->addInt("TimeForWay", 1500); a->addBool("PingPong", true); }},
    {"moveSpline", [](Attributes* a) { a->addFloat("Speed", 0.5f); a->addVector3d("Point1", {1, 0, 0}); a->addVector3d("Point2", {4, 0, 0}); a->addVector3d("Rotation2", {0, 90, 0}); a->addBool("AnimateScale", true); }},
    {"animateFrame", [](Attributes* a) { a->addInt("StartFrame", 4); a->addInt("EndFrame", 9); a->addBool("ChangeFPS", true); a->addFloat("NewFPS", 12); }},
    {"animateTexture", [](Attributes* a) { a->addFloat("FramesPerSecond", 8); a->addBool("Loop", false); }},
    {"animateUVs", [](Attributes* a) { a->addVector2d("TranslationSpeed", {0.25f, 0}); a->addBool("ApplyToAllMaterials", false); a->addInt("MaterialIndex", 2); }},
    {"animateColor", [](Attributes* a) { a->addFloat("TimeToFade", 2); a->addColor("OriginalColor", video::SColor(255, 10, 20, 30)); a->addBool("PingPong", true); }},
    {"animateSpline", [](Attributes* a) { a->addInt("SplineObjectID", 77); a->addFloat("TimeToComplete", 4); a->addBool("CapToFramerate", true); }},
    {"parentToObject", [](Attributes* a) { a->addInt("ParentObjectID", 5); a->addBool("UseParentPosition", true); a->addString("ExcludePositionAxes", "xz"); }},
    {"attachToMeshBone", [](Attributes* a) { a->addInt("ParentID", 9); a->addString("JointName", "hipsJt"); a->addBool("UseCurrentJoint", true); }},
    {"controlMeshBone", [](Attributes* a) { a->addString("ControlType", "Multiple Nodes"); a->addInt("JointCount", 2); a->addInt("JointPhysicsObjectID1", 31); a->addInt("JointPhysicsObjectID2", 32); a->addInt("OrientPhysicsObjectID2", 33); }},
    {"physicsForce", [](Attributes* a) { a->addVector3d("Force", {0, 50, 0}); a->addString("ForceMode", "Velocity Change"); }},
    {"moveFlyCircle", [](Attributes* a) { a->addFloat("Radius", 4); a->addFloat("RadiusEllipsoid", 2); a->addVector3d("Direction", {0, 0, 2}); }},
    {"moveRotation", [](Attributes* a) { a->addVector3d("Rotation", {0, 1, 0}); a->addInt("SpeedVariableID", 12); }},
    {"rotateTowards", [](Attributes* a) { a->addInt("TargetObjectID", 3); }},
    {"swimSpline", [](Attributes* a) { a->addFloat("MaxChargeAmount", 3); a->addFloat("WindDownRate", 1.5f); a->addInt("MeshObjectID", 8); }},
};

} // namespace

TEST_F(AnimatorTest, TheFactoryKnowsFifteenTypesByExactName) {
    struct Row {
        const char* name;
        s32 type;
    } rows[] = {{"moveStraight", 1000}, {"animateColor", 1005}, {"attachToMeshBone", 1008},
                {"swimSpline", 1014},   {"MoveStraight", 10},   {"", 10}, {"flyCircle", 10}};
    for (const Row& row : rows) {
        EXPECT_EQ(findAnimatorType(row.name), row.type) << row.name;
        scene::ISceneNodeAnimator* made = factory->createSceneNodeAnimator(row.name, nullptr);
        EXPECT_EQ(made != nullptr, row.type != 10) << row.name;
        if (made) {
            EXPECT_EQ(static_cast<s32>(made->getType()), row.type);
            made->drop();
        }
    }
    EXPECT_EQ(factory->getCreatableSceneNodeAnimatorTypeCount(), 15u);
    // Without a level every type is made and dropped cleanly.
    LevelManager* const level = levelManager;
    levelManager = nullptr;
    for (u32 i = 0; i < 15u; ++i)
        if (scene::ISceneNodeAnimator* loose = factory->createSceneNodeAnimator(factory->getCreateableSceneNodeAnimatorTypeName(i), nullptr))
            loose->drop();
    levelManager = level;
    // Each of the fifteen is made by its name and reports its own type.
    for (u32 i = 0; i < 15u; ++i) {
        const c8* name = factory->getCreateableSceneNodeAnimatorTypeName(i);
        ASSERT_NE(name, nullptr) << i;
        EXPECT_EQ(findAnimatorType(name), 1000 + static_cast<s32>(i)) << name;
        const auto type = factory->getCreateableSceneNodeAnimatorType(i);
        EXPECT_EQ(static_cast<s32>(type), 1000 + static_cast<s32>(i)) << name;
        EXPECT_STREQ(factory->getCreateableSceneNodeAnimatorTypeName(type), name);
        scene::ISceneNodeAnimator* made = factory->createSceneNodeAnimator(name, nullptr);
        ASSERT_NE(made, nullptr) << name;
        EXPECT_EQ(static_cast<s32>(made->getType()), 1000 + static_cast<s32>(i)) << name;
        // None takes input, so none on a camera swallows a key meant for the game.
        SEvent key{};
        key.EventType = EET_KEY_INPUT_EVENT;
        EXPECT_FALSE(made->isEventReceiverEnabled()) << name;
        EXPECT_FALSE(made->OnEvent(key)) << name;
        made->drop();
    }
    EXPECT_EQ(static_cast<s32>(factory->getCreateableSceneNodeAnimatorType(14)), 1014);
    EXPECT_STREQ(factory->getCreateableSceneNodeAnimatorTypeName(static_cast<scene::ESCENE_NODE_ANIMATOR_TYPE>(1009)),
                 "controlMeshBone");
    EXPECT_EQ(factory->getCreateableSceneNodeAnimatorTypeName(static_cast<scene::ESCENE_NODE_ANIMATOR_TYPE>(1015)), nullptr);
    EXPECT_STREQ(factory->getCreateableSceneNodeAnimatorTypeName(scene::ESNAT_FLY_CIRCLE), "flyCircle")
        << "types below 1000 are the engine's";
    EXPECT_STREQ(factory->getCreateableSceneNodeAnimatorTypeName(14u), "swimSpline") << "by index";
    // The respawn effect's scaler is made by its own name too.
    scene::ISceneNodeAnimator* scaler = factory->createSceneNodeAnimator(RespawnScaleAnimator::typeName, nullptr);
    ASSERT_NE(scaler, nullptr);
    EXPECT_EQ(scaler->getType(), RespawnScaleAnimator::typeCode());
    scaler->drop();
    EXPECT_EQ(factory->getCreateableSceneNodeAnimatorTypeName(15u), nullptr);

    scene::ISceneNodeAnimator* loose = factory->createSceneNodeAnimator(AnimatorType::AttachToMeshBone, nullptr);
    ASSERT_NE(loose, nullptr);
    loose->drop();
    scene::ISceneNode* target = addNode({0, 0, 0});
    scene::ISceneNodeAnimator* colour = factory->createSceneNodeAnimator(AnimatorType::AnimateColor, target);
    EXPECT_EQ(target->getAnimators().size(), 1u);
    colour->drop();
    // The scene manager asks this factory before its own.
    scene::ISceneNodeAnimator* viaScene = smgr()->createSceneNodeAnimator("moveRotation", target);
    ASSERT_NE(viaScene, nullptr);
    EXPECT_EQ(static_cast<s32>(viaScene->getType()), AnimatorType::MoveRotation);
    viaScene->drop();
    // A new circle flies round where its node stands, 10 units out, about the vertical.
    scene::ISceneNode* flyer = addNode({3, 4, 0});
    auto* circle = static_cast<FlyCircleAnimator*>(factory->createSceneNodeAnimator("moveFlyCircle", flyer));
    ASSERT_NE(circle, nullptr);
    expectNear(circle->center, {3, 4, 0});
    EXPECT_FLOAT_EQ(circle->radius, 10.0f);
    expectNear(circle->direction, {0, 1, 0});
    circle->animateNode(flyer, circle->lastTime + 500);
    EXPECT_NEAR(flyer->getPosition().getDistanceFrom({3, 4, 0}), 10.0f, 1e-3f);
    EXPECT_NEAR(flyer->getPosition().Y, 4.0f, 1e-4f);
    circle->drop();
}

// A type name that is missing altogether (an element without one) is unknown: the lookup
// and the factory answer nothing instead of reading through a null name.
TEST_F(AnimatorTest, AMissingTypeNameIsUnknownAndMakesNothing) {
    EXPECT_EQ(findAnimatorType(nullptr), 10);
    EXPECT_EQ(factory->createSceneNodeAnimator(static_cast<const c8*>(nullptr), nullptr), nullptr);
}

TEST_F(AnimatorTest, EveryTypeWritesTheBaseKeysFirstAndRoundTripsAndClones) {
    scene::ISceneNode* node = addNode({1, 2, 3});
    for (const auto& [type, fill] : typeSettings) {
        SCOPED_TRACE(type);
        AnimatorBase* animator = makeAnimator(type, node, [&](Attributes* a) {
            a->addInt("ID", 42);
            a->addBool("Reversed", true);
            fill(a);
        });
        ASSERT_NE(animator, nullptr);
        const std::vector<std::string> lines = written(animator);
        ASSERT_GE(lines.size(), 4u);
        EXPECT_EQ(lines[0], "ID=42");
        EXPECT_EQ(lines[1], "Enabled=true");
        EXPECT_EQ(lines[2], "Reversed=true");
        EXPECT_EQ(lines[3] == "EnabledInEditor=true", std::string(type) != "animateTexture");
        // Every key the row sets away from its default is written (an older name under the new one).
        Attributes* given = newAttributes();
        fill(given);
        for (u32 i = 0; i < given->getAttributeCount(); ++i) {
            const std::string name = given->getAttributeName(static_cast<s32>(i));
            const std::string key = (name == "MaxChargeAmount" ? "MaxChargeTime" : name) + "=";
            EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(key, 0) == 0; }))
                << key;
        }
        given->drop();

        scene::ISceneNodeAnimator* fresh = factory->createSceneNodeAnimator(type, nullptr);
        Attributes* store = newAttributes();
        animator->serializeAttributes(store);
        fresh->deserializeAttributes(store);
        store->drop();
        EXPECT_EQ(written(fresh), lines) << "read back";
        fresh->drop();
        scene::ISceneNodeAnimator* clone = animator->createClone(node, smgr());
        EXPECT_EQ(written(clone), lines) << "clone";
        clone->drop();

        // "Reversed" is kept when missing, "Enabled" reads false when missing.
        Attributes* bare = newAttributes();
        bare->addInt("ID", 1);
        animator->deserializeAttributes(bare);
        bare->drop();
        EXPECT_TRUE(animator->isReversed());
        EXPECT_FALSE(animator->isEnabled());
    }
}

TEST_F(AnimatorTest, TheStraightMoverSlidesLoopsAndBouncesByItsFlags) {
    struct Row {
        const char* what;
        bool loop, pingPong;
        f32 seconds;
        f32 expectedY;
        bool reversed = false;
        s32 timeForWay = 2000;
    } rows[] = {
        {"halfway after 1 s", false, false, 1.0f, 5.0f},
        {"rests at the end", false, false, 3.0f, 10.0f},
        {"ping-pong comes back once and rests at the start", false, true, 6.0f, 0.0f},
        // A wrap or turn drops the step that passed the end: 0.025 of progress here.
        {"loop jumps back to the start", true, false, 2.5f, 2.25f},
        {"ping-pong with loop bounces on", true, true, 2.5f, 7.75f},
        {"reversed loop jumps on to the end", true, false, 1.0f, 5.25f, true},
        {"reversed ping-pong with loop bounces off the start", true, true, 1.0f, 4.75f, true},
        {"a way of no time takes a second", false, false, 0.5f, 5.0f, false, 0},
    };
    for (const Row& row : rows) {
        scene::ISceneNode* node = addNode({0, 0, 0});
        makeAnimator("moveStraight", node, [&](Attributes* a) {
            a->addVector3d("End", {0, 10, 0});
            a->addInt("TimeForWay", row.timeForWay);
            a->addBool("Loop", row.loop);
            a->addBool("PingPong", row.pingPong);
            a->addBool("Reversed", row.reversed);
        });
        run(0.05f, static_cast<int>(row.seconds / 0.05f + 0.5f));
        EXPECT_NEAR(node->getPosition().Y, row.expectedY, 0.05f) << row.what;
        node->remove();
    }
}

// A ping-pong mover turns only once it has passed its end: landing exactly on it, it stays
// there for one more frame.
TEST_F(AnimatorTest, APingPongMoverTurnsOnlyPastItsEnd) {
    scene::ISceneNode* node = addNode({0, 0, 0});
    auto* mover = static_cast<MoveStraightAnimator*>(makeAnimator("moveStraight", node, [](Attributes* a) {
        a->addVector3d("End", {0, 10, 0});
        a->addInt("TimeForWay", 1000);
        a->addBool("PingPong", true);
    }));
    run(0.25f, 4);
    EXPECT_EQ(mover->progress, 1.0f);
    EXPECT_EQ(mover->directionFactor, 1.0f) << "on the end, not past it";
    run(0.25f, 1);
    EXPECT_EQ(mover->progress, 1.0f);
    EXPECT_EQ(mover->directionFactor, -1.0f);
    run(0.25f, 1);
    EXPECT_NEAR(node->getPosition().Y, 7.5f, 1e-4f);
}

// A scroller or fade on all materials writes no material index; one on a single material does.
TEST_F(AnimatorTest, OnlyASingleMaterialAnimatorWritesItsIndex) {
    for (const char* type : {"animateUVs", "animateColor"}) {
        for (const bool all : {true, false}) {
            SCOPED_TRACE(testing::Message() << type << (all ? " on all" : " on one"));
            AnimatorBase* animator = makeAnimator(type, addNode({0, 0, 0}), [&](Attributes* a) {
                a->addBool("ApplyToAllMaterials", all);
                a->addInt("MaterialIndex", 2);
            });
            const std::vector<std::string> lines = written(animator);
            EXPECT_EQ(std::count(lines.begin(), lines.end(), "MaterialIndex=2"), all ? 0 : 1);
        }
    }
}

TEST_F(AnimatorTest, TheSplineMoverFollowsItsKeysAndTheCircleItsAxes) {
    scene::ISceneNode* node = addNode({0, 0, 0});
    auto* spline = static_cast<MoveSplineAnimator*>(makeAnimator("moveSpline", node, [](Attributes* a) {
        a->addFloat("Speed", 0.5f);
        a->addBool("Loop", false);
        a->addBool("LinearMovement", true);
        a->addBool("AnimateRotation", true);
        a->addVector3d("Point1", {0, 0, 0});
        a->addVector3d("Point2", {10, 0, 0});
        a->addVector3d("Point3", {10, 0, 10});
        a->addVector3d("Rotation3", {0, 90, 0});
    }));
    run(0.05f, 10); // progress 0.25: half of the first segment
    expectNear(node->getPosition(), {5, 0, 0}, 0.01f);
    run(0.05f, 30); // the end: just before the last point
    expectNear(node->getPosition(), {10, 0, 10}, 0.01f);
    EXPECT_NEAR(node->getRotation().Y, 90.0f, 0.1f);
    EXPECT_EQ(written(spline, nullptr).size(), written(spline).size());
    io::SAttributeReadWriteOptions editor;
    editor.Flags = io::EARWF_FOR_EDITOR;
    EXPECT_EQ(written(spline, &editor).size(), written(spline).size() + 2) << "one zero point and rotation more";

    scene::ISceneNode* flyer = addNode({0, 0, 0});
    auto* circle = static_cast<FlyCircleAnimator*>(makeAnimator("moveFlyCircle", flyer, [](Attributes* a) {
        a->addFloat("Radius", 10);
        a->addFloat("Speed", 0.001f);
        a->addVector3d("Direction", {0, 0, 0});
    }));
    expectNear(circle->direction, {0, 1, 0});
    circle->startTime = circle->lastTime = 1000;
    circle->animateNode(flyer, 1000 + 1571);
    expectNear(flyer->getPosition(), {0, 0, 10}, 0.01f);
    circle->setReversed(true);
    circle->animateNode(flyer, 1000 + 1571 + 500);
    circle->setReversed(false);
    circle->animateNode(flyer, 1000 + 1571 + 500);
    // Reversed for 0.5 s: where it stood 0.5 s before the reversal began (angle 1.071).
    expectNear(flyer->getPosition(), {-10.0f * std::cos(1.071f), 0, 10.0f * std::sin(1.071f)}, 0.01f);
}

TEST_F(AnimatorTest, TheSpinnerTurnsByItsRateAndVariableAndTheTurnerFacesItsTarget) {
    auto* speed = new VariableObject(root(), smgr(), 12);
    speed->drop();
    manager->registerNodeIDs(speed);
    speed->Value = 0.5f;
    scene::ISceneNode* plain = addNode({0, 0, 0});
    scene::ISceneNode* scaled = addNode({0, 0, 0});
    makeAnimator("moveRotation", plain, [](Attributes* a) { a->addVector3d("Rotation", {0, 1, 0}); });
    makeAnimator("moveRotation", scaled, [](Attributes* a) {
        a->addVector3d("Rotation", {0, 1, 0});
        a->addInt("SpeedVariableID", 12);
    });
    run(1.0f / 60.0f, 60);
    EXPECT_NEAR(plain->getRotation().Y, 100.0f, 0.2f);
    EXPECT_NEAR(scaled->getRotation().Y, 50.0f, 0.2f);

    addNode({3, 20, 4}, 3);
    scene::ISceneNode* turner = addNode({3, 0, 4});
    makeAnimator("rotateTowards", turner, [](Attributes* a) { a->addInt("TargetObjectID", 3); });
    frame();
    core::vector3df forward(0, 0, 1);
    core::matrix4 turn;
    turn.setRotationDegrees(turner->getRotation());
    turn.rotateVect(forward);
    expectNear(forward, {0, 1, 0}, 0.001f);
}

TEST_F(AnimatorTest, TheColourFadesAlongASmoothstepOnMaterialsAndLights) {
    scene::ISceneNode* box = smgr()->addCubeSceneNode(1.0f, root());
    makeAnimator("animateColor", box, [](Attributes* a) {
        a->addFloat("TimeToFade", 2);
        a->addColor("OriginalColor", video::SColor(255, 0, 0, 0));
        a->addColor("TargetColor", video::SColor(255, 200, 100, 0));
        a->addBool("Loop", false);
    });
    scene::ILightSceneNode* light = smgr()->addLightSceneNode(root());
    makeAnimator("animateColor", light, [](Attributes* a) {
        a->addFloat("TimeToFade", 1);
        a->addColor("OriginalColor", video::SColor(255, 0, 0, 0));
        a->addColor("TargetColor", video::SColor(255, 255, 255, 255));
        a->addBool("PingPong", true);
    });
    run(0.1f, 5);
    // A quarter of the way in time is 3t^2 - 2t^3 = 0.15625 of the colour, rounded.
    EXPECT_EQ(box->getMaterial(0).DiffuseColor, video::SColor(255, 31, 16, 0)) << "a quarter: smoothstep";
    run(0.1f, 5);
    EXPECT_EQ(box->getMaterial(0).DiffuseColor, video::SColor(255, 100, 50, 0)) << "halfway: smoothstep 0.5";
    EXPECT_NEAR(light->getLightData().DiffuseColor.r, 1.0f, 0.01f) << "the light reached its target";
    run(0.1f, 20);
    EXPECT_EQ(box->getMaterial(0).DiffuseColor, video::SColor(255, 200, 100, 0)) << "no loop: stays at the target";
    EXPECT_NEAR(light->getLightData().DiffuseColor.r, 0.0f, 0.01f) << "ping-pong: back at the start, and stays";
}

TEST_F(AnimatorTest, TextureCoordinatesScrollAndSpriteFramesReachBillboards) {
    scene::ISceneNode* box = smgr()->addCubeSceneNode(1.0f, root());
    makeAnimator("animateUVs", box, [](Attributes* a) { a->addVector2d("TranslationSpeed", {0.5f, -0.25f}); });
    run(0.1f, 5);
    const core::vector2df half = getTextureTranslation(box->getMaterial(0));
    EXPECT_NEAR(half.X, 0.25f, 0.001f);
    EXPECT_NEAR(half.Y, 0.875f, 0.001f) << "wrapped into 0..1";

    auto* billboard = static_cast<BillboardObject*>(smgr()->addSceneNode("BillboardObject", root()));
    ASSERT_NE(billboard, nullptr);
    auto* sprite = static_cast<AnimateTextureAnimator*>(makeAnimator("animateTexture", billboard, [](Attributes* a) {
        a->addString("AnimFilePath", "Content/Screens/Animations/Pulse.xml");
        a->addFloat("FramesPerSecond", 10);
        a->addBool("Loop", true);
    }));
    ASSERT_NE(sprite->sprite.texture, nullptr);
    run(0.15f, 1); // the second frame
    const core::rectf frame = sprite->sprite.getFrameUVRect();
    EXPECT_GT(frame.UpperLeftCorner.X, 0.0f);
    EXPECT_EQ(billboard->getMaterial(0).getTexture(0), sprite->sprite.texture);
    const video::S3DVertex* corners = billboard->getVertices();
    EXPECT_FLOAT_EQ(corners[0].TCoords.X, frame.LowerRightCorner.X);
    EXPECT_FLOAT_EQ(corners[0].TCoords.Y, frame.LowerRightCorner.Y);
    EXPECT_FLOAT_EQ(corners[2].TCoords.X, frame.UpperLeftCorner.X);
}

// Frame rates that used to stop a looping sprite on its first frame, and the game with it:
// refused (the file's own rate kept) or clamped, and the sprite plays on.
TEST_F(AnimatorTest, ASpriteAtAHostileFrameRatePlaysOn) {
    for (const auto& [rate, frameTime] : {std::pair{-1.0f, 0.0167f}, std::pair{1e12f, 0.001f}}) {
        auto* billboard = static_cast<BillboardObject*>(smgr()->addSceneNode("BillboardObject", root()));
        auto* sprite = static_cast<AnimateTextureAnimator*>(makeAnimator("animateTexture", billboard, [&](Attributes* a) {
            a->addString("AnimFilePath", "Content/Screens/Animations/Pulse.xml");
            a->addFloat("FramesPerSecond", rate);
            a->addBool("Loop", true);
        }));
        EXPECT_FLOAT_EQ(sprite->sprite.frameTime, frameTime) << rate;
        std::set<s32> cells;
        for (int i = 0; i < 8; ++i) {
            run(0.0123f, 1);
            cells.insert(sprite->sprite.getCurrentCell());
        }
        EXPECT_GT(cells.size(), 1u) << rate;
    }
}

TEST_F(AnimatorTest, TheFrameAnimatorSetsTheRangeOnceAndBonesCarryAttachedNodes) {
    PhysicsObject* figure = addFigure();
    figure->setID(40);
    manager->registerNodeIDs(figure);
    AnimatorBase* frames = makeAnimator("animateFrame", figure, [](Attributes* a) {
        a->addInt("StartFrame", 31);
        a->addInt("EndFrame", 60);
        a->addInt("NextAnimatorID", 7);
    });
    frame();
    EXPECT_EQ(figure->getMeshNode()->getStartFrame(), 31);
    EXPECT_EQ(figure->getMeshNode()->getEndFrame(), 60);
    EXPECT_EQ(figure->mesh().pendingAnimatorID, 7);
    EXPECT_FALSE(frames->isEnabled()) << "in play it switches itself off after applying";

    device->get()->getTimer()->setTime(5000);
    scene::ISceneNode* hat = addNode({0, 0, 0});
    makeAnimator("attachToMeshBone", hat, [](Attributes* a) {
        a->addInt("ParentID", 40);
        a->addString("JointName", "headBaseJt");
    });
    // The figure reads its joints back from the mesh, so the joint nodes move with it.
    figure->getMeshNode()->setJointMode(scene::EJUOR_READ);
    figure->setPosition({10, 0, 0});
    for (int i = 0; i < 2; ++i) { // the joints follow their mesh one frame later
        frame();
        manager->onEndOfUpdate.invoke();
    }
    scene::IBoneSceneNode* head = figure->getMeshNode()->getJointNode("headBaseJt");
    ASSERT_NE(head, nullptr);
    expectNear(hat->getAbsolutePosition(), head->getAbsolutePosition(), 0.01f);
    EXPECT_GT(hat->getAbsolutePosition().X, 5.0f) << "moving the figure moved the hat";

    scene::ISceneNode* lost = addNode({0, 0, 0});
    AnimatorBase* wrong = makeAnimator("attachToMeshBone", lost, [](Attributes* a) {
        a->addInt("ParentID", 40);
        a->addString("JointName", "tailJt");
    });
    for (int i = 0; i < 3; ++i) {
        frame();
        manager->onEndOfUpdate.invoke();
    }
    EXPECT_EQ(log.countStartingWith("ERROR: Joint name does not exist: tailJt"), 1u);
    EXPECT_EQ(written(wrong)[4], "ParentID=-1") << "in play the animator lets go of its parent";
}

// A frame animator names the next by its ID: when the mesh animation it set ends, every
// animator of the owner with that ID starts, and the next frame animator sets its frames.
TEST_F(AnimatorTest, TheEndOfTheMeshAnimationStartsTheNextAnimators) {
    struct Case {
        const char* loop;
        s32 firstID, recordedFirst;
        bool chained;
    };
    const Case cases[] = {{"False", 5, 5, true}, {"True", 5, 5, false}, {"False", 0, -1, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.loop) + " " + std::to_string(c.firstID));
        PhysicsObject* figure = addFigure();
        makeAnimator("animateFrame", figure, [&](Attributes* a) {
            a->addInt("ID", c.firstID);
            a->addEnum("LoopFrames", c.loop, AnimateFrameAnimator::loopModeNames);
            a->addInt("StartFrame", 31);
            a->addInt("EndFrame", 33);
            a->addFloat("BlendTime", 0.0f);
            a->addInt("NextAnimatorID", 6);
        });
        makeAnimator("animateFrame", figure, [](Attributes* a) {
            a->addInt("ID", 6);
            a->setAttribute("Enabled", false);
            a->addInt("StartFrame", 40);
            a->addInt("EndFrame", 60);
        });
        AnimatorBase* twin = makeAnimator("moveRotation", figure, [](Attributes* a) {
            a->addInt("ID", 6);
            a->setAttribute("Enabled", false);
        });
        frame();
        EXPECT_EQ(figure->mesh().currentFrameAnimatorID, c.recordedFirst);
        EXPECT_EQ(figure->mesh().pendingAnimatorID, 6);
        run(1.0f / 60.0f, 10); // two frames at 30 a second, then the next one applies
        EXPECT_EQ(twin->isEnabled(), c.chained) << "every animator with the ID starts";
        EXPECT_EQ(figure->getMeshNode()->getStartFrame(), c.chained ? 40 : 31);
        EXPECT_EQ(figure->mesh().currentFrameAnimatorID, c.chained ? 6 : c.recordedFirst);
        EXPECT_EQ(figure->mesh().pendingAnimatorID, c.chained ? -1 : 6);
    }
}

TEST_F(AnimatorTest, AnEnabledBoneControllerMarksItsObjectSoTheLightsFollowItsJoint) {
    for (bool enabled : {false, true}) {
        PhysicsObject* figure = addFigure();
        makeAnimator("controlMeshBone", figure, [&](Attributes* a) { a->setAttribute("Enabled", enabled); });
        frame();
        EXPECT_EQ(figure->mesh().boneControlled, enabled);
        EXPECT_EQ(tracksSkinningJoints(figure), enabled);
    }
}

TEST_F(AnimatorTest, ABoneControllerMovesItsJointTheBlendsShareOfTheWayToItsObject) {
    addNode({5, 5, 5}, 31);
    const f32 blends[] = {0.0f, 0.95f, 1.0f};
    core::vector3df at[3];
    for (int i = 0; i < 3; ++i) {
        PhysicsObject* figure = addFigure();
        figure->setPosition({-10, 2, 4}); // away from the origin, where the joint's own place counts
        makeAnimator("controlMeshBone", figure, [&](Attributes* a) {
            a->addInt("JointCount", 1);
            a->addInt("JointPhysicsObjectID1", 31);
            a->addFloat("BlendAmount", blends[i]);
        });
        frame();
        frame();
        at[i] = figure->getMeshNode()->getJointNode(0u)->getAbsolutePosition();
    }
    expectNear(at[2], {5, 5, 5});
    EXPECT_GT(at[0].getDistanceFrom(at[2]), 0.5f);
    // Every joint's objects are read, the last one included.
    AnimatorBase* two = makeAnimator("controlMeshBone", addFigure(), [](Attributes* a) {
        a->addInt("JointCount", 2);
        a->addInt("JointPhysicsObjectID2", 32);
        a->addInt("OrientPhysicsObjectID2", 33);
    });
    const std::vector<std::string> keys = written(two);
    EXPECT_EQ(std::count(keys.begin(), keys.end(), "JointPhysicsObjectID2=32"), 1);
    EXPECT_EQ(std::count(keys.begin(), keys.end(), "OrientPhysicsObjectID2=33"), 1);
    expectNear(at[1], at[0] + (at[2] - at[0]) * 0.95f);
}

// A bone controller that has taken its joint moves it only while it is switched on and play
// runs; otherwise the joint no longer follows its object.
TEST_F(AnimatorTest, ABoneControllerMovesItsJointOnlyWhileOnAndInPlay) {
    scene::ISceneNode* target = addNode({5, 5, 5}, 31);
    const struct Row {
        bool enabled, running;
    } rows[] = {{true, true}, {false, true}, {true, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << (row.enabled ? "on" : "off") << (row.running ? " in play" : " outside play"));
        target->setPosition({5, 5, 5});
        target->updateAbsolutePosition();
        PhysicsObject* figure = addFigure();
        AnimatorBase* bones = makeAnimator("controlMeshBone", figure, [](Attributes* a) {
            a->addInt("JointCount", 1);
            a->addInt("JointPhysicsObjectID1", 31);
        });
        frame();
        frame();
        scene::IBoneSceneNode* joint = figure->getMeshNode()->getJointNode(0u);
        expectNear(joint->getAbsolutePosition(), {5, 5, 5});
        bones->setEnabled(row.enabled);
        coreSlots().physics.isSimulationActive = [running = row.running] { return running; };
        target->setPosition({-3, 1, 7});
        target->updateAbsolutePosition();
        frame();
        frame();
        coreSlots().physics.isSimulationActive = [] { return true; };
        if (row.enabled && row.running)
            expectNear(joint->getAbsolutePosition(), {-3, 1, 7});
        else
            EXPECT_GT(joint->getAbsolutePosition().getDistanceFrom({-3, 1, 7}), 1.0f);
        figure->remove();
    }
}

TEST_F(AnimatorTest, ObjectsFollowOtherObjectsSplinesAndForces) {
    addNode({7, 8, 9}, 5);
    scene::ISceneNode* follower = addNode({1, 2, 3});
    makeAnimator("parentToObject", follower, [](Attributes* a) {
        a->addInt("ParentObjectID", 5);
        a->addBool("UseParentPosition", true);
        a->addString("ExcludePositionAxes", "Z, then X");
    });
    frame();
    expectNear(follower->getAbsolutePosition(), {1, 8, 3});

    addStraightPath(77, 20.0f);
    scene::ISceneNode* rider = addNode({0, 0, 0});
    AnimatorBase* ride = makeAnimator("animateSpline", rider, [](Attributes* a) {
        a->addInt("SplineObjectID", 77);
        a->addFloat("TimeToComplete", 2);
        a->addBool("Loop", false);
    });
    run(0.05f, 20);
    EXPECT_NEAR(rider->getAbsolutePosition().X, 10.0f, 0.1f);
    EXPECT_FALSE(ride->hasFinished());
    run(0.05f, 30);
    EXPECT_NEAR(rider->getAbsolutePosition().X, 20.0f, 0.01f);
    EXPECT_TRUE(ride->hasFinished());
    auto* capped = static_cast<AnimateSplineAnimator*>(makeAnimator("animateSpline", addNode({0, 0, 0}), [](Attributes* a) {
        a->addInt("SplineObjectID", 77);
        a->addFloat("TimeToComplete", 2);
        a->addBool("CapToFramerate", true);
    }));
    frame(0.1f);
    EXPECT_NEAR(capped->progress, 0.0167f / 2.0f, 1e-5f);

    PhysicsObject* pushed = addBox("Dynamic", {0, 5, 0});
    PhysicsObject* held = addBox("Kinematic", {10, 5, 0});
    for (PhysicsObject* box : {pushed, held})
        makeAnimator("physicsForce", box, [](Attributes* a) {
            a->addVector3d("Force", {0, 200, 0});
            a->addString("ForceMode", "Acceleration");
        });
    run(PhysicsManager::fixedStepSize, 30);
    EXPECT_GT(pushed->getAbsolutePosition().Y, 6.0f) << "pushed up against gravity";
    EXPECT_NEAR(held->getAbsolutePosition().Y, 5.0f, 1e-4f) << "a kinematic object takes no force";
}

// A platform knocked loose: its motion animators are switched off, not dropped, so an enable
// by ID finds them again; the engine's own, which have no switch, leave the node. The
// characters' registration supplies both calls, as in the game.
TEST_F(AnimatorTest, ABodyTurningDynamicSwitchesItsMotionAnimatorsOffAndKeepsThem) {
    registerCharacters();
    PhysicsObject* platform = addBox("Kinematic", {0, 5, 0});
    AnimatorBase* mover = makeAnimator("moveStraight", platform, [](Attributes* a) {
        a->addInt("ID", 4);
        a->addVector3d("End", {10, 5, 0});
        a->addInt("TimeForWay", 10000);
    });
    AnimatorBase* tint = makeAnimator("animateColor", platform, [](Attributes* a) { a->addInt("ID", 4); });
    makeAnimator("animateColor", platform, [](Attributes* a) { a->addInt("ID", 5); });
    scene::ISceneNodeAnimator* engineMover = smgr()->createFlyCircleAnimator({0, 5, 0}, 3.0f);
    platform->addAnimator(engineMover);
    engineMover->drop();
    run(PhysicsManager::fixedStepSize, 3);
    ASSERT_TRUE(mover->isEnabled());

    platform->setKinematic(false);
    phys::RigidDynamic* body = platform->getDynamicActor();
    ASSERT_NE(body, nullptr);
    for (int i = 0; i < 60 && body->isKinematic(); ++i)
        frame(PhysicsManager::fixedStepSize);
    ASSERT_FALSE(body->isKinematic()) << "the body turned dynamic";
    EXPECT_EQ(findAnimatorsByID(platform, 4).size(), 2u) << "both game animators of the ID stay";
    EXPECT_EQ(findAnimatorsByID(platform, 5).size(), 1u) << "only those of the ID";
    EXPECT_FALSE(mover->isEnabled()) << "the motion animator is off";
    EXPECT_TRUE(tint->isEnabled()) << "a colour animator moves nothing";
    bool engineMoverStays = false;
    for (scene::ISceneNodeAnimator* animator : platform->getAnimators())
        engineMoverStays = engineMoverStays || animator == engineMover;
    EXPECT_FALSE(engineMoverStays) << "the switchless one left";

    physicsHooks().characters.enableAnimators(platform, 4);
    EXPECT_TRUE(mover->isEnabled()) << "found again by its ID";
}

// A checkpoint restores what it saved: a platform knocked loose after the save comes back
// kinematic with its motion animators on again, the game's moving it; one knocked loose
// before the save, or in the frame of the save with its switch still waiting, comes back
// loose with the game's animator kept and off. The game's animator is there once either way.
TEST_F(AnimatorTest, ACheckpointRestartRestoresTheMotionAnimatorsWithTheSavedState) {
    registerCharacters();
    SaveManager save(device->get()->getFileSystem(), temp.file("save"));
    save.automaticWriting = false;
    saveManager = &save;
    const s32 platformID = 30, checkpointID = 50, moverID = 4;
    const auto buildLevel = [&] {
        PhysicsObject* platform = addBox("Kinematic", {0, 5, 0}, platformID);
        makeAnimator("moveStraight", platform, [](Attributes* a) {
            a->addInt("ID", 4);
            a->addVector3d("End", {10, 5, 0});
            a->addInt("TimeForWay", 10000);
        });
        scene::ISceneNodeAnimator* spinner = smgr()->createRotationAnimator({0, 1, 0});
        platform->addAnimator(spinner);
        spinner->drop();
        auto* checkpoint = new CheckpointObject(root(), smgr(), checkpointID);
        checkpoint->drop();
        manager->registerNodeIDs(checkpoint);
    };
    const auto platform = [&] { return asPhysicsObject(manager->getSceneNodeFromID(platformID)); };
    const auto knockLoose = [&] {
        platform()->setKinematic(false);
        for (int i = 0; i < 60 && platform()->getDynamicActor()->isKinematic(); ++i)
            frame(PhysicsManager::fixedStepSize);
        ASSERT_FALSE(platform()->getDynamicActor()->isKinematic());
        ASSERT_FALSE(findAnimatorsByID(platform(), moverID).at(0)->isEnabled());
    };

    enum class Loosened { AfterSave, BeforeSave, InTheFrameOfTheSave };
    for (const Loosened loosened : {Loosened::AfterSave, Loosened::BeforeSave, Loosened::InTheFrameOfTheSave}) {
        SCOPED_TRACE(static_cast<int>(loosened));
        const bool kinematicAtSave = loosened == Loosened::AfterSave;
        manager->unloadLevel();
        buildLevel();
        run(PhysicsManager::fixedStepSize, 3);
        if (loosened == Loosened::BeforeSave) {
            ASSERT_NO_FATAL_FAILURE(knockLoose());
        } else if (loosened == Loosened::InTheFrameOfTheSave) {
            platform()->setKinematic(false);
        }
        // A kinematic platform's save says whether it has motion animators now; a loose one's says nothing.
        io::IAttributes* written = newAttributes();
        platform()->serializeAttributes(written);
        EXPECT_EQ(written->existsAttribute("HasMotionAnimators"), kinematicAtSave);
        EXPECT_EQ(written->getAttributeAsBool("HasMotionAnimators"), kinematicAtSave);
        written->drop();
        manager->saveCheckpointAt(manager->getSceneNodeFromID(checkpointID));
        const std::string checkpointFile = test::readFileBytes(manager->getCheckpointPath(manager->isStoryRun()).c_str());
        EXPECT_EQ(checkpointFile.find("rotation") != std::string::npos, kinematicAtSave)
            << "the engine's spinner, which has no switch, is saved only while the platform is kinematic";
        if (loosened != Loosened::BeforeSave) {
            ASSERT_NO_FATAL_FAILURE(knockLoose());
        }

        manager->restartFromCheckpoint();
        ASSERT_NE(platform(), nullptr);
        run(PhysicsManager::fixedStepSize, 3);
        const std::vector<AnimatorBase*> movers = findAnimatorsByID(platform(), moverID);
        ASSERT_EQ(movers.size(), 1u) << "kept, not lost or doubled";
        phys::RigidDynamic* body = platform()->getDynamicActor();
        ASSERT_NE(body, nullptr);
        EXPECT_EQ(body->isKinematic(), kinematicAtSave);
        EXPECT_EQ(movers[0]->isEnabled(), kinematicAtSave);
        int spinners = 0;
        for (scene::ISceneNodeAnimator* animator : platform()->getAnimators())
            spinners += animator->getType() == scene::ESNAT_ROTATION ? 1 : 0;
        EXPECT_EQ(spinners, 0) << "the engine's animators are no level content: a checkpoint brings none back";
        // The restored animator drives a restored kinematic body; a loose body falls.
        const core::vector3df before = platform()->getAbsolutePosition();
        run(PhysicsManager::fixedStepSize, 30);
        const core::vector3df after = platform()->getAbsolutePosition();
        if (kinematicAtSave) {
            EXPECT_GT(after.X, before.X + 0.1f);
        } else {
            EXPECT_FLOAT_EQ(after.X, before.X);
            EXPECT_LT(after.Y, before.Y - 0.1f);
        }
    }
    manager->unloadLevel();
    saveManager = nullptr;
}

namespace {
bool swimHeld = false;
bool swimChargeInput() { return swimHeld; }
} // namespace

TEST_F(AnimatorTest, TheSwimmerChargesBlastsCoastsAndFlinches) {
    addStraightPath(78, 100.0f);
    scene::ISceneNode* swimmer = addNode({0, 0, 0});
    bool (*const playerInput)() = SwimSplineAnimator::chargeInput;
    SwimSplineAnimator::chargeInput = swimChargeInput;
    makeAnimator("swimSpline", swimmer, [](Attributes* a) {
        a->addInt("SplineObjectID", 78);
        a->addFloat("SplineSpeed", 20);
    });
    SwimSplineAnimator::SwimState& swim = SwimSplineAnimator::shared;
    run(0.05f, 4);
    EXPECT_NEAR(swimmer->getAbsolutePosition().X, 0.0f, 1e-4f) << "idle: no speed, no motion";
    swimHeld = true;
    run(0.05f, 40);
    EXPECT_EQ(swim.state, SwimSplineAnimator::IdleToCharge);
    EXPECT_FLOAT_EQ(swim.charge, 2.0f) << "held for the max charge time";
    swimHeld = false;
    frame(0.05f);
    EXPECT_EQ(swim.state, SwimSplineAnimator::Blast);
    run(0.05f, 10);
    const f32 coasted = swimmer->getAbsolutePosition().X;
    EXPECT_GT(coasted, 5.0f);
    run(0.05f, 40);
    EXPECT_LT(swim.speed, 0.1f) << "the wind-down stops it";
    swim.speed = 2.0f;
    swim.targetSpeed = 0.0f;
    frame(0.01f);
    EXPECT_NEAR(swim.speed, 2.0f * (1.0f - 35.0f * 0.01f), 1e-4f) << "a hundredth of a second at damping 35";
    EXPECT_EQ(swim.state, SwimSplineAnimator::Blast) << "without a mesh its blast animation never ends";

    AnimatorBase* animator = asGameAnimator(*swimmer->getAnimators().begin());
    swim.speed = 2.0f;
    animator->setReversed(true);
    const f32 before = swimmer->getAbsolutePosition().X;
    run(0.05f, 10);
    EXPECT_LT(swimmer->getAbsolutePosition().X, before) << "a flinch swims backwards";
    run(0.05f, 20);
    EXPECT_FALSE(animator->isReversed()) << "and ends after its duration";
    EXPECT_EQ(swim.state, SwimSplineAnimator::Idle);
    SwimSplineAnimator::chargeInput = playerInput;
}

// A path whose points are not there yet has no curve: the swimmer stays where it is (not
// at the path node, under the level) and joins its path, measured, once it has points.
TEST_F(AnimatorTest, TheSwimmerWaitsForItsPathToHavePoints) {
    auto* path = new SplineObject(root(), smgr(), 79);
    path->drop();
    path->setPosition({0, -50, 0});
    manager->registerNodeIDs(path);
    scene::ISceneNode* swimmer = addNode({3, 1, 2});
    bool (*const playerInput)() = SwimSplineAnimator::chargeInput;
    SwimSplineAnimator::chargeInput = swimChargeInput;
    swimHeld = false;
    auto* swim = static_cast<SwimSplineAnimator*>(makeAnimator("swimSpline", swimmer, [](Attributes* a) {
        a->addInt("SplineObjectID", 79);
        a->addFloat("TimeToComplete", 3);
        a->addFloat("CurrentTime", 0.5f);
    }));
    ASSERT_NE(swim, nullptr);
    // No point, then one: still no curve.
    for (f32 x : {0.0f, 10.0f}) {
        run(0.05f, 3);
        const core::vector3df at = swimmer->getAbsolutePosition();
        EXPECT_TRUE(std::isfinite(at.X) && std::isfinite(at.Y) && std::isfinite(at.Z));
        EXPECT_TRUE(at.equals({3, 1, 2})) << "waits in place, not at the path node";
        EXPECT_EQ(swim->splineLength, 0.0f) << "nothing measured yet";
        auto* point = new SplineObject(path, smgr(), -1);
        point->drop();
        point->setPosition({x, 51, 0});
        point->Time = x / 10.0f;
    }
    frame(0.05f);
    EXPECT_NEAR(swim->splineLength, 10.0f, 1e-3f);
    EXPECT_NEAR(swim->splineSpeed, 10.0f / 3.0f, 1e-3f);
    const core::vector3df onPath = swimmer->getAbsolutePosition();
    EXPECT_NEAR(onPath.X, swim->currentTime * 10.0f, 1e-3f);
    EXPECT_NEAR(onPath.Y, 1.0f, 1e-4f);
    EXPECT_NEAR(onPath.Z, 0.0f, 1e-4f);
    SwimSplineAnimator::chargeInput = playerInput;
}

// The game's swimmer profile gives each of the nine animations its own frames of the
// swimmer figure, in order and inside the figure's frames; the figure has the tail the
// animator bends.
TEST_F(AnimatorTest, TheSwimmerTakesItsNineAnimationsFromTheShippedProfile) {
    scene::ISceneNode* swimmer = addNode({0, 0, 0});
    auto* swim = static_cast<SwimSplineAnimator*>(makeAnimator("swimSpline", swimmer, [](io::IAttributes*) {}));
    ASSERT_NE(swim, nullptr);
    scene::IAnimatedMesh* figure = getGameMesh(smgr(), "Content/Models/Characters/Swimmer.b3d");
    ASSERT_TRUE(figure && figure->getMeshType() == scene::EAMT_SKINNED);
    const s32 frames = static_cast<s32>(figure->getFrameCount());
    s32 previousEnd = -1;
    for (s32 state = 0; state < SwimSplineAnimator::StateCount; ++state) {
        const auto [first, last] = swim->animationRanges[state];
        EXPECT_EQ(first, previousEnd + 1) << "state " << state << " follows the one before";
        EXPECT_GT(last, first) << "state " << state;
        EXPECT_LT(last, frames) << "state " << state;
        previousEnd = last;
    }
    auto* skinned = static_cast<scene::ISkinnedMesh*>(figure);
    for (const char* joint : {"Curve2", "Curve3", "Curve4", "Curve5", "Curve6"})
        EXPECT_GE(skinned->getJointNumber(joint), 0) << joint;
}

// A progress mover switched off during play keeps its place unless it resets on disable; off
// outside play it always goes back to its start (the spline mover to its spawn time), turned
// forward again.
TEST_F(AnimatorTest, AMoverSwitchedOffResetsOnlyWhenToldOrOutsidePlay) {
    addStraightPath(77, 20.0f);
    struct Row {
        const char* type;
        bool running, reset;
        f32 expected;
    } rows[] = {
        {"moveStraight", true, false, 0.5f},  {"moveStraight", true, true, 0.0f},  {"moveStraight", false, false, 0.0f},
        {"moveSpline", true, false, 0.5f},    {"moveSpline", true, true, 0.25f},   {"moveSpline", false, false, 0.25f},
        {"animateSpline", true, false, 0.5f}, {"animateSpline", true, true, 0.0f}, {"animateSpline", false, false, 0.0f},
        {"animateColor", true, false, 0.5f},  {"animateColor", true, true, 0.0f},  {"animateColor", false, false, 0.0f},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.type << (row.running ? " in play" : " outside play")
                                        << (row.reset ? ", resets" : ""));
        scene::ISceneNode* node = smgr()->addCubeSceneNode(1.0f, root());
        AnimatorBase* mover = makeAnimator(row.type, node, [&](Attributes* a) {
            a->addBool("ResetOnDisable", row.reset);
            a->addColor("OriginalColor", video::SColor(255, 10, 20, 30));
            a->addFloat("TimeToFade", 1000);
            a->addVector3d("Start", {0, 0, 0});
            a->addVector3d("End", {0, 10, 0});
            a->addInt("TimeForWay", 100000);
            a->addFloat("SpawnTime", 0.25f);
            a->addFloat("Speed", 0.001f);
            a->addVector3d("Point1", {0, 0, 0});
            a->addVector3d("Point2", {0, 10, 0});
            a->addInt("SplineObjectID", 77);
            a->addFloat("TimeToComplete", 1000);
            a->addBool("PingPong", true);
        });
        frame(0.01f);
        // Halfway, on the way back.
        f32* progress = nullptr;
        f32* direction = nullptr;
        if (auto* straight = dynamic_cast<MoveStraightAnimator*>(mover)) {
            progress = &straight->progress;
            direction = &straight->directionFactor;
        } else if (auto* spline = dynamic_cast<MoveSplineAnimator*>(mover)) {
            progress = &spline->progress;
            direction = &spline->directionFactor;
        } else if (auto* colour = dynamic_cast<AnimateColorAnimator*>(mover)) {
            progress = &colour->progress;
            direction = &colour->direction;
        } else {
            auto* ride = static_cast<AnimateSplineAnimator*>(mover);
            progress = &ride->progress;
            direction = &ride->direction;
        }
        *progress = 0.5f;
        *direction = -1.0f;
        frame(0.01f);
        coreSlots().physics.isSimulationActive = [running = row.running] { return running; };
        mover->setEnabled(false);
        frame(0.01f);
        EXPECT_NEAR(*progress, row.expected, 1e-3f);
        EXPECT_EQ(*direction, row.expected == 0.5f ? -1.0f : 1.0f);
        if (std::string(row.type) == "moveStraight" && !row.running) {
            expectNear(node->getPosition(), {0, 0, 0});
        }
        if (std::string(row.type) == "animateColor" && !row.running) {
            EXPECT_EQ(node->getMaterial(0).DiffuseColor, video::SColor(255, 10, 20, 30)) << "back to its first colour";
        }
        coreSlots().physics.isSimulationActive = [] { return true; };
        node->remove();
    }
}

// Outside play a spline mover that was never on leaves its node where it stands; one that was
// on puts it back at its spawn point.
TEST_F(AnimatorTest, OutsidePlayOnlyASplineMoverThatRanPutsItsNodeBack) {
    coreSlots().physics.isSimulationActive = [] { return false; };
    for (const bool ran : {false, true}) {
        SCOPED_TRACE(ran);
        scene::ISceneNode* node = addNode({5, 5, 5});
        auto* spline = static_cast<MoveSplineAnimator*>(makeAnimator("moveSpline", node, [&](Attributes* a) {
            a->setAttribute("Enabled", false);
            a->addVector3d("Point1", {0, 0, 0});
            a->addVector3d("Point2", {10, 0, 0});
        }));
        spline->wasEnabled = ran;
        frame(0.1f);
        expectNear(node->getPosition(), ran ? core::vector3df(0, 0, 0) : core::vector3df(5, 5, 5));
    }
    coreSlots().physics.isSimulationActive = [] { return true; };
}

// A frame animator changes the figure's frame rate only when told to.
TEST_F(AnimatorTest, AFrameAnimatorChangesTheFrameRateOnlyWhenTold) {
    for (const bool change : {false, true}) {
        SCOPED_TRACE(change);
        PhysicsObject* figure = addFigure();
        figure->getMeshNode()->setAnimationSpeed(30.0f);
        makeAnimator("animateFrame", figure, [&](Attributes* a) {
            a->addInt("StartFrame", 31);
            a->addInt("EndFrame", 60);
            a->addBool("ChangeFPS", change);
            a->addFloat("NewFPS", 12);
        });
        frame();
        EXPECT_FLOAT_EQ(figure->getMeshNode()->getAnimationSpeed(), change ? 12.0f : 30.0f);
    }
}

// Outside play a frame animator sets its range once and stays on: a range set afterwards
// (as the editor's preview does) is kept.
TEST_F(AnimatorTest, OutsidePlayAFrameAnimatorSetsItsRangeOnce) {
    coreSlots().physics.isSimulationActive = [] { return false; };
    PhysicsObject* figure = addFigure();
    AnimatorBase* frames = makeAnimator("animateFrame", figure, [](Attributes* a) {
        a->addBool("Enabled", true);
        a->addInt("StartFrame", 31);
        a->addInt("EndFrame", 60);
    });
    frame();
    EXPECT_EQ(figure->getMeshNode()->getStartFrame(), 31);
    EXPECT_TRUE(frames->isEnabled());
    figure->getMeshNode()->setFrameLoop(0, 10);
    frame();
    EXPECT_EQ(figure->getMeshNode()->getStartFrame(), 0);
    EXPECT_EQ(figure->getMeshNode()->getEndFrame(), 10);
}

// A sprite of no frame rate keeps the rate of its animation file.
TEST_F(AnimatorTest, ASpriteWithoutAFrameRateKeepsItsFilesRate) {
    auto* billboard = static_cast<BillboardObject*>(smgr()->addSceneNode("BillboardObject", root()));
    auto* own = static_cast<AnimateTextureAnimator*>(makeAnimator("animateTexture", billboard, [](Attributes* a) {
        a->addString("AnimFilePath", "Content/Screens/Animations/Pulse.xml");
        a->addFloat("FramesPerSecond", 0);
    }));
    auto* billboard2 = static_cast<BillboardObject*>(smgr()->addSceneNode("BillboardObject", root()));
    auto* plain = static_cast<AnimateTextureAnimator*>(makeAnimator("animateTexture", billboard2, [](Attributes* a) {
        a->addString("AnimFilePath", "Content/Screens/Animations/Pulse.xml");
    }));
    EXPECT_EQ(own->sprite.frameTime, plain->sprite.frameTime);
    EXPECT_GT(own->sprite.frameTime, 0.0f);
    EXPECT_TRUE(std::isfinite(own->sprite.frameTime));
}

// Outside play, reading a spawn time into a spline mover that has run places its node there at
// once (the editor shows the change); a spawn time of 0 leaves the node alone.
TEST_F(AnimatorTest, OutsidePlayASpawnTimeReadPlacesTheNode) {
    coreSlots().physics.isSimulationActive = [] { return false; };
    scene::ISceneNode* node = addNode({5, 5, 5});
    AnimatorBase* spline = makeAnimator("moveSpline", node, [](Attributes* a) {
        a->setAttribute("Enabled", false);
        a->addBool("LinearMovement", true);
        a->addVector3d("Point1", {0, 0, 0});
        a->addVector3d("Point2", {10, 0, 0});
    });
    frame(0.1f); // it knows its node now
    for (const f32 spawn : {0.0f, 0.5f}) {
        SCOPED_TRACE(spawn);
        node->setPosition({5, 5, 5});
        Attributes* in = newAttributes();
        spline->serializeAttributes(in);
        in->setAttribute("SpawnTime", spawn);
        spline->deserializeAttributes(in);
        in->drop();
        expectNear(node->getPosition(), spawn == 0.0f ? core::vector3df(5, 5, 5) : core::vector3df(5, 0, 0));
    }
    coreSlots().physics.isSimulationActive = [] { return true; };
}

// A sprite draws only on billboards, particles and figures: another node keeps its texture.
TEST_F(AnimatorTest, ASpriteLeavesOtherKindsOfNodeAlone) {
    scene::ISceneNode* box = smgr()->addCubeSceneNode(1.0f, root());
    makeAnimator("animateTexture", box, [](Attributes* a) {
        a->addString("AnimFilePath", "Content/Screens/Animations/Pulse.xml");
        a->addFloat("FramesPerSecond", 10);
    });
    run(0.15f, 1);
    EXPECT_EQ(box->getMaterial(0).getTexture(0), nullptr);
}

// In play a path rider writes as its spawn time where it was at the last checkpoint save.
TEST_F(AnimatorTest, APathRiderWritesItsProgressAtTheLastCheckpointSave) {
    addStraightPath(77, 20.0f);
    auto* ride = static_cast<AnimateSplineAnimator*>(makeAnimator("animateSpline", addNode({0, 0, 0}), [](Attributes* a) {
        a->addInt("SplineObjectID", 77);
        a->addFloat("TimeToComplete", 10);
        a->addBool("Loop", false);
    }));
    const auto spawnWritten = [&] {
        for (const std::string& line : written(ride))
            if (line.rfind("SpawnTime=", 0) == 0)
                return std::stof(line.substr(10));
        return -1.0f;
    };
    ride->progress = 0.3f;
    manager->onCheckpointSave.invoke();
    ride->progress = 0.6f;
    EXPECT_NEAR(spawnWritten(), 0.3f, 1e-5f);
    manager->onCheckpointSave.invoke();
    EXPECT_NEAR(spawnWritten(), 0.6f, 1e-5f);
}

// A path rider removed from its node stops listening for checkpoint saves: a later save
// must not reach the freed animator.
TEST_F(AnimatorTest, ARemovedPathRiderNoLongerListensForCheckpointSaves) {
    addStraightPath(77, 20.0f);
    const std::size_t before = manager->onCheckpointSave.size();
    scene::ISceneNode* node = addNode({0, 0, 0});
    AnimatorBase* ride = makeAnimator("animateSpline", node, [](Attributes* a) { a->addInt("SplineObjectID", 77); });
    EXPECT_EQ(manager->onCheckpointSave.size(), before + 1);
    node->removeAnimator(ride);
    EXPECT_EQ(manager->onCheckpointSave.size(), before);
    manager->onCheckpointSave.invoke();
}

// The spline mover: a speed of 0 runs at 1 a second, reversed it runs back; a single key
// holds the node at that key and finishes unless it loops, and a mover told to stop when
// finished switches itself off; scale keys follow the same curve as the points.
TEST_F(AnimatorTest, TheSplineMoverRunsAtOneWithoutASpeedAndFinishesOnASingleKey) {
    scene::ISceneNode* node = addNode({0, 0, 0});
    auto* spline = static_cast<MoveSplineAnimator*>(makeAnimator("moveSpline", node, [](Attributes* a) {
        a->addBool("LinearMovement", true);
        a->addBool("AnimateScale", true);
        a->addVector3d("Point1", {0, 0, 0});
        a->addVector3d("Point2", {10, 0, 0});
        a->addVector3d("Scale1", {1, 1, 1});
        a->addVector3d("Scale2", {3, 3, 3});
    }));
    frame(0.25f);
    EXPECT_FLOAT_EQ(spline->speed, 1.0f);
    EXPECT_NEAR(spline->progress, 0.25f, 1e-5f);
    expectNear(node->getPosition(), {2.5f, 0, 0}, 1e-4f);
    expectNear(node->getScale(), {1.5f, 1.5f, 1.5f}, 1e-4f);
    spline->setReversed(true);
    frame(0.1f);
    EXPECT_NEAR(spline->progress, 0.15f, 1e-5f);
    spline->setReversed(false);
    // At the very end it stands just short of the last key's wrap.
    core::vector3df position, rotation, scale;
    spline->evaluate(1.0f, position, rotation, scale);
    EXPECT_NEAR(position.X, 10.0f, 1e-3f);
    EXPECT_LT(position.X, 10.0f);

    for (const bool loop : {false, true}) {
        SCOPED_TRACE(loop);
        scene::ISceneNode* single = addNode({5, 5, 5});
        auto* one = static_cast<MoveSplineAnimator*>(makeAnimator("moveSpline", single, [&](Attributes* a) {
            a->addFloat("Speed", 1);
            a->addBool("Loop", loop);
            a->addBool("AnimateRotation", true);
            a->addBool("AnimateScale", true);
            a->addVector3d("Point1", {1, 2, 3});
            a->addVector3d("Rotation1", {0, 90, 0});
            a->addVector3d("Scale1", {2, 2, 2});
        }));
        one->disableWhenFinished = true;
        frame(0.1f);
        expectNear(single->getPosition(), {1, 2, 3});
        EXPECT_NEAR(single->getRotation().Y, 90.0f, 0.01f);
        expectNear(single->getScale(), {2, 2, 2});
        EXPECT_EQ(one->isEnabled(), loop) << "finished and switched off unless it loops";
        EXPECT_FALSE(one->finished) << "the switch-off clears the finish";
    }
    auto* none = static_cast<MoveSplineAnimator*>(makeAnimator("moveSpline", addNode({0, 0, 0}), [](Attributes*) {}));
    frame(0.1f);
    EXPECT_TRUE(none->hasFinished()) << "no keys: finished at once";
}

// An editor's write adds one zero key; reading such a write drops trailing zero keys, at most
// two, from lists of more than two keys.
// Off the straight line, the spline mover's curve takes its tangents from the keys on either
// side (wrapped: the first segment's key before is the last key), scaled by the tightness.
TEST_F(AnimatorTest, TheCurvedSplineMoverTakesItsTangentsFromTheNeighbouringKeys) {
    auto* spline = static_cast<MoveSplineAnimator*>(makeAnimator("moveSpline", addNode({0, 0, 0}), [](Attributes* a) {
        a->addFloat("Tightness", 0.5f);
        a->addVector3d("Point1", {0, 0, 0});
        a->addVector3d("Point2", {10, 0, 0});
        a->addVector3d("Point3", {10, 0, 10});
    }));
    core::vector3df position, rotation, scale;
    // Halfway along the first segment: (0 + 10) / 2, plus (p2 - p0) / 2 / 8 less (p3 - p1) / 2 / 8.
    spline->evaluate(0.25f, position, rotation, scale);
    expectNear(position, {4.375f, 0.0f, -1.25f}, 1e-4f);
    // Halfway along the second: the key after the last is the first.
    spline->evaluate(0.75f, position, rotation, scale);
    expectNear(position, {11.25f, 0.0f, 5.625f}, 1e-4f);
}

TEST_F(AnimatorTest, AnEditorReadDropsUpToTwoTrailingZeroKeys) {
    io::SAttributeReadWriteOptions editor;
    editor.Flags = io::EARWF_FOR_EDITOR;
    struct Row {
        std::vector<core::vector3df> keys;
        size_t kept;
    } rows[] = {
        {{{1, 0, 0}, {2, 0, 0}, {0, 0, 0}}, 2u},
        {{{1, 0, 0}, {2, 0, 0}, {0, 0, 0}, {0, 0, 0}}, 2u},
        {{{1, 0, 0}, {2, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, 3u},
        {{{1, 0, 0}, {0, 0, 0}}, 2u},
        {{{1, 0, 0}, {2, 0, 0}, {3, 0, 0}}, 3u},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.keys.size());
        scene::ISceneNodeAnimator* spline = factory->createSceneNodeAnimator("moveSpline", nullptr);
        Attributes* in = newAttributes();
        for (size_t i = 0; i < row.keys.size(); ++i) {
            in->addVector3d(("Point" + std::to_string(i + 1)).c_str(), row.keys[i]);
            in->addVector3d(("Rotation" + std::to_string(i + 1)).c_str(), core::vector3df(0, 0, 0));
            in->addVector3d(("Scale" + std::to_string(i + 1)).c_str(), core::vector3df(1, 1, 1));
        }
        spline->deserializeAttributes(in, &editor);
        in->drop();
        auto* read = static_cast<MoveSplineAnimator*>(spline);
        EXPECT_EQ(read->points.size(), row.kept);
        EXPECT_EQ(read->rotations.size(), row.kept);
        EXPECT_EQ(read->scales.size(), row.kept);
        spline->drop();
    }
}

// The editor's extra key is zero in every channel, even when the spline held more keys
// before it was read again; a plain write has no extra key.
TEST_F(AnimatorTest, AnEditorWriteEndsWithOneZeroKeyAfterTheKeys) {
    const std::vector<core::vector3df> keys = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {9, 9, 9}};
    const auto fill = [&keys](io::IAttributes* a, size_t count) {
        a->addBool("AnimateRotation", true);
        a->addBool("AnimateScale", true);
        for (size_t i = 0; i < count; ++i) {
            const std::string n = std::to_string(i + 1);
            a->addVector3d(("Point" + n).c_str(), keys[i]);
            a->addVector3d(("Rotation" + n).c_str(), {0, 10.0f * static_cast<f32>(i + 1), 0});
            a->addVector3d(("Scale" + n).c_str(), keys[i]);
        }
    };
    auto* spline = makeAnimator("moveSpline", addNode({0, 0, 0}), [&](io::IAttributes* a) { fill(a, 4); });
    io::IAttributes* in = newAttributes();
    fill(in, 3);
    spline->deserializeAttributes(in);
    in->drop();
    io::SAttributeReadWriteOptions editor;
    editor.Flags = io::EARWF_FOR_EDITOR;
    for (io::SAttributeReadWriteOptions* options : {&editor, static_cast<io::SAttributeReadWriteOptions*>(nullptr)}) {
        SCOPED_TRACE(options ? "editor" : "plain");
        io::IAttributes* out = newAttributes();
        spline->serializeAttributes(out, options);
        for (size_t i = 0; i < 3; ++i) {
            const std::string n = std::to_string(i + 1);
            expectNear(out->getAttributeAsVector3d(("Point" + n).c_str()), keys[i]);
            expectNear(out->getAttributeAsVector3d(("Scale" + n).c_str()), keys[i]);
        }
        EXPECT_EQ(out->existsAttribute("Point4"), options != nullptr);
        if (options) {
            expectNear(out->getAttributeAsVector3d("Point4"), {0, 0, 0});
            expectNear(out->getAttributeAsVector3d("Rotation4"), {0, 0, 0});
            expectNear(out->getAttributeAsVector3d("Scale4"), {0, 0, 0});
        }
        EXPECT_FALSE(out->existsAttribute("Point5"));
        out->drop();
    }
}

// In play, a spinner or path rider whose named variable or path is missing forgets the ID (and
// writes 0); a reversed spinner turns the other way, its angle kept below 360 by the remainder
// (which keeps the sign: below 0 stays below 0).
TEST_F(AnimatorTest, MissingReferencesAreForgottenInPlayAndAReversedSpinnerTurnsBack) {
    scene::ISceneNode* spun = addNode({0, 0, 0});
    spun->setRotation({0, 10, 0});
    auto* spinner = static_cast<MoveRotationAnimator*>(makeAnimator("moveRotation", spun, [](Attributes* a) {
        a->addVector3d("Rotation", {0, 1, 0});
        a->addInt("SpeedVariableID", 55);
        a->addBool("Reversed", true);
    }));
    auto* ride = static_cast<AnimateSplineAnimator*>(makeAnimator("animateSpline", addNode({0, 0, 0}), [](Attributes* a) {
        a->addInt("SplineObjectID", 56);
        a->addInt("SpeedVariableID", 57);
    }));
    addStraightPath(58, 20.0f);
    auto* speed = new VariableObject(root(), smgr(), 59);
    speed->drop();
    manager->registerNodeIDs(speed);
    auto* found = static_cast<AnimateSplineAnimator*>(makeAnimator("animateSpline", addNode({0, 0, 0}), [](Attributes* a) {
        a->addInt("SplineObjectID", 58);
        a->addInt("SpeedVariableID", 59);
    }));
    coreSlots().physics.isSimulationActive = [] { return false; };
    frame(0.1f);
    EXPECT_EQ(spinner->speedVariableID, 55) << "outside play the ID is kept";
    EXPECT_EQ(ride->splineObjectID, 56);
    EXPECT_EQ(ride->speedVariableID, 57);
    coreSlots().physics.isSimulationActive = [] { return true; };
    frame(0.1f);
    EXPECT_EQ(spinner->speedVariableID, 0);
    EXPECT_EQ(ride->splineObjectID, 0);
    EXPECT_EQ(ride->speedVariableID, 0) << "the variable is forgotten with the path";
    EXPECT_EQ(found->splineObjectID, 58) << "what is found is kept";
    EXPECT_EQ(found->speedVariableID, 59);
    // 10 degrees back in each 0.1 s: 10 -> 0 -> -10.
    EXPECT_NEAR(spun->getRotation().Y, -10.0f, 0.01f);
}

// A colour fade may start from the colour the node has (a light's, or the named material's),
// and runs back when reversed.
TEST_F(AnimatorTest, AColourFadeStartsFromTheNodesOwnColourWhenAskedAndRunsBackReversed) {
    scene::ISceneNode* box = smgr()->addCubeSceneNode(1.0f, root());
    box->getMaterial(0).DiffuseColor = video::SColor(255, 100, 0, 0);
    auto* fade = static_cast<AnimateColorAnimator*>(makeAnimator("animateColor", box, [](Attributes* a) {
        a->addFloat("TimeToFade", 1);
        a->addBool("StartFromOriginalColor", true);
        a->addColor("TargetColor", video::SColor(255, 200, 0, 0));
        a->addBool("ApplyToAllMaterials", false);
        a->addInt("MaterialIndex", 0);
    }));
    scene::ILightSceneNode* light = smgr()->addLightSceneNode(root());
    light->getLightData().DiffuseColor = video::SColorf(video::SColor(255, 0, 100, 0));
    makeAnimator("animateColor", light, [](Attributes* a) {
        a->addFloat("TimeToFade", 1);
        a->addBool("StartFromOriginalColor", true);
        a->addColor("TargetColor", video::SColor(255, 0, 200, 0));
    });
    scene::ISceneNode* beyond = smgr()->addCubeSceneNode(1.0f, root());
    beyond->getMaterial(0).DiffuseColor = video::SColor(255, 0, 0, 100);
    auto* none = static_cast<AnimateColorAnimator*>(makeAnimator("animateColor", beyond, [](Attributes* a) {
        a->addFloat("TimeToFade", 1);
        a->addBool("StartFromOriginalColor", true);
        a->addColor("OriginalColor", video::SColor(255, 1, 2, 3));
        a->addBool("ApplyToAllMaterials", false);
        a->addInt("MaterialIndex", 1);
    }));
    // The largest index names no material either: nothing is added to it.
    for (const char* type : {"animateColor", "animateUVs"})
        makeAnimator(type, beyond, [](Attributes* a) {
            a->addFloat("TimeToFade", 1);
            a->addVector2d("TranslationSpeed", {0.25f, 0});
            a->addBool("ApplyToAllMaterials", false);
            a->addInt("MaterialIndex", std::numeric_limits<s32>::max());
        });
    run(0.1f, 5);
    EXPECT_EQ(beyond->getMaterial(0).DiffuseColor, video::SColor(255, 0, 0, 100));
    EXPECT_EQ(beyond->getMaterial(0).getTextureMatrix(0), core::IdentityMatrix);
    EXPECT_EQ(box->getMaterial(0).DiffuseColor, video::SColor(255, 150, 0, 0)) << "halfway from its own red";
    EXPECT_EQ(light->getLightData().DiffuseColor.toSColor().getGreen(), 150u);
    EXPECT_EQ(none->startColor, video::SColor(255, 1, 2, 3)) << "no material 1: the written colour stays";
    fade->setReversed(true);
    run(0.1f, 3);
    EXPECT_NEAR(fade->progress, 0.2f, 1e-4f);
}

// A sprite on a mesh owner is drawn on a private copy of its mesh: every material shows the
// sprite's texture, and each vertex's coordinates map its own into the frame's rectangle (v
// from the bottom). Switched off, the sprite stops, or starts over when it resets on disable.
TEST_F(AnimatorTest, ASpriteOnAFigureMapsItsCoordinatesIntoTheFrameOnAPrivateMesh) {
    PhysicsObject* figure = addFigure();
    scene::IAnimatedMeshSceneNode* meshNode = figure->getMeshNode();
    scene::IAnimatedMesh* shared = meshNode->getMesh();
    scene::IMeshBuffer* original = shared->getMeshBuffer(0);
    ASSERT_GT(original->getVertexCount(), 3u);
    auto* sprite = static_cast<AnimateTextureAnimator*>(makeAnimator("animateTexture", figure, [](Attributes* a) {
        a->addString("AnimFilePath", "Content/Screens/Animations/Pulse.xml");
        a->addFloat("FramesPerSecond", 10);
        a->addBool("Loop", true);
    }));
    ASSERT_NE(sprite->sprite.texture, nullptr);
    // The null driver's textures have no size: a sheet of four 32-unit cells in a row.
    auto* sheet = new guitest::SizedTexture("sheet", 128, 32);
    sprite->sprite.setTexture(sheet);
    sheet->drop();
    run(0.15f, 1);
    ASSERT_NE(meshNode->getMesh(), shared) << "a private copy";
    ASSERT_EQ(sprite->initialCoords.size(), original->getVertexCount());
    for (u32 m = 0; m < meshNode->getMaterialCount(); ++m)
        EXPECT_EQ(meshNode->getMaterial(m).getTexture(0), sprite->sprite.texture) << m;
    const core::rectf frame = sprite->sprite.getFrameUVRect();
    EXPECT_FLOAT_EQ(frame.UpperLeftCorner.X, 0.25f) << "the second frame";
    EXPECT_FLOAT_EQ(frame.LowerRightCorner.X, 0.5f);
    scene::IMeshBuffer* drawn = meshNode->getMesh()->getMeshBuffer(0);
    for (u32 i : {0u, 1u, original->getVertexCount() - 1}) {
        const core::vector2df uv = original->getTCoords(i);
        const core::vector2df at = drawn->getTCoords(i);
        EXPECT_NEAR(at.X, frame.UpperLeftCorner.X + frame.getWidth() * uv.X, 1e-5f) << i;
        EXPECT_NEAR(at.Y, frame.LowerRightCorner.Y - frame.getHeight() * uv.Y, 1e-5f) << i;
    }
    for (const bool reset : {false, true}) {
        SCOPED_TRACE(reset);
        sprite->resetOnDisable = reset;
        sprite->setEnabled(true);
        run(0.05f, 1);
        sprite->setEnabled(false);
        run(0.05f, 1);
        EXPECT_EQ(sprite->sprite.playing, reset) << "stopped unless it starts over";
        if (reset) {
            EXPECT_EQ(sprite->sprite.time, 0.0f);
        } else {
            EXPECT_GT(sprite->sprite.time, 0.0f);
        }
    }
}

// Scrolling one material leaves the others where they are.
TEST_F(AnimatorTest, ScrollingOneMaterialLeavesTheOthers) {
    scene::SMesh* mesh = new scene::SMesh();
    for (int i = 0; i < 3; ++i) {
        auto* buffer = new scene::SMeshBuffer();
        mesh->addMeshBuffer(buffer);
        buffer->drop();
    }
    scene::IMeshSceneNode* box = smgr()->addMeshSceneNode(mesh, root());
    mesh->drop();
    ASSERT_EQ(box->getMaterialCount(), 3u);
    makeAnimator("animateUVs", box, [](Attributes* a) {
        a->addVector2d("TranslationSpeed", {0.5f, 0.0f});
        a->addBool("ApplyToAllMaterials", false);
        a->addInt("MaterialIndex", 1);
    });
    run(0.1f, 2);
    EXPECT_NEAR(getTextureTranslation(box->getMaterial(0)).X, 0.0f, 1e-5f);
    EXPECT_NEAR(getTextureTranslation(box->getMaterial(1)).X, 0.1f, 1e-5f);
    EXPECT_NEAR(getTextureTranslation(box->getMaterial(2)).X, 0.0f, 1e-5f);
}

// Scrolling coordinates switched off go back to where they started only when they reset on
// disable.
TEST_F(AnimatorTest, ScrolledCoordinatesGoBackOnDisableOnlyWhenTheyReset) {
    for (const bool reset : {false, true}) {
        SCOPED_TRACE(reset);
        scene::ISceneNode* box = smgr()->addCubeSceneNode(1.0f, root());
        setTextureTranslation(box->getMaterial(0), {0.1f, 0.2f});
        AnimatorBase* scroll = makeAnimator("animateUVs", box, [&](Attributes* a) {
            a->addVector2d("TranslationSpeed", {0.5f, 0.0f});
            a->addBool("ResetOnDisable", reset);
        });
        run(0.1f, 2);
        EXPECT_NEAR(getTextureTranslation(box->getMaterial(0)).X, 0.2f, 1e-4f);
        scroll->setEnabled(false);
        frame(0.1f);
        EXPECT_NEAR(getTextureTranslation(box->getMaterial(0)).X, reset ? 0.1f : 0.2f, 1e-4f);
        EXPECT_NEAR(getTextureTranslation(box->getMaterial(0)).Y, 0.2f, 1e-4f);
    }
}

// Without a joint name the attached node follows the joint of its index; an index past the
// figure's joints follows none, and in play lets go of the parent for good.
TEST_F(AnimatorTest, ABoneAttachmentWithoutANameFollowsTheJointOfItsIndex) {
    PhysicsObject* figure = addFigure();
    figure->setID(40);
    manager->registerNodeIDs(figure);
    figure->getMeshNode()->setJointMode(scene::EJUOR_READ);
    const u32 joints = figure->getMeshNode()->getJointCount();
    ASSERT_GT(joints, 5u);
    device->get()->getTimer()->setTime(5000); // a follow runs once per engine time
    scene::ISceneNode* byIndex = addNode({0, 0, 0});
    makeAnimator("attachToMeshBone", byIndex, [](Attributes* a) {
        a->addInt("ParentID", 40);
        a->addInt("JointIndex", 5);
    });
    scene::ISceneNode* past = addNode({7, 7, 7});
    AnimatorBase* pastAnimator = makeAnimator("attachToMeshBone", past, [&](Attributes* a) {
        a->addInt("ParentID", 40);
        a->addInt("JointIndex", static_cast<s32>(joints));
    });
    figure->setPosition({10, 0, 0});
    for (int i = 0; i < 2; ++i) {
        frame();
        manager->onEndOfUpdate.invoke();
    }
    expectNear(byIndex->getAbsolutePosition(), figure->getMeshNode()->getJointNode(5u)->getAbsolutePosition(), 0.01f);
    expectNear(past->getAbsolutePosition(), {7, 7, 7});
    EXPECT_EQ(written(pastAnimator)[4], "ParentID=-1");
}

// With hardware skinning the joint nodes are not kept up, so an attached node follows the
// mesh's own animated joint, the root joint included.
TEST_F(AnimatorTest, WithHardwareSkinningABoneAttachmentFollowsTheMeshsAnimatedJoint) {
    useHardwareSkinning();
    PhysicsObject* figure = addFigure();
    figure->setID(40);
    manager->registerNodeIDs(figure);
    device->get()->getTimer()->setTime(5000);
    std::vector<scene::ISceneNode*> attached;
    for (s32 index : {0, 5}) {
        attached.push_back(addNode({0, 0, 0}));
        makeAnimator("attachToMeshBone", attached.back(), [&](Attributes* a) {
            a->addInt("ParentID", 40);
            a->addInt("JointIndex", index);
        });
    }
    figure->setPosition({10, 0, 0});
    scene::IAnimatedMeshSceneNode* mesh = figure->getMeshNode();
    auto* skinned = static_cast<scene::ISkinnedMesh*>(mesh->getMesh());
    ASSERT_EQ(skinned->getMeshType(), scene::EAMT_SKINNED);
    const u32 indices[] = {0, 5};
    frame();
    // Joint nodes left behind (here pushed away) are not what the nodes follow.
    for (u32 index : indices) {
        scene::IBoneSceneNode* joint = mesh->getJointNode(index);
        joint->setPosition(joint->getPosition() + core::vector3df(0, 50, 0));
        joint->updateAbsolutePosition();
    }
    manager->onEndOfUpdate.invoke();
    for (std::size_t k = 0; k < attached.size(); ++k) {
        const core::matrix4 m = mesh->getAbsoluteTransformation() * skinned->getAllJoints()[indices[k]]->GlobalAnimatedMatrix;
        expectNear(attached[k]->getAbsolutePosition(), m.getTranslation(), 0.01f);
    }
}

// A bone controller turns its joint toward its orienting object by the blend's share: all
// the way at a blend of 1, a part of the way below.
TEST_F(AnimatorTest, ABoneControllerTurnsItsJointTheBlendsShareTowardItsOrientingObject) {
    addNode({5, 5, 5}, 31);
    scene::ISceneNode* orient = addNode({0, 0, 0}, 32);
    orient->setRotation({0, 90, 0});
    orient->updateAbsolutePosition();
    const f32 blends[] = {0.0f, 0.5f, 1.0f, 0.99f};
    f32 yaw[4] = {};
    for (int i = 0; i < 4; ++i) {
        PhysicsObject* figure = addFigure();
        makeAnimator("controlMeshBone", figure, [&](Attributes* a) {
            a->addInt("JointCount", 1);
            a->addInt("JointPhysicsObjectID1", 31);
            a->addInt("OrientPhysicsObjectID1", 32);
            a->addFloat("BlendAmount", blends[i]);
        });
        frame();
        frame();
        core::vector3df forward(0, 0, 1);
        figure->getMeshNode()->getJointNode(0u)->getAbsoluteTransformation().rotateVect(forward);
        yaw[i] = std::atan2(forward.X, forward.Z) * core::RADTODEG;
    }
    EXPECT_NEAR(yaw[2], 90.0f, 0.5f);
    EXPECT_GT(std::fabs(yaw[2] - yaw[1]), 5.0f) << "half a blend stops short";
    EXPECT_GT(std::fabs(yaw[1] - yaw[0]), 5.0f) << "and still turns";
    EXPECT_NEAR(yaw[3], 90.0f, 2.0f) << "nearly all the way";
}

// A new animator of each type, as the editor adds it, writes these settings after the base
// keys (a new frame animator is off until a level switches it on).
TEST_F(AnimatorTest, ANewAnimatorOfEachTypeWritesItsDefaults) {
    const std::pair<const char*, std::vector<std::string>> rows[] = {
        {"moveStraight",
         {"Start=0.000000, 0.000000, 0.000000", "End=0.000000, 10.000000, 0.000000", "TimeForWay=3000", "Loop=false", "PingPong=false", "ResetOnDisable=false"}},
        {"moveSpline",
         {"SpawnTime=0.000000", "Speed=1.000000", "Tightness=0.500000", "Loop=true", "PingPong=false", "LinearMovement=false", "AnimatePosition=true", "AnimateRotation=false", "AnimateScale=false", "ResetOnDisable=false", "Point1=0.000000, 0.000000, 0.000000", "Rotation1=0.000000, 0.000000, 0.000000", "Point2=10.000000, 5.000000, 10.000000", "Rotation2=0.000000, 0.000000, 0.000000"}},
        {"animateFrame",
         {"LoopFrames=Unchanged", "UseAnimationFrom=", "CharAnimationName=", "StartFrame=0", "EndFrame=0", "BlendTime=1.000000", "ChangeFPS=false", "NextAnimatorID=-1"}},
        {"animateTexture",
         {"AnimFilePath=", "FramesPerSecond=30.000000", "Loop=true", "ResetOnDisable=false"}},
        {"animateUVs",
         {"TranslationSpeed=0.000000, 0.000000", "ApplyToAllMaterials=true", "ResetOnDisable=false"}},
        {"animateColor",
         {"TimeToFade=3.000000", "StartFromOriginalColor=false", "OriginalColor=255, 255, 255, 255", "TargetColor=255, 255, 255, 255", "ApplyToAllMaterials=true", "Loop=true", "PingPong=false", "ResetOnDisable=false"}},
        {"animateSpline",
         {"SplineObjectID=0", "SpawnTime=0.000000", "TimeToComplete=3.000000", "AffectRotation=false", "Loop=true", "PingPong=false", "ResetOnDisable=false", "SpeedVariableID=0", "CapToFramerate=false"}},
        {"parentToObject",
         {"ParentObjectID=0", "UseParentPosition=true", "UseParentRotation=false", "ExcludePositionAxes="}},
        {"attachToMeshBone",
         {"ParentID=0", "JointIndex=0", "JointName=", "UseCurrentJoint=false"}},
        {"controlMeshBone",
         {"BlendAmount=1.000000", "ControlType=Multiple Nodes", "JointCount=0"}},
        {"physicsForce",
         {"Force=0.000000, 0.000000, 0.000000", "ForceMode=Force"}},
        {"moveFlyCircle",
         {"Center=0.000000, 0.000000, 0.000000", "Radius=10.000000", "Speed=0.001000", "Direction=0.000000, 1.000000, 0.000000", "RadiusEllipsoid=0.000000", "ResetOnDisable=false"}},
        {"moveRotation",
         {"Rotation=0.000000, 0.000000, 0.000000", "SpeedVariableID=0"}},
        {"rotateTowards",
         {"TargetObjectID=0"}},
        {"swimSpline",
         {"ResetOnDisable=false", "AffectRotation=false", "SplineObjectID=0", "PrevSplineObjectID=0", "MeshObjectID=0", "SplineSpeed=20.000000", "SpeedVariableObjectID=0", "MaxChargeTime=2.000000", "ChargeDeltaTimeMultiplier=0.400000", "CompoundChargeMultiplier=4.000000", "WindDownRate=2.000000", "WindDownDamping=35.000000", "FlinchDuration=1.000000", "CurrentTime=0.000000"}},
    };
    for (const auto& [type, expected] : rows) {
        scene::ISceneNodeAnimator* made = factory->createSceneNodeAnimator(type, nullptr);
        ASSERT_NE(made, nullptr) << type;
        std::vector<std::string> lines = written(made);
        made->drop();
        ASSERT_GE(lines.size(), 3u) << type;
        EXPECT_EQ(lines[1], std::string("Enabled=") + (std::string(type) == "animateFrame" ? "false" : "true")) << type;
        const std::size_t base = std::string(type) == "animateTexture" ? 3 : 4;
        lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(std::min(base, lines.size())));
        EXPECT_EQ(lines, expected) << type;
    }
}
