#pragma once
#include <xcb/xcb.h>

#include <string>

namespace tavrel::qt {

// Atoms and selections, asked for on a connection (Qt's, from qtXcbConnection()).
xcb_atom_t internXcbAtom(xcb_connection_t* connection, const std::string& name);
// The window that owns a selection; XCB_NONE when nobody holds it (or no connection).
xcb_window_t xcbSelectionOwner(xcb_connection_t* connection, xcb_atom_t selection);

}  // namespace tavrel::qt
