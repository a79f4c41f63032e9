#pragma once

#include <cstddef>
#include <string>

// The engine's B3D loader trusts the file: a chunk size past its parent or the file makes
// it read on without end, a brush, vertex or bone index out of range makes it read or write
// outside its arrays, and a texture chunk after the brushes leaves them pointing at freed
// memory. Before it sees a B3D file, the whole file is walked here: every chunk's size
// against the file and its parent chunk, every count against the bytes it covers, every
// brush, texture, vertex and bone index against what the file defines before it, every
// float finite, the nesting bounded. Only chunks the format defines, in their places, pass.
//
// True when the file is safe for the engine's loader; otherwise false with the reason.
bool checkB3dStructure(const unsigned char* data, std::size_t size, std::string& error);
