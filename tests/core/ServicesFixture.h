#pragma once

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/CoreSlots.h"

#include "support/NullDevice.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// An event receiver for a test's engine device that keeps every log line it is handed.
class LogRecorder : public irr::IEventReceiver {
public:
    bool OnEvent(const irr::SEvent& event) override {
        if (event.EventType == irr::EET_LOG_TEXT_EVENT)
            lines.emplace_back(event.LogEvent.Text);
        return true;
    }
    bool loggedStartingWith(const std::string& start) const {
        for (const std::string& line : lines)
            if (line.rfind(start, 0) == 0)
                return true;
        return false;
    }
    std::vector<std::string> lines;
};

// A test of one of the shell's own managers: the default settings (file in a temporary
// folder) as the program's settings, a null engine device that records the log lines as the
// program's device, and empty core slots.
class ServicesFixture : public ::testing::Test {
protected:
    void SetUp() override {
        settings->load(true);
        gameSettings = settings.get();
        gameDevice = device.get();
        resetCoreSlots();
    }
    void TearDown() override {
        resetCoreSlots();
        gameDevice = nullptr;
        gameSettings = nullptr;
    }

    test::TempDir dir;
    // Made before the device: every engine device takes over the engine's one logger.
    std::unique_ptr<GameSettings> settings =
        std::make_unique<GameSettings>(dir.file("PaddlestoneConfig.xml"));
    LogRecorder log;
    test::NullDevice device{&log};
};
