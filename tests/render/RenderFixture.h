#pragma once

#include <irrlicht.h>

#include <functional>
#include <string>
#include <vector>

namespace rendertest {

// Empties every hook table and manager pointer the rendering code reads.
void resetRenderGlobals();

// Counts the pixels of an area that pass a test.
int countPixels(irr::video::IImage* image, const irr::core::recti& area,
                const std::function<bool(const irr::video::SColor&)>& test);
// Mean luminance of an area.
double meanLuminance(irr::video::IImage* image, const irr::core::recti& area);

} // namespace rendertest
