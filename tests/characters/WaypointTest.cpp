// Waypoints: the path navigation, the end points' times, the keys a point writes, and an
// arrival starting the child events until a break.
#include "CharacterFixture.h"

#include "characters/WaypointObject.h"
#include "triggers/TriggerEventObject.h"

using namespace irr;

namespace {

class WaypointTest : public test::CharacterFixture {
protected:
    WaypointObject* add(scene::ISceneNode* parent) {
        auto* waypoint = new WaypointObject(parent, smgr());
        waypoint->drop();
        return waypoint;
    }
    scene::ISceneNode* addOther(scene::ISceneNode* parent) { return smgr()->addEmptySceneNode(parent); }
};

// Start S with the points A, (other), B, C; B has a child G that no walk reaches.
TEST_F(WaypointTest, NextAndPreviousWalkThePointsInChildOrder) {
    WaypointObject* start = add(smgr()->getRootSceneNode());
    WaypointObject* a = add(start);
    addOther(start);
    WaypointObject* b = add(start);
    WaypointObject* c = add(start);
    WaypointObject* g = add(b);
    (void)g;

    struct Row {
        const char* what;
        WaypointObject* got;
        WaypointObject* expected;
    } rows[] = {
        {"next of the start", WaypointObject::getNextWaypoint(start), a},
        {"next of A skips the other child", WaypointObject::getNextWaypoint(a), b},
        {"next of B stays on its level", WaypointObject::getNextWaypoint(b), c},
        {"next of the last", WaypointObject::getNextWaypoint(c), nullptr},
        {"previous of the first point", WaypointObject::getPreviousWaypoint(a), nullptr},
        {"previous of C", WaypointObject::getPreviousWaypoint(c), b},
        {"previous of B, which has a waypoint child", WaypointObject::getPreviousWaypoint(b), nullptr},
        {"previous of the start", WaypointObject::getPreviousWaypoint(start), nullptr},
        {"last from the start", WaypointObject::getLastWaypoint(start), c},
        {"next of nothing", WaypointObject::getNextWaypoint(nullptr), nullptr},
        {"previous of nothing", WaypointObject::getPreviousWaypoint(nullptr), nullptr},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.got, row.expected) << row.what;
}

// A new waypoint is a straight-line point at time 0.1.
TEST_F(WaypointTest, ANewPointIsLinear) {
    WaypointObject* point = add(smgr()->getRootSceneNode());
    EXPECT_TRUE(point->UseLinearInterpolation);
    EXPECT_FLOAT_EQ(point->Time, 0.1f);
}

// A copied point joins the same path (after the others) with its own ID and the original's
// curve settings; a copy given another parent joins that one.
TEST_F(WaypointTest, ACopiedPointJoinsThePathWithItsOwnIDAndTheSameSettings) {
    WaypointObject* start = add(smgr()->getRootSceneNode());
    WaypointObject* a = add(start);
    WaypointObject* b = add(start);
    b->setID(7);
    b->Tension = 0.3f;
    b->Bias = -0.2f;
    b->Continuity = 0.6f;
    b->setPosition({1, 2, 3});
    auto* copy = static_cast<WaypointObject*>(b->clone());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->getParent(), start);
    EXPECT_EQ(WaypointObject::getNextWaypoint(b), copy) << "after the others";
    EXPECT_NE(copy->getID(), 7);
    EXPECT_FLOAT_EQ(copy->Tension, 0.3f);
    EXPECT_FLOAT_EQ(copy->Bias, -0.2f);
    EXPECT_FLOAT_EQ(copy->Continuity, 0.6f);
    EXPECT_EQ(copy->scene::ISceneNode::getPosition(), core::vector3df(1, 2, 3));
    EXPECT_EQ(copy->getReferenceCount(), 1) << "held by its path only";
    WaypointObject* other = add(smgr()->getRootSceneNode());
    auto* moved = static_cast<WaypointObject*>(a->clone(other, smgr()));
    EXPECT_EQ(moved->getParent(), other);
    EXPECT_EQ(WaypointObject::getNextWaypoint(other), moved);
}

TEST_F(WaypointTest, TheLastPointTakesTimeOneAndTheOthersZero) {
    WaypointObject* start = add(smgr()->getRootSceneNode());
    WaypointObject* a = add(start);
    WaypointObject* b = add(start);
    WaypointObject* c = add(start);
    b->Time = 0.4f;
    smgr()->getRootSceneNode()->OnAnimate(0);
    EXPECT_FLOAT_EQ(start->Time, 0.0f);
    EXPECT_FLOAT_EQ(a->Time, 0.0f);
    EXPECT_FLOAT_EQ(c->Time, 1.0f);
    EXPECT_GT(b->Time, 0.0f) << "a middle point keeps a time between the ends";
    EXPECT_LT(b->Time, 1.0f);
}

TEST_F(WaypointTest, PointsWriteTheSplineKeysOfTheirPlaceOnly) {
    WaypointObject* start = add(smgr()->getRootSceneNode());
    WaypointObject* first = add(start);
    WaypointObject* middle = add(start);
    WaypointObject* last = add(start);
    struct Row {
        const char* what;
        WaypointObject* point;
        bool divisions, endpoint, tension;
    } rows[] = {
        {"path start", start, false, false, false},
        {"first point", first, true, true, true},
        {"middle point", middle, false, false, true},
        {"last point", last, false, true, true},
    };
    io::IFileSystem* fs = device->get()->getFileSystem();
    for (const Row& row : rows) {
        io::IAttributes* out = fs->createEmptyAttributes();
        row.point->serializeAttributes(out);
        EXPECT_EQ(out->existsAttribute("DivisionCount"), row.divisions) << row.what;
        EXPECT_EQ(out->existsAttribute("UseLinearInterpolation"), row.divisions) << row.what;
        EXPECT_EQ(out->existsAttribute("EndpointEval"), row.endpoint) << row.what;
        EXPECT_EQ(out->existsAttribute("Tension"), row.tension) << row.what;
        EXPECT_FALSE(out->existsAttribute("Time")) << row.what;
        out->drop();
    }
    // The first point's switches are written as they stand, both ways.
    for (bool on : {false, true}) {
        first->UseLinearInterpolation = on;
        first->UseTCBControls = !on;
        io::IAttributes* out = fs->createEmptyAttributes();
        first->serializeAttributes(out);
        EXPECT_EQ(out->getAttributeAsBool("UseLinearInterpolation"), on);
        EXPECT_EQ(out->getAttributeAsBool("UseTCBControls"), !on);
        out->drop();
    }
}

// A path whose points do not rebalance keeps the times set up: the last point 1.
TEST_F(WaypointTest, WithoutRebalancingTheLastPointStillTakesTimeOne) {
    WaypointObject* start = add(smgr()->getRootSceneNode());
    start->RebalanceFlag = false;
    WaypointObject* points[3] = {add(start), add(start), add(start)};
    for (int i = 0; i < 3; ++i) {
        points[i]->RebalanceFlag = false;
        points[i]->setPosition(core::vector3df(5.0f * static_cast<f32>(i), 0.0f, 0.0f));
    }
    smgr()->getRootSceneNode()->OnAnimate(0);
    EXPECT_FLOAT_EQ(points[0]->Time, 0.0f);
    EXPECT_FLOAT_EQ(points[2]->Time, 1.0f);
}

// Outside play every waypoint without points below it shows the wireframe marker; the
// first point of a path draws the path in the transparent-effect pass.
TEST_F(WaypointTest, OutsidePlayTheEndPointsShowTheirMarker) {
    WaypointObject* start = add(smgr()->getRootSceneNode());
    WaypointObject* a = add(start);
    WaypointObject* b = add(start);
    b->setPosition(core::vector3df(5.0f, 0.0f, 0.0f));
    smgr()->getRootSceneNode()->OnAnimate(0);
    ASSERT_NE(a->getMarker(), nullptr);
    EXPECT_TRUE(a->getMarker()->isVisible());
    EXPECT_TRUE(a->getMarker()->getMaterial(0).Wireframe);
    EXPECT_FALSE(a->getMarker()->getMaterial(0).Lighting);
    EXPECT_TRUE(a->getMarker()->isDebugObject()) << "never saved or cloned";
    ASSERT_NE(start->getMarker(), nullptr);
    EXPECT_FALSE(start->getMarker()->isVisible()) << "a path start has points below it";
    EXPECT_EQ(log.countStartingWith("ERROR: "), 0u);
}

// An action that counts its runs and, when asked, breaks its waypoint's arrival as a
// conditional trigger does.
class ArrivalAction : public TriggerAction {
public:
    ArrivalAction(int& runs, WaypointObject* breaks) : TriggerAction(0, nullptr), runs(runs), breaks(breaks) {}
    void execute(TriggerEventInfo&) override {
        ++runs;
        if (breaks)
            breaks->breakEvents();
    }
    int& runs;
    WaypointObject* breaks;
};

TEST_F(WaypointTest, AnArrivalStartsTheChildEventsUntilABreak) {
    WaypointObject* start = add(smgr()->getRootSceneNode());
    WaypointObject* point = add(start);
    int before = 0, breaking = 0, after = 0;
    for (auto [runs, breaks] : {std::pair<int*, WaypointObject*>{&before, nullptr}, {&breaking, point},
                                {&after, nullptr}}) {
        auto* event = new TriggerEventObject(point, smgr());
        event->drop();
        event->setAction(new ArrivalAction(*runs, breaks));
    }
    point->runWaypointEvents();
    EXPECT_EQ(before, 1);
    EXPECT_EQ(breaking, 1);
    EXPECT_EQ(after, 0) << "the break keeps the later children of this arrival from starting";
    EXPECT_TRUE(point->eventsStopped);
}

} // namespace
