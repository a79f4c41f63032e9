#include "core/DeviceSettings.h"

#include "core/GameSettings.h"
#include "core/Log.h"
#include "platform/Kernel.h"

#include <irrlicht.h>

#include <algorithm>
#include <cctype>

namespace {

// The desktop's size, asked of a device without a window.
irr::core::dimension2du desktopSize(const irr::core::dimension2du& fallback) {
    irr::SIrrlichtCreationParameters params;
    params.DriverType = irr::video::EDT_NULL;
    params.LoggingLevel = irr::ELL_NONE;
    irr::IrrlichtDevice* probe = irr::createDeviceEx(params);
    if (!probe)
        return fallback;
    irr::core::dimension2du size = probe->getVideoModeList()->getDesktopResolution();
    probe->drop();
    return size.Width && size.Height ? size : fallback;
}

} // namespace

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
    if (fullscreenMode == 2)
        params.WindowSize = desktopSize(params.WindowSize);
    params.Vsync = getSettingBool("Graphics_Vsync");
    params.AntiAlias = static_cast<irr::u8>(std::clamp(getSettingInt("Graphics_Antialiasing"), 0, 16));
    params.Bits = 32;
    params.Stencilbuffer = true;
    const std::string singleBuffer = platform::environmentVariable(singleBufferVariable);
    params.Doublebuffer = singleBuffer.empty() || singleBuffer == "0";
    params.LoggingLevel = irr::ELL_INFORMATION;
    return params;
}
