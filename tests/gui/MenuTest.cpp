// Menu rows, the scroll list and the menu screen base.
#include "GuiFixture.h"
#include "TestMenu.h"

#include "core/Globals.h"
#include "core/LanguageManager.h"
#include "gui/GUIDeleteRow.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/GUIImage.h"
#include "gui/GUIMenuItem.h"
#include "gui/GUIOptionRemap.h"
#include "gui/GUIOptionsList.h"
#include "gui/GUIScrollList.h"
#include "gui/GUITextButton.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "gui/fonts/FontCache.h"
#include "player/InputDevice.h"
#include "player/InputManager.h"
#include "player/devices/MouseDevice.h"
#include "screens/ScreenManager.h"

#include <functional>

using namespace irr;

namespace {

using guitest::TestMenu;

// A parent that keeps the events its children hand on.
class RecordingParent : public gui::IGUIElement {
public:
    RecordingParent(gui::IGUIEnvironment* env, gui::IGUIElement* parent)
        : gui::IGUIElement(gui::EGUIET_ELEMENT, env, parent, -1, core::recti(0, 0, 1280, 720)) {}
    bool OnEvent(const SEvent& event) override {
        events.push_back(event);
        return false;
    }
    std::vector<SEvent> events;
};

class MenuTest : public guitest::GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        // The menus' fonts and texts: 3 titles, 4 rows, 5 back row and tooltips.
        useLanguages();
    }
    TestMenu* openMenu(int rows, bool panelOnRight = false) {
        auto* menu = new TestMenu(environment, panelOnRight, L"Options", TestMenu::numberedRows(rows));
        menu->drop();
        screenManager->pushScreen(menu);
        return menu;
    }
    // Frames until the rows have slid in.
    void settle(TestMenu* menu, int frames = 3) {
        menu->getScrollList()->setAppear(1.0f);
        for (int i = 0; i < frames; ++i)
            postRenderAll();
    }
    GUIMenuItem* makeRow(const wchar_t* text, s32 width, s32 panelType, bool panelOnRight) {
        auto* row = new GUIMenuItem(text, getCachedFont(fontPath, 28), panelType, panelOnRight, environment, root(),
                                    core::recti(0, 0, width, 34));
        row->drop();
        return row;
    }
};

// --- menu rows ---------------------------------------------------------------------------------

TEST_F(MenuTest, RowTypeAndParts) {
    GUIMenuItem* row = makeRow(L"Play", 285, 0, false);
    EXPECT_EQ(static_cast<s32>(row->getType()), GuiType::MenuItem);
    EXPECT_STREQ(row->getTypeName(), "GUIButton");
    EXPECT_EQ(row->getID(), 0);
    EXPECT_STREQ(row->getCaptionText()->getOwnText().c_str(), L"Play");
    EXPECT_EQ(row->getCaptionButton()->getStateSource(), row);
    EXPECT_EQ(row->getHighlight()->getStateSource(), row);
    EXPECT_EQ(row->getForwardFocusTarget(), row->getCaptionButton());
    EXPECT_STREQ(row->getValueText()->getOwnText().c_str(), L"");
    EXPECT_EQ(row->getValueText()->getOverrideColor(), video::SColor(0xFF3C3C3C));
    EXPECT_EQ(row->getValueText()->getRelativePosition(), core::recti(-40, 0, 245, 34));
    EXPECT_EQ(row->getCaptionButton()->getStateColor(ButtonState::Focused), video::SColor(0xFFFFFFFF));
}

TEST_F(MenuTest, HighlightRunsOffThePanelsSide) {
    // 10 % of 1280 is 128.
    EXPECT_EQ(makeRow(L"L", 285, 0, false)->getHighlight()->getRelativePosition(), core::recti(-148, 0, 294, 34));
    EXPECT_EQ(makeRow(L"L", 285, 1, false)->getHighlight()->getRelativePosition(), core::recti(-148, 0, 288, 34));
    EXPECT_EQ(makeRow(L"R", 285, 0, true)->getHighlight()->getRelativePosition(), core::recti(-33, 0, 422, 34));
    EXPECT_EQ(makeRow(L"R", 285, 1, true)->getHighlight()->getRelativePosition(), core::recti(-26, 0, 422, 34));
}

TEST_F(MenuTest, WrappedCaptionMakesTheRowTaller) {
    GUIMenuItem* row = makeRow(L"A caption long enough to wrap over three lines", 150, 0, false);
    const s32 lines = static_cast<s32>(row->getCaptionText()->getLineCount());
    EXPECT_GE(lines, 3);
    EXPECT_EQ(row->getRelativePosition().getHeight(), 34 * lines);
    EXPECT_EQ(row->getCaptionButton()->getRelativePosition().getHeight(), 34 * lines);
    EXPECT_EQ(makeRow(L"", 150, 0, false)->getRelativePosition().getHeight(), 34);
}

TEST_F(MenuTest, RowLightsUpWithItsState) {
    TestMenu* menu = openMenu(2);
    auto* row = static_cast<GUIMenuItem*>(menu->row(1));
    GUIFreeTypeText* caption = row->getCaptionText();
    settle(menu);
    menu->setFocusedElement(row);
    postRenderAll();
    EXPECT_EQ(row->getState(), ButtonState::Focused);
    EXPECT_EQ(row->getHighlight()->getState(), ButtonState::Focused);
    EXPECT_EQ(caption->getOverrideColor(), video::SColor(0xFFFFFFFF));
    // Pressed while it holds the environment's focus.
    environment->setFocus(row);
    const core::position2di inside = row->getAbsolutePosition().getCenter();
    sendMouse(row, EMIE_LMOUSE_PRESSED_DOWN, inside.X, inside.Y);
    EXPECT_EQ(row->getState(), ButtonState::Pressed);
    EXPECT_TRUE(environment->hasFocus(row));
    postRenderAll();
    EXPECT_EQ(row->getState(), ButtonState::Pressed);
    EXPECT_EQ(caption->getOverrideColor(), video::SColor(0xFF323296));
    // Disabled as its menu leaves after the choice: the row keeps its lit look (white on its
    // bar) until it is enabled again; a row that was not lit shows none.
    row->setEnabled(false);
    static_cast<GUIMenuItem*>(menu->row(0))->setEnabled(false);
    postRenderAll();
    EXPECT_EQ(row->getState(), ButtonState::Focused);
    EXPECT_EQ(row->getHighlight()->getState(), ButtonState::Focused);
    EXPECT_EQ(caption->getOverrideColor(), video::SColor(0xFFFFFFFF));
    EXPECT_EQ(static_cast<GUIMenuItem*>(menu->row(0))->getHighlight()->getState(), ButtonState::Disabled);
    row->setEnabled(true);
    postRenderAll();
    EXPECT_EQ(row->getState(), ButtonState::Normal);
    EXPECT_EQ(caption->getOverrideColor(), video::SColor(0xFF000000));
}

// A row disabled while focused or just clicked keeps its lit look; one that lost the focus
// meanwhile shows as disabled when disabled again.
TEST_F(MenuTest, ARowDisabledFocusedOrClickedStaysLit) {
    TestMenu* menu = openMenu(2);
    settle(menu);
    auto* row = static_cast<GUIMenuItem*>(menu->row(1));
    menu->setFocusedElement(row);
    ASSERT_EQ(row->getState(), ButtonState::Focused);
    row->setEnabled(false);
    EXPECT_EQ(row->getState(), ButtonState::Focused);
    row->unfocus();
    row->setEnabled(false);
    EXPECT_EQ(row->getState(), ButtonState::Disabled);
    row->setEnabled(true);
    row->click();
    ASSERT_EQ(row->getState(), ButtonState::Released);
    row->setEnabled(false);
    EXPECT_EQ(row->getState(), ButtonState::Focused);
    // The caption and the highlight follow the row's switch both ways.
    EXPECT_FALSE(row->getCaptionButton()->isEnabled());
    EXPECT_FALSE(row->getHighlight()->isEnabled());
    row->setEnabled(true);
    EXPECT_TRUE(row->getCaptionButton()->isEnabled());
    EXPECT_TRUE(row->getHighlight()->isEnabled());
}

TEST_F(MenuTest, EnablingKeepsAFocusedRowFocused) {
    GUIMenuItem* row = makeRow(L"Row", 285, 0, false);
    row->focus();
    row->setEnabled(true);
    EXPECT_EQ(row->getState(), ButtonState::Focused);
    row->setEnabled(false);
    row->setEnabled(true);
    EXPECT_EQ(row->getState(), ButtonState::Normal);
    EXPECT_TRUE(row->getCaptionButton()->isEnabled());
    row->unfocus();
    EXPECT_EQ(row->getState(), ButtonState::Normal);
}

TEST_F(MenuTest, CaptionClicksReachTheRowsListeners) {
    GUIMenuItem* row = makeRow(L"Row", 285, 0, false);
    guitest::ButtonCalls clicks, focuses;
    bindCallback(row->OnClick, &clicks, &guitest::ButtonCalls::hit);
    bindCallback(row->OnFocus, &focuses, &guitest::ButtonCalls::hit);
    row->getCaptionButton()->click();
    ASSERT_EQ(clicks.buttons.size(), 1u);
    EXPECT_EQ(clicks.buttons[0], row);
    row->getCaptionButton()->focus();
    EXPECT_EQ(focuses.buttons.size(), 1u);
    row->getCaptionButton()->OnPostRender(0);
    row->setClickable(false);
    row->getCaptionButton()->click();
    EXPECT_EQ(clicks.buttons.size(), 1u);
}

TEST_F(MenuTest, RemapRowAsksForABindingOnlyWhenItMay) {
    auto* row = new GUIRemapButton(7, L"Grab Object", getCachedFont(fontPath, 22), environment, root(),
                                   core::recti(0, 0, 285, 34));
    row->drop();
    EXPECT_EQ(row->getActionIndex(), 7);
    EXPECT_EQ(row->getAddButton()->getRelativePosition(), core::recti(226, 7, 246, 27));
    const core::recti line = row->getLeaderLine()->getRelativePosition();
    EXPECT_EQ(line.UpperLeftCorner.X, row->getCaptionText()->getTextWidth());
    EXPECT_EQ(line.LowerRightCorner.X, 216);
    EXPECT_EQ(line.UpperLeftCorner.Y, 16);
    EXPECT_EQ(line.LowerRightCorner.Y, 18);
    guitest::ButtonCalls asked;
    bindCallback(row->AddRequested, &asked, &guitest::ButtonCalls::hit);
    row->onAddClicked();
    EXPECT_EQ(asked.buttons.size(), 1u);
    row->setAddingAllowed(false);
    row->onAddClicked();
    row->setAddingAllowed(true);
    row->getAddButton()->setVisible(false);
    row->onAddClicked();
    EXPECT_EQ(asked.buttons.size(), 1u);
}

// The leader line runs from the name to the add button only where it has room: a name that
// leaves a stub, or runs past the line's end, has none (no line into the button).
TEST_F(MenuTest, ARemapRowsLeaderLineShowsOnlyWhereItFits) {
    struct Case {
        const wchar_t* name;
        bool shown;
    };
    for (const Case& c : {Case{L"Grab Object", true}, Case{L"Left Foot Move Forward", false},
                          Case{L"Right Foot Move Forward and Back", false}}) {
        auto* row = new GUIRemapButton(7, c.name, getCachedFont(fontPath, 22), environment, root(),
                                       core::recti(0, 0, 285, 34));
        row->drop();
        const core::recti line = row->getLeaderLine()->getRelativePosition();
        const s32 room = 216 - row->getCaptionText()->getTextWidth();
        SCOPED_TRACE(room);
        EXPECT_EQ(row->getLeaderLine()->isVisible(), c.shown);
        EXPECT_EQ(room >= 8, c.shown) << "the case's name leaves the room it is meant to";
        EXPECT_LE(line.UpperLeftCorner.X, 216) << "the line never runs back from the add button";
        if (c.shown) {
            EXPECT_EQ(line.LowerRightCorner.X, 216);
        }
        row->remove();
    }
}

// A binding row offers its add button while it has no input, and its input and delete
// button once bound. It acts only once it has settled for more than its settle frames, its
// heading offering more bindings from the frame it settles; accept on the focused row starts
// the wait for an input, other keys do not.
TEST_F(MenuTest, ARemapRowShowsItsPartsByItsBindingAndActsOnceSettled) {
    TestMenu* menu = openMenu(1);
    settle(menu);
    auto* heading = new GUIRemapButton(7, L"Grab Object", getCachedFont(fontPath, 22), environment, menu,
                                       core::recti(0, 0, 285, 34));
    heading->drop();
    ButtonMapping mapping;
    mapping.keep = false;
    auto* row = new GUIOptionRemap(heading, 7, &mapping, environment, menu, core::recti(0, 40, 285, 74));
    row->drop();
    EXPECT_TRUE(row->getAddButton()->isVisible());
    EXPECT_FALSE(row->getDeleteButton()->isVisible());
    EXPECT_FALSE(row->getBindingButton()->isVisible());
    EXPECT_FALSE(row->getCaptureBar()->isVisible());

    mapping.keep = true;
    heading->getAddButton()->setVisible(false);
    while (row->getSettleCounter() < GUIOptionRemap::settleFrames) {
        EXPECT_FALSE(heading->getAddButton()->isVisible()) << row->getSettleCounter();
        EXPECT_FALSE(row->deleteBinding());
        row->OnPostRender(0);
    }
    EXPECT_TRUE(heading->getAddButton()->isVisible());
    EXPECT_FALSE(row->getAddButton()->isVisible());
    EXPECT_TRUE(row->getDeleteButton()->isVisible());
    EXPECT_TRUE(row->getBindingButton()->isVisible());
    const core::position2di inside = row->getAbsolutePosition().getCenter();
    EXPECT_FALSE(sendMouse(row, EMIE_LMOUSE_PRESSED_DOWN, inside.X, inside.Y));
    EXPECT_FALSE(row->deleteBinding());
    row->OnPostRender(0);

    row->onNavigationKey(MenuKey::Accept);
    EXPECT_FALSE(row->isCapturing()) << "accept reaches only the focused row";
    menu->setFocusedElement(row);
    row->onNavigationKey(MenuKey::Down);
    EXPECT_FALSE(row->isCapturing());
    row->onNavigationKey(MenuKey::Accept);
    EXPECT_TRUE(row->isCapturing());
    for (int i = 0; i <= GUIOptionRemap::settleFrames; ++i)
        row->OnPostRender(0);
    ASSERT_TRUE(row->isCapturing());
    EXPECT_TRUE(row->getCaptureBar()->isVisible());
    EXPECT_STREQ(row->getBindingButton()->getCaption()->getText(), L"[Press a button]");
    EXPECT_FALSE(row->deleteBinding()) << "a waiting row keeps its binding";
    row->setCapturing(false);
    for (int i = 0; i <= GUIOptionRemap::settleFrames; ++i)
        row->OnPostRender(0);
    EXPECT_FALSE(row->getCaptureBar()->isVisible());
    EXPECT_TRUE(row->deleteBinding());
    EXPECT_FALSE(mapping.keep);

    // A waiting row takes the captured input once it has settled, not a frame before.
    const auto capturedBefore = guiHooks().screens.capturedInput;
    guiHooks().screens.capturedInput = [](ButtonMapping& captured) {
        captured.buttonIndex = 42;
        return true;
    };
    mapping.keep = true;
    row->setCapturing(true);
    for (int i = 0; i < GUIOptionRemap::settleFrames; ++i)
        row->OnPostRender(0);
    EXPECT_TRUE(row->isCapturing());
    row->OnPostRender(0);
    EXPECT_FALSE(row->isCapturing());
    EXPECT_EQ(mapping.buttonIndex, 42);
    EXPECT_TRUE(mapping.keep);
    // An unbound row's first binding is kept from then on and told once.
    guitest::ButtonCalls captures;
    bindCallback(row->Captured, &captures, &guitest::ButtonCalls::hit);
    mapping.keep = false;
    row->setCapturing(true);
    for (int i = 0; i <= GUIOptionRemap::settleFrames; ++i)
        row->OnPostRender(0);
    EXPECT_FALSE(row->isCapturing());
    EXPECT_TRUE(mapping.keep);
    EXPECT_EQ(captures.buttons.size(), 1u);
    unbindCallback(row->Captured, &captures, &guitest::ButtonCalls::hit);
    guiHooks().screens.capturedInput = capturedBefore;
}

// A row with a delete button: the button clicks audibly and asks for the deletion; accept on
// the focused row clicks it, other keys do not; enabled again, row and caption take input.
TEST_F(MenuTest, ADeleteRowClicksAudiblyAndComesBackEnabled) {
    TestMenu* menu = openMenu(1);
    settle(menu);
    auto* row = new GUIDeleteRow(L"Castle", 1, true, environment, menu, core::recti(0, 40, 285, 74));
    row->drop();
    guitest::ButtonCalls deletes, clicks;
    bindCallback(row->DeleteRequested, &deletes, &guitest::ButtonCalls::hit);
    bindCallback(row->OnClick, &clicks, &guitest::ButtonCalls::hit);
    forgetSounds();
    row->getDeleteButton()->click();
    EXPECT_EQ(deletes.buttons.size(), 1u);
    EXPECT_EQ(soundCount(soundClick), 1);
    menu->setFocusedElement(row);
    row->onNavigationKey(MenuKey::Down);
    EXPECT_TRUE(clicks.buttons.empty());
    row->onNavigationKey(MenuKey::Accept);
    EXPECT_EQ(clicks.buttons.size(), 1u);
    row->setEnabled(false);
    EXPECT_EQ(row->getState(), ButtonState::Disabled);
    EXPECT_FALSE(row->getCaptionButton()->isEnabled());
    row->setEnabled(true);
    EXPECT_EQ(row->getState(), ButtonState::Normal);
    EXPECT_TRUE(row->getCaptionButton()->isEnabled());
    // Focused, then left: the row and its caption go back to normal.
    row->focus();
    EXPECT_EQ(row->getState(), ButtonState::Focused);
    row->unfocus();
    EXPECT_EQ(row->getState(), ButtonState::Normal);
    EXPECT_EQ(row->getCaptionButton()->getState(), ButtonState::Normal);
}

// --- the menu screen base --------------------------------------------------------------------------

TEST_F(MenuTest, MeasuresAtTheReferenceSize) {
    TestMenu* left = openMenu(3);
    EXPECT_EQ(static_cast<s32>(left->getType()), GuiType::OptionsList);
    EXPECT_STREQ(left->getTypeName(), "GUIScreen");
    EXPECT_EQ(left->getID(), ScreenManager::menuScreenId);
    EXPECT_EQ(left->getPanelWidth(), 324);
    EXPECT_EQ(left->getItemWidth(), 285);
    EXPECT_EQ(left->getItemPosition(0), core::position2di(18, 310));
    EXPECT_EQ(left->getItemPosition(2), core::position2di(18, 310 + 2 * 34));
    TestMenu* right = openMenu(3, true);
    EXPECT_EQ(right->getPanelX(), 956);
    EXPECT_EQ(right->getItemPosition(0), core::position2di(999, 310));
}

// The panel's picture goes on past its outer edge in its mirror picture, which is drawn
// beyond the panel (where the overscan border shows it); a sub panel does the same.
TEST_F(MenuTest, ThePanelContinuesUnclippedPastItsOuterEdge) {
    const struct {
        bool onRight;
        s32 panelType;
        const char* inner;
        const char* outer;
        s32 outerX;
    } rows[] = {
        {false, 0, "MenuPanelLeft.png", "MenuPanel.png", 2 - 324},
        {true, 0, "MenuPanel.png", "MenuPanelLeft.png", 324 - 2},
        {false, 1, "MenuSubPanelLeft.png", "MenuSubPanel.png", 2 - 324},
        {true, 1, "MenuSubPanel.png", "MenuSubPanelLeft.png", 324 - 2},
    };
    // The picture's path from its folder on.
    const auto textureName = [](GUIImage* image) {
        const std::string path = image->getImage() ? image->getImage()->getName().getPath().c_str() : "";
        const std::size_t at = path.rfind(GUIOptionsList::objectsFolder);
        return at == std::string::npos ? path : path.substr(at);
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.outer);
        TestMenu* menu = openMenu(1, row.onRight);
        if (row.panelType != 0)
            menu->createPanel(row.panelType);
        GUIImage* panel = menu->getPanel();
        EXPECT_EQ(textureName(panel), std::string(GUIOptionsList::objectsFolder) + row.inner);
        ASSERT_EQ(panel->getChildren().size(), 1u);
        auto* outer = static_cast<GUIImage*>(*panel->getChildren().begin());
        EXPECT_EQ(textureName(outer), std::string(GUIOptionsList::objectsFolder) + row.outer);
        EXPECT_EQ(outer->getRelativePosition(), core::recti(core::position2di(row.outerX, 0), panel->getRelativePosition().getSize()));
        EXPECT_TRUE(outer->isNotClipped());
        EXPECT_TRUE(outer->isVisible());
    }
}

TEST_F(MenuTest, UnitsScaleWithTheScreenHeight) {
    screenWidth = 1920;
    screenHeight = 1080;
    TestMenu* menu = openMenu(1, true);
    EXPECT_EQ(menu->getPanelWidth(), 486);
    EXPECT_EQ(menu->getItemWidth(), 486 - 59); // 39 units: 58.5 rounds up
    EXPECT_EQ(menu->getItemPosition(0).Y, 1080 - 615);
}

TEST_F(MenuTest, TitleBarAndBackRowStackAboveTheList) {
    TestMenu* menu = openMenu(2);
    GUIFreeTypeText* title = menu->getTitleText();
    const s32 textHeight = title->getRelativePosition().getHeight();
    EXPECT_GT(textHeight, 0);
    EXPECT_EQ(title->getRelativePosition().LowerRightCorner.Y, 720 - 10 - 410);
    EXPECT_EQ(title->getRelativePosition().UpperLeftCorner.X, 324 - 285 - 25);
    EXPECT_EQ(menu->getTitleBar()->getRelativePosition(),
              core::recti(-128, 300 - textHeight, -128 + 128 + 324, 300));
    EXPECT_TRUE(menu->getTitleBar()->getTileImage()) << "the bar repeats its picture";
    EXPECT_TRUE(menu->getTitleBar()->isNotClipped());
    // The title draws over its bar.
    int at = 0, titleAt = -1, barAt = -1;
    for (gui::IGUIElement* child : menu->getChildren()) {
        titleAt = child == title ? at : titleAt;
        barAt = child == menu->getTitleBar() ? at : barAt;
        ++at;
    }
    EXPECT_GT(titleAt, barAt);
    EXPECT_EQ(menu->getBackButton()->getRelativePosition().UpperLeftCorner,
              core::position2di(18, 300 - textHeight - 30));
    EXPECT_STREQ(menu->getBackButton()->getCaptionText()->getOwnText().c_str(), L"Back");
    EXPECT_EQ(menu->getBackButton()->getCaptionText()->getHorizontalAlignment(), gui::EGUIA_LOWERRIGHT);
}

// The list knows which of its children holds the focus, counted from its first child; the
// pointer over the list itself does not take the focus.
TEST_F(MenuTest, TheListKnowsWhichOfItsChildrenIsFocused) {
    TestMenu* menu = openMenu(3);
    settle(menu);
    GUIScrollList* list = menu->getScrollList();
    EXPECT_FALSE(list->getFocusOnHover());
    for (const int focused : {1, 2, 0}) {
        SCOPED_TRACE(focused);
        menu->setFocusedElement(menu->row(focused));
        postRenderAll();
        s32 expected = 0;
        for (gui::IGUIElement* child : list->getChildren()) {
            if (child == menu->row(focused))
                break;
            ++expected;
        }
        ASSERT_LT(expected, static_cast<s32>(list->getChildren().size()));
        EXPECT_EQ(list->getFocusedIndex(), expected);
    }
}

TEST_F(MenuTest, NavigatesUpDownAndBack) {
    TestMenu* menu = openMenu(3);
    settle(menu);
    EXPECT_EQ(screenManager->getTopScreenFocus(), menu->row(0));
    sendKey(screenManager->getTopScreenFocus(), MenuKey::Down);
    EXPECT_EQ(screenManager->getTopScreenFocus(), menu->row(1));
    sendKey(screenManager->getTopScreenFocus(), MenuKey::Down);
    sendKey(screenManager->getTopScreenFocus(), MenuKey::Down);
    EXPECT_EQ(screenManager->getTopScreenFocus(), menu->row(2)); // no wrap
    sendKey(screenManager->getTopScreenFocus(), MenuKey::Up);
    sendKey(screenManager->getTopScreenFocus(), MenuKey::Up);
    sendKey(screenManager->getTopScreenFocus(), MenuKey::Up);
    EXPECT_EQ(screenManager->getTopScreenFocus(), menu->getBackButton());
    EXPECT_EQ(soundCount(soundMenuHover), 5);
    // From the back row, down goes through the list to the row it last focused.
    postRenderAll();
    sendKey(screenManager->getTopScreenFocus(), MenuKey::Down);
    EXPECT_EQ(screenManager->getTopScreenFocus(), menu->row(0));

    // The back code runs the back action, and then still reaches the screen's parent.
    auto* parent = new RecordingParent(environment, root());
    parent->drop();
    parent->addChild(menu);
    sendKey(screenManager->getTopScreenFocus(), MenuKey::Back);
    ASSERT_EQ(menu->backs.size(), 1u);
    EXPECT_EQ(menu->backs[0], nullptr);
    EXPECT_EQ(parent->events.size(), 1u);
    // The back row's click runs it with the row.
    menu->getBackButton()->click();
    ASSERT_EQ(menu->backs.size(), 2u);
    EXPECT_EQ(menu->backs[1], menu->getBackButton());
}

TEST_F(MenuTest, TooltipShowsTheFocusedRowsDescription) {
    TestMenu* menu = openMenu(3);
    settle(menu);
    GUIFreeTypeText* tip = menu->getTooltipText();
    EXPECT_TRUE(tip->isVisible());
    EXPECT_STREQ(tip->getOwnText().c_str(), L"About row 0");
    const s32 bottom = 720 - 36;
    EXPECT_EQ(tip->getRelativePosition().LowerRightCorner.Y, bottom);
    EXPECT_EQ(tip->getRelativePosition().UpperLeftCorner.Y, bottom - 25);
    EXPECT_EQ(menu->getTooltipBar()->getRelativePosition().UpperLeftCorner.Y, bottom - 25);

    // A description of two lines raises the line by two units of 25.
    menu->row(1)->setToolTipText(L"A description long enough to need a second line below the first one on this screen "
                                 L"of twelve hundred and eighty pixels");
    sendKey(menu->row(0), MenuKey::Down);
    postRenderAll();
    ASSERT_EQ(tip->getLineCount(), 2u);
    EXPECT_EQ(tip->getRelativePosition().UpperLeftCorner.Y, bottom - 50);
    EXPECT_EQ(menu->getTooltipBar()->getRelativePosition().UpperLeftCorner.Y, bottom - 50);

    menu->row(2)->setToolTipText(L"");
    sendKey(menu->row(1), MenuKey::Down);
    postRenderAll();
    EXPECT_FALSE(tip->isVisible());
    EXPECT_FALSE(menu->getTooltipBar()->isVisible());
}

TEST_F(MenuTest, NoTooltipWhileTheScreenFades) {
    TestMenu* menu = openMenu(2);
    settle(menu);
    menu->startFadeIn(0.5f);
    postRenderAll();
    EXPECT_FALSE(menu->getTooltipText()->isVisible());
}

TEST_F(MenuTest, ScreenSlidesInWithItsFade) {
    TestMenu* left = openMenu(1);
    left->startFadeIn(0.2f);
    setFrameDelta(0.05f);
    postRenderAll();
    // Smoothstep at t = 0.25 of the panel width.
    const f32 t = 0.25f * 0.25f * (3 - 2 * 0.25f);
    EXPECT_EQ(left->getRelativePosition().UpperLeftCorner.X, static_cast<s32>(-(1.0f - t) * 324));
    for (int i = 0; i < 5; ++i)
        postRenderAll();
    EXPECT_EQ(left->getFadeState(), GUIScreen::Shown);
    EXPECT_EQ(left->getRelativePosition().UpperLeftCorner.X, 0);
    left->startFadeOut(0.2f);
    postRenderAll();
    EXPECT_EQ(left->getRelativePosition().UpperLeftCorner.X, static_cast<s32>(-t * 324));
    EXPECT_FALSE(left->row(0)->isEnabled());
}

// A right panel leaves to the right, and its tooltip stays clear of it.
TEST_F(MenuTest, ARightPanelLeavesToTheRightWithItsTooltipBesideIt) {
    TestMenu* right = openMenu(1, true);
    right->startFadeIn(0.0f);
    right->OnPostRender(0);
    right->OnPostRender(0);
    ASSERT_EQ(right->getFadeState(), GUIScreen::Shown);
    EXPECT_EQ(right->getTooltipText()->getRelativePosition().LowerRightCorner.X, 1280 - 64 - 324);
    setFrameDelta(0.05f);
    right->startFadeOut(0.2f);
    right->OnPostRender(0);
    const f32 t = 0.25f * 0.25f * (3 - 2 * 0.25f);
    EXPECT_EQ(right->getRelativePosition().UpperLeftCorner.X, static_cast<s32>(t * 324));
}

// Down from the back row enters the list (which hands the focus to its row); a gap left
// under a row moves the rows below it down.
TEST_F(MenuTest, DownFromTheBackRowEntersTheListAndGapsPushRowsDown) {
    TestMenu* menu = openMenu(3);
    EXPECT_EQ(menu->getBackButton()->getNeighbour(MenuKey::Down), menu->getScrollList());
    const core::position2di before = menu->getItemPosition(2);
    menu->setGapAfter(1, 5);
    EXPECT_EQ(menu->getItemPosition(2), before + core::position2di(0, 5));
}

// Options opened from the main menu show the calibration preview and take the menu camera;
// opened during a level they do neither.
TEST_F(MenuTest, OptionsFromTheMainMenuShowThePreviewAndTakeTheMenuCamera) {
    const auto previewBefore = guiHooks().menus.showCalibrationPreview;
    const auto cameraBefore = guiHooks().camera.menuCamera;
    int previews = 0;
    guiHooks().menus.showCalibrationPreview = [&previews] { ++previews; };
    scene::ISceneNode* camera = device->getSceneManager()->addEmptySceneNode();
    guiHooks().camera.menuCamera = [camera] { return camera; };
    for (const bool fromMainMenu : {true, false}) {
        SCOPED_TRACE(fromMainMenu);
        previews = 0;
        auto* menu = new TestMenu(environment, false, L"Options", TestMenu::numberedRows(1), fromMainMenu);
        menu->drop();
        // Shown, the options hold the game's input back.
        menu->PassInput = true;
        menu->onShow();
        EXPECT_FALSE(menu->PassInput);
        menu->OnPostRender(0);
        EXPECT_EQ(previews > 0, fromMainMenu);
        EXPECT_EQ(menu->getMenuCamera(), fromMainMenu ? camera : nullptr);
        menu->remove();
    }
    guiHooks().menus.showCalibrationPreview = previewBefore;
    guiHooks().camera.menuCamera = cameraBefore;
}

TEST_F(MenuTest, OverscanKeepsARightPanelOffTheEdge) {
    screenManager->Overscan = true;
    TestMenu* right = openMenu(1, true);
    right->startFadeIn(0.2f);
    right->OnPostRender(0);
    // The slide starts a panel width plus the margin out.
    EXPECT_EQ(right->getRelativePosition().UpperLeftCorner.X, 324 + 64 - 64);
    right->startFadeIn(0.0f);
    right->OnPostRender(0);
    right->OnPostRender(0);
    EXPECT_EQ(right->getRelativePosition().UpperLeftCorner.X, -64);
}

TEST_F(MenuTest, InsertingAtTheEndsLeavesTheLinks) {
    TestMenu* menu = openMenu(3);
    GUIMenuItem* first = menu->addMenuItem(L"New first");
    menu->removeItem(first);
    menu->insertItem(first, 0);
    EXPECT_EQ(first->getNeighbour(MenuKey::Down), nullptr);
    GUIMenuItem* middle = menu->addMenuItem(L"Middle");
    menu->removeItem(middle);
    menu->insertItem(middle, 1); // the first place between two rows
    EXPECT_EQ(middle->getNeighbour(MenuKey::Up), first);
    EXPECT_EQ(middle->getNeighbour(MenuKey::Down), menu->row(2));
    EXPECT_EQ(first->getNeighbour(MenuKey::Down), middle);
    EXPECT_EQ(menu->row(2)->getNeighbour(MenuKey::Up), middle);
    menu->linkItemNeighbours();
    EXPECT_EQ(first->getNeighbour(MenuKey::Down), menu->row(1));
    EXPECT_EQ(first->getNeighbour(MenuKey::Up), menu->getBackButton());
    menu->removeItem(nullptr);
    EXPECT_EQ(menu->getItems().size(), 5u);
}

TEST_F(MenuTest, LanguageChangeRebuildsTheRows) {
    TestMenu* menu = openMenu(2);
    ASSERT_EQ(language->languageChanged.size(), 1u);
    GUIButton* old = menu->row(0);
    ASSERT_TRUE(language->setLanguage(language->getCurrentLanguage().name.c_str()));
    EXPECT_EQ(menu->builds, 2);
    ASSERT_EQ(menu->getItems().size(), 2u);
    EXPECT_NE(menu->row(0), old);
    EXPECT_FALSE(old->isVisible());
    EXPECT_FALSE(old->isEnabled());
}

// --- the scroll list -------------------------------------------------------------------------------

// The rows' list is placed when the rows are built, after the title: it stands in front of
// the title text and bar, drawn over them and picked first by the pointer.
TEST_F(MenuTest, TheRowsListStandsInFrontOfTheTitleBuiltBeforeIt) {
    TestMenu* menu = openMenu(2);
    const auto place = [menu](const gui::IGUIElement* element) {
        int at = 0;
        for (const gui::IGUIElement* child : menu->getChildren()) {
            if (child == element)
                return at;
            ++at;
        }
        return -1;
    };
    const int list = place(menu->getScrollList());
    ASSERT_GE(list, 0);
    EXPECT_GT(list, place(menu->getTitleText()));
    EXPECT_GT(list, place(menu->getTitleBar()));
    EXPECT_LT(list, place(menu->getBackButton()))
        << "what is built after the rows stays in front of them";
}

TEST_F(MenuTest, TwelveRowsFitWithoutScrolling) {
    TestMenu* menu = openMenu(12);
    settle(menu);
    GUIScrollList* list = menu->getScrollList();
    EXPECT_EQ(static_cast<s32>(list->getType()), GuiType::ScrollList);
    EXPECT_FALSE(list->getUpButton()->isVisible());
    EXPECT_FALSE(list->getDownButton()->isVisible());
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(menu->row(i)->getRelativePosition().UpperLeftCorner,
                  menu->getItemPosition(static_cast<u32>(i)) + core::position2di(1, 0))
            << i;
}

TEST_F(MenuTest, FocusBelowTheWindowScrollsOneRowAFrame) {
    TestMenu* menu = openMenu(20);
    settle(menu);
    GUIScrollList* list = menu->getScrollList();
    EXPECT_EQ(list->getItemCount(), 20);
    EXPECT_EQ(list->getVisibleCount(), 12);
    EXPECT_TRUE(list->getUpButton()->isVisible());
    EXPECT_FALSE(list->getUpButton()->isEnabled());
    EXPECT_TRUE(list->getDownButton()->isEnabled());
    EXPECT_EQ(menu->row(12)->getRelativePosition().UpperLeftCorner.Y, -5000);
    for (int i = 0; i < 14; ++i)
        sendKey(screenManager->getTopScreenFocus(), MenuKey::Down);
    EXPECT_EQ(screenManager->getTopScreenFocus(), menu->row(14));
    postRenderAll();
    EXPECT_EQ(list->getFirstVisible(), 1);
    postRenderAll();
    postRenderAll();
    EXPECT_EQ(list->getFirstVisible(), 3);
    postRenderAll();
    EXPECT_EQ(list->getFirstVisible(), 3);
    EXPECT_EQ(menu->row(14)->getRelativePosition().UpperLeftCorner,
              menu->getItemPosition(11) + core::position2di(1, 0));
    EXPECT_EQ(menu->row(2)->getRelativePosition().UpperLeftCorner.Y, -5000);
    EXPECT_TRUE(list->getUpButton()->isEnabled());

    for (int i = 0; i < 5; ++i)
        sendKey(screenManager->getTopScreenFocus(), MenuKey::Down);
    for (int i = 0; i < 6; ++i)
        postRenderAll();
    EXPECT_EQ(list->getFirstVisible(), 8);
    EXPECT_FALSE(list->getDownButton()->isEnabled());
}

// The wheel scrolls through the input manager (ScreenInputTest).
TEST_F(MenuTest, ArrowButtonsScroll) {
    TestMenu* menu = openMenu(20);
    settle(menu);
    GUIScrollList* list = menu->getScrollList();
    // No row holds the focus (a focused row pulls the window back to itself).
    menu->setFocusedElement(nullptr);
    for (int i = 0; i < 6; ++i)
        list->onScrollButton(list->getDownButton());
    EXPECT_EQ(list->getFirstVisible(), 6);
    list->onScrollButton(list->getUpButton());
    EXPECT_EQ(list->getFirstVisible(), 5);
    list->onScrollButton(list->getDownButton());
    list->onScrollButton(list->getDownButton());
    list->onScrollButton(list->getDownButton());
    list->onScrollButton(list->getDownButton());
    EXPECT_EQ(list->getFirstVisible(), 8);
    // The arrows click like buttons (the up arrow takes clicks once the rows have moved).
    postRenderAll();
    list->getUpButton()->click();
    EXPECT_EQ(list->getFirstVisible(), 7);
    // The down arrow stands under the last row shown.
    postRenderAll();
    const s32 last = list->getFirstVisible() + list->getVisibleCount() - 1;
    EXPECT_EQ(list->getDownButton()->getRelativePosition().UpperLeftCorner.Y,
              menu->row(last)->getRelativePosition().LowerRightCorner.Y);
}

// A wheel turned towards the player (negative steps) moves a long list down, away moves it up.
TEST_F(MenuTest, TheWheelScrollsALongListItsWay) {
    useInput();
    TestMenu* menu = openMenu(20);
    settle(menu);
    GUIScrollList* list = menu->getScrollList();
    menu->setFocusedElement(nullptr);
    MouseState& mouse = inputManager->getMouse()->systemMouse();
    mouse.wheel = -3.0f;
    postRenderAll();
    EXPECT_EQ(list->getFirstVisible(), 3);
    mouse.wheel = 1.0f;
    postRenderAll();
    EXPECT_EQ(list->getFirstVisible(), 2);
    mouse.wheel = 0.0f;
}

TEST_F(MenuTest, RowsSlideInFromThePanelSide) {
    TestMenu* menu = openMenu(12);
    GUIScrollList* list = menu->getScrollList();
    list->setAppear(0.3f);
    postRenderAll();
    const s32 home = menu->getItemPosition(0).X + 1;
    const s32 top = menu->row(0)->getRelativePosition().UpperLeftCorner.X;
    const s32 bottom = menu->row(11)->getRelativePosition().UpperLeftCorner.X;
    // A left panel slides its rows in from the left; rows higher in the window arrive first.
    EXPECT_LT(bottom, top);
    EXPECT_LE(top, home);
    settle(menu);
    EXPECT_EQ(menu->row(11)->getRelativePosition().UpperLeftCorner.X, home);
    // Sliding moves a row; it keeps its width.
    for (const s32 index : {0, 11})
        EXPECT_EQ(menu->row(index)->getRelativePosition().getWidth(), menu->getItemWidth()) << index;
    // The slide takes 1/1.3 s.
    list->setAppear(0.0f);
    setFrameDelta(0.5f);
    postRenderAll();
    EXPECT_FLOAT_EQ(list->getAppear(), 0.65f);
}

TEST_F(MenuTest, RemovingTheFocusedRowMovesTheFocusOn) {
    TestMenu* menu = openMenu(3);
    settle(menu);
    GUIScrollList* list = menu->getScrollList();
    GUIButton* first = menu->row(0);
    GUIButton* second = menu->row(1);
    list->removeItem(first);
    EXPECT_EQ(menu->getItems().size(), 2u);
    EXPECT_FALSE(first->isVisible());
    EXPECT_EQ(menu->getFocusedElement(), second);
    EXPECT_EQ(list->getItemIndex(menu->row(1)), 1);
    // The last row has no row after it: the list takes the focus.
    list->removeItem(menu->row(1));
    EXPECT_EQ(menu->getFocusedElement(), list);
}

// Whatever hid a delete row's caption or delete button, or disabled the delete button, the
// row's next frame shows and enables it again.
TEST_F(MenuTest, ADeleteRowShowsItsPartsAgainEachFrame) {
    TestMenu* menu = openMenu(1);
    settle(menu);
    auto* row = new GUIDeleteRow(L"Castle", 1, true, environment, menu, core::recti(0, 40, 285, 74));
    row->drop();
    GUIButton* caption = row->getCaptionButton();
    GUIButton* remove = row->getDeleteButton();
    const struct {
        const char* name;
        std::function<void()> spoil;
        std::function<bool()> restored;
    } rows[] = {{"caption hidden", [&] { caption->setVisible(false); }, [&] { return caption->isVisible(); }},
                {"delete hidden", [&] { remove->setVisible(false); }, [&] { return remove->isVisible(); }},
                {"delete disabled", [&] { remove->setEnabled(false); }, [&] { return remove->isEnabled(); }}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        r.spoil();
        ASSERT_FALSE(r.restored());
        row->OnPostRender(0);
        EXPECT_TRUE(r.restored());
    }
}

// A binding row's pictures blend by their alpha channel: the capture bar and its add and
// delete buttons.
TEST_F(MenuTest, ABindingRowsPicturesBlend) {
    auto* heading = new GUIRemapButton(7, L"Grab Object", getCachedFont(fontPath, 22), environment, root(),
                                       core::recti(0, 0, 285, 34));
    heading->drop();
    ButtonMapping mapping;
    auto* row = new GUIOptionRemap(heading, 7, &mapping, environment, root(), core::recti(0, 40, 285, 74));
    row->drop();
    const struct {
        const char* name;
        GUIButton* part;
    } parts[] = {{"capture bar", row->getCaptureBar()}, {"add", row->getAddButton()}, {"delete", row->getDeleteButton()}};
    for (const auto& p : parts)
        EXPECT_TRUE(p.part->isAlphaChannelUsed()) << p.name;
}

} // namespace
