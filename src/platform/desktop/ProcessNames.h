#pragma once
#include <cstdint>
#include <string>

namespace tavrel::desktop {

// What a local process is called: the kernel's command name (/proc/PID/comm, at most 15
// bytes), empty when the process is gone or not ours to see.
std::string commandName(std::int32_t pid);
// The file name of its executable, else its command name.
std::string executableName(std::int32_t pid);

}  // namespace tavrel::desktop
