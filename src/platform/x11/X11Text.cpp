#include "platform/x11/X11Text.h"

#include <cstdint>

#include "platform/x11/CompoundTextDecoder.h"
#include "platform/x11/X11Connection.h"

namespace tavrel::x11 {
namespace {

void appendCodePoint(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Text properties may hold several NUL-separated strings; a title is the first.
std::string_view firstString(std::string_view bytes) {
    return bytes.substr(0, bytes.find('\0'));
}

}  // namespace

std::string latin1ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes)
        appendCodePoint(out, static_cast<std::uint8_t>(c));
    return out;
}

std::optional<std::string> decodeTextProperty(xcb_atom_t type, std::uint8_t format,
                                              std::string_view bytes, const Atoms& atoms,
                                              const CompoundTextDecoder* decoder) {
    if (format != 8 || type == XCB_ATOM_NONE)
        return std::nullopt;
    if (type == atoms.UTF8_STRING)
        return repairUtf8(firstString(bytes));
    if (type == XCB_ATOM_STRING)
        return latin1ToUtf8(firstString(bytes));
    if (type == atoms.COMPOUND_TEXT) {
        if (decoder != nullptr) {
            if (auto text = decoder->decode(bytes))
                return repairUtf8(*text);
        }
        return latin1ToUtf8(firstString(bytes));
    }
    return std::nullopt;
}

}  // namespace tavrel::x11
