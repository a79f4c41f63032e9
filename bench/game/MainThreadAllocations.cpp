#include "MainThreadAllocations.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <execinfo.h>
#include <link.h>

namespace main_thread_allocations {

std::atomic<bool> counting{false};
long count = 0;
long inDriver = 0;
void (*observer)() = nullptr;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)

bool available() { return false; }
void markMainThread() {}
Quiet::Quiet() : was(false) {}
Quiet::~Quiet() = default;
bool findDriver() { return false; }

#else

namespace {

thread_local bool mainThread = false;
thread_local bool inside = false;

// The executable segments of the OpenGL driver's libraries.
struct Range {
    std::uintptr_t begin;
    std::uintptr_t end;
};
constexpr int maxRanges = 64;
Range driverRanges[maxRanges];
int driverRangeCount = 0;

bool isDriverLibrary(const char* path) {
    // The dispatch library, the GLX side, Mesa's drivers and the compiler they use.
    for (const char* part : {"libGL", "libGLX", "libGLdispatch", "libglapi", "_dri.so", "libgallium", "libLLVM", "libEGL"})
        if (std::strstr(path, part))
            return true;
    return false;
}

int addDriverRanges(dl_phdr_info* info, std::size_t, void*) {
    if (!info->dlpi_name || !isDriverLibrary(info->dlpi_name))
        return 0;
    for (int i = 0; i < info->dlpi_phnum && driverRangeCount < maxRanges; ++i) {
        const ElfW(Phdr)& header = info->dlpi_phdr[i];
        if (header.p_type == PT_LOAD && (header.p_flags & PF_X)) {
            const std::uintptr_t begin = info->dlpi_addr + header.p_vaddr;
            driverRanges[driverRangeCount++] = {begin, begin + header.p_memsz};
        }
    }
    return 0;
}

bool calledFromDriver() {
    constexpr int depth = 16;
    void* frames[depth];
    const int found = backtrace(frames, depth);
    for (int f = 1; f < found; ++f) {
        const auto address = reinterpret_cast<std::uintptr_t>(frames[f]);
        for (int r = 0; r < driverRangeCount; ++r)
            if (address >= driverRanges[r].begin && address < driverRanges[r].end)
                return true;
    }
    return false;
}

void note() {
    if (!mainThread || inside || !counting.load(std::memory_order_relaxed))
        return;
    inside = true;
    ++count;
    if (driverRangeCount > 0 && calledFromDriver())
        ++inDriver;
    else if (observer)
        observer();
    inside = false;
}

} // namespace

bool available() { return true; }

void markMainThread() { mainThread = true; }

Quiet::Quiet() : was(inside) { inside = true; }
Quiet::~Quiet() { inside = was; }

bool findDriver() {
    void* warm[2];
    backtrace(warm, 2); // loads the unwinder before anything is counted
    driverRangeCount = 0;
    dl_iterate_phdr(&addDriverRanges, nullptr);
    return driverRangeCount > 0;
}

#endif

} // namespace main_thread_allocations

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)

// The C library's own entry points, which the counting ones below hand on to.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void* __libc_valloc(std::size_t size);
void* __libc_pvalloc(std::size_t size);

void* malloc(std::size_t size) noexcept {
    main_thread_allocations::note();
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) noexcept {
    main_thread_allocations::note();
    return __libc_calloc(count, size);
}
void* realloc(void* pointer, std::size_t size) noexcept {
    main_thread_allocations::note();
    return __libc_realloc(pointer, size);
}
void* memalign(std::size_t alignment, std::size_t size) noexcept {
    main_thread_allocations::note();
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(std::size_t alignment, std::size_t size) noexcept {
    main_thread_allocations::note();
    return __libc_memalign(alignment, size);
}
void* valloc(std::size_t size) noexcept {
    main_thread_allocations::note();
    return __libc_valloc(size);
}
void* pvalloc(std::size_t size) noexcept {
    main_thread_allocations::note();
    return __libc_pvalloc(size);
}
int posix_memalign(void** result, std::size_t alignment, std::size_t size) noexcept {
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0)
        return EINVAL;
    main_thread_allocations::note();
    void* made = __libc_memalign(alignment, size);
    if (!made && size != 0)
        return ENOMEM;
    *result = made;
    return 0;
}
}

#endif
