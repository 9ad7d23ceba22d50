#include "Session.h"

#include <chrono>
#include <thread>

#include "Gestures.h"

namespace tavrel::e2e {
namespace {

constexpr int kSettleMs = 150;

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
    e2e::superTab(*desktop_, reverse);
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

std::vector<std::uint32_t> Session::panelColumn() {
    const xcb_window_t w = panel();
    const auto g = panelGeometry();
    if (w == XCB_WINDOW_NONE || !g)
        return {};
    auto pixels = desktop_->column(w, kProbeX, g->height);
    if (static_cast<int>(pixels.size()) != g->height)
        return {};
    return pixels;
}

int Session::rowsShown(bool filtering) {
    const auto column = panelColumn();
    return column.empty() ? -1 : e2e::rowsShown(column, filtering);
}

std::optional<int> Session::highlightedRow(bool filtering) {
    return e2e::highlightedRow(panelColumn(), filtering);
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
