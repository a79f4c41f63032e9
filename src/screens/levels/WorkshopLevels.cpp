#include "screens/levels/WorkshopLevels.h"

#include "core/FileChecks.h"
#include "core/FileUtils.h"
#include "core/Globals.h"
#include "core/Log.h"
#include "core/ReadLimits.h"
#include "core/TextUtils.h"
#include "core/Utf8.h"
#include "core/XmlFile.h"
#include "gui/GUIOptionsList.h"
#include "level/LevelManager.h"

#include <IFileArchive.h>
#include <IFileList.h>
#include <IFileSystem.h>
#include <IReadFile.h>
#include <IXMLReader.h>
#include <IrrlichtDevice.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <system_error>

using namespace irr;

std::vector<WorkshopLevelRecord> WorkshopLevels;
bool WorkshopLevelsSorted = true;
u32 WorkshopFolderEntryCount = 0;

namespace {

namespace fs = std::filesystem;

// Archives beyond this are not levels; entries beyond it are not content.
constexpr std::uint64_t maxWorkshopArchiveBytes = 1024ull * 1024 * 1024;
constexpr std::uint32_t zipLocalSignature = 0x04034b50;
constexpr std::uint32_t zipCentralSignature = 0x02014b50;
constexpr std::uint32_t zipEndSignature = 0x06054b50;

std::uint32_t zipU16(const unsigned char* p) { return p[0] | (p[1] << 8); }
std::uint32_t zipU32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool readAt(std::ifstream& in, std::uint64_t offset, unsigned char* out, std::size_t count) {
    in.clear();
    in.seekg(static_cast<std::streamoff>(offset));
    return static_cast<bool>(in.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(count)));
}

// An entry name that stays inside its archive: relative, no drive, no ".." step.
bool isSafeEntryName(const std::string& name) {
    if (name.empty() || name[0] == '/' || name[0] == '\\' || (name.size() > 1 && name[1] == ':'))
        return false;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("/\\", start);
        if (end == std::string::npos)
            end = name.size();
        if (name.compare(start, end - start, "..") == 0)
            return false;
        start = end + 1;
    }
    return true;
}

// Why the archive is refused; empty when it is sound.
std::string findArchiveFault(const std::string& path) {
    const FileCheck check = checkFileForReading(path, maxWorkshopArchiveBytes);
    if (check == FileCheck::Missing)
        return "it cannot be read";
    if (check != FileCheck::Readable)
        return describeFileCheck(check, maxWorkshopArchiveBytes);
    std::ifstream in(path, std::ios::binary);
    std::error_code error;
    const std::uint64_t size = fs::file_size(path, error);
    if (!in || error)
        return "it cannot be read";

    // The engine reads the entries' own headers one after the other from the start.
    std::uint64_t pos = 0;
    std::uint32_t entries = 0;
    std::array<unsigned char, 30> header{};
    while (pos + header.size() <= size && readAt(in, pos, header.data(), header.size()) &&
           zipU32(header.data()) == zipLocalSignature) {
        const std::uint32_t flags = zipU16(&header[6]);
        const std::uint32_t method = zipU16(&header[8]);
        const std::uint64_t packed = zipU32(&header[18]);
        const std::uint64_t unpacked = zipU32(&header[22]);
        const std::uint32_t nameLength = zipU16(&header[26]);
        const std::uint32_t extraLength = zipU16(&header[28]);
        if (!countFits(nameLength, 1, size - pos - 30))
            return "an entry's header is cut short";
        std::string name(nameLength, '\0');
        if (nameLength && !readAt(in, pos + 30, reinterpret_cast<unsigned char*>(name.data()), nameLength))
            return "an entry's header is cut short";
        if (!isSafeEntryName(name))
            return "the entry \"" + name + "\" points outside the archive";
        if (flags & 0x1)
            return "the entry \"" + name + "\" is encrypted";
        if (flags & 0x8)
            return "the entry \"" + name + "\" keeps its sizes after its data";
        if (method != 0 && method != 8)
            return "the entry \"" + name + "\" is packed by an unknown method";
        if (unpacked > maxContentFileBytes)
            return "the entry \"" + name + "\" unpacks to more than 256 MB";
        if (method == 0 && packed != unpacked)
            return "the entry \"" + name + "\" has two sizes";
        const std::uint64_t next = pos + 30 + nameLength + extraLength + packed;
        if (next > size)
            return "the entry \"" + name + "\" runs past the end of the file";
        pos = next;
        ++entries;
    }
    // The entries end where the archive's directory begins.
    std::array<unsigned char, 4> signature{};
    if (pos + 4 > size || !readAt(in, pos, signature.data(), 4) ||
        (zipU32(signature.data()) != zipCentralSignature && zipU32(signature.data()) != zipEndSignature))
        return entries ? "its entries end in damaged bytes" : "it is not a zip archive";

    // The directory's end record: at most 64 KB of comment after it.
    const std::uint64_t tail = std::min<std::uint64_t>(size, 65535 + 22);
    std::vector<unsigned char> last(static_cast<std::size_t>(tail));
    if (!readAt(in, size - tail, last.data(), last.size()))
        return "it cannot be read";
    for (std::size_t i = last.size() >= 22 ? last.size() - 22 + 1 : 0; i-- > 0;) {
        if (zipU32(&last[i]) != zipEndSignature)
            continue;
        if (zipU16(&last[i + 10]) != entries)
            return "its directory does not match its entries";
        return {};
    }
    return "its directory is missing";
}

core::stringw workshopSettingValue(const wchar_t* text) {
    core::stringw value;
    for (const wchar_t* c = text; c && *c; ++c) {
        const wchar_t narrow = static_cast<wchar_t>(static_cast<u32>(*c) & 0xFF);
        value.append(narrow == L'\\' ? L'/' : narrow);
    }
    return value;
}

// The record of the archive's settings file; false when the file cannot be read.
bool readWorkshopSettings(io::IFileSystem* fileSystem, io::IFileArchive* archive, s32 index,
                          const std::string& fileName, WorkshopLevelRecord& record) {
    io::IReadFile* raw = archive->createAndOpenFile(static_cast<u32>(index));
    io::IReadFile* file = raw ? createGuardedReadFile(fileSystem, raw, 1024 * 1024) : nullptr;
    if (raw)
        raw->drop();
    io::IXMLReader* reader = file ? fileSystem->createXMLReader(file) : nullptr;
    if (file)
        file->drop();
    if (!reader)
        return false;
    record = WorkshopLevelRecord();
    const core::stringw zipName(fromUtf8(fileName.c_str()).c_str());
    record.zipPath = core::stringw(fromUtf8(workshopFolder().c_str()).c_str()) + zipName;
    struct Key {
        const wchar_t* name;
        core::stringw WorkshopLevelRecord::*field;
    };
    static const Key keys[] = {{L"WorkingDirectory", &WorkshopLevelRecord::workingDirectory},
                               {L"LevelFilePath", &WorkshopLevelRecord::levelFilePath},
                               {L"ImageFilePath", &WorkshopLevelRecord::imageFilePath},
                               {L"Title", &WorkshopLevelRecord::title},
                               {L"Description", &WorkshopLevelRecord::description}};
    while (reader->read()) {
        if (reader->getNodeType() != io::EXN_ELEMENT)
            continue;
        const core::stringw name = reader->getNodeName();
        if (name == L"ZipFilePath") {
            record.zipName = zipName;
            continue;
        }
        for (const Key& key : keys) {
            if (name != key.name)
                continue;
            if (reader->read() && reader->getNodeType() == io::EXN_TEXT)
                record.*key.field = workshopSettingValue(reader->getNodeData());
            break;
        }
    }
    reader->drop();
    return true;
}

io::IFileSystem* workshopFileSystem() { return gameDevice ? gameDevice->getFileSystem() : nullptr; }

io::IFileArchive* mountWorkshopArchive(io::IFileSystem* fileSystem, const core::stringw& path) {
    io::IFileArchive* archive = nullptr;
    if (!fileSystem->addFileArchive(io::path(toUtf8(path.c_str()).c_str()), true, true, io::EFAT_ZIP, "", &archive))
        return nullptr;
    return archive;
}

void unmountRecord(WorkshopLevelRecord& record) {
    if (record.archive)
        if (io::IFileSystem* fileSystem = workshopFileSystem())
            fileSystem->removeFileArchive(record.archive);
    record.archive = nullptr;
}

bool hasZipExtension(const std::string& name) {
    return name.size() > 4 && equalsIgnoringAsciiCase(std::string_view(name).substr(name.size() - 4), ".zip");
}

// The folder's entries in name order; false when it cannot be listed.
bool listWorkshopFolder(std::vector<std::string>& names) {
    std::error_code error;
    fs::directory_iterator it(workshopFolder(), error);
    if (error)
        return false;
    for (const fs::directory_entry& entry : it)
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return true;
}

} // namespace

bool WorkshopLevelRecord::operator<(const WorkshopLevelRecord& other) const {
    if (title.empty())
        return false;
    const auto lower = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c; };
    const wchar_t mine = lower(title[0]);
    const wchar_t theirs = other.title.empty() ? 0 : lower(other.title[0]);
    return mine < theirs;
}

std::string workshopFolder() { return saveFolderPath() + "/Workshop/"; }

bool checkWorkshopArchive(const std::string& path) {
    const std::string fault = findArchiveFault(path);
    if (fault.empty())
        return true;
    logMessage("ERROR: Refused the user level archive \"" + path + "\": " + fault + ".");
    return false;
}

WorkshopLevelRecord defaultWorkshopRecord(const std::string& fileName) {
    WorkshopLevelRecord record;
    const core::stringw name(fromUtf8(fileName.c_str()).c_str());
    const std::string::size_type dot = fileName.rfind('.');
    const core::stringw stem(fromUtf8(fileName.substr(0, dot).c_str()).c_str());
    record.zipPath = core::stringw(fromUtf8(workshopFolder().c_str()).c_str()) + name;
    record.workingDirectory = core::stringw(workshopVirtualFolder) + stem + L"/";
    record.levelFilePath = record.workingDirectory + stem + L"_Main.irr";
    record.imageFilePath = record.workingDirectory + L"WorkshopPreview.jpg";
    record.title = stem;
    return record;
}

void clearWorkshopLevels() {
    WorkshopLevels.clear();
    WorkshopLevelsSorted = true;
}

void appendWorkshopLevel(const WorkshopLevelRecord& record) {
    WorkshopLevels.push_back(record);
    WorkshopLevelsSorted = false;
}

void sortWorkshopLevels() {
    std::stable_sort(WorkshopLevels.begin(), WorkshopLevels.end());
    WorkshopLevelsSorted = true;
}

void loadWorkshopLevels() {
    io::IFileSystem* fileSystem = workshopFileSystem();
    if (!fileSystem)
        return;
    unmountWorkshopArchives();
    clearWorkshopLevels();
    // The folder is made for the player to fill.
    createDirectoryPath(workshopFolder());
    std::vector<std::string> names;
    if (!listWorkshopFolder(names))
        return;
    WorkshopFolderEntryCount = static_cast<u32>(names.size());
    for (const std::string& name : names) {
        if (!hasZipExtension(name) || !checkWorkshopArchive(workshopFolder() + name))
            continue;
        WorkshopLevelRecord record = defaultWorkshopRecord(name);
        io::IFileArchive* archive = mountWorkshopArchive(fileSystem, record.zipPath);
        if (archive) {
            const s32 index = archive->getFileList()->findFile(workshopSettingsFile);
            if (index >= 0 && !readWorkshopSettings(fileSystem, archive, index, name, record)) {
                fileSystem->removeFileArchive(archive);
                continue;
            }
            fileSystem->removeFileArchive(archive);
        }
        appendWorkshopLevel(record);
    }
    for (WorkshopLevelRecord& record : WorkshopLevels)
        record.archive = mountWorkshopArchive(fileSystem, record.zipPath);
}

core::stringw getWorkshopLevelTitle(const core::stringw& levelPath) {
    for (const WorkshopLevelRecord& record : WorkshopLevels)
        if (record.levelFilePath.equals_ignore_case(levelPath))
            return record.title;
    return {};
}

void maintainWorkshopZip(const core::stringw& levelPath) {
    bool userLevel = false;
    for (WorkshopLevelRecord& record : WorkshopLevels) {
        if (!record.levelFilePath.equals_ignore_case(levelPath)) {
            unmountRecord(record);
            continue;
        }
        logMessagePair(L"Maintaining zip archive for level: ", levelPath.c_str());
        userLevel = record.archive != nullptr;
    }
    // A user level reads from its archive and the game's content.
    if (userLevel)
        confineReadsToFolders({"Content"});
    else
        confineReadsToFolders({});
}

void unmountWorkshopArchives() {
    for (WorkshopLevelRecord& record : WorkshopLevels)
        unmountRecord(record);
    confineReadsToFolders({});
}

void rescanWorkshopFolder(GUIOptionsList* screen) {
    if (!levelManager || !screen)
        return;
    const LoadingOverlay& overlay = levelManager->loadingOverlay;
    if (overlay.mode == LoadingOverlay::FadeToBlack && std::fabs(overlay.fadeValue - 1.0f) <= 1e-6f)
        return;
    std::vector<std::string> names;
    if (!listWorkshopFolder(names) || names.size() == WorkshopFolderEntryCount)
        return;
    screen->onLanguageChanged();
}

bool deleteWorkshopArchive(WorkshopLevelRecord& record) {
    unmountRecord(record);
    const std::string path = toUtf8(record.zipPath.c_str());
    std::error_code error;
    if (!fs::remove(path, error) || error) {
        logMessagef("Could not remove file %s.", path.c_str());
        return false;
    }
    return true;
}
