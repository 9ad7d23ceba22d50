#include "PollMainLoop.h"

#include <poll.h>

#include <chrono>

namespace tavrel::x11::test {

void PollMainLoop::watchReadable(int fd, std::function<void()> onReadable) {
    watchers_[fd] = std::move(onReadable);
}

void PollMainLoop::unwatch(int fd) {
    watchers_.erase(fd);
}

void PollMainLoop::post(std::function<void()> work) {
    posted_.push_back(std::move(work));
}

bool PollMainLoop::runUntil(const std::function<bool()>& done, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        auto work = std::move(posted_);
        posted_.clear();
        for (auto& w : work)
            w();
        if (done())
            return true;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        std::vector<pollfd> fds;
        for (const auto& [fd, handler] : watchers_)
            fds.push_back({fd, POLLIN, 0});
        if (poll(fds.data(), fds.size(), posted_.empty() ? static_cast<int>(left.count()) : 0) <= 0)
            continue;
        for (const pollfd& p : fds) {
            const auto it = watchers_.find(p.fd);
            if ((p.revents & (POLLIN | POLLHUP | POLLERR)) != 0 && it != watchers_.end()) {
                auto handler = it->second;
                handler();
            }
        }
    }
}

}  // namespace tavrel::x11::test
