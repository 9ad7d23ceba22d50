#include "platform/qt/DisplayLossWatch.h"

#include <xcb/xcb.h>

#include <QtGlobal>
#include <atomic>

#include "platform/qt/QtXcb.h"

namespace tavrel::qt {
namespace {

// Read from whichever thread Qt writes a message on.
std::atomic<xcb_connection_t*> watched{nullptr};
std::atomic<DisplayLossWatch*> active{nullptr};

}  // namespace

DisplayLossWatch::DisplayLossWatch(std::function<void()> lost) : lost_(std::move(lost)) {
    xcb_connection_t* connection = qtXcbConnection();
    if (connection == nullptr)
        return;  // not on X11: nothing to lose
    watched = connection;
    active = this;
    previous_ = qInstallMessageHandler(&DisplayLossWatch::handleMessage);
}

DisplayLossWatch::~DisplayLossWatch() {
    if (active != this)
        return;
    qInstallMessageHandler(previous_);
    active = nullptr;
    watched = nullptr;
}

void DisplayLossWatch::handleMessage(QtMsgType type, const QMessageLogContext& context,
                                     const QString& message) {
    DisplayLossWatch* watch = active;
    xcb_connection_t* connection = watched;
    if (watch == nullptr)
        return;
    if (connection != nullptr && xcb_connection_has_error(connection) != 0 && watch->lost_)
        watch->lost_();
    if (watch->previous_ != nullptr)
        watch->previous_(type, context, message);
}

}  // namespace tavrel::qt
