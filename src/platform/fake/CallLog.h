#pragma once
#include <functional>
#include <string>
#include <vector>

namespace tavrel::fake {

// Every platform call the fakes receive, in order, as short readable lines.
class CallLog {
  public:
    void record(std::string call) {
        calls_.push_back(std::move(call));
        if (observer)
            observer(calls_.back());
    }
    const std::vector<std::string>& calls() const { return calls_; }
    void clear() { calls_.clear(); }

    // Sees each call as it is recorded, for tests that check what had happened by then.
    std::function<void(const std::string&)> observer;

  private:
    std::vector<std::string> calls_;
};

}  // namespace tavrel::fake
