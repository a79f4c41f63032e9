#pragma once

#include <string>

// The machine's power supply, as the system reports it.
namespace platform {

// True when the machine has a battery (a portable machine, which usually draws with
// integrated graphics). The folder is the system's power-supply list; tests pass their own.
bool hasSystemBattery(const std::string& powerSupplyFolder = "/sys/class/power_supply");

} // namespace platform
