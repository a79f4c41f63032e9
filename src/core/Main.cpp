// The game's entry point. For now it reads and writes the settings and opens the log; the
// game routine with its start-up phases, frame loop and shutdown takes its place.
#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/LogManager.h"

int main() {
    gameSettings = new GameSettings();
    gameSettings->load(false);
    logManager = new LogManager();

    gameSettings->save();
    delete gameSettings;
    gameSettings = nullptr;
    delete logManager;
    logManager = nullptr;
    return gameStatusNormal;
}
