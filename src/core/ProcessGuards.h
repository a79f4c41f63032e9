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

// SIGINT and SIGTERM end the game as closing its window does: the frame loop sees the
// request and the game shuts down in order (settings and save written). A second signal
// while it shuts down ends the process at once.
void installQuitSignalHandlers();
bool quitSignalReceived();
void clearQuitSignal();
