#include "level/LevelHooks.h"

LevelHooks& levelHooks() {
    static LevelHooks hooks;
    return hooks;
}

void resetLevelHooks() { levelHooks() = LevelHooks(); }
