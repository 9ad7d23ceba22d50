#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace tavrel::x11::test {

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& display,
                           int keepFd) {
    int input[2];
    int output[2];
    if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0)
        return;
    pid_ = fork();
    if (pid_ == 0) {
        // Ends with the test process even when that one dies without cleaning up.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(input[0], STDIN_FILENO);
        dup2(output[1], STDOUT_FILENO);
        if (keepFd >= 0)
            fcntl(keepFd, F_SETFD, 0);
        if (!display.empty())
            setenv("DISPLAY", display.c_str(), 1);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(input[0]);
    close(output[1]);
    in_ = input[1];
    out_ = output[0];
}

ChildProcess::~ChildProcess() {
    stop();
}

void ChildProcess::stop() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    if (in_ >= 0)
        close(in_);
    if (out_ >= 0)
        close(out_);
    in_ = out_ = -1;
}

bool ChildProcess::succeeds() {
    if (pid_ <= 0)
        return false;
    int status = 0;
    const bool ended = waitpid(pid_, &status, 0) == pid_;
    pid_ = -1;
    return ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void ChildProcess::write(const std::string& line) {
    const std::string data = line + "\n";
    std::size_t done = 0;
    while (in_ >= 0 && done < data.size()) {
        const ssize_t n = ::write(in_, data.data() + done, data.size() - done);
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

std::optional<std::string> ChildProcess::readLine(int timeoutMs) {
    for (;;) {
        const auto end = buffered_.find('\n');
        if (end != std::string::npos) {
            std::string line = buffered_.substr(0, end);
            buffered_.erase(0, end + 1);
            return line;
        }
        pollfd fd{out_, POLLIN, 0};
        if (out_ < 0 || poll(&fd, 1, timeoutMs) <= 0)
            return std::nullopt;
        char chunk[4096];
        const ssize_t n = read(out_, chunk, sizeof chunk);
        if (n <= 0)
            return std::nullopt;
        buffered_.append(chunk, static_cast<std::size_t>(n));
    }
}

}  // namespace tavrel::x11::test
