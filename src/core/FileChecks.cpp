#include "core/FileChecks.h"

#include "core/FontGate.h"
#include "core/LoadBudget.h"
#include "core/Log.h"
#include "core/RepeatedLog.h"

#include <IFileArchive.h>
#include <IFileList.h>
#include <IFileSystem.h>
#include <IReadFile.h>

#include <filesystem>
#include <mutex>
#include <set>
#include <sys/stat.h>

using namespace irr;

namespace {

// Marks the guard among the file system's archives (archives carry no other name).
constexpr const char* guardMark = "paddlestone file guard";

std::mutex refusalMutex;
std::uint64_t refusalRound = 0;
std::set<std::string>& refusedPaths() {
    static std::set<std::string> paths;
    return paths;
}

// One key per file however it is named (the engine asks by absolute paths, the game by
// relative ones).
std::string refusalKey(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

std::mutex confinementMutex;
// Canonical folders, each ending in '/'; empty when reads are not confined.
std::vector<std::string>& confinedFolders() {
    static std::vector<std::string> folders;
    return folders;
}

constexpr const char* confinementReason = "a user level reads only from its archive and the game's content";

// One canonical spelling, links and ".." resolved, of a path that may not exist.
std::string canonicalPath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(std::filesystem::absolute(path, error), error);
    return error ? std::string() : canonical.string();
}

// Logs the refusal of a path once (until forgetFileRefusals).
void logRefusalOnce(const std::string& path, const std::string& reason) {
    {
        std::lock_guard<std::mutex> lock(refusalMutex);
        if (!refusedPaths().insert(refusalKey(path)).second)
            return;
    }
    logMessage(std::string(logErrorPrefix) + "Refused to read \"" + path + "\": " + reason + ".");
}

// A file the guard refused: it reads as empty, so that the engine's readers fail at once.
class RefusedReadFile : public io::IReadFile {
public:
    explicit RefusedReadFile(const io::path& name) : name(name) {}
    s32 read(void*, u32) override { return 0; }
    bool seek(long position, bool relative) override { return !relative && position == 0; }
    long getSize() const override { return 0; }
    long getPos() const override { return 0; }
    const io::path& getFileName() const override { return name; }

private:
    io::path name;
};

// The engine asks its archives first, in order, before it opens a file from the disk: this
// one stands first and answers only for files that must not be opened.
class FileGuardArchive : public io::IFileArchive {
public:
    explicit FileGuardArchive(io::IFileSystem* fileSystem)
        : fileSystem(fileSystem), emptyList(fileSystem->createEmptyFileList("", false, false)) {}
    ~FileGuardArchive() override {
        if (emptyList)
            emptyList->drop();
    }

    io::IReadFile* createAndOpenFile(const io::path& filename) override {
        const std::string path = filename.c_str();
        // A mounted archive that holds the name answers before the disk is asked: its entry is
        // checked, and a file of that name on the disk has no say.
        const EngineFileCheck found = checkEngineFileForReading(fileSystem, path);
        if (found.check == FileCheck::Missing)
            return nullptr;
        if (found.check == FileCheck::Readable) {
            if (!found.inArchive && refuseReadOutsideConfinement(path))
                return new RefusedReadFile(filename);
            // A user level's entries are the level's own bytes; the game's files are not.
            if (!found.inArchive || loadBudget().chargeWhileLoading(LoadBudget::Bytes, found.size, path))
                return nullptr;
            noteFileRefused(path);
            return new RefusedReadFile(filename);
        }
        logRefusalOnce(path, describeFileCheck(found.check));
        return new RefusedReadFile(filename);
    }
    io::IReadFile* createAndOpenFile(u32) override { return nullptr; }
    const io::IFileList* getFileList() const override { return emptyList; }

private:
    io::IFileSystem* fileSystem;
    io::IFileList* emptyList;
};

} // namespace

namespace {

FileCheck checkDiskFile(const std::string& path, std::uint64_t maxBytes, std::uint64_t& size) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0)
        return FileCheck::Missing;
    if (S_ISDIR(info.st_mode))
        return FileCheck::Folder;
    if (!S_ISREG(info.st_mode))
        return FileCheck::NotRegular;
    size = static_cast<std::uint64_t>(info.st_size);
    if (size > maxBytes)
        return FileCheck::TooLarge;
    return FileCheck::Readable;
}

} // namespace

FileCheck checkFileForReading(const std::string& path, std::uint64_t maxBytes) {
    std::uint64_t size = 0;
    return checkDiskFile(path, maxBytes, size);
}

ArchiveEntry findArchiveEntry(io::IFileSystem* fileSystem, const std::string& path) {
    if (!fileSystem || path.empty())
        return {};
    for (u32 i = 0; i < fileSystem->getFileArchiveCount(); ++i) {
        const io::IFileArchive* archive = fileSystem->getFileArchive(i);
        const io::IFileList* list = archive ? archive->getFileList() : nullptr;
        const s32 index = list ? list->findFile(path.c_str()) : -1;
        if (index >= 0)
            return {archive, list->getFileSize(static_cast<u32>(index))};
    }
    return {};
}

EngineFileCheck checkEngineFileForReading(io::IFileSystem* fileSystem, const std::string& path,
                                          std::uint64_t maxBytes) {
    const ArchiveEntry entry = findArchiveEntry(fileSystem, path);
    if (entry.archive)
        return {entry.size > maxBytes ? FileCheck::TooLarge : FileCheck::Readable, true, entry.size};
    EngineFileCheck found;
    found.check = checkDiskFile(path, maxBytes, found.size);
    return found;
}

std::string describeFileCheck(FileCheck check, std::uint64_t maxBytes) {
    switch (check) {
    case FileCheck::Folder:
        return "it is a folder, not a file";
    case FileCheck::NotRegular:
        return "it is a pipe, device or socket, not a file";
    case FileCheck::TooLarge:
        return "it is larger than " + std::to_string(maxBytes / (1024 * 1024)) + " MB";
    case FileCheck::Readable:
    case FileCheck::Missing:
        break;
    }
    return {};
}

bool isReadableFile(const std::string& path, std::uint64_t maxBytes) {
    const FileCheck check = checkFileForReading(path, maxBytes);
    if (check == FileCheck::Readable)
        return true;
    if (check == FileCheck::Missing)
        return false;
    logRefusalOnce(path, describeFileCheck(check, maxBytes));
    return false;
}

bool isReadableEngineFile(io::IFileSystem* fileSystem, const std::string& path, std::uint64_t maxBytes) {
    const FileCheck check = checkEngineFileForReading(fileSystem, path, maxBytes).check;
    if (check == FileCheck::Readable)
        return true;
    if (check != FileCheck::Missing)
        logRefusalOnce(path, describeFileCheck(check, maxBytes));
    return false;
}

void confineReadsToFolders(const std::vector<std::string>& folders) {
    std::vector<std::string> canonical;
    for (const std::string& folder : folders) {
        const std::string path = canonicalPath(folder);
        if (!path.empty())
            canonical.push_back(path.back() == '/' ? path : path + "/");
    }
    std::lock_guard<std::mutex> lock(confinementMutex);
    confinedFolders() = std::move(canonical);
}

bool refuseReadOutsideConfinement(const std::string& path) {
    if (checkFileForReading(path, UINT64_MAX) == FileCheck::Missing || !isOutsideConfinedFolders(path))
        return false;
    logRefusalOnce(path, confinementReason);
    return true;
}

bool isOutsideConfinedFolders(const std::string& path) {
    {
        std::lock_guard<std::mutex> lock(confinementMutex);
        if (confinedFolders().empty())
            return false;
    }
    const std::string canonical = canonicalPath(path);
    std::lock_guard<std::mutex> lock(confinementMutex);
    for (const std::string& folder : confinedFolders())
        if (!canonical.empty() && canonical.compare(0, folder.size(), folder) == 0)
            return false;
    return true;
}

bool wasFileRefused(const std::string& path) {
    std::lock_guard<std::mutex> lock(refusalMutex);
    return refusedPaths().count(refusalKey(path)) != 0;
}

void noteFileRefused(const std::string& path) {
    std::lock_guard<std::mutex> lock(refusalMutex);
    refusedPaths().insert(refusalKey(path));
}

void forgetFileRefusals() {
    {
        std::lock_guard<std::mutex> lock(refusalMutex);
        refusedPaths().clear();
        ++refusalRound;
    }
    forgetFontRefusals();
    // The repeated lines of the level that ends get their counts; the new one starts afresh.
    endRepeatedLogRound();
}

std::uint64_t fileRefusalRound() {
    std::lock_guard<std::mutex> lock(refusalMutex);
    return refusalRound;
}

void installFileGuard(io::IFileSystem* fileSystem) {
    if (!fileSystem)
        return;
    for (u32 i = 0; i < fileSystem->getFileArchiveCount(); ++i)
        if (fileSystem->getFileArchive(i)->Password == guardMark)
            return;
    auto* guard = new FileGuardArchive(fileSystem);
    guard->Password = guardMark;
    // The file system keeps the reference it is given.
    if (!fileSystem->addFileArchive(guard)) {
        guard->drop();
        return;
    }
    const u32 index = fileSystem->getFileArchiveCount() - 1;
    if (index > 0)
        fileSystem->moveFileArchive(index, -static_cast<s32>(index));
}
