#include "platform/qt/ThemeIcons.h"

#include <QIcon>
#include <QImage>
#include <algorithm>
#include <cstring>

namespace tavrel::qt {
namespace {
constexpr int kLargestPixelSize = 1024;

QIcon find(const QString& name) {
    if (name.startsWith(u'/'))
        return QIcon(name);
    if (QIcon::themeName().isEmpty())
        QIcon::setThemeName(QStringLiteral("hicolor"));
    return QIcon::fromTheme(name);
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
    const QIcon icon = find(QString::fromStdString(iconName));
    if (icon.isNull())
        return nullptr;
    const int size = std::min(pixelSize, kLargestPixelSize);
    const QImage pixels = icon.pixmap(QSize(size, size)).toImage();
    return pixels.isNull() ? nullptr : toImage(pixels);
}

}  // namespace tavrel::qt
