#include "core/TextUtils.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

bool isTrimmable(char c) {
    return c == '0' || c == ':' || c == '.';
}
bool isSeparator(char c) {
    return c == ':' || c == '.';
}

} // namespace

std::size_t formatTimeInto(char* out, std::size_t size, irr::f32 seconds, bool withMilliseconds, bool naForZero,
                           bool trimLeading) {
    if (!out || size == 0)
        return 0;
    // Negative and not-a-number times would print as minus signs or garbage digits.
    double time = (std::isnan(seconds) || seconds < 0.0f) ? 0.0 : static_cast<double>(seconds);
    char text[48] = "N/A";
    std::size_t length = 3, cut = 0;
    if (!naForZero || time != 0.0) {
        // Beyond about 31 years the count of milliseconds would no longer be exact.
        constexpr double maxSeconds = 999999999.0;
        if (time > maxSeconds)
            time = maxSeconds;

        const long long totalMs = std::llround(time * 1000.0);
        const long long hours = totalMs / 3600000;
        const int minutes = static_cast<int>(totalMs / 60000 % 60);
        const int secs = static_cast<int>(totalMs / 1000 % 60);
        const int ms = static_cast<int>(totalMs % 1000);
        const int written =
            withMilliseconds
                ? std::snprintf(text, sizeof(text), "%lld:%02d:%02d.%03d", hours, minutes, secs, ms)
                : std::snprintf(text, sizeof(text), "%lld:%02d:%02d", hours, minutes, secs);
        length = std::min(static_cast<std::size_t>(std::max(written, 0)), sizeof(text) - 1);
        if (trimLeading) {
            while (length - cut > 6 && isTrimmable(text[cut]))
                ++cut;
            // Stopping at six characters can leave a separator in front (":01:05").
            while (cut < length && isSeparator(text[cut]))
                ++cut;
        }
    }
    const std::size_t kept = std::min(length - cut, size - 1);
    std::memcpy(out, text + cut, kept);
    out[kept] = '\0';
    return kept;
}

std::string formatTime(irr::f32 seconds, bool withMilliseconds, bool naForZero, bool trimLeading) {
    char text[48];
    const std::size_t length = formatTimeInto(text, sizeof(text), seconds, withMilliseconds, naForZero, trimLeading);
    return std::string(text, length);
}

std::wstring formatTimeW(irr::f32 seconds, bool withMilliseconds, bool naForZero,
                         bool trimLeading) {
    const std::string text = formatTime(seconds, withMilliseconds, naForZero, trimLeading);
    return std::wstring(text.begin(), text.end());
}

std::size_t splitString(const std::wstring& text, wchar_t delimiter,
                        std::vector<std::wstring>& parts) {
    parts.clear();
    if (text.empty())
        return 0;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t found = text.find(delimiter, begin);
        if (found == std::wstring::npos) {
            parts.push_back(text.substr(begin));
            break;
        }
        parts.push_back(text.substr(begin, found - begin));
        begin = found + 1;
    }
    return parts.size();
}

namespace {

template <class Char>
Char foldAsciiLetter(Char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<Char>(c - 'A' + 'a') : c;
}

template <class Char>
bool equalsFolded(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldAsciiLetter(a[i]) != foldAsciiLetter(b[i]))
            return false;
    return true;
}

} // namespace

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return equalsFolded(a, b);
}

bool equalsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
    return equalsFolded(a, b);
}
