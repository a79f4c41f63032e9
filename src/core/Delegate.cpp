#include "core/Delegate.h"

#include <algorithm>

DelegateList::~DelegateList() {
    for (Run* run = activeRun; run; run = run->outer)
        run->listDestroyed = true;
}

void DelegateList::add(const Delegate& delegate) {
    entries.push_back(std::make_unique<Delegate>(delegate));
}

bool DelegateList::remove(const Delegate& delegate) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!entries[i] || *entries[i] != delegate)
            continue;
        if (activeRun)
            entries[i].reset(); // the running walk skips the empty slot
        else
            entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(i));
        return true;
    }
    return false;
}

bool DelegateList::contains(const Delegate& delegate) const {
    return std::any_of(entries.begin(), entries.end(),
                       [&](const auto& entry) { return entry && *entry == delegate; });
}

void DelegateList::invoke(DelegateArg arg) {
    stopRequested = false;
    Run run;
    run.outer = activeRun;
    activeRun = &run;
    const std::size_t count = entries.size();
    for (std::size_t i = 0; i < count; ++i) {
        if (!entries[i])
            continue;
        // A copy: the delegate may remove itself (and so free its entry) while it runs.
        const Delegate delegate = *entries[i];
        delegate(arg);
        if (run.listDestroyed)
            return; // the list is gone; touch nothing of it
        if (stopRequested)
            break;
    }
    activeRun = run.outer;
    if (!activeRun)
        compact();
}

void DelegateList::clear() {
    if (activeRun) {
        for (auto& entry : entries)
            entry.reset();
    } else {
        entries.clear();
    }
}

std::size_t DelegateList::size() const {
    return static_cast<std::size_t>(
        std::count_if(entries.begin(), entries.end(), [](const auto& entry) { return entry != nullptr; }));
}

void DelegateList::compact() {
    entries.erase(std::remove(entries.begin(), entries.end(), nullptr), entries.end());
}
