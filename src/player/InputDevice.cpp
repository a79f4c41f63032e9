#include "player/InputDevice.h"

#include "core/Utf8.h"
#include "core/Globals.h"
#include "core/LanguageManager.h"

#include <algorithm>

namespace {

std::vector<InputDevice*>& devices() {
    static std::vector<InputDevice*> list;
    return list;
}

ButtonMapping& foundMappingStore() {
    static ButtonMapping mapping;
    return mapping;
}

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

} // namespace

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    return true;
}

InputDevice::InputDevice() { devices().push_back(this); }

InputDevice::~InputDevice() {
    std::vector<InputDevice*>& list = devices();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

bool InputDevice::detectPressedInput(ButtonMapping& mapping) {
    // The counts are asked again at every step: a device may change them while it is asked.
    for (int instance = 0; instance < getDeviceCount(); ++instance) {
        for (int button = 0; button < getButtonCount(); ++button) {
            ButtonMapping candidate;
            candidate.device = this;
            candidate.instance = instance;
            candidate.buttonIndex = button;
            if (wasPressed(candidate)) {
                mapping = candidate;
                return true;
            }
        }
    }
    return false;
}

bool InputDevice::isDown(const ButtonMapping& mapping) { return getValue(mapping) != 0.0f; }

float InputDevice::getScaledValue(const ButtonMapping& mapping) { return getValue(mapping) * mapping.multiplier; }

int InputDevice::getButtonIndex(const std::string& name) const {
    auto exact = buttonNames.find(name);
    if (exact != buttonNames.end())
        return exact->second;
    for (const auto& [entry, index] : buttonNames)
        if (equalsIgnoringCase(entry, name))
            return index;
    return -1;
}

std::string InputDevice::getButtonName(int index) const {
    for (const auto& [entry, value] : buttonNames)
        if (value == index)
            return entry;
    return std::string();
}

std::wstring InputDevice::getDisplayName() const { return getName(); }

std::wstring InputDevice::getAlternateDisplayName() const { return getDisplayName(); }

float InputDevice::getAuxValue() const { return 0.0f; }

int InputDevice::getConnectedCount() const {
    int connected = 0;
    for (int instance = 0; instance < getDeviceCount(); ++instance)
        if (isConnected(instance))
            ++connected;
    return connected;
}

bool InputDevice::isConnected(int) const { return true; }

bool InputDevice::usesModeSwitching() const { return true; }

bool InputDevice::takesPartInDetection() const { return true; }

InputDevice* InputDevice::getPairedDevice() const { return pairedDevice; }

void InputDevice::setPairedDevice(InputDevice* device) { pairedDevice = device; }

void InputDevice::updateOverlay() {}

void InputDevice::addButtonName(const std::string& name, int index) { buttonNames[name] = index; }

std::string InputDevice::getNameA() const {
    const std::vector<InputDevice*>& list = devices();
    if (std::find(list.begin(), list.end(), this) == list.end())
        return std::string();
    return toUtf8(getName().c_str());
}

std::wstring InputDevice::localisedName(int textId) const {
    if (languageManager) {
        const irr::core::stringw& text = languageManager->getText(textId);
        if (!text.empty())
            return text.c_str();
    }
    return getName();
}

InputDevice* InputDevice::findByName(const std::string& name) {
    for (InputDevice* device : devices())
        if (equalsIgnoringCase(toUtf8(device->getName().c_str()), name))
            return device;
    return nullptr;
}

bool InputDevice::detectAnyPressedInput() {
    bool found = false;
    // A copy: a device may leave the list while it is asked.
    const std::vector<InputDevice*> list = devices();
    for (InputDevice* device : list) {
        ButtonMapping mapping;
        bool deviceFound = false;
        if (device->takesPartInDetection())
            deviceFound = device->detectPressedInput(mapping);
        if (!deviceFound && device->getPairedDevice())
            deviceFound = device->getPairedDevice()->detectPressedInput(mapping);
        if (deviceFound) {
            foundMappingStore() = mapping;
            found = true;
        }
    }
    return found;
}

const ButtonMapping& InputDevice::foundMapping() { return foundMappingStore(); }

const std::vector<InputDevice*>& InputDevice::deviceList() { return devices(); }
