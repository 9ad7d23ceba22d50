#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <utility>

namespace tavrel::qt::test {
namespace {
constexpr int kServerStartTimeoutMs = 10000;

[[noreturn]] void execQuietly(const std::vector<std::string>& argv, int keepFd) {
    // A test that crashes must not leave its X server or tray host behind.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    const int devNull = open("/dev/null", O_RDWR);
    dup2(devNull, STDIN_FILENO);
    dup2(devNull, STDOUT_FILENO);
    dup2(devNull, STDERR_FILENO);
    for (int fd = 3; fd < 256; ++fd) {
        if (fd != keepFd)
            close(fd);
    }
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

pid_t spawn(const std::vector<std::string>& argv, int keepFd) {
    const pid_t pid = fork();
    if (pid == 0)
        execQuietly(argv, keepFd);
    return pid;
}

std::string readLine(int fd) {
    std::string line;
    pollfd wait{fd, POLLIN, 0};
    char c = 0;
    while (poll(&wait, 1, kServerStartTimeoutMs) == 1 && read(fd, &c, 1) == 1 && c != '\n')
        line.push_back(c);
    return line;
}
}  // namespace

ChildProcess::ChildProcess(ChildProcess&& other) noexcept : pid_(std::exchange(other.pid_, -1)) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        stop();
        pid_ = std::exchange(other.pid_, -1);
    }
    return *this;
}

ChildProcess::~ChildProcess() {
    stop();
}

ChildProcess ChildProcess::start(const std::vector<std::string>& argv) {
    return ChildProcess(spawn(argv, -1));
}

void ChildProcess::stop() {
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

std::optional<XvfbSession> XvfbSession::start(const std::string& screenGeometry) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return std::nullopt;
    ChildProcess server(spawn({"Xvfb", "-displayfd", std::to_string(pipeFds[1]), "-screen", "0",
                               screenGeometry, "-nolisten", "tcp", "-noreset"},
                              pipeFds[1]));
    close(pipeFds[1]);
    const std::string number = readLine(pipeFds[0]);
    close(pipeFds[0]);
    if (!server.running() || number.empty())
        return std::nullopt;
    const std::string display = ":" + number;
    setenv("DISPLAY", display.c_str(), 1);
    return XvfbSession(std::move(server), display);
}

}  // namespace tavrel::qt::test
