#pragma once

#include "core/Delegate.h"
#include "gui/GUIButton.h"

#include <irrString.h>

#include <vector>

class GUIFreeTypeText;

namespace irr::gui {
class IGUIFont;
}

// The option row that shows one value of a short list and steps through it: a label at the
// left, the value's text between a "previous" and a "next" arrow. The left part of the row
// up to a split point near the value steps back, the rest steps on, so a click anywhere on
// the row changes the value; the side directions of the menus do the same. Each value has
// an id, and a change invokes OnValueChanged with the new value's id (a plain s32).
class GUIOptionCycle : public GUIButton {
public:
    static constexpr const char* previousTexture = "Content/Screens/Buttons/SettingPrevious.png";
    static constexpr const char* nextTexture = "Content/Screens/Buttons/SettingNext.png";
    static constexpr const char* highlightTexture = "Content/Screens/Objects/OptionColor2.png";

    GUIOptionCycle(irr::gui::IGUIEnvironment* environment, irr::gui::IGUIElement* parent, bool panelOnRight,
                   const irr::core::rect<irr::s32>& rectangle);
    ~GUIOptionCycle() override;

    void draw() override;
    void OnPostRender(irr::u32 timeMs) override;
    void setVisible(bool visible) override { GUIImage::setVisible(visible); }
    const irr::c8* getTypeName() const override { return "GUIOptionCycle"; }
    irr::s32 getState() const override;
    void onNavigationKey(irr::s32 code) override;
    void unfocus() override { State = 0; }

    virtual irr::s32 getOptionType() const;
    virtual void setMinValueWidth(irr::s32 width) { MinValueWidth = width; }
    // Empties the values; the index stays and is wrapped at the next layout.
    virtual void clearValues();
    virtual void addValue(const irr::core::stringw& text, irr::s32 id);
    virtual void setLabel(const wchar_t* text);
    virtual void setValueFont(irr::gui::IGUIFont* font);
    // Selects the value (wrapped into range) without notifying; nothing without values.
    virtual void setIndex(irr::s32 index);
    // Selects the first value of that id without notifying; nothing when none has it.
    virtual void selectValueById(irr::s32 id);
    virtual irr::s32 getIndex() const { return Index; }
    // The current value's id; -1 without values.
    virtual irr::s32 getSelectedId() const;

    // Step to the next or previous value (wrapping), notify and lay out again.
    void selectNext();
    void selectPrevious();
    void layout();

    std::size_t getValueCount() const { return ValueIds.size(); }
    GUIFreeTypeText* getValueText() const { return ValueText; }
    GUIFreeTypeText* getLabel() const { return Label; }
    GUIButton* getPrevArrow() const { return PrevArrow; }
    GUIButton* getNextArrow() const { return NextArrow; }
    GUIButton* getPrevHitArea() const { return PrevHitArea; }
    GUIButton* getNextHitArea() const { return NextHitArea; }
    GUIButton* getHighlight() const { return Highlight; }

    // Invoked with the new value's id (an s32) on every change by click or side key.
    DelegateList OnValueChanged;

private:
    void wrapIndex();

    std::vector<irr::core::stringw> ValueTexts;
    std::vector<irr::s32> ValueIds;
    irr::s32 Index = 0;
    GUIButton* PrevArrow = nullptr;
    GUIButton* NextArrow = nullptr;
    GUIFreeTypeText* ValueText = nullptr;
    GUIFreeTypeText* Label = nullptr;
    GUIButton* Highlight = nullptr;
    GUIButton* PrevHitArea = nullptr;
    GUIButton* NextHitArea = nullptr;
    irr::s32 MinValueWidth = 0;
    bool PanelOnRight;
};
