#include <benchmark/benchmark.h>

#include "core/HotkeyManager.h"
#include "core/Log.h"
#include "platform/fake/FakePlatform.h"

namespace tavrel {
namespace {

// The whole path of one event through the tap: the fake's delivery, the callback, the decision.
void deliverEach(benchmark::State& state, std::uint32_t type, std::uint64_t flags,
                 std::int64_t keyCode) {
    fake::FakePlatform platform;
    HotkeyManager manager;
    std::int64_t calls = 0;
    manager.onPress = [&calls] { ++calls; };
    manager.onShiftPress = [&calls] { ++calls; };
    manager.onModifiersReleased = [&calls] { ++calls; };
    manager.registerTap();
    for (auto _ : state)
        benchmark::DoNotOptimize(platform.eventTaps.deliver(type, flags, keyCode));
    benchmark::DoNotOptimize(calls);
    TavrelLog::shared().drain();
}

void BM_HandleCommandTab(benchmark::State& state) {
    deliverEach(state, kCGEventKeyDown, kCGEventFlagMaskCommand, kVK_Tab);
}
void BM_HandleOrdinaryKey(benchmark::State& state) {
    deliverEach(state, kCGEventKeyDown, 0, 0);
}
void BM_HandleModifiersReleased(benchmark::State& state) {
    deliverEach(state, kCGEventFlagsChanged, 0, 0);
}
BENCHMARK(BM_HandleCommandTab);
BENCHMARK(BM_HandleOrdinaryKey);
BENCHMARK(BM_HandleModifiersReleased);

}  // namespace
}  // namespace tavrel
