#pragma once

// The bytes the program holds on the heap, as the sanitizers' allocator counts them (what was
// asked for, without its own padding): for checking that what a thing is charged covers what
// it allocates. Without a sanitizer there is no count (a test skips).
#include <cstddef>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define PADDLESTONE_HEAP_COUNTED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define PADDLESTONE_HEAP_COUNTED 1
#endif
#endif

#ifdef PADDLESTONE_HEAP_COUNTED
// sanitizer/allocator_interface.h, which not every compiler installs.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace test {

inline bool heapCounted() {
#ifdef PADDLESTONE_HEAP_COUNTED
    return true;
#else
    return false;
#endif
}

inline std::size_t heapBytesInUse() {
#ifdef PADDLESTONE_HEAP_COUNTED
    return __sanitizer_get_current_allocated_bytes();
#else
    return 0;
#endif
}

} // namespace test
