#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

#include "core/Log.h"
#include "platform/fake/FakePlatform.h"

namespace tavrel {
namespace {

// The log writes into this process's temporary folder; made before the log, so removed after
// the log has written its last line. Keeps its own copy of the name, which outlives the fakes'.
struct TemporaryFolderRemoval {
    const std::filesystem::path folder = fake::FakeFileLocations::processTemporaryFolder();
    ~TemporaryFolderRemoval() {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
} temporaryFolderRemoval;

// The caller's cost only: the file writes run on the log's own thread.
void BM_LogLine(benchmark::State& state) {
    fake::FakePlatform platform;
    TavrelLog& log = TavrelLog::shared();
    for (auto _ : state)
        log.line("hotkey: Cmd released → commit");
    log.drain();  // not timed; keeps the queue from growing across runs
}
BENCHMARK(BM_LogLine);

// The usual case in the running program: one line at a time, the log's thread asleep, so each
// call also wakes it.
void BM_LogLineToIdleLog(benchmark::State& state) {
    fake::FakePlatform platform;
    TavrelLog& log = TavrelLog::shared();
    for (auto _ : state) {
        state.PauseTiming();
        log.drain();
        // Lines come from key presses, far apart: let the log's thread fall asleep first.
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        state.ResumeTiming();
        log.line("hotkey: Cmd+Tab");
    }
    log.drain();
}
BENCHMARK(BM_LogLineToIdleLog);

}  // namespace
}  // namespace tavrel
