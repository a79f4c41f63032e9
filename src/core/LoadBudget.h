#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// What one level load may cost, in one place: every step of a load charges it as it reads or
// makes something (level and sublevel files and a user level's archive entries, scene nodes
// with the Spawn Object pools' copies and the 3D text's glyph nodes, texture pixels and render
// targets, sprite-animation frames, the memory the level's objects allocate as they are
// made: glyph pages, particle capacity, cloths, each object's own as it allocates it, and the
// triangles its nodes' meshes draw, each node's own, copies included).
// A charge past a limit is refused: the step leaves its thing out, the load adds nothing more
// of that kind, one line says so ("ERROR: The level load reached its budget of 4096 scene
// nodes at "path"; the rest is left out."), and the level plays with what was loaded.
//
// A budget belongs to a level load from its start to the next one's: a level load starts it
// afresh, and so does each round of forgetFileRefusals() (core/FileChecks.h). Before any load
// there is no level to charge: counting begins with the first LoadBudgetScope. A level file
// read on its own, with no level load's budget running (a tool's, a test's), has a budget of
// its own; inside a level's (a preview scene, a sublevel copied while the level plays) it is
// the level's. The file guard, the image gate and the sprite reader also read the menus' and
// the HUD's own files: they charge only while a load runs; the other charges (pool copies
// built during play, render targets, the memory of what the level's objects make) count
// whenever they are made, and so do the triangles of a mesh attached to a node.
class LoadBudget {
public:
    enum Kind { Bytes, Nodes, Pixels, Frames, Memory, Triangles };
    static constexpr int kindCount = 6;
    // The game's limits (docs/hardening.md, beside what each shipped level uses and what a
    // level at them costs): together they keep the game under 1 GB resident, and each frame
    // a level can ask for under 2 s.
    static constexpr std::uint64_t gameLimits[kindCount] = {
        16ull * 1024 * 1024,  // bytes read
        4096,                 // scene nodes made
        16ull * 1024 * 1024,  // texture pixels (one render target of 4096 x 4096)
        1024ull * 1024,       // sprite-animation frames
        96ull * 1024 * 1024,  // bytes of memory the level's objects allocate
        256ull * 1024,        // triangles the level's nodes draw
    };

    // Takes the amount from the kind's budget: true when it fits and the budget was not
    // reached before. Otherwise nothing is taken, the caller leaves out what it was for, and
    // the kind's first refusal in the load logs the line, naming the file (the file being
    // loaded when empty) and, after it, what is left out ("the rest is left out" when null).
    bool charge(Kind kind, std::uint64_t amount, const std::string& file = {}, const char* leftOut = nullptr);
    // The same, counted only while a load runs; true at other times.
    bool chargeWhileLoading(Kind kind, std::uint64_t amount, const std::string& file = {});
    // Whether the amount would fit, with the line logged as charge logs it; takes nothing (a
    // file the file guard will charge as it is opened).
    bool allows(Kind kind, std::uint64_t amount, const std::string& file = {});

    std::uint64_t used(Kind kind);
    // How often the kind refused in this budget (a charge, or a look with allows): a maker
    // that sees the count grow while it made something knows that part of it was left out.
    std::uint64_t refusals(Kind kind);
    std::uint64_t limit(Kind kind);
    // A smaller budget for tests; gameLimits is what the game runs with.
    void setLimit(Kind kind, std::uint64_t value);
    static const char* unitName(Kind kind);

    // Whether a load runs. A scope is entered for each file being loaded (the innermost
    // names the file in the line), and for a level load as a whole (`levelLoad`).
    bool isLoading();
    void enter(const std::string& file, bool levelLoad);
    void leave();

private:
    // Starts afresh when a new round of refusals has begun since the last look.
    void catchUp();
    void startAfresh();
    // Whether the amount fits; the line to log when it does not and none was logged yet.
    bool fits(Kind kind, std::uint64_t amount, const std::string& file, const char* leftOut, std::string& line);
    enum class Taking { Always, WhileLoading, Nothing };
    bool take(Kind kind, std::uint64_t amount, const std::string& file, const char* leftOut, Taking taking);

    std::mutex mutex;
    std::uint64_t round = UINT64_MAX;
    bool started = false;   // a load has begun in this round
    bool levelRound = false; // and it was a level load
    std::uint64_t usedOf[kindCount] = {};
    std::uint64_t refusedOf[kindCount] = {};
    bool reached[kindCount] = {};
    std::uint64_t limits[kindCount] = {gameLimits[0], gameLimits[1], gameLimits[2],
                                       gameLimits[3], gameLimits[4], gameLimits[5]};
    std::vector<std::string> loading; // the files being loaded, outermost first
    std::string lastLoaded;           // the outermost file of the last load
};

LoadBudget& loadBudget();

// What one object has charged to one kind of its level's budget: a growth is charged by its
// difference, and an object that needs no more than it has charged (made again, or smaller)
// charges nothing. An object lives in one level, and so does its charge.
class ObjectCharge {
public:
    explicit ObjectCharge(LoadBudget::Kind kind) : kind(kind) {}
    // Whether the object may hold the amount: true when it is charged already or the rest
    // fits the budget (and is charged); false leaves the charge as it was.
    bool growTo(std::uint64_t amount, const char* leftOut = nullptr);
    std::uint64_t charged() const { return total; }

private:
    LoadBudget::Kind kind;
    std::uint64_t total = 0;
};

// What one object has charged to its level's memory budget (LoadBudget::Memory).
class MemoryCharge : public ObjectCharge {
public:
    MemoryCharge() : ObjectCharge(LoadBudget::Memory) {}
};

// A load runs while one lives: a level load as a whole, a level or sublevel file being read.
class LoadBudgetScope {
public:
    explicit LoadBudgetScope(const std::string& file, bool levelLoad = false) { loadBudget().enter(file, levelLoad); }
    ~LoadBudgetScope() { loadBudget().leave(); }
    LoadBudgetScope(const LoadBudgetScope&) = delete;
    LoadBudgetScope& operator=(const LoadBudgetScope&) = delete;
};
