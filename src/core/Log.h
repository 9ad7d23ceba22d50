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
    SerialQueue queue;
};

}  // namespace tavrel
