#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace test {

// A fresh folder under the system's temporary folder, removed with everything in it when
// the object goes away. Tests never write into the working folder.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return root; }
    std::string file(const std::string& name) const { return (root / name).string(); }

private:
    std::filesystem::path root;
};

// Changes the working folder for the lifetime of the object.
class ScopedWorkingDir {
public:
    explicit ScopedWorkingDir(const std::filesystem::path& dir);
    ~ScopedWorkingDir();
    ScopedWorkingDir(const ScopedWorkingDir&) = delete;
    ScopedWorkingDir& operator=(const ScopedWorkingDir&) = delete;

private:
    std::filesystem::path previous;
};

// Sets (or, with no value, removes) an environment variable for the lifetime of the object;
// the value it had before comes back afterwards, so a test leaves the process as it was.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::optional<std::string>& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

    void set(const std::optional<std::string>& value) const;

private:
    std::string name;
    std::optional<std::string> previous;
};

// Reads a whole file as bytes; empty when it cannot be read.
std::string readFileBytes(const std::string& path);
// Writes bytes to a file, replacing it.
bool writeFileBytes(const std::string& path, const std::string& bytes);

// The repository's root folder (for Content/ and test data).
std::filesystem::path sourceDir();

} // namespace test
