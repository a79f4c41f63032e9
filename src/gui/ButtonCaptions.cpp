#include "gui/ButtonCaptions.h"

#include <cctype>
#include <map>
#include <string_view>

namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

// "LEFT_SHOULDER" -> "Left Shoulder".
std::wstring titleCase(std::string_view words) {
    std::wstring out;
    bool wordStart = true;
    for (char c : words) {
        if (c == '_') {
            if (!out.empty() && out.back() != L' ')
                out += L' ';
            wordStart = true;
            continue;
        }
        const unsigned char letter = static_cast<unsigned char>(c);
        out += static_cast<wchar_t>(wordStart ? std::toupper(letter) : std::tolower(letter));
        wordStart = false;
    }
    while (!out.empty() && out.back() == L' ')
        out.pop_back();
    return out;
}

std::wstring widen(std::string_view text) { return std::wstring(text.begin(), text.end()); }

// Keys whose engine names say little to a player; the rest read from their names. Under X
// the engine reports the menu key as KEY_MENU (the Alt key's code on Windows), and the two
// Alt keys (AltGr too) as KEY_LMENU and KEY_RMENU.
const std::map<std::string_view, std::wstring_view>& namedKeys() {
    static const std::map<std::string_view, std::wstring_view> keys{
        {"KEY_LBUTTON", L"Left Mouse"},   {"KEY_RBUTTON", L"Right Mouse"},  {"KEY_MBUTTON", L"Middle Mouse"},
        {"KEY_XBUTTON1", L"Mouse 4"},     {"KEY_XBUTTON2", L"Mouse 5"},     {"KEY_BACK", L"Backspace"},
        {"KEY_RETURN", L"Enter"},         {"KEY_MENU", L"Menu"},            {"KEY_CAPITAL", L"Caps Lock"},
        {"KEY_PRIOR", L"Page Up"},        {"KEY_NEXT", L"Page Down"},       {"KEY_LEFT", L"Left Arrow"},
        {"KEY_RIGHT", L"Right Arrow"},    {"KEY_UP", L"Up Arrow"},          {"KEY_DOWN", L"Down Arrow"},
        {"KEY_SNAPSHOT", L"Print Screen"}, {"KEY_LWIN", L"Left Windows"},   {"KEY_RWIN", L"Right Windows"},
        {"KEY_APPS", L"Menu"},            {"KEY_MULTIPLY", L"Numpad *"},    {"KEY_ADD", L"Numpad +"},
        {"KEY_SUBTRACT", L"Numpad -"},    {"KEY_DECIMAL", L"Numpad ."},     {"KEY_DIVIDE", L"Numpad /"},
        {"KEY_SEPARATOR", L"Numpad ,"},   {"KEY_NUMLOCK", L"Num Lock"},     {"KEY_SCROLL", L"Scroll Lock"},
        {"KEY_LSHIFT", L"Left Shift"},    {"KEY_RSHIFT", L"Right Shift"},   {"KEY_LCONTROL", L"Left Ctrl"},
        {"KEY_RCONTROL", L"Right Ctrl"},  {"KEY_LMENU", L"Left Alt"},       {"KEY_RMENU", L"Right Alt"},
        {"KEY_CONTROL", L"Ctrl"},         {"KEY_PLUS", L"="},               {"KEY_COMMA", L","},
        {"KEY_MINUS", L"-"},              {"KEY_PERIOD", L"."},             {"KEY_OEM_1", L";"},
        {"KEY_OEM_2", L"/"},              {"KEY_OEM_3", L"`"},              {"KEY_OEM_4", L"["},
        {"KEY_OEM_5", L"\\"},             {"KEY_OEM_6", L"]"},              {"KEY_OEM_7", L"'"},
        {"KEY_OEM_102", L"\\"},           {"KEY_ESCAPE", L"Escape"},        {"KEY_SPACE", L"Space"},
    };
    return keys;
}

const std::map<std::string_view, std::wstring_view>& namedMouseInputs() {
    static const std::map<std::string_view, std::wstring_view> inputs{
        {"MOUSE_LEFT", L"Left Mouse"},        {"MOUSE_MIDDLE", L"Middle Mouse"}, {"MOUSE_RIGHT", L"Right Mouse"},
        {"MOUSE_X_POS", L"Mouse Right"},      {"MOUSE_X_NEG", L"Mouse Left"},    {"MOUSE_Y_POS", L"Mouse Down"},
        {"MOUSE_Y_NEG", L"Mouse Up"},         {"MOUSE_X", L"Mouse Left/Right"},  {"MOUSE_Y", L"Mouse Up/Down"},
        {"MOUSE_WHEEL", L"Mouse Wheel"},      {"MOUSE_WHEEL_SMOOTHED", L"Mouse Wheel"},
        {"MOUSE_MIDDLE_HOLD", L"Middle Mouse (hold)"},
    };
    return inputs;
}

} // namespace

std::wstring readableButtonName(const std::string& storedName) {
    const std::string_view name(storedName);
    if (const auto key = namedKeys().find(name); key != namedKeys().end())
        return std::wstring(key->second);
    if (const auto mouse = namedMouseInputs().find(name); mouse != namedMouseInputs().end())
        return std::wstring(mouse->second);
    if (startsWith(name, "KEY_KEY_"))
        return widen(name.substr(8));
    if (startsWith(name, "KEY_NUMPAD"))
        return L"Numpad " + widen(name.substr(10));
    if (startsWith(name, "KEY_F") && name.size() > 5 && std::isdigit(static_cast<unsigned char>(name[5])))
        return widen(name.substr(4));
    if (startsWith(name, "KEY_"))
        return titleCase(name.substr(4));
    if (startsWith(name, "GAMEPAD_STICK_") && name.size() >= 16) {
        // "GAMEPAD_STICK_LX_POS" -> "Pad Left Stick X+".
        std::wstring stick = name[14] == 'L' ? L"Pad Left Stick " : L"Pad Right Stick ";
        stick += static_cast<wchar_t>(name[15]);
        if (name.size() > 16)
            stick += name.substr(16) == "_POS" ? L"+" : L"-";
        return stick;
    }
    if (startsWith(name, "GAMEPAD_DPAD_"))
        return L"Pad D-Pad " + titleCase(name.substr(13));
    if (startsWith(name, "GAMEPAD_"))
        return L"Pad " + titleCase(name.substr(8));
    if (startsWith(name, "JOYSTICK_"))
        return L"Joystick " + titleCase(name.substr(9));
    return titleCase(name);
}
