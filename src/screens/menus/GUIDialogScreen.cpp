#include "screens/menus/GUIDialogScreen.h"

#include "core/Globals.h"
#include "gui/GUIMenuItem.h"
#include "gui/GuiHooks.h"
#include "screens/ScreenManager.h"

using namespace irr;

namespace {
// The objective font role of the language: the dialog's title and answers.
constexpr s32 dialogFontRole = 1;
constexpr f32 dialogFadeSeconds = 0.2f;
} // namespace

GUIDialogScreen::GUIDialogScreen(const core::stringw& title, const std::vector<core::stringw>& options,
                                 gui::IGUIEnvironment* environment, bool keepTimerRunning, bool panelOnRight)
    : GUIOptionsList(environment, false, panelOnRight), Title(title), Options(options) {
    PassInput = false;
    setKeepTimerRunning(keepTimerRunning);
    startFadeIn(dialogFadeSeconds);
    buildScreen();
}

void GUIDialogScreen::buildScreen() {
    createPanel(1);
    createTitle(Title.c_str(), getLanguageFont(dialogFontRole));
    buildItems();
    createBackButton();
    // The first row has the focus and shows it from the first frame; the rows stay enabled
    // (a disabled row shows no focus) and the choice waits for the end of the fade-in.
    linkItemNeighbours();
    updateAbsolutePosition();
}

void GUIDialogScreen::buildItems() {
    GUIOptionsList::buildItems();
    ItemFont = getLanguageFont(dialogFontRole);
    for (const core::stringw& text : Options) {
        GUIMenuItem* item = addMenuItem(text.c_str());
        bindCallback(item->OnClick, this, &GUIDialogScreen::onOptionChosen);
    }
}

void GUIDialogScreen::onOptionChosen(GUIButton* element) {
    // A choice waits for the fade-in; a second choice while fading out would overwrite the
    // first answer.
    if (FadeState != Shown)
        return;
    Answer = -1;
    for (std::size_t i = 0; i < Items.size(); ++i)
        if (element && Items[i] == element)
            Answer = static_cast<s32>(i);
    setItemsEnabled(false);
    startFadeOut(dialogFadeSeconds);
}

void GUIDialogScreen::onFadeOutDone() {
    grab();
    dispatchEvent(AnswerChosen, Answer);
    if (screenManager)
        screenManager->popScreen(this, true);
    drop();
}
