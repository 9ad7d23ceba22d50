#include "platform/x11/X11Accessibility.h"

#include "platform/x11/DesktopWatch.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11WindowList.h"

namespace tavrel::x11 {
namespace {

// EWMH source indication: a pager or a similar tool acting for the user.
constexpr std::uint32_t kSourcePager = 2;
constexpr std::uint32_t kIconicState = 3;

bool isApplicationWindow(const ClientWindow& w) {
    return w.role == WindowRole::normal || w.role == WindowRole::dialog;
}

}  // namespace

X11Accessibility::X11Accessibility(X11Connection& connection, X11WindowList& windows,
                                   DesktopWatch* order, X11Connection* requests)
    : connection_(connection),
      windows_(windows),
      order_(order),
      requests_(requests != nullptr ? *requests : connection) {}

AXElement X11Accessibility::createApplication(std::int32_t pid) {
    return AXElement{AXElement::Kind::application, pid, 0};
}

AXError X11Accessibility::copyAttributeValue(const AXElement& element, const std::string& attribute,
                                             Value& value) {
    value = std::monostate{};
    if (element.kind == AXElement::Kind::application) {
        if (attribute == kAXWindowsAttribute)
            return copyWindows(element, value);
        return kAXErrorAttributeUnsupported;
    }
    if (attribute != kAXTitleAttribute && attribute != kAXMinimizedAttribute)
        return kAXErrorAttributeUnsupported;
    const auto window = windows_.window(static_cast<xcb_window_t>(element.window));
    if (!window)
        return kAXErrorCannotComplete;
    if (attribute == kAXMinimizedAttribute) {
        value = window->hidden;
        return kAXErrorSuccess;
    }
    if (!window->title)
        return kAXErrorNoValue;
    value = *window->title;
    return kAXErrorSuccess;
}

AXError X11Accessibility::copyWindows(const AXElement& application, Value& value) {
    // A commit asks right after the panel's listing: unless something changed since, that
    // listing answers.
    auto snapshot = windows_.unchangedSnapshot();
    if (!snapshot)
        return kAXErrorCannotComplete;
    if (order_ != nullptr)
        order_->arrange(snapshot->windows);
    ElementList elements;
    for (const ClientWindow& w : snapshot->windows) {
        if (w.pid == application.pid && isApplicationWindow(w))
            elements.push_back(AXElement{AXElement::Kind::window, application.pid, w.id});
    }
    value = std::move(elements);
    return kAXErrorSuccess;
}

AXError X11Accessibility::setAttributeValue(const AXElement& element, const std::string& attribute,
                                            const Value& value) {
    const auto flag = valueAsBool(value);
    if (element.kind != AXElement::Kind::window || !flag)
        return kAXErrorFailure;
    const auto window = static_cast<xcb_window_t>(element.window);
    if (attribute == kAXMinimizedAttribute)
        return setMinimized(window, *flag);
    if (attribute == kAXMainAttribute)
        return *flag ? makeMain(window) : kAXErrorFailure;
    return kAXErrorAttributeUnsupported;
}

AXError X11Accessibility::performAction(const AXElement& element, const std::string& action) {
    if (element.kind != AXElement::Kind::window || action != kAXRaiseAction)
        return kAXErrorFailure;
    return raise(static_cast<xcb_window_t>(element.window));
}

AXError X11Accessibility::isAttributeSettable(const AXElement& element,
                                              const std::string& attribute, bool& settable) {
    settable = false;
    if (element.kind != AXElement::Kind::window)
        return kAXErrorSuccess;
    if (!windows_.window(static_cast<xcb_window_t>(element.window)))
        return kAXErrorCannotComplete;
    settable = attribute == kAXMainAttribute || attribute == kAXMinimizedAttribute;
    return kAXErrorSuccess;
}

bool X11Accessibility::isProcessTrusted() {
    return !connection_.broken();
}

bool X11Accessibility::isProcessTrustedWithOptions(bool) {
    return isProcessTrusted();
}

AXError X11Accessibility::setMinimized(xcb_window_t window, bool minimized) {
    if (!minimized) {
        // Mapping an iconic window asks the window manager to restore it (ICCCM 4.1.4);
        // without one, it simply shows the window.
        return check(xcb_map_window_checked(connection_.get(), window));
    }
    if (!windows_.window(window))
        return kAXErrorCannotComplete;
    sendToWindowManager(window, connection_.atoms().WM_CHANGE_STATE, {kIconicState, 0, 0, 0, 0});
    flushRequests();
    return kAXErrorSuccess;
}

AXError X11Accessibility::makeMain(xcb_window_t window) {
    if (!windows_.window(window))
        return kAXErrorCannotComplete;
    xcb_timestamp_t now = inputTime_ ? inputTime_() : xcb_timestamp_t{XCB_CURRENT_TIME};
    if (now == XCB_CURRENT_TIME)
        now = connection_.serverTime();
    if (windows_.windowManagerPresent()) {
        if (pendingRaise_ == window)
            pendingRaise_.reset();
        sendToWindowManager(window, connection_.atoms()._NET_ACTIVE_WINDOW,
                            {kSourcePager, now, XCB_WINDOW_NONE, 0, 0});
        flushRequests();
        if (activationRequested_)
            activationRequested_(window);
        return kAXErrorSuccess;
    }
    return check(
        xcb_set_input_focus_checked(connection_.get(), XCB_INPUT_FOCUS_POINTER_ROOT, window, now));
}

AXError X11Accessibility::raise(xcb_window_t window) {
    if (!windows_.window(window))
        return kAXErrorCannotComplete;
    if (!windows_.windowManagerPresent()) {
        const std::uint32_t above = XCB_STACK_MODE_ABOVE;
        return check(xcb_configure_window_checked(connection_.get(), window,
                                                  XCB_CONFIG_WINDOW_STACK_MODE, &above));
    }
    if (!later_) {
        askToRaise(window);
        flushRequests();
        return kAXErrorSuccess;
    }
    // A switch raises, then activates: both leave together after the current event. Written
    // alone, the raise would wake the server, which on a busy machine takes the processor
    // before the activation is written. A window manager that raises what it activates is
    // asked only when no activation follows: asked first, it would restack before it gets
    // to the activation, and again with it.
    if (order_ != nullptr && order_->stackingFollowsFocus())
        pendingRaise_ = window;
    else
        askToRaise(window);
    later_([this] {
        if (pendingRaise_)
            askToRaise(*pendingRaise_);
        pendingRaise_.reset();
        flushRequests();
    });
    return kAXErrorSuccess;
}

void X11Accessibility::unmapOwnWindow(xcb_window_t window) {
    xcb_unmap_window(requests_.get(), window);
    flushLater();
}

void X11Accessibility::askToRaise(xcb_window_t window) {
    sendToWindowManager(window, connection_.atoms()._NET_RESTACK_WINDOW,
                        {kSourcePager, XCB_WINDOW_NONE, XCB_STACK_MODE_ABOVE, 0, 0});
}

// On the keyboard's connection, a commit's requests leave in one write behind the ungrab that
// precedes them, and the server takes them in that order.
void X11Accessibility::sendToWindowManager(xcb_window_t window, xcb_atom_t type,
                                           const std::uint32_t (&data)[5]) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = type;
    for (int i = 0; i < 5; ++i)
        message.data.data32[i] = data[i];
    xcb_send_event(requests_.get(), 0, requests_.root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
}

void X11Accessibility::flushRequests() {
    xcb_flush(requests_.get());
}

void X11Accessibility::flushLater() {
    if (later_)
        later_([this] { flushRequests(); });
    else
        flushRequests();
}

AXError X11Accessibility::check(xcb_void_cookie_t cookie) {
    Reply<xcb_generic_error_t> error(xcb_request_check(connection_.get(), cookie));
    return error ? kAXErrorCannotComplete : kAXErrorSuccess;
}

}  // namespace tavrel::x11
