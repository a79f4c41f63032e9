#pragma once

#include "gui/GUIScreen.h"

class GUIFreeTypeText;
class GUIImage;

// The opacity of the title screen's logo picture and build notes (0..1), and where it is
// heading: 1.0 shows them, any other value hides them. The level menus and the options
// menu write the target when they take over and when they return; both outlive the screen.
extern irr::f32 MainScreenFade;
extern irr::f32 MainScreenFadeTarget;

// The title screen under the main menu. It owns no entries: it shows the background level
// behind the GUI (queueing it when another level is loaded), starts the menu song, draws a
// darkening cover and the logo picture, the build notes in the lower left corner, a strip
// of logos in demo mode, and a warning when the graphics cannot run the game's shaders.
// While menu panels slide in it moves with them so that its pictures stay centred in the
// free part of the screen.
class GUIMainScreen : public GUIScreen {
public:
    static constexpr const char* vignettePath = "Content/Screens/Backgrounds/Vignette2.dds";
    static constexpr const char* logoBackgroundPath = "Content/Screens/Backgrounds/LogoBackground.dds";
    static constexpr const char* logoStripPath = "Content/Screens/Objects/Logos.png";
    static constexpr const char* buildNotesPath = "Content/Language/English/BuildNotes.txt";
    static constexpr const char* menuSong = "Zivoraroz/tentaro2/levels/MainMenu/SongMainMenu";

    GUIMainScreen(irr::gui::IGUIEnvironment* environment, irr::gui::IGUIElement* parent, irr::s32 id,
                  const irr::core::recti& rectangle);

    void draw() override;
    void OnPostRender(irr::u32 timeMs) override;
    const irr::c8* getTypeName() const override { return "GUIMainScreen"; }
    void onShow() override;
    // The element factory's id of the class.
    virtual irr::s32 getFactoryTypeId() const;

    // The pixels by which the main menu panels stacked above have slid in (negative for a
    // right-hand panel).
    irr::s32 getMenuPanelOffset() const;
    // Where the cover and the logo picture go for the current screen size.
    static irr::core::recti coverRect(irr::s32 width, irr::s32 height);
    static irr::core::recti logoRect(irr::s32 width, irr::s32 height, irr::s32 x);
    // Where the logo picture's title lies across the picture (fractions of its width).
    static constexpr irr::f32 titleLeft = 0.17f;
    static constexpr irr::f32 titleRight = 0.83f;
    // The logo rectangle, made smaller and moved when need be, so that its title lies whole
    // between the two edges of the free screen (left of a right panel, right of a left one).
    static irr::core::recti keepTitleInside(const irr::core::recti& logo, irr::s32 freeLeft, irr::s32 freeRight);

    GUIFreeTypeText* getBuildNotesText() const { return BuildNotesText; }
    GUIFreeTypeText* getBuildNotesShadow() const { return BuildNotesShadow; }
    GUIImage* getLogoStrip() const { return LogoStrip; }
    irr::gui::IGUIElement* getShaderWarning() const { return ShaderWarning; }
    irr::gui::IGUIElement* getSaveFolderWarning() const { return SaveFolderWarning; }

private:
    void drawCoverImage(irr::video::ITexture* texture);
    void drawLogoBackground(irr::video::ITexture* texture, irr::s32 x);
    void placeLogoStrip();
    void loadBuildNotes();
    void placeBuildNotes();
    void showShaderModelWarning();
    void showSaveFolderWarning();
    // A notice on a white panel in the debug font.
    irr::gui::IGUIElement* addNotice(const wchar_t* text, const irr::core::recti& rect);

    GUIFreeTypeText* BuildNotesText = nullptr;
    GUIFreeTypeText* BuildNotesShadow = nullptr;
    GUIImage* LogoStrip = nullptr;
    irr::video::ITexture* VignetteTexture = nullptr;
    irr::video::ITexture* LogoBackgroundTexture = nullptr;
    // The logo picture's pixels that are not transparent (a sixteenth of it): all it draws.
    irr::core::recti LogoShownPart;
    irr::gui::IGUIElement* ShaderWarning = nullptr;
    irr::gui::IGUIElement* SaveFolderWarning = nullptr;
};
