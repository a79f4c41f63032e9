#include "platform/MultiMouse.h"

namespace platform {

namespace {

std::vector<const MultiMouseDriver*>& driverTable() {
    static std::vector<const MultiMouseDriver*> table;
    return table;
}

const MultiMouseDriver*& selection() {
    static const MultiMouseDriver* selected = nullptr;
    return selected;
}

} // namespace

int selectMultiMouseDriver() {
    releaseMultiMouseDriver();
    for (const MultiMouseDriver* driver : driverTable()) {
        if (!driver || !driver->init)
            continue;
        const int mice = driver->init();
        if (mice >= 0) {
            selection() = driver;
            return mice;
        }
    }
    return -1;
}

const MultiMouseDriver* selectedMultiMouseDriver() { return selection(); }

void releaseMultiMouseDriver() {
    if (const MultiMouseDriver* driver = selection()) {
        if (driver->quit)
            driver->quit();
        selection() = nullptr;
    }
}

bool pollMultiMouse(MultiMouseEvent& event) {
    const MultiMouseDriver* driver = selection();
    return driver && driver->poll && driver->poll(&event) == 1;
}

void setMultiMouseDrivers(std::vector<const MultiMouseDriver*> drivers) { driverTable() = std::move(drivers); }

} // namespace platform
