#include "core/app/DeviceAttempts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct RecordingReceiver : irr::IEventReceiver {
    bool OnEvent(const irr::SEvent& event) override {
        if (event.EventType == irr::EET_LOG_TEXT_EVENT)
            lines.push_back(event.LogEvent.Text);
        return true;
    }
    std::vector<std::string> lines;
};

// A display that refuses the window `refusals` times: each attempt logs a line as the
// engine does, then fails, or gives a device on the null driver.
int refusals = 0;
int calls = 0;
irr::IrrlichtDevice* busyDisplay(const irr::SIrrlichtCreationParameters& params) {
    ++calls;
    irr::SEvent line{};
    line.EventType = irr::EET_LOG_TEXT_EVENT;
    const std::string text = "attempt " + std::to_string(calls);
    line.LogEvent.Text = text.c_str();
    line.LogEvent.Level = irr::ELL_ERROR;
    params.EventReceiver->OnEvent(line);
    if (calls <= refusals)
        return nullptr;
    irr::SIrrlichtCreationParameters null = params;
    null.DriverType = irr::video::EDT_NULL;
    null.LoggingLevel = irr::ELL_NONE;
    return irr::createDeviceEx(null);
}

// Only the last attempt's lines are passed on, and the device made sends its events to the
// game's receiver; the null driver is not asked again.
TEST(DeviceAttemptsTest, OnlyTheLastAttemptsLinesArePassedOn) {
    const struct Row {
        irr::video::E_DRIVER_TYPE driver;
        int refusals;
        int calls;
        bool made;
    } rows[] = {
        {irr::video::EDT_OPENGL, 0, 1, true},  {irr::video::EDT_OPENGL, 1, 2, true},
        {irr::video::EDT_OPENGL, 4, 5, true},  {irr::video::EDT_OPENGL, 5, 5, false},
        {irr::video::EDT_NULL, 1, 1, false},
    };
    for (const Row& row : rows) {
        RecordingReceiver receiver;
        irr::SIrrlichtCreationParameters params;
        params.DriverType = row.driver;
        params.EventReceiver = &receiver;
        refusals = row.refusals;
        calls = 0;
        irr::IrrlichtDevice* device = deviceAttempts::create(params, 5, busyDisplay);
        EXPECT_EQ(calls, row.calls) << row.refusals;
        EXPECT_EQ(receiver.lines, std::vector<std::string>{"attempt " + std::to_string(row.calls)}) << row.refusals;
        ASSERT_EQ(device != nullptr, row.made) << row.refusals;
        if (device) {
            EXPECT_EQ(device->getEventReceiver(), &receiver);
            device->getLogger()->setLogLevel(irr::ELL_INFORMATION);
            device->getLogger()->log("later", irr::ELL_ERROR);
            EXPECT_EQ(receiver.lines.back(), "later");
            device->drop();
        }
    }
}

} // namespace
