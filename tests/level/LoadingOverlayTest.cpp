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

// A load under the full cover brings the loading screen up; the outro after it holds at full
// cover, its hold not begun, until the level's view has been drawn, and its end takes the
// loading screen down. A load under a cover not yet full, or none, brings nothing up.
TEST(LoadingOverlayTest, ALoadUnderTheCoverShowsTheLoadingScreenUntilTheOutroAfterItsViewEnds) {
    for (const float fade : {0.0f, 1.0f - 5e-6f}) {
        LoadingOverlay overlay;
        overlay.fadeValue = fade;
        overlay.progress = 0.5f;
        overlay.beginLoad();
        EXPECT_FALSE(overlay.loadingScreen) << fade;
        EXPECT_FALSE(overlay.awaitingView) << fade;
        EXPECT_FLOAT_EQ(overlay.progress, 0.0f) << "each load's bar starts empty";
    }
    LoadingOverlay overlay;
    overlay.fadeSpeed = 2.0f;
    overlay.hold = 0.5f;
    overlay.startIntro();
    overlay.update(1.0f);
    overlay.beginLoad();
    EXPECT_TRUE(overlay.showsLoadingScreen());
    overlay.startOutro();
    EXPECT_FALSE(overlay.update(5.0f));
    EXPECT_FLOAT_EQ(overlay.fadeValue, 1.0f) << "waits for the view, whatever the time";
    overlay.awaitingView = false;
    EXPECT_FALSE(overlay.update(0.25f)); // the hold, at the fade speed
    EXPECT_FLOAT_EQ(overlay.fadeValue, 1.0f);
    EXPECT_FALSE(overlay.update(0.25f));
    EXPECT_FLOAT_EQ(overlay.fadeValue, 0.5f);
    EXPECT_TRUE(overlay.loadingScreen) << "it fades out as itself";
    EXPECT_FALSE(overlay.showsLoadingScreen()) << "no longer filling the screen";
    EXPECT_TRUE(overlay.update(0.25f));
    EXPECT_FALSE(overlay.loadingScreen);
    // A new intro takes down what a load left up (a cover dropped without an outro).
    overlay.startIntro();
    overlay.update(1.0f);
    overlay.beginLoad();
    overlay.startIntro();
    EXPECT_FALSE(overlay.loadingScreen);
    EXPECT_FALSE(overlay.awaitingView);
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
