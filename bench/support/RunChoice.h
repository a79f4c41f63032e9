#pragma once

#include <benchmark/benchmark.h>

namespace bench {

// The row that stands for a benchmark in a ratio line: its plain row when it ran once; with
// --benchmark_repetitions, its median. The library reports each repetition's row and then the
// aggregates (mean, median, stddev, cv): the last row is a spread, not a time.
inline bool standsForItsBenchmark(const benchmark::BenchmarkReporter::Run& run) {
    if (run.error_occurred)
        return false;
    if (run.run_type == benchmark::BenchmarkReporter::Run::RT_Aggregate)
        return run.aggregate_name == "median";
    return run.repetitions <= 1;
}

} // namespace bench
