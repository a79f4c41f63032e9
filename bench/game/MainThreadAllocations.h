#pragma once

// Every heap allocation of the main thread, as a counter preloaded into the process sees
// them: the C library's malloc family, which operator new, the engine, Bullet, the X
// library and the OpenGL driver all come down to. The program's own malloc, calloc, realloc
// and the aligned kinds (MainThreadAllocations.cpp, linked into a program of its own) count
// while `counting` is on and the caller is the thread that called markMainThread; those made
// inside the OpenGL driver (a return address of the call stack in one of its libraries)
// count once more in `inDriver`. Not in a sanitizer build: its run-time owns malloc.
#include <atomic>

namespace main_thread_allocations {

extern std::atomic<bool> counting;
extern long count;
extern long inDriver;
// Called on the counting thread with every allocation counted outside the driver, when set;
// it must not allocate itself.
extern void (*observer)();

// False in a sanitizer build: nothing is counted.
bool available();
// The calling thread is the one counted.
void markMainThread();
// Nothing the calling thread allocates while one lives is counted (nor looked into): a
// recorder's own call-stack walk, which must not be walked again from inside.
class Quiet {
public:
    Quiet();
    ~Quiet();
    Quiet(const Quiet&) = delete;
    Quiet& operator=(const Quiet&) = delete;

private:
    bool was;
};

// Finds the OpenGL driver's libraries among those loaded (once the window has its context);
// true when it found any.
bool findDriver();

} // namespace main_thread_allocations
