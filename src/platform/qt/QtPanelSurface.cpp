#include "platform/qt/QtPanelSurface.h"

#include <QImage>
#include <QLabel>
#include <QPainter>

#include "platform/qt/PanelBackground.h"
#include "platform/qt/PanelListView.h"
#include "platform/qt/PanelWindow.h"
#include "platform/qt/ScreenSpace.h"
#include "platform/qt/SystemColors.h"

namespace tavrel::qt {

QtPanelSurface::QtPanelSurface(const PanelWindowStyle& style, const PanelContentLayout& layout,
                               PanelDataSource& dataSource, IconPixmapCache& icons,
                               CompositorWatch& compositor, const KeyboardHandlers& keyboard)
    : translucentWindow_(std::make_unique<PanelWindow>(true)),
      opaqueWindow_(std::make_unique<PanelWindow>(false)),
      keyboard_(keyboard) {
    const QRect initial = ScreenSpace::current().toQt(style.contentRect);
    auto background = std::make_unique<PanelBackground>(layout, initial.size(), dataSource, icons);
    background_ = background.get();
    translucentWindow_->setGeometry(initial);
    opaqueWindow_->setGeometry(initial);
    current_ = compositor.active() ? translucentWindow_.get() : opaqueWindow_.get();
    current_->adopt(*background.release());
    // Both native windows exist from the start, so a show never waits for one to be made.
    translucentWindow_->winId();
    opaqueWindow_->winId();
    warmUp(layout);
    QObject::connect(&compositor, &CompositorWatch::changed, background_,
                     [this](bool active) { useTranslucentWindow(active); });
}

QtPanelSurface::~QtPanelSurface() = default;

void QtPanelSurface::warmUp(const PanelContentLayout& layout) {
    // The first paint would otherwise load the fonts and build the glyph caches while the
    // user waits for the panel; do it once at launch instead.
    QImage scratch(background_->size(), QImage::Format_ARGB32_Premultiplied);
    background_->render(&scratch);
    QPainter painter(&scratch);
    const QString sample = QStringLiteral("Search: Abcdefghijklmnopqrstuvwxyz 0123456789 …");
    painter.setFont(SystemColors::font(layout.searchLabel.font));
    painter.drawText(QPointF(0, 20), sample);
    painter.setFont(SystemColors::font(Font{}));
    painter.drawText(QPointF(0, 40), sample);
}

void QtPanelSurface::useTranslucentWindow(bool translucent) {
    PanelWindow* next = translucent ? translucentWindow_.get() : opaqueWindow_.get();
    if (next == current_)
        return;
    const bool visible = current_->isVisible();
    next->adopt(*background_);
    next->setFrame(current_->geometry());
    current_->hide();
    current_ = next;
    if (visible) {
        current_->show();
        current_->raise();
    }
}

PanelListView& QtPanelSurface::list() {
    return background_->list();
}

void QtPanelSurface::selectRowIndexes(std::int64_t row, bool /*single selection*/) {
    list().selectRow(row);
}

void QtPanelSurface::scrollRowToVisible(std::int64_t row) {
    list().scrollToRow(row);
}

void QtPanelSurface::reloadData() {
    list().reload();
}

std::int64_t QtPanelSurface::selectedRow() {
    return list().selectedRow();
}

std::int64_t QtPanelSurface::clickedRow() {
    return list().clickedRow();
}

void QtPanelSurface::setSearchLabelHidden(bool hidden) {
    background_->searchLabel().setVisible(!hidden);
}

void QtPanelSurface::setSearchLabelText(const std::string& text) {
    background_->searchLabel().setText(
        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void QtPanelSurface::setScrollViewFrame(Rect frame) {
    background_->setScrollFrame(frame);
}

Rect QtPanelSurface::frame() {
    return ScreenSpace::current().toPoints(current_->geometry());
}

void QtPanelSurface::setFrame(Rect frame, bool display) {
    current_->setFrame(ScreenSpace::current().toQt(frame));
    if (display)
        current_->repaint();
}

void QtPanelSurface::setFrameOrigin(Point origin) {
    const QSize size = current_->size();
    const Rect moved{origin,
                     {static_cast<double>(size.width()), static_cast<double>(size.height())}};
    current_->move(ScreenSpace::current().toQt(moved).topLeft());
}

void QtPanelSurface::orderFrontRegardless() {
    current_->show();
    current_->raise();
}

void QtPanelSurface::makeKeyWindow() {
    // Not the input focus: that would take it from the application being switched away from.
    if (keyboard_.take)
        keyboard_.take();
}

void QtPanelSurface::orderOut() {
    current_->hide();
    // Each showing starts from the top of its list: scrolling a new highlight into view from
    // where the last switch left off could hide the front-most windows above it.
    list().scrollToTop();
    if (keyboard_.release)
        keyboard_.release();
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
