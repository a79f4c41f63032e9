#pragma once

#include "ConsoleOutput.h"
#include "RunChoice.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace bench {

// The console report that also keeps each benchmark run's user counters (the medians of its
// repetitions when it ran several times) by its function name and arguments
// ("BM_GameFrame/threads:2/render_ms:8", "SceneA_FallingBoxes"), so that the program can print
// a ratio line after the run.
class CounterReporter : public benchmark::ConsoleReporter {
public:
    CounterReporter() : ConsoleReporter(consoleOutputOptions()) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (standsForItsBenchmark(run))
                for (const auto& [name, counter] : run.counters)
                    counters[keyOf(run)][name] = counter.value;
        ConsoleReporter::ReportRuns(runs);
    }
    // A run's counter, or 0 when the run or the counter is missing.
    double counter(const std::string& run, const std::string& name) const {
        const auto found = counters.find(run);
        if (found == counters.end())
            return 0.0;
        const auto value = found->second.find(name);
        return value == found->second.end() ? 0.0 : value->second;
    }

    std::map<std::string, std::map<std::string, double>> counters;

private:
    static std::string keyOf(const Run& run) {
        const std::string& args = run.run_name.args;
        return args.empty() ? run.run_name.function_name : run.run_name.function_name + "/" + args;
    }
};

// Runs the benchmarks chosen on the command line through the reporter; false on bad flags.
inline bool runBenchmarks(int argc, char** argv, CounterReporter& reporter) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return false;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return true;
}

} // namespace bench
