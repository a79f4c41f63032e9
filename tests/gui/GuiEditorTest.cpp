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
    bool mouse(EMOUSE_INPUT_EVENT type, s32 x, s32 y) {
        SEvent event;
        std::memset(static_cast<void*>(&event), 0, sizeof(event));
        event.EventType = EET_MOUSE_INPUT_EVENT;
        event.MouseInput.Event = type;
        event.MouseInput.X = x;
        event.MouseInput.Y = y;
        return editor->OnEvent(event);
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

} // namespace
