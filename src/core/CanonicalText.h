#pragma once
#include <string>
#include <string_view>

namespace tavrel {

// Window titles arrive in whatever Unicode form their application wrote them; two titles that
// read the same (a precomposed "é" and an "e" with a combining accent) must count as the same.

// The composed (NFC) form of UTF-8 text. Ill-formed bytes are kept as they are, so two
// different byte strings never collapse into one.
std::string canonicalForm(std::string_view text);

// True when both texts are the same Unicode text after canonical normalisation.
bool canonicallyEqual(std::string_view a, std::string_view b);

}  // namespace tavrel
