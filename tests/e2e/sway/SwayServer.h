#pragma once
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "SwayIpc.h"
#include "TavrelProcess.h"

namespace tavrel::e2e {

// The output every sway of the tests has, in pixels (scale 1: one point is one pixel).
inline constexpr int kSwayWidth = 1920;
inline constexpr int kSwayHeight = 1080;

// A private headless sway: its own runtime folder (Wayland and IPC sockets), one output, no
// XWayland, windows without borders or title bars, focus that never follows the pointer.
// sway refuses to run as root, so under root it runs as user 1000 in a user namespace of its
// own; its sockets stay reachable from outside, where that user is root again. Everything it
// started ends with it.
class SwayServer {
  public:
    struct Options {
        int refreshHz = 60;
        // Further configuration lines, such as bindings of the test's own.
        std::vector<std::string> config;
    };
    explicit SwayServer(const Options& options);
    ~SwayServer();
    SwayServer(const SwayServer&) = delete;
    SwayServer& operator=(const SwayServer&) = delete;

    // Empty when sway came up; otherwise what did not, with sway's own log.
    const std::string& failure() const { return failure_; }
    const std::filesystem::path& runtimeFolder() const { return runtime_.path(); }
    // The Wayland socket's full path, good for WAYLAND_DISPLAY and wl_display_connect.
    const std::string& waylandDisplay() const { return wayland_; }
    const std::string& ipcSocket() const { return ipcSocket_; }
    // What a program started by sway finds in its environment ("NAME=value").
    std::vector<std::string> environment() const;
    // The test's own connection for requests (not for events).
    SwayIpc& ipc() { return *ipc_; }
    std::string log() const;

  private:
    TemporaryFolder runtime_;
    std::unique_ptr<x11::test::ChildProcess> process_;
    std::unique_ptr<SwayIpc> ipc_;
    std::string waylandName_;
    std::string wayland_;
    std::string ipcSocket_;
    std::string failure_;
};

}  // namespace tavrel::e2e
