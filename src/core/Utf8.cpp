#include "core/Utf8.h"

namespace {

constexpr char32_t replacement = 0xFFFD;

void appendUtf8(std::string& out, char32_t c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = replacement;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

std::string toUtf8(const wchar_t* text) {
    std::string out;
    if (!text)
        return out;
    for (; *text; ++text)
        appendUtf8(out, static_cast<char32_t>(*text));
    return out;
}

std::wstring fromUtf8(const char* text) {
    std::wstring out;
    if (!text)
        return out;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        const unsigned char lead = *p++;
        int extra = 0;
        char32_t c = lead;
        char32_t minimum = 0;
        if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            c = lead & 0x07;
            minimum = 0x10000;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            c = lead & 0x0F;
            minimum = 0x800;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
            c = lead & 0x1F;
            minimum = 0x80;
        } else if (lead >= 0x80) {
            out += static_cast<wchar_t>(replacement);
            continue;
        }
        bool valid = true;
        for (int i = 0; i < extra; ++i) {
            if ((*p & 0xC0) != 0x80) { // also stops at the terminating zero
                valid = false;
                break;
            }
            c = (c << 6) | (*p++ & 0x3F);
        }
        if (!valid || c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            c = replacement;
        out += static_cast<wchar_t>(c);
    }
    return out;
}
