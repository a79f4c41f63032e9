#include "core/ProcessGuards.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <unistd.h>

namespace {

int lockDescriptor = -1;
std::string lockedPath;

volatile std::sig_atomic_t quitSignal = 0;

void onQuitSignal(int) {
    quitSignal = 1;
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

void installQuitSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    // The first signal asks for the orderly end; the handler then steps aside.
    action.sa_flags = SA_RESETHAND;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

bool quitSignalReceived() {
    return quitSignal != 0;
}

void clearQuitSignal() {
    quitSignal = 0;
}
