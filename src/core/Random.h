#pragma once

#include <irrTypes.h>

// The program's one random generator (xorshift128). It is not synchronised: call it from
// the main thread.

// Restarts the generator from a seed; the same seed gives the same sequence.
void seedRandom(irr::u32 seed);

// Uniform in [0, 1): the next state's low 23 bits as the mantissa of a float in [1, 2),
// minus 1.0.
irr::f32 randomFloat();

// The same draw before the subtraction: uniform in [1, 2). The physics cooldowns are
// tuned for this range.
irr::f32 randomFloatRaw();

// Uniform integer from 0 to n inclusive; 0 for n <= 0 (callers pass count - 1, so an
// empty list gives 0 rather than a huge range).
irr::s32 randomInt(irr::s32 n);
