#pragma once
#include <cstdint>
#include <string>

#include "platform/AXElement.h"
#include "platform/Value.h"

namespace tavrel {

using AXError = std::int32_t;
inline constexpr AXError kAXErrorSuccess = 0;
inline constexpr AXError kAXErrorFailure = -25200;
inline constexpr AXError kAXErrorAttributeUnsupported = -25205;
inline constexpr AXError kAXErrorNoValue = -25212;
inline constexpr AXError kAXErrorCannotComplete = -25204;

inline constexpr const char* kAXWindowsAttribute = "AXWindows";
inline constexpr const char* kAXTitleAttribute = "AXTitle";
inline constexpr const char* kAXMinimizedAttribute = "AXMinimized";
inline constexpr const char* kAXMainAttribute = "AXMain";
inline constexpr const char* kAXRaiseAction = "AXRaise";

// The accessibility interface: application and window elements, their attributes and
// actions, and whether this program may use it.
class Accessibility {
  public:
    virtual ~Accessibility() = default;

    virtual AXElement createApplication(std::int32_t pid) = 0;
    // On success `value` holds what the element answered; otherwise it is left empty.
    virtual AXError copyAttributeValue(const AXElement& element, const std::string& attribute,
                                       Value& value) = 0;
    virtual AXError setAttributeValue(const AXElement& element, const std::string& attribute,
                                      const Value& value) = 0;
    virtual AXError performAction(const AXElement& element, const std::string& action) = 0;
    virtual AXError isAttributeSettable(const AXElement& element, const std::string& attribute,
                                        bool& settable) = 0;

    virtual bool isProcessTrusted() = 0;
    // Asks the platform to prompt for the permission when `prompt` is true.
    virtual bool isProcessTrustedWithOptions(bool prompt) = 0;
};

}  // namespace tavrel
