// Heap allocations of the shadow pass's own work in a frame (the shadow receivers and the
// shadow maps' records), counted through the program's own operator new. The null driver
// draws no shadows, so the pass is made here as a frame makes it: a level of boxes on a floor
// with one of them walking, as a character walks in a level that has settled.
#include "render/ShadowMapCache.h"

#include "support/CountingNew.h"

#include "ShadowPairingScene.h"

#include <gtest/gtest.h>

#include <vector>

using namespace irr;

TEST(ShadowPassAllocations, ASettledPassWithOneCasterWalkingAllocatesNothing) {
    rendertest::PairingScene scene;
    scene.floor();
    scene.grid(8, 8, 1, 2.0f);
    // The walker, a box between the others' rows, back and forth across some of them.
    scene.box({0, 0.5f, 1.0f}, {0.5f, 0.5f, 0.5f}, 2);
    scene::ISceneNode* walker = scene.drawn.back();
    constexpr int stepsAcross = 12;
    auto walkTo = [walker](int step) {
        const int along = step % (2 * stepsAcross);
        const f32 x = -3.0f + 0.5f * static_cast<f32>(along < stepsAcross ? along : 2 * stepsAcross - along);
        walker->setPosition({x, 0.5f, 1.0f});
        walker->updateAbsolutePosition();
    };

    ShadowReceivers receivers;
    ShadowMapCache maps;
    ShadowMapCache::Setup setup;
    setup.resolution = 1024;
    setup.splitCount = 1;
    setup.drawCasters = true;
    core::matrix4 projection, view;
    projection.buildProjectionMatrixOrthoLH(100.0f, 100.0f, 1.0f, 300.0f);
    view.buildCameraLookAtMatrixLH({0, 200, 0}, {0, 0, 0}, {0, 0, 1});
    const std::vector<bool> drawn(scene.entries.size(), true);
    // The view's section of the map, as the pass reads it.
    const core::vector2df section[8] = {{-0.4f, -0.5f}, {0.4f, -0.5f}, {-0.1f, 0.1f}, {0.1f, 0.1f},
                                        {-0.6f, -0.4f}, {0.6f, -0.4f}, {-0.3f, 0.5f}, {0.3f, 0.5f}};
    ShadowMapCache::ReadArea read;
    std::size_t pairsAfresh = 0;
    auto frame = [&](int step) {
        walkTo(step);
        scene.pass(receivers);
        pairsAfresh += receivers.pairsTested();
        maps.beginPass(setup, scene.entries);
        read.enclose(section, 8);
        maps.beginCascade(0, projection, view, drawn, &read);
        maps.endPass();
    };

    // Two walks across and back: every record has found its room.
    int step = 0;
    for (; step < 4 * stepsAcross; ++step)
        frame(step);
    pairsAfresh = 0;
    counting_new::count = 0;
    counting_new::counting = true;
    for (; step < 8 * stepsAcross; ++step)
        frame(step);
    counting_new::counting = false;
    EXPECT_EQ(counting_new::count.load(), 0);
    EXPECT_GT(pairsAfresh, 4u * stepsAcross) << "the walker's moves are answered afresh";
}
