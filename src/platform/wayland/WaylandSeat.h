#pragma once
#include <cstdint>
#include <functional>

#include "platform/wayland/Protocols.h"

namespace tavrel::wayland {

class WaylandKeyboard;

// The seat's keyboard and pointer, taken and let go as the seat's capabilities come and go
// (keyboards are plugged and unplugged; a virtual keyboard comes and goes with its program).
// Pointer buttons and wheel turns on this program's surfaces go to the handler.
class WaylandSeat {
  public:
    struct PointerHandler {
        // The left button went down or up at (x, y) in the surface's coordinates.
        std::function<void(wl_surface*, double x, double y, bool pressed)> button;
        // The wheel scrolled by dy points (down is positive).
        std::function<void(wl_surface*, double dy)> scroll;
    };

    // `seat` stays owned by the connection; `keyboard` outlives the seat.
    WaylandSeat(wl_seat* seat, WaylandKeyboard& keyboard);
    ~WaylandSeat();
    WaylandSeat(const WaylandSeat&) = delete;
    WaylandSeat& operator=(const WaylandSeat&) = delete;

    void setPointerHandler(PointerHandler handler) { handler_ = std::move(handler); }

    void capabilities(std::uint32_t capabilities);
    void pointerEnter(wl_surface* surface, double x, double y);
    void pointerLeave();
    void pointerMotion(double x, double y);
    void pointerButton(std::uint32_t button, std::uint32_t state);
    void pointerAxis(std::uint32_t axis, double value);

  private:
    void releasePointer();

    wl_seat* seat_;
    WaylandKeyboard& keyboard_;
    bool haveKeyboard_ = false;
    wl_pointer* pointer_ = nullptr;
    wl_surface* pointerSurface_ = nullptr;
    double x_ = 0;
    double y_ = 0;
    PointerHandler handler_;
};

}  // namespace tavrel::wayland
