#include "platform/wayland/WaylandSeat.h"

#include <linux/input-event-codes.h>

#include "platform/wayland/SwitchModifiers.h"
#include "platform/wayland/WaylandKeyboard.h"

namespace tavrel::wayland {
namespace {

WaylandSeat& seatOf(void* data) {
    return *static_cast<WaylandSeat*>(data);
}

void onCapabilities(void* data, wl_seat*, std::uint32_t capabilities) {
    seatOf(data).capabilities(capabilities);
}
void onName(void*, wl_seat*, const char*) {}

void onEnter(void* data, wl_pointer*, std::uint32_t, wl_surface* surface, wl_fixed_t x,
             wl_fixed_t y) {
    seatOf(data).pointerEnter(surface, wl_fixed_to_double(x), wl_fixed_to_double(y));
}
void onLeave(void* data, wl_pointer*, std::uint32_t, wl_surface*) {
    seatOf(data).pointerLeave();
}
void onMotion(void* data, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y) {
    seatOf(data).pointerMotion(wl_fixed_to_double(x), wl_fixed_to_double(y));
}
void onButton(void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t button,
              std::uint32_t state) {
    seatOf(data).pointerButton(button, state);
}
void onAxis(void* data, wl_pointer*, std::uint32_t, std::uint32_t axis, wl_fixed_t value) {
    seatOf(data).pointerAxis(axis, wl_fixed_to_double(value));
}
void onFrame(void*, wl_pointer*) {}
void onAxisSource(void*, wl_pointer*, std::uint32_t) {}
void onAxisStop(void*, wl_pointer*, std::uint32_t, std::uint32_t) {}
void onAxisDiscrete(void*, wl_pointer*, std::uint32_t, std::int32_t) {}
void onAxisValue120(void*, wl_pointer*, std::uint32_t, std::int32_t) {}

const wl_seat_listener kSeatListener{&onCapabilities, &onName};
const wl_pointer_listener kPointerListener{
    &onEnter, &onLeave,      &onMotion,   &onButton,       &onAxis,
    &onFrame, &onAxisSource, &onAxisStop, &onAxisDiscrete, &onAxisValue120};

}  // namespace

WaylandSeat::WaylandSeat(wl_seat* seat, WaylandKeyboard& keyboard)
    : seat_(seat), keyboard_(keyboard) {
    wl_seat_add_listener(seat_, &kSeatListener, this);
}

WaylandSeat::~WaylandSeat() {
    releasePointer();
    keyboard_.detach();
}

void WaylandSeat::capabilities(std::uint32_t capabilities) {
    const DeviceChanges changes =
        followCapabilities(haveKeyboard_, pointer_ != nullptr, capabilities);
    if (changes.getKeyboard)
        keyboard_.attach(wl_seat_get_keyboard(seat_));
    if (changes.releaseKeyboard)
        keyboard_.detach();
    haveKeyboard_ = (haveKeyboard_ || changes.getKeyboard) && !changes.releaseKeyboard;
    if (changes.getPointer) {
        pointer_ = wl_seat_get_pointer(seat_);
        wl_pointer_add_listener(pointer_, &kPointerListener, this);
    }
    if (changes.releasePointer)
        releasePointer();
}

void WaylandSeat::releasePointer() {
    if (pointer_ == nullptr)
        return;
    if (wl_pointer_get_version(pointer_) >= WL_POINTER_RELEASE_SINCE_VERSION)
        wl_pointer_release(pointer_);
    else
        wl_pointer_destroy(pointer_);
    pointer_ = nullptr;
    pointerSurface_ = nullptr;
}

void WaylandSeat::pointerEnter(wl_surface* surface, double x, double y) {
    pointerSurface_ = surface;
    x_ = x;
    y_ = y;
}

void WaylandSeat::pointerLeave() {
    pointerSurface_ = nullptr;
}

void WaylandSeat::pointerMotion(double x, double y) {
    x_ = x;
    y_ = y;
}

void WaylandSeat::pointerButton(std::uint32_t button, std::uint32_t state) {
    if (button != BTN_LEFT || pointerSurface_ == nullptr || !handler_.button)
        return;
    handler_.button(pointerSurface_, x_, y_, state == WL_POINTER_BUTTON_STATE_PRESSED);
}

void WaylandSeat::pointerAxis(std::uint32_t axis, double value) {
    if (axis == WL_POINTER_AXIS_VERTICAL_SCROLL && pointerSurface_ != nullptr && handler_.scroll)
        handler_.scroll(pointerSurface_, value);
}

}  // namespace tavrel::wayland
