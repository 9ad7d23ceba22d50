#pragma once
#include "platform/Accessibility.h"

namespace tavrel::wayland {

class ForeignToplevels;
class WaylandConnection;

// Windows as accessibility elements on Wayland: each application (see processIdOf) has its
// one window, titled and minimised as the compositor says; raising it activates it for the
// seat, which also brings it across workspaces. This program may do all of it as soon as the
// compositor offers the window list, so it is trusted.
class WaylandAccessibility final : public Accessibility {
  public:
    WaylandAccessibility(ForeignToplevels& toplevels, WaylandConnection& connection)
        : toplevels_(toplevels), connection_(connection) {}

    AXElement createApplication(std::int32_t pid) override;
    AXError copyAttributeValue(const AXElement& element, const std::string& attribute,
                               Value& value) override;
    AXError setAttributeValue(const AXElement& element, const std::string& attribute,
                              const Value& value) override;
    AXError performAction(const AXElement& element, const std::string& action) override;
    AXError isAttributeSettable(const AXElement& element, const std::string& attribute,
                                bool& settable) override;
    bool isProcessTrusted() override { return true; }
    bool isProcessTrustedWithOptions(bool) override { return true; }

  private:
    ForeignToplevels& toplevels_;
    WaylandConnection& connection_;
};

}  // namespace tavrel::wayland
