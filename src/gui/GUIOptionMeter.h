#pragma once

#include "core/Delegate.h"
#include "gui/GUIButton.h"

class GUIFreeTypeText;

// The option row of a number shown as a horizontal meter (volumes, sensitivities): a label,
// the value as text and a bar whose filled length follows the value between Min and Max.
// Dragging over the meter sets the value, the menu's side directions step it by one; every
// change invokes OnValueChanged with the row. Reports the option cycle's type name.
class GUIOptionMeter : public GUIButton {
public:
    static constexpr const char* meterTexture = "Content/Screens/Buttons/SettingMeter.png";
    static constexpr const char* outlineTexture = "Content/Screens/Buttons/SettingMeterOutline.png";
    static constexpr const char* highlightTexture = "Content/Screens/Objects/OptionColor2.png";

    GUIOptionMeter(irr::gui::IGUIEnvironment* environment, irr::gui::IGUIElement* parent,
                   const irr::core::rect<irr::s32>& rectangle);
    ~GUIOptionMeter() override;

    void draw() override;
    void OnPostRender(irr::u32 timeMs) override;
    const irr::c8* getTypeName() const override { return "GUIOptionCycle"; }
    irr::s32 getState() const override;
    void onNavigationKey(irr::s32 code) override;
    void focus() override;
    void unfocus() override { State = 0; }

    virtual irr::s32 getOptionType() const;
    virtual void setLabel(const wchar_t* text);
    // Clamps to [Min, Max]; a change invokes OnValueChanged and lays the row out again.
    virtual void setValue(irr::s32 value);
    virtual irr::s32 getValue() const { return Value; }
    // Stores the range; the value is not clamped again until it next changes.
    virtual void setRange(irr::s32 min, irr::s32 max);

    irr::s32 getMin() const { return Min; }
    irr::s32 getMax() const { return Max; }
    bool isDragging() const { return Dragging; }
    GUIButton* getMeter() const { return Meter; }
    GUIButton* getMeterOutline() const { return MeterOutline; }
    GUIButton* getDragArea() const { return DragArea; }
    GUIFreeTypeText* getValueText() const { return ValueText; }
    GUIFreeTypeText* getLabel() const { return Label; }
    // The value under a pointer x (screen pixels): a press at the meter's left end gives
    // Min + 1, and the answer is kept within the range.
    irr::s32 valueAtPointer(irr::s32 pointerX) const;
    void layout();

    // Invoked with the row (a GUIOptionMeter*) whenever the value changes.
    DelegateList OnValueChanged;

private:
    void onDragHeld();
    void changed();
    // Pixels from the meter's right end to the value's: u(35), or more when the widest value
    // of the range would reach into the meter's frame.
    irr::s32 valueGap();

    irr::s32 Value = 0;
    GUIButton* Meter = nullptr;
    GUIButton* MeterOutline = nullptr;
    GUIFreeTypeText* ValueText = nullptr;
    GUIFreeTypeText* Label = nullptr;
    GUIButton* DragArea = nullptr;
    irr::s32 Min = 0;
    irr::s32 Max = 100;
    bool Dragging = false;
};
