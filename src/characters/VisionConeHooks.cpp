#include "characters/VisionConeHooks.h"

VisionConeHookTable& visionConeHooks() {
    static VisionConeHookTable table;
    return table;
}

void resetVisionConeHooks() { visionConeHooks() = VisionConeHookTable(); }
