#pragma once

// A thread of the game's process cannot lower its priority below the process's own
// (ThreadPriority.cpp says why): the requests refused so far, for the tests.
namespace platform {

unsigned threadPriorityLoweringsRefused();

} // namespace platform
