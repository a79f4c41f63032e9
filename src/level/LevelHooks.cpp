#include "level/LevelHooks.h"

LevelHookTable& levelHooks() {
    static LevelHookTable hooks;
    return hooks;
}

void resetLevelHooks() {
    levelHooks() = LevelHookTable();
}
