#pragma once
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace tavrel::qt {

// What the Qt shell reads of X11 itself, over Qt's own connection.
template <typename Reply>
using XReply = std::unique_ptr<Reply, decltype(&std::free)>;

// Qt's X connection; null off X11 (Wayland, offscreen).
xcb_connection_t* qtConnection();
// The screen number DISPLAY names (0 when it names none).
int defaultScreenNumber();
xcb_window_t rootOf(xcb_connection_t* connection, int screenNumber);
xcb_atom_t internAtom(xcb_connection_t* connection, const std::string& name);
// The owner of a selection; XCB_NONE when nobody holds it.
xcb_window_t selectionOwner(xcb_connection_t* connection, xcb_atom_t selection);

}  // namespace tavrel::qt
