#pragma once

#include <string>

// What keeps two runs of the game, and the player's signals, from damaging its files.

// The working folder's lock: two games in one folder would write one log and one settings
// file over each other. The first game holds an exclusive lock on the file in the working
// folder for as long as it runs (the kernel lets go of it when the process ends, however it
// ends); a second game cannot take it. Taking it again in the same process and folder (a
// restart) succeeds. False, without a log line, when another process holds it.
inline constexpr const char* instanceLockFileName = "Paddlestone.lock";
bool acquireInstanceLock(const std::string& path = instanceLockFileName);
void releaseInstanceLock();

// SIGINT, SIGTERM, SIGHUP (the terminal closed) and SIGQUIT end the game as closing its window
// does: the frame loop sees the request and the game shuts down in order (settings and save
// written). A second signal while it shuts down ends the process at once.
//
// A frame that does not return never sees the request: a watch thread gives the orderly end
// graceMilliseconds from the signal, then runs the deadline action (what can be saved from
// outside the frame), logs one line and ends the process with status 128 + the signal.
inline constexpr int quitGraceMilliseconds = 3000;
void installQuitSignalHandlers(int graceMilliseconds = quitGraceMilliseconds);
bool quitSignalReceived();
// The signal that asked to quit, 0 when none did.
int quitSignalNumber();
void clearQuitSignal();
// Runs on the watch thread when the orderly end is late; null: nothing.
void setQuitDeadlineAction(void (*action)());
// The orderly end is done: the watch lets the process end by itself.
void markOrderlyEndDone();
// Back to the default handlers, the watch disarmed and no deadline action.
void removeQuitSignalHandlers();
