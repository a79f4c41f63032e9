#pragma once

#include <string>

// The program keeps wide text where the engine does (GUI, attributes) and writes UTF-8
// everywhere else (log, standard output).

// Wide text as UTF-8; characters that are not Unicode scalar values become U+FFFD.
std::string toUtf8(const wchar_t* text);
// UTF-8 as wide text; malformed sequences become U+FFFD.
std::wstring fromUtf8(const char* text);
