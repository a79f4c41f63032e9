#pragma once

#include "gui/GUIOptionsList.h"

#include <initializer_list>

class GUIImage;

// The menu that stops a running level. A standing screen: made once by the screen manager,
// hidden, and shown or hidden by the pause toggle. While open it dims the game, pauses the
// sounds and publishes how far the dimming has got (the HUD and the objective panel follow
// it). Its commands (resume, restart from the checkpoint or the beginning, quit) run when
// its fade-out ends, and act only by queueing level events. Its panel stands tucked away
// while a screen is stacked over it (a question, the options) and slides back when that has
// gone; a restart or a quit leaves it tucked away and the game dimmed until the cover of the
// queued transition has come and the menus are cleared beneath it.
class GUIPauseScreen : public GUIOptionsList {
public:
    static constexpr const char* dimTexturePath = "Content/Screens/Objects/PauseColor.png";

    GUIPauseScreen(irr::gui::IGUIElement* objectivePanel, irr::gui::IGUIEnvironment* environment,
                   const irr::core::recti& rectangle);

    void OnPostRender(irr::u32 timeMs) override;
    void setVisible(bool visible) override;
    const irr::c8* getTypeName() const override { return "GUIPauseScreen"; }
    void refreshFocus() override { setFocusedElement(FocusedElement); }
    void onFadeInDone() override;
    void onFadeOutDone() override;
    void buildScreen() override;
    void buildItems() override;
    void onBack(GUIButton* element) override;

    // How far the dimming has got, 0..1 (1 throughout a restart or a quit).
    irr::f32 getDimAmount() const;
    // A restart or a quit has been chosen: the game stays dimmed until the menus are cleared.
    bool isLeavingLevel() const { return LeavingLevel; }

    void onResume(GUIButton* row);
    void openRestartFromCheckpointDialog(GUIButton* row);
    void openOptions(GUIButton* row);
    void openQuitDialog(GUIButton* row);
    void onRestartAnswer(irr::s32& answer);
    void onRestartBeginningAnswer(irr::s32& answer);
    void onQuitAnswer(irr::s32& answer);

    GUIImage* getDimImage() const { return DimImage; }
    irr::gui::IGUIElement* getObjectivePanel() const { return ObjectivePanel; }

private:
    void leaveWith(const char* command);
    void openDialog(irr::s32 title, std::initializer_list<irr::s32> answers, void (GUIPauseScreen::*action)(irr::s32&));
    void closeStack();
    void updatePanelTuck();

    irr::gui::IGUIElement* ObjectivePanel;
    GUIImage* DimImage = nullptr;
    bool LeavingLevel = false;
};
