// Where a caster's shadow can reach: the volume its box sweeps away from the light, grown
// across it by the map's reading margin, and for a closed convex caster only beyond its box.
#include "render/ShadowReceivers.h"

#include "render/EffectHandler.h"
#include "support/NullDevice.h"

#include <gtest/gtest.h>

#include <cmath>
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
const core::vector3df down(0, -1, 0);
const core::vector3df slanted = core::vector3df(1, -1, 0).normalize();

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
