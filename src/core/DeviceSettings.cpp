#include "core/DeviceSettings.h"

#include "core/GameSettings.h"
#include "core/Log.h"
#include "platform/Kernel.h"
#include "platform/Window.h"

#include <irrlicht.h>

#include <algorithm>
#include <cctype>
#include <vector>

namespace {

DisplayOffer askDisplay() {
    DisplayOffer offer;
    irr::SIrrlichtCreationParameters params;
    params.DriverType = irr::video::EDT_NULL;
    params.LoggingLevel = irr::ELL_NONE;
    irr::IrrlichtDevice* probe = irr::createDeviceEx(params);
    if (!probe)
        return offer;
    irr::video::IVideoModeList* list = probe->getVideoModeList();
    offer.desktop = list->getDesktopResolution();
    for (irr::s32 i = 0; i < list->getVideoModeCount(); ++i)
        offer.modes.push_back(list->getVideoModeResolution(i));
    probe->drop();
    // The engine knows the desktop only through display extensions a server may lack.
    if (offer.desktop.Width == 0 || offer.desktop.Height == 0)
        platform::getDisplaySize(offer.desktop);
    return offer;
}

} // namespace

const std::vector<irr::core::dimension2du>& standardWindowSizes() {
    static const std::vector<irr::core::dimension2du> sizes = {
        {800, 600},   {1024, 600},  {1024, 768},  {1280, 720},  {1280, 800}, {1440, 900},
        {1280, 1024}, {1600, 1200}, {1680, 1050}, {1920, 1080}, {1920, 1200}};
    return sizes;
}

irr::core::dimension2du smallestWindowSize() { return standardWindowSizes().front(); }

bool fitResolutionToDisplay(irr::core::dimension2du& size, bool fullscreen, const irr::core::dimension2du& desktop,
                            const std::vector<irr::core::dimension2du>& modes) {
    if (desktop.Width == 0 || desktop.Height == 0)
        return true; // nothing known of the display
    if (fullscreen && !modes.empty()) {
        if (std::find(modes.begin(), modes.end(), size) != modes.end())
            return true;
        size = desktop;
        return false;
    }
    if (fullscreen) {
        // No list of modes: a size beyond the desktop is refused.
        if (size.Width <= desktop.Width && size.Height <= desktop.Height)
            return true;
        size = desktop;
        return false;
    }
    if (size.Width <= desktop.Width && size.Height <= desktop.Height)
        return true;
    irr::core::dimension2du best(0, 0);
    for (const irr::core::dimension2du& candidate : standardWindowSizes())
        if (candidate.Width <= desktop.Width && candidate.Height <= desktop.Height &&
            candidate.Width * candidate.Height >= best.Width * best.Height)
            best = candidate;
    size = best.Width ? best : desktop;
    return false;
}

bool fitDeviceSizes(int fullscreenMode, const irr::core::dimension2du& asked, const DisplayOffer& display,
                    DeviceSizes& sizes) {
    sizes.scene = asked;
    const bool kept = fitResolutionToDisplay(sizes.scene, fullscreenMode == 1, display.desktop, display.modes);
    const bool desktopKnown = display.desktop.Width > 0 && display.desktop.Height > 0;
    sizes.window = fullscreenMode == 2 && desktopKnown ? display.desktop : sizes.scene;
    return kept;
}

bool parseVideoDriver(const std::string& name, irr::video::E_DRIVER_TYPE& driver) {
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "opengl")
        driver = irr::video::EDT_OPENGL;
    else if (lower == "burnings")
        driver = irr::video::EDT_BURNINGSVIDEO;
    else if (lower == "software")
        driver = irr::video::EDT_SOFTWARE;
    else if (lower == "null")
        driver = irr::video::EDT_NULL;
    else
        return false;
    return true;
}

irr::SIrrlichtCreationParameters deviceParametersFromSettings() {
    irr::SIrrlichtCreationParameters params;
    const std::string driverName = getSettingString("Graphics_Driver");
    if (!parseVideoDriver(driverName, params.DriverType)) {
        logMessagePair("Warning: Unknown video driver, using OpenGL: ", driverName.c_str());
        params.DriverType = irr::video::EDT_OPENGL;
    }

    const int width = getSettingInt("Graphics_ScreenWidth");
    const int height = getSettingInt("Graphics_ScreenHeight");
    params.WindowSize = irr::core::dimension2du(width > 0 ? static_cast<irr::u32>(width) : 1280,
                                                height > 0 ? static_cast<irr::u32>(height) : 720);
    const int fullscreenMode = getSettingInt("Graphics_FullscreenMode");
    params.Fullscreen = fullscreenMode == 1;
    // Without a window (the null driver) only the borderless mode asks the display.
    const DisplayOffer display =
        params.DriverType != irr::video::EDT_NULL || fullscreenMode == 2 ? askDisplay() : DisplayOffer{};
    DeviceSizes sizes;
    if (!fitDeviceSizes(fullscreenMode, params.WindowSize, display, sizes)) {
        // The settings keep the fallback.
        logMessagef("Warning: The display cannot show %u x %u%s; using %u x %u.", params.WindowSize.Width,
                    params.WindowSize.Height,
                    fullscreenMode == 1   ? " in full screen"
                    : fullscreenMode == 2 ? " in its borderless window"
                                          : "",
                    sizes.scene.Width, sizes.scene.Height);
        setSettingInt("Graphics_ScreenWidth", static_cast<int>(sizes.scene.Width));
        setSettingInt("Graphics_ScreenHeight", static_cast<int>(sizes.scene.Height));
    }
    params.WindowSize = sizes.window;
    params.Vsync = getSettingBool("Graphics_Vsync");
    params.AntiAlias = static_cast<irr::u8>(std::clamp(getSettingInt("Graphics_Antialiasing"), 0, 16));
    params.Bits = 32;
    params.Stencilbuffer = true;
    const std::string singleBuffer = platform::environmentVariable(singleBufferVariable);
    params.Doublebuffer = singleBuffer.empty() || singleBuffer == "0";
    params.LoggingLevel = irr::ELL_INFORMATION;
    return params;
}
