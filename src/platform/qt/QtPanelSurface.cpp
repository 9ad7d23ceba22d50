#include "platform/qt/QtPanelSurface.h"

#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QRegion>
#include <QTimer>
#include <QTransform>
#include <cmath>
#include <cstdlib>

#include "platform/qt/NativePanelWindow.h"
#include "platform/qt/QtXcb.h"
#include "platform/qt/QtXcbAtoms.h"
#include "platform/qt/ScreenSpace.h"

namespace tavrel::qt {
namespace {
constexpr std::uint8_t kLeftButton = 1;
constexpr std::uint8_t kWheelUp = 4;
constexpr std::uint8_t kWheelDown = 5;
// How long a hiding panel waits at most for the window manager to act on an activation.
constexpr int kMostWaitForWindowManagerMs = 50;
// Up to this many rows, the windows beneath the panel are few enough to expose at once.
constexpr std::int64_t kFewWindows = 12;

QRect outwardPixels(const QRectF& points, double ratio) {
    const QRectF scaled(points.topLeft() * ratio, points.size() * ratio);
    return scaled.toAlignedRect();
}
}  // namespace

QtPanelSurface::QtPanelSurface(const PanelWindowStyle& style, const PanelContentLayout& layout,
                               PanelDataSource& dataSource, IconPixmapCache& icons,
                               CompositorWatch& compositor, WindowActivations& activations,
                               const KeyboardHandlers& keyboard, const WindowUnmapper& unmapper)
    : PanelCanvasSurface(layout, {style.contentRect.size.width, style.contentRect.size.height},
                         dataSource, icons),
      connection_(qtXcbConnection()),
      keyboard_(keyboard),
      unmapper_(unmapper),
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
    QObject::connect(&activations, &WindowActivations::requested, &context_,
                     [this](std::uint32_t window) { activationRequested(window); });
    if (connection_)
        activeWindowAtom_ = internXcbAtom(connection_, "_NET_ACTIVE_WINDOW");
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
    if (!mapped_)
        askActiveWindow();
    hiding_ = false;
    activating_.reset();
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
    if (mapped_ && !hiding_) {
        hiding_ = true;
        // Over a few windows the panel goes at once: the window manager has little to redraw
        // before it gets to the activation, less than waiting for it would cost. Otherwise
        // the pointer leaves the panel before any activation is asked for (a window manager
        // whose focus follows the pointer hears of that first, and cannot undo the activation
        // when the panel goes), and whether to wait for one is decided once the current event
        // is handled, when any activation it causes has been asked for.
        if (canvas().rowCount() > kFewWindows && window_->letPointerThrough())
            QMetaObject::invokeMethod(
                &context_, [this] { finishHiding(); }, Qt::QueuedConnection);
        else
            unmap();
    }
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
    if (type == XCB_PROPERTY_NOTIFY) {
        const auto* notify = static_cast<const xcb_property_notify_event_t*>(message);
        if (notify->atom == activeWindowAtom_ && activeWindowAtom_ != XCB_ATOM_NONE) {
            if (hiding_ && activating_) {
                // A window manager may announce no active window between the old one and
                // the new (openbox does): the activation is done once the window asked for
                // is the active one.
                askActiveWindow();
                if (activeWindow() == *activating_)
                    unmap();
            } else if (shown_)
                askActiveWindow();
        }
        return false;
    }
    if (!shown_ || (type != XCB_BUTTON_PRESS && type != XCB_BUTTON_RELEASE))
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
    const bool shown = shown_ && mapped_;
    std::swap(window_, next);
    mapped_ = false;
    hiding_ = false;
    canvas().setTranslucent(window_->translucent());
    if (shown)
        present();
    // The old window goes once the new one is up, so the panel never blinks.
    next.reset();
}

void QtPanelSurface::presentLater() {
    if (!shown_ || !mapped_ || presentPosted_)
        return;
    presentPosted_ = true;
    QMetaObject::invokeMethod(
        &context_,
        [this] {
            presentPosted_ = false;
            if (shown_ && mapped_)
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
    const bool resized = window_->prepareImage(pixels, ratio);
    if (resized)
        changed = QRectF(QPointF(), canvas().size());
    QRect dirty;
    if (!changed.isEmpty()) {
        QImage& image = window_->image();
        canvas().paint(image, changed);
        dirty = outwardPixels(changed, ratio) & image.rect();
        window_->upload(dirty);
    }
    if (resized && !window_->translucent()) {
        const QTransform scale = QTransform::fromScale(ratio, ratio);
        window_->setShape(QRegion(scale.map(canvas().shape()).toFillPolygon().toPolygon()));
    }
    window_->setGeometry(QRect((QPointF(frame_.topLeft()) * ratio).toPoint(), pixels));
    if (mapped_)
        window_->repaint(dirty);
    // Also when it was on its way out, letting the pointer through.
    if (!mapped_ || window_->pointerPassesThrough())
        window_->map();
    mapped_ = true;
    window_->flush();
}

double QtPanelSurface::devicePixelRatio() const {
    return qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
}

// Asked without waiting: the answer is read when the panel hides, long after it came.
void QtPanelSurface::askActiveWindow() {
    if (!connection_ || activeWindowAtom_ == XCB_ATOM_NONE)
        return;
    if (activeWindowAsked_)
        xcb_discard_reply(connection_, activeWindowAsked_->sequence);
    const xcb_screen_t* screen = defaultXcbScreen(connection_);
    if (!screen)
        return;
    activeWindowAsked_ =
        xcb_get_property(connection_, 0, screen->root, activeWindowAtom_, XCB_ATOM_WINDOW, 0, 1);
    xcb_flush(connection_);
}

xcb_window_t QtPanelSurface::activeWindow() {
    if (!activeWindowAsked_)
        return XCB_WINDOW_NONE;
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(connection_, *activeWindowAsked_, nullptr);
    activeWindowAsked_.reset();
    xcb_window_t active = XCB_WINDOW_NONE;
    if (reply && reply->format == 32 && xcb_get_property_value_length(reply) >= 4)
        active = *static_cast<const xcb_window_t*>(xcb_get_property_value(reply));
    std::free(reply);
    return active;
}

void QtPanelSurface::activationRequested(xcb_window_t window) {
    if (hiding_)
        activating_ = window;
}

void QtPanelSurface::finishHiding() {
    if (!hiding_)
        return;
    // A window that is already active changes nothing the window manager would announce.
    if (activating_ && *activating_ != activeWindow()) {
        QTimer::singleShot(kMostWaitForWindowManagerMs, &context_, [this] { unmap(); });
        return;
    }
    unmap();
}

void QtPanelSurface::unmap() {
    if (!hiding_)
        return;
    hiding_ = false;
    activating_.reset();
    if (window_ && mapped_) {
        if (unmapper_) {
            unmapper_(window_->id());
        } else {
            window_->unmap();
            window_->flush();
        }
    }
    mapped_ = false;
}

QtPanelSurfaces::QtPanelSurfaces() = default;
QtPanelSurfaces::~QtPanelSurfaces() = default;

std::unique_ptr<PanelSurface> QtPanelSurfaces::makePanel(const PanelWindowStyle& style,
                                                         const PanelContentLayout& layout,
                                                         PanelDataSource& dataSource) {
    return std::make_unique<QtPanelSurface>(style, layout, dataSource, icons_, compositor_,
                                            activations_, keyboard_, unmapper_);
}

}  // namespace tavrel::qt
