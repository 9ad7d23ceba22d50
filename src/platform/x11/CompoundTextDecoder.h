#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>

using Display = struct _XDisplay;

namespace tavrel::x11 {

// Converts COMPOUND_TEXT to UTF-8 with Xlib's converter, the only faithful one around.
// Xlib is used for text conversion only: its display never handles events or requests of
// ours, its error handlers never end the process, and a lost server just fails conversions.
class CompoundTextDecoder {
  public:
    // Nothing when no Xlib display can be opened; callers then fall back to Latin-1.
    static std::unique_ptr<CompoundTextDecoder> open(const char* displayName);
    ~CompoundTextDecoder();
    CompoundTextDecoder(const CompoundTextDecoder&) = delete;
    CompoundTextDecoder& operator=(const CompoundTextDecoder&) = delete;

    // The first string of the property, or nothing when Xlib cannot convert it.
    std::optional<std::string> decode(std::string_view compoundText) const;

  private:
    explicit CompoundTextDecoder(Display* display);
    Display* display_;
    unsigned long compoundTextAtom_;
};

}  // namespace tavrel::x11
