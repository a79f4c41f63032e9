#pragma once

// The OpenGL scissor box, which the engine offers only around its 2D drawing: a 3D draw
// confined to a part of the target leaves the rasterizer the rest. Coordinates are the
// window's, as OpenGL counts them (from the bottom left of the current target). Without a
// current OpenGL context every call does nothing and answers false.
namespace platform {

// The viewport of the current OpenGL context: x, y, width, height.
bool currentViewport(int viewport[4]);
// The draws that follow reach only the box.
bool setScissorBox(int x, int y, int width, int height);
// The draws that follow reach the whole target again.
void clearScissorBox();

} // namespace platform
