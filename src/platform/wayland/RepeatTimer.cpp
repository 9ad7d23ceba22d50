#include "platform/wayland/RepeatTimer.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <cstdint>

#include "platform/MainLoop.h"

namespace tavrel::wayland {
namespace {

timespec fromMilliseconds(int ms) {
    return {ms / 1000, static_cast<long>(ms % 1000) * 1'000'000L};
}

}  // namespace

RepeatTimer::RepeatTimer(MainLoop& loop, std::function<void()> onFire)
    : loop_(loop), onFire_(std::move(onFire)) {
    fd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd_ < 0)
        return;
    loop_.watchReadable(fd_, [this] {
        std::uint64_t expirations = 0;
        // Expirations missed while the loop was busy fire once: a late key repeats once.
        if (read(fd_, &expirations, sizeof expirations) == sizeof expirations && expirations > 0)
            onFire_();
    });
}

RepeatTimer::~RepeatTimer() {
    if (fd_ < 0)
        return;
    loop_.unwatch(fd_);
    close(fd_);
}

void RepeatTimer::start(int delayMs, int intervalMs) {
    if (fd_ < 0 || delayMs <= 0)
        return;
    const itimerspec setting{fromMilliseconds(intervalMs), fromMilliseconds(delayMs)};
    timerfd_settime(fd_, 0, &setting, nullptr);
}

void RepeatTimer::stop() {
    if (fd_ < 0)
        return;
    const itimerspec off{};
    timerfd_settime(fd_, 0, &off, nullptr);
}

}  // namespace tavrel::wayland
