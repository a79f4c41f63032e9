#pragma once

#include <IGUIElement.h>

#include <string>

class GUIEditWindow;

// An in-game editor of GUI layouts: an invisible element over its parent that picks the
// elements under the mouse, moves and resizes them with handles (snapped to a grid while
// Tab is held), nudges them with the arrow keys, copies and pastes them as GUI XML through
// the clipboard (Ctrl+C, Ctrl+V), and loads and saves layout files. It is a sub-element,
// so saved layouts never contain it.
class GUIEditor : public irr::gui::IGUIElement {
public:
    enum Mode {
        None = 0,
        ChooseParent = 1,
        Move = 2,
        ResizeTopLeft = 3,
        ResizeTop = 4,
        ResizeTopRight = 5,
        ResizeRight = 6,
        ResizeBottomRight = 7,
        ResizeBottom = 8,
        ResizeBottomLeft = 9,
        ResizeLeft = 10,
    };
    static constexpr const char* savedLayout = "guiTest.xml";

    explicit GUIEditor(irr::gui::IGUIEnvironment* environment, irr::gui::IGUIElement* parent = nullptr);
    ~GUIEditor() override;

    bool OnEvent(const irr::SEvent& event) override;
    void updateAbsolutePosition() override;
    void removeChild(irr::gui::IGUIElement* child) override;
    void draw() override;
    const irr::c8* getTypeName() const override { return "GUIEditor"; }
    void serializeAttributes(irr::io::IAttributes* out, irr::io::SAttributeReadWriteOptions* options) const override;
    void deserializeAttributes(irr::io::IAttributes* in, irr::io::SAttributeReadWriteOptions* options) override;

    virtual void setMenuCommandIDStart(irr::s32 id) { MenuCommandStart = id; }
    virtual void setDrawGrid(bool drawGrid) { DrawGrid = drawGrid; }
    // Each side below 2 becomes 2.
    virtual void setGridSize(const irr::core::dimension2di& size);
    virtual void setUseGrid(bool useGrid) { UseGrid = useGrid; }
    virtual irr::gui::IGUIElement* getEditableElementFromPoint(irr::gui::IGUIElement* start,
                                                               const irr::core::position2di& point,
                                                               irr::s32 index = 0);
    virtual void setSelectedElement(irr::gui::IGUIElement* element);
    virtual void selectNextSibling();
    virtual void selectPreviousSibling();
    virtual irr::gui::IGUIElement* getSelectedElement() const { return Selected; }
    virtual void copySelectedElementXML();
    virtual void pasteXML();
    // Runs an entry of the command table (the offset from the menu command start).
    void runCommand(irr::s32 offset);

    irr::s32 getEditMode() const { return EditMode; }
    const irr::core::dimension2di& getGridSize() const { return GridSize; }
    bool isUsingGrid() const { return UseGrid; }
    bool isDrawingGrid() const { return DrawGrid; }
    irr::s32 getMenuCommandStart() const { return MenuCommandStart; }
    GUIEditWindow* getToolWindow() const { return ToolWindow; }
    irr::s32 getModeFromPos(const irr::core::position2di& point);

private:
    bool isInEditorTree(const irr::gui::IGUIElement* element) const;
    void updateHandles(const irr::core::recti& area);
    irr::core::position2di snap(irr::core::position2di point) const;
    bool onMouse(const irr::SEvent::SMouseInput& mouse);
    bool onKey(const irr::SEvent::SKeyInput& key);
    void moveSelection(irr::s32 dx, irr::s32 dy);
    void refreshSelection();

    irr::s32 EditMode = None;
    irr::s32 MouseOverMode = None;
    irr::core::position2di DragStart;
    irr::core::position2di StartPos;
    irr::core::recti SelectedArea;
    irr::core::dimension2di GridSize{10, 10};
    irr::s32 MenuCommandStart = 15639;
    bool DrawGrid = false;
    bool UseGrid = true;
    irr::gui::IGUIElement* MouseOverElement = nullptr;
    irr::gui::IGUIElement* Selected = nullptr;
    GUIEditWindow* ToolWindow = nullptr;
    irr::core::recti Handles[8];
};

// The clipboard the editor copies to: the window's clipboard through the engine, or one of
// the program's own where the engine has no window (the null driver).
void copyToEditorClipboard(const std::string& text);
std::string getEditorClipboardText();
