#include "platform/wayland/SwayHotkey.h"

#include "platform/wayland/SwayTree.h"
#include "platform/wayland/WaylandKeyboard.h"

namespace tavrel::wayland {
namespace {

constexpr const char* kSwitchCommand = "nop tavrel-switch";
constexpr const char* kSwitchBackCommand = "nop tavrel-switch-back";
constexpr const char* kBindings =
    "bindsym Mod4+Tab nop tavrel-switch; bindsym Mod4+Shift+Tab nop tavrel-switch-back";

}  // namespace

bool SwayHotkey::install(std::string* whyNot) {
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
        if (!install(&whyNot) && failure_)
            failure_(whyNot);
    }
}

}  // namespace tavrel::wayland
