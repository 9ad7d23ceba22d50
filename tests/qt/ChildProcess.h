#pragma once
#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace tavrel::qt::test {

// A helper program the tests start (an X server, a tray host, a compositor) and always stop.
class ChildProcess {
  public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ~ChildProcess();

    // Quiet: its output goes to /dev/null.
    static ChildProcess start(const std::vector<std::string>& argv);
    bool running() const { return pid_ > 0; }
    void stop();

  private:
    friend class XvfbSession;
    explicit ChildProcess(pid_t pid) : pid_(pid) {}
    pid_t pid_ = -1;
};

// A private X server on a free display, chosen by the server itself (-displayfd), made the
// DISPLAY of this process for as long as it lives.
class XvfbSession {
  public:
    static std::optional<XvfbSession> start(const std::string& screenGeometry);
    const std::string& display() const { return display_; }

  private:
    XvfbSession(ChildProcess server, std::string display)
        : server_(std::move(server)), display_(std::move(display)) {}
    ChildProcess server_;
    std::string display_;
};

}  // namespace tavrel::qt::test
