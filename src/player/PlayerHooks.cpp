#include "player/PlayerHooks.h"

#include "core/Globals.h"
#include "core/ProgramQueries.h"
#include "core/SlotCalls.h"
#include "core/SteamManager.h"
#include "physics/world/PhysicsManager.h"

namespace {

PlayerHooks& hooks() {
    static PlayerHooks instance;
    return instance;
}

} // namespace

PlayerHooks& playerHooks() { return hooks(); }

void resetPlayerHooks() { hooks() = PlayerHooks(); }

namespace inputQueries {

bool isSimulationActive() { return ::isSimulationActive(); }

float fixedStep() { return physicsManager ? physicsManager->getStepSize() : PhysicsManager::fixedStepSize; }

bool isInputAllowed() { return ::screensAllowInput(); }

bool isGameplaySuspended() { return ::isGameplaySuspended(); }

bool isGameplaySuspendedOrLoading() { return ::isGameplaySuspendedOrLoading(); }

bool isMenuOpen() { return ::isMenuOpen(); }

bool isStoreOverlayActive() { return steamManager && steamManager->isOverlayActive(); }

} // namespace inputQueries
