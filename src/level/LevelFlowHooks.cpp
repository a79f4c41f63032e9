#include "level/LevelFlowHooks.h"

LevelFlowHooks& levelFlowHooks() {
    static LevelFlowHooks hooks;
    return hooks;
}

void resetLevelFlowHooks() {
    levelFlowHooks() = LevelFlowHooks();
}
