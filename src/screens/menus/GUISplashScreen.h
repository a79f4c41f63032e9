#pragma once

#include "gui/GUIScreen.h"

class GUIFreeTypeText;

// A full-screen picture (the thanks-for-playing picture of the demo) shown for ten seconds,
// after which the game returns to the main menu by itself. The level keeps running behind it.
class GUISplashScreen : public GUIScreen {
public:
    static constexpr const char* picturePath = "Content/Screens/Backgrounds/ThanksForPlaying.png";
    static constexpr irr::f32 shownLimitSeconds = 10.0f;
    // The words over the picture (the picture itself has none).
    static constexpr irr::s32 messageTextId = 129;

    GUISplashScreen(irr::gui::IGUIEnvironment* environment, irr::gui::IGUIElement* parent,
                    const irr::core::recti& rectangle);

    void draw() override;
    void OnPostRender(irr::u32 timeMs) override;
    const irr::c8* getTypeName() const override { return "GUISplashScreen"; }

    // Where a picture of that size goes: filling the screen, cropped equally on the two sides
    // that overflow.
    static irr::core::recti pictureRect(const irr::core::dimension2du& pictureSize, irr::s32 width, irr::s32 height);
    // Seconds shown so far; -1 once the return to the main menu is queued.
    irr::f32 getShownSeconds() const { return ShownSeconds; }
    GUIFreeTypeText* getMessage() const { return Message; }

private:
    irr::video::ITexture* SplashTexture = nullptr;
    GUIFreeTypeText* Message = nullptr;
    irr::f32 ShownSeconds = 0.0f;
};
