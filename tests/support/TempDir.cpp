#include "support/TempDir.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <system_error>
#include <utility>
#include <unistd.h>

namespace test {

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    std::ostringstream name;
    name << "paddlestone-test-" << ::getpid() << "-" << counter++ << "-" << rd();
    root = std::filesystem::temp_directory_path() / name.str();
    std::filesystem::create_directories(root);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
}

ScopedWorkingDir::ScopedWorkingDir(const std::filesystem::path& dir)
    : previous(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
}

ScopedWorkingDir::~ScopedWorkingDir() {
    std::error_code ec;
    std::filesystem::current_path(previous, ec);
}

ScopedEnv::ScopedEnv(std::string variable, const std::optional<std::string>& value) : name(std::move(variable)) {
    if (const char* old = std::getenv(name.c_str()))
        previous = old;
    set(value);
}

ScopedEnv::~ScopedEnv() { set(previous); }

void ScopedEnv::set(const std::optional<std::string>& value) const {
    if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
    else
        ::unsetenv(name.c_str());
}

std::string readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool writeFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out);
}

std::filesystem::path sourceDir() {
    if (const char* dir = std::getenv("PADDLESTONE_SOURCE_DIR"))
        return dir;
    return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
}

} // namespace test
