#include "RenderFixture.h"

#include "render/RenderServices.h"

#include "support/GraphicsDriver.h"

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

double meanLuminance(video::IImage* image, const core::recti& area) {
    double sum = 0.0;
    int count = 0;
    test::countPixels(image, area, [&](const video::SColor& c) {
        sum += c.getLuminance();
        ++count;
        return true;
    });
    return count ? sum / count : 0.0;
}

} // namespace rendertest
