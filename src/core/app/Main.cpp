// The game's entry point (runGameProgram, GameApplication.h). The optional argument names a
// level to play instead of the title screen.
#include "core/app/GameApplication.h"

int main(int argc, char** argv) {
    return runGameProgram(argc > 1 ? argv[1] : "");
}
