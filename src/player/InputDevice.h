#pragma once

#include <map>
#include <string>
#include <vector>

class InputDevice;

// Binds one game action to one input of one device instance. The mapping files store
// these; every mapping the program makes has normalise and keep set.
struct ButtonMapping {
    InputDevice* device = nullptr; // not owned; a mapping without one is never written
    int instance = 0;              // pad, joystick or mouse index
    int buttonIndex = 0;           // the input's number within the device
    int modifier = 0;              // an input of the same device that must be held too (0: none)
    int schemeIndex = 0;           // the control scheme the mapping belongs to
    float multiplier = 1.0f;       // factor of getScaledValue
    float param1 = 0.0f;           // device parameters, read from mapping files, never written
    float param2 = 0.0f;
    float param3 = 0.0f;
    float param4 = 0.0f;
    bool normalise = true;         // joysticks: dead zone and -1..1 instead of raw units
    bool indexFromFile = false;    // the file named the input by "buttonIndex"
    bool keep = true;              // cleared: deleted before the mappings are written
};

// Every input source of the game. A device numbers its inputs (buttons and analog axes
// alike), names them, answers values and presses for a mapping, and takes part in finding
// the input the player pressed when a control is rebound.
//
// Every device enters the program-wide device list when it is constructed and leaves it when
// it is destroyed; the list keeps the creation order.
class InputDevice {
public:
    InputDevice();
    virtual ~InputDevice();
    InputDevice(const InputDevice&) = delete;
    InputDevice& operator=(const InputDevice&) = delete;

    virtual float getValue(const ButtonMapping& mapping) = 0;
    // The input became active this frame.
    virtual bool wasPressed(const ButtonMapping& mapping) = 0;
    // Finds an input pressed this frame; the mapping is left alone when there is none.
    virtual bool detectPressedInput(ButtonMapping& mapping);
    virtual bool isDown(const ButtonMapping& mapping);
    virtual float getScaledValue(const ButtonMapping& mapping);
    // Looks a name up in the name table (ASCII case ignored); -1 when absent.
    virtual int getButtonIndex(const std::string& name) const;
    // The first name (in name order) of the index; empty when none.
    virtual std::string getButtonName(int index) const;
    virtual std::wstring getName() const = 0;
    virtual std::wstring getDisplayName() const;
    virtual std::wstring getAlternateDisplayName() const;
    virtual void registerButtonNames() = 0;
    virtual int getButtonCount() const = 0;
    virtual float getAuxValue() const;
    virtual int getDeviceCount() const = 0;
    virtual int getConnectedCount() const;
    virtual bool isConnected(int instance) const;
    virtual bool hasMultipleInstances() const = 0;
    virtual bool usesModeSwitching() const;
    virtual bool takesPartInDetection() const;
    virtual InputDevice* getPairedDevice() const;
    virtual void setPairedDevice(InputDevice* device);
    // Drawn after the screens each frame.
    virtual void updateOverlay();

    // Stores the pair; a second name for an index is a second entry.
    void addButtonName(const std::string& name, int index);
    // getName as narrow text while the device is in the device list, else empty.
    std::string getNameA() const;

    // The first listed device whose name equals the text, ASCII case ignored.
    static InputDevice* findByName(const std::string& name);
    // Asks every listed device, in list order, for an input pressed this frame (a device
    // that finds none asks its paired device). The last device that finds one wins; its
    // mapping is then in foundMapping().
    static bool detectAnyPressedInput();
    static const ButtonMapping& foundMapping();
    static const std::vector<InputDevice*>& deviceList();

protected:
    // The display name of a localised text id, or getName when there is no such text.
    std::wstring localisedName(int textId) const;

    std::map<std::string, int> buttonNames;
    InputDevice* pairedDevice = nullptr;
};

// ASCII-only case-insensitive equality of two texts (names in mapping files and device
// lookups).
bool equalsIgnoringCase(const std::string& a, const std::string& b);
