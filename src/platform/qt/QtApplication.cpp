#include "platform/qt/QtApplication.h"

#include <QApplication>
#include <QTimer>

namespace tavrel::qt {

void QtApplication::setActivationPolicy(std::int64_t policy) {
    QApplication::setQuitOnLastWindowClosed(policy != NSApplicationActivationPolicyAccessory);
}

int QtApplication::run(std::function<void()> didFinishLaunching) {
    if (didFinishLaunching)
        QTimer::singleShot(0, QCoreApplication::instance(), std::move(didFinishLaunching));
    return QApplication::exec();
}

void QtApplication::terminate() {
    QCoreApplication::quit();
}

}  // namespace tavrel::qt
