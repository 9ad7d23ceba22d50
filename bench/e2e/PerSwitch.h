// How the end-to-end benchmarks repeat: one switch per repetition, with 10, 100 and 300
// windows, reported as the median and the 90th percentile of 30.
#pragma once
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace tavrel::e2e {

inline double percentile90(const std::vector<double>& values) {
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    return sorted[static_cast<std::size_t>(0.9 * static_cast<double>(sorted.size() - 1) + 0.5)];
}

inline void perSwitch(benchmark::internal::Benchmark* b) {
    b->Arg(10)
        ->Arg(100)
        ->Arg(300)
        ->Iterations(1)
        ->Repetitions(30)
        ->ComputeStatistics("p90", percentile90)
        ->ReportAggregatesOnly(true)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
}

}  // namespace tavrel::e2e
