#include "platform/x11/LoopTimer.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

namespace tavrel::x11 {
namespace {

timespec timespecOf(std::chrono::milliseconds duration) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration);
    const auto rest = std::chrono::duration_cast<std::chrono::nanoseconds>(duration - seconds);
    return {static_cast<time_t>(seconds.count()), static_cast<long>(rest.count())};
}

}  // namespace

LoopTimer::LoopTimer(MainLoop& loop, std::function<void()> fire)
    : loop_(loop), fire_(std::move(fire)) {
    fd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd_ >= 0)
        loop_.watchReadable(fd_, [this] { expired(); });
}

LoopTimer::~LoopTimer() {
    if (fd_ < 0)
        return;
    loop_.unwatch(fd_);
    close(fd_);
}

void LoopTimer::start(std::chrono::milliseconds delay, bool repeat) {
    if (fd_ < 0)
        return;
    // A zero expiry would disarm the timer: the shortest delay is one millisecond.
    const timespec interval = timespecOf(std::max(delay, std::chrono::milliseconds(1)));
    const itimerspec setting{repeat ? interval : timespec{}, interval};
    running_ = timerfd_settime(fd_, 0, &setting, nullptr) == 0;
    repeat_ = repeat;
}

void LoopTimer::stop() {
    if (fd_ < 0)
        return;
    const itimerspec off{};
    timerfd_settime(fd_, 0, &off, nullptr);
    running_ = false;
}

void LoopTimer::expired() {
    std::uint64_t expirations = 0;
    // Nothing to read: stopped after the loop saw the descriptor readable.
    if (read(fd_, &expirations, sizeof expirations) != sizeof expirations || expirations == 0)
        return;
    running_ = repeat_;
    if (fire_)
        fire_();
}

}  // namespace tavrel::x11
