#include "TavrelProcess.h"

#include <poll.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "LogLines.h"

namespace tavrel::e2e {
namespace {

using Clock = std::chrono::steady_clock;

int millisecondsLeft(Clock::time_point deadline) {
    return static_cast<int>(std::max<std::int64_t>(
        0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count()));
}

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// "[HH:mm:ss.SSS] " before every message.
constexpr std::size_t kStampLength = 15;

}  // namespace

TemporaryFolder::TemporaryFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tavrel-e2e-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr)
        path_ = pattern;
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    if (!path_.empty())
        std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> onlyOnDesktop(const std::vector<std::string>& environment) {
    std::vector<std::string> argv = {"env"};
    for (const char* name :
         {"DISPLAY", "WAYLAND_DISPLAY", "SWAYSOCK", "I3SOCK", "DBUS_SESSION_BUS_ADDRESS"})
        argv.insert(argv.end(), {"-u", name});
    argv.insert(argv.end(), environment.begin(), environment.end());
    return argv;
}

TavrelProcess::TavrelProcess(const std::string& display, const std::filesystem::path& stateHome,
                             const std::vector<std::string>& environment)
    : TavrelProcess(
          [&] {
              std::vector<std::string> all{"DISPLAY=" + display};
              all.insert(all.end(), environment.begin(), environment.end());
              return all;
          }(),
          stateHome) {}

TavrelProcess::TavrelProcess(const std::vector<std::string>& environment,
                             const std::filesystem::path& stateHome)
    : stateHome_(stateHome), errorFile_(stateHome / "stderr.txt") {
    std::error_code ignored;
    std::filesystem::create_directories(stateHome_ / "tavrel", ignored);
    // Without a session bus (unless the test gives its own) the tray icon goes to this
    // desktop's tray host, not to a StatusNotifier host of the session running the tests.
    std::vector<std::string> argv = onlyOnDesktop(environment);
    // The shell only puts standard error in a file and becomes tavrel, so the pid is tavrel's.
    argv.insert(argv.end(), {"XDG_STATE_HOME=" + stateHome_.string(), "sh", "-c",
                             "exec \"$0\" 2>>\"$1\"", TAVREL_PATH, errorFile_.string()});
    process_ = std::make_unique<x11::test::ChildProcess>(argv, "");
}

std::filesystem::path TavrelProcess::logFile() const {
    return stateHome_ / "tavrel" / "tavrel.log";
}

std::vector<std::string> TavrelProcess::logLines() const {
    std::vector<std::string> lines;
    std::istringstream text(readFile(logFile()));
    for (std::string line; std::getline(text, line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string> TavrelProcess::logMessages() const {
    std::vector<std::string> messages;
    for (const std::string& line : logLines())
        messages.push_back(line.size() >= kStampLength ? line.substr(kStampLength) : line);
    return messages;
}

std::size_t TavrelProcess::logCount(const std::string& message) const {
    const auto messages = logMessages();
    return static_cast<std::size_t>(std::count(messages.begin(), messages.end(), message));
}

bool TavrelProcess::waitForLog(const std::string& message, std::size_t count, int timeoutMs) const {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (logCount(message) < count) {
        if (millisecondsLeft(deadline) == 0)
            return false;
        waitForChange(millisecondsLeft(deadline));
    }
    return true;
}

void TavrelProcess::waitForChange(int timeoutMs) const {
    const int watch = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    inotify_add_watch(watch, (stateHome_ / "tavrel").c_str(), IN_MODIFY | IN_CREATE);
    pollfd fd{watch, POLLIN, 0};
    // The file may have changed between the caller's look and the watch: bounded slices.
    poll(&fd, 1, std::min(timeoutMs, 50));
    close(watch);
}

bool TavrelProcess::launched() const {
    const std::string own = "--- launched pid=" + std::to_string(pid()) + " ";
    bool ownLaunch = false;
    for (const std::string& m : logMessages()) {
        ownLaunch |= m.rfind(own, 0) == 0;
        if (ownLaunch && (m == kTapCreatedLine || m.rfind("ERROR: ", 0) == 0))
            return true;
    }
    return false;
}

bool TavrelProcess::waitForLaunch() const {
    const auto deadline = Clock::now() + std::chrono::milliseconds(20000);
    while (!launched()) {
        if (millisecondsLeft(deadline) == 0)
            return false;
        waitForChange(std::min(100, millisecondsLeft(deadline)));
    }
    return true;
}

std::string TavrelProcess::standardError() const {
    return readFile(errorFile_);
}

std::optional<int> TavrelProcess::waitForExit(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    // Standard output reaches end of file when the process is gone.
    while (process_->running()) {
        pollfd fd{process_->outputFd(), POLLIN, 0};
        if (poll(&fd, 1, millisecondsLeft(deadline)) <= 0)
            return std::nullopt;
        char chunk[256];
        if (read(process_->outputFd(), chunk, sizeof chunk) <= 0)
            break;
    }
    // Looked at, not reaped: the child process object still owns the pid.
    siginfo_t info{};
    if (waitid(P_PID, static_cast<id_t>(pid()), &info, WEXITED | WNOWAIT) != 0)
        return std::nullopt;
    return info.si_code == CLD_EXITED ? info.si_status : 128 + info.si_status;
}

bool TavrelProcess::running() {
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid()), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
}

}  // namespace tavrel::e2e
