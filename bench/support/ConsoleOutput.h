#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <unistd.h>

namespace bench {

// A reporter handed to RunSpecifiedBenchmarks is not set up from --benchmark_color, so the
// console's colour codes would land in logs and pipes ahead of the ratio line: colour only on
// a terminal.
inline benchmark::ConsoleReporter::OutputOptions consoleOutputOptions() {
    return isatty(fileno(stdout)) ? benchmark::ConsoleReporter::OO_ColorTabular
                                  : benchmark::ConsoleReporter::OO_Tabular;
}

} // namespace bench
