#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The foundation: created first, released last. It carries the caller's error handler and
// allocator; every error the layer detects goes to the handler on the main thread.

namespace phys {

// Error codes with the numbering the game's error handler logs.
enum class ErrorCode : int {
    NoError = 0,
    DebugInfo = 1,
    Warning = 2,
    InvalidParameter = 4,
    InvalidOperation = 8,
    OutOfMemory = 16,
    InternalError = 32,
    Abort = 64,
    PerfWarning = 128,
};

class ErrorHandler {
public:
    virtual ~ErrorHandler() = default;
    virtual void reportError(ErrorCode code, const char* message, const char* file, int line) = 0;
};

// 16-byte aligned allocation. Stored for the caller; Bullet's own allocator is process-wide
// and the layer's objects use the standard heap, so nothing is routed through it.
class Allocator {
public:
    virtual ~Allocator() = default;
    virtual void* allocate(std::size_t size, const char* typeName, const char* file, int line) = 0;
    virtual void deallocate(void* ptr) = 0;
};

class Foundation {
public:
    // The handler may be null: errors then go to standard error.
    static Foundation* create(Allocator* allocator, ErrorHandler* errorHandler);
    void release();

    Allocator* getAllocator() const { return allocator; }
    ErrorHandler* getErrorHandler() const { return errorHandler; }

    // Reports at once on the thread that created the foundation; errors raised on other
    // threads wait for flushDeferredErrors (called by the scene while it fetches results).
    void reportError(ErrorCode code, const char* file, int line, const char* format, ...)
        __attribute__((format(printf, 5, 6)));
    void flushDeferredErrors();

private:
    Foundation(Allocator* allocator, ErrorHandler* errorHandler);
    ~Foundation() = default;
    void deliver(ErrorCode code, const char* message, const char* file, int line);

    struct DeferredError {
        ErrorCode code;
        std::string message;
        const char* file;
        int line;
    };

    Allocator* allocator;
    ErrorHandler* errorHandler;
    std::thread::id mainThread;
    std::mutex deferredMutex;
    std::vector<DeferredError> deferred;
};

} // namespace phys

// Reports an error through a foundation with the caller's file and line.
#define PHYS_REPORT(foundation, code, ...) \
    (foundation).reportError((code), __FILE__, __LINE__, __VA_ARGS__)
