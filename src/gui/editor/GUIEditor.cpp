#include "gui/editor/GUIEditor.h"

#include "core/Globals.h"
#include "core/ProgramQueries.h"
#include "core/Utf8.h"
#include "core/XmlFile.h"
#include "gui/GuiAttributes.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "gui/GuiLayout.h"
#include "gui/editor/GUIEditWindow.h"
#include "gui/editor/MemoryReadWriteFile.h"

#include <IAttributes.h>
#include <IFileSystem.h>
#include <IGUIContextMenu.h>
#include <IGUIElementFactory.h>
#include <IGUIEnvironment.h>
#include <IGUIFileOpenDialog.h>
#include <IOSOperator.h>
#include <IVideoDriver.h>
#include <IXMLWriter.h>
#include <IrrlichtDevice.h>

#include <algorithm>
#include <initializer_list>
#include <vector>

using namespace irr;

namespace {

constexpr s32 editorTabKey = 0x09;
// The GUI screens' type id: a click on a screen picks what lies on it instead.
constexpr s32 editorScreenType = GuiType::Screen;

std::string& ownClipboard() {
    static std::string text;
    return text;
}

// The engine's clipboard needs a window; the null driver has none.
IOSOperator* windowClipboard() {
    if (!gameDevice || !gameDevice->getVideoDriver() ||
        gameDevice->getVideoDriver()->getDriverType() == video::EDT_NULL)
        return nullptr;
    return gameDevice->getOSOperator();
}

} // namespace

void copyToEditorClipboard(const std::string& text) {
    ownClipboard() = text;
    if (IOSOperator* os = windowClipboard())
        os->copyToClipboard(text.c_str());
}

std::string getEditorClipboardText() {
    if (IOSOperator* os = windowClipboard())
        if (const c8* text = os->getTextFromClipboard())
            return text;
    return ownClipboard();
}

GUIEditor::GUIEditor(gui::IGUIEnvironment* environment, gui::IGUIElement* parent)
    : gui::IGUIElement(gui::EGUIET_ELEMENT, environment, parent ? parent : environment->getRootGUIElement(), -1,
                       core::recti(0, 0, 100, 100)) {
    setSubElement(true);
    setAlignment(gui::EGUIA_UPPERLEFT, gui::EGUIA_LOWERRIGHT, gui::EGUIA_UPPERLEFT, gui::EGUIA_LOWERRIGHT);
    updateAbsolutePosition();
    gui::IGUIElement* window = environment->addGUIElement("GUIEditWindow", this);
    if (!window) {
        window = new GUIEditWindow(environment, this, core::recti(0, 0, 200, 400));
        window->drop();
    }
    ToolWindow = static_cast<GUIEditWindow*>(window);
    ToolWindow->grab();
    ToolWindow->setSubElement(true);
    ToolWindow->setVisible(false);
    ToolWindow->setRelativePosition(core::position2di(-10000, -10000));
    environment->setFocus(ToolWindow);
}

GUIEditor::~GUIEditor() {
    if (ToolWindow)
        ToolWindow->drop();
}

void GUIEditor::setGridSize(const core::dimension2di& size) {
    GridSize.Width = std::max(size.Width, 2);
    GridSize.Height = std::max(size.Height, 2);
}

bool GUIEditor::isInEditorTree(const gui::IGUIElement* element) const {
    for (const gui::IGUIElement* e = element; e; e = e->getParent())
        if (e == this)
            return true;
    return false;
}

gui::IGUIElement* GUIEditor::getEditableElementFromPoint(gui::IGUIElement* start, const core::position2di& point,
                                                         s32 index) {
    if (!start)
        return nullptr;
    s32 found = 0;
    const core::list<gui::IGUIElement*>& children = start->getChildren();
    for (auto it = children.getLast(); it != children.end(); --it) {
        gui::IGUIElement* hit = getEditableElementFromPoint(*it, point);
        if (!hit || hit == start || hit->isSubElement() || isInEditorTree(hit) || !hit->isVisible() ||
            hit == this || hit->getType() == toElementType(editorScreenType))
            continue;
        if (found++ == index)
            return hit;
    }
    return start->getAbsolutePosition().isPointInside(point) ? start : nullptr;
}

void GUIEditor::setSelectedElement(gui::IGUIElement* element) {
    gui::IGUIElement* focus = Environment->getFocus();
    if (!isInEditorTree(focus))
        focus = nullptr;
    if (Selected == Parent)
        Selected = nullptr;
    else if (element != Selected)
        Selected = element;
    Environment->setFocus(focus);
}

void GUIEditor::selectNextSibling() {
    gui::IGUIElement* parent = Selected ? Selected->getParent() : Parent;
    if (!parent)
        return;
    bool passed = !Selected;
    for (gui::IGUIElement* child : parent->getChildren()) {
        if (passed && !child->isSubElement()) {
            setSelectedElement(child);
            return;
        }
        if (child == Selected)
            passed = true;
    }
}

void GUIEditor::selectPreviousSibling() {
    gui::IGUIElement* parent = Selected ? Selected->getParent() : Parent;
    if (!parent)
        return;
    const core::list<gui::IGUIElement*>& children = parent->getChildren();
    bool passed = !Selected;
    for (auto it = children.getLast(); it != children.end(); --it) {
        if (passed && !(*it)->isSubElement()) {
            setSelectedElement(*it);
            return;
        }
        if (*it == Selected)
            passed = true;
    }
}

void GUIEditor::copySelectedElementXML() {
    if (!Selected)
        return;
    io::IFileSystem* fileSystem = Environment->getFileSystem();
    // Lives on the stack: the writer's reference is given back before the function ends.
    MemoryReadWriteFile file;
    io::IXMLWriter* writer = fileSystem->createXMLWriter(static_cast<io::IWriteFile*>(&file));
    if (!writer)
        return;
    Environment->writeGUIElement(writer, Selected);
    writer->drop();
    const std::vector<u8>& bytes = file.bytes();
    const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    copyToEditorClipboard(toUtf8(text.c_str()));
}

void GUIEditor::pasteXML() {
    const std::wstring text = fromUtf8(getEditorClipboardText().c_str());
    io::IFileSystem* fileSystem = Environment->getFileSystem();
    MemoryReadWriteFile file;
    if (io::IXMLWriter* writer = fileSystem->createXMLWriter(static_cast<io::IWriteFile*>(&file))) {
        writer->writeXMLHeader();
        writer->drop();
        file.write(text.data(), static_cast<u32>(text.size() * sizeof(wchar_t)));
        file.seek(0);
        // A clipboard text may end anywhere: it is read like a file from the player's disk.
        if (io::IReadFile* guarded = createGuardedReadFile(fileSystem, static_cast<io::IReadFile*>(&file))) {
            Environment->loadGUI(guarded, Selected ? Selected : Environment->getRootGUIElement());
            guarded->drop();
        }
    }
    Environment->setFocus(this);
}

void GUIEditor::updateAbsolutePosition() {
    if (Parent)
        DesiredRect = RelativeRect = core::recti(0, 0, Parent->getAbsolutePosition().getWidth(),
                                                 Parent->getAbsolutePosition().getHeight());
    gui::IGUIElement::updateAbsolutePosition();
}

void GUIEditor::removeChild(gui::IGUIElement* child) {
    gui::IGUIElement::removeChild(child);
    if (Children.empty())
        remove();
}

core::position2di GUIEditor::snap(core::position2di point) const {
    if (UseGrid) {
        point.X = point.X / GridSize.Width * GridSize.Width;
        point.Y = point.Y / GridSize.Height * GridSize.Height;
    }
    return point;
}

void GUIEditor::refreshSelection() { setSelectedElement(Selected); }

void GUIEditor::moveSelection(s32 dx, s32 dy) {
    if (!Selected)
        return;
    Selected->setRelativePosition(Selected->getRelativePosition() + core::position2di(dx, dy));
}

s32 GUIEditor::getModeFromPos(const core::position2di& p) {
    if (!Selected)
        return None;
    static const s32 order[8][2] = {{0, ResizeTopLeft},    {1, ResizeTopRight}, {3, ResizeBottomLeft},
                                    {6, ResizeBottomRight}, {2, ResizeTop},      {7, ResizeBottom},
                                    {4, ResizeLeft},        {5, ResizeRight}};
    for (const auto& [handle, mode] : order)
        if (Handles[handle].isPointInside(p))
            return mode;
    return getEditableElementFromPoint(Selected, p) == Selected ? Move : None;
}

void GUIEditor::updateHandles(const core::recti& r) {
    const s32 L = r.UpperLeftCorner.X, T = r.UpperLeftCorner.Y;
    const s32 R = r.LowerRightCorner.X, B = r.LowerRightCorner.Y;
    const s32 cx = (L + R) / 2, cy = (T + B) / 2;
    Handles[0] = core::recti(L, T, L + 4, T + 4);
    Handles[1] = core::recti(R - 4, T, R, T + 4);
    Handles[2] = core::recti(cx - 2, T, cx + 2, T + 4);
    Handles[3] = core::recti(L, B - 4, L + 4, B);
    Handles[4] = core::recti(L, cy - 2, L + 4, cy + 2);
    Handles[5] = core::recti(R - 4, cy - 2, R, cy + 2);
    Handles[6] = core::recti(R - 4, B - 4, R, B);
    Handles[7] = core::recti(cx - 2, B - 4, cx + 2, B);
}

bool GUIEditor::onMouse(const SEvent::SMouseInput& mouse) {
    const core::position2di p(mouse.X, mouse.Y);
    switch (mouse.Event) {
    case EMIE_LMOUSE_PRESSED_DOWN: {
        if (gui::IGUIElement* under = Environment->getRootGUIElement()->getElementFromPoint(p);
            under && isInEditorTree(under) && under != this) {
            Environment->setFocus(under);
            return true;
        }
        ToolWindow->setVisible(false);
        if (EditMode == None) {
            if (Selected) {
                EditMode = getModeFromPos(p);
                if (EditMode == Move)
                    StartPos = Selected->getAbsolutePosition().UpperLeftCorner;
            }
            DragStart = p;
            if (Selected)
                SelectedArea = Selected->getAbsolutePosition();
        }
        if (EditMode < Move) {
            gui::IGUIElement* hit = getEditableElementFromPoint(Parent, p);
            MouseOverElement = hit == Parent ? nullptr : hit;
            setSelectedElement(MouseOverElement);
        }
        return false;
    }
    case EMIE_LMOUSE_LEFT_UP:
        ToolWindow->setVisible(true);
        if (EditMode == ChooseParent && Selected) {
            if (gui::IGUIElement* parent = getEditableElementFromPoint(Parent, p); parent && parent != Selected)
                parent->addChild(Selected);
            refreshSelection();
        } else if (EditMode >= Move && Selected && Selected->getParent()) {
            Selected->setRelativePosition(SelectedArea - Selected->getParent()->getAbsolutePosition().UpperLeftCorner);
            refreshSelection();
        }
        EditMode = None;
        return false;
    case EMIE_MOUSE_MOVED:
        if (Parent)
            Parent->bringToFront(this);
        if (EditMode == None || EditMode == ChooseParent) {
            gui::IGUIElement* hit = getEditableElementFromPoint(Parent, p);
            MouseOverElement = hit == Parent ? nullptr : hit;
            if (EditMode == None) {
                MouseOverMode = getModeFromPos(p);
                if (MouseOverMode > Move)
                    MouseOverElement = Selected;
            }
        } else if (EditMode == Move) {
            const core::position2di corner = snap(StartPos + (p - DragStart));
            SelectedArea += corner - SelectedArea.UpperLeftCorner;
        } else {
            const core::position2di q = snap(p);
            core::recti& a = SelectedArea;
            switch (EditMode) {
            case ResizeTopLeft:
                a.UpperLeftCorner = q;
                break;
            case ResizeTop:
                a.UpperLeftCorner.Y = q.Y;
                break;
            case ResizeTopRight:
                a.UpperLeftCorner.Y = q.Y;
                a.LowerRightCorner.X = q.X;
                break;
            case ResizeRight:
                a.LowerRightCorner.X = q.X;
                break;
            case ResizeBottomRight:
                a.LowerRightCorner = q;
                break;
            case ResizeBottom:
                a.LowerRightCorner.Y = q.Y;
                break;
            case ResizeBottomLeft:
                a.UpperLeftCorner.X = q.X;
                a.LowerRightCorner.Y = q.Y;
                break;
            case ResizeLeft:
                a.UpperLeftCorner.X = q.X;
                break;
            default:
                break;
            }
        }
        return false;
    case EMIE_MOUSE_WHEEL:
        if (mouse.Wheel > 0)
            selectPreviousSibling();
        else
            selectNextSibling();
        return false;
    default:
        return false;
    }
}

bool GUIEditor::onKey(const SEvent::SKeyInput& key) {
    if (key.PressedDown)
        return false;
    switch (key.Key) {
    case KEY_LEFT:
        moveSelection(-1, 0);
        break;
    case KEY_UP:
        moveSelection(0, -1);
        break;
    case KEY_RIGHT:
        moveSelection(1, 0);
        break;
    case KEY_DOWN:
        moveSelection(0, 1);
        break;
    case KEY_KEY_C:
        if (key.Control && Selected)
            copySelectedElementXML();
        break;
    case KEY_KEY_V:
        if (key.Control)
            pasteXML();
        break;
    default:
        break;
    }
    return true;
}

void GUIEditor::runCommand(s32 offset) {
    gui::IGUIElement* target = Selected ? Selected : Environment->getRootGUIElement();
    switch (offset) {
    case 0: {
        setSelectedElement(nullptr);
        gui::IGUIElement* parent = Parent;
        grab();
        const core::list<gui::IGUIElement*> children = parent->getChildren();
        for (gui::IGUIElement* child : children)
            parent->removeChild(child);
        parent->addChild(this);
        drop();
        break;
    }
    case 1:
        Environment->addFileOpenDialog(L"Please select a GUI file to open", false, this);
        break;
    case 2:
        saveGuiLayout(Environment, savedLayout, nullptr);
        break;
    case 3:
        copySelectedElementXML();
        runCommand(6);
        break;
    case 4:
        copySelectedElementXML();
        break;
    case 5:
        pasteXML();
        break;
    case 6:
        if (Selected)
            Selected->remove();
        Selected = MouseOverElement = nullptr;
        break;
    case 7:
        EditMode = ChooseParent;
        break;
    case 8:
        if (Selected && Selected->getParent())
            Selected->getParent()->bringToFront(Selected);
        break;
    case 9:
        saveGuiLayout(Environment, savedLayout, target);
        break;
    case 11:
        loadGuiLayout(Environment, savedLayout, target);
        break;
    default:
        if (offset >= 12) {
            s32 n = offset - 12;
            for (u32 i = 0; i < Environment->getRegisteredGUIElementFactoryCount(); ++i) {
                gui::IGUIElementFactory* factory = Environment->getGUIElementFactory(i);
                const s32 count = factory->getCreatableGUIElementTypeCount();
                if (n < count) {
                    const c8* name = factory->getCreateableGUIElementTypeName(n);
                    if (gui::IGUIElement* made = factory->addGUIElement(name, target)) {
                        const core::position2di at = DragStart - target->getAbsolutePosition().UpperLeftCorner;
                        made->setRelativePosition(core::recti(at, core::dimension2di(100, 100)));
                    }
                    break;
                }
                n -= count;
            }
        }
        break;
    }
}

bool GUIEditor::OnEvent(const SEvent& event) {
    if (isEditorActive())
        return false;
    const s32 tab = keyboardKeyState(editorTabKey);
    UseGrid = tab == 1 || tab == 2;
    switch (event.EventType) {
    case EET_GUI_EVENT:
        if (event.GUIEvent.EventType == gui::EGET_FILE_SELECTED) {
            auto* dialog = static_cast<gui::IGUIFileOpenDialog*>(event.GUIEvent.Caller);
            loadGuiLayout(Environment, io::path(core::stringc(dialog->getFileName()).c_str()), nullptr);
            return false;
        }
        if (event.GUIEvent.EventType == gui::EGET_MENU_ITEM_SELECTED) {
            auto* menu = static_cast<gui::IGUIContextMenu*>(event.GUIEvent.Caller);
            runCommand(menu->getItemCommandId(static_cast<u32>(menu->getSelectedItem())) - MenuCommandStart);
            return true;
        }
        return false;
    case EET_MOUSE_INPUT_EVENT:
        return onMouse(event.MouseInput);
    case EET_KEY_INPUT_EVENT:
        return onKey(event.KeyInput);
    default:
        return false;
    }
}

void GUIEditor::draw() {
    video::IVideoDriver* driver = Environment->getVideoDriver();
    if (DrawGrid) {
        const core::recti& area = AbsoluteRect;
        for (s32 y = area.UpperLeftCorner.Y; y < area.LowerRightCorner.Y; y += GridSize.Height)
            for (s32 x = area.UpperLeftCorner.X; x < area.LowerRightCorner.X; x += GridSize.Width)
                driver->draw2DRectangle(video::SColor(0x2800005A),
                                        core::recti(x + 1, y + 1, x + GridSize.Width, y + GridSize.Height));
    }
    if (MouseOverElement && MouseOverElement != Selected && MouseOverElement != Parent)
        driver->draw2DRectangle(video::SColor(0x640000FF), MouseOverElement->getAbsolutePosition());
    if (Selected && EditMode == None)
        driver->draw2DRectangle(video::SColor(0x6400FF00), Selected->getAbsolutePosition());
    if (EditMode > ChooseParent)
        driver->draw2DRectangle(video::SColor(0x64FF0000), SelectedArea);
    const bool overSelection = MouseOverElement == Selected && MouseOverMode > ChooseParent;
    if (Selected && (EditMode > ChooseParent || overSelection)) {
        updateHandles(EditMode > ChooseParent ? SelectedArea : Selected->getAbsolutePosition());
        const s32 m = EditMode > ChooseParent ? EditMode : MouseOverMode;
        // Which handles show for each mode, in handle order.
        const auto in = [m](std::initializer_list<s32> modes) {
            return std::find(modes.begin(), modes.end(), m) != modes.end();
        };
        const bool shown[8] = {in({2, 3, 4, 10}), in({2, 4, 5, 6}), in({2, 4}), in({2, 8, 9, 10}),
                               in({2, 10}),       in({2, 6}),       in({2, 6, 7, 8}), in({2, 8})};
        for (int i = 0; i < 8; ++i)
            if (shown[i])
                driver->draw2DRectangle(video::SColor(0x64FFFFFF), Handles[i]);
    }
    if (IsVisible)
        gui::IGUIElement::draw();
}

void GUIEditor::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    gui::IGUIElement::serializeAttributes(out, options);
    out->addBool("DrawGrid", DrawGrid);
    out->addBool("UseGrid", UseGrid);
    out->addPosition2d("GridSize", core::position2di(GridSize.Width, GridSize.Height));
    out->addInt("MenuCommandStart", MenuCommandStart);
}

void GUIEditor::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    readElementAttributes(this, in, options);
    setDrawGrid(in->getAttributeAsBool("DrawGrid"));
    setUseGrid(in->getAttributeAsBool("UseGrid"));
    const core::position2di grid = in->getAttributeAsPosition2d("GridSize");
    setGridSize(core::dimension2di(grid.X, grid.Y));
    setMenuCommandIDStart(in->getAttributeAsInt("MenuCommandStart"));
}
