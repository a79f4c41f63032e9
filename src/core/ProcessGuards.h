#pragma once

#include <functional>
#include <string>

// What keeps two runs of the game, and the player's signals, from damaging its files.

// The working folder's lock: two games in one folder would write one log and one settings
// file over each other. The first game holds an exclusive lock on the folder itself and on
// the lock file in it for as long as it runs (the kernel lets go of them when the process
// ends, however it ends); a second game cannot take either. A lock file that cannot be opened
// (a folder of that name, another user's file, a dangling link, no free inode) leaves the
// folder's own lock; a file system without flock takes a record lock of the file. Taking it
// again in the same process and folder (a restart) succeeds. False, without a log line, when
// another process holds it; true, with one warning line a run, when nothing there can be
// locked at all (the game goes on, unguarded).
inline constexpr const char* instanceLockFileName = "Paddlestone.lock";
bool acquireInstanceLock(const std::string& path = instanceLockFileName);
void releaseInstanceLock();
// The same lock in the player's save folder, which games started from other folders share
// (two installs, two working folders): false while another game holds it. A save folder that
// is the working folder, by whatever path, is covered by the working folder's lock.
bool acquireSaveFolderLock(const std::string& folder);
void releaseSaveFolderLock();

// SIGINT, SIGTERM, SIGHUP (the terminal closed), SIGQUIT, SIGUSR1 and SIGUSR2 end the game as
// closing its window does: the frame loop, each step of the start-up, and a level being loaded,
// see the request and the game shuts down in order (settings and save written). A quit signal
// after the first changes nothing: the end goes on in order, the watch its last resort. SIGPIPE
// is ignored: what is written to a closed standard output (a launcher that has gone, `| head`)
// is dropped, and the log file goes on. Installing them also lets through the quit signals the
// launcher held back (core/app/Launcher.cpp): one that came before is handled now.
//
// A frame that does not return never sees the request: a watch thread gives the orderly end
// graceMilliseconds from the signal, so that the process ends within 3 s of it, whatever it
// still holds then (a shutdown freeing gigabytes, the libraries' exit handlers after it).
// When the shutdown has written the player's files by then, the process ends with status 0:
// the log keeps its closing line, or, before that line, gets one saying the files are written.
// Otherwise, past the start-up (markStartingUp), the watch writes the copies it was handed (the
// settings file's text, the save's), says so in one ERROR line in the log file and ends the process with status 128 + the signal.
// It touches no object of the game and not the engine: the main thread may be using or
// deleting them. Its line is appended: the log file's own lines are appended too
// (core/LogManager.h), so both stand whole, one after the other.
inline constexpr int quitGraceMilliseconds = 2500;
// Without a grace the watch keeps the one given last (quitGraceMilliseconds until one is given;
// removeQuitSignalHandlers goes back to it).
void installQuitSignalHandlers();
void installQuitSignalHandlers(int graceMilliseconds);
bool quitSignalReceived();
// The signal that asked to quit, 0 when none did.
int quitSignalNumber();
void clearQuitSignal();
// The game should stop what it is doing: a quit signal came, or QuitRequested is set. Long
// work (a level being loaded) asks between its steps.
bool gameQuitting();

// The log file the watch appends its one line to; empty: none.
void setForcedEndLogFile(const std::string& path);
// The files the watch writes (safely, core/SafeWrite.h) when the orderly end is late, each
// with its whole text: the settings, and the save while a write of it waits. The owner keeps
// its copy current; clearForcedEndFile takes it back.
enum class ForcedEndFile { Settings, Save };
inline constexpr int forcedEndFileCount = 2;
void setForcedEndFile(const std::string& path, std::string text, ForcedEndFile which = ForcedEndFile::Settings);
void clearForcedEndFile(ForcedEndFile which = ForcedEndFile::Settings);

// Ends the process at once as the watch ends a late end: writes the copies it was handed (the
// settings file's text, the save's), appends "ERROR: <reason> ("<copy>" saved, ...); ending
// it now." to the log
// file and standard output, and exits with the status. For an end that cannot wait for the
// shutdown (the display connection lost under the game); safe from any thread.
[[noreturn]] void endGameAtOnce(const std::string& reason, int status);

// The shutdown has written the player's files (the settings, the save): a watch that runs out
// from here on ends the process with status 0 and writes none of them.
void markPlayerFilesWritten();
// Writes the log's closing line (`write`), after the player's files. A watch that runs out
// while the line is written waits for it a moment; once the line is there it adds none.
void writeClosingLine(const std::function<void()>& write);
// The orderly end is done: the process ends by itself, or, after a quit signal, by the watch's
// deadline at the latest.
void markOrderlyEndDone();
// The start-up runs, from its first step until the first frame: it holds nothing of the
// player's that the copies do not. A quit signal the main thread has not ended within half the
// grace, or once the process has used startUpQuitProcessorSeconds of processor time since the
// signal (it is inside a step that does not look at the quit: the window being made, a shader
// the driver builds), is ended by the watch in order: the copies written, "Quit signal
// received." (unless the game logged it) and "Shutting down." appended, status 0 (without a
// log by the end of the grace, or a copy it could not write, the late end above). So the end
// of a start-up takes a tenth of a second of the processor at most, and 3 s hold on a machine
// that gives the game a tenth of a core. The sanitizer build computes several times slower:
// its steps get ten times the processor time, so that its tests see the start-up's own end.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr double startUpQuitProcessorSeconds = 0.4;
#else
inline constexpr double startUpQuitProcessorSeconds = 0.04;
#endif
void markStartingUp();
void markStartUpDone();
// The main thread draws a frame (true) or is done with it (false). A level's first frames
// have the driver build their programs, draw by draw: a frame can take seconds of a busy
// machine, and nothing of the player's changes in it that the copies do not hold. A quit
// signal the main thread has not taken then is ended by the watch in order, as a start-up's
// (above; its late end's line is the frame's). Answers whether it drew before.
bool markDrawing(bool drawing);
// Logs "Quit signal received." once a quit signal (clearQuitSignal starts over).
void logQuitSignalReceived();
// The game program (runGameProgram) asks that after a quit signal its shutdown end the process as
// soon as the player's files and the log's closing line are written (quitEndsAtClosingLine
// then answers true): nothing the process still holds (the engine, the GL driver's threads,
// the physics world, its memory) needs tearing down, and that took seconds on a busy machine.
// Off unless asked: a test that shuts a game down in its own process goes on after it.
void setQuitEndsAtClosingLine(bool asked);
bool quitEndsAtClosingLine();
// Back to the default handlers, the watch disarmed, its copies forgotten.
void removeQuitSignalHandlers();
