#pragma once
#include <string>
#include <vector>

#include "ChildProcess.h"

namespace tavrel::e2e {

// The project's scriptable Wayland client (tavrel-waylandclient) driven line by line: any
// number of windows of one process.
class WaylandClient {
  public:
    // `environment`: the compositor's ("WAYLAND_DISPLAY=...", "XDG_RUNTIME_DIR=...").
    explicit WaylandClient(const std::vector<std::string>& environment);

    pid_t pid() const { return process_.pid(); }
    // Sends one command and returns its answer, empty when none came.
    std::string command(const std::string& line);
    // Maps a window ("title=... app_id=...", percent-encoded) and answers its number, 0 on
    // failure.
    int window(const std::string& options);

  private:
    x11::test::ChildProcess process_;
};

}  // namespace tavrel::e2e
