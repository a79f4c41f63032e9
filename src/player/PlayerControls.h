#pragma once

#include "player/GameActions.h"
#include "player/InputDevice.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class InputManager;
class VibrationController;
class MouseDevice;
class KeyboardDevice;
class TouchDevice;
class MultitouchDevice;
class GamepadDevice;
class JoystickDevice;
class MoveDevice;
class LeapDevice;

// The controls of one player (and control set): for each of the 46 game actions a list of
// mappings, answering with the strongest value among those usable right now. It also keeps
// the device the player used last, the sensitivities from the settings, the touch mode and
// the control scheme per device, and reads and writes the player's mapping file.
class PlayerControls {
public:
    static constexpr const char* defaultMappingPath = "Content/Input/Default.xml";
    static constexpr const char* remappingFileName = "InputRemapping14-01-15.xml";

    // instance: the pad, joystick or mouse index of this player. Reads the mappings at once.
    PlayerControls(InputManager* manager, int player, int set, int instance, InputDevice* initialDevice);
    ~PlayerControls();
    PlayerControls(const PlayerControls&) = delete;
    PlayerControls& operator=(const PlayerControls&) = delete;

    void update();

    float getActionValue(int action);
    bool wasActionPressed(int action, InputDevice** outDevice = nullptr);
    bool isMappingUsable(const ButtonMapping* mapping) const;
    int getDeviceScheme(const InputDevice* device) const;
    void setDeviceScheme(const InputDevice* device, int scheme);

    // Appends a copy of the mapping (every field) and returns the copy; null for an action
    // out of range.
    ButtonMapping* addMapping(int action, const ButtonMapping& mapping);
    // Deletes the mappings whose keep flag is clear or whose device is null.
    void removeUnboundMappings();
    void clearMappings();
    const std::vector<std::unique_ptr<ButtonMapping>>& mappings(int action) const;
    int mappingCount() const;

    // Mapping files (InputMapping.cpp). readMappings appends the file's mappings; it answers
    // false when the file is missing, unreadable or not a whole mapping file. writeMappings
    // answers false, writing nothing, while the player's file could be neither read nor kept aside.
    bool readMappings(const std::string& path);
    bool writeMappings();
    void loadMappings();
    void resetMappings();

    // Queries of other subsystems.
    bool isPausePressed();
    bool isMenuBackPressed();
    bool isMenuCodePressed(int code);
    bool isMenuCodeDown(int code);
    bool isSkipCutscenePressed();
    bool isSkipCutsceneDown();
    bool isActionActive(int action);
    bool isModeSwitchPressed();
    bool isGrabHeld(bool oneSideOnly);

    // Queues a timed rumble effect on this player's pad.
    void addRumble(float left, float right, float duration, float delay);

    // Which parts of the body these controls drive (roles 0-3).
    bool usesRole(int role) const { return role >= 0 && role < 4 && roles[role]; }
    void setRole(int role, bool value) {
        if (role >= 0 && role < 4)
            roles[role] = value;
    }

    int player() const { return playerIndex; }
    int set() const { return setIndex; }

    float verticalSensitivity;
    float horizontalSensitivity;
    float scrollSensitivity;
    float gamepadStickSensitivity;
    float joystickStickSensitivity;
    int gamepadInstance;
    int secondaryInstance;
    bool keyboardMouseEnabled = true;
    bool touchMode = false;
    bool multitouchEnabled = false;
    InputDevice* lastDevice;
    // The user's mapping file: the remapping file's name in the save folder.
    std::string remappingPath;

private:
    struct ReadReport;
    bool readMappingFile(const std::string& path, const std::vector<bool>* onlyActions, ReadReport* report);
    int instanceFor(const InputDevice* device) const;
    void noteDevice(InputDevice* device);

    InputManager* manager;
    MouseDevice* mouse;
    KeyboardDevice* keyboard;
    TouchDevice* touch;
    MultitouchDevice* multitouch;
    GamepadDevice* gamepad;
    JoystickDevice* joystick;
    MoveDevice* move;
    LeapDevice* leap;
    VibrationController* vibration;
    bool roles[4] = {true, false, true, true};
    std::vector<std::unique_ptr<ButtonMapping>> actionMappings[GameAction::count];
    int playerIndex;
    int setIndex;
    std::map<const InputDevice*, int> deviceSchemes;
    // The player's mapping file could not be read nor kept aside: it is never written over.
    bool fileMustNotBeReplaced = false;
};
