#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace tavrel {

// Facts about the running program and its standard streams.
class ProcessInfo {
  public:
    virtual ~ProcessInfo() = default;
    virtual std::int32_t processIdentifier() = 0;
    // Where the program lives (on Linux: the directory that holds the executable).
    virtual std::string bundlePath() = 0;
    // Written at once, unbuffered.
    virtual void writeToStandardError(std::string_view bytes) = 0;
};

}  // namespace tavrel
