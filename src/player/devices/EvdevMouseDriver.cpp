#include "player/devices/EvdevMouseDriver.h"

#include "core/Log.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/input.h>
#include <mutex>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vector>

namespace evdevMice {

namespace {

struct EvdevMouse {
    int fd = -1; // -1 once disconnected
    std::string description;
};

struct EvdevState {
    std::string folder = "/dev/input";
    std::function<bool(int, std::string&)> probe;
    std::vector<EvdevMouse> mice;
    platform::MultiMouseEvent ring[ringSize];
    int readIndex = 0;
    int writeIndex = 0;
    std::mutex ringLock;
};

EvdevState& evdev() {
    static EvdevState state;
    return state;
}

bool testBit(const unsigned long* bits, int bit) {
    constexpr int perWord = int(sizeof(unsigned long) * 8);
    return (bits[bit / perWord] >> (bit % perWord)) & 1ul;
}

// A mouse moves relatively on X and Y and has a left button.
bool kernelMouseProbe(int fd, std::string& description) {
    unsigned long rel[(REL_MAX + 1) / (sizeof(unsigned long) * 8) + 1] = {};
    unsigned long keys[(KEY_MAX + 1) / (sizeof(unsigned long) * 8) + 1] = {};
    if (ioctl(fd, EVIOCGBIT(EV_REL, sizeof(rel)), rel) < 0 || ioctl(fd, EVIOCGBIT(EV_KEY, sizeof(keys)), keys) < 0)
        return false;
    if (!testBit(rel, REL_X) || !testBit(rel, REL_Y) || !testBit(keys, BTN_LEFT))
        return false;
    char name[256] = {};
    if (ioctl(fd, EVIOCGNAME(sizeof(name) - 1), name) > 0 && name[0])
        description = name;
    return true;
}

void pushLocked(EvdevState& state, const platform::MultiMouseEvent& event) {
    state.ring[state.writeIndex] = event;
    state.writeIndex = (state.writeIndex + 1) % ringSize;
    if (state.writeIndex == state.readIndex)
        state.readIndex = (state.readIndex + 1) % ringSize; // full: the oldest goes
}

bool popLocked(EvdevState& state, platform::MultiMouseEvent& event) {
    if (state.readIndex == state.writeIndex)
        return false;
    event = state.ring[state.readIndex];
    state.readIndex = (state.readIndex + 1) % ringSize;
    return true;
}

platform::MultiMouseEvent mouseEvent(std::uint32_t type, std::uint32_t mouse, std::uint32_t item, std::int32_t value) {
    platform::MultiMouseEvent event;
    event.type = type;
    event.device = mouse;
    event.item = item;
    event.value = value;
    return event;
}

// One kernel event of a mouse as the driver's events (none for the others).
void convertKernelEvent(EvdevState& state, std::uint32_t mouse, const input_event& in) {
    using platform::MultiMouseEvent;
    if (in.type == EV_REL) {
        if ((in.code == REL_X || in.code == REL_Y) && in.value != 0)
            pushLocked(state, mouseEvent(MultiMouseEvent::Relative, mouse, in.code == REL_X ? 0 : 1, in.value));
        else if (in.code == REL_WHEEL && in.value != 0)
            pushLocked(state, mouseEvent(MultiMouseEvent::Scroll, mouse, 0, in.value > 0 ? 1 : -1));
    } else if (in.type == EV_ABS && (in.code == ABS_X || in.code == ABS_Y)) {
        pushLocked(state, mouseEvent(MultiMouseEvent::Absolute, mouse, in.code == ABS_X ? 0 : 1, in.value));
    } else if (in.type == EV_KEY && (in.value == 0 || in.value == 1)) {
        static const int buttonCodes[] = {BTN_LEFT, BTN_RIGHT, BTN_MIDDLE, BTN_SIDE, BTN_EXTRA};
        for (std::uint32_t item = 0; item < 5; ++item)
            if (in.code == buttonCodes[item])
                pushLocked(state, mouseEvent(MultiMouseEvent::Button, mouse, item, in.value));
    }
}

// Reads what every mouse has waiting; a mouse whose device went away is reported once.
void readMice(EvdevState& state) {
    for (std::size_t index = 0; index < state.mice.size(); ++index) {
        EvdevMouse& mouse = state.mice[index];
        if (mouse.fd < 0)
            continue;
        input_event events[64];
        for (;;) {
            const ssize_t got = read(mouse.fd, events, sizeof(events));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                // Pulled out (the kernel answers ENODEV): reported once, later input is gone.
                close(mouse.fd);
                mouse.fd = -1;
                std::lock_guard<std::mutex> lock(state.ringLock);
                pushLocked(state, mouseEvent(platform::MultiMouseEvent::Disconnect, std::uint32_t(index), 0, 0));
                break;
            }
            if (got <= 0)
                break;
            std::lock_guard<std::mutex> lock(state.ringLock);
            for (std::size_t n = 0; n < std::size_t(got) / sizeof(input_event); ++n)
                convertKernelEvent(state, std::uint32_t(index), events[n]);
            if (std::size_t(got) < sizeof(events))
                break;
        }
    }
}

void closeMice(EvdevState& state) {
    for (EvdevMouse& mouse : state.mice)
        if (mouse.fd >= 0)
            close(mouse.fd);
    state.mice.clear();
}

int evdevInit() {
    EvdevState& state = evdev();
    closeMice(state);
    {
        std::lock_guard<std::mutex> lock(state.ringLock);
        state.readIndex = state.writeIndex = 0;
    }
    DIR* folder = opendir(state.folder.c_str());
    // Most players may not read the input devices (and a container has none): that is no
    // fault, the system mouse serves them all, so the line informs rather than warns.
    if (!folder) {
        logMessage("Several mice are not told apart: the input device folder \"" +
                   state.folder + "\" is not readable (" + std::strerror(errno) + "); the system mouse is used.");
        return -1;
    }
    std::vector<std::string> names;
    while (dirent* entry = readdir(folder))
        if (std::strncmp(entry->d_name, "event", 5) == 0)
            names.push_back(entry->d_name);
    closedir(folder);
    // event2 before event10.
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    int refused = 0;
    for (const std::string& name : names) {
        if (int(state.mice.size()) >= maxMice)
            break;
        const std::string path = state.folder + "/" + name;
        const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            ++refused;
            continue;
        }
        EvdevMouse mouse;
        mouse.description = "Unidentified input device";
        const auto& probe = state.probe ? state.probe : kernelMouseProbe;
        if (!probe(fd, mouse.description)) {
            close(fd);
            continue;
        }
        mouse.fd = fd;
        state.mice.push_back(mouse);
    }
    if (state.mice.empty())
        logMessage("No mouse in \"" + state.folder + "\" can be read on its own (" +
                   std::to_string(refused) + " input device(s) refused by their permissions); the system mouse is used.");
    else
        logMessage("Mice read on their own: " + std::to_string(state.mice.size()));
    return int(state.mice.size());
}

void evdevQuit() { closeMice(evdev()); }

const char* evdevName(unsigned index) {
    const EvdevState& state = evdev();
    return index < state.mice.size() ? state.mice[index].description.c_str() : nullptr;
}

int evdevPoll(platform::MultiMouseEvent* event) {
    EvdevState& state = evdev();
    {
        std::lock_guard<std::mutex> lock(state.ringLock);
        if (popLocked(state, *event))
            return 1;
    }
    readMice(state);
    std::lock_guard<std::mutex> lock(state.ringLock);
    return popLocked(state, *event) ? 1 : 0;
}

const platform::MultiMouseDriver evdevDriver = {"Linux event device interface", evdevInit, evdevQuit, evdevName,
                                                evdevPoll};

} // namespace

const platform::MultiMouseDriver& driver() { return evdevDriver; }

void installDrivers() { platform::setMultiMouseDrivers({nullptr, nullptr, &evdevDriver, nullptr}); }

void setInputFolder(const std::string& folder) { evdev().folder = folder; }

void setMouseProbe(std::function<bool(int fd, std::string& description)> probe) { evdev().probe = std::move(probe); }

void resetForTests() {
    EvdevState& state = evdev();
    closeMice(state);
    state.folder = "/dev/input";
    state.probe = nullptr;
    std::lock_guard<std::mutex> lock(state.ringLock);
    state.readIndex = state.writeIndex = 0;
}

void pushEvent(const platform::MultiMouseEvent& event) {
    EvdevState& state = evdev();
    std::lock_guard<std::mutex> lock(state.ringLock);
    pushLocked(state, event);
}

int pendingEvents() {
    EvdevState& state = evdev();
    std::lock_guard<std::mutex> lock(state.ringLock);
    return (state.writeIndex - state.readIndex + ringSize) % ringSize;
}

} // namespace evdevMice
