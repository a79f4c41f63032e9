#include "core/ProgramQueries.h"

#include "core/Globals.h"
#include "core/CoreSlots.h"
#include "core/SlotCalls.h"

#include <cmath>

namespace {

bool overlayCoversGame() { return askHook(coreSlots().screens.overlayBlend, 0.0f) != 0.0f; }

} // namespace

bool isSimulationActive() {
    return physicsManager && askHook(coreSlots().physics.isSimulationActive, false);
}

bool isSimulationRunning() { return isSimulationActive(); }

bool isEditorActive() { return false; }

bool isGameplaySuspended() {
    if (!screenManager || !levelManager)
        return false;
    return overlayCoversGame() || askHook(coreSlots().level.isSuspended, false);
}

bool isGameplaySuspendedOrLoading() {
    if (!screenManager || !levelManager)
        return false;
    return overlayCoversGame() || askHook(coreSlots().level.isLoadingOverlayBusy, false);
}

bool isMenuOpen() {
    if (!screenManager)
        return false;
    const CoreSlots::Screens& screens = coreSlots().screens;
    return askHook(screens.isStackActive, false) && !askHook(screens.isPauseScreenVisible, false);
}

bool isGameInputBlocked() {
    if (levelManager && askHook(coreSlots().level.isLevelLoading, false))
        return true;
    return screenManager && !askHook(coreSlots().screens.isInputAllowed, true);
}

bool isLoadingOverlayOpaque() {
    if (!levelManager)
        return true;
    const CoreSlots::Level& level = coreSlots().level;
    return askHook(level.loadingOverlayTransitionKind, 0) == 2 &&
           std::fabs(askHook(level.loadingOverlayFadeValue, 0.0f) - 1.0f) <= 1e-6f;
}

bool isGameRunningBehindScreen() {
    return screenManager && askHook(coreSlots().screens.topScreenKeepsTimerRunning, false);
}

bool screensAllowInput() {
    return !screenManager || askHook(coreSlots().screens.isInputAllowed, true);
}

bool screensAllowGameUpdate() {
    return !screenManager || askHook(coreSlots().screens.isGameUpdateAllowed, true);
}
