#include "CountingNew.h"

#include <cstdlib>
#include <new>

namespace counting_new {

std::atomic<bool> counting{false};
std::atomic<long> count{0};
std::atomic<void (*)(std::size_t)> observer{nullptr};

namespace {

void* allocate(std::size_t size) {
    if (counting.load(std::memory_order_relaxed)) {
        count.fetch_add(1, std::memory_order_relaxed);
        if (auto* watch = observer.load(std::memory_order_relaxed))
            watch(size);
    }
    return std::malloc(size == 0 ? 1 : size);
}

// Out of line, so that the compiler does not pair a free with a new it sees inlined.
[[gnu::noinline]] void release(void* p) { std::free(p); }

} // namespace
} // namespace counting_new

using counting_new::allocate;
using counting_new::release;

void* operator new(std::size_t size) {
    if (void* p = allocate(size))
        return p;
    std::abort(); // the build has no exceptions to throw bad_alloc with
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p); }
