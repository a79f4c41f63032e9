#include "core/FileUtils.h"

#include "platform/Kernel.h"

bool createDirectoryPath(const std::string& path) {
    if (path.empty())
        return false;
    std::string normalized = path;
    for (char& c : normalized)
        if (c == '\\')
            c = '/';

    // Create each prefix that ends before a separator, then the whole path. Empty parts
    // (the root, doubled separators) have nothing to create.
    for (std::size_t i = 1; i < normalized.size(); ++i) {
        if (normalized[i] != '/' || normalized[i - 1] == '/')
            continue;
        const std::string parent = normalized.substr(0, i);
        if (!platform::directoryExists(parent) && !platform::createDirectory(parent))
            return false;
    }
    return platform::createDirectory(normalized) || platform::directoryExists(normalized);
}
