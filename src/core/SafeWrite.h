#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Every file written for the player (settings, save, backups, checkpoints, remapping) is
// written so that a crash or a full disk never leaves it half-written or empty: the new
// content goes to a temporary file in the same folder, is flushed and synced to the disk,
// and only then renamed over the old file (and the folder synced). Until the rename the old
// file stays untouched. Failures are logged and answered with false.

// Writes the bytes as the new content of the file. With a failure text given, a failure is
// described there instead of logged (for a thread that must not touch the log).
bool writeFileSafely(const std::string& path, std::string_view bytes, std::string* failure = nullptr);

// For content that another writer produces (the engine's XML and attribute writers): that
// writer writes to tempPath(), then commit() puts the file in place. A SafeFileWrite that
// is destroyed without a successful commit removes its temporary file.
class SafeFileWrite {
public:
    // failure: where a failure is described instead of logged; null: the log.
    explicit SafeFileWrite(const std::string& path, std::string* failure = nullptr);
    ~SafeFileWrite();
    SafeFileWrite(const SafeFileWrite&) = delete;
    SafeFileWrite& operator=(const SafeFileWrite&) = delete;

    // The temporary file exists and can be written.
    bool isOpen() const { return descriptor >= 0; }
    const std::string& path() const { return targetPath; }
    const std::string& tempPath() const { return temporaryPath; }

    // Appends bytes to the temporary file.
    bool write(const void* data, std::size_t size);
    // Syncs the temporary file, renames it over the target and syncs the folder.
    bool commit();
    // Removes the temporary file; the target is not touched.
    void discard();

private:
    void fail(const char* what, int error);

    std::string targetPath;
    std::string temporaryPath;
    int descriptor = -1;
    bool failed = false;
    std::string* failureText = nullptr;
};

// The name a file that cannot be read is kept under: path + ".bad".
inline constexpr const char* keptAsideSuffix = ".bad";
// How many kept copies of one file stay: the newest as path + ".bad", the older ones as
// path + ".bad.1" (the one before) up to ".bad.4".
inline constexpr int keptAsideCopies = 5;
std::string keptAsidePath(const std::string& path);
// Renames a file the program cannot read to its kept-aside name, so that nothing overwrites
// the player's data; copies kept earlier move one number up, and only the oldest beyond
// keptAsideCopies is lost. False when the file could not be renamed.
bool keepFileAside(const std::string& path);

// Removes the temporary files that writes killed before their rename left in the folder
// ("<name>.tmp.XXXXXX", one log line each); answers how many went. Files younger than the
// given age are left alone: in a folder that other running games share (the save folder)
// they may be writes in progress. The working folder is the game's alone (core/ProcessGuards.h).
int removeLeftoverTemporaryFiles(const std::string& folder, int minimumAgeSeconds = 0);
