#pragma once

#include "screens/menus/GUISettingsScreen.h"

// The audio page of the options menu: the effects, voice and music volumes as meters, the
// speaker set-up (only from the main menu), and the subtitle, subtitle-box and mute-in-
// background switches. Every change is written into the settings and applied at once (the
// sound categories, the sound manager's flags, the subtitle screen); the settings file is
// written when the page closes.
class GUIAudioOptionsScreen : public GUISettingsScreen {
public:
    GUIAudioOptionsScreen(irr::gui::IGUIEnvironment* environment, bool openedFromMainMenu);

    void buildScreen() override { buildPage(15); }
    void buildItems() override;
    void onFadeOutDone() override;

    void onSfxVolume(GUIOptionMeter* row);
    void onVoiceoverVolume(GUIOptionMeter* row);
    void onMusicVolume(GUIOptionMeter* row);
    void onAudioOutput(irr::s32 mode);
    void onSubtitles(irr::s32 on);
    void onBlackBoxSubtitles(irr::s32 on);
    void onMuteOnFocusLost(irr::s32 on);
};
