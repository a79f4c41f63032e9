#pragma once

#include <cstdint>
#include <string>

// Kernel services the game asks of the operating system: high-resolution counters, the
// executable's location, working and user folders, and a few facts for the log header.
namespace platform {

// A monotonic high-resolution counter and its ticks per second.
std::int64_t queryCounter();
std::int64_t counterFrequency();

// Full path of the running executable; empty when it cannot be found.
std::string executablePath();

std::string currentDirectory();
bool setCurrentDirectory(const std::string& path);

// Creates one folder (its parent must exist); true when it exists afterwards.
bool createDirectory(const std::string& path);
bool directoryExists(const std::string& path);
bool fileExists(const std::string& path);
// Whether this process may make and replace files in the folder (false on a read-only disk).
bool directoryWritable(const std::string& path);

// The user's folder for an application's data files: $XDG_DATA_HOME/<application> when that
// variable holds an absolute path, else ~/.local/share/<application>. Not created here.
std::string userDataFolder(const std::string& application);

// A process environment variable; empty when unset.
std::string environmentVariable(const char* name);
std::string userName();

// Log header facts.
std::string operatingSystemName();
unsigned processorCount();
std::uint64_t physicalMemoryBytes();

} // namespace platform
