#include "core/GameSettings.h"

#include "core/DeviceSettings.h"
#include "core/FileChecks.h"
#include "core/Globals.h"
#include "core/Log.h"
#include "core/ProcessGuards.h"
#include "core/SafeWrite.h"
#include "core/SettingsTable.h"
#include "core/Utf8.h"
#include "core/XmlFile.h"
#include "core/XmlWriter.h"
#include "platform/Kernel.h"

#include <cerrno>
#include <cstring>
#include <cwchar>
#include <irrlicht.h>
#include <optional>
#include <sys/stat.h>
#include <vector>

using namespace irr;

namespace {

constexpr const wchar_t* rootElement = L"Game";
// A settings file is a few kilobytes; anything far larger is not one, and the engine's
// reader would take all of it into memory.
constexpr off_t maximumFileSize = 4 * 1024 * 1024;

// What a settings file gave.
struct FileContent {
    bool complete = false;                           // "Game" opened and closed
    std::string problem;                             // why it could not be read fully
    std::vector<std::optional<SettingValue>> values; // by table index
    std::vector<std::string> wrongTypeKeys;
    std::vector<std::string> warnings; // values clamped or replaced
    // Keys the table does not know: dropped, counted for one warning.
    size_t unknownKeys = 0;
    bool lastWasUnknown = false;
    // The entry read last: a cut may have gone through it.
    int lastTableIndex = -1;
};

std::string narrow(const wchar_t* text) {
    return text ? core::stringc(text).c_str() : "";
}

// A value as a log line shows it: a long one is cut (the file may hold megabytes).
std::string shownValue(const wchar_t* text) {
    constexpr std::size_t shownBytes = 64;
    std::string shown = toUtf8(text);
    if (shown.size() <= shownBytes)
        return shown;
    shown.resize(shownBytes);
    // Not in the middle of a character.
    while (!shown.empty() && (static_cast<unsigned char>(shown.back()) & 0xC0) == 0x80)
        shown.pop_back();
    if (!shown.empty() && (static_cast<unsigned char>(shown.back()) & 0x80) != 0)
        shown.pop_back();
    return shown + "...";
}

void readEntry(io::IXMLReader* reader, FileContent& content) {
    const wchar_t* name = reader->getAttributeValue(L"name");
    const wchar_t* text = reader->getAttributeValue(L"value");
    content.lastTableIndex = -1;
    content.lastWasUnknown = false;
    if (!name || !*name) {
        content.wrongTypeKeys.push_back("(an entry without a name)");
        return;
    }
    const std::string key = narrow(name);
    const std::span<const SettingDefinition> table = settingDefinitions();
    const SettingDefinition* definition = findSettingDefinition(key);
    if (!definition) {
        ++content.unknownKeys;
        content.lastWasUnknown = true;
        return;
    }
    const size_t index = static_cast<size_t>(definition - table.data());
    content.lastTableIndex = static_cast<int>(index);
    SettingValue value;
    switch (parseSettingValue(*definition, text, value)) {
    case SettingCheck::WrongType:
        content.wrongTypeKeys.push_back(key);
        return;
    case SettingCheck::Adjusted:
        content.warnings.push_back(std::string(logWarningPrefix) + "Setting \"" + key +
                                   "\" has the value \"" + shownValue(text) +
                                   "\", which it does not accept; using " +
                                   describeSettingValue(*definition, value) + ".");
        break;
    case SettingCheck::Accepted:
        break;
    }
    content.values[index] = std::move(value);
}

FileContent readSettingsFile(io::IFileSystem* fileSystem, const std::string& path) {
    FileContent content;
    content.values.resize(settingDefinitions().size());

    // The one check before every read; its reason goes into this reader's own line.
    const FileCheck check = checkFileForReading(path, static_cast<std::uint64_t>(maximumFileSize));
    if (check == FileCheck::Missing) {
        content.problem = std::string("it cannot be opened: ") + std::strerror(errno);
        return content;
    }
    if (check != FileCheck::Readable) {
        content.problem = describeFileCheck(check, static_cast<std::uint64_t>(maximumFileSize));
        return content;
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && info.st_size == 0) {
        content.problem = "it is empty";
        return content;
    }
    io::IXMLReader* reader =
        createGuardedXMLReader(fileSystem, path, static_cast<size_t>(maximumFileSize));
    if (!reader) {
        content.problem = "it cannot be opened";
        return content;
    }
    bool inRoot = false;
    bool sawRoot = false;
    int depth = 0; // elements open inside the root
    while (!content.complete && reader->read()) {
        switch (reader->getNodeType()) {
        case io::EXN_ELEMENT:
            if (!inRoot) {
                if (std::wcscmp(reader->getNodeName(), rootElement) == 0) {
                    sawRoot = true;
                    inRoot = !reader->isEmptyElement();
                    content.complete = !inRoot;
                }
            } else {
                if (depth == 0)
                    readEntry(reader, content);
                if (!reader->isEmptyElement())
                    ++depth;
            }
            break;
        case io::EXN_ELEMENT_END:
            if (inRoot) {
                if (depth > 0)
                    --depth;
                else
                    content.complete = true;
            }
            break;
        default:
            break;
        }
    }
    reader->drop();
    if (!sawRoot) {
        content.problem = "it holds no \"Game\" element";
    } else if (!content.complete) {
        content.problem = "it ends early";
        // The cut may have gone through the last entry ("12" of "1280", half a key).
        if (content.lastTableIndex >= 0)
            content.values[static_cast<size_t>(content.lastTableIndex)].reset();
        if (content.lastWasUnknown)
            --content.unknownKeys; // half a known key's name, most likely
    }
    return content;
}

void addValue(io::IAttributes* attributes, const SettingDefinition& definition,
              const SettingValue& value) {
    switch (definition.type) {
    case SettingType::Int:
        attributes->addInt(definition.key, static_cast<s32>(value.number));
        break;
    case SettingType::Float:
        attributes->addFloat(definition.key, static_cast<f32>(value.number));
        break;
    case SettingType::Bool:
        attributes->addBool(definition.key, value.number != 0.0);
        break;
    case SettingType::Text:
        attributes->addString(definition.key, value.text.c_str());
        break;
    }
}

// A screen size below the smallest the graphics options offer opens a window nobody can use,
// and the file would keep it for every later start: both sides take their defaults, with one
// line, and the next save writes those.
void keepUsableScreenSize(FileContent& content) {
    const std::span<const SettingDefinition> table = settingDefinitions();
    const SettingDefinition* widthKey = findSettingDefinition("Graphics_ScreenWidth");
    const SettingDefinition* heightKey = findSettingDefinition("Graphics_ScreenHeight");
    if (!widthKey || !heightKey)
        return;
    std::optional<SettingValue>& width = content.values[static_cast<size_t>(widthKey - table.data())];
    std::optional<SettingValue>& height = content.values[static_cast<size_t>(heightKey - table.data())];
    const double widthGiven = width ? width->number : widthKey->defaultNumber;
    const double heightGiven = height ? height->number : heightKey->defaultNumber;
    const core::dimension2du smallest = smallestWindowSize();
    const std::string smallWindows = platform::environmentVariable(smallWindowsVariable);
    const bool smallKept = !smallWindows.empty() && smallWindows != "0";
    if (smallKept || (widthGiven >= smallest.Width && heightGiven >= smallest.Height))
        return;
    width = defaultSettingValue(*widthKey);
    height = defaultSettingValue(*heightKey);
    content.warnings.push_back(std::string(logWarningPrefix) + "Settings \"" + widthKey->key + "\" x \"" +
                               heightKey->key + "\" give " + std::to_string(static_cast<long long>(widthGiven)) +
                               " x " + std::to_string(static_cast<long long>(heightGiven)) +
                               ", smaller than the smallest screen size offered (" + std::to_string(smallest.Width) +
                               " x " + std::to_string(smallest.Height) + "); using " +
                               std::to_string(static_cast<long long>(width->number)) + " x " +
                               std::to_string(static_cast<long long>(height->number)) + ".");
}

std::string joined(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items)
        out += (out.empty() ? "" : ", ") + item;
    return out;
}

} // namespace

GameSettings::GameSettings(const std::string& path) : filePath(path) {
    SIrrlichtCreationParameters params;
    params.DriverType = video::EDT_NULL;
    params.LoggingLevel = ELL_NONE;
    device = createDeviceEx(params);
    if (!device)
        logMessage(std::string(logErrorPrefix) +
                   "Could not create the engine's file services; the settings stay empty.");
}

GameSettings::~GameSettings() {
    keepForcedEndCopy(false);
    if (attributes)
        attributes->drop();
    if (device)
        device->drop();
}

void GameSettings::load(bool defaults) {
    if (!device)
        return;
    if (!attributes)
        attributes = device->getFileSystem()->createEmptyAttributes();
    if (!attributes)
        return;
    // Resetting to the defaults does not make an unreadable file safe to replace.
    if (!defaults)
        fileMustNotBeReplaced = false;

    FileContent content;
    content.values.resize(settingDefinitions().size());
    struct stat info {};
    const bool fileExists = ::lstat(filePath.c_str(), &info) == 0;
    if (!defaults && fileExists) {
        onBeforeRead.invoke();
        content = readSettingsFile(device->getFileSystem(), filePath);
        onAfterAccess.invoke();
    } else if (!defaults) {
        logMessage("Settings file \"" + filePath + "\" not found; using the defaults.");
    }

    if (!defaults && fileExists)
        keepUsableScreenSize(content);
    attributes->clear();
    const std::span<const SettingDefinition> table = settingDefinitions();
    for (size_t i = 0; i < table.size(); ++i)
        addValue(attributes, table[i],
                 content.values[i] ? *content.values[i] : defaultSettingValue(table[i]));
    if (content.unknownKeys > 0)
        logMessage(std::string(logWarningPrefix) + "The settings file \"" + filePath + "\" holds " +
                   std::to_string(content.unknownKeys) +
                   " entries the game does not know; they are dropped.");

    for (const std::string& warning : content.warnings)
        logMessage(warning);

    if (defaults || !fileExists || (content.problem.empty() && content.wrongTypeKeys.empty())) {
        attributesChanged();
        return;
    }
    std::string reason = content.problem;
    if (!content.wrongTypeKeys.empty())
        reason += (reason.empty() ? "" : "; ") + std::string("values of the wrong type: ") +
                  joined(content.wrongTypeKeys);
    std::string line = std::string(logErrorPrefix) + "The settings file \"" + filePath +
                       "\" could not be read fully (" + reason + "). ";
    const bool keptAside = keepFileAside(filePath);
    const int error = errno;
    if (keptAside) {
        line += "It is kept aside as \"" + keptAsidePath(filePath) + "\"";
    } else {
        fileMustNotBeReplaced = true;
        line += std::string("It could not be kept aside (") + std::strerror(error) +
                ") and will not be written over";
    }
    line += "; the settings it could not give take their defaults.";
    logMessage(line);
    attributesChanged();
}

std::string GameSettings::fileText() const {
    if (!attributes)
        return {};
    Utf8XmlWriter writer;
    attributes->write(&writer, true, rootElement);
    return std::string(writer.text());
}

void GameSettings::keepForcedEndCopy(bool on) {
    if (!on && forcedEndCopy)
        clearForcedEndFile();
    forcedEndCopy = on;
    attributesChanged();
}

void GameSettings::attributesChanged() {
    if (!forcedEndCopy)
        return;
    // A file that could not be read is left as it is, by the watch too.
    if (attributes && !fileMustNotBeReplaced)
        setForcedEndFile(filePath, fileText());
    else
        clearForcedEndFile();
}

void GameSettings::save() {
    if (!attributes) {
        logMessage(std::string(logErrorPrefix) + "Settings not saved: none are loaded.");
        return;
    }
    if (fileMustNotBeReplaced) {
        logMessage(std::string(logErrorPrefix) + "Settings not saved: \"" + filePath +
                   "\" could not be read and is left as it is.");
        return;
    }
    onBeforeWrite.invoke();
    SafeFileWrite file(filePath);
    if (file.isOpen()) {
        io::IFileSystem* fileSystem = device->getFileSystem();
        const std::string text = fileText();
        if (file.write(text.data(), text.size())) {
            // The file replaces the player's only after it has been read back whole.
            if (readSettingsFile(fileSystem, file.tempPath()).complete)
                file.commit();
            else
                logMessage(std::string(logErrorPrefix) + "Settings not saved: the new \"" +
                           filePath + "\" could not be written whole; the old file is kept.");
        } else {
            logMessage(std::string(logErrorPrefix) + "Settings not saved: could not write \"" +
                       file.tempPath() + "\".");
        }
    }
    onAfterAccess.invoke();
}

// --- reads and writes by key ----------------------------------------------------------------

namespace {

io::IAttributes* settingsAttributes(const char* key) {
    if (!key || !gameSettings)
        return nullptr;
    return gameSettings->getAttributes();
}

} // namespace

int getSettingInt(const char* key) {
    io::IAttributes* a = settingsAttributes(key);
    return a ? a->getAttributeAsInt(key) : 0;
}

float getSettingFloat(const char* key) {
    io::IAttributes* a = settingsAttributes(key);
    return a ? a->getAttributeAsFloat(key) : 0.0f;
}

bool getSettingBool(const char* key) {
    io::IAttributes* a = settingsAttributes(key);
    return a ? a->getAttributeAsBool(key) : false;
}

std::string getSettingString(const char* key) {
    io::IAttributes* a = settingsAttributes(key);
    return a ? toUtf8(a->getAttributeAsStringW(key).c_str()) : std::string();
}

std::wstring getSettingStringW(const char* key) {
    io::IAttributes* a = settingsAttributes(key);
    return a ? std::wstring(a->getAttributeAsStringW(key).c_str()) : std::wstring();
}

void setSettingInt(const char* key, int value) {
    if (io::IAttributes* a = settingsAttributes(key)) {
        a->setAttribute(key, static_cast<s32>(value));
        gameSettings->attributesChanged();
    }
}

void setSettingFloat(const char* key, float value) {
    if (io::IAttributes* a = settingsAttributes(key)) {
        a->setAttribute(key, static_cast<f32>(value));
        gameSettings->attributesChanged();
    }
}

void setSettingBool(const char* key, bool value) {
    if (io::IAttributes* a = settingsAttributes(key)) {
        a->setAttribute(key, value);
        gameSettings->attributesChanged();
    }
}

void setSettingString(const char* key, const char* value) {
    if (io::IAttributes* a = settingsAttributes(key)) {
        a->setAttribute(key, fromUtf8(value).c_str());
        gameSettings->attributesChanged();
    }
}

void setSettingString(const char* key, const wchar_t* value) {
    if (io::IAttributes* a = settingsAttributes(key)) {
        a->setAttribute(key, value ? value : L"");
        gameSettings->attributesChanged();
    }
}
