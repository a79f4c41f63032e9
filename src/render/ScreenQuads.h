#pragma once

#include <irrlicht.h>

// The 2D draws that go through a shader material rather than the engine's 2D material: the
// HUD's suspicion meter and the loading bar (meter material, fill texture in layer 0, mask in
// layer 1) and the circle wipe of the transitions (circle material).

// The material for such a draw: the type, the textures of layers 0 and 1, and what a flat
// overlay needs (no lighting, no depth test or write, both faces, clamped texture edges).
// One material of the thread, filled anew by every call: valid until the next. Without
// `blend` the alpha only cuts the shape out (the engine's transparent types leave blending
// off unless the material names a blend operation); with it the draw mixes with what lies
// beneath by its alpha.
const irr::video::SMaterial& screenQuadMaterial(irr::s32 materialType, irr::video::ITexture* layer0,
                                                irr::video::ITexture* layer1 = nullptr, bool blend = false);

// Two triangles over the rectangle (screen pixels), given in normalised device coordinates
// with an identity world transform; texture coordinates run 0..1 left to right, top to
// bottom. The vertex shaders of these materials take the positions as they come. Nothing
// happens without a driver or for an empty screen.
void drawScreenQuad(irr::video::IVideoDriver* driver, const irr::video::SMaterial& material,
                    const irr::core::recti& rect);

// Draws the fill through the meter material: currentMeterValue = the fill (clamped to 0..1),
// currentMeterAlpha = the opacity (clamped to 0..1; a bar fading with its cover passes the
// cover's), then the quad. False (nothing drawn) without the meter material or the fill
// texture.
bool drawMeterFill(irr::video::IVideoDriver* driver, irr::video::ITexture* fill, irr::video::ITexture* mask,
                   irr::f32 value, const irr::core::recti& rect, irr::f32 opacity = 1.0f);

// The GUI's 2D draws, and the 3D quads among them (the HUD's meter), switch the driver between
// its 2D and 3D modes. Entering 2D mode the driver takes its 2D material as the last material
// drawn, and that one has no texture matrices: the next 3D draw makes four anew on the heap,
// every frame and around every quad. Between these two calls the driver's override 2D
// material stands in for it: the engine's own 2D states, with the matrices made once.
void beginGuiMaterial2D(irr::video::IVideoDriver* driver);
void endGuiMaterial2D(irr::video::IVideoDriver* driver);

// After a draw that switched the override 2D material on for itself: switches it back to what
// the GUI draws with (on between the two calls above, off elsewhere).
void restoreMaterial2D(irr::video::IVideoDriver* driver);
