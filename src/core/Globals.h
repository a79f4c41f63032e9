#pragma once

#include <irrTypes.h>

// Program-wide values, flags and manager accessors. Every manager is a single instance
// created at start-up and reached through its pointer here; a pointer is null before its
// manager exists and after it is destroyed, and every caller tests it.

namespace irr {
class IrrlichtDevice;
}

class GameSettings;
class InputManager;
class LogManager;
class SteamManager;
class ScreenManager;
class LevelManager;
class PhysicsManager;
class SaveManager;
class LanguageManager;
class ProfilerManager;
class EffectHandler;
class LightManager;
class ShaderManager;
class ConfigTentMovementObject;
class AnimatorFactory;
class SoundManager;
class CameraManager;
class PlayerObject;
class Stopwatch;

// --- the engine device and the screen ------------------------------------------------
extern irr::IrrlichtDevice* gameDevice;
// Current screen size in pixels; 1280 x 720 until the device exists.
extern irr::s32 screenWidth;
extern irr::s32 screenHeight;
// The rendering code's names for the same two values.
inline irr::s32& displayWidth = screenWidth;
inline irr::s32& displayHeight = screenHeight;
// One GUI unit is screenHeight / referenceHeight pixels.
constexpr irr::f32 referenceHeight = 720.0f;

// --- the frame ---------------------------------------------------------------------------
// The frame cap and the physics step share this constant; it is 0.0167, not 1/60.
constexpr irr::f32 frameTargetInterval = 0.0167f;
// The frame stopwatch: its delta is the duration of the last frame in seconds.
extern Stopwatch* frameStopwatch;

// --- flags ---------------------------------------------------------------------------------
extern irr::s32 gameDifficulty;     // "Game_Difficulty": 0 adds no suspicion, 2 doubles it
extern bool debugMode;              // switched by the level manager's debug keys
extern bool levelOnCommandLine;     // a level path was given on the command line
extern bool StartingUp;             // true until the initial level has loaded
extern bool QuitRequested;          // the main loop ends after the current frame
extern bool RestartRequested;       // the frame update returns the restart status
extern bool ReopenOptionsRequested; // survives a restart; the main menu reopens options
extern irr::s32 deviceFullscreenMode; // "Graphics_FullscreenMode" of the running device
extern bool deviceVsync;              // "Graphics_Vsync" of the running device
extern bool demoMode;                 // "System_DemoMode", read once at start-up
extern bool logTriggers;              // "System_LogTriggers"
extern bool multiTaroMode;            // "System_MultiTaro": one camera manager per viewport

// Shadow distance of the directional light: 4500 x 0.017453292, set once at start-up.
extern irr::f32 baseShadowDistance;
constexpr irr::f32 defaultBaseShadowDistance = 4500.0f * 0.017453292f;

// Status values of the game routine (the process exit status follows them).
constexpr int gameStatusNormal = 0;
constexpr int gameStatusRestart = 1;
constexpr int gameStatusFailure = -1;
// The connection to the display was lost under the game: it ended at once, its settings and
// save written (the process's exit status; the routine never returns it).
constexpr int gameStatusDisplayLost = 3;

// --- managers --------------------------------------------------------------------------------
extern GameSettings* gameSettings;
extern InputManager* inputManager;
extern LogManager* logManager;
extern SteamManager* steamManager;
extern ScreenManager* screenManager;
extern LevelManager* levelManager;
extern PhysicsManager* physicsManager;
extern SaveManager* saveManager;
extern LanguageManager* languageManager;
extern ProfilerManager* profilerManager;
extern EffectHandler* effectHandler;
extern LightManager* lightManager;
extern ShaderManager* shaderManager;
extern ConfigTentMovementObject* movementObject;
extern AnimatorFactory* animatorFactory;
extern SoundManager* soundManager;

// One camera manager per viewport; the first entry is the first viewport's.
constexpr int maxCameraManagers = 4;
extern CameraManager* cameraManagers[maxCameraManagers];

// --- the player list ---------------------------------------------------------------------------
// Entry n-1 is player n. Nothing in this program fills it; callers test for an empty list
// and a null entry.
constexpr int maxPlayers = 4;
PlayerObject* getPlayer(int index);
// Stores an object and grows the list to hold it; storing null at index 0 empties the list.
void setPlayer(int index, PlayerObject* player);
int playerCount();
void clearPlayers();

// Puts every flag and value above back to its start-up state (tests, and the restart
// loop for what does not survive a restart).
void resetProgramFlags();
