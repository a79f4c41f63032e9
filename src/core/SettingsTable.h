#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

// Every key of the settings file, declared once: its type, its default and the range its
// value is clamped to when read. The table drives loading, saving and the option screens.

enum class SettingType { Int, Float, Bool, Text };

struct SettingDefinition {
    const char* key = "";
    SettingType type = SettingType::Int;
    double defaultNumber = 0.0;   // Int, Float and Bool (0 or 1)
    const char* defaultText = ""; // Text
    bool ranged = false;          // Int and Float: clamped to minimum..maximum
    double minimum = 0.0;
    double maximum = 0.0;
    bool belowMinimumTakesDefault = false; // a value under the range is no value: the default
    std::span<const char* const> choices; // Text: the accepted values (any when empty)
};

// The table, in the order the settings file lists the keys.
std::span<const SettingDefinition> settingDefinitions();
// The definition of a key; null for a key the table does not know.
const SettingDefinition* findSettingDefinition(std::string_view key);

// A setting's value: a number for Int, Float and Bool, a text for Text.
struct SettingValue {
    double number = 0.0;
    std::wstring text;
};

enum class SettingCheck {
    Accepted, // the text is a valid value
    Adjusted, // a number outside the range (clamped) or a text that is not a choice (default)
    WrongType // the text is not a value of the key's type
};

SettingValue defaultSettingValue(const SettingDefinition& definition);

// The longest text value: a language's or a driver's name is far shorter.
inline constexpr std::size_t maxSettingTextLength = 256;

// Reads a value written in the settings file: integers in decimal, floats in decimal or
// exponent form, bools as "true"/"false" (or "1"/"0"), texts as they stand; a text choice
// is matched without regard to case and stored in the table's spelling. A text longer than
// maxSettingTextLength is no value: the default (Adjusted).
SettingCheck parseSettingValue(const SettingDefinition& definition, const wchar_t* text,
                               SettingValue& value);

// The value as the settings file writes it (for log lines).
std::string describeSettingValue(const SettingDefinition& definition, const SettingValue& value);
