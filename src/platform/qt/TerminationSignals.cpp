#include "platform/qt/TerminationSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>

namespace tavrel::qt {
namespace {

constexpr std::array kSignals{SIGTERM, SIGINT};

// Written by the handler, so a plain int: the only state a handler may touch.
volatile std::sig_atomic_t writeEnd = -1;

void onSignal(int number) {
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(number);
    // A full pipe already holds a signal that the loop has yet to read: nothing is lost.
    [[maybe_unused]] const ssize_t written = write(writeEnd, &byte, 1);
    errno = savedErrno;
}

const char* nameOf(int number) {
    return number == SIGTERM ? "SIGTERM" : "SIGINT";
}

}  // namespace

TerminationSignals::TerminationSignals(MainLoop& loop, std::function<void(const char*)> onSignal)
    : loop_(loop), onSignal_(std::move(onSignal)) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    readEnd_ = ends[0];
    writeEnd = ends[1];
    loop_.watchReadable(readEnd_, [this] { readSignals(); });
    struct sigaction action {};
    action.sa_handler = &tavrel::qt::onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (const int number : kSignals)
        sigaction(number, &action, nullptr);
}

TerminationSignals::~TerminationSignals() {
    if (readEnd_ < 0)
        return;
    for (const int number : kSignals)
        std::signal(number, SIG_DFL);
    loop_.unwatch(readEnd_);
    close(readEnd_);
    close(writeEnd);
    writeEnd = -1;
}

void TerminationSignals::readSignals() {
    unsigned char numbers[16];
    ssize_t count = 0;
    while ((count = read(readEnd_, numbers, sizeof numbers)) > 0) {
        for (ssize_t i = 0; i < count; ++i) {
            if (onSignal_)
                onSignal_(nameOf(numbers[i]));
        }
    }
}

}  // namespace tavrel::qt
