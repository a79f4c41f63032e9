#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The call stack of the running thread, for the error reports in the log.
namespace platform {

struct StackFrame {
    std::uintptr_t address = 0;
    std::string function; // demangled; empty when unknown
    std::string file;     // source file; empty when the binary carries no line table
    int line = 0;
};

// The calling thread's frames, innermost first. The first frame is the function that
// called captureCallStack, after skipping `skip` further frames. Frames of functions the
// compiler inlined are listed as frames of their own. Safe to call from any thread.
std::vector<StackFrame> captureCallStack(int skip = 0, int maxFrames = 64);

} // namespace platform
