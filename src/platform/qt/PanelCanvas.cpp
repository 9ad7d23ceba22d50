#include "platform/qt/PanelCanvas.h"

#include <QGuiApplication>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QPalette>
#include <algorithm>
#include <cmath>

#include "platform/qt/SystemColors.h"

namespace tavrel::qt {
namespace {
// A popover without blur needs to be nearly opaque to stay legible over busy windows.
constexpr double kTranslucentFillAlpha = 0.92;

// The overlay scroller floats over the rows' right end instead of taking width from them.
constexpr double kScrollerWidth = 7.0;
constexpr double kScrollerMargin = 2.0;
constexpr double kScrollerShortest = 24.0;
constexpr double kScrollerRadius = 3.0;
const QColor kScrollerColour(128, 128, 128, 150);

// Room for the rows drawn last: two screenfuls of 620-point rows, highlighted and not.
constexpr std::size_t kRowImageBytes = 8 << 20;

// The margins of a y-up frame inside a parent of `size`.
QMarginsF marginsOf(const Rect& frame, QSizeF size) {
    return {frame.minX(), size.height() - frame.maxY(), size.width() - frame.maxX(), frame.minY()};
}
}  // namespace

bool PanelCanvas::RowPicture::operator==(const RowPicture& other) const {
    return top == other.top && selected == other.selected && cell.icon == other.cell.icon &&
           cell.appName == other.cell.appName && cell.title == other.cell.title;
}

PanelCanvas::PanelCanvas(const PanelContentLayout& layout, QSizeF initialSize,
                         PanelDataSource& dataSource, IconPixmapCache& icons)
    : layout_(layout),
      dataSource_(dataSource),
      rowPainter_(dataSource, icons),
      size_(initialSize),
      labelMargins_(marginsOf(layout.searchLabelFrame, initialSize)),
      labelHeight_(layout.searchLabelFrame.size.height),
      tableMargins_(layout.scrollInset, layout.scrollInset, layout.scrollInset,
                    layout.scrollInset) {}

void PanelCanvas::reloadData() {
    rows_ = std::max<std::int64_t>(0, dataSource_.numberOfRows());
    if (selected_ >= rows_)
        selected_ = -1;
    clicked_ = -1;
    pressed_ = -1;
    setScroll(scroll_);
    changed();
}

void PanelCanvas::selectRow(std::int64_t row) {
    if (row < 0 || row >= rows_ || row == selected_)
        return;
    selected_ = row;
    changed();
}

void PanelCanvas::scrollRowToVisible(std::int64_t row) {
    if (row < 0 || row >= rows_)
        return;
    const double top = static_cast<double>(row) * layout_.rowHeight;
    const double view = tableRect().height();
    if (top < scroll_)
        setScroll(top);
    else if (top + layout_.rowHeight > scroll_ + view)
        setScroll(top + layout_.rowHeight - view);
}

void PanelCanvas::scrollToTop() {
    setScroll(0);
}

void PanelCanvas::scrollBy(double points) {
    setScroll(scroll_ + points);
}

void PanelCanvas::setSearchLabelHidden(bool hidden) {
    if (hidden == labelHidden_)
        return;
    labelHidden_ = hidden;
    changed();
}

void PanelCanvas::setSearchLabelText(const std::string& text) {
    if (text == labelText_)
        return;
    labelText_ = text;
    changed();
}

void PanelCanvas::setScrollViewFrame(const Rect& frame) {
    tableMargins_ = marginsOf(frame, size_);
    setScroll(scroll_);
    changed();
}

void PanelCanvas::setSize(QSizeF size) {
    if (size == size_)
        return;
    size_ = size;
    setScroll(scroll_);
    changed();
}

void PanelCanvas::setTranslucent(bool translucent) {
    if (translucent == translucent_)
        return;
    translucent_ = translucent;
    changed();
}

std::int64_t PanelCanvas::rowAt(QPointF position) const {
    const QRectF table = tableRect();
    if (!table.contains(position))
        return -1;
    const auto row = static_cast<std::int64_t>(
        std::floor((position.y() - table.top() + scroll_) / layout_.rowHeight));
    return row >= 0 && row < rows_ ? row : -1;
}

void PanelCanvas::press(QPointF position) {
    pressed_ = rowAt(position);
    selectRow(pressed_);
}

void PanelCanvas::release() {
    clicked_ = pressed_;
    pressed_ = -1;
    dataSource_.rowClicked();
}

QRectF PanelCanvas::changes() {
    const Picture now = picture();
    if (!painted_)
        return QRectF(QPointF(), now.size);
    return difference(now, *painted_);
}

void PanelCanvas::paint(QImage& image, const QRectF& area) {
    Picture now = picture();
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                           QPainter::SmoothPixmapTransform);
    painter.setClipRect(area);
    // Rows carry the background they lie on: where they cover all that changed, it is not
    // copied first.
    if (!rowsCover(now.rows, area))
        paintBackground(painter, area, image.devicePixelRatio());
    if (now.label)
        labels_.paint(painter, labelRect(), *now.label, layout_.searchLabel);
    paintRows(painter, now.rows, area);
    paintScroller(painter, now.scroller);
    painted_ = std::move(now);
}

QPainterPath PanelCanvas::shape() const {
    QPainterPath path;
    path.addRoundedRect(QRectF(QPointF(), size_), layout_.cornerRadius, layout_.cornerRadius);
    return path;
}

QRectF PanelCanvas::tableRect() const {
    return QRectF(QPointF(), size_).marginsRemoved(tableMargins_);
}

void PanelCanvas::warmUp() {
    QImage scratch(QSize(640, 64), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&scratch);
    const std::string sample = "Search: Abcdefghijklmnopqrstuvwxyz 0123456789 \u2026";
    const RowCellAppearance cell =
        dataSource_.cellAppearance(size_.width(), BackgroundStyle::normal);
    labels_.paint(painter, {0, 0, 640, 20}, sample, layout_.searchLabel);
    labels_.paint(painter, {0, 20, 640, 20}, sample, cell.title);
}

double PanelCanvas::contentHeight() const {
    return static_cast<double>(rows_) * layout_.rowHeight;
}

double PanelCanvas::maxScroll() const {
    return std::max(0.0, contentHeight() - tableRect().height());
}

void PanelCanvas::setScroll(double scroll) {
    const double clamped = std::clamp(scroll, 0.0, maxScroll());
    if (clamped == scroll_)
        return;
    scroll_ = clamped;
    changed();
}

void PanelCanvas::changed() {
    if (onChange_)
        onChange_();
}

QRectF PanelCanvas::labelRect() const {
    return {labelMargins_.left(), labelMargins_.top(),
            std::max(0.0, size_.width() - labelMargins_.left() - labelMargins_.right()),
            labelHeight_};
}

QRectF PanelCanvas::scrollerRect() const {
    const QRectF table = tableRect();
    const double content = contentHeight();
    if (content <= table.height() || table.height() <= 2 * kScrollerMargin)
        return {};
    const double track = table.height() - 2 * kScrollerMargin;
    const double length =
        std::min(track, std::max(kScrollerShortest, track * table.height() / content));
    const double offset = (track - length) * scroll_ / maxScroll();
    return {table.right() - kScrollerMargin - kScrollerWidth,
            table.top() + kScrollerMargin + offset, kScrollerWidth, length};
}

QRectF PanelCanvas::rowRect(double top) const {
    const QRectF table = tableRect();
    return {table.left(), table.top() + top - scroll_, table.width(), layout_.rowHeight};
}

PanelCanvas::Picture PanelCanvas::picture() {
    Picture picture;
    picture.size = size_;
    picture.translucent = translucent_;
    picture.table = tableRect();
    if (!labelHidden_)
        picture.label = labelText_;
    picture.scroller = scrollerRect();
    if (layout_.rowHeight <= 0)
        return picture;
    const auto first = static_cast<std::int64_t>(std::floor(scroll_ / layout_.rowHeight));
    const auto end = std::min(
        rows_, static_cast<std::int64_t>(std::ceil(
                   (scroll_ + std::max(0.0, picture.table.height())) / layout_.rowHeight)));
    for (std::int64_t row = first; row < end; ++row) {
        std::optional<RowCell> cell = dataSource_.cellForRow(row);
        if (!cell)
            continue;
        picture.rows.push_back(
            {static_cast<double>(row) * layout_.rowHeight, std::move(*cell), row == selected_});
    }
    return picture;
}

QRectF PanelCanvas::difference(const Picture& now, const Picture& before) const {
    const QRectF whole(QPointF(), now.size);
    if (now.size != before.size || now.translucent != before.translucent ||
        now.table != before.table) {
        return whole;
    }
    QRectF area;
    if (now.label != before.label)
        area |= labelRect();
    if (now.scroller != before.scroller)
        area |= now.scroller | before.scroller;
    // Rows are matched by their place in the list: one that moved, changed or left is
    // redrawn where it was and where it is.
    auto a = now.rows.begin();
    auto b = before.rows.begin();
    while (a != now.rows.end() || b != before.rows.end()) {
        if (b == before.rows.end() || (a != now.rows.end() && a->top < b->top)) {
            area |= rowRect(a++->top);
        } else if (a == now.rows.end() || b->top < a->top) {
            area |= rowRect(b++->top);
        } else {
            if (!(*a == *b))
                area |= rowRect(a->top);
            ++a;
            ++b;
        }
    }
    return area & whole;
}

// The rounded background with its border is drawn once per size and copied from then on:
// drawn afresh, its outline costs as much as a few rows.
void PanelCanvas::paintBackground(QPainter& painter, const QRectF& area, double ratio) {
    const QSize pixels = (size_ * ratio).toSize();
    if (background_.size() != pixels || background_.devicePixelRatio() != ratio ||
        backgroundTranslucent_ != translucent_) {
        background_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        background_.setDevicePixelRatio(ratio);
        background_.fill(Qt::transparent);
        backgroundTranslucent_ = translucent_;
        QPainter outline(&background_);
        outline.setRenderHint(QPainter::Antialiasing);
        QPen border(SystemColors::color(layout_.borderColour));
        border.setWidthF(layout_.borderWidth);
        outline.setPen(layout_.borderWidth > 0 ? border : QPen(Qt::NoPen));
        outline.setBrush(fill());
        // The border's centre line, so that all of its width falls inside the panel.
        const double half = layout_.borderWidth * 0.5;
        outline.drawRoundedRect(QRectF(QPointF(), size_).adjusted(half, half, -half, -half),
                                layout_.cornerRadius, layout_.cornerRadius);
    }
    const QRectF source(area.topLeft() * ratio, area.size() * ratio);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(area, background_, source);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void PanelCanvas::paintRows(QPainter& painter, const std::vector<RowPicture>& rows,
                            const QRectF& area) {
    const QRectF table = tableRect() & area;
    if (table.isEmpty())
        return;
    painter.save();
    painter.setClipRect(table, Qt::IntersectClip);
    for (const RowPicture& row : rows) {
        const QRectF rect = rowRect(row.top);
        if (!rect.intersects(table))
            continue;
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(rect.topLeft(),
                          rowImage(row, rect.size(), painter.device()->devicePixelRatioF()));
    }
    painter.restore();
}

// Rows are drawn once and copied from then on: the same windows come back at every switch,
// highlighted or not, and a copy costs a fraction of drawing their text afresh.
const QImage& PanelCanvas::rowImage(const RowPicture& row, QSizeF size, double ratio) {
    const QSize pixels = (size * ratio).toSize();
    const QRgb background = fill().rgba();
    const auto same = [&](const CachedRow& cached) {
        return cached.selected == row.selected && cached.background == background &&
               cached.image.size() == pixels && cached.image.devicePixelRatio() == ratio &&
               cached.cell.icon == row.cell.icon && cached.cell.title == row.cell.title &&
               cached.cell.appName == row.cell.appName;
    };
    if (const auto found = std::find_if(rowImages_.begin(), rowImages_.end(), same);
        found != rowImages_.end()) {
        // Most recently used last.
        std::rotate(found, found + 1, rowImages_.end());
        return rowImages_.back().image;
    }
    const std::size_t bytes = static_cast<std::size_t>(pixels.width()) * pixels.height() * 4;
    const std::size_t most =
        std::max<std::size_t>(1, kRowImageBytes / std::max<std::size_t>(bytes, 1));
    while (rowImages_.size() >= most)
        rowImages_.erase(rowImages_.begin());
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(fill());
    {
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                               QPainter::SmoothPixmapTransform);
        rowPainter_.paint(painter, size, row.cell, row.selected);
    }
    rowImages_.push_back({row.cell, row.selected, background, std::move(image)});
    return rowImages_.back().image;
}

QColor PanelCanvas::fill() const {
    QColor colour = QGuiApplication::palette().color(QPalette::Window);
    if (translucent_)
        colour.setAlphaF(static_cast<float>(kTranslucentFillAlpha));
    return colour;
}

bool PanelCanvas::rowsCover(const std::vector<RowPicture>& rows, const QRectF& area) const {
    if (rows.empty())
        return false;
    const QRectF covered = (rowRect(rows.front().top) | rowRect(rows.back().top)) & tableRect();
    return covered.contains(area);
}

void PanelCanvas::paintScroller(QPainter& painter, const QRectF& scroller) const {
    if (scroller.isEmpty())
        return;
    painter.setPen(Qt::NoPen);
    painter.setBrush(kScrollerColour);
    painter.drawRoundedRect(scroller, kScrollerRadius, kScrollerRadius);
}

}  // namespace tavrel::qt
