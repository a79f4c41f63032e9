// The real program ended from outside: a quit signal at any moment of its start and in a
// level's transitions, and the X server going away under it. Each game runs in a folder of
// its own, side by side with the others.
#include "ShellFixture.h"

#include "core/ProcessGuards.h"
#include "support/GivenTime.h"
#include "support/TempDir.h"
#include "support/X11Windows.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A level that ends at once into a story level: a transition in, the load, a transition out.
constexpr const char* transitionLevel = R"(<?xml version="1.0" encoding="UTF-8"?>
<irr_scene>
  <node type="TriggerObject">
    <attributes>
      <string name="Name" value="Go" />
      <int name="Id" value="10" />
      <enum name="TriggerCondition" value="Immediately" />
      <enum name="OnTriggerEvent" value="End Level" />
      <string name="NextLevel" value="Content/Levels/Story_Shed.irr" />
      <enum name="TransitionType" value="Fade to Black" />
      <float name="HoldLength" value="0.5" />
      <bool name="SetSaveLevelPath" value="true" />
      <string name="SaveLevelPath" value="Content/Levels/Story_Shed.irr" />
    </attributes>
  </node>
</irr_scene>
)";

// A game's working folder: the content, its save folder and, unless it is a first run, its
// settings (OpenGL without vertical sync, which Xvfb refuses).
class GameFolder {
public:
    explicit GameFolder(bool firstRun) {
        std::filesystem::create_directory_symlink(test::sourceDir() / "Content", dir.path() / "Content");
        std::filesystem::create_directories(dir.path() / "data");
        if (!firstRun)
            test::writeFileBytes(settingsPath(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Game>"
                                                 "<string name=\"Graphics_Driver\" value=\"OpenGL\"/>"
                                                 "<bool name=\"Graphics_Vsync\" value=\"false\"/></Game>\n");
    }
    std::string path() const { return dir.path().string(); }
    std::string settingsPath() const { return dir.file("PaddlestoneConfig.xml"); }
    std::vector<std::string> logLines() const { return ShellFixture::logLinesOf(dir.file("PaddlestoneLog.txt")); }
    bool logHas(const std::string& wanted) const {
        for (const std::string& line : logLines())
            if (line == wanted)
                return true;
        return false;
    }

    test::TempDir dir;
};

// The games here are timed to their end: the sanitizer build's leak check at exit (half a
// second and more; the other tests of the real game keep it) stays off for them.
std::string optionsWithoutLeakCheck() {
    const char* options = std::getenv("ASAN_OPTIONS");
    return std::string(options ? options : "") + (options && *options ? ":" : "") + "detect_leaks=0";
}

// Waits for the game's end at most the seconds the machine gives it; false when it did not end.
bool waitForEnd(test::RealGame& game, double seconds) {
    const test::GivenTime since = test::GivenTime::ofProcess(game.pid());
    while (!test::hasEndedUnreaped(game.pid()) && since.seconds() < seconds)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return game.hasEnded();
}

} // namespace

// SIGTERM while the window is made, the shaders compile and the title loads (0.5 s to 3 s
// of its start), and while a level's transitions run: the game ends in order within 3 s,
// with status 0, its settings whole and "Shutting down." the log's last line. Its moments and
// its 3 s are the time the machine gave the game; one cut while it was withheld runs again.
TEST(QuitInOrderGlTest, AQuitSignalAtAnyMomentOfTheStartOrOfATransitionEndsTheGameInOrder) {
    constexpr double bound = 3.0;
    struct Moment {
        const char* name;
        double afterStart;     // seconds of the start, or
        const char* afterLine; // the log line the signal follows
    };
    // The longer moments first, so that the short ones fill in beside them.
    const Moment moments[] = {
        {"3 s after the start", 3.0, nullptr},   {"in the transition out", 0.0, "Transition Outro."},
        {"0.5 s after the start", 0.5, nullptr}, {"1 s after the start", 1.0, nullptr},
        {"in the transition in", 0.0, "Transition Intro."}, {"2 s after the start", 2.0, nullptr},
    };
    struct Run {
        explicit Run(const Moment& moment) : moment(moment) {}
        bool prepare() { // a fresh folder for the next attempt, with its level
            game.reset();
            folder = std::make_unique<GameFolder>(false);
            sinceStart.reset();
            sinceSignal.reset();
            ++attempts;
            return !moment.afterLine || test::writeFileBytes(folder->path() + "/Go.irr", transitionLevel);
        }
        const Moment& moment;
        std::unique_ptr<GameFolder> folder;
        std::unique_ptr<test::RealGame> game;
        std::optional<test::GivenTime> sinceStart; // from its log's start: it listens for signals
        std::optional<test::GivenTime> sinceSignal;
        int attempts = 0;
        bool done = false;  // ended, or given up on past the bound
        bool ended = false; // by itself
        bool cutWhileWithheld = false;
    };
    std::vector<std::unique_ptr<Run>> runs;
    for (const Moment& moment : moments) {
        runs.push_back(std::make_unique<Run>(moment));
        ASSERT_TRUE(runs.back()->prepare());
    }
    const std::string binary = test::gameBinary(PADDLESTONE_GAME_BINARY);
    test::ScopedEnv options("ASAN_OPTIONS", optionsWithoutLeakCheck());
    // At most three games run at a time (more would compete for the processors of a busy
    // machine and time that, not the game), each signalled at its moment and timed from the
    // signal to its end.
    constexpr int atOnce = 3;
    const Clock::time_point begin = Clock::now();
    bool running = true;
    // A state that never comes (a log line never written) ends the wait.
    while (running && secondsSince(begin) < 240.0) {
        running = false;
        int alive = 0;
        for (const auto& run : runs)
            alive += run->game && !run->done ? 1 : 0;
        for (auto& entry : runs) {
            Run& run = *entry;
            if (run.done)
                continue;
            running = true;
            if (!run.game) {
                if (alive >= atOnce)
                    continue;
                ++alive;
                const std::string level = run.moment.afterLine ? run.folder->path() + "/Go.irr" : std::string();
                run.game = std::make_unique<test::RealGame>(binary.c_str(), level.empty() ? nullptr : level.c_str(),
                                                            run.folder->path());
                ASSERT_TRUE(run.game->started());
            } else if (!run.sinceSignal && run.game->hasEnded()) {
                run.done = true; // before its moment
            } else if (!run.sinceStart && std::filesystem::exists(run.folder->dir.file("PaddlestoneLog.txt"))) {
                run.sinceStart = test::GivenTime::ofProcess(run.game->pid());
            } else if (run.sinceStart && !run.sinceSignal &&
                       (run.moment.afterLine ? run.folder->logHas(run.moment.afterLine)
                                             : run.sinceStart->seconds() >= run.moment.afterStart)) {
                run.sinceSignal = test::GivenTime::ofProcess(run.game->pid());
                run.game->signal(SIGTERM);
            } else if (run.sinceSignal && test::hasEndedUnreaped(run.game->pid())) {
                run.sinceSignal->stop();
                run.done = run.ended = run.game->hasEnded();
                const int status = run.game->waitStatus();
                run.cutWhileWithheld = WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGTERM &&
                                       test::graceWithheld(*run.sinceSignal, quitGraceMilliseconds);
                if (run.cutWhileWithheld && run.attempts < test::attemptsWhileWithheld) {
                    std::printf("%s: cut by the quit watch %.2f s after the signal (%.2f s on the wall clock); "
                                "started again\n",
                                run.moment.name, run.sinceSignal->seconds(), run.sinceSignal->wallSeconds());
                    run.done = run.ended = false;
                    ASSERT_TRUE(run.prepare());
                }
            } else if (run.sinceSignal && run.sinceSignal->seconds() >= bound) {
                run.sinceSignal->stop();
                run.game->signal(SIGKILL);
                run.done = true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    for (const auto& run : runs) {
        const char* name = run->moment.name;
        ASSERT_TRUE(run->sinceSignal) << name << ": the moment never came";
        const double given = run->sinceSignal->seconds(), wall = run->sinceSignal->wallSeconds();
        ASSERT_TRUE(run->ended) << name << ": the game did not end within " << bound << " s (" << wall
                                << " s on the wall clock)";
        std::printf("%s: ended %.2f s after the signal (%.2f s on the wall clock)\n", name, given, wall);
        EXPECT_LT(given, bound) << name;
        const int status = run->game->waitStatus();
        ASSERT_TRUE(WIFEXITED(status)) << name;
        EXPECT_EQ(WEXITSTATUS(status), 0) << name << (run->cutWhileWithheld ? ": cut by the quit watch in every attempt" : "");
        const std::vector<std::string> lines = run->folder->logLines();
        ASSERT_FALSE(lines.empty()) << name;
        EXPECT_EQ(lines.back(), "Shutting down.") << name;
        EXPECT_NE(test::readFileBytes(run->folder->settingsPath()).find("</Game>"), std::string::npos) << name;
    }
}

// The program the player starts holds the quit signals back from its first instruction and runs
// the game beside it in its own place: the same process, the same arguments (here the game is
// a program that shows what it was given).
TEST(QuitInOrderGlTest, TheLauncherHoldsTheQuitSignalsBackAndRunsTheGameInItsPlace) {
    test::TempDir dir;
    const std::filesystem::path launcher = dir.path() / "paddlestone";
    std::filesystem::copy_file(test::gameBinary(PADDLESTONE_GAME_BINARY), launcher);
    std::filesystem::permissions(launcher, std::filesystem::perms::owner_all, std::filesystem::perm_options::add);
    std::filesystem::create_symlink("/bin/cat", dir.path() / "paddlestone-game");
    const std::string shown = dir.file("Shown.txt");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int out = ::open(shown.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || ::dup2(out, STDOUT_FILENO) < 0)
            ::_exit(126);
        ::execl(launcher.c_str(), "paddlestone", "/proc/self/status", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    const std::string text = test::readFileBytes(shown);
    EXPECT_NE(text.find("\nPid:\t" + std::to_string(child) + "\n"), std::string::npos) << text;
    const std::size_t blocked = text.find("\nSigBlk:\t");
    ASSERT_NE(blocked, std::string::npos) << text;
    const unsigned long long mask = std::strtoull(text.c_str() + blocked + 9, nullptr, 16);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2})
        EXPECT_NE(mask & (1ULL << (signal - 1)), 0u) << signal;

    // Without the game beside it the launcher says so and fails.
    std::filesystem::remove(dir.path() / "paddlestone-game");
    const std::string said = dir.file("Said.txt");
    const pid_t alone = ::fork();
    ASSERT_GE(alone, 0);
    if (alone == 0) {
        const int out = ::open(said.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || ::dup2(out, STDERR_FILENO) < 0)
            ::_exit(126);
        ::execl(launcher.c_str(), "paddlestone", static_cast<char*>(nullptr));
        ::_exit(126);
    }
    ASSERT_EQ(::waitpid(alone, &status, 0), alone);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 127) << status;
    EXPECT_EQ(test::readFileBytes(said).rfind("paddlestone: cannot start the game (", 0), 0u) << test::readFileBytes(said);
}

// A quit signal that came before the game's first instruction, held back as the launcher holds
// it while the system loads the game: a first run ends in order before its window is made, with
// "Quit signal received.", its settings file (the defaults), "Shutting down." last and status 0.
// A start cut by the quit watch while the machine withheld its grace runs again.
TEST(QuitInOrderGlTest, AQuitBeforeTheGameRunsEndsAFirstRunInOrderWithoutAWindow) {
    const std::string binary = test::gameBinary(PADDLESTONE_GAME_BINARY);
    test::ScopedEnv options("ASAN_OPTIONS", optionsWithoutLeakCheck());
    std::unique_ptr<GameFolder> run;
    int status = 0;
    for (int attempt = 0; attempt < test::attemptsWhileWithheld; ++attempt) {
        run = std::make_unique<GameFolder>(true);
        const GameFolder& folder = *run;
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            sigset_t quit;
            sigemptyset(&quit);
            sigaddset(&quit, SIGTERM);
            if (::chdir(folder.path().c_str()) != 0 ||
                ::setenv("XDG_DATA_HOME", (folder.path() + "/data").c_str(), 1) != 0 ||
                ::sigprocmask(SIG_BLOCK, &quit, nullptr) != 0 || ::kill(::getpid(), SIGTERM) != 0)
                ::_exit(126);
            ::setenv("ALSOFT_DRIVERS", "no-such-backend", 1);
            ::execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        test::GivenTime since = test::GivenTime::ofProcess(child);
        while (!test::hasEndedUnreaped(child) && since.seconds() < 30.0)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        since.stop();
        const bool ended = test::hasEndedUnreaped(child);
        if (!ended)
            ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(ended) << "the game did not end";
        ASSERT_TRUE(WIFEXITED(status)) << status;
        if (WEXITSTATUS(status) != 128 + SIGTERM || !test::graceWithheld(since, quitGraceMilliseconds))
            break;
        std::printf("cut by the quit watch %.2f s after its start (%.2f s on the wall clock); started again\n",
                    since.seconds(), since.wallSeconds());
    }
    const GameFolder& folder = *run;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::vector<std::string> lines = folder.logLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "Quit signal received.");
    EXPECT_EQ(lines.back(), "Shutting down.");
    EXPECT_FALSE(folder.logHas("Creating ScreenManager.")) << "the window was made";
    EXPECT_NE(test::readFileBytes(folder.settingsPath()).find("</Game>"), std::string::npos);
}

// The X server goes away under a first run: one line, the settings written as the quit
// watch writes them, and a status of its own (3), where the window system's library would
// have ended the game with status 1 and nothing written.
TEST(QuitInOrderGlTest, TheXServerGoingAwayEndsTheGameWithItsSettingsWritten) {
    // A server of the game's own, which the test ends.
    int numberPipe[2];
    ASSERT_EQ(::pipe(numberPipe), 0);
    const pid_t server = ::fork();
    if (server == 0) {
        ::dup2(numberPipe[1], 3);
        ::execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "1280x720x24", "-nolisten", "tcp",
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(numberPipe[1]);
    // The server ends itself if the line's end (a write of its own) finds the pipe closed.
    std::string number;
    char c = 0;
    while (::read(numberPipe[0], &c, 1) == 1 && c != '\n')
        number += c;
    ::close(numberPipe[0]);
    ASSERT_FALSE(number.empty()) << "Xvfb did not start";
    const std::string display = ":" + number;

    GameFolder folder(true);
    ASSERT_FALSE(std::filesystem::exists(folder.settingsPath()));
    std::unique_ptr<test::RealGame> game;
    {
        test::ScopedEnv onServer("DISPLAY", display);
        test::ScopedEnv options("ASAN_OPTIONS", optionsWithoutLeakCheck());
        game = std::make_unique<test::RealGame>(test::gameBinary(PADDLESTONE_GAME_BINARY), nullptr, folder.path());
    }
    const Clock::time_point start = Clock::now();
    while (!folder.logHas("Initializing ScreenManager.") && !game->hasEnded() && secondsSince(start) < 60.0)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ::kill(server, SIGKILL);
    ::waitpid(server, nullptr, 0);
    ASSERT_TRUE(waitForEnd(*game, 10.0)) << "the game did not end";
    const int status = game->waitStatus();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
    const std::vector<std::string> lines = folder.logLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "ERROR: The connection to the display was lost (\"" + folder.settingsPath() +
                                "\" saved); ending it now.");
    EXPECT_NE(test::readFileBytes(folder.settingsPath()).find("</Game>"), std::string::npos);
}
