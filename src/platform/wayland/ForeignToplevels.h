#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/wayland/Protocols.h"
#include "platform/wayland/RecentWindows.h"
#include "platform/wayland/SwayTree.h"

namespace tavrel::wayland {

class ForeignToplevels;

// Wayland tells no process ids. The core keys applications by process id: names and icons
// once per id, at most one window per title within one id, and activation by id and title.
// Each window stands as an application of its own, under an id that is the negative of its
// window number: never a real process (so never this program's own), never reused, every
// window listed even where one program shows two windows of one title, and activation
// reaches exactly the listed window. Names and icons are still looked up once per app_id.
inline std::int32_t processIdOf(std::uint32_t windowId) {
    return -static_cast<std::int32_t>(windowId & 0x7fffffffu);
}
inline std::uint32_t windowIdOf(std::int32_t processId) {
    return processId < 0 ? static_cast<std::uint32_t>(-static_cast<std::int64_t>(processId)) : 0;
}

// One window of the compositor, as far as it has described it.
struct Toplevel {
    ForeignToplevels* owner = nullptr;
    std::uint32_t id = 0;
    zwlr_foreign_toplevel_handle_v1* handle = nullptr;
    std::string title;
    std::string appId;
    bool minimized = false;
    bool activated = false;
    bool described = false;  // a first `done` has come: the fields above hold
    // The process that shows a window without an app_id (which has nothing else to be named
    // by), as sway tells it: its executable's and command's names, empty while unknown.
    struct {
        std::int32_t pid = 0;
        std::string executable;
        std::string command;
    } process;
    // What the compositor has sent since its last `done`.
    struct {
        std::string title;
        std::string appId;
        bool minimized = false;
        bool activated = false;
    } pending;
};

// The compositor's windows through zwlr_foreign_toplevel_manager_v1, most recently used first
// (see RecentWindows). Each window gets an id of its own for the life of the program.
class ForeignToplevels {
  public:
    explicit ForeignToplevels(zwlr_foreign_toplevel_manager_v1* manager);
    ~ForeignToplevels();
    ForeignToplevels(const ForeignToplevels&) = delete;
    ForeignToplevels& operator=(const ForeignToplevels&) = delete;

    // The described windows, most recently used first.
    std::vector<const Toplevel*> byRecentUse() const;
    const Toplevel* find(std::uint32_t id) const;
    // The compositor's own focus order for the windows known now.
    void seed(const std::vector<TreeWindow>& focusOrder);
    // Called when a new window without an app_id is described: learnProcesses() with the
    // compositor's windows then tells its process.
    void setProcessWantedHandler(std::function<void()> handler) {
        processWanted_ = std::move(handler);
    }
    void learnProcesses(const std::vector<TreeWindow>& windows);

    void activate(std::uint32_t id, wl_seat* seat);
    void unsetMinimized(std::uint32_t id);

    static void onToplevel(void* data, zwlr_foreign_toplevel_manager_v1* manager,
                           zwlr_foreign_toplevel_handle_v1* handle);
    static void onFinished(void* data, zwlr_foreign_toplevel_manager_v1* manager);
    void describe(Toplevel& toplevel);
    void close(Toplevel& toplevel);

  private:
    Toplevel* findMutable(std::uint32_t id) const;

    zwlr_foreign_toplevel_manager_v1* manager_;
    std::vector<std::unique_ptr<Toplevel>> toplevels_;
    RecentWindows recent_;
    std::uint32_t lastId_ = 0;
    std::function<void()> processWanted_;
};

}  // namespace tavrel::wayland
