// The game's entry point: display scaling first, then the game routine, run again in the
// same process for every restart it asks for. The optional argument names a level to play
// instead of the title screen.
#include "core/app/GameApplication.h"
#include "core/app/SubsystemRegistration.h"
#include "platform/Dpi.h"

int main(int argc, char** argv) {
    platform::enableDpiAwareness();
    // The slot tables the lower layers call up through.
    registerGameSubsystems();
    return runGame(argc > 1 ? argv[1] : "");
}
