#include "gui/GUIScrollList.h"

#include "core/Globals.h"
#include "core/Stopwatch.h"
#include "gui/GUIOptionsList.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"

#include <IGUIEnvironment.h>
#include <ITexture.h>
#include <IVideoDriver.h>

#include <algorithm>

using namespace irr;

GUIScrollList::GUIScrollList(gui::IGUIEnvironment* environment, gui::IGUIElement* parent,
                             const core::rect<s32>& rectangle)
    : GUIButton(environment, parent, 0, rectangle) {
    Type = toElementType(GuiType::ScrollList);
    ForwardFocus = true;
    FocusOnHover = false;
    // The accept code reaches the list after the focused row has clicked (with its sound):
    // the invisible list clicks silently.
    ClickSound = false;
    UpButton = createArrowButton(upTexture);
    DownButton = createArrowButton(downTexture);
}

GUIButton* GUIScrollList::createArrowButton(const char* texturePath) {
    video::ITexture* texture = Environment->getVideoDriver()->getTexture(texturePath);
    s32 width = 0;
    s32 height = 0;
    if (texture) {
        width = guiUnits(static_cast<f32>(texture->getOriginalSize().Width / 2));
        height = guiUnits(static_cast<f32>(texture->getOriginalSize().Height / 2));
    }
    auto* button = new GUIButton(Environment, this, 0, core::recti(0, 0, width, height));
    button->setImage(texture);
    button->setUseAlphaChannel(true);
    button->setScaleImage(true);
    button->setNotClipped(true);
    button->setVisible(false);
    bindCallback(button->OnClick, this, &GUIScrollList::onScrollButton);
    button->drop();
    return button;
}

GUIOptionsList* GUIScrollList::getOwningList() const {
    GUIScreen* screen = askHook(guiHooks().screens.findScreenOf, nullptr, this);
    // Any menu screen built on the options list (the pause menu reports its own type).
    return dynamic_cast<GUIOptionsList*>(screen);
}

bool GUIScrollList::OnEvent(const SEvent& event) {
    if (const std::optional<bool> answer = answerBeforeHandling(event))
        return *answer;
    if (isMenuKeyDown(event)) {
        const s32 code = eventKeyCode(event);
        onNavigationKey(code);
        if (GUIButton* neighbour = getNeighbour(code)) {
            neighbour->focus();
            return false;
        }
    }
    return passToParent(event);
}

void GUIScrollList::clampFirstVisible() {
    // With no more rows than fit, the list stays at its first row.
    FirstVisible = std::max(0, std::min(FirstVisible, ItemCount - VisibleCount));
}

void GUIScrollList::onScrollButton(GUIButton* button) {
    FirstVisible += button == UpButton ? -1 : 1;
    clampFirstVisible();
}

s32 GUIScrollList::getItemIndex(const gui::IGUIElement* element) {
    GUIOptionsList* list = getOwningList();
    if (!list)
        return 0;
    const auto& items = list->getItems();
    ItemCount = static_cast<s32>(items.size());
    auto found = std::find(items.begin(), items.end(), element);
    return found != items.end() ? static_cast<s32>(found - items.begin()) : 0;
}

void GUIScrollList::removeItem(GUIButton* row) {
    GUIOptionsList* list = getOwningList();
    if (!list || !row)
        return;
    const auto& items = list->getItems();
    auto found = std::find(items.begin(), items.end(), row);
    GUIButton* candidate = this;
    if (found != items.end() && found + 1 != items.end() && (*(found + 1))->isEnabled())
        candidate = *(found + 1);
    row->setVisible(false);
    row->setEnabled(false);
    list->removeItem(row);
    list->setFocusedElement(candidate);
}

void GUIScrollList::OnPostRender(u32 timeMs) {
    GUIButton::OnPostRender(timeMs);

    const s32 wheel = static_cast<s32>(mouseWheelSteps());
    if (wheel != 0 && VisibleCount < ItemCount) {
        FirstVisible -= wheel;
        clampFirstVisible();
    }
    if (!screenManager)
        return;

    const GUIButton* focused = askHook(guiHooks().screens.topScreenFocus, nullptr);
    s32 index = 0;
    for (gui::IGUIElement* child : Children) {
        if (child == focused) {
            FocusedIndex = index;
            ForwardFocusTarget = child;
        }
        ++index;
    }

    const f32 delta = frameStopwatch ? frameStopwatch->delta() : 0.0f;
    Appear = std::clamp(Appear + delta * 1.3f, 0.0f, 1.0f);

    GUIOptionsList* list = getOwningList();
    if (!list)
        return;
    const auto& items = list->getItems();
    ItemCount = static_cast<s32>(items.size());
    if (VisibleCount < ItemCount) {
        UpButton->setVisible(true);
        DownButton->setVisible(true);
    }
    const f32 s = Appear * Appear * (3.0f - 2.0f * Appear);
    const f32 slide = static_cast<f32>(askHook(guiHooks().screens.overscanMargin, core::position2di(0, 0)).X +
                                       list->getPanelWidth());
    for (s32 i = 0; i < ItemCount; ++i) {
        GUIButton* row = items[static_cast<std::size_t>(i)];
        if (!row)
            continue;
        if (row->getState() == ButtonState::Focused) {
            if (i >= VisibleCount + FirstVisible)
                ++FirstVisible;
            if (i < FirstVisible)
                --FirstVisible;
        }
        const s32 r = i - FirstVisible;
        const f32 f = std::clamp(s * (static_cast<f32>(VisibleCount - r) * 0.15f + 1.0f), 0.0f, 1.0f);
        const s32 offset = list->isPanelOnRight() ? static_cast<s32>(slide * (1.0f - f))
                                                  : std::min(0, static_cast<s32>(slide * f - slide));
        const core::dimension2di size = row->getRelativePosition().getSize();
        if (r < 0 || r >= VisibleCount) {
            row->setRelativePosition(core::recti(core::position2di(0, -5000), size));
        } else {
            const core::position2di at = list->getItemPosition(static_cast<u32>(r)) + core::position2di(offset, 0);
            row->setRelativePosition(core::recti(at, size));
        }
        const core::recti placed = row->getRelativePosition();
        if (i == FirstVisible) {
            UpButton->setRelativePosition(core::position2di(placed.UpperLeftCorner.X - guiUnits(20),
                                                            placed.UpperLeftCorner.Y - guiUnits(10)));
            UpButton->updateAbsolutePosition();
            if (gui::IGUIElement* hovered = Environment->getHovered())
                hovered->setID(0);
        }
        if (r == VisibleCount - 1)
            DownButton->setRelativePosition(
                core::position2di(placed.UpperLeftCorner.X - guiUnits(20), placed.LowerRightCorner.Y));
        UpButton->setEnabled(FirstVisible != 0);
        DownButton->setEnabled(ItemCount - FirstVisible != VisibleCount);
    }
}
