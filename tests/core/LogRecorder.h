#pragma once

#include <IEventReceiver.h>

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
