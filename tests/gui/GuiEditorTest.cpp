// The GUI editor: picking, moving on the grid, resizing, nudging, grid and attribute rules,
// saving a moved layout, and copy and paste of an element tree through the clipboard.
#include "GuiFixture.h"
#include "core/Globals.h"

#include "gui/GUIElementFactory.h"
#include "gui/GUIImage.h"
#include "gui/GUIScreen.h"
#include "player/InputManager.h"
#include "gui/GuiLayout.h"
#include "gui/editor/GUIEditWindow.h"
#include "gui/editor/GUIEditor.h"

#include <cstring>
#include <filesystem>

using namespace irr;

namespace {

class GuiEditorTest : public guitest::GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        factory = new GUIElementFactory(environment);
        factory->drop();
        // Tab held: the grid is in use.
        useInput();
        holdTab(true);
        image = new GUIImage(environment, root(), 7, core::recti(23, 47, 123, 147));
        image->drop();
        editor = static_cast<GUIEditor*>(environment->addGUIElement("GUIEditor", root()));
        ASSERT_NE(editor, nullptr);
    }
    static SEvent mouseEvent(EMOUSE_INPUT_EVENT type, s32 x, s32 y, f32 wheel = 0.0f) {
        SEvent event;
        std::memset(static_cast<void*>(&event), 0, sizeof(event));
        event.EventType = EET_MOUSE_INPUT_EVENT;
        event.MouseInput.Event = type;
        event.MouseInput.X = x;
        event.MouseInput.Y = y;
        event.MouseInput.Wheel = wheel;
        return event;
    }
    bool mouse(EMOUSE_INPUT_EVENT type, s32 x, s32 y, f32 wheel = 0.0f) {
        return editor->OnEvent(mouseEvent(type, x, y, wheel));
    }
    // A click on the point selects what lies there.
    void click(s32 x, s32 y) {
        mouse(EMIE_LMOUSE_PRESSED_DOWN, x, y);
        mouse(EMIE_LMOUSE_LEFT_UP, x, y);
    }
    bool key(EKEY_CODE code, bool down, bool control = false) {
        SEvent event;
        std::memset(static_cast<void*>(&event), 0, sizeof(event));
        event.EventType = EET_KEY_INPUT_EVENT;
        event.KeyInput.Key = code;
        event.KeyInput.PressedDown = down;
        event.KeyInput.Control = control;
        return editor->OnEvent(event);
    }
    // Picks the image, then drags it from (30, 50) by the offset.
    void drag(s32 dx, s32 dy) {
        mouse(EMIE_LMOUSE_PRESSED_DOWN, 60, 90);
        mouse(EMIE_LMOUSE_LEFT_UP, 60, 90);
        ASSERT_EQ(editor->getSelectedElement(), image);
        editor->draw();
        mouse(EMIE_LMOUSE_PRESSED_DOWN, 60, 90);
        EXPECT_EQ(editor->getEditMode(), GUIEditor::Move);
        mouse(EMIE_MOUSE_MOVED, 60 + dx, 90 + dy);
        mouse(EMIE_LMOUSE_LEFT_UP, 60 + dx, 90 + dy);
    }

    // Tab goes down or up, and the frame ends (held, or up).
    void holdTab(bool held) {
        inputKey(KEY_TAB, held);
        inputManager->endFrame();
    }

    test::TempDir dir;
    GUIElementFactory* factory = nullptr;
    GUIImage* image = nullptr;
    GUIEditor* editor = nullptr;
};

TEST_F(GuiEditorTest, TheEditorCoversItsParentAndHidesItsToolWindow) {
    EXPECT_TRUE(editor->isSubElement());
    EXPECT_EQ(editor->getAbsolutePosition(), root()->getAbsolutePosition());
    ASSERT_NE(editor->getToolWindow(), nullptr);
    EXPECT_FALSE(editor->getToolWindow()->isVisible());
    EXPECT_STREQ(editor->getToolWindow()->getTypeName(), "GUIEditWindow");
    editor->setGridSize(core::dimension2di(1, 0));
    EXPECT_EQ(editor->getGridSize(), core::dimension2di(2, 2));
    io::IAttributes* attributes = this->attributes();
    editor->setGridSize(core::dimension2di(16, 8));
    editor->setDrawGrid(true);
    editor->serializeAttributes(attributes, nullptr);
    editor->setGridSize(core::dimension2di(10, 10));
    editor->setDrawGrid(false);
    editor->deserializeAttributes(attributes, nullptr);
    EXPECT_EQ(editor->getGridSize(), core::dimension2di(16, 8));
    EXPECT_TRUE(editor->isDrawingGrid());
}

TEST_F(GuiEditorTest, DraggingSnapsTheCornerToTheGridWhileTabIsHeld) {
    drag(6, 1);
    EXPECT_EQ(image->getRelativePosition().UpperLeftCorner, core::position2di(20, 40));
    EXPECT_EQ(image->getRelativePosition().getSize(), core::dimension2di(100, 100));
    EXPECT_EQ(editor->getEditMode(), GUIEditor::None);
    EXPECT_TRUE(editor->getToolWindow()->isVisible());
    holdTab(false);
    drag(7, 3);
    EXPECT_EQ(image->getRelativePosition().UpperLeftCorner, core::position2di(27, 43));
    // A grid wider than high snaps each axis to its own step: (29, 48) to (16, 48).
    holdTab(true);
    editor->setGridSize(core::dimension2di(16, 8));
    image->setRelativePosition(core::recti(23, 47, 123, 147));
    drag(6, 1);
    EXPECT_EQ(image->getRelativePosition().UpperLeftCorner, core::position2di(16, 48));
}

TEST_F(GuiEditorTest, ArrowKeysNudgeOnReleaseAndHandlesResize) {
    drag(0, 0);
    const core::position2di start = image->getRelativePosition().UpperLeftCorner;
    EXPECT_FALSE(key(KEY_LEFT, true));
    EXPECT_EQ(image->getRelativePosition().UpperLeftCorner, start);
    EXPECT_TRUE(key(KEY_LEFT, false));
    EXPECT_EQ(image->getRelativePosition().UpperLeftCorner, start + core::position2di(-1, 0));
    // The bottom-right handle resizes.
    holdTab(false);
    const core::recti r = image->getAbsolutePosition();
    mouse(EMIE_MOUSE_MOVED, r.LowerRightCorner.X - 1, r.LowerRightCorner.Y - 1);
    editor->draw();
    mouse(EMIE_LMOUSE_PRESSED_DOWN, r.LowerRightCorner.X - 1, r.LowerRightCorner.Y - 1);
    EXPECT_EQ(editor->getEditMode(), GUIEditor::ResizeBottomRight);
    mouse(EMIE_MOUSE_MOVED, r.LowerRightCorner.X + 50, r.LowerRightCorner.Y + 20);
    mouse(EMIE_LMOUSE_LEFT_UP, r.LowerRightCorner.X + 50, r.LowerRightCorner.Y + 20);
    EXPECT_EQ(image->getAbsolutePosition().LowerRightCorner, r.LowerRightCorner + core::position2di(50, 20));
}

// The editor passes the mouse on while it edits; only a press on its own tool window is
// taken (and focuses what lies there).
TEST_F(GuiEditorTest, OnlyAPressOnTheToolWindowIsTakenFromTheMouse) {
    EXPECT_FALSE(mouse(EMIE_MOUSE_MOVED, 60, 90));
    EXPECT_FALSE(mouse(EMIE_LMOUSE_PRESSED_DOWN, 60, 90));
    EXPECT_EQ(editor->getSelectedElement(), image);
    EXPECT_FALSE(mouse(EMIE_LMOUSE_LEFT_UP, 60, 90));
    EXPECT_FALSE(mouse(EMIE_MOUSE_WHEEL, 0, 0, -1.0f));
    EXPECT_FALSE(mouse(EMIE_RMOUSE_PRESSED_DOWN, 60, 90));
    GUIEditWindow* window = editor->getToolWindow();
    ASSERT_TRUE(window->isVisible());
    window->setRelativePosition(core::position2di(150, 10));
    const core::position2di inside = window->getAbsolutePosition().UpperLeftCorner + core::position2di(20, 60);
    ASSERT_TRUE(root()->getAbsolutePosition().isPointInside(inside));
    EXPECT_TRUE(mouse(EMIE_LMOUSE_PRESSED_DOWN, inside.X, inside.Y));
    EXPECT_TRUE(window->isVisible()) << "a press on the window keeps it up";
    const gui::IGUIElement* focus = environment->getFocus();
    while (focus && focus != window)
        focus = focus->getParent();
    EXPECT_EQ(focus, window);
    EXPECT_EQ(editor->getSelectedElement(), image) << "the selection stays";
}

TEST_F(GuiEditorTest, AClickOnAScreenPicksWhatLiesOnItOrNothing) {
    auto* screen = new GUIScreen(environment, root(), 11, core::recti(0, 0, 400, 400));
    screen->drop();
    root()->bringToFront(editor);
    mouse(EMIE_LMOUSE_PRESSED_DOWN, 300, 300);
    EXPECT_EQ(editor->getSelectedElement(), nullptr);
    auto* onScreen = new GUIImage(environment, screen, 8, core::recti(250, 250, 350, 350));
    onScreen->drop();
    mouse(EMIE_LMOUSE_PRESSED_DOWN, 300, 300);
    EXPECT_EQ(editor->getSelectedElement(), onScreen);
}

TEST_F(GuiEditorTest, AMovedElementIsSavedAndReadBackMoved) {
    const std::string path = dir.file("layout.xml");
    ASSERT_TRUE(saveGuiLayout(environment, path.c_str(), nullptr));
    image->remove();
    image = nullptr;
    ASSERT_TRUE(loadGuiLayout(environment, path.c_str(), nullptr));
    image = static_cast<GUIImage*>(root()->getElementFromId(7));
    ASSERT_NE(image, nullptr);
    root()->bringToFront(editor);
    drag(6, 1);
    ASSERT_TRUE(saveGuiLayout(environment, path.c_str(), nullptr));
    image->remove();
    ASSERT_TRUE(loadGuiLayout(environment, path.c_str(), nullptr));
    gui::IGUIElement* loaded = root()->getElementFromId(7);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->getRelativePosition().UpperLeftCorner, core::position2di(20, 40));
    // The editor itself never lands in a layout.
    EXPECT_EQ(test::readFileBytes(path).find("GUIEditor"), std::string::npos);
}

TEST_F(GuiEditorTest, CopyAndPasteDuplicateTheSelectionInsideItself) {
    drag(0, 0);
    EXPECT_TRUE(key(KEY_KEY_C, false, true));
    EXPECT_NE(getEditorClipboardText().find("GUIImage"), std::string::npos);
    EXPECT_TRUE(key(KEY_KEY_V, false, true));
    ASSERT_EQ(image->getChildren().size(), 1u);
    gui::IGUIElement* copy = *image->getChildren().begin();
    EXPECT_STREQ(copy->getTypeName(), "GUIImage");
    EXPECT_EQ(copy->getID(), 7);
    // A clipboard text that is not GUI XML loads nothing; one cut short is read safely.
    copyToEditorClipboard("plain words");
    editor->setSelectedElement(nullptr);
    const std::size_t before = root()->getChildren().size();
    editor->pasteXML();
    EXPECT_EQ(root()->getChildren().size(), before);
    copyToEditorClipboard("<?xml version=\"1.0\"?><element type=\"GUIImage\"><attributes><int name=\"Id\" val");
    editor->pasteXML();
}

TEST_F(GuiEditorTest, EachHandleMovesOnlyItsOwnEdgesAndTheInsideMovesTheWhole) {
    holdTab(false);
    const core::recti start(23, 47, 123, 147);
    // Pressed on the handle, moved by (10, 6), released.
    const struct {
        core::position2di press;
        s32 mode;
        core::recti result;
    } rows[] = {
        {{24, 48}, GUIEditor::ResizeTopLeft, {34, 54, 123, 147}},
        {{73, 48}, GUIEditor::ResizeTop, {23, 54, 123, 147}},
        {{121, 48}, GUIEditor::ResizeTopRight, {23, 54, 131, 147}},
        {{121, 97}, GUIEditor::ResizeRight, {23, 47, 131, 147}},
        {{121, 145}, GUIEditor::ResizeBottomRight, {23, 47, 131, 151}},
        {{73, 145}, GUIEditor::ResizeBottom, {23, 47, 123, 151}},
        {{24, 145}, GUIEditor::ResizeBottomLeft, {34, 47, 123, 151}},
        {{24, 97}, GUIEditor::ResizeLeft, {34, 47, 123, 147}},
        {{60, 90}, GUIEditor::Move, {33, 53, 133, 153}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.mode);
        image->setRelativePosition(start);
        click(60, 90);
        ASSERT_EQ(editor->getSelectedElement(), image);
        // The handles stand where the last drawing put them.
        mouse(EMIE_MOUSE_MOVED, row.press.X, row.press.Y);
        editor->draw();
        mouse(EMIE_LMOUSE_PRESSED_DOWN, row.press.X, row.press.Y);
        EXPECT_EQ(editor->getEditMode(), row.mode);
        mouse(EMIE_MOUSE_MOVED, row.press.X + 10, row.press.Y + 6);
        mouse(EMIE_LMOUSE_LEFT_UP, row.press.X + 10, row.press.Y + 6);
        EXPECT_EQ(image->getAbsolutePosition(), row.result);
        EXPECT_EQ(editor->getEditMode(), GUIEditor::None);
    }
    // Outside the selection nothing is dragged: the press picks again.
    image->setRelativePosition(start);
    mouse(EMIE_LMOUSE_PRESSED_DOWN, 300, 300);
    EXPECT_EQ(editor->getEditMode(), GUIEditor::None);
    EXPECT_EQ(editor->getSelectedElement(), nullptr);
}

TEST_F(GuiEditorTest, TheWheelStepsTheSelectionThroughTheSiblingsPastTheEditor) {
    auto* other = new GUIImage(environment, root(), 9, core::recti(200, 47, 300, 147));
    other->drop();
    click(60, 90);
    ASSERT_EQ(editor->getSelectedElement(), image);
    // Down: the next sibling, the editor (a sub-element) left out.
    mouse(EMIE_MOUSE_WHEEL, 0, 0, -1.0f);
    EXPECT_EQ(editor->getSelectedElement(), other);
    mouse(EMIE_MOUSE_WHEEL, 0, 0, -1.0f);
    EXPECT_EQ(editor->getSelectedElement(), other);
    // Up: the previous one.
    mouse(EMIE_MOUSE_WHEEL, 0, 0, 1.0f);
    EXPECT_EQ(editor->getSelectedElement(), image);
    // From no selection, down takes the parent's first child and up its last.
    editor->setSelectedElement(nullptr);
    mouse(EMIE_MOUSE_WHEEL, 0, 0, -1.0f);
    EXPECT_EQ(editor->getSelectedElement(), *root()->getChildren().begin());
    editor->setSelectedElement(nullptr);
    mouse(EMIE_MOUSE_WHEEL, 0, 0, 1.0f);
    EXPECT_EQ(editor->getSelectedElement(), other);
    // From the middle of three, one step each way.
    auto* third = new GUIImage(environment, root(), 10, core::recti(400, 47, 500, 147));
    third->drop();
    editor->setSelectedElement(other);
    mouse(EMIE_MOUSE_WHEEL, 0, 0, -1.0f);
    EXPECT_EQ(editor->getSelectedElement(), third);
    editor->setSelectedElement(other);
    mouse(EMIE_MOUSE_WHEEL, 0, 0, 1.0f);
    EXPECT_EQ(editor->getSelectedElement(), image);
}

TEST_F(GuiEditorTest, MenuCommandsRaiseReparentCutDeleteAndCreate) {
    auto* other = new GUIImage(environment, root(), 9, core::recti(200, 47, 300, 147));
    other->drop();
    click(60, 90);
    ASSERT_EQ(editor->getSelectedElement(), image);
    // Bring to front.
    editor->runCommand(8);
    EXPECT_EQ(*root()->getChildren().getLast(), image);
    // Choose a parent: the press picks the child, the release over another element makes
    // that its parent.
    editor->runCommand(7);
    EXPECT_EQ(editor->getEditMode(), GUIEditor::ChooseParent);
    mouse(EMIE_LMOUSE_PRESSED_DOWN, 60, 90);
    mouse(EMIE_LMOUSE_LEFT_UP, 250, 100);
    EXPECT_EQ(image->getParent(), other);
    EXPECT_EQ(editor->getEditMode(), GUIEditor::None);
    // Delete.
    editor->setSelectedElement(image);
    editor->runCommand(6);
    EXPECT_EQ(editor->getSelectedElement(), nullptr);
    EXPECT_TRUE(other->getChildren().empty());
    // Cut: copied, then deleted.
    copyToEditorClipboard("");
    editor->setSelectedElement(other);
    editor->runCommand(3);
    EXPECT_NE(getEditorClipboardText().find("GUIImage"), std::string::npos);
    EXPECT_EQ(root()->getElementFromId(9, true), nullptr);
    // New elements: the types of every factory in turn, a hundred square at the last press.
    mouse(EMIE_LMOUSE_PRESSED_DOWN, 40, 60);
    mouse(EMIE_LMOUSE_LEFT_UP, 40, 60);
    ASSERT_GE(environment->getRegisteredGUIElementFactoryCount(), 2u);
    const s32 firstCount = environment->getGUIElementFactory(0)->getCreatableGUIElementTypeCount();
    const struct {
        s32 command;
        const c8* type;
    } rows[] = {
        {12, environment->getGUIElementFactory(0)->getCreateableGUIElementTypeName(0)},
        {12 + firstCount + 2, environment->getGUIElementFactory(1)->getCreateableGUIElementTypeName(2)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.type);
        editor->setSelectedElement(nullptr);
        const std::size_t before = root()->getChildren().size();
        editor->runCommand(row.command);
        ASSERT_EQ(root()->getChildren().size(), before + 1);
        gui::IGUIElement* made = *root()->getChildren().getLast();
        EXPECT_STREQ(made->getTypeName(), row.type);
        EXPECT_EQ(made->getRelativePosition(), core::recti(40, 60, 140, 160));
    }
}

// The title stands in the title bar, in from its left and top by the skin's text distances and
// clear of the window buttons' width on the right.
TEST_F(GuiEditorTest, TheToolWindowsTitleStandsInItsTitleBar) {
    struct TitleFont : gui::IGUIFont {
        void draw(const core::stringw& text, const core::recti& position, video::SColor, bool, bool vcenter,
                  const core::recti*) override {
            texts.push_back(text.c_str());
            rects.push_back(position);
            centredVertically.push_back(vcenter);
        }
        core::dimension2du getDimension(const wchar_t*) const override { return core::dimension2du(10, 10); }
        s32 getCharacterFromPos(const wchar_t*, s32) const override { return -1; }
        gui::EGUI_FONT_TYPE getType() const override { return gui::EGFT_CUSTOM; }
        void setKerningWidth(s32) override {}
        void setKerningHeight(s32) override {}
        s32 getKerningWidth(const wchar_t*, const wchar_t*) const override { return 0; }
        s32 getKerningHeight() const override { return 0; }
        void setInvisibleCharacters(const wchar_t*) override {}
        std::vector<std::wstring> texts;
        std::vector<core::recti> rects;
        std::vector<bool> centredVertically;
    };
    auto* window = new GUIEditWindow(environment, root(), core::recti(0, 0, 10, 10));
    window->drop();
    gui::IGUISkin* skin = environment->getSkin();
    gui::IGUIFont* before = skin->getFont(gui::EGDF_WINDOW);
    if (before)
        before->grab();
    auto* font = new TitleFont;
    skin->setFont(font, gui::EGDF_WINDOW);
    window->draw();
    const core::recti clip = window->getAbsoluteClippingRect();
    core::recti bar = skin->draw3DWindowBackground(window, true, skin->getColor(gui::EGDC_ACTIVE_BORDER),
                                                   window->getAbsolutePosition(), &clip);
    bar.UpperLeftCorner.X += skin->getSize(gui::EGDS_TITLEBARTEXT_DISTANCE_X);
    bar.UpperLeftCorner.Y += skin->getSize(gui::EGDS_TITLEBARTEXT_DISTANCE_Y);
    bar.LowerRightCorner.X -= skin->getSize(gui::EGDS_WINDOW_BUTTON_WIDTH) + 5;
    ASSERT_FALSE(font->texts.empty());
    EXPECT_EQ(font->texts[0], L"GUI Editor");
    EXPECT_EQ(font->rects[0], bar);
    EXPECT_TRUE(font->centredVertically[0]);
    skin->setFont(before, gui::EGDF_WINDOW);
    if (before)
        before->drop();
    font->drop();
}

TEST_F(GuiEditorTest, TheToolWindowIsDraggedByItsOwnAreaAndStaysWithinItsParent) {
    auto* window = new GUIEditWindow(environment, root(), core::recti(0, 0, 10, 10));
    window->drop();
    ASSERT_EQ(window->getAbsolutePosition(), core::recti(50, 50, 250, 500));
    // Titled, with one tab page a pixel in from its sides, below the title bar.
    EXPECT_STREQ(window->getText(), L"GUI Editor");
    ASSERT_EQ(window->getChildren().size(), 1u);
    const s32 titleBar = environment->getSkin()->getSize(gui::EGDS_WINDOW_BUTTON_WIDTH);
    EXPECT_EQ((*window->getChildren().begin())->getRelativePosition(), core::recti(1, titleBar + 5, 199, 449));
    const auto send = [&](EMOUSE_INPUT_EVENT type, s32 x, s32 y) { return window->OnEvent(mouseEvent(type, x, y)); };
    EXPECT_TRUE(send(EMIE_LMOUSE_PRESSED_DOWN, 60, 52));
    EXPECT_TRUE(window->isDragging());
    EXPECT_TRUE(send(EMIE_MOUSE_MOVED, 80, 62));
    EXPECT_EQ(window->getAbsolutePosition().UpperLeftCorner, core::position2di(70, 60));
    // A pointer on the parent's outermost pixels leaves it where it is; one further in moves it.
    const core::recti area = root()->getAbsolutePosition();
    const s32 left = area.UpperLeftCorner.X, top = area.UpperLeftCorner.Y;
    const s32 right = area.LowerRightCorner.X, bottom = area.LowerRightCorner.Y;
    const struct {
        core::position2di to;
        bool follows;
    } edges[] = {
        {{left, 62}, false},       {{left + 1, 62}, true},       {{80, top}, false},
        {{80, top + 1}, true},     {{right, 62}, false},         {{right - 1, 62}, true},
        {{80, bottom}, false},     {{80, bottom - 1}, true},
    };
    core::position2di pointer(80, 62);
    for (const auto& row : edges) {
        SCOPED_TRACE(row.to.X * 10000 + row.to.Y);
        const core::position2di before = window->getAbsolutePosition().UpperLeftCorner;
        EXPECT_TRUE(send(EMIE_MOUSE_MOVED, row.to.X, row.to.Y));
        EXPECT_EQ(window->getAbsolutePosition().UpperLeftCorner, row.follows ? before + (row.to - pointer) : before);
        if (row.follows)
            pointer = row.to;
    }
    EXPECT_TRUE(send(EMIE_MOUSE_MOVED, 81, 62));
    window->setRelativePosition(core::position2di(71, 60));
    send(EMIE_LMOUSE_LEFT_UP, 81, 62);
    EXPECT_FALSE(window->isDragging());
    send(EMIE_MOUSE_MOVED, 90, 70);
    EXPECT_EQ(window->getAbsolutePosition().UpperLeftCorner, core::position2di(71, 60));
    // Losing the focus ends a drag.
    send(EMIE_LMOUSE_PRESSED_DOWN, 80, 62);
    ASSERT_TRUE(window->isDragging());
    SEvent lost;
    std::memset(static_cast<void*>(&lost), 0, sizeof(lost));
    lost.EventType = EET_GUI_EVENT;
    lost.GUIEvent.EventType = gui::EGET_ELEMENT_FOCUS_LOST;
    lost.GUIEvent.Caller = window;
    window->OnEvent(lost);
    EXPECT_FALSE(window->isDragging());
    // A window that may not be dragged still takes the press, and stays.
    window->setDraggable(false);
    EXPECT_FALSE(window->isDraggable());
    EXPECT_TRUE(send(EMIE_LMOUSE_PRESSED_DOWN, 80, 62));
    EXPECT_FALSE(window->isDragging());
    send(EMIE_MOUSE_MOVED, 100, 80);
    EXPECT_EQ(window->getAbsolutePosition().UpperLeftCorner, core::position2di(71, 60));
}

// The open command only offers a file chooser on the editor, without a modal cover; the save
// command only writes the editor's layout file into the working folder.
TEST_F(GuiEditorTest, OpenOffersAFileChooserAndSaveWritesTheLayoutFile) {
    test::ScopedWorkingDir here(dir.path());
    const std::filesystem::path saved = dir.path() / GUIEditor::savedLayout;
    auto choosers = [&] {
        std::vector<gui::IGUIElement*> found;
        for (gui::IGUIElement* child : editor->getChildren())
            if (child->getType() == gui::EGUIET_FILE_OPEN_DIALOG)
                found.push_back(child);
        return found;
    };
    editor->runCommand(1);
    EXPECT_EQ(choosers().size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(saved));
    editor->runCommand(2);
    EXPECT_EQ(choosers().size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(saved));
    // The chooser goes back to the folder it opened in when it goes.
    for (gui::IGUIElement* chooser : choosers())
        chooser->remove();
}

} // namespace
