#include "platform/qt/TrayHostWatch.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/qt/QtXcb.h"
#include "platform/qt/QtXcbAtoms.h"

namespace tavrel::qt {
namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");

// _NET_SYSTEM_TRAY_COLORS holds four colours (normal, error, warning, success) as 16-bit
// red, green, blue triples in 32-bit items; the first one is the colour of plain icons.
std::optional<QColor> normalColour(xcb_connection_t* connection, xcb_window_t tray,
                                   xcb_atom_t property) {
    const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, tray, property, XCB_ATOM_CARDINAL, 0, 12),
            nullptr),
        &std::free);
    if (!reply || reply->type != XCB_ATOM_CARDINAL || reply->format != 32 ||
        xcb_get_property_value_length(reply.get()) < 12)
        return std::nullopt;
    const auto* rgb = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    const auto channel = [](std::uint32_t value) {
        return static_cast<quint16>(std::min<std::uint32_t>(value, 0xffff));
    };
    return QColor::fromRgba64(channel(rgb[0]), channel(rgb[1]), channel(rgb[2]));
}

}  // namespace

TrayHostWatch::TrayHostWatch() {
    watchXEmbed();
    watchStatusNotifier();
}

TrayHostWatch::~TrayHostWatch() {
    if (connection_ && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

void TrayHostWatch::watchXEmbed() {
    connection_ = qtXcbConnection();
    if (!connection_)
        return;
    selection_ =
        internXcbAtom(connection_, "_NET_SYSTEM_TRAY_S" + std::to_string(defaultXcbScreenNumber()));
    manager_ = internXcbAtom(connection_, "MANAGER");
    colours_ = internXcbAtom(connection_, "_NET_SYSTEM_TRAY_COLORS");
    // Qt listens to the root's structure events for its own tray support, so a new tray's
    // MANAGER message reaches the filter.
    QCoreApplication::instance()->installNativeEventFilter(this);
    readXEmbedTray();
}

void TrayHostWatch::readXEmbedTray() {
    xembedTray_ = xcbSelectionOwner(connection_, selection_);
    iconColour_ =
        xembedTray_ == XCB_NONE ? std::nullopt : normalColour(connection_, xembedTray_, colours_);
}

bool TrayHostWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t" || !message)
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
        return false;
    const auto* client = static_cast<const xcb_client_message_event_t*>(message);
    if (client->format != 32 || client->type != manager_ || manager_ == XCB_NONE ||
        client->data.data32[1] != selection_)
        return false;
    // Let Qt take the event first: its own tray icon code answers the same message.
    QMetaObject::invokeMethod(
        this,
        [this] {
            readXEmbedTray();
            emit changed();
        },
        Qt::QueuedConnection);
    return false;
}

void TrayHostWatch::watchStatusNotifier() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    busWatched_ = true;
    auto* watcher = new QDBusServiceWatcher(
        kWatcherService, bus,
        QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration,
        this);
    connect(watcher, &QDBusServiceWatcher::serviceRegistered, this,
            &TrayHostWatch::askStatusNotifierWatcher);
    connect(watcher, &QDBusServiceWatcher::serviceUnregistered, this,
            [this] { setStatusNotifierHost(false); });
    bus.connect(kWatcherService, kWatcherPath, kWatcherService,
                QStringLiteral("StatusNotifierHostRegistered"), this,
                SLOT(statusNotifierHostRegistered()));
    askStatusNotifierWatcher();
}

// Asked without waiting: a watcher that hangs must not hold up the program.
void TrayHostWatch::askStatusNotifierWatcher() {
    QDBusMessage get = QDBusMessage::createMethodCall(
        kWatcherService, kWatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << kWatcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    auto* pending = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(get), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* call) {
                const QDBusPendingReply<QDBusVariant> reply = *call;
                call->deleteLater();
                if (reply.isValid())
                    setStatusNotifierHost(reply.value().variant().toBool());
            });
}

void TrayHostWatch::statusNotifierHostRegistered() {
    setStatusNotifierHost(true);
}

void TrayHostWatch::setStatusNotifierHost(bool present) {
    if (present == statusNotifierHost_)
        return;
    statusNotifierHost_ = present;
    if (present)
        emit changed();
}

}  // namespace tavrel::qt
