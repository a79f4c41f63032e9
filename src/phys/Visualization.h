#pragma once

#include "phys/MathTypes.h"

#include <cstdint>
#include <vector>

// Debug visualisation and simulation statistics of a scene.

namespace phys {

// Parameter numbers as the game writes them.
enum class VisualizationParameter : int {
    Scale = 0,            // overall switch and size; 0 turns every line off
    CollisionShapes = 13, // wireframes of the shapes
    CullBox = 30,         // only shapes whose bounds meet the culling box
    Count = 32,
};

// Colours are 0xAARRGGBB.
struct DebugLine {
    Vec3 pos0;
    uint32_t color0 = 0;
    Vec3 pos1;
    uint32_t color1 = 0;
};

class RenderBuffer {
public:
    uint32_t getNbLines() const { return static_cast<uint32_t>(lines.size()); }
    const DebugLine* getLines() const { return lines.empty() ? nullptr : lines.data(); }

    std::vector<DebugLine> lines; // internal
};

struct SimulationStatistics {
    uint32_t nbActiveConstraints = 0;
    uint32_t nbActiveDynamicBodies = 0;
    uint32_t nbActiveKinematicBodies = 0;
    uint32_t nbStaticBodies = 0;
    uint32_t nbDynamicBodies = 0;
    uint32_t nbShapes[7] = {}; // indexed by GeometryType
    uint32_t nbAxisSolverConstraints = 0;
    uint32_t nbBroadPhaseAdds = 0;
    uint32_t nbBroadPhaseRemoves = 0;
};

} // namespace phys
