#pragma once

// Temporary stand-in for the log helpers of core/Log.h until they are on this branch.
// Lines go through the engine device's logger (information level) when the device
// exists, else to standard output.

#include "core/Globals.h"

#include <irrlicht.h>

#include <cstdarg>
#include <cstdio>
#include <string>

inline void logMessage(const char* text) {
    if (!text)
        return;
    if (gameDevice && gameDevice->getLogger())
        gameDevice->getLogger()->log(text, irr::ELL_INFORMATION);
    else
        std::printf("%s\n", text);
}

inline void logMessagePair(const char* first, const char* second) {
    std::string line = first ? first : "";
    line += second ? second : "";
    logMessage(line.c_str());
}

inline void logMessagef(const char* format, ...) __attribute__((format(printf, 1, 2)));
inline void logMessagef(const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    logMessage(buffer);
}
