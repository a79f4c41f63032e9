// Heap allocations of a steady frame of the whole game: the real start-up and frame loop on
// the OpenGL driver with the default settings, first at the title screen over its background
// level, then in each story level of the catalogue (loaded as New Game loads the first one).
// Once a place has settled (every screen faded in, no loading overlay, no queued level event,
// for two seconds of frames), the frame's update and render are counted through the
// program's own operator new (tests/support/CountingNew) for 100 frames, every thread
// included. Prints per place the mean, the median and the most in one frame, and last the
// highest median (a steady frame; the script's events allocate in their own frames) against
// the goal of at most 10.
//
//   frame_allocation_bench [--sites N]
// --sites N also prints the N call stacks that allocated most often in the counted frames
// (demangled where the program exports the name; the addresses serve addr2line otherwise).
// Needs an X display (Xvfb, 1280 x 720); run from the repository root.
#include "core/Globals.h"
#include "gui/GUIScreen.h"
#include "level/LevelEvents.h"
#include "level/LevelManager.h"
#include "screens/ScreenManager.h"
#include "screens/levels/LevelCatalogue.h"

#include "../support/GameSession.h"
#include "support/CountingNew.h"

#include <irrlicht.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <execinfo.h>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace irr;

namespace {

constexpr int countedFrames = 100;
// Frames a place must hold still before it counts: half a second at the frame cap (a story
// level's script ends it by itself after some seconds).
constexpr int settleFrames = 30;
constexpr double settleBoundSeconds = 180.0;
constexpr long goalPerFrame = 10;

// --- where allocations come from (--sites) ---------------------------------------------------

constexpr int stackDepth = 14;
constexpr std::size_t maxRecords = 1 << 17;

struct Record {
    void* frames[stackDepth];
    int depth;
};

Record* records = nullptr;
std::atomic<std::size_t> recorded{0};
thread_local bool recording = false;

void recordSite(std::size_t) {
    if (recording)
        return;
    recording = true;
    const std::size_t at = recorded.fetch_add(1, std::memory_order_relaxed);
    if (at < maxRecords)
        records[at].depth = backtrace(records[at].frames, stackDepth);
    recording = false;
}

std::string frameName(void* address) {
    char** symbols = backtrace_symbols(&address, 1);
    std::string line = symbols ? symbols[0] : "?";
    std::free(symbols);
    // "program(mangled+0x12) [0x...]": the mangled name demangled, the rest kept.
    const std::size_t open = line.find('(');
    const std::size_t plus = line.find('+', open);
    if (open != std::string::npos && plus != std::string::npos && plus > open + 1) {
        const std::string mangled = line.substr(open + 1, plus - open - 1);
        int status = 0;
        char* plain = abi::__cxa_demangle(mangled.c_str(), nullptr, nullptr, &status);
        if (status == 0 && plain) {
            line = std::string(plain) + "  " + line.substr(plus);
        }
        std::free(plain);
    }
    return line;
}

// The call stacks recorded since the last report, the most frequent first, each from the
// caller of operator new on; then the record starts afresh.
std::string siteReport(const std::string& place, int wanted) {
    const std::size_t total = std::min(recorded.load(), maxRecords);
    std::map<std::vector<void*>, int> stacks;
    for (std::size_t i = 0; i < total; ++i)
        ++stacks[std::vector<void*>(records[i].frames, records[i].frames + records[i].depth)];
    recorded = 0;
    std::vector<std::pair<int, const std::vector<void*>*>> order;
    for (const auto& [stack, count] : stacks)
        order.emplace_back(count, &stack);
    std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::string report = "\n" + place + ": the call stacks that allocated most often (" + std::to_string(total) +
                         " allocations recorded):\n";
    for (int i = 0; i < wanted && i < static_cast<int>(order.size()); ++i) {
        report += std::to_string(order[i].first) + " allocations:\n";
        std::vector<std::string> names;
        for (void* address : *order[i].second)
            names.push_back(frameName(address));
        std::size_t first = 0;
        for (std::size_t f = 0; f < names.size(); ++f)
            if (names[f].rfind("operator new", 0) == 0)
                first = f + 1;
        for (std::size_t f = first; f < names.size(); ++f)
            report += "    " + names[f] + "\n";
    }
    return report;
}

// --- the game ---------------------------------------------------------------------------------

struct Place {
    std::string name;
    std::vector<long> frames;
    double mean() const {
        long total = 0;
        for (long n : frames)
            total += n;
        return frames.empty() ? 0.0 : static_cast<double>(total) / static_cast<double>(frames.size());
    }
    long median() const {
        std::vector<long> sorted = frames;
        std::sort(sorted.begin(), sorted.end());
        return sorted.empty() ? 0 : sorted[sorted.size() / 2];
    }
    long most() const { return frames.empty() ? 0 : *std::max_element(frames.begin(), frames.end()); }
};

// The session's frames, counted or not.
class Run {
public:
    explicit Run(bench::GameSession& session) : session(session) {}

    // One frame that ran (update and render); false when the game ended.
    bool frame(bool counted, long& allocations) {
        if (counted) {
            counting_new::count = 0;
            counting_new::counting = true;
        }
        const bool ran = session.play().ran;
        if (counted) {
            counting_new::counting = false;
            allocations = counting_new::count.load();
        }
        return ran;
    }
    // Frames until the state has held for settleFrames frames in a row; false when it did not
    // come within the bound or the game ended.
    bool settle(const std::function<bool()>& state) {
        const auto since = std::chrono::steady_clock::now();
        long unused = 0;
        for (int held = 0; held < settleFrames;) {
            if (!frame(false, unused))
                return false;
            held = state() ? held + 1 : 0;
            const std::chrono::duration<double> waited = std::chrono::steady_clock::now() - since;
            if (waited.count() > settleBoundSeconds)
                return false;
        }
        return true;
    }
    // The allocations of each of countedFrames frames; false when the game ended or the state
    // did not hold throughout.
    bool count(Place& place, const std::function<bool()>& state) {
        place.frames.reserve(countedFrames);
        for (int i = 0; i < countedFrames; ++i) {
            long allocations = 0;
            if (!frame(true, allocations) || !state())
                return false;
            place.frames.push_back(allocations);
        }
        return true;
    }

private:
    bench::GameSession& session;
};

bool allShown() {
    const auto& stack = screenManager->getScreenStack();
    return std::all_of(stack.begin(), stack.end(),
                       [](GUIScreen* screen) { return screen->getFadeState() == GUIScreen::Shown; });
}

bool quiet() { return !levelManager->loadingOverlay.isBusy() && levelManager->getLevelEvents().empty(); }

bool onLevel(const std::string& path) { return levelManager->getCurrentLevelPath() == core::stringw(path.c_str()); }

// The title screen on top, over its background level.
bool atTheTitle() {
    GUIScreen* top = screenManager->getTopScreen();
    return top && std::strcmp(top->getTypeName(), "GUIPlayScreen") == 0 && allShown() && quiet() &&
           onLevel(titleBackgroundLevel);
}

// The story level playing, no menu stacked.
bool inTheLevel(const std::string& path) {
    return screenManager->getScreenStack().empty() && quiet() && onLevel(path);
}

void startStoryLevel(const std::string& path) {
    levelManager->PlayMode = LevelManager::playModeStory;
    levelManager->queueLoadLevel(path.c_str(), true);
}

} // namespace

int main(int argc, char** argv) {
    int sites = 0;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--sites") == 0)
            sites = std::atoi(argv[i + 1]);
    std::unique_ptr<Record[]> recordStore;
    if (sites > 0) {
        recordStore.reset(new Record[maxRecords]);
        records = recordStore.get();
        void* warm[2];
        backtrace(warm, 2); // loads the unwinder before anything is counted
        counting_new::observer = &recordSite;
    }

    std::vector<Place> places;
    std::string sitesReport;
    bool complete = false;
    {
        bench::GameFolder where("allocation-bench");
        where.writeSettings();
        bench::GameSession session(where, "");
        if (!session.started) {
            std::fprintf(stderr, "The game did not start (no display?).\n");
        } else {
            // The places in their order: the title screen, then each story level as New Game
            // starts one.
            struct Stop {
                std::string name;
                std::function<void()> enter;
                std::function<bool()> state;
                // What must hold while the frames are counted (scripted events may run).
                std::function<bool()> stays;
            };
            std::vector<Stop> stops{{"title screen", [] {}, atTheTitle, atTheTitle}};
            for (const LevelRecord& level : AllLevels)
                if (level.kind == LevelKindStory) {
                    const std::string path = level.path;
                    stops.push_back({path, [path] { startStoryLevel(path); }, [path] { return inTheLevel(path); },
                                     [path] { return onLevel(path) && !levelManager->loadingOverlay.isBusy(); }});
                }
            Run run(session);
            complete = true;
            for (const Stop& stop : stops) {
                stop.enter();
                Place place{stop.name, {}};
                recorded = 0;
                if (!run.settle(stop.state) || !run.count(place, stop.stays)) {
                    GUIScreen* top = screenManager->getTopScreen();
                    std::fprintf(stderr,
                                 "%s: did not settle, or did not stay for the %d counted frames (level %s, %zu "
                                 "screens stacked, top %s, loading overlay %s, %zu level events queued, the first %s).\n",
                                 stop.name.c_str(), countedFrames,
                                 core::stringc(levelManager->getCurrentLevelPath()).c_str(),
                                 screenManager->getScreenStack().size(), top ? top->getTypeName() : "none",
                                 levelManager->loadingOverlay.isBusy() ? "busy" : "idle",
                                 levelManager->getLevelEvents().size(),
                                 levelManager->getLevelEvents().empty() ? "none"
                                                                        : levelManager->getLevelEvents().front()->getName());
                    complete = false;
                    break;
                }
                places.push_back(place);
                if (sites > 0)
                    sitesReport += siteReport(stop.name, sites);
            }
        }
    }
    counting_new::observer = nullptr;

    std::printf("%s", sitesReport.c_str());
    std::printf("\nHeap allocations a frame, %d frames counted after each place settled (every thread):\n",
                countedFrames);
    long most = 0;
    long steady = 0;
    for (const Place& place : places) {
        std::printf("  %-40s mean %8.2f   median %5ld   most %5ld\n", place.name.c_str(), place.mean(),
                    place.median(), place.most());
        most = std::max(most, place.most());
        steady = std::max(steady, place.median());
    }
    // A scripted event (a checkpoint written, a subtitle shown) may allocate in its frame; the
    // median frame of a place is its steady frame.
    if (!places.empty())
        std::printf("Steady frame (the highest median of the places): %ld allocations, the most in any frame %ld "
                    "(goal: at most %ld a steady frame)\n",
                    steady, most, goalPerFrame);
    std::fflush(stdout);
    return complete ? 0 : 1;
}
