#include "platform/Power.h"

#include <filesystem>
#include <fstream>

namespace platform {

bool hasSystemBattery(const std::string& powerSupplyFolder) {
    std::error_code error;
    for (const auto& supply : std::filesystem::directory_iterator(powerSupplyFolder, error)) {
        std::ifstream typeFile(supply.path() / "type");
        std::string type;
        // A device's own battery (a mouse, a pad) reports "Battery" too, but is marked as
        // not powering the system through its "scope".
        if (!(typeFile >> type) || type != "Battery")
            continue;
        std::ifstream scopeFile(supply.path() / "scope");
        std::string scope;
        if (!(scopeFile >> scope) || scope == "System")
            return true;
    }
    return false;
}

} // namespace platform
