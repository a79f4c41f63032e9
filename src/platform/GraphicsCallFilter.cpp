// The engine's material change selects every texture unit in turn to load its texture
// matrix (almost always the one already there), at every draw. Mesa takes each change of the
// selected unit as new texture state: at the next draw it binds every sampler again, and its
// software rasterizer copies and compares its whole fragment state (33 KB). These wrappers
// stand between the engine and the OpenGL library (the game's own symbols take precedence
// over the library's, and the engine looks its extensions up through the wrapped lookup): a
// unit selection is kept aside and made only before a call that works on the selected unit,
// and a texture matrix load that leaves the matrix as it is never reaches the driver.
// Without those copies a software rasterizer's scenes fill slowly and it would start on a
// frame only at its end: it is handed its work every few hundred draws instead, so that it
// shades while the frame is still being drawn. Its buffer swap waits until every pixel is
// shaded; for a game frame that asks (deferNextBufferSwap) the swap is made only before the
// next clear or draw, so that the shading of the frame's last draws goes on while the game
// works out the next frame. Everything else goes through unchanged.
#include "platform/GraphicsCallFilter.h"

#include "platform/TextureFiltering.h"

#include <dlfcn.h>
#include <malloc.h>

#include <cstring>
#include <utility>

namespace {

using Enum = unsigned;
using Bitfield = unsigned;

constexpr Enum kTextureMatrixMode = 0x1702; // GL_TEXTURE
constexpr Enum kTexture0 = 0x84C0;          // GL_TEXTURE0
constexpr Enum kActiveTexture = 0x84E0;     // GL_ACTIVE_TEXTURE
constexpr Enum kMatrixMode = 0x0BA0;        // GL_MATRIX_MODE
constexpr Enum kRenderer = 0x1F01;          // GL_RENDERER
constexpr unsigned kCachedUnits = 32;

template <class Function> Function next(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

// What this thread's current context has (real) and what the caller last asked for (wanted).
// Unknown (0) until a context is made current and asked.
struct CallState {
    Enum realUnit = 0;
    Enum wantedUnit = 0;
    Enum realMode = 0;
    Enum wantedMode = 0;
    bool known = false;
    unsigned flushDraws = 0; // 0: never
    bool deferNextSwap = false;
    void* swapDisplay = nullptr; // a swap kept back for the next clear or draw
    unsigned long swapDrawable = 0;
    bool matrixKnown[kCachedUnits] = {};
    float matrix[kCachedUnits][16] = {};
    platform::GraphicsCallCounts counts;
};

thread_local CallState state;

using ActiveTextureFn = void (*)(Enum);
using MatrixModeFn = void (*)(Enum);
using GetIntegervFn = void (*)(Enum, int*);

ActiveTextureFn realActiveTexture() {
    // Resolved through the library's own lookup: the extension entry the engine asks for.
    using GetProcFn = void* (*)(const unsigned char*);
    static const auto getProc = next<GetProcFn>("glXGetProcAddressARB");
    static const auto function =
        getProc ? reinterpret_cast<ActiveTextureFn>(
                      getProc(reinterpret_cast<const unsigned char*>("glActiveTextureARB")))
                : nullptr;
    return function;
}

// A software rasterizer's memory for each draw's vertices and each scene it hands its
// threads comes from the heap and goes back to it after the draw; the allocator gave the
// heap's free top back to the system whenever it grew past a small threshold, so that every
// page was faulted in again at the next draw (over a thousand a frame for a large mesh, each
// paid in the kernel and dearer on a busy machine). The heap keeps that much free instead.
// Setting the threshold stops the allocator from raising its threshold for mapping a block on
// its own as blocks are given back; it is set to the most the allocator would raise it to.
void keepHeapForSoftwareRasterizer() {
    static const bool kept =
        ::mallopt(M_TRIM_THRESHOLD, static_cast<int>(platform::kSoftwareRasterizerHeapKept)) == 1 &&
        ::mallopt(M_MMAP_THRESHOLD, static_cast<int>(platform::kSoftwareRasterizerHeapBlock)) == 1;
    (void)kept;
}

void learnCurrent() {
    static const auto getIntegerv = next<GetIntegervFn>("glGetIntegerv");
    int unit = 0;
    int mode = 0;
    if (getIntegerv) {
        getIntegerv(kActiveTexture, &unit);
        getIntegerv(kMatrixMode, &mode);
    }
    state.realUnit = state.wantedUnit = static_cast<Enum>(unit);
    state.realMode = state.wantedMode = static_cast<Enum>(mode);
    state.known = unit != 0 && mode != 0;
    static const auto getString = next<const unsigned char* (*)(Enum)>("glGetString");
    const unsigned char* renderer = getString ? getString(kRenderer) : nullptr;
    state.flushDraws =
        renderer && platform::rendererRasterizesOnProcessor(reinterpret_cast<const char*>(renderer))
            ? platform::kSoftwareRasterizerFlushDraws
            : 0;
    if (state.flushDraws != 0)
        keepHeapForSoftwareRasterizer();
}

void forgetContext() {
    state.known = false;
    state.flushDraws = 0;
    for (bool& known : state.matrixKnown)
        known = false;
}

// Makes the selections the caller asked for before a call that depends on them.
void syncUnit() {
    if (!state.known || state.realUnit == state.wantedUnit)
        return;
    if (auto function = realActiveTexture())
        function(state.wantedUnit);
    state.realUnit = state.wantedUnit;
    ++state.counts.unitSelectionsMade;
}

void syncMode() {
    if (!state.known || state.realMode == state.wantedMode)
        return;
    static const auto matrixMode = next<MatrixModeFn>("glMatrixMode");
    if (matrixMode)
        matrixMode(state.wantedMode);
    state.realMode = state.wantedMode;
}

void syncAll() {
    syncUnit();
    syncMode();
}

// The texture unit's slot in the matrix cache when the matrix mode is the texture's; -1 when
// a matrix call goes to another stack or a unit past the cache.
int textureMatrixSlot() {
    if (!state.known || state.wantedMode != kTextureMatrixMode)
        return -1;
    const unsigned unit = state.wantedUnit - kTexture0;
    return unit < kCachedUnits ? static_cast<int>(unit) : -1;
}

void forgetTextureMatrix() {
    const int slot = textureMatrixSlot();
    if (slot >= 0)
        state.matrixKnown[slot] = false;
}

const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// A load of the texture matrix: skipped when it leaves the matrix as it is.
bool loadWouldChangeNothing(const float* matrix) {
    const int slot = textureMatrixSlot();
    if (slot < 0)
        return false;
    if (state.matrixKnown[slot] &&
        std::memcmp(state.matrix[slot], matrix, sizeof state.matrix[slot]) == 0) {
        ++state.counts.textureMatrixLoadsSkipped;
        return true;
    }
    std::memcpy(state.matrix[slot], matrix, sizeof state.matrix[slot]);
    state.matrixKnown[slot] = true;
    return false;
}

using SwapFn = void (*)(void*, unsigned long);

SwapFn realSwap() {
    static const auto real = next<SwapFn>("glXSwapBuffers");
    return real;
}

// The frame kept back is shown before anything else is drawn or cleared.
void completeSwap() {
    if (!state.swapDisplay)
        return;
    void* display = state.swapDisplay;
    state.swapDisplay = nullptr;
    ++state.counts.swaps;
    if (SwapFn swap = realSwap())
        swap(display, state.swapDrawable);
}

// A frame kept back is shown before another context or window is taken up; a window let go
// of (the game's end) shows no more frames.
void settleSwapBeforeSwitch(bool takesUpWindow) {
    if (takesUpWindow)
        completeSwap();
    state.swapDisplay = nullptr;
}

void drawn() {
    ++state.counts.draws;
    if (state.flushDraws == 0 || state.counts.draws % state.flushDraws != 0)
        return;
    static const auto flush = next<void (*)()>("glFlush");
    if (flush)
        flush();
    ++state.counts.flushes;
}

void selectUnit(Enum unit) {
    ++state.counts.unitSelections;
    if (!state.known) {
        if (auto function = realActiveTexture())
            function(unit);
        return;
    }
    state.wantedUnit = unit;
}

// A library call passed on after `first()`.
#define FORWARDED_CALL(first, name, parameters, arguments)                                         \
    extern "C" __attribute__((visibility("default"))) void name parameters {                       \
        using Function = void(*) parameters;                                                       \
        static const auto real = next<Function>(#name);                                            \
        first();                                                                                   \
        if (real)                                                                                  \
            real arguments;                                                                        \
    }
// Calls that work on the selected unit or read it: the selections are made first.
#define SYNCED_CALL(name, parameters, arguments)                                                   \
    FORWARDED_CALL(syncAll, name, parameters, arguments)

} // namespace

extern "C" {

__attribute__((visibility("default"))) void glActiveTexture(Enum unit) {
    selectUnit(unit);
}
__attribute__((visibility("default"))) void glActiveTextureARB(Enum unit) {
    selectUnit(unit);
}

__attribute__((visibility("default"))) void glMatrixMode(Enum mode) {
    if (!state.known) {
        static const auto real = next<MatrixModeFn>("glMatrixMode");
        if (real)
            real(mode);
        return;
    }
    state.wantedMode = mode;
}

__attribute__((visibility("default"))) void glLoadIdentity() {
    static const auto real = next<void (*)()>("glLoadIdentity");
    if (loadWouldChangeNothing(kIdentity))
        return;
    syncAll();
    if (real)
        real();
}

__attribute__((visibility("default"))) void glLoadMatrixf(const float* matrix) {
    static const auto real = next<void (*)(const float*)>("glLoadMatrixf");
    if (matrix && loadWouldChangeNothing(matrix))
        return;
    syncAll();
    if (real)
        real(matrix);
}

__attribute__((visibility("default"))) void glMultMatrixf(const float* matrix) {
    static const auto real = next<void (*)(const float*)>("glMultMatrixf");
    forgetTextureMatrix();
    syncAll();
    if (real)
        real(matrix);
}

__attribute__((visibility("default"))) void glPushMatrix() {
    static const auto real = next<void (*)()>("glPushMatrix");
    syncAll();
    if (real)
        real();
}

__attribute__((visibility("default"))) void glPopMatrix() {
    static const auto real = next<void (*)()>("glPopMatrix");
    forgetTextureMatrix();
    syncAll();
    if (real)
        real();
}

__attribute__((visibility("default"))) void glTranslatef(float x, float y, float z) {
    static const auto real = next<void (*)(float, float, float)>("glTranslatef");
    forgetTextureMatrix();
    syncAll();
    if (real)
        real(x, y, z);
}

__attribute__((visibility("default"))) void glPopAttrib() {
    static const auto real = next<void (*)()>("glPopAttrib");
    syncAll();
    if (real)
        real();
    // The attribute stack may have brought back another unit or matrix mode.
    if (state.known)
        learnCurrent();
}

} // extern "C"

SYNCED_CALL(glBindTexture, (Enum target, unsigned texture), (target, texture))
SYNCED_CALL(glTexParameteri, (Enum target, Enum name, int value), (target, name, value))
SYNCED_CALL(glTexParameterf, (Enum target, Enum name, float value), (target, name, value))
SYNCED_CALL(glTexEnvi, (Enum target, Enum name, int value), (target, name, value))
SYNCED_CALL(glTexEnvf, (Enum target, Enum name, float value), (target, name, value))
SYNCED_CALL(glTexGeni, (Enum coord, Enum name, int value), (coord, name, value))
SYNCED_CALL(glTexImage2D,
            (Enum target, int level, int internalFormat, int width, int height, int border,
             Enum format, Enum type, const void* pixels),
            (target, level, internalFormat, width, height, border, format, type, pixels))
SYNCED_CALL(glTexSubImage2D,
            (Enum target, int level, int x, int y, int width, int height, Enum format, Enum type,
             const void* pixels),
            (target, level, x, y, width, height, format, type, pixels))
SYNCED_CALL(glCopyTexSubImage2D,
            (Enum target, int level, int xOffset, int yOffset, int x, int y, int width, int height),
            (target, level, xOffset, yOffset, x, y, width, height))
SYNCED_CALL(glGetTexImage, (Enum target, int level, Enum format, Enum type, void* pixels),
            (target, level, format, type, pixels))
SYNCED_CALL(glEnable, (Enum capability), (capability))
SYNCED_CALL(glDisable, (Enum capability), (capability))
SYNCED_CALL(glGetIntegerv, (Enum name, int* values), (name, values))
SYNCED_CALL(glGetFloatv, (Enum name, float* values), (name, values))
SYNCED_CALL(glPushAttrib, (Bitfield mask), (mask))

extern "C" __attribute__((visibility("default"))) void
glDrawElements(Enum mode, int count, Enum type, const void* indices) {
    static const auto real = next<void (*)(Enum, int, Enum, const void*)>("glDrawElements");
    completeSwap();
    if (real)
        real(mode, count, type, indices);
    drawn();
}

extern "C" __attribute__((visibility("default"))) void glDrawArrays(Enum mode, int first,
                                                                    int count) {
    static const auto real = next<void (*)(Enum, int, int)>("glDrawArrays");
    completeSwap();
    if (real)
        real(mode, first, count);
    drawn();
}

// Calls that draw into or read the window: a frame kept back is shown first (the engine
// reads its screenshots from the front buffer).
#define SHOWN_FIRST_CALL(name, parameters, arguments)                                              \
    FORWARDED_CALL(completeSwap, name, parameters, arguments)

SHOWN_FIRST_CALL(glClear, (Bitfield mask), (mask))
SHOWN_FIRST_CALL(glBegin, (Enum mode), (mode))
SHOWN_FIRST_CALL(glReadPixels,
                 (int x, int y, int width, int height, Enum format, Enum type, void* pixels),
                 (x, y, width, height, format, type, pixels))

extern "C" __attribute__((visibility("default"))) void glXSwapBuffers(void* display,
                                                                      unsigned long drawable) {
    const bool defer = std::exchange(state.deferNextSwap, false);
    completeSwap();
    if (defer && state.flushDraws != 0) {
        static const auto flush = next<void (*)()>("glFlush");
        if (flush)
            flush();
        state.swapDisplay = display;
        state.swapDrawable = drawable;
        ++state.counts.swapsKeptBack;
        return;
    }
    ++state.counts.swaps;
    if (SwapFn swap = realSwap())
        swap(display, drawable);
}

extern "C" __attribute__((visibility("default"))) unsigned char glIsEnabled(Enum capability) {
    static const auto real = next<unsigned char (*)(Enum)>("glIsEnabled");
    syncAll();
    return real ? real(capability) : 0;
}

namespace {

// The extension entries that work on the selected unit, as the library gives them.
using ProcPointer = void (*)();
using GetProcFn = ProcPointer (*)(const unsigned char*);
using GenerateMipmapFn = void (*)(Enum);
using CompressedTexImageFn = void (*)(Enum, int, Enum, int, int, int, int, const void*);

ProcPointer realProc(const char* name) {
    static const auto getProc = next<GetProcFn>("glXGetProcAddressARB");
    return getProc ? getProc(reinterpret_cast<const unsigned char*>(name)) : nullptr;
}

template <const char* Name> void generateMipmap(Enum target) {
    static const auto real = reinterpret_cast<GenerateMipmapFn>(realProc(Name));
    syncAll();
    if (real)
        real(target);
}

template <const char* Name>
void compressedTexImage2D(Enum target, int level, Enum format, int width, int height, int border,
                          int size, const void* data) {
    static const auto real = reinterpret_cast<CompressedTexImageFn>(realProc(Name));
    syncAll();
    if (real)
        real(target, level, format, width, height, border, size, data);
}

constexpr char kGenerateMipmap[] = "glGenerateMipmap";
constexpr char kGenerateMipmapExt[] = "glGenerateMipmapEXT";
constexpr char kCompressedTexImage2D[] = "glCompressedTexImage2D";
constexpr char kCompressedTexImage2DArb[] = "glCompressedTexImage2DARB";

ProcPointer lookUp(const unsigned char* name) {
    const char* text = reinterpret_cast<const char*>(name);
    if (!text)
        return nullptr;
    struct Entry {
        const char* name;
        ProcPointer wrapper;
    };
    static const Entry entries[] = {
        {"glActiveTexture", reinterpret_cast<ProcPointer>(&glActiveTexture)},
        {"glActiveTextureARB", reinterpret_cast<ProcPointer>(&glActiveTextureARB)},
        {kGenerateMipmap, reinterpret_cast<ProcPointer>(&generateMipmap<kGenerateMipmap>)},
        {kGenerateMipmapExt, reinterpret_cast<ProcPointer>(&generateMipmap<kGenerateMipmapExt>)},
        {kCompressedTexImage2D,
         reinterpret_cast<ProcPointer>(&compressedTexImage2D<kCompressedTexImage2D>)},
        {kCompressedTexImage2DArb,
         reinterpret_cast<ProcPointer>(&compressedTexImage2D<kCompressedTexImage2DArb>)},
    };
    for (const Entry& entry : entries) {
        if (std::strcmp(text, entry.name) == 0)
            return realProc(text) ? entry.wrapper : nullptr;
    }
    return realProc(text);
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) ProcPointer glXGetProcAddressARB(const unsigned char* name) {
    return lookUp(name);
}

__attribute__((visibility("default"))) ProcPointer glXGetProcAddress(const unsigned char* name) {
    return lookUp(name);
}

// A context made current (or gone) has selections of its own: asked again.
__attribute__((visibility("default"))) int glXMakeCurrent(void* display, unsigned long drawable,
                                                          void* context) {
    static const auto real = next<int (*)(void*, unsigned long, void*)>("glXMakeCurrent");
    settleSwapBeforeSwitch(drawable && context);
    const int made = real ? real(display, drawable, context) : 0;
    forgetContext();
    if (made && context)
        learnCurrent();
    return made;
}

__attribute__((visibility("default"))) int
glXMakeContextCurrent(void* display, unsigned long draw, unsigned long read, void* context) {
    static const auto real =
        next<int (*)(void*, unsigned long, unsigned long, void*)>("glXMakeContextCurrent");
    settleSwapBeforeSwitch(draw && context);
    const int made = real ? real(display, draw, read, context) : 0;
    forgetContext();
    if (made && context)
        learnCurrent();
    return made;
}

} // extern "C"

namespace platform {

void deferNextBufferSwap() {
    state.deferNextSwap = true;
}

GraphicsCallCounts graphicsCallCounts() {
    return state.counts;
}

} // namespace platform
