#include "core/SubsystemRegistration.h"

#include "camera/CameraRegistration.h"
#include "characters/CharacterRegistration.h"
#include "level/LevelShellHooks.h"
#include "physics/world/PhysicsRegistration.h"
#include "player/InputRegistration.h"
#include "render/RenderRegistration.h"
#include "screens/ScreenRegistration.h"

void registerGameSubsystems() {
    registerLevelShellHooks();
    registerInputSubsystem();
    registerScreens();
    registerPhysicsSubsystem();
    registerRenderSubsystem();
    registerCharacters();
    registerCameraSubsystem();
}
