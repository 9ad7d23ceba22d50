#include "platform/qt/QtMainLoop.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QSocketNotifier>

namespace tavrel::qt {

void QtMainLoop::LaterDelete::operator()(QSocketNotifier* notifier) const {
    notifier->setEnabled(false);
    notifier->disconnect();
    notifier->deleteLater();
}

QtMainLoop::QtMainLoop() = default;
QtMainLoop::~QtMainLoop() = default;

void QtMainLoop::watchReadable(int fd, std::function<void()> onReadable) {
    std::unique_ptr<QSocketNotifier, LaterDelete> notifier(
        new QSocketNotifier(fd, QSocketNotifier::Read));
    QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(),
                     [onReadable = std::move(onReadable)] { onReadable(); });
    notifiers_[fd] = std::move(notifier);
}

void QtMainLoop::unwatch(int fd) {
    notifiers_.erase(fd);
}

void QtMainLoop::post(std::function<void()> work) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(work), Qt::QueuedConnection);
}

}  // namespace tavrel::qt
