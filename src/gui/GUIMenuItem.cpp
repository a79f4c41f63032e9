#include "gui/GUIMenuItem.h"

#include "core/Globals.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/GUITextButton.h"
#include "gui/GuiCommon.h"

#include <IGUIEnvironment.h>
#include <ITimer.h>
#include <IVideoDriver.h>
#include <IrrlichtDevice.h>

#include <algorithm>
#include <utility>

using namespace irr;

namespace {

u32 deviceTime() { return gameDevice && gameDevice->getTimer() ? gameDevice->getTimer()->getTime() : 0; }

video::ITexture* loadTexture(gui::IGUIEnvironment* environment, const char* path) {
    return environment->getVideoDriver()->getTexture(path);
}

} // namespace

GUIMenuItem::GUIMenuItem(const wchar_t* text, gui::IGUIFont* font, s32 panelType, bool panelOnRight,
                         gui::IGUIEnvironment* environment, gui::IGUIElement* parent,
                         const core::rect<s32>& rectangle)
    : GUIButton(environment, parent, 0, rectangle) {
    Type = toElementType(GuiType::MenuItem);
    video::ITexture* highlight = loadTexture(environment, highlightTexture);
    const core::recti local(0, 0, rectangle.getWidth(), rectangle.getHeight());

    Highlight = new GUIButton(environment, this, -1, local);
    Highlight->setStateImages(nullptr, highlight, highlight, highlight, nullptr);
    Highlight->setAlignment(gui::EGUIA_SCALE, gui::EGUIA_SCALE, gui::EGUIA_SCALE, gui::EGUIA_SCALE);
    Highlight->setUseAlphaChannel(true);
    // The bar's picture fills the whole bar.
    Highlight->setTileImage(true);
    Highlight->setNotClipped(true);
    Highlight->drop();

    ValueText = new GUIFreeTypeText(L"", environment, this, -1, local);
    ValueText->setTextAlignment(gui::EGUIA_LOWERRIGHT, gui::EGUIA_CENTER);
    ValueText->setOverrideColor(video::SColor(0xFF3C3C3C));
    ValueText->setOverrideFont(font);
    ValueText->drop();

    CaptionButton = new GUITextButton(environment, this, -1, local);
    CaptionButton->setCaptionFont(font);
    CaptionButton->getCaption()->setWordWrap(true);
    CaptionButton->setText(text);
    CaptionButton->setCaptionAlignment(gui::EGUIA_UPPERLEFT, gui::EGUIA_CENTER);
    bindCallback(CaptionButton->OnClick, this, &GUIMenuItem::relayClick);
    bindCallback(CaptionButton->OnFocus, this, &GUIMenuItem::relayFocus);
    CaptionButton->setStateSource(this);
    CaptionButton->setNotClipped(true);
    CaptionButton->drop();

    // A wrapped caption makes the row as many rows high as it has lines.
    const s32 lines = static_cast<s32>(CaptionButton->getCaption()->getLineCount());
    core::recti rowRect = RelativeRect;
    rowRect.LowerRightCorner.Y = rowRect.UpperLeftCorner.Y + rowRect.getHeight() * lines;
    setRelativePosition(rowRect);
    CaptionButton->setRelativePosition(rowRect);

    CaptionButton->setStateColors(video::SColor(0xFF000000), video::SColor(0xFFFFFFFF),
                                  video::SColor(0xFF323296), video::SColor(0xFFFFFFFF));

    const core::recti caption = CaptionButton->getRelativePosition();
    ValueText->setRelativePosition(core::recti(caption.UpperLeftCorner.X - guiUnits(40), caption.UpperLeftCorner.Y,
                                               caption.LowerRightCorner.X - guiUnits(40),
                                               caption.LowerRightCorner.Y));
    Highlight->setRelativePosition(menuRowHighlightRect(caption, panelType, panelOnRight, 9));

    Highlight->setStateSource(this);
    ForwardFocusTarget = CaptionButton;
    GUIButton::OnPostRender(deviceTime());
}

core::recti menuRowHighlightRect(const core::recti& caption, s32 panelType, bool panelOnRight, s32 extraUnits) {
    core::recti bar = caption;
    if (panelOnRight) {
        bar.UpperLeftCorner.X = caption.UpperLeftCorner.X - guiUnits(33) + (panelType == 1 ? guiUnits(7) : 0);
        bar.LowerRightCorner.X = caption.LowerRightCorner.X + screenWidthPart(0.1f);
    } else {
        bar.UpperLeftCorner.X = caption.UpperLeftCorner.X - guiUnits(20) - screenWidthPart(0.1f);
        bar.LowerRightCorner.X = caption.LowerRightCorner.X - (panelType == 1 ? guiUnits(6) : 0);
    }
    bar.LowerRightCorner.X += guiUnits(static_cast<f32>(extraUnits));
    return bar;
}

GUIFreeTypeText* GUIMenuItem::getCaptionText() const { return CaptionButton ? CaptionButton->getCaption() : nullptr; }

void GUIMenuItem::relayClick() {
    if (Clickable)
        OnClick.invoke(reinterpret_cast<DelegateArg>(static_cast<GUIButton*>(this)));
}

void GUIMenuItem::relayFocus() { OnFocus.invoke(reinterpret_cast<DelegateArg>(static_cast<GUIButton*>(this))); }

s32 GUIMenuItem::getState() const {
    if (KeepsLitLook && State == ButtonState::Disabled)
        return ButtonState::Focused;
    const s32 captionState = CaptionButton ? CaptionButton->getState() : 0;
    return captionState != ButtonState::Normal ? captionState : State;
}

void GUIMenuItem::focus() {
    GUIButton::focus();
    State = ButtonState::Focused;
}

void GUIMenuItem::unfocus() {
    KeepsLitLook = false;
    State = ButtonState::Normal;
    if (CaptionButton)
        CaptionButton->unfocus();
}

void GUIMenuItem::setEnabled(bool enabled) {
    if (!enabled) {
        // The chosen row of a leaving menu stays lit: white on its bar, not on the panel.
        const s32 shown = getState();
        if (IsEnabled)
            KeepsLitLook = shown >= ButtonState::Focused && shown <= ButtonState::Released;
        State = ButtonState::Disabled;
    } else if (State == ButtonState::Disabled) {
        State = ButtonState::Normal;
        // The lit look ends with the disabling; the screen gives the focus again.
        if (std::exchange(KeepsLitLook, false) && CaptionButton)
            CaptionButton->unfocus();
    }
    IsEnabled = enabled;
    if (CaptionButton)
        CaptionButton->setEnabled(enabled);
    if (Highlight) {
        Highlight->setEnabled(enabled);
        // The bar shows the row's look from this frame's draw on: a row kept lit keeps it.
        Highlight->followStateSource();
    }
}

// --- remap heading row ---------------------------------------------------------------------------

// The remapping screen's panel stands on the right: the heading's bar lines up with the
// screen's other rows (the device selector's and the bindings') and runs off the right screen
// edge, never out of the panel over the scene.
GUIRemapButton::GUIRemapButton(s32 actionIndex, const wchar_t* text, gui::IGUIFont* font,
                               gui::IGUIEnvironment* environment, gui::IGUIElement* parent,
                               const core::rect<s32>& rectangle)
    : GUIMenuItem(text, font, 1, true, environment, parent, rectangle), ActionIndex(actionIndex) {
    const s32 addSize = guiUnits(20);
    const s32 rowHeight = RelativeRect.getHeight();
    const s32 addY = ((rowHeight - addSize) - RelativeRect.UpperLeftCorner.Y) / 2;
    AddButton = new GUIButton(environment, this, -1, core::recti(0, 0, addSize, addSize));
    AddButton->setRelativePosition(core::position2di(guiUnits(226), addY));
    AddButton->setImage(loadTexture(environment, addTexture));
    AddButton->setUseAlphaChannel(true);
    AddButton->setScaleImage(true);
    AddButton->setNotClipped(true);
    AddButton->setStateSource(this);
    bindCallback(AddButton->OnClick, this, &GUIRemapButton::onAddClicked);
    AddButton->drop();
    // The add button hands its events to this row (its state source), so a click on it,
    // like accept on the row, arrives as the row's own click.
    bindCallback(OnClick, this, &GUIRemapButton::onAddClicked);

    const core::recti caption = getCaptionButton()->getRelativePosition();
    const s32 cy = caption.UpperLeftCorner.Y + caption.getHeight() / 2;
    const s32 right = AddButton->getRelativePosition().UpperLeftCorner.X - guiUnits(10);
    const s32 left = std::min(caption.UpperLeftCorner.X + getCaptionText()->getTextWidth(), right);
    LeaderLine = new GUIButton(environment, this, -1,
                               core::recti(left, cy - guiUnits(1), right, cy + guiUnits(1)));
    // A name that reaches (nearly) to the add button leaves no room for the line: a stub or a
    // line run backwards into the button is left out.
    LeaderLine->setVisible(right - left >= guiUnits(8));
    LeaderLine->setImage(loadTexture(environment, lineTexture));
    LeaderLine->setUseAlphaChannel(true);
    LeaderLine->setScaleImage(true);
    LeaderLine->setNotClipped(true);
    LeaderLine->setStateSource(this);
    LeaderLine->drop();
}

GUIRemapButton::~GUIRemapButton() { AddRequested.clear(); }

void GUIRemapButton::onAddClicked() {
    if (AddingAllowed && AddButton && AddButton->isVisible())
        AddRequested.invoke(reinterpret_cast<DelegateArg>(static_cast<GUIButton*>(this)));
}
