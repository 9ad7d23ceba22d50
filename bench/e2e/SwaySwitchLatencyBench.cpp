// What the user waits for on sway, measured from outside the program: the real tavrel on a
// private headless sway whose output runs at 240 Hz (so that waiting for the next refresh
// adds at most 4 ms), keys from a virtual keyboard, the outcome read from sway.
//   key: Super+Tab sent, on an idle output → the first output frame that shows the panel
//        (screencopy with damage of the output's middle column, which the panel always covers)
//   commit: Super released → sway reports the focus on the chosen window (IPC window event)
// with 10, 100 and 300 windows (two of them on the workspace shown, the others on another
// one), each timing one switch, 30 repetitions (median, p90).
#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "PerSwitch.h"
#include "SwaySession.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"

namespace {

using namespace tavrel::e2e;
using Clock = std::chrono::steady_clock;

constexpr int kClients = 10;
constexpr int kRefreshHz = 240;
constexpr int kTimeoutMs = 5000;
// Three refresh intervals: long enough for the output's next refresh tick to come and go.
constexpr int kIdleMs = 3 * 1000 / kRefreshHz + 1;
// The output's middle column, top to bottom: the panel, centred, always crosses it.
constexpr int kColumnX = kSwayWidth / 2;

// Frames of the output's middle column, each copied once the output has changed since the
// last one (screencopy with damage), on a connection of the benchmark's own.
class ColumnFrames {
  public:
    explicit ColumnFrames(const std::string& display) {
        display_ = wl_display_connect(display.c_str());
        if (!display_)
            return;
        wl_registry* registry = wl_display_get_registry(display_);
        wl_registry_add_listener(registry, &kRegistryListener, this);
        wl_display_roundtrip(display_);
        wl_registry_destroy(registry);
        const std::size_t size = 4u * kSwayHeight;
        const int fd = memfd_create("tavrel-bench-column", MFD_CLOEXEC);
        if (!shm_ || !output_ || !manager_ || fd < 0 || ftruncate(fd, size) != 0)
            return;
        pixels_ = static_cast<std::uint32_t*>(
            mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
        wl_shm_pool* pool = wl_shm_create_pool(shm_, fd, static_cast<std::int32_t>(size));
        buffer_ = wl_shm_pool_create_buffer(pool, 0, 1, kSwayHeight, 4, WL_SHM_FORMAT_XRGB8888);
        wl_shm_pool_destroy(pool);
        close(fd);
    }
    ~ColumnFrames() {
        if (frame_)
            zwlr_screencopy_frame_v1_destroy(frame_);
        if (buffer_)
            wl_buffer_destroy(buffer_);
        if (pixels_ && pixels_ != MAP_FAILED)
            munmap(pixels_, 4u * kSwayHeight);
        if (manager_)
            zwlr_screencopy_manager_v1_destroy(manager_);
        if (output_)
            wl_output_destroy(output_);
        if (shm_)
            wl_shm_destroy(shm_);
        if (display_)
            wl_display_disconnect(display_);
    }

    bool ready() const { return buffer_ != nullptr && pixels_ != MAP_FAILED && pixels_; }

    // Asks for the next changed frame (copied as soon as the output changes), or with
    // `changed` false for the next frame whatever it shows.
    bool arm(bool changed = true) {
        if (frame_)
            zwlr_screencopy_frame_v1_destroy(frame_);
        state_ = State::kWaitingForBuffer;
        frame_ = zwlr_screencopy_manager_v1_capture_output_region(manager_, 0, output_, kColumnX, 0,
                                                                  1, kSwayHeight);
        zwlr_screencopy_frame_v1_add_listener(frame_, &kFrameListener, this);
        withDamage_ = changed;
        // The copy is requested as the buffer's description arrives.
        return wl_display_roundtrip(display_) >= 0 && state_ == State::kCopying;
    }

    // Asks for the next changed frame once the output is idle. Any request for a copy makes
    // sway draw a frame at once, and the headless output then draws none before its next
    // refresh tick: keys sent right after would wait for that tick, which a user pressing
    // them on an idle desktop does not. So the frame asked for (and any damage from before)
    // is let pass, and the tick after it, until a copy stays armed with nothing to show.
    bool armWhenIdle() {
        for (int tries = 0; tries < 10; ++tries) {
            if (!arm())
                return false;
            if (!wait(kIdleMs))
                return state_ == State::kCopying;
        }
        return false;
    }

    // Waits for the armed frame; false when none came (in time) or the copy failed.
    bool wait(int timeoutMs = kTimeoutMs) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (state_ == State::kCopying) {
            while (wl_display_prepare_read(display_) != 0)
                wl_display_dispatch_pending(display_);
            wl_display_flush(display_);
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count();
            pollfd fd{wl_display_get_fd(display_), POLLIN, 0};
            if (left <= 0 || poll(&fd, 1, static_cast<int>(left)) <= 0) {
                wl_display_cancel_read(display_);
                return false;
            }
            if (wl_display_read_events(display_) < 0 || wl_display_dispatch_pending(display_) < 0)
                return false;
        }
        return state_ == State::kReady;
    }

    // Keeps the next frame, whatever it shows, as what later frames are compared with.
    bool takeReference() {
        if (!arm(false) || !wait())
            return false;
        reference_.assign(pixels_, pixels_ + kSwayHeight);
        return true;
    }

    // Whether the last frame differs from the reference in a run of rows at least as high as
    // the smallest panel (a window going away differs in more).
    bool differs() const {
        int run = 0;
        for (int y = 0; y < kSwayHeight; ++y) {
            run = (pixels_[y] & 0xffffff) == (reference_[static_cast<std::size_t>(y)] & 0xffffff)
                      ? 0
                      : run + 1;
            if (run >= kRowHeight + kAllowance)
                return true;
        }
        return false;
    }

  private:
    enum class State { kWaitingForBuffer, kCopying, kReady, kFailed };

    static void announce(void* data, wl_registry* registry, std::uint32_t name,
                         const char* interface, std::uint32_t) {
        auto* self = static_cast<ColumnFrames*>(data);
        const std::string is = interface;
        if (is == wl_shm_interface.name)
            self->shm_ =
                static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
        else if (is == wl_output_interface.name && !self->output_)
            self->output_ =
                static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, 1));
        else if (is == zwlr_screencopy_manager_v1_interface.name)
            self->manager_ = static_cast<zwlr_screencopy_manager_v1*>(
                wl_registry_bind(registry, name, &zwlr_screencopy_manager_v1_interface, 2));
    }
    static constexpr wl_registry_listener kRegistryListener = {
        announce, [](void*, wl_registry*, std::uint32_t) {}};

    static void buffer(void* data, zwlr_screencopy_frame_v1* frame, std::uint32_t format,
                       std::uint32_t width, std::uint32_t height, std::uint32_t stride) {
        auto* self = static_cast<ColumnFrames*>(data);
        if (format != WL_SHM_FORMAT_XRGB8888 || width != 1 || height != kSwayHeight ||
            stride != 4) {
            self->state_ = State::kFailed;
            return;
        }
        if (self->withDamage_)
            zwlr_screencopy_frame_v1_copy_with_damage(frame, self->buffer_);
        else
            zwlr_screencopy_frame_v1_copy(frame, self->buffer_);
        self->state_ = State::kCopying;
    }
    static void ready(void* data, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t,
                      std::uint32_t) {
        static_cast<ColumnFrames*>(data)->state_ = State::kReady;
    }
    static void failed(void* data, zwlr_screencopy_frame_v1*) {
        static_cast<ColumnFrames*>(data)->state_ = State::kFailed;
    }
    static constexpr zwlr_screencopy_frame_v1_listener kFrameListener = {
        buffer,
        [](void*, zwlr_screencopy_frame_v1*, std::uint32_t) {},
        ready,
        failed,
        [](void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t,
           std::uint32_t) {},
        [](void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t) {},
        [](void*, zwlr_screencopy_frame_v1*) {}};

    wl_display* display_ = nullptr;
    wl_shm* shm_ = nullptr;
    wl_output* output_ = nullptr;
    zwlr_screencopy_manager_v1* manager_ = nullptr;
    zwlr_screencopy_frame_v1* frame_ = nullptr;
    wl_buffer* buffer_ = nullptr;
    std::uint32_t* pixels_ = nullptr;
    State state_ = State::kWaitingForBuffer;
    bool withDamage_ = true;
    std::vector<std::uint32_t> reference_;
};

// The desktop, tavrel and the windows of the run in progress.
struct Bench {
    std::unique_ptr<SwaySession> session;
    std::unique_ptr<ColumnFrames> frames;
    std::unique_ptr<SwayIpc> windowEvents;
    std::vector<std::unique_ptr<WaylandClient>> clients;
    int windows = 0;
    // sway's ids of the window in front and the one behind it: a switch swaps them.
    long front = 0;
    long behind = 0;
};

Bench& bench() {
    static Bench b;
    return b;
}

// Sends keys, and waits for the first frame that differs from the reference; `sent` is when
// the keys went out.
template <typename Keys>
bool keysToFrame(Keys keys, Clock::time_point& sent) {
    ColumnFrames& frames = *bench().frames;
    if (!frames.armWhenIdle())
        return false;
    sent = Clock::now();
    keys();
    const auto deadline = Clock::now() + std::chrono::milliseconds(kTimeoutMs);
    while (Clock::now() < deadline) {
        if (!frames.wait())
            return false;
        if (frames.differs())
            return true;
        // A frame for something else came first. The change may be drawn before the next copy
        // is asked for, and sway draws no further frame unless something changes again: from
        // here on every copy asks for a frame of its own.
        if (!frames.arm(false))
            return false;
    }
    return false;
}

// Super+Tab, until a frame shows the panel.
bool openPanel(Clock::time_point& sent) {
    return keysToFrame([] { bench().session->superTab(); }, sent);
}

// Super released, until sway has the focus on the window that was behind the front one.
bool commit() {
    Bench& b = bench();
    b.session->releaseSuper();
    while (const auto e = b.windowEvents->event(kTimeoutMs)) {
        if (e->type == SwayIpc::kWindowEvent && e->document["change"].toString() == "focus" &&
            e->document["container"]["id"].toInteger() == b.behind) {
            std::swap(b.front, b.behind);
            return true;
        }
    }
    return false;
}

// Events left from before the timed part.
void drainWindowEvents() {
    while (bench().windowEvents->event(0)) {
    }
}

// Makes `count` windows over ten clients, one application each.
bool prepare(int count) {
    Bench& b = bench();
    if (b.windows == count)
        return true;
    b.clients.clear();
    if (!SwaySession::waitUntil([&] { return b.session->views().empty(); }))
        return false;
    std::vector<long> made;
    for (int c = 0; c < kClients; ++c) {
        b.clients.push_back(b.session->client());
        std::vector<std::string> options;
        for (int i = c; i < count; i += kClients)
            options.push_back("title=Window%20" + std::to_string(i) + " app_id=app" +
                              std::to_string(c));
        const auto ids = b.session->windows(*b.clients.back(), options);
        if (ids.size() != options.size())
            return false;
        made.insert(made.end(), ids.begin(), ids.end());
    }
    // All but the two in front go to another workspace, as a user keeps them, and those two
    // float small in a corner: sway then draws the same little whatever the count, and the
    // figures follow tavrel's work, not sway's scaling of the test windows' pixels.
    std::string moves;
    for (std::size_t i = 0; i + 2 < made.size(); ++i)
        moves += "[con_id=" + std::to_string(made[i]) + "] move container to workspace number 3;";
    for (std::size_t i = made.size() - 2; i < made.size(); ++i)
        moves += "[con_id=" + std::to_string(made[i]) +
                 "] floating enable, resize set 200 150, move position " +
                 std::to_string(210 * (i + 2 - made.size())) + " 0;";
    if (!moves.empty() && !b.session->sway().ipc().command(moves))
        return false;
    b.windows = count;
    b.front = made.back();
    b.behind = made[made.size() - 2];
    return b.session->waitForFocus(b.front);
}

bool prepared(benchmark::State& state, int count) {
    if (prepare(count))
        return true;
    state.SkipWithError("the windows did not come up");
    return false;
}

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

void BM_SwayKeyToPanelFrame(benchmark::State& state) {
    if (!prepared(state, static_cast<int>(state.range(0))))
        return;
    for (auto _ : state) {
        if (!bench().frames->takeReference()) {
            state.SkipWithError("no frame came");
            break;
        }
        Clock::time_point start;
        if (!openPanel(start)) {
            state.SkipWithError("no frame showed the panel");
            break;
        }
        state.SetIterationTime(seconds(Clock::now() - start));
        drainWindowEvents();
        if (!commit()) {
            state.SkipWithError("the switch did not happen");
            break;
        }
    }
}

void BM_SwayReleaseToWindowFocused(benchmark::State& state) {
    if (!prepared(state, static_cast<int>(state.range(0))))
        return;
    for (auto _ : state) {
        Clock::time_point sent;
        if (!bench().frames->takeReference() || !openPanel(sent)) {
            state.SkipWithError("no frame showed the panel");
            break;
        }
        drainWindowEvents();
        const auto start = Clock::now();
        if (!commit()) {
            state.SkipWithError("the window did not get the focus");
            break;
        }
        state.SetIterationTime(seconds(Clock::now() - start));
    }
}

BENCHMARK(BM_SwayKeyToPanelFrame)->Apply(perSwitch);
BENCHMARK(BM_SwayReleaseToWindowFocused)->Apply(perSwitch);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Bench& b = bench();
    b.session =
        std::make_unique<SwaySession>(SwayServer::Options{.refreshHz = kRefreshHz, .config = {}});
    if (!b.session->failure().empty()) {
        std::fprintf(stderr, "sway bench: %s\n", b.session->failure().c_str());
        return 1;
    }
    b.frames = std::make_unique<ColumnFrames>(b.session->sway().waylandDisplay());
    b.windowEvents = std::make_unique<SwayIpc>(b.session->sway().ipcSocket());
    if (!b.frames->ready() || !b.windowEvents->subscribe({"window"})) {
        std::fprintf(stderr, "sway bench: no screencopy or no window events\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    b.clients.clear();
    b.frames.reset();
    b.session.reset();
    return 0;
}
