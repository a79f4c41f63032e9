#pragma once

#include "gui/GUIButton.h"

class GUIFreeTypeText;

namespace irr::gui {
class IGUIFont;
}

// A button with a text caption filling it, whose colour follows the button's state (or the
// state of its state source). Menu rows and level lists use it for their labels. It reports
// itself as a plain "GUIButton", so a layout saved with it reads back as one, without caption.
class GUITextButton : public GUIButton {
public:
    GUITextButton(irr::gui::IGUIEnvironment* environment, irr::gui::IGUIElement* parent, irr::s32 id,
                  const irr::core::rect<irr::s32>& rectangle);

    void OnPostRender(irr::u32 timeMs) override;
    void setText(const wchar_t* text) override;

    virtual void setCaptionFont(irr::gui::IGUIFont* font);
    virtual void setStateColors(irr::video::SColor normal, irr::video::SColor focused,
                                irr::video::SColor pressed, irr::video::SColor released);
    virtual void setNormalColor(irr::video::SColor color) { StateColors[0] = color; }
    virtual void setCaptionAlignment(irr::gui::EGUI_ALIGNMENT horizontal, irr::gui::EGUI_ALIGNMENT vertical);

    GUIFreeTypeText* getCaption() const { return Caption; }
    irr::video::SColor getStateColor(irr::s32 state) const { return StateColors[state]; }

protected:
    GUIFreeTypeText* Caption = nullptr;
    irr::video::SColor StateColors[4] = {irr::video::SColor(0xFF000000), irr::video::SColor(0xFF969696),
                                         irr::video::SColor(0xFF323296), irr::video::SColor(0xFF000000)};
};
