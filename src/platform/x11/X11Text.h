#pragma once
#include <xcb/xcb.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/desktop/Utf8Text.h"

namespace tavrel::x11 {

struct Atoms;
class CompoundTextDecoder;

using desktop::repairUtf8;

// ISO 8859-1, the encoding of the STRING type, as UTF-8.
std::string latin1ToUtf8(std::string_view bytes);

// A text property's first string as UTF-8, in any of the encodings a window may use;
// nothing for another type or format. `decoder` may be null (COMPOUND_TEXT is then read
// as Latin-1, right for its most common content).
std::optional<std::string> decodeTextProperty(xcb_atom_t type, std::uint8_t format,
                                              std::string_view bytes, const Atoms& atoms,
                                              const CompoundTextDecoder* decoder);

}  // namespace tavrel::x11
