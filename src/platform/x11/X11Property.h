#pragma once
#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/x11/X11Connection.h"

namespace tavrel::x11 {

// One property as the server answered it. The bytes stay valid while the value lives.
class X11Property {
  public:
    // Nothing when the window or the property does not exist.
    static std::optional<X11Property> read(xcb_connection_t* connection,
                                           xcb_get_property_cookie_t cookie);
    // Asks for at most `maxItems` 32-bit units of a property of any type.
    static xcb_get_property_cookie_t request(xcb_connection_t* connection, xcb_window_t window,
                                             xcb_atom_t property, std::uint32_t maxItems);

    xcb_atom_t type() const { return reply_->type; }
    std::uint8_t format() const { return reply_->format; }
    std::string_view bytes() const { return bytes_; }
    // The 32-bit items of a format-32 property of that type; empty otherwise.
    std::vector<std::uint32_t> cardinals(xcb_atom_t expectedType) const;
    std::optional<std::uint32_t> firstCardinal(xcb_atom_t expectedType) const;

  private:
    X11Property(Reply<xcb_get_property_reply_t> reply, std::string_view bytes)
        : reply_(std::move(reply)), bytes_(bytes) {}
    Reply<xcb_get_property_reply_t> reply_;
    std::string_view bytes_;
};

}  // namespace tavrel::x11
