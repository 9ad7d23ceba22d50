#include "platform/qt/DisplayLossWatch.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QtGlobal>
#include <atomic>

#include "platform/qt/QtXcb.h"

namespace tavrel::qt {
namespace {

// Read from whichever thread Qt writes a message on.
std::atomic<xcb_connection_t*> watched{nullptr};
std::atomic<bool> onWayland{false};
std::atomic<DisplayLossWatch*> active{nullptr};

// Qt's Wayland platform says this, and only this, right before it ends the process for a
// broken connection.
bool tellsOfBrokenWayland(const QString& message) {
    return message.startsWith(QLatin1String("The Wayland connection"));
}

}  // namespace

DisplayLossWatch::DisplayLossWatch(std::function<void()> lost) : lost_(std::move(lost)) {
    xcb_connection_t* connection = qtXcbConnection();
    onWayland = QGuiApplication::platformName() == QLatin1String("wayland");
    if (connection == nullptr && !onWayland)
        return;  // headless: nothing to lose
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
    const bool lost = connection != nullptr ? xcb_connection_has_error(connection) != 0
                                            : onWayland && tellsOfBrokenWayland(message);
    if (lost && watch->lost_)
        watch->lost_();
    if (watch->previous_ != nullptr)
        watch->previous_(type, context, message);
}

}  // namespace tavrel::qt
