#include "phys/Foundation.h"

#include <cstdarg>
#include <cstdio>

namespace phys {

Foundation* Foundation::create(Allocator* allocator, ErrorHandler* errorHandler) {
    return new Foundation(allocator, errorHandler);
}

Foundation::Foundation(Allocator* allocator_, ErrorHandler* errorHandler_)
    : allocator(allocator_), errorHandler(errorHandler_), mainThread(std::this_thread::get_id()) {}

void Foundation::release() {
    flushDeferredErrors();
    delete this;
}

void Foundation::reportError(ErrorCode code, const char* file, int line, const char* format, ...) {
    char message[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof(message), format, args);
    va_end(args);

    if (std::this_thread::get_id() == mainThread) {
        deliver(code, message, file, line);
        return;
    }
    std::lock_guard<std::mutex> lock(deferredMutex);
    deferred.push_back({code, message, file, line});
}

void Foundation::flushDeferredErrors() {
    std::vector<DeferredError> pending;
    {
        std::lock_guard<std::mutex> lock(deferredMutex);
        pending.swap(deferred);
    }
    for (const DeferredError& e : pending)
        deliver(e.code, e.message.c_str(), e.file, e.line);
}

void Foundation::deliver(ErrorCode code, const char* message, const char* file, int line) {
    if (errorHandler) {
        errorHandler->reportError(code, message, file, line);
        return;
    }
    std::fprintf(stderr, "physics error %d: %s (%s:%d)\n", static_cast<int>(code), message, file, line);
}

} // namespace phys
