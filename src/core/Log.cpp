#include "core/Log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <system_error>

#include "platform/Platform.h"

namespace tavrel {
namespace {

constexpr std::string_view kLogFileName = "tavrel.log";

// "HH:mm:ss.SSS" in the local time zone.
std::string timeOfDayNow() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min,
                  local.tm_sec, static_cast<int>(millis));
    return text;
}

constexpr int kOpenFlags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK;

// The logs folder may be deleted while the program runs: it is made again when the file cannot
// be opened for want of it.
int openForAppending(const std::filesystem::path& file) {
    int fd = ::open(file.c_str(), kOpenFlags, 0644);
    if (fd < 0 && errno == ENOENT) {
        std::error_code ignored;
        std::filesystem::create_directories(file.parent_path(), ignored);
        fd = ::open(file.c_str(), kOpenFlags, 0644);
    }
    return fd;
}

// Takes the `written` bytes just appended through `fd` off the end of the file again, unless
// another program has appended after them since.
void takeBack(int fd, std::size_t written) {
    const off_t end = ::lseek(fd, 0, SEEK_CUR);
    struct stat status {};
    if (end >= static_cast<off_t>(written) && ::fstat(fd, &status) == 0 && status.st_size == end)
        static_cast<void>(::ftruncate(fd, end - static_cast<off_t>(written)));
}

// One open per line, always appending and creating when missing: a failed open leaves the file
// as it was, and several processes appending never overwrite each other's lines. Non-blocking
// so that a pipe put in the file's place cannot stall the writer. A line goes in whole or not at
// all: one that fits only in part (a full disk) is taken back, so that the next line is never
// glued onto a fragment. Failures drop the line.
void appendToFile(const std::filesystem::path& file, const std::string& bytes) {
    const int fd = openForAppending(file);
    if (fd < 0)
        return;
    ssize_t written = 0;
    do {
        written = ::write(fd, bytes.data(), bytes.size());
    } while (written < 0 && errno == EINTR);
    if (written > 0 && static_cast<std::size_t>(written) < bytes.size())
        takeBack(fd, static_cast<std::size_t>(written));
    ::close(fd);
}

}  // namespace

TavrelLog& TavrelLog::shared() {
    static TavrelLog instance;
    return instance;
}

TavrelLog::TavrelLog() {
    FileLocations* locations = platform().fileLocations;
    if (locations == nullptr)
        return;  // Nowhere to write: every line is dropped.
    const std::filesystem::path folder = locations->userLogsFolder();
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    url = folder / kLogFileName;
}

// The queue's destruction writes whatever is still queued, so nothing logged before exit is lost.
TavrelLog::~TavrelLog() = default;

void TavrelLog::line(std::string_view message) {
    std::string text;
    text.reserve(message.size() + 16);
    text += '[';
    text += timeOfDayNow();
    text += "] ";
    text += message;
    text += '\n';
    queue.async([text = std::move(text), file = url] { appendToFile(file, text); });
}

void TavrelLog::drain() {
    queue.drain();
}

}  // namespace tavrel
