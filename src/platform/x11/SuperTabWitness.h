#pragma once
#include <xcb/xcb.h>

#include <bitset>
#include <functional>

#include "platform/MainLoop.h"
#include "platform/x11/LoopTimer.h"

namespace tavrel::x11 {

class X11Connection;
class X11Keymap;

// Hears every Super+Tab the user presses through XInput2 raw key events, which reach every
// client whatever grabs are held, and stands beside the Super+Tab grab: when the grab does not
// fire for a Super+Tab shortly after, another program took the key first (a window manager
// that grabs Super itself lets our grab "succeed" and never fire). That is said once; once the
// grab has fired, nothing needs watching and the raw events are given up.
class SuperTabWitness {
  public:
    // `settle` handles the events that have arrived before a verdict is given; `missed` is
    // called once when a Super+Tab never reached the grab.
    SuperTabWitness(X11Connection& connection, MainLoop& loop, std::function<void()> settle,
                    std::function<void()> missed);

    // Starts watching, unless the question is settled already (the grab fired, or the miss was
    // reported). False when the server has no XInput 2.2.
    bool watch();
    // Handles one event of the connection; true when it was a raw key event.
    bool handleEvent(const xcb_generic_event_t* event, const X11Keymap& keymap);
    // The grab fired for Super+Tab: it reaches this program.
    void grabFired();
    // Another window manager took over: what held for the last one may not hold now, unless a
    // miss was reported already.
    void windowManagerChanged();

  private:
    void select(bool rawKeys);
    void giveVerdict();

    X11Connection& connection_;
    std::function<void()> settle_;
    std::function<void()> missed_;
    LoopTimer grace_;
    std::uint8_t xinputOpcode_ = 0;
    bool available_ = false;
    bool watching_ = false;
    bool settled_ = false;   // the grab fired, or a miss was reported
    bool reported_ = false;  // a miss was reported
    bool expecting_ = false;
    std::bitset<256> superDown_;
};

}  // namespace tavrel::x11
