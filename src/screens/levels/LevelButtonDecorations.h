#pragma once

#include <irrTypes.h>

class GUIOptionsList;

// The progress marks on a story level's row (MenuLevels record `index`, whose row is its
// MenuItem): a star (outline: not finished; filled: finished; the third picture: faster than
// the developers), the best time, and one icon per tie of the level (half transparent until
// collected) or a no-tie icon. Each is a child of the row that forwards its focus to the
// row and may stand outside it.
void addStarIcon(GUIOptionsList* screen, irr::u32 index);
void addBestTimeText(GUIOptionsList* screen, irr::u32 index);
void addTieIcon(GUIOptionsList* screen, irr::u32 index, irr::s32 tie);
void addNoTieIcon(GUIOptionsList* screen, irr::u32 index);
