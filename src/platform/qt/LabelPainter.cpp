#include "platform/qt/LabelPainter.h"

#include <QFontMetricsF>
#include <QPainter>

#include "platform/qt/SystemColors.h"

namespace tavrel::qt {
namespace {
// Enough for every label of a few hundred windows; past it the cache starts over.
constexpr std::size_t kMostLayouts = 2048;

Qt::TextElideMode elideMode(LineBreakMode mode) {
    return mode == LineBreakMode::truncatingHead ? Qt::ElideLeft : Qt::ElideRight;
}

std::string layoutKey(const std::string& text, const LabelStyle& style, double width) {
    std::string key = text;
    key += '\x1f';
    key += std::to_string(style.font.size) + '/' +
           std::to_string(static_cast<int>(style.font.weight)) + '/' +
           std::to_string(static_cast<int>(style.lineBreak)) + '/' + std::to_string(width);
    return key;
}
}  // namespace

void LabelPainter::paint(QPainter& painter, const QRectF& frame, const std::string& text,
                         const LabelStyle& style) {
    if (text.empty() || frame.width() <= 0)
        return;
    const QFont& labelFont = font(style.font);
    const QStaticText& line = layout(text, labelFont, style, frame.width());
    const QSizeF size = line.size();
    const double x =
        style.alignment == TextAlignment::right ? frame.right() - size.width() : frame.left();
    painter.setFont(labelFont);
    painter.setPen(SystemColors::color(style.colour));
    painter.drawStaticText(QPointF(x, frame.top() + (frame.height() - size.height()) * 0.5), line);
}

const QFont& LabelPainter::font(const Font& font) {
    const auto key = std::make_pair(font.size, font.weight);
    auto found = fonts_.find(key);
    if (found == fonts_.end())
        found = fonts_.emplace(key, SystemColors::font(font)).first;
    return found->second;
}

const QStaticText& LabelPainter::layout(const std::string& text, const QFont& font,
                                        const LabelStyle& style, double width) {
    std::string key = layoutKey(text, style, width);
    if (const auto found = layouts_.find(key); found != layouts_.end())
        return found->second;
    if (layouts_.size() >= kMostLayouts)
        layouts_.clear();
    const QString elided = QFontMetricsF(font).elidedText(
        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
        elideMode(style.lineBreak), width);
    QStaticText line(elided);
    line.setTextFormat(Qt::PlainText);
    line.setPerformanceHint(QStaticText::AggressiveCaching);
    line.prepare(QTransform(), font);
    return layouts_.emplace(std::move(key), std::move(line)).first->second;
}

}  // namespace tavrel::qt
