// Every screen and dialog of the game on the OpenGL driver under Xvfb, at 1280 x 720 and at
// 800 x 600: the title with its main menu, the options and their three pages, the remapping
// screen, every dialog, the story select, the HUD in a level, the pause menu and its
// dialogs. Once each has come in, the GUI tree says where every visible text of the top
// screen is drawn: no two overlap, and none runs outside its element or the screen. The
// pictures stay in the build folder (screen-layout-1280x720-options.png ...).
#include "GameFixture.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "gui/GUIButton.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/GUIMenuItem.h"
#include "gui/GUIOptionCycle.h"
#include "gui/GUIOptionMeter.h"
#include "gui/GUIOptionsList.h"
#include "gui/GUIScreen.h"
#include "gui/GUIScrollList.h"
#include "gui/GUIStaticText.h"
#include "gui/GUITextButton.h"
#include "gui/hud/GUIHud.h"
#include "gui/hud/GUIObjectiveCenter.h"
#include "level/LevelManager.h"
#include "level/ObjectiveObject.h"
#include "screens/ScreenManager.h"
#include "screens/levels/GUIStoryLevelSelectScreen.h"
#include "screens/menus/GUIAudioOptionsScreen.h"
#include "screens/menus/GUIControlOptionsScreen.h"
#include "screens/menus/GUIControlsRemapScreen.h"
#include "screens/menus/GUIDialogScreen.h"
#include "screens/menus/GUIGraphicsOptionsScreen.h"
#include "screens/menus/GUIOptionsScreen.h"
#include "screens/menus/GUIPauseScreen.h"
#include "screens/menus/GUIPlayScreen.h"

#include "WindowResize.h"
#include "support/GraphicsDriver.h"

#include <IGUIFont.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace irr;

namespace {

// Where a visible text is drawn.
struct DrawnText {
    std::string text;
    core::recti ink;     // the text's own rectangle, as its alignment places it
    core::recti element; // the element it belongs to
    const gui::IGUIElement* row = nullptr; // the option or menu row it belongs to
    const gui::IGUIElement* self = nullptr;
};

// A small picture of a row (arrows, meters) that must leave the row's texts readable.
struct DrawnPicture {
    core::recti rect;
    const gui::IGUIElement* row;
    const gui::IGUIElement* element;
};

void addPicture(const gui::IGUIElement* part, const gui::IGUIElement* row, std::vector<DrawnPicture>& out) {
    if (part && part->isVisible())
        out.push_back({part->getAbsolutePosition(), row, part});
}

// A button that holds the text is its frame, not a picture over it.
bool holds(const gui::IGUIElement* outer, const gui::IGUIElement* inner) {
    for (; inner; inner = inner->getParent())
        if (inner == outer)
            return true;
    return false;
}

// The pictures the row draws beside its texts.
void collectRowPictures(const gui::IGUIElement* row, std::vector<DrawnPicture>& out) {
    if (const auto* meter = dynamic_cast<const GUIOptionMeter*>(row)) {
        addPicture(meter->getMeterOutline(), row, out);
    } else if (const auto* cycle = dynamic_cast<const GUIOptionCycle*>(row)) {
        addPicture(cycle->getPrevArrow(), row, out);
        addPicture(cycle->getNextArrow(), row, out);
    } else if (const auto* item = dynamic_cast<const GUIMenuItem*>(row)) {
        // Its arrows and buttons: every button child but its caption and its highlight bar.
        for (const gui::IGUIElement* child : item->getChildren())
            if (dynamic_cast<const GUIButton*>(child) && child != item->getCaptionButton() &&
                child != item->getHighlight() && child->getAbsolutePosition().getWidth() < row->getAbsolutePosition().getWidth() / 2)
                addPicture(child, row, out);
    }
}

std::string narrow(const core::stringw& text) {
    std::string out;
    for (u32 i = 0; i < text.size(); ++i)
        out += text[i] < 128 ? static_cast<char>(text[i]) : '?';
    return out;
}

bool blank(const core::stringw& text) {
    for (u32 i = 0; i < text.size(); ++i)
        if (text[i] != L' ' && text[i] != L'\n')
            return false;
    return true;
}

// The rectangle the text's lines fill inside its element, as its alignment places them.
core::recti inkOf(GUIStaticText* text, gui::IGUIFont* font) {
    const core::recti frame = text->getAbsolutePosition();
    const s32 lineHeight = static_cast<s32>(font->getDimension(L"A").Height);
    s32 width = 0;
    s32 height = lineHeight;
    if (text->isWordWrapEnabled()) {
        text->breakText();
        const auto& lines = text->getBrokenText();
        for (u32 i = 0; i < lines.size(); ++i)
            width = std::max(width, static_cast<s32>(font->getDimension(lines[i].c_str()).Width));
        height = lineHeight * static_cast<s32>(std::max(1u, lines.size()));
    } else {
        width = text->getTextWidth();
    }
    s32 x = frame.UpperLeftCorner.X;
    if (text->getHorizontalAlignment() == gui::EGUIA_CENTER)
        x = frame.getCenter().X - width / 2;
    else if (text->getHorizontalAlignment() == gui::EGUIA_LOWERRIGHT)
        x = frame.LowerRightCorner.X - width;
    s32 y = frame.UpperLeftCorner.Y;
    if (text->getVerticalAlignment() == gui::EGUIA_CENTER)
        y = frame.getCenter().Y - height / 2;
    else if (text->getVerticalAlignment() == gui::EGUIA_LOWERRIGHT)
        y = frame.LowerRightCorner.Y - height;
    return core::recti(x, y, x + width, y + height);
}

// The visible texts under the element (what a covered screen leaves out is not drawn), and
// the pictures of its rows.
void collectTexts(gui::IGUIElement* element, std::vector<DrawnText>& out, std::vector<DrawnPicture>* pictures = nullptr,
                  const gui::IGUIElement* row = nullptr) {
    if (!element || !element->isVisible())
        return;
    if (dynamic_cast<GUIOptionMeter*>(element) || dynamic_cast<GUIOptionCycle*>(element) ||
        dynamic_cast<GUIMenuItem*>(element)) {
        row = element;
        if (pictures)
            collectRowPictures(element, *pictures);
    }
    if (auto* text = dynamic_cast<GUIStaticText*>(element)) {
        gui::IGUIFont* font = text->getActiveFont();
        auto* freeType = dynamic_cast<GUIFreeTypeText*>(text);
        const bool drawn = font && !(freeType && freeType->hasMissingFont()) && !blank(text->getOwnText()) &&
                           (text->getOverrideColor().getAlpha() > 0 || !text->isOverrideColorEnabled());
        if (drawn) {
            const core::recti ink = inkOf(text, font);
            core::recti seen = ink;
            seen.clipAgainst(text->getAbsoluteClippingRect());
            // A row scrolled out of its list is clipped away whole: not drawn.
            if (seen.getArea() > 0)
                out.push_back({narrow(text->getOwnText()), ink, text->getAbsolutePosition(), row, text});
        }
    }
    const auto* screen = dynamic_cast<GUIScreen*>(element);
    for (gui::IGUIElement* child : element->getChildren())
        if (!screen || screen->drawsChild(child))
            collectTexts(child, out, pictures, row);
}

std::string describe(const core::recti& r) {
    std::ostringstream s;
    s << "(" << r.UpperLeftCorner.X << "," << r.UpperLeftCorner.Y << ")-(" << r.LowerRightCorner.X << ","
      << r.LowerRightCorner.Y << ")";
    return s.str();
}

// A pixel or two of a glyph's side bearing is not a fault.
constexpr s32 slack = 2;

bool within(const core::recti& inner, const core::recti& outer) {
    return inner.UpperLeftCorner.X >= outer.UpperLeftCorner.X - slack &&
           inner.UpperLeftCorner.Y >= outer.UpperLeftCorner.Y - slack &&
           inner.LowerRightCorner.X <= outer.LowerRightCorner.X + slack &&
           inner.LowerRightCorner.Y <= outer.LowerRightCorner.Y + slack;
}

bool overlap(const core::recti& a, const core::recti& b) {
    core::recti both = a;
    both.clipAgainst(b);
    return both.getWidth() > slack && both.getHeight() > slack;
}

// Every fault of the layout under the elements, one line each.
std::vector<std::string> layoutFaults(const std::vector<gui::IGUIElement*>& roots) {
    std::vector<DrawnText> texts;
    std::vector<DrawnPicture> pictures;
    for (gui::IGUIElement* root : roots)
        collectTexts(root, texts, &pictures);
    const core::recti screen(0, 0, screenWidth, screenHeight);
    std::vector<std::string> faults;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const DrawnText& t = texts[i];
        // A font's line is taller than its letters: up to a fifth of it may stand out.
        const s32 leading = t.ink.getHeight() / 5;
        if (t.ink.getWidth() > t.element.getWidth() + slack || t.ink.getHeight() > t.element.getHeight() + 2 * leading ||
            !within(core::recti(t.ink.UpperLeftCorner.X, t.element.UpperLeftCorner.Y, t.ink.LowerRightCorner.X,
                                t.element.LowerRightCorner.Y),
                    t.element) ||
            t.ink.UpperLeftCorner.Y < t.element.UpperLeftCorner.Y - leading ||
            t.ink.LowerRightCorner.Y > t.element.LowerRightCorner.Y + leading)
            faults.push_back("\"" + t.text + "\" " + describe(t.ink) + " runs outside its element " +
                             describe(t.element));
        if (!within(t.ink, screen))
            faults.push_back("\"" + t.text + "\" " + describe(t.ink) + " runs off the screen");
        for (const DrawnPicture& picture : pictures)
            if (picture.row == t.row && !holds(picture.element, t.self) && overlap(picture.rect, t.ink))
                faults.push_back("\"" + t.text + "\" " + describe(t.ink) + " lies under a picture of its row " +
                                 describe(picture.rect));
        for (std::size_t j = i + 1; j < texts.size(); ++j)
            // A text's shadow is the same text drawn a little aside.
            if (texts[j].text != t.text && overlap(t.ink, texts[j].ink))
                faults.push_back("\"" + t.text + "\" " + describe(t.ink) + " overlaps \"" + texts[j].text + "\" " +
                                 describe(texts[j].ink));
    }
    return faults;
}

// The relative luminance of a colour (sRGB), 0 to 1.
double luminance(const video::SColor& c) {
    const auto channel = [](u32 value) {
        const double v = static_cast<double>(value) / 255.0;
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.getRed()) + 0.7152 * channel(c.getGreen()) + 0.0722 * channel(c.getBlue());
}

// The contrast of a drawn text against its background, from the picture: the background is
// the luminance most of the text's box shows, the text the luminance that stands out most
// from it (a few pixels of the box, the glyphs' full strokes). 0 when the box shows no even
// background to measure against (a text over the moving scene).
double contrastOf(video::IImage* shot, core::recti box) {
    const core::dimension2du size = shot->getDimension();
    box.clipAgainst(core::recti(0, 0, static_cast<s32>(size.Width), static_cast<s32>(size.Height)));
    std::vector<double> levels;
    for (s32 y = box.UpperLeftCorner.Y; y < box.LowerRightCorner.Y; ++y)
        for (s32 x = box.UpperLeftCorner.X; x < box.LowerRightCorner.X; ++x)
            levels.push_back(luminance(shot->getPixel(static_cast<u32>(x), static_cast<u32>(y))));
    if (levels.size() < 20)
        return 0.0;
    std::vector<double> sorted = levels;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2), sorted.end());
    const double background = sorted[sorted.size() / 2];
    std::size_t even = 0;
    for (double level : levels)
        even += std::fabs(level - background) < 0.02 ? 1 : 0;
    if (even * 2 < levels.size())
        return 0.0;
    std::sort(levels.begin(), levels.end(), [background](double a, double b) {
        return std::fabs(a - background) < std::fabs(b - background);
    });
    const double text = levels[levels.size() * 97 / 100];
    return (std::max(text, background) + 0.05) / (std::min(text, background) + 0.05);
}

// Every text under the elements that reads below 4.5 : 1 against its background.
std::vector<std::string> contrastFaults(video::IImage* shot, const std::vector<gui::IGUIElement*>& roots) {
    std::vector<DrawnText> texts;
    for (gui::IGUIElement* root : roots)
        collectTexts(root, texts);
    std::vector<std::string> faults;
    for (const DrawnText& t : texts) {
        core::recti seen = t.ink;
        seen.clipAgainst(t.self->getAbsoluteClippingRect());
        const double contrast = contrastOf(shot, seen);
        if (contrast > 0.0 && contrast < 4.5)
            faults.push_back("\"" + t.text + "\" " + describe(seen) + " reads at " + std::to_string(contrast) + " : 1");
    }
    return faults;
}

struct ScreenSize {
    int width;
    int height;
};

class ScreenLayoutGlTest : public GameFixture, public ::testing::WithParamInterface<ScreenSize> {
protected:
    std::string sizeName() const { return std::to_string(GetParam().width) + "x" + std::to_string(GetParam().height); }

    // The picture of the last frame, kept, and the layout of the screens checked.
    void checkScreen(const std::string& name, const std::vector<gui::IGUIElement*>& roots) {
        video::IVideoDriver* driver = gameDevice->getVideoDriver();
        if (video::IImage* shot = driver->createScreenShot()) {
            driver->writeImageToFile(shot, (std::string(PADDLESTONE_SHOT_DIR) + "/screen-layout-" + sizeName() + "-" +
                                            name + ".png")
                                               .c_str());
            for (const std::string& fault : contrastFaults(shot, roots))
                ADD_FAILURE() << sizeName() << " " << name << ": " << fault;
            shot->drop();
        }
        checked.push_back(name);
        // Every value of every cycle row in turn: the longest must fit too.
        std::set<std::string> faults;
        const auto look = [&] {
            for (const std::string& fault : layoutFaults(roots))
                faults.insert(fault);
        };
        look();
        std::vector<GUIOptionCycle*> cycles;
        for (gui::IGUIElement* root : roots)
            collectCycles(root, cycles);
        for (GUIOptionCycle* cycle : cycles) {
            const s32 shown = cycle->getIndex();
            for (std::size_t i = 0; i < cycle->getValueCount(); ++i) {
                cycle->setIndex(static_cast<s32>(i));
                cycle->updateAbsolutePosition();
                look();
            }
            cycle->setIndex(shown);
            cycle->updateAbsolutePosition();
        }
        for (const std::string& fault : faults)
            ADD_FAILURE() << sizeName() << " " << name << ": " << fault;
    }
    static void collectCycles(gui::IGUIElement* element, std::vector<GUIOptionCycle*>& out) {
        if (!element || !element->isVisible())
            return;
        if (auto* cycle = dynamic_cast<GUIOptionCycle*>(element))
            out.push_back(cycle);
        for (gui::IGUIElement* child : element->getChildren())
            collectCycles(child, out);
    }
    void checkTop(const std::string& name) { checkScreen(name, {screenManager->getTopScreen()}); }

    // The screen of that type is on top, has come in and its rows stand still.
    template <class Screen>
    bool settled() {
        return settledScreen(dynamic_cast<Screen*>(screenManager->getTopScreen()));
    }
    template <class Screen>
    Screen* top() {
        return dynamic_cast<Screen*>(screenManager->getTopScreen());
    }
    // A page of the options: checked, then back to the options.
    template <class Page>
    void visitPage(const std::string& name, void (GUIOptionsScreen::*open)(GUIButton*)) {
        waitFor("the options for " + name, [this] { return settled<GUIOptionsScreen>(); },
                [open, this] { (top<GUIOptionsScreen>()->*open)(nullptr); });
        waitFor(name, [this] { return settled<Page>(); }, [name, this] {
            checkTop(name);
            top<Page>()->onBack(nullptr);
        });
    }
    // A dialog: checked, then closed with its back action.
    void visitDialog(const std::string& name) {
        waitFor(name, [this] { return settled<GUIDialogScreen>(); }, [name, this] {
            checkTop(name);
            top<GUIDialogScreen>()->onBack(nullptr);
        });
    }

    std::vector<std::string> checked;
    bool resizedAway = false;
    int dialogFadeFrames = 0;
    std::set<std::string> textsBeneathDialog;
};

TEST_P(ScreenLayoutGlTest, NoTextOverlapsAnotherOrRunsOutsideItsPlace) {
    test::keepGraphicsDriverLoaded();
    useSingleBuffer();
    const ScreenSize size = GetParam();
    writeSettings([size] {
        setSettingString("Graphics_Driver", "OpenGL");
        setSettingBool("Graphics_Vsync", false);
        setSettingInt("Graphics_Antialiasing", 0);
        setSettingInt("Graphics_FullscreenMode", 0);
        setSettingInt("Graphics_ScreenWidth", size.width);
        setSettingInt("Graphics_ScreenHeight", size.height);
    });

    // The title: the main screen and its menu show together.
    waitFor("the title", [this] { return titleShown() && settled<GUIPlayScreen>(); }, [this, size] {
        checkScreen("title", std::vector<gui::IGUIElement*>(screenManager->getScreenStack().begin(),
                                                             screenManager->getScreenStack().end()));
        // Resized by someone else (a window manager that ignores the size hints), the window
        // gets its size back, and the menu stands where it stood.
        const core::dimension2du chosen(size.width, size.height);
        everyFrame = [this, chosen] { resizedAway |= gameDevice->getVideoDriver()->getScreenSize() != chosen; };
        ASSERT_TRUE(test::resizeGameWindow(1000, 600));
    });
    waitFor("the title after a resize", [this, size] {
        const bool back = resizedAway &&
                          gameDevice->getVideoDriver()->getScreenSize() == core::dimension2du(size.width, size.height);
        return back && settled<GUIPlayScreen>();
    }, [this] {
        everyFrame = nullptr;
        checkScreen("title-resized", std::vector<gui::IGUIElement*>(screenManager->getScreenStack().begin(),
                                                                     screenManager->getScreenStack().end()));
        top<GUIPlayScreen>()->openOptions(nullptr);
    });
    waitFor("the options", [this] { return settled<GUIOptionsScreen>(); }, [this] { checkTop("options"); });
    visitPage<GUIGraphicsOptionsScreen>("graphics", &GUIOptionsScreen::onGraphics);
    visitPage<GUIAudioOptionsScreen>("audio", &GUIOptionsScreen::onAudio);
    waitFor("the options for the controls", [this] { return settled<GUIOptionsScreen>(); },
            [this] { top<GUIOptionsScreen>()->onControls(nullptr); });
    waitFor("controls", [this] { return settled<GUIControlOptionsScreen>(); }, [this] {
        checkTop("controls");
        top<GUIControlOptionsScreen>()->onRemapControls(nullptr);
    });
    waitFor("remapping", [this] { return settled<GUIControlsRemapScreen>(); }, [this] {
        checkTop("remapping");
        int shown = 0;
        for (GUIButton* item : top<GUIControlsRemapScreen>()->getItems())
            shown += item->isVisible() && item->getAbsolutePosition().UpperLeftCorner.Y >= 0 ? 1 : 0;
        EXPECT_GE(shown, 20) << "the list fills the panel";
        top<GUIControlsRemapScreen>()->onBack(nullptr);
    });
    waitFor("the controls again", [this] { return settled<GUIControlOptionsScreen>(); },
            [this] { top<GUIControlOptionsScreen>()->onResetControls(nullptr); });
    visitDialog("controls-reset-dialog");
    waitFor("the controls for leaving", [this] { return settled<GUIControlOptionsScreen>(); },
            [this] { top<GUIControlOptionsScreen>()->onBack(nullptr); });
    waitFor("the options for the reset", [this] { return settled<GUIOptionsScreen>(); },
            [this] { top<GUIOptionsScreen>()->onReset(nullptr); });
    visitDialog("options-reset-dialog");
    waitFor("the options for leaving", [this] { return settled<GUIOptionsScreen>(); },
            [this] { top<GUIOptionsScreen>()->onBack(nullptr); });
    waitFor("the main menu again", [this] { return settled<GUIPlayScreen>(); },
            [this] { top<GUIPlayScreen>()->openStorySelect(nullptr); });
    waitFor("story-select", [this] { return settled<GUIStoryLevelSelectScreen>(); }, [this] {
        checkTop("story-select");
        top<GUIStoryLevelSelectScreen>()->onBack(nullptr);
    });
    waitFor("the main menu for a new game", [this] { return settled<GUIPlayScreen>(); },
            [this] { top<GUIPlayScreen>()->onNewGame(nullptr); });
    // The first level plays with its HUD.
    waitFor(
        "hud",
        [this] {
            return stableFor(screenManager->getScreenStack().empty() && levelManager && !levelManager->levelLoading &&
                                 !levelManager->loadingOverlay.isBusy() && screenManager->getHud() &&
                                 screenManager->getHud()->isVisible(),
                             30);
        },
        [this] {
            checkScreen("hud", {screenManager->getHud()});
            postKey(KEY_KEY_P, true);
        },
        120.0);
    // Three quick taps of Down, all in one frame, while the pause panel slides in.
    nextFrame("the pause sliding in", [this] {
        GUIScreen* pause = screenManager->findPauseScreen();
        ASSERT_TRUE(pause && pause->isVisible());
        EXPECT_EQ(pause->getFadeState(), GUIScreen::FadingIn);
        postKey(KEY_KEY_P, false);
        for (int tap = 0; tap < 3; ++tap) {
            postKey(KEY_DOWN, true);
            postKey(KEY_DOWN, false);
        }
    });
    waitFor("pause", [this] { return settled<GUIPauseScreen>(); }, [this] {
        EXPECT_EQ(screenManager->getTopScreenFocus(), top<GUIPauseScreen>()->getItems().back())
            << "every tap moved the focus";
        checkTop("pause");
        top<GUIPauseScreen>()->openRestartFromCheckpointDialog(nullptr);
        // Every frame while the dialog slides in and out: no text of the pause menu shows.
        everyFrame = [this] {
            auto* dialog = dynamic_cast<GUIDialogScreen*>(screenManager->getTopScreen());
            if (!dialog || dialog->getFadeState() == GUIScreen::Shown)
                return;
            ++dialogFadeFrames;
            std::vector<DrawnText> beneath;
            collectTexts(screenManager->findPauseScreen(), beneath);
            for (const DrawnText& text : beneath)
                textsBeneathDialog.insert(text.text);
        };
    });
    visitDialog("restart-dialog");
    waitFor("the pause for quitting", [this] { return settled<GUIPauseScreen>(); }, [this] {
        everyFrame = nullptr;
        EXPECT_GT(dialogFadeFrames, 1) << "the dialog's fades were looked at";
        for (const std::string& text : textsBeneathDialog)
            ADD_FAILURE() << sizeName() << " \"" << text << "\" of the pause menu shows while its dialog slides";
        top<GUIPauseScreen>()->openQuitDialog(nullptr);
    });
    visitDialog("quit-dialog");
    waitFor("the pause for the options", [this] { return settled<GUIPauseScreen>(); },
            [this] { top<GUIPauseScreen>()->openOptions(nullptr); });
    waitFor("pause-options", [this] { return settled<GUIOptionsScreen>(); }, [this] { checkTop("pause-options"); });
    visitPage<GUIGraphicsOptionsScreen>("pause-graphics", &GUIOptionsScreen::onGraphics);
    ASSERT_NO_FATAL_FAILURE(playGame());

    EXPECT_EQ(checked.size(), 16u) << "every screen was looked at";
}

INSTANTIATE_TEST_SUITE_P(Sizes, ScreenLayoutGlTest, ::testing::Values(ScreenSize{1280, 720}, ScreenSize{800, 600}),
                         [](const ::testing::TestParamInfo<ScreenSize>& info) {
                             return std::to_string(info.param.width) + "x" + std::to_string(info.param.height);
                         });

} // namespace

namespace {

using ShedObjectiveGlTest = GameFixture;

// Two lines whose letters meet: their rectangles share more than a line's leading (a fifth of
// its height), which rows a line apart share with a shadow 2 pixels below.
bool lettersOverlap(const core::recti& a, const core::recti& b) {
    core::recti both = a;
    both.clipAgainst(b);
    return both.getWidth() > slack && both.getHeight() > std::max(slack, std::min(a.getHeight(), b.getHeight()) / 5);
}

// The Potting Shed's first objective, once completed, reads once: its grey title over its
// black shadow (2 pixels down and right, as every title of the panel has it, so that the grey
// reads on a bright floor), no other copy of it, nothing else drawn over it, and the level's
// second objective in the row below. The panel of the level's tenth second is made at once, so
// that it does not hang on how many frames a busy machine ran by then.
TEST_F(ShedObjectiveGlTest, TheObjectiveReadsOnce) {
    test::keepGraphicsDriverLoaded();
    useSingleBuffer();
    writeSettings([] {
        setSettingString("Graphics_Driver", "OpenGL");
        setSettingBool("Graphics_Vsync", false);
        setSettingInt("Graphics_Antialiasing", 0);
        setSettingInt("Graphics_ScreenWidth", 1280);
        setSettingInt("Graphics_ScreenHeight", 720);
    });
    std::vector<DrawnText> texts;
    waitFor("the title", titleShown, [] {
        screenManager->closeAllScreens();
        levelManager->unloadLevel();
        ASSERT_TRUE(levelManager->loadLevel("Content/Levels/Story_Shed.irr"));
    });
    // What the level's triggers do by its tenth second (each a step they do not repeat later).
    waitFor(
        "the level playing",
        [this] {
            return stableFor(screenManager->getScreenStack().empty() && !levelManager->levelLoading &&
                                 !levelManager->loadingOverlay.isBusy(),
                             30);
        },
        [] {
            auto* watered = dynamic_cast<ObjectiveObject*>(levelManager->getSceneNodeFromID(3006));
            auto* closing = dynamic_cast<ObjectiveObject*>(levelManager->getSceneNodeFromID(3007));
            ASSERT_TRUE(watered && closing);
            levelManager->objectives.add(watered->getEntry());
            watered->complete();
            closing->setRevealed(true);
            levelManager->objectives.add(closing->getEntry());
        },
        120.0);
    // What the panel draws once it is shown and the completion highlight has run out; the
    // panel never counts itself as visible, its rows do.
    waitFor("the objectives shown", [this] {
        GUIObjectiveCenter* panel = screenManager->getObjectiveCenter();
        bool shown = panel && panel->isShownByOwner() && panel->getRows().size() == 2 &&
                     panel->getRows()[0].decorations[0]->isVisible() && panel->getRows()[1].title->isVisible();
        for (const GUIObjectiveCenter::Row& row : shown ? panel->getRows() : std::vector<GUIObjectiveCenter::Row>{})
            shown = shown && !row.highlighted;
        return stableFor(shown, 10);
    }, [&texts] {
        for (gui::IGUIElement* row : screenManager->getObjectiveCenter()->getChildren())
            collectTexts(row, texts);
    });
    ASSERT_NO_FATAL_FAILURE(playGame());
    std::vector<DrawnText> objective, next;
    std::string seen;
    for (const DrawnText& text : texts) {
        if (text.text == "Water the seedlings")
            objective.push_back(text);
        if (text.text == "Close the shed")
            next.push_back(text);
        seen += " \"" + text.text + "\"";
    }
    ASSERT_EQ(objective.size(), 2u) << "the title and its shadow, no other copy; drawn:" << seen;
    EXPECT_EQ(objective[1].ink.UpperLeftCorner - objective[0].ink.UpperLeftCorner, core::position2di(-2, -2))
        << "the shadow (drawn first) lies 2 pixels down and right of the title";
    ASSERT_EQ(next.size(), 2u) << "drawn:" << seen;
    EXPECT_GT(next[1].ink.UpperLeftCorner.Y, objective[1].ink.UpperLeftCorner.Y) << "the next objective's row is below";
    for (const DrawnText& text : texts)
        for (const DrawnText& other : objective) {
            if (text.text != other.text) {
                EXPECT_FALSE(lettersOverlap(text.ink, other.ink))
                    << "\"" << text.text << "\" " << describe(text.ink) << " over the objective " << describe(other.ink);
            }
        }
}

} // namespace
