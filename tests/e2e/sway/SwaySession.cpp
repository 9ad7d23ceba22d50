#include "SwaySession.h"

#include <QJsonArray>
#include <algorithm>
#include <chrono>
#include <set>
#include <thread>

#include "Gestures.h"
#include "Screenshot.h"

namespace tavrel::e2e {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRecheckMs = 5;
constexpr int kSettleMs = 150;
constexpr int kEventTimeoutMs = 5000;
// The screenshot's band: the panel is centred on the output and never wider than this.
constexpr int kBandWidth = 800;
constexpr int kBandX = (kSwayWidth - kBandWidth) / 2;
// Within this of the desktop's colour a pixel is desktop, not panel.
constexpr int kDesktopTolerance = 6;

// The longest run of rows in the band's middle column that is not the desktop (the colour
// at the top, which the panel never reaches).
std::optional<std::pair<int, int>> panelRows(const Screenshot& shot) {
    const int middle = shot.width / 2;
    const std::uint32_t desktop = shot.at(middle, 0);
    std::optional<std::pair<int, int>> longest;
    for (int y = 0; y < shot.height;) {
        if (nearColour(shot.at(middle, y), desktop, kDesktopTolerance)) {
            ++y;
            continue;
        }
        const int top = y;
        while (y < shot.height && !nearColour(shot.at(middle, y), desktop, kDesktopTolerance))
            ++y;
        if (!longest || y - top > longest->second - longest->first)
            longest = std::make_pair(top, y);
    }
    return longest;
}

}  // namespace

SwaySession::SwaySession(const SwayServer::Options& options)
    : sway_(std::make_unique<SwayServer>(options)), state_(std::make_unique<TemporaryFolder>()) {
    if (!sway_->failure().empty()) {
        failure_ = sway_->failure();
        return;
    }
    events_ = std::make_unique<SwayIpc>(sway_->ipcSocket());
    if (!events_->subscribe({"binding", "tick"})) {
        failure_ = "sway's IPC takes no subscription";
        return;
    }
    seat_ = std::make_unique<VirtualSeat>(sway_->waylandDisplay(), kSwayWidth, kSwayHeight);
    if (!seat_->failure().empty()) {
        failure_ = "virtual seat: " + seat_->failure();
        return;
    }
    tavrel_ = std::make_unique<TavrelProcess>(sway_->environment(), state_->path());
    if (!tavrel_->waitForLaunch())
        failure_ = "tavrel did not launch";
    else if (tavrel_->logCount("event tap created and enabled") == 0)
        failure_ = "tavrel did not install its bindings";
    if (!failure_.empty()) {
        for (const auto& line : tavrel_->logLines())
            failure_ += "\n" + line;
        failure_ += "\nstderr:\n" + tavrel_->standardError();
    }
}

std::string SwaySession::failure() const {
    return failure_;
}

std::unique_ptr<WaylandClient> SwaySession::client() const {
    return std::make_unique<WaylandClient>(sway_->environment());
}

std::vector<SwayView> SwaySession::views() {
    return e2e::views(sway_->ipc().tree());
}

long SwaySession::focusedView() {
    for (const SwayView& v : views()) {
        if (v.focused)
            return v.id;
    }
    return 0;
}

bool SwaySession::waitForFocus(long view) {
    return waitUntil([&] { return focusedView() == view; });
}

std::vector<long> SwaySession::windows(WaylandClient& client,
                                       const std::vector<std::string>& options) {
    auto ownViews = [&] {
        std::set<long> ids;
        for (const SwayView& v : views()) {
            if (v.pid == client.pid())
                ids.insert(v.id);
        }
        return ids;
    };
    const std::set<long> before = ownViews();
    for (const std::string& o : options) {
        if (client.window(o) == 0)
            return {};
    }
    // sway numbers its containers in the order they map, which is the order they were made.
    std::vector<long> made;
    for (const long id : ownViews()) {
        if (before.count(id) == 0)
            made.push_back(id);
    }
    if (made.size() != options.size())
        return {};
    waitForFocus(made.back());
    return made;
}

void SwaySession::superTab(bool reverse) {
    e2e::superTab(*seat_, reverse);
}

void SwaySession::releaseSuper() {
    seat_->release("Super_L");
}

std::optional<PanelShot> SwaySession::panel() {
    // The output may have been moved in the layout, where screenshots are taken.
    const QJsonObject output = sway_->ipc()
                                   .request(SwayIpc::kGetOutputs)
                                   .value_or(QJsonDocument())
                                   .array()
                                   .at(0)["rect"]
                                   .toObject();
    const auto shot = Screenshot::take(sway_->environment(), output["x"].toInt() + kBandX,
                                       output["y"].toInt(), kBandWidth, kSwayHeight);
    if (!shot)
        return std::nullopt;
    const auto rows = panelRows(*shot);
    if (!rows)
        return std::nullopt;
    // Left and right from the middle, halfway down the panel.
    const int y = (rows->first + rows->second) / 2;
    const std::uint32_t desktop = shot->at(0, y);
    int left = shot->width / 2;
    int right = left;
    while (left > 0 && !nearColour(shot->at(left - 1, y), desktop, kDesktopTolerance))
        --left;
    while (right < shot->width && !nearColour(shot->at(right, y), desktop, kDesktopTolerance))
        ++right;
    PanelShot panel{kBandX + left, rows->first, right - left, rows->second - rows->first, {}};
    if (left + kProbeX >= shot->width)
        return std::nullopt;
    for (int row = rows->first; row < rows->second; ++row)
        panel.column.push_back(shot->at(left + kProbeX, row));
    return panel;
}

bool SwaySession::waitForPanel(bool shown, int timeoutMs) {
    return waitUntil(
        [&] {
            const auto p = panel();
            return (p && p->width == kPanelWidth) == shown;
        },
        timeoutMs);
}

int SwaySession::rowsShown(bool filtering) {
    const auto p = panel();
    return p ? e2e::rowsShown(p->column, filtering) : -1;
}

std::optional<int> SwaySession::highlightedRow(bool filtering) {
    const auto p = panel();
    return p ? e2e::highlightedRow(p->column, filtering) : std::nullopt;
}

bool SwaySession::waitForHighlight(int row, bool filtering) {
    return waitUntil([&] { return highlightedRow(filtering) == row; });
}

bool SwaySession::waitForHotkey(const std::string& message, std::size_t count) {
    if (!tavrel_->waitForLog(message, count))
        return false;
    // The line is written as the handling starts.
    settle();
    return true;
}

void SwaySession::settle() {
    std::this_thread::sleep_for(std::chrono::milliseconds(kSettleMs));
}

bool SwaySession::saveScreen(const std::string& file) {
    return Screenshot::save(sway_->environment(), file);
}

std::vector<std::string> SwaySession::bindingsRun() {
    // sway sends events in order: once our tick is back, every binding before it is in.
    const std::string mark = "tavrel-test-" + std::to_string(++ticks_);
    std::vector<std::string> commands;
    if (!sway_->ipc().request(SwayIpc::kSendTick, mark))
        return {"(sway took no tick)"};
    while (const auto e = events_->event(kEventTimeoutMs)) {
        if (e->type == SwayIpc::kTickEvent &&
            e->document["payload"].toString().toStdString() == mark)
            return commands;
        if (e->type == SwayIpc::kBindingEvent)
            commands.push_back(e->document["binding"]["command"].toString().toStdString());
    }
    commands.push_back("(the tick never came back)");
    return commands;
}

bool SwaySession::waitUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(kRecheckMs));
    }
    return true;
}

}  // namespace tavrel::e2e
