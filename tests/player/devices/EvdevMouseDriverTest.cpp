#include "player/devices/EvdevMouseDriver.h"

#include "support/TempDir.h"

#include "../InputTestSupport.h"

#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Mice stood in for by named pipes in a folder of their own: the test writes kernel events
// into them as the kernel would into its event devices.
class EvdevMouseDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        evdevMice::resetForTests();
        evdevMice::setInputFolder(dir.path().string());
        test::probePipesAsMice();
        evdevMice::installDrivers();
    }
    void TearDown() override {
        platform::releaseMultiMouseDriver();
        for (int fd : writers)
            close(fd);
        platform::setMultiMouseDrivers({});
        evdevMice::resetForTests();
    }
    // Makes the pipe "eventN"; the writer end is opened once the driver reads it.
    void addPipe(const std::string& name) { ASSERT_EQ(mkfifo((dir.path() / name).c_str(), 0600), 0); }
    int openWriter(const std::string& name) {
        const int fd = open((dir.path() / name).c_str(), O_WRONLY | O_NONBLOCK);
        writers.push_back(fd);
        return fd;
    }
    static void send(int fd, std::vector<input_event> events) {
        input_event sync{};
        sync.type = EV_SYN;
        events.push_back(sync);
        ASSERT_EQ(write(fd, events.data(), events.size() * sizeof(input_event)),
                  ssize_t(events.size() * sizeof(input_event)));
    }
    static input_event kernelEvent(int type, int code, int value) {
        input_event event{};
        event.type = std::uint16_t(type);
        event.code = std::uint16_t(code);
        event.value = value;
        return event;
    }
    std::vector<platform::MultiMouseEvent> drain() {
        std::vector<platform::MultiMouseEvent> events;
        platform::MultiMouseEvent event;
        while (platform::pollMultiMouse(event))
            events.push_back(event);
        return events;
    }

    test::TempDir dir;
    std::vector<int> writers;
};

TEST_F(EvdevMouseDriverTest, TwoMiceAreReadApart) {
    addPipe("event10");
    addPipe("event2");
    std::ofstream(dir.path() / "event3") << "not a mouse"; // skipped by the probe
    ASSERT_EQ(platform::selectMultiMouseDriver(), 2);
    const platform::MultiMouseDriver* driver = platform::selectedMultiMouseDriver();
    ASSERT_NE(driver, nullptr);
    EXPECT_STREQ(driver->mouseName(0), "Pipe mouse");
    EXPECT_EQ(driver->mouseName(2), nullptr);
    // Mouse 0 is event2, mouse 1 is event10.
    const int second = openWriter("event10");
    const int first = openWriter("event2");
    send(first, {kernelEvent(EV_REL, REL_X, 5), kernelEvent(EV_REL, REL_Y, -3), kernelEvent(EV_KEY, BTN_LEFT, 1),
                 kernelEvent(EV_KEY, BTN_RIGHT, 0)});
    send(second, {kernelEvent(EV_REL, REL_X, 7), kernelEvent(EV_REL, REL_WHEEL, -2), kernelEvent(EV_KEY, BTN_LEFT, 2),
                  kernelEvent(EV_KEY, BTN_EXTRA, 1)});
    const std::vector<platform::MultiMouseEvent> events = drain();
    using E = platform::MultiMouseEvent;
    const std::vector<std::vector<std::int64_t>> expected = {
        {E::Relative, 0, 0, 5}, {E::Relative, 0, 1, -3}, {E::Button, 0, 0, 1}, {E::Button, 0, 1, 0},
        {E::Relative, 1, 0, 7}, {E::Scroll, 1, 0, -1},   {E::Button, 1, 4, 1}};
    std::vector<std::vector<std::int64_t>> got;
    for (const E& event : events)
        got.push_back({event.type, event.device, event.item, event.value});
    EXPECT_EQ(got, expected);
}

TEST_F(EvdevMouseDriverTest, FallsBackToTheSystemMouse) {
    // No mouse that can be read: selected with none, one information line (most players
    // may not read their input devices: no warning).
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(platform::selectMultiMouseDriver(), 0);
    const std::string log = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("the system mouse is used"), std::string::npos) << log;
    EXPECT_EQ(log.find("Warning: "), std::string::npos) << log;
    EXPECT_TRUE(drain().empty());
    platform::releaseMultiMouseDriver();
    // No folder at all: no driver starts.
    evdevMice::setInputFolder((dir.path() / "missing").string());
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(platform::selectMultiMouseDriver(), -1);
    EXPECT_EQ(::testing::internal::GetCapturedStdout().find("Warning: "), std::string::npos);
    EXPECT_EQ(platform::selectedMultiMouseDriver(), nullptr);
}

TEST_F(EvdevMouseDriverTest, AFullRingKeepsTheNewest1023) {
    for (int n = 0; n < 1100; ++n) {
        platform::MultiMouseEvent event;
        event.value = n;
        evdevMice::pushEvent(event);
    }
    EXPECT_EQ(evdevMice::pendingEvents(), 1023);
    addPipe("event0");
    ASSERT_EQ(platform::selectMultiMouseDriver(), 1); // starting empties the ring
    EXPECT_EQ(evdevMice::pendingEvents(), 0);
}

} // namespace
