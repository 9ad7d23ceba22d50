#include "platform/desktop/ProcessNames.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace tavrel::desktop {
namespace {

std::string procFile(std::int32_t pid, const char* name) {
    return "/proc/" + std::to_string(pid) + "/" + name;
}

}  // namespace

std::string commandName(std::int32_t pid) {
    std::ifstream in(procFile(pid, "comm"));
    std::string name;
    std::getline(in, name);
    return name;
}

std::string executableName(std::int32_t pid) {
    char target[4096];
    const ssize_t length = readlink(procFile(pid, "exe").c_str(), target, sizeof target - 1);
    if (length <= 0)
        return commandName(pid);
    return std::filesystem::path(std::string(target, static_cast<std::size_t>(length)))
        .filename()
        .string();
}

}  // namespace tavrel::desktop
