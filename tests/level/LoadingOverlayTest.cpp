#include "level/LoadingOverlay.h"

#include "level/LevelHooks.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(LoadingOverlayTest, StartsClearWithKindTwo) {
    LoadingOverlay overlay;
    EXPECT_EQ(overlay.mode, 0);
    EXPECT_EQ(overlay.kind, 2);
    EXPECT_FLOAT_EQ(overlay.fadeValue, 0.0f);
    EXPECT_FALSE(overlay.isBusy());
    EXPECT_FALSE(overlay.isOpaque());
    EXPECT_FLOAT_EQ(overlay.getTransitionValue(), 0.0f);
    EXPECT_TRUE(overlay.update(0.1f)); // nothing runs
    EXPECT_STREQ(LoadingOverlay::transitionTypeNames[0], "Circle Wipe Image");
    EXPECT_STREQ(LoadingOverlay::transitionTypeNames[4], "None");
}

TEST(LoadingOverlayTest, IntroFadesInAtTheSpeedAndTheCoverStays) {
    LoadingOverlay overlay;
    overlay.fadeSpeed = 2.0f; // half a second from clear to covered
    overlay.startIntro();
    EXPECT_TRUE(overlay.introRunning);
    EXPECT_FALSE(overlay.update(0.1f));
    EXPECT_NEAR(overlay.fadeValue, 0.2f, 1e-6f);
    EXPECT_NEAR(overlay.getTransitionValue(), 0.2f, 1e-6f);
    EXPECT_FALSE(overlay.update(0.3f));
    EXPECT_NEAR(overlay.fadeValue, 0.8f, 1e-6f);
    EXPECT_TRUE(overlay.update(0.3f)); // clamped at the cover
    EXPECT_FLOAT_EQ(overlay.fadeValue, 1.0f);
    EXPECT_TRUE(overlay.isOpaque());
    // Covered, the transition is still under way until the outro.
    EXPECT_TRUE(overlay.introRunning);
    EXPECT_TRUE(overlay.isBusy());
    EXPECT_TRUE(overlay.update(1.0f));
    EXPECT_FLOAT_EQ(overlay.fadeValue, 1.0f);
}

TEST(LoadingOverlayTest, OutroWaitsOutTheHoldAtTheFadeSpeedThenClears) {
    LoadingOverlay overlay;
    overlay.fadeSpeed = 2.0f;
    overlay.hold = 1.0f; // consumed at 2 per second: half a second
    overlay.startIntro();
    overlay.update(1.0f);
    overlay.startOutro();
    EXPECT_FALSE(overlay.introRunning);
    EXPECT_TRUE(overlay.outroRunning);
    EXPECT_FALSE(overlay.update(0.25f));
    EXPECT_FLOAT_EQ(overlay.fadeValue, 1.0f); // holding
    EXPECT_FALSE(overlay.update(0.35f));       // 0.1 s of the step is left for the fade
    EXPECT_NEAR(overlay.fadeValue, 0.8f, 1e-5f);
    EXPECT_FALSE(overlay.update(0.3f));
    EXPECT_NEAR(overlay.fadeValue, 0.2f, 1e-5f);
    EXPECT_TRUE(overlay.update(0.2f));
    EXPECT_FLOAT_EQ(overlay.fadeValue, 0.0f);
    EXPECT_FALSE(overlay.isBusy());
    EXPECT_FLOAT_EQ(overlay.getTransitionValue(), 0.0f);
}

TEST(LoadingOverlayTest, OutroStartsFromFullCover) {
    LoadingOverlay overlay;
    overlay.fadeSpeed = 4.0f;
    overlay.startOutro();
    EXPECT_FLOAT_EQ(overlay.fadeValue, 1.0f);
    EXPECT_FALSE(overlay.update(0.125f));
    EXPECT_FLOAT_EQ(overlay.fadeValue, 0.5f);
    EXPECT_TRUE(overlay.update(0.125f));
}

// A load brings the loading screen up only under the full cover; an outro after it waits for
// the level's view however long, and a new intro takes down what a load left up.
TEST(LoadingOverlayTest, ALoadUnderTheFullCoverShowsTheLoadingScreenAndHoldsTheOutro) {
    for (const float fade : {1.0f - 5e-6f, 1.0f}) {
        LoadingOverlay overlay;
        overlay.fadeValue = fade;
        overlay.progress = 0.5f;
        overlay.beginLoad();
        EXPECT_EQ(overlay.showsLoadingScreen() && overlay.awaitingView, fade == 1.0f) << fade;
        EXPECT_FLOAT_EQ(overlay.progress, 0.0f) << "each load's bar starts empty";
        overlay.startOutro();
        EXPECT_EQ(overlay.update(60.0f), fade < 1.0f) << fade;
    }
    LoadingOverlay overlay;
    overlay.fadeValue = 1.0f;
    overlay.beginLoad();
    overlay.startIntro();
    EXPECT_FALSE(overlay.loadingScreen || overlay.awaitingView);
}

TEST(LoadingOverlayTest, NonPositiveSpeedEndsATransitionAtOnce) {
    LoadingOverlay overlay;
    overlay.fadeSpeed = 0.0f;
    overlay.startIntro();
    EXPECT_TRUE(overlay.update(0.0f));
    EXPECT_FLOAT_EQ(overlay.fadeValue, 1.0f);
    overlay.fadeSpeed = -3.0f;
    overlay.hold = 5.0f;
    overlay.startOutro();
    EXPECT_TRUE(overlay.update(0.0f));
    EXPECT_FLOAT_EQ(overlay.fadeValue, 0.0f);
}

TEST(LoadingOverlayTest, OpaqueOnlyWithKindTwoAtFullCover) {
    LoadingOverlay overlay;
    overlay.fadeValue = 1.0f - 5e-7f;
    EXPECT_TRUE(overlay.isOpaque());
    overlay.fadeValue = 1.0f - 5e-6f;
    EXPECT_FALSE(overlay.isOpaque());
    overlay.fadeValue = 1.0f;
    overlay.kind = 0;
    EXPECT_FALSE(overlay.isOpaque());
}

TEST(LoadingOverlayTest, ProgressAndTransitionValueStayWithinZeroToOne) {
    LoadingOverlay overlay;
    overlay.progress = 1.7f;
    EXPECT_FLOAT_EQ(overlay.getProgress(), 1.0f);
    overlay.progress = -0.3f;
    EXPECT_FLOAT_EQ(overlay.getProgress(), 0.0f);
    overlay.progress = std::nanf("");
    EXPECT_FLOAT_EQ(overlay.getProgress(), 0.0f);
    overlay.outroRunning = true;
    overlay.fadeValue = 1.5f;
    EXPECT_FLOAT_EQ(overlay.getTransitionValue(), 1.0f);
}

TEST(LoadingOverlayTest, DrawGoesToTheGuiWhenItIsThere) {
    LoadingOverlay overlay;
    overlay.draw(); // nothing to draw with
    int draws = 0;
    levelHooks().gui.drawLoadingOverlay = [&](const LoadingOverlay& drawn) {
        EXPECT_EQ(&drawn, &overlay);
        ++draws;
    };
    overlay.draw();
    EXPECT_EQ(draws, 1);
    resetLevelHooks();
}

} // namespace
