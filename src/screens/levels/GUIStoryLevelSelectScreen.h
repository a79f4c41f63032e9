#pragma once

#include "gui/GUIOptionsList.h"

#include <vector>

// The level menu of the game's own levels: in mode 2 the story levels, in mode 3 the shorts.
// Each row is one listed level (a locked one shows "? ? ?" and cannot be started); focusing
// a row shows that level's preview scene behind the menu, choosing one fades this menu and
// its opener out and starts the level, resuming the free-play checkpoint when it belongs to
// that level. Outside demo mode every row carries its progress marks (star, best time,
// ties).
class GUIStoryLevelSelectScreen : public GUIOptionsList {
public:
    static constexpr const char* controlsDemoLevel = "Content/Levels/Church_DemoControls.irr";

    GUIStoryLevelSelectScreen(GUIScreen* opener, irr::gui::IGUIEnvironment* environment, irr::s32 mode);

    const irr::c8* getTypeName() const override { return "GUILevelSelectScreen"; }
    void refreshFocus() override;
    void onFadeOutDone() override;
    void buildScreen() override;
    void buildItems() override;
    void onBack(GUIButton* element) override;

    void onLevelFocused(GUIButton* row);
    void onLevelClicked(GUIButton* row);
    void onControlsPromptAnswered(irr::s32& choice);

    const std::vector<GUIButton*>& getRows() const { return Rows; }
    GUIButton* getChosenItem() const { return ChosenItem; }
    irr::s32 getMode() const { return Mode; }

private:
    void startChosenLevel();
    void startLevel();

    std::vector<GUIButton*> Rows;
    GUIButton* ChosenItem = nullptr;
    GUIButton* FocusedItem = nullptr;
    GUIScreen* OpenerScreen;
    irr::s32 Mode;
};
