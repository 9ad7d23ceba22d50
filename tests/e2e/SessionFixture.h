#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "LogLines.h"
#include "Session.h"

namespace tavrel::e2e {

// Tests of one suite share a desktop and one tavrel, as a user's session goes on from switch
// to switch; each test brings its own windows and takes them away again.
class SessionTest : public ::testing::Test {
  protected:
    static void startSession(Desktop::Options options);
    static void endSession() { session_.reset(); }

    void SetUp() override;
    void TearDown() override;

    Session& session() { return *session_; }
    Desktop& desktop() { return session_->desktop(); }
    TavrelProcess& tavrel() { return session_->tavrel(); }
    // A new client process of the test's own.
    TestClient& newClient();
    // Maps one client's windows, the last one in front; each is "title=... [options]".
    std::vector<xcb_window_t> windows(TestClient& client, const std::vector<std::string>& options) {
        return session_->windows(client, options);
    }
    // The desktop's own clients changed during the test (a tray restarted): what runs now is
    // the desktop's, not the test's.
    void rememberDesktopClients() { desktopClients_ = desktop().clientsStacked(); }
    // Does `act` and waits until tavrel has handled the hotkey line it logs.
    template <typename Act>
    bool hotkey(const std::string& line, Act act, std::size_t times = 1) {
        const std::size_t before = tavrel().logCount(line);
        act();
        return session_->waitForHotkey(line, before + times);
    }

  private:
    static inline std::unique_ptr<Session> session_;
    std::vector<std::unique_ptr<TestClient>> clients_;
    std::vector<xcb_window_t> desktopClients_;  // the desktop's own, such as the tray host
};

}  // namespace tavrel::e2e
