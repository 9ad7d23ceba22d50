#include "platform/qt/ThemeIcons.h"

#include <QIcon>
#include <QImage>
#include <QStringList>
#include <algorithm>
#include <cstring>

namespace tavrel::qt {
namespace {
constexpr int kLargestPixelSize = 1024;

// The themes a name is looked up in, in turn: the desktop's own (Qt follows what it inherits),
// hicolor, where applications install their icons, and Adwaita, the fullest theme a desktop
// without one of its own is likely to have. A configured theme that is not installed simply
// finds nothing, and the next one answers.
QStringList themeChain(const QString& configured) {
    QStringList chain{configured};
    for (const QString& fallback : {QStringLiteral("hicolor"), QStringLiteral("Adwaita")}) {
        if (!chain.contains(fallback))
            chain.append(fallback);
    }
    return chain;
}

// Qt looks names up in one theme, the current one: each theme of the chain is made current in
// turn, and the icon is drawn before the next one is, since a theme icon is resolved again
// against whatever theme is current when it is drawn.
QImage fromThemes(const QString& name, int size) {
    if (QIcon::themeName().isEmpty())
        QIcon::setThemeName(QStringLiteral("hicolor"));
    const QString configured = QIcon::themeName();
    QImage found;
    for (const QString& theme : themeChain(configured)) {
        QIcon::setThemeName(theme);
        const QIcon icon = QIcon::fromTheme(name);
        if (!icon.isNull())
            found = icon.pixmap(QSize(size, size)).toImage();
        if (!found.isNull())
            break;
    }
    QIcon::setThemeName(configured);
    return found;
}

Image toImage(const QImage& pixels) {
    const QImage argb = pixels.convertToFormat(QImage::Format_ARGB32);
    auto image = std::make_shared<IconImage>();
    image->width = argb.width();
    image->height = argb.height();
    image->argb.resize(static_cast<std::size_t>(argb.width()) * argb.height());
    for (int y = 0; y < argb.height(); ++y) {
        std::memcpy(image->argb.data() + static_cast<std::size_t>(y) * argb.width(),
                    argb.constScanLine(y), static_cast<std::size_t>(argb.width()) * 4);
    }
    return image;
}
}  // namespace

Image ThemeIcons::load(const std::string& iconName, int pixelSize) {
    if (iconName.empty() || pixelSize <= 0)
        return nullptr;
    const int size = std::min(pixelSize, kLargestPixelSize);
    const QString name = QString::fromStdString(iconName);
    const QImage pixels = name.startsWith(u'/') ? QIcon(name).pixmap(QSize(size, size)).toImage()
                                                : fromThemes(name, size);
    return pixels.isNull() ? nullptr : toImage(pixels);
}

}  // namespace tavrel::qt
