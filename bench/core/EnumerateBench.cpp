#include <benchmark/benchmark.h>

#include <string>

#include "core/WindowEnumerator.h"
#include "platform/fake/FakePlatform.h"

namespace tavrel {
namespace {

constexpr int kWindows = 1000;
constexpr int kProcesses = 50;

// A busy desktop: 1,000 on-screen windows of 50 applications, a few off layer 0 or tiny.
void fillScreen(fake::FakePlatform& fake, const std::string& titleStem) {
    WindowInfoList windows;
    for (int i = 0; i < kWindows; ++i) {
        const std::int32_t pid = 20000 + i % kProcesses;
        fake.runningApplications.apps[pid] = {"Application " + std::to_string(pid), nullptr,
                                              "org.example.app" + std::to_string(pid)};
        windows.push_back({{kCGWindowLayer, std::int64_t{i % 97 == 0 ? 25 : 0}},
                           {kCGWindowOwnerPID, std::int64_t{pid}},
                           {kCGWindowNumber, std::int64_t{1000 + i}},
                           {kCGWindowName, titleStem + std::to_string(i)},
                           {kCGWindowBounds, NumberMap{{"X", 10.0},
                                                       {"Y", 10.0},
                                                       {"Width", i % 89 == 0 ? 30.0 : 900.0},
                                                       {"Height", 700.0}}},
                           {kCGWindowOwnerName, std::string("owner")}});
    }
    fake.windowServer.windows = std::move(windows);
}

void enumerateWarm(benchmark::State& state, const std::string& titleStem) {
    fake::FakePlatform fake;
    fillScreen(fake, titleStem);
    WindowEnumerator::enumerate();  // fills the application cache, as start-up does
    for (auto _ : state) {
        benchmark::DoNotOptimize(WindowEnumerator::enumerate());
        fake.calls.clear();
    }
}

void BM_EnumerateAsciiTitles(benchmark::State& state) {
    enumerateWarm(state, "Quarterly report draft ");
}
BENCHMARK(BM_EnumerateAsciiTitles)->Unit(benchmark::kMicrosecond);

// Non-ASCII titles go through the normaliser's quick check.
void BM_EnumerateComposedTitles(benchmark::State& state) {
    enumerateWarm(state, "R\u00e9sum\u00e9 \u2014 \u65e5\u672c\u8a9e ");
}
BENCHMARK(BM_EnumerateComposedTitles)->Unit(benchmark::kMicrosecond);

// Decomposed titles are normalised in full.
void BM_EnumerateDecomposedTitles(benchmark::State& state) {
    enumerateWarm(state, "Re\u0301sume\u0301 \u2014 ");
}
BENCHMARK(BM_EnumerateDecomposedTitles)->Unit(benchmark::kMicrosecond);

// The fake's window-list query alone (it hands out a copy, as a real listing builds one): what
// the figures above spend outside the enumerator.
void BM_WindowListQueryAlone(benchmark::State& state) {
    fake::FakePlatform fake;
    fillScreen(fake, "Quarterly report draft ");
    for (auto _ : state) {
        benchmark::DoNotOptimize(fake.windowServer.copyWindowInfo(
            kCGWindowListOptionOnScreenOnly | kCGWindowListExcludeDesktopElements,
            kCGNullWindowID));
        fake.calls.clear();
    }
}
BENCHMARK(BM_WindowListQueryAlone)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tavrel
