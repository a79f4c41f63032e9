#include "gui/GUIOptionCycle.h"

#include "gui/GUIFreeTypeText.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "gui/OptionRowParts.h"

#include <algorithm>

using namespace irr;

GUIOptionCycle::GUIOptionCycle(gui::IGUIEnvironment* environment, gui::IGUIElement* parent, bool panelOnRight,
                               const core::rect<s32>& rectangle)
    : GUIButton(environment, parent, 0, rectangle), PanelOnRight(panelOnRight) {
    Type = toElementType(GuiType::OptionCycle);
    const s32 h = rectangle.getHeight();

    Highlight = addOptionHighlight(environment, this, h, highlightTexture);
    if (!PanelOnRight) {
        // A row of a left panel: the bar runs past the left screen edge.
        const s32 shift = screenWidthPart(0.05f) + guiUnits(24);
        Highlight->setRelativePosition(Highlight->getRelativePosition() - core::position2di(shift, 0));
    }

    ValueText = new GUIFreeTypeText(L"Test Text", environment, this, -1, core::recti(100, 0, guiUnits(130) + 120, h));
    ValueText->setOverrideFont(getLanguageFont(5));
    ValueText->setOverrideColor(video::SColor(optionValueColour));
    ValueText->setTextAlignment(gui::EGUIA_LOWERRIGHT, gui::EGUIA_CENTER);
    ValueText->setNotClipped(true);
    ValueText->drop();

    Label = new GUIFreeTypeText(L"Options", environment, this, -1, core::recti(0, 0, guiUnits(200), h));
    Label->setOverrideFont(getLanguageFont(5));
    Label->setTextAlignment(gui::EGUIA_UPPERLEFT, gui::EGUIA_CENTER);
    Label->setNotClipped(true);
    placeOptionPart(Label, 0, 0);
    Label->drop();

    const core::recti arrowRect(0, 0, guiUnits(14), guiUnits(14));
    PrevArrow = addOptionPart(environment, this, arrowRect, previousTexture);
    NextArrow = addOptionPart(environment, this, arrowRect, nextTexture);
    PrevHitArea = addOptionPart(environment, this, arrowRect, nullptr);
    NextHitArea = addOptionPart(environment, this, arrowRect, nullptr);
    // A click on the row clicks audibly, as the side keys do.
    PrevHitArea->setClickSound(true);
    NextHitArea->setClickSound(true);
    bindCallback(PrevHitArea->OnClick, this, &GUIOptionCycle::selectPrevious);
    bindCallback(NextHitArea->OnClick, this, &GUIOptionCycle::selectNext);
    PrevArrow->setStateSource(PrevHitArea);
    NextArrow->setStateSource(NextHitArea);

    layout();
    GUIImage::OnPostRender(optionRowTime());
}

GUIOptionCycle::~GUIOptionCycle() {
    if (PrevHitArea)
        unbindCallback(PrevHitArea->OnClick, this, &GUIOptionCycle::selectPrevious);
    if (NextHitArea)
        unbindCallback(NextHitArea->OnClick, this, &GUIOptionCycle::selectNext);
    OnValueChanged.clear();
}

s32 GUIOptionCycle::getOptionType() const { return GuiType::OptionCycle; }

void GUIOptionCycle::clearValues() {
    ValueTexts.clear();
    ValueIds.clear();
}

void GUIOptionCycle::addValue(const core::stringw& text, s32 id) {
    ValueTexts.push_back(text);
    ValueIds.push_back(id);
    if (ValueIds.size() == 1)
        layout();
}

void GUIOptionCycle::setLabel(const wchar_t* text) { Label->setText(text); }

void GUIOptionCycle::setValueFont(gui::IGUIFont* font) {
    ValueText->setOverrideFont(font);
    layout();
}

void GUIOptionCycle::wrapIndex() {
    const s32 count = static_cast<s32>(ValueIds.size());
    if (Index < 0)
        Index = count - 1;
    else if (Index >= count)
        Index = 0;
    if (Index < 0)
        Index = 0;
}

void GUIOptionCycle::setIndex(s32 index) {
    if (ValueIds.empty())
        return;
    Index = index;
    layout();
}

void GUIOptionCycle::selectValueById(s32 id) {
    const auto found = std::find(ValueIds.begin(), ValueIds.end(), id);
    if (found != ValueIds.end())
        setIndex(static_cast<s32>(found - ValueIds.begin()));
}

s32 GUIOptionCycle::getSelectedId() const {
    if (ValueIds.empty())
        return -1;
    return ValueIds[static_cast<std::size_t>(std::clamp(Index, 0, static_cast<s32>(ValueIds.size()) - 1))];
}

void GUIOptionCycle::selectNext() {
    if (ValueIds.empty())
        return;
    ++Index;
    wrapIndex();
    OnValueChanged.invoke(static_cast<DelegateArg>(static_cast<std::intptr_t>(getSelectedId())));
    layout();
}

void GUIOptionCycle::selectPrevious() {
    if (ValueIds.empty())
        return;
    --Index;
    wrapIndex();
    OnValueChanged.invoke(static_cast<DelegateArg>(static_cast<std::intptr_t>(getSelectedId())));
    layout();
}

void GUIOptionCycle::onNavigationKey(s32 code) {
    // The side keys click the hit areas (and always click, even with one value).
    if (code == MenuKey::Left) {
        playSoundEffect(soundClick);
        PrevHitArea->OnClick.invoke(reinterpret_cast<DelegateArg>(PrevHitArea));
    } else if (code == MenuKey::Right) {
        playSoundEffect(soundClick);
        NextHitArea->OnClick.invoke(reinterpret_cast<DelegateArg>(NextHitArea));
    }
}

s32 GUIOptionCycle::getState() const {
    if (PrevHitArea && PrevHitArea->getState() != ButtonState::Normal)
        return PrevHitArea->getState();
    if (NextHitArea && NextHitArea->getState() != ButtonState::Normal)
        return NextHitArea->getState();
    return State;
}

void GUIOptionCycle::layout() {
    wrapIndex();
    if (ValueTexts.empty())
        ValueText->setText(L"This is  text");
    else
        ValueText->setText(ValueTexts[static_cast<std::size_t>(Index)].c_str());
    const s32 w = std::max(ValueText->getTextWidth(), MinValueWidth);
    const s32 dy = (ValueText->getRelativePosition().getHeight() - guiUnits(14)) / 2;
    placeOptionPart(ValueText, guiUnits(100), 0);
    const core::recti value = ValueText->getRelativePosition();
    placeOptionPart(PrevArrow, value.LowerRightCorner.X - guiUnits(7) - guiUnits(14) - w, value.UpperLeftCorner.Y + dy);
    placeOptionPart(NextArrow, value.LowerRightCorner.X + guiUnits(7), value.UpperLeftCorner.Y + dy);
    const s32 split = NextArrow->getRelativePosition().LowerRightCorner.X - std::min(w / 2, guiUnits(30));
    PrevHitArea->setRelativePosition(core::recti(Label->getRelativePosition().UpperLeftCorner.X, value.UpperLeftCorner.Y,
                                                 split, value.LowerRightCorner.Y));
    const s32 right = PanelOnRight ? screenWidth : Highlight->getRelativePosition().LowerRightCorner.X;
    NextHitArea->setRelativePosition(core::recti(split, value.UpperLeftCorner.Y, right, value.LowerRightCorner.Y));
}

void GUIOptionCycle::draw() {
    if (IsVisible)
        GUIImage::draw();
}

void GUIOptionCycle::OnPostRender(u32 timeMs) { GUIImage::OnPostRender(timeMs); }
