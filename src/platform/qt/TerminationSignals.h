#pragma once
#include <functional>

#include "platform/MainLoop.h"

namespace tavrel::qt {

// SIGTERM and SIGINT, heard in the main loop rather than in a signal handler: the handler only
// writes the signal's number into a pipe that the loop reads, so whatever the program does on
// a signal (log, write the log out, quit) runs as ordinary code. A second signal of the same
// kind while that is under way ends the process at once, as it would by default.
class TerminationSignals {
  public:
    // `onSignal` gets "SIGTERM" or "SIGINT"; `loop` outlives this object.
    TerminationSignals(MainLoop& loop, std::function<void(const char* name)> onSignal);
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

  private:
    void readSignals();

    MainLoop& loop_;
    std::function<void(const char* name)> onSignal_;
    int readEnd_ = -1;
};

}  // namespace tavrel::qt
