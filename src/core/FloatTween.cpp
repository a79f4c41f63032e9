#include "core/FloatTween.h"

#include <algorithm>
#include <limits>

bool FloatTween::isFinished() const {
    // elapsed > 0 as well, so that a fresh zero-length tween still runs its one update.
    return isActive() && elapsed >= duration && elapsed > 0.0f;
}

void FloatTween::update(irr::f32 dt) {
    if (!isActive() || isFinished())
        return;
    elapsed += dt;
    irr::f32 t;
    if (duration > 0.0f)
        t = elapsed / duration;
    else
        t = elapsed >= 0.0f ? 1.0f : 0.0f;
    // Before the start (negative elapsed) the curve stays at its start: the smoothstep
    // polynomial would climb again below 0.
    t = std::max(t, 0.0f);

    const bool reachedEnd = t >= 1.0f;
    if (reachedEnd) {
        value = end;
        // A zero-length tween updated with dt 0 must still count as finished.
        if (elapsed <= 0.0f)
            elapsed = std::numeric_limits<irr::f32>::min();
    } else if (kind == Linear) {
        value = start + (end - start) * t;
    } else if (kind == Smoothstep) {
        value = start + (end - start) * (t * t * (3.0f - 2.0f * t));
    }
    value = std::clamp(value, std::min(start, end), std::max(start, end));

    if (reachedEnd)
        completed.invoke();
}
