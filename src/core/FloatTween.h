#pragma once

#include "core/Delegate.h"

#include <irrTypes.h>

// A float moving from start to end over a duration. Owners start it by setting the fields
// directly (for a fade: start 0, end 1, the duration, elapsed 0, value 0, kind Smoothstep)
// and advance it once a frame with update().
class FloatTween {
public:
    enum Kind { Linear = 1, Smoothstep = 2 }; // any other kind holds the value until the end

    // Invoked once when the tween reaches its end. Listeners may restart the tween or
    // destroy its owner: the tween is not touched after the call.
    DelegateList completed;
    irr::f32 value = 0.0f;
    irr::f32 start = 0.0f;
    irr::f32 end = 0.0f;
    irr::f32 duration = -1.0f; // negative: inactive
    irr::f32 elapsed = 0.0f;
    irr::s32 kind = Linear;

    // Nothing while inactive or finished. Otherwise advances by dt seconds, sets the value by
    // the curve, and at the end sets it to the end value and invokes the completion list. The
    // value always stays between start and end. A zero-length tween ends at its first update.
    void update(irr::f32 dt);

    bool isActive() const { return duration >= 0.0f; }
    bool isFinished() const;
};
