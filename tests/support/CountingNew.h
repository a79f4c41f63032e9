#pragma once

// The program's own operator new and delete (CountingNew.cpp, linked into a program of its
// own): while `counting` is on, every plain heap allocation of any thread adds one to `count`.
#include <atomic>

namespace counting_new {

extern std::atomic<bool> counting;
extern std::atomic<long> count;

} // namespace counting_new
