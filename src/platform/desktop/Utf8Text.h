#pragma once
#include <string>
#include <string_view>

namespace tavrel::desktop {

// Valid UTF-8: every ill-formed sequence (overlong forms, surrogates, stray or missing
// continuation bytes, values above U+10FFFF) becomes one U+FFFD.
std::string repairUtf8(std::string_view bytes);

}  // namespace tavrel::desktop
