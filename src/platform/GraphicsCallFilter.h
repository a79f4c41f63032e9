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
};

GraphicsCallCounts graphicsCallCounts();

// A renderer that rasterizes on the processor is handed its work after this many draws.
constexpr unsigned kSoftwareRasterizerFlushDraws = 256;

} // namespace platform
