// The cutscene overlay (its bars, vignette and skip prompt) and the cutscene object (start,
// end transition, finish, cancel, attributes), with the free debug camera's animator.
#include "CameraTimeFixture.h"

#include "camera/CameraServices.h"
#include "camera/CameraTransition.h"
#include "camera/CutsceneObject.h"
#include "camera/FreeFlyCameraAnimator.h"

#include "core/Globals.h"
#include "core/SoundManager.h"
#include "core/CoreSlots.h"
#include "gui/GUIImage.h"

#include <ICursorControl.h>
#include "level/LevelEvents.h"
#include "level/LevelHooks.h"
#include "level/LevelManager.h"
#include "level/SoundObject.h"
#include "render/EffectHandler.h"
#include "render/SpriteAnimation.h"
#include "screens/ScreenManager.h"
#include "camera/GUICutscene.h"
#include "platform/FakePadBackend.h"
#include "player/InputManager.h"
#include "player/PlayerControls.h"
#include "player/devices/KeyboardDevice.h"
#include "support/ScreenConnections.h"
#include "support/TempDir.h"
#include "triggers/ConditionalTrigger.h"
#include "triggers/TriggerEventObject.h"
#include "triggers/TriggerRegistration.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <memory>
#include <optional>
#include <vector>

#include <cstring>

using namespace irr;

namespace {

class CutsceneTest : public test::CameraTimeFixture {
protected:
    void SetUp() override {
        CameraTimeFixture::SetUp();
        screenWidth = 1280;
        screenHeight = 720;
        registerTriggerTypes();
        // The overlay's skip prompt reads its frames from the game's content with the rendering
        // code's loader.
        workingDir = std::make_unique<test::ScopedWorkingDir>(test::sourceDir());
        levelHooks().render.loadSpriteAnimation = [](const io::path& file) -> std::shared_ptr<const SpriteAnimation> {
            auto animation = std::make_shared<SpriteAnimation>();
            return loadTextureAnimation(*animation, file) ? animation : nullptr;
        };
        screenManager = new ScreenManager(device->get()->getGUIEnvironment());
        screenManager->createScreens();
        coreSlots().screens.overlayBlend = [] { return screenManager->getOverlayBlend(); };
        connections = std::make_unique<test::ScreenConnections>();
        overlay = screenManager->getCutsceneScreen();
    }
    void TearDown() override {
        coreSlots().screens.overlayBlend = nullptr;
        connections.reset();
        delete screenManager;
        screenManager = nullptr;
        CameraTimeFixture::TearDown();
    }
    // One frame of the seconds for the overlay.
    void overlayFrame(f32 seconds) {
        tick(seconds);
        overlay->OnPostRender(0);
    }
    // One still overlay frame with the bars in or out and the skip held that far.
    void holdSkip(bool barsIn, f32 progress) {
        if (barsIn)
            overlay->snapBarsIn();
        else
            overlay->snapBarsOut();
        overlay->setSkipProgress(progress);
        overlayFrame(0.0f);
    }
    // One frame of the seconds for the level's objects, the cameras and the overlay.
    void gameFrame(f32 seconds = 0.1f) { gameFrame(seconds, seconds); }
    // A frame that plays `playSeconds` of the level (a slow frame plays less than its length).
    void gameFrame(f32 seconds, f32 playSeconds) {
        tick(seconds);
        manager->setSimulatedSeconds(playSeconds); // the level's clock: the script's timers
        ++levelAnimateFrame;
        root()->OnAnimate(0);
        cameras->update(seconds);
        smgr()->drawAll(); // a draw pass animates the scene once more
        overlay->OnPostRender(0);
    }
    // A frame in the game's order: the level's clock, the level's queued events, the level.
    void levelFrame(f32 seconds, f32 playSeconds) {
        manager->setSimulatedSeconds(playSeconds);
        manager->processLevelEvents(seconds);
        gameFrame(seconds, playSeconds);
    }
    CutsceneObject* addCutscene(f32 duration, s32 cameraID = 0) {
        auto* cutscene = new CutsceneObject(root(), smgr(), -1);
        cutscene->drop();
        cutscene->CutsceneDuration = duration;
        cutscene->CameraID = cameraID;
        return cutscene;
    }
    TriggerEventObject* addEvent(CutsceneObject* cutscene, f32 delay) {
        auto* event = new TriggerEventObject(cutscene, smgr(), -1);
        event->drop();
        event->EventDelay = delay;
        return event;
    }
    std::size_t queuedEvents() const { return manager->getLevelEvents().size(); }

    GUICutscene* overlay = nullptr;
    std::unique_ptr<test::ScreenConnections> connections;
};

TEST_F(CutsceneTest, TheOverlayIsAPassingStandingScreenSizedForTheScreen) {
    ASSERT_NE(overlay, nullptr);
    EXPECT_EQ(overlay->getID(), ScreenManager::overlayId);
    EXPECT_EQ(s32(overlay->getType()), 1009);
    EXPECT_STREQ(overlay->getTypeName(), "GUICutscene");
    EXPECT_EQ(overlay->getBarHeight(), 64);
    EXPECT_EQ(overlay->getSkipPrompt()->getRelativePosition(), core::recti(1228, 668, 1264, 704));
    EXPECT_EQ(overlay->getBarAmount(), 0.0f);
    EXPECT_FALSE(overlay->getTopBar()->isVisible());
    overlay->setVisible(true);
    EXPECT_TRUE(screenManager->isInputAllowed()) << "the overlay never holds the game's input";
}

// The overlay snaps its bars out when a level unloads, and stops listening when it goes.
TEST_F(CutsceneTest, TheOverlayListensForLevelUnloadsOnlyWhileItLives) {
    gui::IGUIEnvironment* environment = device->get()->getGUIEnvironment();
    const std::size_t before = manager->onLevelUnloaded.size();
    auto* second = new GUICutscene(environment, environment->getRootGUIElement(), -1);
    EXPECT_EQ(manager->onLevelUnloaded.size(), before + 1);
    second->setVisible(true);
    second->snapBarsIn();
    manager->onLevelUnloaded.invoke();
    EXPECT_EQ(second->getBarAmount(), 0.0f) << "snapped out by the unload";
    second->remove();
    second->drop();
    EXPECT_EQ(manager->onLevelUnloaded.size(), before);
}

// The bars slide in over a second along a smoothstep (top bar from -64 to 0, bottom bar from
// below the screen to 658), the vignette fading in between them; then out again.
TEST_F(CutsceneTest, TheBarsSlideInAndOutOverASecond) {
    struct Row {
        f32 amount;
        s32 topY, bottomY;
        u32 alpha;
    };
    const Row in[] = {{0.251f, -53, 711, 40}, {0.501f, -31, 689, 127}, {0.751f, -9, 667, 215}, {1.0f, 0, 658, 255}};
    overlay->setVisible(true);
    EXPECT_EQ(overlay->getBarAmount(), 0.001f) << "counts as showing at once";
    EXPECT_NE(screenManager->getOverlayBlend(), 0.0f);
    for (const Row& row : in) {
        overlayFrame(0.25f);
        EXPECT_NEAR(overlay->getBarAmount(), row.amount, 1e-4f);
        EXPECT_EQ(overlay->getTopBar()->getRelativePosition().UpperLeftCorner.Y, row.topY) << row.amount;
        EXPECT_EQ(overlay->getBottomBar()->getRelativePosition().UpperLeftCorner.Y, row.bottomY) << row.amount;
        EXPECT_EQ(overlay->getVignette()->getColor().getAlpha(), row.alpha) << row.amount;
        EXPECT_EQ(overlay->getVignette()->getRelativePosition().UpperLeftCorner.Y, row.topY + 64);
        EXPECT_TRUE(overlay->getTopBar()->isVisible());
    }
    // Hiding half-way out and showing again reverses from where the bars are.
    overlay->setVisible(false);
    overlayFrame(0.5f);
    EXPECT_NEAR(overlay->getBarAmount(), 0.5f, 1e-4f);
    overlay->setVisible(true);
    overlayFrame(0.25f);
    EXPECT_NEAR(overlay->getBarAmount(), 0.75f, 1e-4f);
    overlay->setVisible(false);
    for (int i = 0; i < 4; ++i)
        overlayFrame(0.25f);
    EXPECT_EQ(overlay->getBarAmount(), 0.0f);
    EXPECT_FALSE(overlay->getTopBar()->isVisible());
    EXPECT_FALSE(overlay->getBottomBar()->isVisible());
    EXPECT_FALSE(overlay->getVignette()->isVisible());
    EXPECT_EQ(overlay->getTopBar()->getRelativePosition().UpperLeftCorner.Y, -64);
}

TEST_F(CutsceneTest, SnapsAndTheLevelUnloadJumpToTheEnds) {
    overlay->snapBarsIn();
    EXPECT_EQ(overlay->getBarAmount(), 1.0f);
    EXPECT_EQ(overlay->getTopBar()->getRelativePosition().UpperLeftCorner.Y, 0);
    overlay->setVisible(false);
    overlayFrame(0.3f);
    manager->onLevelUnloaded.invoke();
    EXPECT_EQ(overlay->getBarAmount(), 0.0f) << "mid-slide, the bars are gone at once";
    EXPECT_FALSE(overlay->getVignette()->isVisible());
}

TEST_F(CutsceneTest, TheOverlayStandsStillWhileAMenuHoldsTheInput) {
    overlay->setVisible(true);
    screenManager->setPauseScreenVisible(true);
    ASSERT_FALSE(screenManager->isInputAllowed());
    overlayFrame(0.5f);
    EXPECT_EQ(overlay->getBarAmount(), 0.001f);
}

// The prompt shows the held time in frames 0..9, frame 10 for a refused skip, and nothing
// while gameplay is not suspended.
TEST_F(CutsceneTest, TheSkipPromptShowsTheHeldTimeOrTheRefusal) {
    struct Row {
        bool barsIn;
        f32 progress;
        s32 frame;
        bool shown;
    };
    const Row rows[] = {{true, 0.0f, 0, false}, {true, 0.5f, 4, true},  {true, 1.5f, 9, true},
                        {true, -1.0f, 10, true}, {false, 0.5f, 0, false}, {false, -0.5f, 10, false}};
    for (const Row& row : rows) {
        holdSkip(row.barsIn, row.progress);
        EXPECT_EQ(overlay->getPromptFrame(), row.frame) << row.progress;
        EXPECT_EQ(overlay->getSkipPrompt()->isVisible(), row.shown) << row.progress;
    }
}

// The prompt's picture strip holds a ring emptying over cells 0..8 and the refusal's cross in
// cell 9: each held-time frame shows the ring one cell behind it (frames 0 and 1 the full
// ring, a full hold on and past a second the empty one) and a refusal, from just below 0,
// the cross; with the bars in or out.
TEST_F(CutsceneTest, TheSkipPromptAnimationShowsTheRingForTheHeldTimeAndTheCrossForARefusal) {
    SpriteAnimation* animation = overlay->getSkipPrompt()->getSpriteAnimation();
    ASSERT_NE(animation, nullptr);
    ASSERT_EQ(animation->last - animation->first + 1, 11) << "the prompt's eleven cells were read";
    struct Row {
        bool barsIn;
        f32 progress;
        s32 frame, cell;
    };
    std::vector<Row> rows;
    const s32 heldCells[] = {0, 0, 1, 2, 3, 4, 5, 6, 7, 8};
    for (s32 frame = 0; frame <= 9; ++frame) // the middle of each frame's share of the second
        rows.push_back({true, (f32(frame) + 0.5f) / 9.0f, frame, heldCells[frame]});
    const Row edges[] = {{true, 1.0f, 9, 8},      {true, 1.001f, 9, 8}, {true, 0.0f, 0, 0},
                         {true, -0.001f, 10, 9},  {true, -1.0f, 10, 9}, {false, 0.5f, 0, 0},
                         {false, -0.001f, 10, 9}};
    rows.insert(rows.end(), std::begin(edges), std::end(edges));
    for (const Row& row : rows) {
        holdSkip(row.barsIn, row.progress);
        ASSERT_EQ(overlay->getPromptFrame(), row.frame) << row.barsIn << " " << row.progress;
        EXPECT_EQ(animation->getCurrentCell(), row.cell) << row.barsIn << " " << row.progress;
    }
}

// While the bars show, even at the start of their slide, a level camera waits in the list
// instead of taking the view.
TEST_F(CutsceneTest, WhileTheBarsShowALevelCameraWaitsInTheList) {
    CameraObject* before = addModeCamera(CameraModeId::Stationary, {0, 5, -20});
    cameras->pushCamera(before, nullptr, 0.0f, false);
    ASSERT_EQ(cameras->getOverrideCamera(), before);
    overlay->setVisible(true);
    ASSERT_GT(overlay->getBarAmount(), 0.0f);
    ASSERT_LT(overlay->getBarAmount(), 0.01f);
    CameraObject* waiting = addModeCamera(CameraModeId::Stationary, {10, 5, 0}, nullptr);
    waiting->PriorityLevel = 5;
    cameras->pushCamera(waiting, nullptr, 0.0f, false);
    EXPECT_EQ(cameras->getOverrideCamera(), before);
    EXPECT_EQ(cameras->overrideCameras.begin()->camera, waiting) << "first in the list";
}

// A started cutscene shows the bars, takes control, switches to its camera and starts its
// child events; at its end (after its end transition was queued a second before) it gives
// everything back and returns to the camera that was active before.
TEST_F(CutsceneTest, ACutsceneRunsAndReturnsTheCamera) {
    test::PlacedBody* body = addPlayer({});
    CameraObject* before = addModeCamera(CameraModeId::Stationary, {0, 5, -20}, nullptr, 30);
    CameraObject* shot = addModeCamera(CameraModeId::Stationary, {10, 5, 0}, nullptr, 31);
    registerIDs();
    // The camera was switched on by a volume: the return hands that source back too.
    scene::ISceneNode* volume = smgr()->addEmptySceneNode();
    cameras->pushCamera(before, volume, 0.0f, false);
    CutsceneObject* cutscene = addCutscene(3.0f, 31);
    cutscene->ReturnToPreviousCam = true;
    cutscene->EndTransitionType = 3; // "Fade to White"
    TriggerEventObject* event = addEvent(cutscene, 0.5f);
    int started = 0, finished = 0;
    struct Counter {
        int* count;
        void bump() { ++*count; }
    } startCounter{&started}, finishCounter{&finished};
    cutscene->startedListeners.addMember(&startCounter, &Counter::bump);
    cutscene->finishedListeners.addMember(&finishCounter, &Counter::bump);

    cutscene->CamTransitionSpeed = 2.0f;
    cutscene->startCutscene();
    EXPECT_TRUE(cutscene->isRunning());
    EXPECT_TRUE(cutsceneRunning);
    EXPECT_EQ(started, 1);
    EXPECT_EQ(shot->transitionSpeed, 2.0f) << "the cutscene's own transition speed";
    EXPECT_EQ(overlay->getBarGoal(), 1.0f);
    EXPECT_TRUE(body->controlsDisabled);
    EXPECT_EQ(cameras->getOverrideCamera(), shot);
    EXPECT_EQ(cutscene->previousCamera, before);
    EXPECT_TRUE(event->isPending());
    cutscene->startCutscene(); // a second start is ignored
    EXPECT_EQ(started, 1);

    const std::size_t queued = queuedEvents();
    while (cutscene->elapsed < 1.7f) {
        gameFrame(0.25f);
        EXPECT_FALSE(cutscene->ending);
    }
    gameFrame(0.25f); // reaches 2.0 = duration - 1
    EXPECT_TRUE(cutscene->ending);
    EXPECT_EQ(queuedEvents(), queued + 2) << "the end transition's intro and outro";
    while (cutscene->isRunning())
        gameFrame();
    EXPECT_EQ(finished, 1);
    EXPECT_FALSE(cutsceneRunning);
    EXPECT_FALSE(body->controlsDisabled);
    EXPECT_EQ(cutscene->elapsed, -1.0f);
    EXPECT_EQ(overlay->getBarGoal(), 0.0f);
    EXPECT_EQ(cameras->getOverrideCamera(), before);
    ASSERT_NE(cameras->transition, nullptr);
    EXPECT_EQ(cameras->transition->source, volume);
}

// Only a cutscene that takes the controls shows the bars; one that does not also keeps the
// camera it found out of its memory when the overrides are off; the cutscene ends once its
// time has passed, not on it.
TEST_F(CutsceneTest, BarsComeWithTakenControlsAndTheEndComesAfterTheDuration) {
    for (bool takes : {true, false}) {
        CutsceneObject* cutscene = addCutscene(1.0f);
        cutscene->DisableControls = takes;
        ASSERT_EQ(overlay->getBarGoal(), 0.0f);
        cutscene->startCutscene();
        EXPECT_EQ(overlay->getBarGoal(), takes ? 1.0f : 0.0f);
        while (cutscene->isRunning())
            gameFrame(0.25f);
    }
    CameraObject* before = addModeCamera(CameraModeId::Stationary, {0, 5, -20}, nullptr, 30);
    registerIDs();
    cameras->pushCamera(before, nullptr, 0.0f, false);
    cameras->overridesDisabled = true;
    CutsceneObject* cutscene = addCutscene(1.0f);
    cutscene->ReturnToPreviousCam = true;
    cutscene->startCutscene();
    EXPECT_EQ(cutscene->previousCamera, nullptr) << "no camera is known while overrides are off";
    cameras->overridesDisabled = false;
    for (int frame = 0; frame < 4; ++frame)
        gameFrame(0.25f);
    ASSERT_EQ(cutscene->elapsed, 1.0f);
    EXPECT_TRUE(cutscene->isRunning()) << "on its duration it still runs";
    gameFrame(0.25f);
    EXPECT_FALSE(cutscene->isRunning());
}

// The music fades to the cutscene's volume and back to full: at once where the bars snap,
// gradually where they slide.
TEST_F(CutsceneTest, TheMusicFadesAtOnceWhereTheBarsSnap) {
    auto sound = std::make_unique<SoundManager>(); // its music fade alone, never started
    soundManager = sound.get();
    for (bool slides : {false, true}) {
        CutsceneObject* cutscene = addCutscene(1.0f);
        cutscene->MusicFadeVolume = 0.25f;
        cutscene->TransitionBlackBarsIn = cutscene->TransitionBlackBarsOut = slides;
        sound->musicFadeValue = 1.0f;
        cutscene->startCutscene();
        EXPECT_EQ(sound->musicFadeTarget, 0.25f);
        EXPECT_EQ(sound->musicFadeValue, slides ? 1.0f : 0.25f) << slides;
        sound->musicFadeValue = 0.25f;
        while (cutscene->isRunning())
            gameFrame(0.25f);
        EXPECT_EQ(sound->musicFadeTarget, 1.0f);
        EXPECT_EQ(sound->musicFadeValue, slides ? 0.25f : 1.0f) << slides;
    }
    soundManager = nullptr;
}

// A cutscene pauses the conversations that are talking and resumes them at its end, or
// interrupts them when asked to instead; pausing wins when both are asked for. A sound that
// is not in a conversation is left alone.
TEST_F(CutsceneTest, TalkingConversationsArePausedOrInterruptedForTheCutscene) {
    auto sound = std::make_unique<SoundManager>(); // its registry alone, never started
    soundManager = sound.get();
    const struct {
        bool pause, interrupt;
        bool paused, stillTalking;
    } rows[] = {{false, false, false, true}, {true, false, true, true}, {false, true, false, false}, {true, true, true, true}};
    for (const auto& row : rows) {
        auto* talking = new SoundObject(root(), smgr(), -1);
        talking->drop();
        talking->conversationActive = true;
        auto* quiet = new SoundObject(root(), smgr(), -1);
        quiet->drop();
        sound->registerSoundObject("Talking", talking);
        sound->registerSoundObject("Quiet", quiet);
        CutsceneObject* cutscene = addCutscene(1.0f);
        cutscene->PauseActiveConversations = row.pause;
        cutscene->InterruptActiveConversations = row.interrupt;
        cutscene->startCutscene();
        EXPECT_EQ(cutscene->pausedConversations.size(), row.paused ? 1u : 0u) << row.pause << row.interrupt;
        if (row.paused) {
            EXPECT_EQ(cutscene->pausedConversations[0], talking);
        }
        EXPECT_EQ(talking->conversationActive, row.stillTalking) << row.pause << row.interrupt;
        talking->pauseCount = row.paused ? 1 : 0; // as a playing line's pause counts
        while (cutscene->isRunning())
            gameFrame(0.25f);
        EXPECT_TRUE(cutscene->pausedConversations.empty());
        EXPECT_EQ(talking->pauseCount, 0) << "resumed at the end";
        sound->unregisterSoundObject(talking);
        sound->unregisterSoundObject(quiet);
    }
    soundManager = nullptr;
}

// A skipped cutscene without an end transition of its own fades to black, unless it ends
// the level (the level's end brings its own).
TEST_F(CutsceneTest, ASkipFadesToBlackUnlessTheCutsceneEndsTheLevel) {
    for (bool endsLevel : {false, true}) {
        CutsceneObject* cutscene = addCutscene(5.0f);
        if (endsLevel)
            addEvent(cutscene, 100.0f)->OnTriggerEvent = CutsceneObject::endLevelAction;
        cutscene->startCutscene();
        gameFrame();
        const std::size_t queued = queuedEvents();
        cutscene->skipRequested = true;
        gameFrame();
        ASSERT_TRUE(cutscene->ending) << endsLevel;
        ASSERT_EQ(queuedEvents(), queued + (endsLevel ? 0u : 2u)) << endsLevel;
        if (!endsLevel) {
            const auto* fade = dynamic_cast<const TransitionEvent*>(manager->getLevelEvents().back().get());
            ASSERT_NE(fade, nullptr);
            EXPECT_EQ(fade->mode, 2) << "to black";
        }
        cutscene->stopCutscene();
    }
}

TEST_F(CutsceneTest, AShortCutsceneStartsNoEndTransitionByTime) {
    CutsceneObject* cutscene = addCutscene(1.0f);
    cutscene->EndTransitionType = 2;
    cutscene->startCutscene();
    const std::size_t queued = queuedEvents();
    while (cutscene->isRunning())
        gameFrame();
    EXPECT_EQ(queuedEvents(), queued);
}

TEST_F(CutsceneTest, CancellingKeepsOnlyTheEventsDueAfterTheCutscene) {
    CutsceneObject* cutscene = addCutscene(4.0f);
    TriggerEventObject* soon = addEvent(cutscene, 2.0f);
    TriggerEventObject* late = addEvent(cutscene, 6.0f);
    TriggerEventObject* atTheEnd = addEvent(cutscene, 4.0f);
    cutscene->startCutscene();
    gameFrame();
    gameFrame();
    overlay->snapBarsIn();
    cutscene->cancelCutscene();
    EXPECT_FALSE(soon->isPending());
    ASSERT_TRUE(late->isPending());
    EXPECT_EQ(late->pending.time, 4.0f) << "still due 6 s after the start";
    EXPECT_TRUE(atTheEnd->isPending()) << "an event due as the cutscene ends is not within it";
    EXPECT_EQ(overlay->getBarAmount(), 0.0f) << "the bars go at once";
    gameFrame();
    EXPECT_FALSE(cutscene->isRunning());
}

// Stopping outright (unlike a cancel) keeps no event: none due within or after the cutscene
// fires once it is over.
TEST_F(CutsceneTest, AStoppedCutsceneDropsEveryPendingEvent) {
    CutsceneObject* cutscene = addCutscene(4.0f);
    TriggerEventObject* within = addEvent(cutscene, 2.0f);
    TriggerEventObject* after = addEvent(cutscene, 6.0f);
    cutscene->startCutscene();
    gameFrame();
    ASSERT_TRUE(within->isPending());
    ASSERT_TRUE(after->isPending());
    cutscene->stopCutscene();
    EXPECT_FALSE(cutscene->isRunning());
    EXPECT_FALSE(within->isPending());
    EXPECT_FALSE(after->isPending());
}

// The skip control held on a key of its own (F5), pressed or let go with the frame.
class CutsceneSkipTest : public CutsceneTest {
protected:
    void SetUp() override {
        CutsceneTest::SetUp();
        // The controls answer only while the game is played.
        coreSlots().physics.isSimulationActive = [] { return true; };
        platform::setPadBackend(std::make_unique<platform::FakePadBackend>());
        input = std::make_unique<InputManager>();
        input->init(gameDevice);
        inputManager = input.get();
        PlayerControls* controls = input->getPlayerControls(0, 0);
        controls->clearMappings();
        ButtonMapping mapping;
        mapping.device = input->getKeyboard();
        mapping.buttonIndex = KEY_F5;
        controls->addMapping(GameAction::SkipCutscene, mapping);
    }
    void TearDown() override {
        inputManager = nullptr;
        input.reset();
        gameDevice->setEventReceiver(nullptr);
        platform::setPadBackend(nullptr);
        CutsceneTest::TearDown();
    }
    void skipFrame(std::optional<bool> down = std::nullopt) {
        if (down) {
            SEvent event{};
            event.EventType = EET_KEY_INPUT_EVENT;
            event.KeyInput.Key = KEY_F5;
            event.KeyInput.PressedDown = *down;
            input->OnEvent(event);
        }
        input->update();
        levelFrame(0.25f, 0.25f);
        input->endFrame();
    }
    std::unique_ptr<InputManager> input;
};

// Where skipping is allowed, holding the skip control for more than a second (after the
// first second of the cutscene) skips it: the prompt fills with the held time, a let-go
// starts the count again, and the skip fades to black and ends the cutscene.
TEST_F(CutsceneSkipTest, HoldingSkipForMoreThanASecondSkipsAnAllowedCutscene) {
    CutsceneObject* cutscene = addCutscene(8.0f);
    cutscene->AllowSkipCutscene = true;
    cutscene->startCutscene();
    skipFrame(true);
    skipFrame();
    EXPECT_EQ(cutscene->skipProgress, 0.5f);
    EXPECT_EQ(overlay->getSkipProgress(), 0.5f) << "the prompt shows the held time";
    skipFrame(false); // a release shows for its own frame
    EXPECT_EQ(cutscene->skipProgress, 0.75f);
    skipFrame(); // elapsed 1.0
    EXPECT_EQ(cutscene->skipProgress, 0.0f) << "let go: counted afresh";
    EXPECT_EQ(overlay->getSkipProgress(), 0.0f);
    skipFrame(true);
    for (int frame = 0; frame < 3; ++frame)
        skipFrame();
    ASSERT_EQ(cutscene->skipProgress, 1.0f);
    EXPECT_FALSE(cutscene->skipRequested) << "held for exactly a second";
    EXPECT_FALSE(cutscene->ending);
    const std::size_t queued = queuedEvents();
    skipFrame();
    EXPECT_TRUE(cutscene->skipRequested);
    skipFrame();
    EXPECT_TRUE(cutscene->ending);
    EXPECT_TRUE(cutscene->skipCarriedOut);
    EXPECT_EQ(queuedEvents(), queued + 2) << "the fade to black";
    EXPECT_EQ(overlay->getSkipProgress(), 1.25f) << "the full prompt stays while the skip fades";
    skipFrame(false);
    for (int frame = 0; frame < 6 && cutscene->isRunning(); ++frame)
        skipFrame();
    EXPECT_FALSE(cutscene->isRunning()) << "ended a second after the skip, long before its eight seconds";

    // Held into the end by time (a second before the end), the prompt empties.
    CutsceneObject* shortOne = addCutscene(2.0f);
    shortOne->AllowSkipCutscene = true;
    shortOne->startCutscene();
    skipFrame(true);
    for (int frame = 0; frame < 3; ++frame)
        skipFrame();
    ASSERT_TRUE(shortOne->ending);
    EXPECT_FALSE(shortOne->skipCarriedOut);
    skipFrame();
    EXPECT_GT(shortOne->skipProgress, 1.0f);
    EXPECT_EQ(overlay->getSkipProgress(), 0.0f);
    skipFrame(false);
}

// Where skipping is not allowed, holding the skip control after the first second shows the
// refusal, which fades within a second of letting go; the cutscene runs on.
TEST_F(CutsceneSkipTest, HoldingSkipOnACutsceneThatRefusesItShowsTheRefusal) {
    CutsceneObject* cutscene = addCutscene(4.0f);
    cutscene->startCutscene();
    for (int frame = 0; frame < 3; ++frame)
        skipFrame();
    skipFrame(true); // elapsed 0.75 -> 1.0
    skipFrame();     // elapsed 1.0 -> 1.25: not past the first second yet
    EXPECT_EQ(cutscene->skipProgress, 0.0f);
    EXPECT_EQ(overlay->getSkipProgress(), 0.0f);
    skipFrame();
    EXPECT_EQ(cutscene->skipProgress, -0.75f);
    EXPECT_EQ(overlay->getSkipProgress(), -0.75f) << "the refusal shows";
    skipFrame();
    EXPECT_EQ(cutscene->skipProgress, -0.75f) << "held: shown again in full";
    skipFrame(false); // a release shows for its own frame
    skipFrame();
    EXPECT_EQ(cutscene->skipProgress, -0.5f);
    skipFrame();
    skipFrame();
    EXPECT_EQ(cutscene->skipProgress, 0.0f);
    EXPECT_EQ(overlay->getSkipProgress(), 0.0f) << "the refusal has faded";
    EXPECT_TRUE(cutscene->isRunning());
    EXPECT_FALSE(cutscene->ending);
    // Shown again and then the cutscene ends: the prompt goes with it.
    skipFrame(true);
    ASSERT_EQ(overlay->getSkipProgress(), -0.75f);
    cutscene->finishCutscene();
    EXPECT_EQ(overlay->getSkipProgress(), 0.0f);
    skipFrame(false);
}

// At its end a cutscene hands the view to its end camera when it names one (before the
// camera it found), and to neither when the named end camera does not exist.
TEST_F(CutsceneTest, AtTheEndTheNamedEndCameraTakesTheView) {
    CameraObject* before = addModeCamera(CameraModeId::Stationary, {0, 5, -20}, nullptr, 30);
    CameraObject* shot = addModeCamera(CameraModeId::Stationary, {10, 5, 0}, nullptr, 31);
    CameraObject* after = addModeCamera(CameraModeId::Stationary, {-10, 5, 0}, nullptr, 32);
    registerIDs();
    for (const s32 endCamera : {32, 33}) {
        cameras->pushCamera(before, nullptr, 0.0f, false);
        CutsceneObject* cutscene = addCutscene(1.0f, 31);
        cutscene->ReturnToPreviousCam = true;
        cutscene->EndCameraID = endCamera;
        cutscene->startCutscene();
        ASSERT_EQ(cameras->getOverrideCamera(), shot);
        while (cutscene->isRunning())
            gameFrame(0.25f);
        EXPECT_EQ(cameras->getOverrideCamera(), endCamera == 32 ? after : shot) << endCamera;
        cameras->removeCamera(before);
        cameras->setActiveCamera(CameraActivation{});
    }
}

// A conditional trigger inside a cutscene whose window opens within the cutscene is dropped
// by a cancel; one whose window opens at the end or later keeps its time from the start.
// Stopping outright drops them all.
// A cutscene's length goes on by the level's clock, as the delays of the events under it do:
// on slow frames (half a second, of which the physics simulates ten steps) they keep in step.
TEST_F(CutsceneTest, ACutsceneAndTheEventsUnderItKeepInStepOnSlowFrames) {
    constexpr f32 played = 10 * 0.0167f;
    CutsceneObject* cutscene = addCutscene(4.0f);
    TriggerEventObject* event = addEvent(cutscene, 3.0f);
    cutscene->startCutscene();
    for (int frame = 1; frame <= 6; ++frame) {
        gameFrame(0.5f, played);
        EXPECT_NEAR(cutscene->elapsed, frame * played, 1e-4f) << frame;
        EXPECT_NEAR(event->pending.time, cutscene->elapsed, 1e-5f) << frame;
    }
}

// Its closing cover fades and holds by the level's clock too: each slow frame moves it by what
// the level played, not by the frame's length.
TEST_F(CutsceneTest, TheClosingCoverGoesByTheLevelsClockOnSlowFrames) {
    constexpr f32 played = 10 * 0.0167f;
    CutsceneObject* cutscene = addCutscene(3.0f);
    cutscene->EndTransitionType = 2;
    cutscene->EndTransitionHold = 0.5f;
    cutscene->startCutscene();
    const LoadingOverlay& cover = manager->loadingOverlay;
    bool closed = false;
    bool opened = false;
    for (int frame = 0; frame < 100 && !opened; ++frame) {
        const f32 before = cover.fadeValue;
        levelFrame(0.5f, played);
        EXPECT_LE(std::fabs(cover.fadeValue - before), played + 1e-4f) << frame;
        closed = closed || cover.fadeValue == 1.0f;
        opened = closed && !cover.isBusy();
    }
    EXPECT_TRUE(opened) << "closed and opened again";
    EXPECT_FALSE(cutscene->isRunning());
}

// A skip cuts back (the bars gone, the cutscene over) under its cover closed, on slow frames
// too. A cutscene that ends the level brings no cover of its own: it ends a second of the
// level's time after the skip.
TEST_F(CutsceneTest, ASkipCutsUnderItsClosedCoverOnSlowFrames) {
    constexpr f32 played = 10 * 0.0167f;
    for (const bool endsLevel : {false, true}) {
        CutsceneObject* cutscene = addCutscene(8.0f);
        if (endsLevel)
            addEvent(cutscene, 100.0f)->OnTriggerEvent = CutsceneObject::endLevelAction;
        cutscene->startCutscene();
        overlay->snapBarsIn();
        levelFrame(0.5f, played);
        cutscene->skipRequested = true;
        int frames = 0;
        f32 coverAtCut = -1.0f;
        while (cutscene->isRunning() && frames < 100) {
            levelFrame(0.5f, played);
            ++frames;
            if (coverAtCut < 0.0f && overlay->getBarAmount() == 0.0f)
                coverAtCut = manager->loadingOverlay.fadeValue;
        }
        ASSERT_FALSE(cutscene->isRunning()) << endsLevel;
        if (endsLevel) {
            EXPECT_GE((frames - 1) * played, 1.0f) << "a second of the level's time";
        } else {
            EXPECT_EQ(coverAtCut, 1.0f) << "the bars go under the closed cover";
            EXPECT_EQ(manager->loadingOverlay.fadeValue, 1.0f) << "the view returns under it";
        }
        manager->dropQueuedEvents();
        manager->loadingOverlay = LoadingOverlay{};
    }
}

TEST_F(CutsceneTest, CancellingDropsTheConditionsWhoseWindowOpensWithinTheCutscene) {
    auto addCondition = [this](CutsceneObject* cutscene, f32 opens) {
        auto* condition = new ConditionalTrigger(cutscene, smgr(), -1);
        condition->drop();
        condition->TimeSpan = core::vector2df(opens, opens + 2.0f);
        return condition;
    };
    CutsceneObject* cutscene = addCutscene(4.0f);
    ConditionalTrigger* within = addCondition(cutscene, 3.0f);
    ConditionalTrigger* atTheEnd = addCondition(cutscene, 4.0f);
    ConditionalTrigger* later = addCondition(cutscene, 6.0f);
    cutscene->startCutscene();
    gameFrame();
    gameFrame();
    ASSERT_GT(within->Timer, 0.0f);
    cutscene->cancelCutscene();
    EXPECT_TRUE(within->conditionalCancelled);
    EXPECT_EQ(within->Timer, -1.0f);
    for (ConditionalTrigger* kept : {atTheEnd, later}) {
        EXPECT_FALSE(kept->conditionalCancelled) << kept->TimeSpan.X;
        EXPECT_EQ(kept->Timer, 4.0f) << "counted from the start";
    }
    gameFrame();
    ASSERT_FALSE(cutscene->isRunning());

    CutsceneObject* stopped = addCutscene(4.0f);
    ConditionalTrigger* dropped = addCondition(stopped, 6.0f);
    stopped->startCutscene();
    gameFrame();
    stopped->stopCutscene();
    EXPECT_TRUE(dropped->conditionalCancelled);
}

TEST_F(CutsceneTest, AttributesFollowTheirConditions) {
    CutsceneObject* cutscene = addCutscene(5.0f, 8);
    cutscene->ReturnToPreviousCam = true;
    cutscene->EndCameraID = 9;
    cutscene->PauseActiveConversations = true;
    cutscene->EndTransitionType = 1;
    cutscene->EndCamTransitionSpeed = 0.5f;
    cutscene->AllowSkipCutscene = true;
    io::IAttributes* out = gameDevice->getFileSystem()->createEmptyAttributes();
    cutscene->serializeAttributes(out);
    EXPECT_FALSE(out->existsAttribute("EndCameraID"));
    EXPECT_FALSE(out->existsAttribute("InterruptActiveConversations"));
    EXPECT_STREQ(out->getAttributeAsString("EndTransitionType").c_str(), "Circle Wipe Black");
    CutsceneObject* read = addCutscene(1.0f);
    read->deserializeAttributes(out);
    out->drop();
    EXPECT_EQ(read->CutsceneDuration, 5.0f);
    EXPECT_EQ(read->CameraID, 8);
    EXPECT_TRUE(read->ReturnToPreviousCam);
    EXPECT_TRUE(read->PauseActiveConversations);
    EXPECT_EQ(read->EndTransitionType, 1);
    EXPECT_TRUE(read->AllowSkipCutscene);

    // Without "AllowSkipCutscene", skipping is allowed exactly when an end camera is named.
    for (s32 endCamera : {0, 4}) {
        io::IAttributes* in = gameDevice->getFileSystem()->createEmptyAttributes();
        in->addInt("EndCameraID", endCamera);
        read->deserializeAttributes(in);
        in->drop();
        EXPECT_EQ(read->AllowSkipCutscene, endCamera > 0);
    }
    // A copy keeps the settings but not the end camera's speed and the skip permission.
    cutscene->InterruptActiveConversations = true;
    cutscene->TransitionBlackBarsIn = false;
    cutscene->TransitionBlackBarsOut = true;
    cutscene->MusicFadeVolume = 0.25f;
    cutscene->StartTransitionType = 2;
    auto* copy = static_cast<CutsceneObject*>(cutscene->clone());
    EXPECT_EQ(copy->StartTransitionType, 2);
    EXPECT_EQ(copy->CutsceneDuration, 5.0f);
    EXPECT_EQ(copy->EndTransitionType, 1);
    EXPECT_TRUE(copy->InterruptActiveConversations);
    EXPECT_FALSE(copy->TransitionBlackBarsIn);
    EXPECT_TRUE(copy->TransitionBlackBarsOut);
    EXPECT_EQ(copy->MusicFadeVolume, 0.25f);
    EXPECT_EQ(copy->EndCamTransitionSpeed, 0.0f);
    EXPECT_EQ(copy->EndCameraID, 9);
    EXPECT_EQ(copy->CameraID, 8);
    EXPECT_FALSE(copy->AllowSkipCutscene);
}

// The free-fly animator moves by the frame stopwatch, not the millisecond timer, and only in
// render stage 1 on a camera.
TEST_F(CutsceneTest, TheFreeFlyAnimatorMovesByTheFrameTime) {
    EffectHandler handler(device->get(), core::dimension2du(0, 0));
    effectHandler = &handler;
    scene::ICameraSceneNode* camera = smgr()->addCameraSceneNode(nullptr, {0, 0, 0}, {0, 0, 100});
    smgr()->setActiveCamera(camera);
    camera->setInputReceiverEnabled(true);
    auto* animator = new FreeFlyCameraAnimator(nullptr, 180.0f, 10.0f, 0.0f, nullptr, 0, false);
    SEvent key;
    std::memset(static_cast<void*>(&key), 0, sizeof(key));
    key.EventType = EET_KEY_INPUT_EVENT;
    key.KeyInput.Key = KEY_UP;
    key.KeyInput.PressedDown = true;
    handler.renderStage = 1;
    animator->animateNode(camera, 0); // the first run clears the keys
    EXPECT_TRUE(animator->OnEvent(key));
    EXPECT_TRUE(animator->isKeyHeld(FreeFlyCameraAnimator::MoveForward));
    tick(0.1f);
    animator->animateNode(camera, 5000);
    test::expectNear(camera->getPosition(), {0, 0, 1});
    handler.renderStage = 0;
    animator->animateNode(camera, 6000);
    test::expectNear(camera->getPosition(), {0, 0, 1});
    // Not a camera: nothing.
    handler.renderStage = 1;
    scene::ISceneNode* plain = smgr()->addEmptySceneNode();
    animator->animateNode(plain, 7000);
    test::expectNear(plain->getPosition(), {});
    EXPECT_EQ(animator->getKeyMap().size(), 5u) << "the default five keys";
    animator->drop();
    effectHandler = nullptr;
}

// A cursor whose relative and window positions the test sets; centring puts it in the
// middle of a 1280 x 720 window.
class SetCursor : public gui::ICursorControl {
public:
    void setVisible(bool) override {}
    bool isVisible() const override { return true; }
    void setPosition(const core::position2df& at) override { setPosition(at.X, at.Y); }
    void setPosition(f32 x, f32 y) override {
        relative = core::position2df(x, y);
        absolute = core::position2di(s32(x * 1280.0f), s32(y * 720.0f));
        ++centred;
    }
    void setPosition(const core::position2di& at) override { absolute = at; }
    void setPosition(s32 x, s32 y) override { absolute = core::position2di(x, y); }
    const core::position2di& getPosition() override { return absolute; }
    core::position2df getRelativePosition() override { return relative; }
    void setReferenceRect(core::recti*) override {}
    core::position2df relative{0.5f, 0.5f};
    core::position2di absolute{640, 360};
    int centred = 0;
};

// The free-fly camera of a tenth of a second at 10 units a second: the keys move it a unit
// along its view (or level, without vertical movement) and sideways; a moved mouse turns it
// by 180 degrees a screen, the pitch held 88 degrees short of straight up or down, and the
// cursor goes back to the centre, as it does when it leaves the window.
TEST_F(CutsceneTest, TheFreeFlyCameraMovesWithItsKeysAndTurnsWithTheMouse) {
    EffectHandler handler(device->get(), core::dimension2du(0, 0));
    effectHandler = &handler;
    handler.renderStage = 1;
    screenWidth = 1280;
    screenHeight = 720;
    auto press = [](FreeFlyCameraAnimator* animator, EKEY_CODE key) {
        SEvent event{};
        event.EventType = EET_KEY_INPUT_EVENT;
        event.KeyInput.Key = key;
        event.KeyInput.PressedDown = true;
        return animator->OnEvent(event);
    };
    // A camera at the origin looking at the point, with an animator on it after its first run.
    auto fly = [&](const core::vector3df& lookAt, gui::ICursorControl* cursor, bool level) {
        scene::ICameraSceneNode* camera = smgr()->addCameraSceneNode(nullptr, {0, 0, 0}, lookAt);
        smgr()->setActiveCamera(camera);
        camera->setInputReceiverEnabled(true);
        auto* animator = new FreeFlyCameraAnimator(cursor, 180.0f, 10.0f, 0.0f, nullptr, 0, level);
        camera->addAnimator(animator);
        animator->drop();
        animator->animateNode(camera, 0);
        return std::pair{camera, animator};
    };
    const f32 a = std::sqrt(0.5f);
    const struct {
        const char* what;
        EKEY_CODE key;
        core::vector3df lookAt;
        bool level;
        core::vector3df moved;
    } keys[] = {{"forward", KEY_UP, {0, 0, 100}, false, {0, 0, 1}},
                {"back", KEY_DOWN, {0, 0, 100}, false, {0, 0, -1}},
                {"left", KEY_LEFT, {0, 0, 100}, false, {-1, 0, 0}},
                {"right", KEY_RIGHT, {0, 0, 100}, false, {1, 0, 0}},
                {"forward looking down", KEY_UP, {0, -100, 100}, false, {0, -a, a}},
                {"forward looking down, level", KEY_UP, {0, -100, 100}, true, {0, 0, 1}}};
    for (const auto& row : keys) {
        auto [camera, animator] = fly(row.lookAt, nullptr, row.level);
        ASSERT_TRUE(press(animator, row.key)) << row.what;
        tick(0.1f);
        animator->animateNode(camera, 100);
        test::expectNear(camera->getPosition(), row.moved, 1e-3f);
        EXPECT_FALSE(::testing::Test::HasFailure()) << row.what;
        camera->remove();
    }

    // Turning: the pitch before (positive looks down) and the cursor's place after a move.
    const struct {
        f32 pitch;
        core::position2df cursor;
        bool inverted;
        f32 yaw, pitchAfter;
    } turns[] = {{0, {0.6f, 0.5f}, false, 18, 0},      {0, {0.4f, 0.5f}, false, -18, 0},
                 {0, {0.5f, 0.6f}, false, 0, 18},      {0, {0.5f, 0.6f}, true, 0, -18},
                 {70, {0.5f, 0.6f}, false, 0, 88},     {71, {0.5f, 0.6f}, false, 0, 88},
                 {-80, {0.5f, 0.4f}, false, 0, -88}};
    for (const auto& row : turns) {
        // The animator holds the cursor: it lives on the heap.
        auto* held = new SetCursor;
        SetCursor& cursor = *held;
        const f32 p = row.pitch * camera::degreesToRadians;
        auto [camera, animator] = fly({0, -100 * std::sin(p), 100 * std::cos(p)}, held, false);
        animator->setInvertMouse(row.inverted);
        cursor.relative = row.cursor;
        SEvent moved{};
        moved.EventType = EET_MOUSE_INPUT_EVENT;
        moved.MouseInput.Event = EMIE_MOUSE_MOVED;
        EXPECT_TRUE(animator->OnEvent(moved));
        cursor.centred = 0;
        tick(0.1f);
        animator->animateNode(camera, 100);
        const f32 y = row.yaw * camera::degreesToRadians, q = row.pitchAfter * camera::degreesToRadians;
        core::vector3df look = camera->getTarget() - camera->getPosition();
        look.normalize();
        test::expectNear(look, {std::sin(y) * std::cos(q), -std::sin(q), std::cos(y) * std::cos(q)}, 1e-3f);
        EXPECT_FALSE(::testing::Test::HasFailure()) << row.pitch << " " << row.cursor.X << "," << row.cursor.Y;
        EXPECT_EQ(cursor.centred, 1) << "back to the centre";
        EXPECT_EQ(cursor.relative, core::position2df(0.5f, 0.5f));
        camera->remove();
        held->drop();
    }
    // Outside the window the cursor is brought back without turning the camera.
    auto* held = new SetCursor;
    SetCursor& cursor = *held;
    cursor.relative = core::position2df(0.2f, 0.9f);
    auto [camera, animator] = fly({0, 0, 100}, held, false);
    EXPECT_EQ(cursor.relative, core::position2df(0.5f, 0.5f)) << "centred on the first run";
    test::expectNear(camera->getTarget(), {0, 0, 1}, 1e-3f); // and not turned by it
    for (const core::position2di& outside : {core::position2di(1281, 10), core::position2di(10, 721), core::position2di(1280, 720)}) {
        cursor.absolute = outside;
        cursor.centred = 0;
        tick(0.1f);
        animator->animateNode(camera, 100);
        EXPECT_EQ(cursor.centred, outside.X == 1280 ? 0 : 1) << outside.X << "," << outside.Y;
    }
    test::expectNear(camera->getTarget(), {0, 0, 1}, 1e-3f);

    // A copy keeps the keys and speeds.
    const SKeyMap wasd[] = {{EKA_MOVE_FORWARD, KEY_KEY_W}, {EKA_STRAFE_LEFT, KEY_KEY_A}};
    auto* own = new FreeFlyCameraAnimator(nullptr, 90.0f, 5.0f, 0.0f, wasd, 2, false);
    EXPECT_TRUE(press(own, KEY_KEY_A));
    EXPECT_TRUE(own->isKeyHeld(FreeFlyCameraAnimator::StrafeLeft));
    EXPECT_FALSE(press(own, KEY_UP)) << "not one of its keys";
    scene::ISceneNodeAnimator* copy = own->createClone(camera);
    auto* copied = static_cast<FreeFlyCameraAnimator*>(copy);
    EXPECT_EQ(copied->getKeyMap().size(), 2u);
    EXPECT_EQ(copied->getKeyMap()[0].KeyCode, KEY_KEY_W);
    EXPECT_EQ(copied->getMoveSpeed(), 5.0f);
    EXPECT_EQ(copied->getRotateSpeed(), 90.0f);
    copy->drop();
    own->drop();
    camera->remove();
    held->drop();
    effectHandler = nullptr;
}

} // namespace
