#include "core/SubsystemRegistration.h"

#include "camera/CameraRegistration.h"
#include "characters/CharacterRegistration.h"
#include "characters/animators/AnimatorFactory.h"
#include "level/LevelShellHooks.h"
#include "physics/world/PhysicsRegistration.h"
#include "player/InputRegistration.h"
#include "render/RenderRegistration.h"
#include "screens/ScreenRegistration.h"
#include "triggers/TriggerRegistration.h"
#include "triggers/actions/TriggerActionRegistration.h"

void registerGameSubsystems() {
    registerLevelShellHooks();
    registerInputSubsystem();
    registerScreens();
    registerPhysicsSubsystem();
    registerRenderSubsystem();
    registerCharacters();
    registerAnimators();
    // Before the level manager starts: its stand-in checkpoint yields to the trigger one.
    registerTriggerSubsystem();
    registerTriggerActions();
    registerCameraSubsystem();
}
