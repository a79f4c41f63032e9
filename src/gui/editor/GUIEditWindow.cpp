#include "gui/editor/GUIEditWindow.h"

#include "gui/GuiAttributes.h"

#include <IGUIEnvironment.h>
#include <IGUIFont.h>
#include <IGUISkin.h>
#include <IGUITabControl.h>

using namespace irr;

GUIEditWindow::GUIEditWindow(gui::IGUIEnvironment* environment, gui::IGUIElement* parent,
                             const core::rect<s32>& rectangle)
    : gui::IGUIWindow(environment, parent, -1, rectangle) {
    setText(L"GUI Editor");
    gui::IGUISkin* skin = environment->getSkin();
    if (!skin)
        return;
    setRelativePosition(core::recti(50, 50, 250, 500));
    setMinSize(core::dimension2du(200, 200));
    const s32 top = skin->getSize(gui::EGDS_WINDOW_BUTTON_WIDTH);
    gui::IGUITabControl* tabs = environment->addTabControl(core::recti(1, top + 5, 199, 449), this, false, true, -1);
    tabs->setSubElement(true);
    tabs->setAlignment(gui::EGUIA_UPPERLEFT, gui::EGUIA_LOWERRIGHT, gui::EGUIA_UPPERLEFT, gui::EGUIA_LOWERRIGHT);
    tabs->addTab(L"Tools");
}

void GUIEditWindow::setDraggable(bool draggable) {
    Draggable = draggable;
    if (!Draggable)
        Dragging = false;
}

void GUIEditWindow::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    readElementAttributes(this, in, options);
}

bool GUIEditWindow::OnEvent(const SEvent& event) {
    if (event.EventType == EET_GUI_EVENT && event.GUIEvent.EventType == gui::EGET_ELEMENT_FOCUS_LOST &&
        (event.GUIEvent.Caller == this || isMyChild(event.GUIEvent.Caller)))
        Dragging = false;
    if (event.EventType == EET_MOUSE_INPUT_EVENT) {
        const core::position2di point(event.MouseInput.X, event.MouseInput.Y);
        switch (event.MouseInput.Event) {
        case EMIE_LMOUSE_PRESSED_DOWN:
            if (getElementFromPoint(point) == this) {
                if (Draggable) {
                    DragStart = point;
                    Dragging = true;
                }
                if (Parent)
                    Parent->bringToFront(this);
                return true;
            }
            break;
        case EMIE_LMOUSE_LEFT_UP:
            Dragging = false;
            break;
        case EMIE_MOUSE_MOVED:
            if (Dragging) {
                if (Parent) {
                    core::recti area = Parent->getAbsolutePosition();
                    area.UpperLeftCorner += core::position2di(1, 1);
                    area.LowerRightCorner -= core::position2di(1, 1);
                    if (!area.isPointInside(point))
                        return true;
                }
                move(point - DragStart);
                DragStart = point;
                return true;
            }
            break;
        default:
            break;
        }
    }
    return Parent ? Parent->OnEvent(event) : false;
}

void GUIEditWindow::draw() {
    if (!IsVisible)
        return;
    gui::IGUISkin* skin = Environment->getSkin();
    if (skin) {
        core::recti titleBar = skin->draw3DWindowBackground(this, true, skin->getColor(gui::EGDC_ACTIVE_BORDER),
                                                            AbsoluteRect, &AbsoluteClippingRect);
        if (!Text.empty()) {
            titleBar.UpperLeftCorner.X += skin->getSize(gui::EGDS_TITLEBARTEXT_DISTANCE_X);
            titleBar.UpperLeftCorner.Y += skin->getSize(gui::EGDS_TITLEBARTEXT_DISTANCE_Y);
            titleBar.LowerRightCorner.X -= skin->getSize(gui::EGDS_WINDOW_BUTTON_WIDTH) + 5;
            if (gui::IGUIFont* font = skin->getFont(gui::EGDF_WINDOW))
                font->draw(Text.c_str(), titleBar, skin->getColor(gui::EGDC_ACTIVE_CAPTION), false, true,
                           &AbsoluteClippingRect);
        }
    }
    gui::IGUIElement::draw();
}
