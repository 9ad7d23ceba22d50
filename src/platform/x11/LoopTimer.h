#pragma once
#include <chrono>
#include <functional>

#include "platform/MainLoop.h"

namespace tavrel::x11 {

// A timer on the main loop: a timerfd watched like the X connections, so that it needs
// nothing of the loop but file watching.
class LoopTimer {
  public:
    // `fire` runs on the main thread each time the timer expires. `loop` outlives the timer.
    LoopTimer(MainLoop& loop, std::function<void()> fire);
    ~LoopTimer();
    LoopTimer(const LoopTimer&) = delete;
    LoopTimer& operator=(const LoopTimer&) = delete;

    // Expires after `delay`, and then every `delay` again when `repeat`; restarts a running one.
    void start(std::chrono::milliseconds delay, bool repeat);
    void stop();
    bool running() const { return running_; }

  private:
    void expired();

    MainLoop& loop_;
    std::function<void()> fire_;
    int fd_ = -1;
    bool running_ = false;
    bool repeat_ = false;
};

}  // namespace tavrel::x11
