#pragma once

#include <cstdint>
#include <vector>

// Several physical mice read one by one, so that each player can have a mouse of their own.
// A driver reports numbered mice and their events; the game keeps the first driver of its
// table that starts. This build registers no driver: the system mouse alone is read.
namespace platform {

struct MultiMouseEvent {
    enum Type : std::uint32_t {
        Absolute = 0,   // item 0 x, 1 y
        Relative = 1,   // item 0 x, 1 y
        Button = 2,     // item 0 left, 1 right, 2 middle, ...; value 1 down, 0 up
        Scroll = 3,     // value: steps
        Disconnect = 4,
    };
    std::uint32_t type = Relative;
    std::uint32_t device = 0;
    std::uint32_t item = 0;
    std::int32_t value = 0;
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
};
static_assert(sizeof(MultiMouseEvent) == 24);

struct MultiMouseDriver {
    const char* name;
    int (*init)();                     // the number of mice, or -1 when the driver cannot start
    void (*quit)();
    const char* (*mouseName)(unsigned index);
    int (*poll)(MultiMouseEvent* event); // 1 with an event, 0 when none is waiting
};

// Starts the first driver of the table that starts; answers its mouse count, or -1 when
// none starts (then no driver is selected).
int selectMultiMouseDriver();
const MultiMouseDriver* selectedMultiMouseDriver();
// Quits the selected driver and clears the selection.
void releaseMultiMouseDriver();
// The next event of the selected driver; false when there is none (or no driver).
bool pollMultiMouse(MultiMouseEvent& event);

// The driver table; tests replace it.
void setMultiMouseDrivers(std::vector<const MultiMouseDriver*> drivers);

} // namespace platform
