#include "platform/qt/IconPixmapCache.h"

#include <QImage>
#include <algorithm>

namespace tavrel::qt {
namespace {
constexpr std::size_t kEntriesBeforeSweep = 256;
constexpr int kLargestSide = 4096;

bool wellFormed(const IconImage& image) {
    if (image.width <= 0 || image.height <= 0 || image.width > kLargestSide ||
        image.height > kLargestSide)
        return false;
    return image.argb.size() >=
           static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
}

QPixmap convert(const IconImage& image, double box, double devicePixelRatio) {
    // Non-premultiplied 0xAARRGGBB words are exactly QImage's ARGB32.
    const QImage source(reinterpret_cast<const uchar*>(image.argb.data()), image.width,
                        image.height, image.width * 4, QImage::Format_ARGB32);
    const double scale = std::min({1.0, box / image.width, box / image.height});
    const QSizeF points(image.width * scale, image.height * scale);
    const QSize pixels = (points * devicePixelRatio).toSize().expandedTo(QSize(1, 1));
    QImage fitted = pixels.width() < image.width || pixels.height() < image.height
                        ? source.scaled(pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                        : source;
    QPixmap pixmap =
        QPixmap::fromImage(fitted.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    pixmap.setDevicePixelRatio(pixmap.width() / points.width());
    return pixmap;
}
}  // namespace

QPixmap IconPixmapCache::pixmap(const Image& image, double box, double devicePixelRatio) {
    if (!image || box <= 0 || !wellFormed(*image))
        return {};
    auto found = entries_.find(image.get());
    if (found != entries_.end() && found->second.source.lock() == image &&
        found->second.box == box && found->second.devicePixelRatio == devicePixelRatio)
        return found->second.pixmap;
    if (entries_.size() >= kEntriesBeforeSweep)
        dropExpired();
    Entry entry{image, box, devicePixelRatio, convert(*image, box, devicePixelRatio)};
    QPixmap result = entry.pixmap;
    entries_[image.get()] = std::move(entry);
    return result;
}

void IconPixmapCache::dropExpired() {
    std::erase_if(entries_, [](const auto& item) { return item.second.source.expired(); });
}

}  // namespace tavrel::qt
