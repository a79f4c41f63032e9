#include "core/ProgramQueries.h"

#include "core/Globals.h"
#include "core/ShellHooks.h"

#include <cmath>

namespace {

template <class R>
R ask(const std::function<R()>& slot, R fallback) {
    return slot ? slot() : fallback;
}

bool overlayCoversGame() { return ask(shellHooks().screens.overlayBlend, 0.0f) != 0.0f; }

} // namespace

bool isSimulationActive() {
    return physicsManager && ask(shellHooks().physics.isSimulationActive, false);
}

bool isSimulationRunning() { return isSimulationActive(); }

bool isEditorActive() { return false; }

bool isGameplaySuspended() {
    if (!screenManager || !levelManager)
        return false;
    return overlayCoversGame() || ask(shellHooks().level.isSuspended, false);
}

bool isGameplaySuspendedOrLoading() {
    if (!screenManager || !levelManager)
        return false;
    return overlayCoversGame() || ask(shellHooks().level.isLoadingOverlayBusy, false);
}

bool isMenuOpen() {
    if (!screenManager)
        return false;
    const ScreenHooks& screens = shellHooks().screens;
    return ask(screens.isStackActive, false) && !ask(screens.isPauseScreenVisible, false);
}

bool isGameInputBlocked() {
    if (levelManager && ask(shellHooks().level.isLevelLoading, false))
        return true;
    return screenManager && !ask(shellHooks().screens.isInputAllowed, true);
}

bool isLoadingOverlayOpaque() {
    if (!levelManager)
        return true;
    const LevelHooks& level = shellHooks().level;
    return ask(level.loadingOverlayTransitionKind, 0) == 2 &&
           std::fabs(ask(level.loadingOverlayFadeValue, 0.0f) - 1.0f) <= 1e-6f;
}

bool isGameRunningBehindScreen() {
    return screenManager && ask(shellHooks().screens.topScreenKeepsTimerRunning, false);
}
