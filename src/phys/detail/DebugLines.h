#pragma once

#include "phys/Visualization.h"

#include <vector>

// Wireframes of the scene's shapes for the debug render buffer.

namespace phys {
class RigidActor;
}

namespace phys::detail {

// Replaces the buffer's lines with the shapes of the actors at their current poses, when
// the scale and collision-shape parameters are both set; only shapes meeting the culling box
// when the culling parameter is set.
void buildDebugLines(const std::vector<RigidActor*>& actors, const float* parameters, const Bounds3& cullingBox,
                     RenderBuffer& out);

} // namespace phys::detail
