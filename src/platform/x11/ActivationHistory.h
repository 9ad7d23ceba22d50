#pragma once
#include <xcb/xcb.h>

#include <optional>
#include <vector>

#include "platform/x11/X11WindowList.h"

namespace tavrel::x11 {

// The windows made active since tavrel started, most recent first: front to back as a user
// means it where the window manager's stacking list does not follow focus.
//
// An activation that another replaces within a moment is not remembered: the window manager
// only passed the focus through that window (focus following the pointer onto whatever the
// closing panel uncovers, on its way to the chosen window).
class ActivationHistory {
  public:
    // The window manager made `window` the active one (none: no window is) at server time
    // `time`; without a time, it was active before anything was heard.
    void noteActive(xcb_window_t window, std::optional<xcb_timestamp_t> time);
    // Puts the windows active since the start first, most recently active first; the others
    // keep their order after them. Windows no longer listed are forgotten.
    void arrange(std::vector<ClientWindow>& frontToBack);

  private:
    std::vector<xcb_window_t> recent_;
    // The history before the latest activation, and when that activation happened: it is
    // taken back when it proves fleeting.
    std::vector<xcb_window_t> beforeLatest_;
    std::optional<xcb_timestamp_t> latestAt_;
};

}  // namespace tavrel::x11
