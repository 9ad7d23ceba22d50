#pragma once
#include <functional>
#include <string>

#include "platform/wayland/SwayIpc.h"

namespace tavrel::wayland {

class WaylandKeyboard;

// Super+Tab on sway: two bindings sway runs as commands that do nothing but tell this
// program over IPC. They live in sway's running configuration only, so a reload drops
// them and they are put back. One program per sway holds them: a second one would open a
// second panel on every Super+Tab, so it is told that the key is taken, as on X11.
class SwayHotkey {
  public:
    // `commands` (a connection for requests) and `keyboard` outlive the hotkey; `lockPath`
    // names the file whose lock marks the program serving this sway.
    SwayHotkey(SwayIpc& commands, WaylandKeyboard& keyboard, std::string lockPath)
        : commands_(commands), keyboard_(keyboard), lockPath_(std::move(lockPath)) {}
    ~SwayHotkey();
    SwayHotkey(const SwayHotkey&) = delete;
    SwayHotkey& operator=(const SwayHotkey&) = delete;

    // Puts both bindings in place; false with the reason when sway does not take them.
    bool install(std::string* whyNot);
    // One event of the subscription (binding and workspace events).
    void handleEvent(const SwayIpc::Message& event);

  private:
    bool claim(std::string* whyNot);

    SwayIpc& commands_;
    WaylandKeyboard& keyboard_;
    std::string lockPath_;
    int lockFd_ = -1;
    bool installed_ = false;
};

}  // namespace tavrel::wayland
