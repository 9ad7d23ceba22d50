#pragma once
#include <string>
#include <vector>

namespace tavrel::fake {

// Every platform call the fakes receive, in order, as short readable lines.
class CallLog {
  public:
    void record(std::string call) { calls_.push_back(std::move(call)); }
    const std::vector<std::string>& calls() const { return calls_; }
    void clear() { calls_.clear(); }

  private:
    std::vector<std::string> calls_;
};

}  // namespace tavrel::fake
