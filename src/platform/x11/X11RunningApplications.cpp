#include "platform/x11/X11RunningApplications.h"

#include <signal.h>

#include <cerrno>

#include "platform/desktop/ProcessNames.h"
#include "platform/x11/X11WindowList.h"

namespace tavrel::x11 {
namespace {

bool processRuns(std::int32_t pid) {
    return kill(pid, 0) == 0 || errno == EPERM;
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
    // Name and icon come from /proc and the desktop entries, read only when asked for: an
    // activation asks for neither, and must not wait for them.
    WindowClass windowClass;
    if (window != nullptr)
        windowClass = {window->className, window->instanceName, window->id};
    return std::make_shared<X11RunningApplication>(
        [this, pid, windowClass = std::move(windowClass)] { return factsOf(pid, windowClass); },
        connection_, themeIcons_, iconPixels_);
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

ApplicationFacts X11RunningApplications::factsOf(std::int32_t pid, const WindowClass& window) {
    ApplicationFacts facts;
    const std::optional<std::string>& className = window.className;
    const std::optional<std::string>& instanceName = window.instanceName;
    facts.iconWindow = window.id;
    const std::string executable = desktop::executableName(pid);
    if (const desktop::DesktopEntry* entry = entries_.match(className, instanceName, executable)) {
        facts.name = entry->name;
        facts.bundleIdentifier = entry->id;
        if (!entry->icon.empty())
            facts.themeIconName = entry->icon;
    }
    if (!facts.name && className && !className->empty())
        facts.name = className;
    if (!facts.name) {
        const std::string comm = desktop::commandName(pid);
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
