#pragma once

#include "core/Delegate.h"
#include "gui/GUIOptionsList.h"

#include <irrString.h>

#include <vector>

// The modal question of the menus: a side panel with a title and one row per answer. The
// asking screen subscribes to AnswerChosen and pushes the dialog; choosing a row (or backing
// out) fades the dialog out, and only then do the listeners receive the chosen index (-1 for
// back) and the dialog leaves the stack.
class GUIDialogScreen : public GUIOptionsList {
public:
    GUIDialogScreen(const irr::core::stringw& title, const std::vector<irr::core::stringw>& options,
                    irr::gui::IGUIEnvironment* environment, bool keepTimerRunning, bool panelOnRight);

    void onFadeInDone() override { setItemsEnabled(true); }
    void onFadeOutDone() override;
    void buildScreen() override;
    void buildItems() override;
    // The back key (null) or the back row: no answer.
    void onBack(GUIButton* element) override { onOptionChosen(element); }

    void addOption(const irr::core::stringw& text) { Options.push_back(text); }
    void onOptionChosen(GUIButton* element);
    irr::s32 getAnswer() const { return Answer; }

    // Listeners receive a reference to the answer (irr::s32&) after the fade-out.
    DelegateList AnswerChosen;
    irr::core::stringw Title;
    std::vector<irr::core::stringw> Options;

private:
    irr::s32 Answer = -1;
};
