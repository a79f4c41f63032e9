#pragma once

#include <irrTypes.h>

#include <cstddef>
#include <string>
#include <vector>

// A time in seconds as "H:MM:SS", hours without leading zeros, followed by ".mmm" when
// withMilliseconds. "N/A" when naForZero and the time is 0. trimLeading removes leading
// '0', ':' and '.' characters while the text is longer than six characters, and never
// leaves a ':' or '.' in front ("0:01:05" gives "01:05", "0:00:05.250" gives "05.250").
// A negative or not-a-number time counts as 0; times are rounded to the millisecond.
std::string formatTime(irr::f32 seconds, bool withMilliseconds, bool naForZero, bool trimLeading);
std::wstring formatTimeW(irr::f32 seconds, bool withMilliseconds, bool naForZero, bool trimLeading);

// Splits text at every delimiter into parts (replacing their contents) and returns the
// number of parts. Empty parts between delimiters are kept; an empty text has no parts.
std::size_t splitString(const std::wstring& text, wchar_t delimiter,
                        std::vector<std::wstring>& parts);
