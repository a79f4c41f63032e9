#pragma once

#include "gui/GUIButton.h"

class GUIFreeTypeText;
class GUITextButton;

namespace irr::gui {
class IGUIFont;
}

// The clickable row of every menu panel: a caption in the menu font, a highlight bar behind
// the row while it is focused or pressed that runs off the screen edge on the panel's side,
// and a right-aligned value text that starts empty. A caption that wraps makes the row as
// many row heights high as it has lines. A row disabled while it is lit (its menu leaving
// after it was chosen) keeps its lit look until it is enabled or unfocused again.
class GUIMenuItem : public GUIButton {
public:
    static constexpr const char* highlightTexture = "Content/Screens/Objects/OptionColor.png";

    GUIMenuItem(const wchar_t* text, irr::gui::IGUIFont* font, irr::s32 panelType, bool panelOnRight,
                irr::gui::IGUIEnvironment* environment, irr::gui::IGUIElement* parent,
                const irr::core::rect<irr::s32>& rectangle);

    void setEnabled(bool enabled) override;
    irr::s32 getState() const override;
    void focus() override;
    void unfocus() override;

    GUITextButton* getCaptionButton() const { return CaptionButton; }
    GUIButton* getHighlight() const { return Highlight; }
    GUIFreeTypeText* getValueText() const { return ValueText; }
    GUIFreeTypeText* getCaptionText() const;

private:
    void relayClick();
    void relayFocus();

    GUITextButton* CaptionButton = nullptr;
    GUIButton* Highlight = nullptr;
    GUIFreeTypeText* ValueText = nullptr;
    bool KeepsLitLook = false;
};

// The highlight bar of a row whose caption has that rectangle: from left of the caption to
// past the screen edge on the panel's side, then extraUnits longer.
irr::core::recti menuRowHighlightRect(const irr::core::recti& caption, irr::s32 panelType, bool panelOnRight,
                                      irr::s32 extraUnits);

// The heading row of one input action on the controls remapping screen: the action's name,
// a thin leader line and an "add" button that asks for a new binding.
class GUIRemapButton : public GUIMenuItem {
public:
    static constexpr const char* addTexture = "Content/Screens/Buttons/RemapAdd.png";
    static constexpr const char* lineTexture = "Content/Models/Editor/Black.png";

    GUIRemapButton(irr::s32 actionIndex, const wchar_t* text, irr::gui::IGUIFont* font,
                   irr::gui::IGUIEnvironment* environment, irr::gui::IGUIElement* parent,
                   const irr::core::rect<irr::s32>& rectangle);
    ~GUIRemapButton() override;

    irr::s32 getActionIndex() const { return ActionIndex; }
    GUIButton* getAddButton() const { return AddButton; }
    GUIButton* getLeaderLine() const { return LeaderLine; }
    void setAddingAllowed(bool allowed) { AddingAllowed = allowed; }
    bool isAddingAllowed() const { return AddingAllowed; }
    void onAddClicked();

    // Invoked with the row when its add button is clicked.
    DelegateList AddRequested;

private:
    irr::s32 ActionIndex;
    GUIButton* AddButton = nullptr;
    GUIButton* LeaderLine = nullptr;
    bool AddingAllowed = true;
};
