#pragma once

#include <irrTypes.h>

#include <cstddef>

// Walks a wide or UTF-16 text by Unicode code point. A high surrogate followed by a low
// surrogate is one code point; any other surrogate unit reads as U+FFFD; a surrogate in the
// last position ends the text. Wider units (wchar_t on this platform) are code points.
template <class Unit>
class CodePointWalk {
public:
    CodePointWalk(const Unit* text, std::size_t length) : text(text), length(length) {}

    // The next code point; false at the end.
    bool next(irr::u32& codePoint) {
        if (pos >= length)
            return false;
        const irr::u32 unit = static_cast<irr::u32>(text[pos]);
        if (unit < 0xD800 || unit > 0xDFFF) {
            codePoint = unit;
            ++pos;
            return true;
        }
        if (pos + 1 >= length) { // a surrogate in the last position ends the text
            pos = length;
            return false;
        }
        const irr::u32 following = static_cast<irr::u32>(text[pos + 1]);
        if (unit <= 0xDBFF && following >= 0xDC00 && following <= 0xDFFF) {
            codePoint = 0x10000 + ((unit - 0xD800) << 10) + (following - 0xDC00);
            pos += 2;
            return true;
        }
        codePoint = 0xFFFD;
        ++pos;
        return true;
    }

    // Consumes the next unit when it is the given one (the LF of a CR LF pair).
    bool skipIf(irr::u32 unit) {
        if (pos < length && static_cast<irr::u32>(text[pos]) == unit) {
            ++pos;
            return true;
        }
        return false;
    }

private:
    const Unit* text;
    std::size_t length;
    std::size_t pos = 0;
};

inline constexpr irr::u32 codeCR = 13;
inline constexpr irr::u32 codeLF = 10;
