#pragma once

#include "core/Delegate.h"

#include <ctime>
#include <mutex>
#include <string>
#include <vector>

// The log file of a run. Opening it replaces the previous run's log and writes the header:
// the build stamp, the revision and the system facts; a game restarted in the same process
// continues the file instead (no header: the run's own one is above). Every line after the header carries
// the time of day and ends with CR LF, and reaches the disk's cache at once, so the log of
// a crashed run survives. Lines may come from any thread (physics workers report through
// logCallstack): writing takes a lock. Each line (a block: all its lines) is one appending
// write, so a line another writer appends (the quit watch's) stands whole beside them.
// One line as the log file holds it: "[h:m:s] " (the time of day, no zero padding), the text
// with its control characters escaped (escapeLogText), CR LF; without the CR LF at most
// maxLogLineBytes long.
std::string logFileLine(const char* text, std::time_t when);

class LogManager {
public:
    static constexpr const char* defaultFileName = "PaddlestoneLog.txt";
    static constexpr const char* buildStamp = "[2014/08/27 11:45:16]";

    enum class Opening { Replace, Continue };
    explicit LogManager(const std::string& path = defaultFileName, Opening opening = Opening::Replace);
    ~LogManager();
    LogManager(const LogManager&) = delete;
    LogManager& operator=(const LogManager&) = delete;

    bool isOpen() const { return descriptor >= 0; }
    const std::string& path() const { return filePath; }

    // Appends "[h:m:s] " (time of day, no zero padding), the text and CR LF. Texts of two
    // characters or fewer are dropped.
    void log(const char* text);
    void log(const std::string& text) { log(text.c_str()); }

    // Writes the lines as one uninterrupted block (same rules per line as log).
    void logBlock(const std::vector<std::string>& lines);

    // The video driver line of the system facts, once the device exists.
    void logVideoDriver(const std::string& driverDescription);

    // Hands the finished level's times and counts to the save manager's statistics through
    // the hook it registers; nothing while no hook is registered.
    void submitLevelStats(bool finishedGame);
    // The hook is called with the finished-game flag as its argument (0 or 1).
    void setLevelStatsHook(const Delegate& hook) { levelStatsHook = hook; }
    void clearLevelStatsHook() { levelStatsHook = Delegate(); }

private:
    void writeHeader();
    // Adds the text's line to the bytes (nothing for a text too short).
    static void appendLine(std::string& bytes, const char* text, std::time_t when);
    void writeLocked(const std::string& bytes);

    std::string filePath;
    int descriptor = -1;
    std::mutex mutex;
    Delegate levelStatsHook;
};
