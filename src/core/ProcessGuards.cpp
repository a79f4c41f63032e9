#include "core/ProcessGuards.h"

#include "core/Globals.h"
#include "core/Log.h"
#include "core/LogManager.h"
#include "core/SafeWrite.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <signal.h>
#include <fcntl.h>
#include <ctime>
#include <time.h>
#include <filesystem>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

// A folder held for the whole run: the folder itself locked, and its lock file when that can
// be opened and locked. Either lock held by another process is another game.
struct HeldLock {
    int folder = -1;
    int file = -1;
    // The folder's identity: one folder reached by two paths (a link) is one folder.
    dev_t device = 0;
    ino_t inode = 0;
    bool held() const { return folder >= 0 || file >= 0; }
};
HeldLock workingFolderLock;
HeldLock saveFolderLock;

volatile std::sig_atomic_t quitSignal = 0;
std::atomic<int> graceMilliseconds{quitGraceMilliseconds};
// How far the game, and then its orderly end, has come.
enum EndStage : int { stageStartingUp, stageRunning, stagePlayerFilesWritten, stageClosingLineWritten, stageDone };
std::atomic<int> endStage{stageRunning};
std::atomic<bool> quitLineLogged{false};
std::atomic<bool> logFileKnown{false};
// The main thread is inside a frame's drawing (markDrawing).
std::atomic<bool> mainThreadDrawing{false};
bool quitEndsAtClosingLineAsked = false;
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

// Held while the shutdown moves the stage on (and writes the log's closing line) and while the
// watch decides how a late end ends: the watch decides before a step or after it. Never
// destroyed, as the copies.
std::timed_mutex& closingLineMutex() {
    static std::timed_mutex* mutex = new std::timed_mutex;
    return *mutex;
}

void onQuitSignal(int signal) {
    // The first quit signal asks for the orderly end; one more changes nothing: the end is
    // under way, and the watch ends it if it is late.
    if (quitSignal != 0)
        return;
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

// The watch's one line, in the log file and on the terminal; it waits for neither.
void writeWatchLine(const std::string& logPath, const std::string& line) {
    if (!logPath.empty())
        appendToFile(logPath, logFileLine(line.c_str(), std::time(nullptr)));
    writeLogLineToTerminalWithoutWaiting(line.c_str());
}

} // namespace

namespace {

// The watch's own copy of what it writes, taken without waiting long for the main thread.
struct TakenCopies {
    std::string logPath;
    std::string filePaths[forcedEndFileCount];
    std::string fileTexts[forcedEndFileCount];
};

TakenCopies takeCopies() {
    ForcedEndCopies& copies = forcedEndCopies();
    TakenCopies taken;
    if (copies.mutex.try_lock_for(std::chrono::milliseconds(100))) {
        taken.logPath = copies.logPath;
        for (int i = 0; i < forcedEndFileCount; ++i) {
            taken.filePaths[i] = copies.filePaths[i];
            taken.fileTexts[i] = copies.fileTexts[i];
        }
        copies.mutex.unlock();
    }
    return taken;
}

// Writes the copies; answers what became of them (` ("…" saved, "…" not saved: …)`, empty
// without any), and whether all were written.
std::string writeCopies(const TakenCopies& copies, bool& allWritten) {
    std::string written;
    allWritten = true;
    for (int i = 0; i < forcedEndFileCount; ++i) {
        if (copies.filePaths[i].empty())
            continue;
        std::string failure;
        const bool saved = writeFileSafely(copies.filePaths[i], copies.fileTexts[i], &failure);
        allWritten = allWritten && saved;
        written += (written.empty() ? " (\"" : ", \"") + copies.filePaths[i] +
                   (saved ? "\" saved" : "\" not saved: " + failure);
    }
    return written.empty() ? written : written + ")";
}

// Says in one line why the process ends now and what became of the copies; then ends it.
[[noreturn]] void endWithLine(const TakenCopies& copies, const std::string& reason, const std::string& written,
                              int status) {
    writeWatchLine(copies.logPath, std::string(logErrorPrefix) + reason + written + "; ending it now.");
    ::_exit(status);
}

} // namespace

[[noreturn]] void endGameAtOnce(const std::string& reason, int status) {
    const TakenCopies copies = takeCopies();
    bool allWritten = true;
    const std::string written = writeCopies(copies, allWritten);
    endWithLine(copies, reason, written, status);
}

namespace {

std::string lateEndReason(int signal) {
    return "The game did not end within " + std::to_string(graceMilliseconds.load()) + " ms of signal " +
           std::to_string(signal);
}

// The orderly end is late: writes the copies, says so in one line, ends the process.
[[noreturn]] void endNow(int signal) {
    endGameAtOnce(lateEndReason(signal), 128 + signal);
}

// Takes the log file from the rest of the process: its descriptors of it now write to
// /dev/null. Answers a descriptor of the first one's open file (-1 when the process has none),
// through which the watch writes last: a write of the main thread begun before holds that open
// file's position lock, and the watch's write waits for it.
int takeLogFile(const std::string& path) {
    struct stat log {};
    if (path.empty() || ::stat(path.c_str(), &log) != 0)
        return -1;
    const int nothing = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    int kept = -1;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        const int descriptor = std::atoi(entry.path().filename().c_str());
        struct stat open {};
        if (nothing < 0 || descriptor == nothing || descriptor == kept || ::fstat(descriptor, &open) != 0 ||
            !S_ISREG(open.st_mode) || open.st_dev != log.st_dev || open.st_ino != log.st_ino)
            continue;
        if (kept < 0)
            kept = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
        ::dup2(nothing, descriptor);
    }
    if (nothing >= 0)
        ::close(nothing);
    return kept;
}

// A start-up, or a frame's drawing, the main thread has not ended: it is inside a step that
// does not look at the quit (the window being made, a program the driver builds for a draw)
// or has not come to the next look. Nothing of the player's is at stake there but what the
// copies hold (the settings, a save write that waits): the watch ends the game as the shutdown
// would, with the copies written, the quit's line and the closing line, and status 0. A copy
// that cannot be written, or a log not opened yet, makes it the late end it is: one line (on
// the terminal without a log) and status 128 + the signal.
[[noreturn]] void endInOrder(int signal, bool startingUp) {
    const TakenCopies copies = takeCopies();
    bool allWritten = true;
    const std::string written = writeCopies(copies, allWritten);
    // Without a log (the grace ran out before it was opened) the player would not learn why
    // the game ended: that is no orderly end either.
    if (!allWritten || copies.logPath.empty())
        endWithLine(copies,
                    startingUp ? "The start-up did not stop at signal " + std::to_string(signal) : lateEndReason(signal),
                    written, 128 + signal);
    const int log = takeLogFile(copies.logPath);
    const std::time_t now = std::time(nullptr);
    std::string lines;
    for (const char* line : {quitLineLogged ? nullptr : "Quit signal received.", "Shutting down."}) {
        if (!line)
            continue;
        lines += logFileLine(line, now);
        writeLogLineToTerminalWithoutWaiting(line);
    }
    if (log >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(log, lines.data(), lines.size());
    } else {
        appendToFile(copies.logPath, lines);
    }
    ::_exit(0);
}

// The orderly end is late, but the player's files are written: nothing is lost, and the
// process ends with status 0. Without the log's closing line yet, one line says what happened.
[[noreturn]] void endAfterPlayerFiles(int signal, bool closingLineWritten) {
    if (!closingLineWritten) {
        std::string logPath;
        ForcedEndCopies& copies = forcedEndCopies();
        if (copies.mutex.try_lock_for(std::chrono::milliseconds(100))) {
            logPath = copies.logPath;
            copies.mutex.unlock();
        }
        writeWatchLine(logPath, lateEndReason(signal) + "; the player's files are written, ending it now.");
    }
    ::_exit(0);
}

// The processor time the whole process has used, every thread's.
double processorSeconds() {
    timespec used {};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) * 1e-9;
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
        const auto signalled = std::chrono::steady_clock::now();
        const double processorAtSignal = processorSeconds();
        const auto grace = std::chrono::milliseconds(graceMilliseconds.load());
        // The orderly end done, the process may still hold on (the engine let go, gigabytes
        // freed, the libraries' exit handlers): it ends by the deadline all the same. A start-up,
        // or a frame's drawing, has half the grace, or startUpQuitProcessorSeconds of the
        // processor, to come to its next look: the watch's end of it loses nothing, a step that
        // has computed that long without a look is a long one, and the rest of the 3 s is what a
        // busy machine takes to end the process. Before its log exists, the whole grace.
        for (;;) {
            const auto now = std::chrono::steady_clock::now();
            if (quitSignal == 0 || now >= signalled + grace)
                break;
            const int stage = endStage.load();
            if ((stage == stageStartingUp || (stage == stageRunning && mainThreadDrawing)) && logFileKnown &&
                (now >= signalled + grace / 2 || processorSeconds() - processorAtSignal >= startUpQuitProcessorSeconds))
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (quitSignal == 0)
            continue;
        // The shutdown moves on only after its step is done: held a moment longer, it is writing
        // the log's closing line, after the player's files (or the quit's line, before them).
        std::unique_lock<std::timed_mutex> deciding(closingLineMutex(), std::defer_lock);
        const bool decided = deciding.try_lock_for(std::chrono::milliseconds(100));
        const int stage = endStage.load();
        if (!decided && stage >= stagePlayerFilesWritten)
            ::_exit(0);
        if (stage == stageStartingUp || (stage == stageRunning && decided && mainThreadDrawing))
            endInOrder(number, stage == stageStartingUp);
        if (stage == stageRunning)
            endNow(number);
        endAfterPlayerFiles(number, stage != stagePlayerFilesWritten);
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
    for (int descriptor : {lock.folder, lock.file})
        if (descriptor >= 0)
            ::close(descriptor);
    lock = HeldLock{};
}

enum class LockTry { Taken, Busy, Unsupported };

// An exclusive lock on the open file, without waiting: flock, else (a file system without it)
// a record lock of the whole file, which needs a descriptor open for writing. The lock belongs
// to the open file, as flock's does, so that two opens in one process are told apart too.
LockTry lockExclusively(int descriptor, bool writable, std::string& failure) {
    if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0)
        return LockTry::Taken;
    if (errno == EWOULDBLOCK)
        return LockTry::Busy;
    failure = std::string("flock: ") + std::strerror(errno);
    if (!writable)
        return LockTry::Unsupported;
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    if (::fcntl(descriptor, F_OFD_SETLK, &whole) == 0)
        return LockTry::Taken;
    if (errno == EAGAIN || errno == EACCES)
        return LockTry::Busy;
    failure += std::string(", record lock: ") + std::strerror(errno);
    return LockTry::Unsupported;
}

// What taking a folder's lock gave.
enum class FolderLock { Taken, HeldByAnother, NotLockable };

// Locks the folder itself and the lock file in it. The lock file alone would not do: one that
// cannot be opened (a folder of that name, another user's file, a dangling link, no free
// inode) would leave two games unaware of each other. `failure` says why nothing could be
// locked.
FolderLock acquire(HeldLock& lock, const std::string& folder, const std::string& fileName, std::string& failure) {
    struct stat identity {};
    const bool known = ::stat(folder.c_str(), &identity) == 0;
    if (lock.held() && known && identity.st_dev == lock.device && identity.st_ino == lock.inode)
        return FolderLock::Taken; // a restart in the same folder
    HeldLock taken;
    taken.device = known ? identity.st_dev : 0;
    taken.inode = known ? identity.st_ino : 0;
    bool busy = false;
    const auto take = [&](int descriptor, bool writable, int& into, const char* what) {
        if (descriptor < 0) {
            failure += (failure.empty() ? "" : "; ") + std::string(what) + ": " + std::strerror(errno);
            return;
        }
        std::string why;
        const LockTry result = lockExclusively(descriptor, writable, why);
        if (result == LockTry::Taken) {
            into = descriptor;
            return;
        }
        busy = busy || result == LockTry::Busy;
        if (result == LockTry::Unsupported)
            failure += (failure.empty() ? "" : "; ") + std::string(what) + ": " + why;
        ::close(descriptor);
    };
    take(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC), false, taken.folder, "the folder");
    const std::string filePath = folder + "/" + fileName;
    int file = ::open(filePath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    const bool writable = file >= 0;
    if (file < 0 && errno != ENOENT && errno != EISDIR)
        file = ::open(filePath.c_str(), O_RDONLY | O_CLOEXEC); // another user's lock file still locks
    take(file, writable, taken.file, fileName.c_str());
    if (busy) {
        release(taken);
        return FolderLock::HeldByAnother;
    }
    if (!taken.held())
        return FolderLock::NotLockable;
    release(lock);
    lock = taken;
    return FolderLock::Taken;
}

// A folder that cannot be locked at all: said once a run, and the game goes on.
bool acquireOrSay(HeldLock& lock, const std::string& folder, const std::string& fileName, const char* kind,
                  bool& said) {
    std::string failure;
    const FolderLock result = acquire(lock, folder, fileName, failure);
    if (result == FolderLock::NotLockable && !std::exchange(said, true))
        logMessage(std::string(logWarningPrefix) + "The " + kind + " \"" + folder + "\" cannot be locked (" + failure +
                   "): another game using it would not be noticed.");
    if (result == FolderLock::NotLockable)
        release(lock);
    return result != FolderLock::HeldByAnother;
}

bool workingFolderUnlockableSaid = false;
bool saveFolderUnlockableSaid = false;

} // namespace

bool acquireInstanceLock(const std::string& path) {
    const std::filesystem::path absolute = absolutePathOf(path);
    return acquireOrSay(workingFolderLock, absolute.parent_path().string(), absolute.filename().string(),
                        "working folder", workingFolderUnlockableSaid);
}

void releaseInstanceLock() {
    release(workingFolderLock);
}

bool acquireSaveFolderLock(const std::string& folder) {
    // A save folder that is the working folder, by whatever path, is held by the working
    // folder's lock: a second lock of this process on it would take it for another game's.
    struct stat identity {};
    if (workingFolderLock.held() && ::stat(folder.c_str(), &identity) == 0 &&
        identity.st_dev == workingFolderLock.device && identity.st_ino == workingFolderLock.inode) {
        release(saveFolderLock);
        return true;
    }
    return acquireOrSay(saveFolderLock, absolutePathOf(folder), instanceLockFileName, "save folder",
                        saveFolderUnlockableSaid);
}

void releaseSaveFolderLock() {
    release(saveFolderLock);
}

void installQuitSignalHandlers(int grace) {
    graceMilliseconds = grace;
    installQuitSignalHandlers();
}

void installQuitSignalHandlers() {
    endStage = stageRunning;
    startWatch();
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : quitSignals)
        sigaddset(&action.sa_mask, signal);
    // The handler stays for every signal after the first: a second one ending the process
    // by the default action would lose the player's files the orderly end is writing.
    action.sa_flags = 0;
    sigset_t held;
    sigemptyset(&held);
    for (int signal : quitSignals) {
        ::sigaction(signal, &action, nullptr);
        sigaddset(&held, signal);
    }
    // A write to a closed pipe answers EPIPE instead of ending the game.
    action.sa_handler = SIG_IGN;
    action.sa_flags = 0;
    ::sigaction(SIGPIPE, &action, nullptr);
    // The launcher holds them back from the process's first instruction: one that came while
    // the game was being loaded reaches the handler now.
    ::pthread_sigmask(SIG_UNBLOCK, &held, nullptr);
}

bool quitSignalReceived() {
    return quitSignal != 0;
}

int quitSignalNumber() {
    return quitSignal;
}

void clearQuitSignal() {
    quitSignal = 0;
    quitLineLogged = false;
}

void logQuitSignalReceived() {
    std::lock_guard<std::timed_mutex> lock(closingLineMutex());
    if (!quitLineLogged.exchange(true))
        logMessage("Quit signal received.");
}

bool gameQuitting() {
    return quitSignal != 0 || QuitRequested;
}

void setForcedEndLogFile(const std::string& path) {
    ForcedEndCopies& copies = forcedEndCopies();
    const std::string absolute = path.empty() ? path : absolutePathOf(path);
    std::lock_guard<std::timed_mutex> lock(copies.mutex);
    copies.logPath = absolute;
    logFileKnown = !absolute.empty();
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

void markPlayerFilesWritten() {
    std::lock_guard<std::timed_mutex> lock(closingLineMutex());
    if (endStage < stagePlayerFilesWritten)
        endStage = stagePlayerFilesWritten;
}

void writeClosingLine(const std::function<void()>& write) {
    std::lock_guard<std::timed_mutex> lock(closingLineMutex());
    if (write)
        write();
    endStage = stageClosingLineWritten;
}

void markOrderlyEndDone() {
    endStage = stageDone;
}

void markStartingUp() {
    std::lock_guard<std::timed_mutex> lock(closingLineMutex());
    endStage = stageStartingUp;
}

void markStartUpDone() {
    std::lock_guard<std::timed_mutex> lock(closingLineMutex());
    if (endStage == stageStartingUp)
        endStage = stageRunning;
}

bool markDrawing(bool drawing) {
    if (drawing)
        return mainThreadDrawing.exchange(true);
    // The watch decides how to end under this lock: once it is let go, the main thread's next
    // step is no drawing.
    std::lock_guard<std::timed_mutex> lock(closingLineMutex());
    return mainThreadDrawing.exchange(false);
}

void setQuitEndsAtClosingLine(bool asked) {
    quitEndsAtClosingLineAsked = asked;
}

bool quitEndsAtClosingLine() {
    return quitEndsAtClosingLineAsked && quitSignal != 0;
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
