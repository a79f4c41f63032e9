// The HUD's suspicion meter and its paint splats: the value rises only when a splat lands,
// stays within 0..100, sets the vignettes' strength, stands still behind menus, and the HUD
// hides while a level loads.
#include "GuiFixture.h"

#include "characters/SuspicionMeter.h"
#include "level/LevelManager.h"
#include "core/Globals.h"
#include "core/CoreSlots.h"
#include "gui/GUIImage.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "gui/hud/GUIHud.h"
#include "gui/hud/GUISplat.h"
#include "screens/ScreenManager.h"
#include "screens/menus/GUIPauseScreen.h"

using namespace irr;

namespace {

// A child that counts how often its parent drew it.
struct CountingPart : gui::IGUIElement {
    CountingPart(gui::IGUIEnvironment* environment, gui::IGUIElement* parent)
        : gui::IGUIElement(gui::EGUIET_ELEMENT, environment, parent, -1,
                           core::recti(0, 0, 10, 10)) {}
    void draw() override { ++draws; }
    int draws = 0;
};

class HudTest : public guitest::GuiFixture {
protected:
    void SetUp() override {
        guitest::GuiFixture::SetUp();
        // The record the characters' registration makes for the level manager.
        level->suspicionMeter = std::make_shared<SuspicionMeter>();
        screenManager->createScreens();
        hud = screenManager->getHud();
    }
    void runFrames(int frames) {
        for (int i = 0; i < frames; ++i) {
            setFrameDelta(0.05f);
            postRenderAll();
        }
    }
    // A menu in front holds the input.
    GUIScreen* openMenu() {
        auto* menu = new GUIScreen(environment, root(), ScreenManager::menuScreenId, core::recti());
        screenManager->pushScreen(menu);
        menu->drop();
        return menu;
    }

    // Without a player the level manager's own record is the one the HUD shows.
    SuspicionMeter& meter() { return *level->suspicionMeter; }
    GUIHud* hud = nullptr;
};

TEST_F(HudTest, StandsAsTheHudOfTheScreenManager) {
    ASSERT_NE(hud, nullptr);
    EXPECT_EQ(hud->getID(), ScreenManager::hudId);
    EXPECT_EQ(hud->getType(), toElementType(GuiType::Hud));
    EXPECT_EQ(hud->getElementTypeId(), 1009);
    EXPECT_STREQ(hud->getTypeName(), "GUIHud");
    // The HUD never holds the game's input.
    EXPECT_TRUE(screenManager->isInputAllowed());
}

TEST_F(HudTest, SplatsAddTheirAmountWhenTheyLand) {
    struct Case {
        f32 before;
        f32 amount;
        f32 after;
    };
    for (const Case& c : {Case{50, 30, 80}, Case{90, 30, 100}, Case{10, -30, 0}, Case{0, 0, 0}}) {
        SCOPED_TRACE(c.amount);
        meter().value = c.before;
        level->levelRun.lastSuspicion = -1.0f;
        forgetSounds();
        hud->addSplat(c.amount, core::vector3df(0, 0, 0));
        GUISplat* splat = hud->getSplats().back();
        EXPECT_TRUE(splat->isVisible());
        EXPECT_EQ(splat->halfSize(), static_cast<s32>(c.amount * 0.64f + 64.0f));
        runFrames(2);
        EXPECT_TRUE(splat->isFlying());
        EXPECT_EQ(meter().value, c.before) << "nothing is added during the flight";
        runFrames(16);
        EXPECT_FALSE(splat->isVisible());
        EXPECT_EQ(meter().value, c.after);
        EXPECT_EQ(level->levelRun.lastSuspicion, c.after);
        EXPECT_EQ(soundCount(GUISplat::meterFillSound), 1);
    }
    // One splat served every gain in turn.
    EXPECT_EQ(hud->getSplats().size(), 1u);
}

core::vector2df toFloat(const core::position2di& p) { return {static_cast<f32>(p.X), static_cast<f32>(p.Y)}; }

// A splat flies from where it appeared to the meter on an arc off the straight line, which
// comes back to the line as it arrives: past half way the offset shrinks with the rest of the way.
TEST_F(HudTest, ASplatsArcComesBackToTheStraightLineAtTheMeter) {
    auto* panel = new GUIImage(environment, root(), 0, core::recti(0, 600, screenWidth, 700));
    panel->drop();
    hud->ObjectivePanel = panel; // the meter stands above it
    hud->updateMeterRect();
    hud->addSplat(30, core::vector3df(0, 0, 0));
    GUISplat* splat = hud->getSplats().back();
    runFrames(1);
    ASSERT_FALSE(splat->isFlying());
    const core::vector2df start = toFloat(splat->getRelativePosition().UpperLeftCorner);
    const core::vector2df target = toFloat(hud->getMeterRect().getCenter() - core::position2di(splat->halfSize()));
    const f32 way = (target - start).getLength();
    ASSERT_GT(way, 100.0f);
    int pastHalfWay = 0;
    for (int frame = 0; frame < 30 && splat->isVisible(); ++frame) {
        runFrames(1);
        const f32 t = splat->getFlight().value;
        if (!splat->isFlying() || t <= 0.5f || t >= 1.0f)
            continue;
        const core::vector2df at = toFloat(splat->getRelativePosition().UpperLeftCorner);
        EXPECT_LE((at - (start * (1.0f - t) + target * t)).getLength(), 0.2f * way * (1.0f - t) + 2.0f) << t;
        // The bend stands square to the way, on its left as the splat flies across the screen.
        const core::vector2df d = target - start;
        const core::vector2df bent = start * (1.0f - t) + target * t + core::vector2df(d.Y, -d.X) * (0.2f * (1.0f - t));
        EXPECT_LE((at - bent).getLength(), 3.0f) << t;
        ++pastHalfWay;
    }
    EXPECT_GT(pastHalfWay, 0);
}

// The paint drop flies to the meter for 0.7 s from the moment the splat's animation ends.
TEST_F(HudTest, APaintDropFliesForSevenTenthsOfASecond) {
    hud->addSplat(10, core::vector3df());
    GUISplat* splat = hud->getSplats().back();
    int frames = 0;
    while (!splat->isFlying() && frames < 100) {
        runFrames(1);
        ++frames;
    }
    ASSERT_TRUE(splat->isFlying());
    const f32 started = splat->getFlight().elapsed;
    EXPECT_LE(started, 0.05f);
    int flying = 0;
    while (splat->isFlying() && flying < 100) {
        runFrames(1);
        ++flying;
    }
    // Frames of 0.05 s: the drop lands in the frame that reaches 0.7 s.
    const f32 flown = started + 0.05f * static_cast<f32>(flying);
    EXPECT_GE(flown, 0.7f - 0.001f);
    EXPECT_LT(flown, 0.75f + 0.001f);
    EXPECT_FALSE(splat->isVisible());
}

TEST_F(HudTest, SplatsInFlightTogetherEachHaveTheirOwn) {
    hud->addSplat(5, core::vector3df());
    hud->addSplat(5, core::vector3df());
    runFrames(2);
    hud->addSplat(5, core::vector3df());
    EXPECT_EQ(hud->getSplats().size(), 3u);
    runFrames(20);
    EXPECT_EQ(meter().value, 15.0f);
    hud->addSplat(5, core::vector3df());
    EXPECT_EQ(hud->getSplats().size(), 3u);
}

// A splat starts from where its world point shows on screen: the middle for the point looked
// at, right and up for points right of and above it, and a point behind the camera on its own
// side; without a camera it starts far above the screen.
TEST_F(HudTest, ASplatsWorldPointIsProjectedOntoTheScreen) {
    scene::ISceneManager* scene = device->getSceneManager();
    EXPECT_EQ(GUISplat::projectToScreen(core::vector3df()), core::position2di(0, -1000));
    scene::ICameraSceneNode* camera = scene->addCameraSceneNode(nullptr, core::vector3df(0, 0, -10), core::vector3df());
    scene->setActiveCamera(camera);
    scene->drawAll();
    const core::dimension2du target = driver->getCurrentRenderTargetSize();
    const s32 halfW = static_cast<s32>(target.Width / 2), halfH = static_cast<s32>(target.Height / 2);
    EXPECT_EQ(GUISplat::projectToScreen(core::vector3df()), core::position2di(halfW, halfH));
    const core::position2di right = GUISplat::projectToScreen(core::vector3df(5, 0, 0));
    EXPECT_GT(right.X, halfW);
    EXPECT_EQ(right.Y, halfH);
    const core::position2di up = GUISplat::projectToScreen(core::vector3df(0, 5, 0));
    EXPECT_EQ(up.X, halfW);
    EXPECT_LT(up.Y, halfH);
    const core::position2di behind = GUISplat::projectToScreen(core::vector3df(5, 5, -20));
    EXPECT_GT(behind.X, halfW);
    EXPECT_LT(behind.Y, halfH);
    // Just in front of the camera a point is not turned round.
    EXPECT_GT(GUISplat::projectToScreen(core::vector3df(0.05f, 0, -9.9f)).X, halfW);
    // Level with the camera (no depth) it keeps its side too.
    EXPECT_GT(GUISplat::projectToScreen(core::vector3df(0.05f, 0, -10)).X, halfW);
    scene->setActiveCamera(nullptr);
    camera->remove();
}

TEST_F(HudTest, VignettesFollowTheValue) {
    // Both vignettes stretch their picture over the whole screen, blended.
    for (int i = 0; i < 2; ++i) {
        GUIImage* vignette = hud->getVignette(i);
        EXPECT_TRUE(vignette->isImageScaled()) << i;
        EXPECT_TRUE(vignette->isAlphaChannelUsed()) << i;
        EXPECT_EQ(vignette->getRelativePosition(), core::recti(0, 0, screenWidth, screenHeight)) << i;
    }
    struct Case {
        f32 value;
        u32 second;
    };
    for (const Case& c : {Case{0, 0}, Case{50, 64}, Case{100, 128}, Case{150, 128}, Case{-10, 0}}) {
        SCOPED_TRACE(c.value);
        meter().value = c.value;
        runFrames(1);
        EXPECT_EQ(hud->getVignette(0)->getColor().getAlpha(), 128u);
        EXPECT_TRUE(hud->getVignette(0)->isVisible());
        EXPECT_EQ(hud->getVignette(1)->getColor().getAlpha(), c.second);
        EXPECT_EQ(hud->getVignette(1)->isVisible(), c.second != 0);
    }
}

TEST_F(HudTest, EverythingStandsStillBehindAMenu) {
    meter().value = 20;
    runFrames(1);
    hud->addSplat(40, core::vector3df());
    runFrames(3);
    GUISplat* splat = hud->getSplats().back();
    ASSERT_TRUE(splat->isFlying());
    const f32 flight = splat->getFlight().value;
    GUIScreen* menu = openMenu();
    meter().value = 80;
    runFrames(30);
    EXPECT_EQ(splat->getFlight().value, flight);
    EXPECT_TRUE(splat->isVisible());
    EXPECT_EQ(hud->getVignette(1)->getColor().getAlpha(), 25u) << "the vignette keeps its last strength";
    screenManager->popScreen(menu, true);
    screenManager->flushScreenRemovals();
    meter().value = 20;
    runFrames(30);
    EXPECT_FALSE(splat->isVisible());
    EXPECT_EQ(meter().value, 60.0f);
}

TEST_F(HudTest, TheMeterRisesWithThePanelAndSlidesLeftUnderThePause) {
    // Without an objective panel the meter is off screen.
    hud->ObjectivePanel = nullptr;
    hud->updateMeterRect();
    EXPECT_EQ(hud->getMeterRect().UpperLeftCorner.X, -1000);
    auto* panel = new GUIImage(environment, root(), 0, core::recti(0, 600, screenWidth, 700));
    panel->drop();
    hud->ObjectivePanel = panel;
    hud->updateMeterRect();
    const core::recti rect = hud->getMeterRect();
    // At a height of 720 the meter is 480 x 62 and its top 122 above the panel's bottom.
    ASSERT_EQ(screenHeight, 720);
    EXPECT_EQ(rect.getWidth(), 480);
    EXPECT_EQ(rect.getHeight(), 62);
    EXPECT_EQ(rect.UpperLeftCorner.Y, 700 - 122);
    EXPECT_EQ(rect.UpperLeftCorner.X, (screenWidth - 480) / 2);
    screenManager->setPauseScreenVisible(true);
    runFrames(10);
    hud->updateMeterRect();
    EXPECT_EQ(hud->getMeterRect().UpperLeftCorner.X,
              (screenWidth - 480) / 2 - std::max(0, 480 - screenManager->getPauseScreen()->getPanelWidth()));
}

TEST_F(HudTest, ShowsOnlyInARunningGameThatIsNotLoading) {
    // The game runs while the physics world exists and says so; the pointer is only tested.
    coreSlots().physics.isSimulationActive = [] { return true; };
    physicsManager = reinterpret_cast<PhysicsManager*>(this);
    struct Case {
        bool loading;
        bool shown;
    };
    for (const Case& c : {Case{false, true}, Case{true, false}, Case{false, true}}) {
        level->levelLoading = c.loading;
        screenManager->draw();
        EXPECT_EQ(hud->isVisible(), c.shown);
    }
    physicsManager = nullptr;
    screenManager->draw();
    EXPECT_FALSE(hud->isVisible());
    coreSlots().physics.isSimulationActive = nullptr;
}

// The HUD draws its parts only while shown in a running game that is not loading and not
// behind a menu over the running game.
TEST_F(HudTest, ItsPartsAreDrawnOnlyInARunningGameWithoutAMenuOverIt) {
    auto* part = new CountingPart(environment, hud);
    part->drop();
    bool running = true, keepsTimer = false, stack = false;
    CoreSlots& slots = coreSlots();
    const auto before = slots.screens;
    slots.physics.isSimulationActive = [&running] { return running; };
    slots.screens.topScreenKeepsTimerRunning = [&keepsTimer] { return keepsTimer; };
    slots.screens.isStackActive = [&stack] { return stack; };
    physicsManager = reinterpret_cast<PhysicsManager*>(this);
    const struct {
        bool visible, running, loading, keepsTimer, stack;
        int draws;
    } rows[] = {
        {true, true, false, false, false, 1},  {false, true, false, false, false, 0},
        {true, false, false, false, false, 0}, {true, true, true, false, false, 0},
        {true, true, false, true, true, 0},    {true, true, false, true, false, 1},
        {true, true, false, false, true, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(&row - rows);
        hud->setVisible(row.visible);
        running = row.running;
        level->levelLoading = row.loading;
        keepsTimer = row.keepsTimer;
        stack = row.stack;
        part->draws = 0;
        hud->draw();
        EXPECT_EQ(part->draws, row.draws);
    }
    level->levelLoading = false;
    physicsManager = nullptr;
    slots.physics.isSimulationActive = nullptr;
    slots.screens = before;
}

// A splat is drawn while the game holds the input and hidden while a menu in front holds it.
TEST_F(HudTest, ASplatIsHiddenWhileAMenuHoldsTheInput) {
    hud->addSplat(10.0f, core::vector3df(0, 0, 0));
    GUISplat* splat = hud->getSplats().back();
    auto* part = new CountingPart(environment, splat);
    part->drop();
    splat->draw();
    EXPECT_EQ(part->draws, 1);
    openMenu();
    ASSERT_FALSE(screenManager->isInputAllowed());
    part->draws = 0;
    splat->draw();
    EXPECT_EQ(part->draws, 0);
}

// A splat whose world point shows off the screen starts on the nearest screen edge, each of
// the four; a point on the screen starts where it shows.
TEST_F(HudTest, ASplatOffTheScreenStartsOnItsNearestEdge) {
    scene::ISceneManager* scene = device->getSceneManager();
    scene::ICameraSceneNode* camera = scene->addCameraSceneNode(nullptr, core::vector3df(0, 0, -10), core::vector3df());
    scene->setActiveCamera(camera);
    scene->drawAll();
    const core::position2di middle = GUISplat::projectToScreen(core::vector3df());
    ASSERT_GT(middle.X, 0);
    ASSERT_LT(middle.X, screenWidth);
    ASSERT_NE(screenWidth, screenHeight);
    const struct {
        const char* name;
        core::vector3df world;
        core::position2di start;
    } rows[] = {{"middle", core::vector3df(), middle},
                {"right", core::vector3df(1000, 0, 0), core::position2di(screenWidth, middle.Y)},
                {"left", core::vector3df(-1000, 0, 0), core::position2di(0, middle.Y)},
                {"above", core::vector3df(0, 1000, 0), core::position2di(middle.X, 0)},
                {"below", core::vector3df(0, -1000, 0), core::position2di(middle.X, screenHeight)}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        hud->addSplat(10, row.world);
        GUISplat* splat = hud->getSplats().back();
        runFrames(1);
        ASSERT_FALSE(splat->isFlying());
        EXPECT_EQ(splat->getRelativePosition().getCenter(), row.start);
    }
    scene->setActiveCamera(nullptr);
    camera->remove();
}

} // namespace
