#include "screens/menus/GUIAudioOptionsScreen.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/SoundManager.h"
#include "gui/GUIOptionCycle.h"
#include "gui/GUIOptionMeter.h"
#include "gui/hud/GUISubtitleManager.h"
#include "screens/ScreenManager.h"

using namespace irr;

namespace {

// A volume setting (0..1) as the meter's percent, truncated.
s32 volumePercent(const char* key) { return static_cast<s32>(getSettingFloat(key) * 100.0f); }

// Writes the volume and, with the sound manager running, gives its category the new volume.
void applyVolume(const char* key, f32 SoundManager::*volume, s32 percent) {
    const f32 v = static_cast<f32>(percent) * 0.01f;
    setSettingFloat(key, v);
    if (soundManager) {
        soundManager->*volume = v;
        if (!soundManager->disabled)
            soundManager->applyCategoryVolumes();
    }
}

} // namespace

GUIAudioOptionsScreen::GUIAudioOptionsScreen(gui::IGUIEnvironment* environment, bool openedFromMainMenu)
    : GUISettingsScreen(environment, openedFromMainMenu) {
    buildScreen();
}

void GUIAudioOptionsScreen::buildItems() {
    bindCallback(addMeterRow(20, 0, 100, volumePercent("Audio_SFXVolume"))->OnValueChanged, this,
                 &GUIAudioOptionsScreen::onSfxVolume);
    bindCallback(addMeterRow(21, 0, 100, volumePercent("Audio_VoiceoverVolume"))->OnValueChanged, this,
                 &GUIAudioOptionsScreen::onVoiceoverVolume);
    bindCallback(addMeterRow(22, 0, 100, volumePercent("Audio_MusicVolume"))->OnValueChanged, this,
                 &GUIAudioOptionsScreen::onMusicVolume);
    if (OpenedFromMainMenu) {
        GUIOptionCycle* output = addCycleRow(
            26, {{settingsText(264), -1},
                 {settingsText(260), 1},
                 {settingsText(261), 2},
                 {settingsText(262), 5},
                 {settingsText(263), 6}});
        output->selectValueById(getSettingInt("Audio_AudioOutput"));
        bindCallback(output->OnValueChanged, this, &GUIAudioOptionsScreen::onAudioOutput);
    }
    bindCallback(addOnOffRow(23, getSettingBool("Audio_Subtitles"))->OnValueChanged, this,
                 &GUIAudioOptionsScreen::onSubtitles);
    bindCallback(addOnOffRow(24, getSettingBool("Audio_BlackBoxSubtitles"))->OnValueChanged, this,
                 &GUIAudioOptionsScreen::onBlackBoxSubtitles);
    bindCallback(addOnOffRow(25, getSettingBool("Audio_MuteOnFocusLost"))->OnValueChanged, this,
                 &GUIAudioOptionsScreen::onMuteOnFocusLost);
}

void GUIAudioOptionsScreen::onSfxVolume(GUIOptionMeter* row) {
    applyVolume("Audio_SFXVolume", &SoundManager::sfxVolume, row->getValue());
}

void GUIAudioOptionsScreen::onVoiceoverVolume(GUIOptionMeter* row) {
    applyVolume("Audio_VoiceoverVolume", &SoundManager::voiceoverVolume, row->getValue());
}

void GUIAudioOptionsScreen::onMusicVolume(GUIOptionMeter* row) {
    applyVolume("Audio_MusicVolume", &SoundManager::musicVolume, row->getValue());
}

void GUIAudioOptionsScreen::onAudioOutput(s32 mode) {
    setSettingInt("Audio_AudioOutput", mode);
    if (!soundManager)
        return;
    // The sound system starts again with the new speaker set-up.
    if (!soundManager->disabled)
        soundManager->releaseEventSystem();
    if (soundManager->disabled) {
        soundManager->disabled = false;
        soundManager->init();
    }
    soundManager->restartSong();
}

void GUIAudioOptionsScreen::onSubtitles(s32 on) {
    setSettingBool("Audio_Subtitles", on != 0);
    if (!screenManager)
        return;
    screenManager->Subtitles = on != 0;
    if (GUISubtitleManager* subtitles = screenManager->getSubtitleManager())
        subtitles->SubtitlesOn = on != 0;
}

void GUIAudioOptionsScreen::onBlackBoxSubtitles(s32 on) {
    setSettingBool("Audio_BlackBoxSubtitles", on != 0);
    if (GUISubtitleManager* subtitles = screenManager ? screenManager->getSubtitleManager() : nullptr)
        subtitles->setBlackBox(on != 0);
}

void GUIAudioOptionsScreen::onMuteOnFocusLost(s32 on) {
    setSettingBool("Audio_MuteOnFocusLost", on != 0);
    if (soundManager)
        soundManager->muteOnFocusLost = on != 0;
}

void GUIAudioOptionsScreen::onFadeOutDone() {
    if (gameSettings)
        gameSettings->save();
    closePage();
}
