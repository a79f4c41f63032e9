#pragma once

#include "gui/GUIButton.h"

class GUITextButton;

// A menu row whose caption is clicked like a menu item and which carries a small delete
// button at its right end (the user levels' rows). Right from the row focuses the delete
// button, left from it comes back; the delete button stays usable while the row is disabled.
class GUIDeleteRow : public GUIButton {
public:
    static constexpr const char* highlightTexture = "Content/Screens/Buttons/OptionCycleHighlight.png";
    static constexpr const char* deleteTexture = "Content/Screens/Buttons/RemapDelete.png";
    // Not the binding rows' id: the remapping screen must never take this row for one.
    static constexpr irr::s32 typeId = 1025;

    GUIDeleteRow(const wchar_t* text, irr::s32 panelType, bool panelOnRight, irr::gui::IGUIEnvironment* environment,
                 irr::gui::IGUIElement* parent, const irr::core::rect<irr::s32>& rectangle);
    ~GUIDeleteRow() override;

    void OnPostRender(irr::u32 timeMs) override;
    void setEnabled(bool enabled) override;
    void onNavigationKey(irr::s32 code) override;
    void focus() override;
    void unfocus() override;

    GUITextButton* getCaptionButton() const { return CaptionButton; }
    GUIButton* getDeleteButton() const { return DeleteButton; }
    GUIButton* getHighlight() const { return Highlight; }

    // Fired with the row when its delete button is clicked.
    DelegateList DeleteRequested;

private:
    void relayClick();
    void relayDelete();

    GUITextButton* CaptionButton = nullptr;
    GUIButton* Highlight = nullptr;
    GUIButton* DeleteButton = nullptr;
};
