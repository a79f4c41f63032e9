#include "player/PlayerHooks.h"

#include "core/Globals.h"
#include "core/SteamManager.h"

namespace {

PlayerHooks& hooks() {
    static PlayerHooks instance;
    return instance;
}

template <class R>
R ask(const std::function<R()>& slot, R fallback) {
    return slot ? slot() : fallback;
}

} // namespace

PlayerHooks& playerHooks() { return hooks(); }

void resetPlayerHooks() { hooks() = PlayerHooks(); }

namespace inputQueries {

bool isSimulationActive() { return ask(hooks().physics.isSimulationActive, false); }

float fixedStep() { return ask(hooks().physics.fixedStepLength, frameTargetInterval); }

bool isInputAllowed() { return ask(hooks().screens.isInputAllowed, true); }

bool isGameplaySuspended() { return ask(hooks().game.isGameplaySuspended, false); }

bool isGameplaySuspendedOrLoading() { return ask(hooks().game.isGameplaySuspendedOrLoading, false); }

bool isMenuOpen() { return ask(hooks().game.isMenuOpen, false); }

bool isStoreOverlayActive() { return steamManager && steamManager->isOverlayActive(); }

} // namespace inputQueries
