#pragma once

#include <ILogger.h>
#include <cstdarg>
#include <cstddef>
#include <string>
#include <vector>

// One log line from anywhere in the program. With the engine device it goes through the
// device's logger at the given level (from there the input manager hands it to the log
// file); before the device exists it goes to standard output followed by a newline.
// Nothing here fails or reports a result.

// Line prefixes the program's messages begin with.
inline constexpr const char* logErrorPrefix = "ERROR: ";
inline constexpr const char* logWarningPrefix = "Warning: ";

void logMessage(const char* text, irr::ELOG_LEVEL level = irr::ELL_INFORMATION);
void logMessage(const std::string& text, irr::ELOG_LEVEL level = irr::ELL_INFORMATION);
// Wide text is written as UTF-8.
void logMessage(const wchar_t* text, irr::ELOG_LEVEL level = irr::ELL_INFORMATION);

// One formatted information line (printf rules; the compiler checks the arguments).
void logMessagef(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The text of a printf format and its arguments; empty when the format fails.
std::string formatLogText(const char* format, va_list args);

// The two texts joined as one information line.
void logMessagePair(const char* text, const char* second);
void logMessagePair(const wchar_t* text, const wchar_t* second);

// The text with its control characters escaped, so that a damaged file's tab or line break
// cannot fake a log line: "\t", "\r", "\n" and "\xNN" for the others, byte by byte: the C0
// controls, DEL, the C1 controls U+0080-U+009F ("\xC2\x9B") and every byte that is not part of
// a well-formed UTF-8 character ("\x9B"); other UTF-8 text stays as it is, so the log is UTF-8
// and no terminal takes a line for an escape sequence. An escaped text longer
// than maxBytes is cut at a character (a UTF-8 sequence or an escape stays whole) and ends in
// logLineCutMark, the whole at most maxBytes long: a line that quotes a file (a
// 500,000-character name) stays readable. Every log line, in the file (its time of day
// counted in) and on the terminal, is written through it, at most maxLogLineBytes long.
inline constexpr std::size_t maxLogLineBytes = 1024;
inline constexpr const char* logLineCutMark = " [... cut at 1024 bytes]";
std::string escapeLogText(const char* text, std::size_t maxBytes = maxLogLineBytes);

// Writes one line to standard output escaped as escapeLogText does (the engine's own logger
// would print it raw: a file's escape sequences could clear the terminal or forge lines).
void writeLogLineToTerminal(const char* text);
// The same for a thread that must not wait (the quit watch): the line is written only when no
// other thread is writing to standard output and the write would not block. False when not.
bool writeLogLineToTerminalWithoutWaiting(const char* text);

// The engine's own line as the log file shows it: an error or warning level gives it the
// prefix the program's own lines of that kind carry (unless it has one), so that every
// error and warning counts alike.
std::string prefixEngineLogLine(const char* text, irr::ELOG_LEVEL level);
// True while the calling thread hands one of the program's own lines (logMessage) to the
// engine's logger: the receiver of its log event tells them from the engine's own lines.
bool isOwnLogLineBeingLogged();

// Lines logged while neither the engine device nor the log file exists: they reach
// standard output at once and are kept (up to a few thousand) for the log file, which
// writes them after its header when it opens. Each line comes with its time of day.
struct EarlyLogLine {
    std::string text;
    long long time = 0; // seconds since the epoch
};
std::vector<EarlyLogLine> takeEarlyLogLines();

// Writes the calling thread's call stack to the log file as one framed block: a heading
// line, one line per frame (innermost first, starting with the caller), a closing line.
// Safe from any thread; without a log manager the block goes to standard output.
void logCallstack();
