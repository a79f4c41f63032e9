// The mapping files of the player controls: the shipped defaults "Content/Input/Default.xml"
// and the player's own remapping file in the save folder. Both are read through the guarded
// XML reader and written by the engine's XML writer through a safe write.
#include "player/PlayerControls.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/Log.h"
#include "core/SafeWrite.h"
#include "core/XmlWriter.h"
#include "core/Utf8.h"
#include "core/XmlFile.h"
#include "level/SaveManager.h"
#include "player/InputManager.h"
#include "player/devices/GamepadDevice.h"
#include "player/devices/JoystickDevice.h"
#include "player/devices/MouseDevice.h"
#include "player/devices/MoveDevice.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <irrlicht.h>

namespace {

constexpr const wchar_t* rootElement = L"InputMapping";
constexpr const wchar_t* mappingElement = L"ButtonMapping";
// A mapping file of the game is a few kilobytes; larger ones are not read.
constexpr std::size_t maxMappingFileBytes = 1024 * 1024;
// Entries beyond this many in one file are ignored (a file cannot make every action query
// walk through thousands of mappings).
constexpr int maxMappingsPerFile = 1024;

// One "ButtonMapping" element: its attributes as (name, value) pairs in document order.
using Attributes = std::vector<std::pair<std::string, std::string>>;

// Walks a mapping file's elements; true when the file is whole (its root element
// "InputMapping" opened and closed).
bool scanMappingFile(irr::io::IFileSystem* fileSystem, const std::string& path,
                     const std::function<void(const Attributes&)>& onMapping) {
    irr::io::IXMLReader* reader = createGuardedXMLReader(fileSystem, path, maxMappingFileBytes);
    if (!reader)
        return false;
    bool whole = false;
    while (reader->read()) {
        const irr::io::EXML_NODE type = reader->getNodeType();
        const irr::core::stringw name = reader->getNodeName();
        if (type == irr::io::EXN_ELEMENT && name == rootElement && reader->isEmptyElement()) {
            whole = true;
        } else if (type == irr::io::EXN_ELEMENT_END && name == rootElement) {
            whole = true;
        } else if (type == irr::io::EXN_ELEMENT && name == mappingElement && onMapping) {
            Attributes attributes;
            for (unsigned i = 0; i < reader->getAttributeCount(); ++i)
                attributes.emplace_back(toUtf8(reader->getAttributeName(i)), toUtf8(reader->getAttributeValue(i)));
            onMapping(attributes);
        }
    }
    reader->drop();
    return whole;
}

bool parseInteger(const std::string& text, int& value) {
    if (text.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < -2147483647L - 1 || parsed > 2147483647L)
        return false;
    value = int(parsed);
    return true;
}

bool parseFloat(const std::string& text, float& value) {
    if (text.empty())
        return false;
    char* end = nullptr;
    const float parsed = std::strtof(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

irr::io::IFileSystem* fileSystemOf(InputManager* manager) {
    irr::IrrlichtDevice* device = manager ? manager->getDevice() : nullptr;
    return device ? device->getFileSystem() : nullptr;
}

void invoke(DelegateList GameSettings::*list) {
    if (gameSettings)
        (gameSettings->*list).invoke();
}

} // namespace

struct PlayerControls::ReadReport {
    int accepted[GameAction::count] = {};
    int rejected[GameAction::count] = {};
};

int PlayerControls::instanceFor(const InputDevice* device) const {
    if (device == gamepad)
        return gamepadInstance;
    if (device == joystick || device == move)
        return secondaryInstance;
    if (device == mouse)
        return secondaryInstance >= 1 ? secondaryInstance : 0;
    return 0;
}

bool PlayerControls::readMappingFile(const std::string& path, const std::vector<bool>* onlyActions,
                                     ReadReport* report) {
    const bool userFile = !equalsIgnoringCase(path, defaultMappingPath);
    if (userFile)
        invoke(&GameSettings::onBeforeRead);

    int entry = 0;
    int added = 0;
    auto problem = [&](const std::string& text) {
        logMessage(std::string(logWarningPrefix) + "Input mapping file \"" + path + "\", entry " +
                   std::to_string(entry) + ": " + text + "; the entry is skipped.");
    };

    const bool whole = scanMappingFile(fileSystemOf(manager), path, [&](const Attributes& attributes) {
        ++entry;
        if (added == maxMappingsPerFile) {
            logMessage(std::string(logWarningPrefix) + "Input mapping file \"" + path + "\" has more than " +
                       std::to_string(maxMappingsPerFile) + " entries; the rest is ignored.");
            ++added;
        }
        if (added > maxMappingsPerFile)
            return;

        ButtonMapping mapping;
        int action = -1;
        std::string actionText, deviceText, buttonName;
        bool actionGiven = false, deviceGiven = false;
        for (const auto& [name, value] : attributes) {
            if (equalsIgnoringCase(name, "actionName")) {
                actionGiven = true;
                actionText = value;
                action = GameAction::find(value);
            } else if (equalsIgnoringCase(name, "deviceName")) {
                deviceGiven = true;
                deviceText = value;
                mapping.device = InputDevice::findByName(value);
            } else if (equalsIgnoringCase(name, "buttonIndex")) {
                if (parseInteger(value, mapping.buttonIndex))
                    mapping.indexFromFile = true;
                else
                    logMessage(std::string(logWarningPrefix) + "Input mapping file \"" + path + "\", entry " +
                               std::to_string(entry) + ": buttonIndex \"" + value + "\" is not a whole number.");
            } else if (equalsIgnoringCase(name, "buttonName")) {
                buttonName = value;
            } else if (equalsIgnoringCase(name, "multiplier")) {
                if (!parseFloat(value, mapping.multiplier))
                    logMessage(std::string(logWarningPrefix) + "Input mapping file \"" + path + "\", entry " +
                               std::to_string(entry) + ": multiplier \"" + value + "\" is not a number; 1.0 is used.");
            } else if (equalsIgnoringCase(name, "schemeIndex")) {
                if (!parseInteger(value, mapping.schemeIndex))
                    logMessage(std::string(logWarningPrefix) + "Input mapping file \"" + path + "\", entry " +
                               std::to_string(entry) + ": schemeIndex \"" + value + "\" is not a whole number; 0 is used.");
            } else {
                float* params[] = {&mapping.param1, &mapping.param2, &mapping.param3, &mapping.param4};
                for (int i = 0; i < 4; ++i)
                    if (equalsIgnoringCase(name, "param" + std::to_string(i + 1)) && !parseFloat(value, *params[i]))
                        *params[i] = 0.0f;
            }
        }

        auto reject = [&](const std::string& text) {
            if (report && action >= 0)
                ++report->rejected[action];
            problem(text);
        };
        if (!actionGiven)
            return problem("no actionName");
        if (action < 0)
            return problem("unknown action \"" + actionText + "\"");
        if (onlyActions && !(*onlyActions)[action])
            return;
        if (!deviceGiven)
            return reject("no deviceName");
        if (!mapping.device)
            return reject("unknown device \"" + deviceText + "\"");
        if (!buttonName.empty()) {
            mapping.buttonIndex = mapping.device->getButtonIndex(buttonName);
            if (mapping.buttonIndex < 0)
                return reject("the " + mapping.device->getNameA() + " has no input named \"" + buttonName + "\"");
        } else if (mapping.indexFromFile) {
            const int inputs = mapping.device->getButtonCount();
            if (mapping.buttonIndex < 0 || (inputs > 0 && mapping.buttonIndex >= inputs))
                return reject("buttonIndex " + std::to_string(mapping.buttonIndex) + " is not an input of the " +
                              mapping.device->getNameA());
        }
        mapping.instance = instanceFor(mapping.device);
        mapping.modifier = 0;
        mapping.normalise = true;
        mapping.keep = true;
        addMapping(action, mapping);
        ++added;
        if (report)
            ++report->accepted[action];
    });

    if (userFile)
        invoke(&GameSettings::onAfterAccess);
    return whole;
}

bool PlayerControls::readMappings(const std::string& path) { return readMappingFile(path, nullptr, nullptr); }

bool PlayerControls::writeMappings() {
    // A second game on the save folder leaves the bindings to the first (SaveManager::canWrite).
    if (saveManager && !saveManager->canWrite())
        return false;
    if (fileMustNotBeReplaced) {
        logMessage(std::string(logErrorPrefix) + "Input mapping file not written: \"" +
                   remappingPath + "\" could not be read and is left as it is.");
        return false;
    }
    logMessage("Writing player controls XML: Player " + std::to_string(playerIndex));
    invoke(&GameSettings::onBeforeWrite);
    irr::io::IFileSystem* fileSystem = fileSystemOf(manager);
    SafeFileWrite file(remappingPath);
    if (!fileSystem || !file.isOpen()) {
        logMessage(std::string(logErrorPrefix) + "Could not write the input mapping file \"" + remappingPath + "\".");
        return false;
    }
    removeUnboundMappings();

    Utf8XmlWriter xml;
    Utf8XmlWriter* writer = &xml;
    writer->writeXMLHeader();
    writer->writeElement(rootElement, false);
    writer->writeLineBreak();
    writer->writeLineBreak();
    for (int action = 0; action < GameAction::count; ++action) {
        const std::wstring comment = L" " + fromUtf8(GameAction::name(action)) + L" ";
        writer->writeComment(comment.c_str());
        writer->writeLineBreak();
        for (const auto& mapping : actionMappings[action]) {
            irr::core::array<irr::core::stringw> names;
            irr::core::array<irr::core::stringw> values;
            auto attribute = [&](const wchar_t* name, const std::wstring& value) {
                names.push_back(name);
                values.push_back(value.c_str());
            };
            attribute(L"actionName", fromUtf8(GameAction::name(action)));
            attribute(L"deviceName", fromUtf8(mapping->device->getNameA().c_str()));
            if (mapping->schemeIndex != 0)
                attribute(L"schemeIndex", std::to_wstring(mapping->schemeIndex));
            const std::string buttonName = mapping->device->getButtonName(mapping->buttonIndex);
            // An input without a name is written by its number, so that it reads back as the
            // same input.
            if (mapping->indexFromFile || buttonName.empty())
                attribute(L"buttonIndex", std::to_wstring(mapping->buttonIndex));
            else
                attribute(L"buttonName", fromUtf8(buttonName.c_str()));
            if (std::fabs(mapping->multiplier - 1.0f) > 0.000001f) {
                char text[64];
                std::snprintf(text, sizeof(text), "%0.6f", double(mapping->multiplier));
                attribute(L"multiplier", fromUtf8(text));
            }
            writer->writeElement(mappingElement, true, names, values);
            writer->writeLineBreak();
        }
        writer->writeLineBreak();
    }
    writer->writeClosingTag(rootElement);
    writer->writeLineBreak();

    // The new file replaces the old one only after it has been read back whole.
    bool written = false;
    if (file.write(xml.text().data(), xml.text().size()) &&
        scanMappingFile(fileSystem, file.tempPath(), nullptr))
        written = file.commit();
    else
        logMessage(std::string(logErrorPrefix) + "The input mapping file \"" + remappingPath +
                   "\" could not be written whole; the old file is kept.");
    invoke(&GameSettings::onAfterAccess);
    return written;
}

void PlayerControls::loadMappings() {
    fileMustNotBeReplaced = false;
    irr::io::IFileSystem* fileSystem = fileSystemOf(manager);
    if (!fileSystem) {
        clearMappings();
        return;
    }
    if (!fileSystem->existFile(remappingPath.c_str())) {
        resetMappings();
        return;
    }
    clearMappings();
    ReadReport report;
    if (!readMappingFile(remappingPath, nullptr, &report)) {
        std::error_code error;
        const auto size = std::filesystem::file_size(remappingPath, error);
        const std::string reason = !error && size > maxMappingFileBytes
                                       ? "is larger than " + std::to_string(maxMappingFileBytes) + " bytes"
                                       : "is not a whole input mapping file";
        // The player's file is never lost: it is kept aside before the defaults replace it,
        // and left alone when it cannot be.
        if ((!saveManager || saveManager->canWrite()) && keepFileAside(remappingPath)) {
            logMessage(std::string(logErrorPrefix) + "The input mapping file \"" + remappingPath + "\" " + reason +
                       "; it is kept as \"" + keptAsidePath(remappingPath) + "\" and the default bindings are used.");
            resetMappings();
        } else {
            logMessage(std::string(logErrorPrefix) + "The input mapping file \"" + remappingPath + "\" " + reason +
                       "; the default bindings are used and the file is left as it is.");
            fileMustNotBeReplaced = true;
            clearMappings();
            readMappings(defaultMappingPath);
        }
        return;
    }
    // An action whose every entry named something unknown keeps its default bindings.
    std::vector<bool> fallback(GameAction::count, false);
    bool anyFallback = false;
    for (int action = 0; action < GameAction::count; ++action) {
        if (report.rejected[action] > 0 && report.accepted[action] == 0) {
            fallback[action] = true;
            anyFallback = true;
            logMessage(std::string(logWarningPrefix) + "Input mapping file \"" + remappingPath + "\": \"" +
                       GameAction::name(action) + "\" keeps its default bindings.");
        }
    }
    if (anyFallback)
        readMappingFile(defaultMappingPath, &fallback, nullptr);
}

void PlayerControls::resetMappings() {
    clearMappings();
    // Without the defaults there is nothing to reset to: writing now would leave the player a
    // remapping file without bindings even after the defaults are back.
    if (!readMappings(defaultMappingPath)) {
        logMessage(std::string(logErrorPrefix) + "The default input mapping file \"" + defaultMappingPath +
                   "\" could not be read; the player's mapping file is not written.");
        return;
    }
    writeMappings();
}
