#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "PanelPicture.h"
#include "SwayServer.h"
#include "TavrelProcess.h"
#include "VirtualSeat.h"
#include "WaylandClient.h"

namespace tavrel::e2e {

// The panel as a screenshot shows it, in output pixels.
struct PanelShot {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    // Its pixels at kProbeX, top to bottom.
    std::vector<std::uint32_t> column;
};

// A headless sway with tavrel running on it, the user's keyboard and pointer, and what the
// user sees: sway's idea of the focused window, and screenshots. Nothing is read from inside
// tavrel but its log.
class SwaySession {
  public:
    explicit SwaySession(const SwayServer::Options& options);

    // Empty when sway, the seat and tavrel came up; otherwise what did not.
    std::string failure() const;
    SwayServer& sway() { return *sway_; }
    VirtualSeat& seat() { return *seat_; }
    TavrelProcess& tavrel() { return *tavrel_; }
    std::unique_ptr<WaylandClient> client() const;

    // Maps windows through `client` ("title=... app_id=..." each) and answers sway's ids of
    // them in the same order, once the last one has the focus.
    std::vector<long> windows(WaylandClient& client, const std::vector<std::string>& options);
    // sway's views, and the focused one's id (0 when no window has the focus).
    std::vector<SwayView> views();
    long focusedView();
    bool waitForFocus(long view);

    // Hold Super and press Tab (with Shift when `reverse`), as the user opens the switcher.
    void superTab(bool reverse = false);
    void releaseSuper();

    std::optional<PanelShot> panel();
    bool waitForPanel(bool shown, int timeoutMs = 5000);
    // The rows the panel's height holds, -1 without a panel.
    int rowsShown(bool filtering = false);
    std::optional<int> highlightedRow(bool filtering = false);
    bool waitForHighlight(int row, bool filtering = false);
    // A short quiet spell, for what follows from the last input to reach the screen.
    static void settle();
    // Waits until the key handling that logged `message` (for the `count`th time) is done.
    bool waitForHotkey(const std::string& message, std::size_t count);
    // The whole screen, as a PNG file.
    bool saveScreen(const std::string& file);
    // The commands of the bindings sway has run since the last call (a tick marks the end).
    std::vector<std::string> bindingsRun();

    // Waits until `done()` holds, re-checking every few milliseconds. False at the timeout.
    static bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

  private:
    std::unique_ptr<SwayServer> sway_;
    std::unique_ptr<SwayIpc> events_;
    std::unique_ptr<VirtualSeat> seat_;
    std::unique_ptr<TemporaryFolder> state_;
    std::unique_ptr<TavrelProcess> tavrel_;
    std::string failure_;
    int ticks_ = 0;
};

}  // namespace tavrel::e2e
