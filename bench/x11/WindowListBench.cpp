// Lists 300 windows of 10 client processes on a private Xvfb, with and without a window
// manager: time and round trips per enumeration, and per activation of one window.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "TestClient.h"
#include "XServer.h"
#include "platform/x11/X11Accessibility.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11WindowList.h"
#include "platform/x11/X11WindowServer.h"

namespace tavrel::x11::test {
namespace {

constexpr int kClients = 10;
constexpr int kWindowsPerClient = 30;

struct Desktop {
    explicit Desktop(bool managed) {
        if (!server.started() || (managed && !server.startWindowManager()))
            return;
        for (int i = 0; i < kClients; ++i) {
            clients.push_back(std::make_unique<TestClient>(server.display()));
            for (int j = 0; j < kWindowsPerClient; ++j) {
                clients.back()->window("title=Client%20" + std::to_string(i) + "%20window%20" +
                                       std::to_string(j) + " class=bench,Bench" +
                                       " width=400 height=300");
            }
        }
        connection = X11Connection::open(server.display().c_str(), nullptr);
        if (connection) {
            windows = std::make_unique<X11WindowList>(*connection, nullptr);
            windowServer = std::make_unique<X11WindowServer>(*windows);
        }
    }
    XServer server;
    std::vector<std::unique_ptr<TestClient>> clients;
    std::unique_ptr<X11Connection> connection;
    std::unique_ptr<X11WindowList> windows;
    std::unique_ptr<X11WindowServer> windowServer;
};

void enumerate(benchmark::State& state, Desktop& desktop) {
    if (!desktop.windowServer) {
        state.SkipWithError("no X server");
        return;
    }
    const std::uint64_t roundTripsBefore = desktop.windows->roundTrips();
    std::size_t listed = 0;
    for (auto _ : state) {
        auto list = desktop.windowServer->copyWindowInfo(
            kCGWindowListOptionOnScreenOnly | kCGWindowListExcludeDesktopElements, kCGNullWindowID);
        listed = list ? list->size() : 0;
        benchmark::DoNotOptimize(list);
    }
    state.counters["windows"] = static_cast<double>(listed);
    state.counters["roundTrips"] =
        static_cast<double>(desktop.windows->roundTrips() - roundTripsBefore) /
        static_cast<double>(state.iterations());
}

// A backend that has never listed these windows reads every property.
void BM_FirstEnumerationOf300Windows(benchmark::State& state) {
    static Desktop desktop(false);
    if (!desktop.connection) {
        state.SkipWithError("no X server");
        return;
    }
    std::uint64_t roundTrips = 0;
    for (auto _ : state) {
        X11WindowList windows(*desktop.connection, nullptr);
        X11WindowServer server(windows);
        auto list = server.copyWindowInfo(
            kCGWindowListOptionOnScreenOnly | kCGWindowListExcludeDesktopElements, kCGNullWindowID);
        benchmark::DoNotOptimize(list);
        roundTrips += windows.roundTrips();
    }
    state.counters["roundTrips"] =
        static_cast<double>(roundTrips) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_FirstEnumerationOf300Windows)->Unit(benchmark::kMillisecond);

void BM_Enumerate300WindowsWithoutWindowManager(benchmark::State& state) {
    static Desktop desktop(false);
    enumerate(state, desktop);
}
BENCHMARK(BM_Enumerate300WindowsWithoutWindowManager)->Unit(benchmark::kMillisecond);

void BM_Enumerate300WindowsUnderOpenbox(benchmark::State& state) {
    static Desktop desktop(true);
    enumerate(state, desktop);
}
BENCHMARK(BM_Enumerate300WindowsUnderOpenbox)->Unit(benchmark::kMillisecond);

// What a commit asks of the backend: the application's windows, the chosen one's title and
// state, then raise and focus requests (the server's time for the latter is one more round
// trip, outside the listing's count). False when nothing is listed.
bool commit(X11Accessibility& ax, const AXElement& application) {
    Value windows;
    ax.copyAttributeValue(application, kAXWindowsAttribute, windows);
    const ElementList* list = valueAsElements(windows);
    if (list == nullptr || list->empty())
        return false;
    const AXElement& window = list->back();
    Value title;
    Value minimized;
    ax.copyAttributeValue(window, kAXTitleAttribute, title);
    ax.copyAttributeValue(window, kAXMinimizedAttribute, minimized);
    ax.performAction(window, kAXRaiseAction);
    bool settable = false;
    if (ax.isAttributeSettable(window, kAXMainAttribute, settable) == kAXErrorSuccess && settable)
        ax.setAttributeValue(window, kAXMainAttribute, true);
    return true;
}

// Lists until the look-up right after a listing answers from it: the window manager is done
// with the last commit's raise.
void listUntilSettled(X11WindowList& windows) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        windows.snapshot();
        const std::uint64_t before = windows.roundTrips();
        windows.unchangedSnapshot();
        if (windows.roundTrips() == before)
            return;
    }
}

// Commits one after another, or each right after the panel's listing as the switcher makes
// them (the listing untimed, its round trips not counted).
void activate(benchmark::State& state, bool afterListing) {
    static Desktop desktop(true);
    if (!desktop.windows) {
        state.SkipWithError("no X server");
        return;
    }
    X11Accessibility ax(*desktop.connection, *desktop.windows);
    const AXElement application = ax.createApplication(desktop.clients.back()->pid());
    std::uint64_t roundTrips = 0;
    for (auto _ : state) {
        if (afterListing) {
            state.PauseTiming();
            listUntilSettled(*desktop.windows);
            state.ResumeTiming();
        }
        const std::uint64_t before = desktop.windows->roundTrips();
        if (!commit(ax, application)) {
            state.SkipWithError("no windows listed");
            return;
        }
        roundTrips += desktop.windows->roundTrips() - before;
    }
    state.counters["roundTrips"] =
        static_cast<double>(roundTrips) / static_cast<double>(state.iterations());
}

// Each commit raises another window, so the next one lists afresh.
void BM_ActivateOneOf300WindowsUnderOpenbox(benchmark::State& state) {
    activate(state, false);
}
BENCHMARK(BM_ActivateOneOf300WindowsUnderOpenbox)->Unit(benchmark::kMillisecond);

void BM_ActivateRightAfterListingOf300WindowsUnderOpenbox(benchmark::State& state) {
    activate(state, true);
}
BENCHMARK(BM_ActivateRightAfterListingOf300WindowsUnderOpenbox)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavrel::x11::test
