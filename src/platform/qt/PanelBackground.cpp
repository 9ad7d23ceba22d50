#include "platform/qt/PanelBackground.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "platform/qt/PanelListView.h"
#include "platform/qt/SystemColors.h"

namespace tavrel::qt {
namespace {
// A popover without blur needs to be nearly opaque to stay legible over busy windows.
constexpr double kTranslucentFillAlpha = 0.92;

int rounded(double value) {
    return static_cast<int>(std::lround(value));
}

// The margins of a y-up frame inside a parent of `size`.
QMargins marginsOf(const Rect& frame, QSize size) {
    return {rounded(frame.minX()), rounded(size.height() - frame.maxY()),
            rounded(size.width() - frame.maxX()), rounded(frame.minY())};
}
}  // namespace

PanelBackground::PanelBackground(const PanelContentLayout& layout, QSize initialSize,
                                 PanelDataSource& dataSource, IconPixmapCache& icons)
    : layout_(layout) {
    resize(initialSize);
    label_ = new QLabel(this);
    label_->setFont(SystemColors::font(layout.searchLabel.font));
    QPalette palette = label_->palette();
    palette.setColor(QPalette::WindowText, SystemColors::color(layout.searchLabel.colour));
    label_->setPalette(palette);
    label_->setAlignment(
        (layout.searchLabel.alignment == TextAlignment::right ? Qt::AlignRight : Qt::AlignLeft) |
        Qt::AlignVCenter);
    label_->hide();
    labelMargins_ = marginsOf(layout.searchLabelFrame, initialSize);
    labelHeight_ = rounded(layout.searchLabelFrame.size.height);

    list_ = new PanelListView(dataSource, icons, layout.rowHeight, this);
    const int inset = rounded(layout.scrollInset);
    listMargins_ = QMargins(inset, inset, inset, inset);
    placeChildren();
}

void PanelBackground::setScrollFrame(const Rect& frame) {
    listMargins_ = marginsOf(frame, size());
    placeChildren();
}

void PanelBackground::setTranslucent(bool translucent) {
    translucent_ = translucent;
    update();
}

QPainterPath PanelBackground::outline() const {
    QPainterPath path;
    const double half = layout_.borderWidth * 0.5;
    path.addRoundedRect(QRectF(rect()).adjusted(half, half, -half, -half), layout_.cornerRadius,
                        layout_.cornerRadius);
    return path;
}

QPainterPath PanelBackground::shape() const {
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), layout_.cornerRadius, layout_.cornerRadius);
    return path;
}

void PanelBackground::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = palette().color(QPalette::Window);
    if (translucent_)
        fill.setAlphaF(static_cast<float>(kTranslucentFillAlpha));
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), translucent_ ? QColor(Qt::transparent) : fill);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    QPen border(SystemColors::color(layout_.borderColour));
    border.setWidthF(layout_.borderWidth);
    painter.setPen(layout_.borderWidth > 0 ? border : QPen(Qt::NoPen));
    painter.setBrush(fill);
    painter.drawPath(outline());
}

void PanelBackground::resizeEvent(QResizeEvent*) {
    placeChildren();
}

void PanelBackground::placeChildren() {
    label_->setGeometry(labelMargins_.left(), labelMargins_.top(),
                        std::max(0, width() - labelMargins_.left() - labelMargins_.right()),
                        labelHeight_);
    list_->setGeometry(rect().marginsRemoved(listMargins_));
}

}  // namespace tavrel::qt
