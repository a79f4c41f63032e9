#include "core/SettingsTable.h"

#include "core/Utf8.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <cwctype>

namespace {

constexpr SettingDefinition setting(const char* key, SettingType type, double number) {
    SettingDefinition d;
    d.key = key;
    d.type = type;
    d.defaultNumber = number;
    return d;
}

constexpr SettingDefinition ranged(SettingDefinition d, double minimum, double maximum) {
    d.ranged = true;
    d.minimum = minimum;
    d.maximum = maximum;
    return d;
}

constexpr SettingDefinition intSetting(const char* key, int value) {
    return setting(key, SettingType::Int, value);
}

constexpr SettingDefinition intSetting(const char* key, int value, int minimum, int maximum) {
    return ranged(intSetting(key, value), minimum, maximum);
}

// A screen side: 0 or less is no size at all, so it takes the default rather than 1.
constexpr SettingDefinition sizeSetting(const char* key, int value, int minimum, int maximum) {
    SettingDefinition d = intSetting(key, value, minimum, maximum);
    d.belowMinimumTakesDefault = true;
    return d;
}

constexpr SettingDefinition floatSetting(const char* key, double value) {
    return setting(key, SettingType::Float, value);
}

constexpr SettingDefinition floatSetting(const char* key, double value, double minimum,
                                         double maximum) {
    return ranged(floatSetting(key, value), minimum, maximum);
}

constexpr SettingDefinition boolSetting(const char* key, bool value) {
    return setting(key, SettingType::Bool, value ? 1.0 : 0.0);
}

constexpr SettingDefinition textSetting(const char* key, const char* value,
                                        std::span<const char* const> choices = {}) {
    SettingDefinition d = setting(key, SettingType::Text, 0.0);
    d.defaultText = value;
    d.choices = choices;
    return d;
}

constexpr const char* videoDrivers[] = {"OpenGL", "Burnings", "Software", "Null"};

// Vsync and anti-aliasing are off by default: the OpenGL driver under a virtual X server
// (headless runs) cannot take vsync, and software rendering pays three times for 4x.
constexpr SettingDefinition table[] = {
    intSetting("Game_Difficulty", 1, 0, 2),
    textSetting("Game_Language", "English"),
    boolSetting("Game_NoSwitchMode", false),
    intSetting("Game_PhysicsDetail", 2),
    intSetting("Game_PhysicsThreads", 2, 0, 10),
    floatSetting("KM_HorizontalSensitivity", 1.0),
    floatSetting("KM_VerticalSensitivity", 1.0),
    floatSetting("KM_ScrollSensitivity", 1.0),
    floatSetting("Gamepad_StickSensitivity", 1.0),
    boolSetting("Gamepad_Vibration", true),
    boolSetting("Joystick_IgnoreInput", false),
    floatSetting("Joystick_StickSensitivity", 1.0),
    textSetting("Graphics_Driver", "OpenGL", videoDrivers),
    sizeSetting("Graphics_ScreenWidth", 1280, 1, 16384),
    sizeSetting("Graphics_ScreenHeight", 720, 1, 16384),
    intSetting("Graphics_FullscreenMode", 0, 0, 2),
    boolSetting("Graphics_Vsync", false),
    intSetting("Graphics_Antialiasing", 0, 0, 16),
    boolSetting("Graphics_Overscan", false),
    intSetting("Graphics_Quality", 0, 0, 2),
    boolSetting("Graphics_Shadows", true),
    intSetting("Graphics_ShadowQuality", 2048, 1, 8192),
    intSetting("Graphics_ShadowDistance", 1),
    boolSetting("Graphics_Reflection", true),
    floatSetting("Audio_SFXVolume", 1.0, 0.0, 1.0),
    floatSetting("Audio_VoiceoverVolume", 1.0, 0.0, 1.0),
    floatSetting("Audio_MusicVolume", 1.0, 0.0, 1.0),
    intSetting("Audio_AudioOutput", -1),
    boolSetting("Audio_Subtitles", true),
    boolSetting("Audio_BlackBoxSubtitles", false),
    boolSetting("Audio_MuteOnFocusLost", true),
    boolSetting("Mod_EnablePopups", true),
    boolSetting("Mod_ShowLevelTimer", false),
    boolSetting("System_DemoMode", false),
    boolSetting("System_LogTriggers", false),
    boolSetting("System_MultiTaro", false),
};

std::wstring widen(const char* text) {
    std::wstring out;
    for (; *text; ++text)
        out += static_cast<wchar_t>(static_cast<unsigned char>(*text));
    return out;
}

bool equalsIgnoringCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i])))
            return false;
    return true;
}

bool onlySpaceFrom(const wchar_t* p) {
    while (*p && std::iswspace(static_cast<wint_t>(*p)))
        ++p;
    return *p == L'\0';
}

bool parseInt(const wchar_t* text, double& out) {
    errno = 0;
    wchar_t* end = nullptr;
    const long long v = std::wcstoll(text, &end, 10);
    if (end == text || !onlySpaceFrom(end) || errno == ERANGE || v < INT_MIN || v > INT_MAX)
        return false;
    out = static_cast<double>(v);
    return true;
}

bool parseFloat(const wchar_t* text, double& out) {
    errno = 0;
    wchar_t* end = nullptr;
    const float v = std::wcstof(text, &end);
    if (end == text || !onlySpaceFrom(end) || errno == ERANGE || !std::isfinite(v))
        return false;
    out = v;
    return true;
}

bool parseBool(const wchar_t* text, double& out) {
    std::wstring t = text;
    while (!t.empty() && std::iswspace(static_cast<wint_t>(t.back())))
        t.pop_back();
    size_t first = 0;
    while (first < t.size() && std::iswspace(static_cast<wint_t>(t[first])))
        ++first;
    t.erase(0, first);
    if (equalsIgnoringCase(t, L"true") || t == L"1") {
        out = 1.0;
        return true;
    }
    if (equalsIgnoringCase(t, L"false") || t == L"0") {
        out = 0.0;
        return true;
    }
    return false;
}

} // namespace

std::span<const SettingDefinition> settingDefinitions() {
    return table;
}

const SettingDefinition* findSettingDefinition(std::string_view key) {
    for (const SettingDefinition& d : table)
        if (key == d.key)
            return &d;
    return nullptr;
}

SettingValue defaultSettingValue(const SettingDefinition& definition) {
    SettingValue value;
    value.number = definition.defaultNumber;
    if (definition.type == SettingType::Text)
        value.text = widen(definition.defaultText);
    return value;
}

SettingCheck parseSettingValue(const SettingDefinition& definition, const wchar_t* text,
                               SettingValue& value) {
    if (!text)
        return SettingCheck::WrongType;
    switch (definition.type) {
    case SettingType::Int:
    case SettingType::Float: {
        double number = 0.0;
        const bool ok =
            definition.type == SettingType::Int ? parseInt(text, number) : parseFloat(text, number);
        if (!ok)
            return SettingCheck::WrongType;
        value.number = number;
        if (definition.ranged && (number < definition.minimum || number > definition.maximum)) {
            value.number = definition.belowMinimumTakesDefault && number < definition.minimum
                               ? definition.defaultNumber
                               : std::clamp(number, definition.minimum, definition.maximum);
            return SettingCheck::Adjusted;
        }
        return SettingCheck::Accepted;
    }
    case SettingType::Bool:
        return parseBool(text, value.number) ? SettingCheck::Accepted : SettingCheck::WrongType;
    case SettingType::Text:
        if (std::wcslen(text) > maxSettingTextLength) {
            value.text = widen(definition.defaultText);
            return SettingCheck::Adjusted;
        }
        value.text = text;
        if (definition.choices.empty())
            return SettingCheck::Accepted;
        for (const char* choice : definition.choices) {
            const std::wstring wide = widen(choice);
            if (equalsIgnoringCase(value.text, wide)) {
                value.text = wide;
                return SettingCheck::Accepted;
            }
        }
        value.text = widen(definition.defaultText);
        return SettingCheck::Adjusted;
    }
    return SettingCheck::WrongType;
}

std::string describeSettingValue(const SettingDefinition& definition, const SettingValue& value) {
    char buffer[64];
    switch (definition.type) {
    case SettingType::Int:
        std::snprintf(buffer, sizeof(buffer), "%d", static_cast<int>(value.number));
        return buffer;
    case SettingType::Float:
        std::snprintf(buffer, sizeof(buffer), "%g", value.number);
        return buffer;
    case SettingType::Bool:
        return value.number != 0.0 ? "true" : "false";
    case SettingType::Text:
        return toUtf8(value.text.c_str());
    }
    return {};
}
