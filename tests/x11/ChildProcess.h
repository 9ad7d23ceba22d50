#pragma once
#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace tavrel::x11::test {

// A child process with its standard input and output on pipes; killed and reaped when
// the object goes, whatever happened in the test.
class ChildProcess {
  public:
    // `display` becomes DISPLAY in the child when not empty; `keepFd` stays open there.
    ChildProcess(const std::vector<std::string>& argv, const std::string& display, int keepFd = -1);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    bool running() const { return pid_ > 0; }
    int outputFd() const { return out_; }
    void write(const std::string& line);
    // The next line of output, or nothing when none came within the timeout (a safety
    // bound: the child answers every command, so waiting ends with its answer).
    std::optional<std::string> readLine(int timeoutMs = 5000);
    // Kills the child and waits for it.
    void stop();
    // Waits for the child to end by itself; true when it exited with status 0.
    bool succeeds();

  private:
    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    std::string buffered_;
};

}  // namespace tavrel::x11::test
