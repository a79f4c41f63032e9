#pragma once

#include "camera/CameraServices.h"
#include "characters/CharacterServices.h"
#include "physics/world/PhysicsHooks.h"
#include "render/RenderServices.h"
#include "screens/ScreenRegistration.h"
#include "triggers/TriggerServices.h"

namespace test {

// Empties the slots connectGameObjectsToScreens fills (registerScreens fills them too), and
// only those.
inline void disconnectGameObjectsFromScreens() {
    cameraServices().screens = CameraServices::Screens();
    characterServices().screens = CharacterServiceTable::Screens();
    triggerServices().screens = TriggerServiceTable::Screens();
    physicsHooks().screens = PhysicsHookTable::Screens();
    renderServices().fonts = RenderServices::Fonts();
}

// The game objects reach the screens the game's way while it lives.
class ScreenConnections {
public:
    ScreenConnections() { connectGameObjectsToScreens(); }
    ~ScreenConnections() { disconnectGameObjectsFromScreens(); }
    ScreenConnections(const ScreenConnections&) = delete;
    ScreenConnections& operator=(const ScreenConnections&) = delete;
};

} // namespace test
