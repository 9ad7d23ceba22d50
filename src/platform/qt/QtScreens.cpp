#include "platform/qt/QtScreens.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPointF>
#include <QScreen>

#include "platform/qt/ScreenSpace.h"

namespace tavrel::qt {
namespace {
Screen describe(const QScreen& screen, const ScreenSpace& space) {
    return {space.toPoints(screen.geometry()), space.toPoints(screen.availableGeometry())};
}
}  // namespace

std::vector<Screen> QtScreens::screens() {
    const ScreenSpace space = ScreenSpace::current();
    std::vector<Screen> result;
    for (const QScreen* screen : QGuiApplication::screens())
        result.push_back(describe(*screen, space));
    return result;
}

std::optional<Screen> QtScreens::mainScreen() {
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return std::nullopt;
    return describe(*primary, ScreenSpace::current());
}

Point QtScreens::mouseLocation() {
    if (!pointer_) {
        const std::optional<QPoint> atInput =
            pointerAtInput_ ? pointerAtInput_() : std::optional<QPoint>();
        // Screen pixels are Qt's coordinates scaled by the device pixel ratio.
        pointer_ =
            atInput ? (QPointF(*atInput) / qGuiApp->devicePixelRatio()).toPoint() : QCursor::pos();
        QMetaObject::invokeMethod(
            &context_, [this] { pointer_.reset(); }, Qt::QueuedConnection);
    }
    return ScreenSpace::current().pointerToPoints(*pointer_);
}

}  // namespace tavrel::qt
