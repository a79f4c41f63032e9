#include "core/ProgramQueries.h"

#include "core/Globals.h"
#include "core/ShellHooks.h"

#include <cmath>

namespace {

bool overlayCoversGame() { return askHook(shellHooks().screens.overlayBlend, 0.0f) != 0.0f; }

} // namespace

bool isSimulationActive() {
    return physicsManager && askHook(shellHooks().physics.isSimulationActive, false);
}

bool isSimulationRunning() { return isSimulationActive(); }

bool isEditorActive() { return false; }

bool isGameplaySuspended() {
    if (!screenManager || !levelManager)
        return false;
    return overlayCoversGame() || askHook(shellHooks().level.isSuspended, false);
}

bool isGameplaySuspendedOrLoading() {
    if (!screenManager || !levelManager)
        return false;
    return overlayCoversGame() || askHook(shellHooks().level.isLoadingOverlayBusy, false);
}

bool isMenuOpen() {
    if (!screenManager)
        return false;
    const ScreenHooks& screens = shellHooks().screens;
    return askHook(screens.isStackActive, false) && !askHook(screens.isPauseScreenVisible, false);
}

bool isGameInputBlocked() {
    if (levelManager && askHook(shellHooks().level.isLevelLoading, false))
        return true;
    return screenManager && !askHook(shellHooks().screens.isInputAllowed, true);
}

bool isLoadingOverlayOpaque() {
    if (!levelManager)
        return true;
    const LevelHooks& level = shellHooks().level;
    return askHook(level.loadingOverlayTransitionKind, 0) == 2 &&
           std::fabs(askHook(level.loadingOverlayFadeValue, 0.0f) - 1.0f) <= 1e-6f;
}

bool isGameRunningBehindScreen() {
    return screenManager && askHook(shellHooks().screens.topScreenKeepsTimerRunning, false);
}
