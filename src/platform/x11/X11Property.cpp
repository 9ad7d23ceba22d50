#include "platform/x11/X11Property.h"

#include <cstring>

namespace tavrel::x11 {

std::optional<X11Property> X11Property::read(xcb_connection_t* connection,
                                             xcb_get_property_cookie_t cookie) {
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection, cookie, nullptr));
    if (!reply || reply->type == XCB_ATOM_NONE)
        return std::nullopt;
    // The value length counts bytes, whatever the format.
    const int length = xcb_get_property_value_length(reply.get());
    if (length < 0)
        return std::nullopt;
    const std::uint32_t unit = reply->format / 8;
    if (unit == 0 || reply->value_len > static_cast<std::uint32_t>(length) / unit)
        return std::nullopt;
    const std::string_view bytes(static_cast<const char*>(xcb_get_property_value(reply.get())),
                                 static_cast<std::size_t>(reply->value_len) * unit);
    return X11Property(std::move(reply), bytes);
}

xcb_get_property_cookie_t X11Property::request(xcb_connection_t* connection, xcb_window_t window,
                                               xcb_atom_t property, std::uint32_t maxItems) {
    return xcb_get_property(connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0,
                            maxItems);
}

std::vector<std::uint32_t> X11Property::cardinals(xcb_atom_t expectedType) const {
    std::vector<std::uint32_t> items;
    if (format() != 32 || type() != expectedType)
        return items;
    items.resize(bytes_.size() / 4);
    if (!items.empty())
        std::memcpy(items.data(), bytes_.data(), items.size() * 4);
    return items;
}

std::optional<std::uint32_t> X11Property::firstCardinal(xcb_atom_t expectedType) const {
    if (format() != 32 || type() != expectedType || bytes_.size() < 4)
        return std::nullopt;
    std::uint32_t value = 0;
    std::memcpy(&value, bytes_.data(), 4);
    return value;
}

}  // namespace tavrel::x11
