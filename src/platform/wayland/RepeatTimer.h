#pragma once
#include <functional>

namespace tavrel {
class MainLoop;
}

namespace tavrel::wayland {

// A timer on the main loop (a timerfd): fires once after a delay, then at an interval until
// stopped. Key repeat is the client's job on Wayland.
class RepeatTimer {
  public:
    // `loop` outlives the timer.
    RepeatTimer(MainLoop& loop, std::function<void()> onFire);
    ~RepeatTimer();
    RepeatTimer(const RepeatTimer&) = delete;
    RepeatTimer& operator=(const RepeatTimer&) = delete;

    void start(int delayMs, int intervalMs);
    void stop();

  private:
    MainLoop& loop_;
    std::function<void()> onFire_;
    int fd_ = -1;
};

}  // namespace tavrel::wayland
