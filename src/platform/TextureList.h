#pragma once

namespace irr::video {
class ITexture;
class IVideoDriver;
} // namespace irr::video

// The engine keeps its textures in a list sorted by name, which its search by name expects,
// and sorts the whole list again after every texture added: a level of thousands of pictures
// then loads in time that grows with the square of their number. The game stands in for the
// engine's add (the game's symbol takes precedence over the library's, as in ThreadPriority.cpp):
// a texture goes straight to its place in name order. The list is the driver's own; it is
// reached only once it is found where this layer looks for it, checked against the driver's
// own answers (how many textures, which at each place). Until then, and for good when it is not
// found there, textures are added the engine's way.
namespace platform {

// Whether added textures go straight to their place: the list was found. False until a first
// texture was added.
bool textureListReached();

// For tests: false has textures added the engine's way, as where the list is not found; true
// goes back to the list, if it was found (put it back only with the list in name order).
void useTextureList(bool use);

// Puts the driver's textures in name order again, after renames. False, nothing done, when the
// list is not reached: the engine then sorts it only when it adds a texture.
bool sortTexturesByName(irr::video::IVideoDriver* driver);

// Puts one texture, just renamed, in its place among the others (in name order): false as
// above.
bool placeRenamedTexture(irr::video::IVideoDriver* driver, irr::video::ITexture* texture);

} // namespace platform
