#include "PhysTestScene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace phys::test {
namespace {

// Answers by shape and records every call.
class ScriptedFilter : public QueryFilterCallback {
public:
    QueryHitType preFilter(const FilterData&, Shape* shape, RigidActor*, uint32_t&) override {
        preFiltered.push_back(shape);
        if (noneAll || shape == preNone)
            return QueryHitType::None;
        return shape == preTouch ? QueryHitType::Touch : QueryHitType::Block;
    }
    QueryHitType postFilter(const FilterData&, const QueryHit& hit) override {
        postFiltered.push_back(hit.shape);
        return hit.shape == postNone ? QueryHitType::None : QueryHitType::Block;
    }
    bool noneAll = false; // every shape passes: all are offered
    const Shape* preNone = nullptr;
    const Shape* preTouch = nullptr;
    const Shape* postNone = nullptr;
    std::vector<const Shape*> preFiltered;
    std::vector<const Shape*> postFiltered;
};

class SceneQueries : public ::testing::Test {
protected:
    SceneQueries() {
        // Three boxes in a column above the ground at y = 2, 5 and 8.
        for (float y : {2.0f, 5.0f, 8.0f}) {
            RigidDynamic* box = s.physics->createRigidDynamic(Transform(Vec3(0, y, 0)));
            box->createShape(BoxGeometry(Vec3(0.5f)), *s.material);
            box->setRigidDynamicFlag(RigidDynamicFlag::Kinematic, true);
            s.scene->addActor(*box);
            boxes.push_back(box);
            shapes.push_back(firstShape(*box));
        }
        s.step();
    }
    bool castDown(RaycastHit& hit, const QueryFilterData& data = QueryFilterData(),
                  QueryFilterCallback* callback = nullptr) {
        return s.scene->raycastSingle(Vec3(0, 20, 0), Vec3(0, -1, 0), 100.0f, HitDefault, hit, data, callback);
    }

    PhysScene s;
    std::vector<RigidDynamic*> boxes;
    std::vector<Shape*> shapes;
};

TEST_F(SceneQueries, RayReturnsTheNearestBlockingHit) {
    RaycastHit hit;
    ASSERT_TRUE(castDown(hit));
    EXPECT_EQ(hit.shape, shapes[2]);
    EXPECT_EQ(hit.actor, boxes[2]);
    EXPECT_NEAR(hit.distance, 11.5f, 1e-3f);
    EXPECT_NEAR(hit.position.y, 8.5f, 1e-3f);
    EXPECT_NEAR(hit.normal.y, 1.0f, 1e-3f);
    EXPECT_EQ(hit.faceIndex, 0xFFFFFFFFu);
    EXPECT_FALSE(s.scene->raycastSingle(Vec3(0, 20, 0), Vec3(0, 1, 0), 100.0f, HitDefault, hit));
    EXPECT_FALSE(s.scene->raycastSingle(Vec3(0, 20, 0), Vec3(0, -1, 0), 10.0f, HitDefault, hit)) << "too short";
}

TEST_F(SceneQueries, StaticAndDynamicFlagsChooseTheActors) {
    RaycastHit hit;
    ASSERT_TRUE(castDown(hit, QueryFilterData(QueryStatic)));
    EXPECT_EQ(hit.actor, s.ground);
    EXPECT_NEAR(hit.distance, 20.0f, 1e-3f);
    ASSERT_TRUE(castDown(hit, QueryFilterData(QueryDynamic)));
    EXPECT_EQ(hit.actor, boxes[2]);
}

TEST_F(SceneQueries, ShapesWhoseWordsDoNotMeetTheQueryAreSkipped) {
    // Each of the four words alone decides.
    auto inWord = [](int word, uint32_t bits) {
        uint32_t w[4] = {};
        w[word] = bits;
        return FilterData(w[0], w[1], w[2], w[3]);
    };
    RaycastHit hit;
    for (int word = 0; word < 4; ++word) {
        shapes[2]->setQueryFilterData(inWord(word, 0x2));
        shapes[1]->setQueryFilterData(inWord(word, 0x1));
        ASSERT_TRUE(castDown(hit, QueryFilterData(inWord(word, 0x1), QueryStatic | QueryDynamic))) << word;
        EXPECT_EQ(hit.shape, shapes[1]) << word;
    }
    ASSERT_TRUE(castDown(hit)) << "zero query data tests no words";
    EXPECT_EQ(hit.shape, shapes[2]);
}

TEST_F(SceneQueries, PreFilterNoneAndTouchLetTheRayPassAndPostFilterCanDropABlock) {
    ScriptedFilter filter;
    filter.preNone = shapes[2];
    filter.preTouch = shapes[1];
    RaycastHit hit;
    const QueryFilterData prefilter(FilterData(), QueryStatic | QueryDynamic | QueryPrefilter);
    ASSERT_TRUE(castDown(hit, prefilter, &filter));
    EXPECT_EQ(hit.shape, shapes[0]);

    ScriptedFilter post;
    post.postNone = shapes[2];
    ASSERT_TRUE(castDown(hit, QueryFilterData(FilterData(), QueryStatic | QueryDynamic | QueryPostfilter), &post));
    EXPECT_EQ(hit.shape, shapes[1]);
    EXPECT_EQ(post.postFiltered.size(), 2u);
}

TEST_F(SceneQueries, PreFilterIsNotAskedAboutShapesBeyondTheClosestBlock) {
    ScriptedFilter filter;
    RaycastHit hit;
    ASSERT_TRUE(castDown(hit, QueryFilterData(FilterData(), QueryStatic | QueryDynamic | QueryPrefilter), &filter));
    EXPECT_EQ(hit.shape, shapes[2]);
    ASSERT_EQ(filter.preFiltered.size(), 1u);
    EXPECT_EQ(filter.preFiltered[0], shapes[2]);
}

TEST_F(SceneQueries, ShapesWithoutTheQueryFlagAreNeverSeen) {
    shapes[2]->setFlag(ShapeSceneQuery, false);
    ScriptedFilter filter;
    RaycastHit hit;
    ASSERT_TRUE(castDown(hit, QueryFilterData(FilterData(), QueryStatic | QueryDynamic | QueryPrefilter), &filter));
    EXPECT_EQ(hit.shape, shapes[1]);
    for (const Shape* seen : filter.preFiltered)
        EXPECT_NE(seen, shapes[2]);
    shapes[2]->setFlag(ShapeSceneQuery, true);
    ASSERT_TRUE(castDown(hit));
    EXPECT_EQ(hit.shape, shapes[2]);
    boxes[2]->release();
    ASSERT_TRUE(castDown(hit));
    EXPECT_EQ(hit.shape, shapes[1]) << "a released actor leaves the queries at once";
}

TEST_F(SceneQueries, RayOnAMeshReportsTheOriginalTriangle) {
    // Triangle 0 is degenerate and dropped when cooking; the hit names the original index.
    const std::vector<Vec3> vertices = {Vec3(20, 0, 0), Vec3(30, 0, 0), Vec3(20, 0, 10), Vec3(30, 0, 10)};
    RigidStatic* mesh = s.addStaticMesh(vertices, {{0, 0, 1, 0, 2, 1, 1, 2, 3}});
    mesh->setGlobalPose(Transform(Vec3(0, 1, 0)));
    RaycastHit hit;
    ASSERT_TRUE(s.scene->raycastSingle(Vec3(28, 10, 8), Vec3(0, -1, 0), 100.0f, HitDefault, hit));
    EXPECT_EQ(hit.actor, mesh);
    EXPECT_EQ(hit.faceIndex, 2u);
    EXPECT_NEAR(hit.position.y, 1.0f, 1e-4f);
    ASSERT_TRUE(s.scene->raycastSingle(Vec3(22, 10, 2), Vec3(0, -1, 0), 100.0f, HitDefault, hit));
    EXPECT_EQ(hit.faceIndex, 1u);
}

TEST_F(SceneQueries, SweptSphereStopsOnTheFirstBlockingShape) {
    SweepHit hit;
    ASSERT_TRUE(s.scene->sweepSingle(SphereGeometry(0.25f), Transform(Vec3(0, 20, 0)), Vec3(0, -1, 0), 100.0f,
                                     HitDefault, hit));
    EXPECT_EQ(hit.shape, shapes[2]);
    EXPECT_NEAR(hit.distance, 20.0f - 8.5f - 0.25f, 2e-2f);
    EXPECT_NEAR(hit.normal.y, 1.0f, 1e-2f);
    ASSERT_TRUE(s.scene->sweepSingle(SphereGeometry(0.25f), Transform(Vec3(3, 20, 0)), Vec3(0, -1, 0), 100.0f,
                                     HitDefault, hit));
    EXPECT_EQ(hit.actor, s.ground);
    EXPECT_NEAR(hit.distance, 19.75f, 2e-2f);
}

TEST_F(SceneQueries, RaysFindABodyWhereTheStepHasMovedIt) {
    RigidDynamic* box = s.addBox(Vec3(30, 10, 0), Vec3(0.5f), 1.0f);
    s.step(2 * StepsPerSecond);
    ASSERT_NEAR(box->getGlobalPose().p.y, 0.5f, 0.02f);
    RaycastHit hit;
    ASSERT_TRUE(s.scene->raycastSingle(Vec3(30, 20, 0), Vec3(0, -1, 0), 100.0f, HitDefault, hit));
    EXPECT_EQ(hit.actor, box);
    EXPECT_NEAR(hit.position.y, 1.0f, 0.02f);
    EXPECT_FALSE(s.scene->raycastSingle(Vec3(25, 10, 0), Vec3(1, 0, 0), 10.0f, HitDefault, hit))
        << "no longer where it started";
}

// Moved by less than the query world's room around its box and by more: queries meet the box
// where it stands, never where it stood.
TEST_F(SceneQueries, AMovedShapeIsMetWhereItStandsAndNotWhereItStood) {
    RigidDynamic* box = s.physics->createRigidDynamic(Transform(Vec3(20, 2, 0)));
    box->createShape(BoxGeometry(Vec3(0.5f)), *s.material);
    box->setRigidDynamicFlag(RigidDynamicFlag::Kinematic, true);
    s.scene->addActor(*box);
    RaycastHit ray;
    SweepHit sweep;
    ASSERT_TRUE(s.scene->raycastSingle(Vec3(19.52f, 20, 0), Vec3(0, -1, 0), 100.0f, HitDefault, ray));
    ASSERT_EQ(ray.actor, box);
    for (float moved : {0.05f, 2.0f}) {
        SCOPED_TRACE(moved);
        box->setGlobalPose(Transform(Vec3(20 + moved, 2, 0)));
        const float inside = 20 + moved + 0.48f, left = 19.52f;
        ASSERT_TRUE(s.scene->raycastSingle(Vec3(inside, 20, 0), Vec3(0, -1, 0), 100.0f, HitDefault, ray));
        EXPECT_EQ(ray.actor, box);
        ASSERT_TRUE(s.scene->raycastSingle(Vec3(left, 20, 0), Vec3(0, -1, 0), 100.0f, HitDefault, ray));
        EXPECT_EQ(ray.actor, s.ground);
        ASSERT_TRUE(s.scene->sweepSingle(SphereGeometry(0.01f), Transform(Vec3(inside, 20, 0)), Vec3(0, -1, 0),
                                         100.0f, HitDefault, sweep));
        EXPECT_EQ(sweep.actor, box);
        ASSERT_TRUE(s.scene->sweepSingle(SphereGeometry(0.01f), Transform(Vec3(left, 20, 0)), Vec3(0, -1, 0),
                                         100.0f, HitDefault, sweep));
        EXPECT_EQ(sweep.actor, s.ground);
    }
}

TEST_F(SceneQueries, QueriesNeedAUnitDirectionAPositiveReachAndAConvexShape) {
    const float nan = std::nanf("");
    const struct {
        const char* what;
        Vec3 origin, direction;
        float distance;
        bool refused;
    } rays[] = {
        {"plain", Vec3(0, 20, 0), Vec3(0, -1, 0), 100.0f, false},
        {"direction nearly of unit length", Vec3(0, 20, 0), Vec3(0, -1.0009f, 0), 100.0f, false},
        {"direction too long", Vec3(0, 20, 0), Vec3(0, -1.002f, 0), 100.0f, true},
        {"direction too short", Vec3(0, 20, 0), Vec3(0, -0.998f, 0), 100.0f, true},
        {"origin not finite", Vec3(nan, 20, 0), Vec3(0, -1, 0), 100.0f, true},
        {"direction not finite", Vec3(0, 20, 0), Vec3(0, nan, 0), 100.0f, true},
        {"the shortest reach", Vec3(0, 20, 0), Vec3(0, -1, 0), 0.001f, false},
        {"no reach", Vec3(0, 20, 0), Vec3(0, -1, 0), 0.0f, true},
        {"negative reach", Vec3(0, 20, 0), Vec3(0, -1, 0), -1.0f, true},
        {"endless reach", Vec3(0, 20, 0), Vec3(0, -1, 0), INFINITY, true},
    };
    for (const auto& r : rays) {
        const int before = s.errors.count(ErrorCode::InvalidParameter);
        const bool reaches = !r.refused && r.distance > 1.0f;
        RaycastHit ray;
        EXPECT_EQ(s.scene->raycastSingle(r.origin, r.direction, r.distance, HitDefault, ray), reaches) << r.what;
        SweepHit sweep;
        EXPECT_EQ(s.scene->sweepSingle(SphereGeometry(0.25f), Transform(r.origin), r.direction, r.distance, HitDefault,
                                       sweep),
                  reaches)
            << r.what;
        EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter) - before, r.refused ? 2 : 0) << r.what;
    }

    TriangleMesh* mesh = s.cookMesh({Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 0, 1)}, {0, 1, 2});
    ConvexMesh* hull = s.cookConvex(boxCorners(Vec3(0.25f)));
    ASSERT_NE(mesh, nullptr);
    ASSERT_NE(hull, nullptr);
    const struct {
        const char* what;
        GeometryHolder geometry;
        Transform pose;
        bool refused;
    } sweeps[] = {
        {"box", GeometryHolder(BoxGeometry(0.25f, 0.25f, 0.25f)), Transform(Vec3(0, 20, 0)), false},
        {"capsule", GeometryHolder(CapsuleGeometry(0.25f, 0.5f)), Transform(Vec3(0, 20, 0)), false},
        {"convex", GeometryHolder(ConvexMeshGeometry(hull)), Transform(Vec3(0, 20, 0)), false},
        {"triangle mesh", GeometryHolder(TriangleMeshGeometry(mesh)), Transform(Vec3(0, 20, 0)), true},
        {"sphere of no size", GeometryHolder(SphereGeometry(0.0f)), Transform(Vec3(0, 20, 0)), true},
        {"rotation not of unit length", GeometryHolder(SphereGeometry(0.25f)), Transform(Vec3(0, 20, 0), Quat(0, 0, 0, 2)),
         true},
    };
    for (const auto& c : sweeps) {
        const int before = s.errors.count(ErrorCode::InvalidParameter);
        SweepHit hit;
        const bool found = s.scene->sweepSingle(c.geometry.any(), c.pose, Vec3(0, -1, 0), 100.0f, HitDefault, hit);
        EXPECT_EQ(found, !c.refused) << c.what;
        EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter) - before, c.refused ? 1 : 0) << c.what;
        if (found) {
            EXPECT_EQ(hit.shape, shapes[2]) << c.what;
        }
    }
    mesh->release();
    hull->release();
}

TEST_F(SceneQueries, ARayThroughTheBoxOfAShapeThatMissesTheShapeGoesOnToTheNext) {
    RigidStatic* ball = s.physics->createRigidStatic(Transform(Vec3(10, 5, 0)));
    Shape* sphere = ball->createShape(SphereGeometry(0.5f), *s.material);
    s.scene->addActor(*ball);
    RaycastHit hit;
    // Down through the corner of the ball's box, outside the ball.
    ASSERT_TRUE(s.scene->raycastSingle(Vec3(10.45f, 20, 0.45f), Vec3(0, -1, 0), 100.0f, HitDefault, hit));
    EXPECT_EQ(hit.actor, s.ground);
    EXPECT_NEAR(hit.distance, 20.0f, 1e-3f);
    ASSERT_TRUE(s.scene->raycastSingle(Vec3(10.1f, 20, 0.1f), Vec3(0, -1, 0), 100.0f, HitDefault, hit));
    EXPECT_EQ(hit.shape, sphere);
    // A swept ball through the corner of the grown box, ending above the ground: no hit.
    SweepHit sweep;
    EXPECT_FALSE(s.scene->sweepSingle(SphereGeometry(0.25f), Transform(Vec3(10.6f, 8, 0.6f)), Vec3(0, -1, 0), 5.0f,
                                      HitDefault, sweep));
    EXPECT_TRUE(s.scene->sweepSingle(SphereGeometry(0.25f), Transform(Vec3(10.4f, 8, 0.4f)), Vec3(0, -1, 0), 5.0f,
                                     HitDefault, sweep));
    EXPECT_EQ(sweep.shape, sphere);
}

TEST(SceneQueryOrder, ShapesAtOneDistanceAreOfferedInTheOrderTheyJoinedWhateverTheirKindAndWords) {
    // Three boxes at one place; a ray down through them enters all three at one distance.
    // Shapes are kept apart by kind (static or not) and query words, and a query gathers only
    // those its flags and words accept, offering them in the order they joined.
    const struct {
        const char* what;
        uint32_t words[3]; // word0 of each box's query filter data
        bool moving[3];    // a kinematic actor, else static
        int changed;       // this box's word0 becomes 1 after it joined, or -1
        uint32_t queryWord;
        uint32_t queryFlags;
        std::vector<int> offered; // boxes in order; 3 is the ground
    } rows[] = {
        {"one kind, one word", {1, 1, 1}, {false, false, false}, -1, 1, QueryStatic, {0, 1, 2}},
        {"three words, a query without words", {4, 2, 1}, {false, false, false}, -1, 0, QueryStatic, {0, 1, 2, 3}},
        {"words the query leaves out", {1, 2, 1}, {false, false, false}, -1, 1, QueryStatic, {0, 2}},
        {"both kinds", {1, 1, 1}, {true, false, true}, -1, 1, QueryStatic | QueryDynamic, {0, 1, 2}},
        {"static only", {1, 1, 1}, {true, false, true}, -1, 1, QueryStatic, {1}},
        {"moving only", {1, 1, 1}, {true, false, true}, -1, 1, QueryDynamic, {0, 2}},
        {"words changed after joining", {2, 2, 2}, {false, false, false}, 1, 1, QueryStatic, {1}},
        {"changed words keep the place", {2, 2, 2}, {false, false, false}, 0, 0, QueryStatic, {0, 1, 2, 3}},
    };
    for (const auto& row : rows) {
        PhysScene scene;
        std::vector<Shape*> shapes;
        for (int i = 0; i < 3; ++i) {
            RigidActor* box = nullptr;
            if (row.moving[i]) {
                box = scene.addBox(Vec3(0, 3, 0), Vec3(0.5f), 1.0f);
                box->asRigidDynamic()->setRigidDynamicFlag(RigidDynamicFlag::Kinematic, true);
            } else {
                box = scene.addStaticBox(Vec3(0, 3, 0), Vec3(0.5f));
            }
            firstShape(*box)->setQueryFilterData(FilterData(row.words[i], 0, 0, 0));
            shapes.push_back(firstShape(*box));
        }
        shapes.push_back(scene.groundShape);
        if (row.changed >= 0)
            shapes[static_cast<size_t>(row.changed)]->setQueryFilterData(FilterData(1, 0, 0, 0));
        ScriptedFilter all;
        all.noneAll = true;
        RaycastHit hit;
        const QueryFilterData query(FilterData(row.queryWord, 0, 0, 0), row.queryFlags | QueryPrefilter);
        EXPECT_FALSE(scene.scene->raycastSingle(Vec3(0, 20, 0), Vec3(0, -1, 0), 100.0f, HitDefault, hit, query, &all))
            << row.what;
        std::vector<const Shape*> expected;
        for (int i : row.offered)
            expected.push_back(shapes[static_cast<size_t>(i)]);
        EXPECT_EQ(all.preFiltered, expected) << row.what;
        const bool blocks = scene.scene->raycastSingle(Vec3(0, 20, 0), Vec3(0, -1, 0), 100.0f, HitDefault, hit,
                                                       QueryFilterData(query.data, row.queryFlags));
        EXPECT_TRUE(blocks) << row.what;
        EXPECT_NEAR(hit.distance, row.offered.front() == 3 ? 20.0f : 16.5f, 1e-3f) << row.what;
    }
}

} // namespace
} // namespace phys::test
