#include "core/SafeWrite.h"

#include "core/Log.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <dirent.h>
#include <unistd.h>
#include <vector>

namespace {

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// A rename is on the disk only once the folder holding the name is synced. Answers 0 or
// the error.
int syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

} // namespace

SafeFileWrite::SafeFileWrite(const std::string& path, std::string* failure)
    : targetPath(path), failureText(failure) {
    std::string pattern = path + ".tmp.XXXXXX";
    descriptor = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (descriptor < 0) {
        fail("temporary file", errno);
        return;
    }
    temporaryPath = pattern;
    // The new file keeps the old one's permissions; a new file is readable by everyone.
    struct stat old {};
    const mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    ::fchmod(descriptor, mode);
}

SafeFileWrite::~SafeFileWrite() {
    discard();
}

void SafeFileWrite::fail(const char* what, int error) {
    if (failureText)
        *failureText = std::string(what) + ": " + std::strerror(error);
    else
        logMessage(std::string(logErrorPrefix) + "Could not write \"" + targetPath + "\" (" + what +
                   "): " + std::strerror(error));
}

bool SafeFileWrite::write(const void* data, std::size_t size) {
    if (descriptor < 0 || failed)
        return false;
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(descriptor, bytes, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            fail("write", errno);
            failed = true;
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool SafeFileWrite::commit() {
    if (descriptor < 0 || failed) {
        discard();
        return false;
    }
    // Another writer may have written through its own handle: syncing this descriptor
    // syncs the file's data all the same.
    if (::fsync(descriptor) != 0) {
        fail("sync", errno);
        discard();
        return false;
    }
    if (::close(descriptor) != 0) {
        descriptor = -1;
        fail("close", errno);
        discard();
        return false;
    }
    descriptor = -1;
    if (::rename(temporaryPath.c_str(), targetPath.c_str()) != 0) {
        fail("rename", errno);
        discard();
        return false;
    }
    temporaryPath.clear();
    const int error = syncFolder(folderOf(targetPath));
    if (error && !failureText)
        logMessage(std::string(logWarningPrefix) + "Could not sync the folder of \"" + targetPath +
                   "\": " + std::strerror(error));
    return true;
}

void SafeFileWrite::discard() {
    if (descriptor >= 0) {
        ::close(descriptor);
        descriptor = -1;
    }
    if (!temporaryPath.empty()) {
        ::unlink(temporaryPath.c_str());
        temporaryPath.clear();
    }
}

bool writeFileSafely(const std::string& path, std::string_view bytes, std::string* failure) {
    SafeFileWrite file(path, failure);
    if (!file.isOpen())
        return false;
    if (!file.write(bytes.data(), bytes.size()))
        return false;
    return file.commit();
}

std::string keptAsidePath(const std::string& path) {
    return path + keptAsideSuffix;
}

bool keepFileAside(const std::string& path) {
    // The copies kept before move one number up (the oldest goes), so that the new one
    // takes the plain name without losing them.
    const std::string newest = keptAsidePath(path);
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return false;
    for (int number = keptAsideCopies - 1; number >= 1; --number) {
        const std::string from = number == 1 ? newest : newest + "." + std::to_string(number - 1);
        // Only the copies kept before move; anything else under the name stays where it is.
        if (::lstat(from.c_str(), &info) == 0 && S_ISREG(info.st_mode))
            ::rename(from.c_str(), (newest + "." + std::to_string(number)).c_str());
    }
    return ::rename(path.c_str(), newest.c_str()) == 0;
}

int removeLeftoverTemporaryFiles(const std::string& folder, int minimumAgeSeconds) {
    DIR* directory = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!directory)
        return 0;
    // mkostemp's six characters after ".tmp.".
    constexpr std::size_t suffixLength = 4 + 1 + 6;
    std::vector<std::string> leftovers;
    while (const dirent* entry = ::readdir(directory)) {
        const std::string name = entry->d_name;
        if (name.size() <= suffixLength || name.compare(name.size() - suffixLength, 5, ".tmp.") != 0)
            continue;
        bool generated = true;
        for (std::size_t i = name.size() - 6; i < name.size(); ++i)
            generated = generated && std::isalnum(static_cast<unsigned char>(name[i]));
        if (generated)
            leftovers.push_back(name);
    }
    ::closedir(directory);
    int removed = 0;
    for (const std::string& name : leftovers) {
        const std::string path = (folder.empty() ? std::string(".") : folder) + "/" + name;
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_mtime > std::time(nullptr) - minimumAgeSeconds)
            continue;
        if (::unlink(path.c_str()) == 0) {
            logMessage("Removed \"" + path + "\", left by a write that did not finish.");
            ++removed;
        }
    }
    return removed;
}
