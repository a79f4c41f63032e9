#include "gui/GUITextButton.h"

#include "gui/GUIFreeTypeText.h"
#include "gui/GuiCommon.h"

using namespace irr;

GUITextButton::GUITextButton(gui::IGUIEnvironment* environment, gui::IGUIElement* parent, s32 id,
                             const core::rect<s32>& rectangle)
    : GUIButton(environment, parent, id, rectangle) {
    Type = toElementType(GuiType::TextButton);
    Caption = new GUIFreeTypeText(L"", environment, this, 0,
                                  core::recti(0, 0, rectangle.getWidth(), rectangle.getHeight()));
    Caption->setSubElement(true);
    Caption->setTextAlignment(gui::EGUIA_UPPERLEFT, gui::EGUIA_CENTER);
    Caption->setAlignment(gui::EGUIA_SCALE, gui::EGUIA_SCALE, gui::EGUIA_SCALE, gui::EGUIA_SCALE);
    Caption->drop();
}

void GUITextButton::setCaptionFont(gui::IGUIFont* font) {
    if (Caption)
        Caption->setOverrideFont(font);
}

void GUITextButton::setStateColors(video::SColor normal, video::SColor focused, video::SColor pressed,
                                   video::SColor released) {
    StateColors[0] = normal;
    StateColors[1] = focused;
    StateColors[2] = pressed;
    StateColors[3] = released;
}

void GUITextButton::setCaptionAlignment(gui::EGUI_ALIGNMENT horizontal, gui::EGUI_ALIGNMENT vertical) {
    if (Caption)
        Caption->setTextAlignment(horizontal, vertical);
}

void GUITextButton::setText(const wchar_t* text) {
    if (Caption)
        Caption->setText(text);
}

void GUITextButton::OnPostRender(u32 timeMs) {
    if (Caption) {
        const s32 state = StateSource ? StateSource->getState() : getState();
        if (state >= ButtonState::Normal && state <= ButtonState::Released)
            Caption->setOverrideColor(StateColors[state]);
    }
    GUIImage::OnPostRender(timeMs);
}
