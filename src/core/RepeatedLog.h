#pragma once

#include <ILogger.h>

#include <cstddef>
#include <string>

// The one rule for a log line whose cause can repeat (each frame, each event, each object of
// a level): the first line of a cause is written at once, later ones are only counted, and
// when the round ends one line says how many more there were:
//
//   ERROR: Could not find SceneNode ID: 4711
//   ...
//   Repeated 3599 more times: ERROR: Could not find SceneNode ID: 4711
//
// A round is a level: it ends when the level is unloaded and when the next level load starts
// (with the file refusals, forgetFileRefusals), and at the shutdown; after it every cause is
// new again. Count lines come in the order of their first lines, for causes that came more
// than once only. The cause is the line's text, or a key the caller gives when the text
// varies (a value in it). Lines may come from any thread.

// Causes one round keeps apart (a level's range of a thousand missing IDs is a thousand
// causes); the lines of any further cause are counted together under one line of their own,
// so a level that names ever new missing objects cannot fill the memory.
inline constexpr std::size_t maxRepeatingCauses = 10000;

// Writes the line (logMessage) the first time its cause comes up this round; true when it did.
bool logRepeatable(const std::string& line, irr::ELOG_LEVEL level = irr::ELL_INFORMATION);
// The same for a cause named by the key; the line written is the first one's.
bool logRepeatableAs(const std::string& key, const std::string& line,
                     irr::ELOG_LEVEL level = irr::ELL_INFORMATION);
// One formatted line (printf rules), its text the cause.
bool logRepeatablef(const char* format, ...) __attribute__((format(printf, 1, 2)));

// For a writer of its own (the engine's lines): the line to write now, the given one when its
// cause is new this round (or the line that stands for the causes past the bound); empty
// when it was counted.
std::string takeRepeatableLine(const std::string& line);

// Ends the round: the count lines, then every cause is forgotten.
void endRepeatedLogRound();
// Forgets every cause without a count line (a test program between its tests).
void forgetRepeatedLogLines();
