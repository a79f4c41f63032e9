// Heap allocations of a frame of the whole game: the real start-up and frame loop on the
// OpenGL driver with the default settings, first at the title screen over its background
// level, then the first story level in play from its start (objects falling, the gardener
// walking), then each story level of the catalogue once it has settled (loaded as New Game
// loads the first one; every screen faded in, no loading overlay, no queued level event, for
// half a second of frames). Each place's update and render are counted for 100 frames:
//  - operator new of every thread, through the program's own (tests/support/CountingNew);
//  - every allocation of the main thread (the C library's malloc family, which operator new,
//    the engine, Bullet, the X library and the OpenGL driver come down to: what a counter
//    preloaded into the game sees), and of those the ones made inside the OpenGL driver
//    (MainThreadAllocations; not in a sanitizer build).
// A story level's own end ("End Level" after some seconds) is held back while the bench is
// in it, so that a slow machine counts its frames in the level too; a place left all the
// same keeps the frames counted until then and says so. Prints per place the mean, the
// median and the most in one frame, then the highest median of operator new (a steady frame;
// the script's events allocate in their own frames) against its goal of at most 10, and last
// the main thread's median frame in play outside the driver against its goal of at most 20.
//
//   frame_allocation_bench [--sites N]
// --sites N also prints, for each place, the N call stacks that allocated in the most of its
// counted frames (operator new of every thread, and the main thread's other allocations
// outside the driver; demangled where the program exports the name, the addresses serve
// addr2line otherwise). Needs an X display (Xvfb, 1280 x 720); run from the repository root.
#include "core/Globals.h"
#include "gui/GUIScreen.h"
#include "level/LevelEvents.h"
#include "level/LevelManager.h"
#include "screens/ScreenManager.h"
#include "screens/levels/LevelCatalogue.h"

#include "../support/GameSession.h"
#include "../support/LevelEnd.h"
#include "MainThreadAllocations.h"
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
// Frames a place must hold still before it counts: half a second at the frame cap.
constexpr int settleFrames = 30;
constexpr double settleBoundSeconds = 180.0;
constexpr long goalPerFrame = 10;
constexpr long goalInPlay = 20;
const char* const inPlayLevel = "Content/Levels/Story_Garden.irr";

// --- where allocations come from (--sites) ---------------------------------------------------

constexpr int stackDepth = 14;
constexpr std::size_t maxRecords = 1 << 17;

struct Record {
    void* frames[stackDepth];
    int depth;
    int frame; // the counted frame it was made in
};

Record* records = nullptr;
std::atomic<std::size_t> recorded{0};
std::atomic<int> countedFrame{0};
thread_local bool recording = false;
// Set by an operator new recorded: the malloc it comes down to is the same allocation.
thread_local bool newRecorded = false;

void record() {
    if (recording)
        return;
    recording = true;
    const main_thread_allocations::Quiet quiet; // the unwinder allocates under its own lock
    const std::size_t at = recorded.fetch_add(1, std::memory_order_relaxed);
    if (at < maxRecords) {
        records[at].depth = backtrace(records[at].frames, stackDepth);
        records[at].frame = countedFrame.load(std::memory_order_relaxed);
    }
    recording = false;
}

void recordSite(std::size_t) {
    record();
    newRecorded = true;
}

void recordMainThreadSite() {
    if (newRecorded)
        newRecorded = false;
    else
        record();
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

// Whether a frame of a call stack belongs to the counting itself (operator new, the malloc
// family of MainThreadAllocations).
bool countingFrame(const std::string& name) {
    if (name.rfind("operator new", 0) == 0)
        return true;
    for (const char* allocator : {"(malloc+", "(calloc+", "(realloc+", "(memalign+", "(posix_memalign+", "(aligned_alloc+"})
        if (name.find(allocator) != std::string::npos)
            return true;
    return false;
}

// The call stacks recorded since the last report, those that allocated in the most frames
// first (a steady frame's allocations before a single frame's many), each from the caller of
// the allocator on; then the record starts afresh.
std::string siteReport(const std::string& place, int wanted) {
    const std::size_t total = std::min(recorded.load(), maxRecords);
    struct Site {
        int allocations = 0;
        int frames = 0;
        int lastFrame = -1;
    };
    std::map<std::vector<void*>, Site> stacks;
    for (std::size_t i = 0; i < total; ++i) {
        Site& site = stacks[std::vector<void*>(records[i].frames, records[i].frames + records[i].depth)];
        ++site.allocations;
        if (site.lastFrame != records[i].frame) {
            site.lastFrame = records[i].frame;
            ++site.frames;
        }
    }
    recorded = 0;
    std::vector<std::pair<const Site*, const std::vector<void*>*>> order;
    for (const auto& [stack, site] : stacks)
        order.emplace_back(&site, &stack);
    std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
        return a.first->frames != b.first->frames ? a.first->frames > b.first->frames
                                                  : a.first->allocations > b.first->allocations;
    });
    std::string report = "\n" + place + ": the call stacks that allocated in the most frames (" + std::to_string(total) +
                         " allocations recorded):\n";
    for (int i = 0; i < wanted && i < static_cast<int>(order.size()); ++i) {
        report += std::to_string(order[i].first->allocations) + " allocations in " +
                  std::to_string(order[i].first->frames) + " frames:\n";
        std::vector<std::string> names;
        for (void* address : *order[i].second)
            names.push_back(frameName(address));
        std::size_t first = 0;
        for (std::size_t f = 0; f < names.size(); ++f)
            if (countingFrame(names[f]))
                first = f + 1;
        for (std::size_t f = first; f < names.size(); ++f)
            report += "    " + names[f] + "\n";
    }
    return report;
}

// --- the game ---------------------------------------------------------------------------------

// A place's frames as counted: operator new of every thread, every allocation of the main
// thread, and those of the main thread made inside the OpenGL driver.
struct Place {
    std::string name;
    std::vector<long> frames;
    std::vector<long> mainThread;
    std::vector<long> inDriver;
    // Why fewer frames than countedFrames were counted; empty when all were.
    std::string cut;
    double seconds = 0.0; // wall time of the counted frames
};

double meanOf(const std::vector<long>& values) {
    long total = 0;
    for (long n : values)
        total += n;
    return values.empty() ? 0.0 : static_cast<double>(total) / static_cast<double>(values.size());
}
long medianOf(std::vector<long> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}
long mostOf(const std::vector<long>& values) {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}
// The main thread's allocations outside the driver, frame by frame.
std::vector<long> outsideDriver(const Place& place) {
    std::vector<long> outside(place.mainThread.size());
    for (std::size_t i = 0; i < outside.size(); ++i)
        outside[i] = place.mainThread[i] - place.inDriver[i];
    return outside;
}

bool onLevel(const std::string& path) { return bench::currentLevelIs(path); }

// The session's frames, counted or not.
class Run {
public:
    explicit Run(bench::GameSession& session) : session(session) {}

    struct Counts {
        long allocations = 0;
        long mainThread = 0;
        long inDriver = 0;
    };
    // One frame that ran (update and render); false when the game ended.
    bool frame(bool counted, Counts& counts) {
        if (counted) {
            ++countedFrame;
            counting_new::count = 0;
            main_thread_allocations::count = 0;
            main_thread_allocations::inDriver = 0;
            counting_new::counting = true;
            main_thread_allocations::counting = true;
        }
        const bool ran = session.play().ran;
        if (counted) {
            main_thread_allocations::counting = false;
            counting_new::counting = false;
            counts.allocations = counting_new::count.load();
            counts.mainThread = main_thread_allocations::count;
            counts.inDriver = main_thread_allocations::inDriver;
        }
        return ran;
    }
    // Frames until the state has held for `frames` frames in a row; false when it did not
    // come within the bound or the game ended. A story level's end is held back in every
    // frame it is the current one (a level loaded again is made anew).
    bool settle(const std::function<bool()>& state, int frames, const std::string& storyLevel) {
        const auto since = std::chrono::steady_clock::now();
        Counts unused;
        int held = -1;
        for (int inARow = 0; inARow < frames;) {
            if (!frame(false, unused))
                return false;
            if (!storyLevel.empty() && onLevel(storyLevel))
                held = bench::holdLevelEnd();
            inARow = state() ? inARow + 1 : 0;
            const std::chrono::duration<double> waited = std::chrono::steady_clock::now() - since;
            if (waited.count() > settleBoundSeconds)
                return false;
        }
        if (held == 0)
            std::fprintf(stderr, "%s: no end of the level to hold back; a slow machine may see it end.\n",
                         storyLevel.c_str());
        return true;
    }
    // The allocations of each of countedFrames frames while the state holds; a place left
    // before keeps the frames counted until then, and says why.
    void count(Place& place, const std::function<bool()>& state) {
        place.frames.reserve(countedFrames);
        place.mainThread.reserve(countedFrames);
        place.inDriver.reserve(countedFrames);
        const auto since = std::chrono::steady_clock::now();
        const auto measured = [&] {
            place.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
        };
        for (int i = 0; i < countedFrames; ++i, measured()) {
            Counts counts;
            if (!frame(true, counts)) {
                place.cut = "the game ended";
                return;
            }
            if (!state()) {
                place.cut = "the place was left: " + whereTheGameIs();
                return;
            }
            place.frames.push_back(counts.allocations);
            place.mainThread.push_back(counts.mainThread);
            place.inDriver.push_back(counts.inDriver);
        }
    }

    static std::string whereTheGameIs() {
        GUIScreen* top = screenManager->getTopScreen();
        const auto& events = levelManager->getLevelEvents();
        return "level " + std::string(core::stringc(levelManager->getCurrentLevelPath()).c_str()) + ", " +
               std::to_string(screenManager->getScreenStack().size()) + " screens stacked, top " +
               (top ? top->getTypeName() : "none") + ", loading overlay " +
               (levelManager->loadingOverlay.isBusy() ? "busy" : "idle") + ", " + std::to_string(events.size()) +
               " level events queued, the first " + (events.empty() ? "none" : events.front()->getName());
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

// The story level loaded and uncovered, no menu stacked (its script's events may run).
bool playing(const std::string& path) {
    return screenManager->getScreenStack().empty() && bench::playingLevel(path);
}

// Still in the level it entered: its script's events run, a scripted cut under the loading
// overlay among them; no menu stacked.
bool stillPlaying(const std::string& path) {
    return screenManager->getScreenStack().empty() && bench::stillInLevel(path);
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
    main_thread_allocations::markMainThread();
    std::unique_ptr<Record[]> recordStore;
    if (sites > 0) {
        recordStore.reset(new Record[maxRecords]);
        records = recordStore.get();
        void* warm[2];
        backtrace(warm, 2); // loads the unwinder before anything is counted
        counting_new::observer = &recordSite;
        main_thread_allocations::observer = &recordMainThreadSite;
    }

    std::vector<Place> places;
    std::string sitesReport;
    bool driverFound = false;
    {
        bench::GameFolder where("allocation-bench");
        where.writeSettings();
        bench::GameSession session(where, "");
        if (!session.started) {
            std::fprintf(stderr, "The game did not start (no display?).\n");
        } else {
            driverFound = main_thread_allocations::findDriver();
            // The places in their order: the title screen, the first story level in play from
            // its start, then each story level as New Game starts one, once settled.
            struct Stop {
                std::string name;
                std::function<void()> enter;
                std::function<bool()> state;
                int frames; // the state holds for these before the count
                // What must hold while the frames are counted (scripted events may run).
                std::function<bool()> stays;
                std::string storyLevel;
            };
            std::vector<Stop> stops{{"title screen", [] {}, atTheTitle, settleFrames, atTheTitle, ""}};
            const std::string first = inPlayLevel;
            stops.push_back({first + " in play", [first] { startStoryLevel(first); }, [first] { return playing(first); }, 1,
                             [first] { return stillPlaying(first); }, first});
            for (const LevelRecord& level : AllLevels)
                if (level.kind == LevelKindStory) {
                    const std::string path = level.path;
                    stops.push_back({path, [path] { startStoryLevel(path); }, [path] { return inTheLevel(path); },
                                     settleFrames,
                                     [path] { return bench::stillInLevel(path); }, path});
                }
            Run run(session);
            for (const Stop& stop : stops) {
                stop.enter();
                Place place{stop.name, {}, {}, {}, {}};
                recorded = 0;
                if (!run.settle(stop.state, stop.frames, stop.storyLevel)) {
                    std::fprintf(stderr, "%s: did not settle (%s).\n", stop.name.c_str(), Run::whereTheGameIs().c_str());
                    break;
                }
                run.count(place, stop.stays);
                if (!place.cut.empty())
                    std::fprintf(stderr, "%s: %zu of %d frames counted, then %s.\n", stop.name.c_str(),
                                 place.frames.size(), countedFrames, place.cut.c_str());
                if (!place.frames.empty())
                    places.push_back(place);
                if (sites > 0)
                    sitesReport += siteReport(stop.name, sites);
                if (!place.cut.empty())
                    break;
            }
        }
    }
    counting_new::observer = nullptr;
    main_thread_allocations::observer = nullptr;

    const bool mainThreadCounted = main_thread_allocations::available() && driverFound;
    std::printf("%s", sitesReport.c_str());
    std::printf("\nHeap allocations a frame, %d frames counted in each place: operator new of every thread; every "
                "allocation of the main thread and of those the ones outside the OpenGL driver (medians)%s:\n",
                countedFrames,
                mainThreadCounted ? "" : " (the main thread's not counted: a sanitizer build, or no driver found)");
    long most = 0;
    long steady = 0;
    const Place* inPlay = nullptr;
    for (const Place& place : places) {
        const std::string frames =
            place.cut.empty() ? "" : "   (" + std::to_string(place.frames.size()) + " frames: " + place.cut + ")";
        const double rate = place.seconds > 0.0 ? static_cast<double>(place.frames.size()) / place.seconds : 0.0;
        std::printf("  %-44s mean %8.2f   median %5ld   most %5ld   main thread %5ld, outside the driver %5ld   "
                    "(%.1f frames a second)%s\n",
                    place.name.c_str(), meanOf(place.frames), medianOf(place.frames), mostOf(place.frames),
                    medianOf(place.mainThread), medianOf(outsideDriver(place)), rate, frames.c_str());
        if (place.name == std::string(inPlayLevel) + " in play") {
            inPlay = &place;
            continue;
        }
        most = std::max(most, mostOf(place.frames));
        steady = std::max(steady, medianOf(place.frames));
    }
    // A scripted event (a checkpoint written, a subtitle shown) may allocate in its frame; the
    // median frame of a place is its steady frame.
    if (places.size() > 1)
        std::printf("Steady frame (the highest median of the settled places): %ld allocations, the most in any frame "
                    "%ld (goal: at most %ld a steady frame)\n",
                    steady, most, goalPerFrame);
    if (inPlay && mainThreadCounted)
        std::printf("%s in play, from its start: %ld allocations a frame on the main thread outside the OpenGL driver "
                    "(median of %zu frames; goal: at most %ld), %ld with the driver's, %ld by operator new\n",
                    inPlayLevel, medianOf(outsideDriver(*inPlay)), inPlay->frames.size(), goalInPlay,
                    medianOf(inPlay->mainThread), medianOf(inPlay->frames));
    else if (inPlay)
        std::printf("%s in play, from its start: %ld allocations a frame by operator new (median of %zu frames)\n",
                    inPlayLevel, medianOf(inPlay->frames), inPlay->frames.size());
    std::fflush(stdout);
    const std::size_t wanted = 2 + std::count_if(AllLevels.begin(), AllLevels.end(), [](const LevelRecord& level) {
                                       return level.kind == LevelKindStory;
                                   });
    return places.size() == wanted ? 0 : 1;
}
