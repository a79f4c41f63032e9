#pragma once

#include "gui/GUIScreen.h"

class GUIImage;

// The standing overlay that frames a running cutscene: a black bar slides in from the top
// and one from the bottom over a second, a vignette darkens the picture between them, and a
// skip prompt in the lower-right corner fills while the skip action is held. Its bar amount
// is what the rest of the game reads as "a cutscene is on screen": while it is not 0 no
// newly pushed camera activates, the player's camera input is held and gameplay counts as
// suspended. It never blocks game input (element type 1009, like the HUD).
class GUICutscene : public GUIScreen {
public:
    static constexpr const char* barTexturePath = "Content/Models/Editor/Black.png";
    static constexpr const char* vignettePath = "Content/Screens/Backgrounds/Vignette.dds";
    static constexpr const char* skipPromptPath = "Content/Billboards/SkipCutscene.xml";
    // The prompt's frames: 0..9 show the held time, 10 a refused skip.
    static constexpr irr::s32 refusedFrame = 10;

    GUICutscene(irr::gui::IGUIEnvironment* environment, irr::gui::IGUIElement* parent, irr::s32 id);
    ~GUICutscene() override;

    void draw() override;
    void OnPostRender(irr::u32 timeMs) override;
    // Shows (bars slide in) or hides (bars slide out); the element itself stays visible.
    void setVisible(bool visible) override;
    const irr::c8* getTypeName() const override { return "GUICutscene"; }

    void snapBarsIn();
    void snapBarsOut();
    // The value the prompt shows: seconds held (0..1), or negative for a refused skip.
    void setSkipProgress(irr::f32 value) { skipProgress = value; }

    irr::f32 getBarAmount() const { return barAmount; }
    irr::f32 getBarGoal() const { return barGoal; }
    irr::f32 getSkipProgress() const { return skipProgress; }
    irr::s32 getBarHeight() const { return barHeight; }
    GUIImage* getTopBar() const { return topBar; }
    GUIImage* getBottomBar() const { return bottomBar; }
    GUIImage* getVignette() const { return vignette; }
    GUIImage* getSkipPrompt() const { return skipPrompt; }
    // The prompt frame chosen in the last update.
    irr::s32 getPromptFrame() const { return promptFrame; }

private:
    void applyBarLayout(irr::f32 dt);
    void updateSkipPrompt();

    GUIImage* bottomBar = nullptr;
    GUIImage* topBar = nullptr;
    GUIImage* vignette = nullptr;
    GUIImage* skipPrompt = nullptr;
    irr::s32 barHeight = 64;
    irr::f32 barAmount = 0.0f;
    irr::f32 barGoal = 0.0f;
    irr::f32 skipProgress = 0.0f;
    irr::s32 promptFrame = 0;
};
