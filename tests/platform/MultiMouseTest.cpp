#include "platform/MultiMouse.h"

#include <gtest/gtest.h>

namespace {

using platform::MultiMouseDriver;
using platform::MultiMouseEvent;

int quitCalls = 0;
int refuseToStart() { return -1; }
int noMice() { return 0; }
int twoMice() { return 2; }
void countQuit() { ++quitCalls; }
int eventOfMouseOne(MultiMouseEvent* event) {
    event->device = 1;
    return 1;
}
int noEvent(MultiMouseEvent*) { return 0; }

const MultiMouseDriver refusing{"refusing", refuseToStart, countQuit, nullptr, eventOfMouseOne};
const MultiMouseDriver empty{"empty", noMice, countQuit, nullptr, noEvent};
const MultiMouseDriver two{"two", twoMice, countQuit, nullptr, eventOfMouseOne};

class MultiMouseTest : public ::testing::Test {
protected:
    void SetUp() override { quitCalls = 0; }
    void TearDown() override {
        platform::releaseMultiMouseDriver();
        platform::setMultiMouseDrivers({});
    }
};

TEST_F(MultiMouseTest, TheFirstDriverThatStartsIsSelectedAndReleasedOnce) {
    platform::setMultiMouseDrivers({nullptr, &refusing, &two, &empty});
    EXPECT_EQ(platform::selectMultiMouseDriver(), 2);
    EXPECT_EQ(platform::selectedMultiMouseDriver(), &two);
    MultiMouseEvent event;
    ASSERT_TRUE(platform::pollMultiMouse(event));
    EXPECT_EQ(event.device, 1u);
    platform::releaseMultiMouseDriver();
    EXPECT_EQ(quitCalls, 1);
    EXPECT_EQ(platform::selectedMultiMouseDriver(), nullptr);
    EXPECT_FALSE(platform::pollMultiMouse(event));
    platform::releaseMultiMouseDriver();
    EXPECT_EQ(quitCalls, 1);
}

TEST_F(MultiMouseTest, ADriverWithoutMiceStartsAndOneThatRefusesLeavesNoneSelected) {
    platform::setMultiMouseDrivers({&empty, &two});
    EXPECT_EQ(platform::selectMultiMouseDriver(), 0);
    EXPECT_EQ(platform::selectedMultiMouseDriver(), &empty);
    MultiMouseEvent event;
    EXPECT_FALSE(platform::pollMultiMouse(event));
    // Selecting again quits the driver in use first.
    platform::setMultiMouseDrivers({&refusing});
    EXPECT_EQ(platform::selectMultiMouseDriver(), -1);
    EXPECT_EQ(quitCalls, 1);
    EXPECT_EQ(platform::selectedMultiMouseDriver(), nullptr);
}

} // namespace
