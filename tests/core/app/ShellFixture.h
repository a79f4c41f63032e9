#pragma once

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Watches a started game from inside (ShellFixture::attachProbe): the level manager's
// end-of-update list counts the frames that updated the level, a GUI element on the root
// (without an id: it holds no gate) the frames whose GUI was drawn. Each count calls its
// callback after it.
struct FrameProbe {
    int updates = 0;
    int draws = 0;
    std::function<void()> onUpdate;
    std::function<void()> onDraw;
    void endOfUpdate();
    void drawn();
};

// A game-shell test: a temporary working folder holding a settings file (the null video
// driver) and a link to the repository's Content/, the player's files in that folder too,
// program flags back at their start values, and the game's registrations (as main() makes
// them) in the slot tables.
class ShellFixture : public ::testing::Test {
public:
    // Lines of the log file at the path (without the time prefix).
    static std::vector<std::string> logLinesOf(const std::string& path);

protected:
    ShellFixture();
    ~ShellFixture() override;
    // Empties the slot tables the registrations fill.
    static void resetAllSlots();

    // Writes "PaddlestoneConfig.xml" with the game's defaults, the null video driver and
    // vsync off; `adjust` may change more keys (through setSetting*) before it is written.
    void writeSettings(const std::function<void()>& adjust = {});
    // Lines of the log file (without the time prefix).
    std::vector<std::string> logLines() const;
    // The start-up's named lines, in the order start-up logs them.
    static const std::vector<std::string> startUpLines;
    // The lines of the log file that are start-up lines, in the file's order.
    std::vector<std::string> startUpLinesInLog() const;

    // Hangs the probe into the started game; the game's shutdown takes it out again.
    void attachProbe();

    test::TempDir dir;
    std::unique_ptr<test::ScopedWorkingDir> workingDir;
    FrameProbe probe;

private:
    test::ScopedEnv dataHome{"XDG_DATA_HOME", (dir.path() / "data").string()};
};
