#pragma once

#include <string>

// The game's actions. The index is the action id; the names are also the "actionName"
// values of the mapping files.
namespace GameAction {
enum : int {
    GrabObject = 0,
    DropObject = 1,
    Limp = 2,
    ModeSwitch = 3,
    PauseGame = 4,
    SkipCutscene = 5,
    LeftFootRaise = 6,
    LeftFootMoveLeft = 7,
    LeftFootMoveRight = 8,
    LeftFootMoveForward = 9,
    LeftFootMoveBack = 10,
    RightFootRaise = 11,
    RightFootMoveLeft = 12,
    RightFootMoveRight = 13,
    RightFootMoveForward = 14,
    RightFootMoveBack = 15,
    RightArmMoveLeft = 16,
    RightArmMoveRight = 17,
    RightArmMoveForward = 18,
    RightArmMoveBack = 19,
    RightArmMoveUp = 20,
    RightArmMoveDown = 21,
    RightArmVerticalSwap = 22,
    RightArmRecenter = 23,
    CameraUp = 24,
    CameraDown = 25,
    CameraLeft = 26,
    CameraRight = 27,
    CameraZoomIn = 28,
    CameraZoomOut = 29,
    RemapCount = 30,
    LeftArmMoveLeft = 31,
    LeftArmMoveRight = 32,
    LeftArmMoveForward = 33,
    LeftArmMoveBack = 34,
    LeftArmMoveUp = 35,
    LeftArmMoveDown = 36,
    LeftArmVerticalSwap = 37,
    LeftArmRecenter = 38,
    LeftGrabObject = 39,
    MenuUp = 40,
    MenuDown = 41,
    MenuLeft = 42,
    MenuRight = 43,
    MenuConfirm = 44,
    MenuBack = 45,
};
constexpr int count = 46;

// The action's name; empty for an id out of range.
const char* name(int action);
// The id of a name, ASCII case ignored; -1 when no action has it.
int find(const std::string& name);
} // namespace GameAction

// The key codes of the GUI key events that menu navigation sends to the focused element of
// the top screen.
namespace MenuCode {
constexpr int Left = 1000;
constexpr int Right = 1001;
constexpr int Down = 1002;
constexpr int Up = 1003;
constexpr int Confirm = 1004;
constexpr int Back = 1005;
constexpr int first = Left;
constexpr int count = 6;
} // namespace MenuCode
