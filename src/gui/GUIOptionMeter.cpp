#include "gui/GUIOptionMeter.h"

#include "gui/GUIFreeTypeText.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "gui/OptionRowParts.h"

#include <ICursorControl.h>

#include <algorithm>

using namespace irr;

namespace {

core::position2di meterPointer() {
    gui::ICursorControl* cursor = gameDevice ? gameDevice->getCursorControl() : nullptr;
    return cursor ? cursor->getPosition() : core::position2di(0, 0);
}

} // namespace

GUIOptionMeter::GUIOptionMeter(gui::IGUIEnvironment* environment, gui::IGUIElement* parent,
                               const core::rect<s32>& rectangle)
    : GUIButton(environment, parent, 0, rectangle) {
    Type = toElementType(GuiType::OptionMeter);
    const s32 h = rectangle.getHeight();

    addOptionHighlight(environment, this, h, highlightTexture);

    Label = new GUIFreeTypeText(L"", environment, this, -1, core::recti(0, 0, guiUnits(200), h));
    Label->setOverrideFont(getLanguageFont(5));
    Label->setTextAlignment(gui::EGUIA_UPPERLEFT, gui::EGUIA_CENTER);
    Label->setNotClipped(true);
    Label->drop();

    ValueText = new GUIFreeTypeText(L"Test Text", environment, this, -1, core::recti(0, 0, guiUnits(170), h));
    ValueText->setOverrideFont(getLanguageFont(5));
    ValueText->setOverrideColor(video::SColor(optionValueColour));
    ValueText->setTextAlignment(gui::EGUIA_LOWERRIGHT, gui::EGUIA_CENTER);
    ValueText->setNotClipped(true);
    ValueText->drop();

    const core::recti meterRect(0, 0, guiUnits(80), guiUnits(14));
    Meter = addOptionPart(environment, this, meterRect, meterTexture);
    MeterOutline = addOptionPart(environment, this, meterRect, outlineTexture);
    DragArea = addOptionPart(environment, this, meterRect, nullptr);
    Meter->setStateSource(DragArea);
    bindCallback(DragArea->OnHeld, this, &GUIOptionMeter::onDragHeld);

    layout();
    OnPostRender(optionRowTime());
    ClickSound = false;
}

GUIOptionMeter::~GUIOptionMeter() {
    if (DragArea)
        unbindCallback(DragArea->OnHeld, this, &GUIOptionMeter::onDragHeld);
    OnValueChanged.clear();
}

s32 GUIOptionMeter::getOptionType() const { return GuiType::OptionMeter; }

void GUIOptionMeter::setLabel(const wchar_t* text) { Label->setText(text); }

void GUIOptionMeter::changed() {
    OnValueChanged.invoke(reinterpret_cast<DelegateArg>(this));
    layout();
}

void GUIOptionMeter::setValue(s32 value) {
    const s32 clamped = std::clamp(value, std::min(Min, Max), std::max(Min, Max));
    if (clamped == Value)
        return;
    Value = clamped;
    changed();
}

void GUIOptionMeter::setRange(s32 min, s32 max) {
    if (min == Min && max == Max)
        return;
    Min = min;
    Max = max;
    layout();
}

s32 GUIOptionMeter::valueAtPointer(s32 pointerX) const {
    const f32 left = static_cast<f32>(MeterOutline->getAbsolutePosition().UpperLeftCorner.X);
    const f32 along = (static_cast<f32>(pointerX) - left) / static_cast<f32>(std::max(guiUnits(80), 1));
    const s32 v = static_cast<s32>(along * static_cast<f32>(Max - Min) + static_cast<f32>(Min)) + 1;
    return std::clamp(v, std::min(Min, Max), std::max(Min, Max));
}

s32 GUIOptionMeter::valueGap() {
    s32 widest = 0;
    for (const s32 end : {Min, Max}) {
        ValueText->setText(core::stringw(end).c_str());
        widest = std::max(widest, ValueText->getTextWidth());
    }
    return std::max(guiUnits(35), widest + guiUnits(6));
}

void GUIOptionMeter::layout() {
    const s32 gap = valueGap();
    ValueText->setText(core::stringw(Value).c_str());
    placeOptionPart(ValueText, guiUnits(80) + guiUnits(20), 0);
    ValueText->updateAbsolutePosition();
    const core::recti value = ValueText->getRelativePosition();
    const s32 x0 = value.LowerRightCorner.X - gap - guiUnits(80);
    const s32 y0 = value.UpperLeftCorner.Y + (value.getHeight() - guiUnits(14)) / 2;
    // An empty range shows an empty meter instead of dividing by zero.
    const f32 part = Max != Min ? static_cast<f32>(Value - Min) / static_cast<f32>(Max - Min) : 0.0f;
    Meter->setRelativePosition(
        core::recti(x0, y0, x0 + static_cast<s32>(part * static_cast<f32>(guiUnits(80))), y0 + guiUnits(14)));
    placeOptionPart(MeterOutline, x0, y0);
    DragArea->setRelativePosition(core::recti(Label->getRelativePosition().UpperLeftCorner.X, value.UpperLeftCorner.Y,
                                              screenWidth, value.LowerRightCorner.Y));
    updateAbsolutePosition();
}

void GUIOptionMeter::onDragHeld() {
    const s32 before = Value;
    const core::position2di pointer = meterPointer();
    const core::recti& outline = MeterOutline->getAbsolutePosition();
    const bool inside = pointer.X >= outline.UpperLeftCorner.X && pointer.X <= outline.UpperLeftCorner.X + guiUnits(80) &&
                        pointer.Y >= outline.UpperLeftCorner.Y && pointer.Y <= outline.UpperLeftCorner.Y + guiUnits(14);
    if (inside) {
        Value = valueAtPointer(pointer.X);
        if (Value != before && Dragging)
            playSoundEffect(soundMenuHover);
    }
    if (!Dragging)
        playSoundEffect(soundMenuHover);
    Dragging = true;
    if (Value != before)
        changed();
}

void GUIOptionMeter::OnPostRender(u32 timeMs) {
    GUIImage::OnPostRender(timeMs);
    if (Meter->getState() == ButtonState::Pressed && Dragging) {
        // A drag may leave the meter sideways and still reach either end.
        const s32 v = valueAtPointer(meterPointer().X);
        if (v != Value) {
            Value = v;
            changed();
        }
    } else {
        Dragging = false;
    }
}

s32 GUIOptionMeter::getState() const {
    const s32 dragState = DragArea ? DragArea->getState() : ButtonState::Normal;
    return dragState != ButtonState::Normal ? dragState : State;
}

void GUIOptionMeter::onNavigationKey(s32 code) {
    if (code == MenuKey::Left) {
        if (Value > Min)
            playSoundEffect(soundMenuHover);
        setValue(Value - 1);
    } else if (code == MenuKey::Right) {
        if (Value < Max)
            playSoundEffect(soundMenuHover);
        setValue(Value + 1);
    }
}

void GUIOptionMeter::focus() {
    GUIButton::focus();
    State = ButtonState::Focused;
}

void GUIOptionMeter::draw() {
    if (IsVisible)
        GUIImage::draw();
}
