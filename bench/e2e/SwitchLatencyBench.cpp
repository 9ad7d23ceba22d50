// What the user waits for, measured from outside the program: the real tavrel on a private
// 1920 x 1080 Xvfb with openbox, 400 x 300 windows with a 32 x 32 icon each over five client
// processes, keys sent through XTest, every outcome read from the X server.
//   key: Super+Tab sent (and the server has it) → the panel's complete first frame: the
//        damage after which the panel's pixels are the ones it keeps
//   commit: Super released (and the server has it) → the chosen window active and the panel
//        gone
// with 10, 100 and 300 windows, each timing one switch, 30 repetitions (median, p90), and
// tavrel's resident memory after start and after 1,000 switches. openbox's own Alt+Tab
// commit is timed the same way, for comparison.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <xcb/damage.h>
#include <xcb/xcbext.h>
#include <xcb/xtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
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

constexpr int kClients = 5;
constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;
constexpr int kWindowWidth = 400;
constexpr int kWindowHeight = 300;
constexpr int kIconSide = 32;
constexpr int kSwitches = 1000;
constexpr int kTimeoutMs = 5000;
// The panel is complete once nothing has been drawn on it for this long.
constexpr int kQuietMs = 150;
// Its pixels are read at these points of a grid over it; it shows a frame when this many of
// them already hold their final colour.
constexpr int kGrid = 5;
constexpr int kMatchesForFrame = 20;
constexpr int kSmallestPopup = 40;
// Between switches the desktop settles, as between a user's.
constexpr int kGapMs = 300;

struct Free {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, Free>;

// The desktop, tavrel and the windows of the run in progress.
struct Bench {
    std::unique_ptr<Session> session;
    std::vector<std::unique_ptr<TestClient>> clients;
    int windows = 0;
    xcb_window_t panel = XCB_WINDOW_NONE;
    Geometry panelGeometry;
    xcb_damage_damage_t damage = 0;
    std::uint8_t damageEvent = 0;
    xcb_atom_t activeAtom = XCB_ATOM_NONE;
    std::uint8_t super = 0, alt = 0, tab = 0;
};

Bench& bench() {
    static Bench b;
    return b;
}

xcb_connection_t* connection() {
    return bench().session->desktop().connection();
}

int type(const xcb_generic_event_t& e) {
    return e.response_type & 0x7f;
}

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Hands every event to `handle` with the time it was read, until `done` holds; false at
// the timeout.
bool readEvents(const std::function<void(const xcb_generic_event_t&, Clock::time_point)>& handle,
                const std::function<bool()>& done, int timeoutMs = kTimeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        bool any = false;
        while (Reply<xcb_generic_event_t> e{xcb_poll_for_event(connection())}) {
            handle(*e, Clock::now());
            any = true;
        }
        if (any)
            continue;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || xcb_connection_has_error(connection()) != 0)
            return false;
        pollfd fd{xcb_get_file_descriptor(connection()), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(std::min<long long>(left, 1)));
    }
    return true;
}

void drainEvents() {
    xcb_flush(connection());
    while (Reply<xcb_generic_event_t> e{xcb_poll_for_event(connection())}) {
    }
}

// Lets the window manager and the clients finish what the last switch started.
void pause() {
    readEvents([](const xcb_generic_event_t&, Clock::time_point) {}, [] { return false; }, kGapMs);
}

// Keys go out together, and the clock starts once the server has handled them.
Clock::time_point sendKeys(const std::vector<std::pair<std::uint8_t, std::uint8_t>>& keys) {
    for (const auto& [event, code] : keys)
        xcb_test_fake_input(connection(), event, code, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0, 0);
    bench().session->desktop().sync();
    return Clock::now();
}

// The colours at the grid's points of the panel as the screen shows them now, asked for
// together.
std::vector<std::uint32_t> panelPixels() {
    const Geometry& g = bench().panelGeometry;
    const xcb_window_t root = bench().session->desktop().server().root();
    std::vector<xcb_get_image_cookie_t> cookies;
    for (int row = 0; row < kGrid; ++row) {
        for (int column = 0; column < kGrid; ++column) {
            const int x = g.x + g.width * (2 * column + 1) / (2 * kGrid);
            const int y = g.y + g.height * (2 * row + 1) / (2 * kGrid);
            cookies.push_back(xcb_get_image(connection(), XCB_IMAGE_FORMAT_Z_PIXMAP, root,
                                            static_cast<std::int16_t>(x),
                                            static_cast<std::int16_t>(y), 1, 1, ~0u));
        }
    }
    std::vector<std::uint32_t> pixels;
    for (const auto cookie : cookies) {
        Reply<xcb_get_image_reply_t> reply(xcb_get_image_reply(connection(), cookie, nullptr));
        std::uint32_t pixel = 0;
        if (reply && xcb_get_image_data_length(reply.get()) >= 4)
            pixel = *reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(reply.get()));
        pixels.push_back(pixel);
    }
    return pixels;
}

struct Opening {
    Clock::duration mapped{};
    Clock::duration firstDamage{};
    Clock::duration completeFrame{};
};

// Super+Tab, until the panel has been quiet for a while. The complete frame is the last
// damage read before the first reading of its pixels that already matched the quiet
// panel's; the pixels are read after every batch of damage.
std::optional<Opening> openPanel() {
    Bench& b = bench();
    pause();
    const Clock::time_point start =
        sendKeys({{XCB_KEY_PRESS, b.super}, {XCB_KEY_PRESS, b.tab}, {XCB_KEY_RELEASE, b.tab}});
    std::optional<Clock::time_point> mapped, lastDamage, firstDamage;
    struct Reading {
        Clock::time_point damage;
        std::vector<std::uint32_t> pixels;
    };
    std::vector<Reading> readings;
    bool unread = false;  // damage since the last reading
    const auto handle = [&](const xcb_generic_event_t& e, Clock::time_point at) {
        if (type(e) == XCB_MAP_NOTIFY &&
            reinterpret_cast<const xcb_map_notify_event_t&>(e).window == b.panel) {
            mapped = at;
        } else if (mapped && type(e) == b.damageEvent &&
                   reinterpret_cast<const xcb_damage_notify_event_t&>(e).drawable == b.panel) {
            lastDamage = at;
            firstDamage = firstDamage.value_or(at);
            unread = true;
        }
    };
    const bool quiet = readEvents(handle, [&] {
        if (unread) {
            readings.push_back({*lastDamage, panelPixels()});
            unread = false;
            return false;
        }
        return lastDamage && Clock::now() - *lastDamage > std::chrono::milliseconds(kQuietMs);
    });
    if (!quiet || !mapped)
        return std::nullopt;
    const std::vector<std::uint32_t> final = panelPixels();
    for (const Reading& reading : readings) {
        int matches = 0;
        for (std::size_t i = 0; i < final.size(); ++i)
            matches += reading.pixels[i] == final[i];
        if (matches >= kMatchesForFrame)
            return Opening{*mapped - start, *firstDamage - start, reading.damage - start};
    }
    return std::nullopt;
}

// The modifier released, until the window behind the front one is active and `popup` (the
// switcher's panel) is gone: the time of the later of the two.
std::optional<Clock::duration> commit(std::uint8_t modifier, xcb_window_t popup) {
    Desktop& desktop = bench().session->desktop();
    const auto stack = desktop.clientsStacked();
    const xcb_window_t target = stack.size() >= 2 ? stack[stack.size() - 2] : stack.back();
    drainEvents();
    const Clock::time_point start = sendKeys({{XCB_KEY_RELEASE, modifier}});
    std::optional<Clock::time_point> active, gone;
    // Each change of the active window is read back without waiting for the answer, so that
    // no event waits behind it: the answer that names the target dates its change.
    std::deque<std::pair<xcb_get_property_cookie_t, Clock::time_point>> reads;
    const xcb_window_t root = desktop.server().root();
    const auto handle = [&](const xcb_generic_event_t& e, Clock::time_point at) {
        if (type(e) == XCB_UNMAP_NOTIFY &&
            reinterpret_cast<const xcb_unmap_notify_event_t&>(e).window == popup) {
            gone = at;
        } else if (!active && type(e) == XCB_PROPERTY_NOTIFY &&
                   reinterpret_cast<const xcb_property_notify_event_t&>(e).atom ==
                       bench().activeAtom) {
            reads.emplace_back(
                xcb_get_property(connection(), 0, root, bench().activeAtom, XCB_ATOM_WINDOW, 0, 1),
                at);
            xcb_flush(connection());
        }
    };
    const auto done = [&] {
        while (!active && !reads.empty()) {
            void* answer = nullptr;
            xcb_generic_error_t* error = nullptr;
            if (xcb_poll_for_reply(connection(), reads.front().first.sequence, &answer, &error) ==
                0)
                break;
            std::free(error);
            Reply<xcb_get_property_reply_t> reply(static_cast<xcb_get_property_reply_t*>(answer));
            if (reply && xcb_get_property_value_length(reply.get()) >= 4 &&
                *static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get())) == target)
                active = reads.front().second;
            reads.pop_front();
        }
        return active && gone;
    };
    if (!readEvents(handle, done))
        return std::nullopt;
    return std::max(*active, *gone) - start;
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
    // Every drawing is reported, not only the first one until the damage is taken back.
    xcb_damage_create(c, b.damage, b.panel, XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
    xcb_flush(c);
    return true;
}

// One of `count` test windows, placed as the user asked (the window manager does not place
// it), with an icon.
std::string windowOptions(int i, int count) {
    char index[16];
    std::snprintf(index, sizeof index, "%03d", i);
    return "title=Window%20" + std::string(index) + "%20of%20" + std::to_string(count) +
           " class=win" + index + ",Windows" +
           " x=" + std::to_string(i * 37 % (kScreenWidth - kWindowWidth)) +
           " y=" + std::to_string(i * 23 % (kScreenHeight - kWindowHeight)) +
           " width=" + std::to_string(kWindowWidth) + " height=" + std::to_string(kWindowHeight) +
           " placed=1 icon=" + std::to_string(kIconSide);
}

// Makes `count` windows over five client processes, placed as the user asked (the window
// manager does not place them), and finds the panel and its place with one switch.
bool prepare(int count) {
    Bench& b = bench();
    if (b.windows == count)
        return true;
    Desktop& desktop = b.session->desktop();
    b.clients.clear();
    desktop.waitUntil([&] { return desktop.clientsStacked().empty(); });
    // Each client maps its run of windows, one after the other: the runs lie in that order
    // in the stacking, the last one on top.
    const int perClient = (count + kClients - 1) / kClients;
    for (int first = 0; first < count; first += perClient) {
        b.clients.push_back(b.session->client());
        std::vector<std::string> options;
        for (int i = first; i < std::min(count, first + perClient); ++i)
            options.push_back(windowOptions(i, count));
        b.session->windows(*b.clients.back(), options);
    }
    b.windows = count;
    b.session->superTab();
    if (!b.session->waitForPanel(true))
        return false;
    const xcb_window_t panel = b.session->panel();
    const auto geometry = b.session->panelGeometry();
    b.session->releaseSuper();
    b.session->waitForPanel(false);
    if (!geometry)
        return false;
    b.panelGeometry = *geometry;
    if (panel == b.panel)
        return true;
    b.panel = panel;
    return startDamage();
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

double milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void BM_KeyToPanelComplete(benchmark::State& state) {
    if (!prepared(state, static_cast<int>(state.range(0))))
        return;
    for (auto _ : state) {
        const std::optional<Opening> opening = openPanel();
        if (!opening) {
            state.SkipWithError("the panel did not show a frame");
            break;
        }
        state.SetIterationTime(seconds(opening->completeFrame));
        state.counters["mapped_ms"] = milliseconds(opening->mapped);
        state.counters["first_damage_ms"] = milliseconds(opening->firstDamage);
        commit(bench().super, bench().panel);
    }
}

void BM_ReleaseToWindowActive(benchmark::State& state) {
    if (!prepared(state, static_cast<int>(state.range(0))))
        return;
    for (auto _ : state) {
        openPanel();
        pause();
        const auto time = commit(bench().super, bench().panel);
        if (!time) {
            state.SkipWithError("the window did not become active");
            break;
        }
        state.SetIterationTime(seconds(*time));
    }
}

// The same commit through openbox's own switcher (Alt+Tab), for comparison: from letting go
// of Alt, its popup up, to the window behind the front one active and the popup gone.
void BM_WindowManagerReleaseToWindowActive(benchmark::State& state) {
    if (!prepared(state, static_cast<int>(state.range(0))))
        return;
    Bench& b = bench();
    for (auto _ : state) {
        pause();
        sendKeys({{XCB_KEY_PRESS, b.alt}, {XCB_KEY_PRESS, b.tab}, {XCB_KEY_RELEASE, b.tab}});
        // openbox maps thin bars around the chosen window first: its popup is the first
        // override-redirect window that is larger.
        xcb_window_t popup = XCB_WINDOW_NONE;
        const bool shown = readEvents(
            [&](const xcb_generic_event_t& e, Clock::time_point) {
                const auto& map = reinterpret_cast<const xcb_map_notify_event_t&>(e);
                if (type(e) != XCB_MAP_NOTIFY || map.override_redirect == 0 || popup != 0)
                    return;
                const auto g = b.session->desktop().geometry(map.window);
                if (g && g->width >= kSmallestPopup && g->height >= kSmallestPopup)
                    popup = map.window;
            },
            [&] { return popup != XCB_WINDOW_NONE; });
        pause();
        const auto time = shown ? commit(b.alt, popup) : std::nullopt;
        if (!time) {
            state.SkipWithError("openbox did not switch");
            break;
        }
        state.SetIterationTime(seconds(*time));
    }
}

void BM_ResidentMemoryOverSwitches(benchmark::State& state) {
    if (!prepared(state, 100))
        return;
    Bench& b = bench();
    const long before = residentKilobytes();
    for (auto _ : state) {
        for (int i = 0; i < kSwitches; ++i) {
            drainEvents();
            sendKeys({{XCB_KEY_PRESS, b.super}, {XCB_KEY_PRESS, b.tab}, {XCB_KEY_RELEASE, b.tab}});
            if (!b.session->waitForPanel(true) || !commit(b.super, b.panel)) {
                state.SkipWithError("a switch failed");
                return;
            }
        }
    }
    state.counters["rss_start_MB"] = static_cast<double>(before) / 1024.0;
    state.counters["rss_after_1000_MB"] = static_cast<double>(residentKilobytes()) / 1024.0;
}

BENCHMARK(BM_KeyToPanelComplete)->Apply(perSwitch);
BENCHMARK(BM_ReleaseToWindowActive)->Apply(perSwitch);
BENCHMARK(BM_WindowManagerReleaseToWindowActive)->Apply(perSwitch);
BENCHMARK(BM_ResidentMemoryOverSwitches)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Bench& b = bench();
    b.session = std::make_unique<Session>(
        Desktop::Options{.monitorWidth = kScreenWidth, .monitorHeight = kScreenHeight});
    if (!b.session->failure().empty()) {
        std::fprintf(stderr, "e2e bench: %s\n", b.session->failure().c_str());
        return 1;
    }
    Desktop& desktop = b.session->desktop();
    b.activeAtom = desktop.server().atom("_NET_ACTIVE_WINDOW");
    b.super = desktop.keycode("Super_L");
    b.alt = desktop.keycode("Alt_L");
    b.tab = desktop.keycode("Tab");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    b.clients.clear();
    b.session.reset();
    return 0;
}
