#pragma once
#include <functional>
#include <string>

#include "platform/wayland/SwayIpc.h"

namespace tavrel::wayland {

class WaylandKeyboard;

// Super+Tab on sway: two bindings sway runs as commands that do nothing but tell this
// program over IPC. They live in sway's running configuration only, so a reload drops
// them and they are put back.
class SwayHotkey {
  public:
    // `commands` (a connection for requests) and `keyboard` outlive the hotkey.
    SwayHotkey(SwayIpc& commands, WaylandKeyboard& keyboard)
        : commands_(commands), keyboard_(keyboard) {}

    // Puts both bindings in place; false with the reason when sway does not take them.
    bool install(std::string* whyNot);
    // One event of the subscription (binding and workspace events).
    void handleEvent(const SwayIpc::Message& event);
    // Told when the bindings could not be put back after a reload.
    void setFailureHandler(std::function<void(const std::string&)> handler) {
        failure_ = std::move(handler);
    }

  private:
    SwayIpc& commands_;
    WaylandKeyboard& keyboard_;
    std::function<void(const std::string&)> failure_;
    bool installed_ = false;
};

}  // namespace tavrel::wayland
