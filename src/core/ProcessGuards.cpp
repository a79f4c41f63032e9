#include "core/ProcessGuards.h"

#include "core/Globals.h"
#include "core/Log.h"
#include "core/LogManager.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace {

int lockDescriptor = -1;
std::string lockedPath;

volatile std::sig_atomic_t quitSignal = 0;
std::atomic<int> graceMilliseconds{quitGraceMilliseconds};
std::atomic<bool> orderlyEndDone{false};
std::atomic<void (*)()> deadlineAction{nullptr};
// The watch thread waits on this pipe: the handler writes the signal's number to it.
int watchPipe[2] = {-1, -1};
pid_t watchProcess = 0; // the process whose watch thread exists (a forked child needs its own)

constexpr int quitSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void onQuitSignal(int signal) {
    quitSignal = signal;
    if (watchPipe[1] >= 0) {
        const unsigned char number = static_cast<unsigned char>(signal);
        [[maybe_unused]] const ssize_t written = ::write(watchPipe[1], &number, 1);
    }
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
        while (!orderlyEndDone.load() && quitSignal != 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (orderlyEndDone.load() || quitSignal == 0)
            continue;
        if (void (*action)() = deadlineAction.load())
            action();
        const std::string line = std::string(logErrorPrefix) + "The game did not end within " +
                                 std::to_string(graceMilliseconds.load()) + " ms of signal " +
                                 std::to_string(number) + "; ending it now.";
        writeLogLineToTerminal(line.c_str());
        if (logManager)
            logManager->log(line.c_str());
        ::_exit(128 + number);
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

bool acquireInstanceLock(const std::string& path) {
    const std::string absolute = absolutePathOf(path);
    if (lockDescriptor >= 0 && absolute == lockedPath)
        return true;
    const int descriptor = ::open(absolute.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (descriptor < 0)
        return true; // a folder we cannot write to: nothing of ours can collide there
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        ::close(descriptor);
        return false;
    }
    releaseInstanceLock();
    lockDescriptor = descriptor;
    lockedPath = absolute;
    return true;
}

void releaseInstanceLock() {
    if (lockDescriptor >= 0)
        ::close(lockDescriptor);
    lockDescriptor = -1;
    lockedPath.clear();
}

void installQuitSignalHandlers(int grace) {
    graceMilliseconds = grace;
    orderlyEndDone = false;
    startWatch();
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    // The first signal asks for the orderly end; the handler then steps aside.
    action.sa_flags = SA_RESETHAND;
    for (int signal : quitSignals)
        ::sigaction(signal, &action, nullptr);
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

void setQuitDeadlineAction(void (*action)()) {
    deadlineAction = action;
}

void markOrderlyEndDone() {
    orderlyEndDone = true;
}

void removeQuitSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int signal : quitSignals)
        ::sigaction(signal, &action, nullptr);
    orderlyEndDone = true;
    deadlineAction = nullptr;
    graceMilliseconds = quitGraceMilliseconds;
}
