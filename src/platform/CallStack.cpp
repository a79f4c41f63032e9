#include "platform/CallStack.h"

#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <execinfo.h>

#ifdef PADDLESTONE_HAVE_LIBBACKTRACE
#include <backtrace.h>
#endif

namespace platform {
namespace {

std::string demangle(const char* name) {
    if (!name || !*name)
        return {};
    int status = 0;
    char* readable = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    if (status != 0 || !readable)
        return name;
    std::string result = readable;
    std::free(readable);
    return result;
}

// glibc's unwinder: addresses and exported symbol names, no source lines.
__attribute__((noinline)) std::vector<StackFrame> captureWithGlibc(int skip, int maxFrames) {
    std::vector<void*> addresses(static_cast<size_t>(maxFrames + skip + 2));
    const int count = ::backtrace(addresses.data(), static_cast<int>(addresses.size()));
    char** symbols = ::backtrace_symbols(addresses.data(), count);
    std::vector<StackFrame> frames;
    // Frame 0 is this function, frame 1 captureCallStack.
    for (int i = skip + 2; i < count && static_cast<int>(frames.size()) < maxFrames; ++i) {
        StackFrame frame;
        frame.address = reinterpret_cast<std::uintptr_t>(addresses[static_cast<size_t>(i)]);
        if (symbols && symbols[i]) {
            // "binary(mangled+0x1f) [0x...]"
            std::string text = symbols[i];
            const size_t open = text.find('(');
            const size_t plus = text.find_first_of("+)", open == std::string::npos ? 0 : open);
            if (open != std::string::npos && plus != std::string::npos && plus > open + 1)
                frame.function = demangle(text.substr(open + 1, plus - open - 1).c_str());
        }
        frames.push_back(std::move(frame));
    }
    std::free(symbols);
    return frames;
}

#ifdef PADDLESTONE_HAVE_LIBBACKTRACE

struct Capture {
    std::vector<StackFrame>* frames;
    int maxFrames;
    backtrace_state* state;
};

void ignoreError(void*, const char*, int) {}

void takeSymbol(void* data, std::uintptr_t, const char* symbol, std::uintptr_t, std::uintptr_t) {
    if (symbol)
        *static_cast<std::string*>(data) = demangle(symbol);
}

int takeFrame(void* data, std::uintptr_t pc, const char* file, int line, const char* function) {
    auto* capture = static_cast<Capture*>(data);
    if (pc == static_cast<std::uintptr_t>(-1)) // the unwinder's end marker
        return 1;
    StackFrame frame;
    frame.address = pc;
    frame.file = file ? file : "";
    frame.line = file ? line : 0;
    if (function)
        frame.function = demangle(function);
    else
        backtrace_syminfo(capture->state, pc, takeSymbol, ignoreError, &frame.function);
    capture->frames->push_back(std::move(frame));
    return static_cast<int>(capture->frames->size()) >= capture->maxFrames ? 1 : 0;
}

backtrace_state* sharedState() {
    // Created once for the process (a thread-safe static); libbacktrace never frees it.
    static backtrace_state* state = backtrace_create_state(nullptr, 1, ignoreError, nullptr);
    return state;
}

#endif

} // namespace

std::vector<StackFrame> captureCallStack(int skip, int maxFrames) {
    if (skip < 0)
        skip = 0;
    if (maxFrames <= 0)
        return {};
#ifdef PADDLESTONE_HAVE_LIBBACKTRACE
    if (backtrace_state* state = sharedState()) {
        std::vector<StackFrame> frames;
        Capture capture{&frames, maxFrames, state};
        // A skip of 0 would start at this function.
        backtrace_full(state, skip + 1, takeFrame, ignoreError, &capture);
        // The debug information names a member function defined outside its class without
        // the class ("TestBody"). The last frame of an address is the function the code
        // belongs to (the ones before it were inlined into it): its symbol has the full name.
        for (size_t i = 0; i < frames.size(); ++i) {
            if (i + 1 < frames.size() && frames[i + 1].address == frames[i].address)
                continue;
            std::string symbol;
            backtrace_syminfo(state, frames[i].address, takeSymbol, ignoreError, &symbol);
            if (symbol.size() > frames[i].function.size() &&
                symbol.find(frames[i].function) != std::string::npos)
                frames[i].function = symbol;
        }
        if (!frames.empty())
            return frames;
    }
#endif
    return captureWithGlibc(skip, maxFrames);
}

} // namespace platform
