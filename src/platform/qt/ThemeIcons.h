#pragma once
#include <string>

#include "platform/Image.h"

namespace tavrel::qt {

// Application icons from the desktop's icon theme (what desktop entries name), or from a file
// when the entry names an absolute path.
class ThemeIcons {
  public:
    // The icon at about `pixelSize` pixels; null when neither the theme nor the file has it.
    static Image load(const std::string& iconName, int pixelSize);
};

}  // namespace tavrel::qt
