#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Desktop.h"
#include "PanelPicture.h"
#include "TavrelProcess.h"
#include "TestClient.h"

namespace tavrel::e2e {

using x11::test::TestClient;

// A desktop with tavrel running on it, and what the user sees of tavrel's panel.
class Session {
  public:
    explicit Session(Desktop::Options options);

    // Empty when the desktop and tavrel came up; otherwise what did not.
    std::string failure() const;
    Desktop& desktop() { return *desktop_; }
    TavrelProcess& tavrel() { return *tavrel_; }
    std::unique_ptr<TestClient> client() const;
    // Maps windows with the options through `client` and waits until the last one is active.
    std::vector<xcb_window_t> windows(TestClient& client, const std::vector<std::string>& options);

    // Hold Super and press Tab (with Shift when `reverse`), as the user opens the switcher.
    void superTab(bool reverse = false);
    void releaseSuper();

    // The panel while it is on screen.
    xcb_window_t panel();
    bool waitForPanel(bool shown, int timeoutMs = 5000);
    std::optional<Geometry> panelGeometry();
    // The rows the panel's height holds (and 0 for an empty filtered table); with
    // `filtering` the search label is shown.
    int rowsShown(bool filtering = false);
    // The highlighted row counted from the top of the visible rows, if exactly one shows.
    std::optional<int> highlightedRow(bool filtering = false);
    bool waitForHighlight(int row, bool filtering = false);
    bool waitForActive(xcb_window_t window);
    // Waits until the key handling that logged `message` (for the `count`th time) is done.
    bool waitForHotkey(const std::string& message, std::size_t count);

  private:
    bool waitForHotkeyGrab();
    // The panel's pixels at kProbeX, its whole height; empty when it is not on screen.
    std::vector<std::uint32_t> panelColumn();

    std::unique_ptr<Desktop> desktop_;
    std::unique_ptr<TemporaryFolder> state_;
    std::unique_ptr<TavrelProcess> tavrel_;
    bool launched_ = false;
    bool trayStarted_ = true;  // a tray that comes late: whether it came
};

}  // namespace tavrel::e2e
