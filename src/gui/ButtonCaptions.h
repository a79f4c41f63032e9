#pragma once

#include <string>

// How a binding reads on the remapping screen: the input's stored name (the engine's key
// name, "MOUSE_LEFT", "GAMEPAD_A", "JOYSTICK_AXIS_X_POS") as a player says it ("E", "Space",
// "Left Mouse", "Pad A"). The stored names stay what the settings file keeps.
std::wstring readableButtonName(const std::string& storedName);
