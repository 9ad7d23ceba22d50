#pragma once
#include <QPixmap>
#include <unordered_map>

#include "platform/Image.h"

namespace tavrel::qt {

// Icon images turned into pixmaps once per image and size, never per paint. Keyed by the
// image object, which the core's application cache shares between every entry of one app.
class IconPixmapCache {
  public:
    // Fitted into a square box of `box` points: shrunk with its aspect ratio kept, never
    // enlarged; pixels for `devicePixelRatio`. Null for a null or malformed image.
    QPixmap pixmap(const Image& image, double box, double devicePixelRatio);
    std::size_t size() const { return entries_.size(); }

  private:
    struct Entry {
        std::weak_ptr<const IconImage> source;
        double box = 0;
        double devicePixelRatio = 0;
        QPixmap pixmap;
    };
    void dropExpired();

    std::unordered_map<const IconImage*, Entry> entries_;
};

}  // namespace tavrel::qt
