#include "platform/x11/X11RunningApplications.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

#include "platform/x11/X11WindowList.h"

namespace tavrel::x11 {
namespace {

bool processRuns(std::int32_t pid) {
    return kill(pid, 0) == 0 || errno == EPERM;
}

std::string procFile(std::int32_t pid, const char* name) {
    return "/proc/" + std::to_string(pid) + "/" + name;
}

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

}  // namespace

X11RunningApplications::X11RunningApplications(X11WindowList& windows, X11Connection& connection,
                                               desktop::DesktopEntries& entries)
    : windows_(windows), connection_(connection), entries_(entries) {}

// An application here is the windows that claim its pid: a client in another pid namespace,
// one over `ssh -X` or one with a stale pid is one too, though no local process has that pid.
std::shared_ptr<RunningApplication> X11RunningApplications::runningApplicationWithProcessIdentifier(
    std::int32_t pid) {
    if (pid <= 0)
        return nullptr;
    const ClientWindow* window = firstWindowOf(pid);
    if (window == nullptr && !processRuns(pid))
        return nullptr;
    return std::make_shared<X11RunningApplication>(factsOf(pid, window), connection_, themeIcons_,
                                                   iconPixels_);
}

const ClientWindow* X11RunningApplications::firstWindowOf(std::int32_t pid) {
    const auto find = [pid](const std::optional<WindowSnapshot>& snapshot) -> const ClientWindow* {
        if (!snapshot)
            return nullptr;
        for (const auto& w : snapshot->windows) {
            if (w.pid == pid)
                return &w;
        }
        return nullptr;
    };
    // Look-ups follow a listing almost always; a fresh listing is the exception.
    if (const ClientWindow* w = find(windows_.lastSnapshot()))
        return w;
    windows_.snapshot();
    return find(windows_.lastSnapshot());
}

ApplicationFacts X11RunningApplications::factsOf(std::int32_t pid, const ClientWindow* w) {
    ApplicationFacts facts;
    std::optional<std::string> className;
    std::optional<std::string> instanceName;
    if (w != nullptr) {
        className = w->className;
        instanceName = w->instanceName;
        facts.iconWindow = w->id;
    }
    const std::string executable = executableName(pid);
    if (const desktop::DesktopEntry* entry = entries_.match(className, instanceName, executable)) {
        facts.name = entry->name;
        facts.bundleIdentifier = entry->id;
        if (!entry->icon.empty())
            facts.themeIconName = entry->icon;
    }
    if (!facts.name && className && !className->empty())
        facts.name = className;
    if (!facts.name) {
        const std::string comm = commandName(pid);
        if (!comm.empty())
            facts.name = comm;
    }
    if (!facts.bundleIdentifier && className && !className->empty())
        facts.bundleIdentifier = className;
    if (!facts.themeIconName && instanceName && !instanceName->empty())
        facts.themeIconName = instanceName;
    return facts;
}

}  // namespace tavrel::x11
