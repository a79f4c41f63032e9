#include "core/Log.h"

#include "core/Globals.h"
#include "core/LogManager.h"
#include "core/Utf8.h"
#include "platform/CallStack.h"

#include <cstdarg>
#include <cstdio>
#include <irrlicht.h>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace {

std::mutex standardOutputMutex;

void writeLinesToStandardOutput(const std::vector<std::string>& lines) {
    std::lock_guard<std::mutex> lock(standardOutputMutex);
    for (const std::string& line : lines) {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
    }
    std::fflush(stdout);
}

std::string describeFrame(int index, const platform::StackFrame& frame) {
    std::string line = "#";
    line += std::to_string(index);
    line += ' ';
    if (!frame.function.empty()) {
        line += frame.function;
    } else {
        char address[32];
        std::snprintf(address, sizeof(address), "0x%llx",
                      static_cast<unsigned long long>(frame.address));
        line += address;
    }
    if (!frame.file.empty()) {
        line += " at ";
        line += frame.file;
        line += ':';
        line += std::to_string(frame.line);
    }
    return line;
}

} // namespace

void logMessage(const char* text, irr::ELOG_LEVEL level) {
    if (!text)
        return;
    if (gameDevice) {
        if (irr::ILogger* logger = gameDevice->getLogger()) {
            logger->log(text, level);
            return;
        }
    }
    writeLinesToStandardOutput({text});
}

void logMessage(const std::string& text, irr::ELOG_LEVEL level) {
    logMessage(text.c_str(), level);
}

void logMessage(const wchar_t* text, irr::ELOG_LEVEL level) {
    if (text)
        logMessage(toUtf8(text), level);
}

void logMessagef(const char* format, ...) {
    if (!format)
        return;
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length >= 0) {
        std::string text(static_cast<size_t>(length) + 1, '\0');
        std::vsnprintf(text.data(), text.size(), format, args);
        text.resize(static_cast<size_t>(length));
        logMessage(text);
    }
    va_end(args);
}

void logMessagePair(const char* text, const char* second) {
    std::string line = text ? text : "";
    line += second ? second : "";
    logMessage(line);
}

void logMessagePair(const wchar_t* text, const wchar_t* second) {
    logMessage(toUtf8(text) + toUtf8(second));
}

void logCallstack() {
    // Skip this function: the first frame is the one that asked for the report.
    const std::vector<platform::StackFrame> frames = platform::captureCallStack(1);
    std::vector<std::string> lines;
    lines.reserve(frames.size() + 2);
    lines.push_back("==== Call stack of thread " + std::to_string(::gettid()) + " ====");
    for (size_t i = 0; i < frames.size(); ++i)
        lines.push_back(describeFrame(static_cast<int>(i), frames[i]));
    if (frames.empty())
        lines.push_back("(no frames could be read)");
    lines.push_back("==== End of call stack ====");

    if (logManager)
        logManager->logBlock(lines);
    else
        writeLinesToStandardOutput(lines);
}
