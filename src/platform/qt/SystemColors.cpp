#include "platform/qt/SystemColors.h"

#include <QGuiApplication>
#include <QPalette>

namespace tavrel::qt {
namespace {
// How far secondary and tertiary labels fade the text colour.
constexpr double kSecondaryLabelAlpha = 0.55;
constexpr double kTertiaryLabelAlpha = 0.45;

QColor text(double alpha) {
    QColor colour = QGuiApplication::palette().color(QPalette::WindowText);
    colour.setAlphaF(static_cast<float>(colour.alphaF() * alpha));
    return colour;
}

QColor roleColour(SystemColor role) {
    const QPalette palette = QGuiApplication::palette();
    switch (role) {
        case SystemColor::accent:
            return palette.color(QPalette::Highlight);
        case SystemColor::label:
            return text(1.0);
        case SystemColor::secondaryLabel:
            return text(kSecondaryLabelAlpha);
        case SystemColor::tertiaryLabel:
            return text(kTertiaryLabelAlpha);
        case SystemColor::separator:
            return palette.color(QPalette::Mid);
        case SystemColor::white:
            return Qt::white;
        case SystemColor::clear:
            return Qt::transparent;
    }
    return Qt::transparent;
}
}  // namespace

QColor SystemColors::color(const Colour& colour) {
    QColor result = roleColour(colour.role);
    result.setAlphaF(static_cast<float>(result.alphaF() * colour.alpha));
    return result;
}

QFont SystemColors::font(const Font& font) {
    QFont result = QGuiApplication::font();
    result.setPixelSize(std::max(1, static_cast<int>(font.size + 0.5)));
    result.setWeight(font.weight == FontWeight::medium ? QFont::Medium : QFont::Normal);
    return result;
}

}  // namespace tavrel::qt
