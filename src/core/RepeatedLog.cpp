#include "core/RepeatedLog.h"

#include "core/Log.h"

#include <cstdarg>
#include <cstdint>
#include <functional>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

// What a cause keeps of its first line, for its count line: no more bytes than the log writes
// of a line (it cuts there, with its mark), so that ten thousand causes of a file's
// 500,000-character name cost no gigabytes. The key is kept as its hash.
std::string keptFirstLine(const std::string& line) {
    return line.substr(0, maxLogLineBytes);
}

const std::string repeatOverflowLine =
    "Warning: More than " + std::to_string(maxRepeatingCauses) +
    " different log lines repeat in this level; the lines of further ones are "
    "counted under this line.";

struct RepeatedCause {
    std::string firstLine;
    std::uint64_t more = 0; // lines after the first
};

struct RepeatRound {
    std::vector<RepeatedCause> causes;                  // in the order of their first lines
    std::unordered_map<std::size_t, std::size_t> byKey; // the key's hash: the cause's index
    RepeatedCause overflow;
    bool overflowed = false;
};

std::mutex repeatRoundMutex;
RepeatRound& currentRepeatRound() {
    static RepeatRound state;
    return state;
}

struct RepeatDecision {
    std::string text; // empty: counted
    irr::ELOG_LEVEL level = irr::ELL_INFORMATION;
};

// The line to write now.
RepeatDecision noteRepeatCause(const std::string& key, const std::string& line,
                               irr::ELOG_LEVEL level) {
    std::lock_guard<std::mutex> lock(repeatRoundMutex);
    RepeatRound& state = currentRepeatRound();
    const std::size_t keptKey = std::hash<std::string>()(key);
    const auto found = state.byKey.find(keptKey);
    if (found != state.byKey.end()) {
        ++state.causes[found->second].more;
        return {};
    }
    if (state.causes.size() >= maxRepeatingCauses) {
        if (state.overflowed) {
            ++state.overflow.more;
            return {};
        }
        state.overflowed = true;
        state.overflow = RepeatedCause{repeatOverflowLine, 0};
        return {repeatOverflowLine, irr::ELL_WARNING};
    }
    state.byKey.emplace(keptKey, state.causes.size());
    state.causes.push_back(RepeatedCause{keptFirstLine(line), 0});
    return {line, level};
}

std::string repeatCountLine(const RepeatedCause& cause) {
    return "Repeated " + std::to_string(cause.more) +
           (cause.more == 1 ? " more time: " : " more times: ") + cause.firstLine;
}

} // namespace

bool logRepeatableAs(const std::string& key, const std::string& line, irr::ELOG_LEVEL level) {
    const RepeatDecision written = noteRepeatCause(key, line, level);
    if (written.text.empty())
        return false;
    logMessage(written.text, written.level);
    return true;
}

bool logRepeatable(const std::string& line, irr::ELOG_LEVEL level) {
    return logRepeatableAs(line, line, level);
}

bool logRepeatablef(const char* format, ...) {
    if (!format)
        return false;
    va_list args;
    va_start(args, format);
    const std::string line = formatLogText(format, args);
    va_end(args);
    return logRepeatable(line);
}

std::string takeRepeatableLine(const std::string& line) {
    return noteRepeatCause(line, line, irr::ELL_INFORMATION).text;
}

void endRepeatedLogRound() {
    RepeatRound ended;
    {
        std::lock_guard<std::mutex> lock(repeatRoundMutex);
        std::swap(ended, currentRepeatRound());
    }
    // Written outside the lock: a count line may come back as an engine line.
    for (const RepeatedCause& cause : ended.causes)
        if (cause.more > 0)
            logMessage(repeatCountLine(cause));
    if (ended.overflowed && ended.overflow.more > 0)
        logMessage(repeatCountLine(ended.overflow));
}

void forgetRepeatedLogLines() {
    std::lock_guard<std::mutex> lock(repeatRoundMutex);
    currentRepeatRound() = RepeatRound{};
}
