#pragma once

// Waiting without burning a core: the frame cap hands the rest of a frame back to the system.
namespace platform {

// Returns after the given seconds (nothing for zero or less), sleeping for all but a small
// margin and yielding for the rest, so that it wakes well under a millisecond late.
void waitSeconds(double seconds);

} // namespace platform
