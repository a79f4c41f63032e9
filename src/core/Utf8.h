#pragma once

#include <string>

// The program keeps wide text where the engine does (GUI, attributes) and writes UTF-8
// everywhere else (log, standard output).

// Wide text as UTF-8; characters that are not Unicode scalar values become U+FFFD.
std::string toUtf8(const wchar_t* text);
// UTF-8 as wide text; malformed sequences become U+FFFD.
std::wstring fromUtf8(const char* text);

// A file path or name kept in wide text (a level's attribute) as the UTF-8 bytes the file
// system takes. A text whose characters are all bytes that together form UTF-8 (a narrow
// UTF-8 text the engine widened byte by byte) is taken as those bytes; any other is
// encoded, so that "Flöor" is one name whichever way it came.
std::string utf8FromAttributeText(const wchar_t* text);
// The wide text of a UTF-8 path as the engine's narrowing takes it back to the same bytes:
// one character per byte. The engine turns wide texture names into paths so.
std::wstring bytewiseWideFromUtf8(const std::string& text);
