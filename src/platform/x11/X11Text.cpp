#include "platform/x11/X11Text.h"

#include <cstdint>

#include "platform/x11/CompoundTextDecoder.h"
#include "platform/x11/X11Connection.h"

namespace tavrel::x11 {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

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

// The length of the well-formed sequence at `s[i]`, or 0 (Unicode's table 3-7).
std::size_t wellFormedLength(std::string_view s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(s[i + k]); };
    const std::uint8_t lead = byte(0);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + length > s.size())
        return 0;
    if (byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k) {
        if (byte(k) < 0x80 || byte(k) > 0xBF)
            return 0;
    }
    return length;
}

// Text properties may hold several NUL-separated strings; a title is the first.
std::string_view firstString(std::string_view bytes) {
    return bytes.substr(0, bytes.find('\0'));
}

}  // namespace

std::string repairUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t length = wellFormedLength(bytes, i);
        if (length == 0) {
            out += kReplacement;
            ++i;
            continue;
        }
        out.append(bytes.substr(i, length));
        i += length;
    }
    return out;
}

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
