#include "core/LogManager.h"

#include "BuildInfo.h"
#include "core/Log.h"
#include "platform/Kernel.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

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
    // Every write appends, whatever another writer put there meanwhile: the quit watch appends
    // its line through a descriptor of its own, and a line of this one must land after it,
    // not over it.
    const int flags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | (opening == Opening::Replace ? O_TRUNC : 0);
    descriptor = ::open(filePath.c_str(), flags, 0644);
    if (descriptor < 0) {
        logMessage(std::string(logErrorPrefix) + "Could not open the log file \"" + filePath +
                   "\": " + std::strerror(errno));
        return;
    }
    if (opening == Opening::Replace)
        writeHeader();
    // The lines logged before the file opened (settings problems, ...).
    std::string lines;
    for (const EarlyLogLine& line : takeEarlyLogLines())
        appendLine(lines, line.text.c_str(), static_cast<std::time_t>(line.time));
    std::lock_guard<std::mutex> lock(mutex);
    writeLocked(lines);
}

LogManager::~LogManager() {
    if (descriptor >= 0)
        ::close(descriptor);
}

void LogManager::writeHeader() {
    const std::string lines[] = {
        buildStamp,
        "Rev. 1.0." + std::to_string(PADDLESTONE_REVISION),
        "Operating system: " + platform::operatingSystemName(),
        "Processors: " + std::to_string(platform::processorCount()),
        "Memory: " + std::to_string(platform::physicalMemoryBytes() / (1024 * 1024)) + " MB",
    };
    std::string header;
    for (const std::string& line : lines)
        header += line + "\r\n";
    std::lock_guard<std::mutex> lock(mutex);
    writeLocked(header);
}

void LogManager::appendLine(std::string& bytes, const char* text, std::time_t when) {
    if (text && std::strlen(text) >= minimumTextLength)
        bytes += logFileLine(text, when);
}

void LogManager::writeLocked(const std::string& bytes) {
    // One write a call: a line (or a block) stands whole beside another writer's. The kernel
    // has it at once, so the log of a crashed run survives.
    for (std::size_t done = 0; descriptor >= 0 && done < bytes.size();) {
        const ssize_t written = ::write(descriptor, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        done += static_cast<std::size_t>(written);
    }
}

void LogManager::log(const char* text) {
    std::string line;
    appendLine(line, text, std::time(nullptr));
    std::lock_guard<std::mutex> lock(mutex);
    writeLocked(line);
}

void LogManager::logBlock(const std::vector<std::string>& lines) {
    std::string block;
    const std::time_t now = std::time(nullptr);
    for (const std::string& line : lines)
        appendLine(block, line.c_str(), now);
    std::lock_guard<std::mutex> lock(mutex);
    writeLocked(block);
}

void LogManager::logVideoDriver(const std::string& driverDescription) {
    log("Video driver: " + driverDescription);
}

void LogManager::submitLevelStats(bool finishedGame) {
    levelStatsHook(finishedGame ? 1 : 0);
}
