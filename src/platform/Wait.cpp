#include "platform/Wait.h"

#include <chrono>
#include <thread>

namespace platform {

void waitSeconds(double seconds) {
    if (!(seconds > 0.0))
        return;
    using Clock = std::chrono::steady_clock;
    const auto deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    // A sleeper wakes up to a few hundred microseconds late; the last stretch is yielded.
    const auto margin = std::chrono::microseconds(500);
    if (deadline - Clock::now() > margin)
        std::this_thread::sleep_until(deadline - margin);
    while (Clock::now() < deadline)
        std::this_thread::yield();
}

} // namespace platform
