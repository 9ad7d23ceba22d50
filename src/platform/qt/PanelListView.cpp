#include "platform/qt/PanelListView.h"

#include <QMouseEvent>
#include <QScrollBar>

namespace tavrel::qt {
namespace {
constexpr int kScrollerWidth = 7;
constexpr int kScrollerMargin = 2;
constexpr const char* kScrollerStyle =
    "QScrollBar:vertical { background: transparent; width: 7px; margin: 0; }"
    "QScrollBar::handle:vertical { background: rgba(128, 128, 128, 150); border-radius: 3px;"
    " min-height: 24px; }"
    "QScrollBar::add-line, QScrollBar::sub-line { height: 0; }"
    "QScrollBar::add-page, QScrollBar::sub-page { background: transparent; }";
}  // namespace

PanelListView::PanelListView(PanelDataSource& dataSource, IconPixmapCache& icons, double rowHeight,
                             QWidget* parent)
    : QListView(parent),
      dataSource_(dataSource),
      delegate_(
          dataSource, icons, rowHeight, [this](int row) { return row == selected_; }, nullptr) {
    setModel(&model_);
    setItemDelegate(&delegate_);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    buildOverlayScroller();
}

void PanelListView::reload() {
    model_.reset(dataSource_.numberOfRows());
    if (selected_ >= rows())
        selected_ = -1;
    clicked_ = -1;
}

void PanelListView::selectRow(std::int64_t row) {
    if (row < 0 || row >= rows() || row == selected_)
        return;
    const std::int64_t previous = selected_;
    selected_ = row;
    if (previous >= 0)
        update(model_.index(static_cast<int>(previous)));
    update(model_.index(static_cast<int>(row)));
}

void PanelListView::scrollToRow(std::int64_t row) {
    if (row >= 0 && row < rows())
        scrollTo(model_.index(static_cast<int>(row)), QAbstractItemView::EnsureVisible);
}

std::int64_t PanelListView::rowAt(QPoint position) const {
    const QModelIndex index = indexAt(position);
    return index.isValid() ? index.row() : -1;
}

void PanelListView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    pressed_ = rowAt(event->position().toPoint());
    selectRow(pressed_);
}

void PanelListView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    clicked_ = pressed_;
    pressed_ = -1;
    dataSource_.rowClicked();
}

void PanelListView::mouseMoveEvent(QMouseEvent*) {
    // Dragging neither selects nor drags rows.
}

void PanelListView::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}

void PanelListView::resizeEvent(QResizeEvent* event) {
    QListView::resizeEvent(event);
    placeOverlayScroller();
}

void PanelListView::buildOverlayScroller() {
    overlay_ = new QScrollBar(Qt::Vertical, this);
    overlay_->setStyleSheet(QString::fromLatin1(kScrollerStyle));
    overlay_->setFocusPolicy(Qt::NoFocus);
    overlay_->hide();
    QScrollBar* inner = verticalScrollBar();
    connect(inner, &QScrollBar::rangeChanged, overlay_, [this](int minimum, int maximum) {
        overlay_->setRange(minimum, maximum);
        overlay_->setPageStep(verticalScrollBar()->pageStep());
        overlay_->setVisible(maximum > minimum);
    });
    connect(inner, &QScrollBar::valueChanged, overlay_, &QScrollBar::setValue);
    connect(overlay_, &QScrollBar::valueChanged, inner, &QScrollBar::setValue);
}

void PanelListView::placeOverlayScroller() {
    overlay_->setGeometry(width() - kScrollerWidth - kScrollerMargin, kScrollerMargin,
                          kScrollerWidth, std::max(0, height() - 2 * kScrollerMargin));
    overlay_->raise();
}

}  // namespace tavrel::qt
