#include "platform/qt/PanelWindow.h"

#include <QGuiApplication>
#include <QPainterPath>
#include <QRegion>

#include "platform/qt/PanelBackground.h"

namespace tavrel::qt {

PanelWindow::PanelWindow(bool translucent)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint |
                           Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus |
                           Qt::NoDropShadowWindowHint),
      translucent_(translucent) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setAttribute(Qt::WA_TranslucentBackground, translucent);
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(QStringLiteral("tavrel"));
}

void PanelWindow::adopt(PanelBackground& background) {
    background_ = &background;
    background.setParent(this);
    background.setTranslucent(translucent_);
    background.show();
    fitBackground();
}

void PanelWindow::setFrame(const QRect& frame) {
    setGeometry(frame);
    fitBackground();
}

void PanelWindow::resizeEvent(QResizeEvent*) {
    fitBackground();
}

void PanelWindow::fitBackground() {
    if (!background_ || background_->parent() != this)
        return;
    background_->setGeometry(QRect(QPoint(), geometry().size()));
    // Only X11 cuts windows to shape (the headless platform has no masks and says so).
    if (!translucent_ && QGuiApplication::platformName() == QLatin1String("xcb"))
        setMask(QRegion(background_->shape().toFillPolygon().toPolygon()));
}

}  // namespace tavrel::qt
