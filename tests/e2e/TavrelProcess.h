#pragma once
#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ChildProcess.h"

namespace tavrel::e2e {

// A private folder that goes with its owner, contents and all.
class TemporaryFolder {
  public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// The start of a command line that runs a program on one given desktop only: none of the
// desktop the tests themselves run in (DISPLAY, WAYLAND_DISPLAY, SWAYSOCK, I3SOCK, the session
// bus) is in reach, the assignments ("NAME=value") are.
std::vector<std::string> onlyOnDesktop(const std::vector<std::string>& environment);

// The tavrel binary on a desktop, with its own state folder (so its own log file) and its
// standard error kept in a file. Killed when the object goes, unless it ended before.
class TavrelProcess {
  public:
    // On an X display; `environment`: more NAME=value settings, such as the test's own
    // session bus.
    TavrelProcess(const std::string& display, const std::filesystem::path& stateHome,
                  const std::vector<std::string>& environment = {});
    // With the desktop's environment ("NAME=value": WAYLAND_DISPLAY, SWAYSOCK, ...).
    TavrelProcess(const std::vector<std::string>& environment,
                  const std::filesystem::path& stateHome);

    pid_t pid() const { return process_->pid(); }
    std::filesystem::path logFile() const;
    // The messages of the log's lines, without their time stamps, in file order.
    std::vector<std::string> logMessages() const;
    // The whole lines, time stamps included.
    std::vector<std::string> logLines() const;
    // Waits until the log holds `message` at least `count` times.
    bool waitForLog(const std::string& message, std::size_t count = 1, int timeoutMs = 10000) const;
    // Counts the log's lines that carry exactly `message`.
    std::size_t logCount(const std::string& message) const;
    // Waits until this process's launch is logged up to its tap line, either kind.
    bool waitForLaunch() const;
    std::string standardError() const;
    // Waits for the process to end by itself; its exit status, or nothing when it still runs.
    std::optional<int> waitForExit(int timeoutMs = 10000);
    bool running();

  private:
    bool launched() const;
    // Returns when the log folder changes, or after a while.
    void waitForChange(int timeoutMs) const;

    std::filesystem::path stateHome_;
    std::filesystem::path errorFile_;
    std::unique_ptr<x11::test::ChildProcess> process_;
};

}  // namespace tavrel::e2e
