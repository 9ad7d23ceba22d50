#include "core/CanonicalText.h"

#include <unicode/bytestream.h>
#include <unicode/normalizer2.h>
#include <unicode/stringpiece.h>

#include <algorithm>
#include <limits>

namespace tavrel {
namespace {

// ASCII text is already in every normal form; most titles are ASCII, and enumeration
// normalises every title on the keypress path, so these never reach ICU.
bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

std::string canonicalForm(std::string_view text) {
    if (isAscii(text) ||
        text.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))
        return std::string(text);
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    const icu::StringPiece piece(text.data(), static_cast<int32_t>(text.size()));
    if (U_FAILURE(status))
        return std::string(text);
    std::string composed;
    icu::StringByteSink<std::string> sink(&composed, static_cast<int32_t>(text.size()));
    nfc->normalizeUTF8(0, piece, sink, nullptr, status);
    return U_SUCCESS(status) ? composed : std::string(text);
}

bool canonicallyEqual(std::string_view a, std::string_view b) {
    if (a == b)
        return true;
    if (isAscii(a) && isAscii(b))
        return false;
    return canonicalForm(a) == canonicalForm(b);
}

}  // namespace tavrel
