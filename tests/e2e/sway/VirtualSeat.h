#pragma once
#include <xkbcommon/xkbcommon.h>

#include <cstdint>
#include <set>
#include <string>

struct wl_display;
struct wl_proxy;
struct wl_registry;
struct wl_registry_listener;
struct wl_seat;
struct zwlr_virtual_pointer_manager_v1;
struct zwlr_virtual_pointer_v1;

namespace tavrel::e2e {

// The user's hands on a Wayland compositor: one virtual keyboard and one virtual pointer on
// its seat, both kept for the object's whole life. A keyboard that comes and goes makes the
// compositor swap the seat's keyboard under the focused client, and a key sent in between can
// be lost; one that stays is a keyboard like any other.
//
// Keys are named by their keysyms ("Super_L", "Tab", "a"). The keyboard sends its own
// modifier state after every key that changes it, as a real keyboard's compositor would work
// it out: a virtual keyboard's keys never update the modifiers by themselves. Everything is
// sent at once (flushed); `sync` waits until the compositor has handled it.
class VirtualSeat {
  public:
    // `display`: the compositor's socket, an absolute path or a name in XDG_RUNTIME_DIR.
    // `width` x `height`: the output layout the pointer moves over.
    VirtualSeat(const std::string& display, int width, int height);
    ~VirtualSeat();
    VirtualSeat(const VirtualSeat&) = delete;
    VirtualSeat& operator=(const VirtualSeat&) = delete;

    // Empty when keyboard and pointer are in place; otherwise what is missing.
    const std::string& failure() const { return failure_; }

    bool press(const std::string& key);
    bool release(const std::string& key);
    bool tap(const std::string& key);
    // Lets go of every key still held.
    void releaseAll();
    // Lower-case ASCII letters, digits and spaces.
    bool type(const std::string& text);
    void movePointer(int x, int y);
    void click(int x, int y);
    // A round trip: everything sent before has been handled by the compositor.
    bool sync();

  private:
    static void announce(void* data, wl_registry* registry, std::uint32_t name,
                         const char* interface, std::uint32_t version);
    static const wl_registry_listener registryListener_;
    bool makeKeyboard();
    xkb_keycode_t keycode(const std::string& key) const;
    bool sendKey(const std::string& key, bool down);
    std::uint32_t now() const;

    int width_;
    int height_;
    wl_display* display_ = nullptr;
    wl_seat* seat_ = nullptr;
    wl_proxy* keyboardManager_ = nullptr;
    wl_proxy* keyboard_ = nullptr;
    zwlr_virtual_pointer_manager_v1* pointerManager_ = nullptr;
    zwlr_virtual_pointer_v1* pointer_ = nullptr;
    xkb_context* context_ = nullptr;
    xkb_keymap* keymap_ = nullptr;
    xkb_state* state_ = nullptr;
    std::set<std::string> held_;
    std::string failure_;
};

}  // namespace tavrel::e2e
