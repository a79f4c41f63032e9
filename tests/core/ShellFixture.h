#pragma once

#include "core/ShellHooks.h"

#include "support/TempDir.h"

#include <IEventReceiver.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// A game-shell test: a temporary working folder holding a settings file and a link to the
// repository's Content/, program flags back at their start values, and every hook slot
// filled with a recording stand-in (creation slots answer stand-in pointers that are never
// dereferenced). Slots a test wants different it sets again.
class ShellFixture : public ::testing::Test {
protected:
    ShellFixture();
    ~ShellFixture() override;

    // Writes "PaddlestoneConfig.xml" with the game's defaults, the null video driver and
    // vsync off; `adjust` may change more keys (through setSetting*) before it is written.
    void writeSettings(const std::function<void()>& adjust = {});
    // Fills every slot with a recorder; the names in the trace are "<group>.<slot>".
    void recordAllHooks();
    void clearTrace() { trace.clear(); }
    // The trace entries that belong to one group ("physics." ...), in order.
    std::vector<std::string> traceOf(const std::string& prefix) const;
    // Lines of the log file (without the time prefix).
    std::vector<std::string> logLines() const;
    // The start-up's named lines, in the order start-up logs them.
    static const std::vector<std::string> startUpLines;
    // The lines of the log file that are start-up lines, in the file's order.
    std::vector<std::string> startUpLinesInLog() const;

    // Stand-in managers: addresses that only have to be distinct and non-null.
    template <class T>
    static T* standIn(int which) {
        return reinterpret_cast<T*>(&standInStorage[which]);
    }

    // Does with the engine's log lines what the input manager does: into the log file. The
    // start-up lines ("Creating ...", "Initializing ...") and errors also go into the trace,
    // as "log:<line>", so that their order among the hook calls can be checked.
    class LogReceiver : public irr::IEventReceiver {
    public:
        explicit LogReceiver(std::vector<std::string>& trace) : trace(trace) {}
        bool OnEvent(const irr::SEvent& event) override;

    private:
        std::vector<std::string>& trace;
    };

    test::TempDir dir;
    std::unique_ptr<test::ScopedWorkingDir> workingDir;
    std::vector<std::string> trace;
    LogReceiver receiver{trace};

    // Answers of the recorded query slots.
    bool inputAllowed = true;
    bool gameUpdateAllowed = true;
    bool keepsTimerRunning = false;
    float overlayBlend = 0.0f;
    bool physicsInitSucceeds = true;

private:
    static inline double standInStorage[16] = {};
};
