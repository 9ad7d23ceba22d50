#pragma once
#include <xcb/xcb.h>

#include <string>
#include <vector>

#include "ChildProcess.h"

namespace tavrel::x11::test {

// The project's scriptable X client (tavrel-testclient) driven line by line.
class TestClient {
  public:
    explicit TestClient(const std::string& display);

    pid_t pid() const { return process_.pid(); }
    // Sends one command and returns its answer; key and focus reports that come
    // before it are kept in `events`.
    std::string command(const std::string& line);
    // Maps a window (see the client's "window" command) and answers its id, 0 on failure.
    xcb_window_t window(const std::string& options);
    // Reads the client's reports until `line` comes; false when it does not.
    bool awaitEvent(const std::string& line);
    // Like awaitEvent, without waiting for more output than has come.
    bool pollEvent(const std::string& line);
    int outputFd() const { return process_.outputFd(); }
    void stop() { process_.stop(); }

    std::vector<std::string> events;

  private:
    bool readEventsUntil(const std::string& line, int timeoutMs);
    ChildProcess process_;
};

}  // namespace tavrel::x11::test
