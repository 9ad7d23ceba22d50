#include "platform/qt/QtPanelSurface.h"

#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QRegion>
#include <QTransform>
#include <cmath>

#include "platform/qt/NativePanelWindow.h"
#include "platform/qt/QtXcb.h"
#include "platform/qt/ScreenSpace.h"

namespace tavrel::qt {
namespace {
constexpr std::uint8_t kLeftButton = 1;
constexpr std::uint8_t kWheelUp = 4;
constexpr std::uint8_t kWheelDown = 5;

QRect outwardPixels(const QRectF& points, double ratio) {
    const QRectF scaled(points.topLeft() * ratio, points.size() * ratio);
    return scaled.toAlignedRect();
}
}  // namespace

QtPanelSurface::QtPanelSurface(const PanelWindowStyle& style, const PanelContentLayout& layout,
                               PanelDataSource& dataSource, IconPixmapCache& icons,
                               CompositorWatch& compositor, const KeyboardHandlers& keyboard)
    : PanelCanvasSurface(layout, {style.contentRect.size.width, style.contentRect.size.height},
                         dataSource, icons),
      connection_(qtXcbConnection()),
      keyboard_(keyboard),
      frame_(ScreenSpace::current().toQt(style.contentRect)) {
    canvas().setTranslucent(compositor.active());
    canvas().setChangeHandler([this] { presentLater(); });
    // The window exists from the start, so that a showing never waits for one to be made.
    window_ = NativePanelWindow::create(connection_, compositor.active());
    if (!window_ && compositor.active())
        window_ = NativePanelWindow::create(connection_, false);
    canvas().warmUp();
    QObject::connect(&compositor, &CompositorWatch::changed, &context_,
                     [this](bool active) { useTranslucentWindow(active); });
    QCoreApplication::instance()->installNativeEventFilter(this);
}

QtPanelSurface::~QtPanelSurface() {
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

Rect QtPanelSurface::frame() {
    return ScreenSpace::current().toPoints(frame_);
}

void QtPanelSurface::setFrame(Rect frame, bool display) {
    frame_ = ScreenSpace::current().toQt(frame);
    canvas().setSize(frame_.size());
    presentLater();
    if (display)
        present();
}

void QtPanelSurface::setFrameOrigin(Point origin) {
    const Rect moved{origin,
                     {static_cast<double>(frame_.width()), static_cast<double>(frame_.height())}};
    frame_.moveTopLeft(ScreenSpace::current().toQt(moved).topLeft());
    presentLater();
}

void QtPanelSurface::orderFrontRegardless() {
    shown_ = true;
    present();
}

void QtPanelSurface::makeKeyWindow() {
    // Not the input focus: that would take it from the application being switched away from.
    if (keyboard_.take)
        keyboard_.take();
}

void QtPanelSurface::orderOut() {
    shown_ = false;
    if (window_ && mapped_) {
        window_->unmap();
        window_->flush();
    }
    mapped_ = false;
    // Each showing starts from the top of its list: scrolling a new highlight into view from
    // where the last switch left off could hide the front-most windows above it.
    canvas().scrollToTop();
    if (keyboard_.release)
        keyboard_.release();
}

std::uint32_t QtPanelSurface::windowId() const {
    return window_ ? window_->id() : 0;
}

bool QtPanelSurface::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t" || !message || !window_ || !mapped_)
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const std::uint8_t type = event->response_type & 0x7f;
    if (type != XCB_BUTTON_PRESS && type != XCB_BUTTON_RELEASE)
        return false;
    const auto* button = static_cast<const xcb_button_press_event_t*>(message);
    if (button->event != window_->id())
        return false;
    const double ratio = devicePixelRatio();
    const QPointF position(button->event_x / ratio, button->event_y / ratio);
    if (button->detail == kLeftButton) {
        if (type == XCB_BUTTON_PRESS)
            canvas().press(position);
        else
            canvas().release();
    } else if (type == XCB_BUTTON_PRESS &&
               (button->detail == kWheelUp || button->detail == kWheelDown)) {
        const double row = canvas().rowHeight();
        canvas().scrollBy(button->detail == kWheelUp ? -row : row);
    }
    return true;
}

void QtPanelSurface::useTranslucentWindow(bool translucent) {
    auto next = NativePanelWindow::create(connection_, translucent);
    if (!next)
        return;
    const bool shown = mapped_;
    std::swap(window_, next);
    mapped_ = false;
    canvas().setTranslucent(window_->translucent());
    image_ = QImage();
    if (shown)
        present();
    // The old window goes once the new one is up, so the panel never blinks.
    next.reset();
}

void QtPanelSurface::presentLater() {
    if (!mapped_ || presentPosted_)
        return;
    presentPosted_ = true;
    QMetaObject::invokeMethod(
        &context_,
        [this] {
            presentPosted_ = false;
            if (mapped_)
                present();
        },
        Qt::QueuedConnection);
}

void QtPanelSurface::present() {
    if (!window_ || !shown_)
        return;
    const double ratio = devicePixelRatio();
    const QSize pixels = (QSizeF(frame_.size()) * ratio).toSize().expandedTo(QSize(1, 1));
    QRectF changed = canvas().changes();
    const bool resized = image_.size() != pixels;
    if (resized) {
        image_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        image_.setDevicePixelRatio(ratio);
        changed = QRectF(QPointF(), canvas().size());
    }
    QRect dirty;
    if (!changed.isEmpty()) {
        canvas().paint(image_, changed);
        dirty = outwardPixels(changed, ratio) & image_.rect();
        window_->upload(image_, dirty);
    }
    if (resized && !window_->translucent()) {
        const QTransform scale = QTransform::fromScale(ratio, ratio);
        window_->setShape(QRegion(scale.map(canvas().shape()).toFillPolygon().toPolygon()));
    }
    window_->setGeometry(QRect((QPointF(frame_.topLeft()) * ratio).toPoint(), pixels));
    if (!mapped_) {
        window_->map();
        mapped_ = true;
    } else {
        window_->repaint(dirty);
    }
    window_->flush();
}

double QtPanelSurface::devicePixelRatio() const {
    return qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
}

QtPanelSurfaces::QtPanelSurfaces() = default;
QtPanelSurfaces::~QtPanelSurfaces() = default;

std::unique_ptr<PanelSurface> QtPanelSurfaces::makePanel(const PanelWindowStyle& style,
                                                         const PanelContentLayout& layout,
                                                         PanelDataSource& dataSource) {
    return std::make_unique<QtPanelSurface>(style, layout, dataSource, icons_, compositor_,
                                            keyboard_);
}

}  // namespace tavrel::qt
