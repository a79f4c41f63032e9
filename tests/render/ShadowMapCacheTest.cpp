// The shadow atlas's record between passes, on the null driver: which area of a cascade
// each kind of change draws again (none for a still scene), and where a caster lies in a
// cascade's map.
#include "render/EffectHandler.h"
#include "render/ShadowMapCache.h"

#include "support/NullDevice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

using namespace irr;
using Area = ShadowMapCache::Area;

namespace {

// --- areas -------------------------------------------------------------------------------------

TEST(ShadowMapAreaTest, UnionOverlapAndShare) {
    Area a{-0.5f, -0.5f, 0.0f, 0.0f};
    const Area right{0.0f, -0.5f, 0.5f, 0.0f}; // touches a along x = 0
    const Area above{-0.5f, 0.0f, 0.0f, 0.5f}; // touches a along y = 0
    const Area apart{0.01f, 0.5f, 0.2f, 0.6f};
    EXPECT_TRUE(Area().empty());
    EXPECT_FALSE(a.empty());
    EXPECT_TRUE(a.overlaps(right)) << "areas that touch overlap";
    EXPECT_TRUE(right.overlaps(a));
    EXPECT_TRUE(a.overlaps(above));
    EXPECT_TRUE(above.overlaps(a));
    EXPECT_FALSE(a.overlaps(apart));
    EXPECT_FALSE(a.overlaps(Area())) << "nothing overlaps an empty area";
    EXPECT_FLOAT_EQ(a.share(), 0.0625f);
    EXPECT_FLOAT_EQ(Area::whole().share(), 1.0f);
    EXPECT_FLOAT_EQ(Area().share(), 0.0f);
    EXPECT_TRUE(Area::whole().isWhole());
    EXPECT_FALSE((Area{-1.0f, -1.0f, 1.0f, 0.999f}).isWhole());
    Area unchanged = a;
    unchanged.add(Area());
    EXPECT_TRUE(unchanged == a);
    a.add(right);
    EXPECT_TRUE(a == (Area{-0.5f, -0.5f, 0.5f, 0.0f}));
    Area fromEmpty;
    fromEmpty.add(apart);
    EXPECT_TRUE(fromEmpty == apart);
    EXPECT_TRUE(Area() == (Area{1.0f, 0.0f, 0.0f, 0.0f})) << "all empty areas are equal";
}

// A triangle's outline (an inner point and a repeated one left out) and what meets it: areas on
// its reach's bound and just past it, beside its box and beside its slanted side.
TEST(ShadowMapReadAreaTest, AnAreaMeetsTheOutlineWithinItsReach) {
    ShadowMapCache::ReadArea read;
    const core::vector2df points[] = {{0.5f, -0.5f}, {0, 0}, {0, 0.5f}, {-0.5f, -0.5f}, {0, 0.5f}};
    read.enclose(points, 5);
    ASSERT_EQ(read.outline.size(), 3u);
    f32 twiceArea = 0.0f;
    for (std::size_t i = 0; i < 3; ++i) {
        const core::vector2df& a = read.outline[i];
        const core::vector2df& b = read.outline[(i + 1) % 3];
        twiceArea += a.X * b.Y - b.X * a.Y;
    }
    EXPECT_NEAR(twiceArea, 1.0f, 1e-6f) << "counter-clockwise";
    read.reach = 0.1f;
    // Points beside the slanted side from (0.5, -0.5) to (0, 0.5), from its middle outwards.
    const core::vector2df out = core::vector2df(1.0f, 0.5f).normalize();
    auto dot = [](const core::vector2df& p) { return Area{p.X, p.Y, p.X, p.Y}; };
    struct Row {
        Area area;
        bool meets;
    } rows[] = {
        {{-0.1f, -0.1f, 0.1f, 0.1f}, true},
        {{0.599f, -0.5f, 0.7f, -0.4f}, true}, // right of the box, within the reach
        {{0.601f, -0.5f, 0.7f, -0.4f}, false},
        {{-0.7f, -0.7f, -0.5f, -0.601f}, false}, // below it
        {dot(core::vector2df(0.25f, 0.0f) + out * 0.099f), true},
        {dot(core::vector2df(0.25f, 0.0f) + out * 0.101f), false},
        {{0.4f, 0.4f, 0.5f, 0.5f}, false}, // inside the box, beyond the side
        {Area(), false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(read.meets(row.area), row.meets) << row.area.minX << ", " << row.area.minY;
    read.enclose(points, 0);
    EXPECT_TRUE(read.meets(Area{0.9f, 0.9f, 1.0f, 1.0f})) << "no outline: the whole map is read";
}

// --- passes ------------------------------------------------------------------------------------

class ShadowMapCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A light straight above, its orthographic box 100 wide: x and z in -50..50 map onto
        // the cascade.
        projection.buildProjectionMatrixOrthoLH(100.0f, 100.0f, 1.0f, 300.0f);
        view.buildCameraLookAtMatrixLH(core::vector3df(0, 200, 0), core::vector3df(0, 0, 0), core::vector3df(0, 0, 1));
        setup.resolution = 1024;
        setup.splitCount = 1;
        setup.drawCasters = true;
        for (f32 x : {-30.0f, 0.0f, 30.0f})
            addCaster(core::vector3df(x, 5, 0));
        pass(); // the first pass draws everything
    }
    scene::ISceneManager* scene() { return device->getSceneManager(); }
    scene::IMeshSceneNode* addCaster(const core::vector3df& position, s32 mode = 2) {
        scene::IMeshSceneNode* cube = scene()->addCubeSceneNode(10.0f, nullptr, -1, position);
        cube->updateAbsolutePosition();
        nodes.push_back({cube, mode, 0});
        drawn.push_back(true);
        return cube;
    }
    Area pass(const ShadowMapCache::ReadArea* read = nullptr) {
        cache.beginPass(setup, nodes);
        const Area area = cache.beginCascade(0, projection, view, drawn, read);
        cache.endPass();
        return area;
    }
    Area footprint(scene::ISceneNode* node) { return cache.footprintOf(node, projection * view); }
    static void expectArea(const Area& area, const Area& expected) {
        EXPECT_NEAR(area.minX, expected.minX, 1e-5f);
        EXPECT_NEAR(area.minY, expected.minY, 1e-5f);
        EXPECT_NEAR(area.maxX, expected.maxX, 1e-5f);
        EXPECT_NEAR(area.maxY, expected.maxY, 1e-5f);
    }

    test::NullDevice device;
    ShadowMapCache cache;
    ShadowMapCache::Setup setup;
    core::matrix4 projection, view;
    std::vector<ShadowNode> nodes;
    std::vector<bool> drawn;
};

TEST_F(ShadowMapCacheTest, FirstPassDrawsTheWholeCascadeAndAStillSceneNothing) {
    ShadowMapCache fresh;
    fresh.beginPass(setup, nodes);
    EXPECT_TRUE(fresh.beginCascade(0, projection, view, drawn).isWhole());
    fresh.endPass();
    EXPECT_TRUE(pass().empty());
    EXPECT_TRUE(pass().empty());
}

TEST_F(ShadowMapCacheTest, AMovedCasterDrawsItsFootprintsBeforeAndAfter) {
    scene::ISceneNode* caster = nodes[1].node;
    Area expected = footprint(caster);
    caster->setPosition(core::vector3df(8, 5, 3));
    caster->updateAbsolutePosition();
    expected.add(footprint(caster));
    const Area area = pass();
    expectArea(area, expected);
    EXPECT_NEAR(area.maxX - area.minX, 0.36f, 1e-5f) << "10 wide and moved by 8, of a box 100 wide";
    EXPECT_FALSE(area.overlaps(footprint(nodes[0].node))) << "its neighbours stay as they are";
    EXPECT_TRUE(pass().empty());
}

// Casters that change far apart draw their own parts (a caster's footprints before and after,
// overlapping, one part), at most maxDirtyAreas of them.
TEST_F(ShadowMapCacheTest, ChangesFarApartDrawSeparateParts) {
    auto nudge = [](scene::ISceneNode* node) {
        node->setPosition(node->getPosition() + core::vector3df(2, 0, 0));
        node->updateAbsolutePosition();
    };
    nudge(nodes[0].node);
    nudge(nodes[2].node);
    pass();
    ASSERT_EQ(cache.dirtyAreas(0).size(), 2u);
    EXPECT_FALSE(cache.dirtyAreas(0)[0].overlaps(footprint(nodes[1].node))) << "the caster between stays";
    EXPECT_FALSE(cache.dirtyAreas(0)[1].overlaps(footprint(nodes[1].node)));
    for (f32 z : {-30.0f, 30.0f})
        addCaster(core::vector3df(-30.0f, 5, z));
    pass();
    for (const ShadowNode& entry : nodes)
        nudge(entry.node);
    pass();
    EXPECT_EQ(cache.dirtyAreas(0).size(), ShadowMapCache::maxDirtyAreas) << "five changes far apart";
}

// Each change of one caster draws again its footprint and nothing else.
TEST_F(ShadowMapCacheTest, EveryChangeOfACasterDrawsItsFootprint) {
    struct Change {
        const char* what;
        std::function<void(scene::ISceneNode*)> apply;
    } changes[] = {
        {"hidden", [](scene::ISceneNode* n) { n->setVisible(false); }},
        {"turned", [](scene::ISceneNode* n) {
             n->setRotation(core::vector3df(0, 10, 0));
             n->updateAbsolutePosition();
         }},
        {"material", [](scene::ISceneNode* n) {
             n->setMaterialType(video::EMT_TRANSPARENT_ALPHA_CHANNEL_REF);
         }},
        {"vertices", [](scene::ISceneNode* n) {
             static_cast<scene::IMeshSceneNode*>(n)->getMesh()->setDirty(scene::EBT_VERTEX);
         }},
        {"no longer drawn into the cascade", [this](scene::ISceneNode*) { drawn[2] = false; }},
        {"left the list", [this](scene::ISceneNode*) {
             nodes.pop_back();
             drawn.pop_back();
         }},
        {"excluded (mode 3)", [this](scene::ISceneNode*) { nodes[2].mode = 3; }},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        scene::ISceneNode* caster = nodes[2].node;
        const Area before = footprint(caster);
        change.apply(caster);
        Area expected = before;
        if (caster->isVisible() && nodes.size() == 3 && nodes[2].mode == 2 && drawn[2])
            expected.add(footprint(caster));
        expectArea(pass(), expected);
        // Back as it was, for the next change.
        caster->setVisible(true);
        caster->setRotation(core::vector3df(0, 0, 0));
        caster->updateAbsolutePosition();
        caster->setMaterialType(video::EMT_SOLID);
        if (nodes.size() < 3) {
            nodes.push_back({caster, 2, 0});
            drawn.push_back(true);
        }
        nodes[2].mode = 2;
        drawn[2] = true;
        pass();
        EXPECT_TRUE(pass().empty());
    }
}

// A caster whose footprint misses what the view reads is not drawn when it changed (it is drawn
// again anyway) or was not drawn the pass before; a still caster in the map stays, so a view
// that turns draws nothing again, and one that turns to a caster left out draws it.
TEST_F(ShadowMapCacheTest, ChangingCastersTheViewDoesNotReadAreLeftOut) {
    scene::ISceneNode* left = nodes[0].node;
    scene::ISceneNode* right = nodes[2].node;
    ShadowMapCache::ReadArea read;
    auto readAround = [&read](f32 x) {
        const core::vector2df corners[] = {{x - 0.2f, -0.2f}, {x + 0.2f, -0.2f}, {x + 0.2f, 0.2f}, {x - 0.2f, 0.2f}};
        read.enclose(corners, 4);
    };
    auto nudge = [](scene::ISceneNode* node) {
        node->setPosition(node->getPosition() + core::vector3df(2, 0, 0));
        node->updateAbsolutePosition();
    };
    readAround(0.0f);
    EXPECT_TRUE(pass(&read).empty()) << "still casters stay in the map";
    expectArea(cache.footprint(0, 0), footprint(left));

    const Area before = footprint(left);
    nudge(left);
    expectArea(pass(&read), before);
    EXPECT_TRUE(cache.footprint(0, 0).empty()) << "moved outside what the view reads";
    EXPECT_TRUE(pass(&read).empty()) << "stopped there, still left out";
    EXPECT_TRUE(cache.footprint(0, 0).empty());

    readAround(-0.6f);
    expectArea(pass(&read), footprint(left));
    const Area rightBefore = footprint(right);
    nudge(right);
    expectArea(pass(&read), rightBefore);
    EXPECT_TRUE(cache.footprint(2, 0).empty());
    expectArea(pass(), footprint(right)); // without a read area every caster is drawn
}

TEST_F(ShadowMapCacheTest, ANewCasterDrawsItsFootprint) {
    scene::ISceneNode* added = addCaster(core::vector3df(0, 5, 30));
    expectArea(pass(), footprint(added));
}

// A changed light view, a changed set-up and a forgotten record each draw the whole cascade.
TEST_F(ShadowMapCacheTest, LightViewSetUpOrForgettingDrawsTheWholeCascade) {
    const std::function<void()> actions[] = {
        [this] { view.setTranslation(view.getTranslation() + core::vector3df(0.001f, 0, 0)); },
        [this] { setup.resolution = 2048; },
        [this] { setup.hardwareSkinning = !setup.hardwareSkinning; },
        [this] { cache.forget(); },
    };
    for (const auto& action : actions) {
        action();
        EXPECT_TRUE(pass().isWhole());
        EXPECT_TRUE(pass().empty());
    }
}

TEST_F(ShadowMapCacheTest, WithoutCastersTheLightViewDoesNotMatter) {
    setup.drawCasters = false;
    EXPECT_TRUE(pass().isWhole()) << "switching the casters off draws the map white once";
    view.setTranslation(view.getTranslation() + core::vector3df(5, 0, 0));
    EXPECT_TRUE(pass().empty());
}

TEST_F(ShadowMapCacheTest, ACasterOutsideTheCascadeLeavesItAlone) {
    scene::ISceneNode* outside = addCaster(core::vector3df(80, 5, 0));
    EXPECT_TRUE(footprint(outside).empty());
    EXPECT_TRUE(pass().empty());
    outside->setPosition(core::vector3df(90, 5, 0));
    outside->updateAbsolutePosition();
    EXPECT_TRUE(pass().empty());
}

// A caster the engine does not cull by its box may draw beyond it: its footprint is its box
// grown by its own size each way.
TEST_F(ShadowMapCacheTest, ACasterTheEngineDoesNotCullCountsWithItsGrownBox) {
    scene::ISceneNode* caster = nodes[0].node;
    const Area box = footprint(caster);
    caster->setAutomaticCulling(scene::EAC_OFF);
    const Area grown = footprint(caster);
    EXPECT_NEAR(grown.maxX - grown.minX, 3.0f * (box.maxX - box.minX), 1e-5f);
    EXPECT_NEAR(grown.minX + grown.maxX, box.minX + box.maxX, 1e-5f) << "around the same centre";
    Area expected = box;
    expected.add(grown);
    expectArea(pass(), expected);
}

// Footprints at the edges of the cascade's box, sideways and in depth.
TEST_F(ShadowMapCacheTest, FootprintsAreClippedToTheCascade) {
    struct Row {
        core::vector3df position;
        bool inside;
        f32 maxX; // of the clipped footprint, when inside
    } rows[] = {
        {{0, 5, 0}, true, 0.1f},
        {{54, 5, 0}, true, 1.0f},     // reaches over the edge: clipped
        {{55, 5, 0}, true, 1.0f},     // its edge on the map's edge
        {{55.5f, 5, 0}, false, 0.0f}, // just beyond it
        {{-55, 5, 0}, true, 1.0f},      // the other side's edge
        {{-55.5f, 5, 0}, false, 0.0f},
        {{0, 5, 55}, true, 0.1f},       // the edges up and down the map
        {{0, 5, 55.5f}, false, 0.0f},
        {{0, 5, -55}, true, 0.1f},
        {{0, 5, -55.5f}, false, 0.0f},
        {{0, -104.9f, 0}, true, 0.1f}, // its top just before the far plane
        {{0, -105.5f, 0}, false, 0.0f}, // wholly behind it
    };
    for (const Row& row : rows) {
        scene::IMeshSceneNode* cube = scene()->addCubeSceneNode(10.0f, nullptr, -1, row.position);
        cube->updateAbsolutePosition();
        const Area area = footprint(cube);
        EXPECT_EQ(!area.empty(), row.inside) << row.position.X << ", " << row.position.Y;
        if (row.inside && !area.empty()) {
            EXPECT_NEAR(std::max(std::fabs(area.minX), std::fabs(area.maxX)), row.maxX, 1e-5f) << row.position.X;
        }
    }
}

} // namespace
