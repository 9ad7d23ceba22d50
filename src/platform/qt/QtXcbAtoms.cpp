#include "platform/qt/QtXcbAtoms.h"

#include <cstdlib>
#include <memory>

namespace tavrel::qt {
namespace {
template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;
}  // namespace

xcb_atom_t internXcbAtom(xcb_connection_t* connection, const std::string& name) {
    ReplyPtr<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(
            connection,
            xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data()),
            nullptr),
        &std::free);
    return reply ? reply->atom : XCB_NONE;
}

xcb_window_t xcbSelectionOwner(xcb_connection_t* connection, xcb_atom_t selection) {
    if (!connection || selection == XCB_NONE)
        return XCB_NONE;
    ReplyPtr<xcb_get_selection_owner_reply_t> reply(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection),
                                      nullptr),
        &std::free);
    return reply ? reply->owner : XCB_NONE;
}

}  // namespace tavrel::qt
