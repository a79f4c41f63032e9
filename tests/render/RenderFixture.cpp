#include "RenderFixture.h"

#include "render/RenderServices.h"

#include "core/Globals.h"
#include "core/ShellHooks.h"
#include "level/LevelHooks.h"

#include <algorithm>

using namespace irr;

namespace rendertest {

void resetRenderGlobals() {
    resetRenderServices();
    resetShellHooks();
    resetLevelHooks();
    effectHandler = nullptr;
    lightManager = nullptr;
    shaderManager = nullptr;
    gameDevice = nullptr;
}

int countPixels(video::IImage* image, const core::recti& area, const std::function<bool(const video::SColor&)>& test) {
    int count = 0;
    const core::dimension2du size = image->getDimension();
    for (s32 y = std::max(area.UpperLeftCorner.Y, 0); y < std::min(area.LowerRightCorner.Y, s32(size.Height)); ++y)
        for (s32 x = std::max(area.UpperLeftCorner.X, 0); x < std::min(area.LowerRightCorner.X, s32(size.Width)); ++x)
            count += test(image->getPixel(static_cast<u32>(x), static_cast<u32>(y))) ? 1 : 0;
    return count;
}

double meanLuminance(video::IImage* image, const core::recti& area) {
    double sum = 0.0;
    int count = 0;
    countPixels(image, area, [&](const video::SColor& c) {
        sum += c.getLuminance();
        ++count;
        return true;
    });
    return count ? sum / count : 0.0;
}

} // namespace rendertest
