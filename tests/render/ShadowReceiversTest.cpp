// Where a caster's shadow can reach: the volume its box sweeps away from the light, grown
// across it by the map's reading margin, and for a closed convex caster only beyond its box.
#include "render/ShadowReceivers.h"

#include "render/EffectHandler.h"
#include "support/JointedFigure.h"
#include "support/NullDevice.h"

#include "ShadowPairingScene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <set>
#include <string>
#include <vector>

using namespace irr;

namespace {

struct SweepCase {
    const char* what;
    core::vector3df away;
    core::aabbox3df receiver;
    bool beyondCaster;
    bool meets;
};

// A unit box from height 2 to 3; the map is read 0.5 beside a point.
const core::aabbox3df caster({0, 2, 0}, {1, 3, 1});
using rendertest::down;
using rendertest::slanted;

} // namespace

TEST(ShadowReceivers, ASweptBoxMeetsWhatLiesAwayFromTheLightWithinTheMargin) {
    const SweepCase cases[] = {
        {"the ground under it", down, {{-5, -1, -5}, {5, 0, 5}}, true, true},
        {"a box on the margin's bound", down, {{1.5f, -1, 0}, {2.5f, 0, 1}}, true, true},
        {"a box one past the margin", down, {{1.51f, -1, 0}, {2.5f, 0, 1}}, true, false},
        {"a box towards the light", down, {{0, 4, 0}, {1, 5, 1}}, true, false},
        {"a box inside a convex caster", down, {{0.2f, 2.2f, 0.2f}, {0.8f, 2.8f, 0.8f}}, true, false},
        {"a box inside any other caster", down, {{0.2f, 2.2f, 0.2f}, {0.8f, 2.8f, 0.8f}}, false, true},
        // Slanted, the shadow on the ground lies from x 2 to 4.
        {"the ground where a slanted light puts it", slanted, {{2.5f, -1, 0}, {3.5f, 0, 1}}, true, true},
        {"the ground on the light's side", slanted, {{-3, -1, 0}, {-2, 0, 1}}, true, false},
    };
    for (const SweepCase& c : cases) {
        std::vector<core::vector3df> points;
        EXPECT_EQ(ShadowReceivers::sweptBoxMeets(caster, c.away, 0.5f, c.beyondCaster, c.receiver, points), c.meets)
            << c.what;
        EXPECT_EQ(!points.empty(), c.meets) << c.what;
        // The points it gives lie in the receiver.
        for (const core::vector3df& p : points) {
            core::aabbox3df grown = c.receiver;
            grown.MinEdge -= core::vector3df(0.01f);
            grown.MaxEdge += core::vector3df(0.01f);
            EXPECT_TRUE(grown.isPointInside(p)) << c.what;
        }
    }
}

TEST(ShadowReceivers, WithoutAPassEveryEntryCastsAndEveryReceiverIsReachedEverywhere) {
    ShadowReceivers receivers;
    EXPECT_TRUE(receivers.castsOntoAnything(0));
    EXPECT_TRUE(receivers.castsOntoAnything(1000));
    std::vector<ShadowReceivers::Piece> pieces;
    const s32 viewport[4] = {0, 0, 640, 480};
    EXPECT_EQ(receivers.reach(nullptr, core::matrix4(), viewport, pieces), ShadowReceivers::Reach::everywhere);
    EXPECT_TRUE(pieces.empty());
}

// A pass leaves out of the maps a caster whose shadow reaches no receiver; pairs apart across
// the light are rejected only beyond the margin the maps are read with.
TEST(ShadowReceivers, ACasterReachesAReceiverBesideItWithinTheMargin) {
    test::NullDevice device;
    scene::ISceneManager* scene = device->getSceneManager();
    scene::ISceneNode* box = scene->addCubeSceneNode(1.0f, nullptr, -1, caster.getCenter());
    box->updateAbsolutePosition();
    const struct {
        f32 left; // the receiver's left side, beside the caster's right side at 1
        bool reaches;
    } cases[] = {{1.5f, true}, {1.51f, false}};
    for (const auto& c : cases) {
        scene::ISceneNode* ground = scene->addCubeSceneNode(1.0f, nullptr, -1, {c.left + 0.5f, -0.5f, 0.5f});
        ground->updateAbsolutePosition();
        ShadowReceivers receivers;
        receivers.setCasters({ShadowNode{box, 2, 0}}, scene->getRootSceneNode(), down, 0.5f, {0, 0, 0}, 50.0f);
        EXPECT_EQ(receivers.castsOntoAnything(0), c.reaches) << c.left;
        ground->remove();
    }
}

// The receivers are looked for below every drawn node; an animated mesh's joints are passed by.
TEST(ShadowReceivers, AReceiverBelowAnAnimatedMeshIsFound) {
    test::NullDevice device;
    scene::ISceneManager* scene = device->getSceneManager();
    scene::ISceneNode* box = scene->addCubeSceneNode(1.0f, nullptr, -1, caster.getCenter());
    box->updateAbsolutePosition();
    scene::ISceneNode* figure = test::addJointedFigure(scene, {100, 0, 0});
    ASSERT_EQ(figure->getChildren().size(), 1u) << "its first joint";
    scene::ISceneNode* ground = scene->addCubeSceneNode(1.0f, figure, -1, {-99.5f, -0.5f, 0.5f});
    ground->updateAbsolutePosition();
    ShadowReceivers receivers;
    receivers.setCasters({ShadowNode{box, 2, 0}}, scene->getRootSceneNode(), down, 0.5f, {0, 0, 0}, 150.0f);
    EXPECT_TRUE(receivers.castsOntoAnything(0));
}

using rendertest::PairingScene;

// The grid across the light finds the pairs that every caster tried against every receiver
// (a grid of one cell) finds: the same entries cast, and every node is reached the same way,
// in the same pieces.
TEST(ShadowReceivers, PairsFoundThroughTheGridAreThoseOfEveryPair) {
    const struct {
        const char* what;
        std::function<void(PairingScene&)> build;
    } cases[] = {
        {"two layers of boxes on a floor", [](PairingScene& s) { s.floor(); s.grid(12, 12, 2, 1.0f); }},
        {"open sheets among boxes, casting only",
         [](PairingScene& s) {
             s.floor();
             s.grid(6, 6, 1, 2.0f);
             for (int i = 0; i < 10; ++i)
                 s.sheet({static_cast<f32>(i) - 5.0f, 2.0f + 0.3f * static_cast<f32>(i % 3), 0.5f}, {2, 2}, 2.0f, 1);
         }},
        {"boxes past the light's box and beside it",
         [](PairingScene& s) {
             s.boxHalfWidth = 6.0f;
             s.floor();
             s.grid(20, 20, 1, 1.0f);
         }},
        {"nothing under the casters", [](PairingScene& s) { s.grid(8, 8, 1, 1.5f); }},
        {"steps each beside the one above within the margin",
         [](PairingScene& s) {
             s.away = down;
             for (int i = 0; i < 40; ++i)
                 s.box({0.6f * static_cast<f32>(i), 5.0f - 0.1f * static_cast<f32>(i), 0}, {0.5f, 0.5f, 0.5f}, 2);
         }},
    };
    std::set<bool> castsSeen;
    std::set<ShadowReceivers::Reach> reachesSeen;
    for (const auto& c : cases) {
        PairingScene scene;
        c.build(scene);
        ShadowReceivers indexed, everyPair(1);
        const PairingScene::Outcome found = scene.run(indexed), expected = scene.run(everyPair);
        EXPECT_EQ(found.casts, expected.casts) << c.what;
        EXPECT_EQ(found.reaches, expected.reaches) << c.what;
        EXPECT_EQ(found.pieces, expected.pieces) << c.what;
        EXPECT_LE(found.pairsTested, expected.pairsTested) << c.what;
        castsSeen.insert(expected.casts.begin(), expected.casts.end());
        reachesSeen.insert(expected.reaches.begin(), expected.reaches.end());
    }
    // The scenes give every answer.
    EXPECT_EQ(castsSeen.size(), 2u);
    EXPECT_EQ(reachesSeen.size(), 4u);
}

// Ten times the boxes, at the same spacing, cost about ten times the pairs looked at, where
// every pair would cost a hundred times.
TEST(ShadowReceivers, PairsLookedAtGrowWithTheObjects) {
    std::size_t tested[2] = {0, 0};
    const s32 columns[2] = {10, 40}, rows[2] = {10, 25};
    for (int i = 0; i < 2; ++i) {
        PairingScene scene;
        scene.floor();
        scene.grid(columns[i], rows[i], 1, 1.5f);
        ShadowReceivers receivers;
        tested[i] = scene.run(receivers).pairsTested;
    }
    EXPECT_GT(tested[0], 100u);
    EXPECT_LE(tested[1], tested[0] * 15) << tested[0] << " then " << tested[1];
}

// A receiver is drawn in pieces only while they are worth it: of at most mostSplitTriangles
// triangles (each piece draws them all again), reached by at most mostSplitCasters casters.
TEST(ShadowReceivers, AReceiverIsDrawnWholePastTheTrianglesOrTheCastersItsPiecesAreWorth) {
    static_assert(ShadowReceivers::mostSplitTriangles == 256 && ShadowReceivers::mostSplitCasters == 192,
                  "the cases are on the bounds and one step past them");
    const struct {
        const char* what;
        core::dimension2du floorTiles;
        int casters;
        ShadowReceivers::Reach reach;
    } cases[] = {
        {"256 triangles", {16, 8}, 4, ShadowReceivers::Reach::inPieces},
        {"258 triangles", {43, 3}, 4, ShadowReceivers::Reach::everywhere},
        {"192 casters", {1, 1}, 192, ShadowReceivers::Reach::inPieces},
        {"193 casters", {1, 1}, 193, ShadowReceivers::Reach::everywhere},
    };
    for (const auto& c : cases) {
        PairingScene scene;
        scene.sheet({0, 0, 0}, c.floorTiles, 40.0f, 0);
        // Small boxes close together over a patch of the floor.
        for (int i = 0; i < c.casters; ++i)
            scene.box({-4.0f + 0.25f * static_cast<f32>(i % 14), 1.0f, -2.0f + 0.25f * static_cast<f32>(i / 14)},
                      {0.1f, 0.1f, 0.1f}, 1);
        ShadowReceivers receivers;
        EXPECT_EQ(scene.run(receivers).reaches.front(), c.reach) << c.what;
    }
}

// A pass keeps the answers of the small receivers that no changed caster can reach, of the
// casters that reach no changed receiver, and of the large receivers (the floor, in pieces)
// for the view they were found for while nothing changed: each change below answers as a
// fresh pass does, with fewer pairs tried unless the light turned, and none when nothing
// changed.
TEST(ShadowReceivers, AnswersKeptFromTheLastPassAreThoseOfAFreshOne) {
    const struct {
        const char* what;
        std::function<void(PairingScene&)> change;
        bool fewerPairs;
    } cases[] = {
        {"nothing changes", [](PairingScene&) {}, true},
        {"a caster moves",
         [](PairingScene& s) {
             s.drawn[5]->setPosition(s.drawn[5]->getPosition() + core::vector3df(0.3f, 0.0f, 0.2f));
             s.drawn[5]->updateAbsolutePosition();
         },
         true},
        {"a caster goes", [](PairingScene& s) { s.drawn[40]->setVisible(false); }, true},
        {"the floor under them goes", [](PairingScene& s) { s.drawn[0]->setVisible(false); }, true},
        {"the camera moves", [](PairingScene& s) { s.eye = {3, 9, -16}; }, true},
        {"the light turns", [](PairingScene& s) { s.away = down; }, false},
    };
    for (const auto& c : cases) {
        PairingScene scene;
        scene.floor();
        scene.grid(10, 10, 2, 1.0f);
        ShadowReceivers kept;
        scene.run(kept);
        c.change(scene);
        const PairingScene::Outcome again = scene.run(kept);
        EXPECT_GT(kept.settledReceivers(), 100u) << c.what;
        ShadowReceivers fresh;
        const PairingScene::Outcome expected = scene.run(fresh);
        EXPECT_EQ(again.casts, expected.casts) << c.what;
        EXPECT_EQ(again.reaches, expected.reaches) << c.what;
        EXPECT_EQ(again.pieces, expected.pieces) << c.what;
        EXPECT_EQ(again.pairsTested < expected.pairsTested, c.fewerPairs)
            << c.what << ": " << again.pairsTested << " against " << expected.pairsTested;
        EXPECT_EQ(again.pairsTested == 0, &c == &cases[0]) << c.what << ": " << again.pairsTested;
    }
}

// The corners found for an answer of yes or no are thrown away with it: a light that turns
// every pass asks every entry and every small receiver again, and the room they take stays
// that of one answer (one face of a box, clipped: at most 24 corners).
TEST(ShadowReceivers, AnswersOfYesOrNoKeepNoCornersBetweenThem) {
    PairingScene scene;
    scene.floor();
    scene.grid(6, 6, 1, 2.0f);
    ShadowReceivers receivers;
    for (int pass = 0; pass < 100; ++pass) {
        scene.away = pass % 2 ? down : slanted;
        scene.pass(receivers);
    }
    EXPECT_GT(receivers.answerScratch(), 0u);
    EXPECT_LE(receivers.answerScratch(), 24u);
}
