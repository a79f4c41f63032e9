#include "level/SaveManager.h"

#include "core/FileUtils.h"
#include "core/Globals.h"
#include "core/Log.h"
#include "core/ProcessGuards.h"
#include "core/RepeatedLog.h"
#include "core/FileChecks.h"
#include "core/SafeWrite.h"
#include "core/XmlWriter.h"
#include "core/TextUtils.h"
#include "core/Utf8.h"
#include "core/XmlFile.h"
#include "level/LevelLimits.h"
#include "level/LevelRunRecord.h"

#include <irrlicht.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>
#include <utility>

using namespace irr;

namespace {

constexpr const wchar_t* rootElement = L"PaddlestoneSave";
// A save is a few kilobytes; anything far larger is not one.
constexpr std::size_t maximumFileSize = SaveManager::maximumSaveFileSize;

// Keys of the story and free-play groups.
constexpr const char* keyAutoSaveExists = "AutoSaveExists";
constexpr const char* keyAutoSavePath = "AutoSavePath";
constexpr const char* keyAutoSaveCheckpoint = "AutoSaveCheckpoint";
constexpr const char* keyGameBeaten = "GameBeaten";
constexpr const char* keyTieEquipped = "TieEquipped";
constexpr const char* keyAllowStoryTime = "AllowStoryTime";
constexpr const char* keyStoryTime = "StoryTime";
// Keys of the statistics group. The best story time lives here so that starting a new
// story (which empties the story group) keeps it.
constexpr const char* keyBestStoryTime = "BestStoryTime";
constexpr const char* keyLevelsFinished = "LevelsFinished";
constexpr const char* keyGamesFinished = "GamesFinished";
constexpr const char* keyLosses = "Losses";
constexpr const char* keyPlayTime = "PlayTime";

constexpr const char* groupNames[SaveManager::GroupCount] = {
    "Save", "FreeplaySave", "Ties", "Levels", "LevelLength", "Statistics"};

// "YYYY-MM-DD_HH-MM-SS"
constexpr std::size_t backupDateLength = 19;

// A file on the disk as the system knows it: two spellings of a path name the same file when
// they reach the same device and inode, through symbolic links, "." and "..". Letter case is
// part of the name: "A.irr" and "a.irr" are two files here.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileIdentity& other) const { return device == other.device && inode == other.inode; }
};

struct FileIdentityHash {
    std::size_t operator()(const FileIdentity& id) const {
        return std::hash<unsigned long long>()(static_cast<unsigned long long>(id.inode) * 31u +
                                               static_cast<unsigned long long>(id.device));
    }
};

std::optional<FileIdentity> identityOf(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return FileIdentity{info.st_dev, info.st_ino};
}

// The name a level is kept under in the save, its best time and its autosave alike: one name
// per level however it was started. A level in the game's folder is named from there
// ("Content/Levels/A.irr", as the levels name each other), also when it was started by its
// absolute path (as the command line's is) or through a link to its folder; a level elsewhere
// by its absolute path, its real one when the file exists.
class LevelNames {
public:
    LevelNames() {
        std::error_code error;
        folder = std::filesystem::current_path(error);
        if (error)
            folder.clear();
    }

    // By the letters: "." and ".." taken out, from the game's folder when inside it.
    std::string lexical(const std::string& path) const {
        if (path.empty() || folder.empty())
            return path;
        const std::filesystem::path given(path);
        const std::filesystem::path absolute = (given.is_absolute() ? given : folder / given).lexically_normal();
        return fromFolder(absolute);
    }

    // The one name: by the letters, unless the file exists and that name reaches another file or
    // lies outside the game's folder; then the file's real path.
    std::string of(const std::string& path, const std::optional<FileIdentity>& file) const {
        const std::string name = lexical(path);
        if (!file || (!name.empty() && name.front() != '/' && identityOf(name) == file))
            return name;
        std::error_code error;
        const std::filesystem::path real = std::filesystem::canonical(path, error);
        return error ? name : fromFolder(real);
    }

private:
    std::string fromFolder(const std::filesystem::path& absolute) const {
        const std::filesystem::path inFolder = absolute.lexically_relative(folder);
        if (inFolder.empty() || *inFolder.begin() == "..")
            return absolute.generic_string();
        return inFolder.generic_string();
    }

    std::filesystem::path folder;
};

// Only a finite time above 0 is a best time; anything else (0, negative, NaN, infinite) is none.
bool isBestTime(f32 seconds) { return std::isfinite(seconds) && seconds > 0.0f; }

// Of two best times of one level, the better: the smaller time.
f32 betterBestTime(f32 a, f32 b) { return isBestTime(a) && (!isBestTime(b) || a <= b) ? a : b; }

// A float as the save writes it: the engine's text where it reads back as the same number (the
// files look as they always did), else as many digits as it takes ("1e-30", not "0.000000").
std::wstring floatText(f32 value) {
    const core::stringw engine(value);
    if (std::wcstof(engine.c_str(), nullptr) == value)
        return engine.c_str();
    char exact[32];
    std::snprintf(exact, sizeof(exact), "%.9g", static_cast<double>(value));
    return fromUtf8(exact);
}

constexpr const wchar_t* sequenceAttribute = L"Sequence";
// The root element of a save lies in its first bytes; a file whose head holds none carries no
// sequence.
constexpr std::size_t sequenceHeadBytes = 4096;

// The write's sequence number a save file carries on its root element; none when it has none
// (a save of an older game) or it cannot be read. Only the file's head is read.
std::optional<u64> readSequence(io::IFileSystem* fileSystem, const std::string& path) {
    if (!fileSystem || checkFileForReading(path, maximumFileSize) != FileCheck::Readable)
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    std::vector<char> head(sequenceHeadBytes);
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    if (head.empty())
        return std::nullopt;
    io::IReadFile* memory = fileSystem->createMemoryReadFile(head.data(), static_cast<s32>(head.size()), path.c_str(), false);
    // A head ends inside a tag as a cut file does: the guarded copy closes it.
    io::IReadFile* guarded = memory ? createGuardedReadFile(fileSystem, memory, sequenceHeadBytes) : nullptr;
    if (memory)
        memory->drop();
    io::IXMLReader* reader = guarded ? fileSystem->createXMLReader(guarded) : nullptr;
    if (guarded)
        guarded->drop();
    if (!reader)
        return std::nullopt;
    std::optional<u64> sequence;
    while (reader->read()) {
        if (reader->getNodeType() != io::EXN_ELEMENT)
            continue;
        const wchar_t* text = std::wcscmp(reader->getNodeName(), rootElement) == 0
                                  ? reader->getAttributeValue(sequenceAttribute)
                                  : nullptr;
        if (text && *text >= L'0' && *text <= L'9') {
            wchar_t* end = nullptr;
            errno = 0;
            const unsigned long long value = std::wcstoull(text, &end, 10);
            if (errno == 0 && *end == L'\0')
                sequence = value;
        }
        break;
    }
    reader->drop();
    return sequence;
}

// What reading a save file gave.
struct FileRead {
    bool complete = false; // the root element opened and closed
    std::string problem;
    int skippedEntries = 0;
};

std::string utf8(const wchar_t* text) {
    return text ? toUtf8(text) : std::string();
}

// Adds an entry of a type the save uses, given as the attribute writer writes type and
// value; false for any other type.
bool addTypedEntry(io::IAttributes* group, const char* key, const wchar_t* type, const wchar_t* value) {
    if (std::wcscmp(type, L"int") == 0)
        group->addInt(key, static_cast<s32>(std::wcstol(value, nullptr, 10)));
    else if (std::wcscmp(type, L"float") == 0)
        group->addFloat(key, std::wcstof(value, nullptr));
    else if (std::wcscmp(type, L"bool") == 0)
        group->addBool(key, std::wcscmp(value, L"true") == 0);
    else if (std::wcscmp(type, L"string") == 0)
        group->addString(key, value);
    else
        return false;
    return true;
}

// Best times given twice are all kept: the fold after the read keeps the better of them.
void addEntry(io::IXMLReader* reader, io::IAttributes* group, std::unordered_set<std::string>& seen,
              bool bestTimes, FileRead& result) {
    const std::wstring type = reader->getNodeName();
    const wchar_t* name = reader->getAttributeValue(L"name");
    const wchar_t* value = reader->getAttributeValue(L"value");
    if (!name || !*name || !value) {
        ++result.skippedEntries;
        return;
    }
    const std::string key = utf8(name);
    // A name given twice keeps its first value, but for a best time. The names read are kept in
    // a set: asking the group would search it from the start for every entry.
    if (!seen.insert(key).second && !(bestTimes && type == L"float"))
        return;
    if (!addTypedEntry(group, key.c_str(), type.c_str(), value))
        ++result.skippedEntries;
}

// Reads the entries of the group element the reader stands on, up to its closing element.
// False when the file ends first.
bool readGroup(io::IXMLReader* reader, io::IAttributes* group, std::unordered_set<std::string>& seen,
               bool bestTimes, FileRead& result) {
    int depth = 0; // elements open inside the group
    while (reader->read()) {
        switch (reader->getNodeType()) {
        case io::EXN_ELEMENT:
            if (depth == 0 && group)
                addEntry(reader, group, seen, bestTimes, result);
            if (!reader->isEmptyElement())
                ++depth;
            break;
        case io::EXN_ELEMENT_END:
            if (depth == 0)
                return true;
            --depth;
            break;
        default:
            break;
        }
    }
    return false;
}

// Reads a save file into the groups (emptied first). The groups hold what could be read
// even when the file turns out incomplete; the caller decides what to keep.
FileRead readSaveFile(io::IFileSystem* fileSystem, const std::string& path,
                      io::IAttributes* const* groups) {
    FileRead result;
    for (int g = 0; g < SaveManager::GroupCount; ++g)
        groups[g]->clear();

    // The one check before every read; its reason goes into this reader's own line.
    const FileCheck check = checkFileForReading(path, maximumFileSize);
    if (check == FileCheck::Missing) {
        result.problem = std::string("it cannot be opened: ") + std::strerror(errno);
        return result;
    }
    if (check != FileCheck::Readable) {
        result.problem = describeFileCheck(check, maximumFileSize);
        return result;
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && info.st_size == 0) {
        result.problem = "it is empty";
        return result;
    }
    io::IXMLReader* reader = createGuardedXMLReader(fileSystem, path, maximumFileSize);
    if (!reader) {
        result.problem = "it cannot be opened";
        return result;
    }
    bool inRoot = false;
    bool sawRoot = false;
    bool endedEarly = false;
    std::unordered_set<std::string> namesRead[SaveManager::GroupCount];
    std::unordered_set<std::string> unusedNames;
    while (!result.complete && !endedEarly && reader->read()) {
        const io::EXML_NODE node = reader->getNodeType();
        if (node == io::EXN_ELEMENT) {
            if (!inRoot) {
                if (std::wcscmp(reader->getNodeName(), rootElement) != 0)
                    break; // not a save file
                sawRoot = true;
                inRoot = !reader->isEmptyElement();
                result.complete = !inRoot;
                continue;
            }
            io::IAttributes* group = nullptr;
            std::unordered_set<std::string>* seen = &unusedNames;
            bool bestTimes = false;
            for (int g = 0; g < SaveManager::GroupCount; ++g)
                if (std::wcscmp(reader->getNodeName(), fromUtf8(groupNames[g]).c_str()) == 0) {
                    group = groups[g];
                    seen = &namesRead[g];
                    bestTimes = g == SaveManager::LevelLength;
                }
            if (!reader->isEmptyElement() && !readGroup(reader, group, *seen, bestTimes, result))
                endedEarly = true;
        } else if (node == io::EXN_ELEMENT_END && inRoot) {
            result.complete = true;
        }
    }
    reader->drop();
    if (!sawRoot)
        result.problem = "it is not a save file";
    else if (!result.complete)
        result.problem = "it ends early";
    return result;
}

// The save's text, and where its root element takes the write's sequence number.
struct SaveText {
    std::string text;
    std::size_t numberAt = 0;
};

SaveText saveFileText(io::IAttributes* const* groups) {
    Utf8XmlWriter xml;
    Utf8XmlWriter* writer = &xml;
    writer->writeXMLHeader();
    writer->writeElement(rootElement, false);
    const std::size_t numberAt = xml.text().size() - 1; // before the root element's ">"
    writer->writeLineBreak();
    for (int g = 0; g < SaveManager::GroupCount; ++g) {
        const std::wstring groupElement = fromUtf8(groupNames[g]);
        io::IAttributes* group = groups[g];
        writer->writeElement(groupElement.c_str(), false);
        writer->writeLineBreak();
        for (u32 i = 0; i < group->getAttributeCount(); ++i) {
            const std::wstring name = fromUtf8(group->getAttributeName(static_cast<s32>(i)));
            const std::wstring value = group->getAttributeType(static_cast<s32>(i)) == io::EAT_FLOAT
                                           ? floatText(group->getAttributeAsFloat(static_cast<s32>(i)))
                                           : std::wstring(group->getAttributeAsStringW(static_cast<s32>(i)).c_str());
            writer->writeElement(group->getAttributeTypeString(static_cast<s32>(i)), true,
                                 L"name", name.c_str(), L"value", value.c_str());
            writer->writeLineBreak();
        }
        writer->writeClosingTag(groupElement.c_str());
        writer->writeLineBreak();
    }
    writer->writeClosingTag(rootElement);
    writer->writeLineBreak();
    return {xml.text(), numberAt};
}

// The text with its number, an attribute older readers pass over.
std::string numberedText(SaveText save, u64 sequence) {
    save.text.insert(save.numberAt, " " + toUtf8(sequenceAttribute) + "=\"" + std::to_string(sequence) + "\"");
    return std::move(save.text);
}

bool isBackupName(const std::string& name) {
    const std::string prefix = SaveManager::backupPrefix;
    const std::string extension = SaveManager::saveExtension;
    if (name.size() != prefix.size() + backupDateLength + extension.size() ||
        name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - extension.size(), extension.size(), extension) != 0)
        return false;
    // Digits where the date has them, the separators where it has those.
    const std::string date = name.substr(prefix.size(), backupDateLength);
    const std::string pattern = "dddd-dd-dd_dd-dd-dd";
    for (std::size_t i = 0; i < backupDateLength; ++i) {
        if (pattern[i] == 'd' ? (date[i] < '0' || date[i] > '9') : date[i] != pattern[i])
            return false;
    }
    return true;
}

// The file name part of a path ('/' or '\' separated).
std::wstring_view fileNamePart(std::wstring_view path) {
    const std::size_t slash = path.find_last_of(L"/\\");
    return slash == std::wstring_view::npos ? path : path.substr(slash + 1);
}

bool isCheckpointFile(const wchar_t* path) {
    const std::wstring_view name = fileNamePart(path);
    for (const char* checkpoint : {storyCheckpointFileName, freeplayCheckpointFileName}) {
        const std::wstring text = fromUtf8(checkpoint);
        std::wstring binary = text.substr(0, text.rfind(L'.')) + fromUtf8(binaryCheckpointExtension);
        if (equalsIgnoringAsciiCase(name, text) || equalsIgnoringAsciiCase(name, binary))
            return true;
    }
    return false;
}

} // namespace

const char* SaveManager::groupName(Group group) {
    return group >= 0 && group < GroupCount ? groupNames[group] : "";
}

SaveManager::SaveManager(io::IFileSystem* fileSystem, const std::string& folder)
    : fileSystem(fileSystem), folder(folder), now([] { return std::time(nullptr); }),
      writeClock([] { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }) {
    if (fileSystem)
        fileSystem->grab();
    for (auto& group : groups)
        group = fileSystem ? fileSystem->createEmptyAttributes() : nullptr;
    if (!fileSystem || !groups[0])
        logMessage(std::string(logErrorPrefix) + "The save manager has no file services.");
    if (!createDirectoryPath(folder))
        logMessage(std::string(logErrorPrefix) + "Could not create the save folder \"" + folder +
                   "\".");
}

SaveManager::~SaveManager() {
    keepForcedEndCopy(false);
    for (auto* group : groups)
        if (group)
            group->drop();
    if (fileSystem)
        fileSystem->drop();
}

std::string SaveManager::getSavePath() const {
    return folder + "/" + saveFileName;
}

std::string SaveManager::backupFileName(std::time_t when) {
    std::tm local {};
    localtime_r(&when, &local);
    char date[32];
    std::strftime(date, sizeof(date), "%Y-%m-%d_%H-%M-%S", &local);
    return std::string(backupPrefix) + date + saveExtension;
}

std::vector<SaveManager::BackupFile> SaveManager::sortedBackups() const {
    struct Backup {
        BackupFile file;
        bool ahead; // modified well after now: written while the clock ran ahead
        std::time_t modified;
    };
    std::vector<Backup> backups;
    const std::time_t realNow = std::time(nullptr);
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            if (!isBackupName(entry->d_name))
                continue;
            Backup backup{{folder + "/" + entry->d_name, std::nullopt}, false, 0};
            struct stat info {};
            if (::stat(backup.file.path.c_str(), &info) == 0)
                backup.modified = info.st_mtime;
            backup.ahead = backup.modified > realNow + aheadToleranceSeconds;
            backup.file.sequence = readSequence(fileSystem, backup.file.path);
            backups.push_back(std::move(backup));
        }
        ::closedir(dir);
    }
    std::sort(backups.begin(), backups.end(), [](const Backup& a, const Backup& b) {
        if (a.file.sequence.has_value() != b.file.sequence.has_value())
            return a.file.sequence.has_value();
        if (a.file.sequence && *a.file.sequence != *b.file.sequence)
            return *a.file.sequence > *b.file.sequence;
        if (a.ahead != b.ahead)
            return b.ahead;
        if (!a.ahead && a.modified != b.modified)
            return a.modified > b.modified;
        // The date in the name sorts like the time.
        return a.file.path > b.file.path;
    });
    std::vector<BackupFile> files;
    files.reserve(backups.size());
    for (Backup& backup : backups)
        files.push_back(std::move(backup.file));
    return files;
}

std::vector<std::string> SaveManager::listBackups() const {
    std::vector<std::string> paths;
    for (BackupFile& backup : sortedBackups())
        paths.push_back(std::move(backup.path));
    return paths;
}

void SaveManager::clearGroups() {
    for (auto* group : groups)
        group->clear();
}

bool SaveManager::load() {
    if (!groups[0])
        return false;
    fileMustNotBeReplaced = false;
    bestTimeKeyKnown = false;
    const std::string path = getSavePath();
    // Games started from other folders share this one: only files a minute old are leftovers.
    if (folderOwned)
        removeLeftoverTemporaryFiles(folder, 60);
    // The next write numbers itself above every file here, those that cannot be read too: it
    // is the newest.
    const std::vector<BackupFile> backups = sortedBackups();
    const std::optional<u64> saveSequence = readSequence(fileSystem, path);
    sequence = std::max(sequence, saveSequence.value_or(0));
    for (const BackupFile& backup : backups)
        sequence = std::max(sequence, backup.sequence.value_or(0));

    struct stat info {};
    const bool saveExists = ::lstat(path.c_str(), &info) == 0;
    if (saveExists) {
        const FileRead read = readSaveFile(fileSystem, path, groups);
        if (read.complete) {
            if (read.skippedEntries > 0)
                logMessagef("%sThe save file \"%s\" has %d entries that could not be read; "
                            "they are left out.",
                            logWarningPrefix, path.c_str(), read.skippedEntries);
            foldBestTimes();
            respellAutoSavePaths();
            noteLoadedText(saveSequence);
            return true;
        }
        std::string line = std::string(logErrorPrefix) + "The save file \"" + path +
                           "\" could not be read (" + read.problem + "). ";
        // The folder's own game decides what becomes of its file.
        if (folderOwned && keepFileAside(path)) {
            line += "It is kept aside as \"" + keptAsidePath(path) + "\".";
        } else {
            fileMustNotBeReplaced = true;
            line += std::string("It could not be kept aside (") + std::strerror(errno) +
                    ") and will not be written over.";
        }
        logMessage(line);
    } else {
        logMessage("No save file \"" + path + "\" found.");
    }

    for (const BackupFile& backup : backups) {
        const FileRead read = readSaveFile(fileSystem, backup.path, groups);
        if (read.complete) {
            logMessage("Loaded the save from its backup \"" + backup.path + "\".");
            foldBestTimes();
            respellAutoSavePaths();
            noteLoadedText(backup.sequence);
            return true;
        }
        logMessage(std::string(logWarningPrefix) + "The save backup \"" + backup.path +
                   "\" could not be read (" + read.problem + ").");
    }
    clearGroups();
    logMessage("Starting a new save.");
    return false;
}

bool SaveManager::writeText(const std::string& path, const std::string& text, bool backup, bool readBack) {
    if (!groups[0])
        return false;
    createDirectoryPath(folder);
    // A folder that cannot be written fails the same way at every write: one line for each
    // file and cause, counted by the repeated-line rule (the backups' dated names aside).
    std::string failure;
    const std::string kind = backup ? "save backup" : "save";
    const auto fail = [&](const std::string& why) {
        logRepeatableAs(kind + " not written: " + why,
                        std::string(logErrorPrefix) + "Could not write the " + kind + " \"" + path + "\" (" +
                            why + "); the old file is kept.");
        return false;
    };
    SafeFileWrite file(path, &failure);
    if (!file.isOpen() || !file.write(text.data(), text.size()))
        return fail(failure);
    // The file replaces the old one only after it has been read back whole.
    if (readBack) {
        io::IAttributes* check[GroupCount] = {};
        for (auto& group : check)
            group = fileSystem->createEmptyAttributes();
        const bool whole = readSaveFile(fileSystem, file.tempPath(), check).complete;
        for (auto* group : check)
            group->drop();
        if (!whole)
            return fail("it did not read back whole");
    }
    return file.commit() || fail(failure);
}

bool SaveManager::saveText(const std::string& text) {
    if (fileMustNotBeReplaced) {
        logRepeatable(std::string(logErrorPrefix) + "Save not written: \"" + getSavePath() +
                      "\" could not be read and is left as it is.");
        return false;
    }
    return writeText(getSavePath(), text, false, true);
}

bool SaveManager::backupText(const std::string& text, bool readBack) {
    const std::string path = folder + "/" + backupFileName(now());
    if (!writeText(path, text, true, readBack))
        return false;
    pruneBackups(path);
    return true;
}

std::string SaveManager::numberedSaveText(bool written) {
    const SaveText save = saveFileText(groups);
    const std::size_t hash = std::hash<std::string>()(save.text);
    // The state written or loaded last keeps its number while no other was numbered since.
    const bool same = sequence > 0 && hash == numberedTextHash && numberedTextSequence == sequence;
    const u64 number = same ? sequence : (sequence < UINT64_MAX ? sequence + 1 : sequence);
    if (written) {
        sequence = numberedTextSequence = number;
        numberedTextHash = hash;
    }
    return numberedText(save, number);
}

void SaveManager::noteLoadedText(std::optional<u64> loadedSequence) {
    numberedTextHash = std::hash<std::string>()(saveFileText(groups).text);
    numberedTextSequence = loadedSequence.value_or(0);
}

bool SaveManager::save() {
    return folderOwned && saveText(numberedSaveText(true));
}

bool SaveManager::writeBackup() {
    return folderOwned && backupText(numberedSaveText(true), true);
}

void SaveManager::pruneBackups(const std::string& kept) {
    const std::vector<std::string> backups = listBackups();
    for (std::size_t i = keptBackupCount; i < backups.size(); ++i)
        if (backups[i] != kept && ::unlink(backups[i].c_str()) != 0)
            logMessage(std::string(logWarningPrefix) + "Could not remove the old save backup \"" +
                       backups[i] + "\": " + std::strerror(errno));
}

bool SaveManager::writeRequested() {
    writeThisFrame = false;
    if (!std::exchange(writePending, false))
        return false;
    lastWriteTime = writeClock();
    forcedEndCopyStale = false;
    // One text for both files; read back once, by the first write that reaches the disk.
    const bool writable = folderOwned && groups[0];
    const std::string text = writable ? numberedSaveText(true) : std::string();
    const bool saved = writable && saveText(text);
    // The disk now holds the newest state (or the write failed, and the next change asks
    // again): the watch's copy would be no newer. It goes only now: a watch that runs out
    // during the write still has it.
    if (forcedEndCopy)
        clearForcedEndFile(ForcedEndFile::Save);
    return writable && backupText(text, !saved) && saved;
}

bool SaveManager::writeRequestedWhenDue() {
    if (!writePending)
        return false;
    if (!writeThisFrame && lastWriteTime && writeClock() - *lastWriteTime < writeIntervalSeconds) {
        refreshForcedEndCopy();
        return false;
    }
    return writeRequested();
}

void SaveManager::keepForcedEndCopy(bool on) {
    if (!on && forcedEndCopy)
        clearForcedEndFile(ForcedEndFile::Save);
    forcedEndCopy = on;
    forcedEndCopyStale = on && writePending;
}

void SaveManager::refreshForcedEndCopy() {
    // A large save takes a while to put in words: the copy takes at most a fifth of the time.
    const double start = writeClock();
    if (!forcedEndCopy || !forcedEndCopyStale || start - lastCopyTime < 4.0 * lastCopyCost)
        return;
    forcedEndCopyStale = false;
    // A file that could not be read is left as it is, by the watch too.
    if (folderOwned && !fileMustNotBeReplaced && groups[0])
        setForcedEndFile(getSavePath(), numberedSaveText(false), ForcedEndFile::Save);
    lastCopyTime = writeClock();
    lastCopyCost = lastCopyTime - start;
}

void SaveManager::writeIfAutomatic(bool earned) {
    if (automaticWriting && earned)
        requestWriteThisFrame();
    else if (automaticWriting)
        requestWrite();
}

std::string SaveManager::refusalOfEntry(Group group, const char* name, std::size_t textLength) const {
    io::IAttributes* entries = group >= 0 && group < GroupCount ? groups[group] : nullptr;
    if (!entries)
        return "the save has no such group";
    const std::size_t nameLength = name ? std::strlen(name) : 0;
    const std::string limit = " (at most " + std::to_string(maxLevelTextLength) + ")";
    if (nameLength > maxLevelTextLength)
        return "its name is " + std::to_string(nameLength) + " characters long" + limit;
    if (textLength > maxLevelTextLength)
        return "its text is " + std::to_string(textLength) + " characters long" + limit;
    if (nameLength == 0)
        return "it has no name";
    if (!entries->existsAttribute(name) && entries->getAttributeCount() >= maxLevelGroupEntries)
        return std::string("the group \"") + groupNames[group] + "\" holds " +
               std::to_string(entries->getAttributeCount()) + " entries (at most " +
               std::to_string(maxLevelGroupEntries) + ")";
    return {};
}

// --- autosave ------------------------------------------------------------------------------------

bool SaveManager::getAutoSaveExists(bool story) const {
    io::IAttributes* group = getModeGroup(story);
    return group && group->getAttributeAsBool(keyAutoSaveExists);
}

void SaveManager::setAutoSaveExists(bool value, bool story) {
    io::IAttributes* group = getModeGroup(story);
    if (!group)
        return;
    if (group->existsAttribute(keyAutoSaveExists) &&
        group->getAttributeAsBool(keyAutoSaveExists) == value)
        return;
    if (group->existsAttribute(keyAutoSaveExists))
        group->setAttribute(keyAutoSaveExists, value);
    else
        group->addBool(keyAutoSaveExists, value);
    writeIfAutomatic();
}

namespace {

std::wstring getText(io::IAttributes* group, const char* key) {
    if (!group || !group->existsAttribute(key))
        return {};
    return group->getAttributeAsStringW(key).c_str();
}

// Sets a text entry, adding it when absent; answers whether anything changed. A text longer
// than a level's texts may be (a path a level gave) is refused with one line.
bool setText(io::IAttributes* group, const char* key, const wchar_t* value) {
    if (!group)
        return false;
    const wchar_t* text = value ? value : L"";
    if (const std::size_t length = std::wcslen(text); length > maxLevelTextLength) {
        logMessagef("%sThe save's \"%s\" is not set: its text is %zu characters long (at most %u).",
                    logWarningPrefix, key, length, maxLevelTextLength);
        return false;
    }
    if (!group->existsAttribute(key)) {
        group->addString(key, text);
        return true;
    }
    if (group->getAttributeAsStringW(key) == text)
        return false;
    group->setAttribute(key, text);
    return true;
}

// Sets a number entry, adding it when absent.
void setFloat(io::IAttributes* group, const char* key, f32 value) {
    if (group->existsAttribute(key))
        group->setAttribute(key, value);
    else
        group->addFloat(key, value);
}

void addToInt(io::IAttributes* group, const char* key, s32 amount) {
    if (group->existsAttribute(key))
        group->setAttribute(key, group->getAttributeAsInt(key) + amount);
    else
        group->addInt(key, amount);
}

} // namespace

std::wstring SaveManager::getAutoSavePath(bool story) const {
    return getText(getModeGroup(story), keyAutoSavePath);
}

void SaveManager::setAutoSavePath(const wchar_t* path, bool story) {
    if (setText(getModeGroup(story), keyAutoSavePath, levelName(path).c_str()))
        writeIfAutomatic();
}

std::wstring SaveManager::getAutoSaveCheckpoint(bool story) const {
    return getText(getModeGroup(story), keyAutoSaveCheckpoint);
}

void SaveManager::setAutoSaveCheckpoint(const wchar_t* path, bool story) {
    if (setText(getModeGroup(story), keyAutoSaveCheckpoint, levelName(path).c_str()))
        writeIfAutomatic();
}

bool SaveManager::isGameBeaten() const {
    io::IAttributes* group = groups[Story];
    return group && group->getAttributeAsBool(keyGameBeaten);
}

void SaveManager::setGameBeaten(bool value) {
    io::IAttributes* group = groups[Story];
    if (!group)
        return;
    if (group->existsAttribute(keyGameBeaten) && group->getAttributeAsBool(keyGameBeaten) == value)
        return;
    if (group->existsAttribute(keyGameBeaten))
        group->setAttribute(keyGameBeaten, value);
    else
        group->addBool(keyGameBeaten, value);
    writeIfAutomatic();
}

void SaveManager::resetStorySave() {
    io::IAttributes* group = groups[Story];
    if (!group)
        return;
    const bool hadTie = group->existsAttribute(keyTieEquipped);
    // The equipped tie keeps its value and its type.
    const std::wstring tieType = hadTie ? group->getAttributeTypeString(keyTieEquipped) : L"";
    const std::wstring tieValue = getText(group, keyTieEquipped);
    group->clear();
    group->addBool(keyAllowStoryTime, true);
    if (hadTie && !addTypedEntry(group, keyTieEquipped, tieType.c_str(), tieValue.c_str()))
        group->addString(keyTieEquipped, tieValue.c_str());
    writeIfAutomatic();
}

// --- levels ------------------------------------------------------------------------------------------

bool SaveManager::addUnlockedLevel(const wchar_t* path) {
    io::IAttributes* group = groups[Levels];
    if (!group || !path || !*path || isCheckpointFile(path) || isLevelUnlocked(path))
        return false;
    s32 index = static_cast<s32>(group->getAttributeCount());
    while (group->existsAttribute(std::to_string(index).c_str()))
        ++index;
    group->addString(std::to_string(index).c_str(), path);
    writeIfAutomatic();
    return true;
}

bool SaveManager::isLevelUnlocked(const wchar_t* path) const {
    io::IAttributes* group = groups[Levels];
    if (!group || !path)
        return false;
    for (u32 i = 0; i < group->getAttributeCount(); ++i)
        if (equalsIgnoringAsciiCase(group->getAttributeAsStringW(static_cast<s32>(i)).c_str(), path))
            return true;
    return false;
}

std::string SaveManager::bestTimeKeyFor(const std::string& path) const {
    io::IAttributes* group = groups[LevelLength];
    const std::optional<FileIdentity> file = identityOf(path);
    const std::string key = LevelNames().of(path, file);
    if (!file || !group || group->existsAttribute(key.c_str()))
        return key;
    // A time kept under another name of the same file (read from an older save) is this one.
    for (u32 i = 0; i < group->getAttributeCount(); ++i)
        if (group->getAttributeType(static_cast<s32>(i)) == io::EAT_FLOAT &&
            identityOf(group->getAttributeName(static_cast<s32>(i))) == file)
            return group->getAttributeName(static_cast<s32>(i));
    return key;
}

f32 SaveManager::getBestLevelTime(const wchar_t* path) const {
    io::IAttributes* group = groups[LevelLength];
    if (demoMode || !group || !path)
        return 0.0f;
    // The level timer asks every frame: the key is made again only for another path or entries.
    if (!bestTimeKeyKnown || bestTimePath != path || bestTimeEntries != group->getAttributeCount()) {
        bestTimePath = path;
        bestTimeKey = bestTimeKeyFor(toUtf8(path));
        bestTimeEntries = group->getAttributeCount();
        bestTimeKeyKnown = true;
    }
    const char* key = bestTimeKey.c_str();
    const f32 seconds = group->existsAttribute(key) ? group->getAttributeAsFloat(key) : 0.0f;
    return isBestTime(seconds) ? seconds : 0.0f;
}

bool SaveManager::saveLevelLength(const wchar_t* path, f32 seconds) {
    io::IAttributes* group = groups[LevelLength];
    if (!group || !path || !*path || !isBestTime(seconds))
        return false;
    const std::string key = bestTimeKeyFor(toUtf8(path));
    // A best time stays the best: a slower run does not replace it.
    if (group->existsAttribute(key.c_str()) && isBestTime(group->getAttributeAsFloat(key.c_str())) &&
        group->getAttributeAsFloat(key.c_str()) <= seconds)
        return false;
    setFloat(group, key.c_str(), seconds);
    bestTimeKeyKnown = false;
    writeIfAutomatic();
    return true;
}

void SaveManager::foldBestTimes() {
    io::IAttributes* group = groups[LevelLength];
    if (!group)
        return;
    struct Entry {
        std::string key;
        core::stringw type;
        core::stringw text; // of an entry that is not a time, kept as it was read
        bool time;
        f32 seconds;
        bool folded;
    };
    std::vector<Entry> entries;
    std::unordered_map<std::string, std::size_t> byKey;
    std::unordered_map<FileIdentity, std::size_t, FileIdentityHash> byFile;
    const LevelNames names;
    bool renamed = false;
    int foldedNames = 0;
    int foldedLevels = 0;
    for (u32 i = 0; i < group->getAttributeCount(); ++i) {
        const s32 index = static_cast<s32>(i);
        const std::string name = group->getAttributeName(index);
        // Only a best time is named by its level; anything else stays as it was read.
        const bool time = group->getAttributeType(index) == io::EAT_FLOAT;
        const f32 seconds = time ? group->getAttributeAsFloat(index) : 0.0f;
        const std::optional<FileIdentity> file = time ? identityOf(name) : std::nullopt;
        const std::string key = time ? names.of(name, file) : name;
        std::size_t found = entries.size();
        if (const auto same = file ? byFile.find(*file) : byFile.end(); same != byFile.end())
            found = same->second;
        else if (const auto known = byKey.find(key); known != byKey.end())
            found = known->second;
        if (found == entries.size()) {
            byKey.emplace(key, found);
            if (file)
                byFile.emplace(*file, found);
            entries.push_back({key, group->getAttributeTypeString(index), group->getAttributeAsStringW(index), time,
                               seconds, false});
            renamed = renamed || key != name;
            continue;
        }
        // The same level under a second name, or the same name twice (an older game kept the
        // command line's absolute path apart): the best time stays.
        Entry& kept = entries[found];
        ++foldedNames;
        foldedLevels += kept.folded ? 0 : 1;
        kept.folded = true;
        if (!time)
            continue; // a time stays before what is not one
        kept.seconds = kept.time ? betterBestTime(kept.seconds, seconds) : seconds;
        kept.time = true;
        // The game's own name of a level in its folder before an absolute one.
        if (!kept.key.empty() && !key.empty() && kept.key.front() == '/' && key.front() != '/') {
            kept.key = key;
            byKey.emplace(key, found);
        }
    }
    if (foldedNames == 0 && !renamed)
        return;
    group->clear();
    for (const Entry& entry : entries) {
        if (entry.time)
            group->addFloat(entry.key.c_str(), entry.seconds);
        else
            addTypedEntry(group, entry.key.c_str(), entry.type.c_str(), entry.text.c_str());
    }
    if (foldedNames > 0)
        logMessagef("The save's best times under %d more names of %d levels are kept as one entry a level, "
                    "the best time of each.",
                    foldedNames, foldedLevels);
}

std::wstring SaveManager::levelName(const wchar_t* path) const {
    if (!path || !*path)
        return path ? path : L"";
    return fromUtf8(bestTimeKeyFor(toUtf8(path)).c_str());
}

void SaveManager::respellAutoSavePaths() {
    for (const bool story : {true, false}) {
        io::IAttributes* group = getModeGroup(story);
        for (const char* key : {keyAutoSavePath, keyAutoSaveCheckpoint}) {
            if (!group || !group->existsAttribute(key) || group->getAttributeType(key) != io::EAT_STRING)
                continue;
            const std::wstring path = getText(group, key);
            const std::wstring name = levelName(path.c_str());
            if (name != path)
                group->setAttribute(key, name.c_str());
        }
    }
}

f32 SaveManager::getBestStoryTime() const {
    io::IAttributes* group = groups[Statistics];
    if (demoMode || !group)
        return 0.0f;
    return group->getAttributeAsFloat(keyBestStoryTime);
}

f32 SaveManager::getStoryTime() const {
    io::IAttributes* group = groups[Story];
    return group ? group->getAttributeAsFloat(keyStoryTime) : 0.0f;
}

bool SaveManager::isStoryTimeAllowed() const {
    io::IAttributes* group = groups[Story];
    return group && group->getAttributeAsBool(keyAllowStoryTime);
}

// --- ties ----------------------------------------------------------------------------------------------

void SaveManager::saveTieCollected(s32 tieID) {
    io::IAttributes* group = groups[Ties];
    if (tieID < 0) {
        logMessage(std::string(logWarningPrefix) +
                   "This tie needs a real ID above 0 set in order to be saved!");
        return;
    }
    const std::string key = std::to_string(tieID);
    if (!group || group->existsAttribute(key.c_str()))
        return;
    group->addInt(key.c_str(), tieID);
    writeIfAutomatic(true);
}

bool SaveManager::isTieCollected(s32 tieID) const {
    io::IAttributes* group = groups[Ties];
    return tieID >= 0 && group && group->existsAttribute(std::to_string(tieID).c_str());
}

// --- statistics ------------------------------------------------------------------------------------

void SaveManager::submitLevelStats(const LevelRunRecord& run, bool finishedGame) {
    io::IAttributes* stats = groups[Statistics];
    io::IAttributes* story = groups[Story];
    if (!stats || !story)
        return;
    addToInt(stats, keyLevelsFinished, 1);
    addToInt(stats, keyLosses, run.losses);
    setFloat(stats, keyPlayTime, stats->getAttributeAsFloat(keyPlayTime) + run.levelTime);
    if (run.countsStoryTime) {
        setFloat(story, keyStoryTime, run.storyTime);
        if (finishedGame && run.validTime && run.storyTime > 0.0f) {
            const f32 best = stats->getAttributeAsFloat(keyBestStoryTime);
            if (!stats->existsAttribute(keyBestStoryTime) || best <= 0.0f || run.storyTime < best)
                setFloat(stats, keyBestStoryTime, run.storyTime);
        }
    }
    if (finishedGame)
        addToInt(stats, keyGamesFinished, 1);
    writeIfAutomatic();
}

void createSaveManager(io::IFileSystem* fileSystem) {
    delete saveManager;
    const std::string folder = saveFolderPath();
    saveManager = new SaveManager(fileSystem, folder);
    // Games started from other folders (two installs, two working folders) share the player's
    // save folder: only the first writes there.
    if (!acquireSaveFolderLock(folder)) {
        saveManager->folderOwned = false;
        logMessage(std::string(logWarningPrefix) + "Another Paddlestone is using the save folder \"" + folder +
                   "\"; this one plays without saving.");
    }
    saveManager->keepForcedEndCopy(true);
    saveManager->load();
}

void destroySaveManager() {
    delete saveManager;
    saveManager = nullptr;
}
