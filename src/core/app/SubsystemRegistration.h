#pragma once

// Fills the shell's hook tables with every subsystem that has landed, in the order their
// registrations expect. The game's entry point and the whole-game tests both call it, so the
// tests run exactly the registrations the program runs.
void registerGameSubsystems();
