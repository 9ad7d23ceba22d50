#pragma once
#include <filesystem>
#include <string_view>

#include "core/SerialQueue.h"

namespace tavrel {

// The one process-wide diagnostic log: timestamped lines appended to the user's log file
// off the caller's thread.
class TavrelLog {
  public:
    static TavrelLog& shared();

    // Stamps the message with the local time and queues it; never blocks on file work.
    void line(std::string_view message);
    // Waits until every line queued so far is written (or dropped).
    void drain();

    TavrelLog(const TavrelLog&) = delete;
    TavrelLog& operator=(const TavrelLog&) = delete;

  private:
    TavrelLog();
    ~TavrelLog();

    std::filesystem::path url;
    // A line is written a moment after it is logged: a switch logs as it starts and as it
    // commits, and the file work then waits until the window server and the window manager
    // have done theirs, rather than take a processor from them.
    SerialQueue queue{std::chrono::milliseconds(20)};
};

}  // namespace tavrel
