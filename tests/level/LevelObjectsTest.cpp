#include "LevelTestSupport.h"

#include "level/InstancedObject.h"
#include "level/LevelHooks.h"
#include "level/MarkerObject.h"
#include "level/SceneNodeTypes.h"
#include "level/SplineObject.h"
#include "level/SubLevelObject.h"
#include "level/VariableObject.h"

#include <cmath>
#include <set>
#include <string>
#include <vector>

using namespace irr;
using scene::ISceneNode;

namespace {

using test::expectNear;

// Stands in for a physics object: only its type matters here.
class FakePhysicsObject : public LevelObject {
public:
    FakePhysicsObject(ISceneNode* parent, scene::ISceneManager* manager, s32 id = -1)
        : LevelObject(parent, manager, id) {}
    scene::ESCENE_NODE_TYPE getType() const override { return type; }
    scene::ESCENE_NODE_TYPE type = typeId("phsx");
};

class LevelObjectsTest : public test::LevelFixture {
protected:
    SplineObject* spline(ISceneNode* parent) {
        auto* node = new SplineObject(parent, smgr());
        node->drop();
        return node;
    }
    SplineObject* point(SplineObject* head, const core::vector3df& position, f32 time) {
        SplineObject* node = spline(head);
        node->setPosition(position);
        node->Time = time;
        return node;
    }
};

// --- splines ------------------------------------------------------------------------------------

TEST_F(LevelObjectsTest, LinearSplineFollowsItsPointsByTime) {
    SplineObject* path = spline(root());
    path->UseLinearInterpolation = true;
    point(path, {0, 0, 0}, 0.0f);
    point(path, {10, 0, 0}, 0.5f);
    point(path, {10, 10, 0}, 1.0f);
    EXPECT_TRUE(path->isNotReady());
    path->update();
    EXPECT_FALSE(path->isNotReady());
    expectNear(path->getPosition(0.25f), {5, 0, 0});
    expectNear(path->getPosition(0.75f), {10, 5, 0});
    expectNear(path->getPosition(-1.0f), {0, 0, 0});
    expectNear(path->getPosition(2.0f), {10, 10, 0});
    EXPECT_NEAR(path->computeLength(), 20.0f, 1e-4f);
    EXPECT_NEAR(path->getLength(), 20.0f, 1e-4f);
    EXPECT_NEAR(path->getOrientation(0.25f).Y, 90.0f, 1e-3f); // heading along +X
}

// The length sums DivisionCount straight pieces per segment; a count below one still takes
// one piece, the chord between the two points.
TEST_F(LevelObjectsTest, LengthTakesAtLeastOneStraightPiecePerSegment) {
    const f32 chords = 20.0f; // (0,0,0) to (10,0,0) to (10,10,0)
    const struct {
        s32 divisions;
        bool longer; // than the chords: the pieces follow the curve
    } rows[] = {{-1, false}, {0, false}, {1, false}, {2, true}};
    for (const auto& row : rows) {
        SplineObject* path = spline(root());
        path->DivisionCount = row.divisions;
        point(path, {0, 0, 0}, 0.0f);
        point(path, {10, 0, 0}, 0.5f);
        point(path, {10, 10, 0}, 1.0f);
        path->update();
        const f32 length = path->computeLength();
        EXPECT_EQ(path->getLength(), length) << row.divisions;
        if (row.longer)
            EXPECT_GT(length, chords + 0.01f) << row.divisions;
        else
            EXPECT_NEAR(length, chords, 1e-4f) << row.divisions;
        path->remove();
    }
}

// The heading is that of the chord from a hundredth of the path before to a hundredth after,
// cut at the ends; near a corner it turns part of the way.
TEST_F(LevelObjectsTest, HeadingFollowsTheChordAHundredthEitherSide) {
    SplineObject* path = spline(root());
    path->UseLinearInterpolation = true;
    point(path, {0, 0, 0}, 0.0f);
    point(path, {10, 0, 0}, 0.5f);
    point(path, {10, 10, 0}, 1.0f);
    path->update();
    const struct {
        f32 t;
        core::vector3df chord;
    } rows[] = {
        {0.495f, {0.3f, 0.1f, 0.0f}}, // 9.7,0 to 10,0.1
        {0.0f, {0.2f, 0.0f, 0.0f}},   // from the start only
        {1.0f, {0.0f, 0.2f, 0.0f}},   // up to the end only
    };
    for (const auto& row : rows)
        expectNear(path->getOrientation(row.t), row.chord.getHorizontalAngle(), 1e-2f);
}

// "UseSpeedControls" eases a segment by its first point's SpeedOut and its second's SpeedIn
// (here a half each: 2u^2 over the first half); without it the same points are ignored.
TEST_F(LevelObjectsTest, SpeedControlsEaseASegmentOnlyWhenSwitchedOn) {
    for (const bool eased : {false, true}) {
        SplineObject* path = spline(root());
        path->UseLinearInterpolation = true;
        path->UseSpeedControls = eased;
        point(path, {0, 0, 0}, 0.0f)->SpeedOut = 0.5f;
        point(path, {10, 0, 0}, 1.0f)->SpeedIn = 0.5f;
        path->update();
        EXPECT_FALSE(path->isNotReady()) << "two points make a path";
        expectNear(path->getPosition(0.25f), {eased ? 1.25f : 2.5f, 0, 0});
        path->remove();
    }
}

// The eased segment speeds up over the first point's SpeedOut share, runs at one speed,
// and slows down over the second point's SpeedIn share; shares adding up to more than the
// whole are scaled down to it, and shares of nothing leave the segment even.
TEST_F(LevelObjectsTest, EasingAcceleratesRunsAndSlowsDownByTheSharesOfTheSegment) {
    struct Row {
        f32 out, in, t, x;
    };
    const Row rows[] = {
        {0.2f, 0.4f, 0.1f, 0.357143f},  // speeding up: u^2 / (a (2 - a - b))
        {0.2f, 0.4f, 0.5f, 5.714286f},  // even: (2u - a) / (2 - a - b)
        {0.2f, 0.4f, 0.8f, 9.285714f},  // slowing down
        {0.0f, 0.5f, 0.25f, 3.333333f}, // no speeding up: even from the start
        {0.0f, 0.5f, 0.75f, 9.166667f},
        {0.8f, 0.6f, 0.25f, 1.09375f},  // 1.4 of the whole: scaled to 4/7 and 3/7
        {0.8f, 0.6f, 0.75f, 8.541667f},
        {0.0f, 0.0f, 0.25f, 2.5f},      // nothing to ease
        {1.5f, 0.0f, 0.5f, 2.5f},       // a share beyond the whole is the whole: u^2
    };
    for (const Row& row : rows) {
        SplineObject* path = spline(root());
        path->UseLinearInterpolation = true;
        path->UseSpeedControls = true;
        point(path, {0, 0, 0}, 0.0f)->SpeedOut = row.out;
        point(path, {10, 0, 0}, 1.0f)->SpeedIn = row.in;
        path->update();
        EXPECT_NEAR(path->getPosition(row.t).X, row.x, 1e-3f) << row.out << " " << row.in << " at " << row.t;
        path->remove();
    }
}

// Without points a path stands where its node is, with one point at that point, and a path
// that does not move has no heading.
TEST_F(LevelObjectsTest, APathOfFewerThanTwoPointsStaysPut) {
    SplineObject* path = spline(root());
    path->setPosition(core::vector3df(3, 4, 5));
    path->updateAbsolutePosition();
    path->update();
    EXPECT_TRUE(path->isNotReady());
    expectNear(path->getPosition(0.5f), {3, 4, 5});
    EXPECT_EQ(path->getOrientation(0.5f), core::vector3df(0, 0, 0));
    point(path, {1, 0, 0}, 0.3f);
    path->update();
    EXPECT_TRUE(path->isNotReady());
    expectNear(path->getPosition(0.9f), {4, 4, 5}); // the point's place in the world
    EXPECT_EQ(path->getOrientation(0.9f), core::vector3df(0, 0, 0));
}

TEST_F(LevelObjectsTest, CatmullRomThroughEvenPointsOnALineIsTheLine) {
    SplineObject* path = spline(root());
    for (int i = 0; i < 4; ++i) {
        SplineObject* p = point(path, {10.0f * i, 0, 0}, i / 3.0f);
        p->EndpointEval = SplineObject::EndpointNext; // mirrored neighbours: no slowing at the ends
    }
    path->update();
    for (f32 t : {0.0f, 0.1f, 0.3f, 0.5f, 0.77f, 1.0f})
        expectNear(path->getPosition(t), {30.0f * t, 0, 0}, 1e-3f);
    EXPECT_NEAR(path->computeLength(), 30.0f, 1e-3f);
    // A bias leans both tangents of a key alike: even points on a line stay the line.
    path->UseTCBControls = true;
    for (ISceneNode* child : path->getChildren())
        static_cast<SplineObject*>(child)->Bias = 0.5f;
    path->update();
    for (f32 t : {0.1f, 0.5f, 0.77f})
        expectNear(path->getPosition(t), {30.0f * t, 0, 0}, 1e-3f);
}

// Before the first point the curve uses that point itself (Stop), the next point mirrored
// through it, or the one after next mirrored.
TEST_F(LevelObjectsTest, APointBeyondTheStartIsChosenByTheFirstPointsEndRule) {
    struct Row {
        s32 eval;
        f32 x; // at a quarter: the middle of the first segment
    };
    for (const Row& row : {Row{SplineObject::EndpointStop, 4.375f}, Row{SplineObject::EndpointNext, 5.0f},
                           Row{SplineObject::EndpointAfterNext, 5.625f}}) {
        SplineObject* path = spline(root());
        point(path, {0, 0, 0}, 0.0f)->EndpointEval = row.eval;
        point(path, {10, 0, 0}, 0.5f);
        point(path, {20, 0, 0}, 1.0f);
        path->update();
        EXPECT_NEAR(path->getPosition(0.25f).X, row.x, 1e-4f) << row.eval;
        path->remove();
    }
}

TEST_F(LevelObjectsTest, CatmullRomReproducesAParabolaBetweenItsInnerPoints) {
    // Points of y = x*x at x = 0..4, evenly timed: the inner segments lie on the parabola.
    SplineObject* path = spline(root());
    for (int i = 0; i <= 4; ++i)
        point(path, {static_cast<f32>(i), static_cast<f32>(i * i), 0}, i / 4.0f);
    path->update();
    for (f32 t : {0.25f, 0.3f, 0.45f, 0.5f, 0.6f, 0.75f}) {
        const f32 x = 4.0f * t;
        expectNear(path->getPosition(t), {x, x * x, 0}, 1e-3f);
    }
    // Every key is on the curve, whatever lies beyond the ends.
    expectNear(path->getPosition(0.0f), {0, 0, 0});
    expectNear(path->getPosition(1.0f), {4, 16, 0});
}

TEST_F(LevelObjectsTest, TensionOneMakesStraightSegmentsAtTheKeys) {
    SplineObject* path = spline(root());
    path->UseTCBControls = true;
    for (auto [position, time] : {std::pair{core::vector3df(0, 0, 0), 0.0f},
                                  {core::vector3df(10, 0, 0), 0.5f},
                                  {core::vector3df(10, 10, 0), 1.0f}})
        point(path, position, time)->Tension = 1.0f;
    path->update();
    // Zero tangents: each segment is a smoothstep along the straight line.
    expectNear(path->getPosition(0.25f), {5, 0, 0});
    expectNear(path->getPosition(0.75f), {10, 5, 0});
    EXPECT_NEAR(path->getPosition(0.125f).X, 10.0f * (3 * 0.0625f - 2 * 0.015625f), 1e-4f);
}

// Each key's tension, continuity and bias shape its own tangents: a segment leaves its first
// key by that key's values and arrives at its second by the second's (Kochanek-Bartels).
TEST_F(LevelObjectsTest, EachKeysTensionContinuityAndBiasShapeItsTangents) {
    SplineObject* path = spline(root());
    path->UseTCBControls = true;
    const struct {
        core::vector3df position;
        f32 time, tension, continuity, bias;
    } keys[] = {{{0, 0, 0}, 0.0f, 0.3f, -0.4f, 0.2f},
                {{10, 0, 0}, 0.5f, -0.2f, 0.5f, -0.3f},
                {{10, 10, 0}, 1.0f, 0.6f, 0.1f, 0.4f}};
    for (const auto& key : keys) {
        SplineObject* p = point(path, key.position, key.time);
        p->Tension = key.tension;
        p->Continuity = key.continuity;
        p->Bias = key.bias;
    }
    path->update();
    expectNear(path->getPosition(0.125f), {1.50344f, -0.18281f, 0}, 1e-3f);
    expectNear(path->getPosition(0.25f), {4.4225f, -0.4875f, 0}, 1e-3f);
    expectNear(path->getPosition(0.75f), {10.2625f, 6.0775f, 0}, 1e-3f);
    expectNear(path->getPosition(0.875f), {10.09844f, 8.55281f, 0}, 1e-3f);
}

TEST_F(LevelObjectsTest, RebalanceSpacesTimesByLength) {
    SplineObject* path = spline(root());
    path->UseLinearInterpolation = true;
    path->RebalanceFlag = true;
    SplineObject* a = point(path, {0, 0, 0}, 0.1f);
    SplineObject* b = point(path, {10, 0, 0}, 0.1f);
    SplineObject* c = point(path, {40, 0, 0}, 0.1f);
    path->update();
    EXPECT_FLOAT_EQ(a->Time, 0.0f);
    EXPECT_FLOAT_EQ(b->Time, 0.25f);
    EXPECT_FLOAT_EQ(c->Time, 1.0f);
    expectNear(path->getPosition(0.5f), {20, 0, 0});
}

TEST_F(LevelObjectsTest, PointsOfAPathShareTheirParentsCurve) {
    SplineObject* path = spline(root());
    path->UseLinearInterpolation = true;
    SplineObject* first = point(path, {0, 0, 0}, 0.0f);
    first->UseLinearInterpolation = true;
    point(path, {0, 0, 8}, 1.0f);
    first->update();
    EXPECT_EQ(first->getControlPointCount(), 2u);
    expectNear(first->getPosition(0.5f), {0, 0, 4});
}

TEST_F(LevelObjectsTest, SplineUpdatesInTheLevelUpdateAndKeepsItsKeys) {
    SplineObject* path = spline(root());
    point(path, {0, 0, 0}, 0.0f);
    point(path, {5, 0, 0}, 1.0f);
    EXPECT_FALSE(path->isUpdated());
    manager->update();
    EXPECT_TRUE(path->isUpdated());
    EXPECT_EQ(path->getControlPointCount(), 2u);

    io::IAttributes* out = device->get()->getFileSystem()->createEmptyAttributes();
    path->EndpointEval = SplineObject::EndpointAfterNext;
    path->Bias = 0.5f;
    path->serializeAttributes(out, nullptr);
    EXPECT_STREQ(out->getAttributeAsEnumeration("EndpointEval"), "Use Point After Next");
    SplineObject* copy = spline(root());
    copy->deserializeAttributes(out, nullptr);
    EXPECT_EQ(copy->EndpointEval, SplineObject::EndpointAfterNext);
    EXPECT_EQ(copy->Bias, 0.5f);
    out->drop();
}

// --- markers ------------------------------------------------------------------------------------

TEST_F(LevelObjectsTest, MarkerPoseIsRelativeToAPhysicsParentOnly) {
    auto* body = new FakePhysicsObject(root(), smgr());
    body->drop();
    body->setScale(core::vector3df(2, 3, 4));
    auto* marker = new MarkerObject(body, smgr());
    marker->drop();
    marker->setPosition(core::vector3df(1, 1, 1));
    marker->setRotation(core::vector3df(0, 90, 0));

    MarkerPose pose = MarkerObject::getPoseRelativeTo(marker);
    EXPECT_EQ(pose.position, core::vector3df(2, 3, 4));
    const core::quaternion expected(core::vector3df(0, 90 * 0.01745f, 0));
    EXPECT_EQ(pose.rotation, expected);

    body->type = typeId("crct"); // a kind of physics object
    EXPECT_EQ(MarkerObject::getPoseRelativeTo(marker).position, core::vector3df(2, 3, 4));

    body->type = typeId("emty");
    pose = MarkerObject::getPoseRelativeTo(marker);
    EXPECT_EQ(pose.position, core::vector3df(0, 0, 0));
    EXPECT_EQ(pose.rotation, core::quaternion(0, 0, 0, 1));
    EXPECT_EQ(MarkerObject::getPoseRelativeTo(nullptr).rotation, core::quaternion(0, 0, 0, 1));
}

TEST_F(LevelObjectsTest, MarkerSegmentIsReadByNameOrNumber) {
    auto* marker = new MarkerObject(root(), smgr());
    marker->drop();
    io::IAttributes* in = device->get()->getFileSystem()->createEmptyAttributes();
    in->addEnum("SegmentID", "RFoot", MarkerObject::segmentNames);
    marker->deserializeAttributes(in, nullptr);
    EXPECT_EQ(marker->SegmentID, 23);
    in->clear();
    in->addInt("SegmentID", 5);
    marker->deserializeAttributes(in, nullptr);
    EXPECT_EQ(marker->SegmentID, 5);
    in->drop();
    EXPECT_STREQ(MarkerObject::segmentNames[1], "Head Collider");
    EXPECT_EQ(MarkerObject::segmentNames[MarkerObject::segmentCount], nullptr);
}

// --- sublevels ----------------------------------------------------------------------------------

TEST_F(LevelObjectsTest, SublevelsAreCreatedFromTheirFileAndKeptOutOfSaves) {
    useTestData();
    SubLevelObject* sublevel = manager->setSubLevelActive("SubLevel.irr", 891000);
    ASSERT_NE(sublevel, nullptr);
    EXPECT_EQ(manager->getSceneNodeFromID(891000), sublevel);
    ISceneNode* group = manager->getSceneNodeFromID(31);
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->getParent(), sublevel);
    EXPECT_TRUE(group->isDebugObject());
    EXPECT_TRUE(sublevel->isMember(manager->getSceneNodeFromID(33)));
    EXPECT_FALSE(sublevel->isMember(sublevel));
    EXPECT_TRUE(sublevel->isActive());

    log.lines.clear();
    EXPECT_EQ(manager->setSubLevelActive("NoSuchSubLevel.irr", 892000), nullptr);
    EXPECT_EQ(log.countStartingWith("ERROR: Could not read level file NoSuchSubLevel.irr"), 1u);
    EXPECT_EQ(smgr()->getSceneNodeFromId(892000), nullptr);

    ASSERT_TRUE(manager->saveLevel("WithSublevel.irrblvl"));
    manager->unloadLevel();
    ASSERT_TRUE(manager->loadLevel("WithSublevel.irrblvl"));
    EXPECT_EQ(countNodes(root()), 1u + 3u); // the sublevel and its file's three objects
}

// Every object a sublevel's file made is its member, in whatever order the objects lie in
// memory (freed objects make the next ones lie lower); the sublevel and others are not.
TEST_F(LevelObjectsTest, EveryObjectOfASublevelsFileIsItsMember) {
    useTestData();
    std::string file = "<?xml version=\"1.0\"?>\n<irr_scene>\n";
    for (int i = 0; i < 12; ++i)
        file += "<node type=\"LevelObject\"><attributes><int name=\"Id\" value=\"" + std::to_string(700 + i) +
                "\" /></attributes></node>\n";
    ASSERT_TRUE(test::writeFileBytes("Many.irr", file + "</irr_scene>\n"));
    std::vector<LevelObject*> freed;
    for (int i = 0; i < 12; ++i)
        freed.push_back(new LevelObject(root(), smgr(), -1));
    for (LevelObject* object : freed) {
        object->remove();
        object->drop();
    }
    SubLevelObject* sublevel = manager->setSubLevelActive("Many.irr", 699);
    ASSERT_NE(sublevel, nullptr);
    for (int i = 0; i < 12; ++i) {
        ISceneNode* member = manager->getSceneNodeFromID(700 + i);
        ASSERT_NE(member, nullptr) << i;
        EXPECT_TRUE(sublevel->isMember(member)) << i;
    }
    EXPECT_FALSE(sublevel->isMember(sublevel));
    EXPECT_FALSE(sublevel->isMember(root()));
}

TEST_F(LevelObjectsTest, SublevelActivationSwitchesItsPhysicsObjectsExceptOutliers) {
    registerSceneNodeType(levelObjectRow<FakePhysicsObject>(typeId("phsx"), "PhysicsObject"));
    useTestData();
    test::writeFileBytes("Bodies.irr", R"(<?xml version="1.0"?>
<irr_scene>
  <node type="PhysicsObject"><attributes><int name="Id" value="61" /></attributes></node>
  <node type="PhysicsObject"><attributes><int name="Id" value="62" />
    <vector3d name="Position" value="10, 0, 0" /></attributes></node>
  <node type="PhysicsObject"><attributes><int name="Id" value="63" /></attributes></node>
</irr_scene>)");
    SubLevelObject* sublevel = manager->setSubLevelActive("Bodies.irr", 60);
    ASSERT_NE(sublevel, nullptr);
    std::map<s32, bool> active, outlier;
    levelHooks().physics.setSublevelState = [&](ISceneNode* node, bool on, bool out) {
        active[node->getID()] = on;
        outlier[node->getID()] = out;
    };

    ISceneNode* wanderer = manager->getSceneNodeFromID(62);
    wanderer->setPosition(core::vector3df(500, 0, 0)); // left the sublevel's bounds
    wanderer->updateAbsolutePosition();
    sublevel->appendOutlier(manager->getSceneNodeFromID(63));
    EXPECT_TRUE(sublevel->containsOutlier(manager->getSceneNodeFromID(63)));

    sublevel->setActive(false);
    EXPECT_FALSE(sublevel->isVisible());
    EXPECT_EQ(active, (std::map<s32, bool>{{61, false}, {62, true}, {63, true}}));
    EXPECT_EQ(outlier, (std::map<s32, bool>{{61, false}, {62, true}, {63, true}}));
    sublevel->setActive(true);
    EXPECT_TRUE(active[61]);
}

// --- instances ----------------------------------------------------------------------------------

TEST_F(LevelObjectsTest, InstancesCopyTheirSourceThroughThePhysicsHooks) {
    auto* source = new FakePhysicsObject(root(), smgr(), 50);
    source->drop();
    manager->rebuildNodeIDs();
    auto* instance = new InstancedObject(root(), smgr(), 51);
    instance->drop();
    instance->ObjectID = 50;

    std::vector<std::string> calls;
    LevelHookTable& hooks = levelHooks();
    hooks.physics.cloneForInstance = [&](ISceneNode* from, InstancedObject* into) -> ISceneNode* {
        calls.push_back("clone");
        auto* copy = new FakePhysicsObject(into, into->getSceneManager(), 0);
        copy->drop();
        EXPECT_EQ(from, source);
        return copy;
    };
    hooks.physics.registerInstance = [&](ISceneNode*, InstancedObject*) {
        calls.push_back("register");
    };
    bool instancing = false;
    hooks.render.isInstancingEnabled = [&] { return instancing; };
    simulateRunningPhysics();

    manager->update(); // instances rebuild on their first animate pass
    ASSERT_NE(instance->getCopy(), nullptr);
    EXPECT_EQ(instance->getCopy()->getParent(), instance);
    EXPECT_TRUE(instance->getCopy()->isDebugObject());
    EXPECT_EQ(instance->getSource(), source);
    EXPECT_EQ(calls, std::vector<std::string>{"clone"});

    instancing = true;
    instance->rebuild();
    EXPECT_EQ(calls, (std::vector<std::string>{"clone", "clone", "register"}));
    EXPECT_EQ(instance->getChildren().size(), 1u); // the old copy is gone

    instance->ObjectID = 0; // names nothing: no copy and no source
    instance->rebuild();
    EXPECT_EQ(instance->getCopy(), nullptr);
    EXPECT_EQ(instance->getSource(), nullptr);
    EXPECT_EQ(source->getReferenceCount(), 1) << "the instance holds it no longer";

    instance->ObjectID = 999; // names nothing: no copy, and the lookup says so
    log.lines.clear();
    instance->rebuild();
    EXPECT_EQ(instance->getCopy(), nullptr);
    EXPECT_TRUE(log.contains("ERROR: Could not find SceneNode ID: 999"));
}

// A sublevel given another file drops the content of the old one and loads the new; what was
// added to it by hand stays. A copy loads its own content and copies only what was added.
TEST_F(LevelObjectsTest, ASublevelGivenAnotherFileReplacesItsContent) {
    useTestData();
    ASSERT_TRUE(test::writeFileBytes("Other.irr", R"(<?xml version="1.0"?>
<irr_scene>
  <node type="LevelObject"><attributes><int name="Id" value="41" /></attributes></node>
</irr_scene>)"));
    SubLevelObject* sublevel = manager->setSubLevelActive("SubLevel.irr", 891000);
    ASSERT_NE(sublevel, nullptr);
    auto* added = new LevelObject(sublevel, smgr(), 45);
    added->drop();
    io::IAttributes* in = device->get()->getFileSystem()->createEmptyAttributes();
    in->addString("SubLevelFileName", "Other.irr");
    sublevel->deserializeAttributes(in);
    in->drop();
    std::vector<s32> ids;
    for (ISceneNode* child : sublevel->getChildren())
        ids.push_back(child->getID());
    EXPECT_EQ(ids, (std::vector<s32>{45, 41}));
    EXPECT_FALSE(sublevel->isMember(manager->getSceneNodeFromID(33)));

    ISceneNode* copy = sublevel->clone();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->getType(), typeId("slvl"));
    std::size_t loaded = 0, copied = 0;
    for (ISceneNode* child : copy->getChildren())
        (child->isDebugObject() ? loaded : copied) += 1;
    EXPECT_EQ(loaded, 1u);
    EXPECT_EQ(copied, 1u);
}

// The factory lists every type it makes with its name, makes each by its identifier, and a
// copy of each of the level's own objects is an object of the same type.
TEST_F(LevelObjectsTest, TheFactoryMakesEveryListedTypeAndCopiesKeepTheirType) {
    scene::ISceneNodeFactory* factory = nullptr;
    for (u32 i = 0; i < smgr()->getRegisteredSceneNodeFactoryCount(); ++i) {
        scene::ISceneNodeFactory* candidate = smgr()->getSceneNodeFactory(i);
        if (candidate->getCreateableSceneNodeTypeName(typeId("slvl")))
            factory = candidate;
    }
    ASSERT_NE(factory, nullptr);
    const u32 count = factory->getCreatableSceneNodeTypeCount();
    EXPECT_GE(count, 9u);
    std::set<std::string> names;
    for (u32 i = 0; i < count; ++i) {
        const scene::ESCENE_NODE_TYPE type = factory->getCreateableSceneNodeType(i);
        const c8* name = factory->getCreateableSceneNodeTypeName(i);
        ASSERT_NE(name, nullptr) << i;
        names.insert(name);
        EXPECT_STREQ(factory->getCreateableSceneNodeTypeName(type), name);
        ISceneNode* made = factory->addSceneNode(type, root());
        ASSERT_NE(made, nullptr) << name;
        EXPECT_EQ(made->getType(), type) << name;
        EXPECT_EQ(made->getParent(), root()) << name;
    }
    EXPECT_EQ(names.size(), count);
    EXPECT_EQ(factory->getCreateableSceneNodeType(count), scene::ESNT_UNKNOWN);
    EXPECT_EQ(factory->getCreateableSceneNodeTypeName(count), nullptr);

    for (const char* own : {"LevelObject", "LevelInfo", "SubLevelObject", "InstancedObject", "SplineObject",
                            "VariableObject", "MarkerObject", "SoundObject", "ObjectiveObject"}) {
        ASSERT_EQ(names.count(own), 1u) << own;
        ISceneNode* made = factory->addSceneNode(own, nullptr); // the root when none is given
        ASSERT_NE(made, nullptr) << own;
        EXPECT_EQ(made->getParent(), root()) << own;
        made->setName(own);
        ISceneNode* copy = made->clone();
        ASSERT_NE(copy, nullptr) << own;
        EXPECT_EQ(copy->getType(), made->getType()) << own;
        EXPECT_STREQ(copy->getName(), own);
    }
}

TEST_F(LevelObjectsTest, VariablesCloneWithTheirValue) {
    auto* variable = new VariableObject(root(), smgr(), 70);
    variable->drop();
    variable->Value = 2.5f;
    manager->rebuildNodeIDs();
    auto* copy = static_cast<VariableObject*>(variable->clone());
    EXPECT_EQ(copy->getType(), typeId("vble"));
    EXPECT_EQ(copy->Value, 2.5f);
    EXPECT_EQ(copy->getID(), 71);
}

} // namespace
