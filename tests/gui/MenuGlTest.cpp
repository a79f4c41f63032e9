// The menu screen and the TrueType font on the OpenGL driver under Xvfb: a menu with a
// title, rows and a tooltip in the game's font, and text drawn centred and clipped. Each
// test reads the picture back and looks for text pixels where the text belongs.
// PADDLESTONE_KEEP_SCREENSHOT=/path/menu.png keeps the menu's picture.
#include "core/CoreSlots.h"
#include "core/Globals.h"
#include "core/LanguageManager.h"
#include "core/Stopwatch.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/GUIScrollList.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "gui/fonts/CGUITTFont.h"
#include "gui/fonts/FontCache.h"
#include "level/LevelManager.h"
#include "screens/ScreenManager.h"
#include "core/app/SubsystemRegistration.h"
#include "screens/ScreenRegistration.h"
#include "screens/menus/GUIPauseScreen.h"
#include "support/ScreenConnections.h"
#include "support/GraphicsDriver.h"
#include "support/TempDir.h"

#include "TestMenu.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cstdlib>
#include <functional>
#include <memory>

using namespace irr;

namespace {

// The audio menu's rows, as language text ids; each row's description is its id + 10000.
const s32 rowTexts[] = {20, 21, 22, 23};

std::int64_t clockNow() { return 0; }

class MenuGlTest : public ::testing::Test {
protected:
    void SetUp() override {
        workingDir = std::make_unique<test::ScopedWorkingDir>(test::sourceDir());
        device = test::createOpenGLTestDevice(core::dimension2du(1280, 720));
        ASSERT_NE(device, nullptr) << "no OpenGL device (run under Xvfb)";
        gameDevice = device;
        screenWidth = 1280;
        screenHeight = 720;
        driver = device->getVideoDriver();
        environment = device->getGUIEnvironment();
        stopwatch = std::make_unique<Stopwatch>(L"frame", 0.0f, StopwatchClock{&clockNow, 1000});
        frameStopwatch = stopwatch.get();
        registerScreens();
        fillCoreSlots();
        languageManager = new LanguageManager(device);
        screenManager = new ScreenManager(environment);
        // A level manager with no level, whose loading overlay covers nothing.
        levelStandIn = std::make_unique<LevelManager>(device);
        levelManager = levelStandIn.get();
    }
    void TearDown() override {
        levelManager = nullptr;
        levelStandIn.reset();
        delete screenManager;
        screenManager = nullptr;
        delete languageManager;
        languageManager = nullptr;
        resetGuiHooks();
        resetCoreSlots();
        test::disconnectGameObjectsFromScreens();
        if (device)
            device->drop();
        gameDevice = nullptr;
        frameStopwatch = nullptr;
        workingDir.reset();
    }

    // Draws one frame (the GUI over a plain background) and reads it back.
    video::IImage* drawFrame(const std::function<void()>& drawContent) {
        driver->beginScene(true, true, background);
        drawContent();
        driver->endScene();
        return driver->createScreenShot();
    }

    static bool isDark(const video::SColor& c) { return c.getLuminance() < 90; }
    static bool isLight(const video::SColor& c) { return c.getLuminance() > 225; }
    static int countPixels(video::IImage* image, const core::recti& area,
                           const std::function<bool(const video::SColor&)>& test) {
        return test::countPixels(image, area, test);
    }
    // The smallest rectangle holding every pixel that differs from the background.
    core::recti inkBounds(video::IImage* image) {
        const core::dimension2du size = image->getDimension();
        core::recti bounds(s32(size.Width), s32(size.Height), -1, -1);
        for (u32 y = 0; y < size.Height; ++y)
            for (u32 x = 0; x < size.Width; ++x)
                if (image->getPixel(x, y) != background) {
                    bounds.UpperLeftCorner.X = std::min(bounds.UpperLeftCorner.X, s32(x));
                    bounds.UpperLeftCorner.Y = std::min(bounds.UpperLeftCorner.Y, s32(y));
                    bounds.LowerRightCorner.X = std::max(bounds.LowerRightCorner.X, s32(x) + 1);
                    bounds.LowerRightCorner.Y = std::max(bounds.LowerRightCorner.Y, s32(y) + 1);
                }
        return bounds;
    }

    const video::SColor background{255, 40, 52, 70};
    std::unique_ptr<test::ScopedWorkingDir> workingDir;
    std::unique_ptr<Stopwatch> stopwatch;
    IrrlichtDevice* device = nullptr;
    video::IVideoDriver* driver = nullptr;
    gui::IGUIEnvironment* environment = nullptr;
    std::unique_ptr<LevelManager> levelStandIn;
};

TEST_F(MenuGlTest, MenuShowsTitleRowsAndTooltipInTheGameFont) {
    std::vector<guitest::TestMenu::Row> rows;
    for (s32 id : rowTexts)
        rows.push_back({getLanguageText(id).c_str(), getLanguageText(id + 10000).c_str()});
    auto* menu = new guitest::TestMenu(environment, true, getLanguageText(15).c_str(), rows);
    menu->drop();
    screenManager->pushScreen(menu);
    menu->getScrollList()->setAppear(1.0f);
    for (int i = 0; i < 3; ++i)
        environment->getRootGUIElement()->OnPostRender(0);
    ASSERT_TRUE(menu->getTooltipText()->isVisible());
    ASSERT_NE(menu->getTitleText()->getTTFont(), nullptr);

    video::IImage* shot = drawFrame([] { screenManager->draw(); });
    ASSERT_NE(shot, nullptr);
    if (const char* keep = std::getenv("PADDLESTONE_KEEP_SCREENSHOT"))
        driver->writeImageToFile(shot, keep);

    // The focused first row: white caption over the highlight bar.
    const core::recti first = menu->getItems()[0]->getAbsolutePosition();
    EXPECT_GT(countPixels(shot, first, isLight), 40) << "focused row";
    // The other rows: black captions on the panel.
    for (std::size_t i = 1; i < menu->getItems().size(); ++i) {
        const core::recti row = menu->getItems()[i]->getAbsolutePosition();
        EXPECT_GT(countPixels(shot, row, isDark), 40) << "row " << i;
    }
    // The title: white letters over its bar.
    EXPECT_GT(countPixels(shot, menu->getTitleText()->getAbsolutePosition(), isLight), 60);
    // The tooltip line: the first row's description in white over the tooltip bar.
    EXPECT_GT(countPixels(shot, menu->getTooltipText()->getAbsolutePosition(), isLight), 40);
    // The back row's caption.
    EXPECT_GT(countPixels(shot, menu->getBackButton()->getAbsolutePosition(), isDark), 20);
    // Left of the panel the screen stays empty.
    EXPECT_EQ(countPixels(shot, core::recti(40, 40, 600, 300), [this](const video::SColor& c) { return c != background; }), 0);
    shot->drop();
}

TEST_F(MenuGlTest, TextIsCentredAndClipped) {
    CGUITTFont* font = getCachedFont("Content/Font/NoMove.ttf", 40);
    ASSERT_NE(font, nullptr);
    const core::recti box(200, 100, 1000, 300);
    const core::dimension2du size = font->getDimension(L"Menu Text");
    video::IImage* centred = drawFrame([&] {
        font->setNeedsLayout();
        font->draw(L"Menu Text", box, video::SColor(0xFFFFFFFF), true, true);
    });
    const core::recti ink = inkBounds(centred);
    centred->drop();
    // Glyph boxes sit inside the measured box, which is centred in the frame.
    const core::position2di centre = box.getCenter();
    EXPECT_NEAR(ink.getCenter().X, centre.X, 6);
    EXPECT_NEAR(ink.getCenter().Y, centre.Y, static_cast<s32>(size.Height) / 3);
    EXPECT_LE(ink.getWidth(), static_cast<s32>(size.Width));

    // The clip ends in the middle of the text.
    const core::recti clip(200, 100, centre.X, 300);
    video::IImage* clipped = drawFrame([&] {
        font->setNeedsLayout();
        font->draw(L"Menu Text", box, video::SColor(0xFFFFFFFF), true, true, &clip);
    });
    const core::recti clippedInk = inkBounds(clipped);
    clipped->drop();
    EXPECT_EQ(clippedInk.UpperLeftCorner.X, ink.UpperLeftCorner.X);
    EXPECT_LE(clippedInk.LowerRightCorner.X, clip.LowerRightCorner.X);
    EXPECT_GT(clippedInk.getWidth(), ink.getWidth() / 3);
}

TEST_F(MenuGlTest, GlyphImagesComeBackFromThePages) {
    CGUITTFont* font = getCachedFont("Content/Font/NoMove.ttf", 30);
    ASSERT_NE(font, nullptr);
    video::IImage* glyph = font->createImageFromChar('W');
    ASSERT_NE(glyph, nullptr);
    int opaque = 0;
    for (u32 y = 0; y < glyph->getDimension().Height; ++y)
        for (u32 x = 0; x < glyph->getDimension().Width; ++x)
            opaque += glyph->getPixel(x, y).getAlpha() > 200 ? 1 : 0;
    EXPECT_GT(opaque, 30);
    glyph->drop();
}

TEST_F(MenuGlTest, MissingFontDrawsNothing) {
    auto* text = new GUIFreeTypeText(L"Invisible", environment, environment->getRootGUIElement(), -1,
                                     core::recti(100, 100, 600, 200));
    text->drop();
    text->setFont("Content/Font/Missing.ttf", 30);
    video::IImage* shot = drawFrame([this] { environment->drawAll(); });
    EXPECT_EQ(inkBounds(shot).getWidth(), -1 - 1280);
    shot->drop();
}

} // namespace

namespace {

// The pause menu over the game: the tint darkens the picture and the menu's panel stands
// light at the right edge with its rows.
TEST_F(MenuGlTest, PauseMenuDimsTheGameBehindItsPanel) {
    screenManager->createScreens();
    screenManager->setPauseScreenVisible(true);
    GUIPauseScreen* pause = screenManager->getPauseScreen();
    ASSERT_NE(pause, nullptr);
    pause->startFadeIn(0.0f);
    // The frame clock stands still here: the rows' slide-in is put at its end.
    if (pause->getScrollList())
        pause->getScrollList()->setAppear(1.0f);
    for (int i = 0; i < 3; ++i)
        environment->getRootGUIElement()->OnPostRender(0);
    ASSERT_EQ(pause->getDimAmount(), 1.0f);
    video::IImage* shot = drawFrame([this] { environment->drawAll(); });
    ASSERT_NE(shot, nullptr);
    if (const char* keep = std::getenv("PADDLESTONE_KEEP_SCREENSHOT"))
        driver->writeImageToFile(shot, keep);
    // Left of the panel the background is darkened.
    const core::recti gameArea(20, 20, 600, 700);
    const video::SColor sample = shot->getPixel(300, 360);
    EXPECT_LT(sample.getLuminance(), background.getLuminance());
    EXPECT_EQ(countPixels(shot, gameArea, [this](const video::SColor& c) { return c == background; }), 0);
    // The panel is light paper at the right edge.
    const s32 panelX = 1280 - pause->getPanelWidth();
    EXPECT_GT(countPixels(shot, core::recti(panelX + 20, 100, 1270, 700),
                          [](const video::SColor& c) { return c.getLuminance() > 190; }),
              100000);
    // Its rows' text: white on the highlighted first row, dark on the others.
    EXPECT_GT(countPixels(shot, core::recti(panelX, 320, 1280, 700), isDark), 500);
    shot->drop();
}

} // namespace
