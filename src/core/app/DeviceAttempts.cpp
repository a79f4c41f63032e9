#include "core/app/DeviceAttempts.h"

#include "core/Log.h"

#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace deviceAttempts {
namespace {

// Holds the engine's log lines of one attempt until it is known whether they count.
class HeldLines : public irr::IEventReceiver {
public:
    explicit HeldLines(irr::IEventReceiver* receiver) : receiver(receiver) {}

    bool OnEvent(const irr::SEvent& event) override {
        if (event.EventType != irr::EET_LOG_TEXT_EVENT)
            return receiver && receiver->OnEvent(event);
        lines.emplace_back(event.LogEvent.Text ? event.LogEvent.Text : "", event.LogEvent.Level);
        return true;
    }

    void pass() {
        for (const auto& [text, level] : lines) {
            irr::SEvent event{};
            event.EventType = irr::EET_LOG_TEXT_EVENT;
            event.LogEvent.Text = text.c_str();
            event.LogEvent.Level = level;
            // Unhandled, the line goes to the terminal as the engine would print it.
            if (!receiver || !receiver->OnEvent(event))
                writeLogLineToTerminal(text.c_str());
        }
        lines.clear();
    }

    void forget() { lines.clear(); }

private:
    irr::IEventReceiver* receiver;
    std::vector<std::pair<std::string, irr::ELOG_LEVEL>> lines;
};

} // namespace

irr::IrrlichtDevice* create(irr::SIrrlichtCreationParameters params, int attempts, Creator create) {
    irr::IEventReceiver* receiver = params.EventReceiver;
    HeldLines held(receiver);
    params.EventReceiver = &held;
    irr::IrrlichtDevice* device = nullptr;
    for (int attempt = 1;; ++attempt) {
        device = create(params);
        if (device || params.DriverType == irr::video::EDT_NULL || attempt >= attempts) {
            held.pass();
            break;
        }
        held.forget();
        logMessage("The display did not take the game's window; asking again.");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (device)
        device->setEventReceiver(receiver);
    return device;
}

} // namespace deviceAttempts
