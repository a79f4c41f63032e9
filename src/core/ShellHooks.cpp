#include "core/ShellHooks.h"

namespace {
ShellHooks hooks;
}

ShellHooks& shellHooks() { return hooks; }

void resetShellHooks() { hooks = ShellHooks{}; }
