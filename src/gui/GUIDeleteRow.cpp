#include "gui/GUIDeleteRow.h"

#include "gui/GUIMenuItem.h"
#include "gui/GUITextButton.h"
#include "gui/GuiCommon.h"
#include "gui/OptionRowParts.h"

#include <IGUIEnvironment.h>
#include <IVideoDriver.h>

using namespace irr;

GUIDeleteRow::GUIDeleteRow(const wchar_t* text, s32 panelType, bool panelOnRight, gui::IGUIEnvironment* environment,
                           gui::IGUIElement* parent, const core::rect<s32>& rectangle)
    : GUIButton(environment, parent, 0, rectangle) {
    Type = toElementType(typeId);
    const core::recti local(0, 0, rectangle.getWidth(), rectangle.getHeight());

    Highlight = new GUIButton(environment, this, -1, local);
    Highlight->setImage(environment->getVideoDriver()->getTexture(highlightTexture));
    Highlight->setUseAlphaChannel(true);
    Highlight->setAlignment(gui::EGUIA_SCALE, gui::EGUIA_SCALE, gui::EGUIA_SCALE, gui::EGUIA_SCALE);
    Highlight->setScaleImage(true);
    Highlight->setNotClipped(true);
    Highlight->drop();

    CaptionButton = new GUITextButton(environment, this, -1, local);
    CaptionButton->setStateColors(video::SColor(0xFF4D537D), video::SColor(0xFF000000), video::SColor(0xFF323296),
                                  video::SColor(0xFF000000));
    CaptionButton->setCaptionAlignment(gui::EGUIA_UPPERLEFT, gui::EGUIA_CENTER);
    CaptionButton->setAlignment(gui::EGUIA_SCALE, gui::EGUIA_SCALE, gui::EGUIA_SCALE, gui::EGUIA_SCALE);
    bindCallback(CaptionButton->OnClick, this, &GUIDeleteRow::relayClick);
    CaptionButton->setText(text);
    CaptionButton->setStateSource(this);
    CaptionButton->drop();

    const s32 size = guiUnits(20);
    const s32 y0 = ((rectangle.LowerRightCorner.Y - size) - rectangle.UpperLeftCorner.Y) / 2;
    const s32 x0 = guiUnits(250);
    DeleteButton = addOptionPart(environment, this, core::recti(x0, y0, x0 + size, y0 + size), deleteTexture);
    DeleteButton->setClickSound(true);
    bindCallback(DeleteButton->OnClick, this, &GUIDeleteRow::relayDelete);

    // The bar runs off the screen edge on the panel's side, as a menu item's does.
    Highlight->setRelativePosition(menuRowHighlightRect(CaptionButton->getRelativePosition(), panelType, panelOnRight, 8));
    Highlight->setStateSource(this);
    ForwardFocusTarget = CaptionButton;

    setNeighbour(MenuKey::Right, DeleteButton);
    DeleteButton->setNeighbour(MenuKey::Left, this);
    OnPostRender(optionRowTime());
}

GUIDeleteRow::~GUIDeleteRow() { DeleteRequested.clear(); }

void GUIDeleteRow::relayClick() { OnClick.invoke(reinterpret_cast<DelegateArg>(static_cast<GUIButton*>(this))); }

void GUIDeleteRow::relayDelete() {
    DeleteRequested.invoke(reinterpret_cast<DelegateArg>(static_cast<GUIButton*>(this)));
}

void GUIDeleteRow::OnPostRender(u32 timeMs) {
    GUIButton::OnPostRender(timeMs);
    // Nobody hides the delete button or the caption for longer than a frame.
    DeleteButton->setVisible(true);
    DeleteButton->setEnabled(true);
    CaptionButton->setVisible(true);
}

void GUIDeleteRow::setEnabled(bool enabled) {
    if (!enabled)
        State = ButtonState::Disabled;
    else if (State == ButtonState::Disabled)
        State = ButtonState::Normal;
    IsEnabled = enabled;
    CaptionButton->setEnabled(enabled);
    Highlight->setEnabled(enabled);
}

void GUIDeleteRow::onNavigationKey(s32 code) {
    if (code == MenuKey::Accept && isFocused())
        click();
}

void GUIDeleteRow::focus() {
    GUIButton::focus();
    State = ButtonState::Focused;
}

void GUIDeleteRow::unfocus() {
    State = ButtonState::Normal;
    CaptionButton->unfocus();
}
