#include "platform/x11/X11Connection.h"

#include <array>
#include <cstring>
#include <utility>

namespace tavrel::x11 {
namespace {

constexpr std::array kAtomNames = {
#define TAVREL_X11_ATOM_NAME(name) #name,
    TAVREL_X11_ATOMS(TAVREL_X11_ATOM_NAME)
#undef TAVREL_X11_ATOM_NAME
};

std::array<xcb_atom_t*, kAtomNames.size()> atomFields(Atoms& atoms) {
    return {
#define TAVREL_X11_ATOM_ADDRESS(name) &atoms.name,
        TAVREL_X11_ATOMS(TAVREL_X11_ATOM_ADDRESS)
#undef TAVREL_X11_ATOM_ADDRESS
    };
}

}  // namespace

std::unique_ptr<X11Connection> X11Connection::open(const char* displayName, std::string* whyNot) {
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(displayName, &screenNumber);
    if (xcb_connection_has_error(connection) != 0) {
        xcb_disconnect(connection);
        if (whyNot != nullptr)
            *whyNot = "cannot open the X11 display";
        return nullptr;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem == 0) {
        xcb_disconnect(connection);
        if (whyNot != nullptr)
            *whyNot = "the X11 display has no such screen";
        return nullptr;
    }
    std::unique_ptr<X11Connection> result(new X11Connection(connection, screens.data));
    result->internAtoms();
    return result;
}

X11Connection::X11Connection(xcb_connection_t* connection, xcb_screen_t* screen)
    : connection_(connection), screen_(screen) {}

X11Connection::~X11Connection() {
    xcb_disconnect(connection_);
}

void X11Connection::internAtoms() {
    std::array<xcb_intern_atom_cookie_t, kAtomNames.size()> cookies{};
    for (std::size_t i = 0; i < kAtomNames.size(); ++i) {
        cookies[i] = xcb_intern_atom(
            connection_, 0, static_cast<std::uint16_t>(std::strlen(kAtomNames[i])), kAtomNames[i]);
    }
    const auto fields = atomFields(atoms_);
    for (std::size_t i = 0; i < kAtomNames.size(); ++i) {
        Reply<xcb_intern_atom_reply_t> reply(
            xcb_intern_atom_reply(connection_, cookies[i], nullptr));
        *fields[i] = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    }
}

void X11Connection::sync() const {
    Reply<xcb_get_input_focus_reply_t> reply(
        xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

xcb_timestamp_t X11Connection::serverTime() {
    if (clock_ == XCB_WINDOW_NONE) {
        clock_ = xcb_generate_id(connection_);
        const std::uint32_t values[] = {1, XCB_EVENT_MASK_PROPERTY_CHANGE};
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, clock_, root(), -1, -1, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT,
                          XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    }
    xcb_change_property(connection_, XCB_PROP_MODE_APPEND, clock_, atoms_.TAVREL_TIMESTAMP,
                        XCB_ATOM_INTEGER, 32, 0, nullptr);
    xcb_flush(connection_);
    while (Reply<xcb_generic_event_t> event{xcb_wait_for_event(connection_)}) {
        const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
        if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY && notify->window == clock_)
            return notify->time;
        if (eventHandler_)
            eventHandler_(event.get());
    }
    return XCB_CURRENT_TIME;
}

}  // namespace tavrel::x11
