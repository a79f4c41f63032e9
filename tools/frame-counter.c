/* Counts the frames a program shows on an X server without direct rendering (Xvfb): Mesa's
 * software renderer puts each finished frame on the window with one XShmPutImage (XPutImage
 * without shared memory) of the whole window. Preloaded into a program (LD_PRELOAD), it counts
 * those calls in the first eight bytes of the file $FRAME_COUNTER_FILE, which another process
 * reads while the program runs; every call is passed on unchanged. With $FRAME_TIMES_FILE it
 * also appends there the time of each frame, in microseconds of the monotonic clock (eight
 * bytes each), and with $FRAME_CPU_FILE the processor time the whole process has used by then
 * (every thread's, as utime + stime in /proc/<pid>/stat count it), in microseconds: the
 * processor time between two frames is then exactly that of the frames between them.
 * tools/title-cost.sh and tools/hostile-memory.sh build it with the system's C compiler. */
#define _GNU_SOURCE
#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

static uint64_t* counter;
static int counterOpened;
static int timesFile = -1;
static int cpuFile = -1;
static int timesOpened;

static void appendStamp(int* file, clockid_t clock) {
    if (*file < 0)
        return;
    struct timespec now;
    clock_gettime(clock, &now);
    const uint64_t micros = (uint64_t)now.tv_sec * 1000000u + (uint64_t)now.tv_nsec / 1000u;
    if (write(*file, &micros, sizeof micros) != sizeof micros) {
        close(*file);
        *file = -1;
    }
}

/* Frames come from the program's one rendering thread. */
static void noteTime(void) {
    if (!timesOpened) {
        timesOpened = 1;
        const char* path = getenv("FRAME_TIMES_FILE");
        timesFile = path ? open(path, O_WRONLY | O_CREAT | O_APPEND, 0644) : -1;
        path = getenv("FRAME_CPU_FILE");
        cpuFile = path ? open(path, O_WRONLY | O_CREAT | O_APPEND, 0644) : -1;
    }
    appendStamp(&timesFile, CLOCK_MONOTONIC);
    appendStamp(&cpuFile, CLOCK_PROCESS_CPUTIME_ID);
}

static void countFrame(unsigned int width, unsigned int height) {
    /* A frame covers the window: small images (a cursor, an icon) are not frames. */
    if (width < 320 || height < 200)
        return;
    noteTime();
    if (!__atomic_exchange_n(&counterOpened, 1, __ATOMIC_ACQ_REL)) {
        const char* path = getenv("FRAME_COUNTER_FILE");
        const int file = path ? open(path, O_RDWR | O_CREAT, 0644) : -1;
        if (file >= 0) {
            if (ftruncate(file, sizeof(uint64_t)) == 0) {
                void* mapped = mmap(NULL, sizeof(uint64_t), PROT_READ | PROT_WRITE, MAP_SHARED, file, 0);
                if (mapped != MAP_FAILED)
                    __atomic_store_n(&counter, (uint64_t*)mapped, __ATOMIC_RELEASE);
            }
            close(file);
        }
    }
    uint64_t* shared = __atomic_load_n(&counter, __ATOMIC_ACQUIRE);
    if (shared)
        __atomic_add_fetch(shared, 1, __ATOMIC_RELAXED);
}

Bool XShmPutImage(Display* display, Drawable drawable, GC gc, XImage* image, int sourceX, int sourceY, int x,
                  int y, unsigned int width, unsigned int height, Bool sendEvent) {
    Bool (*next)(Display*, Drawable, GC, XImage*, int, int, int, int, unsigned int, unsigned int, Bool) =
        (Bool (*)(Display*, Drawable, GC, XImage*, int, int, int, int, unsigned int, unsigned int, Bool))dlsym(
            RTLD_NEXT, "XShmPutImage");
    countFrame(width, height);
    return next ? next(display, drawable, gc, image, sourceX, sourceY, x, y, width, height, sendEvent) : False;
}

int XPutImage(Display* display, Drawable drawable, GC gc, XImage* image, int sourceX, int sourceY, int x, int y,
              unsigned int width, unsigned int height) {
    int (*next)(Display*, Drawable, GC, XImage*, int, int, int, int, unsigned int, unsigned int) =
        (int (*)(Display*, Drawable, GC, XImage*, int, int, int, int, unsigned int, unsigned int))dlsym(
            RTLD_NEXT, "XPutImage");
    countFrame(width, height);
    return next ? next(display, drawable, gc, image, sourceX, sourceY, x, y, width, height) : 0;
}
