#include "platform/wayland/SwayHotkey.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/wayland/SwayTree.h"
#include "platform/wayland/WaylandKeyboard.h"

namespace tavrel::wayland {
namespace {

constexpr const char* kSwitchCommand = "nop tavrel-switch";
constexpr const char* kSwitchBackCommand = "nop tavrel-switch-back";
constexpr const char* kBindings =
    "bindsym Mod4+Tab nop tavrel-switch; bindsym Mod4+Shift+Tab nop tavrel-switch-back";

}  // namespace

SwayHotkey::~SwayHotkey() {
    if (lockFd_ >= 0)
        close(lockFd_);
}

bool SwayHotkey::claim(std::string* whyNot) {
    if (lockFd_ >= 0)
        return true;
    const int fd = open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return true;  // nowhere to tell other instances: a hotkey is better than none
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        if (whyNot != nullptr)
            *whyNot = "another tavrel already serves this sway (it holds " + lockPath_ +
                      "); quit that one first";
        return false;
    }
    lockFd_ = fd;
    return true;
}

bool SwayHotkey::install(std::string* whyNot) {
    if (!claim(whyNot))
        return false;
    const auto reply = commands_.request(SwayMessage::runCommand, kBindings);
    if (!reply) {
        if (whyNot != nullptr)
            *whyNot = "sway's IPC socket did not answer";
        return false;
    }
    if (const auto error = commandError(*reply)) {
        if (whyNot != nullptr)
            *whyNot = "sway refused the bindings: " + *error;
        return false;
    }
    installed_ = true;
    return true;
}

void SwayHotkey::handleEvent(const SwayIpc::Message& event) {
    if (event.type == kSwayBindingEvent) {
        const auto command = bindingCommand(event.payload);
        if (command == kSwitchCommand)
            keyboard_.bindingHeard(false);
        else if (command == kSwitchBackCommand)
            keyboard_.bindingHeard(true);
    } else if (event.type == kSwayWorkspaceEvent && installed_ && isReload(event.payload)) {
        std::string whyNot;
        if (!install(&whyNot))
            keyboard_.reportObstacle(
                "sway dropped Super+Tab with its reload and did not take it back: " + whyNot);
    }
}

}  // namespace tavrel::wayland
