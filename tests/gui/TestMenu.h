#pragma once

#include "gui/GUIMenuItem.h"
#include "gui/GUIOptionsList.h"
#include "gui/GuiHooks.h"

#include <string>
#include <utility>
#include <vector>

namespace guitest {

// A menu screen built the way the game's menu screens build theirs: panel, title in the
// language's title font, one plain row per entry (with its description as tooltip), back
// row, links; it slides with its fade.
class TestMenu : public GUIOptionsList {
public:
    struct Row {
        std::wstring caption;
        std::wstring tooltip;
    };

    TestMenu(irr::gui::IGUIEnvironment* environment, bool panelOnRight, std::wstring title, std::vector<Row> rows,
             bool fromMainMenu = false)
        : GUIOptionsList(environment, fromMainMenu, panelOnRight), title(std::move(title)), entries(std::move(rows)) {
        buildScreen();
    }
    // Rows named "Row 0", "Row 1" ... with tooltips "About row 0" ...
    static std::vector<Row> numberedRows(int count) {
        std::vector<Row> rows;
        for (int i = 0; i < count; ++i)
            rows.push_back({L"Row " + std::to_wstring(i), L"About row " + std::to_wstring(i)});
        return rows;
    }

    void buildScreen() override {
        createPanel(0);
        createTitle(title.c_str(), getLanguageFont(3));
        buildItems();
        createBackButton();
        linkItemNeighbours();
        GUIScreen::OnPostRender(0);
    }
    void buildItems() override {
        GUIOptionsList::buildItems();
        ++builds;
        for (const Row& entry : entries)
            addMenuItem(entry.caption.c_str())->setToolTipText(entry.tooltip.c_str());
    }
    void onBack(GUIButton* element) override { backs.push_back(element); }
    void OnPostRender(irr::u32 timeMs) override {
        GUIOptionsList::OnPostRender(timeMs);
        updatePanelSlide();
    }
    GUIButton* row(int i) const { return Items[static_cast<std::size_t>(i)]; }
    // Extra space below the row (as the play screen leaves under its first entries).
    void setGapAfter(irr::u32 index, irr::s32 pixels) { ItemGaps[index] = pixels; }

    std::wstring title;
    std::vector<Row> entries;
    int builds = 0;
    std::vector<GUIButton*> backs;
};

} // namespace guitest
