#include "core/Log.h"

#include "core/Globals.h"
#include "core/LogManager.h"
#include "core/Utf8.h"
#include "platform/CallStack.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <irrlicht.h>
#include <mutex>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace {

std::mutex standardOutputMutex;

// Set while one of the program's own lines passes through the engine's logger.
thread_local int ownLinesInEngineLogger = 0;

constexpr std::size_t maxEarlyLines = 4096;
std::mutex earlyLinesMutex;
std::vector<EarlyLogLine>& earlyLines() {
    static std::vector<EarlyLogLine> lines;
    return lines;
}

void writeLinesToStandardOutput(const std::vector<std::string>& lines) {
    std::lock_guard<std::mutex> lock(standardOutputMutex);
    for (const std::string& line : lines) {
        const std::string escaped = escapeLogText(line.c_str());
        std::fwrite(escaped.data(), 1, escaped.size(), stdout);
        std::fputc('\n', stdout);
    }
    std::fflush(stdout);
}

void keepEarlyLine(const char* text) {
    std::lock_guard<std::mutex> lock(earlyLinesMutex);
    if (earlyLines().size() < maxEarlyLines)
        earlyLines().push_back({text, static_cast<long long>(std::time(nullptr))});
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
            ++ownLinesInEngineLogger;
            logger->log(text, level);
            --ownLinesInEngineLogger;
            return;
        }
    }
    writeLinesToStandardOutput({text});
    // Before the device: the log file gets the line too, now or once it opens.
    if (logManager && logManager->isOpen())
        logManager->log(text);
    else
        keepEarlyLine(text);
}

namespace {

// The bytes of the well-formed UTF-8 character that starts at `c` (1 for ASCII), or 0 when the
// bytes there are none: a lone continuation byte, a lead byte short of its continuation bytes,
// an overlong form, a surrogate or a code point past U+10FFFF.
std::size_t validCharacterBytes(const unsigned char* c) {
    if (c[0] < 0x80)
        return 1;
    const std::size_t length = c[0] >= 0xC2 && c[0] <= 0xDF ? 2 : (c[0] & 0xF0) == 0xE0 ? 3 : c[0] >= 0xF0 && c[0] <= 0xF4 ? 4 : 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((c[i] & 0xC0) != 0x80)
            return 0; // the text's end (NUL) is no continuation byte either
    // The second byte's narrower ranges: no overlong form, no surrogate, nothing past U+10FFFF.
    if ((c[0] == 0xE0 && c[1] < 0xA0) || (c[0] == 0xED && c[1] > 0x9F) || (c[0] == 0xF0 && c[1] < 0x90) ||
        (c[0] == 0xF4 && c[1] > 0x8F))
        return 0;
    return length;
}

} // namespace

std::string escapeLogText(const char* text, std::size_t maxBytes) {
    std::string out;
    if (!text)
        return out;
    const std::string mark = logLineCutMark;
    // Where a text found too long is cut: the end of the last character that leaves room for
    // the mark.
    std::size_t cut = 0;
    for (const auto* c = reinterpret_cast<const unsigned char*>(text); *c;) {
        const std::size_t valid = validCharacterBytes(c);
        const std::size_t bytes = valid ? valid : 1;
        // C0 controls, DEL, and the C1 controls U+0080-U+009F: an 8-bit terminal takes U+009B
        // as the CSI that starts an escape sequence.
        const bool control = valid == 1 ? *c < 0x20 || *c == 0x7F : valid == 2 && c[0] == 0xC2 && c[1] < 0xA0;
        if (*c == '\t') {
            out += "\\t";
        } else if (*c == '\r') {
            out += "\\r";
        } else if (*c == '\n') {
            out += "\\n";
        } else if (control || !valid) {
            // A byte that is no character (a file name's Latin-1 byte) is escaped as well: the
            // log stays UTF-8.
            for (std::size_t i = 0; i < bytes; ++i) {
                char code[8];
                std::snprintf(code, sizeof(code), "\\x%02X", c[i]);
                out += code;
            }
        } else {
            out.append(reinterpret_cast<const char*>(c), bytes);
        }
        c += bytes;
        if (out.size() > maxBytes) {
            out.resize(cut);
            return (out + mark).substr(0, maxBytes);
        }
        if (out.size() + mark.size() <= maxBytes)
            cut = out.size();
    }
    return out;
}

void writeLogLineToTerminal(const char* text) {
    if (text)
        writeLinesToStandardOutput({text});
}

bool writeLogLineToTerminalWithoutWaiting(const char* text) {
    std::unique_lock<std::mutex> lock(standardOutputMutex, std::try_to_lock);
    if (!text || !lock.owns_lock())
        return false;
    pollfd output{STDOUT_FILENO, POLLOUT, 0};
    if (::poll(&output, 1, 0) != 1 || (output.revents & POLLOUT) == 0)
        return false;
    // One write of the whole line: the stream's buffer is the other threads'.
    const std::string line = escapeLogText(text) + "\n";
    return ::write(STDOUT_FILENO, line.data(), line.size()) == static_cast<ssize_t>(line.size());
}

bool isOwnLogLineBeingLogged() { return ownLinesInEngineLogger > 0; }

std::string prefixEngineLogLine(const char* text, irr::ELOG_LEVEL level) {
    const std::string line = text ? text : "";
    const char* prefix = level == irr::ELL_ERROR     ? logErrorPrefix
                         : level == irr::ELL_WARNING ? logWarningPrefix
                                                     : nullptr;
    if (!prefix || line.rfind(logErrorPrefix, 0) == 0 || line.rfind(logWarningPrefix, 0) == 0)
        return line;
    // Some engine lines name their kind themselves ("Error: Need running XServer ..."): the
    // prefix takes that word's place.
    for (const char* word : {"Error: ", "Warning: "})
        if (line.rfind(word, 0) == 0)
            return prefix + line.substr(std::strlen(word));
    return prefix + line;
}

std::vector<EarlyLogLine> takeEarlyLogLines() {
    std::lock_guard<std::mutex> lock(earlyLinesMutex);
    std::vector<EarlyLogLine> lines;
    lines.swap(earlyLines());
    return lines;
}

void logMessage(const std::string& text, irr::ELOG_LEVEL level) {
    logMessage(text.c_str(), level);
}

void logMessage(const wchar_t* text, irr::ELOG_LEVEL level) {
    if (text)
        logMessage(toUtf8(text), level);
}

std::string formatLogText(const char* format, va_list args) {
    if (!format)
        return {};
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length < 0)
        return {};
    std::string text(static_cast<size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(length));
    return text;
}

void logMessagef(const char* format, ...) {
    if (!format)
        return;
    va_list args;
    va_start(args, format);
    const std::string text = formatLogText(format, args);
    va_end(args);
    // An empty text (or a format that fails) gives no line.
    if (!text.empty())
        logMessage(text);
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
