#include "player/GameActions.h"

#include "player/InputDevice.h"

namespace GameAction {

namespace {

constexpr const char* names[count] = {
    "Grab Object",
    "Drop Object",
    "Limp",
    "Mode Switch",
    "Pause Game",
    "Skip Cutscene",
    "Left Foot Raise",
    "Left Foot Move Left",
    "Left Foot Move Right",
    "Left Foot Move Forward",
    "Left Foot Move Back",
    "Right Foot Raise",
    "Right Foot Move Left",
    "Right Foot Move Right",
    "Right Foot Move Forward",
    "Right Foot Move Back",
    "Right Arm Move Left",
    "Right Arm Move Right",
    "Right Arm Move Forward",
    "Right Arm Move Back",
    "Right Arm Move Up",
    "Right Arm Move Down",
    "Right Arm Vertical Swap",
    "Right Arm Recenter",
    "Camera Up",
    "Camera Down",
    "Camera Left",
    "Camera Right",
    "Camera Zoom In",
    "Camera Zoom Out",
    "Remap Count",
    "Left Arm Move Left",
    "Left Arm Move Right",
    "Left Arm Move Forward",
    "Left Arm Move Back",
    "Left Arm Move Up",
    "Left Arm Move Down",
    "Left Arm Vertical Swap",
    "Left Arm Recenter",
    "Left Grab Object",
    "Menu Up",
    "Menu Down",
    "Menu Left",
    "Menu Right",
    "Menu Confirm",
    "Menu Back",
};

} // namespace

const char* name(int action) { return action >= 0 && action < count ? names[action] : ""; }

int find(const std::string& text) {
    for (int action = 0; action < count; ++action)
        if (equalsIgnoringCase(names[action], text))
            return action;
    return -1;
}

} // namespace GameAction
