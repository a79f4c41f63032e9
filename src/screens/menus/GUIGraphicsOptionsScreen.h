#pragma once

#include "screens/menus/GUISettingsScreen.h"

#include <dimension2d.h>

#include <vector>

// The graphics page of the options menu: resolution, full-screen mode, overscan, vertical
// sync, rendering quality (only from the main menu), anti-aliasing, shadows, shadow detail,
// shadow distance and reflections. Each change is written into the settings at once and,
// where the running renderer can take it, applied at once. Changes that need a new device
// (resolution, full-screen mode, vertical sync, anti-aliasing) are looked at when the page
// closes: from the main menu the game restarts in its process and reopens the options;
// from the pause menu a notice says the change waits for the next start.
class GUIGraphicsOptionsScreen : public GUISettingsScreen {
public:
    static constexpr const char* calibrationLevel = "Content/Levels/CalibrationLevel.irr";

    GUIGraphicsOptionsScreen(irr::gui::IGUIEnvironment* environment, bool openedFromMainMenu);

    void buildScreen() override;
    void buildItems() override;
    void onFadeOutDone() override;

    // The change needs a new device.
    bool needsRestart() const;
    // The fixed windowed sizes (unless full-screen mode 1), then the device's modes of at
    // least 800 x 600 that the list does not hold yet; none larger than the display.
    void buildResolutionList();
    // The sizes that fit on a display of that size, in their order (all of them when the
    // display size is unknown, 0 x 0).
    static std::vector<irr::core::dimension2du> sizesThatFit(const std::vector<irr::core::dimension2du>& sizes,
                                                           const irr::core::dimension2du& display);
    const std::vector<irr::core::dimension2du>& getResolutions() const { return Resolutions; }
    GUIOptionCycle* getResolutionRow() const { return ResolutionRow; }

    void onResolution(irr::s32 id);
    void onFullscreenMode(irr::s32 id);
    void onOverscan(irr::s32 id);
    void onVsync(irr::s32 id);
    void onQuality(irr::s32 id);
    void onAntialiasing(irr::s32 id);
    void onShadows(irr::s32 id);
    void onShadowQuality(irr::s32 id);
    void onShadowDistance(irr::s32 id);
    void onReflection(irr::s32 id);
    void onRestartNoticeClosed(irr::s32& answer);

private:
    void fillResolutionRow();

    irr::core::dimension2du ResolutionAtOpen{0, 0};
    irr::s32 AntialiasingAtOpen = 8;
    std::vector<irr::core::dimension2du> Resolutions;
    GUIOptionCycle* ResolutionRow = nullptr;
};
