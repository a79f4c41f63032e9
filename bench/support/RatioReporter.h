#pragma once

#include "ConsoleOutput.h"
#include "RunChoice.h"

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace bench {

// The console report that also keeps each benchmark's real time per iteration (the median of
// its repetitions when it ran several times), so that the program can print ratios of two
// benchmarks after the run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(consoleOutputOptions()) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (standsForItsBenchmark(run))
                seconds[run.run_name.function_name] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    // The ratio of two benchmarks' times, or 0 when either did not run.
    double ratio(const std::string& numerator, const std::string& denominator) const {
        const auto top = seconds.find(numerator);
        const auto bottom = seconds.find(denominator);
        if (top == seconds.end() || bottom == seconds.end() || bottom->second <= 0.0)
            return 0.0;
        return top->second / bottom->second;
    }

    std::map<std::string, double> seconds;
};

} // namespace bench
