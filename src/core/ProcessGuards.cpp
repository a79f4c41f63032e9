#include "core/ProcessGuards.h"

#include "core/Globals.h"
#include "core/Log.h"
#include "core/LogManager.h"
#include "core/SafeWrite.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace {

// A lock file held for the whole run.
struct HeldLock {
    int descriptor = -1;
    std::string path;
};
HeldLock workingFolderLock;
HeldLock saveFolderLock;

volatile std::sig_atomic_t quitSignal = 0;
std::atomic<int> graceMilliseconds{quitGraceMilliseconds};
// How far the orderly end has come.
enum EndStage : int { stageRunning, stagePlayerFilesWritten, stageDone };
std::atomic<int> endStage{stageRunning};
// The watch thread waits on this pipe: the handler writes the signal's number to it.
int watchPipe[2] = {-1, -1};
pid_t watchProcess = 0; // the process whose watch thread exists (a forked child needs its own)

// What the watch writes at a forced end, copied here by the main thread. The main thread
// holds the lock only to swap a text in; the watch waits for it no longer than a moment.
struct ForcedEndCopies {
    std::timed_mutex mutex;
    std::string logPath;
    std::string filePaths[forcedEndFileCount];
    std::string fileTexts[forcedEndFileCount];
};
ForcedEndCopies& forcedEndCopies() {
    // Never destroyed: the watch may still read it while the process ends.
    static ForcedEndCopies* copies = new ForcedEndCopies;
    return *copies;
}

constexpr int quitSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2};

// Held while the shutdown writes the log's closing line and while the watch decides how a late
// end ends: the watch decides before the line or after it. Never destroyed, as the copies.
std::timed_mutex& closingLineMutex() {
    static std::timed_mutex* mutex = new std::timed_mutex;
    return *mutex;
}

void onQuitSignal(int signal) {
    quitSignal = signal;
    if (watchPipe[1] >= 0) {
        const unsigned char number = static_cast<unsigned char>(signal);
        [[maybe_unused]] const ssize_t written = ::write(watchPipe[1], &number, 1);
    }
}

void appendToFile(const std::string& path, const std::string& bytes) {
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (descriptor < 0)
        return;
    [[maybe_unused]] const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
    ::close(descriptor);
}

} // namespace

[[noreturn]] void endGameAtOnce(const std::string& reason, int status) {
    ForcedEndCopies& copies = forcedEndCopies();
    std::string logPath;
    std::string filePaths[forcedEndFileCount];
    std::string fileTexts[forcedEndFileCount];
    if (copies.mutex.try_lock_for(std::chrono::milliseconds(100))) {
        logPath = copies.logPath;
        for (int i = 0; i < forcedEndFileCount; ++i) {
            filePaths[i] = copies.filePaths[i];
            fileTexts[i] = copies.fileTexts[i];
        }
        copies.mutex.unlock();
    }
    std::string line = std::string(logErrorPrefix) + reason;
    std::string written;
    for (int i = 0; i < forcedEndFileCount; ++i) {
        if (filePaths[i].empty())
            continue;
        std::string failure;
        written += (written.empty() ? " (\"" : ", \"") + filePaths[i] +
                   (writeFileSafely(filePaths[i], fileTexts[i], &failure) ? "\" saved" : "\" not saved: " + failure);
    }
    line += written.empty() ? "" : written + ")";
    line += "; ending it now.";
    if (!logPath.empty())
        appendToFile(logPath, logFileLine(line.c_str(), std::time(nullptr)));
    writeLogLineToTerminalWithoutWaiting(line.c_str());
    ::_exit(status);
}

namespace {

// The orderly end is late: writes the copies, says so in one line, ends the process.
[[noreturn]] void endNow(int signal) {
    endGameAtOnce("The game did not end within " + std::to_string(graceMilliseconds.load()) + " ms of signal " +
                      std::to_string(signal),
                  128 + signal);
}

// Waits for a signal, then for the orderly end; when that is late, ends the process.
void watchForLateEnd() {
    for (;;) {
        unsigned char number = 0;
        const ssize_t got = ::read(watchPipe[0], &number, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got != 1)
            return;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMilliseconds.load());
        while (endStage.load() != stageDone && quitSignal != 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (endStage.load() == stageDone || quitSignal == 0)
            continue;
        // What is left of the shutdown lets go of the engine: nothing of the player's is lost.
        // A closing line still being written after a moment comes after the player's files.
        std::unique_lock<std::timed_mutex> closing(closingLineMutex(), std::defer_lock);
        if (!closing.try_lock_for(std::chrono::milliseconds(100)) || endStage.load() == stagePlayerFilesWritten)
            ::_exit(0);
        endNow(number);
    }
}

void startWatch() {
    if (watchProcess == ::getpid())
        return;
    // A child forked from a game has the parent's pipe but not its thread.
    for (int& end : watchPipe) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
    if (::pipe2(watchPipe, O_CLOEXEC) != 0) {
        watchPipe[0] = watchPipe[1] = -1;
        return;
    }
    watchProcess = ::getpid();
    std::thread(watchForLateEnd).detach();
}

std::string absolutePathOf(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

} // namespace

namespace {

void release(HeldLock& lock) {
    if (lock.descriptor >= 0)
        ::close(lock.descriptor);
    lock = HeldLock{};
}

bool acquire(HeldLock& lock, const std::string& absolute) {
    if (lock.descriptor >= 0 && absolute == lock.path)
        return true;
    const int descriptor = ::open(absolute.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (descriptor < 0)
        return true; // a folder we cannot write to: nothing of ours can collide there
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        ::close(descriptor);
        return false;
    }
    release(lock);
    lock.descriptor = descriptor;
    lock.path = absolute;
    return true;
}

} // namespace

bool acquireInstanceLock(const std::string& path) {
    return acquire(workingFolderLock, absolutePathOf(path));
}

void releaseInstanceLock() {
    release(workingFolderLock);
}

bool acquireSaveFolderLock(const std::string& folder) {
    const std::string absolute = absolutePathOf(folder + "/" + instanceLockFileName);
    if (workingFolderLock.descriptor >= 0 && absolute == workingFolderLock.path) {
        release(saveFolderLock);
        return true;
    }
    return acquire(saveFolderLock, absolute);
}

void releaseSaveFolderLock() {
    release(saveFolderLock);
}

void installQuitSignalHandlers(int grace) {
    graceMilliseconds = grace;
    endStage = stageRunning;
    startWatch();
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    // The first signal asks for the orderly end; the handler then steps aside.
    action.sa_flags = SA_RESETHAND;
    for (int signal : quitSignals)
        ::sigaction(signal, &action, nullptr);
    // A write to a closed pipe answers EPIPE instead of ending the game.
    action.sa_handler = SIG_IGN;
    action.sa_flags = 0;
    ::sigaction(SIGPIPE, &action, nullptr);
}

bool quitSignalReceived() {
    return quitSignal != 0;
}

int quitSignalNumber() {
    return quitSignal;
}

void clearQuitSignal() {
    quitSignal = 0;
}

bool gameQuitting() {
    return quitSignal != 0 || QuitRequested;
}

void setForcedEndLogFile(const std::string& path) {
    ForcedEndCopies& copies = forcedEndCopies();
    const std::string absolute = path.empty() ? path : absolutePathOf(path);
    std::lock_guard<std::timed_mutex> lock(copies.mutex);
    copies.logPath = absolute;
}

void setForcedEndFile(const std::string& path, std::string text, ForcedEndFile which) {
    ForcedEndCopies& copies = forcedEndCopies();
    const std::string absolute = path.empty() ? path : absolutePathOf(path);
    const int slot = static_cast<int>(which);
    std::lock_guard<std::timed_mutex> lock(copies.mutex);
    copies.filePaths[slot] = absolute;
    copies.fileTexts[slot].swap(text);
}

void clearForcedEndFile(ForcedEndFile which) {
    setForcedEndFile({}, {}, which);
}

void markPlayerFilesWritten(const std::function<void()>& writeClosingLine) {
    std::lock_guard<std::timed_mutex> lock(closingLineMutex());
    if (writeClosingLine)
        writeClosingLine();
    endStage = stagePlayerFilesWritten;
}

void markOrderlyEndDone() {
    endStage = stageDone;
}

void removeQuitSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int signal : quitSignals)
        ::sigaction(signal, &action, nullptr);
    ::sigaction(SIGPIPE, &action, nullptr);
    endStage = stageDone;
    graceMilliseconds = quitGraceMilliseconds;
    clearForcedEndFile(ForcedEndFile::Settings);
    clearForcedEndFile(ForcedEndFile::Save);
    setForcedEndLogFile({});
}
