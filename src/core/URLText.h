#pragma once
#include <string_view>

namespace tavrel {

// True when the text reads as an absolute URL: a scheme, a colon, and no blanks or controls.
bool isParsableURL(std::string_view text);

}  // namespace tavrel
