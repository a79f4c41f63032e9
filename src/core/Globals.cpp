#include "core/Globals.h"

irr::IrrlichtDevice* gameDevice = nullptr;
irr::s32 screenWidth = 1280;
irr::s32 screenHeight = 720;
Stopwatch* frameStopwatch = nullptr;

irr::s32 gameDifficulty = 1;
bool debugMode = false;
bool levelOnCommandLine = false;
bool StartingUp = true;
bool QuitRequested = false;
bool RestartRequested = false;
bool ReopenOptionsRequested = false;
irr::s32 deviceFullscreenMode = 0;
bool deviceVsync = false;
bool demoMode = false;
bool logTriggers = false;
bool multiTaroMode = false;
irr::f32 baseShadowDistance = defaultBaseShadowDistance;

GameSettings* gameSettings = nullptr;
InputManager* inputManager = nullptr;
LogManager* logManager = nullptr;
SteamManager* steamManager = nullptr;
ScreenManager* screenManager = nullptr;
LevelManager* levelManager = nullptr;
PhysicsManager* physicsManager = nullptr;
SaveManager* saveManager = nullptr;
LanguageManager* languageManager = nullptr;
ProfilerManager* profilerManager = nullptr;
EffectHandler* effectHandler = nullptr;
LightManager* lightManager = nullptr;
ShaderManager* shaderManager = nullptr;
ConfigTentMovementObject* movementObject = nullptr;
AnimatorFactory* animatorFactory = nullptr;
SoundManager* soundManager = nullptr;
CameraManager* cameraManagers[maxCameraManagers] = {};

namespace {
PlayerObject* playerList[maxPlayers] = {};
int playerListCount = 0;
} // namespace

PlayerObject* getPlayer(int index) {
    if (index < 0 || index >= playerListCount)
        return nullptr;
    return playerList[index];
}

void setPlayer(int index, PlayerObject* player) {
    if (index < 0 || index >= maxPlayers)
        return;
    if (index == 0 && !player) {
        clearPlayers();
        return;
    }
    playerList[index] = player;
    if (index >= playerListCount)
        playerListCount = index + 1;
}

int playerCount() { return playerListCount; }

void clearPlayers() {
    for (PlayerObject*& entry : playerList)
        entry = nullptr;
    playerListCount = 0;
}

void resetProgramFlags() {
    screenWidth = 1280;
    screenHeight = 720;
    gameDifficulty = 1;
    debugMode = false;
    levelOnCommandLine = false;
    StartingUp = true;
    QuitRequested = false;
    RestartRequested = false;
    deviceFullscreenMode = 0;
    deviceVsync = false;
    demoMode = false;
    logTriggers = false;
    multiTaroMode = false;
    baseShadowDistance = defaultBaseShadowDistance;
    clearPlayers();
}
