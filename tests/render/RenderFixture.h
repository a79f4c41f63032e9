#pragma once

#include <irrlicht.h>

#include <string>
#include <vector>

namespace rendertest {

// Empties every hook table and manager pointer the rendering code reads.
void resetRenderGlobals();

// Mean luminance of an area.
double meanLuminance(irr::video::IImage* image, const irr::core::recti& area);

} // namespace rendertest
