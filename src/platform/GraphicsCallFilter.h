#pragma once

// The game stands between the engine and the OpenGL library for the calls that select a
// texture unit, load a texture matrix or draw (GraphicsCallFilter.cpp says why): what it did
// on this thread, for the tests and the benchmarks.
namespace platform {

struct GraphicsCallCounts {
    unsigned long long unitSelections = 0;     // texture units the engine selected
    unsigned long long unitSelectionsMade = 0; // of them, made in the driver
    unsigned long long textureMatrixLoadsSkipped = 0;
    unsigned long long draws = 0;
    unsigned long long flushes = 0; // a software rasterizer handed what it had been given
    unsigned long long swaps = 0;   // buffer swaps made in the driver
    unsigned long long swapsKeptBack = 0;
};

GraphicsCallCounts graphicsCallCounts();

// The next buffer swap on this thread, when a software rasterizer draws, is made only before
// the next clear, draw or change of context: the frame's last draws are shaded while the
// caller goes on (one frame's work later on the screen). Without a software rasterizer, or
// for a swap not asked for, the swap is made at once.
void deferNextBufferSwap();

// A renderer that rasterizes on the processor is handed its work after this many draws.
constexpr unsigned kSoftwareRasterizerFlushDraws = 256;

// Once such a renderer is current, the heap keeps up to this much free memory at its top
// instead of giving it back to the system, and blocks up to kSoftwareRasterizerHeapBlock come
// from the heap (larger ones are mapped on their own).
constexpr unsigned long kSoftwareRasterizerHeapKept = 128ul << 20;
constexpr unsigned long kSoftwareRasterizerHeapBlock = 32ul << 20;

} // namespace platform
