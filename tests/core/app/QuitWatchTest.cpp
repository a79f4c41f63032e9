// The quit signals as a process meets them, each case in a child process of its own: the
// watch cutting a late end at the stage it reached, standard output closed or full, and a
// SIGTERM at any moment of a large level's load, of a frame or of the shutdown.
#include "ShellFixture.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/Log.h"
#include "core/ProcessGuards.h"
#include "core/app/GameApplication.h"
#include "level/LevelHooks.h"
#include "level/LevelManager.h"
#include "level/SaveManager.h"
#include "player/ConfigTentMovementObject.h"
#include "render/EffectHandler.h"
#include "render/RenderServices.h"
#include "support/GivenTime.h"

#include <irrlicht.h>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>

// Last: its macros would rename words of the headers above.
#include <X11/Xlib.h>

namespace {

using Clock = std::chrono::steady_clock;

// How a child ended, and how long after the moment it marked (-1: never), on the wall clock and
// in the time the machine gave it.
struct ChildEnd {
    int status = -1; // the exit status; 128 + the signal when a signal ended it
    std::optional<test::GivenTime> sinceMark;
    double secondsAfterMark() const { return sinceMark ? sinceMark->wallSeconds() : -1.0; }
    double givenSecondsAfterMark() const { return sinceMark ? sinceMark->seconds() : -1.0; }
};

// The child's own readings at its mark: a parent reading late must not shorten the time.
struct Mark {
    std::int64_t ticks = 0; // the steady clock, one for every process
    test::SchedCounts counts;
};

// The child marks the moment the parent times from, then raises the signal.
void markAndRaise(int markFd, int signal = SIGTERM) {
    const Mark mark{Clock::now().time_since_epoch().count(), test::ownSchedCounts()};
    [[maybe_unused]] const ssize_t written = ::write(markFd, &mark, sizeof mark);
    std::raise(signal);
}

// Runs `body` in a child process (it ends with _exit) and waits for it, at most boundSeconds
// of given time after the mark (then the child is killed and the answer has status -1).
ChildEnd runChild(const std::function<void(int markFd)>& body, double boundSeconds = 60.0) {
    int marks[2];
    if (::pipe(marks) != 0)
        return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(marks[0]);
        body(marks[1]);
        ::_exit(99);
    }
    ::close(marks[1]);
    ChildEnd end;
    if (child < 0) {
        ::close(marks[0]);
        return end;
    }
    Mark mark;
    const bool marked = ::read(marks[0], &mark, sizeof mark) == static_cast<ssize_t>(sizeof mark);
    ::close(marks[0]);
    test::GivenTime sinceMark = marked ? test::GivenTime::ofProcessSince(child, Clock::time_point(Clock::duration(mark.ticks)),
                                                                         mark.counts)
                                       : test::GivenTime::ofProcess(child);
    while (!test::hasEndedUnreaped(child)) {
        if (sinceMark.seconds() > boundSeconds) {
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
            return end;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    sinceMark.stop();
    int status = 0;
    ::waitpid(child, &status, 0);
    if (marked)
        end.sinceMark = sinceMark;
    end.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return end;
}

// Fills the pipe that standard output now writes to, so that the next write blocks.
bool fillStandardOutput() {
    int ends[2];
    if (::pipe(ends) != 0 || ::dup2(ends[1], STDOUT_FILENO) < 0)
        return false;
    const int flags = ::fcntl(STDOUT_FILENO, F_GETFL);
    ::fcntl(STDOUT_FILENO, F_SETFL, flags | O_NONBLOCK);
    const std::string block(4096, 'x');
    while (::write(STDOUT_FILENO, block.data(), block.size()) > 0) {
    }
    ::fcntl(STDOUT_FILENO, F_SETFL, flags);
    return true;
}

class QuitWatchTest : public ShellFixture {};

// The watch gives the orderly end its grace; then it writes the copies it holds and ends the
// process, unless the shutdown has written the player's files: then status 0, its own line
// before the log's closing line and none after it. A closing line being written when the grace
// runs out is waited for. A start-up has half the grace, or a few hundredths of a second of the
// processor once its step computes, and its end is the orderly one: the copies, the quit's line
// and the closing line, last even while the main thread goes on writing lines, and status 0;
// before its log is opened it has the whole grace, and its end is a late one. The child never
// ends by itself: the status says what the watch did.
TEST_F(QuitWatchTest, ALateEndIsCutAtTheStageItReached) {
    enum Stage {
        startingUp,
        startingUpWithoutLog,
        computingStartUp,
        running,
        filesWritten,
        writingClosingLine,
        closingLineWritten,
        done
    };
    const struct {
        const char* name;
        Stage stage;
        bool standardOutputFull;
        bool copyWritable;
        int status;
    } cases[] = {
        {"a start-up step that does not return", startingUp, false, true, 0},
        // Given a minute of grace: only the processor's time ends it.
        {"a start-up step that computes and writes lines", computingStartUp, false, true, 0},
        {"a start-up whose copy cannot be written", startingUp, false, false, 128 + SIGTERM},
        {"a start-up before its log", startingUpWithoutLog, false, true, 128 + SIGTERM},
        {"a frame that does not return", running, false, true, 128 + SIGTERM},
        {"a frame stuck writing to a full standard output", running, true, true, 128 + SIGTERM},
        {"a copy that cannot be written", running, false, false, 128 + SIGTERM},
        {"a shutdown past the player's files", filesWritten, false, true, 0},
        {"a closing line that does not end", writingClosingLine, false, true, 0},
        {"a shutdown past its closing line", closingLineWritten, false, true, 0},
        {"an orderly end that is done", done, false, true, 0},
    };
    constexpr int grace = 300;
    const std::string log = dir.file("PaddlestoneLog.txt");
    const std::string settings = dir.file("Settings.xml");
    for (const auto& c : cases) {
        std::filesystem::remove(settings);
        const std::string lastLine = c.stage <= filesWritten ? "Playing." : "Shutting down.";
        ASSERT_TRUE(test::writeFileBytes(log, "[1:2:3] " + lastLine + "\r\n"));
        const ChildEnd end = runChild(
            [&](int markFd) {
                installQuitSignalHandlers(c.stage == computingStartUp ? 60000 : grace);
                if (c.stage <= computingStartUp)
                    markStartingUp();
                setForcedEndLogFile(c.stage == startingUpWithoutLog ? std::string() : log);
                setForcedEndFile(c.copyWritable ? settings : dir.file("Missing/Settings.xml"), "<Game />");
                if (c.stage >= filesWritten)
                    markPlayerFilesWritten();
                if (c.stage == writingClosingLine)
                    writeClosingLine([markFd] {
                        markAndRaise(markFd);
                        for (;;)
                            ::pause(); // a write of the log's closing line that never returns
                    });
                if (c.stage >= closingLineWritten)
                    writeClosingLine([] {});
                if (c.stage == done)
                    markOrderlyEndDone();
                if (c.standardOutputFull && !fillStandardOutput())
                    ::_exit(98);
                // The engine's lines of a step that does not look at the quit go on.
                const int ownLog = ::open(log.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
                markAndRaise(markFd);
                if (c.standardOutputFull)
                    writeLogLineToTerminal("A line that waits for the reader."); // blocks, holding the output
                const std::string engineLine = "[1:2:3] Loaded texture.\r\n";
                while (c.stage == computingStartUp) {
                    [[maybe_unused]] const ssize_t written = ::write(ownLog, engineLine.data(), engineLine.size());
                }
                for (;;)
                    ::pause(); // a frame, or what is left of the process, that does not return
            },
            30.0);
        ASSERT_EQ(end.status, c.status) << c.name;
        // Not before the grace.
        if (c.stage != computingStartUp) {
            EXPECT_GE(end.secondsAfterMark(), (c.stage == startingUp ? grace / 2 : grace) / 1000.0 - 0.02) << c.name;
        }

        const std::vector<std::string> lines = logLines();
        ASSERT_FALSE(lines.empty()) << c.name;
        const std::string line = lines.back();
        if (c.stage == startingUpWithoutLog) {
            EXPECT_EQ(line, lastLine) << c.name;
            EXPECT_EQ(test::readFileBytes(settings), "<Game />") << c.name;
            continue;
        }
        if (c.stage <= computingStartUp && c.copyWritable) {
            ASSERT_GE(lines.size(), 2u);
            EXPECT_EQ(lines[lines.size() - 2], "Quit signal received.") << c.name;
            EXPECT_EQ(line, "Shutting down.") << c.name;
            EXPECT_EQ(test::readFileBytes(settings), "<Game />") << c.name;
            continue;
        }
        if (c.stage > running) {
            EXPECT_EQ(line, c.stage == filesWritten ? "The game did not end within 300 ms of signal 15; the player's "
                                                      "files are written, ending it now."
                                                    : lastLine)
                << c.name;
            EXPECT_FALSE(std::filesystem::exists(settings)) << c.name;
            continue;
        }
        EXPECT_EQ(line.rfind(c.stage == startingUp ? "ERROR: The start-up did not stop at signal 15 (\""
                                                   : "ERROR: The game did not end within 300 ms of signal 15 (\"",
                             0),
                  0u)
            << line;
        EXPECT_NE(line.find(c.copyWritable ? "\" saved); ending it now." : "\" not saved: temporary file: "),
                  std::string::npos)
            << line;
        EXPECT_EQ(test::readFileBytes(settings), c.copyWritable ? "<Game />" : "") << c.name;
    }
}

// A movement tuning (freed after the player's files) whose going never ends, a quit signal then.
struct StuckMovement : ConfigTentMovementObject {
    StuckMovement(irr::scene::ISceneManager* scene, int markFd)
        : ConfigTentMovementObject(nullptr, scene, -1), markFd(markFd) {}
    ~StuckMovement() override {
        markAndRaise(markFd);
        for (;;)
            ::pause();
    }
    int markFd;
};

// A watch that runs out once the settings and the save are on the disk ends the game with
// status 0 and says so, writing nothing over them.
TEST_F(QuitWatchTest, AShutdownStuckPastThePlayersFilesEndsWithStatusZero) {
    const ChildEnd end = runChild([](int markFd) {
        GameApplication game;
        if (!game.startUp())
            ::_exit(98);
        installQuitSignalHandlers(300);
        movementObject->drop();
        movementObject = new StuckMovement(gameDevice->getSceneManager(), markFd);
        saveManager->setAutoSavePath(L"Asked.irr", false);
        setSettingInt("Graphics_Quality", 3);
        game.shutdownGame();
        ::_exit(97);
    });
    ASSERT_EQ(end.status, 0);
    EXPECT_GE(end.secondsAfterMark(), 0.3 - 0.02);
    EXPECT_NE(test::readFileBytes(dir.file("data/Paddlestone/save.tsav")).find("Asked.irr"), std::string::npos);
    EXPECT_NE(test::readFileBytes(dir.file("PaddlestoneConfig.xml")).find("name=\"Graphics_Quality\" value=\"3\""),
              std::string::npos);
    EXPECT_EQ(logLines().back(),
              "The game did not end within 300 ms of signal 15; the player's files are written, ending it now.");
}

// After a quit signal the game program ends the process at the log's closing line, the
// settings and the save written; a game that did not ask for it (a test's) tears down and goes
// on.
TEST_F(QuitWatchTest, AfterAQuitSignalTheGameProgramEndsAtItsClosingLine) {
    for (const bool asked : {true, false}) {
        const ChildEnd end = runChild([asked](int) {
            setQuitEndsAtClosingLine(asked);
            GameApplication game;
            if (!game.startUp())
                ::_exit(98);
            installQuitSignalHandlers(60000);
            saveManager->setAutoSavePath(L"Asked.irr", false);
            setSettingInt("Graphics_Quality", 3);
            std::raise(SIGTERM);
            game.shutdownGame();
            ::_exit(levelManager || gameDevice ? 96 : 97); // the shutdown returned, all torn down
        });
        EXPECT_EQ(end.status, asked ? 0 : 97) << asked;
        EXPECT_NE(test::readFileBytes(dir.file("data/Paddlestone/save.tsav")).find("Asked.irr"), std::string::npos)
            << asked;
        EXPECT_NE(test::readFileBytes(dir.file("PaddlestoneConfig.xml")).find("name=\"Graphics_Quality\" value=\"3\""),
                  std::string::npos)
            << asked;
        EXPECT_EQ(logLines().back(), "Shutting down.") << asked;
    }
}

// The game program itself asks for that end: a quit signal (one held back before the program
// ran, as the launcher holds it) ends it at the closing line, with status 0, without tearing
// down.
TEST_F(QuitWatchTest, TheGameProgramEndsAQuitAtItsClosingLine) {
    const ChildEnd end = runChild([](int) {
        sigset_t quit;
        sigemptyset(&quit);
        sigaddset(&quit, SIGTERM);
        if (::pthread_sigmask(SIG_BLOCK, &quit, nullptr) != 0 || std::raise(SIGTERM) != 0)
            ::_exit(98);
        runGameProgram("");
        ::_exit(97); // the program returned: it tore everything down
    });
    EXPECT_EQ(end.status, 0);
    EXPECT_EQ(logLines().back(), "Shutting down.");
}

// Once the start-up is done, and a frame's drawing, a game that does not return after a quit
// signal is the watch's late end (its ERROR line, 128 + the signal), not an end in order.
TEST_F(QuitWatchTest, AGameHungInPlayAfterAQuitSignalIsALateEnd) {
    const ChildEnd end = runChild([](int markFd) {
        installQuitSignalHandlers(300);
        GameApplication game;
        if (!game.startUp())
            ::_exit(98);
        game.renderGame();
        markAndRaise(markFd);
        for (;;)
            ::pause();
    });
    EXPECT_EQ(end.status, 128 + SIGTERM);
    EXPECT_EQ(logLines().back().rfind("ERROR: The game did not end within 300 ms of signal 15 (", 0), 0u)
        << logLines().back();
}

int drawMarkFd = -1;
void raiseInADrawThatNeverEnds() {
    markAndRaise(drawMarkFd);
    for (;;)
        ::pause();
}

// A frame's draw that does not return after a quit signal (the driver building the programs
// of a level's first frames on a busy machine): the watch ends the game in order, as a
// start-up's, with the settings written, the quit's line and "Shutting down." last, status 0.
TEST_F(QuitWatchTest, AQuitWhileAFrameDrawsEndsTheGameInOrder) {
    const ChildEnd end = runChild([](int markFd) {
        installQuitSignalHandlers(300);
        GameApplication game;
        if (!game.startUp())
            ::_exit(98);
        std::filesystem::remove("PaddlestoneConfig.xml");
        drawMarkFd = markFd;
        effectHandler->renderCallbacksEnabled = true;
        effectHandler->renderCallbacks.addFunction(&raiseInADrawThatNeverEnds);
        game.renderGame();
        ::_exit(97);
    });
    EXPECT_EQ(end.status, 0);
    const std::vector<std::string> lines = logLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "Quit signal received.");
    EXPECT_EQ(lines.back(), "Shutting down.");
    EXPECT_NE(test::readFileBytes(dir.file("PaddlestoneConfig.xml")).find("</Game>"), std::string::npos);
}

// A quit signal after the first, of any kind, changes nothing: the game goes on to its end in
// order (before, a second one ended it by the default action, its files unwritten).
TEST_F(QuitWatchTest, QuitSignalsAfterTheFirstChangeNothing) {
    const ChildEnd end = runChild([](int) {
        installQuitSignalHandlers(60000);
        for (int signal : {SIGTERM, SIGTERM, SIGINT, SIGINT, SIGHUP})
            std::raise(signal);
        ::_exit(quitSignalNumber());
    });
    EXPECT_EQ(end.status, SIGTERM);
}

// The display going away under the game ends it at once, with the save asked for in the frame
// written beside the settings.
TEST_F(QuitWatchTest, ALostDisplayWritesTheSaveAskedForInTheFrame) {
    const ChildEnd end = runChild([](int) {
        GameApplication game;
        if (!game.startUp())
            ::_exit(98);
        saveManager->setAutoSavePath(L"Asked.irr", false);
        // What the window system's library calls when the connection breaks.
        const XIOErrorHandler lost = XSetIOErrorHandler(nullptr);
        if (lost)
            lost(nullptr);
        ::_exit(97);
    });
    ASSERT_EQ(end.status, gameStatusDisplayLost);
    EXPECT_NE(test::readFileBytes(dir.file("data/Paddlestone/save.tsav")).find("Asked.irr"), std::string::npos);
    EXPECT_EQ(logLines().back(), "ERROR: The connection to the display was lost (\"" + dir.file("PaddlestoneConfig.xml") +
                                     "\" saved); ending it now.");
}

// A launcher that has gone or `| head` closes standard output: the game goes on (without the
// handlers installed, the first write ends it).
TEST_F(QuitWatchTest, AClosedStandardOutputDoesNotEndTheGame) {
    for (const bool installed : {true, false}) {
        const ChildEnd end = runChild([installed](int) {
            std::signal(SIGPIPE, SIG_DFL);
            if (installed)
                installQuitSignalHandlers(60000);
            int ends[2];
            if (::pipe(ends) != 0 || ::dup2(ends[1], STDOUT_FILENO) < 0)
                ::_exit(98);
            ::close(ends[0]);
            for (int line = 0; line < 3; ++line)
                writeLogLineToTerminal("A line nobody reads.");
            ::_exit(0);
        });
        EXPECT_EQ(end.status, installed ? 0 : 128 + SIGPIPE) << installed;
    }
}

// The watch's own line never waits for standard output: false at once while another thread
// holds it or the pipe is full.
TEST_F(QuitWatchTest, TheWatchLineNeverWaitsForStandardOutput) {
    const ChildEnd end = runChild([](int) {
        int ends[2];
        if (::pipe(ends) != 0 || ::dup2(ends[1], STDOUT_FILENO) < 0)
            ::_exit(98);
        const bool freeWritten = writeLogLineToTerminalWithoutWaiting("Free.");
        if (!fillStandardOutput())
            ::_exit(98);
        const bool fullWritten = writeLogLineToTerminalWithoutWaiting("Full.");
        ::_exit(freeWritten && !fullWritten ? 0 : 3);
    });
    EXPECT_EQ(end.status, 0);
}

// A large level made of copies of a story level (tools/multiply-level.sh).
class LargeLevelQuitTest : public ShellFixture {
protected:
    static constexpr int copies = 20; // 53 objects each

    std::string makeLevel() {
        const std::string level = dir.file("Large.irr");
        const std::string command = "'" + (test::sourceDir() / "tools/multiply-level.sh").string() + "' '" +
                                    (test::sourceDir() / "Content/Levels/Story_Greenhouse.irr").string() + "' " +
                                    std::to_string(copies) + " '" + level + "' > /dev/null";
        return std::system(command.c_str()) == 0 ? level : std::string();
    }
};

int countNodes(irr::scene::ISceneNode* node) {
    int count = 1;
    for (irr::scene::ISceneNode* child : node->getChildren())
        count += countNodes(child);
    return count;
}

// Raises the signal when the level manager's list calls it.
struct SignalOnCall {
    int markFd = -1;
    void now() { markAndRaise(markFd); }
};

// A SIGTERM while the shaders compile, while the level loads, while frames run or while the
// game shuts down: the game ends in order within 3 s of the time the machine gives it,
// "Shutting down." last in the log and the settings whole (a game cut while the machine
// withheld its grace runs again). The start-up stops between shader programs, a load between
// its objects, and the title level does not load in its place.
TEST_F(LargeLevelQuitTest, ASignalAtAnyMomentEndsTheGameInOrderWithinThreeSeconds) {
    enum Moment { compiling, loading, playing, shuttingDown };
    const struct {
        const char* name;
        Moment moment;
        int object;          // loading: the object read when the signal comes
        double builtAtMost;  // the scene's nodes against those of the whole level
    } cases[] = {
        {"at the first shader program", compiling, 0, 0.0}, // builds nothing
        {"while frames run", playing, 0, 1.0},
        {"in the shutdown", shuttingDown, 0, 1.0},
        {"at the load's first object", loading, 1, 0.01},
        {"in the middle of the load", loading, copies * 53 / 2, 0.6},
    };
    int wholeLevel = 0;
    const std::string level = makeLevel();
    ASSERT_FALSE(level.empty()) << "tools/multiply-level.sh failed";
    const std::string settings = dir.file("PaddlestoneConfig.xml");
    for (const auto& c : cases) {
        // What a case's child writes, if it comes so far before the quit watch ends it.
        std::filesystem::remove(dir.file("Built.txt"));
        std::filesystem::remove(dir.file("Programs.txt"));
        const auto body = [&](int markFd) {
            std::function<void()>& loadingFrame = levelHooks().screens.renderLoadingFrame;
            int objects = 0;
            loadingFrame = [&, draw = loadingFrame] {
                if (draw)
                    draw();
                if (c.moment == loading && ++objects == c.object)
                    markAndRaise(markFd);
            };
            // The shader manager draws a loading frame before each program it compiles. The
            // count is kept as it goes: the quit watch may end the start-up.
            int programsAfterSignal = -1;
            std::function<void()>& shaderFrame = renderServices().screens.renderLoadingFrame;
            shaderFrame = [&, draw = shaderFrame] {
                if (draw)
                    draw();
                if (c.moment != compiling)
                    return;
                test::writeFileBytes("Programs.txt", std::to_string(++programsAfterSignal));
                if (programsAfterSignal == 0)
                    markAndRaise(markFd);
            };
            GameApplication game(level);
            if (c.moment == compiling)
                ::_exit(game.run() == gameStatusNormal ? 0 : 3);
            const bool started = game.startUp();
            if (started)
                test::writeFileBytes("Built.txt", std::to_string(countNodes(gameDevice->getSceneManager()->getRootSceneNode())));
            attachProbe();
            SignalOnCall unloaded{markFd};
            probe.onUpdate = [&] {
                if (probe.updates != 3)
                    return;
                if (c.moment == playing)
                    markAndRaise(markFd);
                if (c.moment == shuttingDown) {
                    QuitRequested = true;
                    levelManager->onLevelUnloaded.addMember(&unloaded, &SignalOnCall::now);
                }
            };
            if (started)
                game.runFrames();
            game.shutdownGame();
            ::_exit(started ? 0 : 3);
        };
        ChildEnd end = runChild(body);
        for (int attempt = 1; attempt < test::attemptsWhileWithheld && end.status == 128 + SIGTERM && end.sinceMark &&
                              test::graceWithheld(*end.sinceMark, quitGraceMilliseconds);
             ++attempt)
            end = runChild(body);
        ASSERT_TRUE(end.sinceMark) << c.name << ": the moment never came (status " << end.status << ")";
        EXPECT_LT(end.givenSecondsAfterMark(), 3.0) << c.name << " (" << end.secondsAfterMark() << " s on the wall clock)";
        ASSERT_EQ(end.status, 0) << c.name;
        EXPECT_EQ(logLines().back(), "Shutting down.") << c.name;
        EXPECT_NE(test::readFileBytes(settings).find("</Game>"), std::string::npos) << c.name;
        const int built = std::atoi(test::readFileBytes(dir.file("Built.txt")).c_str());
        wholeLevel = std::max(wholeLevel, built);
        EXPECT_LE(built, c.builtAtMost * wholeLevel) << c.name;
        if (c.moment == compiling) {
            EXPECT_EQ(test::readFileBytes(dir.file("Programs.txt")), "0") << "no program after the signal";
            const std::vector<std::string> lines = logLines();
            EXPECT_NE(std::find(lines.begin(), lines.end(), "Quit signal received."), lines.end());
            EXPECT_EQ(std::find(lines.begin(), lines.end(), "Initializing ScreenManager."), lines.end())
                << "the start-up stopped";
        }
        if (c.moment != loading)
            continue;
        const std::vector<std::string> lines = logLines();
        EXPECT_NE(std::find(lines.begin(), lines.end(), "Loading stopped, the game is quitting: " + level),
                  lines.end())
            << c.name;
        for (const std::string& line : lines)
            EXPECT_EQ(line.find("MainScreen_Background"), std::string::npos) << c.name << ": " << line;
    }
}

// The last thread of a process whose main thread has ended spins: held off the processor (at
// the lowest priority, on the processor where another process spins), or free to run.
struct LastThread {
    cpu_set_t processor;
    bool heldOff;
};

void* runLastThread(void* argument) {
    const LastThread& last = *static_cast<const LastThread*>(argument);
    if (last.heldOff) {
        ::sched_setaffinity(0, sizeof last.processor, &last.processor);
        // The system call itself: the game's setpriority, linked into this program, keeps a
        // thread at the process's priority, and the thread would then share the processor
        // half and half with the spinning process, on the test's bound.
        ::syscall(SYS_setpriority, PRIO_PROCESS, static_cast<id_t>(::gettid()), 19);
    }
    for (;;)
        asm volatile("" ::: "memory");
}

double runningSecondsOf(pid_t process, pid_t thread) {
    const std::string path = "/proc/" + std::to_string(process) + "/task/" + std::to_string(thread) + "/schedstat";
    return std::strtod(test::readFileBytes(path).c_str(), nullptr) * 1e-9;
}

// The quit tests' clock (support/GivenTime.h) after a process's main thread has ended, while the
// system tears it down: the time its last thread waits for a processor, held off by the
// machine's other work, is not given; the time it runs is.
TEST(GivenTimeTest, AfterTheMainThreadOnlyTheTimeTheOtherThreadsRunIsGiven) {
    cpu_set_t allowed;
    ASSERT_EQ(::sched_getaffinity(0, sizeof allowed, &allowed), 0);
    int cpu = 0;
    while (!CPU_ISSET(cpu, &allowed))
        ++cpu;
    static LastThread last{};
    CPU_ZERO(&last.processor);
    CPU_SET(cpu, &last.processor);
    const pid_t busy = ::fork();
    ASSERT_GE(busy, 0);
    if (busy == 0) {
        ::sched_setaffinity(0, sizeof last.processor, &last.processor);
        for (;;)
            asm volatile("" ::: "memory");
    }
    for (const bool heldOff : {true, false}) {
        last.heldOff = heldOff;
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            pthread_t thread;
            if (::pthread_create(&thread, nullptr, runLastThread, &last) != 0)
                ::_exit(98);
            ::syscall(SYS_exit, 0); // this thread alone, without unwinding into the test's frames
        }
        // From the main thread's end on.
        const std::string stat = "/proc/" + std::to_string(child) + "/stat";
        while (test::readFileBytes(stat).find(") Z ") == std::string::npos)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        pid_t thread = 0;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(child) + "/task"))
            if (const pid_t task = std::atoi(entry.path().filename().c_str()); task != child)
                thread = task;
        ASSERT_GT(thread, 0);
        const double ranBefore = runningSecondsOf(child, thread);
        const test::GivenTime since = test::GivenTime::ofProcess(child);
        // Read as a quit test reads it, often: the threads are followed as it is read.
        while (since.seconds() >= 0.0 && since.wallSeconds() < 1.0)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const double given = since.seconds(), wall = since.wallSeconds();
        const double ran = runningSecondsOf(child, thread) - ranBefore;
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        if (heldOff)
            EXPECT_LT(given, 0.5 * wall) << "held off the processor";
        else
            EXPECT_GE(given, 0.9 * ran) << "running";
    }
    ::kill(busy, SIGKILL);
    ::waitpid(busy, nullptr, 0);
}

} // namespace
