#include "core/FloatTween.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

struct CompletionCounter {
    int calls = 0;
    void onComplete() { ++calls; }
};

void startFade(FloatTween& tween, float duration, int kind) {
    tween.start = 0.0f;
    tween.end = 1.0f;
    tween.duration = duration;
    tween.elapsed = 0.0f;
    tween.value = 0.0f;
    tween.kind = kind;
}

TEST(FloatTweenTest, NewTweenIsInactiveAndUpdateChangesNothing) {
    FloatTween tween;
    EXPECT_EQ(tween.duration, -1.0f);
    EXPECT_FALSE(tween.isActive());
    CompletionCounter counter;
    tween.completed.addMember(&counter, &CompletionCounter::onComplete);
    tween.value = 0.25f;
    tween.update(1.0f);
    EXPECT_EQ(tween.value, 0.25f);
    EXPECT_EQ(tween.elapsed, 0.0f);
    EXPECT_EQ(counter.calls, 0);
}

TEST(FloatTweenTest, KindsShapeTheValueOverTime) {
    struct Case {
        int kind;
        float from, to, value;
        float expected[3]; // after 0.25, 0.5 and 0.75 of the duration
    };
    const Case cases[] = {
        {FloatTween::Linear, 10.0f, 20.0f, 10.0f, {12.5f, 15.0f, 17.5f}},
        // 3t^2 - 2t^3
        {FloatTween::Smoothstep, 0.0f, 1.0f, 0.0f, {0.15625f, 0.5f, 0.84375f}},
        {FloatTween::Smoothstep, 1.0f, 0.0f, 1.0f, {0.84375f, 0.5f, 0.15625f}},
        // any other kind leaves the value alone until the end
        {0, 0.0f, 1.0f, 0.3f, {0.3f, 0.3f, 0.3f}},
        {7, 0.0f, 1.0f, 0.3f, {0.3f, 0.3f, 0.3f}},
    };
    for (const Case& c : cases) {
        FloatTween tween;
        startFade(tween, 2.0f, c.kind);
        tween.start = c.from;
        tween.end = c.to;
        tween.value = c.value;
        for (float expected : c.expected) {
            tween.update(0.5f);
            EXPECT_FLOAT_EQ(tween.value, expected) << "kind " << c.kind;
        }
        tween.update(0.5f);
        EXPECT_EQ(tween.value, c.to) << "kind " << c.kind;
    }
}

TEST(FloatTweenTest, CompletionFiresOnceAndTheValueIsExactlyTheEnd) {
    FloatTween tween;
    CompletionCounter counter;
    tween.completed.addMember(&counter, &CompletionCounter::onComplete);
    startFade(tween, 0.5f, FloatTween::Smoothstep);
    tween.update(0.25f);
    EXPECT_EQ(counter.calls, 0);
    tween.update(0.25f); // reaches the duration exactly
    EXPECT_EQ(counter.calls, 1);
    EXPECT_EQ(tween.value, tween.end);
    tween.update(0.25f);
    tween.update(10.0f);
    EXPECT_EQ(counter.calls, 1);
    EXPECT_EQ(tween.value, 1.0f);
    EXPECT_EQ(tween.elapsed, 0.5f); // finished tweens stop advancing
    EXPECT_TRUE(tween.isFinished());
}

TEST(FloatTweenTest, OvershootIsClampedForRisingAndFallingTweens) {
    FloatTween rising;
    startFade(rising, 1.0f, FloatTween::Linear);
    rising.update(3.0f);
    EXPECT_EQ(rising.value, 1.0f);

    FloatTween falling; // start above end
    falling.start = 10.0f;
    falling.end = 5.0f;
    falling.value = 10.0f;
    falling.duration = 1.0f;
    falling.elapsed = 0.0f;
    falling.kind = FloatTween::Linear;
    falling.update(0.5f);
    EXPECT_FLOAT_EQ(falling.value, 7.5f);
    falling.update(5.0f);
    EXPECT_EQ(falling.value, 5.0f);
}

TEST(FloatTweenTest, ValueSetOutsideTheRangeIsClampedOnUpdate) {
    FloatTween tween;
    startFade(tween, 1.0f, 0); // a kind that leaves the value alone
    tween.value = 7.0f;
    tween.update(0.1f);
    EXPECT_EQ(tween.value, 1.0f);
    tween.value = -3.0f;
    tween.update(0.1f);
    EXPECT_EQ(tween.value, 0.0f);
}

TEST(FloatTweenTest, BeforeItsStartASmoothstepStaysAtTheStart) {
    FloatTween tween;
    startFade(tween, 1.0f, FloatTween::Smoothstep);
    tween.elapsed = -2.0f; // an owner delaying the start
    tween.update(0.5f);
    EXPECT_EQ(tween.value, 0.0f);
}

TEST(FloatTweenTest, ZeroLengthTweenEndsAtItsFirstUpdateOnce) {
    FloatTween tween;
    CompletionCounter counter;
    tween.completed.addMember(&counter, &CompletionCounter::onComplete);
    startFade(tween, 0.0f, FloatTween::Linear);
    tween.update(0.0f); // even a frame of no time ends it
    EXPECT_EQ(counter.calls, 1);
    EXPECT_EQ(tween.value, 1.0f);
    tween.update(0.0f);
    tween.update(0.1f);
    EXPECT_EQ(counter.calls, 1);

    startFade(tween, 0.0f, FloatTween::Linear); // restarting works as for any tween
    tween.update(0.016f);
    EXPECT_EQ(counter.calls, 2);
}

struct Restarter {
    FloatTween* tween = nullptr;
    int calls = 0;
    void onComplete() {
        if (++calls < 3)
            startFade(*tween, 1.0f, FloatTween::Linear);
    }
};

TEST(FloatTweenTest, CompletionListenerMayRestartTheTween) {
    FloatTween tween;
    Restarter restarter{&tween};
    tween.completed.addMember(&restarter, &Restarter::onComplete);
    startFade(tween, 1.0f, FloatTween::Linear);
    for (int i = 0; i < 10; ++i)
        tween.update(0.6f);
    EXPECT_EQ(restarter.calls, 3);
}

struct FadingScreen {
    FloatTween fade;
    std::unique_ptr<FadingScreen>* holder = nullptr;
    void onFadeDone() { holder->reset(); } // the screen closes itself
};

TEST(FloatTweenTest, CompletionListenerMayDestroyTheTweensOwner) {
    auto screen = std::make_unique<FadingScreen>();
    screen->holder = &screen;
    screen->fade.completed.addMember(screen.get(), &FadingScreen::onFadeDone);
    startFade(screen->fade, 0.2f, FloatTween::Smoothstep);
    screen->fade.update(0.3f); // the sanitizer build catches any touch after the call
    EXPECT_EQ(screen, nullptr);
}

} // namespace
