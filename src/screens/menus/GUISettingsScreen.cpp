#include "screens/menus/GUISettingsScreen.h"

#include "core/Globals.h"
#include "gui/GUIOptionCycle.h"
#include "gui/GUIOptionMeter.h"
#include "gui/GUIScrollList.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "gui/OptionRowParts.h"
#include "screens/ScreenManager.h"

using namespace irr;

core::stringw settingsText(s32 id) { return getLanguageText(id); }

GUISettingsScreen::GUISettingsScreen(gui::IGUIEnvironment* environment, bool openedFromMainMenu)
    : GUIOptionsList(environment, openedFromMainMenu, true) {
    PassInput = true;
    PassUpdate = openedFromMainMenu;
    KeepTimerRunning = openedFromMainMenu;
    startFadeIn(fadeSeconds);
}

void GUISettingsScreen::buildPage(s32 titleText) {
    createPanel(1);
    createTitle(getLanguageText(titleText).c_str(), getLanguageFont(3));
    GUIOptionsList::buildItems();
    RowCount = 0;
    buildItems();
    createBackButton();
    linkItemNeighbours();
    GUIScreen::OnPostRender(optionRowTime());
}

void GUISettingsScreen::placeRow(GUIButton* row) {
    const s32 h = guiUnits(24);
    const s32 x = getItemPosition(0).X;
    placeOptionPart(row, x, screenHeight - guiUnits(390) + RowCount * h);
    ++RowCount;
}

GUIOptionCycle* GUISettingsScreen::addOnOffRow(s32 label, bool on) {
    GUIOptionCycle* row = addCycleRow(label, {{settingsText(101), 0}, {settingsText(100), 1}});
    row->setIndex(on ? 1 : 0);
    return row;
}

GUIOptionCycle* GUISettingsScreen::addCycleRow(s32 label, std::initializer_list<std::pair<core::stringw, s32>> values) {
    auto* row = new GUIOptionCycle(Environment, ScrollList, true, core::recti(0, 0, 100, guiUnits(24)));
    placeRow(row);
    row->setLabel(getLanguageText(label).c_str());
    row->setToolTipText(getLanguageText(label + 10000).c_str());
    for (const auto& [text, id] : values)
        row->addValue(text, id);
    row->drop();
    addItem(row);
    return row;
}

GUIOptionMeter* GUISettingsScreen::addMeterRow(s32 label, s32 min, s32 max, s32 value) {
    auto* row = new GUIOptionMeter(Environment, ScrollList, core::recti(0, 0, 100, guiUnits(24)));
    placeRow(row);
    row->setLabel(getLanguageText(label).c_str());
    row->setToolTipText(getLanguageText(label + 10000).c_str());
    row->setRange(min, max);
    row->setValue(value);
    row->drop();
    addItem(row);
    return row;
}

void GUISettingsScreen::closePage() {
    if (screenManager)
        screenManager->popScreen(this, true);
}

void GUISettingsScreen::draw() {
    if (IsVisible)
        GUIScreen::draw();
}

void GUISettingsScreen::OnPostRender(u32 timeMs) {
    GUIOptionsList::OnPostRender(timeMs);
    updatePanelSlide();
}

void GUISettingsScreen::setVisible(bool visible) {
    IsVisible = visible;
    setItemsEnabled(true);
}
