#include "core/LoadBudget.h"

#include "core/FileChecks.h"
#include "core/Log.h"

#include <algorithm>

LoadBudget& loadBudget() {
    static LoadBudget budget;
    return budget;
}

const char* LoadBudget::unitName(Kind kind) {
    switch (kind) {
    case Bytes:
        return "bytes";
    case Nodes:
        return "scene nodes";
    case Pixels:
        return "texture pixels";
    case Frames:
        return "sprite-animation frames";
    case Memory:
        return "bytes of memory";
    case Triangles:
        return "triangles";
    }
    return "";
}

void LoadBudget::catchUp() {
    const std::uint64_t now = fileRefusalRound();
    if (round == now)
        return;
    round = now;
    startAfresh();
    started = false;
    levelRound = false;
}

void LoadBudget::startAfresh() {
    for (int kind = 0; kind < kindCount; ++kind) {
        usedOf[kind] = 0;
        refusedOf[kind] = 0;
        reached[kind] = false;
    }
}

bool LoadBudget::fits(Kind kind, std::uint64_t amount, const std::string& file, const char* leftOut,
                      std::string& line) {
    if (!reached[kind] && amount <= limits[kind] - std::min(usedOf[kind], limits[kind]))
        return true;
    if (!reached[kind]) {
        reached[kind] = true;
        const std::string& named = !file.empty() ? file : !loading.empty() ? loading.back() : lastLoaded;
        line = std::string(logErrorPrefix) + "The level load reached its budget of " + std::to_string(limits[kind]) + " " +
               unitName(kind) + " at \"" + named + "\"; " + (leftOut ? leftOut : "the rest is left out") + ".";
    }
    return false;
}

bool LoadBudget::take(Kind kind, std::uint64_t amount, const std::string& file, const char* leftOut, Taking taking) {
    std::string line;
    bool fitted = true;
    {
        std::lock_guard<std::mutex> lock(mutex);
        catchUp();
        if (!started || (taking == Taking::WhileLoading && loading.empty()))
            return true;
        fitted = fits(kind, amount, file, leftOut, line);
        if (fitted && taking != Taking::Nothing)
            usedOf[kind] += amount;
        if (!fitted)
            ++refusedOf[kind];
    }
    // Logged outside the lock: the log's own writes must not wait for the budget.
    if (!line.empty())
        logMessage(line);
    return fitted;
}

bool LoadBudget::charge(Kind kind, std::uint64_t amount, const std::string& file, const char* leftOut) {
    return take(kind, amount, file, leftOut, Taking::Always);
}

bool LoadBudget::chargeWhileLoading(Kind kind, std::uint64_t amount, const std::string& file) {
    return take(kind, amount, file, nullptr, Taking::WhileLoading);
}

bool LoadBudget::allows(Kind kind, std::uint64_t amount, const std::string& file) {
    return take(kind, amount, file, nullptr, Taking::Nothing);
}

std::uint64_t LoadBudget::used(Kind kind) {
    std::lock_guard<std::mutex> lock(mutex);
    catchUp();
    return usedOf[kind];
}

std::uint64_t LoadBudget::refusals(Kind kind) {
    std::lock_guard<std::mutex> lock(mutex);
    catchUp();
    return refusedOf[kind];
}

std::uint64_t LoadBudget::limit(Kind kind) {
    std::lock_guard<std::mutex> lock(mutex);
    return limits[kind];
}

void LoadBudget::setLimit(Kind kind, std::uint64_t value) {
    std::lock_guard<std::mutex> lock(mutex);
    limits[kind] = value;
}

bool LoadBudget::isLoading() {
    std::lock_guard<std::mutex> lock(mutex);
    return !loading.empty();
}

void LoadBudget::enter(const std::string& file, bool levelLoad) {
    std::lock_guard<std::mutex> lock(mutex);
    catchUp();
    if (loading.empty()) {
        if (levelLoad || !levelRound)
            startAfresh();
        levelRound = levelRound || levelLoad;
        lastLoaded = file;
        started = true;
    }
    loading.push_back(file);
}

void LoadBudget::leave() {
    std::lock_guard<std::mutex> lock(mutex);
    if (!loading.empty())
        loading.pop_back();
}

bool ObjectCharge::growTo(std::uint64_t amount, const char* leftOut) {
    if (amount <= total)
        return true;
    if (!loadBudget().charge(kind, amount - total, {}, leftOut))
        return false;
    total = amount;
    return true;
}
