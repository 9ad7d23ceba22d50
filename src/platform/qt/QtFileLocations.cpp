#include "platform/qt/QtFileLocations.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace tavrel::qt {
namespace {
// Only absolute paths count: under the XDG base directory rules a relative one is invalid.
std::filesystem::path absoluteFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (!value)
        return {};
    std::filesystem::path path(value);
    return path.is_absolute() ? path : std::filesystem::path();
}

std::filesystem::path homeDirectory() {
    std::filesystem::path home = absoluteFromEnvironment("HOME");
    if (!home.empty())
        return home;
    const passwd* entry = getpwuid(getuid());
    return entry && entry->pw_dir ? std::filesystem::path(entry->pw_dir) : std::filesystem::path();
}
}  // namespace

std::filesystem::path QtFileLocations::userLogsFolder() {
    std::filesystem::path state = absoluteFromEnvironment("XDG_STATE_HOME");
    if (state.empty())
        state = homeDirectory() / ".local" / "state";
    return state / "tavrel";
}

}  // namespace tavrel::qt
