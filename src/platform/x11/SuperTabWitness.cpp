#include "platform/x11/SuperTabWitness.h"

#include <xcb/xinput.h>

#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Keymap.h"

namespace tavrel::x11 {
namespace {

// The grab's event follows the raw one at once, unless another client holds the keyboard
// frozen for a moment first.
constexpr std::chrono::milliseconds kGrace{500};

}  // namespace

SuperTabWitness::SuperTabWitness(X11Connection& connection, MainLoop& loop,
                                 std::function<void()> settle, std::function<void()> missed)
    : connection_(connection),
      settle_(std::move(settle)),
      missed_(std::move(missed)),
      grace_(loop, [this] { giveVerdict(); }) {
    xcb_connection_t* c = connection_.get();
    const xcb_query_extension_reply_t* xinput = xcb_get_extension_data(c, &xcb_input_id);
    if (xinput == nullptr || xinput->present == 0)
        return;
    // Raw events reach clients that hold no grab only from version 2.1 on.
    Reply<xcb_input_xi_query_version_reply_t> version(
        xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 2), nullptr));
    available_ = version && (version->major_version > 2 ||
                             (version->major_version == 2 && version->minor_version >= 1));
    xinputOpcode_ = xinput->major_opcode;
}

bool SuperTabWitness::watch() {
    if (!available_)
        return false;
    if (!settled_ && !watching_)
        select(true);
    return true;
}

void SuperTabWitness::select(bool rawKeys) {
    struct {
        xcb_input_event_mask_t head;
        std::uint32_t bits;
    } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
           rawKeys ? std::uint32_t{XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS |
                                   XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE}
                   : 0u};
    xcb_connection_t* c = connection_.get();
    const auto cookie = xcb_input_xi_select_events_checked(c, connection_.root(), 1, &mask.head);
    // Watching begins once the server has the selection: a Super+Tab right after is heard.
    Reply<xcb_generic_error_t> error(xcb_request_check(c, cookie));
    watching_ = rawKeys && !error;
    if (!rawKeys) {
        expecting_ = false;
        superDown_.reset();
        grace_.stop();
    }
}

bool SuperTabWitness::handleEvent(const xcb_generic_event_t* event, const X11Keymap& keymap) {
    if ((event->response_type & 0x7f) != XCB_GE_GENERIC)
        return false;
    const auto* generic = reinterpret_cast<const xcb_ge_generic_event_t*>(event);
    if (!available_ || generic->extension != xinputOpcode_ ||
        (generic->event_type != XCB_INPUT_RAW_KEY_PRESS &&
         generic->event_type != XCB_INPUT_RAW_KEY_RELEASE))
        return false;
    if (!watching_)
        return true;  // sent before the selection ended
    const auto* raw = reinterpret_cast<const xcb_input_raw_key_press_event_t*>(event);
    const bool press = generic->event_type == XCB_INPUT_RAW_KEY_PRESS;
    if (raw->detail > 255)
        return true;
    const auto keycode = static_cast<xcb_keycode_t>(raw->detail);
    if (keymap.setsSuper(keycode)) {
        superDown_.set(keycode, press);
    } else if (press && superDown_.any() && keymap.tabKeycode() == keycode && !expecting_) {
        expecting_ = true;
        grace_.start(kGrace, false);
    }
    return true;
}

void SuperTabWitness::grabFired() {
    if (settled_)
        return;
    // The key reaches this program: nothing is in its way, nothing left to watch.
    settled_ = true;
    if (watching_)
        select(false);
}

void SuperTabWitness::windowManagerChanged() {
    if (reported_ || !settled_)
        return;
    settled_ = false;
    watch();
}

void SuperTabWitness::giveVerdict() {
    // The grab's event may be waiting on the connection still.
    if (settle_)
        settle_();
    if (!expecting_ || settled_)
        return;
    settled_ = true;
    reported_ = true;
    select(false);
    if (missed_)
        missed_();
}

}  // namespace tavrel::x11
