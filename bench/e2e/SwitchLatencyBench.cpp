// What the user waits for, measured from outside the program: the real tavrel on a private
// Xvfb with openbox, keys sent through XTest, the outcome read from the X server.
//   key: Super+Tab sent → the panel mapped and its first pixels drawn (XDamage)
//   commit: Super released → _NET_ACTIVE_WINDOW names the chosen window
// with 10, 100 and 300 windows, each timing one switch, 30 repetitions (median, p90), and
// tavrel's resident memory after start and after 1,000 switches. openbox's own Alt+Tab
// commit is timed the same way, for comparison.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <xcb/damage.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "PerSwitch.h"
#include "Session.h"

namespace {

using namespace tavrel::e2e;
using Clock = std::chrono::steady_clock;

constexpr int kClients = 10;
constexpr int kSwitches = 1000;
constexpr int kTimeoutMs = 5000;

struct Free {
    void operator()(void* p) const { std::free(p); }
};

// The desktop, tavrel and the windows of the run in progress.
struct Bench {
    std::unique_ptr<Session> session;
    std::vector<std::unique_ptr<TestClient>> clients;
    int windows = 0;
    xcb_window_t panel = XCB_WINDOW_NONE;
    xcb_damage_damage_t damage = 0;
    std::uint8_t damageEvent = 0;
    xcb_atom_t activeAtom = XCB_ATOM_NONE;
};

Bench& bench() {
    static Bench b;
    return b;
}

xcb_connection_t* connection() {
    return bench().session->desktop().connection();
}

// Reads the desktop's events until `done` accepts one; false at the timeout.
bool waitForEvent(const std::function<bool(const xcb_generic_event_t&)>& done) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(kTimeoutMs);
    for (;;) {
        while (std::unique_ptr<xcb_generic_event_t, Free> e{xcb_poll_for_event(connection())}) {
            if (done(*e))
                return true;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || xcb_connection_has_error(connection()) != 0)
            return false;
        pollfd fd{xcb_get_file_descriptor(connection()), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(left));
    }
}

void drainEvents() {
    xcb_flush(connection());
    while (std::unique_ptr<xcb_generic_event_t, Free> e{xcb_poll_for_event(connection())}) {
    }
}

int type(const xcb_generic_event_t& e) {
    return e.response_type & 0x7f;
}

// Super+Tab, until the panel is mapped and painted.
bool openPanel() {
    Bench& b = bench();
    b.session->superTab();
    bool mapped = false;
    return waitForEvent([&](const xcb_generic_event_t& e) {
        mapped |= type(e) == XCB_MAP_NOTIFY &&
                  reinterpret_cast<const xcb_map_notify_event_t&>(e).window == b.panel;
        return mapped && type(e) == b.damageEvent &&
               reinterpret_cast<const xcb_damage_notify_event_t&>(e).drawable == b.panel;
    });
}

// Super released, until the window behind the front one is active.
bool commit() {
    Desktop& desktop = bench().session->desktop();
    const auto stack = desktop.clientsStacked();
    const xcb_window_t target = stack.size() >= 2 ? stack[stack.size() - 2] : stack.back();
    bench().session->releaseSuper();
    return waitForEvent([&](const xcb_generic_event_t& e) {
        return type(e) == XCB_PROPERTY_NOTIFY &&
               reinterpret_cast<const xcb_property_notify_event_t&>(e).atom == bench().activeAtom &&
               desktop.activeWindow() == target;
    });
}

// Damage is reported once until subtracted: this re-arms it for the next showing.
void rearm() {
    drainEvents();
    xcb_damage_subtract(connection(), bench().damage, XCB_NONE, XCB_NONE);
    xcb_flush(connection());
}

bool startDamage() {
    Bench& b = bench();
    xcb_connection_t* c = connection();
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_damage_id);
    if (!extension || !extension->present)
        return false;
    std::free(xcb_damage_query_version_reply(
        c, xcb_damage_query_version(c, XCB_DAMAGE_MAJOR_VERSION, XCB_DAMAGE_MINOR_VERSION),
        nullptr));
    b.damageEvent = static_cast<std::uint8_t>(extension->first_event + XCB_DAMAGE_NOTIFY);
    b.damage = xcb_generate_id(c);
    xcb_damage_create(c, b.damage, b.panel, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
    xcb_flush(c);
    return true;
}

// Makes `count` windows over ten client processes, and finds the panel with one switch.
bool prepare(int count) {
    Bench& b = bench();
    if (b.windows == count)
        return true;
    Desktop& desktop = b.session->desktop();
    b.clients.clear();
    desktop.waitUntil([&] { return desktop.clientsStacked().empty(); });
    for (int c = 0; c < kClients; ++c) {
        b.clients.push_back(b.session->client());
        std::vector<std::string> options;
        for (int i = c; i < count; i += kClients) {
            options.push_back("title=Window%20" + std::to_string(i) + " class=app" +
                              std::to_string(c) + ",App" + std::to_string(c) +
                              " width=400 height=300");
        }
        b.session->windows(*b.clients.back(), options);
    }
    b.windows = count;
    if (b.panel == XCB_WINDOW_NONE) {
        b.session->superTab();
        if (!b.session->waitForPanel(true))
            return false;
        b.panel = b.session->panel();
        b.session->releaseSuper();
        b.session->waitForPanel(false);
        return startDamage();
    }
    return true;
}

// Prepares `count` windows, or marks the benchmark as failed.
bool prepared(benchmark::State& state, int count) {
    if (prepare(count))
        return true;
    state.SkipWithError("the desktop or tavrel did not come up");
    return false;
}

long residentKilobytes() {
    std::ifstream status("/proc/" + std::to_string(bench().session->tavrel().pid()) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

void BM_KeyToPanelPainted(benchmark::State& state) {
    if (!prepared(state, static_cast<int>(state.range(0))))
        return;
    for (auto _ : state) {
        rearm();
        const auto start = Clock::now();
        if (!openPanel()) {
            state.SkipWithError("the panel did not show");
            break;
        }
        state.SetIterationTime(seconds(Clock::now() - start));
        commit();
    }
}

void BM_ReleaseToWindowActive(benchmark::State& state) {
    if (!prepared(state, static_cast<int>(state.range(0))))
        return;
    for (auto _ : state) {
        rearm();
        openPanel();
        drainEvents();
        const auto start = Clock::now();
        if (!commit()) {
            state.SkipWithError("the window did not become active");
            break;
        }
        state.SetIterationTime(seconds(Clock::now() - start));
    }
}

// The same commit through openbox's own switcher (Alt+Tab), for comparison: from letting go
// of Alt, its popup up, to the window behind the front one active.
void BM_WindowManagerReleaseToWindowActive(benchmark::State& state) {
    if (!prepared(state, static_cast<int>(state.range(0))))
        return;
    Desktop& desktop = bench().session->desktop();
    for (auto _ : state) {
        drainEvents();
        desktop.press("Alt_L");
        desktop.tap("Tab");
        const bool popup = waitForEvent([](const xcb_generic_event_t& e) {
            return type(e) == XCB_MAP_NOTIFY &&
                   reinterpret_cast<const xcb_map_notify_event_t&>(e).override_redirect;
        });
        const auto stack = desktop.clientsStacked();
        const xcb_window_t target = stack[stack.size() - 2];
        drainEvents();
        const auto start = Clock::now();
        desktop.release("Alt_L");
        const bool active = waitForEvent([&](const xcb_generic_event_t& e) {
            return type(e) == XCB_PROPERTY_NOTIFY &&
                   reinterpret_cast<const xcb_property_notify_event_t&>(e).atom ==
                       bench().activeAtom &&
                   desktop.activeWindow() == target;
        });
        if (!popup || !active) {
            state.SkipWithError("openbox did not switch");
            break;
        }
        state.SetIterationTime(seconds(Clock::now() - start));
    }
}

void BM_ResidentMemoryOverSwitches(benchmark::State& state) {
    if (!prepared(state, 100))
        return;
    const long before = residentKilobytes();
    for (auto _ : state) {
        for (int i = 0; i < kSwitches; ++i) {
            rearm();
            if (!openPanel() || !commit()) {
                state.SkipWithError("a switch failed");
                return;
            }
        }
    }
    state.counters["rss_start_MB"] = static_cast<double>(before) / 1024.0;
    state.counters["rss_after_1000_MB"] = static_cast<double>(residentKilobytes()) / 1024.0;
}

BENCHMARK(BM_KeyToPanelPainted)->Apply(perSwitch);
BENCHMARK(BM_ReleaseToWindowActive)->Apply(perSwitch);
BENCHMARK(BM_WindowManagerReleaseToWindowActive)->Apply(perSwitch);
BENCHMARK(BM_ResidentMemoryOverSwitches)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Bench& b = bench();
    b.session = std::make_unique<Session>(Desktop::Options{});
    if (!b.session->failure().empty()) {
        std::fprintf(stderr, "e2e bench: %s\n", b.session->failure().c_str());
        return 1;
    }
    b.activeAtom = b.session->desktop().server().atom("_NET_ACTIVE_WINDOW");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    b.clients.clear();
    b.session.reset();
    return 0;
}
