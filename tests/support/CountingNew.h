#pragma once

// The program's own operator new and delete (CountingNew.cpp, linked into a program of its
// own): while `counting` is on, every plain heap allocation of any thread adds one to `count`.
#include <atomic>
#include <cstddef>

namespace counting_new {

extern std::atomic<bool> counting;
extern std::atomic<long> count;
// Called with the size of every allocation that is counted, on the allocating thread, when
// set (a tool that records where allocations come from); it must not allocate itself.
extern std::atomic<void (*)(std::size_t)> observer;

} // namespace counting_new
