#include "gui/GUIOptionsList.h"

#include "core/Delegate.h"
#include "core/Globals.h"
#include "core/LanguageManager.h"
#include "gui/GUIButton.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/GUIImage.h"
#include "gui/GUIMenuItem.h"
#include "gui/GUIScrollList.h"
#include "gui/GUITextButton.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "level/LevelManager.h"

#include <IGUIEnvironment.h>
#include <ITimer.h>
#include <IVideoDriver.h>
#include <IrrlichtDevice.h>

#include <algorithm>

using namespace irr;

namespace {

video::ITexture* objectTexture(gui::IGUIEnvironment* environment, const char* name) {
    return environment->getVideoDriver()->getTexture(io::path(GUIOptionsList::objectsFolder) + name);
}

void setOuterAlignment(gui::IGUIElement* element) {
    element->setAlignment(gui::EGUIA_UPPERLEFT, gui::EGUIA_UPPERLEFT, gui::EGUIA_UPPERLEFT,
                          gui::EGUIA_LOWERRIGHT);
}

void moveTo(gui::IGUIElement* element, s32 x, s32 y) {
    element->setRelativePosition(core::recti(core::position2di(x, y), element->getRelativePosition().getSize()));
}

} // namespace

GUIOptionsList::GUIOptionsList(gui::IGUIEnvironment* environment, bool openedFromMainMenu, bool panelOnRight)
    : GUIScreen(environment, environment->getRootGUIElement(), ScreenId::Menu, core::recti(0, 0, 100, 100)),
      OpenedFromMainMenu(openedFromMainMenu), PanelOnRight(panelOnRight) {
    for (const char* name : {"MenuPanel.png", "MenuPanelLeft.png", "MenuSubPanel.png", "MenuSubPanelLeft.png"})
        objectTexture(environment, name);
    Type = toElementType(GuiType::OptionsList);
    Margin = guiUnits(25);
    PanelWidth = guiUnits(324);
    ItemWidth = PanelWidth - guiUnits(39);
    ItemHeight = guiUnits(34);
    ListHeight = guiUnits(410);
    PanelX = PanelOnRight ? screenWidth - PanelWidth : 0;
    ItemOffsetX = PanelOnRight ? guiUnits(4) : guiUnits(4) - guiUnits(25);
    ItemFont = getLanguageFont(4);
    if (languageManager)
        bindCallback(languageManager->languageChanged, this, &GUIOptionsList::onLanguageChanged);
}

GUIOptionsList::~GUIOptionsList() {
    if (languageManager)
        unbindCallback(languageManager->languageChanged, this, &GUIOptionsList::onLanguageChanged);
}

// --- building -----------------------------------------------------------------------------------

GUIMenuItem* GUIOptionsList::addMenuItem(const wchar_t* text) {
    gui::IGUIElement* parent = ScrollList ? static_cast<gui::IGUIElement*>(ScrollList) : this;
    auto* row = new GUIMenuItem(text, ItemFont, getPanelType(), PanelOnRight, Environment, parent,
                                core::recti(0, 0, ItemWidth, ItemHeight));
    moveTo(row, -10000, -10000);
    row->drop();
    addItem(row);
    return row;
}

void GUIOptionsList::createPanel(s32 panelType) {
    PanelType = panelType;
    const char* first = nullptr;
    const char* second = nullptr;
    if (panelType == 0) {
        first = PanelOnRight ? "MenuPanel.png" : "MenuPanelLeft.png";
        second = PanelOnRight ? "MenuPanelLeft.png" : "MenuPanel.png";
    } else if (panelType == 1) {
        first = PanelOnRight ? "MenuSubPanel.png" : "MenuSubPanelLeft.png";
        second = PanelOnRight ? "MenuSubPanelLeft.png" : "MenuSubPanel.png";
    }
    const s32 W = screenWidth;
    const s32 H = screenHeight;
    const s32 bottom = H - screenHeightPart(0.05f);

    TooltipBar = new GUIImage(Environment, this, 0, core::recti(0, 0, W, Margin));
    TooltipBar->setImage(objectTexture(Environment, "OptionColor.png"));
    TooltipBar->setUseAlphaChannel(true);
    TooltipBar->setScaleImage(true);
    TooltipBar->setRelativePosition(core::recti(0, bottom - Margin, W, bottom));
    TooltipBar->setSubElement(true);
    setOuterAlignment(TooltipBar);
    TooltipBar->setVisible(false);
    TooltipBar->drop();

    core::recti tipRect(screenWidthPart(0.05f), bottom - Margin, W - screenWidthPart(0.05f), bottom);
    if (PanelOnRight)
        tipRect.LowerRightCorner.X -= PanelWidth;
    else
        tipRect.UpperLeftCorner.X += PanelWidth;
    TooltipText = new GUIFreeTypeText(L"", Environment, this, -1, tipRect);
    TooltipText->setOverrideFont(getLanguageFont(5));
    TooltipText->setWordWrap(true);
    TooltipText->setTextAlignment(gui::EGUIA_CENTER, gui::EGUIA_CENTER);
    TooltipText->setOverrideColor(video::SColor(0xFFFFFFFF));
    TooltipText->setVisible(false);
    TooltipText->drop();

    Panel = new GUIImage(Environment, this, -1, core::recti(0, 0, PanelWidth, H));
    moveTo(Panel, PanelX, 0);
    Panel->setImage(first ? objectTexture(Environment, first) : nullptr);
    Panel->setUseAlphaChannel(true);
    Panel->setScaleImage(true);
    Panel->setVisible(true);
    Panel->setSubElement(true);
    setOuterAlignment(Panel);
    // The panel continues beyond its outer edge, which shows while the overscan border keeps
    // the panel away from the screen edge.
    auto* outer = new GUIImage(Environment, Panel, -1, core::recti(0, 0, PanelWidth, H));
    moveTo(outer, PanelOnRight ? PanelWidth - 2 : 2 - PanelWidth, 0);
    outer->setImage(second ? objectTexture(Environment, second) : nullptr);
    outer->setUseAlphaChannel(true);
    outer->setScaleImage(true);
    outer->setVisible(true);
    outer->setSubElement(true);
    outer->setNotClipped(true);
    setOuterAlignment(outer);
    outer->drop();
    Panel->drop();

    ScrollList = new GUIScrollList(Environment, this, core::recti(0, 0, W, H));
    ScrollList->setSubElement(true);
    ScrollList->drop();
}

void GUIOptionsList::createTitle(const wchar_t* text, gui::IGUIFont* font) {
    const s32 H = screenHeight;
    TitleText = new GUIFreeTypeText(text, Environment, this, -1, core::recti(0, 0, guiUnits(280), 200));
    TitleText->setOverrideFont(font);
    TitleText->setWordWrap(true);
    const s32 x = PanelWidth - ItemWidth + PanelX - (PanelOnRight ? 0 : Margin);
    moveTo(TitleText, x, H - guiUnits(10) - ListHeight - 200);
    TitleText->setTextAlignment(gui::EGUIA_UPPERLEFT, gui::EGUIA_LOWERRIGHT);
    TitleText->setOverrideColor(video::SColor(0xFFFFFFFF));
    const s32 textHeight = TitleText->getTextHeight();
    core::recti titleRect = TitleText->getRelativePosition();
    titleRect.UpperLeftCorner.Y = titleRect.LowerRightCorner.Y - textHeight;
    TitleText->setRelativePosition(titleRect);
    TitleText->drop();

    TitleBar = new GUIImage(Environment, this, 0,
                            core::recti(0, 0, screenWidthPart(0.1f) + PanelWidth, textHeight));
    TitleBar->setNotClipped(true);
    TitleBar->setTileImage(true);
    TitleBar->setImage(objectTexture(Environment, getPanelType() == 1 ? "MenuColor.png" : "NotificationColor.png"));
    s32 barX;
    if (PanelOnRight)
        barX = PanelX + (getPanelType() == 1 ? guiUnits(11) : 0);
    else
        barX = PanelX + screenWidthPart(-0.1f) - (getPanelType() == 1 ? guiUnits(11) : 0);
    moveTo(TitleBar, barX, titleRect.LowerRightCorner.Y - textHeight);
    TitleBar->drop();

    // The title draws over its bar.
    addChild(TitleText);
}

void GUIOptionsList::createBackButton() {
    const core::position2di first = getItemPosition(0);
    const s32 rowHeight = guiUnits(24);
    const s32 top = (TitleBar ? TitleBar->getRelativePosition().UpperLeftCorner.Y : 0) - rowHeight - guiUnits(6);
    BackButton = new GUIMenuItem(getLanguageText(backTextId).c_str(), getLanguageFont(5), getPanelType(),
                                 PanelOnRight, Environment, this, core::recti(0, 0, ItemWidth, rowHeight));
    GUIFreeTypeText* caption = BackButton->getCaptionText();
    BackButton->getCaptionButton()->setCaptionAlignment(gui::EGUIA_LOWERRIGHT, gui::EGUIA_CENTER);
    const s32 shift = guiUnits(PanelOnRight ? -22.0f : -7.0f);
    core::recti captionRect = caption->getRelativePosition();
    captionRect += core::position2di(shift, 0);
    caption->setRelativePosition(captionRect);
    moveTo(BackButton, first.X, top);
    BackButton->drop();
    bindCallback(BackButton->OnClick, this, &GUIOptionsList::onBackClicked);

    // Left of the caption's first letter, a small gap between them.
    const s32 arrowX = captionRect.LowerRightCorner.X - caption->getTextWidth() - guiUnits(23) - guiUnits(6);
    auto* arrow = new GUIButton(Environment, BackButton, -1, core::recti(0, 0, guiUnits(23), guiUnits(19)));
    moveTo(arrow, arrowX, guiUnits(2));
    arrow->setScaleImage(true);
    video::IVideoDriver* driver = Environment->getVideoDriver();
    video::ITexture* idle = driver->getTexture("Content/Screens/Buttons/BackButton2.png");
    video::ITexture* lit = driver->getTexture("Content/Screens/Buttons/BackButton1.png");
    arrow->setStateImages(idle, lit, lit, lit, idle);
    arrow->setStateSource(BackButton);
    arrow->setUseAlphaChannel(true);
    arrow->setNotClipped(true);
    arrow->drop();
}

void GUIOptionsList::onBackClicked(GUIButton* row) { onBack(row); }

core::position2di GUIOptionsList::getItemPosition(u32 index) const {
    const s32 x = PanelWidth - ItemWidth + ItemOffsetX + PanelX;
    s32 y = screenHeight - ListHeight;
    for (u32 i = 0; i < index && i < Items.size(); ++i) {
        y += ItemSpacing + (Items[i] ? Items[i]->getRelativePosition().getHeight() : 0);
        auto gap = ItemGaps.find(i);
        if (gap != ItemGaps.end())
            y += gap->second;
    }
    return core::position2di(x, y);
}

void GUIOptionsList::buildItems() {
    ItemGaps.clear();
    if (ScrollList)
        addChild(ScrollList);
}

// --- items and navigation --------------------------------------------------------------------------

void GUIOptionsList::insertItem(GUIButton* element, u32 index) {
    const u32 count = static_cast<u32>(Items.size());
    if (index > 0 && index < count) {
        GUIButton* previous = Items[index - 1];
        GUIButton* next = Items[index];
        previous->setNeighbour(MenuKey::Down, element);
        element->setNeighbour(MenuKey::Down, next);
        element->setNeighbour(MenuKey::Up, previous);
        next->setNeighbour(MenuKey::Up, element);
    }
    Items.insert(Items.begin() + std::min(index, count), element);
}

void GUIOptionsList::removeItem(GUIButton* element) {
    auto found = std::find(Items.begin(), Items.end(), element);
    if (found != Items.end())
        Items.erase(found);
}

void GUIOptionsList::setItemsEnabled(bool enabled) {
    for (GUIButton* item : Items)
        item->setEnabled(enabled);
}

void GUIOptionsList::linkItemNeighbours() {
    const std::size_t count = Items.size();
    for (std::size_t i = 0; i < count; ++i) {
        GUIButton* item = Items[i];
        if (i == 0) {
            if (BackButton) {
                item->setNeighbour(MenuKey::Up, BackButton);
                const bool listHasChildren = ScrollList && !ScrollList->getChildren().empty();
                BackButton->setNeighbour(MenuKey::Down, listHasChildren ? static_cast<GUIButton*>(ScrollList) : item);
            }
        } else {
            item->setNeighbour(MenuKey::Up, Items[i - 1]);
        }
        if (i + 1 < count)
            item->setNeighbour(MenuKey::Down, Items[i + 1]);
    }
    for (GUIButton* item : Items) {
        if (item->isEnabled()) {
            setFocusedElement(item);
            break;
        }
    }
}

// --- events and frames -------------------------------------------------------------------------------

bool GUIOptionsList::OnEvent(const SEvent& event) {
    if (event.EventType == EET_KEY_INPUT_EVENT && event.KeyInput.PressedDown &&
        eventKeyCode(event) == MenuKey::Back) {
        grab();
        onBack(nullptr);
        const bool handled = Parent ? Parent->OnEvent(event) : false;
        drop();
        return handled;
    }
    return Parent ? Parent->OnEvent(event) : false;
}

void GUIOptionsList::onShow() {
    if (OpenedFromMainMenu)
        callHook(guiHooks().menus.showCalibrationPreview);
    PassInput = false;
}

void GUIOptionsList::startFadeOut(f32 seconds) {
    GUIScreen::startFadeOut(seconds);
    for (GUIButton* item : Items)
        item->setEnabled(false);
}

void GUIOptionsList::OnPostRender(u32 timeMs) {
    GUIScreen::OnPostRender(timeMs);

    MenuCamera = nullptr;
    if (OpenedFromMainMenu && !(levelManager && levelManager->loadingOverlay.isBusy())) {
        MenuCamera = askHook(guiHooks().camera.menuCamera, nullptr);
        if (MenuCamera && getPlayer(0))
            callHook(guiHooks().camera.setCameraOffset, MenuCamera,
                     core::vector3df(0.0f, 0.0f, PanelOnRight ? 3.0f : -3.0f));
    }

    for (GUIButton* item : Items) {
        core::recti rect = item->getRelativePosition();
        rect.UpperLeftCorner.X += 1;
        rect.LowerRightCorner.X += 1;
        item->setRelativePosition(rect);
    }

    if (!TooltipText || !TooltipBar)
        return;
    TooltipText->setVisible(false);
    TooltipBar->setVisible(false);
    if (FadeState != Shown)
        return;
    for (GUIButton* item : Items) {
        if (item->getState() != ButtonState::Focused || item->getToolTipText().size() == 0)
            continue;
        TooltipText->setText(item->getToolTipText().c_str());
        const s32 rise = static_cast<s32>(TooltipText->getLineCount()) * guiUnits(25);
        core::recti textRect = TooltipText->getRelativePosition();
        textRect.UpperLeftCorner.Y = textRect.LowerRightCorner.Y - rise;
        TooltipText->setRelativePosition(textRect);
        core::recti barRect = TooltipBar->getRelativePosition();
        barRect.UpperLeftCorner.Y = barRect.LowerRightCorner.Y - rise;
        TooltipBar->setRelativePosition(barRect);
        TooltipText->setVisible(true);
        TooltipBar->setVisible(true);
    }
}

bool GUIOptionsList::drawsChild(const gui::IGUIElement* child) const {
    if (!CoveredByPanel)
        return true;
    const gui::IGUIElement* contents[] = {ScrollList, TitleText, TitleBar, BackButton, TooltipText, TooltipBar};
    for (const gui::IGUIElement* part : contents)
        if (part && child == part)
            return false;
    for (const GUIButton* item : Items)
        if (static_cast<const gui::IGUIElement*>(item) == child)
            return false;
    return true;
}

void GUIOptionsList::updatePanelSlide() {
    const s32 margin = askHook(guiHooks().screens.overscanMargin, core::position2di(0, 0)).X;
    const f32 d = static_cast<f32>(PanelWidth + margin);
    const bool left = !PanelOnRight;
    s32 x = 0;
    if (FadeState == FadingIn) {
        const f32 t = FadeInTween.value;
        x = left ? static_cast<s32>(-(1.0f - t) * d) : static_cast<s32>(d - t * d);
    } else if (FadeState == FadingOut || FadeState == FadedOut) {
        const f32 t = FadeOutTween.value;
        x = left ? static_cast<s32>(-t * d) : static_cast<s32>(t * d);
    }
    if (PanelTuck > 0.0f) {
        const s32 tucked = static_cast<s32>(PanelTuck * d);
        x = left ? std::min(x, -tucked) : std::max(x, tucked);
    }
    x += left ? margin : -margin;
    const core::dimension2di size = RelativeRect.getSize();
    setRelativePosition(core::recti(x, 0, x + size.Width, size.Height));
}

void GUIOptionsList::onLanguageChanged() {
    ItemFont = getLanguageFont(4);
    for (GUIButton* item : Items) {
        item->setEnabled(false);
        item->setVisible(false);
    }
    Items.clear();
    buildScreen();
}
