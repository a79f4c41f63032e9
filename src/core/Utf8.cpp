#include "core/Utf8.h"

#include <cstdint>

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

std::string utf8FromAttributeText(const wchar_t* text) {
    if (!text)
        return {};
    std::string bytes;
    bool allBytes = true, nonAscii = false;
    for (const wchar_t* c = text; *c; ++c) {
        // The engine widens a narrow text's bytes as signed chars: 0xC3 becomes -61.
        const bool signedByte = *c < 0 && *c >= -128;
        if (!signedByte && static_cast<std::uint32_t>(*c) > 0xFF) {
            allBytes = false;
            break;
        }
        nonAscii |= signedByte || static_cast<std::uint32_t>(*c) >= 0x80;
        bytes += static_cast<char>(*c & 0xFF);
    }
    if (allBytes && (!nonAscii || toUtf8(fromUtf8(bytes.c_str()).c_str()) == bytes))
        return bytes;
    return toUtf8(text);
}

std::wstring bytewiseWideFromUtf8(const std::string& text) {
    std::wstring wide;
    wide.reserve(text.size());
    for (const char c : text)
        wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return wide;
}
