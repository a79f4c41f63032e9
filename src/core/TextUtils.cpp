#include "core/TextUtils.h"

#include <cmath>
#include <cstdio>

namespace {

bool isTrimmable(char c) {
    return c == '0' || c == ':' || c == '.';
}
bool isSeparator(char c) {
    return c == ':' || c == '.';
}

} // namespace

std::string formatTime(irr::f32 seconds, bool withMilliseconds, bool naForZero, bool trimLeading) {
    // Negative and not-a-number times would print as minus signs or garbage digits.
    double time = (std::isnan(seconds) || seconds < 0.0f) ? 0.0 : static_cast<double>(seconds);
    if (naForZero && time == 0.0)
        return "N/A";
    // Beyond about 31 years the count of milliseconds would no longer be exact.
    constexpr double maxSeconds = 999999999.0;
    if (time > maxSeconds)
        time = maxSeconds;

    const long long totalMs = std::llround(time * 1000.0);
    const long long hours = totalMs / 3600000;
    const int minutes = static_cast<int>(totalMs / 60000 % 60);
    const int secs = static_cast<int>(totalMs / 1000 % 60);
    const int ms = static_cast<int>(totalMs % 1000);

    char buffer[48];
    if (withMilliseconds)
        std::snprintf(buffer, sizeof(buffer), "%lld:%02d:%02d.%03d", hours, minutes, secs, ms);
    else
        std::snprintf(buffer, sizeof(buffer), "%lld:%02d:%02d", hours, minutes, secs);
    std::string text(buffer);

    if (trimLeading) {
        std::size_t cut = 0;
        while (text.size() - cut > 6 && isTrimmable(text[cut]))
            ++cut;
        // Stopping at six characters can leave a separator in front (":01:05").
        while (cut < text.size() && isSeparator(text[cut]))
            ++cut;
        text.erase(0, cut);
    }
    return text;
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
