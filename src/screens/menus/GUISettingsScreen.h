#pragma once

#include "gui/GUIOptionsList.h"

#include <initializer_list>
#include <utility>

class GUIOptionCycle;
class GUIOptionMeter;

// What the settings pages of the options menu (graphics, audio, controls) share: a sub panel
// at the right edge, rows placed one row height apart from 390 units above the screen's
// bottom, the back key fading the page out, and rows enabled once the page has faded in.
// Opened from the main menu the background level keeps running behind the page; a paused
// level stays paused.
class GUISettingsScreen : public GUIOptionsList {
public:
    static constexpr irr::f32 fadeSeconds = 0.2f;

    GUISettingsScreen(irr::gui::IGUIEnvironment* environment, bool openedFromMainMenu);

    void draw() override;
    void OnPostRender(irr::u32 timeMs) override;
    void setVisible(bool visible) override;
    void onFadeInDone() override { setItemsEnabled(true); }
    void onBack(GUIButton*) override { startFadeOut(fadeSeconds); }

protected:
    // A cycle row at the next place, its label and tooltip the language texts (label + 10000),
    // its values (language text or literal, id), appended to the rows.
    GUIOptionCycle* addCycleRow(irr::s32 label, std::initializer_list<std::pair<irr::core::stringw, irr::s32>> values);
    GUIOptionMeter* addMeterRow(irr::s32 label, irr::s32 min, irr::s32 max, irr::s32 value);
    // The row that follows: (first item x, screen height - 390 units + n x row height).
    void placeRow(GUIButton* row);
    // Builds the sub panel, the title (language text, large menu font), the rows, the back
    // row and the neighbours, then lays out once.
    void buildPage(irr::s32 titleText);
    // A row of the values Off (0) and On (1), showing the current one.
    GUIOptionCycle* addOnOffRow(irr::s32 label, bool on);
    // Pops and closes this page.
    void closePage();

    irr::s32 RowCount = 0;
};

// The language text of an id, as a value text of a cycle row.
irr::core::stringw settingsText(irr::s32 id);
