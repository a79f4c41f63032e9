// The rows the benchmarks' ratio lines are taken from, fed as the library reports them: each
// benchmark's plain rows, then (with repetitions) its aggregates in the library's order.
#include "bench/support/CounterReporter.h"
#include "bench/support/RatioReporter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using Run = benchmark::BenchmarkReporter::Run;

// A benchmark's rows: one plain row per time (seconds an iteration, `count` also its counter),
// then mean, median, stddev and cv when there are several, as the library makes them (an
// aggregate's accumulated time is its statistic times the repetitions, cv in its own unit).
std::vector<Run> rowsOf(const std::string& name, const std::vector<double>& times) {
    const auto row = [&](double seconds, int64_t iterations) {
        Run run;
        run.run_name.function_name = name;
        run.time_unit = benchmark::kSecond;
        run.iterations = iterations;
        run.repetitions = static_cast<int64_t>(times.size());
        run.real_accumulated_time = seconds * static_cast<double>(iterations);
        run.cpu_accumulated_time = run.real_accumulated_time;
        run.counters["count"] = benchmark::Counter(seconds);
        return run;
    };
    std::vector<Run> rows;
    for (std::size_t i = 0; i < times.size(); ++i) {
        rows.push_back(row(times[i], 10));
        rows.back().repetition_index = static_cast<int64_t>(i);
    }
    if (times.size() < 2)
        return rows;
    const auto repetitions = static_cast<int64_t>(times.size());
    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    double mean = 0.0, squares = 0.0;
    for (double t : times)
        mean += t / static_cast<double>(times.size());
    for (double t : times)
        squares += (t - mean) * (t - mean);
    const double stddev = std::sqrt(squares / static_cast<double>(times.size() - 1));
    const std::pair<const char*, double> aggregates[] = {
        {"mean", mean}, {"median", sorted[sorted.size() / 2]}, {"stddev", stddev}, {"cv", stddev / mean}};
    for (const auto& [aggregate, value] : aggregates) {
        rows.push_back(row(value, repetitions));
        rows.back().run_type = Run::RT_Aggregate;
        rows.back().aggregate_name = aggregate;
        rows.back().repetition_index = Run::no_repetition_index;
        if (std::string(aggregate) == "cv")
            rows.back().aggregate_unit = benchmark::kPercentage;
    }
    return rows;
}

// A benchmark that ran once, twice as long as the other; and the same with three repetitions
// whose medians are 3 and 1.5 (the last repetitions' ratio 0.8, the means' 1.25, the cvs' 0.23).
TEST(BenchReportersTest, RatiosAreTakenFromThePlainRowsOrTheMedians) {
    struct Case {
        std::vector<double> top, bottom;
        double ratio;
    };
    const Case cases[] = {{{2.0}, {1.0}, 2.0}, {{3.0, 3.0, 4.0}, {1.5, 1.5, 5.0}, 2.0}};
    for (const Case& c : cases) {
        std::ostringstream console;
        bench::RatioReporter times;
        bench::CounterReporter counters;
        for (benchmark::ConsoleReporter* reporter : {static_cast<benchmark::ConsoleReporter*>(&times),
                                                     static_cast<benchmark::ConsoleReporter*>(&counters)}) {
            reporter->SetOutputStream(&console);
            reporter->ReportRuns(rowsOf("BM_Top", c.top));
            reporter->ReportRuns(rowsOf("BM_Bottom", c.bottom));
        }
        EXPECT_DOUBLE_EQ(times.ratio("BM_Top", "BM_Bottom"), c.ratio) << c.top.size();
        EXPECT_DOUBLE_EQ(counters.counter("BM_Top", "count") / counters.counter("BM_Bottom", "count"), c.ratio)
            << c.top.size();
    }
}

} // namespace
