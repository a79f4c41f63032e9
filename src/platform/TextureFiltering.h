#pragma once

#include <string>
#include <string_view>

namespace irr::video {
struct SMaterial;
}

// What the graphics driver is asked for when textures are filtered. Mesa's software
// rasterizers filter anisotropically by scanning every texel under a pixel's footprint; the
// footprint has no bound, and at a face seen almost edge-on (or the helper pixels beside it,
// whose texture coordinates run off towards infinity) one pixel scans millions of texels: a
// small object takes seconds to draw, and now and then a draw never ends. There the game asks
// for plain trilinear filtering instead.
namespace platform {

// True for a renderer (the OpenGL renderer string) that rasterizes on the processor: Mesa's
// llvmpipe and softpipe. False for any other, and for an empty name.
bool rendererRasterizesOnProcessor(std::string_view renderer);

// False for a renderer whose anisotropic filter has no bound on its cost: those that
// rasterize on the processor. True for any other, and for an empty name.
bool rendererBoundsAnisotropicFilter(std::string_view renderer);

// The renderer string of the OpenGL context current on this thread; empty without one (the
// null and software drivers).
std::string currentRendererName();

// Whether anisotropic filtering may be asked for: the current renderer bounds its cost. The
// answer is kept once an OpenGL context has given a renderer name (it cannot change within
// the process); without a context the filter is allowed (no driver there filters with it).
bool anisotropicFilterAllowed();

// The anisotropic filter a material layer asks for: the engine's "as much as there is" (255)
// when wanted and allowed, else 0 (off).
unsigned char anisotropicFilterLevel(bool wanted);

// Turns anisotropic filtering off on every texture layer of the material when it is not
// allowed; true when a layer was changed.
bool limitAnisotropicFilter(irr::video::SMaterial& material, bool allowed);
bool limitAnisotropicFilter(irr::video::SMaterial& material);

} // namespace platform
