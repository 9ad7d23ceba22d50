#pragma once
#include <string>

#include "platform/Image.h"

namespace tavrel::qt {

// Application icons from the desktop's icon theme (what desktop entries name), falling back to
// hicolor and then Adwaita, or from a file when the entry names an absolute path. Themes often
// hold only scalable (SVG) icons: drawing those takes Qt's SVG plugin.
class ThemeIcons {
  public:
    // The icon at about `pixelSize` pixels; null when neither the themes nor the file have it.
    static Image load(const std::string& iconName, int pixelSize);
};

}  // namespace tavrel::qt
