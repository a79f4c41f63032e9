#include "platform/Kernel.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <thread>
#include <unistd.h>

namespace platform {

std::int64_t queryCounter() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

std::int64_t counterFrequency() { return 1000000000LL; }

std::string executablePath() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (n <= 0)
        return {};
    return std::string(buffer, static_cast<size_t>(n));
}

std::string currentDirectory() {
    char buffer[PATH_MAX];
    if (!::getcwd(buffer, sizeof(buffer)))
        return {};
    return buffer;
}

bool setCurrentDirectory(const std::string& path) { return ::chdir(path.c_str()) == 0; }

bool createDirectory(const std::string& path) {
    if (::mkdir(path.c_str(), 0755) == 0)
        return true;
    return errno == EEXIST && directoryExists(path);
}

bool directoryExists(const std::string& path) {
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool directoryWritable(const std::string& path) {
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

bool fileExists(const std::string& path) {
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string environmentVariable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string userDataFolder(const std::string& application) {
    // The base folder rules say a relative XDG_DATA_HOME is to be ignored.
    const std::string dataHome = environmentVariable("XDG_DATA_HOME");
    if (!dataHome.empty() && dataHome.front() == '/')
        return dataHome + "/" + application;
    std::string home = environmentVariable("HOME");
    if (home.empty())
        if (const passwd* pw = ::getpwuid(::geteuid()))
            home = pw->pw_dir ? pw->pw_dir : "";
    return home + "/.local/share/" + application;
}

std::string userName() {
    if (const passwd* pw = ::getpwuid(::geteuid()))
        return pw->pw_name;
    return environmentVariable("USER");
}

std::string operatingSystemName() {
    utsname info{};
    if (::uname(&info) != 0)
        return "Linux";
    return std::string(info.sysname) + " " + info.release + " " + info.machine;
}

unsigned processorCount() {
    const unsigned n = std::thread::hardware_concurrency();
    return n ? n : 1;
}

std::uint64_t physicalMemoryBytes() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0)
        return 0;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

} // namespace platform
