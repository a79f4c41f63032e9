#include "core/LogManager.h"

#include "BuildInfo.h"
#include "core/Log.h"
#include "platform/Kernel.h"

#include <cerrno>
#include <cstring>
#include <ctime>

namespace {

constexpr size_t minimumTextLength = 3;

} // namespace

std::string logFileLine(const char* text, std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char stamp[32];
    std::snprintf(stamp, sizeof(stamp), "[%i:%i:%i] ", local.tm_hour, local.tm_min, local.tm_sec);
    // A tab or line break from a damaged file must not start a line of its own; the time
    // counts in the line's length.
    const std::string prefix = stamp;
    return prefix + escapeLogText(text, maxLogLineBytes - prefix.size()) + "\r\n";
}

LogManager::LogManager(const std::string& path, Opening opening) : filePath(path) {
    file = std::fopen(filePath.c_str(), opening == Opening::Continue ? "ab" : "wb");
    if (!file) {
        logMessage(std::string(logErrorPrefix) + "Could not open the log file \"" + filePath +
                   "\": " + std::strerror(errno));
        return;
    }
    if (opening == Opening::Replace)
        writeHeader();
    // The lines logged before the file opened (settings problems, ...).
    std::lock_guard<std::mutex> lock(mutex);
    for (const EarlyLogLine& line : takeEarlyLogLines())
        writeLineLocked(line.text.c_str(), static_cast<std::time_t>(line.time));
    std::fflush(file);
}

LogManager::~LogManager() {
    if (file)
        std::fclose(file);
}

void LogManager::writeHeader() {
    const std::string lines[] = {
        buildStamp,
        "Rev. 1.0." + std::to_string(PADDLESTONE_REVISION),
        "Operating system: " + platform::operatingSystemName(),
        "Processors: " + std::to_string(platform::processorCount()),
        "Memory: " + std::to_string(platform::physicalMemoryBytes() / (1024 * 1024)) + " MB",
    };
    std::lock_guard<std::mutex> lock(mutex);
    for (const std::string& line : lines) {
        std::fputs(line.c_str(), file);
        std::fputs("\r\n", file);
    }
    std::fflush(file);
}

void LogManager::writeLineLocked(const char* text, std::time_t when) {
    if (!file || !text || std::strlen(text) < minimumTextLength)
        return;
    const std::string line = logFileLine(text, when);
    std::fwrite(line.data(), 1, line.size(), file);
}

void LogManager::writeLineLocked(const char* text) {
    writeLineLocked(text, std::time(nullptr));
}

void LogManager::log(const char* text) {
    std::lock_guard<std::mutex> lock(mutex);
    writeLineLocked(text);
    if (file)
        std::fflush(file);
}

void LogManager::logBlock(const std::vector<std::string>& lines) {
    std::lock_guard<std::mutex> lock(mutex);
    for (const std::string& line : lines)
        writeLineLocked(line.c_str());
    if (file)
        std::fflush(file);
}

void LogManager::logVideoDriver(const std::string& driverDescription) {
    log("Video driver: " + driverDescription);
}

void LogManager::submitLevelStats(bool finishedGame) {
    levelStatsHook(finishedGame ? 1 : 0);
}
