// The game's entry point: the quit signals first, then display scaling, then the game routine,
// run again in the same process for every restart it asks for. The optional argument names a
// level to play instead of the title screen.
#include "core/ProcessGuards.h"
#include "core/app/GameApplication.h"
#include "core/app/SubsystemRegistration.h"
#include "platform/Dpi.h"

int main(int argc, char** argv) {
    // Before anything else, so that a quit from the first moment on ends the game in order:
    // the start-up looks at it between its steps (a signal the launcher held back comes now).
    installQuitSignalHandlers();
    // A quit signal's end stops at the log's closing line: a signal comes with a deadline (the
    // watch's, a session's end), and the teardown held it up for seconds on a busy machine. The
    // other ends (the window closed, Quit in the menu) tear everything down: the sanitizer
    // build's leak check at exit names a scene node the game lost only then, and a restart
    // needs the routine's own teardown.
    setQuitEndsAtClosingLine(true);
    platform::enableDpiAwareness();
    // The slot tables the lower layers call up through.
    registerGameSubsystems();
    return runGame(argc > 1 ? argv[1] : "");
}
