// The debug statistics overlay: its column of lines at the right edge, hidden until F6 in
// debug mode, and the profiler running exactly while it shows.
#include "GuiFixture.h"

#include "core/Globals.h"
#include "core/ProfilerManager.h"
#include "core/Stopwatch.h"
#include "gui/GUIDebugStats.h"
#include "gui/GUIScreen.h"
#include "physics/world/PhysicsManager.h"
#include "player/InputManager.h"

#include <IGUIFont.h>
#include <IGUISkin.h>
#include <IGUIListBox.h>
#include <IGUIStaticText.h>

#include <string>
#include <cstdint>

using namespace irr;

namespace {

// The profiler's clock in microseconds, moved by the tests alone.
std::int64_t profilerNow = 0;
std::int64_t readProfilerClock() { return profilerNow; }
void advanceMs(double ms) { profilerNow += static_cast<std::int64_t>(ms * 1000.0); }

class DebugStatsTest : public guitest::GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        profilerManager = &profiler;
        useInput();
        stats = new GUIDebugStats(environment);
        stats->drop();
    }
    void TearDown() override {
        debugMode = false;
        profilerManager = nullptr;
        GuiFixture::TearDown();
    }

    // F6 goes down in a frame of its own (it counts as pressed until the frame ends).
    void pressF6() {
        inputKey(KEY_F6, true);
        inputKey(KEY_F6, false);
        inputManager->endFrame();
        inputKey(KEY_F6, true);
    }

    // One frame as the game's frame runs it, each part taking the milliseconds given and
    // `untimed` ms passing outside the parts (input, screens, the frame cap's wait); the
    // parts restart as the game restarts them (a counted tick).
    void runFrame(double untimed, double objects, double physics, double rendering, double sound) {
        stats->update();
        stats->beginFrameTiming();
        Stopwatch& physicsWatch = profiler.stopwatch(ProfilerManager::Physics);
        advanceMs(untimed);
        if (objects >= 0.0) { // a frame without a level update runs no objects
            profiler.stopwatch(ProfilerManager::Objects).reset();
            advanceMs(objects);
            profiler.stopwatch(ProfilerManager::Objects).tick();
        }
        physicsWatch.reset(); // the step starts; its completion pauses the stopwatch
        advanceMs(physics / 2);
        physicsWatch.pause();
        profiler.stopwatch(ProfilerManager::Sound).reset();
        advanceMs(sound);
        profiler.stopwatch(ProfilerManager::Sound).tick();
        profiler.stopwatch(ProfilerManager::Rendering).reset();
        advanceMs(rendering);
        profiler.stopwatch(ProfilerManager::Rendering).tick();
        physicsWatch.resume();
        advanceMs(physics / 2);
        physicsWatch.tick();
        postRenderAll();
    }
    std::string line(int index) const { return core::stringc(stats->getLines()[index]->getText()).c_str(); }

    ProfilerManager profiler{StopwatchClock{&readProfilerClock, 1000000}};
    GUIDebugStats* stats = nullptr;
};

TEST_F(DebugStatsTest, LinesStandInAColumnAtTheRightEdge) {
    const s32 width = static_cast<s32>(driver->getScreenSize().Width);
    ASSERT_EQ(stats->getLines().size(), 18u);
    EXPECT_EQ(stats->getLines()[4]->getRelativePosition(), core::recti(width - 400, 80, width, 100));
    EXPECT_STREQ(stats->getTypeName(), "GUIDebugStats");
    EXPECT_EQ(stats->getID(), -11);
    EXPECT_EQ(core::stringc(stats->getLines()[13]->getText()), "Total");
    EXPECT_EQ(core::stringc(stats->getLines()[14]->getText()), core::stringc(profiler.getStopwatch(0)->name().c_str()));
    stats->update();
    EXPECT_EQ(core::stringc(stats->getLines()[0]->getText()), core::stringc(L" Driver: ") + driver->getName());
    EXPECT_EQ(core::stringc(stats->getLines()[4]->getText()), " Physics Stats:");
    // One frame: its rate is also the best and the average.
    const std::string fps = std::to_string(driver->getFPS());
    EXPECT_EQ(core::stringc(stats->getLines()[1]->getText()),
              (" FPS: " + fps + " Best: " + fps + " Average: " + fps).c_str());
    // Without a physics scene the physics lines keep their labels.
    EXPECT_EQ(core::stringc(stats->getLines()[5]->getText()), "numActiveConstraints");
}

// The physics lines show the scene's counts only while the physics manager has a scene; a
// manager between levels (no scene) leaves the labels as they are.
TEST_F(DebugStatsTest, PhysicsLinesShowCountsOnlyWhileThereIsAScene) {
    PhysicsManager physics;
    physicsManager = &physics;
    stats->update();
    EXPECT_EQ(core::stringc(stats->getLines()[5]->getText()), "numActiveConstraints");
    ASSERT_TRUE(physics.init());
    ASSERT_TRUE(physics.createScene());
    stats->update();
    EXPECT_EQ(core::stringc(stats->getLines()[5]->getText()), "   Active Constraints: 0");
    EXPECT_EQ(core::stringc(stats->getLines()[8]->getText()), "   Static Bodies: 0");
    physics.releaseScene();
    physicsManager = nullptr;
}

// A window made narrower moves the column to its new right edge at the next update.
TEST_F(DebugStatsTest, TheColumnFollowsANewScreenWidth) {
    const core::dimension2du before = driver->getScreenSize();
    driver->OnResize(core::dimension2du(1024, 600));
    stats->update();
    for (gui::IGUIStaticText* line : stats->getLines())
        EXPECT_EQ(line->getRelativePosition().LowerRightCorner.X, 1024);
    driver->OnResize(before);
}

// However long a line gets, it stays whole on the screen, below the one before.
TEST_F(DebugStatsTest, EveryLineFitsItsPlaceOnTheScreen) {
    profiler.stopwatch(ProfilerManager::Physics).setName(std::wstring(60, L'W'));
    stats->update();
    gui::IGUIFont* font = stats->getLines().front()->getActiveFont();
    ASSERT_NE(font, nullptr);
    EXPECT_NE(font, environment->getSkin()->getFont()) << "small lines, not the large debug font";
    const core::recti screen(core::position2di(0, 0), core::dimension2di(driver->getScreenSize()));
    s32 previousBottom = 0;
    for (gui::IGUIStaticText* line : stats->getLines()) {
        const core::recti place = line->getAbsolutePosition();
        SCOPED_TRACE(core::stringc(line->getText()).c_str());
        EXPECT_TRUE(screen.isRectCollided(place) && place.UpperLeftCorner.X >= 0 && place.LowerRightCorner.X <= screen.LowerRightCorner.X);
        EXPECT_LE(static_cast<s32>(font->getDimension(line->getText()).Width), place.getWidth());
        EXPECT_LE(static_cast<s32>(font->getDimension(line->getText()).Height), place.getHeight());
        EXPECT_GE(place.UpperLeftCorner.Y, previousBottom);
        previousBottom = place.LowerRightCorner.Y;
    }
}

// Shown, the overlay draws in front of every screen (also one opened after it) with a box
// behind its lines, and the whole frame's line counts the frame.
TEST_F(DebugStatsTest, TheOverlayStandsInFrontWithItsBoxBehindTheLinesAndTimesTheFrame) {
    EXPECT_FALSE(stats->isSubElement());
    auto* later = new GUIScreen(environment, environment->getRootGUIElement(), 11, core::recti());
    later->drop();
    ASSERT_EQ(*environment->getRootGUIElement()->getChildren().getLast(), later);
    stats->beginFrameTiming();
    advanceMs(3.0);
    stats->update();
    EXPECT_EQ(*environment->getRootGUIElement()->getChildren().getLast(), stats);
    core::recti column = stats->getLines().front()->getAbsolutePosition();
    for (gui::IGUIStaticText* line : stats->getLines())
        column.addInternalPoint(line->getAbsolutePosition().LowerRightCorner);
    EXPECT_EQ(stats->getListBox()->getAbsolutePosition(), column);
    EXPECT_EQ(stats->getTotalStopwatch().tickCount(), 1u) << "one tick a frame";
    EXPECT_FLOAT_EQ(stats->getTotalStopwatch().delta(), 0.003f);
}

// Shown by F6 after the game ran a while, the time lines show no figure until a frame has
// been timed whole with the profiler on (the parts still hold the time since they last ran);
// then the Total is that whole frame, at least the sum of its parts and above it by the time
// outside them only, and every average is one of frames, also for a part that restarts with
// a counted tick or ticks twice a frame.
TEST_F(DebugStatsTest, TheTimeLinesShowOnlyFramesTimedWholeAndTheTotalIsTheWholeFrame) {
    profiler.stopwatch(ProfilerManager::Objects).reset();
    advanceMs(25000.0);
    debugMode = true;
    pressF6();
    stats->toggleOnKey();
    ASSERT_TRUE(stats->isVisible());
    postRenderAll();
    runFrame(2.0, 5.0, 4.0, 6.0, 1.0);
    EXPECT_EQ(line(13), " Total");
    EXPECT_EQ(line(14), " Objects") << "no figure from before the profiler ran";
    EXPECT_EQ(stats->getTimedFrames(), 0u);
    runFrame(1.0, 7.0, 2.0, 4.0, 3.0);
    EXPECT_EQ(stats->getTimedFrames(), 1u);
    // The first frame timed: 2 + 5 + 4 + 6 + 1 ms, the whole of it and no more.
    EXPECT_EQ(line(13), " Total: 18.00 ms Avg: 18.00 ms");
    EXPECT_EQ(line(14), " Objects: 5.00 ms Avg: 5.00 ms");
    runFrame(3.0, -1.0, 2.0, 2.0, 1.0);
    stats->update();
    EXPECT_EQ(stats->getTimedFrames(), 3u);
    // Then 1 + 7 + 2 + 4 + 3 = 17 ms, and a frame of 8 ms without objects.
    EXPECT_EQ(line(13), " Total: 8.00 ms Avg: 14.33 ms");
    EXPECT_EQ(line(14), " Objects: 0.00 ms Avg: 4.00 ms");
    EXPECT_EQ(line(15), " Rendering: 2.00 ms Avg: 4.00 ms");
    EXPECT_EQ(line(16), " Physics: 2.00 ms Avg: 2.67 ms");
    EXPECT_EQ(line(17), " Sound: 1.00 ms Avg: 1.67 ms");
    // An update without a frame begun (a second one in the same frame) counts nothing more.
    advanceMs(4.0);
    stats->update();
    EXPECT_EQ(stats->getTimedFrames(), 3u);
    EXPECT_EQ(line(13), " Total: 8.00 ms Avg: 14.33 ms");
}

TEST_F(DebugStatsTest, F6ShowsAndHidesOnlyInDebugModeAndTheProfilerFollows) {
    pressF6();
    stats->toggleOnKey();
    EXPECT_FALSE(stats->isVisible());
    debugMode = true;
    inputManager->endFrame(); // held, not pressed this frame
    stats->toggleOnKey();
    EXPECT_FALSE(stats->isVisible());
    pressF6();
    stats->toggleOnKey();
    EXPECT_TRUE(stats->isVisible());
    postRenderAll();
    EXPECT_TRUE(profiler.isEnabled());
    EXPECT_EQ(profiler.getStopwatch(0)->tickCount(), 0u) << "the averages restart at the toggle";
    stats->toggleOnKey();
    postRenderAll();
    EXPECT_FALSE(profiler.isEnabled());
}

} // namespace
