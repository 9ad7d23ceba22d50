#include "Session.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace tavrel::e2e {
namespace {

// Left of the name column and inside the highlight's inset: only the highlight paints here.
constexpr int kProbeX = 6 + 10;
constexpr int kTopInset = 6;
constexpr int kFilterTopInset = 26;  // under the search label
constexpr int kSettleMs = 150;

bool near(std::uint32_t a, std::uint32_t b) {
    auto channel = [](std::uint32_t c, int shift) { return static_cast<int>((c >> shift) & 0xff); };
    for (const int shift : {0, 8, 16}) {
        if (std::abs(channel(a, shift) - channel(b, shift)) > 24)
            return false;
    }
    return true;
}

}  // namespace

Session::Session(Desktop::Options options)
    : desktop_(std::make_unique<Desktop>(options)), state_(std::make_unique<TemporaryFolder>()) {
    if (!desktop_->failure().empty())
        return;
    tavrel_ = std::make_unique<TavrelProcess>(desktop_->display(), state_->path());
    launched_ = tavrel_->waitForLaunch() && waitForHotkeyGrab();
    if (launched_ && options.tray && options.trayDelayMs > 0) {
        // The delay is the scenario itself: a tray that comes up well after tavrel.
        std::this_thread::sleep_for(std::chrono::milliseconds(options.trayDelayMs));
        trayStarted_ = desktop_->startTray(options.trayBackground);
    }
}

bool Session::waitForHotkeyGrab() {
    // The log says the tap exists; the server says who holds Super+Tab.
    return desktop_->waitUntil([&] { return desktop_->superTabTaken(); });
}

std::string Session::failure() const {
    if (!desktop_->failure().empty())
        return desktop_->failure();
    if (!launched_)
        return "tavrel did not launch; its log:\n" + [this] {
            std::string all;
            for (const auto& line : tavrel_->logLines())
                all += line + "\n";
            return all + "stderr:\n" + tavrel_->standardError();
        }();
    if (!trayStarted_)
        return "trayer did not take the tray selection";
    return {};
}

std::unique_ptr<TestClient> Session::client() const {
    return std::make_unique<TestClient>(desktop_->display());
}

std::vector<xcb_window_t> Session::windows(TestClient& client,
                                           const std::vector<std::string>& options) {
    std::vector<xcb_window_t> made;
    for (const std::string& o : options)
        made.push_back(client.window(o));
    if (!made.empty())
        waitForActive(made.back());
    return made;
}

void Session::superTab(bool reverse) {
    desktop_->press("Super_L");
    if (reverse)
        desktop_->press("Shift_L");
    desktop_->tap("Tab");
    if (reverse)
        desktop_->release("Shift_L");
}

void Session::releaseSuper() {
    desktop_->release("Super_L");
}

xcb_window_t Session::panel() {
    for (const xcb_window_t w : desktop_->shownPopups(static_cast<std::uint32_t>(tavrel_->pid()))) {
        const auto g = desktop_->geometry(w);
        if (g && g->width == kPanelWidth)
            return w;
    }
    return XCB_WINDOW_NONE;
}

bool Session::waitForPanel(bool shown, int timeoutMs) {
    return desktop_->waitUntil([&] { return (panel() != XCB_WINDOW_NONE) == shown; }, timeoutMs);
}

std::optional<Geometry> Session::panelGeometry() {
    const xcb_window_t w = panel();
    if (w == XCB_WINDOW_NONE)
        return std::nullopt;
    return desktop_->geometry(w);
}

int Session::rowsShown(bool filtering) {
    const auto g = panelGeometry();
    if (!g)
        return -1;
    // The panel keeps one row's height when no row is left; only then is nothing highlighted.
    if (g->height == kRowHeight + kFilterAllowance && filtering && !highlightedRow(true))
        return 0;
    return (g->height - (filtering ? kFilterAllowance : kAllowance)) / kRowHeight;
}

std::optional<int> Session::highlightedRow(bool filtering) {
    const xcb_window_t w = panel();
    const auto g = panelGeometry();
    if (w == XCB_WINDOW_NONE || !g)
        return std::nullopt;
    const auto pixels = desktop_->column(w, kProbeX, g->height);
    const int top = filtering ? kFilterTopInset : kTopInset;
    if (static_cast<int>(pixels.size()) != g->height || top >= g->height)
        return std::nullopt;
    const std::uint32_t background = pixels[static_cast<std::size_t>(g->height - 3)];
    std::vector<int> centres;
    for (int y = top; y < g->height - kTopInset;) {
        if (near(pixels[static_cast<std::size_t>(y)], background)) {
            ++y;
            continue;
        }
        const int start = y;
        while (y < g->height && !near(pixels[static_cast<std::size_t>(y)], background))
            ++y;
        // A whole highlight is the row less its insets; part of one is a row scrolled half in.
        if (y - start >= kRowHeight - 8)
            centres.push_back((start + y) / 2);
    }
    if (centres.size() != 1)
        return std::nullopt;
    return (centres.front() - top) / kRowHeight;
}

bool Session::waitForHighlight(int row, bool filtering) {
    return desktop_->waitUntil([&] { return highlightedRow(filtering) == row; });
}

bool Session::waitForActive(xcb_window_t window) {
    return desktop_->waitUntil([&] { return desktop_->activeWindow() == window; });
}

bool Session::waitForHotkey(const std::string& message, std::size_t count) {
    if (!tavrel_->waitForLog(message, count))
        return false;
    // The line is written as the handling starts, and tavrel answers no request that could
    // mark its end: a short quiet spell lets what follows from it reach the server.
    desktop_->waitUntil([] { return false; }, kSettleMs);
    return true;
}

}  // namespace tavrel::e2e
