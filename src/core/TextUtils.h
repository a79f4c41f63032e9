#pragma once

#include <irrTypes.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// A time in seconds as "H:MM:SS", hours without leading zeros, followed by ".mmm" when
// withMilliseconds. "N/A" when naForZero and the time is 0. trimLeading removes leading
// '0', ':' and '.' characters while the text is longer than six characters, and never
// leaves a ':' or '.' in front ("0:01:05" gives "01:05", "0:00:05.250" gives "05.250").
// A negative or not-a-number time counts as 0; times are rounded to the millisecond.
std::string formatTime(irr::f32 seconds, bool withMilliseconds, bool naForZero, bool trimLeading);
std::wstring formatTimeW(irr::f32 seconds, bool withMilliseconds, bool naForZero, bool trimLeading);
// formatTime into the caller's buffer, for texts redrawn every frame: no heap. Answers the
// length written; a text longer than the buffer is cut, and the buffer always ends in a 0.
std::size_t formatTimeInto(char* buffer, std::size_t size, irr::f32 seconds, bool withMilliseconds, bool naForZero,
                           bool trimLeading);

// Splits text at every delimiter into parts (replacing their contents) and returns the
// number of parts. Empty parts between delimiters are kept; an empty text has no parts.
std::size_t splitString(const std::wstring& text, wchar_t delimiter,
                        std::vector<std::wstring>& parts);

// True when the texts are equal with the letters A-Z matched regardless of case. No other
// character is folded: accented letters and the rest compare exactly, whatever the locale.
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);
bool equalsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b);
