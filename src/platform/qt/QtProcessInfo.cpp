#include "platform/qt/QtProcessInfo.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace tavrel::qt {

std::int32_t QtProcessInfo::processIdentifier() {
    return static_cast<std::int32_t>(getpid());
}

std::string QtProcessInfo::bundlePath() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : exe.parent_path().string();
}

void QtProcessInfo::writeToStandardError(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(STDERR_FILENO, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

}  // namespace tavrel::qt
